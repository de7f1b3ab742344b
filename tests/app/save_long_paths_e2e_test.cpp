// Ctrl+S of a project at the longest path the system opens (4,095 bytes), through the whole
// program: the project opens from the command line, a later start adds a text, Ctrl+S saves it
// in place; twice over, and nothing but the project is ever left in its folder. Screenshots are
// kept in <build>/e2e-save-long-paths. Runs under openbox too (VT_WINDOW_MANAGER).
#include "app/VTOverlayText.h"
#include "app/VTProjectFile.h"
#include "support/E2eSession.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-save-long-paths";

bool Holds(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

TEST(SaveLongPaths, AProjectAtTheLongestPathIsSavedTwiceWithNothingBesideIt)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const size_t length = PATH_MAX - 1;
    const std::string folder = DeepFolder(s.dir + "/djup", length - 40, 200);
    const std::string name = "p" + std::string(length - folder.size() - 1 - 8, 'x') + ".vtproj";
    const std::string project = folder + "/" + name;
    ASSERT_EQ(project.size(), length);
    // Written at a short path and moved there.
    ASSERT_EQ(::rename(SaveSample(s.dir + "/kort.vtproj").c_str(), project.c_str()), 0);
    const std::string first = s.Write("första.txt", "första texten");
    const std::string second = s.Write("andra.txt", "andra texten");

    auto program = std::make_unique<Program>(std::vector<std::string> { project });
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitFor([&] { return Caption(xid) == kCaption + " - " + name; }, 15000, 100))
        << Caption(xid);

    int round = 0;
    for (const std::string& text : { first, second }) {
        SCOPED_TRACE(++round);
        Program add({ "-addtext", text });
        ASSERT_EQ(add.Wait(30000), 0) << add.Errors();
        const std::string before = TemporaryFolder::ReadFile(project);
        ForgetAlert(s.rects);
        KeysTo(xid, "ctrl+s");
        EXPECT_TRUE(
            WaitFor([&] { return TemporaryFolder::ReadFile(project) != before; }, 15000, 100))
            << AlertText(s.rects, 500);
        EXPECT_EQ(AlertText(s.rects, 300), "");
        Shot("saved-" + std::to_string(round), kShots);
        EXPECT_EQ(TemporaryFolder::List(folder), std::vector<std::string> { name });
    }
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_TRUE(Holds(texts, "första texten"));
    EXPECT_TRUE(Holds(texts, "andra texten"));
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000), 0);
}
