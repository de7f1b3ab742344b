// The host view of a painted control: it keeps the control's size in backing pixels, hands it
// every paint and key, tells it when it is shown or hidden, and carries the control id as its
// tag. LCustomCocoaScrollView is the scroll view behind the framework's LScrollView, whose
// document view is usually such a host; a document that scrolls itself (a list, a tree, an edit
// view) sits in the scrolled window directly.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"

class LCustomCocoaScrollView;

class LCocoaPaintControlImpl : public LCocoaViewBase {
public:
    LCocoaPaintControlImpl(const LUiRect& frame, int cid, LCocoaWindow* window);

    LCocoaPaintControlBridge* paintControl() const { return pPaintControl; }
    void setPaintControl(LCocoaPaintControlBridge* control) { pPaintControl = control; }
    // Stores the size in backing pixels (the enclosing scroll view's when this is its document
    // view) and tells the control when it changed.
    void updatePaintControlSize();
    bool isEnabled() const { return IsEnabled(); }
    void setEnabled(bool enabled) { SetEnabled(enabled); }
    int64_t tag() const { return Tag(); }
    void setTag(int64_t tag) { SetTag(int(tag)); }
    // The scroll view whose document view this is; null when none.
    LCustomCocoaScrollView* enclosingScrollView() const;

    // LView
    void Draw(cairo_t* cr, const LUiRect& dirty) override;
    void FrameDidChange() override { updatePaintControlSize(); }
    void HiddenDidChange(bool hidden) override;
    bool KeyDown(const LUiEvent& e) override;
    bool KeyUp(const LUiEvent& e) override;
    // A control that shows the keyboard focus is painted again when it comes and goes.
    void FocusIn() override;
    void FocusOut() override;

protected:
    ~LCocoaPaintControlImpl() override;

private:
    LCocoaPaintControlBridge* pPaintControl = nullptr;
};

class LCustomCocoaScrollView : public LCocoaViewBase {
public:
    LCustomCocoaScrollView(const LUiRect& frame, int cid);

    // Which scroll bars may show (both unless told); each shows only when needed.
    void setScrollers(bool horizontal, bool vertical);
    // Makes the view the document view (taking out an earlier one). A view whose widget scrolls
    // itself is scrolled directly and kept at the visible size.
    void setSubView(LView* view);
    // 2: a bevelled border; 0: none.
    void setBorderType(int type);
    int borderType() const { return fBorderType; }
    bool hasSubView() const { return fHasSubView; }
    LView* documentView() const { return fDocument.Get(); }
    LCocoaScrollViewBridge* lfwScrollView() const { return pScrollView; }
    void setLfwScrollView(LCocoaScrollViewBridge* scrollView) { pScrollView = scrollView; }
    int64_t tag() const { return Tag(); }
    void setTag(int64_t tag) { SetTag(int(tag)); }
    void setEnabled(bool enabled);
    bool isEnabled() const;
    // The visible part of the document in points (the frame less the visible scroll bars).
    LUiSize contentSize();
    // The document view's frame changed: the scrolled area follows it.
    void documentSizeChanged();
    // Scrolls the document to the point (points); kept within the document.
    void scrollToPoint(LUiPoint point);
    // Whether a scroll bar shows now.
    bool isScrollerVisible(bool vertical);
    // The scroll position moved (the adjustments' values).
    void boundsDidChange();
    // Whether a scroll bar will show for the document's present size (what the next layout
    // makes of it; a document that scrolls itself answers as it shows now).
    bool willShowScroller(bool vertical);
    // The width of a scroll bar beside the document, in points.
    static double scrollerWidth();
    bool scrollsHorizontally() const { return fHorizontal; }
    bool scrollsVertically() const { return fVertical; }

protected:
    ~LCustomCocoaScrollView() override;
    GtkWidget* CreateWidget() override;
    GtkWidget* SubviewContainer() override { return fDocumentLayout; }
    bool AttachSubviewWidget(LView* child) override;
    void FrameDidChange() override;

private:
    bool ScrollsItself() const;
    void ApplyPolicy();
    void FitDocument();
    LCocoaScrollViewBridge* pScrollView = nullptr;
    LUiRef<LView> fDocument;
    GtkWidget* fViewport = nullptr; // held: out of the scrolled window while a document scrolls
    GtkWidget* fDocumentLayout = nullptr; // the VtLayout in the viewport that holds the document
    int fBorderType = 0;
    bool fHasSubView = false;
    bool fHorizontal = true;
    bool fVertical = true;
};
