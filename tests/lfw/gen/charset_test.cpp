#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "lfw/gen/LCharSet.h"

namespace {

std::string TempPath(const char* name)
{
    // Each test runs in a process of its own, side by side with the others.
    return std::string(VT_BINARY_DIR) + "/charset_test_" + std::to_string(getpid()) + "_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Runs a shell command with input bytes and returns its output bytes.
bool RunFilter(const std::string& command, const std::string& input, std::string& output)
{
    std::string in = TempPath("filter_in");
    WriteFile(in, input);
    FILE* p = popen((command + " < '" + in + "'").c_str(), "r");
    if (!p)
        return false;
    output.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        output.append(buf, n);
    int status = pclose(p);
    unlink(in.c_str());
    return status == 0;
}

const char kGClef[] = "\xF0\x9D\x84\x9E"; // U+1D11E, outside the 16-bit plane

} // namespace

TEST(Utf8Copy, CutsOnCharacterBoundaries)
{
    char dst[4];
    utf8strlcpy(dst, "abcdef", sizeof dst);
    EXPECT_STREQ(dst, "abc");
    // Two letters and a two-byte character: the lead byte at the cut is dropped.
    EXPECT_EQ(utf8strlcpy(dst, "ab\xC3\xA5", sizeof dst), 3u);
    EXPECT_STREQ(dst, "ab");
    // One letter and a two-byte character fit whole.
    utf8strlcpy(dst, "a\xC3\xA5z", sizeof dst);
    EXPECT_STREQ(dst, "a\xC3\xA5");
    EXPECT_EQ(utf8strlcpy(dst, "abc", sizeof dst), 3u);
    EXPECT_EQ(utf8strlcpy(dst, "x", 0), 0u);
    // Nothing but continuation bytes: empty.
    EXPECT_EQ(utf8strlcpy(dst, "\x80\x80\x80\x80\x80", sizeof dst), 0u);
    EXPECT_STREQ(dst, "");
    // A four-byte character cut anywhere is dropped whole.
    char five[5];
    utf8strlcpy(five, (std::string("x") + kGClef).c_str(), sizeof five);
    EXPECT_STREQ(five, "x");
    char six[6];
    utf8strlcpy(six, (std::string("x") + kGClef).c_str(), sizeof six);
    EXPECT_EQ(std::string(six), std::string("x") + kGClef);
}

TEST(Utf8Count, LeadByteRule)
{
    EXPECT_EQ(utf8strlen("a\xC3\xA5\xE2\x82\xAC"), 3u);
    EXPECT_EQ(utf8strlen(kGClef), 1u);
    EXPECT_EQ(utf8strlen("\xE2\x82"), 1u); // cut short by the NUL
    EXPECT_EQ(utf8strlen("\x80\x80"), 2u); // stray continuation bytes count one each
    EXPECT_EQ(LCharsetsUTF8CharIndexToByteIndex("a\xC3\xA5\xE2\x82\xAC", 2), 3u);
    EXPECT_EQ(LCharsetsUTF8CharIndexToByteIndex("a\xC3\xA5", 0), 0u);
    EXPECT_EQ(LCharsetsUTF8CharIndexToByteIndex("", 3), 0u);
    EXPECT_EQ(LCharsetsUTF8CharIndexToByteIndex("a\xE2", 5), 2u); // never past the NUL
}

TEST(Utf32, DecodesAndRejectsIllegalSequences)
{
    uint32_t out[16];
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "", 16), kLCharsetOk);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, (std::string("A\xC3\xA5") + kGClef).c_str(), 16),
        kLCharsetOk);
    EXPECT_EQ(out[0], 0x41u);
    EXPECT_EQ(out[1], 0xE5u);
    EXPECT_EQ(out[2], 0x1D11Eu);
    EXPECT_EQ(out[3], 0u);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "ab\xED\xA0\x80", 16), kLCharsetIllegal);
    EXPECT_EQ(out[2], 0u);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "\xF4\x90\x80\x80", 16), kLCharsetIllegal);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "\xC0\xAF", 16), kLCharsetIllegal); // overlong
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "\xE0\x80\xAF", 16), kLCharsetIllegal);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "\xF8\x88\x80\x80\x80", 16), kLCharsetIllegal);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "\xE2\x82", 16), kLCharsetIllegal); // cut short
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "abcd", 3), kLCharsetOutputFull);
    EXPECT_EQ(out[1], 'b');
    EXPECT_EQ(out[2], 0u);
    EXPECT_EQ(LCopyUTF32FromUTF8Native(out, "ab", 3), kLCharsetOk);

    wchar_t wide[4];
    EXPECT_EQ(LCopyUTF32FromUTF8Native(wide, kGClef, 4), kLCharsetOk);
    EXPECT_EQ(wide[0], wchar_t(0x1D11E));
}

TEST(Utf32, EncodesWithinTheBuffer)
{
    char out[16];
    const uint32_t text[] = { 0x41, 0xE5, 0x20AC, 0x1D11E, 0 };
    EXPECT_EQ(LCopyUTF8FromUTF32Native(out, text, sizeof out), kLCharsetOk);
    EXPECT_EQ(std::string(out), std::string("A\xC3\xA5\xE2\x82\xAC") + kGClef);
    const uint32_t bad[] = { 0x110000, 0xD800, 0 };
    EXPECT_EQ(LCopyUTF8FromUTF32Native(out, bad, sizeof out), kLCharsetIllegal);
    EXPECT_STREQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD");
    // A four-byte character that does not fit is left out whole.
    char small[6];
    EXPECT_EQ(LCopyUTF8FromUTF32Native(small, text + 2, sizeof small), kLCharsetOutputFull);
    EXPECT_STREQ(small, "\xE2\x82\xAC");
    const wchar_t wide[] = { L'z', wchar_t(0x1F600), 0 };
    EXPECT_EQ(LCopyUTF8FromUTF32Native(out, wide, sizeof out), kLCharsetOk);
    EXPECT_STREQ(out, "z\xF0\x9F\x98\x80");
}

TEST(Utf16, SurrogatePairsSurviveBothWays)
{
    std::string text = std::string("a\xC3\xA5") + kGClef + "\xF0\x9F\x98\x80!";
    unsigned short units[16];
    size_t n = LCopyUnicodeFromUTF8(units, text.c_str(), 16);
    ASSERT_EQ(n, 7u);
    EXPECT_EQ(units[2], 0xD834);
    EXPECT_EQ(units[3], 0xDD1E);
    EXPECT_EQ(units[4], 0xD83D);
    EXPECT_EQ(units[5], 0xDE00);
    EXPECT_EQ(units[7], 0);
    char back[64];
    EXPECT_EQ(LCopyUTF8FromUnicode(back, units, sizeof back), text.size());
    EXPECT_EQ(std::string(back), text);

    // A pair is never split across the end of the buffer.
    unsigned short small[4];
    EXPECT_EQ(LCopyUnicodeFromUTF8(small, (std::string("ab") + kGClef).c_str(), 4), 2u);
    EXPECT_EQ(small[2], 0);

    // Lone surrogates become U+FFFD instead of invalid UTF-8.
    const unsigned short lone[] = { 'x', 0xDC00, 0xD800, 'y', 0 };
    LCopyUTF8FromUnicode(back, lone, sizeof back);
    EXPECT_STREQ(back, "x\xEF\xBF\xBD\xEF\xBF\xBDy");

    // An illegal sequence ends the conversion.
    EXPECT_EQ(LCopyUnicodeFromUTF8(units, "ok\xFFno", 16), 2u);

    LStringLongTemplate<unsigned short> wide;
    LCopyToUnicode(wide, text.c_str());
    EXPECT_EQ(wide.GetLength(), 7u);
    LStringLongTemplate<char> narrow;
    LCopyFromUnicode(narrow, wide.c_str());
    EXPECT_EQ(std::string(narrow.c_str()), text);
    LStringLongTemplate<char> source(text.c_str());
    LStringLongTemplate<unsigned short> wide2;
    LCopyUnicodeFromUTF8(wide2, source);
    EXPECT_TRUE(wide2 == wide);
}

TEST(Utf16, FixedBufferOutputIsCutAtACharacter)
{
    // 259 units of a three-byte character would overrun a 260-byte buffer if each unit were
    // allowed a place; the output stops at the last whole character that fits.
    std::vector<unsigned short> euros(300, 0x20AC);
    euros.push_back(0);
    char out[261];
    out[260] = 0x55;
    size_t n = LCopyUTF8FromUnicode(out, euros.data());
    EXPECT_EQ(n, 258u);
    EXPECT_EQ(std::strlen(out), 258u);
    EXPECT_EQ(out[260], 0x55);
}

TEST(Utf16, AgreesWithIconv)
{
    std::string text = std::string("Räksmörgås ") + kGClef + " \xE2\x82\xAC \xF0\x9F\x98\x80";
    std::string expected;
    ASSERT_TRUE(RunFilter("iconv -f UTF-8 -t UTF-16LE", text, expected));
    LStringLongTemplate<unsigned short> wide;
    LCopyToUnicode(wide, text.c_str());
    ASSERT_EQ(wide.GetLength() * 2, expected.size());
    EXPECT_EQ(std::memcmp(wide.c_str(), expected.data(), expected.size()), 0);

    // And back: a UTF-16 file with each byte-order mark, written by iconv.
    std::string be, le;
    ASSERT_TRUE(RunFilter("iconv -f UTF-8 -t UTF-16BE", text, be));
    ASSERT_TRUE(RunFilter("iconv -f UTF-8 -t UTF-16LE", text, le));
    std::string path = TempPath("utf16.txt");
    LStringLongTemplate<char> loaded;
    WriteFile(path, std::string("\xFE\xFF") + be);
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), loaded));
    EXPECT_EQ(std::string(loaded.c_str()), text);
    WriteFile(path, std::string("\xFF\xFE") + le);
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), loaded));
    EXPECT_EQ(std::string(loaded.c_str()), text);
    unlink(path.c_str());
}

TEST(LoadText, ByteOrderMarks)
{
    std::string path = TempPath("bom.txt");
    LStringLongTemplate<char> out;
    WriteFile(path, std::string("\xFE\xFF\x00\x41\x00\x42", 6));
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_STREQ(out.c_str(), "AB");
    WriteFile(path, std::string("\xFF\xFE\x41\x00\x42\x00\x43", 7)); // an odd last byte is dropped
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_STREQ(out.c_str(), "AB");
    WriteFile(path, std::string("\xFF\xFE\x41\x00\x00\x00\x42\x00", 8)); // a 0 unit ends it
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_STREQ(out.c_str(), "A");
    WriteFile(path, "\xEF\xBB\xBF\x41");
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_STREQ(out.c_str(), "A");
    EXPECT_EQ(out.GetLength(), 1u);
    WriteFile(path, "Z");
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_STREQ(out.c_str(), "Z");
    // UTF-16 without a mark is taken as it is.
    WriteFile(path, std::string("\x41\x00\x42\x00", 4));
    ASSERT_TRUE(LLoadTextAutoChar(path.c_str(), out));
    EXPECT_EQ(out.GetLength(), 4u);
    WriteFile(path, "");
    ASSERT_TRUE(LLoadText(path.c_str(), out));
    EXPECT_EQ(out.GetLength(), 0u);
    EXPECT_STREQ(out.c_str(), "");
    unlink(path.c_str());
    EXPECT_FALSE(LLoadText(path.c_str(), out));
    EXPECT_FALSE(LLoadTextAutoChar(path.c_str(), out));
}

TEST(MacRoman, AgreesWithIconv)
{
    std::string all;
    for (int b = 0x20; b < 0x100; ++b)
        if (b != 0x7F)
            all += char(b);
    std::string expected;
    ASSERT_TRUE(RunFilter("iconv -f MACINTOSH -t UTF-8", all, expected));
    LStringLongTemplate<char> ours;
    LCopyUTF8FromMacRoman(ours, all.data(), all.size());
    // iconv's table differs from the platform's own in two places: 0xC6 (INCREMENT, iconv
    // GREEK CAPITAL DELTA) and 0xF0 (the Apple logo in the private use area, at another code
    // point). Compare character by character with those two left out.
    uint32_t a[300], b[300];
    ASSERT_EQ(LCopyUTF32FromUTF8Native(a, ours.c_str(), 300), kLCharsetOk);
    ASSERT_EQ(LCopyUTF32FromUTF8Native(b, expected.c_str(), 300), kLCharsetOk);
    for (size_t i = 0; i < all.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(all[i]);
        if (byte == 0xC6 || byte == 0xF0)
            continue;
        EXPECT_EQ(a[i], b[i]) << "byte " << int(byte);
    }
    EXPECT_EQ(a[0xC6 - 0x21], 0x2206u);
    EXPECT_EQ(a[0xF0 - 0x21], 0xF8FFu);

    // Back again: every character returns to its byte; missing ones become "?".
    LStringLongTemplate<char> roman;
    LCopyMacRomanFromUTF8(roman, ours.c_str());
    EXPECT_EQ(std::string(roman.c_str()), all);
    LCopyMacRomanFromUTF8(roman, (std::string("\xE2\x82\xAC") + kGClef + "\xCE\x94").c_str());
    EXPECT_STREQ(roman.c_str(), "\xDB?\xC6");
}

TEST(PlatformString, FallsBackForInvalidText)
{
    EXPECT_STREQ(LMacNSStringFromString(nullptr).c_str(), "");
    EXPECT_STREQ(LMacNSStringFromString("Ände").c_str(), "Ände");
    // Cut inside its last character.
    EXPECT_STREQ(LMacNSStringFromString("ab\xC3").c_str(), "a");
}

// A name of another encoding (Latin-1 here) inside the program's own Swedish: only its bad bytes
// become U+FFFD, the text around it reads as it was written, however long.
TEST(PlatformString, ReplacesOnlyTheBytesThatAreNotUtf8)
{
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(
        std::string(LMacNSStringFromString("Det gick inte att hitta filen ”f\xE5r.txt”.").c_str()),
        "Det gick inte att hitta filen ”f" + r + "r.txt”.");
    EXPECT_EQ(std::string(LMacNSStringFromString("\x8A\x80").c_str()), r + r);
    // An encoded surrogate is three bad bytes.
    EXPECT_EQ(std::string(LMacNSStringFromString("\xED\xA0\x80x").c_str()), r + r + r + "x");
    // Latin-1 at the end is no cut character: nothing before it goes.
    EXPECT_EQ(std::string(LMacNSStringFromString("blå s\xE5\xE5").c_str()), "blå s" + r + r);
    EXPECT_EQ(std::string(LMacNSStringFromString("x\xE2\x82").c_str()), "x" + r + r);
    // Past the 259 bytes of a short string, and a bad byte right before the text's own quote.
    const std::string own = "Filen ”" + std::string(300, 'a');
    EXPECT_EQ(std::string(LMacNSStringFromString((own + "\xE4” är tom.").c_str()).c_str()),
        own + r + "” är tom.");
}

TEST(PlatformString, HolderKeepsValidUtf8)
{
    LCFString s;
    char out[8];
    s.GetString(out, sizeof out);
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(s.IsSet());
    s.SetString("Hej \xC3\xA5r");
    LStringLongTemplate<char> text;
    s.GetString(text);
    EXPECT_STREQ(text.c_str(), "Hej \xC3\xA5r");
    s.GetString(out, 6);
    EXPECT_STREQ(out, "Hej "); // the two-byte character does not fit: cut before it
    s.SetString("ok\xFFrest");
    s.GetString(text);
    EXPECT_STREQ(text.c_str(), "ok");
}

TEST(LowerCase, FollowsUnicodeCaseRules)
{
    char text[260] = "ÅÄÖ ABC ÉÑ Σ";
    LCharsetsLowerCase(text);
    EXPECT_STREQ(text, "åäö abc éñ σ");
    char bad[260] = "A\xFF"
                    "B";
    LCharsetsLowerCase(bad);
    EXPECT_STREQ(bad,
        "a\xFF"
        "b");
}
