#include "lfw/gen/LString.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "lfw/gen/LCharSet.h"

namespace {

// Length of the first n bytes of s without a character cut short at the end.
size_t WholeCharacters(const char* s, size_t n)
{
    size_t i = n;
    while (i > 0 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80)
        --i;
    if (i == 0)
        return n; // no lead byte at all: nothing to keep whole
    size_t lead = i - 1;
    size_t length = LCharsetsUTF8SequenceLength(static_cast<unsigned char>(s[lead]));
    return lead + length > n ? lead : n;
}

// Copies n bytes of src into out (a buffer of 260), keeping at most 259 whole characters.
void CopyCut(char* out, const char* src, size_t n)
{
    if (n > kLStringShortSize - 1)
        n = WholeCharacters(src, kLStringShortSize - 1);
    std::memcpy(out, src, n);
    out[n] = 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

size_t tstrlen(const char* s)
{
    return s ? std::strlen(s) : 0;
}

size_t lstrlen(const unsigned short* s)
{
    return _LStringUnitLength(s);
}

template <> void LStringTrim<char>(char* s)
{
    if (!s)
        return;
    size_t n = std::strlen(s);
    size_t start = 0;
    while (start < n && s[start] == ' ')
        ++start;
    while (n > start && s[n - 1] == ' ')
        --n;
    std::memmove(s, s + start, n - start);
    s[n - start] = 0;
}

template <> void LStringTrimFormatting<char>(char* s)
{
    if (!s)
        return;
    auto control = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 1 && u <= 31;
    };
    size_t n = std::strlen(s);
    size_t start = 0;
    while (start < n && control(s[start]))
        ++start;
    while (n > start && control(s[n - 1]))
        --n;
    std::memmove(s, s + start, n - start);
    s[n - start] = 0;
}

uint32_t atoh(const char* s)
{
    uint32_t v = 0;
    if (!s)
        return 0;
    for (;; ++s) {
        char c = *s;
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = uint32_t(c - 'A' + 10);
        else
            return v;
        v = (v << 4) | d;
    }
}

template <> int64_t ttoi64template<char>(const char* s)
{
    if (!s)
        return 0;
    while (*s && static_cast<unsigned char>(*s) < 33)
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    constexpr uint64_t kMax = 9223372036854775807ULL;
    uint64_t v = 0;
    for (; IsDigit(*s); ++s) {
        uint64_t d = uint64_t(*s - '0');
        if (v > (kMax - d) / 10) {
            v = kMax; // saturate; the remaining digits change nothing
            break;
        }
        v = v * 10 + d;
    }
    return negative ? -int64_t(v) : int64_t(v);
}

template <> size_t LParseGetToWhiteSpaceAndSkipIt<char>(const char* src, char* out)
{
    size_t i = 0;
    while (static_cast<unsigned char>(src[i]) > 32)
        ++i;
    CopyCut(out, src, i);
    while (src[i] && static_cast<unsigned char>(src[i]) < 33)
        ++i;
    return i;
}

template <> size_t LParseGetToCharacters<char>(const char* src, const char* delimiters, char* out)
{
    size_t i = 0;
    while (src[i] && !std::strchr(delimiters, src[i]))
        ++i;
    CopyCut(out, src, i);
    return i;
}

template <> size_t LParseGetToEndOfLine<char>(const char* src, LStringLongTemplate<char>& out)
{
    out.GrowToSize(kLStringShortSize);
    out.Clear();
    size_t n = std::strcspn(src, "\r\n");
    size_t capacity = out.GetCapacity();
    while (n >= capacity)
        capacity *= 4;
    out.GrowToSize(capacity);
    std::memcpy(out.GetBuffer(), src, n);
    out.SetLength(n);
    return n;
}

void LStripAmpersand(char* out, const char* src, size_t outSize)
{
    if (outSize == 0)
        return;
    size_t o = 0;
    if (src) {
        for (size_t i = 0; src[i] && o + 1 < outSize; ++i) {
            if (src[i] == '&') {
                if (src[i + 1] != '&')
                    continue;
                ++i;
            }
            out[o++] = src[i];
        }
        // A character cut at the end of the buffer is dropped whole.
        if (src[0] && o + 1 >= outSize)
            o = WholeCharacters(out, o);
    }
    out[o] = 0;
}

int LStringCompareLogical(const char* a, const char* b)
{
    if (!a)
        a = "";
    if (!b)
        b = "";
    if (!*a)
        return *b ? -1 : 0;
    if (!*b)
        return 1;
    while (*a && *b) {
        if (IsDigit(*a) && IsDigit(*b)) {
            const char* ra = a;
            const char* rb = b;
            while (IsDigit(*a))
                ++a;
            while (IsDigit(*b))
                ++b;
            size_t runA = size_t(a - ra);
            size_t runB = size_t(b - rb);
            // Compare the values without converting them, so that any length of run works.
            const char* sa = ra;
            const char* sb = rb;
            while (sa + 1 < a && *sa == '0')
                ++sa;
            while (sb + 1 < b && *sb == '0')
                ++sb;
            size_t digitsA = size_t(a - sa);
            size_t digitsB = size_t(b - sb);
            if (digitsA != digitsB || std::memcmp(sa, sb, digitsA) != 0) {
                if (digitsA <= 18 && digitsB <= 18) {
                    long long va = 0, vb = 0;
                    for (const char* p = sa; p < a; ++p)
                        va = va * 10 + (*p - '0');
                    for (const char* p = sb; p < b; ++p)
                        vb = vb * 10 + (*p - '0');
                    long long d = va - vb;
                    return d > INT_MAX ? INT_MAX : d < INT_MIN ? INT_MIN : int(d);
                }
                if (digitsA != digitsB)
                    return digitsA < digitsB ? -1 : 1;
                return std::memcmp(sa, sb, digitsA) < 0 ? -1 : 1;
            }
            if (!*a && !*b)
                return runA == runB ? 0 : (runA < runB ? -1 : 1);
            continue;
        }
        int ca = std::toupper(static_cast<unsigned char>(*a));
        int cb = std::toupper(static_cast<unsigned char>(*b));
        if (ca != cb)
            return ca > cb ? 1 : -1;
        ++a;
        ++b;
    }
    if (!*a)
        return *b ? -1 : 0;
    return 1;
}

bool LStringParserTemplate<char>::SkipToStringAndSkip(const char* text)
{
    const char* found = std::strstr(m_cursor, text ? text : "");
    if (!found) {
        m_cursor += std::strlen(m_cursor);
        return false;
    }
    m_cursor = found + std::strlen(text ? text : "");
    return true;
}

void LStringParserTemplate<char>::GetToStringAndSkip(const char* text, char* out)
{
    const char* found = std::strstr(m_cursor, text ? text : "");
    if (!found) {
        size_t n = std::strlen(m_cursor);
        CopyCut(out, m_cursor, n);
        m_cursor += n;
        return;
    }
    CopyCut(out, m_cursor, size_t(found - m_cursor));
    m_cursor = found + std::strlen(text ? text : "");
}

void LStringParserTemplate<char>::SkipToCharacter(const char* set)
{
    while (*m_cursor && !std::strchr(set ? set : "", *m_cursor))
        ++m_cursor;
}
