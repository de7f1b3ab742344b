#include "lfw/mac/LPrintSurface.h"

#include "lfw/mac/LProgressDialog.h"
#include "platform/print/Print.h"
#include "platform/ui/LView.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
// StartPage outside a document.
constexpr int kErrorNoDocument = -30870;
constexpr int kErrorCancelled = -128; // the user stopped the print

// Exact, not rounded: a custom paper such as a disc printer's tray keeps its size to the
// hundredth of a millimetre, so the tray's page is where the tray is.
double PointsFromMm(double mm)
{
    return mm / 25.4 * 72.0;
}

} // namespace

// Bridges the print session to the surface and the application's print function.
class LPrintSurfaceDelegate : public platform::print::Delegate {
public:
    LPrintSurfaceDelegate(
        LPrintSurface& surface, LView* owner, LPrintFunction& function, LPrintSettings& settings)
        : mSurface(surface)
        , mOwner(owner)
        , mFunction(function)
        , mSettings(settings)
    {
    }

    bool Confirm(platform::print::Choices& choices) override
    {
        LPrintSettings& s = mSettings;
        s.paperWidth = float(choices.paperWidth * kMmPerPoint);
        s.paperHeight = float(choices.paperHeight * kMmPerPoint);
        s.paperSizeKnown = true;
        mSurface.mImageableX = choices.imageableX;
        mSurface.mImageableY = choices.imageableY;
        mSurface.mPaperWidth = choices.paperWidth;
        mSurface.mPaperHeight = choices.paperHeight;
        mSurface.GetPrintPaperMargins();
        s.marginX = float(std::trunc(mSurface.mMarginX * mSurface.mMarginScale) * kMmPerPoint);
        s.marginY = float(std::trunc(mSurface.mMarginY * mSurface.mMarginScale) * kMmPerPoint);
        s.imageableWidth = float(choices.imageableWidth * kMmPerPoint);
        s.imageableHeight = float(choices.imageableHeight * kMmPerPoint);
        s.imageableSizeKnown = true;
        s.orientation
            = choices.landscape ? LPaperSizeOrientationLandscape : LPaperSizeOrientationPortrait;
        char name[260];
        std::strncpy(name, choices.paperName.c_str(), sizeof name - 1);
        name[sizeof name - 1] = '\0';
        s.paperSize = LPaperSizeGetIDFromName(name);
        s.copies = choices.copies;
        s.firstPage = choices.firstPage;
        s.lastPage = choices.lastPage;
        mImageableWidth = choices.imageableWidth;
        mImageableHeight = choices.imageableHeight;
        return mFunction.CanPrint(mOwner, s);
    }

    void Print(platform::print::Document& document, const platform::print::Choices&) override
    {
        // From here on painting and spooling run under a progress window whose Cancel stops
        // the print; DoPrint closes it once the print system is done.
        mProgress = std::make_unique<LProcessDialogRunInterface>("Skriver ut");
        if (mProgress->_Open(mOwner, false)) {
            mProgress->OpenModalWindow();
            mProgress->SetStatus("Skriver ut", 0);
            mProgress->SetProgressIndeterminateOn();
            mSurface.mProgress = mProgress.get();
        } else {
            mProgress.reset();
        }
        mSurface.mPageWidth = int(std::lround(mImageableWidth));
        mSurface.mPageHeight = int(std::lround(mImageableHeight));
        mSurface.SetSurfaceSize(mSurface.mPageWidth, mSurface.mPageHeight);
        mSurface.mContext.SetClientRect(
            0, 0, int16_t(mSurface.mPageWidth), int16_t(mSurface.mPageHeight));
        mSurface.mPagesStarted = 0;
        mSurface.mFailedPageStarts = 0;
        mSurface.mDocument = &document;
        mFunction.Print(mSurface);
        // A page the painter left open is ended with the document.
        while (mSurface.mOpenPages > 0 && mSurface.mContext.GetPlatformContext())
            mSurface.LPrintSurface::EndPage();
        mSurface.mDocument = nullptr;
    }

    bool Cancelled() override { return mProgress && mProgress->IsToStop(); }

    // Ends the progress window (after the print system is done with the pages).
    void Finish()
    {
        mSurface.mProgress = nullptr;
        if (mProgress)
            mProgress->CloseModalWindow();
        mProgress.reset();
    }

private:
    std::unique_ptr<LProcessDialogRunInterface> mProgress;
    LPrintSurface& mSurface;
    LView* mOwner;
    LPrintFunction& mFunction;
    LPrintSettings& mSettings;
    double mImageableWidth = 0, mImageableHeight = 0;
};

LPrintSurface::LPrintSurface()
{
    mContext.SetFont(LFontAttributes("Helvetica", 11.0f, 0));
}

LPrintSurface::~LPrintSurface()
{
    mContext.SetPlatformContext(nullptr);
    mContext.GetTransformStack().Clear();
}

void LPrintSurface::GetPrintPaperMargins()
{
    mMarginX = int(mImageableX);
    mMarginY = int(mImageableY);
}

int LPrintSurface::StartPage()
{
    // Cancelled from the progress window: no more pages.
    if (mProgress && mProgress->IsToStop()) {
        ++mFailedPageStarts;
        return kErrorCancelled;
    }
    if (!mDocument) {
        ++mFailedPageStarts;
        return kErrorNoDocument;
    }
    int error = 0;
    cairo_t* cr = mDocument->BeginPage(error);
    if (!cr) {
        ++mFailedPageStarts;
        return error;
    }
    // The page context is in points from the paper's top-left corner, y down: that is the state
    // every transform reset returns to.
    mContext.SetPlatformContext(cr);
    mContext.SaveGState();
    mContext.RecordBaseTransform();
    ++mOpenPages;
    ++mPagesStarted;
    return 0;
}

int LPrintSurface::EndPage()
{
    if (!mContext.GetPlatformContext())
        return platform::print::Document::kErrorNoPage;
    mContext.RestoreGState();
    mContext.SetPlatformContext(nullptr);
    mContext.GetTransformStack().Clear();
    int result = mDocument ? mDocument->EndPage() : platform::print::Document::kErrorNoPage;
    if (mOpenPages > 0)
        --mOpenPages;
    return result;
}

bool LPrintSurface::DoPrint(
    LView* owner, LPrintFunction& function, LPrintTo to, LPrintSettings& settings)
{
    (void)to;
    double width = 0, height = 0;
    if (settings.imageableSizeKnown && settings.paperSizeKnown) {
        width = settings.paperWidth;
        height = settings.paperHeight;
    } else {
        if (settings.paperSize == LPaperSizeInvalid)
            return false;
        // The paper's true size (ids without a row give none).
        LPaperSizeGetPhysicalDimensionsMm(settings.paperSize, width, height);
    }
    platform::print::Request request;
    request.paperWidth = PointsFromMm(width);
    request.paperHeight = PointsFromMm(height);
    request.landscape = settings.orientation == LPaperSizeOrientationLandscape;
    request.firstPage = settings.firstPage;
    request.lastPage = settings.lastPage;

    LPrintSurfaceDelegate delegate(*this, owner, function, settings);
    std::string error;
    platform::print::Result result = platform::print::Run(
        owner ? owner->ExistingWidget() : nullptr, request, delegate, &error);
    delegate.Finish();
    // A page that could not be started is missing from the printed document.
    return result == platform::print::Result::Printed && mFailedPageStarts == 0;
}

bool LPrinter::PrintToPrinterWithSettingsV(
    LView* owner, LPrintSettings& settings, LPrintFunction& function)
{
    LPrintSurface surface;
    return surface.DoPrint(owner, function, LPrintToPrinter, settings);
}
