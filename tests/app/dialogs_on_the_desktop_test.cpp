// The program's dialogs on a desktop as a person with two monitors and other programs sees them,
// each test on an X server of its own under openbox:
// - two monitors side by side (Xorg's dummy video driver, xrandr), the primary one on the left
//   and then on the right: with the window they are opened from on either monitor, "Välj
//   etikettlayout", "Vorantel Inställningar", "Redigera etikettlayout", "Förhandsgranska" and
//   "Välkommen till Vorantel" open on that window's monitor;
// - while a dialog or an alert shows, another program (xev) is clicked and typed into: the
//   dialog stays above its opener, and is not kept above every window (_NET_WM_STATE_ABOVE);
//   whether the other program came above it is printed (openbox hands the keyboard back to a
//   modal dialog of the program and keeps it above);
// - "Välkommen till Vorantel" and "Vorantel Inställningar" tell the window manager that they
//   can be closed (their Motif hints, which mutter and kwin read; openbox offers a close button),
//   and its close request closes them as Escape does.
// Places and stacking come from the X server; screenshots of the screen go to
// <build>/test-artefacts/dialogs-desktop.
// VT_ALSO_SCALED: runs again at a backing scale of 2, on a screen of twice the pixels.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTProject.h"
#include "app/VTSmallDialogs.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LControlFlags.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiSystem.h"
#include "support/ControlTestSupport.h"
#include "support/OwnScreen.h"
#include "support/PrivateHomes.h"
#include "support/XServerView.h"

#include <gtk/gtk.h>

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

using controltest::Scale;

// The run on a screen of two monitors of 1024 x 768 points each under openbox, the primary one
// on the left or on the right.
bool OnTwoMonitors(bool primaryRight)
{
    const int s = Scale();
    return ownscreen::RunOnScreen(std::to_string(1024 * s) + "x" + std::to_string(768 * s),
        ownscreen::kTwoMonitors + " " + ownscreen::kOpenbox
            + " VT_PRIMARY=" + (primaryRight ? "right" : "left"));
}

unsigned long Xid(GtkWindow* w)
{
    GdkWindow* g = w ? gtk_widget_get_window(GTK_WIDGET(w)) : nullptr;
    return g && GDK_IS_X11_WINDOW(g) ? gdk_x11_window_get_xid(g) : 0;
}

// The window of the framework whose title is this, shown now and ready; null when none.
LMacWindow* ShownWindow(const char* title)
{
    GList* windows = gtk_window_list_toplevels();
    LMacWindow* found = nullptr;
    for (GList* w = windows; w && !found; w = w->next) {
        GtkWindow* gw = GTK_WINDOW(w->data);
        const char* t = gtk_window_get_title(gw);
        if (!t || std::strcmp(t, title) != 0 || !gtk_widget_get_mapped(GTK_WIDGET(gw)))
            continue;
        LNativeWindow* native = LNativeWindow::FromGtk(gw);
        if (native && native->ContentView())
            found = dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(native->ContentView()));
    }
    g_list_free(windows);
    return found && found->IsInitialised() ? found : nullptr;
}

unsigned long Xid(LMacWindow* w)
{
    return w && w->GetNativeWindow() ? Xid(w->GetNativeWindow()->Gtk()) : 0;
}

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

// Whether the window manager stacks upper above lower (_NET_CLIENT_LIST_STACKING lists the
// managed windows from the bottom up).
bool StackedAbove(unsigned long upper, unsigned long lower)
{
    std::istringstream ids(
        uitest::Run("timeout 5 xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | tr ',#' '  '"));
    std::string word;
    int at = 0, u = -1, l = -1;
    while (ids >> word)
        if (word.rfind("0x", 0) == 0) {
            const unsigned long id = std::strtoul(word.c_str(), nullptr, 16);
            u = id == upper ? at : u;
            l = id == lower ? at : l;
            ++at;
        }
    return u >= 0 && l >= 0 && u > l;
}

// Whether the window's Motif hints let a window manager close it (mutter and kwin show a close
// button only then; openbox does not read them): no hints, no functions given, or functions
// that include closing (all of them less those named, or those named).
bool MotifAllowsClose(unsigned long xid)
{
    std::istringstream values(uitest::Run("timeout 5 xprop -id " + std::to_string(xid)
        + " _MOTIF_WM_HINTS 2>/dev/null | sed -n 's/.*= //p' | tr ',' ' '"));
    unsigned long flags = 0, functions = 0;
    if (!(values >> std::hex >> flags >> functions) || !(flags & 1))
        return true;
    constexpr unsigned long kAll = 1, kClose = 0x20;
    return (functions & kAll) ? !(functions & kClose) : (functions & kClose) != 0;
}

class DialogsOnTheDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
    }

    // The monitors in device pixels, as the X server has them, the primary one first.
    std::vector<XRect> Monitors()
    {
        std::vector<XRect> list;
        for (const LUiScreen& s : LUiScreens())
            list.push_back(XRect { int(s.frame.x * Scale()), int(s.frame.y * Scale()),
                int(s.frame.width * Scale()), int(s.frame.height * Scale()) });
        return list;
    }

    // The index in Monitors() of the monitor that holds the middle of the rectangle; -1 none.
    int MonitorOf(const XRect& r) { return AreaHoldingMiddle(Monitors(), r); }

    // The window with its frame once its place has stayed the same for 300 ms.
    XRect Settled(unsigned long xid)
    {
        XRect last, now;
        x.OuterFrame(xid, last);
        double since = controltest::NowMs();
        uitest::PumpUntil(
            [&] {
                x.OuterFrame(xid, now);
                if (now.x != last.x || now.y != last.y || now.width != last.width
                    || now.height != last.height) {
                    last = now;
                    since = controltest::NowMs();
                }
                return controltest::NowMs() - since >= 300;
            },
            5000);
        return now;
    }

    // Moves the opener onto the monitor as a person drags it there (its top-left corner a
    // tenth into the monitor); true once it shows there.
    bool MoveOnto(controltest::Host& host, int monitor)
    {
        const XRect m = Monitors()[size_t(monitor)];
        const unsigned long xid = Xid(&host);
        uitest::Run("timeout 10 xdotool windowmove --sync " + std::to_string(xid) + " "
            + std::to_string(m.x + m.width / 10) + " " + std::to_string(m.y + m.height / 10)
            + " 2>/dev/null");
        return uitest::PumpUntil([&] { return MonitorOf(Settled(xid)) == monitor; }, 5000);
    }

    // Opens a dialog (open runs it modally) and, once the dialog titled title shows, hands its
    // window to look, then closes it with Cancel. False when it did not show.
    bool WithDialog(const char* title, const std::function<void()>& open,
        const std::function<void(LMacWindow&)>& look)
    {
        bool shown = false;
        uitest::When([title] { return ShownWindow(title) != nullptr; },
            [&] {
                LMacWindow* dialog = ShownWindow(title);
                if (!dialog)
                    return;
                shown = true;
                look(*dialog);
                if (ShownWindow(title) == dialog)
                    dialog->PostCommand(kLCmdCancel);
            });
        open();
        return shown;
    }

    // Each dialog the issue names, opened from the host: its title and how it is opened.
    struct Opener {
        const char* title;
        std::function<void()> open;
    };
    std::vector<Opener> Openers(controltest::Host& host)
    {
        LView* parent = host.GetContentView();
        return {
            { "Välj etikettlayout", [parent] { delete VTLabelLayoutSelectDialogOpen(parent); } },
            { "Vorantel Inställningar", [parent] { VTOptionsDialogOpen(parent); } },
            { "Redigera etikettlayout",
                [parent] {
                    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
                    VTLabelLayoutTemplate* current = nullptr;
                    VTLabelLayoutEditorDialogOpen(parent, project, current);
                } },
            { "Förhandsgranska",
                [parent] {
                    VTProject project(new VTLabelLayoutDataDirectToCDDVDStandard);
                    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
                    VTPrintPreviewDialogOpen(parent, project, page, page->first);
                } },
            { "Välkommen till Vorantel", [parent] { VTWelcomeDialogOpen(parent); } },
        };
    }

    // Each dialog opened from the host standing on either monitor: the monitor it showed on.
    void ExpectOnTheOpenersMonitor(const char* shot)
    {
        controltest::Host host(500, 300);
        ASSERT_TRUE(host.Show());
        ASSERT_EQ(Monitors().size(), 2u);
        for (int monitor : { 1, 0 }) {
            ASSERT_TRUE(MoveOnto(host, monitor)) << "the opener onto monitor " << monitor;
            for (const Opener& o : Openers(host)) {
                int seen = -1;
                XRect frame;
                EXPECT_TRUE(WithDialog(o.title, o.open, [&](LMacWindow& dialog) {
                    frame = Settled(Xid(&dialog));
                    seen = MonitorOf(frame);
                    if (monitor == 1 && std::strcmp(o.title, "Förhandsgranska") == 0)
                        SaveScreenPng(x, x.Screen(), shot);
                })) << o.title;
                EXPECT_EQ(seen, monitor)
                    << o.title << " at " << Text(frame) << ", its opener on monitor " << monitor
                    << " " << Text(Monitors()[size_t(monitor)]);
                std::printf("%s: opener on monitor %d (%s), the dialog at %s: monitor %d\n",
                    o.title, monitor, Monitors()[size_t(monitor)].x == 0 ? "left" : "right",
                    Text(frame).c_str(), seen);
            }
        }
    }

    PrivateHomes homes;
    XServerView x;
};

} // namespace

TEST_F(DialogsOnTheDesktop, DialogsOpenOnTheirOpenersMonitorPrimaryLeft)
{
    if (!OnTwoMonitors(false))
        return;
    ExpectOnTheOpenersMonitor("two-monitors-primary-left");
}

TEST_F(DialogsOnTheDesktop, DialogsOpenOnTheirOpenersMonitorPrimaryRight)
{
    if (!OnTwoMonitors(true))
        return;
    ExpectOnTheOpenersMonitor("two-monitors-primary-right");
}

// Another program made active (a click on it, keys typed into it) while each dialog and alert
// shows: the dialog stays above its opener and is not one that the window manager keeps above
// every window.
TEST_F(DialogsOnTheDesktop, AnotherProgramMadeActiveComesAbove)
{
    if (!ownscreen::RunOnScreen(
            std::to_string(1024 * Scale()) + "x" + std::to_string(768 * Scale()),
            ownscreen::kOpenbox))
        return;
    ASSERT_TRUE(x.HasWindowManager());
    ASSERT_TRUE(uitest::HaveXdotool());
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    std::vector<Opener> openers = Openers(host);
    openers.push_back({ "Vorantel", [&host] {
                           LAlert alert(host.GetContentView(), "Ett meddelande.", "Vorantel");
                           alert._Run();
                       } });
    // Another program: a window of xev's.
    const std::string other
        = uitest::Run("timeout 120 xev -geometry 300x200+40+40 -name 'Ett annat program' "
                      ">/dev/null 2>&1 & echo $!");
    const unsigned long otherXid = std::strtoul(
        uitest::Run("timeout 10 xdotool search --sync --onlyvisible --name '^Ett annat program$' "
                    "2>/dev/null | head -n 1")
            .c_str(),
        nullptr, 10);
    ASSERT_NE(otherXid, 0u);
    for (const Opener& o : openers) {
        bool aboveOpener = false, otherAbove = false, otherActive = false, aboveState = true;
        const auto look = [&](unsigned long dialog, const std::function<void()>& close) {
            aboveOpener = uitest::PumpUntil([&] { return StackedAbove(dialog, Xid(&host)); });
            // Another program, over the dialog, made active by a click into it and typed into.
            uitest::Run("timeout 10 xdotool mousemove --window " + std::to_string(otherXid)
                + " 150 100 click 1 2>/dev/null; timeout 10 xdotool windowactivate --sync "
                + std::to_string(otherXid)
                + " 2>/dev/null; timeout 10 xdotool type --delay 20 abc 2>/dev/null");
            aboveState = uitest::Run("timeout 5 xprop -id " + std::to_string(dialog)
                             + " _NET_WM_STATE 2>/dev/null")
                             .find("_NET_WM_STATE_ABOVE")
                != std::string::npos;
            otherActive = uitest::PumpUntil([&] { return !LNativeWindow::IsApplicationActive(); });
            otherAbove = uitest::PumpUntil([&] { return StackedAbove(otherXid, dialog); });
            SaveScreenPng(x, x.Screen(), std::string("other-program-over-") + o.title);
            close();
        };
        if (std::strcmp(o.title, "Vorantel") == 0) {
            uitest::When([] { return LUiCurrentAlertWidget() != nullptr; },
                [&] {
                    auto* alert = GTK_WINDOW(LUiCurrentAlertWidget());
                    uitest::PumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(alert)); });
                    look(Xid(alert), [alert] { gtk_dialog_response(GTK_DIALOG(alert), 0); });
                });
            o.open();
        } else {
            EXPECT_TRUE(WithDialog(o.title, o.open, [&](LMacWindow& dialog) {
                look(Xid(&dialog), [] {});
            })) << o.title;
        }
        EXPECT_TRUE(aboveOpener) << o.title << " above its opener";
        EXPECT_TRUE(otherActive) << o.title << ": the other program took the keyboard";
        EXPECT_FALSE(aboveState) << o.title << " kept above every window";
        std::printf("%s: above its opener %d, kept above every window %d, under another program "
                    "made active %d\n",
            o.title, aboveOpener, aboveState, otherAbove);
    }
    uitest::Run("kill " + other + " 2>/dev/null");
}

// "Välkommen till Vorantel" and "Vorantel Inställningar" close from the window manager's frame:
// it offers their close button, and its close request closes them as Escape does.
TEST_F(DialogsOnTheDesktop, WelcomeAndOptionsCloseFromTheFrame)
{
    if (!ownscreen::RunOnScreen(
            std::to_string(1024 * Scale()) + "x" + std::to_string(768 * Scale()),
            ownscreen::kOpenbox))
        return;
    ASSERT_TRUE(x.HasWindowManager());
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    LView* parent = host.GetContentView();
    struct Case {
        const char* title;
        std::function<bool()> open; // true when the dialog answered as cancelled
    };
    const Case cases[] = {
        { "Välkommen till Vorantel", [parent] { return VTWelcomeDialogOpen(parent) == -1; } },
        { "Vorantel Inställningar", [parent] { return !VTOptionsDialogOpen(parent); } },
    };
    for (const Case& c : cases) {
        bool offered = false, motif = false, asked = false, closed = false;
        uitest::When([&c] { return ShownWindow(c.title) != nullptr; },
            [&] {
                LMacWindow* dialog = ShownWindow(c.title);
                if (!dialog)
                    return;
                const unsigned long xid = Xid(dialog);
                offered = uitest::PumpUntil([&] { return x.OffersClose(xid); }, 2000);
                motif = MotifAllowsClose(xid);
                asked = x.AskToClose(xid);
                closed = uitest::PumpUntil([&] { return ShownWindow(c.title) == nullptr; }, 3000);
                // Left open: closed by the test, so that the run goes on.
                if (LMacWindow* still = ShownWindow(c.title))
                    still->PostCommand(kLCmdCancel);
            });
        const bool cancelled = c.open();
        EXPECT_TRUE(offered) << c.title << ": no close button in openbox's frame";
        EXPECT_TRUE(motif) << c.title << ": its Motif hints tell that it cannot be closed";
        EXPECT_TRUE(asked) << c.title;
        EXPECT_TRUE(closed) << c.title << ": still open after the window manager's close";
        EXPECT_TRUE(cancelled) << c.title;
    }
}
