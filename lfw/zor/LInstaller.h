// The program installs itself for the user: on the first run of a version it records the
// installation in the settings and copies the program's "install" files (resources folder) into
// the shared data folder ("Shared" in the user data folder). Files already there are kept, except
// the backgrounds "bg1.jpg" and "bg2.jpg", which each version replaces. An installation also
// sets "Settings"/"ContinueInstallAtExit" to "1", so that the program's exit adds it to the
// desktop's favourites once. The desktop file, icons and file types are installed with the
// program itself (CMake), not at run time.
#pragma once

#include "lfw/gen/LFile.h"

class LInstaller {
public:
    // The folder of the installed program's files (its resources folder).
    static char szBundlePath[kLPathSize];
    static void SetRefString();
    static bool _InstallFilesFromBundleInstallFolder(const char* sharedFolder);
    // The resources folder's "install" folder (260 bytes); false when there is none.
    static bool GetApplicationBundleInstallFolder(char* out);
    // Starts the installed program's executable without arguments.
    bool RunTheProgram() const;
};

// Set by main when the first argument is "-installer".
extern bool bInstallerShouldRun;

// Once per start, before the main window: true lets the start go on.
bool Install();
// True when "InstallDate" is missing, "CurrentVersion" is not this version, or the executable
// (this program's, or the one given) changed after the recorded installation date.
bool LUnixInstallShouldInstall(const char* executable = nullptr);
// The installation's work: the referral text, the shared files, then the settings.
bool LInstallerMain();
void LInstallCommon();
void LUnixInstallCommon();
// Copies the entries of source into target (created when needed), recursively. Existing files
// are kept, except the backgrounds "bg1.jpg" and "bg2.jpg", which are replaced whole.
void LInstallCopyFolderFiles(const char* root, const char* source, const char* target);
