// The number controls on a real window: reports after the pause (500 ms for lengths and edges,
// 250 ms for whole numbers), at once when the focus leaves first, none when the program sets a
// value, none after Destroy; every user edit of a whole number reported, the first included;
// millimetres and inches; ranges; bad texts.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/controls/VTControlDecimalInput.h"
#include "app/controls/VTControlEdgePositions.h"
#include "app/controls/VTControlNumericalInput.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "support/ControlTestSupport.h"
#include "support/PrivateHomes.h"

#include <cmath>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <utility>
#include <vector>

using namespace controltest;

namespace {

class NumericInputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        LSettingSetMeasurementUnit(0);
    }
    void TearDown() override { LSettingSetMeasurementUnit(0); }
    PrivateHomes homes;
};

struct Seen : VTControlDecimalInputNotifyee,
              VTControlNumericalInputNotifyee,
              VTControlEdgePositionsNotifyee {
    std::vector<double> decimals, numbers;
    std::vector<std::pair<int, float>> edges;
    std::vector<double> edgeTimes;
    std::vector<float> values;
    void EvDecimalInputChanged(VTControlDecimalInput& c) override
    {
        decimals.push_back(NowMs());
        values.push_back(c.GetValue());
    }
    void EvNumericalInputChanged(VTControlNumericalInput& c) override
    {
        numbers.push_back(NowMs());
        values.push_back(float(c.UDGetInt(1001)));
    }
    void EvEdgePositionChanged(VTEdges e, float mm) override
    {
        edges.emplace_back(int(e), mm);
        edgeTimes.push_back(NowMs());
    }
};

LCocoaTextInputImpl* Field(LWindow& w, int updown)
{
    auto* ud = dynamic_cast<LCocoaInputUpDownImpl*>(w.GetControlHandle(updown));
    return ud ? ud->textField() : nullptr;
}

std::string Shown(LWindow& w, int updown)
{
    LCocoaTextInputImpl* f = Field(w, updown);
    return f ? f->stringValue() : std::string();
}

std::string GroupTitle(LWindow& w, int id)
{
    auto* group = dynamic_cast<LCocoaGroupImpl*>(w.GetControlHandle(id));
    return group ? group->title() : std::string("(no group)");
}

// Keeps the time of a change of the field in *at while the field has the keyboard: the user's
// edits, not the field writing out its number when editing ends.
void StampEdit(GtkEditable* field, gpointer at)
{
    if (gtk_widget_has_focus(GTK_WIDGET(field)))
        *static_cast<double*>(at) = NowMs();
}

// Types into the up-down input's field as the user would: a click into the field (left of the
// stepper), select all, type (keys 30 ms apart).
void TypeInto(LEmbeddedWindow& pane, int updown, const std::string& text)
{
    ASSERT_TRUE(ClickChild(pane, updown, 0.3));
    uitest::Pump(100);
    Key("ctrl+a");
    Type(text, 30);
}

} // namespace

TEST_F(NumericInputs, DecimalReportsAfterThePauseAndNotAfterASet)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int s = Scale();
    Host host(360, 200);
    VTControlDecimalInput width("Bredd:", "Bredden på markeringen", 0, 500);
    Seen seen;
    width.Init(host);
    width.AddNotifyee(seen);
    width.MovePixels(10 * s, 10 * s, 300 * s, 40 * s);
    ASSERT_TRUE(host.Show());
    int x, y, w, h;
    width.GetControlPixels(1001, x, y, w, h);
    EXPECT_EQ(w, 100 * s);
    EXPECT_EQ(x, 200 * s);
    EXPECT_EQ(h, int(1.29 * width.CharHeightPixels() + 0.5));
    EXPECT_EQ(width.GetControlHandle(1002)->ToolTipText(), "Bredden på markeringen");

    uitest::KeyboardLock keys;
    ASSERT_TRUE(TakeKeyboard(host.GetNativeWindow()));
    TypeInto(width, 1001, "12.5");
    const double typed = NowMs();
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.decimals.empty(); }, 3000));
    uitest::Pump(200);
    ASSERT_EQ(seen.decimals.size(), 1u);
    EXPECT_GE(seen.decimals[0] - typed, 450.0);
    EXPECT_FLOAT_EQ(seen.values[0], 12.5f);
    uitest::Screenshot(host.GetNativeWindow(), "controls-decimal");

    // Typing, then SetValue, SetMinMax or Destroy before the report: nothing, then or later.
    Type("5", 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return width.TimerIsSet(1); }, 2000));
    width.SetValue(7);
    EXPECT_EQ(Shown(width, 1001), "7.00");
    uitest::Pump(800);
    EXPECT_EQ(seen.decimals.size(), 1u);
    Type("1", 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return width.TimerIsSet(1); }, 2000));
    width.SetMinMax(0, 100);
    uitest::Pump(800);
    EXPECT_EQ(seen.decimals.size(), 1u);
    Type("2", 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return width.TimerIsSet(1); }, 2000));
    width.Destroy();
    uitest::Pump(800);
    EXPECT_EQ(seen.decimals.size(), 1u);
}

TEST_F(NumericInputs, WholeNumbersReportEveryEditTheFirstIncluded)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int s = Scale();
    Host host(360, 200);
    VTControlNumericalInput copies("Kopior:", "Antal kopior", 1, 99);
    Seen seen;
    copies.Init(host);
    copies.AddNotifyee(seen);
    copies.MovePixels(10 * s, 10 * s, 300 * s, 40 * s);
    ASSERT_TRUE(host.Show());
    copies.UDSetInt(1001, 3);
    EXPECT_FALSE(copies.TimerIsSet(1)); // the owner's value arms nothing

    uitest::KeyboardLock keys;
    ASSERT_TRUE(TakeKeyboard(host.GetNativeWindow()));
    TypeInto(copies, 1001, "42");
    const double typed = NowMs();
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.numbers.empty(); }, 3000));
    EXPECT_GE(seen.numbers[0] - typed, 200.0);
    EXPECT_EQ(seen.values.back(), 42.0f);
    TypeInto(copies, 1001, "7");
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.numbers.size() == 2; }, 3000));
    EXPECT_EQ(seen.values.back(), 7.0f);
    // The owner setting the value while a report is pending drops it.
    Type("1", 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return copies.TimerIsSet(1); }, 2000));
    copies.UDSetInt(1001, 5);
    uitest::Pump(500);
    EXPECT_EQ(seen.numbers.size(), 2u);
    // Leaving the field (Tab) before the pause: reported at once, with the number typed. The
    // Tab waits in the queue behind the typed keys, so the field takes it right after the last
    // edit however slowly xdotool starts; the pause would report 250 ms after that edit at the
    // earliest. A busy machine may hold the test between the two keys: then once more.
    double edited = 0;
    GtkWidget* entry = Field(copies, 1001)->ExistingWidget();
    ASSERT_TRUE(entry);
    const gulong onChange = g_signal_connect(entry, "changed", G_CALLBACK(StampEdit), &edited);
    auto leaveAfterTyping = [&] {
        const size_t before = seen.numbers.size();
        TypeInto(copies, 1001, "12");
        Key("Tab");
        if (!uitest::PumpUntil([&] { return seen.numbers.size() > before; }, 3000))
            return -1.0;
        return seen.numbers.back() - edited;
    };
    double late = leaveAfterTyping();
    if (late >= 240.0)
        late = leaveAfterTyping();
    g_signal_handler_disconnect(entry, onChange);
    ASSERT_GE(late, 0.0) << "leaving the field reported nothing";
    EXPECT_LT(late, 240.0) << "reported when the pause ended, not when the field was left";
    EXPECT_EQ(seen.values.back(), 12.0f);
    const size_t reported = seen.numbers.size();
    uitest::Pump(400);
    EXPECT_EQ(seen.numbers.size(), reported); // and not once more after the pause
    copies.Destroy();
}

TEST_F(NumericInputs, EdgeFieldsReportTheirEdgeAndNothingWhenFocusLeaves)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int s = Scale();
    Host host(360, 220);
    VTControlEdgePositions edges;
    Seen seen;
    edges.Init(host);
    edges.AddNotifyee(seen);
    edges.MovePixels(10 * s, 10 * s, 330 * s, 190 * s);
    ASSERT_TRUE(host.Show());
    EXPECT_EQ(GroupTitle(edges, 1000), "Kantpositioner (mm)");
    // The cross: top and bottom centred, left at the margin, right two fields further.
    const double cw = edges.CharWidthPixels(), ch = edges.CharHeightPixels();
    const int m = int(1.25 * cw + 0.5), f = (330 * s - 2 * m) / 3, u = int(1.29 * ch + 0.5);
    const int step = int(0.59 * ch + 0.5) + int(1.23 * ch + 0.5);
    int x, y, w, h;
    edges.GetControlPixels(1100, x, y, w, h);
    EXPECT_EQ(x, (330 * s - f) / 2);
    EXPECT_EQ(y, u);
    EXPECT_EQ(w, f);
    edges.GetControlPixels(1201, x, y, w, h);
    EXPECT_EQ(x, m);
    EXPECT_EQ(y, u + step);
    edges.GetControlPixels(1301, x, y, w, h);
    EXPECT_EQ(x, m + 2 * f);
    edges.GetControlPixels(1401, x, y, w, h);
    EXPECT_EQ(y, u + 2 * step);
    EXPECT_EQ(edges.GetControlHandle(1202)->ToolTipText(),
        "Avstånd från vänster om sidan till vänster om den valda mallen");

    uitest::KeyboardLock keys;
    ASSERT_TRUE(TakeKeyboard(host.GetNativeWindow()));
    TypeInto(edges, 1201, "3.5");
    const double typed = NowMs();
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.edges.empty(); }, 3000));
    uitest::Pump(200);
    ASSERT_EQ(seen.edges.size(), 1u);
    EXPECT_EQ(seen.edges[0].first, 1);
    EXPECT_FLOAT_EQ(seen.edges[0].second, 3.5f);
    EXPECT_GE(seen.edgeTimes[0] - typed, 450.0);
    uitest::Screenshot(host.GetNativeWindow(), "controls-edges");
    // Typing in the top field, then moving to the bottom one before the pause: the top edge is
    // reported at once, and only once.
    TypeInto(edges, 1100, "2");
    ASSERT_TRUE(ClickChild(edges, 1401, 0.3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.edges.size() == 2; }, 2000));
    uitest::Pump(900);
    ASSERT_EQ(seen.edges.size(), 2u);
    EXPECT_EQ(seen.edges[1].first, 0);
    EXPECT_FLOAT_EQ(seen.edges[1].second, 2.0f);
    // Text that is no number reports nothing, after the pause or on leaving, and the field
    // gets its value back.
    Key("ctrl+a");
    Type("x", 0);
    uitest::Pump(700);
    ASSERT_TRUE(ClickChild(edges, 1201, 0.3));
    uitest::Pump(300);
    EXPECT_EQ(seen.edges.size(), 2u);
    EXPECT_EQ(Shown(edges, 1401), "0.00"); // not the minimum, -120
    // SetValues with a report pending: nothing.
    TypeInto(edges, 1401, "9");
    ASSERT_TRUE(uitest::PumpUntil([&] { return edges.TimerIsSet(2003); }, 2000));
    edges.SetValues(1, 2, 3, 4);
    uitest::Pump(800);
    EXPECT_EQ(seen.edges.size(), 2u);
    EXPECT_FLOAT_EQ(edges.GetValue(kVTEdgeRight), 3.0f);
    edges.Destroy();
}

TEST_F(NumericInputs, UnitsRangesAndBadTexts)
{
    const int s = Scale();
    LSettingSetMeasurementUnit(1);
    {
        Host host(360, 260);
        VTControlDecimalInput length("Längd:", "", 0, 20);
        VTControlEdgePositions edges;
        length.Init(host);
        edges.Init(host);
        length.MovePixels(0, 0, 300 * s, 40 * s);
        edges.MovePixels(0, 50 * s, 330 * s, 190 * s);
        length.SetValue(25.4f);
        EXPECT_EQ(Shown(length, 1001), "1.00");
        EXPECT_NEAR(length.GetValue(), 25.4f, 1e-4);
        EXPECT_EQ(GroupTitle(edges, 1000), "Kantpositioner (in)");
        edges.SetValues(25.4f, 50.8f, 0, -12.7f);
        EXPECT_EQ(Shown(edges, 1201), "2.00");
        EXPECT_EQ(Shown(edges, 1401), "-0.50");
        EXPECT_NEAR(edges.GetValue(kVTEdgeBottom), -12.7f, 1e-4);
        // A range in millimetres becomes inches in the field.
        length.SetMinMax(25.4f, 254);
        Field(length, 1001)->setText("50");
        EXPECT_NEAR(length.GetValue(), 254, 1e-3);
        length.Destroy();
        edges.Destroy();
    }
    LSettingSetMeasurementUnit(0);
    Host host(360, 260);
    VTControlDecimalInput length("Längd:", "", 1, 500);
    VTControlEdgePositions edges;
    length.Init(host);
    edges.Init(host);
    length.MovePixels(0, 0, 300 * s, 40 * s);
    edges.MovePixels(0, 50 * s, 330 * s, 190 * s);
    // Texts that are no number read as the last value shown; an overflow is the maximum; a
    // decimal comma is a decimal point.
    length.SetValue(7);
    for (const char* bad : { "abc", "nan", "inf", "", "-", "0x10", "12abc", "1.2.3" }) {
        Field(length, 1001)->setText(bad);
        EXPECT_FLOAT_EQ(length.GetValue(), 7.0f) << bad;
    }
    Field(length, 1001)->setText("1e999");
    EXPECT_FLOAT_EQ(length.GetValue(), 500.0f);
    Field(length, 1001)->setText("9999");
    EXPECT_FLOAT_EQ(length.GetValue(), 500.0f);
    Field(length, 1001)->setText(" 12,5 ");
    EXPECT_FLOAT_EQ(length.GetValue(), 12.5f);
    Field(length, 1001)->setText("-3");
    EXPECT_FLOAT_EQ(length.GetValue(), 1.0f);
    // Edge ranges: left and right -a..c, top and bottom -b..d.
    edges.SetMinMaxValues(10, 20, 30, 40);
    Field(edges, 1201)->setText("-50");
    EXPECT_FLOAT_EQ(edges.GetValue(kVTEdgeLeft), -10.0f);
    Field(edges, 1301)->setText("50");
    EXPECT_FLOAT_EQ(edges.GetValue(kVTEdgeRight), 30.0f);
    Field(edges, 1100)->setText("-50");
    EXPECT_FLOAT_EQ(edges.GetValue(kVTEdgeTop), -20.0f);
    Field(edges, 1401)->setText("50");
    EXPECT_FLOAT_EQ(edges.GetValue(kVTEdgeBottom), 40.0f);
    // A unit setting other than 0 or 1 reads as millimetres.
    LSettingSetMeasurementUnit(7);
    length.SetValue(12.5f);
    EXPECT_EQ(Shown(length, 1001), "12.50");
    EXPECT_FLOAT_EQ(length.GetValue(), 12.5f);
    length.Destroy();
    edges.Destroy();
}

// The arrows beside a field and the Up and Down keys in it are edits by the user: each kind of
// number field reports the stepped value after its pause, as typing does (the whole number's
// report was dropped as if the program had set the value).
TEST_F(NumericInputs, ArrowsAndArrowKeysReportAsTypingDoes)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int s = Scale();
    Host host(360, 320);
    VTControlNumericalInput size("Teckenstorlek:", "Teckenhöjd", 1, 200);
    VTControlDecimalInput centre("Center X (mm):", "", 0, 500);
    VTControlEdgePositions edges;
    Seen seen;
    size.Init(host);
    size.AddNotifyee(seen);
    centre.Init(host);
    centre.AddNotifyee(seen);
    edges.Init(host);
    edges.AddNotifyee(seen);
    size.MovePixels(10 * s, 10 * s, 300 * s, 40 * s);
    centre.MovePixels(10 * s, 60 * s, 300 * s, 40 * s);
    edges.MovePixels(10 * s, 110 * s, 330 * s, 190 * s);
    ASSERT_TRUE(host.Show());
    size.UDSetInt(1001, 12);
    centre.SetValue(20);
    edges.SetValues(1, 2, 3, 4);
    uitest::KeyboardLock keys;
    ASSERT_TRUE(TakeKeyboard(host.GetNativeWindow()));

    // The whole number: up, up, down is 13 once the clicks pause; the Up key makes it 14.
    ASSERT_TRUE(ClickArrow(size, 1001, true));
    ASSERT_TRUE(ClickArrow(size, 1001, true));
    ASSERT_TRUE(ClickArrow(size, 1001, false));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.numbers.empty(); }, 3000))
        << "the arrows' value was never reported";
    uitest::Pump(400);
    ASSERT_EQ(seen.numbers.size(), 1u);
    EXPECT_EQ(seen.values.back(), 13.0f);
    EXPECT_EQ(Shown(size, 1001), "13");
    Key("Up");
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.numbers.size() == 2; }, 3000));
    EXPECT_EQ(seen.values.back(), 14.0f);
    uitest::Screenshot(host.GetNativeWindow(), "controls-arrows");

    // A length: its arrows step a tenth of the shown unit.
    ASSERT_TRUE(ClickArrow(centre, 1001, false));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.decimals.empty(); }, 3000));
    EXPECT_NEAR(seen.values.back(), 19.9f, 1e-4);
    Key("Up");
    Key("Up");
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.decimals.size() == 2; }, 3000));
    EXPECT_NEAR(seen.values.back(), 20.1f, 1e-4);
    EXPECT_EQ(Shown(centre, 1001), "20.10");

    // An edge: the right one, stepped up.
    ASSERT_TRUE(ClickArrow(edges, 1301, true));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.edges.empty(); }, 3000));
    EXPECT_EQ(seen.edges.back().first, int(kVTEdgeRight));
    EXPECT_NEAR(seen.edges.back().second, 3.1f, 1e-4);
    // Then the left one's arrow, the right field still having the keyboard: the step of the
    // field that takes it is reported too.
    ASSERT_TRUE(ClickArrow(edges, 1201, false));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.edges.size() == 2; }, 3000))
        << "the second edge's step was never reported";
    EXPECT_EQ(seen.edges.back().first, int(kVTEdgeLeft));
    EXPECT_NEAR(seen.edges.back().second, 1.9f, 1e-4);
    uitest::Pump(700);
    EXPECT_EQ(seen.numbers.size(), 2u);
    EXPECT_EQ(seen.decimals.size(), 2u);
    EXPECT_EQ(seen.edges.size(), 2u);
    size.Destroy();
    centre.Destroy();
    edges.Destroy();
}
