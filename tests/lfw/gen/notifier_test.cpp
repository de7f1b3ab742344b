#include "lfw/gen/LNotifier.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct ThingNotifyee {
    virtual ~ThingNotifyee() = default;
    virtual void EvThingChanged(int value) { (void)value; }
};

std::string gLog;

struct Observer : ThingNotifyee {
    explicit Observer(char n)
        : name(n)
    {
    }
    void EvThingChanged(int value) override
    {
        gLog += name;
        gLog += std::to_string(value);
        if (action)
            action(*this);
    }
    char name;
    std::function<void(Observer&)> action;
};

} // namespace

TEST(Notifier, CallsInRegistrationOrderOncePerRegistration)
{
    gLog.clear();
    LNotifier<ThingNotifyee> notifier;
    Observer a('A'), b('B');
    EXPECT_TRUE(notifier.IsEmpty());
    notifier.AddNotifyee(a);
    notifier.AddNotifyee(b);
    notifier.AddNotifyee(a);
    notifier.Notify(&ThingNotifyee::EvThingChanged, 1);
    EXPECT_EQ(gLog, "A1B1A1");

    gLog.clear();
    notifier.RemoveNotifyee(a); // the first registration goes
    notifier.Notify(&ThingNotifyee::EvThingChanged, 2);
    EXPECT_EQ(gLog, "B2A2");

    Observer never('N');
    gLog.clear();
    notifier.RemoveNotifyee(never);
    notifier.ForEach([](ThingNotifyee& n) { n.EvThingChanged(3); });
    EXPECT_EQ(gLog, "B3A3");
}

TEST(Notifier, AnObserverRemovingItselfDuringANotificationIsSafe)
{
    gLog.clear();
    LNotifier<ThingNotifyee> notifier;
    auto* a = new Observer('A');
    Observer b('B'), c('C');
    // A leaves and is destroyed inside its own event; the walk goes on to B and C.
    a->action = [&](Observer& self) {
        notifier.RemoveNotifyee(self);
        delete &self;
    };
    notifier.AddNotifyee(*a);
    notifier.AddNotifyee(b);
    notifier.AddNotifyee(c);
    notifier.Notify(&ThingNotifyee::EvThingChanged, 1);
    EXPECT_EQ(gLog, "A1B1C1");
    gLog.clear();
    notifier.Notify(&ThingNotifyee::EvThingChanged, 2);
    EXPECT_EQ(gLog, "B2C2");
}

TEST(Notifier, RemovingOthersAndAddingDuringANotification)
{
    gLog.clear();
    LNotifier<ThingNotifyee> notifier;
    Observer a('A'), b('B'), c('C'), d('D');
    // B removes C (not yet called: it is skipped) and adds D (called later in the same pass).
    b.action = [&](Observer&) {
        notifier.RemoveNotifyee(c);
        notifier.AddNotifyee(d);
        b.action = nullptr;
    };
    notifier.AddNotifyee(a);
    notifier.AddNotifyee(b);
    notifier.AddNotifyee(c);
    notifier.Notify(&ThingNotifyee::EvThingChanged, 1);
    EXPECT_EQ(gLog, "A1B1D1");

    // The last observer removes itself and everyone else: nothing more is called, and the list
    // is empty afterwards.
    gLog.clear();
    d.action = [&](Observer&) {
        notifier.RemoveNotifyee(a);
        notifier.RemoveNotifyee(b);
        notifier.RemoveNotifyee(d);
    };
    notifier.Notify(&ThingNotifyee::EvThingChanged, 2);
    EXPECT_EQ(gLog, "A2B2D2");
    EXPECT_TRUE(notifier.IsEmpty());
    notifier.AddNotifyee(c);
    gLog.clear();
    notifier.Notify(&ThingNotifyee::EvThingChanged, 3);
    EXPECT_EQ(gLog, "C3");
}

TEST(Notifier, NestedNotificationsKeepRemovedNodesUntilTheOuterOneEnds)
{
    gLog.clear();
    LNotifier<ThingNotifyee> notifier;
    Observer a('A'), b('B');
    int depth = 0;
    a.action = [&](Observer& self) {
        if (depth++ == 0) {
            notifier.Notify(&ThingNotifyee::EvThingChanged, 9); // a nested notification
            notifier.RemoveNotifyee(self);
        }
    };
    notifier.AddNotifyee(a);
    notifier.AddNotifyee(b);
    notifier.Notify(&ThingNotifyee::EvThingChanged, 1);
    EXPECT_EQ(gLog, "A1A9B9B1");
    gLog.clear();
    notifier.Notify(&ThingNotifyee::EvThingChanged, 2);
    EXPECT_EQ(gLog, "B2");
}
