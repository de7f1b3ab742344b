// The open project's label-layout page as a small picture in the template selector: the sheet,
// its label positions and the selected ones. Left clicks and drags do nothing; the right button
// picks the position under the pointer (a click on empty paper keeps the selection), and a
// single selected position is reported to the observers. With the keyboard (a stop of Tab that
// shows its focus) Space picks the next position of the page and Shift+Space the one before;
// no key moves a position.
#pragma once

#include "app/VTLabelLayoutPageViewer.h"
#include "app/VTProject.h"
#include "lfw/gen/LNotifier.h"

class VTLabelLayoutSelectorViewerNotifyee {
public:
    virtual ~VTLabelLayoutSelectorViewerNotifyee() = default;
    virtual void EvLabelLayoutSelectorViewerChanged(VTLabelLayoutTemplate* tpl) { (void)tpl; }
};

class VTLabelLayoutSelectorViewer : public VTLabelLayoutPageViewerBase {
public:
    VTLabelLayoutSelectorViewer();
    ~VTLabelLayoutSelectorViewer() override;

    void AddNotifyee(VTLabelLayoutSelectorViewerNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTLabelLayoutSelectorViewerNotifyee& n) { notifier.RemoveNotifyee(n); }

    // The open project (not owned); its label layout gives the sheet.
    void SetProject(VTProject* value) { project = value; }
    VTProject* GetProject() const { return project; }

    void EvMouseMove(int, int) override { }
    void EvLButtonDown(int, int) override { }
    void EvLButtonUp(int, int) override { }
    void EvDoubleClick(int, int) override { }
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey) override { return false; }
    void Prepaint(LPaintContext& context) override;
    // A point on no position leaves the selection as it is.
    void SelectItemAtPosition(float x, float y) override;
    void NotifyItemSelectionChanged() override;
    void NotifyItemChanged() override { }
    LBoundingBox2T<float> GetCollectionBoundingBox() const override;

private:
    LNotifier<VTLabelLayoutSelectorViewerNotifyee> notifier;
    VTProject* project = nullptr;
};
