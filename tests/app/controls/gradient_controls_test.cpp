// The gradient editor's two painted controls on a real window, used with the real pointer: the
// direction square (dragging the arrow head, snapping to the anchors) and the stop bar (clicks
// that add stops, drags that pin at the ends, right-clicks that delete), their commands, their
// limits and what they paint.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/controls/VTGradientControls.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <cstdlib>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

// Where the controls sit, in points of the window's content.
constexpr double kDirX = 10, kDirY = 10, kDirSize = 200;
constexpr double kBarX = 230, kBarY = 10, kBarW = 40, kBarH = 200;

struct Host : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        LMacWindow::Command(id, code);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

class CountingStops : public VTGradientStopControl {
public:
    int paints = 0;
    void Prepaint(LPaintContext& context) override
    {
        ++paints;
        VTGradientStopControl::Prepaint(context);
    }
};

class GradientControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        const char* scale = getenv("GDK_SCALE");
        s = scale && atoi(scale) > 1 ? atoi(scale) : 1;
        host.CreateCocoaWindow(int(300 * s), int(240 * s), kStyle, false, nullptr);
        host.AddPaintControl(
            13, int(kDirX * s), int(kDirY * s), int(kDirSize * s), int(kDirSize * s));
        host.AddPaintControl(18, int(kBarX * s), int(kBarY * s), int(kBarW * s), int(kBarH * s));
        direction.Init(host, 13, 14, 14, 15, 16);
        stops.Init(host, 18, 19, 20, 21, 22);
    }
    void TearDown() override
    {
        direction.DestroyPaintControl();
        stops.DestroyPaintControl();
        host.DestroyCommon();
    }
    bool Show()
    {
        host.InitCommon(kLCocoaDialogCenterNone, true);
        return uitest::ShowAndWait(host.GetNativeWindow());
    }
    LNativeWindow* Native() { return host.GetNativeWindow(); }
    // A pixel of a control as the pointer reaches it: points are truncated to device pixels.
    int PixelOf(double points, double origin) const { return int(points * s) - int(origin * s); }

    Host host;
    double s = 1;
    VTGradientPointControl direction;
    CountingStops stops;
};

} // namespace

TEST_F(GradientControls, ArrowHeadSnapsOnlyWhenNearAnAnchorOnBothAxes)
{
    ASSERT_TRUE(Show());
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int m = direction.Margin();
    const double tw = direction.GetWidth() - 2 * m, th = direction.GetHeight() - 2 * m;
    EXPECT_EQ(direction.GetStart(), LPointTemplate<float>(0.0f, 0.5f));
    EXPECT_EQ(direction.GetEnd(), LPointTemplate<float>(1.0f, 0.5f));

    // The arrow head at (1, 0.5) is dragged to a few pixels beside the centre.
    const double headX = kDirX + (m + tw) / s, headY = kDirY + (m + th / 2) / s;
    const double centreX = kDirX + (m + tw / 2) / s, centreY = kDirY + (m + th / 2) / s;
    ASSERT_TRUE(uitest::XDragWithin(Native(), headX - 1 / s, headY, centreX + 3, centreY + 2,
        [&] { return host.Count(16) == 1; }));
    EXPECT_EQ(direction.GetEnd(), LPointTemplate<float>(0.5f, 0.5f));
    EXPECT_EQ(direction.GetStart(), LPointTemplate<float>(0.0f, 0.5f));
    EXPECT_EQ(host.Count(15), 1);
    EXPECT_GE(host.Count(14), 1);
    EXPECT_EQ(direction.GetDrag(), 0);
    EXPECT_FALSE(direction.IsCaptured());

    // Near the centre across but far from every anchor down: no snapping at all.
    const double toX = centreX + 3, toY = centreY + 40;
    ASSERT_TRUE(uitest::XDragWithin(
        Native(), centreX, centreY, toX, toY, [&] { return host.Count(16) == 2; }));
    EXPECT_NEAR(direction.GetEnd().x, (PixelOf(toX, kDirX) - m) / tw, 1e-5);
    EXPECT_NEAR(direction.GetEnd().y, (PixelOf(toY, kDirY) - m) / th, 1e-5);
    EXPECT_NE(direction.GetEnd().x, 0.5f);

    // Dragged out of the square the point stays on its edge (the bottom-right corner snaps).
    ASSERT_TRUE(uitest::XDragWithin(Native(), toX, toY, kDirX + kDirSize + 30, kDirY + 230,
        [&] { return host.Count(16) == 3; }));
    EXPECT_EQ(direction.GetEnd(), LPointTemplate<float>(1.0f, 1.0f));
    uitest::Screenshot(Native(), "gradient-controls-direction");
}

TEST_F(GradientControls, SnappingNeedsBothCoordinatesNearOneAnchor)
{
    const int m = direction.Margin();
    const float tw = float(direction.GetWidth() - 2 * m), th = float(direction.GetHeight() - 2 * m);
    auto snapped = [&](float x, float y) {
        LPointTemplate<float> p(x, y);
        direction.ApplySnapping(p);
        return p;
    };
    EXPECT_EQ(snapped(0.5f + 9 / tw, 0.5f - 9 / th), LPointTemplate<float>(0.5f, 0.5f));
    EXPECT_EQ(snapped(1 - 5 / tw, 5 / th), LPointTemplate<float>(1.0f, 0.0f));
    EXPECT_EQ(snapped(0.5f + 11 / tw, 0.5f), LPointTemplate<float>(0.5f + 11 / tw, 0.5f));
    EXPECT_EQ(snapped(0.3f, 0.02f), LPointTemplate<float>(0.3f, 0.02f));
}

TEST_F(GradientControls, ClicksAddStopsOnTheTrackOnlyAndDragsPinAtTheEnds)
{
    ASSERT_TRUE(Show());
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int m = stops.Margin();
    const double th = stops.GetHeight() - 2 * m;
    const double markerX = kBarX + kBarW - stops.MarkerColumn() / (2 * s);
    const double midY = kBarY + (m + th / 2) / s;

    // A click mid-bar adds a selected stop there: pressed, moved, then released.
    ASSERT_TRUE(uitest::XClick(Native(), kBarX + kBarW / 3, midY));
    ASSERT_TRUE(uitest::PumpUntil([&] { return host.Count(22) == 1; }));
    ASSERT_EQ(stops.GetStopCount(), 1u);
    VTGradientStop* first = stops.GetSelectedStop();
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(first->position, (PixelOf(midY, kBarY) - m) / th, 1e-5);
    EXPECT_EQ(first->color, LGuiColorAlpha(0, 0, 0, 255));
    std::vector<int> sent(host.commands.end() - 3, host.commands.end());
    EXPECT_EQ(sent, (std::vector<int> { 21, 20, 22 }));
    EXPECT_FALSE(stops.IsDragging());

    // Above the first track pixel: nothing added.
    ASSERT_TRUE(uitest::XClick(Native(), kBarX + kBarW / 3, kBarY + 0.5 / s));
    uitest::Pump(200);
    EXPECT_EQ(stops.GetStopCount(), 1u);

    // The stop dragged by its marker past the bottom pins at 1, past the top at 0.
    const double stopY = kBarY + stops.PositionToY(first->position) / s;
    ASSERT_TRUE(uitest::XDragWithin(Native(), markerX, stopY, markerX, kBarY + kBarH + 25,
        [&] { return host.Count(22) == 2; }));
    EXPECT_EQ(first->position, 1.0f);
    ASSERT_TRUE(uitest::XDragWithin(Native(), markerX, kBarY + stops.PositionToY(1) / s, markerX,
        kBarY - 8, [&] { return host.Count(22) == 3; }));
    EXPECT_EQ(first->position, 0.0f);
    EXPECT_EQ(stops.GetStopCount(), 1u);

    // A right-click on the only stop does nothing.
    const double topY = kBarY + stops.PositionToY(0) / s;
    ASSERT_TRUE(uitest::XClickButton(Native(), markerX, topY, 3));
    uitest::Pump(200);
    EXPECT_EQ(stops.GetStopCount(), 1u);
    EXPECT_EQ(host.Count(19), 0);

    // With two, a right-click deletes the one under the pointer.
    const double lowY = kBarY + (m + th * 3 / 4) / s;
    ASSERT_TRUE(uitest::XClick(Native(), markerX, lowY));
    ASSERT_TRUE(uitest::PumpUntil([&] { return host.Count(22) == 4; }));
    ASSERT_EQ(stops.GetStopCount(), 2u);
    uitest::Screenshot(Native(), "gradient-controls-two-stops");
    ASSERT_TRUE(uitest::XClickButton(Native(), markerX, lowY, 3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return host.Count(19) == 1; }));
    ASSERT_EQ(stops.GetStopCount(), 1u);
    EXPECT_EQ(stops.GetStops().GetHead(), first);
}

TEST_F(GradientControls, AtMostEighteenStopsAndDeletingTheSelectedSelectsTheFirst)
{
    for (int i = 0; i < VTGradientStopControl::kMaxClickedStops; ++i)
        stops.AddStop(i / 20.0f, LGuiColorAlpha(0, 0, 0, 255));
    const int m = stops.Margin();
    const int y = m + (stops.GetHeight() - 2 * m) * 19 / 20;
    const int before = stops.paints;
    LMouseHandler& mouse = stops.GetMouseHandler();
    mouse.EvMouseMove(2, y);
    mouse.EvLButtonDown(2, y);
    mouse.EvLButtonUp(2, y);
    EXPECT_EQ(stops.GetStopCount(), 18u);
    EXPECT_TRUE(host.commands.empty());
    EXPECT_FALSE(stops.IsDragging());
    // The click still asks for a repaint.
    ASSERT_TRUE(Show());
    uitest::Pump(100);
    stops.paints = before;
    mouse.EvLButtonDown(2, y);
    EXPECT_TRUE(uitest::PumpUntil([&] { return stops.paints > before; }));

    // Deleting the selected stop selects the head of the list; deleting a stop that is not
    // selected keeps the selection.
    VTGradientStop* third = stops.GetStops().GetAt(2);
    stops.SetSelectedStop(third);
    stops.DeleteStop(stops.GetStops().GetAt(5));
    EXPECT_EQ(stops.GetSelectedStop(), third);
    stops.DeleteStop(third);
    EXPECT_EQ(stops.GetSelectedStop(), stops.GetStops().GetHead());
    EXPECT_EQ(stops.GetStopCount(), 16u);
    stops.DeleteStop(nullptr);
    stops.ClearStops();
    EXPECT_EQ(stops.GetSelectedStop(), nullptr);
    EXPECT_EQ(stops.GetStopCount(), 0u);
}

TEST_F(GradientControls, DestroyedInsideItsCommandTouchesNothingAfterwards)
{
    struct Destroyer : LMacWindow {
        VTGradientStopControl* bar = nullptr;
        int commands = 0;
        void Command(int id, int code) override
        {
            ++commands;
            if (id == 21 && bar) {
                delete bar;
                bar = nullptr;
            }
            LMacWindow::Command(id, code);
        }
    } owner;
    owner.CreateCocoaWindow(200, 200, kStyle, false, nullptr);
    owner.AddPaintControl(18, 0, 0, 40, 200);
    owner.bar = new VTGradientStopControl;
    owner.bar->Init(owner, 18, 19, 20, 21, 22);
    owner.bar->GetMouseHandler().EvLButtonDown(2, 100);
    EXPECT_EQ(owner.bar, nullptr);
    EXPECT_EQ(owner.commands, 1); // pressed; the moved command was not sent
    owner.DestroyCommon();
}

namespace {

// The colour (0xRRGGBB) at a pixel of what the control paints on white.
struct Painted {
    cairo_surface_t* surface;
    explicit Painted(LPaintControl& control)
    {
        const int w = control.GetWidth(), h = control.GetHeight();
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        control.PaintInContext(cr, LUiRect { 0, 0, double(w), double(h) }, 1.0, w, h, true);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Painted() { cairo_surface_destroy(surface); }
    uint32_t At(int x, int y) const
    {
        return *reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface)
                   + y * cairo_image_surface_get_stride(surface) + x * 4)
            & 0xFFFFFF;
    }
};

} // namespace

TEST_F(GradientControls, PaintsTheGradientTheMarkersAndTheArrow)
{
    stops.AddStop(1.0f, LGuiColorAlpha(0xFF00, 0xFF00, 0xFF00, 255));
    VTGradientStop* black = stops.AddStop(0.0f, LGuiColorAlpha(0, 0, 0, 255));
    VTGradientStop* red = stops.AddStop(0.5f, LGuiColorAlpha(0xFF00, 0, 0, 255));
    stops.SetSelectedStop(red);
    const int m = stops.Margin(), column = stops.MarkerColumn();
    const int W = stops.GetWidth(), th = stops.GetHeight() - 2 * m;
    {
        Painted p(stops);
        EXPECT_LT(p.At(W / 4, m + 2), 0x100000u); // the bar: black at the top
        EXPECT_EQ(p.At(W / 4, m + th - 3) & 0xF0F0F0, 0xF0F0F0u); // white at the bottom
        EXPECT_EQ(p.At(W / 4, m + th / 2) & 0xFFF8F8, 0xFF0000u); // red in the middle
        EXPECT_EQ(p.At(W - 2, int(stops.PositionToY(0.5f))), 0xFFC800u); // selected: orange
        EXPECT_EQ(p.At(W - 2, m + 1), 0x000000u); // the others black
        EXPECT_EQ(p.At(W - column / 2, 0), 0xFFFFFFu); // nothing above the top marker's tip
    }
    // The list was sorted by position for the painting.
    EXPECT_EQ(stops.GetStops().GetHead(), black);

    // The direction: white square, the start handle and the arrow head; hovered in orange.
    const int dm = direction.Margin();
    const int tw = direction.GetWidth() - 2 * dm, dh = direction.GetHeight() - 2 * dm;
    direction.GetMouseHandler().EvMouseMove(dm + tw - 2, dm + dh / 2);
    EXPECT_EQ(direction.GetHover(), 2);
    {
        Painted p(direction);
        EXPECT_EQ(p.At(dm + tw / 4, dm + dh / 4), 0xFFFFFFu);
        EXPECT_EQ(p.At(dm + tw - 6, dm + dh / 2), 0xFFC800u); // the hovered head
        // The shaft, one pixel wide on a pixel edge: two half-covered rows.
        EXPECT_LT(std::min(p.At(dm + tw / 4, dm + dh / 2 - 1), p.At(dm + tw / 4, dm + dh / 2)),
            0x808080u);
        EXPECT_EQ(p.At(dm + 1, dm + dh / 2), 0xFFFFFFu); // inside the start handle
    }
    direction.GetMouseHandler().EvMouseMove(dm + 2, dm + dh / 2);
    EXPECT_EQ(direction.GetHover(), 1);
    direction.GetMouseHandler().EvMouseOut();
    EXPECT_EQ(direction.GetHover(), 0);
}
