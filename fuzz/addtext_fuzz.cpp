// The reading of a text file for a text overlay (`-addtext`, a dropped text file) on arbitrary
// bytes: a text it takes is well-formed UTF-8 without control characters but tabs and line ends;
// a file that is such a text already (UTF-8, with or without its byte-order mark) is taken as it
// stands, and a UTF-16 file with its byte-order mark is taken as the same characters in UTF-8
// (converted here independently).
#include "app/lxa/mac/MainDialog.h"
#include "fuzz/FuzzScratch.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The characters of well-formed UTF-8 without NUL or control characters but tab, LF and CR; -1
// for anything else.
long PlainTextLength(const std::string& s)
{
    long count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
                return -1;
            ++i;
            continue;
        }
        int more;
        uint32_t code;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1, code = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2, code = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3, code = c & 0x07;
        else
            return -1;
        if (s.size() - i <= size_t(more))
            return -1;
        for (int k = 1; k <= more; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((d & 0xC0) != 0x80)
                return -1;
            code = code << 6 | (d & 0x3F);
        }
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF))
            || (code >= 0xD800 && code <= 0xDFFF))
            return -1;
        i += size_t(more) + 1;
    }
    return count;
}

// UTF-16 code units (after the byte-order mark) as UTF-8; false for a lone surrogate, an odd
// byte at the end, or a NUL unit.
bool FromUTF16(const uint8_t* p, size_t size, bool bigEndian, std::string& out)
{
    if (size % 2)
        return false;
    for (size_t i = 0; i < size; i += 2) {
        uint32_t unit = bigEndian ? uint32_t(p[i] << 8 | p[i + 1]) : uint32_t(p[i] | p[i + 1] << 8);
        if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
            return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= size)
                return false;
            const uint32_t low = bigEndian ? uint32_t(p[i + 2] << 8 | p[i + 3])
                                           : uint32_t(p[i + 2] | p[i + 3] << 8);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (unit < 0x80) {
            out += char(unit);
        } else if (unit < 0x800) {
            out += char(0xC0 | unit >> 6);
            out += char(0x80 | (unit & 0x3F));
        } else if (unit < 0x10000) {
            out += char(0xE0 | unit >> 12);
            out += char(0x80 | (unit >> 6 & 0x3F));
            out += char(0x80 | (unit & 0x3F));
        } else {
            out += char(0xF0 | unit >> 18);
            out += char(0x80 | (unit >> 12 & 0x3F));
            out += char(0x80 | (unit >> 6 & 0x3F));
            out += char(0x80 | (unit & 0x3F));
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& folder = FuzzScratchFolder("addtext-fuzz");
    if (folder.empty())
        return 0;
    const std::string path = folder + "/text.txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;

    LStringLongTemplate<char> text;
    const MainDialog::TextFileRefusal refusal = MainDialog::CheckOverlayText(path.c_str(), text);
    const std::string taken(text.GetString() ? text.GetString() : "", text.GetLength());
    if (refusal == MainDialog::TextFileRefusal::kNone)
        Check(!taken.empty() && PlainTextLength(taken) > 0);
    else
        Check(taken.empty());

    // What the file says it is, decided here on its own.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string expected;
    bool plain = false;
    if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF)))
        plain = FromUTF16(data + 2, size - 2, data[0] == 0xFE, expected)
            && PlainTextLength(expected) >= 0;
    else if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        plain = PlainTextLength(expected = bytes.substr(3)) >= 0;
    else
        plain = PlainTextLength(expected = bytes) >= 0;
    if (plain && !expected.empty()) {
        Check(refusal == MainDialog::TextFileRefusal::kNone);
        Check(taken == expected);
    }
    if (size == 0)
        Check(refusal == MainDialog::TextFileRefusal::kEmpty);
    return 0;
}
