// Printed pages against the PDF export, word for word as poppler's pdftotext -bbox reads them:
// every design lands on the paper where the export puts it, on paper in both orientations, on
// label stock, on a disc printer's tray, with GTK's default margins and with a page setup whose
// four margins all differ; and once through the print preview and GTK's print panel, both
// clicked with the real pointer.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTOverlayText.h"
#include "app/VTPrintFunction.h"
#include "app/VTPrintPreviewDialog.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/print/Print.h"
#include "platform/ui/LNativeWindow.h"
#include "support/DocumentTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kMaxWordDistance = 0.3; // points

// Margins of a page setup, mm: top, bottom, left, right; all 0 keeps the panel's own.
struct Margins {
    double top = 0, bottom = 0, left = 0, right = 0;
    bool Custom() const { return top > 0 || bottom > 0 || left > 0 || right > 0; }
} gMargins;

GtkWidget* PrintPanel()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w && !found; w = w->next)
        if (std::strcmp(G_OBJECT_TYPE_NAME(w->data), "GtkPrintUnixDialog") == 0
            && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

// The panel's print button once a printer is chosen; null before.
GtkWidget* ReadyPrintButton()
{
    GtkWidget* panel = PrintPanel();
    GtkWidget* ok
        = panel ? gtk_dialog_get_widget_for_response(GTK_DIALOG(panel), GTK_RESPONSE_OK) : nullptr;
    return ok && gtk_widget_is_sensitive(ok) && gtk_widget_get_mapped(ok) ? ok : nullptr;
}

// Answers the panel as its page-setup tab would (the paper it shows, with gMargins when set),
// then presses its print button.
gboolean AnswerPanel(gpointer)
{
    GtkWidget* ok = ReadyPrintButton();
    if (!ok)
        return G_SOURCE_CONTINUE;
    GtkWidget* panel = PrintPanel();
    if (gMargins.Custom()) {
        GtkPageSetup* shown = nullptr;
        g_object_get(panel, "page-setup", &shown, nullptr);
        GtkPageSetup* setup = shown ? gtk_page_setup_copy(shown) : gtk_page_setup_new();
        if (shown)
            g_object_unref(shown);
        gtk_page_setup_set_top_margin(setup, gMargins.top, GTK_UNIT_MM);
        gtk_page_setup_set_bottom_margin(setup, gMargins.bottom, GTK_UNIT_MM);
        gtk_page_setup_set_left_margin(setup, gMargins.left, GTK_UNIT_MM);
        gtk_page_setup_set_right_margin(setup, gMargins.right, GTK_UNIT_MM);
        g_object_set(panel, "page-setup", setup, nullptr);
        g_object_unref(setup);
    }
    gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_OK);
    return G_SOURCE_REMOVE;
}

// Saves what a GTK window shows (drawn by itself, in device pixels) as a PNG file.
void SaveWidgetShot(GtkWidget* top, const std::string& path)
{
    if (!top || !gtk_widget_get_realized(top))
        return;
    const int scale = std::max(1, gtk_widget_get_scale_factor(top));
    const int w = gtk_widget_get_allocated_width(top), h = gtk_widget_get_allocated_height(top);
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(top, cr);
    cairo_destroy(cr);
    gchar* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0755);
    g_free(folder);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

struct Word {
    std::string text;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The words of the first page with their boxes (points from the page's top-left corner).
std::vector<Word> Words(const std::string& pdf)
{
    const std::string html = ShellOutput("pdftotext -f 1 -l 1 -bbox '" + pdf + "' - 2>/dev/null");
    std::vector<Word> words;
    size_t at = 0;
    while ((at = html.find("<word ", at)) != std::string::npos) {
        Word w;
        char text[256] = {};
        if (std::sscanf(html.c_str() + at,
                "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%255[^<]", &w.x0, &w.y0,
                &w.x1, &w.y1, text)
            == 5) {
            w.text = text;
            words.push_back(w);
        }
        ++at;
    }
    return words;
}

double Distance(const Word& a, const Word& b)
{
    return std::max({ std::fabs(a.x0 - b.x0), std::fabs(a.y0 - b.y0), std::fabs(a.x1 - b.x1),
        std::fabs(a.y1 - b.y1) });
}

// The largest distance from an exported word to the printed word of the same text nearest it
// (a corner's coordinate, points); a word missing from either side counts as far off.
double LargestDistance(const std::vector<Word>& exported, const std::vector<Word>& printed)
{
    if (exported.empty() || exported.size() != printed.size())
        return 1e9;
    double largest = 0;
    for (const Word& e : exported) {
        double nearest = 1e9;
        for (const Word& p : printed)
            if (p.text == e.text)
                nearest = std::min(nearest, Distance(e, p));
        largest = std::max(largest, nearest);
    }
    return largest;
}

// Words on every design: one plain, one turned, two on a line, one near the top-left corner.
void AddWords(VTProject& project)
{
    int n = 0;
    for (VTProjectTemplate& design : project.templates) {
        ++n;
        struct Placed {
            const char* text;
            float x, y, rotation;
        } placed[] = {
            { "Alfa", -12, -18, 0 },
            { "Beta", 14, 4, 30 },
            { "Gamma Delta", 0, 20, 0 },
            { "Åska", -20, 2, -90 },
        };
        for (const Placed& p : placed) {
            auto* text = new VTOverlayText((std::string(p.text) + std::to_string(n)).c_str(),
                LGuiFontEx(LGuiFont(12, false, false, false, "DejaVu Sans", false)));
            text->centreX = p.x;
            text->centreY = p.y;
            text->rotation = p.rotation;
            text->transform = VTPlacementMatrix(p.rotation, p.x, p.y);
            text->width = 40;
            text->height = 10;
            design.InsertOverlay(text, false);
        }
    }
}

class PrintPlacement : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        ASSERT_TRUE(VTOptions::PrinterTrayIDSet(36)); // a tray of 131.1 x 238.8 mm
        gMargins = Margins();
    }
    void TearDown() override { gMargins = Margins(); }

    // The next print goes to GTK's print-to-file printer, writing this PDF.
    std::string ToFile(const std::string& name)
    {
        const std::string pdf = folder / name;
        g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_PRINTER, "Print to File");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_URI, ("file://" + pdf).c_str());
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        return pdf;
    }
    std::string Export(VTProject& project, VTLabelLayoutPage* page, const std::string& name)
    {
        const std::string pdf = folder / name;
        VTExport record;
        record.targetPath = pdf.c_str();
        record.project = &project;
        record.page = page;
        LProcessInterfaceVoid quiet;
        EXPECT_EQ(Process(quiet, record), LProcessResultSuccess);
        return pdf;
    }
    // Prints the page as the print preview does, the panel answered with gMargins; the
    // settings as the panel reported them.
    std::string Print(VTProject& project, VTLabelLayoutPage* page, const std::string& name,
        LPrintSettings& settings)
    {
        const std::string pdf = ToFile(name);
        VTPrintSettingsForLayout(settings, *project.GetLabelLayout(), *page);
        VTPrintFunctionClass function(&project, page, &settings.imageableWidth, false);
        g_timeout_add(20, AnswerPanel, nullptr);
        EXPECT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, function));
        return pdf;
    }
    // Prints and exports the page of the layout with words on every design, compares them and
    // reports the largest distance.
    void Compare(VTLabelLayout* layout, int pageIndex, const char* name)
    {
        SCOPED_TRACE(name);
        VTProject project(layout);
        AddWords(project);
        VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetAt(pageIndex);
        ASSERT_TRUE(page);
        const std::vector<Word> exported
            = Words(Export(project, page, std::string(name) + "-export.pdf"));
        ASSERT_GE(exported.size(), 5u);
        for (bool unequal : { false, true }) {
            if (unequal)
                gMargins = Margins { 9, 23, 4, 17 };
            LPrintSettings settings;
            const std::string pdf = Print(
                project, page, std::string(name) + (unequal ? "-margins" : "") + ".pdf", settings);
            if (unequal) {
                // The page setup's margins (kept for the upright sheet) reached the print: the
                // printable area is the sheet less all four, its origin (in whole points) the
                // left and top margins, on a landscape page the sheet's bottom and left ones.
                const bool turned = settings.orientation == LPaperSizeOrientationLandscape;
                EXPECT_NEAR(
                    settings.imageableWidth, settings.paperWidth - (turned ? 32 : 21), 0.01);
                EXPECT_NEAR(
                    settings.imageableHeight, settings.paperHeight - (turned ? 21 : 32), 0.01);
                EXPECT_NEAR(settings.marginX, turned ? 23 : 4, 0.36);
                EXPECT_NEAR(settings.marginY, turned ? 4 : 9, 0.36);
            }
            const double d = LargestDistance(exported, Words(pdf));
            std::printf("[ placement ] %s%s: largest word distance %.4f pt over %zu words\n", name,
                unequal ? " (margins 9/23/4/17 mm)" : " (default margins)", d, exported.size());
            EXPECT_LE(d, kMaxWordDistance) << pdf;
            gMargins = Margins();
        }
    }

    PrivateHomes homes;
    TemporaryFolder folder;
};

} // namespace

TEST_F(PrintPlacement, DvdFace)
{
    Compare(new VTLabelLayoutDataGenericDVDStandard, 0, "dvd-face");
}

TEST_F(PrintPlacement, CdBackInsert)
{
    Compare(new VTLabelLayoutDataGenericCDStandard, 2, "cd-back");
}

TEST_F(PrintPlacement, LandscapePaper)
{
    Compare(new VTLabelLayoutDataGenericDVDStandard, 1, "dvd-case-landscape");
}

TEST_F(PrintPlacement, LabelStockOnLetter)
{
    Compare(new VTLabelLayoutDataAvery5824, 0, "avery-5824");
}

TEST_F(PrintPlacement, DiscPrinterTray)
{
    Compare(new VTLabelLayoutDataDirectToCDDVDStandard, 0, "tray");
}

// The way a person prints: "Skriv ut" in the print preview, then the print button of GTK's panel,
// both clicked with the real pointer.
TEST_F(PrintPlacement, FromThePreviewThroughThePanel)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "xdotool missing";
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    AddWords(project);
    VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetAt(0);
    const std::vector<Word> exported = Words(Export(project, page, "preview-export.pdf"));
    ASSERT_GE(exported.size(), 5u);
    const std::string pdf = ToFile("preview.pdf");

    VTPrintPreviewDialog dialog(project, page, nullptr);
    bool previewClicked = false, panelClicked = false;
    // Whatever happens, nothing stays open: the panel is cancelled and the preview closed.
    guint rescue = g_timeout_add(
        30000,
        +[](gpointer data) -> gboolean {
            if (GtkWidget* panel = PrintPanel())
                gtk_dialog_response(GTK_DIALOG(panel), GTK_RESPONSE_CANCEL);
            auto* d = static_cast<VTPrintPreviewDialog*>(data);
            if (d->IsOpen())
                d->PostCommand(kLCmdCancel);
            return G_SOURCE_CONTINUE;
        },
        &dialog);
    uitest::When(
        [&] {
            return dialog.GetNativeWindow() && dialog.IsInitialised()
                && gtk_widget_get_mapped(GTK_WIDGET(dialog.GetNativeWindow()->Gtk()));
        },
        [&] {
            uitest::Pump(200);
            uitest::SaveScreenshot(
                dialog.GetNativeWindow(), uitest::ArtefactPath("print_placement", "preview"));
            int x = 0, y = 0, w = 0, h = 0;
            dialog.GetControlPixels(kLCmdOk, x, y, w, h);
            const double s = dialog.GetBackingScaleFactor();
            uitest::When([] { return ReadyPrintButton() != nullptr; },
                [&] {
                    uitest::Pump(300); // the panel settles (printer list, page setup)
                    SaveWidgetShot(PrintPanel(), uitest::ArtefactPath("print_placement", "panel"));
                    panelClicked = uitest::XClickWidget(ReadyPrintButton());
                });
            previewClicked
                = uitest::XClick(dialog.GetNativeWindow(), (x + w / 2) / s, (y + h / 2) / s);
        });
    dialog.Open(nullptr, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    g_source_remove(rescue);
    EXPECT_TRUE(previewClicked);
    EXPECT_TRUE(panelClicked);
    ASSERT_TRUE(dialog.Printed());
    const double d = LargestDistance(exported, Words(pdf));
    std::printf("[ placement ] cd-face through the preview and the panel: largest word distance "
                "%.4f pt over %zu words\n",
        d, exported.size());
    EXPECT_LE(d, kMaxWordDistance) << pdf;
}
