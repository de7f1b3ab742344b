// The user settings of the document layer: the paper size of new paper layouts, the chosen
// direct-to-disc printer and the folders last used for projects and images. All are strings in
// section "Settings"; ids are stored as their keys, never as numbers. A missing or empty value
// reads as the default.
#pragma once

#include "app/VTPrinterTray.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LPaperSize.h"

#include <string>

class LPaintContext;

inline constexpr const char* kVTOptionsSection = "Settings";
inline constexpr const char* kVTOptionsPaperSize = "PaperSize";
inline constexpr const char* kVTOptionsPrinterTray = "PrinterTray";
inline constexpr const char* kVTOptionsRecentFolderProject = "RecentFolderProject";
inline constexpr const char* kVTOptionsRecentFolderImage = "RecentFolderImage";

class VTOptions {
public:
    // The stored paper size; US Letter (18) for the imperial measurement unit, else A4 (5), when
    // nothing usable is stored (a key of no row, or a size outside 1 to 22 such as "custom").
    static LPaperSizeID PaperSizeIDGet();
    // Stores the size's key; false (nothing stored) for an id outside 1 to 22.
    static bool PaperSizeIDSet(LPaperSizeID id);
    // The stored printer, "cMG5350" when none is stored; 0 for a key the table does not know.
    static VTPrinterTrayID PrinterTrayIDGet();
    // Stores the printer's key; false (nothing stored) for an id outside 1 to 253.
    static bool PrinterTrayIDSet(VTPrinterTrayID id);
    // The folder last used for projects, whole however long; the user's Documents folder when
    // none is stored.
    static void RecentFolderProjectGet(std::string& folder);
    // The folder last used for images, whole; the user's Pictures folder when none is stored.
    static void RecentFolderImageGet(std::string& folder);
};

// A length meant in screen units turned into the context's current units: the vector (size,
// size) through the inverse of the current transform without its move; the shorter of the two
// resulting lengths. Handles and arrows drawn this big keep one screen size at any zoom.
float VTScreenGetSize(LPaintContext& context, float size);
// The same for a transform given as a matrix (units to screen, row-vector form).
float VTScreenGetSize(const LMatrix<float>& transform, float size);
