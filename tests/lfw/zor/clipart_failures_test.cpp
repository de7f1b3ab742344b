// The clipart dialogs against a library on 127.0.0.1 over HTTPS that misbehaves: a server that
// stalls (the program keeps answering and "Avbryt" ends the wait), files that are missing, files
// that are no pictures, and a folder that holds pictures beside a sub-folder. Real windows, real
// clicks; where a wait is timed, the test turns no loop of its own meanwhile, so the times are
// those of the program's own loop. Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "platform/ui/LEventHub.h"
#include "support/ClipartTestSupport.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace cliparttest;
using Clock = std::chrono::steady_clock;

namespace {

std::string Shot(const char* name)
{
    return uitest::ArtefactPath("clipart", name);
}

long Ms(Clock::time_point from, Clock::time_point to)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

// Notes when the event hub hands a key of the window on (the program's loop took it).
class KeyWatch {
public:
    explicit KeyWatch(LNativeWindow* window)
        : fWindow(gtk_widget_get_window(GTK_WIDGET(window->Gtk())))
    {
        fToken = LEventHub::AddMonitor(
            kLEventHubKey,
            +[](GdkEvent* event, void* data) {
                auto* self = static_cast<KeyWatch*>(data);
                if (event->type == GDK_KEY_PRESS && !self->seen
                    && gdk_window_get_toplevel(event->key.window) == self->fWindow) {
                    self->seen = true;
                    self->at = Clock::now();
                }
                return false;
            },
            this);
    }
    ~KeyWatch() { LEventHub::RemoveMonitor(fToken); }
    bool seen = false;
    Clock::time_point at;

private:
    GdkWindow* fWindow;
    uintptr_t fToken = 0;
};

// Notes when a window leaves the screen.
void NoteUnmap(LNativeWindow* window, Clock::time_point* at)
{
    g_signal_connect(window->Gtk(), "unmap", G_CALLBACK(+[](GtkWidget*, gpointer data) {
        *static_cast<Clock::time_point*>(data) = Clock::now();
    }),
        at);
}

std::vector<std::string> Files(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator(folder, error))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& n : names)
        text += n + " ";
    return text;
}

class ClipartFailureTest : public ClipartDialogTest {
protected:
    static bool ClickItem(LClipartDialog& d, LCocoaTreeNode* node)
    {
        LCocoaTreeViewImpl* tree = d.TreeViewGetImplById(LClipartDialog::kTree);
        const int row = tree && node ? tree->rowForItem(node) : -1;
        return row >= 0 && ClickRow(d, LClipartDialog::kTree, row);
    }
    // Opens the folder the way a person does: a click on its row's expander arrow.
    static bool ClickExpander(LClipartDialog& d, LCocoaTreeNode* node)
    {
        LCocoaTreeViewImpl* tree = d.TreeViewGetImplById(LClipartDialog::kTree);
        const int row = tree && node ? tree->rowForItem(node) : -1;
        if (row < 0)
            return false;
        GtkTreeView* view = GTK_TREE_VIEW(tree->treeView());
        const LUiRect r = tree->rectOfRow(row);
        int bx = 0, by = 0;
        gtk_tree_view_convert_tree_to_bin_window_coords(view, 1, int(r.y + r.height / 2), &bx, &by);
        GtkTreePath* path = nullptr;
        if (!gtk_tree_view_get_path_at_pos(view, bx, by, &path, nullptr, nullptr, nullptr))
            return false;
        GtkTreeViewColumn* column = gtk_tree_view_get_expander_column(view);
        if (!column)
            column = gtk_tree_view_get_column(view, 0);
        GdkRectangle cell;
        gtk_tree_view_get_cell_area(view, path, column, &cell);
        gtk_tree_path_free(path);
        gint size = 14;
        gtk_widget_style_get(GTK_WIDGET(view), "expander-size", &size, nullptr);
        int wx = 0, wy = 0, cx = 0, cy = 0;
        gtk_tree_view_convert_bin_window_to_widget_coords(
            view, cell.x - size / 2 - 2, cell.y + cell.height / 2, &wx, &wy);
        GtkWidget* content = tree->Window()->ContentView()->Widget();
        gtk_widget_translate_coordinates(GTK_WIDGET(view), content, wx, wy, &cx, &cy);
        // GTK opens a folder only under an arrow the pointer came to first.
        uitest::XMove(d.GetNativeWindow(), cx, cy);
        uitest::Pump(100);
        return uitest::XClick(d.GetNativeWindow(), cx, cy);
    }
    static std::string Names(LClipartDialog& d)
    {
        std::string text;
        for (int r = 0; r < Rows(d); ++r)
            text += Cell(d, r, 0) + " ";
        return text;
    }
    // Selects the folder's picture row with the real pointer and presses "Hämta".
    static bool Fetch(LClipartDialog& d, const char* name)
    {
        const int row = RowOf(d, name);
        return row >= 0 && ClickRow(d, LClipartDialog::kList, row)
            && uitest::PumpUntil([&] {
                   return d.LVGetSelCount(LClipartDialog::kList) == 1
                       && d.LVGetFirstSel(LClipartDialog::kList) == row;
               })
            && ClickControl(d, LClipartDialog::kDownload);
    }
};

} // namespace

TEST_F(ClipartFailureTest, AStalledLibraryLeavesTheProgramAnsweringAndAvbrytEndsTheWait)
{
    Library library;
    library.Hold("clipart/index.csv");
    // Far beyond every wait of the test: only "Avbryt" can end this one in time.
    LClipartDownloadLimits().timeoutMs = 20000;
    uitest::KeyboardLock keyboard;
    AlertAnswer answer;
    LClipartDialog dialog;
    char result[260];
    bool sawProgress = false, keySeen = false;
    std::string status;
    long keyMs = -1;
    Clock::time_point keySent, clicked, gone;
    std::unique_ptr<KeyWatch> keys;
    uitest::When([] { return ProgressWindow() != nullptr; },
        [&] {
            LMacWindow* progress = ProgressWindow();
            if (!progress) {
                dialog.PostCommand(kLCmdCancel);
                return;
            }
            sawProgress = true;
            status = ControlText(*progress, 101);
            uitest::Pump(100);
            uitest::SaveScreenshot(progress->GetNativeWindow(), Shot("stalled-library"));
            keys = std::make_unique<KeyWatch>(progress->GetNativeWindow());
            uitest::Run("xdotool windowfocus --sync "
                + std::to_string(progress->GetNativeWindow()->XWindowId())
                + " key --clearmodifiers shift >/dev/null 2>&1");
            keySent = Clock::now();
            // From here the program's own wait turns the loop.
            uitest::When([&] { return keys->seen; },
                [&] {
                    keySeen = keys->seen;
                    keyMs = keySeen ? Ms(keySent, keys->at) : -1;
                    LMacWindow* p = ProgressWindow();
                    if (!p)
                        return;
                    NoteUnmap(p->GetNativeWindow(), &gone);
                    ClickControl(*p, kLCmdCancel);
                    clicked = Clock::now();
                });
        });
    const Clock::time_point opened = Clock::now();
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    ASSERT_TRUE(sawProgress);
    EXPECT_EQ(status, "Ansluter till server...");
    EXPECT_TRUE(keySeen);
    EXPECT_GE(keyMs, 0);
    EXPECT_LT(keyMs, 500);
    ASSERT_NE(clicked, Clock::time_point());
    ASSERT_NE(gone, Clock::time_point());
    EXPECT_LT(Ms(clicked, gone), 500);
    RecordProperty("key_answered_ms", int(keyMs));
    RecordProperty("wait_ended_ms", int(Ms(clicked, gone)));
    // The user ended the wait: the dialog closes without a word, long before the time limit.
    EXPECT_TRUE(answer.alerts.empty());
    EXPECT_LT(Ms(opened, Clock::now()), 15000);
}

TEST_F(ClipartFailureTest, AStalledDownloadIsCancelledAndLeavesNoPartialFile)
{
    Library library;
    library.Standard();
    const std::string picture = Png(64, 64, 10, 20, 200);
    // Headers announcing 40000 bytes, a quarter of them, then nothing.
    library.Stall("clipart/Birds/sun.png",
        "HTTP/1.0 200 OK\r\nContent-Length: 40000\r\n\r\n" + std::string(10000, 'x'));
    LClipartDownloadLimits().timeoutMs = 20000;
    LClipartDialog dialog;
    char result[260] = {};
    std::string during, after, filesAfter;
    bool stillOpen = false, listUsable = false;
    Clock::time_point clicked, stopped;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            ClickRow(dialog, LClipartDialog::kTree, 1); // Birds
            if (!uitest::PumpUntil([&] { return Rows(dialog) == 5 && Listed(dialog); })
                || !Fetch(dialog, "sun")) {
                ADD_FAILURE() << "Birds not listed or sun not chosen";
                dialog.PostCommand(kLCmdCancel);
                return;
            }
            // The download runs in the program's loop from here.
            uitest::When(
                [&] {
                    const std::string t = ControlText(dialog, LClipartDialog::kProgress);
                    return dialog.IsDownloading() && t.rfind("Laddar ", 0) == 0
                        && std::atoi(t.c_str() + 7) >= 20;
                },
                [&] {
                    during = ControlText(dialog, LClipartDialog::kProgress);
                    uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("download-stalled"));
                    ClickControl(dialog, LClipartDialog::kCancel);
                    clicked = Clock::now();
                    uitest::When([&] { return !dialog.IsDownloading(); },
                        [&] {
                            stopped = Clock::now();
                            after = ControlText(dialog, LClipartDialog::kProgress);
                            stillOpen = dialog.IsOpen();
                            uitest::Pump(100);
                            uitest::SaveScreenshot(
                                dialog.GetNativeWindow(), Shot("download-cancelled"));
                            filesAfter = Joined(Files(Cache("Clipart/Birds")));
                            // The server mended, the same picture is fetched after all.
                            library.Put("clipart/Birds/sun.png", picture);
                            listUsable = dialog.LVGetSelCount(LClipartDialog::kList) == 1;
                            if (dialog.IsDownloading() || !stillOpen)
                                dialog.PostCommand(kLCmdCancel);
                            else
                                ClickControl(dialog, LClipartDialog::kDownload);
                        });
                });
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    // A quarter of the picture came (the figure rounds the way the job counts).
    EXPECT_TRUE(during == "Laddar 24%" || during == "Laddar 25%") << during;
    ASSERT_NE(clicked, Clock::time_point());
    EXPECT_LT(Ms(clicked, stopped), 500);
    RecordProperty("download_stopped_ms", int(Ms(clicked, stopped)));
    EXPECT_EQ(after, "Avbruten");
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(listUsable);
    // Nothing of the stopped download stays: only the index and the preview.
    EXPECT_EQ(filesAfter, "index.csv preview_sun.png ");
    EXPECT_EQ(std::string(result), Cache("Clipart/Birds/sun.png"));
    EXPECT_EQ(TemporaryFolder::ReadFile(result), picture);
    EXPECT_EQ(library.Count("clipart/Birds/sun.png"), 2);
}

TEST_F(ClipartFailureTest, MissingFilesAreToldWithNameAndReason)
{
    Library library;
    library.Standard();
    library.Put("clipart/index.csv", "Birds/index.csv\r\nGone/index.csv\r\nSlow/index.csv\r\n");
    library.Hold("clipart/Slow/index.csv");
    library.Put("clipart/Birds/index.csv", "sun,1\nghost,2\nstar,3\n");
    library.Put("clipart/Birds/preview_ghost.png", Png(40, 30, 0, 0, 200));
    library.Hold("clipart/Birds/star.png");
    AlertAnswer answer;
    LClipartDialog dialog;
    char result[260] = {};
    std::string goneText, birdsText, ghostCell, slowText;
    int goneRows = -1;
    bool ghostPreview = false, openAfter = false;
    size_t alertsAfterFolder = 0, alertsAfterGhost = 0;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            ASSERT_EQ(root->childCount(), 3u);
            // Slow never answers; its wait is ended with "Avbryt" (the time limit lies far off).
            LClipartDownloadLimits().timeoutMs = 20000;
            uitest::When([] { return ProgressWindow() != nullptr; },
                [] {
                    if (LMacWindow* progress = ProgressWindow())
                        ClickControl(*progress, kLCmdCancel);
                });
            ClickItem(dialog, root->childAt(2));
            uitest::PumpUntil([&] { return ListText(dialog) == "Inläsningen avbröts."; }, 5000);
            slowText = ListText(dialog);
            LClipartDownloadLimits().timeoutMs = 3000;

            ClickItem(dialog, root->childAt(1)); // Gone: its index is not on the server
            uitest::PumpUntil([&] { return !answer.alerts.empty(); }, 5000);
            uitest::Pump(100);
            alertsAfterFolder = answer.alerts.size();
            goneText = ListText(dialog);
            goneRows = Rows(dialog);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("folder-missing"));

            ClickItem(dialog, root->childAt(0)); // Birds
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(dialog) == 3 && Listed(dialog); }));
            birdsText = ListText(dialog);
            // ghost has a preview but no picture.
            ClickRow(dialog, LClipartDialog::kList, RowOf(dialog, "ghost"));
            ghostPreview = uitest::PumpUntil([&] { return dialog.Preview()->HasImage(); });
            ClickControl(dialog, LClipartDialog::kDownload);
            uitest::PumpUntil([&] { return answer.alerts.size() > alertsAfterFolder; }, 5000);
            uitest::Pump(100);
            alertsAfterGhost = answer.alerts.size();
            openAfter = dialog.IsOpen() && !dialog.IsDownloading();
            ghostCell = Cell(dialog, RowOf(dialog, "ghost"), 2);

            // star never comes: the time limit ends the wait, and that is told as well.
            LClipartDownloadLimits().timeoutMs = 600;
            ASSERT_TRUE(Fetch(dialog, "star"));
            uitest::PumpUntil([&] { return answer.alerts.size() > alertsAfterGhost; }, 5000);
        });
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    ASSERT_EQ(answer.alerts.size(), 3u);
    // The stopped folder says so; the user needs no message box for what he did himself.
    EXPECT_EQ(slowText, "Inläsningen avbröts.");
    EXPECT_EQ(alertsAfterFolder, 1u);
    EXPECT_EQ(answer.alerts[0].first, "Hämtningsfel");
    EXPECT_EQ(
        answer.alerts[0].second, "Mappen \"Gone\" kunde inte läsas. Den finns inte på servern.");
    EXPECT_EQ(goneText, "Mappen kunde inte läsas.");
    EXPECT_EQ(goneRows, 0);
    EXPECT_EQ(birdsText, "Markera den bild du vill använda och tryck på hämtning.");
    EXPECT_TRUE(ghostPreview);
    EXPECT_EQ(alertsAfterGhost, 2u);
    EXPECT_EQ(answer.alerts[1].first, "Hämtningsfel");
    EXPECT_EQ(
        answer.alerts[1].second, "Bilden \"ghost\" kunde inte hämtas. Den finns inte på servern.");
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(ghostCell, "");
    EXPECT_EQ(
        answer.alerts[2].second, "Bilden \"star\" kunde inte hämtas. Servern svarade inte i tid.");
    EXPECT_STREQ(result, "");
    // Only the previews came; no picture is in the cache.
    EXPECT_EQ(
        Joined(Files(Cache("Clipart/Birds"))), "index.csv preview_ghost.png preview_star.png ");
}

TEST_F(ClipartFailureTest, ATextFileIsNoPictureAndIsFetchedAgainOnceMended)
{
    Library library;
    library.Standard();
    const std::string picture = Png(64, 64, 200, 30, 30);
    library.Put("clipart/Birds/sun.png", "404 page, but with status 200\n");
    // An earlier run kept a moon that is no picture.
    std::filesystem::create_directories(Cache("Clipart/Birds"));
    TemporaryFolder::WriteFile(Cache("Clipart/Birds/moon.png"), "<html>moon</html>");
    AlertAnswer answer;
    LClipartDialog dialog;
    char result[260] = {};
    std::string sunCell, moonCellBefore;
    bool sunGone = false, alertSeen = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            ClickRow(dialog, LClipartDialog::kTree, 1); // Birds
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(dialog) == 5 && Listed(dialog); }));
            moonCellBefore = Cell(dialog, RowOf(dialog, "moon"), 2);
            ASSERT_TRUE(Fetch(dialog, "sun"));
            alertSeen = uitest::PumpUntil([&] { return !answer.alerts.empty(); }, 5000);
            uitest::PumpUntil([&] { return !dialog.IsDownloading(); });
            sunCell = Cell(dialog, RowOf(dialog, "sun"), 2);
            sunGone = !LFile::TestFileExists(Cache("Clipart/Birds/sun.png").c_str());
            library.Put("clipart/Birds/sun.png", picture);
            ClickControl(dialog, LClipartDialog::kDownload);
            uitest::PumpUntil([&] { return result[0] != 0; }, 5000);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    ASSERT_TRUE(alertSeen);
    EXPECT_EQ(answer.alerts[0].first, "Ogiltig bild");
    EXPECT_EQ(answer.alerts[0].second, "Bilden \"sun\" från servern är ingen giltig bild.");
    EXPECT_EQ(sunCell, "");
    EXPECT_TRUE(sunGone);
    EXPECT_EQ(std::string(result), Cache("Clipart/Birds/sun.png"));
    EXPECT_EQ(TemporaryFolder::ReadFile(result), picture);
    EXPECT_EQ(library.Count("clipart/Birds/sun.png"), 2);

    // The moon in the cache is no picture either: it is fetched anew without a word.
    EXPECT_EQ(moonCellBefore, "Hämtad");
    LClipartDialog again;
    char second[260] = {};
    AlertAnswer none;
    uitest::When([&] { return Shown(again); },
        [&] {
            CloseAtEnd guard { again };
            ClickRow(again, LClipartDialog::kTree, 1);
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(again) == 5 && Listed(again); }));
            ASSERT_TRUE(Fetch(again, "moon"));
            uitest::PumpUntil([&] { return second[0] != 0; }, 5000);
        });
    EXPECT_TRUE(again.Open(nullptr, second, nullptr));
    EXPECT_TRUE(none.alerts.empty());
    EXPECT_EQ(library.Count("clipart/Birds/moon.png"), 1);
    LImageBuffer loaded;
    EXPECT_TRUE(LClipartLoadPicture(second, loaded));
}

TEST_F(ClipartFailureTest, ATextFileIsNoFrameAndIsFetchedAgainOnceMended)
{
    Library library;
    library.Standard("Frames");
    library.Put("Frames/Birds/sun.png", "just text");
    AlertAnswer answer;
    LFrameClipartDialog dialog(300, 200);
    char result[260] = {};
    bool gone = false;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            ClickRow(dialog, LClipartDialog::kTree, 1); // Birds
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(dialog) == 5 && Listed(dialog); }));
            ASSERT_TRUE(Fetch(dialog, "sun"));
            ASSERT_TRUE(uitest::PumpUntil([&] { return !answer.alerts.empty(); }, 5000));
            uitest::PumpUntil([&] { return !dialog.IsDownloading(); });
            gone = !LFile::TestFileExists(Cache("Frames/Birds/sun.png").c_str());
            library.Put("Frames/Birds/sun.png", Png(50, 80, 0, 200, 0));
            ClickControl(dialog, LClipartDialog::kDownload);
            uitest::PumpUntil([&] { return result[0] != 0; }, 5000);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    ASSERT_EQ(answer.alerts.size(), 1u);
    EXPECT_EQ(answer.alerts[0].first, "Ogiltig bild");
    EXPECT_EQ(answer.alerts[0].second, "Tidsbilden är ogiltig.");
    EXPECT_TRUE(gone);
    EXPECT_EQ(library.Count("Frames/Birds/sun.png"), 2);
    EXPECT_EQ(std::string(result), Cache("Frames/border_sun.png"));
    const std::string size
        = uitest::Run(std::string("/usr/bin/convert '") + result + "' -format '%w %h' info:");
    EXPECT_EQ(size, "300 200");
}

TEST_F(ClipartFailureTest, AFolderListsItsOwnPicturesEveryTimeItIsSelected)
{
    Library library;
    library.Put("clipart/index.csv", "Djur/index.csv\r\nSol,3\r\n");
    library.Put(
        "clipart/Djur/index.csv", "Björn,10\nIgelkott,11\nRäv,12\nÄlg,13\nFåglar/index.csv\n");
    library.Put("clipart/Djur/Fåglar/index.csv", "Sparv,5\nKråka,6\n");
    LClipartDialog dialog;
    char result[260] = {};
    std::string rootFirst, djurFirst, faglar, djurSecond, rootSecond, djurThird;
    size_t subFolders = 0;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            uitest::PumpUntil([&] { return Rows(dialog) == 1; });
            rootFirst = Names(dialog);
            LCocoaTreeNode* djur = root->childAt(0);
            ClickItem(dialog, djur);
            uitest::PumpUntil([&] { return Rows(dialog) == 4 && Listed(dialog); });
            djurFirst = Names(dialog);
            ASSERT_EQ(djur->childCount(), 1u);
            ClickExpander(dialog, djur);
            LCocoaTreeViewImpl* tree = dialog.TreeViewGetImplById(LClipartDialog::kTree);
            // Images, Djur and now Fåglar.
            uitest::PumpUntil([&] { return tree->numberOfRows() == 3; });
            // The new row is measured in idle time, then drawn.
            uitest::PumpUntilIdle();
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("folder-opened"));
            ClickItem(dialog, djur->childAt(0));
            uitest::PumpUntil([&] { return Rows(dialog) == 2 && Listed(dialog); });
            faglar = Names(dialog);
            ClickItem(dialog, djur);
            uitest::PumpUntil([&] { return Rows(dialog) == 4 && Listed(dialog); });
            djurSecond = Names(dialog);
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("folder-again"));
            ClickItem(dialog, root);
            uitest::PumpUntil([&] { return Rows(dialog) == 1; });
            rootSecond = Names(dialog);
            ClickItem(dialog, djur);
            uitest::PumpUntil([&] { return Rows(dialog) == 4 && Listed(dialog); });
            djurThird = Names(dialog);
            subFolders = djur->childCount();
        });
    dialog.Open(nullptr, result, nullptr);
    EXPECT_EQ(rootFirst, "Sol ");
    EXPECT_EQ(djurFirst, "Björn Igelkott Räv Älg ");
    EXPECT_EQ(faglar, "Kråka Sparv ");
    EXPECT_EQ(djurSecond, djurFirst);
    EXPECT_EQ(rootSecond, "Sol ");
    EXPECT_EQ(djurThird, djurFirst);
    EXPECT_EQ(subFolders, 1u);
    // Each index was asked for once; later selections read the cache.
    EXPECT_EQ(library.Count("clipart/index.csv"), 1);
    EXPECT_EQ(library.Count("clipart/Djur/index.csv"), 1);
    EXPECT_EQ(library.Count("clipart/Djur/Fåglar/index.csv"), 1);
}

TEST_F(ClipartFailureTest, EveryFailureOfTheLibraryIsNamed)
{
    // Opens the dialog, which fails to read the library, and answers the alert it shows.
    auto opening = [] {
        AlertAnswer answer;
        LClipartDialog dialog;
        char result[260];
        // A library read after all is closed again (the test fails then, but ends).
        auto alive = std::make_shared<bool>(true);
        uitest::When([&dialog, alive] { return *alive && Shown(dialog); },
            [&dialog, alive] {
                if (*alive)
                    dialog.PostCommand(kLCmdCancel);
            });
        EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
        *alive = false;
        EXPECT_EQ(answer.alerts.size(), 1u);
        return answer.alerts.empty() ? std::pair<std::string, std::string>() : answer.alerts[0];
    };
    const std::string network = "Det gick inte att ansluta till servern. Kontrollera din "
                                "internetuppkoppling och försök igen.";
    {
        // Nothing listens on the port: the connection itself cannot be made.
        int port = 0;
        {
            LoopbackServer gone;
            port = gone.Port();
        }
        LUserSettingSetString("Online", kLOnlineComponentServer,
            ("https://127.0.0.1:" + std::to_string(port)).c_str());
        EXPECT_EQ(opening(), std::make_pair(std::string("Anslutningsfel"), network));
    }
    {
        Library missing; // answers 404 to everything
        EXPECT_EQ(opening(),
            std::make_pair(std::string("Hämtningsfel"),
                std::string("Biblioteket kunde inte läsas. Den finns inte på servern.")));
    }
    {
        Library other("other"); // a certificate for other.example
        other.Standard();
        EXPECT_EQ(opening().second,
            "Biblioteket kunde inte läsas. Serverns certifikat gäller inte för namnet 127.0.0.1. "
            "Anslutningen är inte säker.");
    }
    {
        Library silent;
        silent.Hold("clipart/index.csv");
        LClipartDownloadLimits().timeoutMs = 600;
        EXPECT_EQ(opening().second, "Biblioteket kunde inte läsas. Servern svarade inte i tid.");
        LClipartDownloadLimits().timeoutMs = 3000;
    }
    {
        // A file stands where the cache's folders go: nothing can be kept, and the server is
        // not asked.
        Library library;
        library.Standard();
        const std::string top = std::filesystem::path(Cache("")).parent_path().parent_path();
        std::filesystem::remove_all(top);
        TemporaryFolder::WriteFile(top, "no folder");
        ASSERT_TRUE(std::filesystem::is_regular_file(top));
        EXPECT_EQ(opening().second,
            "Biblioteket kunde inte läsas. Filen kunde inte skrivas till eller läsas från "
            "cachemappen.");
        EXPECT_TRUE(library.Log().empty());
        std::filesystem::remove(top);
    }
}

TEST_F(ClipartFailureTest, ATricklingServerHoldsNeitherTheNextPreviewNorHämtaPastItsTime)
{
    Library library;
    library.Standard();
    // A byte every 100 ms for hours: no wait for the server is ever long, the transfer is.
    library.Trickle("clipart/Birds/preview_sun.png", 100000, 100);
    library.Trickle("clipart/Birds/sun.png", 100000, 100);
    LClipartDownloadLimits() = LHTTPDownloadLimits { uint64_t(64) << 20, 20000, 2500 };
    AlertAnswer answer;
    LClipartDialog dialog;
    char result[260] = {};
    bool sunAsked = false, moonAsked = false, moonShown = false, alerted = false;
    std::string during;
    long fetchMs = -1;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            ClickRow(dialog, LClipartDialog::kTree, 1); // Birds
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(dialog) == 5 && Listed(dialog); }));
            ClickRow(dialog, LClipartDialog::kList, RowOf(dialog, "sun"));
            const int sent = library.server.PiecesSent();
            sunAsked = uitest::PumpUntil(
                [&] { return library.Count("clipart/Birds/preview_sun.png") == 1; }, 3000);
            // A few bytes of it came.
            uitest::PumpUntil([&] { return library.server.PiecesSent() >= sent + 3; }, 3000);
            // The next picture's preview is asked for at once, long before the first would end.
            ClickRow(dialog, LClipartDialog::kList, RowOf(dialog, "moon"));
            moonAsked = uitest::PumpUntil(
                [&] { return library.Count("clipart/Birds/preview_moon.png") == 1; }, 1500);
            moonShown = uitest::PumpUntil(
                [&] { return dialog.Preview()->HasImage() && !dialog.Preview()->IsDownloading(); },
                3000);
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("trickle-next-preview"));
            // "Hämta" of the trickled picture ends when the whole transfer's time is up (the
            // download turns the loop itself: what it shows meanwhile is seen from a timer).
            uitest::When([&] { return dialog.IsDownloading(); },
                [&] { during = ControlText(dialog, LClipartDialog::kProgress); });
            ASSERT_TRUE(Fetch(dialog, "sun"));
            const Clock::time_point clicked = Clock::now();
            alerted = uitest::PumpUntil([&] { return !answer.alerts.empty(); }, 8000);
            fetchMs = Ms(clicked, Clock::now());
        });
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    EXPECT_TRUE(sunAsked);
    EXPECT_TRUE(moonAsked);
    EXPECT_TRUE(moonShown);
    EXPECT_EQ(during.rfind("Laddar ", 0), 0u) << during;
    ASSERT_TRUE(alerted);
    RecordProperty("trickled_fetch_ended_ms", int(fetchMs));
    EXPECT_GE(fetchMs, 2000);
    EXPECT_EQ(
        answer.alerts[0].second, "Bilden \"sun\" kunde inte hämtas. Servern svarade inte i tid.");
    EXPECT_STREQ(result, "");
    EXPECT_FALSE(LFile::TestFileExists(Cache("Clipart/Birds/sun.png").c_str()));
}

TEST_F(ClipartFailureTest, AFolderNamedImagesIsAFolderOfItsOwn)
{
    Library library;
    library.Put("clipart/index.csv", "Images/index.csv\r\nDjur/index.csv\r\nSol,3\r\n");
    library.Put("clipart/Images/index.csv", "Foto,7\nGamla/index.csv\n");
    library.Put("clipart/Images/Gamla/index.csv", "Bild,1\n");
    library.Put("clipart/Djur/index.csv", "Räv,2\n");
    const std::string photo = Png(30, 20, 0, 90, 200);
    library.Put("clipart/Images/Foto.png", photo);
    library.Put("clipart/Images/preview_Foto.png", Png(30, 20, 0, 90, 200));
    LClipartDialog dialog;
    char result[260] = {};
    std::string topLevel, imagesRows, imagesFolder, gamlaRows, gamlaFolder, rootRows;
    std::string imagesChildren;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            char text[260];
            for (size_t i = 0; i < root->childCount(); ++i)
                topLevel
                    += std::string(dialog.TVGetText(LClipartDialog::kTree, root->childAt(i), text))
                    + " ";
            LCocoaTreeNode* images = root->childAt(1);
            ClickItem(dialog, images);
            uitest::PumpUntil([&] { return Rows(dialog) == 1 && Cell(dialog, 0, 0) == "Foto"; });
            imagesRows = Names(dialog);
            imagesFolder = dialog.CurrentFolder();
            for (size_t i = 0; i < images->childCount(); ++i)
                imagesChildren += std::string(dialog.TVGetText(
                                      LClipartDialog::kTree, images->childAt(i), text))
                    + " ";
            ASSERT_EQ(images->childCount(), 1u);
            ClickExpander(dialog, images);
            LCocoaTreeViewImpl* tree = dialog.TreeViewGetImplById(LClipartDialog::kTree);
            uitest::PumpUntil([&] { return tree->numberOfRows() == 4; });
            uitest::PumpUntilIdle();
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            ClickItem(dialog, images->childAt(0));
            uitest::PumpUntil([&] { return Cell(dialog, 0, 0) == "Bild"; });
            gamlaRows = Names(dialog);
            gamlaFolder = dialog.CurrentFolder();
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("folder-named-images"));
            ClickItem(dialog, root);
            uitest::PumpUntil([&] { return Cell(dialog, 0, 0) == "Sol"; });
            rootRows = Names(dialog);
            ClickItem(dialog, images);
            uitest::PumpUntil([&] { return Cell(dialog, 0, 0) == "Foto"; });
            ASSERT_TRUE(Fetch(dialog, "Foto"));
            uitest::PumpUntil([&] { return result[0] != 0; }, 5000);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    EXPECT_EQ(topLevel, "Djur Images ");
    EXPECT_EQ(imagesRows, "Foto ");
    EXPECT_EQ(imagesFolder, "Images");
    EXPECT_EQ(imagesChildren, "Gamla ");
    EXPECT_EQ(gamlaRows, "Bild ");
    EXPECT_EQ(gamlaFolder, "Images/Gamla");
    EXPECT_EQ(rootRows, "Sol ");
    EXPECT_EQ(std::string(result), Cache("Clipart/Images/Foto.png"));
    EXPECT_EQ(TemporaryFolder::ReadFile(result), photo);
    EXPECT_EQ(library.Count("clipart/Images/index.csv"), 1);
}

TEST_F(ClipartFailureTest, APictureWhoseNameHoldsASlashIsFetchedOrToldTruly)
{
    Library library;
    library.Put("clipart/index.csv", "Djur/index.csv\r\n");
    library.Put("clipart/Djur/index.csv", "Fåglar/Sparv,5\nFåglar/Kråka,6\nRäv,7\n");
    const std::string sparrow = Png(24, 24, 120, 80, 40);
    library.Put("clipart/Djur/Fåglar/Sparv.png", sparrow);
    library.Put("clipart/Djur/Fåglar/preview_Sparv.png", Png(20, 20, 120, 80, 40));
    AlertAnswer answer;
    LClipartDialog dialog;
    char result[260] = {};
    bool preview = false;
    std::string kråka;
    uitest::When([&] { return Shown(dialog); },
        [&] {
            CloseAtEnd guard { dialog };
            ClickRow(dialog, LClipartDialog::kTree, 1); // Djur
            ASSERT_TRUE(uitest::PumpUntil([&] { return Rows(dialog) == 3 && Listed(dialog); }));
            // Kråka is not on the server: the alert names the picture and the true reason.
            ASSERT_TRUE(Fetch(dialog, "Fåglar/Kråka"));
            uitest::PumpUntil([&] { return !answer.alerts.empty(); }, 5000);
            uitest::PumpUntil([&] { return !dialog.IsDownloading(); });
            ClickRow(dialog, LClipartDialog::kList, RowOf(dialog, "Fåglar/Sparv"));
            preview = uitest::PumpUntil([&] { return dialog.Preview()->HasImage(); });
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("slash-preview"));
            ASSERT_TRUE(Fetch(dialog, "Fåglar/Sparv"));
            uitest::PumpUntil([&] { return result[0] != 0; }, 5000);
        });
    EXPECT_TRUE(dialog.Open(nullptr, result, nullptr));
    ASSERT_EQ(answer.alerts.size(), 1u);
    EXPECT_EQ(answer.alerts[0].second,
        "Bilden \"Fåglar/Kråka\" kunde inte hämtas. Den finns inte på servern.");
    EXPECT_TRUE(preview);
    EXPECT_EQ(std::string(result), Cache("Clipart/Djur/Fåglar/Sparv.png"));
    EXPECT_EQ(TemporaryFolder::ReadFile(result), sparrow);
}
