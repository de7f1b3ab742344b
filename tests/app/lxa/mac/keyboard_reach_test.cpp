// The main window and the layout editor used with the keyboard alone, with the real keys
// (xdotool), as a person without a mouse does: Tab goes round the main window through the
// tabbed toolbar, the design tabs, the panels and the canvas, and comes back to where it began;
// each of those stops shows that it has the focus and does its work by keys: the arrows and
// Ctrl+Page Down switch the design, the colour wells open their chooser with Space and Return and
// a colour is picked in it, the toolbar's tabs and buttons ("ZOR-Paket" among them) are gone
// through and pressed; on the canvas Space, Shift+Space and Escape choose the overlay that the
// arrows, Delete and the menu's keys then act on. In the layout editor the toolbar's buttons, the
// page tabs with their close boxes and the page (choosing a label position) are reached and used
// the same way, as is the print preview's page; in "Välj mallar" the preview's page tabs.
// "Välj etikettlayout" shows the focus of its first button from the start, "Välj mallar" that of
// its list, and the main window keeps a focus it shows when a picture added hides the panel that
// had it; the print preview shows its focus when GTK's print panel, opened and cancelled by keys,
// closes, and so does the main window when "Välj etikettlayout" has made a project by keys. The
// cycles are kept as text and the windows as pictures under <build>/test-artefacts/keyboard-reach.
// VT_WINDOW_MANAGER: runs a second time under openbox.
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOverlayText.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTProjectFile.h"
#include "app/VTStationerySelectDialog.h"
#include "app/lxa/mac/KeyboardTestSupport.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/ui/LUiFilePanel.h"
#include "support/PrintPanel.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

using namespace focuswalk;
using namespace keyboardtest;

namespace {

// Presses Tab until the widget (or a widget inside it) has the focus (at most stops times), as a
// person goes round the window: out of a text box, where Tab is a character, with Ctrl+Tab.
bool TabRoundTo(LNativeWindow* window, GtkWidget* widget, size_t stops)
{
    auto reached = [&] {
        GtkWidget* focus = Focus(window);
        return focus && (focus == widget || gtk_widget_is_ancestor(focus, widget));
    };
    for (size_t i = 0; i < stops && !reached(); ++i)
        Key(window, GTK_IS_TEXT_VIEW(Focus(window)) ? "ctrl+Tab" : "Tab");
    return reached();
}

// Keeps the cycle as text under <build>/test-artefacts/keyboard-reach/<name>.txt.
void KeepCycle(const std::string& name, const std::string& text)
{
    const std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts/keyboard-reach";
    uitest::Run("mkdir -p '" + dir + "'");
    const char* scale = std::getenv("GDK_SCALE");
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    std::ofstream(dir + "/" + name + (wm && std::string(wm) == "1" ? "-wm" : "")
        + (scale && std::atoi(scale) > 1 ? "-scale2" : "") + ".txt")
        << text;
}

void Picture(LNativeWindow* window, const std::string& name)
{
    uitest::PumpUntilDrawn(window);
    KeepPicture(window, name, "keyboard-reach");
}

// The stop that has the focus shows it, and showed it before any key was used: its pixels now
// (kept as the picture) against those once Tab has taken the focus away and once Shift+Tab has
// brought it back.
void ExpectFocusShownAtOnce(LNativeWindow* window, Stop& stop, const char* picture)
{
    stop.focused = Pixels(window, stop);
    Picture(window, picture);
    Key(window, "Tab");
    uitest::PumpUntilDrawn(window);
    stop.unfocused = Pixels(window, stop);
    Key(window, "shift+Tab");
    uitest::PumpUntilDrawn(window);
    EXPECT_EQ(Focus(window), stop.widget);
    EXPECT_NE(stop.focused, stop.unfocused) << stop.name << " shows no focus";
    EXPECT_EQ(Pixels(window, stop), stop.focused)
        << stop.name << " showed its focus only once keys were used";
}

// The GTK colour chooser open over the window, null when none.
GtkWidget* Chooser()
{
    auto* panel = static_cast<GtkWidget*>(LUiCurrentPanel());
    return panel && GTK_IS_COLOR_CHOOSER(panel) && gtk_widget_get_mapped(panel) ? panel : nullptr;
}

// Presses key on the focused colour well (Space or Return) and, once the chooser shows, picks
// the colour right of the one it starts on with the keys (the arrow goes to it, Return chooses
// it, Return again takes it). Answers whether the chooser showed and closed.
bool PickColourByKeys(LNativeWindow* window, const char* key, const char* picture)
{
    bool shown = false;
    uitest::When([] { return Chooser() != nullptr; },
        [&] {
            GtkWidget* chooser = Chooser();
            if (!chooser)
                return;
            shown = true;
            uitest::PumpUntilDrawn(chooser);
            uitest::SaveWidgetScreenshot(chooser, uitest::ArtefactPath("keyboard-reach", picture));
            const std::string xid = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(chooser)));
            uitest::Run("xdotool windowfocus --sync " + xid + " key Right Return Return");
        });
    LastKey(window, key);
    uitest::PumpUntil([&] { return shown && !LUiCurrentPanel(); }, 20000);
    return shown && !LUiCurrentPanel();
}

class KeyboardReach : public MainWindowByKeys {
protected:
    LTabBar& DesignTabs() const { return w->projectViewer.paginator.GetTabBar(); }
    int DesignTab() const
    {
        LTabBar& bar = DesignTabs();
        for (unsigned i = 0; i < bar.GetTabCount(); ++i)
            if (bar.GetTabAtIndex(i) == bar.GetSelectedTab())
                return int(i);
        return -1;
    }

    TemporaryFolder files;
};

} // namespace

// Tab goes round the whole main window and comes back to where it began: the toolbar, the design
// tabs, the canvas and the colour well "Fast:" are stops of it, each showing its focus; Shift+Tab
// goes the same way back.
TEST_F(KeyboardReach, MainWindowTabCycle)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    GtkWidget* toolbar = ToolbarWidget();
    GtkWidget* tabs = WidgetOf(DesignTabs().GetHostView());
    GtkWidget* canvas = WidgetOf(w->projectViewer.canvas.GetHostView());
    GtkWidget* solid = WidgetOf(w->projectViewer.templatePanel->picker.GetSolidBox().GetHostView());
    ASSERT_TRUE(toolbar && tabs && canvas && solid);
    // From the toolbar, as the window's first stop.
    TabTo(window, toolbar, 60);
    ASSERT_EQ(Focus(window), toolbar) << "Tab never came to the toolbar";
    const std::vector<Stop> forward = Walk(window, "Tab", true, 80);
    TabTo(window, toolbar, 80);
    const std::vector<Stop> backward = Walk(window, "shift+Tab", false, 80);
    KeepCycle("main-window-cycle", Describe(forward));
    SCOPED_TRACE("forward:\n" + Describe(forward) + "backward:\n" + Describe(backward));
    // Round: the walk came back to the toolbar.
    ASSERT_LT(forward.size(), 80u);
    for (GtkWidget* stop : { toolbar, tabs, canvas, solid }) {
        const Stop* s = Found(forward, stop);
        ASSERT_NE(s, nullptr) << G_OBJECT_TYPE_NAME(stop) << " is no stop of Tab";
        EXPECT_NE(s->focused, s->unfocused)
            << s->name << " at " << s->x << "," << s->y << " shows no focus";
        EXPECT_NE(Found(backward, stop), nullptr) << "Shift+Tab does not come to " << s->name;
    }
    EXPECT_EQ(backward.size(), forward.size());
    TabTo(window, canvas, 80);
    Picture(window, "main-window-canvas-focused");
}

// The design tabs switch by keys: Left, Right, Home and End on the tabs, Ctrl+Page Down and
// Ctrl+Page Up wherever the keyboard is (round from the last to the first), each as a click on
// the tab does.
TEST_F(KeyboardReach, DesignTabsSwitchByKeys)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    LTabBar& bar = DesignTabs();
    ASSERT_EQ(bar.GetTabCount(), 3u);
    std::string names;
    for (unsigned i = 0; i < bar.GetTabCount(); ++i)
        names += std::string(bar.GetTabAtIndex(i)->text) + "\n";
    KeepCycle("design-tabs", names);
    GtkWidget* tabs = WidgetOf(bar.GetHostView());
    ASSERT_TRUE(TabTo(window, tabs, 60));
    ASSERT_EQ(DesignTab(), 0);
    VTProjectTemplate* disc = w->projectViewer.GetCurrentTemplate();
    Key(window, "Right");
    EXPECT_EQ(DesignTab(), 1);
    VTProjectTemplate* front = w->projectViewer.GetCurrentTemplate();
    EXPECT_NE(front, disc) << "the canvas shows the design of the tab chosen";
    Picture(window, "design-tab-front");
    Key(window, "Right");
    EXPECT_EQ(DesignTab(), 2);
    Key(window, "Right");
    EXPECT_EQ(DesignTab(), 2) << "Right stays on the last tab";
    Key(window, "Home");
    EXPECT_EQ(DesignTab(), 0);
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate(), disc);
    Key(window, "End");
    EXPECT_EQ(DesignTab(), 2);
    Key(window, "Left");
    EXPECT_EQ(DesignTab(), 1);
    EXPECT_EQ(Focus(window), tabs) << "the keyboard stays on the tabs";

    // From the canvas (and from any other place of the window).
    GtkWidget* canvas = WidgetOf(w->projectViewer.canvas.GetHostView());
    ASSERT_TRUE(TabTo(window, canvas, 80));
    Key(window, "ctrl+Page_Down");
    EXPECT_EQ(DesignTab(), 2);
    Key(window, "ctrl+Page_Down");
    EXPECT_EQ(DesignTab(), 0) << "round from the last to the first";
    EXPECT_EQ(w->projectViewer.GetCurrentTemplate(), disc);
    Key(window, "ctrl+Page_Up");
    EXPECT_EQ(DesignTab(), 2);
    EXPECT_EQ(Focus(window), canvas) << "the keyboard stays on the canvas";
}

// The canvas comes back into the Tab cycle and does there what it did by keys: the arrows move
// the selected overlay.
TEST_F(KeyboardReach, CanvasMovesTheSelectionByArrows)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    w->projectViewer.AddOverlayText("Piltangenter");
    uitest::PumpUntilIdle();
    VTProjectTemplateViewer& canvas = w->projectViewer.canvas;
    VTOverlay* overlay = canvas.GetSingleSelectedItem();
    ASSERT_NE(overlay, nullptr);
    GtkWidget* host = WidgetOf(canvas.GetHostView());
    // The text box has the keyboard after an add: Ctrl+Tab leaves it (Tab is a character
    // there), then Tab goes round to the canvas.
    Key(window, "ctrl+Tab");
    ASSERT_TRUE(TabTo(window, host, 80));
    const float x = overlay->centreX, y = overlay->centreY;
    Key(window, "Right");
    Key(window, "Down");
    EXPECT_GT(overlay->centreX, x);
    EXPECT_GT(overlay->centreY, y);
    Picture(window, "canvas-moved-by-keys");
    // Once Tab has left the canvas it comes back to it (past the text box of the text).
    Key(window, "Tab");
    ASSERT_NE(Focus(window), host);
    EXPECT_TRUE(TabRoundTo(window, host, 80)) << "Tab never came back to the canvas";
}

namespace {

// The places (centre x) of the overlays of the saved project's first design, bottom first; none
// when it cannot be read.
std::vector<float> SavedPlaces(const std::string& path)
{
    VTProject project;
    VTProjectLoad record;
    record.project = &project;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    std::vector<float> places;
    if (Process(quiet, record) != LProcessResultSuccess || !project.templates.GetHead())
        return places;
    for (VTOverlay* o = project.templates.GetHead()->first; o; o = o->next)
        places.push_back(o->centreX);
    return places;
}

} // namespace

// On a reopened project the canvas chooses its overlays by keys: Space the next in their
// stacking order (from the bottom), Shift+Space the one before, round, Escape none. The keyboard
// stays on the canvas, the chosen overlay shows its frame and its panel, and the arrows, "Höja"
// (Ctrl+=) and Delete act on it as after a click; Ctrl+S saves the nudge.
TEST_F(KeyboardReach, CanvasChoosesOverlaysByKeys)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    VTProjectViewer& viewer = w->projectViewer;
    viewer.AddOverlayText("Nedre");
    viewer.AddOverlayText("Övre");
    VTProjectTemplate* design = viewer.GetCurrentTemplate();
    ASSERT_EQ(design->GetCount(), 2u);
    // Apart, each with a frame of its own.
    design->first->centreX = -20;
    design->first->next->centreX = 20;
    const std::string path = files.Path() + "/tangenter.vtproj";
    ASSERT_TRUE(w->CmProjectSave(path.c_str()));
    ASSERT_TRUE(w->CmProjectLoad(path.c_str(), false));
    uitest::PumpUntilIdle();
    design = viewer.GetCurrentTemplate();
    VTProjectTemplateViewer& canvas = viewer.canvas;
    ASSERT_TRUE(design && design->first && design->first->next);
    VTOverlay* const bottom = design->first;
    VTOverlay* const top = bottom->next;
    ASSERT_EQ(canvas.GetSingleSelectedItem(), nullptr);
    GtkWidget* host = WidgetOf(canvas.GetHostView());
    // Round to the canvas, from wherever the keyboard is.
    Key(window, GTK_IS_TEXT_VIEW(Focus(window)) ? "ctrl+Tab" : "Tab");
    ASSERT_TRUE(TabRoundTo(window, host, 80));
    uitest::PumpUntilDrawn(window);
    Stop stop;
    ASSERT_TRUE(StopOf(window, stop));
    const std::vector<uint32_t> none = Pixels(window, stop);

    Key(window, "space");
    EXPECT_EQ(canvas.GetSingleSelectedItem(), bottom) << "Space chose not the bottom overlay";
    EXPECT_EQ(Focus(window), host) << "the keyboard left the canvas";
    uitest::PumpUntilDrawn(window);
    EXPECT_NE(Pixels(window, stop), none) << "the chosen overlay shows no frame";
    GtkWidget* swatch = WidgetOf(viewer.textPanel->textColour.GetSwatch().GetHostView());
    EXPECT_TRUE(swatch && gtk_widget_get_mapped(swatch)) << "the text's panel does not show";
    Picture(window, "canvas-chosen-by-space");
    Key(window, "Escape");
    EXPECT_EQ(canvas.GetSingleSelectedItem(), nullptr) << "Escape did not choose none";
    uitest::PumpUntilDrawn(window);
    EXPECT_EQ(Pixels(window, stop), none) << "a frame stays after Escape";

    // Round both ways.
    const std::pair<const char*, VTOverlay*> steps[] = { { "shift+space", top },
        { "shift+space", bottom }, { "shift+space", top }, { "space", bottom }, { "space", top } };
    for (const auto& [key, chosen] : steps) {
        Key(window, key);
        EXPECT_EQ(canvas.GetSingleSelectedItem(), chosen) << "after " << key;
    }
    EXPECT_EQ(Focus(window), host);
    Picture(window, "canvas-top-chosen");

    // The arrows nudge the chosen one; Ctrl+S saves it there.
    const float x = top->centreX;
    Key(window, "Right");
    Key(window, "Right");
    EXPECT_GT(top->centreX, x) << "the arrows did not move the chosen overlay";
    LastKey(window, "ctrl+s");
    uitest::PumpUntil([&] { return w->GetProject()->GetSaveState() == VTProjectSaveStateSaved; });
    const std::vector<float> saved = SavedPlaces(path);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_FLOAT_EQ(saved[0], -20.0f);
    EXPECT_FLOAT_EQ(saved[1], top->centreX);
    EXPECT_GT(saved[1], 20.0f) << "the nudge is not in the saved project";
    EXPECT_EQ(Focus(window), host) << "the save took the keyboard from the canvas";

    // "Höja" by its key raises the one chosen, Delete deletes it.
    // (The keyboard comes back to the window once the save's progress window has gone.)
    uitest::PumpUntil([&] { return gtk_window_is_active(window->Gtk()); });
    Key(window, "shift+space");
    ASSERT_EQ(canvas.GetSingleSelectedItem(), bottom);
    Key(window, "ctrl+equal");
    EXPECT_EQ(design->first, top) << "Ctrl+= raised not the chosen overlay";
    Key(window, "Delete");
    EXPECT_EQ(design->GetCount(), 1u);
    EXPECT_EQ(design->first, top) << "Delete deleted not the chosen overlay";
    EXPECT_EQ(Focus(window), host);
}

// The colour wells "Fast:" and "Textfärg:" open their chooser with Space and with Return, and a
// colour picked there by keys is the design's background and the text's colour.
TEST_F(KeyboardReach, ColourWellsOpenWithSpaceAndReturn)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    VTWindowFullColorPicker& picker = w->projectViewer.templatePanel->picker;
    GtkWidget* solid = WidgetOf(picker.GetSolidBox().GetHostView());
    ASSERT_TRUE(TabTo(window, solid, 80));
    const LGuiColor white = picker.GetSolidBox().GetColor();
    ASSERT_TRUE(PickColourByKeys(window, "space", "chooser-fast"));
    const LGuiColor picked = picker.GetSolidBox().GetColor();
    EXPECT_FALSE(picked == white) << "no colour was picked";
    VTProjectTemplate* design = w->projectViewer.GetCurrentTemplate();
    ASSERT_NE(design, nullptr);
    ASSERT_NE(design->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(design->backgroundBrush->kind, uint32_t(LBrushInfoKindSolid))
        << "the design's background is a solid colour";
    EXPECT_EQ(Focus(window), solid) << "the keyboard comes back to the well";

    w->projectViewer.AddOverlayText("Färg");
    uitest::PumpUntilIdle();
    auto* text = dynamic_cast<VTOverlayText*>(w->projectViewer.canvas.GetSingleSelectedItem());
    ASSERT_NE(text, nullptr);
    VTControlColourPicker& textColour = w->projectViewer.textPanel->textColour;
    GtkWidget* swatch = WidgetOf(textColour.GetSwatch().GetHostView());
    Key(window, "ctrl+Tab");
    ASSERT_TRUE(TabTo(window, swatch, 80));
    Picture(window, "textfarg-focused");
    const LPFB8G8R8A8 before = text->GetTextColour();
    ASSERT_TRUE(PickColourByKeys(window, "Return", "chooser-textfarg"));
    uitest::PumpUntilIdle();
    const LPFB8G8R8A8 after = text->GetTextColour();
    EXPECT_TRUE(after.r != before.r || after.g != before.g || after.b != before.b)
        << "the text kept its colour";
}

// The tabbed toolbar as a toolbar: one stop of Tab, Left and Right along its tabs (choosing
// them), Down to the buttons and along them, Space and Return pressing them: "Infogatext" adds a
// text, "ZOR-Paket" opens the program suite.
TEST_F(KeyboardReach, ToolbarTabsAndButtons)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    LTabbedToolBar& toolbar = w->GetTabbedToolBar();
    ASSERT_TRUE(TabTo(window, ToolbarWidget(), 60));
    ASSERT_EQ(toolbar.GetSelectedTab(), 1);
    Key(window, "Right");
    EXPECT_EQ(toolbar.GetSelectedTab(), 2) << "Right chooses \"Redigera\"";
    Key(window, "Right");
    EXPECT_EQ(toolbar.GetSelectedTab(), 3) << "Right chooses \"Paket\"";
    Picture(window, "toolbar-paket");
    Key(window, "Home");
    EXPECT_EQ(toolbar.GetSelectedTab(), 1);

    // Down to the buttons, along them to "Infogatext" (after "Ny", "Öppna" and "Spara"), which
    // Space presses: a text is added.
    Key(window, "Down");
    for (int i = 0; i < 3; ++i)
        Key(window, "Right");
    Picture(window, "toolbar-infogatext");
    VTProjectTemplate* design = w->projectViewer.GetCurrentTemplate();
    const size_t overlays = design->GetCount();
    Key(window, "space");
    uitest::PumpUntil([&] { return design->GetCount() == overlays + 1; });
    EXPECT_EQ(design->GetCount(), overlays + 1) << "Space pressed no \"Infogatext\"";

    // Back to the toolbar (out of the text box of the new text), to its last button:
    // "ZOR-Paket", where Return opens the program suite.
    Key(window, "ctrl+Tab");
    ASSERT_TRUE(TabTo(window, ToolbarWidget(), 80));
    Key(window, "Down");
    Key(window, "End");
    Picture(window, "toolbar-zor-paket");
    // (On a screen too small for it, it would be in the overflow menu instead.)
    LTabbedToolBarTabInternal& home = toolbar.GetPrivate()->Tab(1);
    bool shown = false;
    for (int i = 0; i < home.itemCount; ++i)
        shown = shown || (std::string(home.items[i].label) == "ZOR-Paket" && home.items[i].drawn);
    ASSERT_TRUE(shown) << "\"ZOR-Paket\" is not on the screen";
    bool suite = false;
    uitest::When([] { return LZORSuiteGetOpenDialog() != nullptr; },
        [&] {
            suite = true;
            if (LZORSuiteDialog* d = LZORSuiteGetOpenDialog())
                d->PostCommand(kLCmdCancel);
        });
    LastKey(window, "Return");
    uitest::PumpUntil([&] { return suite && !LZORSuiteGetOpenDialog(); }, 20000);
    EXPECT_TRUE(suite) << "Return on \"ZOR-Paket\" opened no program suite";
}

// With the keyboard in the background's panel, a picture added by keys (the menu, "Välj bilder")
// hides that panel: the keyboard is then on a control that shows its focus, as it shows once Tab
// has gone away and come back.
TEST_F(KeyboardReach, PictureAddedByKeysShowsTheFocus)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    GtkWidget* solid = WidgetOf(w->projectViewer.templatePanel->picker.GetSolidBox().GetHostView());
    ASSERT_TRUE(TabTo(window, solid, 60));
    VTProjectTemplate* design = w->projectViewer.GetCurrentTemplate();
    const size_t overlays = design->GetCount();
    const std::string file = std::string(VT_TEST_DATA) + "/images/base.png";
    bool shown = false;
    uitest::When(
        [] {
            auto* panel = static_cast<GtkWidget*>(LUiCurrentPanel());
            return panel && GTK_IS_FILE_CHOOSER(panel) && gtk_widget_get_mapped(panel);
        },
        [&] {
            auto* chooser = static_cast<GtkWidget*>(LUiCurrentPanel());
            if (!chooser)
                return;
            shown = true;
            uitest::PumpUntilDrawn(chooser);
            const std::string xid = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(chooser)));
            uitest::Run(
                "xdotool windowfocus --sync " + xid + " key ctrl+l type --delay 5 '" + file + "'");
            // "Öppna" answers once the chooser has looked the name up.
            GtkWidget* open
                = gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
            uitest::PumpUntil([&] { return open && gtk_widget_is_sensitive(open); });
            uitest::PumpUntilDrawn(chooser);
            uitest::SaveWidgetScreenshot(
                chooser, uitest::ArtefactPath("keyboard-reach", "valj-bilder"));
            uitest::Run("xdotool windowfocus --sync " + xid + " key Return");
            // Never left open should the keys not choose.
            uitest::After(10000, [] {
                if (auto* left = static_cast<GtkWidget*>(LUiCurrentPanel());
                    left && GTK_IS_DIALOG(left))
                    gtk_dialog_response(GTK_DIALOG(left), GTK_RESPONSE_CANCEL);
            });
        });
    // "Overlay" > "Lägg till bilder..." from the menu bar, by keys.
    LastKey(window, "--delay 150 F10 Right Right Right Down Down Return");
    uitest::PumpUntil([&] { return shown && design->GetCount() == overlays + 1; }, 20000);
    ASSERT_EQ(design->GetCount(), overlays + 1) << "no picture was added";
    uitest::PumpUntil([&] { return gtk_window_is_active(window->Gtk()); });
    uitest::PumpUntilIdle();
    uitest::PumpUntilDrawn(window);
    Stop stop;
    ASSERT_TRUE(StopOf(window, stop)) << "nothing has the focus after the picture was added";
    ExpectFocusShownAtOnce(window, stop, "picture-added");
}

// The layout editor: Tab goes through its toolbar's buttons, the page tabs and the page besides
// the panels and the dialog's buttons; the toolbar's buttons go by arrows and press with Return
// and Space, the page tabs switch by arrows and close by their close box, and Space chooses the
// label positions of the page, which the arrows then move.
TEST_F(KeyboardReach, LayoutEditor)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    // A second disc on the first page, to choose between.
    VTLabelLayout& edited = *project->GetLabelLayout();
    edited.pages.GetHead()->AddTemplate(VTTemplateFormatDisc, edited.NewTemplateID());
    WithEditor(project, [&](VTLabelLayoutEditorDialog& editor) {
        LNativeWindow* window = editor.GetNativeWindow();
        VTLabelLayout& layout = editor.Layout();
        LCocoaToolbarImpl* native = editor.GetNativeToolbar();
        ASSERT_NE(native, nullptr);
        auto buttonOf = [&](int command) {
            LCocoaToolbarItemImpl* item = native->itemWithCommand(command);
            return item ? WidgetOf(item->button()) : nullptr;
        };
        GtkWidget* newButton = buttonOf(VTLabelLayoutEditorDialog::kCmdNew);
        GtkWidget* addPage = buttonOf(VTLabelLayoutEditorDialog::kCmdAddPage);
        GtkWidget* tabs = WidgetOf(editor.TabBar().GetHostView());
        GtkWidget* page = WidgetOf(editor.Viewer().GetHostView());
        ASSERT_TRUE(newButton && addPage && tabs && page);

        // The cycle, from the first button of the toolbar.
        ASSERT_TRUE(TabTo(window, newButton, 60)) << "Tab never came to \"Ny\"";
        const std::vector<Stop> forward = Walk(window, "Tab", true, 60);
        KeepCycle("editor-cycle", Describe(forward));
        SCOPED_TRACE("forward:\n" + Describe(forward));
        for (GtkWidget* stop : { newButton, tabs, page }) {
            const Stop* s = Found(forward, stop);
            ASSERT_NE(s, nullptr) << G_OBJECT_TYPE_NAME(stop) << " is no stop of Tab";
            EXPECT_NE(s->focused, s->unfocused) << s->name << " shows no focus";
        }
        // Within the toolbar the arrows go from button to button: Right from "Ny" four times
        // (past "Brevpapper", "Importera", "Exportera") is "Lägg till sida"; Return and Space
        // press it, the keyboard staying on it.
        ASSERT_TRUE(TabTo(window, newButton, 60));
        for (int i = 0; i < 4; ++i)
            Key(window, "Right");
        ASSERT_EQ(Focus(window), addPage) << "the arrows did not go along the toolbar";
        Picture(window, "editor-lagg-till-sida");
        const size_t pages = layout.pages.GetCount();
        Key(window, "Return");
        EXPECT_EQ(layout.pages.GetCount(), pages + 1) << "Return pressed \"Lägg till sida\"";
        Key(window, "space");
        EXPECT_EQ(layout.pages.GetCount(), pages + 2) << "Space pressed \"Lägg till sida\"";
        EXPECT_EQ(Focus(window), addPage);
        EXPECT_TRUE(editor.IsOpen()) << "Return applied the layout instead";

        // The page tabs: the newest page is chosen. The keys go along the tabs and their close
        // boxes, choosing the tab of each: Left from the last tab is the close box of the one
        // before, Left again that tab; Home the first tab, End the last close box, where Return
        // closes that (empty) page.
        ASSERT_TRUE(TabTo(window, tabs, 60));
        LTabBar& bar = editor.TabBar();
        const unsigned last = unsigned(pages + 1);
        EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(last));
        Key(window, "Left");
        EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(last - 1));
        Key(window, "Left");
        EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(last - 1));
        EXPECT_EQ(editor.Viewer().GetCollection(), editor.CurrentPage());
        Key(window, "Home");
        EXPECT_EQ(editor.CurrentPage(), layout.pages.GetHead());
        Key(window, "End");
        EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(last));
        Picture(window, "editor-close-box");
        Key(window, "Return");
        EXPECT_EQ(layout.pages.GetCount(), pages + 1) << "Return on the close box closed no page";
        EXPECT_TRUE(editor.IsOpen());
        EXPECT_EQ(Focus(window), tabs);

        // Ctrl+Page_Down and Ctrl+Page_Up from the page: round to the first page.
        ASSERT_TRUE(TabTo(window, page, 60));
        Key(window, "ctrl+Page_Down");
        EXPECT_EQ(editor.CurrentPage(), layout.pages.GetHead()) << "round to the first page";
        Key(window, "ctrl+Page_Up");
        EXPECT_NE(editor.CurrentPage(), layout.pages.GetHead());
        Key(window, "ctrl+Page_Down");
        EXPECT_EQ(editor.CurrentPage(), layout.pages.GetHead());
        EXPECT_EQ(Focus(window), page);

        // The first page holds two positions: Space chooses the first, Space again the
        // next; the arrows move the one chosen.
        VTLabelLayoutPageViewer& viewer = editor.Viewer();
        ASSERT_NE(viewer.GetCollection(), nullptr);
        ASSERT_NE(viewer.GetCollection()->first, nullptr);
        Key(window, "space");
        VTLabelLayoutTemplate* chosen = viewer.GetSingleSelectedItem();
        ASSERT_NE(chosen, nullptr) << "Space chose no position";
        EXPECT_EQ(chosen, viewer.GetCollection()->first);
        Key(window, "space");
        EXPECT_NE(viewer.GetSingleSelectedItem(), chosen) << "Space again chose the next";
        chosen = viewer.GetSingleSelectedItem();
        ASSERT_NE(chosen, nullptr);
        const float x = chosen->centreX;
        Key(window, "Right");
        EXPECT_GT(chosen->centreX, x);
        Picture(window, "editor-position-chosen");
    });
}

// The print preview's page is a stop of Tab showing its focus, where Space chooses the next label
// position: of two discs on the page the second is chosen by keys and placed by the alignment
// pad ("Justera till nedre högra", pressed by Space); the first stays where it was.
TEST_F(KeyboardReach, PrintPreviewPageChoosesByKeys)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    VTLabelLayout& layout = *project->GetLabelLayout();
    VTLabelLayoutPage* page = layout.pages.GetHead();
    page->AddTemplate(VTTemplateFormatDisc, layout.NewTemplateID());
    VTLabelLayoutTemplate* const first = page->first;
    ASSERT_TRUE(first && first->next);
    VTLabelLayoutTemplate* const second = first->next;
    const float firstX = first->centreX, firstY = first->centreY;
    bool done = false;
    uitest::When([] { return KeyWindowTitled("Förhandsgranska"); },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            auto* preview = dynamic_cast<VTPrintPreviewDialog*>(
                LCocoaWindow::GetThisProperty(window->ContentView()));
            done = true;
            if (!preview) {
                ADD_FAILURE() << "no preview";
                return LastKey(window, "Escape");
            }
            uitest::PumpUntilDrawn(window);
            VTPrintPreviewViewer& viewer = preview->Viewer();
            GtkWidget* sheet = WidgetOf(viewer.GetHostView());
            EXPECT_TRUE(TabTo(window, sheet, 30)) << "Tab never came to the page";
            uitest::PumpUntilDrawn(window);
            Stop stop;
            StopOf(window, stop);
            stop.focused = Pixels(window, stop);
            Picture(window, "preview-page-focused");
            Key(window, "Tab");
            uitest::PumpUntilDrawn(window);
            stop.unfocused = Pixels(window, stop);
            EXPECT_NE(stop.focused, stop.unfocused) << "the page shows no focus";
            Key(window, "shift+Tab");
            EXPECT_EQ(Focus(window), sheet) << "Shift+Tab does not come back to the page";
            Key(window, "space");
            EXPECT_EQ(viewer.GetSingleSelectedItem(), first) << "Space chose not the first";
            Key(window, "space");
            EXPECT_EQ(viewer.GetSingleSelectedItem(), second) << "Space again chose not the next";
            Picture(window, "preview-second-chosen");
            const float x = second->centreX, y = second->centreY;
            VTControlAlignment& pad = preview->PanelTemplate()->Alignment();
            GtkWidget* bottomRight = WidgetOf(pad.GetControlHandle(1008));
            EXPECT_TRUE(TabRoundTo(window, bottomRight, 40)) << "Tab never came to the pad";
            Key(window, "space");
            EXPECT_TRUE(second->centreX != x || second->centreY != y)
                << "the pad did not place the second disc";
            EXPECT_FLOAT_EQ(first->centreX, firstX);
            EXPECT_FLOAT_EQ(first->centreY, firstY);
            Picture(window, "preview-second-placed");
            LastKey(window, "Escape");
        });
    VTPrintPreviewDialogOpen(nullptr, *project, page, nullptr);
    uitest::PumpUntil([&] { return done; }, 30000);
    EXPECT_TRUE(done) << "the preview did not show";
}

// "Välj mallar": the preview's page tabs are a stop of Tab and switch the page shown by arrows.
TEST_F(KeyboardReach, StationeryPreviewTabs)
{
    VTStationerySelectDialog dialog;
    bool done = false;
    uitest::When(
        [&] {
            LNativeWindow* n = dialog.GetNativeWindow();
            return n && n->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(n->Gtk()));
        },
        [&] {
            LNativeWindow* window = dialog.GetNativeWindow();
            // A stationery of more than one page.
            int row = -1;
            for (int i = 0; i < 500 && row < 0; ++i) {
                auto* l = reinterpret_cast<VTLabelLayout*>(
                    dialog.LVGetItemData(VTStationerySelectDialog::kList, i));
                if (!l)
                    break;
                if (l->pages.GetCount() > 1)
                    row = i;
            }
            EXPECT_GE(row, 0);
            if (row >= 0) {
                dialog.LVSetCurSel(VTStationerySelectDialog::kList, row);
                dialog.LabelLayoutChanged();
                uitest::PumpUntilDrawn(window);
                LTabBar& bar = dialog.TabBar();
                GtkWidget* tabs = WidgetOf(bar.GetHostView());
                EXPECT_TRUE(TabTo(window, tabs, 20)) << "Tab never came to the page tabs";
                EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(0));
                Key(window, "Right");
                EXPECT_EQ(bar.GetSelectedTab(), bar.GetTabAtIndex(1));
                EXPECT_EQ(reinterpret_cast<unsigned long>(dialog.Viewer().GetCollection()),
                    bar.GetTabAtIndex(1)->dataTag)
                    << "the preview shows the page chosen";
                Picture(window, "stationery-second-page");
            }
            done = true;
            LastKey(window, "Escape");
        });
    dialog.Open(nullptr, "StationerySelectDialog", 150, 40, 100, 25, 0, 0);
    uitest::PumpUntil([&] { return done; }, 30000);
    EXPECT_TRUE(done);
}

// "Välj etikettlayout" shows the focus of its first button as it opens, before any key, and so
// does "Välj mallar", opened from it by keys, of its list.
TEST_F(KeyboardReach, SelectLayoutShowsItsFirstFocus)
{
    VTLabelLayoutSelectDialog select;
    bool done = false;
    uitest::When(
        [&] {
            LNativeWindow* n = select.GetNativeWindow();
            return n && n->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(n->Gtk()));
        },
        [&] {
            LNativeWindow* window = select.GetNativeWindow();
            uitest::PumpUntilDrawn(window);
            Stop first;
            const bool focused = StopOf(window, first);
            EXPECT_TRUE(focused) << "nothing has the focus as the window opens";
            GtkWidget* cd = WidgetOf(select.GetControlHandle(VTLabelLayoutSelectDialog::kCD));
            EXPECT_TRUE(first.widget && cd
                && (first.widget == cd || gtk_widget_is_ancestor(first.widget, cd)))
                << "the first button has not the focus";
            if (focused) {
                first.focused = Pixels(window, first);
                Picture(window, "select-layout-opened");
                Key(window, "Tab");
                uitest::PumpUntilDrawn(window);
                first.unfocused = Pixels(window, first);
                EXPECT_NE(first.focused, first.unfocused)
                    << first.name << " showed no focus as the window opened";
            }
            // "Välj mallar..." pressed by Space opens its dialog showing the focus of its list
            // at once: as it shows once Tab has gone away from the list and come back.
            GtkWidget* stationery
                = WidgetOf(select.GetControlHandle(VTLabelLayoutSelectDialog::kStationery));
            EXPECT_TRUE(TabRoundTo(window, stationery, 20));
            bool listSeen = false;
            uitest::When([] { return KeyWindowTitled("Välj mallar"); },
                [&] {
                    LNativeWindow* inner = LNativeWindow::KeyWindow();
                    uitest::PumpUntilDrawn(inner);
                    Stop list;
                    if (StopOf(inner, list))
                        ExpectFocusShownAtOnce(inner, list, "stationery-opened");
                    EXPECT_TRUE(list.widget && GTK_IS_TREE_VIEW(list.widget))
                        << "the list has not the focus";
                    listSeen = true;
                    LastKey(inner, "Escape");
                });
            LastKey(window, "space");
            uitest::PumpUntil([&] { return listSeen; }, 20000);
            EXPECT_TRUE(listSeen) << "\"Välj mallar\" did not open";
            done = true;
            select.PostCommand(kLCmdCancel);
        });
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true,
        [](LDialog&, int, int, bool) {} };
    select.Open(nullptr, data);
    uitest::PumpUntil([&] { return done; }, 30000);
    EXPECT_TRUE(done);
}

// The print preview's "Skriv ut" pressed by Return opens GTK's print panel; cancelled there with
// Escape, the preview shows where its keyboard is at once, as it shows once Tab has gone away and
// come back.
TEST_F(KeyboardReach, FocusShownAfterThePrintPanelIsCancelled)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
    bool done = false, panel = false;
    uitest::When([] { return KeyWindowTitled("Förhandsgranska"); },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            uitest::PumpUntilDrawn(window);
            uitest::When([] { return PrintPanel() && gtk_widget_get_mapped(PrintPanel()); },
                [&] {
                    GtkWidget* print = PrintPanel();
                    if (!print)
                        return;
                    panel = true;
                    uitest::PumpUntilDrawn(print);
                    const std::string xid
                        = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(print)));
                    uitest::Run("xdotool windowfocus --sync " + xid + " key Escape");
                });
            LastKey(window, "Return");
            uitest::PumpUntil([&] { return panel && !PrintPanel(); }, 20000);
            uitest::PumpUntil([&] { return gtk_window_is_active(window->Gtk()); });
            uitest::PumpUntilIdle();
            uitest::PumpUntilDrawn(window);
            Stop stop;
            if (StopOf(window, stop))
                ExpectFocusShownAtOnce(window, stop, "preview-print-cancelled");
            else
                ADD_FAILURE() << "nothing has the focus after the print panel";
            done = true;
            LastKey(window, "Escape");
        });
    VTPrintPreviewDialogOpen(nullptr, *project, page, nullptr);
    EXPECT_TRUE(done) << "the preview did not show";
    EXPECT_TRUE(panel) << "Return opened no print panel";
}

// A project made by keys in "Välj etikettlayout" (Return on its first button, the CD): the main
// window shows where its keyboard is at once.
TEST_F(KeyboardReach, FocusShownAfterSelectLayoutMakesAProject)
{
    w = std::make_unique<MainDialog>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(Window()));
    bool chosen = false;
    uitest::When([] { return KeyWindowTitled("Välj etikettlayout"); },
        [&] {
            LNativeWindow* select = LNativeWindow::KeyWindow();
            uitest::PumpUntilDrawn(select);
            chosen = true;
            LastKey(select, "Return");
        });
    ASSERT_TRUE(w->CmNewDocument(nullptr)) << "no project was made";
    EXPECT_TRUE(chosen);
    LNativeWindow* window = Window();
    uitest::PumpUntil([&] { return gtk_window_is_active(window->Gtk()); });
    uitest::PumpUntilIdle();
    uitest::PumpUntilDrawn(window);
    Stop stop;
    ASSERT_TRUE(StopOf(window, stop)) << "nothing has the focus after the project was made";
    ExpectFocusShownAtOnce(window, stop, "project-made");
}
