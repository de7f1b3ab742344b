// Mouse input of the tabbed toolbar: hover, pressed and checked looks, tooltips, the drop-down
// and overflow menus, and the commands sent to the window.
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LUiTooltipArea.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

int Round(double v)
{
    return int(v + 0.5);
}

constexpr int kHelpIconPart = 1;

} // namespace

// --- hit tests and bounds
// --------------------------------------------------------------------------

bool LTabbedToolBarPrivate::IsTabUnderPoint(int tab, int x, int y, int slack) const
{
    if (tab < 0 || tab >= int(fTabs.size()) - 1 || !fTabs[size_t(tab)].name)
        return false;
    const LTabbedToolBarTabInternal& t = fTabs[size_t(tab)];
    return !t.hidden && y >= G - slack && y < T + slack && t.x - slack <= x
        && x < t.x + t.width + slack;
}

int LTabbedToolBarPrivate::GetTabUnderPoint(int x, int y) const
{
    for (int i = 0; i + 1 < int(fTabs.size()) && fTabs[size_t(i)].name; ++i)
        if (IsTabUnderPoint(i, x, y, 0))
            return i;
    return -1;
}

bool LTabbedToolBarPrivate::IsOverHelp(int x, int y) const
{
    const int S = Round(0.9411765 * CharHeight());
    return iHelpX <= x && x <= iHelpX + S && iHelpY <= y && y <= iHelpY + S;
}

bool LTabbedToolBarPrivate::GetControlBounds(int command, int& x, int& y, int& w, int& h) const
{
    if (!parent)
        return false;
    if (iSelectedTab < 0 || iSelectedTab >= int(fTabs.size()) - 1)
        return false;
    const LTabbedToolBarTabInternal& tab = fTabs[size_t(iSelectedTab)];
    for (int i = 0; i < tab.itemCount; ++i) {
        const LToolBarItemInternal& item = tab.items[i];
        if (item.command != command)
            continue;
        int cx = 0, cy = 0, cw = 0, chh = 0;
        parent->GetControlPixels(iControlId, cx, cy, cw, chh);
        x = int(Scale()) + item.x + cx;
        y = cy + T;
        w = item.width;
        h = B;
        return true;
    }
    return false;
}

bool LTabbedToolBarPrivate::BubbleTipPoint(int command, int& x, int& y) const
{
    if (!parent || !hostView || iSelectedTab < 0 || iSelectedTab >= int(fTabs.size()) - 1)
        return false;
    const LTabbedToolBarTabInternal& tab = fTabs[size_t(iSelectedTab)];
    for (int i = 0; i < tab.itemCount; ++i) {
        const LToolBarItemInternal& item = tab.items[i];
        if (item.command != command)
            continue;
        int sx = 0, sy = 0;
        LMacWindow::_GetControlAbsoluteScreenPositionPixels(hostView, sx, sy);
        x = sx + item.x + item.width / 2;
        y = sy + T + B;
        return true;
    }
    return false;
}

void LTabbedToolBarPrivate::BubbleTipRun(int command, const char* text, const char*)
{
    int x = 0, y = 0;
    if (!BubbleTipPoint(command, x, y))
        return;
    parent->BubbleTipHide();
    parent->BubbleTipShowAbsolute(text ? text : "", x, y, 0, nullptr, false);
    iBubbleTipCommand = command;
}

void LTabbedToolBarPrivate::BubbleTipFollow()
{
    if (!bBubbleTipFollows)
        return;
    bBubbleTipFollows = false;
    int x = 0, y = 0;
    if (iBubbleTipCommand && BubbleTipPoint(iBubbleTipCommand, x, y))
        parent->BubbleTipFollowAbsolute(x, y);
}

// --- the share bar -------------------------------------------------------------------------------

void LTabbedToolBarPrivate::ShareLinkBarShow()
{
    bShareBarWanted = bShareBarShown = true;
    fShareBar.bVisible = true;
    fShareBar.GetContextMenu().EnableMenuItem(kLCmdShareBarHide, true);
    fShareBar.GetContextMenu().EnableMenuItem(kLCmdShareBarShow, false);
    UpdateShareLinkBar();
}

void LTabbedToolBarPrivate::ShareLinkBarHide()
{
    bShareBarWanted = bShareBarShown = false;
    fShareBar.bVisible = false;
    fShareBar.GetContextMenu().EnableMenuItem(kLCmdShareBarHide, false);
    fShareBar.GetContextMenu().EnableMenuItem(kLCmdShareBarShow, true);
    UpdateShareLinkBar();
}

void LTabbedToolBarPrivate::UpdateShareLinkBar()
{
    const int S = fShareBar.GetButtonSize();
    Update(fShareBar.iRight - fShareBar.iWidth, fShareBar.iTop, fShareBar.iWidth + 1, S + 1);
}

// --- tooltips
// --------------------------------------------------------------------------------------

void LTabbedToolBarPrivate::SetControlTip(const char* text, int x, int y, int w, int h)
{
    fTip = text ? text : "";
    if (!paintView)
        return;
    const double s = Scale();
    LUiSetToolTipArea(paintView, fTip.c_str(), LUiRect { x / s, y / s, w / s, h / s });
}

void LTabbedToolBarPrivate::ClearControlTip()
{
    fTip.clear();
    if (paintView)
        LUiSetToolTipArea(paintView, nullptr, LUiRect {});
}

// --- mouse
// -----------------------------------------------------------------------------------------

void LTabbedToolBarPrivate::EvLButtonDown(int x, int y)
{
    // The keyboard goes on from the selected tab.
    iKeyItem = -1;
    if (iHotTab >= 0)
        UpdateTab(iHotTab);
    iHotTab = -1;
    bOverHelp = false;
    iPressedTab = GetTabUnderPoint(x, y);
    if (iPressedTab >= 0)
        return;
    if (IsOverHelp(x, y)) {
        iPressedPart = kHelpIconPart;
        bInsidePressedPart = true;
        Update();
    } else {
        iPressedPart = 0;
        bInsidePressedPart = false;
    }
    OpenPopupMenu(x, y);
    if (bDestroying || !parent)
        return;
    DepressToolbarButton(x, y);
    if (fShareBar.ProcessMouseDown(x, y)) {
        SetCapture();
        UpdateShareLinkBar();
    }
}

void LTabbedToolBarPrivate::OpenPopupMenu(int x, int y)
{
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (!tab || !IsInItemBand(y))
        return;
    for (int i = 0; i < tab->itemCount; ++i) {
        LToolBarItemInternal& item = tab->items[i];
        if (!item.drawn || item.hidden || item.IsSeparator() || !item.enabled
            || !item.Contains(x)) {
            item.hover = false;
            continue;
        }
        bool reacts = false;
        if (item.mask & kLTbMaskWholeDropdown) {
            reacts = true;
            if (item.mask & kLTbMaskSplitDropdown)
                item.arrowPressed = true;
            else
                item.pressed = true;
        } else if (item.mask & kLTbMaskSplitDropdown) {
            if (x >= ArrowPartX(item) || item.chevron) {
                reacts = true;
                item.arrowPressed = true;
            }
        } else if (item.chevron) {
            reacts = true;
            item.pressed = true;
        }
        if (!reacts)
            continue;
        item.activated = true;
        UpdateItem(item);
        // No events are pumped here: the menu that follows runs its own loop, in which the
        // pressed look is painted.
        if (item.chevron) {
            ShowChevronMenu();
            if (bDestroying)
                return;
        } else if (parent) {
            const int command
                = (item.mask & kLTbMaskWholeDropdown) ? item.command : item.dropDownCommand;
            parent->PostCommand(command);
            std::lock_guard<std::recursive_mutex> lock(fTimerMutex);
            if (!fResetTimer)
                fResetTimer = std::make_unique<LRunLoopTimer>(
                    [](LRunLoopTimer*, void* data) {
                        auto* self = static_cast<LTabbedToolBarPrivate*>(data);
                        self->ResetToolbar();
                        self->Update();
                    },
                    this);
            fResetTimer->Arm(300);
        }
        // The item pointer stays valid: the tabs are only rebuilt by AddTabs.
        if (SelectedTab() == tab && i < tab->itemCount)
            tab->items[i].activated = false;
        return;
    }
}

void LTabbedToolBarPrivate::DepressToolbarButton(int x, int y)
{
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (!tab || !IsInItemBand(y))
        return;
    for (int i = 0; i < tab->itemCount; ++i) {
        LToolBarItemInternal& item = tab->items[i];
        if (!item.drawn || item.hidden || item.IsSeparator() || !item.enabled) {
            continue;
        }
        if (!item.Contains(x)) {
            item.hover = false;
            continue;
        }
        const bool plain = !(item.mask & (kLTbMaskSplitDropdown | kLTbMaskWholeDropdown));
        const bool splitMain = (item.mask & kLTbMaskSplitDropdown)
            && !(item.mask & kLTbMaskWholeDropdown) && x < ArrowPartX(item);
        if (item.chevron || !(plain || splitMain))
            continue;
        pPressedItem = &item;
        SetCapture();
        item.hover = false;
        item.pressed = true;
        UpdateItem(item);
    }
}

void LTabbedToolBarPrivate::EvMouseMove(int x, int y)
{
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (pPressedItem) {
        const bool inside = IsInItemBand(y) && pPressedItem->Contains(x);
        if (pPressedItem->pressed != inside) {
            pPressedItem->pressed = inside;
            UpdateItem(*pPressedItem);
        }
        return;
    }
    if (tab) {
        for (int i = 0; i < tab->itemCount; ++i) {
            LToolBarItemInternal& item = tab->items[i];
            const bool inside = IsInItemBand(y) && item.Contains(x);
            if (item.pressed || item.arrowPressed) {
                const bool hadHover = item.hover;
                item.hover = false;
                if (inside)
                    return;
                if (!item.activated) {
                    item.pressed = item.arrowPressed = false;
                    UpdateItem(item);
                } else if (hadHover) {
                    UpdateItem(item);
                }
            } else if (item.hover) {
                if (inside)
                    return;
                item.hover = false;
                UpdateItem(item);
            }
        }
    }
    // The tab row.
    if (G <= y && y <= T) {
        if (tab)
            for (int i = 0; i < tab->itemCount; ++i)
                if (tab->items[i].tooltipShown) {
                    tab->items[i].tooltipShown = false;
                    break;
                }
        int under = -1;
        for (int i = 0; i + 1 < int(fTabs.size()) && fTabs[size_t(i)].name; ++i) {
            const LTabbedToolBarTabInternal& t = fTabs[size_t(i)];
            if (!t.hidden && t.x <= x && x <= t.x + t.width) {
                under = i;
                break;
            }
        }
        if (under >= 0 && under != iSelectedTab) {
            if (under == iHotTab)
                return;
            const int old = iHotTab;
            iHotTab = under;
            if (old >= 0)
                UpdateTab(old);
            UpdateTab(under);
            const LTabbedToolBarTabInternal& t = fTabs[size_t(under)];
            if (t.tooltip[0])
                SetControlTip(t.tooltip, t.x, G, t.width, H);
            else
                ClearControlTip();
            return;
        }
    }
    if (iPressedPart == kHelpIconPart) {
        bInsidePressedPart = IsOverHelp(x, y);
        Update();
        return;
    }
    const bool over = IsOverHelp(x, y);
    if (over != bOverHelp) {
        bOverHelp = over;
        Update();
    }
    if (!parent)
        return;
    if (iHotTab >= 0) {
        UpdateTab(iHotTab);
        iHotTab = -1;
        ClearControlTip();
    }
    if (over) {
        if (iHelpTipShown)
            return;
        // The help key's description follows the text: "Visa programhjälpsidorna (…)".
        char description[260] = "";
        LKey(LKey::kCommand | LKey::kShift | '/').GetDescription(description);
        char text[600];
        snprintf(text, sizeof text, "%s (%s)", "Visa programhjälpsidorna", description);
        const int S = Round(0.9411765 * CharHeight());
        SetControlTip(text, iHelpX, iHelpY, S + 1, S + 1);
        iHelpTipShown = 1;
        return;
    }
    if (iHelpTipShown) {
        iHelpTipShown = 0;
        ClearControlTip();
        return;
    }
    // Item tooltips and hover in the button row.
    LToolBarItemInternal* tipItem = nullptr;
    if (tab && IsInItemBand(y)) {
        const bool buttonHeld = (LUiPointerButtons() & 1) != 0;
        for (int i = 0; i < tab->itemCount; ++i) {
            LToolBarItemInternal& item = tab->items[i];
            if (!item.drawn || item.hidden || item.IsSeparator())
                continue;
            if (!item.Contains(x)) {
                item.tooltipShown = false;
                continue;
            }
            if (!buttonHeld && !item.pressed && !item.hover) {
                item.hover = true;
                UpdateItem(item);
            }
            if (!item.tooltipShown) {
                item.tooltipShown = true;
                tipItem = &item;
            }
        }
        if (tipItem) {
            if (!tipItem->tooltip[0]) {
                ClearControlTip();
            } else if (tipItem->keyDescription[0]) {
                char text[600];
                snprintf(text, sizeof text, "%s (%s)", tipItem->tooltip, tipItem->keyDescription);
                SetControlTip(text, tipItem->x, tipItem->y, tipItem->width, tipItem->height);
            } else {
                SetControlTip(
                    tipItem->tooltip, tipItem->x, tipItem->y, tipItem->width, tipItem->height);
            }
            return;
        }
        for (int i = 0; i < tab->itemCount; ++i)
            if (tab->items[i].tooltipShown && tab->items[i].Contains(x))
                return; // the tip of the item under the pointer stays
    }
    // The share bar.
    if (bShareBarShown) {
        if (fShareBar.ProcessMouseMove(x, y))
            UpdateShareLinkBar();
        const int hovered = fShareBar.GetHovered();
        if (hovered >= 0 && hovered != fShareBar.iPreviousHovered) {
            fShareBar.iPreviousHovered = hovered;
            char text[260] = "";
            fShareBar.GetToolTip(text);
            LRectangle r;
            fShareBar.GetCurrentButtonPosition(r);
            SetControlTip(text, r.left, r.top, r.right - r.left, r.bottom - r.top);
            return;
        }
        if (hovered >= 0)
            return;
        fShareBar.iPreviousHovered = -1;
    }
    ClearControlTip();
}

void LTabbedToolBarPrivate::EvLButtonUp(int x, int y)
{
    ReleaseCapture();
    if (!parent)
        return;
    if (iPressedTab >= 0 && IsTabUnderPoint(iPressedTab, x, y, Round(CharWidth()))) {
        const int tab = iPressedTab;
        iPressedTab = -1;
        TabToolBarUpdate(tab);
        return;
    }
    iPressedTab = -1;
    const int command = fShareBar.ProcessMouseUp(x, y);
    if (command != -1) {
        UpdateShareLinkBar();
        auto alive = std::weak_ptr<int>(fAlive);
        parent->SendCommand(command);
        if (alive.expired() || !parent)
            return;
    }
    if (iPressedPart == kHelpIconPart) {
        const bool over = IsOverHelp(x, y);
        iPressedPart = 0;
        bInsidePressedPart = false;
        Update();
        if (over) {
            auto alive = std::weak_ptr<int>(fAlive);
            parent->CmHelp();
            if (alive.expired() || !parent)
                return;
        }
    }
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (tab && IsInItemBand(y)) {
        for (int i = 0; i < tab->itemCount; ++i) {
            LToolBarItemInternal& item = tab->items[i];
            if (!item.drawn || item.IsSeparator() || (item.mask & kLTbMaskWholeDropdown)
                || !item.enabled || !item.pressed)
                continue;
            if ((item.mask & kLTbMaskSplitDropdown) && !(x < ArrowPartX(item))
                && !(x >= item.x + item.width))
                continue;
            bool stop = false;
            if (item.Contains(x)) {
                if ((item.mask & kLTbMaskToggle) && (item.mask & kLTbMaskGroup)) {
                    item.checked = true;
                    for (int j = 0; j < tab->itemCount; ++j)
                        if (j != i && (tab->items[j].mask & kLTbMaskGroup)) {
                            if (tab->items[j].checked)
                                UpdateItem(tab->items[j]);
                            tab->items[j].activated = tab->items[j].checked = false;
                        }
                } else if (item.mask & kLTbMaskToggle) {
                    item.checked = !item.checked;
                }
                if (item.mask & kLTbMaskToggle)
                    item.pressed = false;
                item.activated = true;
                if (item.command > 0)
                    parent->PostCommand(item.command);
                stop = true;
            }
            if (!((item.mask & kLTbMaskToggle) && item.checked)) {
                item.pressed = item.arrowPressed = false;
            }
            UpdateItem(item);
            if (stop)
                break;
        }
    }
    if (pPressedItem) {
        if (pPressedItem->pressed) {
            pPressedItem->pressed = false;
            UpdateItem(*pPressedItem);
        }
        pPressedItem = nullptr;
    }
    Update();
}

void LTabbedToolBarPrivate::TabToolBarUpdate(int tab)
{
    if (tab != iSelectedTab) {
        iSelectedTab = tab;
        auto alive = std::weak_ptr<int>(fAlive);
        if (parent)
            parent->SendCommand(fTabs[size_t(tab)].id);
        if (alive.expired())
            return;
    }
    Update();
}

// --- keyboard
// --------------------------------------------------------------------------------------

std::vector<int> LTabbedToolBarPrivate::KeyboardTabs() const
{
    std::vector<int> tabs;
    for (int i = 0; i + 1 < int(fTabs.size()) && fTabs[size_t(i)].name; ++i)
        if (!fTabs[size_t(i)].hidden)
            tabs.push_back(i);
    return tabs;
}

std::vector<int> LTabbedToolBarPrivate::KeyboardItems()
{
    std::vector<int> items;
    if (LTabbedToolBarTabInternal* tab = SelectedTab())
        for (int i = 0; i < tab->itemCount; ++i) {
            const LToolBarItemInternal& item = tab->items[i];
            if (item.drawn && !item.hidden && !item.IsSeparator() && item.enabled)
                items.push_back(i);
        }
    return items;
}

int LTabbedToolBarPrivate::GetKeyboardItem()
{
    // A button that has gone (another tab, disabled, overflowed) hands the keyboard back to
    // the tab.
    const std::vector<int> items = KeyboardItems();
    if (std::find(items.begin(), items.end(), iKeyItem) == items.end())
        iKeyItem = -1;
    return iKeyItem;
}

bool LTabbedToolBarPrivate::EvKeyDown(LKey key)
{
    constexpr unsigned kHome = 115, kEnd = 119, kLeft = 123, kRight = 124, kDown = 125, kUp = 126;
    if (!parent || !hostView || key.Modifiers() != 0)
        return false;
    const int at = GetKeyboardItem();
    const unsigned code = key.KeyCode();
    if (key.PressesControl()) {
        if (at >= 0)
            PressItemByKey(at);
        return true;
    }
    if (code != kHome && code != kEnd && code != kLeft && code != kRight && code != kDown
        && code != kUp)
        return false;
    if (code == kDown || code == kUp) {
        const std::vector<int> items = KeyboardItems();
        if (code == kUp)
            iKeyItem = -1;
        else if (at < 0 && !items.empty())
            iKeyItem = items.front();
        Update();
        return true;
    }
    // Along the row the keyboard is in; the ends stay where they are.
    const std::vector<int> row = at >= 0 ? KeyboardItems() : KeyboardTabs();
    const int current = at >= 0 ? at : iSelectedTab;
    const auto found = std::find(row.begin(), row.end(), current);
    if (row.empty())
        return true;
    int index = found == row.end() ? -1 : int(found - row.begin());
    if (code == kHome)
        index = 0;
    else if (code == kEnd)
        index = int(row.size()) - 1;
    else if (code == kLeft)
        index = std::max(index - 1, 0);
    else
        index = std::min(index + 1, int(row.size()) - 1);
    const int target = row[size_t(index)];
    if (at >= 0) {
        iKeyItem = target;
        Update();
    } else if (target != iSelectedTab) {
        TabToolBarUpdate(target);
    }
    return true;
}

void LTabbedToolBarPrivate::PressItemByKey(int index)
{
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (!tab || index < 0 || index >= tab->itemCount || !parent)
        return;
    LToolBarItemInternal& item = tab->items[index];
    if (!item.enabled)
        return;
    if (item.chevron) {
        ShowChevronMenu();
        return;
    }
    if ((item.mask & kLTbMaskToggle) && (item.mask & kLTbMaskGroup)) {
        item.checked = true;
        for (int j = 0; j < tab->itemCount; ++j)
            if (j != index && (tab->items[j].mask & kLTbMaskGroup))
                tab->items[j].activated = tab->items[j].checked = false;
    } else if (item.mask & kLTbMaskToggle) {
        item.checked = !item.checked;
    }
    Update();
    // A drop-down opens its menu through its command, as a click on it does; a split one's
    // main part is its command too.
    if (item.command > 0)
        parent->PostCommand(item.command);
}

void LTabbedToolBarPrivate::EvRButtonDown(int x, int y)
{
    if (!parent || !fShareBar.ProcessRightClick(x, y))
        return;
    ClearControlTip();
    LPopupMenu& menu = fShareBar.GetContextMenu();
    if (menu.GetMenu())
        parent->DisplayPopupMenu(menu, false);
}

void LTabbedToolBarPrivate::EvMouseOut()
{
    ResetToolbar();
}

void LTabbedToolBarPrivate::ResetToolbar()
{
    if (iHotTab >= 0)
        UpdateTab(iHotTab);
    iHotTab = -1;
    LTabbedToolBarTabInternal* tab = SelectedTab();
    if (!tab)
        return;
    for (int i = 0; i < tab->itemCount; ++i) {
        LToolBarItemInternal& item = tab->items[i];
        bool changed = item.hover;
        item.hover = false;
        if (!item.activated) {
            changed = changed || item.pressed || item.arrowPressed;
            item.pressed = item.arrowPressed = false;
        }
        if (item.tooltipShown) {
            ClearControlTip();
            item.tooltipShown = false;
        }
        if (changed)
            UpdateItem(item);
    }
}

std::vector<LTabbedToolBarPrivate::ChevronEntry> LTabbedToolBarPrivate::ChevronMenuEntries() const
{
    std::vector<ChevronEntry> entries;
    if (iSelectedTab < 0 || iSelectedTab >= int(fTabs.size()) - 1)
        return entries;
    const LTabbedToolBarTabInternal& tab = fTabs[size_t(iSelectedTab)];
    bool separatorPending = false;
    for (int i = 0; i < tab.itemCount; ++i) {
        const LToolBarItemInternal& item = tab.items[i];
        if (item.drawn || item.hidden)
            continue;
        if (item.IsSeparator()) {
            if (!entries.empty())
                separatorPending = true;
            continue;
        }
        if (separatorPending) {
            entries.push_back(ChevronEntry { true, 0, std::string(), true, false, LKey() });
            separatorPending = false;
        }
        const bool split = (item.mask & kLTbMaskSplitDropdown) != 0;
        ChevronEntry e {};
        e.separator = false;
        e.command
            = split && !(item.mask & kLTbMaskWholeDropdown) ? item.dropDownCommand : item.command;
        e.title = std::string(item.label) + (split ? "..." : "");
        e.enabled = item.enabled;
        e.checked = item.checked;
        e.key = item.key;
        entries.push_back(e);
    }
    return entries;
}

void LTabbedToolBarPrivate::ShowChevronMenu()
{
    const std::vector<ChevronEntry> entries = ChevronMenuEntries();
    if (entries.empty() || !parent)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - fChevronClosed < std::chrono::milliseconds(2))
        return;
    // The menu lists what the chevron's tip only names: the tip goes while it is open, and
    // shows again once the pointer comes back over the chevron.
    if (LTabbedToolBarTabInternal* tab = SelectedTab())
        for (int i = 0; i < tab->itemCount; ++i)
            tab->items[i].tooltipShown = false;
    ClearControlTip();
    LPopupMenu menu(*parent);
    for (const ChevronEntry& e : entries) {
        if (e.separator) {
            menu.AppendMenuSeparator();
            continue;
        }
        if (e.key.code)
            menu.AppendMenuItemWithShortcut(e.command, e.title.c_str(), e.key);
        else
            menu.AppendMenuItem(e.command, e.title.c_str());
        menu.EnableMenuItem(e.command, e.enabled);
        menu.CheckMenuItem(e.command, e.checked);
    }
    ++iChevronMenus;
    auto alive = std::weak_ptr<int>(fAlive);
    if (pfnShowChevronMenu)
        pfnShowChevronMenu(*this, menu);
    else
        parent->DisplayPopupMenuAtPointRightAlign(menu, fChevronAnchor);
    if (alive.expired())
        return;
    fChevronClosed = std::chrono::steady_clock::now();
    menu.Release();
}
