// The whole program as a person uses it: the built `vorantel` started as its own process on the
// test's X server, driven with xdotool (keys, the menu bar through F10 and the arrows, the file
// panels typed into), with the window telling where its parts are through the file named by
// VT_TEST_RECTANGLES_FILE. Screenshots are kept in <build>/e2e.
// VT_WINDOW_MANAGER: runs a second time with openbox managing the windows.
#include "lfw/gen/LUserSettings.h"
#include "support/E2eProgram.h"
#include "support/LoopbackServer.h"
#include "support/RecordedDisc.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

// Drags files onto a point of the screen from a small window of this test process that offers
// them as a file list (text/uri-list), with the real pointer, as from a file manager. Each step
// of the drag waits for the one before to have been taken: the drag to have begun before the
// pointer goes to the point, the drop to have been answered (the files handed over) before the
// window goes.
bool DropFiles(const std::vector<std::string>& paths, int x, int y)
{
    static bool gtk = gtk_init_check(nullptr, nullptr);
    if (!gtk)
        return false;
    static std::vector<std::string> uris;
    uris.clear();
    for (const std::string& p : paths) {
        gchar* uri = g_filename_to_uri(p.c_str(), nullptr, nullptr);
        uris.push_back(uri ? uri : "");
        g_free(uri);
    }
    static std::atomic<bool> begun, accepted, ended;
    begun = false;
    accepted = false;
    ended = false;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), 120, 80);
    gtk_window_move(GTK_WINDOW(window), 1140, 920);
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), gtk_label_new("Filer"));
    gtk_container_add(GTK_CONTAINER(window), box);
    GtkTargetEntry target = { const_cast<gchar*>("text/uri-list"), 0, 0 };
    gtk_drag_source_set(box, GDK_BUTTON1_MASK, &target, 1, GDK_ACTION_COPY);
    g_signal_connect(box, "drag-data-get",
        G_CALLBACK(
            +[](GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer) {
                std::vector<gchar*> list;
                for (std::string& u : uris)
                    list.push_back(u.data());
                list.push_back(nullptr);
                gtk_selection_data_set_uris(data, list.data());
            }),
        nullptr);
    g_signal_connect(box, "drag-begin",
        G_CALLBACK(+[](GtkWidget*, GdkDragContext* context, gpointer) {
            begun = true;
            g_signal_connect(context, "action-changed",
                G_CALLBACK(+[](GdkDragContext*, GdkDragAction action, gpointer) {
                    accepted = action != 0;
                }),
                nullptr);
        }),
        nullptr);
    g_signal_connect(box, "drag-end",
        G_CALLBACK(+[](GtkWidget*, GdkDragContext*, gpointer) { ended = true; }), nullptr);
    gtk_widget_show_all(window);
    auto pump = [](const std::function<bool()>& until, int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!until() && Clock::now() < end) {
            while (gtk_events_pending())
                gtk_main_iteration_do(FALSE);
            Sleep(5);
        }
        return until();
    };
    // Shown, drawn and answering: the press lands on it.
    pump([&] { return gtk_widget_get_mapped(window) && !gtk_events_pending(); }, 3000);
    int wx = 0, wy = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &wx, &wy);
    // xdotool runs beside the loop of this process, which takes the drag's events.
    auto run = [&](const std::string& words) {
        std::atomic<bool> done { false };
        std::thread t([&] {
            Shell("xdotool " + words + " 2>/dev/null");
            done = true;
        });
        pump([&] { return done.load(); }, 10000);
        t.join();
    };
    // A press that came before the window was on top (a window manager stacks and places a
    // new window in its own time, the later the busier the machine) begins no drag: the window
    // is raised and the press made again.
    bool dragging = false;
    for (int attempt = 0; attempt < 3 && !dragging; ++attempt) {
        if (attempt > 0) {
            run("mouseup 1");
            gtk_window_present(GTK_WINDOW(window));
            pump([&] { return !gtk_events_pending(); }, 1000);
            gdk_window_get_origin(gtk_widget_get_window(window), &wx, &wy);
        }
        run("mousemove --sync " + std::to_string(wx + 60) + " " + std::to_string(wy + 40)
            + " mousedown 1 mousemove_relative --sync -- -30 -30");
        dragging = pump([] { return begun.load(); }, 5000);
    }
    // Over the point, then a few pixels on, so that the window there has been asked about a
    // position once it knows the drag; the drop once the drag has reached it.
    run("mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
    // The window there answers where the drag is: whether it takes the files (a window that
    // does not leaves the answer as it was, and the drop then hands it nothing, as before).
    pump([] { return accepted.load(); }, 2000);
    run("mousemove --sync " + std::to_string(x + 4) + " " + std::to_string(y + 4));
    run("mouseup 1");
    const bool dropped = dragging && pump([] { return ended.load(); }, 10000);
    gtk_widget_destroy(window);
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    return dropped;
}

std::string Setting(const char* section, const char* key)
{
    char value[kLStringShortSize] = "";
    _LUserSettingGetString(section, key, "", value);
    return value;
}

// The setting once it has the value, or what it has after ms: the program writes some settings
// after the caption it shows has changed.
std::string WaitSetting(
    const char* section, const char* key, const std::string& value, int ms = 5000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    std::string now = Setting(section, key);
    while (now != value && Clock::now() < end) {
        Sleep(100);
        now = Setting(section, key);
    }
    return now;
}

} // namespace

TEST(Vorantel, TheRoadFromFirstStartToExport)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    TemporaryFolder work;
    const std::string dir = work.Path();
    const std::string rects = dir + "/rectangles.txt";
    setenv("VT_TEST_RECTANGLES_FILE", rects.c_str(), 1);
    // The program's runtime folder (single-instance channel, run marker) of this test alone:
    // another run of the program on the machine must neither take its requests nor send it some.
    TemporaryFolder runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    const std::string caption = "Vorantel av ZOR Software";

    // ---- First start: the caption, the menu bar, the window's rectangles.
    auto first = std::make_unique<Program>(std::vector<std::string> {});
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(Caption(xid), caption);
    ASSERT_TRUE(WaitFile(rects));
    auto r = Rectangles(rects);
    ASSERT_EQ(r.count("client"), 1u);
    EXPECT_GT(r["client"][2], 600);
    // The welcome dialog: "Skapa ett nytt projekt", then "CD och fodral på generiskt papper" in
    // "Välj etikettlayout": a new CD project, the tip at "Infogatext".
    ASSERT_TRUE(ClickDialogControl(rects, "Välkommen till Vorantel", 200)) << "no welcome";
    ASSERT_TRUE(ClickDialogControl(rects, "Välj etikettlayout", 1000)) << "no layout selection";
    EXPECT_TRUE(WaitCaption(xid, caption + " - Namnlöst.vtproj"));
    Sleep(500);
    Shot("new-cd-project");
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    KeysTo(xid, "F10");
    Shot("menu-vorantel");
    Keys("Right");
    Shot("menu-arkiv");
    Keys("Escape Escape");

    // ---- Second starts: a DVD project with the text; an unknown kind and a trailing key without
    // its value change nothing (they are told, and the second start ends with 1).
    const std::string text = dir + "/t.txt";
    std::ofstream(text) << "Skivetikett";
    {
        auto start = Clock::now();
        Program second({ "-new", "DVD", "-addtext", text });
        EXPECT_EQ(second.Wait(10000), 0);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    }
    EXPECT_TRUE(WaitCaption(xid, caption + " - Namnlöst.vtproj"));
    Shot("new-dvd");
    {
        unlink((rects + ".alert").c_str());
        Program floppy({ "-new", "floppy" });
        EXPECT_TRUE(ClickAlertButton(rects, "OK")) << "no refusal";
        EXPECT_EQ(floppy.Wait(10000), 1);
        Program trailing({ "-addtext", text, "-new" });
        EXPECT_EQ(trailing.Wait(10000), 1);
        EXPECT_TRUE(ClickAlertButton(rects, "OK")) << "no refusal";
    }
    Sleep(500);
    EXPECT_EQ(Caption(xid), caption + " - Namnlöst.vtproj");

    // ---- Save as (Ctrl+Shift+S): the caption and the recent files take the name.
    const std::string project = dir + "/skiva.vtproj";
    KeysTo(xid, "ctrl+shift+s");
    ASSERT_TRUE(TypeIntoFilePanel("Spara projekt", project));
    EXPECT_TRUE(WaitCaption(xid, caption + " - skiva.vtproj")) << Caption(xid);
    EXPECT_TRUE(WaitFile(project));
    EXPECT_EQ(WaitSetting("RecentFileList", "File0", project), project);
    Shot("saved-as");
    // Saved: Ctrl+Q asks nothing.
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
    first.reset();

    // ---- `vorantel skiva.vtproj`: opened at once, no welcome.
    auto again = std::make_unique<Program>(std::vector<std::string> { project });
    xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_TRUE(WaitCaption(xid, caption + " - skiva.vtproj"));
    Shot("reopened");

    // A truncated project asked for by a second start: refused with the load's own error, the
    // open project stays.
    {
        std::string bytes = TemporaryFolder::ReadFile(project);
        const std::string broken = dir + "/trasig.vtproj";
        std::ofstream(broken, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
        unlink((rects + ".alert").c_str());
        Program bad({ "-open", broken });
        EXPECT_TRUE(ClickAlertButton(rects, "OK")) << "no load error";
        EXPECT_EQ(bad.Wait(10000), 1);
        Shot("truncated-refused");
        Sleep(300);
        EXPECT_EQ(Caption(xid), caption + " - skiva.vtproj");
    }

    // "Spara som..." > "Pdf" through the menu bar: Arkiv, past "Nya...", "Öppna..." ("Spara" is
    // off for a saved project) to "Spara som...".
    const std::string pdf = dir + "/skiva.pdf";
    KeysTo(xid, "F10 Right Down Down Down Right Down");
    Shot("menu-spara-som");
    Keys("Return");
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", pdf));
    ASSERT_TRUE(WaitFile(pdf));
    Sleep(500);
    EXPECT_EQ(Shell("pdfinfo " + Quote(pdf) + " | sed -n 's/^Pages: *//p'"), "1");
    std::string pageSize = Shell("pdfinfo " + Quote(pdf) + " | sed -n 's/^Page size: *//p'");
    Shot("pdf-written");

    // "Spara som..." > "Bild": a 300-dpi picture of the same page.
    const std::string png = dir + "/skiva.png";
    KeysTo(xid, "F10 Right Down Down Down Right Down Down Return");
    ASSERT_TRUE(TypeIntoFilePanel("Exportera till bild", png));
    ASSERT_TRUE(WaitFile(png));
    // The picture is written in place: read once it ends with its closing chunk.
    EXPECT_TRUE(WaitFor(
        [&] {
            const std::string bytes = TemporaryFolder::ReadFile(png);
            return bytes.size() > 12 && bytes.compare(bytes.size() - 8, 4, "IEND") == 0;
        },
        15000, 20));
    std::string size = Shell("identify -units PixelsPerInch -format '%w %h %x %y' " + Quote(png));
    if (pageSize.find("(A4)") != std::string::npos)
        EXPECT_EQ(size, "2481 3508 300 300");
    else if (pageSize.find("(letter)") != std::string::npos)
        EXPECT_EQ(size, "2550 3300 300 300");
    else
        ADD_FAILURE() << "page " << pageSize;
    // Near the PDF drawn at 300 dpi by another renderer, compared at a common size.
    Shell("pdftoppm -r 300 -png -singlefile " + Quote(pdf) + " " + Quote(dir + "/ref"));
    std::string rmse = Shell("/usr/bin/convert " + Quote(png) + " -resize 1200x1700! -alpha off "
        + Quote(dir + "/a.png") + " && /usr/bin/convert " + Quote(dir + "/ref.png")
        + " -resize 1200x1700! -alpha off " + Quote(dir + "/b.png") + " && compare -metric RMSE "
        + Quote(dir + "/a.png") + " " + Quote(dir + "/b.png")
        + " null: 2>&1 | sed 's/.*(//; s/)//'");
    EXPECT_LT(std::atof(rmse.c_str()), 0.05) << rmse;

    // ---- "Kopiera CD-information" > "Låtlista...": the recorded disc looked up at a loopback
    // MusicBrainz over TLS that trusts only the test's own authority.
    TemporaryFolder certificates;
    ASSERT_TRUE(TrustTestCertificates(certificates.Path()));
    LoopbackServer server(certificates / "server.pem", certificates / "server.key");
    std::string json
        = TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/musicbrainz/two_discs.json");
    server.Add(JsonReply(json));
    LUserSettingSetString("Online", "MusicBrainzHost", server.Host().c_str());
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(again->Wait(8000), 0);
    again.reset();
    const std::string toc = dir + "/toc.bin";
    std::ofstream(toc, std::ios::binary)
        .write(
            reinterpret_cast<const char*>(kFourTracks.data()), std::streamsize(kFourTracks.size()));
    setenv("VT_TEST_RECORDED_DISC", toc.c_str(), 1);
    auto cd = std::make_unique<Program>(std::vector<std::string> { project });
    xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_TRUE(WaitCaption(xid, caption + " - skiva.vtproj"));
    // Overlay: four items, the audio-CD submenu, its third item.
    KeysTo(xid, "F10 Right Right Right Down Down Down Down Down Right Down Down");
    Shot("menu-lattlista");
    Keys("Return");
    auto end = Clock::now() + std::chrono::seconds(10);
    while (server.Requests().empty() && Clock::now() < end)
        Sleep(100);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].rfind("GET /ws/2/discid/nljDXdC8B_pDwbdY1vZJvdrAZI4-?", 0), 0u);
    Sleep(800);
    for (const std::string& name : WindowNames())
        EXPECT_NE(name, "Ingen ljud-CD har upptäckts");
    Shot("track-list");
    // The new text overlay lies on top in the middle of the disc: a click there selects it and
    // gives the canvas the keys; Ctrl+C puts its text on the clipboard too.
    {
        auto canvas = Rectangles(rects)["canvas"];
        ASSERT_EQ(canvas.size(), 4u);
        Shell("xdotool mousemove --sync " + std::to_string(canvas[0] + canvas[2] / 2) + " "
            + std::to_string(canvas[1] + canvas[3] / 2) + " click 1 2>/dev/null");
        Sleep(400);
    }
    KeysTo(xid, "ctrl+c");
    std::string copied = Shell("xclip -selection clipboard -o 2>/dev/null");
    if (!Shell("command -v xclip").empty()) {
        EXPECT_EQ(
            copied, "1. One (2:32)\n2. Two \"quoted\" (3:01)\n3. Tre å (4:35)\n4. Four (2:06)");
    }
    // Unsaved now: Ctrl+Q asks, "Spara inte" ends without saving.
    unlink((rects + ".alert").c_str());
    KeysTo(xid, "ctrl+q");
    EXPECT_TRUE(ClickAlertButton(rects, "Spara_inte"));
    EXPECT_EQ(cd->Wait(8000), 0);
    cd.reset();
    unsetenv("VT_TEST_RECORDED_DISC");

    // ---- An autosave left by a run that ended abnormally: offered, reopened as unsaved work
    // under its own name; Ctrl+Q asks; "Avbryt" keeps it open; "Spara" asks where (the file
    // names no project of its own).
    const std::string autosave = dir + "/skiva_autosave.vtproj";
    Shell("cp " + Quote(project) + " " + Quote(autosave));
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
    unlink((rects + ".alert").c_str());
    auto recovered = std::make_unique<Program>(std::vector<std::string> {});
    xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(ClickAlertButton(rects, "Öppna_den")) << "no autosave offer";
    Shot("autosave-opened");
    EXPECT_TRUE(WaitCaption(xid, caption + " - skiva.vtproj"));
    // Named still: offered again should this run end abnormally too.
    EXPECT_EQ(Setting("AutoSave", "FileName"), autosave);
    unlink((rects + ".alert").c_str());
    KeysTo(xid, "ctrl+q");
    Sleep(500);
    Shot("unsaved-question");
    ASSERT_TRUE(ClickAlertButton(rects, "Avbryt"));
    EXPECT_TRUE(recovered->Running());
    unlink((rects + ".alert").c_str());
    KeysTo(xid, "ctrl+q");
    ASSERT_TRUE(ClickAlertButton(rects, "Spara"));
    const std::string saved = dir + "/raddad.vtproj";
    ASSERT_TRUE(TypeIntoFilePanel("Spara projekt", saved));
    EXPECT_EQ(recovered->Wait(10000), 0);
    EXPECT_TRUE(Exists(saved));
    EXPECT_FALSE(Exists(autosave));
    recovered.reset();

    // ---- Dropped files, onto the middle of the window's client area.
    {
        const std::string a = dir + "/a.vtproj", b = dir + "/b.vtproj";
        Shell(
            "cp " + Quote(project) + " " + Quote(a) + " && cp " + Quote(project) + " " + Quote(b));
        const std::string upper = dir + "/X.VTPROJ";
        Shell("cp " + Quote(project) + " " + Quote(upper));
        const std::string image = std::string(VT_TEST_DATA) + "/images/base.png";
        const std::string notes = dir + "/notes.txt";
        std::ofstream(notes) << "x";
        // Its window's parts once it has laid them out.
        unlink(rects.c_str());
        Program dropped({});
        xid = WaitMainWindow();
        ASSERT_NE(xid, 0u);
        ASSERT_TRUE(WaitFor([&] { return Rectangles(rects).count("client") == 1; }, 10000, 20));
        auto area = Rectangles(rects)["client"];
        ASSERT_EQ(area.size(), 4u);
        const int cx = area[0] + area[2] / 2, cy = area[1] + area[3] / 2;
        auto drop = [&](const std::vector<std::string>& files) {
            unlink((rects + ".alert").c_str());
            unlink((rects + ".alert-text").c_str());
            EXPECT_TRUE(DropFiles(files, cx, cy));
        };
        // Images without a project: nothing at all.
        drop({ image });
        EXPECT_EQ(AlertText(rects, 1000), "");
        EXPECT_EQ(Caption(xid), caption);
        drop({ a, b });
        EXPECT_EQ(AlertText(rects, 5000),
            "Dra och släpp-fel\nDet går inte att läsa in flera projekt samtidigt.\n");
        Shot("drop-two-projects");
        EXPECT_TRUE(ClickAlertButton(rects, "OK"));
        drop({ a, image });
        EXPECT_EQ(AlertText(rects, 5000),
            "Dra och släpp-fel\nDet går inte att läsa in projekt och bilder samtidigt.\n");
        EXPECT_TRUE(ClickAlertButton(rects, "OK"));
        drop({ a, notes });
        EXPECT_EQ(AlertText(rects, 5000),
            "Dra och släpp-fel\nDet går inte att läsa in följande filer:\n\n   notes.txt\n");
        Shot("drop-project-and-text");
        EXPECT_TRUE(ClickAlertButton(rects, "Fortsätt"));
        EXPECT_TRUE(WaitCaption(xid, caption + " - a.vtproj"));
        drop({ upper });
        EXPECT_TRUE(WaitCaption(xid, caption + " - X.VTPROJ"));
        Shot("drop-upper-case-project");
        KeysTo(xid, "ctrl+q");
        EXPECT_EQ(dropped.Wait(8000), 0);
    }

    // ---- Helper starts: "-elevated" with a value ends at once with 1; alone it starts.
    {
        Program elevated({ "-elevated", "x" });
        EXPECT_EQ(elevated.Wait(5000), 1);
    }
    {
        unlink(rects.c_str());
        Program alone({ "-elevated" });
        xid = WaitMainWindow();
        ASSERT_NE(xid, 0u);
        // Laid out, so that it takes the keys.
        EXPECT_TRUE(WaitFile(rects, 10000));
        Shot("elevated-start");
        KeysTo(xid, "ctrl+q");
        Shot("elevated-quit");
        EXPECT_EQ(alone.Wait(8000), 0);
    }
    // "-call_launchctl_script" runs the file with bash, its path one argument.
    {
        const std::string script = dir + "/ett skript.sh";
        std::ofstream(script) << "echo ran > \"$(dirname \"$0\")/marker\"\n";
        Program launch({ "-call_launchctl_script", script });
        EXPECT_EQ(launch.Wait(5000), 0);
        EXPECT_TRUE(WaitFile(dir + "/marker", 3000));
        Program missing({ "-call_launchctl_script", dir + "/saknas.sh" });
        EXPECT_EQ(missing.Wait(5000), 0);
    }
}

namespace {

// The canvas cut out of a fresh screenshot (kept in <build>/e2e too), once the canvas has come
// to rest: the window not drawn into for a while and its loop answering (so the keys sent before
// have been handled), twice in a row with the same canvas between (a busy machine may take a
// while to paint what the last keys did, a picture read beside the loop shows later).
std::string CanvasCrop(
    XServerView& view, unsigned long xid, const std::string& rects, const std::string& name)
{
    auto canvas = Rectangles(rects)["canvas"];
    if (canvas.size() != 4)
        return "";
    const XRect area { canvas[0], canvas[1], canvas[2], canvas[3] };
    std::vector<uint32_t> previous;
    const auto end = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        view.WaitSettled(xid, 300, 5000);
        std::vector<uint32_t> now = view.Pixels(area);
        if ((!previous.empty() && now == previous) || Clock::now() >= end)
            break;
        previous = std::move(now);
    }
    const std::string shot = Shot(name);
    const std::string crop = shot.substr(0, shot.size() - 4) + "-canvas.png";
    Shell("/usr/bin/convert " + Quote(shot) + " -crop " + std::to_string(canvas[2]) + "x"
        + std::to_string(canvas[3]) + "+" + std::to_string(canvas[0]) + "+"
        + std::to_string(canvas[1]) + " +repage " + Quote(crop));
    // Its median is made afresh (an earlier run left one under the same name).
    ::unlink((crop + ".m.png").c_str());
    return crop;
}

// How many pixels of two crops differ noticeably. A 9 x 9 median first takes out the selection's
// one-pixel frame and its small handles, which follow the selection rather than the design
// (made once for each crop, which is compared more than once, the two side by side).
long CropDifference(const std::string& a, const std::string& b)
{
    auto median = [](const std::string& crop) {
        return "( [ -e " + Quote(crop + ".m.png") + " ] || /usr/bin/convert " + Quote(crop)
            + " -statistic median 9x9 " + Quote(crop + ".m.png") + " )";
    };
    std::string out = Shell(median(a) + " & " + median(b) + " & wait; compare -metric AE -fuzz 15% "
        + Quote(a + ".m.png") + " " + Quote(b + ".m.png") + " null: 2>&1");
    return out.empty() ? -1 : std::atol(out.c_str());
}

// A click in the middle of the rectangle, once the window has taken it.
void ClickAt(XServerView& view, unsigned long xid, const std::vector<int>& r)
{
    Shell("xdotool mousemove --sync " + std::to_string(r[0] + r[2] / 2) + " "
        + std::to_string(r[1] + r[3] / 2) + " click 1 2>/dev/null");
    view.WaitSettled(xid, 200, 5000);
}

} // namespace

TEST(Vorantel, EditingUndoPrintingAndKeys)
{
    XServerView view;
    if (!HasTools() || !view.Ok())
        GTEST_SKIP() << "no display, xdotool or Xlib";
    TemporaryFolder work;
    const std::string dir = work.Path();
    const std::string rects = dir + "/rectangles.txt";
    setenv("VT_TEST_RECTANGLES_FILE", rects.c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    const std::string caption = "Vorantel av ZOR Software";
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    LUserSettingSetString("AutoSave", "FileName", "");
    // The program's print panel offers only the print-to-file printer, which writes into its
    // home folder.
    mkdir((dir + "/xdg").c_str(), 0755);
    mkdir((dir + "/xdg/gtk-3.0").c_str(), 0755);
    std::ofstream(dir + "/xdg/gtk-3.0/settings.ini") << "[Settings]\ngtk-print-backends=file\n";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_DIRS", (dir + "/xdg").c_str(), 1);
    setenv("HOME", dir.c_str(), 1);
    // Its own runtime folder: the single-instance pipe and the running-marker of a run that
    // this test ends with kill -9 stay its own.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string oldRuntime = runtime ? runtime : "";
    mkdir((dir + "/run").c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
    char cwd[4096] = "";
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = 0;
    ASSERT_EQ(chdir(dir.c_str()), 0);

    // ---- A new CD project: a text typed, a picture chosen in "Välj bilder", a drag.
    auto program = std::make_unique<Program>(std::vector<std::string> { "-new", "CD" });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, caption + " - Namnlöst.vtproj")) << Caption(xid);
    ASSERT_TRUE(WaitFile(rects));
    Sleep(500);
    auto r = Rectangles(rects);
    ASSERT_EQ(r.count("tool-1020"), 1u);
    ASSERT_EQ(r.count("canvas"), 1u);
    ClickAt(view, xid, r["tool-1020"]);
    Shell("xdotool type --delay 40 Skivetikett");
    const std::string withText = CanvasCrop(view, xid, rects, "text-typed");
    ClickAt(view, xid, Rectangles(rects)["tool-1021"]);
    const std::string picture = std::string(VT_TEST_DATA) + "/images/base.png";
    ASSERT_TRUE(TypeIntoFilePanel("Välj bilder", picture));
    const std::string withPicture = CanvasCrop(view, xid, rects, "picture-added");
    EXPECT_GT(CropDifference(withText, withPicture), 20000);
    {
        auto canvas = Rectangles(rects)["canvas"];
        const int cx = canvas[0] + canvas[2] / 2, cy = canvas[1] + canvas[3] / 2;
        Shell("xdotool mousemove --sync " + std::to_string(cx) + " " + std::to_string(cy)
            + " mousedown 1 sleep 0.2 mousemove --sync " + std::to_string(cx + 20) + " "
            + std::to_string(cy + 15) + " sleep 0.2 mousemove --sync " + std::to_string(cx + 60)
            + " " + std::to_string(cy + 45) + " sleep 0.2 mouseup 1 2>/dev/null");
    }
    const std::string dragged = CanvasCrop(view, xid, rects, "dragged");
    EXPECT_GT(CropDifference(withPicture, dragged), 20000);
    // Two steps back, one forward: the canvas shows the earlier states again.
    KeysTo(xid, "ctrl+z");
    const std::string undoDrag = CanvasCrop(view, xid, rects, "undo-drag");
    EXPECT_LT(CropDifference(withPicture, undoDrag), 2000);
    KeysTo(xid, "ctrl+z");
    const std::string undoPicture = CanvasCrop(view, xid, rects, "undo-picture");
    EXPECT_LT(CropDifference(withText, undoPicture), 2000);
    KeysTo(xid, "ctrl+shift+z");
    const std::string redo = CanvasCrop(view, xid, rects, "redo-picture");
    EXPECT_LT(CropDifference(withPicture, redo), 2000);

    // ---- Ctrl+P: the print preview, "Skriv ut" (its default button), the print panel's file
    // printer, which writes output.pdf into the program's working folder.
    // A window of that name once it shows and has come to rest (drawn, its loop answering).
    auto settledWindow = [&](const std::string& name, int quietMs) -> unsigned long {
        if (!WaitWindowNamed(name))
            return 0;
        const std::string id = Shell("xdotool search --onlyvisible --name "
            + Quote("^" + name + "$") + " 2>/dev/null | head -1");
        if (id.empty())
            return 0;
        view.WaitSettled(std::stoul(id), quietMs, 10000);
        return std::stoul(id);
    };
    KeysTo(xid, "ctrl+p");
    ASSERT_NE(settledWindow("Förhandsgranska", 300), 0u);
    Shot("print-preview");
    Keys("Return");
    // Its list of printers filled in.
    const unsigned long print = settledWindow("Print", 500);
    ASSERT_NE(print, 0u);
    {
        // The only printer, first row of the panel's list: chosen, then Return prints.
        std::string id = std::to_string(print);
        std::string geo = Shell("xdotool getwindowgeometry --shell " + id + " 2>/dev/null");
        int x = 0, y = 0;
        if (geo.find("X=") != std::string::npos && geo.find("Y=") != std::string::npos) {
            std::sscanf(geo.substr(geo.find("X=")).c_str(), "X=%d", &x);
            std::sscanf(geo.substr(geo.find("Y=")).c_str(), "Y=%d", &y);
        }
        Shell("xdotool mousemove --sync " + std::to_string(x + 60) + " " + std::to_string(y + 67)
            + " click 1 2>/dev/null");
        view.WaitSettled(print, 300, 5000);
        Shot("print-to-file");
        Keys("Return");
    }
    const std::string printed = dir + "/output.pdf";
    ASSERT_TRUE(WaitFile(printed, 15000));
    // Written in place: read once it is whole.
    WaitFor(
        [&] { return Shell("pdfinfo " + Quote(printed) + " >/dev/null 2>&1 && echo ok") == "ok"; },
        15000, 50);
    EXPECT_EQ(Shell("pdfinfo " + Quote(printed) + " | sed -n 's/^Pages: *//p'"), "1");
    EXPECT_NE(Shell("pdftotext " + Quote(printed) + " -").find("Skivetikett"), std::string::npos);

    // ---- Keys: Ctrl+BackSpace deletes the selected overlay (the picture, clicked on top in the
    // middle), leaving the design as it was before the picture came.
    ClickAt(view, xid, Rectangles(rects)["canvas"]);
    KeysTo(xid, "ctrl+BackSpace");
    const std::string deleted = CanvasCrop(view, xid, rects, "picture-deleted");
    EXPECT_LT(CropDifference(withText, deleted), 2000);
    // In the new text's field Ctrl+Z is the field's own: the text added stays in the design.
    ClickAt(view, xid, Rectangles(rects)["tool-1020"]);
    Shell("xdotool type --delay 40 WWWWWWWW");
    const std::string typed = CanvasCrop(view, xid, rects, "field-typed");
    Keys("ctrl+z");
    const std::string fieldUndo = CanvasCrop(view, xid, rects, "field-ctrl-z");
    std::string raw = Shell(
        "compare -metric AE -fuzz 15% " + Quote(deleted) + " " + Quote(fieldUndo) + " null: 2>&1");
    EXPECT_GT(std::atol(raw.c_str()), 1000) << raw;

    unlink((rects + ".alert").c_str());
    KeysTo(xid, "ctrl+q");
    ClickAlertButton(rects, "Spara_inte");
    EXPECT_EQ(program->Wait(8000), 0);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_DIRS");
    if (oldRuntime.empty())
        unsetenv("XDG_RUNTIME_DIR");
    else
        setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    if (cwd[0] && chdir(cwd) != 0)
        ADD_FAILURE() << "cannot return to " << cwd;
}
