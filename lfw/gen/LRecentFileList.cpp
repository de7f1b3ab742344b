#include "lfw/gen/LRecentFileList.h"

#include "lfw/gen/LUserSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void _SlotKey(char* out, int n)
{
    snprintf(out, 16, "File%d", n);
}

// The whole path of a slot; "" for an empty slot or a value too long to be a path.
std::string _Slot(int n)
{
    char key[16];
    _SlotKey(key, n);
    LStringLongTemplate<char> value;
    _LUserSettingGetString(kLRecentFileSection, key, "", value);
    std::string path = value.c_str();
    return path.size() < kLLongPathSize ? path : std::string();
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
    const std::string path = _Slot(n);
    std::memcpy(out, path.c_str(), path.size() + 1);
}

void LRecentFileList::RecentFileListAdd(const char* path)
{
    // A path too long for the platform is no file that can be opened again: never cut.
    if (!path || !path[0] || std::strlen(path) >= kLLongPathSize || !RecentFileListTakes(path))
        return;
    std::vector<std::string> slots(kLRecentFileCount);
    int found = -1;
    for (int i = 0; i < kLRecentFileCount; ++i) {
        slots[size_t(i)] = _Slot(i);
        if (found < 0 && slots[size_t(i)] == path)
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
        valueList[moved - i] = slots[size_t(i - 1)].c_str();
    }
    _SlotKey(keys[0], 0);
    keyList[moved] = keys[0];
    valueList[moved] = path;
    LUserSettingSetStrings(kLRecentFileSection, keyList, valueList, size_t(moved) + 1);
    RecentFileListLoad();
}

void LRecentFileList::RecentFileListRemove(const char* path)
{
    if (!path || !path[0])
        return;
    std::vector<std::string> kept;
    bool found = false;
    for (int i = 0; i < kLRecentFileCount; ++i) {
        std::string slot = _Slot(i);
        if (slot == path)
            found = true;
        else if (!slot.empty())
            kept.push_back(std::move(slot));
    }
    if (!found)
        return;
    // Every slot is written: the list closes up, the slots left over are emptied.
    char keys[kLRecentFileCount][16];
    const char* keyList[kLRecentFileCount];
    const char* valueList[kLRecentFileCount];
    for (int i = 0; i < kLRecentFileCount; ++i) {
        _SlotKey(keys[i], i);
        keyList[i] = keys[i];
        valueList[i] = size_t(i) < kept.size() ? kept[size_t(i)].c_str() : "";
    }
    LUserSettingSetStrings(kLRecentFileSection, keyList, valueList, kLRecentFileCount);
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
        const std::string path = _Slot(n);
        if (!path.empty()) {
            menu.AppendMenuItem(kLRecentFileFirstCommand + n, path.c_str());
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
    const std::string path = _Slot(n);
    if (path.empty())
        return;
    if (EvRecentFileOpen(path.c_str())) {
        RecentFileListAdd(path.c_str());
        return;
    }
    // The open has told the user that the file is gone: it is not offered again.
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        RecentFileListRemove(path.c_str());
}
