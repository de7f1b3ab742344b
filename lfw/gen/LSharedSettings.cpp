#include "lfw/gen/LSharedSettings.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LSettingsFile.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LXML.h"

#include <cstdio>
#include <cstring>

namespace {

enum class ReadResult { Missing, Clean, Faulty };

// Reads the file into the (empty) document.
ReadResult _Read(const char* path, LXMLDocument& document)
{
    if (!LFile::TestFileExists(path))
        return ReadResult::Missing;
    LProcessInterfaceVoid silent;
    char error[kLStringShortSize] = "";
    LProcessResult result = document.LoadFromFile(silent, path, error);
    if (result != LProcessResultSuccess || error[0])
        return LFile::TestFileExists(path) ? ReadResult::Faulty : ReadResult::Missing;
    return ReadResult::Clean;
}

bool _Write(const char* path, const LXMLDocument& document)
{
    LStringLongTemplate<char> text;
    document.SaveToBuffer(text);
    return LSettingsFileReplace(path, text.c_str(), strlen(text.c_str()));
}

// The first child element of that name.
LXMLElement* _Child(LXMLElement& parent, const char* name)
{
    for (LXMLElement* e = parent.GetFirstChild(); e; e = e->GetNext())
        if (!e->IsText() && strcmp(e->GetName(), name) == 0)
            return e;
    return nullptr;
}

} // namespace

bool LSharedSettingsGetPath(char* out)
{
    char folder[kLPathSize];
    if (!LFile::GetUserDataFolderAppSubFolder("Shared", folder)) {
        out[0] = '\0';
        return false;
    }
    char path[kLPathSize * 2];
    snprintf(path, sizeof path, "%s/SharedSettings.xml", folder);
    if (strlen(path) >= kLPathSize) {
        out[0] = '\0';
        return false; // a cut path would name another file
    }
    memcpy(out, path, strlen(path) + 1);
    return true;
}

bool LSharedSettingsLoad(LXMLDocument& document)
{
    char path[kLPathSize];
    if (LSharedSettingsGetPath(path))
        _Read(path, document);
    return true;
}

bool LSharedSettingsSave(const LXMLDocument& document)
{
    char path[kLPathSize];
    if (!LSharedSettingsGetPath(path))
        return false;
    LSettingsFileWriteLock lock(path);
    return _Write(path, document);
}

bool _LSharedSettingGetString(const char* section, const char* key, const char* def, char* out)
{
    LXMLDocument document;
    LSharedSettingsLoad(document);
    const char* value = nullptr;
    if (LXMLElement* s = _Child(document, section))
        if (LXMLElement* k = _Child(*s, key))
            value = k->GetAttribute("value");
    utf8strlcpy(out, value ? value : (def ? def : ""), kLStringShortSize);
    return value != nullptr;
}

bool LSharedSettingSetString(const char* section, const char* key, const char* value)
{
    char path[kLPathSize];
    if (!section || !key || !LSharedSettingsGetPath(path))
        return false;
    // Read, change and replace under one lock, so that no concurrent change is lost.
    LSettingsFileWriteLock lock(path);
    LXMLDocument document;
    if (_Read(path, document) == ReadResult::Faulty)
        return false; // never write back what could not be read whole
    LXMLElement* s = _Child(document, section);
    if (!s)
        s = document.AddElement(section);
    LXMLElement* k = _Child(*s, key);
    if (!k)
        k = s->AddElement(key);
    k->SetAttribute("value", value ? value : "");
    return _Write(path, document);
}
