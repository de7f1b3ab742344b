// Typing into a text's field of "Textegenskaper" and saving or quitting at once, with the real
// keyboard (xdotool) through the whole program: letters typed right before Ctrl+S are in the
// file; letters typed right before Ctrl+Q make the program ask "Ändringar som inte sparats";
// keys typed while a save's progress window shows reach the text afterwards, while Escape still
// stops the save; Ctrl+Q pressed during a save is carried out when it ends. Screenshots go to
// <build>/e2e.
// VT_WINDOW_MANAGER: runs a second time under openbox.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/VTLabelLayoutData.h"
#include "app/VTProject.h"
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/ProjectTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

int BackingScale()
{
    const char* s = std::getenv("GDK_SCALE");
    return s && std::atoi(s) > 1 ? std::atoi(s) : 1;
}

// The first text of a saved project ("" when there is none).
std::string FirstText(const std::string& path)
{
    const std::vector<std::string> texts = SavedTexts(path);
    return texts.empty() ? "" : texts[0];
}

// A project of a CD with the text "Hej" at the disc's centre, saved by the program's own writer.
std::string SaveTextProject(const std::string& path)
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    sample::Text(*project.templates.GetHead(), "Hej", 0, 0);
    return SaveProject(project, path);
}

// The xdotool words that type the letters one key after the other, no pause between them.
std::string LetterKeys(const std::string& letters)
{
    std::string keys;
    for (char c : letters)
        keys += std::string(1, c) + " ";
    return keys;
}

// The program with the project open, its text selected on the canvas and the keyboard in the
// text's field of "Textegenskaper", the caret after the letters. A photograph given is added
// first by a later start (its PNG bytes are then still being made while the test goes on) and
// put under the text.
struct TextFieldOpen {
    TextFieldOpen(Session& s, const std::string& path, const std::string& photo = "")
        : program({ path })
    {
        xid = WaitMainWindow(20000 * kSlowdown);
        if (!xid || !view.Ok())
            return;
        if (!WaitFor(
                [&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000 * kSlowdown))
            return;
        const XRect canvas = Rectangles<XRect>(s.rects)["canvas"];
        const int scale = BackingScale();
        // The text at the canvas's centre, then the text's field, right of the canvas at the top
        // of the panel column.
        const std::string text
            = MoveWords(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2) + "click 1 ";
        const std::string field
            = MoveWords(canvas.Right() + 140 * scale, canvas.y + 20 * scale) + "click 1 ";
        if (!photo.empty()) {
            Program add({ "-addimage", photo });
            if (add.Wait(60000 * kSlowdown) != 0)
                return;
            // Without waits between, while the photograph is encoded: the photograph under the
            // text (Ctrl+-), the text, its field.
            Drive(xid,
                "key ctrl+minus sleep 0.2 " + text + "sleep 0.3 " + field
                    + "sleep 0.2 key ctrl+End");
            ready = true;
            return;
        }
        view.WaitSettled(xid);
        Drive(xid, text);
        view.WaitSettled(xid);
        Drive(xid, field);
        view.WaitSettled(xid);
        KeysTo(xid, "ctrl+End");
        ready = true;
    }
    Program program;
    XServerView view;
    unsigned long xid = 0;
    bool ready = false;
};

} // namespace

// Letters typed and Ctrl+S pressed at once (no pause between the keys), three times: each save
// holds the letters typed before it.
TEST(TypingAndSaving, LettersTypedRightBeforeCtrlSAreInTheFile)
{
    if (!HasTools())
        GTEST_SKIP() << "no display, xdotool or ImageMagick";
    Session s;
    const std::string path = SaveTextProject(s.dir + "/hej.vtproj");
    TextFieldOpen open(s, path);
    ASSERT_TRUE(open.ready) << "the program did not show the project";
    std::string expected = "Hej";
    for (const char* letters : { "XYZ", "abc", "Q" }) {
        expected += letters;
        const ino_t before = FileNumber(path);
        Shell("xdotool key --delay 0 " + LetterKeys(letters) + "ctrl+s");
        EXPECT_TRUE(WaitFor([&] { return FileNumber(path) != before; }, 8000 * kSlowdown, 20))
            << "nothing was saved after " << letters;
        EXPECT_EQ(FirstText(path), expected);
        open.view.WaitSettled(open.xid);
    }
    Shot("typed-then-saved");
}

// On a saved project, letters typed and Ctrl+Q pressed at once: the program asks about the
// unsaved changes; "Spara" saves them and the program ends.
TEST(TypingAndSaving, LettersTypedRightBeforeCtrlQAreAskedAbout)
{
    if (!HasTools())
        GTEST_SKIP() << "no display, xdotool or ImageMagick";
    Session s;
    const std::string path = SaveTextProject(s.dir + "/hej.vtproj");
    TextFieldOpen open(s, path);
    ASSERT_TRUE(open.ready) << "the program did not show the project";
    ForgetAlert(s.rects);
    Shell("xdotool key --delay 0 " + LetterKeys("WW") + "ctrl+q");
    const std::string said = AlertText(s.rects, 8000 * kSlowdown);
    Shot("typed-then-quit");
    EXPECT_NE(said.find("Ändringar som inte sparats"), std::string::npos)
        << (open.program.Running() ? "no question: " + said : "the program ended unasked");
    if (said.empty())
        return;
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara"));
    EXPECT_EQ(open.program.Wait(15000 * kSlowdown), 0);
    EXPECT_EQ(FirstText(path), "HejWW");
}

namespace {

// A PNG standing in for a photograph (tests/support/make-pictures.py: a gradient with noise in
// every channel); "" when it could not be made.
std::string MakePhoto(const std::string& path, int width, int height)
{
    int status = -1;
    Shell("python3 " + Quote(std::string(VT_SOURCE_DIR) + "/tests/support/make-pictures.py")
            + " photo " + Quote(path) + " " + std::to_string(width) + " " + std::to_string(height)
            + " 255 160 0",
        &status);
    return status == 0 ? path : "";
}

// The photograph that is still being encoded when the keys are typed, so that the save, which
// waits for its PNG bytes, keeps its progress window up meanwhile.
constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;

// The project with the text, open with the keyboard in the text's field and the photograph
// just added, still being encoded (the test is skipped when it was encoded already: the save
// would not last).
class TypingDuringASave : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || Shell("command -v python3").empty())
            GTEST_SKIP() << "no display, xdotool, ImageMagick or python3";
        const std::string photo = MakePhoto(s.dir + "/foto.png", kPhotoWidth, kPhotoHeight);
        ASSERT_FALSE(photo.empty());
        path = SaveTextProject(s.dir + "/foto.vtproj");
        open = std::make_unique<TextFieldOpen>(s, path, photo);
        ASSERT_TRUE(open->ready) << "the program did not show the project";
        if (!HasThread(open->program.Pid(), "Bildkodning"))
            GTEST_SKIP() << "the photograph was encoded already: the save would not last";
    }
    Session s;
    std::string path;
    std::unique_ptr<TextFieldOpen> open;
};

} // namespace

// A letter, Ctrl+S, and ten keys typed at 12 ms while "Spara projekt" shows: the save holds the
// letter typed before it, and the ten keys reach the text afterwards, in order (a second Ctrl+S
// saves them).
TEST_F(TypingDuringASave, KeysTypedWhileASaveShowsItsProgressReachTheText)
{
    const ino_t before = FileNumber(path);
    const auto asked = Clock::now();
    Shell("xdotool key --delay 0 a ctrl+s");
    Shell("xdotool type --delay 12 bcdefghijk");
    const bool during = WindowShows("Spara projekt");
    Shot("keys-during-save");
    ASSERT_TRUE(WaitFor([&] { return FileNumber(path) != before; }, 60000 * kSlowdown, 20));
    WaitFor([] { return !WindowShows("Spara projekt"); }, 10000, 10);
    std::printf("the save's progress window showed for %lld ms\n", Ms(Clock::now() - asked));
    ASSERT_TRUE(during) << "the save ended before the keys were typed: nothing was tried";
    EXPECT_EQ(FirstText(path), "Heja");
    open->view.WaitSettled(open->xid);
    const ino_t first = FileNumber(path);
    Shell("xdotool key ctrl+s");
    EXPECT_TRUE(WaitFor([&] { return FileNumber(path) != first; }, 60000 * kSlowdown, 20))
        << "nothing left to save: the keys were lost";
    EXPECT_EQ(FirstText(path), "Hejabcdefghijk");
}

// A letter, Ctrl+S, and Ctrl+Q pressed while "Spara projekt" shows: the save ends whole, and then
// the program ends by itself (nothing changed since).
TEST_F(TypingDuringASave, CtrlQPressedDuringASaveIsCarriedOutWhenItEnds)
{
    Shell("xdotool key --delay 0 a ctrl+s");
    Shell("xdotool key ctrl+q");
    const bool during = WindowShows("Spara projekt");
    Shot("quit-during-save");
    ASSERT_TRUE(during) << "the save ended before Ctrl+Q: nothing was tried";
    EXPECT_EQ(open->program.Wait(60000 * kSlowdown), 0) << "the quit was dropped";
    EXPECT_EQ(FirstText(path), "Heja");
}

// Escape while "Spara projekt" shows stops the save (the file stays as it was). Then a save
// again, a letter and Ctrl+Q right after it: the save ends, and the quit asks about the letter;
// "Spara inte" ends the program with the file as the save left it.
TEST_F(TypingDuringASave, EscapeStopsASaveAndAQuitAfterAChangeAsks)
{
    const std::string before = TemporaryFolder::ReadFile(path);
    Shell("xdotool key --delay 0 a ctrl+s");
    Shell("xdotool key Escape");
    ASSERT_TRUE(WaitFor([] { return !WindowShows("Spara projekt"); }, 30000 * kSlowdown, 20));
    EXPECT_TRUE(TemporaryFolder::ReadFile(path) == before) << "the save was not stopped";
    EXPECT_TRUE(open->program.Running());

    open->view.WaitSettled(open->xid);
    ForgetAlert(s.rects);
    Shell("xdotool key ctrl+s");
    Shell("xdotool key --delay 0 b ctrl+q");
    const std::string said = AlertText(s.rects, 60000 * kSlowdown);
    Shot("quit-after-save-asks");
    EXPECT_NE(said.find("Ändringar som inte sparats"), std::string::npos) << said;
    EXPECT_EQ(FirstText(path), "Heja");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(open->program.Wait(15000 * kSlowdown), 0);
    EXPECT_EQ(FirstText(path), "Heja");
}
