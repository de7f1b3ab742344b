// Every output on the paper's true size, measured from the files: the PDF export's page is the
// paper at its size in points (not whole points), the image export has the paper's size in
// pixels, and every disc lies where the design puts it, within 0.05 mm, on A4 and on Letter,
// Legal and Tabloid (whose sizes are whole in inches, not in millimetres): in the PDF export and
// the print (through GTK's print-to-file printer) rendered at 1200 dpi by pdftoppm, in the
// picture read back by ImageMagick.
#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTOptions.h"
#include "app/VTPrintFunction.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/print/Print.h"
#include "support/DocumentTestSupport.h"
#include "support/PrintPanel.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kMaxOffsetMm = 0.05;
constexpr double kMmPerInch = 25.4;

LBrushInfo* Red()
{
    auto* brush = new LBrushInfo;
    brush->kind = LBrushInfoKindSolid;
    brush->color = LGuiColorAlpha::FromRGBA8(255, 0, 0, 255);
    return brush;
}

// The red of a line of pixels (8-bit RGB) as weights: white paper is 0, full red 1.
std::vector<double> Redness(const std::string& rgb)
{
    std::vector<double> w;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        w.push_back((255.0 - static_cast<unsigned char>(rgb[i + 1])) / 255.0);
    return w;
}

// The middle of the red along a line of pixels, in pixels from its start (NaN without red): for
// a line through a disc, the disc's centre on it, to a small part of a pixel.
double Centroid(const std::vector<double>& w)
{
    double sum = 0, moment = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        sum += w[i];
        moment += w[i] * (double(i) + 0.5);
    }
    return sum > 0 ? moment / sum : std::nan("");
}

// A line of pixels of the page: a strip 1 pixel high (horizontal) or wide, starting at pixel
// (x, y), length pixels long.
using LineReader = std::function<std::string(int x, int y, int length, bool horizontal)>;

// A PDF's first page at 1200 dpi, a strip at a time (pdftoppm renders only the strip).
LineReader PdfLines(const std::string& pdf)
{
    return [pdf](int x, int y, int length, bool horizontal) {
        const std::string base = pdf + "-strip";
        ShellOutput("pdftoppm -r 1200 -x " + std::to_string(x) + " -y " + std::to_string(y) + " -W "
            + std::to_string(horizontal ? length : 1) + " -H "
            + std::to_string(horizontal ? 1 : length) + " -singlefile '" + pdf + "' '" + base
            + "' 2>&1");
        const std::string ppm = TemporaryFolder::ReadFile(base + ".ppm");
        std::remove((base + ".ppm").c_str());
        // After the header's three numbers and one blank.
        size_t at = 0;
        for (int fields = 0; fields < 4 && at < ppm.size(); ++fields) {
            at = ppm.find_first_of(" \n", at);
            at = at == std::string::npos ? ppm.size() : at + 1;
        }
        return ppm.substr(std::min(at, ppm.size()));
    };
}

// A picture's pixels a strip at a time, read by ImageMagick.
LineReader PictureLines(const std::string& picture)
{
    return [picture](int x, int y, int length, bool horizontal) {
        const std::string raw = picture + "-strip.rgb";
        const std::string size
            = horizontal ? std::to_string(length) + "x1" : "1x" + std::to_string(length);
        ShellOutput("convert '" + picture + "' -crop " + size + "+" + std::to_string(x) + "+"
            + std::to_string(y) + " +repage -depth 8 'rgb:" + raw + "' 2>&1");
        const std::string rgb = TemporaryFolder::ReadFile(raw);
        std::remove(raw.c_str());
        return rgb;
    };
}

struct Offset {
    double x = 0, y = 0; // measured minus designed, mm (y down)
};

// Where the disc centred at (cx, cy) mm from the paper's top-left corner lies in an output of
// dpi pixels per inch: measured minus designed. The disc is at most 126 mm across.
Offset MeasureDisc(const LineReader& read, double dpi, double cx, double cy)
{
    const double k = dpi / kMmPerInch;
    const int reach = int(63 * k);
    const int px = int(std::floor(cx * k)), py = int(std::floor(cy * k));
    const double across = Centroid(Redness(read(px - reach, py, 2 * reach, true)));
    const double down = Centroid(Redness(read(px, py - reach, 2 * reach, false)));
    return Offset { (px - reach + across) / k - cx, (py - reach + down) / k - cy };
}

// The page's size in points as pdfinfo gives it.
bool PageSize(const std::string& pdf, double& width, double& height)
{
    const std::string info = ShellOutput("pdfinfo '" + pdf + "' 2>/dev/null");
    const size_t at = info.find("Page size:");
    return at != std::string::npos
        && std::sscanf(info.c_str() + at, "Page size: %lf x %lf", &width, &height) == 2;
}

struct Sheet {
    const char* name;
    LPaperSizeID paper;
    double width, height; // the paper, mm
    std::function<VTLabelLayout*()> make;
};

VTLabelLayout* GenericCd(LPaperSizeID paper)
{
    VTOptions::PaperSizeIDSet(paper);
    return new VTLabelLayoutDataGenericCDStandard;
}

const std::vector<Sheet>& Sheets()
{
    static const std::vector<Sheet> sheets = {
        { "A4", LPaperSizeA4, 210, 297, [] { return GenericCd(LPaperSizeA4); } },
        { "A4 två skivor", LPaperSizeA4, 210, 297,
            [] { return new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace("a", "a"); } },
        { "Letter", LPaperSizeUSLetter, 215.9, 279.4,
            [] { return GenericCd(LPaperSizeUSLetter); } },
        { "Letter två skivor", LPaperSizeUSLetter, 215.9, 279.4,
            [] { return new VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace("l", "l"); } },
        { "Legal", LPaperSizeUSLegal, 215.9, 355.6, [] { return GenericCd(LPaperSizeUSLegal); } },
        { "Tabloid", LPaperSizeUSTabloid, 279.4, 431.8,
            [] { return GenericCd(LPaperSizeUSTabloid); } },
    };
    return sheets;
}

struct Recorder : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

class PaperOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        LSettingSetMeasurementUnit(0);
    }

    // A project on the sheet's layout with every design red.
    static std::unique_ptr<VTProject> RedProject(const Sheet& sheet)
    {
        auto project = std::make_unique<VTProject>(sheet.make());
        for (VTProjectTemplate& design : project->templates)
            design.backgroundBrush.Reset(Red());
        return project;
    }

    // Every disc of the first page measured in the output: each offset within 0.05 mm.
    static void ExpectDiscsInPlace(const Sheet& sheet, VTProject& project, const LineReader& read,
        double dpi, const char* output)
    {
        const VTLabelLayoutPage& page = *project.GetLabelLayout()->pages.GetHead();
        int discs = 0;
        for (const VTLabelLayoutTemplate* p = page.first; p; p = p->next) {
            if (p->GetFormat() != VTTemplateFormatDisc)
                continue;
            ++discs;
            const Offset d = MeasureDisc(
                read, dpi, sheet.width / 2 + p->centreX, sheet.height / 2 + p->centreY);
            ::testing::Test::RecordProperty(
                std::string(sheet.name) + " " + output + " disc " + std::to_string(discs),
                "dx " + std::to_string(d.x) + " mm, dy " + std::to_string(d.y) + " mm");
            EXPECT_LE(std::fabs(d.x), kMaxOffsetMm)
                << sheet.name << ", " << output << ", disc " << discs << ": " << d.x << " mm";
            EXPECT_LE(std::fabs(d.y), kMaxOffsetMm)
                << sheet.name << ", " << output << ", disc " << discs << ": " << d.y << " mm";
        }
        EXPECT_GT(discs, 0) << sheet.name;
    }

    TemporaryFolder m_folder;
};

} // namespace

// The PDF export's page is the paper in points, whole or not, in both orientations; its discs
// lie where the design puts them.
TEST_F(PaperOutput, PdfPagesHaveThePapersSizeAndTheDiscsTheirPlace)
{
    for (const Sheet& sheet : Sheets()) {
        auto project = RedProject(sheet);
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
        const std::string pdf = m_folder / "sheet.pdf";
        VTExport record;
        record.targetPath = pdf.c_str();
        record.project = project.get();
        record.page = page;
        Recorder job;
        ASSERT_EQ(Process(job, record), LProcessResultSuccess) << job.error;
        double w = 0, h = 0;
        ASSERT_TRUE(PageSize(pdf, w, h)) << sheet.name;
        ::testing::Test::RecordProperty(std::string(sheet.name) + " PDF page",
            std::to_string(w) + " x " + std::to_string(h) + " pt");
        EXPECT_NEAR(w, sheet.width / kMmPerInch * 72, 0.01) << sheet.name;
        EXPECT_NEAR(h, sheet.height / kMmPerInch * 72, 0.01) << sheet.name;
        ExpectDiscsInPlace(sheet, *project, PdfLines(pdf), 1200, "PDF");

        // The landscape page of the generic layouts: the paper turned.
        record.page = project->GetLabelLayout()->pages.GetAt(1);
        if (!record.page || record.page->orientation != LPaperSizeOrientationLandscape)
            continue;
        ASSERT_EQ(Process(job, record), LProcessResultSuccess) << job.error;
        ASSERT_TRUE(PageSize(pdf, w, h)) << sheet.name;
        ::testing::Test::RecordProperty(std::string(sheet.name) + " PDF landscape page",
            std::to_string(w) + " x " + std::to_string(h) + " pt");
        EXPECT_NEAR(w, sheet.height / kMmPerInch * 72, 0.01) << sheet.name;
        EXPECT_NEAR(h, sheet.width / kMmPerInch * 72, 0.01) << sheet.name;
    }
}

// The picture has the paper's size in pixels at 300 pixels an inch (Letter 2550 x 3300, from
// its true 8.5 x 11 inches), its discs in place.
TEST_F(PaperOutput, PicturesHaveThePapersSizeInPixelsAndTheDiscsTheirPlace)
{
    for (const Sheet& sheet : Sheets()) {
        auto project = RedProject(sheet);
        const std::string png = m_folder / "sheet.png";
        VTImageExport record;
        record.targetPath = png.c_str();
        record.project = project.get();
        record.page = project->GetLabelLayout()->pages.GetHead();
        record.pixelsPerInch = 300;
        Recorder job;
        ASSERT_EQ(Process(job, record), LProcessResultSuccess) << job.error;
        const std::string size = ShellOutput("identify -format '%w x %h' '" + png + "'");
        ::testing::Test::RecordProperty(std::string(sheet.name) + " picture", size + " px");
        const int w = int(std::ceil(sheet.width / kMmPerInch * 300 - 1e-3));
        const int h = int(std::ceil(sheet.height / kMmPerInch * 300 - 1e-3));
        EXPECT_EQ(size, std::to_string(w) + " x " + std::to_string(h)) << sheet.name;
        ExpectDiscsInPlace(sheet, *project, PictureLines(png), 300, "bild");
    }
}

// Printed through GTK's print-to-file printer on the layout's own paper, the discs of A4 and
// Letter lie where the design puts them.
TEST_F(PaperOutput, PrintsPutTheDiscsInTheirPlace)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
    int prints = 0;
    for (const Sheet& sheet : Sheets()) {
        if (sheet.paper != LPaperSizeA4 && sheet.paper != LPaperSizeUSLetter)
            continue;
        auto project = RedProject(sheet);
        VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetHead();
        LPrintSettings settings;
        VTPrintSettingsForLayout(settings, *project->GetLabelLayout(), *page);
        VTPrintFunctionClass print(project.get(), page, &settings.imageableWidth, true);
        // A file of its own each time: the print panel would ask before replacing one.
        const std::string pdf = m_folder / ("print-" + std::to_string(++prints) + ".pdf");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_PRINTER, "Print to File");
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_URI, ("file://" + pdf).c_str());
        platform::print::SharedSettingSet(GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
        g_timeout_add(20, AnswerPrintPanel, nullptr);
        ASSERT_TRUE(LPrinter::PrintToPrinterWithSettingsV(nullptr, settings, print)) << sheet.name;
        EXPECT_EQ(settings.paperSize, sheet.paper) << sheet.name;
        double w = 0, h = 0;
        ASSERT_TRUE(PageSize(pdf, w, h)) << sheet.name;
        EXPECT_NEAR(w, sheet.width / kMmPerInch * 72, 0.01) << sheet.name;
        EXPECT_NEAR(h, sheet.height / kMmPerInch * 72, 0.01) << sheet.name;
        ExpectDiscsInPlace(sheet, *project, PdfLines(pdf), 1200, "utskrift");
    }
}

// The sheet a Letter layout is placed on is the paper: 215.9 x 279.4 mm, not the table's 216 x
// 279, for the exports, the print and the preview alike.
TEST(PaperSheet, LetterSheetIsThePaper)
{
    VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace letter("l", "l");
    float w = 0, h = 0;
    VTSheetBox(&letter, *letter.pages.GetHead(), w, h);
    EXPECT_FLOAT_EQ(w, 215.9f);
    EXPECT_FLOAT_EQ(h, 279.4f);
    letter.GetPageDimensions(w, h);
    EXPECT_FLOAT_EQ(w, 215.9f);
    EXPECT_FLOAT_EQ(h, 279.4f);
    EXPECT_EQ(LPaperSizeArray[LPaperSizeUSLetter].width, 216);
    EXPECT_EQ(LPaperSizeArray[LPaperSizeUSLetter].height, 279);

    // The distances to the paper's edges that the preview and the layout editor show add up to
    // the paper with the position's box.
    const VTLabelLayoutPage& page = *letter.pages.GetHead();
    VTTemplatePanelValues values;
    VTTemplatePanelValuesGet(letter, &page, page.first, values);
    float ex = 0, ey = 0;
    VTLabelLayoutTemplateHalfExtent(*page.first, ex, ey);
    EXPECT_NEAR(values.edges[0] + values.edges[3] + 2 * ey, 279.4, 1e-3); // top, bottom
    EXPECT_NEAR(values.edges[1] + values.edges[2] + 2 * ex, 215.9, 1e-3); // left, right
    EXPECT_NEAR(values.edges[0], 279.4 / 2 + page.first->centreY - ey, 1e-3);
}
