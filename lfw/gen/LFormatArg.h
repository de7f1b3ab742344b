#pragma once
// One argument of the printf-style formatter. Every argument is captured with its own type, so a
// conversion never reinterprets the bits of one type as another: a double handed to "%d" is
// converted by value, text handed to "%d" puts nothing, and a missing argument puts nothing.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

template <class T> class LStringLongTemplate;

struct LFormatArg {
    enum Kind : uint8_t { None, Signed, Unsigned, Double, LongDouble, Text, Pointer };

    Kind kind = None;
    uint8_t bytes = 0; // size of the original integer type, for unsigned and width-exact output
    union {
        int64_t i;
        uint64_t u;
        double d;
        long double ld;
        const char* s;
        const void* p;
    };

    constexpr LFormatArg()
        : u(0)
    {
    }

    template <std::integral I>
    constexpr LFormatArg(I v)
        : bytes(sizeof(I))
        , u(0)
    {
        if constexpr (std::is_signed_v<I>) {
            kind = Signed;
            i = static_cast<int64_t>(v);
        } else {
            kind = Unsigned;
            u = static_cast<uint64_t>(v);
        }
    }
    template <class E>
    requires std::is_enum_v<E>
    constexpr LFormatArg(E v)
        : LFormatArg(static_cast<std::underlying_type_t<E>>(v))
    {
    }
    constexpr LFormatArg(float v)
        : kind(Double)
        , d(v)
    {
    }
    constexpr LFormatArg(double v)
        : kind(Double)
        , d(v)
    {
    }
    constexpr LFormatArg(long double v)
        : kind(LongDouble)
        , ld(v)
    {
    }
    constexpr LFormatArg(const char* v)
        : kind(Text)
        , s(v)
    {
    }
    constexpr LFormatArg(std::nullptr_t)
        : kind(Text)
        , s(nullptr)
    {
    }
    template <class P>
    requires(!std::is_same_v<std::remove_cv_t<P>, char>) constexpr LFormatArg(P* v)
        : kind(Pointer)
        , p(v)
    {
    }
    // Any string object that offers c_str() (the framework's strings, std::string).
    template <class S>
    requires requires(const S& x)
    {
        {
            x.c_str()
            } -> std::convertible_to<const char*>;
    }
    LFormatArg(const S& v)
        : kind(Text)
        , s(v.c_str())
    {
    }
};

// Where the formatter puts its output: a run of characters at a time.
struct LFormatSink {
    void* target;
    void (*put)(void* target, const char* text, size_t n);
};

// The formatting engine. Returns nothing; the writers keep their own length.
void _LFormatPrint(
    const LFormatSink& sink, const char* format, const LFormatArg* args, size_t count);

// Entry points used by the string classes' member functions.
size_t _LFormatIntoLong(LStringLongTemplate<char>& s, bool append, const char* format,
    const LFormatArg* args, size_t count);
size_t _LFormatIntoFixed(
    char* buffer, size_t limit, const char* format, const LFormatArg* args, size_t count);
