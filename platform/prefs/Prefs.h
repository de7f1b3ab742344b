// The per-user preferences store (GLib key files). What it offers:
//
// One store per preferences domain (the application's own, or another application's of the same
// maker), each a key file at $XDG_CONFIG_HOME/<domain>/preferences.ini (~/.config when the
// variable is not set), holding string values under flat keys such as "Settings/UnitsMeasurement".
//
// - Every change is written at once: under an exclusive lock on "<file>.lock" the file is read
//   afresh (so that changes of other processes are kept), changed, written to a temporary file
//   beside it, flushed to disk and renamed over it. A crash mid-write leaves the old file whole.
// - Every read looks at the file again when it has changed, so a second process sees a write at
//   once.
// - A file that does not parse reads as its good lines (each line judged alone; one cut short
//   or holding a NUL is left out). Before the first write it is kept as "<file>.broken" (or
//   ".broken.2", ".broken.3" ... : an earlier copy is never overwritten), and the write keeps
//   every good line.
//
// Safe to use from any thread. Standard library and GLib only.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform::prefs {

// The file of a domain's store (the folder is made when the first value is written).
std::string StorePath(const std::string& domain);

// The value of key; false when the key is missing.
bool GetValue(const std::string& domain, const std::string& key, std::string& value);
bool HasKey(const std::string& domain, const std::string& key);
// Stores the value and writes the store at once; false when it could not be written.
bool SetValue(const std::string& domain, const std::string& key, const std::string& value);
// Stores several values in one write.
bool SetValues(
    const std::string& domain, const std::vector<std::pair<std::string, std::string>>& values);
// Removes the keys (those present) in one write; true when the store is as asked afterwards.
bool RemoveKeys(const std::string& domain, const std::vector<std::string>& keys);
// Every key of the domain, in file order (names in the file that no key is written as, from a
// file edited by hand, are left out: every key listed can be read).
std::vector<std::string> GetKeys(const std::string& domain);

// How a store's file is replaced: writes data as the whole new content of the file at path
// (through a temporary file; on failure the old file is left as it was) and says whether it
// did. The framework installs its own, so that the store is saved the way every other file is
// (a link followed and kept, the old file's permissions kept); without one the store writes a
// temporary file beside the path and renames it over the path. Install it before the first
// write.
using FileWriter = bool (*)(const std::string& path, const char* data, size_t length);
void SetFileWriter(FileWriter writer);

} // namespace platform::prefs
