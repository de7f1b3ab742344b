#include "lfw/mac/cocoa/LCocoaWindow.h"

#include "lfw/ios/LEventQueue.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LView.h"

#include <mutex>
#include <unordered_map>

namespace {

// The window objects that exist, each with a number of its own: a worker asks here, under the
// lock, whether a window is still there, and never reads the window itself. The number tells a
// window from a later one that happens to get the same address.
std::mutex gLiveLock;
uint64_t gNextLiveNumber = 1;

std::unordered_map<const LCocoaWindow*, uint64_t>& LiveWindows()
{
    static auto* live = new std::unordered_map<const LCocoaWindow*, uint64_t>;
    return *live;
}

uint64_t LiveNumber(const LCocoaWindow* window)
{
    std::lock_guard<std::mutex> lock(gLiveLock);
    auto it = LiveWindows().find(window);
    return it == LiveWindows().end() ? 0 : it->second;
}

} // namespace

LCocoaWindowHooks& LCocoaWindowHooksGet()
{
    static LCocoaWindowHooks hooks;
    return hooks;
}

LCocoaWindow::LCocoaWindow()
{
    std::lock_guard<std::mutex> lock(gLiveLock);
    LiveWindows()[this] = gNextLiveNumber++;
}

LCocoaWindow::~LCocoaWindow()
{
    {
        std::lock_guard<std::mutex> lock(gLiveLock);
        LiveWindows().erase(this);
    }
    // A window object that goes away without its teardown must not stay reachable.
    LIOSEventHandler::Remove(this);
    if (LView* view = GetContentView()) {
        if (GetThisProperty(view) == this)
            SetThisProperty(view, nullptr);
    }
    if (fManager) {
        fManager->setLfwWindow(nullptr);
        fManager->Release();
        fManager = nullptr;
    }
    SetContentViewField(nullptr);
}

void LCocoaWindow::SetContentViewField(LView* view)
{
    if (view)
        view->Retain();
    LView* old = fContentView.exchange(view, std::memory_order_acq_rel);
    if (old)
        old->Release();
}

bool LCocoaWindow::IsAlive() const
{
    LView* view = GetContentView();
    if (!view || fClosed)
        return false;
    // A real window's content view hangs in its native window rather than in a superview.
    return view->Superview() || view->Window();
}

LCocoaWindow::PostTarget LCocoaWindow::GetPostTarget() const
{
    PostTarget target;
    target.fWindow = this;
    target.fNumber = LiveNumber(this);
    return target;
}

void LCocoaWindow::PostTarget::PostCommand(int command) const
{
    // Only the address travels; the main thread looks the window and its content view up once
    // it is there, and only when the window with that number still lives.
    if (!fNumber || LiveNumber(fWindow) != fNumber)
        return;
    const LCocoaWindow* window = fWindow;
    uint64_t number = fNumber;
    LRunLoop::Post([window, number, command] {
        if (LiveNumber(window) != number)
            return;
        auto* self = const_cast<LCocoaWindow*>(window);
        LView* view = self->GetContentView();
        if (view && GetThisProperty(view) == self)
            LCocoaView::deliverPostedCommand(view, command, 0);
    });
}

void LCocoaWindow::PostCommand(int command)
{
    if (!LRunLoop::IsMainThread()) {
        // The window may be torn down on the main thread right now: nothing of it is read here.
        PostTarget target;
        target.fWindow = this;
        target.fNumber = LiveNumber(this);
        target.PostCommand(command);
        return;
    }
    LView* view = GetContentView();
    LCocoaWindow* window = GetThisProperty(view);
    if (view && window)
        LCocoaView::postCommandExtraDetail(view, command, 0, window);
}

void LCocoaWindow::SendCommand(int command)
{
    LView* view = GetContentView();
    LCocoaWindow* window = GetThisProperty(view);
    if (view && window)
        LCocoaView::sendCommandExtraDetail(view, command, 0, window);
}

void LCocoaWindow::PostParentCommand(int command)
{
    LView* parent = GetParentHandle(GetContentView());
    LCocoaWindow* window = GetThisProperty(parent);
    if (parent && window)
        LCocoaView::postCommandExtraDetail(parent, command, 0, window);
}

LView* LCocoaWindow::GetParentHandle(LView* view)
{
    if (!view)
        return nullptr;
    if (uint64_t explicitParent = view->GetAssociatedValue(&kAssociatedParentWindowHandleKey))
        return reinterpret_cast<LView*>(uintptr_t(explicitParent));
    for (LView* v = view->Superview(); v; v = v->Superview())
        if (GetThisProperty(v) || LCocoaView::canRouteCommands(v))
            return v;
    return nullptr;
}

LCocoaWindow* LCocoaWindow::GetThisProperty(LView* view)
{
    return static_cast<LCocoaWindow*>(LIOSEventWindowOfView(view));
}

void LCocoaWindow::SetThisProperty(LView* view, LCocoaWindow* window)
{
    if (!view)
        return;
    if (window)
        view->SetAssociatedValue(
            &kAssociatedLWindowKey, uint64_t(uintptr_t(static_cast<LIOSEventWindow*>(window))));
    else
        view->RemoveAssociatedValue(&kAssociatedLWindowKey);
}

bool LCocoaWindow::Wait(unsigned int milliseconds)
{
    LEventQueueRunUntilStopConditionOrTimeout([this] { return !IsAlive(); }, true, milliseconds);
    return IsAlive();
}

void LCocoaWindow::SetCharacterMetrics(
    float widthPixels, float heightPixels, float widthPoints, float heightPoints)
{
    fCharWidthPixels = widthPixels;
    fCharHeightPixels = heightPixels;
    fCharWidthPoints = widthPoints;
    fCharHeightPoints = heightPoints;
}

void LCocoaWindow::IOSSendCommand(int command, int extraDetail)
{
    LCocoaView::sendCommandExtraDetail(GetContentView(), command, extraDetail, this);
}
