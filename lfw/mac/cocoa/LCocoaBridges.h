// What the back end calls on objects of the framework above it. The back end lies below the
// window framework, so it reaches the framework's handler objects only through these interfaces,
// which the framework's classes implement (LMouseHandler, LKeyHandler, LDragSource, LDropTarget,
// LDragDropHandler, LResizable, the painted background).
#pragma once

#include "platform/ui/LUiTypes.h"
#include "platform/ui/LView.h"

#include <cairo.h>

class LCocoaWindow;
class LNativeWindow;

// Mouse events of a view, in the view's points (the handler turns them into backing pixels).
class LCocoaMouseBridge {
public:
    virtual bool EvMouseDown(const LUiEvent& event) = 0;
    virtual bool EvMouseUp(const LUiEvent& event) = 0;
    virtual bool EvRightMouseDown(const LUiEvent& event) = 0;
    virtual bool EvRightMouseUp(const LUiEvent& event) = 0;
    // The middle button and the extra ones (LUiEvent::button tells which).
    virtual bool EvOtherMouseDown(const LUiEvent& event) = 0;
    virtual bool EvOtherMouseUp(const LUiEvent& event) = 0;
    virtual bool EvMouseMoved(const LUiEvent& event) = 0;
    virtual bool EvMouseWheel(const LUiEvent& event) = 0;
    virtual void EvMouseIn() = 0;
    virtual void EvMouseOut() = 0;
    // The view goes away: the handler forgets it (and the view forgets the handler).
    virtual void MouseHandlerDestroy() = 0;

protected:
    ~LCocoaMouseBridge() = default;
};

// Key events of a view; each answers whether the key was handled.
class LCocoaKeyBridge {
public:
    virtual bool EvKeyDown(const LUiEvent& event) = 0;
    // A key-up (the handler clears the modifier bits, tells repeats apart and keeps its state).
    virtual bool EvKeyUp(const LUiEvent& event) = 0;
    virtual bool EvKeyFlagsChanged(const LUiEvent& event) = 0;
    // The handler's key-down for a key value of its own (the Escape action passes 0x35000000).
    virtual bool EvKeyDownValue(uint32_t keyValue) = 0;

protected:
    ~LCocoaKeyBridge() = default;
};

// A view's drag source: told when a drag that it started has ended.
class LCocoaDragSourceBridge {
public:
    virtual void EvDraggingSessionEnded() = 0;

protected:
    ~LCocoaDragSourceBridge() = default;
};

// A view's drop target for drags of this application and of file lists.
class LCocoaDropTargetBridge {
public:
    // Whether the data type it took from the current drag is the file list.
    virtual bool IsFileListDrop() const = 0;
    virtual bool EvDraggingEntered(const LUiDragInfo& info, LView* view) = 0;
    virtual void EvDraggingUpdated(const LUiDragInfo& info, LView* view) = 0;
    virtual void EvDraggingExited() = 0;
    virtual void EvDraggingEnded() = 0;
    virtual bool EvPerformDragOperation(const LUiDragInfo& info, LView* view) = 0;

protected:
    ~LCocoaDropTargetBridge() = default;
};

// Takes files dropped from other applications.
class LCocoaDragDropBridge {
public:
    virtual void EvDropFiles(const LUiDragInfo& info, LView* view) = 0;

protected:
    ~LCocoaDragDropBridge() = default;
};

// The resizing handler of a resizable dialog.
class LCocoaResizableBridge {
public:
    virtual void RelayoutControls(LCocoaWindow& window) = 0;
    virtual void EvWindowWillMiniaturize(LNativeWindow& window) = 0;
    virtual bool EvWindowShouldZoom(LNativeWindow& window) = 0;
    virtual void EvWindowDidResize(LNativeWindow& window, const LUiRect& previousFrame) = 0;

protected:
    ~LCocoaResizableBridge() = default;
};

// The painted background of a window, stored on its content view under kPaintBackgroundKey.
class LCocoaPaintBackgroundBridge {
public:
    virtual void EvPaint(cairo_t* cr, const LUiRect& bounds) = 0;
    // The content view's size changed: re-read it, notify and repaint.
    virtual void UpdateSizeAndPaint() = 0;

protected:
    ~LCocoaPaintBackgroundBridge() = default;
};

// A painted control behind its host view (LCocoaPaintControlImpl). The host keeps the control's
// size in backing pixels, hands it every paint and key, and tells it when it is shown or hidden.
class LCocoaPaintControlBridge {
public:
    // The control's stored size in backing pixels.
    virtual void GetPaintControlSize(int& width, int& height) const = 0;
    virtual void SetPaintControlSize(int width, int height) = 0;
    // The new size is already stored.
    virtual void EvSize() = 0;
    virtual void EvShow(bool show) = 0;
    // Paints the control; dirty is in the host's points.
    virtual void EvPaint(cairo_t* cr, const LUiRect& dirty) = 0;
    // Keys of the host (down, repeat and up); true when the control handled the key.
    virtual bool EvPaintControlKey(const LUiEvent& event) = 0;
    // The backing scale of the window changed: what the control keeps in backing pixels (its
    // size, fonts, measured texts) is taken afresh.
    virtual void EvBackingScaleChanged() { }

protected:
    ~LCocoaPaintControlBridge() = default;
};

// The scroll view object of the framework (LScrollView) behind its GTK scroll view.
class LCocoaScrollViewBridge {
public:
    // Whether it holds both its scroll view and its document view.
    virtual bool HasScrollAndDocumentViews() const = 0;
    // The visible part moved.
    virtual void UpdateScroll() = 0;

protected:
    ~LCocoaScrollViewBridge() = default;
};
