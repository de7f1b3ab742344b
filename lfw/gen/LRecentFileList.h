// The list of recently opened files and its menu.
//
// Ten slots, the user settings "RecentFileList"/"File0" ... "File9", "File0" the most recent; an
// empty or missing key is an empty slot. The menu (a plain model here; the main window shows it
// as the submenu of its command 9049) has one item per file with command 9050 + slot and the path
// as title, or the one disabled item 9060 "Inga senaste filer". Paths are kept whole up to the
// platform's limit (PATH_MAX); a longer one is not added, and a stored value that long is read
// as an empty slot.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"

class LMainWindow;

inline constexpr int kLRecentFileMenuCommand = 9049;
inline constexpr int kLRecentFileFirstCommand = 9050;
inline constexpr int kLRecentFileEmptyCommand = 9060;
inline constexpr int kLRecentFileCount = 10;
inline constexpr const char* kLRecentFileSection = "RecentFileList";
inline constexpr const char* kLRecentFileEmptyTitle = "Inga senaste filer";

struct LRecentFileMenuItem {
    int command = 0;
    char title[kLLongPathSize] = "";
    bool enabled = true;
};

// A menu as a list of items, for the window layer to show.
class LRecentFileMenu {
public:
    // Appends an item with the command id and the title.
    void AppendMenuItem(int command, const char* title);
    // Enables or disables the item with that command id.
    void EnableItem(int command, bool enabled);

    int GetCount() const { return fCount; }
    const LRecentFileMenuItem& GetItem(int i) const { return fItems[i]; }

private:
    int fCount = 0;
    LRecentFileMenuItem fItems[kLRecentFileCount];
};

class LRecentFileList {
public:
    virtual ~LRecentFileList() = default;

    // Opens the file (the main window implements it): false when it was not opened (the file
    // could not be read, or the user kept the project that was open).
    virtual bool EvRecentFileOpen(const char* path) = 0;

    // Moves or inserts the path at the top and rebuilds the menu; a path already at the top, or
    // one the window does not take into the list, changes nothing.
    void RecentFileListAdd(const char* path);
    // Takes the path out of the list (the slots after it move up one) and rebuilds the menu.
    void RecentFileListRemove(const char* path);
    // When the main window is set, builds the menu and hands it to RecentFileListInstallMenu.
    void RecentFileListLoad();
    // Fills the menu from the slots.
    void RecentFileListPopulate(LRecentFileMenu& menu);
    // The menu command 9050 + n: opens the file of slot n (when it is not empty) and moves it
    // to the top. A file that is gone leaves the list once the open has told so.
    void EvRecentFileOpen(int n);

    // The path of slot n (0-9) into out (kLLongPathSize bytes); "" for an empty slot.
    static void RecentFileListGet(int n, char* out);

    void SetRecentFileListMainWindow(LMainWindow* window) { fMainWindow = window; }
    LMainWindow* GetRecentFileListMainWindow() const { return fMainWindow; }

protected:
    // Whether the path may enter the list (files the program keeps for itself may not).
    virtual bool RecentFileListTakes(const char* path) const
    {
        (void)path;
        return true;
    }
    // Installs the menu as the submenu of main-menu command 9049; the window layer overrides it.
    virtual void RecentFileListInstallMenu(int command, const LRecentFileMenu& menu)
    {
        (void)command;
        (void)menu;
    }

private:
    LMainWindow* fMainWindow = nullptr;
};
