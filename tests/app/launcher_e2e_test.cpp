// What the desktop's launcher hands the program, and the maker's other programs started from it,
// through the whole program: a lone label layout (".vtlayout", as a file manager opens one)
// starts a new project on that layout, on a first start and on a later one; "Arkiv > Starta... >
// Ljudinspelaren" of a program that is not installed says so and where to get it, then opens
// its page. Screenshots are kept in <build>/e2e-launcher. Runs under openbox too
// (VT_WINDOW_MANAGER).
#include "app/VTLabelLayout.h"
#include "app/VTProjectFile.h"
#include "support/E2eSession.h"
#include "support/InstalledPrograms.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-launcher";

// The key of the label layout of a saved project; "" when it does not open.
std::string SavedLayoutKey(const std::string& path)
{
    VTProject project;
    VTProjectLoad record;
    record.project = &project;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    if (Process(quiet, record) != LProcessResultSuccess || !project.GetLabelLayout())
        return "";
    return project.GetLabelLayout()->key;
}

std::string Layout(const Session& s, const std::string& name)
{
    const std::string path = s.dir + "/" + name;
    TemporaryFolder::WriteFile(
        path, TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/vtlayout/" + name));
    return path;
}

// Ctrl+S of the untitled project: saved under the path typed into the save panel.
bool SaveAs(unsigned long xid, const std::string& path)
{
    KeysTo(xid, "ctrl+s");
    return TypeIntoFilePanel("Spara projekt", path) && WaitFile(path);
}

} // namespace

TEST(Launcher, ALoneLabelLayoutStartsAProjectOnIt)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string paper = Layout(s, "paper_two_pages.vtlayout");
    const std::string disc = Layout(s, "disc_tray.vtlayout");

    auto program
        = std::make_unique<Program>(std::vector<std::string> { paper }, s.Capture("first"));
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj", 15000)) << Caption(xid);
    EXPECT_EQ(AlertText(s.rects, 500), "");
    Shot("first-start", kShots);
    ASSERT_TRUE(SaveAs(xid, s.dir + "/papper.vtproj"));
    EXPECT_EQ(SavedLayoutKey(s.dir + "/papper.vtproj"), "TestLayout");

    // A later start, from another folder by a relative path.
    Program::Options later = s.Capture("later");
    later.folder = s.dir;
    Program again({ "disc_tray.vtlayout" }, later);
    EXPECT_EQ(again.Wait(15000), 0) << again.Errors();
    EXPECT_EQ(again.Errors(), "");
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj", 15000)) << Caption(xid);
    Shot("later-start", kShots);
    ASSERT_TRUE(SaveAs(xid, s.dir + "/skiva.vtproj"));
    EXPECT_EQ(SavedLayoutKey(s.dir + "/skiva.vtproj"), "Direct");
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000), 0);
}

TEST(Launcher, ASiblingThatIsNotInstalledIsTold)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    InstalledPrograms programs;
    auto program = std::make_unique<Program>(std::vector<std::string> {});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    // Arkiv (the second menu) from its foot: "Senaste filer", then "Starta...", whose first row
    // is Ljudinspelaren.
    const std::string said = KeysForAlert(s.rects, xid, "F10 Right Up Up Right Return");
    Shot("not-installed", kShots);
    EXPECT_EQ(said,
        "Ljudinspelaren\nLjudinspelaren är inte installerat. Det finns att hämta på "
        "https://www.zor.example/inspelning/index.html.\n");
    EXPECT_TRUE(programs.Opened(1, 500).empty()); // not before the user has read it
    ASSERT_TRUE(ClickAlertButton(s.rects, "OK"));
    const std::vector<std::string> opened = programs.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "https://www.zor.example/inspelning/index.html");
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000), 0);
}
