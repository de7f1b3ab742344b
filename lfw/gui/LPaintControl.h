// The base of every owner-drawn control: a plain object that paints itself with a paint context
// into a host view that its window created under a control id. The host view asks it to paint
// and tells it its size; a mouse handler of its own turns the host's mouse events into the
// control's virtual operations. All sizes and positions are device (backing) pixels relative to
// the control's top-left corner. Main thread only.
#pragma once

#include "lfw/mac/LMouseHandler.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"
#include "lfw/mac/cocoa/LKey.h"
#include "platform/ui/LUiTypes.h"
#include "platform/ui/LView.h"

#include <cairo.h>
#include <cstdint>

class LMacWindow;
class LView;
using LWindow = LMacWindow;
class LPaintControl;
class LPopupMenu;

// Forwards the host view's mouse events to the owning control; moves outside the control reach
// it only while it holds the mouse capture.
class LPaintControlMouseHandler : public LMouseHandler {
public:
    explicit LPaintControlMouseHandler(LPaintControl& owner)
        : pOwner(&owner)
    {
    }
    void Attach(LMacWindow* window, LView* view)
    {
        pWindow = window;
        pView = view;
    }

    void EvMouseIn() override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvDoubleClick(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvRButtonUp(int x, int y) override;
    void EvRButtonDown(int x, int y) override;
    void EvMButtonUp(int x, int y) override;
    void EvMButtonDown(int x, int y) override;
    void EvMouseMove(int x, int y) override;
    void EvMouseHover(int x, int y) override;
    void EvMouseWheel(int x, int y, int delta) override;
    void EvMouseHWheel(int x, int y, int delta) override;

private:
    LPaintControl* pOwner;
};

class LPaintControl : public LPaintSurface,
                      public LCocoaMenuPaintControl,
                      public LCocoaPaintControlBridge {
public:
    LPaintControl();
    ~LPaintControl() override;
    LPaintControl(const LPaintControl&) = delete;
    LPaintControl& operator=(const LPaintControl&) = delete;

    // Binds the control to the host view under the id; a view of the wrong kind (or none)
    // leaves it unbound, and every operation then does nothing.
    void Init(LWindow& parent, int id);
    // Binds the control to a host view directly: a painted-control host, or a scroll view whose
    // document is one (then painted into its document).
    void InitWithHost(LWindow& parent, LView* host);
    // Unbinds: the host's timer, the capture when this control holds it, the mouse handler and
    // the host's link. A second call does nothing.
    void DestroyPaintControl();

    // Width and height from the host's bounds times the backing scale, truncated.
    void UpdateSize();
    // Repaint all, or a rectangle given in device pixels.
    void Update();
    void Update(int x, int y, int w, int h);
    void Enable();
    void Disable();
    bool IsEnabled() const;
    void SetCapture();
    bool IsCaptured() const;
    // Releases the shared capture, whoever holds it.
    void ReleaseCapture();
    bool IsMouseIn() const;
    // Makes the control a stop of Tab: its keys then come to EvKeyDown, and it is painted again
    // when it takes or loses the focus (HasKeyboardFocus says which).
    void SetKeyboardReachable();
    bool HasKeyboardFocus() const;
    // Whether it has the keyboard and its window shows where the keyboard is (keys have been
    // used in it): what a control frames its keyboard place by, as GTK draws a focus ring.
    bool ShowsKeyboardFocus() const;
    // The control's top-left corner in client pixels of the enclosing real window.
    void GetPositionRealWindowPixels(int& x, int& y) const;
    int MapCharacterUnitsToPixelsX(float units) const;

    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    LView* GetHostView() const { return hostView; }
    LView* GetPaintView() const { return paintView; }
    LWindow* GetParent() const { return parent; }
    LPaintControlMouseHandler& GetMouseHandler() { return mouseHandler; }
    bool IsBound() const { return hostView != nullptr; }
    // The backing scale of the parent's view (1 without one).
    double GetBackingScale() const;

    // The host's hooks (see LCocoaPaintControlImpl).
    void GetPaintControlSize(int& width, int& height) const override
    {
        width = mWidth;
        height = mHeight;
    }
    void SetPaintControlSize(int width, int height) override { SetSurfaceSize(width, height); }
    // Paints into the host's cairo context (in the host's points); dirty is in points.
    void EvPaint(cairo_t* cr, const LUiRect& dirty) override;
    // The paint cycle proper on a context in points: scale s, host size in points, whether the
    // host is enabled. Also what tests drive on image surfaces.
    void PaintInContext(cairo_t* cr, const LUiRect& dirty, double s, double hostWidth,
        double hostHeight, bool hostEnabled);

    // --- Virtual operations (coordinates in device pixels of the control).
    virtual void EvMouseIn() { }
    virtual void EvMouseOut() { }
    virtual void EvMouseMove(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseHover(int x, int y) { (void)x, (void)y; }
    virtual void EvLButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvLButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvRButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvRButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvMButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvMButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }
    virtual void EvMouseHWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }
    virtual void EvDoubleClick(int x, int y) { (void)x, (void)y; }
    // Keys; each answers whether it was handled.
    virtual bool EvKeyDown(LKey key) { return (void)key, false; }
    virtual bool EvKeyRepeat(LKey key) { return (void)key, false; }
    virtual bool EvKeyUp(LKey key) { return (void)key, false; }
    // A key event of the host: a press, a press without release (an auto-repeat), a release.
    bool EvPaintControlKey(const LUiEvent& event) override;
    // A command of a pop-up menu opened for this control.
    void PaintControlCommand(int id, int notifyCode) override { (void)id, (void)notifyCode; }
    // Shows the menu at a point of the control (device pixels); its items come back to
    // PaintControlCommand. Returns once the menu closed.
    void ShowPopupMenu(LPopupMenu& menu, int x, int y);
    void EvSize() override { }
    void EvShow(bool show) override { (void)show; }
    // Takes the size in backing pixels afresh and paints again; a control that keeps fonts or
    // measures in backing pixels takes them afresh too (and calls this).
    void EvBackingScaleChanged() override;
    virtual void Paint(LPaintContext& context) = 0;
    // Copies of pictures that the last paint drew stand-ins for (LScreenImageCopies) have been
    // made: paints again.
    virtual void EvScreenCopiesMade();

    // Set before Init by concrete controls.
    bool bDimWhenDisabled = true;
    int32_t cornerRadius = 0;

protected:
    LView* hostView = nullptr;
    LView* paintView = nullptr; // the host, or the document view of a scrolling host
    LWindow* parent = nullptr;
    LPaintControlMouseHandler mouseHandler;
    bool bScrollable = false;
    // The host stays alive while the control is bound to it, even when its window tears its
    // views down first.
    LUiRef<LView> fHostHold;
    LUiRef<LView> fPaintHold;

    friend class LPaintControlMouseHandler;
};

// Selects a font into a paint context for a scope; the font before comes back at its end.
class LPaintFontScope {
public:
    LPaintFontScope(LPaintContext& context, const LGuiFont& font);
    ~LPaintFontScope();
    LPaintFontScope(const LPaintFontScope&) = delete;
    LPaintFontScope& operator=(const LPaintFontScope&) = delete;
    // The record that asks a context for the font.
    static LFontAttributes AttributesOf(const LGuiFont& font);

private:
    LPaintContext& fContext;
    LFontAttributes fPrevious;
};

// A control that paints in two steps: Paint calls Prepaint.
class LPaintControlPrePaint : public LPaintControl {
public:
    void Paint(LPaintContext& context) override { Prepaint(context); }
    virtual void Prepaint(LPaintContext& context) = 0;
};

// A push button painted inside a painted control.
class LPaintControlButton {
public:
    void DrawButtonBackground(LPaintContext& context, uint8_t r, uint8_t g, uint8_t b) const;
    void DrawFrame(LPaintContext& context) const;
    void DrawFrame(LPaintContext& context, const LGuiColor& color) const;
    void DrawLabel(LPaintContext& context, const char* text) const;

    int32_t top = 0;
    int32_t bottom = 0;
    int32_t left = 0;
    int32_t right = 0;
    bool pressed = false;
    bool hot = false;
};

// Paints a window's background: associated with the window's content view, which then paints
// through it and tells it of every change of its size. Sizes are client pixels.
class LPaintBackground : public LCocoaPaintBackgroundBridge {
public:
    LPaintBackground() = default;
    virtual ~LPaintBackground();
    LPaintBackground(const LPaintBackground&) = delete;
    LPaintBackground& operator=(const LPaintBackground&) = delete;

    // Associates this painter with the window's content view (replacing none or itself).
    void Attach(LWindow& window);
    // Removes the association.
    void Detach();

    // The client size changed (or a change is forced).
    virtual void EvPaintBackgroundSize(int width, int height) { (void)width, (void)height; }
    virtual void EvPaintBackground(LPaintContext& context) = 0;

    // Reads the client size; tells EvPaintBackgroundSize when it changed or a change is forced.
    void UpdateSizeAndPaint() override;
    void EvPaint(cairo_t* cr, const LUiRect& bounds) override;
    // The same on a context in points with scale s (what tests drive on image surfaces).
    void PaintInContext(cairo_t* cr, const LUiRect& bounds, double s);
    // The next size notification is sent even when the size is unchanged.
    void ForceSizeNotification() { bForceSize = true; }

protected:
    LWindow* pWindow = nullptr;
    int iClientWidth = 0;
    int iClientHeight = 0;
    bool bForceSize = true;
};
