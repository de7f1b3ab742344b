// The keys that close and hide the built `vorantel`'s main window, typed as a person types them
// (xdotool): Ctrl+W does what the window's close button does, asking "Ändringar som inte
// sparats" over unsaved work; "Dölj Vorantel" (Ctrl+H) minimises the window, which the taskbar
// then lists and brings back (as a taskbar does: by asking the window manager to activate it).
// Runs once more under openbox (VT_WINDOW_MANAGER), which alone minimises windows. Screenshots
// are kept in <build>/e2e-files.
#include "support/E2eSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-files";
const std::string kUnsaved
    = "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n";

// The project opened and changed (a text added by a second start): its main window.
unsigned long OpenChanged(Session& s, std::unique_ptr<Program>& program, const std::string& path)
{
    program = std::make_unique<Program>(std::vector<std::string> { path });
    const unsigned long xid = WaitMainWindow();
    EXPECT_NE(xid, 0u);
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    Program add({ "-addtext", s.Write("t.txt", "osparad") });
    EXPECT_EQ(add.Wait(15000 * kSlowdown), 0);
    return xid;
}

// The window's state as the window manager keeps it ("Normal", "Iconic"; "" when it manages the
// window no more), and whether it is in the list of windows a taskbar shows.
std::string WindowState(unsigned long xid)
{
    const std::string state = Shell("xprop -id " + std::to_string(xid)
        + " WM_STATE 2>/dev/null | grep -o "
          "'window state: [A-Za-z]*'");
    return state.empty() ? "" : state.substr(state.find(':') + 2);
}

bool Listed(unsigned long xid)
{
    const std::string list = Shell("xprop -root _NET_CLIENT_LIST 2>/dev/null");
    const size_t ids = list.find('#');
    std::istringstream in(ids == std::string::npos ? "" : list.substr(ids + 1));
    std::string id;
    while (in >> id)
        if (std::strtoul(id.c_str(), nullptr, 16) == xid)
            return true;
    return false;
}

} // namespace

// Ctrl+W over unsaved work asks as the close button does: "Avbryt" keeps the window on the
// screen with the work; asked again, "Spara" saves the work and the program ends with 0.
TEST(ClosingKeys, CtrlWAsksAboutUnsavedWork)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    std::unique_ptr<Program> program;
    const unsigned long xid = OpenChanged(s, program, project);
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+w"), kUnsaved);
    Shot("ctrl-w-asks", kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Avbryt"));
    EXPECT_TRUE(WaitFor(MainWindowAlone, 8000, 50)) << "the main window went";
    EXPECT_TRUE(program->Running());

    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+w"), kUnsaved);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara"));
    EXPECT_EQ(program->Wait(15000 * kSlowdown), 0);
    EXPECT_EQ(Count(SavedTexts(project), "osparad"), 1u);
}

// Ctrl+H minimises the window with the unsaved work: the window manager still manages it and the
// taskbar lists it; activated from there it shows again. A second Ctrl+H minimises it again, and
// the work is still asked about at the end.
TEST(ClosingKeys, CtrlHMinimisesAndTheTaskbarBringsTheWindowBack)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    if (!WindowManagerRuns())
        GTEST_SKIP() << "only a window manager minimises windows";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    std::unique_ptr<Program> program;
    const unsigned long xid = OpenChanged(s, program, project);
    ASSERT_NE(xid, 0u);
    ASSERT_EQ(WindowState(xid), "Normal");
    for (int time = 1; time <= 2; ++time) {
        KeysTo(xid, "ctrl+h");
        EXPECT_TRUE(WaitFor([&] { return WindowState(xid) == "Iconic"; }, 8000, 20))
            << "Ctrl+H number " << time << ": " << WindowState(xid);
        EXPECT_TRUE(Listed(xid)) << "not in the taskbar's list";
        Shot("ctrl-h-minimised-" + std::to_string(time), kShots);
        EXPECT_TRUE(program->Running());
        // What a taskbar does with a click on the window's button.
        Shell("xdotool windowactivate --sync " + std::to_string(xid) + " 2>/dev/null");
        EXPECT_TRUE(WaitFor([&] { return WindowState(xid) == "Normal"; }, 8000, 20))
            << WindowState(xid);
        EXPECT_NE(WaitMainWindow(), 0u);
    }
    Shot("ctrl-h-back", kShots);
    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+q"), kUnsaved);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(program->Wait(15000 * kSlowdown), 0);
}
