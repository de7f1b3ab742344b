// The memory shared out among work done side by side: a piece waits while its bytes and the
// others' would pass half the free memory, the only piece under way never waits, bytes given back
// let a waiting piece on, and a stop ends a wait without taking anything.
#include "platform/system/MemoryGate.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace sys = platform::system;

namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;

// A piece of work that takes bytes on a thread of its own, counting the stop questions it is
// asked while it waits.
class Taker {
public:
    Taker(sys::MemoryGate& gate, uint64_t bytes)
        : fThread([this, &gate, bytes] {
            fTaken = gate.Take(bytes, [this] {
                ++fAsked;
                return fStop.load();
            });
            fDone = true;
        })
    {
    }
    ~Taker() { End(); }
    // Whether it is waiting: asked to stop twice, so it went round its wait, and not done.
    bool Waits()
    {
        return programrun::WaitFor([&] { return fAsked.load() >= 2 || fDone; }, 10000, 2) && !fDone;
    }
    void Stop() { fStop = true; }
    bool End()
    {
        if (fThread.joinable())
            fThread.join();
        return fTaken;
    }

private:
    std::atomic<int> fAsked { 0 };
    std::atomic<bool> fStop { false }, fDone { false };
    bool fTaken = false;
    std::thread fThread;
};

} // namespace

TEST(MemoryGate, PiecesWaitWhileTheirBytesPassHalfTheFreeMemory)
{
    std::atomic<uint64_t> free { 100 * kMiB };
    sys::MemoryGate gate([&] { return free.load(); });
    auto never = [] { return false; };
    ASSERT_TRUE(gate.Take(30 * kMiB, never));
    ASSERT_TRUE(gate.Take(20 * kMiB, never)); // 50 of the 50 allowed
    EXPECT_EQ(gate.GetTaken(), 50 * kMiB);
    EXPECT_EQ(gate.GetHolders(), 2);

    // A third waits until bytes are given back.
    Taker third(gate, 10 * kMiB);
    EXPECT_TRUE(third.Waits());
    gate.Give(30 * kMiB);
    EXPECT_TRUE(third.End());
    EXPECT_EQ(gate.GetTaken(), 30 * kMiB);

    // Less free memory (the others' work took it) holds the next back; stopped, it takes
    // nothing.
    free = 40 * kMiB;
    Taker stopped(gate, 1 * kMiB);
    EXPECT_TRUE(stopped.Waits());
    stopped.Stop();
    EXPECT_FALSE(stopped.End());
    EXPECT_EQ(gate.GetTaken(), 30 * kMiB);
    EXPECT_EQ(gate.GetHolders(), 2);
}

TEST(MemoryGate, TheOnlyPieceUnderWayNeverWaits)
{
    sys::MemoryGate gate([] { return uint64_t(10) * kMiB; });
    auto never = [] { return false; };
    // Far over the bound, and alone: it goes on.
    ASSERT_TRUE(gate.Take(500 * kMiB, never));
    // The next waits for it.
    Taker next(gate, 1 * kMiB);
    EXPECT_TRUE(next.Waits());
    gate.Give(500 * kMiB);
    EXPECT_TRUE(next.End());
    gate.Give(1 * kMiB);
    EXPECT_EQ(gate.GetTaken(), 0u);
    EXPECT_EQ(gate.GetHolders(), 0);
}
