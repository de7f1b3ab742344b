// Tab views on a GtkNotebook: the tab control a window creates by id (it sends the commands the
// window registered on a tab change), and the base of the property sheet's and the wizard's tab
// views, whose owners decide through LCocoaTabOwnerBridge whether a page may be selected and
// hear before and after a change.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include <string>
#include <vector>

// The dialog a tab view belongs to (a property sheet, a wizard).
class LCocoaTabOwnerBridge {
public:
    virtual bool TabShouldSelect(int index) = 0;
    virtual void TabWillSelect(int index) = 0;
    virtual void TabDidSelect(int index) = 0;

protected:
    ~LCocoaTabOwnerBridge() = default;
};

class LCocoaTabViewImpl : public LCocoaViewBase {
public:
    LCocoaTabViewImpl(const LUiRect& frame, int cid, LCocoaWindow* window);

    // A new page (an empty view), labelled when a label is given, appended or inserted.
    void addTab(const char* label);
    void insertTab(const char* label, int index);
    // A page showing the view, which is first taken from its superview.
    void addTabWithPage(const char* label, LView* page);
    void insertTabWithPage(const char* label, LView* page, int index);
    void removeTab(int index);
    // An index out of range (-1 included) does nothing.
    void selectTab(int index);
    int getCurrentTab() const; // -1 when there are no pages
    int count() const { return int(fItems.size()); }
    // The label (valid while the page lives); null out of range.
    const char* getTabLabel(int index) const;
    void setTabLabel(int index, const char* label);
    // Half the height the tabs take (frame less content), in points.
    int getTabHeight();
    // Where the tab's label shows, in points of this view; empty while it does not show.
    LUiRect tabLabelFrame(int index);
    LView* pageView(int index) const;
    int indexOfPage(const LView* page) const;

    int selectingCmd() const { return iSelectingCmd; }
    void setSelectingCmd(int cmd) { iSelectingCmd = cmd; }
    int selectedCmd() const { return iSelectedCmd; }
    void setSelectedCmd(int cmd) { iSelectedCmd = cmd; }
    // No tabs and no border (a wizard's pages).
    void setTabless(bool tabless);
    void setOwner(LCocoaTabOwnerBridge* owner) { pOwner = owner; }
    LCocoaTabOwnerBridge* owner() const { return pOwner; }
    GtkNotebook* notebook();

    // The window layer's hook: whether the page stored under kTabViewItemKey is selected.
    static bool isTabItemSelected(uint64_t item);

protected:
    ~LCocoaTabViewImpl() override;
    GtkWidget* CreateWidget() override;
    void FrameDidChange() override;

    virtual bool tabShouldSelect(int index);
    virtual void tabWillSelect(int index);
    virtual void tabDidSelect(int index);

private:
    struct Item {
        LView* page; // a subview of this view
        GtkWidget* widget; // its widget, the notebook's page
        std::string label;
    };
    void PlacePages();
    static void OnSwitchPage(GtkNotebook* nb, GtkWidget* page, guint index, gpointer self);
    static void OnSwitchedPage(GtkNotebook* nb, GtkWidget* page, guint index, gpointer self);

    std::vector<Item> fItems;
    GtkWidget* fNotebook = nullptr;
    LCocoaTabOwnerBridge* pOwner = nullptr;
    int iSelectingCmd = -1;
    int iSelectedCmd = -1;
    bool fTabless = false;
    bool fSelectingInside = false;
};

// The tab view of a property sheet: its pages are property-page windows.
class LPropertyTabViewImpl : public LCocoaTabViewImpl {
public:
    LPropertyTabViewImpl(LCocoaWindow* sheet, LCocoaTabOwnerBridge* owner)
        : LCocoaTabViewImpl(LUiRect {}, 0, sheet)
    {
        setOwner(owner);
    }
    LView* getWindowHandleForCurrentPage() const { return pageView(getCurrentTab()); }
    LView* getWindowHandleForPageAtIndex(int index) const { return pageView(index); }
};

class LCocoaTextStaticImpl;

// One page of a wizard: a bold title and a subtitle above the page's own embedded window.
class LWizardPageViewItemImpl : public LCocoaViewBase {
public:
    LWizardPageViewItemImpl(LCocoaWindow* wizard, float charHeightPixels);
    void setTitle(const char* text);
    void setSubtitle(const char* text);
    // Places title, subtitle and the page's view (once it exists) for the character cell.
    void layoutPage(LView* pageView, float cw, float ch, double scale);
    LCocoaTextStaticImpl* titleLabel() const { return pTitle; }
    LCocoaTextStaticImpl* subtitleLabel() const { return pSubtitle; }

private:
    LCocoaTextStaticImpl* pTitle = nullptr; // subviews
    LCocoaTextStaticImpl* pSubtitle = nullptr;
};

// The tabless tab view of a wizard.
class LWizardTabViewImpl : public LCocoaTabViewImpl {
public:
    LWizardTabViewImpl(LCocoaWindow* wizard, LCocoaTabOwnerBridge* owner)
        : LCocoaTabViewImpl(LUiRect {}, 0, wizard)
    {
        setOwner(owner);
        setTabless(true);
    }
    bool isFirstItemSelected() const { return count() > 0 && getCurrentTab() == 0; }
    bool isLastItemSelected() const { return count() > 0 && getCurrentTab() == count() - 1; }
    void selectNextTab()
    {
        if (count() > 0)
            selectTab(getCurrentTab() + 1);
    }
    void selectPreviousTab()
    {
        if (count() > 0)
            selectTab(getCurrentTab() - 1);
    }
};
