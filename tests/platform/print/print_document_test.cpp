// The print document: which pages go onto the sheets and how, read back from the PDF it makes
// (pdftotext for the pages' numbers, pdftoppm for where a page's corner lies on its sheet).
#include "platform/print/Print.h"
#include "support/CommandOutput.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using platform::print::Document;
using platform::print::Sheets;

namespace {

bool HasPoppler()
{
    return CommandOutput("command -v pdftotext && command -v pdftoppm").find("pdftoppm")
        != std::string::npos;
}

Sheets Portrait()
{
    Sheets sheets;
    sheets.paperWidth = sheets.pageWidth = 200;
    sheets.paperHeight = sheets.pageHeight = 300;
    return sheets;
}

// Paints pages 1 to count, each with its number, and finishes; the PDF, "" when it failed.
std::string Print(const Sheets& sheets, int count, const std::string& folder)
{
    Document document(sheets, folder);
    if (!document.IsValid())
        return "";
    for (int page = 1; page <= count; ++page) {
        int error = 0;
        cairo_t* cr = document.BeginPage(error);
        if (!cr)
            return "";
        cairo_move_to(cr, 20, 60);
        cairo_set_font_size(cr, 30);
        cairo_show_text(cr, ("S" + std::to_string(page)).c_str());
        if (document.EndPage() != 0)
            return "";
    }
    if (document.Finish() != 0)
        return "";
    std::string pdf;
    char buffer[4096];
    ssize_t n;
    while ((n = read(document.GetFileDescriptor(), buffer, sizeof buffer)) > 0)
        pdf.append(buffer, size_t(n));
    return pdf;
}

// The numbers of the pages on the PDF's sheets, in order ("S2 S4").
std::string PagesOf(const std::string& pdf, const std::string& folder)
{
    const std::string path = folder + "/pages.pdf";
    std::ofstream(path, std::ios::binary) << pdf;
    std::string text = CommandOutput("pdftotext " + path + " - 2>/dev/null", nullptr, 60);
    std::string pages;
    for (size_t at = text.find('S'); at != std::string::npos; at = text.find('S', at + 1)) {
        size_t end = at + 1;
        while (end < text.size() && std::isdigit((unsigned char)text[end]))
            ++end;
        pages += (pages.empty() ? "" : " ") + text.substr(at, end - at);
    }
    unlink(path.c_str());
    return pages;
}

class PrintDocument : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasPoppler())
            GTEST_SKIP() << "no pdftotext or pdftoppm";
        ASSERT_FALSE(folder.Path().empty());
    }
    TemporaryFolder folder;
};

} // namespace

// Odd and even count the pages chosen, the first of them odd: alone and inside a range.
TEST_F(PrintDocument, OddAndEvenPages)
{
    Sheets sheets = Portrait();
    sheets.pageSet = 1;
    EXPECT_EQ(PagesOf(Print(sheets, 5, folder.Path()), folder.Path()), "S2 S4");
    sheets.pageSet = 2;
    EXPECT_EQ(PagesOf(Print(sheets, 5, folder.Path()), folder.Path()), "S1 S3 S5");
    // Pages 2 to 5 chosen: their first and third are the odd ones.
    sheets.ranges = { { 1, 4 } };
    EXPECT_EQ(PagesOf(Print(sheets, 5, folder.Path()), folder.Path()), "S2 S4");
    sheets.pageSet = 1;
    EXPECT_EQ(PagesOf(Print(sheets, 5, folder.Path()), folder.Path()), "S3 S5");
}

// A landscape or upside-down page turned onto the upright sheet: the page's top-left corner lies
// where the turn puts it, and the sheet stays upright.
TEST_F(PrintDocument, TurnedSheets)
{
    struct Turn {
        int orientation;
        int x, y; // a point of the page's corner mark on the 200 x 300 sheet
        const char* corner;
    };
    const Turn turns[] = {
        { 0, 10, 10, "top left" },
        { 1, 10, 290, "bottom left" },
        { 2, 190, 290, "bottom right" },
        { 3, 190, 10, "top right" },
    };
    for (const Turn& turn : turns) {
        Sheets sheets = Portrait();
        sheets.orientation = turn.orientation;
        sheets.turn = true;
        if (turn.orientation % 2 == 1)
            std::swap(sheets.pageWidth, sheets.pageHeight);
        Document document(sheets, folder.Path());
        int error = 0;
        cairo_t* cr = document.BeginPage(error);
        ASSERT_TRUE(cr) << error;
        cairo_rectangle(cr, 0, 0, 40, 30);
        cairo_fill(cr);
        ASSERT_EQ(document.EndPage(), 0);
        ASSERT_EQ(document.Finish(), 0);
        const std::string pdf = folder.Path() + "/turned.pdf";
        {
            std::ofstream out(pdf, std::ios::binary);
            char buffer[4096];
            ssize_t n;
            while ((n = read(document.GetFileDescriptor(), buffer, sizeof buffer)) > 0)
                out.write(buffer, n);
        }
        // One grey byte per point: P5 header, then 200 x 300 pixels.
        const std::string pgm
            = CommandOutput("pdftoppm -r 72 -gray " + pdf + " 2>/dev/null", nullptr, 60);
        const std::string header = "P5\n200 300\n255\n";
        ASSERT_EQ(pgm.substr(0, header.size()), header)
            << "orientation " << turn.orientation << ": the sheet is not 200 x 300 upright";
        const std::string pixels = pgm.substr(header.size());
        ASSERT_EQ(pixels.size(), 200u * 300u);
        auto dark = [&](int x, int y) { return (unsigned char)pixels[size_t(y) * 200 + x] < 128; };
        int marks = 0;
        for (int y : { 10, 290 })
            for (int x : { 10, 190 })
                marks += dark(x, y);
        EXPECT_TRUE(dark(turn.x, turn.y)) << "orientation " << turn.orientation << ": the "
                                          << turn.corner << " corner is not the page's";
        EXPECT_EQ(marks, 1) << "orientation " << turn.orientation;
        unlink(pdf.c_str());
    }
}

// A stopped document starts no page, writes nothing more and finishes as stopped, not failed.
TEST_F(PrintDocument, AStoppedDocument)
{
    Document document(Portrait(), folder.Path());
    int error = 0;
    cairo_t* cr = document.BeginPage(error);
    ASSERT_TRUE(cr);
    cairo_paint(cr);
    ASSERT_EQ(document.EndPage(), 0);
    struct stat before { };
    fstat(document.GetFileDescriptor(), &before);
    document.Stop();
    EXPECT_TRUE(document.Stopped());
    EXPECT_EQ(document.BeginPage(error), nullptr);
    EXPECT_EQ(error, Document::kErrorStopped);
    EXPECT_FALSE(document.NextPass());
    EXPECT_EQ(document.Finish(), Document::kErrorStopped);
    struct stat after { };
    fstat(document.GetFileDescriptor(), &after);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(document.GetSheetCount(), 0);
    EXPECT_EQ(document.GetErrorText(), "");
}

// A page that cannot start while another is open costs nothing: the open page is printed, and
// the pages after it count as if the failure had not been.
TEST_F(PrintDocument, APageThatFailsToStart)
{
    Sheets sheets = Portrait();
    sheets.pageSet = 1;
    Document document(sheets, folder.Path());
    int error = 0;
    EXPECT_EQ(document.EndPage(), Document::kErrorNoPage);
    for (int page = 1; page <= 4; ++page) {
        cairo_t* cr = document.BeginPage(error);
        ASSERT_TRUE(cr) << page;
        EXPECT_EQ(document.BeginPage(error), nullptr) << page;
        EXPECT_EQ(error, Document::kErrorPageOpen) << page;
        cairo_move_to(cr, 20, 60);
        cairo_set_font_size(cr, 30);
        cairo_show_text(cr, ("S" + std::to_string(page)).c_str());
        ASSERT_EQ(document.EndPage(), 0) << page;
    }
    ASSERT_EQ(document.Finish(), 0);
    EXPECT_EQ(document.GetSheetCount(), 2);
    std::string pdf;
    char buffer[4096];
    ssize_t n;
    while ((n = read(document.GetFileDescriptor(), buffer, sizeof buffer)) > 0)
        pdf.append(buffer, size_t(n));
    EXPECT_EQ(PagesOf(pdf, folder.Path()), "S2 S4");
}
