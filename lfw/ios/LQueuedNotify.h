// Queued notifications: any thread hands a small message to an object that receives it later,
// on the main thread, through EvQueuedNotifyData.
//
// Messages from one sender arrive in the order they were posted. Once the receiving handler is
// destroyed (or detached), messages still queued for it are dropped.
#pragma once

#include "lfw/gen/LLockObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// One message: a code, a length or integer, and a copy of the data bytes when data was given.
class LNotifyDataObject {
public:
    LNotifyDataObject(unsigned int code, const void* data, uint64_t lengthOrInt);

    unsigned int GetCode() const { return fCode; }
    uint64_t GetLengthOrInt() const { return fLengthOrInt; }
    // The copied bytes, or null for the integer form.
    const void* GetBytes() const { return fHasBytes ? fBytes.get() : nullptr; }

private:
    unsigned int fCode;
    uint64_t fLengthOrInt;
    bool fHasBytes;
    std::unique_ptr<uint8_t[]> fBytes;
};

class LQueuedNotifyDataHandler;

// The main-thread receiver of a handler: delivers posted messages on the main thread while a
// handler is set, and drops them once DestroyNotify has been called. Shared by the handler and
// the messages in flight, so it outlives both.
class LQueuedNotifyDataHandlerImpl
    : public std::enable_shared_from_this<LQueuedNotifyDataHandlerImpl> {
public:
    explicit LQueuedNotifyDataHandlerImpl(LQueuedNotifyDataHandler* handler)
        : fHandler(handler)
    {
    }

    // Any thread: queues the message for delivery on the main thread.
    void PostNotifyData(std::shared_ptr<const LNotifyDataObject> message);
    // Messages still queued are delivered no more.
    void DestroyNotify();
    // Sets or clears (null) the handler that receives the messages.
    void SetInterface(LQueuedNotifyDataHandler* handler);

private:
    void Deliver(const LNotifyDataObject& message);

    LLockObject fLock; // held while a message is delivered, so a handler is never cut off mid-call
    LQueuedNotifyDataHandler* fHandler;
    bool fDestroyed = false;
};

// Base of classes that receive queued notifications.
class LQueuedNotifyDataHandler {
public:
    LQueuedNotifyDataHandler();
    // Stops delivery (queued messages are dropped) and releases the receiver.
    virtual ~LQueuedNotifyDataHandler();
    LQueuedNotifyDataHandler(const LQueuedNotifyDataHandler&) = delete;
    LQueuedNotifyDataHandler& operator=(const LQueuedNotifyDataHandler&) = delete;

    // Called on the main thread: data is the copied bytes and length their count, or data is
    // null and length is the integer that was posted.
    virtual void EvQueuedNotifyData(unsigned int code, const void* data, size_t length) = 0;

    // As the destructor does, earlier: no message reaches the object after this returns
    // (unless it is called from inside a delivery, which finishes).
    void DetachQueuedNotify();

    const std::shared_ptr<LQueuedNotifyDataHandlerImpl>& GetQueuedNotifyReceiver() const
    {
        return fReceiver;
    }

private:
    std::shared_ptr<LQueuedNotifyDataHandlerImpl> fReceiver;
};

// Posts to one handler from any thread.
class LQueuedNotifyDataSender {
public:
    LQueuedNotifyDataSender() = default;
    explicit LQueuedNotifyDataSender(LQueuedNotifyDataHandler* handler) { SetHandler(handler); }

    // Binds the sender to a handler (null: posting does nothing).
    void SetHandler(LQueuedNotifyDataHandler* handler);
    LQueuedNotifyDataHandler* GetHandler() const { return fHandler; }

    // Posts {code, lengthOrInt, a copy of lengthOrInt bytes from data when data is not null}.
    void PostNotify(unsigned int code, const void* data, size_t lengthOrInt);

private:
    LQueuedNotifyDataHandler* fHandler = nullptr;
    std::shared_ptr<LQueuedNotifyDataHandlerImpl> fReceiver;
};
