// "Spara som..." > "Pdf" and "Bild" through the whole program to paths longer than 259 bytes: the
// path typed (or, thousands of bytes long, pasted) into the save panel is where the file appears,
// and nowhere else; the panel starts next time in the folder it remembered whole. Screenshots are
// kept in <build>/e2e-export-long-paths. Runs once more at a backing scale of 2 (VT_ALSO_SCALED).
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/ScreenShots.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-export-long-paths";

// A path of exactly length bytes under base ending in ".extension", its folder made. Its folders'
// names are of a length that the panel's row of folder buttons keeps within the screen.
std::string LongPath(const std::string& base, size_t length, const std::string& extension)
{
    const std::string folder = DeepFolder(base, length - 20, 40);
    const size_t name = length - folder.size() - 1 - extension.size() - 1;
    return folder + "/" + std::string(name, 'x') + "." + extension;
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

// The files under the folder, whatever their depth, sorted.
std::vector<std::string> FilesUnder(const std::string& folder)
{
    std::istringstream in(Shell("find " + Quote(folder) + " -type f | LC_ALL=C sort"));
    std::vector<std::string> files;
    for (std::string line; std::getline(in, line);)
        files.push_back(line);
    return files;
}

std::string Stored(const char* key)
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString("Settings", key, "", value);
    return value.c_str();
}

// Arkiv > "Spara som..." > "Pdf" or "Bild" (the project is saved, so "Spara" is off and skipped).
void ExportPdf(unsigned long xid)
{
    KeysTo(xid, "F10 Right Down Down Down Right Down");
    Keys("Return");
}

void ExportImage(unsigned long xid)
{
    KeysTo(xid, "F10 Right Down Down Down Right Down Down");
    Keys("Return");
}

// A one-page PDF.
bool IsPdf(const std::string& path)
{
    return Shell("pdfinfo " + Quote(path) + " 2>/dev/null | sed -n 's/^Pages: *//p'") == "1";
}

// A PNG picture at 300 pixels per inch.
bool IsPng(const std::string& path)
{
    return Shell("identify -units PixelsPerInch -format '%m %x' " + Quote(path) + " 2>/dev/null")
        == "PNG 300";
}

// The whole path typed into the name field of the panel that shows, as TypeIntoFilePanel does,
// with a shorter pause between the keys: the panel takes them in the order they come, and a
// path of 300 bytes typed at 20 ms a key spent five seconds of the test on typing alone.
bool TypeLongPathIntoFilePanel(const std::string& title, const std::string& path)
{
    if (!WaitWindowNamed(title))
        return false;
    const std::string panel = Shell("xdotool search --onlyvisible --name "
        + Quote("^" + title + "$") + " 2>/dev/null | head -1");
    if (panel.empty() || !XServerView().WaitSettled(std::stoul(panel), 200))
        return false;
    Keys("ctrl+a");
    Shell("xdotool type --delay 2 " + Quote(path));
    Keys("Return");
    return WaitFor([&] { return !WindowShows(title); }, 8000, 50);
}

} // namespace

TEST(ExportLongPaths, PdfAndPictureAppearExactlyAtTheLongPathGiven)
{
    if (!HasTools() || Shell("command -v xclip").empty() || Shell("command -v pdfinfo").empty())
        GTEST_SKIP() << "no display, xdotool, xclip or pdfinfo";
    Session s;
    const std::string project = SaveSample(s.dir + "/skiva.vtproj");
    auto first = std::make_unique<Program>(std::vector<std::string> { project });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    ASSERT_TRUE(XServerView().WaitSettled(xid));

    for (size_t length : { size_t(300), size_t(4000) }) {
        SCOPED_TRACE(length);
        const bool paste = length > 1000;
        auto give = [&](const std::string& title, const std::string& path) {
            return paste ? PasteIntoFilePanel(title, path) : TypeLongPathIntoFilePanel(title, path);
        };
        const std::string base = s.dir + "/" + std::to_string(length);
        const std::string pdf = LongPath(base + "/pdf", length, "pdf");
        ASSERT_EQ(pdf.size(), length);
        ForgetAlert(s.rects);
        ExportPdf(xid);
        ASSERT_TRUE(give("Spara som PDF", pdf));
        ASSERT_TRUE(WaitFile(pdf)) << AlertText(s.rects, 500);
        // The export ends with its folder remembered.
        WaitFor([&] { return IsPdf(pdf) && Stored("SavePDFFolder") == FolderOf(pdf); }, 15000, 100);
        EXPECT_TRUE(IsPdf(pdf));
        EXPECT_EQ(FilesUnder(base + "/pdf"), std::vector<std::string> { pdf });
        EXPECT_EQ(Stored("SavePDFFolder"), FolderOf(pdf));

        const std::string png = LongPath(base + "/bild", length, "png");
        ASSERT_EQ(png.size(), length);
        ExportImage(xid);
        ASSERT_TRUE(give("Exportera till bild", png));
        ASSERT_TRUE(WaitFile(png)) << AlertText(s.rects, 500);
        WaitFor([&] { return IsPng(png) && Stored("ImageFolder") == FolderOf(png); }, 15000, 100);
        EXPECT_TRUE(IsPng(png));
        EXPECT_EQ(FilesUnder(base + "/bild"), std::vector<std::string> { png });
        EXPECT_EQ(Stored("ImageFolder"), FolderOf(png));
        EXPECT_EQ(AlertText(s.rects, 300), "");
    }

    // The panels start in the remembered 4,000-byte folders: a bare name lands there.
    const std::string pdfFolder = Stored("SavePDFFolder"), pngFolder = Stored("ImageFolder");
    ExportPdf(xid);
    ASSERT_TRUE(WaitWindowNamed("Spara som PDF"));
    // The panel has listed the folder it starts in.
    const std::string panel
        = Shell("xdotool search --onlyvisible --name '^Spara som PDF$' | head -1");
    ASSERT_FALSE(panel.empty());
    EXPECT_TRUE(XServerView().WaitSettled(std::stoul(panel), 500));
    ScreenShot("pdf-panel-in-remembered-folder", kShots);
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", "igen.pdf"));
    EXPECT_TRUE(WaitFile(pdfFolder + "/igen.pdf"));
    WaitFor([&] { return IsPdf(pdfFolder + "/igen.pdf"); }, 15000, 100);
    EXPECT_TRUE(IsPdf(pdfFolder + "/igen.pdf"));
    ExportImage(xid);
    ASSERT_TRUE(TypeIntoFilePanel("Exportera till bild", "igen.png"));
    EXPECT_TRUE(WaitFile(pngFolder + "/igen.png"));
    WaitFor([&] { return IsPng(pngFolder + "/igen.png"); }, 15000, 100);
    EXPECT_TRUE(IsPng(pngFolder + "/igen.png"));

    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}
