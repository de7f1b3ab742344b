// What a window manager draws around the program's windows, as a window expects it before it
// shows: the largest size a window is given on its screen counts the frame of the last window of
// its own kind that was framed. Openbox frames a box of a fixed size without the grip along the
// bottom edge of a resizable window.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the screen (the test needs one).
#include "platform/ui/UI.h"
#include "support/ProgramRun.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

LNativeWindow* MakeWindow(unsigned style)
{
    auto* window = new LNativeWindow(LUiRect { 40, 40, 300, 200 }, style, false);
    auto* content = new LView;
    window->SetContentView(content);
    content->Release();
    return window;
}

// The largest content a window of that kind expects before it shows, and the one it gets once
// the window manager has framed it.
struct Largest {
    LUiSize expected, framed;
    LUiEdges edges;
};

Largest ShowAndClose(unsigned style)
{
    Largest out;
    LNativeWindow* window = MakeWindow(style);
    out.expected = window->LargestContentSize();
    EXPECT_TRUE(uitest::ShowAndWait(window));
    // The frame's extents come from the window manager once it has framed the window.
    uitest::PumpUntil([&] { return window->DecorationEdges().top > 0; });
    uitest::PumpUntilIdle();
    out.edges = window->DecorationEdges();
    out.framed = window->LargestContentSize();
    window->Close();
    window->Release();
    uitest::PumpUntilIdle();
    return out;
}

} // namespace

TEST(WindowFrames, EachKindOfWindowExpectsTheFrameOfItsKind)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    if (!programrun::WindowManagerRuns())
        GTEST_SKIP() << "without a window manager nothing stands around a window";
    const unsigned resizable = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
    const unsigned fixed = kLUiWindowTitled | kLUiWindowClosable;
    const Largest first = ShowAndClose(resizable);
    const Largest box = ShowAndClose(fixed);
    // Openbox draws a grip along a resizable window's bottom edge: the frames differ.
    ASSERT_GT(first.edges.bottom, box.edges.bottom);
    // After the fixed-size box, a resizable window expects what stands around a resizable one.
    const Largest second = ShowAndClose(resizable);
    EXPECT_EQ(second.expected.width, second.framed.width);
    EXPECT_EQ(second.expected.height, second.framed.height);
    // And a box what stands around a box.
    const Largest another = ShowAndClose(fixed);
    EXPECT_EQ(another.expected.height, another.framed.height);
}
