// Rows dragged out of a list view with the real pointer: the owner's row drag handler hears the
// start, the moves in window pixels, the row the rows were dropped at and the end.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "lfw/mac/cocoa/LListViewDragHandler.h"
#include "platform/ui/UI.h"
#include "support/OutlineViewPoints.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
constexpr int kList = 101;

const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek", 11, 1, false },
    { nullptr, 0, 0, false },
};

double EnvScale()
{
    const char* scale = getenv("GDK_SCALE");
    return scale && atoi(scale) > 1 ? atoi(scale) : 1;
}

struct Recorder : LListViewDragHandler {
    std::vector<std::string> events;
    int drops = -2, endX = -1, endY = -1, moves = 0;
    bool staticsDuringDrag = false;
    LView* list = nullptr;
    void EvDrop(int id, int row) override
    {
        events.push_back("drop " + std::to_string(id) + " " + std::to_string(row));
        drops = row;
    }
    void EvDragStart(int id) override
    {
        events.push_back("start " + std::to_string(id));
        staticsDuringDrag
            = currentHandler() == this && draggedListView() == list && currentSession() != nullptr;
    }
    void EvDragEnd(int id, int x, int y) override
    {
        events.push_back("end " + std::to_string(id));
        endX = x;
        endY = y;
    }
    void EvDragMove(int, int, int) override { ++moves; }
};

class RowDragTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
    LCocoaListViewImpl* MakeList(LMacWindow& w)
    {
        w.CreateCocoaWindow(int(400 * EnvScale()), int(300 * EnvScale()), kStyle, false, nullptr);
        double scale = w.GetBackingScaleFactor();
        LCocoaListViewImpl* list = w.AddList(kList, LListFlags {}, int(10 * scale), int(10 * scale),
            int(380 * scale), int(240 * scale));
        w.LVInit(kList, kColumns);
        for (const char* name : { "ett", "två", "tre", "fyra" })
            w.LVAddRow(kList, name, "1", static_cast<const char*>(nullptr));
        w.InitCommon(kLCocoaDialogCenterNone, true);
        EXPECT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
        uitest::Pump(50);
        return list;
    }
    static LUiPoint RowPoint(LCocoaOutlineViewImpl* view, int row)
    {
        LUiRect r = view->rectOfRow(row);
        return RowContentPoint(view, 30, r.y + r.height / 2);
    }
};

} // namespace

TEST_F(RowDragTest, DroppedBelowTheLastRowAndOntoARow)
{
    LMacWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    Recorder rec;
    rec.list = list;
    // Without a handler or a drag source nothing may be dragged.
    EXPECT_FALSE(list->canDragRows());
    list->setLvDragHandler(&rec);
    EXPECT_EQ(list->lvDragHandler(), &rec);

    LUiPoint from = RowPoint(list, 1);
    LUiPoint below = RowContentPoint(list, 30, list->rectOfRow(3).y + 80);
    uitest::XDragWithin(
        w.GetNativeWindow(), from.x, from.y, below.x, below.y, [&] { return rec.drops != -2; },
        4000);
    ASSERT_EQ(rec.events, (std::vector<std::string> { "start 101", "drop 101 4", "end 101" }));
    EXPECT_TRUE(rec.staticsDuringDrag);
    EXPECT_GT(rec.moves, 0);
    // The end point in window pixels.
    double s = list->BackingScale();
    EXPECT_NEAR(rec.endX, below.x * s, 2 * s);
    EXPECT_NEAR(rec.endY, below.y * s, 2 * s);
    // The dragged row became the selection; the drag is forgotten.
    EXPECT_EQ(list->selectedRowIndexes(), (std::vector<int> { 1 }));
    EXPECT_EQ(LListViewDragHandler::currentHandler(), nullptr);
    EXPECT_EQ(list->dragSession(), nullptr);

    // Onto a row: that row.
    rec.events.clear();
    rec.drops = -2;
    LUiPoint onto = RowPoint(list, 3);
    LUiPoint start = RowPoint(list, 0);
    uitest::XDragWithin(
        w.GetNativeWindow(), start.x, start.y, onto.x, onto.y, [&] { return rec.drops != -2; },
        4000);
    EXPECT_EQ(rec.events, (std::vector<std::string> { "start 101", "drop 101 3", "end 101" }));
    w.Close();
}

TEST_F(RowDragTest, ScreenPointsAndRowsOutsideTheList)
{
    LMacWindow w;
    LCocoaListViewImpl* list = MakeList(w);
    GdkWindow* bin = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(list->treeView()));
    int ox = 0, oy = 0;
    gdk_window_get_origin(bin, &ox, &oy);
    // Above the first row: 0; far below the last: the number of rows.
    EXPECT_EQ(list->dropRowAtScreenPoint({ double(ox + 20), double(oy - 40) }), 0);
    EXPECT_EQ(list->dropRowAtScreenPoint({ double(ox + 20), double(oy + 200) }), 4);
    LUiRect r = list->rectOfRow(2);
    int bx = 0, by = 0;
    gtk_tree_view_convert_tree_to_bin_window_coords(
        GTK_TREE_VIEW(list->treeView()), 20, int(r.y + r.height / 2), &bx, &by);
    EXPECT_EQ(list->dropRowAtScreenPoint({ double(ox + bx), double(oy + by) }), 2);

    // The content view's origin on the screen is pixel (0, 0); a point 10 points right of it is
    // 10 pixels times the scale.
    LView* content = w.GetContentView();
    int cx = 0, cy = 0;
    gdk_window_get_origin(gtk_widget_get_window(content->Widget()), &cx, &cy);
    GtkAllocation a;
    gtk_widget_get_allocation(content->Widget(), &a);
    if (!gtk_widget_get_has_window(content->Widget())) {
        cx += a.x;
        cy += a.y;
    }
    LUiPoint p = list->screenPointsToWindowPixels({ double(cx + 10), double(cy + 5) });
    double s = content->BackingScale();
    EXPECT_EQ(p.x, 10 * s);
    EXPECT_EQ(p.y, 5 * s);
    w.Close();
}

namespace {

struct SourceRecorder : LCocoaDragSourceBridge {
    int ended = 0;
    void EvDraggingSessionEnded() override { ++ended; }
};

struct CommandWindow : LMacWindow {
    std::vector<int> commands;
    LCocoaOutlineViewImpl* dragged = nullptr;
    size_t draggedCount = 0;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (id == 777) {
            dragged = LCocoaOutlineViewImpl::draggedOutlineView();
            if (dragged)
                draggedCount = dragged->draggedNodes().size();
        }
        LMacWindow::Command(id, code);
    }
};

} // namespace

TEST_F(RowDragTest, TreeItemsDragWithADragSource)
{
    constexpr int kTree = 102;
    CommandWindow w;
    w.CreateCocoaWindow(int(300 * EnvScale()), int(300 * EnvScale()), kStyle, false, nullptr);
    LCocoaTreeViewImpl* tree = w.AddTreeView(kTree, LTreeFlags {});
    w.GetControlHandle(kTree)->SetFrame(LUiRect { 10, 10, 280, 200 });
    w.TVInit(kTree);
    LCocoaTreeNode* a = w.TVAddItemFirst(kTree, "A", 0, 1, nullptr);
    w.TVAddItemFirst(kTree, "B", 0, 2, nullptr);
    w.TVAddItemFirst(kTree, "C", 0, 3, a);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    uitest::Pump(50);
    SourceRecorder source;
    tree->outlineManager()->setDragSource(&source);
    tree->outlineManager()->setDragStartCommand(777);
    ASSERT_GE(tree->numberOfRows(), 2);

    LUiPoint from = RowPoint(tree, 1);
    LUiPoint to = RowPoint(tree, 0);
    uitest::XDragWithin(
        w.GetNativeWindow(), from.x, from.y, to.x + 5, to.y, [&] { return source.ended > 0; },
        4000);
    EXPECT_EQ(std::count(w.commands.begin(), w.commands.end(), 777), 1);
    EXPECT_EQ(w.dragged, tree);
    EXPECT_EQ(w.draggedCount, 1u);
    EXPECT_EQ(source.ended, 1);
    EXPECT_EQ(tree->dragSession(), nullptr);
    EXPECT_EQ(LCocoaOutlineViewImpl::draggedOutlineView(), nullptr);
    tree->outlineManager()->setDragSource(nullptr);
    w.Close();
}
