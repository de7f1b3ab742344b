// The drawing operations. Nearly all are static and take the paint context first, so painted
// controls, image-buffer painters, the PDF writer and the print surface share one set of
// operations and differ only in how their context is set up. Coordinates are y down from the
// top left, in the context's user units.
#pragma once

#include "lfw/graphics/LDrawTextFormat.h"
#include "lfw/graphics/LGeometry.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LGuiBrush.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LLineStyle.h"
#include "lfw/mac/LPaintContext.h"

#include <atomic>
#include <cstdint>
#include <memory>

typedef struct _cairo_pattern cairo_pattern_t;
namespace platform::text {
class ShapedLine;
}
class LImageBuffer;
class LTextLayoutCache;

class LPaintSurface {
public:
    // 0 and 2 reset the transform first, 2 and 3 scale uniformly; other values act as 1.
    enum ScaleMode : int32_t {
        ScaleModeReset = 0,
        ScaleModeKeep = 1,
        ScaleModeResetUniform = 2,
        ScaleModeUniform = 3,
    };

    LPaintSurface() = default;
    virtual ~LPaintSurface() = default;

    virtual int32_t GetScrollOffsetX() const { return mScrollOffsetX; }
    virtual int32_t GetScrollOffsetY() const { return mScrollOffsetY; }
    // sx, sy are logical units per device unit; previousX/Y get the image of (1, 1) under the
    // transform before. A zero scale does nothing.
    virtual void SetScale(
        LPaintContext& ctx, float sx, float sy, float& previousX, float& previousY, ScaleMode mode);
    virtual void SetScaleFromLogicalExtents(LPaintContext& ctx, int logicalWidth, int logicalHeight,
        float& previousX, float& previousY, ScaleMode mode);
    virtual void GetScale(LPaintContext& ctx, float& sx, float& sy) const;

    // Draws the whole buffer, upright, into the rectangle (x, y, w, h) with the global alpha; the
    // context's alpha is alpha during the call and restored afterwards, as is the transform. The
    // mode is accepted and not applied: the context's own filter is used. Nothing for buffers
    // without a surface form (see LCGImageRefReader) or a context that cannot draw.
    //
    // A page description (PDF, print) gets the picture at its own size in pixels, never
    // resampled. Given the owner of the buffer (what keeps its pixels alive and unchanged), a
    // B8G8R8A8 picture goes onto the page without a copy: the page description refers to the
    // pixels where they are, holding the owner, until it is destroyed (only the alpha of a
    // picture that has any is made a mask of a byte a pixel). Without an owner the page gets a
    // copy.
    static void DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y, float w,
        float h, float alpha, LImageInterpolationMode mode,
        std::shared_ptr<const void> owner = nullptr);
    // A page description whose writing may be given up: the pictures drawn from now on into
    // the page description the context draws into (by reference, see DrawImage) are written out
    // only while stop is false; once it is set, each picture still to be written goes out as a
    // single pixel, so that a document no longer wanted is done with in the time of the picture
    // under way. For PostScript pages, which write themselves whole before their owner sees a
    // byte (a PDF page stops at the first write its owner refuses). The flag outlives the page
    // description. Null does nothing.
    static void SetPageStop(LPaintContext& ctx, const std::atomic<bool>* stop);
    // The same for a picture already made an image surface of iw x ih pixels.
    static void DrawImageSurface(LPaintContext& ctx, cairo_surface_t* image, int iw, int ih,
        float x, float y, float w, float h, float alpha);

    // --- Integer lines: the context's current stroke colour and line width as they stand.
    static bool MoveToPoint(LPaintContext& ctx, int x, int y);
    static void DrawLine(LPaintContext& ctx, int x1, int y1, int x2, int y2);
    static void DrawLines(LPaintContext& ctx, const LPoint* points, unsigned long count);
    static void DrawFocusRect(LPaintContext& ctx, int x, int y, int w, int h);
    // The keyboard-focus colour (black until the window layer sets the desktop's).
    static void SetFocusIndicatorColor(const LGuiColor& color);
    static LGuiColor GetFocusIndicatorColor();

    // --- Float drawing with plain colours.
    static void DrawLineAA(LPaintContext& ctx, LGuiColorRef color, float x1, float y1, float x2,
        float y2, float width);
    static void DrawFrameAA(
        LPaintContext& ctx, LGuiColorRef color, float x, float y, float w, float h, float width);
    static void FillRectAA(
        LPaintContext& ctx, LGuiColorRef color, float x, float y, float w, float h);
    static void FillRectAA(LPaintContext& ctx, LGuiColorRef color, unsigned char alpha, float x,
        float y, float w, float h);
    static void FillRectCheckerPattern(LPaintContext& ctx, int x, int y, int w, int h, int cell,
        LGuiColorRef a, LGuiColorRef b, int offsetX, int offsetY);

    // --- Brushes.
    static void FillRect(
        LPaintContext& ctx, const LGuiBrush& brush, float x, float y, float w, float h);
    static void DrawRectangle(LPaintContext& ctx, const LBoundingBox2T<float>& box,
        const LGuiBrush& brush, float width, const LLineStyle* style);
    static void DrawRectangle(LPaintContext& ctx, float x, float y, float w, float h,
        const LGuiBrush& brush, float width, const LLineStyle* style);
    static void DrawEllipse(LPaintContext& ctx, float x, float y, float w, float h,
        const LGuiBrush& brush, float width, const LLineStyle* style);
    static void DrawLine(LPaintContext& ctx, float x1, float y1, float x2, float y2,
        const LGuiBrush& brush, float width, const LLineStyle* style);
    static void DrawLine(LPaintContext& ctx, const LPointTemplate<float>& p1,
        const LPointTemplate<float>& p2, const LGuiBrush& brush, float width,
        const LLineStyle* style);
    static void FillPath(LPaintContext& ctx, const LGuiBrush& brush, const LGraphicsPath& path);
    static void FillPath(LPaintContext& ctx, LGuiColorRef color, const LGraphicsPath& path);
    static void DrawPath(LPaintContext& ctx, const LGuiBrush& brush, const LGraphicsPath& path,
        float width, const LLineStyle* style);
    static void DrawPath(LPaintContext& ctx, const LGuiColor& color, const LGraphicsPath& path,
        float width, const LLineStyle* style);
    static void DrawPath(
        LPaintContext& ctx, const LGuiColor& color, const LGraphicsPath& path, float width);
    // Intersects the clip with the path under the even-odd rule.
    static void ClipIntersect(LPaintContext& ctx, const LGraphicsPath& path);

    // --- Brush routines.
    static void ApplyLinearGradient(const LPaintContext& ctx, const LGuiBrushGradientLinear& b);
    static void ApplyRadialGradient(const LPaintContext& ctx, const LGuiBrushGradientRadial& b);
    static void ApplyTexturePattern(const LPaintContext& ctx, const LGuiTextureBrush& b);
    static void _FillRectGradient(LPaintContext& ctx, const LGuiColorAlpha& from,
        const LGuiColorAlpha& to, bool vertical, int x, int y, int w, int h);
    // Stroke set-up: width 0 is a hairline of one base unit.
    static void ApplyLineStyle(const LPaintContext& ctx, float width, const LLineStyle* style);
    // The cairo source of a brush (the caller destroys it); null when the brush paints nothing
    // (no stops, a flat radial gradient, no image). With the context, a texture's tiles lie in the
    // context's untransformed (base) space, turned by the brush's rotation, whatever transform
    // the shape is drawn under; without it they lie in the user space the source is set in.
    static cairo_pattern_t* CreateBrushPattern(const LGuiBrush& brush);
    static cairo_pattern_t* CreateBrushPattern(const LPaintContext& ctx, const LGuiBrush& brush);

    // --- Transforms (relative to the base transform the context's creator recorded).
    static void NativeTransformGet(const LPaintContext& ctx, LMatrix<float>& m);
    static void TransformGet(const LPaintContext& ctx, LMatrix<float>& m)
    {
        NativeTransformGet(ctx, m);
    }
    static void NativeTransform(LPaintContext& ctx, const LMatrix<float>& m);
    static void Transform(LPaintContext& ctx, const LMatrix<float>& m) { NativeTransform(ctx, m); }
    static void NativeTransformReset(LPaintContext& ctx);
    static void TransformReset(LPaintContext& ctx) { NativeTransformReset(ctx); }
    static void TransformReset(LPaintContext& ctx, const LMatrix<float>& m);
    static void TransformTranslate(LPaintContext& ctx, float dx, float dy);
    static void TransformRotate(LPaintContext& ctx, float degrees);
    static void TransformStackPush(LPaintContext& ctx);
    static void TransformStackPop(LPaintContext& ctx);
    static void TransformStackClear(LPaintContext& ctx);

    // --- Text.
    static void SetFont(LPaintContext& ctx, const LFontAttributes& attributes)
    {
        ctx.SetFont(attributes);
    }
    // With a cache, the text's layout is kept there between paints (see LTextLayoutCache.h).
    static void _DrawText(LPaintContext& ctx, const char* utf8, float x, float y, float w, float h,
        LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming,
        bool transparentBackground, LTextLayoutCache* cache = nullptr);
    static void DrawText(LPaintContext& ctx, const char* utf8, int x, int y, int w, int h,
        LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming);
    static void DrawText(LPaintContext& ctx, const char* utf8, float x, float y, float w, float h,
        LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming);
    static void DrawText(LPaintContext& ctx, const char* utf8, const LBoundingBox2T<float>& box,
        const LDrawTextFormat& format, const LGuiBrush& brush, LTextLayoutCache* cache = nullptr);
    static void MeasureText(const LPaintContext& ctx, float& width, float& height, const char* utf8,
        const LBoundingBox2T<float>& box, const LDrawTextFormat& format);
    // Text set along a path: the text shaped as one line in the context's font, its clusters in
    // the order the straight line shows them (platform/text/ShapedLine.h), each then drawn on its
    // own with the left end of its advance at x and the line's top at y, in the context's text
    // colour, outline, underline and strikeout.
    static std::unique_ptr<platform::text::ShapedLine> ShapeLine(
        const LPaintContext& ctx, const char* utf8);
    static void DrawShapedCluster(
        LPaintContext& ctx, const platform::text::ShapedLine& line, size_t index, float x, float y);

protected:
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mScrollOffsetX = 0;
    int32_t mScrollOffsetY = 0;

public:
    int32_t GetSurfaceWidth() const { return mWidth; }
    int32_t GetSurfaceHeight() const { return mHeight; }
    void SetSurfaceSize(int32_t width, int32_t height)
    {
        mWidth = width;
        mHeight = height;
    }
    void SetScrollOffset(int32_t x, int32_t y)
    {
        mScrollOffsetX = x;
        mScrollOffsetY = y;
    }
};
