#include "app/VTAutoSavePath.h"

#include "lfw/gen/LFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

// The folder as the system resolves it (links followed); as written when it cannot be.
std::string Resolved(const std::string& folder)
{
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return folder;
    std::string out = real;
    std::free(real);
    return out;
}

} // namespace

bool VTIsAutoSavePath(const char* path)
{
    if (!path || !*path)
        return false;
    const std::string p = path;
    const size_t slash = p.rfind('/');
    constexpr const char* kExtension = ".vtproj";
    const size_t n = std::strlen(kExtension);
    if (slash == std::string::npos || p.size() - slash - 1 <= n
        || strcasecmp(p.c_str() + p.size() - n, kExtension) != 0)
        return false;
    const std::string data = LFile::GetUserDataFolderAppPath();
    if (data.empty())
        return false;
    return Resolved(slash == 0 ? "/" : p.substr(0, slash)) == Resolved(data);
}
