// Printing in one modal call: LPrinter::PrintToPrinterWithSettingsV shows the print panel preset
// from an LPrintSettings record, lets the application's LPrintFunction confirm the user's
// choices, then hands it an LPrintSurface whose pages are pages of the print job. The application
// paints each page through the ordinary paint-surface operations between StartPage and EndPage:
// y down from the top-left corner of the paper, one unit per point, so that a drawing lands on
// the sheet where it was meant to whatever margins the printer or the page setup report. The
// printable area (the sheet less its margins) is where the printer is known to reach.
//
// The pages are painted, and the document written (its pictures compressed), on a worker thread
// under a progress window whose "Avbryt" ends the print at once: the window goes on answering
// meanwhile, and takes no input, so that what is painted stays as it is. LPrintFunction::Print
// runs on that worker; CanPrint runs on the window's thread before it. A print that cannot be
// made is told with its reason.
#pragma once

#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LPaperSize.h"

#include <cstdint>

class LView;
class LPrintSurface;
class LProcessInterface;
namespace platform::print {
class Document;
}

// Filled by the caller before printing and updated from the panel. Lengths in mm.
struct LPrintSettings {
    float imageableWidth = 0; // the printable area
    float imageableHeight = 0;
    bool imageableSizeKnown = false;
    float paperWidth = 0; // the sheet
    float paperHeight = 0;
    bool paperSizeKnown = false;
    float marginX = 0; // the printable area's offset on the sheet
    float marginY = 0;
    LPaperSizeOrientation orientation = LPaperSizeOrientationPortrait;
    LPaperSizeID paperSize = LPaperSizeInvalid;
    int copies = 1;
    int firstPage = 1;
    int lastPage = 1;
};

// Implemented by the application.
class LPrintFunction {
public:
    virtual ~LPrintFunction() = default;
    // Paints the whole document, calling StartPage and EndPage around each page. Runs on a
    // worker thread while the window's thread waits; called once more for each further copy of
    // a document of several pages that the user wants collated.
    virtual void Print(LPrintSurface& surface) = 0;
    // Looks at the settings the user chose; false cancels the print.
    virtual bool CanPrint(LView* owner, LPrintSettings& settings) = 0;
};

// A print destination handed through to DoPrint; printing does not depend on it.
enum LPrintTo : int32_t {
    LPrintToPrinter = 0,
};

class LPrintSurface : public LPaintSurface {
public:
    // No page; the paint context's font "Helvetica" 11 points, regular.
    LPrintSurface();
    ~LPrintSurface() override;
    LPrintSurface(const LPrintSurface&) = delete;
    LPrintSurface& operator=(const LPrintSurface&) = delete;

    // Starts a page: 0, or the print system's error (then no page is open and nothing may be
    // painted). The print stopped from its progress window starts no more pages.
    virtual int StartPage();
    // Ends the open page: 0, or the print system's error.
    virtual int EndPage();

    // Runs the panel and prints; true when the whole document was printed. A print that could
    // not be made is told over the owner's window ("Skriv ut"), with its reason.
    bool DoPrint(LView* owner, LPrintFunction& function, LPrintTo to, LPrintSettings& settings);
    // Margin x and y from the printable area the user chose (points, truncated).
    void GetPrintPaperMargins();

    LPaintContext& GetPaintContext() { return mContext; }
    // The printable area's size, points, rounded.
    int GetPageWidth() const { return mPageWidth; }
    int GetPageHeight() const { return mPageHeight; }
    // The sheet the user chose, points, in the page's orientation: the extent of a page's
    // coordinates.
    double GetPaperWidth() const { return mPaperWidth; }
    double GetPaperHeight() const { return mPaperHeight; }
    // The printable area's top-left corner on the sheet, points.
    double GetPrintableX() const { return mImageableX; }
    double GetPrintableY() const { return mImageableY; }
    // The print was stopped from its progress window (any thread): no more pages start, and a
    // painter of a long page may end it early.
    bool IsStopped() const;
    int GetOpenPages() const { return mOpenPages; }
    int GetPagesStarted() const { return mPagesStarted; }
    // Pages whose start failed in this document.
    int GetFailedPageStarts() const { return mFailedPageStarts; }

protected:
    // The progress window while the document is made: the window's thread's (painters, which
    // run on the print's thread, ask IsStopped).
    LProcessInterface* mProgress = nullptr;
    int mPageWidth = 0; // points, rounded
    int mPageHeight = 0;
    LPaintContext mContext;
    int mOpenPages = 0;
    int mPagesStarted = 0;
    int mMarginX = 0; // points, truncated
    int mMarginY = 0;
    double mMarginScale = 1.0;
    int mFailedPageStarts = 0;

private:
    friend class LPrintSurfaceDelegate;
    platform::print::Document* mDocument = nullptr; // while the document is painted
    double mImageableX = 0, mImageableY = 0; // points, as the panel reported them
    double mPaperWidth = 0, mPaperHeight = 0;
};

class LPrinter {
public:
    // Prints through a surface that lives for this call only.
    static bool PrintToPrinterWithSettingsV(
        LView* owner, LPrintSettings& settings, LPrintFunction& function);
};
