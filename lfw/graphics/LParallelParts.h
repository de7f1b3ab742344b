// Work on a large picture split into parts that run at once, one per processor.
#pragma once

#include <cstddef>
#include <functional>

// How many parts work of the size is best split into: one per processor the process may run on
// (its affinity), at most 8, none smaller than the minimum; 1 for work too small to share.
int LParallelPartCount(size_t size, size_t minimumPerPart);

// Splits [0, size) into parts ranges of nearly equal length and runs work(part, begin, end) for
// each: part 0 on the calling thread, the others on threads of their own. Returns once every part
// is done. A part whose thread cannot be made is run on the calling thread after part 0. The work
// must not throw.
void LRunInParts(
    size_t size, int parts, const std::function<void(int part, size_t begin, size_t end)>& work);
