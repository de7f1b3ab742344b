#include "lfw/mac/cocoa/LListViewDragHandler.h"

LListViewDragHandler* LListViewDragHandler::sCurrentHandler = nullptr;
const void* LListViewDragHandler::sDragSession = nullptr;
LView* LListViewDragHandler::sDraggedListView = nullptr;

void LListViewDragHandler::DragSessionStarted(
    LListViewDragHandler* handler, const void* session, LView* view)
{
    sCurrentHandler = handler;
    sDragSession = session;
    sDraggedListView = view;
}

void LListViewDragHandler::DragSessionFinished()
{
    sCurrentHandler = nullptr;
    sDragSession = nullptr;
    sDraggedListView = nullptr;
}
