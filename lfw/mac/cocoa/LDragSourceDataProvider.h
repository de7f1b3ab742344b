// The data a drag started in the application hands out: one copy of the bytes it was made with,
// given for whatever type the drop site asks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LDragSourceDataProvider {
public:
    // Copies size bytes (none for a null pointer).
    LDragSourceDataProvider(const void* data, size_t size);

    const std::vector<uint8_t>& dragData() const { return fDragData; }
    // The bytes, for any type asked.
    const std::vector<uint8_t>& provideDataForType(const char* type) const
    {
        (void)type;
        return fDragData;
    }

private:
    std::vector<uint8_t> fDragData;
};
