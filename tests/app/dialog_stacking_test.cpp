// Dialogs opened from dialogs stand above the window they were opened from: each is transient
// for its opener already when it is first shown (GTK), the X server sees WM_TRANSIENT_FOR, and
// with a window manager the dialog is above its opener in _NET_CLIENT_LIST_STACKING, also after
// the opener was raised and the dialog clicked. Covers the label-layout editor ("Brevpapper"),
// the print preview (the printable-area dialog), the options sheet, the welcome dialog, the
// layout choice (its stationery), the clipart dialog, a progress window and alerts, among them
// the one that tells that a help page could not be opened.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the windows.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTProject.h"
#include "app/VTSmallDialogs.h"
#include "app/VTStationerySelectDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LClipartDialog.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LView.h"
#include "support/ControlTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

bool Managed()
{
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    return wm && std::strcmp(wm, "1") == 0;
}

// The transient parent each GTK window had when it was first mapped (shown). A window is
// forgotten when it goes: a later window may get its address, and its own first map counts.
class MapRecorder {
public:
    MapRecorder()
    {
        // The class is made first: its signals exist only then.
        g_type_class_unref(g_type_class_ref(GTK_TYPE_WIDGET));
        fSignal = g_signal_lookup("map", GTK_TYPE_WIDGET);
        fHook = g_signal_add_emission_hook(fSignal, 0, OnMap, this, nullptr);
    }
    ~MapRecorder()
    {
        g_signal_remove_emission_hook(fSignal, fHook);
        for (const auto& [window, parent] : fParents)
            g_object_weak_unref(G_OBJECT(window), Forget, this);
    }
    // The window's parent at its first map; null when it had none or was never mapped.
    GtkWindow* ParentAtMap(GtkWindow* window) const
    {
        auto it = fParents.find(window);
        return it == fParents.end() ? nullptr : it->second;
    }
    bool Mapped(GtkWindow* window) const { return fParents.count(window) != 0; }

private:
    static gboolean OnMap(GSignalInvocationHint*, guint n, const GValue* values, gpointer data)
    {
        auto* self = static_cast<MapRecorder*>(data);
        auto* object = n > 0 ? G_OBJECT(g_value_get_object(&values[0])) : nullptr;
        if (object && GTK_IS_WINDOW(object) && !self->fParents.count(GTK_WINDOW(object))) {
            self->fParents[GTK_WINDOW(object)] = gtk_window_get_transient_for(GTK_WINDOW(object));
            g_object_weak_ref(object, Forget, self);
        }
        return TRUE;
    }
    static void Forget(gpointer data, GObject* gone)
    {
        static_cast<MapRecorder*>(data)->fParents.erase(reinterpret_cast<GtkWindow*>(gone));
    }
    guint fSignal = 0;
    gulong fHook = 0;
    std::map<GtkWindow*, GtkWindow*> fParents;
};

// The window of the framework whose title is this, shown now; null when none.
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

GtkWindow* Gtk(LMacWindow* w)
{
    return w && w->GetNativeWindow() ? w->GetNativeWindow()->Gtk() : nullptr;
}

unsigned long Xid(GtkWindow* w)
{
    GdkWindow* g = w ? gtk_widget_get_window(GTK_WIDGET(w)) : nullptr;
    return g && GDK_IS_X11_WINDOW(g) ? gdk_x11_window_get_xid(g) : 0;
}

// The window ids in an xprop answer ("... window id # 0x1a00007, 0x1c00003").
std::vector<unsigned long> Ids(const std::string& text)
{
    std::vector<unsigned long> ids;
    for (size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 2))
        ids.push_back(std::strtoul(text.c_str() + at, nullptr, 16));
    return ids;
}

// WM_TRANSIENT_FOR of an X window as the X server has it; 0 when it has none.
unsigned long TransientFor(unsigned long xid)
{
    gdk_display_sync(gdk_display_get_default());
    std::vector<unsigned long> ids
        = Ids(uitest::Run("xprop -id " + std::to_string(xid) + " WM_TRANSIENT_FOR 2>/dev/null"));
    return ids.empty() ? 0 : ids[0];
}

// Whether the window manager stacks upper above lower (_NET_CLIENT_LIST_STACKING lists the
// managed windows from the bottom up).
bool StackedAbove(unsigned long upper, unsigned long lower)
{
    gdk_display_sync(gdk_display_get_default());
    std::vector<unsigned long> ids
        = Ids(uitest::Run("xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null"));
    int u = -1, l = -1;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == upper)
            u = int(i);
        if (ids[i] == lower)
            l = int(i);
    }
    return u >= 0 && l >= 0 && u > l;
}

// The widget under root whose view carries the tag; null when none.
GtkWidget* TaggedWidget(GtkWidget* root, int tag)
{
    LView* view = LView::FromWidget(root);
    if (view && view->Widget() == root && view->Tag() == tag)
        return root;
    GtkWidget* found = nullptr;
    if (GTK_IS_CONTAINER(root)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(root));
        for (GList* c = children; c && !found; c = c->next)
            found = TaggedWidget(GTK_WIDGET(c->data), tag);
        g_list_free(children);
    }
    return found;
}

// Clicks the window's toolbar button of the command with the real pointer; false when there is
// no such button.
bool ClickToolbarButton(LMacWindow& w, int command)
{
    GtkWidget* bar = w.GetNativeWindow() ? w.GetNativeWindow()->Toolbar() : nullptr;
    GtkWidget* button = bar ? TaggedWidget(bar, command) : nullptr;
    if (!button)
        return false;
    int x = 0, y = 0;
    GtkWidget* top = GTK_WIDGET(w.GetNativeWindow()->Gtk());
    if (!gtk_widget_translate_coordinates(button, top, gtk_widget_get_allocated_width(button) / 2,
            gtk_widget_get_allocated_height(button) / 2, &x, &y))
        return false;
    const int s = gtk_widget_get_scale_factor(top);
    gdk_display_sync(gdk_display_get_default());
    int status = 0;
    uitest::Run("xdotool mousemove --window " + std::to_string(Xid(GTK_WINDOW(top))) + " "
            + std::to_string(x * s) + " " + std::to_string(y * s) + " click 1",
        &status);
    return status == 0;
}

// A job that only takes its time, for a progress window.
struct SlowJob {
    unsigned ms = 600;
};
LProcessResult Process(LProcessInterface& job, SlowJob& data)
{
    job.ProcessWait(data.ms);
    return LProcessResultSuccess;
}

// What was seen of one dialog over its opener.
struct Seen {
    bool shown = false;
    bool transientAtMap = false; // GTK: transient for the opener before it was first shown
    bool transientX = false; // X: WM_TRANSIENT_FOR names the opener
    bool above = false; // window manager: above the opener
    bool aboveAfterClick = false; // and still after the opener was raised and the dialog clicked
};

class DialogStacking : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
    }
    // Looks at the dialog titled title over the opener, once it is up; then closes it (act, or
    // Cancel).
    void Check(MapRecorder& maps, LMacWindow* opener, const char* title, Seen& seen,
        std::function<void(LMacWindow&)> close = nullptr)
    {
        uitest::When([title] { return ShownWindow(title) != nullptr; },
            [&maps, opener, title, &seen, close] {
                LMacWindow* dialog = ShownWindow(title);
                GtkWindow* parent = Gtk(opener);
                seen.shown = true;
                seen.transientAtMap = maps.ParentAtMap(Gtk(dialog)) == parent;
                seen.transientX = TransientFor(Xid(Gtk(dialog))) == Xid(parent);
                if (Managed()) {
                    seen.above = uitest::PumpUntil(
                        [&] { return StackedAbove(Xid(Gtk(dialog)), Xid(parent)); }, 3000);
                    // The opener raised (as a click on it asks) does not come over the
                    // dialog, and a click into the dialog (its top-left corner) keeps it on top.
                    gdk_display_sync(gdk_display_get_default());
                    uitest::Run("xdotool windowraise " + std::to_string(Xid(parent)));
                    uitest::Pump(300);
                    uitest::Run("xdotool mousemove --window " + std::to_string(Xid(Gtk(dialog)))
                        + " 3 3 click 1 2>/dev/null");
                    uitest::Pump(300);
                    seen.aboveAfterClick = StackedAbove(Xid(Gtk(dialog)), Xid(parent));
                }
                if (close)
                    close(*dialog);
                else
                    dialog->PostCommand(kLCmdCancel);
            });
    }
    void ExpectAbove(const Seen& seen, const char* what)
    {
        SCOPED_TRACE(what);
        EXPECT_TRUE(seen.shown);
        EXPECT_TRUE(seen.transientAtMap);
        EXPECT_TRUE(seen.transientX);
        if (Managed()) {
            EXPECT_TRUE(seen.above);
            EXPECT_TRUE(seen.aboveAfterClick);
        }
    }
    PrivateHomes homes;
    MapRecorder maps;
};

} // namespace

TEST_F(DialogStacking, StationeryFromTheLayoutEditorIsAboveTheEditor)
{
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    LPtr<VTProject> project(new VTProject(new VTLabelLayoutDataGenericCDStandard));
    VTLabelLayoutTemplate* current = nullptr;
    Seen editor, stationery;
    Check(maps, &host, "Redigera etikettlayout", editor, [&](LMacWindow& dialog) {
        Check(maps, &dialog, "Välj mallar", stationery);
        // "Brevpapper" clicked in the editor's toolbar.
        if (uitest::HaveXdotool()
            && ClickToolbarButton(dialog, VTLabelLayoutEditorDialog::kCmdStationery))
            uitest::PumpUntil(
                [&] { return stationery.shown && !ShownWindow("Välj mallar"); }, 8000);
        else
            dialog.Command(VTLabelLayoutEditorDialog::kCmdStationery, 0);
        dialog.PostCommand(kLCmdCancel);
    });
    VTLabelLayoutEditorDialogOpen(host.GetContentView(), project, current);
    ExpectAbove(editor, "editor over the main window");
    ExpectAbove(stationery, "stationery over the editor");
}

TEST_F(DialogStacking, PrintableAreaFromThePrintPreviewIsAboveThePreview)
{
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    VTProject project(new VTLabelLayoutDataDirectToCDDVDStandard);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    Seen preview, area;
    Check(maps, &host, "Förhandsgranska", preview, [&](LMacWindow& dialog) {
        Check(maps, &dialog, "Ändra utskrivbara områden för skivor", area);
        // The disc selected (the click into the preview may have taken the selection), then
        // its printable area asked for.
        auto& preview = static_cast<VTPrintPreviewDialog&>(dialog);
        preview.Viewer().SetItemSelected(page->first, true, true);
        preview.EvTemplatePrintableAreaButtonPressed();
        dialog.PostCommand(kLCmdCancel);
    });
    VTPrintPreviewDialogOpen(host.GetContentView(), project, page, page->first);
    ExpectAbove(preview, "preview over the main window");
    ExpectAbove(area, "printable area over the preview");
}

TEST_F(DialogStacking, OptionsWelcomeAndLayoutChoiceAreAboveTheirOpeners)
{
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    Seen options, welcome, choice, stationery;
    Check(maps, &host, "Vorantel Inställningar", options);
    VTOptionsDialogOpen(host.GetContentView());
    ExpectAbove(options, "options");

    Check(maps, &host, "Välkommen till Vorantel", welcome);
    VTWelcomeDialogOpen(host.GetContentView());
    ExpectAbove(welcome, "welcome");

    Check(maps, &host, "Välj etikettlayout", choice, [&](LMacWindow& dialog) {
        Check(maps, &dialog, "Välj mallar", stationery);
        static_cast<VTLabelLayoutSelectDialog&>(dialog).CmTemplateStationery();
        dialog.PostCommand(kLCmdCancel);
    });
    delete VTLabelLayoutSelectDialogOpen(host.GetContentView());
    ExpectAbove(choice, "layout choice");
    ExpectAbove(stationery, "stationery over the layout choice");

    // A progress window over the main window.
    Seen progress;
    SlowJob job;
    Check(maps, &host, "Arbetar", progress, [](LMacWindow&) {});
    LProcessDialog<SlowJob> dialog("Arbetar", job);
    dialog.Open(host.GetContentView());
    ExpectAbove(progress, "progress");
}

TEST_F(DialogStacking, AlertsAndClipartAreAboveTheirOpeners)
{
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    LoopbackServer server;
    server.SetResponder([](const std::string&) {
        return LoopbackScript { { "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n" } };
    });
    LUserSettingSetString("Online", kLOnlineComponentServer, ("http://" + server.Host()).c_str());
    Seen clipart;
    bool alertAtMap = false, alertX = false, alertAbove = true;
    Check(maps, &host, "ZOR Clipart-bibliotek", clipart, [&](LMacWindow& dialog) {
        // An alert over the clipart dialog, as its commands show them.
        uitest::When([] { return LUiCurrentAlertWidget() != nullptr; },
            [&] {
                auto* alert = GTK_WINDOW(LUiCurrentAlertWidget());
                uitest::PumpUntil([&] { return maps.Mapped(alert); });
                alertAtMap = maps.ParentAtMap(alert) == Gtk(&dialog);
                alertX = TransientFor(Xid(alert)) == Xid(Gtk(&dialog));
                if (Managed())
                    alertAbove = uitest::PumpUntil(
                        [&] { return StackedAbove(Xid(alert), Xid(Gtk(&dialog))); }, 3000);
                gtk_dialog_response(GTK_DIALOG(alert), 0);
            });
        LAlert alert(dialog.GetContentView(), "Ett meddelande.", "Clipart");
        alert._Run();
        dialog.PostCommand(kLCmdCancel);
    });
    char result[260] = "";
    LClipartDialog dialog;
    dialog.Open(host.GetContentView(), result, nullptr);
    ExpectAbove(clipart, "clipart");
    EXPECT_TRUE(alertAtMap);
    EXPECT_TRUE(alertX);
    EXPECT_TRUE(alertAbove);
    LUserSettingDeleteItem("Online", kLOnlineComponentServer);
}

TEST_F(DialogStacking, HelpThatCannotOpenIsToldOverTheDialog)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    controltest::Host host(500, 300);
    ASSERT_TRUE(host.Show());
    // A PATH without xdg-open while the click is handled: no page can be opened.
    TemporaryFolder empty;
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::string headline, message;
    bool overSheet = false, answered = false;
    uitest::When([] { return ShownWindow("Vorantel Inställningar") != nullptr; },
        [&] {
            LMacWindow* sheet = ShownWindow("Vorantel Inställningar");
            uitest::When(
                [] {
                    auto* a = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                    return a && gtk_widget_get_mapped(a);
                },
                [&, sheet] {
                    auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                    gchar* h = nullptr;
                    g_object_get(alert, "text", &h, nullptr);
                    headline = h ? h : "";
                    message = LUiAlertMessage(alert);
                    g_free(h);
                    overSheet = gtk_window_get_transient_for(GTK_WINDOW(alert)) == Gtk(sheet);
                    uitest::SavePanelShot(alert, uitest::ArtefactPath("stacking", "help-failed"));
                    gtk_dialog_response(GTK_DIALOG(alert), 0);
                    answered = true;
                });
            // The sheet's help button, clicked with the real pointer.
            int x = 0, y = 0, w = 0, h = 0;
            sheet->GetControlPixels(kLCmdHelp, x, y, w, h);
            const double s = sheet->GetBackingScaleFactor();
            EXPECT_TRUE(
                uitest::XClick(sheet->GetNativeWindow(), (x + w / 2.0) / s, (y + h / 2.0) / s));
            setenv("PATH", empty.Path().c_str(), 1);
            uitest::PumpUntil([&] { return answered; }, 5000);
            setenv("PATH", path.c_str(), 1);
            sheet->PostCommand(kLCmdCancel);
        });
    VTOptionsDialogOpen(host.GetContentView());
    EXPECT_TRUE(answered);
    EXPECT_EQ(headline, "Sidan kunde inte öppnas");
    EXPECT_NE(message.find("(xdg-open saknas)"), std::string::npos) << message;
    EXPECT_NE(message.find("options_general"), std::string::npos) << message;
    EXPECT_TRUE(overSheet);
}
