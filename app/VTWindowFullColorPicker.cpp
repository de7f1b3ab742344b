#include "app/VTWindowFullColorPicker.h"

#include "app/VTExport.h"
#include "app/VTOptions.h"
#include "app/VTPictureFilesAdd.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTrackBarImpl.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

float Clamp(float v, float lo, float hi)
{
    if (!(v >= lo)) // also not a number
        return lo;
    return v > hi ? hi : v;
}

// A colour as the solid box shows it: the high byte of each channel.
LGuiColor HighBytes(const LGuiColor& c)
{
    return LGuiColor(c.red & 0xFF00, c.green & 0xFF00, c.blue & 0xFF00);
}

const char* const kInvalidImageText = "Det går inte att läsa in bildfilen. Välj en annan bild.";
const char* const kInvalidImageTitle = "Ogiltig bildfil";

} // namespace

int VTAlphaToPercent(int alpha)
{
    alpha = std::clamp(alpha, 0, 255);
    return (alpha * 100 + 254) / 255;
}

int VTPercentToAlpha(int percent)
{
    return std::clamp(percent, 0, 100) * 255 / 100;
}

// --- colour box --------------------------------------------------------------------------------

VTColorBoxControl::VTColorBoxControl()
    : fAlive(std::make_shared<bool>(true))
{
}

VTColorBoxControl::~VTColorBoxControl()
{
    *fAlive = false;
    DestroyPaintControl();
}

void VTColorBoxControl::Init(
    LWindow& window, int id, unsigned short picked, unsigned short before, unsigned short after)
{
    if (!window.GetControlHandle(id))
        window.AddPaintControl(id);
    LPaintControl::Init(window, id);
    SetKeyboardReachable();
    cmdPicked = picked;
    cmdBefore = before;
    cmdAfter = after;
}

void VTColorBoxControl::SetColor(const LGuiColor& color)
{
    static_cast<LGuiColor&>(fColor) = color;
    Update();
}

bool VTColorBoxControl::Send(unsigned short command)
{
    std::shared_ptr<bool> alive = fAlive;
    if (parent && command)
        parent->SendCommand(command);
    return *alive && hostView;
}

void VTColorBoxControl::EvLButtonDown(int, int)
{
    OpenChooserLater();
}

bool VTColorBoxControl::EvKeyDown(LKey key)
{
    if (!key.PressesControl() || key.Modifiers() || !IsEnabled())
        return false;
    OpenChooserLater();
    return true;
}

void VTColorBoxControl::OpenChooserLater()
{
    if (bPending || !IsEnabled())
        return;
    // The chooser runs its own loop: it opens once this press has been handled, so that the
    // press does not stay with the box.
    bPending = true;
    std::shared_ptr<bool> alive = fAlive;
    LRunLoop::Post([this, alive] {
        if (*alive)
            OpenChooser();
    });
}

void VTColorBoxControl::OpenChooser()
{
    bPending = false;
    if (!hostView || !parent || !IsEnabled())
        return;
    if (!Send(cmdBefore))
        return;
    int x = 0, y = 0;
    GetPositionRealWindowPixels(x, y);
    LWindow* window = parent->IsRealWindow() ? parent : parent->GetRealParent();
    if (!window)
        window = parent;
    LGuiColorRef chosen = fColor;
    std::shared_ptr<bool> alive = fAlive;
    const bool taken = chosen.OpenColorPickerDialog(*window, x, y + mHeight);
    // The box, or the window under it, may have gone while the chooser was open.
    if (!*alive || !hostView || parent->IsClosed())
        return;
    if (taken && !(static_cast<const LGuiColor&>(chosen) == fColor)) {
        static_cast<LGuiColor&>(fColor) = chosen;
        Update();
        if (!Send(cmdPicked))
            return;
    }
    Send(cmdAfter);
}

void VTColorBoxControl::Paint(LPaintContext& context)
{
    TransformReset(context);
    FillRectAA(context, fColor, 0, 0, float(mWidth), float(mHeight));
    DrawFrameAA(context, LGuiColor(0, 0, 0), 0.5f, 0.5f, mWidth - 1.0f, mHeight - 1.0f, 1);
    // With the keyboard, a frame in the focus colour inside the black one.
    if (ShowsKeyboardFocus()) {
        const float line = float(2 * std::max(1.0, GetBackingScale()));
        DrawFrameAA(context, GetFocusIndicatorColor(), 1 + line / 2, 1 + line / 2,
            mWidth - 2 - line, mHeight - 2 - line, line);
    }
}

// --- the picker --------------------------------------------------------------------------------

VTWindowFullColorPicker::VTWindowFullColorPicker(const LBrushInfo* brush)
    : fFileName("Filnamn för bakgrundsbild:")
{
    if (brush)
        fBrush = *brush;
}

VTWindowFullColorPicker::~VTWindowFullColorPicker() = default;

void VTWindowFullColorPicker::InitDialog()
{
    CoolButtonContainerInit(*this);
    AddRadioButtonGroup();
    AddRadioButton(kIdNoFill, "Ingen fyllning");
    AddRadioButton(kIdSolid, "Fast:");
    AddRadioButton(kIdGradient, "Lutning:");
    AddRadioButton(kIdImage, "Bild:");

    fSolidBox.Init(*this, kIdSolidBox, kCmdSolidPicked, kCmdColorBefore, kCmdColorAfter);
    AddStatic(kIdSolidOpacityLabel, "Opacitet:");
    AddHTrackBar(kIdSolidOpacity, LTrackBarFlags {});
    TBInit(kIdSolidOpacity, 0, 100);
    TBSetPosition(kIdSolidOpacity, 100);
    HandleHTBChange(kIdSolidOpacity, kCmdSolidOpacityChanged);
    HandleHTBEnd(kIdSolidOpacity, kCmdSolidPicked);

    AddPullDownList(kIdGradientKind);
    PDLAddString(kIdGradientKind, "Linjär", LBrushInfoKindLinearGradient);
    PDLAddString(kIdGradientKind, "Radiella", LBrushInfoKindRadialGradient);
    PDLSetCurSel(kIdGradientKind, 0);
    HandlePDLSelChange(kIdGradientKind, kCmdGradientKindChanged);

    AddStatic(kIdDirectionLabel, "Riktning:");
    fDirection.Init(*this, kIdDirection, kCmdDirectionMoved, kCmdDirectionMoved,
        kCmdDirectionPressed, kCmdDirectionReleased);
    fDirection.SetStart(LPointTemplate<float>(0.0f, 0.5f));
    fDirection.SetEnd(LPointTemplate<float>(1.0f, 0.5f));
    AddStatic(kIdStopsLabel, "Stannar:");
    fStops.Init(*this, kIdStops, kCmdStopDeleted, kCmdStopMoved, kCmdStopPressed, kCmdStopReleased);
    AddCoolButtonTextOnly(kIdDeleteStop, "X");
    AddStatic(kIdStopColorLabel, "Stopppunkt:");
    fStopBox.Init(*this, kIdStopBox, kCmdStopPicked, kCmdColorBefore, kCmdColorAfter);
    AddStatic(kIdStopOpacityLabel, "Opacitet:");
    AddHTrackBar(kIdStopOpacity, LTrackBarFlags {});
    TBInit(kIdStopOpacity, 0, 100);
    TBSetPosition(kIdStopOpacity, 100);
    HandleHTBChange(kIdStopOpacity, kCmdStopOpacityChanged);
    HandleHTBEnd(kIdStopOpacity, kCmdStopPicked);

    AddCoolButtonTextOnly(kIdBrowse, "Bläddra i bild som bakgrund");
    fFileName.Init(*this);

    if (!fBrush) {
        CheckFillType(kIdNoFill);
        ShowSolidColour();
        fSolidBox.Disable();
        EnableControl(kIdSolidOpacity, false);
        EnableGradientControls(false);
        EnableControl(kIdBrowse, false);
        EnableFileName(false);
    } else {
        InitControlValues();
    }
}

void VTWindowFullColorPicker::DestroyDialog()
{
    fSolidBox.DestroyPaintControl();
    fStopBox.DestroyPaintControl();
    fDirection.DestroyPaintControl();
    fStops.DestroyPaintControl();
    fFileName.Destroy();
    CoolButtonContainerDestroy(*this);
}

int VTWindowFullColorPicker::CheckedFillType()
{
    for (int id : { kIdNoFill, kIdSolid, kIdGradient, kIdImage })
        if (GetRadioCheck(id))
            return id;
    return 0;
}

void VTWindowFullColorPicker::CheckFillType(int id)
{
    for (int other : { kIdNoFill, kIdSolid, kIdGradient, kIdImage })
        if (other != id)
            SetRadioCheck(other, false);
    SetRadioCheck(id, true);
}

void VTWindowFullColorPicker::SetBrush(const LBrushInfo* brush)
{
    if (!brush) {
        fBrush.reset();
        ShowFileName();
        CheckFillType(kIdImage);
        ShowSolidColour();
        fSolidBox.Disable();
        EnableControl(kIdSolidOpacity, false);
        EnableGradientControls(false);
        EnableControl(kIdBrowse, true);
        EnableFileName(true);
        return;
    }
    fBrush = *brush;
    InitControlValues();
}

void VTWindowFullColorPicker::SetSolidColour(const LGuiColorAlpha& colour)
{
    fSolidColour = colour;
    if (GetContentView() && CheckedFillType() != kIdSolid)
        ShowSolidColour();
}

void VTWindowFullColorPicker::ShowSolidColour()
{
    fSolidBox.SetColor(HighBytes(fSolidColour));
    TBSetPosition(kIdSolidOpacity, VTAlphaToPercent(fSolidColour.alpha));
}

void VTWindowFullColorPicker::InitControlValues()
{
    if (!fBrush)
        return;
    LBrushInfo& b = *fBrush;
    // A brush read from a file may hold more stops than a brush can, or values out of range.
    b.stopCount = std::min<uint32_t>(b.stopCount, kLBrushInfoMaxStops);
    switch (b.kind) {
    case LBrushInfoKindSolid:
        CheckFillType(kIdSolid);
        fSolidColour = b.color;
        ShowSolidColour();
        fStops.ClearStops();
        fDirection.SetStart(LPointTemplate<float>(0.0f, 0.5f));
        fDirection.SetEnd(LPointTemplate<float>(1.0f, 0.5f));
        break;
    case LBrushInfoKindLinearGradient:
    case LBrushInfoKindRadialGradient: {
        ShowSolidColour();
        auto point = [&](int i) { return Clamp((Clamp(b.geometry[i], -1, 1) + 1) * 0.5f, 0, 1); };
        InitStopControlValues(
            LPointTemplate<float>(point(0), point(1)), LPointTemplate<float>(point(2), point(3)));
        PDLSetCurSel(kIdGradientKind,
            PDLFindItemData(kIdGradientKind, b.kind == LBrushInfoKindRadialGradient ? 3 : 2));
        break;
    }
    default:
        CheckFillType(kIdNoFill);
        ShowSolidColour();
        break;
    }
    MakeDefaultStops();
    ShowFileName();
    UpdateStopControls();
    const int type = CheckedFillType();
    EnableGradientControls(type == kIdGradient);
    fSolidBox.Enable();
    if (type != kIdSolid)
        fSolidBox.Disable();
    EnableControl(kIdSolidOpacity, type == kIdSolid);
    EnableControl(kIdBrowse, type == kIdImage);
    EnableFileName(type == kIdImage);
    fDirection.Update();
    fStops.Update();
}

void VTWindowFullColorPicker::InitStopControlValues(
    const LPointTemplate<float>& start, const LPointTemplate<float>& end)
{
    fStops.ClearStops();
    CheckFillType(kIdGradient);
    PDLSetCurSel(kIdGradientKind, 0);
    if (fBrush) {
        const LBrushInfo& b = *fBrush;
        const uint32_t n = std::min<uint32_t>(b.stopCount, kLBrushInfoMaxStops);
        for (uint32_t i = 0; i < n; ++i) {
            VTGradientStop* stop = fStops.AddStop(Clamp(b.stopPositions[i], 0, 1), b.stopColors[i]);
            if (!fStops.GetSelectedStop())
                fStops.SetSelectedStop(stop);
        }
    }
    fDirection.SetStart(start);
    fDirection.SetEnd(end);
}

void VTWindowFullColorPicker::MakeDefaultStops()
{
    if (fStops.GetStopCount() > 0)
        return;
    fStops.AddStop(1.0f, LGuiColorAlpha(0xFF00, 0xFF00, 0xFF00, 255));
    fStops.SetSelectedStop(fStops.AddStop(0.0f, LGuiColorAlpha(0, 0, 0, 255)));
    fStops.Update();
}

void VTWindowFullColorPicker::ChangeFillType(unsigned short id)
{
    bOpacityDrag = false;
    if (id == kIdGradient) {
        // A gradient needs stops, also after an image fill that never had any.
        MakeDefaultStops();
        UpdateStopControls();
    }
    EnableGradientControls(id == kIdGradient);
    fSolidBox.Enable();
    if (id != kIdSolid)
        fSolidBox.Disable();
    EnableControl(kIdSolidOpacity, id == kIdSolid);
    EnableControl(kIdBrowse, id == kIdImage);
    EnableFileName(id == kIdImage);
}

void VTWindowFullColorPicker::EnableGradientControls(bool enable)
{
    if (enable) {
        fDirection.Enable();
        fStopBox.Enable();
        fStops.Enable();
    } else {
        fDirection.Disable();
        fStopBox.Disable();
        fStops.Disable();
    }
    EnableControl(kIdDeleteStop, enable && fStops.GetStopCount() >= 2);
    EnableControl(kIdStopOpacity, enable);
    EnableControl(kIdGradientKind, enable);
}

void VTWindowFullColorPicker::UpdateStopControls()
{
    if (VTGradientStop* stop = fStops.GetSelectedStop()) {
        fStopBox.SetColor(stop->color);
        TBSetPosition(kIdStopOpacity, VTAlphaToPercent(stop->color.alpha));
    }
    EnableControl(kIdDeleteStop, CheckedFillType() == kIdGradient && fStops.GetStopCount() >= 2);
}

void VTWindowFullColorPicker::TakeStopColor()
{
    VTGradientStop* stop = fStops.GetSelectedStop();
    if (!stop)
        return;
    stop->color = LGuiColorAlpha(
        fStopBox.GetColor(), uint8_t(VTPercentToAlpha(TBGetPosition(kIdStopOpacity))));
    fStops.Update();
}

void VTWindowFullColorPicker::Apply()
{
    LBrushInfo brush;
    switch (CheckedFillType()) {
    case kIdSolid:
        brush.kind = LBrushInfoKindSolid;
        brush.color = LGuiColorAlpha(
            fSolidBox.GetColor(), uint8_t(VTPercentToAlpha(TBGetPosition(kIdSolidOpacity))));
        fSolidColour = brush.color;
        fBrush = brush;
        break;
    case kIdGradient: {
        const int sel = PDLGetCurSel(kIdGradientKind);
        const unsigned long data = sel >= 0 ? PDLGetItemData(kIdGradientKind, sel) : 0;
        brush.kind = data == LBrushInfoKindRadialGradient ? LBrushInfoKindRadialGradient
                                                          : LBrushInfoKindLinearGradient;
        fStops.SortStops();
        uint32_t n = 0;
        for (const VTGradientStop& s : fStops.GetStops()) {
            if (n == uint32_t(kLBrushInfoMaxStops))
                break;
            brush.stopPositions[n] = s.position;
            brush.stopColors[n] = s.color;
            ++n;
        }
        brush.stopCount = n;
        const LPointTemplate<float>& start = fDirection.GetStart();
        const LPointTemplate<float>& end = fDirection.GetEnd();
        brush.geometry[0] = 2 * start.x - 1;
        brush.geometry[1] = 2 * start.y - 1;
        brush.geometry[2] = 2 * end.x - 1;
        brush.geometry[3] = 2 * end.y - 1;
        fBrush = brush;
        break;
    }
    case kIdNoFill:
        brush.kind = LBrushInfoKindNone;
        brush.color = LGuiColorAlpha(0, 0, 0, 255);
        fBrush = brush;
        break;
    case kIdImage:
        fBrush.reset(); // the image is carried by its path and buffer
        break;
    default:
        break;
    }
    Notify(&VTWindowFullColorPickerNotifyee::EvBackgroundColorChanged, *this);
}

bool VTWindowFullColorPicker::IsSliderDragged(int id) const
{
    auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id));
    return bar && bar->cell().isTracking();
}

void VTWindowFullColorPicker::Command(int id, int code)
{
    switch (id) {
    case kIdNoFill:
    case kIdSolid:
    case kIdImage:
        ChangeFillType(uint16_t(id));
        Apply();
        return;
    case kIdGradient:
        ChangeFillType(kIdGradient);
        [[fallthrough]];
    case kCmdGradientKindChanged: {
        const int sel = PDLGetCurSel(kIdGradientKind);
        const bool radial
            = sel >= 0 && PDLGetItemData(kIdGradientKind, sel) == LBrushInfoKindRadialGradient;
        fDirection.SetStart(LPointTemplate<float>(radial ? 0.5f : 0.0f, 0.5f));
        fDirection.Update();
        Apply();
        return;
    }
    case kCmdSolidPicked:
        if (bOpacityDrag) {
            bOpacityDrag = false; // the end of a drag: its steps were reported
            return;
        }
        Apply();
        return;
    case kCmdDirectionMoved:
        if (bStopDrag) {
            bStopDrag = false;
            return;
        }
        Apply();
        return;
    case kCmdStopDeleted:
        bOpacityDrag = bStopDrag = false;
        if (fStops.GetSelectedStop()) {
            Apply();
            UpdateStopControls();
        }
        return;
    case kCmdStopMoved:
        bStopDrag = true;
        bChangeStart = false;
        Apply();
        return;
    case kCmdStopPressed:
        bChangeStart = true;
        bOpacityDrag = false;
        bStopDrag = true;
        UpdateStopControls();
        Apply();
        return;
    case kCmdStopReleased:
        bStopDrag = false;
        bChangeStart = true;
        return;
    case kIdDeleteStop:
        bOpacityDrag = bStopDrag = false;
        if (fStops.GetSelectedStop() && fStops.GetStopCount() >= 2) {
            fStops.DeleteStop(fStops.GetSelectedStop());
            fStops.Update();
            Apply();
            UpdateStopControls();
        }
        return;
    case kCmdStopPicked:
        if (bStopDrag) {
            // The end of a stop-opacity drag: its steps were reported already.
            bStopDrag = false;
            return;
        }
        if (!fStops.GetSelectedStop())
            return;
        TakeStopColor();
        Apply();
        return;
    case kCmdSolidOpacityChanged:
        bChangeStart = !bOpacityDrag;
        bOpacityDrag = true;
        Apply();
        // A change by keys or the wheel is a step of its own: no release will end it.
        if (!IsSliderDragged(kIdSolidOpacity))
            bOpacityDrag = false;
        return;
    case kCmdStopOpacityChanged:
        bChangeStart = !bStopDrag;
        bStopDrag = true;
        if (fStops.GetSelectedStop()) {
            TakeStopColor();
            Apply();
        }
        if (!IsSliderDragged(kIdStopOpacity))
            bStopDrag = false;
        return;
    case kIdBrowse:
        CmImageSelect();
        return;
    default:
        LEmbeddedWindow::Command(id, code);
        return;
    }
}

// --- the background image ----------------------------------------------------------------------

bool VTWindowFullColorPicker::TakeBkImageBuffer(LImageBuffer& buffer)
{
    if (!fImage.IsValid())
        return false;
    buffer.Assign(fImage);
    return true;
}

void VTWindowFullColorPicker::ShowFileName()
{
    const char* name = szImagePath.c_str();
    if (const char* slash = std::strrchr(name, '/'))
        name = slash + 1;
    fFileName.SetText(name, true);
}

void VTWindowFullColorPicker::EnableFileName(bool enable)
{
    fFileName.EnableControls(enable);
}

bool VTWindowFullColorPicker::LoadBackgroundImage(const char* path)
{
    LImageCodec codec;
    bool ok = path && codec.InitFromFilePath(path)
        && VTImageCodecVetoer().IsEnabled(codec, LImageIOTypeLoad);
    // Read on a worker: a photograph of many megapixels takes seconds, which the window spends
    // answering, with "Avbryt" at hand.
    VTProcessPictureFileRead read;
    LProcessResult result = LProcessResultError;
    if (ok) {
        read.path = path;
        result = VTReadPictureFile(GetContentView(), "Läsa in bakgrundsbild", read);
        ok = result == LProcessResultSuccess;
    }
    if (result == LProcessResultStopped)
        return false;
    LImageBuffer& image = read.picture;
    if (!ok) {
        LAlert alert(GetContentView(), kInvalidImageText, kInvalidImageTitle);
        alert.type = 0;
        alert._Run();
        return false;
    }
    szImagePath = path;
    fImage.Assign(image);
    ShowFileName();
    Apply();
    return true;
}

void VTWindowFullColorPicker::CmImageSelect()
{
    std::string folder;
    VTOptions::RecentFolderImageGet(folder);
    std::string path;
    LStringLongTemplate<char> filter;
    VTImageCodecVetoer vetoer;
    LImageCodecFilterList().Init(filter, LImageIOTypeLoad, vetoer);
    // The pane may go while the panel runs its own loop.
    LUiRef<LView> hold(GetContentView());
    if (!LFile::BrowseReadFilePath(
            GetContentView(), path, "Välj bakgrundsbild", folder, filter.GetString(), nullptr))
        return;
    if (IsClosed() || !GetContentView())
        return;
    LUserSettingSetString(kVTOptionsSection, kVTOptionsRecentFolderImage, folder.c_str());
    LoadBackgroundImage(path.c_str());
}

// --- layout ------------------------------------------------------------------------------------

int VTWindowFullColorPicker::ComputeHeightPixels() const
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int g = R(2 * cw) / 2;
    return R(22 * cw) + R(1.29 * ch) + R(0.59 * ch) + R(1.23 * ch) + 15 * g
        + 3 * (R(5 * cw) + R(1.23 * ch));
}

void VTWindowFullColorPicker::LayoutControls(int, int, int width, int)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int g = R(2 * cw) / 2;
    const int row = R(1.23 * ch);
    const int sliderHeight = R(1.29 * ch);
    const int box = R(5 * cw);
    const int square = R(22 * cw);
    int L = 0;
    for (const char* text : { "Ingen fyllning", "Fast:", "Lutning:", "Stopppunkt:", "Bild:" })
        L = std::max(L, MeasureStaticTextWidthPixels(text) + R(2.63 * cw));
    const int I = row + g;
    auto centred = [&](int id, int x, int y, int w, int h) {
        MoveControlPixels(id, x, y + (h - row) / 2, w, row);
    };

    int y = g;
    MoveControlPixels(kIdNoFill, g, y, L, row);
    y += row + g;

    centred(kIdSolid, g, y, L, box);
    MoveControlPixels(kIdSolidBox, L + row + g, y, box, box);
    y += box + g;

    centred(kIdSolidOpacityLabel, I, y, L, sliderHeight);
    MoveControlPixels(kIdSolidOpacity, I + L, y, std::max(0, width - I - L), sliderHeight);
    y += sliderHeight + 2 * g;

    MoveControlPixels(kIdGradient, g, y, L, row);
    const int listX = L + g + row;
    MoveControlPixels(kIdGradientKind, listX, y, std::max(0, width - g - listX), row);
    y += row + 2 * g;

    MoveControlPixels(kIdDirectionLabel, I, y, L, row);
    const int stopsX = I + square + g;
    MoveControlPixels(kIdStopsLabel, stopsX, y, MeasureStaticTextWidthPixels("Stannar:"), row);
    y += row + g;

    MoveControlPixels(kIdDirection, I, y, square, square);
    MoveControlPixels(kIdStops, stopsX, y, R(6 * cw), square);
    y += square + g;

    centred(kIdStopColorLabel, I, y, L, box);
    MoveControlPixels(kIdStopBox, I + L, y, box, box);
    MoveControlPixels(kIdDeleteStop, I + L + box + g, y, box, box);
    y += box + g;

    centred(kIdStopOpacityLabel, I, y, L, sliderHeight);
    MoveControlPixels(kIdStopOpacity, I + L, y, std::max(0, width - I - L), sliderHeight);
    y += sliderHeight + g;

    centred(kIdImage, g, y, L, box);
    MoveControlPixels(
        kIdBrowse, L + row + g, y, MeasureButtonWidthPixels("Bläddra i bild som bakgrund"), box);
    y += box + g;

    fFileName.MovePixels(I, y, std::max(0, width - I), R(0.59 * ch) + row);
    ShowFileName(); // shortened again for the new width
}
