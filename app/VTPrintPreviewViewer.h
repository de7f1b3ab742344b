// The sheet of the print preview: one page of the project's label layout painted as it will
// print, on a grey ground that darkens everything beyond the sheet. A left press selects the
// label position under the pointer; nothing is ever dragged. With two or more positions on the
// page the selected one is outlined, dashed, in blue. Reached with Tab, Space selects the next
// position and Shift+Space the one before. On the screen the page's designs are
// painted into a picture a slice at a time, as the canvas paints a design of many overlays, so
// that the window answers however large they are.
#pragma once

#include "app/VTItemViewer.h"
#include "app/VTLabelLayout.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "app/VTProject.h"
#include "app/VTSlicedPicture.h"
#include "lfw/gen/LNotifier.h"

class VTPrintPreviewViewer;

class VTPrintPreviewViewerNotifyee {
public:
    virtual ~VTPrintPreviewViewerNotifyee() = default;
    virtual void EvPrintPreviewViewerSelectionChanged(VTPrintPreviewViewer& viewer) = 0;
};

class VTPrintPreviewViewer : public VTItemViewer<VTLabelLayoutPage, VTLabelLayoutTemplate>,
                             public LNotifier<VTPrintPreviewViewerNotifyee> {
public:
    explicit VTPrintPreviewViewer(VTProject& project);
    ~VTPrintPreviewViewer() override;

    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvDoubleClick(int, int) override { }
    bool EvKeyDown(LKey key) override;
    void Prepaint(LPaintContext& context) override;
    // What the page shows changed: it is painted anew (the last whole picture of it shows
    // meanwhile). A repaint for another reason (Update: a new size, another selection) keeps the
    // picture that fits.
    void Invalidate() override;
    // Whether the last paint showed the whole page.
    bool WasPageWhole() const { return pageWhole; }
    void NotifyItemSelectionChanged() override;
    void NotifyItemChanged() override { }
    // The sheet in millimetres around its centre: the paper of a paper layout, the printer's
    // tray of a disc layout (0 x 0 when the printer is not in the table), (0, 0, 1, 1) without a
    // page.
    LBoundingBox2T<float> GetCollectionBoundingBox() const override;

    bool bPaintOutlines = false;

private:
    // Changes whenever the page's or its designs' lists change: a place reached in them may no
    // longer be valid then.
    unsigned long long PageLinkChanges() const;

    VTProject* pProject;
    VTSlicedPicture slices { *this };
    VTPagePaintPlace slicePlace;
    bool pageWhole = false;
};
