// The data side of list and tree views without a display: the node tree, row arithmetic over
// expanded and collapsed rows, cells, searching, stable sorting with owners' comparators,
// column widths and their storage, check states, and handles of deleted tree items.
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LRunLoop.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

struct TestWindow : LCocoaWindow {
    std::vector<int> commands;
    int enables = 0;
    LView* parent;
    TestWindow(float charWidth = 7)
    {
        parent = new LView;
        auto* content = new LCocoaWindowContentView(LUiRect { 0, 0, 600, 400 }, this);
        parent->AddSubview(content);
        SetContentViewField(content);
        SetThisProperty(content, this);
        content->Release();
        SetCharacterMetrics(charWidth, 17, charWidth, 17);
    }
    ~TestWindow() override
    {
        if (LView* v = GetContentView())
            v->RemoveFromSuperview();
        SetContentViewField(nullptr);
        parent->Release();
    }
    void Command(int id, int) override { commands.push_back(id); }
    void EnableControls() override { ++enables; }
    bool IsWindowVisible() override { return true; }
};

const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek (Byte)", 11, 1, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

struct List {
    TestWindow window;
    LCocoaListViewImpl* view;
    LCocoaListViewManager* m;
    explicit List(const LVColDynamicGlobal* cols = kColumns, const char* settings = nullptr)
    {
        view = new LCocoaListViewImpl(LUiRect { 0, 0, 600, 300 }, &window);
        auto manager = std::make_unique<LCocoaListViewManager>(view, cols, settings, &window);
        m = manager.get();
        view->setManager(std::move(manager));
    }
    ~List() { view->Release(); }
    std::vector<std::string> Column(int column)
    {
        std::vector<std::string> out;
        char buf[260];
        for (int r = 0; r < m->rowCount(); ++r)
            out.push_back(m->getItemText(buf, r, column));
        return out;
    }
};

struct Tree {
    TestWindow window;
    LCocoaTreeViewImpl* view;
    LCocoaTreeViewManager* m;
    Tree()
    {
        view = new LCocoaTreeViewImpl(LUiRect { 0, 0, 300, 300 }, &window);
        auto manager = std::make_unique<LCocoaTreeViewManager>(view, &window);
        m = manager.get();
        view->setManager(std::move(manager));
    }
    ~Tree() { view->Release(); }
};

} // namespace

TEST(OutlineModel, RowsAddedOneByOneAnswerTheirNumbersAndReloadOnceAfterThePass)
{
    List list;
    const char* t[] = { "a" };
    EXPECT_EQ(list.m->addRow(t, 1), 0);
    EXPECT_EQ(list.m->addRow(t, 1), 1);
    EXPECT_EQ(list.m->addRow(t, 1), 2);
    for (int i = 0; i < 997; ++i)
        list.m->addRow("x", "", false, false, -1, 0, uint64_t(i));
    EXPECT_EQ(list.m->rowCount(), 1000);
    EXPECT_EQ(list.m->reloadCount(), 0u);
    LRunLoop::Flush();
    EXPECT_EQ(list.m->reloadCount(), 1u);
    EXPECT_EQ(list.window.enables, 1);
    EXPECT_EQ(list.m->getItemData(999, 0), 996u);
}

TEST(OutlineModel, AQueuedReloadAfterTheListIsGoneDoesNothing)
{
    auto* list = new List;
    list->m->addRow("x", "", false, false, -1, 0, 0);
    EXPECT_TRUE(list->m->reloadQueued());
    delete list;
    LRunLoop::Flush(); // no crash, nothing touched
    SUCCEED();
}

TEST(OutlineModel, CellTextsAreCutOnCharacterBoundariesAndKeptWhole)
{
    List list;
    std::string longText(298, 'a');
    longText += "\xC3\xA5"; // å ending at byte 300
    std::string cut(258, 'b');
    cut += "\xC3\xA5\xC3\xA5"; // å straddles byte 259
    const char* texts[] = { longText.c_str(), cut.c_str() };
    list.m->addRow(texts, 2);
    char buf[260];
    EXPECT_EQ(std::strlen(list.m->getItemText(buf, 0, 0)), 259u);
    EXPECT_EQ(std::strlen(list.m->getItemText(buf, 0, 1)), 258u); // not half a character
    LStringLongTemplate<char> whole;
    list.m->getItemLongText(&whole, 0, 0);
    EXPECT_EQ(std::string(whole.c_str()), longText);
    // A megabyte stays whole; invalid UTF-8 is made valid on the way in.
    std::string mega(1 << 20, 'm');
    list.m->setItemText(mega.c_str(), 0, 2);
    list.m->getItemLongText(&whole, 0, 2);
    EXPECT_EQ(std::strlen(whole.c_str()), mega.size());
    list.m->setItemText("caf\xE9", 0, 2);
    list.m->getItemLongText(&whole, 0, 2);
    EXPECT_TRUE(g_utf8_validate(whole.c_str(), -1, nullptr));
}

TEST(OutlineModel, OutOfRangeRowsColumnsAndImagesAnswerEmptyValues)
{
    List list;
    list.m->addRow("a", "", false, false, 5, 0, 7); // image 5 of none
    char buf[260] = "junk";
    EXPECT_STREQ(list.m->getItemText(buf, 3, 0), "");
    EXPECT_STREQ(list.m->getItemText(buf, 0, 9), "");
    EXPECT_STREQ(list.m->getItemText(buf, -1, 0), "");
    EXPECT_EQ(list.m->getItemData(-5, 0), 0u);
    EXPECT_EQ(list.m->getItemImage(0, 0, false), -1);
    EXPECT_EQ(list.m->getItemImage(0, 7, false), -1);
    list.m->setItemText("x", 4, 0);
    list.m->setItemImage(2, 0, 0, false);
    list.m->setItemData(1, 0, 42);
    list.m->deleteRow(17);
    list.m->deleteRow(-1);
    EXPECT_EQ(list.m->rowCount(), 1);
    EXPECT_EQ(list.m->getItemData(0, 0), 7u);
}

TEST(OutlineModel, SearchingFromMinusOneAndPartialMatches)
{
    List list;
    for (const char* t : { "Bild", "bilder", "Bi", "Bild" })
        list.m->addRow(t, "", false, false, -1, 0, 11);
    EXPECT_EQ(list.m->findRowWithText("Bild", 0, -1), 0);
    EXPECT_EQ(list.m->findRowWithText("Bild", 0, 1), 3);
    EXPECT_EQ(list.m->findRowWithText("Bild", 0, 4), -1);
    EXPECT_EQ(list.m->findRowWithText("Bild", 0, -2), -1);
    EXPECT_EQ(list.m->findRowWithTextPartialMatch("Bil", 0, -1, false), -1);
    EXPECT_EQ(list.m->findRowWithTextPartialMatch("Bil", 0, 1, false), 3);
    EXPECT_EQ(list.m->findRowWithTextPartialMatch("BIL", 0, 1, true), 1);
    // A shorter cell never matches partially.
    EXPECT_EQ(list.m->findRowWithTextPartialMatch("Bil", 0, 2, false), 3);
    EXPECT_EQ(list.m->findRowWithData(11, 0, -1), -1);
    EXPECT_EQ(list.m->findRowWithData(11, 0, 2), 2);
    const int cols[] = { 2, 0, -1 };
    EXPECT_EQ(list.m->findRowWithText("bi", cols, 0, true, true), 0);
    EXPECT_EQ(list.m->findRowWithText("bilder", cols, 0, false, false), 1);
    list.m->deleteRowWithText("Bi");
    EXPECT_EQ(list.Column(0), (std::vector<std::string> { "Bild", "bilder", "Bild" }));
}

TEST(OutlineModel, TheFirstCellGivenAValueIsTheOnlyOneWithAnImageArea)
{
    LCocoaListViewRowModel row(3);
    row.setText("x", "b_1");
    row.setText("y", "a_0");
    EXPECT_TRUE(row.itemForColumn("b_1")->canShowImage());
    EXPECT_FALSE(row.itemForColumn("a_0")->canShowImage());
    EXPECT_EQ(row.itemForColumn("c_2"), nullptr);
    EXPECT_EQ(row.dataForColumn("c_2"), 0u);
}

TEST(OutlineModel, RowArithmeticFollowsExpansion)
{
    Tree tree;
    auto* a = tree.m->addItemLast("a", nullptr, -1, 1);
    auto* a1 = tree.m->addItemLast("a1", a, -1, 2);
    auto* a11 = tree.m->addItemLast("a11", a1, -1, 3);
    auto* b = tree.m->addItemLast("b", nullptr, -1, 4);
    EXPECT_EQ(tree.m->rowCount(), 4); // every descendant
    EXPECT_EQ(tree.m->getItemIndex(b), 1); // a collapsed
    EXPECT_EQ(tree.m->getItemIndex(a11), -1);
    EXPECT_EQ(
        tree.m->searchForTreeNode(nullptr, 0, [&](LCocoaTreeNode* n) { return n == a1; }), -1);
    tree.m->selectItem(a11); // opens every ancestor
    EXPECT_TRUE(a->representedObject()->expanded());
    EXPECT_TRUE(a1->representedObject()->expanded());
    EXPECT_EQ(tree.m->getItemIndex(a11), 2);
    EXPECT_EQ(tree.m->getItemIndex(b), 3);
    EXPECT_EQ(tree.m->getItem(2), a11);
    EXPECT_EQ(tree.m->getItem(-1), nullptr);
    EXPECT_EQ(tree.m->getItem(4), nullptr);
    auto match = [&](LCocoaTreeNode* n) { return n == a1 || n == b; };
    EXPECT_EQ(tree.m->searchForTreeNode(nullptr, 1, match), 1); // the start row itself
    EXPECT_EQ(tree.m->searchForTreeNode(nullptr, 2, match), 3);
    EXPECT_EQ(tree.m->indexPathOfRow(2), (std::vector<int> { 0, 0, 0 }));
    // Found by text among all descendants; the parent when none.
    EXPECT_EQ(tree.m->treeNodeOfRow("a11", "TVCOLUMN", nullptr), a11);
    EXPECT_EQ(tree.m->treeNodeOfRow("zz", "TVCOLUMN", a), a);
}

TEST(OutlineModel, TreeSiblingsAndInsertion)
{
    Tree tree;
    auto* p = tree.m->addItemLast("p", nullptr, -1, 0);
    auto* q = tree.m->addItemLast("q", nullptr, -1, 0);
    auto* c1 = tree.m->addItemLast("c1", p, -1, 0);
    auto* c2 = tree.m->addItem("c2", p, c1, -1, 0);
    auto* c3 = tree.m->addItem("c3", p, q, -1, 0); // after a node of another parent: appended
    auto* c0 = tree.m->addItemFirst("c0", p, -1, 0);
    EXPECT_EQ(tree.m->firstChildOfItem(p), c0);
    EXPECT_EQ(tree.m->nextSiblingOfItem(c1), c2);
    EXPECT_EQ(tree.m->nextSiblingOfItem(c2), c3);
    EXPECT_EQ(tree.m->nextSiblingOfItem(c3), nullptr);
    EXPECT_EQ(tree.m->previousSiblingOfItem(c0), nullptr);
    EXPECT_EQ(tree.m->previousSiblingOfItem(c1), c0);
    EXPECT_EQ(tree.m->firstChildOfItem(nullptr), p);
    EXPECT_EQ(tree.m->getRoot(), p);
    char buf[260];
    EXPECT_STREQ(tree.m->getText(buf, c2), "c2");
    EXPECT_STREQ(tree.m->getText(buf, nullptr), "");
    EXPECT_EQ(tree.m->imageForItem(c2), 0);
}

TEST(OutlineModel, HandlesOfDeletedTreeItemsAreRefused)
{
    Tree tree;
    auto* p = tree.m->addItemLast("p", nullptr, -1, 5);
    auto* c = tree.m->addItemLast("c", p, -1, 6);
    tree.m->deleteItem(p);
    EXPECT_FALSE(LCocoaTreeNode::isLive(c));
    char buf[260] = "junk";
    EXPECT_STREQ(tree.m->getText(buf, c), "");
    EXPECT_EQ(tree.m->dataForItem(p), 0u);
    EXPECT_EQ(tree.m->addItemLast("x", c, -1, 0), nullptr);
    tree.m->setText("y", p);
    tree.m->deleteItem(c);
    tree.m->selectItem(c);
    EXPECT_EQ(tree.m->getItemIndex(p), -1);
    EXPECT_EQ(tree.m->nextSiblingOfItem(c), nullptr);
    EXPECT_EQ(tree.m->rowCount(), 0);
    // A node of another tree is not this tree's item either.
    Tree other;
    auto* foreign = other.m->addItemLast("f", nullptr, -1, 9);
    EXPECT_EQ(tree.m->dataForItem(foreign), 0u);
    EXPECT_EQ(other.m->dataForItem(foreign), 9u);
}

TEST(OutlineModel, DeepTreesAreFreedWithoutDeepRecursion)
{
    Tree tree;
    LCocoaTreeNode* n = nullptr;
    auto* top = n = tree.m->addItemLast("0", nullptr, -1, 0);
    for (int i = 0; i < 200000; ++i) {
        auto row = tree.m->createItem("d", -1, 0);
        n = n->appendChild(std::make_unique<LCocoaTreeNode>(std::move(row)));
    }
    tree.m->deleteItem(top);
    EXPECT_EQ(tree.m->rowCount(), 0);
}

TEST(OutlineModel, MergeSortIsStableAndSafeWithInconsistentComparators)
{
    std::vector<size_t> items(1000);
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = i;
    // Equal keys keep their order.
    LCocoaMergeSort(items, [](size_t a, size_t b) { return int(a % 3) - int(b % 3); });
    for (size_t i = 1; i < items.size(); ++i) {
        if (items[i - 1] % 3 == items[i] % 3) {
            EXPECT_LT(items[i - 1], items[i]);
        }
    }
    // No order at all: every item is still there once.
    unsigned seed = 1;
    LCocoaMergeSort(items, [&](size_t, size_t) {
        seed = seed * 1103515245 + 12345;
        return int((seed >> 16) % 3) - 1;
    });
    std::vector<size_t> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i)
        EXPECT_EQ(sorted[i], i);
}

TEST(OutlineModel, SortingIsNaturalAndFollowsTheOwnersSignAlone)
{
    LListFlags flags;
    flags.sortableHeader = true;
    List list;
    list.view->setDefaultSettingsAndFlags(flags);
    for (const char* t : { "f10", "f2", "F1", "f2" })
        list.m->addRow(t, "", false, false, -1, 0, uint64_t(list.m->rowCount()));
    EXPECT_EQ(list.m->getSortColumn(), 0);
    list.m->sortRowsUsingColumn(0, true);
    EXPECT_EQ(list.Column(0), (std::vector<std::string> { "F1", "f2", "f2", "f10" }));
    EXPECT_EQ(list.m->getItemData(1, 0), 1u); // equal rows keep their order
    EXPECT_EQ(list.m->getItemData(2, 0), 3u);
    list.m->sortRowsUsingColumn(0, false);
    EXPECT_EQ(list.Column(0), (std::vector<std::string> { "f10", "f2", "f2", "F1" }));
    EXPECT_FALSE(list.m->isSortAscending());
    // An owner's sorter decides by its sign alone: here it wants the longest text first in
    // both directions.
    struct Longest : LListViewSorter {
        int calls = 0;
        int LVCompareFunc(const char* a, const char* b) override
        {
            ++calls;
            return int(std::strlen(b)) - int(std::strlen(a));
        }
    } sorter;
    list.m->setLvSorter(&sorter);
    list.m->sortRowsUsingColumn(0, true);
    EXPECT_EQ(list.Column(0)[0], "f10");
    list.m->sortRowsUsingColumn(0, false);
    EXPECT_EQ(list.Column(0)[0], "f10");
    EXPECT_GT(sorter.calls, 0);
    // The default sorter applies the direction itself.
    LListViewSorter plain(list.view);
    list.m->setLvSorter(&plain);
    list.m->sortRowsUsingColumn(0, false);
    EXPECT_EQ(list.Column(0), (std::vector<std::string> { "f10", "f2", "f2", "F1" }));
    list.m->sortRowsUsingColumn(1, true);
    EXPECT_EQ(list.m->getSortColumn(), 1);
}

TEST(OutlineModel, ColumnWidthsFromCharactersAndFitting)
{
    List list;
    EXPECT_EQ(list.m->getColumnWidth(0), 84); // 12 characters of 7 points
    EXPECT_EQ(list.m->getColumnWidth(1), 77);
    list.m->adjustColumns(kColumns);
    LCocoaTableColumn* namn = list.view->tableColumn(0);
    EXPECT_DOUBLE_EQ(namn->minWidth, 84.0);
    EXPECT_DOUBLE_EQ(list.view->tableColumn(2)->minWidth, 84.0);
    double total = 20 + (77 + 12) + (84 + 12);
    EXPECT_DOUBLE_EQ(namn->width, 600 - total - 12);
    // Never below the minimum on a narrow list.
    list.view->SetFrame(LUiRect { 0, 0, 150, 100 });
    list.m->adjustColumns(kColumns);
    EXPECT_DOUBLE_EQ(namn->width, 84.0);
    EXPECT_EQ(list.m->getColumnWidth(7), 0);
}

TEST(OutlineModel, TwoColumnsOfOneTitleBothGetTheirMinimum)
{
    const LVColDynamicGlobal cols[] = {
        { "Namn", 10, 0, false },
        { "Namn", 20, 0, false },
        { nullptr, 0, 0, false },
    };
    List list(cols);
    list.m->adjustColumns(cols);
    EXPECT_DOUBLE_EQ(list.view->tableColumn(0)->minWidth, 68.0);
    EXPECT_DOUBLE_EQ(list.view->tableColumn(1)->minWidth, 148.0);
}

TEST(OutlineModel, StoredWidthsAreKeyedByDataColumnAndReadBackExactly)
{
    const char* section = "OutlineModelTestWidths";
    {
        List list(kColumns, section);
        list.m->setColumnWidth(123.5, 0);
        EXPECT_DOUBLE_EQ(list.view->tableColumn(0)->width, 123.5);
        list.m->setColumnWidth(90, 2);
        list.m->showHideColumn(1, true);
        EXPECT_TRUE(list.m->isColumnHidden(1));
        list.m->saveColumnWidths(section);
    }
    char value[300];
    _LUserSettingGetString(section, "ColumnWidth1", "", value);
    EXPECT_STREQ(value, "123.5000000000000000");
    _LUserSettingGetString(section, "ColumnWidth3", "", value);
    EXPECT_STREQ(value, "90.0000000000000000");
    _LUserSettingGetString(section, "ColumnWidth2", "none", value);
    EXPECT_STREQ(value, "none"); // the hidden column gave no width to a neighbour
    List again(kColumns, section);
    EXPECT_DOUBLE_EQ(again.view->tableColumn(0)->width, 123.5);
    EXPECT_DOUBLE_EQ(again.view->tableColumn(2)->width, 90.0);
    // Moved columns keep their own widths too.
    const int order[] = { 2, 0, 1 };
    again.m->rearrangeColumns(3, order);
    EXPECT_EQ(again.view->tableColumn(0)->identifier, "Hämtad_2");
    again.m->loadColumnWidths(section);
    EXPECT_EQ(again.m->getColumnWidth(2), 90);
    EXPECT_EQ(again.m->getColumnWidth(0), 123);
}

TEST(OutlineModel, CheckStatesLiveInTheRowsAndTheColumnSitsFirst)
{
    List list;
    list.m->addRow("a", "", false, false, -1, 0, 0);
    list.m->changeCheckState(0, true);
    EXPECT_FALSE(list.m->isRowChecked(0)); // no check-box column yet
    list.m->setHasCheckboxColumn(true);
    EXPECT_EQ(list.view->tableColumn(0)->identifier, "LV_CHECKBOX_COLUMN");
    EXPECT_DOUBLE_EQ(list.view->tableColumn(0)->width, 20.0);
    EXPECT_EQ(list.m->viewColumnForDataColumn(0), 1); // data columns keep their indexes
    for (int i = 0; i < 50; ++i)
        list.m->addRow("r", "", false, false, -1, 0, 0);
    list.m->changeCheckState(40, true);
    EXPECT_TRUE(list.m->isRowChecked(40));
    EXPECT_FALSE(list.m->isRowChecked(41));
    EXPECT_FALSE(list.m->isRowChecked(-1));
    list.m->changeCheckState(40, false);
    EXPECT_FALSE(list.m->isRowChecked(40));
}

TEST(OutlineModel, TreeItemsSortedByText)
{
    Tree tree;
    for (const char* t : { "Mapp 10", "mapp 2", "Mapp 1" })
        tree.m->addItemLast(t, nullptr, -1, 0);
    tree.m->sortRows();
    char buf[260];
    EXPECT_STREQ(tree.m->getText(buf, tree.m->getItem(0)), "Mapp 1");
    EXPECT_STREQ(tree.m->getText(buf, tree.m->getItem(1)), "mapp 2");
    EXPECT_STREQ(tree.m->getText(buf, tree.m->getItem(2)), "Mapp 10");

    // Added one by one in their place: the order a stable sort of them all gives, equal texts
    // in the order they came (their data), below the right parent only.
    Tree sorted;
    LCocoaTreeNode* top = sorted.m->addItemLast("Images", nullptr, -1, 0);
    std::vector<std::pair<std::string, uint64_t>> expected;
    unsigned seed = 5;
    for (uint64_t i = 0; i < 600; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::string text = ((seed >> 9) & 1 ? "mapp " : "Mapp ") + std::to_string(seed % 97);
        sorted.m->addItemSorted(text.c_str(), top, -1, i);
        expected.emplace_back(text, i);
    }
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return LStringCompareLogical(a.first.c_str(), b.first.c_str()) < 0;
    });
    ASSERT_EQ(top->childCount(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        LCocoaTreeNode* n = top->childAt(i);
        ASSERT_EQ(std::string(sorted.m->getText(buf, n)), expected[i].first) << i;
        ASSERT_EQ(sorted.m->dataForItem(n), expected[i].second) << i;
        ASSERT_EQ(n->indexInParent(), i);
    }
    EXPECT_EQ(sorted.m->firstChildOfItem(nullptr), top);
    EXPECT_EQ(sorted.m->nextSiblingOfItem(top), nullptr);
}

TEST(OutlineModel, NodeIndexesStayRightThroughInsertionsAndRemovals)
{
    LCocoaTreeNode parent(nullptr);
    std::vector<LCocoaTreeNode*> mirror;
    unsigned seed = 99;
    auto next = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return n ? (seed >> 8) % n : 0;
    };
    for (int step = 0; step < 4000; ++step) {
        unsigned op = next(10);
        if (op < 4 || mirror.empty()) {
            size_t at = op == 0 ? next(unsigned(mirror.size() + 1)) : mirror.size();
            auto* n = parent.insertChild(std::make_unique<LCocoaTreeNode>(nullptr), at);
            mirror.insert(mirror.begin() + long(at), n);
        } else {
            // Runs of removals in order, and some anywhere.
            size_t at = op < 8 ? std::min<size_t>(mirror.size() - 1, size_t(step % 7))
                               : next(unsigned(mirror.size()));
            parent.removeChild(mirror[at]);
            mirror.erase(mirror.begin() + long(at));
        }
        for (int k = 0; k < 3 && !mirror.empty(); ++k) {
            size_t probe = next(unsigned(mirror.size()));
            ASSERT_EQ(mirror[probe]->indexInParent(), probe) << "step " << step;
        }
    }
    for (size_t i = 0; i < mirror.size(); ++i)
        ASSERT_EQ(mirror[i]->indexInParent(), i);
}
