#include "lfw/gen/LFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// A conversion is formatted into this scratch area; a longer result (a wide field, a huge "%f")
// is formatted again into a buffer of its own size, so nothing is ever cut or overrun.
constexpr size_t kScratchSize = 272;
// The most characters of a conversion that are kept; more are read and dropped.
constexpr size_t kMaxConversion = 257;
// Field widths and precisions are capped so that a hostile format cannot ask for gigabytes.
constexpr unsigned kMaxField = 1024;

struct Spec {
    bool zero = false;
    bool hasWidth = false;
    bool hasPrecision = false;
    bool longDouble = false; // "L" directly before the conversion
    unsigned width = 0;
    unsigned precision = 0;
};

Spec ParseSpec(const char* s, size_t n)
{
    Spec sp;
    size_t i = 0;
    if (i < n && s[i] == '0')
        sp.zero = true;
    bool inPrecision = false;
    bool dotSeen = false;
    for (; i < n; ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            unsigned& v = inPrecision ? sp.precision : sp.width;
            (inPrecision ? sp.hasPrecision : sp.hasWidth) = true;
            if (v < kMaxField)
                v = v * 10 + unsigned(c - '0');
            if (v > kMaxField)
                v = kMaxField;
        } else if (c == '.') {
            if (dotSeen)
                break; // a second dot: the rest of the conversion is not understood
            dotSeen = inPrecision = true;
            sp.hasPrecision = true;
        }
    }
    sp.longDouble = n > 0 && s[n - 1] == 'L';
    return sp;
}

// Builds "%[0][width][.precision]<length><conversion>" for snprintf.
void BuildFormat(char* out, const Spec& sp, const char* length, char conversion, bool allowZero)
{
    char* p = out;
    *p++ = '%';
    if (sp.zero && allowZero)
        *p++ = '0';
    if (sp.hasWidth)
        p = std::to_chars(p, p + 8, sp.width).ptr;
    if (sp.hasPrecision) {
        *p++ = '.';
        p = std::to_chars(p, p + 8, sp.precision).ptr;
    }
    while (*length)
        *p++ = *length++;
    *p++ = conversion;
    *p = 0;
}

class Output {
public:
    explicit Output(const LFormatSink& sink)
        : m_sink(sink)
    {
    }
    void Put(const char* s, size_t n)
    {
        if (n)
            m_sink.put(m_sink.target, s, n);
    }

    // snprintf of one value into the scratch area, or into a heap buffer when it is too small;
    // the result's characters are put up to the first NUL.
    template <class V> void Format(const char* format, V value)
    {
        char scratch[kScratchSize];
        int n = std::snprintf(scratch, sizeof scratch, format, value);
        if (n < 0)
            return;
        if (size_t(n) < sizeof scratch) {
            Put(scratch, std::strlen(scratch));
            return;
        }
        std::unique_ptr<char[]> big(new char[size_t(n) + 1]);
        std::snprintf(big.get(), size_t(n) + 1, format, value);
        Put(big.get(), std::strlen(big.get()));
    }

private:
    const LFormatSink& m_sink;
};

int64_t SaturatingToInt64(long double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9223372036854775807.0L)
        return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0L)
        return std::numeric_limits<int64_t>::min();
    return int64_t(v);
}

// The argument as a signed value for "%d": integers keep their own width (an unsigned 32-bit
// argument reads as a signed 32-bit one, as with printf), doubles convert by value.
bool SignedValue(const LFormatArg& a, int64_t& out)
{
    switch (a.kind) {
    case LFormatArg::Signed:
        out = a.i;
        return true;
    case LFormatArg::Unsigned:
        switch (a.bytes) {
        case 1:
            out = int8_t(a.u);
            break;
        case 2:
            out = int16_t(a.u);
            break;
        case 4:
            out = int32_t(a.u);
            break;
        default:
            out = int64_t(a.u);
        }
        return true;
    case LFormatArg::Double:
        out = SaturatingToInt64(a.d);
        return true;
    case LFormatArg::LongDouble:
        out = SaturatingToInt64(a.ld);
        return true;
    default:
        return false;
    }
}

// The argument as an unsigned value for "%u %x %X %o": a negative integer wraps in its own width.
bool UnsignedValue(const LFormatArg& a, uint64_t& out)
{
    switch (a.kind) {
    case LFormatArg::Unsigned:
        out = a.u;
        return true;
    case LFormatArg::Signed:
        out = a.bytes >= 8 ? uint64_t(a.i) : uint64_t(a.i) & ((uint64_t(1) << (8 * a.bytes)) - 1);
        return true;
    case LFormatArg::Double:
    case LFormatArg::LongDouble: {
        long double v = a.kind == LFormatArg::Double ? a.d : a.ld;
        if (v >= 0 && v >= 18446744073709551615.0L)
            out = std::numeric_limits<uint64_t>::max();
        else if (v >= 0)
            out = uint64_t(v);
        else
            out = uint64_t(SaturatingToInt64(v));
        return true;
    }
    default:
        return false;
    }
}

bool FloatValue(const LFormatArg& a, long double& out)
{
    switch (a.kind) {
    case LFormatArg::Double:
        out = a.d;
        return true;
    case LFormatArg::LongDouble:
        out = a.ld;
        return true;
    case LFormatArg::Signed:
        out = (long double)a.i;
        return true;
    case LFormatArg::Unsigned:
        out = (long double)a.u;
        return true;
    default:
        return false;
    }
}

bool IsFloatConversion(char c)
{
    return c == 'e' || c == 'f' || c == 'g' || c == 'E' || c == 'G' || c == 'F' || c == 'a'
        || c == 'A';
}

void Convert(
    Output& out, const char* specText, size_t specLength, char conversion, const LFormatArg* arg)
{
    Spec sp = ParseSpec(specText, specLength);
    char format[64];

    if (IsFloatConversion(conversion)) {
        long double v;
        if (!arg || !FloatValue(*arg, v))
            return;
        if (sp.longDouble || arg->kind == LFormatArg::LongDouble) {
            BuildFormat(format, sp, "L", conversion, true);
            out.Format(format, v);
        } else {
            BuildFormat(format, sp, "", conversion, true);
            out.Format(format, double(v));
        }
        return;
    }

    switch (conversion) {
    case 'd':
    case 'i': {
        int64_t v;
        if (!arg || !SignedValue(*arg, v))
            return;
        if (!sp.hasWidth && !sp.hasPrecision) {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, v);
            out.Put(buf, size_t(r.ptr - buf));
            return;
        }
        BuildFormat(format, sp, "ll", 'd', true);
        out.Format(format, (long long)v);
        return;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        uint64_t v;
        if (!arg || !UnsignedValue(*arg, v))
            return;
        if (!sp.hasWidth && !sp.hasPrecision && conversion != 'X') {
            char buf[24];
            int base = conversion == 'u' ? 10 : conversion == 'x' ? 16 : 8;
            auto r = std::to_chars(buf, buf + sizeof buf, v, base);
            out.Put(buf, size_t(r.ptr - buf));
            return;
        }
        BuildFormat(format, sp, "ll", conversion, true);
        out.Format(format, (unsigned long long)v);
        return;
    }
    case 'c': {
        int64_t v;
        if (!arg || !SignedValue(*arg, v))
            return;
        Spec c = sp;
        c.hasPrecision = false;
        BuildFormat(format, c, "", 'c', false);
        out.Format(format, int((unsigned char)v));
        return;
    }
    case 'p': {
        if (!arg)
            return;
        const void* p = nullptr;
        if (arg->kind == LFormatArg::Pointer)
            p = arg->p;
        else if (arg->kind == LFormatArg::Text)
            p = arg->s;
        else if (arg->kind == LFormatArg::Signed || arg->kind == LFormatArg::Unsigned)
            p = reinterpret_cast<const void*>(uintptr_t(arg->u));
        else
            return;
        Spec q = sp;
        q.hasPrecision = false;
        BuildFormat(format, q, "", 'p', false);
        out.Format(format, p);
        return;
    }
    default:
        // A flag or conversion the engine does not understand ("-", "+", " ", "#", "*", "n", ...):
        // put the conversion as it stands. It still takes its argument, so that the
        // following conversions keep their places.
        out.Put("%", 1);
        out.Put(specText, specLength);
        out.Put(&conversion, 1);
        return;
    }
}

} // namespace

void _LFormatPrint(
    const LFormatSink& sink, const char* format, const LFormatArg* args, size_t count)
{
    if (!format)
        return;
    Output out(sink);
    size_t next = 0;
    const char* p = format;
    for (;;) {
        const char* run = p;
        while (*p && *p != '%')
            ++p;
        out.Put(run, size_t(p - run));
        if (!*p)
            return;
        ++p; // the "%"
        char spec[kMaxConversion];
        size_t specLength = 0;
        while ((*p >= '0' && *p <= '9') || *p == '.' || *p == 'l' || *p == 'L' || *p == 'z') {
            if (specLength < kMaxConversion)
                spec[specLength++] = *p;
            ++p;
        }
        char conversion = *p;
        if (!conversion)
            return;
        ++p;
        if (conversion == '%') {
            out.Put("%", 1);
            continue;
        }
        const LFormatArg* arg = next < count ? &args[next] : nullptr;
        ++next;
        if (conversion == 's') {
            if (arg && arg->kind == LFormatArg::Text && arg->s)
                out.Put(arg->s, std::strlen(arg->s));
            continue;
        }
        Convert(out, spec, specLength, conversion, arg);
    }
}

void LStringLongTemplateWriter<char>::Put(const char* text, size_t n)
{
    // Character by character the writer quadruples the buffer whenever the length reaches the
    // capacity; a run of n characters ends at the same capacity.
    size_t length = m_string.GetLength();
    size_t capacity = m_string.GetCapacity();
    if (n > SIZE_MAX / 8 - length)
        throw std::length_error("LStringLongTemplateWriter");
    if (length + n >= capacity) {
        size_t grown = capacity ? capacity : kLStringShortSize;
        while (length + n >= grown)
            grown *= 4;
        m_string.GrowToSize(grown);
    }
    std::memcpy(m_string.GetBuffer() + length, text, n);
    m_string.SetLength(length + n);
}

size_t _LFormatIntoLong(LStringLongTemplate<char>& s, bool append, const char* format,
    const LFormatArg* args, size_t count)
{
    s.GrowToSize(kLStringShortSize);
    if (!append)
        s.Clear();
    LStringLongTemplateWriter<char> w(s);
    _LFormatPrint(LFormatSinkFor(w), format, args, count);
    return s.GetLength();
}

size_t _LFormatIntoFixed(
    char* buffer, size_t limit, const char* format, const LFormatArg* args, size_t count)
{
    LFixedLengthStringWriterTemplate<char> w(buffer, limit);
    _LFormatPrint(LFormatSinkFor(w), format, args, count);
    w.Terminate();
    return w.GetLength();
}
