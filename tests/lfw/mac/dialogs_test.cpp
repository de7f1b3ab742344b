// Dialogs, choice dialogs and progress dialogs run as a person uses them: real windows, xdotool
// keys and clicks.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LSignalObject.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/ProgressTestSupport.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
    }
};

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("dialogs", name);
}

int R(double v)
{
    return int(v + 0.5);
}

using uitest::When;

void XKeyTo(unsigned long xid, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool windowfocus --sync " + std::to_string(xid) + " key " + key);
}

void XKeyTo(LMacWindow& w, const char* key)
{
    XKeyTo(w.GetNativeWindow()->XWindowId(), key);
}

bool Shown(LMacWindow& w)
{
    return w.GetNativeWindow() && w.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(w.GetNativeWindow()->Gtk())) && w.IsInitialised();
}

// Clicks the middle of a control of the window with the real pointer.
void XClickControl(LMacWindow& w, int id)
{
    LView* v = w.GetControlHandle(id);
    ASSERT_NE(v, nullptr);
    LUiRect f = v->Frame();
    LUiPoint p = v->Superview()->ConvertToRoot(LUiPoint { f.x + f.width / 2, f.y + f.height / 2 });
    uitest::XClick(w.GetNativeWindow(), p.x, p.y);
}

// The message box running now: its headline and button labels (right to left).
struct AlertSeen {
    std::string headline, message;
    std::vector<std::string> buttons;
    GtkMessageType type = GTK_MESSAGE_OTHER;
};

AlertSeen ReadAlert()
{
    AlertSeen seen;
    auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    if (!dialog)
        return seen;
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, "message-type", &seen.type, nullptr);
    seen.headline = text ? text : "";
    g_free(text);
    for (int r = 0; r < 3; ++r)
        if (GtkWidget* b = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), r))
            seen.buttons.push_back(gtk_button_get_label(GTK_BUTTON(b)));
    return seen;
}

unsigned long AlertXid()
{
    auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    return dialog && gtk_widget_get_window(dialog)
        ? gdk_x11_window_get_xid(gtk_widget_get_window(dialog))
        : 0;
}

bool AlertMapped()
{
    auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    return dialog && gtk_widget_get_mapped(dialog);
}

void AddOkCancelGenerator(LDialog& dialog, int, int, bool addButtons)
{
    if (addButtons)
        dialog.AddOkCancel("OK");
}

} // namespace

// --- dialogs -------------------------------------------------------------------------------------

TEST_F(DialogsTest, TemplateDialogAnswersReturnAndEscape)
{
    LDialog::OpenGenData data { 300, 120, "Mall", false, AddOkCancelGenerator };
    LDialog dialog;
    int cw = 0, chh = 0;
    bool deletable = true, secondOpen = true;
    When([&] { return Shown(dialog); },
        [&] {
            dialog.GetClientSize(cw, chh);
            deletable = gtk_window_get_deletable(dialog.GetNativeWindow()->Gtk());
            // Open while open only brings it forward.
            secondOpen = dialog.Open(nullptr, data);
            EXPECT_TRUE(uitest::SaveScreenshot(dialog.GetNativeWindow(), ArtefactPath("template")));
            XKeyTo(dialog, "Return");
        });
    EXPECT_TRUE(dialog.Open(nullptr, data));
    double s = dialog.GetBackingScaleFactor();
    EXPECT_EQ(cw, int(300 * s));
    EXPECT_EQ(chh, int(120 * s));
    EXPECT_FALSE(deletable);
    EXPECT_FALSE(secondOpen);

    When([&] { return Shown(dialog); }, [&] { XKeyTo(dialog, "Escape"); });
    EXPECT_FALSE(dialog.Open(nullptr, data));
    EXPECT_FALSE(dialog.IsOpen());
}

TEST_F(DialogsTest, BlankDialogInUnitsOfTwoPoints)
{
    struct Blank : LDialog {
        int w = 0, h = 0;
        void InitDialog() override
        {
            GetClientSize(w, h);
            PostCommand(kLCmdOk);
        }
    } dialog;
    EXPECT_TRUE(dialog.OpenBlankNonResizable(nullptr, 200, 200));
    double s = dialog.GetBackingScaleFactor();
    EXPECT_EQ(dialog.w, int(400 * s)); // 800 x 800 pixels at scale 2
    EXPECT_EQ(dialog.h, int(400 * s));
}

TEST_F(DialogsTest, ResizableDialogRelaysOutOnceForASize)
{
    EXPECT_EQ(
        LResizable::EdgeCode(LUiRect { 100, 100, 300, 200 }, LUiRect { 80, 70, 320, 230 }), 4);
    EXPECT_EQ(
        LResizable::EdgeCode(LUiRect { 100, 100, 300, 200 }, LUiRect { 100, 100, 320, 230 }), 8);
    EXPECT_EQ(
        LResizable::EdgeCode(LUiRect { 100, 100, 300, 200 }, LUiRect { 100, 90, 300, 210 }), 3);
    EXPECT_EQ(
        LResizable::EdgeCode(LUiRect { 100, 100, 300, 200 }, LUiRect { 90, 100, 310, 200 }), 1);
    EXPECT_EQ(
        LResizable::EdgeCode(LUiRect { 100, 100, 300, 200 }, LUiRect { 100, 100, 300, 220 }), 6);

    struct Sizing : LResizableDialog {
        int layouts = 0;
        void LayoutControls(int, int) override { ++layouts; }
    } dialog;
    std::string section = "VtTestResizable" + std::to_string(getpid());
    int minW = 0, minH = 0, layoutsAfterFirst = -1, layoutsAfterSame = -1;
    When([&] { return Shown(dialog); },
        [&] {
            dialog.GetWindowMinSizePixels(minW, minH);
            LNativeWindow* w = dialog.GetNativeWindow();
            LUiRect f = w->Frame();
            // Left and top edges dragged out by 20 points. Without a window manager GTK applies
            // the move and the resize as separate events.
            w->SetFrame(LUiRect { f.x - 20, f.y - 20, f.width + 20, f.height + 20 });
            uitest::PumpUntil([&] { return w->Frame().width == f.width + 20; });
            uitest::Pump(100);
            int before = dialog.layouts;
            dialog.lastWidth = dialog.lastHeight = 0;
            dialog.EvWindowDidResize(*w, f);
            layoutsAfterFirst = dialog.layouts - before;
            dialog.EvWindowDidResize(*w, f); // the same size again
            layoutsAfterSame = dialog.layouts - before;
            dialog.PostCommand(kLCmdOk);
        });
    dialog.Open(nullptr, section.c_str(), 40, 12, 30, 10, 0, 0);
    EXPECT_EQ(minW, R(30 * dialog.CharWidthPixels()));
    EXPECT_EQ(minH, R(10 * dialog.CharHeightPixels()));
    EXPECT_EQ(layoutsAfterFirst, 1);
    EXPECT_EQ(layoutsAfterSame, 1);
}

TEST_F(DialogsTest, ResizableDialogComesBackAtItsSizeAndPlace)
{
    struct Plain : LResizableDialog {
        void LayoutControls(int, int) override { }
    };
    std::string section = "VtTestRestore" + std::to_string(getpid());
    int w0 = 0, h0 = 0, x0 = 0, y0 = 0, w1 = 0, h1 = 0, x1 = 0, y1 = 0;
    {
        Plain dialog;
        When([&] { return Shown(dialog); },
            [&] {
                dialog.SizeDialogPixelsMac(dialog.RoundPixels(50 * dialog.CharWidthPixels()),
                    dialog.RoundPixels(15 * dialog.CharHeightPixels()), false);
                dialog.MoveWindowPixels(60, 80);
                uitest::Pump(200);
                dialog.GetClientSize(w0, h0);
                dialog.GetWindowPosition(x0, y0);
                XKeyTo(dialog, "Escape");
            });
        dialog.Open(nullptr, section.c_str(), 40, 12, 30, 10, 0, 0);
    }
    Plain again;
    When([&] { return Shown(again); },
        [&] {
            uitest::Pump(100);
            again.GetClientSize(w1, h1);
            again.GetWindowPosition(x1, y1);
            again.PostCommand(kLCmdCancel);
        });
    again.Open(nullptr, section.c_str(), 40, 12, 30, 10, 0, 0);
    EXPECT_EQ(w1, w0);
    EXPECT_EQ(h1, h0);
    EXPECT_NEAR(x1, x0, 2);
    EXPECT_NEAR(y1, y0, 2);
}

// Every size the window gets is the one its controls are laid out for: sizes given from outside
// (as a window manager gives them), one given by the program, and a change of the backing scale.
TEST_F(DialogsTest, ResizableDialogIsLaidOutForEverySizeItGets)
{
    struct Recording : LResizableDialog {
        int width = 0, height = 0;
        void LayoutControls(int w, int h) override
        {
            width = w;
            height = h;
        }
    } dialog;
    const std::string section = "VtTestLaidOut" + std::to_string(getpid());
    std::string wrong;
    // The layout's size against GTK's allocation of the content, the size that shows.
    auto expectLaidOut = [&](const std::string& step) {
        GtkWidget* content = dialog.GetContentView()->Widget();
        const double s = dialog.GetBackingScaleFactor();
        const int w = R(gtk_widget_get_allocated_width(content) * s);
        const int h = R(gtk_widget_get_allocated_height(content) * s);
        if (dialog.width != w || dialog.height != h)
            wrong += step + ": laid out for " + std::to_string(dialog.width) + " x "
                + std::to_string(dialog.height) + " in " + std::to_string(w) + " x "
                + std::to_string(h) + "; ";
    };
    When([&] { return Shown(dialog); },
        [&] {
            LNativeWindow* native = dialog.GetNativeWindow();
            GtkWidget* content = dialog.GetContentView()->Widget();
            auto allocated = [&](int width) {
                uitest::PumpUntil([&] { return gtk_widget_get_allocated_width(content) == width; });
                EXPECT_TRUE(uitest::PumpUntilDrawn(native));
            };
            EXPECT_TRUE(uitest::PumpUntilDrawn(native));
            expectLaidOut("shown");
            const double s = dialog.GetBackingScaleFactor();
            for (int width : { 500, 640 }) {
                uitest::Run("xdotool windowsize " + std::to_string(native->XWindowId()) + " "
                    + std::to_string(int(width * s)) + " "
                    + std::to_string(int(width * s) * 3 / 4));
                allocated(width);
                expectLaidOut("resized to " + std::to_string(width));
            }
            dialog.SizeDialogPixelsMac(int(560 * s), int(400 * s), false);
            allocated(560);
            expectLaidOut("sized by the program");
            // The backing scale doubles and comes back (an X display at scale 1 only).
            GdkDisplay* display = gdk_display_get_default();
            if (s == 1 && GDK_IS_X11_DISPLAY(display)) {
                gdk_x11_display_set_window_scale(display, 2);
                if (uitest::PumpUntil([&] { return dialog.GetBackingScaleFactor() == 2; })) {
                    EXPECT_TRUE(uitest::PumpUntilDrawn(native));
                    expectLaidOut("at scale 2");
                }
                gdk_x11_display_set_window_scale(display, 1);
                uitest::PumpUntil([&] { return dialog.GetBackingScaleFactor() == 1; });
                EXPECT_TRUE(uitest::PumpUntilDrawn(native));
                expectLaidOut("back at scale 1");
            }
            dialog.PostCommand(kLCmdOk);
        });
    dialog.Open(nullptr, section.c_str(), 40, 12, 30, 10, 0, 0);
    EXPECT_EQ(wrong, "");
}

TEST_F(DialogsTest, ModelessDialogClosesWhenItsParentCloses)
{
    LDialog parent;
    parent.CreateCocoaWindow(400, 300, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
    parent.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(parent.GetNativeWindow()));
    struct Floating : LModelessDialog {
        int closedWith = 0;
        void Close(int code) override
        {
            if (!closedWith)
                closedWith = code;
            LModelessDialog::Close(code);
        }
    } dialog;
    dialog.SetPanelFlag(true);
    dialog.CreateCocoaWindow(200, 100, kLUiWindowTitled, true, parent.GetContentView());
    EXPECT_TRUE(dialog.Run(&parent, kLCocoaDialogCenterParent));
    dialog.SetAutoCloseOnFocusLost(true);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Shown(dialog); }));
    parent.Close(kLCmdCancel);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !dialog.IsOpen(); }));
    EXPECT_EQ(dialog.closedWith, kLCmdCancel);
}

TEST_F(DialogsTest, ModelessDialogClosesWhenAnotherWindowTakesTheFocus)
{
    LDialog other;
    other.CreateCocoaWindow(300, 200, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
    other.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(other.GetNativeWindow()));
    LModelessDialog dialog;
    dialog.SetPanelFlag(true);
    dialog.CreateCocoaWindow(200, 100, kLUiWindowTitled, true, nullptr);
    EXPECT_TRUE(dialog.Run(nullptr, kLCocoaDialogCenterScreen));
    dialog.SetAutoCloseOnFocusLost(true);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Shown(dialog); }));
    XKeyTo(dialog, "shift");
    uitest::PumpUntil([&] { return dialog.GetNativeWindow()->IsKey(); }, 1000);
    XKeyTo(other, "shift");
    EXPECT_TRUE(uitest::PumpUntil([&] { return !dialog.IsOpen(); }));
    other.DestroyCommon();
}

// --- choice dialog -------------------------------------------------------------------------------

namespace {

const LDialogMenuItem kItems[] = {
    { 11, "Första valet", "En förklaring" },
    { 12, "Andra valet", nullptr },
    { 13, "Tredje valet", "Med en not" },
    { 0, nullptr, nullptr },
};

} // namespace

TEST_F(DialogsTest, ChoiceDialogAnswersItsDefaultAndClickedItems)
{
    {
        LDialogMenu menu(
            nullptr, "Välj", "Vad vill du göra?", "Välj ett av sätten nedan.", kItems, 12, true);
        menu.bShowAgainShown = true;
        menu.bShowAgain = true;
        std::string cancelText;
        When([&] { return Shown(menu); },
            [&] {
                char text[260] = {};
                menu.GetButtonText(kLCmdCancel, text);
                cancelText = text;
                // The window takes the laid-out size, smaller than the blank one it began with.
                uitest::Pump(100);
                int w = 0, h = 0, bx = 0, by = 0, bw = 0, bh = 0;
                menu.GetClientSize(w, h);
                menu.GetControlPixels(kLCmdCancel, bx, by, bw, bh);
                EXPECT_LT(h, int(400 * menu.GetBackingScaleFactor()));
                EXPECT_LE(by + bh, h);
                EXPECT_TRUE(uitest::SaveScreenshot(menu.GetNativeWindow(), ArtefactPath("choice")));
                // Untick "show again", then Return chooses the default item.
                XClickControl(menu, 104);
                uitest::PumpUntil([&] { return !menu.GetCheck(104); }, 1000);
                XKeyTo(menu, "Return");
            });
        EXPECT_EQ(menu.Run(), 12);
        EXPECT_EQ(cancelText, "Stäng");
        EXPECT_FALSE(menu.bShowAgain);
    }
    {
        LDialogMenu menu(nullptr, "Välj", "Vad vill du göra?", "", kItems, 12, false);
        std::string cancelText;
        When([&] { return Shown(menu); },
            [&] {
                char text[260] = {};
                menu.GetButtonText(kLCmdCancel, text);
                cancelText = text;
                XClickControl(menu, 202);
            });
        EXPECT_EQ(menu.Run(), 13);
        EXPECT_EQ(cancelText, "Avbryt");
    }
    {
        LDialogMenu menu(nullptr, "Välj", "Utan avbryt", nullptr, kItems, 99, false);
        menu.bCancelAllowed = false;
        bool hasCancel = true, openAfterEscape = false;
        When([&] { return Shown(menu); },
            [&] {
                hasCancel = menu.GetControlHandle(kLCmdCancel) != nullptr;
                XKeyTo(menu, "Escape");
                uitest::Pump(200);
                openAfterEscape = menu.IsOpen();
                XKeyTo(menu, "Return"); // the first link is the default
            });
        EXPECT_EQ(menu.Run(), 11);
        EXPECT_FALSE(hasCancel);
        EXPECT_TRUE(openAfterEscape);
    }
    // The show-again label is cut on a character boundary.
    LDialogMenu menu(nullptr, "t", "h", nullptr, kItems, 11, true);
    std::string label(258, 'x');
    label += "öö";
    menu.SetShowAgainCheckBoxLabel(label.c_str());
}

// --- progress dialogs ----------------------------------------------------------------------------

namespace {

using progresstest::Job;

LProgressDialog* Current(LProcessInterface& pi)
{
    return dynamic_cast<LProgressDialog*>(&pi);
}

} // namespace

TEST_F(DialogsTest, ProgressWindowLayoutAndTheJobsInterface)
{
    Job job;
    int W = 0, H = 0, expectW = 0, expectH = 0;
    bool deletable = true, cancelEnabledAfter = true, stopped = false;
    unsigned modalCount = 0;
    LProcessResult wait0 = LProcessResultError, waitStopped = LProcessResultSuccess;
    std::string status0, status1;
    double fraction = -1;
    job.body = [&](LProcessInterface& pi) {
        LProgressDialog* d = Current(pi);
        d->GetClientSize(W, H);
        expectW = R(55 * d->CharWidthPixels());
        expectH = R(7.5 * d->CharHeightPixels());
        deletable = gtk_window_get_deletable(d->GetNativeWindow()->Gtk());
        {
            // The controls where the layout puts them (pixels).
            double cw = d->CharWidthPixels(), ch = d->CharHeightPixels();
            int S = int(64 * d->GetBackingScaleFactor()), M = R(2 * cw), T = R(0.94 * ch);
            int X = S + R(1.25 * cw) + M, L = R(1.23 * ch), G = R(0.59 * ch);
            int x = 0, y = 0, w = 0, h = 0;
            d->GetControlPixels(101, x, y, w, h);
            EXPECT_NEAR(x, X, 1);
            EXPECT_NEAR(y, T, 1);
            EXPECT_NEAR(w, expectW - R(1.25 * cw) - S - 2 * M, 1);
            d->GetControlPixels(102, x, y, w, h);
            EXPECT_NEAR(y, T + L, 1);
            d->GetControlPixels(104, x, y, w, h);
            EXPECT_NEAR(y, T + 2 * L + G, 1);
            d->GetControlPixels(110, x, y, w, h);
            EXPECT_NEAR(x, M, 1);
            EXPECT_NEAR(w, S, 1);
        }
        modalCount = LModalCounter::Count();
        pi.SetStatus("Läser fil", 0);
        pi.SetStatus("Steg \xff\xfe ett", 1);
        pi.SetStatus("ignoreras", 2);
        pi.SetProgress(0.5);
        wait0 = pi.ProcessWait(0);
        uitest::PumpUntil([&] { return Shown(*d); });
        pi.ProcessWait(100);
        char text[260] = {};
        d->GetStaticText(101, text);
        status0 = text;
        d->GetStaticText(102, text);
        status1 = text;
        fraction = d->ProgressBar()->doubleValue() / 100; // the bar counts to 100
        EXPECT_TRUE(uitest::SaveScreenshot(d->GetNativeWindow(), ArtefactPath("progress")));
        // Escape presses Cancel: the next stop test answers true.
        XKeyTo(*d, "Escape");
        for (int i = 0; i < 200 && !stopped; ++i) {
            stopped = pi.IsToStop();
            if (!stopped)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        cancelEnabledAfter = d->GetControlHandle(kLCmdCancel)->IsEnabled();
        waitStopped = pi.ProcessWait(10000);
        return LProcessResultStopped;
    };
    LProcessDialog<Job> dialog("Laddar projekt", job);
    dialog.result = LProcessResultError;
    EXPECT_TRUE(dialog.Open(nullptr));
    EXPECT_EQ(dialog.result, LProcessResultStopped);
    EXPECT_EQ(W, expectW);
    EXPECT_EQ(H, expectH);
    EXPECT_FALSE(deletable);
    EXPECT_GE(modalCount, 1u);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_EQ(wait0, LProcessResultSuccess);
    EXPECT_EQ(status0, "Läser fil");
    EXPECT_TRUE(g_utf8_validate(status1.c_str(), -1, nullptr));
    EXPECT_NE(status1.find("ett"), std::string::npos);
    EXPECT_DOUBLE_EQ(fraction, 0.5);
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(cancelEnabledAfter);
    EXPECT_EQ(waitStopped, LProcessResultStopped);
    EXPECT_FALSE(dialog.IsOpen());
}

TEST_F(DialogsTest, ProgressWaitWakesOnAnotherThreadsSignal)
{
    Job job;
    LProcessResult r = LProcessResultError;
    double ms = 0;
    job.body = [&](LProcessInterface& pi) {
        LSignalObject signal;
        std::thread worker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            signal.Signal();
        });
        auto t0 = std::chrono::steady_clock::now();
        r = pi.ProcessWaitSignal(signal.GetRef(), 30000);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                 .count();
        worker.join();
        return LProcessResultSuccess;
    };
    LProcessDialog<Job> dialog("Väntar", job);
    EXPECT_TRUE(dialog.Open(nullptr));
    EXPECT_EQ(r, LProcessResultSignaled);
    EXPECT_LT(ms, 20000); // woke on the signal, long before the time-out, however busy the machine
}

TEST_F(DialogsTest, ProgressErrorAlertCarriesTheTitle)
{
    Job job;
    AlertSeen seen;
    job.body = [&](LProcessInterface& pi) {
        When(AlertMapped, [&] {
            seen = ReadAlert();
            XKeyTo(AlertXid(), "Return");
        });
        pi.SetError("Filen är trasig.");
        return LProcessResultError;
    };
    LProcessDialog<Job> dialog("Spara projekt", job);
    EXPECT_TRUE(dialog.Open(nullptr));
    EXPECT_EQ(dialog.result, LProcessResultError);
    EXPECT_EQ(seen.headline, "Spara projekt");
    EXPECT_EQ(seen.buttons, (std::vector<std::string> { "Fortsätt" }));
    EXPECT_EQ(seen.type, GTK_MESSAGE_ERROR);
}

TEST_F(DialogsTest, ProgressRefusesAnOwnerThatIsLayingOut)
{
    LDialog owner;
    owner.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    owner.SetLayoutFlag(false);
    Job job;
    bool ran = false;
    job.body = [&](LProcessInterface&) { return ran = true, LProcessResultSuccess; };
    LProcessDialog<Job> dialog("Laddar", job);
    dialog.result = LProcessResultError;
    EXPECT_FALSE(dialog.Open(owner.GetContentView()));
    EXPECT_FALSE(ran);
    EXPECT_EQ(dialog.result, LProcessResultError);
    owner.DestroyCommon();
}

TEST_F(DialogsTest, JobClosingItsParentAndWindowManagerClose)
{
    LDialog owner;
    owner.CreateCocoaWindow(300, 200, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
    owner.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(owner.GetNativeWindow()));
    Job job;
    bool stillShown = false, stopped = false;
    job.body = [&](LProcessInterface& pi) {
        LProgressDialog* d = Current(pi);
        owner.DestroyCommon();
        pi.ProcessWait(50);
        stillShown = Shown(*d);
        // The window manager's close button asks to close: that is Cancel.
        gtk_window_close(d->GetNativeWindow()->Gtk());
        for (int i = 0; i < 100 && !stopped; ++i) {
            stopped = pi.IsToStop();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return LProcessResultStopped;
    };
    LProcessDialog<Job> dialog("Laddar", job);
    EXPECT_TRUE(dialog.Open(owner.GetContentView()));
    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(dialog.GetParentWindow(), nullptr);

    // Destroyed underneath the job: it stops, and nothing stays modal.
    Job killed;
    bool killedStopped = false;
    killed.body = [&](LProcessInterface& pi) {
        LProgressDialog* d = Current(pi);
        uitest::PumpUntil([&] { return Shown(*d); });
        gtk_widget_destroy(GTK_WIDGET(d->GetNativeWindow()->Gtk()));
        killedStopped = pi.ProcessWait(3000) == LProcessResultStopped;
        return LProcessResultStopped;
    };
    LProcessDialog<Job> second("Laddar", killed);
    EXPECT_TRUE(second.Open(nullptr));
    EXPECT_TRUE(killedStopped);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_EQ(LModalLoop::Depth(), 0);
}

// A progress window over a window with a focused text field: keys typed while it shows go to the
// field once it has gone, when its job asked for that (Escape and a click on "Avbryt" still stop
// the job); without, they are the progress window's and are lost.
TEST_F(DialogsTest, KeysTypedWhileAProgressShowsGoToItsParentAfterwards)
{
    progresstest::FieldWindow owner;
    ASSERT_TRUE(owner.shown);
    auto typed = [&] { return owner.Typed(); };
    // Types the keys into the shown progress window, then stops the job as told.
    auto typeThenStop = [&](const char* keys, bool click, std::string& during) {
        Job job;
        job.body = [&, keys, click](LProcessInterface& pi) {
            LProgressDialog* d = Current(pi);
            uitest::PumpUntil([&] { return Shown(*d) && d->GetNativeWindow()->IsKey(); });
            uitest::Run(std::string("xdotool type --delay 12 ") + keys);
            pi.ProcessWait(200);
            during = typed();
            if (click)
                XClickControl(*d, kLCmdCancel);
            else
                uitest::Run("xdotool key Escape");
            return pi.ProcessWait(10000) == LProcessResultStopped ? LProcessResultStopped
                                                                  : LProcessResultError;
        };
        return job;
    };
    std::string during;
    for (bool click : { false, true }) {
        Job job = typeThenStop(click ? "de" : "abc", click, during);
        LProcessDialog<Job> dialog("Spara projekt", job);
        dialog.SetKeysGoToParent(true);
        EXPECT_TRUE(dialog.Open(owner.dialog.GetContentView()));
        EXPECT_EQ(dialog.result, LProcessResultStopped) << (click ? "Avbryt" : "Escape");
        EXPECT_EQ(during, click ? "abc" : "");
        EXPECT_TRUE(uitest::PumpUntil([&] { return typed() == (click ? "abcde" : "abc"); }))
            << typed();
    }
    // Without: lost.
    Job lost = typeThenStop("x", false, during);
    LProcessDialog<Job> dialog("Laddar projekt", lost);
    EXPECT_TRUE(dialog.Open(owner.dialog.GetContentView()));
    EXPECT_EQ(dialog.result, LProcessResultStopped);
    uitest::Pump(300);
    EXPECT_EQ(typed(), "abcde");
}

// --- job queues ----------------------------------------------------------------------------------

namespace {

struct QueueItem {
    QueueItem* next = nullptr;
    bool fail = false;
    std::vector<double>* progress = nullptr;
};

LProcessResult Process(LProcessInterface& pi, QueueItem& item)
{
    pi.SetProgress(1.0);
    if (auto* d = dynamic_cast<LProcessInterfaceQueueItem*>(&pi))
        if (item.progress)
            if (auto* top = dynamic_cast<LProgressDialog*>(&d->GetParent()))
                item.progress->push_back(top->ProgressBar()->doubleValue() / 100);
    if (item.fail) {
        pi.SetError("Bilden kunde inte läsas.");
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}

struct Queue {
    std::vector<QueueItem> items;
    LProcessQueue<QueueItem> queue;
    Queue(size_t n, std::vector<double>* progress)
        : items(n)
    {
        for (size_t i = 0; i < n; ++i) {
            items[i].next = i + 1 < n ? &items[i + 1] : nullptr;
            items[i].progress = progress;
        }
        queue.first = n ? &items[0] : nullptr;
    }
};

} // namespace

TEST_F(DialogsTest, QueueSplitsTheBarAndAsksAfterFailures)
{
    std::vector<double> progress;
    Queue q(3, &progress);
    q.items[1].fail = true;
    AlertSeen seen;
    When(AlertMapped, [&] {
        seen = ReadAlert();
        XKeyTo(AlertXid(), "Return");
    });
    unsigned long failures = 0;
    EXPECT_EQ(ProcessQueueRunAsDialog(nullptr, "Lägger till bilder", q.queue, true, failures),
        LProcessResultSuccess);
    EXPECT_EQ(failures, 1u);
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_NEAR(progress[0], 1.0 / 3, 1e-9);
    EXPECT_NEAR(progress[1], 2.0 / 3, 1e-9);
    EXPECT_NEAR(progress[2], 1.0, 1e-9);
    EXPECT_EQ(seen.headline, "Varning");
    EXPECT_EQ(seen.buttons, (std::vector<std::string> { "Fortsätt", "Avbryt" }));
    EXPECT_EQ(seen.type, GTK_MESSAGE_WARNING);
}

TEST_F(DialogsTest, QueueLastItemFailingOffersOnlyOkWhateverTheCount)
{
    for (size_t n : { size_t(7), size_t(10) }) {
        Queue q(n, nullptr);
        q.items[n - 1].fail = true;
        AlertSeen seen;
        When(AlertMapped, [&] {
            seen = ReadAlert();
            XKeyTo(AlertXid(), "Return");
        });
        unsigned long failures = 0;
        ProcessQueueRunAsDialog(nullptr, "Bilder", q.queue, true, failures);
        EXPECT_EQ(seen.buttons, (std::vector<std::string> { "OK" })) << n << " items";
        EXPECT_EQ(failures, 1u);
    }
    // Without going on after errors: "Fel", "OK", result 2 at the first failure.
    Queue q(3, nullptr);
    q.items[0].fail = true;
    AlertSeen seen;
    When(AlertMapped, [&] {
        seen = ReadAlert();
        XKeyTo(AlertXid(), "Return");
    });
    unsigned long failures = 0;
    EXPECT_EQ(
        ProcessQueueRunAsDialog(nullptr, "Bilder", q.queue, false, failures), LProcessResultError);
    EXPECT_EQ(seen.headline, "Fel");
    EXPECT_EQ(seen.buttons, (std::vector<std::string> { "OK" }));
    EXPECT_EQ(failures, 1u);
}

TEST_F(DialogsTest, NestedProgressDialogsAndAlertsLeaveNothingModal)
{
    Job inner, outer;
    bool innerRan = false;
    int answer = 0;
    inner.body = [&](LProcessInterface& pi) {
        innerRan = true;
        pi.SetProgress(0.5);
        When(AlertMapped, [&] { XKeyTo(AlertXid(), "Escape"); });
        answer = LAlertWithButtonText::DisplayYesNoCancel(
            Current(pi)->GetContentView(), "Fortsätta?", "Fråga", "Ja", "Nej", "Avbryt");
        return LProcessResultSuccess;
    };
    unsigned depthInside = 0;
    outer.body = [&](LProcessInterface&) {
        LProcessDialog<Job> nested("Inre", inner);
        nested.result = LProcessResultError;
        // No view given: the current modal window, if any, is the parent.
        EXPECT_TRUE(nested.Open(nullptr));
        depthInside = LModalCounter::Count();
        return LProcessResult(nested.result);
    };
    LProcessDialog<Job> dialog("Yttre", outer);
    EXPECT_TRUE(dialog.Open(nullptr));
    EXPECT_TRUE(innerRan);
    EXPECT_EQ(answer, 2);
    EXPECT_EQ(dialog.result, LProcessResultSuccess);
    EXPECT_GE(depthInside, 1u);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_EQ(LModalLoop::Depth(), 0);
}

TEST_F(DialogsTest, AutoClosingPanelWorksUnderAModalDialog)
{
    struct Floating : LModelessDialog {
        int clicks = 0;
        void InitDialog() override
        {
            AddButton(500, "Tryck");
            MoveControlPixels(500, 10, 10, RoundPixels(12 * CharWidthPixels()),
                RoundPixels(1.23 * CharHeightPixels()));
        }
        void Command(int id, int code) override
        {
            if (id == 500)
                ++clicks;
            LModelessDialog::Command(id, code);
        }
    };
    LDialog modal;
    modal.CreateCocoaWindow(300, 200, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
    Floating panel;
    int clicks = -1;
    When([&] { return Shown(modal); },
        [&] {
            panel.SetPanelFlag(true);
            panel.CreateCocoaWindow(200, 100, kLUiWindowTitled, true, modal.GetContentView());
            panel.Run(&modal, kLCocoaDialogCenterParent);
            panel.SetAutoCloseOnFocusLost(true);
            uitest::PumpUntil([&] { return Shown(panel); });
            XClickControl(panel, 500);
            uitest::PumpUntil([&] { return panel.clicks > 0; }, 2000);
            clicks = panel.clicks;
            modal.PostCommand(kLCmdCancel);
        });
    modal.RunModal(nullptr, kLCocoaDialogCenterScreen);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !panel.IsOpen(); }));
}
