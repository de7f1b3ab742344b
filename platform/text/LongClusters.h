// Long runs of marks. A letter followed by combining marks (or other characters of no width of
// their own) is one cluster for the shaper, and its work grows with the square of the run's
// length: a letter with half a million accents, which a text file of a mebibyte can hold, takes
// hours to lay out. What is shown of such a run is bounded: its first kShownMarks characters are
// laid out and the rest are left out of what is drawn and measured, while the text itself keeps
// them all. A run of at most kShownMarks (the bound Unicode's stream-safe form sets, far more
// than any script stacks) is shown whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform::text {

inline constexpr size_t kShownMarks = 30;

// A part of a text that is not shown: bytes [byteBegin, byteEnd), characters [charBegin,
// charEnd).
struct UnshownRange {
    size_t byteBegin = 0, byteEnd = 0;
    size_t charBegin = 0, charEnd = 0;
    bool operator==(const UnshownRange&) const = default;
};

// Whether the character joins the cluster before it: a mark, or a character of no width of its
// own (joiners, variation selectors, format characters) that the shaper passes over as it does
// marks. Runs of such characters are what is cut.
bool ExtendsCluster(char32_t c);

// The parts of the UTF-8 text past the first kShownMarks characters of each run of marks, in
// order. A byte that is not valid UTF-8 counts as one character that ends a run.
std::vector<UnshownRange> MarksPastShown(const char* utf8, size_t bytes);

// The text without those parts; false (and out untouched) when it has none.
bool WithoutMarksPastShown(const std::string& utf8, std::string& out);

} // namespace platform::text
