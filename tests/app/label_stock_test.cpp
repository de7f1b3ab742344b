#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "lfw/gen/LUserSettings.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class LabelStock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        setenv("HOME", m_folder.Path().c_str(), 1);
        LSettingSetMeasurementUnit(0);
    }
    TemporaryFolder m_folder;
};

struct Position {
    int page;
    VTTemplateFormat format;
    int id;
    float x, y, rotation;
};

std::vector<Position> Positions(const VTLabelLayout& layout)
{
    std::vector<Position> out;
    int pageIndex = 0;
    for (const VTLabelLayoutPage& page : layout.pages) {
        for (const VTLabelLayoutTemplate* t = page.first; t; t = t->next)
            out.push_back({ pageIndex, t->format, t->id, t->centreX, t->centreY, t->rotation });
        ++pageIndex;
    }
    return out;
}

void ExpectRing(
    const VTLabelLayoutTemplate& t, float outer, float inner, float bandOuter, float bandInner)
{
    auto* disc = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(t.GetTemplateData());
    ASSERT_NE(disc, nullptr);
    float o = 0, i = 0, bo = 0, bi = 0;
    bool band = true;
    disc->GetDiscPrintableArea(o, i, band, bo, bi);
    // The ring keeps 15.5 <= inner and 0.5 mm between neighbouring diameters, pushing outwards.
    const float expectInner = std::max(inner, 15.5f);
    const float expectBandInner = std::max(bandInner, expectInner + 0.5f);
    const float expectBandOuter = std::max(bandOuter, expectBandInner + 0.5f);
    EXPECT_FLOAT_EQ(o, std::max(outer, expectBandOuter + 0.5f));
    EXPECT_FLOAT_EQ(i, expectInner);
    EXPECT_FALSE(band);
    EXPECT_FLOAT_EQ(bo, expectBandOuter);
    EXPECT_FLOAT_EQ(bi, expectBandInner);
}

const VTLabelLayoutPage* PageAt(const VTLabelLayout& layout, size_t index)
{
    return layout.pages.GetAt(index);
}

} // namespace

TEST_F(LabelStock, ListHoldsTheSixtyNineSheetsInOrder)
{
    static const char* const kKeys[] = { "GenericCDStandard", "GenericDVDStandard",
        "GenericBluRayStandard", "GenericA4FaceTwoDisc", "GenericA4FullFaceTwoDisc",
        "GenericLetterFaceTwoDisc", "GenericLetterFullFaceTwoDisc", "AveryA4C6074", "AveryA4C9660",
        "AveryA4J6115", "AveryA4L6015", "AveryA4L6043", "AveryA4L6044", "AveryA4L6045",
        "AveryA4L6046", "AveryA4L6047", "AveryA4L6117", "AveryA4L7660", "AveryA4L7676",
        "AveryA4L7760", "AveryA4J8570", "AveryA4J8676", "AveryA4J8750", "AveryA4J8761",
        "AveryA4J8770", "AveryA4J8776", "AveryA4J8777", "AveryLetter5584", "AveryLetter5691",
        "AveryLetter5692", "AveryLetter5694", "AveryLetter5697", "AveryLetter5698",
        "AveryLetter5824", "AveryLetter5931", "AveryLetter6691", "AveryLetter6692",
        "AveryLetter8684", "AveryLetter8691", "AveryLetter8692", "AveryLetter8694",
        "AveryLetter8695", "AveryLetter8699", "AveryLetter8832", "AveryLetter8931",
        "AveryLetter8941", "AveryLetter8942", "AveryLetter8944", "AveryLetter8960",
        "AveryLetter8962", "AveryLetter15692", "AveryLetter18692", "AveryLetter28669",
        "CDStomperA4", "CDStomperLetter", "HermaDiscA4", "HermaDiscFullFacedA4", "MemorexDiscA4",
        "MemorexDiscFullFacedA4", "MemorexDiscLetter", "MemorexDiscFullFacedLetter",
        "MemorexJewelCaseInsertLetter", "MemorexDVDCaseA4", "MeritlineDiscLetter",
        "MeritlineDiscFullCoverageLetter", "MeritlineJewelCaseInsertLetter", "MeritlineDVDCaseA4",
        "PressitDiscA4", "PressitDiscLetter" };
    static_assert(sizeof kKeys / sizeof kKeys[0] == 69);

    VTLabelLayoutDataList list;
    ASSERT_EQ(list.GetCount(), 69u);
    size_t i = 0;
    for (const VTLabelLayout* layout = list.GetHead(); layout;
         layout = list.layouts.GetNext(layout), ++i) {
        EXPECT_STREQ(layout->key, kKeys[i]) << i;
        EXPECT_NE(layout->name[0], '\0') << layout->key;
        EXPECT_FALSE(layout->description.IsEmpty()) << layout->key;
        EXPECT_FALSE(layout->sameFormat);
        EXPECT_EQ(layout->printMedium, VTPrintMediumPaper);
        // Every stock layout is a layout a file can hold: ids 0, 1, 2... in order.
        EXPECT_EQ(layout->GetSaveProblem(), nullptr) << layout->key;
        int expected = 0;
        for (const Position& p : Positions(*layout))
            EXPECT_EQ(p.id, expected++) << layout->key;
        EXPECT_EQ(layout->largestTemplateID, expected - 1) << layout->key;
    }
    EXPECT_STREQ(list.GetHead()->key, "GenericCDStandard");
    EXPECT_STREQ(list.layouts.GetLast()->key, "PressitDiscLetter");

    // Names of entries that share a sheet geometry.
    EXPECT_STREQ(list.Find("AveryLetter15692")->name, "Avery 15692 Letter");
    EXPECT_STREQ(list.Find("AveryA4J8777")->name, "Avery J8777 A4");
    EXPECT_STREQ(list.Find("GenericLetterFaceTwoDisc")->name, "Generiska letter ansikte två skiva");
    EXPECT_STREQ(list.Find("PressitDiscLetter")->name, "Tryck på skivbrev");
    EXPECT_STREQ(list.Find("MeritlineDiscFullCoverageLetter")->name,
        "Skrivelse med full täckning för Meritline-skiva");
    EXPECT_EQ(list.Find("NoSuchSheet"), nullptr);
}

TEST_F(LabelStock, TwoDiscSheetsCarryTheirGroupGeometry)
{
    VTLabelLayoutDataList list;
    struct Expect {
        const char* key;
        LPaperSizeID paper;
        float x1, y1, x2, y2, outer, inner, bandOuter, bandInner;
    };
    static const Expect kExpect[] = {
        { "AveryA4C6074", LPaperSizeA4, 0, -68.6f, 0, 68.4f, 117, 41, 36, 36.5f },
        { "AveryA4C9660", LPaperSizeA4, 0, -68.5f, 0, 68.5f, 117, 17, 36, 36.5f },
        { "AveryLetter8962", LPaperSizeUSLetter, 0, -63.55f, 0, 63.45f, 117.5f, 41, 36, 36.5f },
        { "AveryLetter8960", LPaperSizeUSLetter, 0, -63.55f, 0, 63.45f, 117.5f, 18, 36, 36.5f },
        { "AveryA4L7660", LPaperSizeA4, -0.25f, -74.25f, -0.25f, 74.05f, 114.5f, 41, 36, 36.5f },
        { "AveryA4J8761", LPaperSizeA4, -6.25f, -64.55f, -6.25f, 64.25f, 114.5f, 41, 36, 36.5f },
        { "AveryLetter5824", LPaperSizeUSLetter, 0, -69.85f, 0, 69.85f, 114.3f, 41, 36, 36.5f },
        { "HermaDiscA4", LPaperSizeA4, 0, -74, 0, 74, 116, 41, 47.5f, 45 },
        { "HermaDiscFullFacedA4", LPaperSizeA4, 0, -74, 0, 74, 116, 18.5f, 36, 36.5f },
        { "MemorexDiscA4", LPaperSizeA4, -33, -74, 38, 56, 118, 41, 47.5f, 45 },
        { "PressitDiscA4", LPaperSizeA4, -33, -74, 38, 56, 118, 41, 47.5f, 45 },
        { "MemorexDiscFullFacedA4", LPaperSizeA4, -32.7f, -73.5f, 38.7f, 56.2f, 118, 15, 36,
            36.5f },
        { "MemorexDiscLetter", LPaperSizeUSLetter, -36, -65.2f, 35.1f, 64.8f, 118, 41, 47.5f, 45 },
        { "MemorexDiscFullFacedLetter", LPaperSizeUSLetter, -35.7f, -64.7f, 35.8f, 65, 118, 15, 36,
            36.5f },
        { "MeritlineDiscLetter", LPaperSizeUSLetter, -37.1f, -66, 35.8f, 64.7f, 118, 40, 47.5f,
            45 },
        { "MeritlineDiscFullCoverageLetter", LPaperSizeUSLetter, -37.1f, -66, 35.8f, 64.7f, 118, 17,
            36, 36.5f },
        { "PressitDiscLetter", LPaperSizeUSLetter, -36, -65.2f, 35.1f, 64.8f, 118, 41, 47.5f, 45 },
    };
    for (const Expect& e : kExpect) {
        SCOPED_TRACE(e.key);
        const VTLabelLayout* layout = list.Find(e.key);
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(layout->paperSize, e.paper);
        EXPECT_STREQ(layout->description.GetString(),
            e.paper == LPaperSizeA4 ? "Two standard disc labels on one sheet of A4 paper"
                                    : "Två standardettetter på ett ark brevpapper");
        ASSERT_EQ(layout->pages.GetCount(), 1u);
        EXPECT_EQ(PageAt(*layout, 0)->orientation, LPaperSizeOrientationPortrait);
        std::vector<Position> p = Positions(*layout);
        ASSERT_EQ(p.size(), 2u);
        EXPECT_EQ(p[0].format, VTTemplateFormatDisc);
        EXPECT_FLOAT_EQ(p[0].x, e.x1);
        EXPECT_FLOAT_EQ(p[0].y, e.y1);
        EXPECT_FLOAT_EQ(p[1].x, e.x2);
        EXPECT_FLOAT_EQ(p[1].y, e.y2);
        for (const VTLabelLayoutTemplate* t = PageAt(*layout, 0)->first; t; t = t->next)
            ExpectRing(*t, e.outer, e.inner, e.bandOuter, e.bandInner);
    }
}

// Every product sold on a shared sheet geometry: its name, and the sheet of a product checked
// above (same paper, same disc centres, same rings).
TEST_F(LabelStock, EveryProductOfASharedSheetHasItsNameAndSheet)
{
    struct Entry {
        const char* key;
        const char* name;
        const char* sameSheetAs;
    };
    static const Entry kEntries[] = {
        { "GenericA4FaceTwoDisc", "Generic A4 Face Two Disc", "AveryA4C6074" },
        { "GenericA4FullFaceTwoDisc", "Generic A4 Full Face Two Disc", "AveryA4C9660" },
        { "GenericLetterFaceTwoDisc", "Generiska letter ansikte två skiva", "AveryLetter8962" },
        { "GenericLetterFullFaceTwoDisc", "Generic Letter Full Face Två Skiva", "AveryLetter8960" },
        { "AveryA4C6074", "Avery C6074 A4", "AveryA4C6074" },
        { "AveryA4C9660", "Avery C9660 A4", "AveryA4C9660" },
        { "AveryA4J6115", "Avery J6115 A4", "AveryA4C6074" },
        { "AveryA4L6015", "Avery L6015 A4", "AveryA4C6074" },
        { "AveryA4L6043", "Avery L6043 A4", "AveryA4C6074" },
        { "AveryA4L6044", "Avery L6044 A4", "AveryA4C6074" },
        { "AveryA4L6045", "Avery L6045 A4", "AveryA4C6074" },
        { "AveryA4L6046", "Avery L6046 A4", "AveryA4C6074" },
        { "AveryA4L6047", "Avery L6047 A4", "AveryA4C6074" },
        { "AveryA4L6117", "Avery L6117 A4", "AveryA4C6074" },
        { "AveryA4L7676", "Avery L7676 A4", "AveryA4C9660" },
        { "AveryA4L7760", "Avery L7760 A4", "AveryA4C9660" },
        { "AveryA4J8570", "Avery J8570 A4", "AveryA4C9660" },
        { "AveryA4J8676", "Avery J8676 A4", "AveryA4C9660" },
        { "AveryA4J8750", "Avery J8750 A4", "AveryA4C9660" },
        { "AveryA4J8770", "Avery J8770 A4", "AveryA4C9660" },
        { "AveryA4J8776", "Avery J8776 A4", "AveryA4C9660" },
        { "AveryA4J8777", "Avery J8777 A4", "AveryA4C9660" },
        { "AveryLetter5584", "Avery 5584 Letter", "AveryLetter8962" },
        { "AveryLetter5691", "Avery 5691 Letter", "AveryLetter8962" },
        { "AveryLetter5692", "Avery 5692 Letter", "AveryLetter8962" },
        { "AveryLetter5694", "Avery 5694 Letter", "AveryLetter8962" },
        { "AveryLetter5697", "Avery 5697 Letter", "AveryLetter8962" },
        { "AveryLetter5698", "Avery 5698 Letter", "AveryLetter8962" },
        { "AveryLetter5931", "Avery 5931 Letter", "AveryLetter8962" },
        { "AveryLetter6691", "Avery 6691 Letter", "AveryLetter8962" },
        { "AveryLetter6692", "Avery 6692 Letter", "AveryLetter8962" },
        { "AveryLetter8684", "Avery 8684 Letter", "AveryLetter8962" },
        { "AveryLetter8691", "Avery 8691 Letter", "AveryLetter8962" },
        { "AveryLetter8692", "Avery 8692 Letter", "AveryLetter8962" },
        { "AveryLetter8694", "Avery 8694 Letter", "AveryLetter8962" },
        { "AveryLetter8695", "Avery 8695 Letter", "AveryLetter8960" },
        { "AveryLetter8699", "Avery 8699 Letter", "AveryLetter8962" },
        { "AveryLetter8832", "Avery 8832 Letter", "AveryLetter8960" },
        { "AveryLetter8931", "Avery 8931 Letter", "AveryLetter8962" },
        { "AveryLetter8941", "Avery 8941 Letter", "AveryLetter8962" },
        { "AveryLetter8942", "Avery 8942 Letter", "AveryLetter8962" },
        { "AveryLetter8944", "Avery 8944 Letter", "AveryLetter8960" },
        { "AveryLetter8960", "Avery 8960 Letter", "AveryLetter8960" },
        { "AveryLetter8962", "Avery 8962 Letter", "AveryLetter8962" },
        { "AveryLetter15692", "Avery 15692 Letter", "AveryLetter8962" },
        { "AveryLetter18692", "Avery 18692 Letter", "AveryLetter8962" },
        { "AveryLetter28669", "Avery 28669 Letter", "AveryLetter8962" },
    };
    static_assert(sizeof kEntries / sizeof kEntries[0] == 47);
    VTLabelLayoutDataList list;
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(e.key);
        const VTLabelLayout* layout = list.Find(e.key);
        const VTLabelLayout* sheet = list.Find(e.sameSheetAs);
        ASSERT_NE(layout, nullptr);
        ASSERT_NE(sheet, nullptr);
        EXPECT_STREQ(layout->name, e.name);
        EXPECT_EQ(layout->paperSize, sheet->paperSize);
        EXPECT_STREQ(layout->description.GetString(), sheet->description.GetString());
        ASSERT_EQ(layout->pages.GetCount(), 1u);
        const VTLabelLayoutTemplate* a = PageAt(*layout, 0)->first;
        const VTLabelLayoutTemplate* b = PageAt(*sheet, 0)->first;
        for (; a && b; a = a->next, b = b->next) {
            EXPECT_EQ(a->id, b->id);
            EXPECT_FLOAT_EQ(a->centreX, b->centreX);
            EXPECT_FLOAT_EQ(a->centreY, b->centreY);
            float ao = 0, ai = 0, abo = 0, abi = 0, bo = 0, bi = 0, bbo = 0, bbi = 0;
            bool aband = true, bband = true;
            auto* ad = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(a->GetTemplateData());
            auto* bd = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(b->GetTemplateData());
            ASSERT_TRUE(ad && bd);
            ad->GetDiscPrintableArea(ao, ai, aband, abo, abi);
            bd->GetDiscPrintableArea(bo, bi, bband, bbo, bbi);
            EXPECT_FLOAT_EQ(ao, bo);
            EXPECT_FLOAT_EQ(ai, bi);
            EXPECT_EQ(aband, bband);
            EXPECT_FLOAT_EQ(abo, bbo);
            EXPECT_FLOAT_EQ(abi, bbi);
        }
        EXPECT_TRUE(a == nullptr && b == nullptr);
    }
}

TEST_F(LabelStock, CDStomperSheetsHaveInsertAndBackOnTheirSecondPage)
{
    VTLabelLayoutDataCDStomperA4 a4;
    EXPECT_STREQ(a4.key, "CDStomperA4");
    EXPECT_STREQ(a4.name, "CD Stomper A4");
    EXPECT_EQ(a4.paperSize, LPaperSizeA4);
    EXPECT_EQ(a4.largestTemplateID, 3);
    std::vector<Position> p = Positions(a4);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].page, 0);
    EXPECT_EQ(p[1].page, 0);
    EXPECT_FLOAT_EQ(p[0].x, -33);
    EXPECT_FLOAT_EQ(p[1].y, 74.5f);
    EXPECT_EQ(p[2].page, 1);
    EXPECT_EQ(p[2].format, VTTemplateFormatJewelCaseInsert);
    EXPECT_EQ(p[2].id, 2);
    EXPECT_FLOAT_EQ(p[2].x, 0.5f);
    EXPECT_FLOAT_EQ(p[2].y, -61.5f);
    EXPECT_EQ(p[3].format, VTTemplateFormatCaseCDBack);
    EXPECT_EQ(p[3].id, 3);
    EXPECT_FLOAT_EQ(p[3].y, 68);
    ExpectRing(*PageAt(a4, 0)->first, 118, 40, 47.5f, 45);

    VTLabelLayoutDataCDStomperLetter letter;
    EXPECT_EQ(letter.paperSize, LPaperSizeUSLetter);
    p = Positions(letter);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_FLOAT_EQ(p[1].x, 37);
    EXPECT_FLOAT_EQ(p[2].y, -64);
    EXPECT_FLOAT_EQ(p[3].y, 65.5f);
}

TEST_F(LabelStock, GenericLayoutsFollowTheDefaultPaper)
{
    ASSERT_TRUE(VTOptions::PaperSizeIDSet(LPaperSizeUSLetter));
    VTLabelLayoutDataGenericCDStandard cd;
    EXPECT_STREQ(cd.key, "GenericCDStandard");
    EXPECT_STREQ(cd.name, "Allmän standard-CD");
    EXPECT_EQ(cd.paperSize, LPaperSizeUSLetter);
    ASSERT_EQ(cd.pages.GetCount(), 3u);
    EXPECT_EQ(PageAt(cd, 0)->orientation, LPaperSizeOrientationPortrait);
    EXPECT_EQ(PageAt(cd, 1)->orientation, LPaperSizeOrientationLandscape);
    EXPECT_EQ(PageAt(cd, 2)->orientation, LPaperSizeOrientationPortrait);
    std::vector<Position> p = Positions(cd);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].format, VTTemplateFormatDisc);
    EXPECT_EQ(p[1].format, VTTemplateFormatCaseCDFront);
    EXPECT_FLOAT_EQ(p[1].rotation, 90);
    EXPECT_EQ(p[2].format, VTTemplateFormatCaseCDBack);
    EXPECT_FLOAT_EQ(p[2].rotation, 0);
    // The turned position's transform is turned by a quarter.
    const VTLabelLayoutTemplate* front = PageAt(cd, 1)->first;
    EXPECT_NEAR(front->transform.m[0][1], 1.0f, 1e-6f);

    ASSERT_TRUE(VTOptions::PaperSizeIDSet(LPaperSizeA4));
    VTLabelLayoutDataGenericDVDStandard dvd;
    EXPECT_EQ(dvd.paperSize, LPaperSizeA4);
    p = Positions(dvd);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].format, VTTemplateFormatCaseDVD);
    EXPECT_FLOAT_EQ(p[1].rotation, 90);
    VTLabelLayoutDataGenericBluRayStandard bluRay;
    p = Positions(bluRay);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].format, VTTemplateFormatCaseBluRay);
    EXPECT_STREQ(bluRay.name, "Generisk standard BluRay");

    VTLabelLayoutDataCustom custom;
    EXPECT_STREQ(custom.key, "Custom");
    EXPECT_STREQ(custom.name, "Anpassad");
    EXPECT_STREQ(custom.description.GetString(), "Anpassad etikettlayout");
    EXPECT_EQ(custom.paperSize, LPaperSizeA4);
    EXPECT_TRUE(custom.pages.IsEmpty());
    EXPECT_EQ(custom.largestTemplateID, -1);
}

TEST_F(LabelStock, DirectToDiscSitsAtTheTraysDiscCentre)
{
    VTLabelLayoutDataDirectToCDDVDStandard standard;
    EXPECT_EQ(standard.printMedium, VTPrintMediumDisc);
    EXPECT_EQ(standard.printerTray, 36);
    std::vector<Position> p = Positions(standard);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].id, 0);
    EXPECT_FLOAT_EQ(p[0].x, -0.05f);
    EXPECT_FLOAT_EQ(p[0].y, 23.4f);

    // A stored printer the table does not know: printer 0, the disc at the page centre.
    LUserSettingSetString("Settings", "PrinterTray", "NoSuchPrinter");
    VTLabelLayoutDataDirectToCDDVDStandard unknown;
    EXPECT_EQ(unknown.printerTray, 0);
    p = Positions(unknown);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_FLOAT_EQ(p[0].x, 0);
    EXPECT_FLOAT_EQ(p[0].y, 0);

    ASSERT_TRUE(VTOptions::PrinterTrayIDSet(VTPrinterTrayGetIDFromKey("eXP950")));
    VTLabelLayoutDataDirectToCDDVDStandard epson;
    p = Positions(epson);
    EXPECT_FLOAT_EQ(p[0].x, -30);
    EXPECT_FLOAT_EQ(p[0].y, -81);
}

TEST_F(LabelStock, CaseSheets)
{
    VTLabelLayoutDataMemorexDVDCaseA4 memorex;
    ASSERT_EQ(memorex.pages.GetCount(), 1u);
    EXPECT_EQ(PageAt(memorex, 0)->orientation, LPaperSizeOrientationLandscape);
    std::vector<Position> p = Positions(memorex);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].format, VTTemplateFormatCaseDVD);
    EXPECT_FLOAT_EQ(p[0].rotation, 90);
    EXPECT_FLOAT_EQ(p[0].x, 0.5f);
    EXPECT_FLOAT_EQ(p[0].y, -7.9f);

    VTLabelLayoutDataMeritlineDVDCaseA4 meritline;
    p = Positions(meritline);
    EXPECT_FLOAT_EQ(p[0].x, -1);
    EXPECT_FLOAT_EQ(p[0].y, -6);

    VTLabelLayoutDataMemorexJewelCaseInsertLetter insert;
    EXPECT_EQ(insert.paperSize, LPaperSizeUSLetter);
    p = Positions(insert);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].format, VTTemplateFormatJewelCaseInsert);
    EXPECT_FLOAT_EQ(p[0].x, -0.5f);
    EXPECT_FLOAT_EQ(p[1].y, 65.5f);
    VTLabelLayoutDataMeritlineJewelCaseInsertLetter meritlineInsert;
    p = Positions(meritlineInsert);
    EXPECT_FLOAT_EQ(p[1].y, 67);
}
