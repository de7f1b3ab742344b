// The dialogs of the main road used with the keyboard alone (the real keys through xdotool): Tab
// goes through every control that takes the focus in the order of the layout (by rows from the
// top, left to right within a row), and Shift+Tab goes back the same way.
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
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/UI.h"
#include "support/PrivateHomes.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

// One stop of the keyboard: the focused widget's box in the window (points) and its name.
struct Stop {
    GtkWidget* widget = nullptr;
    int x = 0, y = 0, w = 0, h = 0;
    std::string name;
};

std::string NameOf(GtkWidget* w)
{
    std::string name = G_OBJECT_TYPE_NAME(w);
    if (GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)))
        name += std::string(" \"") + gtk_button_get_label(GTK_BUTTON(w)) + "\"";
    return name;
}

bool StopOf(LNativeWindow* window, Stop& stop)
{
    GtkWidget* top = GTK_WIDGET(window->Gtk());
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
    if (!focus)
        return false;
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(focus, top, 0, 0, &x, &y);
    stop.widget = focus;
    stop.x = x;
    stop.y = y;
    stop.w = gtk_widget_get_allocated_width(focus);
    stop.h = gtk_widget_get_allocated_height(focus);
    stop.name = NameOf(focus);
    return true;
}

void Key(LNativeWindow* window, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run(
        "xdotool windowfocus --sync " + std::to_string(window->XWindowId()) + " key " + key);
    uitest::Pump(40);
}

// The stops Tab (or Shift+Tab) goes through from the focus the window starts with, until it
// comes back to it (at most 40).
std::vector<Stop> Walk(LNativeWindow* window, const char* key)
{
    std::vector<Stop> stops;
    Stop first;
    if (!StopOf(window, first)) {
        Key(window, key);
        if (!StopOf(window, first))
            return stops;
    }
    stops.push_back(first);
    for (int i = 0; i < 40; ++i) {
        Key(window, key);
        Stop next;
        if (!StopOf(window, next) || next.widget == first.widget)
            break;
        stops.push_back(next);
    }
    return stops;
}

std::string Describe(const std::vector<Stop>& stops)
{
    std::string out;
    for (const Stop& s : stops)
        out += "  " + s.name + " at " + std::to_string(s.x) + "," + std::to_string(s.y) + " "
            + std::to_string(s.w) + "x" + std::to_string(s.h) + "\n";
    return out;
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
void CheckDialog(const char* title, const std::function<void()>& open, size_t minimumStops = 2)
{
    SCOPED_TRACE(title);
    std::vector<Stop> forward, backward;
    bool squeezed = false;
    uitest::When(
        [] {
            LNativeWindow* w = LNativeWindow::KeyWindow();
            return w && w->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(w->Gtk()));
        },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            uitest::Pump(150);
            // A dialog larger than the test's screen (at a backing scale of 2) is squeezed into
            // it and its controls may overlap: its order is then not compared with its layout.
            LUiScreen screen;
            const LUiRect frame = window->Frame();
            squeezed = !LUiMainScreen(screen) || frame.width + 8 > screen.frame.width
                || frame.height + 40 > screen.frame.height;
            forward = Walk(window, "Tab");
            backward = Walk(window, "shift+Tab");
            Key(window, "Escape");
        });
    open();
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
    // Shift+Tab goes the same way back.
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        EXPECT_EQ(backward[i].widget, forward[(forward.size() - i) % forward.size()].widget) << i;
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
