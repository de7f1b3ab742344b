// The about box on a real window: its tabs follow the texts there are, the about page and the
// text page take their sizes, the tab change switches pages, a second open brings the same box.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/zor/LAbout.h"
#include "lfw/zor/LAboutBox.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("about", name);
}

LCocoaTabViewImpl* Tabs(LAboutBox& box)
{
    return dynamic_cast<LCocoaTabViewImpl*>(box.GetControlHandle(108));
}

bool Visible(LAboutBox& box, int id)
{
    LView* v = box.GetControlHandle(id);
    return v && !v->IsHidden();
}

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        // The program's icon is rasterised into the build's resources.
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        if (access((built + "/resources/png/300.png").c_str(), R_OK) == 0)
            setenv("VT_RESOURCES_DIR", built.c_str(), 1);
    }
};

} // namespace

TEST_F(AboutBox, TabsPagesAndSizes)
{
    LAboutBoxOpen(nullptr);
    LAboutBox* box = LAboutBoxGetOpen();
    ASSERT_NE(box, nullptr);
    uitest::PumpUntil([&] { return box->IsInitialised(); });
    uitest::Pump(100);
    // The credits are empty: "Om" and "Licensvillkor" only.
    LCocoaTabViewImpl* tabs = Tabs(*box);
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_STREQ(tabs->getTabLabel(0), "Om");
    EXPECT_STREQ(tabs->getTabLabel(1), "Licensvillkor");
    EXPECT_TRUE(box->IsAboutPageShown());
    for (int id : { 101, 102, 103, 104, 107 })
        EXPECT_TRUE(Visible(*box, id)) << id;
    EXPECT_FALSE(Visible(*box, 110));
    const float cw = box->CharWidthPixels(), ch = box->CharHeightPixels();
    int w = 0, h = 0;
    box->GetClientSize(w, h);
    EXPECT_NEAR(w, R(42.5 * cw), 2);
    EXPECT_NEAR(h, R(15 * ch), 2);
    char text[260] = "";
    box->GetText(103, text, sizeof text);
    EXPECT_STREQ(text, "Version 6.27");
    EXPECT_TRUE(uitest::SaveScreenshot(box->GetNativeWindow(), ArtefactPath("about")));

    // The terms tab: the text page, wider and higher, the about page's controls hidden.
    tabs->selectTab(1);
    uitest::PumpUntil([&] { return !box->IsAboutPageShown(); }, 1000);
    EXPECT_FALSE(box->IsAboutPageShown());
    EXPECT_TRUE(Visible(*box, 110));
    EXPECT_FALSE(Visible(*box, 102));
    uitest::Pump(100);
    box->GetClientSize(w, h);
    // Whole where the screen holds it (a scale of 2 on this screen does not: the text gives up
    // what is missing).
    int largestW = 0, largestH = 0;
    box->GetLargestClientSizePixels(largestW, largestH);
    EXPECT_NEAR(w, largestW > 0 ? std::min(R(62.5 * cw), largestW) : R(62.5 * cw), 2);
    EXPECT_NEAR(h, largestH > 0 ? std::min(R(35.3 * ch), largestH) : R(35.3 * ch), 2);
    EXPECT_TRUE(uitest::SaveScreenshot(box->GetNativeWindow(), ArtefactPath("terms")));
    tabs->selectTab(0);
    uitest::PumpUntil([&] { return box->IsAboutPageShown(); }, 1000);
    EXPECT_TRUE(box->IsAboutPageShown());

    // Opening again brings the same box forward.
    LAboutBoxOpen(nullptr);
    EXPECT_EQ(LAboutBoxGetOpen(), box);
    box->Close();
    uitest::PumpUntil([&] { return LAboutBoxGetOpen() == nullptr; }, 1000);
    EXPECT_EQ(LAboutBoxGetOpen(), nullptr);

    // With credits registered the third tab shows.
    LLicenseTermsAndCredits::Get().Add("", "Tack till alla som hjälpt till.");
    LAboutBoxOpen(nullptr);
    box = LAboutBoxGetOpen();
    ASSERT_NE(box, nullptr);
    uitest::PumpUntil([&] { return box->IsInitialised(); });
    ASSERT_NE(Tabs(*box), nullptr);
    EXPECT_EQ(Tabs(*box)->count(), 3);
    box->Close();
    uitest::Pump(50);
}
