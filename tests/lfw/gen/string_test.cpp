#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lfw/gen/LString.h"
#include "lfw/gen/LStringList.h"

TEST(StringLong, DefaultIsEmptyWithoutBuffer)
{
    LStringLongTemplate<char> s;
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.GetCapacity(), 0u);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(s[0], 0); // reads as "", never through the missing buffer
    LStringLongTemplate<unsigned short> wide;
    EXPECT_EQ(wide[0], 0);
    LStringLongTemplate<char> copy(s);
    EXPECT_EQ(copy.GetBuffer(), nullptr);
    s = copy;
    EXPECT_EQ(s.GetBuffer(), nullptr);
}

TEST(StringLong, AssignAndCopyUseExactBuffers)
{
    LStringLongTemplate<char> s;
    s = "hello";
    EXPECT_EQ(s.GetLength(), 5u);
    EXPECT_EQ(s.GetCapacity(), 6u);
    s.GrowToSize(100);
    LStringLongTemplate<char> copy(s);
    EXPECT_EQ(copy.GetCapacity(), 6u);
    EXPECT_STREQ(copy.c_str(), "hello");
    // Assigning a text that lives inside the string itself.
    s = s.GetBuffer() + 2;
    EXPECT_STREQ(s.c_str(), "llo");
    EXPECT_EQ(s.GetCapacity(), 4u);
}

TEST(StringLong, GrowToSizeKeepsTextAndNeverShrinks)
{
    LStringLongTemplate<char> s("abc");
    s.GrowToSize(50);
    EXPECT_EQ(s.GetCapacity(), 50u);
    EXPECT_STREQ(s.c_str(), "abc");
    s.GrowToSize(10);
    EXPECT_EQ(s.GetCapacity(), 50u);
    LStringLongTemplate<unsigned short> w;
    w.GrowToSize(8);
    EXPECT_EQ(w.GetCapacity(), 8u);
    EXPECT_EQ(w.GetBuffer()[0], 0);
}

TEST(StringLong, AppendGrowsByOldCapacityAndAtLeast260)
{
    LStringLongTemplate<char> s("ab"); // capacity 3
    s.Append("c");
    EXPECT_EQ(s.GetCapacity(), 260u); // needed 4 + 3 < 260
    EXPECT_STREQ(s.c_str(), "abc");
    std::string big(300, 'x');
    s.Append(big.c_str());
    // needed = 3 + 300 + 1 = 304; grows to 304 + 260.
    EXPECT_EQ(s.GetCapacity(), 564u);
    EXPECT_EQ(s.GetLength(), 303u);
    s.Append('y');
    EXPECT_EQ(s.GetLength(), 304u);
    EXPECT_EQ(s[303], 'y');
    s.Append("12345", 2);
    EXPECT_EQ(std::string(s.c_str()).substr(304), "12");
    LStringLongTemplate<char> empty;
    size_t cap = s.GetCapacity();
    s.Append(empty);
    EXPECT_EQ(s.GetCapacity(), cap);
    EXPECT_EQ(s.GetLength(), 306u);
}

TEST(StringLong, AppendOfItsOwnTextSurvivesReallocation)
{
    LStringLongTemplate<char> s("abcdef");
    s.Append(s.c_str(), s.GetLength());
    EXPECT_STREQ(s.c_str(), "abcdefabcdef");
}

TEST(StringLong, PerCharacterAppendsAreAmortised)
{
    LStringLongTemplate<char> s;
    size_t grows = 0;
    size_t cap = 0;
    for (int i = 0; i < 100000; ++i) {
        s.Append(char('a' + i % 26));
        if (s.GetCapacity() != cap) {
            cap = s.GetCapacity();
            ++grows;
        }
    }
    EXPECT_EQ(s.GetLength(), 100000u);
    EXPECT_LT(grows, 20u);
}

TEST(StringShort, CutsAt259BytesOnACharacterBoundary)
{
    std::string text(258, 'a');
    text += "\xC3\xA5"; // a two-byte character across the 259th byte
    LStringShortTemplate<char> s(text.c_str());
    EXPECT_EQ(s.GetLength(), 258u);
    std::string exact(300, 'b');
    s = exact.c_str();
    EXPECT_EQ(s.GetLength(), 259u);
    s = s.c_str() + 9; // from itself
    EXPECT_EQ(s.GetLength(), 250u);
}

TEST(StringList, GrowsFrom255To2047)
{
    LStringListTemplate<char> list;
    EXPECT_EQ(list.GetCapacity(), 255u);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetItems()[0], nullptr);
    for (int i = 0; i < 255; ++i)
        list.Add(std::to_string(i).c_str());
    EXPECT_EQ(list.GetCapacity(), 255u);
    list.Add("256th");
    EXPECT_EQ(list.GetCapacity(), 2047u);
    EXPECT_EQ(list.GetCount(), 256u);
    EXPECT_STREQ(list[0], "0");
    EXPECT_STREQ(list[255], "256th");
    EXPECT_EQ(list.GetItems()[256], nullptr);
    char* item = list.Add(size_t(10));
    EXPECT_EQ(item[0], 0);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetCapacity(), 2047u);
    EXPECT_EQ(list.GetItems()[0], nullptr);
}

TEST(StringParser, SkipsAndCopiesToDelimiters)
{
    LStringParserTemplate<char> p("key=value;rest");
    char out[260];
    p.GetToStringAndSkip("=", out);
    EXPECT_STREQ(out, "key");
    EXPECT_TRUE(p.SkipToStringAndSkip("val"));
    EXPECT_STREQ(p.GetCursor(), "ue;rest");
    p.SkipToCharacter(";,");
    EXPECT_STREQ(p.GetCursor(), ";rest");
    EXPECT_FALSE(p.SkipToStringAndSkip("zzz"));
    EXPECT_TRUE(p.IsAtEnd());

    std::string longText(400, 'q');
    LStringParserTemplate<char> q(longText.c_str());
    q.GetToStringAndSkip("#", out);
    EXPECT_EQ(std::strlen(out), 259u);
    EXPECT_TRUE(q.IsAtEnd());
}

TEST(StringHelpers, TrimRemovesSpacesOrControlBytes)
{
    char a[] = "   x y  ";
    LStringTrim<char>(a);
    EXPECT_STREQ(a, "x y");
    char b[] = "\t\r\n x\x80\x01";
    LStringTrimFormatting<char>(b);
    EXPECT_STREQ(b, " x\x80");
    char c[] = "    ";
    LStringTrim<char>(c);
    EXPECT_STREQ(c, "");
}

TEST(StringHelpers, HexParsing)
{
    EXPECT_EQ(atoh("1fZ"), 31u);
    EXPECT_EQ(atoh("0x10"), 0u);
    EXPECT_EQ(atoh(""), 0u);
    EXPECT_EQ(atoh("DEADbeef"), 0xDEADBEEFu);
}

TEST(StringHelpers, DecimalParsingSaturates)
{
    EXPECT_EQ(ttoi64template<char>("  -42x"), -42);
    EXPECT_EQ(ttoi64template<char>("99999999999999999999"), 9223372036854775807LL);
    EXPECT_EQ(ttoi64template<char>("-99999999999999999999"), -9223372036854775807LL);
    EXPECT_EQ(ttoi64template<char>("-9223372036854775808"), -9223372036854775807LL);
    EXPECT_EQ(ttoi64template<char>("9223372036854775807"), 9223372036854775807LL);
    EXPECT_EQ(ttoi64template<char>("-"), 0);
    EXPECT_EQ(ttoi64template<char>("+17"), 17);
    EXPECT_EQ(ttoi64template<char>("\t\n 5"), 5);
    EXPECT_EQ(ttoi64template<char>("--5"), 0);
}

TEST(StringHelpers, ParseToWhiteSpaceCharactersAndEndOfLine)
{
    char out[260];
    const char* src = "word  \t next";
    size_t off = LParseGetToWhiteSpaceAndSkipIt<char>(src, out);
    EXPECT_STREQ(out, "word");
    EXPECT_EQ(off, 8u);
    EXPECT_EQ(LParseGetToWhiteSpaceAndSkipIt<char>("tail", out), 4u);
    EXPECT_STREQ(out, "tail");
    std::string longWord(300, 'w');
    longWord += " x";
    EXPECT_EQ(LParseGetToWhiteSpaceAndSkipIt<char>(longWord.c_str(), out), 301u);
    EXPECT_EQ(std::strlen(out), 259u);

    EXPECT_EQ(LParseGetToCharacters<char>("a,b;c", ";,", out), 1u);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(LParseGetToCharacters<char>("abc", ";", out), 3u);

    LStringLongTemplate<char> line;
    EXPECT_EQ(LParseGetToEndOfLine<char>("first\r\nsecond", line), 5u);
    EXPECT_STREQ(line.c_str(), "first");
    EXPECT_EQ(line.GetCapacity(), 260u);
    std::string longLine(1000, 'l');
    EXPECT_EQ(LParseGetToEndOfLine<char>(longLine.c_str(), line), 1000u);
    EXPECT_EQ(line.GetCapacity(), 1040u);
}

TEST(StringHelpers, StripAmpersand)
{
    char out[260];
    LStripAmpersand(out, "&Arkiv");
    EXPECT_STREQ(out, "Arkiv");
    LStripAmpersand(out, "Svart && vitt");
    EXPECT_STREQ(out, "Svart & vitt");
    LStripAmpersand(out, nullptr);
    EXPECT_STREQ(out, "");
    LStripAmpersand(out, "slut&");
    EXPECT_STREQ(out, "slut");
    char small[4];
    LStripAmpersand(small, "ab\xC3\xA5", sizeof small); // the last character needs 2 bytes
    EXPECT_STREQ(small, "ab");
}

TEST(StringCompareLogical, NaturalOrder)
{
    EXPECT_LT(LStringCompareLogical("file9", "file10"), 0);
    EXPECT_GT(LStringCompareLogical("file10", "file9"), 0);
    EXPECT_GT(LStringCompareLogical("a01", "a1"), 0);
    EXPECT_LT(LStringCompareLogical("a1", "a01"), 0);
    EXPECT_EQ(LStringCompareLogical("A", "a"), 0);
    EXPECT_EQ(LStringCompareLogical("", ""), 0);
    EXPECT_EQ(LStringCompareLogical("", "x"), -1);
    EXPECT_EQ(LStringCompareLogical("x", ""), 1);
    EXPECT_EQ(LStringCompareLogical("abc", "abcd"), -1);
    EXPECT_EQ(LStringCompareLogical("abcd", "abc"), 1);
    EXPECT_EQ(LStringCompareLogical("x9", "x12"), -3); // the difference of the values
    // Equal values that do not end the strings: the comparison goes on after the runs.
    EXPECT_LT(LStringCompareLogical("v01a", "v1b"), 0);
    // Runs longer than any integer still order by value.
    EXPECT_LT(LStringCompareLogical("n99999999999999999999999", "n100000000000000000000000"), 0);
    EXPECT_GT(LStringCompareLogical("n123456789012345678901235", "n123456789012345678901234"), 0);
}
