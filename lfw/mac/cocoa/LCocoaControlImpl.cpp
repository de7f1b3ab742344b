#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include "platform/ui/LUiSystem.h"

#include <clocale>
#include <cstdio>
#include <cstring>

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

void LCocoaControlImpl::setExtraStyle(const std::string& css)
{
    fExtraCss = css;
    if (GtkWidget* w = StyledWidget())
        ApplyStyle(w);
}

void LCocoaControlImpl::ApplyStyle(GtkWidget* widget)
{
    if (!widget)
        return;
    if (!fProvider)
        fProvider = gtk_css_provider_new();
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
    gtk_css_provider_load_from_data(fProvider, css.c_str(), -1, nullptr);
    if (fStyled != widget) {
        if (fStyled) {
            gtk_style_context_remove_provider(
                gtk_widget_get_style_context(fStyled), GTK_STYLE_PROVIDER(fProvider));
            g_object_remove_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
        }
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
            GTK_STYLE_PROVIDER(fProvider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        fStyled = widget;
        g_object_add_weak_pointer(G_OBJECT(fStyled), reinterpret_cast<gpointer*>(&fStyled));
    }
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
