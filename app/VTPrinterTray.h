// Direct-to-disc printers and the disc trays they take.
//
// Two constant tables: the tray sizes (the page a tray stands for and where the disc centre sits
// on it, relative to the page centre, x to the right and y down, in millimetres) and the printers
// (each naming its tray size). In both the row's id equals its index; row 0 is the invalid row.
// Printers are stored in settings and label-layout files by their keys, never by number.
#pragma once

#include <cstdint>

// A printer row: 1 to 253; 0 is the invalid row.
using VTPrinterTrayID = int32_t;

inline constexpr VTPrinterTrayID VTPrinterTrayInvalid = 0;
inline constexpr VTPrinterTrayID VTPrinterTrayFirst = 1;
inline constexpr VTPrinterTrayID VTPrinterTrayLast = 253;
inline constexpr int kVTPrinterTrayCount = 254;
inline constexpr int kVTCDDVDTraySizeCount = 18;
// The printer chosen when the user has chosen none ("cMG5350").
inline constexpr VTPrinterTrayID VTPrinterTrayDefault = 36;
inline constexpr const char* kVTPrinterTrayDefaultKey = "cMG5350";

struct VTCDDVDTraySizeInfo {
    int32_t id;
    float width; // the page the tray stands for, mm
    float height;
    float offsetX; // the disc centre relative to the page centre, mm
    float offsetY;
    const char* key;
    const char* name;
};

struct VTPrinterTray {
    VTPrinterTrayID id;
    int32_t traySize; // a row of VTCDDVDTraySizeInfoArray
    const char* key; // stored in settings and files
    const char* name; // shown to the user
};

extern const VTCDDVDTraySizeInfo VTCDDVDTraySizeInfoArray[kVTCDDVDTraySizeCount];
extern const VTPrinterTray VTPrinterTrayArray[kVTPrinterTrayCount];

// The first printer among rows 1 to 253 whose key equals the key exactly (case-sensitive); 0
// when none does, so "Invalid" and a null key give 0.
VTPrinterTrayID VTPrinterTrayGetIDFromKey(const char* key);
// The printer row of an id among rows 1 to 253; null when there is none (the printer is then
// absent: no key, a page of 0 by 0).
const VTPrinterTray* VTPrinterTrayGet(VTPrinterTrayID id);
// The printer's key; null for an id without a row.
const char* VTPrinterTrayGetKey(VTPrinterTrayID id);
// The tray of a printer: the tray-size row its printer row names; row 0 (a page of 0 by 0 with
// the disc at its centre) for an id without a printer row.
const VTCDDVDTraySizeInfo& VTPrinterTrayGetTraySize(VTPrinterTrayID id);
