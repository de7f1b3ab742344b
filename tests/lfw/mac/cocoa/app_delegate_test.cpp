// The application's start-up and quitting, each run in a child process of its own: documents of
// the command line, SIGTERM as "quit", the pending Dock step, the main window deleted.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAppDelegate.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int gLog = -1;

void Log(const std::string& line)
{
    std::string s = line + "\n";
    ssize_t n = write(gLog, s.data(), s.size());
    (void)n;
}

struct MainWindow : LMacWindow {
    ~MainWindow() override { Log("deleted"); }
};

struct Dialog : LMacWindow { };

// What a child does: the application with these arguments, then the setting it left.
struct Child {
    std::vector<std::string> args;
    bool install = true;
    bool modalAtStart = false;
    bool closeAtStart = false;
    bool waitAtStart = false; // a wait of ours (as a clipboard read's), at most 5 s
};

// Runs in the child, whose settings are in the folder config (made and removed by the parent: a
// child ended by a signal removes nothing).
int RunChild(const Child& c, const std::string& config)
{
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    LUserSettingSetString("Settings", "ContinueInstallAtExit", "1");
    static Child current;
    current = c;
    LAppDelegateHooks& hooks = LAppDelegateHooksGet();
    hooks.install = [] { return current.install; };
    hooks.createMainWindow = []() -> LCocoaWindow* { return new MainWindow; };
    hooks.mainWindowInit = [](LCocoaWindow& w, LAppDelegate&) {
        static_cast<MainWindow&>(w).CreateCocoaWindow(200, 120, kLUiWindowTitled, false, nullptr);
        return true;
    };
    hooks.appleEvent = [](LCocoaWindow& w, const LAppleEvent& e) {
        std::string line = e.id;
        for (const auto& d : e.documents)
            line += "|" + d;
        Log(line);
        if (e.id == "quit") {
            LAppDelegate::Shared()->terminate();
        } else if (current.modalAtStart) {
            LRunLoop::Post([&w] {
                Dialog dialog;
                dialog.CreateCocoaWindow(150, 80, kLUiWindowTitled, true, nullptr);
                Log("modal");
                dialog.RunModal(static_cast<MainWindow*>(&w), kLCocoaDialogCenterParent);
                Log("modal ended");
            });
        } else if (current.waitAtStart) {
            LRunLoop::Post([] {
                GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
                guint timer = g_timeout_add(
                    5000,
                    [](gpointer l) -> gboolean {
                        g_main_loop_quit(static_cast<GMainLoop*>(l));
                        return G_SOURCE_REMOVE;
                    },
                    loop);
                {
                    LModalWait wait(loop);
                    Log("waiting");
                    wait.Run();
                    Log(wait.Stopped() ? "wait stopped" : "wait timed out");
                }
                if (GSource* source = g_main_context_find_source_by_id(nullptr, timer))
                    g_source_destroy(source);
                g_main_loop_unref(loop);
            });
        } else if (current.closeAtStart) {
            LRunLoop::Post([&w] { static_cast<MainWindow&>(w).DestroyCommon(); });
        } else {
            Log("ready");
        }
    };
    hooks.addToDock = [](const char*) { Log("dock"); };
    hooks.keepWork = [](LCocoaWindow&) { Log("work kept"); };
    std::vector<char*> argv;
    for (const auto& a : c.args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    LAppDelegate delegate;
    int rc = delegate.Run(int(c.args.size()), argv.data());
    char value[260] = "";
    _LUserSettingGetString("Settings", "ContinueInstallAtExit", "", value);
    Log(std::string("setting ") + value);
    return rc;
}

struct Result {
    std::vector<std::string> lines;
    int status = -1;
    int count(const std::string& l) const { return int(std::count(lines.begin(), lines.end(), l)); }
};

// Runs the child; when a line equals signalAfter, sends SIGTERM (twice when asked).
Result Spawn(const Child& c, const std::string& signalAfter, int signals)
{
    Result r;
    TemporaryFolder config;
    int p[2];
    if (!config.IsValid() || pipe(p) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        gLog = p[1];
        _exit(RunChild(c, config.Path()));
    }
    close(p[1]);
    std::string buffer;
    bool sent = false;
    for (;;) {
        struct pollfd pfd {
            p[0], POLLIN, 0
        };
        if (poll(&pfd, 1, 10000) <= 0)
            break;
        char chunk[256];
        ssize_t n = read(p[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer.append(chunk, size_t(n));
        size_t at;
        while ((at = buffer.find('\n')) != std::string::npos) {
            r.lines.push_back(buffer.substr(0, at));
            buffer.erase(0, at + 1);
            if (!sent && r.lines.back() == signalAfter) {
                sent = true;
                usleep(100000);
                for (int i = 0; i < signals; ++i)
                    kill(pid, SIGTERM);
            }
        }
    }
    close(p[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid)
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

bool HaveDisplay()
{
    return getenv("DISPLAY") && *getenv("DISPLAY");
}

} // namespace

TEST(AppDelegate, DocumentsOfTheCommandLineAndQuittingOnSigterm)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel", "/tmp/en fil.vtproj", "/saknas/mapp/", "\xff\xfe.vtproj" };
    Result r = Spawn(c, "ready", 2);
    EXPECT_EQ(r.status, 0);
    ASSERT_FALSE(r.lines.empty());
    // One event with every document, as given.
    EXPECT_EQ(r.lines[0], "odoc|/tmp/en fil.vtproj|/saknas/mapp/|\xff\xfe.vtproj");
    EXPECT_EQ(r.count("quit"), 1);
    EXPECT_EQ(r.count("dock"), 1);
    EXPECT_EQ(r.count("deleted"), 1);
    EXPECT_EQ(r.count("setting 0"), 1);
}

TEST(AppDelegate, WithoutDocumentsTheApplicationOpens)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel" };
    Result r = Spawn(c, "ready", 1);
    EXPECT_EQ(r.status, 0);
    ASSERT_FALSE(r.lines.empty());
    EXPECT_EQ(r.lines[0], "oapp");
}

TEST(AppDelegate, SigtermInAModalLoopStopsItAndQuitsOnce)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel" };
    c.modalAtStart = true;
    Result r = Spawn(c, "modal", 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.count("modal ended"), 1);
    EXPECT_EQ(r.count("quit"), 1);
    EXPECT_EQ(r.count("deleted"), 1);
}

// A signal inside a wait of ours: the work is kept at once, inside the wait; the wait ends, then
// the quitting comes, once.
TEST(AppDelegate, SigtermInsideAWaitEndsItThenQuits)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel" };
    c.waitAtStart = true;
    Result r = Spawn(c, "waiting", 2);
    EXPECT_EQ(r.status, 0);
    auto at = [&](const std::string& line) {
        return std::find(r.lines.begin(), r.lines.end(), line) - r.lines.begin();
    };
    ASSERT_EQ(r.count("wait stopped"), 1);
    ASSERT_GE(r.count("work kept"), 1);
    EXPECT_LT(at("work kept"), at("wait stopped"));
    EXPECT_EQ(r.count("quit"), 1);
    EXPECT_LT(at("wait stopped"), at("quit"));
    EXPECT_EQ(r.count("deleted"), 1);
}

TEST(AppDelegate, AFailedInstallationStepEndsQuietly)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel", "x" };
    c.install = false;
    Result r = Spawn(c, "-", 0);
    EXPECT_EQ(r.status, 0);
    // No main window, no events; the Dock step still finishes.
    EXPECT_EQ(r.count("deleted"), 0);
    EXPECT_EQ(r.count("odoc|x"), 0);
    EXPECT_EQ(r.count("setting 0"), 1);
}

TEST(AppDelegate, ClosingTheMainWindowEndsTheApplication)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Child c;
    c.args = { "vorantel" };
    c.closeAtStart = true;
    Result r = Spawn(c, "-", 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.count("quit"), 0);
    EXPECT_EQ(r.count("deleted"), 1);
}
