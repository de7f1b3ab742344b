// The paper sizes the system knows: id, size in millimetres, group, stable key and display name.
// The table holds the US sizes in whole millimetres, as they are shown; everything that places
// or measures on paper takes the paper's true size from LPaperSizeGetPhysicalDimensionsMm.
#pragma once

#include <cstdint>

enum LPaperSizeID : uint32_t {
    LPaperSizeInvalid = 0,
    LPaperSizeA0 = 1,
    LPaperSizeA1 = 2,
    LPaperSizeA2 = 3,
    LPaperSizeA3 = 4,
    LPaperSizeA4 = 5,
    LPaperSizeA5 = 6,
    LPaperSizeA6 = 7,
    LPaperSizeA7 = 8,
    LPaperSizeB0 = 9,
    LPaperSizeB1 = 10,
    LPaperSizeB2 = 11,
    LPaperSizeB3 = 12,
    LPaperSizeB4 = 13,
    LPaperSizeB5 = 14,
    LPaperSizeB6 = 15,
    LPaperSizeB7 = 16,
    LPaperSizeUSStatement = 17,
    LPaperSizeUSLetter = 18,
    LPaperSizeUSLegal = 19,
    LPaperSizeUSLedger = 20,
    LPaperSizeUSTabloid = 21,
    LPaperSizeManual = 22,
    LPaperSizeMax = 23, // end of the table
    LPaperSizeCustom = 24, // a size that is not in the table
};

enum LPaperSizeOrientation : uint32_t {
    LPaperSizeOrientationPortrait = 0,
    LPaperSizeOrientationLandscape = 1,
};

enum LPaperSizeGroup : uint32_t {
    LPaperSizeGroupNone = 0,
    LPaperSizeGroupISOA = 1,
    LPaperSizeGroupISOB = 2,
    LPaperSizeGroupUS = 3,
    LPaperSizeGroupManual = 4,
};

struct LPaperSizeRecord {
    uint32_t id;
    double width; // mm, portrait
    double height; // mm, portrait
    uint32_t group;
    const char* key;
    const char* displayName;
};

// The table, stored at the index equal to the id (24 rows: 0 to 23).
extern const LPaperSizeRecord LPaperSizeArray[24];

// The paper's true width and height in mm (the US sizes exact in inches: Letter 215.9 x 279.4);
// 0 and 0 for ids outside 1..22.
void LPaperSizeGetPhysicalDimensionsMm(LPaperSizeID id, double& width, double& height);
// Each true size as mm / 25.4 * pixels per inch, truncated (Letter at 300 is 2550 x 3300); 0 and
// 0 for an id without a size.
void LPaperSizeGetPhysicalDimensionsInPixels(
    LPaperSizeID id, unsigned long pixelsPerInch, unsigned long& width, unsigned long& height);
// "" for ids outside 1..22.
const char* LPaperSizeGetDisplayName(LPaperSizeID id);
// "custom" for ids outside 1..22.
const char* LPaperSizeGetKeyFromID(LPaperSizeID id);
// Exact, case-sensitive; 0 for an unknown key.
LPaperSizeID LPaperSizeGetIDFromKey(const char* key);
// The id of a paper name the print system reports ("A4", "US Letter", ...); 24 for others.
LPaperSizeID LPaperSizeGetIDFromName(const char* name);
// "Porträtt", "Landskap", or "".
const char* LPaperSizeOrientationGetDisplayName(LPaperSizeOrientation orientation);

// Walks the sizes a user may pick: call Next once before the first IsValid.
class LPaperSizeIterator {
public:
    LPaperSizeIterator() = default;
    virtual ~LPaperSizeIterator() = default;
    virtual bool IsValid() const;
    virtual void Next();
    LPaperSizeID GetPaperSize() const;
    const char* GetDisplayName() const;

private:
    uint32_t mID = 0;
    const LPaperSizeRecord* mRow = nullptr;
};
