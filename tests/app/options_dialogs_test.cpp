// The options sheet, the welcome dialog, the add-template dialog and the disc printable-area
// dialog, run for real under Xvfb: settings written, refusals, units, and the controls at the
// rectangles of their layouts.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTDialogLayouts.h"
#include "app/VTLabelLayout.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTSmallDialogs.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LCommandLinkButton.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/zor/LHelp.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>
// Last: the X headers define names the others use.
#include <gdk/gdkx.h>

namespace {

using uitest::When;

class OptionsDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        homes = std::make_unique<PrivateHomes>();
        LSettingSetMeasurementUnit(0);
    }
    std::unique_ptr<PrivateHomes> homes;
};

bool Shown(LMacWindow& w)
{
    return w.GetNativeWindow() && w.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(w.GetNativeWindow()->Gtk())) && w.IsInitialised();
}

std::string Stored(const char* key)
{
    char value[260];
    _LUserSettingGetString("Settings", key, "<none>", value);
    return value;
}

void XKeyTo(LMacWindow& w, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run("xdotool windowfocus --sync " + std::to_string(w.GetNativeWindow()->XWindowId())
        + " key " + key);
}

// Types into an up-down input as the user does: its text field takes the text.
void Type(LMacWindow& w, int id, const char* text)
{
    auto* input = dynamic_cast<LCocoaInputUpDownImpl*>(w.GetControlHandle(id));
    ASSERT_NE(input, nullptr);
    input->textField()->setText(text);
    w.SendCommand(id == 8611 ? 2002 : id == 8615 ? 2004 : id);
}

std::string StaticText(LMacWindow& w, int id)
{
    char text[260] = "";
    w.GetStaticText(id, text);
    return text;
}

double Scale(LMacWindow& w)
{
    return w.GetBackingScaleFactor();
}

} // namespace

// --- options -------------------------------------------------------------------------------------

TEST_F(OptionsDialogs, UnitChangeThenCancelRestoresTheUnit)
{
    VTOptionsDialog dialog;
    std::string labelInches;
    int unitWhileOpen = -1;
    When([&] { return Shown(dialog); },
        [&] {
            dialog.general.PDLSetCurSel(8604, 1);
            dialog.general.SendCommand(2000);
            unitWhileOpen = LUnitsGetMeasurementUnit();
            labelInches = StaticText(dialog.general, 8613);
            uitest::Screenshot(dialog.GetNativeWindow(), "options-general");
            XKeyTo(dialog, "Escape");
        });
    EXPECT_FALSE(dialog.Open(nullptr));
    EXPECT_EQ(unitWhileOpen, 1); // stored at once
    EXPECT_EQ(labelInches, "Marginalbredd (in):");
    EXPECT_EQ(LUnitsGetMeasurementUnit(), 0);
}

TEST_F(OptionsDialogs, PaperListAndMarginLimits)
{
    VTOptions::PaperSizeIDSet(LPaperSizeUSLetter);
    VTOptionsDialog dialog;
    std::vector<unsigned long> ids;
    int selected = -1;
    double maxA4W = 0, maxA4H = 0, maxLetterW = 0;
    When([&] { return Shown(dialog); },
        [&] {
            LMacWindow& p = dialog.general;
            for (int i = 0; i < 5; ++i) {
                unsigned long id = p.PDLGetItemData(8607, i);
                if (i > 0 && id == 0)
                    break;
                ids.push_back(id);
            }
            selected = p.PDLGetCurSel(8607);
            maxLetterW = dialog.general.marginWidthInput.maximum;
            p.PDLSetCurSel(8607, 0);
            p.SendCommand(2001);
            maxA4W = dialog.general.marginWidthInput.maximum;
            maxA4H = dialog.general.marginHeightInput.maximum;
            // Typed beyond the limit: the input keeps the half of the paper.
            Type(p, 8611, "500");
            dialog.SendCommand(kLCmdOk);
        });
    EXPECT_TRUE(dialog.Open(nullptr));
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], 5u);
    EXPECT_EQ(ids[1], 18u);
    EXPECT_EQ(selected, 1);
    double lw = 0, lh = 0;
    LPaperSizeGetPhysicalDimensionsMm(LPaperSizeUSLetter, lw, lh);
    EXPECT_DOUBLE_EQ(maxLetterW, lw / 2);
    EXPECT_DOUBLE_EQ(maxA4W, 105);
    EXPECT_DOUBLE_EQ(maxA4H, 148.5);
    EXPECT_EQ(Stored("PaperMarginWidth"), "105.000000");
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeA4);
}

TEST_F(OptionsDialogs, HalfAnInchIsStoredInMillimetresInAnyLocale)
{
    for (const char* locale : { "C", "sv_SE.UTF-8" }) {
        SCOPED_TRACE(locale);
        const bool haveLocale = setlocale(LC_NUMERIC, locale) != nullptr;
        if (!haveLocale)
            continue;
        LSettingSetMeasurementUnit(1);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "1");
        LUserSettingSetString("Settings", "BacgroundAspectRatio", "1");
        VTOptionsDialog dialog;
        bool welcomeTicked = false;
        When([&] { return Shown(dialog); },
            [&] {
                welcomeTicked = dialog.general.GetCheck(8602);
                dialog.general.SetCheck(8602, false);
                dialog.background.SetCheck(9601, false);
                Type(dialog.general, 8611, "0.5");
                Type(dialog.general, 8615, "0.25");
                XKeyTo(dialog, "Return");
            });
        EXPECT_TRUE(dialog.Open(nullptr));
        EXPECT_TRUE(welcomeTicked);
        EXPECT_EQ(Stored("PaperMarginWidth"), "12.700000");
        EXPECT_EQ(Stored("PaperMarginHeight"), "6.350000");
        EXPECT_EQ(Stored("WelcomeDialogShow"), "0");
        EXPECT_EQ(Stored("BacgroundAspectRatio"), "0");
        EXPECT_EQ(LUnitsGetMeasurementUnit(), 1);
        setlocale(LC_NUMERIC, "C");
    }
}

TEST_F(OptionsDialogs, MarginSettingsThatAreNoLengthsReadAsZero)
{
    for (const char* bad : { "-3", "abc", "nan", "" }) {
        LUserSettingSetString("Settings", "PaperMarginWidth", bad);
        EXPECT_EQ(VTPaperMarginSettingGet("PaperMarginWidth"), 0) << bad;
    }
    LUserSettingSetString("Settings", "PaperMarginWidth", "12.5");
    EXPECT_EQ(VTPaperMarginSettingGet("PaperMarginWidth"), 12.5);
    char text[32];
    VTFormatSettingNumber(text, sizeof text, 12.7);
    EXPECT_STREQ(text, "12.700000");
}

TEST_F(OptionsDialogs, PagesSitAtTheirLayoutRectangles)
{
    VTOptionsDialog dialog;
    int x = 0, y = 0, w = 0, h = 0;
    double s = 1;
    When([&] { return Shown(dialog); },
        [&] {
            s = Scale(dialog);
            dialog.general.GetControlPixels(8607, x, y, w, h);
            dialog.SendCommand(kLCmdCancel);
        });
    dialog.Open(nullptr);
    EXPECT_NEAR(x, 210 * s, 1);
    EXPECT_NEAR(y, 143 * s, 1);
    EXPECT_NEAR(w, 160 * s, 1);
}

// --- welcome -------------------------------------------------------------------------------------

TEST_F(OptionsDialogs, WelcomeRowsAndTheShowAgainBox)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    {
        VTWelcomeDialog dialog(nullptr);
        std::vector<std::string> rows;
        bool ticked = false;
        When([&] { return Shown(dialog); },
            [&] {
                for (int i = 0; i < 3; ++i) {
                    char t[260] = "";
                    dialog.GetButtonText(200 + i, t);
                    rows.push_back(t);
                }
                ticked = dialog.GetCheck(104);
                uitest::Screenshot(dialog.GetNativeWindow(), "welcome");
                dialog.SetCheck(104, false);
                dialog.SendCommand(202); // the third row
            });
        EXPECT_EQ(dialog.Open(), kVTWelcomeGettingStarted);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0].rfind("Skapa ett nytt projekt", 0), 0u);
        EXPECT_EQ(rows[1].rfind("Öppna en befintlig projektfil", 0), 0u);
        EXPECT_EQ(rows[2].rfind("Läs guiden Komma igång", 0), 0u);
        EXPECT_TRUE(ticked);
        EXPECT_EQ(Stored("WelcomeDialogShow"), "0");
    }
    {
        // Starts unticked now; closed without a choice still writes the box.
        VTWelcomeDialog dialog(nullptr);
        bool ticked = true;
        When([&] { return Shown(dialog); },
            [&] {
                ticked = dialog.GetCheck(104);
                dialog.SetCheck(104, true);
                XKeyTo(dialog, "Escape");
            });
        EXPECT_EQ(dialog.Open(), -1);
        EXPECT_FALSE(ticked);
        EXPECT_EQ(Stored("WelcomeDialogShow"), "1");
    }
}

// Each row clicked with the real pointer answers its choice; the box unticked writes "0" whatever
// was chosen.
TEST_F(OptionsDialogs, WelcomeEveryRowClickedAnswersItsChoice)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int answers[] = { kVTWelcomeNewProject, kVTWelcomeOpenProject, kVTWelcomeGettingStarted };
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "1");
        VTWelcomeDialog dialog(nullptr);
        bool clicked = false;
        When([&] { return Shown(dialog); },
            [&] {
                dialog.SetCheck(104, false);
                int x = 0, y = 0, w = 0, h = 0;
                dialog.GetControlPixels(200 + row, x, y, w, h);
                const double s = Scale(dialog);
                clicked
                    = uitest::XClick(dialog.GetNativeWindow(), (x + w / 2) / s, (y + h / 2) / s);
            });
        EXPECT_EQ(dialog.Open(), answers[row]);
        EXPECT_TRUE(clicked);
        EXPECT_EQ(Stored("WelcomeDialogShow"), "0");
    }
}

// The welcome dialog with its command links as the program shows them, used with the real
// keyboard: the links take the focus in their order with Tab, Shift+Tab and the arrow keys, show
// it, and Return or Space chooses the focused one.
TEST_F(OptionsDialogs, WelcomeLinksAreReachedAndChosenWithTheKeyboard)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LCommandLinkButtonInstallHooks();
    struct Road {
        std::vector<std::string> keys; // pressed in turn
        const char* choose; // then this key
        int answer;
    };
    const Road roads[] = {
        { { "Tab", "Tab", "Tab", "Tab", "Tab", "shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab",
              "shift+Tab", "Down", "Down", "Up" },
            "Return", kVTWelcomeOpenProject },
        { { "Down", "Down" }, "space", kVTWelcomeGettingStarted },
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.choose);
        VTWelcomeDialog dialog(nullptr);
        std::vector<std::string> seen;
        int framePixel = -1, plainPixel = -1;
        When([&] { return Shown(dialog); },
            [&] {
                LNativeWindow* native = dialog.GetNativeWindow();
                auto name = [&]() -> std::string {
                    uitest::PumpUntil([&] { return native->FirstResponder() != nullptr; }, 500);
                    LView* f = native->FirstResponder();
                    for (int id : { 200, 201, 202, 104 })
                        if (f && f == dialog.ControlGetRealControlHandle(id))
                            return std::to_string(id);
                    if (f && f == dialog.ControlGetRealControlHandle(kLCmdCancel))
                        return "Avbryt";
                    return "?";
                };
                seen.push_back(name());
                for (const std::string& key : road.keys) {
                    XKeyTo(dialog, key.c_str());
                    uitest::Pump(120);
                    seen.push_back(name());
                }
                // The focused link's frame is drawn in the focus colour, the others' in grey.
                uitest::FocusNowhere();
                uitest::Run("xdotool windowfocus --sync " + std::to_string(native->XWindowId()));
                uitest::Pump(150);
                const std::string shot = uitest::Screenshot(native, "welcome-keyboard");
                cairo_surface_t* image = cairo_image_surface_create_from_png(shot.c_str());
                if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
                    auto leftEdge = [&](int id) {
                        int x = 0, y = 0, w = 0, h = 0;
                        dialog.GetControlPixels(id, x, y, w, h);
                        const unsigned char* p = cairo_image_surface_get_data(image)
                            + (y + h / 2) * cairo_image_surface_get_stride(image) + (x + 1) * 4;
                        return p[0] + p[1] * 256 + p[2] * 65536;
                    };
                    framePixel = leftEdge(road.answer == kVTWelcomeOpenProject ? 201 : 202);
                    plainPixel = leftEdge(200);
                }
                cairo_surface_destroy(image);
                XKeyTo(dialog, road.choose);
                // A key that chooses nothing must not leave the test waiting.
                if (!uitest::PumpUntil([&] { return !dialog.IsOpen(); }, 2000))
                    dialog.Close(kLCmdCancel);
            });
        EXPECT_EQ(dialog.Open(), road.answer);
        const LGuiColor focus = LPaintSurface::GetFocusIndicatorColor();
        EXPECT_EQ(framePixel, focus.GetBlue8() + focus.GetGreen8() * 256 + focus.GetRed8() * 65536);
        EXPECT_NE(plainPixel, framePixel);
        if (road.answer == kVTWelcomeOpenProject)
            EXPECT_EQ(seen,
                (std::vector<std::string> { "200", "201", "202", "104", "Avbryt", "200", "Avbryt",
                    "104", "202", "201", "200", "201", "202", "201" }));
        else
            EXPECT_EQ(seen, (std::vector<std::string> { "200", "201", "202" }));
    }
    LDialogMenuHooksGet() = LDialogMenuHooks {};
}

// --- add template --------------------------------------------------------------------------------

TEST_F(OptionsDialogs, AddTemplateListsTheSixFormats)
{
    VTAddTemplateDialog dialog;
    VTTemplateFormat format = VTTemplateFormatDisc;
    std::vector<std::string> rows;
    bool okBefore = true, okAfter = false;
    int selectedBefore = -1;
    int lx = 0, ly = 0, lw = 0, lh = 0;
    double s = 1;
    When([&] { return Shown(dialog); },
        [&] {
            s = Scale(dialog);
            for (int i = 0; i < 8; ++i) {
                char t[260] = "";
                if (!dialog.LVGetString(101, i, t) || !*t)
                    break;
                rows.push_back(t);
            }
            okBefore = dialog.GetControlHandle(kLCmdOk)->IsEnabled();
            selectedBefore = dialog.LVGetSelCount(101);
            dialog.LVSetCurSel(101, 3);
            dialog.SendCommand(1000);
            okAfter = dialog.GetControlHandle(kLCmdOk)->IsEnabled();
            dialog.GetControlPixels(101, lx, ly, lw, lh);
            uitest::Screenshot(dialog.GetNativeWindow(), "add-template");
            dialog.SendCommand(kLCmdOk);
        });
    EXPECT_TRUE(dialog.Open(nullptr, format));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], "Standardskiva");
    EXPECT_EQ(rows[5], "Standard BluRay fall");
    // OK follows the selection (the list may select its first row when it takes the focus).
    EXPECT_EQ(okBefore, selectedBefore == 1);
    EXPECT_TRUE(okAfter);
    EXPECT_EQ(format, VTTemplateFormatJewelCaseInsert);
    EXPECT_NEAR(lx, 18 * s, 1);
    EXPECT_NEAR(ly, 14 * s, 1);
    EXPECT_NEAR(lw, 444 * s, 1);
    EXPECT_NEAR(lh, 340 * s, 1);
}

TEST_F(OptionsDialogs, AddTemplateCancelledKeepsTheFormat)
{
    VTAddTemplateDialog dialog;
    VTTemplateFormat format = VTTemplateFormatCaseDVD;
    When([&] { return Shown(dialog); }, [&] { dialog.SendCommand(kLCmdCancel); });
    EXPECT_FALSE(dialog.Open(nullptr, format));
    EXPECT_EQ(format, VTTemplateFormatCaseDVD);
}

// --- disc printable area -------------------------------------------------------------------------

TEST_F(OptionsDialogs, DiscRingsMustShrinkInwards)
{
    VTDiscDimensions d;
    d.band = true;
    d.outer = 118;
    d.bandOuter = 37;
    d.bandInner = 36.6f;
    d.inner = 36;
    EXPECT_FALSE(VTDiscDimensionsValid(d));
    d.bandInner = 36.5f; // exactly the gaps
    d.bandOuter = 37.0f;
    EXPECT_TRUE(VTDiscDimensionsValid(d));
    d.outer = 37.4f;
    EXPECT_FALSE(VTDiscDimensionsValid(d));
    d.band = false; // without the band only inner and outer count
    EXPECT_TRUE(VTDiscDimensionsValid(d));
    VTDiscDimensions plain;
    plain.inner = 15.4f;
    plain.outer = 118;
    EXPECT_FALSE(VTDiscDimensionsValid(plain));
    plain.inner = 15.5f;
    EXPECT_TRUE(VTDiscDimensionsValid(plain));
    plain.outer = std::nanf("");
    EXPECT_FALSE(VTDiscDimensionsValid(plain));
}

TEST_F(OptionsDialogs, DiscDialogRefusesRingsOutOfOrder)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    VTLabelLayoutTemplate t(VTTemplateFormatDisc, 1);
    VTDiscDimensionsDialog dialog;
    std::string headline, message;
    bool openAfter = false;
    When([&] { return Shown(dialog); },
        [&] {
            dialog.SetCheck(107, true);
            Type(dialog, 102, "118");
            Type(dialog, 109, "37");
            Type(dialog, 113, "36.6");
            Type(dialog, 117, "36");
            uitest::AnswerAlert(&headline, "OK");
            uitest::When([] { return LUiCurrentAlertWidget() != nullptr; },
                [&] {
                    auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                    message = LUiAlertMessage(alert);
                });
            dialog.SendCommand(kLCmdOk);
            openAfter = dialog.IsOpen();
            dialog.SendCommand(kLCmdCancel);
        });
    EXPECT_FALSE(dialog.Open(nullptr, &t));
    EXPECT_TRUE(openAfter);
    std::string all = headline + "\n" + message;
    EXPECT_NE(all.find("0.500 units"), std::string::npos) << all;
    float o, i, bo, bi;
    bool band;
    static_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData())
        ->GetDiscPrintableArea(o, i, band, bo, bi);
    EXPECT_EQ(o, 118.0f); // unchanged
    EXPECT_FALSE(band);
}

TEST_F(OptionsDialogs, DiscDialogStandardAndControlRectangles)
{
    VTLabelLayoutTemplate t(VTTemplateFormatDisc, 1);
    static_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData())
        ->SetDiscPrintableArea(110, 20, true, 40, 30);
    VTDiscDimensionsDialog dialog;
    bool bandEnabledAfterStandard = true;
    std::string label;
    double s = 1;
    int rects[4][4] = {};
    int standard[4] = {};
    When([&] { return Shown(dialog); },
        [&] {
            s = Scale(dialog);
            label = StaticText(dialog, 104);
            const int ids[] = { 102, 109, 113, 117 };
            for (int k = 0; k < 4; ++k)
                dialog.GetControlPixels(ids[k], rects[k][0], rects[k][1], rects[k][2], rects[k][3]);
            dialog.GetControlPixels(
                kVTDiscDimensionsStandard, standard[0], standard[1], standard[2], standard[3]);
            uitest::Screenshot(dialog.GetNativeWindow(), "disc-dimensions");
            dialog.SendCommand(kVTDiscDimensionsStandard);
            bandEnabledAfterStandard
                = static_cast<LCocoaInputUpDownImpl*>(dialog.GetControlHandle(109))->isEnabled();
            dialog.SendCommand(kLCmdOk);
        });
    EXPECT_TRUE(dialog.Open(nullptr, &t));
    EXPECT_EQ(label, "Ytterdiameter (mm):");
    EXPECT_FALSE(bandEnabledAfterStandard);
    float o, i, bo, bi;
    bool band;
    static_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData())
        ->GetDiscPrintableArea(o, i, band, bo, bi);
    EXPECT_FLOAT_EQ(o, 118);
    EXPECT_FLOAT_EQ(i, 35);
    EXPECT_FALSE(band);
    EXPECT_FLOAT_EQ(bo, 37);
    EXPECT_FLOAT_EQ(bi, 36);
    const int expected[4][3]
        = { { 366, 30, 96 }, { 352, 146, 96 }, { 352, 194, 96 }, { 366, 256, 96 } };
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(rects[k][0], expected[k][0] * s, 1) << k;
        EXPECT_NEAR(rects[k][1], expected[k][1] * s, 1) << k;
        EXPECT_NEAR(rects[k][2], expected[k][2] * s, 1) << k;
    }
    // "Standard" sits on the button row, beside Help.
    EXPECT_NEAR(standard[1], kVTDiscDimensionsButtonRowY * s, 2 * s);
}

// An inner diameter typed below the smallest is held at 15.5 mm by the input, so what is stored
// passes the check that refuses 15.4.
TEST_F(OptionsDialogs, DiscDialogHoldsTheInnerDiameterAtItsSmallest)
{
    VTLabelLayoutTemplate t(VTTemplateFormatDisc, 1);
    VTDiscDimensionsDialog dialog;
    double held = 0;
    When([&] { return Shown(dialog); },
        [&] {
            Type(dialog, 117, "15.4");
            held = dialog.innerInput.GetValue(dialog);
            dialog.SendCommand(kLCmdOk);
        });
    EXPECT_TRUE(dialog.Open(nullptr, &t));
    EXPECT_DOUBLE_EQ(held, 15.5);
    float o, i, bo, bi;
    bool band;
    static_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData())
        ->GetDiscPrintableArea(o, i, band, bo, bi);
    EXPECT_FLOAT_EQ(i, 15.5f);
    VTDiscDimensions typed;
    typed.outer = o;
    typed.inner = 15.4f;
    EXPECT_FALSE(VTDiscDimensionsValid(typed));
}

TEST_F(OptionsDialogs, DiscDialogInInchesAndWithoutTemplate)
{
    EXPECT_FALSE(VTDiscDimensionsDialogOpen(nullptr, nullptr));
    LSettingSetMeasurementUnit(1);
    VTLabelLayoutTemplate t(VTTemplateFormatDisc, 1);
    VTDiscDimensionsDialog dialog;
    std::string label;
    double minimum = 0, shown = 0;
    When([&] { return Shown(dialog); },
        [&] {
            label = StaticText(dialog, 119);
            minimum = dialog.innerInput.minimum;
            shown = dialog.outerInput.GetValue(dialog);
            dialog.SendCommand(kLCmdCancel);
        });
    EXPECT_FALSE(dialog.Open(nullptr, &t));
    EXPECT_EQ(label, "Innerdiameter (in):");
    EXPECT_NEAR(minimum, 15.5 / 25.4, 1e-9);
    EXPECT_NEAR(shown, 118 / 25.4, 0.01);
}

TEST_F(OptionsDialogs, HelpPagesAreOurOwn)
{
    if (!getenv("VT_RESOURCES_DIR"))
        GTEST_SKIP() << "run from ctest, which names the resources";
    for (const char* topic : { "options_general", "options_background", "dialogs_addtemplate",
             "dialogs_changediscprintableareas" }) {
        char url[kLHelpURLSize] = "";
        LHelpGetHelpPageFilePath(url, topic);
        EXPECT_EQ(std::string(url).rfind("file://", 0), 0u) << topic << ": " << url;
    }
}
