// The dialogs of the built program as its rectangle file tells of them: a window that became
// ready writes "<file>.dialog" with its title, its X window and its controls' and tabs' places
// (pixels of its X window). Header only.
#pragma once

#include "support/ProgramRun.h"

// Before Xlib's headers, whose macros (None) would break GoogleTest's.
#include <gtest/gtest.h>

#include "support/XServerView.h"

#include <fstream>
#include <map>
#include <string>

namespace e2e {

// The X window of the dialog with the title once it has written its controls' places; 0 when it
// does not within ms.
inline unsigned long WaitDialogWindow(
    const std::string& rects, const std::string& title, int ms = 15000)
{
    unsigned long xid = 0;
    programrun::WaitFor(
        [&] {
            std::ifstream in(rects + ".dialog");
            std::string first, word;
            std::getline(in, first);
            return first == "title " + title && in >> word >> xid && word == "window";
        },
        ms, 100);
    return xid;
}

// The controls of the dialog's rectangle file (pixels of its X window): for each id, the widest
// control of that id (panels inside hold controls with the same ids). Empty when the file is
// another window's.
inline std::map<int, XRect> DialogControls(const std::string& rects, unsigned long xid)
{
    std::map<int, XRect> out;
    std::ifstream in(rects + ".dialog");
    std::string line, word;
    std::getline(in, line);
    unsigned long written = 0;
    if (!(in >> word >> written) || written != xid)
        return out;
    int id;
    XRect r;
    while (in >> word >> id >> r.x >> r.y >> r.width >> r.height)
        if (word == "control" && (!out.count(id) || out[id].width < r.width))
            out[id] = r;
    return out;
}

// The tabs of the dialog's tab views that show, by their index (pixels of its X window; where a
// dialog has two tab views, the last one's). Empty when the file is another window's.
inline std::map<int, XRect> DialogTabs(const std::string& rects, unsigned long xid)
{
    std::map<int, XRect> out;
    std::ifstream in(rects + ".dialog");
    std::string line, word;
    std::getline(in, line);
    unsigned long written = 0;
    if (!(in >> word >> written) || written != xid)
        return out;
    int index;
    XRect r;
    while (in >> word >> index >> r.x >> r.y >> r.width >> r.height)
        if (word == "tab")
            out[index] = r;
    return out;
}

} // namespace e2e
