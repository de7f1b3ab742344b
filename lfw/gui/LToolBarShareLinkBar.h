// The share bar: four image buttons at the right end of the tabbed toolbar that share the
// product on social networks or open the maker's page there. The toolbar that owns it places it
// (right edge and top in the toolbar's pixels), shows or hides it as room allows, and forwards
// mouse, paint, tooltip and context-menu calls; the commands are carried out by the main window.
#pragma once

#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMenu.h"

#include <memory>
#include <vector>

class LPaintControlPrePaint;
class LPaintContext;

// Commands of the bar and of its context menu.
enum : int {
    kLCmdShareBarHide = 9301,
    kLCmdShareBarShow = 9302,
    kLCmdShareFacebook = 9310,
    kLCmdShareTwitter = 9311,
    kLCmdShareLinkedIn = 9316,
    kLCmdLikeFacebook = 9320,
};

class LToolBarShareLinkBar {
public:
    struct sLinkButton {
        int command = 0;
        int xOffset = 0; // from the bar's right edge (negative)
        int yOffset = 0;
        bool hover = false;
        bool pressed = false;
        bool down = false;
        bool enabled = true;
        LGuiBitmapEnabledDisabled images;
        char tooltip[260] = "";
    };

    LToolBarShareLinkBar() = default;
    ~LToolBarShareLinkBar();
    LToolBarShareLinkBar(const LToolBarShareLinkBar&) = delete;
    LToolBarShareLinkBar& operator=(const LToolBarShareLinkBar&) = delete;

    void Init(LPaintControlPrePaint& owner);
    // True when the bar must be repainted.
    bool ProcessMouseMove(int x, int y);
    // True when the press hit the bar (also on a disabled button, which is then not pressed).
    bool ProcessMouseDown(int x, int y);
    // The command to send, or -1.
    int ProcessMouseUp(int x, int y);
    // True when the point is on the bar (visible or not).
    bool ProcessRightClick(int x, int y);
    void Draw(LPaintContext& context);
    // The hovered button's tooltip into out (260 bytes); nothing when none is hovered.
    void GetToolTip(char* out) const;
    void GetCurrentButtonPosition(LRectangle& out) const;
    // The backing scale changed: offsets follow it, the width is measured again.
    void UpdateButtonsLayout();
    // Empties the button list and releases the context menu.
    void Destroy();

    // The button under the point counted from the right, or -1.
    int HitIndex(int x, int y) const;
    // Button size and pitch from the owner window's character size.
    int GetButtonSize() const;
    int GetPitch() const;
    void EnableButton(int command, bool enabled);

    LPopupMenu& GetContextMenu() { return fMenu; }
    int GetButtonCount() const { return int(fButtons.size()); }
    const sLinkButton& GetButton(int index) const { return *fButtons[size_t(index)]; }
    int GetHovered() const { return iHovered; }
    int GetPressed() const { return iPressed; }

    bool bVisible = true;
    int iRight = 0;
    int iTop = 0;
    int iWidth = 0;
    int iPreviousHovered = -1;

private:
    void MakeContextMenu();

    LPopupMenu fMenu;
    LPaintControlPrePaint* pOwner = nullptr;
    int iHovered = -1;
    int iPressed = -1;
    std::vector<std::unique_ptr<sLinkButton>> fButtons;
};
