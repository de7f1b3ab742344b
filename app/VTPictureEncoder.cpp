#include "app/VTPictureEncoder.h"

#include "platform/system/WorkerQueue.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// The pictures queued or being encoded, so that a picture is queued once. Never destroyed: the
// worker may still be encoding while the program ends.
struct Pending {
    std::mutex mutex;
    std::vector<const VTCountableImageBuffer*> pictures;
};

Pending& ThePending()
{
    static Pending* pending = new Pending;
    return *pending;
}

platform::system::WorkerQueue& TheQueue()
{
    static auto* queue = new platform::system::WorkerQueue("Bildkodning");
    return *queue;
}

void Forget(const VTCountableImageBuffer* picture)
{
    Pending& p = ThePending();
    std::lock_guard<std::mutex> hold(p.mutex);
    p.pictures.erase(std::remove(p.pictures.begin(), p.pictures.end(), picture), p.pictures.end());
}

// Whether only the encoder still holds the picture (its project closed, its overlay gone with
// the history that kept it).
bool HeldByNobodyElse(const VTCountableImageBuffer& picture)
{
    return picture.GetRefCount() <= 1;
}

// The encoding's job: silent, and stopped once nobody but the encoder wants the picture.
class Encoding : public LProcessInterfaceVoid {
public:
    explicit Encoding(const VTCountableImageBuffer& picture)
        : fPicture(picture)
    {
    }
    bool IsToStop() override { return HeldByNobodyElse(fPicture); }

private:
    const VTCountableImageBuffer& fPicture;
};

// Main thread: who is told of pictures encoded.
std::map<const void*, std::function<void()>>& Watchers()
{
    static auto* watchers = new std::map<const void*, std::function<void()>>;
    return *watchers;
}

void TellWatchers()
{
    // A watcher may unwatch: the functions are run from a copy.
    const auto watchers = Watchers();
    for (const auto& [owner, encoded] : watchers)
        if (Watchers().count(owner))
            encoded();
}

void Encode(LCountedPtr<VTCountableImageBuffer>& picture)
{
    // A failure is left to the save, which tries again and tells it.
    if (!HeldByNobodyElse(*picture)) {
        Encoding job(*picture);
        LProcessResult result = LProcessResultSuccess;
        if (picture->EncodePNG(job, result))
            LRunLoop::Post(TellWatchers);
    }
    // Forgotten before the picture may go, so that no new one at its address is taken for it.
    Forget(picture.get());
    picture.reset();
}

} // namespace

void VTPictureEncoder::Start(const LCountedPtr<VTCountableImageBuffer>& picture)
{
    if (!picture || !picture->IsValid() || picture->GetEncodedPNG())
        return;
    {
        Pending& p = ThePending();
        std::lock_guard<std::mutex> hold(p.mutex);
        if (std::find(p.pictures.begin(), p.pictures.end(), picture.get()) != p.pictures.end())
            return;
        p.pictures.push_back(picture.get());
    }
    // No thread: the save encodes the picture itself.
    if (!TheQueue().Add([held = picture]() mutable { Encode(held); }))
        Forget(picture.get());
}

bool VTPictureEncoder::Busy()
{
    return TheQueue().Busy();
}

void VTPictureEncoder::Watch(const void* owner, std::function<void()> encoded)
{
    Watchers()[owner] = std::move(encoded);
}

void VTPictureEncoder::Unwatch(const void* owner)
{
    Watchers().erase(owner);
}
