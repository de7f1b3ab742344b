#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTPrintFunction.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LPrintSurface.h"
#include "platform/print/Print.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LUiAlert.h"
#include "support/DocumentTestSupport.h"
#include "support/PrintPanel.h"
#include "support/ProcessStatus.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// ---- The user's part: the paper question and the print panel.

struct Asked {
    int count = 0;
    std::string text, caption, yes, no;
    bool answer = true;
    bool closeInstead = false; // the alert is closed without a button
} gAsked;

// Answers every message box that shows (the paper question) as gAsked says, and notes what it
// asked: the question's default button refuses, the second goes on.
gboolean AnswerQuestion(gpointer)
{
    auto* d = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
    if (!d || !gtk_widget_get_mapped(d) || g_object_get_data(G_OBJECT(d), "vt-answered"))
        return G_SOURCE_CONTINUE;
    g_object_set_data(G_OBJECT(d), "vt-answered", GINT_TO_POINTER(1));
    ++gAsked.count;
    gchar* headline = nullptr;
    g_object_get(d, "text", &headline, nullptr);
    gAsked.caption = headline ? headline : "";
    gAsked.text = LUiAlertMessage(d);
    g_free(headline);
    GtkWidget* no = gtk_dialog_get_widget_for_response(GTK_DIALOG(d), 0);
    GtkWidget* yes = gtk_dialog_get_widget_for_response(GTK_DIALOG(d), 1);
    gAsked.no = no ? gtk_button_get_label(GTK_BUTTON(no)) : "";
    gAsked.yes = yes ? gtk_button_get_label(GTK_BUTTON(yes)) : "";
    gtk_dialog_response(
        GTK_DIALOG(d), gAsked.closeInstead ? GTK_RESPONSE_DELETE_EVENT : (gAsked.answer ? 1 : 0));
    return G_SOURCE_CONTINUE;
}

LBrushInfo* Red()
{
    auto* brush = new LBrushInfo;
    brush->kind = LBrushInfoKindSolid;
    brush->color = LGuiColorAlpha::FromRGBA8(255, 0, 0, 255);
    return brush;
}

bool IsRed(const DrawPixel& p)
{
    return p.r > 240 && p.g < 20 && p.b < 20;
}

// A surface whose pages never start.
class BrokenSurface : public LPrintSurface {
public:
    int StartPage() override
    {
        ++starts;
        return -9704;
    }
    int EndPage() override
    {
        ++ends;
        return 0;
    }
    int starts = 0, ends = 0;
};

class Print : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        VTOptions::PaperSizeIDSet(LPaperSizeA4);
        LSettingSetMeasurementUnit(0);
        gAsked = Asked();
        if (uitest::Init())
            m_answerer = g_timeout_add(10, AnswerQuestion, nullptr);
    }
    void TearDown() override
    {
        if (m_answerer)
            g_source_remove(m_answerer);
    }
    guint m_answerer = 0;

    // Makes the next print go to the print-to-file printer, writing this PDF.
    std::string PrintToFile(const char* name)
    {
        const std::string pdf = m_folder / name;
        g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_PRINTER, "Print to File");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_URI, ("file://" + pdf).c_str());
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        g_timeout_add(20, AnswerPrintPanel, nullptr);
        return pdf;
    }

    static std::unique_ptr<VTProject> RedProject(VTLabelLayout* layout)
    {
        auto project = std::make_unique<VTProject>(layout);
        for (VTProjectTemplate& design : project->templates)
            design.backgroundBrush.Reset(Red());
        return project;
    }

    TemporaryFolder m_folder;
};

} // namespace

TEST_F(Print, TheSheetLiesOnThePaperAsInThePdfExport)
{
    const double k = 72 / 25.4;
    VTLabelLayoutDataGenericCDStandard layout; // A4
    const VTLabelLayoutPage& portrait = *layout.pages.GetAt(0);
    const VTLabelLayoutPage& landscape = *layout.pages.GetAt(1);
    // The sheet's centre in the middle of A4, a millimetre 72 / 25.4 points.
    LMatrix<float> m = VTPrintFunctionClass::SheetTransform(&layout, portrait, 210 * k, 297 * k);
    LPointTemplate<float> p = m.TransformPoint({ 0, 0 });
    EXPECT_NEAR(p.x, 105 * k, 1e-3);
    EXPECT_NEAR(p.y, 148.5 * k, 1e-3);
    p = m.TransformPoint({ 10, -20 });
    EXPECT_NEAR(p.x, 115 * k, 1e-3);
    EXPECT_NEAR(p.y, 128.5 * k, 1e-3);
    // It is the PDF export's transform.
    float w = 0, h = 0;
    VTSheetBox(&layout, portrait, w, h);
    LPointTemplate<float> q
        = VTSheetTransform(portrait.GetRotationAngle(), w, h, float(k)).TransformPoint({ 10, -20 });
    EXPECT_FLOAT_EQ(p.x, q.x);
    EXPECT_FLOAT_EQ(p.y, q.y);

    // Another paper than the layout's: the sheet keeps its place from the top-left corner.
    m = VTPrintFunctionClass::SheetTransform(&layout, portrait, 612, 792);
    p = m.TransformPoint({ 0, 0 });
    EXPECT_NEAR(p.x, 105 * k, 1e-3);
    EXPECT_NEAR(p.y, 148.5 * k, 1e-3);

    // A landscape page is turned by -90 degrees about the sheet's centre.
    m = VTPrintFunctionClass::SheetTransform(&layout, landscape, 297 * k, 210 * k);
    p = m.TransformPoint({ 10, 0 });
    EXPECT_NEAR(p.x, 148.5 * k, 1e-3);
    EXPECT_NEAR(p.y, (105 - 10) * k, 1e-3);

    // A disc printer missing from the table gives no sheet: centred on the paper.
    VTLabelLayoutDataDirectToCDDVDStandard disc;
    disc.printerTray = VTPrinterTrayID(9999);
    m = VTPrintFunctionClass::SheetTransform(&disc, *disc.pages.GetHead(), 300, 500);
    p = m.TransformPoint({ 0, 0 });
    EXPECT_NEAR(p.x, 150, 1e-3);
    EXPECT_NEAR(p.y, 250, 1e-3);
}

TEST_F(Print, PaperQuestion)
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    ASSERT_EQ(project.GetLabelLayout()->paperSize, LPaperSizeA4);
    float size[2] = { 100, 100 };
    VTPrintFunctionClass print(&project, project.GetLabelLayout()->pages.GetHead(), size, true);
    const std::string lead = "Den medelstora storlek som du har valt att skriva ut på skiljer sig "
                             "från den medelstora storlek som föreslås i den här mallen.";

    LPrintSettings s;
    s.paperSize = LPaperSizeA4;
    EXPECT_TRUE(print.CanPrint(nullptr, s));
    EXPECT_EQ(gAsked.count, 0);

    // US letter for an A4 layout: the short form.
    s.paperSize = LPaperSizeUSLetter;
    gAsked.answer = false;
    EXPECT_FALSE(print.CanPrint(nullptr, s));
    EXPECT_EQ(gAsked.count, 1);
    EXPECT_EQ(gAsked.text, lead + "\n\nPapper storlek vald: Brev\nPapper storlek föreslås: A4");
    EXPECT_EQ(gAsked.caption, " Utskrift");
    EXPECT_EQ(gAsked.yes, "Fortsätt skriva ut");
    EXPECT_EQ(gAsked.no, "Avbryt");
    gAsked.answer = true;
    EXPECT_TRUE(print.CanPrint(nullptr, s));

    // A5: the dimensions in the user's unit.
    s.paperSize = LPaperSizeA5;
    s.paperWidth = 148;
    s.paperHeight = 210;
    EXPECT_TRUE(print.CanPrint(nullptr, s));
    EXPECT_EQ(gAsked.text,
        lead
            + "\n\nMedium dimensions selected:\n   148.00mm x 210.00mm\n\nMedium size suggested:\n"
              "   Standard A4");
    LSettingSetMeasurementUnit(1);
    EXPECT_TRUE(print.CanPrint(nullptr, s));
    EXPECT_EQ(gAsked.text,
        lead
            + "\n\nMedium dimensions selected:\n   5.83in x 8.27in\n\nMedium size suggested:\n"
              "   Standard A4");

    // A question closed without an answer (Escape, the close box) does not print.
    gAsked.closeInstead = true;
    EXPECT_FALSE(print.CanPrint(nullptr, s));
    gAsked.closeInstead = false;

    // Direct-to-disc layouts are never asked about.
    VTProject disc(new VTLabelLayoutDataDirectToCDDVDStandard);
    VTPrintFunctionClass discPrint(&disc, disc.GetLabelLayout()->pages.GetHead(), size, true);
    const int asked = gAsked.count;
    EXPECT_TRUE(discPrint.CanPrint(nullptr, s));
    EXPECT_EQ(gAsked.count, asked);
}

TEST_F(Print, APageThatDoesNotStartIsSkipped)
{
    auto project = RedProject(new VTLabelLayoutDataGenericCDStandard);
    float size[2] = { 200, 280 };
    VTPrintFunctionClass print(
        project.get(), project->GetLabelLayout()->pages.GetHead(), size, true);
    BrokenSurface surface;
    print.Print(surface);
    EXPECT_EQ(surface.starts, 1);
    EXPECT_EQ(surface.ends, 0);
    EXPECT_EQ(print.GetPageStartError(), -9704);
    EXPECT_EQ(surface.GetPaintContext().GetPlatformContext(), nullptr);

    // Without a page nothing is started.
    VTPrintFunctionClass none(project.get(), nullptr, size, true);
    BrokenSurface untouched;
    none.Print(untouched);
    EXPECT_EQ(untouched.starts, 0);

    // A surface outside a print document cannot start a page.
    LPrintSurface idle;
    EXPECT_NE(idle.StartPage(), 0);
    EXPECT_EQ(idle.GetFailedPageStarts(), 1);
    EXPECT_EQ(idle.GetOpenPages(), 0);
    EXPECT_NE(idle.EndPage(), 0);
}

TEST_F(Print, SettingsForLayouts)
{
    VTLabelLayoutDataGenericCDStandard paper;
    LPrintSettings s;
    VTPrintSettingsForLayout(s, paper, *paper.pages.GetAt(1));
    EXPECT_EQ(s.orientation, LPaperSizeOrientationLandscape);
    EXPECT_EQ(s.paperSize, LPaperSizeA4);
    EXPECT_FALSE(s.paperSizeKnown);
    EXPECT_FALSE(s.imageableSizeKnown);
    EXPECT_EQ(s.firstPage, 1);
    EXPECT_EQ(s.lastPage, 65535);

    VTLabelLayoutDataDirectToCDDVDStandard disc;
    VTPrintSettingsForLayout(s, disc, *disc.pages.GetHead());
    EXPECT_EQ(s.paperSize, LPaperSizeCustom);
    EXPECT_TRUE(s.paperSizeKnown);
    EXPECT_TRUE(s.imageableSizeKnown);
    EXPECT_FLOAT_EQ(s.paperWidth, 131.1f);
    EXPECT_FLOAT_EQ(s.paperHeight, 238.8f);
    EXPECT_FLOAT_EQ(s.imageableWidth, 119.5f);
}

TEST_F(Print, PrintsToFileOnThePapersCoordinates)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto project = RedProject(new VTLabelLayoutDataGenericCDStandard);
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
    LPrintSettings settings;
    VTPrintSettingsForLayout(settings, *project->GetLabelLayout(), *page);
    VTPrintFunctionClass print(project.get(), page, &settings.imageableWidth, true);
    const std::string pdf = PrintToFile("a4.pdf");
    ASSERT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print));
    EXPECT_EQ(gAsked.count, 0);
    EXPECT_EQ(print.GetPageStartError(), 0);

    // What the panel reported came back into the settings: A4 with GTK's unequal margins (top
    // a quarter inch, bottom 0.56 inch), the printable area the sheet less all four.
    EXPECT_EQ(settings.paperSize, LPaperSizeA4);
    EXPECT_TRUE(settings.paperSizeKnown);
    EXPECT_TRUE(settings.imageableSizeKnown);
    EXPECT_NEAR(settings.paperWidth, 210, 0.1);
    EXPECT_NEAR(settings.paperHeight, 297, 0.1);
    EXPECT_NEAR(settings.marginY, 6.35, 0.36); // whole points
    EXPECT_NEAR(settings.imageableHeight, 297 - 6.35 - 14.224, 0.01);
    EXPECT_NEAR(settings.imageableWidth, 210 - 2 * 6.35, 0.01);
    EXPECT_EQ(settings.orientation, LPaperSizeOrientationPortrait);

    const std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    // The sheet's centre sits on the centre of the paper (not of the printable area, which is
    // 11 points higher), a millimetre a millimetre: the disc's red ring reaches 57.5 mm up.
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 590);
    const double k = 72 / 25.4;
    const double cx = 105 * k, cy = 148.5 * k;
    EXPECT_TRUE(IsRed(r.At(int(cx + 40 * k), int(cy))));
    EXPECT_TRUE(IsRed(r.At(int(cx), int(cy - 57 * k))));
    EXPECT_TRUE(IsRed(r.At(int(cx), int(cy + 57 * k))));
    EXPECT_FALSE(IsRed(r.At(int(cx), int(cy - 61 * k))));
    EXPECT_FALSE(IsRed(r.At(int(cx), int(cy + 61 * k))));
    EXPECT_FALSE(IsRed(r.At(int(cx), int(cy))));
}

// A print holds the photos once, as the PDF export does: the page refers to their pixels, and
// each goes onto the paper at its own size in pixels.
TEST_F(Print, PhotosArePrintedFromTheirOwnPixels)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto print = [&](VTProject& project, const char* name) {
        VTLabelLayoutPage* page = project.GetLabelLayout()->pages.GetHead();
        LPrintSettings settings;
        VTPrintSettingsForLayout(settings, *project.GetLabelLayout(), *page);
        VTPrintFunctionClass function(&project, page, &settings.imageableWidth, true);
        const std::string pdf = PrintToFile(name);
        EXPECT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, function));
        return pdf;
    };
    // What the first print costs (the panel, the printers' modules) is not counted.
    auto empty = RedProject(new VTLabelLayoutDataGenericCDStandard);
    print(*empty, "empty.pdf");

    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    const uint64_t pixels = sample::AddPhotos(*project->templates.GetAt(0), 9, 1500, 1001);
    std::string pdf;
    const long long riseKb = PeakRiseKb([&] { pdf = print(*project, "photos.pdf"); });
    if (riseKb < 0)
        GTEST_SKIP() << "the peak resident memory cannot be put back here";
    std::printf("[ memory ] print: peak %lld kB over the project, pictures %llu kB\n", riseKb,
        (unsigned long long)(pixels / 1024));
    EXPECT_LT(uint64_t(riseKb) * 1024, pixels);
    EXPECT_EQ(PdfImages(pdf), std::vector<std::string>(9, "image 1500 1001"));
    // The printed pages hold the pictures no longer.
    for (VTOverlay* o = project->templates.GetAt(0)->first; o; o = o->next)
        EXPECT_EQ(static_cast<VTOverlayImage*>(o)->image->GetRefCount(), 1);
}

// What the panel leaves to the program is made as before: the copies (a photo's pixels once in
// the file, however many copies), and the scale, about the sheet's top-left corner.
TEST_F(Print, CopiesAndScaleChosenInThePanelAreMade)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto project = RedProject(new VTLabelLayoutDataGenericCDStandard);
    sample::AddPhotos(*project->templates.GetAt(0), 2, 300, 200);
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
    auto print = [&](const char* name) {
        LPrintSettings settings;
        VTPrintSettingsForLayout(settings, *project->GetLabelLayout(), *page);
        VTPrintFunctionClass function(project.get(), page, &settings.imageableWidth, true);
        const std::string pdf = PrintToFile(name);
        EXPECT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, function));
        return pdf;
    };
    platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_N_COPIES, "3");
    std::string pdf = print("copies.pdf");
    EXPECT_NE(ShellOutput("pdfinfo '" + pdf + "'").find("Pages:           3\n"), std::string::npos);
    // Every page shows the same two image objects.
    const std::string objects = ShellOutput(
        "pdfimages -list '" + pdf + "' | awk 'NR > 2 { print $1, $11 }' | sort -u | wc -l");
    EXPECT_EQ(std::atoi(objects.c_str()), 6);
    EXPECT_EQ(std::atoi(ShellOutput(
                  "pdfimages -list '" + pdf + "' | awk 'NR > 2 { print $11 }' | sort -u | wc -l")
                            .c_str()),
        2);

    platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_N_COPIES, "1");
    platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_SCALE, "50");
    pdf = print("half.pdf");
    platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_SCALE, "100");
    EXPECT_NE(ShellOutput("pdfinfo '" + pdf + "'").find("Pages:           1\n"), std::string::npos);
    // The disc's red ring, 57.5 mm about the sheet's centre, now about half of it.
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 590);
    const double k = 72 / 25.4;
    const double cx = 105 * k / 2, cy = 148.5 * k / 2;
    EXPECT_TRUE(IsRed(r.At(int(cx + 25 * k), int(cy))));
    EXPECT_FALSE(IsRed(r.At(int(cx + 31 * k), int(cy))));
    EXPECT_FALSE(IsRed(r.At(int(105 * k + 40 * k), int(148.5 * k))));
}

TEST_F(Print, TrayAndLandscapePagesSetTheirPaper)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    // A disc printer's tray as the paper: 131.1 x 238.8 mm, no paper question.
    ASSERT_TRUE(VTOptions::PrinterTrayIDSet(36));
    auto disc = RedProject(new VTLabelLayoutDataDirectToCDDVDStandard);
    VTLabelLayoutPage* page = disc->GetLabelLayout()->pages.GetHead();
    LPrintSettings settings;
    VTPrintSettingsForLayout(settings, *disc->GetLabelLayout(), *page);
    VTPrintFunctionClass print(disc.get(), page, &settings.imageableWidth, true);
    std::string pdf = PrintToFile("tray.pdf");
    ASSERT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print));
    EXPECT_EQ(gAsked.count, 0);
    EXPECT_EQ(settings.paperSize, LPaperSizeCustom);
    std::string info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Page size:       371.622 x 676.913 pts"), std::string::npos) << info;

    // The CD case front's landscape page.
    auto cd = RedProject(new VTLabelLayoutDataGenericCDStandard);
    page = cd->GetLabelLayout()->pages.GetAt(1);
    VTPrintSettingsForLayout(settings, *cd->GetLabelLayout(), *page);
    VTPrintFunctionClass front(cd.get(), page, &settings.imageableWidth, true);
    pdf = PrintToFile("front.pdf");
    ASSERT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, front));
    EXPECT_EQ(settings.orientation, LPaperSizeOrientationLandscape);
    info = ShellOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("841.89 x 595.276 pts"), std::string::npos) << info;
    RgbRaster r = RenderPdfPage(pdf);
    const double k = 72 / 25.4;
    const double cx = 148.5 * k, cy = 105 * k;
    ASSERT_GT(r.width, 800);
    EXPECT_TRUE(IsRed(r.At(int(cx + 100 * k), int(cy + 40 * k))));
    EXPECT_TRUE(IsRed(r.At(int(cx - 100 * k), int(cy - 40 * k))));
    EXPECT_FALSE(IsRed(r.At(int(cx + 100 * k), int(cy + 65 * k))));
    EXPECT_FALSE(IsRed(r.At(int(cx - 100 * k), int(cy - 65 * k))));
}

TEST_F(Print, ARefusedPaperPrintsNothing)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto project = RedProject(new VTLabelLayoutDataGenericCDStandard);
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
    LPrintSettings settings;
    VTPrintSettingsForLayout(settings, *project->GetLabelLayout(), *page);
    settings.paperSize = LPaperSizeA5; // the panel is preset with other paper than the layout's
    VTPrintFunctionClass print(project.get(), page, &settings.imageableWidth, true);
    gAsked.answer = false;
    const std::string pdf = PrintToFile("refused.pdf");
    EXPECT_FALSE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print));
    EXPECT_EQ(gAsked.count, 1);
    EXPECT_NE(gAsked.text.find("148.00mm x 210.00mm"), std::string::npos) << gAsked.text;
    // The settings keep what the panel reported.
    EXPECT_EQ(settings.paperSize, LPaperSizeA5);
    EXPECT_TRUE(settings.paperSizeKnown);
    uitest::Pump(100);
    EXPECT_NE(access(pdf.c_str(), F_OK), 0);
}

namespace {

// The window titled so among the application's windows; null when none.
GtkWindow* FindWindowTitled(const char* title)
{
    GtkWindow* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
        if (t && std::strcmp(t, title) == 0 && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            found = GTK_WINDOW(l->data);
    }
    g_list_free(windows);
    return found;
}

// Runs the work on the window's thread, which turns its loop while the print's worker paints,
// and waits for it.
void OnWindowThread(const std::function<void()>& work)
{
    std::promise<void> done;
    auto call = std::make_pair(&work, &done);
    g_idle_add(
        +[](gpointer data) -> gboolean {
            auto* c = static_cast<decltype(call)*>(data);
            (*c->first)();
            c->second->set_value();
            return G_SOURCE_REMOVE;
        },
        &call);
    done.get_future().wait();
}

// Paints under the progress window; optionally the user cancels it before the page starts. The
// pages are painted on a worker: the windows are looked at on the window's thread.
struct WatchedPrint : VTPrintFunctionClass {
    using VTPrintFunctionClass::VTPrintFunctionClass;
    bool cancel = false;
    bool sawProgress = false;
    unsigned modal = 0;
    void Print(LPrintSurface& surface) override
    {
        OnWindowThread([&] {
            GtkWindow* progress = FindWindowTitled("Skriver ut");
            sawProgress = progress != nullptr;
            modal = LModalCounter::Count();
            if (cancel && progress)
                gtk_window_close(progress); // the window's close is Cancel
        });
        // The window's thread takes the stop in its own time.
        for (int i = 0; cancel && sawProgress && i < 500 && !surface.IsStopped(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        VTPrintFunctionClass::Print(surface);
    }
};

} // namespace

TEST_F(Print, PaintingRunsUnderAProgressWindowWhoseCancelStopsThePrint)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    auto project = RedProject(new VTLabelLayoutDataGenericCDStandard);
    VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
    LPrintSettings settings;
    VTPrintSettingsForLayout(settings, *project->GetLabelLayout(), *page);
    {
        WatchedPrint print(project.get(), page, &settings.imageableWidth, true);
        const std::string pdf = PrintToFile("shown.pdf");
        EXPECT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print));
        EXPECT_TRUE(print.sawProgress);
        EXPECT_GE(print.modal, 1u);
        EXPECT_EQ(FindWindowTitled("Skriver ut"), nullptr);
    }
    WatchedPrint print(project.get(), page, &settings.imageableWidth, true);
    print.cancel = true;
    const std::string pdf = PrintToFile("cancelled.pdf");
    EXPECT_FALSE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print));
    EXPECT_TRUE(print.sawProgress);
    EXPECT_NE(print.GetPageStartError(), 0);
    EXPECT_EQ(FindWindowTitled("Skriver ut"), nullptr);
    EXPECT_EQ(LModalCounter::Count(), 0u);
    std::ifstream written(pdf, std::ios::binary | std::ios::ate);
    EXPECT_TRUE(!written || written.tellg() <= 0) << "a cancelled print wrote its file";
}
