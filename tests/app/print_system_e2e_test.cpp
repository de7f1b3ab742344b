// Printing to a real print system as a person does, under openbox: a CUPS server of the test's
// own (cupsd in the foreground with its configuration and spool under the test's folder, on a
// local socket that CUPS_SERVER names for the program and GTK) with a queue that holds its jobs
// (stopped, accepting), the preview (Ctrl+P), "Skriv ut", GTK's "Print" with that queue chosen,
// "Print". The queue starts rejecting, or the print system goes, while "Skriver ut" shows;
// "Avbryt" is pressed while the print is handed over; and a signal comes with GTK's "Print"
// open. Screenshots are kept in <build>/e2e-print-system.
// VT_WINDOW_MANAGER: the tests run on the X server that openbox manages, and only there.
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// After the test framework and the program's headers: Xlib's names would stand for numbers in
// them.
#include "support/E2ePrinting.h"
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-print-system";
const char* const kQueue = "Skrivaren";

// A CUPS server of the test's own, its files under folder, on the socket folder/sock.
class OwnCups {
public:
    explicit OwnCups(const std::string& folder)
        : fDir(folder)
    {
        for (const char* sub :
            { "", "/etc", "/etc/ppd", "/spool", "/spool/tmp", "/cache", "/run", "/log" })
            mkdir((fDir + sub).c_str(), 0755);
        TemporaryFolder::WriteFile(fDir + "/etc/cupsd.conf",
            "Listen " + Socket()
                + "\nBrowsing Off\nDefaultAuthType None\nWebInterface No\nLogLevel info\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
        TemporaryFolder::WriteFile(fDir + "/etc/cups-files.conf",
            "ServerRoot " + fDir + "/etc\nRequestRoot " + fDir + "/spool\nTempDir " + fDir
                + "/spool/tmp\nCacheDir " + fDir + "/cache\nStateDir " + fDir
                + "/run\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\nErrorLog " + fDir
                + "/log/error_log\nAccessLog " + fDir + "/log/access_log\nPageLog " + fDir
                + "/log/page_log\nPrintcap " + fDir + "/run/printcap\nFileDevice Yes\n");
    }
    ~OwnCups() { Stop(); }

    std::string Socket() const { return fDir + "/sock"; }

    // Starts cupsd and makes the queue: false when it does not answer.
    bool Start()
    {
        fPid = fork();
        if (fPid == 0) {
            execl("/usr/bin/timeout", "timeout", "600", "/usr/sbin/cupsd", "-f", "-c",
                (fDir + "/etc/cupsd.conf").c_str(), "-s", (fDir + "/etc/cups-files.conf").c_str(),
                (char*)nullptr);
            _exit(127);
        }
        if (fPid < 0
            || !WaitFor(
                [&] { return Exists(Socket()) && Admin("lpstat -r") == 0; }, 20000 * kSlowdown, 50))
            return false;
        // A PostScript printer writing to nowhere, stopped so that its jobs stay to be seen.
        return Admin(std::string("lpadmin -p ") + kQueue
                   + " -E -v file:///dev/null -m "
                     "drv:///sample.drv/generic.ppd")
            == 0
            && Admin(std::string("lpadmin -d ") + kQueue) == 0
            && Admin(std::string("cupsdisable ") + kQueue) == 0;
    }

    // Ends cupsd (and the timeout over it) and waits for it.
    void Stop()
    {
        if (fPid <= 0)
            return;
        // A held cupsd would not hear the end.
        Pause(false);
        kill(fPid, SIGTERM);
        waitpid(fPid, nullptr, 0);
        fPid = -1;
    }

    // Holds cupsd (SIGSTOP) or lets it go on.
    void Pause(bool pause)
    {
        const std::string pid = Shell("pgrep -P " + std::to_string(fPid) + " -x cupsd");
        if (!pid.empty())
            kill(std::stoi(pid), pause ? SIGSTOP : SIGCONT);
    }

    // A command of the CUPS tools against this server: its exit status.
    int Admin(const std::string& command) const
    {
        int status = -1;
        CommandOutput("CUPS_SERVER=" + Socket() + " " + command + " >/dev/null 2>&1", &status, 30);
        return status;
    }
    // The queue's jobs not yet completed, one line each.
    std::string Pending() const
    {
        return Shell("CUPS_SERVER=" + Socket() + " lpstat -o " + kQueue + " 2>/dev/null");
    }
    // Every job the queue has had, with its state.
    std::string Jobs() const
    {
        return Shell("CUPS_SERVER=" + Socket() + " lpstat -W all -l -o " + kQueue + " 2>&1");
    }

private:
    std::string fDir;
    pid_t fPid = -1;
};

class PrintSystem : public PrintingProgram {
protected:
    // The program ends before the print system it prints to.
    void TearDown() override { program.reset(); }

    // The CUPS server with its queue, the only printer GTK offers.
    bool StartCups()
    {
        if (access("/usr/sbin/cupsd", X_OK) != 0 || Shell("command -v lpadmin").empty())
            return false;
        cups = std::make_unique<OwnCups>(s.dir + "/cups");
        s.Set("CUPS_SERVER", cups->Socket());
        PrintBackends("cups");
        return cups->Start();
    }

    // The program on a project of photographs large enough that its print takes a while.
    bool Start()
    {
        PhotoProject(s.dir + "/bilder.vtproj", 1600, 1200, 8);
        Program::Options o;
        o.folder = s.dir;
        program
            = std::make_unique<Program>(std::vector<std::string> { s.dir + "/bilder.vtproj" }, o);
        xid = WaitMainWindow();
        return xid && WaitCaption(xid, kCaption + " - bilder.vtproj", 60000 * kSlowdown)
            && WaitProcessQuiet(program->Pid(), 60000 * kSlowdown);
    }

    // "Print" in GTK's panel (its bottom right corner) until "Skriver ut" shows: the queue is
    // chosen once GTK has heard of it from the server.
    bool Print(const XRect& panel)
    {
        return WaitFor(
            [&] {
                if (ProgressShows())
                    return true;
                if (WindowShows("Print"))
                    PressPrint(panel);
                return WaitFor(ProgressShows, 1000, 5);
            },
            30000 * kSlowdown, 10);
    }

    // The program started on its photographs, GTK's "Print" opened from the preview and its
    // "Print" pressed: "Skriver ut" shows. The alert of an earlier print is forgotten.
    ::testing::AssertionResult StartPrinting()
    {
        if (!Start())
            return ::testing::AssertionFailure() << "the program did not show its project";
        XRect panel {};
        if (!OpenPrintPanel(panel, 1000))
            return ::testing::AssertionFailure() << "GTK's \"Print\" did not show";
        ForgetAlert(s.rects);
        if (!Print(panel))
            return ::testing::AssertionFailure() << "\"Skriver ut\" did not show";
        return ::testing::AssertionSuccess();
    }

    // The alert that tells the print's end, its text; the preview is still there behind it.
    std::string Told(const char* shot)
    {
        const std::string said = AlertText(s.rects, 120000 * kSlowdown);
        Shot(shot, kShots);
        if (!said.empty())
            ClickAlertButton(s.rects, "OK");
        return said;
    }

    void Close()
    {
        if (WindowShows("Förhandsgranska"))
            Keys("Escape");
        Settled(kCaption + " - bilder.vtproj", 200);
        EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0);
    }

    std::unique_ptr<OwnCups> cups;
};

} // namespace

// The queue stops taking jobs while the print is made: the user is told so, nothing is in the
// queue, and the preview stays for another try, which prints once the queue takes jobs again.
TEST_F(PrintSystem, ARejectingQueueIsTold)
{
    if (!StartCups())
        GTEST_SKIP() << "no CUPS server of our own could be started";
    ASSERT_TRUE(StartPrinting());
    EXPECT_EQ(cups->Admin(std::string("cupsreject ") + kQueue), 0);
    EXPECT_EQ(Told("rejected"),
        "Skriv ut\nDet gick inte att skriva ut: skrivaren tar inte emot utskrifter just nu.\n");
    EXPECT_EQ(cups->Pending(), "");
    ASSERT_TRUE(program->Running());
    EXPECT_TRUE(WindowShows("Förhandsgranska"));

    EXPECT_EQ(cups->Admin(std::string("cupsaccept ") + kQueue), 0);
    view.WaitSettled(Settled("Förhandsgranska", 300), 300, 5000 * kSlowdown);
    XRect panel {};
    ASSERT_TRUE(PrintPanelFromPreview(panel, 1000));
    ASSERT_TRUE(Print(panel));
    EXPECT_TRUE(WaitFor([&] { return !ProgressShows(); }, 120000 * kSlowdown, 20));
    const std::string pending = cups->Pending();
    EXPECT_TRUE(!pending.empty() && pending.find('\n') == std::string::npos)
        << "not one job in the queue after the second try:\n"
        << pending;
    Close();
}

// The print system goes while the print is made: the user is told it cannot be reached.
TEST_F(PrintSystem, APrintSystemGoneIsTold)
{
    if (!StartCups())
        GTEST_SKIP() << "no CUPS server of our own could be started";
    ASSERT_TRUE(StartPrinting());
    cups->Stop();
    EXPECT_EQ(Told("gone"),
        "Skriv ut\nDet gick inte att skriva ut: utskriftssystemet går inte att nå.\n");
    ASSERT_TRUE(program->Running());
    EXPECT_TRUE(WindowShows("Förhandsgranska"));
    Close();
}

// "Avbryt" while the made file is handed to a print system that is slow to take it (held): the
// progress window stays, the windows under it taking no input, until the print system has
// dropped the print; then nothing of it is left to print and the preview stays.
TEST_F(PrintSystem, AvbrytWhileHandingOverLeavesNothingToPrint)
{
    if (!StartCups())
        GTEST_SKIP() << "no CUPS server of our own could be started";
    ASSERT_TRUE(StartPrinting());
    cups->Pause(true);
    unsigned long window = 0;
    int x = 0, y = 0;
    ASSERT_TRUE(
        FindDialogControl(s.rects, "Skriver ut", kLCmdCancel, window, x, y, 30000 * kSlowdown));
    // The file is made (the program has nothing more to do) and waits for the print system.
    ASSERT_TRUE(WaitProcessQuiet(program->Pid(), 120000 * kSlowdown));
    ASSERT_TRUE(ProgressShows()) << "the print ended with the print system held";
    Shot("handing-over", kShots);
    Shell("xdotool mousemove --sync --window " + std::to_string(window) + " " + std::to_string(x)
        + " " + std::to_string(y) + " click 1 2>/dev/null");
    // The window stays while the print system is held, and ends once it answers.
    EXPECT_FALSE(WaitFor([] { return !ProgressShows(); }, 1500, 20))
        << "the progress window went before the print system had dropped the print";
    Shot("stopping", kShots);
    // The preview's "Skriv ut" (at its bottom right corner) starts no second print meanwhile.
    XRect preview {};
    ASSERT_TRUE(view.WindowRect(Settled("Förhandsgranska", 0), preview));
    Shell("xdotool " + MoveWords(preview.Right() - 66, preview.Bottom() - 28)
        + "click 1 2>/dev/null");
    EXPECT_FALSE(WaitWindowNamed("Print", 2000)) << "a second print inside the first";
    cups->Pause(false);
    const auto resumed = Clock::now();
    EXPECT_TRUE(WaitFor([] { return !ProgressShows(); }, 60000 * kSlowdown, 20));
    std::printf(
        "from the print system's answer to the print's end: %lld ms\n", Ms(Clock::now() - resumed));
    // Whatever the program still had to say to the print system is said.
    WaitProcessQuiet(program->Pid(), 30000 * kSlowdown);
    EXPECT_EQ(cups->Pending(), "");
    std::printf("the queue's jobs after \"Avbryt\":\n%s\n", cups->Jobs().c_str());
    EXPECT_TRUE(WindowShows("Förhandsgranska"));
    EXPECT_FALSE(WindowShows("Skriv ut")) << "an alert after \"Avbryt\"";
    Close();
}

// SIGTERM while the made file is handed to a print system that is slow to take it (held): the
// program ends with 0 within seconds, without waiting for the print system.
TEST_F(PrintSystem, ASignalWhileHandingOverEnds)
{
    if (!StartCups())
        GTEST_SKIP() << "no CUPS server of our own could be started";
    ASSERT_TRUE(StartPrinting());
    cups->Pause(true);
    ASSERT_TRUE(WaitProcessQuiet(program->Pid(), 120000 * kSlowdown));
    ASSERT_TRUE(ProgressShows()) << "the print ended with the print system held";
    const auto sent = Clock::now();
    kill(program->Pid(), SIGTERM);
    const int status = program->Wait(20000 * kSlowdown);
    const long long ms = Ms(Clock::now() - sent);
    if (status == -1)
        DescribeDisplayAndPrograms();
    cups->Pause(false);
    std::printf("SIGTERM while handing over: status %d after %lld ms\n", status, ms);
    EXPECT_EQ(status, 0);
    EXPECT_LT(ms, 5000 * kSlowdown);
}

// A signal with GTK's "Print" open ends the program with 0 within seconds, the edit kept in the
// autosave.
class SignalWithPrintPanel : public PrintSystem, public ::testing::WithParamInterface<int> { };

TEST_P(SignalWithPrintPanel, EndsTheProgramAndKeepsTheWork)
{
    const int signal = GetParam();
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    ASSERT_NE(xid = StartOn(project, program), 0u);
    Program add({ "-addtext", s.Write("ny.txt", "ny") });
    ASSERT_EQ(add.Wait(15000 * kSlowdown), 0);
    XRect panel {};
    ASSERT_TRUE(OpenPrintPanel(panel, 500));
    Shot("print-panel", kShots);
    const auto sent = Clock::now();
    kill(program->Pid(), signal);
    const int status = program->Wait(10000 * kSlowdown);
    const long long ms = Ms(Clock::now() - sent);
    std::printf("signal %d with \"Print\" open: status %d after %lld ms\n", signal, status, ms);
    EXPECT_EQ(status, 0);
    EXPECT_LT(ms, 5000 * kSlowdown);
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    LStringLongTemplate<char> named;
    _LUserSettingGetString("AutoSave", "FileName", "", named);
    EXPECT_EQ(std::string(named.c_str()), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "ny"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalWithPrintPanel, ::testing::Values(SIGTERM, SIGINT, SIGHUP));
