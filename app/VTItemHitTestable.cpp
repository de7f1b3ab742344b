#include "app/VTItemHitTestable.h"

#include "app/VTDocumentLimits.h"

#include <cmath>

void VTSinCosDegrees(float degrees, float& s, float& c)
{
    const float radians = degrees * kVTDegreesToRadians;
    s = float(std::sin(double(radians)));
    c = float(std::cos(double(radians)));
}

LMatrix<float> VTPlacementMatrix(float degrees, float centreX, float centreY)
{
    float s = 0, c = 1;
    VTSinCosDegrees(degrees, s, c);
    LMatrix<float> m;
    m.m[0][0] = c;
    m.m[0][1] = s;
    m.m[1][0] = -s;
    m.m[1][1] = c;
    m.m[3][0] = centreX;
    m.m[3][1] = centreY;
    return m;
}

void VTItemHitTestable::SetDimensions(float, float)
{
}

void VTItemHitTestable::NotifyTransformChanged()
{
}

void VTItemHitTestable::Rotate(float degrees)
{
    rotation = VTReduceDegrees(rotation + degrees);
    if (!std::isfinite(rotation))
        rotation = 0.0f;
    float s = 0, c = 1;
    VTSinCosDegrees(degrees, s, c);
    for (int r = 0; r < 4; ++r) {
        const float a = transform.m[r][0], b = transform.m[r][1];
        transform.m[r][0] = a * c - b * s;
        transform.m[r][1] = a * s + b * c;
    }
    NotifyTransformChanged();
}

bool VTItemHitTestable::HitTest(float x, float y)
{
    LMatrix<float> inverse = VTPlacementMatrix(rotation, centreX, centreY);
    inverse.Invert();
    const LPointTemplate<float> p = inverse.TransformPoint(LPointTemplate<float>(x, y));
    float w = 0, h = 0;
    GetDimensions(w, h);
    if (p.x < -w / 2 - 1 || p.x > w / 2 + 1 || p.y < -h / 2 - 1 || p.y > h / 2 + 1) {
        hitFlags = 0;
        return false;
    }
    PointIntersectsItemBorders(hitFlags, p.x, p.y);
    return hitFlags != 0;
}

void VTItemHitTestable::PointIntersectsItemBorders(unsigned char& flags, float u, float v) const
{
    flags = 0;
    float w = 0, h = 0;
    GetDimensions(w, h);
    const float left = -w / 2 - 1, right = w / 2 + 1, top = -h / 2 - 1, bottom = h / 2 + 1;
    const bool acrossX = left <= u && u <= right;
    const bool acrossY = top <= v && v <= bottom;
    if (acrossX && top <= v && v <= top + 2)
        flags |= VTHitTop;
    if (acrossY && right - 2 <= u && u <= right)
        flags |= VTHitRight;
    if (acrossX && bottom - 2 <= v && v <= bottom)
        flags |= VTHitBottom;
    if (acrossY && left <= u && u <= left + 2)
        flags |= VTHitLeft;
    if (1 - w / 2 <= u && u <= w / 2 - 1 && 1 - h / 2 <= v && v <= h / 2 - 1)
        flags |= VTHitInside;
}

void VTItemHitTestable::SetToBoundingBox(LBoundingBox2T<float>& box)
{
    const float oldX = (boundingBox.left + boundingBox.right) / 2;
    const float oldY = (boundingBox.top + boundingBox.bottom) / 2;
    const float dx = (box.left + box.right) / 2 - oldX;
    const float dy = (box.top + box.bottom) / 2 - oldY;
    SetDimensions(std::fabs(box.right - box.left), std::fabs(box.bottom - box.top));
    float s = 0, c = 1;
    VTSinCosDegrees(rotation, s, c);
    centreX = oldX + dx * c - dy * s;
    centreY = oldY + dx * s + dy * c;
    NotifyTransformChanged();
}
