#include "lfw/mac/cocoa/LCocoaComboBoxImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LEventHub.h"

#include <algorithm>
#include <cstring>

namespace {

enum { kColText, kColData, kColSeparator, kColImage, kColSelectedImage, kColumns };

// UTF-16 unit index to character index of a UTF-8 text.
int CharOfUtf16(const std::string& text, int index)
{
    int u = 0, chars = 0;
    for (const char* p = text.c_str(); *p && u < index; p = g_utf8_next_char(p), ++chars)
        u += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
    return chars;
}

} // namespace

// --- the view ----------------------------------------------------------------------------------

LCocoaComboBoxImpl::LCocoaComboBoxImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
    SetAnswersEnabled(true);
    SetAcceptsFocus(true);
    fStore = gtk_list_store_new(
        kColumns, G_TYPE_STRING, G_TYPE_UINT64, G_TYPE_BOOLEAN, G_TYPE_INT, G_TYPE_INT);
}

LCocoaComboBoxImpl::~LCocoaComboBoxImpl()
{
    if (fPressMonitor)
        LEventHub::RemoveMonitor(fPressMonitor);
    delete fManager;
    g_object_unref(fStore);
}

void LCocoaComboBoxImpl::setManager(LCocoaComboBoxManager* manager)
{
    if (manager != fManager)
        delete fManager;
    fManager = manager;
}

GtkEntry* LCocoaComboBoxImpl::entry() const
{
    return fEntry ? GTK_ENTRY(fEntry) : nullptr;
}

GtkWidget* LCocoaComboBoxImpl::CreateWidget()
{
    GtkWidget* combo = gtk_combo_box_new_with_model_and_entry(GTK_TREE_MODEL(fStore));
    gtk_combo_box_set_entry_text_column(GTK_COMBO_BOX(combo), kColText);
    gtk_combo_box_set_row_separator_func(
        GTK_COMBO_BOX(combo),
        +[](GtkTreeModel* model, GtkTreeIter* iter, gpointer) -> gboolean {
            gboolean separator = FALSE;
            gtk_tree_model_get(model, iter, kColSeparator, &separator, -1);
            return separator;
        },
        nullptr, nullptr);
    fEntry = gtk_bin_get_child(GTK_BIN(combo));
    gtk_entry_set_width_chars(GTK_ENTRY(fEntry), 1);
    gtk_entry_set_text(GTK_ENTRY(fEntry), fPendingText.c_str());
    gtk_entry_set_placeholder_text(GTK_ENTRY(fEntry), fPrompt.empty() ? nullptr : fPrompt.c_str());
    GtkEntryCompletion* completion = gtk_entry_completion_new();
    gtk_entry_completion_set_model(completion, GTK_TREE_MODEL(fStore));
    gtk_entry_completion_set_text_column(completion, kColText);
    gtk_entry_completion_set_inline_completion(completion, TRUE);
    gtk_entry_completion_set_popup_completion(completion, FALSE);
    gtk_entry_set_completion(GTK_ENTRY(fEntry), completion);
    g_object_unref(completion);
    g_signal_connect(combo, "changed", G_CALLBACK(OnChanged), this);
    g_signal_connect(combo, "notify::popup-shown", G_CALLBACK(OnPopupShown), this);
    g_signal_connect(fEntry, "changed", G_CALLBACK(OnEntryChanged), this);
    g_signal_connect(fEntry, "insert-text", G_CALLBACK(OnInsertText), this);
    g_signal_connect(fEntry, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    HookPresses(combo);
    ApplyStyle(fEntry);
    return combo;
}

// Presses anywhere in the combo box (its entry and its arrow button have windows of their own),
// seen before any widget has them, so before the arrow button opens the list.
void LCocoaComboBoxImpl::HookPresses(GtkWidget*)
{
    if (fPressMonitor)
        return;
    fPressMonitor = LEventHub::AddMonitor(
        kLEventHubButtonPress,
        +[](GdkEvent* e, void* d) -> bool {
            auto* self = static_cast<LCocoaComboBoxImpl*>(d);
            GtkWidget* combo = self->ExistingWidget();
            GtkWidget* target = gtk_get_event_widget(e);
            if (e->type != GDK_BUTTON_PRESS || !combo || !target
                || (target != combo && !gtk_widget_is_ancestor(target, combo)))
                return false;
            OnPress(combo, &e->button, d);
            return false;
        },
        this);
}

gboolean LCocoaComboBoxImpl::OnPress(GtkWidget* combo, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    GtkWidget* target = gtk_get_event_widget(reinterpret_cast<GdkEvent*>(event));
    if (!target)
        return FALSE;
    LUiRef<LView> hold(self);
    // The press in the combo box's coordinates.
    int x = int(event->x);
    int y = int(event->y);
    GdkWindow* from = event->window;
    GdkWindow* to = gtk_widget_get_window(target);
    while (from && from != to) {
        int dx = 0, dy = 0;
        gdk_window_get_position(from, &dx, &dy);
        x += dx;
        y += dy;
        from = gdk_window_get_parent(from);
    }
    if (!gtk_widget_get_has_window(target)) {
        GtkAllocation a;
        gtk_widget_get_allocation(target, &a);
        x -= a.x;
        y -= a.y;
    }
    int cx = 0, cy = 0;
    gtk_widget_translate_coordinates(target, combo, x, y, &cx, &cy);
    if (event->button == 3) {
        LCocoaView::loseEditControlFocus(self);
        return FALSE;
    }
    if (event->button == 1 && cx > self->Frame().width - 20) {
        LCocoaView::loseEditControlFocus(self);
        // The list is about to open.
        self->fDropdownSent = true;
        if (self->fManager)
            self->fManager->comboBoxWillPopUp();
    }
    return FALSE;
}

void LCocoaComboBoxImpl::OnPopupShown(GObject* object, GParamSpec*, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    gboolean shown = FALSE;
    g_object_get(object, "popup-shown", &shown, nullptr);
    if (!shown)
        return;
    // Opened from the keyboard: no press told of it.
    if (!self->fDropdownSent && self->fManager) {
        LUiRef<LView> hold(self);
        self->fManager->comboBoxWillPopUp();
    }
    self->fDropdownSent = false;
}

void LCocoaComboBoxImpl::OnChanged(GtkComboBox* combo, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    if (self->fSetting || gtk_combo_box_get_active(combo) < 0 || !self->fManager)
        return;
    LUiRef<LView> hold(self);
    self->fManager->comboBoxSelectionDidChange();
}

void LCocoaComboBoxImpl::OnEntryChanged(GtkEditable*, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    if (self->fSetting || !self->fManager)
        return;
    LUiRef<LView> hold(self);
    self->fManager->textDidChange();
}

void LCocoaComboBoxImpl::OnInsertText(
    GtkEditable* editable, gchar* text, gint len, gint* pos, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    if (!self->bIsNumeric || self->fSetting)
        return;
    std::string t(text, len >= 0 ? size_t(len) : strlen(text));
    std::string digits;
    for (char c : t)
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits == t)
        return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (digits.empty())
        return;
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), data);
    gtk_editable_insert_text(editable, digits.c_str(), int(digits.size()), pos);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), data);
}

gboolean LCocoaComboBoxImpl::OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data)
{
    auto* self = static_cast<LCocoaComboBoxImpl*>(data);
    if (self->fManager) {
        LUiRef<LView> hold(self);
        self->fManager->textDidEndEditing();
    }
    return FALSE;
}

std::string LCocoaComboBoxImpl::stringValue() const
{
    return fEntry ? std::string(gtk_entry_get_text(GTK_ENTRY(fEntry))) : fPendingText;
}

void LCocoaComboBoxImpl::setStringValue(const std::string& text)
{
    std::string t = LCocoaControl::ValidText(text.c_str());
    if (!fEntry) {
        fPendingText = t;
        return;
    }
    ++fSetting;
    gtk_entry_set_text(GTK_ENTRY(fEntry), t.c_str());
    --fSetting;
}

void LCocoaComboBoxImpl::setPrompt(const char* prompt)
{
    fPrompt = LCocoaControl::ValidText(prompt);
    if (fEntry)
        gtk_entry_set_placeholder_text(
            GTK_ENTRY(fEntry), fPrompt.empty() ? nullptr : fPrompt.c_str());
}

void LCocoaComboBoxImpl::pasteTextOverSelection(const char* text)
{
    Widget();
    std::string t = LCocoaControl::ValidText(text);
    GtkEditable* e = GTK_EDITABLE(fEntry);
    int start = 0, end = 0;
    if (!gtk_editable_get_selection_bounds(e, &start, &end))
        start = end = gtk_editable_get_position(e);
    gtk_editable_delete_text(e, start, end);
    int pos = start;
    gtk_editable_insert_text(e, t.c_str(), int(t.size()), &pos);
    gtk_editable_select_region(e, start, pos);
}

void LCocoaComboBoxImpl::selectTextFromIndex(int first, int last)
{
    if (first < 0 || last < first)
        return;
    Widget();
    std::string t = stringValue();
    int a = CharOfUtf16(t, first), b = CharOfUtf16(t, last + 1);
    GtkWidget* top = gtk_widget_get_toplevel(fEntry);
    GtkWidget* previous = GTK_IS_WINDOW(top) ? gtk_window_get_focus(GTK_WINDOW(top)) : nullptr;
    bool had = gtk_widget_has_focus(fEntry);
    if (!had)
        gtk_widget_grab_focus(fEntry);
    gtk_editable_select_region(GTK_EDITABLE(fEntry), a, b);
    if (!had && previous && previous != fEntry)
        gtk_widget_grab_focus(previous);
}

void LCocoaComboBoxImpl::popUp()
{
    if (GtkWidget* w = Widget())
        gtk_combo_box_popup(GTK_COMBO_BOX(w));
}

void LCocoaComboBoxImpl::popDown()
{
    if (GtkWidget* w = ExistingWidget())
        gtk_combo_box_popdown(GTK_COMBO_BOX(w));
}

// --- the manager -------------------------------------------------------------------------------

LCocoaComboBoxManager::LCocoaComboBoxManager(LCocoaComboBoxImpl* comboBox, LCocoaWindow* window)
    : cmbBox(comboBox)
    , pWindow(window)
{
}

std::string LCocoaComboBoxManager::TextOfRow(int row) const
{
    GtkTreeIter it;
    if (row < 0
        || !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(cmbBox->fStore), &it, nullptr, row))
        return {};
    gchar* t = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(cmbBox->fStore), &it, kColText, &t, -1);
    std::string out = t ? t : "";
    g_free(t);
    return out;
}

int LCocoaComboBoxManager::getItemWithText(const char* text) const
{
    std::string t = LCocoaControl::ValidText(text);
    if (!fTexts.count(t))
        return -1;
    GtkTreeModel* model = GTK_TREE_MODEL(cmbBox->fStore);
    GtkTreeIter it;
    int row = 0;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it), ++row) {
        gchar* s = nullptr;
        gtk_tree_model_get(model, &it, kColText, &s, -1);
        bool equal = s && t == s;
        g_free(s);
        if (equal)
            return row;
    }
    return -1;
}

int LCocoaComboBoxManager::Append(
    const std::string& text, uint64_t data, bool separator, int image, int selected)
{
    if (fTexts.count(text))
        return getItemWithText(text.c_str());
    gtk_list_store_insert_with_values(cmbBox->fStore, nullptr, -1, kColText, text.c_str(), kColData,
        guint64(data), kColSeparator, gboolean(separator), kColImage, image, kColSelectedImage,
        selected, -1);
    ++fTexts[text];
    if (separator)
        ++fSeparatorRows;
    return fRows++;
}

int LCocoaComboBoxManager::addItem(const char* text)
{
    return addItem(text, 0);
}

int LCocoaComboBoxManager::addItem(const char* text, uint64_t data)
{
    std::string t = LCocoaControl::ValidText(text);
    return Append(t, data, t == kLComboBoxSeparator, -1, -1);
}

int LCocoaComboBoxManager::addItem(const char* text, uint64_t data, int image, int selected)
{
    std::string t = LCocoaControl::ValidText(text);
    if (fTexts.count(t))
        return getItemWithText(t.c_str());
    if (image > 0 && !cmbBox->isExtended())
        return -1;
    return Append(t, data, t == kLComboBoxSeparator, cmbBox->isExtended() ? image : -1,
        cmbBox->isExtended() ? selected : -1);
}

int LCocoaComboBoxManager::InsertAt(
    const std::string& text, int row, uint64_t data, int image, int selected)
{
    gtk_list_store_insert_with_values(cmbBox->fStore, nullptr, row, kColText, text.c_str(),
        kColData, guint64(data), kColSeparator, gboolean(text == kLComboBoxSeparator), kColImage,
        image, kColSelectedImage, selected, -1);
    ++fTexts[text];
    if (text == kLComboBoxSeparator)
        ++fSeparatorRows;
    ++fRows;
    reloadAndSelectItem(row);
    return row;
}

int LCocoaComboBoxManager::insertItem(const char* text, int index)
{
    std::string t = LCocoaControl::ValidText(text);
    if (fTexts.count(t))
        return getItemWithText(t.c_str());
    if (index < 0)
        return -1;
    if (index >= fRows)
        return addItem(t.c_str());
    return InsertAt(t, index, 0, -1, -1);
}

int LCocoaComboBoxManager::insertItem(
    const char* text, int index, uint64_t data, int image, int selected)
{
    std::string t = LCocoaControl::ValidText(text);
    if (fTexts.count(t))
        return getItemWithText(t.c_str());
    if (index < 0 || (image >= 1 && !cmbBox->isExtended()))
        return -1;
    if (index >= fRows)
        return addItem(t.c_str(), data, image, selected);
    return InsertAt(
        t, index, data, cmbBox->isExtended() ? image : -1, cmbBox->isExtended() ? selected : -1);
}

void LCocoaComboBoxManager::reloadAndSelectItem(int row)
{
    GtkWidget* w = cmbBox->ExistingWidget();
    if (w && gtk_combo_box_get_active(GTK_COMBO_BOX(w)) < 0 && cmbBox->stringValue().empty()) {
        ++cmbBox->fSetting;
        gtk_combo_box_set_active(GTK_COMBO_BOX(w), row);
        --cmbBox->fSetting;
    }
}

void LCocoaComboBoxManager::addSeparator()
{
    addItem(kLComboBoxSeparator);
    ++nSeparators;
}

int LCocoaComboBoxManager::RowOfItem(int index) const
{
    if (index < 0)
        return -1;
    GtkTreeModel* model = GTK_TREE_MODEL(cmbBox->fStore);
    GtkTreeIter it;
    int row = 0, item = 0;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it), ++row) {
        gboolean separator = FALSE;
        gtk_tree_model_get(model, &it, kColSeparator, &separator, -1);
        if (separator)
            continue;
        if (item++ == index)
            return row;
    }
    return -1;
}

void LCocoaComboBoxManager::deleteItemAtIndex(int index)
{
    int row = RowOfItem(index);
    GtkTreeIter it;
    if (row < 0
        || !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(cmbBox->fStore), &it, nullptr, row))
        return;
    std::string t = TextOfRow(row);
    if (--fTexts[t] <= 0)
        fTexts.erase(t);
    --fRows;
    ++cmbBox->fSetting;
    gtk_list_store_remove(cmbBox->fStore, &it);
    --cmbBox->fSetting;
}

void LCocoaComboBoxManager::deleteAllItems()
{
    ++cmbBox->fSetting;
    gtk_list_store_clear(cmbBox->fStore);
    --cmbBox->fSetting;
    fTexts.clear();
    fRows = 0;
    fSeparatorRows = 0;
}

void LCocoaComboBoxManager::selectRow(int row)
{
    if (row < 0 || row >= fRows)
        return;
    GtkWidget* w = cmbBox->Widget();
    ++cmbBox->fSetting;
    gtk_combo_box_set_active(GTK_COMBO_BOX(w), row);
    --cmbBox->fSetting;
    cmbBox->setStringValue(TextOfRow(row));
}

void LCocoaComboBoxManager::selectItemWithText(const char* text)
{
    int row = getItemWithText(text);
    if (row >= 0)
        selectRow(row);
}

void LCocoaComboBoxManager::selectItemAtIndex(int index)
{
    int row = RowOfItem(index);
    if (row >= 0)
        selectRow(row);
}

int LCocoaComboBoxManager::getSelecteditem() const
{
    GtkWidget* w = cmbBox->ExistingWidget();
    int row = w ? gtk_combo_box_get_active(GTK_COMBO_BOX(w)) : -1;
    if (row < 0)
        return -1;
    GtkTreeModel* model = GTK_TREE_MODEL(cmbBox->fStore);
    GtkTreeIter it;
    int r = 0, item = 0;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it), ++r) {
        gboolean separator = FALSE;
        gtk_tree_model_get(model, &it, kColSeparator, &separator, -1);
        if (r == row)
            return separator ? -1 : item;
        if (!separator)
            ++item;
    }
    return -1;
}

void LCocoaComboBoxManager::getCurrentText(char* buffer) const
{
    LCocoaControl::CopyText(cmbBox->stringValue(), buffer, 260);
}

void LCocoaComboBoxManager::setCurrentText(const char* text)
{
    cmbBox->setStringValue(text ? text : "");
}

void LCocoaComboBoxManager::getItemText(char* buffer, int index, bool skipSeparators) const
{
    int row = skipSeparators ? RowOfItem(index) : index;
    LCocoaControl::CopyText(row >= 0 && row < fRows ? TextOfRow(row) : std::string(), buffer, 260);
}

void LCocoaComboBoxManager::setItemData(uint64_t data, int index)
{
    int row = RowOfItem(index);
    GtkTreeIter it;
    if (row >= 0
        && gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(cmbBox->fStore), &it, nullptr, row))
        gtk_list_store_set(cmbBox->fStore, &it, kColData, guint64(data), -1);
}

uint64_t LCocoaComboBoxManager::getItemDataAtIndex(int index) const
{
    int row = RowOfItem(index);
    GtkTreeIter it;
    guint64 data = 0;
    if (row >= 0
        && gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(cmbBox->fStore), &it, nullptr, row))
        gtk_tree_model_get(GTK_TREE_MODEL(cmbBox->fStore), &it, kColData, &data, -1);
    return data;
}

void LCocoaComboBoxManager::comboBoxWillPopUp()
{
    LCocoaView::sendCommand(cmbBox, fDropdownCommand, pWindow);
}

void LCocoaComboBoxManager::comboBoxSelectionDidChange()
{
    LCocoaView::sendCommand(cmbBox, fSelectionChangeCommand, pWindow);
}

void LCocoaComboBoxManager::textDidChange()
{
    LCocoaView::sendCommandWithKey(cmbBox, &keyCmdTextChanged, pWindow);
}

void LCocoaComboBoxManager::textDidEndEditing()
{
    // A typed value joins the list.
    std::string t = cmbBox->stringValue();
    if (!t.empty())
        addItem(t.c_str());
    LCocoaView::sendCommandWithKey(cmbBox, &keyCmdTextFocusLost, pWindow);
}
