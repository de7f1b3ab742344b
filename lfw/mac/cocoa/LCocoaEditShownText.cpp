#include "lfw/mac/cocoa/LCocoaEditShownText.h"

#include "platform/text/LongClusters.h"

#include <glib.h>

#include <algorithm>
#include <cstdint>

namespace {

// One character at p: its code and length. A byte that is not UTF-8 is a character of its own,
// shown as U+FFFD (the view's buffer takes valid UTF-8 only); *invalid tells.
char32_t Decode(const char* p, const char* end, size_t& length, bool* invalid = nullptr)
{
    const unsigned char lead = static_cast<unsigned char>(*p);
    length = 1;
    if (invalid)
        *invalid = false;
    if (lead < 0x80)
        return lead;
    const gunichar c = g_utf8_get_char_validated(p, end - p);
    if (c >= 0x110000) {
        if (invalid)
            *invalid = true;
        return 0xFFFD;
    }
    length = size_t(g_utf8_next_char(p) - p);
    return c;
}

// Whether the character joins the cluster before it (LongClusters.h); no ASCII character does.
bool Extends(char32_t c)
{
    return c >= 0x80 && platform::text::ExtendsCluster(c);
}

const char* PreviousChar(const char* begin, const char* p)
{
    const char* q = p - 1;
    for (int i = 0; i < 3 && q > begin && (static_cast<unsigned char>(*q) & 0xC0) == 0x80; ++i)
        --q;
    return q;
}

// What ends a paragraph of the buffer (as GTK's lines end).
bool EndsParagraph(char32_t c)
{
    return c == '\n' || c == '\r' || c == 0x2029;
}

// What laying a shown character out costs, roughly, in units of an ASCII letter: other scripts
// and emoji (from fallback fonts) take about twice as long. A mark takes no room on its line, so a
// line of letters stacked with marks holds many times the characters of a plain one; GTK
// measures what it lays out at a time in lines, so a mark weighs what a line's share of it costs.
uint32_t Weight(char32_t c, bool extends)
{
    if (c < 0x80)
        return 1;
    return extends ? 8 : 2;
}

// Whether a break may go before c (extends: it joins the cluster before it), after previous: not
// inside a cluster (marks, joiners, emoji sequences and modifiers, flags, Hangul syllables made
// of jamo).
bool MayBreakBetween(char32_t previous, char32_t c, bool extends)
{
    if (extends || previous == 0x200D)
        return false;
    if (c < 0x80 && previous < 0x80)
        return true;
    const GUnicodeBreakType before = g_unichar_break_type(gunichar(previous));
    const GUnicodeBreakType after = g_unichar_break_type(gunichar(c));
    if (after == G_UNICODE_BREAK_EMOJI_MODIFIER || after == G_UNICODE_BREAK_HANGUL_V_JAMO
        || after == G_UNICODE_BREAK_HANGUL_T_JAMO)
        return false;
    if (before == G_UNICODE_BREAK_REGIONAL_INDICATOR && after == G_UNICODE_BREAK_REGIONAL_INDICATOR)
        return false;
    return !(before == G_UNICODE_BREAK_HANGUL_L_JAMO
        && (after == G_UNICODE_BREAK_HANGUL_L_JAMO || after == G_UNICODE_BREAK_HANGUL_LV_SYLLABLE
            || after == G_UNICODE_BREAK_HANGUL_LVT_SYLLABLE));
}

size_t CountChars(const std::string& s, size_t from, size_t to)
{
    size_t n = 0, length = 0;
    for (const char *p = s.data() + from, *end = s.data() + to; p < end; p += length, ++n)
        Decode(p, end, length);
    return n;
}

bool Continues(const std::string& s, size_t at)
{
    return at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
}

} // namespace

struct LCocoaEditShownText::Region {
    std::string shown;
    size_t chars = 0, shownChars = 0;
    std::vector<Gap> gaps; // shown offsets from the region's start
};

LCocoaEditShownText::LCocoaEditShownText(size_t pieceWeight)
    : fPieceWeight(pieceWeight)
{
}

std::string LCocoaEditShownText::Reset(std::string text)
{
    fText = std::move(text);
    Region r = Build(0, 0, fText.size(), {});
    fChars = r.chars;
    fShownChars = r.shownChars;
    fGaps = std::move(r.gaps);
    return std::move(r.shown);
}

LCocoaEditShownText::Region LCocoaEditShownText::Build(
    size_t lo, size_t loByte, size_t hiByte, const std::vector<size_t>& kept) const
{
    const char* begin = fText.data() + loByte;
    const char* end = fText.data() + hiByte;
    // The characters: code, byte offset (from begin) and what is known of them. What is left out
    // follows the rule the text is drawn by (LongClusters.h): the characters of a run that
    // extends a cluster past the first kShownMarks.
    enum : uint8_t { kExtends = 1, kHidden = 2, kInvalid = 4 };
    struct Char {
        char32_t c;
        uint32_t byte;
        uint8_t flags;
    };
    std::vector<Char> chars;
    chars.reserve(size_t(end - begin) / 2 + 1);
    size_t run = 0;
    for (const char* p = begin; p < end;) {
        size_t length = 0;
        bool invalid = false;
        const char32_t c = Decode(p, end, length, &invalid);
        const bool extends = !invalid && Extends(c);
        run = extends ? run + 1 : 0;
        chars.push_back(Char { c, uint32_t(p - begin),
            uint8_t((extends ? kExtends : 0) | (run > platform::text::kShownMarks ? kHidden : 0)
                | (invalid ? kInvalid : 0)) });
        p += length;
    }
    const size_t n = chars.size();
    auto byteOf = [&](size_t i) { return i < n ? chars[i].byte : uint32_t(end - begin); };
    auto hidden = [&](size_t i) { return (chars[i].flags & kHidden) != 0; };

    // Breaks, paragraph by paragraph: those kept where they may stay and are needed, and new ones
    // where a piece has grown past twice the weight of a piece.
    std::vector<uint8_t> breakBefore(n, 0);
    if (fPieceWeight > 0) {
        std::vector<uint32_t> weight(n + 1, 0); // weight[i]: of the characters before i
        for (size_t i = 0; i < n; ++i)
            weight[i + 1]
                = weight[i] + (hidden(i) ? 0 : Weight(chars[i].c, chars[i].flags & kExtends));
        size_t next = 0; // the next kept break
        for (size_t s = 0; s <= n;) {
            size_t e = s;
            while (e < n && !EndsParagraph(chars[e].c))
                ++e;
            auto mayBreak = [&](size_t i) {
                return i > s && i < e && !hidden(i)
                    && MayBreakBetween(chars[i - 1].c, chars[i].c, chars[i].flags & kExtends);
            };
            auto sum = [&](size_t a, size_t b) { return weight[b] - weight[a]; };
            // The kept breaks of this paragraph that may stay; one between two pieces that fit
            // in one goes.
            std::vector<size_t> bounds { s };
            while (next < kept.size() && kept[next] < lo + s)
                ++next;
            std::vector<size_t> mine;
            for (; next < kept.size() && kept[next] < lo + e; ++next)
                if (mayBreak(kept[next] - lo) && (mine.empty() || mine.back() != kept[next] - lo))
                    mine.push_back(kept[next] - lo);
            for (size_t k = 0; k < mine.size(); ++k) {
                const size_t after = k + 1 < mine.size() ? mine[k + 1] : e;
                if (sum(bounds.back(), after) > fPieceWeight)
                    bounds.push_back(mine[k]);
            }
            bounds.push_back(e);
            // Pieces past twice the weight are cut at about the weight of a piece: after a blank
            // in its last quarter, else at the first place a break may go.
            for (size_t k = 0; k + 1 < bounds.size(); ++k) {
                size_t start = bounds[k];
                const size_t stop = bounds[k + 1];
                if (k > 0)
                    breakBefore[start] = 1;
                while (sum(start, stop) > 2 * fPieceWeight) {
                    size_t target = start + 1;
                    while (target < stop && sum(start, target) < fPieceWeight)
                        ++target;
                    size_t chosen = 0;
                    for (size_t i = target; i > start && sum(start, i) >= fPieceWeight * 3 / 4; --i)
                        if (mayBreak(i) && g_unichar_isspace(gunichar(chars[i - 1].c))) {
                            chosen = i;
                            break;
                        }
                    for (size_t i = target; chosen == 0 && i < stop; ++i)
                        if (mayBreak(i))
                            chosen = i;
                    if (chosen <= start)
                        break; // no place to cut: one cluster longer than a piece
                    breakBefore[chosen] = 1;
                    start = chosen;
                }
            }
            s = e + 1;
        }
    }

    Region r;
    r.chars = n;
    r.shown.reserve(size_t(end - begin) + n / 1024 + 16);
    size_t shown = 0;
    for (size_t i = 0; i < n; ++i) {
        if (breakBefore[i]) {
            r.gaps.push_back(Gap { lo + i, shown, 0 });
            r.shown += '\n';
            ++shown;
        }
        if (hidden(i)) {
            if (!r.gaps.empty() && !r.gaps.back().IsBreak()
                && r.gaps.back().full + r.gaps.back().hidden == lo + i)
                ++r.gaps.back().hidden;
            else
                r.gaps.push_back(Gap { lo + i, shown, 1 });
            continue;
        }
        const char* p = begin + chars[i].byte;
        if (chars[i].flags & kInvalid)
            r.shown += "\xEF\xBF\xBD";
        else
            r.shown.append(p, byteOf(i + 1) - chars[i].byte);
        ++shown;
    }
    r.shownChars = shown;
    return r;
}

std::string LCocoaEditShownText::Shown() const
{
    return ShownSlice(0, fText.size(), 0, fGaps.size(), 0);
}

std::string LCocoaEditShownText::ShownSlice(
    size_t loByte, size_t hiByte, size_t first, size_t last, size_t lo) const
{
    std::string out;
    out.reserve(hiByte - loByte);
    const char* end = fText.data() + hiByte;
    size_t full = lo, k = first;
    for (const char* p = fText.data() + loByte; p < end;) {
        if (k < last && fGaps[k].full == full) {
            const Gap& g = fGaps[k++];
            if (g.IsBreak()) {
                out += '\n';
                continue;
            }
            for (size_t i = 0, length = 0; i < g.hidden && p < end; ++i, p += length)
                Decode(p, end, length);
            full += g.hidden;
            continue;
        }
        size_t length = 0;
        bool invalid = false;
        Decode(p, end, length, &invalid);
        if (invalid)
            out += "\xEF\xBF\xBD";
        else
            out.append(p, length);
        p += length;
        ++full;
    }
    return out;
}

size_t LCocoaEditShownText::FullOf(size_t shown) const
{
    auto it = std::upper_bound(fGaps.begin(), fGaps.end(), shown,
        [](size_t value, const Gap& g) { return value < g.shown; });
    if (it == fGaps.begin())
        return std::min(shown, fChars);
    const Gap& g = *(it - 1);
    size_t full = g.IsBreak() ? (shown == g.shown ? g.full : g.full + (shown - g.shown - 1))
                              : g.full + g.hidden + (shown - g.shown);
    return std::min(full, fChars);
}

size_t LCocoaEditShownText::ShownOf(size_t full) const
{
    full = std::min(full, fChars);
    auto it = std::upper_bound(fGaps.begin(), fGaps.end(), full,
        [](size_t value, const Gap& g) { return value < g.full; });
    if (it == fGaps.begin())
        return full;
    const Gap& g = *(it - 1);
    if (g.IsBreak())
        return g.shown + 1 + (full - g.full);
    if (full < g.full + g.hidden)
        return ShownOf(g.full + g.hidden);
    return g.shown + (full - g.full - g.hidden);
}

bool LCocoaEditShownText::IsBreak(size_t shown) const
{
    auto it = std::lower_bound(fGaps.begin(), fGaps.end(), shown,
        [](const Gap& g, size_t value) { return g.shown < value; });
    for (; it != fGaps.end() && it->shown == shown; ++it)
        if (it->IsBreak())
            return true;
    return false;
}

size_t LCocoaEditShownText::ByteOf(size_t full) const
{
    const char* begin = fText.data();
    const char* end = begin + fText.size();
    const char* p = begin;
    for (size_t i = 0, length = 0; i < full && p < end; ++i, p += length)
        Decode(p, end, length);
    return size_t(p - begin);
}

std::string LCocoaEditShownText::Slice(size_t from, size_t to) const
{
    from = std::min(from, fChars);
    to = std::clamp(to, from, fChars);
    const size_t a = ByteOf(from);
    const size_t b = a + (to > from ? ByteOf(to) - a : 0);
    return fText.substr(a, b - a);
}

size_t LCocoaEditShownText::GapIndexAt(size_t full, bool withBreak) const
{
    auto it = std::lower_bound(fGaps.begin(), fGaps.end(), full,
        [](const Gap& g, size_t value) { return g.full < value; });
    if (!withBreak)
        while (it != fGaps.end() && it->full == full && it->IsBreak())
            ++it;
    return size_t(it - fGaps.begin());
}

LCocoaEditShownText::Change LCocoaEditShownText::Replace(
    size_t from, size_t to, const std::string& text, bool beforeBreak)
{
    from = std::min(from, fChars);
    to = std::clamp(to, from, fChars);
    const char* base = fText.data();
    const char* textEnd = base + fText.size();
    const size_t fromByte = ByteOf(from);
    size_t toByte = fromByte;
    for (size_t i = from, length = 0; i < to; ++i, toByte += length)
        Decode(base + toByte, textEnd, length);

    // The region: the pieces the change touches, from the start of the one holding the character
    // before it to the end of the one holding the character after it (a paragraph's end, a break
    // or the end of the text). Runs of marks and clusters never cross their ends.
    size_t lo = from, loByte = fromByte;
    if (from > 0) {
        size_t limit = 0;
        for (size_t k = GapIndexAt(from, true); k-- > 0;)
            if (fGaps[k].IsBreak()) {
                limit = fGaps[k].full;
                break;
            }
        while (lo > limit) {
            const char* q = PreviousChar(base, base + loByte);
            size_t length = 0;
            if (EndsParagraph(Decode(q, textEnd, length)))
                break;
            --lo;
            loByte = size_t(q - base);
        }
    }
    size_t hi = to, hiByte = toByte;
    {
        size_t limit = fChars;
        for (size_t k = GapIndexAt(to + 1, true); k < fGaps.size(); ++k)
            if (fGaps[k].IsBreak()) {
                limit = fGaps[k].full;
                break;
            }
        while (hi < limit) {
            size_t length = 0;
            if (EndsParagraph(Decode(base + hiByte, textEnd, length)))
                break;
            ++hi;
            hiByte += length;
        }
    }
    const size_t first = GapIndexAt(lo, false);
    const size_t last = GapIndexAt(hi, true);
    const size_t shownLo = ShownOf(lo);
    const size_t shownHi = std::max(shownLo,
        last < fGaps.size() && fGaps[last].full == hi && fGaps[last].IsBreak() ? fGaps[last].shown
                                                                               : ShownOf(hi));
    const std::string before = ShownSlice(loByte, hiByte, first, last, lo);

    // The breaks inside the region, where they lie after the change.
    const size_t inserted = CountChars(text, 0, text.size());
    const ptrdiff_t delta = ptrdiff_t(inserted) - ptrdiff_t(to - from);
    std::vector<size_t> kept;
    for (size_t k = first; k < last; ++k) {
        if (!fGaps[k].IsBreak())
            continue;
        const size_t b = fGaps[k].full;
        size_t at = b;
        if (b == from && from == to && beforeBreak)
            at = b + inserted;
        else if (b > from && b < to)
            continue; // deleted with the characters around it
        else if (b >= to && b > from)
            at = size_t(ptrdiff_t(b) + delta);
        if (kept.empty() || kept.back() < at)
            kept.push_back(at);
    }

    fText.replace(fromByte, toByte - fromByte, text);
    fChars = size_t(ptrdiff_t(fChars) + delta);
    Region r = Build(lo, loByte, hiByte + text.size() - (toByte - fromByte), kept);

    const ptrdiff_t shownDelta = ptrdiff_t(r.shownChars) - ptrdiff_t(shownHi - shownLo);
    for (size_t k = last; k < fGaps.size(); ++k) {
        fGaps[k].full = size_t(ptrdiff_t(fGaps[k].full) + delta);
        fGaps[k].shown = size_t(ptrdiff_t(fGaps[k].shown) + shownDelta);
    }
    for (Gap& g : r.gaps)
        g.shown += shownLo;
    fGaps.erase(fGaps.begin() + long(first), fGaps.begin() + long(last));
    fGaps.insert(fGaps.begin() + long(first), r.gaps.begin(), r.gaps.end());
    fShownChars = size_t(ptrdiff_t(fShownChars) + shownDelta);

    // The buffer's change: the region's shown text without what it has in common at its ends.
    const std::string& after = r.shown;
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    while (head > 0 && (Continues(before, head) || Continues(after, head)))
        --head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
        && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    while (tail > 0 && Continues(before, before.size() - tail))
        --tail;
    Change change;
    change.start = shownLo + CountChars(before, 0, head);
    change.end = change.start + CountChars(before, head, before.size() - tail);
    change.text = after.substr(head, after.size() - tail - head);
    return change;
}
