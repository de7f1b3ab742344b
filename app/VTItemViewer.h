// The selection model of the design canvases: which collection a canvas shows and which of its
// items are selected. The canvases of the editor (a design's overlays, a layout page's label
// positions) derive from it and draw, hit-test and repaint on top of it.
#pragma once

#include "app/VTItemCollection.h"

template <class TCollection, class TItem> class VTItemViewer {
public:
    VTItemViewer() = default;
    VTItemViewer(const VTItemViewer&) = delete;
    VTItemViewer& operator=(const VTItemViewer&) = delete;
    virtual ~VTItemViewer() = default;

    // Empties the selection and runs the selection-changed notification.
    void ClearSelectedItems()
    {
        selectedItems.Clear();
        NotifyItemSelectionChanged();
    }
    // Empties the selection (without notification), shows the collection's items (null: none)
    // and asks for a repaint.
    void SetCollection(TCollection* shown)
    {
        selectedItems.Clear();
        collection = shown;
        Invalidate();
    }
    TCollection* GetCollection() const { return collection; }

    // Tells the viewer's observers that the selection changed.
    virtual void NotifyItemSelectionChanged() { }
    // Asks for the canvas to be painted again.
    virtual void Invalidate() { }

    // The selected items of the shown collection, in the order they were selected.
    VTRefList<TItem> selectedItems;
    TCollection* collection = nullptr;
};
