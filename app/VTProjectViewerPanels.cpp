#include "app/VTProjectViewerPanels.h"

#include "app/VTLabelLayout.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "lfw/gen/LFile.h"
#include "lfw/mac/LGuiFont.h"

#include <cstdio>
#include <cstring>

namespace {

// Sets a check box of one of the panel's controls without its report.
void SetCheckSilently(VTControlCheckBox& box, bool on)
{
    box.bNotify = false;
    box.SetCheck(1000, on);
    box.bNotify = true;
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
    selector.Init(*this);
    selector.AddNotifyee(*this);
    pages.Init(*this);
    pages.AddNotifyee(*this);
    sameFormat.Init(*this);
    sameFormat.AddNotifyee(*this);
    MeasurePanel();
    UpdateDetails();
}

void VTProjectViewerPanelLabelLayout::MeasurePanel()
{
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::OneLine(name) + VTPanelRows::OneLine(selectButton)
        + VTPanelRows::OneLine(editButton) + VTPanelRows::TemplateSelector(selector)
        + VTPanelRows::Paginator(pages) + VTPanelRows::OneLine(sameFormat) + g;
}

void VTProjectViewerPanelLabelLayout::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(name, VTPanelRows::OneLine(name));
    rows.Place(selectButton, VTPanelRows::OneLine(selectButton));
    rows.Place(editButton, VTPanelRows::OneLine(editButton));
    rows.Place(selector, VTPanelRows::TemplateSelector(selector));
    rows.Place(pages, VTPanelRows::Paginator(pages));
    rows.Place(sameFormat, VTPanelRows::OneLine(sameFormat));
}

void VTProjectViewerPanelLabelLayout::DestroyPanel()
{
    name.Destroy();
    selectButton.Destroy();
    editButton.Destroy();
    selector.Destroy();
    pages.Destroy();
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
        selectedDesign = nullptr;
        unsigned long page = 0;
        selector.SetSelectedProjectTemplate(nullptr, nullptr, page);
        ShowPage(0);
    }
}

void VTProjectViewerPanelLabelLayout::ShowPage(unsigned long page)
{
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    pages.iCurrentPage = page;
    pages.iPageCount = layout ? layout->pages.GetCount() : 0;
    if (pages.GetContentView()) {
        pages.EnableControls();
        pages.RedrawWindow();
    }
}

void VTProjectViewerPanelLabelLayout::SetSelectedProjectTemplate(VTProjectTemplate* design)
{
    selectedDesign = project ? design : nullptr;
    if (!project || !selector.GetContentView())
        return;
    unsigned long page = 0;
    selector.SetSelectedProjectTemplate(project, selectedDesign, page);
    ShowPage(page);
}

void VTProjectViewerPanelLabelLayout::EvControlPaginatorPreviousClicked()
{
    if (!project)
        return;
    unsigned long page = 0;
    selector.PreviousPage(project, page);
    if (page > 0)
        ShowPage(page);
}

void VTProjectViewerPanelLabelLayout::EvControlPaginatorNextClicked()
{
    if (!project)
        return;
    unsigned long page = 0;
    selector.NextPage(project, page);
    ShowPage(page);
}

void VTProjectViewerPanelLabelLayout::EvControlTemplateSelectorSelectionChanged(
    VTLabelLayoutTemplate* t)
{
    Notify(
        &VTProjectViewerPanelLabelLayoutNotifyee::EvProjectViewerPanelLabelLayoutSelectionChanged,
        t);
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
    picker.Init(*this);
    picker.AddNotifyee(*this);
    MeasurePanel();
}

void VTProjectViewerPanelTemplate::MeasurePanel()
{
    iPanelHeight = 2 * VTPanelRows::Gap(*this) + picker.ComputeHeightPixels();
}

void VTProjectViewerPanelTemplate::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(picker, picker.ComputeHeightPixels());
}

void VTProjectViewerPanelTemplate::DestroyPanel()
{
    picker.Destroy();
}

void VTProjectViewerPanelTemplate::EvBackgroundColorChanged(VTWindowFullColorPicker& p)
{
    VTBackgroundFill fill;
    if (const LBrushInfo* b = p.GetBrush())
        fill.brush.Reset(new LBrushInfo(*b));
    fill.path = p.GetBkImagePath();
    p.TakeBkImageBuffer(fill.image);
    // A press or a single change starts an undo step; the further steps of a drag do not.
    const bool interim = !p.IsChangeStart() && (p.IsOpacityDrag() || p.IsStopDrag());
    Notify(
        &VTProjectViewerPanelTemplateNotifyee::EvProjectViewerPanelTemplateBackgroundColourChanged,
        fill, interim);
}

void VTProjectViewerPanelTemplate::SetTitle(const char* title)
{
    fTitle = title ? title : "";
    if (fTitleBar.IsBound())
        fTitleBar.Update();
}

void VTProjectViewerPanelTemplate::SetBackground(
    const LBrushInfo* b, const char* path, const LGuiColorAlpha& solid)
{
    if (!picker.GetContentView())
        return;
    picker.SetSolidColour(solid);
    if (b) {
        picker.SetBrush(b);
    } else if (path && path[0]) {
        picker.SetBrush(nullptr); // an image fill
    } else {
        const LBrushInfo none;
        picker.SetBrush(&none);
    }
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
    size.Init(*this);
    size.AddNotifyee(*this);
    fontStyle.Init(*this);
    fontStyle.AddNotifyee(*this);
    // The style buttons follow the chosen family.
    fontList.AddNotifyee(fontStyle);
    textColour.Init(*this);
    textColour.AddNotifyee(*this);
    backgroundColour.Init(*this);
    backgroundColour.AddNotifyee(*this);
    alignment.Init(*this);
    alignment.AddNotifyee(*this);
    circular.Init(*this);
    circular.AddNotifyee(*this);
    transform.Init(*this);
    transform.AddNotifyee(*this);
    SetCheckSilently(circular, false);
    UpdatePanelHeight();
}

void VTProjectViewerPanelTextProperties::MeasurePanel()
{
    UpdatePanelHeight();
}

void VTProjectViewerPanelTextProperties::UpdatePanelHeight()
{
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::TextEdit(text) + VTPanelRows::OneLine(fontList)
        + VTPanelRows::OneLine(size) + VTPanelRows::FontStyle(fontStyle)
        + VTPanelRows::OneLine(textColour) + VTPanelRows::OneLine(backgroundColour)
        + VTPanelRows::Alignment(alignment) + VTPanelRows::OneLine(circular)
        + VTPanelRows::Transform(transform) + g;
}

void VTProjectViewerPanelTextProperties::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(text, VTPanelRows::TextEdit(text));
    rows.Place(fontList, VTPanelRows::OneLine(fontList));
    rows.Place(size, VTPanelRows::OneLine(size));
    rows.Place(fontStyle, VTPanelRows::FontStyle(fontStyle));
    rows.Place(textColour, VTPanelRows::OneLine(textColour));
    rows.Place(backgroundColour, VTPanelRows::OneLine(backgroundColour));
    rows.Place(alignment, VTPanelRows::Alignment(alignment));
    rows.Place(circular, VTPanelRows::OneLine(circular));
    rows.Place(transform, VTPanelRows::Transform(transform));
}

void VTProjectViewerPanelTextProperties::DestroyPanel()
{
    text.Destroy();
    fontList.Destroy();
    size.Destroy();
    fontStyle.Destroy();
    textColour.Destroy();
    backgroundColour.Destroy();
    alignment.Destroy();
    circular.Destroy();
    transform.Destroy();
}

void VTProjectViewerPanelTextProperties::SetValues(
    const VTOverlayText& overlay, bool canRaise, bool canLower)
{
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
    size.UDSetInt(1001, VTClampTextSize(font.GetSize()));
    fontStyle.SetCheck(1000, font.IsBold());
    fontStyle.SetCheck(1001, font.IsItalic());
    fontStyle.SetCheck(1002, font.IsUnderlined());
    fontStyle.UpdateBoldItalicButtonsState(face);
    textColour.SetColourWithAlpha(overlay.GetTextColour());
    backgroundColour.SetColourWithAlpha(overlay.GetBackgroundColour());
    // The same overlay's unchanged text stays as the box holds it: giving a long text again would
    // have the box lay it all out again (and forget its undo steps).
    LStringLongTemplate<char> shownText;
    if (textShownOf == &overlay)
        text.GetEditText(1000, shownText);
    if (textShownOf != &overlay || std::strcmp(shownText.c_str(), overlay.GetText()) != 0)
        text.SetEditText(1000, overlay.GetText());
    textShownOf = &overlay;
    alignment.ButtonDownAlignment(overlay.GetAlignment());
    SetCheckSilently(circular, overlay.GetType() == 2);
    // Circular text sits at the top or the bottom of its circle.
    alignment.EnableUpDownButtons(overlay.GetType() == 2);
    transform.EnableRaiseLowerControls(canRaise, canLower);
}

void VTProjectViewerPanelTextProperties::GetValues(VTOverlayText& overlay) const
{
    WriteValues(&overlay, overlay);
}

bool VTProjectViewerPanelTextProperties::Differs(const VTOverlayText& overlay) const
{
    return WriteValues(nullptr, overlay);
}

bool VTProjectViewerPanelTextProperties::WriteValues(
    VTOverlayText* target, const VTOverlayText& overlay) const
{
    auto& self = const_cast<VTProjectViewerPanelTextProperties&>(*this);
    bool differs = false;
    // Each value that differs is written (when there is a target) and told at once.
    auto written = [&] {
        differs = true;
        if (target)
            target->NotifyPropertiesChanged();
    };
    char face[kLPathSize] = "";
    self.fontList.PDLGetText(1001, face);
    if (!face[0])
        overlay.GetFont().GetName(face, sizeof face);
    const LGuiFontEx font(
        LGuiFont(VTClampTextSize(self.size.UDGetInt(1001)), self.fontStyle.GetCheck(1000),
            self.fontStyle.GetCheck(1002), self.fontStyle.GetCheck(1001), face, false));
    if (!(font == overlay.GetFont())) {
        if (target)
            target->SetFont(font);
        written();
    }
    const LPFB8G8R8A8 fg = textColour.GetColourWithAlpha();
    const LPFB8G8R8A8 bg = backgroundColour.GetColourWithAlpha();
    if (std::memcmp(&fg, &overlay.GetTextColour(), sizeof fg) != 0) {
        if (target)
            target->SetTextColour(fg);
        written();
    }
    if (std::memcmp(&bg, &overlay.GetBackgroundColour(), sizeof bg) != 0) {
        if (target)
            target->SetBackgroundColour(bg);
        written();
    }
    // Compared before the line ends are made Unix ones, so that a text differing only in them is
    // still written.
    LStringLongTemplate<char> typed;
    self.text.GetEditText(1000, typed);
    if (std::strcmp(typed.c_str(), overlay.GetText()) != 0) {
        if (target) {
            VTConvertToUnixEOL(typed);
            target->SetText(typed.c_str());
        }
        written();
    }
    return differs;
}

void VTProjectViewerPanelTextProperties::EnableControls()
{
    for (LWindow* w : { static_cast<LWindow*>(&fontList), static_cast<LWindow*>(&size),
             static_cast<LWindow*>(&fontStyle), static_cast<LWindow*>(&textColour),
             static_cast<LWindow*>(&backgroundColour), static_cast<LWindow*>(&alignment),
             static_cast<LWindow*>(&circular), static_cast<LWindow*>(&transform) })
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

void VTProjectViewerPanelTextProperties::ReportPendingChanges()
{
    // Both are taken: the change writes every value of the panel.
    const bool typed = text.TakePendingReport();
    const bool sized = size.TakePendingReport();
    if (typed || sized)
        Changed();
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

void VTProjectViewerPanelTextProperties::EvNumericalInputChanged(VTControlNumericalInput&)
{
    Changed();
}

void VTProjectViewerPanelTextProperties::EvFontStyleChanged(VTControlFontStyle&)
{
    Changed();
}

void VTProjectViewerPanelTextProperties::EvChangeAlignment(VTControlAlignment&, LAlignment a)
{
    Notify(
        &VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextAlignmentChanged, a);
}

void VTProjectViewerPanelTextProperties::EvRotateLeft(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextRotateLeft);
}

void VTProjectViewerPanelTextProperties::EvRotateRight(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextRotateRight);
}

void VTProjectViewerPanelTextProperties::EvFlipHorizontal(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextFlipHorizontal);
}

void VTProjectViewerPanelTextProperties::EvFlipVertical(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextFlipVertical);
}

void VTProjectViewerPanelTextProperties::EvRaise(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextRaise);
}

void VTProjectViewerPanelTextProperties::EvLower(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelTextPropertiesNotifyee::EvProjectViewerPanelTextLower);
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
    transform.Init(*this);
    transform.AddNotifyee(*this);
    MeasurePanel();
}

void VTProjectViewerPanelImageProperties::MeasurePanel()
{
    const int g = VTPanelRows::Gap(*this);
    iPanelHeight = g + VTPanelRows::OneLine(fileName) + VTPanelRows::OneLine(keepAspect)
        + VTPanelRows::Transform(transform) + g;
}

void VTProjectViewerPanelImageProperties::LayoutPanelControls(int x, int y, int width, int)
{
    VTPanelRows rows(*this, x, y, width);
    rows.Place(fileName, VTPanelRows::OneLine(fileName));
    rows.Place(keepAspect, VTPanelRows::OneLine(keepAspect));
    rows.Place(transform, VTPanelRows::Transform(transform));
}

void VTProjectViewerPanelImageProperties::DestroyPanel()
{
    fileName.Destroy();
    keepAspect.Destroy();
    transform.Destroy();
}

void VTProjectViewerPanelImageProperties::SetValues(
    const VTOverlayImage& overlay, bool canRaise, bool canLower)
{
    if (!fileName.GetContentView())
        return;
    transform.EnableRaiseLowerControls(canRaise, canLower);
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

void VTProjectViewerPanelImageProperties::EvRotateLeft(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageRotateLeft);
}

void VTProjectViewerPanelImageProperties::EvRotateRight(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageRotateRight);
}

void VTProjectViewerPanelImageProperties::EvFlipHorizontal(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageFlipHorizontal);
}

void VTProjectViewerPanelImageProperties::EvFlipVertical(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageFlipVertical);
}

void VTProjectViewerPanelImageProperties::EvRaise(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageRaise);
}

void VTProjectViewerPanelImageProperties::EvLower(VTControlTransform&)
{
    Notify(&VTProjectViewerPanelImagePropertiesNotifyee::EvProjectViewerPanelImageLower);
}
