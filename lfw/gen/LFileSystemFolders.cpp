// The user's folders, the program's own folders, free memory and disc mount points.
#include "lfw/gen/LFile.h"

#include "platform/system/System.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// Copies a path into a buffer of size bytes, or refuses ("" and false) when it does not fit.
bool Deliver(char* out, unsigned long size, const std::string& path)
{
    if (size == 0)
        return false;
    if (path.empty() || path.size() >= size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool EnsureFolder(const std::string& path)
{
    return LFile::TestFolderExists(path.c_str()) || LFile::CreateFolderTree(path.c_str())
        || LFile::TestFolderExists(path.c_str());
}

std::string Join(const std::string& folder, const char* name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace

// The user's folder of that kind as a whole path ("" when it cannot be had).
static std::string UserSpecialFolderPath(LUserSpecialFolder directory, const char* fallback)
{
    platform::system::UserFolder which = platform::system::UserFolder::Documents;
    switch (directory) {
    case LUserSpecialFolder::Documents:
        which = platform::system::UserFolder::Documents;
        break;
    case LUserSpecialFolder::Pictures:
        which = platform::system::UserFolder::Pictures;
        break;
    case LUserSpecialFolder::Data:
        which = platform::system::UserFolder::Data;
        break;
    case LUserSpecialFolder::Cache:
        which = platform::system::UserFolder::Cache;
        break;
    }
    platform::system::UserFolderPath folder = platform::system::GetUserFolder(which);
    std::string path = folder.path;
    if (folder.fallback) {
        path = Join(platform::system::HomeFolder(), fallback ? fallback : "");
        if (!EnsureFolder(path))
            return "";
    }
    return path;
}

bool GetUserSpecialFolder(char* out, LUserSpecialFolder directory, const char* fallback)
{
    return Deliver(out, kLPathSize, UserSpecialFolderPath(directory, fallback));
}

bool LFile::GetUserDocumentsFolder(char* out)
{
    return GetUserSpecialFolder(out, LUserSpecialFolder::Documents, "Documents");
}

bool LFile::GetUserPicturesFolder(char* out)
{
    return GetUserSpecialFolder(out, LUserSpecialFolder::Pictures, "Pictures");
}

bool LFile::GetUserDataFolder(char* out)
{
    return GetUserSpecialFolder(out, LUserSpecialFolder::Data, ".local/share");
}

bool LFile::GetTempFolder(char* out)
{
    char cache[kLPathSize];
    if (!GetUserSpecialFolder(cache, LUserSpecialFolder::Cache, ".cache")) {
        out[0] = '\0';
        return false;
    }
    std::string path = Join(cache, "vorantel");
    if (!EnsureFolder(path)) {
        out[0] = '\0';
        return false;
    }
    return Deliver(out, kLPathSize, path);
}

std::string LFile::GetUserDataFolderAppPath()
{
    const std::string data = UserSpecialFolderPath(LUserSpecialFolder::Data, ".local/share");
    if (data.empty())
        return "";
    std::string path = Join(data, "vorantel");
    return EnsureFolder(path) ? path : "";
}

bool LFile::GetUserDataFolderApp(char* out, const char* name)
{
    (void)name;
    return Deliver(out, kLPathSize, GetUserDataFolderAppPath());
}

bool LFile::GetUserDataFolderAppSubFolder(const char* sub, char* out)
{
    char app[kLPathSize];
    if (!GetUserDataFolderApp(app) || !sub) {
        out[0] = '\0';
        return false;
    }
    std::string path = Join(app, sub);
    if (!EnsureFolder(path)) {
        out[0] = '\0';
        return false;
    }
    return Deliver(out, kLPathSize, path);
}

bool LFile::GetApplicationsFolder(char* out)
{
    // The home of add-on application packages, one folder per program.
    return Deliver(out, kLPathSize, "/opt");
}

bool LFile::GetInstalledApplicationExePath(char* out, const char* bundle)
{
    if (!bundle)
        bundle = "";
    std::string own = Join(Join(platform::system::HomeFolder(), "Applications"), bundle);
    if (TestFolderExists(own.c_str()))
        return Deliver(out, kLPathSize, own);
    char applications[kLPathSize];
    GetApplicationsFolder(applications);
    if (!_MakeFilePath(out, applications, bundle, ""))
        return false;
    return TestFolderExists(out);
}

bool LFile::GetHelpFolder(char* out)
{
    std::string resources = platform::system::ResourcesFolder();
    if (resources.empty()) {
        out[0] = '\0';
        return false;
    }
    return Deliver(out, kLPathSize, Join(resources, "help"));
}

bool LGetBundleFolder(char* out, unsigned long size)
{
    return Deliver(out, size, platform::system::ExecutableFolder());
}

bool LGetBundleExeFile(char* out, unsigned long size)
{
    return Deliver(out, size, platform::system::ExecutablePath());
}

bool LGetBundleResourcesFolder(char* out, unsigned long size)
{
    return Deliver(out, size, platform::system::ResourcesFolder());
}

bool LGetInstalledApplicationResourcesFolder(char* out, unsigned long size)
{
    return Deliver(out, size, platform::system::ResourcesFolder());
}

uint64_t LMemoryGetFreeHeapSize()
{
    return platform::system::FreeMemory();
}

void LMapDriveNumberToMountPoint(unsigned char drive, char* out)
{
    out[0] = '\0';
    if (drive == 255)
        return;
    Deliver(out, kLPathSize, platform::system::OpticalDriveMountPoint(drive));
}
