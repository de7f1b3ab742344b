// The commands of the share bar and its context menu, carried out for the main window: hiding
// and showing the bar, and the share pages of the social networks.
#pragma once

#include <string>

class LMacWindow;

// What a window offers the share commands: its product home page and its own Twitter share.
class LShareLinkWindow {
public:
    virtual ~LShareLinkWindow() = default;
    // The product home page address ("https://..."; one without a scheme is taken as http).
    virtual const char* GetShareHomePage() const = 0;
    // Command 9311.
    virtual void CmShareTwitter() = 0;
};

class LToolBarShareLinkBarOrButton {
public:
    // True when the command is one of the share bar's (9301, 9302, 9310, 9311, 9316, 9320).
    static bool HandleCommand(LMacWindow& window, int command);
    // The addresses opened for 9310 and 9316 (whole, never cut).
    static std::string GetFacebookShareURL(const char* homePage);
    static std::string GetLinkedInShareURL(const char* homePage);
};
