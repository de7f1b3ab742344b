#include "app/VTSmallDialogs.h"

#include "app/VTDialogLayouts.h"
#include "app/VTLabelLayout.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTTemplate.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/zor/LHelp.h"
#include "platform/ui/LView.h"

// --- welcome -------------------------------------------------------------------------------------

namespace {

const LDialogMenuItem kWelcomeRows[] = {
    { kVTWelcomeNewProject, "Skapa ett nytt projekt", "" },
    { kVTWelcomeOpenProject, "Öppna en befintlig projektfil", "" },
    { kVTWelcomeGettingStarted, "Läs guiden Komma igång", "" },
    { 0, nullptr, nullptr },
};

} // namespace

VTWelcomeDialog::VTWelcomeDialog(LView* parent)
    : LDialogMenu(parent, "Välkommen till Vorantel", "Vad sägs om att börja?", nullptr,
        kWelcomeRows, kVTWelcomeNewProject, false)
{
    bShowAgainShown = true;
    SetShowAgainCheckBoxLabel("Visa den här dialogrutan när Vorantel startar");
}

int VTWelcomeDialog::Open()
{
    bShowAgain = VTSettingFlagGet(kVTSettingWelcomeDialogShow);
    const int chosen = Run();
    LUserSettingSetString(kVTOptionsSection, kVTSettingWelcomeDialogShow, bShowAgain ? "1" : "0");
    return chosen;
}

int VTWelcomeDialogOpen(LView* parent)
{
    VTWelcomeDialog dialog(parent);
    return dialog.Open();
}

// --- add template --------------------------------------------------------------------------------

namespace {

enum : int { kCmdListSelection = 1000 };

const LVColDynamicGlobal kTypeColumns[] = {
    { "Typ", -1, 0, true },
    { nullptr, 0, 0, false },
};

} // namespace

void VTAddTemplateDialog::InitDialog()
{
    LVInit(101, kTypeColumns);
    for (int f = 0; f < kVTTemplateFormatCount; ++f) {
        LPtr<VTTemplateData> data(VTTemplate::CreateTemplateData(VTTemplateFormat(f)));
        if (data)
            LVAddString(101, data->GetDescriptionLong(), -1, static_cast<unsigned long>(f), 0);
    }
    LVSelectNone(101);
    HandleLVSelChange(101, kCmdListSelection);
    HandleLVDoubleClick(101, kLCmdOk);
}

void VTAddTemplateDialog::Command(int id, int code)
{
    if (id == kCmdListSelection)
        id = -1; // only the controls are looked at again
    LDialog::Command(id, code);
}

void VTAddTemplateDialog::EnableControls()
{
    EnableControl(kLCmdOk, LVGetSelCount(101) == 1);
}

bool VTAddTemplateDialog::CmOk()
{
    if (LVGetSelCount(101) != 1)
        return false;
    const unsigned long f = LVGetItemData(101, LVGetFirstSel(101));
    if (f >= unsigned(kVTTemplateFormatCount))
        return false;
    if (format)
        *format = VTTemplateFormat(f);
    return true;
}

void VTAddTemplateDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_addtemplate");
}

bool VTAddTemplateDialog::Open(LView* parent, VTTemplateFormat& chosen)
{
    VTTemplateFormat value = chosen;
    format = &value;
    const LDialog::OpenGenData data { kVTAddTemplateWidth, kVTAddTemplateHeight, "Lägg till mall",
        false, DlgGendlgADDTEMPLATE<LDialog> };
    const bool ok = LDialog::Open(parent, data);
    format = nullptr;
    if (ok)
        chosen = value;
    return ok;
}

bool VTAddTemplateDialogOpen(LView* parent, VTTemplateFormat& format)
{
    VTAddTemplateDialog dialog;
    return dialog.Open(parent, format);
}

// --- disc printable area -------------------------------------------------------------------------

namespace {

constexpr float kMinDiameter = 15.5f;
constexpr float kMaxDiameter = 119.5f;
constexpr float kGap = 0.5f;

const char* UnitName(int unit)
{
    return unit == 1 ? "in" : "mm";
}

} // namespace

bool VTDiscDimensionsValid(const VTDiscDimensions& d)
{
    // Written so that a value that is no number fails every comparison.
    if (!(d.inner >= kMinDiameter))
        return false;
    if (!d.band)
        return d.outer >= d.inner + kGap;
    return d.bandInner >= d.inner + kGap && d.bandOuter >= d.bandInner + kGap
        && d.outer >= d.bandOuter + kGap;
}

void VTDiscDimensionsDialog::InitDialog()
{
    unit = LUnitsGetMeasurementUnit() == 1 ? 1 : 0;
    struct Binding {
        LDecimalInputControl* input;
        int id;
        const char* tip;
    };
    const Binding bindings[] = {
        { &outerInput, 102, "Den utskrivbara ytans yttersta diameter" },
        { &bandOuterInput, 109, "Det andra bandets ytterdiameter inom det utskrivbara området" },
        { &bandInnerInput, 113, "Det andra bandets innerdiameter inom det utskrivbara området" },
        { &innerInput, 117, "Inner-mest diametern på det utskrivbara området" },
    };
    for (const Binding& b : bindings) {
        b.input->decimalPlaces = 2;
        b.input->minimum = VTLengthToUnit(kMinDiameter, unit);
        b.input->maximum = VTLengthToUnit(kMaxDiameter, unit);
        b.input->step = unit == 1 ? 0.01 : 0.1;
        b.input->Init(*this, b.id);
        if (LView* v = GetControlHandle(b.id))
            v->SetToolTipText(b.tip);
    }
    const struct {
        int id;
        const char* format;
    } labels[] = {
        { 104, "Ytterdiameter (%s):" },
        { 111, "Ytterbandsdiameter (%s):" },
        { 115, "Innerbandsdiameter (%s):" },
        { 119, "Innerdiameter (%s):" },
    };
    for (const auto& l : labels) {
        char text[260];
        LStringFormat(text, sizeof text, l.format, UnitName(unit));
        SetStaticText(l.id, text);
    }
    ShowValues(values);
    PlaceButtonRow();
}

void VTDiscDimensionsDialog::EvTextSizeChanged()
{
    LDialog::EvTextSizeChanged();
    if (GetContentView())
        PlaceButtonRow();
}

void VTDiscDimensionsDialog::PlaceButtonRow()
{
    // The button row in the dialog's own rectangle, with "Standard" beside Help.
    const double s = GetBackingScaleFactor(), t = TextScale();
    const int rowHeight
        = int(CharHeightPoints() * 1.23 + 0.5) + int(0.94 * CharHeightPoints() + 0.5);
    LayoutOkCancelHelpSpecial(kVTDiscDimensionsStandard, 0, 0, int(kVTDiscDimensionsWidth * t * s),
        int((kVTDiscDimensionsButtonRowY * t + rowHeight) * s));
}

void VTDiscDimensionsDialog::ShowValues(const VTDiscDimensions& d)
{
    outerInput.SetValue(*this, VTLengthToUnit(d.outer, unit));
    bandOuterInput.SetValue(*this, VTLengthToUnit(d.bandOuter, unit));
    bandInnerInput.SetValue(*this, VTLengthToUnit(d.bandInner, unit));
    innerInput.SetValue(*this, VTLengthToUnit(d.inner, unit));
    SetCheck(107, d.band);
}

VTDiscDimensions VTDiscDimensionsDialog::ReadValues()
{
    VTDiscDimensions d;
    d.outer = float(VTLengthFromUnit(outerInput.GetValue(*this), unit));
    d.bandOuter = float(VTLengthFromUnit(bandOuterInput.GetValue(*this), unit));
    d.bandInner = float(VTLengthFromUnit(bandInnerInput.GetValue(*this), unit));
    d.inner = float(VTLengthFromUnit(innerInput.GetValue(*this), unit));
    d.band = GetCheck(107);
    return d;
}

void VTDiscDimensionsDialog::EnableControls()
{
    const bool band = GetCheck(107);
    bandOuterInput.EnableControl(*this, band);
    bandInnerInput.EnableControl(*this, band);
    EnableControl(111, band);
    EnableControl(115, band);
}

void VTDiscDimensionsDialog::Command(int id, int code)
{
    if (id == kVTDiscDimensionsStandard) {
        VTDiscDimensions standard;
        standard.outer = 118;
        standard.bandOuter = 37;
        standard.band = false;
        standard.bandInner = 36;
        standard.inner = 35;
        ShowValues(standard);
    }
    LDialog::Command(id, code);
}

bool VTDiscDimensionsDialog::CmOk()
{
    VTDiscDimensions d = ReadValues();
    if (!VTDiscDimensionsValid(d)) {
        char message[600];
        LStringFormat(message, sizeof message,
            "One or more of the measurements entered is incorrect.\n\nFrom the outer edge to the "
            "inner edge, all values must be incrementally smaller, with a gap of at least %.3f "
            "units between each.",
            VTLengthToUnit(kGap, unit));
        LAlert alert(GetContentView(), message, "Ändra utskrivbara områden för skivor");
        alert.type = 2;
        alert._Run();
        return false;
    }
    values = d;
    return true;
}

void VTDiscDimensionsDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_changediscprintableareas");
}

bool VTDiscDimensionsDialog::Open(LView* parent, VTLabelLayoutTemplate* t)
{
    if (!t)
        return false;
    values = VTDiscDimensions();
    auto* disc = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(t->GetTemplateData());
    if (disc)
        disc->GetDiscPrintableArea(
            values.outer, values.inner, values.band, values.bandOuter, values.bandInner);
    const LDialog::OpenGenData data { kVTDiscDimensionsWidth, kVTDiscDimensionsHeight,
        "Ändra utskrivbara områden för skivor", false, DlgGendlgDISCDIMENSIONS<LDialog> };
    if (!LDialog::Open(parent, data))
        return false;
    if (disc)
        disc->SetDiscPrintableArea(
            values.outer, values.inner, values.band, values.bandOuter, values.bandInner);
    return true;
}

bool VTDiscDimensionsDialogOpen(LView* parent, VTLabelLayoutTemplate* t)
{
    VTDiscDimensionsDialog dialog;
    return dialog.Open(parent, t);
}
