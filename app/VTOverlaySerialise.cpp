#include "app/VTOverlaySerialise.h"

#include "platform/text/Fonts.h"

#include <chrono>
#include <mutex>
#include <set>
#include <string>

uint16_t VTOverlayChunkID(int type)
{
    switch (type) {
    case VTOverlayTypeText:
        return 2;
    case VTOverlayTypeImage:
        return 3;
    case VTOverlayTypeCircularText:
        return 7;
    case VTOverlayTypeClipart:
        return 8;
    case VTOverlayTypeImageBackground:
        return 9;
    default:
        return 0;
    }
}

VTOverlay* VTOverlayCreateForChunkID(uint16_t id)
{
    switch (id) {
    case 2:
        return new VTOverlayText;
    case 3:
        return new VTOverlayImage;
    case 7:
        return new VTOverlayCircularText;
    case 8:
        return new VTOverlayClipart;
    case 9:
        return new VTOverlayImageBackground;
    default:
        return nullptr;
    }
}

bool VTFontFamilyIsInstalled(const char* face)
{
    // Listing the families asks the system for every font; a document with many texts asks
    // once.
    static std::mutex lock;
    static std::set<std::string> families;
    static std::chrono::steady_clock::time_point listed;
    static bool haveList = false;
    std::lock_guard<std::mutex> guard(lock);
    auto now = std::chrono::steady_clock::now();
    if (!haveList || now - listed > std::chrono::minutes(1)) {
        families.clear();
        for (LFontsInstalledIterator it; it.IsValid(); it.Next())
            families.insert(*it);
        listed = now;
        haveList = true;
    }
    if (!face)
        return false;
    if (families.count(face) != 0)
        return true;
    // A family of another desktop with an installed stand-in ("Lucida Grande", the default face
    // of new texts) is no missing font: projects made here must open without a complaint.
    return platform::text::FontFromFamily(face, 0, platform::text::FontStyle {}) != nullptr;
}
