// The whole program as a person uses it: "Spara som..." > "Bild" accepted with the name it
// proposes writes the picture (the type chosen gives the extension), a name typed without an
// extension in the PDF panel writes the PDF; and a start with a project and a text prints no GTK
// warning or critical message. Screenshots are kept in <build>/e2e-output. Runs once more at a
// backing scale of 2 (VT_ALSO_SCALED).
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/TemporaryFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-output";

// Arkiv > "Spara som..." > "Pdf" or "Bild" (the project is saved, so "Spara" is off and skipped).
void ExportPdf(unsigned long xid)
{
    KeysTo(xid, "F10 Right Down Down Down Right Down");
    Keys("Return");
}

void ExportImage(unsigned long xid)
{
    KeysTo(xid, "F10 Right Down Down Down Right Down Down");
    Keys("Return");
}

// The panel's answer: Return until it goes (the chooser ignores one that comes before its
// folder has loaded).
bool AcceptPanel(const std::string& title)
{
    if (!WaitWindowNamed(title))
        return false;
    Shot("panel-" + title, kShots);
    return WaitFor(
        [&] {
            if (!WindowShows(title))
                return true;
            Keys("Return");
            return false;
        },
        10000, 500);
}

std::string Identify(const std::string& path)
{
    return Shell("identify -format '%m' " + Quote(path) + " 2>/dev/null");
}

} // namespace

TEST(Output, ExportPanelsTakeTheirProposalsAndNamesWithoutExtension)
{
    if (!HasTools() || Shell("command -v pdfinfo").empty())
        GTEST_SKIP() << "no display, xdotool or pdfinfo";
    Session s;
    const std::string project = SaveSample(s.dir + "/skiva.vtproj");
    const std::string pictures = s.dir + "/bilder";
    ASSERT_EQ(g_mkdir_with_parents(pictures.c_str(), 0755), 0);
    LUserSettingSetString("Settings", "ImageFolder", pictures.c_str());
    LUserSettingSetString("Settings", "SavePDFFolder", s.dir.c_str());
    auto run = std::make_unique<Program>(std::vector<std::string> { project });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));

    // The picture under the name proposed, as PNG, the type shown first.
    ForgetAlert(s.rects);
    ExportImage(xid);
    ASSERT_TRUE(AcceptPanel("Exportera till bild"));
    ASSERT_TRUE(WaitFile(pictures + "/skiva.png")) << AlertText(s.rects, 500);
    EXPECT_TRUE(WaitFor([&] { return Identify(pictures + "/skiva.png") == "PNG"; }, 15000, 200))
        << Identify(pictures + "/skiva.png");
    EXPECT_EQ(AlertText(s.rects, 300), "");
    Shot("picture-written", kShots);

    // Return pressed twice (or held down) in the panel: the second reaches the progress window,
    // and the export goes on (only "Avbryt" or Escape stop it).
    ExportImage(xid);
    ASSERT_TRUE(TypeIntoFilePanel("Exportera till bild", pictures + "/två.png", "Return Return"));
    EXPECT_TRUE(WaitFile(pictures + "/två.png")) << "the export was stopped";
    EXPECT_EQ(AlertText(s.rects, 300), "");

    // The PDF panel: a name typed without an extension gets ".pdf", no question asked.
    ExportPdf(xid);
    ASSERT_TRUE(TypeIntoFilePanel("Spara som PDF", "utan"));
    ASSERT_TRUE(WaitFile(s.dir + "/utan.pdf")) << AlertText(s.rects, 500);
    EXPECT_TRUE(WaitFor(
        [&] {
            return Shell("pdfinfo " + Quote(s.dir + "/utan.pdf")
                       + " 2>/dev/null | sed -n 's/^Pages: *//p'")
                == "1";
        },
        15000, 200));
    EXPECT_FALSE(Exists(s.dir + "/utan"));
    EXPECT_EQ(AlertText(s.rects, 300), "");

    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(run->Wait(8000), 0);
}

// A start with a new project, a text added to it by a second start (its panel shown), and a
// quit: nothing on standard error from GTK.
TEST(Output, AStartPrintsNoGtkWarnings)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or xdotool";
    Session s;
    const std::string note = s.Write("note.txt", "Skivans titel");
    auto run
        = std::make_unique<Program>(std::vector<std::string> { "-new", "cd" }, s.Capture("run"));
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj"));
    Program later({ "-addtext", note }, s.Capture("later"));
    EXPECT_EQ(later.Wait(15000), 0) << later.Errors();
    Shot("text-added", kShots);
    EXPECT_TRUE(AskToQuit(s, xid));
    EXPECT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(run->Wait(8000), 0);
    const std::string errors = run->Errors();
    EXPECT_EQ(errors.find("Gtk-WARNING"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Gtk-CRITICAL"), std::string::npos) << errors;
}
