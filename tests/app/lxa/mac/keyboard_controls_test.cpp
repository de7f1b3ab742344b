// Controls of the main window and the layout editor worked with the real keys (xdotool) alone:
// the title bars of the side panels open them with Space and Return, so that Tab reaches the
// controls of a panel that starts collapsed; the gradient's direction square and stops bar are
// stops of Tab whose arrows turn the direction and move the chosen stop, saved in the design;
// Return on a focused push button presses that button, not the window's default one; the first
// Return in the layout editor applies it instead of pressing its toolbar's "Ny", a question that
// throws work away opens with the keyboard on the answer that keeps it, and Return on the welcome
// dialog's check box chooses the default. Judged by the screen's pixels and the project; the
// cycles are kept as text and the windows as pictures under
// <build>/test-artefacts/keyboard-controls.
// VT_WINDOW_MANAGER: runs a second time under openbox.
#include "app/VTOverlayText.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTSmallDialogs.h"
#include "app/lxa/mac/KeyboardTestSupport.h"
#include "lfw/gui/LCommandLinkButton.h"
#include "platform/ui/LUiAlert.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>
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

constexpr const char* kFolder = "keyboard-controls";

// Whether the focus is on the widget or inside it.
bool FocusOn(LNativeWindow* window, GtkWidget* widget)
{
    GtkWidget* focus = Focus(window);
    return widget && focus && (focus == widget || gtk_widget_is_ancestor(focus, widget));
}

// Presses Tab until the focus is on the widget or inside it (at most stops times).
bool TabInto(LNativeWindow* window, GtkWidget* widget, size_t stops)
{
    for (size_t i = 0; i < stops && !FocusOn(window, widget); ++i)
        Key(window, "Tab");
    return FocusOn(window, widget);
}

// The stop of the walk whose name holds the text (a button's or check box's label).
const Stop* Named(const std::vector<Stop>& stops, const std::string& text)
{
    for (const Stop& s : stops)
        if (s.name.find(text) != std::string::npos)
            return &s;
    return nullptr;
}

void KeepCycle(const std::string& name, const std::string& text)
{
    const std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts/" + kFolder;
    uitest::Run("mkdir -p '" + dir + "'");
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    std::ofstream(dir + "/" + name + (wm && std::string(wm) == "1" ? "-wm" : "") + ".txt") << text;
}

void Picture(LNativeWindow* window, const std::string& name)
{
    uitest::PumpUntilDrawn(window);
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    KeepPicture(window, name + (wm && std::string(wm) == "1" ? "-wm" : ""), kFolder);
}

// The pixels of a widget's box in the window as drawn now.
std::vector<uint32_t> PixelsOf(LNativeWindow* window, GtkWidget* widget)
{
    Stop box;
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, GTK_WIDGET(window->Gtk()), 0, 0, &x, &y);
    box.x = x;
    box.y = y;
    box.w = gtk_widget_get_allocated_width(widget);
    box.h = gtk_widget_get_allocated_height(widget);
    uitest::PumpUntilDrawn(window);
    return Pixels(window, box);
}

class KeyboardControls : public MainWindowByKeys {
protected:
    // The main window's Tab cycle from the toolbar, kept under the name.
    std::vector<Stop> Cycle(const std::string& name)
    {
        TabTo(Window(), ToolbarWidget(), 80);
        std::vector<Stop> stops = Walk(Window(), "Tab", true, 80);
        KeepCycle(name, Describe(stops));
        return stops;
    }
};

} // namespace

// The collapsed panel "Egenskaper för etikettlayout": its title bar is a stop of Tab that shows
// its focus; Space opens the panel (the other closes, as with a click), Tab then reaches
// "Använda samma design för samma malltyper", and Return on the other panel's title bar opens
// that one again.
TEST_F(KeyboardControls, PanelTitleBarsOpenByKeys)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    VTProjectViewer& viewer = w->projectViewer;
    LEmbeddedWindowTitled* layoutPanel = viewer.labelLayoutPanel;
    LEmbeddedWindowTitled* designPanel = viewer.templatePanel;
    ASSERT_TRUE(layoutPanel && designPanel);
    ASSERT_TRUE(layoutPanel->bCollapsed);
    ASSERT_FALSE(designPanel->bCollapsed);
    GtkWidget* layoutBar = WidgetOf(layoutPanel->fTitleBar.GetPaintView());
    GtkWidget* designBar = WidgetOf(designPanel->fTitleBar.GetPaintView());
    ASSERT_TRUE(layoutBar && designBar);
    const char* same = "Använda samma design för samma malltyper";

    const std::vector<Stop> collapsed = Cycle("main-window-cycle-collapsed");
    SCOPED_TRACE("collapsed:\n" + Describe(collapsed));
    const Stop* bar = Found(collapsed, layoutBar);
    ASSERT_NE(bar, nullptr) << "the collapsed panel's title bar is no stop of Tab";
    EXPECT_NE(bar->focused, bar->unfocused) << "the title bar shows no focus";
    EXPECT_EQ(Named(collapsed, same), nullptr) << "a control of the collapsed panel is a stop";
    EXPECT_EQ(Found(collapsed, designBar), nullptr) << "the open panel's bar does nothing";

    ASSERT_TRUE(TabTo(window, layoutBar, 80));
    Picture(window, "layout-panel-bar-focused");
    const std::vector<uint32_t> shut = PixelsOf(window, WidgetOf(viewer.panels.GetContentView()));
    Key(window, "space");
    uitest::PumpUntilIdle();
    EXPECT_FALSE(layoutPanel->bCollapsed) << "Space opened no panel";
    EXPECT_TRUE(designPanel->bCollapsed);
    EXPECT_EQ(Focus(window), layoutBar) << "the keyboard stays on the title bar";
    EXPECT_NE(PixelsOf(window, WidgetOf(viewer.panels.GetContentView())), shut)
        << "the panels look the same";
    Picture(window, "layout-panel-opened");

    const std::vector<Stop> open = Cycle("main-window-cycle-layout-open");
    SCOPED_TRACE("open:\n" + Describe(open));
    const Stop* check = Named(open, same);
    ASSERT_NE(check, nullptr) << "Tab does not reach \"" << same << "\"";
    EXPECT_NE(check->focused, check->unfocused);
    EXPECT_NE(Found(open, designBar), nullptr) << "the closed panel's bar is a stop";

    ASSERT_TRUE(TabTo(window, designBar, 80));
    Key(window, "Return");
    uitest::PumpUntilIdle();
    EXPECT_FALSE(designPanel->bCollapsed) << "Return opened no panel";
    EXPECT_TRUE(layoutPanel->bCollapsed);
    EXPECT_EQ(Focus(window), designBar);
    Picture(window, "design-panel-opened-again");
}

// In the opened panel "Egenskaper för etikettlayout" the page preview is a stop that shows its
// focus, where Space picks the next disc of a page of two (and the canvas shows its design), as
// the right button does: the panel closes then, as after a click, and the keyboard stays on its
// title bar, from where it opens again.
TEST_F(KeyboardControls, LayoutPreviewPicksByKeys)
{
    OpenMainWindow(new VTLabelLayoutDataAveryL7660);
    LNativeWindow* window = Window();
    VTProjectViewer& viewer = w->projectViewer;
    VTProjectViewerPanelLabelLayout* panel = viewer.labelLayoutPanel;
    ASSERT_NE(panel, nullptr);
    GtkWidget* bar = WidgetOf(panel->fTitleBar.GetPaintView());
    GtkWidget* preview = WidgetOf(panel->selector.GetViewer().GetPaintView());
    ASSERT_TRUE(bar && preview);
    ASSERT_TRUE(TabTo(window, bar, 80));
    Key(window, "space");
    ASSERT_FALSE(panel->bCollapsed);
    const std::vector<Stop> open = Cycle("main-window-cycle-two-discs-layout-open");
    SCOPED_TRACE("open:\n" + Describe(open));
    const Stop* s = Found(open, preview);
    ASSERT_NE(s, nullptr) << "the preview is no stop of Tab";
    EXPECT_NE(s->focused, s->unfocused) << "the preview shows no focus";

    ASSERT_TRUE(TabTo(window, preview, 80));
    VTProjectTemplate* first = viewer.GetCurrentTemplate();
    const std::vector<uint32_t> before = PixelsOf(window, preview);
    Key(window, "space");
    uitest::PumpUntilIdle();
    VTProjectTemplate* second = viewer.GetCurrentTemplate();
    EXPECT_NE(second, first) << "Space picked no other disc";
    EXPECT_EQ(Focus(window), bar) << "the keyboard is not on the closed panel's title bar";
    Picture(window, "preview-second-disc");
    Key(window, "space");
    ASSERT_FALSE(panel->bCollapsed);
    ASSERT_TRUE(TabTo(window, preview, 80));
    EXPECT_NE(PixelsOf(window, preview), before) << "the preview shows the same disc picked";
    Picture(window, "preview-second-disc-shown");
    Key(window, "space");
    uitest::PumpUntilIdle();
    EXPECT_EQ(viewer.GetCurrentTemplate(), first) << "round from the last to the first";
}

// With "Lutning:" chosen, the direction square and the stops bar are stops that show their focus:
// Right turns the arrow by an eighth (to the diagonal), Space on the bar chooses the next stop
// (the white one at the end, which the stop's colour well then shows) and Up moves it, all of it
// in the design's background.
TEST_F(KeyboardControls, GradientByKeys)
{
    OpenMainWindow();
    LNativeWindow* window = Window();
    VTWindowFullColorPicker& picker = w->projectViewer.templatePanel->picker;
    GtkWidget* solid = WidgetOf(picker.GetControlHandle(VTWindowFullColorPicker::kIdSolid));
    GtkWidget* direction = WidgetOf(picker.GetDirectionControl().GetPaintView());
    GtkWidget* bar = WidgetOf(picker.GetStopControl().GetPaintView());
    GtkWidget* stopWell = WidgetOf(picker.GetStopBox().GetHostView());
    ASSERT_TRUE(solid && direction && bar && stopWell);
    // The radio buttons are one stop, at the one chosen ("Fast:"); Down chooses "Lutning:".
    ASSERT_TRUE(TabInto(window, solid, 80)) << "Tab never came to \"Fast:\"";
    Key(window, "Down");
    uitest::PumpUntilIdle();
    VTProjectTemplate* design = w->projectViewer.GetCurrentTemplate();
    ASSERT_TRUE(design && design->backgroundBrush.Get());
    const LBrushInfo& brush = *design->backgroundBrush;
    ASSERT_EQ(brush.kind, uint32_t(LBrushInfoKindLinearGradient));

    const std::vector<Stop> cycle = Cycle("main-window-cycle-gradient");
    SCOPED_TRACE("gradient:\n" + Describe(cycle));
    for (GtkWidget* stop : { direction, bar }) {
        const Stop* s = Found(cycle, stop);
        ASSERT_NE(s, nullptr) << (stop == bar ? "\"Stannar\"" : "\"Riktning\"") << " is no stop";
        EXPECT_NE(s->focused, s->unfocused) << s->name << " shows no focus";
        EXPECT_NE(Found(Walk(window, "shift+Tab", false, 80), stop), nullptr)
            << "Shift+Tab does not come to " << s->name;
    }

    // From left to right, turned clockwise to the diagonal down; back twice, to the one up.
    ASSERT_TRUE(TabTo(window, direction, 80));
    const std::vector<uint32_t> across = PixelsOf(window, direction);
    Key(window, "Right");
    const LBrushInfo& turned = *design->backgroundBrush;
    EXPECT_EQ(turned.geometry[0], -1.0f);
    EXPECT_EQ(turned.geometry[1], -1.0f);
    EXPECT_EQ(turned.geometry[2], 1.0f);
    EXPECT_EQ(turned.geometry[3], 1.0f);
    EXPECT_NE(PixelsOf(window, direction), across) << "the arrow looks the same";
    Picture(window, "gradient-direction-turned");
    Key(window, "Left");
    Key(window, "Left");
    const LBrushInfo& back = *design->backgroundBrush;
    EXPECT_EQ(back.geometry[1], 1.0f);
    EXPECT_EQ(back.geometry[3], -1.0f);

    // The black stop at the top is chosen; Space chooses the white one at the end.
    ASSERT_TRUE(TabTo(window, bar, 80));
    const std::vector<uint32_t> black = PixelsOf(window, stopWell);
    Key(window, "space");
    ASSERT_NE(picker.GetStopControl().GetSelectedStop(), nullptr);
    EXPECT_EQ(picker.GetStopControl().GetSelectedStop()->position, 1.0f);
    EXPECT_NE(PixelsOf(window, stopWell), black) << "the stop's well shows the same colour";
    for (int i = 0; i < 5; ++i)
        Key(window, "Up");
    const LBrushInfo& moved = *design->backgroundBrush;
    ASSERT_EQ(moved.stopCount, 2u);
    EXPECT_NEAR(moved.stopPositions[1], 0.95f, 1e-4f) << "Up did not move the chosen stop";
    EXPECT_EQ(moved.stopPositions[0], 0.0f);
    Picture(window, "gradient-stop-moved");
}

namespace {

// Tabs round the window to the button with the label; whether it has the focus.
bool TabToButton(LNativeWindow* window, const std::string& label)
{
    for (int i = 0; i < 60 && NameOf(Focus(window)).find(label) == std::string::npos; ++i)
        Key(window, "Tab");
    return NameOf(Focus(window)).find(label) != std::string::npos;
}

// A GTK dialog other than the window (by pointer only: it may have gone) that shows, or null.
GtkWidget* OtherDialog(GtkWindow* own)
{
    GList* all = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = all; l && !found; l = l->next)
        if (GTK_IS_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))
            && GTK_WINDOW(l->data) != own)
            found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

// Presses the key in the window and answers whether the window titled title then showed (it is
// closed with Escape). A GTK dialog that shows instead (the print dialog) is cancelled.
bool KeyOpens(LNativeWindow* window, const char* key, const std::string& title)
{
    // Shared with the waits, which may outlive this call.
    auto shown = std::make_shared<bool>(false);
    auto other = std::make_shared<bool>(false);
    const std::string picture = std::string("printable-area-by-") + key;
    uitest::When([title] { return KeyWindowTitled(title); },
        [title, shown, picture] {
            if (!KeyWindowTitled(title))
                return;
            *shown = true;
            LNativeWindow* dialog = LNativeWindow::KeyWindow();
            uitest::PumpUntilDrawn(dialog);
            KeepPicture(dialog, picture, kFolder);
            LastKey(dialog, "Escape");
        });
    GtkWindow* own = window->Gtk();
    uitest::When([own] { return OtherDialog(own) != nullptr; },
        [own, other] {
            if (GtkWidget* d = OtherDialog(own)) {
                *other = true;
                gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
            }
        });
    LastKey(window, key);
    uitest::PumpUntil([&] { return (*shown || *other) && !KeyWindowTitled(title); }, 20000);
    uitest::PumpUntil([&] { return LNativeWindow::KeyWindow() == window; }, 5000);
    return *shown;
}

} // namespace

// In the print preview, Return on the focused "Ändra skrivbara områden för skivor..." opens its
// own dialog, not GTK's print dialog (the default "Skriv ut").
TEST_F(KeyboardControls, ReturnPressesTheFocusedButtonOfThePreview)
{
    VTProject project(new VTLabelLayoutDataAveryL7660);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTPrintPreviewDialog dialog(project, page, page->first);
    bool done = false;
    uitest::When(
        [&] {
            LNativeWindow* n = dialog.GetNativeWindow();
            return n && n->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(n->Gtk()))
                && dialog.IsInitialised();
        },
        [&] {
            LNativeWindow* window = dialog.GetNativeWindow();
            uitest::PumpUntilDrawn(window);
            EXPECT_TRUE(TabToButton(window, "Ändra skrivbara områden för skivor..."));
            Picture(window, "preview-printable-area-focused");
            EXPECT_TRUE(KeyOpens(window, "Return", "Ändra utskrivbara områden för skivor"))
                << "Return did not open the button's dialog";
            EXPECT_FALSE(dialog.Printed()) << "Return pressed \"Skriv ut\"";
            done = true;
            dialog.PostCommand(kLCmdCancel);
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_TRUE(done);
    EXPECT_FALSE(dialog.Printed());
}

// In the layout editor, Return on the focused "Ändra skrivbara områden för skivor..." opens its
// own dialog, as Space does, and leaves the editor open; the default button ("OK") is not pressed.
TEST_F(KeyboardControls, ReturnPressesTheFocusedButton)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    WithEditor(project, [&](VTLabelLayoutEditorDialog& editor) {
        LNativeWindow* window = editor.GetNativeWindow();
        // A disc chosen on the page, by keys.
        GtkWidget* page = WidgetOf(editor.Viewer().GetHostView());
        ASSERT_TRUE(TabTo(window, page, 60));
        for (int i = 0; i < 8; ++i) {
            Key(window, "space");
            VTLabelLayoutTemplate* t = editor.Viewer().GetSingleSelectedItem();
            if (t && t->GetFormat() == VTTemplateFormatDisc)
                break;
        }
        VTLabelLayoutTemplate* disc = editor.Viewer().GetSingleSelectedItem();
        ASSERT_TRUE(disc && disc->GetFormat() == VTTemplateFormatDisc);
        ASSERT_TRUE(TabToButton(window, "Ändra skrivbara områden för skivor..."))
            << "Tab never came to it";
        Picture(window, "editor-printable-area-focused");
        for (const char* key : { "Return", "space" }) {
            EXPECT_TRUE(KeyOpens(window, key, "Ändra utskrivbara områden för skivor"))
                << key << " did not open the button's dialog";
            ASSERT_TRUE(editor.IsOpen()) << key << " pressed the default button";
        }
    });
}

namespace {

// Notes the next question, as "<headline>: <the button with its keyboard>", keeps its picture and
// answers it with Return, as the user's next key does. Clearing the flag answered stops the wait.
std::shared_ptr<bool> AnswerNextQuestionByReturn(
    const std::shared_ptr<std::vector<std::string>>& asked)
{
    auto armed = std::make_shared<bool>(true);
    auto shows = [armed] {
        auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
        return *armed && alert && gtk_widget_get_mapped(alert);
    };
    uitest::When(shows, [asked, shows, armed] {
        if (!shows())
            return;
        *armed = false;
        auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(alert));
        const char* label
            = focus && GTK_IS_BUTTON(focus) ? gtk_button_get_label(GTK_BUTTON(focus)) : nullptr;
        asked->push_back(LUiCurrentAlertHeadline() + ": " + (label ? label : "(none)"));
        uitest::PumpUntilDrawn(alert);
        uitest::SaveWidgetScreenshot(alert,
            uitest::ArtefactPath(kFolder, ("question-" + std::to_string(asked->size())).c_str()));
        const std::string xid = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(alert)));
        uitest::Run("xdotool windowfocus --sync " + xid + " key Return");
    });
    return armed;
}

size_t Templates(const VTLabelLayout& layout)
{
    size_t n = 0;
    for (VTLabelLayoutPage* p = layout.pages.GetHead(); p; p = p->GetNext())
        for (VTLabelLayoutTemplate* t = p->first; t; t = t->next)
            ++n;
    return n;
}

} // namespace

// "Redigera etikettlayout" on a project whose design holds an overlay opens with the keyboard on
// its default button "Tillämpa", not on its toolbar's "Ny": the first Return applies the layout
// as it is. "Ny", reached by keys and pressed with Return, asks whether the template with its
// overlay is to go with the keyboard on "Avbryt": the next Return keeps the layout.
TEST_F(KeyboardControls, FirstReturnKeepsTheLayout)
{
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    project->templates.GetFirst()->InsertOverlay(new VTOverlayText(), false);
    const size_t templates = Templates(*project->GetLabelLayout());
    ASSERT_GT(templates, 0u);
    auto asked = std::make_shared<std::vector<std::string>>();
    std::string first;
    bool appliedByReturn = false;
    WithEditor(project, [&](VTLabelLayoutEditorDialog& editor) {
        LNativeWindow* window = editor.GetNativeWindow();
        first = NameOf(Focus(window));
        Picture(window, "editor-opened");
        auto armed = AnswerNextQuestionByReturn(asked);
        LastKey(window, "Return");
        appliedByReturn = uitest::PumpUntil([&] { return !editor.IsOpen(); }, 5000);
        *armed = false;
    });
    EXPECT_TRUE(appliedByReturn) << "the first Return did not apply; the focus was on " << first;
    EXPECT_TRUE(asked->empty()) << "the first Return asked " << (*asked)[0];
    EXPECT_EQ(Templates(*project->GetLabelLayout()), templates) << "the layout was emptied";

    asked->clear();
    WithEditor(project, [&](VTLabelLayoutEditorDialog& editor) {
        LNativeWindow* window = editor.GetNativeWindow();
        LCocoaToolbarItemImpl* item
            = editor.GetNativeToolbar()->itemWithCommand(VTLabelLayoutEditorDialog::kCmdNew);
        ASSERT_TRUE(item && TabTo(window, WidgetOf(item->button()), 60)) << "Tab never came to Ny";
        AnswerNextQuestionByReturn(asked);
        LastKey(window, "Return");
        uitest::PumpUntil([&] { return !asked->empty() && !LUiCurrentAlertWidget(); }, 10000);
        ASSERT_FALSE(asked->empty()) << "\"Ny\" asked nothing";
        EXPECT_EQ((*asked)[0], "Ny etikettlayout: Avbryt");
        EXPECT_EQ(Templates(editor.Layout()), templates) << "Return emptied the layout";
        EXPECT_TRUE(editor.IsOpen());
    });
}

// Return on the welcome dialog's check box chooses the default ("Skapa ett nytt projekt"), as
// Return does from the check box of any dialog, and leaves the box as it was.
TEST_F(KeyboardControls, ReturnOnTheWelcomeCheckBoxChoosesTheDefault)
{
    LUserSettingSetString("Settings", "WelcomeDialogShow", "1");
    // The painted command links, as the program shows them (no default button in the window).
    LCommandLinkButtonInstallHooks();
    VTWelcomeDialog dialog(nullptr);
    bool reached = false, closedByReturn = false;
    uitest::When([] { return KeyWindowTitled("Välkommen till Vorantel"); },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            uitest::PumpUntilDrawn(window);
            reached = TabInto(window, WidgetOf(dialog.GetControlHandle(104)), 20);
            Picture(window, "welcome-check-box-focused");
            if (reached) {
                LastKey(window, "Return");
                closedByReturn = uitest::PumpUntil([&] { return !dialog.IsOpen(); }, 5000);
            }
            if (!closedByReturn) {
                Picture(window, "welcome-after-return");
                dialog.PostCommand(kLCmdCancel);
            }
        });
    const int chosen = dialog.Open();
    ASSERT_TRUE(reached) << "Tab never came to the check box";
    EXPECT_TRUE(closedByReturn) << "Return did not choose";
    EXPECT_EQ(chosen, kVTWelcomeNewProject);
    char shown[8] = "";
    _LUserSettingGetString("Settings", "WelcomeDialogShow", "", shown);
    EXPECT_STREQ(shown, "1") << "Return turned the box";
}
