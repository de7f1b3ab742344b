// A text copied and pasted with the real keyboard (xdotool) on the canvas, through the whole
// program: after Ctrl+V the keyboard stays on the canvas, so Ctrl+Z undoes the paste and each
// Ctrl+V adds another text (the keys never land in the new text's field). Screenshots go to
// <build>/e2e.
// VT_WINDOW_MANAGER: runs a second time under openbox.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTProject.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

// The texts of the saved project, joined with "|".
std::string Texts(const std::string& path)
{
    std::string joined;
    for (const std::string& t : SavedTexts(path))
        joined += (joined.empty() ? "" : "|") + t;
    return joined;
}

} // namespace

TEST(PastingKeys, AfterAPasteTheKeysStayOnTheCanvas)
{
    if (!HasTools() || Shell("command -v xclip").empty())
        GTEST_SKIP() << "no display, xdotool, ImageMagick or xclip";
    Session s;
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    sample::Text(*project.templates.GetHead(), "Kopia", 0, 0);
    const std::string path = SaveProject(project, s.dir + "/kopia.vtproj");
    Program program({ path });
    const unsigned long xid = WaitMainWindow(20000 * kSlowdown);
    ASSERT_NE(xid, 0u);
    XServerView view;
    ASSERT_TRUE(view.Ok());
    ASSERT_TRUE(WaitFor(
        [&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000 * kSlowdown));
    const XRect canvas = Rectangles<XRect>(s.rects)["canvas"];
    view.WaitSettled(xid);
    // The text selected with a click on the canvas, which takes the keyboard.
    Drive(xid, MoveWords(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2) + "click 1");
    view.WaitSettled(xid);
    // Saves and answers the texts the file then holds.
    auto saved = [&] {
        const ino_t before = FileNumber(path);
        KeysTo(xid, "ctrl+s");
        WaitFor([&] { return FileNumber(path) != before; }, 15000 * kSlowdown, 20);
        view.WaitSettled(xid);
        return Texts(path);
    };

    // Copied, pasted, and the paste undone with Ctrl+Z.
    KeysTo(xid, "ctrl+c");
    KeysTo(xid, "ctrl+v");
    view.WaitSettled(xid);
    KeysTo(xid, "ctrl+z");
    view.WaitSettled(xid);
    EXPECT_EQ(saved(), "Kopia") << "Ctrl+Z did not undo the paste";

    // Two pastes in a row: two more texts.
    KeysTo(xid, "ctrl+v");
    view.WaitSettled(xid);
    KeysTo(xid, "ctrl+v");
    view.WaitSettled(xid);
    Shot("pasted-twice");
    EXPECT_EQ(saved(), "Kopia|Kopia|Kopia");
}
