// The models of list and tree rows: one cell (text, images, data of the caller) and one row (its
// cells, expansion, check state and colours). A list row holds one cell per data column, keyed by
// the column's identifier; a tree row holds a single cell whatever column is asked for.
#pragma once

#include <cairo.h>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class LCocoaTreeNode;

// A Cairo surface held by reference (null allowed).
class LCocoaImageRef {
public:
    LCocoaImageRef() = default;
    explicit LCocoaImageRef(cairo_surface_t* s)
        : fSurface(s ? cairo_surface_reference(s) : nullptr)
    {
    }
    LCocoaImageRef(const LCocoaImageRef& o)
        : LCocoaImageRef(o.fSurface)
    {
    }
    LCocoaImageRef& operator=(const LCocoaImageRef& o)
    {
        if (this != &o) {
            LCocoaImageRef copy(o);
            std::swap(fSurface, copy.fSurface);
        }
        return *this;
    }
    ~LCocoaImageRef()
    {
        if (fSurface)
            cairo_surface_destroy(fSurface);
    }
    cairo_surface_t* get() const { return fSurface; }
    explicit operator bool() const { return fSurface != nullptr; }

private:
    cairo_surface_t* fSurface = nullptr;
};

// One cell.
class LCocoaOutlineViewItemModel {
public:
    bool canShowImage() const { return _canShowImage; }
    void setCanShowImage(bool can) { _canShowImage = can; }
    // Texts are kept whole, as well-formed UTF-8 (anything else is made valid on the way in).
    bool hasText() const { return _hasText; }
    const std::string& text() const { return _text; }
    void setText(const char* text);
    cairo_surface_t* image() const { return _image.get(); }
    void setImage(cairo_surface_t* image) { _image = LCocoaImageRef(image); }
    cairo_surface_t* selectedImage() const { return _selectedImage.get(); }
    void setSelectedImage(cairo_surface_t* image) { _selectedImage = LCocoaImageRef(image); }
    uint64_t data() const { return _data; }
    void setData(uint64_t data) { _data = data; }

private:
    bool _canShowImage = false;
    bool _hasText = false;
    std::string _text;
    LCocoaImageRef _image;
    LCocoaImageRef _selectedImage;
    uint64_t _data = 0;
};

// An RGBA colour of a row; unset until given.
struct LCocoaRowColor {
    bool set = false;
    double r = 0, g = 0, b = 0, a = 1;
};

// One row. Subclasses answer the cell of a column.
class LCocoaOutlineViewRowModel {
public:
    virtual ~LCocoaOutlineViewRowModel() = default;

    bool canHaveChildRows() const { return _canHaveChildRows; }
    void setCanHaveChildRows(bool can) { _canHaveChildRows = can; }
    bool expanded() const { return _expanded; }
    void setExpanded(bool expanded) { _expanded = expanded; }
    bool checkboxState() const { return _checkboxState; }
    void setCheckboxState(bool on) { _checkboxState = on; }
    LCocoaTreeNode* treeNode() const { return _treeNode; }
    void setTreeNode(LCocoaTreeNode* node) { _treeNode = node; }
    const LCocoaRowColor& textColor() const { return _textColor; }
    void setTextColor(const LCocoaRowColor& c) { _textColor = c; }
    const LCocoaRowColor& backgroundColor() const { return _backgroundColor; }
    void setBackgroundColor(const LCocoaRowColor& c) { _backgroundColor = c; }

    // The cell shown in a column (null when the row has none there) and its text.
    virtual LCocoaOutlineViewItemModel* itemForColumn(const std::string& columnId) = 0;
    LCocoaOutlineViewItemModel* getColumnItem(const std::string& columnId)
    {
        return itemForColumn(columnId);
    }
    // Null when the cell or its text is missing.
    const std::string* getColumnText(const std::string& columnId);

private:
    bool _canHaveChildRows = false;
    bool _expanded = false;
    bool _checkboxState = false;
    LCocoaTreeNode* _treeNode = nullptr;
    LCocoaRowColor _textColor;
    LCocoaRowColor _backgroundColor;
};

// A list row: one cell per data column, made when first given a value. The first cell made in a
// row is the one with an image area.
class LCocoaListViewRowModel : public LCocoaOutlineViewRowModel {
public:
    explicit LCocoaListViewRowModel(size_t columnCount) { (void)columnCount; }

    LCocoaOutlineViewItemModel* getOrCreateItem(const std::string& columnId);
    void setText(const char* text, const std::string& columnId)
    {
        getOrCreateItem(columnId)->setText(text);
    }
    void setImage(cairo_surface_t* image, const std::string& columnId)
    {
        getOrCreateItem(columnId)->setImage(image);
    }
    void setData(uint64_t data, const std::string& columnId)
    {
        getOrCreateItem(columnId)->setData(data);
    }
    cairo_surface_t* imageForColumn(const std::string& columnId);
    uint64_t dataForColumn(const std::string& columnId);
    const std::map<std::string, std::unique_ptr<LCocoaOutlineViewItemModel>>& items() const
    {
        return dictItems;
    }
    LCocoaOutlineViewItemModel* itemForColumn(const std::string& columnId) override;

private:
    std::map<std::string, std::unique_ptr<LCocoaOutlineViewItemModel>> dictItems;
};

// A tree row: a single cell, whatever column is asked for; it may have child rows.
class LCocoaTreeViewRowModel : public LCocoaOutlineViewRowModel {
public:
    LCocoaTreeViewRowModel() { setCanHaveChildRows(true); }
    LCocoaOutlineViewItemModel* item() { return &_item; }
    LCocoaOutlineViewItemModel* itemForColumn(const std::string&) override { return &_item; }

private:
    LCocoaOutlineViewItemModel _item;
};
