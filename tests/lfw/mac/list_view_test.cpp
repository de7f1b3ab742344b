// List and tree views in real windows, used as a person uses them: rows clicked, double- and
// right-clicked, headers clicked to sort, check boxes ticked, cells edited, the placeholder of an
// empty list, trees opened down to an item, the header's titles and the columns as they are seen
// and read out. Screenshots are kept under the build folder.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "platform/ui/UI.h"
#include "support/ListViewShown.h"
#include "support/OutlineViewPoints.h"
#include "support/UiTestSupport.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
constexpr int kList = 101;
constexpr int kTree = 102;
constexpr int kCmdSel = 201, kCmdDouble = 202, kCmdClick = 203, kCmdRight = 204, kCmdCheck = 205;

const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek (Byte)", 11, 1, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

struct TestWindow : LMacWindow {
    std::vector<int> commands;
    int enables = 0;
    std::function<void(int)> onCommand;
    void EnableControls() override { ++enables; }
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (onCommand)
            onCommand(id);
        LMacWindow::Command(id, code);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    // A shown window with a list of the three columns at (10, 10) 380 x 240 points.
    LCocoaListViewImpl* MakeList(TestWindow& w, const LListFlags& flags = LListFlags {})
    {
        w.CreateCocoaWindow(int(400 * EnvScale()), int(300 * EnvScale()), kStyle, false, nullptr);
        double scale = w.GetBackingScaleFactor();
        LCocoaListViewImpl* list = w.AddList(
            kList, flags, int(10 * scale), int(10 * scale), int(380 * scale), int(240 * scale));
        w.LVInit(kList, kColumns);
        w.InitCommon(kLCocoaDialogCenterNone, true);
        EXPECT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
        return list;
    }
    static bool ClickRow(TestWindow& w, LCocoaOutlineViewImpl* view, int row, double x = 30,
        int button = 1, int repeat = 1)
    {
        LUiRect r = view->rectOfRow(row);
        LUiPoint p = RowContentPoint(view, x, r.y + r.height / 2);
        return uitest::XClickButton(w.GetNativeWindow(), p.x, p.y, button, repeat);
    }
    static void MakeKey(TestWindow& w)
    {
        gtk_window_present(GTK_WINDOW(w.GetNativeWindow()->Gtk()));
        uitest::Run(
            "xdotool windowfocus --sync " + std::to_string(w.GetNativeWindow()->XWindowId()));
        uitest::PumpUntil([&] { return LNativeWindow::KeyWindow() == w.GetNativeWindow(); }, 2000);
    }
    static double EnvScale()
    {
        const char* scale = getenv("GDK_SCALE");
        return scale && atoi(scale) > 1 ? atoi(scale) : 1;
    }
    static std::string Shot(const char* name)
    {
        const char* scale = getenv("GDK_SCALE");
        return std::string("screenshots/list_view/") + name + (scale ? "_scale2" : "") + ".png";
    }
};

} // namespace

TEST_F(ListViewTest, CallsOnOtherIdsAnswerEmptyValues)
{
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    w.AddList(kList, LListFlags {});
    w.LVInit(kList, kColumns);
    EXPECT_EQ(w.LVAddRow(kList, nullptr), -1);
    int row = w.LVAddRow(kList, "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
        static_cast<const char*>(nullptr));
    EXPECT_EQ(row, 0);
    LCocoaListViewManager* m = w.ListViewGetImplById(kList)->manager();
    char buf[260];
    EXPECT_STREQ(m->getItemText(buf, 0, 2), "2");
    // Only three columns: texts beyond them are dropped without harm.
    EXPECT_STREQ(m->getItemText(buf, 0, 11), "");
    for (int id : { 0, 55, kTree }) {
        EXPECT_EQ(w.LVAddRow(id, "a", static_cast<const char*>(nullptr)), -1);
        EXPECT_EQ(w.LVAddString(id, "a", 0, 1, 0), -1);
        strcpy(buf, "junk");
        EXPECT_STREQ(w.LVGetString(id, 0, buf), "");
        EXPECT_EQ(w.LVGetItemData(id, 0), 0u);
        EXPECT_EQ(w.LVGetSelCount(id), 0);
        EXPECT_EQ(w.LVGetCurSel(id), -1);
        w.LVSetCurSel(id, 0);
        w.LVClear(id);
        EXPECT_EQ(w.TVGetRoot(id), nullptr);
        EXPECT_EQ(w.TVGetSel(id), nullptr);
        EXPECT_EQ(w.TVAddItemFirst(id, "x", 0, 0, nullptr), nullptr);
        strcpy(buf, "junk");
        EXPECT_STREQ(w.TVGetText(id, nullptr, buf), "");
    }
    EXPECT_EQ(m->rowCount(), 1);
    w.DestroyCommon();
}

TEST_F(ListViewTest, TwelveTextsFillTwelveColumns)
{
    static const LVColDynamicGlobal twelve[] = { { "c", 3, 0, false }, { "c", 3, 0, false },
        { "c", 3, 0, false }, { "c", 3, 0, false }, { "c", 3, 0, false }, { "c", 3, 0, false },
        { "c", 3, 0, false }, { "c", 3, 0, false }, { "c", 3, 0, false }, { "c", 3, 0, false },
        { "c", 3, 0, false }, { "c", 3, 0, false }, { nullptr, 0, 0, false } };
    TestWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    w.AddList(kList, LListFlags {});
    w.LVInit(kList, twelve);
    w.LVAddString(kList, "first", 0, 0, 0);
    int row = w.LVAddRow(kList, "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
        static_cast<const char*>(nullptr));
    EXPECT_EQ(row, 1);
    LCocoaListViewManager* m = w.ListViewGetImplById(kList)->manager();
    char buf[260];
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(std::string(m->getItemText(buf, 1, c)), std::to_string(c));
    w.DestroyCommon();
}

TEST_F(ListViewTest, AThousandAdditionsReloadOnceAndKeepTheSelection)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.HandleLVSelChange(kList, kCmdSel);
    for (int i = 0; i < 5; ++i)
        w.LVAddString(kList, "pre", 0, i, 0);
    w.LVSetCurSel(kList, 2);
    EXPECT_EQ(w.LVGetCurSel(kList), 2);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    unsigned long before = list->manager()->reloadCount();
    int enables = w.enables;
    for (int i = 0; i < 1000; ++i)
        w.LVAddString(kList, ("row " + std::to_string(i)).c_str(), 0, i, 0);
    EXPECT_EQ(list->manager()->reloadCount(), before);
    // One reload for all the rows, from the loop (late on a busy machine), and no second one.
    uitest::PumpUntil([&] { return list->manager()->reloadCount() > before; });
    uitest::Pump(50);
    EXPECT_EQ(list->manager()->reloadCount(), before + 1);
    // The reload enables the controls once; the window becoming key or its focus moving on a
    // busy display may add a few, never one for each addition.
    EXPECT_GE(w.enables, enables + 1);
    EXPECT_LE(w.enables, enables + 8);
    EXPECT_EQ(w.LVGetCurSel(kList), 2);
    EXPECT_EQ(w.LVGetSelCount(kList), 1);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    w.LVSelectNone(kList);
    EXPECT_EQ(w.LVGetCurSel(kList), -1);
    w.DestroyCommon();
}

TEST_F(ListViewTest, AClickSelectsWithOneCommandAndReloadsSendNone)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LListFlags flags;
    flags.sortableHeader = true;
    LCocoaListViewImpl* list = MakeList(w, flags);
    w.HandleLVSelChange(kList, kCmdSel);
    for (const char* t : { "f10", "f2", "f1", "g", "h" })
        w.LVAddString(kList, t, 0, 0, 0);
    uitest::Pump(50);
    MakeKey(w);
    ASSERT_TRUE(ClickRow(w, list, 1));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdSel) >= 1; }));
    uitest::Pump(100);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    EXPECT_EQ(w.LVGetCurSel(kList), 1);
    uitest::Pump(100);
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("selected"));
    // Sorting and deleting reload without a command.
    list->manager()->sortRowsUsingColumn(0, true);
    char buf[260];
    EXPECT_STREQ(w.LVGetString(kList, w.LVGetCurSel(kList), buf), "f2");
    list->manager()->deleteRow(0);
    list->manager()->deleteRow(4);
    EXPECT_STREQ(w.LVGetString(kList, w.LVGetCurSel(kList), buf), "f2");
    uitest::Pump(50);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    w.DestroyCommon();
}

TEST_F(ListViewTest, DeletingAllSelectedRowsThroughTheIteratorSendsAtMostOne)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.HandleLVSelChange(kList, kCmdSel);
    for (int i = 0; i < 20; ++i)
        w.LVAddString(kList, std::to_string(i).c_str(), 0, i, 0);
    list->manager()->ReloadAndRestoreSelectionsNow();
    list->selectRowIndexes({ 2, 5, 6, 11 }, false);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    LCocoaListViewManager* m = list->manager();
    auto selected = m->createSelectedRowsArray();
    ASSERT_TRUE(selected);
    for (int i = 0; i < int(selected->size()); ++i) {
        LListViewIterator it { 1, i };
        m->deleteRowUsingIterator(&it, selected.get());
        // The selected rows after the deleted one moved up with it, the others stayed.
        EXPECT_EQ(list->numberOfSelectedRows(), int(selected->size()) - i - 1);
    }
    EXPECT_EQ(w.Count(kCmdSel), 1);
    m->endSelectedRowsIteration(selected.get());
    EXPECT_LE(w.Count(kCmdSel), 2);
    uitest::Pump(50);
    EXPECT_EQ(m->rowCount(), 16);
    char buf[260];
    EXPECT_STREQ(w.LVGetString(kList, 2, buf), "3");
    EXPECT_STREQ(w.LVGetString(kList, 7, buf), "10");
    EXPECT_STREQ(w.LVGetString(kList, 8, buf), "12");
    // Deleting the same handles again is refused.
    LListViewIterator again { 1, 0 };
    m->deleteRowUsingIterator(&again, selected.get());
    EXPECT_EQ(m->rowCount(), 16);
    // Part of a selection deleted: one command at the end.
    list->selectRowIndexes({ 1, 3 }, false);
    int sent = w.Count(kCmdSel);
    auto two = m->createSelectedRowsArray();
    LListViewIterator first { 1, 0 };
    m->deleteRowUsingIterator(&first, two.get());
    EXPECT_EQ(w.Count(kCmdSel), sent);
    m->endSelectedRowsIteration(two.get());
    EXPECT_EQ(w.Count(kCmdSel), sent + 1);
    w.DestroyCommon();
}

TEST_F(ListViewTest, HeaderClicksSortNaturallyBothWays)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LListFlags flags;
    flags.sortableHeader = true;
    LCocoaListViewImpl* list = MakeList(w, flags);
    for (const char* t : { "f10", "f2", "f1" })
        w.LVAddString(kList, t, 0, 0, 0);
    list->manager()->setClickCommand(kCmdClick);
    list->manager()->setRightClickCommand(kCmdRight);
    uitest::Pump(50);
    EXPECT_EQ(list->manager()->getSortColumn(), 0);
    MakeKey(w);
    GtkTreeViewColumn* namn = list->tableColumn(0)->gtkColumn;
    GtkWidget* button = gtk_tree_view_column_get_button(namn);
    GtkAllocation a;
    gtk_widget_get_allocation(button, &a);
    int cx = 0, cy = 0;
    gtk_widget_translate_coordinates(gtk_widget_get_parent(button), w.GetContentView()->Widget(),
        a.x + 20, a.y + a.height / 2, &cx, &cy);
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), cx, cy));
    char buf[260];
    ASSERT_TRUE(uitest::PumpUntil([&] { return list->sortDescriptor().valid; }));
    EXPECT_STREQ(w.LVGetString(kList, 0, buf), "f1");
    EXPECT_STREQ(w.LVGetString(kList, 1, buf), "f2");
    EXPECT_STREQ(w.LVGetString(kList, 2, buf), "f10");
    EXPECT_TRUE(gtk_tree_view_column_get_sort_indicator(namn));
    EXPECT_EQ(gtk_tree_view_column_get_sort_order(namn), GTK_SORT_ASCENDING);
    EXPECT_TRUE(gtk_widget_get_mapped(gtk_tree_view_column_get_widget(namn)));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(gtk_tree_view_column_get_widget(namn))), "Namn");
    uitest::Pump(100);
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("sorted"));
    uitest::Pump(600); // not a double click
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), cx, cy));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !list->sortDescriptor().ascending; }));
    EXPECT_STREQ(w.LVGetString(kList, 0, buf), "f10");
    EXPECT_EQ(gtk_tree_view_column_get_sort_order(namn), GTK_SORT_DESCENDING);
    // Header clicks are no row clicks.
    uitest::Pump(600);
    ASSERT_TRUE(uitest::XClickButton(w.GetNativeWindow(), cx, cy, 3));
    uitest::Pump(200);
    EXPECT_EQ(w.Count(kCmdClick), 0);
    EXPECT_EQ(w.Count(kCmdRight), 0);
    w.DestroyCommon();
}

// The text the list draws in a row's first column: the cell is filled as for drawing.
static std::string ShownText(LCocoaListViewImpl* list, int row)
{
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(list->treeView()));
    GtkTreeIter iter;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    bool found = model && gtk_tree_model_get_iter(model, &iter, path);
    gtk_tree_path_free(path);
    if (!found)
        return "";
    LCocoaTableColumn* c = list->tableColumn(0);
    gtk_tree_view_column_cell_set_cell_data(c->gtkColumn, model, &iter, FALSE, FALSE);
    gchar* text = nullptr;
    g_object_get(c->textRenderer, "text", &text, nullptr);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

TEST_F(ListViewTest, AnAscendingSortAskedForInCodeKeepsClicksOnTheRowsShown)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LListFlags flags;
    flags.sortableHeader = true;
    flags.singleSelection = true;
    LCocoaListViewImpl* list = MakeList(w, flags);
    // An owner's own comparison, as dialogs that sort by name install one.
    LListViewSorter sorter(list);
    list->manager()->setLvSorter(&sorter);
    w.HandleLVSelChange(kList, kCmdSel);
    const char* names[] = { "f2", "b", "f10", "a", "e", "f1", "c" };
    for (unsigned long i = 0; i < 7; ++i)
        w.LVAddString(kList, names[i], 0, 100 + i, 0);
    // Sorted at once, while the reload the new rows queued is still to come; where the rows
    // are is asked at once too, as an owner placing something over a row would.
    list->manager()->sortRowsUsingColumn(0, true);
    std::vector<LUiRect> rects;
    for (int r = 0; r < 7; ++r)
        rects.push_back(list->rectOfRow(r));
    EXPECT_EQ(list->manager()->getSortColumn(), 0);
    EXPECT_TRUE(list->manager()->isSortAscending());
    for (int r = 1; r < 7; ++r) {
        EXPECT_GT(rects[size_t(r)].height, 0) << r;
        EXPECT_DOUBLE_EQ(rects[size_t(r)].y, rects[size_t(r - 1)].y + rects[size_t(r - 1)].height)
            << r;
        EXPECT_EQ(list->rowAtPoint(30, rects[size_t(r)].y + rects[size_t(r)].height / 2), r);
    }
    uitest::Pump(50);
    const char* ascending[] = { "a", "b", "c", "e", "f1", "f2", "f10" };
    char buf[260];
    for (int r = 0; r < 7; ++r) {
        EXPECT_STREQ(w.LVGetString(kList, r, buf), ascending[r]) << r;
        EXPECT_EQ(ShownText(list, r), ascending[r]) << r;
    }
    EXPECT_EQ(
        gtk_tree_view_column_get_sort_order(list->tableColumn(0)->gtkColumn), GTK_SORT_ASCENDING);
    MakeKey(w);
    // Each row clicked selects the row under the pointer, with its own data.
    for (int r : { 1, 5, 6 }) {
        int sent = w.Count(kCmdSel);
        LUiPoint p = RowContentPoint(list, 30, rects[size_t(r)].y + rects[size_t(r)].height / 2);
        ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), p.x, p.y));
        ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdSel) > sent; }));
        EXPECT_EQ(list->rectOfRow(r).y, rects[size_t(r)].y);
        int sel = w.LVGetCurSel(kList);
        EXPECT_EQ(sel, r);
        EXPECT_STREQ(w.LVGetString(kList, sel, buf), ascending[r]);
        EXPECT_EQ(ShownText(list, sel), ascending[r]);
        unsigned long data = w.LVGetItemData(kList, sel);
        ASSERT_GE(data, 100u);
        ASSERT_LT(data, 107u);
        EXPECT_STREQ(names[data - 100], ascending[r]);
        uitest::Pump(600); // not a double click
    }
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("sorted_in_code"));
    // Sorting again the other way keeps the selected row.
    list->manager()->sortRowsUsingColumn(0, false);
    EXPECT_STREQ(w.LVGetString(kList, 0, buf), "f10");
    EXPECT_EQ(ShownText(list, 0), "f10");
    EXPECT_STREQ(w.LVGetString(kList, w.LVGetCurSel(kList), buf), "f10");
    w.DestroyCommon();
}

TEST_F(ListViewTest, ClicksDoubleClicksAndRightClicksPostTheirCommands)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    for (const char* t : { "a", "b", "c" })
        w.LVAddString(kList, t, 0, 0, 0);
    list->manager()->setClickCommand(kCmdClick);
    w.HandleLVDoubleClick(kList, kCmdDouble);
    list->manager()->setRightClickCommand(kCmdRight);
    uitest::Pump(50);
    MakeKey(w);
    ASSERT_TRUE(ClickRow(w, list, 0));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdClick) == 1; }));
    uitest::Pump(600);
    w.commands.clear();
    ASSERT_TRUE(ClickRow(w, list, 1, 30, 1, 2));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdDouble) == 1; }));
    uitest::Pump(200);
    EXPECT_EQ(w.Count(kCmdClick), 1);
    EXPECT_EQ(w.Count(kCmdDouble), 1);
    auto click = std::find(w.commands.begin(), w.commands.end(), kCmdClick);
    auto dbl = std::find(w.commands.begin(), w.commands.end(), kCmdDouble);
    EXPECT_LT(click, dbl);
    uitest::Pump(600);
    w.commands.clear();
    ASSERT_TRUE(ClickRow(w, list, 2, 30, 3));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdRight) == 1; }));
    EXPECT_EQ(w.Count(kCmdClick), 0);
    w.DestroyCommon();
}

TEST_F(ListViewTest, ClicksInAnInactiveWindowSendNothing)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.LVAddString(kList, "a", 0, 0, 0);
    list->manager()->setClickCommand(kCmdClick);
    uitest::Pump(50);
    uitest::FocusNowhere();
    uitest::PumpUntil([&] { return LNativeWindow::KeyWindow() == nullptr; }, 2000);
    if (LNativeWindow::KeyWindow() != nullptr)
        GTEST_SKIP() << "the window keeps the keyboard";
    ASSERT_TRUE(ClickRow(w, list, 0));
    uitest::Pump(300);
    if (LNativeWindow::KeyWindow() == nullptr) {
        EXPECT_EQ(w.Count(kCmdClick), 0);
    }
    w.DestroyCommon();
}

TEST_F(ListViewTest, ACheckBoxClickTogglesItsRowAndSendsTheCheckCommand)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    LCocoaListViewManager* m = list->manager();
    m->setHasCheckboxColumn(true);
    m->setCheckStateChangeCommand(kCmdCheck);
    for (const char* t : { "a", "b", "c" })
        w.LVAddString(kList, t, 0, 0, 0);
    m->changeCheckState(2, true);
    uitest::Pump(50);
    MakeKey(w);
    ASSERT_TRUE(ClickRow(w, list, 1, 10));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdCheck) == 1; }));
    EXPECT_TRUE(m->isRowChecked(1));
    EXPECT_FALSE(m->isRowChecked(0));
    EXPECT_TRUE(m->isRowChecked(2));
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("checked"));
    w.DestroyCommon();
}

TEST_F(ListViewTest, ClickingAnEditableCellOfAnUnselectedRowEditsIt)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    struct Edits : LListViewEditHandler {
        int begun = 0, id = 0;
        std::string text;
        void EvEditBegin(int) override { ++begun; }
        void EvEditEnd(int controlId, const char* t) override
        {
            id = controlId;
            text = t;
        }
    } edits;
    TestWindow w;
    LListFlags flags;
    flags.editable = true;
    LCocoaListViewImpl* list = MakeList(w, flags);
    list->manager()->setEditHandler(&edits);
    w.HandleLVSelChange(kList, kCmdSel);
    for (const char* t : { "a", "b", "c" })
        w.LVAddString(kList, t, 0, 0, 0);
    uitest::Pump(50);
    w.LVSetCurSel(kList, 0);
    MakeKey(w);
    uitest::Pump(100);
    ASSERT_TRUE(ClickRow(w, list, 2, 60));
    ASSERT_TRUE(uitest::PumpUntil([&] { return list->isEditing(); }));
    EXPECT_EQ(w.LVGetSelCount(kList), 1);
    EXPECT_EQ(w.LVGetCurSel(kList), 2);
    EXPECT_EQ(edits.begun, 1);
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(w.GetNativeWindow()->Gtk()));
    ASSERT_TRUE(focus && GTK_IS_ENTRY(focus));
    gtk_entry_set_text(GTK_ENTRY(focus), "\xC3\x85sa");
    list->manager()->endRowEditing();
    EXPECT_EQ(edits.id, kList);
    EXPECT_EQ(edits.text, "\xC3\x85sa");
    EXPECT_FALSE(list->isEditing());
    w.DestroyCommon();
}

TEST_F(ListViewTest, AnEmptyListShowsItsPlaceholderUntilTheFirstRow)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.LVSetStyleDefaultText(kList, "Markera den bild du vill använda");
    uitest::Pump(100);
    std::string path = Shot("placeholder");
    ASSERT_TRUE(uitest::SaveScreenshot(w.GetNativeWindow(), path));
    // Grey text, centred, about 20 points below the header.
    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    LUiPoint top = RowContentPoint(list, 0, 0);
    double s = w.GetBackingScaleFactor();
    int stride = cairo_image_surface_get_stride(shot);
    unsigned char* px = cairo_image_surface_get_data(shot);
    int minX = 1 << 30, maxX = -1, minY = 1 << 30;
    int height = cairo_image_surface_get_height(shot), width = cairo_image_surface_get_width(shot);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t v = *reinterpret_cast<uint32_t*>(px + y * stride + x * 4);
            int r = (v >> 16) & 255, g = (v >> 8) & 255, b = v & 255;
            if (r < 150 && std::abs(r - g) < 8 && std::abs(g - b) < 8 && y > (top.y + 5) * s
                && y < (top.y + 60) * s && x > 15 * s && x < 385 * s) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
            }
        }
    cairo_surface_destroy(shot);
    ASSERT_GE(maxX, 0) << "no placeholder drawn";
    double centre = (minX + maxX) / 2.0 / s;
    double listCentre = RowContentPoint(list, 0, 0).x + list->visibleRect().width / 2;
    EXPECT_NEAR(centre, listCentre, 4);
    EXPECT_NEAR(minY / s - top.y, 20, 6);
    w.LVAddString(kList, "rad", 0, 0, 0);
    uitest::Pump(100);
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("placeholder_gone"));
    w.DestroyCommon();
}

TEST_F(ListViewTest, AWindowClosedInsideASelectionCommandIsNotTouched)
{
    auto* w = new TestWindow;
    MakeList(*w);
    w->HandleLVSelChange(kList, kCmdSel);
    w->LVAddString(kList, "a", 0, 0, 0);
    w->LVAddString(kList, "b", 0, 0, 0);
    bool closed = false;
    w->onCommand = [&](int id) {
        if (id == kCmdSel && !closed) {
            closed = true;
            w->DestroyCommon();
        }
    };
    w->LVSetCurSel(kList, 1);
    EXPECT_TRUE(closed);
    uitest::Pump(50);
    delete w;
}

TEST_F(ListViewTest, TreeSelectsDeepItemsAndShiftsTextForCheckBoxes)
{
    TestWindow w;
    w.CreateCocoaWindow(int(300 * EnvScale()), int(300 * EnvScale()), kStyle, false, nullptr);
    LTreeFlags flags;
    auto* tree = w.AddTreeView(kTree, flags);
    double s = w.GetBackingScaleFactor();
    w.GetControlHandle(kTree)->SetFrame(LUiRect { 10, 10, 280, 120 }); // its scroll view
    (void)s;
    w.TVInit(kTree);
    LTreeFlags checks;
    checks.flags = kLTreeFlagCheckboxes;
    auto* checked = w.AddTreeView(kTree + 1, checks);
    w.GetControlHandle(kTree + 1)->SetFrame(LUiRect { 10, 140, 280, 120 });
    w.TVInit(kTree + 1);
    w.HandleTVSelChange(kTree, kCmdSel);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LCocoaTreeNode* root = w.TVAddItemFirst(kTree, "Images", 0, 1, nullptr);
    for (int i = 0; i < 30; ++i)
        w.TVAddItemSorted(kTree, ("Mapp " + std::to_string(30 - i)).c_str(), 0, 0, root);
    LCocoaTreeNode* last = tree->manager()->firstChildOfItem(root);
    while (tree->manager()->nextSiblingOfItem(last))
        last = tree->manager()->nextSiblingOfItem(last);
    char buf[260];
    EXPECT_STREQ(w.TVGetText(kTree, last, buf), "Mapp 30");
    LCocoaTreeNode* l2 = w.TVAddItemFirst(kTree, "Nivå 2", 0, 2, last);
    LCocoaTreeNode* l3 = w.TVAddItemFirst(kTree, "Nivå 3", 0, 3, l2);
    LCocoaTreeNode* deep = w.TVAddItemFirst(kTree, "Djup", 0, 4, l3);
    EXPECT_EQ(
        tree->manager()->previousSiblingOfItem(tree->manager()->firstChildOfItem(root)), nullptr);
    EXPECT_EQ(w.TVGetRoot(kTree), root);
    w.TVSelectItem(kTree, deep);
    EXPECT_EQ(w.TVGetSel(kTree), deep);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    EXPECT_TRUE(last->representedObject()->expanded());
    EXPECT_TRUE(l3->representedObject()->expanded());
    uitest::Pump(200);
    // Scrolled into view.
    LUiRect row = tree->rectOfRow(tree->manager()->getItemIndex(deep));
    LUiRect visible = tree->visibleRect();
    EXPECT_GE(row.y, visible.y);
    EXPECT_LE(row.y + row.height, visible.y + visible.height + 1);
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("tree"));
    // Check boxes move the text 20 points right.
    w.TVAddItemFirst(kTree + 1, "Images", 0, 1, nullptr);
    uitest::Pump(50);
    int plainStart = 0, checkStart = 0, width = 0;
    ASSERT_TRUE(gtk_tree_view_column_cell_get_position(
        tree->tableColumn(0)->gtkColumn, tree->tableColumn(0)->textRenderer, &plainStart, &width));
    ASSERT_TRUE(gtk_tree_view_column_cell_get_position(checked->tableColumn(0)->gtkColumn,
        checked->tableColumn(0)->textRenderer, &checkStart, &width));
    EXPECT_EQ(checkStart - plainStart, 20);
    // A deleted item leaves the view with its subtree.
    tree->manager()->deleteItem(l2);
    uitest::Pump(100);
    EXPECT_EQ(w.TVGetSel(kTree), nullptr);
    EXPECT_STREQ(w.TVGetText(kTree, deep, buf), "");
    w.TVSelectItem(kTree, deep);
    w.DestroyCommon();
}

TEST_F(ListViewTest, RowRectanglesAreInPixelsBelowTheHeaderAndPicturesSitBottomRight)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    for (const char* t : { "a", "b", "c" })
        w.LVAddString(kList, t, 0, 0, 0);
    uitest::Pump(100);
    double s = w.GetBackingScaleFactor();
    LCocoaRectangle none = list->getRowBounds(-1);
    EXPECT_EQ(none.bottom, 0);
    LCocoaRectangle r0 = list->getRowBounds(0), r1 = list->getRowBounds(1);
    EXPECT_EQ(r0.top, 0); // the header is not counted
    EXPECT_EQ(r1.top, r0.bottom);
    EXPECT_GT(r0.bottom, 0);
    EXPECT_NEAR(r0.bottom, list->rowHeight() * s, 1);
    LCocoaRectangle cell = list->getCellBounds(1, 1);
    EXPECT_GE(cell.top, r1.top);
    EXPECT_LE(cell.bottom, r1.bottom);
    EXPECT_GT(cell.left, 0); // the second column
    // A red picture at 60 % over the white rows, in the bottom-right corner.
    cairo_surface_t* red = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    cairo_t* cr = cairo_create(red);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    list->setBackgroundImage(red);
    cairo_surface_destroy(red);
    uitest::Pump(100);
    std::string path = Shot("background");
    ASSERT_TRUE(uitest::SaveScreenshot(w.GetNativeWindow(), path));
    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    LUiRect f = w.GetControlHandle(kList)->Frame(); // the scroll view around the list
    int stride = cairo_image_surface_get_stride(shot);
    auto pixel = [&](double x, double y) {
        unsigned char* px = cairo_image_surface_get_data(shot);
        return *reinterpret_cast<uint32_t*>(px + int(y * s) * stride + int(x * s) * 4);
    };
    // Inside the scroller's frame, a few points from the corner.
    uint32_t v = pixel(f.x + f.width - 8, f.y + f.height - 8);
    int r = (v >> 16) & 255, g = (v >> 8) & 255;
    EXPECT_GT(r, 200);
    EXPECT_GT(g, 60); // blended, not opaque
    EXPECT_LT(g, 140);
    cairo_surface_destroy(shot);
    w.DestroyCommon();
}

TEST_F(ListViewTest, TreeCheckBoxesAreClickedPerRow)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    TestWindow w;
    w.CreateCocoaWindow(int(300 * EnvScale()), int(200 * EnvScale()), kStyle, false, nullptr);
    LTreeFlags checks;
    checks.flags = kLTreeFlagCheckboxes;
    auto* tree = w.AddTreeView(kTree, checks);
    w.GetControlHandle(kTree)->SetFrame(LUiRect { 10, 10, 280, 180 }); // its scroll view
    w.TVInit(kTree);
    tree->manager()->setCheckStateChangeCommand(kCmdCheck);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LCocoaTreeNode* a = w.TVAddItemFirst(kTree, "a", 0, 0, nullptr);
    w.TVAddItemSorted(kTree, "b", 0, 0, nullptr);
    w.TVAddItemSorted(kTree, "c", 0, 0, a);
    tree->manager()->changeCheckState(1, true); // "b" while "a" is closed
    w.TVSelectItem(kTree, tree->manager()->firstChildOfItem(a));
    uitest::Pump(100);
    MakeKey(w);
    // Open, "b" is row 2; the check box sits in front of the text, after the expander.
    int startX = 0, width = 0;
    gtk_tree_view_column_cell_get_position(
        tree->tableColumn(0)->gtkColumn, tree->tableColumn(0)->toggleRenderer, &startX, &width);
    GdkRectangle cell;
    GtkTreePath* p = gtk_tree_path_new_from_indices(0, -1);
    gtk_tree_view_get_cell_area(
        GTK_TREE_VIEW(tree->treeView()), p, tree->tableColumn(0)->gtkColumn, &cell);
    gtk_tree_path_free(p);
    ASSERT_TRUE(ClickRow(w, tree, 0, cell.x + startX + width / 2.0));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdCheck) == 1; }));
    EXPECT_TRUE(tree->manager()->isRowChecked(0));
    EXPECT_FALSE(tree->manager()->isRowChecked(1));
    EXPECT_TRUE(tree->manager()->isRowChecked(2));
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("tree_checked"));
    w.DestroyCommon();
}

TEST_F(ListViewTest, DropDownCellsAreFilledByTheOwnerAndReportTheChoice)
{
    struct Choices : LListViewDropDownHandler {
        int fills = 0, id = 0, row = -1, column = -1, item = -1;
        std::string title;
        void EvDropDownFill(int, int dataColumn, int r, std::vector<std::string>& items) override
        {
            ++fills;
            column = dataColumn;
            row = r;
            items = { "Ja", "Nej", "Kanske" };
        }
        void EvDropDownChoice(int controlId, int r, int dataColumn, int i, const char* t) override
        {
            id = controlId;
            row = r;
            column = dataColumn;
            item = i;
            title = t;
        }
    } choices;
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    LCocoaListViewManager* m = list->manager();
    m->setDropDownColumnsHandler(&choices);
    const int32_t columns[][2] = { { 2, 0 }, { -1, 0 } };
    m->setDropDownColumns(columns);
    EXPECT_TRUE(list->tableColumn(2)->dropDown);
    for (const char* t : { "a", "b" })
        w.LVAddString(kList, t, 0, 0, 0);
    m->setItemText("Nej", 1, 2);
    uitest::Pump(100);
    list->editItem(1, 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return list->isEditing(); }));
    EXPECT_EQ(choices.fills, 1);
    EXPECT_EQ(choices.row, 1);
    EXPECT_EQ(choices.column, 2);
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(w.GetNativeWindow()->Gtk()));
    GtkWidget* combo = focus;
    while (combo && !GTK_IS_COMBO_BOX(combo))
        combo = gtk_widget_get_parent(combo);
    ASSERT_TRUE(combo);
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    ASSERT_TRUE(model);
    EXPECT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 3);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 2);
    list->endEditing();
    uitest::Pump(50);
    EXPECT_EQ(choices.id, kList);
    EXPECT_EQ(choices.item, 2);
    EXPECT_EQ(choices.title, "Kanske");
    char buf[260];
    EXPECT_STREQ(m->getItemText(buf, 1, 2), "Kanske");
    w.DestroyCommon();
}

TEST_F(ListViewTest, AQueuedReloadAfterTheManagerWentDoesNothing)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.HandleLVDoubleClick(kList, kCmdDouble);
    w.LVAddString(kList, "a", 0, 0, 0);
    EXPECT_TRUE(list->manager()->reloadQueued());
    w.LVDestroy(kList);
    EXPECT_EQ(list->manager(), nullptr);
    uitest::Pump(100); // the queued reload finds its manager gone
    EXPECT_EQ(w.LVAddString(kList, "b", 0, 0, 0), -1);
    EXPECT_EQ(w.LVGetSelCount(kList), 0);
    EXPECT_EQ(w.LVGetCurSel(kList), -1);
    char buf[260] = "junk";
    EXPECT_STREQ(w.LVGetString(kList, 0, buf), "");
    uitest::Pump(50);
    w.DestroyCommon();
}

TEST_F(ListViewTest, ListsAndTreesScrollInTheWindowsScrollView)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    double s = w.GetBackingScaleFactor();
    // The id names the scroll view; the list is its document and the tree view scrolls itself
    // right inside the scrolled window.
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(w.GetControlHandle(kList));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->documentView(), list);
    EXPECT_EQ(w.ListViewGetImplById(kList), list);
    EXPECT_EQ(gtk_widget_get_parent(list->treeView()), scroll->Widget());
    EXPECT_EQ(scroll->borderType(), 2);
    int x = 0, y = 0, width = 0, height = 0;
    w.GetControlPixels(kList, x, y, width, height);
    EXPECT_NEAR(x, 10 * s, 1);
    EXPECT_NEAR(width, 380 * s, 1);
    // Enough rows to scroll: the vertical bar shows and a page down moves the rows.
    for (int i = 0; i < 200; ++i)
        w.LVAddString(kList, ("rad " + std::to_string(i)).c_str(), 0, 0, 0);
    uitest::PumpUntil([&] { return scroll->isScrollerVisible(true); }, 2000);
    EXPECT_TRUE(scroll->isScrollerVisible(true));
    GtkAdjustment* v = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(list->treeView()));
    EXPECT_EQ(v, gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroll->Widget())));
    gtk_adjustment_set_value(v, gtk_adjustment_get_page_size(v));
    uitest::Pump(50);
    EXPECT_GT(gtk_adjustment_get_value(v), 0);
    ASSERT_TRUE(uitest::SaveScreenshot(w.GetNativeWindow(), Shot("scrolled-list")));
    // Moving by id moves the scroll view, the list still filling it.
    w.LVMovePixels(kList, kColumns, int(20 * s), int(20 * s), int(300 * s), int(200 * s));
    uitest::Pump(50);
    EXPECT_NEAR(scroll->Frame().x, 20, 0.5);
    EXPECT_NEAR(list->Frame().x, 0, 0.01);
    EXPECT_LE(list->Frame().width, 300);

    auto* tree = w.AddTreeView(kTree, LTreeFlags {});
    ASSERT_NE(tree, nullptr);
    auto* treeScroll = dynamic_cast<LCustomCocoaScrollView*>(w.GetControlHandle(kTree));
    ASSERT_NE(treeScroll, nullptr);
    EXPECT_EQ(w.TreeViewGetImplById(kTree), tree);
    EXPECT_EQ(gtk_widget_get_parent(tree->treeView()), treeScroll->Widget());
    w.DestroyCommon();
}

// The header shows the table's titles, also in a picture of the whole window, and the
// accessibility tree reads them out as the columns' descriptions.
TEST_F(ListViewTest, TheHeaderShowsAndReadsOutTheTitles)
{
    using namespace listshown;
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.LVAddRow(kList, "Sol", "3", "Hämtad", static_cast<const char*>(nullptr));
    ASSERT_TRUE(uitest::PumpUntilDrawn(w.GetNativeWindow()));
    const std::string path = Shot("header");
    ASSERT_TRUE(uitest::SaveScreenshot(w.GetNativeWindow(), path));
    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    const std::vector<Column> columns = Columns(list);
    ASSERT_EQ(columns.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kColumns[i].title);
        EXPECT_EQ(columns[size_t(i)].title, kColumns[i].title);
        EXPECT_EQ(columns[size_t(i)].description, kColumns[i].title);
        EXPECT_GT(InkPixels(shot, HeaderTitleRect(list, i), w.GetBackingScaleFactor()), 10);
        EXPECT_GT(InkPixels(shot, CellRect(list, 0, i), w.GetBackingScaleFactor()), 10);
    }
    cairo_surface_destroy(shot);
    w.DestroyCommon();
}

// "Namn" stretches: it takes what a change of the list's width leaves over or lacks, never below
// its minimum, and the other columns stay in sight.
TEST_F(ListViewTest, StretchingColumnsFollowTheWidthOfTheList)
{
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    w.LVAddRow(kList, "Sol", "3", "Hämtad", static_cast<const char*>(nullptr));
    const double s = w.GetBackingScaleFactor();
    auto widthTo = [&](int points) {
        w.MoveControlPixels(kList, int(10 * s), int(10 * s), int(points * s), int(240 * s));
        EXPECT_TRUE(uitest::PumpUntil([&] {
            return std::abs(gtk_widget_get_allocated_width(list->treeView()) - (points - 2)) <= 1;
        }));
        EXPECT_TRUE(uitest::PumpUntilDrawn(w.GetNativeWindow()));
        return listshown::Columns(list);
    };
    const auto start = listshown::Columns(list);
    const auto narrow = widthTo(300);
    EXPECT_LT(narrow[0].width, start[0].width);
    EXPECT_EQ(narrow[1].width, start[1].width);
    EXPECT_EQ(narrow[2].width, start[2].width);
    EXPECT_EQ(narrow[2].x + narrow[2].width, gtk_widget_get_allocated_width(list->treeView()));
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("narrow"));
    EXPECT_EQ(widthTo(120)[0].width, int(list->tableColumn(0)->minWidth));
    const auto again = widthTo(380);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(again[i].width, start[i].width) << i;
    const auto wide = widthTo(500);
    EXPECT_GT(wide[0].width, start[0].width);
    EXPECT_EQ(wide[2].width, start[2].width);
    w.DestroyCommon();
}

// The edge of a column's header dragged with the real pointer: the column's width is the user's,
// read back and saved as such, and a later change of the list's width keeps it while "Namn"
// takes what is left, the last column ending at the list's right edge.
TEST_F(ListViewTest, AColumnWidthDraggedByTheUserIsKeptReadAndSaved)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    using namespace listshown;
    TestWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    LCocoaListViewManager* m = list->manager();
    w.LVAddRow(kList, "Sol", "3", "Hämtad", static_cast<const char*>(nullptr));
    ASSERT_TRUE(uitest::PumpUntilDrawn(w.GetNativeWindow()));
    const double s = w.GetBackingScaleFactor();
    const std::vector<Column> start = Columns(list);
    ASSERT_EQ(start.size(), 3u);
    // The right edge of "Storlek (Byte)" in the header, dragged 50 points to the right.
    GtkWidget* button = gtk_tree_view_column_get_button(list->tableColumn(1)->gtkColumn);
    GtkAllocation a;
    gtk_widget_get_allocation(button, &a);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(
        button, w.GetNativeWindow()->ContentView()->Widget(), a.width - 1, a.height / 2, &x, &y);
    const int dragged = start[1].width + 50;
    ASSERT_TRUE(uitest::XDragWithin(
        w.GetNativeWindow(), x, y, x + 50, y, [&] { return Columns(list)[1].width == dragged; }));
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("column-dragged"));
    EXPECT_EQ(m->getColumnWidth(1), dragged);
    const char* section = "ListViewTestDraggedWidths";
    m->saveColumnWidths(section);
    EXPECT_EQ(LUserSettingGet<double>(section, "ColumnWidth2", 0), double(dragged));

    // The list grows and shrinks, as its window's layout gives it a new width.
    for (int points : { 500, 330 }) {
        SCOPED_TRACE(points);
        w.MoveControlPixels(kList, int(10 * s), int(10 * s), int(points * s), int(240 * s));
        ASSERT_TRUE(uitest::PumpUntil([&] {
            return std::abs(gtk_widget_get_allocated_width(list->treeView()) - (points - 2)) <= 1;
        }));
        EXPECT_TRUE(uitest::PumpUntilDrawn(w.GetNativeWindow()));
        const std::vector<Column> now = Columns(list);
        EXPECT_EQ(now[1].width, dragged);
        EXPECT_EQ(now[2].width, start[2].width);
        EXPECT_EQ(now[2].x + now[2].width, gtk_widget_get_allocated_width(list->treeView()));
        EXPECT_EQ(m->getColumnWidth(1), dragged);
    }
    uitest::SaveScreenshot(w.GetNativeWindow(), Shot("column-dragged-then-narrowed"));
    w.DestroyCommon();
}
