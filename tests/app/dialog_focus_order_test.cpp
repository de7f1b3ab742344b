// The dialogs of the main road used with the keyboard alone (the real keys through xdotool): Tab
// goes through every control that takes the focus in the order of the layout (by rows from the
// top, left to right within a row), and Shift+Tab goes back the same way. Each control shows
// that it has the focus (it is drawn otherwise than when another control has it), and a link
// opens with Return and with Space as with a click. Controls that show no focus are kept as
// pictures under <build>/test-artefacts/focus.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTProject.h"
#include "app/VTSmallDialogs.h"
#include "app/VTStationerySelectDialog.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gui/LCommandLinkButton.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/zor/LAboutBox.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/UI.h"
#include "support/FocusWalk.h"
#include "support/InstalledPrograms.h"
#include "support/PrivateHomes.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

using namespace focuswalk;

// The links of a window's content, in the order of its views.
void FindLinks(LView* view, std::vector<LCocoaHyperLinkImpl*>& links)
{
    if (auto* link = dynamic_cast<LCocoaHyperLinkImpl*>(view))
        links.push_back(link);
    for (LView* child : view->Subviews())
        FindLinks(child, links);
}

// Whether b comes after a in reading order: a row further down (b starts below a's middle), or
// the same row further right.
bool After(const Stop& a, const Stop& b)
{
    const bool sameRow = b.y < a.y + a.h / 2 && a.y < b.y + b.h / 2;
    if (sameRow)
        return b.x > a.x;
    return b.y > a.y;
}

// Checks the order of one dialog, run by open, with the window that is key once it shows; at
// least minimumStops controls must take the focus.
// keysFirst, when given, are pressed once the dialog shows (another tab: "ctrl+Page_Down").
void CheckDialog(const char* title, const std::function<void()>& open, size_t minimumStops = 2,
    const char* keysFirst = nullptr)
{
    SCOPED_TRACE(title);
    std::vector<Stop> forward, backward;
    std::vector<std::string> unshown;
    bool squeezed = false, walked = false;
    uitest::When(
        [] {
            LNativeWindow* w = LNativeWindow::KeyWindow();
            return w && w->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(w->Gtk()));
        },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            uitest::Pump(150);
            if (keysFirst) {
                Key(window, keysFirst);
                uitest::PumpUntilDrawn(window);
            }
            // A dialog larger than the test's screen (at a backing scale of 2) is squeezed into
            // it and its controls may overlap: its order is then not compared with its layout.
            LUiScreen screen;
            const LUiRect frame = window->Frame();
            squeezed = !LUiMainScreen(screen) || frame.width + 8 > screen.frame.width
                || frame.height + 40 > screen.frame.height;
            forward = Walk(window, "Tab", true);
            // A stop drawn the same with and without the focus shows none: a picture of the
            // window with the focus on it is kept. Tab then goes on to the first stop again.
            // A stop with no box in the window (a hidden control that still takes the
            // focus) shows none either: the keyboard goes where the user cannot see it.
            GtkWidget* top = GTK_WIDGET(window->Gtk());
            const int topW = gtk_widget_get_allocated_width(top);
            const int topH = gtk_widget_get_allocated_height(top);
            for (const Stop& stop : forward)
                if (stop.w <= 2 || stop.h <= 2 || stop.x + stop.w <= 0 || stop.y + stop.h <= 0
                    || stop.x >= topW || stop.y >= topH)
                    unshown.push_back(stop.name + " (nowhere in the window: "
                        + std::to_string(stop.x) + "," + std::to_string(stop.y) + " "
                        + std::to_string(stop.w) + "x" + std::to_string(stop.h) + ")");
            for (const Stop& stop : forward)
                if (!stop.focused.empty() && stop.focused == stop.unfocused) {
                    unshown.push_back(stop.name);
                    TabTo(window, stop.widget, forward.size());
                    uitest::PumpUntilDrawn(window);
                    KeepPicture(window,
                        std::string(title) + " " + std::to_string(unshown.size()) + " "
                            + stop.name);
                }
            if (!forward.empty())
                TabTo(window, forward.front().widget, forward.size());
            backward = Walk(window, "shift+Tab");
            LastKey(window, "Escape");
            walked = true;
        });
    open();
    // A dialog without a modal loop of its own has only been opened.
    uitest::PumpUntil([&] { return walked; }, 60000);
    EXPECT_TRUE(walked);
    for (const std::string& name : unshown)
        ADD_FAILURE() << name << " shows no focus";
    SCOPED_TRACE("forward:\n" + Describe(forward) + "backward:\n" + Describe(backward));
    ASSERT_GE(forward.size(), minimumStops);
    // Taken from the stop that comes first in the layout, Tab goes on in the layout's order.
    size_t first = 0;
    for (size_t i = 1; i < forward.size(); ++i)
        if (After(forward[i], forward[first]))
            first = i;
    for (size_t i = 1; i < forward.size() && !squeezed; ++i) {
        const Stop& a = forward[(first + i - 1) % forward.size()];
        const Stop& b = forward[(first + i) % forward.size()];
        EXPECT_TRUE(After(a, b)) << a.name << " before " << b.name;
    }
    // Shift+Tab goes the same way back (a toolbar entered at its last button).
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        EXPECT_EQ(backward[i].group, forward[(forward.size() - i) % forward.size()].group) << i;
}

class DialogFocusOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        homes = std::make_unique<PrivateHomes>();
        // A control's look with and without the focus is compared where it ends: the theme's
        // transitions between the two (the border of a field) come to it at once.
        g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LCommandLinkButtonInstallHooks();
    }
    void TearDown() override { LDialogMenuHooksGet() = LDialogMenuHooks {}; }
    std::unique_ptr<PrivateHomes> homes;
};

} // namespace

TEST_F(DialogFocusOrder, MainRoadDialogs)
{
    // Its three command links, the box and "Avbryt".
    CheckDialog(
        "welcome", [] { VTWelcomeDialogOpen(nullptr); }, 5);
    CheckDialog("Välj etikettlayout", [] { delete VTLabelLayoutSelectDialogOpen(nullptr); });
    CheckDialog("Välj brevpapper", [] { delete VTStationerySelectDialogOpen(nullptr); });
    CheckDialog("Lägg till mall", [] {
        VTTemplateFormat format = VTTemplateFormatDisc;
        VTAddTemplateDialogOpen(nullptr, format);
    });
    CheckDialog("Alternativ", [] { VTOptionsDialogOpen(nullptr); });
    CheckDialog(
        "Alternativ, andra fliken", [] { VTOptionsDialogOpen(nullptr); }, 2, "ctrl+Page_Down");
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    CheckDialog("Redigera etikettlayout", [&] {
        VTLabelLayoutTemplate* current = nullptr;
        VTLabelLayoutEditorDialogOpen(nullptr, project, current);
    });
    CheckDialog("Förhandsgranska", [&] {
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetFirst();
        VTPrintPreviewDialogOpen(nullptr, *project, page, page->first);
    });
    CheckDialog("Skivans mått", [&] {
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetFirst();
        VTDiscDimensionsDialogOpen(nullptr, page->first);
    });
}

// The dialogs of the Help menu and the toolbar: the about box (without a modal loop of its own)
// and the program suite.
TEST_F(DialogFocusOrder, AboutAndSuiteDialogs)
{
    for (const char* keys : { (const char*)nullptr, "ctrl+Page_Down" }) {
        CheckDialog(
            keys ? "Om Vorantel, Licensvillkor" : "Om Vorantel", [] { LAboutBoxOpen(nullptr); }, 2,
            keys);
        if (LAboutBox* box = LAboutBoxGetOpen())
            box->Close();
        uitest::PumpUntil([] { return !LAboutBoxGetOpen(); });
    }
    CheckDialog("ZOR-programpaket", [] { LZORSuiteLaunch(nullptr, "grafik"); });
}

// A link is a stop of Tab like a button and opens with Return and with Space as with a click,
// the dialog staying open: in "Välj etikettlayout" the help page on printers that print on discs,
// in "Om Vorantel" the distributor's web page.
TEST_F(DialogFocusOrder, LinksOpenWithReturnAndSpace)
{
    struct Seen {
        bool reached = false;
        std::vector<std::string> opened;
        bool openAfter = false;
    };
    InstalledPrograms programs;
    size_t before = 0;
    // Tabs to the window's one link, then presses Return and Space on it.
    auto useLink = [&](LDialog& dialog, const char* shot, Seen& seen) {
        LNativeWindow* window = dialog.GetNativeWindow();
        std::vector<LCocoaHyperLinkImpl*> links;
        FindLinks(dialog.GetContentView(), links);
        ASSERT_EQ(links.size(), 1u);
        GtkWidget* link = links[0]->Widget();
        TabTo(window, link, 40);
        seen.reached = gtk_window_get_focus(GTK_WINDOW(window->Gtk())) == link;
        if (!seen.reached)
            return;
        uitest::PumpUntilDrawn(window);
        KeepPicture(window, shot);
        Key(window, "Return");
        programs.Opened(before + 1, 5000);
        Key(window, "space");
        seen.opened = programs.Opened(before + 2, 5000);
        seen.opened.erase(seen.opened.begin(), seen.opened.begin() + std::ptrdiff_t(before));
        before += seen.opened.size();
        seen.openAfter = dialog.IsOpen();
    };
    auto shown = [](LMacWindow* d) {
        return d && d->GetNativeWindow() && d->GetNativeWindow()->Gtk()
            && gtk_widget_get_mapped(GTK_WIDGET(d->GetNativeWindow()->Gtk()));
    };

    VTLabelLayoutSelectDialog select;
    Seen inSelect;
    uitest::When([&] { return shown(&select); },
        [&] {
            useLink(select, "link-select-layout", inSelect);
            select.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    select.Open(nullptr, data);
    EXPECT_TRUE(inSelect.reached);
    ASSERT_EQ(inSelect.opened.size(), 2u);
    for (const std::string& page : inSelect.opened)
        EXPECT_NE(page.find("concepts_directtodisc"), std::string::npos) << page;
    EXPECT_TRUE(inSelect.openAfter);
    EXPECT_EQ(std::unique_ptr<VTLabelLayout>(select.TakeLayout()), nullptr);

    Seen inAbout;
    bool done = false;
    uitest::When([&] { return shown(LAboutBoxGetOpen()); },
        [&] {
            if (LAboutBox* box = LAboutBoxGetOpen()) {
                useLink(*box, "link-about", inAbout);
                box->Close();
            }
            done = true;
        });
    LAboutBoxOpen(nullptr);
    uitest::PumpUntil([&] { return done && !LAboutBoxGetOpen(); }, 30000);
    EXPECT_TRUE(inAbout.reached);
    ASSERT_EQ(inAbout.opened.size(), 2u);
    for (const std::string& page : inAbout.opened)
        EXPECT_NE(page.find("://"), std::string::npos) << page;
    EXPECT_TRUE(inAbout.openAfter);
}
