#include "lfw/unix/LReveal.h"

#include "platform/desktop/Desktop.h"
#include "platform/ui/LUiReveal.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

std::string LRevealItemFor(const char* path)
{
    if (!path || !*path)
        return std::string();
    std::string base = path;
    DIR* dir = opendir(path);
    if (!dir)
        return base;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (lstat((base + "/" + name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)
            && !S_ISLNK(st.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    if (names.empty())
        return base;
    return base + "/" + *std::min_element(names.begin(), names.end());
}

bool LRevealInFinder(const char* path)
{
    std::string item = LRevealItemFor(path);
    if (item.empty())
        return false;
    if (LUiShowItemsInFileManager({ item }))
        return true;
    // No file manager on the bus: the folder opens with the desktop's opener.
    std::string folder = item;
    struct stat st;
    if (stat(item.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        size_t slash = item.rfind('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : item.substr(0, slash);
    }
    std::string uri = platform::desktop::FilePathToUri(folder);
    return !uri.empty() && platform::desktop::OpenUri(uri);
}
