// What every main window of the framework does beyond its window: the maker's web pages of the
// Help menu, and the pages and counters of the program's exit (run counters, the rating question
// at the tenth run, the thank-you page after the first run, the long-term pages after 180 and
// 365 days).
#pragma once

#include "lfw/gen/LFile.h"

#include <ctime>

class LMainWindowUtilBase {
public:
    LMainWindowUtilBase();
    virtual ~LMainWindowUtilBase() = default;

    // Set together when the desktop session ends the program (log-out, shut-down, a signal):
    // the exit pages are then skipped, and the open work is not closed but kept for the next
    // start.
    bool bSystemIsQuitting = false;
    bool bSkipExitChecks = false;
    // The product home page and the same address percent-encoded (at most 259 bytes).
    char szHomePage[kLPathSize];
    char szHomePageEncoded[kLPathSize];
    time_t tStartTime;

    // Handles the web-page commands of the Help menu (3333, 3334, 3336, 3337, 3338, 3340, 9030,
    // 9031); false for any other id.
    bool HandleWebCommand(int id);

    void CheckRateIt(void* view);
    void RateItDialogOpen(void* view);
    void FirstExitAfterInstallCheck();
    void TrackingCheckLongTerm();
    void CmHelpSendFeedback(const char* text);
    void CmShareTwitter();
    // At exit: minutes of use, the exit pages (unless skipped), the command counts.
    void EvMainWindowUtilBaseDestroy(void* view);

    // Addresses built by the commands (exposed for the pages' own tests).
    static void GetRatingPageURL(char* out, int rating);
};

// The rating question: returns the choice's id 5000-5003, or anything else for none. Installed
// by the window layer (a menu dialog); until then the framework's alert asks with four buttons.
using LRateItDialogFunction = int (*)(void* view);
void LMainWindowSetRateItDialogFunction(LRateItDialogFunction function);
