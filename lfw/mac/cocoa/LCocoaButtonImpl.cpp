#include "lfw/mac/cocoa/LCocoaButtonImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaToolbarImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kLHelpCommand = LFourCC("ahlp");

// The inset of each kind: the frame is the visible button widened by it on every side (points).
struct Inset {
    int left, top, right, bottom;
};

// Push button widths by title. Measuring builds a button of its own, which costs about as much
// as showing one, and layouts ask for the same titles at every resize; the widths hold until a
// setting (theme, font, resolution) changes.
std::unordered_map<std::string, double>& MeasuredWidths()
{
    static std::unordered_map<std::string, double> widths;
    static bool watching = false;
    if (!watching) {
        if (GtkSettings* settings = gtk_settings_get_default()) {
            watching = true;
            g_signal_connect(settings, "notify",
                G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { MeasuredWidths().clear(); }),
                nullptr);
        }
    }
    return widths;
}

} // namespace

LCocoaButtonImpl::LCocoaButtonImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
}

LCocoaButtonImpl::~LCocoaButtonImpl()
{
    if (fImage)
        cairo_surface_destroy(fImage);
}

LCocoaButtonImpl* LCocoaButtonImpl::coolButtonWithID(int id, LCocoaWindow* window)
{
    auto* b = new LCocoaButtonImpl(LUiRect { 0, -300, 500, 30 }, window);
    b->setID(id);
    b->setTypeCoolButton();
    return b;
}

LCocoaButtonImpl* LCocoaButtonImpl::checkButtonWithID(int id, LCocoaWindow* window)
{
    auto* b = new LCocoaButtonImpl(LUiRect { 0, -300, 500, 30 }, window);
    b->setID(id);
    b->setTypeCheckButton();
    return b;
}

LCocoaButtonImpl* LCocoaButtonImpl::radioButtonWithID(
    int id, const LUiRect& rect, LCocoaWindow* window, const char* text, LView* group)
{
    auto* b = new LCocoaButtonImpl(rect, window);
    b->setID(id);
    b->setTypeRadioButton();
    b->setText(text);
    if (group) {
        b->setRadioButtonGroup(group);
        group->AddSubview(b);
        b->SetFrame(rect);
    }
    b->Release(); // the group holds it
    return group ? b : nullptr;
}

// --- identity and commands -------------------------------------------------------------------

void LCocoaButtonImpl::setID(int id)
{
    SetTag(id);
    if (id == -1)
        RemoveAssociatedValue(&keyCmdCoolButtonCommandUp);
    else
        LCocoaView::setCommandId(this, id, &keyCmdCoolButtonCommandUp);
}

void LCocoaButtonImpl::setCommandUp(int command)
{
    if (command != -1)
        LCocoaView::setCommandId(this, command, &keyCmdCoolButtonCommandUp);
}

void LCocoaButtonImpl::setCommandDown(int command)
{
    LCocoaView::setCommandId(this, command, &keyCmdCoolButtonCommandDown);
}

void LCocoaButtonImpl::sendCommandUp()
{
    if (IsEnabled())
        LCocoaView::sendCommandWithKey(this, &keyCmdCoolButtonCommandUp, pWindow);
}

void LCocoaButtonImpl::sendCommandDown()
{
    if (IsEnabled())
        LCocoaView::sendCommandWithKey(this, &keyCmdCoolButtonCommandDown, pWindow);
}

// --- text and images ---------------------------------------------------------------------------

void LCocoaButtonImpl::setText(const char* text)
{
    fTitle = LCocoaControl::ValidText(text);
    UpdateLabel();
}

void LCocoaButtonImpl::getText(char* buffer) const
{
    LCocoaControl::CopyText(fTitle, buffer, 260);
}

bool LCocoaButtonImpl::textForMeasuring(std::string& text) const
{
    text = fTitle;
    return true;
}

void LCocoaButtonImpl::setTextAlignmentLeft()
{
    fAlignLeft = true;
    UpdateLabel();
}

void LCocoaButtonImpl::setImagePosition(int position)
{
    fImagePosition = position;
    UpdateImage();
}

void LCocoaButtonImpl::setImageWithResourceID(int id)
{
    char name[16];
    snprintf(name, sizeof name, "%d", id);
    setImageWithResourceName(name);
}

void LCocoaButtonImpl::setImageWithResourceName(const char* name)
{
    if (fImage) {
        cairo_surface_destroy(fImage);
        fImage = nullptr;
    }
    auto load = LCocoaWindowHooksGet().loadResourceImage;
    fImage = name && load ? load(name) : nullptr;
    UpdateImage();
}

void LCocoaButtonImpl::setTextColor(double red, double green, double blue)
{
    fTextColor[0] = red;
    fTextColor[1] = green;
    fTextColor[2] = blue;
    UpdateLabel();
}

void LCocoaButtonImpl::updateCheckTypeTextColor()
{
    if (fState == 1)
        setTextColor(0, 0, 1);
    else
        setTextColor(-1, 0, 0);
}

// --- kinds ---------------------------------------------------------------------------------------

void LCocoaButtonImpl::setButtonTypeInt(int type)
{
    _buttonType = type;
    Rebuild();
}

void LCocoaButtonImpl::setTypeCheckBox()
{
    setButtonTypeInt(kLButtonTypeSwitch);
}

void LCocoaButtonImpl::setTypeCheckButton()
{
    fBezel = kLBezelRegularSquare;
    setButtonTypeInt(kLButtonTypePushOnPushOff);
}

void LCocoaButtonImpl::setTypeCoolButton()
{
    fBezel = kLBezelRegularSquare;
    setButtonTypeInt(kLButtonTypeMomentaryPushIn);
}

void LCocoaButtonImpl::setTypePushButton()
{
    fBezel = kLBezelRounded;
    setButtonTypeInt(kLButtonTypeMomentaryLight);
}

void LCocoaButtonImpl::setTypeRadioButton()
{
    setButtonTypeInt(kLButtonTypeRadio);
}

void LCocoaButtonImpl::setTypeHelpButton()
{
    fBezel = kLBezelHelpButton;
    setButtonTypeInt(kLButtonTypeMomentaryLight);
}

void LCocoaButtonImpl::setTypeDisclosureTriangle()
{
    fBezel = kLBezelDisclosure;
    setButtonTypeInt(kLButtonTypeOnOff);
}

bool LCocoaButtonImpl::isTypeHelpButton() const
{
    return _buttonType == kLButtonTypeMomentaryLight && fBezel == kLBezelHelpButton
        && Tag() == kLHelpCommand;
}

void LCocoaButtonImpl::setState(int state)
{
    fState = state == 1 ? 1 : 0;
    if (fButton && GTK_IS_TOGGLE_BUTTON(fButton)) {
        fSettingState = true;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(fButton), fState == 1);
        fSettingState = false;
    }
    if (isTypeDisclosureTriangle())
        UpdateImage();
}

void LCocoaButtonImpl::handleCustomDrawWith(LCocoaCoolButtonDrawBridge* container)
{
    pCoolButtonContainer = container;
    bCustomDraw = true;
    SetNeedsDisplay();
}

void LCocoaButtonImpl::setShowsBorderOnlyWhileMouseInside(bool yes)
{
    fBorderOnlyWhileMouseInside = yes;
    if (fButton)
        gtk_button_set_relief(GTK_BUTTON(fButton), yes ? GTK_RELIEF_NONE : GTK_RELIEF_NORMAL);
}

// --- clicks ----------------------------------------------------------------------------------

void LCocoaButtonImpl::performClick()
{
    if (!IsEnabled())
        return;
    LUiRef<LView> hold(this);
    if (isTypeRadioButton()) {
        // A click on a radio button turns it on and its group's others off.
        if (LView* group = radioButtonGroup_)
            for (LView* v : group->Subviews())
                if (auto* b = dynamic_cast<LCocoaButtonImpl*>(v); b && b != this)
                    if (b->isTypeRadioButton() && b->fState)
                        b->setState(0);
        setState(1);
    } else if (isTypeCheckBox() || isTypeCheckButton() || isTypeDisclosureTriangle()) {
        setState(fState ? 0 : 1);
    }
    handleClick();
}

void LCocoaButtonImpl::handleClick()
{
    LUiRef<LView> hold(this);
    sendCommandUp();
    if (isTypeCheckButton())
        updateCheckTypeTextColor();
}

void LCocoaButtonImpl::OnClicked(GtkButton* button, gpointer data)
{
    auto* self = static_cast<LCocoaButtonImpl*>(data);
    if (self->fSettingState || GTK_WIDGET(button) != self->fButton)
        return;
    LUiRef<LView> hold(self);
    if (GTK_IS_TOGGLE_BUTTON(button)) {
        bool active = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button));
        self->fState = active ? 1 : 0;
        // A radio button that another one of its group turned off sends nothing.
        if (self->isTypeRadioButton() && !active)
            return;
        if (self->isTypeDisclosureTriangle())
            self->UpdateImage();
    }
    self->handleClick();
}

gboolean LCocoaButtonImpl::OnPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<LCocoaButtonImpl*>(data);
    if (event->type != GDK_BUTTON_PRESS)
        return FALSE;
    LUiRef<LView> hold(self);
    LCocoaView::loseEditControlFocus(self);
    if (event->button == 1) {
        self->sendCommandDown();
        if (self->bCustomDraw)
            self->SetNeedsDisplay();
    }
    return FALSE;
}

gboolean LCocoaButtonImpl::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* self = static_cast<LCocoaButtonImpl*>(data);
    if (!self->bCustomDraw)
        return FALSE;
    if (self->pCoolButtonContainer) {
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        (void)widget;
        self->pCoolButtonContainer->EvCoolButtonCustomDraw(
            self->Tag(), cr, LUiRect { x1, y1, x2 - x1, y2 - y1 });
    }
    return TRUE;
}

// --- the GTK button ----------------------------------------------------------------------------

GtkWidget* LCocoaButtonImpl::CreateWidget()
{
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    fButton = MakeButton();
    gtk_box_pack_start(GTK_BOX(box), fButton, TRUE, TRUE, 0);
    gtk_widget_show(fButton);
    return box;
}

GtkWidget* LCocoaButtonImpl::MakeButton()
{
    GtkWidget* b;
    switch (_buttonType) {
    case kLButtonTypeSwitch:
        b = gtk_check_button_new();
        break;
    case kLButtonTypeRadio: {
        b = gtk_radio_button_new(nullptr);
        // Joined to the other radio buttons of the group view.
        if (radioButtonGroup_)
            for (LView* v : radioButtonGroup_->Subviews())
                if (auto* other = dynamic_cast<LCocoaButtonImpl*>(v); other && other != this
                    && other->fButton && GTK_IS_RADIO_BUTTON(other->fButton)) {
                    gtk_radio_button_join_group(
                        GTK_RADIO_BUTTON(b), GTK_RADIO_BUTTON(other->fButton));
                    break;
                }
        break;
    }
    case kLButtonTypePushOnPushOff:
    case kLButtonTypeOnOff:
        b = gtk_toggle_button_new();
        break;
    default:
        b = gtk_button_new();
        break;
    }
    if (fBezel == kLBezelHelpButton && _buttonType == kLButtonTypeMomentaryLight)
        gtk_style_context_add_class(gtk_widget_get_style_context(b), "circular");
    if (_buttonType == kLButtonTypeMomentaryPushIn || fBorderOnlyWhileMouseInside
        || isTypeDisclosureTriangle())
        gtk_button_set_relief(GTK_BUTTON(b), GTK_RELIEF_NONE);
    if (GTK_IS_TOGGLE_BUTTON(b)) {
        fSettingState = true;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), fState == 1);
        fSettingState = false;
    }
    gtk_widget_set_focus_on_click(b, FALSE);
    if (fRefusesFirstResponder)
        gtk_widget_set_can_focus(b, FALSE);
    g_signal_connect(b, "clicked", G_CALLBACK(OnClicked), this);
    g_signal_connect(b, "button-press-event", G_CALLBACK(OnPress), this);
    g_signal_connect(b, "draw", G_CALLBACK(OnDraw), this);
    gtk_widget_set_sensitive(b, TRUE);
    GtkWidget* old = fButton;
    fButton = b;
    fBuiltType = _buttonType;
    fBuiltBezel = fBezel;
    UpdateStyle();
    UpdateImage();
    UpdateLabel();
    fButton = old;
    return b;
}

void LCocoaButtonImpl::Rebuild()
{
    GtkWidget* box = ExistingWidget();
    if (!box) {
        UpdateStyle();
        return;
    }
    // The same kind needs no new GTK button.
    if (fButton && fBuiltType == _buttonType && fBuiltBezel == fBezel)
        return;
    if (fButton)
        gtk_widget_destroy(fButton);
    fButton = MakeButton();
    gtk_box_pack_start(GTK_BOX(box), fButton, TRUE, TRUE, 0);
    gtk_widget_show(fButton);
}

void LCocoaButtonImpl::UpdateStyle()
{
    // The margins equal the inset MoveControlPixels adds, so the visible button lies on the
    // rectangle asked for: 4 points wide for check boxes, check buttons and cool buttons, 12
    // for the others; 3 high (4 for a cool button), the odd point below.
    const char* styleClass = "";
    if (!isTypeRadioButton() && fBezel != kLBezelShadowlessSquare)
        styleClass = isTypeCoolButton()                 ? "vt-inset-cool"
            : (isTypeCheckButton() || isTypeCheckBox()) ? "vt-inset-4"
                                                        : "vt-inset-12";
    setStyleClass(styleClass);
    if (fButton && fBezel == kLBezelHelpButton && _buttonType == kLButtonTypeMomentaryLight)
        gtk_style_context_add_class(gtk_widget_get_style_context(fButton), "vt-help");
}

void LCocoaButtonImpl::UpdateImage()
{
    if (!fButton || !GTK_IS_BUTTON(fButton))
        return;
    GtkWidget* image = nullptr;
    if (fBezel == kLBezelHelpButton && _buttonType == kLButtonTypeMomentaryLight)
        image = gtk_image_new_from_icon_name("help-browser-symbolic", GTK_ICON_SIZE_BUTTON);
    else if (isTypeDisclosureTriangle())
        image = gtk_image_new_from_icon_name(
            fState ? "pan-down-symbolic" : "pan-end-symbolic", GTK_ICON_SIZE_BUTTON);
    else if (fImage && fImagePosition != kLImageNone)
        image = gtk_image_new_from_surface(fImage);
    gtk_button_set_image(GTK_BUTTON(fButton), image);
    if (image) {
        gtk_button_set_always_show_image(GTK_BUTTON(fButton), TRUE);
        GtkPositionType pos = fImagePosition == kLImageRight ? GTK_POS_RIGHT
            : fImagePosition == kLImageAbove                 ? GTK_POS_TOP
                                                             : GTK_POS_LEFT;
        gtk_button_set_image_position(GTK_BUTTON(fButton), pos);
    }
    UpdateImageOpacity();
    UpdateLabel();
}

void LCocoaButtonImpl::SetEnabled(bool enabled)
{
    LCocoaControlImpl::SetEnabled(enabled);
    UpdateImageOpacity();
}

void LCocoaButtonImpl::UpdateImageOpacity()
{
    // Only pictures of the program's own: the theme's icons fade by themselves.
    if (!fButton || !GTK_IS_BUTTON(fButton) || !fImage || fImagePosition == kLImageNone)
        return;
    if (GtkWidget* image = gtk_button_get_image(GTK_BUTTON(fButton)))
        gtk_widget_set_opacity(image, IsEnabled() ? 1.0 : 0.35);
}

void LCocoaButtonImpl::UpdateLabel()
{
    if (!fButton)
        return;
    bool imageOnly = (fImagePosition == kLImageOnly && fImage) || isTypeDisclosureTriangle()
        || (fBezel == kLBezelHelpButton && _buttonType == kLButtonTypeMomentaryLight);
    if (imageOnly || fTitle.empty()) {
        if (gtk_button_get_label(GTK_BUTTON(fButton)))
            gtk_button_set_label(GTK_BUTTON(fButton), nullptr);
        if (imageOnly || gtk_button_get_image(GTK_BUTTON(fButton)))
            return;
    }
    // GtkEntry-sized limits do not apply to buttons, but a title of megabytes is of no use:
    // it is shown cut at a whole character.
    std::string title = fTitle.substr(0, LCocoaControl::WholeCharacterPrefix(fTitle.c_str(), 4096));
    gtk_button_set_label(GTK_BUTTON(fButton), title.c_str());
    gtk_button_set_use_underline(GTK_BUTTON(fButton), FALSE);
    GtkWidget* label = nullptr;
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(fButton));
    if (child && GTK_IS_LABEL(child)) {
        label = child;
    } else if (child && GTK_IS_CONTAINER(child)) {
        // With an image the label sits in a box (or an alignment holding one).
        std::vector<GtkWidget*> todo { child };
        while (!todo.empty() && !label) {
            GtkWidget* w = todo.back();
            todo.pop_back();
            if (GTK_IS_LABEL(w)) {
                label = w;
            } else if (GTK_IS_CONTAINER(w)) {
                GList* kids = gtk_container_get_children(GTK_CONTAINER(w));
                for (GList* l = kids; l; l = l->next)
                    todo.push_back(GTK_WIDGET(l->data));
                g_list_free(kids);
            }
        }
    }
    if (!label)
        return;
    if (fAlignLeft) {
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        if (GtkWidget* inner = gtk_bin_get_child(GTK_BIN(fButton)))
            gtk_widget_set_halign(inner, GTK_ALIGN_START);
    }
    PangoAttrList* attrs = pango_attr_list_new();
    if (fTextColor[0] >= 0)
        pango_attr_list_insert(attrs,
            pango_attr_foreground_new(guint16(fTextColor[0] * 65535),
                guint16(fTextColor[1] * 65535), guint16(fTextColor[2] * 65535)));
    if (font().underline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font().strikeout)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    gtk_label_set_attributes(GTK_LABEL(label), attrs);
    pango_attr_list_unref(attrs);
    ApplyStyle(fButton);
}

double LCocoaButtonImpl::intrinsicWidth()
{
    GtkWidget* box = Widget();
    (void)box;
    int min = 0, nat = 0;
    if (fButton)
        gtk_widget_get_preferred_width(fButton, &min, &nat);
    // Without the margins that stand for the inset.
    GtkStyleContext* sc = fButton ? gtk_widget_get_style_context(fButton) : nullptr;
    GtkBorder margin {};
    if (sc)
        gtk_style_context_get_margin(sc, gtk_style_context_get_state(sc), &margin);
    return std::max(0, nat - margin.left - margin.right);
}

double LCocoaButtonImpl::pushButtonWidth(const char* title)
{
    auto& widths = MeasuredWidths();
    const std::string key = title ? title : "";
    if (auto known = widths.find(key); known != widths.end())
        return known->second;
    auto* b = new LCocoaButtonImpl(LUiRect { 0, 0, 100, 20 }, nullptr);
    b->setTypePushButton();
    b->setText(title);
    double w = b->intrinsicWidth();
    b->Release();
    // Only once GTK runs (before, there is no style to measure with).
    if (gtk_settings_get_default())
        widths.emplace(key, w);
    return w;
}

void LCocoaButtonImpl::setRefusesFirstResponder(bool refuses)
{
    fRefusesFirstResponder = refuses;
    if (fButton)
        gtk_widget_set_can_focus(fButton, !refuses);
}

namespace {

// The first enabled, shown button below root (breadth first) whose key equivalent is key.
LCocoaButtonImpl* ButtonWithKey(LView* root, const char* key)
{
    std::vector<LView*> todo { root };
    while (!todo.empty()) {
        LView* v = todo.front();
        todo.erase(todo.begin());
        if (auto* b = dynamic_cast<LCocoaButtonImpl*>(v);
            b && b->keyEquivalent() == key && b->IsEnabled() && !b->IsHiddenOrHasHiddenAncestor())
            return b;
        for (LView* sub : v->Subviews())
            todo.push_back(sub);
    }
    return nullptr;
}

} // namespace

bool LCocoaButtonImpl::performKeyEquivalentInView(LView* root, const LUiEvent& event)
{
    if (!root || event.type != LUiEventType::KeyDown)
        return false;
    if (event.modifiers & (kLUiControl | kLUiAlt | kLUiSuper | kLUiShift))
        return false;
    const char* key = nullptr;
    if (event.keyval == GDK_KEY_Return || event.keyval == GDK_KEY_KP_Enter
        || event.keyval == GDK_KEY_ISO_Enter)
        key = "\r";
    else if (event.keyval == GDK_KEY_Escape)
        key = "\033";
    if (!key)
        return false;
    if (LCocoaButtonImpl* b = ButtonWithKey(root, key)) {
        b->performClick();
        return true;
    }
    return false;
}

LCocoaButtonImpl* LCocoaButtonImpl::defaultButtonInView(LView* root)
{
    return root ? ButtonWithKey(root, "\r") : nullptr;
}

bool LCocoaButtonImpl::takesReturn() const
{
    return !isTypeCheckBox() && !isTypeRadioButton();
}

bool LCocoaButtonImpl::focusDefaultButtonFirst(LNativeWindow& window)
{
    // A button of the window's toolbar ("Ny", which empties the layout) counts as well.
    LView* focused = window.FirstResponder();
    auto* first = dynamic_cast<LCocoaButtonImpl*>(focused);
    const bool tool = dynamic_cast<LCocoaToolbarButton*>(focused) != nullptr;
    if (!tool && (!first || !first->takesReturn() || first->fKeyEquivalent == "\r"))
        return false;
    LCocoaButtonImpl* button = defaultButtonInView(window.ContentView());
    if (!button || !button->fButton || !gtk_widget_get_can_focus(button->fButton))
        return false;
    gtk_widget_grab_focus(button->fButton);
    return window.FirstResponder() == button;
}

// --- radio button group
// ----------------------------------------------------------------------------

LCocoaRadioButtonGroupImpl::LCocoaRadioButtonGroupImpl(const LUiRect& frame)
    : LCocoaViewBase(frame, nullptr)
{
}

GtkWidget* LCocoaRadioButtonGroupImpl::CreateWidget()
{
    GtkWidget* w = LView::CreateWidget();
    // Input only where a radio button lies: the rest passes to what is below.
    g_signal_connect_after(w, "size-allocate",
        G_CALLBACK(+[](GtkWidget* widget, GdkRectangle*, gpointer) { UpdateInputShape(widget); }),
        nullptr);
    g_signal_connect_after(w, "realize",
        G_CALLBACK(+[](GtkWidget* widget, gpointer) { UpdateInputShape(widget); }), nullptr);
    return w;
}

void LCocoaRadioButtonGroupImpl::FrameDidChange()
{
    if (GtkWidget* w = ExistingWidget())
        UpdateInputShape(w);
}

void LCocoaRadioButtonGroupImpl::UpdateInputShape(GtkWidget* widget)
{
    GdkWindow* window = gtk_widget_get_realized(widget) ? gtk_widget_get_window(widget) : nullptr;
    if (!window || !gtk_widget_get_has_window(widget))
        return;
    cairo_region_t* region = cairo_region_create();
    GList* kids = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* l = kids; l; l = l->next) {
        GtkWidget* child = GTK_WIDGET(l->data);
        if (!gtk_widget_get_visible(child))
            continue;
        GtkAllocation a;
        gtk_widget_get_allocation(child, &a);
        cairo_rectangle_int_t r { a.x, a.y, a.width, a.height };
        cairo_region_union_rectangle(region, &r);
    }
    g_list_free(kids);
    gdk_window_input_shape_combine_region(window, region, 0, 0);
    cairo_region_destroy(region);
    // The group's own window passes clicks through; its radio buttons still take theirs.
    gdk_window_set_pass_through(window, TRUE);
}
