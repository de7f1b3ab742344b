#include "lfw/mac/LGuiImage.h"

#include "lfw/gen/LFile.h"
#include "lfw/graphics/LCGImageRefReader.h"
#include "platform/ui/LUiImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// "<resources>/<folder>/<name>.<extension>"; false when it does not fit.
bool ResourceFile(char* out, const char* folder, const char* name, const char* extension)
{
    char base[kLPathSize];
    if (!LGuiGetResourcesPath(base, sizeof base) || !name || !*name)
        return false;
    const int n = std::snprintf(out, kLPathSize, "%s/%s/%s.%s", base, folder, name, extension);
    if (n < 0 || size_t(n) >= kLPathSize) {
        out[0] = 0;
        return false;
    }
    return true;
}

cairo_surface_t* Reference(cairo_surface_t* s)
{
    return s ? cairo_surface_reference(s) : nullptr;
}

// The program's own picture files do not change while it runs, and a loaded surface is never
// drawn into (variations are new surfaces): each resource file is decoded once and its surface
// shared, so the many title bars, buttons and toolbar items that show the same picture do not
// read and decode it again. Pictures larger than this are read each time.
constexpr size_t kMaxSharedResourceBytes = size_t(4) << 20;

// The surfaces are the table's own, released with it when the program ends.
struct SharedResources : std::unordered_map<std::string, cairo_surface_t*> {
    ~SharedResources()
    {
        for (auto& [path, surface] : *this)
            cairo_surface_destroy(surface);
    }
};

cairo_surface_t* LoadResourceFile(const char* path)
{
    static std::mutex mutex;
    static SharedResources shared;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = shared.find(path); it != shared.end())
            return cairo_surface_reference(it->second);
    }
    cairo_surface_t* surface = LUiImageLoadFile(path);
    if (!surface
        || size_t(cairo_image_surface_get_stride(surface))
                * size_t(cairo_image_surface_get_height(surface))
            > kMaxSharedResourceBytes)
        return surface;
    std::lock_guard<std::mutex> lock(mutex);
    auto [it, added] = shared.emplace(path, surface);
    if (!added) { // loaded meanwhile on another thread
        cairo_surface_destroy(surface);
        surface = it->second;
    }
    return cairo_surface_reference(surface);
}

// The filtered copy of one representation; null when it cannot be made.
cairo_surface_t* Filtered(
    cairo_surface_t* image, float saturation, float brightness, float contrast)
{
    if (!image)
        return nullptr;
    LCGImageRefReader reader;
    LImageBuffer buffer;
    LProcessInterfaceVoid silent;
    if (reader.GetImageBufferFromImageRef(silent, buffer, image) != LProcessResultSuccess)
        return nullptr;
    LImageColorControls(buffer, saturation, brightness, contrast);
    return reader.CreateImageRefFromImageBuffer(buffer, false);
}

// Stretching a narrow picture across a wide target while shrinking it the other way (a title
// bar's gradient strip) sends pixman down its filtered path for every target pixel, hundreds of
// instructions each. Shrinking along the one axis first, into a picture already the target's
// size that way, and then stretching that along the other gives the same pixels within rounding
// for a small part of the work. False when the drawing is not of that kind (or is turned, where
// the axes do not stay apart).
bool DrawShrunkThenStretched(
    cairo_t* cr, cairo_surface_t* image, const cairo_rectangle_t& dest, double opacity)
{
    if (cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    const int iw = cairo_image_surface_get_width(image), ih = cairo_image_surface_get_height(image);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (iw < 1 || ih < 1 || m.xy != 0 || m.yx != 0)
        return false;
    double dsx = 1, dsy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &dsx, &dsy);
    const double targetW = std::fabs(dest.width * m.xx * dsx);
    const double targetH = std::fabs(dest.height * m.yy * dsy);
    // Target pixels per picture pixel; the filter shrinks below 0.75.
    const double fx = targetW / iw, fy = targetH / ih;
    const bool shrinkY = fy < 0.75 && fx >= 1, shrinkX = fx < 0.75 && fy >= 1;
    if (!shrinkX && !shrinkY)
        return false;
    const int w = shrinkX ? std::max(1, int(std::lround(targetW))) : iw;
    const int h = shrinkY ? std::max(1, int(std::lround(targetH))) : ih;
    cairo_surface_t* shrunk = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* c = cairo_create(shrunk);
    cairo_scale(c, double(w) / iw, double(h) / ih);
    cairo_set_source_surface(c, image, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(c), CAIRO_EXTEND_PAD);
    cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
    cairo_paint(c);
    const bool made = cairo_status(c) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(c);
    if (made) {
        cairo_save(cr);
        cairo_rectangle(cr, dest.x, dest.y, dest.width, dest.height);
        cairo_clip(cr);
        cairo_translate(cr, dest.x, dest.y);
        cairo_scale(cr, dest.width / w, dest.height / h);
        cairo_set_source_surface(cr, shrunk, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_paint_with_alpha(cr, std::clamp(opacity, 0.0, 1.0));
        cairo_restore(cr);
    }
    cairo_surface_destroy(shrunk);
    return made;
}

} // namespace

bool LGuiGetResourcesPath(char* out, unsigned long size)
{
    char folder[kLPathSize];
    if (size < kLPathSize || !LGetInstalledApplicationResourcesFolder(folder, sizeof folder)) {
        if (size)
            out[0] = 0;
        return false;
    }
    return LFile::_MakeFilePath(out, folder, "resources", "");
}

// ---- platform image wrapper ----

LGuiCocoaImage::LGuiCocoaImage(const LGuiCocoaImage& other)
    : mImage(Reference(other.mImage))
    , mExtra(Reference(other.mExtra))
{
}

LGuiCocoaImage& LGuiCocoaImage::operator=(const LGuiCocoaImage& other)
{
    if (this != &other) {
        cairo_surface_t* image = Reference(other.mImage);
        cairo_surface_t* extra = Reference(other.mExtra);
        Release();
        mImage = image;
        mExtra = extra;
    }
    return *this;
}

LGuiCocoaImage::~LGuiCocoaImage()
{
    Release();
}

void LGuiCocoaImage::Release()
{
    if (mImage)
        cairo_surface_destroy(mImage);
    if (mExtra)
        cairo_surface_destroy(mExtra);
    mImage = mExtra = nullptr;
}

bool LGuiCocoaImage::LoadFromFile(const char* path)
{
    Release();
    mImage = LUiImageLoadFile(path);
    return mImage != nullptr;
}

bool LGuiCocoaImage::LoadFromResource(const char* name)
{
    static const char* const kKinds[] = { "tiff", "icns", "png" };
    char path[kLPathSize];
    for (const char* kind : kKinds)
        if (ResourceFile(path, kind, name, kind) && LFile::TestFileExists(path))
            return LoadFromSharedResourceFile(path);
    return false;
}

bool LGuiCocoaImage::LoadFromSharedResourceFile(const char* path)
{
    Release();
    mImage = LoadResourceFile(path);
    return mImage != nullptr;
}

void LGuiCocoaImage::GetSize(int& width, int& height) const
{
    width = height = 0;
    if (!mImage)
        return;
    width = cairo_image_surface_get_width(mImage);
    height = cairo_image_surface_get_height(mImage);
}

void LGuiCocoaImage::CreateFromCGImage(cairo_surface_t* main, cairo_surface_t* extra)
{
    if (!main)
        return;
    cairo_surface_t* m = Reference(main);
    cairo_surface_t* e = Reference(extra);
    Release();
    mImage = m;
    mExtra = e;
}

void LGuiCocoaImage::Draw(cairo_t* cr, const cairo_rectangle_t& dest,
    const cairo_rectangle_t& source, double opacity) const
{
    if (!cr || !mImage || dest.width <= 0 || dest.height <= 0)
        return;
    int iw = 0, ih = 0;
    GetSize(iw, ih);
    if (iw < 1 || ih < 1)
        return;
    cairo_rectangle_t src = source;
    if (src.width <= 0 || src.height <= 0)
        src = { 0, 0, double(iw), double(ih) };

    // On a high-resolution target the larger representation, scaled to the main one's size.
    cairo_surface_t* image = mImage;
    double repScale = 1.0;
    if (mExtra) {
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
        const int ew = cairo_image_surface_get_width(mExtra);
        if (sx > 1 && ew > iw) {
            image = mExtra;
            repScale = double(ew) / iw;
        }
    }

    const bool whole = src.x == 0 && src.y == 0 && src.width == iw && src.height == ih;
    if (whole && DrawShrunkThenStretched(cr, image, dest, opacity))
        return;

    cairo_save(cr);
    cairo_rectangle(cr, dest.x, dest.y, dest.width, dest.height);
    cairo_clip(cr);
    cairo_translate(cr, dest.x, dest.y);
    cairo_scale(cr, dest.width / src.width, dest.height / src.height);
    cairo_translate(cr, -src.x, -src.y);
    cairo_scale(cr, 1.0 / repScale, 1.0 / repScale);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint_with_alpha(cr, std::clamp(opacity, 0.0, 1.0));
    cairo_restore(cr);
}

// ---- GUI image ----

bool LGuiImage::GetSize(int& width, int& height) const
{
    if (!mImage.HasImage()) {
        width = height = 0;
        return false;
    }
    if (mPresetWidth >= 1 && mPresetHeight >= 1) {
        width = mPresetWidth;
        height = mPresetHeight;
    } else {
        mImage.GetSize(width, height);
    }
    return true;
}

void LGuiImage::Draw(cairo_t* cr, int x, int y, int w, int h) const
{
    DrawTransparent(cr, x, y, w, h, 1.0f);
}

void LGuiImage::Draw(cairo_t* cr, int x, int y) const
{
    DrawTransparent(cr, x, y, 1.0f);
}

void LGuiImage::DrawTransparent(cairo_t* cr, int x, int y, int w, int h, float opacity) const
{
    if (!mImage.HasImage())
        return;
    mImage.Draw(cr, cairo_rectangle_t { double(x), double(y), double(w), double(h) },
        cairo_rectangle_t { 0, 0, 0, 0 }, opacity);
}

void LGuiImage::DrawTransparent(cairo_t* cr, int x, int y, float opacity) const
{
    int w = 0, h = 0;
    if (GetSize(w, h))
        DrawTransparent(cr, x, y, w, h, opacity);
}

bool LGuiImage::SetFromImageBuffer(const LImageBuffer& buffer, bool ignoreAlpha)
{
    mImage.Release();
    cairo_surface_t* image = LCGImageRefReader().CreateImageRefFromImageBuffer(buffer, ignoreAlpha);
    if (image) {
        mImage.CreateFromCGImage(image, nullptr);
        cairo_surface_destroy(image);
    }
    return mImage.HasImage();
}

// ---- bitmaps and icons ----

const char* const LGuiJPG::SupportedFormats[] = { "cur", "tiff", "png", "jpg", nullptr };

bool LGuiJPG::LoadFromResource(const char* name)
{
    char path[kLPathSize];
    for (const char* const* kind = SupportedFormats; *kind; ++kind)
        if (ResourceFile(path, *kind, name, *kind) && LFile::TestFileExists(path))
            return mImage.LoadFromSharedResourceFile(path);
    return false;
}

LGuiIcon::LGuiIcon(int id)
{
    char name[16];
    std::snprintf(name, sizeof name, "%d", id);
    LoadIcon(name);
}

LGuiIcon::~LGuiIcon()
{
    mImage.Release();
    mPresetWidth = mPresetHeight = 0;
}

namespace {

// Icons that come from the desktop's icon theme when the resources hold no file of their own:
// the expand and collapse marks of panel titles, white, and lighter under the mouse; the
// rotate, flip, raise and lower buttons of the transform row and the search mark of the
// product-suite window, dark grey.
struct ThemeIcon {
    const char* id;
    const char* name;
    double r, g, b;
};
constexpr ThemeIcon kThemeIcons[] = {
    { "328", "pan-down-symbolic", 1.0, 1.0, 1.0 },
    { "329", "pan-end-symbolic", 1.0, 1.0, 1.0 },
    { "331", "pan-down-symbolic", 1.0, 0.93, 0.62 },
    { "332", "pan-end-symbolic", 1.0, 0.93, 0.62 },
    { "370", "object-rotate-left-symbolic", 0.2, 0.2, 0.2 },
    { "371", "object-rotate-right-symbolic", 0.2, 0.2, 0.2 },
    { "372", "object-flip-horizontal-symbolic", 0.2, 0.2, 0.2 },
    { "373", "object-flip-vertical-symbolic", 0.2, 0.2, 0.2 },
    { "374", "go-down-symbolic", 0.2, 0.2, 0.2 },
    { "375", "go-up-symbolic", 0.2, 0.2, 0.2 },
    { "315", "system-search-symbolic", 0.33, 0.34, 0.36 },
};

} // namespace

cairo_surface_t* LGuiIconLoadThemeSurface(const char* name)
{
    if (!name)
        return nullptr;
    for (const ThemeIcon& icon : kThemeIcons)
        if (std::strcmp(icon.id, name) == 0)
            return LUiImageLoadThemeIcon(icon.name, 28, icon.r, icon.g, icon.b);
    return nullptr;
}

void LGuiIcon::LoadIcon(const char* name)
{
    mImage.LoadFromResource(name);
    if (!mImage.HasImage()) {
        // Drawn 14 pixels square, also on double-density screens: loaded at twice that.
        if (cairo_surface_t* surface = LGuiIconLoadThemeSurface(name)) {
            mImage.CreateFromCGImage(surface, nullptr);
            cairo_surface_destroy(surface);
        }
    }
    int w = 0, h = 0;
    mImage.GetSize(w, h);
    mPresetWidth = w;
}

bool LGuiIcon::LoadFromResource(int id)
{
    mImage.Release();
    mPresetWidth = mPresetHeight = 0;
    char name[16];
    std::snprintf(name, sizeof name, "%d", id);
    LoadIcon(name);
    return mImage.HasImage();
}

bool LGuiBitmapLoadFromBitmapOrIcon(LGuiJPG& bitmap, int id, LView*)
{
    bitmap.Release();
    LGuiIcon icon(id);
    if (icon.HasImage()) {
        bitmap.GetCocoaImage() = icon.GetCocoaImage();
    } else if (id != 312) {
        char name[16];
        std::snprintf(name, sizeof name, "%d", id);
        bitmap.LoadFromResource(name);
    }
    return bitmap.HasImage();
}

// ---- enabled / disabled bitmaps ----

LGuiBitmapEnabledDisabled::~LGuiBitmapEnabledDisabled()
{
    mPressed.Release();
    mSource.Release();
    mDisabled.Release();
    mNormal.Release();
}

bool LGuiBitmapEnabledDisabled::LoadFromResource(int id)
{
    if (mNormal.HasImage())
        return true;
    char name[16];
    std::snprintf(name, sizeof name, "%d", id);
    if (!mNormal.LoadFromResource(name))
        return false;
    CreateDisabledAndDown();
    return true;
}

bool LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(
    LGuiBitmapEnabledDisabled& bitmap, int id, LView* view)
{
    if (bitmap.mNormal.HasImage())
        return true;
    if (!LGuiBitmapLoadFromBitmapOrIcon(bitmap.mNormal, id, view))
        return false;
    bitmap.CreateDisabledAndDown();
    return true;
}

void LGuiBitmapEnabledDisabled::CreateDisabledAndDown()
{
    mSource.Release();
    mDisabled.Release();
    mPressed.Release();
    mSource.GetCocoaImage() = mNormal.GetCocoaImage();
    mLooksDue = true;
}

void LGuiBitmapEnabledDisabled::MakeLooks() const
{
    if (!mLooksDue)
        return;
    mLooksDue = false;
    LBitmapVariationHelper helper(mSource);
    helper.CreateVariationDisabled(mDisabled);
    helper.CreateVariationDown(mPressed);
}

// ---- the looks ----

LBitmapVariationHelper::LBitmapVariationHelper(const LGuiJPG& source)
    : mImage(source)
{
    int w = 0, h = 0;
    mImage.GetSize(w, h);
    mWidth = w;
    mHeight = h;
}

void LBitmapVariationHelper::CreateVariationDisabled(LGuiJPG& out) const
{
    CreateVariation(out, 0.5f, 0.0f, 0.6f);
}

void LBitmapVariationHelper::CreateVariationDown(LGuiJPG& out) const
{
    CreateVariation(out, 0.25f, -0.35f, 0.25f);
}

void LBitmapVariationHelper::CreateVariation(
    LGuiJPG& out, float saturation, float brightness, float contrast) const
{
    out.Release();
    const LGuiCocoaImage& source = mImage.GetCocoaImage();
    cairo_surface_t* main = Filtered(source.GetImage(), saturation, brightness, contrast);
    cairo_surface_t* extra = Filtered(source.GetExtraImage(), saturation, brightness, contrast);
    out.GetCocoaImage().CreateFromCGImage(main, extra);
    if (main)
        cairo_surface_destroy(main);
    if (extra)
        cairo_surface_destroy(extra);
}

void LImageColorControls(LImageBuffer& buffer, float saturation, float brightness, float contrast)
{
    if (!buffer.IsValid() || buffer.GetPixelFormat() != LPixelFormatB8G8R8A8)
        return;
    // out = ((lum + s (c - lum) + b) - 0.5) k + 0.5 on values 0..1, i.e. per channel
    // k s c + k ((1 - s) lum + b - 0.5) + 0.5.
    const float ks = contrast * saturation;
    const float kBase = contrast * (brightness - 0.5f) + 0.5f;
    const float kLum = contrast * (1.0f - saturation);
    auto toByte = [](float v) {
        v = v * 255.0f + 0.5f;
        return uint8_t(v <= 0.0f ? 0 : v >= 255.0f ? 255 : int(v));
    };
    for (int y = 0; y < buffer.GetHeight(); ++y) {
        auto* p = reinterpret_cast<LPFB8G8R8A8*>(buffer.GetRow(y));
        for (int x = 0; x < buffer.GetWidth(); ++x) {
            const float r = p[x].r / 255.0f, g = p[x].g / 255.0f, b = p[x].b / 255.0f;
            const float lum = 0.2125f * r + 0.7154f * g + 0.0721f * b;
            const float common = kLum * lum + kBase;
            p[x].r = toByte(ks * r + common);
            p[x].g = toByte(ks * g + common);
            p[x].b = toByte(ks * b + common);
        }
    }
}

void LImage::AlphaDraw(cairo_t* cr, const LImageBuffer& buffer, int x, int y, double opacity)
{
    LGuiImage image;
    if (image.SetFromImageBuffer(buffer, false))
        image.DrawTransparent(cr, x, y, float(opacity));
}
