#include "lfw/mac/LPaperSize.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Row {
    uint32_t id;
    double w, h;
    uint32_t group;
    const char* key;
    const char* name;
};

// The table as the system knows it.
const Row kRows[] = {
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
};

} // namespace

TEST(PaperSizes, EveryRowByIdKeyAndName)
{
    for (const Row& r : kRows) {
        LPaperSizeID id = static_cast<LPaperSizeID>(r.id);
        double w, h;
        LPaperSizeGetPhysicalDimensionsMm(id, w, h);
        EXPECT_EQ(LPaperSizeArray[r.id].width, r.w) << r.key;
        EXPECT_EQ(LPaperSizeArray[r.id].height, r.h) << r.key;
        if (r.group != LPaperSizeGroupUS) {
            EXPECT_EQ(w, r.w) << r.key;
            EXPECT_EQ(h, r.h) << r.key;
        }
        EXPECT_STREQ(LPaperSizeGetKeyFromID(id), r.key);
        EXPECT_STREQ(LPaperSizeGetDisplayName(id), r.name);
        EXPECT_EQ(LPaperSizeGetIDFromKey(r.key), id) << r.key;
        EXPECT_EQ(LPaperSizeArray[r.id].id, r.id);
        EXPECT_EQ(LPaperSizeArray[r.id].group, r.group);
    }
    EXPECT_STREQ(LPaperSizeArray[0].key, "invalid");
    EXPECT_STREQ(LPaperSizeArray[23].key, "max");
}

TEST(PaperSizes, OutsideTheTable)
{
    double w = 1, h = 1;
    for (uint32_t id : { 0u, 23u, 24u, 1000u }) {
        LPaperSizeGetPhysicalDimensionsMm(static_cast<LPaperSizeID>(id), w, h);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
        EXPECT_STREQ(LPaperSizeGetKeyFromID(static_cast<LPaperSizeID>(id)), "custom");
        EXPECT_STREQ(LPaperSizeGetDisplayName(static_cast<LPaperSizeID>(id)), "");
    }
    EXPECT_EQ(LPaperSizeGetIDFromKey("custom"), LPaperSizeCustom);
    EXPECT_EQ(LPaperSizeGetIDFromKey("A4"), LPaperSizeInvalid); // keys are lower case
    EXPECT_EQ(LPaperSizeGetIDFromKey("invalid"), LPaperSizeInvalid);
    EXPECT_EQ(LPaperSizeGetIDFromKey("max"), LPaperSizeInvalid);
    EXPECT_EQ(LPaperSizeGetIDFromKey(""), LPaperSizeInvalid);
    EXPECT_EQ(LPaperSizeGetIDFromKey(nullptr), LPaperSizeInvalid);
}

TEST(PaperSizes, Pixels)
{
    unsigned long w, h;
    LPaperSizeGetPhysicalDimensionsInPixels(LPaperSizeA4, 72, w, h);
    EXPECT_EQ(w, 595u);
    EXPECT_EQ(h, 841u);
    LPaperSizeGetPhysicalDimensionsInPixels(LPaperSizeA4, 300, w, h);
    EXPECT_EQ(w, 2480u);
    EXPECT_EQ(h, 3507u);
    LPaperSizeGetPhysicalDimensionsInPixels(LPaperSizeInvalid, 300, w, h);
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(h, 0u);
    LPaperSizeGetPhysicalDimensionsInPixels(LPaperSizeManual, 254, w, h);
    EXPECT_EQ(w, 1275u);
    EXPECT_EQ(h, 1785u);
}

// The table shows the US sizes in whole millimetres; what is placed and measured on is the paper,
// cut in inches.
TEST(PaperSizes, UsSizesAreExactInInches)
{
    struct Inches {
        LPaperSizeID id;
        double w, h;
    } rows[] = { { LPaperSizeUSStatement, 5.5, 8.5 }, { LPaperSizeUSLetter, 8.5, 11 },
        { LPaperSizeUSLegal, 8.5, 14 }, { LPaperSizeUSLedger, 11, 17 },
        { LPaperSizeUSTabloid, 11, 17 } };
    for (const Inches& r : rows) {
        double w = 0, h = 0;
        LPaperSizeGetPhysicalDimensionsMm(r.id, w, h);
        EXPECT_NEAR(w, r.w * 25.4, 1e-9) << r.id;
        EXPECT_NEAR(h, r.h * 25.4, 1e-9) << r.id;
        // Whole in inches, whole in pixels: never a pixel lost to the millimetres' rounding.
        for (unsigned long ppi : { 72ul, 300ul, 600ul, 1200ul }) {
            unsigned long pw = 0, ph = 0;
            LPaperSizeGetPhysicalDimensionsInPixels(r.id, ppi, pw, ph);
            EXPECT_EQ(pw, (unsigned long)(r.w * double(ppi))) << r.id << " " << ppi;
            EXPECT_EQ(ph, (unsigned long)(r.h * double(ppi))) << r.id << " " << ppi;
        }
    }
}

TEST(PaperSizes, PrinterPaperNames)
{
    EXPECT_EQ(LPaperSizeGetIDFromName("US Letter"), LPaperSizeUSLetter);
    EXPECT_EQ(LPaperSizeGetIDFromName("Letter"), LPaperSizeUSLetter);
    EXPECT_EQ(LPaperSizeGetIDFromName("Statement"), LPaperSizeUSStatement);
    EXPECT_EQ(LPaperSizeGetIDFromName("US Tabloid"), LPaperSizeUSTabloid);
    EXPECT_EQ(LPaperSizeGetIDFromName("Ledger"), LPaperSizeUSLedger);
    EXPECT_EQ(LPaperSizeGetIDFromName("US Legal"), LPaperSizeUSLegal);
    EXPECT_EQ(LPaperSizeGetIDFromName("A0"), LPaperSizeA0);
    EXPECT_EQ(LPaperSizeGetIDFromName("A7"), LPaperSizeA7);
    EXPECT_EQ(LPaperSizeGetIDFromName("B3"), LPaperSizeB3);
    EXPECT_EQ(LPaperSizeGetIDFromName("a4"), LPaperSizeCustom);
    EXPECT_EQ(LPaperSizeGetIDFromName("A8"), LPaperSizeCustom);
    EXPECT_EQ(LPaperSizeGetIDFromName(nullptr), LPaperSizeCustom);
    EXPECT_STREQ(LPaperSizeOrientationGetDisplayName(LPaperSizeOrientationPortrait), "Porträtt");
    EXPECT_STREQ(LPaperSizeOrientationGetDisplayName(LPaperSizeOrientationLandscape), "Landskap");
    EXPECT_STREQ(LPaperSizeOrientationGetDisplayName(static_cast<LPaperSizeOrientation>(2)), "");
}

TEST(PaperSizes, IteratorOffersTheSelectableSizes)
{
    LPaperSizeIterator it;
    EXPECT_FALSE(it.IsValid());
    EXPECT_EQ(it.GetPaperSize(), LPaperSizeInvalid);
    EXPECT_STREQ(it.GetDisplayName(), "");
    int n = 0;
    LPaperSizeID first = LPaperSizeInvalid, last = LPaperSizeInvalid;
    for (it.Next(); it.IsValid(); it.Next()) {
        if (n == 0)
            first = it.GetPaperSize();
        last = it.GetPaperSize();
        EXPECT_STREQ(it.GetDisplayName(), LPaperSizeGetDisplayName(last));
        ++n;
    }
    EXPECT_EQ(n, 21);
    EXPECT_EQ(first, LPaperSizeA0);
    EXPECT_EQ(last, LPaperSizeUSTabloid);
    it.Next();
    EXPECT_FALSE(it.IsValid());
    EXPECT_STREQ(it.GetDisplayName(), "");
}
