// Starting the maker's other programs: finding an installed one by its key, starting it with
// arguments (optionally waiting until it ends), handing a file to a running Sondrup, and the
// seven sibling programs of the main window's "Paket" tab.
//
// A program is known by its build key (the key its builds and settings use). Its application key
// names its desktop entry ("<application key>.desktop" in the XDG data folders); a key missing
// from the properties table is its own application key. Programs here come from packages: a
// program that is not installed is not downloaded, its web page is opened instead.
#pragma once

#include "lfw/gen/LProcess.h"

#include <cstddef>
#include <string>
#include <vector>

class LView;

// The launch job: start the program of the build key, with the arguments, waiting until it ends
// when wait is set. argumentList, when not empty, is used instead of arguments, each entry one
// argument whatever it holds (spaces, quotes, backslashes).
struct LLaunchApplication {
    bool wait = false;
    std::string buildKey;
    std::string arguments;
    std::vector<std::string> argumentList;
};

// The install-on-demand job: 0 when the program is installed, else 2 with an error.
struct LDownloadAndInstallApplication {
    std::string buildKey;
};

// Waits, with stop tests, until no process of that command name runs.
struct LLaunchWaitForExit {
    std::string name;
};
LProcessResult Process(LProcessInterface& job, const LLaunchWaitForExit& data);
// Installs what the local-socket channel's sender needs of the launcher: with the wait flag it
// waits under a progress dialog until the receiving program has quit. LLaunchSondrup installs it
// itself.
void LLaunchInstallHooks();

// One row of the application properties table.
struct LLaunchApplicationProperties {
    const char* buildKey;
    const char* applicationKey;
    const char* remoteFolder;
    const char* zipKey;
};
inline constexpr size_t kLLaunchApplicationCount = 28;
extern const LLaunchApplicationProperties kLLaunchApplications[kLLaunchApplicationCount];

// The row's application key, or the key itself.
const char* LLaunchGetApplicationKeyFromBuildKey(const char* buildKey);
// The row (by application key) gives its remote folder / zip key; otherwise the key in lower
// case. out holds 260 bytes.
void LLaunchGetRemoteFolderFromApplicationKey(char* out, const char* key);
void LLaunchGetZipKeyFromApplicationKey(char* out, const char* key);

// The path of the program's usable desktop entry ("" when it is not installed); the key may be
// a build key or an application key.
std::string LLaunchGetApplicationPath(const char* key);
bool LIsProgramInstalled(const char* key, bool unused = false);

LProcessResult Process(LProcessInterface& job, const LDownloadAndInstallApplication& data);
// Install-then-launch: status lines, an error when the program is not installed (2), else
// ProcessLaunchAppleApplication's result.
LProcessResult Process(LProcessInterface& job, const LLaunchApplication& data);
// Writes Settings/RelatedProgramsInstalled "1" into the program's own settings, then starts it;
// with the wait flag the status shows "Väntar på %s" and "%s kommer att återupptas när %s har
// lämnat." until the program ends.
LProcessResult ProcessLaunchAppleApplication(
    LProcessInterface& job, const LLaunchApplication& data);

// Runs the launch job under a progress dialog with the title over the parent; true when it
// succeeded.
bool LLaunchRunDialog(LView* parent, const char* title, const LLaunchApplication& launch);

// Hands a file (or another argument) to Sondrup: to the running one over its local socket (no
// dialog), else by starting it with the argument under the progress dialog "Kör Sondrup". Of a
// Sondrup that is not installed the user is told ("Sondrup är inte installerat. Det finns att
// hämta på <its web page>.") and its web page is opened; the answer is then false.
bool LLaunchSondrup(LView* parent, const char* file, bool wait);

// Opens the program's web page (its row of the suite's program table, else the maker's index
// page). False when nothing could be opened.
bool LLaunchOpenProgramPage(const char* buildKey);

// The sibling programs of the main window's "Paket" tab and "Starta..." menu, in the tab's
// order: commands 1035, 1037, 1039, 1043, 1040, 1041 (Sondrup) and 1042.
struct LLaunchSibling {
    int command;
    const char* buildKey;
    const char* title; // the label of the button and the menu row
    const char* tooltip;
    int image;
};
inline constexpr size_t kLLaunchSiblingCount = 7;
extern const LLaunchSibling kLLaunchSiblings[kLLaunchSiblingCount];
// The row of a command; null when it is not a sibling's.
const LLaunchSibling* LLaunchFindSibling(int command);
// The command of a sibling: installed, the launch job under the progress dialog "Kör %s" (its
// build key) over the parent; not installed, an alert over the parent titled with its title,
// "<title> är inte installerat. Det finns att hämta på <its web page>.", then its web page. For
// Sondrup (1041) a running one is brought forward with LLaunchSondrup(parent, "-restore",
// false). False for another command.
bool LLaunchSiblingCommand(LView* parent, int command);
