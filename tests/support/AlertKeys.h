// Keys to the main window that make an alert show, sent once the main window is the only named
// window on the screen. The toolkit keeps unnamed windows of its own mapped beside it (the root
// window lists too, and a 1x1 helper window): a wait for the main window to be the only visible
// window at all never ends before its time is up, and every question asked that way waited for
// that. Windows without a name are passed over here (an alert, a panel or a dialog has one), and
// so is the one the window manager keeps mapped under its own name.
#pragma once

#include "support/E2eSession.h"

#include <string>
#include <vector>

namespace e2e {

// The main window is the only visible window with a name: an alert just closed has gone.
inline bool MainWindowAlone()
{
    size_t named = 0;
    bool main = false;
    for (const std::string& name : WindowNames()) {
        if (name.empty() || name == "Openbox")
            continue;
        ++named;
        main = main || name.rfind(kCaption, 0) == 0;
    }
    return named == 1 && main;
}

// KeysForAlert, the keys sent as soon as the main window stands alone: what the alert says. The
// keys go again when it does not show in time (the window may not have had the focus back yet).
inline std::string KeysForAlertWhenAlone(
    const std::string& rects, unsigned long xid, const std::string& keys)
{
    std::string said;
    for (int attempt = 0; attempt < 2 && said.empty(); ++attempt) {
        ForgetAlert(rects);
        WaitFor(MainWindowAlone, 3000, 50);
        KeysTo(xid, keys);
        said = AlertText(rects, 8000);
    }
    return said;
}

// Ctrl+Q on unsaved work: true once the question shows.
inline bool AskToQuitWhenAlone(Session& s, unsigned long xid)
{
    return !KeysForAlertWhenAlone(s.rects, xid, "ctrl+q").empty();
}

} // namespace e2e
