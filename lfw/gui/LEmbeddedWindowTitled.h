// Side bars built of titled panels: a panel (an embedded pane with a painted title bar that
// collapses and expands it), a list that stacks panels (optionally as an accordion, one open at a
// time), and a container that holds one list under an optional title. A title click travels as
// inter-window message 100 up panel -> list -> container -> hosting window, which decides
// (normally with SetActivePanelByTitleBarId); the list then lays its panels out again.
#pragma once

#include "lfw/gen/LString.h"
#include "lfw/gui/LEmbeddedWindowTitledContainerTitleBar.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/ios/LIOSEventHandler.h"
#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LGuiImage.h"

#include <string>

class LEmbeddedWindowTitled;

// Inter-window messages of titled panels.
enum : int {
    kLTitledPanelTitleClicked = 100,
    kLTitledPanelMessage101 = 101,
    kLTitledPanelMessage102 = 102,
};

class LEmbeddedWindowTitleBar : public LPaintControl {
public:
    explicit LEmbeddedWindowTitleBar(bool bold);
    ~LEmbeddedWindowTitleBar() override { DestroyPaintControl(); }

    void Paint(LPaintContext& context) override;
    void EvMouseIn() override;
    void EvMouseMove(int x, int y) override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    // Space and Return open and close the panel as a click does.
    bool EvKeyDown(LKey key) override;

    LEmbeddedWindowTitled* pPanel = nullptr;
    int iId = 0;
    bool bHot = false;
    bool bActive = false;
    bool bBold;
    LGuiFontEx fFont;

private:
    // What a click on the bar does (its arrow and title open and close the panel).
    void Press(bool onArrowOrTitle);

    LGuiJPG fBackground;
    LGuiJPG fBackgroundActive;
    LGuiIcon fIconCollapsed { 329 };
    LGuiIcon fIconExpanded { 328 };
    LGuiIcon fIconCollapsedHot { 332 };
    LGuiIcon fIconExpandedHot { 331 };
};

class LEmbeddedWindowTitled : public LEmbeddedWindow, public LInterWinMessageHandler {
public:
    LEmbeddedWindowTitled(int titleBarId, const char* title, bool horizontalScroll,
        bool verticalScroll, bool unused, bool boldTitle);
    ~LEmbeddedWindowTitled() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    using LEmbeddedWindow::LayoutControls;
    // The title bar's height and font, and the panel's height.
    void EvBackingScaleChanged() override;

    virtual void EvTitleClicked() { }
    virtual void EnableCollapse(bool enable);
    virtual void SetCollapsed(bool collapsed);
    void EvInterWinMessage(int message, long data1, long data2) override;
    virtual void InitPanel() = 0;
    // Takes the panel's height (iPanelHeight) for the present character cell and scale: from
    // InitPanel, and again when the backing scale changes.
    virtual void MeasurePanel() { }
    virtual void LayoutPanelControls(int x, int y, int width, int height) = 0;
    virtual void DestroyPanel() { }

    // Its height in a list: the title bar, and the panel below it when expanded.
    int GetListHeight() const { return iTitleBarHeight + (bCollapsed ? 0 : iPanelHeight); }
    const char* GetTitle() const { return fTitle.c_str(); }
    int GetTitleBarId() const { return iTitleBarId; }

    LEmbeddedWindowTitled* pNext = nullptr;
    bool bVisible = true;
    bool bCollapsed = true;
    bool bCollapseEnabled = true;
    char szToolTip[kLStringShortSize] = "Minimera/Expandera";
    int iTitleBarHeight = 0;
    int iPanelHeight = 0;
    LEmbeddedWindowTitleBar fTitleBar;

protected:
    std::string fTitle;
    int iTitleBarId;
};

class LEmbeddedWindowList : public LEmbeddedWindow, public LInterWinMessageHandler {
public:
    // Scrolls vertically unless told.
    explicit LEmbeddedWindowList(bool accordion = false, bool verticalScroll = true);
    // Deletes every panel still linked.
    ~LEmbeddedWindowList() override;

    bool AddPanel(LEmbeddedWindowTitled* panel, bool atEnd);
    // Links a panel that is hidden until it is wanted: its controls are built by BuildPanel, or
    // when SetPanelVisible first shows it. A window with panels the user may never open starts
    // without building them.
    bool AddPanelUnbuilt(LEmbeddedWindowTitled* panel, bool atEnd);
    // Builds a panel linked unbuilt (nothing for one already built); it keeps the visibility and
    // collapsed state it was given meanwhile.
    void BuildPanel(LEmbeddedWindowTitled* panel);
    static bool IsPanelBuilt(const LEmbeddedWindowTitled* panel);
    void SetActivePanelByIndex(int index, bool collapsed);
    // An id that is not in the list changes nothing.
    void SetActivePanelByTitleBarId(int titleBarId, bool collapsed);
    int GetPanelIndexFromTitleBarId(int titleBarId) const;
    void EnableCollapse(bool enable);
    bool SetPanelVisible(int index, bool visible);
    void ScrollToShowPanel(int index);
    void ResetContentSize();
    LEmbeddedWindowTitled* GetPanel(int index) const;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    using LEmbeddedWindow::LayoutControls;
    void EvInterWinMessage(int message, long data1, long data2) override;

    LEmbeddedWindowTitled* pFirst = nullptr;
    bool bAccordion;

private:
    void SetActivePanel(LEmbeddedWindowTitled* target, bool collapsed);
    void LinkPanel(LEmbeddedWindowTitled* panel, bool atEnd);
    int iContentHeight = 0;
};

class LEmbeddedWindowTitledContainer : public LEmbeddedWindow, public LInterWinMessageHandler {
public:
    LEmbeddedWindowTitledContainer(
        const char* title, bool accordion, bool boldTitle, bool verticalScroll, bool unused);
    ~LEmbeddedWindowTitledContainer() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    using LEmbeddedWindow::LayoutControls;
    void EvInterWinMessage(int message, long data1, long data2) override;
    // The title bar's height and font.
    void EvBackingScaleChanged() override;

    LEmbeddedWindowList fList;
    LEmbeddedWindowTitledContainerTitleBar fTitleBar;
    char szTitle[kLStringShortSize] = "";
    int iTitleBarHeight = -1;
};

class LEmbeddedWindowTitledContainerWheelScroll : public LEmbeddedWindowTitledContainer {
public:
    using LEmbeddedWindowTitledContainer::LEmbeddedWindowTitledContainer;
};
