// Waits of the application's own count as modal; nested loops make the application busy;
// quitting (StopAll) ends waits and GTK's dialogs.
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace {

class ModalWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

// Runs fn once from the loop after ms milliseconds.
void After(unsigned ms, std::function<void()> fn)
{
    auto* f = new std::function<void()>(std::move(fn));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms,
        [](gpointer p) {
            (*static_cast<std::function<void()>*>(p))();
            return G_SOURCE_REMOVE;
        },
        f, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
}

} // namespace

TEST_F(ModalWaitTest, AWaitCountsAsModalAndOnlyQuittingEndsIt)
{
    EXPECT_EQ(LModalLoop::Depth(), 0);
    EXPECT_FALSE(LModalLoop::Busy());
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    bool sawInside = false, stopEnded = true, stoppedSeen = false;
    {
        LModalWait wait(loop);
        After(20, [&] {
            sawInside = LModalLoop::Depth() == 1 && LModalLoop::Busy()
                && LModalLoop::ModalWindow() == nullptr;
            // A modal run's Stop leaves the wait alone.
            stopEnded = LModalLoop::Stop(5);
            After(20, [&] {
                stoppedSeen = wait.Stopped();
                EXPECT_EQ(LModalLoop::StopAll(9), 1);
            });
        });
        long long start = LRunLoop::NowMs();
        wait.Run();
        EXPECT_LT(LRunLoop::NowMs() - start, 3000);
        EXPECT_TRUE(wait.Stopped());
        // Once stopped, running it again returns at once.
        wait.Run();
    }
    g_main_loop_unref(loop);
    EXPECT_TRUE(sawInside);
    EXPECT_FALSE(stopEnded);
    EXPECT_FALSE(stoppedSeen);
    EXPECT_EQ(LModalLoop::Depth(), 0);
    EXPECT_FALSE(LModalLoop::Busy());

    // A wait that turns the loop itself learns of the quitting through Stopped().
    LModalWait own;
    EXPECT_TRUE(LModalLoop::Busy());
    After(10, [] { LModalLoop::StopAll(0); });
    EXPECT_TRUE(uitest::PumpUntil([&] { return own.Stopped(); }, 2000));
}

TEST_F(ModalWaitTest, AnyNestedLoopMakesTheApplicationBusy)
{
    // From the application's own loop (here the test's), work is not inside anything.
    bool busyAtTop = true;
    LRunLoop::Post([&] { busyAtTop = LModalLoop::Busy(); });
    uitest::Pump(30);
    EXPECT_FALSE(busyAtTop);

    // From a loop run inside a callback, by anyone (here a bare GLib loop), it is.
    bool busyNested = false;
    LRunLoop::Post([&] {
        GMainLoop* inner = g_main_loop_new(nullptr, FALSE);
        LRunLoop::Post([&busyNested, inner] {
            busyNested = LModalLoop::Busy();
            g_main_loop_quit(inner);
        });
        g_main_loop_run(inner);
        g_main_loop_unref(inner);
    });
    uitest::Pump(100);
    EXPECT_TRUE(busyNested);
}

TEST_F(ModalWaitTest, QuittingAnswersGtkDialogsAndEndsModalRuns)
{
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, "Fråga");
    auto* window = new LNativeWindow(LUiRect { 0, 0, 120, 80 }, kLUiWindowTitled, false);
    int loopCode = -1;
    After(50, [&] {
        EXPECT_TRUE(LModalLoop::Busy());
        // A modal run inside the dialog: both end.
        After(50, [] { EXPECT_EQ(LModalLoop::StopAll(77), 1); });
        loopCode = LModalLoop::Run(window);
    });
    long long start = LRunLoop::NowMs();
    int response = LModalCounter::RunDialog(GTK_DIALOG(dialog));
    EXPECT_LT(LRunLoop::NowMs() - start, 3000);
    EXPECT_EQ(response, GTK_RESPONSE_DELETE_EVENT);
    EXPECT_EQ(loopCode, 77);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    gtk_widget_destroy(dialog);
    window->Release();
}
