// A labelled pull-down list that reports a changed selection.
#pragma once

#include "app/controls/VTControl.h"

class VTControlPullDownList;

class VTControlPullDownListNotifyee {
public:
    virtual ~VTControlPullDownListNotifyee() = default;
    virtual void EvPullDownListChanged(VTControlPullDownList& control) = 0;
};

// Static 1000 with the label and pull-down list 1001 beside it; the owner fills the list through
// the window's pull-down operations on 1001.
class VTControlPullDownList : public VTControl<VTControlPullDownListNotifyee> {
public:
    VTControlPullDownList(const char* label, const char* tooltip);

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    // The data value of the selected item; -1 when nothing is selected.
    long GetSelectedData() const;

private:
    char szLabel[kVTControlTextSize];
    char szToolTip[kVTControlTextSize];
};
