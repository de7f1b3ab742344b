#include "app/VTOptionsDialog.h"

#include "app/VTDialogLayouts.h"
#include "app/VTOptions.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/zor/LHelp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The commands the general page's controls send.
enum : int {
    kCmdUnitChanged = 2000,
    kCmdPaperChanged = 2001,
    kCmdWidthEdited = 2002,
    kCmdWidthLeft = 2003,
    kCmdHeightEdited = 2004,
    kCmdHeightLeft = 2005,
};

const char* UnitName(int unit)
{
    return unit == 1 ? "in" : "mm";
}

} // namespace

double VTLengthToUnit(double mm, int unit)
{
    return unit == 1 ? mm / 25.4 : mm;
}

double VTLengthFromUnit(double value, int unit)
{
    return unit == 1 ? value * 25.4 : value;
}

double VTPaperMarginSettingGet(const char* key)
{
    char text[260] = "";
    _LUserSettingGetString(kVTOptionsSection, key, "0.0", text);
    double v = 0;
    const char* begin = text;
    while (*begin == ' ')
        ++begin;
    auto r = std::from_chars(begin, begin + std::strlen(begin), v);
    if (r.ec != std::errc() || !std::isfinite(v) || v < 0)
        return 0;
    return v;
}

void VTFormatSettingNumber(char* out, size_t size, double value)
{
    if (!out || size == 0)
        return;
    auto r = std::to_chars(out, out + size - 1, value, std::chars_format::fixed, 6);
    *(r.ec == std::errc() ? r.ptr : out) = '\0';
}

bool VTSettingFlagGet(const char* key)
{
    char text[260] = "";
    _LUserSettingGetString(kVTOptionsSection, key, "1", text);
    return text[0] != '0';
}

// --- the general page ----------------------------------------------------------------------------

int VTOptionsPageGeneral::SelectedUnit()
{
    return PDLGetCurSel(8604) == 1 ? 1 : 0;
}

void VTOptionsPageGeneral::InitDialog()
{
    initialising = true;
    SetCheck(8602, VTSettingFlagGet(kVTSettingWelcomeDialogShow));

    PDLAddString(8604, "Millimeter", 0);
    PDLAddString(8604, "Inches", 1);
    initialUnit = LUnitsGetMeasurementUnit() == 1 ? 1 : 0;
    PDLSetCurSel(8604, initialUnit);
    HandlePDLSelChange(8604, kCmdUnitChanged);

    const LPaperSizeID current = VTOptions::PaperSizeIDGet();
    int selected = -1;
    LPaperSizeIterator it;
    for (it.Next(); it.IsValid(); it.Next()) {
        const LPaperSizeID id = it.GetPaperSize();
        if (id != 5 && id != 18)
            continue;
        int row = PDLAddString(8607, it.GetDisplayName(), static_cast<unsigned long>(id));
        if (id == current)
            selected = row;
    }
    PDLSetCurSel(8607, selected >= 0 ? selected : 0);
    HandlePDLSelChange(8607, kCmdPaperChanged);

    for (LDecimalInputControl* input : { &marginWidthInput, &marginHeightInput }) {
        input->decimalPlaces = 2;
        input->minimum = 0;
        input->step = 0.1;
    }
    marginWidthInput.Init(*this, 8611);
    marginHeightInput.Init(*this, 8615);
    HandleEditTextChange(8611, kCmdWidthEdited);
    HandleEditTextFocusLost(8611, kCmdWidthLeft);
    HandleEditTextChange(8615, kCmdHeightEdited);
    HandleEditTextFocusLost(8615, kCmdHeightLeft);
    marginWidth = VTPaperMarginSettingGet(kVTSettingPaperMarginWidth);
    marginHeight = VTPaperMarginSettingGet(kVTSettingPaperMarginHeight);
    SetPaperMarginControlMaxValues();
    SetPaperMarginControlLabels();
    ShowMargins();
    initialising = false;
}

void VTOptionsPageGeneral::SetPaperMarginControlMaxValues()
{
    const int row = PDLGetCurSel(8607);
    double w = 0, h = 0;
    if (row >= 0)
        LPaperSizeGetPhysicalDimensionsMm(LPaperSizeID(PDLGetItemData(8607, row)), w, h);
    const int unit = SelectedUnit();
    marginWidthInput.SetMaxValue(VTLengthToUnit(w / 2, unit));
    marginHeightInput.SetMaxValue(VTLengthToUnit(h / 2, unit));
    // What is kept never exceeds what the paper allows.
    marginWidth = std::min(marginWidth, w / 2);
    marginHeight = std::min(marginHeight, h / 2);
}

void VTOptionsPageGeneral::SetPaperMarginControlLabels()
{
    char text[260];
    LStringFormat(text, sizeof text, "Marginalbredd (%s):", UnitName(SelectedUnit()));
    SetStaticText(8613, text);
    LStringFormat(text, sizeof text, "Marginalhöjd (%s):", UnitName(SelectedUnit()));
    SetStaticText(8617, text);
}

void VTOptionsPageGeneral::ShowMargins()
{
    const bool was = initialising;
    initialising = true;
    marginWidthInput.SetValue(*this, VTLengthToUnit(marginWidth, SelectedUnit()));
    marginHeightInput.SetValue(*this, VTLengthToUnit(marginHeight, SelectedUnit()));
    initialising = was;
}

void VTOptionsPageGeneral::Command(int id, int code)
{
    if (initialising && id >= kCmdUnitChanged && id <= kCmdHeightLeft)
        return;
    switch (id) {
    case kCmdUnitChanged:
        LSettingSetMeasurementUnit(SelectedUnit());
        [[fallthrough]];
    case kCmdPaperChanged:
        SetPaperMarginControlMaxValues();
        SetPaperMarginControlLabels();
        ShowMargins();
        return;
    case kCmdWidthEdited:
        marginWidth = VTLengthFromUnit(marginWidthInput.GetValue(*this), SelectedUnit());
        return;
    case kCmdHeightEdited:
        marginHeight = VTLengthFromUnit(marginHeightInput.GetValue(*this), SelectedUnit());
        return;
    case kCmdWidthLeft:
    case kCmdHeightLeft:
        return;
    default:
        LPropertyPage::Command(id, code);
    }
}

bool VTOptionsPageGeneral::CmOk()
{
    LUserSettingSetString(
        kVTOptionsSection, kVTSettingWelcomeDialogShow, GetCheck(8602) ? "1" : "0");
    LSettingSetMeasurementUnit(SelectedUnit());
    const int row = PDLGetCurSel(8607);
    if (row < 0 || !VTOptions::PaperSizeIDSet(LPaperSizeID(PDLGetItemData(8607, row)))) {
        BubbleTipShow(GetBubbleTip(), 8607, "Ogiltig pappersstorlek", 0, nullptr);
        return false;
    }
    char text[64];
    VTFormatSettingNumber(
        text, sizeof text, VTLengthFromUnit(marginWidthInput.GetValue(*this), SelectedUnit()));
    LUserSettingSetString(kVTOptionsSection, kVTSettingPaperMarginWidth, text);
    VTFormatSettingNumber(
        text, sizeof text, VTLengthFromUnit(marginHeightInput.GetValue(*this), SelectedUnit()));
    LUserSettingSetString(kVTOptionsSection, kVTSettingPaperMarginHeight, text);
    return true;
}

bool VTOptionsPageGeneral::CmCancel()
{
    if (LUnitsGetMeasurementUnit() != initialUnit)
        LSettingSetMeasurementUnit(initialUnit);
    return true;
}

void VTOptionsPageGeneral::CmHelp()
{
    LOpenHelpPage(GetContentView(), "options_general");
}

// --- the background page -------------------------------------------------------------------------

void VTOptionsPageBackground::InitDialog()
{
    SetCheck(9601, VTSettingFlagGet(kVTSettingBackgroundAspectRatio));
}

bool VTOptionsPageBackground::CmOk()
{
    LUserSettingSetString(
        kVTOptionsSection, kVTSettingBackgroundAspectRatio, GetCheck(9601) ? "1" : "0");
    return true;
}

void VTOptionsPageBackground::CmHelp()
{
    LOpenHelpPage(GetContentView(), "options_background");
}

// --- the sheet -----------------------------------------------------------------------------------

VTOptionsDialog::VTOptionsDialog()
{
    const LDialog::OpenGenData generalData { kVTOptionsGeneralWidth, kVTOptionsGeneralHeight,
        "De allmänna", false, DlgGendlgOPTIONSGENERAL<LDialog> };
    const LDialog::OpenGenData backgroundData { kVTOptionsBackgroundWidth,
        kVTOptionsBackgroundHeight, "Bakgrund", false, DlgGendlgOPTIONSBACKGROUND<LDialog> };
    AddPage(general, generalData, nullptr);
    AddPage(background, backgroundData, nullptr);
}

bool VTOptionsDialog::Open(LView* parent)
{
    return LPropertySheet::Open(parent, "Vorantel Inställningar", 0, 0);
}

bool VTOptionsDialog::CmCancel()
{
    general.CmCancel();
    background.CmCancel();
    return true;
}

bool VTOptionsDialogOpen(LView* parent)
{
    VTOptionsDialog dialog;
    return dialog.Open(parent);
}
