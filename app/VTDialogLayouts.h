// The control layouts of the options pages and the small dialogs: each function adds a dialog's
// controls with their ids, texts and rectangles in points relative to (x, y). The standard Help,
// OK and Cancel buttons are added only with buttons. Labels holding "(SS)" get their unit when
// the dialog starts.
#pragma once

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/cocoa/LCocoaOutlineHooks.h"

// Dialog sizes in points.
inline constexpr int kVTAddTemplateWidth = 480;
inline constexpr int kVTAddTemplateHeight = 411;
inline constexpr int kVTOptionsGeneralWidth = 388;
inline constexpr int kVTOptionsGeneralHeight = 309;
inline constexpr int kVTOptionsBackgroundWidth = 388;
inline constexpr int kVTOptionsBackgroundHeight = 64;
inline constexpr int kVTDiscDimensionsWidth = 480;
inline constexpr int kVTDiscDimensionsHeight = 335;
// The top of the disc dialog's button row, and its extra button.
inline constexpr int kVTDiscDimensionsButtonRowY = 298;
inline constexpr int kVTDiscDimensionsStandard = 121;

// Pixel rectangles for the operations that place in backing pixels (list views).
template <class D> int DlgGendlgPixels(D& dialog, int points)
{
    return int(points * dialog.GetBackingScaleFactor());
}

template <class D> void DlgGendlgADDTEMPLATE(D& dialog, int x, int y, bool withButtons)
{
    LListFlags flags;
    flags.singleSelection = true;
    dialog.AddList(101, flags, DlgGendlgPixels(dialog, x + 18), DlgGendlgPixels(dialog, y + 14),
        DlgGendlgPixels(dialog, 444), DlgGendlgPixels(dialog, 340));
    dialog.AddHLine(102, x + 18, y + 364, 444);
    if (withButtons) {
        dialog.AddHelp(x + 18, y + 374);
        dialog.AddOk(x + 362, y + 374, 100, "Add");
        dialog.AddCancel(x + 248, y + 374, 100);
    }
}

template <class D> void DlgGendlgOPTIONSGENERAL(D& dialog, int x, int y, bool withButtons)
{
    const LStaticFlags plain;
    const LInputFlags input;
    dialog.AddCheckBox(
        8602, "Visa välkomstdialogruta när Vorantel startar", x + 18, y + 38, 352, 34);
    dialog.AddStatic(8605, "Enheter:", plain, x + 18, y + 99, 191, 21);
    dialog.AddPullDownList(8604, x + 210, y + 97, 160, 21);
    dialog.AddStatic(8608, "Standardpappersstorlek:", plain, x + 18, y + 145, 191, 21);
    dialog.AddPullDownList(8607, x + 210, y + 143, 160, 21);
    dialog.AddGroup(8610, "Stödlinjer för pappersmarginal", x + 18, y + 189, 352, 110);
    dialog.AddStatic(8613, "Marginalbredd (SS):", plain, x + 30, y + 217, 182, 21);
    dialog.AddInputUpDown(8611, input, x + 220, y + 215, 136);
    dialog.AddStatic(8617, "Marginalhöjd (SS):", plain, x + 30, y + 265, 182, 21);
    dialog.AddInputUpDown(8615, input, x + 220, y + 263, 136);
    (void)withButtons; // a page has no buttons of its own
}

template <class D> void DlgGendlgOPTIONSBACKGROUND(D& dialog, int x, int y, bool withButtons)
{
    dialog.AddCheckBox(9601, "Underhåll proportioner för bakgrundsbilder", x + 18, y + 38, 352, 21);
    (void)withButtons;
}

template <class D> void DlgGendlgDISCDIMENSIONS(D& dialog, int x, int y, bool withButtons)
{
    const LStaticFlags plain;
    const LInputFlags input;
    dialog.AddStatic(104, "Ytterdiameter (SS):", plain, x + 18, y + 32, 340, 21);
    dialog.AddInputUpDown(102, input, x + 366, y + 30, 96);
    dialog.AddGroup(106, "Andra skivbandet", x + 18, y + 78, 444, 152);
    dialog.AddCheckBox(107, "Använd andra utskrivbara band", x + 30, y + 104, 418, 21);
    dialog.AddStatic(111, "Ytterbandsdiameter (SS):", plain, x + 30, y + 148, 314, 21);
    dialog.AddInputUpDown(109, input, x + 352, y + 146, 96);
    dialog.AddStatic(115, "Innerbandsdiameter (SS):", plain, x + 30, y + 196, 314, 21);
    dialog.AddInputUpDown(113, input, x + 352, y + 194, 96);
    dialog.AddStatic(119, "Innerdiameter (SS):", plain, x + 18, y + 258, 340, 21);
    dialog.AddInputUpDown(117, input, x + 366, y + 256, 96);
    dialog.AddHLine(120, x + 18, y + 288, 444);
    const int row = y + kVTDiscDimensionsButtonRowY;
    if (withButtons)
        dialog.AddHelp(x + 18, row);
    dialog.AddPushButton(kVTDiscDimensionsStandard, "Standard", x + 132, row, 104, 21);
    if (withButtons) {
        dialog.AddCancel(x + 250, row, 100, "Ignorera");
        dialog.AddOk(x + 364, row, 100, "Tillämpa");
    }
}
