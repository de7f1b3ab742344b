// Painted views of one page of a label layout: the sheet or printer tray to scale, the label
// positions on it, everything outside the printable margins darkened and the selected position
// outlined in blue.
//
// VTLabelLayoutPageViewer is the editable view of the layout editor. Moving a position with the
// keys or the mouse does not tell the observers at every step: they hear once the movement
// pauses (0.25 s after the last key, 0.1 s after the last drag step). Reached with Tab, Space
// chooses the next position (Shift+Space the one before) and the arrow keys move it.
// VTSelectStationeryPageViewer is its read-only form in the stationery dialog: clicks select
// nothing. VTLabelLayoutSelectorViewer (VTLabelLayoutSelectorViewer.h) shows the open project's
// page in the template selector.
#pragma once

#include "app/VTItemViewer.h"
#include "app/VTLabelLayout.h"
#include "lfw/gen/LLockObject.h"
#include "lfw/gen/LNotifier.h"
#include "platform/ui/LRunLoop.h"

#include <memory>

using VTLabelLayoutPageViewerBase = VTItemViewer<VTLabelLayoutPage, VTLabelLayoutTemplate>;

class VTLabelLayoutPageViewer;

class VTLabelLayoutPageViewerNotifyee {
public:
    virtual ~VTLabelLayoutPageViewerNotifyee() = default;
    virtual void EvLabelLayoutPageViewerSelectionChanged(VTLabelLayoutPageViewer&) { }
    virtual void EvLabelLayoutPageViewerContextMenuOpen(VTLabelLayoutPageViewer&) { }
};

class VTLabelLayoutPageViewer : public VTLabelLayoutPageViewerBase {
public:
    explicit VTLabelLayoutPageViewer(bool allowEditing = true);
    ~VTLabelLayoutPageViewer() override;

    void AddNotifyee(VTLabelLayoutPageViewerNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTLabelLayoutPageViewerNotifyee& n) { notifier.RemoveNotifyee(n); }

    // Keeps the layout (not owned) and shows its first page; null shows none and keeps nothing.
    void SetLabelLayout(VTLabelLayout* layout);
    VTLabelLayout* GetLabelLayout() const { return labelLayout; }
    // The half extents of the single selected position's axis-aligned box on the page; the
    // outputs stay as they were without one.
    void GetRotatedTemplateDimension(float& halfWidth, float& halfHeight);
    // Whether the observers are still to hear of a movement.
    bool IsRefreshPending() const;

    void EvMouseMove(int x, int y) override;
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override;
    void Prepaint(LPaintContext& context) override;
    void EvContextMenuOpen() override;
    void NotifyItemSelectionChanged() override;
    void NotifyItemChanged() override { }
    LBoundingBox2T<float> GetCollectionBoundingBox() const override;

    // The refresh timer fired.
    void TimerCallBack();

private:
    // Fires the refresh ms milliseconds from now (moving a pending one).
    void ArmRefresh(unsigned int ms);

    LNotifier<VTLabelLayoutPageViewerNotifyee> notifier;
    std::unique_ptr<LRunLoopTimer> refreshTimer; // none until first needed
    mutable LLockObject refreshLock;
    VTLabelLayout* labelLayout = nullptr;
};

class VTSelectStationeryPageViewer : public VTLabelLayoutPageViewer {
public:
    VTSelectStationeryPageViewer()
        : VTLabelLayoutPageViewer(false)
    {
    }
    void EvLButtonDown(int, int) override { }
    void EvRButtonDown(int, int) override { }
};

// The sheet of a layout centred on the origin (mm): the paper of a paper layout, the tray page of
// a disc layout's printer (0 by 0 when the printer is unknown), 0 by 0 for any other medium;
// (0, 0, 1, 1) without a layout or page.
LBoundingBox2T<float> VTLabelLayoutSheetBox(const VTLabelLayout* layout, bool hasPage);
// The printable margins of the sheet (mm) from the user settings "Settings/PaperMarginWidth" and
// "Settings/PaperMarginHeight"; a margin that is negative or not a number counts as 0.
void VTPaperMarginsGet(float& width, float& height);
// Paints a page viewer: the grey background; then, when the page can be fitted, the white
// sheet, the positions, the shading outside the printable rectangle, the margin frame (when
// asked for and a margin is set), the sheet's frame and the outline of a single selection.
void VTLabelLayoutPagePaint(
    LPaintContext& context, VTLabelLayoutPageViewerBase& viewer, bool marginFrame);
