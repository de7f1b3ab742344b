// The application's one main window: the menus and shortcut keys, the caption, the logo shown
// while no project is open, the open project and the commands on it (new, open, save, export,
// print, requests of a second start, dropped files), the enable rules of its menu items, and the
// offer to reopen an autosaved project at start-up.
//
// MainDialog.cpp holds the start-up, the tables and the construction; MainDialogCommands.cpp the
// command set, the enable rules and the keys; MainDialogDocument.cpp the document commands;
// MainDialogRequests.cpp the requests of the command line and of later starts.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTOverlay.h"
#include "app/VTPictureFilesAdd.h"
#include "app/VTProject.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectViewer.h"
#include "app/VTProjectViewerNotifyee.h"
#include "app/VTRequests.h"
#include "lfw/gen/LString.h"
#include "lfw/gui/LCaptionToolbar.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LDragDrop.h"
#include "lfw/mac/LMenu.h"
#include "lfw/snd/LMusicBrainz.h"
#include "lfw/zor/LMainWindow.h"
#include "lfw/zor/LZorLogoBackground.h"
#include "platform/ui/LRunLoop.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MainDialog : public LMainWindow,
                   public LDragDropHandler,
                   public LMenuEnableHandler,
                   public VTProjectViewerNotifyee,
                   public VTProjectNotifyee {
public:
    MainDialog();
    ~MainDialog() override;
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // The window's tables: the menu rows, the shortcut keys (also the toolbars' tip texts).
    static const LMenuItem arMenuItems[];
    static const size_t kMenuItemCount;
    static const LKeyToCommandMap arKeyMap[];
    static const size_t kKeyMapCount;

    // ---- Start-up and construction (MainDialog.cpp).
    void InitDialog() override;
    void EvWindowReady() override;
    void DestroyDialog() override;
    void CmWelcomeDialog();
    void LayoutControls(int width, int height) override;
    void UpdateCaption();

    // ---- Commands (MainDialogCommands.cpp).
    void Command(int id, int code) override;
    // Asked for after every command and every change of the undo stack, the selection or the
    // clipboard: the controls are enabled once the loop is idle after a burst of such requests;
    // the first time, and when a project opened or closed, at once.
    void EnableControls() override;
    // Enables the controls now (the toolbars only where their state changed).
    void EnableControlsNow();
    // (The window's own EnableMenuItems(commands, enable) stays reachable beside it.)
    using LMacWindow::EnableMenuItems;
    void EnableMenuItems() override { EvMenuOpen(); }
    void EvMenuOpen();
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override;
    void CmSettings() override;
    void CmCut();
    void CmCopy();
    void CmPaste();
    void CmOverlayAddImages();
    void CmOverlayAddClipart();
    void CmOverlayAddClipartFrame();
    void CmLabelLayoutSelect();
    void CmLabelLayoutEdit(VTLabelLayoutTemplate* t);
    void CmCDInfoMenuShow();
    void CmOverlayRaise();
    void CmOverlayLower();
    void EvProjectSaveStateChanged(VTProject& p) override;
    // The project viewer's events.
    void EvProjectViewerLabelLayoutSelectClicked(VTProjectViewer&) override;
    void EvProjectViewerLabelLayoutEditClicked(VTProjectViewer&, VTLabelLayoutTemplate* t) override;
    void EvProjectViewerOverlaySelectionChanged(VTProjectViewer&) override;
    void EvProjectViewerContextMenuOpen(VTProjectViewer&) override;
    void EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate* t) override;
    void EvProjectViewerUndoRedoChanged(VTProjectViewer&) override;
    void EvProjectViewerAutoSaveFailed(VTProjectViewer&, const char* reason) override;

    // ---- Document commands (MainDialogDocument.cpp).
    bool CmProjectPromptUnsavedChanges();
    bool CmCloseDocument(bool prompt);
    // Closing the window (quitting): requests being carried out, or waiting to be, go first;
    // then the unsaved question. Requests that come while it is asked wait for its answer: run
    // when it is "Avbryt", told that the program is closing otherwise.
    bool CmCancel() override;
    // False when no new project was made (the unsaved question answered "Avbryt").
    bool CmNewDocument(VTLabelLayout* layout);
    bool CmOpenDocument();
    bool CmProjectLoad();
    bool CmProjectLoad(const char* path, bool prompt);
    void EvLoadFile(const char* path) override;
    void EvKeepWork(bool ending) override;
    using LMainWindow::EvRecentFileOpen;
    bool EvRecentFileOpen(const char* path) override;
    bool CmProjectSave();
    bool CmProjectSave(const char* path);
    bool CmProjectSaveAs();
    void CmExportToPDF();
    void ExportToPDF(VTProject& p, VTLabelLayoutPage* page);
    void CmExportToImage();
    void ExportToImage(VTProject& p, VTLabelLayoutPage* page);
    void CmPrint();
    // A start's requests (MainDialogRequests.cpp): refused at once when they cannot be read;
    // otherwise taken (the asker hears that), checked whole, and carried out one by one between
    // the window's other work, each start after the ones before it. The outcome goes to the
    // asker and, when it is not carried out whole, is shown in the window.
    int EvAPICommand(int argc, const char* const* argv, char* reply) override;
    bool EvAPIKeyTakesFile(const char* key) const override;
    bool IsStartRequestRunning() const override;
    void EvDropFiles(LDroppedFileData& data) override;
    // The paths of a drop, sorted and answered as a drop of those files is.
    void DropPaths(const std::vector<std::string>& paths);
    bool GetCDInfo(int type, LStringLongTemplate<char>& text) const;
    void CmOverlayAddTextCDAlbum();
    void CmOverlayAddTextCDArtist();
    void CmOverlayAddTextCDTrackList();

    // The page the document commands act on: the current page of the label-layout panel, else
    // the layout's first page.
    VTLabelLayoutPage* CurrentPage() const;
    // The text of a file for a text overlay: a regular file of at most 1 MiB whose text (UTF-16
    // by its byte-order mark, else UTF-8) is well-formed, not empty, and holds no control
    // characters but tabs and line ends (a NUL byte makes it a binary file). Anything else is
    // refused, big files unread.
    enum class TextFileRefusal { kNone, kMissing, kUnreadable, kTooBig, kNotUTF8, kBinary, kEmpty };
    static TextFileRefusal CheckOverlayText(const char* path, LStringLongTemplate<char>& text);
    static bool LoadOverlayText(const char* path, LStringLongTemplate<char>& text)
    {
        return CheckOverlayText(path, text) == TextFileRefusal::kNone;
    }
    // Why a file was refused, in a Swedish sentence naming it ("" for kNone).
    static std::string TextFileRefusalText(TextFileRefusal refusal, const char* path);
    // The project's file name without folder and extension; an autosave's own name loses its
    // "_autosave" ending.
    static std::string ProjectBareName(const char* path);

    // The enable state of every item the rules name, per place (the item's command: enabled).
    struct EnableState {
        std::map<int, bool> toolbar;
        std::map<int, bool> caption;
        std::map<int, bool> menu;
        bool operator==(const EnableState&) const = default;
    };
    EnableState ComputeEnableState() const;
    // Whether the selected overlay of a design's list can move up (down) one place: never past
    // the top, and never under (nor, while first, over anything from) a background image.
    static bool CanRaise(const VTOverlayList& list, const VTOverlay* selected);
    static bool CanLower(const VTOverlayList& list, const VTOverlay* selected);

    VTProject* GetProject() const { return project; }
    bool IsWelcomeAllowed() const { return welcomeAllowed; }
    // While a modal window runs, requests of a second start and drops wait here.
    bool HasDeferredWork() const { return !deferred.empty() || !starts.empty() || runningStart; }

    // The undo stack as the enable rules see it (-1 and 0 without a project viewer).
    int UndoIndex() const;
    int UndoCount() const;

    // The painted logo (control 1033) shown while no project is open.
    LZorLogoBackgroundControl logoControl;
    VTProjectViewer projectViewer;
    LCaptionToolbar captionToolbar;
    VTProject* project = nullptr;
    bool welcomeAllowed = true;
    bool firstTextTipPending = false;
    bool clipartDialogOpen = false;
    std::string autoSaveFileName; // the autosave offered at start, whole
    // The autosave file a reopened project came from: removed once that project is saved or
    // closed.
    std::string reopenedAutoSave;

private:
    // Autosaves never enter the recent files.
    bool RecentFileListTakes(const char* path) const override;
    // The command the menus send when they open.
    static constexpr int kCmdMenuOpen = 3390;
    void _AttachMenuOpening();
    // The project viewer's side of the commands.
    void _ViewerObserve();
    void _ViewerSetProject(VTProject* p);
    void _ViewerAddText(const char* text);
    // Adds the picture files to the design shown, read and decoded on workers under the
    // progress window "Lägga till bilder" while the window goes on answering; each file that
    // cannot be read is told as the add goes. Returns at once. done (may be empty) is called
    // once, on the main thread, when the add has ended, with what came of it (also when it could
    // not start: nothing added, every file counted as failed). An add asked for while another
    // runs starts once that one has ended.
    void _ViewerAddImages(
        const std::vector<std::string>& paths, VTPictureFilesAdd::Done done = nullptr);
    // Adds one picture file opened as a document; a file that cannot be read is told as an
    // invalid picture once its reading has failed.
    void _AddImageFile(const char* path);
    // The add of picture files above: each failure told as it comes or only counted, the
    // overlays named by the files' paths or by their names with ".png".
    // The first file that cannot be read ends the add when stopAtFailure is set.
    void _StartPictureAdd(const std::vector<std::string>& paths, bool tell, bool keepPaths,
        VTPictureFilesAdd::Done done, bool stopAtFailure = false);
    void _ViewerSelection(const VTOverlayList*& list, const VTOverlay*& single) const;
    bool _ClipboardHasContent() const;
    void _ViewerDeleteSelection();
    bool _ViewerCopySelection();
    void _ViewerPaste();
    void _ViewerUndo(bool undo);
    void _RotateSelection(bool left);
    bool _MoveSelectionByKey(LKey key, float divisor);
    VTLabelLayout* _SelectLabelLayout();
    void _SelectLabelLayoutForProject();
    void _EditLabelLayout(VTLabelLayoutTemplate* t);
    void _CDInfoMenuPoint(LPoint& at);
    void _LaunchSibling(int command);
    void _ApplyToolbarState(const EnableState& state);
    void _ShowFirstTextTip();
    void _ShowProjectOrLogo(bool projectOpen);
    std::vector<std::unique_ptr<LMainMenuDelegate>> menuDelegates;
    // Runs work now, or after the last modal window closed and the request, drop or deferred
    // work under way has finished.
    void RunWhenNoModal(std::function<void()> work);
    // A modal window runs, or a request, drop or deferred work is under way: a loop run inside it
    // (a modal's, the clipboard's) must not start another that swaps the project under it.
    bool _MustWait() const;
    // Requests of the command line and of later starts (MainDialogRequests.cpp). A start is
    // read whole (texts, pictures decoded, projects and layouts loaded) before any of its
    // requests is carried out; a refusal is told to the asker at once and in an alert as soon
    // as the window can show one.
    struct Start;
    void _CheckRequests(const std::vector<VTRequest>& requests, bool knowsState,
        std::vector<std::string>& refusals) const;
    int _RefuseRequest(const std::vector<std::string>& refusals, char* reply);
    // The start ends refused; the window shows why unless tellWindow is false.
    void _RefuseStart(Start& start, const std::string& text, bool tellWindow = true);
    // A start that waits for its turn is refused and leaves the queue; the next may begin.
    void _RefuseWaitingStart(const std::shared_ptr<Start>& start, const std::string& text);
    // Reads the files of a start that was taken, on a worker.
    void _CheckStartFiles(const std::shared_ptr<Start>& start);
    // Begins the next start that waits when nothing is in the way.
    void _NextStart();
    void _StartChecked(const std::shared_ptr<Start>& start);
    // Loads the project or layout a request names; why it could not ("" when it could).
    // stopped: the user stopped it with "Avbryt" of its progress window.
    std::string _LoadForStart(Start& start, size_t index, bool& stopped);
    // Reads the start's texts and decodes its pictures (under their progress window), kept for
    // their requests; why one could not be read ("" when all were), stopped as above.
    std::string _ReadForStart(Start& start, bool& stopped);
    // Whether the pictures, projects and layouts of a start that waits for the user were all read
    // whole, on a worker: until then it is not told that it will be carried out. Starts that
    // reading when needed; a file that cannot be read refuses the start.
    bool _ReadAside(const std::shared_ptr<Start>& start);
    void _StartStep();
    void _EndStart(bool carriedOut);
    // Tells the waiting starts (and the running one, when it waits) what they wait for.
    void _TellWaiting();
    void _QuitAnswered(bool quit);
    void _QuitIfDone();
    // The window goes: what was taken and not carried out is told so.
    void _EndAllStarts();
    static void _StartsTimer(LRunLoopTimer* timer, void* data);
    std::deque<std::shared_ptr<Start>> starts; // waiting, in order (the start's own first)
    std::shared_ptr<Start> runningStart; // being checked or carried out
    bool askingToQuit = false; // the unsaved question of a quit is open
    bool quitWhenDone = false; // a quit waits for the starts being carried out
    bool quitConfirmed = false; // it was answered with quitting
    LRunLoopTimer startsTimer { _StartsTimer, this };
    static void _DeferredTimer(LRunLoopTimer* timer, void* data);
    void _SetProject(VTProject* p);
    void _RemoveReopenedAutoSave();
    // Writes the rectangles of the window's parts to the file a test names (nothing otherwise).
    void _WriteTestRectangles();

    // A named rectangle of the client area (pixels) for the test file.
    struct TestRectangle {
        std::string name;
        int x, y, w, h;
    };
    std::vector<TestRectangle> testRectangles;
    LRunLoopTimer testRectanglesTimer { [](LRunLoopTimer*, void* self) {
                                           static_cast<MainDialog*>(self)->_WriteTestRectangles();
                                       },
        this };
    bool contentBuilt = false;
    bool readyDone = false;
    std::vector<std::function<void()>> deferred;
    int busy = 0; // requests, drops and deferred work under way
    // The add of picture files under way (null when none runs).
    std::unique_ptr<VTPictureFilesAdd> pictureAdd;
    LRunLoopTimer deferredTimer { _DeferredTimer, this };
    // Enabling once the loop is idle; what the toolbars got last; whether the project's view
    // was shown then.
    static void _EnableTimer(LRunLoopTimer* timer, void* data);
    LRunLoopTimer enableTimer { _EnableTimer, this, true };
    EnableState appliedState;
    bool stateApplied = false;
    bool projectShown = false;
    bool viewerTakingProject = false; // inside _ViewerSetProject
    uintptr_t clipboardWatch = 0;
};
