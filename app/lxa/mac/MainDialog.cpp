// The main window's tables, construction, start-up questions and tear-down.
#include "app/lxa/mac/MainDialog.h"

#include "app/VTAutoSaveFiles.h"
#include "app/VTOptionsDialog.h"
#include "app/VTProjectFile.h"
#include "app/VTSmallDialogs.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LLaunch.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kCut = LFourCC("cut ");
constexpr int kCopy = LFourCC("copy");
constexpr int kPaste = LFourCC("past");
constexpr int kPreferences = LFourCC("pref");
constexpr int kCloseWindow = LFourCC("clos");

constexpr uint32_t C = LKey::kCommand;
constexpr uint32_t S = LKey::kShift;

} // namespace

// The seven sibling programs of the "Starta..." menu and the "Paket" tab come from the launcher's
// table, in command order 1035, 1037, 1039, 1043, 1040, 1041, 1042.
const LMenuItem MainDialog::arMenuItems[] = {
    { -1, "Arkiv", -1 },
    { 1005, "Nya...", -1 },
    { 1006, "Öppna...", -1 },
    { 1007, "Spara", -1 },
    { -1, "Spara som...", -1 },
    { 1008, "Projekt", -1 },
    { 1045, "Pdf", -1 },
    { 1046, "Bild", -1 },
    { -1, nullptr, -1 },
    { 1009, "Stäng", -1 },
    { 0, nullptr, -1 },
    { -1, "Etikettlayout...", -1 },
    { 1010, "Välj...", -1 },
    { 1011, "Redigera...", -1 },
    { -1, nullptr, -1 },
    { 1012, "Skriva ut...", -1 },
    { 0, nullptr, -1 },
    { -1, "Starta...", -1 },
    { kLLaunchSiblings[0].command, kLLaunchSiblings[0].title, -1 },
    { kLLaunchSiblings[1].command, kLLaunchSiblings[1].title, -1 },
    { kLLaunchSiblings[2].command, kLLaunchSiblings[2].title, -1 },
    { kLLaunchSiblings[3].command, kLLaunchSiblings[3].title, -1 },
    { kLLaunchSiblings[4].command, kLLaunchSiblings[4].title, -1 },
    { kLLaunchSiblings[5].command, kLLaunchSiblings[5].title, -1 },
    { kLLaunchSiblings[6].command, kLLaunchSiblings[6].title, -1 },
    { -1, nullptr, -1 },
    { -1, nullptr, -1 },
    { -1, "Redigera", -1 },
    { 9401, "Ångra", -1 },
    { 9402, "Gör om", -1 },
    { 0, nullptr, -1 },
    { kCut, "Klipp ut", -1 },
    { kCopy, "Kopiera", -1 },
    { kPaste, "Klistra in", -1 },
    { 1019, "Ta bort", -1 },
    { -1, nullptr, -1 },
    { -1, "Overlay", -1 },
    { 1020, "Lägg till text...", -1 },
    { 1021, "Lägg till bilder...", -1 },
    { 1022, "Lägg till Clipart...", -1 },
    { 1023, "Lägg till ram...", -1 },
    { -1, "Lägga till information om ljud-CD", -1 },
    { 1025, "Albumtitel...", -1 },
    { 1026, "Artist namn ...", -1 },
    { 1027, "Låtlista...", -1 },
    { -1, nullptr, -1 },
    { 0, nullptr, -1 },
    { 1028, "Rotera åt vänster", -1 },
    { 1029, "Rotera åt höger", -1 },
    { 0, nullptr, -1 },
    { 1030, "Höja", -1 },
    { 1031, "Lägre", -1 },
    { -1, nullptr, -1 },
};
const size_t MainDialog::kMenuItemCount = sizeof arMenuItems / sizeof arMenuItems[0];
static_assert(sizeof MainDialog::arMenuItems / sizeof(LMenuItem) == 53);

const LKeyToCommandMap MainDialog::arKeyMap[] = {
    { LKey(C | 'N'), 1005 },
    { LKey(C | 'O'), 1006 },
    { LKey(C | 'S'), 1007 },
    { LKey(C | S | 'S'), 1008 },
    { LKey(C | 'P'), 1012 },
    { LKey(C | 'W'), kCloseWindow },
    { LKey(C | 'X'), kCut },
    { LKey(C | 'C'), kCopy },
    { LKey(C | 'V'), kPaste },
    { LKey::Special(LKey::kBackspace, C), 1019 },
    { LKey(C | 'Z'), 9401 },
    { LKey(C | S | 'Z'), 9402 },
    { LKey(C | 'E'), 1011 },
    { LKey(C | '='), 1030 },
    { LKey(C | '-'), 1031 },
    { LKey::Special(100, C), 1034 },
    { LKey(C | S | 'O'), kPreferences },
};
const size_t MainDialog::kKeyMapCount = sizeof arKeyMap / sizeof arKeyMap[0];
static_assert(sizeof MainDialog::arKeyMap / sizeof(LKeyToCommandMap) == 17);

namespace {

using Item = LToolBar::ToolBarItem;

constexpr Item Button(int command, int image, const char* label, const char* tooltip)
{
    return Item { 0, command, image, label, label, tooltip, 0, false };
}
constexpr Item Separator()
{
    return Item { 6, 0, 0, "", "", "", 0, false };
}

const Item kHomeItems[] = {
    Button(1005, 340, "Ny", "Starta ett nytt projekt"),
    Button(1006, 342, "Öppna", "Öppna ett befintligt projekt"),
    Button(1007, 341, "Spara", "Spara det här projektet"),
    Separator(),
    Button(1020, 346, "Infogatext", "Lägga till ett nytt textöverlägg"),
    Button(1021, 347, "Lägg till bilder", "Lägga till bilder som överlägg"),
    Button(1022, 355, "Lägg till Clipart", "Lägga till nytt Clipart-överlägg"),
    Button(1023, 356, "Lägg till ram", "Lägg till nytt ramöverlägg"),
    Item { 16, 1024, 348, "Kopiera CD-information", "Kopiera CD-information",
        "Lägga till ljudinformation från CD", 0, false },
    Separator(),
    Button(1011, 345, "Etikettlayout", "Redigera den aktuella etikettlayouten"),
    Button(1012, 343, "Skriv ut", "Skriv ut designen"),
    Button(kPreferences, 344, "Inställningar", "Konfigurera Inställningar"),
    Separator(),
};
const Item kEditItems[] = {
    Button(9401, 357, "Ångra", "Ångra den senaste åtgärden"),
    Button(9402, 358, "Gör om", "Gör om den senaste ångra-åtgärden"),
    Separator(),
    Button(kCut, 359, "Klipp ut", "Klippa ut det markerade överlägget till Urklipp"),
    Button(kCopy, 360, "Kopiera", "Kopiera det markerade överlägget till Urklipp"),
    Button(kPaste, 361, "Klistra in", "Klistra in ett överlägg från Urklipp"),
    Button(1019, 349, "Ta bort", "Ta bort markerade överlägg"),
    Separator(),
};
const Item kSuiteItems[] = {
    Button(kLLaunchSiblings[0].command, kLLaunchSiblings[0].image, kLLaunchSiblings[0].title,
        kLLaunchSiblings[0].tooltip),
    Button(kLLaunchSiblings[1].command, kLLaunchSiblings[1].image, kLLaunchSiblings[1].title,
        kLLaunchSiblings[1].tooltip),
    Button(kLLaunchSiblings[2].command, kLLaunchSiblings[2].image, kLLaunchSiblings[2].title,
        kLLaunchSiblings[2].tooltip),
    Button(kLLaunchSiblings[3].command, kLLaunchSiblings[3].image, kLLaunchSiblings[3].title,
        kLLaunchSiblings[3].tooltip),
    Button(kLLaunchSiblings[4].command, kLLaunchSiblings[4].image, kLLaunchSiblings[4].title,
        kLLaunchSiblings[4].tooltip),
    Button(kLLaunchSiblings[5].command, kLLaunchSiblings[5].image, kLLaunchSiblings[5].title,
        kLLaunchSiblings[5].tooltip),
    Button(kLLaunchSiblings[6].command, kLLaunchSiblings[6].image, kLLaunchSiblings[6].title,
        kLLaunchSiblings[6].tooltip),
};
const LTabbedToolBarTab kTabs[] = {
    { 1002, "Hem", kHomeItems, int(sizeof kHomeItems / sizeof kHomeItems[0]) },
    { 1003, "Redigera", kEditItems, int(sizeof kEditItems / sizeof kEditItems[0]) },
    { 1004, "Paket", kSuiteItems, int(sizeof kSuiteItems / sizeof kSuiteItems[0]) },
    { 0, nullptr, nullptr, 0 },
};
const char* const kTabTips[] = { "Öppna Arkiv-menyn", "Arbetet med ett projekt",
    "Använd ångra / gör om och urklipp", "Starta relaterade program" };

constexpr int kLogoControl = 1033;
constexpr int kTabbedToolBarControl = 1001;

} // namespace

MainDialog::MainDialog() = default;

MainDialog::~MainDialog()
{
    LClipboard::RemoveChangeWatcher(clipboardWatch);
    enableTimer.Disarm();
    deferredTimer.Disarm();
    if (project) {
        project->RemoveNotifyee(*this);
        delete project;
        project = nullptr;
    }
}

void MainDialog::InitDialog()
{
    // The framework's start-up and the window's first showing both ask for the content.
    if (contentBuilt)
        return;
    contentBuilt = true;
    captionToolbar.Init(*this, arKeyMap, kKeyMapCount);
    captionToolbar.AddButton(326, 1005, "Ny");
    captionToolbar.AddButton(325, 1006, "Öppna");
    captionToolbar.AddButton(324, 1007, "Spara");
    captionToolbar.AddButton(322, 9401, "Ångra");
    captionToolbar.AddButton(323, 9402, "Gör om");
    SetMenu(arMenuItems, kMenuItemCount, arKeyMap, kKeyMapCount);
    _AttachMenuOpening();
    LTabbedToolBar& toolbar = GetTabbedToolBar();
    toolbar.TabbedToolBarInit(*this, kTabs, nullptr, 0, kTabbedToolBarControl);
    toolbar.TabbedToolBarInitShortCutKeys(arKeyMap, kKeyMapCount);
    for (int i = 0; i < 4; ++i)
        toolbar.TabbedToolBarTipSet(i, kTabTips[i]);
    toolbar.HandleToolBarItemDropdownWhole(*this, 1024);
    AddPaintControl(kLogoControl);
    logoControl.Init(*this, kLogoControl);
    DragDropInit(*this);
    // Built at about the size it will have, so that its controls are not first laid out in a
    // single pixel and then again.
    int width = 0, height = 0;
    GetClientSizeMinusToolbarMinusStatusBar(width, height);
    projectViewer.Init(*this, std::max(width, 1), std::max(height, 1));
    // Without a project the logo stands where the viewer would: hidden from the start, the
    // viewer's many controls are neither measured nor laid out when the window is first sized.
    _ShowProjectOrLogo(project != nullptr);
    _ViewerObserve();
    // Paste follows what the clipboard offers, as it is heard, never asked for and waited on.
    clipboardWatch = LClipboard::AddChangeWatcher([this] {
        if (!IsDestroyed())
            EnableControls();
    });
    UpdateCaption();
}

void MainDialog::EvWindowReady()
{
    if (readyDone)
        return;
    readyDone = true;
    // The window starts with the keyboard on none of its controls (the toolbar, first of them,
    // would have it): the first Tab brings it to the toolbar.
    if (LNativeWindow* native = GetNativeWindow())
        native->MakeFirstResponder(nullptr);
    // The stored name is read whole, however long the data folder's path is.
    const std::string named = VTProjectViewer::NamedAutoSave();
    // Besides the named autosave, those no setting names (the run died before it could name
    // one) are offered too, the newest first; one whose project was saved since has gone, and
    // one that is missing is nothing to offer.
    const VTAutoSaveFound found = VTAutoSaveFindToOffer(named);
    // The offered autosave is the named one from here on, whichever the answer: it is offered
    // again until its work is saved or a later autosave replaces it.
    autoSaveFileName = found.path;
    if (autoSaveFileName != named)
        LUserSettingSetString("AutoSave", "FileName", autoSaveFileName.c_str());
    if (!autoSaveFileName.empty()) {
        LAlert alert(GetContentView(),
            "Det finns ett automatiskt sparat projekt. Vill du öppna den?",
            "Projektet sparas automatiskt");
        LAlertCopyField(alert.button1, "Öppna den");
        LAlertCopyField(alert.button2, "Kassera den");
        if (alert.RunField() == 1) {
            std::string autosave = autoSaveFileName;
            if (CmProjectLoad(autosave.c_str(), false)) {
                // A reopened autosave is unsaved work of the project it was made of, saved to
                // that project's file (an older autosave, which does not name it, is saved where
                // the user says under its own name). Named by the setting, it is offered again
                // should this run end abnormally too, until a save or the project's next
                // autosave replaces it.
                std::string path = VTAutoSaveProjectPath(found.origin);
                if (path.empty())
                    path = ProjectBareName(autosave.c_str()) + ".vtproj";
                project->SetPath(path.c_str());
                // The project's file as it is now is the one the work goes back to.
                project->fileIdentity = VTProjectFileIdentity(path.c_str());
                reopenedAutoSave = autosave;
                if (project->GetSaveState() != VTProjectSaveStateModified)
                    project->SetSaveState(VTProjectSaveStateModified);
                projectViewer.AutoSaveIsCurrent();
                LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
                UpdateCaption();
                EnableControls();
            }
        }
        return;
    }
    char show[260] = "";
    _LUserSettingGetString("Settings", "WelcomeDialogShow", "", show);
    if (show[0] != '0' && welcomeAllowed)
        CmWelcomeDialog();
}

void MainDialog::CmWelcomeDialog()
{
    switch (VTWelcomeDialogOpen(GetContentView())) {
    case kVTWelcomeNewProject:
        CmNewDocument(nullptr);
        break;
    case kVTWelcomeOpenProject:
        CmProjectLoad();
        break;
    case kVTWelcomeGettingStarted:
        LOpenHelpPage(GetContentView(), "gettingstarted");
        break;
    default:
        break;
    }
    EnableControls();
}

void MainDialog::LayoutControls(int width, int height)
{
    int y = 0;
    MainWindowLayoutBars(y, width, height);
    // What the bars leave runs from y down to height.
    const int rest = std::max(height - y, 1);
    MoveControlPixels(kLogoControl, 0, y, width, rest);
    projectViewer.MovePixels(0, y, width, rest);
    _WriteTestRectangles();
}

void MainDialog::UpdateCaption()
{
    if (!project)
        SetCaptionDefaultDocument("", false);
    else
        SetCaptionDefaultDocument(
            project->GetPath(), project->GetSaveState() != VTProjectSaveStateSaved);
}

void MainDialog::DestroyDialog()
{
    LClipboard::RemoveChangeWatcher(clipboardWatch);
    clipboardWatch = 0;
    enableTimer.Disarm();
    deferredTimer.Disarm();
    testRectanglesTimer.Disarm();
    deferred.clear();
    // A picture still being read is let go of before the viewer it would go to.
    pictureAdd.reset();
    _EndAllStarts();
    GetTabbedToolBar().TabbedToolBarDestroy();
    DragDropDestroy(*this);
    // Ended by the desktop session (a signal), not closed by the user: the unsaved work stays
    // autosaved for the next start.
    if (bSystemIsQuitting)
        projectViewer.KeepAutoSave();
    // The viewer lets go of the project (and its timer) before its views go.
    projectViewer.SetProject(nullptr);
    projectViewer.RemoveNotifyee(*this);
    projectViewer.Destroy();
}

void MainDialog::EvKeepWork(bool ending)
{
    projectViewer.KeepAutoSave(ending || !LModalLoop::Busy());
}

std::string MainDialog::ProjectBareName(const char* path)
{
    char file[260] = "";
    LFile::_GetFileFromPath(file, path ? path : "");
    std::string name = file;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    static const char kSuffix[] = "_autosave";
    const size_t n = sizeof kSuffix - 1;
    if (name.size() > n && name.compare(name.size() - n, n, kSuffix) == 0)
        name.resize(name.size() - n);
    return name;
}

void MainDialog::_WriteTestRectangles()
{
    // Tests of the whole program name a file here to learn where the window's parts are, in
    // screen pixels: one line "name x y width height" each.
    const char* file = std::getenv("VT_TEST_RECTANGLES_FILE");
    if (!file || !*file)
        return;
    LView* content = GetContentView();
    if (!content)
        return;
    std::string text;
    auto add = [&](const char* name, LView* view, int w, int h) {
        LPoint p { 0, 0 };
        ClientToScreen(view, &p);
        char line[512];
        std::snprintf(line, sizeof line, "%s %d %d %d %d\n", name, int(p.x), int(p.y), w, h);
        text += line;
    };
    int w = 0, h = 0;
    GetClientSize(w, h);
    add("client", content, w, h);
    // The bars and the viewer (the canvas and the panels), which the layout fits to the client.
    if (LView* bar = GetControlHandle(kLStatusBarControlId)) {
        int x = 0, y = 0, bw = 0, bh = 0;
        GetControlPixels(kLStatusBarControlId, x, y, bw, bh);
        add("statusbar", bar, bw, bh);
    }
    if (LView* viewer = project ? projectViewer.GetContentView() : nullptr) {
        const double s = GetBackingScaleFactor();
        add("viewer", viewer, int(viewer->Bounds().width * s), int(viewer->Bounds().height * s));
    }
    // The toolbar's buttons of the shown tab and the canvas.
    std::vector<TestRectangle> parts = testRectangles;
    static const int kItems[]
        = { 1005, 1006, 1007, 1020, 1021, 1022, 1023, 1024, 1011, 1012, 9401, 9402, 1019 };
    // The toolbar places its buttons when it paints: until it has, the file is written again
    // a moment later, so that the last one written names where the buttons are.
    bool unplaced = false;
    for (int id : kItems) {
        int x = 0, y = 0, iw = 0, ih = 0;
        if (GetTabbedToolBar().GetTabbedToolBarControlBounds(id, x, y, iw, ih)) {
            parts.push_back({ "tool-" + std::to_string(id), x, y, iw, ih });
            unplaced = unplaced || iw <= 0;
        }
    }
    if (unplaced && !testRectanglesTimer.IsArmed())
        testRectanglesTimer.Arm(100);
    if (project && projectViewer.GetContentView()) {
        if (LView* canvas = projectViewer.GetControlHandle(kVTProjectViewerCanvasId)) {
            int x = 0, y = 0, cw = 0, ch = 0;
            projectViewer.GetControlPixels(kVTProjectViewerCanvasId, x, y, cw, ch);
            LPoint p { 0, 0 };
            ClientToScreen(canvas, &p);
            char line[512];
            std::snprintf(line, sizeof line, "canvas %d %d %d %d\n", int(p.x), int(p.y), cw, ch);
            text += line;
        }
        // The strip of the label positions' tabs above the canvas, and each of its tabs that
        // shows there ("designtab-<index>").
        VTControlLabelLayoutTemplatePaginator& paginator = projectViewer.paginator;
        if (LView* strip
            = paginator.GetContentView() ? paginator.GetControlHandle(1000) : nullptr) {
            LTabBar& bar = paginator.GetTabBar();
            LPoint p { 0, 0 };
            ClientToScreen(strip, &p);
            add("tabstrip", strip, bar.GetWidth(), bar.GetHeight());
            int index = 0;
            for (LTab* t = bar.GetTabAtIndex(0); t; t = t->next, ++index) {
                if (t->tabRect[2] <= 0 || t->tabRect[0] >= bar.GetWidth())
                    continue;
                char line[512];
                std::snprintf(line, sizeof line, "designtab-%d %d %d %d %d\n", index,
                    int(p.x) + t->tabRect[0], int(p.y) + t->tabRect[1],
                    t->tabRect[2] - t->tabRect[0], t->tabRect[3] - t->tabRect[1]);
                text += line;
            }
        }
    }
    for (const auto& extra : parts) {
        LPoint p { extra.x, extra.y };
        ClientToScreen(content, &p);
        char line[512];
        std::snprintf(line, sizeof line, "%s %d %d %d %d\n", extra.name.c_str(), int(p.x), int(p.y),
            extra.w, extra.h);
        text += line;
    }
    std::string temporary = std::string(file) + ".tmp";
    if (FILE* f = std::fopen(temporary.c_str(), "w")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        std::rename(temporary.c_str(), file);
    }
}
