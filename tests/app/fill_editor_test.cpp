// The fill editor in a real window, used as a person uses it: the fill-type buttons, the
// gradient's stops and direction, the opacity sliders with the undo steps they report, the colour
// boxes with the colour chooser, and the background image chosen in the file panel, with bad
// brushes and bad image files.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTOptions.h"
#include "app/VTWindowFullColorPicker.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "lfw/mac/cocoa/LCocoaTrackBarImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/Screenshot.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Resizable, as the panel the editor stands in: a dialog of a fixed size too tall for the screen
// (the editor is at scale 2 on the test's screen) would scroll its controls.
constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
using Picker = VTWindowFullColorPicker;

// What the observer saw at each report.
struct Report {
    std::optional<LBrushInfo> brush;
    bool undoStep;
    std::string path;
};

struct Watch : VTWindowFullColorPickerNotifyee {
    std::vector<Report> reports;
    void EvBackgroundColorChanged(VTWindowFullColorPicker& p) override
    {
        Report r;
        if (p.GetBrush())
            r.brush = *p.GetBrush();
        r.undoStep = p.StartsUndoStep();
        r.path = p.GetBkImagePath();
        reports.push_back(r);
    }
    const LBrushInfo& Last() const { return *reports.back().brush; }
};

class FillEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        const char* scale = getenv("GDK_SCALE");
        s = scale && atoi(scale) > 1 ? atoi(scale) : 1;
        host.CreateCocoaWindow(int(380 * s), int(600 * s), kStyle, false, nullptr);
    }
    void TearDown() override
    {
        if (picker) {
            picker->Destroy();
            delete picker;
        }
        host.DestroyCommon();
    }
    // The editor, built with the brush, in the window, shown.
    void Open(const LBrushInfo* brush)
    {
        picker = new Picker(brush);
        picker->Init(host, int(380 * s), 10);
        picker->AddNotifyee(watch);
        const int h = picker->ComputeHeightPixels();
        host.SizeWindowPixels(int(380 * s), h);
        picker->MovePixels(0, 0, int(380 * s), h);
        host.InitCommon(kLCocoaDialogCenterNone, true);
        ASSERT_TRUE(uitest::ShowAndWait(host.GetNativeWindow()));
        uitest::Pump(100);
    }
    // The centre of a control of the editor, in points of the window.
    void Centre(int id, double& x, double& y)
    {
        int px = 0, py = 0, w = 0, h = 0;
        picker->GetControlPixels(id, px, py, w, h);
        x = (px + w / 2.0) / s;
        y = (py + h / 2.0) / s;
    }
    bool Click(int id, int button = 1)
    {
        double x, y;
        Centre(id, x, y);
        // Radio buttons: on their box, at the left.
        if (id >= Picker::kIdNoFill && id <= Picker::kIdImage) {
            int px = 0, py = 0, w = 0, h = 0;
            picker->GetControlPixels(id, px, py, w, h);
            x = (px + 8 * s) / s;
        }
        bool ok = uitest::XClickButton(host.GetNativeWindow(), x, y, button);
        uitest::Pump(150);
        return ok;
    }
    bool Enabled(int id)
    {
        LView* v = picker->GetControlHandle(id);
        return v && v->IsEnabled();
    }
    LCocoaTrackBarImpl* Slider(int id)
    {
        return dynamic_cast<LCocoaTrackBarImpl*>(picker->GetControlHandle(id));
    }
    std::string Shot(const char* name) { return uitest::Screenshot(host.GetNativeWindow(), name); }

    PrivateHomes homes;
    LMacWindow host;
    Picker* picker = nullptr;
    Watch watch;
    double s = 1;
};

LBrushInfo Kind(uint32_t kind)
{
    LBrushInfo b;
    b.kind = kind;
    return b;
}

} // namespace

TEST_F(FillEditor, WithoutABrushOnlyTheFillTypesAreEnabled)
{
    Open(nullptr);
    EXPECT_TRUE(picker->GetRadioCheck(Picker::kIdNoFill));
    for (int id : { Picker::kIdNoFill, Picker::kIdSolid, Picker::kIdGradient, Picker::kIdImage })
        EXPECT_TRUE(Enabled(id)) << id;
    for (int id : { Picker::kIdSolidOpacity, Picker::kIdGradientKind, Picker::kIdDeleteStop,
             Picker::kIdStopOpacity, Picker::kIdBrowse })
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(picker->GetSolidBox().IsEnabled());
    EXPECT_FALSE(picker->GetStopBox().IsEnabled());
    EXPECT_FALSE(picker->GetDirectionControl().IsEnabled());
    EXPECT_FALSE(picker->GetStopControl().IsEnabled());
    Shot("fill-editor-no-brush");

    // A null brush later means an image fill.
    picker->SetBrush(nullptr);
    EXPECT_TRUE(picker->GetRadioCheck(Picker::kIdImage));
    EXPECT_FALSE(picker->GetRadioCheck(Picker::kIdNoFill));
    EXPECT_TRUE(Enabled(Picker::kIdBrowse));
    EXPECT_TRUE(watch.reports.empty());
}

TEST_F(FillEditor, GradientFromNoFillAndItsStops)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LBrushInfo none = Kind(0);
    Open(&none);
    ASSERT_TRUE(Click(Picker::kIdGradient));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !watch.reports.empty(); }, 4000));
    ASSERT_EQ(watch.reports.size(), 1u);
    const LBrushInfo& g = watch.Last();
    EXPECT_EQ(g.kind, 2u);
    char text[260] = {};
    picker->PDLGetText(Picker::kIdGradientKind, text);
    EXPECT_STREQ(text, "Linjär");
    ASSERT_EQ(g.stopCount, 2u);
    EXPECT_EQ(g.stopPositions[0], 0.0f);
    EXPECT_EQ(g.stopColors[0], LGuiColorAlpha(0, 0, 0, 255));
    EXPECT_EQ(g.stopPositions[1], 1.0f);
    EXPECT_EQ(g.stopColors[1], LGuiColorAlpha(0xFF00, 0xFF00, 0xFF00, 255));
    EXPECT_EQ(g.geometry[0], -1.0f);
    EXPECT_EQ(g.geometry[1], 0.0f);
    EXPECT_EQ(g.geometry[2], 1.0f);
    EXPECT_EQ(g.geometry[3], 0.0f);
    EXPECT_TRUE(watch.reports.back().undoStep);
    EXPECT_TRUE(Enabled(Picker::kIdDeleteStop));

    // "Radiella", chosen in the list, starts from the centre.
    auto* list
        = dynamic_cast<LCocoaPullDownListImpl*>(picker->GetControlHandle(Picker::kIdGradientKind));
    ASSERT_NE(list, nullptr);
    list->handleSelection(1); // what the list's menu does when the item is chosen
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == 2; }));
    EXPECT_EQ(watch.Last().kind, 3u);
    EXPECT_EQ(watch.Last().geometry[0], 0.0f);
    EXPECT_EQ(watch.Last().geometry[1], 0.0f);

    // A click mid-bar adds a stop: one undo step, then continuations; the release adds nothing.
    VTGradientStopControl& bar = picker->GetStopControl();
    double bx, by;
    Centre(Picker::kIdStops, bx, by);
    size_t before = watch.reports.size();
    ASSERT_TRUE(Click(Picker::kIdStops));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !bar.IsDragging(); }));
    uitest::PumpUntil([&] { return watch.reports.size() >= before + 2; });
    uitest::Pump(100);
    ASSERT_EQ(watch.reports.size(), before + 2);
    EXPECT_TRUE(watch.reports[before].undoStep);
    EXPECT_FALSE(watch.reports[before + 1].undoStep);
    EXPECT_EQ(watch.Last().stopCount, 3u);
    EXPECT_EQ(bar.GetStopCount(), 3u);

    // A right-click on that stop's marker deletes it.
    int px, py, pw, ph;
    picker->GetControlPixels(Picker::kIdStops, px, py, pw, ph);
    const double markerX = (px + pw - bar.MarkerColumn() / 2.0) / s;
    VTGradientStop* added = bar.GetSelectedStop();
    ASSERT_NE(added, nullptr);
    const double markerY = (py + bar.PositionToY(added->position)) / s;
    before = watch.reports.size();
    ASSERT_TRUE(uitest::XClickButton(host.GetNativeWindow(), markerX, markerY, 3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == before + 1; }));
    EXPECT_EQ(watch.Last().stopCount, 2u);

    // "X" deletes the selected stop and is disabled with one left.
    ASSERT_TRUE(Click(Picker::kIdDeleteStop));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.Last().stopCount == 1; }));
    EXPECT_FALSE(Enabled(Picker::kIdDeleteStop));

    // The stop's colour chosen in its box: the remaining stop becomes blue, at its opacity.
    uitest::WhenPanelUp([](GtkWidget* panel) {
        GdkRGBA blue { 0, 0, 1, 1 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &blue);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    before = watch.reports.size();
    ASSERT_TRUE(Click(Picker::kIdStopBox));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == before + 1; }));
    ASSERT_EQ(watch.Last().stopCount, 1u);
    EXPECT_EQ(watch.Last().stopColors[0], LGuiColorAlpha(0, 0, 0xFFFF, 255));
    EXPECT_TRUE(watch.reports.back().undoStep);
    Shot("fill-editor-gradient");
}

// "Fast:" after a gradient, no fill or an image never gives an unset (black) colour: the last
// solid colour shown or set, opaque white before any.
TEST_F(FillEditor, SolidAfterAnotherFillIsTheLastSolidColourOrWhite)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LBrushInfo gradient = Kind(2);
    gradient.stopCount = 2;
    gradient.stopColors[0] = LGuiColorAlpha(0x1000, 0x2000, 0x3000, 255);
    gradient.stopColors[1] = LGuiColorAlpha(0xF000, 0xE000, 0xD000, 255);
    gradient.stopPositions[1] = 1;
    Open(&gradient);
    ASSERT_TRUE(Click(Picker::kIdSolid));
    ASSERT_EQ(watch.reports.size(), 1u);
    EXPECT_EQ(watch.Last().kind, 1u);
    EXPECT_EQ(watch.Last().color, LGuiColorAlpha(0xFF00, 0xFF00, 0xFF00, 255));

    // The colour of the design being edited, set while its gradient shows.
    const LGuiColorAlpha red(0xC800, 0x1E00, 0x1E00, 127);
    picker->SetBrush(&gradient);
    picker->SetSolidColour(red);
    EXPECT_EQ(picker->GetSolidBox().GetColor(), LGuiColor(0xC800, 0x1E00, 0x1E00));
    EXPECT_EQ(picker->TBGetPosition(Picker::kIdSolidOpacity), 50);
    ASSERT_TRUE(Click(Picker::kIdSolid));
    ASSERT_EQ(watch.reports.size(), 2u);
    EXPECT_EQ(watch.Last().color, red);

    // A solid brush shown, then no fill shown: "Fast:" gives that solid colour back.
    LBrushInfo blue = Kind(1);
    blue.color = LGuiColorAlpha(0x0000, 0x0000, 0xFF00, 255);
    picker->SetBrush(&blue);
    LBrushInfo none = Kind(0);
    picker->SetBrush(&none);
    ASSERT_TRUE(Click(Picker::kIdSolid));
    ASSERT_EQ(watch.reports.size(), 3u);
    EXPECT_EQ(watch.Last().color, blue.color);
    // So after an image fill and a gradient chosen by hand.
    picker->SetBrush(nullptr);
    ASSERT_TRUE(Click(Picker::kIdGradient));
    ASSERT_TRUE(Click(Picker::kIdSolid));
    EXPECT_EQ(watch.Last().kind, 1u);
    EXPECT_EQ(watch.Last().color, blue.color);
    Shot("fill-editor-solid-after-gradient");
}

TEST_F(FillEditor, ImageFillShownFirstThenGradientMakesTheDefaultStops)
{
    Open(nullptr);
    picker->SetBrush(nullptr);
    picker->SetRadioCheck(Picker::kIdImage, false);
    picker->SetRadioCheck(Picker::kIdGradient, true);
    picker->Command(Picker::kIdGradient, 0);
    ASSERT_EQ(watch.reports.size(), 1u);
    EXPECT_EQ(watch.Last().kind, 2u);
    ASSERT_EQ(watch.Last().stopCount, 2u);
    EXPECT_EQ(watch.Last().stopColors[0], LGuiColorAlpha(0, 0, 0, 255));
    EXPECT_EQ(watch.Last().stopColors[1], LGuiColorAlpha(0xFF00, 0xFF00, 0xFF00, 255));
}

TEST_F(FillEditor, SolidColourAndOpacityKeepTheirValues)
{
    LBrushInfo solid = Kind(1);
    solid.color = LGuiColorAlpha(0x12FF, 0x8000, 0x0001, 127);
    Open(&solid);
    EXPECT_TRUE(picker->GetRadioCheck(Picker::kIdSolid));
    EXPECT_EQ(picker->GetSolidBox().GetColor(), LGuiColor(0x1200, 0x8000, 0x0000));
    // 127 shows as 50 %, which makes 127 again: no drift at each refill.
    EXPECT_EQ(picker->TBGetPosition(Picker::kIdSolidOpacity), 50);
    picker->Command(Picker::kCmdSolidPicked, 0);
    ASSERT_EQ(watch.reports.size(), 1u);
    EXPECT_EQ(watch.Last().color, LGuiColorAlpha(0x1200, 0x8000, 0x0000, 127));
    for (int alpha = 0; alpha < 256; ++alpha) {
        const int once = VTPercentToAlpha(VTAlphaToPercent(alpha));
        EXPECT_GE(once, alpha);
        EXPECT_EQ(VTPercentToAlpha(VTAlphaToPercent(once)), once) << alpha;
    }
    EXPECT_EQ(VTPercentToAlpha(50), 127);
    EXPECT_EQ(VTAlphaToPercent(255), 100);
    EXPECT_EQ(VTAlphaToPercent(0), 0);
}

TEST_F(FillEditor, SliderDragIsOneUndoStepAndKeysEndTheDragAtOnce)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LBrushInfo solid = Kind(1);
    solid.color = LGuiColorAlpha(0, 0, 0xFF00, 255);
    Open(&solid);
    int px, py, pw, ph;
    picker->GetControlPixels(Picker::kIdSolidOpacity, px, py, pw, ph);
    const double y = (py + ph / 2.0) / s;
    const double from = (px + pw - 6 * s) / s, to = (px + pw / 3.0) / s;
    LCocoaTrackBarImpl* slider = Slider(Picker::kIdSolidOpacity);
    ASSERT_NE(slider, nullptr);
    size_t reportsAtRelease = 0;
    ASSERT_TRUE(uitest::XDragWithin(
        host.GetNativeWindow(), from, y, to, y,
        [&] {
            if (!slider->cell().isTracking() && !watch.reports.empty() && !reportsAtRelease)
                reportsAtRelease = watch.reports.size();
            return !slider->cell().isTracking() && !watch.reports.empty();
        },
        5000));
    uitest::Pump(200);
    ASSERT_GE(watch.reports.size(), 2u);
    EXPECT_TRUE(watch.reports.front().undoStep);
    for (size_t i = 1; i < watch.reports.size(); ++i)
        EXPECT_FALSE(watch.reports[i].undoStep) << i;
    EXPECT_EQ(watch.reports.size(), reportsAtRelease); // the release reported nothing
    EXPECT_FALSE(picker->IsOpacityDrag());
    EXPECT_EQ(watch.Last().color.alpha, VTPercentToAlpha(picker->TBGetPosition(1010)));
    EXPECT_LT(watch.Last().color.alpha, 200);

    // A key on the focused slider: a step of its own, and no drag is left running.
    const int position = picker->TBGetPosition(Picker::kIdSolidOpacity);
    size_t before = watch.reports.size();
    picker->SetFocus(Picker::kIdSolidOpacity);
    uitest::Pump(100);
    {
        uitest::KeyboardLock keys;
        uitest::Run("xdotool key --clearmodifiers Left >/dev/null 2>&1");
        ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == before + 1; }));
    }
    EXPECT_EQ(picker->TBGetPosition(Picker::kIdSolidOpacity), position - 1);
    EXPECT_TRUE(watch.reports.back().undoStep);
    EXPECT_FALSE(picker->IsOpacityDrag());

    // Opacity 50 set the same way (no knob held): alpha 127, a step of its own, and the drag is
    // over at once, so the colour chosen next in the box is not dropped.
    before = watch.reports.size();
    gtk_range_set_value(GTK_RANGE(slider->Widget()), 50);
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == before + 1; }));
    EXPECT_EQ(watch.Last().color.alpha, 127);
    EXPECT_TRUE(watch.reports.back().undoStep);
    EXPECT_FALSE(picker->IsOpacityDrag());

    uitest::WhenPanelUp([](GtkWidget* panel) {
        GdkRGBA red { 1, 0, 0, 1 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &red);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    before = watch.reports.size();
    ASSERT_TRUE(Click(Picker::kIdSolidBox));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() == before + 1; }));
    EXPECT_EQ(watch.Last().color.red, 0xFFFF);
    EXPECT_EQ(watch.Last().color.blue, 0);
    EXPECT_EQ(watch.Last().color.alpha, 127);
    EXPECT_TRUE(watch.reports.back().undoStep);
    Shot("fill-editor-solid");
}

TEST_F(FillEditor, StopOpacityDragReleaseAddsNoStep)
{
    LBrushInfo g = Kind(2);
    g.stopCount = 2;
    g.stopPositions[1] = 1;
    g.stopColors[1] = LGuiColorAlpha(0xFF00, 0, 0, 255);
    Open(&g);
    ASSERT_NE(picker->GetStopControl().GetSelectedStop(), nullptr);
    LCocoaTrackBarImpl* slider = Slider(Picker::kIdStopOpacity);
    slider->cell().startTracking(); // the knob held
    for (int v : { 90, 80, 70 }) {
        gtk_range_set_value(GTK_RANGE(slider->Widget()), v);
        uitest::Pump(20);
    }
    slider->cell().stopTracking();
    picker->Command(Picker::kCmdStopPicked, 0); // the end of the drag
    ASSERT_EQ(watch.reports.size(), 3u);
    EXPECT_TRUE(watch.reports[0].undoStep);
    EXPECT_FALSE(watch.reports[1].undoStep);
    EXPECT_FALSE(watch.reports[2].undoStep);
    EXPECT_FALSE(picker->IsStopDrag());
    const LBrushInfo& last = watch.Last();
    EXPECT_EQ(last.stopColors[0].alpha, VTPercentToAlpha(70));
}

TEST_F(FillEditor, BrushesFromFilesAreCutAndClamped)
{
    LBrushInfo bad = Kind(3);
    bad.stopCount = 500;
    for (int i = 0; i < kLBrushInfoMaxStops; ++i) {
        bad.stopPositions[i] = i % 3 == 0 ? NAN : i % 3 == 1 ? 7.0f : -2.0f;
        bad.stopColors[i] = LGuiColorAlpha(0x1000 * (i % 16), 0, 0, 255);
    }
    bad.geometry[0] = NAN;
    bad.geometry[1] = 9;
    bad.geometry[2] = -9;
    bad.geometry[3] = INFINITY;
    Open(&bad);
    EXPECT_EQ(picker->GetStopControl().GetStopCount(), 20u);
    for (const VTGradientStop& stop : picker->GetStopControl().GetStops()) {
        EXPECT_GE(stop.position, 0.0f);
        EXPECT_LE(stop.position, 1.0f);
    }
    const auto& d = picker->GetDirectionControl();
    for (float v : { d.GetStart().x, d.GetStart().y, d.GetEnd().x, d.GetEnd().y }) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
    char text[260] = {};
    picker->PDLGetText(Picker::kIdGradientKind, text);
    EXPECT_STREQ(text, "Radiella");
    picker->Command(Picker::kCmdDirectionMoved, 0);
    ASSERT_EQ(watch.reports.size(), 1u);
    EXPECT_EQ(watch.Last().kind, 3u);
    EXPECT_EQ(watch.Last().stopCount, 20u);
    for (float v : watch.Last().geometry)
        EXPECT_TRUE(std::isfinite(v) && v >= -1 && v <= 1);
}

TEST_F(FillEditor, BackgroundImageFromTheFilePanel)
{
    Open(nullptr);
    TemporaryFolder folder;
    const std::string bad = folder / "x.png";
    TemporaryFolder::WriteFile(bad, "this is no picture\n");
    const std::string good = folder / "bild.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 7x5 xc:red '" + good + "'").c_str()), 0);

    picker->SetBrush(nullptr);
    std::string title;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        title = gtk_window_get_title(GTK_WINDOW(panel));
        uitest::AcceptFile(panel, good);
    });
    if (uitest::HaveXdotool())
        ASSERT_TRUE(Click(Picker::kIdBrowse));
    else
        picker->Command(Picker::kIdBrowse, 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !watch.reports.empty(); }, 8000));
    EXPECT_EQ(title, "Välj bakgrundsbild");
    EXPECT_EQ(watch.reports.back().path, good);
    EXPECT_STREQ(picker->GetShownFileName(), "bild.png");
    EXPECT_FALSE(watch.reports.back().brush.has_value());
    char stored[260] = {};
    _LUserSettingGetString(kVTOptionsSection, kVTOptionsRecentFolderImage, "", stored);
    EXPECT_EQ(std::string(stored), folder.Path());
    Shot("fill-editor-image");

    // A text file named x.png: the alert, and the image and path stay.
    std::string headline;
    uitest::AnswerAlert(&headline, "OK");
    EXPECT_FALSE(picker->LoadBackgroundImage(bad.c_str()));
    EXPECT_EQ(headline, "Ogiltig bildfil");
    EXPECT_EQ(std::string(picker->GetBkImagePath()), good);
    // A PNG whose header claims 60000 x 60000 pixels (written by Python, not by us).
    const std::string huge = folder / "huge.png";
    ASSERT_EQ(system(("python3 -c \"import struct,zlib,sys\n"
                      "def c(t,d): return struct.pack('>I',len(d))+t+d+"
                      "struct.pack('>I',zlib.crc32(t+d))\n"
                      "open(sys.argv[1],'wb').write(b'\\x89PNG\\r\\n\\x1a\\n'+"
                      "c(b'IHDR',struct.pack('>IIBBBBB',60000,60000,8,2,0,0,0))+"
                      "c(b'IDAT',zlib.compress(b'\\0'*64))+c(b'IEND',b''))\" '"
                  + huge + "'")
                         .c_str()),
        0);
    // Vanished, empty, huge, and a path too long for the editor: the same.
    for (const std::string& path :
        { folder / "gone.png", std::string(300, 'a') + ".png", folder / "empty.png", huge }) {
        if (path.find("empty") != std::string::npos)
            TemporaryFolder::WriteFile(path, "");
        headline.clear();
        uitest::AnswerAlert(&headline, "OK");
        EXPECT_FALSE(picker->LoadBackgroundImage(path.c_str()));
        EXPECT_EQ(headline, "Ogiltig bildfil") << path;
    }
    EXPECT_EQ(std::string(picker->GetBkImagePath()), good);
    LImageBuffer image;
    ASSERT_TRUE(picker->TakeBkImageBuffer(image));
    EXPECT_EQ(image.GetWidth(), 7);
    EXPECT_EQ(image.GetHeight(), 5);
}

// A picture at the end of a path of nearly 4,000 bytes: the panel starts in the remembered
// folder, whole, and the picture chosen there is taken with its whole path; its folder is
// remembered whole.
TEST_F(FillEditor, BackgroundImageAtTheEndOfALongPath)
{
    Open(nullptr);
    TemporaryFolder folder;
    std::string deep = folder.Path();
    while (deep.size() < 3900)
        deep += "/" + std::string(200, 'd');
    ASSERT_EQ(system(("mkdir -p '" + deep + "'").c_str()), 0);
    const std::string good = deep + "/bild.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 6x3 xc:green '" + good + "'").c_str()), 0);
    LUserSettingSetString(kVTOptionsSection, kVTOptionsRecentFolderImage, deep.c_str());

    picker->SetBrush(nullptr);
    std::string start;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        // The chooser settles on its folder a moment after it shows.
        uitest::PumpUntil([&] {
            gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(panel));
            start = current ? current : "";
            g_free(current);
            return !start.empty();
        });
        uitest::AcceptFile(panel, good);
    });
    const size_t before = watch.reports.size();
    picker->Command(Picker::kIdBrowse, 0);
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() > before; }, 8000));
    EXPECT_EQ(start, deep);
    EXPECT_EQ(watch.reports.back().path, good);
    EXPECT_STREQ(picker->GetShownFileName(), "bild.png");
    LStringLongTemplate<char> stored;
    _LUserSettingGetString(kVTOptionsSection, kVTOptionsRecentFolderImage, "", stored);
    EXPECT_EQ(std::string(stored.c_str()), deep);
    LImageBuffer image;
    ASSERT_TRUE(picker->TakeBkImageBuffer(image));
    EXPECT_EQ(image.GetWidth(), 6);
}

TEST_F(FillEditor, WindowClosedUnderTheChooserReportsNothing)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    LBrushInfo solid = Kind(1);
    Open(&solid);
    Picker* doomed = picker;
    uitest::WhenPanelUp([&](GtkWidget* panel) {
        doomed->Destroy();
        delete doomed;
        picker = nullptr;
        GdkRGBA green { 0, 1, 0, 1 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(panel), &green);
        gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    });
    double x, y;
    Centre(Picker::kIdSolidBox, x, y);
    ASSERT_TRUE(uitest::XClick(host.GetNativeWindow(), x, y));
    ASSERT_TRUE(uitest::PumpUntil([&] { return picker == nullptr; }, 5000));
    uitest::Pump(300);
    EXPECT_TRUE(watch.reports.empty());
}

namespace {

// Answers the next alert with its first button, keeping its headline and message.
void ReadAlert(std::string* headline, std::string* message)
{
    struct Seen {
        std::string* headline;
        std::string* message;
    };
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* seen = static_cast<Seen*>(data);
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!alert || !gtk_widget_get_mapped(alert))
                return G_SOURCE_CONTINUE;
            gchar* text = nullptr;
            g_object_get(alert, "text", &text, nullptr);
            *seen->headline = text ? text : "";
            *seen->message = LUiAlertMessage(alert);
            g_free(text);
            gtk_dialog_response(GTK_DIALOG(alert), GTK_RESPONSE_OK);
            delete seen;
            return G_SOURCE_REMOVE;
        },
        new Seen { headline, message });
}

// Chooses the file in the next file panel and accepts it; keeps the panel's title.
void ChooseInPanel(const std::string& path, std::string* title)
{
    uitest::WhenPanelUp([path, title](GtkWidget* panel) {
        *title = gtk_window_get_title(GTK_WINDOW(panel));
        uitest::AcceptFile(panel, path);
    });
}

} // namespace

// The whole way through the editor as a person goes it: no brush, a brush without fill, a
// gradient whose arrow head is dragged onto the centre (and off it on one axis only), then an
// image chosen in the file panel: first a text file named x.png, then a real picture.
TEST_F(FillEditor, TheRoadFromNoBrushToAGradientAndAnImage)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Open(nullptr);
    char caption[260] = {};
    picker->GetButtonText(Picker::kIdNoFill, caption);
    EXPECT_STREQ(caption, "Ingen fyllning");
    EXPECT_TRUE(picker->GetRadioCheck(Picker::kIdNoFill));
    EXPECT_FALSE(picker->GetDirectionControl().IsEnabled());

    LBrushInfo none = Kind(0);
    picker->SetBrush(&none);
    EXPECT_TRUE(picker->GetRadioCheck(Picker::kIdNoFill));
    ASSERT_TRUE(Click(Picker::kIdGradient));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !watch.reports.empty(); }, 4000));
    ASSERT_EQ(watch.reports.size(), 1u);
    EXPECT_EQ(watch.Last().kind, 2u);
    EXPECT_EQ(watch.Last().stopCount, 2u);
    EXPECT_TRUE(picker->GetDirectionControl().IsEnabled());

    // The arrow head, at the right middle of the square, dragged a few pixels beside the
    // centre on both axes: it lands on the centre, (0, 0) in brush points.
    VTGradientPointControl& direction = picker->GetDirectionControl();
    int px, py, pw, ph;
    picker->GetControlPixels(Picker::kIdDirection, px, py, pw, ph);
    const int m = direction.Margin();
    const double tw = pw - 2 * m, th = ph - 2 * m;
    const double headX = (px + m + tw - 1) / s, midY = (py + m + th / 2) / s;
    const double centreX = (px + m + tw / 2) / s;
    size_t before = watch.reports.size();
    ASSERT_TRUE(uitest::XDragWithin(host.GetNativeWindow(), headX, midY, centreX + 4 / s, midY - 3,
        [&] { return direction.GetDrag() == 0 && watch.reports.size() > before; }));
    uitest::Pump(100);
    EXPECT_EQ(direction.GetEnd(), LPointTemplate<float>(0.5f, 0.5f));
    EXPECT_EQ(watch.Last().kind, 2u);
    EXPECT_EQ(watch.Last().geometry[0], -1.0f);
    EXPECT_EQ(watch.Last().geometry[1], 0.0f);
    EXPECT_EQ(watch.Last().geometry[2], 0.0f);
    EXPECT_EQ(watch.Last().geometry[3], 0.0f);
    EXPECT_TRUE(watch.reports[before].undoStep);

    // Near the centre across only: it stays where it was let go.
    before = watch.reports.size();
    const double lowY = midY + th / 4 / s;
    ASSERT_TRUE(uitest::XDragWithin(host.GetNativeWindow(), centreX, midY, centreX + 3, lowY,
        [&] { return direction.GetDrag() == 0 && watch.reports.size() > before; }));
    uitest::Pump(100);
    EXPECT_NE(direction.GetEnd().x, 0.5f);
    EXPECT_NEAR(direction.GetEnd().x, 0.5f, 12 / tw);
    EXPECT_GT(direction.GetEnd().y, 0.6f);
    EXPECT_NE(watch.Last().geometry[2], 0.0f);
    Shot("fill-editor-road-direction");

    // The white stop dragged up by its marker: the press is an undo step, every move after it a
    // continuation, and the release adds nothing (a report there would start a step). A busy
    // machine may hand the moves over as one (GTK merges motions that queue up).
    VTGradientStopControl& bar = picker->GetStopControl();
    int bx, by, bw, bh;
    picker->GetControlPixels(Picker::kIdStops, bx, by, bw, bh);
    const double markerX = (bx + bw - bar.MarkerColumn() / 2.0) / s;
    before = watch.reports.size();
    ASSERT_TRUE(
        uitest::XDragWithin(host.GetNativeWindow(), markerX, (by + bar.PositionToY(1.0f)) / s,
            markerX, (by + bar.PositionToY(0.5f)) / s, [&] { return !bar.IsDragging(); }));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() >= before + 2; }, 4000));
    uitest::Pump(150);
    EXPECT_TRUE(watch.reports[before].undoStep);
    for (size_t i = before + 1; i < watch.reports.size(); ++i)
        EXPECT_FALSE(watch.reports[i].undoStep) << i;
    EXPECT_EQ(watch.Last().stopCount, 2u);
    EXPECT_NEAR(watch.Last().stopPositions[1], 0.5f, 0.05f);

    // "Bild:", then the browse button: a text file named x.png gives the alert and changes
    // nothing; the folder is kept as the place to start next time all the same.
    TemporaryFolder folder;
    const std::string bad = folder / "x.png";
    TemporaryFolder::WriteFile(bad, "this is no picture\n");
    const std::string good = folder / "bild.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 9x4 xc:blue '" + good + "'").c_str()), 0);
    ASSERT_TRUE(Click(Picker::kIdImage));
    EXPECT_TRUE(uitest::PumpUntil([&] { return !watch.reports.back().brush.has_value(); }, 4000));
    EXPECT_TRUE(Enabled(Picker::kIdBrowse));
    before = watch.reports.size();
    std::string title, headline, message;
    ChooseInPanel(bad, &title);
    ReadAlert(&headline, &message);
    ASSERT_TRUE(Click(Picker::kIdBrowse));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !headline.empty(); }, 8000));
    uitest::Pump(100);
    EXPECT_EQ(title, "Välj bakgrundsbild");
    EXPECT_EQ(headline, "Ogiltig bildfil");
    EXPECT_EQ(message, "Det går inte att läsa in bildfilen. Välj en annan bild.");
    EXPECT_EQ(watch.reports.size(), before);
    EXPECT_STREQ(picker->GetBkImagePath(), "");
    LImageBuffer image;
    EXPECT_FALSE(picker->TakeBkImageBuffer(image));
    char stored[260] = {};
    _LUserSettingGetString(kVTOptionsSection, kVTOptionsRecentFolderImage, "", stored);
    EXPECT_EQ(std::string(stored), folder.Path());

    // The real picture: stored with its folder under Settings/RecentFolderImage.
    LUserSettingSetString(kVTOptionsSection, kVTOptionsRecentFolderImage, "");
    title.clear();
    ChooseInPanel(good, &title);
    ASSERT_TRUE(Click(Picker::kIdBrowse));
    ASSERT_TRUE(uitest::PumpUntil([&] { return watch.reports.size() > before; }, 8000));
    EXPECT_EQ(title, "Välj bakgrundsbild");
    EXPECT_EQ(watch.reports.back().path, good);
    EXPECT_FALSE(watch.reports.back().brush.has_value());
    EXPECT_STREQ(picker->GetShownFileName(), "bild.png");
    _LUserSettingGetString(kVTOptionsSection, kVTOptionsRecentFolderImage, "", stored);
    EXPECT_EQ(std::string(stored), folder.Path());
    ASSERT_TRUE(picker->TakeBkImageBuffer(image));
    EXPECT_EQ(image.GetWidth(), 9);
    EXPECT_EQ(image.GetHeight(), 4);
    Shot("fill-editor-road-image");
}
