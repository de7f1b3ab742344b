#include "app/VTLabelLayoutData.h"

#include "app/VTOptions.h"

#include <cstring>

namespace {

void CopyText(char* out, const char* text)
{
    std::strncpy(out, text ? text : "", kLStringShortSize - 1);
    out[kLStringShortSize - 1] = '\0';
}

void Describe(VTLabelLayout& layout, const char* key, const char* name, const char* description)
{
    CopyText(layout.key, key);
    CopyText(layout.name, name);
    layout.description = description;
}

void OnPaper(VTLabelLayout& layout, LPaperSizeID paper)
{
    layout.printMedium = VTPrintMediumPaper;
    layout.paperSize = paper;
    layout.printerTray = VTPrinterTrayInvalid;
    layout.sameFormat = false;
}

// Adds a position of the format with the next id; rotated positions are turned before their
// centre is set.
VTLabelLayoutTemplate* Place(VTLabelLayout& layout, VTLabelLayoutPage& page,
    VTTemplateFormat format, float x, float y, bool rotated = false)
{
    VTLabelLayoutTemplate* item = page.AddTemplate(format, layout.NewTemplateID());
    if (!item)
        return nullptr;
    if (rotated)
        item->Rotate(90.0f);
    item->centreX = x;
    item->NotifyTransformChanged();
    item->centreY = y;
    item->NotifyTransformChanged();
    return item;
}

VTLabelLayoutPage* NewPage(VTLabelLayout& layout, bool landscape)
{
    VTLabelLayoutPage* page = layout.AddPage();
    if (landscape)
        page->SetOrientation(LPaperSizeOrientationLandscape);
    return page;
}

} // namespace

// ================================================================================================
// Two discs on a sheet
// ================================================================================================

VTLabelLayoutDataBaseTwoDiscSinglePage::VTLabelLayoutDataBaseTwoDiscSinglePage(const char* key,
    const char* name, LPaperSizeID paperSize, float disc1X, float disc1Y, float disc2X,
    float disc2Y, float outerDiameter, float innerDiameter, bool useBand, float bandOuterDiameter,
    float bandInnerDiameter)
{
    Describe(*this, key, name,
        paperSize == LPaperSizeA4 ? "Two standard disc labels on one sheet of A4 paper"
                                  : "Två standardettetter på ett ark brevpapper");
    OnPaper(*this, paperSize);
    VTLabelLayoutPage* page = NewPage(*this, false);
    const float centres[2][2] = { { disc1X, disc1Y }, { disc2X, disc2Y } };
    for (const auto& centre : centres) {
        VTLabelLayoutTemplate* disc
            = Place(*this, *page, VTTemplateFormatDisc, centre[0], centre[1]);
        if (auto* ring = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(disc->GetTemplateData()))
            ring->SetDiscPrintableArea(
                outerDiameter, innerDiameter, useBand, bandOuterDiameter, bandInnerDiameter);
    }
}

VTLabelLayoutDataAveryA4TwoDiscSinglePageFace::VTLabelLayoutDataAveryA4TwoDiscSinglePageFace(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, 0, -68.6f, 0, 68.4f, 117, 41, false, 36, 36.5f)
{
}

VTLabelLayoutDataAveryA4TwoDiscSinglePageFullFace::
    VTLabelLayoutDataAveryA4TwoDiscSinglePageFullFace(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, 0, -68.5f, 0, 68.5f, 117, 17, false, 36, 36.5f)
{
}

VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace::
    VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, 0, -63.55f, 0, 63.45f, 117.5f, 41, false, 36, 36.5f)
{
}

VTLabelLayoutDataAveryLetterTwoDiscSinglePageFullFace::
    VTLabelLayoutDataAveryLetterTwoDiscSinglePageFullFace(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, 0, -63.55f, 0, 63.45f, 117.5f, 18, false, 36, 36.5f)
{
}

VTLabelLayoutDataAveryL7660::VTLabelLayoutDataAveryL7660(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, -0.25f, -74.25f, -0.25f, 74.05f, 114.5f, 41, false, 36, 36.5f)
{
}

VTLabelLayoutDataAveryJ8761::VTLabelLayoutDataAveryJ8761(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, -6.25f, -64.55f, -6.25f, 64.25f, 114.5f, 41, false, 36, 36.5f)
{
}

VTLabelLayoutDataAvery5824::VTLabelLayoutDataAvery5824(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, 0, -69.85f, 0, 69.85f, 114.3f, 41, false, 36, 36.5f)
{
}

VTLabelLayoutDataHermaDiscA4::VTLabelLayoutDataHermaDiscA4(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, 0, -74, 0, 74, 116, 41, false, 47.5f, 45)
{
}

VTLabelLayoutDataHermaDiscFullFacedA4::VTLabelLayoutDataHermaDiscFullFacedA4(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, 0, -74, 0, 74, 116, 18.5f, false, 36, 36.5f)
{
}

VTLabelLayoutDataMemorexDiscA4::VTLabelLayoutDataMemorexDiscA4(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, -33, -74, 38, 56, 118, 41, false, 47.5f, 45)
{
}

VTLabelLayoutDataMemorexDiscFullFacedA4::VTLabelLayoutDataMemorexDiscFullFacedA4(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, -32.7f, -73.5f, 38.7f, 56.2f, 118, 15, false, 36, 36.5f)
{
}

VTLabelLayoutDataMemorexDiscLetter::VTLabelLayoutDataMemorexDiscLetter(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, -36, -65.2f, 35.1f, 64.8f, 118, 41, false, 47.5f, 45)
{
}

VTLabelLayoutDataMemorexDiscFullFacedLetter::VTLabelLayoutDataMemorexDiscFullFacedLetter(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, -35.7f, -64.7f, 35.8f, 65, 118, 15, false, 36, 36.5f)
{
}

VTLabelLayoutDataMeritlineDiscLetter::VTLabelLayoutDataMeritlineDiscLetter(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, -37.1f, -66, 35.8f, 64.7f, 118, 40, false, 47.5f, 45)
{
}

VTLabelLayoutDataMeritlineDiscFullCoverageLetter::VTLabelLayoutDataMeritlineDiscFullCoverageLetter(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, -37.1f, -66, 35.8f, 64.7f, 118, 17, false, 36, 36.5f)
{
}

VTLabelLayoutDataPressitDiscA4::VTLabelLayoutDataPressitDiscA4(const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeA4, -33, -74, 38, 56, 118, 41, false, 47.5f, 45)
{
}

VTLabelLayoutDataPressitDiscLetter::VTLabelLayoutDataPressitDiscLetter(
    const char* key, const char* name)
    : VTLabelLayoutDataBaseTwoDiscSinglePage(
        key, name, LPaperSizeUSLetter, -36, -65.2f, 35.1f, 64.8f, 118, 41, false, 47.5f, 45)
{
}

VTLabelLayoutDataCDStomperA4::VTLabelLayoutDataCDStomperA4()
    : VTLabelLayoutDataBaseTwoDiscSinglePage("CDStomperA4", "CD Stomper A4", LPaperSizeA4, -33,
        -72.5f, 34, 74.5f, 118, 40, false, 47.5f, 45)
{
    VTLabelLayoutPage* page = NewPage(*this, false);
    Place(*this, *page, VTTemplateFormatJewelCaseInsert, 0.5f, -61.5f);
    Place(*this, *page, VTTemplateFormatCaseCDBack, 0.5f, 68);
}

VTLabelLayoutDataCDStomperLetter::VTLabelLayoutDataCDStomperLetter()
    : VTLabelLayoutDataBaseTwoDiscSinglePage("CDStomperLetter", "CD Stomper brev",
        LPaperSizeUSLetter, -36, -64.5f, 37, 65.5f, 118, 40, false, 47.5f, 45)
{
    VTLabelLayoutPage* page = NewPage(*this, false);
    Place(*this, *page, VTTemplateFormatJewelCaseInsert, 0, -64);
    Place(*this, *page, VTTemplateFormatCaseCDBack, 0, 65.5f);
}

// ================================================================================================
// Stand-alone layouts
// ================================================================================================

VTLabelLayoutDataCustom::VTLabelLayoutDataCustom()
{
    Describe(*this, "Custom", "Anpassad", "Anpassad etikettlayout");
    OnPaper(*this, VTOptions::PaperSizeIDGet());
}

VTLabelLayoutDataDirectToCDDVDStandard::VTLabelLayoutDataDirectToCDDVDStandard()
{
    Describe(*this, "DirectToCDDVDStandard", "Direkt till standardskiva",
        "Skriva ut direkt på en standardskiva");
    printMedium = VTPrintMediumDisc;
    paperSize = LPaperSizeInvalid;
    printerTray = VTOptions::PrinterTrayIDGet();
    sameFormat = false;
    const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(printerTray);
    VTLabelLayoutPage* page = NewPage(*this, false);
    Place(*this, *page, VTTemplateFormatDisc, tray.offsetX, tray.offsetY);
}

VTLabelLayoutDataGenericCDStandard::VTLabelLayoutDataGenericCDStandard()
{
    Describe(*this, "GenericCDStandard", "Allmän standard-CD",
        "Standard-CD-etikett och juvelfodral skär på standardpapper");
    OnPaper(*this, VTOptions::PaperSizeIDGet());
    Place(*this, *NewPage(*this, false), VTTemplateFormatDisc, 0, 0);
    Place(*this, *NewPage(*this, true), VTTemplateFormatCaseCDFront, 0, 0, true);
    Place(*this, *NewPage(*this, false), VTTemplateFormatCaseCDBack, 0, 0);
}

VTLabelLayoutDataGenericDVDStandard::VTLabelLayoutDataGenericDVDStandard()
{
    Describe(*this, "GenericDVDStandard", "Allmän standard-DVD",
        "Standard-DVD-etikett och ärendeinfogning på standardpapper");
    OnPaper(*this, VTOptions::PaperSizeIDGet());
    Place(*this, *NewPage(*this, false), VTTemplateFormatDisc, 0, 0);
    Place(*this, *NewPage(*this, true), VTTemplateFormatCaseDVD, 0, 0, true);
}

VTLabelLayoutDataGenericBluRayStandard::VTLabelLayoutDataGenericBluRayStandard()
{
    Describe(*this, "GenericBluRayStandard", "Generisk standard BluRay",
        "BluRay-standardetikett och fallinfogning på standardpapper");
    OnPaper(*this, VTOptions::PaperSizeIDGet());
    Place(*this, *NewPage(*this, false), VTTemplateFormatDisc, 0, 0);
    Place(*this, *NewPage(*this, true), VTTemplateFormatCaseBluRay, 0, 0, true);
}

VTLabelLayoutDataMemorexJewelCaseInsertLetter::VTLabelLayoutDataMemorexJewelCaseInsertLetter()
{
    Describe(*this, "MemorexJewelCaseInsertLetter", "Memorex Jewel Mål Infoga Brev",
        "Memorex juvel fall infoga på ett ark letter papper");
    OnPaper(*this, LPaperSizeUSLetter);
    VTLabelLayoutPage* page = NewPage(*this, false);
    Place(*this, *page, VTTemplateFormatJewelCaseInsert, -0.5f, -64);
    Place(*this, *page, VTTemplateFormatCaseCDBack, 0, 65.5f);
}

VTLabelLayoutDataMemorexDVDCaseA4::VTLabelLayoutDataMemorexDVDCaseA4()
{
    Describe(*this, "MemorexDVDCaseA4", "Memorex DVD Case A4",
        "Memorex DVD case on one sheet of A4 paper");
    OnPaper(*this, LPaperSizeA4);
    Place(*this, *NewPage(*this, true), VTTemplateFormatCaseDVD, 0.5f, -7.9f, true);
}

VTLabelLayoutDataMeritlineJewelCaseInsertLetter::VTLabelLayoutDataMeritlineJewelCaseInsertLetter()
{
    Describe(*this, "MeritlineJewelCaseInsertLetter", "Meritline Jewel Mål Infoga Brev",
        "Meritline juvel fall infoga på ett ark letter papper");
    OnPaper(*this, LPaperSizeUSLetter);
    VTLabelLayoutPage* page = NewPage(*this, false);
    Place(*this, *page, VTTemplateFormatJewelCaseInsert, 0, -64);
    Place(*this, *page, VTTemplateFormatCaseCDBack, 0, 67);
}

VTLabelLayoutDataMeritlineDVDCaseA4::VTLabelLayoutDataMeritlineDVDCaseA4()
{
    Describe(*this, "MeritlineDVDCaseA4", "Meritline DVD Case A4",
        "Meritline DVD case on one sheet of A4 paper");
    OnPaper(*this, LPaperSizeA4);
    Place(*this, *NewPage(*this, true), VTTemplateFormatCaseDVD, -1, -6, true);
}

// ================================================================================================
// The stationery list
// ================================================================================================

namespace {

// The stock sheets that share a geometry, by the products' keys and names.
struct StockEntry {
    const char* key;
    const char* name;
    VTLabelLayout* (*make)(const char* key, const char* name);
};

template <class T> VTLabelLayout* Make(const char* key, const char* name)
{
    return new T(key, name);
}

template <class T> VTLabelLayout* MakePlain(const char*, const char*)
{
    return new T;
}

using A4Face = VTLabelLayoutDataAveryA4TwoDiscSinglePageFace;
using A4Full = VTLabelLayoutDataAveryA4TwoDiscSinglePageFullFace;
using LetterFace = VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace;
using LetterFull = VTLabelLayoutDataAveryLetterTwoDiscSinglePageFullFace;

const StockEntry kStockList[] = {
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataGenericCDStandard> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataGenericDVDStandard> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataGenericBluRayStandard> },
    { "GenericA4FaceTwoDisc", "Generic A4 Face Two Disc", &Make<A4Face> },
    { "GenericA4FullFaceTwoDisc", "Generic A4 Full Face Two Disc", &Make<A4Full> },
    { "GenericLetterFaceTwoDisc", "Generiska letter ansikte två skiva", &Make<LetterFace> },
    { "GenericLetterFullFaceTwoDisc", "Generic Letter Full Face Två Skiva", &Make<LetterFull> },
    { "AveryA4C6074", "Avery C6074 A4", &Make<A4Face> },
    { "AveryA4C9660", "Avery C9660 A4", &Make<A4Full> },
    { "AveryA4J6115", "Avery J6115 A4", &Make<A4Face> },
    { "AveryA4L6015", "Avery L6015 A4", &Make<A4Face> },
    { "AveryA4L6043", "Avery L6043 A4", &Make<A4Face> },
    { "AveryA4L6044", "Avery L6044 A4", &Make<A4Face> },
    { "AveryA4L6045", "Avery L6045 A4", &Make<A4Face> },
    { "AveryA4L6046", "Avery L6046 A4", &Make<A4Face> },
    { "AveryA4L6047", "Avery L6047 A4", &Make<A4Face> },
    { "AveryA4L6117", "Avery L6117 A4", &Make<A4Face> },
    { "AveryA4L7660", "Avery L7660 A4", &Make<VTLabelLayoutDataAveryL7660> },
    { "AveryA4L7676", "Avery L7676 A4", &Make<A4Full> },
    { "AveryA4L7760", "Avery L7760 A4", &Make<A4Full> },
    { "AveryA4J8570", "Avery J8570 A4", &Make<A4Full> },
    { "AveryA4J8676", "Avery J8676 A4", &Make<A4Full> },
    { "AveryA4J8750", "Avery J8750 A4", &Make<A4Full> },
    { "AveryA4J8761", "Avery J8761 A4", &Make<VTLabelLayoutDataAveryJ8761> },
    { "AveryA4J8770", "Avery J8770 A4", &Make<A4Full> },
    { "AveryA4J8776", "Avery J8776 A4", &Make<A4Full> },
    { "AveryA4J8777", "Avery J8777 A4", &Make<A4Full> },
    { "AveryLetter5584", "Avery 5584 Letter", &Make<LetterFace> },
    { "AveryLetter5691", "Avery 5691 Letter", &Make<LetterFace> },
    { "AveryLetter5692", "Avery 5692 Letter", &Make<LetterFace> },
    { "AveryLetter5694", "Avery 5694 Letter", &Make<LetterFace> },
    { "AveryLetter5697", "Avery 5697 Letter", &Make<LetterFace> },
    { "AveryLetter5698", "Avery 5698 Letter", &Make<LetterFace> },
    { "AveryLetter5824", "Avery 5824 Letter", &Make<VTLabelLayoutDataAvery5824> },
    { "AveryLetter5931", "Avery 5931 Letter", &Make<LetterFace> },
    { "AveryLetter6691", "Avery 6691 Letter", &Make<LetterFace> },
    { "AveryLetter6692", "Avery 6692 Letter", &Make<LetterFace> },
    { "AveryLetter8684", "Avery 8684 Letter", &Make<LetterFace> },
    { "AveryLetter8691", "Avery 8691 Letter", &Make<LetterFace> },
    { "AveryLetter8692", "Avery 8692 Letter", &Make<LetterFace> },
    { "AveryLetter8694", "Avery 8694 Letter", &Make<LetterFace> },
    { "AveryLetter8695", "Avery 8695 Letter", &Make<LetterFull> },
    { "AveryLetter8699", "Avery 8699 Letter", &Make<LetterFace> },
    { "AveryLetter8832", "Avery 8832 Letter", &Make<LetterFull> },
    { "AveryLetter8931", "Avery 8931 Letter", &Make<LetterFace> },
    { "AveryLetter8941", "Avery 8941 Letter", &Make<LetterFace> },
    { "AveryLetter8942", "Avery 8942 Letter", &Make<LetterFace> },
    { "AveryLetter8944", "Avery 8944 Letter", &Make<LetterFull> },
    { "AveryLetter8960", "Avery 8960 Letter", &Make<LetterFull> },
    { "AveryLetter8962", "Avery 8962 Letter", &Make<LetterFace> },
    { "AveryLetter15692", "Avery 15692 Letter", &Make<LetterFace> },
    { "AveryLetter18692", "Avery 18692 Letter", &Make<LetterFace> },
    { "AveryLetter28669", "Avery 28669 Letter", &Make<LetterFace> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataCDStomperA4> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataCDStomperLetter> },
    { "HermaDiscA4", "Herma Disc A4", &Make<VTLabelLayoutDataHermaDiscA4> },
    { "HermaDiscFullFacedA4", "Herma Disc Full Face A4",
        &Make<VTLabelLayoutDataHermaDiscFullFacedA4> },
    { "MemorexDiscA4", "Memorex Disc A4", &Make<VTLabelLayoutDataMemorexDiscA4> },
    { "MemorexDiscFullFacedA4", "Memorex Disc Full Face A4",
        &Make<VTLabelLayoutDataMemorexDiscFullFacedA4> },
    { "MemorexDiscLetter", "Memorex Disc Brev", &Make<VTLabelLayoutDataMemorexDiscLetter> },
    { "MemorexDiscFullFacedLetter", "Memorex Disc Helface brev",
        &Make<VTLabelLayoutDataMemorexDiscFullFacedLetter> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataMemorexJewelCaseInsertLetter> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataMemorexDVDCaseA4> },
    { "MeritlineDiscLetter", "Meritline-skivbrev", &Make<VTLabelLayoutDataMeritlineDiscLetter> },
    { "MeritlineDiscFullCoverageLetter", "Skrivelse med full täckning för Meritline-skiva",
        &Make<VTLabelLayoutDataMeritlineDiscFullCoverageLetter> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataMeritlineJewelCaseInsertLetter> },
    { nullptr, nullptr, &MakePlain<VTLabelLayoutDataMeritlineDVDCaseA4> },
    { "PressitDiscA4", "Pressit Disc A4", &Make<VTLabelLayoutDataPressitDiscA4> },
    { "PressitDiscLetter", "Tryck på skivbrev", &Make<VTLabelLayoutDataPressitDiscLetter> },
};

} // namespace

VTLabelLayoutDataList::VTLabelLayoutDataList()
{
    // Out of memory while building: layouts built so far are deleted with the list member.
    for (const StockEntry& entry : kStockList)
        layouts.AddTail(entry.make(entry.key, entry.name));
}

VTLabelLayout* VTLabelLayoutDataList::Find(const char* key) const
{
    for (VTLabelLayout* layout = layouts.GetHead(); layout; layout = layouts.GetNext(layout))
        if (key && std::strcmp(layout->key, key) == 0)
            return layout;
    return nullptr;
}
