// How the tab bar draws itself: unselected tabs behind, the baseline strip, the selected tab in
// front joined to the baseline, then the scroll buttons while the tabs overflow.
#include "lfw/gui/LSmallControls.h"
#include "lfw/gui/LTabBar.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace {

struct RGB {
    uint8_t r, g, b;
};

constexpr RGB kBackground { kLSystemControlBackground, kLSystemControlBackground,
    kLSystemControlBackground };
constexpr RGB kGrey { 128, 128, 128 };

void Source(cairo_t* cr, RGB c)
{
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

// A vertical gradient from top (at y0) to bottom (at y1), two opaque stops.
void GradientSource(cairo_t* cr, RGB top, RGB bottom, double y0, double y1)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r / 255.0, top.g / 255.0, top.b / 255.0);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r / 255.0, bottom.g / 255.0, bottom.b / 255.0);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

int Rnd(double v)
{
    return int(std::lround(v));
}

int R(double v)
{
    return int(v + 0.5);
}

} // namespace

void LTabBar::Prepaint(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!cr || !context.IsDrawable() || mWidth < 1 || mHeight < 1)
        return;
    cairo_save(cr);
    Source(cr, kBackground);
    cairo_rectangle(cr, 0, 0, mWidth, mHeight);
    cairo_fill(cr);
    for (LTab* t = firstTab; t; t = t->next)
        // Tabs scrolled out of the control are not drawn.
        if (t != selectedTab && t->tabRect[2] >= 0 && t->tabRect[0] <= mWidth)
            DrawTab(context, *t);
    const int base = N(0.1);
    Source(cr, kBackground);
    cairo_rectangle(cr, 0, mHeight - base, mWidth, base);
    cairo_fill(cr);
    if (selectedTab)
        DrawSelectedTab(context);
    if (ShowsKeyboardFocus())
        DrawKeyboardFrame(context);
    if (Overflows())
        DrawScrollButtons(context);
    cairo_restore(cr);
}

void LTabBar::DrawKeyboardFrame(LPaintContext& context)
{
    const LTab* tab = GetKeyboardTab();
    if (!tab)
        return;
    cairo_t* cr = context.GetPlatformContext();
    const double line = 2 * std::max(1.0, GetBackingScale());
    double l = 0, t = 0, r = 0, b = 0;
    if (IsKeyboardOnCloseBox()) {
        // Around the close box.
        l = tab->closeRect[0] - line;
        t = tab->closeRect[1] - line;
        r = tab->closeRect[2] + line;
        b = tab->closeRect[3] + line;
    } else {
        // Inside the tab's outline, above the baseline.
        l = tab->tabRect[0] + 2;
        t = tab->tabRect[1] + 2;
        r = tab->tabRect[2] - 2;
        b = std::min(tab->tabRect[3], mHeight - N(0.1)) - 1;
    }
    if (r - l <= line || b - t <= line)
        return;
    const LGuiColor focus = LPaintSurface::GetFocusIndicatorColor();
    cairo_set_source_rgb(cr, focus.GetRedF(), focus.GetGreenF(), focus.GetBlueF());
    cairo_set_line_width(cr, line);
    cairo_rectangle(cr, l + line / 2, t + line / 2, r - l - line, b - t - line);
    cairo_stroke(cr);
}

void LTabBar::FillTabBackground(LPaintContext& context, LTab& tab)
{
    cairo_t* cr = context.GetPlatformContext();
    const bool enabled = IsEnabled();
    RGB top = kBackground, bottom = kBackground;
    if (&tab == pressedTab) {
        top = { 210, 231, 255 };
        bottom = { 227, 238, 251 };
    } else if (&tab == selectedTab && enabled) {
        top = { 255, 255, 255 };
    } else if (&tab == selectedTab) {
        top = { 210, 210, 210 };
        bottom = { 227, 238, 251 };
    } else if (&tab == hotTab) {
        top = { 163, 201, 248 };
    } else if (!enabled) {
        top = bottom = kGrey;
    }
    const int baseline = mHeight - N(0.1);
    const int l = tab.tabRect[0], t = tab.tabRect[1], r = tab.tabRect[2];
    Source(cr, kBackground);
    cairo_rectangle(cr, l, t, r - l, baseline - t);
    cairo_fill(cr);
    GradientSource(cr, top, bottom, tab.tabRect[1], tab.tabRect[3]);
    cairo_rectangle(cr, l + 1, t + 1, r - l - 2, baseline - t - 1);
    cairo_fill(cr);
}

void LTabBar::DrawTab(LPaintContext& context, LTab& tab)
{
    cairo_t* cr = context.GetPlatformContext();
    FillTabBackground(context, tab);
    const double baseline = mHeight - N(0.1);
    // Lines on pixel centres, so that a one-pixel line covers one pixel.
    const double l = tab.tabRect[0] + 0.5, t = tab.tabRect[1] + 0.5, r = tab.tabRect[2] - 0.5;
    cairo_move_to(cr, l, baseline);
    cairo_line_to(cr, l, t);
    cairo_line_to(cr, r, t);
    cairo_line_to(cr, r, baseline);
    Source(cr, kGrey);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    DrawTabTexts(context, tab);
    if (bShowCloseButtons && tab.closable)
        DrawTabCloseButton(context, tab);
}

void LTabBar::DrawSelectedTab(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    LTab& tab = *selectedTab;
    FillTabBackground(context, tab);
    const double baseline = mHeight - N(0.1) + 0.5;
    const double l = tab.tabRect[0] + 0.5, t = tab.tabRect[1] + 0.5, r = tab.tabRect[2] - 0.5;
    cairo_move_to(cr, 0.5, 0);
    cairo_line_to(cr, 0.5, baseline);
    cairo_line_to(cr, l, baseline);
    cairo_line_to(cr, l, t);
    cairo_line_to(cr, r, t);
    cairo_line_to(cr, r, baseline);
    cairo_line_to(cr, mWidth, baseline);
    Source(cr, kGrey);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    DrawTabTexts(context, tab);
    if (bShowCloseButtons && tab.closable)
        DrawTabCloseButton(context, tab);
}

void LTabBar::DrawTabTexts(LPaintContext& context, LTab& tab)
{
    const bool enabled = IsEnabled();
    const float ch = CharHeight();
    const LGuiColorAlpha black = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    const LGuiColorAlpha grey = LGuiColorAlpha::FromRGBA8(128, 128, 128, 255);
    const bool plain = &tab != pressedTab && &tab != selectedTab && &tab != hotTab;
    context.mTextColor = plain && !enabled ? grey : black;
    context.SetFont(LFontAttributes("Arial", GetFontSize(R(1.3 * ch)), 0));
    LPaintSurface::_DrawText(context, tab.text, float(tab.textRect[0]), float(tab.textRect[1]),
        float(tab.textRect[2] - tab.textRect[0]), float(tab.textRect[3] - tab.textRect[1]),
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingEllipsis, true);
    if (tab.superscriptText[0]) {
        context.mTextColor = enabled ? black : grey;
        context.SetFont(LFontAttributes("Arial", GetFontSize(R(0.8 * ch)), 0));
        LPaintSurface::_DrawText(context, tab.superscriptText, float(tab.superscriptRect[0]),
            float(tab.superscriptRect[1]), 2147483648.0f, 2147483648.0f, LAlignmentXLeft,
            LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone, true);
    }
}

void LTabBar::DrawTabCloseButton(LPaintContext& context, LTab& tab)
{
    cairo_t* cr = context.GetPlatformContext();
    const double e = Rnd(std::max(1.0, 0.7 * (M(0.78) - 2 * M(0.1)))) / 3.0;
    const double cx = (tab.closeRect[0] + tab.closeRect[2]) / 2.0;
    const double cy = (tab.closeRect[1] + tab.closeRect[3]) / 2.0;
    RGB c = IsEnabled() ? RGB { 150, 150, 150 } : RGB { 190, 190, 190 };
    if (&tab == closePressedTab)
        c = { 255, 128, 0 };
    else if (&tab == hotCloseTab)
        c = { 240, 50, 50 };
    cairo_move_to(cr, cx - e, cy - e);
    cairo_line_to(cr, cx + e, cy + e);
    cairo_move_to(cr, cx - e, cy + e);
    cairo_line_to(cr, cx + e, cy - e);
    Source(cr, c);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void LTabBar::DrawScrollButtons(LPaintContext& context)
{
    if (CanScrollLeft())
        DrawScrollButton(context, true);
    if (CanScrollRight())
        DrawScrollButton(context, false);
}

void LTabBar::DrawScrollButton(LPaintContext& context, bool left)
{
    cairo_t* cr = context.GetPlatformContext();
    const bool enabled = IsEnabled();
    const bool hot = left ? bLeftHot : bRightHot;
    const double h = mHeight, base = N(0.1), top = M(0.03), edge = N(0.9), slant = N(1.2);
    // x measured from the outer edge of the button's end of the control.
    auto X = [&](double x) { return left ? x : mWidth - x; };

    cairo_save(cr);
    cairo_move_to(cr, X(0), h + 1 - base);
    cairo_line_to(cr, X(0), top);
    cairo_line_to(cr, X(edge), top);
    cairo_line_to(cr, X(slant), h - base);
    cairo_line_to(cr, X(slant), h + 1 - base);
    cairo_close_path(cr);
    const RGB from = hot ? RGB { 163, 201, 248 } : enabled ? kBackground : kGrey;
    GradientSource(cr, from, kBackground, 0, h + 1 - base);
    cairo_fill(cr);

    const double s = 0.45 * h;
    const double cx = X(edge / 2), cy = (h - base) / 2;
    const double dir = left ? -1 : 1;
    cairo_move_to(cr, cx + dir * (-s / 4), cy - s / 2);
    cairo_line_to(cr, cx + dir * (s / 4), cy);
    cairo_line_to(cr, cx + dir * (-s / 4), cy + s / 2);
    cairo_close_path(cr);
    if (hot) {
        const LGuiColor focus = LPaintSurface::GetFocusIndicatorColor();
        cairo_set_source_rgb(cr, focus.GetRedF(), focus.GetGreenF(), focus.GetBlueF());
    } else {
        Source(cr, enabled ? RGB { 190, 190, 190 } : kGrey);
    }
    cairo_fill(cr);

    const double o = left ? 0.5 : -0.5;
    cairo_move_to(cr, X(0) + o, h - base);
    cairo_line_to(cr, X(0) + o, top + 0.5);
    cairo_line_to(cr, X(edge), top + 0.5);
    cairo_line_to(cr, X(slant), h - base);
    Source(cr, kGrey);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_restore(cr);
}
