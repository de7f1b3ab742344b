// The list and tree views of a window, addressed by control id.
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"

#include <cmath>
#include <cstdarg>

namespace {

// Lists are made unplaced, as every control is until laid out.
const LUiRect kUnplaced { 0, -300, 500, 30 };

} // namespace

namespace {

// The view of the control id: the control itself, or the document view of the scroll view that
// carries the id.
template <class T> T* ScrollableImpl(LView* control)
{
    if (!control)
        return nullptr;
    if (T* view = dynamic_cast<T*>(control))
        return view;
    for (LView* sub : control->Subviews())
        if (T* view = dynamic_cast<T*>(sub))
            return view;
    return nullptr;
}

} // namespace

LCocoaListViewImpl* LMacWindow::ListViewGetImplById(int id) const
{
    return ScrollableImpl<LCocoaListViewImpl>(GetControlHandle(id));
}

LCocoaTreeViewImpl* LMacWindow::TreeViewGetImplById(int id) const
{
    return ScrollableImpl<LCocoaTreeViewImpl>(GetControlHandle(id));
}

// Lists and trees scroll in the window's scroll view, which carries their id; the view itself
// fills it.
LCocoaListViewImpl* LMacWindow::AddList(int id, const LListFlags& flags)
{
    auto* list = new LCocoaListViewImpl(LUiRect { 0, 0, kUnplaced.width, kUnplaced.height }, this);
    list->setID(id);
    list->setDefaultSettingsAndFlags(flags);
    return AddScrolledDocument(id, kUnplaced, list, 2) ? list : nullptr;
}

LCocoaListViewImpl* LMacWindow::AddList(int id, const LListFlags& flags, int x, int y, int w, int h)
{
    LCocoaListViewImpl* list = AddList(id, flags);
    if (list)
        MoveControlPixels(id, x, y, w, h);
    return list;
}

LCocoaTreeViewImpl* LMacWindow::AddTreeView(int id, const LTreeFlags& flags)
{
    const LUiRect frame { 0, -300, 0, 30 };
    auto* tree = new LCocoaTreeViewImpl(frame, this);
    tree->setID(id);
    tree->setDefaultSettingsAndFlags(flags);
    return AddScrolledDocument(id, frame, tree, 2) ? tree : nullptr;
}

// --- Lists.

void LMacWindow::LVInit(int id, const LVColDynamicGlobal* cols, const char* settings)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list)
        return;
    auto manager = std::make_unique<LCocoaListViewManager>(list, cols, settings, this);
    LCocoaListViewManager* m = manager.get();
    list->setManager(std::move(manager));
    m->adjustColumns(cols);
}

void LMacWindow::LVDestroy(int id)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list || !list->manager())
        return;
    list->manager()->destroyClickHandler();
    list->setManager(nullptr);
}

void LMacWindow::LVMovePixels(int id, const LVColDynamicGlobal*, int x, int y, int w, int h)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list)
        return;
    MoveControlPixels(id, x, y, w, h);
    if (list->manager())
        list->manager()->reloadAndRestoreSelections();
}

void LMacWindow::LVAdjustColumns(int id, const LVColDynamicGlobal* cols)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->adjustColumns(cols);
}

void LMacWindow::LVSetStyleDefaultText(int id, const char* text)
{
    if (LCocoaListViewImpl* list = ListViewGetImplById(id))
        list->setDefaultText(text);
}

int LMacWindow::LVAddString(int id, const char* text, int image, unsigned long data, int)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list || !list->manager())
        return -1;
    return list->manager()->addRow(text ? text : "", "", false, false, image, 0, data);
}

int LMacWindow::LVAddRow(int id, ...)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list || !list->manager())
        return -1;
    LCocoaListViewManager* m = list->manager();
    va_list args;
    va_start(args, id);
    const char* texts[10];
    int count = 0;
    const char* t = nullptr;
    while (count < 10 && (t = va_arg(args, const char*)) != nullptr)
        texts[count++] = t;
    if (count == 0) {
        va_end(args);
        return -1;
    }
    int row = m->addRow(texts, count);
    // Texts beyond the tenth go into columns 10, 11, ...
    if (count == 10 && row != -1)
        for (int column = 10; (t = va_arg(args, const char*)) != nullptr; ++column)
            m->setItemText(t, row, column);
    va_end(args);
    return row;
}

void LMacWindow::LVSetColumnString(int id, int row, int column, const char* text)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->setItemText(text, row, column);
}

char* LMacWindow::LVGetString(int id, int row, char* buf)
{
    if (!buf)
        return buf;
    buf[0] = 0;
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->getItemText(buf, row, 0);
    return buf;
}

unsigned long LMacWindow::LVGetItemData(int id, int row)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    return list && list->manager() ? (unsigned long)list->manager()->getItemData(row, 0) : 0;
}

void LMacWindow::LVClear(int id)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->deleteAllRows();
}

void LMacWindow::LVShowColumn(int id, int column, bool show)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->showHideColumn(column, !show);
}

int LMacWindow::LVGetSelCount(int id)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    return list ? list->numberOfSelectedRows() : 0;
}

int LMacWindow::LVGetFirstSel(int id)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    return list ? list->firstSelectedRow() : -1;
}

void LMacWindow::LVSetCurSel(int id, int row)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (!list)
        return;
    LUiRef<LView> hold(list);
    list->runBlockEvenIfSuspended([list, row] {
        if (list->manager())
            list->manager()->ReloadAndRestoreSelectionsNow();
        if (row == -1)
            list->deselectAll();
        else
            list->selectRowIndexes({ row }, false);
    });
}

void LMacWindow::LVSelectNone(int id)
{
    LVSetCurSel(id, -1);
}

void LMacWindow::HandleLVSelChange(int id, int cmd)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->setSelectionChangeCommand(cmd);
}

void LMacWindow::HandleLVDoubleClick(int id, int cmd)
{
    LCocoaListViewImpl* list = ListViewGetImplById(id);
    if (list && list->manager())
        list->manager()->setDoubleClickCommand(cmd);
}

// --- Trees.

void LMacWindow::TVInit(int id)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (tree)
        tree->setManager(std::make_unique<LCocoaTreeViewManager>(tree, this));
}

void LMacWindow::TVSetImages(int id, const unsigned int* images)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (!tree || !tree->manager() || !images)
        return;
    // Each resource id names its image as decimal text; those that load are appended.
    for (const unsigned int* p = images; *p; ++p) {
        char name[16];
        std::snprintf(name, sizeof name, "%d", int(*p));
        LGuiCocoaImage image;
        if (image.LoadFromResource(name) && image.GetImage())
            tree->manager()->setIcon(image.GetImage());
    }
}

void LMacWindow::HandleTVSelChange(int id, int cmd)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (tree && tree->manager())
        tree->manager()->setSelectionChangeCommand(cmd);
}

LCocoaTreeNode* LMacWindow::TVAddItemFirst(
    int id, const char* text, int image, unsigned long data, LCocoaTreeNode* parent)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (!tree || !tree->manager())
        return nullptr;
    return tree->manager()->addItemFirst(text, parent, image, data);
}

LCocoaTreeNode* LMacWindow::TVAddItemSorted(
    int id, const char* text, int image, unsigned long data, LCocoaTreeNode* parent)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (!tree || !tree->manager())
        return nullptr;
    return tree->manager()->addItemSorted(text, parent, image, data);
}

LCocoaTreeNode* LMacWindow::TVGetRoot(int id)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    return tree && tree->manager() ? tree->manager()->getRoot() : nullptr;
}

LCocoaTreeNode* LMacWindow::TVGetSel(int id)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    return tree && tree->manager() ? tree->manager()->getSelectedItem() : nullptr;
}

void LMacWindow::TVSelectItem(int id, LCocoaTreeNode* node)
{
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (!tree || !tree->manager())
        return;
    tree->manager()->expandTreeRoot();
    tree->manager()->selectItem(node);
}

char* LMacWindow::TVGetText(int id, LCocoaTreeNode* node, char* buf)
{
    if (!buf)
        return buf;
    buf[0] = 0;
    LCocoaTreeViewImpl* tree = TreeViewGetImplById(id);
    if (tree && tree->manager() && node)
        tree->manager()->getText(buf, node);
    return buf;
}
