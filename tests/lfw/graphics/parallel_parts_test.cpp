// Work split into parts run at once: every item is worked exactly once, in ranges that follow
// each other, whatever the number of parts against the number of items.
#include "lfw/graphics/LParallelParts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sched.h>
#include <thread>
#include <utility>
#include <vector>

TEST(ParallelParts, EveryItemOnceInRangesThatFollowEachOther)
{
    for (const size_t size : { size_t(0), size_t(1), size_t(5), size_t(1000), size_t(1001) })
        for (const int parts : { 1, 3, 8, 12 }) {
            std::vector<std::atomic<int>> worked(size);
            std::mutex lock;
            std::vector<std::pair<size_t, size_t>> ranges(size_t(parts), { 1, 0 });
            std::thread::id caller = std::this_thread::get_id(), firstPart;
            LRunInParts(size, parts, [&](int part, size_t begin, size_t end) {
                for (size_t i = begin; i < end; ++i)
                    ++worked[i];
                std::lock_guard<std::mutex> hold(lock);
                ranges[size_t(part)] = { begin, end };
                if (part == 0)
                    firstPart = std::this_thread::get_id();
            });
            for (size_t i = 0; i < size; ++i)
                EXPECT_EQ(worked[i], 1) << size << " " << parts << " " << i;
            EXPECT_EQ(ranges.front().first, 0u);
            EXPECT_EQ(ranges.back().second, size);
            for (size_t p = 1; p < ranges.size(); ++p)
                EXPECT_EQ(ranges[p].first, ranges[p - 1].second) << size << " " << parts;
            // The calling thread does the first part itself.
            EXPECT_EQ(firstPart, caller);
        }
}

TEST(ParallelParts, TheCountOfPartsFollowsTheWorkAndTheProcessors)
{
    EXPECT_EQ(LParallelPartCount(0, 100), 1);
    EXPECT_EQ(LParallelPartCount(99, 100), 1);
    // The processors the test may run on: under taskset fewer than the machine has.
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    const int most = std::clamp(CPU_COUNT(&set), 1, 8);
    EXPECT_EQ(LParallelPartCount(200, 100), std::min(2, most));
    EXPECT_EQ(LParallelPartCount(size_t(1) << 40, 100), most);
}
