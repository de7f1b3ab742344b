// The built `vorantel` driven as a person drives it: xdotool keys and clicks, the file panels
// typed into, the window telling where its parts are through the file named by
// VT_TEST_RECTANGLES_FILE (its alerts' buttons in "<file>.alert", what they say in
// "<file>.alert-text"), and screenshots kept in the build folder. Runs of the program and the
// shell come from ProgramRun.h.
#pragma once

#include "support/ProgramRun.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace e2e {

using namespace programrun;

// The xdotool words that move the pointer to x, y and wait until it is there. The pointer goes
// beside it first: a synced move to where the pointer already is waits for a move that never
// comes (15 s).
inline std::string MoveWords(int x, int y)
{
    return "mousemove " + std::to_string(x + 1) + " " + std::to_string(y + 1) + " mousemove --sync "
        + std::to_string(x) + " " + std::to_string(y) + " ";
}

// The xdotool words that click the middle of a rectangle (nudged by dx, dy).
inline std::string ClickWords(const std::vector<int>& r, int dx = 0, int dy = 0)
{
    return MoveWords(r[0] + r[2] / 2 + dx, r[1] + r[3] / 2 + dy) + "click 1 ";
}

// Gives the window the keyboard, then runs the xdotool words.
inline void Drive(unsigned long xid, const std::string& words)
{
    Shell("xdotool windowfocus --sync " + std::to_string(xid) + " " + words + " 2>/dev/null");
}

// Keys to the window (it takes the focus first).
inline void KeysTo(unsigned long xid, const std::string& keys)
{
    Drive(xid, "key --clearmodifiers --delay 60 " + keys);
    Sleep(300);
}

// Keys to whatever has the focus (a dialog over the window).
inline void Keys(const std::string& keys)
{
    Shell("xdotool key --clearmodifiers --delay 60 " + keys + " 2>/dev/null");
    Sleep(300);
}

// The visible top-level windows' names, asked of one xdotool (a tool started for each window
// took seconds on a busy machine, longer than what a test waits for). A window gone between the
// search and its name is asked again one by one.
inline std::vector<std::string> WindowNames()
{
    std::vector<std::string> names;
    std::string line;
    int status = -1;
    // Not trimmed: windows without a name are empty lines, the last ones too.
    std::istringstream all(CommandOutput(
        "xdotool search --onlyvisible --name '' getwindowname %@ 2>/dev/null", &status));
    if (status == 0) {
        while (std::getline(all, line))
            names.push_back(line);
        return names;
    }
    std::istringstream ids(Shell("xdotool search --onlyvisible --name '' 2>/dev/null"));
    while (std::getline(ids, line))
        names.push_back(Shell("xdotool getwindowname " + line + " 2>/dev/null"));
    return names;
}

inline bool WindowShows(const std::string& name)
{
    for (const std::string& n : WindowNames())
        if (n == name)
            return true;
    return false;
}

// Waits until a visible window of that name shows (dialogs and file panels).
inline bool WaitWindowNamed(const std::string& name, int ms = 8000)
{
    return WaitFor([&] { return WindowShows(name); }, ms, 20);
}

// Waits until the window of that name shows and takes the keys typed: a window manager gives it
// the keyboard; without one, a modal panel takes the keys of its program once it shows.
inline bool WaitKeysGoTo(const std::string& title, int ms = 8000)
{
    if (!WaitWindowNamed(title, ms))
        return false;
    if (!WindowManagerRuns())
        return true;
    return WaitFor(
        [&] { return Shell("xdotool getwindowfocus getwindowname 2>/dev/null") == title; }, ms, 20);
}

// How many requests for its text the xclip that writes the log has answered.
inline int RequestsAnswered(const std::string& log)
{
    const std::string text = TemporaryFolder::ReadFile(log);
    const std::string mark = "selection request number ";
    int waiting = 0;
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
        waiting = std::max(waiting, std::atoi(text.c_str() + at + mark.size()));
    return waiting - 1;
}

// A file panel is up (its title given): the path (or a name, in a save panel's folder) is
// pasted into it whole and the panel accepted with the keys. Pasting takes a blink where typing
// took a second, and no completion of a folder name can race the keys that follow. xclip serves
// the text and tells each request it answered; the accepting keys go once the panel has had its
// text (the answer reaches the program before the keys do). Without xclip the path is typed.
// Returns once the panel has gone (at most some seconds), so that what follows is meant for the
// window.
inline bool TypeIntoFilePanel(
    const std::string& title, const std::string& path, const std::string& accept = "Return")
{
    if (!WaitKeysGoTo(title))
        return false;
    if (Shell("command -v xclip").empty()) {
        Keys("ctrl+a");
        Shell("xdotool type --delay 20 " + Quote(path));
        Sleep(300);
    } else {
        TemporaryFolder folder;
        const std::string log = folder / "xclip.log";
        // In the foreground (-verbose), so that its number is the one the shell tells.
        const std::string pid = Shell("printf %s " + Quote(path)
            + " | xclip -selection clipboard -i -verbose >" + Quote(log) + " 2>&1 & echo $!");
        // It owns the clipboard once it waits for the first request.
        WaitFor([&] { return RequestsAnswered(log) >= 0; }, 5000, 10);
        const int before = RequestsAnswered(log);
        Shell("xdotool key --clearmodifiers ctrl+a ctrl+v 2>/dev/null");
        const bool pasted = WaitFor([&] { return RequestsAnswered(log) > before; }, 5000, 10);
        if (!pid.empty())
            Shell("kill " + pid + " 2>/dev/null");
        if (!pasted)
            return false;
    }
    // The first panel of a run may leave the keys unanswered while it is still getting ready
    // (a Return typed at once after the paste was seen lost): they go again when after a while
    // it still shows and nothing else has come (a question over it would take them).
    const std::vector<std::string> before = WindowNames();
    for (int attempt = 0; attempt < 3; ++attempt) {
        Shell("xdotool key --clearmodifiers " + accept + " 2>/dev/null");
        if (WaitFor([&] { return !WindowShows(title); }, 2000, 20) || WindowNames() != before)
            break;
    }
    WaitFor([&] { return !WindowShows(title); }, 8000, 20);
    return true;
}

// The same for a path of thousands of bytes (pasted as any path is).
inline bool PasteIntoFilePanel(const std::string& title, const std::string& path)
{
    return TypeIntoFilePanel(title, path);
}

// The alert files of the window's rectangle file, removed before an alert is expected.
inline void ForgetAlert(const std::string& file)
{
    ::unlink((file + ".alert").c_str());
    ::unlink((file + ".alert-text").c_str());
}

// What the alert that shows says: its headline and message, one line each ("" when none shows
// within ms).
inline std::string AlertText(const std::string& file, int ms = 8000)
{
    if (!WaitFor([&] { return Exists(file + ".alert"); }, ms, 10))
        return "";
    return TemporaryFolder::ReadFile(file + ".alert-text");
}

// The headline of the alert that shows ("" when none shows within ms).
inline std::string AlertHeadline(const std::string& file, int ms = 8000)
{
    const std::string text = AlertText(file, ms);
    return text.substr(0, text.find('\n'));
}

// Clicks the button of the alert that shows (its label with '_' for spaces). The alert's files
// are removed first, so that what shows next is seen afresh.
inline bool ClickAlertButton(const std::string& file, const std::string& label, int ms = 8000)
{
    bool clicked = WaitFor(
        [&] {
            std::ifstream in(file + ".alert");
            std::string word, name;
            int x, y, w, h;
            while (in >> word >> name >> x >> y >> w >> h) {
                if (name == label) {
                    ForgetAlert(file);
                    Shell("xdotool " + MoveWords(x + w / 2, y + h / 2) + "click 1 2>/dev/null");
                    return true;
                }
            }
            return false;
        },
        ms, 100);
    if (clicked)
        Sleep(400);
    return clicked;
}

// Ctrl+Q to the window, the question about unsaved work answered "Spara inte" when it comes:
// whichever comes first, the program's end or the question, is waited for (no wait for a
// question that an unchanged project never asks). The exit status, -1 when it still runs.
inline int QuitWithoutSaving(
    Program& program, const std::string& rects, unsigned long xid, int ms = 10000)
{
    ForgetAlert(rects);
    KeysTo(xid, "ctrl+q");
    WaitFor([&] { return !program.Running() || Exists(rects + ".alert"); }, ms, 10);
    if (program.Running())
        ClickAlertButton(rects, "Spara_inte", ms);
    return program.Wait(ms);
}

// Where a control of the window that became ready last lies (its rectangles in "<file>.dialog",
// written once it was laid out, in pixels of its X window), once that window has the title: the
// X window and the control's centre in it. False when it did not come within ms.
inline bool FindDialogControl(const std::string& file, const std::string& title, int id,
    unsigned long& window, int& x, int& y, int ms = 10000)
{
    return WaitFor(
        [&] {
            std::ifstream in(file + ".dialog");
            std::string first, word;
            std::getline(in, first);
            if (first != "title " + title || !(in >> word >> window) || word != "window")
                return false;
            int control, cx, cy, w, h;
            while (in >> word >> control >> cx >> cy >> w >> h)
                if (word == "control" && control == id) {
                    x = cx + w / 2;
                    y = cy + h / 2;
                    return true;
                }
            return false;
        },
        ms, 100);
}

// Clicks that control, after waiting for its window's title.
inline bool ClickDialogControl(
    const std::string& file, const std::string& title, int id, int ms = 10000)
{
    unsigned long window = 0;
    int x = 0, y = 0;
    if (!FindDialogControl(file, title, id, window, x, y, ms))
        return false;
    Sleep(300);
    Shell("xdotool mousemove --sync --window " + std::to_string(window) + " " + std::to_string(x)
        + " " + std::to_string(y) + " click 1 2>/dev/null");
    Sleep(400);
    return true;
}

// The path of the next screenshot in <build>/<folder>, "NN-name.png", numbered in the order
// taken; the runs at a backing scale of 2 and under a window manager add "-scale2" and "-wm".
// The folder is made.
inline std::string ShotPath(const std::string& name, const std::string& folder)
{
    static int count = 0;
    const std::string where = std::string(VT_BINARY_DIR) + "/" + folder;
    ::mkdir(where.c_str(), 0755);
    const char* scale = std::getenv("GDK_SCALE");
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    const std::string suffix = std::string(scale && scale[0] == '2' ? "-scale2" : "")
        + (wm && wm[0] == '1' ? "-wm" : "");
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++count);
    return where + "/" + number + "-" + name + suffix + ".png";
}

// Keeps a screenshot of the screen at ShotPath. Answers the file's path.
inline std::string Shot(const std::string& name, const std::string& folder = "e2e")
{
    const std::string path = ShotPath(name, folder);
    Shell("import -window root " + Quote(path) + " 2>/dev/null");
    return path;
}

// Where a window stands on the screen as a crop of the root window ("WxH+X+Y", offset by dx, dy
// and no larger than w by h when those are given); "" when the window is gone. The screen is
// read, never the window: a capture of a window that goes away meanwhile can wait for ever. The
// place is the window's own inside a window manager's frame (xdotool's geometry counts the
// frame's title bar twice under openbox).
inline std::string ScreenArea(unsigned long window, int dx = 0, int dy = 0, int w = 0, int h = 0)
{
    const std::string info = Shell("xwininfo -id " + std::to_string(window) + " 2>/dev/null");
    auto field = [&](const char* name) {
        const size_t at = info.find(name);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + std::strlen(name));
    };
    const int x = field("Absolute upper-left X:"), y = field("Absolute upper-left Y:");
    int width = field("Width:"), height = field("Height:");
    if (x < 0 || y < 0 || width <= 0 || height <= 0)
        return "";
    width = w > 0 ? w : width;
    height = h > 0 ? h : height;
    return std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x + dx) + "+"
        + std::to_string(y + dy);
}

} // namespace e2e
