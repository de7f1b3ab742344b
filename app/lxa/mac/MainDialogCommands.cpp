// The main window's command set, the enable rules of its menus and bars, and its keys.
#include "app/lxa/mac/MainDialog.h"

#include "app/VTClipboardOverlay.h"
#include "app/VTExport.h"
#include "app/VTLabelLayoutEditorDialog.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTPrintPreviewDialog.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"
#include "lfw/zor/LClipartDialog.h"
#include "lfw/zor/LLaunch.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LUiMenu.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kCut = LFourCC("cut ");
constexpr int kCopy = LFourCC("copy");
constexpr int kPaste = LFourCC("past");
constexpr int kPreferences = LFourCC("pref");
constexpr int kLogoControl = 1033;

// Menu items that need an open project (the toolbar's list differs: no 1009, 1010, but 1024).
const int arMenuItemsHasProject[]
    = { 1008, 1009, 1010, 1011, 1012, 1045, 1046, 1020, 1021, 1022, 1023, 1025, 1026, 1027 };
const int arToolItemsHasProject[]
    = { 1008, 1011, 1012, 1045, 1046, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027 };
const int arItemsHasSelection[] = { kCut, kCopy, 1019 };

} // namespace

// ---- Raise and lower --------------------------------------------------------------------------

bool MainDialog::CanRaise(const VTOverlayList& list, const VTOverlay* selected)
{
    if (!selected || !list.Contains(selected))
        return false;
    if (!selected->next)
        return false;
    return !(selected == list.first && selected->GetType() == VTOverlayTypeImageBackground);
}

bool MainDialog::CanLower(const VTOverlayList& list, const VTOverlay* selected)
{
    if (!selected || !list.Contains(selected) || selected == list.first)
        return false;
    // Nothing goes under a background image.
    return !(list.first->GetType() == VTOverlayTypeImageBackground && list.first->next == selected);
}

// ---- Enable rules -----------------------------------------------------------------------------

MainDialog::EnableState MainDialog::ComputeEnableState() const
{
    EnableState s;
    const bool open = project != nullptr;
    const VTOverlayList* list = nullptr;
    const VTOverlay* single = nullptr;
    _ViewerSelection(list, single);
    const bool hasSingle = open && single != nullptr;
    const bool canUndo = UndoIndex() != -1;
    const bool canRedo = UndoCount() != UndoIndex() + 1;
    const bool clipboard = open && _ClipboardHasContent();
    const bool saveable = open && project->GetSaveState() != VTProjectSaveStateSaved;

    auto set = [](std::map<int, bool>& m, int id, bool on) { m[id] = on; };
    // The tabbed toolbar.
    set(s.toolbar, 1007, saveable);
    for (int id : arToolItemsHasProject)
        set(s.toolbar, id, open);
    for (int id : arItemsHasSelection)
        set(s.toolbar, id, hasSingle);
    set(s.toolbar, kPaste, clipboard);
    set(s.toolbar, 1030, hasSingle && list && CanRaise(*list, single));
    set(s.toolbar, 1031, hasSingle && list && CanLower(*list, single));
    set(s.toolbar, 9401, open && canUndo);
    set(s.toolbar, 9402, open && canRedo);
    // The caption toolbar: undo and redo by the stack alone.
    set(s.caption, 1007, saveable);
    set(s.caption, 9401, canUndo);
    set(s.caption, 9402, canRedo);
    // The menus.
    set(s.menu, 1007, saveable);
    for (int id : arMenuItemsHasProject)
        set(s.menu, id, open);
    set(s.menu, kPaste, clipboard);
    for (int id : arItemsHasSelection)
        set(s.menu, id, hasSingle);
    set(s.menu, 1028, hasSingle);
    set(s.menu, 1029, hasSingle);
    set(s.menu, 1030, hasSingle && list && CanRaise(*list, single));
    set(s.menu, 1031, hasSingle && list && CanLower(*list, single));
    set(s.menu, 9401, open && canUndo);
    set(s.menu, 9402, open && canRedo);
    return s;
}

void MainDialog::EnableControls()
{
    // The viewer shows or goes once it has taken the whole project (_ViewerSetProject).
    if (viewerTakingProject) {
        enableTimer.Arm(0);
        return;
    }
    if (!stateApplied || firstTextTipPending || (project != nullptr) != projectShown)
        EnableControlsNow();
    else
        enableTimer.Arm(0);
}

void MainDialog::_EnableTimer(LRunLoopTimer*, void* data)
{
    auto* self = static_cast<MainDialog*>(data);
    if (!self->IsDestroyed())
        self->EnableControlsNow();
}

void MainDialog::EnableControlsNow()
{
    enableTimer.Disarm();
    EnableState s = ComputeEnableState();
    if (!stateApplied || !(s == appliedState)) {
        _ApplyToolbarState(s);
        appliedState = std::move(s);
        stateApplied = true;
    }
    if (firstTextTipPending) {
        firstTextTipPending = false;
        // Once the project is on the screen.
        projectViewer.RunAfterDesignPaint([this] {
            if (!IsDestroyed())
                _ShowFirstTextTip();
        });
    }
    projectShown = project != nullptr;
    _ShowProjectOrLogo(projectShown);
    _WriteTestRectangles();
}

void MainDialog::EvMenuOpen()
{
    EnableState s = ComputeEnableState();
    for (const auto& [id, on] : s.menu)
        LMainMenu::EnableMenuItem(id, on);
}

// ---- Keys -------------------------------------------------------------------------------------

namespace {

bool _IsPlainArrow(LKey key)
{
    unsigned code = key.KeyCode();
    return code >= 123 && code <= 126 && key.Modifiers() == 0;
}

// "=" and "-" are matched by the character typed, whatever Shift it took ("=" is Shift+0 on
// Swedish keys).
LKey _Normalised(LKey key)
{
    uint16_t c = key.Character();
    if ((key.Modifiers() & LKey::kCommand) && (c == '=' || c == '-'))
        return LKey(key.code & ~LKey::kShift);
    return key;
}

} // namespace

bool MainDialog::EvKeyDown(LKey key)
{
    if (DoesFocusedControlWantArrowKeys() && _IsPlainArrow(key))
        return false;
    if (IsEditControlFocus()) {
        const uint32_t C = LKey::kCommand, S = LKey::kShift;
        const uint32_t editKeys[] = { C | 'C', C | 'V', C | 'X', C | 'Z', C | S | 'Z',
            LKey::Special(LKey::kDelete).code };
        if (std::find(std::begin(editKeys), std::end(editKeys), key.code) != std::end(editKeys))
            return false;
    }
    if (LKeyHandler::MapKeyToCommand(*this, _Normalised(key), arKeyMap, kKeyMapCount))
        return true;
    // Ctrl+Page Up and Ctrl+Page Down go to the design tab before or after, wherever the
    // keyboard is, as between a notebook's pages.
    constexpr unsigned kPageUp = 116, kPageDown = 121;
    if (project && key.Modifiers() == LKey::kCommand
        && (key.KeyCode() == kPageUp || key.KeyCode() == kPageDown)) {
        projectViewer.paginator.GetTabBar().SelectNeighbourTab(key.KeyCode() == kPageUp ? -1 : 1);
        return true;
    }
    return _MoveSelectionByKey(key, 250.0f);
}

bool MainDialog::EvKeyRepeat(LKey key)
{
    if (DoesFocusedControlWantArrowKeys() && _IsPlainArrow(key))
        return false;
    return _MoveSelectionByKey(key, 75.0f);
}

// ---- Commands ---------------------------------------------------------------------------------

namespace {

// Posted by a paste that gave up on the clipboard's owner: the alert that tells of it.
constexpr int kCmdPasteOwnerSilent = 3391;

} // namespace

void MainDialog::Command(int id, int code)
{
    // Whatever the command reads (a save, a print, an undo, the menus' states), the text typed
    // into the panels a moment ago is in the project by then.
    if (project)
        projectViewer.CommitPendingEdits();
    switch (id) {
    case kCmdMenuOpen:
        EvMenuOpen();
        return;
    case 1005:
        CmNewDocument(nullptr);
        break;
    case 1006:
        CmOpenDocument();
        break;
    case 1007:
        CmProjectSave();
        break;
    case 1008:
        CmProjectSaveAs();
        break;
    case 1009:
        CmCloseDocument(true);
        break;
    case 1010:
        CmLabelLayoutSelect();
        break;
    case 1011:
        CmLabelLayoutEdit(nullptr);
        break;
    case 1012:
        CmPrint();
        break;
    case 1019:
        if (project)
            _ViewerDeleteSelection();
        break;
    case 1020:
        if (project)
            _ViewerAddText("");
        break;
    case 1021:
        CmOverlayAddImages();
        break;
    case 1022:
        CmOverlayAddClipart();
        break;
    case 1023:
        CmOverlayAddClipartFrame();
        break;
    case 1024:
        CmCDInfoMenuShow();
        break;
    case 1025:
        CmOverlayAddTextCDAlbum();
        break;
    case 1026:
        CmOverlayAddTextCDArtist();
        break;
    case 1027:
        CmOverlayAddTextCDTrackList();
        break;
    case 1028:
    case 1029:
        _RotateSelection(id == 1028);
        break;
    case 1030:
        CmOverlayRaise();
        break;
    case 1031:
        CmOverlayLower();
        break;
    case 1034:
        break;
    case 1035:
    case 1037:
    case 1039:
    case 1040:
    case 1041:
    case 1042:
    case 1043:
        _LaunchSibling(id);
        break;
    case 1045:
        CmExportToPDF();
        break;
    case 1046:
        CmExportToImage();
        break;
    case 9401:
        if (project)
            _ViewerUndo(true);
        break;
    case 9402:
        if (project)
            _ViewerUndo(false);
        break;
    case kCut:
        CmCut();
        break;
    case kCopy:
        CmCopy();
        break;
    case kPaste:
        CmPaste();
        break;
    case kCmdPasteOwnerSilent:
        PopupBoxWarning("Programmet som har lagt innehållet i Urklipp svarar inte. Försök igen "
                        "senare.",
            "Klistra in");
        break;
    case kPreferences:
        CmSettings();
        break;
    default:
        LMainWindow::Command(id, code);
        return;
    }
    if (!IsDestroyed())
        EnableControls();
}

void MainDialog::CmLabelLayoutSelect()
{
    if (!project)
        return;
    LAlert alert(GetContentView(),
        "Tänk på att om du ändrar etikettlayouten kan du ändra designen och inte ångras.",
        "Märker");
    alert.RunField();
    _SelectLabelLayoutForProject();
}

void MainDialog::CmLabelLayoutEdit(VTLabelLayoutTemplate* t)
{
    if (!project || !project->GetLabelLayout())
        return;
    LAlert alert(GetContentView(),
        "Tänk på att om du ändrar etikettlayouten kan du ändra designen och inte ångras.",
        "Märker");
    alert.RunField();
    _EditLabelLayout(t);
}

void MainDialog::CmCDInfoMenuShow()
{
    LPopupMenu menu(*this);
    menu.AppendMenuItem(1025, "Albumtitel...");
    menu.AppendMenuItem(1026, "Artist namn ...");
    menu.AppendMenuItem(1027, "Låtlista...");
    LPoint at { 0, 0 };
    _CDInfoMenuPoint(at);
    DisplayPopupMenuAtPointLeftAlign(menu, at);
}

void MainDialog::_AttachMenuOpening()
{
    menuDelegates.clear();
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    if (!bar)
        return;
    for (const auto& item : bar->Items()) {
        if (LUiMenu* sub = item->Submenu()) {
            auto delegate = std::make_unique<LMainMenuDelegate>();
            delegate->setLfwWindow(this);
            delegate->setMenuOpeningCommand(kCmdMenuOpen);
            delegate->attach(sub);
            menuDelegates.push_back(std::move(delegate));
        }
    }
}

// ---- Overlays, clipboard, settings, printing ---------------------------------------------------

void MainDialog::CmSettings()
{
    if (VTOptionsDialogOpen(GetContentView()))
        RedrawWindow();
}

void MainDialog::CmCut()
{
    if (project && projectViewer.ClipboardCopySelectedItems())
        projectViewer.DeleteSelectedItems();
}

void MainDialog::CmCopy()
{
    if (project)
        projectViewer.ClipboardCopySelectedItems();
}

void MainDialog::CmPaste()
{
    if (!project)
        return;
    // A program that holds the clipboard and does not answer is told of, not waited for. The
    // keys and clicks that came during the wait go first (they wait in the display's queue), so
    // that the alert does not take them.
    if (!projectViewer.ClipboardPasteItems() && LClipboard::LastPasteGaveUp()) {
        // What the wait kept back (a drop, a second start's request) came after the paste and
        // is told after its message: a posted command would lose to the deferred work's timer.
        if (deferred.empty()) {
            PostCommand(kCmdPasteOwnerSilent);
        } else {
            deferred.insert(deferred.begin(), [this] { Command(kCmdPasteOwnerSilent, 0); });
            deferredTimer.Arm(100);
        }
    }
}

void MainDialog::CmOverlayAddImages()
{
    if (!project)
        return;
    VTImageCodecVetoer vetoer;
    LImageCodecFilterList list;
    LStringLongTemplate<char> filter;
    if (!list.Init(filter, LImageIOTypeLoad, vetoer))
        return;
    std::string folder;
    VTOptions::RecentFolderImageGet(folder);
    LStringListTemplate<char> paths;
    if (!LFile::BrowseMultipleReadFiles(
            GetContentView(), paths, "Välj bilder", folder, filter.GetString(), nullptr))
        return;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderImage, folder.c_str());
    std::vector<std::string> files;
    for (size_t i = 0; i < paths.GetCount(); ++i)
        files.emplace_back(paths[i]);
    _ViewerAddImages(files);
}

namespace {

// A clipart or frame file chosen in the library, loaded; an alert when it cannot be read.
bool _LoadChosenPicture(LView* view, const char* path, LImageBuffer& buffer)
{
    if (LImage::Load(buffer, path, 3000) != 0 && buffer.IsValid())
        return true;
    LAlert alert(
        view, "Det går inte att läsa in bildfilen. Välj en annan bild.", "Ogiltig bildfil");
    alert.RunField();
    return false;
}

} // namespace

void MainDialog::CmOverlayAddClipart()
{
    if (clipartDialogOpen || !project)
        return;
    clipartDialogOpen = true;
    char path[kLLongPathSize] = "";
    LClipartDialog dialog;
    if (dialog.Open(GetContentView(), path, nullptr) && path[0]) {
        LImageBuffer buffer;
        if (_LoadChosenPicture(GetContentView(), path, buffer) && project)
            projectViewer.AddOverlayClipart(buffer, path);
    }
    clipartDialogOpen = false;
}

void MainDialog::CmOverlayAddClipartFrame()
{
    if (clipartDialogOpen || !project)
        return;
    clipartDialogOpen = true;
    int width = 60, height = 60, templateWidth = 60, templateHeight = 60;
    projectViewer.canvas.GetTemplateClientDimension(width, height, templateWidth, templateHeight);
    char path[kLLongPathSize] = "";
    LFrameClipartDialog dialog((unsigned long)width, (unsigned long)height);
    if (dialog.Open(GetContentView(), path, nullptr) && path[0]) {
        LImageBuffer buffer;
        if (_LoadChosenPicture(GetContentView(), path, buffer) && project)
            projectViewer.AddOverlayClipart(
                buffer, path, float(templateWidth), float(templateHeight), false);
    }
    clipartDialogOpen = false;
}

void MainDialog::CmOverlayRaise()
{
    const VTOverlayList* list = nullptr;
    const VTOverlay* single = nullptr;
    _ViewerSelection(list, single);
    VTProjectTemplate* design = projectViewer.GetCurrentTemplate();
    if (!project || !design || !CanRaise(*list, single))
        return;
    projectViewer.history.Add(
        new VTCopyListOverlayOrderState("Overlay Raise", projectViewer.canvas, *design, true));
    projectViewer.NotifyUndoRedoChanged();
    projectViewer.canvas.RaiseItem();
    projectViewer.UpdatePanels();
}

void MainDialog::CmOverlayLower()
{
    const VTOverlayList* list = nullptr;
    const VTOverlay* single = nullptr;
    _ViewerSelection(list, single);
    VTProjectTemplate* design = projectViewer.GetCurrentTemplate();
    if (!project || !design || !CanLower(*list, single))
        return;
    projectViewer.history.Add(
        new VTCopyListOverlayOrderState("Overlay Lower", projectViewer.canvas, *design, false));
    projectViewer.NotifyUndoRedoChanged();
    projectViewer.canvas.LowerItem();
    projectViewer.UpdatePanels();
}

void MainDialog::CmPrint()
{
    VTLabelLayoutPage* page = project ? CurrentPage() : nullptr;
    if (!page)
        return;
    VTPrintPreviewDialogOpen(
        GetContentView(), *project, page, projectViewer.GetSelectedLabelLayoutTemplate());
}

void MainDialog::EvProjectSaveStateChanged(VTProject&)
{
    UpdateCaption();
    EnableControls();
}

// ---- The project viewer's events
// -----------------------------------------------------------------

void MainDialog::EvProjectViewerLabelLayoutSelectClicked(VTProjectViewer&)
{
    CmLabelLayoutSelect();
}

void MainDialog::EvProjectViewerLabelLayoutEditClicked(VTProjectViewer&, VTLabelLayoutTemplate* t)
{
    CmLabelLayoutEdit(t);
}

void MainDialog::EvProjectViewerOverlaySelectionChanged(VTProjectViewer&)
{
    EnableControls();
}

void MainDialog::EvProjectViewerUndoRedoChanged(VTProjectViewer&)
{
    EnableControls();
}

void MainDialog::EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate* t)
{
    // Circular text only on the disc face.
    const bool disc = t && t->format == VTTemplateFormatDisc;
    projectViewer.SetCircularTextAllowed(disc);
    EnableControls();
}

void MainDialog::EvProjectViewerContextMenuOpen(VTProjectViewer&)
{
    LPopupMenu menu(*this);
    LMenuAddItem(menu, kCut, "Klipp ut", arKeyMap, kKeyMapCount, 0);
    LMenuAddItem(menu, kCopy, "Kopiera", arKeyMap, kKeyMapCount, 0);
    LMenuAddItem(menu, kPaste, "Klistra in", arKeyMap, kKeyMapCount, 0);
    LMenuAddItem(menu, 1019, "Ta bort", arKeyMap, kKeyMapCount, 0);
    menu.AppendMenuSeparator();
    LMenuAddItem(menu, 1030, "Höja", arKeyMap, kKeyMapCount, 0);
    LMenuAddItem(menu, 1031, "Lägre", arKeyMap, kKeyMapCount, 0);
    EnableState s = ComputeEnableState();
    for (int id : { kCut, kCopy, 1019, 1030, 1031, kPaste })
        menu.EnableMenuItem(id, s.menu[id]);
    DisplayPopupMenu(menu, false);
}

// ---- The project viewer's side ------------------------------------------------------------------

VTLabelLayoutPage* MainDialog::CurrentPage() const
{
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (!layout)
        return nullptr;
    // The page of the label position shown, else the first.
    if (VTLabelLayoutTemplate* shown = projectViewer.GetSelectedLabelLayoutTemplate())
        for (VTLabelLayoutPage* page = layout->pages.GetFirst(); page;
             page = LList<VTLabelLayoutPage>::GetNext(page))
            if (page->Contains(shown))
                return page;
    return layout->pages.GetFirst();
}

int MainDialog::UndoIndex() const
{
    return int(projectViewer.history.current);
}

int MainDialog::UndoCount() const
{
    return int(projectViewer.history.count);
}

void MainDialog::_ViewerObserve()
{
    projectViewer.AddNotifyee(*this);
}

void MainDialog::_ViewerSetProject(VTProject* p)
{
    // The viewer is shown once it is set up for the project: shown while it sets up, each of its
    // panels would be laid out anew on the screen at every step.
    viewerTakingProject = true;
    projectViewer.SetProject(p);
    viewerTakingProject = false;
    EnableControls();
}

void MainDialog::_ViewerAddText(const char* text)
{
    projectViewer.AddOverlayText(text);
}

void MainDialog::_ViewerAddImages(
    const std::vector<std::string>& paths, VTPictureFilesAdd::Done done)
{
    _StartPictureAdd(paths, true, false, std::move(done));
}

void MainDialog::_StartPictureAdd(const std::vector<std::string>& paths, bool tell, bool keepPaths,
    VTPictureFilesAdd::Done done, bool stopAtFailure)
{
    auto failed = [&] {
        VTPictureFilesAddOutcome outcome;
        outcome.asked = paths.size();
        outcome.failures = (unsigned long)paths.size();
        if (done)
            done(outcome);
    };
    if (!project || paths.empty()) {
        failed();
        return;
    }
    if (pictureAdd) {
        // One add at a time: this one follows once the window is free again.
        RunWhenNoModal([this, paths, tell, keepPaths, done, stopAtFailure] {
            _StartPictureAdd(paths, tell, keepPaths, done, stopAtFailure);
        });
        return;
    }
    pictureAdd = std::make_unique<VTPictureFilesAdd>(
        projectViewer, paths, [this, done](const VTPictureFilesAddOutcome& outcome) {
            // The add has ended; it is let go of when this returns.
            std::unique_ptr<VTPictureFilesAdd> ended = std::move(pictureAdd);
            EnableControls();
            if (done)
                done(outcome);
        });
    pictureAdd->tellFailures = tell;
    pictureAdd->keepPaths = keepPaths;
    pictureAdd->stopAtFailure = stopAtFailure;
    if (!pictureAdd->Start(GetContentView())) {
        pictureAdd.reset();
        failed();
    }
}

void MainDialog::_AddImageFile(const char* path)
{
    if (!project || !path || !*path)
        return;
    _StartPictureAdd({ path }, false, true, [this](const VTPictureFilesAddOutcome& outcome) {
        if (outcome.failures == 0 || IsDestroyed())
            return;
        LAlert alert(GetContentView(), "Det går inte att läsa in bildfilen. Välj en annan bild.",
            "Ogiltig bildfil");
        alert.RunField();
    });
}

void MainDialog::_ViewerSelection(const VTOverlayList*& list, const VTOverlay*& single) const
{
    list = project ? projectViewer.GetCurrentTemplate() : nullptr;
    single = list
        ? const_cast<VTProjectTemplateViewer&>(projectViewer.canvas).GetSingleSelectedItem()
        : nullptr;
}

bool MainDialog::_ClipboardHasContent() const
{
    LClipboard clipboard(GetContentView());
    return clipboard.HasCustomFormat(kVTClipboardOverlayType) || clipboard.HasImage()
        || clipboard.HasText();
}

void MainDialog::_ViewerDeleteSelection()
{
    projectViewer.DeleteSelectedItems();
}

bool MainDialog::_ViewerCopySelection()
{
    return projectViewer.ClipboardCopySelectedItems();
}

void MainDialog::_ViewerPaste()
{
    projectViewer.ClipboardPasteItems();
}

void MainDialog::_ViewerUndo(bool undo)
{
    if (undo)
        projectViewer.Undo();
    else
        projectViewer.Redo();
}

void MainDialog::_RotateSelection(bool left)
{
    VTProjectTemplate* design = projectViewer.GetCurrentTemplate();
    VTOverlay* overlay = design ? projectViewer.canvas.GetSingleSelectedItem() : nullptr;
    if (!project || !overlay)
        return;
    projectViewer.history.Add(
        new VTCopySingleOverlayState(left ? "\"Overlay Rotate left\"" : "\"Overlay Rotate right\"",
            projectViewer.canvas, *design, overlay));
    projectViewer.NotifyUndoRedoChanged();
    if (left)
        projectViewer.canvas.RotateSelectedItemLeft();
    else
        projectViewer.canvas.RotateSelectedItemRight();
}

bool MainDialog::_MoveSelectionByKey(LKey key, float divisor)
{
    VTProjectTemplateViewer& canvas = projectViewer.canvas;
    if (!project || !canvas.GetCollection() || !canvas.HasKeyboardFocus())
        return false;
    const LBoundingBox2T<float> b = canvas.GetCollectionBoundingBox();
    const float step = std::min(b.right - b.left, b.bottom - b.top) / divisor;
    const bool moved = canvas.MoveSelectedItemViaKey(key, step);
    if (moved)
        canvas.Invalidate();
    return moved;
}

VTLabelLayout* MainDialog::_SelectLabelLayout()
{
    return VTLabelLayoutSelectDialogOpen(GetContentView());
}

void MainDialog::_SelectLabelLayoutForProject()
{
    LPtr<VTLabelLayout> layout(VTLabelLayoutSelectDialogOpen(GetContentView()));
    if (layout && project) {
        project->SetLabelLayout(layout);
        // A layout change cannot be undone: the steps could name designs that went.
        projectViewer.ResetHistory();
        EnableControls();
        projectViewer.canvas.ClampItemsToCollection();
    }
    if (projectViewer.labelLayoutPanel)
        projectViewer.labelLayoutPanel->UpdateDetails();
    projectViewer.canvas.Invalidate();
}

void MainDialog::_EditLabelLayout(VTLabelLayoutTemplate* t)
{
    LPtr<VTProject> holder(project);
    VTLabelLayoutTemplate* current = t;
    int applied = VTLabelLayoutEditorDialogOpen(GetContentView(), holder, current);
    project = holder.Release();
    if (!applied)
        return;
    if (current)
        projectViewer.EvProjectViewerPanelLabelLayoutSelectionChanged(current);
    // Whatever the editor changed, the undo steps may name designs that are gone.
    projectViewer.ResetHistory();
    EnableControls();
}

void MainDialog::_CDInfoMenuPoint(LPoint& at)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (GetTabbedToolBar().GetTabbedToolBarControlBounds(1024, x, y, w, h))
        at = LPoint { x, y + h };
    else
        at = LPoint { 0, 0 };
}

void MainDialog::_LaunchSibling(int command)
{
    LLaunchSiblingCommand(GetContentView(), command);
}

void MainDialog::_ApplyToolbarState(const EnableState& state)
{
    for (const auto& [id, on] : state.toolbar)
        GetTabbedToolBar().EnableToolBarItem(id, on);
    for (const auto& [id, on] : state.caption)
        captionToolbar.EnableButton(id, on);
}

void MainDialog::_ShowFirstTextTip()
{
    GetTabbedToolBar().TabbedToolBarBubbleTipRun(
        1020, "Klicka här om du vill lägga till text på skivan", "");
}

void MainDialog::_ShowProjectOrLogo(bool projectOpen)
{
    // Only a change is shown: drawing the whole window again whenever the commands' states are
    // looked at would paint every overlay again with each one added.
    LView* logo = GetControlHandle(kLogoControl);
    LView* view = projectViewer.GetContentView();
    if ((!logo || logo->IsHidden() == projectOpen) && (!view || view->IsHidden() != projectOpen))
        return;
    _ShowControl(logo, !projectOpen);
    _ShowControl(view, projectOpen);
}
