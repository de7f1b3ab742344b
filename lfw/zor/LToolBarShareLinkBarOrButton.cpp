#include "lfw/zor/LToolBarShareLinkBarOrButton.h"

#include "lfw/gen/LFile.h"
#include "lfw/gui/LTabbedToolBar.h"
#include "lfw/gui/LToolBarShareLinkBar.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LHelp.h"

namespace {

std::string Host(const char* key)
{
    char out[kLPathSize] = "";
    LOnlineGetHost(key, out);
    return out;
}

// Percent-encoded, however long the text is.
std::string Encoded(const std::string& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    size_t n = LURIEncode(out.data(), out.size(), text.c_str());
    out.resize(n);
    return out;
}

} // namespace

std::string LToolBarShareLinkBarOrButton::GetFacebookShareURL(const char* homePage)
{
    // The page shared is one address: the home page as it stands when it names its scheme.
    std::string page = homePage ? homePage : "";
    if (page.find("://") == std::string::npos)
        page.insert(0, "http://");
    return Host(kLOnlineFacebookShare) + "/v4.0/dialog/share?app_id=" + Host(kLOnlineFacebookAppId)
        + "&display=page&href=" + Encoded(page)
        + "&redirect_uri=" + Encoded(Host(kLOnlineFacebookStart));
}

std::string LToolBarShareLinkBarOrButton::GetLinkedInShareURL(const char* homePage)
{
    return Host(kLOnlineLinkedInShare) + "/shareArticle?url=" + (homePage ? homePage : "")
        + "&title=ZOR+Software&mini=true";
}

bool LToolBarShareLinkBarOrButton::HandleCommand(LMacWindow& window, int command)
{
    auto* target = dynamic_cast<LShareLinkWindow*>(&window);
    switch (command) {
    case kLCmdShareBarHide:
    case kLCmdShareBarShow:
        if (LTabbedToolBar* toolbar = LTabbedToolBar::FromWindow(window)) {
            if (command == kLCmdShareBarHide)
                toolbar->ShareLinkBarHide();
            else
                toolbar->ShareLinkBarShow();
        }
        return true;
    case kLCmdShareFacebook:
        // Built whole: an address cut short would share a wrong page. A page that cannot be
        // opened is told over the window, as from every other button that opens one.
        LOpenWebPageForUser(GetFacebookShareURL(target ? target->GetShareHomePage() : "").c_str(),
            window.GetContentView());
        return true;
    case kLCmdShareTwitter:
        if (target)
            target->CmShareTwitter();
        return true;
    case kLCmdShareLinkedIn:
        LOpenWebPageForUser(GetLinkedInShareURL(target ? target->GetShareHomePage() : "").c_str(),
            window.GetContentView());
        return true;
    case kLCmdLikeFacebook:
        LOpenWebPageForUser(Host(kLOnlineFacebookPage).c_str(), window.GetContentView());
        return true;
    default:
        return false;
    }
}
