#include "lfw/gen/LUserSettings.h"

#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LLocale.h"
#include "platform/prefs/Prefs.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kMakerPrefix = "se.zor.";

std::mutex gDomainMutex;
std::string gDomain = "se.zor.vorantel";

// The settings store is saved the way every other file is: a link followed and kept, the old
// file's permissions and owner kept; a new store is the user's alone.
bool _WriteSettingsFile(const std::string& path, const char* data, size_t length)
{
    struct stat st { };
    const bool isNew = ::stat(path.c_str(), &st) != 0;
    LFileSave save;
    if (!save.Begin(path.c_str()))
        return false;
    if (isNew)
        ::fchmod(save.GetStream().GetDescriptor(), 0600);
    if (length && !save.GetStream().Write(data, length)) {
        save.Discard();
        return false;
    }
    return save.Commit();
}

const bool gSettingsWriterInstalled = (platform::prefs::SetFileWriter(&_WriteSettingsFile), true);

std::string _Domain()
{
    std::lock_guard<std::mutex> lock(gDomainMutex);
    return gDomain;
}

std::string _FullKey(const char* section, const char* key)
{
    char full[kLSettingKeySize];
    _LSettingGetFullKeyName(full, section, key);
    return full;
}

locale_t _CLocale()
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

std::atomic<int> gMeasurementDefault { -1 };

} // namespace

const char* LSettingGetApplicationDomain()
{
    static thread_local std::string copy;
    copy = _Domain();
    return copy.c_str();
}

void LSettingSetApplicationDomain(const char* domain)
{
    std::lock_guard<std::mutex> lock(gDomainMutex);
    gDomain = domain ? domain : "";
}

void LSettingGetCFPreferencesApplicationKeyLongForApplication(
    char* out, const char* applicationName)
{
    char text[kLStringShortSize];
    snprintf(text, sizeof text, "%s%s", kMakerPrefix, applicationName ? applicationName : "");
    for (char* p = text; *p; ++p)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    utf8strlcpy(out, text, kLStringShortSize);
}

void _LSettingGetFullKeyName(char* out, const char* section, const char* key)
{
    if (!section)
        section = "";
    if (!key)
        key = "";
    size_t length = strlen(section);
    const bool slash = length > 0 && section[length - 1] == '/';
    std::string full = std::string(section) + (slash ? "" : "/") + key;
    utf8strlcpy(out, full.c_str(), kLSettingKeySize);
}

bool _LSettingGetString(LSettingsUserRef, const char* section, const char* key, const char* def,
    LStringLongTemplate<char>& out)
{
    std::string value;
    if (platform::prefs::GetValue(_Domain(), _FullKey(section, key), value)) {
        out = value.c_str();
        return true;
    }
    out = def ? def : "";
    return false;
}

bool _LSettingGetString(
    LSettingsUserRef user, const char* section, const char* key, const char* def, char* out)
{
    LStringLongTemplate<char> value;
    bool exists = _LSettingGetString(user, section, key, def, value);
    utf8strlcpy(out, value.c_str(), kLStringShortSize);
    return exists;
}

bool _LUserSettingGetString(const char* section, const char* key, const char* def, char* out)
{
    return _LSettingGetString(kLSettingsCurrentUser, section, key, def, out);
}

bool _LUserSettingGetString(
    const char* section, const char* key, const char* def, LStringLongTemplate<char>& out)
{
    return _LSettingGetString(kLSettingsCurrentUser, section, key, def, out);
}

template <> int LUserSettingGet<int>(const char* section, const char* key, int def)
{
    LStringLongTemplate<char> value;
    if (!_LUserSettingGetString(section, key, "", value) || !value.c_str()[0])
        return def;
    return static_cast<int>(strtol(value.c_str(), nullptr, 10));
}

template <> long LUserSettingGet<long>(const char* section, const char* key, long def)
{
    LStringLongTemplate<char> value;
    if (!_LUserSettingGetString(section, key, "", value) || !value.c_str()[0])
        return def;
    return static_cast<long>(strtoll(value.c_str(), nullptr, 10));
}

template <> double LUserSettingGet<double>(const char* section, const char* key, double def)
{
    LStringLongTemplate<char> value;
    if (!_LUserSettingGetString(section, key, "", value) || !value.c_str()[0])
        return def;
    // Settings always hold a decimal point, whatever the user's locale.
    return strtod_l(value.c_str(), nullptr, _CLocale());
}

void _LSettingSetString(LSettingsUserRef, const char* section, const char* key, const char* value)
{
    platform::prefs::SetValue(_Domain(), _FullKey(section, key), value ? value : "");
}

void LUserSettingSetString(const char* section, const char* key, const char* value)
{
    _LSettingSetString(kLSettingsCurrentUser, section, key, value);
}

void LUserSettingSetStrings(
    const char* section, const char* const* keys, const char* const* values, size_t count)
{
    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i)
        entries.emplace_back(_FullKey(section, keys[i]), values[i] ? values[i] : "");
    platform::prefs::SetValues(_Domain(), entries);
}

void _LSettingForApplicationSetString(LSettingsUserRef, const char* applicationName,
    const char* section, const char* key, const char* value)
{
    char domain[kLStringShortSize];
    LSettingGetCFPreferencesApplicationKeyLongForApplication(domain, applicationName);
    platform::prefs::SetValue(domain, _FullKey(section, key), value ? value : "");
}

void _LSettingDeleteItem(LSettingsUserRef, const char* section, const char* key)
{
    platform::prefs::RemoveKeys(_Domain(), { _FullKey(section, key) });
}

void LUserSettingDeleteItem(const char* section, const char* key)
{
    std::string companion = std::string("__") + (key ? key : "");
    platform::prefs::RemoveKeys(
        _Domain(), { _FullKey(section, key), _FullKey(section, companion.c_str()) });
}

bool _LSettingTestKeyExists(LSettingsUserRef, const char* fullKey)
{
    return fullKey && platform::prefs::HasKey(_Domain(), fullKey);
}

bool LUserSettingTestKeyFullPathExists(LSettingsUserRef user, const char* fullKey)
{
    return _LSettingTestKeyExists(user, fullKey);
}

bool LUserSettingTestExists(const char* section, const char* key)
{
    return platform::prefs::HasKey(_Domain(), _FullKey(section, key));
}

void _LSettingMakePrimaryKeyFromPath(char* out, const char* path)
{
    std::string text = path ? path : "";
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    size_t slash = text.rfind('/');
    if (slash != std::string::npos)
        text.erase(0, slash + 1);
    utf8strlcpy(out, text.c_str(), kLStringShortSize);
}

bool _LSettingMakeParentKeyPath(LSettingsUserRef user, const char* path)
{
    if (!path)
        return true;
    const char* p = path;
    while (*p == '/')
        ++p;
    for (; *p; ++p) {
        if (*p != '/' || p[1] == '/')
            continue;
        char prefix[kLSettingKeySize];
        utf8strlcpy(prefix, std::string(path, size_t(p - path) + 1).c_str(), sizeof prefix);
        if (!_LSettingTestKeyExists(user, prefix)) {
            char name[kLStringShortSize];
            _LSettingMakePrimaryKeyFromPath(name, prefix);
            platform::prefs::SetValue(_Domain(), prefix, name);
        }
    }
    return true;
}

bool _LSettingPlistGetNextKey(LSettingsUserRef, const char* prefix, const char* after, char* out)
{
    out[0] = '\0';
    if (!prefix)
        prefix = "";
    if (!after)
        after = "";
    const size_t prefixLength = strlen(prefix);
    std::string best;
    bool found = false;
    for (const std::string& key : platform::prefs::GetKeys(_Domain())) {
        char text[kLStringShortSize];
        utf8strlcpy(text, key.c_str(), sizeof text);
        if (strncasecmp(text, prefix, prefixLength) != 0)
            continue;
        std::string name = text + prefixLength;
        size_t slash = name.find('/');
        if (slash != std::string::npos)
            name.erase(slash);
        if (name.empty() || strcasecmp(name.c_str(), after) == 0)
            continue;
        if (after[0] && strcasecmp(name.c_str(), after) < 0)
            continue;
        if (!found || strcasecmp(name.c_str(), best.c_str()) < 0) {
            best = name;
            found = true;
        }
    }
    if (found)
        utf8strlcpy(out, best.c_str(), kLStringShortSize);
    return found;
}

// Record lists

namespace {

void _RecordPath(char* out, const char* base, const char* name)
{
    size_t length = strlen(base);
    const bool slash = length > 0 && base[length - 1] == '/';
    std::string path = std::string(base) + (slash ? "" : "/") + name + "/";
    utf8strlcpy(out, path.c_str(), kLStringShortSize);
}

// A record exists when its folder key does, or any key lies under its path.
bool _RecordExists(LSettingsUserRef user, const char* path)
{
    if (_LSettingTestKeyExists(user, path))
        return true;
    const size_t length = strlen(path);
    for (const std::string& key : platform::prefs::GetKeys(_Domain()))
        if (key.size() > length && strncasecmp(key.c_str(), path, length) == 0)
            return true;
    return false;
}

} // namespace

LSettingsListTemplate<LUserSettingsRecord>::LSettingsListTemplate(
    const char* label, const char* base, LSettingsUserRef user)
    : fUser(user)
{
    utf8strlcpy(fLabel, label ? label : "", sizeof fLabel);
    utf8strlcpy(fBase, base ? base : "", sizeof fBase);
}

void LSettingsListTemplate<LUserSettingsRecord>::MakeRecordPath(char* out, const char* name) const
{
    _RecordPath(out, fBase, name);
}

void LSettingsListTemplate<LUserSettingsRecord>::CreateNewRecord(LUserSettingsRecord& record)
{
    for (int n = 1;; ++n) {
        record.user = fUser;
        snprintf(record.name, sizeof record.name, "%d", n);
        MakeRecordPath(record.path, record.name);
        if (!_RecordExists(fUser, record.path))
            break;
    }
    _LSettingMakeParentKeyPath(fUser, record.path);
}

LSettingsListIteratorTemplate<LUserSettingsRecord>::LSettingsListIteratorTemplate(
    const LSettingsListTemplate<LUserSettingsRecord>& list)
    : fUser(list.GetUser())
{
    utf8strlcpy(fLabel, list.GetLabel(), sizeof fLabel);
    utf8strlcpy(fBase, list.GetBase(), sizeof fBase);
    Take("");
}

void LSettingsListIteratorTemplate<LUserSettingsRecord>::Take(const char* after)
{
    char prefix[kLStringShortSize];
    _RecordPath(prefix, fBase, "");
    prefix[strlen(prefix) - 1] = '\0'; // base/ without the record's own slash
    char name[kLStringShortSize];
    if (_LSettingPlistGetNextKey(fUser, prefix, after, name)) {
        utf8strlcpy(fName, name, sizeof fName);
        _RecordPath(fPath, fBase, fName);
    } else {
        fName[0] = fPath[0] = '\0';
    }
}

void LSettingsListIteratorTemplate<LUserSettingsRecord>::Next()
{
    if (!IsValid())
        return;
    char after[kLStringShortSize];
    utf8strlcpy(after, fName, sizeof after);
    Take(after);
}

void LSettingsListIteratorTemplate<LUserSettingsRecord>::GetRecord(
    LUserSettingsRecord& record) const
{
    record.user = fUser;
    utf8strlcpy(record.name, fName, sizeof record.name);
    utf8strlcpy(record.path, fPath, sizeof record.path);
}

// Measurement unit

void LSettingSetMeasurementUnitDefault(int unit)
{
    gMeasurementDefault = unit ? 1 : 0;
}

int LSettingGetMeasurementUnitDefault()
{
    int unit = gMeasurementDefault.load();
    if (unit < 0) {
        unit = LLocaleGetDefaultMeasurementUnit();
        gMeasurementDefault = unit;
    }
    return unit;
}

int LSettingGetMeasurementUnit()
{
    return LUserSettingGet<int>(
        "Settings", "UnitsMeasurement", LSettingGetMeasurementUnitDefault());
}

int LUnitsGetMeasurementUnit()
{
    return LSettingGetMeasurementUnit();
}

void LSettingSetMeasurementUnit(int unit)
{
    char text[16];
    snprintf(text, sizeof text, "%d", unit);
    LUserSettingSetString("Settings", "UnitsMeasurement", text);
}
