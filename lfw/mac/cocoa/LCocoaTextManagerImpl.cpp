// The text service over the platform text layout.

#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"

#include <cairo.h>

#include <cmath>
#include <sys/syscall.h>
#include <unistd.h>

using platform::text::Align;
using platform::text::TextPaint;
using platform::text::TextSize;
using platform::text::Wrap;

bool LIsMainThread()
{
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

LCocoaTextManagerImpl& LCocoaTextManagerImpl::SharedTextManager()
{
    // Made once (thread-safe) and kept for the life of the process.
    static LCocoaTextManagerImpl* shared = new LCocoaTextManagerImpl(nullptr);
    return *shared;
}

LCocoaTextManagerImpl::LCocoaTextManagerImpl(const LCocoaTextPaintData* paintData)
    : mPaintData(paintData)
{
}

void LCocoaTextManagerImpl::SetText(const char* text)
{
    mLayout.SetText(text);
}

void LCocoaTextManagerImpl::SetBoundingRect(const LBoundingBox2T<float>& rect)
{
    mContainerWidth = double(rect.right) - double(rect.left);
    mContainerHeight = double(rect.bottom) - double(rect.top);
    mOriginX = rect.left;
    mOriginY = rect.top;
}

void LCocoaTextManagerImpl::UpdateFont()
{
    if (!mPaintData) {
        mLayout.SetFont(nullptr, false, false);
        return;
    }
    mLayout.SetFont(mPaintData->font, mPaintData->underline, mPaintData->strikeout);
}

void LCocoaTextManagerImpl::SetFormat(const LDrawTextFormat& format)
{
    // Every call starts from word wrapping, so one call's mode never leaks into the next.
    Wrap wrap = Wrap::Word;
    Align align;
    switch (format.alignX) {
    case LAlignmentXLeft:
        align = Align::Left;
        break;
    case LAlignmentXCenter:
        align = Align::Center;
        break;
    case LAlignmentXRight:
        align = Align::Right;
        break;
    default:
        align = Align::Natural;
        break;
    }
    // A box without a size (or with a negative one) limits nothing in that direction.
    double width = mContainerWidth > 0 ? mContainerWidth : 0;
    double height = mContainerHeight > 0 ? mContainerHeight : 0;
    if (format.wrapping != LTextWrappingWord && width == 0 && height == 0 && align == Align::Left) {
        // Left-aligned text in a box of zero size: one unbounded line.
        width = height = 10000;
        mContainerWidth = mContainerHeight = 10000;
    }
    mLayout.SetAlignment(align);
    mLayout.SetWidth(width);
    mLayout.SetHeight(height);
    mLayout.SetEllipsizeEnd(false);
    switch (format.trimming) {
    case LTextTrimmingCharacter:
        wrap = Wrap::Char;
        break;
    case LTextTrimmingWord:
        wrap = Wrap::Word;
        break;
    case LTextTrimmingEllipsis:
        mLayout.SetEllipsizeEnd(true);
        break;
    default:
        break;
    }
    mLayout.SetWrap(wrap);

    // The vertical offset of the text in the box.
    double w = 0, h = 0;
    Measure(w, h);
    mOriginOffset = 0;
    if (format.alignY == LAlignmentYBottom)
        mOriginOffset += mContainerHeight - h;
    else if (format.alignY == LAlignmentYCenter)
        mOriginOffset += (mContainerHeight - h) * 0.5;
}

void LCocoaTextManagerImpl::Measure(double& width, double& height)
{
    UpdateFont();
    TextSize size = mLayout.Measure();
    width = size.width;
    height = size.height;
    // Fonts below one unit (millimetre-scaled contexts): the height from the line count.
    double pointSize = mPaintData && mPaintData->font ? mPaintData->font->Size() : 13.0;
    if (pointSize < 1.0 && height < 1.0 && size.glyphs) {
        double n = size.lines;
        height = n * pointSize + (n + 1) * std::floor(pointSize / 3);
    }
}

void LCocoaTextManagerImpl::Draw()
{
    UpdateFont();
    if (!mPaintData || !mPaintData->cr)
        return;
    cairo_t* cr = mPaintData->cr;
    TextPaint paint;
    for (int i = 0; i < 3; ++i) {
        paint.fill[i] = mPaintData->textColor[i] / 255.0;
        paint.stroke[i] = mPaintData->outlineColor[i] / 255.0;
    }
    paint.fill[3] = mPaintData->textColor[3] / 255.0;
    paint.stroke[3] = mPaintData->outlineColor[3] / 255.0;
    if (mPaintData->outline) {
        // The outline width is a percentage of the font size; glyphs are filled and stroked.
        double size = mPaintData->font ? mPaintData->font->Size() : 13.0;
        paint.outline = true;
        paint.strokeWidth = std::fabs(mPaintData->outlineWidth) * size / 100.0;
    }
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    // The glyph background: the text carries no background colour, so there is none to draw
    // whatever the transparent-background flag says.
    mLayout.Draw(cr, mOriginX, mOriginY + mOriginOffset, paint);
    cairo_restore(cr);
}

void LCocoaTextManagerImpl::MeasureText(const char* text, const LCocoaTextPaintData* paintData,
    const LDrawTextFormat& format, const LBoundingBox2T<float>& rect, double& width, double& height)
{
    SetPaintData(paintData);
    SetText(text);
    SetBoundingRect(rect);
    SetFormat(format);
    Measure(width, height);
    mPaintData = nullptr; // the caller's record does not outlive the call
}

void LCocoaTextManagerImpl::DrawText(const char* text, const LCocoaTextPaintData* paintData,
    const LDrawTextFormat& format, const LBoundingBox2T<float>& rect, bool transparentBackground)
{
    SetPaintData(paintData);
    SetText(text);
    SetBoundingRect(rect);
    SetFormat(format);
    SetTransparentBackground(transparentBackground);
    Draw();
    mPaintData = nullptr;
}
