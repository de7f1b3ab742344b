// The drawing target and its state: the cairo context everything is drawn into, the view or
// client rectangle being painted, the current font, the text colours, the transform stack and
// the base transform that stands for the untransformed state. Coordinates are y down from the
// top left. A context lives as long as one paint pass and belongs to one thread.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LGuiFont.h"

#include <cairo.h>

#include <vector>

class LView; // a view of the window layer

class LPaintContext {
public:
    LPaintContext();
    // A context over a cairo context (not owned) whose client area is width x height; the
    // cairo context's present transform becomes the base transform. Like SetPlatformContext it
    // gives the cairo context the platform's default line width of 1.
    LPaintContext(cairo_t* cr, double clientWidth, double clientHeight);
    virtual ~LPaintContext();
    LPaintContext(const LPaintContext&) = delete;
    LPaintContext& operator=(const LPaintContext&) = delete;

    // With a view: its size (times its backing scale when above 1), truncated; without: the
    // client rectangle's size, truncated.
    virtual void GetClientAreaDimensions(int& width, int& height) const;

    // Makes the font the record describes current; the old one becomes the previous font.
    void SetFont(const LFontAttributes& attributes);

    // --- Set up by the context's creator.
    cairo_t* GetPlatformContext() const { return mContext; }
    void SetPlatformContext(cairo_t* cr);
    LView* GetView() const { return mView; }
    void SetView(LView* view) { mView = view; }
    void SetClientRect(double x, double y, double width, double height);
    void GetClientRect(double& x, double& y, double& width, double& height) const;
    // The platform context's present transform becomes the base transform.
    void RecordBaseTransform();
    void SetBaseTransform(const cairo_matrix_t& m) { mBase = m; }
    const cairo_matrix_t& GetBaseTransform() const { return mBase; }

    // --- State.
    const LGuiFont& GetFont() const { return mFont; }
    const LGuiFont& GetPreviousFont() const { return mPreviousFont; }
    LGuiColorAlpha mTextColor;
    LGuiColorAlpha mTextOutlineColor;
    LGuiColorAlpha mThirdColor; // kept, not read
    float mTextOutlineWidth = 1.5f;
    int32_t mReserved1 = 0, mReserved2 = 0;
    bool mTextOutline = false;
    bool mReservedFlag1 = true, mReservedFlag2 = true;
    float mAlpha = 1.0f; // global alpha last set by image drawing
    // When false, integer-coordinate line operations add 0.5 to every coordinate.
    bool mNoHalfPixelOffset = false;
    // Set by painted controls: the drawing goes to a window, not to paper or a file, so pictures
    // may be drawn from copies reduced to the size they show at (LScreenImageCopies).
    bool mForScreen = false;
    // Set by the drawing of a picture whose copy for the size shown is still being made (a
    // stand-in was drawn in its place): the painter paints again once it is made.
    bool mPicturesPending = false;
    LList<LListableMatrix<float>>& GetTransformStack() { return mStack; }

    // --- The platform transform. A singular transform is not handed to cairo (it would stop
    // the context for good): it is kept here, and nothing is drawn until a regular transform
    // replaces it.
    void GetPlatformTransform(cairo_matrix_t& m) const;
    void SetPlatformTransform(const cairo_matrix_t& m);
    // Concatenates m: m applies first, then the present transform.
    void ConcatPlatformTransform(const cairo_matrix_t& m);
    bool IsTransformSingular() const { return mSingular; }
    // True when drawing can reach the platform context.
    bool IsDrawable() const;

    // The stroke and fill colours the platform keeps apart (cairo has one source): operations
    // that stroke with "the current stroke colour" take it from here.
    void SetStrokeColor(double r, double g, double b, double a);
    void SetFillColor(double r, double g, double b, double a);
    void ApplyStrokeColor() const;
    void ApplyFillColor() const;
    const double* GetStrokeColor() const { return mStroke; }
    const double* GetFillColor() const { return mFill; }

    // Saves and restores the platform state together with the state kept here.
    void SaveGState();
    void RestoreGState();

private:
    struct Saved {
        bool singular;
        cairo_matrix_t singularMatrix;
        double stroke[4];
        double fill[4];
    };

    cairo_t* mContext = nullptr;
    LView* mView = nullptr;
    double mClientX = 0, mClientY = 0, mClientWidth = 0, mClientHeight = 0;
    LGuiFont mFont;
    LList<LListableMatrix<float>> mStack;
    LGuiFont mPreviousFont;
    cairo_matrix_t mBase;
    bool mSingular = false;
    cairo_matrix_t mSingularMatrix;
    double mStroke[4] = { 0, 0, 0, 1 };
    double mFill[4] = { 0, 0, 0, 1 };
    std::vector<Saved> mSaved;
};
