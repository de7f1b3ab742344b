#include "lfw/mac/LPropertySheet.h"

#include "lfw/gen/LCharSet.h"

#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

constexpr unsigned long kTitledClosable = kLUiWindowTitled | kLUiWindowClosable;

} // namespace

// --- property pages ------------------------------------------------------------------------------

void LPropertyPage::CreatePage(const LDialog::OpenGenData& data, LPropertySheet* sheet)
{
    pSheet = sheet;
    if (sheet)
        Init(*sheet, data);
    iTemplateWidth = data.width;
    iTemplateHeight = data.height;
}

void LPropertyPage::Close(int code)
{
    if (pSheet)
        pSheet->ClosePage(code);
}

// --- property sheet ------------------------------------------------------------------------------

LPropertySheet::LPropertySheet()
{
    pTabView = new LPropertyTabViewImpl(this, this);
    CreateCocoaWindow(1, 1, kTitledClosable, false, nullptr);
}

LPropertySheet::~LPropertySheet()
{
    if (IsOpen())
        DestroyCommon();
    pTabView->setOwner(nullptr);
    pTabView->Release();
}

LPropertyPage* LPropertySheet::PageAt(int index) const
{
    LView* view = pTabView->pageView(index);
    return view ? dynamic_cast<LPropertyPage*>(GetThisProperty(view)) : nullptr;
}

LPropertyPage* LPropertySheet::CurrentPage() const
{
    return PageAt(pTabView->getCurrentTab());
}

void LPropertySheet::AddPage(
    LPropertyPage& page, const LDialog::OpenGenData& data, const char* title)
{
    page.CreatePage(data, this);
    iMaxWidth = std::max(iMaxWidth, data.width);
    iMaxHeight = std::max(iMaxHeight, data.height);
    fPages.push_back(&page);
    if (LView* view = page.GetContentView())
        pTabView->addTabWithPage(LMacNSStringFromString(title ? title : data.title).c_str(), view);
}

bool LPropertySheet::Open(LView* parent, const char* title, unsigned long startPage, int)
{
    if (!GetContentView())
        return false;
    utf8strlcpy(szTitle, title ? title : "", sizeof szTitle);
    if (startPage < unsigned(pTabView->count()))
        pTabView->selectTab(int(startPage));
    LWindow* parentWindow = LDialogWindowOfView(parent);
    for (LPropertyPage* page : fPages)
        page->SetParent(parentWindow ? parentWindow : this);
    return Run(parentWindow, kLCocoaDialogCenterScreen);
}

void LPropertySheet::InitDialog()
{
    // The sheet keeps its close box: the window manager's close acts as Cancel (and Escape) do.
    SetCaption(szTitle);
    if (pTabView->Superview() != GetContentView())
        GetContentView()->AddSubview(pTabView);
    AddOkCancelHelp();
    if (LPropertyPage* page = CurrentPage())
        ResizeAndRelayout(*page);
    else
        pTabView->selectTab(0);
}

void LPropertySheet::ResizeAndRelayout(LPropertyPage& page)
{
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    // The page's template grows with the text (as its controls did).
    const double s = GetBackingScaleFactor() * TextScale();
    int pw = int(page.iTemplateWidth * s), ph = int(page.iTemplateHeight * s);
    int TH = R(3 * ch) + ph;
    int W = pw + 2 * R(2 * cw);
    int H = R(1.23 * ch) + 2 * R(0.94 * ch) + TH;
    int border = int(14 * s);
    MoveControlPixels(pTabView, R(2 * cw) - border / 2, R(0.94 * ch), pw + border, TH);
    LayoutOkCancelHelp(0, 0, W, H);
    SizeDialogPixelsMac(W, H, true);
    ControlsLaidOut();
}

void LPropertySheet::EvTextSizeChanged()
{
    LDialog::EvTextSizeChanged();
    if (LPropertyPage* page = CurrentPage(); page && GetContentView())
        ResizeAndRelayout(*page);
}

void LPropertySheet::ClosePage(int code)
{
    Close(code);
}

bool LPropertySheet::CmOk()
{
    for (int i = 0; i < pTabView->count(); ++i) {
        LPropertyPage* page = PageAt(i);
        if (!page)
            return false;
        if (!page->CmOk()) {
            pTabView->selectTab(i);
            return false;
        }
    }
    return true;
}

void LPropertySheet::CmHelp()
{
    if (LPropertyPage* page = CurrentPage())
        page->CmHelp();
}

void LPropertySheet::EnableControls()
{
    if (LPropertyPage* page = CurrentPage())
        page->EnableControls();
}

void LPropertySheet::DestroyDialog()
{
    for (LPropertyPage* page : fPages)
        page->Destroy();
}

bool LPropertySheet::TabShouldSelect(int)
{
    return IsAlive();
}

void LPropertySheet::TabWillSelect(int)
{
    if (LPropertyPage* page = CurrentPage())
        page->Deactivate();
}

void LPropertySheet::TabDidSelect(int index)
{
    LPropertyPage* page = PageAt(index);
    if (!page)
        return;
    page->Activate();
    page->EnableControls();
    ResizeAndRelayout(*page);
}

// --- wizard pages --------------------------------------------------------------------------------

LWizardPage::~LWizardPage()
{
    Destroy();
}

void LWizardPage::GetClientRect(LRectangle& rect)
{
    rect = LRectangle(0, 0, GetClientAreaWidth(), GetClientAreaHeight());
}

void LWizardPage::ShowNextButton(bool show)
{
    if (!pWizard || !pWizard->IsOpen())
        return;
    pWizard->ShowControl(kLCmdOk, show);
    int w = 0, h = 0;
    pWizard->GetClientSize(w, h);
    pWizard->LayoutButtons(0, 0, w, h);
}

void LWizardPage::ShowAndEnableCancelButton(bool show)
{
    if (!pWizard || !pWizard->IsOpen())
        return;
    pWizard->ShowControl(kLCmdCancel, show);
    pWizard->EnableControl(kLCmdCancel, show);
    int w = 0, h = 0;
    pWizard->GetClientSize(w, h);
    pWizard->LayoutButtons(0, 0, w, h);
}

void LWizardPage::EnableChangePage(bool on)
{
    if (!pWizard || !pWizard->IsOpen())
        return;
    pWizard->EnableControl(kLCmdBack, true);
    pWizard->EnableControl(kLCmdOk, on);
}

void LWizardPage::Close()
{
    if (pWizard && pWizard->IsOpen())
        pWizard->PostCommand(kLCmdCancel);
}

void LWizardPage::CmHelp()
{
    if (auto hook = LCocoaWindowHooksGet().openHelpPage)
        hook(GetContentView(), "index");
}

void LWizardPage::InitCocoaWizardPage()
{
    if (IsAlive() || !pWizard)
        return;
    if (pTemplate)
        Init(*pWizard, *pTemplate);
    else
        Init(*pWizard, iPageWidth, iPageHeight);
}

// --- wizard --------------------------------------------------------------------------------------

LWizard::LWizard()
{
    pTabView = new LWizardTabViewImpl(this, this);
    CreateCocoaWindow(1, 1, kTitledClosable, false, nullptr);
}

LWizard::~LWizard()
{
    if (IsOpen())
        DestroyCommon();
    pTabView->setOwner(nullptr);
    pTabView->Release();
}

LWizardPage* LWizard::PageAt(int index) const
{
    return index >= 0 && index < PageCount() ? fPages[size_t(index)] : nullptr;
}

LWizardPage* LWizard::CurrentPage() const
{
    return PageAt(pTabView->getCurrentTab());
}

void LWizard::AddPage(
    LWizardPage& page, const char* title, const char* subtitle, int width, int height, bool help)
{
    double s = GetBackingScaleFactor();
    page.iPageWidth = int(2 * width * s);
    page.iPageHeight = int(2 * height * s);
    page.pWizard = this;
    page.bHelp = help;
    page.bBack = true;
    page.bNext = true;
    auto* item = new LWizardPageViewItemImpl(this, CharHeightPixels());
    page.pItem.Reset(item);
    item->setTitle(LMacNSStringFromString(title ? title : "").c_str());
    item->setSubtitle(LMacNSStringFromString(subtitle ? subtitle : "").c_str());
    pTabView->addTabWithPage(nullptr, item);
    item->Release();
    fPages.push_back(&page);
    iMaxWidth = std::max(iMaxWidth, page.iPageWidth);
    iMaxHeight = std::max(iMaxHeight, page.iPageHeight);
}

bool LWizard::Open(LView* parent, const char* title)
{
    if (!GetContentView())
        return false;
    utf8strlcpy(szTitle, title ? title : "", sizeof szTitle);
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    iWidth = 2 * R(2 * cw) + iMaxWidth;
    iHeight = R(1.23 * ch) + iMaxHeight + R(3.13 * ch) + 6 * R(0.94 * ch);
    SizeDialogPixelsMac(iWidth, iHeight, false);
    return Run(LDialogWindowOfView(parent), kLCocoaDialogCenterScreen);
}

void LWizard::InitDialog()
{
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    int n = PageCount();
    if (n > 0) {
        LWizardPage* last = fPages.back();
        last->bBack = n > 1;
        last->bNext = false;
        last->bFinish = true;
        if (n > 1) {
            fPages.front()->bBack = false;
            fPages.front()->bNext = true;
        }
    }
    SetCaption(szTitle);
    if (pTabView->Superview() != GetContentView())
        GetContentView()->AddSubview(pTabView);
    int T = R(0.94 * ch);
    int tabHeight = iMaxHeight + R(3.13 * ch) + T;
    MoveControlPixels(pTabView, R(2 * cw), T, iMaxWidth, tabHeight);
    int lineHeight = std::max(1, R(0.11 * ch));
    for (int id : { 76, 77 })
        AddHLine(id);
    MoveControlPixels(76, 0, T + R(3.13 * ch), iWidth, lineHeight);
    MoveControlPixels(77, 0, 3 * T + T + tabHeight, iWidth, lineHeight);
    AddButton(kLCmdOk, "Nästa");
    _SetButtonStyleOk(kLCmdOk);
    AddButton(kLCmdCancel, "Avbryt");
    _SetButtonStyleCancel(kLCmdCancel);
    AddButton(kLCmdHelp, "");
    AddSpecialButton(kLCmdBack, "Tillbaka");
    AddSpecialButton(kLCmdFinish, "Avsluta");
    _SetButtonStyleOk(kLCmdFinish);
    LayoutButtons(0, 0, iWidth, iHeight);
}

void LWizard::LayoutButtons(int x, int y, int w, int h)
{
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    double s = GetBackingScaleFactor();
    int L = R(1.23 * ch);
    int left = x + R(2 * cw);
    int top = y + h - L - R(0.94 * ch);
    if (GetControlHandle(kLCmdHelp))
        MoveControlPixels(kLCmdHelp, left, top, L, L);
    int right = x + w - R(2 * cw);
    int m = R(12 * cw);
    int nextWidth
        = std::max({ MeasureButtonWidthPixels(kLCmdOk), MeasureButtonWidthPixels(kLCmdFinish), m });
    MoveControlPixels(kLCmdOk, right - nextWidth, top, nextWidth, L);
    MoveControlPixels(kLCmdFinish, right - nextWidth, top, nextWidth, L);
    right -= nextWidth + R(1.25 * cw);
    int backWidth = std::max(MeasureButtonWidthPixels(kLCmdBack), m);
    MoveControlPixels(kLCmdBack, right - backWidth, top, backWidth, L);
    right -= backWidth + R(1.25 * cw);
    int cancelWidth = std::max(MeasureButtonWidthPixels(kLCmdCancel), int(96 * s));
    MoveControlPixels(kLCmdCancel, right - cancelWidth, top, cancelWidth, L);
}

void LWizard::EvWindowReady()
{
    SelectPage(0);
    // The first page was selected when it was added: it gets its buttons and window now.
    if (pTabView->getCurrentTab() == 0) {
        TabWillSelect(0);
        TabDidSelect(0);
    }
}

void LWizard::SelectPage(int index)
{
    pTabView->selectTab(index);
}

void LWizard::Command(int id, int code)
{
    switch (id) {
    case kLCmdBack:
        Back();
        break;
    case kLCmdFinish:
        Finish();
        break;
    case kLCmdOk:
        Next();
        break;
    default:
        LDialog::Command(id, code);
        return;
    }
    if (IsAlive() && IsWindowVisible())
        EnableControls();
}

void LWizard::Next()
{
    LWizardPage* page = CurrentPage();
    if (!page || !page->CmOk())
        return;
    page->Deactivate();
    for (int i = pTabView->getCurrentTab() + 1; i < PageCount(); ++i) {
        if (fPages[size_t(i)]->IsPageValid()) {
            SelectPage(i);
            return;
        }
    }
    Close(kLCmdOk);
}

void LWizard::Back()
{
    LWizardPage* page = CurrentPage();
    if (!page)
        return;
    page->Deactivate();
    for (int i = pTabView->getCurrentTab() - 1; i >= 0; --i) {
        if (fPages[size_t(i)]->IsPageValid()) {
            SelectPage(i);
            return;
        }
    }
}

void LWizard::Finish()
{
    LWizardPage* page = CurrentPage();
    if (!page || !page->CmOk())
        return;
    page->Deactivate();
    Close(kLCmdOk);
}

bool LWizard::CmCancel()
{
    LWizardPage* page = CurrentPage();
    return !page || page->CmCancel();
}

void LWizard::CmHelp()
{
    if (LWizardPage* page = CurrentPage())
        page->CmHelp();
}

void LWizard::EnableControls()
{
    if (LWizardPage* page = CurrentPage(); page && page->IsAlive())
        page->EnableControls();
}

void LWizard::DestroyDialog()
{
    for (LWizardPage* page : fPages)
        page->Destroy();
}

bool LWizard::TabShouldSelect(int)
{
    return IsInitialised();
}

void LWizard::TabWillSelect(int index)
{
    LWizardPage* page = PageAt(index);
    if (!page)
        return;
    auto set = [this](int id, bool on, bool enable) {
        if (LView* v = GetControlHandle(id)) {
            _ShowControl(v, on);
            if (enable)
                EnableControl(v, on);
        }
    };
    set(kLCmdBack, page->bBack, true);
    set(kLCmdOk, page->bNext, true);
    set(kLCmdFinish, page->bFinish, true);
    set(kLCmdHelp, page->bHelp, false);
    bool built = page->IsAlive();
    page->InitCocoaWizardPage();
    if (!built && page->pItem) {
        LWizardPageViewItemImpl* item = page->pItem.Get();
        LUiRect tf = pTabView->Frame();
        if (item->Frame().width < 1)
            item->SetFrame(LUiRect { 0, 0, tf.width, tf.height });
        item->layoutPage(
            page->GetContentView(), CharWidthPixels(), CharHeightPixels(), GetBackingScaleFactor());
    }
}

void LWizard::TabDidSelect(int index)
{
    LWizardPage* page = PageAt(index);
    if (!page)
        return;
    page->Activate();
    page->EnableControls();
    // On the Finish page a disabled Back is hidden rather than shown disabled.
    if (page->bFinish)
        if (LView* back = GetControlHandle(kLCmdBack); back && !back->IsEnabled())
            _ShowControl(back, false);
    page->RelayoutWindow();
    ShowWindow(true);
}
