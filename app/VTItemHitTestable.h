// The placement of an item on a surface (an overlay on a design, a label position on a page):
// its box, centre, rotation, the rotation and mirroring it has been given, and the parts of it a
// point hits. Coordinates are millimetres in the surface's frame (x to the right, y downwards),
// angles degrees.
#pragma once

#include "lfw/graphics/LDrawTextFormat.h"
#include "lfw/graphics/LGeometry.h"
#include "lfw/graphics/LMatrix.h"

#include <cstdint>

// Parts of an item a point hits.
enum : uint8_t {
    VTHitTop = 0x01,
    VTHitBottom = 0x02,
    VTHitLeft = 0x04,
    VTHitRight = 0x08,
    VTHitInside = 0x10, // at least 1 mm inside every edge
};

// Item kinds of GetItemType.
enum : int {
    VTItemTypeLabelLayoutTemplate = 1,
    VTItemTypeOverlay = 2,
};

// Degrees to radians as the document layer turns them.
inline constexpr float kVTDegreesToRadians = 0.017453292f;

class VTItemHitTestable {
public:
    virtual int GetItemType() const = 0;
    virtual void GetDimensions(float& width, float& height) const = 0;
    virtual void SetDimensions(float width, float height);
    // Resizes the item to the box (in its unrotated frame, comparable with boundingBox) and moves
    // its centre by the shift of the box's centre, turned by the rotation, so that dragging one
    // edge of a turned item keeps the opposite edge in place.
    virtual void SetToBoundingBox(LBoundingBox2T<float>& box);
    // True when the point (in the surface's frame) lies on the item or its border bands;
    // hitFlags tells which parts.
    virtual bool HitTest(float x, float y);
    virtual void NotifyTransformChanged();

    // Adds to the rotation (kept in [0, 360)) and turns transform by the full angle.
    void Rotate(float degrees);
    // The border bands (2 mm wide, centred on the edges) and the inside of the item's own frame
    // that the point (u, v) lies in.
    void PointIntersectsItemBorders(unsigned char& flags, float u, float v) const;

    // The item's unrotated box as it stood when a drag began. New items: (0, 0, 1, 1).
    LBoundingBox2T<float> boundingBox { 0.0f, 0.0f, 1.0f, 1.0f };
    float centreX = 0.0f;
    float centreY = 0.0f;
    float rotation = 0.0f;
    LAlignment placementAlignment = -1;
    // Rotation and mirroring as applied by Rotate and the flips (row-vector form).
    LMatrix<float> transform;
    uint8_t hitFlags = 0;

protected:
    VTItemHitTestable() = default;
    VTItemHitTestable(const VTItemHitTestable&) = default;
    VTItemHitTestable& operator=(const VTItemHitTestable&) = default;
    // Items are destroyed through their own classes.
    ~VTItemHitTestable() = default;
};

// sin and cos of an angle in degrees, taken in double precision and rounded to float.
void VTSinCosDegrees(float degrees, float& s, float& c);
// The placement of an item: rotation by the angle about the origin, then the move to the centre.
LMatrix<float> VTPlacementMatrix(float degrees, float centreX, float centreY);
