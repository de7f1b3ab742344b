#include "app/VTProjectTemplateViewer.h"

int VTProjectTemplateViewer::GetSelectedItemIndex() const
{
    if (!collection || !selectedItems.first || selectedItems.first->next)
        return -1;
    return int(collection->IndexOf(selectedItems.first->item));
}

void VTProjectTemplateViewer::SetSelectedItemIndex(int index)
{
    if (!collection || index < 0)
        return;
    VTOverlay* overlay = collection->GetItemAt(size_t(index));
    if (!overlay || selectedItems.Contains(*overlay))
        return;
    selectedItems.Add(*overlay);
    NotifyItemSelectionChanged();
}
