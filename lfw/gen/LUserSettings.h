// User settings: string values in the user's preferences store, under keys made of a section and
// a key ("Settings/UnitsMeasurement"). Every write reaches the store at once; typed getters parse
// the text. Sections may be paths ("a/b/" and key "c" give "a/b/c"), which gives a tree of keys.
//
// The functions whose names begin with an underscore take the user (kLSettingsCurrentUser is the
// only one here); those beginning with LUserSetting use the current user.
#pragma once

#include "lfw/gen/LString.h"

#include <cstddef>

// Full keys are at most 519 bytes (a 520-byte buffer); fixed-buffer values at most 259 bytes.
inline constexpr size_t kLSettingKeySize = 520;

using LSettingsUserRef = const char*;
inline constexpr LSettingsUserRef kLSettingsCurrentUser = nullptr;

// The preferences domain of the application ("se.zor.vorantel"); settable for tests and tools.
const char* LSettingGetApplicationDomain();
void LSettingSetApplicationDomain(const char* domain);
// Another application's domain: the maker's prefix and the application name, lower-cased.
void LSettingGetCFPreferencesApplicationKeyLongForApplication(
    char* out, const char* applicationName);

// "%s/%s" (section, key), or "%s%s" when the section already ends with "/"; cut to 519 bytes.
void _LSettingGetFullKeyName(char* out, const char* section, const char* key);

// The value (at most 259 bytes, cut at a character boundary), or the default when the key is
// missing; true when the key exists.
bool _LSettingGetString(
    LSettingsUserRef user, const char* section, const char* key, const char* def, char* out);
bool _LSettingGetString(LSettingsUserRef user, const char* section, const char* key,
    const char* def, LStringLongTemplate<char>& out);
bool _LUserSettingGetString(const char* section, const char* key, const char* def, char* out);
bool _LUserSettingGetString(
    const char* section, const char* key, const char* def, LStringLongTemplate<char>& out);

// Decimal integers (strtol, 64-bit for long) and numbers (always with a decimal point). The
// default when the key is missing or empty; text that does not parse gives what the parser
// gives ("12abc" is 12, "abc" is 0).
template <class T> T LUserSettingGet(const char* section, const char* key, T def);
template <> int LUserSettingGet<int>(const char* section, const char* key, int def);
template <> long LUserSettingGet<long>(const char* section, const char* key, long def);
template <> double LUserSettingGet<double>(const char* section, const char* key, double def);

// Stores the value and writes the store at once. Failures are not reported.
void _LSettingSetString(
    LSettingsUserRef user, const char* section, const char* key, const char* value);
void LUserSettingSetString(const char* section, const char* key, const char* value);
// Stores several values of one section in one write.
void LUserSettingSetStrings(
    const char* section, const char* const* keys, const char* const* values, size_t count);
// Stores the value in another application's domain.
void _LSettingForApplicationSetString(LSettingsUserRef user, const char* applicationName,
    const char* section, const char* key, const char* value);

// Removes the key.
void _LSettingDeleteItem(LSettingsUserRef user, const char* section, const char* key);
// Removes the key and its companion "__key" in the same section.
void LUserSettingDeleteItem(const char* section, const char* key);

bool _LSettingTestKeyExists(LSettingsUserRef user, const char* fullKey);
bool LUserSettingTestKeyFullPathExists(LSettingsUserRef user, const char* fullKey);
bool LUserSettingTestExists(const char* section, const char* key);

// The last component of a key path, a trailing "/" ignored (at most 259 bytes).
void _LSettingMakePrimaryKeyFromPath(char* out, const char* path);
// Creates the folder keys of a path: for "a/b/" the keys "a/" (value "a") and "a/b/" (value
// "b"), where missing. A path without "/" creates nothing. Returns true.
bool _LSettingMakeParentKeyPath(LSettingsUserRef user, const char* path);
// The next distinct child name under prefix (compared without regard to case) after "after"
// (empty: the first), in case-insensitive order; false when there is none.
bool _LSettingPlistGetNextKey(
    LSettingsUserRef user, const char* prefix, const char* after, char* out);

// Record lists: records stored under numbered key paths base/1/, base/2/, ...
struct LUserSettingsRecord {
    LSettingsUserRef user = kLSettingsCurrentUser;
    char name[kLStringShortSize] = ""; // the decimal number
    char path[kLStringShortSize] = ""; // base/n/
};

template <class R> class LSettingsListTemplate;
template <class R> class LSettingsListIteratorTemplate;

template <> class LSettingsListTemplate<LUserSettingsRecord> {
public:
    LSettingsListTemplate(
        const char* label, const char* base, LSettingsUserRef user = kLSettingsCurrentUser);

    // Fills the record with the first free number and creates its folder keys, so that the
    // next record gets the next number even before a value is stored under this one.
    void CreateNewRecord(LUserSettingsRecord& record);
    // The path of record name: base/name/.
    void MakeRecordPath(char* out, const char* name) const;

    LSettingsUserRef GetUser() const { return fUser; }
    const char* GetLabel() const { return fLabel; }
    const char* GetBase() const { return fBase; }

private:
    LSettingsUserRef fUser;
    char fLabel[kLStringShortSize];
    char fBase[kLStringShortSize];
};

// Walks a list's records in name order (case-insensitive text order: 1, 10, 2).
template <> class LSettingsListIteratorTemplate<LUserSettingsRecord> {
public:
    explicit LSettingsListIteratorTemplate(const LSettingsListTemplate<LUserSettingsRecord>& list);

    // False when there are no more records.
    bool IsValid() const { return fPath[0] != '\0'; }
    // Moves to the next record.
    void Next();
    const char* GetName() const { return fName; }
    const char* GetPath() const { return fPath; }
    void GetRecord(LUserSettingsRecord& record) const;

private:
    void Take(const char* after);

    LSettingsUserRef fUser;
    char fLabel[kLStringShortSize];
    char fBase[kLStringShortSize];
    char fName[kLStringShortSize] = "";
    char fPath[kLStringShortSize] = "";
};

// The measurement unit: 0 metric, 1 imperial. Its default is set at start-up from the locale
// (LSettingSetMeasurementUnitDefault); until then it is read from the locale on first use.
int LSettingGetMeasurementUnit();
int LUnitsGetMeasurementUnit();
void LSettingSetMeasurementUnit(int unit);
void LSettingSetMeasurementUnitDefault(int unit);
int LSettingGetMeasurementUnitDefault();
