#include "lfw/ios/LQueuedNotify.h"

#include "platform/ui/LRunLoop.h"

#include <cstring>

LNotifyDataObject::LNotifyDataObject(unsigned int code, const void* data, uint64_t lengthOrInt)
    : fCode(code)
    , fLengthOrInt(lengthOrInt)
    , fHasBytes(data != nullptr)
{
    if (data) {
        fBytes.reset(new uint8_t[lengthOrInt ? lengthOrInt : 1]);
        if (lengthOrInt)
            memcpy(fBytes.get(), data, lengthOrInt);
    }
}

void LQueuedNotifyDataHandlerImpl::PostNotifyData(std::shared_ptr<const LNotifyDataObject> message)
{
    std::shared_ptr<LQueuedNotifyDataHandlerImpl> self = shared_from_this();
    LRunLoop::Post([self, message] { self->Deliver(*message); });
}

void LQueuedNotifyDataHandlerImpl::Deliver(const LNotifyDataObject& message)
{
    LLockObjectLocker locker(fLock);
    if (fDestroyed || !fHandler)
        return;
    fHandler->EvQueuedNotifyData(
        message.GetCode(), message.GetBytes(), static_cast<size_t>(message.GetLengthOrInt()));
}

void LQueuedNotifyDataHandlerImpl::DestroyNotify()
{
    LLockObjectLocker locker(fLock);
    fDestroyed = true;
}

void LQueuedNotifyDataHandlerImpl::SetInterface(LQueuedNotifyDataHandler* handler)
{
    LLockObjectLocker locker(fLock);
    fHandler = handler;
}

LQueuedNotifyDataHandler::LQueuedNotifyDataHandler()
    : fReceiver(std::make_shared<LQueuedNotifyDataHandlerImpl>(this))
{
}

LQueuedNotifyDataHandler::~LQueuedNotifyDataHandler()
{
    DetachQueuedNotify();
}

void LQueuedNotifyDataHandler::DetachQueuedNotify()
{
    // Taking the receiver's lock waits for a delivery running on the main thread to finish.
    fReceiver->DestroyNotify();
    fReceiver->SetInterface(nullptr);
}

void LQueuedNotifyDataSender::SetHandler(LQueuedNotifyDataHandler* handler)
{
    fHandler = handler;
    fReceiver = handler ? handler->GetQueuedNotifyReceiver() : nullptr;
}

void LQueuedNotifyDataSender::PostNotify(unsigned int code, const void* data, size_t lengthOrInt)
{
    if (!fReceiver)
        return;
    fReceiver->PostNotifyData(std::make_shared<const LNotifyDataObject>(code, data, lengthOrInt));
}
