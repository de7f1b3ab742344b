#include "lfw/zor/LAboutBox.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/zor/LAbout.h"
#include "platform/ui/LNativeWindow.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTabs = 108, kIcon = 101, kName = 102, kVersion = 103, kDistributor = 104,
              kLink = 107, kText = 110;

int R(double v)
{
    return int(v + 0.5);
}

LAboutBox* gOpenBox = nullptr;

void SetFontScaled(LMacWindow& window, int id, float factor, bool bold)
{
    LView* view = window.GetControlHandle(id);
    if (!view)
        return;
    LGuiFont font;
    font.CreateFromControl(view, factor, nullptr, LFontStyleValue(bold ? 2 : 0), LFontStyleValue(0),
        LFontStyleValue(0), LFontStyleValue(0));
    LMacWindow::SetControlFont(view, font);
}

} // namespace

LAboutBox::~LAboutBox()
{
    if (gOpenBox == this)
        gOpenBox = nullptr;
}

void LAboutBox::InitDialog()
{
    auto* tabs = new LCocoaTabViewImpl(LUiRect { 0, 0, 100, 100 }, kTabs, this);
    if (LView* content = GetContentView())
        content->AddSubview(tabs);
    tabs->Release();
    tabs->addTab("Om");
    tabs->addTab("Licensvillkor");
    tabs->addTab("Krediter");
    tabs->setSelectedCmd(kTabs);

    AddIcon(kIcon, 300, 0, 0, 1, 1);
    LStaticFlags centre;
    centre.alignment = 1;
    AddStatic(kName, "Vorantel", centre);
    SetFontScaled(*this, kName, 1.25f, true);
    char text[kLPathSize + 64];
    std::snprintf(text, sizeof text, "Version %s", kLAboutVersionText);
    AddStatic(kVersion, text, centre);
    SetFontScaled(*this, kVersion, 0.8f, false);
    char name[kLPathSize];
    LAboutGetDistributorName(name);
    std::snprintf(text, sizeof text, "Distribueras av %s", name);
    AddStatic(kDistributor, text, centre);
    SetFontScaled(*this, kDistributor, 0.8f, false);
    char url[kLPathSize];
    LAboutGetDistributorURL(url);
    AddHyperLink(kLink, "Vorantel Webbsida", url, 0, 0, 1, 1);
    PlaceAboutPage();

    LEditFlags flags;
    flags.readOnly = true;
    AddEdit(kText, flags);

    fTerms = LAboutGetLicenseAgreement();
    fCredits.clear();
    LGetLicenseTermsAndCredits(fTerms, fCredits);
    fPages = { 0, 1, 2 };
    if (fCredits.empty()) {
        tabs->removeTab(2);
        fPages.pop_back();
    }
    if (fTerms.empty()) {
        tabs->removeTab(1);
        fPages.erase(fPages.begin() + 1);
    }
    if (fPages.size() == 1) {
        tabs->removeTab(0);
        fPages.clear();
    }
    SetText(kText, fTerms.c_str());
    SetCaption("Om Vorantel");
    TabViewUpdate();
    CenterDialog();
}

// The icon, the name, the version lines and the link of the about page, in the pixels of the
// present character cell and backing scale.
void LAboutBox::PlaceAboutPage()
{
    const float cw = CharWidthPixels(), ch = CharHeightPixels();
    const double s = GetBackingScaleFactor();
    const int W = R(42.5 * cw), G = R(0.59 * ch);
    const int S = int(64 * s);
    int y = R(1.2 * ch) + 2 * G;
    MoveControlPixels(kIcon, (W - S) / 2, y, S, S);
    y += S + G;
    // The few points of room beside the lines are points at every scale.
    int h = MeasureTextHeight(kName, W) + R(4 * s);
    MoveControlPixels(kName, 0, y, W, h);
    y += h + G;
    h = MeasureTextHeight(kVersion, W);
    MoveControlPixels(kVersion, 0, y, W, h);
    y += h;
    h = MeasureTextHeight(kDistributor, W);
    MoveControlPixels(kDistributor, 0, y, W, h);
    y += h + G - R(3 * s);
    // The link stands 12 points right of the middle.
    const int lw = MeasureTextWidth(kLink, "Vorantel Webbsida");
    MoveControlPixels(kLink, (W - lw) / 2 + R(12 * s), y, lw, R(1.23 * ch));
}

// At another backing scale the box is laid out afresh: its page, its size and its tabs.
void LAboutBox::EvBackingScaleChanged()
{
    LModelessDialog::EvBackingScaleChanged();
    PlaceAboutPage();
    TabViewUpdate();
}

void LAboutBox::Command(int id, int code)
{
    if (id == kTabs) {
        TabViewUpdate();
        return;
    }
    LModelessDialog::Command(id, code);
}

void LAboutBox::EvActivate()
{
    SetText(kName, "Vorantel");
    ShowOrHideAboutPage();
    RedrawWindow();
}

void LAboutBox::TabViewUpdate()
{
    auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(GetControlHandle(kTabs));
    const int index = tabs ? tabs->getCurrentTab() : -1;
    const int page = index >= 0 && size_t(index) < fPages.size() ? fPages[size_t(index)] : 0;
    if (page == 0) {
        SwitchToAboutPage();
        return;
    }
    SetText(kText, page == 1 ? fTerms.c_str() : fCredits.c_str());
    SwitchToTextPage();
}

void LAboutBox::PlaceTabs(int W, int H)
{
    const int x = R(1.25 * CharWidthPixels()), y = R(0.59 * CharHeightPixels());
    MoveControlPixels(kTabs, x, y, W - 2 * x, H - 2 * y);
    ShowControl(kTabs, !fPages.empty());
}

void LAboutBox::SwitchToAboutPage()
{
    ShowControl(kText, false);
    const int W = R(42.5 * CharWidthPixels()), H = R(15 * CharHeightPixels());
    PlaceTabs(W, H);
    bAboutPage = true;
    ShowOrHideAboutPage();
    SizeDialogPixelsMac(W, H, false);
    ControlsLaidOut();
}

void LAboutBox::SwitchToTextPage()
{
    const float cw = CharWidthPixels(), ch = CharHeightPixels();
    int W = R(62.5 * cw), H = R(35.3 * ch);
    const int T = R(1.2 * ch), mx = R(1.25 * cw), my = R(0.59 * ch);
    // On a screen too small for the whole page the text (which scrolls) gives up what is
    // missing, and the box is moved to where it shows whole.
    int largestWidth = 0, largestHeight = 0;
    GetLargestClientSizePixels(largestWidth, largestHeight);
    if (largestWidth > 0)
        W = std::max(std::min(W, largestWidth), R(30 * cw));
    if (largestHeight > 0)
        H = std::max(std::min(H, largestHeight), R(10 * ch));
    SizeDialogPixelsMac(W, H, false);
    PlaceTabs(W, H);
    MoveControlPixels(kText, 2 * mx, T + 2 * my, W - 4 * mx, H - T - 4 * my);
    bAboutPage = false;
    ShowOrHideAboutPage();
    ShowControl(kText, true);
    if (LNativeWindow* window = GetNativeWindow())
        window->FitToWorkArea();
    ControlsLaidOut();
}

void LAboutBox::ShowOrHideAboutPage()
{
    for (int id : { kIcon, kName, kVersion, kDistributor, kLink })
        ShowControl(id, bAboutPage);
}

void LAboutBoxOpen(void* parent)
{
    if (gOpenBox && gOpenBox->IsOpen()) {
        if (LNativeWindow* w = gOpenBox->GetNativeWindow())
            w->MakeKeyAndOrderFront();
        return;
    }
    delete gOpenBox;
    gOpenBox = new LAboutBox;
    auto* window = static_cast<LMacWindow*>(parent);
    gOpenBox->OpenBlankNonResizable(window ? window->GetContentView() : nullptr, 200, 200);
}

LAboutBox* LAboutBoxGetOpen()
{
    return gOpenBox && gOpenBox->IsOpen() ? gOpenBox : nullptr;
}
