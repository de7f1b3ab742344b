#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "lfw/gen/LFormat.h"

namespace {

std::string Format(const char* format, auto... args)
{
    LStringLongTemplate<char> s;
    s.sprintf(format, args...);
    return s.c_str();
}

std::string System(const char* format, auto... args)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

} // namespace

TEST(Format, LiteralTextAndPercent)
{
    EXPECT_EQ(Format("plain text"), "plain text");
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("a%5%b"), "a%b"); // a width before the second percent sign
    EXPECT_EQ(Format("trailing %"), "trailing ");
    LStringLongTemplate<char> s("keep");
    EXPECT_EQ(s.sprintf(nullptr), 0u);
    EXPECT_STREQ(s.c_str(), "");
}

TEST(Format, TextConversionIgnoresWidthAndPrecision)
{
    EXPECT_EQ(Format("[%s]", "abc"), "[abc]");
    EXPECT_EQ(Format("[%10s]", "abc"), "[abc]");
    EXPECT_EQ(Format("[%.1s]", "abc"), "[abc]");
    EXPECT_EQ(Format("[%s]", (const char*)nullptr), "[]");
    EXPECT_EQ(Format("[%s]", ""), "[]");
    LStringLongTemplate<char> owned("owned");
    LStringShortTemplate<char> fixed("fixed");
    EXPECT_EQ(Format("%s %s %s", owned, fixed, std::string("std")), "owned fixed std");
}

TEST(Format, IntegerConversions)
{
    EXPECT_EQ(Format("%5d", 42), "   42");
    EXPECT_EQ(Format("%05d", 42), "00042");
    EXPECT_EQ(Format("%.3d", 7), "007");
    EXPECT_EQ(Format("%d %i", -17, 5), "-17 5");
    EXPECT_EQ(Format("%u", 4000000000u), "4000000000");
    EXPECT_EQ(Format("%x %X %o", 255, 255, 8), "ff FF 10");
    EXPECT_EQ(Format("%08X", 0xBEEFu), "0000BEEF");
    EXPECT_EQ(Format("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(Format("%3c", 'z'), "  z");
    // "%d" and "%lld" both take a 64-bit value whole; "l" and "z" pass.
    EXPECT_EQ(Format("%lld", 9000000000LL), "9000000000");
    EXPECT_EQ(Format("%d", 9000000000LL), "9000000000");
    EXPECT_EQ(Format("%ld %zu", -5L, size_t(6)), "-5 6");
    EXPECT_EQ(Format("%llu", 18446744073709551615ULL), "18446744073709551615");
    EXPECT_EQ(Format("%d", (long long)INT64_MIN), "-9223372036854775808");
    // Negative numbers wrap in their own width, as printf does.
    EXPECT_EQ(Format("%x", -1), "ffffffff");
    EXPECT_EQ(Format("%x", (short)-1), "ffff");
    EXPECT_EQ(Format("%llx", -1LL), "ffffffffffffffff");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%d", 4000000000u), "-294967296");
    EXPECT_EQ(Format("%d", true), "1");
    enum class Colour { Red = 3 };
    EXPECT_EQ(Format("%d", Colour::Red), "3");
}

TEST(Format, FloatingPointMatchesTheSystemLibrary)
{
    EXPECT_EQ(Format("%.2f", 1.005), System("%.2f", 1.005));
    EXPECT_EQ(Format("%f", 3.25), "3.250000");
    EXPECT_EQ(Format("%8.3f|", -2.5), "  -2.500|");
    EXPECT_EQ(Format("%e", 12345.678), System("%e", 12345.678));
    EXPECT_EQ(Format("%g %g", 0.0001, 1e20), System("%g %g", 0.0001, 1e20));
    EXPECT_EQ(Format("%E %G", 1.5, 2.5e-10), System("%E %G", 1.5, 2.5e-10));
    EXPECT_EQ(Format("%.1f", 2.0f), "2.0");
    EXPECT_EQ(Format("%Lf", 1.5L), "1.500000");
    EXPECT_EQ(Format("%.3Lf", 1.0L / 3), System("%.3Lf", 1.0L / 3));
    EXPECT_EQ(Format("%.2lf", 0.125), System("%.2f", 0.125));
}

TEST(Format, ConversionsNeverReinterpretArguments)
{
    // A double under an integer conversion is converted by value, an integer under a floating
    // conversion likewise; no bits of one type are read as another.
    EXPECT_EQ(Format("%d", 3.99), "3");
    EXPECT_EQ(Format("%d", -2.5), "-2");
    EXPECT_EQ(Format("%d", 1e30), "9223372036854775807");
    EXPECT_EQ(Format("%.1f", 7), "7.0");
    EXPECT_EQ(Format("%x", 255.0), "ff");
    // Text under a number conversion and a number under "%s" put nothing.
    EXPECT_EQ(Format("[%d][%s]", "text", 12), "[][]");
    // Missing arguments put nothing; extra ones are ignored.
    EXPECT_EQ(Format("%d-%s-%f|"), "--|");
    EXPECT_EQ(Format("%d", 1, 2, 3), "1");
    // "%n" is never handed to the system library.
    int n = 0;
    EXPECT_EQ(Format("ab%n", &n), "ab%n");
    EXPECT_EQ(n, 0);
}

TEST(Format, UnknownFlagsArePutAsTheyStand)
{
    EXPECT_EQ(Format("%-5d|%d", 1, 2), "%-5d|2");
    EXPECT_EQ(Format("%+d", 1), "%+d");
}

TEST(Format, WideResultsAreNotCut)
{
    // Wider than the scratch area: formatted whole, nothing overrun.
    EXPECT_EQ(Format("%f", 1e300), System("%f", 1e300));
    EXPECT_GT(Format("%f", 1e300).size(), 300u);
    EXPECT_EQ(Format("%400d", 1).size(), 400u);
    // Absurd widths are capped.
    EXPECT_EQ(Format("%999999999999d", 1).size(), 1024u);
    // A conversion longer than 257 characters keeps its first 257.
    std::string longSpec = "%" + std::string(300, '1');
    EXPECT_EQ(Format((longSpec + "d").c_str(), 5).size(), 1024u);
}

TEST(Format, FixedStringCutsAt259)
{
    std::string letters(300, 'x');
    LStringShortTemplate<char> s(LStringPrintFormatTemplate<char>("%s"), letters.c_str());
    EXPECT_EQ(s.GetLength(), 259u);
    EXPECT_EQ(std::string(s.c_str()), letters.substr(0, 259));
    sprintf<char>(s, "%d-%s", 12, "ab");
    EXPECT_STREQ(s.c_str(), "12-ab");
    EXPECT_EQ(s.sprintf("%d", 7), 1u);
    EXPECT_STREQ(s.c_str(), "7");
}

TEST(Format, FixedWriterDropsWhatDoesNotFit)
{
    char buffer[9];
    std::memset(buffer, 'Z', sizeof buffer);
    LFixedLengthStringWriterTemplate<char> w(buffer, 8);
    EXPECT_EQ((tplwprintf<LFixedLengthStringWriterTemplate<char>, char>(w, "%s", "abc")), 3u);
    EXPECT_EQ(buffer[3], 'Z'); // the caller terminates
    sprintf(w, "%d%s", 12345, "overflow");
    EXPECT_EQ(w.GetLength(), 8u);
    w.Terminate();
    EXPECT_STREQ(buffer, "abc12345");

    char out[6];
    EXPECT_EQ(LStringFormat(out, sizeof out, "%s", "truncated"), 5u);
    EXPECT_STREQ(out, "trunc");
}

TEST(Format, GrowableWriterAndAppender)
{
    LStringLongTemplate<char> s("abc");
    s.tsprintfappend("%d", 1);
    EXPECT_STREQ(s.c_str(), "abc1");
    tsprintfappend(s, "-%s", "x");
    EXPECT_STREQ(s.c_str(), "abc1-x");
    EXPECT_EQ(s.GetCapacity(), 260u);
    sprintf(s, "%d", 99);
    EXPECT_STREQ(s.c_str(), "99");
    // The buffer quadruples when it fills.
    std::string big(300, 'q');
    s.sprintf("%s", big.c_str());
    EXPECT_EQ(s.GetLength(), 300u);
    EXPECT_EQ(s.GetCapacity(), 1040u);
    std::string bigger(1040, 'r');
    s.sprintf("%s", bigger.c_str());
    EXPECT_EQ(s.GetCapacity(), 4160u);

    LStringLongTemplate<char> target("start:");
    LStringLongTemplateAppender<char> appender(target);
    tplstrcpy<LStringLongTemplateAppender<char>, char>(appender, "more");
    EXPECT_STREQ(target.c_str(), "start:more");
    EXPECT_EQ(tplprintf(appender, "%u", 5u), 11u);
    EXPECT_STREQ(target.c_str(), "start:more5");
}
