// The desktop's opener: URLs and files are handed to xdg-open (found on PATH, started with an
// argument vector, never through a shell), which opens them with the user's default handler.
#pragma once

#include <functional>
#include <string>

namespace platform::desktop {

// A file URL of an absolute path (GLib's escaping); "" for a relative or unusable path.
std::string FilePathToUri(const std::string& path);

// Starts the opener on uri and returns without waiting (the child is reaped by GLib). False
// when it could not be started (no xdg-open on PATH). An opener that started but ends with a
// failure status within kOpenerFailureSeconds (no browser, no handler for the address) calls
// failed on the main loop; one that ends later has run the handler it found, which is not
// second-guessed.
inline constexpr unsigned kOpenerFailureSeconds = 20;
bool OpenUri(const std::string& uri, std::function<void()> failed = {});

} // namespace platform::desktop
