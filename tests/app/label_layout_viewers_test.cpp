// The label-layout page viewers on real windows: the painted sheet probed pixel by pixel (the
// control is 330 x 330 device pixels, so an A4 sheet is drawn at exactly one pixel a millimetre),
// margins from the settings, the deferred refresh of the editor's panel while an arrow key is
// held or a position dragged, the stationery preview that never selects and the template
// selector that keeps its template on a click beside the positions.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutPageViewer.h"
#include "app/VTLabelLayoutSelectorViewer.h"
#include "app/VTProject.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <cairo.h>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
constexpr int kSize = 330; // device pixels: A4's 297 mm fill 90 % of it

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

struct Rgb {
    int r, g, b;
};

// Paints the viewer into an image of its size and reads pixels.
struct Picture {
    cairo_surface_t* surface = nullptr;
    explicit Picture(LPaintControl& viewer)
    {
        surface
            = cairo_image_surface_create(CAIRO_FORMAT_RGB24, viewer.GetWidth(), viewer.GetHeight());
        cairo_t* cr = cairo_create(surface);
        {
            LPaintContext context(cr, viewer.GetWidth(), viewer.GetHeight());
            context.SetView(viewer.GetPaintView());
            viewer.Paint(context);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Picture() { cairo_surface_destroy(surface); }
    Rgb At(int x, int y) const
    {
        const unsigned char* p = cairo_image_surface_get_data(surface)
            + y * cairo_image_surface_get_stride(surface) + x * 4;
        return Rgb { p[2], p[1], p[0] };
    }
    int Grey(int x, int y) const { return At(x, y).r; }
};

struct Counter : VTLabelLayoutPageViewerNotifyee {
    int selections = 0, menus = 0;
    long long last = 0;
    std::vector<long long> times;
    void EvLabelLayoutPageViewerSelectionChanged(VTLabelLayoutPageViewer&) override
    {
        ++selections;
        last = LRunLoop::NowMs();
        times.push_back(last);
    }
    int After(long long t) const
    {
        int n = 0;
        for (long long v : times)
            n += v > t;
        return n;
    }
    void EvLabelLayoutPageViewerContextMenuOpen(VTLabelLayoutPageViewer&) override { ++menus; }
};

// The editor's viewer with the times of the last key repeat and drag step kept.
class PageViewer : public VTLabelLayoutPageViewer {
public:
    PageViewer()
        : VTLabelLayoutPageViewer(true)
    {
    }
    long long lastKey = 0, lastMove = 0;
    int repeats = 0, downs = 0;
    std::string log;
    bool EvKeyDown(LKey key) override
    {
        const bool moved = VTLabelLayoutPageViewer::EvKeyDown(key);
        ++downs;
        log += "d" + std::to_string(LRunLoop::NowMs() % 100000) + " ";
        if (moved)
            lastKey = LRunLoop::NowMs();
        return moved;
    }
    bool EvKeyRepeat(LKey key) override
    {
        const bool moved = VTLabelLayoutPageViewer::EvKeyRepeat(key);
        log += "r" + std::to_string(LRunLoop::NowMs() % 100000) + " ";
        if (moved) {
            lastKey = LRunLoop::NowMs();
            ++repeats;
        }
        return moved;
    }
    void EvMouseMove(int x, int y) override
    {
        VTLabelLayoutPageViewer::EvMouseMove(x, y);
        if (IsCaptured())
            lastMove = LRunLoop::NowMs();
    }
};

// An A4 layout with one page holding a 120 x 120 insert whose top edge lies half a millimetre
// below a whole millimetre (so its one-pixel outline covers one pixel row).
struct Layout {
    std::unique_ptr<VTLabelLayout> owned = std::make_unique<VTLabelLayout>();
    VTLabelLayout* layout = owned.get();
    VTLabelLayoutTemplate* insert = nullptr;
    VTLabelLayoutTemplate* disc = nullptr;
    Layout()
    {
        layout->SetPaperSize(LPaperSizeA4);
        VTLabelLayoutPage* page = layout->AddPage();
        insert = page->AddTemplate(VTTemplateFormatJewelCaseInsert, layout->NewTemplateID());
        insert->centreY = 60.5f;
        insert->NotifyTransformChanged();
        disc = page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
        disc->centreY = -70.0f;
        disc->NotifyTransformChanged();
    }
};

void SetMargins(const char* w, const char* h)
{
    LUserSettingSetString("Settings", "PaperMarginWidth", w);
    LUserSettingSetString("Settings", "PaperMarginHeight", h);
}

template <class Viewer> struct Window {
    LMacWindow window;
    Viewer viewer;
    LView* host = nullptr;
    Window()
    {
        window.CreateCocoaWindow(kSize, kSize, kStyle, false, nullptr);
        host = window.AddPaintControl(1000, 0, 0, kSize, kSize);
        viewer.Init(window, 1000);
    }
    ~Window()
    {
        viewer.DestroyPaintControl();
        window.DestroyCommon();
    }
    bool Show()
    {
        window.InitCommon(kLCocoaDialogCenterNone, true);
        return uitest::ShowAndWait(window.GetNativeWindow())
            && uitest::PumpUntil([&] { return viewer.GetWidth() == kSize; });
    }
    // A point of the viewer (mm on the page) in points of the window's content.
    void Point(float mmx, float mmy, double& x, double& y)
    {
        const LMatrix<float> m = viewer.CalculateCollectionMatrix();
        const LPointTemplate<float> p = m.TransformPoint(LPointTemplate<float>(mmx, mmy));
        x = p.x / Scale();
        y = p.y / Scale();
    }
    std::string Shot(const char* name)
    {
        return uitest::Screenshot(window.GetNativeWindow(), std::string("page-viewer-") + name);
    }
};

class PageViewers : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        SetMargins("10.0", "10.0");
    }
};

int Shaded(int v)
{
    return int(std::lround(v * (1.0 - 64.0 / 255.0)));
}

} // namespace

TEST_F(PageViewers, PixelsOfSheetMarginsAndSelection)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    {
        // No layout yet: the background alone.
        Picture p(w.viewer);
        EXPECT_EQ(p.Grey(5, 5), 230);
        EXPECT_EQ(p.Grey(165, 165), 230);
    }
    w.viewer.SetLabelLayout(l.layout);
    const LBoundingBox2T<float> box = w.viewer.GetCollectionBoundingBox();
    ASSERT_FLOAT_EQ(box.right - box.left, 210.0f);
    ASSERT_FLOAT_EQ(box.bottom - box.top, 297.0f);
    w.viewer.SetItemSelected(l.insert, true, false);
    Picture p(w.viewer);
    // Around the sheet: the grey background under the shading.
    EXPECT_NEAR(p.Grey(3, 3), Shaded(230), 1);
    // The sheet's frame (y 16.5 at 1 px/mm: row 16), its margin strip and the margin frame.
    EXPECT_EQ(p.Grey(165, 16), 0);
    EXPECT_NEAR(p.Grey(165, 20), Shaded(255), 1);
    EXPECT_EQ(p.Grey(165, 26), 200);
    // Inside the printable rectangle, away from the positions: white.
    EXPECT_EQ(p.Grey(165, 100), 255);
    const Rgb sel = p.At(140, 165);
    EXPECT_EQ(sel.r, 0);
    EXPECT_EQ(sel.g, 183);
    EXPECT_EQ(sel.b, 235);
    // The unselected disc has no blue outline at its top.
    const Rgb disc = p.At(165, int(165 - 70 - 60));
    EXPECT_FALSE(disc.r == 0 && disc.g == 183 && disc.b == 235);
    ASSERT_TRUE(w.Show());
    w.Shot("margins");
}

TEST_F(PageViewers, MarginsZeroOrUnusableDrawNoFrame)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    w.viewer.SetLabelLayout(l.layout);
    const char* values[][2] = { { "0.0", "0.0" }, { "-5", "nan" }, { "abc", "-inf" } };
    for (auto& v : values) {
        SetMargins(v[0], v[1]);
        Picture p(w.viewer);
        EXPECT_EQ(p.Grey(165, 20), 255) << v[0] << " " << v[1];
        EXPECT_EQ(p.Grey(165, 26), 255) << v[0] << " " << v[1];
        EXPECT_EQ(p.Grey(63, 100), 255) << v[0] << " " << v[1];
        EXPECT_NEAR(p.Grey(3, 3), Shaded(230), 1);
    }
}

TEST_F(PageViewers, MarginOverHalfTheSheetLeavesALine)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    w.viewer.SetLabelLayout(l.layout);
    SetMargins("500", "10");
    Picture p(w.viewer);
    // The whole sheet is shaded but for a line down its middle (x 165), where the frame is.
    EXPECT_NEAR(p.Grey(100, 100), Shaded(255), 1);
    EXPECT_NEAR(p.Grey(230, 100), Shaded(255), 1);
    const int line = std::max(p.Grey(164, 100), p.Grey(165, 100));
    EXPECT_GT(line, Shaded(255) + 2);
}

TEST_F(PageViewers, UnknownPrinterGivesAnEmptySheetAndOnlyTheBackground)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    l.layout->SetPrinterTray(VTPrinterTrayDefault);
    w.viewer.SetLabelLayout(l.layout);
    const LBoundingBox2T<float> tray = w.viewer.GetCollectionBoundingBox();
    EXPECT_GT(tray.right - tray.left, 0);
    l.layout->printerTray = VTPrinterTrayID(9999);
    const LBoundingBox2T<float> none = w.viewer.GetCollectionBoundingBox();
    EXPECT_EQ(none.right - none.left, 0);
    EXPECT_EQ(none.bottom - none.top, 0);
    EXPECT_FALSE(w.viewer.HasUsableGeometry());
    w.viewer.SetItemSelected(l.insert, true, false);
    Picture p(w.viewer);
    for (int x : { 0, 100, 165, 329 })
        for (int y : { 0, 165, 329 })
            EXPECT_EQ(p.Grey(x, y), 230) << x << "," << y;
    // Clicks and keys on it hit nothing.
    w.viewer.EvLButtonDown(165, 165);
    w.viewer.EvLButtonUp(165, 165);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), nullptr);
    // Another medium: 0 by 0 as well; no layout: the unit box.
    l.layout->printMedium = VTPrintMediumInvalid;
    EXPECT_EQ(w.viewer.GetCollectionBoundingBox().right, 0);
    EXPECT_EQ(VTLabelLayoutSheetBox(nullptr, true).right, 1);
}

// The stationery dialog lets go of the layout it shows, then frees it: the viewer keeps neither
// the layout nor its page, and paints the background alone.
TEST_F(PageViewers, NoLayoutLetsGoOfTheLayoutAndItsPage)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    w.viewer.SetLabelLayout(l.layout);
    w.viewer.SetItemSelected(l.insert, true, false);
    EXPECT_EQ(Picture(w.viewer).Grey(165, 100), 255);
    w.viewer.SetLabelLayout(nullptr);
    ASSERT_EQ(w.viewer.GetLabelLayout(), nullptr);
    ASSERT_EQ(w.viewer.GetCollection(), nullptr);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), nullptr);
    l.owned.reset();
    Picture p(w.viewer);
    for (int x : { 3, 165, 326 })
        for (int y : { 3, 100, 165 })
            EXPECT_EQ(p.Grey(x, y), 230) << x << "," << y;
    const LBoundingBox2T<float> box = w.viewer.GetCollectionBoundingBox();
    EXPECT_EQ(box.right - box.left, 1);
}

TEST_F(PageViewers, RotatedTemplateDimension)
{
    Window<VTLabelLayoutPageViewer> w;
    Layout l;
    w.viewer.SetLabelLayout(l.layout);
    float hw = -1, hh = -1;
    w.viewer.GetRotatedTemplateDimension(hw, hh);
    EXPECT_EQ(hw, -1); // no selection: unchanged
    VTLabelLayoutTemplate* back = l.layout->pages.GetFirst()->AddTemplate(
        VTTemplateFormatCaseCDBack, l.layout->NewTemplateID());
    float bw = 0, bh = 0;
    back->GetDimensions(bw, bh);
    back->rotation = 90;
    w.viewer.SetItemSelected(back, true, false);
    w.viewer.GetRotatedTemplateDimension(hw, hh);
    EXPECT_NEAR(hw, bh / 2, 1e-3);
    EXPECT_NEAR(hh, bw / 2, 1e-3);
}

// Holding an arrow key (real keyboard, auto-repeat) moves the position with every repeat and
// tells the observers once, 0.25 s after the last repeat.
TEST_F(PageViewers, HeldArrowKeyNotifiesOnceAfterTheLastRepeat)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Window<PageViewer> w;
    Counter counter;
    Layout l;
    w.viewer.AddNotifyee(counter);
    w.viewer.SetLabelLayout(l.layout);
    w.viewer.SetItemSelected(l.insert, true, false);
    ASSERT_TRUE(w.Show());
    w.host->MakeFocus();
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.host->HasFocus(); }));
    const float before = l.insert->centreX;
    {
        uitest::KeyboardLock keys;
        gdk_display_sync(gdk_display_get_default());
        const std::string xid = std::to_string(w.window.GetNativeWindow()->XWindowId());
        bool done = false;
        // The server repeats a held key after 150 ms, every 30 ms (this test's own display).
        uitest::Run("python3 -c '"
                    "import ctypes\n"
                    "x = ctypes.cdll.LoadLibrary(\"libX11.so.6\")\n"
                    "x.XOpenDisplay.restype = ctypes.c_void_p\n"
                    "d = ctypes.c_void_p(x.XOpenDisplay(None))\n"
                    "x.XkbSetAutoRepeatRate(d, 0x100, 150, 30)\n"
                    "x.XSync(d, 0)\n"
                    "x.XCloseDisplay(d)\n' 2>/dev/null");
        // keydown, held 0.6 s, keyup.
        const std::string command
            = "xdotool windowfocus --sync " + xid + " keydown Right sleep 0.6 keyup Right";
        gchar* argv[] = { const_cast<gchar*>("/bin/sh"), const_cast<gchar*>("-c"),
            const_cast<gchar*>(command.c_str()), nullptr };
        GPid pid = 0;
        ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr, GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD),
            nullptr, nullptr, &pid, nullptr));
        g_child_watch_add(
            pid,
            [](GPid p, gint, gpointer d) {
                g_spawn_close_pid(p);
                *static_cast<bool*>(d) = true;
            },
            &done);
        // While the key is held the observers hear nothing.
        uitest::PumpUntil([&] { return done; }, 5000);
        ASSERT_TRUE(done);
    }
    EXPECT_GT(l.insert->centreX, before);
    EXPECT_GT(w.viewer.lastKey, 0);
    EXPECT_GT(w.viewer.repeats, 3) << w.viewer.log;
    EXPECT_TRUE(uitest::PumpUntil([&] { return counter.selections > 0; }, 2000));
    uitest::Pump(400);
    EXPECT_EQ(counter.selections, 1)
        << "keys: " << w.viewer.log << " notified " << counter.last % 100000;
    EXPECT_GE(counter.last - w.viewer.lastKey, 240);
    EXPECT_FALSE(w.viewer.IsRefreshPending());
    w.Shot("moved-by-keys");
}

// A drag with the real pointer: the press selects (one notification), the observers hear of
// the move once, 0.1 s after the last drag step.
TEST_F(PageViewers, DragNotifiesOnceAfterTheLastStep)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Window<PageViewer> w;
    Counter counter;
    Layout l;
    w.viewer.AddNotifyee(counter);
    w.viewer.SetLabelLayout(l.layout);
    ASSERT_TRUE(w.Show());
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    w.Point(20, 60.5f, x0, y0);
    w.Point(50, 60.5f, x1, y1);
    ASSERT_TRUE(uitest::XDragWithin(
        w.window.GetNativeWindow(), x0, y0, x1, y1, [&] { return counter.selections >= 2; }));
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), l.insert);
    EXPECT_NEAR(l.insert->centreX, 30, 2);
    uitest::Pump(300);
    // The press, then one refresh after the last step (a step delayed past 0.1 s by a busy
    // machine may add one in between).
    EXPECT_GE(counter.selections, 2);
    EXPECT_EQ(counter.After(w.viewer.lastMove), 1);
    EXPECT_GE(counter.last - w.viewer.lastMove, 90);
}

// The viewer goes while its refresh is pending: nobody hears of it afterwards.
TEST_F(PageViewers, NoRefreshAfterTheViewerIsGone)
{
    Counter counter;
    Layout l;
    {
        struct Focused : PageViewer {
            bool HasKeyboardFocus() const override { return true; }
        };
        Window<Focused> w;
        w.viewer.AddNotifyee(counter);
        w.viewer.SetLabelLayout(l.layout);
        w.viewer.SetItemSelected(l.insert, true, false);
        EXPECT_TRUE(w.viewer.EvKeyDown(LKey::Special(kVTKeyLeft)));
        EXPECT_TRUE(w.viewer.IsRefreshPending());
        EXPECT_EQ(counter.selections, 0);
    }
    uitest::Pump(500);
    EXPECT_EQ(counter.selections, 0);
}

TEST_F(PageViewers, StationeryClicksSelectNothing)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Window<VTSelectStationeryPageViewer> w;
    Counter counter;
    Layout l;
    w.viewer.AddNotifyee(counter);
    w.viewer.SetLabelLayout(l.layout);
    ASSERT_TRUE(w.Show());
    double x = 0, y = 0;
    w.Point(0, 60.5f, x, y);
    ASSERT_TRUE(uitest::XClick(w.window.GetNativeWindow(), x, y));
    ASSERT_TRUE(uitest::XClickButton(w.window.GetNativeWindow(), x, y, 3));
    uitest::Pump(300);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), nullptr);
    EXPECT_EQ(counter.selections, 0);
    // Keys move nothing either: it does not edit.
    w.viewer.SetItemSelected(l.insert, true, false);
    EXPECT_FALSE(w.viewer.MoveSelectedItemViaKeyCode(kVTKeyLeft, 5));
    w.Shot("stationery");
}

struct SelectorCounter : VTLabelLayoutSelectorViewerNotifyee {
    int calls = 0;
    VTLabelLayoutTemplate* last = nullptr;
    void EvLabelLayoutSelectorViewerChanged(VTLabelLayoutTemplate* tpl) override
    {
        ++calls;
        last = tpl;
    }
};

TEST_F(PageViewers, SelectorKeepsItsTemplateOnEmptyPaper)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Window<VTLabelLayoutSelectorViewer> w;
    SelectorCounter counter;
    Layout l;
    VTProject project(l.owned.release());
    w.viewer.AddNotifyee(counter);
    w.viewer.SetProject(&project);
    w.viewer.SetCollection(l.layout->pages.GetFirst());
    w.viewer.SetItemSelected(l.insert, true, false);
    ASSERT_TRUE(w.Show());
    double x = 0, y = 0;
    // Empty paper, left and right button: the insert stays, nobody is told.
    w.Point(80, -130, x, y);
    ASSERT_TRUE(uitest::XClick(w.window.GetNativeWindow(), x, y));
    ASSERT_TRUE(uitest::XClickButton(w.window.GetNativeWindow(), x, y, 3));
    uitest::Pump(200);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), l.insert);
    EXPECT_EQ(counter.calls, 0);
    // A left click on the disc does nothing either.
    w.Point(0, -70, x, y);
    ASSERT_TRUE(uitest::XClick(w.window.GetNativeWindow(), x, y));
    uitest::Pump(200);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), l.insert);
    // The right button on the disc picks it and reports it.
    ASSERT_TRUE(uitest::XClickButton(w.window.GetNativeWindow(), x, y, 3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return counter.calls > 0; }));
    EXPECT_EQ(counter.last, l.disc);
    EXPECT_EQ(w.viewer.GetSingleSelectedItem(), l.disc);
    // The selector draws no margin frame.
    Picture p(w.viewer);
    EXPECT_NEAR(p.Grey(165, 22), Shaded(255), 1);
    EXPECT_NE(p.Grey(165, 26), 200);
    const Rgb blue = p.At(165, 165 - 70 - 60);
    EXPECT_GT(blue.b, blue.r);
    w.Shot("selector");
}
