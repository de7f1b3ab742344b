#include "app/VTPictureEncoder.h"

#include "lfw/ios/LThread.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace {

struct Queue {
    std::mutex mutex;
    std::deque<LCountedPtr<VTCountableImageBuffer>> waiting;
    const VTCountableImageBuffer* current = nullptr;
    bool running = false;
};

// Never destroyed: the worker may still be encoding while the program ends.
Queue& TheQueue()
{
    static Queue* queue = new Queue;
    return *queue;
}

void Work()
{
    LThreadSetName("Bildkodning");
    // Below the window's thread: the encoding takes what the user's work leaves.
    setpriority(PRIO_PROCESS, 0, 10);
    Queue& q = TheQueue();
    for (;;) {
        LCountedPtr<VTCountableImageBuffer> picture;
        {
            std::lock_guard<std::mutex> hold(q.mutex);
            if (q.waiting.empty()) {
                q.running = false;
                break;
            }
            picture = std::move(q.waiting.front());
            q.waiting.pop_front();
            q.current = picture.get();
        }
        // A failure is left to the save, which tries again and tells it.
        LProcessInterfaceVoid quiet;
        LProcessResult result = LProcessResultSuccess;
        picture->EncodePNG(quiet, result);
        // Forgotten before the picture may go, so that no new one at its address is taken for it.
        std::lock_guard<std::mutex> hold(q.mutex);
        q.current = nullptr;
    }
    LThreadClearName();
}

} // namespace

void VTPictureEncoder::Start(const LCountedPtr<VTCountableImageBuffer>& picture)
{
    if (!picture || !picture->IsValid() || picture->GetEncodedPNG())
        return;
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> hold(q.mutex);
    if (q.current == picture.get()
        || std::any_of(q.waiting.begin(), q.waiting.end(),
            [&](const auto& p) { return p.get() == picture.get(); }))
        return;
    q.waiting.push_back(picture);
    if (q.running)
        return;
    try {
        std::thread(Work).detach();
        q.running = true;
    } catch (const std::system_error&) {
        // No thread: the save encodes the picture itself.
        q.waiting.clear();
    }
}
