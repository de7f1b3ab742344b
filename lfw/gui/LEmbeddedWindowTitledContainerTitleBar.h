// The title bar of a container of titled panels: a light gradient, the title and a frame.
#pragma once

#include "lfw/gen/LString.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiFont.h"

class LEmbeddedWindowTitledContainerTitleBar : public LPaintControl {
public:
    explicit LEmbeddedWindowTitledContainerTitleBar(bool bold = false)
        : bBold(bold)
    {
    }
    ~LEmbeddedWindowTitledContainerTitleBar() override { DestroyPaintControl(); }

    // Kept in 260 bytes, cut at a whole UTF-8 character.
    void SetTitle(const char* title);
    const char* GetTitle() const { return szTitle; }
    // The dialog font of the view one point larger, bold when asked, times the backing scale.
    void CreateTitleFont(LView* view);

    void Paint(LPaintContext& context) override;

private:
    char szTitle[kLStringShortSize] = "";
    bool bBold;
    LGuiFontEx fTitleFont;
};
