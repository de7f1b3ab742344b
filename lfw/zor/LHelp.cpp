#include "lfw/zor/LHelp.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "platform/desktop/Desktop.h"
#include "platform/ui/LView.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/time.h>

namespace {

constexpr const char* kFamilyCode = "vt";
constexpr const char* kSiteName = "vorantel.example";

// A topic names a file in the help folder: letters, digits, '_' and '-' only.
bool _LIsTopic(const char* topic)
{
    if (!topic || !*topic)
        return false;
    for (const char* p = topic; *p; ++p)
        if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9')
                || *p == '_' || *p == '-'))
            return false;
    return true;
}

void _LPutEncoded(LFixedLengthStringWriterTemplate<char>& w, const char* text)
{
    // An escape is written whole or not at all.
    for (const char* p = text; *p; ++p) {
        size_t need = LURIIsUnreserved(static_cast<unsigned char>(*p)) ? 1 : 3;
        if (w.GetLength() + need > w.GetLimit())
            return;
        LURIEncodeToWriterDirect(w, *p);
    }
}

void _LSetting(const char* section, const char* key, const char* def, char* out)
{
    _LUserSettingGetString(section, key, def, out);
}

// The page could not be opened: the user is told, with the address to open by hand. Over the
// window of the view it was asked from while that view is still in one.
void _LReportPageNotOpened(LView* parent, const std::string& address, bool noOpener)
{
    LAlert alert(parent && parent->Window() ? parent : nullptr,
        (std::string(noOpener ? "Det finns inget program som kan öppna webbsidor (xdg-open "
                                "saknas)."
                              : "Webbläsaren kunde inte öppna sidan.")
            + " Öppna adressen själv i en webbläsare:\n\n" + address)
            .c_str(),
        "Sidan kunde inte öppnas");
    alert.type = 2;
    alert._Run();
}

} // namespace

void randomize()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    srand(unsigned(tv.tv_sec * 1000 + tv.tv_usec / 1000));
    srand(unsigned(rand()) ^ unsigned(time(nullptr)));
}

void LTrackingParametersAppendCommon(LFixedLengthStringWriterTemplate<char>& w)
{
    tplprintf(w, "?software=Vorantel&lang=sv&appname=%s&version=6.27MAC", "Vorantel");
    tplprintf(w, "&base=%s&domain=%s", kFamilyCode, kSiteName);
    char value[kLPathSize];
    _LSetting("Software", "Ref", "", value);
    if (value[0]) {
        tplstrcpy(w, "&ref=");
        _LPutEncoded(w, value);
    }
    _LSetting("Software", "SVar", "", value);
    if (value[0]) {
        tplstrcpy(w, "&svar=");
        _LPutEncoded(w, value);
    }
    tplstrcpy(w, "&instby=");
    _LSetting("Software", "InstalledBy", "dl", value);
    _LPutEncoded(w, value);
    tplstrcpy(w, "&iid=");
    _LSetting("Software", "IID", "", value);
    _LPutEncoded(w, value);
    tplprintf(w, "&help=%d", LUserSettingGet<int>("Software", "HelpOpens", 0));
}

void LTrackingParametersAppendUsage(LFixedLengthStringWriterTemplate<char>& w)
{
    size_t used = 0;
    while (used < CmdCounts.GetCount() && CmdCounts[used].command != 0)
        ++used;
    if (used == 0)
        return;
    randomize();
    const LCmdCount& c = CmdCounts[size_t(rand()) % used];
    unsigned count = c.uses > 255 ? 255u : unsigned(c.uses);
    tplprintf(w, "&usage=%04X%02X", unsigned(c.command) & 0xFFFFu, count);
}

bool LAppGetDaysSinceFirstInstalled(int& days)
{
    days = 0;
    long first = LUserSettingGet<long>("Settings", "InstallDateFirst", 0);
    if (first == 0)
        return false;
    days = int(double(time(nullptr) - first) / 86400.0 + 0.5);
    return true;
}

void LHelpGetOnlineHelpPageURL(char* out, const char* topic)
{
    LFixedLengthStringWriterTemplate<char> w(out, kLHelpURLSize - 1);
    char server[kLPathSize];
    LOnlineGetHost(kLOnlineHelpServer, server);
    tplprintf(w, "http://%s/help/en/%s/mac/%s.html", server, "vorantel",
        _LIsTopic(topic) ? topic : "index");
    int days = 0;
    LAppGetDaysSinceFirstInstalled(days);
    LTrackingParametersAppendCommon(w);
    LTrackingParametersAppendUsage(w);
    tplprintf(w, "&days=%d&runs=%d", days, LUserSettingGet<int>("Settings", "Runs", 0));
    w.Terminate();
}

void LHelpGetHelpPageFilePath(char* out, const char* topic)
{
    char folder[kLPathSize];
    char path[kLPathSize];
    if (_LIsTopic(topic) && LFile::GetHelpFolder(folder)
        && LFile::_MakeFilePath(path, folder, topic, ".html") && LFile::TestFileExists(path)) {
        LStringFormat(out, kLHelpURLSize, "file://%s", path);
        return;
    }
    LHelpGetOnlineHelpPageURL(out, topic);
}

void LOpenHelpPage(void* parent, const char* topic)
{
    int opens = LUserSettingGet<int>("Software", "HelpOpens", 0);
    char value[32];
    LStringFormat(value, sizeof value, "%d", opens + 1);
    LUserSettingSetString("Software", "HelpOpens", value);
    char page[kLHelpURLSize];
    LHelpGetHelpPageFilePath(page, topic);
    if (page[0])
        LOpenWebPageForUser(page, parent);
}

namespace {

// The address the opener is given for a text (see LOpenWebPage); "" when it is refused.
std::string _LWebPageUri(const char* text)
{
    if (!text || !*text)
        return {};
    std::string uri;
    if (std::strncmp(text, "file://", 7) == 0) {
        if (LFile::TestFolderExists(text + 7))
            return {};
        uri = platform::desktop::FilePathToUri(text + 7);
    } else if (text[0] == '/') {
        uri = platform::desktop::FilePathToUri(text);
    } else if (!std::strstr(text, "://")) {
        char url[kLHelpURLSize];
        LStringFormat(url, sizeof url, "http://%s", text);
        uri = url;
    } else {
        uri = text;
    }
    // Only a well-formed URL is handed on, and never one that could read as an option.
    for (char c : uri)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            return {};
    if (uri.empty() || uri[0] == '-')
        return {};
    return uri;
}

} // namespace

bool LOpenWebPage(const char* text)
{
    const std::string uri = _LWebPageUri(text);
    return !uri.empty() && platform::desktop::OpenUri(uri);
}

bool LOpenWebPageForUser(const char* text, void* parent)
{
    const std::string uri = _LWebPageUri(text);
    if (uri.empty())
        return false;
    LUiRef<LView> view(static_cast<LView*>(parent));
    if (platform::desktop::OpenUri(
            uri, [view, uri] { _LReportPageNotOpened(view.Get(), uri, false); }))
        return true;
    _LReportPageNotOpened(view.Get(), uri, true);
    return false;
}

void LGetZORWebPageURL(char* out, const char* page)
{
    char site[kLPathSize];
    if (page[0] == '+') {
        LOnlineGetHost(kLOnlineWebSite2, site);
        LStringFormat(out, kLPathSize, "https://%s/%s.html", site, page + 1);
    } else if (std::strcmp(page, "sv/index") == 0) {
        LOnlineGetHost(kLOnlineWebSite2, site);
        LStringFormat(out, kLPathSize, "https://%s/sv/index.html", site);
    } else {
        LOnlineGetHost(kLOnlineWebSite, site);
        LStringFormat(out, kLPathSize, "https://%s/%s.html", site, page);
    }
}

bool LEmailGetDefaultSettingsAppleMail(char* smtpHost, char* mailAccount)
{
    smtpHost[0] = 0;
    mailAccount[0] = 0;
    _LSetting("Software", "SMTPHost", "", smtpHost);
    _LSetting("Software", "MailAccount", "", mailAccount);
    return true;
}
