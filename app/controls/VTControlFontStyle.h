// Bold, italic and underline as three two-state buttons; it follows the panel's font list, so
// that a family without a bold or italic member cannot be set bold or italic.
#pragma once

#include "app/controls/VTControl.h"
#include "app/controls/VTControlPullDownList.h"
#include "lfw/mac/LGuiFont.h"

#include <string>

class VTControlFontStyle;

class VTControlFontStyleNotifyee {
public:
    virtual ~VTControlFontStyleNotifyee() = default;
    virtual void EvFontStyleChanged(VTControlFontStyle& control) = 0;
};

// Static 1003 "Teckenstil:" and two-state buttons 1000 "B", 1001 "Ⅰ" and 1002 "U", each in
// "Times New Roman" at twice the system size in its own style. The owner reads the states with
// GetCheck, and registers the control as an observer of its font-name list.
class VTControlFontStyle : public VTControl<VTControlFontStyleNotifyee>,
                           public VTControlPullDownListNotifyee {
public:
    VTControlFontStyle() = default;
    ~VTControlFontStyle() override;

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    // The font list's selected family (its control 1001) decides the bold and italic buttons.
    void EvPullDownListChanged(VTControlPullDownList& list) override;
    // An installed family: bold and italic are enabled exactly when the family has such a member
    // (and the control is enabled), and turned off when it has none. Unknown families change
    // nothing; the underline button is never touched.
    void UpdateBoldItalicButtonsState(const char* family);

private:
    LGuiFont fFonts[3];
    // The family last looked up among the installed fonts and what it has: the panel asks again
    // for every text selected, and listing the installed fonts takes long where there are many.
    std::string fFamily;
    bool fFamilyInstalled = false;
    bool fFamilyBold = false;
    bool fFamilyItalic = false;
};
