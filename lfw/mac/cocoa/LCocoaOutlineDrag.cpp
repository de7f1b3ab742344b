// Rows dragged out of list and tree views: GTK's tree view starts the drag when the model lets a
// row be dragged; the owner's drag source or row drag handler is told how it goes.
#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "lfw/mac/cocoa/LCocoaOutlineTreeModel.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LListViewDragHandler.h"

#include <cmath>
#include <gtk/gtk.h>

namespace {

// The type rows travel under; only this application takes it.
GtkTargetEntry kRowTarget
    = { const_cast<gchar*>("application/x-vorantel-rows"), GTK_TARGET_SAME_APP, 0 };

constexpr guint kMoveInterval = 30; // milliseconds between looks at the pointer

LCocoaOutlineViewImpl* gDraggedOutlineView = nullptr;

} // namespace

struct LCocoaOutlineDragGlue {
    static void Begin(GtkWidget*, GdkDragContext* context, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        LUiRef<LView> hold(view);
        view->rowDragBegan(context);
    }
    static void End(GtkWidget*, GdkDragContext* context, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        LUiRef<LView> hold(view);
        view->rowDragEnded(context);
    }
    static gboolean Move(gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        LUiRef<LView> hold(view);
        view->rowDragMoved();
        return G_SOURCE_CONTINUE;
    }
};

LCocoaOutlineViewImpl* LCocoaOutlineViewImpl::draggedOutlineView()
{
    return gDraggedOutlineView;
}

void LCocoaOutlineViewImpl::setUpRowDragging()
{
    gtk_tree_view_enable_model_drag_source(GTK_TREE_VIEW(fTree), GDK_BUTTON1_MASK, &kRowTarget, 1,
        GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE));
    g_signal_connect_after(fTree, "drag-begin", G_CALLBACK(&LCocoaOutlineDragGlue::Begin), this);
    g_signal_connect(fTree, "drag-end", G_CALLBACK(&LCocoaOutlineDragGlue::End), this);
}

bool LCocoaOutlineViewImpl::canDragRows() const
{
    LCocoaOutlineViewManager* manager = outlineManager();
    if (!manager || (!manager->dragSource() && !pDragHandler))
        return false;
    // GTK selects the pressed row before a drag begins: at least one row is selected then.
    return !selectedRowIndexes().empty();
}

bool LCocoaOutlineViewImpl::pointerOnScreen(LUiPoint& p) const
{
    if (!fTree)
        return false;
    GdkDisplay* display = gtk_widget_get_display(fTree);
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!pointer)
        return false;
    double x = 0, y = 0;
    gdk_device_get_position_double(pointer, nullptr, &x, &y);
    p = { x, y };
    return true;
}

LUiPoint LCocoaOutlineViewImpl::screenPointsToWindowPixels(LUiPoint screen) const
{
    LCocoaWindow* window = lfwWindow();
    LView* root = window ? window->GetContentView() : nullptr;
    LUiPoint p;
    if (!root || !root->ConvertFromScreen(screen.x, screen.y, p))
        return { 0, 0 };
    double scale = root->BackingScale();
    return { std::trunc(p.x * scale + 0.5), std::trunc(p.y * scale + 0.5) };
}

int LCocoaOutlineViewImpl::dropRowAtScreenPoint(LUiPoint screen) const
{
    if (!fTree)
        return 0;
    GdkWindow* bin = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(fTree));
    if (!bin)
        return 0;
    int ox = 0, oy = 0;
    gdk_window_get_origin(bin, &ox, &oy);
    int tx = 0, ty = 0;
    gtk_tree_view_convert_bin_window_to_tree_coords(GTK_TREE_VIEW(fTree),
        int(std::floor(screen.x - ox)), int(std::floor(screen.y - oy)), &tx, &ty);
    int row = rowAtPoint(tx, ty);
    if (row >= 0)
        return row;
    return ty >= 0 ? numberOfRows() : 0;
}

void LCocoaOutlineViewImpl::rowDragBegan(GdkDragContext* context)
{
    LCocoaOutlineViewManager* manager = outlineManager();
    if (!manager)
        return;
    // The dragged rows are the selection (GTK selected the pressed row already).
    std::vector<int> rows = selectedRowIndexes();
    fDraggedNodes.clear();
    for (int row : rows)
        if (LCocoaTreeNode* node = itemAtRow(row))
            fDraggedNodes.push_back(node);
    fDragSession = context;
    gDraggedOutlineView = this;
    fLastDragPoint = { -1e9, -1e9 };
    if (pDragHandler) {
        LListViewDragHandler::DragSessionStarted(pDragHandler, context, this);
        pDragHandler->EvDragStart(Tag());
        if (!fDragMoveTimer)
            fDragMoveTimer = g_timeout_add(kMoveInterval, &LCocoaOutlineDragGlue::Move, this);
    } else if (manager->dragSource()) {
        LCocoaView::sendCommand(this, manager->dragStartCommand(), lfwWindow());
    }
}

void LCocoaOutlineViewImpl::rowDragMoved()
{
    if (!fDragSession || !pDragHandler)
        return;
    LUiPoint screen;
    if (!pointerOnScreen(screen))
        return;
    if (screen.x == fLastDragPoint.x && screen.y == fLastDragPoint.y)
        return;
    fLastDragPoint = screen;
    LUiPoint p = screenPointsToWindowPixels(screen);
    pDragHandler->EvDragMove(Tag(), int(p.x), int(p.y));
}

void LCocoaOutlineViewImpl::rowDragEnded(GdkDragContext* context)
{
    if (!fDragSession || context != fDragSession)
        return;
    if (fDragMoveTimer) {
        g_source_remove(fDragMoveTimer);
        fDragMoveTimer = 0;
    }
    LCocoaOutlineViewManager* manager = outlineManager();
    if (LListViewDragHandler* handler = pDragHandler) {
        LUiPoint screen;
        if (!pointerOnScreen(screen))
            screen = fLastDragPoint;
        const int id = Tag();
        handler->EvDrop(id, dropRowAtScreenPoint(screen));
        LUiPoint p = screenPointsToWindowPixels(screen);
        handler->EvDragEnd(id, int(p.x), int(p.y));
        LListViewDragHandler::DragSessionFinished();
    } else if (manager && manager->dragSource()) {
        manager->dragSource()->EvDraggingSessionEnded();
    }
    resetDraggingSession();
}

void LCocoaOutlineViewImpl::resetDraggingSession()
{
    if (fDragMoveTimer) {
        g_source_remove(fDragMoveTimer);
        fDragMoveTimer = 0;
    }
    if (fDragSession && LListViewDragHandler::currentSession() == fDragSession)
        LListViewDragHandler::DragSessionFinished();
    if (gDraggedOutlineView == this)
        gDraggedOutlineView = nullptr;
    fDragSession = nullptr;
    fDraggedNodes.clear();
}
