// What the project viewer tells its observers (the main window, the paginator above the canvas).
// Every operation does nothing unless an observer overrides it.
#pragma once

class VTProjectViewer;
class VTLabelLayoutTemplate;

class VTProjectViewerNotifyee {
public:
    virtual ~VTProjectViewerNotifyee() = default;
    // The label-layout panel asks for another layout.
    virtual void EvProjectViewerLabelLayoutSelectClicked(VTProjectViewer&) { }
    // The label-layout panel asks to edit the layout, with the label position shown.
    virtual void EvProjectViewerLabelLayoutEditClicked(VTProjectViewer&, VTLabelLayoutTemplate*) { }
    // The same-format check box was clicked; on is its new state.
    virtual void EvProjectViewerPanelLabelLayoutCheckClicked(bool on) { (void)on; }
    virtual void EvProjectViewerOverlaySelectionChanged(VTProjectViewer&) { }
    virtual void EvProjectViewerContextMenuOpen(VTProjectViewer&) { }
    // Another label position (and with it another design) is shown.
    virtual void EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate*) { }
    // An undo step was pushed, undone or redone.
    virtual void EvProjectViewerUndoRedoChanged(VTProjectViewer&) { }
    // An autosave failed (the first of a run of failures of the open project): the work is not
    // kept automatically. reason: why, in Swedish.
    virtual void EvProjectViewerAutoSaveFailed(VTProjectViewer&, const char* reason)
    {
        (void)reason;
    }
};
