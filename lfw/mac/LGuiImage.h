// Bitmaps, icons and cursors of the user interface, loaded from the resources folder.
//
// Resource files live in the folder "resources" of the application's resources folder, in one
// subfolder per file type: "<resources>/png/12.png", "<resources>/cur/308.cur". Icons are PNG
// files here. The platform image is a Cairo image surface (ARGB32, premultiplied) held by
// reference: copies of a wrapper share the surface.
#pragma once

#include "lfw/graphics/LImageBuffer.h"

#include <cairo.h>

class LView;

// The folder that holds the typed resource subfolders; false when it cannot be formed.
bool LGuiGetResourcesPath(char* out, unsigned long size);

class LGuiCocoaImage {
public:
    LGuiCocoaImage() = default;
    LGuiCocoaImage(const LGuiCocoaImage& other);
    LGuiCocoaImage& operator=(const LGuiCocoaImage& other);
    ~LGuiCocoaImage();

    // Releases the image held and loads the file; true when an image was made.
    bool LoadFromFile(const char* path);
    // Tries "<resources>/tiff/<name>.tiff", "<resources>/icns/<name>.icns" and
    // "<resources>/png/<name>.png" and loads the first that exists; false when none exists.
    bool LoadFromResource(const char* name);
    // Loads one of the program's own picture files, decoded once for the whole run and shared.
    bool LoadFromSharedResourceFile(const char* path);
    // The image's size in pixels (0 x 0 without an image).
    void GetSize(int& width, int& height) const;
    // Replaces the image by main, with extra as a second representation (a sharper one for
    // high-resolution screens); nothing when main is null. The surfaces are referenced, not
    // taken over.
    void CreateFromCGImage(cairo_surface_t* main, cairo_surface_t* extra);
    // Draws the source rectangle of the image (the whole image when it is empty) into dest with
    // the opacity, composited over what is there.
    void Draw(cairo_t* cr, const cairo_rectangle_t& dest, const cairo_rectangle_t& source,
        double opacity) const;

    void Release();
    bool HasImage() const { return mImage != nullptr; }
    cairo_surface_t* GetImage() const { return mImage; }
    cairo_surface_t* GetExtraImage() const { return mExtra; }

private:
    cairo_surface_t* mImage = nullptr;
    cairo_surface_t* mExtra = nullptr;
};

class LGuiImage {
public:
    LGuiImage() = default;
    virtual ~LGuiImage() = default;

    // Without an image 0 x 0 and false; with a preset size of at least 1 x 1 that size, else the
    // image's own; true.
    bool GetSize(int& width, int& height) const;
    void Draw(cairo_t* cr, int x, int y, int w, int h) const;
    void Draw(cairo_t* cr, int x, int y) const;
    void DrawTransparent(cairo_t* cr, int x, int y, int w, int h, float opacity) const;
    void DrawTransparent(cairo_t* cr, int x, int y, float opacity) const;
    // Replaces the picture by the buffer's (alpha ignored when asked); true when there is one.
    bool SetFromImageBuffer(const LImageBuffer& buffer, bool ignoreAlpha);

    void SetPresetSize(int width, int height)
    {
        mPresetWidth = width;
        mPresetHeight = height;
    }
    bool HasImage() const { return mImage.HasImage(); }
    LGuiCocoaImage& GetCocoaImage() { return mImage; }
    const LGuiCocoaImage& GetCocoaImage() const { return mImage; }
    void Release() { mImage.Release(); }

protected:
    LGuiCocoaImage mImage;
    int32_t mPresetWidth = 0;
    int32_t mPresetHeight = 0;
};

// A bitmap from the bitmap resource folders.
class LGuiJPG : public LGuiImage {
public:
    // The folders (and extensions) tried, in order; null ends the list.
    static const char* const SupportedFormats[];

    // For each supported format "<resources>/<format>/<name>.<format>": the first file that exists
    // replaces the image. False when none exists (the image held is then kept) or it cannot be
    // read.
    bool LoadFromResource(const char* name);
};

// The icon of a resource number that the desktop's icon theme stands in for (28 pixels square, a
// new surface the caller destroys); null for other numbers or without a display.
cairo_surface_t* LGuiIconLoadThemeSurface(const char* name);

// An icon from the icon resource folders.
class LGuiIcon : public LGuiImage {
public:
    LGuiIcon() = default;
    explicit LGuiIcon(int id);
    ~LGuiIcon() override;

    // Loads the image resource and records its width as the preset width.
    void LoadIcon(const char* name);
    bool LoadFromResource(int id);
};

// Loads the icon of the id and takes its image; without one (and except for id 312) the bitmap
// resource of the id. True when the bitmap has an image. The view is not used.
bool LGuiBitmapLoadFromBitmapOrIcon(LGuiJPG& bitmap, int id, LView* view);

// A bitmap with a greyed (disabled) and a pressed look derived from it.
class LGuiBitmapEnabledDisabled {
public:
    ~LGuiBitmapEnabledDisabled();

    // True at once when the normal image is loaded; else loads the bitmap resource of the id and
    // makes the two looks.
    bool LoadFromResource(int id);
    // Makes the disabled and pressed looks from the normal image. They are made when first asked
    // for: most buttons are never shown disabled or pressed, and a window's first painting need
    // not wait for them.
    void CreateDisabledAndDown();

    LGuiJPG& GetNormal() { return mNormal; }
    LGuiJPG& GetDisabled() { return MakeLooks(), mDisabled; }
    LGuiJPG& GetPressed() { return MakeLooks(), mPressed; }
    const LGuiJPG& GetNormal() const { return mNormal; }
    const LGuiJPG& GetDisabled() const { return MakeLooks(), mDisabled; }
    const LGuiJPG& GetPressed() const { return MakeLooks(), mPressed; }

private:
    friend bool LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(
        LGuiBitmapEnabledDisabled&, int, LView*);
    void MakeLooks() const;

    LGuiJPG mNormal;
    mutable LGuiJPG mDisabled;
    mutable LGuiJPG mSource; // a second reference to the normal image
    mutable LGuiJPG mPressed;
    mutable bool mLooksDue = false;
};

bool LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(
    LGuiBitmapEnabledDisabled& bitmap, int id, LView* view);

// Makes the looks of a bitmap with a colour-controls filter: saturation (0 grey, 1 unchanged),
// brightness (added) and contrast (around mid grey), on straight colours.
class LBitmapVariationHelper {
public:
    explicit LBitmapVariationHelper(const LGuiJPG& source);

    // Saturation 0.5, brightness 0, contrast 0.6.
    void CreateVariationDisabled(LGuiJPG& out) const;
    // Saturation 0.25, brightness -0.35, contrast 0.25.
    void CreateVariationDown(LGuiJPG& out) const;

    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }

private:
    void CreateVariation(LGuiJPG& out, float saturation, float brightness, float contrast) const;

    int32_t mWidth = 0;
    int32_t mHeight = 0;
    LGuiJPG mImage;
};

// The colour-controls filter on the straight colours of a B8G8R8A8 buffer: luminance (Rec. 709
// weights) mixed with the colour by the saturation, the brightness added, the result stretched
// around 0.5 by the contrast, clamped; alpha unchanged.
void LImageColorControls(LImageBuffer& buffer, float saturation, float brightness, float contrast);

namespace LImage {
// Draws the buffer at (x, y) in its own size with the opacity (alpha kept).
void AlphaDraw(cairo_t* cr, const LImageBuffer& buffer, int x, int y, double opacity);
} // namespace LImage
