// The design canvas: the item viewer over one design's overlays. It paints the design's
// background, overlays and outline, dims everything outside the label's shape, marks the
// selected overlay with a frame and four handles, and reports selection changes, overlay edits
// and context-menu requests to its observers (the project viewer, which records undo states).
#pragma once

#include "app/VTItemViewer.h"
#include "app/VTOverlay.h"
#include "app/VTProjectTemplate.h"
#include "app/VTSlicedPicture.h"
#include "lfw/gen/LNotifier.h"
#include "platform/ui/LRunLoop.h"

#include <functional>

class LGraphicsPath;
class VTProjectTemplateViewer;

class VTProjectTemplateViewerNotifyee {
public:
    virtual ~VTProjectTemplateViewerNotifyee() = default;
    virtual void EvProjectTemplateViewerSelectionChanged(VTProjectTemplateViewer&) { }
    virtual void EvProjectTemplateViewerContextMenuOpen(VTProjectTemplateViewer&) { }
    // Sent at the first move of a drag, before the overlay changes.
    virtual void EvProjectTemplateViewerOverlayChanged(VTProjectTemplateViewer&) { }
};

class VTProjectTemplateViewer : public VTItemViewer<VTProjectTemplate, VTOverlay>,
                                private VTProjectTemplateNotifyee {
public:
    VTProjectTemplateViewer();
    ~VTProjectTemplateViewer() override;

    void AddNotifyee(VTProjectTemplateViewerNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTProjectTemplateViewerNotifyee& n) { notifier.RemoveNotifyee(n); }

    void NotifyItemSelectionChanged() override;
    void NotifyItemChanged() override;
    void EvContextMenuOpen() override;
    // The design's box centred on the origin; all zeros for a design without geometry; (0, 0,
    // 1, 1) without a design.
    LBoundingBox2T<float> GetCollectionBoundingBox() const override;
    // A design whose paint takes long is painted again no sooner than twice as long after its
    // last paint ended: while edits follow one another (a start adding a thousand pictures) the
    // window's thread spends at most a third of its time painting, so that an edit costs the
    // same however many overlays are painted with it. A quick paint is asked for at once.
    void Invalidate() override;
    void Prepaint(LPaintContext& context) override;
    // With the keyboard on the canvas, Space selects the next overlay and Shift+Space the one
    // before, in their stacking order from the bottom, round from the top to the bottom; Escape
    // selects none.
    bool EvKeyDown(LKey key) override;
    // Called after each paint that shows a design.
    std::function<void()> designPainted;
    // How long the last paint took, the display's part included (ms).
    long long GetLastPaintMs() const { return lastPaintMs; }
    // Whether the last paint showed the whole design (false while a design of many overlays is
    // still being painted in slices).
    bool WasDesignWhole() const { return designWhole; }

    // The list position of the single selected overlay of the shown design; -1 when none or more
    // than one is selected.
    int GetSelectedItemIndex() const;
    // Selects the overlay at the position (with notification; the rest of the selection stays);
    // a negative or missing position does nothing.
    void SetSelectedItemIndex(int index);
    // The client size less the whole-pixel margin (a tenth of the smaller side) and the
    // design's size in whole millimetres.
    void GetTemplateClientDimension(
        int& width, int& height, int& templateWidth, int& templateHeight) const;
    // One place up or down; nothing ever goes below an image background.
    bool RaiseItem();
    bool LowerItem();

protected:
    void EvCollectionChanging(VTProjectTemplate* previous, VTProjectTemplate* next) override;
    // The four corner handles: a circular text's is a press on its band (the radius drag), any
    // other overlay's a press on its corner.
    uint8_t HandleHitFlags(VTOverlay& overlay, float x, float y) override;

private:
    void EvProjectTemplateOverlayDeleting(VTProjectTemplate&, VTOverlay& overlay) override;
    static void RepaintDue(LRunLoopTimer* timer, void* data);
    // The design, overlays and selection; false when there is no design to show.
    bool PaintDesign(LPaintContext& context);
    // The design's background (when asked) and its overlays from next on, in the design's frame
    // (matrix); with a time (LRunLoop::NowMs) in until, only as many as fit before it, at least
    // one. next receives the first overlay not painted (null when all are).
    void PaintBackgroundAndOverlays(LPaintContext& context, const LMatrix<float>& matrix,
        const LGraphicsPath& clip, VTOverlay*& next, bool background, long long until);
    // False when no picture can be made (the design is then painted whole).
    bool PaintInSlices(
        LPaintContext& context, const LMatrix<float>& matrix, const LGraphicsPath& clip);

    // The design of many overlays painted a slice at a time, and the first overlay not in the
    // picture being made yet.
    VTSlicedPicture slices { *this };
    VTOverlay* sliceNext = nullptr;
    bool designWhole = false; // the last paint showed all of the design

    LNotifier<VTProjectTemplateViewerNotifyee> notifier;
    LRunLoopTimer repaint { RepaintDue, this };
    long long lastPaintEnd = 0; // LRunLoop::NowMs() when the last paint ended
    long long lastPaintMs = 0; // how long it took
};
