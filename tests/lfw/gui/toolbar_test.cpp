// The native toolbar from a table of rows: known items and the reset of the arrangement,
// tooltips naming their shortcuts, the help item, enabling and the reported height.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LToolBar.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;

struct TestWindow {
    LMacWindow window;
    TestWindow() { window.CreateCocoaWindow(600, 300, kStyle, false, nullptr); }
    ~TestWindow() { window.DestroyCommon(); }
};

const LToolBar::ToolBarItem kRows[] = {
    { 0, 501, 12, "Ny", "Ny", "Ny etikett", 0, false },
    { 0, 502, 13, "Öppna", "Öppna", "Öppna en etikett", 0, false },
    { 2, 503, 14, "Dold", "Dold", "", 0, false },
    { 6, 0, 0, "", "", "", 0, false },
    { 0, 504, 15, "Skriv ut", "Skriv ut", "Skriv ut etiketten", 0, false },
};
const LKeyToCommandMap kKeys[] = {
    { LKey(LKey::kCommand | 'N'), 501 },
    { LKey(LKey::kCommand | 'O'), 502 },
    { LKey(LKey::kCommand | LKey::kShift | 'O'), 502 },
};

class ToolBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        LUserSettingDeleteItem("ToolBar", "Huvud");
    }
};

} // namespace

TEST_F(ToolBar, KnownItemsResetTheArrangementOnlyWhenTheyChange)
{
    TestWindow w;
    LToolBar bar;
    bar.SetToolBarName("Huvud");
    EXPECT_EQ(std::string(bar.GetToolBarIdentifier()),
        std::string(LSettingGetApplicationDomain()) + ".Huvud");
    bar.SetToolBar(w.window, kRows, 5, kKeys, 3);
    // Kind 2 is left out of the list; the separator's empty label still takes its place.
    EXPECT_EQ(bar.GetKnownItemList(), "Ny Öppna  Skriv ut");
    char stored[260] = "";
    _LUserSettingGetString("ToolBar", "Huvud", "", stored);
    EXPECT_STREQ(stored, "Ny Öppna  Skriv ut");
    EXPECT_EQ(bar.GetCustomisationResets(), 1);

    // The same rows again (a later start): no reset.
    LToolBar again;
    again.SetToolBarName("Huvud");
    again.SetToolBar(w.window, kRows, 5, kKeys, 3);
    EXPECT_EQ(again.GetCustomisationResets(), 0);
    // One row fewer (a new version): reset once.
    LToolBar fewer;
    fewer.SetToolBarName("Huvud");
    fewer.SetToolBar(w.window, kRows, 4, kKeys, 3);
    EXPECT_EQ(fewer.GetCustomisationResets(), 1);
    // No rows: nothing at all.
    LToolBar empty;
    empty.SetToolBarName("Tom");
    empty.SetToolBar(w.window, kRows, 0, kKeys, 3);
    EXPECT_EQ(empty.GetNativeToolbar(), nullptr);
    EXPECT_EQ(empty.GetRowCount(), 0u);
}

TEST_F(ToolBar, TooltipsNameTheFirstShortcutAndAreCut)
{
    TestWindow w;
    LToolBar bar;
    bar.SetToolBarName("Huvud");
    std::string longTip;
    for (int i = 0; i < 3000; ++i)
        longTip += "å"; // two bytes each: a cut must not split one
    LToolBar::ToolBarItem rows[] = {
        kRows[0],
        kRows[1],
        kRows[4],
        { 0, 501, 16, "Lång", "Lång", longTip.c_str(), 0, false },
        { 0, 505, 17, "Tom", "Tom", nullptr, 0, false },
    };
    bar.SetToolBar(w.window, rows, 5, kKeys, 3);
    char ctrlN[260] = "", ctrlO[260] = "";
    LKey(LKey::kCommand | 'N').GetDescription(ctrlN);
    LKey(LKey::kCommand | 'O').GetDescription(ctrlO);
    EXPECT_EQ(std::string(bar.GetRow(0).tooltip), std::string("Ny etikett (") + ctrlN + ")");
    EXPECT_EQ(std::string(bar.GetRow(1).tooltip), std::string("Öppna en etikett (") + ctrlO + ")");
    EXPECT_STREQ(bar.GetRow(2).tooltip, "Skriv ut etiketten"); // no shortcut: unchanged
    EXPECT_EQ(bar.GetRow(2).tooltip, kRows[4].tooltip); // and not copied
    const std::string cut = bar.GetRow(3).tooltip;
    EXPECT_LE(cut.size(), 259u);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_EQ(bar.GetRow(4).tooltip, nullptr);
    // The native items carry the texts.
    ASSERT_NE(bar.GetNativeToolbar(), nullptr);
    EXPECT_NE(bar.GetNativeToolbar()->itemWithCommand(501), nullptr);
    EXPECT_EQ(bar.GetNativeToolbar()->itemWithCommand(503), nullptr);
}

TEST_F(ToolBar, HelpEnablingAndHeight)
{
    TestWindow w;
    // No toolbar yet: height 0, also for a view that is not the content view.
    EXPECT_EQ(LToolBar::GetToolBarHeight(w.window.GetContentView()), 0);
    EXPECT_EQ(LToolBar::GetToolBarHeight(nullptr), 0);
    LToolBar bar;
    bar.SetToolBarName("Huvud");
    bar.SetToolBar(w.window, kRows, 2, kKeys, 3);
    bar.AddHelp();
    ASSERT_EQ(bar.GetRowCount(), 4u);
    EXPECT_EQ(bar.GetRow(2).type, int(kLToolbarFlexibleSpace));
    const LToolBar::ToolBarItem& help = bar.GetRow(3);
    EXPECT_STREQ(help.label, "Hjälp");
    EXPECT_STREQ(help.paletteLabel, "Hjälp");
    EXPECT_EQ(help.command, LFourCC("ahlp"));
    EXPECT_EQ(help.image, 302);
    char description[260] = "";
    LKey(LKey::kCommand | LKey::kShift | '/').GetDescription(description);
    EXPECT_EQ(std::string(help.tooltip), std::string("Visa manualen (") + description + ")");
    EXPECT_NE(bar.GetNativeToolbar()->itemWithCommand(LFourCC("ahlp")), nullptr);

    bar.EnableToolBarItem(501, false);
    EXPECT_FALSE(bar.GetNativeToolbar()->isItemEnabled(501));
    bar.EnableToolBarItem(501, true);
    EXPECT_TRUE(bar.GetNativeToolbar()->isItemEnabled(501));
    bar.EnableToolBarItem(0, false); // ignored

    ASSERT_TRUE(uitest::ShowAndWait(w.window.GetNativeWindow()));
    uitest::PumpUntil([&] { return LToolBar::GetToolBarHeight(w.window.GetContentView()) > 0; });
    const int height = LToolBar::GetToolBarHeight(w.window.GetContentView());
    const double s = w.window.GetBackingScaleFactor();
    EXPECT_GT(height, int(20 * s));
    GtkWidget* toolbar = bar.GetNativeToolbar()->toolbar();
    GtkAllocation a;
    gtk_widget_get_allocation(toolbar, &a);
    EXPECT_NEAR(height, a.height * s, 2 * s);
    // A hidden toolbar counts nothing.
    w.window.GetNativeWindow()->SetToolbarVisible(false);
    EXPECT_EQ(LToolBar::GetToolBarHeight(w.window.GetContentView()), 0);
    uitest::SaveScreenshot(w.window.GetNativeWindow(), uitest::ArtefactPath("toolbar", "native"));
}
