#include "lfw/mac/LEmbeddedWindow.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "platform/ui/LView.h"

#include <algorithm>

LEmbeddedWindow::LEmbeddedWindow(bool horizontalScroll, bool verticalScroll, bool)
    : bHorizontalScroll(horizontalScroll)
    , bVerticalScroll(verticalScroll)
{
}

LEmbeddedWindow::~LEmbeddedWindow()
{
    Destroy();
}

void LEmbeddedWindow::InitCommonEmbedded(LWindow& parent, double widthPoints, double heightPoints,
    const LDialog::OpenGenData* data, bool build)
{
    if (GetContentView() || !parent.GetContentView())
        return;
    if (IsScrolling())
        LScrollView::InstallHooks();
    LView* view = CreateEmbeddedWindow(parent, bHorizontalScroll, bVerticalScroll);
    if (!view)
        return;
    SetContentView(view);
    fHostScrollView = &fPageScrollView;
    fEmbeddedInHost = false;
    if (IsScrolling())
        fPageScrollView.Init(parent, view->Superview(), view);
    // A pane paints the window background unless it sits on one that lets its own show through:
    // a scrolling pane that paints none, or a window with a painted background.
    bool paintBackground = true;
    if (auto* pane = dynamic_cast<LEmbeddedWindow*>(&parent); pane && pane->IsScrolling()
        && pane->GetContentView() && !pane->GetContentView()->IsOpaque())
        paintBackground = false;
    if (auto* host = dynamic_cast<LCocoaViewBase*>(parent.GetContentView());
        host && host->GetAssociatedValue(&kPaintBackgroundKey))
        paintBackground = false;
    view->SetOpaque(paintBackground);
    fFontsTextScale = TextScale();
    SetCharacterMetrics(parent.CharWidthPixels(), parent.CharHeightPixels(),
        parent.CharWidthPoints(), parent.CharHeightPoints());
    view->SetFrame(LUiRect { 0, 0, widthPoints, heightPoints });
    SetParent(&parent);
    pParentWindow = &parent;
    // The pane hears that it is ready once the event that made it is over.
    PostCommand(kLCmdWindowReady);
    if (!build)
        return;
    // The page's buttons are its owner's: the generator adds controls only.
    if (data && data->generator) {
        data->generator(*this, 0, 0, false);
        ScaleTemplateControls();
    }
    InitDialog();
    fInitialised = true;
    EnableControls();
}

void LEmbeddedWindow::Init(LWindow& parent, const LDialog::OpenGenData& data)
{
    // The template's points grow with the text, as its controls do.
    const double t = TextScale();
    InitCommonEmbedded(parent, data.width * t, data.height * t, &data);
}

void LEmbeddedWindow::Init(LWindow& parent)
{
    InitCommonEmbedded(parent, 0, 0, nullptr);
}

void LEmbeddedWindow::Init(LWindow& parent, int width, int height)
{
    if (GetContentView())
        return;
    double s = parent.GetBackingScaleFactor();
    InitCommonEmbedded(parent, width / s, height / s, nullptr, false);
    if (!GetContentView())
        return;
    MovePixels(0, 0, width, height);
    InitDialog();
    fInitialised = true;
    MovePixels(0, 0, width, height);
    EnableControls();
}

void LEmbeddedWindow::MovePixels(int x, int y, int width, int height)
{
    LView* view = GetContentView();
    if (!pParentWindow || !view)
        return;
    if (!IsScrolling() || !fPageScrollView.GetScrollView()) {
        pParentWindow->MoveControlPixels(view, x, y, width, height);
        if (fInitialised)
            LayoutControls(0, 0, width, height);
        return;
    }
    fPageScrollView.MoveScrollViewPixels(x, y, width, height);
    // The controls get the area the scroll bars leave free, looked at again after the layout,
    // which may have changed the content and with it the bars: at most two layouts.
    const int vertical = ScrollerPixels(true), horizontal = ScrollerPixels(false);
    width -= vertical;
    height -= horizontal;
    if (!fInitialised)
        return;
    LayoutControls(0, 0, width, height);
    const int bar = int(LCustomCocoaScrollView::scrollerWidth() * GetBackingScaleFactor());
    const bool verticalNow = ScrollerPixels(true) > 0, horizontalNow = ScrollerPixels(false) > 0;
    const int laidOutWidth = width;
    if (verticalNow && !vertical)
        width -= bar;
    else if (!verticalNow && vertical)
        width += bar;
    if (horizontalNow && !horizontal)
        LayoutControls(0, 0, width, height - bar);
    else if (!horizontalNow && horizontal)
        LayoutControls(0, 0, width, height + bar);
    else if (width != laidOutWidth)
        LayoutControls(0, 0, width, height);
}

int LEmbeddedWindow::ScrollerPixels(bool vertical) const
{
    LCustomCocoaScrollView* scroll = fPageScrollView.GetScrollView();
    if (!scroll || !scroll->willShowScroller(vertical))
        return 0;
    return int(LCustomCocoaScrollView::scrollerWidth() * GetBackingScaleFactor());
}

void LEmbeddedWindow::GetContentSize(int& width, int& height) const
{
    if (IsScrolling() && fPageScrollView.GetScrollView()) {
        auto& scroll = const_cast<LScrollView&>(fPageScrollView);
        width = scroll.GetContentSizeHorizontalPixels();
        height = scroll.GetContentSizeVerticalPixels();
        return;
    }
    width = GetClientAreaWidth();
    height = GetClientAreaHeight();
}

void LEmbeddedWindow::SetContentSize(int width, int height)
{
    LView* view = GetContentView();
    if (!view)
        return;
    const double s = GetBackingScaleFactor();
    if (IsScrolling()) {
        // A one-way scroller keeps the document's other side.
        LView* document = fPageScrollView.GetDocumentView();
        if (!document)
            return;
        if (!bHorizontalScroll)
            width = int(document->Frame().width * s + 0.5);
        if (!bVerticalScroll)
            height = int(document->Frame().height * s + 0.5);
        if (width < 1 || height < 1)
            return;
        fPageScrollView.SetContentSize(width, height);
        return;
    }
    LUiRect f = view->Frame();
    view->SetFrame(LUiRect { f.x, f.y, width / s, height / s });
    view->SetNeedsDisplay();
}

void LEmbeddedWindow::EnableWindow(bool enable)
{
    if (LCustomCocoaScrollView* scroll = fPageScrollView.GetScrollView()) {
        scroll->setEnabled(enable);
        return;
    }
    if (LView* view = GetContentView())
        LMacWindow::EnableControl(view, enable);
}

void LEmbeddedWindow::CmHelp()
{
    PostParentCommand(kLCmdHelp);
}

void LEmbeddedWindow::Destroy()
{
    LView* view = GetContentView();
    if (!view)
        return;
    LUiRef<LView> hold(view);
    fClosed = true;
    // A page of a tab view leaves it first.
    if (auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(view->Superview()))
        tabs->removeTab(tabs->indexOfPage(view));
    DestroyCommon();
    view->RemoveFromSuperview();
    if (LCustomCocoaScrollView* scroll = fPageScrollView.GetScrollView()) {
        LUiRef<LView> holdScroll(scroll);
        scroll->setLfwScrollView(nullptr);
        scroll->RemoveFromSuperview();
        fPageScrollView.Forget();
    }
    fInitialised = false;
    pParentWindow = nullptr;
}

int LEmbeddedWindow::GetClientAreaWidth() const
{
    if (LCustomCocoaScrollView* scroll = fPageScrollView.GetScrollView())
        return std::max(
            0, int(scroll->Frame().width * GetBackingScaleFactor() + 0.5) - ScrollerPixels(true));
    LView* view = GetContentView();
    return view ? int(view->Frame().width * GetBackingScaleFactor() + 0.5) : 0;
}

int LEmbeddedWindow::GetClientAreaHeight() const
{
    if (LCustomCocoaScrollView* scroll = fPageScrollView.GetScrollView())
        return std::max(
            0, int(scroll->Frame().height * GetBackingScaleFactor() + 0.5) - ScrollerPixels(false));
    LView* view = GetContentView();
    return view ? int(view->Frame().height * GetBackingScaleFactor() + 0.5) : 0;
}

void LEmbeddedWindow::RelayoutWindow()
{
    if (!fInitialised || !GetContentView())
        return;
    int w = GetClientAreaWidth(), h = GetClientAreaHeight();
    if (IsScrolling()) {
        int contentWidth = 0, contentHeight = 0;
        GetContentSize(contentWidth, contentHeight);
        if (bHorizontalScroll)
            w = contentWidth;
        if (bVerticalScroll)
            h = contentHeight;
    }
    if (w < 1 && h < 1)
        return;
    SetLayoutFlag(false);
    LayoutControls(0, 0, w, h);
    SetLayoutFlag(true);
}
