// The main window's command set, the enable rules of its menus and bars, and its keys.
#include "app/lxa/mac/MainDialog.h"

#include "lfw/mac/LAlert.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"
#include "platform/ui/LUiMenu.h"

#include <algorithm>

namespace {

constexpr int kCut = LFourCC("cut ");
constexpr int kCopy = LFourCC("copy");
constexpr int kPaste = LFourCC("past");
constexpr int kPreferences = LFourCC("pref");

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
    EnableState s = ComputeEnableState();
    _ApplyToolbarState(s);
    if (firstTextTipPending) {
        firstTextTipPending = false;
        _ShowFirstTextTip();
    }
    _ShowProjectOrLogo(project != nullptr);
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
    return _MoveSelectionByKey(key, 250.0f);
}

bool MainDialog::EvKeyRepeat(LKey key)
{
    if (DoesFocusedControlWantArrowKeys() && _IsPlainArrow(key))
        return false;
    return _MoveSelectionByKey(key, 75.0f);
}

// ---- Commands ---------------------------------------------------------------------------------

void MainDialog::Command(int id, int code)
{
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
}

void MainDialog::CmCut()
{
    if (project && _ViewerCopySelection())
        _ViewerDeleteSelection();
}

void MainDialog::CmCopy()
{
    if (project)
        _ViewerCopySelection();
}

void MainDialog::CmPaste()
{
    if (project)
        _ViewerPaste();
}

void MainDialog::CmOverlayAddImages()
{
}

void MainDialog::CmOverlayAddClipart()
{
}

void MainDialog::CmOverlayAddClipartFrame()
{
}

void MainDialog::CmOverlayRaise()
{
}

void MainDialog::CmOverlayLower()
{
}

void MainDialog::CmPrint()
{
}

void MainDialog::EvProjectSaveStateChanged(VTProject&)
{
    UpdateCaption();
    EnableControls();
}

// ---- The project viewer's side ------------------------------------------------------------------

VTLabelLayoutPage* MainDialog::CurrentPage() const
{
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    return layout ? layout->pages.GetFirst() : nullptr;
}

int MainDialog::UndoIndex() const
{
    return -1;
}

int MainDialog::UndoCount() const
{
    return 0;
}

void MainDialog::_ViewerSetProject(VTProject*)
{
}

void MainDialog::_ViewerAddText(const char*)
{
}

void MainDialog::_ViewerAddImages(const std::vector<std::string>&)
{
}

bool MainDialog::_AddImageFile(const char*)
{
    return false;
}

void MainDialog::_ViewerSelection(const VTOverlayList*& list, const VTOverlay*& single) const
{
    list = nullptr;
    single = nullptr;
}

bool MainDialog::_ClipboardHasContent() const
{
    return false;
}

void MainDialog::_ViewerDeleteSelection()
{
}

bool MainDialog::_ViewerCopySelection()
{
    return false;
}

void MainDialog::_ViewerPaste()
{
}

void MainDialog::_ViewerUndo(bool)
{
}

void MainDialog::_RotateSelection(bool)
{
}

bool MainDialog::_MoveSelectionByKey(LKey, float)
{
    return false;
}

VTLabelLayout* MainDialog::_SelectLabelLayout()
{
    return nullptr;
}

void MainDialog::_SelectLabelLayoutForProject()
{
}

void MainDialog::_EditLabelLayout(VTLabelLayoutTemplate*)
{
}

void MainDialog::_CDInfoMenuPoint(LPoint& at)
{
    at = LPoint { 0, 0 };
}

void MainDialog::_LaunchSibling(int)
{
}

void MainDialog::_ApplyToolbarState(const EnableState&)
{
}

void MainDialog::_ShowFirstTextTip()
{
}

void MainDialog::_ShowProjectOrLogo(bool)
{
}
