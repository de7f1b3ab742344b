#include "lfw/mac/LEmbeddedWindow.h"

#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "platform/ui/LView.h"

LEmbeddedWindow::~LEmbeddedWindow()
{
    Destroy();
}

void LEmbeddedWindow::InitCommonEmbedded(LWindow& parent, double widthPoints, double heightPoints,
    const LDialog::OpenGenData* data, bool build)
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
    pParentWindow = &parent;
    if (!build)
        return;
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
    pParentWindow->MoveControlPixels(view, x, y, width, height);
    if (fInitialised)
        LayoutControls(0, 0, width, height);
}

void LEmbeddedWindow::GetContentSize(int& width, int& height) const
{
    width = GetClientAreaWidth();
    height = GetClientAreaHeight();
}

void LEmbeddedWindow::SetContentSize(int width, int height)
{
    LView* view = GetContentView();
    if (!view)
        return;
    const double s = GetBackingScaleFactor();
    LUiRect f = view->Frame();
    view->SetFrame(LUiRect { f.x, f.y, width / s, height / s });
    view->SetNeedsDisplay();
}

void LEmbeddedWindow::EnableWindow(bool enable)
{
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
    fInitialised = false;
    pParentWindow = nullptr;
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
    const int w = GetClientAreaWidth(), h = GetClientAreaHeight();
    if (w < 1 && h < 1)
        return;
    SetLayoutFlag(false);
    LayoutControls(0, 0, w, h);
    SetLayoutFlag(true);
}
