// The window object under stress: headers used together, teardown with workers posting, modal
// levels closed out of order, windows deleting themselves, held keys, typed text.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/ios/LTimerHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

class WindowCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

// A text field as GTK has it.
struct EntryView : LView {
    EntryView() { SetAcceptsFocus(true); }
    GtkWidget* CreateWidget() override { return gtk_entry_new(); }
};

LNativeWindow* MakeNative()
{
    auto* window = new LNativeWindow(LUiRect { 40, 40, 200, 120 }, kStyle, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

} // namespace

// Timers of a window and the window object are named alike in every header.
TEST_F(WindowCoreTest, TimerHandlersTakeTheWindowObject)
{
    struct Timed : LTimerHandler {
        int fired = 0;
        void EvTimer(int) override { ++fired; }
    } timed;
    LMacWindow window;
    LWindow& same = window;
    timed.TimerInit(same);
    timed.TimerSet(1, 1);
    EXPECT_TRUE(uitest::PumpUntil([&] { return timed.fired == 1; }));
    timed.TimerDestroy(same);
    EXPECT_FALSE(timed.TimerIsSet(1));
}

// The focus and redraw operations the window object asks of its native window.
TEST_F(WindowCoreTest, NativeWindowFocusOperations)
{
    LNativeWindow* window = MakeNative();
    auto* entry = new EntryView;
    entry->SetFrame(LUiRect { 10, 10, 120, 30 });
    window->ContentView()->AddSubview(entry);
    ASSERT_TRUE(uitest::ShowAndWait(window));
    window->MakeFirstResponder(nullptr);
    EXPECT_FALSE(window->IsFocusEditableText());
    EXPECT_FALSE(window->FocusWantsArrowKeys());
    EXPECT_TRUE(window->FocusFirstKeyView());
    EXPECT_EQ(window->FirstResponder(), entry);
    EXPECT_TRUE(window->IsFocusEditableText());
    EXPECT_TRUE(window->FocusWantsArrowKeys());
    gtk_editable_set_editable(GTK_EDITABLE(entry->Widget()), FALSE);
    EXPECT_FALSE(window->IsFocusEditableText());
    EXPECT_TRUE(window->FocusWantsArrowKeys());
    window->SetNeedsDisplay();
    uitest::Pump(20);
    entry->Release();
    window->Close();
    EXPECT_FALSE(window->FocusFirstKeyView());
    window->Release();
}

namespace {

// A window whose steps each test sets.
struct CoreWindow : LMacWindow {
    std::function<void(CoreWindow&)> onReady;
    std::function<bool(CoreWindow&, int)> onCommand; // true: handled (and maybe deleted)
    std::atomic<int> commands { 0 };
    int enables = 0;
    void EvWindowReady() override
    {
        if (onReady)
            onReady(*this);
    }
    void EnableControls() override { ++enables; }
    void Command(int id, int code) override
    {
        ++commands;
        if (onCommand && onCommand(*this, id))
            return;
        LMacWindow::Command(id, code);
    }
};

} // namespace

// Workers post to windows while the main thread closes and deletes them.
TEST_F(WindowCoreTest, WorkersPostingWhileTheirWindowsCloseTouchNothingOfThem)
{
    int delivered = 0;
    for (int round = 0; round < 12; ++round) {
        auto* w = new CoreWindow;
        w->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
        w->InitCommon(kLCocoaDialogCenterNone, false);
        std::atomic<bool> stop { false };
        std::vector<std::thread> workers;
        for (int t = 0; t < 2; ++t)
            workers.emplace_back([w, &stop] {
                while (!stop.load()) {
                    w->PostCommand(4711);
                    std::this_thread::sleep_for(std::chrono::microseconds(40));
                }
            });
        uitest::Pump(15 + round % 4 * 5);
        delivered += w->commands.load();
        w->DestroyCommon();
        delete w;
        uitest::Pump(5);
        stop = true;
        for (auto& t : workers)
            t.join();
        uitest::Pump(5);
    }
    EXPECT_GT(delivered, 0);
}

// A window that deletes itself in its own command is not touched afterwards, whichever path
// brought the command.
TEST_F(WindowCoreTest, AWindowDeletingItselfInItsCommandIsNotTouchedAfterwards)
{
    auto make = [] {
        auto* w = new CoreWindow;
        w->onCommand = [](CoreWindow& self, int id) {
            if (id != 90)
                return false;
            self.Close();
            delete &self;
            return true;
        };
        w->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
        w->InitCommon(kLCocoaDialogCenterNone, true);
        return w;
    };
    CoreWindow* w = make();
    w->PostCommand(90);
    uitest::Pump(30);
    w = make();
    w->SendCommand(90);
    w = make();
    LCocoaView::sendCommand(w->GetContentView(), 90, w);
    w = make();
    LUiRef<LView> content(w->GetContentView());
    LCocoaView::sendCommandWithExtraDetail(content.Get(), 90, 1, w);
    // Deleted by an overridden Close that CmCancel's path calls.
    struct SelfDeleting : CoreWindow {
        void Close(int code) override
        {
            LMacWindow::Close(code);
            delete this;
        }
    };
    auto* s = new SelfDeleting;
    s->CreateCocoaWindow(120, 80, kStyle, false, nullptr);
    s->InitCommon(kLCocoaDialogCenterNone, true);
    s->SendCommand(kLCmdCancel);
    uitest::Pump(20);
}
