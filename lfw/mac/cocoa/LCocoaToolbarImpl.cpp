#include "lfw/mac/cocoa/LCocoaToolbarImpl.h"

#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

namespace {

constexpr double kButtonHeight = 42;
// The labels' height and font size at the default text size: both grow with a larger one.
constexpr double kLabelHeight = 14;
constexpr double kLabelFontSize = 11;
constexpr char kToolbarKey[] = "lfw-toolbar";
constexpr double kPlainWidth = 48;
constexpr double kWholeWidth = 58;
constexpr double kSplitWidth = 65;

int LowType(const LCocoaToolbarRow& row)
{
    return row.type & 0xFF;
}

bool IsDropDownType(int t)
{
    return t == 3 || t == 8 || t == 9 || t == 11 || (t >= 16 && t <= 18);
}
bool IsWholeType(int t)
{
    return t == 9 || t == 16 || t == 18;
}
bool IsCheckType(int t)
{
    return t == 10 || t == 15 || t == 17 || t == 18;
}
bool IsSelectableType(int t)
{
    return t == 7 || t == 8 || t == 9 || t == 14;
}

const char kFlexibleSpaceID[] = "NSToolbarFlexibleSpaceItem";
const char kSeparatorID[] = "NSToolbarSeparatorItem";

cairo_surface_t* LoadIcon(int id)
{
    auto load = LCocoaWindowHooksGet().loadResourceImage;
    if (!load || id < 0)
        return nullptr;
    char name[16];
    snprintf(name, sizeof name, "%d", id);
    return load(name);
}

// A 32 x 32 copy of the icon, overlaid (source-atop) with a grey at an alpha when alpha > 0.
cairo_surface_t* IconCopy(cairo_surface_t* icon, double grey, double alpha)
{
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
    cairo_t* cr = cairo_create(out);
    double w = cairo_image_surface_get_width(icon), h = cairo_image_surface_get_height(icon);
    if (w > 0 && h > 0)
        cairo_scale(cr, 32 / w, 32 / h);
    cairo_set_source_surface(cr, icon, 0, 0);
    cairo_paint(cr);
    cairo_identity_matrix(cr);
    if (alpha > 0) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr, grey, grey, grey, alpha);
        cairo_rectangle(cr, 0, 0, 32, 32);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return out;
}

void SetGrey(cairo_t* cr, double level, double alpha)
{
    cairo_set_source_rgba(cr, level, level, level, alpha);
}

double LabelHeight()
{
    return std::ceil(kLabelHeight * LUiTextScale());
}

PangoFontDescription* LabelFont()
{
    PangoFontDescription* font = pango_font_description_from_string("Sans");
    pango_font_description_set_absolute_size(font, kLabelFontSize * LUiTextScale() * PANGO_SCALE);
    return font;
}

} // namespace

// --- buttons -------------------------------------------------------------------------------------

LCocoaToolbarButton::LCocoaToolbarButton(const LUiRect& frame, LCocoaToolbarImpl* manager)
    : LCocoaViewBase(frame, manager ? manager->window() : nullptr)
    , pManager(manager)
{
    // A stop of the keyboard as a toolbar's button is; a click leaves the focus where it is.
    SetAcceptsFocus(true);
    SetCanBecomeKeyView(true);
}

LCocoaToolbarButton::~LCocoaToolbarButton()
{
    if (fImage)
        cairo_surface_destroy(fImage);
}

void LCocoaToolbarButton::setImage(cairo_surface_t* image)
{
    if (fImage)
        cairo_surface_destroy(fImage);
    fImage = image ? cairo_surface_reference(image) : nullptr;
    SetNeedsDisplay();
}

void LCocoaToolbarButton::setState(int state)
{
    fState = state;
    SetNeedsDisplay();
    if (Superview())
        Superview()->SetNeedsDisplay();
}

void LCocoaToolbarButton::drawImage(cairo_t* cr, cairo_surface_t* image, double x)
{
    if (!image)
        return;
    double w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    if (w <= 0 || h <= 0)
        return;
    cairo_save(cr);
    cairo_translate(cr, x, 3);
    cairo_scale(cr, 32 / w, 32 / h);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void LCocoaToolbarButton::drawFocus(cairo_t* cr)
{
    GtkWidget* w = ExistingWidget();
    if (!w || !gtk_widget_has_visible_focus(w))
        return;
    gtk_render_focus(gtk_widget_get_style_context(w), cr, 0, 0, Frame().width, Frame().height);
}

void LCocoaToolbarButton::Draw(cairo_t* cr, const LUiRect&)
{
    double x = std::trunc((Frame().width - 32) / 2);
    drawImage(cr, fImage, x);
    drawFocus(cr);
    if (!fImage)
        return;
    // Pressed (momentary change) and disabled looks over the image.
    if (!IsEnabled() || bClicked) {
        cairo_save(cr);
        cairo_rectangle(cr, x, 3, 32, 32);
        cairo_clip(cr);
        cairo_push_group(cr);
        drawImage(cr, fImage, x);
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        if (!IsEnabled())
            SetGrey(cr, 220 / 255.0, 0.55);
        else
            SetGrey(cr, 0, 0.3);
        cairo_paint(cr);
        cairo_pop_group_to_source(cr);
        cairo_paint(cr);
        cairo_restore(cr);
    }
}

bool LCocoaToolbarButton::KeyDown(const LUiEvent& e)
{
    constexpr uint32_t kModifiers = kLUiShift | kLUiControl | kLUiAlt | kLUiSuper;
    const bool press = e.keyval == GDK_KEY_space || e.keyval == GDK_KEY_KP_Space
        || e.keyval == GDK_KEY_Return || e.keyval == GDK_KEY_KP_Enter
        || e.keyval == GDK_KEY_ISO_Enter;
    if (!press || (e.modifiers & kModifiers) || e.isRepeat)
        return LCocoaViewBase::KeyDown(e);
    if (IsEnabled() && pManager) {
        Retain();
        pManager->handleItemClick(this, true);
        Release();
    }
    return true;
}

bool LCocoaToolbarButton::MouseDown(const LUiEvent& e)
{
    if (!IsEnabled())
        return true;
    bTracking = true;
    bClicked = true;
    pressBegan(e.x);
    SetNeedsDisplay();
    return true;
}

bool LCocoaToolbarButton::MouseDragged(const LUiEvent& e)
{
    if (!bTracking)
        return true;
    bool inside = Bounds().Contains(e.x, e.y);
    if (inside != bClicked) {
        bClicked = inside;
        SetNeedsDisplay();
    }
    return true;
}

bool LCocoaToolbarButton::MouseUp(const LUiEvent& e)
{
    if (!bTracking)
        return true;
    bTracking = false;
    bClicked = false;
    SetNeedsDisplay();
    if (Bounds().Contains(e.x, e.y) && pManager) {
        Retain();
        pManager->handleItemClick(this);
        Release();
    }
    return true;
}

LCocoaDropDownButton::LCocoaDropDownButton(
    const LUiRect& frame, bool whole, LCocoaToolbarImpl* manager)
    : LCocoaToolbarButton(frame, manager)
    , bWholeType(whole)
{
}

LCocoaDropDownButton::~LCocoaDropDownButton()
{
    releaseImages();
}

void LCocoaDropDownButton::releaseImages()
{
    for (cairo_surface_t** image : { &imgNormal, &imgHighlighted, &imgDisabled }) {
        if (*image)
            cairo_surface_destroy(*image);
        *image = nullptr;
    }
}

void LCocoaDropDownButton::updateColors()
{
    crStart = { 160 / 255.0, 1 };
    crEnd = { 210 / 255.0, 1 };
    crBorder = { 130 / 255.0, 1 };
    crArrow = { 25 / 255.0, 1 };
    crBorderDisabled = { 130 / 255.0, 0.55 };
    crArrowDisabled = { 25 / 255.0, 0.55 };
    SetNeedsDisplay();
}

void LCocoaDropDownButton::setIconID(int id)
{
    releaseImages();
    _iconID = id;
    if (cairo_surface_t* icon = LoadIcon(id)) {
        imgNormal = IconCopy(icon, 0, 0);
        imgHighlighted = IconCopy(icon, 0, 0.3);
        imgDisabled = IconCopy(icon, 220 / 255.0, 0.55);
        cairo_surface_destroy(icon);
    }
    SetNeedsDisplay();
}

double LCocoaDropDownButton::splitArrowX() const
{
    return std::trunc((Frame().width - 49) / 2) + 36;
}

void LCocoaDropDownButton::pressBegan(double x)
{
    bSplitTypeArrowClicked = bWholeType || x >= splitArrowX();
}

void LCocoaDropDownButton::Draw(cairo_t* cr, const LUiRect&)
{
    const double W = Frame().width, H = Frame().height;
    const bool enabled = IsEnabled();
    auto fill = [&](double x, double y, double w, double h) {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + h);
        cairo_pattern_add_color_stop_rgba(g, 0, crStart.level, crStart.level, crStart.level, 1);
        cairo_pattern_add_color_stop_rgba(g, 1, crEnd.level, crEnd.level, crEnd.level, 1);
        cairo_rectangle(cr, x, y, w, h);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        cairo_set_line_width(cr, 1);
        SetGrey(cr, crBorder.level, crBorder.alpha);
        cairo_rectangle(cr, x + 0.5, y + 0.5, w - 1, h - 1);
        cairo_stroke(cr);
    };
    double c, ax, ay;
    cairo_surface_t* image = imgNormal;
    if (bWholeType) {
        double x0 = (W - 50) / 2;
        c = std::trunc(3 + x0);
        if (enabled && bClicked) {
            fill(x0, 0, 50, H - 3);
            image = imgHighlighted;
        }
        ax = c + 35;
        ay = 11;
    } else {
        c = std::trunc((W - 49) / 2);
        if (enabled && bClicked && bSplitTypeArrowClicked) {
            fill(c + 38, 4, 12, 30);
        } else {
            const Grey& b = enabled ? crBorder : crBorderDisabled;
            SetGrey(cr, b.level, b.alpha);
            cairo_set_line_width(cr, 1);
            cairo_move_to(cr, c + 36.5, 4);
            cairo_line_to(cr, c + 36.5, 33);
            cairo_stroke(cr);
            if (enabled && bClicked)
                image = imgHighlighted;
        }
        ax = c + 40;
        ay = 27;
    }
    if (!enabled)
        image = imgDisabled;
    drawImage(cr, image, c);
    const Grey& a = enabled ? crArrow : crArrowDisabled;
    SetGrey(cr, a.level, a.alpha);
    cairo_move_to(cr, ax, ay);
    cairo_line_to(cr, ax + 8, ay);
    cairo_line_to(cr, ax + 4, ay + 4);
    cairo_close_path(cr);
    cairo_fill(cr);
    drawFocus(cr);
}

// --- item views ----------------------------------------------------------------------------------

LCocoaToolbarCheckItem::LCocoaToolbarCheckItem()
{
    // The selection highlight of the theme's controls.
    fColor[0] = 0.70;
    fColor[1] = 0.80;
    fColor[2] = 0.95;
}

void LCocoaToolbarCheckItem::setBackgroundColor(double r, double g, double b)
{
    fColor[0] = r;
    fColor[1] = g;
    fColor[2] = b;
    SetNeedsDisplay();
}

void LCocoaToolbarCheckItem::Draw(cairo_t* cr, const LUiRect& dirty)
{
    for (LView* sub : Subviews()) {
        auto* button = dynamic_cast<LCocoaToolbarButton*>(sub);
        if (!button)
            continue;
        if (button->state() == 1) {
            const LUiRect& f = button->Frame();
            cairo_set_source_rgb(cr, fColor[0], fColor[1], fColor[2]);
            cairo_rectangle(cr, f.x, f.y, f.width, f.height);
            cairo_fill(cr);
        }
        break;
    }
    LView::Draw(cr, dirty);
}

void LCocoaToolbarLabel::setText(const std::string& text)
{
    fText = text;
    SetNeedsDisplay();
}

double LCocoaToolbarLabel::textWidth(const std::string& text)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(s);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = LabelFont();
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return std::ceil(logical.width / double(PANGO_SCALE));
}

void LCocoaToolbarLabel::Draw(cairo_t* cr, const LUiRect&)
{
    if (fText.empty())
        return;
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = LabelFont();
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, fText.c_str(), -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    double w = logical.width / double(PANGO_SCALE), h = logical.height / double(PANGO_SCALE);
    GtkStyleContext* style = nullptr;
    GdkRGBA color { 0, 0, 0, 1 };
    if (LNativeWindow* window = Window(); window && window->Toolbar()) {
        style = gtk_widget_get_style_context(window->Toolbar());
        gtk_style_context_get_color(style, GTK_STATE_FLAG_NORMAL, &color);
    }
    gdk_cairo_set_source_rgba(cr, &color);
    cairo_move_to(cr, std::round((Frame().width - w) / 2), std::round((Frame().height - h) / 2));
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
}

// --- items ---------------------------------------------------------------------------------------

LCocoaToolbarItemImpl::LCocoaToolbarItemImpl(LCocoaToolbarButton* button,
    const std::string& identifier, const LCocoaToolbarRow* row, LCocoaToolbarImpl* manager)
    : pItem(row)
    , pManager(manager)
    , fIdentifier(identifier)
    , itemButton(button)
{
    const int type = LowType(*row);
    bDropDown = IsDropDownType(type);
    bDropDownWhole = IsWholeType(type);
    const double width = button->Frame().width;
    const double height = button->Frame().height + LabelHeight();
    itemView = IsCheckType(type) ? new LCocoaToolbarCheckItem() : new LView();
    itemView->SetFrame({ 0, 0, width, height });
    // The button above the label (the view is flipped: y grows downwards).
    button->SetFrame({ 0, 0, width, button->Frame().height });
    itemView->AddSubview(button);
    itemLabel = new LCocoaToolbarLabel();
    itemLabel->SetFrame({ 0, button->Frame().height, width, LabelHeight() });
    itemView->AddSubview(itemLabel);
    itemLabel->Release();

    fToolItem = GTK_WIDGET(gtk_tool_item_new());
    g_object_ref_sink(fToolItem);
    GtkWidget* w = itemView->Widget();
    gtk_widget_set_size_request(w, int(width), int(height));
    gtk_container_add(GTK_CONTAINER(fToolItem), w);
    gtk_widget_show_all(fToolItem);
}

LCocoaToolbarItemImpl::~LCocoaToolbarItemImpl()
{
    itemButton->detach();
    GtkWidget* parent = gtk_widget_get_parent(fToolItem);
    if (parent && !pManager->isToolbarDestroyed())
        gtk_container_remove(GTK_CONTAINER(parent), fToolItem);
    g_object_unref(fToolItem);
    itemButton->Release();
    itemView->Release();
}

void LCocoaToolbarItemImpl::setEnabled(bool enabled)
{
    fEnabled = enabled;
    itemButton->SetEnabled(enabled);
    itemButton->SetNeedsDisplay();
}

void LCocoaToolbarItemImpl::validate()
{
    itemButton->SetEnabled(fEnabled);
    itemButton->SetNeedsDisplay();
    if (dynamic_cast<LCocoaToolbarCheckItem*>(itemView))
        itemView->SetNeedsDisplay();
}

void LCocoaToolbarItemImpl::setItemString(const std::string& text)
{
    itemLabel->setText(text);
    const double minimum = bDropDownWhole ? kWholeWidth : bDropDown ? kSplitWidth : kPlainWidth;
    const double width = std::max(minimum, LCocoaToolbarLabel::textWidth(text) + 8);
    LUiRect view = itemView->Frame();
    view.width = width;
    itemView->SetFrame(view);
    LUiRect button = itemButton->Frame();
    button.width = width;
    itemButton->SetFrame(button);
    LUiRect label = itemLabel->Frame();
    itemLabel->SetFrame({ 0, label.y, width, label.height });
    gtk_widget_set_size_request(itemView->Widget(), int(width), int(view.height));
    if (GtkWidget* proxy = gtk_tool_item_get_proxy_menu_item(GTK_TOOL_ITEM(fToolItem), "lfw"))
        gtk_menu_item_set_label(GTK_MENU_ITEM(proxy), text.c_str());
}

void LCocoaToolbarItemImpl::textSizeChanged()
{
    const double buttonHeight = itemButton->Frame().height;
    LUiRect view = itemView->Frame();
    view.height = buttonHeight + LabelHeight();
    itemView->SetFrame(view);
    itemLabel->SetFrame({ 0, buttonHeight, view.width, LabelHeight() });
    // The width follows the label measured anew.
    setItemString(std::string(itemLabel->text()));
}

void LCocoaToolbarItemImpl::setIconID(int id)
{
    _iconID = id;
    if (auto* dropDown = dynamic_cast<LCocoaDropDownButton*>(itemButton)) {
        dropDown->setIconID(id);
        return;
    }
    if (cairo_surface_t* icon = LoadIcon(id)) {
        itemButton->setImage(icon);
        cairo_surface_destroy(icon);
    }
}

void LCocoaToolbarItemImpl::setToolTip(const char* text)
{
    itemButton->SetToolTipText(text);
    gtk_widget_set_tooltip_text(fToolItem, text && *text ? text : nullptr);
}

// --- the toolbar ---------------------------------------------------------------------------------

LCocoaToolbarImpl::LCocoaToolbarImpl(LCocoaWindow* window, const char* toolbarID)
    : pWindow(window)
    , fToolbarID(toolbarID ? toolbarID : "")
{
    tlbr = gtk_toolbar_new();
    g_object_ref_sink(tlbr);
    gtk_widget_set_name(tlbr, fToolbarID.c_str());
    gtk_toolbar_set_style(GTK_TOOLBAR(tlbr), GTK_TOOLBAR_ICONS);
    gtk_toolbar_set_show_arrow(GTK_TOOLBAR(tlbr), TRUE);
    g_object_set_data(G_OBJECT(tlbr), kToolbarKey, this);
    g_signal_connect(tlbr, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
        static_cast<LCocoaToolbarImpl*>(self)->fDestroyed = true;
    }),
        this);
}

LCocoaToolbarImpl::~LCocoaToolbarImpl()
{
    g_signal_handlers_disconnect_by_data(tlbr, this);
    g_object_set_data(G_OBJECT(tlbr), kToolbarKey, nullptr);
    if (!fDestroyed && pWindow && pWindow->IsAlive() && pWindow->GetNativeWindow()
        && pWindow->GetNativeWindow()->Toolbar() == tlbr)
        pWindow->GetNativeWindow()->SetToolbar(nullptr);
    resetItems();
    g_object_unref(tlbr);
}

LCocoaToolbarImpl* LCocoaToolbarImpl::fromWidget(GtkWidget* toolbar)
{
    return toolbar
        ? static_cast<LCocoaToolbarImpl*>(g_object_get_data(G_OBJECT(toolbar), kToolbarKey))
        : nullptr;
}

void LCocoaToolbarImpl::textSizeChanged()
{
    for (const Shown& shown : fShown)
        if (shown.item)
            shown.item->textSizeChanged();
}

std::string LCocoaToolbarImpl::identifierOfRow(const LCocoaToolbarRow& row) const
{
    int type = LowType(row);
    if (type == kLToolbarSeparator)
        return kSeparatorID;
    if (type == kLToolbarFlexibleSpace)
        return kFlexibleSpaceID;
    char suffix[32];
    snprintf(suffix, sizeof suffix, "_%d", row.commandID);
    return fToolbarID + "_" + (row.label ? row.label : "(null)") + suffix;
}

void LCocoaToolbarImpl::createItems()
{
    if (pItems.empty() || !pWindow || !pWindow->IsAlive())
        return;
    for (const LCocoaToolbarRow* row : pItems)
        arrItems.push_back(identifierOfRow(*row));
    if (LNativeWindow* native = pWindow->GetNativeWindow(); native && native->Toolbar() != tlbr)
        native->SetToolbar(tlbr);
    size_t index = 0;
    for (const std::string& identifier : arrItems) {
        if (identifier == kSeparatorID)
            continue;
        insertItem(index++, identifier);
    }
    if (isToolbarVisible()) {
        showToolbar(false);
        showToolbar(true);
    }
}

void LCocoaToolbarImpl::resetItems()
{
    while (!fShown.empty())
        removeItemAt(0);
    arrItems.clear();
}

void LCocoaToolbarImpl::insertItem(size_t index, const std::string& identifier)
{
    index = std::min(index, fShown.size());
    Shown shown { identifier, nullptr, nullptr };
    if (identifier == kFlexibleSpaceID) {
        GtkToolItem* space = gtk_separator_tool_item_new();
        gtk_separator_tool_item_set_draw(GTK_SEPARATOR_TOOL_ITEM(space), FALSE);
        gtk_tool_item_set_expand(space, TRUE);
        shown.toolItem = GTK_WIDGET(space);
        g_object_ref_sink(shown.toolItem);
        gtk_widget_show(shown.toolItem);
    } else {
        auto it = std::find(arrItems.begin(), arrItems.end(), identifier);
        if (it == arrItems.end())
            return;
        LCocoaToolbarItemImpl* item = createItem(size_t(it - arrItems.begin()));
        if (!item)
            return;
        shown.item = item;
        shown.toolItem = item->toolItem();
    }
    gtk_toolbar_insert(GTK_TOOLBAR(tlbr), GTK_TOOL_ITEM(shown.toolItem), int(index));
    fShown.insert(fShown.begin() + long(index), shown);
}

void LCocoaToolbarImpl::removeItemAt(size_t index)
{
    Shown shown = fShown[index];
    fShown.erase(fShown.begin() + long(index));
    if (shown.item) {
        delete shown.item;
    } else {
        if (!fDestroyed && gtk_widget_get_parent(shown.toolItem) == tlbr)
            gtk_container_remove(GTK_CONTAINER(tlbr), shown.toolItem);
        g_object_unref(shown.toolItem);
    }
}

LCocoaToolbarItemImpl* LCocoaToolbarImpl::createItem(size_t index)
{
    if (index >= pItems.size() || !pItems[index])
        return nullptr;
    const LCocoaToolbarRow& row = *pItems[index];
    const int type = LowType(row);
    LCocoaToolbarButton* button;
    if (IsDropDownType(type)) {
        bool whole = IsWholeType(type);
        auto* dropDown = new LCocoaDropDownButton(
            { 0, 0, whole ? kWholeWidth : kSplitWidth, kButtonHeight }, whole, this);
        dropDown->updateColors();
        button = dropDown;
    } else {
        button = new LCocoaToolbarButton({ 0, 0, kPlainWidth, kButtonHeight }, this);
    }
    auto* item = new LCocoaToolbarItemImpl(button, arrItems[index], &row, this);
    item->setEnabled(true);
    item->setIconID(row.imageID);
    item->setItemString(row.label ? row.label : "");
    item->setToolTip(row.toolTip);
    item->setCommandID(row.commandID);
    button->SetTag(row.commandID);
    // A row without a command only keeps its place (a gap): the keyboard passes over it.
    if (row.commandID == 0)
        button->SetAcceptsFocus(false);

    // The menu form shown when the bar overflows.
    GtkWidget* proxy = gtk_menu_item_new_with_label(row.label ? row.label : "");
    g_object_set_data(G_OBJECT(proxy), "lfw-command", GINT_TO_POINTER(row.commandID));
    g_signal_connect(proxy, "activate", G_CALLBACK(+[](GtkMenuItem* menuItem, gpointer self) {
        static_cast<LCocoaToolbarImpl*>(self)->handleMenuClick(
            GPOINTER_TO_INT(g_object_get_data(G_OBJECT(menuItem), "lfw-command")));
    }),
        this);
    gtk_tool_item_set_proxy_menu_item(GTK_TOOL_ITEM(item->toolItem()), "lfw", proxy);
    g_signal_connect(item->toolItem(), "create-menu-proxy",
        G_CALLBACK(+[](GtkToolItem* toolItem, gpointer) -> gboolean {
            // The proxy set above stays; answering true keeps GTK from clearing it.
            return gtk_tool_item_get_proxy_menu_item(toolItem, "lfw") != nullptr;
        }),
        nullptr);
    return item;
}

std::vector<std::string> LCocoaToolbarImpl::selectableIdentifiers() const
{
    std::vector<std::string> out;
    for (const LCocoaToolbarRow* row : pItems)
        if (row && IsSelectableType(LowType(*row)))
            out.push_back(identifierOfRow(*row));
    return out;
}

std::vector<std::string> LCocoaToolbarImpl::shownIdentifiers() const
{
    std::vector<std::string> out;
    for (const Shown& shown : fShown)
        out.push_back(shown.identifier);
    return out;
}

LCocoaToolbarItemImpl* LCocoaToolbarImpl::itemWithCommand(int command) const
{
    for (const Shown& shown : fShown)
        if (shown.item && shown.item->commandID() == command)
            return shown.item;
    return nullptr;
}

void LCocoaToolbarImpl::showToolbar(bool visible)
{
    if (pWindow && pWindow->GetNativeWindow())
        pWindow->GetNativeWindow()->SetToolbarVisible(visible);
    if (pWindow && pWindow->GetWindowManager())
        pWindow->GetWindowManager()->relayoutControls();
}

bool LCocoaToolbarImpl::isToolbarVisible() const
{
    return pWindow && pWindow->GetNativeWindow() && pWindow->GetNativeWindow()->Toolbar() == tlbr
        && pWindow->GetNativeWindow()->IsToolbarVisible();
}

void LCocoaToolbarImpl::enableItem(int command, bool enabled)
{
    if (LCocoaToolbarItemImpl* item = itemWithCommand(command)) {
        item->setEnabled(enabled);
        item->validate();
    }
}

bool LCocoaToolbarImpl::isItemEnabled(int command) const
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    return item && item->isEnabled();
}

void LCocoaToolbarImpl::showItem(int command, bool visible)
{
    if (!visible) {
        for (size_t i = 0; i < fShown.size(); ++i)
            if (fShown[i].item && fShown[i].item->commandID() == command) {
                removeItemAt(i);
                return;
            }
        return;
    }
    if (itemWithCommand(command))
        return;
    for (size_t i = 0; i < pItems.size() && i < arrItems.size(); ++i)
        if (pItems[i] && pItems[i]->commandID == command) {
            insertItem(std::min(i, fShown.size()), arrItems[i]);
            return;
        }
}

bool LCocoaToolbarImpl::isItemVisible(int command) const
{
    return itemWithCommand(command);
}

void LCocoaToolbarImpl::setItemLabel(int command, const char* label)
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    if (item && label)
        item->setItemString(label);
}

void LCocoaToolbarImpl::setItemIcon(int command, int icon)
{
    if (LCocoaToolbarItemImpl* item = itemWithCommand(command))
        item->setIconID(icon);
}

void LCocoaToolbarImpl::setItemTooltip(int command, const char* toolTip)
{
    if (LCocoaToolbarItemImpl* item = itemWithCommand(command))
        item->setToolTip(toolTip);
}

void LCocoaToolbarImpl::setToolbarItemIcon(LCocoaToolbarButton* button, int icon)
{
    if (!button)
        return;
    if (cairo_surface_t* image = LoadIcon(icon)) {
        button->setImage(image);
        cairo_surface_destroy(image);
    }
}

void LCocoaToolbarImpl::selectItem(int command, bool selected)
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    if (!item)
        return;
    fSelected = item->identifier();
    item->button()->setState(selected ? 1 : 0);
}

bool LCocoaToolbarImpl::isItemSelected(int command) const
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    return item && !fSelected.empty() && item->identifier() == fSelected;
}

void LCocoaToolbarImpl::setDropDownCommand(int command, int dropDownCommand)
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    if (!item)
        return;
    if (auto* button = dynamic_cast<LCocoaDropDownButton*>(item->button()))
        button->setDropDownCommand(dropDownCommand);
}

LUiRect LCocoaToolbarImpl::getDropDownItemBounds(int command) const
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    if (!item || !item->view() || !pWindow)
        return {};
    GtkWidget* w = item->view()->ExistingWidget();
    LView* content = pWindow->GetContentView();
    LNativeWindow* native = pWindow->GetNativeWindow();
    if (!w || !content || !native || !content->ExistingWidget())
        return {};
    int x = 0, y = 0;
    if (!gtk_widget_translate_coordinates(w, content->ExistingWidget(), 0, 0, &x, &y))
        return {};
    return { double(x), 0, item->view()->Frame().width, native->ToolbarHeight() };
}

void LCocoaToolbarImpl::sendCommand(int command, bool keepFocus)
{
    if (command == -1 || !pWindow || !pWindow->IsAlive())
        return;
    // Giving the content view the focus ends any text editing in the window first.
    LNativeWindow* native = pWindow->GetNativeWindow();
    if (native && !keepFocus) {
        if (!native->MakeFirstResponder(pWindow->GetContentView()))
            native->MakeFirstResponder(nullptr);
    }
    pWindow->SendCommand(command);
}

void LCocoaToolbarImpl::handleItemClick(LCocoaToolbarButton* sender, bool byKey)
{
    if (!pWindow || !pWindow->IsAlive() || !sender || !sender->IsEnabled())
        return;
    auto* dropDown = dynamic_cast<LCocoaDropDownButton*>(sender);
    const bool arrow = !byKey && dropDown && dropDown->isSplitTypeArrowClicked();
    sendCommand(arrow ? dropDown->dropDownCommand() : sender->Tag(), byKey);
}

void LCocoaToolbarImpl::handleMenuClick(int command)
{
    LCocoaToolbarItemImpl* item = itemWithCommand(command);
    if (!pWindow || !pWindow->IsAlive() || (item && !item->isEnabled()))
        return;
    sendCommand(command);
}
