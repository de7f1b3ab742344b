// Showing a file or folder in the desktop's file manager.
#pragma once

#include <string>

// For a folder whose entries can be listed: its first entry (by name) that is neither a folder
// nor a symbolic link, so the folder shows opened; otherwise the path itself.
std::string LRevealItemFor(const char* path);
// Shows the path selected in the file manager (org.freedesktop.FileManager1), else opens its
// folder with the desktop's opener; false when neither could be done.
bool LRevealInFinder(const char* path);
