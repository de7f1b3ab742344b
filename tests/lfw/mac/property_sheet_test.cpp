// Property sheets and wizards: pages in tab views, resizing to the page, refusing pages, Back,
// Next and Finish with skipped pages, on real windows.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LPropertySheet.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

class PropertySheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
    }
};

std::string ArtefactPath(const char* name)
{
    return uitest::ArtefactPath("dialogs", name);
}

int R(double v)
{
    return int(v + 0.5);
}

using uitest::When;

bool Shown(LMacWindow& w)
{
    return w.GetNativeWindow() && w.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(w.GetNativeWindow()->Gtk())) && w.IsInitialised();
}

void XKeyTo(LMacWindow& w, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool windowfocus --sync " + std::to_string(w.GetNativeWindow()->XWindowId())
        + " key " + key);
}

void LabelGenerator(LDialog& d, int, int, bool)
{
    d.AddStatic(300, "En inställning");
    d.MoveControlPixels(300, 10, 10, 200, 20);
}

struct Page : LPropertyPage {
    bool refuse = false;
    int activations = 0;
    bool CmOk() override { return !refuse; }
    void Activate() override { ++activations; }
};

struct WizPage : LWizardPage {
    bool valid = true;
    std::string* log = nullptr;
    const char* name = "";
    bool IsPageValid() override { return valid; }
    void Activate() override
    {
        if (log)
            *log += std::string("+") + name;
    }
    void Deactivate() override
    {
        if (log)
            *log += std::string("-") + name;
    }
};

bool Visible(LMacWindow& w, int id)
{
    LView* v = w.GetControlHandle(id);
    return v && !v->IsHidden();
}

} // namespace

TEST_F(PropertySheetTest, SheetResizesToEachPageAndKeepsARefusingPage)
{
    LPropertySheet sheet;
    Page small, large;
    LDialog::OpenGenData a { 200, 100, "Allmänt", false, LabelGenerator };
    LDialog::OpenGenData b { 320, 180, "Utskrift", false, LabelGenerator };
    sheet.AddPage(small, a, nullptr);
    sheet.AddPage(large, b, "Skrivare");
    EXPECT_STREQ(sheet.GetTabView()->getTabLabel(0), "Allmänt");
    EXPECT_STREQ(sheet.GetTabView()->getTabLabel(1), "Skrivare");
    large.refuse = true;
    int w0 = 0, w1 = 0, h0 = 0, h1 = 0, selectedAfterOk = -1;
    bool openAfterOk = false;
    When([&] { return Shown(sheet); },
        [&] {
            sheet.GetClientSize(w0, h0);
            sheet.GetTabView()->selectTab(1);
            uitest::Pump(100);
            sheet.GetClientSize(w1, h1);
            EXPECT_TRUE(uitest::SaveScreenshot(sheet.GetNativeWindow(), ArtefactPath("sheet")));
            sheet.GetTabView()->selectTab(0);
            XKeyTo(sheet, "Return");
            uitest::Pump(200);
            openAfterOk = sheet.IsOpen();
            selectedAfterOk = sheet.GetTabView()->getCurrentTab();
            XKeyTo(sheet, "Escape");
        });
    EXPECT_FALSE(sheet.Open(nullptr, "Inställningar", 0, 0));
    double s = sheet.GetBackingScaleFactor();
    int margin = 2 * R(2 * sheet.CharWidthPixels());
    EXPECT_EQ(w0, int(200 * s) + margin);
    EXPECT_EQ(w1, int(320 * s) + margin);
    EXPECT_GT(h1, h0);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(selectedAfterOk, 1);
    EXPECT_GE(large.activations, 1);
    // The pages' windows went with the sheet; selecting now changes nothing.
    EXPECT_FALSE(small.IsAlive());
}

TEST_F(PropertySheetTest, WizardSkipsInvalidPagesAndFinishes)
{
    std::string log;
    LWizard wizard;
    WizPage p1, p2, p3;
    p1.name = "1";
    p2.name = "2";
    p3.name = "3";
    for (WizPage* p : { &p1, &p2, &p3 })
        p->log = &log;
    wizard.AddPage(p1, "Välkommen", "Det här installerar en översättning.", 150, 80, true);
    wizard.AddPage(p2, "Välj språk", "Ett språk.", 150, 80, false);
    wizard.AddPage(p3, "Klart", "Allt är klart.", 150, 80, false);
    p2.valid = false;
    std::string texts;
    bool backOnFirst = true, nextOnFirst = false, finishOnLast = false, nextOnLast = true;
    int pageAfterNext = -1;
    When([&] { return Shown(wizard) && p1.IsAlive(); },
        [&] {
            char t[260];
            for (int id : { kLCmdOk, kLCmdBack, kLCmdFinish, kLCmdCancel }) {
                wizard.GetButtonText(id, t);
                texts += std::string(t) + "|";
            }
            backOnFirst = Visible(wizard, kLCmdBack);
            nextOnFirst = Visible(wizard, kLCmdOk);
            uitest::Pump(100);
            EXPECT_TRUE(uitest::SaveScreenshot(wizard.GetNativeWindow(), ArtefactPath("wizard")));
            XKeyTo(wizard, "Return"); // Next
            uitest::PumpUntil([&] { return wizard.GetTabView()->getCurrentTab() == 2; }, 2000);
            pageAfterNext = wizard.GetTabView()->getCurrentTab();
            finishOnLast = Visible(wizard, kLCmdFinish);
            nextOnLast = Visible(wizard, kLCmdOk);
            wizard.SendCommand(kLCmdFinish);
        });
    EXPECT_TRUE(wizard.Open(nullptr, "Installera översättning"));
    EXPECT_EQ(texts, "Nästa|Tillbaka|Avsluta|Avbryt|");
    EXPECT_FALSE(backOnFirst);
    EXPECT_TRUE(nextOnFirst);
    EXPECT_EQ(pageAfterNext, 2); // page 2 was skipped
    EXPECT_TRUE(finishOnLast);
    EXPECT_FALSE(nextOnLast);
    EXPECT_EQ(log, "+1-1+3-3");
    EXPECT_FALSE(p2.IsAlive()); // never shown, never built
    EXPECT_TRUE(p1.pItem->titleLabel()->font().bold);
    EXPECT_LT(p1.pItem->subtitleLabel()->font().EffectiveSize(),
        p1.pItem->titleLabel()->font().EffectiveSize());
}

TEST_F(PropertySheetTest, WizardWithoutFollowingValidPagesClosesOnNext)
{
    LWizard wizard;
    WizPage p1, p2;
    wizard.AddPage(p1, "Ett", "", 120, 60, false);
    wizard.AddPage(p2, "Två", "", 120, 60, false);
    p2.valid = false;
    When([&] { return Shown(wizard) && p1.IsAlive(); }, [&] { wizard.SendCommand(kLCmdOk); });
    EXPECT_TRUE(wizard.Open(nullptr, "Guide"));
}

TEST_F(PropertySheetTest, SinglePageWizardShowsOnlyFinishAndHidesADisabledBack)
{
    struct Lone : WizPage {
        LWizard* w = nullptr;
        void EnableControls() override
        {
            if (w)
                w->EnableControl(kLCmdBack, false);
        }
    };
    LWizard wizard;
    Lone only;
    wizard.AddPage(only, "Ensam", "En sida.", 120, 60, false);
    bool back = true, next = true, finish = false;
    When([&] { return Shown(wizard) && only.IsAlive(); },
        [&] {
            back = Visible(wizard, kLCmdBack);
            next = Visible(wizard, kLCmdOk);
            finish = Visible(wizard, kLCmdFinish);
            XKeyTo(wizard, "Escape");
        });
    EXPECT_FALSE(wizard.Open(nullptr, "Guide"));
    EXPECT_FALSE(back);
    EXPECT_FALSE(next);
    EXPECT_TRUE(finish);

    // On a Finish page whose Back is disabled, Back is hidden.
    LWizard two;
    WizPage first;
    Lone last;
    last.w = &two;
    two.AddPage(first, "Ett", "", 120, 60, false);
    two.AddPage(last, "Sist", "", 120, 60, false);
    bool backOnLast = true;
    When([&] { return Shown(two) && first.IsAlive(); },
        [&] {
            two.SendCommand(kLCmdOk);
            uitest::PumpUntil([&] { return two.GetTabView()->getCurrentTab() == 1; }, 2000);
            backOnLast = Visible(two, kLCmdBack);
            two.SendCommand(kLCmdCancel);
        });
    EXPECT_FALSE(two.Open(nullptr, "Guide"));
    EXPECT_FALSE(backOnLast);
}
