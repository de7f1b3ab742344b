#include "lfw/ios/LIOSEventHandler.h"

#include "platform/ui/LRunLoop.h"
#include "platform/ui/LView.h"

const char kAssociatedLWindowKey = 0;

LIOSEventHandlerList gIOSEventHandlerList;

LIOSEventWindow* LIOSEventWindowOfView(LView* view)
{
    if (!view)
        return nullptr;
    return reinterpret_cast<LIOSEventWindow*>(
        uintptr_t(view->GetAssociatedValue(&kAssociatedLWindowKey)));
}

// --- the table ---------------------------------------------------------------------------------

size_t LIOSEventHandlerList::CountLocked() const
{
    size_t n = 0;
    while (n < kCapacity && fRecords[n].pWindow)
        ++n;
    return n;
}

size_t LIOSEventHandlerList::Count() const
{
    LLockObjectLocker lock(fLock);
    return CountLocked();
}

LIOSEventHandlerRecord LIOSEventHandlerList::RecordAt(size_t index) const
{
    LLockObjectLocker lock(fLock);
    return index <= kCapacity ? fRecords[index] : LIOSEventHandlerRecord {};
}

bool LIOSEventHandlerList::Install(LIOSEventWindow* window)
{
    if (!window)
        return true;
    LLockObjectLocker lock(fLock);
    size_t n = 0;
    for (; n < kCapacity && fRecords[n].pWindow; ++n)
        if (fRecords[n].pWindow == window)
            return false;
    if (n >= kCapacity)
        return false;
    fRecords[n] = LIOSEventHandlerRecord { window, nullptr };
    fRecords[n + 1] = LIOSEventHandlerRecord {};
    return true;
}

bool LIOSEventHandlerList::Remove(LIOSEventWindow* window)
{
    if (!window)
        return true;
    LLockObjectLocker lock(fLock);
    size_t n = CountLocked();
    for (size_t i = 0; i < n; ++i) {
        if (fRecords[i].pWindow != window)
            continue;
        fRecords[i].pHandler = nullptr;
        // Every later record moves down by one, the ending empty record included.
        for (size_t j = i; j < n; ++j)
            fRecords[j] = fRecords[j + 1];
        fRecords[n] = LIOSEventHandlerRecord {};
        break;
    }
    return true;
}

LIOSEventHandlerRecord* LIOSEventHandlerList::FindOrInstallEventHandlerRecord(
    LIOSEventWindow* window, unsigned long& index)
{
    if (!window)
        return nullptr;
    LLockObjectLocker lock(fLock);
    for (int pass = 0; pass < 2; ++pass) {
        unsigned long i = index;
        for (; i < kCapacity && fRecords[i].pWindow; ++i) {
            if (fRecords[i].pWindow == window) {
                index = i;
                return &fRecords[i];
            }
        }
        index = i; // the ending position
        if (pass == 0 && !Install(window))
            return nullptr;
    }
    return nullptr;
}

bool LIOSEventHandlerList::SetHandler(LIOSEventWindow* window, LInterWinMessageHandler* handler)
{
    LLockObjectLocker lock(fLock);
    for (size_t i = 0; i < kCapacity && fRecords[i].pWindow; ++i) {
        if (fRecords[i].pWindow == window) {
            fRecords[i].pHandler = handler;
            return true;
        }
    }
    return false;
}

bool LIOSEventHandlerList::FindByContentView(LView* view, LIOSEventHandlerRecord& found) const
{
    if (!view)
        return false;
    LLockObjectLocker lock(fLock);
    for (size_t i = 0; i < kCapacity && fRecords[i].pWindow; ++i) {
        if (fRecords[i].pWindow->IOSContentView() == view) {
            found = fRecords[i];
            return true;
        }
    }
    return false;
}

bool LIOSEventHandlerList::IsRegistered(const LIOSEventWindow* window) const
{
    LLockObjectLocker lock(fLock);
    for (size_t i = 0; i < kCapacity && fRecords[i].pWindow; ++i)
        if (fRecords[i].pWindow == window)
            return true;
    return false;
}

LView* LIOSEventHandlerList::ContentViewOf(const LIOSEventWindow* window) const
{
    if (!window)
        return nullptr;
    LLockObjectLocker lock(fLock);
    for (size_t i = 0; i < kCapacity && fRecords[i].pWindow; ++i)
        if (fRecords[i].pWindow == window)
            return fRecords[i].pWindow->IOSContentView();
    return nullptr;
}

// --- delivery ----------------------------------------------------------------------------------

void LIOSEventHandlerRecord::ProcessEventInt(int id, long data1, long data2)
{
    if (!pWindow || id == kLIOSEventCommand || !pHandler || !pWindow->IOSIsAlive())
        return;
    pHandler->EvInterWinMessage(id, data1, data2);
}

void LIOSEventHandlerRecord::ProcessEvent(
    int id, long data1, long data2, bool wait, bool forceQueued)
{
    if (LRunLoop::IsMainThread() && !forceQueued) {
        ProcessEventInt(id, data1, data2);
        return;
    }
    // Off the main thread the window is asked for its content view only while the table holds it
    // (under the lock): a window removed and destroyed meanwhile is never touched.
    LIOSEventHandlerPerformer::Data data { this, gIOSEventHandlerList.ContentViewOf(pWindow), id,
        data1, data2 };
    LIOSEventHandlerPerformer::Shared().processEventInMainThread(data, wait);
}

bool LIOSEventHandlerPerformer::Data::updateRecord(LIOSEventHandlerRecord& record) const
{
    return gIOSEventHandlerList.FindByContentView(hTargetHandle, record);
}

LIOSEventHandlerPerformer& LIOSEventHandlerPerformer::Shared()
{
    static LIOSEventHandlerPerformer* performer = new LIOSEventHandlerPerformer; // never freed
    return *performer;
}

void LIOSEventHandlerPerformer::processEventInMainThread(const Data& data, bool wait)
{
    if (wait && LRunLoop::IsMainThread()) {
        processEvent(data);
        return;
    }
    if (wait)
        LRunLoop::Send([this, data] { processEvent(data); });
    else
        LRunLoop::Post([this, data] { processEvent(data); });
}

void LIOSEventHandlerPerformer::processEvent(const Data& data)
{
    // The record found again now, under the lock: it may have moved since the message was sent.
    LIOSEventHandlerRecord record;
    if (data.updateRecord(record))
        record.ProcessEventInt(data.EventId, data.Data1, data.Data2);
}

// --- entry points ------------------------------------------------------------------------------

bool LIOSEventHandler::Install(LIOSEventWindow* window)
{
    return gIOSEventHandlerList.Install(window);
}

bool LIOSEventHandler::Remove(LIOSEventWindow* window)
{
    return gIOSEventHandlerList.Remove(window);
}

bool LIOSEventHandler::IsRegisteredContentView(LView* view)
{
    LIOSEventHandlerRecord record;
    return gIOSEventHandlerList.FindByContentView(view, record);
}

bool LIOSEventHandler::Send(LView* view, int id, long data1, long data2)
{
    if (id == kLIOSEventCommand) {
        if (!view)
            return false;
        if (!LRunLoop::IsMainThread()) {
            // Windows are touched on the main thread only: the command runs there while the
            // sender waits. The window is looked up there too, so one closed meanwhile is skipped.
            // The view is held until the main thread has looked at it, and let go there.
            bool delivered = false;
            LUiRef<LView> target(view);
            LRunLoop::Send([&] {
                if (LIOSEventWindow* w = LIOSEventWindowOfView(target.Get())) {
                    w->IOSSendCommand(int(data1), int(data2));
                    delivered = true;
                }
                target.Reset(nullptr);
            });
            return delivered;
        }
        LIOSEventWindow* window = LIOSEventWindowOfView(view);
        if (!window)
            return false;
        window->IOSSendCommand(int(data1), int(data2));
        return true;
    }
    LIOSEventHandlerRecord record;
    if (!gIOSEventHandlerList.FindByContentView(view, record))
        return false;
    record.ProcessEvent(id, data1, data2, true, false);
    return true;
}

// --- handler -----------------------------------------------------------------------------------

LInterWinMessageHandler::~LInterWinMessageHandler()
{
    InterWinMessageHandlerDestroy();
}

void LInterWinMessageHandler::HandleInterWinMessage(LIOSEventWindow& window, int flags)
{
    if (flags < 0)
        return;
    unsigned long index = 0;
    if (!gIOSEventHandlerList.FindOrInstallEventHandlerRecord(&window, index))
        return;
    gIOSEventHandlerList.SetHandler(&window, this);
    pInterWinWindow = &window;
}

void LInterWinMessageHandler::InterWinMessageHandlerDestroy()
{
    if (!pInterWinWindow)
        return;
    LIOSEventHandler::Remove(pInterWinWindow);
    pInterWinWindow = nullptr;
}
