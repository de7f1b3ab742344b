// The about box: the product's name, version and distributor on the first tab, the licence terms
// and the credits on the others. One box per program; opening it again brings it forward.
#pragma once

#include "lfw/mac/LDialog.h"

#include <string>
#include <vector>

class LAboutBox : public LModelessDialog {
public:
    ~LAboutBox() override;

    void InitDialog() override;
    void Command(int id, int code) override;
    void EvActivate() override;
    // Lays the box out again for the new scale.
    void EvBackingScaleChanged() override;

    void TabViewUpdate();
    void SwitchToAboutPage();
    void SwitchToTextPage();
    void ShowOrHideAboutPage();

    bool IsAboutPageShown() const { return bAboutPage; }
    // The pages behind the tabs left (0 about, 1 terms, 2 credits).
    const std::vector<int>& Pages() const { return fPages; }

private:
    void PlaceTabs(int W, int H);
    void PlaceAboutPage();

    std::string fTerms;
    std::string fCredits;
    std::vector<int> fPages;
    bool bAboutPage = true;
};

// Opens the program's about box over the parent window, or brings the open one forward; what
// LAboutSetBoxFunction installs.
void LAboutBoxOpen(void* parent);
// The open about box, or null.
LAboutBox* LAboutBoxGetOpen();
