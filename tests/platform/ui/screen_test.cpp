// Monitors and their work areas. The work area is kept between questions, so it must follow the
// desktop when the window manager changes it.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the screen (it sets the work area).
#include "platform/ui/LUiSystem.h"
#include "support/ProgramRun.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(Screen, TheWorkAreaFollowsTheDesktop)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    LUiScreen first;
    ASSERT_TRUE(LUiMainScreen(first));
    EXPECT_GT(first.frame.width, 0);
    EXPECT_GT(first.visibleFrame.width, 0);
    // Asked again, the same answer (now kept).
    LUiScreen again;
    ASSERT_TRUE(LUiMainScreen(again));
    EXPECT_EQ(again.visibleFrame.y, first.visibleFrame.y);
    EXPECT_EQ(again.visibleFrame.height, first.visibleFrame.height);
    if (!programrun::WindowManagerRuns())
        GTEST_SKIP() << "without a window manager the work area is the whole monitor";

    // The window manager's work area changes (as when a panel is added at the top): the next
    // question, once the change has reached the program, has the new one.
    const int width = int(first.frame.width), height = int(first.frame.height);
    int status = 0;
    uitest::Run("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 40, "
            + std::to_string(width) + ", " + std::to_string(height - 40) + "'",
        &status);
    ASSERT_EQ(status, 0);
    LUiScreen changed;
    EXPECT_TRUE(uitest::PumpUntil([&] {
        return LUiMainScreen(changed) && changed.visibleFrame.y == 40
            && changed.visibleFrame.height == height - 40;
    })) << "work area still "
        << changed.visibleFrame.y << " + " << changed.visibleFrame.height;
    EXPECT_EQ(LUiScreens().front().visibleFrame.y, 40); // the list agrees

    // And back.
    uitest::Run("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 0, "
            + std::to_string(width) + ", " + std::to_string(height) + "'",
        &status);
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return LUiMainScreen(changed) && changed.visibleFrame.height == height; }));
}
