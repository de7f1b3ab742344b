// Control contents by id: texts and check states, measuring texts and buttons in backing pixels,
// the OK, Cancel and Help row, tips and control fonts.
#include "lfw/mac/LMacWindow.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/LGuiBrush.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LKey.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

int R(double v)
{
    return LMacWindow::RoundPixels(v);
}

int Ceil(double v)
{
    return int(std::ceil(v - 1e-9));
}

// The font a control draws in (the system label font for other views).
LCocoaControlFont FontOf(LView* view)
{
    if (auto* c = dynamic_cast<LCocoaControlImpl*>(view))
        return c->font();
    return LCocoaControlFont {};
}

bool ViewInSuperview(LView* view)
{
    return view && (view->Superview() || view->Window());
}

// The focus colour from the theme, again whenever the theme changes.
void UpdateFocusIndicatorColor()
{
    GtkWidget* probe = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GdkRGBA c { 0.21, 0.52, 0.89, 1 };
    gtk_style_context_lookup_color(
        gtk_widget_get_style_context(probe), "theme_selected_bg_color", &c);
    gtk_widget_destroy(probe);
    LPaintSurface::SetFocusIndicatorColor(LGuiColor(guint16(c.red * 65535 + 0.5),
        guint16(c.green * 65535 + 0.5), guint16(c.blue * 65535 + 0.5)));
}

bool ViewFontService(LView* view, LGuiFont& font)
{
    if (!dynamic_cast<LCocoaControlImpl*>(view))
        return false;
    LMacWindow::GetControlFont(view, font);
    return true;
}

void ValidationTip(LCocoaWindow& window, int id, const char* text)
{
    if (auto* w = dynamic_cast<LMacWindow*>(&window))
        w->BubbleTipShow(w->GetBubbleTip(), id, text, 0, nullptr);
}

} // namespace

void LMacWindowInstallServices()
{
    static bool installed = false, themed = false;
    if (!installed) {
        installed = true;
        LGuiFontViewServices services;
        services.getControlFont = ViewFontService;
        services.getBackingScaleFactor
            = [](LView* view) { return LMacWindow::GetBackingScaleFactor(view); };
        LGuiFontSetViewServices(services);
        LCocoaTextInputImpl::setValidationTipHook(ValidationTip);
        LCocoaWindowHooksGet().loadResourceImage = [](const char* name) -> cairo_surface_t* {
            LGuiCocoaImage image;
            if (!name || !image.LoadFromResource(name) || !image.GetImage()) {
                // An icon the icon theme stands in for, 14 points square.
                cairo_surface_t* themed = LGuiIconLoadThemeSurface(name);
                if (themed)
                    cairo_surface_set_device_scale(themed, 2, 2);
                return themed;
            }
            return cairo_surface_reference(image.GetImage());
        };
        LCocoaWindowHooksGet().updateChildViewTooltips = UpdateChildViewTooltips;
    }
    if (!themed && LUiIsAvailable()) {
        themed = true;
        UpdateFocusIndicatorColor();
        g_signal_connect(gtk_settings_get_default(), "notify::gtk-theme-name",
            G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { UpdateFocusIndicatorColor(); }),
            nullptr);
    }
}

// --- tooltip table -------------------------------------------------------------------------------

void LMacWindow::AddTools(LToolTip& tip, const ToolListItem* items, unsigned long count,
    const LKeyToCommandMap* keys, unsigned long keyCount)
{
    tip.window = this;
    for (unsigned long i = 0; items && i < count; ++i)
        UpdateTool(tip, items[i].id, items[i].text, nullptr, keys, keyCount);
}

void LMacWindow::UpdateTool(LToolTip& tip, int id, const char* text, const LRectangle*,
    const LKeyToCommandMap* keys, unsigned long keyCount)
{
    tip.window = this;
    LView* control = GetControlHandle(id);
    if (!control)
        return;
    std::string shown = text ? text : "";
    for (unsigned long i = 0; keys && i < keyCount && !shown.empty(); ++i) {
        if (keys[i].command != id)
            continue;
        char key[kLStringShortSize] = "";
        keys[i].key.GetDescription(key);
        shown += std::string(" (") + key + ")";
        break;
    }
    control->SetToolTipText(shown.empty() ? nullptr : shown.c_str());
}

// --- texts ---------------------------------------------------------------------------------------

void LMacWindow::SetText(int id, const char* text)
{
    if (LCocoaEditViewImpl* edit = EditViewGetImpl(id)) {
        edit->setText(text ? text : "");
        return;
    }
    if (auto* field = dynamic_cast<LCocoaTextFieldImpl*>(GetControlHandle(id)))
        field->setText(text ? text : "");
}

char* LMacWindow::GetText(int id, char* buffer, unsigned long size)
{
    auto* field = dynamic_cast<LCocoaTextFieldImpl*>(GetControlHandle(id));
    if (LCocoaEditViewImpl* edit = EditViewGetImpl(id)) {
        if (buffer && size > 0)
            edit->getText(buffer, size);
        return buffer;
    }
    if (!buffer || size == 0)
        return field ? buffer : nullptr;
    buffer[0] = '\0';
    if (!field)
        return nullptr;
    field->getText(buffer, int(std::min<unsigned long>(size, 0x7FFFFFFF)));
    return buffer;
}

void LMacWindow::GetText(int id, LStringLongTemplate<char>& text)
{
    text = "";
    if (LCocoaEditViewImpl* edit = EditViewGetImpl(id))
        edit->getTextLong(text);
    else if (auto* field = dynamic_cast<LCocoaTextFieldImpl*>(GetControlHandle(id)))
        field->getTextLong(text);
}

void LMacWindow::SetStaticText(int id, const char* text)
{
    if (auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id)))
        label->setText(text ? text : "");
}

void LMacWindow::GetStaticText(int id, char* buffer)
{
    if (!buffer)
        return;
    buffer[0] = '\0';
    if (auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id)))
        label->getText(buffer);
    else if (auto* link = dynamic_cast<LCocoaHyperLinkImpl*>(GetControlHandle(id)))
        link->getText(buffer);
}

void LMacWindow::SetButtonText(int id, const char* text)
{
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id)))
        b->setText(text ? text : "");
}

void LMacWindow::GetButtonText(int id, char* buffer)
{
    if (!buffer)
        return;
    buffer[0] = '\0';
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id)))
        b->getText(buffer);
}

void LMacWindow::TextPromptSet(int id, const char* prompt)
{
    if (auto* input = dynamic_cast<LCocoaTextInputImpl*>(GetControlHandle(id)))
        input->setPrompt(prompt ? prompt : "");
}

void LMacWindow::SetStaticTextColor(int id, const LGuiColor& color)
{
    if (auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id)))
        label->setTextColor(color.GetRedF(), color.GetGreenF(), color.GetBlueF());
}

void LMacWindow::SetStaticTextBackgroundColor(int id, const LGuiBrush& brush)
{
    if (auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id))) {
        const LGuiColor& c = brush.GetColor();
        label->setBackgroundColor(c.GetRedF(), c.GetGreenF(), c.GetBlueF());
        label->setDrawsBackground(true);
    }
}

// --- check states --------------------------------------------------------------------------------

void LMacWindow::SetCheck(int id, bool on)
{
    auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id));
    if (!b)
        return;
    if (b->isTypeRadioButton()) {
        SetRadioCheck(id, on);
        return;
    }
    b->setState(on ? 1 : 0);
    if (b->isTypeCheckButton())
        b->updateCheckTypeTextColor();
}

void LMacWindow::SetRadioCheck(int id, bool on)
{
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id)))
        b->setState(on ? 1 : 0);
}

bool LMacWindow::GetCheck(int id)
{
    auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id));
    return b && b->state() == 1;
}

bool LMacWindow::GetRadioCheck(int id)
{
    return GetCheck(id);
}

// --- measuring
// -------------------------------------------------------------------------------------

int LMacWindow::MeasureStaticTextWidthPixels(const char* text)
{
    double w = 0, h = 0;
    LUiMeasureText(
        LCocoaControl::ValidText(text).c_str(), nullptr, LUiSystemFontSize(), false, w, h);
    return Ceil(GetBackingScaleFactor() * w);
}

int LMacWindow::MeasureStaticTextWidthPixels(int id)
{
    auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id));
    return label ? MeasureTextWidth(id, label->stringValue().c_str()) : 0;
}

int LMacWindow::MeasureTextWidth(int id)
{
    auto* control = dynamic_cast<LCocoaControlImpl*>(GetControlHandle(id));
    std::string text;
    if (!control || !control->textForMeasuring(text))
        return 0;
    return MeasureTextWidth(id, text.c_str());
}

int LMacWindow::MeasureTextWidth(int id, const char* text)
{
    auto* control = dynamic_cast<LCocoaControlImpl*>(GetControlHandle(id));
    if (!control || !text)
        return 0;
    const LCocoaControlFont& f = control->font();
    double w = 0, h = 0;
    LUiMeasureText(LCocoaControl::ValidText(text).c_str(), f.EffectiveFamily().c_str(),
        f.EffectiveSize(), f.bold, w, h);
    return Ceil(GetBackingScaleFactor() * w);
}

int LMacWindow::MeasureTextHeight(
    const char* family, double p, double s, const char* text, int widthPixels)
{
    std::string valid = LCocoaControl::ValidText(text);
    double width = std::max(widthPixels, 1) / s;
    int n = LUiMeasureTextLines(valid.c_str(), family, p, width);
    if (n == 0)
        return 0;
    double spacing = std::floor(p / 3);
    return Ceil(s * (n * p + (n + 1) * spacing));
}

int LMacWindow::MeasureTextHeight(int id, int widthPixels)
{
    auto* control = dynamic_cast<LCocoaControlImpl*>(GetControlHandle(id));
    std::string text;
    if (!control || !control->textForMeasuring(text))
        return 0;
    return MeasureTextHeight(id, text.c_str(), widthPixels);
}

int LMacWindow::MeasureTextHeight(int id, const char* text, int widthPixels)
{
    LCocoaControlFont f = FontOf(GetControlHandle(id));
    return MeasureTextHeight(
        f.EffectiveFamily().c_str(), f.EffectiveSize(), GetBackingScaleFactor(), text, widthPixels);
}

int LMacWindow::MeasureTextHeight(const char* text, int widthPixels)
{
    return MeasureTextHeight(
        LUiSystemFontFamily(), LUiSystemFontSize(), GetBackingScaleFactor(), text, widthPixels);
}

int LMacWindow::MeasureStaticTextHeightPixels(const char* text, int widthPixels)
{
    return MeasureTextHeight(text, widthPixels);
}

int LMacWindow::MeasureStaticTextHeightPixels(int id, int widthPixels)
{
    auto* label = dynamic_cast<LCocoaTextStaticImpl*>(GetControlHandle(id));
    return label ? MeasureTextHeight(id, label->stringValue().c_str(), widthPixels) : 0;
}

int LMacWindow::MeasureButtonWidthPixels(const char* text)
{
    return int(GetBackingScaleFactor() * R(LCocoaButtonImpl::pushButtonWidth(text)));
}

int LMacWindow::MeasureButtonWidthPixels(int id)
{
    auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id));
    return b ? int(GetBackingScaleFactor() * int(b->intrinsicWidth() + 2)) : 0;
}

int LMacWindow::MeasureCheckBoxWidthPixels(int id)
{
    auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id));
    if (!b)
        return 0;
    return MeasureStaticTextWidthPixels(b->text().c_str()) + R(CharWidthPixels() * 3);
}

int LMacWindow::GetCommandButtonWidthPixels()
{
    return int(GetBackingScaleFactor() * 100);
}

void LMacWindow::TrimTextToRect(char* text, const LRectangle& rect, int id, bool vertical)
{
    if (!text)
        return;
    LCocoaControlFont f = FontOf(GetControlHandle(id));
    std::string family = f.EffectiveFamily();
    double s = GetBackingScaleFactor();
    auto fits = [&](const std::string& t) {
        if (vertical)
            return MeasureTextHeight(
                       family.c_str(), f.EffectiveSize(), s, t.c_str(), rect.GetWidth())
                <= rect.GetHeight();
        double w = 0, h = 0;
        LUiMeasureText(t.c_str(), family.c_str(), f.EffectiveSize(), f.bold, w, h);
        return Ceil(s * w) <= rect.GetWidth();
    };
    // Texts are limited to 259 bytes and a NUL.
    std::string work = LCocoaControl::ValidText(text);
    work.resize(LCocoaControl::WholeCharacterPrefix(work.c_str(), 259));
    if (fits(work))
        return;
    if (!fits("..."))
        return; // nothing shorter fits either: left as it is
    while (!work.empty()) {
        // One whole character off the end.
        const char* start = work.c_str();
        const char* last = g_utf8_find_prev_char(start, start + work.size());
        work.resize(last ? size_t(last - start) : 0);
        std::string candidate = work + "...";
        if (candidate.size() <= 259 && fits(candidate)) {
            memcpy(text, candidate.c_str(), candidate.size() + 1);
            return;
        }
    }
    memcpy(text, "...", 4);
}

// --- the button row ------------------------------------------------------------------------------

void LMacWindow::LayoutOkCancelHelp(int x, int y, int w, int h)
{
    LayoutOkCancelHelpSpecial(0, x, y, w, h);
}

void LMacWindow::LayoutOkCancelHelpSpecial(int id, int x, int y, int w, int h)
{
    double ch = CharHeightPixels(), cw = CharWidthPixels(), s = GetBackingScaleFactor();
    // The row stands at the bottom of what the window shows.
    LimitToWorkArea(w, h);
    int bh = R(ch * 1.23);
    int r = y + h - bh - R(0.94 * ch);
    fButtonRow.clear();
    for (int row : { int(kLCmdHelp), int(kLCmdOk), int(kLCmdCancel), id })
        if (row != 0 && GetControlHandle(row))
            fButtonRow.push_back(row);
    fButtonBandPixels = y + h - r;
    if (GetControlHandle(kLCmdHelp))
        MoveControlPixels(kLCmdHelp, x + R(2 * cw), r, bh, bh);
    int right = w - R(2 * cw);
    int minimum = int(s * 96);
    if (GetControlHandle(kLCmdOk)) {
        int bw = std::max(MeasureButtonWidthPixels(kLCmdOk), minimum);
        MoveControlPixels(kLCmdOk, right - bw, r, bw, bh);
        right -= bw + R(cw * 1.25);
    }
    if (GetControlHandle(kLCmdCancel)) {
        int bw = std::max(MeasureButtonWidthPixels(kLCmdCancel), minimum);
        MoveControlPixels(kLCmdCancel, right - bw, r, bw, bh);
        right -= bw + R(cw * 1.25);
    }
    if (id == 0)
        return;
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id))) {
        int bw
            = b->isTypeCheckBox() ? MeasureCheckBoxWidthPixels(id) : MeasureButtonWidthPixels(id);
        MoveControlPixels(id, right - bw, r, bw, bh);
    }
}

// --- tips ----------------------------------------------------------------------------------------

namespace {

bool TipAllowed(LMacWindow& w, LCocoaTooltipImpl* tip)
{
    return tip && ViewInSuperview(w.GetContentView()) && !w.IsClosed();
}

} // namespace

BubbleTip& LMacWindow::GetBubbleTip()
{
    if (!fBubbleTip) {
        fBubbleTip = new LCocoaTooltipImpl(nullptr, true);
        fOwnBubbleTip.tip = fBubbleTip;
    }
    return fOwnBubbleTip;
}

void LMacWindow::BubbleTipShow(BubbleTip& tip, int id, const char* text, int, const char*)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    BubbleTipHide(tip);
    LView* control = GetControlHandle(id);
    if (!control)
        return;
    tip.control = control;
    BubbleTipSetText(tip, text);
    BubbleTipMove(tip);
}

void LMacWindow::BubbleTipSetText(BubbleTip& tip, const char* text)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    tip.tip->setParentWindow(GetContentView()->Window());
    tip.tip->setText(text ? text : "");
}

void LMacWindow::BubbleTipMove(BubbleTip& tip)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    if (IsWindowVisible() && tip.control) {
        tip.tip->moveToControl(tip.control);
        tip.tip->show();
    } else {
        tip.tip->hide();
    }
}

void LMacWindow::BubbleTipHide(BubbleTip& tip)
{
    if (!tip.tip)
        return;
    tip.control = nullptr;
    if (&tip == &fOwnBubbleTip)
        bBubbleTipAtPoint = false;
    tip.tip->hide();
}

void LMacWindow::BubbleTipHide()
{
    if (fBubbleTip)
        BubbleTipHide(fOwnBubbleTip);
}

void LMacWindow::BubbleTipFollow()
{
    if (!fBubbleTip || !fBubbleTip->isShown() || !TipAllowed(*this, fBubbleTip))
        return;
    if (fOwnBubbleTip.control) {
        fBubbleTip->moveToControl(fOwnBubbleTip.control);
        return;
    }
    LUiRect content;
    if (bBubbleTipAtPoint && LCocoaViewScreenRect(GetContentView(), content))
        fBubbleTip->moveToPoint(
            LUiPoint { content.x + fBubbleTipOffset.x, content.y + fBubbleTipOffset.y }, true);
}

void LMacWindow::BubbleTipFollowAbsolute(int x, int y)
{
    if (!fBubbleTip || !fBubbleTip->isShown() || !bBubbleTipAtPoint
        || !TipAllowed(*this, fBubbleTip))
        return;
    double s = GetBackingScaleFactor();
    const LUiPoint point { double(int(x / s)), double(int(y / s)) };
    fBubbleTip->moveToPoint(point, true);
    LUiRect content;
    if (LCocoaViewScreenRect(GetContentView(), content))
        fBubbleTipOffset = LUiPoint { point.x - content.x, point.y - content.y };
}

void LMacWindow::BubbleTipShowAbsolute(const char* text, int x, int y, int, const char*, bool)
{
    BubbleTip& tip = GetBubbleTip();
    if (!TipAllowed(*this, tip.tip))
        return;
    BubbleTipSetText(tip, text);
    BubbleTipMoveAbsolute(tip, x, y);
}

void LMacWindow::BubbleTipMoveAbsolute(BubbleTip& tip, int x, int y)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    double s = GetBackingScaleFactor();
    const LUiPoint point { double(int(x / s)), double(int(y / s)) };
    tip.tip->moveToPoint(point, true);
    tip.tip->show();
    // The window's own tip keeps its place in the window: it goes with the window.
    LUiRect content;
    if (&tip == &fOwnBubbleTip && LCocoaViewScreenRect(GetContentView(), content)) {
        bBubbleTipAtPoint = true;
        fBubbleTipOffset = LUiPoint { point.x - content.x, point.y - content.y };
    }
}

void LMacWindow::TrackableTipShow(
    TrackableTip& tip, LView*, const char* text, int x, int y, const char*)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    TrackableTipSetText(tip, text);
    TrackableTipMove(tip, x, y);
}

void LMacWindow::TrackableTipSetText(TrackableTip& tip, const char* text)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    tip.tip->setParentWindow(GetContentView()->Window());
    tip.tip->setText(text ? text : "");
}

void LMacWindow::TrackableTipMove(TrackableTip& tip, int x, int y)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    double s = GetBackingScaleFactor();
    tip.tip->moveToPoint(LUiPoint { double(int(x / s)), double(int(y / s)) }, true);
    tip.tip->show();
}

void LMacWindow::TrackableTipHide(TrackableTip& tip)
{
    if (tip.tip)
        tip.tip->hide();
}

void LMacWindow::TrackableTipShowDialog(
    TrackableTip& tip, int, const char* text, int x, int y, const char*)
{
    if (!TipAllowed(*this, tip.tip))
        return;
    double s = GetBackingScaleFactor();
    LUiPoint p = ConvertToCocoaPointScreen(x, y);
    TrackableTipSetText(tip, text);
    TrackableTipMove(tip, R(p.x * s), R(p.y * s));
}

// --- fonts ---------------------------------------------------------------------------------------

void LMacWindow::GetControlFont(LView* view, LGuiFont& font)
{
    LCocoaControlFont f = FontOf(view);
    double s = GetBackingScaleFactor(view);
    std::string family = f.EffectiveFamily();
    family.resize(LCocoaControl::WholeCharacterPrefix(family.c_str(), 259));
    font.CocoaFontCreate(family.c_str(), float(int(s * f.EffectiveSize())), f.bold, f.italic, 0);
    font.SetUnderline(f.underline);
    font.SetStrikeout(f.strikeout);
}

void LMacWindow::SetControlFont(LView* view, LGuiFont& font)
{
    auto* control = dynamic_cast<LCocoaControlImpl*>(view);
    if (!control || !font.HasFont())
        return;
    LCocoaControlFont f;
    char name[260] = {};
    font.GetName(name, sizeof name);
    f.family = font.IsSystemFont() ? std::string() : std::string(name);
    f.size = font.GetSizef() / GetBackingScaleFactor(view);
    f.bold = font.IsBold();
    f.italic = font.IsItalic();
    f.underline = font.IsUnderlined();
    f.strikeout = font.IsStrikeout();
    control->setFont(f);
}
