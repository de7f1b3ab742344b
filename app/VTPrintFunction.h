// Printing one page of a project's label layout. The print preview fills an LPrintSettings record
// for the layout, makes a VTPrintFunctionClass for the page and calls
// LPrinter::PrintToPrinterWithSettingsV. The function first checks the paper the user chose
// against the paper the layout was made for (a disc layout is never asked about), then paints
// the sheet through PaintTemplatesAndOverlays on the paper exactly where the PDF export puts it
// on its page and the preview shows it: millimetre for millimetre from the sheet's top-left
// corner, whatever margins the printer or the page setup report.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTProject.h"
#include "lfw/mac/LPrintSurface.h"

class VTPrintFunctionClass : public LPrintFunction {
public:
    // printableSize: the first two fields (printable width and height, mm) of the settings of
    // the same print call, which the print session fills before Print runs; nothing is painted
    // while they are not a size.
    VTPrintFunctionClass(VTProject* project, const VTLabelLayoutPage* page,
        const float* printableSize, bool outlines)
        : project(project)
        , page(page)
        , printableSize(printableSize)
        , paintOutlines(outlines)
    {
    }

    // Paints the page: nothing without a page. A page the print system cannot start is not
    // painted; its error is kept (GetPageStartError) and the page is skipped. Runs on the
    // print's thread while the window takes no input.
    void Print(LPrintSurface& surface) override;
    // True for a disc layout and for the layout's own paper; otherwise the user is asked with a
    // warning whose default button refuses, and only the go-on button prints.
    bool CanPrint(LView* owner, LPrintSettings& settings) override;

    // The text the user is asked when the paper differs (empty when none is needed).
    static void BuildPaperQuestion(
        LStringLongTemplate<char>& text, const VTLabelLayout& layout, const LPrintSettings& s);
    // The sheet transform in points of the paper (paperWidth x paperHeight, y down from its
    // top-left corner): the page's sheet box (VTSheetBox) at the paper's top-left corner, turned
    // by the page's rotation about its centre, 72 / 25.4 points a millimetre, as the PDF export
    // places it. A sheet without a size (a disc printer missing from the table) is centred on
    // the paper.
    static LMatrix<float> SheetTransform(const VTLabelLayout* layout, const VTLabelLayoutPage& page,
        double paperWidth, double paperHeight);

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
