// The client area of a context that paints a view, in device pixels.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LPaintContext.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(PaintContextView, ClientAreaIsTheViewTimesItsBackingScale)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    const char* env = std::getenv("GDK_SCALE");
    int scale = env && std::atoi(env) > 1 ? std::atoi(env) : 1;
    auto* window = new LNativeWindow(LUiRect { 40, 40, 300, 200 }, kLUiWindowTitled, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    auto* view = new LView;
    view->SetFrame(LUiRect { 10, 10, 120.7, 80.4 });
    content->AddSubview(view);
    ASSERT_TRUE(uitest::ShowAndWait(window));

    LPaintContext ctx;
    ctx.SetClientRect(0, 0, 5, 5); // not used while there is a view
    ctx.SetView(view);
    int w = 0, h = 0;
    ctx.GetClientAreaDimensions(w, h);
    EXPECT_EQ(w, 120 * scale);
    EXPECT_EQ(h, 80 * scale);
    ctx.SetView(nullptr);
    ctx.GetClientAreaDimensions(w, h);
    EXPECT_EQ(w, 5);

    view->Release();
    window->Close();
    window->Release();
}
