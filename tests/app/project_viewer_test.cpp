// The project viewer on a real window: a CD project shown, overlays added, deleted, dragged and
// pasted (other programs' text and pictures through xclip), the undo history and its bounds,
// backgrounds, the same-format split and merge, and the autosave driven by injected ticks.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTClipboardOverlay.h"
#include "app/VTHistoryState.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "app/VTPictureFilesAdd.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "app/VTProjectViewer.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LStream.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/UI.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/ProjectTestSupport.h"
#include "support/ProjectViewerTestSupport.h"
#include "support/Screenshot.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

using namespace pvtest;

namespace {

class ProjectViewer : public WindowTest { };

} // namespace

// --- the road ------------------------------------------------------------------------------------

TEST_F(ProjectViewer, ShowsTheDiscDesignAndAddsText)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    ASSERT_NE(f.Design(), nullptr);
    EXPECT_EQ(f.Design()->GetFormat(), VTTemplateFormatDisc);
    EXPECT_TRUE(f.viewer.TimerIsSet(kVTProjectViewerAutoSaveTimer));
    EXPECT_FALSE(f.viewer.CanUndo());
    // The canvas sits right of nothing and below the paginator's strip.
    int x = 0, y = 0, w = 0, h = 0;
    f.viewer.GetControlPixels(kVTProjectViewerCanvasId, x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 36 * Scale());
    EXPECT_EQ(w, (1000 - 460) * Scale());
    EXPECT_EQ(h, (600 - 36) * Scale());

    const std::string before = f.SettledPixels("project-viewer-empty");
    f.viewer.AddOverlayText("Skivetikett");
    ASSERT_EQ(f.Count(), 1u);
    auto* text = dynamic_cast<VTOverlayText*>(f.Design()->first);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetText(), "Skivetikett");
    EXPECT_EQ(f.viewer.canvas.GetSingleSelectedItem(), text);
    EXPECT_FLOAT_EQ(text->centreX, 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text convert");
    f.Pixels("project-viewer-text-selected");
    // The step remembers that nothing was selected: redo shows the text unselected.
    f.viewer.canvas.ClearSelectedItems();
    const std::string added = f.SettledPixels("project-viewer-text");
    EXPECT_TRUE(added != before);

    f.viewer.Undo();
    EXPECT_EQ(f.Count(), 0u);
    EXPECT_TRUE(f.SettledPixels("project-viewer-undone") == before);
    EXPECT_TRUE(f.viewer.CanRedo());
    f.viewer.Redo();
    EXPECT_EQ(f.Count(), 1u);
    EXPECT_TRUE(f.SettledPixels("project-viewer-redone") == added);
}

TEST_F(ProjectViewer, ARealDragIsOneStepAndUndoesWhole)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("Dra mig");
    auto* text = f.Design()->first;
    ASSERT_NE(text, nullptr);
    // The text's centre in window points: the canvas below the 36-point strip.
    int cx = 0, cy = 0, cw = 0, ch = 0;
    f.viewer.GetControlPixels(kVTProjectViewerCanvasId, cx, cy, cw, ch);
    const double s = Scale();
    auto toPoints = [&](float mmX, float mmY, double& px, double& py) {
        // Invert the canvas's fit by probing: a millimetre is the pixel distance of 1 mm.
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        f.viewer.canvas.TransformPointPixelsToMillimetres(x0, y0, 0, 0);
        f.viewer.canvas.TransformPointPixelsToMillimetres(x1, y1, 100, 100);
        const float perMm = 100 / (x1 - x0);
        px = (cx + (mmX - x0) * perMm) / s;
        py = (cy + (mmY - y0) * perMm) / s;
    };
    double fx = 0, fy = 0, tx = 0, ty = 0;
    toPoints(text->centreX, text->centreY, fx, fy);
    toPoints(text->centreX + 20, text->centreY, tx, ty);
    const float startX = text->centreX;
    const bool done = uitest::XDragWithin(f.window.GetNativeWindow(), fx, fy, tx, ty,
        [&] { return text->centreX > startX + 15 && !f.viewer.canvas.IsCaptured(); });
    EXPECT_TRUE(done) << text->centreX;
    EXPECT_EQ(f.viewer.history.count, 2u);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay Size or Position");
    const std::string dragged = f.Pixels("project-viewer-dragged");
    f.viewer.Undo();
    EXPECT_FLOAT_EQ(text->centreX, startX);
    const std::string undone = f.Pixels("project-viewer-drag-undone");
    EXPECT_TRUE(undone != dragged);
    f.viewer.Redo();
    EXPECT_TRUE(f.Pixels("project-viewer-drag-redone") == dragged);
    f.viewer.Undo();
    EXPECT_TRUE(f.Pixels("project-viewer-drag-undone-again") == undone);
}

// --- the history ---------------------------------------------------------------------------------

TEST_F(ProjectViewer, HundredStepsAtMostAndEditsCutRedo)
{
    Fixture f;
    f.viewer.AddOverlayText("Ett");
    for (int i = 0; i < 100; ++i)
        f.viewer.EvProjectViewerPanelTextRotateRight();
    EXPECT_EQ(f.viewer.history.count, 100u);
    int undos = 0;
    while (f.viewer.CanUndo()) {
        f.viewer.Undo();
        ++undos;
    }
    EXPECT_EQ(undos, 100);
    // The text stays: its adding was the step that fell out.
    EXPECT_EQ(f.Count(), 1u);
    f.viewer.Redo();
    f.viewer.Redo();
    EXPECT_STREQ(f.viewer.GetRedoCaption(), "Overlay Rotate right");
    f.viewer.EvProjectViewerPanelTextRotateLeft();
    EXPECT_FALSE(f.viewer.CanRedo());
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay Rotate left");
}

TEST_F(ProjectViewer, CaptionsOfTheEdits)
{
    Fixture f;
    f.viewer.AddOverlayText("A");
    f.viewer.AddOverlayText("B");
    struct Step {
        void (VTProjectViewer::*edit)();
        const char* caption;
    } steps[] = {
        { &VTProjectViewer::EvProjectViewerPanelTextRotateLeft, "Overlay Rotate left" },
        { &VTProjectViewer::EvProjectViewerPanelTextRotateRight, "Overlay Rotate right" },
        { &VTProjectViewer::EvProjectViewerPanelTextFlipHorizontal, "Text Flip horizontal" },
        { &VTProjectViewer::EvProjectViewerPanelTextFlipVertical, "Text Flip vertical" },
        { &VTProjectViewer::EvProjectViewerPanelTextLower, "Overlay Lower" },
        { &VTProjectViewer::EvProjectViewerPanelTextRaise, "Overlay Raise" },
    };
    for (const Step& s : steps) {
        (f.viewer.*s.edit)();
        EXPECT_STREQ(f.viewer.GetUndoCaption(), s.caption);
    }
    f.viewer.textPanel->text.SetEditText(1000, "B2");
    f.viewer.EvProjectViewerPanelTextPropertiesChanged();
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text property");
    f.viewer.EvProjectViewerPanelTextAlignmentChanged(1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text alignment");
    f.viewer.EvProjectTemplateViewerOverlayChanged(f.viewer.canvas);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay Size or Position");
    // Image edits do nothing on a text.
    const uint64_t n = f.viewer.history.count;
    f.viewer.EvProjectViewerPanelImageFlipHorizontal();
    f.viewer.EvProjectViewerPanelImagePropertiesChanged();
    EXPECT_EQ(f.viewer.history.count, n);
    f.viewer.DeleteSelectedItems();
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay delete");
    EXPECT_EQ(f.Count(), 1u);
}

TEST_F(ProjectViewer, RaiseAndLowerWithoutSelectionDoNothing)
{
    Fixture f;
    f.viewer.AddOverlayText("A");
    f.viewer.AddOverlayText("B");
    f.viewer.canvas.ClearSelectedItems();
    const uint64_t n = f.viewer.history.count;
    VTOverlay* first = f.Design()->first;
    f.viewer.EvProjectViewerPanelTextRaise();
    f.viewer.EvProjectViewerPanelImageLower();
    f.viewer.DeleteSelectedItems();
    EXPECT_EQ(f.viewer.history.count, n);
    EXPECT_EQ(f.Design()->first, first);
    EXPECT_EQ(f.Count(), 2u);
}

TEST_F(ProjectViewer, AThousandOverlaysUndoAsOneDesign)
{
    Fixture f;
    for (int i = 0; i < 1000; ++i)
        sample::Text(*f.Design(), "x", float(i % 50), float(i / 50));
    f.viewer.AddOverlayText("Sist");
    EXPECT_EQ(f.Count(), 1001u);
    f.viewer.DeleteSelectedItems();
    EXPECT_EQ(f.Count(), 1000u);
    f.viewer.Undo();
    f.viewer.Undo();
    EXPECT_EQ(f.Count(), 1000u);
    f.viewer.Redo();
    EXPECT_EQ(f.Count(), 1001u);
}

TEST_F(ProjectViewer, NothingHappensWithoutProject)
{
    Fixture f(false);
    f.viewer.AddOverlayText("x");
    LImageBuffer picture;
    sample::MakePicture(picture, 8, 8);
    f.viewer.AddOverlayImage(picture, "a.png");
    f.viewer.AddOverlayImageBackground(picture, "a.png");
    f.viewer.DeleteSelectedItems();
    EXPECT_FALSE(f.viewer.ClipboardPasteItems());
    EXPECT_FALSE(f.viewer.ClipboardCopySelectedItems());
    f.viewer.Undo();
    f.viewer.Redo();
    EXPECT_FALSE(f.viewer.CanUndo());
    EXPECT_EQ(f.viewer.GetCurrentTemplate(), nullptr);
    EXPECT_FALSE(f.viewer.TimerIsSet(kVTProjectViewerAutoSaveTimer));
}

// --- backgrounds ---------------------------------------------------------------------------------

TEST_F(ProjectViewer, BrushesAndBackgroundImagesReplaceEachOther)
{
    Fixture f;
    LImageBuffer picture;
    sample::MakePicture(picture, 40, 30);
    f.viewer.AddOverlayImageBackground(picture, "/bilder/bakgrund.png");
    f.viewer.AddOverlayText("Över");
    ASSERT_EQ(f.Design()->first->GetType(), VTOverlayTypeImageBackground);
    const uint64_t n = f.viewer.history.count;

    VTBackgroundFill fill;
    fill.brush.Reset(new LBrushInfo(SolidBrushInfo(LGuiColor { 1, 2, 3 })));
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(fill, true); // a drag step
    EXPECT_EQ(f.viewer.history.count, n);
    EXPECT_EQ(f.Count(), 1u); // the bottom background image went
    EXPECT_NE(f.Design()->backgroundBrush.Get(), nullptr);
    VTBackgroundFill again;
    again.brush.Reset(new LBrushInfo(SolidBrushInfo(LGuiColor { 4, 5, 6 })));
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(again, false);
    EXPECT_EQ(f.viewer.history.count, n + 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Background brush");

    // A picture by path replaces the brush.
    TemporaryFolder folder;
    std::string png = (folder / "bild.png");
    ASSERT_EQ(system(("/usr/bin/convert -size 20x10 xc:red '" + png + "'").c_str()), 0);
    VTBackgroundFill image;
    image.path = png;
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(image, false);
    ASSERT_EQ(f.Count(), 2u);
    EXPECT_EQ(f.Design()->first->GetType(), VTOverlayTypeImageBackground);
    EXPECT_EQ(f.Design()->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(std::string(f.Design()->backgroundImagePath), png);
    // Undone, the brush is back.
    f.viewer.Undo();
    EXPECT_NE(f.Design()->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(f.Count(), 1u);
    f.viewer.Redo();
    ASSERT_EQ(f.Count(), 2u);

    // A picture whose path passes 259 bytes is read whole; the design, whose field the project
    // file holds as it is, keeps its file name rather than a cut path.
    std::string deep = folder.Path();
    while (deep.size() < 300)
        deep += "/" + std::string(60, 'd');
    ASSERT_EQ(system(("mkdir -p '" + deep + "'").c_str()), 0);
    const std::string longPng = deep + "/lång.png";
    ASSERT_EQ(system(("/usr/bin/convert -size 30x15 xc:blue '" + longPng + "'").c_str()), 0);
    VTBackgroundFill far;
    far.path = longPng;
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(far, false);
    ASSERT_EQ(f.Design()->first->GetType(), VTOverlayTypeImageBackground);
    auto* background = dynamic_cast<VTOverlayImage*>(f.Design()->first);
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->GetImage().GetWidth(), 30);
    EXPECT_STREQ(f.Design()->backgroundImagePath, "lång.png");

    // Deleting that background clears the design's path.
    snprintf(f.Design()->backgroundImagePath, 260, "%s", png.c_str());
    f.viewer.canvas.ClearSelectedItems();
    f.viewer.canvas.SetItemSelected(f.Design()->first, true, true);
    f.viewer.DeleteSelectedItems();
    EXPECT_STREQ(f.Design()->backgroundImagePath, "");
}

// "Fast:" clicked after "Lutning:" gives the design's last solid colour of the session, after
// undo and redo too; a design opened with a gradient that had no other colour since gets opaque
// white; never black, never another design's colour.
TEST_F(ProjectViewer, SolidAfterAGradientIsTheDesignsLastSolidColour)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(false);
    // Every design as opened from a file with a gradient.
    for (VTProjectTemplate& design : f.project->templates) {
        auto* g = new LBrushInfo;
        g->kind = LBrushInfoKindLinearGradient;
        g->stopCount = 2;
        g->stopColors[0] = LGuiColorAlpha(0x1000, 0x2000, 0x3000, 255);
        g->stopColors[1] = LGuiColorAlpha(0x3000, 0x2000, 0x1000, 255);
        g->stopPositions[1] = 1;
        design.backgroundBrush.Reset(g);
    }
    f.viewer.SetProject(f.project.get());
    ASSERT_TRUE(f.Show());
    VTWindowFullColorPicker& picker = f.viewer.templatePanel->picker;
    auto click = [&](int id) {
        LView* radio = picker.GetControlHandle(id);
        if (!radio)
            return false;
        // On the radio button's box, at its left.
        const LUiPoint p = radio->ConvertToRoot(LUiPoint { 8, radio->Frame().height / 2 });
        const bool ok = uitest::XClickButton(f.window.GetNativeWindow(), p.x, p.y, 1);
        uitest::Pump(150);
        return ok;
    };
    auto brush = [&]() -> LBrushInfo {
        return f.Design()->backgroundBrush ? *f.Design()->backgroundBrush : LBrushInfo {};
    };
    const LGuiColorAlpha red(0xC800, 0x1E00, 0x1E00, 255);
    const LGuiColorAlpha white(0xFF00, 0xFF00, 0xFF00, 255);
    VTProjectTemplate* disc = f.Design();
    ASSERT_EQ(brush().kind, LBrushInfoKindLinearGradient);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdSolid));
    EXPECT_EQ(brush().kind, LBrushInfoKindSolid);
    EXPECT_EQ(brush().color, white);

    LBrushInfo solid = SolidBrushInfo(red, red.alpha);
    picker.SetBrush(&solid);
    picker.Apply(); // as the colour chooser does
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdGradient));
    ASSERT_EQ(brush().kind, LBrushInfoKindLinearGradient);
    f.viewer.Undo();
    EXPECT_EQ(brush().kind, LBrushInfoKindSolid);
    f.viewer.Redo();
    ASSERT_EQ(brush().kind, LBrushInfoKindLinearGradient);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdSolid));
    EXPECT_EQ(brush().kind, LBrushInfoKindSolid);
    EXPECT_EQ(brush().color, red);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdGradient));

    // Another design, still with its gradient: white, not the disc's red.
    VTLabelLayoutTemplate* other = nullptr;
    for (VTLabelLayoutPage* p = f.project->GetLabelLayout()->pages.GetFirst(); p && !other;
         p = p->GetNext())
        for (VTLabelLayoutTemplate* t = p->first; t && !other; t = t->next)
            if (VTFindDesignForPosition(*f.project, t->id) != disc)
                other = t;
    ASSERT_NE(other, nullptr);
    f.viewer.SelectLabelLayoutTemplate(other, true);
    ASSERT_NE(f.Design(), disc);
    ASSERT_EQ(brush().kind, LBrushInfoKindLinearGradient);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdSolid));
    EXPECT_EQ(brush().color, white);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdGradient));

    // Back on the disc, and once more after the project was saved and opened again.
    VTLabelLayoutTemplate* first = f.project->GetLabelLayout()->pages.GetFirst()->first;
    f.viewer.SelectLabelLayoutTemplate(first, true);
    ASSERT_EQ(f.Design(), disc);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdSolid));
    EXPECT_EQ(brush().color, red);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdGradient));
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray out(bytes);
    LProcessInterfaceVoid job;
    ASSERT_EQ(VTProjectWriteSDF(job, out, *f.project), LProcessResultSuccess);
    auto reopened = std::make_unique<VTProject>();
    LInputStreamBuffer in(bytes.GetData(), bytes.GetSize());
    ASSERT_EQ(VTProjectReadSDF(job, in, *reopened), LProcessResultSuccess);
    f.viewer.SetProject(reopened.get());
    std::swap(f.project, reopened); // the fixture lets go of the shown one
    f.viewer.SelectLabelLayoutTemplate(f.project->GetLabelLayout()->pages.GetFirst()->first, true);
    ASSERT_EQ(brush().kind, LBrushInfoKindLinearGradient);
    ASSERT_TRUE(click(VTWindowFullColorPicker::kIdSolid));
    EXPECT_EQ(brush().kind, LBrushInfoKindSolid);
    EXPECT_EQ(brush().color, white);
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-solid-after-gradient");
}

TEST_F(ProjectViewer, AnUnreadablePictureIsRefusedWithAnAlert)
{
    Fixture f;
    TemporaryFolder folder;
    std::string bad = (folder / "x.png");
    std::ofstream(bad) << "inte en bild";
    VTBackgroundFill fill;
    fill.path = bad;
    std::string headline;
    uitest::AnswerAlert(&headline, "OK");
    f.viewer.EvProjectViewerPanelTemplateBackgroundColourChanged(fill, false);
    EXPECT_EQ(headline, "Ogiltig bildfil");
    EXPECT_EQ(f.Count(), 0u);
    EXPECT_FALSE(f.viewer.CanUndo());
    // A file gone before its queued load: the job fails, nothing is added.
    VTProcessProjectViewerAddOverlayImage job;
    job.viewer = &f.viewer;
    snprintf(job.path, sizeof job.path, "%s", (folder / "borta.png").c_str());
    LProcessInterfaceVoid silent;
    EXPECT_NE(Process(silent, job), LProcessResultSuccess);
    EXPECT_EQ(f.Count(), 0u);
}

TEST_F(ProjectViewer, QueuedImageLoadNamesTheOverlayAfterTheFile)
{
    Fixture f;
    TemporaryFolder folder;
    std::string jpg = (folder / "semester.jpg");
    ASSERT_EQ(system(("/usr/bin/convert -size 30x20 xc:blue '" + jpg + "'").c_str()), 0);
    VTProcessProjectViewerAddOverlayImage job;
    job.viewer = &f.viewer;
    snprintf(job.path, sizeof job.path, "%s", jpg.c_str());
    LProcessInterfaceVoid silent;
    EXPECT_EQ(Process(silent, job), LProcessResultSuccess);
    ASSERT_EQ(f.Count(), 1u);
    auto* image = dynamic_cast<VTOverlayImage*>(f.Design()->first);
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->GetSourcePath(), "semester.png");
}

// Files added through the progress window, read on workers: the add returns at once, each
// picture becomes an overlay named after its file, a file that cannot be read is told in a warning
// that offers to go on and is counted with its reason, and the outcome comes once, after the last.
TEST_F(ProjectViewer, PictureFilesAreAddedFromWorkersAndTheOutcomeToldOnce)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    TemporaryFolder folder;
    const std::string jpg = (folder / "semester.jpg"), png = (folder / "strand.png");
    ASSERT_EQ(system(("/usr/bin/convert -size 30x20 xc:blue '" + jpg + "'").c_str()), 0);
    ASSERT_EQ(system(("/usr/bin/convert -size 12x40 xc:red '" + png + "'").c_str()), 0);
    int told = 0;
    VTPictureFilesAddOutcome outcome;
    VTPictureFilesAdd add(
        f.viewer, { jpg, (folder / "borta.png"), png }, [&](const VTPictureFilesAddOutcome& o) {
            ++told;
            outcome = o;
        });
    std::string headline;
    uitest::AnswerAlert(&headline, "Fortsätt");
    ASSERT_TRUE(add.Start(f.window.GetContentView()));
    EXPECT_TRUE(add.IsRunning());
    EXPECT_EQ(f.Count(), 0u) << "read on the window's thread";
    EXPECT_TRUE(uitest::PumpUntil([&] { return told > 0; }, 30000));
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(add.IsRunning());
    EXPECT_EQ(headline, "Varning");
    EXPECT_EQ(outcome.asked, 3u);
    EXPECT_EQ(outcome.added, 2u);
    EXPECT_EQ(outcome.failures, 1u);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.error, "Det gick inte att hitta filen.");
    ASSERT_EQ(f.Count(), 2u);
    auto* first = dynamic_cast<VTOverlayImage*>(f.Design()->first);
    auto* second = dynamic_cast<VTOverlayImage*>(f.Design()->first->next);
    ASSERT_TRUE(first && second);
    EXPECT_STREQ(first->GetSourcePath(), "semester.png");
    EXPECT_EQ(first->GetImage().GetWidth(), 30);
    EXPECT_STREQ(second->GetSourcePath(), "strand.png");
    EXPECT_EQ(second->GetImage().GetHeight(), 40);
    EXPECT_EQ(second->GetImage().GetPictureRow(0)[2], 255); // red

    // Told only in the outcome, the overlay named by its path; nothing to add starts nothing.
    told = 0;
    VTPictureFilesAdd quiet(
        f.viewer, { "/nirgends/bild.png", jpg }, [&](const VTPictureFilesAddOutcome& o) {
            ++told;
            outcome = o;
        });
    quiet.tellFailures = false;
    quiet.keepPaths = true;
    ASSERT_TRUE(quiet.Start(f.window.GetContentView()));
    EXPECT_TRUE(uitest::PumpUntil([&] { return told > 0; }, 30000));
    EXPECT_EQ(outcome.failures, 1u);
    EXPECT_EQ(outcome.added, 1u);
    ASSERT_EQ(f.Count(), 3u);
    EXPECT_STREQ(
        static_cast<VTOverlayImage*>(f.Design()->GetItemAt(2))->GetSourcePath(), jpg.c_str());
    VTPictureFilesAdd none(f.viewer, {}, [&](const VTPictureFilesAddOutcome&) { ++told; });
    EXPECT_FALSE(none.Start(f.window.GetContentView()));
    EXPECT_EQ(told, 1);
}

// Pictures read to be added later: each is handed over in its file's order and none is added; the
// first file that cannot be read whole (its data breaks off) ends the reading. A read only to
// learn that a file can be read keeps nothing.
TEST_F(ProjectViewer, PictureFilesReadForLaterAreHandedOverNotAdded)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    TemporaryFolder folder;
    const std::string jpg = (folder / "semester.jpg"), png = (folder / "strand.png");
    ASSERT_EQ(system(("/usr/bin/convert -size 30x20 xc:blue '" + jpg + "'").c_str()), 0);
    ASSERT_EQ(system(("/usr/bin/convert -size 300x200 -seed 5 plasma: '" + png + "'").c_str()), 0);
    const std::string bytes = TemporaryFolder::ReadFile(png);
    const std::string cut = folder / "avklippt.png";
    TemporaryFolder::WriteFile(cut, bytes.substr(0, bytes.size() / 3));
    int told = 0;
    VTPictureFilesAddOutcome outcome;
    std::vector<std::pair<size_t, std::string>> kept;
    auto read = [&](std::vector<std::string> paths) {
        told = 0;
        kept.clear();
        VTPictureFilesAdd reading(f.viewer, paths, [&](const VTPictureFilesAddOutcome& o) {
            ++told;
            outcome = o;
        });
        reading.tellFailures = false;
        reading.stopAtFailure = true;
        reading.keep = [&](size_t index, VTProcessPictureFileRead& r) {
            EXPECT_TRUE(r.picture.IsValid());
            kept.emplace_back(index, std::to_string(r.picture.GetWidth()) + " " + r.name);
        };
        ASSERT_TRUE(reading.Start(f.window.GetContentView()));
        EXPECT_TRUE(uitest::PumpUntil([&] { return told > 0; }, 30000));
    };
    read({ jpg, png });
    EXPECT_EQ(outcome.added, 2u);
    EXPECT_EQ(kept,
        (std::vector<std::pair<size_t, std::string>> {
            { 0, "30 semester.png" }, { 1, "300 strand.png" } }));
    EXPECT_EQ(f.Count(), 0u);
    read({ jpg, cut, png });
    EXPECT_EQ(outcome.added, 1u);
    EXPECT_EQ(outcome.failures, 1u);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(kept.size(), 1u);
    EXPECT_EQ(f.Count(), 0u);

    LProcessInterfaceVoid quiet;
    VTProcessPictureFileRead check;
    check.path = png;
    check.checkOnly = true;
    EXPECT_EQ(Process(quiet, check), LProcessResultSuccess);
    EXPECT_FALSE(check.picture.IsValid());
    EXPECT_FALSE(check.screenSource.IsValid());
    check.path = cut;
    EXPECT_EQ(Process(quiet, check), LProcessResultError);
}

// The project file keeps at most 259 bytes of a picture's path: a picture from a longer path is
// named there by its file, never by a cut path that could be another file's; a name no file can
// have is not kept.
TEST_F(ProjectViewer, PicturesFromLongPathsKeepTheirFileNames)
{
    Fixture f;
    LImageBuffer picture;
    sample::MakePicture(picture, 20, 10);
    const std::string folder = "/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    f.viewer.AddOverlayImageBackground(picture, (folder + "/strand.jpg").c_str());
    f.viewer.AddOverlayImage(picture, (folder + "/katt.png").c_str());
    f.viewer.AddOverlayClipart(picture, (folder + "/stjärna.png").c_str(), 20, 20, true);
    f.viewer.AddOverlayImage(picture, ("/" + std::string(300, 'n') + ".png").c_str());
    std::vector<std::string> kept;
    for (VTOverlay* o = f.Design()->first; o; o = o->next)
        if (auto* image = dynamic_cast<VTOverlayImage*>(o))
            kept.emplace_back(image->GetSourcePath());
    EXPECT_EQ(kept, (std::vector<std::string> { "strand.jpg", "katt.png", "stjärna.png", "" }));
}

// --- circular text -------------------------------------------------------------------------------

TEST_F(ProjectViewer, TooTallCircularTextIsRefused)
{
    Fixture f;
    f.viewer.AddOverlayText("Hög");
    auto* text = static_cast<VTOverlayText*>(f.Design()->first);
    text->SetFont(LGuiFontEx(LGuiFont(200, false, false, false, "DejaVu Sans", false)));
    const uint64_t n = f.viewer.history.count;
    std::string headline;
    uitest::AnswerAlert(&headline, "OK");
    // The user ticks "Böjd text" in the panel.
    VTControlCheckBox& box = f.viewer.textPanel->circular;
    box.SetCheck(1000, true);
    box.SendCommand(1000);
    EXPECT_EQ(headline, "Varningstexthöjd");
    EXPECT_EQ(f.viewer.history.count, n);
    EXPECT_EQ(f.Design()->first, text);
    EXPECT_FALSE(box.GetCheck(1000)); // turned back

    // A text that fits turns into circular text and back, each one step.
    text->SetFont(LGuiFontEx(LGuiFont(10, false, false, false, "DejaVu Sans", false)));
    f.viewer.EvProjectViewerPanelTextChangeCircularText(true);
    ASSERT_EQ(f.Design()->first->GetType(), VTOverlayTypeCircularText);
    EXPECT_EQ(f.viewer.canvas.GetSingleSelectedItem(), f.Design()->first);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text convert");
    f.viewer.EvProjectViewerPanelTextChangeCircularText(false);
    EXPECT_EQ(f.Design()->first->GetType(), VTOverlayTypeText);
    f.viewer.Undo();
    EXPECT_EQ(f.Design()->first->GetType(), VTOverlayTypeCircularText);
}

TEST_F(ProjectViewer, TextAndImagePanelsAreBuiltAfterTheFirstPaintedDesign)
{
    Fixture f;
    // Not on a disc face: "Böjd text" cannot be ticked, also in a panel built later.
    f.viewer.SetCircularTextAllowed(false);
    EXPECT_FALSE(LEmbeddedWindowList::IsPanelBuilt(f.viewer.textPanel));
    EXPECT_FALSE(LEmbeddedWindowList::IsPanelBuilt(f.viewer.imagePanel));
    ASSERT_TRUE(f.Show());
    ASSERT_TRUE(uitest::PumpUntil(
        [&] {
            return LEmbeddedWindowList::IsPanelBuilt(f.viewer.textPanel)
                && LEmbeddedWindowList::IsPanelBuilt(f.viewer.imagePanel);
        },
        5000));
    EXPECT_FALSE(f.viewer.textPanel->bVisible);
    EXPECT_FALSE(f.viewer.imagePanel->bVisible);
    EXPECT_TRUE(f.viewer.textPanel->GetContentView()->IsHidden());
    EXPECT_TRUE(f.viewer.templatePanel->bVisible);
    EXPECT_FALSE(f.viewer.textPanel->circular.IsWindowEnabled());
    f.viewer.SetCircularTextAllowed(true);
    EXPECT_TRUE(f.viewer.textPanel->circular.IsWindowEnabled());
}

TEST_F(ProjectViewer, ATextSelectedBeforeThePanelsAreBuiltShowsItsPanel)
{
    Fixture f;
    f.viewer.SetCircularTextAllowed(false);
    // Before the window has ever painted: the panel is built when it is first shown.
    f.viewer.AddOverlayText("Tidig");
    ASSERT_TRUE(LEmbeddedWindowList::IsPanelBuilt(f.viewer.textPanel));
    EXPECT_FALSE(LEmbeddedWindowList::IsPanelBuilt(f.viewer.imagePanel));
    EXPECT_TRUE(f.viewer.textPanel->bVisible && !f.viewer.textPanel->bCollapsed);
    EXPECT_FALSE(f.viewer.templatePanel->bVisible);
    LStringLongTemplate<char> text;
    f.viewer.textPanel->text.GetEditText(1000, text);
    EXPECT_STREQ(text.c_str(), "Tidig");
    EXPECT_FALSE(f.viewer.textPanel->circular.IsWindowEnabled());
    ASSERT_TRUE(f.Show());
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-text-panel-built-on-demand");
}

// --- the clipboard -------------------------------------------------------------------------------

TEST_F(ProjectViewer, PastesOtherProgramsTextAndPictures)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    TemporaryFolder folder;
    std::string txt = (folder / "t.txt");
    std::ofstream(txt) << "Från en annan app";
    XclipPut(txt, "UTF8_STRING");
    EXPECT_TRUE(f.viewer.ClipboardPasteItems());
    ASSERT_EQ(f.Count(), 1u);
    auto* text = dynamic_cast<VTOverlayText*>(f.Design()->first);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetText(), "Från en annan app");

    std::string png = (folder / "p.png");
    ASSERT_EQ(system(("/usr/bin/convert -size 16x12 xc:green '" + png + "'").c_str()), 0);
    XclipPut(png, "image/png");
    EXPECT_TRUE(f.viewer.ClipboardPasteItems());
    ASSERT_EQ(f.Count(), 2u);
    auto* image = dynamic_cast<VTOverlayImage*>(f.Design()->first->next);
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->GetSourcePath(), "Inklist bild.png");
    EXPECT_EQ(image->GetImage().GetWidth(), 16);

    // A picture too large to hold (20,000 x 20,000): refused, no step.
    std::string huge = (folder / "huge.png");
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
        be32(ihdr, 20000);
        be32(ihdr, 20000);
        ihdr += std::string("\x08\x02\x00\x00\x00", 5);
        std::string png("\x89PNG\r\n\x1a\n", 8);
        chunk(png, "IHDR", ihdr);
        chunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
        chunk(png, "IEND", "");
        std::ofstream(huge, std::ios::binary) << png;
    }
    XclipPut(huge, "image/png");
    uint64_t steps = f.viewer.history.count;
    EXPECT_FALSE(f.viewer.ClipboardPasteItems());
    EXPECT_EQ(f.viewer.history.count, steps);

    // A record of ours that does not read: nothing, no step.
    std::string junk = (folder / "junk");
    std::ofstream(junk, std::ios::binary) << "SDF\x01garbage";
    XclipPut(junk, kVTClipboardOverlayType);
    const uint64_t n = f.viewer.history.count;
    EXPECT_FALSE(f.viewer.ClipboardPasteItems());
    EXPECT_EQ(f.viewer.history.count, n);
    ASSERT_EQ(f.Count(), 2u)
        << f.Design()->GetItemAt(2)->GetType() << " "
        << (f.Design()->GetItemAt(2)->GetType() == 0
                   ? static_cast<VTOverlayText*>(f.Design()->GetItemAt(2))->GetText()
                   : "");
}

TEST_F(ProjectViewer, CopiedOverlaysLandAtTheMouseOrBeside)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("Kopia");
    VTOverlay* original = f.Design()->first;
    original->centreX = 5;
    original->centreY = 6;
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    EXPECT_TRUE(original->copied);
    // Outside the canvas: 10 mm to the right.
    f.viewer.pasteMouseOverride = true;
    f.viewer.pasteMouseInside = false;
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    VTOverlay* beside = f.Design()->first->next;
    ASSERT_NE(beside, nullptr);
    EXPECT_FLOAT_EQ(beside->centreX, 15);
    EXPECT_FLOAT_EQ(beside->centreY, 6);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text pasted");
    // Over the canvas: centred at the mouse.
    f.viewer.pasteMouseInside = true;
    f.viewer.pasteMouseX = 100;
    f.viewer.pasteMouseY = 120;
    float mx = 0, my = 0;
    f.viewer.canvas.TransformPointPixelsToMillimetres(mx, my, 100, 120);
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    VTOverlay* atMouse = beside->next;
    ASSERT_NE(atMouse, nullptr);
    EXPECT_FLOAT_EQ(atMouse->centreX, mx);
    EXPECT_FLOAT_EQ(atMouse->centreY, my);
}

TEST_F(ProjectViewer, CircularTextPastedIntoACaseBecomesStraight)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    auto* circular = new VTOverlayCircularText(
        "Runt", LGuiFontEx(LGuiFont(10, false, false, false, "DejaVu Sans", false)));
    circular->outerRadius = 50;
    f.Design()->InsertOverlay(circular, true);
    f.viewer.canvas.ClearSelectedItems();
    f.viewer.canvas.SetItemSelected(circular, true, true);
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    VTOverlayText* straight = circular->ConvertToOverlayText();
    const float expectedX = straight->centreX + 10;
    delete straight;
    f.viewer.circularTextAllowed = false;
    f.viewer.pasteMouseOverride = true;
    f.viewer.pasteMouseInside = true; // circular text never follows the mouse
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    VTOverlay* pasted = circular->next;
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->GetType(), VTOverlayTypeText);
    EXPECT_FLOAT_EQ(pasted->centreX, expectedX);
}

TEST_F(ProjectViewer, PastedBackgroundFillsTheDesign)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    LImageBuffer picture;
    sample::MakePicture(picture, 40, 20);
    f.viewer.AddOverlayImageBackground(picture, "/bilder/b.png");
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    LUserSettingSetString("Settings", "BacgroundAspectRatio", "1");
    f.viewer.pasteMouseOverride = true;
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    ASSERT_EQ(f.Count(), 1u); // replaced the bottom one
    VTOverlay* b = f.Design()->first;
    EXPECT_EQ(b->GetType(), VTOverlayTypeImageBackground);
    EXPECT_FLOAT_EQ(b->height, 120);
    EXPECT_FLOAT_EQ(b->width, 240);
    EXPECT_FLOAT_EQ(b->centreX, 0);
    EXPECT_STREQ(f.Design()->backgroundImagePath, "/bilder/b.png");
    EXPECT_EQ(f.Design()->backgroundBrush.Get(), nullptr);
    LUserSettingSetString("Settings", "BacgroundAspectRatio", "0");
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    EXPECT_FLOAT_EQ(f.Design()->first->width, 120);
}

// A picture whose PNG bytes are at hand (as for one read from a project file) is copied without
// its stream being written and pasted here with its pixels shared; another program still gets
// the overlay's stream with the whole picture.
TEST_F(ProjectViewer, CopiedPicturesShareTheirPixelsWithThePaste)
{
    if (!HaveXclip())
        GTEST_SKIP() << "no xclip";
    Fixture f;
    ASSERT_TRUE(f.Show());
    LImageBuffer picture;
    sample::MakePicture(picture, 300, 200);
    f.viewer.AddOverlayImage(picture, "/bilder/foto.png");
    auto* original = dynamic_cast<VTOverlayImage*>(f.Design()->first);
    ASSERT_NE(original, nullptr);
    LProcessInterfaceVoid quiet;
    LProcessResult encoded = LProcessResultError;
    ASSERT_TRUE(original->GetImage().EncodePNG(quiet, encoded));
    const unsigned renders = LUiClipboard::RenderCount();
    ASSERT_TRUE(f.viewer.ClipboardCopySelectedItems());
    EXPECT_EQ(LUiClipboard::RenderCount(), renders);
    f.viewer.pasteMouseOverride = true;
    f.viewer.pasteMouseInside = false;
    ASSERT_TRUE(f.viewer.ClipboardPasteItems());
    auto* pasted = dynamic_cast<VTOverlayImage*>(original->next);
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(&pasted->GetImage(), &original->GetImage());
    EXPECT_EQ(LUiClipboard::RenderCount(), renders);

    TemporaryFolder folder;
    const std::string stream = folder / "overlay.bin";
    // xclip asks this process, whose loop turns meanwhile.
    bool read = false;
    std::atomic<bool> finished { false };
    std::thread xclip([&] {
        read = system(("timeout 20 xclip -o -selection clipboard -t '"
                   + std::string(kVTClipboardOverlayType) + "' > '" + stream + "'")
                          .c_str())
            == 0;
        finished = true;
    });
    uitest::PumpUntil([&] { return finished.load(); }, 25000);
    xclip.join();
    ASSERT_TRUE(read);
    const std::string bytes = TemporaryFolder::ReadFile(stream);
    VTOverlay* overlay = nullptr;
    ASSERT_TRUE(VTClipboardOverlayRead(
        reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), overlay));
    std::unique_ptr<VTOverlay> other(overlay);
    auto* image = dynamic_cast<VTOverlayImage*>(other.get());
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->GetImage().GetWidth(), 300);
    ASSERT_EQ(image->GetImage().GetHeight(), 200);
    for (int y = 0; y < 200; y += 37)
        EXPECT_EQ(std::memcmp(image->GetImage().GetPictureRow(y),
                      original->GetImage().GetPictureRow(y), 300 * 4),
            0)
            << "row " << y;
}

// --- the same-format box -------------------------------------------------------------------------

namespace {
bool gAnswer = true;
int gAsked = 0;
bool Answer(VTProjectViewer&, const char*)
{
    ++gAsked;
    return gAnswer;
}
} // namespace

TEST_F(ProjectViewer, SameFormatMergesAndSplitsAfterAsking)
{
    // Two discs on one page.
    auto* layout = new VTLabelLayout;
    VTLabelLayoutPage* page = layout->AddPage();
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    Fixture f(false);
    f.project = std::make_unique<VTProject>(layout);
    f.viewer.SetProject(f.project.get());
    ASSERT_EQ(f.project->templates.GetCount(), 2u);
    f.viewer.AddOverlayText("Ångra mig");
    auto restore = VTProjectViewer::sameFormatAsk;
    VTProjectViewer::sameFormatAsk = Answer;

    gAnswer = false;
    EXPECT_FALSE(f.viewer.SameFormatChanged(true));
    EXPECT_FALSE(layout->sameFormat);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);
    EXPECT_TRUE(f.viewer.CanUndo());

    gAnswer = true;
    EXPECT_TRUE(f.viewer.SameFormatChanged(true));
    EXPECT_TRUE(layout->sameFormat);
    ASSERT_EQ(f.project->templates.GetCount(), 1u);
    // The history went with the designs it named.
    EXPECT_FALSE(f.viewer.CanUndo());
    f.viewer.Undo();
    EXPECT_EQ(f.Design(), f.project->templates.GetFirst());
    EXPECT_EQ(f.Count(), 1u);

    gAsked = 0;
    EXPECT_TRUE(f.viewer.SameFormatChanged(false));
    EXPECT_EQ(gAsked, 1);
    EXPECT_EQ(f.project->templates.GetCount(), 2u);
    for (VTProjectTemplate* d = f.project->templates.GetFirst(); d; d = d->GetNext())
        EXPECT_EQ(d->mappedIDs.GetCount(), 1u);
    // Nothing shared any more: no question.
    gAsked = 0;
    EXPECT_TRUE(f.viewer.SameFormatChanged(false));
    EXPECT_EQ(gAsked, 0);
    VTProjectViewer::sameFormatAsk = restore;
    f.viewer.SetProject(nullptr);
}

// --- autosave ------------------------------------------------------------------------------------

TEST_F(ProjectViewer, AutosavesNewProjectsUnderCountedNames)
{
    Fixture f;
    const std::string folder = DataFolder();
    Tick(f.viewer, 2);
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    Tick(f.viewer, 1);
    const std::string first = Setting("AutoSave", "FileName");
    ASSERT_NE(first, "");
    EXPECT_EQ(first.rfind(folder + "Untitled_", 0), 0u) << first;
    EXPECT_TRUE(Exists(first));
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateNew);
    EXPECT_STREQ(f.project->GetPath(), "Namnlöst.vtproj");
    const int number = atoi(first.c_str() + folder.size() + strlen("Untitled_"));

    // Another project: the old autosave goes, the new one takes the next number.
    auto second = NewCDProject();
    f.viewer.SetProject(second.get());
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"),
        folder + "Untitled_" + std::to_string(number + 1) + "_autosave.vtproj");
    // It opens as a project.
    VTProject loaded;
    VTProjectLoad load;
    load.project = &loaded;
    snprintf(load.path, sizeof load.path, "%s", Setting("AutoSave", "FileName").c_str());
    LProcessInterfaceVoid silent;
    EXPECT_EQ(Process(silent, load), LProcessResultSuccess);
    EXPECT_EQ(loaded.templates.GetCount(), 3u);

    const std::string path = Setting("AutoSave", "FileName");
    f.viewer.SetProject(nullptr);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    f.project.reset();
}

TEST_F(ProjectViewer, EditedProjectsKeepTheirNameAndSavedOnesAreLeft)
{
    Fixture f;
    const std::string folder = DataFolder();
    f.viewer.AddOverlayText("Ändrad");
    ASSERT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), folder + "Namnlöst_autosave.vtproj");
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);

    // Saved: no autosave, however many ticks.
    auto saved = NewCDProject();
    saved->SetSaveState(VTProjectSaveStateSaved);
    f.viewer.SetProject(saved.get());
    Tick(f.viewer, 6);
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    // Modified, then saved within the minute: none either.
    saved->SetSaveState(VTProjectSaveStateModified);
    Tick(f.viewer, 2);
    saved->SetSaveState(VTProjectSaveStateSaved);
    saved->SetSaveState(VTProjectSaveStateModified);
    Tick(f.viewer, 1);
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    f.viewer.SetProject(nullptr);
}

// An autosave is written off the window's thread: the tick only starts it, a tick while it runs
// starts no second one, and a project closed before it is written leaves no file behind (not its
// temporary file either) and no setting naming one.
TEST_F(ProjectViewer, AnAutosaveUnderWayGoesWithItsProject)
{
    Fixture f;
    const std::string folder = DataFolder();
    LImageBuffer picture;
    sample::MakePicture(picture, 3000, 2000, 9);
    f.viewer.AddOverlayImage(picture, "stor.png");
    for (int i = 0; i < 3; ++i)
        f.viewer.EvTimer(kVTProjectViewerAutoSaveTimer);
    ASSERT_TRUE(f.viewer.IsAutoSaving());
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    // Another tick while it runs: still the one.
    f.viewer.EvTimer(kVTProjectViewerAutoSaveTimer);
    EXPECT_TRUE(f.viewer.IsAutoSaving());

    auto other = NewCDProject();
    f.viewer.SetProject(other.get());
    EXPECT_FALSE(f.viewer.IsAutoSaving());
    // What the abandoned save's workers still post changes nothing: they end once the picture's
    // bytes are made (what they wait for), and what they posted then has run.
    const VTOverlay* added = f.project->templates.GetAt(0)->first;
    while (added && added->GetType() != VTOverlayTypeImage)
        added = added->next;
    ASSERT_NE(added, nullptr);
    EXPECT_TRUE(uitest::PumpUntil(
        [&] {
            return static_cast<const VTOverlayImage*>(added)->GetImage().GetEncodedPNG() != nullptr;
        },
        30000));
    EXPECT_TRUE(uitest::PumpUntilIdle());
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    for (const std::string& name : TemporaryFolder::List(folder))
        EXPECT_TRUE(name.find("autosave") == std::string::npos && name[0] != '.') << name;

    // The picture's project again: the autosave is written whole and opens with the picture.
    f.viewer.SetProject(f.project.get());
    f.viewer.AddOverlayText("Ändrad");
    Tick(f.viewer, 3);
    const std::string path = Setting("AutoSave", "FileName");
    ASSERT_NE(path, "");
    VTProject loaded;
    VTProjectLoad load;
    load.project = &loaded;
    snprintf(load.path, sizeof load.path, "%s", path.c_str());
    LProcessInterfaceVoid silent;
    ASSERT_EQ(Process(silent, load), LProcessResultSuccess);
    const VTOverlay* first = loaded.templates.GetAt(0)->first;
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->GetType(), VTOverlayTypeImage);
    EXPECT_EQ(static_cast<const VTOverlayImage*>(first)->GetImage().GetWidth(), 3000);
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, AnEarlierRunsAutosaveIsKept)
{
    Fixture f(false);
    const std::string folder = DataFolder();
    const int next = VTProjectViewer::autoSaveCounter + 1;
    const std::string earlier = folder + "Untitled_" + std::to_string(next) + "_autosave.vtproj";
    std::ofstream(earlier) << "förra körningen";
    f.viewer.SetProject(f.project.get());
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"),
        folder + "Untitled_" + std::to_string(next + 1) + "_autosave.vtproj");
    std::ifstream in(earlier);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "förra körningen");
    f.viewer.SetProject(nullptr);
}

// A data folder whose path is longer than the old 260 bytes, and a project name as long as a
// file name may be: the autosave is written and named whole, and opens again.
TEST_F(ProjectViewer, LongDataFoldersAndNamesAreKeptWhole)
{
    TemporaryFolder home;
    std::string deep = home.Path();
    while (deep.size() < 700)
        deep += "/en mapp med ett långt namn";
    ASSERT_TRUE(LFile::CreateFolderTree(deep.c_str()));
    const char* old = getenv("XDG_DATA_HOME");
    const std::string oldData = old ? old : "";
    setenv("XDG_DATA_HOME", deep.c_str(), 1);
    const std::string folder = DataFolder();
    ASSERT_EQ(folder, deep + "/vorantel/");

    Fixture f;
    std::string name;
    while (name.size() < 240)
        name += "\xC3\xA5"; // å
    f.project->SetPath((home.Path() + "/" + name + ".vtproj").c_str());
    f.viewer.AddOverlayText("Ändrad");
    Tick(f.viewer, 3);
    const std::string path = Setting("AutoSave", "FileName");
    // The name is shortened at a character boundary so that the file name fits; the folder is
    // whole.
    EXPECT_EQ(path.rfind(folder + name.substr(0, 234) + "_autosave.vtproj", 0), 0u) << path;
    EXPECT_LE(path.size() - folder.size(), 255u);
    EXPECT_TRUE(Exists(path));
    VTProject loaded;
    VTProjectLoad load;
    load.project = &loaded;
    snprintf(load.path, sizeof load.path, "%s", path.c_str());
    LProcessInterfaceVoid silent;
    EXPECT_EQ(Process(silent, load), LProcessResultSuccess);
    f.viewer.SetProject(nullptr);
    EXPECT_FALSE(Exists(path));
    if (oldData.empty())
        unsetenv("XDG_DATA_HOME");
    else
        setenv("XDG_DATA_HOME", oldData.c_str(), 1);
}

TEST_F(ProjectViewer, AReadOnlyFolderFailsSilentlyAndIsRetried)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    Fixture f;
    const std::string folder = DataFolder();
    chmod(folder.c_str(), 0555);
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
    chmod(folder.c_str(), 0755);
    Tick(f.viewer, 3);
    EXPECT_NE(Setting("AutoSave", "FileName"), "");
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, AMissingDataFolderIsMadeAgain)
{
    Fixture f;
    const std::string folder = DataFolder();
    ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    Tick(f.viewer, 3);
    const std::string path = Setting("AutoSave", "FileName");
    EXPECT_NE(path, "");
    EXPECT_TRUE(Exists(path));
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, DestroyedViewerLeavesNoTimer)
{
    auto project = NewCDProject();
    {
        Fixture f(false);
        f.viewer.SetProject(project.get());
        EXPECT_TRUE(f.viewer.TimerIsSet(kVTProjectViewerAutoSaveTimer));
    }
    // The project outlives the viewer and no longer reports to it.
    project->SetSaveState(VTProjectSaveStateModified);
    uitest::Pump(50);
    SUCCEED();
}

// --- the panels ----------------------------------------------------------------------------------

namespace {

bool PanelShown(VTProjectViewer& v, int titleBarId)
{
    for (LEmbeddedWindowTitled* p = v.panels.fList.pFirst; p; p = p->pNext)
        if (p->GetTitleBarId() == titleBarId)
            return p->bVisible;
    return false;
}

bool PanelOpen(VTProjectViewer& v, int titleBarId)
{
    for (LEmbeddedWindowTitled* p = v.panels.fList.pFirst; p; p = p->pNext)
        if (p->GetTitleBarId() == titleBarId)
            return p->bVisible && !p->bCollapsed;
    return false;
}

void Select(Fixture& f, VTOverlay* o)
{
    f.viewer.canvas.ClearSelectedItems();
    if (o)
        f.viewer.canvas.SetItemSelected(o, true, true);
}

} // namespace

TEST_F(ProjectViewer, PanelsFollowTheSelectedKind)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    // Nothing selected: the background.
    EXPECT_FALSE(PanelShown(f.viewer, kVTPanelTextProperties));
    EXPECT_FALSE(PanelShown(f.viewer, kVTPanelImageProperties));
    EXPECT_TRUE(PanelOpen(f.viewer, kVTPanelTemplate));
    EXPECT_STREQ(f.viewer.templatePanel->GetTitle(), "Bakgrundsegenskaper");
    EXPECT_TRUE(PanelShown(f.viewer, kVTPanelLabelLayout));
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-panels-none");

    LImageBuffer picture;
    sample::MakePicture(picture, 20, 10);
    f.viewer.AddOverlayImageBackground(picture, "/bilder/semester/strand.jpg");
    VTOverlay* background = f.Design()->first;
    f.viewer.AddOverlayImage(picture, "/bilder/katt.png");
    VTOverlay* image = background->next;
    f.viewer.AddOverlayClipart(picture, "/clipart/stjärna.png", 20, 20, true);
    VTOverlay* clipart = image->next;
    f.viewer.AddOverlayText("Rak");
    VTOverlay* text = clipart->next;
    auto* circular = new VTOverlayCircularText(
        "Böjd", LGuiFontEx(LGuiFont(10, false, false, false, "DejaVu Sans", false)));
    f.Design()->InsertOverlay(circular, true);

    for (VTOverlay* o : { text, static_cast<VTOverlay*>(circular) }) {
        Select(f, o);
        EXPECT_TRUE(PanelOpen(f.viewer, kVTPanelTextProperties));
        EXPECT_FALSE(PanelShown(f.viewer, kVTPanelImageProperties));
        EXPECT_FALSE(PanelShown(f.viewer, kVTPanelTemplate));
    }
    EXPECT_TRUE(f.viewer.textPanel->circular.GetCheck(1000));
    for (VTOverlay* o : { image, clipart, background }) {
        Select(f, o);
        EXPECT_FALSE(PanelShown(f.viewer, kVTPanelTextProperties));
        EXPECT_TRUE(PanelOpen(f.viewer, kVTPanelImageProperties));
        EXPECT_EQ(PanelShown(f.viewer, kVTPanelTemplate), o == background);
    }
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-panels-background");
    // Only the last part of the path, after the label with its two blanks.
    char label[260] = "";
    f.viewer.imagePanel->fileName.GetStaticText(1000, label);
    EXPECT_STREQ(label, "Filnamn i original:  ");
    EXPECT_STREQ(f.viewer.imagePanel->fileName.GetText(), "strand");
    Select(f, image);
    EXPECT_STREQ(f.viewer.imagePanel->fileName.GetText(), "katt");
    Select(f, nullptr);
    EXPECT_TRUE(PanelOpen(f.viewer, kVTPanelTemplate));
}

TEST_F(ProjectViewer, TypingInTheTextFieldIsOneStepAfterAPause)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(true, 620, 480);
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("");
    auto* text = static_cast<VTOverlayText*>(f.Design()->first);
    EXPECT_TRUE(f.viewer.textPanel->text.IsControlFocus(1000));
    const uint64_t before = f.viewer.history.count;
    {
        uitest::KeyboardLock lock;
        gdk_display_sync(gdk_display_get_default());
        uitest::Run("xdotool windowfocus --sync "
            + std::to_string(f.window.GetNativeWindow()->XWindowId())
            + " type --delay 30 Skivetikett");
        uitest::PumpUntil([&] { return std::string(text->GetText()) == "Skivetikett"; }, 3000);
    }
    EXPECT_STREQ(text->GetText(), "Skivetikett");
    EXPECT_EQ(f.viewer.history.count, before + 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text property");
    f.Pixels("project-viewer-typed");
    f.viewer.Undo();
    EXPECT_STREQ(text->GetText(), "");
}

TEST_F(ProjectViewer, TextPanelValuesAndBadInput)
{
    Fixture f;
    f.viewer.AddOverlayText("Kort");
    auto* text = static_cast<VTOverlayText*>(f.Design()->first);
    VTProjectViewerPanelTextProperties& panel = *f.viewer.textPanel;
    // Sizes outside 1 to 200 are clamped.
    auto* size = static_cast<LCocoaInputUpDownImpl*>(panel.size.GetControlHandle(1001));
    ASSERT_NE(size, nullptr);
    size->textField()->setText("0");
    f.viewer.EvProjectViewerPanelTextPropertiesChanged();
    EXPECT_EQ(text->GetFont().GetSize(), 1);
    size->textField()->setText("500");
    f.viewer.EvProjectViewerPanelTextPropertiesChanged();
    EXPECT_EQ(text->GetFont().GetSize(), 200);
    // A text of 100,000 characters, with Windows line ends made Unix ones.
    std::string huge(100000, 'x');
    huge.replace(10, 2, "\r\n");
    panel.text.SetEditText(1000, huge.c_str());
    f.viewer.EvProjectViewerPanelTextPropertiesChanged();
    EXPECT_EQ(strlen(text->GetText()), 99999u);
    EXPECT_EQ(text->GetText()[10], '\n');
    // The face is kept though it is not installed, and becomes the face of new texts.
    EXPECT_STRNE(f.viewer.lastFontFace, "");
    // Setting values reports nothing from the check box.
    const uint64_t n = f.viewer.history.count;
    f.viewer.UpdatePanels();
    panel.SetCircularCheck(true);
    EXPECT_EQ(f.viewer.history.count, n);
}

// A dialog left open over the work holds no autosave up: the third tick writes it inside the
// modal run as outside.
TEST_F(ProjectViewer, TheTickInsideAModalRunAutosavesAllTheSame)
{
    Fixture f;
    {
        LModalCounterScope modal;
        Tick(f.viewer, 2);
        EXPECT_EQ(Setting("AutoSave", "FileName"), "");
        Tick(f.viewer, 1);
        EXPECT_NE(Setting("AutoSave", "FileName"), "");
    }
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, TheSameFormatQuestionIsAnAlert)
{
    auto* layout = new VTLabelLayout;
    VTLabelLayoutPage* page = layout->AddPage();
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    page->AddTemplate(VTTemplateFormatDisc, layout->NewTemplateID());
    Fixture f(false);
    f.project = std::make_unique<VTProject>(layout);
    f.viewer.SetProject(f.project.get());
    std::string headline;
    uitest::AnswerAlert(&headline, "Avbryt");
    EXPECT_FALSE(f.viewer.SameFormatChanged(true));
    EXPECT_EQ(headline, "Samma format kryssruta");
    EXPECT_FALSE(layout->sameFormat);
    // The panel's box is turned back without a report.
    f.viewer.labelLayoutPanel->SetSameFormatCheck(true);
    EXPECT_TRUE(f.viewer.labelLayoutPanel->sameFormat.GetCheck(1000));
    f.viewer.SetProject(nullptr);
    EXPECT_FALSE(f.viewer.labelLayoutPanel->sameFormat.GetCheck(1000));
    char name[260] = "";
    f.viewer.labelLayoutPanel->name.GetStaticText(1001, name);
    EXPECT_STREQ(f.viewer.labelLayoutPanel->name.GetText(), "no project");
}

TEST_F(ProjectViewer, APendingTextReportAfterCloseOrDestructionDoesNothing)
{
    auto project = NewCDProject();
    {
        Fixture f(false);
        f.viewer.SetProject(project.get());
        f.viewer.AddOverlayText("Före");
        auto* text = static_cast<VTOverlayText*>(f.Design()->first);
        // Typed, and the project closed before the 250 ms are up.
        f.viewer.textPanel->text.SetEditText(1000, "Efter");
        f.viewer.textPanel->text.SendCommand(2000);
        f.viewer.SetProject(nullptr);
        uitest::Pump(400);
        EXPECT_STREQ(text->GetText(), "Före");
        EXPECT_FALSE(f.viewer.CanUndo());
        // Typed again, and the viewer goes.
        f.viewer.SetProject(project.get());
        f.viewer.textPanel->text.SetEditText(1000, "Igen");
        f.viewer.textPanel->text.SendCommand(2000);
    }
    uitest::Pump(400);
    EXPECT_STREQ(
        static_cast<VTOverlayText*>(project->templates.GetFirst()->first)->GetText(), "Före");
}

namespace {

struct Observer : VTProjectViewerNotifyee {
    int undoRedo = 0, selections = 0, menus = 0, selects = 0, edits = 0;
    std::vector<VTLabelLayoutTemplate*> shown;
    VTLabelLayoutTemplate* edited = nullptr;
    void EvProjectViewerUndoRedoChanged(VTProjectViewer&) override { ++undoRedo; }
    void EvProjectViewerOverlaySelectionChanged(VTProjectViewer&) override { ++selections; }
    void EvProjectViewerContextMenuOpen(VTProjectViewer&) override { ++menus; }
    void EvProjectViewerLabelLayoutSelectClicked(VTProjectViewer&) override { ++selects; }
    void EvProjectViewerLabelLayoutEditClicked(VTProjectViewer&, VTLabelLayoutTemplate* t) override
    {
        ++edits;
        edited = t;
    }
    void EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate* t) override
    {
        shown.push_back(t);
    }
};

} // namespace

TEST_F(ProjectViewer, ObserversHearEditsSelectionsAndThePanelsButtons)
{
    Fixture f;
    Observer o;
    f.viewer.AddNotifyee(o);
    f.viewer.AddOverlayText("Hörd");
    EXPECT_EQ(o.undoRedo, 1);
    EXPECT_GE(o.selections, 1);
    f.viewer.Undo();
    f.viewer.Redo();
    EXPECT_EQ(o.undoRedo, 3);
    f.viewer.canvas.EvContextMenuOpen();
    EXPECT_EQ(o.menus, 1);
    f.viewer.labelLayoutPanel->selectButton.SendCommand(1000);
    f.viewer.labelLayoutPanel->editButton.SendCommand(1000);
    EXPECT_EQ(o.selects, 1);
    EXPECT_EQ(o.edits, 1);
    EXPECT_EQ(o.edited, f.viewer.GetSelectedLabelLayoutTemplate());
    ASSERT_NE(o.edited, nullptr);
    EXPECT_EQ(o.edited->GetFormat(), VTTemplateFormatDisc);

    // Another position through the paginator's choice: the case front's design is shown.
    VTLabelLayoutTemplate* front = nullptr;
    for (VTLabelLayoutPage* p = f.project->GetLabelLayout()->pages.GetFirst(); p && !front;
         p = p->GetNext())
        for (VTLabelLayoutTemplate* t = p->first; t && !front; t = t->next)
            if (t->GetFormat() == VTTemplateFormatCaseCDFront)
                front = t;
    ASSERT_NE(front, nullptr);
    o.shown.clear();
    f.viewer.EvProjectViewerPanelLabelLayoutSelectionChanged(front);
    EXPECT_EQ(f.Design()->GetFormat(), VTTemplateFormatCaseCDFront);
    ASSERT_EQ(o.shown.size(), 1u);
    EXPECT_EQ(o.shown[0], front);
    EXPECT_EQ(f.viewer.paginator.GetCurrentTemplate(), front);
    f.viewer.RemoveNotifyee(o);
}

TEST_F(ProjectViewer, CaseSpineWidthFollowsThePosition)
{
    Fixture f(false);
    f.project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericDVDStandard);
    f.viewer.SetProject(f.project.get());
    VTLabelLayoutTemplate* dvd = nullptr;
    for (VTLabelLayoutPage* p = f.project->GetLabelLayout()->pages.GetFirst(); p && !dvd;
         p = p->GetNext())
        for (VTLabelLayoutTemplate* t = p->first; t && !dvd; t = t->next)
            if (t->GetFormat() == VTTemplateFormatCaseDVD)
                dvd = t;
    ASSERT_NE(dvd, nullptr);
    dvd->GetTemplateData()->SetSpineWidth(9.5f);
    f.viewer.SelectLabelLayoutTemplate(dvd, true);
    ASSERT_EQ(f.Design()->GetFormat(), VTTemplateFormatCaseDVD);
    EXPECT_FLOAT_EQ(f.Design()->GetTemplateData()->GetSpineWidth(), 9.5f);
    // The panel's choice does not copy it.
    dvd->GetTemplateData()->SetSpineWidth(12);
    f.viewer.EvProjectViewerPanelLabelLayoutSelectionChanged(dvd);
    EXPECT_FLOAT_EQ(f.Design()->GetTemplateData()->GetSpineWidth(), 9.5f);
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, PanelButtonsAreUndoableEdits)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    f.viewer.AddOverlayText("A");
    f.viewer.AddOverlayText("B");
    auto* b = static_cast<VTOverlayText*>(f.Design()->first->next);
    // Rotate left with the text panel's transform row.
    f.viewer.textPanel->transform.SendCommand(1000);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay Rotate left");
    EXPECT_FLOAT_EQ(b->rotation, 270);
    // Lower: B goes under A; raise is offered again.
    f.viewer.textPanel->transform.SendCommand(1005);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Overlay Lower");
    EXPECT_EQ(f.Design()->first, b);
    // The alignment pad.
    f.viewer.textPanel->alignment.SendCommand(1000 + 2);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Text alignment");
    // A solid background brush from the fill editor, one step.
    const uint64_t n = f.viewer.history.count;
    LBrushInfo solid = SolidBrushInfo(LGuiColor { 10, 20, 30 });
    f.viewer.templatePanel->picker.SetBrush(&solid);
    f.viewer.templatePanel->picker.Apply();
    EXPECT_EQ(f.viewer.history.count, n + 1);
    EXPECT_STREQ(f.viewer.GetUndoCaption(), "Background brush");
    ASSERT_NE(f.Design()->backgroundBrush.Get(), nullptr);
    EXPECT_EQ(f.Design()->backgroundBrush->kind, solid.kind);
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-panel-edits");
}

TEST_F(ProjectViewer, AnUnusableDataFolderFailsSilentlyAndIsRetried)
{
    Fixture f;
    std::string folder = DataFolder();
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    // A file where the folder should be: nothing can be written there, even by root.
    ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    std::ofstream(folder) << "ingen mapp";
    LUserSettingSetString("AutoSave", "FileName", "förra");
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), "förra");
    unlink(folder.c_str());
    Tick(f.viewer, 3);
    const std::string path = Setting("AutoSave", "FileName");
    EXPECT_EQ(path.rfind(folder + "/Untitled_", 0), 0u) << path;
    EXPECT_TRUE(Exists(path));
    // Only the autosave itself is there: no temporary file was left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    f.viewer.SetProject(nullptr);
}

TEST_F(ProjectViewer, TheLabelLayoutPanelPagesThroughTheLayout)
{
    Fixture f;
    ASSERT_TRUE(f.Show());
    VTProjectViewerPanelLabelLayout& panel = *f.viewer.labelLayoutPanel;
    const size_t pages = f.project->GetLabelLayout()->pages.GetCount();
    ASSERT_GE(pages, 2u);
    EXPECT_EQ(panel.pages.iCurrentPage, 1u);
    EXPECT_EQ(panel.pages.iPageCount, pages);
    EXPECT_STREQ(panel.name.GetText(), f.project->GetLabelLayout()->name);
    const VTTemplateFormat first = f.Design()->GetFormat();
    panel.pages.SendCommand(1002); // next
    EXPECT_EQ(panel.pages.iCurrentPage, 2u);
    EXPECT_NE(f.Design()->GetFormat(), first);
    EXPECT_EQ(f.viewer.GetSelectedLabelLayoutTemplate(), f.viewer.paginator.GetCurrentTemplate());
    // A click on the panel's title makes it the open one.
    f.viewer.EvInterWinMessage(kLTitledPanelTitleClicked, kVTPanelLabelLayout, 0);
    EXPECT_FALSE(panel.bCollapsed);
    uitest::Screenshot(f.window.GetNativeWindow(), "project-viewer-second-page");
    panel.pages.SendCommand(1000); // previous
    EXPECT_EQ(panel.pages.iCurrentPage, 1u);
    EXPECT_EQ(f.Design()->GetFormat(), first);
}
