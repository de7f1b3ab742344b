#include "lfw/mac/LPaintContext.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsInvertible(const cairo_matrix_t& m)
{
    double det = m.xx * m.yy - m.xy * m.yx;
    return det != 0 && std::isfinite(det) && std::isfinite(m.x0) && std::isfinite(m.y0);
}

} // namespace

LPaintContext::LPaintContext()
{
    cairo_matrix_init_identity(&mBase);
    cairo_matrix_init_identity(&mSingularMatrix);
    // At the default size whatever the desktop's text size: a context draws pages and pictures
    // too, which print and export the same on every desktop.
    mFont.CocoaFontCreate("", platform::text::kSystemFontSize, false, false, 0);
    mPreviousFont.CocoaFontCreate("", platform::text::kSystemFontSize, false, false, 0);
}

LPaintContext::LPaintContext(cairo_t* cr, double clientWidth, double clientHeight)
    : LPaintContext()
{
    SetPlatformContext(cr);
    SetClientRect(0, 0, clientWidth, clientHeight);
    RecordBaseTransform();
}

LPaintContext::~LPaintContext()
{
    mStack.Clear();
}

void LPaintContext::GetClientAreaDimensions(int& width, int& height) const
{
    if (mView) {
        LUiRect bounds = mView->Bounds();
        width = int(bounds.width);
        height = int(bounds.height);
        double scale = mView->BackingScale();
        if (scale > 1.0) {
            width = int(width * scale);
            height = int(height * scale);
        }
        return;
    }
    width = int(mClientWidth);
    height = int(mClientHeight);
}

void LPaintContext::SetFont(const LFontAttributes& a)
{
    LGuiFont font;
    font.CocoaFontCreate(
        a.name, a.size, (a.style & LFontStyleBold) != 0, (a.style & LFontStyleItalic) != 0, 0);
    font.SetUnderline((a.style & LFontStyleUnderline) != 0);
    font.SetStrikeout((a.style & LFontStyleStrikeout) != 0);
    mPreviousFont = std::move(mFont);
    mFont = std::move(font);
}

void LPaintContext::SetPlatformContext(cairo_t* cr)
{
    mContext = cr;
    if (cr)
        cairo_set_line_width(cr, 1.0);
}

void LPaintContext::SetClientRect(double x, double y, double width, double height)
{
    mClientX = x;
    mClientY = y;
    mClientWidth = width;
    mClientHeight = height;
}

void LPaintContext::GetClientRect(double& x, double& y, double& width, double& height) const
{
    x = mClientX;
    y = mClientY;
    width = mClientWidth;
    height = mClientHeight;
}

void LPaintContext::RecordBaseTransform()
{
    if (mContext)
        cairo_get_matrix(mContext, &mBase);
    else
        cairo_matrix_init_identity(&mBase);
    mSingular = false;
}

void LPaintContext::GetPlatformTransform(cairo_matrix_t& m) const
{
    if (mSingular)
        m = mSingularMatrix;
    else if (mContext)
        cairo_get_matrix(mContext, &m);
    else
        cairo_matrix_init_identity(&m);
}

void LPaintContext::SetPlatformTransform(const cairo_matrix_t& m)
{
    if (IsInvertible(m)) {
        mSingular = false;
        if (mContext)
            cairo_set_matrix(mContext, &m);
    } else {
        mSingular = true;
        mSingularMatrix = m;
    }
}

void LPaintContext::ConcatPlatformTransform(const cairo_matrix_t& m)
{
    cairo_matrix_t current, result;
    GetPlatformTransform(current);
    cairo_matrix_multiply(&result, &m, &current);
    SetPlatformTransform(result);
}

bool LPaintContext::IsDrawable() const
{
    return mContext && !mSingular && cairo_status(mContext) == CAIRO_STATUS_SUCCESS;
}

void LPaintContext::SetStrokeColor(double r, double g, double b, double a)
{
    mStroke[0] = r;
    mStroke[1] = g;
    mStroke[2] = b;
    mStroke[3] = a;
}

void LPaintContext::SetFillColor(double r, double g, double b, double a)
{
    mFill[0] = r;
    mFill[1] = g;
    mFill[2] = b;
    mFill[3] = a;
}

void LPaintContext::ApplyStrokeColor() const
{
    if (mContext)
        cairo_set_source_rgba(mContext, mStroke[0], mStroke[1], mStroke[2], mStroke[3]);
}

void LPaintContext::ApplyFillColor() const
{
    if (mContext)
        cairo_set_source_rgba(mContext, mFill[0], mFill[1], mFill[2], mFill[3]);
}

void LPaintContext::SaveGState()
{
    Saved s;
    s.singular = mSingular;
    s.singularMatrix = mSingularMatrix;
    std::copy(mStroke, mStroke + 4, s.stroke);
    std::copy(mFill, mFill + 4, s.fill);
    mSaved.push_back(s);
    if (mContext)
        cairo_save(mContext);
}

void LPaintContext::RestoreGState()
{
    if (mSaved.empty())
        return;
    const Saved& s = mSaved.back();
    mSingular = s.singular;
    mSingularMatrix = s.singularMatrix;
    std::copy(s.stroke, s.stroke + 4, mStroke);
    std::copy(s.fill, s.fill + 4, mFill);
    mSaved.pop_back();
    if (mContext)
        cairo_restore(mContext);
}
