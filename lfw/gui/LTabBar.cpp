#include "lfw/gui/LTabBar.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

int Rnd(double v)
{
    return int(std::lround(v));
}

int R(double v)
{
    return int(v + 0.5);
}

void CopyText(char* to, const char* from)
{
    utf8strlcpy(to, from ? from : "", 260);
}

} // namespace

LTabBar::LTabBar()
    : timer1(TimerAction, this)
    , timer2(TimerAction, this)
{
    // Disabled, the bar draws its own grey states.
    bDimWhenDisabled = false;
}

LTabBar::~LTabBar()
{
    *fAlive = false;
    {
        LLockObjectLocker lock(timer1Lock);
        timer1.Disarm();
    }
    {
        LLockObjectLocker lock(timer2Lock);
        timer2.Disarm();
    }
    while (firstTab) {
        LTab* next = firstTab->next;
        delete firstTab;
        firstTab = next;
    }
    DestroyPaintControl();
}

void LTabBar::Init(LWindow& window, int id)
{
    LPaintControl::Init(window, id);
    SetKeyboardReachable();
    LayoutTabs();
    ClampScrollOffset();
}

void LTabBar::SetCommandIds(
    uint16_t selectionChanging, uint16_t selectionChanged, uint16_t close, uint16_t contextMenu)
{
    cmdSelectionChanging = selectionChanging;
    cmdSelectionChanged = selectionChanged;
    cmdClose = close;
    cmdContextMenu = contextMenu;
}

void LTabBar::SetFixedTabWidth(bool on, int width)
{
    bFixedWidth = on;
    fixedWidth = std::max(0, width);
    LayoutTabs();
    ClampScrollOffset();
}

// --- metrics -------------------------------------------------------------------------------------

int LTabBar::M(double k) const
{
    return Rnd(std::max(1.0, k * mHeight));
}

int LTabBar::N(double k) const
{
    return Rnd(k * mHeight);
}

float LTabBar::CharHeight() const
{
    return parent ? parent->CharHeightPixels() : 17.0f;
}

int LTabBar::CloseBoxWidth() const
{
    const double q = M(0.78) - 2 * M(0.1);
    return Rnd(std::max(1.0, 0.2 * q)) + Rnd(std::max(1.0, 0.7 * q));
}

float LTabBar::GetFontSize(int pixels) const
{
    const int base = std::max(1, R(1.23 * CharHeight()));
    return float(LGuiFont::GetSystemFontSize() * GetBackingScale() * pixels / base);
}

int LTabBar::GetTextWidth(const char* text, const char* face, int pixels) const
{
    if (!text || !*text)
        return 0;
    // A scratch context on a small image, so that the layout runs before the bar is shown.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t* cr = cairo_create(surface);
    float w = 0, h = 0;
    {
        LPaintContext context(cr, 4, 4);
        context.SetFont(LFontAttributes(face, GetFontSize(pixels), 0));
        LPaintSurface::MeasureText(context, w, h, text,
            LBoundingBox2T<float>(0, 0, 2147483648.0f, 2147483648.0f), LDrawTextFormat());
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return int(std::ceil(w));
}

int LTabBar::CaptionWidth(LTab& tab) const
{
    const int pixels = R(1.3 * CharHeight());
    LTab::Measured& m = tab.captionCache;
    if (m.pixels != pixels || std::strcmp(m.text, tab.text) != 0) {
        m.width = GetTextWidth(tab.text, "Arial", pixels);
        m.pixels = pixels;
        std::memcpy(m.text, tab.text, sizeof m.text);
    }
    return m.width;
}

int LTabBar::SuperscriptWidth(LTab& tab) const
{
    const int pixels = R(0.8 * CharHeight());
    LTab::Measured& m = tab.superscriptCache;
    if (m.pixels != pixels || std::strcmp(m.text, tab.superscriptText) != 0) {
        m.width = GetTextWidth(tab.superscriptText, "Arial", pixels);
        m.pixels = pixels;
        std::memcpy(m.text, tab.superscriptText, sizeof m.text);
    }
    return m.width;
}

int LTabBar::GetTabWidth(LTab& tab) const
{
    if (bFixedWidth)
        return fixedWidth;
    const int P = M(0.2), G = M(0.1);
    int width = P + CaptionWidth(tab) + P;
    if (tab.superscriptText[0])
        width += SuperscriptWidth(tab) + G;
    if (bShowCloseButtons && tab.closable)
        width += CloseBoxWidth();
    return width;
}

int LTabBar::TotalWidth() const
{
    int total = 0;
    for (LTab* t = firstTab; t; t = t->next)
        total += t->width;
    return total;
}

bool LTabBar::Overflows() const
{
    return TotalWidth() > mWidth - 2 * Half();
}

int LTabBar::GetLowestScrollOffset() const
{
    const int strip = mWidth - 2 * Half();
    const int total = TotalWidth();
    return total > strip ? strip - total : 0;
}

// --- tabs ----------------------------------------------------------------------------------------

LTab* LTabBar::AddTab(const char* text, unsigned long dataTag)
{
    LTab* tab = new LTab;
    CopyText(tab->text, text);
    tab->dataTag = dataTag;
    LTab** end = &firstTab;
    while (*end)
        end = &(*end)->next;
    *end = tab;
    LayoutTabs();
    return tab;
}

bool LTabBar::HasTab(const LTab* tab) const
{
    for (LTab* t = firstTab; t; t = t->next)
        if (t == tab)
            return true;
    return false;
}

void LTabBar::ClearReferences(const LTab* tab)
{
    LTab** refs[] = { &selectedTab, &hotTab, &pressedTab, &hotCloseTab, &closePressedTab,
        &tabToClose, &contextTab, &keyTab };
    for (LTab** r : refs)
        if (!tab || *r == tab) {
            *r = nullptr;
            Update();
        }
    if (!keyTab)
        bKeyOnClose = false;
}

void LTabBar::RemoveTab(LTab& tab)
{
    LTab** link = &firstTab;
    while (*link && *link != &tab)
        link = &(*link)->next;
    if (!*link)
        return;
    ClearReferences(&tab);
    *link = tab.next;
    delete &tab;
    LayoutTabs();
    ClampScrollOffset();
}

void LTabBar::RemoveTabWithDataTag(unsigned long dataTag)
{
    if (LTab* tab = GetTabWithDataTag(dataTag))
        RemoveTab(*tab);
}

void LTabBar::RemoveAllTabs()
{
    if (!firstTab)
        return;
    ClearReferences(nullptr);
    while (firstTab) {
        LTab* next = firstTab->next;
        delete firstTab;
        firstTab = next;
    }
    scrollOffset = 0;
    Update();
}

LTab* LTabBar::GetTabWithDataTag(unsigned long dataTag) const
{
    for (LTab* t = firstTab; t; t = t->next)
        if (t->dataTag == dataTag)
            return t;
    return nullptr;
}

LTab* LTabBar::GetTabAtIndex(unsigned int index) const
{
    LTab* t = firstTab;
    for (; t && index > 0; --index)
        t = t->next;
    return t;
}

unsigned int LTabBar::GetTabCount() const
{
    unsigned int n = 0;
    for (LTab* t = firstTab; t; t = t->next)
        ++n;
    return n;
}

void LTabBar::SelectTab(LTab& tab)
{
    if (selectedTab == &tab || !HasTab(&tab))
        return;
    selectedTab = &tab;
    LayoutTabs();
    ScrollToShowTab(tab);
}

void LTabBar::SelectTabAtIndex(unsigned int index)
{
    if (LTab* tab = GetTabAtIndex(index))
        SelectTab(*tab);
}

void LTabBar::SetTabText(LTab& tab, const char* text)
{
    if (!HasTab(&tab) || std::strcmp(tab.text, text ? text : "") == 0)
        return;
    CopyText(tab.text, text);
    LayoutTabs();
    ClampScrollOffset();
    Update();
}

void LTabBar::SetTabTextAtIndex(unsigned int index, const char* text)
{
    if (LTab* tab = GetTabAtIndex(index))
        SetTabText(*tab, text);
}

void LTabBar::ShowCloseButtons(bool show)
{
    if (bShowCloseButtons == show)
        return;
    bShowCloseButtons = show;
    LayoutTabs();
    ClampScrollOffset();
}

// --- layout and scrolling ------------------------------------------------------------------------

void LTabBar::LayoutTabs()
{
    if (mWidth < 1 || mHeight < 1)
        return;
    const int half = Half();
    const int P = M(0.2), G = M(0.1), T = M(0.15), H = M(0.78), S = M(0.05);
    const int K = bShowCloseButtons ? CloseBoxWidth() : 0;
    const int capPixels = R(0.8 * CharHeight());
    int x = std::min(half, scrollOffset + half);
    for (LTab* t = firstTab; t; t = t->next) {
        int top = T, textTop = T + G;
        if (t == selectedTab) {
            top = S;
            textTop = (T - S) / 2 + S + G;
        }
        const int bottom = top + H;
        const int textBottom = bottom - G;
        const int width = GetTabWidth(*t);
        const bool hasSuper = t->superscriptText[0] != 0;
        const int superPart = hasSuper ? SuperscriptWidth(*t) + G : 0;
        int caption = 0;
        if (bFixedWidth) {
            const int k = bShowCloseButtons && t->closable ? K : 0;
            caption = fixedWidth - (k + 2 * P + superPart);
        } else {
            caption = CaptionWidth(*t);
        }
        t->textRect[0] = x + P;
        t->textRect[1] = textTop;
        t->textRect[2] = t->textRect[0] + caption;
        t->textRect[3] = textBottom;
        if (hasSuper) {
            t->superscriptRect[0] = t->textRect[2] + G;
            t->superscriptRect[1] = textTop;
            t->superscriptRect[2] = t->textRect[2] + superPart;
            t->superscriptRect[3] = textTop + capPixels;
        } else {
            std::fill(t->superscriptRect, t->superscriptRect + 4, 0);
        }
        t->tabRect[0] = x;
        t->tabRect[1] = top;
        t->tabRect[2] = x + width;
        t->tabRect[3] = bottom;
        if (bShowCloseButtons && t->closable) {
            t->closeRect[0] = t->tabRect[2] - (K + P);
            t->closeRect[1] = textTop;
            t->closeRect[2] = t->tabRect[2] - P;
            t->closeRect[3] = textBottom;
        } else {
            std::fill(t->closeRect, t->closeRect + 4, 0);
        }
        t->width = width;
        x = t->tabRect[2];
    }
    Update();
    bSelectedVisible = selectedTab && selectedTab->tabRect[2] >= half
        && selectedTab->tabRect[0] <= mWidth - half;
}

bool LTabBar::CanScrollLeft() const
{
    return Overflows() && scrollOffset < 0;
}

bool LTabBar::CanScrollRight() const
{
    return Overflows() && scrollOffset > GetLowestScrollOffset();
}

void LTabBar::ClampScrollOffset()
{
    const int lowest = GetLowestScrollOffset();
    if (scrollOffset < lowest) {
        scrollOffset = lowest;
        LayoutTabs();
    }
    if (scrollOffset > 0) {
        scrollOffset = 0;
        LayoutTabs();
    }
}

void LTabBar::ScrollLeft()
{
    const int offset = std::min(scrollOffset + 10, 0);
    if (offset == scrollOffset)
        return;
    scrollOffset = offset;
    LayoutTabs();
    if (!CanScrollLeft() && bLeftHot) {
        bLeftHot = false;
        Update();
    }
}

void LTabBar::ScrollRight()
{
    const int offset = std::max(scrollOffset - 10, GetLowestScrollOffset());
    if (offset == scrollOffset)
        return;
    scrollOffset = offset;
    LayoutTabs();
    if (!CanScrollRight() && bRightHot) {
        bRightHot = false;
        Update();
    }
}

void LTabBar::ScrollToShowTab(const LTab& tab)
{
    const int half = Half();
    if (tab.tabRect[2] > mWidth - half) {
        scrollOffset += (mWidth - half) - tab.tabRect[2];
        LayoutTabs();
    }
    if (tab.tabRect[0] < half) {
        scrollOffset += half - tab.tabRect[0];
        LayoutTabs();
    }
}

void LTabBar::StartAnimation(const LTab& tab, int frames)
{
    const int half = Half();
    // At least one frame: a very short animation jumps to its end in one step.
    animationFrames = uint64_t(std::max(1, frames));
    animationFrame = 1;
    animationStart = scrollOffset;
    if (tab.tabRect[2] > mWidth / 2)
        animationEnd = scrollOffset - tab.tabRect[2] + mWidth - half;
    else
        animationEnd = scrollOffset - tab.tabRect[0] + half;
    ArmTimer(2);
}

void LTabBar::ScrollToShowTabAnimated(const LTab& tab, int milliseconds)
{
    StartAnimation(tab, milliseconds / 10);
}

bool LTabBar::IsAnimating() const
{
    return animationFrames != 0 && animationFrame <= animationFrames;
}

LTab* LTabBar::GetFirstVisibleTab(int margin) const
{
    if (!CanScrollLeft())
        return firstTab;
    const int half = Half();
    for (LTab* t = firstTab; t; t = t->next)
        if (t->tabRect[2] - margin >= half && t->tabRect[0] + margin <= mWidth - half)
            return t;
    return nullptr;
}

LTab* LTabBar::GetLastVisibleTab(int margin) const
{
    if (!CanScrollRight()) {
        LTab* last = firstTab;
        while (last && last->next)
            last = last->next;
        return last;
    }
    const int half = Half();
    LTab* found = nullptr;
    for (LTab* t = firstTab; t; t = t->next) {
        const bool visible
            = t->tabRect[2] - margin >= half && t->tabRect[0] + margin <= mWidth - half;
        if (visible)
            found = t;
        else if (found)
            break;
    }
    return found;
}

void LTabBar::ArmTimer(int id)
{
    if (id == 1) {
        LLockObjectLocker lock(timer1Lock);
        timer1.Arm(10);
    } else {
        LLockObjectLocker lock(timer2Lock);
        timer2.Arm(10);
    }
}

void LTabBar::StopTimer(int id)
{
    if (id == 1) {
        LLockObjectLocker lock(timer1Lock);
        timer1.Disarm();
    } else {
        LLockObjectLocker lock(timer2Lock);
        timer2.Disarm();
        animationFrames = 0;
    }
}

void LTabBar::TimerAction(LRunLoopTimer* timer, void* data)
{
    auto* bar = static_cast<LTabBar*>(data);
    bar->EvTimer(timer == &bar->timer1 ? 1 : 2);
}

void LTabBar::ScrollLeftUpdate()
{
    if (!bLeftPressed)
        return;
    bContinuousLeft = true;
    ScrollLeft();
    StopTimer(2);
    ArmTimer(1);
}

void LTabBar::ScrollRightUpdate()
{
    if (!bRightPressed)
        return;
    bContinuousRight = true;
    ScrollRight();
    StopTimer(2);
    ArmTimer(1);
}

void LTabBar::EvTimer(int id)
{
    if (id == 2) {
        if (!IsAnimating())
            return;
        const float e
            = std::pow(float(animationFrame) / float(animationFrames) - 1.0f, 3.0f) + 1.0f;
        scrollOffset = int(float(animationEnd) * e + float(animationStart) * (1.0f - e));
        const uint64_t before = animationFrame++;
        if (before < animationFrames)
            ArmTimer(2);
        LayoutTabs();
        return;
    }
    if (id != 1 || (!bContinuousLeft && !bContinuousRight))
        return;
    const int margin = bFixedWidth ? fixedWidth / 2 : 64;
    if (bContinuousLeft) {
        if (bLeftPressed) {
            ScrollLeft();
            StopTimer(2);
            ArmTimer(1);
            return;
        }
        bContinuousLeft = false;
        LTab* first = GetFirstVisibleTab(margin);
        if (!first)
            return;
        LTab* before = nullptr;
        for (LTab* t = firstTab; t && t != first; t = t->next)
            before = t;
        StartAnimation(before ? *before : *first, 50);
        return;
    }
    if (bRightPressed) {
        ScrollRight();
        StopTimer(2);
        ArmTimer(1);
        return;
    }
    bContinuousRight = false;
    LTab* last = GetLastVisibleTab(margin);
    if (!last)
        return;
    StartAnimation(last->next ? *last->next : *last, 50);
}

// --- hit tests -----------------------------------------------------------------------------------

bool LTabBar::IsPointOverScrollButtonLeft(int x, int y) const
{
    return CanScrollLeft() && x >= 1 && y >= 1 && x < N(0.9) && y < mHeight - N(0.1);
}

bool LTabBar::IsPointOverScrollButtonRight(int x, int y) const
{
    return CanScrollRight() && mWidth - N(0.9) < x && x < mWidth && y >= 1 && y < mHeight - N(0.1);
}

bool LTabBar::IsPointOverScrollButton(int x, int y) const
{
    return IsPointOverScrollButtonLeft(x, y) || IsPointOverScrollButtonRight(x, y);
}

LTab* LTabBar::MapPointToTab(int x, int y, bool ignoreScrollButtons) const
{
    if (!ignoreScrollButtons && IsPointOverScrollButton(x, y))
        return nullptr;
    for (LTab* t = firstTab; t; t = t->next)
        if (x >= t->tabRect[0] && x <= t->tabRect[2] && y >= t->tabRect[1] && y <= t->tabRect[3])
            return t;
    return nullptr;
}

LTab* LTabBar::MapPointToTabCloseButton(int x, int y) const
{
    if (!bShowCloseButtons || IsPointOverScrollButton(x, y))
        return nullptr;
    for (LTab* t = firstTab; t; t = t->next)
        if (t->closable && x >= t->closeRect[0] && x <= t->closeRect[2] && y >= t->closeRect[1]
            && y <= t->closeRect[3])
            return t;
    return nullptr;
}

// --- input ---------------------------------------------------------------------------------------

bool LTabBar::Send(uint16_t id)
{
    if (id == 0 || !parent)
        return true;
    std::shared_ptr<bool> alive = fAlive;
    parent->SendCommand(id);
    return *alive;
}

void LTabBar::SetToolTip(const char* text)
{
    if (hostView)
        hostView->SetToolTipText(text && *text ? text : nullptr);
}

void LTabBar::EvMouseMove(int x, int y)
{
    if (CanScrollLeft()) {
        const bool over = IsPointOverScrollButtonLeft(x, y);
        if (over != bLeftHot) {
            bLeftHot = over;
            Update();
            return;
        }
        if (!over)
            bLeftPressed = false;
    }
    if (CanScrollRight()) {
        const bool over = IsPointOverScrollButtonRight(x, y);
        if (over != bRightHot) {
            bRightHot = over;
            Update();
            return;
        }
        if (!over)
            bRightPressed = false;
    }
    LTab* close = MapPointToTabCloseButton(x, y);
    if (close && !closePressedTab) {
        if (close != hotCloseTab) {
            hotCloseTab = close;
            LStringLongTemplate<char> key;
            if (close == selectedTab && !(closeKey == LKey()))
                closeKey.GetDescription(key);
            if (key.GetLength() > 0) {
                char tip[520];
                snprintf(tip, sizeof tip, "%s (%s)", szCloseTooltip, key.c_str());
                SetToolTip(tip);
            } else {
                SetToolTip(szCloseTooltip);
            }
            Update();
        }
        hotTab = nullptr;
        return;
    }
    if (hotCloseTab) {
        hotCloseTab = nullptr;
        Update();
    }
    if (closePressedTab) {
        if (hotTab) {
            hotTab = nullptr;
            Update();
        }
        return;
    }
    LTab* hot = MapPointToTab(x, y, false);
    if (hot != hotTab) {
        hotTab = hot;
        SetToolTip(hot ? hot->tooltip : nullptr);
        Update();
    }
}

void LTabBar::EvMouseOut()
{
    if (bLeftHot || bRightHot || bLeftPressed || bRightPressed || hotCloseTab || hotTab)
        Update();
    bLeftHot = bRightHot = bLeftPressed = bRightPressed = false;
    hotCloseTab = nullptr;
    hotTab = nullptr;
    SetToolTip(nullptr);
}

void LTabBar::EvLButtonDown(int x, int y)
{
    bContinuousLeft = bContinuousRight = false;
    if (IsPointOverScrollButtonLeft(x, y)) {
        bLeftPressed = true;
        ScrollLeftUpdate();
        return;
    }
    if (IsPointOverScrollButtonRight(x, y)) {
        bRightPressed = true;
        ScrollRightUpdate();
        return;
    }
    if (LTab* close = MapPointToTabCloseButton(x, y)) {
        closePressedTab = close;
        SetCapture();
        Update();
        return;
    }
    LTab* tab = MapPointToTab(x, y, false);
    // The keyboard goes on from the tab clicked.
    keyTab = nullptr;
    bKeyOnClose = false;
    if (tab && tab != selectedTab) {
        if (!Send(cmdSelectionChanging))
            return;
        // The owner may have removed the tab while it was told.
        if (!HasTab(tab))
            tab = nullptr;
        if (tab) {
            SelectTab(*tab);
            if (!Send(cmdSelectionChanged))
                return;
            if (!HasTab(tab))
                tab = nullptr;
        }
    } else if (tab) {
        ScrollToShowTab(*tab);
    }
    pressedTab = tab;
    if (tab)
        SetCapture();
    Update();
}

void LTabBar::EvLButtonUp(int x, int y)
{
    if (IsCaptured())
        ReleaseCapture();
    // A scroll button is let go wherever the pointer is: it may have scrolled as far as it goes
    // and vanished under the pointer.
    if (bLeftPressed || bRightPressed || IsPointOverScrollButton(x, y)) {
        bLeftPressed = bRightPressed = false;
        Update();
        return;
    }
    if (bShowCloseButtons && closePressedTab && MapPointToTabCloseButton(x, y) == closePressedTab) {
        tabToClose = closePressedTab;
        if (!Send(cmdClose))
            return;
    }
    closePressedTab = nullptr;
    pressedTab = nullptr;
    Update();
}

void LTabBar::EvDoubleClick(int x, int y)
{
    if (IsPointOverScrollButtonLeft(x, y))
        ScrollLeft();
    else if (IsPointOverScrollButtonRight(x, y))
        ScrollRight();
}

void LTabBar::EvRButtonDown(int, int)
{
}

void LTabBar::EvRButtonUp(int x, int y)
{
    if (!cmdContextMenu)
        return;
    if (LTab* tab = MapPointToTab(x, y, false)) {
        contextTab = tab;
        Send(cmdContextMenu);
    }
}

void LTabBar::EvMButtonDown(int x, int y)
{
    if (!bMiddleClickCloses)
        return;
    closePressedTab = MapPointToTab(x, y, false);
    hotTab = nullptr;
    SetCapture();
    Update();
}

void LTabBar::EvMButtonUp(int x, int y)
{
    if (bMiddleClickCloses && closePressedTab && MapPointToTab(x, y, false) == closePressedTab) {
        tabToClose = closePressedTab;
        if (!Send(cmdClose))
            return;
    }
    closePressedTab = nullptr;
    pressedTab = nullptr;
    if (IsCaptured())
        ReleaseCapture();
    Update();
}

// --- keyboard ------------------------------------------------------------------------------------

LTab* LTabBar::GetKeyboardTab() const
{
    return keyTab && HasTab(keyTab) ? keyTab : selectedTab;
}

bool LTabBar::IsKeyboardOnCloseBox() const
{
    const LTab* tab = GetKeyboardTab();
    return tab && tab == keyTab && bKeyOnClose && bShowCloseButtons && tab->closable;
}

bool LTabBar::ChooseTab(LTab* tab)
{
    keyTab = nullptr;
    bKeyOnClose = false;
    if (!tab)
        return true;
    if (tab == selectedTab) {
        ScrollToShowTab(*tab);
        Update();
        return true;
    }
    if (!Send(cmdSelectionChanging))
        return false;
    // The owner may have removed the tab while it was told.
    if (!HasTab(tab))
        return true;
    SelectTab(*tab);
    if (!Send(cmdSelectionChanged))
        return false;
    Update();
    return true;
}

bool LTabBar::CloseTabByKey(LTab* tab)
{
    if (!tab || !cmdClose)
        return true;
    tabToClose = tab;
    if (!Send(cmdClose))
        return false;
    Update();
    return true;
}

bool LTabBar::SelectNeighbourTab(int step)
{
    const unsigned count = GetTabCount();
    if (count == 0 || step == 0)
        return false;
    int index = -1;
    for (unsigned i = 0; i < count; ++i)
        if (GetTabAtIndex(i) == selectedTab)
            index = int(i);
    if (index < 0)
        index = step > 0 ? -1 : 0;
    const int next = ((index + (step > 0 ? 1 : -1)) % int(count) + int(count)) % int(count);
    if (next == index)
        return false;
    ChooseTab(GetTabAtIndex(unsigned(next)));
    return true;
}

bool LTabBar::EvKeyDown(LKey key)
{
    constexpr unsigned kHome = 115, kPageUp = 116, kEnd = 119, kPageDown = 121, kLeft = 123,
                       kRight = 124;
    if (!hostView || !IsEnabled())
        return false;
    const uint32_t modifiers = key.Modifiers();
    if (modifiers == LKey::kCommand && (key.KeyCode() == kPageUp || key.KeyCode() == kPageDown)) {
        SelectNeighbourTab(key.KeyCode() == kPageUp ? -1 : 1);
        return true;
    }
    if (modifiers != 0)
        return false;
    // The keyboard's stops in order: each tab, and after it its close box while it has one.
    struct Stop {
        LTab* tab;
        bool close;
    };
    std::vector<Stop> stops;
    for (LTab* t = firstTab; t; t = t->next) {
        stops.push_back({ t, false });
        if (bShowCloseButtons && t->closable)
            stops.push_back({ t, true });
    }
    LTab* const at = GetKeyboardTab();
    const bool onClose = IsKeyboardOnCloseBox();
    int index = -1;
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i].tab == at && stops[i].close == onClose)
            index = int(i);
    int target = -1;
    switch (key.KeyCode()) {
    case kLeft:
        target = index < 0 ? 0 : index - 1;
        break;
    case kRight:
        target = index + 1;
        break;
    case kHome:
        target = 0;
        break;
    case kEnd:
        target = int(stops.size()) - 1;
        break;
    default:
        if (key.KeyCode() != LKey::kReturn && key.KeyCode() != LKey::kKeypadEnter
            && key.Character() != ' ')
            return false;
        // Space and Return press a close box; on a tab they do nothing more (the tab is chosen
        // already), and never reach the window's default button from here.
        if (onClose)
            CloseTabByKey(at);
        return true;
    }
    if (target < 0 || target >= int(stops.size()) || target == index)
        return true;
    // The tab of the stop is chosen, as a notebook's page follows its tab; on a close box the
    // keyboard stays there.
    const Stop stop = stops[size_t(target)];
    std::shared_ptr<bool> alive = fAlive;
    if (!ChooseTab(stop.tab) || !*alive)
        return true;
    if (stop.close && selectedTab == stop.tab) {
        keyTab = stop.tab;
        bKeyOnClose = true;
        Update();
    }
    return true;
}

bool LTabBar::EvKeyRepeat(LKey key)
{
    return EvKeyDown(key);
}

void LTabBar::EvSize()
{
    const bool wasVisible = bSelectedVisible;
    ClampScrollOffset();
    LayoutTabs();
    if (!selectedTab)
        return;
    if (wasVisible) {
        ScrollToShowTab(*selectedTab);
        return;
    }
    const int half = Half();
    const LTab& s = *selectedTab;
    const bool partly = s.tabRect[2] >= half && s.tabRect[0] <= mWidth - half;
    const bool entirely = s.tabRect[0] >= half && s.tabRect[2] <= mWidth - half;
    if (partly && !entirely)
        ScrollToShowTab(s);
}
