#include "lfw/mac/LEmbeddedWindow.h"

#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "platform/ui/LView.h"

LEmbeddedWindow::~LEmbeddedWindow()
{
    Destroy();
}

void LEmbeddedWindow::InitCommonEmbedded(
    LWindow& parent, double widthPoints, double heightPoints, const LDialog::OpenGenData* data)
{
    if (GetContentView() || !parent.GetContentView())
        return;
    LView* view = CreateEmbeddedWindow(parent, false, false);
    if (!view)
        return;
    SetContentView(view);
    fHostScrollView = &fPageScrollView;
    fEmbeddedInHost = false;
    SetCharacterMetrics(parent.CharWidthPixels(), parent.CharHeightPixels(),
        parent.CharWidthPoints(), parent.CharHeightPoints());
    view->SetFrame(LUiRect { 0, 0, widthPoints, heightPoints });
    SetParent(&parent);
    // The page's buttons are its owner's: the generator adds controls only.
    if (data && data->generator)
        data->generator(*this, 0, 0, false);
    InitDialog();
    fInitialised = true;
    EnableControls();
}

void LEmbeddedWindow::Init(LWindow& parent, const LDialog::OpenGenData& data)
{
    InitCommonEmbedded(parent, data.width, data.height, &data);
}

void LEmbeddedWindow::Init(LWindow& parent, int width, int height)
{
    double s = parent.GetBackingScaleFactor();
    InitCommonEmbedded(parent, width / s, height / s, nullptr);
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
    fInitialised = false;
}

int LEmbeddedWindow::GetClientAreaWidth() const
{
    LView* view = GetContentView();
    return view ? int(view->Frame().width * GetBackingScaleFactor() + 0.5) : 0;
}

int LEmbeddedWindow::GetClientAreaHeight() const
{
    LView* view = GetContentView();
    return view ? int(view->Frame().height * GetBackingScaleFactor() + 0.5) : 0;
}

void LEmbeddedWindow::RelayoutWindow()
{
    if (!fInitialised || !GetContentView())
        return;
    SetLayoutFlag(false);
    LayoutControls(GetClientAreaWidth(), GetClientAreaHeight());
    SetLayoutFlag(true);
}
