#include "lfw/gui/LToolBarShareLinkBar.h"

#include "lfw/gen/LString.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"

#include <cmath>

namespace {

int Round(double v)
{
    return int(std::lround(v));
}

struct ButtonRow {
    int command;
    const char* tooltip;
    int image;
};

// Right to left.
const ButtonRow kButtons[] = {
    { kLCmdShareLinkedIn, "Dela Vorantel på LinkedIn", 339 },
    { kLCmdShareTwitter, "Dela Vorantel på Twitter", 338 },
    { kLCmdShareFacebook, "Dela Vorantel på Facebook", 336 },
    { kLCmdLikeFacebook, "Gilla ZOR Software på Facebook", 337 },
};

} // namespace

LToolBarShareLinkBar::~LToolBarShareLinkBar()
{
    Destroy();
}

void LToolBarShareLinkBar::Destroy()
{
    fButtons.clear();
    fMenu.Release();
    pOwner = nullptr;
}

int LToolBarShareLinkBar::GetButtonSize() const
{
    LWindow* window = pOwner ? pOwner->GetParent() : nullptr;
    return Round(0.9411765 * (window ? window->CharHeightPixels() : 17.0f));
}

int LToolBarShareLinkBar::GetPitch() const
{
    LWindow* window = pOwner ? pOwner->GetParent() : nullptr;
    return GetButtonSize() + Round(0.5 * (window ? window->CharWidthPixels() : 8.0f));
}

void LToolBarShareLinkBar::Init(LPaintControlPrePaint& owner)
{
    Destroy();
    pOwner = &owner;
    iWidth = 0;
    const int pitch = GetPitch();
    for (const ButtonRow& row : kButtons) {
        auto button = std::make_unique<sLinkButton>();
        button->command = row.command;
        iWidth += pitch;
        button->xOffset = -iWidth;
        button->yOffset = 0;
        button->images.LoadFromResource(row.image); // with its disabled and down looks
        utf8strlcpy(button->tooltip, row.tooltip, sizeof button->tooltip);
        fButtons.push_back(std::move(button));
    }
    MakeContextMenu();
}

void LToolBarShareLinkBar::MakeContextMenu()
{
    LWindow* window = pOwner ? pOwner->GetParent() : nullptr;
    fMenu.Create(window, "Dela Alternativ");
    auto add = [this](int command, const char* title, int image) {
        LUiMenuItem* item = fMenu.AppendMenuItem(command, title);
        if (!item || image == 0)
            return;
        for (const auto& b : fButtons)
            if (b->command == command && b->images.GetNormal().HasImage())
                LCocoaMenuImpl::setItemImage(
                    item, b->images.GetNormal().GetCocoaImage().GetImage());
    };
    add(kLCmdLikeFacebook, "Gilla ZOR Software på Facebook", 337);
    fMenu.AppendMenuSeparator();
    add(kLCmdShareFacebook, "Dela Vorantel på Facebook", 336);
    add(kLCmdShareTwitter, "Dela Vorantel på Twitter", 338);
    add(kLCmdShareLinkedIn, "Dela Vorantel på LinkedIn", 339);
    fMenu.AppendMenuSeparator();
    add(kLCmdShareBarHide, "Dölj resursikoner", 0);
    add(kLCmdShareBarShow, "Visa resursikoner", 0);
    fMenu.EnableMenuItem(kLCmdShareBarShow, false);
}

int LToolBarShareLinkBar::HitIndex(int x, int y) const
{
    const int S = GetButtonSize();
    const int P = GetPitch();
    if (P <= 0 || fButtons.empty())
        return -1;
    if (!(iTop <= y && y < iTop + S && iRight - iWidth + 1 <= x && x < iRight))
        return -1;
    const int index = (iRight - x) / P;
    return index < int(fButtons.size()) ? index : -1;
}

bool LToolBarShareLinkBar::ProcessMouseMove(int x, int y)
{
    if (!bVisible)
        return false;
    const int index = HitIndex(x, y);
    if (iPressed < 0) {
        if (index == iHovered)
            return false;
        iHovered = index;
        for (size_t i = 0; i < fButtons.size(); ++i)
            fButtons[i]->hover = int(i) == iHovered;
        return true;
    }
    const bool over = index == iPressed;
    if (iPressed < int(fButtons.size()))
        fButtons[size_t(iPressed)]->hover = fButtons[size_t(iPressed)]->down = over;
    return true;
}

bool LToolBarShareLinkBar::ProcessMouseDown(int x, int y)
{
    if (!bVisible)
        return false;
    iHovered = -1;
    const int index = HitIndex(x, y);
    if (index < 0) {
        iPressed = -1;
        return false;
    }
    iPressed = fButtons[size_t(index)]->enabled ? index : -1;
    for (size_t i = 0; i < fButtons.size(); ++i)
        fButtons[i]->pressed = fButtons[i]->down = int(i) == iPressed;
    return true;
}

int LToolBarShareLinkBar::ProcessMouseUp(int x, int y)
{
    if (!bVisible)
        return -1;
    for (auto& b : fButtons)
        b->pressed = b->down = false;
    int command = -1;
    if (iPressed >= 0 && iPressed < int(fButtons.size()) && HitIndex(x, y) == iPressed)
        command = fButtons[size_t(iPressed)]->command;
    iPressed = -1;
    return command;
}

bool LToolBarShareLinkBar::ProcessRightClick(int x, int y)
{
    return HitIndex(x, y) >= 0;
}

void LToolBarShareLinkBar::Draw(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!pOwner || !bVisible || !cr)
        return;
    const int S = GetButtonSize();
    for (const auto& b : fButtons) {
        const LGuiJPG& image = !b->enabled ? b->images.GetDisabled()
            : b->down                      ? b->images.GetPressed()
                                           : b->images.GetNormal();
        image.DrawTransparent(cr, iRight + b->xOffset, iTop + b->yOffset, S, S, 1.0f);
    }
}

void LToolBarShareLinkBar::GetToolTip(char* out) const
{
    if (!bVisible || iHovered < 0 || iHovered >= int(fButtons.size()))
        return;
    utf8strlcpy(out, fButtons[size_t(iHovered)]->tooltip, 260);
}

void LToolBarShareLinkBar::GetCurrentButtonPosition(LRectangle& out) const
{
    if (iHovered < 0 || iHovered >= int(fButtons.size()))
        return;
    const int S = GetButtonSize();
    const sLinkButton& b = *fButtons[size_t(iHovered)];
    out.left = iRight + b.xOffset;
    out.top = iTop + b.yOffset;
    out.right = out.left + S;
    out.bottom = out.top + S;
}

void LToolBarShareLinkBar::UpdateButtonsLayout()
{
    if (!pOwner)
        return;
    // Placed afresh at the window's character cell and scale, as when the bar was made.
    const int pitch = GetPitch();
    iWidth = 0;
    for (auto& b : fButtons) {
        iWidth += pitch;
        b->xOffset = -iWidth;
        b->yOffset = 0;
    }
}

void LToolBarShareLinkBar::EnableButton(int command, bool enabled)
{
    for (auto& b : fButtons)
        if (b->command == command)
            b->enabled = enabled;
}
