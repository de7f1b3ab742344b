// What the property panels beside the design canvas tell the project viewer: one observer
// interface per panel (label layout, template background, text properties, image properties).
// The panels change no document themselves; the viewer records an undo step first.
#pragma once

#include "app/VTBackgroundFill.h"
#include "app/VTItemHitTestable.h"

class VTLabelLayoutTemplate;
class VTControlCheckBox;

// The title-bar ids of the four panels.
enum : int {
    kVTPanelLabelLayout = 2001,
    kVTPanelTemplate = 2002,
    kVTPanelTextProperties = 2003,
    kVTPanelImageProperties = 2004,
};

class VTProjectViewerPanelLabelLayoutNotifyee {
public:
    virtual ~VTProjectViewerPanelLabelLayoutNotifyee() = default;
    virtual void EvProjectViewerPanelLabelLayoutSelectClicked() { }
    virtual void EvProjectViewerPanelLabelLayoutEditClicked() { }
    virtual void EvProjectViewerPanelLabelLayoutSelectionChanged(VTLabelLayoutTemplate*) { }
    virtual void EvProjectViewerPanelLabelLayoutCheckClicked(VTControlCheckBox&) { }
};

class VTProjectViewerPanelTemplateNotifyee {
public:
    virtual ~VTProjectViewerPanelTemplateNotifyee() = default;
    virtual void EvProjectViewerPanelTemplateBackgroundColourChanged(VTBackgroundFill&, bool) { }
};

class VTProjectViewerPanelTextPropertiesNotifyee {
public:
    virtual ~VTProjectViewerPanelTextPropertiesNotifyee() = default;
    virtual void EvProjectViewerPanelTextPropertiesChanged() { }
    virtual void EvProjectViewerPanelTextAlignmentChanged(LAlignment) { }
    virtual void EvProjectViewerPanelTextRotateLeft() { }
    virtual void EvProjectViewerPanelTextRotateRight() { }
    virtual void EvProjectViewerPanelTextFlipHorizontal() { }
    virtual void EvProjectViewerPanelTextFlipVertical() { }
    virtual void EvProjectViewerPanelTextLower() { }
    virtual void EvProjectViewerPanelTextRaise() { }
    virtual void EvProjectViewerPanelTextChangeCircularText(bool) { }
};

class VTProjectViewerPanelImagePropertiesNotifyee {
public:
    virtual ~VTProjectViewerPanelImagePropertiesNotifyee() = default;
    virtual void EvProjectViewerPanelImagePropertiesChanged() { }
    virtual void EvProjectViewerPanelImageRotateLeft() { }
    virtual void EvProjectViewerPanelImageRotateRight() { }
    virtual void EvProjectViewerPanelImageFlipHorizontal() { }
    virtual void EvProjectViewerPanelImageFlipVertical() { }
    virtual void EvProjectViewerPanelImageLower() { }
    virtual void EvProjectViewerPanelImageRaise() { }
};
