// Inter-window messages: a table of the windows that take part (at most 1024, packed in the order
// they registered, ended by an empty record), each with the handler of its messages. Any thread
// may send a numbered message with two data words to a window, named by its content view; the
// handler runs on the main thread, and a sender on another thread waits until it has run.
//
// Registration and removal happen on the main thread; workers only read the table to find their
// target. The table is guarded by a lock, because removal shifts the later records down while a
// worker may be searching them, and the record is found again on the main thread before delivery.
#pragma once

#include "lfw/gen/LLockObject.h"

#include <cstddef>

class LView;
class LInterWinMessageHandler;

// What the table needs of a window object (the window classes implement it).
class LIOSEventWindow {
public:
    // The window's content view: the name by which messages find it.
    virtual LView* IOSContentView() const = 0;
    // Content view present and in a superview, window not closing.
    virtual bool IOSIsAlive() const = 0;
    // The synchronous command path: Command(command, extra), then EnableControls when the window
    // is still alive and visible. Main thread.
    virtual void IOSSendCommand(int command, int extraDetail) = 0;

protected:
    ~LIOSEventWindow() = default;
};

// The association on a content view that names its window object (an LIOSEventWindow*).
extern const char kAssociatedLWindowKey;
// The window object associated with a view; null when none.
LIOSEventWindow* LIOSEventWindowOfView(LView* view);

// Message id -1: sent with LIOSEventHandler::Send it is a synchronous command (data1 the command
// id, data2 its extra detail); every other id is a message for the handler.
inline constexpr int kLIOSEventCommand = -1;

struct LIOSEventHandlerRecord {
    LIOSEventWindow* pWindow = nullptr;
    LInterWinMessageHandler* pHandler = nullptr;

    // Delivers at once on the main thread unless forced through the queue; otherwise hands the
    // message to the main thread (waiting for it when wait is set).
    void ProcessEvent(int id, long data1, long data2, bool wait, bool forceQueued);
    // Main thread: the handler's EvInterWinMessage when the window is alive, the id is not -1 and
    // a handler is set.
    void ProcessEventInt(int id, long data1, long data2);
};

class LIOSEventHandlerList {
public:
    static constexpr size_t kCapacity = 1024;

    // Main thread. Searches from index for the window; when absent, installs it and searches
    // again. Sets index to the record's place and answers the record (null for a null window or
    // a full table). The pointer is valid until the table changes.
    LIOSEventHandlerRecord* FindOrInstallEventHandlerRecord(
        LIOSEventWindow* window, unsigned long& index);
    bool Install(LIOSEventWindow* window);
    bool Remove(LIOSEventWindow* window);
    // Stores the handler in the window's record; false when the window is not registered.
    bool SetHandler(LIOSEventWindow* window, LInterWinMessageHandler* handler);

    // Any thread: copies of what the table holds.
    size_t Count() const;
    LIOSEventHandlerRecord RecordAt(size_t index) const;
    // The record whose window has this content view; false when none.
    bool FindByContentView(LView* view, LIOSEventHandlerRecord& found) const;
    bool IsRegistered(const LIOSEventWindow* window) const;
    // The content view of a registered window; null when the window is not in the table (it
    // may be gone: only registered windows are asked).
    LView* ContentViewOf(const LIOSEventWindow* window) const;

private:
    size_t CountLocked() const;

    LIOSEventHandlerRecord fRecords[kCapacity + 1] {};
    mutable LLockObject fLock;
};

extern LIOSEventHandlerList gIOSEventHandlerList;

class LIOSEventHandler {
public:
    // Registers a window without a handler: true when added (and for a null window), false when
    // it is present already or the table is full.
    static bool Install(LIOSEventWindow* window);
    // Takes a window out; the later records move down. Always true.
    static bool Remove(LIOSEventWindow* window);
    // Any thread. Id -1: the synchronous command path on the view's window (run on the main
    // thread; a sender elsewhere waits). Other ids: the message for the registered window whose
    // content view this is; false when there is none.
    static bool Send(LView* view, int id, long data1, long data2);
    // Whether the view is the content view of a registered window.
    static bool IsRegisteredContentView(LView* view);
};

// The shared object that carries messages to the main thread.
class LIOSEventHandlerPerformer {
public:
    struct Data {
        LIOSEventHandlerRecord* pRecord; // the record at sending time (informational)
        LView* hTargetHandle; // the target's content view, compared only, never dereferenced
        int EventId;
        long Data1;
        long Data2;
        // Finds the record again (records move when others are removed); false when gone.
        bool updateRecord(LIOSEventHandlerRecord& record) const;
    };

    static LIOSEventHandlerPerformer& Shared();
    // With wait on the main thread: at once. Otherwise queued to the main thread, and with wait
    // the caller blocks until it ran.
    void processEventInMainThread(const Data& data, bool wait);
    // Main thread: delivers to the record found again.
    void processEvent(const Data& data);
};

// Receives the inter-window messages of one window.
class LInterWinMessageHandler {
public:
    LInterWinMessageHandler() = default;
    virtual ~LInterWinMessageHandler();
    LInterWinMessageHandler(const LInterWinMessageHandler&) = delete;
    LInterWinMessageHandler& operator=(const LInterWinMessageHandler&) = delete;

    virtual void EvInterWinMessage(int id, long data1, long data2) = 0;

    // With a non-negative second argument: registers the window (or finds it) and makes this
    // object the handler of its messages.
    void HandleInterWinMessage(LIOSEventWindow& window, int flags);
    // Takes the window out of the table.
    void InterWinMessageHandlerDestroy();

protected:
    LIOSEventWindow* pInterWinWindow = nullptr;
};
