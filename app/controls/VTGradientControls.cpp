#include "app/controls/VTGradientControls.h"

#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LGuiBrush.h"
#include "lfw/mac/LMacWindow.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

constexpr unsigned kKeyLeft = 123, kKeyRight = 124, kKeyDown = 125, kKeyUp = 126;

// -1 for Left and Up, 1 for Right and Down, 0 for any other key (or with modifiers).
int ArrowStep(const LKey& key)
{
    if (key.Modifiers())
        return 0;
    switch (key.KeyCode()) {
    case kKeyLeft:
    case kKeyUp:
        return -1;
    case kKeyRight:
    case kKeyDown:
        return 1;
    default:
        return 0;
    }
}

bool IsSpace(const LKey& key)
{
    return key.KeyCode() == 0 && key.Character() == ' ';
}

// The eight anchors round the centre, clockwise on the screen from the middle of the right edge.
const LPointTemplate<float> kRing[8] = { { 1.0f, 0.5f }, { 1.0f, 1.0f }, { 0.5f, 1.0f },
    { 0.0f, 1.0f }, { 0.0f, 0.5f }, { 0.0f, 0.0f }, { 0.5f, 0.0f }, { 1.0f, 0.0f } };

// The point turned by steps eighths round the centre (clockwise for positive steps), from the
// anchor nearest its angle; the centre stays.
LPointTemplate<float> Turned(const LPointTemplate<float>& p, int steps)
{
    const float dx = p.x - 0.5f, dy = p.y - 0.5f;
    if (std::fabs(dx) < 1e-4f && std::fabs(dy) < 1e-4f)
        return p;
    const int nearest = int(std::lround(std::atan2(dy, dx) / (M_PI / 4)));
    return kRing[((nearest + steps) % 8 + 8) % 8];
}

// A frame in the focus colour along the edges of a control of that size in pixels.
void DrawKeyboardFrame(LPaintContext& ctx, int width, int height, double scale)
{
    const float line = float(2 * std::max(1.0, scale));
    LPaintSurface::DrawFrameAA(ctx, LPaintSurface::GetFocusIndicatorColor(), line / 2, line / 2,
        width - line, height - line, line);
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
    SetKeyboardReachable();
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

bool VTGradientPointControl::EvKeyDown(LKey key)
{
    const int step = ArrowStep(key);
    if (!step || !IsEnabled() || iDrag != HandleNone)
        return false;
    if (!Send(cmdPressed))
        return true;
    fStart = Turned(fStart, step);
    fEnd = Turned(fEnd, step);
    Update();
    if (Send(cmdEndMoved))
        Send(cmdReleased);
    return true;
}

void VTGradientPointControl::Prepaint(LPaintContext& ctx)
{
    TransformReset(ctx);
    const int m = Margin();
    const float tw = float(mWidth - 2 * m), th = float(mHeight - 2 * m);
    if (tw <= 0 || th <= 0)
        return;
    if (ShowsKeyboardFocus())
        DrawKeyboardFrame(ctx, mWidth, mHeight, GetBackingScale());
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
    SetKeyboardReachable();
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

bool VTGradientStopControl::EvKeyDown(LKey key)
{
    if (!IsEnabled() || bDragging || fStops.IsEmpty())
        return false;
    if (IsSpace(key) && (key.Modifiers() & ~LKey::kShift) == 0) {
        // Down the bar: the list in the order of the positions.
        fStops.Sort();
        std::vector<VTGradientStop*> order;
        for (VTGradientStop* s = fStops.GetHead(); s; s = LList<VTGradientStop>::GetNext(s))
            order.push_back(s);
        const int count = int(order.size());
        const auto at = std::find(order.begin(), order.end(), pSelected);
        const int step = (key.Modifiers() & LKey::kShift) ? -1 : 1;
        int index = at == order.end() ? (step > 0 ? -1 : 0) : int(at - order.begin());
        index = ((index + step) % count + count) % count;
        pSelected = order[size_t(index)];
        Update();
        // As a click on its marker.
        if (Send(cmdPressed))
            Send(cmdReleased);
        return true;
    }
    return EvKeyRepeat(key);
}

bool VTGradientStopControl::EvKeyRepeat(LKey key)
{
    const int step = ArrowStep(key);
    if (!step || !IsEnabled() || bDragging || !pSelected)
        return false;
    // As a short drag of its marker.
    if (!Send(cmdPressed))
        return true;
    pSelected->position = Clamp01(pSelected->position + float(step) * kKeyStep);
    Update();
    if (Send(cmdMoved))
        Send(cmdReleased);
    return true;
}

void VTGradientStopControl::Prepaint(LPaintContext& ctx)
{
    TransformReset(ctx);
    const int m = Margin();
    const int column = MarkerColumn();
    const float W = float(mWidth), th = float(mHeight - 2 * m);
    if (th <= 0)
        return;
    if (ShowsKeyboardFocus())
        DrawKeyboardFrame(ctx, mWidth, mHeight, GetBackingScale());
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
