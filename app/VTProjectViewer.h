// The editor pane of the main window: the design canvas of the open project with its property
// panels beside it. It owns the project's undo history, autosaves unsaved work every minute,
// adds text, image, clipart and background overlays, copies and pastes overlays through the
// system clipboard, and turns the panels' and the canvas's events into undoable edits.
#pragma once

#include "app/VTControlLabelLayoutTemplatePaginator.h"
#include "app/VTHistoryStateStack.h"
#include "app/VTProject.h"
#include "app/VTProjectTemplateViewer.h"
#include "app/VTProjectViewerNotifyee.h"
#include "app/VTProjectViewerPanels.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/ios/LIOSEventHandler.h"
#include "lfw/ios/LTimerHandler.h"
#include "lfw/mac/LEmbeddedWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class LImageBuffer;
class LRunLoopTimer;
class LClipboard;
class VTProjectBackgroundSave;
class VTLabelLayoutTemplate;
class VTOverlayText;
class VTProjectViewer;

// The autosave timer and its period.
inline constexpr int kVTProjectViewerAutoSaveTimer = 100;
inline constexpr unsigned kVTProjectViewerAutoSaveTickMs = 20000;
inline constexpr unsigned kVTProjectViewerAutoSaveAfterSeconds = 60;
// The period the timer is set to: kVTProjectViewerAutoSaveTickMs, but for tests of the whole
// program (VT_TEST_AUTOSAVE_TICK_MS).
unsigned VTProjectViewerAutoSaveTickMs();
inline constexpr int kVTProjectViewerCanvasId = 2000;
inline constexpr const char* kVTAutoSaveSection = "AutoSave";
inline constexpr const char* kVTAutoSaveFileName = "FileName";

// The job that loads an image file and adds it as an image overlay, all on the thread that runs
// it (the window adds files through VTPictureFilesAdd, which reads them on workers).
struct VTProcessProjectViewerAddOverlayImage {
    VTProjectViewer* viewer = nullptr;
    char path[kLLongPathSize] = "";
};
LProcessResult Process(LProcessInterface& process, VTProcessProjectViewerAddOverlayImage& job);

class VTProjectViewer : public LEmbeddedWindow,
                        public LInterWinMessageHandler,
                        public LNotifier<VTProjectViewerNotifyee>,
                        public LTimerHandlerBase,
                        public VTProjectNotifyee,
                        public VTControlLabelLayoutTemplatePaginatorNotifyee,
                        public VTProjectTemplateViewerNotifyee,
                        public VTProjectViewerPanelLabelLayoutNotifyee,
                        public VTProjectViewerPanelTemplateNotifyee,
                        public VTProjectViewerPanelTextPropertiesNotifyee,
                        public VTProjectViewerPanelImagePropertiesNotifyee {
public:
    VTProjectViewer();
    ~VTProjectViewer() override;

    void InitDialog() override;
    void DestroyDialog() override;
    // Pixels: the panel column on the right, the paginator's strip on top of the canvas.
    void LayoutControls(int x, int y, int width, int height) override;
    void LayoutControls(int width, int height) override { LayoutControls(0, 0, width, height); }
    void EvTimer(int id) override;
    void EvInterWinMessage(int id, long a, long b) override;

    // The open project (not owned); null closes it. Taking a project changes nothing the user
    // would have to save: its save state stays as it was.
    void SetProject(VTProject* p);
    VTProject* GetProject() const { return project; }
    // Whether the text panel's "Böjd text" may be ticked (only on a disc face).
    void SetCircularTextAllowed(bool allowed);
    // Builds the text and image panels now if they have not been built yet. They are built when
    // first shown, or once the first design is on the screen.
    void BuildPanels();
    // Runs f once the loop is idle after the next paint that shows a design.
    void RunAfterDesignPaint(std::function<void()> f);
    VTProjectTemplate* GetCurrentTemplate() const { return canvas.GetCollection(); }

    void AddOverlayText(const char* text);
    void AddOverlayImage(LImageBuffer& buffer, const char* path);
    // The same with the buffer's pixels taken over, not copied (the buffer is left empty), and
    // the source of its screen copies when the reader made one (LScreenImageCopies::MakeSource).
    void AddOverlayImage(
        LImageBuffer&& buffer, const char* path, LImageBuffer* screenSource = nullptr);
    void AddOverlayClipart(LImageBuffer& buffer, const char* path);
    void AddOverlayClipart(
        LImageBuffer& buffer, const char* path, float width, float height, bool keepAspect);
    void AddOverlayImageBackground(LImageBuffer& buffer, const char* path);

    void DeleteSelectedItems();
    bool ClipboardCopySelectedItems();
    bool ClipboardPasteItems();
    void Undo();
    void Redo();
    bool CanUndo() const { return history.CanUndo(); }
    bool CanRedo() const { return history.CanRedo(); }
    // The caption of the step Undo or Redo would run ("" when none).
    const char* GetUndoCaption() const;
    const char* GetRedoCaption() const;

    // An edit typed into a panel that waits for its pause becomes a step now: everything that
    // reads the project (a save, a copy, an undo) sees what the panels show. The viewer's own
    // copies, undos, autosaves and additions do it themselves.
    void CommitPendingEdits();

    void UpdatePanelVisibility(bool activate, bool focusText);
    void UpdatePanels();
    void ResetPanels();
    VTLabelLayoutTemplate* GetSelectedLabelLayoutTemplate() const;
    void NotifyUndoRedoChanged();
    // Empties the undo history (the label layout changed under it) and tells the observers.
    void ResetHistory();

    // Ends the project's autosave: one under way is abandoned, the file and the setting go
    // (both stay once KeepAutoSave has run).
    void DeleteAutoSave();
    // The program ends without a question (the desktop session ends it): the unsaved work is
    // autosaved now, on the window's thread, when it changed since the last autosave (or one
    // was still being written), and the autosave and the setting naming it stay for the next
    // start to offer, whatever closes the project after. The project's own file is not touched.
    // commitTyped: text typed into a panel and not yet a step is taken in first (not inside a
    // modal run that a change of the project could pull the rug from under: the end's own
    // autosave, once the runs have ended, takes it).
    void KeepAutoSave(bool commitTyped = true);
    // The project as it stands is in an autosave already (one reopened at the start): the end
    // of the session writes none until it changes.
    void AutoSaveIsCurrent() { changedSinceAutoSave = false; }
    // Starts writing the autosave off the window's thread; the setting names the file once it is
    // in place (an earlier run's autosave it named before is removed). Nothing while one is
    // under way.
    void AutoSave();
    // The autosave the setting names ("" when none).
    static std::string NamedAutoSave();
    bool IsAutoSaving() const { return autoSaving != nullptr; }

    void EvLabelLayoutTemplatePaginatorClicked() override;
    // Canvas events.
    void EvProjectTemplateViewerSelectionChanged(VTProjectTemplateViewer&) override;
    void EvProjectTemplateViewerContextMenuOpen(VTProjectTemplateViewer&) override;
    void EvProjectTemplateViewerOverlayChanged(VTProjectTemplateViewer&) override;
    // Project events.
    void EvProjectLabelLayoutChanged(VTProject&) override;
    void EvProjectTemplateChanged(VTProject&) override;
    void EvProjectSaveStateChanged(VTProject&) override;
    void EvProjectOverlayAdded(VTProject&, VTProjectTemplate&, VTOverlay&) override;
    void EvProjectOverlayDeleting(VTProject&, VTProjectTemplate&, VTOverlay&) override;
    // Panel events.
    void EvProjectViewerPanelLabelLayoutSelectClicked() override;
    void EvProjectViewerPanelLabelLayoutEditClicked() override;
    void EvProjectViewerPanelLabelLayoutSelectionChanged(VTLabelLayoutTemplate* t) override;
    void EvProjectViewerPanelLabelLayoutCheckClicked(VTControlCheckBox& box) override;
    void EvProjectViewerPanelTemplateBackgroundColourChanged(
        VTBackgroundFill& fill, bool interim) override;
    void EvProjectViewerPanelTextPropertiesChanged() override;
    void EvProjectViewerPanelTextAlignmentChanged(LAlignment a) override;
    void EvProjectViewerPanelTextRotateLeft() override;
    void EvProjectViewerPanelTextRotateRight() override;
    void EvProjectViewerPanelTextFlipHorizontal() override;
    void EvProjectViewerPanelTextFlipVertical() override;
    void EvProjectViewerPanelTextLower() override;
    void EvProjectViewerPanelTextRaise() override;
    void EvProjectViewerPanelTextChangeCircularText(bool circular) override;
    void EvProjectViewerPanelImagePropertiesChanged() override;
    void EvProjectViewerPanelImageRotateLeft() override;
    void EvProjectViewerPanelImageRotateRight() override;
    void EvProjectViewerPanelImageFlipHorizontal() override;
    void EvProjectViewerPanelImageFlipVertical() override;
    void EvProjectViewerPanelImageLower() override;
    void EvProjectViewerPanelImageRaise() override;

    // The label layout's same-format flag changed to the value: designs are split (one per
    // label position) or merged (one per format) after the user agreed. False when the user
    // declined: the flag is back as it was.
    bool SameFormatChanged(bool sameFormat);
    // Asks before the split or merge: true continues. The alert unless replaced (tests).
    static bool (*sameFormatAsk)(VTProjectViewer& viewer, const char* message);
    // The label-layout position shown: finds its design (copying a case's spine width) and shows
    // it.
    void SelectLabelLayoutTemplate(VTLabelLayoutTemplate* t, bool copySpine);
    void SelectedTemplateChanged(VTProjectTemplate* design);
    void NotifySelectedLabelLayoutChanged(VTLabelLayoutTemplate* t);
    void UpdateSelectedProjectTemplate();

    // Where the next paste finds the mouse (pixels of the canvas) when set, for tests.
    bool pasteMouseOverride = false;
    bool pasteMouseInside = false;
    float pasteMouseX = 0, pasteMouseY = 0;

    // The tabs of the label positions above the canvas; it observes the viewer too.
    VTControlLabelLayoutTemplatePaginator paginator;
    VTProjectTemplateViewer canvas;
    // The column of panels, which owns them; the pointers are null before InitDialog and after
    // DestroyDialog.
    LEmbeddedWindowTitledContainerWheelScroll panels { "", true, false, true, false };
    VTProjectViewerPanelTextProperties* textPanel = nullptr;
    VTProjectViewerPanelImageProperties* imagePanel = nullptr;
    VTProjectViewerPanelTemplate* templatePanel = nullptr;
    VTProjectViewerPanelLabelLayout* labelLayoutPanel = nullptr;
    VTHistoryStateStack history;
    VTProject* project = nullptr;
    bool circularTextAllowed = true;
    std::string autoSavePath; // whole, however long the data folder's path is
    unsigned autoSaveSeconds = 0;
    char lastFontFace[kLPathSize] = "";
    // The names of never-saved projects' autosaves count up for the whole run.
    static int autoSaveCounter;

private:
    // Pushes the step and tells the observers.
    void PushState(VTHistoryState* state);
    void PushTemplateState(const char* caption);
    // The step of an overlay about to be appended on top of the current design.
    void PushAddState(const char* caption);
    bool PushSingleOverlayState(const char* caption);
    // The single selected overlay, null unless exactly one is selected.
    VTOverlay* SelectedOverlay();
    int SelectedKind();
    bool CanRaise();
    bool CanLower();
    void AddOverlayImageCommon(VTOverlayImage* overlay, LImageBuffer& buffer, const char* path,
        bool take = false, LImageBuffer* screenSource = nullptr);
    void ActivatePanel(int titleBarId);
    void RelayoutPanels();
    // The template panel shows the current design's brush and image path.
    void ShowDesignBackground();
    static int PanelIndex(int titleBarId);
    // Shows the alert unless the viewer went meanwhile; false when it went.
    bool Alert(const char* message, const char* title);
    void WarnTextHeight();
    void ClearBackgroundImagePath();
    void BackgroundImageChosen(VTBackgroundFill& fill);
    void MakeAutoSavePath();
    // The autosave at path is in place: the setting names it.
    void AutoSaveWritten(const std::string& path);
    // The panels' side of the edits.
    void WriteTextPanelValues(VTOverlayText& text);
    bool ImagePanelKeepAspect(bool current);
    void SetTextPanelCircular(bool on);

    // Builds a panel that was linked unbuilt and gives it the viewer's state.
    void BuildPanel(LEmbeddedWindowTitled* panel);
    static void AfterDesignPaint(LRunLoopTimer* timer, void* viewer);

    std::shared_ptr<bool> alive;
    std::unique_ptr<VTProjectBackgroundSave> autoSaving;
    // The project changed since its last autosave was begun (or since it was taken).
    bool changedSinceAutoSave = false;
    // Set by KeepAutoSave: the autosave outlives the run.
    bool keepAutoSave = false;
    // The observers were told that the autosaves fail; an autosave that succeeds, or another
    // project, clears it.
    bool autoSaveFailureTold = false;
    // An autosave failed: the observers learn it once (see autoSaveFailureTold).
    void AutoSaveFailed(const std::string& reason);
    bool focusNewText = false;
    bool pasting = false; // inside ClipboardPasteItems
    // Work that waits for the design to be on the screen, and the unbuilt panels, are done
    // when the loop is idle after a painted design.
    std::vector<std::function<void()>> afterDesignPaint;
    std::unique_ptr<LRunLoopTimer> afterDesignPaintTimer;
};
