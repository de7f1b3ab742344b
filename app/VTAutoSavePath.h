// Whether a path names one of the program's autosaves: a project file ("*.vtproj") straight in
// the program's own folder of the user's data, where the autosaves and nothing else of the kind
// are written. Such files are the program's, not the user's: they are never listed as recent.
#pragma once

bool VTIsAutoSavePath(const char* path);
