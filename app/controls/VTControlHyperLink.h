// A hyperlink without address: a click only reports.
#pragma once

#include "app/controls/VTControl.h"

class VTControlHyperLink;

class VTControlHyperLinkNotifyee {
public:
    virtual ~VTControlHyperLinkNotifyee() = default;
    virtual void EvHyperLinkClicked(VTControlHyperLink& control) = 0;
};

// Hyperlink 1000 with the text and no address: a click only reports.
class VTControlHyperLink : public VTControl<VTControlHyperLinkNotifyee> {
public:
    explicit VTControlHyperLink(const char* text);

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

private:
    char szText[kVTControlTextSize];
};
