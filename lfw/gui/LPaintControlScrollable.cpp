#include "lfw/gui/LPaintControlScrollable.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"

#include <algorithm>

using LPaintControlScrollable = LPaintControlScrollableTemplate<LPaintControlPrePaint>;

void LPaintControlPrePaintScrollable::Prepaint(LPaintContext& context)
{
    int width = GetWidth() - VisibleScrollerPixels(true);
    int height = GetHeight() - VisibleScrollerPixels(false);
    // The document view is as large as the content and the scroll view moves it, so the
    // content is painted where it lies: no translation by the scroll position here.
    PaintScrolled(context, width, height, false);
}

void LPaintControlScrollable::Init(LWindow& window, int id)
{
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(window.GetControlHandle(id));
    if (!scroll || !scroll->hasSubView()
        || !dynamic_cast<LCocoaPaintControlImpl*>(scroll->documentView()))
        return;
    LScrollView::Init(window, id, 0, 0);
    bScrollable = true;
    LPaintControl::Init(window, id);
    UpdateSize();
    int width = 0, height = 0;
    if (Measure(width, height))
        SetContentSize(width, height);
}

bool LPaintControlScrollable::Measure(int& width, int& height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    {
        LPaintContext context(cr, GetWidth(), GetHeight());
        PaintScrolled(context, width, height, true);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return width > 0 && height > 0;
}

void LPaintControlScrollable::Update()
{
    int width = GetContentSizeHorizontalPixels(), height = GetContentSizeVerticalPixels();
    if (!Measure(width, height))
        return;
    SetContentSize(width, height);
    if (parent && paintView)
        paintView->SetNeedsDisplay();
}

void LPaintControlScrollable::MoveScrollViewPixels(int x, int y, int w, int h)
{
    LScrollView::MoveScrollViewPixels(x, y, w, h);
    SetSurfaceSize(w, h);
    int width = GetContentSizeHorizontalPixels(), height = GetContentSizeVerticalPixels();
    Measure(width, height);
    width = std::max(width, GetWidth());
    height = std::max(height, GetHeight());
    if (width >= 1 && height >= 1)
        SetContentSize(width, height);
}

void LPaintControlScrollable::UpdateScroll()
{
    int x = 0, y = 0;
    if (parent && GetScrollView()) {
        const double s = GetBackingScale();
        const LUiPoint origin = GetScrollView()->BoundsOrigin();
        x = int(origin.x * s);
        y = int(origin.y * s);
    }
    SetScrollOffset(x, y);
    if (parent && paintView)
        paintView->SetNeedsDisplay();
}

int32_t LPaintControlScrollable::GetScrollOffsetX() const
{
    return const_cast<LPaintControlScrollable*>(this)->GetScrolledPositionHorizontalPixels();
}

int32_t LPaintControlScrollable::GetScrollOffsetY() const
{
    return const_cast<LPaintControlScrollable*>(this)->GetScrolledPositionVerticalPixels();
}

void LPaintControlScrollable::SetScrollOffsetY(int y)
{
    LCustomCocoaScrollView* scroll = GetScrollView();
    if (!scroll)
        return;
    const int visible = int(scroll->contentSize().height * GetBackingScale());
    const int limit = std::max(0, GetContentSizeVerticalPixels() - visible);
    const int offset = y < 1 ? 0 : std::min(y, limit);
    SetScrollOffset(GetScrollOffsetX(), offset);
    ScrollVerticallyToPixels(offset);
}

int LPaintControlScrollable::VisibleScrollerPixels(bool vertical) const
{
    LCustomCocoaScrollView* scroll = GetScrollView();
    if (!scroll || !scroll->isScrollerVisible(vertical))
        return 0;
    return int(LCustomCocoaScrollView::scrollerWidth() * GetBackingScale());
}

int LPaintControlScrollable::GetWidthPixels() const
{
    return GetWidth() - VisibleScrollerPixels(true);
}

int LPaintControlScrollable::GetHeightPixels() const
{
    return GetHeight() - VisibleScrollerPixels(false);
}
