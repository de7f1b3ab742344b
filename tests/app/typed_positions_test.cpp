// Numbers typed into the decimal fields of the print preview, the label-layout editor, the
// options sheet and the disc printable-area dialog with the real keyboard (xdotool), in the C
// and the Swedish locale ("12,5" and "12.5"): a typed value applies when Tab leaves the field or
// Return is pressed in it, moves the position and refreshes the other fields; a value out of
// range is clamped and shown clamped; a text that is no number gives the field its last value
// back. Return takes the number and then presses the dialog's default button, as from any other
// field: "Skriv ut", "Tillämpa", "OK".
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTSmallDialogs.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "platform/ui/LNativeWindow.h"
#include "support/ControlTestSupport.h"
#include "support/PrintPanel.h"
#include "support/PrivateHomes.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using controltest::Key;
using controltest::TakeKeyboard;

// The keys of the text, typed with the real keyboard ("--": a text may begin with '-').
void Type(const std::string& text)
{
    controltest::MapSwedishKeys();
    uitest::Run("xdotool type --delay 15 -- '" + text + "'");
}

bool Shown(LMacWindow& d)
{
    return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised();
}

LCocoaInputUpDownImpl* UpDown(LWindow& w, int id)
{
    return dynamic_cast<LCocoaInputUpDownImpl*>(w.GetControlHandle(id));
}

std::string Shown(LWindow& w, int id)
{
    LCocoaInputUpDownImpl* ud = UpDown(w, id);
    return ud ? ud->textField()->stringValue() : std::string("(no field)");
}

// The number a field shows, with either decimal separator; NaN for none.
double Number(std::string text)
{
    std::replace(text.begin(), text.end(), ',', '.');
    char* end = nullptr;
    const double v = g_ascii_strtod(text.c_str(), &end);
    return end == text.c_str() || *end ? NAN : v;
}

// Types into the up-down input of w as the user does: its field takes the focus, everything in
// it is selected and typed over, and the key that ends the edit is pressed ("Tab", "Return").
void TypeInto(LWindow& w, int id, const std::string& text, const char* endKey)
{
    LCocoaInputUpDownImpl* ud = UpDown(w, id);
    ASSERT_NE(ud, nullptr) << id;
    LNativeWindow* window = ud->Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MakeFirstResponder(ud->textField()));
    uitest::Pump(50);
    Key("ctrl+a");
    Type(text);
    Key(endKey);
}

// The locales the fields are typed in; LC_NUMERIC follows too (the worst case: the C library
// then writes decimal commas).
const char* const kLocales[] = { "C", "sv_SE.UTF-8" };

class TypedPositions : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
    }
    void TearDown() override { setlocale(LC_ALL, "C"); }
    // False when the machine lacks the locale.
    static bool UseLocale(const char* locale) { return setlocale(LC_ALL, locale) != nullptr; }
    PrivateHomes homes;
};

} // namespace

TEST_F(TypedPositions, PrintPreviewFieldsApplyOnTabAndReturn)
{
    for (const char* locale : kLocales) {
        if (!UseLocale(locale))
            continue;
        SCOPED_TRACE(locale);
        const bool comma = std::strcmp(locale, "C") != 0;
        VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
        VTLabelLayout& layout = *project.GetLabelLayout();
        VTLabelLayoutPage* page = layout.pages.GetHead();
        VTLabelLayoutTemplate* a = page->first;
        ASSERT_TRUE(a && a->next);
        VTPrintPreviewDialog dialog(project, page, a);
        uitest::KeyboardLock keys;
        uitest::When([&] { return Shown(dialog); },
            [&] {
                struct Close {
                    LMacWindow& d;
                    ~Close() { d.PostCommand(kLCmdCancel); }
                } close { dialog };
                ASSERT_TRUE(TakeKeyboard(dialog.GetNativeWindow()));
                VTLabelLayoutEditorPanelTemplateProperties& panel = *dialog.PanelTemplate();
                VTControlEdgePositions& edges = panel.Edges();
                float ex = 0, ey = 0;
                VTLabelLayoutTemplateHalfExtent(*a, ex, ey);

                // Center X typed and left with Tab: the disc moves, the edge fields follow.
                TypeInto(panel.CenterX(), 1001, comma ? "12,5" : "12.5", "Tab");
                ASSERT_TRUE(uitest::PumpUntil([&] { return a->centreX == 12.5f; }, 2000))
                    << a->centreX;
                VTTemplatePanelValues v;
                VTTemplatePanelValuesGet(layout, page, a, v);
                EXPECT_NEAR(Number(Shown(edges, 1201)), 105 + 12.5 - ex, 0.006);
                EXPECT_NEAR(Number(Shown(edges, 1301)), 105 - 12.5 - ex, 0.006);
                EXPECT_NEAR(v.edges[1], 105 + 12.5 - ex, 1e-3);

                // Not a number: the field shows its value again and nothing moves, also after
                // the pause of the delayed report.
                TypeInto(panel.CenterX(), 1001, "abc", "Tab");
                uitest::Pump(800);
                EXPECT_FLOAT_EQ(a->centreX, 12.5f);
                EXPECT_NEAR(Number(Shown(panel.CenterX(), 1001)), 12.5, 1e-9)
                    << Shown(panel.CenterX(), 1001);

                // Out of range: clamped to the range, and shown so.
                TypeInto(panel.CenterX(), 1001, "-500", "Tab");
                ASSERT_TRUE(uitest::PumpUntil([&] { return a->centreX != 12.5f; }, 2000));
                EXPECT_NEAR(a->centreX, v.minX, 1e-3);
                EXPECT_NEAR(Number(Shown(panel.CenterX(), 1001)), v.minX, 0.006);
                TypeInto(edges, 1201, "999", "Tab");
                ASSERT_TRUE(uitest::PumpUntil(
                    [&] { return std::fabs(Number(Shown(edges, 1201)) - 209) < 0.006; }, 2000))
                    << Shown(edges, 1201);
                EXPECT_NEAR(a->centreX, 209 + ex - 105, 1e-3);
                EXPECT_NEAR(Number(Shown(panel.CenterX(), 1001)), 209 + ex - 105, 0.006);
                uitest::Pump(200);
                uitest::SaveScreenshot(dialog.GetNativeWindow(),
                    uitest::ArtefactPath("typed_positions", comma ? "preview-sv" : "preview"));

                // Center Y with Return: applied, and then "Skriv ut" is pressed: GTK's print
                // panel shows (cancelled here, which leaves the preview open).
                auto printing = std::make_shared<bool>(false);
                uitest::When([] { return PrintPanel() != nullptr; },
                    [printing] {
                        if (GtkWidget* print = PrintPanel()) {
                            *printing = true;
                            gtk_dialog_response(GTK_DIALOG(print), GTK_RESPONSE_CANCEL);
                        }
                    });
                TypeInto(panel.CenterY(), 1001, comma ? "-7,25" : "-7.25", "Return");
                ASSERT_TRUE(uitest::PumpUntil([&] { return a->centreY == -7.25f; }, 2000))
                    << a->centreY;
                EXPECT_TRUE(uitest::PumpUntil([&] { return *printing; }, 10000))
                    << "Return did not press \"Skriv ut\"";
                EXPECT_NEAR(Number(Shown(edges, 1100)), 148.5 - 7.25 - ey, 0.006);
            });
        dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
        EXPECT_FALSE(dialog.Printed());
    }
}

TEST_F(TypedPositions, LayoutEditorFieldsApplyAndReturnApplies)
{
    for (const char* locale : kLocales) {
        if (!UseLocale(locale))
            continue;
        SCOPED_TRACE(locale);
        const bool comma = std::strcmp(locale, "C") != 0;
        VTLabelLayoutDataGenericDVDStandard layout;
        VTLabelLayoutPage* page = nullptr;
        VTLabelLayoutTemplate* dvd = nullptr;
        for (VTLabelLayoutPage* p = layout.pages.GetHead(); p && !dvd; p = p->GetNext())
            for (VTLabelLayoutTemplate* t = p->first; t; t = t->next)
                if (t->GetFormat() == 4) {
                    dvd = t;
                    page = p;
                }
        ASSERT_TRUE(dvd);
        VTLabelLayoutTemplate* current = dvd;
        LList<VTProjectTemplate> designs;
        VTLabelLayoutEditorDialog dialog(layout, designs, current);
        uitest::KeyboardLock keys;
        bool closedByReturn = false;
        // What the panel shows of the case, computed from the layout itself.
        auto values = [&] {
            VTTemplatePanelValues v;
            VTTemplatePanelValuesGet(layout, page, dvd, v);
            return v;
        };
        uitest::When([&] { return Shown(dialog); },
            [&] {
                struct Close {
                    LMacWindow& d;
                    ~Close() { d.PostCommand(kLCmdCancel); }
                } close { dialog };
                ASSERT_TRUE(TakeKeyboard(dialog.GetNativeWindow()));
                ASSERT_EQ(dialog.Viewer().GetSingleSelectedItem(), dvd);
                VTLabelLayoutEditorPanelTemplateProperties& panel = *dialog.TemplatePanel();
                TypeInto(panel.CenterX(), 1001, comma ? "3,75" : "3.75", "Tab");
                ASSERT_TRUE(uitest::PumpUntil([&] { return values().centreX == 3.75f; }, 2000))
                    << values().centreX;
                TypeInto(panel.Spine(), 1001, comma ? "14,5" : "14.5", "Tab");
                ASSERT_TRUE(uitest::PumpUntil(
                    [&] { return dvd->GetTemplateData()->GetSpineWidth() == 14.5f; }, 2000));
                // The top edge typed: the position follows, and so do the centre fields.
                TypeInto(panel.Edges(), 1100, comma ? "20,5" : "20.5", "Tab");
                ASSERT_TRUE(uitest::PumpUntil(
                    [&] { return std::fabs(values().edges[0] - 20.5f) < 1e-3; }, 2000))
                    << values().edges[0];
                EXPECT_NEAR(Number(Shown(panel.CenterX(), 1001)), values().centreX, 0.006);
                EXPECT_NEAR(Number(Shown(panel.CenterY(), 1001)), values().centreY, 0.006);
                EXPECT_NEAR(Number(Shown(panel.Edges(), 1401)), values().edges[3], 0.006);
                // Text that is no number: nothing changes.
                TypeInto(panel.Spine(), 1001, "x", "Tab");
                uitest::Pump(700);
                EXPECT_FLOAT_EQ(dvd->GetTemplateData()->GetSpineWidth(), 14.5f);
                EXPECT_NEAR(Number(Shown(panel.Spine(), 1001)), 14.5, 1e-9);
                // Center X with Return: the number applies, and "Tillämpa" is pressed.
                TypeInto(panel.CenterX(), 1001, comma ? "-2,5" : "-2.5", "Return");
                closedByReturn = uitest::PumpUntil([&] { return !dialog.IsOpen(); }, 5000);
            });
        EXPECT_TRUE(dialog.Open(nullptr, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0))
            << "Return did not press \"Tillämpa\"";
        EXPECT_TRUE(closedByReturn);
        EXPECT_FLOAT_EQ(values().centreX, -2.5f) << "the number typed before Return is lost";
    }
}

TEST_F(TypedPositions, OptionsMarginsClampRestoreAndReturnPressesOK)
{
    for (const char* locale : kLocales) {
        if (!UseLocale(locale))
            continue;
        SCOPED_TRACE(locale);
        const bool comma = std::strcmp(locale, "C") != 0;
        LUserSettingSetString("Settings", "PaperMarginWidth", "5.0");
        VTOptionsDialog dialog;
        uitest::KeyboardLock keys;
        bool closedByReturn = false;
        std::string afterBad, afterLarge;
        uitest::When([&] { return Shown(dialog); },
            [&] {
                ASSERT_TRUE(TakeKeyboard(dialog.GetNativeWindow()));
                LMacWindow& page = dialog.general;
                TypeInto(page, 8611, "abc", "Tab");
                uitest::Pump(200);
                afterBad = Shown(page, 8611);
                TypeInto(page, 8611, "999", "Tab");
                uitest::Pump(200);
                afterLarge = Shown(page, 8611);
                // "Marginalbredd" with Return: the number is taken and "OK" pressed.
                TypeInto(page, 8611, comma ? "12,5" : "12.5", "Return");
                closedByReturn = uitest::PumpUntil([&] { return !dialog.IsOpen(); }, 5000);
                if (!closedByReturn)
                    dialog.SendCommand(kLCmdCancel);
            });
        EXPECT_TRUE(dialog.Open(nullptr));
        EXPECT_NEAR(Number(afterBad), 5, 1e-9) << afterBad;
        EXPECT_NEAR(Number(afterLarge), 105, 1e-9) << afterLarge; // half of A4's width
        EXPECT_TRUE(closedByReturn) << "Return did not press \"OK\"";
        char stored[64] = "";
        _LUserSettingGetString("Settings", "PaperMarginWidth", "", stored);
        EXPECT_STREQ(stored, "12.500000");
    }
}

// "Innerdiameter" left with Tab is clamped; "Ytterdiameter" with Return is taken and applied
// with "Tillämpa".
TEST_F(TypedPositions, DiscDialogClampsAndReturnApplies)
{
    VTLabelLayoutTemplate t(VTTemplateFormatDisc, 1);
    VTDiscDimensionsDialog dialog;
    uitest::KeyboardLock keys;
    bool closedByReturn = false;
    std::string clamped;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            ASSERT_TRUE(TakeKeyboard(dialog.GetNativeWindow()));
            TypeInto(dialog, 117, "12.5", "Tab");
            uitest::Pump(400);
            clamped = Shown(dialog, 117);
            TypeInto(dialog, 102, "115", "Return");
            closedByReturn = uitest::PumpUntil([&] { return !dialog.IsOpen(); }, 5000);
            if (!closedByReturn)
                dialog.SendCommand(kLCmdCancel);
        });
    EXPECT_TRUE(dialog.Open(nullptr, &t)) << "Return did not press \"Tillämpa\"";
    EXPECT_TRUE(closedByReturn);
    EXPECT_NEAR(Number(clamped), 15.5, 1e-9) << clamped; // the smallest inner diameter
    float outer = 0, inner = 0, bandOuter = 0, bandInner = 0;
    bool band = false;
    auto* disc = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData());
    ASSERT_NE(disc, nullptr);
    disc->GetDiscPrintableArea(outer, inner, band, bandOuter, bandInner);
    EXPECT_FLOAT_EQ(outer, 115.0f) << "the number typed before Return is lost";
    EXPECT_FLOAT_EQ(inner, 15.5f);
}
