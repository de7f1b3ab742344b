// The end of the session while the built `vorantel` works on a worker thread, as a desktop ends
// it: SIGTERM while a page of 200,000 texts is being printed (GTK's print panel, its print-to-file
// printer, "Print"), and SIGTERM, alone or followed by SIGKILL a second later, while a project of
// photographs is exported to PDF (Arkiv > "Spara som..." > "Pdf"). The program ends at once with
// status 0, and an export cut short leaves no file. Runs under openbox (VT_WINDOW_MANAGER) only.
// Screenshots are kept in <build>/e2e-signals-during-work.
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

// After the test framework and the program's headers: Xlib's names would stand for numbers in
// them.
#include "support/DialogRectangles.h"
#include "support/E2ePrinting.h"
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-signals-during-work";

// The names in the folder.
std::vector<std::string> Listed(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr)
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
            names.push_back(entry->d_name);
    if (dir)
        closedir(dir);
    return names;
}

// Prints go to files in the test's home: the panel offers only the print-to-file printer.
class SignalsDuringWork : public PrintingProgram {
protected:
    // The program on the project, its window showing it and the program at rest.
    bool Start(const std::string& project, const std::string& caption)
    {
        Program::Options o;
        o.folder = s.dir;
        program = std::make_unique<Program>(std::vector<std::string> { project }, o);
        xid = WaitMainWindow(60000 * kSlowdown);
        if (!xid || !WaitCaption(xid, kCaption + " - " + caption, 180000 * kSlowdown))
            return false;
        WaitProcessQuiet(program->Pid(), 180000 * kSlowdown);
        return true;
    }

    // Waits until the worker of that name has worked for ms of processor time: it is then in
    // the middle of its work. False when it ended or never came.
    bool WhileWorking(const std::string& thread, long long ms)
    {
        return WaitFor(
                   [&] { return ThreadCpuMs(program->Pid(), thread) >= ms; }, 60000 * kSlowdown, 5)
            && program->Running();
    }

    // SIGTERM: the exit status, and in ms the time it took to end (-1 when it did not).
    int Terminate(long long& ms)
    {
        const Clock::time_point sent = Clock::now();
        ::kill(program->Pid(), SIGTERM);
        const int status = program->Wait(60000 * kSlowdown);
        ms = status == -1 ? -1 : Ms(Clock::now() - sent);
        return status;
    }
};

} // namespace

// SIGTERM while the print's worker paints a page of 200,000 texts: the window's thread does not
// take the page's objects away from under it.
TEST_F(SignalsDuringWork, TermWhileAPageIsPrintedEndsTheProgram)
{
    ASSERT_TRUE(Start(OldProjectOfTexts(s.dir + "/stor.vtx", 200000), "stor.vtproj"));
    // Ctrl+P, "Skriv ut", the panel's print-to-file printer (its list's first row) as PDF, "Print".
    KeysTo(xid, "ctrl+p");
    ASSERT_NE(WaitDialogWindow(s.rects, "Förhandsgranska", 60000 * kSlowdown), 0u);
    WaitProcessQuiet(program->Pid(), 120000 * kSlowdown);
    Keys("Return");
    ASSERT_TRUE(WaitWindowNamed("Print", 15000 * kSlowdown));
    const std::string id = Shell("xdotool search --onlyvisible --name '^Print$' | head -1");
    XRect panel {};
    ASSERT_TRUE(!id.empty() && view.WaitSettled(std::stoul(id), 500, 10000 * kSlowdown)
        && view.WindowRect(std::stoul(id), panel));
    ChoosePrintToFile(std::stoul(id), panel, PrintFormat::PDF);
    Shot("print-panel", kShots);
    PressPrint(panel);
    ASSERT_TRUE(WaitWindowNamed("Skriver ut", 30000 * kSlowdown));
    ASSERT_TRUE(WhileWorking("Utskrift", 150)) << "the page was painted before the signal";
    Shot("printing", kShots);
    long long ms = 0;
    EXPECT_EQ(Terminate(ms), 0);
    std::printf("SIGTERM while a page of 200,000 texts is printed: ended after %lld ms\n", ms);
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 5000 * kSlowdown);
}

// SIGTERM while photographs are packed into a PDF stops the export: the program ends at once;
// with SIGKILL a second after the SIGTERM too, no file, whole or half, is left where the PDF
// was to go.
TEST_F(SignalsDuringWork, TermOrKillDuringAnExportLeavesNoFile)
{
    if (Shell("command -v xclip").empty())
        GTEST_SKIP() << "no xclip";
    // Five photographs of 24 megapixels: some 360 MB of pictures, seconds to pack.
    const std::string project = PhotoProject(s.dir + "/foto.vtproj", 6000, 4000, 5);
    for (bool kill : { false, true }) {
        SCOPED_TRACE(kill ? "SIGTERM, SIGKILL" : "SIGTERM");
        // A folder of its own for each export.
        const std::string out = s.dir + (kill ? "/killed" : "/ended");
        mkdir(out.c_str(), 0755);
        ASSERT_TRUE(Start(project, "foto.vtproj"));
        KeysTo(xid, "F10 Right Down Down Down Right Down");
        Keys("Return");
        ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", out + "/foto.pdf"));
        ASSERT_TRUE(WaitWindowNamed("Spara till PDF", 30000 * kSlowdown));
        ASSERT_TRUE(WhileWorking("Jobb", 500)) << "the export ended before the signal";
        Shot(kill ? "exporting-killed" : "exporting", kShots);
        if (kill) {
            ::kill(program->Pid(), SIGTERM);
            const int status = program->Wait(1000);
            if (status == -1)
                ::kill(program->Pid(), SIGKILL);
            std::printf("SIGTERM, SIGKILL a second later during an export: %s\n",
                status == -1 ? "killed" : "ended before");
            program->Wait(60000 * kSlowdown);
        } else {
            long long ms = 0;
            EXPECT_EQ(Terminate(ms), 0);
            std::printf("SIGTERM during an export: ended after %lld ms\n", ms);
            EXPECT_GE(ms, 0);
            EXPECT_LT(ms, 5000 * kSlowdown);
        }
        program.reset();
        EXPECT_EQ(Listed(out), std::vector<std::string> {});
    }
}
