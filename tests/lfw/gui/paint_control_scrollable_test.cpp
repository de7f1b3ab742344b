// A painted control larger than its room: the content size it measures, the scroll bar it makes
// room for, the offset it follows under the wheel, and scrolling kept within the content.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LPaintControlScrollable.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

class Column : public LPaintControlScrollableTemplate<LPaintControlPrePaint> {
public:
    int contentHeight = 1000;
    int measured = 0;
    int visibleWidth = 0, visibleHeight = 0;
    ~Column() override { DestroyPaintControl(); }
    void PaintScrolled(LPaintContext& context, int& width, int& height, bool measureOnly) override
    {
        if (measureOnly) {
            ++measured;
            width = std::max(width, 1);
            height = contentHeight;
            return;
        }
        visibleWidth = width;
        visibleHeight = height;
        // Bands of 100 pixels, alternating, so a scrolled picture shows where it is.
        cairo_t* cr = context.GetPlatformContext();
        for (int y = 0; y < contentHeight; y += 100) {
            const bool dark = (y / 100) % 2;
            cairo_set_source_rgb(cr, dark ? 0.2 : 0.9, dark ? 0.3 : 0.9, dark ? 0.6 : 0.7);
            cairo_rectangle(cr, 0, y, width, 100);
            cairo_fill(cr);
        }
    }
};

class PaintControlScrollable : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

TEST_F(PaintControlScrollable, MeasuresScrollsAndKeepsWithinItsContent)
{
    LMacWindow window;
    window.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    const double s = window.GetBackingScaleFactor();

    Column wrong;
    window.AddPaintControl(5, 0, 0, 10, 10);
    wrong.Init(window, 5); // not a scroll view: nothing
    EXPECT_FALSE(wrong.IsBound());
    EXPECT_EQ(wrong.measured, 0);

    LScrollView maker;
    maker.Init(window, 77, 0, 0);
    maker.EmbedSubControl(0);
    maker.GetScrollView()->setScrollers(false, true); // a column: scrolls up and down only
    Column column;
    column.Init(window, 77);
    ASSERT_TRUE(column.IsBound());
    EXPECT_EQ(column.measured, 1);
    column.MoveScrollViewPixels(0, 0, 300, 200);
    EXPECT_EQ(column.GetWidth(), 300);
    EXPECT_EQ(column.GetHeight(), 200);
    EXPECT_EQ(column.GetContentSizeVerticalPixels(), 1000);
    EXPECT_EQ(column.GetContentSizeHorizontalPixels(), 300); // raised to the control's width

    auto* scroll = column.GetScrollView();
    ASSERT_TRUE(uitest::PumpUntil([&] { return scroll->isScrollerVisible(true); }));
    const int bar = int(LCustomCocoaScrollView::scrollerWidth() * s);
    EXPECT_EQ(column.GetWidthPixels(), 300 - bar);
    EXPECT_EQ(column.GetHeightPixels(), 200);
    ASSERT_TRUE(uitest::PumpUntil([&] { return column.visibleWidth == 300 - bar; }));
    EXPECT_EQ(column.visibleHeight, 200);
    uitest::Screenshot(window.GetNativeWindow(), "paint-control-scrollable-top");

    // Within the content: past the end stops at its end, below 1 at the top.
    const int limit = 1000 - int(scroll->contentSize().height * s);
    column.SetScrollOffsetY(100000);
    EXPECT_NEAR(column.GetScrollOffsetY(), limit, 1);
    column.SetScrollOffsetY(0);
    EXPECT_EQ(column.GetScrollOffsetY(), 0);

    // The wheel: the offsets follow the scroll view.
    if (uitest::HaveXdotool()) {
        ASSERT_TRUE(uitest::XClickButton(window.GetNativeWindow(), 50 / s, 50 / s, 5, 3));
        ASSERT_TRUE(uitest::PumpUntil([&] { return column.GetScrollOffsetY() > 0; }));
        uitest::Pump(100);
        uitest::Screenshot(window.GetNativeWindow(), "paint-control-scrollable-wheel");
    }

    // A shorter content is measured again on Update.
    column.contentHeight = 50;
    column.Update();
    EXPECT_EQ(column.GetContentSizeVerticalPixels(), int(scroll->contentSize().height * s + 0.5));
    column.DestroyPaintControl();
    window.DestroyCommon();
}

} // namespace
