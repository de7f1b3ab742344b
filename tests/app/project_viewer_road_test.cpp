// The project viewer as a person uses it: typing in the text panel with the real keyboard while
// the main loop turns, pasting where the real pointer stands, clipboards with nothing usable,
// the image panel's edits, and the alerts answered with their own buttons, also when the project
// is closed while one is up.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayout.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "platform/ui/LUiAlert.h"
#include "support/PanelTestSupport.h"
#include "support/ProjectTestSupport.h"
#include "support/ProjectViewerTestSupport.h"
#include "support/TemporaryFolder.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>
#include <zlib.h>

using namespace pvtest;

namespace {

class ProjectViewerRoad : public WindowTest { };

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string FieldText(VTProjectViewer& v)
{
    LStringLongTemplate<char> text;
    v.textPanel->text.GetEditText(1000, text);
    return text.c_str();
}

// A PNG file of the given size whose pixels are one empty deflate block.
void WritePngHeaderOnly(const std::string& path, uint32_t width, uint32_t height)
{
    auto be32 = [](std::string& out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char((v >> shift) & 0xFF);
    };
    auto chunk = [&](std::string& out, const char* type, const std::string& data) {
        be32(out, uint32_t(data.size()));
        std::string body = std::string(type, 4) + data;
        out += body;
        be32(out,
            uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    };
    std::string ihdr;
    be32(ihdr, width);
    be32(ihdr, height);
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    chunk(png, "IEND", "");
    std::ofstream(path, std::ios::binary) << png;
}

// Once an alert is up: keeps its headline and message, runs the action (with the alert still
// up), then clicks the button with the label.
void AnswerAlertAfter(std::string* headline, std::string* message, std::function<void()> action,
    const std::string& label)
{
    struct Answer {
        std::string* headline;
        std::string* message;
        std::function<void()> action;
        std::string label;
    };
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* a = static_cast<Answer*>(data);
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!alert || !gtk_widget_get_mapped(alert))
                return G_SOURCE_CONTINUE;
            gchar* text = nullptr;
            g_object_get(alert, "text", &text, nullptr);
            *a->headline = text ? text : "";
            *a->message = LUiAlertMessage(alert);
            g_free(text);
            if (a->action)
                a->action();
            if (GtkWidget* b = uitest::FindButton(alert, a->label))
                gtk_button_clicked(GTK_BUTTON(b));
            else
                gtk_dialog_response(GTK_DIALOG(alert), GTK_RESPONSE_DELETE_EVENT);
            delete a;
            return G_SOURCE_REMOVE;
        },
        new Answer { headline, message, std::move(action), label });
}

// A project of one page holding two discs, one design for each.
std::unique_ptr<VTProject> TwoDiscProject(VTLabelLayout*& layout)
{
    layout = new VTLabelLayout;
    VTLabelLayoutPage* page = layout->AddPage();
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    return std::make_unique<VTProject>(layout);
}

} // namespace

// AddOverlayText opens "Textegenskaper" with the keyboard in the text field; typing with the real
// keyboard while the loop turns is one "Text property" step, a quarter second after the last key.
TEST_F(ProjectViewerRoad, TypedTextIsOneStepAQuarterSecondAfterTheLastKey)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    const std::string empty = f.Pixels("project-viewer-road-empty");
    f.viewer.AddOverlayText("");
    auto* text = static_cast<VTOverlayText*>(f.Design()->first);
    VTProjectViewerPanelTextProperties& panel = *f.viewer.textPanel;
    EXPECT_STREQ(panel.GetTitle(), "Textegenskaper");
    EXPECT_TRUE(panel.bVisible && !panel.bCollapsed);
    EXPECT_TRUE(panel.text.IsControlFocus(1000));
    const uint64_t before = f.viewer.history.count;

    uitest::KeyboardLock lock;
    gdk_display_sync(gdk_display_get_default());
    const std::string xid = std::to_string(f.window.GetNativeWindow()->XWindowId());
    uitest::Run("xdotool windowfocus --sync " + xid);
    std::atomic<bool> typed { false };
    std::thread typist([&] {
        uitest::Run("xdotool type --delay 80 Skivetikett");
        typed = true;
    });
    // Watch the field and the history while the keys arrive.
    std::string seen = FieldText(f.viewer);
    Clock::time_point lastKey = Clock::now();
    long long stepAfterLastKey = -1;
    uint64_t most = before;
    const Clock::time_point start = Clock::now();
    while (MsSince(start) < 8000) {
        uitest::Pump(5);
        const std::string now = FieldText(f.viewer);
        if (now != seen) {
            seen = now;
            lastKey = Clock::now();
        }
        most = std::max(most, uint64_t(f.viewer.history.count));
        if (f.viewer.history.count > before && stepAfterLastKey < 0)
            stepAfterLastKey = MsSince(lastKey);
        if (typed && seen == "Skivetikett" && stepAfterLastKey >= 0 && MsSince(lastKey) > 600)
            break;
    }
    typist.join();
    EXPECT_EQ(seen, "Skivetikett");
    EXPECT_STREQ(text->GetText(), "Skivetikett");
    // One step only, and not before the keys stopped (80 ms apart) for a quarter second.
    EXPECT_EQ(most, before + 1);
    EXPECT_EQ(f.viewer.history.count, before + 1);
    EXPECT_GE(stepAfterLastKey, 200);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text property");
    // The canvas shows the text; undone, the empty text leaves the canvas as it was.
    f.viewer.canvas.ClearSelectedItems();
    const std::string shown = f.Pixels("project-viewer-road-typed");
    EXPECT_TRUE(shown != empty);
    f.viewer.Undo();
    EXPECT_STREQ(text->GetText(), "");
    f.viewer.Redo();
    f.viewer.canvas.ClearSelectedItems();
    EXPECT_TRUE(f.Pixels("project-viewer-road-typed-redone") == shown);
}

// A copied overlay pasted with the real pointer over the canvas lands centred under it; with
// the pointer over the panels it lands 10 mm to the right of the original.
TEST_F(ProjectViewerRoad, PasteFollowsTheRealPointer)
{
    if (!uitest::HaveXdotool() || !HaveXclip())
        GTEST_SKIP() << "no xdotool or xclip";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("Under musen");
    VTOverlay* original = f.Design()->first;
    original->centreX = 5;
    original->centreY = 6;
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    int cx = 0, cy = 0, cw = 0, ch = 0;
    f.viewer.GetControlPixels(kVTProjectViewerCanvasId, cx, cy, cw, ch);
    const int s = Scale();
    // A point of the canvas, in window points.
    const double px = (cx + cw / 3) / s, py = (cy + ch / 2) / s;
    ASSERT_TRUE(uitest::XMove(f.window.GetNativeWindow(), px, py));
    uitest::Pump(50);
    float mx = 0, my = 0;
    f.viewer.canvas.TransformPointPixelsToMillimetres(
        mx, my, float(px * s - cx), float(py * s - cy));
    float mx1 = 0, my1 = 0;
    f.viewer.canvas.TransformPointPixelsToMillimetres(
        mx1, my1, float(px * s - cx + 1), float(py * s - cy + 1));
    const float pixelMm = std::fabs(mx1 - mx) + 1e-3f;
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    VTOverlay* atMouse = original->next;
    ASSERT_NE(atMouse, nullptr);
    EXPECT_NEAR(atMouse->centreX, mx, 1.5f * pixelMm);
    EXPECT_NEAR(atMouse->centreY, my, 1.5f * pixelMm);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text pasted");

    // Over the panels' column, right of the canvas.
    ASSERT_TRUE(uitest::XMove(f.window.GetNativeWindow(), (cx + cw) / s + 100, py));
    uitest::Pump(50);
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    VTOverlay* beside = atMouse->next;
    ASSERT_NE(beside, nullptr);
    EXPECT_FLOAT_EQ(beside->centreX, 15);
    EXPECT_FLOAT_EQ(beside->centreY, 6);
}

// A clipboard with nothing usable: no text, no picture of ours or others (an unknown type, a
// picture without height): false and no step.
TEST_F(ProjectViewerRoad, NothingUsableOnTheClipboardPastesNothing)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    TemporaryFolder folder;
    const std::string other = folder / "other";
    std::ofstream(other) << "något annat";
    XclipPut(other, "application/x-something-else");
    EXPECT_FALSE(f.viewer.ClipboardPasteItems());
    const std::string flat = folder / "flat.png";
    WritePngHeaderOnly(flat, 40, 0);
    XclipPut(flat, "image/png");
    EXPECT_FALSE(f.viewer.ClipboardPasteItems());
    EXPECT_EQ(f.Count(), 0u);
    EXPECT_FALSE(f.viewer.CanUndo());
}

// The image panel's edits with their captions; they do nothing on a text.
TEST_F(ProjectViewerRoad, ImageEditsAndTheirCaptions)
{
    Fixture f;
    LImageBuffer picture;
    sample::MakePicture(picture, 20, 10);
    f.viewer.AddOverlayImage(picture, "/bilder/katt.png");
    auto* image = static_cast<VTOverlayImage*>(f.Design()->first);
    struct Step {
        void (VTProjectViewer::*edit)();
        const char* caption;
    } steps[] = {
        { &VTProjectViewer::EvProjectViewerPanelImageRotateLeft, "Overlay Rotate left" },
        { &VTProjectViewer::EvProjectViewerPanelImageRotateRight, "Overlay Rotate right" },
        { &VTProjectViewer::EvProjectViewerPanelImageFlipHorizontal, "Image Flip horizontal" },
        { &VTProjectViewer::EvProjectViewerPanelImageFlipVertical, "Image Flip vertical" },
        { &VTProjectViewer::EvProjectViewerPanelImagePropertiesChanged, "Image property" },
    };
    for (const Step& s : steps) {
        const uint64_t n = f.viewer.history.count;
        (f.viewer.*s.edit)();
        EXPECT_EQ(f.viewer.history.count, n + 1) << s.caption;
        EXPECT_STREQ(f.viewer.GetUndoCaption(), s.caption);
    }
    EXPECT_EQ(f.Design()->first, image);
    // Text edits do nothing on a picture.
    const uint64_t n = f.viewer.history.count;
    f.viewer.EvProjectViewerPanelTextFlipHorizontal();
    f.viewer.EvProjectViewerPanelTextPropertiesChanged();
    f.viewer.EvProjectViewerPanelTextAlignmentChanged(1);
    EXPECT_EQ(f.viewer.history.count, n);
}

// An unreadable background picture: the alert's own headline, message and "OK".
TEST_F(ProjectViewerRoad, AnUnreadablePictureTellsWhy)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    TemporaryFolder folder;
    const std::string bad = folder / "trasig.png";
    std::ofstream(bad) << "\x89PNG trasig";
    VTBackgroundFill fill;
    fill.path = bad;
    std::string headline, message;
    AnswerAlertAfter(&headline, &message, nullptr, "OK");
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(fill, false);
    EXPECT_EQ(headline, "Ogiltig bildfil");
    EXPECT_EQ(message, "Det går inte att läsa in bildfilen. Välj en annan bild.");
    EXPECT_EQ(f.Count(), 0u);
    EXPECT_FALSE(f.viewer.CanUndo());
}

// The same-format box through the panel, answered with the alert's own buttons: the texts of
// both questions, "Fortsätt" merging and splitting, "Avbryt" putting the box back.
TEST_F(ProjectViewerRoad, SameFormatAlertsAnsweredWithTheirButtons)
{
    VTLabelLayout* layout = nullptr;
    Fixture f(false);
    f.project = TwoDiscProject(layout);
    f.viewer.SetProject(f.project.get());
    ASSERT_TRUE(f.Show());
    VTControlCheckBox& box = f.viewer.labelLayoutPanel->sameFormat;
    ASSERT_FALSE(box.GetCheck(1000));

    std::string headline, message;
    AnswerAlertAfter(&headline, &message, nullptr, "Avbryt");
    box.SetCheck(1000, true);
    box.SendCommand(1000);
    EXPECT_EQ(headline, "Samma format kryssruta");
    EXPECT_EQ(message,
        "Den här åtgärden tar bort alla dubbletter av projektmallar i projektet.\nDet som "
        "återstår är en projektmall av varje formattyp som används i projektets etikettlayout.");
    EXPECT_FALSE(box.GetCheck(1000));
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);

    AnswerAlertAfter(&headline, &message, nullptr, "Fortsätt");
    box.SetCheck(1000, true);
    box.SendCommand(1000);
    EXPECT_TRUE(box.GetCheck(1000));
    EXPECT_TRUE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 1u);

    AnswerAlertAfter(&headline, &message, nullptr, "Fortsätt");
    box.SetCheck(1000, false);
    box.SendCommand(1000);
    EXPECT_EQ(message,
        "Den här åtgärden lägger till ytterligare projektmallar i projektet så att det finns "
        "en projektmall för varje etikettlayoutmall i projektet.");
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);
    f.viewer.SetProject(nullptr);
}

// The project closed, or another opened, while the same-format question is up: "Fortsätt" then
// changes neither project, and the next project's box is left alone.
TEST_F(ProjectViewerRoad, AProjectClosedUnderTheQuestionIsLeftAlone)
{
    VTLabelLayout* layout = nullptr;
    Fixture f(false);
    f.project = TwoDiscProject(layout);
    f.viewer.SetProject(f.project.get());
    ASSERT_TRUE(f.Show());
    VTControlCheckBox& box = f.viewer.labelLayoutPanel->sameFormat;

    std::string headline, message;
    AnswerAlertAfter(
        &headline, &message, [&] { f.viewer.SetProject(nullptr); }, "Fortsätt");
    box.SetCheck(1000, true);
    box.SendCommand(1000);
    EXPECT_EQ(headline, "Samma format kryssruta");
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);
    EXPECT_EQ(f.viewer.GetCurrentTemplate(), nullptr);

    // Another project takes its place while the question is up.
    f.viewer.SetProject(f.project.get());
    VTLabelLayout* otherLayout = nullptr;
    auto other = TwoDiscProject(otherLayout);
    otherLayout->sameFormat = true;
    AnswerAlertAfter(
        &headline, &message, [&] { f.viewer.SetProject(other.get()); }, "Fortsätt");
    box.SetCheck(1000, true);
    box.SendCommand(1000);
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);
    EXPECT_TRUE(otherLayout->sameFormat);
    EXPECT_EQ(other->templates.GetCount(), 2u);
    EXPECT_TRUE(box.GetCheck(1000)); // the other project's box as it shows it
    f.viewer.SetProject(nullptr);
}

// The viewer destroyed while its alerts are up: answering them afterwards reaches nothing, and
// the project is left as it was.
TEST_F(ProjectViewerRoad, TheViewerDestroyedUnderAnAlertIsNotCalledBack)
{
    TemporaryFolder folder;
    const std::string bad = folder / "trasig.png";
    std::ofstream(bad) << "ingen bild";
    VTLabelLayout* layout = nullptr;
    auto project = TwoDiscProject(layout);
    const int s = Scale();
    LMacWindow window;
    window.CreateCocoaWindow(800 * s, 500 * s, kStyle, false, nullptr);
    window.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(window.GetNativeWindow()));
    auto gone = [&](std::unique_ptr<VTProjectViewer>& viewer) {
        viewer->SetProject(nullptr);
        viewer->Destroy();
        viewer.reset();
    };
    std::string headline, message;
    {
        auto viewer = std::make_unique<VTProjectViewer>();
        viewer->Init(window, 800 * s, 500 * s);
        viewer->SetProject(project.get());
        VTBackgroundFill fill;
        fill.path = bad;
        VTProjectViewer* raw = viewer.get();
        AnswerAlertAfter(
            &headline, &message, [&] { gone(viewer); }, "OK");
        raw->EvProjectViewerPanelTemplateBackgroundColourChanged(fill, false);
        EXPECT_EQ(headline, "Ogiltig bildfil");
        EXPECT_EQ(viewer, nullptr);
    }
    {
        auto viewer = std::make_unique<VTProjectViewer>();
        viewer->Init(window, 800 * s, 500 * s);
        viewer->SetProject(project.get());
        VTProjectViewer* raw = viewer.get();
        AnswerAlertAfter(
            &headline, &message, [&] { gone(viewer); }, "Fortsätt");
        EXPECT_FALSE(raw->SameFormatChanged(true));
        EXPECT_EQ(headline, "Samma format kryssruta");
        EXPECT_EQ(viewer, nullptr);
    }
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(project->templates.GetCount(), 2u);
    EXPECT_EQ(project->templates.GetFirst()->GetCount(), 0u);
    uitest::Pump(300);
    window.DestroyCommon();
}
