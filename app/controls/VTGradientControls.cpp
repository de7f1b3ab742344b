#include "app/controls/VTGradientControls.h"

#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LGuiBrush.h"
#include "lfw/mac/LMacWindow.h"

#include <algorithm>
#include <cmath>

namespace {

const LGuiColor kOrange(0xFF00, 0xC800, 0);
const LGuiColor kBlack(0, 0, 0);
const LGuiColor kWhite(0xFF00, 0xFF00, 0xFF00);
const LGuiColor kFrameGrey = LGuiColor::FromRGB8(180, 180, 180);

float Clamp01(float v)
{
    if (!(v > 0.0f)) // also not a number
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

} // namespace

// --- direction control -------------------------------------------------------------------------

VTGradientPointControl::VTGradientPointControl()
    : fAlive(std::make_shared<bool>(true))
{
}

VTGradientPointControl::~VTGradientPointControl()
{
    *fAlive = false;
    DestroyPaintControl();
}

void VTGradientPointControl::Init(LWindow& window, int id, unsigned short startMoved,
    unsigned short endMoved, unsigned short pressed, unsigned short released)
{
    if (!window.GetControlHandle(id))
        window.AddPaintControl(id);
    LPaintControl::Init(window, id);
    cmdStartMoved = startMoved;
    cmdEndMoved = endMoved;
    cmdPressed = pressed;
    cmdReleased = released;
}

bool VTGradientPointControl::Send(unsigned short command)
{
    std::shared_ptr<bool> alive = fAlive;
    if (parent && command)
        parent->SendCommand(command);
    return *alive && hostView;
}

void VTGradientPointControl::ApplySnapping(LPointTemplate<float>& p) const
{
    const int m = Margin();
    const float tw = float(mWidth - 2 * m), th = float(mHeight - 2 * m);
    if (tw <= 0 || th <= 0)
        return;
    const float tolX = 10.0f / tw, tolY = 10.0f / th;
    static const float anchors[3] = { 0.0f, 0.5f, 1.0f };
    const float* ax = nullptr;
    const float* ay = nullptr;
    for (const float& a : anchors)
        if (!ax && std::fabs(p.x - a) <= tolX)
            ax = &a;
    for (const float& a : anchors)
        if (!ay && std::fabs(p.y - a) <= tolY)
            ay = &a;
    if (ax && ay)
        p = LPointTemplate<float>(*ax, *ay);
}

void VTGradientPointControl::EvMouseMove(int x, int y)
{
    const int m = Margin();
    const float tw = float(mWidth - 2 * m), th = float(mHeight - 2 * m);
    if (tw <= 0 || th <= 0)
        return;
    const float px = float(x - m), py = float(y - m);
    if (iDrag == HandleNone) {
        auto near = [&](const LPointTemplate<float>& p) {
            return std::fabs(px - p.x * tw) <= 10.0f && std::fabs(py - p.y * th) <= 10.0f;
        };
        iHover = near(fStart) ? HandleStart : near(fEnd) ? HandleEnd : HandleNone;
    } else {
        LPointTemplate<float> p(Clamp01(px / tw), Clamp01(py / th));
        ApplySnapping(p);
        if (iDrag == HandleStart)
            fStart = p;
        else
            fEnd = p;
        if (!Send(iDrag == HandleStart ? cmdStartMoved : cmdEndMoved))
            return;
    }
    Update();
}

void VTGradientPointControl::EvLButtonDown(int, int)
{
    iDrag = iHover;
    if (iDrag == HandleNone)
        return;
    SetCapture();
    Send(cmdPressed);
}

void VTGradientPointControl::EvLButtonUp(int, int)
{
    const bool dragging = iDrag != HandleNone;
    iHover = iDrag = HandleNone;
    Update();
    if (IsCaptured())
        ReleaseCapture();
    if (dragging)
        Send(cmdReleased);
}

void VTGradientPointControl::EvMouseOut()
{
    iHover = HandleNone;
    Update();
}

void VTGradientPointControl::Prepaint(LPaintContext& ctx)
{
    TransformReset(ctx);
    const int m = Margin();
    const float tw = float(mWidth - 2 * m), th = float(mHeight - 2 * m);
    if (tw <= 0 || th <= 0)
        return;
    FillRectAA(ctx, kWhite, float(m), float(m), tw, th);
    DrawFrameAA(ctx, kFrameGrey, m + 0.5f, m + 0.5f, tw - 1, th - 1, 1);
    const LGuiSolidBrush grey(LGuiColor(0xB400, 0xB400, 0xB400));
    const float cx = m + std::floor(tw / 2) + 0.5f, cy = m + std::floor(th / 2) + 0.5f;
    DrawLine(ctx, cx, float(m), cx, m + th, grey, 1, nullptr);
    DrawLine(ctx, float(m), cy, m + tw, cy, grey, 1, nullptr);

    TransformTranslate(ctx, float(m), float(m));
    const float sx = fStart.x * tw, sy = fStart.y * th;
    const float ex = fEnd.x * tw, ey = fEnd.y * th;
    float dx = ex - sx, dy = ey - sy;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length > 0) {
        dx /= length;
        dy /= length;
    } else {
        dx = dy = 0;
    }
    const float L = float(MapCharacterUnitsToPixelsX(0.75f));
    const float bx = ex - 2 * L * dx, by = ey - 2 * L * dy;
    DrawLineAA(ctx, kBlack, sx, sy, bx, by, 1);

    const float half = float(MapCharacterUnitsToPixelsX(0.5f));
    FillRectAA(ctx, kWhite, sx - half, sy - half, 2 * half, 2 * half);
    DrawFrameAA(
        ctx, iHover == HandleStart ? kOrange : kBlack, sx - half, sy - half, 2 * half, 2 * half, 2);

    LGraphicsPath head;
    const LPointTemplate<float> tip(ex, ey);
    head.AddLine(tip, LPointTemplate<float>(bx - L * dy, by + L * dx));
    head.LineTo(LPointTemplate<float>(bx + L * dy, by - L * dx));
    head.CloseFigure();
    FillPath(ctx, iHover == HandleEnd ? kOrange : kBlack, head);
}

// --- stop bar ----------------------------------------------------------------------------------

VTGradientStopControl::VTGradientStopControl()
    : fAlive(std::make_shared<bool>(true))
{
}

VTGradientStopControl::~VTGradientStopControl()
{
    *fAlive = false;
    DestroyPaintControl();
}

void VTGradientStopControl::Init(LWindow& window, int id, unsigned short deleted,
    unsigned short moved, unsigned short pressed, unsigned short released)
{
    if (!window.GetControlHandle(id))
        window.AddPaintControl(id);
    LPaintControl::Init(window, id);
    cmdDeleted = deleted;
    cmdMoved = moved;
    cmdPressed = pressed;
    cmdReleased = released;
    ClearStops();
}

bool VTGradientStopControl::Send(unsigned short command)
{
    std::shared_ptr<bool> alive = fAlive;
    if (parent && command)
        parent->SendCommand(command);
    return *alive && hostView;
}

void VTGradientStopControl::ClearStops()
{
    fStops.Clear();
    pHovered = pSelected = nullptr;
    if (bDragging && IsCaptured())
        ReleaseCapture();
    bDragging = false;
    Update();
}

void VTGradientStopControl::DeleteStop(VTGradientStop* stop)
{
    if (!stop || !fStops.Detach(stop))
        return;
    if (pHovered == stop)
        pHovered = nullptr;
    if (pSelected == stop)
        pSelected = fStops.GetHead();
    delete stop;
}

VTGradientStop* VTGradientStopControl::AddStop(float position, const LGuiColorAlpha& color)
{
    auto* stop = new VTGradientStop(Clamp01(position), color);
    fStops.AddHead(stop);
    return stop;
}

float VTGradientStopControl::PositionToY(float position) const
{
    const int m = Margin();
    return position * float(mHeight - 2 * m) + float(m);
}

VTGradientStop* VTGradientStopControl::StopAt(int x, int y) const
{
    if (x < mWidth - MarkerColumn())
        return nullptr;
    const float m = float(Margin());
    for (VTGradientStop* s = fStops.GetHead(); s; s = LList<VTGradientStop>::GetNext(s))
        if (std::fabs(float(y) - PositionToY(s->position)) <= m)
            return s;
    return nullptr;
}

void VTGradientStopControl::EvMouseMove(int x, int y)
{
    const int m = Margin();
    const float th = float(mHeight - 2 * m);
    if (!bDragging) {
        pHovered = StopAt(x, y);
    } else if (pSelected && th > 0) {
        pSelected->position = Clamp01((float(y) - float(m)) / th);
        if (!Send(cmdMoved))
            return;
    }
    Update();
}

void VTGradientStopControl::EvLButtonDown(int, int y)
{
    if (bDragging)
        return;
    if (pHovered) {
        pSelected = pHovered;
        bDragging = true;
        SetCapture();
        Update(); // the marker shows it is selected
        Send(cmdPressed);
        return;
    }
    const int m = Margin();
    const float th = float(mHeight - 2 * m);
    const float t = th > 0 ? (float(y) - float(m)) / th : -1.0f;
    if (t >= 0 && t <= 1 && fStops.GetCount() < size_t(kMaxClickedStops)) {
        VTGradientStop* stop = AddStop(t, fNewStopColor);
        pHovered = pSelected = stop;
        bDragging = true;
        SetCapture();
        if (!Send(cmdPressed) || !Send(cmdMoved))
            return;
    }
    Update();
}

void VTGradientStopControl::EvLButtonUp(int, int)
{
    if (!bDragging)
        return;
    bDragging = false;
    if (IsCaptured())
        ReleaseCapture();
    Send(cmdReleased);
}

void VTGradientStopControl::EvRButtonUp(int, int)
{
    if (bDragging || !pHovered || fStops.GetCount() < 2)
        return;
    DeleteStop(pHovered);
    pHovered = nullptr;
    Update();
    Send(cmdDeleted);
}

void VTGradientStopControl::EvMouseOut()
{
    pHovered = nullptr;
    Update();
}

void VTGradientStopControl::Prepaint(LPaintContext& ctx)
{
    TransformReset(ctx);
    const int m = Margin();
    const int column = MarkerColumn();
    const float W = float(mWidth), th = float(mHeight - 2 * m);
    if (th <= 0)
        return;
    if (!fStops.IsEmpty()) {
        fStops.Sort();
        LBrushInfo info;
        CCMakeStopPoints(info, fStops);
        LGuiBrushGradientLinear gradient;
        gradient.mStartX = gradient.mEndX = 0;
        gradient.mStartY = float(m);
        gradient.mEndY = float(m) + th;
        gradient.ChangeColor(info.stopColors, info.stopPositions, info.stopCount);
        FillRect(ctx, gradient, 1, float(m), W - column, th);
        DrawFrameAA(ctx, kFrameGrey, 1.5f, m + 0.5f, W - column - 1, th - 1, 1);
    }
    const float L = float(MapCharacterUnitsToPixelsX(0.75f));
    for (VTGradientStop* s = fStops.GetHead(); s; s = LList<VTGradientStop>::GetNext(s)) {
        const float y = PositionToY(s->position);
        LGraphicsPath marker;
        marker.AddLine(W, y - L, W, y + L);
        marker.LineTo(LPointTemplate<float>(W - column, y));
        marker.CloseFigure();
        if (s == pHovered)
            DrawPath(ctx, kOrange, marker, 4);
        FillPath(ctx, s == pSelected ? kOrange : kBlack, marker);
    }
}
