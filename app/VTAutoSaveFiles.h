// The autosaves in the user's data folder, as the next start finds them. The project viewer
// writes them ("<name>_autosave.vtproj", VTProjectViewerAutoSave.cpp) and the setting
// "AutoSave"/"FileName" names the last one written; a run that died between an autosave's
// rename and that setting, or an autosave the user left at a start and a later one replaced in
// the setting, leave files that no setting names. Each is offered in its turn until its work is
// saved, so none stays in the folder for good.
#pragma once

#include <string>

inline constexpr const char* kVTAutoSaveSuffix = "_autosave.vtproj";

// The folder autosaves are written in, ending in '/'; "" when there is none.
std::string VTAutoSaveFolder();

// An autosave found at start.
struct VTAutoSaveFound {
    std::string path; // "" when there is nothing to offer
    std::string origin; // the path of the project it was made of; "" for an older autosave
};

// What the start offers: of the autosave the setting names (named, which may lie elsewhere)
// and every other autosave in the folder, the newest one. An autosave whose project's file was
// written after it was made (saved since) holds nothing that file does not and is removed.
VTAutoSaveFound VTAutoSaveFindToOffer(const std::string& named);

// Where a reopened autosave's project is saved: the project it was made of when that file's
// folder is still there; its name alone (the user is asked where) when the folder went or the
// project never had one; "" for an older autosave, which names no project.
std::string VTAutoSaveProjectPath(const std::string& origin);

// Whether a path names one of the program's autosaves: a project file ("*.vtproj") straight in
// the autosave folder, where the autosaves and nothing else of the kind are written. Such files
// are the program's, not the user's: they are never listed as recent.
bool VTIsAutoSavePath(const char* path);

// Whether two paths name one file (an autosave the user saved the project over is the project's
// own file, not an autosave to remove).
bool VTAutoSaveSameFile(const std::string& a, const std::string& b);
