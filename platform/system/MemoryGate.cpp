#include "platform/system/MemoryGate.h"

#include "platform/system/System.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace platform::system {

MemoryGate::MemoryGate(FreeMemoryCount free)
    : fFree(free ? std::move(free) : FreeMemoryCount(&FreeMemory))
{
}

bool MemoryGate::Take(uint64_t bytes, const std::function<bool()>& stop)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(fLock);
            if (fHolders == 0 || fTaken + bytes <= fFree() / 2) {
                fTaken += bytes;
                ++fHolders;
                return true;
            }
            fGiven.wait_for(hold, std::chrono::milliseconds(50));
        }
        if (stop && stop())
            return false;
    }
}

void MemoryGate::Give(uint64_t bytes)
{
    std::lock_guard<std::mutex> hold(fLock);
    fTaken -= std::min(bytes, fTaken);
    if (fHolders > 0)
        --fHolders;
    fGiven.notify_all();
}

uint64_t MemoryGate::GetTaken() const
{
    std::lock_guard<std::mutex> hold(fLock);
    return fTaken;
}

int MemoryGate::GetHolders() const
{
    std::lock_guard<std::mutex> hold(fLock);
    return fHolders;
}

} // namespace platform::system
