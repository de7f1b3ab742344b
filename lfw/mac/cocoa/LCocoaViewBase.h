// The base view of the framework's own views: it belongs to a window object and routes mouse,
// key and drop events to the handler objects of the framework (through the bridges of
// LCocoaBridges.h), and the shared mouse capture that lets one handler receive every mouse event
// while it holds it.
#pragma once

#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "platform/ui/LView.h"

#include <cstdint>

class LCocoaWindow;

class LCocoaViewBase : public LView {
public:
    // The view of a window object (not owned).
    LCocoaViewBase(const LUiRect& frame, LCocoaWindow* window);

    LCocoaWindow* lfwWindow() const { return pWindow; }
    void setLfwWindow(LCocoaWindow* window) { pWindow = window; }

    // Handlers belong to their windows; the view never deletes them.
    void setMouseHandler(LCocoaMouseBridge* handler);
    LCocoaMouseBridge* mouseHandler() const { return pMouseHandler; }
    // A second non-null handler while one is set is ignored; null clears.
    void setKeyHandler(LCocoaKeyBridge* handler);
    LCocoaKeyBridge* keyHandler() const { return pKeyHandler; }
    void setDragSource(LCocoaDragSourceBridge* source) { pDragSource = source; }
    LCocoaDragSourceBridge* dragSource() const { return pDragSource; }
    void setDropTarget(LCocoaDropTargetBridge* target) { pDropTarget = target; }
    LCocoaDropTargetBridge* dropTarget() const { return pDropTarget; }
    // Non-null registers the view for dropped files; null unregisters every type.
    void setDragDropHandler(LCocoaDragDropBridge* handler);
    LCocoaDragDropBridge* dragDropHandler() const { return pDragDropHandler; }

    // The view in which a mouse drag runs (or its window's content view when that is the drag
    // source); null when none.
    static LView* draggedView();

    // Drags this view starts may copy or move (kLUiDragCopy | kLUiDragMove) when it has a drag
    // source; none otherwise.
    int draggingSourceOperationMask() const;

    // A view of this kind may stand as a routing point for command forwarding.
    virtual bool canRouteCommands() const { return false; }
    // Key equivalents (Ctrl-keys) offered before the menus see them; true when handled.
    virtual bool performKeyEquivalent(const LUiEvent&) { return false; }
    // Undo and redo of text-like views (Ctrl+Z, Ctrl+Shift+Z).
    virtual void undo() { }
    virtual void redo() { }

    // LView
    bool IsEnabled() const override { return fBaseEnabled; }
    void SetEnabled(bool enabled) override;
    bool AcceptsFirstResponder() const override;
    bool MouseDown(const LUiEvent& e) override;
    bool RightMouseDown(const LUiEvent& e) override;
    bool MouseUp(const LUiEvent& e) override;
    bool RightMouseUp(const LUiEvent& e) override;
    bool MouseMoved(const LUiEvent& e) override;
    bool MouseDragged(const LUiEvent& e) override;
    bool RightMouseDragged(const LUiEvent& e) override;
    bool OtherMouseDown(const LUiEvent& e) override;
    bool OtherMouseUp(const LUiEvent& e) override;
    bool OtherMouseDragged(const LUiEvent& e) override;
    bool MouseEntered(const LUiEvent& e) override;
    bool MouseExited(const LUiEvent& e) override;
    bool ScrollWheel(const LUiEvent& e) override;
    bool KeyDown(const LUiEvent& e) override;
    bool KeyUp(const LUiEvent& e) override;
    bool FlagsChanged(const LUiEvent& e) override;
    int DraggingEntered(const LUiDragInfo& info) override;
    int DraggingUpdated(const LUiDragInfo& info) override;
    void DraggingExited(const LUiDragInfo& info) override;
    void DraggingEnded(const LUiDragInfo& info) override;
    bool PrepareForDragOperation(const LUiDragInfo& info) override;
    bool PerformDragOperation(const LUiDragInfo& info) override;

    // Ends a drag this view started (the drag source's session is over).
    void draggingSessionEnded(bool leftMouseUp, const LUiEvent* upEvent);

    bool isMouseDown() const { return bMouseDown; }
    bool isMouseIn() const { return bMouseIn; }
    bool isMouseDragging() const { return bMouseDragging; }

protected:
    ~LCocoaViewBase() override;

    LCocoaWindow* pWindow;

private:
    bool ModalElsewhere() const;
    bool DropOfThisApplicationOrFiles(const LUiDragInfo& info) const;
    bool MouseDraggedCommon(const LUiEvent& e);

    LCocoaMouseBridge* pMouseHandler = nullptr;
    LCocoaKeyBridge* pKeyHandler = nullptr;
    LCocoaDragSourceBridge* pDragSource = nullptr;
    LCocoaDropTargetBridge* pDropTarget = nullptr;
    LCocoaDragDropBridge* pDragDropHandler = nullptr;
    bool bMouseDown = false;
    bool bMouseIn = false;
    bool bMouseDragging = false;
    bool fBaseEnabled = true;
};

// The shared mouse capture: while a handler holds it, every mouse event of the application goes
// to the capturing view, and a mouse-up anywhere reaches only the capturing handler.
class LCocoaMouseCaptureImpl {
public:
    static LCocoaMouseCaptureImpl& sharedMouseCapture();
    // Releases an earlier capture first; answers its handler.
    LCocoaMouseBridge* setCapture(LCocoaMouseBridge* handler, LView* view);
    LCocoaMouseBridge* getCapture() const { return pMouseHandler; }
    LView* captureView() const { return fView.Get(); }
    void releaseCapture();

private:
    static bool Monitor(GdkEvent* event, void* data);

    LCocoaMouseBridge* pMouseHandler = nullptr;
    LUiRef<LView> fView;
    uintptr_t lclEvMonitor = 0;
};
