// Printing one page of a project's label layout. The print preview fills an LPrintSettings record
// for the layout, makes a VTPrintFunctionClass for the page and calls
// LPrinter::PrintToPrinterWithSettingsV. The function first checks the paper the user chose
// against the paper the layout was made for (a disc layout is never asked about), then paints
// the sheet, centred and scaled to the printable area, through PaintTemplatesAndOverlays.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTProject.h"
#include "lfw/mac/LPrintSurface.h"

class VTPrintFunctionClass : public LPrintFunction {
public:
    // printableSize: the first two fields (printable width and height, mm) of the settings of
    // the same print call, which the print session fills before Print runs.
    VTPrintFunctionClass(VTProject* project, const VTLabelLayoutPage* page,
        const float* printableSize, bool outlines)
        : project(project)
        , page(page)
        , printableSize(printableSize)
        , paintOutlines(outlines)
    {
    }

    // Paints the page: nothing without a page. A page the print system cannot start is not
    // painted; its error is kept (GetPageStartError) and the page is skipped.
    void Print(LPrintSurface& surface) override;
    // True for a disc layout and for the layout's own paper; otherwise the user is asked with a
    // warning whose default button refuses, and only the go-on button prints.
    bool CanPrint(LView* owner, LPrintSettings& settings) override;

    // The text the user is asked when the paper differs (empty when none is needed).
    static void BuildPaperQuestion(
        LStringLongTemplate<char>& text, const VTLabelLayout& layout, const LPrintSettings& s);
    // The sheet transform: the page turned by angle (degrees) about the sheet's centre, the
    // printable area w x h mm mapped onto the surface's W x H points.
    static LMatrix<float> SheetTransform(float angle, float w, float h, float W, float H);

    int GetPageStartError() const { return pageStartError; }

    VTProject* project;
    const VTLabelLayoutPage* page;
    const float* printableSize;
    bool paintOutlines;
    int pageStartError = 0;
};

// The settings the print preview hands in for a page of the layout: the page's orientation,
// copies 1, pages 1 to 65535; on paper the layout's paper with nothing known yet; on a disc the
// tray's page as a custom paper with a printable area of 119.5 x 119.5 mm, both known.
void VTPrintSettingsForLayout(
    LPrintSettings& settings, const VTLabelLayout& layout, const VTLabelLayoutPage& page);
