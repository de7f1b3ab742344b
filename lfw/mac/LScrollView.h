// A scrollable area of a window whose document is a framework view (usually the host of a
// painted control). It keeps a content size in backing pixels and never lets the document be
// smaller than the visible area.
#pragma once

#include "lfw/mac/cocoa/LCocoaBridges.h"

#include <cstdint>

class LMacWindow;
class LView;
class LCustomCocoaScrollView;
using LWindow = LMacWindow;

class LScrollView : public LCocoaScrollViewBridge {
public:
    LScrollView() = default;
    virtual ~LScrollView() = default;
    LScrollView(const LScrollView&) = delete;
    LScrollView& operator=(const LScrollView&) = delete;

    // Adopts an existing pair: a scroll view in the window's content view and its document.
    void Init(LWindow& window, LView* scrollView, LView* documentView);
    // Adopts the scroll view of control id, or makes one as large as the content view (with a
    // painted control as document when id is below 1).
    void Init(LWindow& window, int id, int, int);
    // The document becomes a new painted-control host (id below 1) or the control id.
    void EmbedSubControl(int id);

    // Virtual operations, in the order of their slots.
    virtual void MoveScrollViewPixels(int x, int y, int w, int h);
    void UpdateScroll() override { }

    void SetContentSize(int w, int h);
    int GetContentSizeHorizontalPixels();
    int GetContentSizeVerticalPixels();
    void GetViewSize(int& x, int& y, int& w, int& h);
    void ScrollVerticallyToPixels(int y);
    int GetScrolledPositionHorizontalPixels();
    int GetScrolledPositionVerticalPixels();

    // Lets go of the views (their owner removed them); the content size stays.
    void Forget()
    {
        pWindow = nullptr;
        pScrollView = nullptr;
        pDocumentView = nullptr;
    }
    LWindow* GetWindow() const { return pWindow; }
    LCustomCocoaScrollView* GetScrollView() const { return pScrollView; }
    LView* GetDocumentView() const { return pDocumentView; }

    // LCocoaScrollViewBridge
    bool HasScrollAndDocumentViews() const override { return pScrollView && pDocumentView; }

    // Installs the window layer's hook that wraps an embedded window's content view in a scroll
    // view (and the other hooks of the scroll and tab views). Idempotent.
    static void InstallHooks();

private:
    double Scale() const;
    void SetDocumentSize(double w, double h);

    LWindow* pWindow = nullptr;
    int32_t iContentWidth = 0;
    int32_t iContentHeight = 0;
    LCustomCocoaScrollView* pScrollView = nullptr; // held by its superview
    LView* pDocumentView = nullptr; // held by the scroll view
};
