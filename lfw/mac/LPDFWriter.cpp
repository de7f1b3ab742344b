#include "lfw/mac/LPDFWriter.h"

#include "platform/system/TextLock.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>

LBrushFromInfo::LBrushFromInfo(const LBrushInfo& info)
{
    unsigned long count = std::min<uint32_t>(info.stopCount, kLBrushInfoMaxStops);
    switch (info.kind) {
    case LBrushInfoKindSolid:
        mSolid = LGuiSolidBrush(info.color);
        mBrush = &mSolid;
        break;
    case LBrushInfoKindLinearGradient:
        mLinear.mStartX = info.geometry[0];
        mLinear.mStartY = info.geometry[1];
        mLinear.mEndX = info.geometry[2];
        mLinear.mEndY = info.geometry[3];
        mLinear.ChangeColor(info.stopColors, info.stopPositions, count);
        mLinear.mFromDocument = 1;
        mBrush = &mLinear;
        break;
    case LBrushInfoKindRadialGradient:
        mRadial.mCenterX = info.geometry[0];
        mRadial.mCenterY = info.geometry[1];
        mRadial.mUnused1 = 0;
        mRadial.mUnused2 = 0;
        mRadial.mRadiusX = info.geometry[2];
        mRadial.mRadiusY = info.geometry[3];
        mRadial.ChangeColor(info.stopColors, info.stopPositions, count);
        mBrush = &mRadial;
        break;
    default:
        break;
    }
}

LPDFWriter::LPDFWriter(const char* path, LPaperSizeID paperSize, LPaperSizeOrientation orientation,
    unsigned long resolution)
    : mResolution(float(resolution))
{
    // The page has the paper's true size: 595.28 x 841.89 points for A4 at 72 pixels an inch.
    double w = 0, h = 0;
    LPaperSizeGetPhysicalDimensionsMm(paperSize, w, h);
    if (!(w > 0 && h > 0))
        LPaperSizeGetPhysicalDimensionsMm(LPaperSizeA4, w, h);
    w = w / 25.4 * double(resolution);
    h = h / 25.4 * double(resolution);
    if (orientation == LPaperSizeOrientationLandscape)
        std::swap(w, h);
    mPageWidth = w;
    mPageHeight = h;
    SetSurfaceSize(int32_t(std::min(std::ceil(w), 2147483647.0)),
        int32_t(std::min(std::ceil(h), 2147483647.0)));
    mContext.SetClientRect(0, 0, float(mPageWidth), float(mPageHeight));
    if (!path || !*path || !(w > 0 && h > 0)) {
        mFailed = true;
        return;
    }
    // The file is written through our own stream so that every failed write (a full disc)
    // is seen and reported by Close.
    mFile = std::fopen(path, "wbe");
    if (!mFile) {
        mFailed = true;
        return;
    }
    cairo_surface_t* surface
        = cairo_pdf_surface_create_for_stream(&LPDFWriter::Write, this, mPageWidth, mPageHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        std::fclose(mFile);
        mFile = nullptr;
        mFailed = true;
        return;
    }
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, "ZOR PDF-fil");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "ZOR-program");
    cairo_t* cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        std::fclose(mFile);
        mFile = nullptr;
        mFailed = true;
        return;
    }
    mSurface = surface;
    mContext.SetPlatformContext(cr);
    mTextMark = platform::system::TextLock::TakenOnThisThread();
    // The PDF page is y down from its top-left corner already: the base is the identity.
    mContext.RecordBaseTransform();
}

LPDFWriter::~LPDFWriter()
{
    Close();
}

cairo_status_t LPDFWriter::Write(void* closure, const unsigned char* data, unsigned int length)
{
    auto* self = static_cast<LPDFWriter*>(closure);
    if (!self->mStopped && self->mStopQuery) {
        // Asked every few milliseconds, not at every write: the operators of a page come a
        // few bytes at a time.
        const auto now = std::chrono::steady_clock::now();
        if (now >= self->mNextStopQuery) {
            self->mNextStopQuery = now + kStopQueryInterval;
            self->mStopped = self->mStopQuery();
        }
    }
    if (self->mStopped) {
        // Given up, not failed: no errno to tell.
        self->mWriteFailed = true;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    if (self->mWriteFailed || !self->mFile || std::fwrite(data, 1, length, self->mFile) != length) {
        if (!self->mWriteFailed && self->mFile)
            self->mWriteErrno = errno;
        self->mWriteFailed = true;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

bool LPDFWriter::IsValid() const
{
    if (mFailed || mWriteFailed || !mSurface)
        return false;
    cairo_t* cr = mContext.GetPlatformContext();
    return cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS
        && (!cr || cairo_status(cr) == CAIRO_STATUS_SUCCESS);
}

bool LPDFWriter::Close()
{
    if (!mSurface)
        return !mFailed;
    bool ok = IsValid();
    {
        // The last page's texts are drawn into the file and the fonts written out here, as
        // one thread at a time works with fonts (see TextLock.h); pictures alone without it.
        std::optional<platform::system::TextLock> lock;
        if (DrewText())
            lock.emplace();
        if (cairo_t* cr = mContext.GetPlatformContext()) {
            mContext.SetPlatformContext(nullptr);
            cairo_destroy(cr);
        }
        cairo_surface_finish(mSurface);
        ok = ok && cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(mSurface);
        mSurface = nullptr;
    }
    if (mFile) {
        if (std::fflush(mFile) != 0) {
            if (!mWriteErrno)
                mWriteErrno = errno;
            ok = false;
        }
        if (std::fclose(mFile) != 0) {
            if (!mWriteErrno)
                mWriteErrno = errno;
            ok = false;
        }
        mFile = nullptr;
    }
    ok = ok && !mWriteFailed;
    mFailed = !ok;
    return ok;
}

void LPDFWriter::BeginPage()
{
    if (mSurface)
        cairo_pdf_surface_set_size(mSurface, mPageWidth, mPageHeight);
}

bool LPDFWriter::DrewText()
{
    // The document is painted on the thread that made it.
    if (platform::system::TextLock::TakenOnThisThread() != mTextMark)
        mHasText = true;
    return mHasText;
}

void LPDFWriter::EndPage()
{
    // The page's texts are drawn into the file here, with their fonts (see TextLock.h).
    std::optional<platform::system::TextLock> lock;
    if (DrewText())
        lock.emplace();
    if (cairo_t* cr = mContext.GetPlatformContext())
        cairo_show_page(cr);
}

void LPDFWriter::TransformReset(const LMatrix<float>& m)
{
    // The page is y down already, so the page flip of a y-up PDF context is the identity here.
    LPaintSurface::TransformReset(mContext, m);
}

void LPDFWriter::FillPath(const LBrushInfo& info, const LGraphicsPath& path)
{
    LBrushFromInfo brush(info);
    if (brush.Get())
        LPaintSurface::FillPath(mContext, *brush.Get(), path);
}

void LPDFWriter::DrawPath(
    const LBrushInfo& info, const LGraphicsPath& path, float width, const LLineStyle* style)
{
    LBrushFromInfo brush(info);
    if (brush.Get())
        LPaintSurface::DrawPath(mContext, *brush.Get(), path, width, style);
}

float LPDFWriter::MeasureTextPreciseWidth(const char* utf8)
{
    float w = 0, h = 0;
    LPaintSurface::MeasureText(mContext, w, h, utf8, LBoundingBox2T<float>(0, 0, 0, 0),
        LDrawTextFormat(LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone));
    return w;
}
