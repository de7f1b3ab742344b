// An embedded pane: a window object whose content view sits inside another window (a property
// page, a wizard page). It is built from a generated template or at a pixel size, lays its
// controls out for its client size, and is torn down with Destroy.
#pragma once

#include "lfw/mac/LDialog.h"
#include "lfw/mac/LScrollView.h"

class LEmbeddedWindow : public LDialog {
public:
    // Horizontal and vertical scrolling (the pane's view then sits in a scroll view that shows
    // a bar only when the content needs it); the third flag has no effect.
    explicit LEmbeddedWindow(
        bool horizontalScroll = false, bool verticalScroll = false, bool unused = false);
    ~LEmbeddedWindow() override;

    // Builds the pane inside the parent from the template (size in points), then InitDialog,
    // the ready flag and EnableControls. Nothing when it exists already.
    void Init(LWindow& parent, const LDialog::OpenGenData& data);
    // Builds the pane inside the parent, empty and unplaced, then InitDialog, the ready flag and
    // EnableControls; its owner places it with MovePixels. Nothing when it exists already.
    void Init(LWindow& parent);
    // The same at a size in backing pixels, without template: placed at (0, 0) of the parent,
    // InitDialog, the ready flag, placed again (which lays the controls out once),
    // EnableControls.
    void Init(LWindow& parent, int width, int height);
    // Places the pane in its parent (backing pixels) and, once it is ready, lays it out.
    void MovePixels(int x, int y, int width, int height);
    // Width and height of the pane's content in pixels: the scrolled extent when it scrolls,
    // else its client size.
    void GetContentSize(int& width, int& height) const;
    // The scrolled extent (pixels; a one-way scroller keeps the other side of its document),
    // or the pane's size when it does not scroll.
    void SetContentSize(int width, int height);
    bool ScrollsHorizontally() const { return bHorizontalScroll; }
    bool ScrollsVertically() const { return bVerticalScroll; }
    // Enables or disables the pane's view.
    virtual void EnableWindow(bool enable);
    // A help request inside the pane is answered by the window that hosts it.
    void CmHelp() override;
    LWindow* GetParentWindow() const { return pParentWindow; }
    // Closing flag, DestroyDialog, its painted controls, its view.
    void Destroy();
    // The visible area in backing pixels (less the scroll bars that show).
    int GetClientAreaWidth() const;
    int GetClientAreaHeight() const;
    // Lays the controls out for the current client size (nothing before the pane is ready).
    void RelayoutWindow() override;
    virtual void LayoutControls(int width, int height)
    {
        (void)width;
        (void)height;
    }
    // The layout of a pane placed at a position: the rectangle its controls may use, origin
    // (0, 0). By default the size alone is laid out.
    virtual void LayoutControls(int x, int y, int width, int height)
    {
        (void)x;
        (void)y;
        LayoutControls(width, height);
    }

protected:
    LScrollView fPageScrollView; // the host scroll view the pane answers to

private:
    bool IsScrolling() const { return bHorizontalScroll || bVerticalScroll; }
    // The scroll bar's width in pixels when it shows for the present content, else 0.
    int ScrollerPixels(bool vertical) const;
    void InitCommonEmbedded(LWindow& parent, double widthPoints, double heightPoints,
        const LDialog::OpenGenData* data, bool build = true);

    LWindow* pParentWindow = nullptr;
    bool bHorizontalScroll;
    bool bVerticalScroll;
};
