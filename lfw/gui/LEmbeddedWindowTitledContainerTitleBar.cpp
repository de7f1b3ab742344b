#include "lfw/gui/LEmbeddedWindowTitledContainerTitleBar.h"

#include "lfw/gui/LSmallControls.h"

#include <algorithm>

void LEmbeddedWindowTitledContainerTitleBar::SetTitle(const char* title)
{
    utf8strlcpy(szTitle, title ? title : "", sizeof szTitle);
    Update();
}

void LEmbeddedWindowTitledContainerTitleBar::CreateTitleFont(LView* view)
{
    LGuiFont font;
    font.CreateFromDialog(view, 1, bBold, false);
    fTitleFont = font;
}

void LEmbeddedWindowTitledContainerTitleBar::Paint(LPaintContext& context)
{
    const int w = mWidth, h = mHeight;
    const int base = kLSystemControlBackground;
    const uint8_t top = uint8_t(std::min(255, int(base * 1.3)));
    const uint8_t bottom = uint8_t(std::min(255, int(base * 0.8)));
    LPaintSurface::_FillRectGradient(context, LGuiColorAlpha::FromRGBA8(top, top, top, 255),
        LGuiColorAlpha::FromRGBA8(bottom, bottom, bottom, 255), true, 0, 0, w, h);
    if (szTitle[0]) {
        if (fTitleFont.HasFont()) {
            char name[260] = "";
            fTitleFont.GetName(name, sizeof name);
            context.SetFont(LFontAttributes(
                name, fTitleFont.GetSizef(), fTitleFont.IsBold() ? uint32_t(LFontStyleBold) : 0u));
        }
        LPaintSurface::_DrawText(context, szTitle, 8.0f, float((h - 15) / 2), 2147483648.0f,
            2147483648.0f, LAlignmentX(0), LAlignmentY(0), LTextWrapping(0), LTextTrimming(0),
            false);
    }
    cairo_t* cr = context.GetPlatformContext();
    if (cr && context.IsDrawable()) {
        const double f = kLSystemWindowFrame / 255.0;
        cairo_save(cr);
        cairo_set_source_rgb(cr, f, f, f);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, 0.5, 0.5, w - 1.0, h - 1.0);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}
