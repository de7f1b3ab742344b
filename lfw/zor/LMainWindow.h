// The framework's base of the application's one main window: start-up (single instance, the
// first-run checks, the window with its application, window and help menus, its stored size),
// the commands every main window handles, the application's events, and the exit path with its
// stored size and exit pages. The application's own window derives from it and handles its own
// commands first.
#pragma once

#include "lfw/gen/LRecentFileList.h"
#include "lfw/gui/LStatusBar.h"
#include "lfw/gui/LTabbedToolBar.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LKeyHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LAppDelegate.h"
#include "lfw/zor/LMainWindowUtil.h"
#include "lfw/zor/LSingleInstance.h"
#include "lfw/zor/LToolBarShareLinkBarOrButton.h"
#include "lfw/zor/LZORAPIServer.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class LMainWindow : public LMacWindow,
                    public LStatusBar,
                    public LResizable,
                    public LRecentFileList,
                    public LMainWindowUtilBase,
                    public LZORAPIServerGUILayer,
                    public LShareLinkWindow {
public:
    // The one main window while it exists.
    static LMainWindow* pInstance;
    // While not zero the application refuses to quit.
    static int iDontQuitCounter;
    static bool bIsLaunchedFromScheduler;
    static bool bPrimaryInstance;

    LMainWindow();
    ~LMainWindow() override;

    // Start-up, run when the application has finished launching; false stops the application.
    bool MainWindowInit(int argc, const char* const* argv);
    bool InitApplication(int argc, const char* const* argv);
    void MainWindowInitCommon();
    // Run from the event loop's first pass (command 3332).
    void MainWindowPostInit();

    // The derived window.
    void InitDialog() override { }
    // Keys of the application, from the key monitor ahead of the controls; true when handled.
    virtual bool EvKeyDown(LKey key);
    // A held key's repeats; true when handled.
    virtual bool EvKeyRepeat(LKey key);
    virtual void CmSettings() = 0;
    virtual void EvLoadFile(const char* path) = 0;
    virtual bool EvWindowShouldClose() { return CmExit(); }
    // The program is to end without the work being closed (a signal, the display gone): the
    // derived window writes what is unsaved at once where the next start offers it, touching no
    // window. ending: the program ends right after, without returning to its loop.
    virtual void EvKeepWork(bool ending) { (void)ending; }
    virtual void EnableMainMenu() { }

    void Command(int id, int code) override;
    // A recent file: the derived window loads it.
    using LRecentFileList::EvRecentFileOpen;
    bool EvRecentFileOpen(const char* path) override
    {
        EvLoadFile(path);
        return true;
    }
    void Close(int code) override;
    void Close() override { Close(kLCmdCancel); }
    void CmHelp() override;
    void WindowSizeSettingsStore(const char* section) override;

    // The bars: the tabbed toolbar at the top (once the derived window initialised it), the
    // status bar (control 800) at the bottom and the info bar (control 9599) above it. y moves
    // below the toolbar and height shrinks by the bars below; the rest is the derived window's.
    void MainWindowLayoutBars(int& y, int& width, int& height);
    // Lays out the bars; a derived window lays out its own controls in what they leave.
    void LayoutControls(int width, int height) override;
    LTabbedToolBar& GetTabbedToolBar() { return fTabbedToolBar; }
    LInfoBar<LMainWindow>& GetInfoBar() { return fInfoBar; }

    // The share commands.
    const char* GetShareHomePage() const override { return szHomePage; }
    void CmShareTwitter() override { LMainWindowUtilBase::CmShareTwitter(); }

    bool CmExit();
    void CmOpen();
    // The content view of a modal window other than this one, or null.
    LView* AreOtherModalsOpen() const;
    // A request of the command line or of a later start (argument 0 the program path).
    void MainWindowReceivedArguments(const LSingleInstance::Arguments& arguments);
    // Whether the request handed over now is the start's own, and whether that one has been
    // carried out (requests that arrive before it wait for it).
    bool IsStartRequest() const { return fRunningStartRequest; }
    bool IsStartRequestDone() const { return fStartRequestDone; }
    // The derived window still carries the start's own request out (it was handed over by
    // MainWindowPostInit); it calls StartRequestFinished once it is done, and the start-up goes
    // on from there.
    virtual bool IsStartRequestRunning() const { return false; }
    void StartRequestFinished();
    // Quits as CmExit does once nothing runs in the way any more (tried every 20 ms).
    void QuitWhenPossible() { fQuitLater.Arm(20); }
    void SetCaptionDefaultDocument(const char* path, bool);
    void EvAppleEvent(const LAppleEvent& event);

    // Menus.
    void AddApplicationMenuItems();
    void AddStandardMenuItems();
    void MenuDeleteItems();
    void SetMenu(
        const LMenuItem* items, size_t count, const LKeyToCommandMap* keys, size_t keyCount);

    // The default size in character units: with no stored size (width and height both -1) an
    // eighth of the monitor's width and a seventeenth of its height, else 115 × 38.
    static void GetDefaultSizeUnits(int monitorWidth, int monitorHeight, int storedWidth,
        int storedHeight, int& widthOut, int& heightOut);
    // "Vorantel av ZOR Software", with " - " and the file name of a path.
    static std::string MakeCaption(const char* path);

    void MainWindowDestroy();
    bool IsDestroyed() const { return fDestroyed; }
    // Whether this window's program is the running instance (it holds the channel).
    bool IsRunningInstance() const { return fSingleInstance && fSingleInstance->IsPrimary(); }

protected:
    // "Senaste filer" (9049) in the file menu shows the recent files.
    void RecentFileListInstallMenu(int command, const LRecentFileMenu& menu) override;

private:
    // The window's key handler: key-down goes to EvKeyDown.
    class Keys : public LKeyHandler {
    public:
        explicit Keys(LMainWindow& owner)
            : fOwner(owner)
        {
        }
        using LKeyHandler::EvKeyDown;
        bool EvKeyDown(LKey key) override { return fOwner.EvKeyDown(key); }
        using LKeyHandler::EvKeyRepeat;
        bool EvKeyRepeat(LKey key) override { return fOwner.EvKeyRepeat(key); }

    private:
        LMainWindow& fOwner;
    };
    static bool _KeyMonitor(GdkEvent* event, void* data);
    void _InstallKeyMonitor();
    void _RemoveKeyMonitor();
    // What the start-up does once the start's own request has been carried out.
    void _StartUpAfterOwnRequest();
    // Quitting asked for inside a wait (a clipboard answer, a nested loop), or a close that
    // waits for a modal run to end: tried again once nothing runs under us.
    static void _QuitLater(LRunLoopTimer* timer, void* data);
    static void _CloseLater(LRunLoopTimer* timer, void* data);

protected:
    LTabbedToolBar fTabbedToolBar;
    LInfoBar<LMainWindow> fInfoBar { *this };

private:
    Keys fKeys { *this };
    uintptr_t fKeyMonitor = 0;
    std::unique_ptr<LSingleInstance> fSingleInstance;
    // Why this runs as a program of its own without the channel ("" with it): told once.
    std::string fAloneText;
    LZORAPIServerHandler fApiHandler;
    std::vector<std::string> fArguments;
    std::vector<std::string> fPendingDocuments;
    bool fDocumentsPending = false;
    bool fReady = false;
    bool fDestroyed = false;
    bool fRunningStartRequest = false;
    bool fStartRequestDone = false;
    LRunLoopTimer fQuitLater { _QuitLater, this };
    LRunLoopTimer fCloseLater { _CloseLater, this };
};

// What a later start tells of its request, which it handed to the running instance: the answer
// (output on out; a refusal's reason, warnings or a request left waiting on err), and the exit
// status (0 carried out, 1 refused or failed, or taken and then no word of its outcome, 2 waiting
// for the user there, 3 not delivered or not taken).
int LMainWindowReportAnswer(
    LSingleInstance::Outcome outcome, LSingleInstance& instance, FILE* out, FILE* err);

// The first step of a start, before anything of the toolkit is set up: hands the arguments to
// the program that runs already and answers true, with the exit status in status (the answer
// told on standard output and error); false when this start is the running program now (it
// listens, or runs alone when no channel can be had), and the main window takes the requests
// once it is up. isFile names the request keys whose values are files.
bool LMainWindowForwardStart(
    int argc, const char* const* argv, const LSingleInstanceFileKey& isFile, int& status);

// Installs the application delegate's hooks: the installation step, the main window made by
// createMainWindow, its start-up with the process's arguments, and its application events.
void LMainWindowInstallApplicationHooks(LCocoaWindow* (*createMainWindow)());
// Installs the window layer's alert, progress dialog and choice dialog as the online services'
// alert, job runner and rating question (done by LMainWindowInstallApplicationHooks too).
void LMainWindowInstallFrameworkHooks();
