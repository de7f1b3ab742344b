// The keyboard after an alert that follows a progress window, through the whole program as a
// person meets it: a save that is refused ("Spara projekt") and a damaged project opened
// ("Laddar projekt"), each alert dismissed with Return, twenty times each. After every alert the
// display gives the keyboard to the main window, and the next key typed (not aimed at any
// window) reaches it. Under a window manager, the window manager is made slow, as on a busy
// machine, which is where it lost the keyboard. Screenshots are kept in <build>/e2e-focus.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the windows.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTProjectFile.h"
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <pthread.h>
#include <sched.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "support/XServerView.h"

using namespace e2e;

namespace {

constexpr int kTries = 20;
const char* const kShots = "e2e-focus";

bool UnderWindowManager()
{
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    return wm && std::strcmp(wm, "1") == 0;
}

// The test's window manager made slow, as on a busy machine: openbox shares one processor with
// a thread of the test that keeps it busy, openbox at the lowest priority. It then handles an
// alert's going only after the progress window below has gone too, the case in which it found no
// window to give the keyboard to. Only under a window manager; undone when the object goes.
class BusyWindowManager {
public:
    BusyWindowManager()
    {
        if (!UnderWindowManager())
            return;
        // The openbox of own-display.sh: a child of the shell that started this test.
        const pid_t shell = ::getppid();
        for (const std::string& entry : TemporaryFolder::List("/proc")) {
            if (entry.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::istringstream stat(TemporaryFolder::ReadFile("/proc/" + entry + "/stat"));
            std::string pid, name, state;
            pid_t parent = 0;
            if (stat >> pid >> name >> state >> parent && name == "(openbox)" && parent == shell)
                fPid = pid_t(std::stoi(pid));
        }
        cpu_set_t mine;
        CPU_ZERO(&mine);
        if (fPid <= 0 || ::sched_getaffinity(0, sizeof mine, &mine) != 0
            || ::sched_getaffinity(fPid, sizeof fOldSet, &fOldSet) != 0)
            return;
        int cpu = -1;
        for (int i = 0; i < CPU_SETSIZE; ++i)
            if (CPU_ISSET(i, &mine))
                cpu = i;
        CPU_ZERO(&fOne);
        CPU_SET(cpu, &fOne);
        errno = 0;
        fOldNice = ::getpriority(PRIO_PROCESS, id_t(fPid));
        if (errno != 0 || ::sched_setaffinity(fPid, sizeof fOne, &fOne) != 0)
            return;
        ::setpriority(PRIO_PROCESS, id_t(fPid), 19);
        fSpinner = std::thread([this] {
            ::pthread_setaffinity_np(::pthread_self(), sizeof fOne, &fOne);
            ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
            while (!fStop.load(std::memory_order_relaxed)) { }
        });
    }
    ~BusyWindowManager()
    {
        fStop = true;
        if (fSpinner.joinable()) {
            fSpinner.join();
            ::sched_setaffinity(fPid, sizeof fOldSet, &fOldSet);
            ::setpriority(PRIO_PROCESS, id_t(fPid), fOldNice);
        }
    }
    BusyWindowManager(const BusyWindowManager&) = delete;
    BusyWindowManager& operator=(const BusyWindowManager&) = delete;

    bool Busy() const { return fSpinner.joinable(); }

private:
    pid_t fPid = -1;
    cpu_set_t fOldSet {}, fOne {};
    int fOldNice = 0;
    std::atomic<bool> fStop { false };
    std::thread fSpinner;
};

// The top-level window that has the keyboard (0 when none of them has it).
unsigned long Focused()
{
    const std::string id = Shell("xdotool getwindowfocus 2>/dev/null");
    return id.empty() || id.find_first_not_of("0123456789") != std::string::npos ? 0
                                                                                 : std::stoul(id);
}

// The middle of the alert's first button, in screen pixels, from the rectangle file.
bool AlertButton(const std::string& rects, int& x, int& y)
{
    std::ifstream in(rects + ".alert");
    std::string word, label;
    int w = 0, h = 0;
    if (!(in >> word >> label >> x >> y >> w >> h))
        return false;
    x += w / 2;
    y += h / 2;
    return true;
}

// Keys to whatever has the keyboard, without a pause after them: what follows waits for what
// they lead to.
void Press(const std::string& keys)
{
    Shell("xdotool key --clearmodifiers " + keys + " 2>/dev/null");
}

// Return to the alert that shows, once it has the keyboard: the window manager gives it the
// keyboard (without one, the program does). False when it never has it.
bool DismissWithReturn(XServerView& view, const std::string& rects)
{
    int x = 0, y = 0;
    const bool ready = WaitFor(
        [&] {
            XRect r;
            const unsigned long focused = Focused();
            return AlertButton(rects, x, y) && focused && view.OuterFrame(focused, r) && r.x <= x
                && x < r.Right() && r.y <= y && y < r.Bottom();
        },
        5000 * kSlowdown, 50);
    ForgetAlert(rects);
    Press("Return");
    return ready;
}

// Waits until the main window has the keyboard again.
bool KeyboardBack(unsigned long xid)
{
    return WaitFor([&] { return Focused() == xid; }, 5000 * kSlowdown, 50);
}

class FocusAfterAlerts : public ::testing::Test, public EnvironmentScope {
protected:
    void SetUp() override
    {
        if (!HasTools() || !view.Ok())
            GTEST_SKIP() << "no display, xdotool or Xlib";
        Set("GSETTINGS_BACKEND", "memory");
        Set("NO_AT_BRIDGE", "1");
    }
    // A settings folder, data folder, cache and runtime folder under home, and the window's
    // rectangle file; no welcome dialog and no autosave offered.
    void MakeHome(const std::string& home)
    {
        for (const char* sub : { "/config", "/data", "/cache", "/run" })
            ASSERT_EQ(::mkdir((home + sub).c_str(), 0700), 0);
        Set("HOME", home);
        Set("XDG_CONFIG_HOME", home + "/config");
        Set("XDG_DATA_HOME", home + "/data");
        Set("XDG_CACHE_HOME", home + "/cache");
        Set("XDG_RUNTIME_DIR", home + "/run");
        rects = home + "/rectangles.txt";
        Set("VT_TEST_RECTANGLES_FILE", rects);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        LUserSettingSetString("AutoSave", "FileName", "");
    }
    // kTries times: the key, typed to whatever has the keyboard (the first time to the window),
    // leads to the alert that says said (after what between does); the alert is dismissed with
    // Return and the main window must have the keyboard back. The next key reaching the window
    // proves it too. Answers in how many of the tries the keyboard came back.
    int TriesWithTheKeyboardBack(unsigned long xid, const std::string& key,
        const std::function<void()>& between, const std::string& said, const std::string& shot)
    {
        BusyWindowManager busy;
        std::cout << (busy.Busy() ? "the window manager is kept busy\n" : "");
        int back = 0;
        for (int t = 0; t < kTries; ++t) {
            SCOPED_TRACE("try " + std::to_string(t + 1));
            ForgetAlert(rects);
            if (t == 0)
                Drive(xid, "key --clearmodifiers " + key);
            else
                Press(key);
            between();
            const std::string text = AlertText(rects, 15000 * kSlowdown);
            if (text != said) {
                ADD_FAILURE() << "the key did not lead to the alert: " << text;
                break;
            }
            if (t == 0)
                Shot(shot + "-alert", kShots);
            EXPECT_TRUE(DismissWithReturn(view, rects));
            const bool returned = KeyboardBack(xid);
            EXPECT_TRUE(returned) << "the keyboard is on " << Focused();
            back += returned;
            if (!returned)
                Drive(xid, ""); // the keyboard to the window, so that the next tries tell too
        }
        Shot(shot + "-keyboard-back", kShots);
        return back;
    }
    // Quits with Ctrl+Q typed to whatever has the keyboard, not saving the changes.
    void QuitWithoutSaving(Program& program)
    {
        ForgetAlert(rects);
        Keys("ctrl+q");
        EXPECT_EQ(AlertText(rects, 8000 * kSlowdown),
            "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
        EXPECT_TRUE(ClickAlertButton(rects, "Spara_inte"));
        EXPECT_EQ(program.Wait(8000 * kSlowdown), 0);
    }

    XServerView view;
    TemporaryFolder work;
    std::string rects;
};

} // namespace

// Run as an ordinary user with a write-protected project: each Ctrl+S is refused in an alert
// over "Spara projekt"; after Return the next Ctrl+S reaches the main window and is refused again.
TEST_F(FocusAfterAlerts, AfterARefusedSaveTheNextKeyReachesTheMainWindow)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the program is run as another user by root only";
    const uid_t nobody = 65534;
    if (!UserMayRunProgram(nobody, nobody))
        GTEST_SKIP() << "the built program lies in a folder another user cannot enter";
    ASSERT_EQ(::chmod(work.Path().c_str(), 0755), 0);
    const std::string home = work / "hem";
    ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
    MakeHome(home);
    const std::string own = SaveSample(home + "/egen.vtproj");
    const std::string ownBytes = TemporaryFolder::ReadFile(own);
    const std::string text = home + "/t.txt";
    TemporaryFolder::WriteFile(text, "Skivetikett");
    ASSERT_EQ(Shell("chown -R 65534:65534 " + Quote(home) + " && echo ok"), "ok");
    ASSERT_EQ(::chmod(own.c_str(), 0444), 0);
    ProgramOptions asUser;
    asUser.uid = nobody;
    asUser.gid = nobody;

    Program first({ own }, asUser);
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - egen.vtproj"));
    {
        Program later({ "-addtext", text }, asUser);
        ASSERT_EQ(later.Wait(10000 * kSlowdown), 0);
    }
    const std::string said = "Spara projekt\nFilen ”egen.vtproj” är skrivskyddad och har inte "
                             "ändrats. Spara under ett annat namn eller i en annan mapp.\n";
    EXPECT_EQ(TriesWithTheKeyboardBack(
                  xid, "ctrl+s", [] {}, said, "refused-save"),
        kTries);
    QuitWithoutSaving(first);
    EXPECT_EQ(TemporaryFolder::ReadFile(own), ownBytes);
}

// A damaged project opened with Ctrl+O is refused in an alert over "Laddar projekt"; after
// Return the next Ctrl+O reaches the main window and opens the file panel again.
TEST_F(FocusAfterAlerts, AfterADamagedProjectTheNextKeyReachesTheMainWindow)
{
    MakeHome(work.Path());
    const std::string good = SaveSample(work / "skiva.vtproj");
    const std::string bytes = TemporaryFolder::ReadFile(good);
    const std::string damaged = work / "trasig.vtproj";
    TemporaryFolder::WriteFile(damaged, bytes.substr(0, bytes.size() * 2 / 3));

    Program first({ good });
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    const std::string said
        = "Laddar projekt\nProjektfilen är skadad eller ofullständig och kan inte öppnas.\n";
    // Pasted once the file panel has the keyboard (TypeIntoFilePanel waits for it).
    auto typeTheName = [&] { EXPECT_TRUE(TypeIntoFilePanel("Läs in projekt", damaged)); };
    EXPECT_EQ(
        TriesWithTheKeyboardBack(xid, "ctrl+o", typeTheName, said, "damaged-project"), kTries);
    EXPECT_EQ(Caption(xid), kCaption + " - skiva.vtproj");
    // The project is unchanged: Ctrl+Q quits at once.
    Keys("ctrl+q");
    EXPECT_EQ(first.Wait(8000 * kSlowdown), 0);
}
