// The built-in label layouts: generic CD, DVD and Blu-ray layouts on the user's default paper, a
// direct-to-disc layout for the chosen disc printer, an empty custom layout, and the sheets of
// label stock of the makers (two discs per sheet, jewel-case inserts, DVD cases). Each is a
// layout whose only behaviour is its constructor. Positions are centres in millimetres from the
// page centre (x right, y down); ids are handed out 0, 1, 2... in the order positions are added.
#pragma once

#include "app/VTLabelLayout.h"

// Two discs on one portrait sheet of paper, both with the same printable ring.
class VTLabelLayoutDataBaseTwoDiscSinglePage : public VTLabelLayout {
public:
    VTLabelLayoutDataBaseTwoDiscSinglePage(const char* key, const char* name,
        LPaperSizeID paperSize, float disc1X, float disc1Y, float disc2X, float disc2Y,
        float outerDiameter, float innerDiameter, bool useBand, float bandOuterDiameter,
        float bandInnerDiameter);
};

// The stock sheets of two discs; the same sheet geometry serves several makers' products, so
// key and name are arguments (the defaults name the first product of the list).
class VTLabelLayoutDataAveryA4TwoDiscSinglePageFace
    : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryA4TwoDiscSinglePageFace(
        const char* key = "GenericA4FaceTwoDisc", const char* name = "Generic A4 Face Two Disc");
};

class VTLabelLayoutDataAveryA4TwoDiscSinglePageFullFace
    : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryA4TwoDiscSinglePageFullFace(
        const char* key = "GenericA4FullFaceTwoDisc",
        const char* name = "Generic A4 Full Face Two Disc");
};

class VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace
    : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryLetterTwoDiscSinglePageFace(
        const char* key = "GenericLetterFaceTwoDisc",
        const char* name = "Generiska letter ansikte två skiva");
};

class VTLabelLayoutDataAveryLetterTwoDiscSinglePageFullFace
    : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryLetterTwoDiscSinglePageFullFace(
        const char* key = "GenericLetterFullFaceTwoDisc",
        const char* name = "Generic Letter Full Face Två Skiva");
};

class VTLabelLayoutDataAveryL7660 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryL7660(
        const char* key = "AveryA4L7660", const char* name = "Avery L7660 A4");
};

class VTLabelLayoutDataAveryJ8761 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAveryJ8761(
        const char* key = "AveryA4J8761", const char* name = "Avery J8761 A4");
};

class VTLabelLayoutDataAvery5824 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataAvery5824(
        const char* key = "AveryLetter5824", const char* name = "Avery 5824 Letter");
};

class VTLabelLayoutDataHermaDiscA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataHermaDiscA4(
        const char* key = "HermaDiscA4", const char* name = "Herma Disc A4");
};

class VTLabelLayoutDataHermaDiscFullFacedA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataHermaDiscFullFacedA4(
        const char* key = "HermaDiscFullFacedA4", const char* name = "Herma Disc Full Face A4");
};

class VTLabelLayoutDataMemorexDiscA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMemorexDiscA4(
        const char* key = "MemorexDiscA4", const char* name = "Memorex Disc A4");
};

class VTLabelLayoutDataMemorexDiscFullFacedA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMemorexDiscFullFacedA4(
        const char* key = "MemorexDiscFullFacedA4", const char* name = "Memorex Disc Full Face A4");
};

class VTLabelLayoutDataMemorexDiscLetter : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMemorexDiscLetter(
        const char* key = "MemorexDiscLetter", const char* name = "Memorex Disc Brev");
};

class VTLabelLayoutDataMemorexDiscFullFacedLetter : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMemorexDiscFullFacedLetter(
        const char* key = "MemorexDiscFullFacedLetter",
        const char* name = "Memorex Disc Helface brev");
};

class VTLabelLayoutDataMeritlineDiscLetter : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMeritlineDiscLetter(
        const char* key = "MeritlineDiscLetter", const char* name = "Meritline-skivbrev");
};

class VTLabelLayoutDataMeritlineDiscFullCoverageLetter
    : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataMeritlineDiscFullCoverageLetter(
        const char* key = "MeritlineDiscFullCoverageLetter",
        const char* name = "Skrivelse med full täckning för Meritline-skiva");
};

class VTLabelLayoutDataPressitDiscA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataPressitDiscA4(
        const char* key = "PressitDiscA4", const char* name = "Pressit Disc A4");
};

class VTLabelLayoutDataPressitDiscLetter : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    explicit VTLabelLayoutDataPressitDiscLetter(
        const char* key = "PressitDiscLetter", const char* name = "Tryck på skivbrev");
};

// Two discs on page 1, a jewel-case insert and a CD case back on page 2.
class VTLabelLayoutDataCDStomperA4 : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    VTLabelLayoutDataCDStomperA4();
};
class VTLabelLayoutDataCDStomperLetter : public VTLabelLayoutDataBaseTwoDiscSinglePage {
public:
    VTLabelLayoutDataCDStomperLetter();
};

// An empty layout on the default paper (the layout editor starts from it).
class VTLabelLayoutDataCustom : public VTLabelLayout {
public:
    VTLabelLayoutDataCustom();
};

// One disc in the chosen disc printer's tray, at the tray's disc centre.
class VTLabelLayoutDataDirectToCDDVDStandard : public VTLabelLayout {
public:
    VTLabelLayoutDataDirectToCDDVDStandard();
};

// On the default paper: a disc, a CD case front (landscape page) and a CD case back.
class VTLabelLayoutDataGenericCDStandard : public VTLabelLayout {
public:
    VTLabelLayoutDataGenericCDStandard();
};
// On the default paper: a disc and a DVD case (landscape page).
class VTLabelLayoutDataGenericDVDStandard : public VTLabelLayout {
public:
    VTLabelLayoutDataGenericDVDStandard();
};
// On the default paper: a disc and a Blu-ray case (landscape page).
class VTLabelLayoutDataGenericBluRayStandard : public VTLabelLayout {
public:
    VTLabelLayoutDataGenericBluRayStandard();
};

class VTLabelLayoutDataMemorexJewelCaseInsertLetter : public VTLabelLayout {
public:
    VTLabelLayoutDataMemorexJewelCaseInsertLetter();
};
class VTLabelLayoutDataMemorexDVDCaseA4 : public VTLabelLayout {
public:
    VTLabelLayoutDataMemorexDVDCaseA4();
};
class VTLabelLayoutDataMeritlineJewelCaseInsertLetter : public VTLabelLayout {
public:
    VTLabelLayoutDataMeritlineJewelCaseInsertLetter();
};
class VTLabelLayoutDataMeritlineDVDCaseA4 : public VTLabelLayout {
public:
    VTLabelLayoutDataMeritlineDVDCaseA4();
};

// The stationery list: 69 layouts in the order the chooser shows them, from
// "GenericCDStandard" to "PressitDiscLetter". It owns them.
class VTLabelLayoutDataList {
public:
    VTLabelLayoutDataList();
    VTLabelLayoutDataList(const VTLabelLayoutDataList&) = delete;
    VTLabelLayoutDataList& operator=(const VTLabelLayoutDataList&) = delete;

    VTLabelLayout* GetHead() const { return layouts.GetHead(); }
    size_t GetCount() const { return layouts.GetCount(); }
    // The layout with the key; null when none has it.
    VTLabelLayout* Find(const char* key) const;

    LList<VTLabelLayout> layouts;
};
