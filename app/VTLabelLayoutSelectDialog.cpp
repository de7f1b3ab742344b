#include "app/VTLabelLayoutSelectDialog.h"

#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTStationerySelectDialog.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/zor/LHelp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

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
    AddHyperLink(kDirectLink, "Lista över skrivare som stöder direktutskrift till skiva");
    LayoutControls();
}

void VTLabelLayoutSelectDialog::EvWindowReady()
{
    LayoutControls();
}

void VTLabelLayoutSelectDialog::LayoutControls()
{
    int width = 0, height = 0;
    GetClientSize(width, height);
    const double cw = CharWidthPixels(), ch = CharHeightPixels(), s = GetBackingScaleFactor();
    const int margin = R(2 * cw), bw = R(360 * s), bh = R(70 * s), gap = R(0.59 * ch);
    const int line = R(1.23 * ch);
    int y = R(0.94 * ch);
    MoveControlPixels(kHeading, margin, y, std::max(1, width - 2 * margin), line);
    y += line + gap;
    const int textX = margin + bw + R(2 * cw);
    const int textW = std::max(1, width - margin - textX);
    for (const Row& row : kRows) {
        MoveControlPixels(row.button, margin, y, bw, bh);
        if (row.button == kDirect) {
            // The description and the link below it, centred together on the button.
            const int both = 2 * line;
            MoveControlPixels(row.text, textX, y + (bh - both) / 2, textW, line);
            MoveControlPixels(kDirectLink, textX, y + (bh - both) / 2 + line, textW, line);
        } else {
            MoveControlPixels(row.text, textX, y + (bh - line) / 2, textW, line);
        }
        y += bh + gap;
    }
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
