// Previous and next page around "Sidan %i av %i".
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/gui/LSmallControls.h"

#include <cstdint>

class VTControlPaginatorNotifyee {
public:
    virtual ~VTControlPaginatorNotifyee() = default;
    virtual void EvControlPaginatorPreviousClicked() = 0;
    virtual void EvControlPaginatorNextClicked() = 0;
};

// Icon-only cool buttons 1000 (previous, icon 379) and 1002 (next, icon 381) with static 1001
// between them. The control never moves by itself: the owner moves, writes the page (1-based)
// and the count, and calls EnableControls.
class VTControlPaginator : public VTControl<VTControlPaginatorNotifyee>,
                           public LCoolButtonContainer {
public:
    VTControlPaginator() = default;
    ~VTControlPaginator() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
    // Shows "Sidan page av count"; previous is enabled when page > 1, next when page < count.
    void EnableControls() override;

    uint64_t iCurrentPage = 10;
    uint64_t iPageCount = 10;

private:
    char szShown[kVTControlTextSize] = "";
};
