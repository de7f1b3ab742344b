#include "lfw/mac/LDialog.h"

#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

constexpr unsigned long kTitledClosable = kLUiWindowTitled | kLUiWindowClosable;

} // namespace

// The window object a view belongs to (its window's, for a view inside a window).
LWindow* LDialogWindowOfView(LView* view)
{
    if (!view)
        return nullptr;
    if (auto* w = dynamic_cast<LWindow*>(LCocoaWindow::GetThisProperty(view)))
        return w;
    LNativeWindow* native = view->Window();
    return native ? dynamic_cast<LWindow*>(LCocoaWindow::GetThisProperty(native->ContentView()))
                  : nullptr;
}

// --- LDialog -----------------------------------------------------------------------------------

LDialog::~LDialog()
{
    if (fPanel && IsOpen())
        DestroyCommon();
}

bool LDialog::IsOpen() const
{
    return IsAlive();
}

bool LDialog::Run(LWindow* parent, LCocoaDialogCenterMode mode)
{
    return RunModal(parent, mode);
}

void LDialog::CreateBlank(int widthPixels, int heightPixels, unsigned long style)
{
    CreateCocoaWindow(widthPixels, heightPixels, style, fPanel, nullptr);
}

void LDialog::CreateFromLXA(const OpenGenData& data)
{
    if (IsOpen()) {
        CenterToParent();
        ShowWindow(true);
        return;
    }
    // The template's sizes are points at the default font: at a larger one the dialog and its
    // controls grow with the text.
    const double s = GetBackingScaleFactor() * TextScale();
    CreateBlank(int(data.width * s), int(data.height * s), kTitledClosable);
    if (!GetContentView())
        return;
    fTemplateWidth = data.width;
    fTemplateHeight = data.height;
    SetCaption(data.title);
    if (LNativeWindow* w = GetNativeWindow())
        w->SetStyleMask(data.closable ? (w->StyleMask() | kLUiWindowClosable)
                                      : (w->StyleMask() & ~unsigned(kLUiWindowClosable)));
    if (data.generator) {
        data.generator(*this, 0, 0, true);
        ScaleTemplateControls();
    }
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutOkCancelHelp(0, 0, w, h);
    // Kept inside the work area (what does not show then scrolls).
    SizeDialogPixelsMac(w, h, false);
}

void LDialog::EvTextSizeChanged()
{
    LMacWindow::EvTextSizeChanged();
    if (fTemplateWidth <= 0 || !GetContentView())
        return;
    const double s = GetBackingScaleFactor() * TextScale();
    const int w = int(fTemplateWidth * s), h = int(fTemplateHeight * s);
    LayoutOkCancelHelp(0, 0, w, h);
    SizeDialogPixelsMac(w, h, false);
}

bool LDialog::Open(LView* parent, const OpenGenData& data)
{
    if (IsOpen()) {
        CreateFromLXA(data); // brought forward only
        return false;
    }
    CreateFromLXA(data);
    if (!GetContentView())
        return false;
    return Run(LDialogWindowOfView(parent), kLCocoaDialogCenterScreen);
}

bool LDialog::OpenBlankNonResizable(LView* parent, float widthChars, float heightChars)
{
    if (IsOpen())
        return false;
    CreateBlank(
        R(widthChars * CharWidthPixels()), R(heightChars * CharHeightPixels()), kTitledClosable);
    if (!GetContentView())
        return false;
    return Run(LDialogWindowOfView(parent), kLCocoaDialogCenterScreen);
}

bool LDialog::OpenBlankNonResizable(LView* parent, int width, int height)
{
    if (IsOpen())
        return false;
    double s = GetBackingScaleFactor();
    CreateBlank(int(2 * width * s), int(2 * height * s), kTitledClosable);
    if (!GetContentView())
        return false;
    return Run(LDialogWindowOfView(parent), kLCocoaDialogCenterScreen);
}

// --- LModelessDialog ---------------------------------------------------------------------------

LModelessDialog::~LModelessDialog()
{
    StopObserving();
    if (IsOpen())
        Close(kLCmdOk);
}

bool LModelessDialog::Run(LWindow* parent, LCocoaDialogCenterMode mode)
{
    return RunFloating(parent, mode, fShow);
}

void LModelessDialog::StopObserving()
{
    if (fObservedParent) {
        LMacWindow::RemoveDestroyObserver(ParentDestroyed, this);
        fObservedParent = nullptr;
    }
}

void LModelessDialog::ParentDestroyed(LNativeWindow* window, void* data)
{
    auto* self = static_cast<LModelessDialog*>(data);
    if (!window)
        return;
    if (window == self->GetNativeWindow()) {
        self->StopObserving(); // the dialog itself goes
        return;
    }
    if (window == self->fObservedParent && self->fAutoClose && self->IsOpen())
        self->Close(kLCmdCancel);
}

void LModelessDialog::SetAutoCloseOnFocusLost(bool on)
{
    fAutoClose = on;
    if (on && !fObservedParent) {
        LView* parent = GetParentHandle(GetContentView());
        if (LNativeWindow* pw = parent ? parent->Window() : nullptr;
            pw && pw != GetNativeWindow()) {
            fObservedParent = pw;
            LMacWindow::AddDestroyObserver(ParentDestroyed, this);
        }
    }
    auto* panel = dynamic_cast<LCocoaPanelImpl*>(GetNativeWindow());
    if (panel) {
        panel->setWorksWhenModal(on);
        panel->setAutoCloseOnFocusLost(on);
    }
    if (LNativeWindow* w = GetNativeWindow()) {
        w->SetLevel(on ? LUiWindowLevel::PopUp : LUiWindowLevel::Floating);
        if (on && w->IsVisible())
            ShowWindow(true);
    }
}

void LModelessDialog::EvDeactivate()
{
    if (!fAutoClose || !IsOpen())
        return;
    if (LNativeWindow* w = GetNativeWindow())
        w->MakeFirstResponder(nullptr); // the field being edited commits
    ShowWindow(false);
    Close();
}

void LModelessDialog::Close(int code)
{
    if (!GetContentView())
        return; // never created, or gone
    fAutoClose = false;
    StopObserving();
    LMacWindow::Close(code);
}

// --- LResizable ----------------------------------------------------------------------------------

void LResizable::ResizableHook(LWindow& w)
{
    window = &w;
    w.ResizableHandlerSet(this);
}

bool LResizable::IsOwnLiveWindow(LNativeWindow& w) const
{
    return window && window->GetNativeWindow() == &w && window->IsAlive();
}

int LResizable::EdgeCode(const LUiRect& o, const LUiRect& n)
{
    bool leftMoved = n.x != o.x;
    bool topMoved = n.y != o.y;
    bool rightMoved = n.x + n.width != o.x + o.width;
    bool bottomMoved = n.y + n.height != o.y + o.height;
    if (n.width == o.width)
        return topMoved ? 3 : 6;
    if (n.height == o.height)
        return leftMoved ? 1 : 2;
    if (leftMoved && bottomMoved && !topMoved)
        return 7;
    if (rightMoved && bottomMoved && !topMoved && !leftMoved)
        return 8;
    if (leftMoved && topMoved)
        return 4;
    if (rightMoved && topMoved && !leftMoved)
        return 5;
    return 0;
}

void LResizable::RelayoutControls(LCocoaWindow& w)
{
    auto* mw = dynamic_cast<LMacWindow*>(&w);
    if (!mw || !mw->IsInitialised() || !mw->IsAlive())
        return;
    int width = 0, height = 0;
    mw->GetClientSize(width, height);
    mw->SetLayoutFlag(false);
    LayoutControls(width, height);
    mw->SetLayoutFlag(true);
    mw->ControlsLaidOut();
}

void LResizable::EvWindowDidResize(LNativeWindow& native, const LUiRect&)
{
    if (!IsOwnLiveWindow(native))
        return;
    LUiRef<LView> hold(window->GetContentView());
    int w = 0, h = 0;
    window->GetWindowSize(w, h);
    if (w != lastWidth || h != lastHeight) {
        RelayoutControls(*window);
        lastWidth = w;
        lastHeight = h;
    }
    window->RedrawWindow();
}

bool LResizable::EvWindowShouldZoom(LNativeWindow& native)
{
    if (!IsOwnLiveWindow(native))
        return false;
    int command = native.IsZoomed() ? unzoomCommand : zoomCommand;
    if (command < 1)
        return true;
    window->SendCommand(command);
    return false;
}

void LResizable::EvWindowWillMiniaturize(LNativeWindow& native)
{
    if (miniaturizeCommand > 0 && IsOwnLiveWindow(native))
        window->SendCommand(miniaturizeCommand);
}

// --- LResizableDialog ----------------------------------------------------------------------------

LResizableDialog::~LResizableDialog() = default;

bool LResizableDialog::Open(LView* parent, const char* section, int width, int height, int minWidth,
    int minHeight, int, int)
{
    if (IsOpen()) {
        ShowWindow(true);
        return false;
    }
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    CreateCocoaWindow(R(width * cw), R(height * ch),
        kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable, false, nullptr);
    LView* content = GetContentView();
    if (!content)
        return false;
    HookKeyHandler();
    fSection = section;
    // The window's own character cell from here on.
    cw = CharWidthPixels();
    ch = CharHeightPixels();
    if (GetThisProperty(content)) {
        ResizableHook(*this);
        fMinWidthChars = minWidth;
        fMinHeightChars = minHeight;
        MinimumSizeSet(R(minWidth * cw), R(minHeight * ch));
    }
    // A stored place stays while it is on the monitor of the window the dialog is opened from;
    // without one, or on another monitor, the dialog is centred on that window's monitor.
    LUiScreen stored, opener;
    bool placed = StoredScreen(section, stored);
    if (LWindow* owner = LDialogWindowOfView(parent);
        placed && owner && owner->GetNativeWindow() && owner->GetNativeWindow()->Screen(opener))
        placed = stored.frame.x == opener.frame.x && stored.frame.y == opener.frame.y;
    WindowSizeSettingsRestore(
        section, R(width * cw), R(height * ch), R(minWidth * cw), R(minHeight * ch), false);
    return Run(
        LDialogWindowOfView(parent), placed ? kLCocoaDialogCenterNone : kLCocoaDialogCenterScreen);
}

void LResizableDialog::Close(int code)
{
    if (fSection && IsAlive())
        WindowSizeSettingsStore(fSection);
    LMacKeyDialog<LDialog>::Close(code);
}

void LResizableDialog::EvTextSizeChanged()
{
    LMacKeyDialog<LDialog>::EvTextSizeChanged();
    if (fMinWidthChars > 0 || fMinHeightChars > 0)
        MinimumSizeSet(
            R(fMinWidthChars * CharWidthPixels()), R(fMinHeightChars * CharHeightPixels()));
}

void LResizableDialog::DestroyDialog()
{
    if (fSection)
        WindowSizeSettingsStore(fSection);
    LMacKeyDialog<LDialog>::DestroyDialog();
}

// --- LDialogMenu ---------------------------------------------------------------------------------

LDialogMenuHooks& LDialogMenuHooksGet()
{
    static LDialogMenuHooks hooks;
    return hooks;
}

LDialogMenu::LDialogMenu(LView* parent, const char* title, const char* heading, const char* subText,
    const LDialogMenuItem* items, int defaultId, bool closable)
    : pParent(parent)
    , szTitle(title)
    , szHeading(heading)
    , szSubText(subText)
    , pItems(items)
    , iDefaultId(defaultId)
    , bClosable(closable)
{
    utf8strlcpy(szShowAgainLabel, "Visa den här dialogrutan igen", sizeof szShowAgainLabel);
    if (items)
        while (items[iCount].id > 0)
            ++iCount;
}

void LDialogMenu::SetShowAgainCheckBoxLabel(const char* label)
{
    utf8strlcpy(szShowAgainLabel, label ? label : "", sizeof szShowAgainLabel);
}

int LDialogMenu::Run()
{
    if (!bCancelAllowed)
        bShowCancel = false;
    iChosenId = -1;
    return OpenBlankNonResizable(pParent, 200, 200) ? iChosenId : -1;
}

namespace {

LView* AddFlatLink(LWindow& window, int id, const char* title, const char* note)
{
    std::string text = title ? title : "";
    if (note && *note)
        text += std::string("\n") + note;
    LButtonFlags flags;
    flags.flat = true;
    return window.AddButton(id, text.c_str(), flags);
}

void MeasureFlatLink(LWindow& window, int id, const LDialogMenuItem& item, int& w, int& h)
{
    int lines = item.note && *item.note ? 2 : 1;
    w = window.MeasureButtonWidthPixels(id);
    h = int(lines * window.CharHeightPixels() * 1.23 + 0.5);
}

} // namespace

void LDialogMenu::InitDialog()
{
    SetCaption(szTitle);
    LStaticFlags wrap;
    AddStatic(101, szHeading ? szHeading : "", wrap);
    if (szSubText && *szSubText)
        AddStatic(102, szSubText, wrap);
    LDialogMenuHooks& hooks = LDialogMenuHooksGet();
    int defaultLink = 200;
    for (int i = 0; i < iCount; ++i) {
        int id = 200 + i;
        if (hooks.addCommandLink)
            hooks.addCommandLink(*this, id, pItems[i].text, pItems[i].note);
        else
            AddFlatLink(*this, id, pItems[i].text, pItems[i].note);
        if (pItems[i].id == iDefaultId)
            defaultLink = id;
    }
    if (bShowAgainShown) {
        AddCheckBox(104, szShowAgainLabel);
        SetCheck(104, bShowAgain);
    }
    if (bShowCancel)
        AddCancel(0, 0, 96, bClosable ? "Stäng" : "Avbryt");
    if (bShowAgainShown || bShowCancel)
        pLine = AddHLine(-1);
    PlaceControls();
    if (iCount > 0) {
        _SetButtonStyleOk(defaultLink);
        // Painted links take the focus, so that Return chooses the default one.
        if (LView* link = GetControlHandle(defaultLink); link && link->AcceptsFocus())
            SetFocus(defaultLink);
    }
    CenterDialog();
    // A choice that may be cancelled closes from the window manager's frame as with Escape; only
    // one that must be answered has no close box.
    if (LNativeWindow* w = GetNativeWindow())
        w->SetStyleMask((bClosable || bCancelAllowed)
                ? (w->StyleMask() | kLUiWindowClosable)
                : (w->StyleMask() & ~unsigned(kLUiWindowClosable)));
}

void LDialogMenu::EvTextSizeChanged()
{
    LDialog::EvTextSizeChanged();
    if (GetContentView())
        PlaceControls();
}

void LDialogMenu::PlaceControls()
{
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    double s = GetBackingScaleFactor();
    int M = R(2 * cw), T = R(0.94 * ch), G = R(0.59 * ch), L = R(1.23 * ch);
    const bool subText = szSubText && *szSubText;
    LDialogMenuHooks& hooks = LDialogMenuHooksGet();
    std::vector<int> heights(size_t(iCount), L);
    int W = R(50 * cw) + 2 * M;
    for (int i = 0; i < iCount; ++i) {
        int id = 200 + i;
        int w = 0, h = 0;
        if (hooks.measureCommandLink)
            hooks.measureCommandLink(*this, id, w, h);
        else
            MeasureFlatLink(*this, id, pItems[i], w, h);
        heights[size_t(i)] = std::max(h, L);
        W = std::max(W, w);
    }
    int cancelWidth = 0;
    if (bShowCancel)
        cancelWidth = std::max(MeasureButtonWidthPixels(kLCmdCancel), int(96 * s));
    int row = std::min(bShowAgainShown ? MeasureCheckBoxWidthPixels(104) : 0, 300) + R(1.25 * cw)
        + (bShowCancel ? cancelWidth + R(1.25 * cw) : 0);
    W = std::min(std::max(W, row), 100000);

    int y = T;
    int hh = MeasureStaticTextHeightPixels(101, W);
    MoveControlPixels(101, M, y, W, std::max(hh, L));
    y += std::max(hh, L);
    if (subText) {
        y += G;
        int sh = MeasureStaticTextHeightPixels(102, W);
        MoveControlPixels(102, M, y, W, std::max(sh, L));
        y += std::max(sh, L);
    }
    for (int i = 0; i < iCount; ++i) {
        y += G;
        MoveControlPixels(200 + i, M, y, W, heights[size_t(i)]);
        y += heights[size_t(i)];
    }
    if (bShowAgainShown || bShowCancel) {
        y += G;
        MoveControlPixels(pLine, M, y, W, std::max(1, int(s)));
        y += G + 1;
    }
    if (bShowAgainShown)
        MoveControlPixels(104, M, y, W - (bShowCancel ? cancelWidth : 0), L);
    if (bShowCancel || bShowAgainShown)
        y += L;
    int clientW = W + 2 * M, clientH = y + T;
    SizeDialogPixelsMac(clientW, clientH, false);
    if (bShowCancel)
        LayoutOkCancelHelp(0, 0, clientW, clientH);
}

void LDialogMenu::RememberCheckBox()
{
    if (bShowAgainShown && GetControlHandle(104))
        bShowAgain = GetCheck(104);
}

void LDialogMenu::Command(int id, int code)
{
    if (id >= 200 && id < 200 + iCount) {
        iChosenId = pItems[id - 200].id;
        RememberCheckBox();
        Close(kLCmdOk);
        return;
    }
    // Return chooses the default link also when the links are painted (no default button).
    if (id == kLCmdOk && iCount > 0) {
        int link = 200;
        for (int i = 0; i < iCount; ++i)
            if (pItems[i].id == iDefaultId)
                link = 200 + i;
        Command(link, code);
        return;
    }
    LUiRef<LView> content(GetContentView());
    LDialog::Command(id, code);
    if (LCocoaView::isStillWindowOf(content.Get(), this))
        RememberCheckBox();
}

bool LDialogMenu::EvDefaultKey()
{
    if (iCount <= 0)
        return false;
    Command(kLCmdOk, 0);
    return true;
}

bool LDialogMenu::CmOk()
{
    RememberCheckBox();
    return true;
}

bool LDialogMenu::CmCancel()
{
    if (!bCancelAllowed)
        return false;
    RememberCheckBox();
    return true;
}
