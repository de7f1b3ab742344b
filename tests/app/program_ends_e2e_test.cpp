// The ends of the built `vorantel` that come while GTK asks a question or the program works, as a
// desktop's session brings them: SIGTERM or SIGHUP while GTK's own "Replace?" stands over its
// print panel (Print to File onto a file that exists) or over the save panel (Arkiv > "Spara
// som..." > "Pdf" onto a file that exists), and SIGTERM while a page of 200,000 texts is printed
// to a file or photographs are exported to PDF. Each end comes with status 0, the edit made before
// it is autosaved, the file that was there is left as it was, and the next start is not refused:
// it offers the autosave. How long an end takes once its autosave is written is bound by the same
// end of the same project at rest, measured in the same run. Runs under openbox
// (VT_WINDOW_MANAGER) only. Screenshots are kept in <build>/e2e-program-ends.
#include "support/AutoSaveFiles.h"
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
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// After the test framework and the program's headers: Xlib's names would stand for numbers in
// them.
#include "support/DialogRectangles.h"
#include "support/E2ePrinting.h"
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-program-ends";
const std::string kOffer = "Projektet sparas automatiskt\nDet finns ett automatiskt sparat "
                           "projekt. Vill du öppna den?\n";

// The visible windows' ids.
std::vector<std::string> VisibleWindows()
{
    std::vector<std::string> ids;
    std::istringstream lines(Shell("xdotool search --onlyvisible --name '' 2>/dev/null"));
    for (std::string id; std::getline(lines, id);)
        ids.push_back(id);
    return ids;
}

// The autosave in the data folder, once it is in place under its name ("" before).
std::string AutosaveInPlace()
{
    for (const std::string& name : autosaves::Left())
        if (name[0] != '.' && name.size() > 16
            && name.compare(name.size() - 16, 16, kVTAutoSaveSuffix) == 0)
            return VTAutoSaveFolder() + name;
    return "";
}

// How an end went: the exit status (-1 when the program did not end), and in ms after the signal
// when the autosave was in place (-1 when none came) and when the program had ended.
struct End {
    int status = -1;
    long long autosaveMs = -1;
    long long endedMs = -1;
    // From the autosave in place to the program's end.
    long long AfterAutosave() const { return endedMs - autosaveMs; }
};

class ProgramEnds : public PrintingProgram {
protected:
    void SetUp() override
    {
        PrintingProgram::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(AutosaveInPlace(), "");
    }

    void TearDown() override
    {
        program.reset();
        Forget();
    }

    // The program on the project, its window showing it (under the name given, else the file's)
    // and the program at rest.
    bool Start(const std::string& project, std::string name = "")
    {
        Program::Options o;
        o.folder = s.dir;
        program = std::make_unique<Program>(std::vector<std::string> { project }, o);
        if (name.empty())
            name = project.substr(project.rfind('/') + 1);
        xid = WaitMainWindow(60000 * kSlowdown);
        if (!xid || !WaitCaption(xid, kCaption + " - " + name, 180000 * kSlowdown))
            return false;
        WaitProcessQuiet(program->Pid(), 180000 * kSlowdown);
        return true;
    }

    // A text added to the open project by a second start, as a person's edit: the work the end
    // is to keep.
    void Edit(const char* text)
    {
        Program add({ "-addtext", s.Write(std::string(text) + ".txt", text) });
        ASSERT_EQ(add.Wait(60000 * kSlowdown), 0) << text;
    }

    // Waits until the worker of that name has worked for ms of processor time: it is then in
    // the middle of its work. False when it ended or never came.
    bool WhileWorking(const std::string& thread, long long ms)
    {
        return WaitFor(
                   [&] { return ThreadCpuMs(program->Pid(), thread) >= ms; }, 60000 * kSlowdown, 5)
            && program->Running();
    }

    // Arkiv > "Spara som..." > "Pdf" from the keyboard, the project edited ("Spara" taken on the
    // way): true once the save panel has the keys. The keys go again when it does not come.
    bool OpenPdfPanel()
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            WaitProcessQuiet(program->Pid(), 30000 * kSlowdown);
            KeysTo(xid, "F10 Right Down Down Down Down Right Down");
            Keys("Return");
            if (WaitKeysGoTo("Spara som PDF", 8000 * kSlowdown))
                return true;
            Shot("no-save-panel", kShots);
            Keys("Escape Escape Escape");
        }
        return false;
    }

    // A window that was not among those before shows while the one named still does: GTK's
    // question over it. False when none came.
    bool QuestionOver(const std::string& name, const std::vector<std::string>& before)
    {
        return WaitFor(
            [&] {
                if (!WindowShows(name))
                    return false;
                for (const std::string& id : VisibleWindows())
                    if (std::find(before.begin(), before.end(), id) == before.end())
                        return true;
                return false;
            },
            15000 * kSlowdown, 20);
    }

    // The signal, as the desktop sends it; the end watched closely. An autosave written before
    // the signal (the work left unsaved for a minute) is replaced by the end's own, or was all
    // the end had to keep.
    End Signal(int signal)
    {
        End end;
        const std::string earlier = AutosaveInPlace();
        const ino_t written = earlier.empty() ? 0 : FileNumber(earlier);
        const auto inPlace = [&] {
            const std::string now = AutosaveInPlace();
            return !now.empty() && FileNumber(now) != written;
        };
        const Clock::time_point sent = Clock::now();
        ::kill(program->Pid(), signal);
        WaitFor(
            [&] {
                if (end.autosaveMs < 0 && inPlace())
                    end.autosaveMs = Ms(Clock::now() - sent);
                end.status = program->Wait(0);
                return end.status != -1;
            },
            60000 * kSlowdown, 2);
        if (end.status != -1)
            end.endedMs = Ms(Clock::now() - sent);
        if (end.autosaveMs < 0 && written)
            end.autosaveMs = 0;
        return end;
    }

    // A start without documents after the end (a program that did not end is still there):
    // what it offers first (its alert's text, "" when none came; no main window at all when it
    // was refused). It ends again at a signal.
    std::string NextStartOffers(const std::string& shot)
    {
        ForgetAlert(s.rects);
        Program::Options o;
        o.folder = s.dir;
        Program next(std::vector<std::string> {}, o);
        if (!WaitMainWindow(60000 * kSlowdown))
            return "(no window)";
        const std::string offered = AlertText(s.rects, 30000 * kSlowdown);
        Shot(shot, kShots);
        ::kill(next.Pid(), SIGTERM);
        EXPECT_EQ(next.Wait(30000 * kSlowdown), 0);
        program.reset();
        return offered;
    }

    // The autosave and the setting naming it gone, as before the test.
    void Forget()
    {
        for (const std::string& name : autosaves::Left())
            ::unlink((VTAutoSaveFolder() + name).c_str());
        LUserSettingSetString("AutoSave", "FileName", "");
    }

    static void Report(const char* what, const End& end)
    {
        std::printf("%s: status %d, autosave in place %lld ms and program ended %lld ms after the "
                    "signal (%lld ms after the autosave)\n",
            what, end.status, end.autosaveMs, end.endedMs, end.AfterAutosave());
    }
};

// How much longer than the same end at rest an end during work may take once the work is kept:
// the margin a busy machine needs. Before, such ends waited seconds for the work.
constexpr long long kMarginMs = 3000;

} // namespace

// GTK asks "Replace?" from inside its panel's own handler, in a loop of its own: SIGTERM over
// the print panel's question (Print to File onto a file that exists) ends the program with 0, the
// edit is in the autosave, the file is left as it was, and the next start offers the autosave.
TEST_F(ProgramEnds, ThePrintPanelsQuestionEndsAtASignal)
{
    const std::string project = SaveMarked(s.dir + "/fråga.vtproj", "förr");
    const std::string there = s.Write("output.pdf", "redan här");

    ASSERT_TRUE(Start(project));
    Edit("utskrift");
    XRect panel {};
    const unsigned long id = OpenPrintPanel(panel, 500);
    ASSERT_NE(id, 0u);
    ChoosePrintToFile(id, panel, PrintFormat::PDF);
    const std::vector<std::string> before = VisibleWindows();
    PressPrint(panel);
    ASSERT_TRUE(QuestionOver("Print", before)) << "no question over the print panel";
    Shot("print-replace-question", kShots);
    End end = Signal(SIGTERM);
    Report("SIGTERM over the print panel's \"Replace?\"", end);
    EXPECT_EQ(end.status, 0);
    EXPECT_GE(end.autosaveMs, 0) << "no autosave";
    if (end.autosaveMs >= 0) {
        EXPECT_EQ(Count(SavedTexts(AutosaveInPlace()), "utskrift"), 1u);
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(there), "redan här");
    EXPECT_EQ(NextStartOffers("print-question-next-start"), kOffer);
}

// The same with SIGHUP over the save panel's question (Arkiv > "Spara som..." > "Pdf" onto a file
// that exists).
TEST_F(ProgramEnds, TheSavePanelsQuestionEndsAtASignal)
{
    const std::string project = SaveMarked(s.dir + "/fråga.vtproj", "förr");
    const std::string pdf = s.Write("fråga.pdf", "redan här");
    ASSERT_TRUE(Start(project));
    Edit("export");
    ASSERT_TRUE(OpenPdfPanel());
    const std::vector<std::string> shown = VisibleWindows();
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", pdf));
    ASSERT_TRUE(QuestionOver("Spara som PDF", shown)) << "no question over the save panel";
    Shot("save-replace-question", kShots);
    const End end = Signal(SIGHUP);
    Report("SIGHUP over the save panel's \"Replace?\"", end);
    EXPECT_EQ(end.status, 0);
    EXPECT_GE(end.autosaveMs, 0) << "no autosave";
    if (end.autosaveMs >= 0) {
        EXPECT_EQ(Count(SavedTexts(AutosaveInPlace()), "export"), 1u);
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(pdf), "redan här");
    EXPECT_EQ(NextStartOffers("save-question-next-start"), kOffer);
}

// SIGTERM while a page of 200,000 texts is printed to a file: once the autosave is written the
// program ends about as soon as it does at rest (the same project, the same edit), and leaves no
// file where the print was to go.
TEST_F(ProgramEnds, TheEndDoesNotWaitBehindAPrint)
{
    const std::string texts = OldProjectOfTexts(s.dir + "/stor.vtx", 200000);
    const std::string printed = s.dir + "/output.pdf";

    ASSERT_TRUE(Start(texts, "stor.vtproj"));
    Edit("vila");
    const End rest = Signal(SIGTERM);
    Report("200,000 texts, SIGTERM at rest", rest);
    ASSERT_EQ(rest.status, 0);
    ASSERT_GE(rest.autosaveMs, 0) << "no autosave";
    program.reset();
    Forget();

    ASSERT_TRUE(Start(texts, "stor.vtproj"));
    Edit("utskrift");
    // Ctrl+P; the preview of 200,000 texts takes a while to come to rest.
    KeysTo(xid, "ctrl+p");
    ASSERT_NE(WaitDialogWindow(s.rects, "Förhandsgranska", 60000 * kSlowdown), 0u);
    WaitProcessQuiet(program->Pid(), 120000 * kSlowdown);
    XRect panel {};
    const unsigned long id = PrintPanelFromPreview(panel, 500);
    ASSERT_NE(id, 0u);
    ChoosePrintToFile(id, panel, PrintFormat::PDF);
    PressPrint(panel);
    ASSERT_TRUE(WaitWindowNamed("Skriver ut", 30000 * kSlowdown));
    ASSERT_TRUE(WhileWorking("Utskrift", 300)) << "the page was painted before the signal";
    Shot("printing", kShots);
    End end = Signal(SIGTERM);
    Report("200,000 texts, SIGTERM while printed to a file", end);
    EXPECT_EQ(end.status, 0);
    ASSERT_GE(end.autosaveMs, 0) << "no autosave";
    EXPECT_LE(end.AfterAutosave(), rest.AfterAutosave() + kMarginMs * kSlowdown);
    EXPECT_FALSE(Exists(printed));
    EXPECT_EQ(NextStartOffers("texts-printing-next-start"), kOffer);
}

// SIGTERM while photographs are packed into a PDF: once the autosave is written the program ends
// about as soon as it does at rest, and leaves no file where the PDF was to go.
TEST_F(ProgramEnds, TheEndDoesNotWaitBehindAnExport)
{
    // Two photographs of 24 megapixels: seconds to pack.
    const std::string photos = PhotoProject(s.dir + "/foto.vtproj", 6000, 4000, 2);
    const std::string out = s.dir + "/pdf";
    mkdir(out.c_str(), 0755);
    ASSERT_TRUE(Start(photos));
    Edit("vila");
    const End photosRest = Signal(SIGTERM);
    Report("2 photographs, SIGTERM at rest", photosRest);
    ASSERT_EQ(photosRest.status, 0);
    ASSERT_GE(photosRest.autosaveMs, 0) << "no autosave";
    program.reset();
    Forget();

    ASSERT_TRUE(Start(photos));
    Edit("export");
    ASSERT_TRUE(OpenPdfPanel());
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", out + "/foto.pdf"));
    ASSERT_TRUE(WaitWindowNamed("Spara till PDF", 30000 * kSlowdown));
    ASSERT_TRUE(WhileWorking("Jobb", 500)) << "the export ended before the signal";
    Shot("exporting", kShots);
    const End end = Signal(SIGTERM);
    Report("2 photographs, SIGTERM while exported to PDF", end);
    EXPECT_EQ(end.status, 0);
    ASSERT_GE(end.autosaveMs, 0) << "no autosave";
    EXPECT_LE(end.AfterAutosave(), photosRest.AfterAutosave() + kMarginMs * kSlowdown);
    EXPECT_EQ(TemporaryFolder::List(out), std::vector<std::string> {});
    EXPECT_EQ(NextStartOffers("photos-exporting-next-start"), kOffer);
}
