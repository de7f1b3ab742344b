// The view: one rectangle of a window with its GTK widget. Views form a tree (superview, ordered
// subviews, the last on top); each has an integer tag, a frame in points relative to its
// superview (y down), hidden and enabled states, associated data by key, and virtual handlers for
// drawing, mouse, keys, focus and drops.
//
// The widget is made on first use (Widget()), so views can be built and used as plain objects
// without a display; a view added to a superview that has its widget gets its own at once. A view
// without its own widget class is a VtLayout (see LLayout.h), which places its subviews' widgets
// at their frames; a view whose widget is another container (a scrolled window, a notebook) says
// through SubviewContainer which VtLayout inside it holds its subviews. Views are reference
// counted: the creator holds one reference, a superview one per subview.
#pragma once

#include "platform/ui/LAssociations.h"
#include "platform/ui/LUiTypes.h"

#include <gtk/gtk.h>
#include <string>
#include <vector>

class LNativeWindow;

// What a view is told about a drag over it. Positions in the view's points.
struct LUiDragInfo {
    double x = 0;
    double y = 0;
    bool fromThisApplication = false; // the drag started in one of our widgets
    std::vector<std::string> types; // offered data types (MIME names)
    GdkDragContext* context = nullptr;
    uint32_t time = 0;
    // At the drop (PerformDragOperation): the data of the first type the view registered that
    // the drag offers, and that type's name.
    std::string dataType;
    std::vector<uint8_t> data;
};

// Drag operations (bits).
enum : int { kLUiDragNone = 0, kLUiDragCopy = 1, kLUiDragMove = 16 };

class LView : public LUiObject, public LAssociations {
public:
    LView();

    // Tree. AddSubview puts the view on top (taking it from an earlier superview first).
    LView* Superview() const { return fSuperview; }
    const std::vector<LView*>& Subviews() const { return fSubviews; }
    void AddSubview(LView* view);
    void InsertSubview(LView* view, size_t position);
    void RemoveFromSuperview();
    bool IsDescendantOf(const LView* ancestor) const; // true for the view itself
    // The native window whose content view is the root of this view's tree; null when none.
    LNativeWindow* Window() const;

    int Tag() const { return fTag; }
    void SetTag(int tag) { fTag = tag; }

    // The frame in points relative to the superview; Bounds is the same size at 0, 0.
    const LUiRect& Frame() const { return fFrame; }
    LUiRect Bounds() const { return LUiRect { 0, 0, fFrame.width, fFrame.height }; }
    void SetFrame(const LUiRect& frame);
    // The point of the subviews' coordinates that shows at this view's top-left corner: a
    // scrolling container keeps its scroll position here (0, 0 for every other view).
    LUiPoint BoundsOrigin() const { return fBoundsOrigin; }
    void SetBoundsOrigin(LUiPoint origin) { fBoundsOrigin = origin; }
    // A point of this view in the coordinates of the root view of its tree (the window's content),
    // scrolling included.
    LUiPoint ConvertToRoot(LUiPoint p) const;
    LUiPoint ConvertFromRoot(LUiPoint p) const;
    // A point on the screen (points) in this view's coordinates; false when the view is not on
    // the screen.
    bool ConvertFromScreen(double screenX, double screenY, LUiPoint& p) const;

    bool IsHidden() const { return fHidden; }
    void SetHidden(bool hidden);
    bool IsHiddenOrHasHiddenAncestor() const;

    // Only views that answer to enabling have the state (controls, the framework's views); the
    // others answer IsEnabled() true and ignore SetEnabled.
    bool AnswersEnabled() const { return fAnswersEnabled; }
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled);

    bool IsOpaque() const { return fOpaque; }
    void SetOpaque(bool opaque) { fOpaque = opaque; }
    void SetNeedsDisplay();
    // Redraws only the rectangle (points, in the view's own coordinates); nothing when empty.
    void SetNeedsDisplayInRect(const LUiRect& rect);
    // The tooltip shown over the view; null or empty removes it.
    void SetToolTipText(const char* text);
    std::string ToolTipText() const;

    // Device pixels per point of the window that shows the view (1 when none).
    double BackingScale() const;

    // Keyboard focus (the first responder of the view's window).
    void SetAcceptsFocus(bool accepts);
    bool AcceptsFocus() const { return fAcceptsFocus; }
    bool HasFocus() const;
    // Whether the view has the focus and shows it: its window shows where the focus is (once keys
    // have been used in it, when GTK draws its focus rings) and the focus did not come with a
    // click on the view.
    bool HasVisibleFocus() const;
    bool MakeFocus();
    // Keyboard navigation (Tab, and the first focus of a shown window) passes over a view that
    // cannot become a key view and goes on into its subviews; a click still gives it the focus
    // when it accepts it. Only views drawn by the layer itself (a layout widget) follow it:
    // controls with a GTK widget of their own keep GTK's navigation.
    void SetCanBecomeKeyView(bool can) { fCanBecomeKeyView = can; }
    bool CanBecomeKeyView() const { return fCanBecomeKeyView; }
    // While shut, keyboard navigation passes over the view and everything inside it, as over a
    // hidden view (a collapsed panel, whose controls are out of sight); a focus inside it is
    // taken away when it shuts, as when a focused control is hidden. A view inside it that is
    // kept open (a collapsed panel's title bar, which opens it) stays a stop, keeps its focus
    // and takes the focus that was inside where it can.
    void SetKeyboardShut(bool shut, LView* keptOpen = nullptr);
    bool IsKeyboardShut() const { return fKeyboardShut; }
    LView* KeyboardKeptOpen() const { return fKeyboardKeptOpen; }
    // Tab goes through the listed views (each a subview, or inside one) first, in the order
    // given, then through the other subviews in GTK's order by place (rows from the top): for a
    // layout read column by column. Only for a view drawn by the layer itself.
    void SetKeyViewOrder(const std::vector<LView*>& first) { fKeyViewsFirst = first; }
    const std::vector<LView*>& KeyViewOrder() const { return fKeyViewsFirst; }

    // The widget, made on first call; ExistingWidget never makes it.
    GtkWidget* Widget();
    GtkWidget* ExistingWidget() const { return fWidget; }
    // The view of a widget, or of its nearest ancestor that has one; null when none.
    static LView* FromWidget(GtkWidget* widget);

    // Drop targets: the data types (MIME names) the view accepts; empty unregisters.
    void RegisterDraggedTypes(const std::vector<std::string>& types);

    // Handlers. Each event handler answers true when it handled the event; false passes it on to
    // the superview (and finally to the window).
    virtual void Draw(cairo_t* cr, const LUiRect& dirty);
    virtual bool MouseDown(const LUiEvent&) { return false; }
    virtual bool MouseUp(const LUiEvent&) { return false; }
    virtual bool RightMouseDown(const LUiEvent&) { return false; }
    virtual bool RightMouseUp(const LUiEvent&) { return false; }
    virtual bool MouseMoved(const LUiEvent&) { return false; }
    virtual bool MouseDragged(const LUiEvent&) { return false; }
    virtual bool RightMouseDragged(const LUiEvent&) { return false; }
    // The middle button and the extra ones; LUiEvent::button tells which.
    virtual bool OtherMouseDown(const LUiEvent&) { return false; }
    virtual bool OtherMouseUp(const LUiEvent&) { return false; }
    virtual bool OtherMouseDragged(const LUiEvent&) { return false; }
    virtual bool MouseEntered(const LUiEvent&) { return false; }
    virtual bool MouseExited(const LUiEvent&) { return false; }
    virtual bool ScrollWheel(const LUiEvent&) { return false; }
    virtual bool KeyDown(const LUiEvent&) { return false; }
    virtual bool KeyUp(const LUiEvent&) { return false; }
    virtual bool FlagsChanged(const LUiEvent&) { return false; }
    virtual void FocusIn() { }
    virtual void FocusOut() { }
    // Whether a click gives the view the keyboard focus.
    virtual bool AcceptsFirstResponder() const { return fAcceptsFocus; }
    // The frame changed (moved or resized, also when the window resized the content view).
    virtual void FrameDidChange() { }
    // SetHidden changed the view's own hidden state.
    virtual void HiddenDidChange(bool hidden) { (void)hidden; }
    // Drops: operations are kLUiDrag* bits.
    virtual int DraggingEntered(const LUiDragInfo&) { return kLUiDragNone; }
    virtual int DraggingUpdated(const LUiDragInfo&) { return kLUiDragNone; }
    virtual void DraggingExited(const LUiDragInfo&) { }
    virtual void DraggingEnded(const LUiDragInfo&) { }
    virtual bool PrepareForDragOperation(const LUiDragInfo&) { return false; }
    virtual bool PerformDragOperation(const LUiDragInfo&) { return false; }

    // What assistive technologies are told of a view drawn by the layer itself (a panel without
    // name or action unless a control says more). The action is the view's one action (a click):
    // its name, null when the view has none, and the action itself (true when done).
    virtual AtkRole AccessibleRole() const { return ATK_ROLE_PANEL; }
    virtual std::string AccessibleName() const { return {}; }
    virtual const char* AccessibleActionName() const { return nullptr; }
    virtual bool AccessibleActivate() { return false; }
    // Tells assistive technologies that the name or role changed. A view with a GTK widget of
    // its own (a control) keeps GTK's accessible object: a role other than a panel and a
    // non-empty name are given to it when the widget is made and here.
    void AccessibleChanged();

    // Sends FrameDidChange to every view below this one, depth first (a scale change).
    void NotifySubviewsFrameChanged();

    // Turns a GDK event into the event record of this view (positions in its points).
    bool MakeEvent(const GdkEvent* event, LUiEvent& out) const;
    // Runs the handler of this view that matches the record's type.
    bool DispatchEvent(const LUiEvent& event);

protected:
    ~LView() override;
    // Makes the widget of a subclass (a control). The default is a VtLayout that receives events
    // and holds subviews.
    virtual GtkWidget* CreateWidget();
    // The VtLayout that holds the subviews' widgets, asked once the widget exists: the widget
    // itself when it is one (the default), else null. A container whose widget is something else
    // (a scrolled window's viewport, a notebook's page) answers the VtLayout inside it.
    virtual GtkWidget* SubviewContainer();
    // A container that holds a subview's widget elsewhere than in its VtLayout (a scrolled
    // window its self-scrolling document) puts it there and answers true.
    virtual bool AttachSubviewWidget(LView* child)
    {
        (void)child;
        return false;
    }
    void SetAnswersEnabled(bool answers) { fAnswersEnabled = answers; }

private:
    friend class LNativeWindow;
    friend struct LViewGlue;
    friend struct LNativeWindowGlue;
    void AttachChildWidget(LView* child, size_t position);
    GtkWidget* ExistingSubviewContainer();
    void DetachWidgetFrom(GtkWidget* ancestor);
    void PlaceWidget();
    void SetFrameFromWindow(const LUiRect& frame);
    static void ConnectLayoutSignals(GtkWidget* widget, LView* view);

    LView* fSuperview = nullptr;
    std::vector<LView*> fSubviews;
    LNativeWindow* fNativeWindow = nullptr; // set on the content view of a native window
    GtkWidget* fWidget = nullptr;
    LUiRect fFrame;
    LUiPoint fBoundsOrigin;
    int fTag = 0;
    bool fHidden = false;
    bool fEnabled = true;
    bool fAnswersEnabled = false;
    bool fOpaque = false;
    bool fAcceptsFocus = false;
    bool fCanBecomeKeyView = true;
    bool fKeyboardShut = false;
    LView* fKeyboardKeptOpen = nullptr; // compared and looked for below the view before use
    bool fFocusByPointer = false; // the focus came with a click on the view
    bool fWarnedNoContainer = false;
    bool fInDrag = false;
    bool fDropped = false;
    bool fAwaitingDropData = false;
    unsigned fLeaveSource = 0;
    std::vector<std::string> fDraggedTypes;
    std::vector<LView*> fKeyViewsFirst; // compared only: a view gone is never reached again
};

// The click count of a plain press (1 for a single click, 2 for the second press of a double
// click...), the same that views give their events; GDK's extra double and triple press events
// are not counted.
int LUiCountClick(const GdkEventButton* press);
