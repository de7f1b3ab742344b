// The file-type filters of the open and save panels (the panels themselves are LFile::Browse...,
// lfw/gen/LFile.h).
//
// A filter string is a sequence of pairs, each a description, a NUL, a pattern and a NUL, ended
// by an extra NUL. A pattern lists items "*.<extension>" separated by ";"; "*.*" stands for all
// files. Parsing stops at the final NUL or at the first empty pattern.
#pragma once

#include "lfw/gen/LStringList.h"
#include "lfw/gen/LVector.h"

#include <string>
#include <vector>

// Fills the file types (every extension item in order, all-files items left out), the group
// start indices (may be null: per group the index of its first type, or -1 for a group of all
// files; a group without any "*." item counts as all files) and the group names. The default
// group (1-based) becomes the first group holding the default extension (case ignored, leading
// "." allowed) unless it was already 1 or more; widest is the widest group name in points in the
// system font. A null or empty filter changes nothing.
void LParseFileTypes(LStringListTemplate<char>& fileTypes, LVector<int>* fileTypeIndices,
    LStringListTemplate<char>& groupNames, const char* defaultExtension, int& defaultGroup,
    float& widest, const char* filter);

// The type list shown in a panel: its groups and which types each allows.
class LSavePanelFileTypesControl {
public:
    // False (no list) when any of the arrays is empty.
    bool Init(const LStringListTemplate<char>& groups, const LStringListTemplate<char>& types,
        const LVector<int>& indices, int defaultGroup, float widest, bool savePanel);
    // Selects a group (0-based index of the list) and answers the types it allows; an empty
    // list allows every file.
    std::vector<std::string> handleSelection(int index);
    int getSelectedGroup() const { return iSelectedGroupIndex; }
    // The types a group (0-based) allows (empty: every file).
    std::vector<std::string> TypesOfGroup(int index) const;
    size_t GroupCount() const { return naFileGroups ? naFileGroups->GetCount() : 0; }
    const char* GroupName(size_t i) const { return (*naFileGroups)[i]; }

    const LStringListTemplate<char>* naFileGroups = nullptr;
    const LStringListTemplate<char>* naFileTypes = nullptr;
    const LVector<int>* naFileTypeIndices = nullptr;
    int iDefaultGroupIndex = 1;
    int iSelectedGroupIndex = 1;
    float fMaxGroupNameWidth = 0;
    bool bSavePanel = false;
};

// What the save panel asks about a chosen path's extension.
enum LSaveExtensionCheck {
    LSaveExtensionOK = 0,
    LSaveExtensionMissing = 1, // "Markeringen har inget filtillägg"
    LSaveExtensionDiffers = 2, // "Markeringen har olika filtillägg"
};
// The check for a chosen path: nothing with an empty default extension or with two or more file
// types; extension holds the chosen extension with its dot.
LSaveExtensionCheck LSaveCheckExtension(
    const char* path, const char* defaultExtension, size_t typeCount, std::string& extension);
// The proposed name of the save panel for the path buffer's content.
std::string LSaveProposedName(const char* path, const char* defaultExtension);
