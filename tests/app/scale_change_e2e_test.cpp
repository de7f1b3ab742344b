// A change of the desktop's scale while the program runs, as a desktop's display settings make
// it: xsettingsd serves Gdk/WindowScalingFactor to the built `vorantel`, 1 then 2, and 2 then 1.
// Its windows are laid out and painted again as fresh windows at the new scale, without being
// resized: the main window (a project with a picture chosen, so that "Bildegenskaper" shows) and
// the label-layout editor open over it are compared with the same windows of a program started
// afresh at the new scale, at the same size: the places of their parts (VT_TEST_RECTANGLES_FILE)
// are the same, and so are their pixels, the whole window's and those of the design tabs, the
// toolbar and the editor's page tabs and panels each. Both runs' screenshots and where they
// differ are kept in <build>/test-artefacts (scale-change-*.png). "Om Vorantel" is laid out
// again too, and compared with a fresh box the same way; the tip a new project shows below the
// toolbar's "Infogatext" follows its item to where a fresh window at the new scale shows it. The
// tests run on a screen of 2560 x 1440 of their own.
// VT_WINDOW_MANAGER: runs again under openbox.
#include "lfw/gen/LUserSettings.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

using namespace e2e;

namespace {

constexpr int kOk = 0x6f6b2020; // 'ok  '
const std::string kAbout = "Om Vorantel", kPreview = "Förhandsgranska";

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

// What the windows look like: the places of their parts and their pixels.
struct Look {
    std::map<std::string, XRect> parts;
    XRect window;
    std::vector<uint32_t> pixels;
};

// The pixels of a and b (the same size) inside the region (pixels of the window) that differ by
// more than a shade in a colour, drawn in red on b's pixels dimmed (the others left as they
// are); their count.
size_t Differences(const Look& a, const Look& b, const XRect& region, std::vector<uint32_t>& marked)
{
    size_t count = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        const uint32_t p = a.pixels[i], q = b.pixels[i];
        const int x = int(i % size_t(b.window.width)), y = int(i / size_t(b.window.width));
        if (x < region.x || x >= region.Right() || y < region.y || y >= region.Bottom())
            continue;
        bool differs = false;
        for (int shift : { 0, 8, 16 })
            differs = differs || std::abs(int((p >> shift) & 0xff) - int((q >> shift) & 0xff)) > 24;
        marked[i] = differs ? 0xff0000 : (q >> 2) & 0x3f3f3f;
        count += differs;
    }
    return count;
}

// Saves pixels of the window's size as a PNG beside the screenshots.
void SavePixels(const std::vector<uint32_t>& pixels, const XRect& r, const std::string& name)
{
    const std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts";
    mkdir(dir.c_str(), 0755);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.width, r.height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = pixels[size_t(y) * r.width + x];
    cairo_surface_mark_dirty(s);
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    cairo_surface_write_to_png(
        s, (dir + "/" + name + (wm && std::string(wm) == "1" ? "-wm" : "") + ".png").c_str());
    cairo_surface_destroy(s);
}

// True on the test's own screen of 2560 x 1440, where the test goes on (RunOnScreen); the scale
// comes from the desktop's settings there, not from the environment.
bool OnOwnScreen()
{
    if (!ownscreen::RunOnScreen("2560x1440"))
        return false;
    unsetenv("GDK_SCALE");
    return true;
}

class ScaleChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        if (Shell("command -v xsettingsd").empty())
            FAIL() << "xsettingsd is not installed (scripts/setup.sh --tests installs it)";
    }

    void TearDown() override
    {
        program.reset();
        if (settings > 0) {
            ::kill(settings, SIGTERM);
            WaitFor([&] { return ::kill(settings, 0) != 0; }, 5000);
        }
    }

    // xsettingsd serves the scale, or the text's resolution in dots per inch (Xft/DPI, which a
    // desktop's text scaling changes); true once the display has it.
    bool ServeScale(int scale)
    {
        return Serve("Gdk/WindowScalingFactor " + std::to_string(scale) + "\n");
    }
    bool ServeDpi(int dpi) { return Serve("Xft/DPI " + std::to_string(dpi * 1024) + "\n"); }

    // xsettingsd serves the settings (started on the first call, told to read its file again
    // afterwards).
    bool Serve(const std::string& settingsText)
    {
        s.Write("xsettingsd.conf", settingsText);
        if (settings <= 0) {
            const std::string pid = Shell("xsettingsd -c " + Quote(s.dir + "/xsettingsd.conf")
                + " >/dev/null 2>&1 & echo $!");
            settings = pid.empty() ? 0 : pid_t(std::stol(pid));
            return settings > 0
                && WaitFor([&] { return x.SelectionOwned("_XSETTINGS_S0"); }, 5000, 50);
        }
        return ::kill(settings, SIGHUP) == 0;
    }

    // A fresh copy of the sample project and a picture to add to it.
    std::vector<std::string> Arguments()
    {
        const std::string project = s.dir + "/skiva.vtproj";
        Shell("cp " + Quote(std::string(VT_TEST_DATA) + "/vtproj/regression.vtproj") + " "
            + Quote(project));
        const std::string picture = s.dir + "/bild.png";
        Shell("cp " + Quote(std::string(VT_TEST_DATA) + "/images/base.png") + " " + Quote(picture));
        return { "-open", project, "-addimage", picture };
    }

    // The program with the sample project and a picture, or with the arguments given.
    unsigned long Start(std::vector<std::string> args = {})
    {
        unlink(s.rects.c_str());
        program = std::make_unique<Program>(
            args.empty() ? Arguments() : std::move(args), s.Capture("vorantel"));
        const unsigned long xid = WaitMainWindow(20000);
        if (xid != 0)
            WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000);
        return xid;
    }

    void Quit(unsigned long xid)
    {
        EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0);
        program.reset();
    }

    XRect Settled(unsigned long xid) { return x.RestingRect(xid, false, 300, 8000); }

    // The window at the screen's top left corner, made that large first when it may be (which
    // lays it out afresh) or left at the size it has; its look once the places the rectangle
    // file names (the main window's bars, viewer, canvas and design tabs) or its controls (a
    // dialog's) have come to rest.
    Look LookAt(unsigned long xid, int width, int height, bool dialog, bool resize)
    {
        // The pointer in the screen's corner, away from the window: nothing shows hovered.
        const XRect screen = x.Screen();
        const std::string away = " mousemove " + std::to_string(screen.Right() - 1) + " "
            + std::to_string(screen.Bottom() - 1);
        Look look;
        // A window as large as the work area may have been maximised by the window manager.
        x.SetMaximized(xid, false);
        WaitFor(
            [&] {
                const XRect now = Settled(xid);
                XRect outer;
                const bool placed = x.OuterFrame(xid, outer) && outer.x == 0 && outer.y == 0;
                if (placed && (!resize || (now.width == width && now.height == height)))
                    return true;
                Shell("xdotool "
                    + (resize ? "windowsize " + std::to_string(xid) + " " + std::to_string(width)
                                + " " + std::to_string(height) + " "
                              : "")
                    + "windowmove " + std::to_string(xid) + " 0 0" + away + " 2>/dev/null");
                return false;
            },
            15000, 100);
        auto read = [&] {
            std::map<std::string, XRect> parts;
            if (dialog) {
                for (const auto& [id, r] : DialogControls(s.rects, xid))
                    parts["control-" + std::to_string(id)] = r;
                return parts;
            }
            // The toolbar places its buttons as it paints: they are compared by their pixels.
            for (const auto& [name, r] : Rectangles<XRect>(s.rects))
                if (name.rfind("tool-", 0) != 0)
                    parts[name] = r;
            return parts;
        };
        // The places are written after each layout: the same for 400 ms on end (looked at
        // often) is the last one.
        auto same = [](const std::map<std::string, XRect>& a,
                        const std::map<std::string, XRect>& b) {
            return a.size() == b.size()
                && std::equal(a.begin(), a.end(), b.begin(), [](const auto& p, const auto& q) {
                       return p.first == q.first && p.second.x == q.second.x
                           && p.second.y == q.second.y && p.second.width == q.second.width
                           && p.second.height == q.second.height;
                   });
        };
        look.parts = read();
        auto since = Clock::now();
        WaitFor(
            [&] {
                std::map<std::string, XRect> now = read();
                if (!same(now, look.parts)) {
                    look.parts = std::move(now);
                    since = Clock::now();
                }
                return !look.parts.empty()
                    && Clock::now() - since >= std::chrono::milliseconds(400);
            },
            8000, 50);
        x.WindowRect(xid, look.window);
        look.pixels = x.Pixels(look.window);
        return look;
    }

    // The rescaled look against the fresh one: parts in the same places, pixels the same, the
    // whole window's and those of each region (pixels of the window) named; a few may differ
    // where antialiasing rounds otherwise.
    void ExpectSameLook(const Look& rescaled, const Look& fresh, const std::string& name,
        const std::map<std::string, XRect>& regions, size_t fewPerThousand = 1)
    {
        SavePixels(rescaled.pixels, rescaled.window, "scale-change-" + name + "-rescaled");
        SavePixels(fresh.pixels, fresh.window, "scale-change-" + name + "-fresh");
        ASSERT_EQ(rescaled.window.width, fresh.window.width) << name;
        ASSERT_EQ(rescaled.window.height, fresh.window.height) << name;
        std::ostringstream moved;
        for (const auto& [part, r] : fresh.parts) {
            auto it = rescaled.parts.find(part);
            if (it == rescaled.parts.end())
                moved << part << " missing; ";
            else if (it->second.x != r.x || it->second.y != r.y || it->second.width != r.width
                || it->second.height != r.height)
                moved << part << " " << Text(it->second) << " (fresh " << Text(r) << "); ";
        }
        for (const auto& [part, r] : rescaled.parts)
            if (!fresh.parts.count(part))
                moved << part << " " << Text(r) << " (not in the fresh window); ";
        EXPECT_EQ(moved.str(), "") << name;
        std::vector<uint32_t> marked = fresh.pixels;
        std::map<std::string, XRect> all = regions;
        all["window"] = XRect { 0, 0, fresh.window.width, fresh.window.height };
        for (const auto& [part, r] : all) {
            ASSERT_GT(r.width, 0) << name << " " << part;
            ASSERT_GT(r.height, 0) << name << " " << part;
            const size_t differing = Differences(rescaled, fresh, r, marked);
            if (part == "window")
                std::cout << name << ": " << differing << " pixels of the window's "
                          << size_t(r.width) * size_t(r.height) << " differ" << std::endl;
            EXPECT_LE(differing, size_t(r.width) * size_t(r.height) * fewPerThousand / 1000)
                << name << ", " << part << " " << Text(r) << ": " << differing << " pixels differ";
        }
        SavePixels(marked, fresh.window, "scale-change-" + name + "-differences");
    }

    // The regions of the main window compared by their pixels: the toolbar (with its tabs), the
    // design tabs and the panels' column, in pixels of the window.
    static std::map<std::string, XRect> MainRegions(const Look& look)
    {
        auto part = [&](const char* name) {
            XRect r = look.parts.count(name) ? look.parts.at(name) : XRect {};
            r.x -= look.window.x;
            r.y -= look.window.y;
            return r;
        };
        const XRect client = part("client"), viewer = part("viewer"), canvas = part("canvas");
        return { { "toolbar", XRect { client.x, client.y, client.width, viewer.y - client.y } },
            { "design tabs", part("tabstrip") },
            { "panels",
                XRect {
                    canvas.Right(), viewer.y, viewer.Right() - canvas.Right(), viewer.height } } };
    }

    // The label-layout editor's: its toolbar, its page tabs and its panels' column beside them.
    static std::map<std::string, XRect> EditorRegions(const Look& look)
    {
        auto part = [&](const char* name) {
            return look.parts.count(name) ? look.parts.at(name) : XRect {};
        };
        const XRect tabs = part("control-1009"), viewer = part("control-1013");
        return { { "toolbar", XRect { 0, 0, look.window.width, tabs.y } }, { "page tabs", tabs },
            { "panels",
                XRect { viewer.Right(), tabs.y, look.window.width - viewer.Right(),
                    viewer.Bottom() - tabs.y } } };
    }

    // Opens the label-layout editor over the main window (through the warning before it).
    unsigned long OpenEditor(unsigned long xid)
    {
        // What an editor or alert of an earlier start wrote is not taken for this one's.
        unlink((s.rects + ".dialog").c_str());
        ForgetAlert(s.rects);
        KeysTo(xid, "ctrl+e");
        EXPECT_NE(AlertText(s.rects), "") << "no warning before the editor";
        Keys("Return");
        const unsigned long editor = WaitDialogWindow(s.rects, "Redigera etikettlayout");
        EXPECT_NE(editor, 0u);
        if (editor)
            Settled(editor);
        return editor;
    }

    // Opens "Om Vorantel" (the first item of the first menu) or the print preview (Ctrl+P) over
    // the main window; its window once it is laid out.
    unsigned long OpenDialog(unsigned long xid, const std::string& title)
    {
        unlink((s.rects + ".dialog").c_str());
        KeysTo(xid, title == kAbout ? "F10 Down Return" : "ctrl+p");
        const unsigned long dialog = WaitDialogWindow(s.rects, title);
        EXPECT_NE(dialog, 0u) << "no " << title;
        if (dialog)
            Settled(dialog);
        return dialog;
    }

    // A new project's main window (in xid) with that dialog opened over it (OpenDialog): the
    // dialog's window, 0 when either did not show.
    unsigned long StartWith(const std::string& title, unsigned long& xid)
    {
        xid = Start({ "-new", "cd" });
        EXPECT_NE(xid, 0u) << "no main window";
        return xid ? OpenDialog(xid, title) : 0;
    }

    // Closes the dialog of that title with Escape.
    void CloseDialog(const std::string& title)
    {
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows(title); }, 5000, 100));
    }

    // The place of the tip that shows (a window of the toolkit's tip type, viewable), in
    // pixels of the window, and its pixels once painted; false when none shows.
    bool TipPlace(unsigned long xid, XRect& place, std::vector<uint32_t>* pixels = nullptr)
    {
        XRect w;
        if (!x.WindowRect(xid, w))
            return false;
        std::istringstream ids(
            Shell("xwininfo -root -children 2>/dev/null | grep -o '^ *0x[0-9a-f]*'"));
        std::string id;
        while (ids >> id) {
            if (Shell("xprop -id " + id + " _NET_WM_WINDOW_TYPE 2>/dev/null").find("TOOLTIP")
                    == std::string::npos
                || Shell("xwininfo -id " + id + " 2>/dev/null").find("IsViewable")
                    == std::string::npos)
                continue;
            XRect tip;
            if (!x.WindowRect(std::stoul(id, nullptr, 16), tip))
                continue;
            // Once it is painted: the same pixels for 200 ms on end.
            std::vector<uint32_t> last = x.Pixels(tip);
            auto since = Clock::now();
            WaitFor(
                [&] {
                    std::vector<uint32_t> now = x.Pixels(tip);
                    if (now != last) {
                        last = std::move(now);
                        since = Clock::now();
                    }
                    return Clock::now() - since >= std::chrono::milliseconds(200);
                },
                2000, 20);
            place = XRect { tip.x - w.x, tip.y - w.y, tip.width, tip.height };
            if (pixels)
                *pixels = std::move(last);
            return true;
        }
        return false;
    }

    // Serves the new scale to the program while the editor is open over the main window, and
    // waits until the editor has laid its buttons out anew; both windows then stay on the
    // screen. A screenshot of the screen is kept.
    void ChangeScale(unsigned long xid, unsigned long editor, int from, int to)
    {
        const XRect ok = DialogControls(s.rects, editor)[kOk];
        ASSERT_GT(ok.height, 0);
        ASSERT_TRUE(ServeScale(to));
        EXPECT_TRUE(WaitFor(
            [&] {
                const XRect now = DialogControls(s.rects, editor)[kOk];
                return std::abs(now.height * from - ok.height * to) <= 2 * std::max(from, to);
            },
            15000, 100))
            << "the editor stayed as it was";
        Settled(xid);
        Settled(editor);
        for (unsigned long w : { xid, editor }) {
            XRect outer;
            EXPECT_TRUE(x.OuterFrame(w, outer) && outer.Inside(x.WorkArea()))
                << "window " << Text(outer) << " in the work area " << Text(x.WorkArea());
        }
        SaveScreenPng(
            x, x.Screen(), "scale-change-" + std::to_string(from) + "-to-" + std::to_string(to));
    }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
    pid_t settings = 0;
};

// The windows' sizes in points at the scale of 1: at 2 neither fits the screen of 2560 x 1440,
// and both are fitted to its work area, made lower.
constexpr int kMainWidth = 1200, kMainHeight = 760, kEditorWidth = 950, kEditorHeight = 760;

} // namespace

TEST_F(ScaleChange, WindowsAreLaidOutAsFreshOnes)
{
    if (!OnOwnScreen())
        return;

    // From 1 to 2: the windows are given their sizes at 1 and are not resized by the test after
    // the change (only moved to the screen's corner).
    ASSERT_TRUE(ServeScale(1)) << "xsettingsd did not take the display";
    unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    LookAt(xid, kMainWidth, kMainHeight, false, true);
    unsigned long editor = OpenEditor(xid);
    ASSERT_NE(editor, 0u);
    LookAt(editor, kEditorWidth, kEditorHeight, true, true);
    ChangeScale(xid, editor, 1, 2);
    const Look editorTo2 = LookAt(editor, 0, 0, true, false);
    CloseDialog("Redigera etikettlayout");
    const Look mainTo2 = LookAt(xid, 0, 0, false, false);
    Quit(xid);

    // At 2 from the start, at the sizes the change left; then from 2 to 1.
    xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    const Look mainAt2 = LookAt(xid, mainTo2.window.width, mainTo2.window.height, false, true);
    editor = OpenEditor(xid);
    ASSERT_NE(editor, 0u);
    const Look editorAt2
        = LookAt(editor, editorTo2.window.width, editorTo2.window.height, true, true);
    ChangeScale(xid, editor, 2, 1);
    const Look editorTo1 = LookAt(editor, 0, 0, true, false);
    CloseDialog("Redigera etikettlayout");
    const Look mainTo1 = LookAt(xid, 0, 0, false, false);
    Quit(xid);

    // At 1 from the start.
    ASSERT_TRUE(ServeScale(1));
    xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    const Look mainAt1 = LookAt(xid, mainTo1.window.width, mainTo1.window.height, false, true);
    editor = OpenEditor(xid);
    ASSERT_NE(editor, 0u);
    const Look editorAt1
        = LookAt(editor, editorTo1.window.width, editorTo1.window.height, true, true);
    CloseDialog("Redigera etikettlayout");
    Quit(xid);

    // The change made the windows lower at 2.
    EXPECT_LT(mainTo2.window.height, 2 * kMainHeight);
    EXPECT_LT(editorTo2.window.height, 2 * kEditorHeight);
    ExpectSameLook(mainTo2, mainAt2, "main-1-to-2", MainRegions(mainAt2));
    ExpectSameLook(editorTo2, editorAt2, "editor-1-to-2", EditorRegions(editorAt2));
    ExpectSameLook(mainTo1, mainAt1, "main-2-to-1", MainRegions(mainAt1));
    ExpectSameLook(editorTo1, editorAt1, "editor-2-to-1", EditorRegions(editorAt1));
}

// "Om Vorantel" open over the main window: after 1 -> 2 its look is that of a box opened afresh
// at 2, and after 2 -> 1 again that of a fresh box at 1 (its size, the places of its controls,
// its pixels).
TEST_F(ScaleChange, AboutBoxIsLaidOutAsAFreshOne)
{
    if (!OnOwnScreen())
        return;
    ASSERT_TRUE(ServeScale(1)) << "xsettingsd did not take the display";
    unsigned long xid = 0;
    unsigned long about = StartWith(kAbout, xid);
    ASSERT_NE(about, 0u);
    const Look at1 = LookAt(about, 0, 0, true, false);
    // The box is laid out anew at each change: its controls take other places.
    auto changeTo = [&](int scale) {
        const auto before = DialogControls(s.rects, about);
        ASSERT_TRUE(ServeScale(scale));
        EXPECT_TRUE(WaitFor(
            [&] {
                const auto now = DialogControls(s.rects, about);
                return !now.empty() && now.begin()->second.width != before.begin()->second.width;
            },
            15000, 100))
            << "the about box stayed as it was at " << scale;
        Settled(about);
        SaveScreenPng(x, x.Screen(), "scale-change-about-to-" + std::to_string(scale));
    };
    changeTo(2);
    const Look to2 = LookAt(about, 0, 0, true, false);
    changeTo(1);
    const Look to1 = LookAt(about, 0, 0, true, false);
    CloseDialog(kAbout);
    Quit(xid);

    ASSERT_TRUE(ServeScale(2));
    about = StartWith(kAbout, xid);
    ASSERT_NE(about, 0u);
    const Look at2 = LookAt(about, 0, 0, true, false);
    CloseDialog(kAbout);
    Quit(xid);

    // A fresh box at 2 is the one at 1 twice as large, its controls in the same places in
    // points (but for the rounding of places taken from the character cell at each scale).
    EXPECT_EQ(at2.window.width, 2 * at1.window.width);
    EXPECT_EQ(at2.window.height, 2 * at1.window.height);
    std::ostringstream moved;
    for (const auto& [part, r] : at1.parts) {
        const XRect q = at2.parts.count(part) ? at2.parts.at(part) : XRect {};
        if (std::abs(q.x - 2 * r.x) > 3 || std::abs(q.y - 2 * r.y) > 3
            || std::abs(q.width - 2 * r.width) > 3 || std::abs(q.height - 2 * r.height) > 3)
            moved << part << " " << Text(q) << " (at 1 " << Text(r) << "); ";
    }
    EXPECT_EQ(moved.str(), "");
    ExpectSameLook(to2, at2, "about-1-to-2", {});
    ExpectSameLook(to1, at1, "about-2-to-1", {});
}

// The print preview open across 1 -> 2 is painted whole at once: its page, its column of panels
// and its button row look as those of a preview opened at 2 at the same size.
TEST_F(ScaleChange, PrintPreviewIsPaintedWhole)
{
    if (!OnOwnScreen())
        return;
    ASSERT_TRUE(ServeScale(1)) << "xsettingsd did not take the display";
    unsigned long xid = 0;
    unsigned long preview = StartWith(kPreview, xid);
    ASSERT_NE(preview, 0u);
    LookAt(preview, 0, 0, true, false);
    const XRect ok = DialogControls(s.rects, preview)[kOk];
    ASSERT_GT(ok.height, 0);
    ASSERT_TRUE(ServeScale(2));
    EXPECT_TRUE(WaitFor(
        [&] { return std::abs(DialogControls(s.rects, preview)[kOk].height - 2 * ok.height) <= 4; },
        15000, 100))
        << "the preview stayed as it was";
    Settled(preview);
    const Look to2 = LookAt(preview, 0, 0, true, false);
    SaveScreenPng(x, x.Screen(), "scale-change-preview-1-to-2");
    CloseDialog(kPreview);
    Quit(xid);

    preview = StartWith(kPreview, xid);
    ASSERT_NE(preview, 0u);
    const Look at2 = LookAt(preview, to2.window.width, to2.window.height, true, true);
    CloseDialog(kPreview);
    Quit(xid);

    // The column of panels right of the page (from the first panel's title bar), and the row of
    // buttons below them.
    const XRect panel = at2.parts.count("control-1001") ? at2.parts.at("control-1001") : XRect {};
    const XRect button = at2.parts.count("control-" + std::to_string(kOk))
        ? at2.parts.at("control-" + std::to_string(kOk))
        : XRect {};
    // A few more pixels may differ than elsewhere: GTK draws the focus ring of the panels' check
    // box no more once the scale has changed (about 1,100 pixels at 2), although the check box
    // keeps the focus and the window shows where the focus is.
    ExpectSameLook(to2, at2, "preview-1-to-2",
        { { "panels", XRect { panel.x, 0, at2.window.width - panel.x, button.y } },
            { "buttons", XRect { 0, button.y, at2.window.width, at2.window.height - button.y } } },
        5);
}

// A new project shows a tip below the toolbar's "Infogatext": changed from 1 to 2 while it shows,
// it goes with its item, to where a window started at 2 shows it.
TEST_F(ScaleChange, TipFollowsItsItem)
{
    if (!OnOwnScreen())
        return;
    const std::vector<std::string> project { "-new", "cd" };
    ASSERT_TRUE(ServeScale(2)) << "xsettingsd did not take the display";
    unsigned long xid = Start(project);
    ASSERT_NE(xid, 0u);
    XRect fresh;
    std::vector<uint32_t> freshPixels;
    ASSERT_TRUE(WaitFor([&] { return TipPlace(xid, fresh, &freshPixels); }, 8000, 50))
        << "no tip at 2";
    SaveScreenPng(x, x.Screen(), "scale-change-tip-at-2");
    Quit(xid);

    ASSERT_TRUE(ServeScale(1));
    xid = Start(project);
    ASSERT_NE(xid, 0u);
    XRect before;
    ASSERT_TRUE(WaitFor([&] { return TipPlace(xid, before); }, 8000, 50)) << "no tip at 1";
    // The tip shows for ten seconds: the change comes at once.
    ASSERT_TRUE(ServeScale(2));
    // It stands where the fresh one stands, painted whole as the fresh one (its text, its box):
    // a few pixels may differ where antialiasing rounds otherwise.
    XRect after;
    std::vector<uint32_t> afterPixels;
    size_t differing = 0;
    auto painted = [&] {
        if (afterPixels.size() != freshPixels.size())
            return false;
        differing = 0;
        for (size_t i = 0; i < afterPixels.size(); ++i)
            for (int shift : { 0, 8, 16 })
                if (std::abs(int((afterPixels[i] >> shift) & 0xff)
                        - int((freshPixels[i] >> shift) & 0xff))
                    > 24) {
                    ++differing;
                    break;
                }
        return differing <= afterPixels.size() / 100;
    };
    bool placed = false;
    const bool followed = WaitFor(
        [&] {
            placed = TipPlace(xid, after, &afterPixels) && std::abs(after.x - fresh.x) <= 2
                && std::abs(after.y - fresh.y) <= 2 && after.width == fresh.width;
            return placed && painted();
        },
        8000, 50);
    SaveScreenPng(x, x.Screen(), "scale-change-tip-1-to-2");
    EXPECT_TRUE(placed) << "the tip stands at " << Text(after) << " of the window (at 1 "
                        << Text(before) << "), a fresh window's at " << Text(fresh);
    EXPECT_TRUE(followed) << differing << " of the tip's " << afterPixels.size()
                          << " pixels differ from the fresh one's";
    Quit(xid);
}

// --- the desktop's text size ---------------------------------------------------------------------

// The print preview open over the main window while the desktop's text goes from 96 to 192 dots
// per inch (Xft/DPI, as a desktop's text scaling changes it): the preview, the main window and a
// preview opened afterwards look as those of a program started at 192, at the same sizes (their
// parts in the same places, their pixels the same).
TEST_F(ScaleChange, TextSizeChangeLaysWindowsOutAsFreshOnes)
{
    if (!OnOwnScreen())
        return;
    ASSERT_TRUE(ServeDpi(96)) << "xsettingsd did not take the display";
    unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    LookAt(xid, kMainWidth, kMainHeight, false, true);
    unsigned long preview = OpenDialog(xid, kPreview);
    ASSERT_NE(preview, 0u);
    LookAt(preview, 0, 0, true, false);
    const XRect ok = DialogControls(s.rects, preview)[kOk];
    ASSERT_GT(ok.height, 0);
    ASSERT_TRUE(ServeDpi(192));
    EXPECT_TRUE(
        WaitFor([&] { return DialogControls(s.rects, preview)[kOk].height >= ok.height * 17 / 10; },
            15000, 100))
        << "the preview stayed as it was";
    Settled(preview);
    SaveScreenPng(x, x.Screen(), "text-size-change-96-to-192");
    const Look changed = LookAt(preview, 0, 0, true, false);
    CloseDialog(kPreview);
    const Look mainChanged = LookAt(xid, 0, 0, false, false);
    preview = OpenDialog(xid, kPreview);
    ASSERT_NE(preview, 0u);
    const Look reopened = LookAt(preview, changed.window.width, changed.window.height, true, true);
    CloseDialog(kPreview);
    Quit(xid);

    // At 192 from the start.
    xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    const Look mainFresh
        = LookAt(xid, mainChanged.window.width, mainChanged.window.height, false, true);
    preview = OpenDialog(xid, kPreview);
    ASSERT_NE(preview, 0u);
    const Look fresh = LookAt(preview, changed.window.width, changed.window.height, true, true);
    CloseDialog(kPreview);
    Quit(xid);

    const XRect panel
        = fresh.parts.count("control-1001") ? fresh.parts.at("control-1001") : XRect {};
    const XRect button = fresh.parts.count("control-" + std::to_string(kOk))
        ? fresh.parts.at("control-" + std::to_string(kOk))
        : XRect {};
    const std::map<std::string, XRect> regions {
        { "panels", XRect { panel.x, 0, fresh.window.width - panel.x, button.y } },
        { "buttons", XRect { 0, button.y, fresh.window.width, fresh.window.height - button.y } }
    };
    // A few more pixels may differ than elsewhere: GTK places the text of a number field made
    // before the change some pixels higher than in one made at the new resolution (about 4,200
    // pixels here), in the same font and the field in the same place.
    ExpectSameLook(changed, fresh, "text-preview-96-to-192", regions, 9);
    ExpectSameLook(reopened, fresh, "text-preview-opened-after", regions, 5);
    ExpectSameLook(mainChanged, mainFresh, "text-main-96-to-192", MainRegions(mainFresh));
}

namespace {

// The heights of the runs of rows that hold text in the region (pixels of the window), from the
// top: a row holds text where it has a dark pixel (light ones for light text on a dark bar).
// Lines down the region (borders, separators) are left out.
std::vector<int> TextRows(const Look& look, XRect r, bool light = false)
{
    r.width = std::min(r.width, look.window.width - r.x);
    r.height = std::min(r.height, look.window.height - r.y);
    if (r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0)
        return {};
    auto ink = [&](int x, int y) {
        const uint32_t p
            = look.pixels[size_t(r.y + y) * size_t(look.window.width) + size_t(r.x + x)];
        const int luma
            = (299 * int((p >> 16) & 255) + 587 * int((p >> 8) & 255) + 114 * int(p & 255)) / 1000;
        return light ? luma > 220 : luma < 100;
    };
    std::vector<bool> line(size_t(r.width));
    for (int x = 0; x < r.width; ++x) {
        int n = 0;
        for (int y = 0; y < r.height; ++y)
            n += ink(x, y);
        line[size_t(x)] = n * 10 >= r.height * 9;
    }
    std::vector<int> runs;
    int run = 0;
    for (int y = 0; y <= r.height; ++y) {
        int n = 0, columns = 0;
        for (int x = 0; y < r.height && x < r.width; ++x)
            if (!line[size_t(x)]) {
                ++columns;
                n += ink(x, y);
            }
        if (n > 0 && n * 10 < columns * 9) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    return runs;
}

int Tallest(const std::vector<int>& runs)
{
    return runs.empty() ? 0 : *std::max_element(runs.begin(), runs.end());
}

} // namespace

// The painted controls' texts at a larger text from the start (GDK_DPI_SCALE 2.0, Xft/DPI 192)
// are as much larger as the rest of the interface's: the toolbar's tab names and labels, the
// design tabs, the panels' title bars, the welcome dialog's choices, the label-layout editor's
// toolbar labels and page tabs. Each is measured on the screen, the height of its text in pixels.
TEST_F(ScaleChange, PaintedTextsFollowTheTextSize)
{
    if (!OnOwnScreen())
        return;
    struct Setting {
        const char* name;
        int dpi;
        const char* dpiScale;
    };
    const Setting settings[] = { { "1.0", 96, "1.0" }, { "GDK_DPI_SCALE 2.0", 96, "2.0" },
        { "Xft/DPI 192", 192, "1.0" } };
    std::map<std::string, std::map<std::string, int>> heights;
    for (const Setting& setting : settings) {
        ASSERT_TRUE(ServeDpi(setting.dpi)) << "xsettingsd did not take the display";
        s.Set("GDK_DPI_SCALE", setting.dpiScale);
        std::map<std::string, int>& h = heights[setting.name];
        const std::string shot
            = std::string("text-size-") + (setting.dpi == 192 ? "xft-192" : setting.dpiScale);

        // The welcome dialog of a start without a project.
        LUserSettingSetString("Settings", "WelcomeDialogShow", "1");
        unlink((s.rects + ".dialog").c_str());
        program = std::make_unique<Program>(std::vector<std::string> {}, s.Capture("vorantel"));
        const unsigned long welcome = WaitDialogWindow(s.rects, "Välkommen till Vorantel", 20000);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        ASSERT_NE(welcome, 0u);
        Look choices = LookAt(welcome, 0, 0, true, false);
        SaveScreenPng(x, x.Screen(), shot + "-welcome");
        for (int id : { 200, 201, 202 })
            h["welcome choice " + std::to_string(id - 199)]
                = Tallest(TextRows(choices, choices.parts["control-" + std::to_string(id)]));
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows("Välkommen till Vorantel"); }, 5000, 100));
        Quit(WaitMainWindow(20000));

        // The main window of a project, and the label-layout editor over it.
        unsigned long xid = Start();
        ASSERT_NE(xid, 0u);
        Settled(xid);
        const Look main = LookAt(xid, 0, 0, false, false);
        SaveScreenPng(x, x.Screen(), shot + "-main");
        // The toolbar's buttons are not in the window's own list (they are placed as it paints);
        // the rectangle file has them.
        std::map<std::string, XRect> parts = main.parts;
        parts.merge(Rectangles<XRect>(s.rects));
        auto part = [&](const std::string& name) {
            XRect r = parts.count(name) ? parts.at(name) : XRect {};
            r.x -= main.window.x;
            r.y -= main.window.y;
            return r;
        };
        const XRect client = part("client"), item = part("tool-1005"), canvas = part("canvas"),
                    viewer = part("viewer"), strip = part("tabstrip");
        // The tabs' names above the buttons, left of the share bar; a button's label below its
        // icon; the first panel's title bar beside the design tabs.
        h["toolbar tabs"] = Tallest(
            TextRows(main, XRect { client.x, client.y, client.width / 2, item.y - client.y }));
        const std::vector<int> label = TextRows(main, item);
        h["toolbar label"] = label.empty() ? 0 : label.back();
        h["design tab"] = Tallest(TextRows(main, part("designtab-0")));
        h["panel title"] = Tallest(TextRows(main,
            XRect { canvas.Right(), viewer.y + 1, viewer.Right() - canvas.Right(),
                strip.height * 3 / 4 },
            true));
        const unsigned long editor = OpenEditor(xid);
        ASSERT_NE(editor, 0u);
        Look edit = LookAt(editor, 0, 0, true, false);
        SaveScreenPng(x, x.Screen(), shot + "-editor");
        const XRect tabs = edit.parts["control-1009"];
        const std::vector<int> labels
            = TextRows(edit, XRect { 0, 0, edit.window.width / 2, tabs.y });
        h["editor toolbar label"] = labels.empty() ? 0 : labels.back();
        h["editor page tab"] = Tallest(TextRows(edit, tabs));
        CloseDialog("Redigera etikettlayout");
        Quit(xid);
    }
    s.Set("GDK_DPI_SCALE", "1.0");

    for (const auto& [name, h] : heights) {
        std::cout << "text heights at " << name << ":";
        for (const auto& [control, height] : h)
            std::cout << " " << control << " " << height << ";";
        std::cout << std::endl;
    }
    // Twice the text: each text at least 1.6 times as high (the glyphs' pixels round).
    for (const char* larger : { "GDK_DPI_SCALE 2.0", "Xft/DPI 192" })
        for (const auto& [control, height] : heights["1.0"]) {
            EXPECT_GT(height, 4) << control << " at 1.0";
            EXPECT_GE(heights[larger][control] * 10, height * 16)
                << control << " at " << larger << ": " << heights[larger][control]
                << " pixels, at 1.0 " << height;
        }
}
