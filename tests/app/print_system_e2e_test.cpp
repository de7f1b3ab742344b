// Printing to a real print system as a person does, under openbox: a CUPS server of the test's
// own (cupsd in the foreground with its configuration and spool under the test's folder, on a
// local socket that CUPS_SERVER names for the program and GTK) with a raw queue (no driver: what
// scripts/setup.sh installs is all it needs) that holds its jobs (stopped, accepting), the preview
// (Ctrl+P), "Skriv ut", GTK's "Print" with that queue chosen, "Print". The queue starts
// rejecting, or goes, or the print system goes, while "Skriver ut" shows; "Avbryt" is pressed
// while the print is handed over, while the connection to a print system that no longer answers
// is made, and after the print system took the document; and a signal comes with GTK's "Print"
// open. A print system that no longer answers is the go-between of the test's own (a TCP port
// that CUPS_SERVER names then) holding what it is given. A CUPS server that cannot be started
// fails the tests. Screenshots are kept in <build>/e2e-print-system.
// VT_WINDOW_MANAGER: the tests run on the X server that openbox manages, and only there.
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
                  "DirtyCleanInterval 0\n"
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

    // Starts cupsd and makes the queue with the default options given ("-o name=value ..."):
    // false when it does not answer.
    bool Start(const std::string& defaults = "")
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
        // A raw queue (no driver, no filter) writing to nowhere, stopped so that its jobs stay
        // to be seen.
        return Admin(std::string("lpadmin -p ") + kQueue + " -E -v file:///dev/null " + defaults)
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

    // The job attributes the server keeps for its job (its control file), by name; several
    // values joined by ','. Empty when there is no such job.
    std::map<std::string, std::string> JobAttributes(int job) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "/spool/c%05d", job);
        std::ifstream in(fDir + name, std::ios::binary);
        const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::map<std::string, std::string> attributes;
        std::string last;
        auto u16 = [&](size_t at) {
            return size_t((unsigned char)b[at]) << 8 | (unsigned char)b[at + 1];
        };
        // The IPP message: version, operation and request id, then tagged attributes.
        for (size_t at = 8; at < b.size();) {
            const int tag = (unsigned char)b[at++];
            if (tag == 0x03)
                break;
            if (tag < 0x10 || at + 2 > b.size())
                continue;
            const size_t nameLength = u16(at);
            if (at + 2 + nameLength + 2 > b.size())
                break;
            std::string attribute = b.substr(at + 2, nameLength);
            at += 2 + nameLength;
            const size_t length = u16(at);
            const std::string raw = b.substr(at + 2, length);
            at += 2 + length;
            std::string value = raw;
            if ((tag == 0x21 || tag == 0x23) && length == 4)
                value = std::to_string(int32_t(uint32_t((unsigned char)raw[0]) << 24
                    | uint32_t((unsigned char)raw[1]) << 16 | uint32_t((unsigned char)raw[2]) << 8
                    | uint32_t((unsigned char)raw[3])));
            else if (tag == 0x31)
                value = "(a date)";
            else if (tag == 0x22 && length == 1)
                value = raw[0] ? "true" : "false";
            if (attribute.empty())
                attributes[last] += "," + value;
            else
                attributes[last = attribute] = value;
        }
        return attributes;
    }

private:
    std::string fDir;
    pid_t fPid = -1;
};

// A go-between for the print system: a port on 127.0.0.1, each connection to it passed on to
// the CUPS server's socket. Held, it is a print system that no longer answers: nothing passes
// either way, and it takes no connection (its backlog is full, so a connection to it is never
// made).
class Relay {
public:
    explicit Relay(const std::string& server)
        : fServer(server)
    {
        fListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fListen < 0 || bind(fListen, (sockaddr*)&address, sizeof address) != 0
            || listen(fListen, 1) != 0 || getsockname(fListen, (sockaddr*)&address, &length) != 0)
            return;
        fPort = ntohs(address.sin_port);
        fThread = std::thread([this] { Run(); });
    }
    ~Relay()
    {
        fEnd = true;
        if (fThread.joinable())
            fThread.join();
        for (int fd : fFillers)
            close(fd);
        for (auto& c : fConnections)
            close(c.client), close(c.server);
        if (fListen >= 0)
            close(fListen);
    }

    bool Ok() const { return fPort != 0; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(fPort); }
    // Held from now on.
    void Hold() { fHold = true; }
    // Held (once) at the first answer to a connection that has carried more than bytes to the
    // print system (which then has what it was sent, the answer not arriving).
    void HoldAtAnswerAfter(size_t bytes) { fHoldAfter = bytes; }
    bool Held() const { return fHeld; }
    // Answers again (a connection closed meanwhile is not).
    void Release() { fHold = false; }

private:
    struct Connection {
        int client, server;
        size_t sent = 0;
    };

    void Run()
    {
        while (!fEnd) {
            if (fHold && !fHeld)
                FillBacklog();
            if (!fHold && fHeld) {
                for (int fd : fFillers)
                    close(fd);
                fFillers.clear();
                fHeld = false;
            }
            std::vector<pollfd> fds { { fListen, short(fHeld ? 0 : POLLIN), 0 } };
            for (const auto& c : fConnections) {
                fds.push_back({ c.client, short(fHeld ? 0 : POLLIN), 0 });
                fds.push_back({ c.server, short(fHeld ? 0 : POLLIN), 0 });
            }
            if (poll(fds.data(), fds.size(), 20) <= 0 || fHeld)
                continue;
            // A connection taken now was not polled: it is looked at the next time round.
            const size_t polled = fConnections.size();
            if (fds[0].revents & POLLIN) {
                const int client = accept4(fListen, nullptr, nullptr, SOCK_CLOEXEC);
                const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_un address {};
                address.sun_family = AF_UNIX;
                std::snprintf(address.sun_path, sizeof address.sun_path, "%s", fServer.c_str());
                if (client >= 0 && server >= 0
                    && connect(server, (sockaddr*)&address, sizeof address) == 0)
                    fConnections.push_back({ client, server });
                else
                    close(client), close(server);
            }
            for (size_t i = 0; i < polled && !fHeld; ++i) {
                Connection& c = fConnections[i];
                const short up = fds[1 + 2 * i].revents, down = fds[2 + 2 * i].revents;
                if (down && fHoldAfter && c.sent > fHoldAfter) {
                    fHoldAfter = 0;
                    fHold = true;
                    FillBacklog();
                    break;
                }
                if ((up && !Pass(c.client, c.server, &c.sent))
                    || (down && !Pass(c.server, c.client, nullptr))) {
                    close(c.client), close(c.server);
                    c.client = c.server = -1;
                }
            }
            std::erase_if(fConnections, [](const Connection& c) { return c.client < 0; });
        }
    }

    static bool Pass(int from, int to, size_t* count)
    {
        char buffer[1 << 16];
        const ssize_t n = read(from, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        for (ssize_t at = 0; at < n;) {
            const ssize_t w = write(to, buffer + at, size_t(n - at));
            if (w <= 0)
                return false;
            at += w;
        }
        if (count)
            *count += size_t(n);
        return true;
    }

    // Connections that are never taken fill the backlog: the next one's handshake is dropped.
    void FillBacklog()
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(fPort);
        for (int i = 0; i < 4; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            connect(fd, (sockaddr*)&address, sizeof address);
            fFillers.push_back(fd);
        }
        fHeld = true;
    }

    std::string fServer;
    int fListen = -1;
    int fPort = 0;
    std::thread fThread;
    std::vector<Connection> fConnections;
    std::vector<int> fFillers;
    std::atomic<bool> fEnd { false }, fHold { false }, fHeld { false };
    std::atomic<size_t> fHoldAfter { 0 };
};

class PrintSystem : public PrintingProgram {
protected:
    // The program ends before the print system it prints to.
    void TearDown() override
    {
        program.reset();
        relay.reset();
    }

    // The CUPS server with its queue (its default options given), the only printer GTK offers;
    // through a go-between when relayed. What scripts/setup.sh --tests installs is all it needs:
    // anything missing fails the test.
    ::testing::AssertionResult StartCups(bool relayed = false, const std::string& defaults = "")
    {
        if (access("/usr/sbin/cupsd", X_OK) != 0 || Shell("command -v lpadmin").empty())
            return ::testing::AssertionFailure()
                << "no cupsd or lpadmin: scripts/setup.sh --tests installs them";
        cups = std::make_unique<OwnCups>(s.dir + "/cups");
        s.Set("CUPS_SERVER", cups->Socket());
        PrintBackends("cups");
        if (!cups->Start(defaults))
            return ::testing::AssertionFailure()
                << "the CUPS server of the test's own did not start or make its queue:\n"
                << Shell("tail -20 " + s.dir + "/cups/log/error_log");
        if (relayed) {
            relay = std::make_unique<Relay>(cups->Socket());
            if (!relay->Ok())
                return ::testing::AssertionFailure() << "no port for the go-between";
            s.Set("CUPS_SERVER", relay->Address());
        }
        return ::testing::AssertionSuccess();
    }

    // Presses "Avbryt" in "Skriver ut" once the program has nothing more to do (the document is
    // made and it waits for the print system).
    void AvbrytOnceWaiting(const char* shot)
    {
        unsigned long window = 0;
        int x = 0, y = 0;
        ASSERT_TRUE(
            FindDialogControl(s.rects, "Skriver ut", kLCmdCancel, window, x, y, 30000 * kSlowdown));
        ASSERT_TRUE(WaitProcessQuiet(program->Pid(), 120000 * kSlowdown));
        ASSERT_TRUE(ProgressShows()) << "the print ended with the print system held";
        Shot(shot, kShots);
        Shell("xdotool mousemove --sync --window " + std::to_string(window) + " "
            + std::to_string(x) + " " + std::to_string(y) + " click 1 2>/dev/null");
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
    std::unique_ptr<Relay> relay;
};

} // namespace

// The queue stops taking jobs while the print is made: the user is told so, nothing is in the
// queue, and the preview stays for another try, which prints once the queue takes jobs again.
TEST_F(PrintSystem, ARejectingQueueIsTold)
{
    ASSERT_TRUE(StartCups());
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
    ASSERT_TRUE(StartCups());
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
// dropped the print (or goes at once when the connection to it was still being made and no job
// was made); then nothing of it is left to print and the preview stays.
TEST_F(PrintSystem, AvbrytWhileHandingOverLeavesNothingToPrint)
{
    ASSERT_TRUE(StartCups());
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
    const bool gone = WaitFor([] { return !ProgressShows(); }, 1500, 20);
    Shot("stopping", kShots);
    if (!gone) {
        // The preview's "Skriv ut" (at its bottom right corner) starts no second print meanwhile.
        XRect preview {};
        ASSERT_TRUE(view.WindowRect(Settled("Förhandsgranska", 0), preview));
        Shell("xdotool " + MoveWords(preview.Right() - 66, preview.Bottom() - 28)
            + "click 1 2>/dev/null");
        EXPECT_FALSE(WaitWindowNamed("Print", 2000)) << "a second print inside the first";
    }
    cups->Pause(false);
    if (gone) {
        EXPECT_EQ(cups->Jobs(), "")
            << "the progress window went before the print system had dropped the print";
    }
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
    ASSERT_TRUE(StartCups());
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

// "Avbryt" after the print system took the whole document, before its answer came: the job is
// cancelled once the print system answers again (within seconds: the job leaves the queue, nothing
// is told and the preview stays); a print system that answers no more cannot cancel it, and the
// user is told the print had been handed over (the job stays, and the preview goes, as after a
// print).
class AvbrytAfterTheDocument : public PrintSystem, public ::testing::WithParamInterface<bool> { };

TEST_P(AvbrytAfterTheDocument, CancelsTheJobOrTellsItWasHandedOver)
{
    const bool answersAgain = GetParam();
    ASSERT_TRUE(StartCups(true));
    relay->HoldAtAnswerAfter(256 * 1024);
    ASSERT_TRUE(StartPrinting());
    ASSERT_TRUE(WaitFor([&] { return relay->Held(); }, 120000 * kSlowdown, 20))
        << "the whole document did not reach the print system";
    std::printf("the queue's jobs with the document taken:\n%s\nits spool: %s\n",
        cups->Jobs().c_str(), Shell("ls -l " + s.dir + "/cups/spool | grep ' d0'").c_str());
    AvbrytOnceWaiting("document-taken");
    const auto pressed = Clock::now();
    if (answersAgain) {
        EXPECT_FALSE(WaitFor([] { return !ProgressShows(); }, 2000, 20))
            << "the progress window went before the print system had dropped the print";
        relay->Release();
    }
    EXPECT_TRUE(WaitFor([] { return !ProgressShows(); }, 60000 * kSlowdown, 20));
    std::printf(
        "from \"Avbryt\" to the progress window's end: %lld ms\n", Ms(Clock::now() - pressed));
    const std::string told = AlertText(s.rects, 3000);
    Shot(answersAgain ? "avbryt-cancelled" : "avbryt-handed-over", kShots);
    if (!told.empty())
        ClickAlertButton(s.rects, "OK");
    relay->Release();
    WaitProcessQuiet(program->Pid(), 30000 * kSlowdown);
    const std::string pending = cups->Pending();
    std::printf("the queue's jobs after \"Avbryt\":\n%s\n", cups->Jobs().c_str());
    if (answersAgain) {
        EXPECT_EQ(told, "");
        EXPECT_EQ(pending, "");
        EXPECT_TRUE(WindowShows("Förhandsgranska"));
    } else {
        EXPECT_EQ(told,
            "Skriv ut\nUtskriften hade redan lämnats till utskriftssystemet och kunde inte "
            "avbrytas.\n");
        EXPECT_TRUE(!pending.empty() && pending.find('\n') == std::string::npos)
            << "not the one job in the queue:\n"
            << pending;
        EXPECT_FALSE(WindowShows("Förhandsgranska")) << "the preview stays as after a stop";
    }
    Close();
}

INSTANTIATE_TEST_SUITE_P(PrintSystem, AvbrytAfterTheDocument, ::testing::Values(true, false),
    [](const ::testing::TestParamInfo<bool>& info) {
        return std::string(
            info.param ? "ThePrintSystemAnswersAgain" : "ThePrintSystemAnswersNoMore");
    });

// "Avbryt" while the connection to a print system that no longer answers is being made: the
// connection is given up at once, and the preview stays.
TEST_F(PrintSystem, AvbrytWhileConnectingEndsAtOnce)
{
    ASSERT_TRUE(StartCups(true));
    ASSERT_TRUE(StartPrinting());
    relay->Hold();
    AvbrytOnceWaiting("connecting");
    const auto pressed = Clock::now();
    EXPECT_TRUE(WaitFor([] { return !ProgressShows(); }, 5000 * kSlowdown, 20))
        << "the connection outlived \"Avbryt\"";
    std::printf(
        "from \"Avbryt\" to the progress window's end: %lld ms\n", Ms(Clock::now() - pressed));
    EXPECT_TRUE(WindowShows("Förhandsgranska"));
    EXPECT_EQ(AlertText(s.rects, 1000), "");
    relay->Release();
    EXPECT_EQ(cups->Pending(), "");
    Close();
}

// The queue is removed while the print is made: the print reaches no queue (neither through the
// program's hand-over nor through GTK's), the user is told so, and the preview stays.
TEST_F(PrintSystem, AQueueRemovedWhilePrintingIsTold)
{
    ASSERT_TRUE(StartCups());
    ASSERT_TRUE(StartPrinting());
    EXPECT_EQ(cups->Admin(std::string("lpadmin -x ") + kQueue), 0);
    EXPECT_EQ(Told("removed"),
        "Skriv ut\nDet gick inte att skriva ut: skrivaren finns inte längre i "
        "utskriftssystemet.\n");
    ASSERT_TRUE(program->Running());
    EXPECT_TRUE(WindowShows("Förhandsgranska"));
    Close();
}

// A queue that would put two pages on a sheet by default: the label sheet's job asks for one
// page to a sheet, and nothing that scales, fits or tiles the page reaches the print system.
TEST_F(PrintSystem, ALabelSheetIsPrintedOnePageToASheetUnscaled)
{
    ASSERT_TRUE(StartCups(false, "-o number-up-default=2"));
    ASSERT_TRUE(Start());
    XRect panel {};
    const unsigned long id = OpenPrintPanel(panel, 1000);
    ASSERT_NE(id, 0u);
    // "Page Setup" (its second tab), seen: GTK sets "Pages per side" from the queue's default.
    ClickAt(panel.x + 125, panel.y + 10);
    view.WaitSettled(id, 300, 5000 * kSlowdown);
    Shot("page-setup", kShots);
    ASSERT_TRUE(Print(panel));
    EXPECT_TRUE(WaitFor([] { return !ProgressShows(); }, 120000 * kSlowdown, 20));
    EXPECT_EQ(AlertText(s.rects, 1000), "");
    auto attributes = cups->JobAttributes(1);
    std::printf("the job's attributes at the print system:\n");
    for (const auto& [name, value] : attributes)
        if (name != "job-printer-state-message" && value.size() < 200)
            std::printf("  %s=%s\n", name.c_str(), value.c_str());
    ASSERT_FALSE(attributes.empty()) << "no job";
    EXPECT_EQ(attributes["number-up"], "1");
    for (const char* name : { "number-up-layout", "page-border", "fit-to-page", "print-scaling",
             "scaling", "natural-scaling", "ppi" })
        EXPECT_EQ(attributes.count(name), 0u) << name;
    Close();
}

// "Sidor: 2" for a print of one page: nothing is printed, the user is told, the preview stays.
TEST_F(PrintSystem, APageRangeWithoutAPageIsTold)
{
    ASSERT_TRUE(StartCups());
    ASSERT_TRUE(Start());
    XRect panel {};
    const unsigned long id = OpenPrintPanel(panel, 1000);
    ASSERT_NE(id, 0u);
    ForgetAlert(s.rects);
    // "Pages:" (its field below the list, left) "2".
    Keys("alt+e");
    Shell("xdotool " + MoveWords(panel.x + 180, panel.y + 369) + "click 1 2>/dev/null");
    Keys("ctrl+a 2");
    view.WaitSettled(id, 300, 5000 * kSlowdown);
    Shot("pages-2", kShots);
    EXPECT_TRUE(WaitFor(
        [&] {
            if (!WindowShows("Print"))
                return true;
            PressPrint(panel);
            return WaitFor([] { return !WindowShows("Print"); }, 1000, 5);
        },
        30000 * kSlowdown, 10));
    EXPECT_EQ(Told("no-page"),
        "Skriv ut\nDet gick inte att skriva ut: ingen av de valda sidorna finns i utskriften.\n");
    EXPECT_EQ(cups->Pending(), "");
    EXPECT_TRUE(WindowShows("Förhandsgranska"));
    Close();
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
