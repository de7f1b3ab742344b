// The owner's side of dragging rows out of a list or tree view: told when the drag starts, where
// the pointer moves (window pixels), the row the rows were dropped at and where the drag ended.
// One drag runs at a time; its handler, session and list view are known class-wide while it runs.
#pragma once

class LView;

class LListViewDragHandler {
public:
    virtual void EvDrop(int controlID, int row) = 0;
    virtual void EvDragStart(int controlID) = 0;
    virtual void EvDragEnd(int controlID, int x, int y) = 0;
    virtual void EvDragMove(int controlID, int x, int y) = 0;

    // The drag running now (nulls when none).
    static LListViewDragHandler* currentHandler() { return sCurrentHandler; }
    static const void* currentSession() { return sDragSession; }
    static LView* draggedListView() { return sDraggedListView; }
    static void DragSessionStarted(LListViewDragHandler* handler, const void* session, LView* view);
    // The drag is over: the statics are cleared.
    static void DragSessionFinished();

protected:
    ~LListViewDragHandler() = default;

private:
    static LListViewDragHandler* sCurrentHandler;
    static const void* sDragSession;
    static LView* sDraggedListView;
};
