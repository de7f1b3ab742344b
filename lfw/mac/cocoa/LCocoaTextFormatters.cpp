#include "lfw/mac/cocoa/LCocoaTextFormatters.h"

#include <cstdio>
#include <glib.h>

uint64_t LCocoaUtf16Length(const std::string& text)
{
    uint64_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80)
            continue; // continuation
        n += c >= 0xF0 ? 2 : 1; // four-byte sequences are surrogate pairs
    }
    return n;
}

bool LCocoaTextFieldFormatter::isPartialStringValid(const std::string& partial, std::string*) const
{
    return uMaximumTextLength == 0 || LCocoaUtf16Length(partial) <= uMaximumTextLength;
}

namespace {

bool IsBlank(gunichar c)
{
    return g_unichar_isspace(c) || c == 0x85 || c == 0xA0;
}

// One integer with optional blanks before (and after) it, and nothing else.
bool IsOneInteger(const std::string& text)
{
    const char* p = text.c_str();
    const char* end = p + text.size();
    auto skipBlanks = [&] {
        while (p < end) {
            gunichar c = g_utf8_get_char_validated(p, end - p);
            if (c == gunichar(-1) || c == gunichar(-2) || !IsBlank(c))
                break;
            p = g_utf8_next_char(p);
        }
    };
    skipBlanks();
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    if (p == digits)
        return false;
    skipBlanks();
    return p == end;
}

} // namespace

bool LNumberValueFormatter::isPartialStringValid(
    const std::string& partial, std::string* error) const
{
    if (_maximumTextLength && LCocoaUtf16Length(partial) > _maximumTextLength)
        return false;
    // The empty text passes as an intermediate state: GTK deletes a selection before it
    // inserts what was typed over it.
    if (bDecimal || partial.empty())
        return true;
    if (IsOneInteger(partial))
        return true;
    if (error)
        *error = kLNumberOnlyError;
    return false;
}

std::string LNumberValueFormatter::editingStringForValue(double value) const
{
    char buffer[64];
    if (!bDecimal)
        snprintf(buffer, sizeof buffer, "%.0f", value);
    else if (iMaximumFractionDigits >= 0)
        snprintf(buffer, sizeof buffer, "%.*f", iMaximumFractionDigits, value);
    else
        snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

bool LEditControlFormatter::isPartialStringValid(const std::string& partial, std::string*) const
{
    return pFunc && pFunc(partial.c_str());
}
