// The editable combo box: an entry with a list of items to pick from or type over, inline
// completion, a numeric mode, separator rows and a grey prompt. Its manager keeps the items (texts
// are unique) and sends the window its commands. A row counts every item; an item index counts
// only the items that are not separators.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class LCocoaComboBoxManager;

// The text of a separator row.
inline constexpr const char* kLComboBoxSeparator = "------------------------------";

class LCocoaComboBoxImpl : public LCocoaControlImpl {
public:
    LCocoaComboBoxImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    // Replaces the selected characters of the text with the text and selects what was inserted.
    void pasteTextOverSelection(const char* text);
    // Selects the characters first to last, both included (UTF-16 units); nothing when last is
    // before first.
    void selectTextFromIndex(int first, int last);

    LCocoaComboBoxManager* manager() const { return fManager; }
    void setManager(LCocoaComboBoxManager* manager); // owned
    bool isExtended() const { return bIsExtended; }
    void setIsExtended(bool extended) { bIsExtended = extended; }
    bool isNumeric() const { return bIsNumeric; }
    void setIsNumeric(bool numeric) { bIsNumeric = numeric; }
    const std::string& prompt() const { return fPrompt; }
    void setPrompt(const char* prompt);

    std::string stringValue() const;
    void setStringValue(const std::string& text);
    GtkEntry* entry() const;
    GtkListStore* store() const { return fStore; }
    // The popup list.
    void popUp();
    void popDown();

    // LView
    bool AcceptsFirstResponder() const override { return true; }
    AtkRole AccessibleRole() const override { return ATK_ROLE_COMBO_BOX; }

protected:
    ~LCocoaComboBoxImpl() override;
    GtkWidget* CreateWidget() override;
    GtkWidget* StyledWidget() override { return fEntry; }

private:
    friend class LCocoaComboBoxManager;
    static gboolean OnPress(GtkWidget*, GdkEventButton* event, gpointer data);
    static void OnChanged(GtkComboBox*, gpointer data);
    static void OnEntryChanged(GtkEditable*, gpointer data);
    static void OnInsertText(GtkEditable*, gchar* text, gint len, gint* pos, gpointer data);
    static gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data);
    static void OnPopupShown(GObject*, GParamSpec*, gpointer data);
    void HookPresses(GtkWidget* widget);

    LCocoaComboBoxManager* fManager = nullptr;
    GtkListStore* fStore = nullptr; // text, data, separator
    GtkWidget* fEntry = nullptr;
    std::string fPrompt;
    std::string fPendingText;
    bool bIsExtended = false;
    bool bIsNumeric = false;
    int fSetting = 0;
    bool fDropdownSent = false; // by the press that opens the list
    uintptr_t fPressMonitor = 0;
};

class LCocoaComboBoxManager {
public:
    LCocoaComboBoxManager(LCocoaComboBoxImpl* comboBox, LCocoaWindow* window);

    int addItem(const char* text);
    int addItem(const char* text, uint64_t data);
    // Images are kept by the caller's image list; the items of an extended box remember their
    // indexes.
    int addItem(const char* text, uint64_t data, int image, int selectedImage);
    int insertItem(const char* text, int index);
    int insertItem(const char* text, int index, uint64_t data, int image, int selectedImage);
    void reloadAndSelectItem(int row);
    void addSeparator();
    void deleteItemAtIndex(int index);
    void deleteAllItems();
    void selectItemWithText(const char* text);
    void selectItemAtIndex(int index);
    // Selects a row, separators included.
    void selectRow(int row);
    int getSelecteditem() const;
    void getCurrentText(char* buffer) const; // 260 bytes
    void setCurrentText(const char* text);
    void getItemText(char* buffer, int index, bool skipSeparators) const; // 260 bytes
    void setItemData(uint64_t data, int index);
    uint64_t getItemDataAtIndex(int index) const;
    int getItemWithText(const char* text) const;
    // Rows that are not separators.
    int getItemCount() const { return fRows - fSeparatorRows; }
    int numberOfItems() const { return fRows; }
    int dropdownCommand() const { return fDropdownCommand; }
    void setDropdownCommand(int command) { fDropdownCommand = command; }
    int selectionChangeCommand() const { return fSelectionChangeCommand; }
    void setSelectionChangeCommand(int command) { fSelectionChangeCommand = command; }

    // Events of the combo box.
    void comboBoxWillPopUp();
    void comboBoxSelectionDidChange();
    void textDidChange();
    void textDidEndEditing();

private:
    // The row of the item index; -1 when none.
    int RowOfItem(int index) const;
    int Append(const std::string& text, uint64_t data, bool separator, int image, int selected);
    int InsertAt(const std::string& text, int row, uint64_t data, int image, int selected);
    std::string TextOfRow(int row) const;

    LCocoaComboBoxImpl* cmbBox;
    LCocoaWindow* pWindow;
    std::unordered_map<std::string, int> fTexts; // text -> how many rows have it
    int fRows = 0;
    int fSeparatorRows = 0;
    int nSeparators = 0; // separators asked for
    int fDropdownCommand = -1;
    int fSelectionChangeCommand = -1;
};
