#include "lfw/mac/LScrollView.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"

#include <algorithm>

namespace {

int Half(double v)
{
    return int(v + 0.5);
}

LView* MakeEmbeddedScrollView(LCocoaWindow&, LView* content, bool horizontal, bool vertical)
{
    auto* scroll = new LCustomCocoaScrollView(content->Frame(), 0);
    scroll->setScrollers(horizontal, vertical);
    scroll->setSubView(content);
    return scroll;
}

} // namespace

void LScrollView::InstallHooks()
{
    LCocoaWindowHooks& hooks = LCocoaWindowHooksGet();
    hooks.createEmbeddedScrollView = MakeEmbeddedScrollView;
    hooks.isTabItemSelected = LCocoaTabViewImpl::isTabItemSelected;
}

double LScrollView::Scale() const
{
    return pWindow ? pWindow->GetBackingScaleFactor() : 1.0;
}

void LScrollView::Init(LWindow& window, LView* scrollView, LView* documentView)
{
    if (pScrollView || pDocumentView)
        return;
    LView* content = window.GetContentView();
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(scrollView);
    if (!content || !scroll || scroll->Superview() != content || !scroll->hasSubView()
        || scroll->documentView() != documentView || !dynamic_cast<LCocoaViewBase*>(documentView))
        return;
    pWindow = &window;
    pScrollView = scroll;
    pDocumentView = documentView;
    scroll->setLfwScrollView(this);
}

void LScrollView::Init(LWindow& window, int id, int, int)
{
    if (pScrollView || pDocumentView)
        return;
    LView* content = window.GetContentView();
    if (!content)
        return;
    pWindow = &window;
    if (auto* scroll
        = dynamic_cast<LCustomCocoaScrollView*>(LMacWindow::GetControlHandle(content, id));
        scroll && scroll->hasSubView() && dynamic_cast<LCocoaViewBase*>(scroll->documentView())) {
        pScrollView = scroll;
        pDocumentView = scroll->documentView();
        scroll->setLfwScrollView(this);
        return;
    }
    LUiRect frame = content->Frame();
    auto* scroll = new LCustomCocoaScrollView(LUiRect { 0, 0, frame.width, frame.height }, id);
    pScrollView = scroll;
    scroll->setLfwScrollView(this);
    if (id < 1)
        EmbedSubControl(0);
    content->AddSubview(scroll);
    scroll->Release();
}

void LScrollView::EmbedSubControl(int id)
{
    if (!pWindow || !pScrollView)
        return;
    LCocoaViewBase* document = nullptr;
    if (id < 1) {
        auto* host = new LCocoaPaintControlImpl(LUiRect { 0, 0, 500, 30 }, id, pWindow);
        pScrollView->setSubView(host);
        host->Release();
        document = host;
    } else {
        document = dynamic_cast<LCocoaViewBase*>(pWindow->GetControlHandle(id));
        if (!document)
            return;
        pScrollView->setSubView(document);
    }
    pDocumentView = document;
}

void LScrollView::SetDocumentSize(double w, double h)
{
    LUiRect f = pDocumentView->Frame();
    pDocumentView->SetFrame(LUiRect { f.x, f.y, w, h });
    pScrollView->documentSizeChanged();
    pScrollView->SetNeedsDisplay();
    pDocumentView->SetNeedsDisplay();
}

void LScrollView::MoveScrollViewPixels(int x, int y, int w, int h)
{
    if (!pWindow || !pScrollView)
        return;
    double s = Scale();
    // The document first: the scroll view is given its new size at once, and shows its bars for
    // the document it holds then (a document kept at a larger view's size would leave a bar
    // with nothing to scroll).
    if (pDocumentView)
        SetDocumentSize(std::max(iContentWidth, w) / s, std::max(iContentHeight, h) / s);
    pWindow->MoveControlPixels(pScrollView, x, y, w, h);
}

void LScrollView::SetContentSize(int w, int h)
{
    if (!pWindow)
        return;
    iContentWidth = w;
    iContentHeight = h;
    if (!pScrollView || !pDocumentView)
        return;
    double s = Scale();
    LUiSize visible = pScrollView->contentSize();
    SetDocumentSize(std::max(w / s, visible.width), std::max(h / s, visible.height));
}

int LScrollView::GetContentSizeHorizontalPixels()
{
    if (!pWindow || !pScrollView)
        return 0;
    return std::max(iContentWidth, Half(Scale() * pScrollView->contentSize().width));
}

int LScrollView::GetContentSizeVerticalPixels()
{
    if (!pWindow || !pScrollView)
        return 0;
    return std::max(iContentHeight, Half(Scale() * pScrollView->contentSize().height));
}

void LScrollView::GetViewSize(int& x, int& y, int& w, int& h)
{
    if (!pWindow || !pScrollView)
        return;
    double s = Scale();
    LUiRect f = pScrollView->Frame();
    x = Half(f.x * s);
    y = Half(f.y * s);
    w = Half(f.width * s);
    h = Half(f.height * s);
    if (pWindow->IsRealWindow())
        y += LMacWindow::GetToolbarHeightPixels(pWindow->GetContentView());
}

void LScrollView::ScrollVerticallyToPixels(int y)
{
    if (!pWindow || !pScrollView)
        return;
    pScrollView->scrollToPoint(LUiPoint { pScrollView->BoundsOrigin().x, y / Scale() });
}

int LScrollView::GetScrolledPositionHorizontalPixels()
{
    if (!pWindow || !pScrollView)
        return 0;
    return int(pScrollView->BoundsOrigin().x * Scale());
}

int LScrollView::GetScrolledPositionVerticalPixels()
{
    if (!pWindow || !pScrollView)
        return 0;
    return int(pScrollView->BoundsOrigin().y * Scale());
}
