// The settings shared with the maker's other programs: "SharedSettings.xml" in the folder
// "Shared" of the user data folder. Its top-level elements are the sections; each holds one
// element per key whose attribute "value" is the value:
//
//     <Section><Key value="text"/></Section>
//
// Writes replace the file whole (temporary file and rename) under a lock, after reading it
// afresh, so that concurrent writers lose nothing. A file that does not read cleanly is never
// written back.
#pragma once

class LXMLDocument;

// The file's path (the folder is created when missing); false when there is no data folder.
bool LSharedSettingsGetPath(char* out);
// Loads the file into the document. A missing file leaves it empty; a faulty one gives what
// could be read. Returns true.
bool LSharedSettingsLoad(LXMLDocument& document);
// Replaces the file with the document's text. False when it could not be written.
bool LSharedSettingsSave(const LXMLDocument& document);

// The "value" of element key in element section (at most 259 bytes), or the default when the
// section, the key or the attribute is missing. True when the value was found.
bool _LSharedSettingGetString(const char* section, const char* key, const char* def, char* out);
// Sets the value, appending the section and key elements when missing, and saves the file.
// False when it was not written (the file could not be read cleanly, or could not be replaced).
bool LSharedSettingSetString(const char* section, const char* key, const char* value);
