// The colour chooser: the colour it opens at, what it writes back, and what cancelling leaves.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaColorPicker.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/UI.h"
#include "support/PanelTestSupport.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ColorPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

TEST_F(ColorPickerTest, OpensAtTheHighBytesAndWritesWhiteWhole)
{
    LGuiColor colour(0x12FF, 0x8000, 0x0001);
    GdkRGBA shown {};
    unsigned modal = 0;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(panel), &shown);
        modal = LModalCounter::Count();
        uitest::SavePanelShot(panel, "screenshots/color_picker/open.png");
        GdkRGBA white { 1, 1, 1, 1 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &white);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    LCocoaColorPicker picker;
    EXPECT_TRUE(picker.Open(nullptr, colour));
    EXPECT_NEAR(shown.red * 255, 18, 1e-6);
    EXPECT_NEAR(shown.green * 255, 128, 1e-6);
    EXPECT_NEAR(shown.blue * 255, 0, 1e-6);
    EXPECT_EQ(shown.alpha, 1);
    EXPECT_GT(modal, 0u);
    EXPECT_EQ(colour.red, 65535);
    EXPECT_EQ(colour.green, 65535);
    EXPECT_EQ(colour.blue, 65535);
}

TEST_F(ColorPickerTest, CancelAndClosingChangeNothing)
{
    LGuiColor colour(0x1234, 0x5678, 0x9ABC);
    for (bool close : { false, true }) {
        uitest::WhenPanelUp([close](GtkWidget* panel) {
            GdkRGBA red { 1, 0, 0, 1 };
            gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &red);
            if (close)
                g_signal_emit_by_name(panel, "close"); // Escape
            else
                gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_CANCEL);
        });
        LCocoaColorPicker picker;
        EXPECT_FALSE(picker.Open(nullptr, colour));
        EXPECT_EQ(colour, LGuiColor(0x1234, 0x5678, 0x9ABC));
    }
}

TEST_F(ColorPickerTest, ColourReferencesChooseAboveTheirWindowAndShowItFirst)
{
    LMacWindow w;
    w.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    bool parentShown = false;
    GtkWindow* transientFor = nullptr;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        parentShown = w.GetNativeWindow()->IsVisible();
        transientFor = gtk_window_get_transient_for(GTK_WINDOW(panel));
        GdkRGBA c { 0.5, 0.25, 0, 1 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &c);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    LGuiColorRef ref(0, 0, 0);
    EXPECT_TRUE(ref.OpenColorPickerDialog(w, 0, 0));
    EXPECT_TRUE(parentShown);
    EXPECT_EQ(transientFor, w.GetNativeWindow()->Gtk());
    EXPECT_EQ(ref.red, 32767);
    EXPECT_EQ(ref.green, 16383);
    EXPECT_EQ(ref.blue, 0);
    // With recent colours the chooser offers them as a palette; the choice still writes back.
    LCocoaColorPicker picker;
    picker.recentColorCount = 2;
    picker.recentColors[0] = LGuiColor(0xFF00, 0, 0);
    picker.recentColors[1] = LGuiColor(0, 0xFF00, 0);
    uitest::WhenPanelUp([](GtkWidget* panel) {
        uitest::SavePanelShot(panel, "screenshots/color_picker/recent.png");
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    LGuiColor c(0, 0, 0xFF00);
    EXPECT_TRUE(picker.Open(w.GetContentView(), c));
    EXPECT_EQ(c.blue, 65535);
    w.Close();
}
