// The clipart libraries: the URL encoder, the names a server may give, the reading of index
// files, the bounds of a download, and the dialogs on real windows against a library served on
// 127.0.0.1 (folders, pictures and previews from a small tree, with a log of every request).
// Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "support/ClipartTestSupport.h"
#include "support/ListViewShown.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace cliparttest;

namespace {

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("clipart", name);
}

} // namespace

// --- Pieces without windows.

TEST_F(ClipartTest, EncoderKeepsTheSafeCharactersAndRefusesACutURL)
{
    char out[260];
    ASSERT_TRUE(LClipartURIEncode(out, "http://h:80/a b\\c~_.!-ä"));
    EXPECT_STREQ(out, "http://h:80/a%20b/c~_.!-%C3%A4");
    // 257 kept characters and one escape: the escape does not fit whole, so the URL is refused.
    std::string longer(257, 'a');
    EXPECT_FALSE(LClipartURIEncode(out, (longer + " ").c_str()));
    EXPECT_TRUE(LClipartURIEncode(out, std::string(259, 'b').c_str()));
    EXPECT_FALSE(LClipartURIEncode(out, std::string(260, 'b').c_str()));
}

TEST_F(ClipartTest, NamesFromAServerNeverLeaveTheCache)
{
    for (const char* bad : { "", "..", "../x", "a/../b", "/etc/passwd", "\\x", "a//b", "a/.",
             "tab\there", "nl\nx", "a\\..\\b", "del\x7f" })
        EXPECT_FALSE(LClipartIsSafeName(bad)) << bad;
    for (const char* good : { "sun", "Birds/sun.png", "a..b", ".hidden", "Fåglar/sol" })
        EXPECT_TRUE(LClipartIsSafeName(good)) << good;
}

TEST_F(ClipartTest, IndexLinesAreFoldersPicturesOrSkipped)
{
    TemporaryFolder dir;
    std::string index = dir / "index.csv";
    std::string longLine(400, 'x');
    TemporaryFolder::WriteFile(index,
        "Birds/index.csv\r\nsun,1234\n\rmoon,99,more\r\n\nnocomma\n../evil,1\n/abs,2\n" + longLine
            + ",3\nsafe,4\rdeep/Fish/index.CSV\n\\x,5\n");
    std::vector<std::string> got;
    LProcessInterfaceVoid job;
    EXPECT_EQ(LClipartReadIndex(job, index.c_str(),
                  [&](const LClipartIndexEntry& e) {
                      got.push_back(std::string(e.folder ? "F:" : "P:") + e.name + "|" + e.size);
                  }),
        LProcessResultSuccess);
    // The long line's head (259 characters) is one name; its tail is not read as a line.
    std::vector<std::string> expected { "F:Birds|", "P:sun|1234", "P:moon|99", "P:nocomma|",
        "P:" + std::string(259, 'x') + "|", "P:safe|4", "F:deep/Fish|" };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(
        LClipartReadIndex(job, (dir / "missing.csv").c_str(), [](auto&) {}), LProcessResultError);
}

TEST_F(ClipartTest, AHundredThousandLineIndexIsReadWhole)
{
    TemporaryFolder dir;
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "pic" + std::to_string(i) + "," + std::to_string(i * 7) + "\n";
    TemporaryFolder::WriteFile(dir / "index.csv", text);
    int count = 0;
    std::string last;
    LProcessInterfaceVoid job;
    LClipartReadIndex(job, (dir / "index.csv").c_str(), [&](const LClipartIndexEntry& e) {
        ++count;
        last = std::string(e.name) + "," + e.size;
    });
    EXPECT_EQ(count, 100000);
    EXPECT_EQ(last, "pic99999,699993");
}

TEST_F(ClipartTest, DownloadsAreBoundedInSizeAndTime)
{
    LoopbackServer server;
    TemporaryFolder dir;
    std::string target = dir / "f.png";
    LClipartDownloadLimits().maxBytes = 1000;
    LProcessInterfaceVoid job;
    // Endless data without a length, and a length that is too large: neither leaves a file.
    server.Add(LoopbackScript { { "HTTP/1.0 200 OK\r\n\r\n", std::string(5000, 'x') }, 0 });
    std::string url = "http://" + server.Host() + "/x";
    EXPECT_EQ(LClipartDownload(job, url.c_str(), target.c_str()), LProcessResultError);
    EXPECT_FALSE(LFile::TestFileExists(target.c_str()));
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 1000000000000\r\n\r\nxx");
    EXPECT_EQ(LClipartDownload(job, url.c_str(), target.c_str()), LProcessResultError);
    EXPECT_FALSE(LFile::TestFileExists(target.c_str()));
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(LClipartDownload(job, url.c_str(), target.c_str()), LProcessResultSuccess);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "abc");
    // A server that answers nothing: the wait ends after the bound.
    LClipartDownloadLimits().timeoutMs = 300;
    LoopbackScript hold;
    hold.hold = true;
    server.Add(hold);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_NE(LClipartDownload(job, url.c_str(), (dir / "g.png").c_str()), LProcessResultSuccess);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
}

TEST_F(ClipartTest, BaseURLsComeFromTheHostTable)
{
    char url[260];
    LUserSettingDeleteItem("Online", kLOnlineComponentServer);
    LClipartGetBaseURL(url, false);
    EXPECT_STREQ(url, "https://www.vorantel.example/components/clipart");
    LUserSettingSetString("Online", kLOnlineComponentServer, "http://127.0.0.1:8080/");
    LClipartGetBaseURL(url, true);
    EXPECT_STREQ(url, "http://127.0.0.1:8080/components/Frames");
}

TEST_F(ClipartTest, APathTooLongForTheURLIsNotFetched)
{
    Library library;
    LClipartDialog dialog;
    char url[260], local[260];
    EXPECT_TRUE(dialog.GetURLAndFilePath("Birds/sun.png", url, local));
    EXPECT_EQ(
        std::string(url), "https://" + library.server.Host() + "/components/clipart/Birds/sun.png");
    // Short as a file name, too long as a URL: every blank takes three characters there.
    std::string name(80, ' ');
    name += "x.png";
    EXPECT_FALSE(dialog.GetURLAndFilePath(name.c_str(), url, local));
    EXPECT_STREQ(local, "");
    LProcessInterfaceVoid job;
    EXPECT_EQ(dialog.GetFileFromServer(job, name.c_str(), local), LProcessResultError);
    EXPECT_FALSE(dialog.GetURLAndFilePath("../x.png", url, local));
    EXPECT_TRUE(library.Log().empty());
}

// --- The dialogs.

TEST_F(ClipartDialogTest, FolderRowPreviewAndDownload)
{
    Library library;
    library.Standard();
    library.Pause("clipart/Birds/preview_sun.png", 700);
    LClipartDialog dialog;
    char result[260] = "old";
    std::string title, row0Name, row0Size, fetched, firstOrder;
    bool sawLoading = false, sawPicture = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::Pump(150);
            title = Title(dialog);
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            ASSERT_TRUE(root);
            ASSERT_EQ(root->childCount(), 2u);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("root"));
            // Birds is the first row under Images.
            ASSERT_TRUE(ClickRow(dialog, LClipartDialog::kTree, 1));
            uitest::PumpUntil(
                [&] { return dialog.LVGetSelCount(LClipartDialog::kList) == 0 && Listed(dialog); });
            std::string folder = dialog.CurrentFolder();
            EXPECT_EQ(folder, "Birds");
            for (int r = 0; r < 5; ++r)
                firstOrder += Cell(dialog, r, 0) + " ";
            int sun = -1;
            for (int r = 0; r < 5; ++r)
                if (Cell(dialog, r, 0) == "sun")
                    sun = r;
            ASSERT_GE(sun, 0);
            row0Name = Cell(dialog, sun, 0);
            row0Size = Cell(dialog, sun, 1);
            ASSERT_TRUE(ClickRow(dialog, LClipartDialog::kList, sun));
            sawLoading = uitest::PumpUntil([&] { return dialog.Preview()->IsDownloading(); }, 2000);
            uitest::Pump(100);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("loading"));
            sawPicture = uitest::PumpUntil([&] { return dialog.Preview()->HasImage(); }, 5000);
            uitest::Pump(100);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("preview"));
            ClickControl(dialog, LClipartDialog::kDownload);
            uitest::PumpUntil([&] { return Cell(dialog, sun, 2) == "Hämtad"; }, 3000);
            fetched = Cell(dialog, sun, 2);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, "dialogs_clipart"));
    EXPECT_EQ(title, "ZOR Clipart-bibliotek");
    // Before any header is clicked the pictures are listed by name, ascending.
    EXPECT_EQ(firstOrder, "moon sea sky star sun ");
    EXPECT_EQ(row0Name, "sun");
    EXPECT_EQ(row0Size, "1234");
    EXPECT_TRUE(sawLoading);
    EXPECT_TRUE(sawPicture);
    EXPECT_EQ(fetched, "Hämtad");
    EXPECT_EQ(std::string(result), Cache("Clipart/Birds/sun.png"));
    EXPECT_TRUE(LFile::TestFileExists(result));
    char value[260] = {};
    _LUserSettingGetString("ClipartDialog", "CurrentFolder", "", value);
    EXPECT_STREQ(value, "Birds");
    _LUserSettingGetString("ClipartDialog", "CurIndex", "", value);
    EXPECT_NE(std::string(value), "-1");

    // A second open makes no request: the indexes and the picture are in the cache.
    const size_t before = library.Log().size();
    LClipartDialog again;
    char second[260];
    bool listed = false;
    uitest::When([&] { return Shown(again); },
        [&] {
            CloseAtEnd guard { again };
            uitest::Pump(100);
            again.TVSelectItem(
                LClipartDialog::kTree, again.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(again); });
            listed = Listed(again);
            for (int r = 0; r < 5; ++r)
                if (Cell(again, r, 0) == "sun") {
                    EXPECT_EQ(Cell(again, r, 2), "Hämtad");
                }
            again.PostCommand(kLCmdCancel);
        });
    EXPECT_FALSE(again.Open(nullptr, second, nullptr));
    EXPECT_TRUE(listed);
    EXPECT_EQ(library.Log().size(), before);
}

// The picture list as it is seen and read out: the titles of its header, and each column's value
// for a picture in the cache and one that is not, in sight at the dialog's width. The frame
// library's list shows the name alone.
TEST_F(ClipartDialogTest, ThePictureListShowsItsTitlesAndEveryColumn)
{
    using namespace listshown;
    for (bool frames : { false, true }) {
        SCOPED_TRACE(frames ? "frames" : "clipart");
        Library library;
        library.Put(frames ? "Frames/index.csv" : "clipart/index.csv", "Sol,3\r\nStjärna,4\r\n");
        const std::string cache = Cache(frames ? "Frames" : "Clipart");
        std::filesystem::create_directories(cache);
        TemporaryFolder::WriteFile(cache + "/Stjärna.png", Png(8, 8, 200, 30, 30));
        std::unique_ptr<LClipartDialog> dialog = frames
            ? std::make_unique<LFrameClipartDialog>(300, 200)
            : std::make_unique<LClipartDialog>();
        LClipartDialog& d = *dialog;
        std::vector<Column> columns;
        std::vector<std::string> sol, star;
        std::vector<int> titleInk, solInk, starInk;
        int visible = 0;
        uitest::When([&] { return Shown(d) && Rows(d) == 2; },
            [&] {
                CloseAtEnd guard { d };
                ASSERT_TRUE(uitest::PumpUntilDrawn(d.GetNativeWindow()));
                LCocoaListViewImpl* list = d.ListViewGetImplById(LClipartDialog::kList);
                const std::string path = Shot(frames ? "frame-columns" : "columns");
                ASSERT_TRUE(uitest::SaveScreenshot(d.GetNativeWindow(), path));
                cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
                const double s = d.GetBackingScaleFactor();
                columns = Columns(list);
                visible = gtk_widget_get_allocated_width(list->treeView());
                const int solRow = RowOf(d, "Sol"), starRow = RowOf(d, "Stjärna");
                for (int i = 0; i < int(columns.size()); ++i) {
                    sol.push_back(CellText(list, solRow, i));
                    star.push_back(CellText(list, starRow, i));
                    titleInk.push_back(InkPixels(shot, HeaderTitleRect(list, i), s));
                    solInk.push_back(InkPixels(shot, CellRect(list, solRow, i), s));
                    starInk.push_back(InkPixels(shot, CellRect(list, starRow, i), s));
                }
                cairo_surface_destroy(shot);
            });
        char result[260];
        d.Open(nullptr, result, nullptr);
        ASSERT_EQ(columns.size(), 3u);
        EXPECT_EQ(sol, (std::vector<std::string> { "Sol", "3", "" }));
        EXPECT_EQ(star, (std::vector<std::string> { "Stjärna", "4", "Hämtad" }));
        const char* titles[] = { "Namn", "Storlek (Byte)", "Hämtad" };
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(titles[i]);
            EXPECT_EQ(columns[i].title, titles[i]);
            EXPECT_EQ(columns[i].visible, !frames || i == 0);
            if (!columns[i].visible)
                continue;
            EXPECT_EQ(columns[i].description, titles[i]);
            EXPECT_GT(titleInk[i], 10);
            EXPECT_LE(columns[i].x + columns[i].width, visible);
            EXPECT_GT(starInk[i], 10);
            EXPECT_EQ(solInk[i] > 0, i < 2);
        }
        if (frames) {
            EXPECT_EQ(columns[0].width, visible);
        }
    }
}

TEST_F(ClipartDialogTest, ClickingThroughRowsAbandonsTheSlowPreviewsForTheNewest)
{
    Library library;
    library.Standard();
    LClipartDialog dialog;
    char result[260];
    int begun = -1;
    bool shown = false;
    std::string last;
    std::vector<std::string> others;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog) && !Cell(dialog, 4, 0).empty(); });
            // The first four previews never come (and the waits for the server are far longer
            // than the test): each click leaves the one before it, the newest comes at once.
            LClipartDownloadLimits().timeoutMs = 20000;
            for (int r = 0; r < 4; ++r) {
                others.push_back(Cell(dialog, r, 0));
                library.Hold("clipart/Birds/preview_" + Cell(dialog, r, 0) + ".png");
            }
            // Each click comes once the worker has begun the click before's download: a worker
            // that waited for a held download would begin no other.
            for (int r = 0; r < 5; ++r) {
                ClickRow(dialog, LClipartDialog::kList, r);
                uitest::PumpUntil(
                    [&] { return dialog.Preview()->Worker()->DownloadsBegun() == r + 1; }, 6000);
            }
            last = Cell(dialog, 4, 0);
            shown = uitest::PumpUntil(
                [&] { return dialog.Preview()->HasImage() && !dialog.Preview()->IsDownloading(); },
                6000);
            begun = dialog.Preview()->Worker()->DownloadsBegun();
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("last-preview"));
            dialog.PostCommand(kLCmdCancel);
        });
    dialog.Open(nullptr, result, nullptr);
    EXPECT_TRUE(shown);
    std::string asked;
    for (const std::string& p : library.Log())
        asked += p + " ";
    EXPECT_EQ(begun, 5) << asked;
    EXPECT_EQ(library.Count("clipart/Birds/preview_" + last + ".png"), 1);
    EXPECT_TRUE(
        LFile::TestFileExists(Cache(("Clipart/Birds/preview_" + last + ".png").c_str()).c_str()));
    // Nothing of the abandoned ones stays in the cache.
    for (const std::string& name : others)
        EXPECT_FALSE(LFile::TestFileExists(
            Cache(("Clipart/Birds/preview_" + name + ".png").c_str()).c_str()))
            << name;
}

TEST_F(ClipartDialogTest, BadServersAreToldOrGiveWhiteAreas)
{
    Library library;
    library.Standard();
    // Empty/index.csv is missing (404); the preview of sun is no picture, that of moon a PNG
    // header claiming 60000 x 60000 pixels; the list names escape attempts.
    library.Remove("clipart/Empty/index.csv");
    library.Put("clipart/Birds/index.csv", "sun,1\nmoon,2\n../../evil,3\n/abs,4\nstar,5\n");
    library.Put("clipart/Birds/preview_sun.png", "<html>not a picture</html>");
    std::string bomb = Png(1, 1, 0, 0, 0);
    bomb[16] = 0, bomb[17] = 0, bomb[18] = char(0xEA), bomb[19] = 0x60;
    bomb[20] = 0, bomb[21] = 0, bomb[22] = char(0xEA), bomb[23] = 0x60;
    library.Put("clipart/Birds/preview_moon.png", bomb);
    library.Hold("clipart/Birds/preview_star.png");
    LClipartDialog dialog;
    char result[260];
    AlertAnswer answer;
    std::string emptyFirst, emptyText;
    int rows = -1;
    bool sunWhite = false, moonWhite = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            dialog.TVSelectItem(LClipartDialog::kTree, root->childAt(1)); // Empty
            uitest::PumpUntil([&] { return !answer.alerts.empty(); });
            emptyFirst = Cell(dialog, 0, 0);
            emptyText = ListText(dialog);
            dialog.TVSelectItem(LClipartDialog::kTree, root->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog); });
            rows = 0;
            while (Cell(dialog, rows, 0) != "")
                ++rows;
            for (int r = 0; r < rows; ++r) {
                if (Cell(dialog, r, 0) == "sun") {
                    dialog.LVSetCurSel(LClipartDialog::kList, r);
                    dialog.HandleListSelectionChange();
                    uitest::PumpUntil([&] { return !dialog.Preview()->IsDownloading(); }, 3000);
                    uitest::Pump(100);
                    sunWhite = dialog.Preview()->IsEmpty() || !dialog.Preview()->HasImage();
                }
            }
            for (int r = 0; r < rows; ++r) {
                if (Cell(dialog, r, 0) == "moon") {
                    dialog.LVSetCurSel(LClipartDialog::kList, r);
                    dialog.HandleListSelectionChange();
                    uitest::PumpUntil([&] { return !dialog.Preview()->IsDownloading(); }, 3000);
                    uitest::Pump(100);
                    moonWhite = !dialog.Preview()->HasImage();
                    uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("bomb-white"));
                }
            }
            // A preview that never comes: the dialog closes at once while it is fetched.
            for (int r = 0; r < rows; ++r)
                if (Cell(dialog, r, 0) == "star") {
                    dialog.LVSetCurSel(LClipartDialog::kList, r);
                    dialog.HandleListSelectionChange();
                }
            uitest::Pump(100);
            dialog.PostCommand(kLCmdCancel);
        });
    auto t0 = std::chrono::steady_clock::now();
    dialog.Open(nullptr, result, nullptr);
    EXPECT_EQ(emptyFirst, "");
    // The folder whose index is missing says so, in its list and in a message box.
    EXPECT_EQ(emptyText, "Mappen kunde inte läsas.");
    EXPECT_EQ(answer.headline, "Hämtningsfel");
    EXPECT_EQ(answer.message, "Mappen \"Empty\" kunde inte läsas. Den finns inte på servern.");
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(sunWhite);
    // The preview that is no picture did not stay in the cache.
    EXPECT_FALSE(LFile::TestFileExists(Cache("Clipart/Birds/preview_sun.png").c_str()));
    EXPECT_TRUE(moonWhite);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    EXPECT_FALSE(LFile::TestFileExists(Cache("evil").c_str()));
}

TEST_F(ClipartDialogTest, AFrameIsStretchedToTheAskedSize)
{
    Library library;
    library.Standard("Frames");
    LFrameClipartDialog dialog(300, 200);
    char result[260] = {};
    std::string title;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            title = Title(dialog);
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog); });
            for (int r = 0; r < 5; ++r)
                if (Cell(dialog, r, 0) == "sun") {
                    ClickRow(dialog, LClipartDialog::kList, r);
                    break;
                }
            uitest::PumpUntil([&] { return dialog.Preview()->HasImage(); });
            uitest::Pump(100);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("frames"));
            ClickControl(dialog, LClipartDialog::kDownload);
            uitest::PumpUntil([&] { return result[0] != 0; });
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    EXPECT_EQ(title, "ZOR-rambibliotek");
    EXPECT_EQ(std::string(result), Cache("Frames/border_sun.png"));
    std::string size = uitest::Run(std::string("pngtopnm '") + result + "' | head -c 20");
    EXPECT_NE(size.find("300 200"), std::string::npos) << size;
}

TEST_F(ClipartDialogTest, AFrameThatCannotBeSavedIsAnError)
{
    Library library;
    library.Standard("Frames");
    LFrameClipartDialog dialog(300, 200);
    char result[260] = {};
    std::string alertTitle;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog); });
            // The picture is fetched first; then the cache folder itself cannot take the frame.
            LProcessInterfaceVoid job;
            char local[260];
            ASSERT_EQ(dialog.GetFileFromServer(job, "Birds/sun.png", local), 0);
            // A folder stands where the frame image would be written.
            mkdir((Cache("Frames") + "/border_sun.png").c_str(), 0755);
            AlertAnswer answer;
            for (int r = 0; r < 5; ++r)
                if (Cell(dialog, r, 0) == "sun") {
                    dialog.LVSetCurSel(LClipartDialog::kList, r);
                    dialog.CmDownloadClipartFile();
                }
            alertTitle = answer.headline;
            dialog.PostCommand(kLCmdCancel);
        });
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    EXPECT_EQ(alertTitle, "Hämtningsfel");
    EXPECT_STREQ(result, "");
}

TEST_F(ClipartDialogTest, AnUnreachableLibraryClosesTheDialog)
{
    // Nothing listens on the port any more.
    int port = 0;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    LUserSettingSetString(
        "Online", kLOnlineComponentServer, ("http://127.0.0.1:" + std::to_string(port)).c_str());
    LClipartDialog dialog;
    char result[260];
    AlertAnswer answer;
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    EXPECT_EQ(answer.headline, "Anslutningsfel");
}

TEST_F(ClipartDialogTest, HämtaTwiceQuicklyDownloadsOnce)
{
    Library library;
    library.Standard();
    library.Pause("clipart/Birds/sun.png", 400);
    LClipartDialog dialog;
    char result[260] = {};
    uitest::When([&] { return Shown(dialog); },
        [&] {
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog); });
            for (int r = 0; r < 5; ++r)
                if (Cell(dialog, r, 0) == "sun")
                    dialog.LVSetCurSel(LClipartDialog::kList, r);
            // The second press arrives while the first download runs (its waits turn the loop).
            dialog.PostCommand(LClipartDialog::kDownload);
            dialog.PostCommand(LClipartDialog::kDownload);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    EXPECT_EQ(library.Count("clipart/Birds/sun.png"), 1);
    EXPECT_TRUE(LFile::TestFileExists(result));
}
