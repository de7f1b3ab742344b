// What the tests of the main window and the layout editor used by keys alone share: the widgets
// of views and the focus, the key window by its title, the layout editor run on a project, and
// a fixture with the main window on a new project. Header only.
#pragma once

#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/lxa/mac/MainDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "support/FocusWalk.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace keyboardtest {

inline GtkWidget* WidgetOf(LView* view)
{
    return view ? view->ExistingWidget() : nullptr;
}

inline GtkWidget* Focus(LNativeWindow* window)
{
    return gtk_window_get_focus(window->Gtk());
}

// The stop of the walk that is the widget, null when the walk did not come to it.
inline const focuswalk::Stop* Found(const std::vector<focuswalk::Stop>& stops, GtkWidget* widget)
{
    for (const focuswalk::Stop& s : stops)
        if (widget && s.widget == widget)
            return &s;
    return nullptr;
}

// Whether the key window has that title and shows.
inline bool KeyWindowTitled(const std::string& title)
{
    LNativeWindow* k = LNativeWindow::KeyWindow();
    const char* t = k && k->Gtk() ? gtk_window_get_title(k->Gtk()) : nullptr;
    return t && title == t && gtk_widget_get_mapped(GTK_WIDGET(k->Gtk()));
}

// Runs the layout editor on the project and calls use with it once it shows (from its loop),
// then closes it with Escape when it is still open.
inline void WithEditor(
    LPtr<VTProject>& project, const std::function<void(VTLabelLayoutEditorDialog&)>& use)
{
    bool done = false;
    uitest::When([] { return KeyWindowTitled("Redigera etikettlayout"); },
        [&] {
            LNativeWindow* window = LNativeWindow::KeyWindow();
            auto* dialog = dynamic_cast<VTLabelLayoutEditorDialog*>(
                LCocoaWindow::GetThisProperty(window->ContentView()));
            if (dialog) {
                uitest::PumpUntilDrawn(window);
                use(*dialog);
            }
            done = true;
            if (!dialog || dialog->IsOpen())
                focuswalk::LastKey(window, "Escape");
        });
    VTLabelLayoutTemplate* current = nullptr;
    VTLabelLayoutEditorDialogOpen(nullptr, project, current);
    uitest::PumpUntil([&] { return done; }, 30000);
    EXPECT_TRUE(done) << "the editor did not show";
}

// The main window on a private home, without the welcome dialog and without animations (a
// control's look with and without the focus is compared where it ends).
class MainWindowByKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        homes = std::make_unique<PrivateHomes>();
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
    }
    void TearDown() override
    {
        if (w && !w->IsDestroyed()) {
            w->CmCloseDocument(false);
            w->MainWindowDestroy();
        }
        w.reset();
        LMainMenu::SetMainMenu(nullptr);
    }
    // The main window with a new project on the layout (without one the CD layout: a disc, a
    // case's front and back).
    void OpenMainWindow(VTLabelLayout* layout = nullptr)
    {
        w = std::make_unique<MainDialog>();
        const char* argv[] = { "vorantel" };
        ASSERT_TRUE(w->MainWindowInit(1, argv));
        ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
        ASSERT_TRUE(w->CmNewDocument(layout ? layout : new VTLabelLayoutDataGenericCDStandard));
        uitest::PumpUntilIdle();
        uitest::PumpUntilDrawn(w->GetNativeWindow());
    }
    LNativeWindow* Window() const { return w->GetNativeWindow(); }
    GtkWidget* ToolbarWidget() const
    {
        return WidgetOf(w->GetTabbedToolBar().GetPrivate()->GetHostView());
    }

    std::unique_ptr<PrivateHomes> homes;
    TemporaryFolder runtime;
    std::unique_ptr<MainDialog> w;
};

} // namespace keyboardtest
