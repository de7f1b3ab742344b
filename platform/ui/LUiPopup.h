// A borderless pop-up window above every other window (tips): its owner draws it with Cairo, it
// takes no input (clicks fall through to what is below), and its shape follows what is drawn,
// so rounded corners and arrows need no compositor, also after a change of scale. Geometry in
// screen points, y down.
#pragma once

#include "platform/ui/LUiTypes.h"

#include <functional>
#include <gtk/gtk.h>

class LUiPopup {
public:
    // Draws the window's content at its size (points).
    using DrawFunction = std::function<void(cairo_t* cr, double width, double height)>;

    LUiPopup();
    ~LUiPopup();
    LUiPopup(const LUiPopup&) = delete;
    LUiPopup& operator=(const LUiPopup&) = delete;

    void SetDraw(DrawFunction draw) { fDraw = std::move(draw); }
    // Moves and sizes the window (whole points, at least 1 x 1) and shapes it anew.
    void SetFrame(const LUiRect& frame);
    LUiRect Frame() const { return fFrame; }
    void Show();
    void Hide();
    bool IsVisible() const;
    // Draws and shapes the window again (its content changed).
    void Redraw();
    GtkWindow* Gtk() const { return fWindow; }

private:
    void Reshape();
    void ScaleChanged();
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);

    GtkWindow* fWindow = nullptr;
    DrawFunction fDraw;
    LUiRect fFrame { 0, 0, 1, 1 };
};
