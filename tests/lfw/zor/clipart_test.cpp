// The clipart libraries: the URL encoder, the names a server may give, the reading of index
// files, the bounds of a download, and the dialogs on real windows against a library served on
// 127.0.0.1 (folders, pictures and previews from a small tree, with a log of every request).
// Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeNode.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LClipart.h"
#include "lfw/zor/LClipartDialog.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/LoopbackServer.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace {

std::string Png(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    TemporaryFolder dir;
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8A8, w, h));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = buffer.GetPictureRow(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = b;
            row[4 * x + 1] = g;
            row[4 * x + 2] = r;
            row[4 * x + 3] = 255;
        }
    }
    std::string path = dir / "p.png";
    EXPECT_TRUE(LImage::Save(buffer, path.c_str()));
    return TemporaryFolder::ReadFile(path);
}

// A library on 127.0.0.1: files by their path below /components/, a pause before chosen answers,
// everything else 404. The log keeps the paths asked for.
class Library {
public:
    Library()
    {
        server.SetResponder([this](const std::string& request) {
            std::string path;
            size_t a = request.find(' '), b = request.find(' ', a + 1);
            if (a != std::string::npos && b != std::string::npos)
                path = request.substr(a + 1, b - a - 1);
            std::string body;
            int pause = 0;
            bool found = false, hold = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                log.push_back(path);
                auto f = files.find(path);
                if (f != files.end()) {
                    found = true;
                    body = f->second;
                }
                pause = pauses.count(path) ? pauses[path] : 0;
                hold = held.count(path) > 0;
            }
            LoopbackScript s;
            if (hold) {
                s.hold = true;
                return s;
            }
            if (!found) {
                s.pieces = { "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n" };
                return s;
            }
            s.pieces = { "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size())
                    + "\r\n\r\n",
                body };
            s.pauseMs = pause;
            return s;
        });
        LUserSettingSetString(
            "Online", kLOnlineComponentServer, ("http://" + server.Host()).c_str());
    }
    void Put(const std::string& path, const std::string& body)
    {
        std::lock_guard<std::mutex> lock(mutex);
        files["/components/" + path] = body;
    }
    void Pause(const std::string& path, int ms)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pauses["/components/" + path] = ms;
    }
    void Hold(const std::string& path)
    {
        std::lock_guard<std::mutex> lock(mutex);
        held["/components/" + path] = true;
    }
    std::vector<std::string> Log()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return log;
    }
    int Count(const std::string& path)
    {
        int n = 0;
        for (const std::string& p : Log())
            n += p == "/components/" + path;
        return n;
    }

    // The tree of the tests: the root names Birds; Birds holds sun and four more pictures, each
    // with its preview.
    void Standard(const char* lib = "clipart")
    {
        std::string l = lib;
        Put(l + "/index.csv", "Birds/index.csv\r\nEmpty/index.csv\r\n");
        Put(l + "/Birds/index.csv", "sun,1234\nmoon,99,extra\nstar,5\nsky,6\nsea,7\n");
        for (const char* n : { "sun", "moon", "star", "sky", "sea" }) {
            Put(l + "/Birds/" + n + ".png", Png(64, 64, 200, 30, 30));
            Put(l + "/Birds/preview_" + n + ".png", Png(40, 30, 20, 160, 40));
        }
    }

    LoopbackServer server;
    std::mutex mutex;
    std::map<std::string, std::string> files;
    std::map<std::string, int> pauses;
    std::map<std::string, bool> held;
    std::vector<std::string> log;
};

// Answers the next message box with its first button and keeps its headline; a box that never
// came is no longer waited for once the object goes.
class AlertAnswer {
public:
    AlertAnswer()
    {
        fSource = g_timeout_add(
            20,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<AlertAnswer*>(data);
                auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!alert || !gtk_widget_get_mapped(alert))
                    return G_SOURCE_CONTINUE;
                gchar* text = nullptr;
                g_object_get(alert, "text", &text, nullptr);
                self->headline = text ? text : "";
                g_free(text);
                gtk_dialog_response(GTK_DIALOG(alert), 0);
                self->fSource = 0;
                return G_SOURCE_REMOVE;
            },
            this);
    }
    ~AlertAnswer()
    {
        if (fSource)
            g_source_remove(fSource);
    }
    std::string headline;

private:
    guint fSource = 0;
};

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("clipart", name);
}

// Closes the dialog when a test's steps end, also when an assertion ended them early.
struct CloseAtEnd {
    LClipartDialog& dialog;
    ~CloseAtEnd() { dialog.PostCommand(kLCmdCancel); }
};

class ClipartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LClipartDownloadLimits() = LHTTPDownloadLimits { uint64_t(64) << 20, 3000 };
    }
    PrivateHomes homes;
};

class ClipartDialogTest : public ClipartTest {
protected:
    void SetUp() override
    {
        ClipartTest::SetUp();
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
    }
    static LUiPoint ContentPoint(LCocoaOutlineViewImpl* view, double x, double y)
    {
        int wx = 0, wy = 0, cx = 0, cy = 0;
        gtk_tree_view_convert_tree_to_widget_coords(
            GTK_TREE_VIEW(view->treeView()), int(x), int(y), &wx, &wy);
        GtkWidget* content = view->Window()->ContentView()->Widget();
        gtk_widget_translate_coordinates(view->treeView(), content, wx, wy, &cx, &cy);
        return LUiPoint { double(cx), double(cy) };
    }
    static bool ClickRow(LClipartDialog& d, int id, int row, int repeat = 1)
    {
        LCocoaOutlineViewImpl* view = id == LClipartDialog::kList
            ? static_cast<LCocoaOutlineViewImpl*>(d.ListViewGetImplById(id))
            : static_cast<LCocoaOutlineViewImpl*>(d.TreeViewGetImplById(id));
        if (!view)
            return false;
        LUiRect r = view->rectOfRow(row);
        LUiPoint p = ContentPoint(view, 40, r.y + r.height / 2);
        return uitest::XClickButton(d.GetNativeWindow(), p.x, p.y, 1, repeat);
    }
    static bool ClickControl(LClipartDialog& d, int id)
    {
        int x = 0, y = 0, w = 0, h = 0;
        d.GetControlPixels(id, x, y, w, h);
        const double s = d.GetBackingScaleFactor();
        return uitest::XClick(d.GetNativeWindow(), (x + w / 2) / s, (y + h / 2) / s);
    }
    static std::string Cell(LClipartDialog& d, int row, int column)
    {
        LCocoaListViewImpl* list = d.ListViewGetImplById(LClipartDialog::kList);
        char text[260] = {};
        if (list && list->manager())
            list->manager()->getItemText(text, row, column);
        return text;
    }
    // The folder's rows are in and sorted by name, one way or the other (the list is sorted
    // once the folder has been read).
    static bool Listed(LClipartDialog& d)
    {
        if (Cell(d, 0, 0).empty() || Cell(d, 1, 0).empty())
            return !Cell(d, 0, 0).empty();
        const bool up = Cell(d, 0, 0) < Cell(d, 1, 0);
        for (int r = 1; !Cell(d, r, 0).empty(); ++r)
            if ((Cell(d, r - 1, 0) < Cell(d, r, 0)) != up)
                return false;
        return true;
    }
    static bool Shown(LClipartDialog& d)
    {
        return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
            && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised();
    }
    static std::string Title(LClipartDialog& d)
    {
        const char* t = gtk_window_get_title(GTK_WINDOW(d.GetNativeWindow()->Gtk()));
        return t ? t : "";
    }
    static std::string Cache(const char* sub)
    {
        char cache[260];
        GetUserSpecialFolder(cache, LUserSpecialFolder::Cache, ".cache");
        return std::string(cache) + "/vorantel/Clipart/" + sub;
    }
};

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
        std::string(url), "http://" + library.server.Host() + "/components/clipart/Birds/sun.png");
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

TEST_F(ClipartDialogTest, ClickingThroughRowsFetchesOnlyTheRunningAndTheNewest)
{
    Library library;
    library.Standard();
    LClipartDialog dialog;
    char result[260];
    int begun = -1;
    bool shown = false;
    std::string last;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            dialog.TVSelectItem(
                LClipartDialog::kTree, dialog.TVGetRoot(LClipartDialog::kTree)->childAt(0));
            uitest::PumpUntil([&] { return Listed(dialog) && !Cell(dialog, 4, 0).empty(); });
            // The first preview takes long enough for every later click to come while it runs
            // (and the waits for the server are longer still); the newest comes quickly.
            LClipartDownloadLimits().timeoutMs = 10000;
            for (int r = 0; r < 5; ++r)
                library.Pause(
                    "clipart/Birds/preview_" + Cell(dialog, r, 0) + ".png", r < 4 ? 3000 : 200);
            for (int r = 0; r < 5; ++r) {
                ClickRow(dialog, LClipartDialog::kList, r);
                uitest::Pump(30);
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
    EXPECT_EQ(begun, 2) << asked;
    EXPECT_EQ(library.Count("clipart/Birds/preview_" + last + ".png"), 1);
    EXPECT_TRUE(
        LFile::TestFileExists(Cache(("Clipart/Birds/preview_" + last + ".png").c_str()).c_str()));
}

TEST_F(ClipartDialogTest, BadServersGiveEmptyListsAndWhiteAreas)
{
    Library library;
    library.Standard();
    // Empty/index.csv is missing (404); the preview of sun is no picture, that of moon a PNG
    // header claiming 60000 x 60000 pixels; the list names escape attempts.
    library.Put("clipart/Birds/index.csv", "sun,1\nmoon,2\n../../evil,3\n/abs,4\nstar,5\n");
    library.Put("clipart/Birds/preview_sun.png", "<html>not a picture</html>");
    std::string bomb = Png(1, 1, 0, 0, 0);
    bomb[16] = 0, bomb[17] = 0, bomb[18] = char(0xEA), bomb[19] = 0x60;
    bomb[20] = 0, bomb[21] = 0, bomb[22] = char(0xEA), bomb[23] = 0x60;
    library.Put("clipart/Birds/preview_moon.png", bomb);
    library.Hold("clipart/Birds/preview_star.png");
    LClipartDialog dialog;
    char result[260];
    std::string emptyFirst;
    int rows = -1;
    bool sunWhite = false, moonWhite = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            dialog.TVSelectItem(LClipartDialog::kTree, root->childAt(1)); // Empty
            uitest::Pump(200);
            emptyFirst = Cell(dialog, 0, 0);
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
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(sunWhite);
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
