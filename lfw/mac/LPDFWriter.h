// Writes vector PDF files: a paint surface whose context draws into a PDF document, so every
// drawing operation paints into a PDF page unchanged. Pages have the paper's true size at the
// writer's resolution (one pixel is one PDF unit; at 72 pixels per inch a pixel is a point, and
// A4 is 595.28 x 841.89 points), y down from the page's top-left corner.
#pragma once

#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LPaperSize.h"

#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

class LPDFWriter : public LPaintSurface {
public:
    // Creates the file with its title "ZOR PDF-fil" and creator "ZOR-program". A paper size
    // without a size (0, 24) gives A4; orientation 1 is landscape. When the file cannot be
    // created the writer draws nothing (IsValid is false).
    LPDFWriter(const char* path, LPaperSizeID paperSize, LPaperSizeOrientation orientation,
        unsigned long resolution);
    // Finishes and closes the file.
    ~LPDFWriter() override;
    LPDFWriter(const LPDFWriter&) = delete;
    LPDFWriter& operator=(const LPDFWriter&) = delete;

    // True while the document is open and nothing has failed.
    bool IsValid() const;
    // Finishes the file; true when the whole document was written. Later drawing does nothing.
    bool Close();
    // The errno of the first write to the file that failed (0 when none has).
    int GetWriteError() const { return mWriteErrno; }
    // Asked as the file is written (every few milliseconds at most, on the thread that draws and
    // closes): once it answers true nothing more is written, the document is given up and Close
    // answers false. Finishing a document of large pictures takes seconds; it then ends at the
    // picture under way.
    void SetStopQuery(std::function<bool()> stop) { mStopQuery = std::move(stop); }
    // The document was given up at the stop query's word.
    bool Stopped() const { return mStopped; }

    // A page of the media box (0, 0, page width, page height): begin, draw, end.
    void BeginPage();
    void EndPage();
    int GetOpenPages() const { return mOpenPages; }
    void SetOpenPages(int n) { mOpenPages = n; }

    LPaintContext& GetPaintContext() { return mContext; }
    // The page's size in pixels at the writer's resolution, not rounded.
    double GetPageWidth() const { return mPageWidth; }
    double GetPageHeight() const { return mPageHeight; }
    float GetResolution() const { return mResolution; }

    // The drawing transform becomes m (in y-down page pixels) from the page's top-left corner.
    void TransformReset(const LMatrix<float>& m);
    void FillPath(const LBrushInfo& brush, const LGraphicsPath& path);
    void DrawPath(
        const LBrushInfo& brush, const LGraphicsPath& path, float width, const LLineStyle* style);
    // The width of the text in the current font (0 for empty text).
    float MeasureTextPreciseWidth(const char* utf8);

private:
    LPaintContext mContext;
    double mPageWidth = 0;
    double mPageHeight = 0;
    float mResolution = 0;
    int mOpenPages = 0;
    cairo_surface_t* mSurface = nullptr;
    FILE* mFile = nullptr;
    bool mFailed = false;
    unsigned long mTextMark = 0; // the text lock's count on the painting thread when made
    bool mHasText = false; // texts were drawn: pages are written out under the text lock
    bool DrewText();
    bool mWriteFailed = false;
    int mWriteErrno = 0;
    std::function<bool()> mStopQuery;
    std::chrono::steady_clock::time_point mNextStopQuery {};
    bool mStopped = false;
    static constexpr std::chrono::milliseconds kStopQueryInterval { 5 };

    static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length);
};

// The drawing brush a document brush description stands for, made in the storage given; null
// for a kind other than 1 (solid), 2 (linear) or 3 (radial).
class LBrushFromInfo {
public:
    explicit LBrushFromInfo(const LBrushInfo& info);
    const LGuiBrush* Get() const { return mBrush; }

private:
    LGuiSolidBrush mSolid { LGuiColor() };
    LGuiBrushGradientLinear mLinear;
    LGuiBrushGradientRadial mRadial;
    const LGuiBrush* mBrush = nullptr;
};
