#include "lfw/unix/LReveal.h"

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
    return LUiShowItemsInFileManager({ item });
}
