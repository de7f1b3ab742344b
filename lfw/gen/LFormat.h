#pragma once
// printf-style formatting through writers. The engine walks the format itself, puts literal text
// and "%s" arguments as they are and formats numbers with the C library. Arguments are captured
// with their types (LFormatArg), so a conversion never reads a value of another type.
//
// Conversions: "%s" text (width and precision ignored), "%%", "%d %i %u %x %X %o %c" integers,
// "%e %f %g %E %G %F %a %A" floating point ("L" before the conversion takes a long double), "%p".
// Between "%" and the conversion only digits, ".", "l", "L" and "z" are understood; a leading 0
// pads with zeros. Length modifiers are accepted but the value keeps the argument's own width, so
// "%d" and "%lld" both print a 64-bit value whole.

#include <cstddef>

#include "lfw/gen/LFormatArg.h"
#include "lfw/gen/LString.h"

// Overwrites a growable string: put stores at the length and quadruples the buffer when full.
template <class T> class LStringLongTemplateWriter;
template <> class LStringLongTemplateWriter<char> {
public:
    explicit LStringLongTemplateWriter(LStringLongTemplate<char>& s)
        : m_string(s)
    {
    }
    void Put(char c) { Put(&c, 1); }
    void Put(const char* text, size_t n);
    size_t GetLength() const { return m_string.GetLength(); }
    LStringLongTemplate<char>& GetString() { return m_string; }

protected:
    LStringLongTemplate<char>& m_string;
};

// The same writer, for entry points that keep the current text.
template <class T> class LStringLongTemplateAppender;
template <> class LStringLongTemplateAppender<char> : public LStringLongTemplateWriter<char> {
public:
    using LStringLongTemplateWriter<char>::LStringLongTemplateWriter;
};

// A caller's fixed buffer: characters past the limit are dropped. The buffer must hold limit + 1
// bytes when the caller terminates it (Terminate).
template <class T> class LFixedLengthStringWriterTemplate;
template <> class LFixedLengthStringWriterTemplate<char> {
public:
    LFixedLengthStringWriterTemplate(char* buffer, size_t limit)
        : m_buffer(buffer)
        , m_length(0)
        , m_limit(limit)
    {
    }
    void Put(char c)
    {
        if (m_length < m_limit)
            m_buffer[m_length++] = c;
    }
    void Put(const char* text, size_t n)
    {
        size_t room = m_limit - m_length;
        if (n > room)
            n = room;
        std::memcpy(m_buffer + m_length, text, n);
        m_length += n;
    }
    size_t GetLength() const { return m_length; }
    size_t GetLimit() const { return m_limit; }
    char* GetBuffer() { return m_buffer; }
    void Terminate() { m_buffer[m_length] = 0; }
    void Reset() { m_length = 0; }

private:
    char* m_buffer;
    size_t m_length;
    size_t m_limit;
};

template <class W> LFormatSink LFormatSinkFor(W& writer)
{
    return LFormatSink { &writer,
        [](void* w, const char* text, size_t n) { static_cast<W*>(w)->Put(text, n); } };
}

// Formats into any writer; returns the writer's final length.
template <class W, class Ch = char, class... A>
size_t tplprintf(W& writer, const Ch* format, const A&... args)
{
    static_assert(std::is_same_v<Ch, char>);
    const LFormatArg a[] = { LFormatArg(args)..., LFormatArg() };
    _LFormatPrint(LFormatSinkFor(writer), format, a, sizeof...(A));
    return writer.GetLength();
}

template <class W, class Ch = char, class... A>
size_t tplwprintf(W& writer, const Ch* format, const A&... args)
{
    return tplprintf<W, Ch>(writer, format, args...);
}

// Copies a text through the writer's put operation.
template <class W, class Ch = char> void tplstrcpy(W& writer, const Ch* text)
{
    if (text)
        writer.Put(text, std::strlen(text));
}

template <class... A>
size_t sprintf(LStringLongTemplate<char>& s, const char* format, const A&... args)
{
    return s.sprintf(format, args...);
}
template <class... A>
size_t tsprintfappend(LStringLongTemplate<char>& s, const char* format, const A&... args)
{
    return s.tsprintfappend(format, args...);
}
template <class Ch = char, class... A>
size_t sprintf(LStringShortTemplate<Ch>& s, const char* format, const A&... args)
{
    return s.sprintf(format, args...);
}
// Formats through the caller's fixed writer; the caller terminates.
template <class... A>
size_t sprintf(LFixedLengthStringWriterTemplate<char>& w, const char* format, const A&... args)
{
    return tplprintf(w, format, args...);
}
// Formats into a caller's buffer of size bytes, cut and always terminated; returns the length.
template <class... A>
size_t LStringFormat(char* buffer, size_t size, const char* format, const A&... args)
{
    if (size == 0)
        return 0;
    const LFormatArg a[] = { LFormatArg(args)..., LFormatArg() };
    return _LFormatIntoFixed(buffer, size - 1, format, a, sizeof...(A));
}
