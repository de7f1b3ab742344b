#include "app/VTProjectTemplate.h"

#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectXML.h"
#include "app/VTTemplate.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LGuiFont.h"

#include <cstring>

namespace {

// The default face of new texts.
constexpr const char* kDefaultFace = "Lucida Grande";

// The point size of a new text of n bytes.
int TextSizeForLength(size_t n)
{
    if (n == 0)
        return 12;
    if (n >= 200)
        return 5;
    return 12 - int(n / 40);
}

} // namespace

VTProjectTemplate::VTProjectTemplate(VTTemplateFormat f)
    : data(VTTemplate::CreateTemplateData(f))
    , format(f)
    , backgroundBrush(new LBrushInfo)
{
    backgroundBrush->kind = LBrushInfoKindSolid;
    backgroundBrush->color = LGuiColorAlpha(LGuiColor::FromRGB8(255, 255, 255), 255);
}

VTProjectTemplate::~VTProjectTemplate()
{
    // Before the members go: the overlays only drop their observer lists.
    DeleteAllItems();
}

void VTProjectTemplate::NotifyItemAdded(VTOverlay& overlay)
{
    notifier.Notify(&VTProjectTemplateNotifyee::EvProjectTemplateOverlayAdded, *this, overlay);
}

void VTProjectTemplate::NotifyItemDeleting(VTOverlay& overlay)
{
    notifier.Notify(&VTProjectTemplateNotifyee::EvProjectTemplateOverlayDeleting, *this, overlay);
    if (overlay.GetType() == VTOverlayTypeText) {
        newTextOffsetX -= 1.0f;
        newTextOffsetY -= 1.0f;
    }
}

void VTProjectTemplate::NotifyItemsChanged()
{
    notifier.Notify(&VTProjectTemplateNotifyee::EvProjectTemplateChanged, *this);
}

void VTProjectTemplate::Paint(LPaintContext&) const
{
}

void VTProjectTemplate::EvOverlayPropertiesChanged(VTOverlay&)
{
    NotifyItemsChanged();
}

void VTProjectTemplate::AddMappingToLabelLayoutTemplateID(int32_t id)
{
    mappedIDs.AddTail(new VTLabelLayoutTemplateID(id));
}

void VTProjectTemplate::RemoveMappingToLabelLayoutTemplateID(int32_t id)
{
    for (VTLabelLayoutTemplateID& entry : mappedIDs) {
        if (entry.id == id) {
            mappedIDs.Delete(&entry);
            return;
        }
    }
}

bool VTProjectTemplate::HasMappingToLabelLayoutTemplateID(int32_t id) const
{
    for (const VTLabelLayoutTemplateID& entry : mappedIDs)
        if (entry.id == id)
            return true;
    return false;
}

void VTProjectTemplate::InsertOverlay(VTOverlay* overlay, bool notify)
{
    if (!overlay)
        return;
    overlay->AddNotifyee(*this);
    if (overlay->GetType() != VTOverlayTypeImageBackground) {
        AddItem(overlay, notify);
        return;
    }
    if (first && first->GetType() == VTOverlayTypeImageBackground) {
        ReplaceItem(first, overlay, notify);
        return;
    }
    overlay->next = first;
    first = overlay;
    NoteRelinked();
    if (notify) {
        NotifyItemAdded(*overlay);
        NotifyItemsChanged();
    }
}

VTOverlayText* VTProjectTemplate::AddOverlayText(
    const char* text, float x, float y, float width, float height, const char* fontFace)
{
    if (!text)
        text = "";
    const char* face = fontFace && *fontFace ? fontFace : kDefaultFace;
    const LGuiFontEx font(
        LGuiFont(TextSizeForLength(std::strlen(text)), false, false, false, face, false));
    auto* overlay = new VTOverlayText(text, font);
    overlay->centreX = x;
    overlay->centreY = y;
    overlay->NotifyTransformChanged();
    overlay->SetDimensions(width, height);
    InsertOverlay(overlay, true);
    return overlay;
}

VTOverlayImageBackground* VTProjectTemplate::AddOverlayImageBackground(
    LImageBuffer& image, const char* path)
{
    // The setting's name is spelt as it has always been stored.
    char setting[kLStringShortSize];
    _LUserSettingGetString("Settings", "BacgroundAspectRatio", "", setting);
    const bool keepAspect = setting[0] != '0';

    auto* overlay = new VTOverlayImageBackground;
    overlay->SetMaintainAspectRatio(keepAspect);
    overlay->SetImage(image);
    overlay->SetSourcePath(VTPathForProjectFile(path).c_str());
    overlay->centreX = 0;
    overlay->centreY = 0;
    overlay->NotifyTransformChanged();

    float designWidth = 0, designHeight = 0;
    if (data)
        data->GetDimensions(designWidth, designHeight);
    const float imageWidth = float(image.GetWidth());
    const float imageHeight = float(image.GetHeight());
    // A picture without height has no proportions: it is stretched over the design.
    const float width
        = keepAspect && imageHeight > 0 ? imageWidth / imageHeight * designHeight : designWidth;
    overlay->SetDimensions(width, designHeight);
    overlay->centreX = 0;
    overlay->centreY = 0;
    overlay->NotifyTransformChanged();
    overlay->SetMaintainAspectRatio(keepAspect);
    InsertOverlay(overlay, true);
    return overlay;
}

void VTProjectTemplate::SwapOverlayList(VTOverlayList& other)
{
    size_t n = other.GetCount();
    // The design's overlays, in order, behind the list's; the design stops observing them, so an
    // overlay that comes back later is observed once, and one that never comes back does not
    // point at a design that may be gone.
    VTOverlay* mine = first;
    first = nullptr;
    VTOverlay** end = &other.first;
    while (*end)
        end = &(*end)->next;
    *end = mine;
    ForgetLastItem();
    for (VTOverlay* overlay = mine; overlay; overlay = overlay->next)
        overlay->RemoveNotifyee(*this);
    // The list's former overlays into the design.
    while (n-- && other.first) {
        VTOverlay* overlay = other.first;
        other.first = overlay->next;
        overlay->next = nullptr;
        InsertOverlay(overlay, false);
    }
    other.ForgetLastItem();
}

LProcessResult VTProjectTemplate::SerialiseFromXML(LProcessInterface& process,
    const LXMLElement& container, VTLabelLayout& layout, LPaperSizeOrientation orientation)
{
    return VTProjectTemplateSerialiseFromXML(process, *this, container, layout, orientation);
}
