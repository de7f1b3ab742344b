#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include "platform/ui/LUiSystem.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>

std::string LCocoaControlFont::EffectiveFamily() const
{
    return family.empty() ? std::string(LUiSystemFontFamily()) : family;
}

double LCocoaControlFont::EffectiveSize() const
{
    return size > 0 ? size : LUiSystemFontSize();
}

LCocoaControlImpl::LCocoaControlImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
}

LCocoaControlImpl::~LCocoaControlImpl()
{
    if (fStyled)
        g_object_remove_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
    if (fProvider)
        g_object_unref(fProvider);
}

void LCocoaControlImpl::setFont(const LCocoaControlFont& font)
{
    fFont = font;
    if (GtkWidget* w = StyledWidget())
        ApplyStyle(w);
    FontDidChange();
}

void LCocoaControlImpl::textSizeChanged(double ratio)
{
    if (fFont.size > 0)
        fFont.size *= ratio;
    // Only a style that was applied is applied again: the font of a control whose style was
    // kept for later stays the theme's, as in a control made at the new size.
    if (fCss.empty() || !fStyled)
        return;
    ApplyStyle(fStyled);
    FontDidChange();
}

void LCocoaControlImpl::setExtraStyle(const std::string& css)
{
    fExtraCss = css;
    if (GtkWidget* w = StyledWidget())
        ApplyStyle(w);
}

namespace {

// One provider per style sheet text: controls of a kind share theirs, so a window of many
// controls parses a few sheets only.
GtkCssProvider* SharedProvider(const std::string& css)
{
    static std::map<std::string, GtkCssProvider*> providers;
    auto it = providers.find(css);
    if (it != providers.end())
        return it->second;
    if (providers.size() > 256) {
        for (auto& [text, provider] : providers)
            g_object_unref(provider);
        providers.clear();
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    providers.emplace(css, provider);
    return provider;
}

} // namespace

// The style classes of the control kinds, one sheet for the whole screen: widgets that share
// them share their styles too.
void LCocoaControlInstallClassSheet()
{
    static bool installed = false;
    GdkScreen* screen = gdk_screen_get_default();
    if (installed || !screen)
        return;
    installed = true;
    static const char css[] = R"css(
.vt-inset-12 { margin: 1px 6px 2px 6px; }
.vt-inset-4 { margin: 1px 2px 2px 2px; }
.vt-inset-cool { margin: 2px 2px 2px 2px; }
.vt-help { padding: 0; min-width: 0; min-height: 0; }
entry.vt-input { border: 1px solid alpha(currentColor, 0.35); border-radius: 0; padding: 0 4px;
    min-height: 0; box-shadow: none; }
entry.vt-input:focus { border-color: @theme_selected_bg_color;
    box-shadow: inset 0 0 0 1px @theme_selected_bg_color; }
)css";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        screen, GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    g_object_unref(provider);
}

void LCocoaControlImpl::setStyleClass(const char* styleClass)
{
    fClass = styleClass ? styleClass : "";
    if (GtkWidget* w = StyledWidget())
        ApplyStyle(w);
}

void LCocoaControlImpl::ApplyStyle(GtkWidget* widget)
{
    if (!widget)
        return;
    LCocoaControlInstallClassSheet();
    GtkStyleContext* sc = gtk_widget_get_style_context(widget);
    if (fStyled != widget || fClass != fAppliedClass) {
        if (fStyled == widget && !fAppliedClass.empty())
            gtk_style_context_remove_class(sc, fAppliedClass.c_str());
        if (!fClass.empty())
            gtk_style_context_add_class(sc, fClass.c_str());
        fAppliedClass = fClass;
    }
    // The theme's font and no style of its own: nothing more (the widget keeps sharing its
    // style with its kind).
    bool plain = fFont.family.empty() && fFont.size <= 0 && !fFont.bold && !fFont.italic
        && fExtraCss.empty();
    if (plain) {
        if (fStyled && fProvider)
            gtk_style_context_remove_provider(
                gtk_widget_get_style_context(fStyled), GTK_STYLE_PROVIDER(fProvider));
        if (fProvider)
            g_object_unref(fProvider);
        fProvider = nullptr;
        fCss.clear();
        if (fStyled != widget) {
            if (fStyled)
                g_object_remove_weak_pointer(
                    G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
            fStyled = widget;
            g_object_add_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
        }
        return;
    }
    // Font sizes in px: CSS points are 4/3 larger than the layer's points.
    char size[64];
    snprintf(size, sizeof size, "%.3fpx", fFont.EffectiveSize());
    for (char* c = size; *c; ++c)
        if (*c == ',')
            *c = '.';
    std::string family;
    for (char c : fFont.EffectiveFamily())
        if (c != '"' && c != '\\' && c != ';' && c != '}' && c != '{')
            family += c;
    std::string css = "* { font-family: \"" + family + "\"; font-size: " + size
        + "; font-weight: " + (fFont.bold ? "bold" : "normal")
        + "; font-style: " + (fFont.italic ? "italic" : "normal") + "; " + fExtraCss + " }";
    if (fStyled == widget && css == fCss)
        return;
    GtkCssProvider* provider = SharedProvider(css);
    if (fStyled && fProvider)
        gtk_style_context_remove_provider(
            gtk_widget_get_style_context(fStyled), GTK_STYLE_PROVIDER(fProvider));
    if (fStyled != widget) {
        if (fStyled)
            g_object_remove_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
        fStyled = widget;
        g_object_add_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
    }
    g_object_ref(provider);
    if (fProvider)
        g_object_unref(fProvider);
    fProvider = provider;
    fCss = css;
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
        GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
}

namespace LCocoaControl {

size_t WholeCharacterPrefix(const char* text, size_t maxBytes)
{
    if (!text)
        return 0;
    size_t n = strnlen(text, maxBytes + 1);
    if (n <= maxBytes)
        return n;
    n = maxBytes;
    // Back over continuation bytes to the start of the character that does not fit.
    while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

void CopyText(const std::string& text, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    size_t n = WholeCharacterPrefix(text.c_str(), size - 1);
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string ValidText(const char* text)
{
    if (!text)
        return std::string();
    if (g_utf8_validate(text, -1, nullptr))
        return text;
    gchar* valid = g_utf8_make_valid(text, -1);
    std::string out(valid);
    g_free(valid);
    return out;
}

} // namespace LCocoaControl
