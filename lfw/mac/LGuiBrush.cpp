#include "lfw/mac/LGuiBrush.h"

#include <cairo.h>

#include <cmath>

void LGuiBrush::Apply(cairo_t* cr) const
{
    cairo_set_source_rgba(
        cr, mColor.GetRedF(), mColor.GetGreenF(), mColor.GetBlueF(), mColor.GetAlphaF());
}

void LGuiBrush::Restore(cairo_t*) const
{
}

void LGuiGradientStops::Set(const LGuiColorAlpha* c, const float* p, unsigned long n)
{
    if (!c || !p)
        n = 0;
    if (n > unsigned(kLGuiBrushMaxStops))
        n = kLGuiBrushMaxStops;
    for (unsigned long i = 0; i < n; ++i) {
        colors[i] = c[i];
        positions[i] = p[i];
    }
    count = n;
}

LGuiBrushGradientLinear::LGuiBrushGradientLinear(
    float x1, float y1, float x2, float y2, const LGuiColorAlpha& from, const LGuiColorAlpha& to)
    : LGuiBrush(LGuiBrushTypeLinearGradient, LGuiColorAlpha())
    , mStartX(x1)
    , mStartY(y1)
    , mEndX(x2)
    , mEndY(y2)
{
    const LGuiColorAlpha colors[2] = { from, to };
    const float positions[2] = { 0.0f, 1.0f };
    mStops.Set(colors, positions, 2);
}

LGuiBrushGradientRadial::LGuiBrushGradientRadial(float cx, float cy, float rx, float ry,
    const LGuiColorAlpha& outer, const LGuiColorAlpha& inner)
    : LGuiBrush(LGuiBrushTypeRadialGradient, LGuiColorAlpha())
    , mCenterX(cx)
    , mCenterY(cy)
    , mRadiusX(rx)
    , mRadiusY(ry)
{
    const LGuiColorAlpha colors[2] = { outer, inner };
    const float positions[2] = { 0.0f, 1.0f };
    mStops.Set(colors, positions, 2);
}

int LGuiGradientStops::PairAt(double t) const
{
    int n = int(count > uint64_t(kLGuiBrushMaxStops) ? kLGuiBrushMaxStops : count);
    if (n < 2 || positions[1] >= t)
        return 0;
    for (int k = 1; k + 1 < n; ++k)
        if (positions[k + 1] >= t)
            return k;
    return n - 2;
}

void LGuiGradientStops::Evaluate(double t, double out[4]) const
{
    int k = PairAt(t);
    const LGuiColorAlpha& a = colors[k];
    const LGuiColorAlpha& b = colors[count > 1 ? k + 1 : k];
    double span = double(positions[count > 1 ? k + 1 : k]) - double(positions[k]);
    double f = std::fabs(span) < 1.1920929e-7 ? 0.0 : (t - positions[k]) / span;
    const double ca[4] = { a.GetRedF(), a.GetGreenF(), a.GetBlueF(), a.GetAlphaF() };
    const double cb[4] = { b.GetRedF(), b.GetGreenF(), b.GetBlueF(), b.GetAlphaF() };
    for (int i = 0; i < 4; ++i)
        out[i] = ca[i] + (cb[i] - ca[i]) * f;
}
