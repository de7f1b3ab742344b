// The desktop's opener: URLs and files are handed to xdg-open (found on PATH, started with an
// argument vector, never through a shell), which opens them with the user's default handler.
#pragma once

#include <string>

namespace platform::desktop {

// A file URL of an absolute path (GLib's escaping); "" for a relative or unusable path.
std::string FilePathToUri(const std::string& path);
// Starts the opener on uri and returns without waiting (the child is reaped by GLib). False
// when it could not be started.
bool OpenUri(const std::string& uri);

} // namespace platform::desktop
