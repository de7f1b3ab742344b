#include "lfw/zor/LMainWindowUtil.h"

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LCrashReport.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LZORHooks.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<LRateItDialogFunction> gRateItDialog { nullptr };

constexpr const char* kLRatingChoices[]
    = { "Jag älskar det", "Det är okej", "Det behöver arbete", "Jag hatar det" };

int _LRateItByAlert(void*)
{
    int chosen = LZORAlert(
        LZORAlertInformation, "Betygsätt Vorantel", "Gillar du Vorantel?", kLRatingChoices, 4);
    return chosen >= 0 && chosen < 4 ? 5000 + chosen : -1;
}

int _LSettingInt(const char* key)
{
    return LUserSettingGet<int>("Settings", key, 0);
}

void _LSetSettingInt(const char* key, int value)
{
    char text[32];
    snprintf(text, sizeof text, "%d", value);
    LUserSettingSetString("Settings", key, text);
}

std::string _LSetting(const char* section, const char* key, const char* def = "")
{
    char out[kLPathSize] = "";
    _LUserSettingGetString(section, key, def, out);
    return out;
}

std::string _LPage(const char* page)
{
    char url[kLPathSize];
    LGetZORWebPageURL(url, page);
    return url;
}

std::string _LEncoded(const char* text, size_t limit = kLPathSize)
{
    std::string out(limit, '\0');
    size_t n = LURIEncode(out.data(), limit, text ? text : "");
    out.resize(n);
    return out;
}

// The common and usage tracking parameters (2085 bytes at most).
std::string _LTracking()
{
    char buffer[kLHelpURLSize];
    LFixedLengthStringWriterTemplate<char> writer(buffer, sizeof buffer - 1);
    LTrackingParametersAppendCommon(writer);
    LTrackingParametersAppendUsage(writer);
    writer.Terminate();
    return buffer;
}

std::string _LUsage()
{
    char buffer[kLHelpURLSize];
    LFixedLengthStringWriterTemplate<char> writer(buffer, sizeof buffer - 1);
    LTrackingParametersAppendUsage(writer);
    writer.Terminate();
    return buffer;
}

std::string _LCut(std::string text, size_t bytes)
{
    if (text.size() > bytes)
        text.resize(bytes);
    return text;
}

} // namespace

void LMainWindowSetRateItDialogFunction(LRateItDialogFunction function)
{
    gRateItDialog.store(function);
}

LMainWindowUtilBase::LMainWindowUtilBase()
    : tStartTime(time(nullptr))
{
    snprintf(szHomePage, sizeof szHomePage, "%s", _LPage("software/sv/vorantel").c_str());
    LURIEncode(szHomePageEncoded, sizeof szHomePageEncoded, szHomePage);
}

bool LMainWindowUtilBase::HandleWebCommand(int id)
{
    char host[kLPathSize];
    switch (id) {
    case 3333:
        LOpenWebPageForUser(szHomePage, nullptr);
        return true;
    case 3334:
        LOpenWebPageForUser(_LPage("+sv/index").c_str(), nullptr);
        return true;
    case 3336:
        LOpenWebPageForUser(_LPage("software/sv/support").c_str(), nullptr);
        return true;
    case 3337:
        CmHelpSendFeedback("");
        return true;
    case 3338: {
        std::string iid = _LSetting("Software", "IID");
        char machine[2085] = "";
        LDebugGetMachineDataForBugReport(machine);
        char rdf[kLPathSize] = "";
        LRDFaultGetLatest(rdf);
        std::string url = _LPage("software/bug") + "?software=Vorantel&version=6.27MAC&lang=sv&iid="
            + iid + "&data=" + machine + "&rdf=" + rdf;
        LOpenWebPageForUser(_LCut(url, 2084).c_str(), nullptr);
        return true;
    }
    case 3340: {
        char smtp[kLPathSize], account[kLPathSize];
        LEmailGetDefaultSettingsAppleMail(smtp, account);
        std::string url = _LPage("software/newsletter")
            + "?software=Vorantel&appname=Vorantel&version=6.27MAC&lang=sv";
        if (account[0])
            url += std::string("&email=") + account;
        LOpenWebPageForUser(_LCut(url, 259).c_str(), nullptr);
        return true;
    }
    case 9030:
        LOnlineGetHost(kLOnlineFacebookPage, host);
        LOpenWebPageForUser(host, nullptr);
        return true;
    case 9031:
        LOnlineGetHost(kLOnlineTwitterPage, host);
        LOpenWebPageForUser(host, nullptr);
        return true;
    default:
        return false;
    }
}

void LMainWindowUtilBase::CheckRateIt(void* view)
{
    int runs = _LSettingInt("Runs") + 1;
    _LSetSettingInt("Runs", runs);
    _LSetSettingInt("RunsSinceLastInstall", _LSettingInt("RunsSinceLastInstall") + 1);
    if (runs == 10)
        RateItDialogOpen(view);
}

void LMainWindowUtilBase::GetRatingPageURL(char* out, int rating)
{
    char smtp[kLPathSize], account[kLPathSize];
    LEmailGetDefaultSettingsAppleMail(smtp, account);
    std::string url = _LPage("software/rate") + "?rating=" + std::to_string(rating)
        + "&appname=" + _LEncoded("Vorantel, Program för skivetiketter")
        + "&ref=" + _LEncoded(_LSetting("Software", "Ref").c_str()) + "&svar="
        + _LEncoded(_LSetting("Software", "SVar").c_str()) + "&email=" + _LEncoded(account)
        + "&instby=" + _LEncoded(_LSetting("Software", "InstalledBy", "dl").c_str())
        + "&iid=" + _LEncoded(_LSetting("Software", "IID").c_str()) + _LUsage();
    snprintf(out, 2085, "%s", _LCut(url, 2084).c_str());
}

void LMainWindowUtilBase::RateItDialogOpen(void* view)
{
    LRateItDialogFunction dialog = gRateItDialog.load();
    int result = dialog ? dialog(view) : _LRateItByAlert(view);
    if (result < 5000 || result > 5003)
        return;
    char url[2085];
    GetRatingPageURL(url, result - 4999);
    LOpenWebPage(url);
}

void LMainWindowUtilBase::FirstExitAfterInstallCheck()
{
    std::string thanks = _LSetting("Settings", "Thanks");
    if (!thanks.empty() && thanks != "0")
        return;
    LUserSettingSetString("Settings", "Thanks", "1");
    LOpenWebPage(_LCut(_LPage("software/sv/thanks") + _LTracking(), 2084).c_str());
}

void LMainWindowUtilBase::TrackingCheckLongTerm()
{
    int d = _LSettingInt("LongTermDays");
    int n = 0;
    if (!LAppGetDaysSinceFirstInstalled(n))
        return;
    if (d > 364 || n < 180 || (d >= 180 && n < 365))
        return;
    std::string url = _LPage("software/sv/thanksforusing") + _LTracking()
        + "&days=" + std::to_string(n) + "&runs=" + std::to_string(_LSettingInt("Runs"));
    LOpenWebPage(_LCut(url, 2084).c_str());
    _LSetSettingInt("LongTermDays", n);
}

void LMainWindowUtilBase::CmHelpSendFeedback(const char* text)
{
    std::string url = _LPage("suggestions/index") + "?software=Vorantel&version=6.27MAC&lang=sv";
    if (text && *text)
        url += "&suggestion=" + _LEncoded(text);
    LOpenWebPageForUser(_LCut(url, 2084).c_str(), nullptr);
}

void LMainWindowUtilBase::CmShareTwitter()
{
    char status[kLPathSize];
    LOnlineGetHost(kLOnlineTwitterStatus, status);
    std::string url = std::string(status) + "?status="
        + _LEncoded("Jag har precis hämtat Vorantel, Program för skivetiketter. Prova här: ", 2048)
        + szHomePageEncoded;
    LOpenWebPageForUser(_LCut(url, 2047).c_str(), nullptr);
}

void LMainWindowUtilBase::EvMainWindowUtilBaseDestroy(void* view)
{
    if (tStartTime) {
        long minutes = (static_cast<long>(time(nullptr) - tStartTime) + 30) / 60;
        _LSetSettingInt("MinutesRunSinceLastInstall",
            _LSettingInt("MinutesRunSinceLastInstall") + int(minutes));
    }
    if (!bSkipExitChecks) {
        TrackingCheckLongTerm();
        FirstExitAfterInstallCheck();
        CheckRateIt(view);
    }
    LOptionsCountSave();
}
