#include "lfw/gen/LRecentFileList.h"

#include "lfw/gen/LUserSettings.h"

#include <cstdio>
#include <cstring>

namespace {

void _SlotKey(char* out, int n)
{
    snprintf(out, 16, "File%d", n);
}

} // namespace

void LRecentFileMenu::AppendMenuItem(int command, const char* title)
{
    if (fCount >= kLRecentFileCount)
        return;
    LRecentFileMenuItem& item = fItems[fCount++];
    item.command = command;
    utf8strlcpy(item.title, title ? title : "", sizeof item.title);
    item.enabled = true;
}

void LRecentFileMenu::EnableItem(int command, bool enabled)
{
    for (int i = 0; i < fCount; ++i)
        if (fItems[i].command == command)
            fItems[i].enabled = enabled;
}

void LRecentFileList::RecentFileListGet(int n, char* out)
{
    char key[16];
    _SlotKey(key, n);
    _LUserSettingGetString(kLRecentFileSection, key, "", out);
}

void LRecentFileList::RecentFileListAdd(const char* path)
{
    if (!path || !path[0])
        return;
    char slots[kLRecentFileCount][kLStringShortSize];
    int found = -1;
    for (int i = 0; i < kLRecentFileCount; ++i) {
        RecentFileListGet(i, slots[i]);
        if (found < 0 && strcmp(slots[i], path) == 0)
            found = i;
    }
    if (found == 0)
        return;
    // The slots above the path's old place (or all but the last, for a new path) move down one.
    const int moved = found > 0 ? found : kLRecentFileCount - 1;
    char keys[kLRecentFileCount][16];
    const char* keyList[kLRecentFileCount];
    const char* valueList[kLRecentFileCount];
    for (int i = moved; i >= 1; --i) {
        _SlotKey(keys[i], i);
        keyList[moved - i] = keys[i];
        valueList[moved - i] = slots[i - 1];
    }
    _SlotKey(keys[0], 0);
    keyList[moved] = keys[0];
    valueList[moved] = path;
    LUserSettingSetStrings(kLRecentFileSection, keyList, valueList, size_t(moved) + 1);
    RecentFileListLoad();
}

void LRecentFileList::RecentFileListLoad()
{
    if (!fMainWindow)
        return;
    LRecentFileMenu menu;
    RecentFileListPopulate(menu);
    RecentFileListInstallMenu(kLRecentFileMenuCommand, menu);
}

void LRecentFileList::RecentFileListPopulate(LRecentFileMenu& menu)
{
    bool any = false;
    for (int n = 0; n < kLRecentFileCount; ++n) {
        char path[kLStringShortSize];
        RecentFileListGet(n, path);
        if (path[0]) {
            menu.AppendMenuItem(kLRecentFileFirstCommand + n, path);
            any = true;
        }
    }
    if (!any) {
        menu.AppendMenuItem(kLRecentFileEmptyCommand, kLRecentFileEmptyTitle);
        menu.EnableItem(kLRecentFileEmptyCommand, false);
    }
}

void LRecentFileList::EvRecentFileOpen(int n)
{
    if (n < 0 || n >= kLRecentFileCount)
        return;
    char path[kLStringShortSize];
    RecentFileListGet(n, path);
    if (!path[0])
        return;
    EvRecentFileOpen(static_cast<const char*>(path));
    RecentFileListAdd(path);
}
