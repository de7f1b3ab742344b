// The main window of the program under test as the end-to-end tests hold its answers to pings
// (_NET_WM_PING, answered by the program's main loop): the longest wait while the window has
// nothing to do, measured in the same run as what it is held against, and the bound a window at
// work stays within. Include after GoogleTest (the X headers define names it uses). Header only.
#pragma once

#include "support/E2eSession.h"
#include "support/XServerView.h"

#include <cstdio>

namespace e2e {

// The longest wait for an answer the window may have while it works: what it has while idle,
// twice over, and the 100 ms a person does not notice.
inline double AnswerBound(double idle)
{
    return 100.0 * kSlowdown + 2 * idle;
}

// The longest wait for an answer to a ping every pingMs while the window has nothing to do (a
// second and a half), printed.
inline double IdleReference(XServerView& view, unsigned long xid, int pingMs = 20)
{
    const double idle = view.LongestPingWhile(
        xid, [] { Sleep(1500); }, pingMs);
    std::printf("longest answer while idle: %.1f ms\n", idle);
    return idle;
}

// A new project's main window, ready, with its canvas; 0 when none showed.
inline unsigned long ReadyWindow(Session& s)
{
    const unsigned long xid = WaitMainWindow();
    if (xid)
        WaitFor([&] { return Rectangles(s.rects).count("canvas") > 0; }, 15000, 100);
    return xid;
}

} // namespace e2e
