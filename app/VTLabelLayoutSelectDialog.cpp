#include "app/VTLabelLayoutSelectDialog.h"

#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTStationerySelectDialog.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/zor/LHelp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

struct Row {
    int button;
    const char* title;
    int icon;
    int text;
    const char* description;
};

// In the order the rows stand, from the top.
const Row kRows[] = {
    { VTLabelLayoutSelectDialog::kCD, "CD och fodral på generiskt papper", 362,
        VTLabelLayoutSelectDialog::kCDText,
        "Skriv ut en cd-etikett i standardstorlek och juvelfodral till vanligt papper." },
    { VTLabelLayoutSelectDialog::kDVD, "DVD och fodral på generiskt papper", 363,
        VTLabelLayoutSelectDialog::kDVDText,
        "Skriv ut en DVD-etikett i standardstorlek och lägg in fodral på vanligt papper." },
    { VTLabelLayoutSelectDialog::kBluRay, "Blu-ray-skiva och fodral på generiskt papper", 364,
        VTLabelLayoutSelectDialog::kBluRayText,
        "Skriv ut en Blu-ray-etikett i standardstorlek och lägg in fodral på vanligt papper." },
    { VTLabelLayoutSelectDialog::kDirect, "Direkt till skiva", 365,
        VTLabelLayoutSelectDialog::kDirectText, "Skriv ut direkt på ytan på en standardskiva." },
    { VTLabelLayoutSelectDialog::kStationery, "Välj mallar...", 366,
        VTLabelLayoutSelectDialog::kStationeryText,
        "Skriv ut till kommersiella mallar med hjälp av en fördefinierad etikettlayout." },
    { VTLabelLayoutSelectDialog::kCustom, "Ladda anpassad...", 367,
        VTLabelLayoutSelectDialog::kCustomText,
        "Skriv ut med en tidigare exporterad anpassad etikettlayout." },
};

constexpr const char* kLinkText = "Lista över skrivare som stöder direktutskrift till skiva";

void NoControls(LDialog&, int, int, bool)
{
}

} // namespace

void VTLabelLayoutSelectDialog::InitDialog()
{
    CoolButtonContainerInit(*this);
    LStaticFlags centre;
    centre.alignment = 1;
    AddStatic(kHeading, "Välj en etikettlayout för projektet bland alternativen nedan.", centre);
    for (const Row& row : kRows) {
        if (LCocoaButtonImpl* b = AddCoolButtonIconText(row.button, row.title))
            b->setImageWithResourceID(row.icon);
        CoolButtonInit(row.button, false, false);
        AddStatic(row.text, row.description);
    }
    AddHyperLink(kDirectLink, kLinkText);
    // Sized for its texts before it shows (it is then centred at that size).
    LayoutControls();
}

void VTLabelLayoutSelectDialog::EvWindowReady()
{
    LayoutControls();
}

void VTLabelLayoutSelectDialog::EvTextSizeChanged()
{
    LDialog::EvTextSizeChanged();
    if (GetContentView())
        LayoutControls();
}

void VTLabelLayoutSelectDialog::LayoutControls()
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels(), s = GetBackingScaleFactor();
    const double t = TextScale();
    const int margin = R(2 * cw), gap = R(0.59 * ch), line = R(1.23 * ch), top = R(0.94 * ch);
    // The template's 840 x 526 points are the least size; the buttons keep their size in points
    // at the default font and grow with a larger one, and with a title that needs more.
    const int leastWidth = R(840 * s), leastHeight = R(526 * s);
    int bw = R(360 * s * t), bh = R(70 * s);
    const int iconRoom = R(48 * s) + 2 * R(cw);
    for (const Row& row : kRows)
        bw = std::max(bw, MeasureTextWidth(row.button) + iconRoom + 2 * R(cw));
    bh = std::max(bh, R(48 * s) + line);
    // The descriptions on one line each, as wide as the screen allows; on a narrower screen
    // they wrap under one another (never narrower than a third of the buttons' width).
    int textX = margin + bw + R(2 * cw);
    const int linkNeed = MeasureStaticTextWidthPixels(kLinkText);
    int textNeed = linkNeed;
    for (const Row& row : kRows)
        textNeed = std::max(textNeed, MeasureTextWidth(row.text));
    int width = std::max(
        { leastWidth, textX + textNeed + margin, MeasureTextWidth(kHeading) + 2 * margin });
    int largestWidth = 0, largestHeight = 0;
    GetLargestClientSizePixels(largestWidth, largestHeight);
    // Where the screen is too narrow for a column of descriptions beside the buttons (a large
    // font on a small screen), each description stands below its button.
    const bool stacked = largestWidth > 0 && textX + bw / 3 + margin > largestWidth;
    if (stacked) {
        width = largestWidth;
        textX = margin;
    } else if (largestWidth > 0) {
        width = std::min(width, largestWidth);
    }
    const int under = stacked ? R(0.25 * ch) : 0; // between a button and its description
    // The rows laid out in the width they have (less a scroll bar where they scroll). Each row
    // is as high as its button or its wrapped description, whichever is higher. The link (one
    // line) stands below its description, or below the row where the column is too narrow for
    // it.
    int bar = 0, textW = 1, headingW = 1, headingH = line;
    bool linkBelow = false;
    auto textHeight = [&](const Row& row) {
        const int h = std::max(line, MeasureTextHeight(row.text, textW));
        return row.button == kDirect && !linkBelow ? h + line : h;
    };
    auto below = [&](const Row& row) { return row.button == kDirect && linkBelow ? line : 0; };
    auto heightFor = [&](int buttonHeight, int rowGap) {
        int h = top + headingH + rowGap;
        for (const Row& row : kRows)
            h += (stacked ? buttonHeight + under + textHeight(row)
                          : std::max(buttonHeight, textHeight(row)))
                + below(row) + rowGap;
        // The last button's border (drawn a little outside its rectangle) keeps a margin below.
        return h + top;
    };
    int rowGap = gap, height = 0;
    for (;;) {
        textW = std::max(1, width - bar - margin - textX);
        bw = std::min(bw, std::max(1, width - bar - 2 * margin));
        headingW = std::max(1, width - bar - 2 * margin);
        headingH = std::max(line, MeasureTextHeight(kHeading, headingW));
        linkBelow = linkNeed > textW;
        rowGap = gap;
        height = std::max(leastHeight, heightFor(bh, rowGap));
        // On a low screen the rows close up first (the buttons down to their icon and title),
        // then scroll.
        if (largestHeight > 0 && height > largestHeight) {
            rowGap = std::max(R(0.25 * ch), gap / 2);
            const int least = std::max(R(48 * s) + R(4 * s), line + R(8 * s));
            while (bh > least && heightFor(bh, rowGap) > largestHeight)
                --bh;
            height = std::max(std::min(leastHeight, largestHeight), heightFor(bh, rowGap));
        }
        if (bar == 0 && largestHeight > 0 && height > largestHeight) {
            bar = int(std::ceil(LCustomCocoaScrollView::scrollerWidth() * s));
            continue;
        }
        break;
    }
    const int windowHeight = largestHeight > 0 ? std::min(height, largestHeight) : height;
    int clientWidth = 0, clientHeight = 0;
    GetClientSize(clientWidth, clientHeight);
    if (clientWidth != width || clientHeight != windowHeight)
        SizeDialogPixelsMac(width, windowHeight, false);
    if (height > windowHeight || ScrolledControlsDocument(GetContentView())) {
        std::vector<int> ids { kHeading, kDirectLink };
        for (const Row& row : kRows) {
            ids.push_back(row.button);
            ids.push_back(row.text);
        }
        ScrollControls(ids.data(), ids.size(), 0, 0, width, windowHeight, height);
    }

    int y = top;
    MoveControlPixels(kHeading, margin, y, headingW, headingH);
    y += headingH + rowGap;
    for (const Row& row : kRows) {
        const int th = textHeight(row);
        if (stacked) {
            MoveControlPixels(row.button, margin, y, bw, bh);
            const int h = std::max(line, MeasureTextHeight(row.text, textW));
            MoveControlPixels(row.text, textX, y + bh + under, textW, h);
            if (row.button == kDirect)
                MoveControlPixels(kDirectLink, textX, y + bh + under + h, textW, th - h);
            y += bh + under + th + below(row) + rowGap;
            continue;
        }
        const int rowH = std::max(bh, th);
        MoveControlPixels(row.button, margin, y + (rowH - bh) / 2, bw, bh);
        if (row.button == kDirect && !linkBelow) {
            // The description and the link below it, centred together on the button.
            const int h = std::max(line, MeasureTextHeight(row.text, textW));
            MoveControlPixels(row.text, textX, y + (rowH - th) / 2, textW, h);
            MoveControlPixels(kDirectLink, textX, y + (rowH - th) / 2 + h, textW, th - h);
        } else {
            MoveControlPixels(row.text, textX, y + (rowH - th) / 2, textW, th);
            if (row.button == kDirect)
                MoveControlPixels(kDirectLink, margin, y + rowH, headingW, line);
        }
        y += rowH + below(row) + rowGap;
    }
    ControlsLaidOut();
}

void VTLabelLayoutSelectDialog::DestroyDialog()
{
    CoolButtonContainerDestroy(*this);
    LDialog::DestroyDialog();
}

void VTLabelLayoutSelectDialog::Command(int id, int code)
{
    switch (id) {
    case kCD:
        CmTemplateCreatePaperCD();
        return;
    case kDVD:
        CmTemplateCreatePaperDVD();
        return;
    case kBluRay:
        CmTemplateCreatePaperBluRay();
        return;
    case kDirect:
        CmTemplateCreateDirectToDisc();
        return;
    case kDirectLink:
        LOpenHelpPage(GetContentView(), "concepts_directtodisc");
        return;
    case kStationery:
        CmTemplateStationery();
        return;
    case kCustom:
        CmTemplateCustom();
        return;
    default:
        LDialog::Command(id, code);
    }
}

void VTLabelLayoutSelectDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_labellayoutselect");
}

void VTLabelLayoutSelectDialog::Choose(VTLabelLayout* layout)
{
    fLayout.reset(layout);
    PostCommand(kLCmdCancel);
}

void VTLabelLayoutSelectDialog::CmTemplateCreatePaperCD()
{
    Choose(new VTLabelLayoutDataGenericCDStandard);
}

void VTLabelLayoutSelectDialog::CmTemplateCreatePaperDVD()
{
    Choose(new VTLabelLayoutDataGenericDVDStandard);
}

void VTLabelLayoutSelectDialog::CmTemplateCreatePaperBluRay()
{
    Choose(new VTLabelLayoutDataGenericBluRayStandard);
}

void VTLabelLayoutSelectDialog::CmTemplateCreateDirectToDisc()
{
    Choose(new VTLabelLayoutDataDirectToCDDVDStandard);
}

void VTLabelLayoutSelectDialog::CmTemplateStationery()
{
    if (VTLabelLayout* layout = VTStationerySelectDialogOpen(GetContentView()))
        Choose(layout);
}

void VTLabelLayoutSelectDialog::CmTemplateCustom()
{
    std::string path;
    std::string folder;
    VTLabelLayoutRecentFolderGet(folder);
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Läs in etikettlayout", folder,
            "Vorantel etikettlayout (*.vtlayout)\0*.vtlayout\0\0", "vtlayout", "Ladda upp"))
        return;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
    auto layout = std::make_unique<VTLabelLayout>();
    layout->printMedium = VTPrintMediumPaper;
    layout->paperSize = LPaperSizeID(18);
    layout->largestTemplateID = -1;
    VTLabelLayoutLoad job;
    job.layout = layout.get();
    std::snprintf(job.path, sizeof job.path, "%s", path.c_str());
    LProcessDialog<VTLabelLayoutLoad> progress("Läsa in etikettlayout", job);
    progress.Open(GetContentView());
    // A failed or stopped load was reported by the progress window; the dialog stays open.
    if (progress.result != LProcessResultSuccess)
        return;
    Choose(layout.release());
}

void VTLabelLayoutRecentFolderGet(std::string& folder)
{
    VTOptions::RecentFolderProjectGet(folder);
    // A folder that has gone since it was used last gives way to the documents folder.
    if (folder.empty() || !LFile::TestFolderExists(folder.c_str())) {
        char documents[kLPathSize] = "";
        LFile::GetUserDocumentsFolder(documents);
        folder = documents;
    }
}

VTLabelLayout* VTLabelLayoutSelectDialogOpen(LView* parent)
{
    VTLabelLayoutSelectDialog dialog;
    LDialog::OpenGenData data { 840, 526, "Välj etikettlayout", true, &NoControls };
    dialog.Open(parent, data);
    return dialog.TakeLayout();
}
