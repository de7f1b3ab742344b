#include "lfw/mac/cocoa/LDragSourceDataProvider.h"

LDragSourceDataProvider::LDragSourceDataProvider(const void* data, size_t size)
{
    if (data && size)
        fDragData.assign(
            static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
}
