// Image scaling: the nearest-neighbour scaler and the smooth (bicubic) scaler.
//
// Both scalers fill an allocated destination from a whole source and walk rows in picture order,
// so a bottom-up source gives the same picture in a top-down destination. LImage::Resize
// (LImage.h) allocates the destination and picks the scaler.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

// The nearest-neighbour scaler: maps the source rectangle (left, top, width, height) onto the
// whole destination. Width and height are clipped to the source.
struct LImgProScaleNe {
    double left = 0;
    double top = 0;
    double width = 4294967295.0;
    double height = 4294967295.0;

    LImgProScaleNe() = default;
    LImgProScaleNe(double l, double t, double w, double h)
        : left(l)
        , top(t)
        , width(w)
        , height(h)
    {
    }

    // One routine per pixel structure, differing only in the structure copied. 0 done, 2 when
    // either buffer is invalid or the formats differ.
    template <class T>
    LProcessResult ProcessImage(LImageBuffer& dst, const LImageBuffer& src) const;
};

// Asks the job whether to stop (1), runs the scaler for the source's format (B8G8R8A8,
// B8G8R8, B5G6R5, B5G5R5A1, B5G5R5X1, R8G8B8A8, R8G8B8; 2 for the others) and sets progress 1.
LProcessResult LApplyImageProcess(
    LImageBuffer& dst, const LImageBuffer& src, LImgProScaleNe& scaler, LProcessInterface& job);

// The generic spelling of the runner above: LApplyImageProcess<LImgProScaleNe>(dst, src, scaler,
// job).
template <class P>
LProcessResult LApplyImageProcess(
    LImageBuffer& dst, const LImageBuffer& src, P& process, LProcessInterface& job);
template <>
inline LProcessResult LApplyImageProcess<LImgProScaleNe>(
    LImageBuffer& dst, const LImageBuffer& src, LImgProScaleNe& scaler, LProcessInterface& job)
{
    return LApplyImageProcess(dst, src, scaler, job);
}

// The whole source onto the whole destination, nearest neighbour; nothing for formats without a
// pixel structure (the 4-bit format, I8).
void LImageScaleNearestNeighbor(LImageBuffer& dst, const LImageBuffer& src);

// The whole source onto the whole destination with the smooth filter (formats 0 to 6).
void LImageScaleBicubic(LImageBuffer& dst, const LImageBuffer& src);

// Smooth scaling of src into dst (same pixel format, formats 0 to 6). B8G8R8A8 is scaled
// directly; the other formats go through B8G8R8A8. The interpolation mode does not change the
// result; the last argument is unused. False when nothing was written.
bool LImageScaleBGRA(
    LImageBuffer& dst, const LImageBuffer& src, LImageInterpolationMode mode, void** unused);

// The smooth scaler for two B8G8R8A8 buffers: a separable Catmull-Rom filter, widened by the
// reduction factor when shrinking, applied to premultiplied colours so that transparent pixels do
// not darken their neighbours. dst is allocated again with its own format when it has no pixels.
// False unless both are B8G8R8A8 and dst is valid.
bool LImageScaleApplevImageBGRA(LImageBuffer& dst, const LImageBuffer& src);
