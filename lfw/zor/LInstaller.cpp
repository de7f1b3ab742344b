#include "lfw/zor/LInstaller.h"

#include "lfw/gen/LSharedSettings.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/unix/LUnixProcess.h"
#include "platform/system/FileRead.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

char LInstaller::szBundlePath[kLPathSize] = "";
bool bInstallerShouldRun = false;

namespace {

constexpr const char* kLVersion = "6.27";

bool _LIsReplacedBackground(const char* name)
{
    return strcmp(name, "bg1.jpg") == 0 || strcmp(name, "bg2.jpg") == 0;
}

} // namespace

bool LInstaller::GetApplicationBundleInstallFolder(char* out)
{
    std::string folder = platform::system::ResourcesFolder();
    out[0] = 0;
    if (folder.empty() || folder.size() + 9 >= kLPathSize)
        return false;
    snprintf(out, kLPathSize, "%s/install", folder.c_str());
    return true;
}

void LInstaller::SetRefString()
{
    std::string folder = platform::system::ResourcesFolder();
    if (folder.empty())
        return;
    std::string text;
    if (!platform::system::ReadWholeFile((folder + "/ref.txt").c_str(), text, 4096))
        return;
    char ref[kLPathSize] = "";
    const size_t n = std::min(text.size(), sizeof ref - 1);
    std::memcpy(ref, text.data(), n);
    ref[n] = 0;
    ref[strcspn(ref, "\r\n")] = 0;
    if (!ref[0])
        return;
    LUserSettingSetString("Software", "Ref", ref);
    LSharedSettingSetString("Software", "Ref", ref);
}

bool LInstaller::_InstallFilesFromBundleInstallFolder(const char* sharedFolder)
{
    char source[kLPathSize];
    if (!GetApplicationBundleInstallFolder(source) || !LFile::TestFolderExists(source))
        return false;
    // The files keep the user's own permissions: the shared folder is the user's alone.
    LInstallCopyFolderFiles(source, source, sharedFolder);
    return true;
}

bool LInstaller::RunTheProgram() const
{
    std::string exe = platform::system::ExecutablePath();
    return !exe.empty() && LInstallProcessRunNonElevated(exe.c_str(), nullptr);
}

void LInstallCopyFolderFiles(const char* root, const char* source, const char* target)
{
    (void)root;
    if (!LFile::TestFolderExists(source))
        return;
    if (!LFile::TestFolderExists(target) && !LFile::CreateFolderTree(target)
        && !LFile::TestFolderExists(target))
        return;
    DIR* dir = opendir(source);
    if (!dir)
        return;
    while (struct dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        std::string from = std::string(source) + "/" + name;
        std::string to = std::string(target) + "/" + name;
        if (from.size() >= kLPathSize || to.size() >= kLPathSize)
            continue;
        struct stat st = {};
        if (lstat(from.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            mkdir(to.c_str(), 0777); // the user's umask applies
            LInstallCopyFolderFiles(root, from.c_str(), to.c_str());
        } else if (!LFile::TestFileExists(to.c_str()) || _LIsReplacedBackground(name)) {
            LFile::CopyFile(from.c_str(), to.c_str());
        }
    }
    closedir(dir);
}

bool LUnixInstallShouldInstall(const char* executable)
{
    char installDate[kLPathSize] = "";
    if (!_LUserSettingGetString("Settings", "InstallDate", "", installDate) || !installDate[0])
        return true;
    char current[kLPathSize] = "";
    _LUserSettingGetString("Settings", "CurrentVersion", "", current);
    if (strcmp(current, kLVersion) != 0)
        return true;
    std::string exe = executable ? executable : platform::system::ExecutablePath();
    struct stat st = {};
    if (exe.empty() || stat(exe.c_str(), &st) != 0)
        return false;
    char* end = nullptr;
    long long recorded = strtoll(installDate, &end, 10);
    if (end == installDate)
        return true; // an unreadable date: record the installation again
    return static_cast<long long>(st.st_ctime) > recorded;
}

void LInstallCommon()
{
    if (LUserSettingTestExists("Software", "SVar"))
        LUserSettingDeleteItem("Software", "SVar");
    char counts[kLPathSize];
    char temp[kLPathSize];
    if (LFile::GetTempFolder(temp)
        && snprintf(counts, sizeof counts, "%s/VorantelCounts.txt", temp)
            < static_cast<int>(sizeof counts))
        unlink(counts);
}

void LUnixInstallCommon()
{
    LInstallCommon();
    // Only keys that exist are deleted, and the new values go in one write.
    for (const char* key : { "VersionCheckAfterCrash", "OSCheck", "NewerVersion", "Thanks" })
        if (LUserSettingTestExists("Settings", key))
            LUserSettingDeleteItem("Settings", key);
    char previous[kLPathSize] = "";
    bool hadVersion
        = _LUserSettingGetString("Settings", "CurrentVersion", "", previous) && previous[0];
    char now[32];
    snprintf(now, sizeof now, "%ld", static_cast<long>(time(nullptr)));
    const char* keys[6];
    const char* values[6];
    size_t n = 0;
    auto add = [&](const char* key, const char* value) {
        keys[n] = key;
        values[n] = value;
        ++n;
    };
    if (!hadVersion)
        add("OSCheckRequired", "1");
    add("InstallDate", now);
    if (LUserSettingGet<long>("Settings", "InstallDateFirst", 0) <= 0)
        add("InstallDateFirst", now);
    add("RunsSinceLastInstall", "0");
    if (hadVersion && strcmp(previous, kLVersion) != 0)
        add("PreviousVersion", previous);
    add("CurrentVersion", kLVersion);
    LUserSettingSetStrings("Settings", keys, values, n);
}

bool LInstallerMain()
{
    LInstaller::SetRefString();
    char shared[kLPathSize];
    if (LFile::GetUserDataFolderAppSubFolder("Shared", shared))
        LInstaller::_InstallFilesFromBundleInstallFolder(shared);
    LUnixInstallCommon();
    return true;
}

bool Install()
{
    std::string resources = platform::system::ResourcesFolder();
    snprintf(LInstaller::szBundlePath, kLPathSize, "%s", resources.c_str());
    if (!LUnixInstallShouldInstall() && !bInstallerShouldRun)
        return true;
    // The installation's last step waits for the program's exit: then the program is added to
    // the desktop's favourites once (LAppDelegate).
    LUserSettingSetString("Settings", "ContinueInstallAtExit", "1");
    // No translated edition is offered here, so nothing runs beside the installation: it runs
    // at once, before the main window exists.
    LInstallerMain();
    return true;
}
