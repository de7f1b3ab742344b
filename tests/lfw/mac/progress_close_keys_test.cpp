// Keys typed at the moment a save's progress window closes, under a window manager: each reaches
// the field of the window below it, none falls between the two windows.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the screen (the test needs one).
#include "lfw/mac/ProgressTestSupport.h"
#include "platform/ui/LNativeWindow.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>
#include <string>

using progresstest::Job;

TEST(ProgressCloseKeys, KeysTypedAsTheWindowClosesReachTheFieldBelow)
{
    if (!uitest::Init() || !uitest::HaveXdotool())
        GTEST_SKIP() << "no display or no xdotool";
    if (!programrun::WindowManagerRuns())
        GTEST_SKIP() << "the keyboard goes between windows only under a window manager";
    progresstest::FieldWindow owner;
    ASSERT_TRUE(owner.shown);
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    // The window closes at another moment of the typing each round.
    for (int round = 0; round < 6; ++round) {
        owner.dialog.SetText(100, "");
        Job job;
        job.body = [&](LProcessInterface& pi) {
            auto* d = dynamic_cast<LProgressDialog*>(&pi);
            uitest::PumpUntil([&] {
                LNativeWindow* w = d->GetNativeWindow();
                return w && w->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(w->Gtk())) && w->IsKey();
            });
            uitest::Run("(xdotool type --delay 8 " + letters + " &) >/dev/null 2>&1");
            pi.ProcessWait(40 + 15 * round);
            return LProcessResultSuccess;
        };
        LProcessDialog<Job> dialog("Spara projekt", job);
        dialog.SetKeysGoToParent(true);
        EXPECT_TRUE(dialog.Open(owner.dialog.GetContentView()));
        EXPECT_TRUE(uitest::PumpUntil([&] { return owner.Typed() == letters; }, 3000))
            << "round " << round << ": " << owner.Typed();
    }
}
