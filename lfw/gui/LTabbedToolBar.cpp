#include "lfw/gui/LTabbedToolBar.h"

#include "lfw/gen/LString.h"
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiTooltipArea.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int Round(double v)
{
    return int(v + 0.5);
}

constexpr int kSuiteCommand = 98;

} // namespace

void (*LTabbedToolBarPrivate::pfnShowChevronMenu)(LTabbedToolBarPrivate&, LPopupMenu&) = nullptr;

// --- items -----------------------------------------------------------------------------------

int LToolBarItemInternal::TypeMaskGetFromItem(int type)
{
    type &= 0xFF;
    if (type == 5)
        return kLTbMaskRightAlign;
    if (type == 6)
        return kLTbMaskSeparator;
    int mask = (type == 10 || type == 15 || type == 17 || type == 18) ? kLTbMaskToggle : 0;
    if (type == 7 || type == 8 || type == 9 || type == 14)
        mask += kLTbMaskGroup;
    if (type == 3 || type == 8 || type == 11 || type == 17)
        mask += kLTbMaskSplitDropdown;
    if (type == 9 || type == 16 || type == 18)
        mask += kLTbMaskWholeDropdown;
    return mask == 0 ? kLTbMaskButton : mask;
}

void LToolBarItemInternal::SetValues(int commandId, int imageId, const char* labelText,
    const char* tooltipText, int typeMask, bool isHidden, bool isChevron)
{
    command = commandId;
    image = imageId;
    utf8strlcpy(label, labelText ? labelText : "", sizeof label);
    utf8strlcpy(tooltip, tooltipText ? tooltipText : "", sizeof tooltip);
    mask = typeMask;
    hidden = isHidden;
    chevron = isChevron;
}

// --- public face ---------------------------------------------------------------------------------

LTabbedToolBar::LTabbedToolBar()
    : d(new LTabbedToolBarPrivate(*this))
{
}

LTabbedToolBar::~LTabbedToolBar()
{
    delete d;
    d = nullptr;
}

void LTabbedToolBar::TabbedToolBarInit(LWindow& window, const LTabbedToolBarTab* tabs,
    const LKeyToCommandMap* keys, unsigned long keyCount, int controlId)
{
    if (!d)
        return;
    LTabbedToolBarInstallHooks();
    d->TabbedToolBarInit(window, tabs, keys, keyCount, controlId);
    if (LView* content = window.GetContentView())
        content->SetAssociatedValue(&kTabbedToolbarKey, uint64_t(uintptr_t(this)));
}

void LTabbedToolBar::TabbedToolBarInitShortCutKeys(const LKeyToCommandMap* keys, unsigned long n)
{
    if (d)
        d->TabbedToolBarInitShortCutKeys(keys, n);
}

void LTabbedToolBar::EnableToolBarItem(int command, bool enable)
{
    if (d)
        d->EnableToolBarItem(command, enable);
}

void LTabbedToolBar::EnableToolBarItemList(const int* commands, bool enable)
{
    if (!d || !commands)
        return;
    for (const int* c = commands; *c; ++c)
        d->EnableToolBarItem(*c, enable);
}

void LTabbedToolBar::HideToolBarItem(int command, bool hide)
{
    if (d)
        d->HideToolBarItem(command, hide);
}

void LTabbedToolBar::HandleToolBarItemDropdownWhole(LWindow&, int command)
{
    if (!d)
        return;
    for (auto& tab : d->fTabs)
        for (int i = 0; i < tab.itemCount; ++i)
            if (tab.items[i].command == command)
                tab.items[i].dropDownCommand = command;
}

void LTabbedToolBar::TabbedToolBarTipSet(int tabIndex, const char* text)
{
    if (!d || tabIndex < 0 || tabIndex >= d->TabCount())
        return;
    utf8strlcpy(d->Tab(tabIndex).tooltip, text ? text : "", 260);
}

void LTabbedToolBar::TabbedToolBarBubbleTipRun(int command, const char* text, const char* title)
{
    if (d)
        d->BubbleTipRun(command, text, title);
}

bool LTabbedToolBar::GetTabbedToolBarControlBounds(
    int command, int& x, int& y, int& w, int& h) const
{
    return d && d->GetControlBounds(command, x, y, w, h);
}

void LTabbedToolBar::TabbedToolBarLayout(int& y, int& width, int&)
{
    if (!d || !d->GetParent())
        return;
    const int height = d->T + d->B;
    d->GetParent()->MoveControlPixels(d->iControlId, 0, y, width, height);
    y += height;
    d->UpdateSize();
    d->Update();
}

int LTabbedToolBar::GetTabbedToolBarHeight() const
{
    return d && d->GetParent() ? d->T + d->B : 0;
}

int LTabbedToolBar::GetSelectedTab() const
{
    return d ? d->iSelectedTab : -1;
}

void LTabbedToolBar::ShareLinkBarShow()
{
    if (d)
        d->ShareLinkBarShow();
}

void LTabbedToolBar::ShareLinkBarHide()
{
    if (d)
        d->ShareLinkBarHide();
}

LTabbedToolBar* LTabbedToolBar::FromWindow(LWindow& window)
{
    LView* content = window.GetContentView();
    if (!content)
        return nullptr;
    return reinterpret_cast<LTabbedToolBar*>(
        uintptr_t(content->GetAssociatedValue(&kTabbedToolbarKey)));
}

void LTabbedToolBar::EvScaleFactorChange(LWindow& window)
{
    LTabbedToolBar* toolbar = FromWindow(window);
    if (!toolbar || !toolbar->d)
        return;
    // The labels' fonts are sized in backing pixels.
    LTabbedToolBarPrivate& d = *toolbar->d;
    d.fFont.CreateFromControl(nullptr, float(d.Scale()), nullptr, 0, 0, 0, 0);
    d.fSmallFont.CreateFromControl(nullptr, float(0.9 * d.Scale()), nullptr, 0, 0, 0, 0);
    toolbar->d->fShareBar.UpdateButtonsLayout();
    toolbar->d->UpdateToolBarSizes();
    toolbar->d->UpdateSize();
    // Its items are placed as it paints: a tip at one of them follows it then.
    toolbar->d->bBubbleTipFollows = true;
    toolbar->d->Update();
}

void LTabbedToolBarInstallHooks()
{
    LCocoaWindowHooksGet().scaleFactorChanged = [](LCocoaWindow& window) {
        if (auto* w = dynamic_cast<LMacWindow*>(&window))
            LTabbedToolBar::EvScaleFactorChange(*w);
    };
}

// --- construction --------------------------------------------------------------------------------

LTabbedToolBarPrivate::LTabbedToolBarPrivate(LTabbedToolBar& o)
    : owner(o)
{
    const LGuiColor line = LGuiColor::FromRGB8(114, 122, 125);
    fLinePen = Pen { false, line, 1 };
    fButtonPen = Pen { false, line, 1 };
    fSelectedColours = TabColours { Pen { false, line, 1 }, LGuiColor::FromRGB8(255, 255, 255) };
    fHotColours = TabColours { Pen { false, LGuiColor::FromRGB8(0, 137, 255), 1 },
        LGuiColor::FromRGB8(85, 170, 255) };
}

LTabbedToolBarPrivate::~LTabbedToolBarPrivate()
{
    bDestroying = true;
    {
        std::lock_guard<std::recursive_mutex> lock(fTimerMutex);
        fResetTimer.reset();
    }
    fShareBar.Destroy();
    if (hostView && hostView->GetAssociatedValue(&kTabbedToolbarKey) == uint64_t(uintptr_t(&owner)))
        hostView->RemoveAssociatedValue(&kTabbedToolbarKey);
    if (parent && parent->GetContentView()
        && parent->GetContentView()->GetAssociatedValue(&kTabbedToolbarKey)
            == uint64_t(uintptr_t(&owner)))
        parent->GetContentView()->RemoveAssociatedValue(&kTabbedToolbarKey);
    fTabs.clear();
    if (fRowColumn)
        cairo_surface_destroy(fRowColumn);
    DestroyPaintControl();
}

double LTabbedToolBarPrivate::Scale() const
{
    return GetBackingScale();
}

float LTabbedToolBarPrivate::CharWidth() const
{
    return parent ? parent->CharWidthPixels() : 8.0f;
}

float LTabbedToolBarPrivate::CharHeight() const
{
    return parent ? parent->CharHeightPixels() : 17.0f;
}

void LTabbedToolBarPrivate::TabbedToolBarInit(LWindow& window, const LTabbedToolBarTab* tabs,
    const LKeyToCommandMap* keys, unsigned long keyCount, int controlId)
{
    parent = &window;
    iControlId = controlId;
    LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(fHelpImage, 312, nullptr);
    UpdateToolBarSizes();
    AddTabs(tabs);
    parent = nullptr;
    if (!window.GetControlHandle(controlId))
        window.AddPaintControl(controlId);
    Init(window, controlId);
    // One stop of Tab, as a toolbar is: the keys go on along its tabs and buttons.
    SetKeyboardReachable();
    if (!parent)
        parent = &window; // no host: the model still answers
    fFont.CreateFromControl(nullptr, float(Scale()), nullptr, 0, 0, 0, 0);
    fShareBar.Init(*this);
    fSmallFont.CreateFromControl(nullptr, float(0.9 * Scale()), nullptr, 0, 0, 0, 0);
    if (keys)
        TabbedToolBarInitShortCutKeys(keys, keyCount);
}

void LTabbedToolBarPrivate::UpdateToolBarSizes()
{
    if (!parent)
        return;
    const double s = Scale();
    // The tabs' strip and the labels below the icons hold text: they grow with the desktop's
    // text size.
    const double t = LMacWindow::TextScale();
    T = int(26 * s * t);
    G = int(2 * s);
    H = T - G;
    minTabWidth = int(74 * s * t);
    M = int(4 * s);
    B = int(32 * s + T + 1);
    iconSize = int(32 * s);
}

void LTabbedToolBarPrivate::AddTabs(const LTabbedToolBarTab* tabs)
{
    int rows = 0;
    while (tabs && tabs[rows].name)
        ++rows;
    fTabs.clear();
    pPressedItem = nullptr;
    fTabs.resize(size_t(rows) + 2);
    auto setName = [](LTabbedToolBarTabInternal& tab, const char* name) {
        tab.name.reset(new char[260]);
        utf8strlcpy(tab.name.get(), name, 260);
        tab.nameOwned = true;
    };
    LTabbedToolBarTabInternal& placeholder = fTabs[0];
    placeholder.id = 0;
    setName(placeholder, "Arkiv");
    placeholder.hidden = true;
    for (int r = 0; r < rows; ++r) {
        const LTabbedToolBarTab& row = tabs[r];
        LTabbedToolBarTabInternal& tab = fTabs[size_t(r) + 1];
        tab.id = row.id;
        setName(tab, row.name);
        const int declared = row.items ? std::max(0, row.count) : 0;
        tab.itemCount = declared + 3;
        tab.items.reset(new LToolBarItemInternal[size_t(tab.itemCount)]);
        for (int i = 0; i < declared; ++i) {
            const LToolBar::ToolBarItem& in = row.items[i];
            tab.items[i].SetValues(in.command, in.image, in.paletteLabel, in.tooltip,
                LToolBarItemInternal::TypeMaskGetFromItem(in.type), false, false);
        }
        tab.items[declared].SetValues(kSuiteCommand, -314, "ZOR-Paket",
            "Bläddra bland de andra produkter som ZOR producerar", kLTbMaskButton, false, false);
        tab.items[declared + 1].SetValues(0, 0, "", "", kLTbMaskRightAlign, false, false);
        tab.items[declared + 2].SetValues(
            0, 0, "", "Visa dolda alternativ", kLTbMaskButton, true, true);
    }
    // The last entry has no name: it ends every walk over the tabs.
    if (iSelectedTab >= int(fTabs.size()) - 1)
        iSelectedTab = 1;
    iHotTab = iPressedTab = -1;
}

void LTabbedToolBarPrivate::TabbedToolBarInitShortCutKeys(
    const LKeyToCommandMap* keys, unsigned long count)
{
    if (!keys)
        return;
    for (unsigned long r = count; r-- > 0;) {
        for (auto& tab : fTabs) {
            for (int i = 0; i < tab.itemCount; ++i) {
                LToolBarItemInternal& item = tab.items[i];
                if (item.command != keys[r].command)
                    continue;
                item.key = keys[r].key;
                keys[r].key.GetDescription(item.keyDescription);
                break;
            }
        }
    }
}

bool LTabbedToolBarPrivate::GetCommandIndex(int command, int& tab, int& item) const
{
    for (int t = std::max(0, tab); t < int(fTabs.size()) && fTabs[size_t(t)].name; ++t) {
        const LTabbedToolBarTabInternal& entry = fTabs[size_t(t)];
        for (int i = 0; i < entry.itemCount; ++i) {
            if (entry.items[i].command == command) {
                tab = t;
                item = i;
                return true;
            }
        }
    }
    return false;
}

void LTabbedToolBarPrivate::EnableToolBarItem(int command, bool enable)
{
    int tab = 0, index = 0;
    while (GetCommandIndex(command, tab, index)) {
        LToolBarItemInternal& item = fTabs[size_t(tab)].items[index];
        if (item.enabled != enable) {
            item.enabled = enable;
            if (tab == iSelectedTab)
                UpdateItem(item);
        }
        ++tab;
    }
}

void LTabbedToolBarPrivate::HideToolBarItem(int command, bool hide)
{
    int tab = 0, index = 0;
    while (GetCommandIndex(command, tab, index)) {
        LToolBarItemInternal& item = fTabs[size_t(tab)].items[index];
        if (item.hidden != hide) {
            item.hidden = hide;
            if (tab == iSelectedTab)
                UpdateItem(item);
        }
        ++tab;
    }
    Update();
}

void LTabbedToolBarPrivate::UpdateItem(const LToolBarItemInternal& item)
{
    Update(item.x, item.y, item.width, item.height);
}

void LTabbedToolBarPrivate::UpdateTab(int tab)
{
    if (tab < 0 || tab >= TabCount())
        return;
    const LTabbedToolBarTabInternal& t = fTabs[size_t(tab)];
    Update(t.x, G, t.width + int(Scale()), H);
}

LTabbedToolBarTabInternal* LTabbedToolBarPrivate::SelectedTab()
{
    if (iSelectedTab < 0 || iSelectedTab >= TabCount() || !fTabs[size_t(iSelectedTab)].name)
        return nullptr;
    return &fTabs[size_t(iSelectedTab)];
}

// --- measuring -----------------------------------------------------------------------------------

namespace {

float TextWidth(LPaintContext& context, const char* text)
{
    float w = 0, h = 0;
    LPaintSurface::MeasureText(
        context, w, h, text ? text : "", LBoundingBox2T<float>(), LDrawTextFormat());
    return w;
}

} // namespace

int LTabbedToolBarPrivate::TabWidth(LPaintContext& context, int tab) const
{
    const LTabbedToolBarTabInternal& t = fTabs[size_t(tab)];
    const double s = Scale();
    const float size = context.GetFont().GetSizef();
    if (t.measuredFontSize != size) {
        t.nameWidth = int(std::ceil(TextWidth(context, t.name ? t.name.get() : "")));
        t.measuredFontSize = size;
    }
    const int text = t.nameWidth;
    return std::max(text + int(8 * s), int(74 * s)) - t.shrink;
}

int LTabbedToolBarPrivate::TabsWidth(LPaintContext& context) const
{
    LPaintFontScope font(context, fFont);
    int total = 0;
    for (size_t i = 0; i + 1 < fTabs.size() && fTabs[i].name; ++i) {
        if (fTabs[i].hidden)
            continue;
        total += TabWidth(context, int(i));
        if (fTabs[i + 1].name)
            total += M;
    }
    return total;
}

void LTabbedToolBarPrivate::MeasureToolbarButton(LPaintContext& context, LToolBarItemInternal& item,
    bool rightToLeft, int, int& x, int top, int height) const
{
    if (item.hidden || !parent)
        return;
    const double s = Scale();
    const float cw = CharWidth();
    item.y = top;
    item.height = height;
    if (item.IsSeparator()) {
        item.width = int(10 * s);
    } else if (item.chevron) {
        item.width = int(22 * s);
        rightToLeft = true;
    } else {
        const float size = context.GetFont().GetSizef();
        if (item.measuredFontSize != size) {
            item.labelWidth = int(std::ceil(TextWidth(context, item.label)));
            item.measuredFontSize = size;
            item.measuredWrapWidth = -1;
        }
        item.width = std::max(Round(4 * cw) + int(32 * s), item.labelWidth + Round(2 * cw));
        if (item.mask & (kLTbMaskSplitDropdown | kLTbMaskWholeDropdown))
            item.width += Round(1.875 * cw);
    }
    if (rightToLeft) {
        x -= item.width;
        item.x = x;
    } else {
        item.x = x;
        x += item.width;
    }
}

// --- layout
// ----------------------------------------------------------------------------------------

void LTabbedToolBarPrivate::LayoutTabStrip(LPaintContext& context)
{
    for (auto& tab : fTabs)
        tab.shrink = 0;
    const int W = mWidth;
    const int S = Round(0.9411765 * CharHeight());
    const int m = Round(0.5 * CharWidth());
    iHelpX = W - S - 2 * m;
    iHelpY = (T - S) / 2;

    fShareBar.iRight = iHelpX - m;
    fShareBar.iTop = iHelpY;
    const int tabsWidth = TabsWidth(context);
    const int needed = tabsWidth + M;
    const int room = fShareBar.iRight - fShareBar.iWidth;
    if (!bShareBarShown && bShareBarWanted && needed <= room) {
        ShareLinkBarShow();
    } else if (bShareBarShown && room < needed) {
        ShareLinkBarHide();
        bShareBarWanted = true;
    }

    // A hidden selected tab gives way to the next visible one, else the nearest before it.
    const int last = int(fTabs.size()) - 1;
    if (iSelectedTab >= 0 && iSelectedTab < last && fTabs[size_t(iSelectedTab)].hidden) {
        int next = -1;
        for (int i = iSelectedTab + 1; i < last && fTabs[size_t(i)].name; ++i)
            if (!fTabs[size_t(i)].hidden) {
                next = i;
                break;
            }
        if (next < 0)
            for (int i = iSelectedTab - 1; i >= 0; --i)
                if (!fTabs[size_t(i)].hidden) {
                    next = i;
                    break;
                }
        if (next >= 0)
            iSelectedTab = next;
    }

    // Too little room: the tabs give up width from the last one, never below text + 8.
    const int available = iHelpX;
    if (tabsWidth > available) {
        int excess = tabsWidth - available;
        LPaintFontScope font(context, fFont);
        for (int i = last - 1; i >= 0 && excess >= 1; --i) {
            LTabbedToolBarTabInternal& tab = fTabs[size_t(i)];
            if (tab.hidden || !tab.name)
                continue;
            TabWidth(context, i); // measures the name
            const int text = tab.nameWidth;
            const int give = std::max(0, std::min(excess, TabWidth(context, i) - text - 8));
            tab.shrink = give;
            excess -= give;
        }
    }
}

std::vector<char> LTabbedToolBarPrivate::LayoutButtonRow(
    LPaintContext& context, LTabbedToolBarTabInternal& tab)
{
    const int n = tab.itemCount;
    LToolBarItemInternal* items = tab.items.get();
    if (n <= 0 || !items)
        return {};
    const int W = mWidth;
    int chevron = -1;
    for (int i = 0; i < n; ++i)
        if (items[i].chevron)
            chevron = i;
    if (chevron >= 0)
        items[chevron].hidden = true;

    // Separators show only between visible buttons.
    bool buttonFollows = false;
    for (int i = n - 1; i >= 0; --i) {
        LToolBarItemInternal& item = items[i];
        if (!item.IsSeparator()) {
            if (!item.hidden)
                buttonFollows = true;
        } else if (buttonFollows) {
            item.hidden = false;
            buttonFollows = false;
        } else if (item.mask & kLTbMaskSeparator) {
            item.hidden = true;
        }
    }
    int firstSeparator = -1, firstButton = -1;
    for (int i = 0; i < n; ++i) {
        if (items[i].IsSeparator() && !items[i].hidden && firstSeparator < 0)
            firstSeparator = i;
        if (!items[i].IsSeparator() && !items[i].hidden && firstButton < 0)
            firstButton = i;
    }
    if (firstSeparator >= 0 && (firstButton < 0 || firstSeparator < firstButton))
        items[firstSeparator].hidden = true;

    int r = -1;
    for (int i = 0; i < n; ++i)
        if (items[i].mask & kLTbMaskRightAlign) {
            r = i;
            break;
        }
    int x = 0;
    for (int i = 0; i <= r; ++i)
        MeasureToolbarButton(context, items[i], false, 0, x, T, B);
    x = W - 1;
    for (int i = n - 1; i > r; --i)
        MeasureToolbarButton(context, items[i], true, 0, x, T, B);
    if (chevron >= 0) {
        items[chevron].hidden = false;
        MeasureToolbarButton(context, items[chevron], true, 0, x, T, B);
        items[chevron].hidden = true;
    }

    // The right group runs into the left one: the chevron takes the rightmost place.
    if (r >= 0 && chevron >= 0) {
        int first = -1;
        for (int i = r + 1; i < chevron; ++i)
            if (items[i].drawn && !items[i].hidden) {
                first = i;
                break;
            }
        if (first < 0)
            first = chevron;
        if (items[first].x <= items[r].x) {
            items[chevron].hidden = false;
            x = W - 1;
            MeasureToolbarButton(context, items[chevron], true, 0, x, T, B);
            for (int i = n - 1; i > r; --i)
                if (i != chevron)
                    MeasureToolbarButton(context, items[i], true, 0, x, T, B);
        }
    }

    int limit = 0;
    for (int i = r + 1; i < n; ++i)
        if (!items[i].hidden || items[i].chevron) {
            limit = items[i].x;
            break;
        }
    std::vector<char> shown(size_t(n), 0);
    for (int i = n - 1; i >= 0; --i) {
        LToolBarItemInternal& item = items[i];
        shown[size_t(i)] = i > r || r < 0 || r == n - 1 || item.x + item.width < limit;
        if (!shown[size_t(i)]) {
            // Overflowed: offered in the chevron menu.
            item.drawn = item.hover = item.pressed = item.tooltipShown = false;
            if (pPressedItem == &item)
                pPressedItem = nullptr;
        }
    }
    fChevronAnchor = LPoint { W, T + B };
    return shown;
}
