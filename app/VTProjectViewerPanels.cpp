#include "app/VTProjectViewerPanels.h"

#include "app/VTLabelLayout.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "lfw/gen/LFile.h"
#include "lfw/mac/LGuiFont.h"

#include <cstring>

namespace {

// Sets a check box of one of the panel's controls without its report.
void SetCheckSilently(VTControlCheckBox& box, bool on)
{
    box.bNotify = false;
    box.SetCheck(1000, on);
    box.bNotify = true;
}

void CopyPath(char* out, const char* in)
{
    std::strncpy(out, in ? in : "", kLPathSize - 1);
    out[kLPathSize - 1] = '\0';
}

} // namespace

// --- label layout --------------------------------------------------------------------------------

VTProjectViewerPanelLabelLayout::VTProjectViewerPanelLabelLayout()
    : LEmbeddedWindowTitled(
        kVTPanelLabelLayout, "Egenskaper för etikettlayout", false, false, false, true)
{
}

VTProjectViewerPanelLabelLayout::~VTProjectViewerPanelLabelLayout()
{
    Destroy();
}

void VTProjectViewerPanelLabelLayout::InitPanel()
{
    name.Init(*this);
    selectButton.Init(*this);
    selectButton.AddNotifyee(*this);
    selectButton.SetControlToolTip(1000, "Välj en ny etikettlayout");
    editButton.Init(*this);
    editButton.AddNotifyee(*this);
    editButton.SetControlToolTip(1000, "Redigera den aktuella etikettlayouten");
    sameFormat.Init(*this);
    sameFormat.AddNotifyee(*this);
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::OneLine(name) + VTPanelRows::OneLine(selectButton)
        + VTPanelRows::OneLine(editButton) + VTPanelRows::OneLine(sameFormat) + g;
    UpdateDetails();
}

void VTProjectViewerPanelLabelLayout::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(name, VTPanelRows::OneLine(name));
    rows.Place(selectButton, VTPanelRows::OneLine(selectButton));
    rows.Place(editButton, VTPanelRows::OneLine(editButton));
    rows.Place(sameFormat, VTPanelRows::OneLine(sameFormat));
}

void VTProjectViewerPanelLabelLayout::DestroyPanel()
{
    name.Destroy();
    selectButton.Destroy();
    editButton.Destroy();
    sameFormat.Destroy();
}

void VTProjectViewerPanelLabelLayout::UpdateDetails()
{
    if (!name.GetContentView())
        return;
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (layout) {
        name.SetText(layout->name, true);
        editButton.SetButtonText(1000, "Redigera etikettlayout...");
        editButton.EnableControl(1000, true);
        // A layout printed on the disc itself keeps one design per position.
        const bool onDisc = layout->printMedium == VTPrintMediumDisc;
        sameFormat.EnableControl(1000, !onDisc);
        if (!onDisc)
            SetCheckSilently(sameFormat, layout->sameFormat);
    } else {
        name.SetText("no project", true);
        editButton.EnableControl(1000, false);
        sameFormat.EnableControl(1000, true);
        SetCheckSilently(sameFormat, false);
    }
}

void VTProjectViewerPanelLabelLayout::SetSelectedProjectTemplate(VTProjectTemplate* design)
{
    selectedDesign = project ? design : nullptr;
}

void VTProjectViewerPanelLabelLayout::SetSameFormatCheck(bool on)
{
    SetCheckSilently(sameFormat, on);
}

void VTProjectViewerPanelLabelLayout::EvButtonPressed(VTControlButton& button)
{
    if (&button == &selectButton)
        Notify(
            &VTProjectViewerPanelLabelLayoutNotifyee::EvProjectViewerPanelLabelLayoutSelectClicked);
    else if (&button == &editButton)
        Notify(
            &VTProjectViewerPanelLabelLayoutNotifyee::EvProjectViewerPanelLabelLayoutEditClicked);
}

void VTProjectViewerPanelLabelLayout::EvControlCheckBoxChanged(VTControlCheckBox& box)
{
    Notify(
        &VTProjectViewerPanelLabelLayoutNotifyee::EvProjectViewerPanelLabelLayoutCheckClicked, box);
}

// --- template background -------------------------------------------------------------------------

VTProjectViewerPanelTemplate::VTProjectViewerPanelTemplate()
    : LEmbeddedWindowTitled(kVTPanelTemplate, "", false, false, false, true)
{
}

VTProjectViewerPanelTemplate::~VTProjectViewerPanelTemplate()
{
    Destroy();
}

void VTProjectViewerPanelTemplate::InitPanel()
{
    iPanelHeight = 2 * VTPanelRows::Gap(*this);
}

void VTProjectViewerPanelTemplate::LayoutPanelControls(int, int, int, int)
{
}

void VTProjectViewerPanelTemplate::DestroyPanel()
{
}

void VTProjectViewerPanelTemplate::SetTitle(const char* title)
{
    fTitle = title ? title : "";
    if (fTitleBar.IsBound())
        fTitleBar.Update();
}

void VTProjectViewerPanelTemplate::SetBackground(const LBrushInfo* b, const char* path)
{
    hasBrush = b != nullptr;
    if (b)
        brush = *b;
    CopyPath(imagePath, path);
}

// --- text properties -----------------------------------------------------------------------------

VTProjectViewerPanelTextProperties::VTProjectViewerPanelTextProperties()
    : LEmbeddedWindowTitled(kVTPanelTextProperties, "Textegenskaper", false, false, false, true)
{
}

VTProjectViewerPanelTextProperties::~VTProjectViewerPanelTextProperties()
{
    Destroy();
}

void VTProjectViewerPanelTextProperties::InitPanel()
{
    text.Init(*this);
    text.AddNotifyee(*this);
    text.EditPromptSet(1000, "[Skriv text här]");
    fontList.Init(*this);
    fontList.AddNotifyee(*this);
    LFontsInstalledIterator fonts;
    fonts.CreateList();
    for (; fonts.IsValid(); fonts.Next())
        fontList.PDLAddString(1001, *fonts);
    textColour.Init(*this);
    textColour.AddNotifyee(*this);
    backgroundColour.Init(*this);
    backgroundColour.AddNotifyee(*this);
    circular.Init(*this);
    circular.AddNotifyee(*this);
    SetCheckSilently(circular, false);
    UpdatePanelHeight();
}

void VTProjectViewerPanelTextProperties::UpdatePanelHeight()
{
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::TextEdit(text) + VTPanelRows::OneLine(fontList)
        + VTPanelRows::OneLine(textColour) + VTPanelRows::OneLine(backgroundColour)
        + VTPanelRows::OneLine(circular) + g;
}

void VTProjectViewerPanelTextProperties::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(text, VTPanelRows::TextEdit(text));
    rows.Place(fontList, VTPanelRows::OneLine(fontList));
    rows.Place(textColour, VTPanelRows::OneLine(textColour));
    rows.Place(backgroundColour, VTPanelRows::OneLine(backgroundColour));
    rows.Place(circular, VTPanelRows::OneLine(circular));
}

void VTProjectViewerPanelTextProperties::DestroyPanel()
{
    text.Destroy();
    fontList.Destroy();
    textColour.Destroy();
    backgroundColour.Destroy();
    circular.Destroy();
}

void VTProjectViewerPanelTextProperties::SetValues(
    const VTOverlayText& overlay, bool canRaise, bool canLower)
{
    (void)canRaise;
    (void)canLower;
    if (!text.GetContentView())
        return;
    const LGuiFontEx& font = overlay.GetFont();
    char face[kLPathSize] = "";
    font.GetName(face, sizeof face);
    // A face that is not installed is listed, so that an edit keeps it.
    fontList.PDLSetCurSel(1001, face);
    char shown[kLPathSize] = "";
    fontList.PDLGetText(1001, shown);
    if (face[0] && std::strcmp(shown, face) != 0)
        fontList.PDLSetCurSel(1001, fontList.PDLAddString(1001, face));
    fontSize = VTClampTextSize(font.GetSize());
    bold = font.IsBold();
    italic = font.IsItalic();
    underline = font.IsUnderlined();
    textColour.SetColourWithAlpha(overlay.GetTextColour());
    backgroundColour.SetColourWithAlpha(overlay.GetBackgroundColour());
    text.SetEditText(1000, overlay.GetText());
    SetCheckSilently(circular, overlay.GetType() == 2);
}

void VTProjectViewerPanelTextProperties::GetValues(VTOverlayText& overlay) const
{
    auto& self = const_cast<VTProjectViewerPanelTextProperties&>(*this);
    char face[kLPathSize] = "";
    self.fontList.PDLGetText(1001, face);
    if (!face[0])
        overlay.GetFont().GetName(face, sizeof face);
    const LGuiFontEx font(
        LGuiFont(VTClampTextSize(fontSize), bold, underline, italic, face, false));
    if (!(font == overlay.GetFont())) {
        overlay.SetFont(font);
        overlay.NotifyPropertiesChanged();
    }
    const LPFB8G8R8A8 fg = textColour.GetColourWithAlpha();
    const LPFB8G8R8A8 bg = backgroundColour.GetColourWithAlpha();
    if (std::memcmp(&fg, &overlay.GetTextColour(), sizeof fg) != 0) {
        overlay.SetTextColour(fg);
        overlay.NotifyPropertiesChanged();
    }
    if (std::memcmp(&bg, &overlay.GetBackgroundColour(), sizeof bg) != 0) {
        overlay.SetBackgroundColour(bg);
        overlay.NotifyPropertiesChanged();
    }
    // Compared before the line ends are made Unix ones, so that a text differing only in them is
    // still written.
    LStringLongTemplate<char> typed;
    self.text.GetEditText(1000, typed);
    if (std::strcmp(typed.c_str(), overlay.GetText()) != 0) {
        VTConvertToUnixEOL(typed);
        overlay.SetText(typed.c_str());
        overlay.NotifyPropertiesChanged();
    }
}

void VTProjectViewerPanelTextProperties::EnableControls()
{
    for (LWindow* w : { static_cast<LWindow*>(&fontList), static_cast<LWindow*>(&textColour),
             static_cast<LWindow*>(&backgroundColour), static_cast<LWindow*>(&circular) })
        if (w->GetContentView())
            LMacWindow::EnableWindow(w->GetContentView(), true);
}

void VTProjectViewerPanelTextProperties::SetCircularCheck(bool on)
{
    SetCheckSilently(circular, on);
}

void VTProjectViewerPanelTextProperties::FocusText()
{
    if (text.GetContentView())
        text.SetFocus(1000);
}

void VTProjectViewerPanelTextProperties::Changed()
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextPropertiesChanged);
}

void VTProjectViewerPanelTextProperties::EvTextChanged(VTControlEdit&)
{
    Changed();
}

void VTProjectViewerPanelTextProperties::EvPullDownListChanged(VTControlPullDownList&)
{
    Changed();
}

void VTProjectViewerPanelTextProperties::EvColourPickerChanged(VTControlColourPicker&)
{
    Changed();
}

void VTProjectViewerPanelTextProperties::EvControlCheckBoxChanged(VTControlCheckBox& box)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextChangeCircularText,
        box.GetCheck(1000));
}

// --- image properties ----------------------------------------------------------------------------

VTProjectViewerPanelImageProperties::VTProjectViewerPanelImageProperties()
    : LEmbeddedWindowTitled(kVTPanelImageProperties, "Bildegenskaper", false, false, false, true)
{
}

VTProjectViewerPanelImageProperties::~VTProjectViewerPanelImageProperties()
{
    Destroy();
}

void VTProjectViewerPanelImageProperties::InitPanel()
{
    fileName.Init(*this);
    keepAspect.Init(*this);
    keepAspect.AddNotifyee(*this);
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::OneLine(fileName) + VTPanelRows::OneLine(keepAspect) + g;
}

void VTProjectViewerPanelImageProperties::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(fileName, VTPanelRows::OneLine(fileName));
    rows.Place(keepAspect, VTPanelRows::OneLine(keepAspect));
}

void VTProjectViewerPanelImageProperties::DestroyPanel()
{
    fileName.Destroy();
    keepAspect.Destroy();
}

void VTProjectViewerPanelImageProperties::SetValues(
    const VTOverlayImage& overlay, bool canRaise, bool canLower)
{
    (void)canRaise;
    (void)canLower;
    if (!fileName.GetContentView())
        return;
    char file[kLPathSize] = "";
    LFile::_GetFileNameFromPath(file, overlay.GetSourcePath());
    fileName.SetText(file, true);
    SetCheckSilently(keepAspect, overlay.GetMaintainAspectRatio());
}

void VTProjectViewerPanelImageProperties::EvControlCheckBoxChanged(VTControlCheckBox&)
{
    Notify(
        &VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImagePropertiesChanged);
}
