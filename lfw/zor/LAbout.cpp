#include "lfw/zor/LAbout.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LSharedSettings.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LZORHooks.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

constexpr size_t kLVersionReplySize = 2048;
constexpr unsigned int kLVersionTimeoutMs = 17048;
constexpr const char* kLCheckTitle = "Sök efter uppdateringar";

// The value after key in body, up to "&", a line end or the end; searching goes on from there.
bool _LTakeValue(const char*& cursor, const char* key, std::string& out)
{
    const char* p = strstr(cursor, key);
    if (!p)
        return false;
    p += strlen(key);
    size_t n = strcspn(p, "&\r\n");
    if (n == 0)
        return false;
    if (n > 259)
        n = 259;
    out.assign(p, n);
    cursor = p + n;
    return true;
}

const char* _LAlertButtonsOK[] = { "OK" };

} // namespace

LProcessResult LAboutParseVersionReply(const char* reply, LProcessCheckForVersionUpdates& data)
{
    int status = 0;
    if (!reply || sscanf(reply, "HTTP/%*d.%*d %d", &status) != 1 || status != 200)
        return LProcessResultError;
    const char* body = strstr(reply, "\r\n\r\n");
    if (!body)
        return LProcessResultError;
    body += 4;
    std::string version, info, download;
    const char* cursor = body;
    if (!_LTakeValue(cursor, "version=", version) || !_LTakeValue(cursor, "info=", info)
        || !_LTakeValue(cursor, "download=", download))
        return LProcessResultError;
    char* end = nullptr;
    double number = strtod(version.c_str(), &end);
    if (end == version.c_str() || *end || !std::isfinite(number))
        return LProcessResultError;
    data.version = number;
    data.infoURL = info;
    data.downloadURL = download;
    return LProcessResultSuccess;
}

std::string LAboutGetVersionFileURL()
{
    char host[kLPathSize];
    LOnlineGetHost(kLOnlineVersionHost, host);
    return std::string("http://") + host + kLAboutVersionFilePath;
}

LProcessResult Process(LProcessInterface& job, LProcessCheckForVersionUpdates& data)
{
    job.SetStatus("Söker efter uppdaterad version...", 0);
    job.SetStatus("Det här borde gå fort. Vänta ett ögonblick...", 1);
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;
    std::string url = LAboutGetVersionFileURL();
    char reply[kLVersionReplySize];
    reply[0] = 0;
    LProcessResult r = ProcessHTTPGet(job, url.c_str(), reply, sizeof reply, kLVersionTimeoutMs);
    if (r != LProcessResultSuccess)
        return r;
    if (LAboutParseVersionReply(reply, data) != LProcessResultSuccess)
        return LProcessResultError;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

namespace {
std::atomic<LAboutBoxFunction> gAboutBox { nullptr };
}

void LAboutSetBoxFunction(LAboutBoxFunction function)
{
    gAboutBox.store(function);
}

void LAboutBoxShow(void* parent)
{
    if (LAboutBoxFunction box = gAboutBox.load()) {
        box(parent);
        return;
    }
    char name[kLPathSize];
    LAboutGetDistributorName(name);
    std::string text
        = std::string("Vorantel\r\nVersion ") + kLAboutVersionText + "\r\nDistribueras av " + name;
    LZORAlert(LZORAlertInformation, "Om Vorantel", text.c_str(), _LAlertButtonsOK, 1);
}

bool LAboutIsWebAddress(const char* url)
{
    return url && (strncasecmp(url, "http://", 7) == 0 || strncasecmp(url, "https://", 8) == 0);
}

void LAboutCheckForVersionUpdate(void* parent)
{
    (void)parent;
    LProcessCheckForVersionUpdates data;
    LProcessResult r
        = LZORRunJob(kLCheckTitle, [&data](LProcessInterface& job) { return Process(job, data); });
    if (r != LProcessResultSuccess) {
        LZORAlert(LZORAlertInformation, "Ingen versionsinformation",
            "Information om onlineversion för Vorantel finns inte tillgänglig för närvarande.",
            _LAlertButtonsOK, 1);
        return;
    }
    if (kLAboutVersion >= data.version) {
        const char* buttons[] = { "Registrera", "Kanske senare" };
        int chosen = LZORAlert(LZORAlertInformation, "Aktuell Version",
            "Du använder den aktuella versionen.\r\n\r\nAnmäl dig till ZOR Version Update "
            "nyhetsbrev idag för att få meddelande om framtida lanseringar.",
            buttons, 2);
        if (chosen == 0) {
            char smtp[kLPathSize], account[kLPathSize];
            LEmailGetDefaultSettingsAppleMail(smtp, account);
            char page[kLPathSize];
            LGetZORWebPageURL(page, "newsletter");
            std::string query = "?software=Vorantel&appname=Vorantel&version=6.27MAC&lang=sv";
            if (account[0])
                query += std::string("&email=") + account;
            if (query.size() > 259)
                query.resize(259);
            LOpenWebPage((std::string(page) + query).c_str());
        }
        return;
    }
    const char* buttons[] = { "Visa", "Avbryt" };
    int chosen = LZORAlert(LZORAlertInformation, "Uppdaterad version tillgänglig",
        "En uppdaterad version av Vorantel finns nu tillgänglig för nedladdning online. Vill du "
        "se mer information om den nya versionen?",
        buttons, 2);
    if (chosen == 0 && LAboutIsWebAddress(data.infoURL.c_str()))
        LOpenWebPageForUser(data.infoURL.c_str(), nullptr);
}

int LAboutAppUpdateVersionGet(double& version)
{
    version = 0;
    int stored = LUserSettingGet<int>("Settings", "NewerVersion", 0);
    if (stored > 0) {
        version = stored / 100.0;
        if (version > kLAboutVersion)
            return LProcessResultSuccess;
    }
    LProcessCheckForVersionUpdates data;
    LProcessResult r
        = LZORRunJob(kLCheckTitle, [&data](LProcessInterface& job) { return Process(job, data); });
    if (r != LProcessResultSuccess)
        return r;
    double hundredths = data.version * 100;
    if (hundredths > 0 && hundredths < 2e9) {
        char text[32];
        snprintf(text, sizeof text, "%d", static_cast<int>(hundredths));
        LUserSettingSetString("Settings", "NewerVersion", text);
    }
    version = data.version;
    return LProcessResultSuccess;
}

bool LAboutCheckOSVersion(bool required)
{
    (void)required;
    return true;
}

bool IsOSLaterThanSupported()
{
    return false;
}

LLicenseTermsAndCredits& LLicenseTermsAndCredits::Get()
{
    static LLicenseTermsAndCredits instance;
    return instance;
}

void LLicenseTermsAndCredits::Add(const char* terms, const char* credits)
{
    fEntries.push_back(Entry { terms ? terms : "", credits ? credits : "" });
}

void LLicenseTermsAndCredits::GetLicenseTermsAndCredits(
    std::string& terms, std::string& credits) const
{
    static const char* kSeparator = "\r\n\r\n===================\r\n\r\n";
    for (const Entry& e : fEntries) {
        if (!e.terms.empty()) {
            if (!terms.empty())
                terms += kSeparator;
            terms += e.terms;
        }
        if (!e.credits.empty()) {
            if (!credits.empty())
                credits += kSeparator;
            credits += e.credits;
        }
    }
}

void LGetLicenseTermsAndCredits(std::string& terms, std::string& credits)
{
    LLicenseTermsAndCredits::Get().GetLicenseTermsAndCredits(terms, credits);
}

const char* LAboutGetLicenseAgreement()
{
    return "LICENSAVTAL FÖR SLUTANVÄNDARE\r\n\r\n"
           "Vorantel, Program för skivetiketter, är upphovsrättsskyddat av ZOR Software. Genom "
           "att installera eller använda programmet godkänner du villkoren i detta avtal.\r\n\r\n"
           "1. Du får installera och använda programmet på de datorer du själv använder.\r\n"
           "2. Du får inte sälja, hyra ut eller sprida programmet vidare, och inte ändra, "
           "dekompilera eller bakåtkompilera det, utom i den mån lagen uttryckligen tillåter "
           "det.\r\n"
           "3. Etiketter, omslag och andra verk som du skapar med programmet tillhör dig.\r\n"
           "4. Programmet tillhandahålls i befintligt skick, utan garantier av något slag. ZOR "
           "Software ansvarar inte för förlorad data, utebliven vinst eller andra skador som "
           "följer av användningen, i den utsträckning lagen medger.\r\n"
           "5. Avtalet upphör om du bryter mot villkoren; du ska då ta bort programmet.\r\n\r\n"
           "Svensk lag gäller för detta avtal.";
}

void LAboutGetDistributorName(char* out)
{
    _LSharedSettingGetString("Distributor", "Name", "ZOR Software", out);
    if (!out[0])
        snprintf(out, kLPathSize, "%s", "ZOR Software");
}

void LAboutGetDistributorURL(char* out)
{
    char index[kLPathSize];
    LGetZORWebPageURL(index, "sv/index");
    char value[kLPathSize] = "";
    _LSharedSettingGetString("Distributor", "URL", index, value);
    if (!value[0])
        snprintf(value, sizeof value, "%s", index);
    if (strstr(value, "://"))
        snprintf(out, kLPathSize, "%s", value);
    else
        snprintf(out, kLPathSize, "http://%s", value);
}
