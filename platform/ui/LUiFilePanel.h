// The file choosers: open one or several files, choose a folder, choose a save path; and the
// colour chooser. Each runs a GTK dialog application-modally (counted by LModalCounter, so the
// main menu is disabled meanwhile) above an optional parent window. Main thread only.
//
// A name accepted in the save chooser without an extension gets the first extension of the
// filter shown (none under a filter of every file; a folder's name is left to the chooser, which
// opens the folder), before the chooser asks whether to replace a file of that name.
//
// Names need not be UTF-8: the choosers list a file by its real name and answer real paths; a
// name an open chooser answers as its list shows it (one that is not UTF-8, completed so in its
// location field) stands for the file shown under it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class LNativeWindow;

// One entry of the type list: its name and the extensions it shows (without "*."), compared
// without regard to case with the end of the file's real name, whatever its encoding; no
// extensions: every file.
struct LUiFileFilter {
    std::string name;
    std::vector<std::string> extensions;
};

struct LUiFilePanelRequest {
    enum Kind { kOpen, kOpenMultiple, kFolder, kSave };
    Kind kind = kOpen;
    LNativeWindow* parent = nullptr;
    std::string title;
    std::string acceptLabel; // empty: GTK's own ("Öppna", "Spara", "Välj")
    std::string startFolder; // used when it is an existing folder
    std::string proposedName; // save: the name field, UTF-8 (as GTK shows it)
    bool allowFolders = false; // open several: folders may be chosen too
    bool createFolders = true;
    std::vector<LUiFileFilter> filters;
    int selectedFilter = 0; // index into filters
};

struct LUiFilePanelResult {
    bool accepted = false;
    std::vector<std::string> paths; // local paths (the file system's bytes), chooser's order
    int selectedFilter = -1; // the filter shown at the end; -1 without filters
};

// Runs the chooser; false when the user cancelled (or no display).
bool LUiRunFilePanel(const LUiFilePanelRequest& request, LUiFilePanelResult& result);

// The colour chooser without alpha, red, green and blue from 0 to 1. Recent colours (at most 16)
// are offered as a palette of their own. True when the user chose (the select button or Return);
// Cancel, Escape and closing answer false and leave the colour.
bool LUiRunColorPanel(LNativeWindow* parent, const char* title, double rgb[3],
    const std::vector<uint32_t>& recentRGB = {});

// The chooser being run now (for tests that drive it); null when none.
void* LUiCurrentPanel();
