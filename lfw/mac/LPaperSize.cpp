#include "lfw/mac/LPaperSize.h"

#include <cstring>

const LPaperSizeRecord LPaperSizeArray[24] = {
    { 0, 0, 0, 0, "invalid", "Invalid" },
    { 1, 841, 1189, 1, "a0", "A0" },
    { 2, 594, 841, 1, "a1", "A1" },
    { 3, 420, 594, 1, "a2", "A2" },
    { 4, 297, 420, 1, "a3", "A3" },
    { 5, 210, 297, 1, "a4", "A4" },
    { 6, 148, 210, 1, "a5", "A5" },
    { 7, 105, 148, 1, "a6", "A6" },
    { 8, 75, 105, 1, "a7", "A7" },
    { 9, 1000, 1414, 2, "b0", "B0" },
    { 10, 707, 1000, 2, "b1", "B1" },
    { 11, 500, 707, 2, "b2", "B2" },
    { 12, 353, 500, 2, "b3", "B3" },
    { 13, 250, 353, 2, "b4", "B4" },
    { 14, 176, 250, 2, "b5", "B5" },
    { 15, 125, 176, 2, "b6", "B6" },
    { 16, 88, 125, 2, "b7", "B7" },
    { 17, 140, 216, 3, "usstatement", "Rapporter" },
    { 18, 216, 279, 3, "usletter", "Brev" },
    { 19, 216, 356, 3, "uslegal", "Juridiska" },
    { 20, 279, 432, 3, "usledger", "Redovisninge" },
    { 21, 279, 432, 3, "ustabloid", "Tabloid" },
    { 22, 127.54, 178.54, 4, "zormanual", "Manuell" },
    { 23, 0, 0, 0, "max", "Max" },
};

namespace {

// The row of a table id (1..22) that has one, else null.
const LPaperSizeRecord* Row(uint32_t id)
{
    if (id < 1 || id > 22)
        return nullptr;
    for (int i = 0; i < 23; ++i)
        if (LPaperSizeArray[i].id == id)
            return &LPaperSizeArray[id];
    return nullptr;
}

} // namespace

void LPaperSizeGetPhysicalDimensionsMm(LPaperSizeID id, double& width, double& height)
{
    const LPaperSizeRecord* r = Row(id);
    width = height = 0;
    if (!r)
        return;
    width = r->width;
    height = r->height;
    // The table shows the US sizes in whole millimetres; the paper is cut in inches.
    switch (id) {
    case LPaperSizeUSStatement:
        width = 5.5 * 25.4, height = 8.5 * 25.4;
        break;
    case LPaperSizeUSLetter:
        width = 8.5 * 25.4, height = 11 * 25.4;
        break;
    case LPaperSizeUSLegal:
        width = 8.5 * 25.4, height = 14 * 25.4;
        break;
    case LPaperSizeUSLedger:
    case LPaperSizeUSTabloid:
        width = 11 * 25.4, height = 17 * 25.4;
        break;
    default:
        break;
    }
}

void LPaperSizeGetPhysicalDimensionsInPixels(
    LPaperSizeID id, unsigned long pixelsPerInch, unsigned long& width, unsigned long& height)
{
    double w, h;
    LPaperSizeGetPhysicalDimensionsMm(id, w, h);
    // Truncated; the margin keeps a size whole in inches (Letter's 8.5 inches at 300 pixels an
    // inch) from losing a pixel to the rounding of its millimetres.
    width = static_cast<unsigned long>(w / 25.4 * double(pixelsPerInch) + 1e-6);
    height = static_cast<unsigned long>(h / 25.4 * double(pixelsPerInch) + 1e-6);
}

const char* LPaperSizeGetDisplayName(LPaperSizeID id)
{
    const LPaperSizeRecord* r = Row(id);
    return r ? r->displayName : "";
}

const char* LPaperSizeGetKeyFromID(LPaperSizeID id)
{
    const LPaperSizeRecord* r = Row(id);
    return r ? r->key : "custom";
}

LPaperSizeID LPaperSizeGetIDFromKey(const char* key)
{
    if (!key)
        return LPaperSizeInvalid;
    if (std::strcmp(key, "custom") == 0)
        return LPaperSizeCustom;
    if (std::strcmp(key, "zormanual") == 0)
        return LPaperSizeManual;
    const LPaperSizeRecord* first = Row(1);
    if (!first || first->group == LPaperSizeGroupManual)
        return LPaperSizeInvalid;
    for (uint32_t id = 1;; ++id) {
        const LPaperSizeRecord* r = Row(id);
        if (std::strcmp(key, r ? r->key : "custom") == 0)
            return static_cast<LPaperSizeID>(id);
        if (id >= 21)
            return LPaperSizeInvalid;
        const LPaperSizeRecord* next = Row(id + 1);
        if (!next || next->group == LPaperSizeGroupManual)
            return LPaperSizeInvalid;
    }
}

LPaperSizeID LPaperSizeGetIDFromName(const char* name)
{
    if (!name)
        return LPaperSizeCustom;
    auto is = [name](const char* a, const char* b) {
        return std::strcmp(name, a) == 0 || (b && std::strcmp(name, b) == 0);
    };
    if (is("Statement", "US Statement"))
        return LPaperSizeUSStatement;
    if (is("Letter", "US Letter"))
        return LPaperSizeUSLetter;
    if (is("Tabloid", "US Tabloid"))
        return LPaperSizeUSTabloid;
    if (is("Ledger", "US Ledger"))
        return LPaperSizeUSLedger;
    if (is("Legal", "US Legal"))
        return LPaperSizeUSLegal;
    static const char* const a[] = { "A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7" };
    static const char* const b[] = { "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7" };
    for (int i = 0; i < 8; ++i) {
        if (is(a[i], nullptr))
            return static_cast<LPaperSizeID>(LPaperSizeA0 + i);
    }
    for (int i = 0; i < 8; ++i) {
        if (is(b[i], nullptr))
            return static_cast<LPaperSizeID>(LPaperSizeB0 + i);
    }
    return LPaperSizeCustom;
}

const char* LPaperSizeOrientationGetDisplayName(LPaperSizeOrientation orientation)
{
    switch (orientation) {
    case LPaperSizeOrientationPortrait:
        return "Porträtt";
    case LPaperSizeOrientationLandscape:
        return "Landskap";
    default:
        return "";
    }
}

bool LPaperSizeIterator::IsValid() const
{
    return mID >= 1 && mID <= 22 && mRow;
}

void LPaperSizeIterator::Next()
{
    uint32_t previous = mID;
    ++mID;
    if (previous >= 22) {
        mRow = nullptr;
        mID = LPaperSizeMax;
        return;
    }
    mRow = Row(mID);
    if (!mRow) {
        mID = LPaperSizeMax;
        return;
    }
    if (mRow->group == LPaperSizeGroupManual)
        mID = LPaperSizeMax; // the walk ends before the manual size
}

LPaperSizeID LPaperSizeIterator::GetPaperSize() const
{
    return mRow ? static_cast<LPaperSizeID>(mRow->id) : LPaperSizeInvalid;
}

const char* LPaperSizeIterator::GetDisplayName() const
{
    if (mID == 0 || mID > 22)
        return "";
    return LPaperSizeGetDisplayName(static_cast<LPaperSizeID>(mID));
}
