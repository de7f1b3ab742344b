// What the edit view's text view is given of its text: marks past those shown left out, long
// paragraphs cut where no cluster is, and each edit answered with the change that keeps the
// view's buffer showing the text. Checked against the rule the text is drawn by
// (WithoutMarksPastShown), Pango's own cluster boundaries and a buffer that only ever gets the
// changes answered.
#include "lfw/mac/cocoa/LCocoaEditShownText.h"
#include "platform/text/LongClusters.h"

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <random>
#include <string>
#include <vector>

namespace {

size_t Chars(const std::string& s)
{
    return size_t(g_utf8_strlen(s.data(), gssize(s.size())));
}

size_t Byte(const std::string& s, size_t chars)
{
    return size_t(g_utf8_offset_to_pointer(s.data(), glong(chars)) - s.data());
}

std::string ReplaceChars(std::string s, size_t from, size_t to, const std::string& with)
{
    const size_t a = Byte(s, from), b = Byte(s, to);
    return s.replace(a, b - a, with);
}

std::string Accents(size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += "\xCC\x81"; // U+0301
    return out;
}

std::string Visible(const std::string& text)
{
    std::string out;
    return platform::text::WithoutMarksPastShown(text, out) ? out : text;
}

// The shown text without the view's own line ends.
std::string WithoutBreaks(const LCocoaEditShownText& s, const std::string& shown)
{
    std::string out;
    size_t i = 0;
    for (const char* p = shown.c_str(); *p; p = g_utf8_next_char(p), ++i)
        if (!s.IsBreak(i))
            out.append(p, size_t(g_utf8_next_char(p) - p));
    return out;
}

// Places between characters where a cursor may stand (Pango's clusters).
std::vector<bool> CursorPositions(const std::string& text)
{
    const size_t n = Chars(text);
    std::vector<PangoLogAttr> attrs(n + 1);
    pango_get_log_attrs(text.data(), int(text.size()), -1, pango_language_from_string("sv"),
        attrs.data(), int(attrs.size()));
    std::vector<bool> out(n + 1);
    for (size_t i = 0; i <= n; ++i)
        out[i] = attrs[i].is_cursor_position;
    return out;
}

// Everything the shown text must be: the text drawn as it is drawn, with breaks only between
// clusters and inside paragraphs, and places that map to the same characters both ways.
void ExpectConsistent(const LCocoaEditShownText& s, const std::string& text)
{
    ASSERT_TRUE(s.Text() == text);
    ASSERT_EQ(s.Chars(), Chars(text));
    const std::string shown = s.Shown();
    ASSERT_EQ(s.ShownChars(), Chars(shown));
    EXPECT_TRUE(WithoutBreaks(s, shown) == Visible(text));
    const std::vector<bool> cursor = CursorPositions(text);
    std::vector<gunichar> characters;
    for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p))
        characters.push_back(g_utf8_get_char(p));
    size_t i = 0;
    for (const char* p = shown.c_str(); *p; p = g_utf8_next_char(p), ++i) {
        const size_t full = s.FullOf(i);
        ASSERT_LE(full, s.Chars());
        if (s.IsBreak(i)) {
            EXPECT_TRUE(cursor[full]) << "a break inside a cluster, before character " << full;
            ASSERT_GT(full, 0u);
            EXPECT_TRUE(characters[full - 1] != '\n' && characters[full - 1] != '\r')
                << "a break at a paragraph's start";
            EXPECT_EQ(s.ShownOf(full), i + 1);
            continue;
        }
        ASSERT_LT(full, s.Chars());
        EXPECT_EQ(g_utf8_get_char(p), characters[full]) << "shown character " << i;
        EXPECT_EQ(s.ShownOf(full), i);
    }
    EXPECT_EQ(s.FullOf(s.ShownChars()), s.Chars());
}

} // namespace

TEST(EditShownText, AnOrdinaryTextIsShownAsItStands)
{
    LCocoaEditShownText s;
    const std::string text = "Första raden\nAndra raden med åäö och 😀\r\nsista";
    EXPECT_EQ(s.Reset(text), text);
    EXPECT_TRUE(s.Identity());
    for (size_t i = 0; i <= s.Chars(); ++i) {
        EXPECT_EQ(s.FullOf(i), i);
        EXPECT_EQ(s.ShownOf(i), i);
    }
    // An edit is shown as it is made.
    const LCocoaEditShownText::Change c = s.Replace(7, 12, "rad");
    EXPECT_EQ(c.start, 10u); // what differs: "en" goes
    EXPECT_EQ(c.end, 12u);
    EXPECT_EQ(c.text, "");
    EXPECT_EQ(s.Text(), "Första rad\nAndra raden med åäö och 😀\r\nsista");
}

// Marks past the first 30 of a run are left out; a place at the end of what shows of a run lies
// after what is left out, so that typed text follows the whole run, and a run cut shorter shows
// the marks it had left out.
TEST(EditShownText, MarksPastThoseShownAreLeftOutAndPlacesLieAfterThem)
{
    LCocoaEditShownText s;
    const std::string text = "a" + Accents(40) + "b";
    EXPECT_EQ(s.Reset(text), "a" + Accents(30) + "b");
    ASSERT_EQ(s.Gaps().size(), 1u);
    EXPECT_EQ(s.Gaps()[0], (LCocoaEditShownText::Gap { 31, 31, 10 }));
    EXPECT_EQ(s.FullOf(31), 41u); // before "b": after the marks left out
    EXPECT_EQ(s.ShownOf(35), 31u); // a place among them: where they would be
    EXPECT_EQ(s.Slice(30, 42), Accents(11) + "b");

    // Typed where the run shows its end: after all of it.
    LCocoaEditShownText::Change c = s.Replace(s.FullOf(31), s.FullOf(31), "x");
    EXPECT_EQ(s.Text(), "a" + Accents(40) + "xb");
    EXPECT_EQ(c.start, 31u);
    EXPECT_EQ(c.end, 31u);
    EXPECT_EQ(c.text, "x");
    // A mark added to the run is left out with the others: the view changes nothing.
    c = s.Replace(5, 5, Accents(1));
    EXPECT_TRUE(c.Empty());
    ExpectConsistent(s, "a" + Accents(41) + "xb");
    // Twenty marks deleted: nine of those left out show again.
    c = s.Replace(1, 21, "");
    EXPECT_EQ(s.Shown(), "a" + Accents(21) + "xb");
    EXPECT_EQ(c.start, 22u);
    EXPECT_EQ(c.end, 31u);
    EXPECT_TRUE(c.text.empty());
    ExpectConsistent(s, "a" + Accents(21) + "xb");
}

// A paragraph of 20,000 letters is shown in pieces of about 2,048 characters (letters weigh one),
// each its own line of the view: after a blank when there is one in the piece's last quarter.
TEST(EditShownText, ALongParagraphIsCutInPieces)
{
    LCocoaEditShownText s;
    std::string letters(20000, 'k');
    std::string shown = s.Reset(letters);
    ExpectConsistent(s, letters);
    size_t start = 0, pieces = 0;
    for (size_t i = 0; i <= shown.size(); ++i)
        if (i == shown.size() || shown[i] == '\n') {
            EXPECT_LE(i - start, 2 * LCocoaEditShownText::kPieceWeight);
            EXPECT_GE(i - start, LCocoaEditShownText::kPieceWeight);
            start = i + 1;
            ++pieces;
        }
    EXPECT_EQ(pieces, 20000 / LCocoaEditShownText::kPieceWeight);

    std::string words;
    while (words.size() < 20000)
        words += "ord och ";
    shown = s.Reset(words);
    ExpectConsistent(s, words);
    for (size_t i = 1; i < shown.size(); ++i) {
        if (s.IsBreak(i)) {
            EXPECT_EQ(shown[i - 1], ' ') << "at " << i;
        }
    }
    EXPECT_GT(s.Gaps().size(), 5u);
    // A paragraph of up to twice a piece is shown whole, as is every paragraph of a single line.
    EXPECT_TRUE(s.Reset(std::string(2 * LCocoaEditShownText::kPieceWeight, 'k')).find('\n')
        == std::string::npos);
    LCocoaEditShownText single(0);
    EXPECT_EQ(single.Reset(letters), letters);
}

// Clusters are never cut: emoji with modifiers and joiners, flags, Hangul syllables of jamo and
// letters with marks (Pango's cursor positions tell where clusters end).
TEST(EditShownText, PiecesEndWhereClustersDo)
{
    const std::string units[] = { "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", // thumbs up, skin tone
        "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", // woman, joiner, computer
        "\xF0\x9F\x87\xB8\xF0\x9F\x87\xAA", // a flag: two regional indicators
        "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", // a syllable of three jamo
        "e" + Accents(7), "x" };
    std::mt19937 random(5);
    std::string text;
    while (Chars(text) < 30000)
        text += units[random() % std::size(units)];
    LCocoaEditShownText s(64);
    s.Reset(text);
    ExpectConsistent(s, text);
    EXPECT_GT(s.Gaps().size(), 100u);
}

// Random edits of a text of letters, blanks, line ends, marks in runs long and short, joiners,
// emoji and flags, in a view whose pieces are tiny: after each, the buffer that got only the
// changes answered shows what the text shows.
TEST(EditShownText, EveryEditKeepsTheBufferShowingTheText)
{
    // (No Hangul jamo: after a lone one, Pango finds no cursor position before the next jamo
    // even past a blank, which a cut there does not change.)
    const std::string tokens[] = { "a", "b", " ", "\n", "\r\n", "\xCC\x81", "\xE2\x80\x8D",
        "\xF0\x9F\x98\x80", "\xF0\x9F\x87\xB8", "\xF0\x9F\x8F\xBD", "\xD7\xA9" };
    std::mt19937 random(11);
    auto piece = [&](size_t tokensWanted) {
        std::string out;
        for (size_t i = 0; i < tokensWanted; ++i)
            out += random() % 12 == 0 ? "o" + Accents(20 + random() % 30)
                                      : tokens[random() % std::size(tokens)];
        return out;
    };
    for (int round = 0; round < 5; ++round) {
        LCocoaEditShownText s(12);
        std::string text = piece(300);
        std::string buffer = s.Reset(text);
        ExpectConsistent(s, text);
        for (int edit = 0; edit < 150; ++edit) {
            const size_t n = Chars(text);
            size_t from = n ? random() % (n + 1) : 0;
            size_t to = std::min(n, from + (random() % 3 == 0 ? 0 : random() % 40));
            const std::string with = random() % 3 == 0 ? std::string() : piece(random() % 12);
            const bool beforeBreak = random() % 2 == 0;
            const LCocoaEditShownText::Change c = s.Replace(from, to, with, beforeBreak);
            text = ReplaceChars(text, from, to, with);
            ASSERT_LE(c.start, c.end);
            ASSERT_LE(c.end, Chars(buffer));
            buffer = ReplaceChars(buffer, c.start, c.end, c.text);
            SCOPED_TRACE("round " + std::to_string(round) + ", edit " + std::to_string(edit));
            ASSERT_TRUE(buffer == s.Shown());
            ExpectConsistent(s, text);
            if (HasFatalFailure())
                return;
        }
    }
}

// Places given past the end are taken as the end; a byte that is not UTF-8 is shown as U+FFFD,
// one character for one.
TEST(EditShownText, PlacesPastTheEndAndInvalidBytes)
{
    LCocoaEditShownText s;
    s.Reset("abc");
    EXPECT_EQ(s.FullOf(99), 3u);
    EXPECT_EQ(s.ShownOf(99), 3u);
    EXPECT_EQ(s.Slice(2, 99), "c");
    const LCocoaEditShownText::Change c = s.Replace(99, 120, "d");
    EXPECT_EQ(c.start, 3u);
    EXPECT_EQ(s.Text(), "abcd");
    EXPECT_EQ(s.Reset(std::string("a\xFF"
                                  "b")),
        "a\xEF\xBF\xBD"
        "b");
    EXPECT_EQ(s.Chars(), 3u);
}
