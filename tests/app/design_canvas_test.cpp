// The design canvas: fitting, hit tests, selection, drags, resizing, nudges, cursors and painting,
// on a real window (canvas 2000 in its painted-control host), also with real pointer drags.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTItemViewer.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/UI.h"
#include "support/CommandOutput.h"
#include "support/ManyTexts.h"
#include "support/Screenshot.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>

namespace {

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

struct Counter : VTProjectTemplateViewerNotifyee {
    int selections = 0, changes = 0, menus = 0;
    std::function<void()> onChange;
    void EvProjectTemplateViewerSelectionChanged(VTProjectTemplateViewer&) override
    {
        ++selections;
    }
    void EvProjectTemplateViewerOverlayChanged(VTProjectTemplateViewer&) override
    {
        ++changes;
        if (onChange)
            onChange();
    }
    void EvProjectTemplateViewerContextMenuOpen(VTProjectTemplateViewer&) override { ++menus; }
};

class Canvas : public VTProjectTemplateViewer {
public:
    bool focus = true;
    bool HasKeyboardFocus() const override { return focus; }
};

// A window with canvas 2000 (1000 x 500 device pixels) showing a disc design with a text.
struct Fixture {
    LMacWindow window;
    LView* host = nullptr;
    Canvas canvas;
    Counter counter;
    VTProjectTemplate design { VTTemplateFormatDisc };
    VTOverlayText* text = nullptr;

    Fixture()
    {
        window.CreateCocoaWindow(1000, 500, kStyle, false, nullptr);
        host = window.AddPaintControl(2000, 0, 0, 1000, 500);
        canvas.Init(window, 2000);
        canvas.AddNotifyee(counter);
        text = design.AddOverlayText("Hej", 0, 0, 40, 20, "");
        canvas.SetCollection(&design);
    }
    ~Fixture()
    {
        // The design goes before the canvas: the canvas must stop watching it first.
        canvas.SetCollection(nullptr);
        canvas.DestroyPaintControl();
        window.DestroyCommon();
    }
};

// Pixels of a 1000 x 500 canvas in millimetres: 3.75 px/mm, (500, 250) is the origin.
int Px(float mm)
{
    return int(std::lround(500 + mm * 3.75f));
}
int Py(float mm)
{
    return int(std::lround(250 + mm * 3.75f));
}

class DesignCanvas : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

TEST_F(DesignCanvas, Geometry)
{
    Fixture f;
    ASSERT_EQ(f.canvas.GetWidth(), 1000);
    ASSERT_EQ(f.canvas.GetHeight(), 500);
    int w, h, tw, th;
    f.canvas.GetTemplateClientDimension(w, h, tw, th);
    EXPECT_EQ(w, 950);
    EXPECT_EQ(h, 450);
    EXPECT_EQ(tw, 120);
    EXPECT_EQ(th, 120);
    float x, y;
    f.canvas.TransformPointPixelsToMillimetres(x, y, 500, 250);
    EXPECT_NEAR(x, 0, 1e-4);
    EXPECT_NEAR(y, 0, 1e-4);
    f.canvas.TransformPointPixelsToMillimetres(x, y, 525, 250);
    EXPECT_NEAR(x, 25 / 3.75f, 1e-4); // margin 25 px, 3.75 px/mm
    f.canvas.TransformPointPixelsToMillimetres(x, y, 500, 25);
    EXPECT_NEAR(y, -60, 1e-3);
}

TEST_F(DesignCanvas, HitTestBands)
{
    Fixture f;
    auto& t = *f.text; // 40 x 20 at the origin
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(20.99f, 0), &t);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(21.01f, 0), nullptr);
    f.canvas.GetTopmostItemAtPosition(18.9f, 0);
    EXPECT_EQ(t.hitFlags, VTHitInside);
    f.canvas.GetTopmostItemAtPosition(19.5f, 0);
    EXPECT_EQ(t.hitFlags, VTHitRight);

    // A selected overlay's border band wins over an overlay above it; its body does not.
    VTOverlayText* above = f.design.AddOverlayText("Över", 20, 0, 10, 10, "");
    f.canvas.SetItemSelected(&t, true, false);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(19.5f, 0), &t);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(18.0f, 0), above);
}

TEST_F(DesignCanvas, ClickAndDragReportOnce)
{
    Fixture f;
    float atChange = -1;
    f.counter.onChange = [&] { atChange = f.text->centreX; };
    f.canvas.EvLButtonDown(Px(0), Py(0));
    EXPECT_EQ(f.counter.selections, 1);
    EXPECT_EQ(f.canvas.GetSingleSelectedItem(), f.text);
    EXPECT_TRUE(f.canvas.IsCaptured());
    for (int i = 5; i <= 75; i += 5)
        f.canvas.EvMouseMove(Px(0) + i, Py(0));
    f.canvas.EvLButtonUp(Px(0) + 75, Py(0));
    EXPECT_FALSE(f.canvas.IsCaptured());
    EXPECT_EQ(f.counter.changes, 1);
    EXPECT_EQ(atChange, 0.0f); // reported before the first move
    EXPECT_NEAR(f.text->centreX, 20, 1e-3);
    EXPECT_NEAR(f.text->centreY, 0, 1e-3);
    EXPECT_EQ(f.text->placementAlignment, -1);

    // Press and release without moving reports no change.
    f.canvas.EvLButtonDown(Px(20), Py(0));
    f.canvas.EvLButtonUp(Px(20), Py(0));
    EXPECT_EQ(f.counter.changes, 1);
    EXPECT_EQ(f.counter.selections, 2); // the selected item again: one report

    // A click on empty canvas clears the selection and takes no capture.
    f.canvas.EvLButtonDown(Px(-50), Py(-50));
    EXPECT_EQ(f.canvas.GetSingleSelectedItem(), nullptr);
    EXPECT_FALSE(f.canvas.IsCaptured());
    f.canvas.EvMouseMove(Px(-40), Py(-40));
    EXPECT_NEAR(f.text->centreX, 20, 1e-3);
    f.canvas.EvLButtonUp(Px(-40), Py(-40));
}

TEST_F(DesignCanvas, KeyNudges)
{
    Fixture f;
    f.canvas.SetItemSelected(f.text, true, false);
    EXPECT_TRUE(f.canvas.EvKeyDown(LKey::Special(kVTKeyRight)));
    EXPECT_NEAR(f.text->centreX, 0.48f, 1e-4);
    EXPECT_TRUE(f.canvas.EvKeyRepeat(LKey::Special(kVTKeyRight)));
    EXPECT_NEAR(f.text->centreX, 2.08f, 1e-4);
    EXPECT_TRUE(f.canvas.EvKeyDown(LKey::Special(kVTKeyUp)));
    EXPECT_NEAR(f.text->centreY, -0.48f, 1e-4);
    EXPECT_FALSE(f.canvas.EvKeyDown(LKey::Special(36))); // Return is not an arrow
    f.canvas.focus = false;
    EXPECT_FALSE(f.canvas.EvKeyDown(LKey::Special(kVTKeyRight)));
    // Two selected: nothing moves.
    f.canvas.focus = true;
    VTOverlayText* other = f.design.AddOverlayText("B", 30, 30, 10, 10, "");
    f.canvas.SetItemSelected(other, true, false);
    EXPECT_FALSE(f.canvas.EvKeyDown(LKey::Special(kVTKeyRight)));
    EXPECT_FALSE(f.canvas.RotateSelectedItemRight());
}

TEST_F(DesignCanvas, EdgeDragsAndClamps)
{
    Fixture f;
    // Left edge dragged far past the right edge: 2 mm wide.
    f.canvas.EvLButtonDown(Px(-20), Py(0));
    ASSERT_EQ(f.text->hitFlags, VTHitLeft);
    f.canvas.EvMouseMove(Px(-20) + 1, Py(0));
    f.canvas.EvMouseMove(Px(40), Py(0));
    f.canvas.EvLButtonUp(Px(40), Py(0));
    EXPECT_NEAR(f.text->width, 2, 1e-3);
    EXPECT_NEAR(f.text->centreX, 19, 1e-3); // the right edge stayed at 20

    // A far body drag keeps 1 mm inside the 120 mm disc.
    f.text->SetDimensions(40, 20);
    f.text->centreX = 0;
    f.canvas.EvLButtonDown(Px(0), Py(0));
    f.canvas.EvMouseMove(Px(0) + 1, Py(0));
    f.canvas.EvMouseMove(999, Py(0));
    f.canvas.EvLButtonUp(999, Py(0));
    EXPECT_NEAR(f.text->centreX, 60 + 19, 1e-3);
}

TEST_F(DesignCanvas, KeepAspectImage)
{
    Fixture f;
    auto* image = new VTOverlayImage;
    LImageBuffer pixels;
    pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 400, 200));
    image->SetImage(pixels);
    image->SetDimensions(40, 20);
    image->centreX = image->centreY = 0;
    image->SetMaintainAspectRatio(true);
    f.design.InsertOverlay(image, false);
    f.design.DeleteItem(f.text);
    f.canvas.EvLButtonDown(Px(20), Py(0)); // right edge
    ASSERT_EQ(image->hitFlags, VTHitRight);
    f.canvas.EvMouseMove(Px(20) + 1, Py(0));
    f.canvas.EvMouseMove(Px(40), Py(0));
    f.canvas.EvLButtonUp(Px(40), Py(0));
    EXPECT_NEAR(image->width, 60, 1e-2);
    EXPECT_NEAR(image->height, 30, 1e-2);
}

TEST_F(DesignCanvas, Cursors)
{
    Fixture f;
    f.canvas.EvLButtonDown(Px(0), Py(0));
    EXPECT_EQ(f.canvas.lastCursor, VTItemViewerCursorHandClosed);
    f.canvas.EvLButtonUp(Px(0), Py(0));
    EXPECT_EQ(f.canvas.lastCursor, VTItemViewerCursorHand);
    struct {
        float x, y;
        VTItemViewerCursor cursor;
    } cases[] = {
        { 0, -10, VTItemViewerCursorUpDown },
        { 0, 10, VTItemViewerCursorUpDown },
        { -20, 0, VTItemViewerCursorLeftRight },
        { -20, -10, VTItemViewerCursorNWSE },
        { 20, 10, VTItemViewerCursorNWSE },
        { 20, -10, VTItemViewerCursorNESW },
        { -20, 10, VTItemViewerCursorNESW },
        { 40, 40, VTItemViewerCursorArrow },
    };
    for (const auto& c : cases) {
        f.canvas.lastMouseX = Px(c.x);
        f.canvas.lastMouseY = Py(c.y);
        f.canvas.SetMouseCursor(c.x, c.y);
        EXPECT_EQ(f.canvas.lastCursor, c.cursor) << c.x << "," << c.y;
    }
    // Turned a quarter: its own left edge is on top and shows up-down.
    f.text->Rotate(90);
    f.canvas.SetMouseCursor(0, -20);
    EXPECT_EQ(f.canvas.lastCursor, VTItemViewerCursorUpDown);
    // Without editing: the hand over the edges too.
    f.canvas.allowEdit = false;
    f.canvas.SetMouseCursor(0, -20);
    EXPECT_EQ(f.canvas.lastCursor, VTItemViewerCursorHand);
}

TEST_F(DesignCanvas, DesignWithoutGeometryHitsNothing)
{
    Fixture f;
    f.design.data.Reset(nullptr);
    EXPECT_FALSE(f.canvas.HasUsableGeometry());
    EXPECT_TRUE(f.canvas.CalculateCollectionMatrix().IsIdentity());
    f.canvas.EvLButtonDown(Px(0), Py(0));
    EXPECT_EQ(f.canvas.GetSingleSelectedItem(), nullptr);
    EXPECT_FALSE(f.canvas.IsCaptured());
}

TEST_F(DesignCanvas, CircularTextRadiusStaysPositive)
{
    Fixture f;
    auto* circ = new VTOverlayCircularText();
    f.design.InsertOverlay(circ, false);
    circ->outerRadius = 40;
    circ->SetDimensions(80, 80);
    circ->hitFlags = VTHitInside;
    f.canvas.SetItemSelected(circ, true, false);
    for (auto* n = f.canvas.selectedItems.first; n; n = n->next)
        (void)n;
    f.canvas.SetCapture();
    f.canvas.lastMouseX = Px(0);
    f.canvas.lastMouseY = Py(0);
    f.canvas.dragAnchorX = f.canvas.dragAnchorY = 0;
    f.canvas.EvMouseMove(Px(0), Py(200)); // far down: the radius would go negative
    EXPECT_TRUE(std::isfinite(circ->outerRadius));
    EXPECT_GE(circ->outerRadius, 1.0f);
    f.canvas.ReleaseCapture();
}

TEST_F(DesignCanvas, DeletedWhileDraggedLeavesSelection)
{
    Fixture f;
    f.canvas.EvLButtonDown(Px(0), Py(0));
    ASSERT_TRUE(f.canvas.IsCaptured());
    f.design.DeleteItem(f.text);
    EXPECT_EQ(f.canvas.GetSingleSelectedItem(), nullptr);
    EXPECT_FALSE(f.canvas.IsCaptured());
    f.canvas.EvMouseMove(Px(10), Py(0));
    f.canvas.EvLButtonUp(Px(10), Py(0));
}

TEST_F(DesignCanvas, BackgroundNeverLeavesTheBottom)
{
    Fixture f;
    auto* bg = new VTOverlayImageBackground;
    f.design.InsertOverlay(bg, false);
    ASSERT_EQ(f.design.first, bg);
    f.canvas.SetItemSelected(f.text, true, false);
    EXPECT_FALSE(f.canvas.LowerItem());
    f.canvas.ClearSelectedItems();
    f.canvas.SetItemSelected(bg, true, false);
    EXPECT_FALSE(f.canvas.RaiseItem());
    EXPECT_EQ(f.design.first, bg);
}

// --- painting on image surfaces

struct Picture {
    cairo_surface_t* surface;
    explicit Picture(VTProjectTemplateViewer& canvas)
    {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000, 500);
        cairo_t* cr = cairo_create(surface);
        canvas.PaintInContext(cr, LUiRect { 0, 0, 1000, 500 }, 1.0, 1000, 500, true);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    ~Picture() { cairo_surface_destroy(surface); }
    void At(int x, int y, int& r, int& g, int& b) const
    {
        const unsigned char* d = cairo_image_surface_get_data(surface);
        const uint32_t v = *reinterpret_cast<const uint32_t*>(
            d + y * cairo_image_surface_get_stride(surface) + x * 4);
        r = (v >> 16) & 255;
        g = (v >> 8) & 255;
        b = v & 255;
    }
};

TEST_F(DesignCanvas, Painting)
{
    Fixture f;
    int r, g, b;
    {
        f.canvas.SetCollection(nullptr);
        Picture p(f.canvas);
        for (int y : { 0, 250, 499 })
            for (int x : { 0, 500, 999 }) {
                p.At(x, y, r, g, b);
                EXPECT_EQ(r, 230);
                EXPECT_EQ(g, 230);
                EXPECT_EQ(b, 230);
            }
    }
    f.canvas.SetCollection(&f.design);
    f.canvas.SetItemSelected(f.text, true, false);
    Picture p(f.canvas);
    p.At(2, 2, r, g, b); // outside the disc: 64/255 black over the grey
    EXPECT_NEAR(r, 172, 1);
    EXPECT_NEAR(g, 172, 1);
    EXPECT_NEAR(b, 172, 1);
    p.At(Px(0), Py(-40), r, g, b); // on the label: its white background
    EXPECT_GT(r, 240);
    // A handle at the text's top-left corner.
    p.At(Px(-20), Py(-10), r, g, b);
    EXPECT_EQ(r, 100);
    EXPECT_EQ(g, 149);
    EXPECT_EQ(b, 237);
    const std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts";
    mkdir(dir.c_str(), 0755);
    cairo_surface_write_to_png(p.surface, (dir + "/design-canvas-paint.png").c_str());

    // Two selected: no frame and no handles.
    VTOverlayText* other = f.design.AddOverlayText("B", 40, 40, 10, 10, "");
    f.canvas.SetItemSelected(other, true, false);
    Picture two(f.canvas);
    two.At(Px(-20), Py(-10), r, g, b);
    EXPECT_FALSE(r == 100 && g == 149 && b == 237);
}

TEST_F(DesignCanvas, DisabledDimsAndRadiusClips)
{
    Fixture f;
    f.canvas.SetCollection(nullptr);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 50);
    cairo_t* cr = cairo_create(s);
    f.canvas.SetPaintControlSize(100, 50);
    f.canvas.cornerRadius = 4;
    f.canvas.PaintInContext(cr, LUiRect { 0, 0, 100, 50 }, 1.0, 100, 50, false);
    cairo_surface_flush(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    auto alpha = [&](int x, int y) { return d[y * stride + x * 4 + 3]; };
    EXPECT_EQ(alpha(0, 25), 0); // the outer ring stays unpainted
    EXPECT_EQ(alpha(50, 0), 0);
    EXPECT_NEAR(alpha(50, 25), 128, 1); // half alpha
    f.canvas.bDimWhenDisabled = false;
    f.canvas.PaintInContext(cr, LUiRect { 0, 0, 100, 50 }, 1.0, 100, 50, false);
    cairo_surface_flush(s);
    EXPECT_EQ(alpha(50, 25), 255);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// A 24-megapixel photograph (ImageMagick's gradient, shapes and noise) on a case front in a real
// window. The screenshot shows it as ImageMagick reduces it to the pixels it covers (-scale), and
// what the canvas keeps for it is one copy of that size: 0.4 % of the picture's pixels.
TEST_F(DesignCanvas, LargePictureShowsAsImageMagickReducesIt)
{
    if (CommandOutput("command -v /usr/bin/convert").empty())
        GTEST_SKIP() << "no ImageMagick";
    const char* tmp = std::getenv("TMPDIR");
    TemporaryFolder folder(tmp && *tmp ? tmp : nullptr);
    const std::string photo = folder / "photo.ppm";
    CommandOutput("/usr/bin/convert -size 6000x4000 gradient:navy-orange -fill yellow -draw "
                  "'circle 1500,2000 1500,800' -fill white -draw 'rectangle 3600,600 5400,1400' "
                  "-fill black -draw 'line 0,3900 6000,100' -attenuate 0.4 +noise Gaussian "
                  "-depth 8 '"
        + photo + "'");
    const std::string bytes = TemporaryFolder::ReadFile(photo);
    std::istringstream header(bytes);
    std::string magic;
    int pw = 0, ph = 0, max = 0;
    header >> magic >> pw >> ph >> max;
    header.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_EQ(pw, 6000);
    ASSERT_EQ(ph, 4000);
    const size_t start = size_t(header.tellg());
    ASSERT_EQ(bytes.size() - start, size_t(pw) * size_t(ph) * 3);
    LImageBuffer pixels(LImageFormat(LPixelFormatB8G8R8A8, pw, ph));
    for (int y = 0; y < ph; ++y) {
        const uint8_t* from
            = reinterpret_cast<const uint8_t*>(bytes.data()) + start + size_t(y) * size_t(pw) * 3;
        uint8_t* to = pixels.GetRow(y);
        for (int x = 0; x < pw; ++x, from += 3, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = 255;
        }
    }

    VTProjectTemplate front { VTTemplateFormatCaseCDFront }; // outlives the fixture's canvas
    Fixture f;
    auto* picture = new VTOverlayImage;
    picture->SetImage(pixels);
    pixels.Reset();
    picture->SetDimensions(90, 60);
    picture->centreX = 60; // on the front, clear of the fold line
    front.InsertOverlay(picture, false);
    f.canvas.SetCollection(&front);
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    const std::string shot = uitest::Screenshot(f.window.GetNativeWindow(), "design-canvas-photo");
    ASSERT_FALSE(shot.empty());

    // Where the picture lies in the screenshot, in device pixels.
    GtkWidget* widget = f.host->Widget();
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int wx = 0, wy = 0;
    gtk_widget_translate_coordinates(widget, top, 0, 0, &wx, &wy);
    const int s = gtk_widget_get_scale_factor(widget);
    const float k = float(gtk_widget_get_allocated_width(widget) * s) / f.canvas.GetWidth();
    const LMatrix<float> m = f.canvas.CalculateCollectionMatrix();
    const LPointTemplate<float> a = m.TransformPoint(LPointTemplate<float>(15, -30));
    const LPointTemplate<float> b = m.TransformPoint(LPointTemplate<float>(105, 30));
    const int left = wx * s + int(std::lround(a.x * k)), topPx = wy * s + int(std::lround(a.y * k));
    const int w = int(std::lround((b.x - a.x) * k)), h = int(std::lround((b.y - a.y) * k));
    ASSERT_GT(w, 200);

    cairo_surface_t* png = cairo_image_surface_create_from_png(shot.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    ASSERT_GE(cairo_image_surface_get_width(png), left + w);
    ASSERT_GE(cairo_image_surface_get_height(png), topPx + h);
    const std::string reference = CommandOutput("/usr/bin/convert '" + photo + "' -scale "
        + std::to_string(w) + "x" + std::to_string(h) + "! -depth 8 ppm:-");
    ASSERT_GT(reference.size(), size_t(w) * size_t(h) * 3);
    const uint8_t* want = reinterpret_cast<const uint8_t*>(reference.data()) + reference.size()
        - size_t(w) * size_t(h) * 3;
    const uint8_t* got = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    // The picture's edge pixels are left out: the canvas draws its outline and handles there.
    double sum = 0;
    int worst = 0, n = 0;
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w - 3; ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(got[(topPx + y) * stride + (left + x) * 4 + 2 - c])
                    - int(want[(size_t(y) * w + x) * 3 + c]));
                sum += d * d;
                worst = std::max(worst, d);
                ++n;
            }
    cairo_surface_destroy(png);
    const double rmse = std::sqrt(sum / n);
    std::printf("picture at %d,%d, %d x %d device pixels: RMSE %.2f, largest difference %d\n", left,
        topPx, w, h, rmse, worst);
    EXPECT_LT(rmse, 1.0);
    EXPECT_LE(worst, 2);

    const LScreenImageCopies& copies = picture->GetImage().GetScreenCopies();
    EXPECT_EQ(copies.GetCount(), 1u);
    EXPECT_EQ(copies.GetBytes(), size_t(w) * size_t(h) * 4);
    EXPECT_LT(copies.GetBytes(), size_t(pw) * size_t(ph) * 4 / 100);
}

// Synthesised pointer events through the host view: press, moves, release.
TEST_F(DesignCanvas, EventDrag)
{
    Fixture f;
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    const double s = Scale();
    uitest::SendButton(f.host, Px(0) / s, Py(0) / s, 1, true);
    for (int i = 1; i <= 5; ++i)
        uitest::SendMotion(f.host, (Px(0) + 15 * i) / s, Py(0) / s, GDK_BUTTON1_MASK);
    uitest::SendButton(f.host, (Px(0) + 75) / s, Py(0) / s, 1, false);
    uitest::Pump(50);
    EXPECT_NEAR(f.text->centreX, 20, 0.3);
    EXPECT_EQ(f.counter.changes, 1);
    EXPECT_FALSE(f.canvas.IsCaptured());
}

// Real pointer: a drag with xdotool moves the text 20 mm.
TEST_F(DesignCanvas, RealPointerDrag)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    const double s = Scale();
    const bool done = uitest::XDragWithin(f.window.GetNativeWindow(), Px(0) / s, Py(0) / s,
        (Px(0) + 75) / s, Py(0) / s,
        [&] { return std::fabs(f.text->centreX - 20) < 0.3f && !f.canvas.IsCaptured(); });
    EXPECT_TRUE(done) << f.text->centreX;
    EXPECT_EQ(f.counter.changes, 1);
    uitest::Screenshot(f.window.GetNativeWindow(), "design-canvas-drag");
}

// Real pointer: the bottom-right corner dragged 10 mm right and 5 mm down resizes the text.
TEST_F(DesignCanvas, RealPointerCornerResize)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    const double s = Scale();
    const bool done = uitest::XDragWithin(f.window.GetNativeWindow(), Px(20) / s, Py(10) / s,
        (Px(20) + 37.5) / s, (Py(10) + 18.75) / s,
        [&] { return std::fabs(f.text->width - 50) < 0.6f && !f.canvas.IsCaptured(); });
    EXPECT_TRUE(done) << f.text->width << " x " << f.text->height;
    EXPECT_NEAR(f.text->height, 25, 0.6);
    EXPECT_NEAR(f.text->centreX, 5, 0.3); // the top-left corner stayed
    EXPECT_NEAR(f.text->centreY, 2.5, 0.3);
    uitest::Screenshot(f.window.GetNativeWindow(), "design-canvas-corner");
}

// A press within a handle drawn for the single selected overlay acts on that overlay, even
// outside its own hit test (a handle is 5 pixels, 1.33 mm here, from its corner; the border band
// 1 mm): a straight text's corner resizes, a curved text's corner drags its radius.
TEST_F(DesignCanvas, HandlesActOnTheSelectedOverlay)
{
    Fixture f;
    auto& t = *f.text; // 40 x 20 at the origin
    VTOverlayText* above = f.design.AddOverlayText("Över", 21.2f, 11.2f, 10, 10, "");
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(21.2f, 11.2f), above);
    f.canvas.SetItemSelected(&t, true, false);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(21.2f, 11.2f), &t);
    EXPECT_EQ(t.hitFlags, VTHitBottom | VTHitRight);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(21.5f, 11.5f), above); // beyond the handle
    // Without a selection, or with two, the handles are not drawn: the topmost overlay.
    f.canvas.SetItemSelected(above, true, false);
    EXPECT_EQ(f.canvas.GetTopmostItemAtPosition(21.2f, 11.2f), above);
}

// Real pointer: a curved text over a straight one; once the curved text is selected, a drag from
// its top-left handle (outside its band, over the straight text) changes its radius and leaves
// the straight text alone.
TEST_F(DesignCanvas, RealPointerCurvedTextHandleDragsTheRadius)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    VTOverlayText* under = f.design.AddOverlayText("Under", -40, -40, 20, 10, "");
    auto* circ = new VTOverlayCircularText(
        "Runt", LGuiFontEx(LGuiFont(12, false, false, false, "DejaVu Sans", false)));
    circ->centreAngle = 270;
    circ->outerRadius = 40;
    circ->SetDimensions(80, 80);
    f.design.InsertOverlay(circ, false);
    f.window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.window.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return circ->bandThickness > 0; }));
    const double s = Scale();
    // A click on the band at its top selects the curved text.
    const float band = circ->outerRadius - circ->bandThickness / 2;
    ASSERT_TRUE(uitest::XClick(f.window.GetNativeWindow(), Px(0) / s, Py(-band) / s));
    ASSERT_TRUE(uitest::PumpUntil([&] { return f.canvas.GetSingleSelectedItem() == circ; }));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.canvas.IsCaptured(); }));
    f.counter.changes = 0;

    // 5 mm up from the corner: the radius grows by 5 mm.
    const bool done = uitest::XDragWithin(f.window.GetNativeWindow(), Px(-40) / s, Py(-40) / s,
        Px(-40) / s, (Py(-40) - 18.75) / s,
        [&] { return std::fabs(circ->outerRadius - 45) < 0.3f && !f.canvas.IsCaptured(); });
    EXPECT_TRUE(done) << circ->outerRadius;
    EXPECT_EQ(f.canvas.GetSingleSelectedItem(), circ);
    EXPECT_EQ(f.counter.changes, 1);
    EXPECT_FLOAT_EQ(under->centreX, -40);
    EXPECT_FLOAT_EQ(under->centreY, -40);
    EXPECT_FLOAT_EQ(under->width, 20);
    uitest::Screenshot(f.window.GetNativeWindow(), "design-canvas-curved-text-handle");
}

// A page shown a quarter turned: the fitting swaps its sides, and Up still moves up on screen.
struct Item final : VTItemHitTestable {
    Item* next = nullptr;
    float w = 10, h = 10;
    int GetItemType() const override { return VTItemTypeLabelLayoutTemplate; }
    void GetDimensions(float& width, float& height) const override
    {
        width = w;
        height = h;
    }
};
struct Page : VTItemCollection<Item> {
    float GetRotationAngle() const override { return 90.0f; }
    void Paint(LPaintContext&) const { }
};
class PageViewer : public VTItemViewer<Page, Item> {
public:
    PageViewer()
        : VTItemViewer<Page, Item>(true, false)
    {
    }
    void NotifyItemSelectionChanged() override { }
    void NotifyItemChanged() override { }
    LBoundingBox2T<float> GetCollectionBoundingBox() const override
    {
        return LBoundingBox2T<float>(-150, -100, 150, 100); // landscape, 300 x 200 mm
    }
    bool HasKeyboardFocus() const override { return true; }
};

TEST_F(DesignCanvas, TurnedPageKeepsScreenDirections)
{
    Page page;
    auto* item = new Item;
    page.AddItem(item, false);
    PageViewer viewer;
    viewer.SetPaintControlSize(1000, 500);
    viewer.SetCollection(&page);
    // Turned, 200 mm across and 300 mm down: 450 / 300 = 1.5 px/mm.
    const LMatrix<float> m = viewer.CalculateCollectionMatrix();
    EXPECT_NEAR(std::hypot(m.m[0][0], m.m[0][1]), 1.5f, 1e-5);
    viewer.SetItemSelected(item, true, false);
    ASSERT_TRUE(viewer.EvKeyDown(LKey::Special(kVTKeyUp)));
    const LPointTemplate<float> onScreen
        = m.TransformPoint(LPointTemplate<float>(item->centreX, item->centreY));
    EXPECT_NEAR(onScreen.x, 500, 1e-3);
    EXPECT_LT(onScreen.y, 250);
    // Without editing the keys move nothing.
    viewer.allowEdit = false;
    EXPECT_FALSE(viewer.EvKeyDown(LKey::Special(kVTKeyUp)));
}

} // namespace

namespace {

// A canvas that notes whether its paints drew stand-ins for pictures whose copies were not made.
class WatchedCanvas : public Canvas {
public:
    int paints = 0, stoodIn = 0;
    bool pending = false; // in the last paint
    void Prepaint(LPaintContext& context) override
    {
        Canvas::Prepaint(context);
        ++paints;
        pending = context.mPicturesPending;
        stoodIn += pending;
    }
};

} // namespace

// A picture's first paint at a size draws a stand-in and asks a worker for its copy: the canvas
// paints again by itself once the copy is made, and then shows the picture. Also in a design of
// many overlays, which the canvas paints in slices into a picture of its own.
TEST_F(DesignCanvas, APictureShowsOnceItsCopyIsMade)
{
    for (const bool many : { false, true }) {
        SCOPED_TRACE(many ? "painted in slices" : "painted whole");
        VTProjectTemplate design { VTTemplateFormatDisc }; // outlives the canvas's use of it
        LMacWindow window;
        window.CreateCocoaWindow(1000, 500, kStyle, false, nullptr);
        window.AddPaintControl(2000, 0, 0, 1000, 500);
        WatchedCanvas canvas;
        canvas.Init(window, 2000);
        if (many)
            for (int i = 0; i < 1200; ++i)
                design.AddOverlayText(
                    "·", float(i % 40) * 2 - 40, float(i / 40) * 2 - 30, 2, 2, "");
        LImageBuffer pixels(LImageFormat(LPixelFormatB8G8R8A8, 2400, 1600));
        for (int y = 0; y < 1600; ++y) {
            uint8_t* p = pixels.GetRow(y);
            for (int x = 0; x < 2400; ++x, p += 4) {
                p[0] = uint8_t(40 + y / 16);
                p[1] = uint8_t(60 + x / 24);
                p[2] = 220;
                p[3] = 255;
            }
        }
        auto* picture = new VTOverlayImage;
        picture->SetImage(pixels);
        picture->SetDimensions(80, 53.3f);
        design.InsertOverlay(picture, false);
        canvas.SetCollection(&design);
        window.InitCommon(kLCocoaDialogCenterNone, true);
        ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
        // Painted in slices, the first paints may end before they come to the picture (a slow
        // machine paints few overlays a slice): waited for until its copy is made and shown.
        EXPECT_TRUE(uitest::PumpUntil(
            [&] {
                return canvas.paints > 0 && !canvas.pending && !LScreenImageCopies::Busy()
                    && picture->GetImage().GetScreenCopies().GetCount() > 0;
            },
            30000))
            << canvas.paints << " paints, the last one with a stand-in";
        EXPECT_GE(canvas.stoodIn, 1) << "the first paint did not draw a stand-in";
        EXPECT_EQ(picture->GetImage().GetScreenCopies().GetCount(), 1u);
        uitest::Screenshot(
            window.GetNativeWindow(), many ? "design-canvas-copy-sliced" : "design-canvas-copy");
        canvas.SetCollection(nullptr);
        canvas.DestroyPaintControl();
        window.DestroyCommon();
    }
}

namespace {

// The canvas painted on an image surface of 1000 x 500 device pixels as a window paints it: a
// design of many overlays one slice a paint.
struct Offscreen {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000, 500);
    ~Offscreen() { cairo_surface_destroy(surface); }
    std::string Paint(VTProjectTemplateViewer& canvas, bool forScreen = true)
    {
        cairo_t* cr = cairo_create(surface);
        if (forScreen) {
            canvas.PaintInContext(cr, LUiRect { 0, 0, 1000.0, 500.0 }, 1, 1000.0, 500.0, true);
        } else {
            // Painted whole, as paper and files get a design.
            LPaintContext context(cr, 1000, 500);
            canvas.Prepaint(context);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        return std::string(reinterpret_cast<const char*>(cairo_image_surface_get_data(surface)),
            size_t(cairo_image_surface_get_stride(surface)) * 500);
    }
    // Paints until a paint shows the whole design.
    std::string PaintWhole(VTProjectTemplateViewer& canvas, int* paints = nullptr)
    {
        std::string shown = Paint(canvas);
        int n = 1;
        for (; n < 10000 && !canvas.WasDesignWhole(); ++n)
            shown = Paint(canvas);
        if (paints)
            *paints = n;
        return shown;
    }
};

} // namespace

// A design of many overlays painted in slices, each slice going on from where the one before
// stopped, shows what the design painted whole shows, and shows it again at once when nothing
// changed; a design whose list of overlays is swapped
// for another between two slices (as an undo step of a whole design does) starts again and shows
// the other list, not the rest of the old one.
TEST_F(DesignCanvas, ADesignPaintedInSlicesShowsWhatItShowsWhole)
{
    VTProjectTemplate design { VTTemplateFormatDisc };
    AddTexts(design, 6000, "Spår");
    Canvas canvas;
    canvas.SetPaintControlSize(1000, 500);
    canvas.SetCollection(&design);
    Offscreen screen;
    const std::string whole = screen.Paint(canvas, false);
    int paints = 0;
    EXPECT_LE(Worst(screen.PaintWhole(canvas, &paints), whole), 2);
    std::printf("%d paints for the design of 6000 texts\n", paints);
    // Painted again unchanged (the window uncovered): the whole picture, not a new one in slices.
    EXPECT_LE(Worst(screen.Paint(canvas), whole), 2);
    EXPECT_TRUE(canvas.WasDesignWhole()) << "an unchanged design is painted anew";

    // Swapped after the first slice of a new picture, the old list kept alive (an undo step
    // holds it): the slices that follow must not go on along it.
    VTOverlayList other;
    AddTexts(other, 3000, "Mörk text");
    canvas.Invalidate();
    screen.Paint(canvas);
    design.SwapOverlayList(other);
    const std::string swapped = screen.PaintWhole(canvas);
    const std::string swappedWhole = screen.Paint(canvas, false);
    EXPECT_GT(Worst(swappedWhole, whole), 100) << "the lists show the same";
    EXPECT_LE(Worst(swapped, swappedWhole), 2);
    canvas.SetCollection(nullptr);
}

// While a design of many overlays is painted in slices, work posted to the main loop (a later
// start's next step, its answer) runs between two slices, not once the whole design is painted.
TEST_F(DesignCanvas, PostedWorkRunsBetweenTheSlicesOfAPaint)
{
    VTProjectTemplate design { VTTemplateFormatDisc };
    AddTexts(design, 30000, "Spår");
    LMacWindow window;
    window.CreateCocoaWindow(1000, 500, kStyle, false, nullptr);
    window.AddPaintControl(2000, 0, 0, 1000, 500);
    WatchedCanvas canvas;
    canvas.Init(window, 2000);
    canvas.SetCollection(&design);
    window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return canvas.paints > 0; }, 30000));
    const int postedAfter = canvas.paints;
    int ranAfter = -1;
    bool wholeThen = true;
    LRunLoop::Post([&] {
        ranAfter = canvas.paints;
        wholeThen = canvas.WasDesignWhole();
    });
    EXPECT_TRUE(uitest::PumpUntil([&] { return ranAfter >= 0; }, 60000));
    EXPECT_TRUE(uitest::PumpUntil([&] { return canvas.WasDesignWhole(); }, 120000));
    std::printf("work posted after paint %d ran after paint %d of %d\n", postedAfter, ranAfter,
        canvas.paints);
    EXPECT_FALSE(wholeThen) << "the posted work waited for the whole design";
    // At most the slice under way and the next one before it.
    EXPECT_LE(ranAfter - postedAfter, 2);
    EXPECT_GE(canvas.paints - postedAfter, 5) << "too few slices to tell";
    canvas.SetCollection(nullptr);
    canvas.DestroyPaintControl();
    window.DestroyCommon();
}
