// What owners of list and tree views hand them: the creation flags, the column table, the sorting
// hook and the handlers of edits and drop-down cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class LCocoaListViewImpl;
class LCocoaTreeNode;

// List creation flags (seven bytes).
struct LListFlags {
    bool sortableHeader = false; // a header click sorts
    bool reserved1 = false;
    bool reserved2 = false;
    bool editable = false; // cell texts may be edited
    bool singleSelection = false;
    bool keepSelection = false; // a row must stay selected
    bool reserved6 = false;
};

// Tree creation flags (one 32-bit word).
enum : uint32_t {
    kLTreeFlagEditable = 0x8, // item texts may be edited
    kLTreeFlagCheckboxes = 0x100, // a check box in front of each item
};
struct LTreeFlags {
    uint32_t flags = 0;
};

// One record of a column table; the table ends with a record whose title is null.
struct LVColDynamicGlobal {
    const char* title;
    int32_t width; // in characters; -1 for a column that only stretches
    uintptr_t alignment; // 0 left, 1 right, 2 centre
    bool stretchable; // takes a share of the free width
};

// The sorting hook of a list: compares two cell texts. The manager puts the two rows' cell data
// in data1 and data2 before each call. The default compares in natural order and follows the
// list's direction.
class LListViewSorter {
public:
    explicit LListViewSorter(LCocoaListViewImpl* listView = nullptr)
        : listView(listView)
    {
    }
    virtual ~LListViewSorter() = default;
    virtual int LVCompareFunc(const char* a, const char* b);
    virtual void SortStarting() { }
    virtual void SortCompleted() { }

    LCocoaListViewImpl* listView;
    uint64_t data1 = 0;
    uint64_t data2 = 0;
};

// Edits of list cells: begun (control id) and ended (control id, the new UTF-8 text).
class LListViewEditHandler {
public:
    virtual ~LListViewEditHandler() = default;
    virtual void EvEditBegin(int controlId) { (void)controlId; }
    virtual void EvEditEnd(int controlId, const char* text) = 0;
};

// Edits of tree items: ended (control id, the item, the new UTF-8 text).
class LTreeViewEditHandler {
public:
    virtual ~LTreeViewEditHandler() = default;
    virtual void EvEditEnd(int controlId, LCocoaTreeNode* item, const char* text) = 0;
};

// Drop-down cells: the owner fills the list when it opens and hears the choice.
class LListViewDropDownHandler {
public:
    virtual ~LListViewDropDownHandler() = default;
    virtual void EvDropDownFill(
        int controlId, int dataColumn, int row, std::vector<std::string>& items)
        = 0;
    virtual void EvDropDownChoice(
        int controlId, int row, int dataColumn, int item, const char* title)
        = 0;
};

// The position of an iteration over the selected rows.
struct LListViewIterator {
    uintptr_t valid = 0; // non-zero while the iteration is valid
    int32_t position = -1;
};
