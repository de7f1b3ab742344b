// Command delivery from views to window objects: synchronous, queued and bubbled. Headless: the
// views here never make their widgets.
#include "lfw/ios/LIOSEventHandler.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "lfw/mac/cocoa/LDragSourceDataProvider.h"
#include "platform/ui/LRunLoop.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// A window object whose content view sits in a plain parent view (so it counts as alive).
struct TestWindow : LCocoaWindow {
    std::vector<std::pair<int, int>> commands;
    int enables = 0;
    bool visible = true;
    LView* parent;

    TestWindow()
    {
        parent = new LView;
        auto* content = new LCocoaWindowContentView(LUiRect { 0, 0, 100, 100 }, this);
        parent->AddSubview(content);
        SetContentViewField(content);
        SetThisProperty(content, this);
        content->Release();
    }
    ~TestWindow() override
    {
        if (LView* v = GetContentView())
            v->RemoveFromSuperview();
        SetContentViewField(nullptr);
        parent->Release();
    }
    void Command(int id, int code) override { commands.emplace_back(id, code); }
    void EnableControls() override { ++enables; }
    bool IsWindowVisible() override { return visible; }
    void SetClosed(bool closed) { fClosed = closed; }
    void Detach()
    {
        if (LView* v = GetContentView())
            SetThisProperty(v, nullptr);
        SetContentViewField(nullptr);
    }
};

} // namespace

TEST(CommandTest, FourCharacterCodes)
{
    EXPECT_EQ(kLCmdOk, 0x6F6B2020);
    EXPECT_EQ(kLCmdCancel, 0x6E6F7421);
    EXPECT_EQ(kLCmdHelp, 0x61686C70);
    EXPECT_EQ(kLCmdWindowReady, 0x77726479);
    EXPECT_EQ(kLCmdBack, 0x4261636B);
    EXPECT_EQ(kLCmdFinish, 0x66696E21);
}

TEST(CommandTest, TheWindowIsFoundThroughItsContentView)
{
    TestWindow w;
    EXPECT_EQ(LCocoaWindow::GetThisProperty(w.GetContentView()), &w);
    EXPECT_EQ(LCocoaWindow::GetThisProperty(w.parent), nullptr);
    EXPECT_EQ(LCocoaWindow::GetThisProperty(nullptr), nullptr);
    EXPECT_TRUE(w.IsAlive());
    w.SetClosed(true);
    EXPECT_FALSE(w.IsAlive());
}

TEST(CommandTest, SynchronousCommandThenEnableControls)
{
    TestWindow w;
    auto* control = new LView;
    control->SetTag(42);
    w.GetContentView()->AddSubview(control);
    control->Release();

    // Nothing registered: the command key answers -1 and only EnableControls runs.
    EXPECT_EQ(LCocoaView::getCommandId(control, &keyCmdTextClick), -1);
    EXPECT_FALSE(LCocoaView::sendCommandWithKey(control, &keyCmdTextClick, &w));
    EXPECT_TRUE(w.commands.empty());
    EXPECT_EQ(w.enables, 1);

    LCocoaView::setCommandId(control, 77, &keyCmdTextClick);
    EXPECT_TRUE(LCocoaView::sendCommandWithKey(control, &keyCmdTextClick, &w));
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(77, 0));
    EXPECT_EQ(w.enables, 2);

    // Command 0 is a command; an invisible window does not re-evaluate its controls.
    w.visible = false;
    EXPECT_TRUE(LCocoaView::sendCommand(control, 0, &w));
    EXPECT_EQ(w.commands.back(), std::make_pair(0, 0));
    EXPECT_EQ(w.enables, 2);

    // A closing window gets nothing.
    w.SetClosed(true);
    EXPECT_FALSE(LCocoaView::sendCommand(control, 5, &w));
    EXPECT_EQ(w.commands.size(), 2u);
    EXPECT_FALSE(LCocoaView::sendCommand(control, 5, nullptr));
}

TEST(CommandTest, PostedCommandsAreAlwaysQueued)
{
    TestWindow w;
    w.PostCommand(5);
    EXPECT_TRUE(w.commands.empty()); // never at once, even on the main thread
    LRunLoop::RunPending();
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(5, 0));
    EXPECT_EQ(w.enables, 1);

    // Refused when not alive or negative (the controls' queued path).
    EXPECT_FALSE(LCocoaView::postCommandToWindow(w.GetContentView(), -1, &w));
    EXPECT_TRUE(LCocoaView::postCommandToWindow(w.GetContentView(), 0, &w));
    LRunLoop::RunPending();
    EXPECT_EQ(w.commands.back(), std::make_pair(0, 0));
}

TEST(CommandTest, CommandPostedToAWindowDestroyedMeanwhileIsDropped)
{
    auto* w = new TestWindow;
    w->PostCommand(9);
    w->Detach(); // torn down: its content view no longer names it
    delete w; // and gone entirely
    LRunLoop::RunPending(); // nothing is touched

    TestWindow closing;
    closing.PostCommand(9);
    closing.SetClosed(true);
    LRunLoop::RunPending();
    EXPECT_TRUE(closing.commands.empty());
}

TEST(CommandTest, PostFromAWorkerArrivesOnTheMainThread)
{
    TestWindow w;
    std::thread worker([&] { w.PostCommand(12); });
    worker.join();
    LRunLoop::RunUntil(
        nullptr, 0, [&] { return !w.commands.empty(); }, true, 3000);
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0].first, 12);
}

TEST(CommandTest, SendCommandIdThroughTheInterWindowPath)
{
    TestWindow w;
    // Id -1 is the synchronous command path, for any command (negative ones too).
    EXPECT_TRUE(LIOSEventHandler::Send(w.GetContentView(), kLIOSEventCommand, -3, 4));
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(-3, 4));
    // From a worker it runs on the main thread, and the sender waits for it.
    bool returned = false;
    std::thread worker([&] {
        LIOSEventHandler::Send(w.GetContentView(), kLIOSEventCommand, 8, 0);
        returned = true;
    });
    LRunLoop::RunUntil(
        nullptr, 0, [&] { return w.commands.size() == 2; }, true, 3000);
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(w.commands.back(), std::make_pair(8, 0));
}

TEST(CommandTest, ControlNotificationsBubbleToARegisteredWindow)
{
    TestWindow w;
    auto* group = new LView;
    auto* control = new LView;
    control->SetTag(31);
    group->AddSubview(control);
    w.GetContentView()->AddSubview(group);

    // Not registered: the notification climbs to the top and is dropped.
    LCocoaView::postCommandFromSender(control, control);
    LRunLoop::RunPending();
    EXPECT_TRUE(w.commands.empty());

    LIOSEventHandler::Install(&w);
    LCocoaView::postCommandWID(control, control, 31, 6);
    EXPECT_TRUE(w.commands.empty()); // queued
    LRunLoop::RunPending();
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(31, 6));

    // Control id 0 produces nothing; neither does a view marked as window view on the way.
    LCocoaView::postCommandWID(control, control, 0, 1);
    LCocoaView::setIsWindowView(group, true);
    LCocoaView::postCommandWID(control, control, 31, 1);
    LRunLoop::RunPending();
    EXPECT_EQ(w.commands.size(), 1u);
    LIOSEventHandler::Remove(&w);
    group->Release();
    control->Release();
}

TEST(CommandTest, ParentHandleAndParentCommands)
{
    TestWindow host;
    TestWindow page;
    // The page's content view hangs below the host's.
    LView* pv = page.GetContentView();
    pv->Retain();
    pv->RemoveFromSuperview();
    host.GetContentView()->AddSubview(pv);
    pv->Release();
    EXPECT_EQ(LCocoaWindow::GetParentHandle(pv), host.GetContentView());
    page.PostParentCommand(kLCmdHelp);
    LRunLoop::RunPending();
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].first, kLCmdHelp);
    // An explicit parent handle wins.
    auto* other = new LView;
    pv->SetAssociatedValue(&kAssociatedParentWindowHandleKey, uint64_t(uintptr_t(other)));
    EXPECT_EQ(LCocoaWindow::GetParentHandle(pv), other);
    pv->RemoveAssociatedValue(&kAssociatedParentWindowHandleKey);
    other->Release();
}

TEST(CommandTest, ContentViewKeepsAlreadyDisabledChildrenDisabled)
{
    TestWindow w;
    auto* content = dynamic_cast<LCocoaWindowContentView*>(w.GetContentView());
    ASSERT_NE(content, nullptr);
    auto* a = new LCocoaViewBase(LUiRect {}, &w);
    auto* b = new LCocoaViewBase(LUiRect {}, &w);
    auto* plain = new LView; // does not answer to enabling
    content->AddSubview(a);
    content->AddSubview(b);
    content->AddSubview(plain);
    b->SetEnabled(false);
    content->SetEnabled(false);
    EXPECT_FALSE(content->IsEnabled());
    EXPECT_FALSE(a->IsEnabled());
    EXPECT_FALSE(b->IsEnabled());
    content->SetEnabled(true);
    EXPECT_TRUE(a->IsEnabled());
    EXPECT_FALSE(b->IsEnabled());
    EXPECT_TRUE(plain->IsEnabled());
    // An embedded window's content view is enabled only with its superview.
    content->setIsParentEmbeddedWindow(true);
    auto* holder = new LCocoaViewBase(LUiRect {}, &w);
    auto* inner = new LCocoaWindowContentView(LUiRect {}, &w);
    inner->setIsParentEmbeddedWindow(true);
    holder->AddSubview(inner);
    holder->SetEnabled(false);
    EXPECT_FALSE(inner->IsEnabled());
    holder->SetEnabled(true);
    EXPECT_TRUE(inner->IsEnabled());
    for (LView* v : { static_cast<LView*>(a), static_cast<LView*>(b), plain,
             static_cast<LView*>(holder), static_cast<LView*>(inner) })
        v->Release();
}

TEST(CommandTest, DefaultCloseDoesNothing)
{
    TestWindow w;
    w.Close(); // Close(int) of the root class is empty
    w.Close(kLCmdOk);
    EXPECT_TRUE(w.IsAlive());
    EXPECT_TRUE(w.commands.empty());
}

TEST(CommandTest, DelayedSenderNotificationsArePostedAtOnce)
{
    TestWindow w;
    auto* control = new LView;
    control->SetTag(64);
    w.GetContentView()->AddSubview(control);
    control->Release();
    LIOSEventHandler::Install(&w);
    LCocoaView::postCommandDelayedFromSender(control, control);
    EXPECT_TRUE(w.commands.empty()); // queued like every bubbling notification
    LRunLoop::RunPending();
    ASSERT_EQ(w.commands.size(), 1u);
    EXPECT_EQ(w.commands[0], std::make_pair(64, 0));
    LIOSEventHandler::Remove(&w);
}

namespace {
struct Source : LCocoaDragSourceBridge {
    int ended = 0;
    void EvDraggingSessionEnded() override { ++ended; }
};
} // namespace

TEST(CommandTest, DragSourcesOfferCopyAndMove)
{
    TestWindow w;
    auto* view = new LCocoaViewBase(LUiRect {}, &w);
    EXPECT_EQ(view->draggingSourceOperationMask(), 0);
    Source source;
    view->setDragSource(&source);
    EXPECT_EQ(view->draggingSourceOperationMask(), 17);
    view->draggingSessionEnded(false, nullptr);
    EXPECT_EQ(source.ended, 1);
    view->Release();

    // The dragged data: a copy of the bytes, whatever type is asked.
    unsigned char bytes[] = { 1, 2, 3, 0, 5 };
    LDragSourceDataProvider provider(bytes, sizeof bytes);
    bytes[0] = 9;
    EXPECT_EQ(
        provider.provideDataForType("public.file-url"), (std::vector<uint8_t> { 1, 2, 3, 0, 5 }));
    EXPECT_EQ(provider.provideDataForType(nullptr), provider.dragData());
    EXPECT_TRUE(LDragSourceDataProvider(nullptr, 4).dragData().empty());
}
