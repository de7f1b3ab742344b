// The hosts the program talks to. Each has a fixed default and may be overridden by a string
// user setting in the section "Online" (a host with an optional ":port").
#pragma once

#include <cstddef>

inline constexpr const char* kLOnlineMusicBrainzHost = "MusicBrainzHost";
inline constexpr const char* kLOnlineHelpServer = "HelpServer";
inline constexpr const char* kLOnlineCrashReportServer = "CrashReportServer";
inline constexpr const char* kLOnlineWebSite = "WebSite";
inline constexpr const char* kLOnlineWebSite2 = "WebSite2";
inline constexpr const char* kLOnlineBugPage = "BugPage";
inline constexpr const char* kLOnlineVersionHost = "VersionHost";
// The component server of the clipart libraries: a scheme and host (with an optional ":port").
inline constexpr const char* kLOnlineComponentServer = "ComponentServer";
// Full page addresses of the maker's social-network pages.
inline constexpr const char* kLOnlineFacebookPage = "FacebookPage";
inline constexpr const char* kLOnlineTwitterPage = "TwitterPage";
inline constexpr const char* kLOnlineTwitterStatus = "TwitterStatus";
// The share pages of the share bar (scheme and host) and the maker's Facebook application id.
inline constexpr const char* kLOnlineFacebookShare = "FacebookShare";
inline constexpr const char* kLOnlineFacebookStart = "FacebookStart";
inline constexpr const char* kLOnlineFacebookAppId = "FacebookAppId";
inline constexpr const char* kLOnlineLinkedInShare = "LinkedInShare";

// The host (260 bytes) for one of the keys above: the user setting when set, else the default.
void LOnlineGetHost(const char* key, char* out);
// The default of a key ("" for an unknown key).
const char* LOnlineGetDefaultHost(const char* key);
