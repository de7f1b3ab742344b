// A label with a text beside it.
#pragma once

#include "app/controls/VTControl.h"

// Static 1000 with the label and static 1001 with a text, left-aligned and cut at its end when
// too long. Reports nothing.
class VTControlStaticTextWithLabel : public VTControlBase {
public:
    VTControlStaticTextWithLabel(const char* label, const char* text = "");

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;

    // Shows the text (at most 259 bytes); with trim it is first shortened to fit static 1001,
    // ending with "...".
    void SetText(const char* text, bool trim);
    const char* GetText() const { return szText; }
    void EnableControls(bool enable);
    using LEmbeddedWindow::EnableControls;

private:
    char szLabel[kVTControlTextSize];
    char szText[kVTControlTextSize];
};
