#include "lfw/zor/LLaunch.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/unix/LUnixApplication.h"
#include "lfw/unix/LUnixProcess.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LZORAPIServer.h"
#include "lfw/zor/LZORSuiteTables.h"
#include "platform/system/Applications.h"

#include <cctype>
#include <cstring>
#include <string>
#include <strings.h>

// clang-format off
const LLaunchApplicationProperties kLLaunchApplications[kLLaunchApplicationCount] = {
    { "Sondrup", "sondrup", "sondrup", "sondrup" },
    { "vt-inspelning", "vt-inspelning", "inspelning", "inspelning" },
    { "vt-diktat", "vt-diktat", "diktat", "diktat" },
    { "vt-videoklipp", "vt-videoklipp", "videoklipp", "videoklipp" },
    { "vt-bildvisare", "vt-bildvisare", "bildvisare", "bildvisare" },
    { "vt-skivbrannare", "vt-skivbrannare", "skivbrannare", "skivbrannare" },
    { "vt-omvandlare", "vt-omvandlare", "omvandlare", "omvandlare" },
    { "vt-ljudomvandlare", "vt-ljudomvandlare", "ljudomvandlare", "ljudomvandlare" },
    { "vt-musikmixer", "vt-musikmixer", "musikmixer", "musikmixer" },
    { "vt-tonhojd", "vt-tonhojd", "tonhojd", "tonhojd" },
    { "vt-podd", "vt-podd", "podd", "poddinspelare" },
    { "vt-transkribering", "vt-transkribering", "transkribering", "transkribering" },
    { "vt-faktura", "vt-faktura", "faktura", "faktura" },
    { "vt-lager", "vt-lager", "lager", "lagerlista" },
    { "vt-kassabok", "vt-kassabok", "kassabok", "kassabok" },
    { "vt-ritning", "vt-ritning", "ritning", "planritare" },
    { "vt-videoomvandlare", "vt-videoomvandlare", "videoomvandlare", "videoomvandlare" },
    { "vt-bildspel", "vt-bildspel", "bildspel", "bildspel" },
    { "vt-skarminspelning", "vt-skarminspelning", "skarminspelning", "skarminspelning" },
    { "vt-fotoredigering", "vt-fotoredigering", "fotoredigering", "fotoredigering" },
    { "vt-bildomvandlare", "vt-bildomvandlare", "bildomvandlare", "bildomvandlare" },
    { "vt-ritprogram", "vt-ritprogram", "ritprogram", "ritbord" },
    { "vt-kollage", "vt-kollage", "kollage", "kollage" },
    { "vt-filsok", "vt-filsok", "filsok", "filsok" },
    { "vt-sakerhetskopia", "vt-sakerhetskopia", "sakerhetskopia", "sakerhetskopia" },
    { "vt-arkiv", "vt-arkiv", "arkiv", "arkivpackare" },
    { "vt-pdf", "vt-pdf", "pdf", "pdfsammanfogare" },
    { "vt-skivkopiering", "vt-skivkopiering", "skivkopiering", "skivkopiering" },
};

const LLaunchSibling kLLaunchSiblings[kLLaunchSiblingCount] = {
    { 1035, "vt-inspelning", "Ljudinspelaren", "Spela in ljud med Ljudinspelaren", 385 },
    { 1037, "vt-diktat", "Diktatskrivaren", "Spela in diktat med Diktatskrivaren", 386 },
    { 1039, "vt-videoklipp", "Videoklipparen", "Klipp film med Videoklipparen", 387 },
    { 1043, "vt-bildvisare", "Bildvisaren", "Visa bilder med Bildvisaren", 389 },
    { 1040, "vt-skivbrannare", "Skivbrännaren", "Bränn skivor med Skivbrännaren", 388 },
    { 1041, "Sondrup", "Sondrup", "Redigera ljud med Sondrup", 390 },
    { 1042, "vt-omvandlare", "Filomvandlaren", "Gör om filer med Filomvandlaren", 391 },
};
// clang-format on

namespace {

void LowerCopy(char* out, const char* key)
{
    LStringFormat(out, kLPathSize, "%s", key ? key : "");
    for (char* p = out; *p; ++p)
        *p = char(std::tolower(static_cast<unsigned char>(*p)));
}

const LLaunchApplicationProperties* FindByApplicationKey(const char* key)
{
    if (!key)
        return nullptr;
    for (const LLaunchApplicationProperties& row : kLLaunchApplications)
        if (std::strcmp(row.applicationKey, key) == 0)
            return &row;
    return nullptr;
}

void InstallStatus(LProcessInterface& job, const char* buildKey)
{
    job.SetStatus("Hämta installationen install-on-demand", 0);
    job.SetStatus(buildKey, 1);
}

// A program that is not here is not fetched from the network: packages bring programs.
LProcessResult NotInstalled(LProcessInterface& job, const char* buildKey)
{
    const ProgTableEntry* program = LZORSuiteFindProgram(buildKey);
    job.SetErrorF("%s är inte installerat på den här datorn. Installera det med "
                  "systemets programhanterare och försök igen.",
        program && program->title ? program->title : buildKey);
    return LProcessResultError;
}

} // namespace

LProcessResult Process(LProcessInterface& job, const LLaunchWaitForExit& data)
{
    job.SetStatusF(0, "Väntar på %s", data.name.c_str());
    job.SetStatusF(1, "%s kommer att återupptas när %s har lämnat.", "Vorantel", data.name.c_str());
    job.SetProgressIndeterminateOn();
    while (LIsApplicationRunning(data.name.c_str()))
        if (job.IsToStop() || job.ProcessWait(200) == LProcessResultStopped)
            return LProcessResultStopped;
    return LProcessResultSuccess;
}

namespace {

// After a file went to a running instance with the wait flag: wait until it has quit.
bool WaitForInstanceToQuit(const char* name, const char* title)
{
    LLaunchWaitForExit data { name ? name : "" };
    LProcessDialog<LLaunchWaitForExit> dialog(title ? title : "", data);
    dialog.result = LProcessResultError;
    dialog.Open(nullptr);
    return dialog.result == LProcessResultSuccess;
}

} // namespace

void LLaunchInstallHooks()
{
    LLaunchSetWaitHook(WaitForInstanceToQuit);
}

const char* LLaunchGetApplicationKeyFromBuildKey(const char* buildKey)
{
    if (!buildKey)
        return "";
    for (const LLaunchApplicationProperties& row : kLLaunchApplications)
        if (std::strcmp(row.buildKey, buildKey) == 0)
            return row.applicationKey;
    return buildKey;
}

void LLaunchGetRemoteFolderFromApplicationKey(char* out, const char* key)
{
    if (const LLaunchApplicationProperties* row = FindByApplicationKey(key))
        LStringFormat(out, kLPathSize, "%s", row->remoteFolder);
    else
        LowerCopy(out, key);
}

void LLaunchGetZipKeyFromApplicationKey(char* out, const char* key)
{
    if (const LLaunchApplicationProperties* row = FindByApplicationKey(key))
        LStringFormat(out, kLPathSize, "%s", row->zipKey);
    else
        LowerCopy(out, key);
}

std::string LLaunchGetApplicationPath(const char* key)
{
    if (!key || !*key)
        return {};
    return platform::system::FindDesktopEntry(LLaunchGetApplicationKeyFromBuildKey(key));
}

bool LIsProgramInstalled(const char* key, bool)
{
    return !LLaunchGetApplicationPath(key).empty();
}

LProcessResult Process(LProcessInterface& job, const LDownloadAndInstallApplication& data)
{
    InstallStatus(job, data.buildKey.c_str());
    if (LIsProgramInstalled(data.buildKey.c_str()))
        return LProcessResultSuccess;
    return NotInstalled(job, data.buildKey.c_str());
}

LProcessResult Process(LProcessInterface& job, const LLaunchApplication& data)
{
    if (!LIsProgramInstalled(data.buildKey.c_str())) {
        InstallStatus(job, data.buildKey.c_str());
        return NotInstalled(job, data.buildKey.c_str());
    }
    // The launch's own result: a program that could not be started is not reported as started.
    return ProcessLaunchAppleApplication(job, data);
}

LProcessResult ProcessLaunchAppleApplication(LProcessInterface& job, const LLaunchApplication& data)
{
    const char* key = data.buildKey.c_str();
    std::string path = LLaunchGetApplicationPath(key);
    if (path.empty())
        return NotInstalled(job, key);
    _LSettingForApplicationSetString(
        kLSettingsCurrentUser, key, "Settings", "RelatedProgramsInstalled", "1");
    std::vector<std::string> arguments = data.argumentList;
    if (arguments.empty() && !data.arguments.empty())
        arguments = LCommandLineArgumentStringExpander::Split(data.arguments.c_str());
    if (!data.wait)
        return LLaunchApplicationWithArguments(job, path.c_str(), arguments, false);
    job.SetStatusF(0, "Väntar på %s", key);
    job.SetStatusF(1, "%s kommer att återupptas när %s har lämnat.", "Vorantel", key);
    return LLaunchApplicationWithArguments(job, path.c_str(), arguments, true);
}

bool LLaunchRunDialog(LView* parent, const char* title, const LLaunchApplication& launch)
{
    LLaunchApplication data = launch;
    LProcessDialog<LLaunchApplication> dialog(title, data);
    dialog.result = LProcessResultError;
    dialog.Open(parent);
    return dialog.result == LProcessResultSuccess;
}

namespace {

// The program's web page (its row of the suite's program table, else the maker's index page).
std::string ProgramPage(const char* buildKey)
{
    char url[kLPathSize];
    if (const ProgTableEntry* program = LZORSuiteFindProgram(buildKey))
        LZORSuiteGetProgramPageURL(url, *program);
    else
        LGetZORWebPageURL(url, "sv/index");
    return url;
}

// A sibling that is not installed: the user is told so and where to get it, then its web page
// is opened.
void TellNotInstalled(LView* parent, const char* buildKey, const char* title)
{
    const std::string page = ProgramPage(buildKey);
    const std::string text
        = std::string(title) + " är inte installerat. Det finns att hämta på " + page + ".";
    LAlert alert(parent, text.c_str(), title);
    alert.RunField();
    LOpenWebPage(page.c_str());
}

} // namespace

bool LLaunchSondrup(LView* parent, const char* file, bool wait)
{
    LLaunchInstallHooks();
    if (LIsApplicationRunning("Sondrup")
        && LLaunchSendArgumentsToInstance(parent, "Sondrup", file, wait, "Kör Sondrup"))
        return true;
    if (!LIsProgramInstalled("Sondrup")) {
        TellNotInstalled(parent, "Sondrup", "Sondrup");
        return false;
    }
    LLaunchApplication launch;
    launch.wait = wait;
    launch.buildKey = "Sondrup";
    if (file && *file)
        launch.argumentList.emplace_back(file);
    return LLaunchRunDialog(parent, "Kör Sondrup", launch);
}

bool LLaunchOpenProgramPage(const char* buildKey)
{
    return LOpenWebPage(ProgramPage(buildKey).c_str());
}

const LLaunchSibling* LLaunchFindSibling(int command)
{
    for (const LLaunchSibling& row : kLLaunchSiblings)
        if (row.command == command)
            return &row;
    return nullptr;
}

bool LLaunchSiblingCommand(LView* parent, int command)
{
    const LLaunchSibling* sibling = LLaunchFindSibling(command);
    if (!sibling)
        return false;
    if (std::strcmp(sibling->buildKey, "Sondrup") == 0 && LIsApplicationRunning("Sondrup")) {
        LLaunchSondrup(parent, "-restore", false);
        return true;
    }
    if (!LIsProgramInstalled(sibling->buildKey)) {
        TellNotInstalled(parent, sibling->buildKey, sibling->title);
        return true;
    }
    LLaunchApplication launch;
    launch.buildKey = sibling->buildKey;
    char title[kLPathSize];
    LStringFormat(title, sizeof title, "Kör %s", sibling->buildKey);
    LLaunchRunDialog(parent, title, launch);
    return true;
}
