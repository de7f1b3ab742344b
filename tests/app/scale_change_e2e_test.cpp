// A change of the desktop's scale while the program runs, as a desktop's display settings make
// it: xsettingsd serves Gdk/WindowScalingFactor 1 to the built `vorantel`, then 2. Its windows
// are laid out and painted again as fresh windows at that scale: the main window (a project with
// a picture chosen, so that "Bildegenskaper" shows) and the label-layout editor open over it are
// compared with the same windows of a program started afresh at a scale of 2, at the same size:
// the places of their parts (VT_TEST_RECTANGLES_FILE) are the same and their pixels are too.
// Both runs' screenshots and where they differ are kept in <build>/test-artefacts
// (scale-change-*.png). The test runs on a screen of 2560 x 1440 of its own.
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

// The pixels of a and b (the same size) that differ by more than a shade in a colour, outside
// the rectangle left out, drawn in red on b's pixels dimmed; their count.
size_t Differences(
    const Look& a, const Look& b, const XRect& leftOut, std::vector<uint32_t>& marked)
{
    size_t count = 0;
    marked = b.pixels;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        const uint32_t p = a.pixels[i], q = b.pixels[i];
        const int x = int(i % size_t(b.window.width)), y = int(i / size_t(b.window.width));
        if (x >= leftOut.x && x < leftOut.Right() && y >= leftOut.y && y < leftOut.Bottom())
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

class ScaleChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        if (Shell("command -v xsettingsd").empty())
            GTEST_SKIP() << "xsettingsd is not installed (scripts/setup.sh --tests installs it)";
    }

    void TearDown() override
    {
        program.reset();
        if (settings > 0) {
            ::kill(settings, SIGTERM);
            WaitFor([&] { return ::kill(settings, 0) != 0; }, 5000);
        }
    }

    // xsettingsd serves the scale (started on the first call, told to read its file again
    // afterwards); true once the display has it.
    bool ServeScale(int scale)
    {
        s.Write("xsettingsd.conf", "Gdk/WindowScalingFactor " + std::to_string(scale) + "\n");
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

    unsigned long Start()
    {
        unlink(s.rects.c_str());
        program = std::make_unique<Program>(Arguments(), s.Capture("vorantel"));
        const unsigned long xid = WaitMainWindow(20000);
        if (xid != 0)
            WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000);
        return xid;
    }

    void Quit(unsigned long xid)
    {
        KeysTo(xid, "ctrl+q");
        ClickAlertButton(s.rects, "Spara_inte", 3000);
        EXPECT_EQ(program->Wait(10000), 0);
        program.reset();
    }

    XRect Settled(unsigned long xid)
    {
        XRect last, now;
        WaitFor(
            [&] {
                Sleep(300);
                x.WindowRect(xid, now);
                const bool same = now.width == last.width && now.height == last.height
                    && now.x == last.x && now.y == last.y;
                last = now;
                return same;
            },
            8000, 50);
        return now;
    }

    // The window made that wide (and as high as it is, or high) and moved to the screen's top
    // left corner, which lays it out afresh; its look once the places the rectangle file names
    // (the main window's bars, viewer and canvas) or its controls (a dialog's) have come to rest.
    Look LookAt(unsigned long xid, int width, int height, bool dialog)
    {
        // The pointer in the screen's corner, away from the window: nothing shows hovered.
        const XRect screen = x.Screen();
        Look look;
        // A window as large as the work area may have been maximised by the window manager.
        x.SetMaximized(xid, false);
        WaitFor(
            [&] {
                const XRect now = Settled(xid);
                const int h = height > 0 ? height : now.height;
                if (now.width == width && now.height == h && now.x == 0)
                    return true;
                Shell("xdotool windowsize " + std::to_string(xid) + " " + std::to_string(width)
                    + " " + std::to_string(h) + " windowmove " + std::to_string(xid)
                    + " 0 0 mousemove " + std::to_string(screen.Right() - 1) + " "
                    + std::to_string(screen.Bottom() - 1) + " 2>/dev/null");
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
        // The places are written after each layout: the same twice running is the last one.
        std::map<std::string, XRect> before;
        WaitFor(
            [&] {
                Sleep(400);
                look.parts = read();
                const bool same = !look.parts.empty() && look.parts.size() == before.size()
                    && std::equal(look.parts.begin(), look.parts.end(), before.begin(),
                        [](const auto& a, const auto& b) {
                            return a.first == b.first && a.second.x == b.second.x
                                && a.second.y == b.second.y && a.second.width == b.second.width
                                && a.second.height == b.second.height;
                        });
                before = look.parts;
                return same;
            },
            8000, 50);
        x.WindowRect(xid, look.window);
        look.pixels = x.Pixels(look.window);
        return look;
    }

    // The rescaled look against the fresh one: parts in the same places, pixels the same (a few
    // may differ where antialiasing rounds otherwise).
    void ExpectSameLook(const Look& rescaled, const Look& fresh, const std::string& name,
        const XRect& leftOut = XRect {})
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
        EXPECT_EQ(moved.str(), "") << name;
        std::vector<uint32_t> marked;
        const size_t differing = Differences(rescaled, fresh, leftOut, marked);
        SavePixels(marked, fresh.window, "scale-change-" + name + "-differences");
        EXPECT_LE(differing, fresh.pixels.size() / 1000)
            << name << ": " << differing << " of " << fresh.pixels.size() << " pixels differ";
    }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
    pid_t settings = 0;
};

} // namespace

TEST_F(ScaleChange, WindowsAreLaidOutAsFreshOnes)
{
    if (!ownscreen::RunOnScreen("2560x1440"))
        return;
    // The scale comes from the desktop's settings, not from the environment.
    unsetenv("GDK_SCALE");
    ASSERT_TRUE(ServeScale(1)) << "xsettingsd did not take the display";
    unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    // The label-layout editor over the main window.
    KeysTo(xid, "ctrl+e");
    ASSERT_NE(AlertText(s.rects), "") << "no warning before the editor";
    Keys("Return");
    unsigned long editor = WaitDialogWindow(s.rects, "Redigera etikettlayout");
    ASSERT_NE(editor, 0u);
    Settled(editor);
    const XRect ok = DialogControls(s.rects, editor)[kOk];
    ASSERT_GT(ok.width, 0);

    ASSERT_TRUE(ServeScale(2));
    // The editor lays its buttons out anew at twice the pixels.
    EXPECT_TRUE(
        WaitFor([&] { return DialogControls(s.rects, editor)[kOk].height >= 2 * ok.height - 2; },
            15000, 100))
        << "the editor stayed as it was";
    Settled(xid);
    Settled(editor);
    // Both windows stay on the screen.
    for (unsigned long w : { xid, editor }) {
        XRect outer;
        EXPECT_TRUE(x.OuterFrame(w, outer) && outer.Inside(x.WorkArea()))
            << "window " << Text(outer) << " in the work area " << Text(x.WorkArea());
    }
    SaveScreenPng(x, x.Screen(), "scale-change-after");
    const Look editorRescaled = LookAt(editor, 1900, -1, true);
    Keys("Escape");
    ASSERT_TRUE(WaitFor([&] { return !WindowShows("Redigera etikettlayout"); }, 5000, 100));
    const Look mainRescaled = LookAt(xid, 2400, -1, false);
    Quit(xid);

    // The same at a scale of 2 from the start.
    xid = Start();
    ASSERT_NE(xid, 0u);
    Settled(xid);
    const Look mainFresh = LookAt(xid, 2400, mainRescaled.window.height, false);
    KeysTo(xid, "ctrl+e");
    ASSERT_NE(AlertText(s.rects), "") << "no warning before the editor";
    Keys("Return");
    editor = WaitDialogWindow(s.rects, "Redigera etikettlayout");
    ASSERT_NE(editor, 0u);
    const Look editorFresh = LookAt(editor, 1900, editorRescaled.window.height, true);
    Keys("Escape");
    WaitFor([&] { return !WindowShows("Redigera etikettlayout"); }, 5000, 100);
    Quit(xid);

    ExpectSameLook(mainRescaled, mainFresh, "main");
    // The panels' column of an editor that was made lower than it was shown at may keep a
    // vertical scroll bar with nothing to scroll (GTK does not take it back when the list's
    // document shrinks to fit): where it stands, beside the tabs and the page, is left out.
    auto part = [&](const char* name) {
        return editorFresh.parts.count(name) ? editorFresh.parts.at(name) : XRect {};
    };
    const XRect tabs = part("control-1009"), viewer = part("control-1013");
    ExpectSameLook(editorRescaled, editorFresh, "editor",
        XRect { editorFresh.window.width - 32, tabs.y, 32, viewer.Bottom() + 2 - tabs.y });
}
