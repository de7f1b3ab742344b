// Drawing brushes: solid colours, linear and radial gradients of up to 20 stops, textures.
// Brushes are plain values; the drawing operations of LPaintSurface turn them into cairo sources.
#pragma once

#include "lfw/mac/LGuiColor.h"

#include <cstdint>

typedef struct _cairo cairo_t;
class LGuiImage;

enum LGuiBrushType : uint32_t {
    LGuiBrushTypeSolid = 0,
    LGuiBrushTypeLinearGradient = 1,
    LGuiBrushTypeRadialGradient = 2,
    LGuiBrushTypeTexture = 3,
};

inline constexpr int kLGuiBrushMaxStops = 20;

class LGuiBrush {
public:
    virtual ~LGuiBrush() = default;
    // Makes the brush's own colour (with its alpha) the source of the context.
    virtual void Apply(cairo_t* cr) const;
    virtual void Restore(cairo_t* cr) const;

    uint32_t GetType() const { return mType; }
    const LGuiColorAlpha& GetColor() const { return mColor; }
    void SetColor(const LGuiColorAlpha& c) { mColor = c; }

protected:
    LGuiBrush(uint32_t type, const LGuiColorAlpha& color)
        : mType(type)
        , mColor(color)
    {
    }

    uint32_t mType;
    LGuiColorAlpha mColor;
};

class LGuiSolidBrush : public LGuiBrush {
public:
    explicit LGuiSolidBrush(const LGuiColor& c, uint8_t alpha = 255)
        : LGuiBrush(LGuiBrushTypeSolid, LGuiColorAlpha(c, alpha))
    {
    }
    explicit LGuiSolidBrush(const LGuiColorAlpha& c)
        : LGuiBrush(LGuiBrushTypeSolid, c)
    {
    }
};

// Paints nothing: its colour is all zero with alpha 0.
class LGuiTransparentBrush : public LGuiBrush {
public:
    LGuiTransparentBrush()
        : LGuiBrush(LGuiBrushTypeSolid, LGuiColorAlpha(0, 0, 0, 0))
    {
    }
};

// The stops of a gradient: colours and positions (0 at the start, or the outer edge of a radial
// gradient; 1 at the end, or the centre).
struct LGuiGradientStops {
    LGuiColorAlpha colors[kLGuiBrushMaxStops];
    float positions[kLGuiBrushMaxStops] = {};
    uint64_t count = 0;

    // Copies count colours and positions (at most 20 are kept).
    void Set(const LGuiColorAlpha* c, const float* p, unsigned long n);

    // The colour function of the shading at t (red, green, blue, alpha from 0 to 1): between
    // stops 0 and 1 while t is not past stop 1, else between the first pair (k, k + 1) whose
    // stop k + 1 is not before t, and the last pair when none is. Needs count >= 2.
    void Evaluate(double t, double out[4]) const;
    // The pair of stops Evaluate interpolates between at t.
    int PairAt(double t) const;
};

class LGuiBrushGradientLinear : public LGuiBrush {
public:
    LGuiBrushGradientLinear()
        : LGuiBrush(LGuiBrushTypeLinearGradient, LGuiColorAlpha())
    {
    }
    // A two-stop gradient from one colour at (x1, y1) to the other at (x2, y2).
    LGuiBrushGradientLinear(float x1, float y1, float x2, float y2, const LGuiColorAlpha& from,
        const LGuiColorAlpha& to);

    void ChangeColor(const LGuiColorAlpha* colors, const float* positions, unsigned long count)
    {
        mStops.Set(colors, positions, count);
    }

    float mStartX = 0, mStartY = 0, mEndX = 0, mEndY = 0;
    LGuiGradientStops mStops;
    uint64_t mFromDocument = 0; // 1 when built from a document brush; not read by drawing
};

class LGuiBrushGradientRadial : public LGuiBrush {
public:
    LGuiBrushGradientRadial()
        : LGuiBrush(LGuiBrushTypeRadialGradient, LGuiColorAlpha())
    {
    }
    // A two-stop gradient from the outer colour at the ellipse's edge to the inner one at its
    // centre.
    LGuiBrushGradientRadial(float cx, float cy, float rx, float ry, const LGuiColorAlpha& outer,
        const LGuiColorAlpha& inner);

    void ChangeColor(const LGuiColorAlpha* colors, const float* positions, unsigned long count)
    {
        mStops.Set(colors, positions, count);
    }

    float mCenterX = 0, mCenterY = 0;
    float mUnused1 = 0, mUnused2 = 0;
    float mRadiusX = 0, mRadiusY = 0;
    LGuiGradientStops mStops;
};

// Tiles an image as a stencil: opaque black where the image covers its cell.
class LGuiTextureBrush : public LGuiBrush {
public:
    // The image is not owned; it must outlive the brush's use.
    explicit LGuiTextureBrush(const LGuiImage* image, float rotation = 0)
        : LGuiBrush(LGuiBrushTypeTexture, LGuiColorAlpha())
        , mImage(image)
        , mRotation(rotation)
    {
    }

    const LGuiImage* mImage;
    float mRotation; // radians
};
