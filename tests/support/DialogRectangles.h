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
#include <utility>
#include <vector>

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

// The lines "<kind> <number> x y width height" of the dialog's rectangle file (pixels of its X
// window), in the order written. Empty when the file is another window's.
inline std::vector<std::pair<int, XRect>> DialogEntries(
    const std::string& rects, unsigned long xid, const std::string& kind)
{
    std::vector<std::pair<int, XRect>> out;
    std::ifstream in(rects + ".dialog");
    std::string line, word;
    std::getline(in, line);
    unsigned long written = 0;
    if (!(in >> word >> written) || written != xid)
        return out;
    int number;
    XRect r;
    while (in >> word >> number >> r.x >> r.y >> r.width >> r.height)
        if (word == kind)
            out.emplace_back(number, r);
    return out;
}

// Every control of the dialog's rectangle file, in its order, with its id.
inline std::vector<std::pair<int, XRect>> DialogControlList(
    const std::string& rects, unsigned long xid)
{
    return DialogEntries(rects, xid, "control");
}

// The controls of the dialog's rectangle file: for each id, the widest control of that id
// (panels inside hold controls with the same ids).
inline std::map<int, XRect> DialogControls(const std::string& rects, unsigned long xid)
{
    std::map<int, XRect> out;
    for (const auto& [id, r] : DialogControlList(rects, xid))
        if (!out.count(id) || out[id].width < r.width)
            out[id] = r;
    return out;
}

// The tabs of the dialog's tab views that show, by their index (where a dialog has two tab
// views, the last one's).
inline std::map<int, XRect> DialogTabs(const std::string& rects, unsigned long xid)
{
    std::map<int, XRect> out;
    for (const auto& [index, r] : DialogEntries(rects, xid, "tab"))
        out[index] = r;
    return out;
}

} // namespace e2e
