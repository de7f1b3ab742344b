// The main window's tables, construction, start-up questions and tear-down.
#include "app/lxa/mac/MainDialog.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/zor/LHelp.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"

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

// The seven sibling programs of the "Starta..." menu and the "Paket" tab, in command order
// 1035, 1037, 1039, 1043, 1040, 1041, 1042.
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
    { 1035, "Skivbrännare", -1 },
    { 1037, "Ljudkonverterare", -1 },
    { 1039, "Videokonverterare", -1 },
    { 1043, "Bildvisare", -1 },
    { 1040, "Inspelare", -1 },
    { 1041, "Sondrup ljudredigerare", -1 },
    { 1042, "Fotoredigerare", -1 },
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

MainDialog::MainDialog() = default;

MainDialog::~MainDialog()
{
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
    SetMenu(arMenuItems, kMenuItemCount, arKeyMap, kKeyMapCount);
    _AttachMenuOpening();
    DragDropInit(*this);
    ResizableHook(*this);
    UpdateCaption();
}

void MainDialog::EvWindowReady()
{
    if (readyDone)
        return;
    readyDone = true;
    char value[260] = "";
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    std::snprintf(autoSaveFileName, sizeof autoSaveFileName, "%s", value);
    // An autosave that is gone is nothing to offer.
    if (autoSaveFileName[0] && !LFile::TestFileExists(autoSaveFileName)) {
        LUserSettingSetString("AutoSave", "FileName", "");
        autoSaveFileName[0] = 0;
    }
    if (autoSaveFileName[0]) {
        LAlert alert(GetContentView(),
            "Det finns ett automatiskt sparat projekt. Vill du öppna den?",
            "Projektet sparas automatiskt");
        LAlertCopyField(alert.button1, "Öppna den");
        LAlertCopyField(alert.button2, "Kassera den");
        if (alert.RunField() == 1) {
            std::string autosave = autoSaveFileName;
            if (CmProjectLoad(autosave.c_str(), false)) {
                // A reopened autosave is unsaved work under its own name, saved only where the
                // user says.
                project->SetPath((ProjectBareName(autosave.c_str()) + ".vtproj").c_str());
                reopenedAutoSave = autosave;
                if (project->GetSaveState() != VTProjectSaveStateModified)
                    project->SetSaveState(VTProjectSaveStateModified);
                UpdateCaption();
                EnableControls();
            }
            LUserSettingSetString("AutoSave", "FileName", "");
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
    EnableControls();
}

void MainDialog::LayoutControls(int width, int height)
{
    (void)width;
    (void)height;
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
    DragDropDestroy(*this);
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
    for (const auto& extra : testRectangles) {
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
