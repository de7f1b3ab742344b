#include "lfw/zor/LMainWindow.h"

#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LCommandLinkButton.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LApplication.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/LMonitorInfo.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/unix/LDebugSignal.h"
#include "lfw/unix/LHangDetector.h"
#include "lfw/unix/LUnixProcess.h"
#include "lfw/zor/LAbout.h"
#include "lfw/zor/LAboutBox.h"
#include "lfw/zor/LCrashReport.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LInstaller.h"
#include "lfw/zor/LZORHooks.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiMenu.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

LMainWindow* LMainWindow::pInstance = nullptr;
int LMainWindow::iDontQuitCounter = 0;
bool LMainWindow::bIsLaunchedFromScheduler = false;
bool LMainWindow::bPrimaryInstance = true;

namespace {

constexpr int kCmdPostInit = 3332;
// At most this long the first frame waits for the start's own request.
constexpr unsigned kPaintingHoldMs = 250;
constexpr int kCmdRetryQuit = LFourCC("QtNc");
constexpr int kCmdAbout = LFourCC("abou");
constexpr int kCmdSuite = 98; // "ZOR-Paket" on every tab of the tabbed toolbar
constexpr int kCmdPreferences = LFourCC("pref");
constexpr int kCmdHide = LFourCC("hide");
constexpr int kCmdQuit = LFourCC("quit");
constexpr int kCmdMaximize = LFourCC("maxi");
constexpr int kCmdMinimize = LFourCC("mini");
constexpr int kCmdMinimizeAll = LFourCC("mina");
constexpr int kCmdAllToFront = LFourCC("bfrt");
constexpr int kCmdArrangeInFront = LFourCC("frnt");
constexpr int kCmdCloseWindow = LFourCC("clos");
constexpr int kMinWidthUnits = 115;
constexpr int kMinHeightUnits = 38;
// The smallest window, its title bar, menu bar and frame included, in points: half a 1366 x 768
// screen holds it, and so does a 640 x 480 one.
constexpr double kMinWindowWidthPoints = 640;
constexpr double kMinWindowHeightPoints = 480;
// What a title bar drawn by the window and its borders take at most.
constexpr double kMinWindowFrameWidthPoints = 16;
constexpr double kMinWindowFrameHeightPoints = 64;

const LKeyToCommandMap kApplicationKeys[] = {
    { LKey(LKey::kCommand | ','), kCmdPreferences },
    { LKey(LKey::kCommand | 'H'), kCmdHide },
    { LKey(LKey::kCommand | 'Q'), kCmdQuit },
    { LKey(LKey::kCommand | 'M'), kCmdMinimize },
    { LKey(LKey::kCommand | LKey::kOption | 'M'), kCmdMinimizeAll },
    { LKey(LKey::kCommand | LKey::kShift | '/'), 9020 },
};
constexpr unsigned long kApplicationKeyCount = sizeof kApplicationKeys / sizeof kApplicationKeys[0];

// "Dölj andra", "Visa alla" and the services menu have no counterpart on this desktop.
const LMenuItem kApplicationMenu[] = {
    { -1, "Vorantel", 0 },
    { kCmdAbout, "Om Vorantel", 0 },
    { 0, nullptr, 0 },
    { kCmdPreferences, "Inställningar...", 0 },
    { 0, nullptr, 0 },
    { kCmdHide, "Dölj Vorantel", 0 },
    { 0, nullptr, 0 },
    { kCmdQuit, "Avsluta Vorantel", 0 },
    { -1, nullptr, 0 },
};

const LMenuItem kWindowMenu[] = {
    { -1, "Fönstret", 0 },
    { kCmdMaximize, "Maximera", 0 },
    { kCmdMinimize, "Minimera", 0 },
    { kCmdMinimizeAll, "Minimera alla", 0 },
    { 0, nullptr, 0 },
    { kCmdAllToFront, "Ta alla till fronten", 0 },
    { kCmdArrangeInFront, "Ordna framför", 0 },
    { -1, nullptr, 0 },
};

const LMenuItem kHelpMenuTail[] = {
    { 0, nullptr, 0 },
    { 3333, "Vorantel Hemsida", 0 },
    { 3336, "Sida för teknisk support", 0 },
    { 3337, "Skicka förbättringsförslag eller feedback", 0 },
    { 3338, "Skicka felrapport", 0 },
    { 3340, "Anmäl dig till nyhetsbrev", 0 },
    { 0, nullptr, 0 },
    { 9030, "Gilla ZOR Software på Facebook", 305 },
    { 9031, "Följ ZOR Software på Twitter", 306 },
    { 0, nullptr, 0 },
    { 3334, "ZOR Software Hemsida", 0 },
    { 0, nullptr, 0 },
    { 9405, "Sök efter ny version", 0 },
};

// The bar's submenu of that title, or null.
LUiMenu* _LBarSubmenu(const char* title)
{
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    if (!bar)
        return nullptr;
    for (const auto& item : bar->Items())
        if (item->Submenu() && item->Title() == title)
            return item->Submenu();
    return nullptr;
}

void _LSetDebugPhase(uint32_t phase)
{
    gwDebugCurrentCommand = phase;
}

} // namespace

LMainWindow::LMainWindow()
    : fApiHandler(this)
{
    LOptionsCountLoad();
    pInstance = this;
}

LMainWindow::~LMainWindow()
{
    _RemoveKeyMonitor();
    if (pInstance == this)
        pInstance = nullptr;
}

void LMainWindow::GetDefaultSizeUnits(int monitorWidth, int monitorHeight, int storedWidth,
    int storedHeight, int& widthOut, int& heightOut)
{
    if (storedWidth == -1 && storedHeight == -1) {
        widthOut = monitorWidth / 8;
        heightOut = monitorHeight / 17;
    } else {
        widthOut = kMinWidthUnits;
        heightOut = kMinHeightUnits;
    }
}

std::string LMainWindow::MakeCaption(const char* path)
{
    std::string caption = "Vorantel av ZOR Software";
    if (path && *path) {
        const char* name = path;
        for (const char* p = path; *p; ++p)
            if (*p == '/' || *p == '\\')
                name = p + 1;
        std::string file = name;
        if (file.size() > 258)
            file.resize(258);
        caption += " - " + file;
    }
    return caption;
}

void LMainWindow::SetCaptionDefaultDocument(const char* path, bool)
{
    SetCaption(MakeCaption(path).c_str());
}

bool LMainWindow::MainWindowInit(int argc, const char* const* argv)
{
    fArguments.clear();
    for (int i = 0; i < argc && argv && argv[i]; ++i)
        fArguments.emplace_back(argv[i]);
    LZORAPIInstallAlertHook();
    if (!InitApplication(argc, argv))
        return false;
    MainWindowInitCommon();
    _LSetDebugPhase(0);
    return true;
}

int LMainWindowReportAnswer(
    LSingleInstance::Outcome outcome, LSingleInstance& instance, FILE* out, FILE* err)
{
    if (outcome == LSingleInstance::kRefused) {
        std::fprintf(err, "vorantel: %s\n", instance.RefusalText().c_str());
        return 1;
    }
    if (outcome == LSingleInstance::kFailed) {
        std::fprintf(
            err, "vorantel: Det gick inte att lämna begäran till Vorantel, som redan körs.\n");
        return 3;
    }
    const LSingleInstance::Answer answer = instance.WaitAnswer();
    for (const std::string& warning : answer.warnings)
        std::fprintf(err, "vorantel: %s\n", warning.c_str());
    switch (answer.state) {
    case LSingleInstance::Answer::kDone:
        // Answers of their own ("-version") are the request's output; "OK" says nothing.
        if (!answer.text.empty() && answer.text != "OK")
            std::fprintf(out, "%s\n", answer.text.c_str());
        return 0;
    case LSingleInstance::Answer::kRefused:
        std::fprintf(err, "vorantel: %s\n",
            answer.text.empty() ? "Begäran kunde inte utföras." : answer.text.c_str());
        return 1;
    case LSingleInstance::Answer::kQueued:
        std::fprintf(err, "vorantel: %s\n",
            answer.text.empty() ? "Begäran väntar tills en dialogruta i Vorantel har stängts och "
                                  "utförs sedan. Hur det gick visas i Vorantel."
                                : answer.text.c_str());
        return 2;
    case LSingleInstance::Answer::kLost:
        std::fprintf(err,
            "vorantel: Vorantel tog emot begäran men slutade svara innan den var utförd, så en "
            "del av den kan ha utförts. Hur det gick visas i Vorantel om programmet fortfarande "
            "körs.\n");
        return 1;
    case LSingleInstance::Answer::kBusy:
        std::fprintf(err, "vorantel: %s\n", answer.text.c_str());
        return 3;
    case LSingleInstance::Answer::kNoAnswer:
        break;
    }
    std::fprintf(err, "vorantel: Vorantel har inte svarat på begäran.\n");
    return 3;
}

namespace {

// The channel of a start that became the running program before its window was made, until
// the window takes it over; and why a start runs alone.
std::unique_ptr<LSingleInstance> gStartInstance;
std::string gStartAloneText;

// Requests that came before the main window had a view to take them, in order.
struct LEarlyRequest {
    LSingleInstance::Arguments arguments;
    std::shared_ptr<LZORAPIReply> reply;
};
std::vector<LEarlyRequest> gEarlyRequests;

void _LReceiveRequest(const LSingleInstance::Arguments& arguments)
{
    LMainWindow* window = LMainWindow::pInstance;
    if (window && !window->IsDestroyed() && window->GetContentView()) {
        window->MainWindowReceivedArguments(arguments);
        return;
    }
    std::shared_ptr<LZORAPIReply> reply = LZORAPICurrentReply();
    // The window of this running program is on its way while the channel waits for it; any
    // other window is not the one the request is for.
    const bool coming = gStartInstance || (window && window->IsRunningInstance());
    if (!coming || (window && window->IsDestroyed())) {
        if (reply)
            reply->Finish(1,
                window && !window->IsDestroyed()
                    ? "Vorantel startar och kan inte ta emot begäran ännu. Försök igen om en "
                      "stund."
                    : kLSingleInstanceClosingText);
        return;
    }
    // Taken, and handed to the window as soon as it has a view.
    if (reply)
        reply->Progress("Vorantel startar; begäran utförs när fönstret har öppnats.");
    gEarlyRequests.push_back({ arguments, reply });
}

// Hands the requests that came before the window had a view to the window.
void _LHandOverEarlyRequests()
{
    std::vector<LEarlyRequest> early;
    early.swap(gEarlyRequests);
    for (const LEarlyRequest& r : early) {
        LZORAPIReplyScope current(r.reply);
        _LReceiveRequest(r.arguments);
    }
}

} // namespace

bool LMainWindowForwardStart(
    int argc, const char* const* argv, const LSingleInstanceFileKey& isFile, int& status)
{
    status = 0;
    auto instance = std::make_unique<LSingleInstance>();
    const LSingleInstance::Outcome outcome = instance->Start(argc, argv, _LReceiveRequest, isFile);
    if (outcome == LSingleInstance::kPrimary) {
        gStartInstance = std::move(instance);
        return false;
    }
    if (outcome == LSingleInstance::kAlone) {
        gStartAloneText = instance->RefusalText();
        return false;
    }
    LMainWindow::bPrimaryInstance = false;
    status = LMainWindowReportAnswer(outcome, *instance, stdout, stderr);
    return true;
}

bool LMainWindow::InitApplication(int argc, const char* const* argv)
{
    LSingleInstance::Outcome outcome = LSingleInstance::kPrimary;
    if (gStartInstance) {
        // This start became the running program before the toolkit was set up.
        fSingleInstance = std::move(gStartInstance);
    } else if (!gStartAloneText.empty()) {
        fAloneText = gStartAloneText;
        gStartAloneText.clear();
    } else {
        fSingleInstance = std::make_unique<LSingleInstance>();
        outcome = fSingleInstance->Start(argc, argv, _LReceiveRequest,
            [this](const char* key) { return EvAPIKeyTakesFile(key); });
        if (outcome == LSingleInstance::kAlone)
            fAloneText = fSingleInstance->RefusalText();
    }
    if (outcome != LSingleInstance::kPrimary && outcome != LSingleInstance::kAlone) {
        bPrimaryInstance = false;
        int status = LMainWindowReportAnswer(outcome, *fSingleInstance, stdout, stderr);
        if (LAppDelegate* delegate = LAppDelegate::Shared())
            delegate->SetExitStatus(status);
        return false;
    }
    if (!fAloneText.empty())
        std::fprintf(stderr, "vorantel: %s\n", fAloneText.c_str());
    if (argc >= 2 && argv[1] && strcmp(argv[1], "-scheduled_launch") == 0)
        bIsLaunchedFromScheduler = true;
    char required[kLPathSize] = "";
    _LUserSettingGetString("Settings", "OSCheckRequired", "", required);
    if (!LAboutCheckOSVersion(required[0] && required[0] != '0'))
        return false;
    LUserSettingDeleteItem("Settings", "OSCheckRequired");
    LApplication::ShowApplication();
    return true;
}

void LMainWindow::MainWindowInitCommon()
{
    LRectangle monitor;
    LMonitorInfo::GetMonitorRect(0, monitor);
    int monitorWidth = monitor.right - monitor.left;
    int monitorHeight = monitor.bottom - monitor.top;
    CreateCocoaWindow(monitorWidth > 0 ? monitorWidth : 1024,
        monitorHeight > 0 ? monitorHeight : 768,
        kLUiWindowTitled | kLUiWindowClosable | kLUiWindowMiniaturizable | kLUiWindowResizable,
        false, nullptr);
    SetCaptionDefaultDocument("", false);
    // Requests that came before the window had a view are taken now (they wait for the
    // start's own request, as those that come from here on do).
    if (!gEarlyRequests.empty())
        LRunLoop::Post(_LHandOverEarlyRequests);
    AddApplicationMenuItems();
    AddStandardMenuItems();
    StatusBarInit(GetContentView(), 0);
    fInfoBar.Init();
    LTabbedToolBarInstallHooks();
    gLHangDetector.InitAndTest();
    LDebugCrashReportOfferAtStart();
    PostCommand(kCmdPostInit);

    InitDialog();

    int storedWidth = LUserSettingGet<int>("MainWindow", "Width", -1);
    int storedHeight = LUserSettingGet<int>("MainWindow", "Height", -1);
    int widthUnits = 0, heightUnits = 0;
    double scale = GetBackingScaleFactor();
    GetDefaultSizeUnits(int(monitorWidth * scale), int(monitorHeight * scale), storedWidth,
        storedHeight, widthUnits, heightUnits);
    int defaultWidth = int(widthUnits * CharWidthPixels() + 0.5);
    int defaultHeight = int(heightUnits * CharHeightPixels() + 0.5);
    int minWidth = int(kMinWidthUnits * CharWidthPixels() + 0.5);
    int minHeight = int(kMinHeightUnits * CharHeightPixels() + 0.5);
    if (LNativeWindow* window = GetNativeWindow()) {
        // What stands around the content (the title bar, the menu bar, a frame drawn by the
        // window itself) is left out of the smallest window to find the smallest content.
        const double frame = kMinWindowFrameHeightPoints + window->TopSlotsHeight();
        minWidth
            = std::min(minWidth, int((kMinWindowWidthPoints - kMinWindowFrameWidthPoints) * scale));
        minHeight = std::min(minHeight, int((kMinWindowHeightPoints - frame) * scale));
    }
    // The smallest size holds the toolbar, a canvas beside the panels and the status bar (and
    // is never larger than the screen's work area holds).
    if (GetContentView() && GetNativeWindow()) {
        ResizableHook(*this);
        MinimumSizeSet(minWidth, minHeight);
    }
    WindowSizeSettingsRestore(
        "MainWindow", defaultWidth, defaultHeight, minWidth, minHeight, false);
    // The stored or default size leaves out the title bar, the borders and the menu bar: the
    // whole window is fitted to the screen before it shows (and once more by the native window
    // when a window manager's frame is known).
    if (LNativeWindow* window = GetNativeWindow())
        window->FitToWorkArea();
    _LSetDebugPhase(2);

    LUserSettingSetString("Settings", "FirstRun", "1");
    char shown[kLPathSize] = "";
    _LUserSettingGetString("Settings", "MainWindowShownAtStartup", "", shown);
    _InstallKeyMonitor();
    // The start's own request (a new project, a file) runs right after the window shows: its
    // first frame shows the result, not the empty window first.
    if (LNativeWindow* window = GetNativeWindow())
        window->HoldPainting(kPaintingHoldMs);
    InitCommon(kLCocoaDialogCenterNone, shown[0] != '0');
    fReady = true;
    RelayoutControls(*this);
}

void LMainWindow::MainWindowPostInit()
{
    if (fDocumentsPending) {
        for (const std::string& path : fPendingDocuments)
            EvLoadFile(path.c_str());
        fPendingDocuments.clear();
        fDocumentsPending = false;
    }
    // The start's own request, whole and with its files made absolute as a later start's are,
    // runs before any that arrived meanwhile (those wait for it).
    std::vector<const char*> argv;
    for (const std::string& a : fArguments)
        argv.push_back(a.c_str());
    std::vector<const char*> kept
        = LSingleInstanceRecordArguments(static_cast<int>(argv.size()), argv.data());
    std::string folder;
    if (char* cwd = ::getcwd(nullptr, 0)) {
        folder = cwd;
        std::free(cwd);
    }
    const LSingleInstance::Arguments own
        = LSingleInstanceAbsoluteArguments(LSingleInstance::Arguments(kept.begin(), kept.end()),
            folder, [this](const char* key) { return EvAPIKeyTakesFile(key); });
    if (own.size() > 1) {
        fRunningStartRequest = true;
        MainWindowReceivedArguments(own);
        fRunningStartRequest = false;
    }
    // The request may take a while (pictures, long lists): the start-up goes on when it is done.
    if (!fDestroyed && !IsStartRequestRunning())
        _StartUpAfterOwnRequest();
}

void LMainWindow::StartRequestFinished()
{
    if (!fStartRequestDone && !fDestroyed)
        _StartUpAfterOwnRequest();
}

void LMainWindow::_StartUpAfterOwnRequest()
{
    fStartRequestDone = true;
    // Whatever the start did is painted now (a dialog it opened is not left over an unpainted
    // window for longer than the hold).
    if (LNativeWindow* window = GetNativeWindow())
        window->ResumePainting();
    if (!fAloneText.empty()) {
        LAlert alert(GetContentView(), fAloneText.c_str(), "Vorantel");
        alert.type = 0;
        alert.RunField();
        fAloneText.clear();
    }
    SendCommand(kLCmdWindowReady);
}

void LMainWindow::MainWindowReceivedArguments(const LSingleInstance::Arguments& arguments)
{
    LSingleInstanceDispatch(arguments, fApiHandler, [this] { CmOpen(); });
}

void LMainWindow::CmOpen()
{
    LNativeWindow* window = GetNativeWindow();
    if (window) {
        if (window->IsMiniaturized() || !window->IsVisible())
            window->MakeKeyAndOrderFront();
    }
    LApplication::ShowApplication();
}

LView* LMainWindow::AreOtherModalsOpen() const
{
    LNativeWindow* modal = LModalLoop::ModalWindow();
    if (!modal || modal == GetNativeWindow())
        return nullptr;
    return modal->ContentView();
}

bool LMainWindow::CmExit()
{
    if (iDontQuitCounter != 0 || fDestroyed || AreOtherModalsOpen() || LModalLoop::ModalWindow()
        || LModalCounter::Count() > 0)
        return false;
    // Inside a wait of ours (a clipboard answer, a nested loop) the question and the closing
    // come once it is over, never under its caller.
    if (LModalLoop::Busy()) {
        fQuitLater.Arm(20);
        return false;
    }
    if (!CmCancel())
        return false;
    Close();
    return true;
}

void LMainWindow::_QuitLater(LRunLoopTimer* timer, void* data)
{
    auto* self = static_cast<LMainWindow*>(data);
    if (self->fDestroyed)
        return;
    // Also a question that came after the wait (a paste's message) is answered first.
    if (LModalLoop::Busy()) {
        timer->Arm(20);
        return;
    }
    self->CmExit();
}

void LMainWindow::_CloseLater(LRunLoopTimer*, void* data)
{
    static_cast<LMainWindow*>(data)->Close();
}

void LMainWindow::Close(int)
{
    if (iDontQuitCounter != 0 || fDestroyed)
        return;
    if (AreOtherModalsOpen() || LModalLoop::Busy()) {
        // A modal run is cancelled, a wait ends by itself; then again, from the outer loop.
        LModalLoop::Stop(kLCmdCancel);
        fCloseLater.Arm(20);
        return;
    }
    LRunLoop::RunPending();
    MainWindowDestroy();
    if (LAppDelegate* delegate = LAppDelegate::Shared())
        delegate->terminate();
}

void LMainWindow::MainWindowDestroy()
{
    if (fDestroyed)
        return;
    fDestroyed = true;
    if (LNativeWindow* window = GetNativeWindow())
        window->OrderOut();
    WindowSizeSettingsStore("MainWindow");
    _RemoveKeyMonitor();
    // The channel stays until the program ends (the last questions below, the settings written
    // after them): a start meanwhile is told that this instance closes, never made a second one.
    if (fSingleInstance)
        fSingleInstance->SetClosing();
    EvMainWindowUtilBaseDestroy(GetContentView());
    DestroyCommon();
    LDebugHangDetectorDestroy();
    _LSetDebugPhase(3);
}

void LMainWindow::WindowSizeSettingsStore(const char* section)
{
    LMacWindow::WindowSizeSettingsStore(section);
    // The info bar's height is not part of the size the user chose.
    const int adjustment = fInfoBar.GetWindowHeightAjustment();
    if (adjustment > 0 && section) {
        const int height = LUserSettingGet<int>(section, "Height", 0) - adjustment;
        char value[32];
        snprintf(value, sizeof value, "%d", height);
        LUserSettingSetString(section, "Height", value);
    }
}

void LMainWindow::MainWindowLayoutBars(int& y, int& width, int& height)
{
    int third = 0;
    fTabbedToolBar.TabbedToolBarLayout(y, width, third);
    StatusBarLayout(GetContentView(), width, height);
    int x = 0;
    fInfoBar.Layout(x, y, width, height);
}

void LMainWindow::LayoutControls(int width, int height)
{
    int y = 0;
    MainWindowLayoutBars(y, width, height);
}

bool LMainWindow::EvKeyDown(LKey)
{
    return false;
}

bool LMainWindow::EvKeyRepeat(LKey)
{
    return false;
}

void LMainWindow::_InstallKeyMonitor()
{
    fKeys.KeyHandlerInit(*this);
    if (!fKeyMonitor)
        fKeyMonitor = LEventHub::AddMonitor(kLEventHubKey, _KeyMonitor, this);
}

void LMainWindow::_RemoveKeyMonitor()
{
    if (fKeyMonitor) {
        LEventHub::RemoveMonitor(fKeyMonitor);
        fKeyMonitor = 0;
        fKeys.DestroyKeyHandler();
    }
}

bool LMainWindow::_KeyMonitor(GdkEvent* event, void* data)
{
    auto* self = static_cast<LMainWindow*>(data);
    LView* content = self->GetContentView();
    // An alert counts until its loop has returned: a key that comes in the same pass as the
    // button that closed it is not the main window's yet.
    if (self->fDestroyed || !content || LModalLoop::Depth() > 0 || LModalLoop::ModalWindow()
        || LModalCounter::Count() > 0)
        return false;
    LNativeWindow* window = self->GetNativeWindow();
    if (!window || !window->IsKey())
        return false;
    LUiEvent e;
    if (!content->MakeEvent(event, e))
        return false;
    if (e.type != LUiEventType::KeyDown && e.type != LUiEventType::KeyUp)
        return false;
    LKey key = LKeyFromRawKeyEvent(e);
    // Editing keys stay with a focused text control.
    if (self->IsEditControlFocus() && key.Modifiers() == 0) {
        switch (key.KeyCode()) {
        case LKey::kReturn:
        case LKey::kBackspace:
        case LKey::kDelete:
        case 123:
        case 124:
        case 125:
        case 126:
            return false;
        default:
            break;
        }
    }
    if (e.type == LUiEventType::KeyUp) {
        LKey up(key.code & ~LKey::kModifierMask);
        return e.isRepeat ? self->fKeys.EvKeyRepeat(up) : self->fKeys.EvKeyUp(up);
    }
    return e.isRepeat ? self->fKeys.EvKeyRepeat(key) : self->fKeys.EvKeyDown(key);
}

void LMainWindow::CmHelp()
{
    LOpenHelpPage(GetContentView(), "index");
}

void LMainWindow::AddApplicationMenuItems()
{
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, this);
    bar->Release();
    LMenuAdd(LMainMenu::theMainMenu, kApplicationMenu, 0,
        sizeof kApplicationMenu / sizeof kApplicationMenu[0], kApplicationKeys,
        kApplicationKeyCount);
}

void LMainWindow::MenuDeleteItems()
{
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    if (!bar)
        return;
    LUiMenu::SetHelpMenu(nullptr);
    for (const char* title : { "Fönstret", "Hjälp" }) {
        for (const auto& item : bar->Items()) {
            if (item->Submenu() && item->Title() == title) {
                bar->RemoveItem(item.Get());
                break;
            }
        }
    }
}

void LMainWindow::AddStandardMenuItems()
{
    LMenuAdd(LMainMenu::theMainMenu, kWindowMenu, 0, sizeof kWindowMenu / sizeof kWindowMenu[0],
        kApplicationKeys, kApplicationKeyCount);
    // The help menu: the derived window's items first; its one item, or our own first item,
    // gets the help shortcut.
    std::vector<LMenuItem> help;
    help.push_back({ -1, "Hjälp", 0 });
    LUiMenu* existing = _LBarSubmenu("Hjälp");
    if (!existing || existing->Items().empty())
        help.push_back({ 9020, "Vorantel, Program för skivetiketter Hjälp", 0 });
    help.insert(help.end(), std::begin(kHelpMenuTail), std::end(kHelpMenuTail));
    help.push_back({ -1, nullptr, 0 });
    if (existing && !existing->Items().empty()) {
        unsigned long index = 1;
        LCocoaMenu helpMenu;
        helpMenu.Adopt(existing, this);
        existing->Retain();
        helpMenu.SetShortcuts(kApplicationKeys, kApplicationKeyCount);
        LMenuAddItems(
            helpMenu, help.data(), index, help.size(), kApplicationKeys, kApplicationKeyCount);
        if (existing->Items().size() > 0 && existing->Items()[0]->Tag() == 9020)
            LMainMenu::SetMenuShortcut(9020, kApplicationKeys, kApplicationKeyCount);
        LUiMenu::SetHelpMenu(existing);
        return;
    }
    LMenuAdd(LMainMenu::theMainMenu, help.data(), 0, help.size(), kApplicationKeys,
        kApplicationKeyCount);
}

void LMainWindow::SetMenu(
    const LMenuItem* items, size_t count, const LKeyToCommandMap* keys, size_t keyCount)
{
    // Our window and help menus go first, so that the derived window's own help items stay;
    // then ours follow them, and the help menu is the bar's last.
    MenuDeleteItems();
    for (unsigned long i = 0; i < count;) {
        unsigned long next = LMenuAdd(LMainMenu::theMainMenu, items, i, count, keys, keyCount);
        i = next > i ? next : i + 1;
    }
    AddStandardMenuItems();
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    if (LUiMenu* help = _LBarSubmenu("Hjälp"); help && bar) {
        LUiMenuItem* holder = help->SupermenuItem();
        if (holder && bar->IndexOf(holder) >= 0
            && bar->IndexOf(holder) + 1 < long(bar->ItemCount())) {
            LUiRef<LUiMenuItem> keep(holder);
            bar->RemoveItem(holder);
            bar->AddItem(holder);
        }
    }
    // The file menu ("ﬁlen", else the bar's second submenu) gets the recent files.
    LUiMenu* file = LMainMenu::theMainMenu.GetMenuByCaption("\uFB01len");
    if (!file && bar && bar->ItemCount() > 1)
        file = bar->ItemAt(1)->Submenu();
    if (file && !LCocoaMenuImpl::findFirstItem(file, 9049)) {
        LCocoaMenuImpl::addSeparator(file);
        LCocoaMenuImpl::addItem(file, 9049, "Senaste filer");
    }
    SetRecentFileListMainWindow(this);
    RecentFileListLoad();
}

void LMainWindow::RecentFileListInstallMenu(int command, const LRecentFileMenu& menu)
{
    LPopupMenu popup(*this);
    for (int i = 0; i < menu.GetCount(); ++i) {
        const LRecentFileMenuItem& item = menu.GetItem(i);
        popup.AppendMenuItem(item.command, item.title);
        if (!item.enabled)
            popup.EnableMenuItem(item.command, false);
    }
    LMainMenu::SetSubMenuFromMainWindow(*this, command, popup);
}

void LMainWindow::Command(int id, int code)
{
    if (HandleWebCommand(id))
        return;
    switch (id) {
    case kCmdPostInit:
        MainWindowPostInit();
        return;
    case 9020:
        CmHelp();
        return;
    case 9050:
    case 9051:
    case 9052:
    case 9053:
    case 9054:
    case 9055:
    case 9056:
    case 9057:
    case 9058:
    case 9059:
        EvRecentFileOpen(id - 9050);
        return;
    case 9405:
        LAboutCheckForVersionUpdate(this);
        return;
    case kCmdPreferences:
        CmSettings();
        return;
    case kLCmdCancel:
        if (CmCancel())
            CmExit();
        return;
    case kCmdQuit:
        CmExit();
        return;
    case kCmdRetryQuit:
        Close();
        return;
    case kCmdAbout:
        LAboutBoxShow(static_cast<LMacWindow*>(this));
        return;
    case kCmdSuite:
        LZORSuiteLaunch(GetContentView(), LZORSuiteDialog::szDefaultTabName);
        return;
    case kCmdMaximize:
        CmOpen();
        return;
    case kCmdMinimize:
        if (LNativeWindow* window = GetNativeWindow(); window && !window->IsMiniaturized())
            window->Miniaturize();
        return;
    case kCmdMinimizeAll:
        if (LNativeWindow* window = GetNativeWindow())
            window->Miniaturize();
        return;
    case kCmdAllToFront:
    case kCmdArrangeInFront:
        CmOpen();
        return;
    case kCmdCloseWindow:
        // As the window's close button: the unsaved work is asked about, and the program ends
        // with its only window (hidden, it would run on out of reach with the work).
        CmExit();
        return;
    case kCmdHide:
        LApplication::HideApplication();
        return;
    default:
        break;
    }
    if (LToolBarShareLinkBarOrButton::HandleCommand(*this, id))
        return;
    LMacWindow::Command(id, code);
}

void LMainWindow::EvAppleEvent(const LAppleEvent& event)
{
    if (event.id == "oapp" || event.id == "rapp") {
        char shown[kLPathSize] = "";
        _LUserSettingGetString("Settings", "MainWindowShownAtStartup", "", shown);
        LNativeWindow* window = GetNativeWindow();
        if (shown[0] == '0' && !(window && window->IsMiniaturized()))
            return;
        CmOpen();
    } else if (event.id == "odoc") {
        // The command line's own documents arrive with MainWindowPostInit's record: once.
        std::vector<std::string> own;
        for (size_t i = 1; i < fArguments.size(); ++i)
            own.push_back(fArguments[i]);
        if (fDocumentsPending || event.documents == own)
            return;
        fPendingDocuments = event.documents;
        fDocumentsPending = true;
        // Before the first pass of the loop MainWindowPostInit loads them.
    } else if (event.id == "quit") {
        // The desktop session or a signal ends the program: no questions, no exit pages, a
        // running modal is cancelled first.
        bSystemIsQuitting = bSkipExitChecks = true;
        LModalLoop::StopAll(kLCmdCancel);
        MainWindowDestroy();
        if (LAppDelegate* delegate = LAppDelegate::Shared())
            delegate->terminate();
    }
}

void LMainWindowInstallApplicationHooks(LCocoaWindow* (*createMainWindow)())
{
    LMainWindowInstallFrameworkHooks();
    LAppDelegateHooks& hooks = LAppDelegateHooksGet();
    hooks.install = [] { return Install(); };
    hooks.createMainWindow = createMainWindow;
    hooks.mainWindowInit = [](LCocoaWindow& window, LAppDelegate&) {
        auto* main = dynamic_cast<LMainWindow*>(&window);
        return main && main->MainWindowInit(gargc, gargv);
    };
    hooks.appleEvent = [](LCocoaWindow& window, const LAppleEvent& event) {
        if (auto* main = dynamic_cast<LMainWindow*>(&window))
            main->EvAppleEvent(event);
    };
    hooks.keepWork = [](LCocoaWindow& window) {
        if (auto* main = dynamic_cast<LMainWindow*>(&window))
            main->EvKeepWork(false);
    };
    hooks.endingNow = [] {
        // The program did not fail: the next start asks nothing about this run's end. Only the
        // run-lock file goes (its descriptor is the main thread's, and the end closes it).
        if (const char* path = gLHangDetector.GetPath(); path[0])
            unlink(path);
    };
    hooks.displayLost = [](LCocoaWindow& window) {
        if (auto* main = dynamic_cast<LMainWindow*>(&window))
            main->EvKeepWork(true);
        // The session ended under the program, which did not fail: the next start asks nothing
        // about this run's end.
        LDebugHangDetectorDestroy();
    };
}

namespace {

// A job of the online services, run under the framework's progress dialog.
struct LZORJobRecord {
    const LZORJob* job = nullptr;
};

LView* _LMainContentView()
{
    return LMainWindow::pInstance ? LMainWindow::pInstance->GetContentView() : nullptr;
}

int _LFrameworkAlert(
    int kind, const char* title, const char* text, const char* const* buttons, int buttonCount)
{
    LAlert alert(_LMainContentView(), text ? text : "", title ? title : "");
    alert.type = kind == LZORAlertWarning ? 0 : (kind == LZORAlertError ? 2 : 1);
    char(*fields[3])[260] = { &alert.button1, &alert.button2, &alert.button3 };
    for (int i = 0; i < 3; ++i)
        (*fields[i])[0] = 0;
    for (int i = 0; i < buttonCount && i < 3; ++i)
        LAlertCopyField(*fields[i], buttons[i] ? buttons[i] : "");
    if (buttonCount < 1)
        LAlertCopyField(alert.button1, "OK");
    int field = alert.RunField();
    return field >= 1 && field <= buttonCount ? field - 1 : -1;
}

int _LRateItByMenu(void* view)
{
    static const LDialogMenuItem kItems[] = {
        { 5000, "Jag älskar det", "Detta är ett riktigt bra program" },
        { 5001, "Det är okej", "Detta är ett acceptabelt program" },
        { 5002, "Det behöver arbete", "Det är användbart men skulle kunna förbättras" },
        { 5003, "Jag hatar det", "Om du inte gillar Vorantel" },
        { 0, nullptr, nullptr },
    };
    LDialogMenu menu(static_cast<LView*>(view), "Betygsätt Vorantel", "Gillar du Vorantel?", "",
        kItems, 5000, true);
    return menu.Run();
}

// Found by argument-dependent lookup from the progress dialog's template.
LProcessResult Process(LProcessInterface& job, LZORJobRecord& record)
{
    return record.job ? (*record.job)(job) : LProcessResultError;
}

LProcessResult _LFrameworkRunJob(const char* title, const LZORJob& job)
{
    LZORJobRecord record { &job };
    LProcessDialog<LZORJobRecord> dialog(title ? title : "", record);
    dialog.Open(_LMainContentView());
    return static_cast<LProcessResult>(dialog.result);
}

} // namespace

void LMainWindowInstallFrameworkHooks()
{
    LZORSetAlertFunction(_LFrameworkAlert);
    LZORSetRunJobFunction(_LFrameworkRunJob);
    LMainWindowSetRateItDialogFunction(_LRateItByMenu);
    LCommandLinkButtonInstallHooks();
    LAboutSetBoxFunction(LAboutBoxOpen);
}
