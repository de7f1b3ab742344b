#include "lfw/net/LOnlineHosts.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"

#include <cstring>

const char* LOnlineGetDefaultHost(const char* key)
{
    static const struct {
        const char* key;
        const char* host;
    } kHosts[] = {
        { kLOnlineMusicBrainzHost, "musicbrainz.org" },
        { kLOnlineHelpServer, "help.vorantel.example" },
        { kLOnlineCrashReportServer, "crash.vorantel.example" },
        { kLOnlineWebSite, "www.vorantel.example" },
        { kLOnlineWebSite2, "www.zor.example" },
        { kLOnlineBugPage, "https://www.vorantel.example/bugreport.html" },
        { kLOnlineVersionHost, "www.vorantel.example" },
        { kLOnlineFacebookPage, "https://facebook.example/zorsoftware" },
        { kLOnlineTwitterPage, "https://twitter.example/zorsoftware" },
        { kLOnlineTwitterStatus, "https://twitter.example/home" },
        { kLOnlineFacebookShare, "https://www.facebook.example" },
        { kLOnlineFacebookStart, "https://www.facebook.example/" },
        { kLOnlineFacebookAppId, "1000000000000001" },
        { kLOnlineLinkedInShare, "https://www.linkedin.example" },
        { kLOnlineComponentServer, "https://www.vorantel.example" },
    };
    for (const auto& h : kHosts)
        if (std::strcmp(h.key, key) == 0)
            return h.host;
    return "";
}

void LOnlineGetHost(const char* key, char* out)
{
    char value[kLPathSize] = "";
    if (_LUserSettingGetString("Online", key, "", value) && value[0]) {
        utf8strlcpy(out, value, kLPathSize);
        return;
    }
    utf8strlcpy(out, LOnlineGetDefaultHost(key), kLPathSize);
}
