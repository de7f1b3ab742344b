// Inter-window messages: the table, delivery on the main thread, sends from workers. Headless.
#include "lfw/ios/LIOSEventHandler.h"
#include "lfw/ios/LQueuedNotify.h"
#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A window as the table sees it; its content view is only a name, never dereferenced.
struct FakeWindow : LIOSEventWindow {
    LView* view;
    bool alive = true;
    std::vector<std::pair<int, int>> commands;
    explicit FakeWindow(uintptr_t id)
        : view(reinterpret_cast<LView*>(id * 16))
    {
    }
    LView* IOSContentView() const override { return view; }
    bool IOSIsAlive() const override { return alive; }
    void IOSSendCommand(int c, int e) override { commands.emplace_back(c, e); }
};

struct Handler : LInterWinMessageHandler {
    struct Message {
        int id;
        long d1, d2;
        bool onMain;
    };
    std::vector<Message> messages;
    void EvInterWinMessage(int id, long d1, long d2) override
    {
        messages.push_back({ id, d1, d2, LRunLoop::IsMainThread() });
    }
};

class InterWinTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        while (gIOSEventHandlerList.Count() > 0)
            LIOSEventHandler::Remove(gIOSEventHandlerList.RecordAt(0).pWindow);
    }
};

} // namespace

TEST_F(InterWinTest, InstallRefusesDuplicatesAndTheWindowPastTheLast)
{
    std::vector<std::unique_ptr<FakeWindow>> windows;
    for (uintptr_t i = 1; i <= 1025; ++i)
        windows.push_back(std::make_unique<FakeWindow>(i));
    EXPECT_TRUE(LIOSEventHandler::Install(nullptr));
    EXPECT_EQ(gIOSEventHandlerList.Count(), 0u);
    EXPECT_TRUE(LIOSEventHandler::Install(windows[0].get()));
    EXPECT_FALSE(LIOSEventHandler::Install(windows[0].get()));
    EXPECT_EQ(gIOSEventHandlerList.Count(), 1u);
    for (size_t i = 1; i < 1024; ++i)
        ASSERT_TRUE(LIOSEventHandler::Install(windows[i].get()));
    EXPECT_EQ(gIOSEventHandlerList.Count(), 1024u);
    EXPECT_FALSE(LIOSEventHandler::Install(windows[1024].get()));
    unsigned long index = 0;
    EXPECT_EQ(
        gIOSEventHandlerList.FindOrInstallEventHandlerRecord(windows[1024].get(), index), nullptr);
    EXPECT_EQ(gIOSEventHandlerList.RecordAt(1024).pWindow, nullptr); // the end stays empty

    // Removing the first moves every other one down; the table stays packed and ended.
    EXPECT_TRUE(LIOSEventHandler::Remove(windows[0].get()));
    EXPECT_EQ(gIOSEventHandlerList.Count(), 1023u);
    for (size_t i = 0; i < 1023; ++i)
        ASSERT_EQ(gIOSEventHandlerList.RecordAt(i).pWindow, windows[i + 1].get());
    EXPECT_EQ(gIOSEventHandlerList.RecordAt(1023).pWindow, nullptr);
    EXPECT_TRUE(LIOSEventHandler::Remove(windows[0].get())); // absent: nothing changes
    EXPECT_EQ(gIOSEventHandlerList.Count(), 1023u);
    EXPECT_TRUE(LIOSEventHandler::Install(windows[1024].get()));
    EXPECT_EQ(gIOSEventHandlerList.RecordAt(1023).pWindow, windows[1024].get());
}

TEST_F(InterWinTest, FindOrInstallFindsTheExistingRecord)
{
    FakeWindow a(1), b(2);
    unsigned long index = 0;
    LIOSEventHandlerRecord* ra = gIOSEventHandlerList.FindOrInstallEventHandlerRecord(&a, index);
    ASSERT_NE(ra, nullptr);
    EXPECT_EQ(index, 0u);
    index = 0;
    LIOSEventHandlerRecord* rb = gIOSEventHandlerList.FindOrInstallEventHandlerRecord(&b, index);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(rb->pWindow, &b);
    index = 0;
    EXPECT_EQ(gIOSEventHandlerList.FindOrInstallEventHandlerRecord(&a, index), ra);
    EXPECT_EQ(gIOSEventHandlerList.Count(), 2u);
    EXPECT_EQ(gIOSEventHandlerList.FindOrInstallEventHandlerRecord(nullptr, index), nullptr);
}

TEST_F(InterWinTest, MessagesReachTheHandlerOfALiveWindow)
{
    FakeWindow a(1), b(2);
    Handler ha;
    ha.HandleInterWinMessage(a, 0);
    LIOSEventHandler::Install(&b); // registered without a handler
    EXPECT_TRUE(LIOSEventHandler::Send(a.view, 7, 11, -12));
    ASSERT_EQ(ha.messages.size(), 1u);
    EXPECT_EQ(ha.messages[0].id, 7);
    EXPECT_EQ(ha.messages[0].d1, 11);
    EXPECT_EQ(ha.messages[0].d2, -12);
    EXPECT_TRUE(LIOSEventHandler::Send(b.view, 7, 0, 0)); // registered: true, nobody hears it
    EXPECT_FALSE(LIOSEventHandler::Send(reinterpret_cast<LView*>(0x999), 7, 0, 0));
    EXPECT_FALSE(LIOSEventHandler::Send(nullptr, 7, 0, 0));
    a.alive = false;
    EXPECT_TRUE(LIOSEventHandler::Send(a.view, 8, 0, 0));
    EXPECT_EQ(ha.messages.size(), 1u); // a closing window hears nothing
    // The handler's end takes the window out of the table.
    ha.InterWinMessageHandlerDestroy();
    EXPECT_FALSE(gIOSEventHandlerList.IsRegistered(&a));
    EXPECT_TRUE(gIOSEventHandlerList.IsRegistered(&b));
}

TEST_F(InterWinTest, SendFromAWorkerWaitsForTheMainThread)
{
    FakeWindow a(1);
    Handler ha;
    ha.HandleInterWinMessage(a, 0);
    std::atomic<bool> returned { false };
    size_t seenWhenReturned = 0;
    std::thread worker([&] {
        LIOSEventHandler::Send(a.view, 3, 1, 2);
        seenWhenReturned = ha.messages.size();
        returned = true;
    });
    LRunLoop::RunUntil(
        nullptr, 0, [&] { return !ha.messages.empty(); }, true, 5000);
    worker.join();
    ASSERT_TRUE(returned);
    EXPECT_EQ(seenWhenReturned, 1u);
    ASSERT_EQ(ha.messages.size(), 1u);
    EXPECT_TRUE(ha.messages[0].onMain);
}

TEST_F(InterWinTest, CommandIdNeedsAView)
{
    // Id -1 is the synchronous command path (see the command tests); without a view, nothing.
    EXPECT_FALSE(LIOSEventHandler::Send(nullptr, kLIOSEventCommand, 5, 0));
}

TEST_F(InterWinTest, WorkersSearchWhileTheMainThreadShiftsRecords)
{
    // Workers keep sending to the last window while the main thread removes and adds others in
    // front of it: every send finds its target and none reads a half-moved record.
    std::vector<std::unique_ptr<FakeWindow>> windows;
    for (uintptr_t i = 1; i <= 200; ++i)
        windows.push_back(std::make_unique<FakeWindow>(i));
    FakeWindow target(999);
    Handler ht;
    for (auto& w : windows)
        LIOSEventHandler::Install(w.get());
    ht.HandleInterWinMessage(target, 0);
    std::atomic<int> done { 0 };
    std::atomic<int> failures { 0 };
    const int kSends = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < kSends; ++i)
                if (!LIOSEventHandler::Send(target.view, 1, i, 0))
                    ++failures;
            ++done;
        });
    size_t k = 0;
    LRunLoop::RunUntil(
        nullptr, 0,
        [&] {
            FakeWindow* w = windows[k++ % windows.size()].get();
            LIOSEventHandler::Remove(w);
            LIOSEventHandler::Install(w);
            return ht.messages.size() + size_t(failures.load()) == size_t(3 * kSends);
        },
        true, 20000);
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(ht.messages.size(), size_t(3 * kSends));
}

namespace {
struct NotifyReceiver : LQueuedNotifyDataHandler {
    std::vector<unsigned> codes;
    void EvQueuedNotifyData(unsigned int code, const void*, size_t) override
    {
        codes.push_back(code);
    }
};
} // namespace

TEST_F(InterWinTest, NothingDeliveredAfterDestroyNotify)
{
    auto receiver = std::make_unique<NotifyReceiver>();
    LQueuedNotifyDataSender sender(receiver.get());
    sender.PostNotify(1, nullptr, 0);
    LRunLoop::RunPending();
    sender.PostNotify(2, nullptr, 0);
    receiver->GetQueuedNotifyReceiver()->DestroyNotify();
    LRunLoop::RunPending();
    EXPECT_EQ(receiver->codes, std::vector<unsigned> { 1 });
    receiver.reset();
    sender.PostNotify(3, nullptr, 0); // to a handler that is gone: dropped
    LRunLoop::RunPending();
}

TEST_F(InterWinTest, QueuedMessageToAWindowRemovedMeanwhileIsDropped)
{
    FakeWindow a(1);
    Handler ha;
    ha.HandleInterWinMessage(a, 0);
    EXPECT_EQ(gIOSEventHandlerList.ContentViewOf(&a), a.view);
    unsigned long index = 0;
    LIOSEventHandlerRecord* record
        = gIOSEventHandlerList.FindOrInstallEventHandlerRecord(&a, index);
    ASSERT_NE(record, nullptr);
    // Forced through the queue, even on the main thread.
    record->ProcessEvent(4, 1, 2, false, true);
    EXPECT_TRUE(ha.messages.empty());
    LRunLoop::RunPending();
    ASSERT_EQ(ha.messages.size(), 1u);
    EXPECT_EQ(ha.messages[0].id, 4);
    // Taken out of the table before the main thread gets to it: nothing arrives, and the table
    // no longer answers for the window.
    record->ProcessEvent(5, 0, 0, false, true);
    ha.InterWinMessageHandlerDestroy();
    EXPECT_EQ(gIOSEventHandlerList.ContentViewOf(&a), nullptr);
    LRunLoop::RunPending();
    EXPECT_EQ(ha.messages.size(), 1u);
}
