#include "app/VTOverlay.h"

VTOverlay::~VTOverlay() = default;

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
