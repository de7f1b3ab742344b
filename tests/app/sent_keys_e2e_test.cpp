// Keys sent to the main window by another program (XSendEvent, as input tools and xdotool with a
// window do) while the text field of "Textegenskaper" has the keyboard: a letter, Ctrl+Z, Ctrl+A
// and Ctrl+S do what the same keys from the keyboard do, each once, and Ctrl+S with nothing left
// to save types nothing. A key pressed through the keyboard (XTEST) and let go by a sent event,
// as xdotool does when the focus moves between the two (it sends through XTEST only to the window
// that has the focus), stays down in the X server, which repeats it: it is typed once, not
// without end, and the window answers pings meanwhile. Also under a window manager
// (VT_WINDOW_MANAGER). Screenshots go to <build>/e2e.
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"

#include <gtest/gtest.h>

#include "support/XServerView.h"

using namespace programrun;

namespace {

// The text of the first text of the saved project's disc ("" when none can be read).
std::string SavedText(const std::string& path)
{
    VTProject project;
    VTProjectLoad record;
    record.project = &project;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    if (Process(quiet, record) != LProcessResultSuccess || !project.templates.GetHead())
        return "";
    for (VTOverlay* o = project.templates.GetHead()->first; o; o = o->next)
        if (auto* text = dynamic_cast<VTOverlayText*>(o))
            return text->GetText();
    return "";
}

// Sends a key with its modifiers as xdotool does with a window: the modifiers pressed first and
// let go last, each event carrying the mask of those down.
void SendKeys(XServerView& x, unsigned long xid, const char* key, bool control = false)
{
    if (control)
        x.SendKey(xid, "Control_L", true);
    x.SendKey(xid, key, true, control ? ControlMask : 0);
    x.SendKey(xid, key, false, control ? ControlMask : 0);
    if (control)
        x.SendKey(xid, "Control_L", false, ControlMask);
}

// Ctrl+S, sent or from the keyboard, until the saved project's text is the one wanted (the window
// takes a change of the text a moment after it is typed, and saves only what it has taken).
bool SaveUntil(
    XServerView& x, unsigned long xid, const std::string& path, const std::string& text, bool sent)
{
    return WaitFor(
        [&] {
            if (SavedText(path) == text)
                return true;
            if (sent)
                SendKeys(x, xid, "s", true);
            else
                Shell("xdotool key ctrl+s 2>/dev/null");
            return false;
        },
        15000 * kSlowdown, 700);
}

// Lets go of the keys the test holds down in the X server, however the test ends.
struct KeysUp {
    ~KeysUp() { Shell("xdotool keyup s 2>/dev/null"); }
};

} // namespace

TEST(SentKeys, KeysSentToTheWindowAreTakenOnceAndStartNoLoop)
{
    XServerView x;
    if (!HasTools() || !x.Ok())
        GTEST_SKIP() << "no display, xdotool or ImageMagick";
    e2e::Session session;
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    sample::Text(*project.templates.GetAt(0), "Hej", 0, 0);
    const std::string path = e2e::SaveProject(project, session.dir + "/hej.vtproj");
    Program program({ path });
    const unsigned long xid = WaitMainWindow(20000 * kSlowdown);
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitFor(
        [&] { return Rectangles<XRect>(session.rects).count("canvas") == 1; }, 15000 * kSlowdown));
    const XRect canvas = Rectangles<XRect>(session.rects)["canvas"];
    const char* scaleText = std::getenv("GDK_SCALE");
    const int s = scaleText && std::atoi(scaleText) > 1 ? std::atoi(scaleText) : 1;
    // The text selected on the canvas, then its field in "Textegenskaper" (right of the canvas)
    // clicked right of its letters: the caret stands after them. (Clicked again after each
    // save: its progress window takes the keyboard and gives it back.)
    const std::string field = e2e::MoveWords(canvas.Right() + 140 * s, canvas.y + 20 * s);
    // Each click once the window has come to rest from the one before (the panel changes).
    auto click = [&](const std::string& where) {
        e2e::Drive(xid, where + "click 1");
        x.WaitSettled(xid);
    };
    ASSERT_TRUE(x.WaitSettled(xid));
    click(e2e::MoveWords(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2));
    click(field);
    e2e::Shot("sent-keys-field");

    // A letter, then Ctrl+S: saved with the letter, typed once.
    SendKeys(x, xid, "a");
    EXPECT_TRUE(SaveUntil(x, xid, path, "Heja", true)) << SavedText(path);
    // Ctrl+Z, Ctrl+A and Ctrl+S: the letter undone and saved so; Ctrl+S again, with nothing to
    // save, types nothing into the text.
    click(field);
    SendKeys(x, xid, "z", true);
    SendKeys(x, xid, "a", true);
    EXPECT_TRUE(SaveUntil(x, xid, path, "Hej", true)) << SavedText(path);
    click(field);
    SendKeys(x, xid, "a", true);
    SendKeys(x, xid, "s", true);
    e2e::Shot("sent-keys-undone");
    click(field);

    // "s" pressed through the keyboard and let go by a sent release: the X server holds it down
    // and repeats it (after 660 ms, 25 times a second) for the two seconds it is held.
    KeysUp keysUp;
    XServerView sender; // the pings' connection is the other thread's
    const double idle = x.LongestPingWhile(
        xid, [] { Sleep(500); }, 20);
    const double held = x.LongestPingWhile(
        xid,
        [&] {
            Shell("xdotool keydown s 2>/dev/null");
            sender.SendKey(xid, "s", false);
            Sleep(2000);
            Shell("xdotool keyup s 2>/dev/null");
        },
        20);
    e2e::Shot("sent-keys-held");
    std::printf("longest answer: idle %.0f ms, while the key was held down %.0f ms\n", idle, held);
    EXPECT_LT(held, idle + 1000 * kSlowdown);
    // Saved with the keyboard's Ctrl+S: one "s".
    EXPECT_TRUE(SaveUntil(x, xid, path, "Hejs", false)) << SavedText(path);
}
