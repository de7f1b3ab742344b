// The desktop's favourite applications (the dock of GNOME Shell's dash), through GSettings.
#pragma once

#include <string>

namespace platform::desktop {

// Appends the desktop entry's id ("vorantel.desktop") to the desktop's favourites unless it is
// listed. False when this desktop keeps no such list (no schema installed) or it was not written.
bool AddToFavourites(const std::string& desktopId);

} // namespace platform::desktop
