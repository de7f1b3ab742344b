#pragma once
// UTF-8, UTF-16 and UTF-32 conversion, Mac Roman, UTF-8 character counting and bounded copies,
// whole-file text loading and the platform string bridges.
//
// Code points above U+FFFF travel as surrogate pairs in 16-bit text: every conversion to 16 bits
// splits them and every conversion from 16 bits joins them. A lone surrogate becomes U+FFFD.

#include <cstddef>
#include <cstdint>

#include "lfw/gen/LString.h"

// Conversion results.
enum : int { kLCharsetOk = 0, kLCharsetOutputFull = 1, kLCharsetIllegal = 2 };

// Sequence length of a UTF-8 lead byte: below 0xC0 one byte (ASCII or a stray continuation byte),
// 0xC0-0xDF two, 0xE0-0xEF three, 0xF0-0xF7 four, 0xF8-0xFB five, 0xFC-0xFF six.
inline size_t LCharsetsUTF8SequenceLength(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    if (lead < 0xFC)
        return 5;
    return 6;
}

// Encodes cp (at most U+10FFFF) into out (room for 4 bytes); returns the byte count (1-4).
int LEncodeUTF8(uint32_t cp, char* out);

// Number of characters by the lead-byte rule.
size_t utf8strlen(const char* s);
// Byte offset of character n.
size_t LCharsetsUTF8CharIndexToByteIndex(const char* s, size_t n);
// strlcpy that never splits a character; see the .cpp for the exact result.
size_t utf8strlcpy(char* dst, const char* src, size_t size);
// True when the text is well-formed UTF-8 (no surrogates, nothing above U+10FFFF, shortest form).
bool LCharsetsIsValidUTF8(const char* s, size_t n);
// Length of the longest well-formed UTF-8 prefix of s (n bytes).
size_t LCharsetsValidUTF8Prefix(const char* s, size_t n);

// Lower-cases UTF-8 text in place by the current locale's rules; the result is cut to size bytes
// (NUL included) at a character boundary.
void LCharsetsLowerCase(char* text, size_t size = kLStringShortSize);

// UTF-8 to UTF-32: at most max - 1 code points and a 0. Returns kLCharsetOk, kLCharsetOutputFull
// or kLCharsetIllegal (output ends at the illegal sequence, or U+FFFD stored for a value above
// U+10FFFF or a surrogate).
int LCopyUTF32FromUTF8Native(wchar_t* dst, const char* src, size_t max);
int LCopyUTF32FromUTF8Native(uint32_t* dst, const char* src, size_t max);
// UTF-32 to UTF-8 into size bytes (NUL included), cut at a character boundary when it does not
// fit. Values above U+10FFFF and surrogates become U+FFFD and the result kLCharsetIllegal.
int LCopyUTF8FromUTF32Native(char* dst, const wchar_t* src, size_t size);
int LCopyUTF8FromUTF32Native(char* dst, const uint32_t* src, size_t size);

// UTF-16 to UTF-8 into size bytes (NUL included), surrogate pairs joined, cut at a character
// boundary; returns the bytes written.
size_t LCopyUTF8FromUnicode(char* dst, const unsigned short* src, size_t size);
size_t LCopyUTF8FromUnicode(char* dst, const unsigned short* src);
// UTF-16 of n units (a 0 unit ends it early) to UTF-8 appended to out.
void LAppendUTF8FromUnicode(LStringLongTemplate<char>& out, const unsigned short* src, size_t n);
// UTF-8 to UTF-16 into size units (0 included); code points above U+FFFF become a surrogate pair
// (never split across the end of the buffer). Stops at the first illegal sequence. Returns the
// units written.
size_t LCopyUnicodeFromUTF8(unsigned short* dst, const char* src, size_t size);
void LCopyUnicodeFromUTF8(
    LStringLongTemplate<unsigned short>& dst, const LStringLongTemplate<char>& src);
void LCopyToUnicode(LStringLongTemplate<unsigned short>& dst, const char* src);
void LCopyFromUnicode(LStringLongTemplate<char>& dst, const unsigned short* src);

// Mac OS Roman (the "traditional Mac plain text" of the clipboard). Every byte maps to one code
// point; characters Mac Roman lacks become "?".
void LCopyUTF8FromMacRoman(LStringLongTemplate<char>& dst, const char* src, size_t n);
void LCopyMacRomanFromUTF8(LStringLongTemplate<char>& dst, const char* src);

// Whole-file loading. LLoadText reads the bytes as they are (false only when the file cannot be
// opened or is no regular file); LLoadTextAutoChar converts UTF-16 (by its byte-order mark) to
// UTF-8 and drops a UTF-8 byte-order mark.
bool LLoadText(const char* path, LStringLongTemplate<char>& out);
bool LLoadTextAutoChar(const char* path, LStringLongTemplate<char>& out);

// The n bytes of src as well-formed UTF-8: each byte that is not part of a well-formed character
// becomes U+FFFD, everything else stays as it is.
void LCopyValidUTF8(LStringLongTemplate<char>& dst, const char* src, size_t n);

// The platform string for a text handed to the user interface: always well-formed UTF-8, never
// null. Valid UTF-8 is taken as it is. A text cut inside its last character just after a byte
// below 0x80 loses the cut character and that byte. In any other text only the bytes that are
// not UTF-8 are replaced (LCopyValidUTF8): a name of another encoding inside the program's own
// text never changes how the rest reads.
LStringLongTemplate<char> LMacNSStringFromString(const char* text);

// Owning holder of one platform string (well-formed UTF-8).
class LCFString {
public:
    LCFString() = default;
    explicit LCFString(const char* text) { SetString(text); }

    // Replaces the held string: valid UTF-8 is taken whole, otherwise its valid prefix.
    void SetString(const char* text);
    void GetString(LStringLongTemplate<char>& out) const;
    void GetString(char* out, size_t size) const;
    bool IsSet() const { return m_held; }
    void Release()
    {
        m_text.Free();
        m_held = false;
    }
    const char* c_str() const { return m_text.c_str(); }

private:
    LStringLongTemplate<char> m_text;
    bool m_held = false;
};
