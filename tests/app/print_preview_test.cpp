// The print preview on real windows: the sheet and its positions, selection by a click, the
// outlines option remembered, "Avbryt" restoring only the selected position, printing to the
// print-to-file printer (PDFs read with pdfinfo), the page's pixels on the screen against the
// print's, a disc printer missing from the table; and the template placement the preview shares
// with the label-layout editor.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTOptions.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "app/VTPrintPreviewDialog.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/print/Print.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "support/DocumentTestSupport.h"
#include "support/DrawCanvas.h"
#include "support/ManyTexts.h"
#include "support/PrintPanel.h"
#include "support/PrivateHomes.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

// X's headers last: their macros (None, Bool) would break GoogleTest's.
#include "support/XServerView.h"

namespace {

// Chooses US Letter in the print panel, then presses its print button.
gboolean AnswerPanelWithLetter(gpointer)
{
    if (!ReadyPrintButton())
        return G_SOURCE_CONTINUE;
    GtkPageSetup* setup = gtk_page_setup_new();
    GtkPaperSize* letter = gtk_paper_size_new(GTK_PAPER_NAME_LETTER);
    gtk_page_setup_set_paper_size(setup, letter);
    g_object_set(PrintPanel(), "page-setup", setup, nullptr);
    gtk_paper_size_free(letter);
    g_object_unref(setup);
    return AnswerPrintPanel(nullptr);
}

// Answers every message box with its first button, keeping the last headline and message.
struct Alerts {
    int count = 0;
    std::string headline, message;
    guint source = 0;
    Alerts()
    {
        source = g_timeout_add(
            15,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<Alerts*>(data);
                auto* d = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!d || !gtk_widget_get_mapped(d) || g_object_get_data(G_OBJECT(d), "vt-seen"))
                    return G_SOURCE_CONTINUE;
                g_object_set_data(G_OBJECT(d), "vt-seen", GINT_TO_POINTER(1));
                ++self->count;
                gchar* h = nullptr;
                g_object_get(d, "text", &h, nullptr);
                self->headline = h ? h : "";
                self->message = LUiAlertMessage(d);
                g_free(h);
                gtk_dialog_response(GTK_DIALOG(d), 0);
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    ~Alerts() { g_source_remove(source); }
};

bool Shown(LMacWindow& d)
{
    return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised();
}

struct CloseAtEnd {
    LMacWindow& dialog;
    int code = kLCmdCancel;
    ~CloseAtEnd() { dialog.PostCommand(code); }
};

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("print_preview", name);
}

// Whether the picture holds a pixel of the colour (within 12 in each channel).
bool HasColour(const std::string& png, int r, int g, int b)
{
    std::string out
        = uitest::Run("pngtopnm '" + png + "' | pnmnoraw | tail -n +4 | tr -s ' \\n' '\\n'");
    std::vector<int> v;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        if (end > start)
            v.push_back(std::atoi(out.c_str() + start));
        start = end + 1;
    }
    for (size_t i = 0; i + 2 < v.size(); i += 3)
        if (std::abs(v[i] - r) <= 12 && std::abs(v[i + 1] - g) <= 12
            && std::abs(v[i + 2] - b) <= 12)
            return true;
    return false;
}

class PrintPreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
    }
    // Makes the next print go to the print-to-file printer, writing this PDF; the panel is
    // answered with its print button, or by answer.
    std::string PrintToFile(const char* name, GSourceFunc answer = AnswerPrintPanel)
    {
        const std::string pdf = folder / name;
        g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_PRINTER, "Print to File");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_URI, ("file://" + pdf).c_str());
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        g_timeout_add(20, answer, nullptr);
        return pdf;
    }
    PrivateHomes homes;
    TemporaryFolder folder;
};

class PrintPreviewWindow : public PrintPreview {
protected:
    void SetUp() override
    {
        PrintPreview::SetUp();
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

// --- Placement, without windows.

TEST_F(PrintPreview, PanelValuesOfAPortraitAndALandscapePage)
{
    VTLabelLayoutDataGenericCDStandard layout;
    VTLabelLayoutPage* page = layout.pages.GetHead();
    ASSERT_TRUE(page && page->first);
    VTLabelLayoutTemplate* disc = nullptr;
    for (VTLabelLayoutTemplate* t = page->first; t; t = t->next)
        if (t->GetFormat() == 0)
            disc = t;
    ASSERT_TRUE(disc);
    disc->centreX = 10;
    disc->centreY = -20;
    disc->rotation = 0;
    VTTemplatePanelValues v;
    VTTemplatePanelValuesGet(layout, page, disc, v);
    EXPECT_TRUE(v.enabled);
    EXPECT_TRUE(v.printableAreaButton);
    EXPECT_FALSE(v.spineInput);
    EXPECT_FLOAT_EQ(v.centreX, 10);
    EXPECT_FLOAT_EQ(v.centreY, -20);
    // A4 (210 x 297) and a disc of 120 mm: top, left, right, bottom.
    EXPECT_NEAR(v.edges[0], 148.5f - 20 - 60, 1e-3);
    EXPECT_NEAR(v.edges[1], 105 + 10 - 60, 1e-3);
    EXPECT_NEAR(v.edges[2], 105 - 10 - 60, 1e-3);
    EXPECT_NEAR(v.edges[3], 148.5f + 20 - 60, 1e-3);
    EXPECT_NEAR(v.maxX, 105 + 60 - 1, 1e-3);
    EXPECT_NEAR(v.limits[0], 119, 1e-3);

    page->SetOrientation(LPaperSizeOrientationLandscape);
    VTTemplatePanelValuesGet(layout, page, disc, v);
    // Center X shows the page's y, Center Y minus its x.
    EXPECT_FLOAT_EQ(v.centreX, -20);
    EXPECT_FLOAT_EQ(v.centreY, -10);
    VTTemplateSetPositionX(*page, *disc, 5);
    EXPECT_FLOAT_EQ(disc->centreY, 5);
    VTTemplateSetPositionY(*page, *disc, 7);
    EXPECT_FLOAT_EQ(disc->centreX, -7);

    VTTemplatePanelValuesGet(layout, nullptr, nullptr, v);
    EXPECT_FALSE(v.enabled);
}

TEST_F(PrintPreview, TopLeftOnALandscapePageMeetsTheRightAndTopEdges)
{
    VTLabelLayoutDataGenericCDStandard layout;
    VTLabelLayoutPage* page = layout.pages.GetHead();
    page->SetOrientation(LPaperSizeOrientationLandscape);
    VTLabelLayoutTemplate* t = page->first;
    float ex = 0, ey = 0;
    VTLabelLayoutTemplateHalfExtent(*t, ex, ey);
    VTTemplateSetAlignment(layout, *page, *t, 0);
    EXPECT_EQ(t->placementAlignment, 0);
    // Page coordinates (portrait, 210 x 297): against the right edge and the top edge.
    EXPECT_NEAR(t->centreX, 105 - ex, 1e-3);
    EXPECT_NEAR(t->centreY, -148.5f + ey, 1e-3);
    // The centre of the grid centres it.
    VTTemplateSetAlignment(layout, *page, *t, 4);
    EXPECT_FLOAT_EQ(t->centreX, 0);
    EXPECT_FLOAT_EQ(t->centreY, 0);
    // An edge distance forgets the alignment; on landscape the panel's top is the page's right.
    VTTemplateSetEdgePosition(layout, *page, *t, 0, 12);
    EXPECT_EQ(t->placementAlignment, -1);
    EXPECT_NEAR(t->centreX, 105 - ex - 12, 1e-3);
}

TEST_F(PrintPreview, EdgesFollowTheRotatedBox)
{
    VTLabelLayoutDataGenericCDStandard layout;
    VTLabelLayoutPage* page = nullptr;
    VTLabelLayoutTemplate* wide = nullptr;
    for (VTLabelLayoutPage* p = layout.pages.GetHead(); p && !wide; p = p->GetNext())
        for (VTLabelLayoutTemplate* t = p->first; t; t = t->next) {
            float w = 0, h = 0;
            t->GetDimensions(w, h);
            if (std::fabs(w - h) > 5) {
                wide = t;
                page = p;
            }
        }
    ASSERT_TRUE(wide);
    page->SetOrientation(LPaperSizeOrientationPortrait);
    float w = 0, h = 0;
    wide->GetDimensions(w, h);
    wide->Rotate(90 - wide->rotation);
    VTTemplateChangeEdgePosition(layout, *wide, 1, 0); // left edge at 0
    // Turned a quarter, the box reaches h / 2 to the side.
    EXPECT_NEAR(wide->centreX, -105 + h / 2, 1e-2);
    VTTemplatePanelValues v;
    VTTemplatePanelValuesGet(layout, page, wide, v);
    EXPECT_NEAR(v.edges[1], 0, 1e-2);
}

// --- The sheet painted in slices, without windows.

namespace {

// The viewer painted on a 900 x 700 image as a window paints it (a page of many overlays one
// slice a paint), or whole, as paper and files get a page.
std::string PaintSheet(VTPrintPreviewViewer& viewer, bool forScreen = true)
{
    DrawCanvas canvas(900, 700);
    if (forScreen) {
        viewer.PaintInContext(canvas.cr(), LUiRect { 0, 0, 900.0, 700.0 }, 1, 900.0, 700.0, true);
    } else {
        viewer.Prepaint(canvas.ctx());
    }
    cairo_surface_flush(canvas.surface());
    return std::string(
        reinterpret_cast<const char*>(cairo_image_surface_get_data(canvas.surface())),
        size_t(cairo_image_surface_get_stride(canvas.surface())) * 700);
}

// Paints until a paint shows the whole page; paints gets how many it took.
std::string PaintSheetWhole(VTPrintPreviewViewer& viewer, int& paints)
{
    std::string shown = PaintSheet(viewer);
    for (paints = 1; paints < 10000 && !viewer.WasPageWhole(); ++paints)
        shown = PaintSheet(viewer);
    return shown;
}

} // namespace

// A page of two discs with many texts painted a slice at a time, each slice going on from where
// the one before stopped (from one disc to the next), shows what the page painted whole shows
// (within the rounding of the picture's pixels put on the sheet), outlines included, and shows it
// again at once when only the selection changed. A design whose list of overlays is swapped for
// another between two slices (as an undo step does) starts again and shows the other list; a
// position moved between two slices is shown moved.
TEST_F(PrintPreview, APageOfManyTextsPaintedInSlicesShowsWhatItShowsWhole)
{
    VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    ASSERT_TRUE(page && page->first && page->first->next);
    for (VTLabelLayoutTemplate* t = page->first; t; t = t->next) {
        VTProjectTemplate* design = VTFindDesignForPosition(project, t->GetID());
        ASSERT_NE(design, nullptr);
        if (!design->first)
            AddTexts(*design, 3000, "Spår");
    }
    VTPrintPreviewViewer viewer(project);
    viewer.bPaintOutlines = true;
    viewer.SetPaintControlSize(900, 700);
    viewer.SetCollection(page);
    const std::string whole = PaintSheet(viewer, false);
    int paints = 0;
    EXPECT_LE(Worst(PaintSheetWhole(viewer, paints), whole), 3);
    std::printf("%d paints for the page of two discs of texts\n", paints);
    EXPECT_GE(paints, 2) << "too few slices to tell";
    // Another selection: the same picture, whole at once, with the selection's outline on it.
    viewer.SetItemSelected(page->first, true, false);
    viewer.Update();
    const std::string selected = PaintSheet(viewer);
    EXPECT_TRUE(viewer.WasPageWhole()) << "the page is painted anew for another selection";
    EXPECT_LE(Worst(selected, PaintSheet(viewer, false)), 3);
    EXPECT_GT(Worst(selected, whole), 100) << "no outline shows the selection";

    // The first disc's design swapped after the first slice of a new picture, the old list kept
    // alive: the slices that follow must not go on along it.
    VTProjectTemplate* first = VTFindDesignForPosition(project, page->first->GetID());
    VTOverlayList other;
    AddTexts(other, 2000, "Mörk text");
    viewer.Invalidate();
    PaintSheet(viewer);
    first->SwapOverlayList(other);
    const std::string swapped = PaintSheetWhole(viewer, paints);
    const std::string swappedWhole = PaintSheet(viewer, false);
    EXPECT_GT(Worst(swappedWhole, selected), 100) << "the lists show the same";
    EXPECT_LE(Worst(swapped, swappedWhole), 3);

    // The second disc moved between two slices, as the template panel moves it.
    viewer.Invalidate();
    PaintSheet(viewer);
    page->first->next->centreY += 10;
    page->first->next->NotifyTransformChanged();
    viewer.Invalidate();
    const std::string moved = PaintSheetWhole(viewer, paints);
    const std::string movedWhole = PaintSheet(viewer, false);
    EXPECT_GT(Worst(movedWhole, swappedWhole), 100) << "the disc did not move";
    EXPECT_LE(Worst(moved, movedWhole), 3);
    viewer.SetCollection(nullptr);
}

// --- The dialog.

TEST_F(PrintPreviewWindow, PrintsAnA4PageAndRemembersOutlines)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTLabelLayoutTemplate* first = page->first;
    ASSERT_TRUE(first && first->next);
    const std::string pdf = PrintToFile("a4.pdf");
    std::string title;
    bool outlineShown = false;
    VTPrintPreviewDialog dialog(project, page, first);
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog, kLCmdOk };
            uitest::Pump(200);
            const char* t = gtk_window_get_title(GTK_WINDOW(dialog.GetNativeWindow()->Gtk()));
            title = t ? t : "";
            EXPECT_EQ(dialog.Viewer().GetSingleSelectedItem(), first);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("a4"));
            outlineShown = HasColour(Shot("a4"), 0, 183, 235);
            // The outlines box ticked, as a click on it reports.
            VTControlCheckBox& box = dialog.PanelProperties()->OutlinesBox();
            ASSERT_TRUE(box.GetControlHandle(1000));
            box.SetCheck(1000, true);
            box.Command(1000, 0);
            EXPECT_TRUE(dialog.Viewer().bPaintOutlines);
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_EQ(title, "Förhandsgranska");
    EXPECT_TRUE(outlineShown);
    EXPECT_TRUE(dialog.Printed());
    const std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("595.276 x 841.89 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    char value[16] = {};
    _LUserSettingGetString("Settings", "PrintTemplateOutlines", "", value);
    EXPECT_STREQ(value, "1");

    // The next preview starts with outlines.
    VTPrintPreviewDialog again(project, page, nullptr);
    bool outlines = false;
    uitest::When([&] { return Shown(again); },
        [&] {
            CloseAtEnd guard { again };
            outlines = again.Viewer().bPaintOutlines
                && again.PanelProperties()->OutlinesBox().GetCheck(1000);
        });
    again.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_TRUE(outlines);
    EXPECT_FALSE(again.Printed());
}

TEST_F(PrintPreviewWindow, CancelRestoresOnlyTheSelectedTemplate)
{
    VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTLabelLayoutTemplate* a = page->first;
    VTLabelLayoutTemplate* b = a->next;
    ASSERT_TRUE(b);
    const float ax = a->centreX, bx = b->centreX;
    VTPrintPreviewDialog dialog(project, page, a);
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.EvTemplatePositionXChanged(ax + 3);
            dialog.Viewer().ClearSelectedItems();
            dialog.Viewer().SetItemSelected(b, true, true);
            dialog.EvTemplatePositionXChanged(bx - 4);
            dialog.Viewer().ClearSelectedItems();
            dialog.Viewer().SetItemSelected(a, true, true);
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_FALSE(dialog.Printed());
    EXPECT_FLOAT_EQ(a->centreX, ax);
    EXPECT_FLOAT_EQ(b->centreX, bx - 4);
}

// The preview moves positions of the project's own layout: a saved project whose page differs
// when the preview closes is unsaved. A change "Avbryt" takes back (the selected position) or no
// change at all leaves it saved.
TEST_F(PrintPreviewWindow, APositionMovedMakesTheProjectUnsaved)
{
    VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTLabelLayoutTemplate* a = page->first;
    VTLabelLayoutTemplate* b = a->next;
    ASSERT_TRUE(b);
    project.SetSaveState(VTProjectSaveStateSaved);
    auto preview = [&](const std::function<void(VTPrintPreviewDialog&)>& edit) {
        VTPrintPreviewDialog dialog(project, page, a);
        uitest::When([&] { return Shown(dialog); },
            [&] {
                CloseAtEnd guard { dialog };
                edit(dialog);
            });
        dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    };
    preview([](VTPrintPreviewDialog&) {});
    EXPECT_EQ(project.GetSaveState(), VTProjectSaveStateSaved);
    const float ax = a->centreX, bx = b->centreX;
    preview([&](VTPrintPreviewDialog& dialog) { dialog.EvTemplatePositionXChanged(ax - 3); });
    EXPECT_FLOAT_EQ(a->centreX, ax);
    EXPECT_EQ(project.GetSaveState(), VTProjectSaveStateSaved);

    preview([&](VTPrintPreviewDialog& dialog) {
        dialog.Viewer().ClearSelectedItems();
        dialog.Viewer().SetItemSelected(b, true, true);
        dialog.EvTemplatePositionXChanged(bx + 5);
        dialog.Viewer().ClearSelectedItems();
        dialog.Viewer().SetItemSelected(a, true, true);
    });
    EXPECT_FLOAT_EQ(b->centreX, bx + 5);
    EXPECT_EQ(project.GetSaveState(), VTProjectSaveStateModified);
}

TEST_F(PrintPreviewWindow, OneTemplateHasNoDashedOutline)
{
    VTLabelLayout* layout = new VTLabelLayoutDataDirectToCDDVDStandard;
    VTProject project(layout);
    VTLabelLayoutPage* page = layout->pages.GetHead();
    ASSERT_TRUE(page->first && !page->first->next);
    VTPrintPreviewDialog dialog(project, page, page->first);
    bool blue = true;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::Pump(200);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("disc"));
            blue = HasColour(Shot("disc"), 0, 183, 235);
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_FALSE(blue);
}

// The page as the preview shows it on the screen and as it prints (through the print-to-file
// printer, rendered by poppler at the preview's own scale): the same pixels, also where a disc's
// hub cuts every overlay kind away. Texts added to a new design land in the hub; one lies wholly
// there, and another text, a circular text, a picture, a clipart and a background picture lie
// across its edge.
TEST_F(PrintPreviewWindow, ThePageShowsWhatThePrintHolds)
{
    XServerView x;
    if (!x.Ok())
        GTEST_SKIP() << "no X server to read the screen from";
    VTProject project(new VTLabelLayoutDataGenericDVDStandard);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTProjectTemplate* disc = VTFindDesignForPosition(project, page->first->GetID());
    ASSERT_NE(disc, nullptr);
    disc->backgroundBrush.Reset(sample::Gradient(LBrushInfoKindLinearGradient, 3));
    sample::Picture(new VTOverlayImageBackground, *disc, 64, 3, 0, 0)->SetDimensions(70, 52.5f);
    sample::Picture(new VTOverlayImage, *disc, 64, 1, 12, 8);
    sample::Picture(new VTOverlayClipart, *disc, 64, 2, -14, 10);
    sample::Text(*disc, "Över kanten", 0, -16);
    auto* circular = new VTOverlayCircularText("Runt navet runt navet",
        LGuiFontEx(LGuiFont(12, true, false, false, "DejaVu Sans", false)));
    circular->centreAngle = 90;
    circular->outerRadius = 21;
    circular->width = circular->height = 42;
    disc->InsertOverlay(circular, false);
    disc->AddOverlayText("Min skiva\nAndra raden", 1, 1, 50, 50, "");
    const std::string pdf = PrintToFile("nav.pdf");

    VTPrintPreviewDialog dialog(project, page, page->first);
    std::vector<uint32_t> shown;
    XRect sheet {};
    float pxPerMm = 0, sheetLeftMm = 0, sheetTopMm = 0;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog, kLCmdOk };
            ASSERT_TRUE(uitest::PumpUntilDrawn(dialog.GetNativeWindow()));
            // The sheet's pixels on the screen, one pixel in from its frame.
            VTPrintPreviewViewer& viewer = dialog.Viewer();
            GtkWidget* widget = viewer.GetPaintView()->Widget();
            GtkWidget* top = gtk_widget_get_toplevel(widget);
            int wx = 0, wy = 0, ox = 0, oy = 0;
            gtk_widget_translate_coordinates(widget, top, 0, 0, &wx, &wy);
            gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
            const int s = gtk_widget_get_scale_factor(widget);
            const float f = float(gtk_widget_get_allocated_width(widget) * s) / viewer.GetWidth();
            const LMatrix<float> m = viewer.CalculateCollectionMatrix();
            float w = 0, h = 0;
            project.GetLabelLayout()->GetPageDimensions(w, h);
            const LPointTemplate<float> a = m.TransformPoint(LPointTemplate<float>(-w / 2, -h / 2));
            const LPointTemplate<float> b = m.TransformPoint(LPointTemplate<float>(w / 2, h / 2));
            pxPerMm = m.m[0][0] * f;
            const int left = int(std::ceil(a.x * f)) + 2, topPx = int(std::ceil(a.y * f)) + 2;
            sheet = XRect { (ox + wx) * s + left, (oy + wy) * s + topPx,
                int(std::floor(b.x * f)) - 2 - left, int(std::floor(b.y * f)) - 2 - topPx };
            sheetLeftMm = (float(left) - a.x * f) / pxPerMm;
            sheetTopMm = (float(topPx) - a.y * f) / pxPerMm;
            shown = x.Pixels(sheet);
            SaveScreenPng(x, sheet, "print_preview-hub");
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    ASSERT_TRUE(dialog.Printed());
    ASSERT_EQ(shown.size(), size_t(sheet.width) * size_t(sheet.height));
    ASSERT_GT(pxPerMm, 1.0f);

    // The print at the preview's scale; each pixel of the preview against the printed pixel
    // under its middle.
    const RgbRaster printed = RenderPdfPage(pdf, pxPerMm * 25.4);
    ASSERT_GT(printed.width, 0) << "no print rendered from " << pdf;
    const float centreX = 105 - sheetLeftMm, centreY = 148.5f - sheetTopMm; // the disc's middle
    double sum = 0;
    int hubShown = 0, hubPrinted = 0, inkShown = 0, inkPrinted = 0;
    for (int y = 0; y < sheet.height; ++y)
        for (int cx = 0; cx < sheet.width; ++cx) {
            const uint32_t p = shown[size_t(y) * sheet.width + cx];
            const int r = int(p >> 16) & 255, g = int(p >> 8) & 255, b = int(p) & 255;
            const float xMm = (cx + 0.5f) / pxPerMm, yMm = (y + 0.5f) / pxPerMm;
            const int px = int((xMm + sheetLeftMm) * pxPerMm),
                      py = int((yMm + sheetTopMm) * pxPerMm);
            if (px < 0 || py < 0 || px >= printed.width || py >= printed.height)
                continue;
            const DrawPixel q = printed.At(px, py);
            sum += (std::pow(r - q.r, 2) + std::pow(g - q.g, 2) + std::pow(b - q.b, 2)) / 3;
            const bool darkShown = r + g + b < 3 * 128, darkPrinted = q.r + q.g + q.b < 3 * 128;
            inkShown += darkShown;
            inkPrinted += darkPrinted;
            // Within the hub (17.5 mm), a millimetre clear of its edge.
            if (std::hypot(xMm - centreX, yMm - centreY) < 16.5f) {
                hubShown += darkShown;
                hubPrinted += darkPrinted;
            }
        }
    const double rmse = std::sqrt(sum / (double(sheet.width) * sheet.height)) / 255;
    std::printf("[ preview ] RMSE against the print %.4f; dark pixels in the hub %d shown, %d "
                "printed; dark pixels %d shown, %d printed\n",
        rmse, hubShown, hubPrinted, inkShown, inkPrinted);
    EXPECT_EQ(hubPrinted, 0);
    EXPECT_EQ(hubShown, 0) << "the preview shows what is not printed in the hub";
    EXPECT_GT(inkPrinted, 500);
    EXPECT_NEAR(inkShown, inkPrinted, inkPrinted / 10);
    EXPECT_LT(rmse, 0.05);
}

// A picture of 2400 x 1800 pixels in the preview: shown from one copy of the pixels it covers on
// the screen, a few percent of its own, and printed whole: the printed page holds the picture at
// its 2400 x 1800 pixels (as poppler's pdfimages lists them).
TEST_F(PrintPreviewWindow, ALargePictureIsShownFromACopyAndPrintedWhole)
{
    if (uitest::Run("command -v pdfimages").empty())
        GTEST_SKIP() << "no pdfimages";
    VTProject project(new VTLabelLayoutDataGenericDVDStandard);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    VTProjectTemplate* disc = VTFindDesignForPosition(project, page->first->GetID());
    ASSERT_NE(disc, nullptr);
    VTOverlayImage* picture = sample::Picture(new VTOverlayImage, *disc, 2400, 1, 0, 30);
    picture->SetDimensions(60, 45);
    const std::string pdf = PrintToFile("stor.pdf");
    VTPrintPreviewDialog dialog(project, page, page->first);
    size_t copies = 0, bytes = 0;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog, kLCmdOk };
            ASSERT_TRUE(uitest::PumpUntilDrawn(dialog.GetNativeWindow()));
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("large-picture"));
            copies = picture->GetImage().GetScreenCopies().GetCount();
            bytes = picture->GetImage().GetScreenCopies().GetBytes();
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    ASSERT_TRUE(dialog.Printed());
    EXPECT_EQ(copies, 1u);
    EXPECT_GT(bytes, 0u);
    EXPECT_LT(bytes, 2400u * 1800 * 4 / 20);
    // "page num type width height ...": the picture at its own pixels per millimetre (cairo pads
    // it by a few edge pixels to the clip of its box), not the preview's.
    const std::string list = uitest::Run("pdfimages -list '" + pdf + "'");
    std::istringstream lines(list);
    std::string line;
    int images = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        int pageNumber = 0, number = 0, width = 0, height = 0;
        std::string type;
        if (!(fields >> pageNumber >> number >> type >> width >> height) || type != "image")
            continue;
        ++images;
        EXPECT_GE(width, 2400) << list;
        EXPECT_LE(width, 2400 + 24) << list;
        EXPECT_GE(height, 1800) << list;
        EXPECT_LE(height, 1800 + 18) << list;
    }
    EXPECT_EQ(images, 1) << list;
}

TEST_F(PrintPreviewWindow, LandscapeAndTrayPagesPrintTheirPaper)
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    page->SetOrientation(LPaperSizeOrientationLandscape);
    std::string pdf = PrintToFile("landscape.pdf");
    {
        VTPrintPreviewDialog dialog(project, page, nullptr);
        uitest::When([&] { return Shown(dialog); }, [&] { CloseAtEnd guard { dialog, kLCmdOk }; });
        dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
        EXPECT_TRUE(dialog.Printed());
    }
    std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("841.89 x 595.276 pts"), std::string::npos) << info;

    VTLabelLayout* disc = new VTLabelLayoutDataDirectToCDDVDStandard;
    VTProject discProject(disc);
    const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(disc->printerTray);
    pdf = PrintToFile("tray.pdf");
    {
        VTPrintPreviewDialog dialog(discProject, disc->pages.GetHead(), nullptr);
        uitest::When([&] { return Shown(dialog); }, [&] { CloseAtEnd guard { dialog, kLCmdOk }; });
        dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
        EXPECT_TRUE(dialog.Printed());
    }
    info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Page size:"), std::string::npos) << info;
    double w = 0, h = 0;
    const size_t at = info.find("Page size:");
    std::sscanf(info.c_str() + at + 10, "%lf x %lf", &w, &h);
    EXPECT_NEAR(w, tray.width * 72 / 25.4, 1.0) << info;
    EXPECT_NEAR(h, tray.height * 72 / 25.4, 1.0) << info;
}

TEST_F(PrintPreviewWindow, AMissingDiscPrinterIsAnErrorAndTheSheetIsGrey)
{
    VTLabelLayout* disc = new VTLabelLayoutDataDirectToCDDVDStandard;
    VTProject project(disc);
    disc->printerTray = VTPrinterTrayID(9999); // an edited project
    Alerts alerts;
    VTPrintPreviewDialog dialog(project, disc->pages.GetHead(), nullptr);
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::Pump(200);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("missing-printer"));
            EXPECT_FALSE(dialog.PrintPage());
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_EQ(alerts.count, 1);
    EXPECT_EQ(alerts.headline, "Skriv ut");
    EXPECT_FALSE(dialog.Printed());
    const LBoundingBox2T<float> box = dialog.Viewer().GetCollectionBoundingBox();
    EXPECT_EQ(box.right - box.left, 0);
    EXPECT_FALSE(dialog.Viewer().HasUsableGeometry());
}

TEST_F(PrintPreviewWindow, LetterForAnA4LayoutAsksFirst)
{
    VTProject project(new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
    const std::string pdf = PrintToFile("letter.pdf", AnswerPanelWithLetter);
    Alerts alerts; // the question's first button refuses
    VTPrintPreviewDialog dialog(project, page, nullptr);
    bool openAfter = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.PostCommand(kLCmdOk);
            uitest::PumpUntil([&] { return alerts.count == 1; }, 8000);
            uitest::Pump(200);
            openAfter = dialog.IsOpen();
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    EXPECT_EQ(alerts.count, 1);
    EXPECT_TRUE(openAfter);
    EXPECT_FALSE(dialog.Printed());
    EXPECT_NE(access(pdf.c_str(), F_OK), 0);
}
