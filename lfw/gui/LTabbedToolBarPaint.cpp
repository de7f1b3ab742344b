// Painting of the tabbed toolbar: the tab strip with the help icon and the tabs, the button row
// of the selected tab, and the share bar.
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LMacWindow.h"

#include <algorithm>
#include <cmath>

namespace {

int Round(double v)
{
    return int(v + 0.5);
}

constexpr float kUnbounded = 2147483648.0f;

void SetSource(cairo_t* cr, const LGuiColor& c)
{
    cairo_set_source_rgb(cr, c.GetRedF(), c.GetGreenF(), c.GetBlueF());
}

// A one-pixel line between pixel centres.
void Line(cairo_t* cr, const LGuiColor& c, double x1, double y1, double x2, double y2)
{
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    SetSource(cr, c);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void Fill(cairo_t* cr, const LGuiColor& c, double x, double y, double w, double h)
{
    if (w <= 0 || h <= 0)
        return;
    cairo_save(cr);
    SetSource(cr, c);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
}

// The downward triangle of the drop-down arrows, drawn as shrinking horizontal lines.
void Triangle(cairo_t* cr, const LGuiColor& c, int x, int y, int a, int p)
{
    if (p < 1)
        p = 1;
    for (int left = x, right = x + a, row = y; left <= right; left += p, right -= p, row += p)
        for (int k = 0; k < p; ++k) {
            cairo_save(cr);
            SetSource(cr, c);
            cairo_rectangle(cr, left, row + k, std::max(1, right - left), 1);
            cairo_fill(cr);
            cairo_restore(cr);
        }
}

const LGuiColor kControlBackground = LGuiColor::FromRGB8(255, 255, 255);
const LGuiColor kWindowFrame = LGuiColor::FromRGB8(170, 170, 170);

// The pressed drop-down background: a grey gradient in a darker frame.
void PressedBackground(LPaintContext& context, int x, int y, int w, int h)
{
    if (w <= 0 || h <= 0)
        return;
    LPaintSurface::_FillRectGradient(context, LGuiColorAlpha::FromRGBA8(160, 160, 160, 255),
        LGuiColorAlpha::FromRGBA8(210, 210, 210, 255), true, x, y, w, h);
    cairo_t* cr = context.GetPlatformContext();
    cairo_save(cr);
    cairo_set_source_rgb(cr, 130 / 255.0, 130 / 255.0, 130 / 255.0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, x + 0.5, y + 0.5, w - 1, h - 1);
    cairo_stroke(cr);
    cairo_restore(cr);
}

} // namespace

LToolBarItemInternal::~LToolBarItemInternal()
{
    for (ScaledLook& look : scaled)
        if (look.surface)
            cairo_surface_destroy(look.surface);
}

void LToolBarItemInternal::DrawLook(cairo_t* cr, int look, int x, int y, int size)
{
    const LGuiJPG& image = look == 1 ? images.GetDisabled()
        : look == 2                  ? images.GetPressed()
                                     : images.GetNormal();
    if (!image.HasImage() || size <= 0)
        return;
    ScaledLook& cache = scaled[look];
    if (!cache.surface || cache.size != size) {
        if (cache.surface)
            cairo_surface_destroy(cache.surface);
        cache.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cache.size = size;
        cairo_t* scratch = cairo_create(cache.surface);
        image.DrawTransparent(scratch, 0, 0, size, size, 1.0f);
        cairo_destroy(scratch);
    }
    cairo_save(cr);
    cairo_set_source_surface(cr, cache.surface, x, y);
    cairo_rectangle(cr, x, y, size, size);
    cairo_fill(cr);
    cairo_restore(cr);
}

void LTabbedToolBarPrivate::Prepaint(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!cr || !context.IsDrawable() || !parent)
        return;
    LayoutTabStrip(context);
    const int W = mWidth;
    const double s = Scale();
    const int S = Round(0.9411765 * CharHeight());

    Fill(cr, LGuiColor::FromRGB8(211, 213, 215), 0, 0, W, T);
    const LGuiJPG& help = iPressedPart == 1 && bInsidePressedPart ? fHelpImage.GetPressed()
                                                                  : fHelpImage.GetNormal();
    help.DrawTransparent(cr, iHelpX, iHelpY, S, S, 1.0f);
    Line(cr, fLinePen.color, 0, T - 1, W, T - 1);

    {
        LPaintFontScope font(context, fFont);
        int x = M;
        const int last = int(fTabs.size()) - 1;
        for (int i = 0; i < last && fTabs[size_t(i)].name; ++i) {
            LTabbedToolBarTabInternal& tab = fTabs[size_t(i)];
            if (tab.hidden)
                continue;
            tab.x = x;
            tab.width = TabWidth(context, i);
            if (i == iSelectedTab)
                DrawTab(context, tab, &fSelectedColours, false);
            else if (i == iHotTab)
                DrawTab(context, tab, &fHotColours, true);
            else
                DrawTab(context, tab, nullptr, false);
            x = tab.x + tab.width + M;
        }
    }

    if (LTabbedToolBarTabInternal* tab = SelectedTab())
        DrawToolbar(context, *tab);
    else
        DrawToolbarBackground(context);
    fShareBar.Draw(context);
    BubbleTipFollow();
    if (ShowsKeyboardFocus())
        DrawKeyboardFrame(context);
    (void)s;
}

void LTabbedToolBarPrivate::DrawKeyboardFrame(LPaintContext& context)
{
    int x = 0, y = 0, w = 0, h = 0;
    const int at = GetKeyboardItem();
    if (at >= 0) {
        const LToolBarItemInternal& item = SelectedTab()->items[at];
        x = item.x;
        y = item.y;
        w = item.width;
        h = item.height;
    } else if (const LTabbedToolBarTabInternal* tab = SelectedTab()) {
        x = tab->x;
        y = G;
        w = tab->width;
        h = H;
    }
    const double line = 2 * std::max(1.0, Scale());
    const double inset = 2 * std::max(1.0, Scale());
    if (w <= 2 * inset + line || h <= 2 * inset + line)
        return;
    cairo_t* cr = context.GetPlatformContext();
    cairo_save(cr);
    SetSource(cr, LPaintSurface::GetFocusIndicatorColor());
    cairo_set_line_width(cr, line);
    cairo_rectangle(
        cr, x + inset + line / 2, y + inset + line / 2, w - 2 * inset - line, h - 2 * inset - line);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void LTabbedToolBarPrivate::DrawTab(LPaintContext& context, const LTabbedToolBarTabInternal& tab,
    const TabColours* palette, bool hot)
{
    cairo_t* cr = context.GetPlatformContext();
    const int x = tab.x, w = tab.width;
    if (palette) {
        const int p = int(Scale());
        Fill(cr, palette->fill, x + p, G + p, w - p, H);
        cairo_save(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        SetSource(cr, palette->border.color);
        cairo_set_line_width(cr, palette->border.width);
        cairo_move_to(cr, x + 0.5, H + 0.5);
        cairo_line_to(cr, x + 0.5, G + 0.5);
        cairo_line_to(cr, x + w + 0.5, G + 0.5);
        cairo_line_to(cr, x + w + 0.5, H + p + 0.5);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    context.mTextColor = hot && palette ? LGuiColorAlpha::FromRGBA8(255, 255, 255, 255)
                                        : LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    LPaintSurface::_DrawText(context, tab.name ? tab.name.get() : "", float(x + 2), float(G + 2),
        float(w - 4), float(H - 4), LAlignmentXCenter, LAlignmentYCenter, LTextWrappingNone,
        LTextTrimmingWord, true);
}

void LTabbedToolBarPrivate::DrawToolbarBackground(LPaintContext& context)
{
    const int W = mWidth;
    auto dim = [](double v) { return uint8_t(int(v * 0.87)); };
    cairo_t* cr = context.GetPlatformContext();
    // The gradient is one column repeated across the row: drawn once per height.
    if (!fRowColumn || cairo_image_surface_get_height(fRowColumn) != B) {
        if (fRowColumn)
            cairo_surface_destroy(fRowColumn);
        fRowColumn = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, std::max(1, B));
        cairo_t* column = cairo_create(fRowColumn);
        {
            LPaintContext columnContext(column, 1, B);
            cairo_set_antialias(column, CAIRO_ANTIALIAS_NONE);
            LPaintSurface::_FillRectGradient(columnContext,
                LGuiColorAlpha::FromRGBA8(255, 255, 255, 255),
                LGuiColorAlpha::FromRGBA8(dim(kControlBackground.GetRedF() * 255),
                    dim(kControlBackground.GetGreenF() * 255),
                    dim(kControlBackground.GetBlueF() * 255), 255),
                true, 0, 0, 1, B);
        }
        cairo_destroy(column);
    }
    cairo_save(cr);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(fRowColumn);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, 0, -T);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, 0, T, W, B);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
    Line(cr, LGuiColor::FromRGB8(0, 0, 0), 0, T + B - 1, W, T + B - 1);
}

void LTabbedToolBarPrivate::DrawToolbar(LPaintContext& context, LTabbedToolBarTabInternal& tab)
{
    DrawToolbarBackground(context);
    LPaintFontScope font(context, fSmallFont);
    const std::vector<char> shown = LayoutButtonRow(context, tab);
    for (int i = tab.itemCount - 1; i >= 0; --i)
        if (i < int(shown.size()) && shown[size_t(i)])
            DrawButton(context, tab.items[i]);
}

void LTabbedToolBarPrivate::DrawButton(LPaintContext& context, LToolBarItemInternal& item)
{
    if (item.hidden || (item.mask & kLTbMaskRightAlign) || !parent)
        return;
    cairo_t* cr = context.GetPlatformContext();
    const double s = Scale();
    if (item.mask & kLTbMaskSeparator) {
        const int lx = item.x + item.width / 2;
        Line(cr, fButtonPen.color, lx, item.y + int(4 * s), lx, item.y + item.height - int(4 * s));
        return;
    }
    if (item.chevron) {
        item.DrawChevron(context, *parent);
        item.drawn = true;
        return;
    }
    const int icon = int(32 * s);
    iconSize = icon;
    const float cw = CharWidth(), ch = CharHeight();
    const int q = Round(0.25 * ch);
    const bool dropdown = (item.mask & (kLTbMaskSplitDropdown | kLTbMaskWholeDropdown)) != 0;
    const int contentWidth = dropdown ? item.width - Round(1.875 * cw) : item.width;

    if (item.image != 0 && !item.imageTried) {
        item.imageTried = true;
        item.imageLoaded = LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(
            item.images, std::abs(item.image), nullptr);
    }
    const bool haveImage = item.image != 0 && item.imageLoaded;
    if (!haveImage && !item.label[0]) {
        item.drawn = false;
        return;
    }
    // The wrapped label's height, measured again when the width or the font changed (a font
    // change clears the width measured by the layout, and with it this).
    if (item.measuredWrapWidth != item.width) {
        float lw = 0, lh = 0;
        const LDrawTextFormat wrap(
            LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);
        if (item.label[0])
            LPaintSurface::MeasureText(context, lw, lh, item.label,
                LBoundingBox2T<float>(0.0f, 0.0f, float(item.width), kUnbounded), wrap);
        item.labelHeight = int(std::ceil(lh));
        item.measuredWrapWidth = item.width;
    }
    const int textH = item.labelHeight;
    const int ix = item.x + contentWidth / 2 - icon / 2;
    const int iy = item.y + int(8 * s);
    const int ly = item.y + item.height - q - textH;

    const bool isDown = item.pressed || item.checked;
    if (!item.enabled) {
        if (haveImage)
            item.DrawLook(cr, 1, ix, iy, icon);
        if (item.mask & kLTbMaskSplitDropdown)
            DrawButtonDropdown(context, item, icon);
        else if (item.mask & kLTbMaskWholeDropdown)
            DrawButtonWholeDropdown(context, item, icon);
        context.mTextColor = LGuiColorAlpha::FromRGBA8(128, 128, 128, 255);
    } else {
        if ((item.mask & kLTbMaskWholeDropdown) && item.pressed)
            PressedBackground(
                context, ix - int(4 * s), iy - int(4 * s), icon + int(16 * s), icon + int(6 * s));
        if (haveImage) {
            if (isDown)
                item.DrawLook(cr, 2, ix + int(s), iy + int(s), icon);
            else
                item.DrawLook(cr, 0, ix, iy, icon);
        }
        if (item.mask & kLTbMaskSplitDropdown)
            DrawButtonDropdown(context, item, icon);
        else if (item.mask & kLTbMaskWholeDropdown)
            DrawButtonWholeDropdown(context, item, icon);
        context.mTextColor = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    }
    if (item.label[0]) {
        const int lx = item.x + (isDown ? 1 : 0);
        const int w
            = (item.mask & kLTbMaskSplitDropdown) ? item.width - Round(1.875 * cw) : item.width;
        // Centred, top-aligned and word-wrapped in (lx, ly, w, textH), as the text service
        // draws it, from a layout the item keeps between paints.
        const platform::text::FontRef& font = context.GetFont().GetPlatformFont();
        if (!item.labelLayout || item.layoutFont != font.get() || item.layoutWidth != w
            || item.layoutHeight != textH) {
            if (!item.labelLayout) {
                item.labelLayout = std::make_unique<platform::text::TextLayout>();
                item.labelLayout->SetText(item.label);
                item.labelLayout->SetAlignment(platform::text::Align::Center);
                item.labelLayout->SetWrap(platform::text::Wrap::Word);
                item.labelLayout->SetEllipsizeEnd(false);
            }
            item.labelLayout->SetFont(font, false, false);
            item.labelLayout->SetWidth(w);
            item.labelLayout->SetHeight(textH);
            item.layoutFont = font.get();
            item.layoutWidth = w;
            item.layoutHeight = textH;
        }
        platform::text::TextPaint paint;
        paint.fill[0] = context.mTextColor.GetRed8() / 255.0;
        paint.fill[1] = context.mTextColor.GetGreen8() / 255.0;
        paint.fill[2] = context.mTextColor.GetBlue8() / 255.0;
        paint.fill[3] = context.mTextColor.alpha / 255.0;
        if (w > 0 && textH > 0) {
            cairo_save(cr);
            cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
            item.labelLayout->Draw(cr, lx, ly, paint);
            cairo_restore(cr);
        }
    }
    item.drawn = true;
}

int LTabbedToolBarPrivate::ArrowPartX(const LToolBarItemInternal& item) const
{
    // The divider as drawn: the icon's right half belongs to the main part at every scale.
    return item.x + int(19 * Scale()) + item.width / 2;
}

void LTabbedToolBarPrivate::DrawButtonDropdown(
    LPaintContext& context, const LToolBarItemInternal& item, int icon)
{
    cairo_t* cr = context.GetPlatformContext();
    const double s = Scale();
    const int a = int(7 * s), p = std::max(1, int(s));
    const int divider = item.x + item.width / 2 + icon / 2 + int(3 * s);
    int ax = divider + int(4 * s);
    int ay = item.y + (item.height - (p + a) / 2) / 2;
    const int top = item.y + int(8 * s);
    if (item.arrowPressed && item.enabled) {
        ax += p;
        ay += p;
        PressedBackground(context, ax - p - int(3 * s), top + p, int(13 * s), icon);
    }
    const LGuiColor colour = item.enabled ? LGuiColor::FromRGB8(0, 0, 0) : fButtonPen.color;
    Triangle(cr, colour, ax, ay, a, p);
    if (!item.arrowPressed)
        Line(cr, kWindowFrame, divider, top + p, divider, top + icon - p);
}

void LTabbedToolBarPrivate::DrawButtonWholeDropdown(
    LPaintContext& context, const LToolBarItemInternal& item, int icon)
{
    (void)icon;
    cairo_t* cr = context.GetPlatformContext();
    const double s = Scale();
    const int a = int(7 * s), p = std::max(1, int(s));
    const int o = item.pressed ? p : 0;
    const int ax = item.x + item.width / 2 + int(19 * s) + o;
    const int ay = item.y + (item.height - (a + p) / 2) / 2 + o;
    Triangle(cr, item.enabled ? LGuiColor::FromRGB8(0, 0, 0) : fButtonPen.color, ax, ay, a, p);
}

void LToolBarItemInternal::DrawChevron(LPaintContext& context, const LWindow& window) const
{
    cairo_t* cr = context.GetPlatformContext();
    const float cw = window.CharWidthPixels();
    const int cx = x + width / 2, cy = y + height / 2;
    const int d = Round(0.4 * cw), g = Round(0.5 * cw);
    const LGuiColor colours[3] = { LGuiColor::FromRGB8(255, 255, 255), LGuiColor::FromRGB8(0, 0, 0),
        LGuiColor::FromRGB8(96, 96, 128) };
    for (int k = 0; k < 3; ++k) {
        for (int off : { 0, g }) {
            Line(cr, colours[k], cx + off + k, cy, cx + off - d, cy - d - k);
            Line(cr, colours[k], cx + off + k, cy, cx + off - d, cy + d + k);
        }
    }
}
