// The caption toolbar in the window's title bar: button sizes and places at either scale, the
// hit test up to the right edge, a partial repaint that keeps the places, hover and pressed
// looks, tooltips that name the shortcut, and a click that sends the command.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LCaptionToolbar.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cairo.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;

class ProbeWindow : public LMacWindow {
public:
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        if (id >= 800 && id < 900)
            commands.push_back(id);
        LMacWindow::Command(id, code);
    }
};

const LKeyToCommandMap kKeys[] = {
    { LKey(LKey::kCommand | 'N'), 801 },
};

uint32_t Pixel(cairo_surface_t* surface, int x, int y)
{
    const unsigned char* p = cairo_image_surface_get_data(surface)
        + y * cairo_image_surface_get_stride(surface) + x * 4;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Paints the toolbar (its dirty rectangle in pixels) onto white; the caller destroys the image.
cairo_surface_t* Paint(LCaptionToolbar& bar, int dx, int dw)
{
    const int W = bar.GetWidth(), H = bar.GetHeight();
    const double s = bar.GetBackingScale();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, s, s);
    bar.PaintInContext(cr, LUiRect { dx / s, 0, dw / s, H / s }, s, W / s, H / s, true);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

class CaptionToolbar : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        setenv("VT_RESOURCES_DIR", built.c_str(), 1);
    }
};

} // namespace

TEST_F(CaptionToolbar, SizesHitsTipsAndClicks)
{
    ProbeWindow w;
    w.CreateCocoaWindow(500, 200, kStyle, false, nullptr);
    LCaptionToolbar bar;
    bar.AddButton(300, 800, "före Init"); // ignored
    bar.EnableButton(800, false);
    bar.Init(w, kKeys, 1);
    {
        std::string tip = "Ny etikett";
        bar.AddButton(300, 801, tip.c_str());
        tip.assign(100, 'x'); // the button keeps its own copy
    }
    bar.AddButton(305, 802, "Öppna");
    bar.AddButton(306, 803, "Spara");
    ASSERT_EQ(bar.GetButton(800), nullptr);
    ASSERT_NE(bar.GetCaptionHost(), nullptr);
    EXPECT_EQ(bar.GetCaptionHost()->Frame().width, 66.0);
    EXPECT_EQ(w.GetNativeWindow()->TitlebarView(), bar.GetCaptionHost());
    w.InitCommon(kLCocoaDialogCenterNone, false);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    uitest::Pump(100);
    bar.UpdateSize();
    const double s = w.GetBackingScaleFactor();

    // Places from the left edge, also for a repaint of a part further right.
    cairo_surface_t* partial = Paint(bar, int(30 * s), int(20 * s));
    cairo_surface_destroy(partial);
    std::vector<int> xs;
    for (LCaptionToolbarButton* b = bar.FirstButton(); b; b = b->next) {
        xs.push_back(b->x);
        EXPECT_EQ(b->width, int(20 * s));
        EXPECT_EQ(b->height, int(20 * s));
        EXPECT_EQ(b->y, 1);
    }
    const int pitch = int(20 * s) + 2 * int(s);
    EXPECT_EQ(xs, (std::vector<int> { 0, pitch, 2 * pitch }));
    EXPECT_EQ(pitch, s > 1 ? 44 : 22);

    // Hot look: the fill fills the button; the icon sits at the margin.
    LCaptionToolbarButton* first = bar.GetButton(801);
    LCaptionToolbarButton* second = bar.GetButton(802);
    bar.EvMouseMove(second->x + 2, 5);
    EXPECT_TRUE(second->hot);
    EXPECT_FALSE(first->hot);
    cairo_surface_t* hot = Paint(bar, 0, bar.GetWidth());
    EXPECT_EQ(Pixel(hot, second->x + 1, second->y + 1), 0xE1EFFBu);
    EXPECT_EQ(Pixel(hot, second->x, second->y), 0x97CFFDu);
    cairo_surface_destroy(hot);
    // The icon: 16 points square at a margin of 2 points (32 px at 4 px on scale 2), all of
    // its pixels inside that square of the button.
    bar.EvMouseOut();
    cairo_surface_t* plain = Paint(bar, 0, bar.GetWidth());
    const int margin = int(4 * s) / 2, size = int(16 * s);
    EXPECT_EQ(margin, s > 1 ? 4 : 2);
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    for (int y = first->y; y < first->y + first->height; ++y)
        for (int x = first->x; x < first->x + first->width; ++x)
            if (Pixel(plain, x, y) != 0xFFFFFFu) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    cairo_surface_destroy(plain);
    ASSERT_GE(right, 0) << "no icon drawn";
    EXPECT_GE(left, first->x + margin);
    EXPECT_LT(right, first->x + margin + size);
    EXPECT_GE(top, first->y + margin);
    EXPECT_LT(bottom, first->y + margin + size);
    EXPECT_GT(right - left, size / 2); // the icon is drawn at its full size, not shrunk
    bar.EvMouseMove(second->x + 2, 5);
    // The right and bottom edges still hit.
    EXPECT_EQ(bar.ButtonAt(first->x + first->width, first->y + first->height), first);
    EXPECT_EQ(bar.ButtonAt(first->x + first->width + 1, 1), nullptr);

    // Tooltips: the shortcut in parentheses; without one, the text alone.
    char ctrlN[260] = "";
    LKey(LKey::kCommand | 'N').GetDescription(ctrlN);
    bar.EvMouseMove(first->x + 3, 4);
    ASSERT_EQ(bar.GetTooltipButton(), first);
    EXPECT_EQ(bar.GetTooltip()->text(), std::string("Ny etikett (") + ctrlN + ")");
    EXPECT_TRUE(bar.GetTooltip()->isShown());
    bar.EvMouseMove(second->x + 3, 4);
    EXPECT_EQ(bar.GetTooltip()->text(), "Öppna");
    // A disabled button hides the tip.
    bar.EnableButton(803, false);
    LCaptionToolbarButton* third = bar.GetButton(803);
    bar.EvMouseMove(third->x + 3, 4);
    EXPECT_EQ(bar.GetTooltipButton(), nullptr);
    EXPECT_FALSE(bar.GetTooltip()->isShown());
    bar.EvLButtonDown(third->x + 3, 4);
    bar.EvLButtonUp(third->x + 3, 4);
    EXPECT_TRUE(w.commands.empty());
    bar.EvMouseOut();
    EXPECT_FALSE(second->hot);
    uitest::SaveScreenshot(w.GetNativeWindow(), uitest::ArtefactPath("caption-toolbar", "title"));

    // A real click on the second button sends its command.
    if (uitest::HaveXdotool()) {
        GtkWidget* widget = bar.GetCaptionHost()->ExistingWidget();
        ASSERT_NE(widget, nullptr);
        GdkWindow* gw = gtk_widget_get_window(widget);
        int ox = 0, oy = 0;
        gdk_window_get_origin(gw, &ox, &oy);
        if (!gtk_widget_get_has_window(widget)) {
            GtkAllocation a;
            gtk_widget_get_allocation(widget, &a);
            ox += a.x;
            oy += a.y;
        }
        const int px = int((ox + (second->x + second->width / 2) / s) * s);
        const int py = int((oy + (second->y + second->height / 2) / s) * s);
        uitest::Run(
            "xdotool mousemove " + std::to_string(px) + " " + std::to_string(py) + " click 1");
        ASSERT_TRUE(uitest::PumpUntil([&] { return !w.commands.empty(); }));
        EXPECT_EQ(w.commands, std::vector<int> { 802 });
    } else {
        bar.EvLButtonDown(second->x + 2, 3);
        bar.EvLButtonUp(second->x + 2, 3);
        EXPECT_EQ(w.commands, std::vector<int> { 802 });
    }
    w.DestroyCommon();
}
