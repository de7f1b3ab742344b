#include "lfw/gen/LCharSet.h"

#include <clocale>
#include <cstring>
#include <cwctype>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <strings.h>
#include <wctype.h>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool IsSurrogate(uint32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// Decodes one well-formed UTF-8 character at s (bytes may run up to a NUL). Returns its length,
// 0 at the NUL, or -1 for an illegal sequence (a cut one included).
int DecodeUTF8(const unsigned char* s, uint32_t& cp)
{
    unsigned char c = s[0];
    if (c < 0x80) {
        cp = c;
        return c ? 1 : 0;
    }
    if (c < 0xC2 || c > 0xF4)
        return -1;
    int length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c == 0xE0)
        lo = 0xA0;
    else if (c == 0xED)
        hi = 0x9F;
    else if (c == 0xF0)
        lo = 0x90;
    else if (c == 0xF4)
        hi = 0x8F;
    if (s[1] < lo || s[1] > hi)
        return -1;
    for (int i = 2; i < length; ++i)
        if ((s[i] & 0xC0) != 0x80)
            return -1;
    switch (length) {
    case 2:
        cp = (uint32_t(c & 0x1F) << 6) | (s[1] & 0x3F);
        break;
    case 3:
        cp = (uint32_t(c & 0x0F) << 12) | (uint32_t(s[1] & 0x3F) << 6) | (s[2] & 0x3F);
        break;
    default:
        cp = (uint32_t(c & 0x07) << 18) | (uint32_t(s[1] & 0x3F) << 12)
            | (uint32_t(s[2] & 0x3F) << 6) | (s[3] & 0x3F);
    }
    return length;
}

// Whether the n bytes are the start of a well-formed character that the text's end cut off.
bool IsCutSequence(const unsigned char* s, size_t n)
{
    if (n == 0 || s[0] < 0xC2 || s[0] > 0xF4)
        return false;
    const unsigned char c = s[0];
    const size_t length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (n >= length)
        return false;
    // The second byte's range depends on the first, as in DecodeUTF8.
    const unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (n >= 2 && (s[1] < lo || s[1] > hi))
        return false;
    return n < 3 || (s[2] & 0xC0) == 0x80;
}

// UTF-16 units (from get(i), i < n; a 0 unit ends early) to UTF-8 in dst of size bytes (NUL
// included). Pairs are joined; a lone surrogate becomes U+FFFD. Returns the bytes written.
template <class Get> size_t UTF16ToUTF8(Get get, size_t n, char* dst, size_t size)
{
    if (size == 0)
        return 0;
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = get(i);
        if (u < 0x80) {
            if (u == 0 || o + 1 > size - 1)
                break;
            dst[o++] = char(u);
            continue;
        }
        uint32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF) {
            uint32_t next = i + 1 < n ? get(i + 1) : 0;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                cp = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else {
                cp = kReplacement;
            }
        } else if (IsSurrogate(u)) {
            cp = kReplacement;
        }
        char buf[4];
        int len = LEncodeUTF8(cp, buf);
        if (o + size_t(len) > size - 1)
            break;
        std::memcpy(dst + o, buf, size_t(len));
        o += size_t(len);
    }
    dst[o] = 0;
    return o;
}

template <class U> int UTF32FromUTF8(U* dst, const char* src, size_t max)
{
    if (max == 0)
        return kLCharsetOutputFull;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    size_t w = 0;
    int result = kLCharsetOk;
    while (*s) {
        if (w == max - 1) {
            dst[w] = 0;
            return kLCharsetOutputFull;
        }
        uint32_t cp;
        int length = DecodeUTF8(s, cp);
        if (length < 0) {
            dst[w] = 0;
            return kLCharsetIllegal;
        }
        if (cp > 0x10FFFF || IsSurrogate(cp)) {
            cp = kReplacement;
            result = kLCharsetIllegal;
        }
        dst[w++] = U(cp);
        s += length;
    }
    dst[w] = 0;
    return result;
}

template <class U> int UTF8FromUTF32(char* dst, const U* src, size_t size)
{
    if (size == 0)
        return kLCharsetOutputFull;
    int result = kLCharsetOk;
    size_t o = 0;
    for (; src && *src; ++src) {
        uint32_t cp = uint32_t(*src);
        if (cp > 0x10FFFF || IsSurrogate(cp)) {
            cp = kReplacement;
            result = kLCharsetIllegal;
        }
        char buf[4];
        int len = LEncodeUTF8(cp, buf);
        if (o + size_t(len) > size - 1) {
            dst[o] = 0;
            return kLCharsetOutputFull;
        }
        std::memcpy(dst + o, buf, size_t(len));
        o += size_t(len);
    }
    dst[o] = 0;
    return result;
}

const uint16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, //
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, //
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, //
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, //
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, //
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, //
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, //
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, //
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, //
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, //
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, //
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, //
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, //
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, //
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, //
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, //
};

// Mac Roman byte for a code point, or 0 when it has none.
unsigned char MacRomanByte(uint32_t cp)
{
    if (cp < 0x80)
        return static_cast<unsigned char>(cp);
    // Other spellings of the same characters.
    if (cp == 0x2126)
        cp = 0x03A9; // OHM SIGN -> GREEK CAPITAL OMEGA
    else if (cp == 0x0394)
        cp = 0x2206; // GREEK CAPITAL DELTA -> INCREMENT
    else if (cp == 0x00A4)
        cp = 0x20AC; // the currency sign of the older table
    for (int i = 0; i < 128; ++i)
        if (kMacRoman[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

locale_t LowerCaseLocale()
{
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "", locale_t(0));
        if (l) {
            const char* codeset = nl_langinfo_l(CODESET, l);
            if (codeset && strcasecmp(codeset, "UTF-8") == 0)
                return l;
            freelocale(l);
        }
        l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        return l;
    }();
    return locale;
}

} // namespace

size_t utf8strlen(const char* s)
{
    if (!s)
        return 0;
    size_t count = 0;
    while (*s) {
        size_t length = LCharsetsUTF8SequenceLength(static_cast<unsigned char>(*s));
        ++count;
        while (length-- && *s)
            ++s;
    }
    return count;
}

size_t LCharsetsUTF8CharIndexToByteIndex(const char* s, size_t n)
{
    if (!s)
        return 0;
    size_t offset = 0;
    while (n-- && s[offset]) {
        size_t length = LCharsetsUTF8SequenceLength(static_cast<unsigned char>(s[offset]));
        while (length-- && s[offset])
            ++offset;
    }
    return offset;
}

size_t utf8strlcpy(char* dst, const char* src, size_t size)
{
    if (!src)
        src = "";
    size_t length = std::strlen(src);
    if (length < size) {
        std::memmove(dst, src, length + 1);
        return length;
    }
    if (size == 0)
        return 0;
    std::memmove(dst, src, size - 1);
    dst[size - 1] = 0;
    if (size == 1)
        return 0;
    auto continuation = [](unsigned char c) { return (c >= 0x80 && c <= 0xBF) || c >= 0xFE; };
    size_t last = size - 2;
    size_t i = last;
    while (continuation(static_cast<unsigned char>(dst[i]))) {
        if (i == 0) {
            dst[0] = 0;
            return 0;
        }
        --i;
    }
    size_t sequence = LCharsetsUTF8SequenceLength(static_cast<unsigned char>(dst[i]));
    size_t kept;
    if (i + sequence - 1 == last)
        kept = size - 1; // the last character is whole
    else if (i + sequence - 1 > last)
        kept = i; // the last character was cut: drop its lead byte and what follows
    else
        kept = i + sequence; // stray continuation bytes after a whole character
    dst[kept] = 0;
    return kept + 1;
}

size_t LCharsetsValidUTF8Prefix(const char* s, size_t n)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        // Decode within the n bytes only: copy the candidate sequence into a NUL-padded buffer.
        unsigned char buf[5] = { 0, 0, 0, 0, 0 };
        size_t avail = n - i < 4 ? n - i : 4;
        std::memcpy(buf, p + i, avail);
        uint32_t cp;
        int length = DecodeUTF8(buf, cp);
        if (length <= 0 || size_t(length) > avail)
            return i;
        i += size_t(length);
    }
    return n;
}

bool LCharsetsIsValidUTF8(const char* s, size_t n)
{
    return LCharsetsValidUTF8Prefix(s, n) == n && std::memchr(s, 0, n) == nullptr;
}

void LCharsetsLowerCase(char* text, size_t size)
{
    if (!text || size == 0)
        return;
    locale_t locale = LowerCaseLocale();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t n = std::strlen(text);
    std::unique_ptr<char[]> out(new char[size]);
    size_t o = 0;
    size_t i = 0;
    while (i < n) {
        uint32_t cp;
        int length = DecodeUTF8(s + i, cp);
        char buf[4];
        int outLength;
        if (length <= 0) {
            // A byte that is not well-formed UTF-8 stays as it is.
            buf[0] = char(s[i]);
            outLength = 1;
            length = 1;
        } else {
            if (cp < 0x80)
                cp = uint32_t(cp >= 'A' && cp <= 'Z' ? cp + 32 : cp);
            else if (locale)
                cp = uint32_t(towlower_l(wint_t(cp), locale));
            if (cp > 0x10FFFF || IsSurrogate(cp))
                cp = kReplacement;
            outLength = LEncodeUTF8(cp, buf);
        }
        if (o + size_t(outLength) > size - 1)
            break;
        std::memcpy(out.get() + o, buf, size_t(outLength));
        o += size_t(outLength);
        i += size_t(length);
    }
    std::memcpy(text, out.get(), o);
    text[o] = 0;
}

int LCopyUTF32FromUTF8Native(wchar_t* dst, const char* src, size_t max)
{
    return UTF32FromUTF8(dst, src, max);
}

int LCopyUTF32FromUTF8Native(uint32_t* dst, const char* src, size_t max)
{
    return UTF32FromUTF8(dst, src, max);
}

int LCopyUTF8FromUTF32Native(char* dst, const wchar_t* src, size_t size)
{
    return UTF8FromUTF32(dst, src, size);
}

int LCopyUTF8FromUTF32Native(char* dst, const uint32_t* src, size_t size)
{
    return UTF8FromUTF32(dst, src, size);
}

size_t LCopyUTF8FromUnicode(char* dst, const unsigned short* src, size_t size)
{
    if (!src) {
        if (size)
            dst[0] = 0;
        return 0;
    }
    return UTF16ToUTF8([src](size_t i) { return uint32_t(src[i]); }, SIZE_MAX, dst, size);
}

size_t LCopyUTF8FromUnicode(char* dst, const unsigned short* src)
{
    return LCopyUTF8FromUnicode(dst, src, kLStringShortSize);
}

void LAppendUTF8FromUnicode(LStringLongTemplate<char>& out, const unsigned short* src, size_t n)
{
    if (!src || n == 0) {
        out.GrowToSize(1);
        return;
    }
    if (n > (SIZE_MAX - out.GetLength() - 1) / 3)
        throw std::length_error("LAppendUTF8FromUnicode");
    out.GrowToSize(out.GetLength() + 3 * n + 1);
    size_t start = out.GetLength();
    size_t written = UTF16ToUTF8([src](size_t i) { return uint32_t(src[i]); }, n,
        out.GetBuffer() + start, out.GetCapacity() - start);
    out.SetLength(start + written);
}

size_t LCopyUnicodeFromUTF8(unsigned short* dst, const char* src, size_t size)
{
    if (size == 0)
        return 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    size_t w = 0;
    for (;;) {
        if (*s && *s < 0x80) {
            if (w + 1 > size - 1)
                break;
            dst[w++] = *s++;
            continue;
        }
        uint32_t cp;
        int length = DecodeUTF8(s, cp);
        if (length <= 0)
            break; // the end, or an illegal sequence
        if (cp >= 0x10000) {
            if (w + 2 > size - 1)
                break;
            cp -= 0x10000;
            dst[w++] = static_cast<unsigned short>(0xD800 + (cp >> 10));
            dst[w++] = static_cast<unsigned short>(0xDC00 + (cp & 0x3FF));
        } else {
            if (w + 1 > size - 1)
                break;
            dst[w++] = static_cast<unsigned short>(cp);
        }
        s += length;
    }
    dst[w] = 0;
    return w;
}

void LCopyUnicodeFromUTF8(
    LStringLongTemplate<unsigned short>& dst, const LStringLongTemplate<char>& src)
{
    // A UTF-8 text never needs more 16-bit units than it has bytes (a surrogate pair comes from
    // four bytes).
    dst.GrowToSize(src.GetLength() + 1);
    size_t units = LCopyUnicodeFromUTF8(dst.GetBuffer(), src.c_str(), dst.GetCapacity());
    dst.SetLength(units);
}

void LCopyToUnicode(LStringLongTemplate<unsigned short>& dst, const char* src)
{
    dst.GrowToSize(tstrlen(src) + 1);
    size_t units = LCopyUnicodeFromUTF8(dst.GetBuffer(), src, dst.GetCapacity());
    dst.SetLength(units);
}

void LCopyFromUnicode(LStringLongTemplate<char>& dst, const unsigned short* src)
{
    dst.Clear();
    LAppendUTF8FromUnicode(dst, src, lstrlen(src));
}

void LCopyUTF8FromMacRoman(LStringLongTemplate<char>& dst, const char* src, size_t n)
{
    dst.Clear();
    dst.GrowToSize(3 * n + 1);
    char* out = dst.GetBuffer();
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c < 0x80)
            out[o++] = char(c);
        else
            o += size_t(LEncodeUTF8(kMacRoman[c - 0x80], out + o));
    }
    dst.SetLength(o);
}

void LCopyMacRomanFromUTF8(LStringLongTemplate<char>& dst, const char* src)
{
    dst.Clear();
    size_t n = tstrlen(src);
    dst.GrowToSize(n + 1);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    char* out = dst.GetBuffer();
    size_t o = 0;
    size_t i = 0;
    while (i < n) {
        uint32_t cp;
        int length = DecodeUTF8(s + i, cp);
        if (length <= 0) {
            out[o++] = '?';
            ++i;
            continue;
        }
        unsigned char b = MacRomanByte(cp);
        out[o++] = b ? char(b) : '?';
        i += size_t(length);
    }
    dst.SetLength(o);
}

void LCopyValidUTF8(LStringLongTemplate<char>& dst, const char* src, size_t n)
{
    dst.Clear();
    if (!src)
        return;
    // Each bad byte becomes three.
    dst.GrowToSize(3 * n + 1);
    size_t i = 0;
    while (i < n) {
        const size_t valid = LCharsetsValidUTF8Prefix(src + i, n - i);
        dst.Append(src + i, valid);
        i += valid;
        if (i < n) {
            dst.Append("\xEF\xBF\xBD", 3);
            ++i;
        }
    }
}

LStringLongTemplate<char> LMacNSStringFromString(const char* text)
{
    LStringLongTemplate<char> result("");
    if (!text)
        return result;
    const size_t n = std::strlen(text);
    const size_t valid = LCharsetsValidUTF8Prefix(text, n);
    if (valid == n) {
        result = text;
        return result;
    }
    // A text cut inside its last character after a letter below 0x80 loses that character and
    // the letter before it, as the shortened copy of older texts did.
    if (valid >= 2 && static_cast<unsigned char>(text[valid - 1]) < 0x80
        && IsCutSequence(reinterpret_cast<const unsigned char*>(text) + valid, n - valid)) {
        result.Append(text, valid - 1);
        return result;
    }
    // Otherwise only the bytes that are not UTF-8 (a file name of another encoding in the
    // program's own text) are replaced: the rest of the text is never read another way.
    LCopyValidUTF8(result, text, n);
    return result;
}

void LCFString::SetString(const char* text)
{
    if (!text)
        text = "";
    size_t n = std::strlen(text);
    size_t valid = LCharsetsValidUTF8Prefix(text, n);
    m_text.Free();
    m_text.Append(text, valid);
    m_held = true;
}

void LCFString::GetString(LStringLongTemplate<char>& out) const
{
    out.Clear();
    if (m_held)
        out.Append(m_text);
}

void LCFString::GetString(char* out, size_t size) const
{
    if (size == 0)
        return;
    utf8strlcpy(out, m_held ? m_text.c_str() : "", size);
}

int LEncodeUTF8(uint32_t cp, char* out)
{
    if (cp < 0x80) {
        out[0] = char(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = char(0xC0 | (cp >> 6));
        out[1] = char(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = char(0xE0 | (cp >> 12));
        out[1] = char(0x80 | ((cp >> 6) & 0x3F));
        out[2] = char(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (cp >> 18));
    out[1] = char(0x80 | ((cp >> 12) & 0x3F));
    out[2] = char(0x80 | ((cp >> 6) & 0x3F));
    out[3] = char(0x80 | (cp & 0x3F));
    return 4;
}
