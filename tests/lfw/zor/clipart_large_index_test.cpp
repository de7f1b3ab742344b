// The clipart dialog with indexes far larger than usual, on real windows: a root of 20,000
// folders is listed within two seconds, downloaded and from the cache, and a large index in the
// cache is read under the progress window, whose "Avbryt" stops it like a download.
// Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LString.h"
#include "lfw/mac/LProgressDialog.h"
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

// An index of count folders "Mapp <n>" in a shuffled order, then the lines after.
std::string FolderIndex(int count, const std::string& after = "")
{
    std::vector<int> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        numbers[size_t(i)] = i;
    uint32_t seed = 3;
    for (size_t i = numbers.size(); i > 1; --i) {
        seed = seed * 1103515245u + 12345u;
        std::swap(numbers[i - 1], numbers[(seed >> 8) % i]);
    }
    std::string text;
    for (int n : numbers)
        text += "Mapp " + std::to_string(n) + "/index.csv\r\n";
    return text + after;
}

// The names of the folders under the tree item, in their order.
std::vector<std::string> Children(LClipartDialog& d, LCocoaTreeNode* item)
{
    std::vector<std::string> names;
    char text[260];
    for (size_t i = 0; i < item->childCount(); ++i)
        names.push_back(d.TVGetText(LClipartDialog::kTree, item->childAt(i), text));
    return names;
}

bool InNaturalOrder(const std::vector<std::string>& names)
{
    for (size_t i = 1; i < names.size(); ++i)
        if (LStringCompareLogical(names[i - 1].c_str(), names[i].c_str()) > 0)
            return false;
    return true;
}

class ClipartLargeIndexTest : public ClipartDialogTest { };

} // namespace

TEST_F(ClipartLargeIndexTest, TwentyThousandFoldersAreListedWithinTwoSeconds)
{
    Library library;
    library.Put("clipart/index.csv", FolderIndex(20000, "Sol,3\r\n"));
    library.Put("clipart/Mapp 19999/index.csv", "Stjärna,4\r\n");
    long downloadMs = -1, cachedMs = -1;
    bool sawProgressFromCache = false;
    std::vector<std::string> names;
    std::string lastFolder;
    Clock::time_point listed;
    for (int run = 0; run < 2; ++run) {
        LClipartDialog dialog;
        char result[260];
        listed = {};
        // Listed: the tree holds the folders and the list the root's own picture.
        uitest::When([&] { return Shown(dialog) && Rows(dialog) == 1; },
            [&] {
                CloseAtEnd guard { dialog };
                listed = Clock::now();
                LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
                ASSERT_TRUE(root);
                if (run == 1) {
                    names = Children(dialog, root);
                    uitest::PumpUntilDrawn(dialog.GetNativeWindow());
                    uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("twenty-thousand"));
                    // The last folder in the order is one click away and lists its picture.
                    dialog.TVSelectItem(
                        LClipartDialog::kTree, root->childAt(root->childCount() - 1));
                    uitest::PumpUntil([&] { return Cell(dialog, 0, 0) == "Stjärna"; });
                    lastFolder = dialog.CurrentFolder();
                }
            });
        // The cached root is read under the progress window (not only the folder selected
        // after it).
        if (run == 1)
            uitest::When([] { return ProgressWindow() != nullptr; },
                [&] {
                    sawProgressFromCache
                        = ProgressWindow() != nullptr && listed == Clock::time_point();
                });
        const Clock::time_point opened = Clock::now();
        dialog.Open(nullptr, result, nullptr);
        ASSERT_NE(listed, Clock::time_point());
        (run == 0 ? downloadMs : cachedMs) = Ms(opened, listed);
    }
    RecordProperty("download_listed_ms", int(downloadMs));
    RecordProperty("cache_listed_ms", int(cachedMs));
    ASSERT_EQ(names.size(), 20000u);
    EXPECT_EQ(names.front(), "Mapp 0");
    EXPECT_EQ(names[10], "Mapp 10");
    EXPECT_EQ(names.back(), "Mapp 19999");
    EXPECT_TRUE(InNaturalOrder(names));
    EXPECT_EQ(lastFolder, "Mapp 19999");
    // An index that large is read from the cache under the progress window.
    EXPECT_TRUE(sawProgressFromCache);
    EXPECT_LT(downloadMs, 2000);
    EXPECT_LT(cachedMs, 2000);
    EXPECT_EQ(library.Count("clipart/index.csv"), 1);
}

TEST_F(ClipartLargeIndexTest, ALargeIndexInTheCacheIsStoppedWithAvbryt)
{
    // Both indexes are in the cache already: no server is asked. The folder Stor lists 200,000
    // pictures; the root names 100,000 folders.
    std::filesystem::create_directories(Cache("Clipart/Stor"));
    TemporaryFolder::WriteFile(Cache("Clipart/index.csv"), "Stor/index.csv\nSol,3\n");
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "bild" + std::to_string(i) + "," + std::to_string(i % 977) + "\n";
    TemporaryFolder::WriteFile(Cache("Clipart/Stor/index.csv"), many);
    LClipartDialog dialog;
    char result[260];
    std::string status, listText;
    int rows = -1;
    bool stopped = false, answering = false;
    uitest::When([&] { return Shown(dialog) && Rows(dialog) == 1; },
        [&] {
            CloseAtEnd guard { dialog };
            uitest::When([] { return ProgressWindow() != nullptr; },
                [&] {
                    LMacWindow* progress = ProgressWindow();
                    if (!progress)
                        return;
                    uitest::PumpUntilDrawn(progress->GetNativeWindow());
                    uitest::SaveScreenshot(progress->GetNativeWindow(), Shot("cached-index"));
                    ClickControl(*progress, kLCmdCancel);
                    // The read goes on until the click has come.
                    auto* job = dynamic_cast<LProgressDialog*>(progress);
                    uitest::PumpUntil([&] { return job && job->IsStopRequested(); }, 3000);
                });
            LCocoaTreeNode* root = dialog.TVGetRoot(LClipartDialog::kTree);
            ClickRow(dialog, LClipartDialog::kTree,
                dialog.TreeViewGetImplById(LClipartDialog::kTree)->rowForItem(root->childAt(0)));
            stopped = uitest::PumpUntil([&] { return ListText(dialog) == "Inläsningen avbröts."; });
            listText = ListText(dialog);
            rows = Rows(dialog);
            uitest::PumpUntilDrawn(dialog.GetNativeWindow());
            uitest::SaveScreenshot(dialog.GetNativeWindow(), Shot("cached-index-stopped"));
            // The dialog goes on: the root lists its picture again.
            ClickRow(dialog, LClipartDialog::kTree, 0);
            answering = uitest::PumpUntil([&] { return Rows(dialog) == 1; });
        });
    EXPECT_FALSE(dialog.Open(nullptr, result, nullptr));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(listText, "Inläsningen avbröts.");
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(answering);

    // A root that large stops the same way: the dialog closes without a word.
    TemporaryFolder::WriteFile(Cache("Clipart/index.csv"), FolderIndex(100000));
    AlertAnswer answer;
    LClipartDialog again;
    bool sawProgress = false;
    uitest::When([] { return ProgressWindow() != nullptr; },
        [&] {
            LMacWindow* progress = ProgressWindow();
            if (!progress)
                return;
            sawProgress = true;
            // This runs inside the read's own wait for events: the stop it asks for is seen as
            // soon as the read goes on.
            ClickControl(*progress, kLCmdCancel);
            auto* job = dynamic_cast<LProgressDialog*>(progress);
            uitest::PumpUntil([&] { return job && job->IsStopRequested(); }, 3000);
        });
    // A dialog whose read was not stopped is closed all the same (its tree is filled then).
    auto alive = std::make_shared<bool>(true);
    uitest::When([&again, alive] { return *alive && Shown(again); },
        [&again, alive] {
            if (*alive)
                again.PostCommand(kLCmdCancel);
        });
    const Clock::time_point opened = Clock::now();
    EXPECT_FALSE(again.Open(nullptr, result, nullptr));
    *alive = false;
    RecordProperty("cached_root_closed_ms", int(Ms(opened, Clock::now())));
    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(answer.alerts.empty());
    EXPECT_FALSE(again.TreeFilled());
}
