#pragma once
// The framework's string types: a growable owned string (UTF-8 `char`, or 16-bit units at the
// edges), a fixed 260-byte string, and the small text helpers every other module uses.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "lfw/gen/LFormatArg.h"

// The fixed length of names, paths, titles and setting values: 259 bytes and a NUL.
inline constexpr size_t kLStringShortSize = 260;

// Length of a NUL-terminated text of any unit type; a null pointer has length 0.
template <class T> inline size_t _LStringUnitLength(const T* s)
{
    if (!s)
        return 0;
    if constexpr (sizeof(T) == 1)
        return std::strlen(reinterpret_cast<const char*>(s));
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// A growable owned string of units T (char or unsigned short), always NUL-terminated once it holds
// a buffer. A default string holds no buffer and reads as "".
template <class T> class LStringLongTemplate {
public:
    LStringLongTemplate() = default;
    LStringLongTemplate(const T* text) { operator=(text); }
    LStringLongTemplate(const LStringLongTemplate& o) { CopyFrom(o); }
    LStringLongTemplate(LStringLongTemplate&& o) noexcept
        : m_data(std::exchange(o.m_data, nullptr))
        , m_length(std::exchange(o.m_length, 0))
        , m_capacity(std::exchange(o.m_capacity, 0))
    {
    }
    ~LStringLongTemplate() { delete[] m_data; }

    // A new buffer of exactly the text's length + 1; the old buffer is freed afterwards, so the
    // text may point into this string. A null text gives "".
    LStringLongTemplate& operator=(const T* text)
    {
        size_t n = _LStringUnitLength(text);
        T* d = new T[n + 1];
        if (n)
            std::memcpy(d, text, n * sizeof(T));
        d[n] = 0;
        delete[] m_data;
        m_data = d;
        m_length = n;
        m_capacity = n + 1;
        return *this;
    }
    LStringLongTemplate& operator=(const LStringLongTemplate& o)
    {
        if (this != &o) {
            T* old = m_data;
            m_data = nullptr;
            CopyFrom(o);
            delete[] old;
        }
        return *this;
    }
    LStringLongTemplate& operator=(LStringLongTemplate&& o) noexcept
    {
        if (this != &o) {
            delete[] m_data;
            m_data = std::exchange(o.m_data, nullptr);
            m_length = std::exchange(o.m_length, 0);
            m_capacity = std::exchange(o.m_capacity, 0);
        }
        return *this;
    }

    // Grows the buffer to n units when it holds fewer; never shrinks; keeps the text.
    void GrowToSize(size_t n)
    {
        if (m_capacity >= n)
            return;
        // n > capacity > length whenever a buffer is held; keep is length, written for clarity.
        size_t keep = m_length < n ? m_length : n - 1;
        T* d = new T[n];
        if (keep)
            std::memcpy(d, m_data, keep * sizeof(T));
        d[keep] = 0;
        delete[] m_data;
        m_data = d;
        m_capacity = n;
    }

    void Append(const T* text) { Append(text, _LStringUnitLength(text)); }
    void Append(const T* text, size_t n)
    {
        if (n == 0) {
            if (!m_data)
                GrowToSize(kLStringShortSize);
            return;
        }
        // Compared as addresses: text usually points into another object.
        const uintptr_t at = reinterpret_cast<uintptr_t>(text);
        const uintptr_t base = reinterpret_cast<uintptr_t>(m_data);
        if (m_data && at >= base && at < base + m_capacity * sizeof(T)) {
            // Appending part of this string: the buffer may move.
            size_t offset = (at - base) / sizeof(T);
            Reserve(n);
            text = m_data + offset;
        } else {
            Reserve(n);
        }
        std::memmove(m_data + m_length, text, n * sizeof(T));
        m_length += n;
        m_data[m_length] = 0;
    }
    void Append(const LStringLongTemplate& o)
    {
        if (o.m_data && o.m_length)
            Append(o.m_data, o.m_length);
    }
    void Append(T c)
    {
        Reserve(1);
        m_data[m_length++] = c;
        m_data[m_length] = 0;
    }

    // Empties the text and keeps the buffer.
    void Clear()
    {
        m_length = 0;
        if (m_data)
            m_data[0] = 0;
    }
    // Frees the buffer: back to the default state.
    void Free()
    {
        delete[] m_data;
        m_data = nullptr;
        m_length = m_capacity = 0;
    }

    const T* GetString() const { return m_data ? m_data : _Empty(); }
    const T* c_str() const { return GetString(); }
    // The buffer itself (null for a string that never held text) for callers that fill it; they
    // then set the length with SetLength.
    T* GetBuffer() { return m_data; }
    const T* GetBuffer() const { return m_data; }
    size_t GetLength() const { return m_length; }
    size_t GetCapacity() const { return m_capacity; }
    bool IsEmpty() const { return m_length == 0; }
    // Sets the length after the buffer was filled and terminates there (n < capacity).
    void SetLength(size_t n)
    {
        if (!m_data)
            return;
        m_length = n < m_capacity ? n : m_capacity - 1;
        m_data[m_length] = 0;
    }
    // A string that never held text reads as "": its unit 0 is the terminating zero.
    T operator[](size_t i) const { return m_data ? m_data[i] : T(0); }

    bool operator==(const LStringLongTemplate& o) const
    {
        return m_length == o.m_length
            && (m_length == 0 || std::memcmp(m_data, o.m_data, m_length * sizeof(T)) == 0);
    }
    bool operator==(const T* text) const
    {
        size_t n = _LStringUnitLength(text);
        return m_length == n && (n == 0 || std::memcmp(m_data, text, n * sizeof(T)) == 0);
    }

    // printf-style formatting (see LFormat.h): overwrites the text / appends to it.
    template <class... A>
    requires std::is_same_v<T, char> size_t sprintf(const char* format, const A&... args)
    {
        const LFormatArg a[] = { LFormatArg(args)..., LFormatArg() };
        return _LFormatIntoLong(*this, false, format, a, sizeof...(A));
    }
    template <class... A>
    requires std::is_same_v<T, char> size_t tsprintfappend(const char* format, const A&... args)
    {
        const LFormatArg a[] = { LFormatArg(args)..., LFormatArg() };
        return _LFormatIntoLong(*this, true, format, a, sizeof...(A));
    }

private:
    static const T* _Empty()
    {
        static const T zero = 0;
        return &zero;
    }
    void CopyFrom(const LStringLongTemplate& o)
    {
        if (!o.m_data) {
            m_data = nullptr;
            m_length = m_capacity = 0;
            return;
        }
        m_data = new T[o.m_length + 1];
        std::memcpy(m_data, o.m_data, o.m_length * sizeof(T));
        m_data[o.m_length] = 0;
        m_length = o.m_length;
        m_capacity = o.m_length + 1;
    }
    // Makes room for `added` more units: grows to max(needed + old capacity, 260).
    void Reserve(size_t added)
    {
        if (added > SIZE_MAX / sizeof(T) / 4 - m_length)
            throw std::length_error("LStringLongTemplate");
        size_t needed = m_length + added + 1;
        if (needed > m_capacity) {
            size_t grow = needed + m_capacity;
            GrowToSize(grow < kLStringShortSize ? kLStringShortSize : grow);
        }
    }

    T* m_data = nullptr;
    size_t m_length = 0;
    size_t m_capacity = 0;
};

// Wraps a format string: as the first argument it selects LStringShortTemplate's formatting
// constructor.
template <class T> struct LStringPrintFormatTemplate {
    explicit LStringPrintFormatTemplate(const T* f)
        : format(f)
    {
    }
    const T* format;
};

size_t utf8strlcpy(char* dst, const char* src, size_t size);

// A fixed string of 260 bytes: at most 259 characters, always NUL-terminated; longer texts are
// cut at a character boundary.
template <class T> class LStringShortTemplate;

template <> class LStringShortTemplate<char> {
public:
    LStringShortTemplate() { m_text[0] = 0; }
    LStringShortTemplate(const char* text) { Set(text); }
    template <class... A>
    LStringShortTemplate(LStringPrintFormatTemplate<char> format, const A&... args)
    {
        sprintf(format.format, args...);
    }

    LStringShortTemplate& operator=(const char* text)
    {
        Set(text);
        return *this;
    }
    void Set(const char* text)
    {
        if (!text) {
            m_text[0] = 0;
            return;
        }
        if (text >= m_text && text < m_text + kLStringShortSize) {
            char tmp[kLStringShortSize];
            utf8strlcpy(tmp, text, kLStringShortSize);
            std::memcpy(m_text, tmp, kLStringShortSize);
        } else {
            utf8strlcpy(m_text, text, kLStringShortSize);
        }
    }

    template <class... A> size_t sprintf(const char* format, const A&... args)
    {
        const LFormatArg a[] = { LFormatArg(args)..., LFormatArg() };
        return _LFormatIntoFixed(m_text, kLStringShortSize - 1, format, a, sizeof...(A));
    }

    const char* c_str() const { return m_text; }
    const char* GetString() const { return m_text; }
    char* GetBuffer() { return m_text; }
    size_t GetLength() const { return std::strlen(m_text); }
    static constexpr size_t GetSize() { return kLStringShortSize; }
    bool IsEmpty() const { return m_text[0] == 0; }
    bool operator==(const char* text) const { return std::strcmp(m_text, text ? text : "") == 0; }

private:
    char m_text[kLStringShortSize];
};

// Key of the string tree behind LHashTable: an owned string compared with strcmp, a null buffer
// counting as "".
class LStringLongKey {
public:
    LStringLongKey() = default;
    LStringLongKey(const char* text)
        : m_text(text)
    {
    }
    const char* c_str() const { return m_text.c_str(); }
    int Compare(const char* other) const { return std::strcmp(c_str(), other ? other : ""); }
    int Compare(const LStringLongKey& other) const { return std::strcmp(c_str(), other.c_str()); }
    const LStringLongTemplate<char>& GetString() const { return m_text; }

private:
    LStringLongTemplate<char> m_text;
};

// Cursor-style parser over a NUL-terminated text it does not own.
template <class T> class LStringParserTemplate;

template <> class LStringParserTemplate<char> {
public:
    explicit LStringParserTemplate(const char* text)
        : m_cursor(text ? text : "")
    {
    }

    // Moves just past the first occurrence of text (true), or to the end (false).
    bool SkipToStringAndSkip(const char* text);
    // Copies up to the next occurrence of text (at most 259 bytes and a NUL into out, a buffer of
    // 260) and moves past it; copies the rest when it is absent.
    void GetToStringAndSkip(const char* text, char* out);
    // Advances while the current character is neither NUL nor one of set.
    void SkipToCharacter(const char* set);

    const char* GetCursor() const { return m_cursor; }
    void SetCursor(const char* p) { m_cursor = p ? p : ""; }
    bool IsAtEnd() const { return *m_cursor == 0; }

private:
    const char* m_cursor;
};

// Text helpers.
size_t tstrlen(const char* s);
size_t lstrlen(const unsigned short* s);

template <class T> void LStringTrim(T* s);
template <> void LStringTrim<char>(char* s);
template <class T> void LStringTrimFormatting(T* s);
template <> void LStringTrimFormatting<char>(char* s);

// Hexadecimal digits up to the first other character, into 32 bits; no "0x" prefix.
uint32_t atoh(const char* s);
// Signed 64-bit decimal with saturation at +/-9223372036854775807.
template <class T> int64_t ttoi64template(const T* s);
template <> int64_t ttoi64template<char>(const char* s);

// Copies the leading run of bytes above 32 (at most 259 kept) into out (260 bytes), skips the
// blanks after it and returns the offset of the next non-blank byte or of the NUL.
template <class T> size_t LParseGetToWhiteSpaceAndSkipIt(const T* src, T* out);
template <> size_t LParseGetToWhiteSpaceAndSkipIt<char>(const char* src, char* out);
// Copies up to the first delimiter or the NUL (at most 259 kept); returns the delimiter's offset.
template <class T> size_t LParseGetToCharacters(const T* src, const T* delimiters, T* out);
template <> size_t LParseGetToCharacters<char>(const char* src, const char* delimiters, char* out);
// out = the bytes up to the first CR, LF or NUL; returns their count.
template <class T> size_t LParseGetToEndOfLine(const T* src, LStringLongTemplate<T>& out);
template <> size_t LParseGetToEndOfLine<char>(const char* src, LStringLongTemplate<char>& out);

// Copies a caption without its mnemonic marks: a single "&" is dropped, "&&" becomes "&". The
// output is cut to outSize bytes (NUL included) at a character boundary.
void LStripAmpersand(char* out, const char* src, size_t outSize = kLStringShortSize);

// Natural-order comparison: digit runs compare by value, letters case-insensitively.
int LStringCompareLogical(const char* a, const char* b);
