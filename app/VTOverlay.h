// An overlay: one placed element of a design (a straight text, a text along a circle, an image,
// a clipart picture or a background image). Its box of width x height is centred on its centre
// and turned about it by its rotation; lengths are millimetres in the design's frame.
#pragma once

#include "app/VTItemHitTestable.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/gen/LProcess.h"

class LPaintContext;
class LPDFWriter;
class LXMLElement;
class VTOverlay;

// The type codes of overlays, as files, the clipboard and the undo steps store them.
enum VTOverlayType : int {
    VTOverlayTypeText = 0,
    VTOverlayTypeImage = 1,
    VTOverlayTypeCircularText = 2,
    VTOverlayTypeClipart = 3,
    VTOverlayTypeImageBackground = 4,
};

class VTOverlayNotifyee {
public:
    virtual ~VTOverlayNotifyee() = default;
    virtual void EvOverlayPropertiesChanged(VTOverlay&) { }
};

class VTOverlay : public VTItemHitTestable {
public:
    VTOverlay(const VTOverlay&) = delete;
    VTOverlay& operator=(const VTOverlay&) = delete;

    int GetItemType() const override { return VTItemTypeOverlay; }
    void GetDimensions(float& w, float& h) const override
    {
        w = width;
        h = height;
    }
    // Stores the size and tells the observers.
    void SetDimensions(float w, float h) override;
    void NotifyTransformChanged() override;
    // Frees the observer list without telling anyone.
    virtual ~VTOverlay();
    // Reads the element of an old XML project; here the placement (box, centre, rotation).
    // 0 read, 1 stopped, 2 error with the job's error text set.
    virtual LProcessResult SerialiseFromXML(LProcessInterface& process, const LXMLElement& element);
    virtual int GetType() const = 0;
    // Paint the box from (-width/2, -height/2) to (width/2, height/2): the caller has moved the
    // origin to the centre and turned it.
    virtual void Paint(LPaintContext& ctx) = 0;
    virtual void Paint(LPDFWriter& writer) = 0;
    // A new, independent overlay of the same kind (the caller owns it).
    virtual VTOverlay* Clone() const = 0;
    // A copy for the undo history (the caller owns it).
    virtual VTOverlay* CloneLight() const = 0;
    // Exchanges the whole content with another overlay of the same kind.
    virtual void SwapContent(VTOverlay* other) = 0;

    void AddNotifyee(VTOverlayNotifyee& notifyee) { notifier.AddNotifyee(notifyee); }
    void RemoveNotifyee(VTOverlayNotifyee& notifyee) { notifier.RemoveNotifyee(notifyee); }
    // Tells every observer, in registration order, that a property changed.
    void NotifyPropertiesChanged();

    // The next overlay of the design's list (kept by the collection).
    VTOverlay* next = nullptr;
    LNotifier<VTOverlayNotifyee> notifier;
    float width = 0.0f;
    float height = 0.0f;
    // Set on the overlay last copied to the clipboard.
    bool copied = false;

protected:
    VTOverlay() = default;
};
