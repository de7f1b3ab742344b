// Modal sessions with real windows, the process observer, and the run loop's watches.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LProcess.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/mac/LApplication.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LRunLoopWatch.h"
#include "platform/ui/UI.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Window : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (id != kLCmdCancel)
            LMacWindow::Command(id, code);
    }
};

// A control whose click sends its tag.
struct Button : LCocoaViewBase {
    Button(const LUiRect& r, LCocoaWindow* w, int tag)
        : LCocoaViewBase(r, w)
    {
        SetTag(tag);
    }
    bool MouseUp(const LUiEvent& e) override
    {
        LCocoaView::sendCommand(this, Tag(), lfwWindow());
        return LCocoaViewBase::MouseUp(e);
    }
    void Draw(cairo_t* cr, const LUiRect&) override
    {
        cairo_set_source_rgb(cr, 0.3, 0.5, 0.9);
        cairo_paint(cr);
    }
};

void AddButton(Window& w, int tag)
{
    auto* b = new Button(LUiRect { 20, 20, 100, 40 }, &w, tag);
    w.GetContentView()->AddSubview(b);
    b->Release();
}

struct Job : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

pid_t Spawn(const char* const* argv)
{
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    void TearDown() override
    {
        LMainMenu::SetMainMenu(nullptr);
        LModalCounter::SetHook(nullptr, nullptr);
    }
};

} // namespace

TEST_F(ApplicationTest, SessionsKeepTheWindowModalWhileAJobTurnsTheLoop)
{
    Window main, dialog;
    main.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    dialog.CreateCocoaWindow(200, 120, kLUiWindowTitled, true, nullptr);
    AddButton(main, 41);
    AddButton(dialog, kLCmdCancel);
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, &main);
    bar->Release();
    const LMenuItem rows[] = { { -1, "Arkiv", 0 }, { 5, "Ny", 0 }, { -1, nullptr, 0 } };
    LMenuAdd(LMainMenu::theMainMenu, rows, 0, 3, nullptr, 0);
    main.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(main.GetNativeWindow()));
    dialog.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(dialog.GetNativeWindow()));

    // Only a window's content view begins a session, and only once.
    EXPECT_FALSE(LApplication::ModalSessionBegin(dialog.GetContentView()->Subviews()[0]));
    EXPECT_FALSE(LApplication::ModalSessionStop(dialog.GetContentView()));
    ASSERT_TRUE(LApplication::ModalSessionBegin(dialog.GetContentView()));
    EXPECT_FALSE(LApplication::ModalSessionBegin(dialog.GetContentView()));
    EXPECT_EQ(LModalCounter::Count(), 1u);
    EXPECT_EQ(LModalLoop::ModalWindow(), dialog.GetNativeWindow());
    EXPECT_FALSE(gtk_widget_get_sensitive(bar->ExistingWidget()));

    // A job on the main thread: it turns the loop through the event pump while the user clicks.
    if (uitest::HaveXdotool()) {
        ASSERT_TRUE(uitest::XClick(main.GetNativeWindow(), 50, 30));
        ASSERT_TRUE(uitest::XClick(dialog.GetNativeWindow(), 50, 30));
        auto start = std::chrono::steady_clock::now();
        while (std::count(dialog.commands.begin(), dialog.commands.end(), kLCmdCancel) == 0
            && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
            LMacDispatchEvents();
            usleep(2000);
        }
        EXPECT_EQ(std::count(dialog.commands.begin(), dialog.commands.end(), kLCmdCancel), 1);
        for (int c : main.commands)
            EXPECT_NE(c, 41);
    }
    EXPECT_TRUE(LApplication::ModalSessionRun());
    EXPECT_TRUE(LApplication::ModalSessionStop(dialog.GetContentView()));
    EXPECT_FALSE(LApplication::ModalSessionStop(dialog.GetContentView()));
    EXPECT_FALSE(LApplication::ModalSessionRun());
    EXPECT_EQ(LModalCounter::Count(), 0u);
    EXPECT_TRUE(gtk_widget_get_sensitive(bar->ExistingWidget()));
    EXPECT_EQ(LModalLoop::ModalWindow(), nullptr);
    dialog.DestroyCommon();
    main.DestroyCommon();
}

TEST_F(ApplicationTest, SessionsAndModalRunsShareTheCount)
{
    Window a, b;
    a.CreateCocoaWindow(200, 100, kLUiWindowTitled, true, nullptr);
    b.CreateCocoaWindow(200, 100, kLUiWindowTitled, true, nullptr);
    ASSERT_TRUE(LApplication::ModalSessionBegin(a.GetContentView()));
    bool ranInside = false;
    unsigned countInside = 0;
    LRunLoop::Post([&] {
        countInside = LModalCounter::Count();
        ranInside = LModalLoop::ModalWindow() == b.GetNativeWindow();
        // A session's window is not the innermost: Stop ends the loop, never the session.
        LModalLoop::Stop(7);
    });
    EXPECT_EQ(LModalLoop::Run(b.GetNativeWindow()), 7);
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(countInside, 1u); // Run here is the loop alone; RunModal adds its own count
    EXPECT_TRUE(LApplication::ModalSessionStop(a.GetContentView()));
    EXPECT_EQ(LModalCounter::Count(), 0u);
    a.DestroyCommon();
    b.DestroyCommon();
}

TEST_F(ApplicationTest, ObserverSignalsWhenTheProgramEnds)
{
    const char* const argv[] = { "sleep", "0.3", nullptr };
    auto start = std::chrono::steady_clock::now();
    pid_t pid = Spawn(argv);
    ASSERT_GT(pid, 0);
    Job job;
    LMacApplicationObserver observer(job, "/bin/sleep", pid);
    EXPECT_FALSE(observer.IsNotRunning());
    EXPECT_TRUE(job.error.empty());
    int fd = observer.GetSignal().GetReadFd();
    int r = LRunLoop::RunUntil(&fd, 1, nullptr, true, 30000);
    double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r, LRunLoop::kSignalled);
    EXPECT_LT(seconds, 20); // on the program's end, long before the wait's time-out
    EXPECT_GE(seconds, 0.25);
    waitpid(pid, nullptr, 0);
}

TEST_F(ApplicationTest, ObserverOfAProgramThatIsGone)
{
    const char* const argv[] = { "sleep", "0", nullptr };
    pid_t pid = Spawn(argv);
    ASSERT_GT(pid, 0);
    // Ended but not collected: a zombie has ended.
    uitest::PumpUntil([pid] { return !LRunLoopWatch::IsProcessRunning(pid); }, 2000);
    {
        Job job;
        LMacApplicationObserver observer(job, "/usr/bin/sleep.app", pid);
        EXPECT_TRUE(observer.IsNotRunning());
        EXPECT_EQ(job.error, "sleep körs inte.");
    }
    waitpid(pid, nullptr, 0);
    for (pid_t bad : { pid_t(0), pid_t(-1), pid_t(INT_MAX) }) {
        Job job;
        LMacApplicationObserver observer(job, "x/Verktyg.app", bad);
        EXPECT_TRUE(observer.IsNotRunning()) << bad;
        EXPECT_EQ(job.error, "Verktyg körs inte.");
    }
    // Our own process runs, and does not end while we look.
    Job self;
    LMacApplicationObserver own(self, "vorantel", getpid());
    EXPECT_FALSE(own.IsNotRunning());
    char name[64];
    EXPECT_TRUE(LMacApplicationObserver::CopyProcessName(getpid(), name, sizeof name));
    uitest::Pump(150);
    EXPECT_FALSE(own.GetSignal().IsSignaled());
}

TEST_F(ApplicationTest, DescriptorAndSignalWatches)
{
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    int fired = 0;
    uintptr_t w = LRunLoopWatch::AddDescriptor(
        p[0], [](void* n) { ++*static_cast<int*>(n); }, &fired);
    ASSERT_NE(w, 0u);
    uitest::Pump(30);
    EXPECT_EQ(fired, 0);
    ASSERT_EQ(write(p[1], "x", 1), 1);
    EXPECT_TRUE(uitest::PumpUntil([&] { return fired > 0; }, 1000));
    LRunLoopWatch::Remove(w);
    LRunLoopWatch::Remove(w); // twice is allowed
    EXPECT_FALSE(LRunLoopWatch::IsActive(w));
    close(p[0]);
    close(p[1]);
    EXPECT_EQ(LRunLoopWatch::AddDescriptor(
                  -1, [](void*) {}, nullptr),
        0u);

    int signals = 0;
    uintptr_t s = LRunLoopWatch::AddSignal(
        SIGUSR1, [](void* n) { ++*static_cast<int*>(n); }, &signals);
    ASSERT_NE(s, 0u);
    raise(SIGUSR1);
    EXPECT_TRUE(uitest::PumpUntil([&] { return signals == 1; }, 1000));
    LRunLoopWatch::Remove(s);
    EXPECT_EQ(LRunLoopWatch::AddSignal(
                  SIGKILL, [](void*) {}, nullptr),
        0u);
    EXPECT_EQ(LRunLoopWatch::AddProcessExit(
                  0, [](void*) {}, nullptr),
        0u);
}

TEST(ApplicationRef, FirstLineOfTheBundlesRefText)
{
    TemporaryFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    const char* dir = scratch.Path().c_str();
    std::string folder = std::string(dir) + "/resources";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const char* old = getenv("VT_RESOURCES_DIR");
    std::string saved = old ? old : "";
    setenv("VT_RESOURCES_DIR", dir, 1);
    char out[260] = "junk";
    LApplication::GetRefFromBundleRefTxt(out);
    EXPECT_STREQ(out, ""); // no file
    FILE* f = fopen((folder + "/ref.txt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("REF-2041\r\nandra raden\n", f);
    fclose(f);
    LApplication::GetRefFromBundleRefTxt(out);
    EXPECT_STREQ(out, "REF-2041");
    f = fopen((folder + "/ref.txt").c_str(), "w");
    fputs(std::string(400, 'x').c_str(), f); // a line longer than the buffer is cut
    fclose(f);
    LApplication::GetRefFromBundleRefTxt(out);
    EXPECT_EQ(strlen(out), 259u);
    if (old)
        setenv("VT_RESOURCES_DIR", saved.c_str(), 1);
    else
        unsetenv("VT_RESOURCES_DIR");
}

TEST_F(ApplicationTest, HidingIconifiesAndShowingBringsTheMainWindowBack)
{
    Window main;
    main.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    main.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(main.GetNativeWindow()));
    LApplication::HideApplication();
    EXPECT_TRUE(LApplication::IsHidden());
    uitest::PumpUntil([&] { return main.GetNativeWindow()->IsMiniaturized(); }, 2000);
    LApplication::ShowApplication();
    EXPECT_FALSE(LApplication::IsHidden());
    EXPECT_TRUE(uitest::PumpUntil(
        [&] {
            return !main.GetNativeWindow()->IsMiniaturized() && main.GetNativeWindow()->IsVisible();
        },
        2000));
    main.DestroyCommon();
}
