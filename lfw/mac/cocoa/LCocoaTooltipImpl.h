// The framework's own tips: a light grey rounded box with a text and, in the bubble shape, an
// arrow that points at a control or a point. A tip is made once and reused; shown, it hides by
// itself after 10 seconds, on any click in the application and when its parent window resigns
// the keyboard. Positions are screen points, y down.
#pragma once

#include "platform/ui/LEventHub.h"
#include "platform/ui/LUiPopup.h"
#include "platform/ui/LUiTypes.h"

#include <memory>
#include <string>

class LView;
class LNativeWindow;
class LRunLoopTimer;

// The view's rectangle on the screen (points, y down); false when it is in no window.
bool LCocoaViewScreenRect(LView* view, LUiRect& rect);

// The GTK tooltips of a view's subviews, depth first, are set again (the view was shown after
// being hidden); views without one are left alone and still descended into.
void UpdateChildViewTooltips(LView* view);

// The box and its text: sizes, the arrow and the drawing.
class LCocoaTooltipView {
public:
    LCocoaTooltipView(const std::string& text, bool bubble);

    void setText(const std::string& text) { nszText = text; }
    const std::string& text() const { return nszText; }
    bool hasText() const { return !nszText.empty(); }
    void setArrowSide(int side) { arrowSide = side; }
    int getArrowSide() const { return arrowSide; }
    bool isBubble() const { return bBubbletip; }
    float arrowSize() const { return fArrowSize; }

    // The text laid out at most 1000 points wide; zero without text.
    LUiSize sizeText() const;
    // With the margins around it.
    LUiSize sizeTextContainer() const;
    LUiSize getSizeWithArrow(int side) const;
    LUiSize getSize() const { return hasText() ? getSizeWithArrow(arrowSide) : LUiSize {}; }
    // Where the text box lies in the view for the current side.
    LUiRect textRect() const;
    void draw(cairo_t* cr, double width, double height) const;

    // Longer texts are cut (at a whole character) before they are laid out.
    static constexpr size_t kMaximumBytes = 4096;

private:
    std::string nszText;
    bool bBubbletip;
    int arrowSide;
    float fArrowSize;
    float fTextMargin;
    float fCornerRadius;
};

class LCocoaTooltipImpl {
public:
    LCocoaTooltipImpl(const char* text, bool bubble);
    ~LCocoaTooltipImpl();
    LCocoaTooltipImpl(const LCocoaTooltipImpl&) = delete;
    LCocoaTooltipImpl& operator=(const LCocoaTooltipImpl&) = delete;

    void setText(const char* text);
    const std::string& text() const { return tooltipView.text(); }
    // The window whose resigning the keyboard hides the tip (null: none).
    void setParentWindow(LNativeWindow* window);
    LNativeWindow* parentWindow() const { return fParent; }
    void setTooltipPlace(int place) { tooltipPlace = place; }
    int getTooltipPlace() const { return tooltipPlace; }
    int getArrowSideFor(int place) const;
    LUiPoint anchor() const { return nsPoint; }
    LView* control() const { return hwndControl; }

    // At a screen point (points, top-left origin either way here).
    void moveToPoint(LUiPoint point, bool topLeftOrigin);
    void moveToControl(LView* control);
    void moveToPoint(LUiPoint point, LView* control);

    // The box's rectangle for the current place and anchor.
    LUiRect offsetTooltipRect(const LUiRect& rect) const;
    // Whether the box at the anchor and place lies wholly on the anchor's monitor.
    bool isTooltipFit() const;
    void updateTooltip();
    void resizeContent();
    void show();
    void hide();
    bool isShown() const { return bIsShown; }
    void invalidateTimer();
    // The tip's frame on the screen (points).
    LUiRect frame() const { return fPopup.Frame(); }
    LCocoaTooltipView& view() { return tooltipView; }

private:
    static bool OnEvent(GdkEvent* event, void* data);
    static void OnTimer(LRunLoopTimer* timer, void* data);
    void RemoveMonitors();

    LCocoaTooltipView tooltipView;
    LUiPopup fPopup;
    LView* hwndControl = nullptr; // not held
    LUiPoint nsPoint;
    int tooltipPlace = 0;
    bool bIsShown = true;
    LNativeWindow* fParent = nullptr; // held
    uintptr_t localEventMonitor = 0;
    std::unique_ptr<LRunLoopTimer> timer;
};
