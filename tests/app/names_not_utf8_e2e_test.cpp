// File names that are not UTF-8 (Latin-1, legal on Linux) through the whole program, driven with
// keys as a person drives it, under openbox too (VT_WINDOW_MANAGER): a folder holding
// "f\xe5r.vtproj", "\xf6ppna.vtproj" and "\xe9t\xe9.jpg". Ctrl+O lists both projects and opens
// the one chosen in the list; "Lägg till bilder" lists the picture and adds it. "Spara som..." >
// "Pdf", "Bild" and "Projekt" of "f\xe5r.vtproj" propose its name as the caption shows it (bad
// bytes replaced by U+FFFD), show no error of the toolkit, and save under the whole name kept.
// Screenshots of the panels are kept in <build>/e2e-names-not-utf8.
#include "app/VTOptions.h"
#include "app/VTOverlayImage.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/ScreenShots.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-names-not-utf8";

// The folder of the three Latin-1 names (the projects marked with a text each), where the open
// and save panels start.
struct Latin1Folder {
    explicit Latin1Folder(Session& s)
        : path(s.dir + "/latin1")
        , far(path + "/f\xe5r.vtproj")
        , oppna(path + "/\xf6ppna.vtproj")
        , ete(path + "/\xe9t\xe9.jpg")
    {
        EXPECT_EQ(Shell("mkdir -p " + Quote(path) + " && echo ok"), "ok");
        SaveMarked(far, "far-projektet");
        SaveMarked(oppna, "oppna-projektet");
        TemporaryFolder::WriteFile(
            ete, TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/images/rgb300.jpg"));
        for (const char* key : { kVTOptionsRecentFolderProject, kVTOptionsRecentFolderImage,
                 "SavePDFFolder", "ImageFolder" })
            LUserSettingSetString("Settings", key, path.c_str());
    }
    std::string path, far, oppna, ete;
};

// The panel of that title once it has the keys and has listed its folder; a screenshot kept.
bool PanelReady(const std::string& title)
{
    if (!WaitKeysGoTo(title))
        return false;
    const std::string panel = Shell("xdotool search --onlyvisible --name "
        + Quote("^" + title + "$") + " 2>/dev/null | head -1");
    if (panel.empty() || !XServerView().WaitSettled(std::stoul(panel), 300))
        return false;
    std::string shot = title;
    std::replace(shot.begin(), shot.end(), ' ', '-');
    ScreenShot(shot, kShots);
    return true;
}

// Keys to the main window (once no other window of the program shows) that open a file panel,
// and then the keys that answer a menu they opened: whether the panel of that title came and is
// ready (PanelReady). Once more when it did not.
bool OpenPanel(unsigned long xid, const std::string& keys, const std::string& title,
    const std::string& then = "")
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        WaitFor(MainWindowAlone, 5000, 50);
        KeysTo(xid, keys);
        if (!then.empty())
            Keys(then);
        if (PanelReady(title))
            return true;
        Keys("Escape");
    }
    return false;
}

// The panel that shows answered with Return, after the keys that choose in its list once the
// list has redrawn what they chose; again after a while when the panel was not ready for them.
// The panel is given the keyboard first (its list moves only while its window has the focus,
// which a window manager gives it, or a click). A panel still up after that is cancelled.
// Whether the panel went.
bool ChooseInPanel(const std::string& title, const std::string& keys = "")
{
    const std::string panel = Shell("xdotool search --onlyvisible --name "
        + Quote("^" + title + "$") + " 2>/dev/null | head -1");
    for (int attempt = 0; attempt < 3 && !panel.empty(); ++attempt) {
        if (!keys.empty()) {
            Drive(std::stoul(panel), "key --clearmodifiers --delay 60 " + keys);
            XServerView().WaitSettled(std::stoul(panel), 200);
        }
        Drive(std::stoul(panel), "key --clearmodifiers Return");
        if (WaitFor([&] { return !WindowShows(title); }, 2000, 20))
            return true;
    }
    for (int attempt = 0; attempt < 3 && WindowShows(title); ++attempt)
        Keys("Escape");
    return false;
}

std::string Name(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// The names of the picture files a saved project's designs hold (their own: the names they had,
// with the extension of the form they are kept in).
std::vector<std::string> PictureNames(const std::string& path)
{
    std::vector<std::string> files;
    ForEachSavedOverlay(path, [&](VTOverlay* o) {
        if (auto* picture = dynamic_cast<VTOverlayImage*>(o))
            files.emplace_back(Name(picture->GetSourcePath()));
    });
    return files;
}

bool IsPdf(const std::string& path)
{
    return Shell("pdfinfo " + Quote(path) + " 2>/dev/null | sed -n 's/^Pages: *//p'") == "1";
}

bool IsPng(const std::string& path)
{
    return Shell("identify -format '%m' " + Quote(path) + " 2>/dev/null") == "PNG";
}

} // namespace

// Ctrl+O lists both projects and opens each chosen in the list (Home, End, Return); "Lägg till
// bilder" lists the picture and adds it (Home, Return), and Ctrl+S keeps it in the project.
TEST(NamesNotUtf8, OpenPanelsListTheFilesAndOpenThem)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const Latin1Folder latin1(s);
    auto program = std::make_unique<Program>(std::vector<std::string> {});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption));

    // The caption tells which project opened.
    const std::string farCaption = kCaption + " - f\uFFFDr.vtproj",
                      oppnaCaption = kCaption + " - \uFFFDppna.vtproj";
    std::set<std::string> opened;
    for (const char* keys : { "Home", "End" }) {
        SCOPED_TRACE(keys);
        ASSERT_TRUE(OpenPanel(xid, "ctrl+o", "Läs in projekt"));
        EXPECT_TRUE(ChooseInPanel("Läs in projekt", keys)) << "nothing to choose in the list";
        WaitFor(
            [&] { return Caption(xid) != kCaption && !opened.count(Caption(xid)); }, 10000, 100);
        opened.insert(Caption(xid));
    }
    EXPECT_EQ(opened, (std::set<std::string> { farCaption, oppnaCaption }));
    const std::string project = Caption(xid) == farCaption ? latin1.far : latin1.oppna;

    ASSERT_TRUE(WaitFile(s.rects));
    WaitFor([&] { return Rectangles(s.rects).count("tool-1021") > 0; }, 5000, 100);
    Drive(xid, ClickWords(Rectangles(s.rects)["tool-1021"]));
    ASSERT_TRUE(PanelReady("Välj bilder"));
    EXPECT_TRUE(ChooseInPanel("Välj bilder", "Home")) << "nothing to choose in the list";
    ASSERT_TRUE(SaveInPlace(xid, project)) << AlertText(s.rects, 500);
    // The sample's four pictures and the one added, its name whole.
    const std::vector<std::string> names = PictureNames(project);
    EXPECT_EQ(names.size(), 5u);
    EXPECT_EQ(Count(names, "\xe9t\xe9.png"), 1u);
    EXPECT_EQ(AlertText(s.rects, 300), "");
    EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0);
}

// "Spara som..." > "Pdf", "Bild" and "Projekt" of "f\xe5r.vtproj", each panel's name kept
// (Return): "f\uFFFDr.pdf", "f\uFFFDr.png" and "f\uFFFDr.vtproj" are saved, whole, beside the
// project left as it was, and the caption names the project's new file.
TEST(NamesNotUtf8, SavePanelsProposeTheWholeNameAndSaveUnderIt)
{
    if (!HasTools() || Shell("command -v pdfinfo").empty())
        GTEST_SKIP() << "no display, xdotool or pdfinfo";
    Session s;
    const Latin1Folder latin1(s);
    const std::string original = TemporaryFolder::ReadFile(latin1.far);
    auto program = std::make_unique<Program>(std::vector<std::string> { latin1.far });
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - f\uFFFDr.vtproj")) << Caption(xid);
    ASSERT_TRUE(XServerView().WaitSettled(xid));

    // Arkiv > "Spara som..." > "Pdf" and "Bild" (the project is saved, so "Spara" is off and
    // skipped), then "Projekt".
    const std::string pdf = latin1.path + "/f\uFFFDr.pdf";
    ASSERT_TRUE(OpenPanel(xid, "F10 Right Down Down Down Right Down", "Spara som PDF", "Return"));
    EXPECT_TRUE(ChooseInPanel("Spara som PDF"));
    EXPECT_TRUE(WaitFor([&] { return IsPdf(pdf); }, 15000, 100)) << AlertText(s.rects, 500);

    const std::string png = latin1.path + "/f\uFFFDr.png";
    ASSERT_TRUE(OpenPanel(
        xid, "F10 Right Down Down Down Right Down Down", "Exportera till bild", "Return"));
    EXPECT_TRUE(ChooseInPanel("Exportera till bild"));
    EXPECT_TRUE(WaitFor([&] { return IsPng(png); }, 15000, 100)) << AlertText(s.rects, 500);

    const std::string copy = latin1.path + "/f\uFFFDr.vtproj";
    ASSERT_TRUE(OpenPanel(xid, "ctrl+shift+s", "Spara projekt"));
    EXPECT_TRUE(ChooseInPanel("Spara projekt"));
    EXPECT_TRUE(WaitFile(copy)) << AlertText(s.rects, 500);
    EXPECT_EQ(Count(SavedTexts(copy), "far-projektet"), 1u);
    // The project is the copy's from here on: a text added (by a later start, as a person
    // passes one) and Ctrl+S go to the copy, the caption naming it.
    const std::string text = s.Write("text.txt", "en rad till");
    Program add({ "-addtext", text });
    EXPECT_EQ(add.Wait(30000), 0) << add.Errors();
    EXPECT_TRUE(SaveInPlace(xid, copy));
    EXPECT_EQ(Count(SavedTexts(copy), "en rad till"), 1u);
    EXPECT_EQ(Caption(xid), kCaption + " - f\uFFFDr.vtproj");
    ScreenShot("saved", kShots);

    EXPECT_EQ(AlertText(s.rects, 300), "");
    EXPECT_EQ(TemporaryFolder::ReadFile(latin1.far), original);
    EXPECT_EQ(TemporaryFolder::List(latin1.path),
        (std::vector<std::string> { "f\xe5r.vtproj", "f\uFFFDr.pdf", "f\uFFFDr.png",
            "f\uFFFDr.vtproj", "\xe9t\xe9.jpg", "\xf6ppna.vtproj" }));
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000), 0);
}
