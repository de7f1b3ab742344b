// The user settings store on an arbitrary file: the preferences file of the program's domain holds
// the bytes, then its keys and values, the typed readings, the recent-file slots and their menu
// are read, and a value and a recent file are written. Whatever the file holds: a value written
// reads back byte for byte; the values read before the write (a file that does not parse, told
// here by GLib on its own, reads as its good lines) stay as they were beside it; a file that does
// not parse is kept as "<file>.broken"; the new recent file takes slot 0 and the others move down
// one.
#include "fuzz/FuzzScratch.h"
#include "lfw/gen/LRecentFileList.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/prefs/Prefs.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <glib.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

class Recent : public LRecentFileList {
public:
    bool EvRecentFileOpen(const char*) override { return true; }
};

bool ParsesAsKeyFile(const uint8_t* data, size_t size)
{
    GKeyFile* file = g_key_file_new();
    const bool ok = g_key_file_load_from_data(
        file, reinterpret_cast<const char*>(data), size, G_KEY_FILE_KEEP_COMMENTS, nullptr);
    g_key_file_free(file);
    return ok;
}

// Replaces the file through a new one renamed over it, as every writer does.
bool Replace(const std::string& path, const uint8_t* data, size_t size)
{
    const std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::string Slot(int n)
{
    char path[kLLongPathSize];
    LRecentFileList::RecentFileListGet(n, path);
    Check(std::strlen(path) < kLLongPathSize);
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = [] {
        const std::string& folder = FuzzScratchFolder("settings-fuzz");
        if (folder.empty())
            return false;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        return true;
    }();
    if (!ready)
        return 0;
    const std::string domain = LSettingGetApplicationDomain();
    const std::string path = platform::prefs::StorePath(domain);
    const std::string folder = path.substr(0, path.rfind('/'));
    ::mkdir(folder.c_str(), 0700);
    std::remove((path + ".broken").c_str());
    if (!Replace(path, data, size))
        return 0;

    // Reading.
    std::map<std::string, std::string> before;
    for (const std::string& key : platform::prefs::GetKeys(domain)) {
        std::string value;
        Check(platform::prefs::GetValue(domain, key, value));
        before[key] = value;
    }
    (void)LUserSettingGet<int>("Settings", "UnitsMeasurement", 0);
    (void)LUserSettingGet<long>("Settings", "PrintTemplateOutlineWidth", 0);
    (void)LUserSettingGet<double>("Settings", "ZoomFactor", 1.0);
    std::vector<std::string> slots;
    for (int n = 0; n < kLRecentFileCount; ++n)
        slots.push_back(Slot(n));
    Recent recent;
    LRecentFileMenu menu;
    recent.RecentFileListPopulate(menu);
    Check(menu.GetCount() >= 1 && menu.GetCount() <= kLRecentFileCount);

    // Writing: a key and a value made of the input's own bytes.
    std::string key = "Fuzz/";
    std::string value;
    for (size_t i = 0; i < size && key.size() < 40; ++i)
        if (data[i])
            key += char(data[i]);
    for (size_t i = size > 200 ? size - 200 : 0; i < size; ++i)
        if (data[i])
            value += char(data[i]);
    Check(platform::prefs::SetValue(domain, key, value));
    std::string back;
    Check(platform::prefs::GetValue(domain, key, back) && back == value);
    for (const auto& [k, v] : before)
        if (k != key)
            Check(platform::prefs::GetValue(domain, k, back) && back == v);
    if (!ParsesAsKeyFile(data, size)) {
        // The file that did not parse is kept as it was.
        FILE* broken = std::fopen((path + ".broken").c_str(), "rb");
        Check(broken != nullptr);
        std::string kept(size + 1, '\0');
        const size_t got = std::fread(kept.data(), 1, kept.size(), broken);
        std::fclose(broken);
        Check(got == size && std::memcmp(kept.data(), data, size) == 0);
    }

    const char* added = "/fuzz/en mapp/sista projektet.vtproj";
    recent.RecentFileListAdd(added);
    Check(Slot(0) == added);
    size_t from = 0;
    for (int n = 1; n < kLRecentFileCount; ++n, ++from) {
        if (slots[from] == added)
            ++from;
        if (from < slots.size())
            Check(Slot(n) == slots[from]);
    }
    return 0;
}
