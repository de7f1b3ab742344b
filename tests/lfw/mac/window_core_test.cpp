// The window object under stress: headers used together, teardown with workers posting, modal
// levels closed out of order, windows deleting themselves, held keys, typed text.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/ios/LTimerHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <atomic>
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
