#include "platform/text/LongClusters.h"

#include <glib.h>

#include <utility>

namespace platform::text {

bool ExtendsCluster(char32_t c)
{
    return g_unichar_ismark(gunichar(c)) || g_unichar_iszerowidth(gunichar(c));
}

std::vector<UnshownRange> MarksPastShown(const char* utf8, size_t bytes)
{
    std::vector<UnshownRange> out;
    if (!utf8)
        return out;
    size_t run = 0; // characters of the present run of marks
    size_t chars = 0;
    bool open = false; // out.back() is still growing
    const char* p = utf8;
    const char* end = utf8 + bytes;
    while (p < end) {
        size_t length = 1;
        bool extends = false;
        // No ASCII character is a mark.
        if (static_cast<unsigned char>(*p) >= 0x80) {
            const gunichar c = g_utf8_get_char_validated(p, end - p);
            if (c < 0x110000) {
                length = static_cast<size_t>(g_utf8_next_char(p) - p);
                extends = ExtendsCluster(c);
            }
        }
        run = extends ? run + 1 : 0;
        const size_t at = static_cast<size_t>(p - utf8);
        if (run > kShownMarks) {
            if (open) {
                out.back().byteEnd = at + length;
                out.back().charEnd = chars + 1;
            } else {
                out.push_back(UnshownRange { at, at + length, chars, chars + 1 });
                open = true;
            }
        } else {
            open = false;
        }
        p += length;
        ++chars;
    }
    return out;
}

bool WithoutMarksPastShown(const std::string& utf8, std::string& out)
{
    const std::vector<UnshownRange> unshown = MarksPastShown(utf8.data(), utf8.size());
    if (unshown.empty())
        return false;
    std::string shown;
    size_t from = 0;
    for (const UnshownRange& r : unshown) {
        shown.append(utf8, from, r.byteBegin - from);
        from = r.byteEnd;
    }
    shown.append(utf8, from, std::string::npos);
    out = std::move(shown);
    return true;
}

} // namespace platform::text
