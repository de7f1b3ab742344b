// The simple members of the control family on a real window: typing into the edit (one report
// after the pause), the button, check box and hyperlink reports, the pull-down list's data, the
// label with its trimmed text, the colour control's check box and alpha, and texts cut at a
// character boundary.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/controls/VTControlButton.h"
#include "app/controls/VTControlCheckBox.h"
#include "app/controls/VTControlColourPicker.h"
#include "app/controls/VTControlEdit.h"
#include "app/controls/VTControlHyperLink.h"
#include "app/controls/VTControlPullDownList.h"
#include "app/controls/VTControlStaticTextWithLabel.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "support/ControlTestSupport.h"
#include "support/PanelTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace controltest;

namespace {

class SimpleControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    void TearDown() override { LColorPickerControl::pOpenColorPickerDialog = saved; }
    LColorPickerControl::OpenDialogFunction saved = LColorPickerControl::pOpenColorPickerDialog;
};

// The edit with the time of every text change it hears.
struct TimedEdit : VTControlEdit {
    std::vector<double> changes;
    void Command(int id, int code) override
    {
        if (id == 2000)
            changes.push_back(NowMs());
        VTControlEdit::Command(id, code);
    }
};

struct EditObserver : VTControlEditNotifyee {
    std::vector<double> reports;
    std::string text;
    void EvTextChanged(VTControlEdit& edit) override
    {
        reports.push_back(NowMs());
        LStringLongTemplate<char> t;
        edit.GetEditText(1000, t);
        text = t.c_str();
    }
};

struct Observers : VTControlButtonNotifyee,
                   VTControlCheckBoxNotifyee,
                   VTControlHyperLinkNotifyee,
                   VTControlPullDownListNotifyee,
                   VTControlColourPickerNotifyee {
    int buttons = 0, boxes = 0, links = 0, lists = 0, colours = 0;
    LPFB8G8R8A8 lastColour {};
    void EvButtonPressed(VTControlButton&) override { ++buttons; }
    void EvControlCheckBoxChanged(VTControlCheckBox&) override { ++boxes; }
    void EvHyperLinkClicked(VTControlHyperLink&) override { ++links; }
    void EvPullDownListChanged(VTControlPullDownList&) override { ++lists; }
    void EvColourPickerChanged(VTControlColourPicker& c) override
    {
        ++colours;
        lastColour = c.GetColourWithAlpha();
    }
};

} // namespace

TEST_F(SimpleControls, TypingReportsOnceAfterThePause)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    const int s = Scale();
    Host host(320, 160);
    TimedEdit edit;
    EditObserver seen;
    edit.Init(host);
    edit.AddNotifyee(seen);
    edit.MovePixels(10 * s, 10 * s, 300 * s, 120 * s);
    ASSERT_TRUE(host.Show());
    int x, y, w, h;
    edit.GetControlPixels(1000, x, y, w, h);
    EXPECT_EQ(h, 100 * s);
    EXPECT_EQ(w, 300 * s);
    EXPECT_EQ(edit.GetControlHandle(1000)->ToolTipText(), "Redigera text");

    uitest::KeyboardLock keys;
    ASSERT_TRUE(TakeKeyboard(host.GetNativeWindow()));
    ASSERT_TRUE(ClickChild(edit, 1000));
    uitest::Pump(150);
    Type("Hej på", 40);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.reports.empty(); }, 3000));
    uitest::Pump(400);
    ASSERT_EQ(seen.reports.size(), 1u);
    EXPECT_EQ(seen.text, "Hej på");
    ASSERT_GE(edit.changes.size(), 6u);
    // 250 ms after the last change (the timer never fires early).
    EXPECT_GE(seen.reports[0] - edit.changes.back(), 245.0);
    uitest::Screenshot(host.GetNativeWindow(), "controls-edit");

    // A report pending when the control goes: nothing, then or later.
    Type("!", 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return edit.changes.size() >= 7; }, 2000));
    edit.Destroy();
    uitest::Pump(400);
    EXPECT_EQ(seen.reports.size(), 1u);
}

TEST_F(SimpleControls, ButtonCheckBoxLinkAndList)
{
    const int s = Scale();
    Host host(360, 260);
    VTControlButton button("Återställ");
    VTControlCheckBox box("Visa rutnät");
    VTControlHyperLink link("Mer information");
    VTControlPullDownList list("Papper:", "Välj papper");
    VTControlStaticTextWithLabel label("Fil:");
    Observers seen;
    button.Init(host);
    button.AddNotifyee(seen);
    box.Init(host);
    box.AddNotifyee(seen);
    link.Init(host);
    link.AddNotifyee(seen);
    list.Init(host);
    list.AddNotifyee(seen);
    label.Init(host);
    button.MovePixels(10 * s, 10 * s, 200 * s, 30 * s);
    box.MovePixels(10 * s, 50 * s, 200 * s, 30 * s);
    link.MovePixels(10 * s, 90 * s, 200 * s, 30 * s);
    list.MovePixels(10 * s, 130 * s, 300 * s, 30 * s);
    label.MovePixels(10 * s, 180 * s, 200 * s, 30 * s);
    ASSERT_TRUE(host.Show());

    auto* push = dynamic_cast<LCocoaButtonImpl*>(button.GetControlHandle(1000));
    ASSERT_NE(push, nullptr);
    EXPECT_TRUE(push->isTypePushButton());
    ASSERT_TRUE(ClickChild(button, 1000));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.buttons == 1; }));
    ASSERT_TRUE(ClickChild(box, 1000, 0.1));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.boxes == 1; }));
    EXPECT_TRUE(box.GetCheck(1000));
    // The owner's own change, with the flag clear, is not reported.
    box.bNotify = false;
    box.SetCheck(1000, false);
    box.Command(1000, 0);
    box.bNotify = true;
    uitest::Pump(50);
    EXPECT_EQ(seen.boxes, 1);
    EXPECT_FALSE(box.GetCheck(1000));
    // The link is as wide as its text and only reports.
    int x, y, w, h;
    link.GetControlPixels(1000, x, y, w, h);
    EXPECT_EQ(w, link.MeasureTextWidth(1000, "Mer information"));
    EXPECT_GT(w, 0);
    ASSERT_TRUE(ClickChild(link, 1000));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.links == 1; }));

    // The list: -1 with nothing selected, else the item's data; a choice reports.
    EXPECT_EQ(list.GetSelectedData(), -1);
    list.PDLAddString(1001, "A4", 9);
    list.PDLAddString(1001, "Letter", 1);
    list.PDLSetCurSel(1001, 1);
    EXPECT_EQ(list.GetSelectedData(), 1);
    list.Command(1002, 0);
    EXPECT_EQ(seen.lists, 1);
    const int labelWidth = list.MeasureStaticTextWidthPixels("Papper:");
    list.GetControlPixels(1001, x, y, w, h);
    EXPECT_EQ(x, labelWidth + int(1.25 * list.CharWidthPixels() + 0.5));
    EXPECT_EQ(list.GetControlHandle(1001)->ToolTipText(), "Välj papper");

    // The label's text: trimmed to its field with "...", or kept whole.
    std::string longText(200, 'x');
    label.SetText(longText.c_str(), true);
    const std::string shown = label.GetText();
    EXPECT_LT(shown.size(), longText.size());
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    char onScreen[260];
    label.GetStaticText(1001, onScreen);
    EXPECT_EQ(shown, onScreen);
    label.SetText("kort", true);
    EXPECT_STREQ(label.GetText(), "kort");
    label.EnableControls(false);
    EXPECT_FALSE(label.GetControlHandle(1000)->IsEnabled());
    EXPECT_FALSE(label.GetControlHandle(1001)->IsEnabled());
    uitest::Screenshot(host.GetNativeWindow(), "controls-simple");
    label.Destroy();
    list.Destroy();
    link.Destroy();
    box.Destroy();
    button.Destroy();
}

TEST_F(SimpleControls, ColourControlCheckBoxAndAlpha)
{
    const int s = Scale();
    Host host(300, 120);
    VTControlColourPicker withBox("Kantlinje", "Välj färg för kanten", true);
    VTControlColourPicker plain("Färg", "Välj färg", false);
    Observers seen;
    withBox.Init(host);
    withBox.AddNotifyee(seen);
    plain.Init(host);
    plain.AddNotifyee(seen);
    withBox.MovePixels(10 * s, 10 * s, 280 * s, 30 * s);
    plain.MovePixels(10 * s, 60 * s, 280 * s, 30 * s);
    ASSERT_TRUE(host.Show());

    // White at first; the box off: transparent.
    LPFB8G8R8A8 c = withBox.GetColourWithAlpha();
    EXPECT_EQ(c.r, 255);
    EXPECT_EQ(c.a, 0);
    EXPECT_EQ(plain.GetColourWithAlpha().a, 255);
    // The swatch is a square of a row beside the label and the room for the box.
    int x, y, w, h;
    withBox.GetControlPixels(1002, x, y, w, h);
    const int row = int(1.23 * withBox.CharHeightPixels() + 0.5);
    EXPECT_EQ(w, row);
    EXPECT_EQ(h, row);
    const double cw = withBox.CharWidthPixels();
    EXPECT_EQ(x,
        withBox.MeasureStaticTextWidthPixels("Kantlinje") + int(3 * cw + 0.5)
            + int(1.25 * cw + 0.5));
    EXPECT_EQ(withBox.GetControlHandle(1002)->ToolTipText(), "Välj färg för kanten");

    // A colour chosen in the swatch ticks the box and reports alpha 255.
    LColorPickerControl::pOpenColorPickerDialog = [](LGuiColor& colour, LWindow&, int, int) {
        colour = LGuiColor(0x12FF, 0x8000, 0x0001);
        return true;
    };
    ASSERT_TRUE(ClickChild(withBox, 1002));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.colours == 1; }));
    EXPECT_TRUE(withBox.GetCheck(1000));
    EXPECT_EQ(seen.lastColour.a, 255);
    EXPECT_EQ(seen.lastColour.r, 0x12);
    EXPECT_EQ(seen.lastColour.g, 0x80);
    EXPECT_EQ(seen.lastColour.b, 0x00);
    // Alpha 128 set: the box off; 255: on, the swatch at (R x 256, ...).
    LPFB8G8R8A8 half { 10, 20, 30, 128 };
    withBox.SetColourWithAlpha(half);
    EXPECT_FALSE(withBox.GetCheck(1000));
    EXPECT_EQ(withBox.GetColourWithAlpha().a, 0);
    LPFB8G8R8A8 full { 10, 20, 30, 255 };
    withBox.SetColourWithAlpha(full);
    EXPECT_TRUE(withBox.GetCheck(1000));
    EXPECT_EQ(withBox.GetSwatch().GetColor().red, 30 * 256);
    EXPECT_EQ(withBox.GetSwatch().GetColor().blue, 10 * 256);
    // Toggling the box reports; without a box, alpha stays 255 whatever is set.
    ASSERT_TRUE(ClickChild(withBox, 1000, 0.05));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.colours == 2; }));
    EXPECT_EQ(seen.lastColour.a, 0);
    plain.SetColourWithAlpha(half);
    EXPECT_EQ(plain.GetColourWithAlpha().a, 255);
    uitest::Screenshot(host.GetNativeWindow(), "controls-colour");

    // A chooser still open when the control goes: no report.
    static VTControlColourPicker* victim = nullptr;
    victim = &plain;
    LColorPickerControl::pOpenColorPickerDialog = [](LGuiColor& colour, LWindow&, int, int) {
        victim->Destroy();
        colour = LGuiColor(0, 0, 0);
        return true;
    };
    const int before = seen.colours;
    ASSERT_TRUE(ClickChild(plain, 1002));
    uitest::PumpUntil([&] { return plain.GetContentView() == nullptr; }, 2000);
    uitest::Pump(100);
    EXPECT_EQ(seen.colours, before);
    withBox.Destroy();
}

TEST_F(SimpleControls, TheRealChooserOpensFromTheSwatch)
{
    const int s = Scale();
    Host host(300, 80);
    VTControlColourPicker fill("Fyllning", "Välj fyllnadsfärg", true);
    Observers seen;
    fill.Init(host);
    fill.AddNotifyee(seen);
    fill.MovePixels(10 * s, 10 * s, 280 * s, 30 * s);
    ASSERT_TRUE(host.Show());
    // The chooser comes up over the window: a colour is chosen in it and accepted.
    bool shown = false;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        shown = true;
        uitest::SavePanelShot(panel, uitest::ArtefactPath("controls", "colour-chooser"));
        GdkRGBA rgba { 0.0, 0.5, 1.0, 1.0 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &rgba);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    ASSERT_TRUE(ClickChild(fill, 1002));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.colours == 1; }, 5000));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(fill.GetCheck(1000));
    EXPECT_EQ(seen.lastColour.a, 255);
    EXPECT_EQ(seen.lastColour.r, 0);
    EXPECT_GE(seen.lastColour.g, 127);
    EXPECT_LE(seen.lastColour.g, 128);
    EXPECT_EQ(seen.lastColour.b, 255);
    fill.Destroy();
}

TEST_F(SimpleControls, TextsAreCutAtACharacterBoundary)
{
    std::string caption;
    for (int i = 0; i < 200; ++i)
        caption += "ö"; // 400 bytes
    VTControlButton button(caption.c_str());
    const std::string kept = button.GetCaption();
    EXPECT_LE(kept.size(), 259u);
    EXPECT_EQ(kept.size() % 2, 0u);
    EXPECT_EQ(kept.substr(0, 4), "öö");
    VTControlButton none(nullptr);
    EXPECT_STREQ(none.GetCaption(), "");
}
