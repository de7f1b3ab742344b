// Painted controls on a real window: mouse forwarding and the capture, the commands of their
// pop-up menus, the colour swatch and picker, the cool-button container.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LEmbeddedWindowTitledContainerTitleBar.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/PanelTestSupport.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

class Probe : public LPaintControl {
public:
    std::vector<std::pair<int, int>> moves;
    std::vector<int> commands;
    ~Probe() override { DestroyPaintControl(); }
    void EvMouseMove(int x, int y) override { moves.emplace_back(x, y); }
    void PaintControlCommand(int id, int) override { commands.push_back(id); }
    void Paint(LPaintContext&) override { }
};

struct Window {
    LMacWindow window;
    Window() { window.CreateCocoaWindow(300, 200, kStyle, false, nullptr); }
    ~Window() { window.DestroyCommon(); }
    LView* AddHost(int id, double x, double y, double w, double h)
    {
        LView* host = window.AddPaintControl(id);
        host->SetFrame(LUiRect { x, y, w, h });
        return host;
    }
};

class PaintControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

TEST_F(PaintControl, BindingAndSize)
{
    Window w;
    const double s = w.window.GetBackingScaleFactor();
    w.AddHost(10, 5, 5, 100.4, 40);
    Probe p;
    p.Init(w.window, 99); // no such control: unbound, neutral answers
    EXPECT_FALSE(p.IsBound());
    EXPECT_FALSE(p.IsEnabled());
    EXPECT_EQ(p.GetWidth(), 0);
    p.Init(w.window, 10);
    ASSERT_TRUE(p.IsBound());
    EXPECT_EQ(p.GetWidth(), int(100.4 * s)); // truncated
    EXPECT_EQ(p.GetHeight(), int(40 * s));
    EXPECT_TRUE(p.IsEnabled());
    p.Disable();
    EXPECT_FALSE(p.IsEnabled());
    p.DestroyPaintControl();
    p.DestroyPaintControl(); // a second call does nothing
    EXPECT_FALSE(p.IsBound());
}

TEST_F(PaintControl, MovesOutsideOnlyWhileCaptured)
{
    Window w;
    w.AddHost(10, 0, 0, 50, 20);
    Probe p;
    p.Init(w.window, 10);
    LMouseHandler& handler = p.GetMouseHandler();
    handler.EvMouseMove(p.GetWidth() - 1, 0);
    handler.EvMouseMove(p.GetWidth(), 0);
    handler.EvMouseMove(-1, 5);
    handler.EvMouseMove(5, p.GetHeight());
    ASSERT_EQ(p.moves.size(), 1u);
    p.SetCapture();
    EXPECT_TRUE(p.IsCaptured());
    handler.EvMouseMove(p.GetWidth(), 0);
    handler.EvMouseMove(-7, -7);
    EXPECT_EQ(p.moves.size(), 3u);

    // Another control's ReleaseCapture frees it.
    w.AddHost(11, 60, 0, 50, 20);
    Probe other;
    other.Init(w.window, 11);
    other.ReleaseCapture();
    EXPECT_FALSE(p.IsCaptured());
}

// Records the area each paint was asked for (the context's client rectangle, device pixels).
class AreaProbe : public LPaintControl {
public:
    std::vector<LUiRect> areas;
    ~AreaProbe() override { DestroyPaintControl(); }
    void Paint(LPaintContext& context) override
    {
        LUiRect r;
        context.GetClientRect(r.x, r.y, r.width, r.height);
        areas.push_back(r);
    }
};

TEST_F(PaintControl, PartialUpdateRepaintsOnlyItsRectangle)
{
    Window w;
    w.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.window.GetNativeWindow()));
    w.AddHost(10, 0, 0, 100, 50);
    AreaProbe p;
    p.Init(w.window, 10);
    const double s = p.GetBackingScale();
    ASSERT_TRUE(uitest::PumpUntil([&] { return !p.areas.empty(); }));
    uitest::Pump(100);
    p.areas.clear();
    p.Update(int(20 * s), int(10 * s), int(30 * s), int(16 * s));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !p.areas.empty(); }));
    for (const LUiRect& r : p.areas) {
        EXPECT_GE(r.x, 20 * s - 1);
        EXPECT_GE(r.y, 10 * s - 1);
        EXPECT_LE(r.x + r.width, 50 * s + 1);
        EXPECT_LE(r.y + r.height, 26 * s + 1);
    }
    // An empty rectangle repaints nothing; the whole control still can.
    p.areas.clear();
    p.Update(5, 5, 0, 10);
    uitest::Pump(100);
    EXPECT_TRUE(p.areas.empty());
    p.Update();
    ASSERT_TRUE(uitest::PumpUntil([&] { return !p.areas.empty(); }));
    EXPECT_NEAR(p.areas.back().width, 100 * s, 1);
}

TEST_F(PaintControl, PopupMenuCommandsReachTheControl)
{
    Window w;
    w.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.window.GetNativeWindow()));
    w.AddHost(10, 0, 0, 50, 20);
    Probe p;
    p.Init(w.window, 10);
    LPopupMenu popup(w.window);
    popup.AppendMenuItem(4711, "Kopiera");
    g_timeout_add(
        200,
        [](gpointer data) -> gboolean {
            auto* menu = static_cast<LPopupMenu*>(data);
            GtkWidget* widget = menu->GetMenu()->ExistingWidget();
            gtk_menu_shell_activate_item(
                GTK_MENU_SHELL(widget), menu->GetMenu()->ItemAt(0)->ExistingWidget(), TRUE);
            return G_SOURCE_REMOVE;
        },
        &popup);
    p.ShowPopupMenu(popup, 5, 5);
    uitest::Pump(50);
    ASSERT_EQ(p.commands.size(), 1u);
    EXPECT_EQ(p.commands[0], 4711);
    EXPECT_EQ(LCocoaMenuImpl::currentPopupMenuPaintControl(), nullptr);
}

struct SwatchWatch : LColorSwatchNotifyee {
    int clicks = 0;
    void EvColorSwatchClicked(LView*, int, int) override { ++clicks; }
};

TEST_F(PaintControl, SwatchClickOnlyInside)
{
    Window w;
    w.AddHost(10, 0, 0, 30, 20);
    LColorSwatch swatch(LGuiColor::FromRGB8(255, 0, 0));
    SwatchWatch watch;
    swatch.SetNotifyee(&watch);
    swatch.Init(w.window, 10);
    swatch.EvLButtonDown(3, 3);
    swatch.EvLButtonUp(swatch.GetWidth(), 3); // at x = width: outside
    swatch.EvLButtonDown(3, 3);
    swatch.EvLButtonUp(-1, 3);
    swatch.EvLButtonUp(3, 3); // no capture any more
    EXPECT_EQ(watch.clicks, 0);
    swatch.EvLButtonDown(3, 3);
    swatch.EvLButtonUp(swatch.GetWidth() - 1, 3);
    EXPECT_EQ(watch.clicks, 1);
    EXPECT_FALSE(swatch.IsCaptured());

    // Painting: the colour inside two grey frames.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 30, 20);
    cairo_t* cr = cairo_create(s);
    swatch.SetPaintControlSize(30, 20);
    swatch.PaintInContext(cr, LUiRect { 0, 0, 30, 20 }, 1.0, 30, 20, true);
    cairo_surface_flush(s);
    auto px = [&](int x, int y) {
        return *reinterpret_cast<uint32_t*>(
                   cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4)
            & 0xFFFFFF;
    };
    EXPECT_EQ(px(0, 10), 0xAAAAAAu);
    EXPECT_EQ(px(1, 10), 0xAAAAAAu);
    EXPECT_EQ(px(15, 10), 0xFF0000u);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

struct PickerWatch : LColorPickerControlNotifyee {
    int changes = 0;
    void EvColorPickerControlChanged(LView*) override { ++changes; }
};

LColorPickerControl* gDoomed = nullptr;

TEST_F(PaintControl, PickerReportsAChangeOnceAndNothingWhenGone)
{
    Window w;
    w.AddHost(10, 0, 0, 30, 20);
    auto* picker = new LColorPickerControl(LGuiColor::FromRGB8(0, 0, 0));
    PickerWatch watch;
    picker->SetOwnerNotifyee(&watch);
    picker->Init(w.window, 10);
    const auto chooser = LColorPickerControl::pOpenColorPickerDialog;
    EXPECT_NE(chooser, nullptr); // the window layer's chooser by default
    LColorPickerControl::pOpenColorPickerDialog = [](LGuiColor& c, LWindow&, int, int) {
        c = LGuiColor::FromRGB8(1, 2, 3);
        return true;
    };
    picker->EvLButtonDown(2, 2);
    picker->EvLButtonUp(2, 2);
    EXPECT_EQ(watch.changes, 1);
    EXPECT_EQ(picker->GetColor(), LGuiColor::FromRGB8(1, 2, 3));
    // Unchanged: nothing.
    LColorPickerControl::pOpenColorPickerDialog
        = [](LGuiColor&, LWindow&, int, int) { return false; };
    picker->EvLButtonDown(2, 2);
    picker->EvLButtonUp(2, 2);
    EXPECT_EQ(watch.changes, 1);
    // The control goes while the chooser is open: nothing reaches its owner.
    gDoomed = picker;
    LColorPickerControl::pOpenColorPickerDialog = [](LGuiColor& c, LWindow&, int, int) {
        delete gDoomed;
        c = LGuiColor::FromRGB8(9, 9, 9);
        return true;
    };
    picker->EvLButtonDown(2, 2);
    picker->EvLButtonUp(2, 2);
    EXPECT_EQ(watch.changes, 1);
    LColorPickerControl::pOpenColorPickerDialog = chooser;
}

TEST_F(PaintControl, ClickOnThePickerOpensTheChooserAboveItsWindow)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    setenv("GSETTINGS_BACKEND", "memory", 1); // the chooser keeps its custom colours there
    Window w;
    w.AddHost(10, 20, 20, 40, 24);
    LColorPickerControl picker(LGuiColor::FromRGB8(0, 0, 0));
    PickerWatch watch;
    picker.SetOwnerNotifyee(&watch);
    picker.Init(w.window, 10);
    ASSERT_TRUE(uitest::ShowAndWait(w.window.GetNativeWindow()));
    GtkWindow* transientFor = nullptr;
    GdkRGBA shown {};
    int opened = 0;
    auto choose = [&](double red) {
        uitest::WhenPanelUp([&, red](GtkWidget* panel) {
            ++opened;
            transientFor = gtk_window_get_transient_for(GTK_WINDOW(panel));
            gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(panel), &shown);
            GdkRGBA c { red, 0, 0, 1 };
            gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &c);
            gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
        });
    };
    choose(1);
    ASSERT_TRUE(uitest::XClick(w.window.GetNativeWindow(), 30, 30));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.changes == 1; }));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(transientFor, w.window.GetNativeWindow()->Gtk());
    EXPECT_EQ(shown.red, 0);
    EXPECT_EQ(picker.GetColor(), LGuiColor(65535, 0, 0));
    // The same colour taken again is no change.
    choose(1);
    picker.EvLButtonDown(2, 2);
    picker.EvLButtonUp(2, 2);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(shown.red, 1);
    EXPECT_EQ(watch.changes, 1);
    picker.DestroyPaintControl();
}

TEST_F(PaintControl, CoolButtonDownOnlyOnButtons)
{
    Window w;
    w.AddHost(10, 0, 0, 30, 20);
    LCocoaButtonImpl* button = w.window.AddCoolButtonIconOnly(20);
    ASSERT_NE(button, nullptr);
    LCoolButtonContainer container;
    container.SetCoolButtonDown(20, true); // no window yet: nothing
    EXPECT_FALSE(button->isTypeCheckButton());
    container.CoolButtonContainerInit(w.window);
    container.SetCoolButtonDown(10, true); // a painted control, not a button
    container.SetCoolButtonDown(20, true);
    EXPECT_TRUE(button->isTypeCheckButton());
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(button->state(), 1);
    container.SetCoolButtonDown(20, false);
    EXPECT_EQ(button->state(), 0);
}

struct Background : LPaintBackground {
    std::vector<std::pair<int, int>> sizes;
    int paints = 0;
    void EvPaintBackgroundSize(int w, int h) override { sizes.emplace_back(w, h); }
    void EvPaintBackground(LPaintContext& context) override
    {
        ++paints;
        int w = 0, h = 0;
        context.GetClientAreaDimensions(w, h);
        LPaintSurface::FillRectAA(context, LGuiColor::FromRGB8(0, 128, 0), 0, 0, 4000, 4000);
    }
};

TEST_F(PaintControl, WindowBackgroundPaintsAndFollowsTheSize)
{
    Window w;
    w.window.InitCommon(kLCocoaDialogCenterNone, true);
    Background background;
    background.Attach(w.window);
    ASSERT_TRUE(uitest::ShowAndWait(w.window.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return background.paints > 0; }));
    background.UpdateSizeAndPaint();
    ASSERT_FALSE(background.sizes.empty());
    int cw = 0, ch = 0;
    w.window.GetClientSize(cw, ch);
    EXPECT_EQ(background.sizes.back(), std::make_pair(cw, ch));
    const size_t before = background.sizes.size();
    background.UpdateSizeAndPaint(); // unchanged: nothing
    EXPECT_EQ(background.sizes.size(), before);
    background.ForceSizeNotification();
    background.UpdateSizeAndPaint();
    EXPECT_EQ(background.sizes.size(), before + 1);

    // Painted in device pixels over the whole client.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 20);
    cairo_surface_set_device_scale(s, 2, 2);
    cairo_t* cr = cairo_create(s);
    background.PaintInContext(cr, LUiRect { 0, 0, 20, 10 }, 2.0);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    const uint32_t corner = *reinterpret_cast<uint32_t*>(
        cairo_image_surface_get_data(s) + 19 * cairo_image_surface_get_stride(s) + 39 * 4);
    EXPECT_EQ(corner & 0xFFFFFF, 0x008000u);
    cairo_surface_destroy(s);
    background.Detach();
    EXPECT_FALSE(w.window.GetContentView()->HasAssociatedValue(&kPaintBackgroundKey));
}

TEST_F(PaintControl, PanelTitleArtwork)
{
    LGuiJPG normal, active;
    EXPECT_TRUE(normal.LoadFromResource("327"));
    EXPECT_TRUE(active.LoadFromResource("334"));
    for (int id : { 328, 329, 331, 332 }) {
        LGuiIcon icon(id);
        ASSERT_TRUE(icon.HasImage()) << id;
        int w = 0, h = 0;
        icon.GetSize(w, h);
        EXPECT_EQ(w, 28);
    }
    // The expand mark is white: its most opaque pixel has all channels equal to its alpha.
    LGuiIcon expanded(328);
    cairo_surface_t* s = expanded.GetCocoaImage().GetImage();
    ASSERT_NE(s, nullptr);
    cairo_surface_flush(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    int best = 0, at = 0;
    for (int i = 0; i < 28 * 28; ++i) {
        const int y = i / 28, x = i % 28;
        const int a = d[y * cairo_image_surface_get_stride(s) + x * 4 + 3];
        if (a > best) {
            best = a;
            at = y * cairo_image_surface_get_stride(s) + x * 4;
        }
    }
    EXPECT_GT(best, 200);
    EXPECT_EQ(d[at], d[at + 3]);
    EXPECT_EQ(d[at + 1], d[at + 3]);
    EXPECT_EQ(d[at + 2], d[at + 3]);
}

TEST_F(PaintControl, ContainerTitleBar)
{
    LEmbeddedWindowTitledContainerTitleBar bar(true);
    std::string longTitle;
    for (int i = 0; i < 150; ++i)
        longTitle += "å"; // 300 bytes
    bar.SetTitle(longTitle.c_str());
    const std::string kept = bar.GetTitle();
    EXPECT_LE(kept.size(), 259u);
    EXPECT_EQ(kept.size() % 2, 0u); // whole characters only
    bar.SetTitle("Egenskaper");
    bar.CreateTitleFont(nullptr);
    bar.SetPaintControlSize(200, 30);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 30);
    cairo_t* cr = cairo_create(s);
    bar.PaintInContext(cr, LUiRect { 0, 0, 200, 30 }, 1.0, 200, 30, true);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    auto px = [&](int x, int y) {
        return *reinterpret_cast<uint32_t*>(
                   cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4)
            & 0xFF;
    };
    EXPECT_EQ(px(0, 15), 170u); // the frame
    EXPECT_EQ(px(199, 15), 170u);
    EXPECT_GT(px(190, 1), 245u); // white at the top
    EXPECT_LT(px(190, 28), 215u); // darker below
    int dark = 0; // the title is drawn
    for (int y = 2; y < 28; ++y)
        for (int x = 8; x < 100; ++x)
            dark += px(x, y) < 100;
    EXPECT_GT(dark, 20);
    cairo_surface_destroy(s);
}

TEST_F(PaintControl, DecimalInputReadsTheTypedTextWithinItsRange)
{
    Window w;
    LDecimalInputControl input;
    EXPECT_EQ(input.GetValue(w.window), 0.002); // before Init: the minimum
    input.SetMaxValue(10); // before Init: nothing
    EXPECT_EQ(input.maximum, 3600.0);
    LCocoaInputUpDownImpl* view = w.window.AddInputUpDown(30, LInputFlags {});
    ASSERT_NE(view, nullptr);
    input.Init(w.window, 30);
    view->textField()->setText("5000");
    EXPECT_EQ(input.GetValue(w.window), 3600.0);
    view->textField()->setText("-1");
    EXPECT_EQ(input.GetValue(w.window), 0.002);
    view->textField()->setText("abc");
    EXPECT_EQ(input.GetValue(w.window), 0.002);
    view->textField()->setText("12.5"); // typed, no Enter yet
    EXPECT_DOUBLE_EQ(input.GetValue(w.window), 12.5);
    input.SetDecimalFormat(w.window, 0);
    EXPECT_EQ(input.decimalPlaces, 3);
    input.SetValue(w.window, 2.25);
    EXPECT_DOUBLE_EQ(input.GetValue(w.window), 2.25);
    // Not an up-down input: nothing.
    LDecimalInputControl other;
    w.AddHost(31, 0, 0, 10, 10);
    other.Init(w.window, 31);
    EXPECT_EQ(other.GetValue(w.window), 0.002);
}

} // namespace
