// Memory that work done side by side shares out: each piece of work takes the bytes it will need
// before it begins and gives them back when done. A piece waits while its bytes and those taken
// by the others under way would pass half the memory free at the time (FreeMemory, or the count
// given); the only piece under way never waits, so work bigger than the bound still runs, alone.
// Any thread.
//
//     static MemoryGate gate;
//     if (!gate.Take(bytes, stop))
//         return;                          // stopped while waiting
//     ...                                  // the work
//     gate.Give(bytes);
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace platform::system {

class MemoryGate {
public:
    // The bytes that can still be allocated.
    using FreeMemoryCount = std::function<uint64_t()>;

    // free: the count of free memory (FreeMemory when empty).
    explicit MemoryGate(FreeMemoryCount free = {});
    MemoryGate(const MemoryGate&) = delete;
    MemoryGate& operator=(const MemoryGate&) = delete;

    // Waits until the bytes fit and takes them, asking stop every 50 ms while it waits; false,
    // taking nothing, once stop says so.
    bool Take(uint64_t bytes, const std::function<bool()>& stop);
    // Gives back bytes taken.
    void Give(uint64_t bytes);

    // The bytes taken and the pieces of work that hold them.
    uint64_t GetTaken() const;
    int GetHolders() const;

private:
    FreeMemoryCount fFree;
    mutable std::mutex fLock;
    std::condition_variable fGiven;
    uint64_t fTaken = 0;
    int fHolders = 0;
};

} // namespace platform::system
