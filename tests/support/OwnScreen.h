// The running test again, on an X server of its own (own-display.sh) whose screen has another
// size, with more of the environment given (a window manager, a backing scale). A test calls
// RunOnScreen first: where it answers false the test has run there already (its output is
// printed and its result expected to be a pass) and only returns. Header only.
#pragma once

#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

namespace ownscreen {

// The environment words of a run under openbox, under xfwm4, and on two monitors side by side
// (own-display.sh).
inline const std::string kOpenbox = "VT_WINDOW_MANAGER=1";
inline const std::string kXfwm4 = "VT_WINDOW_MANAGER=xfwm4";
inline const std::string kTwoMonitors = "VT_MONITORS=2";

// True in the run on the screen of that size ("1024x600"): the test goes on there. Otherwise the
// test runs there with the environment words ("GDK_SCALE=2 VT_WINDOW_MANAGER=1") and false is
// answered.
inline bool RunOnScreen(const std::string& size, const std::string& environment = "")
{
    if (const char* own = std::getenv("VT_OWN_SCREEN"); own && size == own)
        return true;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    EXPECT_GT(n, 0);
    self.resize(size_t(std::max<ssize_t>(n, 0)));
    const std::string out
        = programrun::Shell("VT_OWN_SCREEN=" + size + " VT_SCREEN_SIZE=" + size + " " + environment
            + " " + programrun::Quote(std::string(VT_SOURCE_DIR) + "/tests/support/own-display.sh")
            + " " + programrun::Quote(self) + " --gtest_filter="
            + programrun::Quote(std::string(info->test_suite_name()) + "." + info->name())
            + " 2>&1; echo \"exit $?\"");
    std::cout << out << "\n";
    EXPECT_NE(out.find("\nexit 0"), std::string::npos) << "on the screen of " << size;
    EXPECT_EQ(out.find("[  SKIPPED ]"), std::string::npos) << "on the screen of " << size;
    return false;
}

} // namespace ownscreen
