#include "lfw/gen/LPtr.h"

#include <gtest/gtest.h>
#include <utility>

namespace {

struct Counted {
    explicit Counted(int& deaths)
        : m_deaths(deaths)
    {
    }
    ~Counted() { ++m_deaths; }
    int& m_deaths;
};

// A taker in the style of the document layer: it moves the object out of the giver's pointer.
struct Taker {
    void Take(LPtr<Counted>& given) { held = std::move(given); }
    LPtr<Counted> held;
};

} // namespace

TEST(Ptr, HandingOnEmptiesTheGiver)
{
    int deaths = 0;
    {
        LPtr<Counted> mine(new Counted(deaths));
        Counted* object = mine.Get();
        Taker taker;
        taker.Take(mine);
        EXPECT_TRUE(mine.IsNull());
        EXPECT_FALSE(mine);
        EXPECT_EQ(taker.held.Get(), object);
        EXPECT_EQ(deaths, 0);

        // A second object replaces the first, which is deleted.
        LPtr<Counted> other(new Counted(deaths));
        taker.Take(other);
        EXPECT_EQ(deaths, 1);
        // Self-assignment keeps the object.
        LPtr<Counted>& same = taker.held;
        taker.held = std::move(same);
        EXPECT_EQ(deaths, 1);
        EXPECT_TRUE(taker.held);
    }
    EXPECT_EQ(deaths, 2);
}

TEST(Ptr, ReleaseAndReset)
{
    int deaths = 0;
    LPtr<Counted> p(new Counted(deaths));
    Counted* raw = p.Release();
    EXPECT_TRUE(p.IsNull());
    EXPECT_EQ(deaths, 0);
    p.Reset(raw);
    p.Reset(raw); // the same object again: kept
    EXPECT_EQ(deaths, 0);
    p.Reset();
    EXPECT_EQ(deaths, 1);
    LPtr<Counted> moved(std::move(p));
    EXPECT_TRUE(moved.IsNull());
}
