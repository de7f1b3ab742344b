// Keys typed at the moment a save's progress window closes, under a window manager: each reaches
// the field of the window below it, none falls between the two windows.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the screen (the test needs one).
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LProgressDialog.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/ProgramRun.h"
#include "support/UiTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

struct Job {
    std::function<LProcessResult(LProcessInterface&)> body;
};

LProcessResult Process(LProcessInterface& pi, Job& job)
{
    return job.body(pi);
}

} // namespace

TEST(ProgressCloseKeys, KeysTypedAsTheWindowClosesReachTheFieldBelow)
{
    if (!uitest::Init() || !uitest::HaveXdotool())
        GTEST_SKIP() << "no display or no xdotool";
    if (!programrun::WindowManagerRuns())
        GTEST_SKIP() << "the keyboard goes between windows only under a window manager";
    LDialog owner;
    owner.CreateCocoaWindow(300, 200, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
    owner.AddInput(100, LInputFlags {}, 10, 10, 200);
    owner.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(owner.GetNativeWindow()));
    owner.SetFocus(100);
    auto typed = [&] {
        char text[260] = "";
        owner.GetText(100, text, sizeof text);
        return std::string(text);
    };
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    // The window closes at another moment of the typing each round.
    for (int round = 0; round < 6; ++round) {
        owner.SetText(100, "");
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
        EXPECT_TRUE(dialog.Open(owner.GetContentView()));
        EXPECT_TRUE(uitest::PumpUntil([&] { return typed() == letters; }, 3000))
            << "round " << round << ": " << typed();
    }
    owner.DestroyCommon();
}
