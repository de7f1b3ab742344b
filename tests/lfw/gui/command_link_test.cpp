// Command-link buttons on real windows: texts, measuring, painting, the press that is cancelled
// by leaving, and the choice dialog with command links clicked and chosen with the keyboard.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LCommandLinkButton.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cairo.h>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

int R(double v)
{
    return int(v + 0.5);
}

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("command-link", name);
}

class ProbeWindow : public LMacWindow {
public:
    int posted = 0;
    void Command(int id, int code) override
    {
        if (id == 205)
            ++posted;
        LMacWindow::Command(id, code);
    }
};

struct TestWindow {
    ProbeWindow window;
    TestWindow() { window.CreateCocoaWindow(700, 300, kStyle, false, nullptr); }
    ~TestWindow() { window.DestroyCommon(); }
};

LCommandLinkButton* ButtonOf(LMacWindow& window, int id)
{
    auto* host = dynamic_cast<LCocoaCommandLinkButton*>(window.GetControlHandle(id));
    return host ? host->cmdLinkBtn() : nullptr;
}

// Paints the button into an image of its size and reads one pixel (grey level of red).
int PaintedRed(LCommandLinkButton& b, int x, int y)
{
    cairo_surface_t* s
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.GetWidth(), b.GetHeight());
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    {
        LPaintContext context(cr, b.GetWidth(), b.GetHeight());
        context.SetView(b.GetPaintView());
        b.Paint(context);
    }
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int red = data[y * cairo_image_surface_get_stride(s) + x * 4 + 2];
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return red;
}

using uitest::When;

bool Shown(LMacWindow& w)
{
    return w.GetNativeWindow() && w.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(w.GetNativeWindow()->Gtk())) && w.IsInitialised();
}

void XClickControl(LMacWindow& w, int id)
{
    LView* v = w.GetControlHandle(id);
    ASSERT_NE(v, nullptr);
    LUiRect f = v->Frame();
    LUiPoint p = v->Superview()->ConvertToRoot(LUiPoint { f.x + f.width / 2, f.y + f.height / 2 });
    uitest::XClick(w.GetNativeWindow(), p.x, p.y);
}

void XKeyTo(LMacWindow& w, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool windowfocus --sync " + std::to_string(w.GetNativeWindow()->XWindowId())
        + " key " + key);
}

class CommandLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        // The arrow is rasterised into the build's resources.
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        haveArrow = access((built + "/resources/png/307.png").c_str(), R_OK) == 0;
        if (haveArrow)
            setenv("VT_RESOURCES_DIR", built.c_str(), 1);
    }
    bool haveArrow = false;
};

} // namespace

TEST_F(CommandLink, TextsLoseTheirMarksAndAreCut)
{
    TestWindow w;
    std::string longNote(400, 'x');
    LCommandLinkButton::AddCommandLink(w.window, 200, "&Spara && avsluta", longNote.c_str());
    LCommandLinkButton* b = ButtonOf(w.window, 200);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->GetTitle(), "Spara & avsluta");
    EXPECT_EQ(std::string(b->GetNote()), std::string(259, 'x'));
    EXPECT_TRUE(b->IsBound());
    // No view under the id: unbound, measures nothing.
    LCommandLinkButton loose;
    loose.Init(w.window, 999, "a", "b");
    EXPECT_FALSE(loose.IsBound());
    int lw = -1, lh = -1;
    loose.MeasureCommandLinkButtonSizePixels(lw, lh);
    EXPECT_EQ(lw, 0);
    EXPECT_EQ(lh, 0);
    // An id that is no command link measures 0, 0 too.
    w.window.AddStatic(300, "text");
    LCommandLinkButton::MeasureCommandLinkButtonSizePixels(w.window, 300, lw, lh);
    EXPECT_EQ(lw, 0);
    EXPECT_EQ(lh, 0);
}

TEST_F(CommandLink, MeasuresTitleAndWrappedNote)
{
    TestWindow w;
    const float cw = w.window.CharWidthPixels(), ch = w.window.CharHeightPixels();
    const int q = R(0.25 * cw), a = R(1.25 * cw), i = R(2 * cw), b = R(0.59 * ch), n = R(1.5 * cw),
              limit = R(62 * cw);
    LCommandLinkButton::AddCommandLink(w.window, 200, "Installera", "");
    LCommandLinkButton::AddCommandLink(w.window, 201, "Installera", "Kort not");
    std::string longNote;
    for (int k = 0; k < 30; ++k)
        longNote += "ord och mening ";
    LCommandLinkButton::AddCommandLink(w.window, 202, "Installera", longNote.c_str());

    int w0 = 0, h0 = 0, w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    LCommandLinkButton::MeasureCommandLinkButtonSizePixels(w.window, 200, w0, h0);
    LCommandLinkButton::MeasureCommandLinkButtonSizePixels(w.window, 201, w1, h1);
    LCommandLinkButton::MeasureCommandLinkButtonSizePixels(w.window, 202, w2, h2);
    // Empty note: the title (wider than the indent) decides; the height holds no note line.
    const int titleWidth = w0 - 2 * (i + q + a);
    EXPECT_GT(titleWidth, n);
    const int titleHeight = h0 - 3 * b - 2 * q;
    EXPECT_GT(titleHeight, int(ch * 0.9));
    EXPECT_LT(titleHeight, int(ch * 2.5));
    // A short note keeps its natural width plus the indent and adds one line.
    EXPECT_GT(h1, h0);
    EXPECT_GE(w1, w0);
    // A long note wraps in a column of 62 character widths: several lines high.
    EXPECT_EQ(w2, limit + 2 * (i + q + a));
    EXPECT_GT(h2 - h0, 3 * (h1 - h0));
}

TEST_F(CommandLink, PressCancelledByLeavingAndPaintFollowsState)
{
    TestWindow w;
    LView* host = LCommandLinkButton::AddCommandLink(w.window, 205, "Titel", "Not");
    ASSERT_NE(host, nullptr);
    host->SetFrame(LUiRect { 10, 10, 300, 60 });
    LCommandLinkButton* b = ButtonOf(w.window, 205);
    ASSERT_NE(b, nullptr);
    b->UpdateSize();
    int& posted = w.window.posted;
    const int mx = b->GetWidth() - 6, my = b->GetHeight() / 2;
    // The arrow (green) sits left of the title.
    if (haveArrow) {
        const float cw = w.window.CharWidthPixels();
        const int q = R(0.25 * cw), a = R(1.25 * cw), i = R(2 * cw);
        int nw = 0, nh = 0;
        b->MeasureCommandLinkButtonSizePixels(nw, nh);
        const int ty = q + R(0.59 * w.window.CharHeightPixels());
        EXPECT_LT(PaintedRed(*b, q + a + i / 2, ty + i / 5), 128);
    }
    EXPECT_EQ(PaintedRed(*b, mx, my), 255); // normal: white
    b->EvMouseIn();
    EXPECT_EQ(PaintedRed(*b, mx, my), 225);
    b->EvLButtonDown(5, 5);
    EXPECT_EQ(PaintedRed(*b, mx, my), 200);
    b->EvMouseOut();
    EXPECT_FALSE(b->IsPressed());
    b->EvLButtonUp(5, 5);
    uitest::Pump(50);
    EXPECT_EQ(posted, 0);
    b->EvMouseIn();
    b->EvLButtonDown(5, 5);
    b->EvLButtonUp(5, 5);
    EXPECT_TRUE(b->IsHovered());
    EXPECT_TRUE(uitest::PumpUntil([&] { return posted == 1; }, 1000));
}

// --- choice dialog -------------------------------------------------------------------------------

namespace {

const LDialogMenuItem kItems[] = {
    { 11, "Första valet", "En förklaring som är lite längre än titeln" },
    { 12, "Andra valet", nullptr },
    { 13, "&Tredje valet", "Med en not" },
    { 0, nullptr, nullptr },
};

} // namespace

TEST_F(CommandLink, ChoiceDialogShowsCommandLinks)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    LCommandLinkButtonInstallHooks();
    {
        LDialogMenu menu(
            nullptr, "Välj", "Vad vill du göra?", "Välj ett av sätten nedan.", kItems, 12, true);
        bool links = false;
        int linkHeight = 0, needed = 0;
        When([&] { return Shown(menu); },
            [&] {
                uitest::Pump(100);
                links = ButtonOf(menu, 200) && ButtonOf(menu, 201) && ButtonOf(menu, 202);
                int x = 0, y = 0, w = 0;
                menu.GetControlPixels(200, x, y, w, linkHeight);
                int nw = 0;
                LCommandLinkButton::MeasureCommandLinkButtonSizePixels(menu, 200, nw, needed);
                EXPECT_TRUE(uitest::SaveScreenshot(menu.GetNativeWindow(), ArtefactPath("choice")));
                XClickControl(menu, 202);
            });
        EXPECT_EQ(menu.Run(), 13);
        EXPECT_TRUE(links);
        EXPECT_GT(needed, 0);
        EXPECT_NEAR(linkHeight, needed, 1);
    }
    {
        // Return chooses the default link.
        LDialogMenu menu(nullptr, "Välj", "Tangentbordet", nullptr, kItems, 12, false);
        When([&] { return Shown(menu); }, [&] { XKeyTo(menu, "Return"); });
        EXPECT_EQ(menu.Run(), 12);
    }
    LDialogMenuHooksGet() = LDialogMenuHooks {};
}
