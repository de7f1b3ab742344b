// A change of the label layout through the real window makes the project unsaved: the built
// program on a saved project, driven with xdotool as a person drives it. "Tillämpa" in "Redigera
// etikettlayout" after a click on "Landskap", and a layout chosen through Arkiv > Etikettlayout >
// "Välj...": then the quit and close questions ("Ändringar som inte sparats") come, and "Spara"
// (theirs, the menu's, Ctrl+S) writes the change. What the file holds is read back by the program's
// own reader. Also with a backing scale of 2 (VT_ALSO_SCALED). Screenshots go to
// <build>/e2e-layout-unsaved.
#include "app/VTLabelLayout.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

using namespace e2e;

namespace {

const char* const kShots = "e2e-layout-unsaved";
constexpr int kOk = 0x6F6B2020; // "ok  ": "Tillämpa", "OK"

// The project as the program's reader reads it (null when it cannot).
std::unique_ptr<VTProject> Load(const std::string& path)
{
    auto project = std::make_unique<VTProject>();
    VTProjectLoad record;
    record.project = project.get();
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    if (Process(quiet, record) != LProcessResultSuccess)
        return nullptr;
    return project;
}

// The name of the saved project's layout ("" when none can be read).
std::string LayoutName(const std::string& path)
{
    const std::unique_ptr<VTProject> project = Load(path);
    const VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    return layout ? layout->name : "";
}

// The orientation of the first page of the saved project's layout; -1 when there is none.
int FirstPageOrientation(const std::string& path)
{
    const std::unique_ptr<VTProject> project = Load(path);
    const VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    const VTLabelLayoutPage* page = layout ? layout->pages.GetHead() : nullptr;
    return page ? int(page->GetOrientation()) : -1;
}

// The tallest control of the id in the dialog's rectangle file (pixels of its X window): the
// editor's page panel and its layout panel both have a control 1001, the orientation buttons
// being the tall ones.
bool TallestControl(const std::string& rects, unsigned long xid, int id, XRect& out)
{
    bool any = false;
    for (const auto& [found, r] : DialogControlList(rects, xid))
        if (found == id && (!any || r.height > out.height)) {
            out = r;
            any = true;
        }
    return any;
}

// Clicks the middle of a control of the dialog window.
void ClickControl(XServerView& x, unsigned long dialog, const XRect& control)
{
    XRect w;
    x.WindowRect(dialog, w);
    Shell("xdotool "
        + MoveWords(w.x + control.x + control.width / 2, w.y + control.y + control.height / 2)
        + "click 1 2>/dev/null");
}

class LayoutUnsaved : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool or ImageMagick";
        path = SaveSample(s.dir + "/skiva.vtproj");
        ASSERT_EQ(FirstPageOrientation(path), int(LPaperSizeOrientationPortrait));
    }

    // The program on the saved project: its main window, come to rest.
    unsigned long Start()
    {
        unlink(s.rects.c_str());
        program
            = std::make_unique<Program>(std::vector<std::string> { path }, s.Capture("vorantel"));
        const unsigned long xid = WaitMainWindow(20000 * kSlowdown);
        if (xid) {
            WaitFor([&] { return Rectangles(s.rects).count("canvas") == 1; }, 15000);
            x.WaitSettled(xid);
        }
        return xid;
    }

    // Ctrl+E, the warning that a layout change cannot be undone, then in the editor a click on
    // the page's orientation ("Porträtt" 1000, "Landskap" 1001) and on "Tillämpa".
    void EditOrientation(unsigned long xid, int button, const char* shot)
    {
        EXPECT_NE(KeysForAlert(s.rects, xid, "ctrl+e"), "");
        Keys("Return");
        const unsigned long editor = WaitDialogWindow(s.rects, "Redigera etikettlayout");
        ASSERT_NE(editor, 0u);
        x.WaitSettled(editor);
        XRect orientation, apply;
        ASSERT_TRUE(TallestControl(s.rects, editor, button, orientation));
        ASSERT_TRUE(TallestControl(s.rects, editor, kOk, apply));
        ClickControl(x, editor, orientation);
        x.WaitSettled(editor);
        Shot(shot, kShots);
        ClickControl(x, editor, apply);
        ASSERT_TRUE(WaitFor([] { return !WindowShows("Redigera etikettlayout"); }, 8000, 50));
        x.WaitSettled(xid);
    }

    Session s;
    XServerView x;
    std::string path;
    std::unique_ptr<Program> program;
};

} // namespace

// "Landskap" and "Tillämpa": Ctrl+Q asks, "Spara" writes the landscape page. Then "Porträtt" and
// "Tillämpa": Ctrl+S writes the portrait page, and Ctrl+Q quits without a question.
TEST_F(LayoutUnsaved, AppliedInTheEditorTheChangeIsAskedForAndSaved)
{
    unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    EditOrientation(xid, 1001, "editor-landscape");
    const std::string asked = KeysForAlert(s.rects, xid, "ctrl+q");
    Shot("quit-question", kShots);
    EXPECT_EQ(asked, "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara"));
    EXPECT_EQ(program->Wait(15000 * kSlowdown), 0);
    EXPECT_EQ(FirstPageOrientation(path), int(LPaperSizeOrientationLandscape));

    xid = Start();
    ASSERT_NE(xid, 0u);
    EditOrientation(xid, 1000, "editor-portrait");
    const ino_t before = FileNumber(path);
    KeysTo(xid, "ctrl+s");
    EXPECT_TRUE(WaitFor([&] { return FileNumber(path) != before; }, 15000 * kSlowdown, 50))
        << "Ctrl+S wrote nothing";
    x.WaitSettled(xid);
    EXPECT_EQ(FirstPageOrientation(path), int(LPaperSizeOrientationPortrait));
    // Saved: the quit asks nothing.
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000 * kSlowdown), 0);
}

// Arkiv > Etikettlayout > "Välj..." with "DVD och fodral på generiskt papper": Arkiv > "Stäng"
// asks (and "Avbryt" keeps the project open), Arkiv > "Spara" is on and writes the new layout.
// The menus are walked with the keys, which pass over items that are off.
TEST_F(LayoutUnsaved, ChosenForTheOpenProjectTheChangeIsAskedForAndSaved)
{
    const std::string before = LayoutName(path);
    const unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    // Nya, Öppna, Spara som (Spara is off), Stäng, Etikettlayout and its first item.
    EXPECT_NE(KeysForAlert(s.rects, xid, "F10 Right Down Down Down Down Down Right Return"), "");
    Keys("Return");
    const unsigned long select = WaitDialogWindow(s.rects, "Välj etikettlayout");
    ASSERT_NE(select, 0u);
    x.WaitSettled(select);
    XRect dvd;
    ASSERT_TRUE(TallestControl(s.rects, select, 1002, dvd));
    ClickControl(x, select, dvd);
    ASSERT_TRUE(WaitFor([] { return !WindowShows("Välj etikettlayout"); }, 8000, 50));
    x.WaitSettled(xid);
    Shot("dvd-chosen", kShots);

    // Nya, Öppna, Spara, Spara som, Stäng.
    const std::string asked
        = KeysForAlert(s.rects, xid, "F10 Right Down Down Down Down Down Return");
    Shot("close-question", kShots);
    EXPECT_EQ(asked, "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Avbryt"));
    x.WaitSettled(xid);
    // Nya, Öppna, Spara.
    const ino_t file = FileNumber(path);
    KeysTo(xid, "F10 Right Down Down Down Return");
    EXPECT_TRUE(WaitFor([&] { return FileNumber(path) != file; }, 15000 * kSlowdown, 50))
        << "Arkiv > Spara wrote nothing";
    x.WaitSettled(xid);
    const std::string after = LayoutName(path);
    EXPECT_NE(after, before);
    EXPECT_NE(after.find("DVD"), std::string::npos) << after;
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000 * kSlowdown), 0);
}
