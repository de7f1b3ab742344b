#include "lfw/zor/LZorLogoBackground.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LPaintSurface.h"

LZorLogoBackground::LZorLogoBackground()
{
    LImage::LoadResource(fImage, 335, LImage::EncodingPNG);
}

template <class Surface>
void DrawZORLogoImageBackgroundOffsetTemplate(
    LPaintContext& context, int x, int y, int w, int h, const LImageBuffer& image)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!cr || !context.IsDrawable() || w <= 0 || h <= 0)
        return;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0x8000 / 65535.0, 0x8000 / 65535.0, 0x8000 / 65535.0);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
    const int dx = w / 2 - image.GetWidth() / 2;
    const int dy = h / 2 - image.GetHeight() / 2;
    if (dx < 0 || dy < 0 || image.GetWidth() <= 0 || image.GetHeight() <= 0)
        return;
    Surface::DrawImage(context, image, float(x + dx), float(y + dy), float(image.GetWidth()),
        float(image.GetHeight()), 1.0f, LImageInterpolationMode {});
}

template void DrawZORLogoImageBackgroundOffsetTemplate<LPaintSurface>(
    LPaintContext&, int, int, int, int, const LImageBuffer&);

void LZorLogoBackgroundControl::Prepaint(LPaintContext& context)
{
    DrawZORLogoImageBackgroundOffsetTemplate<LPaintSurface>(
        context, 0, 0, GetWidth(), GetHeight(), fLogo.GetImage());
}
