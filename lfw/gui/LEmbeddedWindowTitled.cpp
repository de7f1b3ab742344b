#include "lfw/gui/LEmbeddedWindowTitled.h"

#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>

namespace {

// Sends a message to the window whose content view this is (at once on the main thread).
void SendTo(LWindow* window, int message, long data1, long data2)
{
    if (window && window->GetContentView())
        LIOSEventHandler::Send(window->GetContentView(), message, data1, data2);
}

void SetFontFrom(LPaintContext& context, const LGuiFontEx& font)
{
    if (!font.HasFont())
        return;
    char name[260] = "";
    font.GetName(name, sizeof name);
    context.SetFont(
        LFontAttributes(name, font.GetSizef(), font.IsBold() ? uint32_t(LFontStyleBold) : 0u));
}

} // namespace

// --- panel title bar ---------------------------------------------------------------------------

LEmbeddedWindowTitleBar::LEmbeddedWindowTitleBar(bool bold)
    : bBold(bold)
{
    fBackground.LoadFromResource("327");
    fBackgroundActive.LoadFromResource("334");
}

void LEmbeddedWindowTitleBar::Paint(LPaintContext& context)
{
    const int w = mWidth, h = mHeight;
    const LGuiJPG& background = bActive ? fBackgroundActive : fBackground;
    if (background.HasImage())
        background.Draw(context.GetPlatformContext(), 0, 0, w, h);
    if (!pPanel)
        return;
    int x = 8;
    if (pPanel->bCollapseEnabled) {
        const LGuiIcon& icon = pPanel->bCollapsed ? (bHot ? fIconCollapsedHot : fIconCollapsed)
                                                  : (bHot ? fIconExpandedHot : fIconExpanded);
        if (icon.HasImage())
            icon.Draw(context.GetPlatformContext(), 8, (h - 14) / 2, 14, 14);
        x = 30;
    }
    context.mTextColor = LGuiColorAlpha::FromRGBA8(255, 255, 255, 255);
    SetFontFrom(context, fFont);
    const char* title = pPanel->GetTitle();
    float tw = 0, th = 0;
    LPaintSurface::MeasureText(context, tw, th, title, LBoundingBox2T<float>(), LDrawTextFormat());
    const int y = (h - int(std::ceil(th))) / 2;
    LPaintSurface::_DrawText(context, title ? title : "", float(x), float(y), 2147483648.0f,
        2147483648.0f, LAlignmentX(0), LAlignmentY(0), LTextWrapping(0), LTextTrimming(0), true);
    // With the keyboard, a frame in the focus colour round the bar's inside, lined in white
    // within so that it shows on the open panel's bar too (in that colour itself).
    if (ShowsKeyboardFocus()) {
        const float scale = float(std::max(1.0, GetBackingScale()));
        const float line = 2 * scale;
        DrawFrameAA(context, GetFocusIndicatorColor(), 1 + line / 2, 1 + line / 2, w - 2 - line,
            h - 2 - line, line);
        DrawFrameAA(context, LGuiColor(0xFF00, 0xFF00, 0xFF00), 1 + line + scale / 2,
            1 + line + scale / 2, w - 2 - 2 * line - scale, h - 2 - 2 * line - scale, scale);
    }
}

void LEmbeddedWindowTitleBar::EvMouseIn()
{
    if (hostView)
        LGuiCursor::Restore();
}

void LEmbeddedWindowTitleBar::EvMouseMove(int x, int)
{
    if (!pPanel)
        return;
    const bool enabled = pPanel->bCollapseEnabled;
    if (enabled && hostView)
        LGuiCursor::SetSystem(LGuiCursor::PointingHand);
    const bool hot = enabled && x >= 9 && x < mWidth - 8;
    if (hot != bHot) {
        bHot = hot;
        Update();
        if (hot && hostView)
            hostView->SetToolTipText(pPanel->szToolTip);
    }
    if (!hot && hostView)
        hostView->SetToolTipText(nullptr);
}

void LEmbeddedWindowTitleBar::EvMouseOut()
{
    if (hostView)
        LGuiCursor::Restore();
    bHot = false;
    Update();
    if (hostView)
        hostView->SetToolTipText(nullptr);
}

void LEmbeddedWindowTitleBar::EvLButtonDown(int, int)
{
    SetCapture();
}

void LEmbeddedWindowTitleBar::EvLButtonUp(int x, int)
{
    if (!IsCaptured())
        return;
    ReleaseCapture();
    Press(x >= 9 && x < mWidth - 8);
}

bool LEmbeddedWindowTitleBar::EvKeyDown(LKey key)
{
    if (!key.PressesControl() || key.Modifiers() || !pPanel || !pPanel->bCollapseEnabled)
        return false;
    Press(true);
    return true;
}

void LEmbeddedWindowTitleBar::Press(bool onArrowOrTitle)
{
    LEmbeddedWindowTitled* panel = pPanel;
    if (!panel)
        return;
    if (onArrowOrTitle && panel->bCollapseEnabled)
        SendTo(panel, kLTitledPanelTitleClicked, 0, 0);
    panel->EvTitleClicked();
}

// --- titled panel ------------------------------------------------------------------------------

LEmbeddedWindowTitled::LEmbeddedWindowTitled(int titleBarId, const char* title,
    bool horizontalScroll, bool verticalScroll, bool unused, bool boldTitle)
    : LEmbeddedWindow(horizontalScroll, verticalScroll, unused)
    , fTitleBar(boldTitle)
    , fTitle(title ? title : "")
    , iTitleBarId(titleBarId)
{
    fTitleBar.pPanel = this;
    fTitleBar.iId = titleBarId;
}

LEmbeddedWindowTitled::~LEmbeddedWindowTitled()
{
    fTitleBar.DestroyPaintControl();
    InterWinMessageHandlerDestroy();
}

void LEmbeddedWindowTitled::InitDialog()
{
    iTitleBarHeight = int(2 * CharHeightPixels() + 0.5f);
    AddPaintControl(iTitleBarId);
    fTitleBar.Init(*this, iTitleBarId);
    // A stop of Tab while the panel can be opened and closed, also while it is collapsed.
    fTitleBar.SetKeyboardReachable();
    if (LView* bar = fTitleBar.GetPaintView())
        bar->SetAcceptsFocus(bCollapseEnabled);
    LGuiFont font;
    LWindow* real = IsRealWindow() ? this : GetRealParent();
    font.CreateFromDialog(
        real ? real->GetContentView() : GetContentView(), 1, fTitleBar.bBold, false);
    fTitleBar.fFont = font;
    InitPanel();
    HandleInterWinMessage(*this, 0);
    // Collapsed, only the title bar shows: the controls below it take no focus.
    if (LView* view = GetContentView())
        view->SetKeyboardShut(bCollapsed, fTitleBar.GetHostView());
}

void LEmbeddedWindowTitled::EvBackingScaleChanged()
{
    LEmbeddedWindow::EvBackingScaleChanged();
    iTitleBarHeight = int(2 * CharHeightPixels() + 0.5f);
    LGuiFont font;
    LWindow* real = IsRealWindow() ? this : GetRealParent();
    font.CreateFromDialog(
        real ? real->GetContentView() : GetContentView(), 1, fTitleBar.bBold, false);
    fTitleBar.fFont = font;
    MeasurePanel();
}

void LEmbeddedWindowTitled::DestroyDialog()
{
    DestroyPanel();
    fTitleBar.DestroyPaintControl();
    InterWinMessageHandlerDestroy();
}

void LEmbeddedWindowTitled::LayoutControls(int x, int y, int width, int height)
{
    // A panel that scrolls sideways has its title over the whole content.
    int titleWidth = width;
    if (ScrollsHorizontally()) {
        int contentWidth = 0, contentHeight = 0;
        GetContentSize(contentWidth, contentHeight);
        titleWidth = std::max(width, contentWidth);
    }
    MoveControlPixels(iTitleBarId, x, y, titleWidth, iTitleBarHeight);
    fTitleBar.UpdateSize();
    LayoutPanelControls(x, y + iTitleBarHeight, width, height - iTitleBarHeight);
}

void LEmbeddedWindowTitled::EnableCollapse(bool enable)
{
    bCollapseEnabled = enable;
    if (LView* bar = fTitleBar.GetPaintView())
        bar->SetAcceptsFocus(enable);
    if (!enable && bCollapsed)
        SetCollapsed(false);
}

void LEmbeddedWindowTitled::SetCollapsed(bool collapsed)
{
    bCollapsed = collapsed;
    if (LView* view = GetContentView())
        view->SetKeyboardShut(collapsed, fTitleBar.GetHostView());
    fTitleBar.Update();
}

void LEmbeddedWindowTitled::EvInterWinMessage(int message, long data1, long)
{
    switch (message) {
    case kLTitledPanelTitleClicked:
        SendTo(GetParentWindow(), kLTitledPanelTitleClicked, iTitleBarId, bCollapsed ? 0 : 1);
        break;
    case kLTitledPanelMessage101:
        SendTo(GetParentWindow(), kLTitledPanelMessage101, iTitleBarId, 0);
        break;
    case kLTitledPanelMessage102:
        SendTo(GetParentWindow(), kLTitledPanelMessage102, iTitleBarId, data1);
        break;
    default:
        break;
    }
}

// --- panel list --------------------------------------------------------------------------------

LEmbeddedWindowList::LEmbeddedWindowList(bool accordion, bool verticalScroll)
    : LEmbeddedWindow(false, verticalScroll, false)
    , bAccordion(accordion)
{
}

LEmbeddedWindowList::~LEmbeddedWindowList()
{
    while (LEmbeddedWindowTitled* panel = pFirst) {
        pFirst = panel->pNext;
        panel->Destroy();
        delete panel;
    }
    InterWinMessageHandlerDestroy();
}

LEmbeddedWindowTitled* LEmbeddedWindowList::GetPanel(int index) const
{
    if (index < 0)
        return nullptr;
    LEmbeddedWindowTitled* p = pFirst;
    while (p && index--)
        p = p->pNext;
    return p;
}

void LEmbeddedWindowList::LinkPanel(LEmbeddedWindowTitled* panel, bool atEnd)
{
    if (atEnd) {
        LEmbeddedWindowTitled** end = &pFirst;
        while (*end)
            end = &(*end)->pNext;
        panel->pNext = nullptr;
        *end = panel;
    } else {
        panel->pNext = pFirst;
        pFirst = panel;
    }
}

bool LEmbeddedWindowList::AddPanel(LEmbeddedWindowTitled* panel, bool atEnd)
{
    if (!panel)
        return false;
    LinkPanel(panel, atEnd);
    panel->Init(*this, std::max(1, GetClientAreaWidth()), 1);
    ResetContentSize();
    RelayoutWindow();
    return true;
}

bool LEmbeddedWindowList::AddPanelUnbuilt(LEmbeddedWindowTitled* panel, bool atEnd)
{
    if (!panel)
        return false;
    LinkPanel(panel, atEnd);
    panel->bVisible = false;
    return true;
}

bool LEmbeddedWindowList::IsPanelBuilt(const LEmbeddedWindowTitled* panel)
{
    return panel && panel->GetContentView();
}

void LEmbeddedWindowList::BuildPanel(LEmbeddedWindowTitled* panel)
{
    if (!panel || IsPanelBuilt(panel) || !GetContentView())
        return;
    panel->Init(*this, std::max(1, GetClientAreaWidth()), 1);
    panel->ShowWindow(panel->bVisible);
    if (!panel->bVisible)
        return; // a hidden panel takes no room: nothing moves
    ResetContentSize();
    RelayoutWindow();
}

void LEmbeddedWindowList::SetActivePanel(LEmbeddedWindowTitled* target, bool collapsed)
{
    if (bAccordion) {
        LEmbeddedWindowTitled* open = pFirst;
        while (open && open->bCollapsed)
            open = open->pNext;
        if (open && open == target)
            return;
    }
    if (pFirst && target) {
        for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext) {
            if (p == target) {
                p->SetCollapsed(collapsed);
                if (bAccordion) {
                    p->fTitleBar.bActive = true;
                    p->fTitleBar.Update();
                    p->EnableCollapse(false);
                }
            } else if (bAccordion) {
                // Openable first: a focus inside the panel goes to its title bar as it closes.
                p->EnableCollapse(true);
                p->SetCollapsed(true);
                p->fTitleBar.bActive = false;
                p->fTitleBar.Update();
            }
        }
    }
    ResetContentSize();
    RelayoutWindow();
}

void LEmbeddedWindowList::SetActivePanelByIndex(int index, bool collapsed)
{
    LEmbeddedWindowTitled* target = GetPanel(index);
    if (!target && pFirst)
        return; // not in the chain: nothing changes
    SetActivePanel(target, collapsed);
}

void LEmbeddedWindowList::SetActivePanelByTitleBarId(int titleBarId, bool collapsed)
{
    SetActivePanelByIndex(GetPanelIndexFromTitleBarId(titleBarId), collapsed);
}

int LEmbeddedWindowList::GetPanelIndexFromTitleBarId(int titleBarId) const
{
    int i = 0;
    for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext, ++i)
        if (p->GetTitleBarId() == titleBarId)
            return i;
    return -1;
}

void LEmbeddedWindowList::EnableCollapse(bool enable)
{
    for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext)
        p->EnableCollapse(enable);
}

bool LEmbeddedWindowList::SetPanelVisible(int index, bool visible)
{
    LEmbeddedWindowTitled* panel = GetPanel(index);
    if (!panel)
        return false;
    panel->bVisible = visible;
    if (!IsPanelBuilt(panel)) {
        if (!visible)
            return true; // stays unbuilt and hidden
        BuildPanel(panel);
    }
    panel->ShowWindow(visible);
    ResetContentSize();
    RelayoutWindow();
    return true;
}

void LEmbeddedWindowList::ScrollToShowPanel(int index)
{
    LEmbeddedWindowTitled* panel = GetPanel(index);
    if (!panel)
        return;
    int top = 0;
    for (LEmbeddedWindowTitled* p = pFirst; p != panel; p = p->pNext)
        if (p->bVisible)
            top += p->GetListHeight();
    const int height = panel->GetListHeight();
    const int scrolled
        = fPageScrollView.GetScrollView() ? fPageScrollView.GetScrolledPositionVerticalPixels() : 0;
    if (top < scrolled || top + height > GetClientAreaHeight() + scrolled)
        fPageScrollView.ScrollVerticallyToPixels(top);
}

void LEmbeddedWindowList::ResetContentSize()
{
    int total = 0;
    for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext)
        if (p->bVisible)
            total += p->GetListHeight();
    iContentHeight = total;
    SetContentSize(GetClientAreaWidth(), total);
}

void LEmbeddedWindowList::InitDialog()
{
    HandleInterWinMessage(*this, 0);
}

void LEmbeddedWindowList::DestroyDialog()
{
    for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext)
        p->Destroy();
    InterWinMessageHandlerDestroy();
}

void LEmbeddedWindowList::LayoutControls(int x, int y, int width, int)
{
    int top = y;
    for (LEmbeddedWindowTitled* p = pFirst; p; p = p->pNext) {
        if (!p->bVisible)
            continue;
        const int h = p->GetListHeight();
        p->MovePixels(x, top, width, h);
        top += h;
    }
}

void LEmbeddedWindowList::EvInterWinMessage(int message, long data1, long data2)
{
    SendTo(GetParentWindow(), message, data1, data2);
    if (message == kLTitledPanelTitleClicked || message == kLTitledPanelMessage101
        || message == kLTitledPanelMessage102) {
        ResetContentSize();
        RelayoutWindow();
        RedrawWindow();
    }
}

// --- container ---------------------------------------------------------------------------------

LEmbeddedWindowTitledContainer::LEmbeddedWindowTitledContainer(
    const char* title, bool accordion, bool boldTitle, bool verticalScroll, bool)
    : fList(accordion, verticalScroll)
    , fTitleBar(boldTitle)
{
    utf8strlcpy(szTitle, title ? title : "", sizeof szTitle);
}

LEmbeddedWindowTitledContainer::~LEmbeddedWindowTitledContainer()
{
    fTitleBar.DestroyPaintControl();
    InterWinMessageHandlerDestroy();
}

void LEmbeddedWindowTitledContainer::InitDialog()
{
    HandleInterWinMessage(*this, 0);
    fList.Init(*this, std::max(1, GetClientAreaWidth()), std::max(1, GetClientAreaHeight()));
    if (szTitle[0]) {
        AddPaintControl(900);
        fTitleBar.Init(*this, 900);
        fTitleBar.SetTitle(szTitle);
        LWindow* real = IsRealWindow() ? this : GetRealParent();
        fTitleBar.CreateTitleFont(real ? real->GetContentView() : GetContentView());
    }
}

void LEmbeddedWindowTitledContainer::EvBackingScaleChanged()
{
    LEmbeddedWindow::EvBackingScaleChanged();
    if (!szTitle[0])
        return;
    iTitleBarHeight = -1; // measured again at the next layout
    LWindow* real = IsRealWindow() ? this : GetRealParent();
    fTitleBar.CreateTitleFont(real ? real->GetContentView() : GetContentView());
}

void LEmbeddedWindowTitledContainer::DestroyDialog()
{
    fList.Destroy();
    fTitleBar.DestroyPaintControl();
    InterWinMessageHandlerDestroy();
}

void LEmbeddedWindowTitledContainer::LayoutControls(int x, int y, int width, int height)
{
    if (szTitle[0]) {
        if (iTitleBarHeight < 0)
            iTitleBarHeight = int(CharHeightPixels() * 1.23f + 0.5f) + 8;
        MoveControlPixels(900, x, y, width, iTitleBarHeight);
        fTitleBar.UpdateSize();
        y += iTitleBarHeight;
        height -= iTitleBarHeight;
    }
    fList.MovePixels(x, y, width, height);
    fList.ResetContentSize();
    fList.RelayoutWindow();
}

void LEmbeddedWindowTitledContainer::EvInterWinMessage(int message, long data1, long data2)
{
    SendTo(GetParentWindow(), message, data1, data2);
}
