// What the edit view's text view shows of its text. GTK lays a paragraph out whole, each time it
// measures or draws any of it, and the marks of one cluster in time that grows with the square of
// their number; a paragraph of a mebibyte held the window for seconds. So the text view's buffer
// holds a text of its own, made from the edit view's text:
// - the marks past the first kShownMarks of each long run are left out
//   (platform/text/LongClusters.h), as everywhere the text is drawn;
// - a long paragraph gets line ends of the view's own ("breaks") every few thousand characters
//   (see kPieceWeight), at places where no cluster or word is cut when there is such a place, so
//   that GTK lays it out piece by piece, only the pieces it shows at first and the others in its
//   idle time.
// The text itself keeps every character; what is read back, copied, undone or saved is the text.
// Making the shown text, and each change of it, is linear in the stretch of the text it concerns:
// the whole text for a new one, the pieces around an edit for an edit.
//
// Positions are character offsets: "full" in the text, "shown" in the shown text (the buffer).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class LCocoaEditShownText {
public:
    // A paragraph weighing more than twice this is shown in pieces of about this weight. A
    // character weighs what laying it out costs, roughly: 1 for ASCII, more for other scripts,
    // emoji and marks (Weight in the source). A piece of this weight takes GTK some milliseconds.
    static constexpr size_t kPieceWeight = 2048;

    // Paragraphs are cut in pieces of about pieceWeight; 0: never (a single-line view).
    explicit LCocoaEditShownText(size_t pieceWeight = kPieceWeight);

    // A new text (valid UTF-8): answers what is shown of it.
    std::string Reset(std::string text);

    const std::string& Text() const { return fText; }
    size_t Chars() const { return fChars; }
    size_t ShownChars() const { return fShownChars; }
    // The shown text, made anew from the text.
    std::string Shown() const;
    // Whether the shown text is the text itself.
    bool Identity() const { return fGaps.empty(); }

    // A place between shown characters (0 to ShownChars()) as a place in the text. Characters
    // left out lie before it (they belong with the shown character before them), and both sides
    // of a break are the place of the character after it.
    size_t FullOf(size_t shown) const;
    // A place in the text as a place between shown characters: before the first shown character
    // at or after it (after a break there).
    size_t ShownOf(size_t full) const;
    // Whether the shown character at the offset is a break.
    bool IsBreak(size_t shown) const;

    // The characters [from, to) of the text (clamped).
    std::string Slice(size_t from, size_t to) const;
    // The byte offset of a character of the text.
    size_t ByteOf(size_t full) const;

    // A change of the shown text: its characters [start, end) become text.
    struct Change {
        size_t start = 0, end = 0;
        std::string text;
        bool Empty() const { return start == end && text.empty(); }
    };
    // Replaces the characters [from, to) of the text (clamped) by text (valid UTF-8), and answers
    // the change that makes the buffer show the new text. An insertion at a break goes after it
    // (at the start of the piece after it), or before it when beforeBreak (typed at the end of
    // the piece before it).
    Change Replace(size_t from, size_t to, const std::string& text, bool beforeBreak = false);

    // Where the shown text differs from the text, in order: characters of the text left out, or
    // a break (a shown line end that is no character of the text).
    struct Gap {
        size_t full = 0; // left out: the characters [full, full + hidden); a break: before full
        size_t shown = 0; // left out: where they would be; a break: the offset of its line end
        size_t hidden = 0; // 0 for a break
        bool IsBreak() const { return hidden == 0; }
        bool operator==(const Gap&) const = default;
    };
    const std::vector<Gap>& Gaps() const { return fGaps; }

private:
    struct Region;
    // The shown text and the gaps of the characters [lo, hi) of the text (bytes [loByte,
    // hiByte)), which start and end where pieces do; breaks are kept at the given places (in
    // order, strictly inside) where they may stay, and made where pieces grow too long.
    Region Build(size_t lo, size_t loByte, size_t hiByte, const std::vector<size_t>& kept) const;
    // The first gap at or after the text's place (a break there only when withBreak).
    size_t GapIndexAt(size_t full, bool withBreak) const;
    // The shown text of [lo, hi) as it is now (between breaks at lo and hi, if any).
    std::string ShownSlice(
        size_t loByte, size_t hiByte, size_t first, size_t last, size_t lo) const;

    size_t fPieceWeight;
    std::string fText;
    size_t fChars = 0;
    size_t fShownChars = 0;
    std::vector<Gap> fGaps;
};
