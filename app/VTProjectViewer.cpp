#include "app/VTProjectViewer.h"

#include "app/VTHistoryState.h"
#include "app/VTLabelLayout.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTPictureEncoder.h"
#include "app/VTProjectBackgroundSave.h"
#include "lfw/mac/LAlert.h"
#include "platform/system/System.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

int VTProjectViewer::autoSaveCounter = 0;

namespace {
// The panels' column, in points; in a narrow window it gives the canvas room down to its
// narrowest, the canvas keeping at least its own share.
constexpr int kPanelColumnWidth = 460;
constexpr int kPanelColumnNarrowest = 360;
constexpr int kCanvasNarrowest = 260;
// The most memory the undo history's pictures may take.
constexpr uint64_t kHistoryMemory = uint64_t(1) << 30;
} // namespace

VTProjectViewer::VTProjectViewer()
    : alive(std::make_shared<bool>(true))
{
    history.maxDepth = 100;
    // Steps holding deleted or replaced pictures may take a quarter of the machine's memory, at
    // most 1 GiB, beside the project's own pictures.
    const uint64_t memory = platform::system::PhysicalMemory();
    history.memoryBudget = std::min<uint64_t>(memory ? memory / 4 : UINT64_MAX, kHistoryMemory);
    // The tests of the whole program set a small budget (in bytes), so that small pictures reach
    // it.
    if (const char* budget = std::getenv("VT_TEST_UNDO_MEMORY"); budget && *budget)
        history.memoryBudget = std::strtoull(budget, nullptr, 10);
    // A picture of the steps that has got its PNG bytes takes more memory than it did.
    VTPictureEncoder::Watch(this, [this] {
        if (history.KeepWithinBudget())
            NotifyUndoRedoChanged();
    });
}

VTProjectViewer::~VTProjectViewer()
{
    *alive = false;
    VTPictureEncoder::Unwatch(this);
    TimerDestroy();
    if (project)
        project->RemoveNotifyee(*this);
    canvas.RemoveNotifyee(*this);
    // The steps refer to the canvas, which goes with the viewer.
    history.Reset();
    Destroy();
}

// --- building and layout -------------------------------------------------------------------------

void VTProjectViewer::InitDialog()
{
    paginator.Init(*this);
    paginator.AddNotifyee(*this);
    AddNotifyee(paginator);
    paginator.SetProject(project);
    AddPaintControl(kVTProjectViewerCanvasId);
    canvas.Init(*this, kVTProjectViewerCanvasId);
    // A stop of Tab, where the arrow keys move the selected overlay.
    canvas.SetKeyboardReachable();
    canvas.AddNotifyee(*this);
    // The column at the width it is laid out in (see LayoutControls).
    panels.Init(*this, int(GetBackingScaleFactor() * kPanelColumnWidth),
        std::max(GetClientAreaHeight(), 1));
    // The text and image panels stay hidden until an overlay is selected: the window shows
    // without building their controls, which are built when first shown or when the loop is
    // idle after the first painted design, whichever comes first.
    textPanel = new VTProjectViewerPanelTextProperties;
    panels.fList.AddPanelUnbuilt(textPanel, true);
    textPanel->AddNotifyee(*this);
    imagePanel = new VTProjectViewerPanelImageProperties;
    panels.fList.AddPanelUnbuilt(imagePanel, true);
    imagePanel->AddNotifyee(*this);
    afterDesignPaintTimer
        = std::make_unique<LRunLoopTimer>(&VTProjectViewer::AfterDesignPaint, this, true);
    canvas.designPainted = [this] {
        const bool panelsWait = !LEmbeddedWindowList::IsPanelBuilt(textPanel)
            || !LEmbeddedWindowList::IsPanelBuilt(imagePanel);
        if (afterDesignPaintTimer && (panelsWait || !afterDesignPaint.empty()))
            afterDesignPaintTimer->Arm(0);
    };
    templatePanel = new VTProjectViewerPanelTemplate;
    panels.fList.AddPanel(templatePanel, true);
    templatePanel->AddNotifyee(*this);
    labelLayoutPanel = new VTProjectViewerPanelLabelLayout;
    panels.fList.AddPanel(labelLayoutPanel, true);
    labelLayoutPanel->AddNotifyee(*this);
    labelLayoutPanel->SetProject(project);
    // Tab reads the design column first (its tabs, then the canvas), then the panels.
    if (LView* content = GetContentView())
        content->SetKeyViewOrder(
            { paginator.GetContentView(), GetControlHandle(kVTProjectViewerCanvasId) });
    HandleInterWinMessage(*this, kVTProjectViewerAutoSaveTimer);
    UpdatePanelVisibility(false, false);
}

void VTProjectViewer::DestroyDialog()
{
    TimerDestroy();
    canvas.designPainted = nullptr;
    afterDesignPaintTimer.reset();
    afterDesignPaint.clear();
    RemoveNotifyee(paginator);
    paginator.Destroy();
    canvas.RemoveNotifyee(*this);
    canvas.DestroyPaintControl();
    panels.Destroy();
    textPanel = nullptr;
    imagePanel = nullptr;
    templatePanel = nullptr;
    labelLayoutPanel = nullptr;
    InterWinMessageHandlerDestroy();
}

void VTProjectViewer::LayoutControls(int x, int y, int width, int height)
{
    const double s = GetBackingScaleFactor();
    const int panelWidth = std::clamp(width - int(s * kCanvasNarrowest),
        int(s * kPanelColumnNarrowest), int(s * kPanelColumnWidth));
    const int strip = int(s * 36 * TextScale()); // the tabs hold text: they grow with it
    const int canvasWidth = std::max(width - panelWidth, 1);
    MoveControlPixels(
        kVTProjectViewerCanvasId, x, y + strip, canvasWidth, std::max(height - strip, 1));
    panels.MovePixels(x + width - panelWidth, y, panelWidth, height);
    paginator.MovePixels(x, y, canvasWidth, strip);
}

// --- the project ---------------------------------------------------------------------------------

void VTProjectViewer::SetProject(VTProject* p)
{
    if (p == project)
        return;
    // Any change of project ends the old one's autosave; the count starts again.
    if (project) {
        project->RemoveNotifyee(*this);
        DeleteAutoSave();
    }
    autoSaveSeconds = 0;
    autoSaveFailureTold = false;
    project = p;
    history.Reset();
    history.project = project;
    if (paginator.GetContentView())
        paginator.SetProject(project);
    if (labelLayoutPanel)
        labelLayoutPanel->SetProject(project);
    if (project) {
        TimerSet(kVTProjectViewerAutoSaveTimer, VTProjectViewerAutoSaveTickMs());
        project->AddNotifyee(*this);
        // Taking a project is no edit of it: overlays that lie beyond the disc's edge (a text
        // added after many others lands further out each time) are brought back within reach,
        // but a project that was saved stays so.
        const VTProjectSaveState state = project->GetSaveState();
        EvProjectLabelLayoutChanged(*project);
        project->SetSaveState(state);
        // As taken, the work is in its file (or in the autosave it was reopened from).
        changedSinceAutoSave = false;
    } else {
        TimerReset(kVTProjectViewerAutoSaveTimer);
        DeleteAutoSave();
        canvas.SetCollection(nullptr);
    }
    NotifyUndoRedoChanged();
    UpdatePanelVisibility(false, false);
    RedrawWindow();
}

VTLabelLayoutTemplate* VTProjectViewer::GetSelectedLabelLayoutTemplate() const
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design || !project->GetLabelLayout())
        return nullptr;
    for (VTLabelLayoutPage* page = project->GetLabelLayout()->pages.GetFirst(); page;
         page = page->GetNext())
        for (VTLabelLayoutTemplate* t = page->first; t; t = t->next)
            if (t->GetFormat() == design->GetFormat()
                && design->HasMappingToLabelLayoutTemplateID(t->GetID()))
                return t;
    return nullptr;
}

void VTProjectViewer::SelectLabelLayoutTemplate(VTLabelLayoutTemplate* t, bool copySpine)
{
    if (!project || !t)
        return;
    VTProjectTemplate* design = nullptr;
    for (VTProjectTemplate* d = project->templates.GetFirst(); d; d = d->GetNext())
        if (d->GetFormat() == t->GetFormat() && d->HasMappingToLabelLayoutTemplateID(t->GetID())) {
            design = d;
            break;
        }
    if (!design)
        return;
    if (copySpine
        && (t->GetFormat() == VTTemplateFormatCaseDVD
            || t->GetFormat() == VTTemplateFormatCaseBluRay)
        && t->GetTemplateData() && design->GetTemplateData())
        design->GetTemplateData()->SetSpineWidth(t->GetTemplateData()->GetSpineWidth());
    SelectedTemplateChanged(design);
    NotifySelectedLabelLayoutChanged(t);
}

void VTProjectViewer::SelectedTemplateChanged(VTProjectTemplate* design)
{
    if (!labelLayoutPanel)
        return;
    canvas.SetCollection(design);
    labelLayoutPanel->SetSelectedProjectTemplate(design);
    if (templatePanel)
        templatePanel->SetTitle(design ? "Bakgrundsegenskaper" : "");
    UpdatePanelVisibility(false, false);
}

void VTProjectViewer::NotifySelectedLabelLayoutChanged(VTLabelLayoutTemplate* t)
{
    std::shared_ptr<bool> stillHere = alive;
    Notify(&VTProjectViewerNotifyee::EvProjectViewerLabelLayoutSelectionChanged, t);
    if (*stillHere)
        ShowDesignBackground();
}

void VTProjectViewer::EvLabelLayoutTemplatePaginatorClicked()
{
    SelectLabelLayoutTemplate(paginator.GetCurrentTemplate(), true);
}

void VTProjectViewer::ShowDesignBackground()
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (design && design->backgroundBrush && design->backgroundBrush->kind == LBrushInfoKindSolid)
        design->lastSolidColour = design->backgroundBrush->color;
    if (templatePanel)
        templatePanel->SetBackground(design ? design->backgroundBrush.Get() : nullptr,
            design ? design->backgroundImagePath : "",
            design ? design->lastSolidColour : VTProjectTemplate::kDefaultSolidColour);
}

void VTProjectViewer::UpdateSelectedProjectTemplate()
{
    SelectedTemplateChanged(GetCurrentTemplate());
    if (paginator.GetContentView())
        paginator.UpdatePaginator(GetSelectedLabelLayoutTemplate());
}

void VTProjectViewer::EvProjectLabelLayoutChanged(VTProject& p)
{
    changedSinceAutoSave = true;
    VTLabelLayout* layout = p.GetLabelLayout();
    VTLabelLayoutTemplate* first = nullptr;
    for (VTLabelLayoutPage* page = layout ? layout->pages.GetFirst() : nullptr; page && !first;
         page = page->GetNext())
        first = page->first;
    if (!first) {
        // A layout without positions: the first design, if any, is shown.
        SelectedTemplateChanged(p.templates.GetFirst());
        return;
    }
    for (VTProjectTemplate* d = p.templates.GetFirst(); d; d = d->GetNext())
        if (d->HasMappingToLabelLayoutTemplateID(first->GetID()))
            SelectLabelLayoutTemplate(first, true);
    VTProjectTemplate* design = GetCurrentTemplate();
    if (design && design->GetFormat() == VTTemplateFormatDisc)
        for (VTOverlay* o = design->first; o; o = o->next)
            canvas.ClampItemToCollection(*o);
}

void VTProjectViewer::EvProjectTemplateChanged(VTProject&)
{
    changedSinceAutoSave = true;
    canvas.Invalidate();
    // An edit may have taken pictures out of the project into its undo step (a deletion).
    if (history.KeepWithinBudget())
        NotifyUndoRedoChanged();
}

void VTProjectViewer::EvProjectSaveStateChanged(VTProject& p)
{
    // A save starts the minute of unsaved work again, and the saved work needs its autosave no
    // more (one under way is abandoned first, so that it does not put the file back).
    if (p.GetSaveState() == VTProjectSaveStateSaved) {
        autoSaveSeconds = 0;
        if (autoSaving || !autoSavePath.empty())
            DeleteAutoSave();
    } else if (p.GetSaveState() == VTProjectSaveStateModified) {
        // Also what changes no design (label positions moved in the print preview).
        changedSinceAutoSave = true;
    }
}

void VTProjectViewer::EvProjectOverlayAdded(VTProject&, VTProjectTemplate& design, VTOverlay& o)
{
    // A new picture's stored bytes are made at once, off the window's thread: saves and copies
    // then find them.
    const int type = o.GetType();
    if (type == VTOverlayTypeImage || type == VTOverlayTypeClipart
        || type == VTOverlayTypeImageBackground)
        VTPictureEncoder::Start(static_cast<VTOverlayImage&>(o).image);
    if (&design != GetCurrentTemplate())
        return;
    // A new straight text is selected with the keyboard in the text panel's field; a pasted one
    // leaves the keyboard where the paste was asked for (the next Ctrl+Z or Ctrl+V is the
    // canvas's).
    focusNewText = type == VTOverlayTypeText && !pasting;
    canvas.selectedItems.Clear();
    canvas.SetItemSelected(&o, true, true);
    focusNewText = false;
}

void VTProjectViewer::EvProjectOverlayDeleting(VTProject&, VTProjectTemplate& design, VTOverlay& o)
{
    if (&design != GetCurrentTemplate())
        return;
    canvas.SetItemSelected(&o, false, true);
}

// --- canvas events -------------------------------------------------------------------------------

void VTProjectViewer::EvProjectTemplateViewerSelectionChanged(VTProjectTemplateViewer&)
{
    UpdatePanelVisibility(true, focusNewText);
    Notify(&VTProjectViewerNotifyee::EvProjectViewerOverlaySelectionChanged, *this);
}

void VTProjectViewer::EvProjectTemplateViewerContextMenuOpen(VTProjectTemplateViewer&)
{
    Notify(&VTProjectViewerNotifyee::EvProjectViewerContextMenuOpen, *this);
}

void VTProjectViewer::EvProjectTemplateViewerOverlayChanged(VTProjectTemplateViewer&)
{
    PushSingleOverlayState("Overlay Size or Position");
}

void VTProjectViewer::EvInterWinMessage(int id, long a, long b)
{
    (void)a;
    (void)b;
    if (id != kLTitledPanelTitleClicked)
        return;
    panels.fList.SetActivePanelByTitleBarId(int(a), b == 1);
    panels.RelayoutWindow();
    RelayoutWindow();
}

// --- undo ----------------------------------------------------------------------------------------

void VTProjectViewer::PushState(VTHistoryState* state)
{
    history.Add(state);
    NotifyUndoRedoChanged();
}

void VTProjectViewer::PushTemplateState(const char* caption)
{
    // Typed text waiting for its pause is a step of its own, before the design is copied.
    CommitPendingEdits();
    if (VTProjectTemplate* design = GetCurrentTemplate())
        PushState(new VTCopySingleTemplateState(caption, canvas, *design));
}

void VTProjectViewer::PushAddState(const char* caption)
{
    CommitPendingEdits();
    if (VTProjectTemplate* design = GetCurrentTemplate())
        PushState(new VTAddOverlayState(caption, canvas, *design));
}

bool VTProjectViewer::PushSingleOverlayState(const char* caption)
{
    VTProjectTemplate* design = GetCurrentTemplate();
    VTOverlay* o = SelectedOverlay();
    if (!design || !o)
        return false;
    PushState(new VTCopySingleOverlayState(caption, canvas, *design, o));
    return true;
}

void VTProjectViewer::Undo()
{
    // What was typed last is the step undone.
    CommitPendingEdits();
    history.Undo();
    ResetPanels();
    NotifyUndoRedoChanged();
}

void VTProjectViewer::Redo()
{
    CommitPendingEdits();
    history.Redo();
    ResetPanels();
    NotifyUndoRedoChanged();
}

const char* VTProjectViewer::GetUndoCaption() const
{
    VTHistoryState* s = history.CanUndo() ? history.GetState(uint64_t(history.current)) : nullptr;
    return s ? s->GetCaption() : "";
}

const char* VTProjectViewer::GetRedoCaption() const
{
    VTHistoryState* s
        = history.CanRedo() ? history.GetState(uint64_t(history.current + 1)) : nullptr;
    return s ? s->GetCaption() : "";
}

void VTProjectViewer::ResetHistory()
{
    history.Reset();
    NotifyUndoRedoChanged();
}

void VTProjectViewer::NotifyUndoRedoChanged()
{
    Notify(&VTProjectViewerNotifyee::EvProjectViewerUndoRedoChanged, *this);
}

// --- selection -----------------------------------------------------------------------------------

VTOverlay* VTProjectViewer::SelectedOverlay()
{
    return canvas.GetSingleSelectedItem();
}

int VTProjectViewer::SelectedKind()
{
    VTOverlay* o = SelectedOverlay();
    return o ? o->GetType() : -1;
}

bool VTProjectViewer::CanRaise()
{
    VTOverlay* o = SelectedOverlay();
    return o && o->next;
}

bool VTProjectViewer::CanLower()
{
    VTProjectTemplate* design = GetCurrentTemplate();
    VTOverlay* o = SelectedOverlay();
    if (!design || !o || design->first == o)
        return false;
    VTOverlay* below = design->first;
    while (below && below->next != o)
        below = below->next;
    return below && below->GetType() != VTOverlayTypeImageBackground;
}

// --- panels --------------------------------------------------------------------------------------

int VTProjectViewer::PanelIndex(int titleBarId)
{
    // The order the panels were added in.
    switch (titleBarId) {
    case kVTPanelTextProperties:
        return 0;
    case kVTPanelImageProperties:
        return 1;
    case kVTPanelTemplate:
        return 2;
    default:
        return 3;
    }
}

void VTProjectViewer::RelayoutPanels()
{
    panels.fList.ResetContentSize();
    panels.RelayoutWindow();
}

void VTProjectViewer::ActivatePanel(int titleBarId)
{
    if (!labelLayoutPanel)
        return;
    panels.fList.SetActivePanelByTitleBarId(titleBarId, false);
    RelayoutPanels();
}

void VTProjectViewer::BuildPanel(LEmbeddedWindowTitled* panel)
{
    if (!panel || LEmbeddedWindowList::IsPanelBuilt(panel))
        return;
    panels.fList.BuildPanel(panel);
    if (panel == textPanel)
        textPanel->circular.EnableWindow(circularTextAllowed);
}

void VTProjectViewer::BuildPanels()
{
    BuildPanel(textPanel);
    BuildPanel(imagePanel);
}

void VTProjectViewer::RunAfterDesignPaint(std::function<void()> f)
{
    if (f)
        afterDesignPaint.push_back(std::move(f));
}

void VTProjectViewer::AfterDesignPaint(LRunLoopTimer*, void* data)
{
    auto* self = static_cast<VTProjectViewer*>(data);
    // The painted design goes to the screen first.
    LUiFlushDisplay();
    std::vector<std::function<void()>> waiting;
    waiting.swap(self->afterDesignPaint);
    std::shared_ptr<bool> stillHere = self->alive;
    for (auto& f : waiting) {
        f();
        if (!*stillHere)
            return;
    }
    self->BuildPanels();
}

void VTProjectViewer::SetCircularTextAllowed(bool allowed)
{
    circularTextAllowed = allowed;
    if (LEmbeddedWindowList::IsPanelBuilt(textPanel))
        textPanel->circular.EnableWindow(allowed);
}

void VTProjectViewer::CommitPendingEdits()
{
    if (project && LEmbeddedWindowList::IsPanelBuilt(textPanel))
        textPanel->ReportPendingChanges();
}

void VTProjectViewer::UpdatePanelVisibility(bool activate, bool focusText)
{
    if (!textPanel)
        return;
    // Where a control of a panel hidden here had the keyboard, the canvas takes it: the window
    // keeps a place for the keys, where the arrows move the overlay chosen.
    LView* content = GetContentView();
    LNativeWindow* native = content ? content->Window() : nullptr;
    const bool hadKeyboard = native && native->FirstResponder();
    const auto keepKeyboard = [&] {
        if (hadKeyboard && !native->FirstResponder() && canvas.GetHostView())
            canvas.GetHostView()->MakeFocus();
    };
    auto& list = panels.fList;
    VTOverlay* o = SelectedOverlay();
    if (o) {
        const int kind = o->GetType();
        BuildPanel(kind == VTOverlayTypeText || kind == VTOverlayTypeCircularText
                ? static_cast<LEmbeddedWindowTitled*>(textPanel)
                : static_cast<LEmbeddedWindowTitled*>(imagePanel));
    }
    if (!o) {
        list.SetPanelVisible(PanelIndex(kVTPanelTextProperties), false);
        list.SetPanelVisible(PanelIndex(kVTPanelImageProperties), false);
        list.SetPanelVisible(PanelIndex(kVTPanelTemplate), true);
        list.ScrollToShowPanel(PanelIndex(kVTPanelTemplate));
        list.SetActivePanelByTitleBarId(kVTPanelTemplate, false);
        RelayoutPanels();
        keepKeyboard();
        return;
    }
    const int k = o->GetType();
    const bool text = k == VTOverlayTypeText || k == VTOverlayTypeCircularText;
    const bool image
        = k == VTOverlayTypeImage || k == VTOverlayTypeClipart || k == VTOverlayTypeImageBackground;
    list.SetPanelVisible(PanelIndex(kVTPanelTextProperties), text);
    list.SetPanelVisible(PanelIndex(kVTPanelImageProperties), image);
    if (activate && text) {
        list.ScrollToShowPanel(PanelIndex(kVTPanelTextProperties));
        textPanel->SetValues(*static_cast<VTOverlayText*>(o), CanRaise(), CanLower());
        list.SetActivePanelByTitleBarId(kVTPanelTextProperties, false);
        RelayoutPanels();
        if (focusText)
            textPanel->FocusText();
        list.SetPanelVisible(PanelIndex(kVTPanelTemplate), false);
    }
    if (activate && image) {
        list.ScrollToShowPanel(PanelIndex(kVTPanelImageProperties));
        imagePanel->SetValues(*static_cast<VTOverlayImage*>(o), CanRaise(), CanLower());
        list.SetActivePanelByTitleBarId(kVTPanelImageProperties, false);
        RelayoutPanels();
        // A background image is edited beside the design's background.
        list.SetPanelVisible(PanelIndex(kVTPanelTemplate), k == VTOverlayTypeImageBackground);
    }
    RelayoutPanels();
    keepKeyboard();
}

void VTProjectViewer::UpdatePanels()
{
    VTOverlay* o = SelectedOverlay();
    if (!o || !textPanel)
        return;
    const int k = o->GetType();
    if (k == VTOverlayTypeText || k == VTOverlayTypeCircularText)
        textPanel->SetValues(*static_cast<VTOverlayText*>(o), CanRaise(), CanLower());
    else
        imagePanel->SetValues(*static_cast<VTOverlayImage*>(o), CanRaise(), CanLower());
}

void VTProjectViewer::ResetPanels()
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (templatePanel)
        templatePanel->SetTitle(design ? "Bakgrundsegenskaper" : "");
    if (labelLayoutPanel)
        labelLayoutPanel->SetSelectedProjectTemplate(design);
    NotifySelectedLabelLayoutChanged(GetSelectedLabelLayoutTemplate());
    UpdatePanelVisibility(false, false);
}

void VTProjectViewer::WriteTextPanelValues(VTOverlayText& text)
{
    if (LEmbeddedWindowList::IsPanelBuilt(textPanel))
        textPanel->GetValues(text);
}

bool VTProjectViewer::ImagePanelKeepAspect(bool current)
{
    return LEmbeddedWindowList::IsPanelBuilt(imagePanel) ? imagePanel->GetKeepAspect() : current;
}

void VTProjectViewer::SetTextPanelCircular(bool on)
{
    if (LEmbeddedWindowList::IsPanelBuilt(textPanel))
        textPanel->SetCircularCheck(on);
}

void VTProjectViewer::EvProjectViewerPanelLabelLayoutSelectClicked()
{
    Notify(&VTProjectViewerNotifyee::EvProjectViewerLabelLayoutSelectClicked, *this);
}

void VTProjectViewer::EvProjectViewerPanelLabelLayoutEditClicked()
{
    Notify(&VTProjectViewerNotifyee::EvProjectViewerLabelLayoutEditClicked, *this,
        GetSelectedLabelLayoutTemplate());
}

void VTProjectViewer::EvProjectViewerPanelLabelLayoutSelectionChanged(VTLabelLayoutTemplate* t)
{
    SelectLabelLayoutTemplate(t, false);
}

void VTProjectViewer::EvProjectViewerPanelLabelLayoutCheckClicked(VTControlCheckBox& box)
{
    const bool on = box.GetCheck(1000);
    std::shared_ptr<bool> stillHere = alive;
    VTProject* const shown = project;
    if (!SameFormatChanged(on)) {
        // The box of a project closed meanwhile is the next project's box: left alone.
        if (*stillHere && labelLayoutPanel && project == shown)
            labelLayoutPanel->SetSameFormatCheck(!on);
        return;
    }
    if (*stillHere)
        Notify(&VTProjectViewerNotifyee::EvProjectViewerPanelLabelLayoutCheckClicked, on);
}

// --- same format ---------------------------------------------------------------------------------

namespace {

// Going on changes the designs past undoing (the history is cleared), and to one design per
// format it removes the duplicates with their overlays: the question opens with the keyboard on
// "Avbryt".
bool AskWithAlert(VTProjectViewer& viewer, const char* message)
{
    LAlert alert(viewer.GetContentView(), message, "Samma format kryssruta");
    alert.type = 0;
    LAlertCopyField(alert.button1, "Fortsätt");
    LAlertCopyField(alert.button2, "Avbryt");
    alert.focusButton = 2;
    return alert._Run() == 1;
}

int MappingCount(const VTProjectTemplate& d)
{
    int n = 0;
    for (VTLabelLayoutTemplateID* m = d.mappedIDs.GetFirst(); m; m = m->GetNext())
        ++n;
    return n;
}

// Moves the mappings of the other design to the design, then unlinks and deletes the other.
void Absorb(VTProject& project, VTProjectTemplate& into, VTProjectTemplate* other)
{
    for (VTLabelLayoutTemplateID* m = other->mappedIDs.GetFirst(); m; m = m->GetNext())
        into.AddMappingToLabelLayoutTemplateID(m->id);
    other->RemoveNotifyee(project);
    project.templates.Delete(other);
}

} // namespace

bool (*VTProjectViewer::sameFormatAsk)(VTProjectViewer&, const char*) = AskWithAlert;

bool VTProjectViewer::SameFormatChanged(bool sameFormat)
{
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (!layout)
        return true;
    // The flag changes only once the question is answered: an alert leaves the project open to
    // closing, and a closed project is left as it was.
    VTProject* const asked = project;
    if (!sameFormat) {
        bool shared = false;
        for (VTProjectTemplate* d = project->templates.GetFirst(); d; d = d->GetNext())
            shared = shared || MappingCount(*d) > 1;
        if (!shared) {
            layout->sameFormat = sameFormat;
            return true;
        }
        std::shared_ptr<bool> stillHere = alive;
        const bool go = sameFormatAsk(*this,
            "Den här åtgärden lägger till ytterligare projektmallar i projektet så att det finns "
            "en projektmall för varje etikettlayoutmall i projektet.");
        if (!*stillHere || project != asked || !go)
            return false;
        layout->sameFormat = sameFormat;
        std::vector<VTProjectTemplate*> added;
        for (VTProjectTemplate* d = project->templates.GetFirst(); d; d = d->GetNext()) {
            VTLabelLayoutTemplateID* m = d->mappedIDs.GetFirst();
            std::vector<int32_t> further;
            for (m = m ? m->GetNext() : nullptr; m; m = m->GetNext())
                further.push_back(m->id);
            for (int32_t id : further) {
                d->RemoveMappingToLabelLayoutTemplateID(id);
                auto* twin = new VTProjectTemplate(d->GetFormat());
                if (VTLabelLayoutTemplate* t = layout->FindTemplate(id);
                    t && t->GetTemplateData() && twin->GetTemplateData())
                    twin->GetTemplateData()->SetPrintableArea(*t->GetTemplateData());
                twin->AddMappingToLabelLayoutTemplateID(id);
                added.push_back(twin);
            }
        }
        for (VTProjectTemplate* twin : added)
            project->AppendTemplate(twin);
    } else {
        bool repeats = false;
        for (VTLabelLayoutPage* page = layout->pages.GetFirst(); page && !repeats;
             page = page->GetNext())
            for (VTLabelLayoutTemplate* t = page->first; t && !repeats; t = t->next)
                for (VTLabelLayoutPage* q = layout->pages.GetFirst(); q && !repeats;
                     q = q->GetNext())
                    for (VTLabelLayoutTemplate* u = q->first; u && !repeats; u = u->next)
                        repeats = u != t && u->GetFormat() == t->GetFormat();
        if (!repeats) {
            layout->sameFormat = sameFormat;
            return true;
        }
        std::shared_ptr<bool> stillHere = alive;
        const bool go = sameFormatAsk(*this,
            "Den här åtgärden tar bort alla dubbletter av projektmallar i projektet.\nDet som "
            "återstår är en projektmall av varje formattyp som används i projektets "
            "etikettlayout.");
        if (!*stillHere || project != asked || !go)
            return false;
        layout->sameFormat = sameFormat;
        auto absorbLater = [&](VTProjectTemplate& keeper, bool all) {
            VTProjectTemplate* d = all ? project->templates.GetFirst() : keeper.GetNext();
            while (d) {
                VTProjectTemplate* next = d->GetNext();
                if (d != &keeper && d->GetFormat() == keeper.GetFormat())
                    Absorb(*project, keeper, d);
                d = next;
            }
        };
        if (VTProjectTemplate* current = GetCurrentTemplate())
            absorbLater(*current, true);
        for (VTProjectTemplate* d = project->templates.GetFirst(); d; d = d->GetNext())
            absorbLater(*d, false);
    }
    // The steps refer to designs that may be gone now.
    ResetHistory();
    UpdateSelectedProjectTemplate();
    if (VTProjectTemplate* current = GetCurrentTemplate())
        project->EvProjectTemplateChanged(*current);
    return true;
}

// --- alerts --------------------------------------------------------------------------------------

bool VTProjectViewer::Alert(const char* message, const char* title)
{
    std::shared_ptr<bool> stillHere = alive;
    LAlert alert(GetContentView(), message, title);
    alert.type = 0;
    alert._Run();
    return *stillHere;
}

void VTProjectViewer::WarnTextHeight()
{
    Alert("Den här texten är för hög för att visas korrekt som en böjd text. Ändra "
          "teckensnittstyp eller minska teckenstorleken.",
        "Varningstexthöjd");
}
