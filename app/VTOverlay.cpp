#include "app/VTOverlay.h"

#include "app/VTProjectXML.h"

VTOverlay::~VTOverlay() = default;

LProcessResult VTOverlay::SerialiseFromXML(LProcessInterface& process, const LXMLElement& element)
{
    return VTOverlaySerialiseFromXML(process, *this, element);
}

void VTOverlay::SetDimensions(float w, float h)
{
    width = w;
    height = h;
    NotifyPropertiesChanged();
}

void VTOverlay::NotifyTransformChanged()
{
    NotifyPropertiesChanged();
}

void VTOverlay::NotifyPropertiesChanged()
{
    notifier.Notify(&VTOverlayNotifyee::EvOverlayPropertiesChanged, *this);
}
