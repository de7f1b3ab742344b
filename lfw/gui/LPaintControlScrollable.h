// Painted controls whose content is larger than they are: the control is the document of a
// scroll view and paints its whole content, which the scroll view moves.
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LScrollView.h"

// Paints the content in content coordinates (device pixels); PaintScrolled gets the visible
// width and height, the area the scroll bars leave free.
class LPaintControlPrePaintScrollable : public LPaintControlPrePaint {
public:
    // With measureOnly, only reports the content's full width and height (device pixels, the
    // values passed in are the starting guess); else paints it and may update the size.
    virtual void PaintScrolled(LPaintContext& context, int& width, int& height, bool measureOnly)
        = 0;
    void Prepaint(LPaintContext& context) override;

protected:
    // The width of the scroll bar that shows now in device pixels, else 0.
    virtual int VisibleScrollerPixels(bool vertical) const = 0;
};

template <class Base> class LPaintControlScrollableTemplate;

template <>
class LPaintControlScrollableTemplate<LPaintControlPrePaint>
    : public LScrollView, public LPaintControlPrePaintScrollable {
public:
    // Binds to the scroll view under id whose document is a painted-control host (nothing
    // otherwise) and takes the content size the control measures.
    void Init(LWindow& window, int id);
    // Measures the content again and repaints.
    void Update();
    using LPaintControlPrePaintScrollable::Update;

    void MoveScrollViewPixels(int x, int y, int w, int h) override;
    // The scroll position moved: the offsets follow and the control repaints.
    void UpdateScroll() override;
    int32_t GetScrollOffsetX() const override;
    int32_t GetScrollOffsetY() const override;
    // Scrolls to a vertical offset (pixels), kept within the content.
    void SetScrollOffsetY(int y);
    // The control's size less the scroll bars that show.
    int GetWidthPixels() const;
    int GetHeightPixels() const;

protected:
    int VisibleScrollerPixels(bool vertical) const override;

private:
    // PaintScrolled(measureOnly) on a scratch context; false when a dimension is not positive.
    bool Measure(int& width, int& height);
};
