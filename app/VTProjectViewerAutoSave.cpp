// The project viewer's autosave: after a minute of unsaved changes (three ticks of the 20-second
// timer) the open project is written to the user's data folder under a name of its own, without
// touching the project's path or save state. The file names the project's path inside, and the
// setting "AutoSave"/"FileName" names the file, so that the next start can offer it when the
// program ended without closing the project (VTAutoSaveFiles.h). The pictures are encoded and
// the file written off the window's thread (VTProjectBackgroundSave), also while a dialog is
// open. Saved or closed, the project's autosave goes; when the desktop session ends the program
// (a signal, the display gone), the work is autosaved at once and the autosave stays for the
// next start.
#include "app/VTAutoSaveFiles.h"
#include "app/VTProjectBackgroundSave.h"
#include "app/VTProjectFile.h"
#include "app/VTProjectViewer.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LModalLoop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool FileExists(const char* path)
{
    struct stat st { };
    return stat(path, &st) == 0;
}

// The autosaves this run wrote: an existing file of another name is an earlier run's.
std::set<std::string>& WrittenThisRun()
{
    static std::set<std::string> written;
    return written;
}

// The project's name as the autosave's name begins: shortened (at a character boundary) where
// "<name>_NNNN_autosave.vtproj" would be longer than a file name may be.
std::string NameThatFits(const char* name)
{
    constexpr size_t kLongestName = 255 - sizeof "_9999_autosave.vtproj" + 1;
    std::string shown = name;
    if (shown.size() > kLongestName) {
        size_t cut = kLongestName;
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
            --cut;
        shown.resize(cut);
    }
    return shown;
}

// The file's name without its folder.
std::string FileNameOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

} // namespace

unsigned VTProjectViewerAutoSaveTickMs()
{
    // Tests of the whole program that wait for an autosave set VT_TEST_AUTOSAVE_TICK_MS (in
    // milliseconds, read once at the first tick set): the timer then ticks that often, each tick
    // still counting as kVTProjectViewerAutoSaveTickMs of unsaved work, so that the autosave
    // comes after the same three ticks, sooner.
    static const unsigned tick = [] {
        const char* value = std::getenv("VT_TEST_AUTOSAVE_TICK_MS");
        const unsigned long ms = value && *value ? std::strtoul(value, nullptr, 10) : 0;
        return ms > 0 && ms < kVTProjectViewerAutoSaveTickMs ? unsigned(ms)
                                                             : kVTProjectViewerAutoSaveTickMs;
    }();
    return tick;
}

void VTProjectViewer::EvTimer(int id)
{
    if (id != kVTProjectViewerAutoSaveTimer)
        return;
    autoSaveSeconds += kVTProjectViewerAutoSaveTickMs / 1000;
    if (project && project->GetSaveState() != VTProjectSaveStateSaved) {
        if (autoSaveSeconds < kVTProjectViewerAutoSaveAfterSeconds) {
            TimerSet(kVTProjectViewerAutoSaveTimer, VTProjectViewerAutoSaveTickMs());
            return;
        }
        // Whatever is on the screen (a dialog left open over the work for an hour too), the
        // work is autosaved; only the last autosave still being written, or the end's own
        // under way, makes it wait for the next tick.
        if (autoSaving || keepAutoSave) {
            TimerSet(kVTProjectViewerAutoSaveTimer, VTProjectViewerAutoSaveTickMs());
            return;
        }
        AutoSave();
    }
    autoSaveSeconds = 0;
    TimerSet(kVTProjectViewerAutoSaveTimer, VTProjectViewerAutoSaveTickMs());
}

void VTProjectViewer::MakeAutoSavePath()
{
    autoSavePath.clear();
    const std::string folder = VTAutoSaveFolder();
    if (folder.empty())
        return;
    // A name is free unless an earlier run's autosave still waits there to be offered; the one
    // the setting names is replaced by this one anyway.
    const std::string named = NamedAutoSave();
    const auto isFree = [&](const std::string& path) {
        return !FileExists(path.c_str()) || WrittenThisRun().count(path) || path == named;
    };
    std::string path;
    if (project->GetSaveState() == VTProjectSaveStateNew) {
        for (int tries = 0; tries < 10000; ++tries) {
            path = folder + "Untitled_" + std::to_string(++autoSaveCounter) + kVTAutoSaveSuffix;
            if (isFree(path))
                break;
        }
    } else {
        char file[kLPathSize] = "";
        LFile::_GetFileFromPath(file, project->GetPath());
        if (char* dot = std::strrchr(file, '.'))
            *dot = '\0';
        const std::string name = NameThatFits(file);
        path = folder + name + kVTAutoSaveSuffix;
        for (int k = 2; k < 10000 && !isFree(path); ++k)
            path = folder + name + "_" + std::to_string(k) + kVTAutoSaveSuffix;
    }
    // A path the system cannot open is not cut into one that names another file: no autosave.
    if (path.size() < kLLongPathSize)
        autoSavePath = path;
}

void VTProjectViewer::AutoSave()
{
    if (!project || autoSaving)
        return;
    // Text typed a moment ago is saved too (and makes a saved project unsaved); inside a modal
    // run the project is only read, as the code the run came from may hold on to its pieces.
    if (!LModalLoop::Busy())
        CommitPendingEdits();
    if (project->GetSaveState() == VTProjectSaveStateSaved)
        return;
    if (autoSavePath.empty())
        MakeAutoSavePath();
    if (autoSavePath.empty())
        return;
    const std::string path = autoSavePath;
    // What changes from here on is not in this autosave.
    changedSinceAutoSave = false;
    // The viewer owns the save: the answer never comes once it (or the save) has gone.
    auto done = [this, path](bool saved) {
        const std::string reason = saved || !autoSaving ? "" : autoSaving->GetError();
        autoSaving.reset();
        // A failure (a full disk, a folder gone or read-only) is told once; the next autosave
        // tries again.
        if (!saved) {
            changedSinceAutoSave = true;
            AutoSaveFailed(reason);
            return;
        }
        AutoSaveWritten(path);
    };
    autoSaving = std::make_unique<VTProjectBackgroundSave>(
        *project, path, std::move(done), project->GetPath());
}

void VTProjectViewer::AutoSaveFailed(const std::string& reason)
{
    if (autoSaveFailureTold)
        return;
    autoSaveFailureTold = true;
    const std::string text
        = reason.empty() ? "Det gick inte att spara projektet automatiskt." : reason;
    Notify(&VTProjectViewerNotifyee::EvProjectViewerAutoSaveFailed, *this, text.c_str());
}

void VTProjectViewer::AutoSaveWritten(const std::string& path)
{
    autoSaveFailureTold = false;
    WrittenThisRun().insert(path);
    const std::string replaced = NamedAutoSave();
    LUserSettingSetString(kVTAutoSaveSection, kVTAutoSaveFileName, path.c_str());
    // The autosave named before is an earlier run's that the start offered (left by the user,
    // or reopened into this project under another name): this one replaces it. Never the
    // project's own file, though (an autosave opened as a project).
    if (!replaced.empty() && replaced != path && !WrittenThisRun().count(replaced)
        && !(project && VTAutoSaveSameFile(replaced, project->GetPath())))
        unlink(replaced.c_str());
}

std::string VTProjectViewer::NamedAutoSave()
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString(kVTAutoSaveSection, kVTAutoSaveFileName, "", value);
    return value.c_str();
}

void VTProjectViewer::KeepAutoSave(bool commitTyped)
{
    keepAutoSave = true;
    if (!project)
        return;
    // Text typed a moment ago is part of the work.
    if (commitTyped)
        CommitPendingEdits();
    // An autosave still being written may lack the latest edits, and its answer would come no
    // more: it is abandoned (a write is waited for) and the work written here.
    bool write = changedSinceAutoSave;
    if (autoSaving) {
        autoSaving.reset();
        write = true;
    }
    // Saved work needs no autosave; a new project nobody touched holds no work.
    if (!write || project->GetSaveState() != VTProjectSaveStateModified)
        return;
    if (autoSavePath.empty())
        MakeAutoSavePath();
    if (autoSavePath.empty())
        return;
    // Written straight into the file: the window's thread is the end's own, and no copy of the
    // whole file is made first. A failure is said on standard error, where the end of the
    // session leaves it: the window goes at once.
    struct Said : LProcessInterfaceVoid {
        std::string error;
        void SetError(const char* text) override { error = text ? text : ""; }
    } job;
    VTProjectWriteAtOnce writing { autoSavePath, project, project->GetPath() };
    if (Process(job, writing) != LProcessResultSuccess) {
        std::fprintf(stderr, "vorantel: Projektet ”%s” sparades inte automatiskt. %s\n",
            FileNameOf(project->GetPath()).c_str(),
            job.error.empty() ? "Det gick inte att skriva filen." : job.error.c_str());
        return;
    }
    changedSinceAutoSave = false;
    AutoSaveWritten(autoSavePath);
}

void VTProjectViewer::DeleteAutoSave()
{
    // An autosave under way stops first (a write is waited for), then its file goes too.
    autoSaving.reset();
    if (keepAutoSave) {
        // The program ends without closing the work: the next start offers the autosave.
        autoSavePath.clear();
        return;
    }
    if (!autoSavePath.empty()) {
        if (FileExists(autoSavePath.c_str())
            && !(project && VTAutoSaveSameFile(autoSavePath, project->GetPath())))
            unlink(autoSavePath.c_str());
        WrittenThisRun().erase(autoSavePath);
        autoSavePath.clear();
    }
    LUserSettingSetString(kVTAutoSaveSection, kVTAutoSaveFileName, "");
}
