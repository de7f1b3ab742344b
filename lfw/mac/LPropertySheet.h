// Two multi-page modal dialogs whose pages are embedded windows shown one at a time in a tab
// view: the property sheet (tabs, OK, Cancel, Help; resized to each page as it is selected) and
// the wizard (title and subtitle per page, Back, Next, Finish, Cancel, Help, skippable pages).
#pragma once

#include "lfw/gen/LString.h"
#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"

#include <memory>
#include <vector>

class LPropertySheet;
class LWizard;

class LPropertyPage : public LEmbeddedWindow {
public:
    // Builds the page inside the sheet from the template.
    void CreatePage(const LDialog::OpenGenData& data, LPropertySheet* sheet);
    void EnableWindow(bool enable) override { (void)enable; }
    virtual void Activate() { }
    virtual void Deactivate() { }
    // Ask the owning sheet to close (nothing without one).
    void Close(int code) override;
    void Close() override { Close(kLCmdCancel); }

    LPropertySheet* pSheet = nullptr;
    int iTemplateWidth = 0; // points
    int iTemplateHeight = 0;
};

class LPropertySheet : public LDialog, public LCocoaTabOwnerBridge {
public:
    LPropertySheet();
    ~LPropertySheet() override;

    void AddPage(LPropertyPage& page, const LDialog::OpenGenData& data, const char* title);
    bool Open(LView* parent, const char* title, unsigned long startPage, int);
    void ResizeAndRelayout(LPropertyPage& page);
    // Asks the sheet to close with the code (a page's Close).
    void ClosePage(int code);

    void InitDialog() override;
    bool CmOk() override;
    void CmHelp() override;
    void EnableControls() override;
    // The sheet is sized and laid out again for its page at the new text size.
    void EvTextSizeChanged() override;
    void DestroyDialog() override;

    LPropertyTabViewImpl* GetTabView() const { return pTabView; }
    LPropertyPage* PageAt(int index) const;
    LPropertyPage* CurrentPage() const;

    // LCocoaTabOwnerBridge
    bool TabShouldSelect(int index) override;
    void TabWillSelect(int index) override;
    void TabDidSelect(int index) override;

private:
    LPropertyTabViewImpl* pTabView = nullptr; // held
    std::vector<LPropertyPage*> fPages;
    int iMaxWidth = 0;
    int iMaxHeight = 0;
    char szTitle[260] = {};
};

class LWizardPage : public LPropertyPage {
public:
    ~LWizardPage() override;
    virtual bool IsPageValid() { return true; }
    // The client area of the page's window in pixels.
    virtual void GetClientRect(LRectangle& rect);

    void ShowNextButton(bool show);
    void ShowAndEnableCancelButton(bool show);
    void EnableChangePage(bool on);
    // Posts Cancel to the wizard (it may be called from the page's own handlers).
    void Close() override;
    using LPropertyPage::Close;
    void CmHelp() override;
    // Builds the page's window the first time it is shown.
    void InitCocoaWizardPage();

    LWizard* pWizard = nullptr;
    LUiRef<LWizardPageViewItemImpl> pItem;
    bool bBack = false, bNext = false, bFinish = false, bHelp = false;
    int iPageWidth = 0; // pixels
    int iPageHeight = 0;
    std::unique_ptr<LDialog::OpenGenData> pTemplate; // optional
};

class LWizard : public LDialog, public LCocoaTabOwnerBridge {
public:
    LWizard();
    ~LWizard() override;

    // Size in units of two points.
    void AddPage(LWizardPage& page, const char* title, const char* subtitle, int width, int height,
        bool help);
    bool Open(LView* parent, const char* title);
    void LayoutButtons(int x, int y, int w, int h);

    void Back();
    void Next();
    void Finish();

    void InitDialog() override;
    void EvWindowReady() override;
    void Command(int id, int code) override;
    bool CmCancel() override;
    void CmHelp() override;
    void EnableControls() override;
    void DestroyDialog() override;

    LWizardTabViewImpl* GetTabView() const { return pTabView; }
    LWizardPage* CurrentPage() const;
    LWizardPage* PageAt(int index) const;
    int PageCount() const { return int(fPages.size()); }

    // LCocoaTabOwnerBridge
    bool TabShouldSelect(int index) override;
    void TabWillSelect(int index) override;
    void TabDidSelect(int index) override;

private:
    void SelectPage(int index);

    LWizardTabViewImpl* pTabView = nullptr; // held
    std::vector<LWizardPage*> fPages;
    int iWidth = 0, iHeight = 0;
    int iMaxWidth = 0, iMaxHeight = 0; // pixels
    char szTitle[260] = {};
};
