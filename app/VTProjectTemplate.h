// A design: the surface of one label format in a project. It holds the format's geometry, an
// ordered list of overlays (first = bottom), a background brush or background image, and the ids
// of the label positions of the project's layout it is printed at.
//
// It observes its overlays and tells its own observers (the project) of every change: an overlay
// added or about to be deleted, or anything changed.
#pragma once

#include "app/VTItemCollection.h"
#include "app/VTOverlay.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LPaperSize.h"

#include <cstdint>

class LImageBuffer;
class LPaintContext;
class LXMLElement;
class VTLabelLayout;
class VTOverlayImageBackground;
class VTOverlayText;
class VTProjectTemplate;

// One mapped label-position id.
struct VTLabelLayoutTemplateID : public LListable<VTLabelLayoutTemplateID> {
    explicit VTLabelLayoutTemplateID(int32_t value = 0)
        : id(value)
    {
    }
    int32_t id;
};

class VTProjectTemplateNotifyee {
public:
    virtual ~VTProjectTemplateNotifyee() = default;
    virtual void EvProjectTemplateChanged(VTProjectTemplate&) { }
    virtual void EvProjectTemplateOverlayAdded(VTProjectTemplate&, VTOverlay&) { }
    virtual void EvProjectTemplateOverlayDeleting(VTProjectTemplate&, VTOverlay&) { }
};

// A free-standing owned list of overlays (the undo history keeps designs' overlays in these).
using VTOverlayList = VTItemCollection<VTOverlay>;

class VTProjectTemplate : public VTItemCollection<VTOverlay>,
                          public VTOverlayNotifyee,
                          public LListable<VTProjectTemplate> {
public:
    // The format's default geometry, a solid opaque white background, no background image, no
    // overlays, no mapped ids, text offsets 0.
    explicit VTProjectTemplate(VTTemplateFormat format);
    VTProjectTemplate(const VTProjectTemplate&) = delete;
    VTProjectTemplate& operator=(const VTProjectTemplate&) = delete;
    // Destroys the overlays without telling anyone.
    ~VTProjectTemplate() override;

    // Every observer gets EvProjectTemplateOverlayAdded.
    void NotifyItemAdded(VTOverlay& overlay) override;
    // Every observer gets EvProjectTemplateOverlayDeleting; deleting a straight text moves the
    // place of the next new text back by 1 mm in x and y.
    void NotifyItemDeleting(VTOverlay& overlay) override;
    // Every observer gets EvProjectTemplateChanged.
    void NotifyItemsChanged() override;
    // Does nothing: designs are painted by the renderer.
    virtual void Paint(LPaintContext& context) const;
    // Any change of an overlay is a change of the design.
    void EvOverlayPropertiesChanged(VTOverlay& overlay) override;

    // Appends the id (the same id may be listed twice).
    void AddMappingToLabelLayoutTemplateID(int32_t id);
    // Removes the first entry of the id; nothing when it is not listed.
    void RemoveMappingToLabelLayoutTemplateID(int32_t id);
    void RemoveAllMappings() { mappedIDs.Clear(); }
    bool HasMappingToLabelLayoutTemplateID(int32_t id) const;
    bool HasMappings() const { return !mappedIDs.IsEmpty(); }

    // Puts a new overlay into the list (the design owns it and observes it from now on): a
    // background image goes first, replacing (and destroying) a background image already there;
    // every other kind goes on top. With notify the observers are told as for an added item.
    void InsertOverlay(VTOverlay* overlay, bool notify);
    // A new straight text centred at (x, y) with the size width x height, in the face ("Lucida
    // Grande" when empty) at a plain size that shrinks with the text's length: 12 points below 40
    // bytes, one point less for every further 40 bytes, 5 points from 200 bytes on. Put on top,
    // telling the observers.
    VTOverlayText* AddOverlayText(
        const char* text, float x, float y, float width, float height, const char* fontFace);
    // A new background image of the picture, centred, as high as the design and as wide as its
    // proportions give (or as wide as the design when the user setting
    // "Settings/BacgroundAspectRatio" begins with "0"). It becomes the first overlay, replacing an
    // earlier background image, and the observers are told.
    VTOverlayImageBackground* AddOverlayImageBackground(LImageBuffer& image, const char* path);
    // Exchanges the design's overlays with those of the list, telling nobody: the design's
    // overlays go, in order, to the list (no longer observed by the design), and the list's
    // former overlays come into the design by the insertion rule, observed by it.
    void SwapOverlayList(VTOverlayList& other);

    // Reads a container element of an old XML project (VTProjectTemplateSerialiseFromXML): a new
    // page of the orientation in the layout with a label position the design is mapped to, the
    // background colour and the overlays.
    LProcessResult SerialiseFromXML(LProcessInterface& process, const LXMLElement& container,
        VTLabelLayout& layout, LPaperSizeOrientation orientation);

    void AddNotifyee(VTProjectTemplateNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTProjectTemplateNotifyee& n) { notifier.RemoveNotifyee(n); }

    VTTemplateFormat GetFormat() const { return format; }
    VTTemplateData* GetTemplateData() const { return data.Get(); }

    LPtr<VTTemplateData> data;
    VTTemplateFormat format;
    LNotifier<VTProjectTemplateNotifyee> notifier;
    // Null when the design shows a background image instead.
    LPtr<LBrushInfo> backgroundBrush;
    // The last solid background colour the design had while open (never saved): what the fill
    // editor's "Fast:" starts from after a gradient, no fill or an image. Opaque white until then.
    static inline const LGuiColorAlpha kDefaultSolidColour { 0xFF00, 0xFF00, 0xFF00, 255 };
    LGuiColorAlpha lastSolidColour = kDefaultSolidColour;
    char backgroundImagePath[kLStringShortSize] = "";
    // In insertion order.
    LList<VTLabelLayoutTemplateID> mappedIDs;
    // Where the next new text is placed (the viewer adds 1 before each), mm.
    float newTextOffsetX = 0.0f;
    float newTextOffsetY = 0.0f;
};
