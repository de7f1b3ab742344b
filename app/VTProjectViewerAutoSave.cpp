// The project viewer's autosave: after a minute of unsaved changes (three ticks of the 20-second
// timer) the open project is written to the user's data folder under a name of its own, without
// touching the project's path or save state. The setting "AutoSave"/"FileName" names the file,
// so that the next start can offer it when the program ended without closing the project.
#include "app/VTProjectFile.h"
#include "app/VTProjectViewer.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LModalLoop.h"

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

} // namespace

void VTProjectViewer::EvTimer(int id)
{
    if (id != kVTProjectViewerAutoSaveTimer)
        return;
    autoSaveSeconds += kVTProjectViewerAutoSaveTickMs / 1000;
    if (project && project->GetSaveState() != VTProjectSaveStateSaved) {
        if (autoSaveSeconds < kVTProjectViewerAutoSaveAfterSeconds) {
            TimerSet(kVTProjectViewerAutoSaveTimer, kVTProjectViewerAutoSaveTickMs);
            return;
        }
        // Inside a modal loop (a dialog over the window, a save running) the autosave waits for
        // the next tick.
        if (LModalLoop::Depth() > 0 || LModalCounter::Count() > 0) {
            TimerSet(kVTProjectViewerAutoSaveTimer, kVTProjectViewerAutoSaveTickMs);
            return;
        }
        AutoSave();
    }
    autoSaveSeconds = 0;
    TimerSet(kVTProjectViewerAutoSaveTimer, kVTProjectViewerAutoSaveTickMs);
}

void VTProjectViewer::MakeAutoSavePath()
{
    char folder[kLPathSize] = "";
    if (!LFile::GetUserDataFolderApp(folder) || !folder[0])
        return;
    const size_t n = std::strlen(folder);
    const char* sep = n && folder[n - 1] == '/' ? "" : "/";
    char name[kLPathSize] = "";
    char path[kLPathSize] = "";
    if (project->GetSaveState() == VTProjectSaveStateNew) {
        // The next free number: an earlier run's autosave still waits to be offered.
        for (int tries = 0; tries < 10000; ++tries) {
            LStringFormat(name, sizeof name, "Untitled_%i", ++autoSaveCounter);
            LStringFormat(path, sizeof path, "%s%s%s_autosave.vtproj", folder, sep, name);
            if (!FileExists(path) || WrittenThisRun().count(path))
                break;
        }
    } else {
        char file[kLPathSize] = "";
        LFile::_GetFileFromPath(file, project->GetPath());
        if (char* dot = std::strrchr(file, '.'))
            *dot = '\0';
        LStringFormat(path, sizeof path, "%s%s%s_autosave.vtproj", folder, sep, file);
        for (int k = 2; k < 10000 && FileExists(path) && !WrittenThisRun().count(path); ++k)
            LStringFormat(path, sizeof path, "%s%s%s_%i_autosave.vtproj", folder, sep, file, k);
    }
    std::strncpy(autoSavePath, path, sizeof autoSavePath - 1);
    autoSavePath[sizeof autoSavePath - 1] = '\0';
}

void VTProjectViewer::AutoSave()
{
    if (!project || project->GetSaveState() == VTProjectSaveStateSaved)
        return;
    if (!autoSavePath[0])
        MakeAutoSavePath();
    if (!autoSavePath[0])
        return;
    VTProjectSave job;
    job.project = project;
    std::strncpy(job.path, autoSavePath, sizeof job.path - 1);
    job.leaveProjectUnchanged = true;
    LProcessInterfaceVoid silent;
    // A failure (a folder gone or read-only) is silent; the next autosave tries again.
    if (Process(silent, job) != LProcessResultSuccess)
        return;
    WrittenThisRun().insert(autoSavePath);
    LUserSettingSetString(kVTAutoSaveSection, kVTAutoSaveFileName, autoSavePath);
}

void VTProjectViewer::DeleteAutoSave()
{
    if (autoSavePath[0]) {
        if (FileExists(autoSavePath))
            unlink(autoSavePath);
        WrittenThisRun().erase(autoSavePath);
        autoSavePath[0] = '\0';
    }
    LUserSettingSetString(kVTAutoSaveSection, kVTAutoSaveFileName, "");
}
