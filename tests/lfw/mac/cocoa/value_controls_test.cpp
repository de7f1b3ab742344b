// Up-down inputs, track bars, the volume slider and the small controls (images, group boxes,
// lines, progress bars, date pickers, links) on real windows.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaTrackBarImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
constexpr int kUpDown = 10, kOther = 20, kBar = 30, kVBar = 40, kLink = 50, kGroup = 60,
              kImage = 70, kProgress = 80, kLine = 90;
constexpr int kCmdChanged = 701, kCmdEnd = 702, kCmdDate = 703;

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

struct ValueWindow : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int) override { commands.push_back(id); }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

class ValueControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    static void Type(LView* view, unsigned key, unsigned state = 0)
    {
        uitest::SendKey(view, key, true, state);
        uitest::SendKey(view, key, false, state);
        uitest::Pump(20);
    }
    void Show(ValueWindow& w)
    {
        w.InitCommon(kLCocoaDialogCenterNone, true);
        ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    }
};

} // namespace

TEST_F(ValueControlsTest, UpDownClampsWhenEditingEndsAndSteps)
{
    int s = Scale();
    ValueWindow w;
    w.CreateCocoaWindow(300 * s, 120 * s, kStyle, false, nullptr);
    LCocoaInputUpDownImpl* ud = w.AddInputUpDown(kUpDown, LInputFlags {}, 10, 10, 120);
    w.AddInput(kOther, LInputFlags {}, 10, 50, 120);
    w.UDInit(kUpDown, 1, 10, 1);
    // Whole numbers, judged when read: any text may be typed.
    ud->setFormatDouble(0);
    Show(w);
    LCocoaTextInputImpl* field = ud->textField();
    EXPECT_EQ(field->Tag(), kUpDown + 1);
    EXPECT_EQ(w.GetControlHandle(kUpDown + 1), field);
    EXPECT_EQ(ud->stepper()->Frame().width, 13);
    EXPECT_NEAR(ud->stepper()->Frame().x, field->Frame().width + 3, 0.01);

    // An edit of the whole text, as the user makes it in the entry, then the focus leaves.
    auto edit = [&](const char* text) {
        w.SetFocus(kUpDown + 1);
        uitest::Pump(20);
        gtk_entry_set_text(GTK_ENTRY(field->Widget()), text);
        uitest::Pump(20);
        w.commands.clear();
        w.SetFocus(kOther);
        uitest::Pump(50);
    };
    edit("25");
    EXPECT_EQ(field->stringValue(), "10");
    EXPECT_EQ(w.Count(kUpDown), 1);
    EXPECT_EQ(w.UDGetInt(kUpDown), 10);
    edit("5");
    EXPECT_EQ(field->stringValue(), "5");
    EXPECT_EQ(w.Count(kUpDown), 0);
    // Not a number: the field's last value again, not the minimum.
    edit("abc");
    EXPECT_EQ(field->stringValue(), "5");
    EXPECT_EQ(w.UDGetInt(kUpDown), 5);

    // A value shown outside the limits reads as the nearer limit.
    ud->setValue(70);
    EXPECT_EQ(w.UDGetInt(kUpDown), 10);
    ud->setValue(1e12);
    EXPECT_EQ(w.UDGetInt(kUpDown), 10);

    // Up with step 0.5 at 2.0: 2.5, reported as typing is (the field's text changed), not with
    // the field's own id, which tells that the program set the value.
    ud->setFormatDouble(1);
    ud->setStep(0.5);
    ud->setValue(2.0);
    w.SetFocus(kUpDown + 1);
    uitest::Pump(20);
    w.commands.clear();
    field->setTextChanged(false);
    Type(field, GDK_KEY_Up);
    EXPECT_DOUBLE_EQ(ud->value(), 2.5);
    EXPECT_EQ(field->stringValue(), "2.5");
    EXPECT_TRUE(field->textChanged());
    EXPECT_EQ(w.Count(kUpDown + 1), 0);
    // Step 0 does nothing.
    ud->setStep(0);
    Type(field, GDK_KEY_Up);
    EXPECT_DOUBLE_EQ(ud->value(), 2.5);

    // A stepper click while another field is edited moves the focus first.
    ud->setStep(1);
    w.SetFocus(kOther);
    uitest::Pump(30);
    w.commands.clear();
    uitest::SendButton(ud->stepper(), 6, 2, 1, true);
    uitest::SendButton(ud->stepper(), 6, 2, 1, false);
    uitest::PumpUntil([&] { return field->HasFocus() && ud->value() == 3.5; });
    EXPECT_TRUE(field->HasFocus());
    EXPECT_DOUBLE_EQ(ud->value(), 3.5);
    EXPECT_GE(w.Count(kUpDown), 1);

    // A maximum below the minimum: the minimum.
    w.UDInit(kUpDown, 5, 2, 1);
    edit("9");
    EXPECT_EQ(w.UDGetInt(kUpDown), 5);
    uitest::Screenshot(w.GetNativeWindow(), "up-down");
    w.Close();
}

TEST_F(ValueControlsTest, TrackBarDragVerticalPositionAndValueTip)
{
    int s = Scale();
    ValueWindow w;
    w.CreateCocoaWindow(320 * s, 240 * s, kStyle, false, nullptr);
    LTrackBarFlags flags;
    flags.showToolTip = true;
    LCocoaTrackBarImpl* bar = w.AddHTrackBar(kBar, flags);
    w.MoveControlPixels(kBar, 10 * s, 10 * s, 200 * s, 30 * s);
    LCocoaTrackBarImpl* vbar = w.AddHTrackBar(kVBar, LTrackBarFlags {});
    w.MoveControlPixels(kVBar, 250 * s, 10 * s, 30 * s, 200 * s);
    w.TBInit(kBar, 0, 100);
    w.TBInit(kVBar, 0, 100);
    w.HandleHTBChange(kBar, kCmdChanged);
    w.HandleHTBEnd(kBar, kCmdEnd);
    bar->setShowToolTip(false);
    Show(w);

    // A drag: changed for each move, end once.
    if (uitest::HaveXdotool()) {
        LNativeWindow* native = w.GetNativeWindow();
        ASSERT_TRUE(uitest::XClick(native, 20, 25));
        uitest::Pump(100);
        w.commands.clear();
        std::string xid = std::to_string(native->XWindowId());
        double top = native->TopSlotsHeight();
        auto at = [&](int x) {
            return "xdotool mousemove --window " + xid + " " + std::to_string(int(x * s)) + " "
                + std::to_string(int((25 + top) * s));
        };
        uitest::Run(at(20) + " mousedown 1");
        for (int x = 40; x <= 180; x += 35) {
            uitest::Pump(40);
            uitest::Run(at(x));
        }
        uitest::Pump(40);
        uitest::Run("xdotool mouseup 1");
        ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdEnd) == 1; }, 3000));
        uitest::Pump(100);
        EXPECT_GE(w.Count(kCmdChanged), 2);
        EXPECT_EQ(w.Count(kCmdEnd), 1);
        EXPECT_GT(w.TBGetPosition(kBar), 50);
    }

    // Vertical, 0 to 100 at 30: the knob 30 % from the top.
    EXPECT_TRUE(vbar->isVertical());
    w.TBSetPosition(kVBar, 30);
    EXPECT_EQ(w.TBGetPosition(kVBar), 30);
    uitest::Pump(100);
    LUiRect knob = vbar->knobRect();
    GdkRectangle trough;
    gtk_range_get_range_rect(GTK_RANGE(vbar->Widget()), &trough);
    double travel = trough.height - knob.height;
    ASSERT_GT(travel, 0);
    EXPECT_NEAR((knob.y - trough.y) / travel, 0.3, 0.05);

    // The value tip while the knob is dragged: the value at the knob's lower middle.
    bar->setShowToolTip(true);
    bar->cell().startTracking();
    gtk_range_set_value(GTK_RANGE(bar->Widget()), 37);
    uitest::Pump(50);
    LCocoaTooltipImpl* tip = bar->cell().tooltip();
    EXPECT_EQ(tip->text(), "37");
    LUiRect screen;
    ASSERT_TRUE(LCocoaViewScreenRect(bar, screen));
    LUiRect k = bar->cell().knobBounds();
    EXPECT_NEAR(tip->anchor().x, screen.x + k.x + k.width / 2, 1);
    EXPECT_NEAR(tip->anchor().y, screen.y + k.y + k.height, 1);
    uitest::Screenshot(w.GetNativeWindow(), "track-bars");
    bar->cell().stopTracking();
    EXPECT_FALSE(tip->isShown());
    w.Close();
}

TEST_F(ValueControlsTest, VolumeSliderPlacesItsParts)
{
    ValueWindow w;
    w.CreateCocoaWindow(300, 100, kStyle, false, nullptr);
    auto* volume = new LCocoaVolumeSliderImpl(LUiRect { 10, 10, 200, 17 });
    volume->initializeControl(&w, 1, 2);
    volume->setID(77);
    w.GetContentView()->AddSubview(volume);
    volume->Release();
    EXPECT_DOUBLE_EQ(volume->slider()->Frame().x, 22);
    EXPECT_DOUBLE_EQ(volume->slider()->Frame().width, 161);
    EXPECT_DOUBLE_EQ(volume->viewVolMax()->Frame().x, 183);
    EXPECT_EQ(volume->minLevel(), -48);
    EXPECT_EQ(volume->maxLevel(), 0);
    Show(w);
    volume->setLevel(-12);
    EXPECT_EQ(volume->level(), -12);
    gtk_range_set_value(GTK_RANGE(volume->slider()->Widget()), -6);
    EXPECT_EQ(w.Count(77), 1);
    EXPECT_EQ(volume->tip()->text(), "-6 dB");
    // Wider: the maximum icon keeps its distance from the right edge.
    volume->SetFrame(LUiRect { 10, 10, 260, 17 });
    EXPECT_DOUBLE_EQ(volume->viewVolMax()->Frame().x, 243);
    w.Close();
}

TEST_F(ValueControlsTest, SmallControlsImagesGroupsProgressAndDates)
{
    int s = Scale();
    ValueWindow w;
    w.CreateCocoaWindow(320 * s, 240 * s, kStyle, false, nullptr);
    LView* group = w.AddGroup(kGroup, "", 10, 10, 150, 100);
    LView* titled = w.AddGroup(kGroup + 1, "Inställningar", 170, 10, 140, 100);
    EXPECT_EQ(w.GetContentView()->Subviews().front(), titled); // behind every other control
    LCocoaImageControlImpl* image = w.AddBitmap(kImage, 0, 0, 0, 0);
    LCocoaImageControlImpl* sized = w.AddBitmap(kImage + 1, 20 * s, 120 * s, 100 * s, 40 * s);
    w.AddProgressBar(kProgress);
    w.MoveControlPixels(kProgress, 10 * s, 170 * s, 200 * s, 20 * s);
    w.AddHLine(kLine, 10, 200, 300);
    Show(w);

    auto* groupBox = dynamic_cast<LCocoaGroupImpl*>(group);
    ASSERT_NE(groupBox, nullptr);
    EXPECT_FALSE(groupBox->hasTitleStrip());
    GtkWidget* frame = gtk_bin_get_child(GTK_BIN(group->Widget()));
    EXPECT_EQ(gtk_frame_get_label_widget(GTK_FRAME(frame)), nullptr);
    EXPECT_NE(gtk_frame_get_label_widget(GTK_FRAME(gtk_bin_get_child(GTK_BIN(titled->Widget())))),
        nullptr);
    groupBox->setEnabled(false);
    EXPECT_NEAR(gtk_widget_get_opacity(frame), 0.5, 0.01);

    // An image control without a size takes the image's; one with a size keeps it and scales
    // the image proportionally, centred.
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 20);
    cairo_t* cr = cairo_create(picture);
    cairo_set_source_rgb(cr, 0.9, 0.2, 0.1);
    cairo_paint(cr);
    cairo_destroy(cr);
    image->setImageWithResourceImage(picture);
    EXPECT_DOUBLE_EQ(image->Frame().width, 40);
    EXPECT_DOUBLE_EQ(image->Frame().height, 20);
    sized->setImageWithResourceImage(picture);
    cairo_surface_destroy(picture);
    EXPECT_DOUBLE_EQ(sized->Frame().width, 100);
    LUiRect r = sized->imageRect();
    EXPECT_DOUBLE_EQ(r.width, 80);
    EXPECT_DOUBLE_EQ(r.height, 40);
    EXPECT_DOUBLE_EQ(r.x, 10);

    w.PBSetProgress(kProgress, 0.5);
    auto* progress = dynamic_cast<LCocoaProgressBarImpl*>(w.GetControlHandle(kProgress));
    ASSERT_NE(progress, nullptr);
    EXPECT_DOUBLE_EQ(progress->doubleValue(), 50);
    w.PBSetProgressIndeterminateOn(kProgress);
    EXPECT_TRUE(progress->isIndeterminate());
    uitest::Pump(250);
    uitest::Screenshot(w.GetNativeWindow(), "small-controls");
    w.PBSetProgressIndeterminateOff(kProgress);
    EXPECT_FALSE(progress->isIndeterminate());

    // The date picker tells of user changes only.
    auto* date = new LCocoaDateTimeImpl(LUiRect { 10, 210, 200, 24 }, &w);
    date->setID(99);
    w.GetContentView()->AddSubview(date);
    date->Release();
    LCocoaView::setCommandId(date, kCmdDate, &keyCmdDTPChanged);
    date->Widget();
    date->setDateTime(86400 * 365);
    EXPECT_EQ(w.Count(kCmdDate), 0);
    date->handleDatePickerChanged(86400 * 400);
    EXPECT_EQ(w.Count(kCmdDate), 1);
    w.Close();
}

TEST_F(ValueControlsTest, HyperlinkOpensItsUrlOrSendsItsId)
{
    TemporaryFolder folder;
    std::string log = folder.Path() + "/opened.txt";
    std::string opener = folder.Path() + "/xdg-open";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\necho \"$1\" >> '" << log << "'\n";
    }
    chmod(opener.c_str(), 0755);
    std::string path = folder.Path() + ":" + (getenv("PATH") ? getenv("PATH") : "");
    setenv("PATH", path.c_str(), 1);

    ValueWindow w;
    w.CreateCocoaWindow(300, 100, kStyle, false, nullptr);
    LCocoaHyperLinkImpl* link
        = w.AddHyperLink(kLink, "Hemsida", "https://example.invalid/", 10, 10, 120, 20);
    Show(w);
    link->mouseDown();
    // The opener writes a file, which wakes no loop: look now and then.
    bool opened = false;
    for (int i = 0; i < 150 && !opened; ++i) {
        uitest::Pump(20);
        std::ifstream in(log);
        std::string line;
        opened = std::getline(in, line) && line == "https://example.invalid/";
    }
    ASSERT_TRUE(opened);
    EXPECT_EQ(w.Count(kLink), 0);
    w.HLInit(kLink);
    link->mouseDown();
    EXPECT_EQ(w.Count(kLink), 1);
    char text[260];
    w.GetStaticText(kLink, text);
    EXPECT_STREQ(text, "Hemsida");

    EXPECT_TRUE(link->isUnderlineShown());
    link->setUnderLine(false);
    EXPECT_TRUE(link->isUnderlineShown()); // nothing on screen yet
    link->setText("Hemsida");
    EXPECT_FALSE(link->isUnderlineShown());
    PangoAttrList* attrs
        = gtk_label_get_attributes(GTK_LABEL(gtk_bin_get_child(GTK_BIN(link->Widget()))));
    ASSERT_NE(attrs, nullptr);
    PangoAttrIterator* it = pango_attr_list_get_iterator(attrs);
    auto* fg
        = reinterpret_cast<PangoAttrColor*>(pango_attr_iterator_get(it, PANGO_ATTR_FOREGROUND));
    ASSERT_NE(fg, nullptr);
    EXPECT_EQ(fg->color.red, 0);
    EXPECT_EQ(fg->color.blue / 257, 238);
    pango_attr_iterator_destroy(it);
    uitest::Screenshot(w.GetNativeWindow(), "hyperlink");
    w.Close();
}

TEST_F(ValueControlsTest, IconsComeFromTheResourcesFolder)
{
    TemporaryFolder folder;
    std::string png = folder.Path() + "/resources/png";
    ASSERT_EQ(system(("mkdir -p '" + png + "'").c_str()), 0);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 24, 16);
    ASSERT_EQ(cairo_surface_write_to_png(s, (png + "/4321.png").c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
    const char* old = getenv("VT_RESOURCES_DIR");
    std::string saved = old ? old : "";
    setenv("VT_RESOURCES_DIR", folder.Path().c_str(), 1);

    ValueWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    LCocoaImageControlImpl* icon = w.AddIcon(kImage, 4321, 0, 0, 0, 0);
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(icon->image(), nullptr);
    EXPECT_DOUBLE_EQ(icon->Frame().width, 24);
    EXPECT_DOUBLE_EQ(icon->Frame().height, 16);
    // A missing resource leaves the image as it was.
    w.SetPictureImageTransparent(kImage, 9999);
    EXPECT_NE(icon->image(), nullptr);

    // Buttons take their images from the same folder, through the window layer's loader; a
    // missing one leaves the button without an image.
    LCocoaButtonImpl* button = w.AddButton(kOther, "Bild");
    button->setImageWithResourceID(4321);
    EXPECT_TRUE(button->hasImage());
    button->setImageWithResourceID(9999);
    EXPECT_FALSE(button->hasImage());
    auto& hooks = LCocoaWindowHooksGet();
    auto savedLoader = hooks.loadResourceImage;
    static std::string asked;
    hooks.loadResourceImage = [](const char* name) -> cairo_surface_t* {
        asked = name;
        return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    };
    button->setImageWithResourceName("knapp");
    hooks.loadResourceImage = savedLoader;
    EXPECT_EQ(asked, "knapp");
    EXPECT_TRUE(button->hasImage());
    w.Close();
    if (saved.empty())
        unsetenv("VT_RESOURCES_DIR");
    else
        setenv("VT_RESOURCES_DIR", saved.c_str(), 1);
}
