// The end-to-end tests that print with the built program as a person does, under a window
// manager: the program's home is the test's folder, where GTK's settings name the backends of
// its print panel (the print-to-file printer unless a test names others); the panel opened from
// the print preview (Ctrl+P, "Skriv ut"), its print-to-file printer and output format clicked
// and its "Print" pressed with the pointer; an old project of many texts, a page slow to paint.
// Include after GoogleTest and the program's headers (the X headers define names they use).
// Header only.
#pragma once

#include "support/E2eSession.h"
#include "support/TemporaryFolder.h"
#include "support/XServerView.h"

#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace e2e {

enum class PrintFormat { PDF, PostScript };

// Whether the progress window of a print ("Skriver ut") shows: one look.
inline bool ProgressShows()
{
    return !Shell("xdotool search --onlyvisible --name '^Skriver ut$' 2>/dev/null | head -1")
                .empty();
}

class PrintingProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !view.Ok())
            GTEST_SKIP() << "no display, xdotool or Xlib";
        if (!WindowManagerRuns())
            GTEST_SKIP() << "without a window manager";
        s.Set("HOME", s.dir);
        mkdir((s.dir + "/xdg").c_str(), 0755);
        mkdir((s.dir + "/xdg/gtk-3.0").c_str(), 0755);
        PrintBackends("file");
        s.Set("XDG_CONFIG_DIRS", s.dir + "/xdg");
    }

    // The backends of GTK's print panel for the program started next ("file", "cups").
    void PrintBackends(const std::string& backends)
    {
        TemporaryFolder::WriteFile(s.dir + "/xdg/gtk-3.0/settings.ini",
            "[Settings]\ngtk-print-backends=" + backends + "\n");
    }

    // A window of that name once it shows and has come to rest: its X id, 0 when none came.
    unsigned long Settled(const std::string& name, int quietMs)
    {
        if (!WaitWindowNamed(name, 15000 * kSlowdown))
            return 0;
        const std::string id = Shell("xdotool search --onlyvisible --name "
            + Quote("^" + name + "$") + " 2>/dev/null | head -1");
        if (id.empty())
            return 0;
        view.WaitSettled(std::stoul(id), quietMs, 10000 * kSlowdown);
        return std::stoul(id);
    }

    void ClickAt(int x, int y) { Shell("xdotool " + MoveWords(x, y) + "click 1 2>/dev/null"); }

    // Ctrl+P, "Skriv ut" (the preview's default button): GTK's "Print" once it has been at rest
    // for quietMs, its rectangle; 0 when it did not come.
    unsigned long OpenPrintPanel(XRect& panel, int quietMs)
    {
        KeysTo(xid, "ctrl+p");
        if (!Settled("Förhandsgranska", 300))
            return 0;
        return PrintPanelFromPreview(panel, quietMs);
    }

    // "Skriv ut" in the preview that shows: GTK's "Print" as OpenPrintPanel gives it.
    unsigned long PrintPanelFromPreview(XRect& panel, int quietMs)
    {
        Keys("Return");
        const unsigned long id = Settled("Print", quietMs);
        return id && view.WindowRect(id, panel) ? id : 0;
    }

    // In GTK's "Print" (the window id, its rectangle): the print-to-file printer (the first row
    // of its list) and the output format beside the file's name (PDF, Postscript, SVG) clicked.
    void ChoosePrintToFile(unsigned long id, const XRect& panel, PrintFormat format)
    {
        ClickAt(panel.x + 60, panel.y + 67);
        view.WaitSettled(id, 300, 5000 * kSlowdown);
        ClickAt(panel.x + (format == PrintFormat::PDF ? 381 : 443), panel.y + 258);
        view.WaitSettled(id, 300, 5000 * kSlowdown);
    }

    // The panel's "Print" (at its bottom right corner).
    void PressPrint(const XRect& panel) { ClickAt(panel.Right() - 57, panel.Bottom() - 26); }

    Session s;
    XServerView view;
    std::unique_ptr<Program> program;
    unsigned long xid = 0;
};

// An old project (written as by hand) of that many texts on the disc, spread over its face, in
// the colour given ("800000ff") or without one: a page that takes a while to paint.
inline std::string OldProjectOfTexts(
    const std::string& path, int texts, const std::string& colour = "")
{
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vorantel_project type=\"cd\">\n"
        << "<container type=\"disc\">\n";
    const std::string coloured = colour.empty() ? "" : "color=\"" + colour + "\" ";
    for (int i = 0; i < texts; ++i)
        out << "<element type=\"text\" x=\"" << i % 80 * 100 - 4000 << "\" y=\""
            << i / 80 % 80 * 100 - 4000 << "\" w=\"900\" h=\"400\" " << coloured << "text=\"R" << i
            << "\"/>\n";
    out << "</container>\n</vorantel_project>\n";
    return path;
}

} // namespace e2e
