#include "app/VTPictureEncoder.h"

#include "platform/system/System.h"
#include "platform/system/WorkerQueue.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <thread>
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
    static auto* queue
        = new platform::system::WorkerQueue("Bildkodning", platform::system::ProcessorCount());
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

// The pictures a save encodes side by side, shared by its threads and the thread that waits, which
// alone talks to the save's process: the threads' statuses and progress reach it through here.
struct EncodingAll {
    const std::vector<LCountedPtr<VTCountableImageBuffer>>& pictures;
    std::unique_ptr<std::atomic<double>[]> done; // each picture's share encoded
    std::vector<double> weights; // each picture's share of all pixels
    std::atomic<size_t> next { 0 };
    std::atomic<bool> stop { false };
    std::mutex lock;
    std::condition_variable changed; // a thread ended, told a status or moved a step on
    int running = 0; // threads under way
    LProcessInterface* here = nullptr; // the process, when the pictures are encoded on its thread
    std::vector<std::pair<std::string, int>> statuses; // to be told, in order
    double progressTold = 0; // the share told last
    LProcessResult result = LProcessResultSuccess; // the first that was not success

    explicit EncodingAll(const std::vector<LCountedPtr<VTCountableImageBuffer>>& all)
        : pictures(all)
        , done(new std::atomic<double>[all.size()])
    {
        double total = 0;
        for (const auto& p : all)
            total += double(p->GetWidth()) * double(p->GetHeight());
        for (size_t i = 0; i < all.size(); ++i) {
            done[i] = 0;
            weights.push_back(total > 0
                    ? double(all[i]->GetWidth()) * double(all[i]->GetHeight()) / total
                    : 1.0 / double(all.size()));
        }
    }
    double Progress() const
    {
        double sum = 0;
        for (size_t i = 0; i < pictures.size(); ++i)
            sum += weights[i] * done[i].load(std::memory_order_relaxed);
        return std::min(sum, 1.0);
    }
    // Whether the waiting thread has something to tell or wait for no more. Under the lock.
    bool ToTellLocked() const
    {
        return running == 0 || !statuses.empty() || Progress() >= progressTold + 0.01;
    }
    void Note(LProcessResult r)
    {
        std::lock_guard<std::mutex> hold(lock);
        // A failure is told rather than the stops it caused.
        if (result == LProcessResultSuccess || r == LProcessResultError)
            result = r;
        stop = true;
    }
    // A picture's encoding job on its thread.
    class Job : public LProcessInterfaceVoid {
    public:
        Job(EncodingAll& all, size_t index)
            : fAll(all)
            , fIndex(index)
        {
        }
        bool IsToStop() override
        {
            if (fAll.here && fAll.here->IsToStop())
                fAll.stop = true;
            return fAll.stop.load();
        }
        void SetStatus(const char* text, int level) override
        {
            std::lock_guard<std::mutex> hold(fAll.lock);
            fAll.statuses.emplace_back(text ? text : "", level);
            fAll.changed.notify_all();
        }
        void SetProgress(double fraction) override
        {
            fAll.done[fIndex].store(fraction, std::memory_order_relaxed);
            std::lock_guard<std::mutex> hold(fAll.lock);
            if (fAll.ToTellLocked())
                fAll.changed.notify_all();
        }

    private:
        EncodingAll& fAll;
        size_t fIndex;
    };
    // A thread's work: the next picture not taken until there is none or the encoding ends.
    void Work()
    {
        for (size_t i = next++; i < pictures.size() && !stop; i = next++) {
            Job job(*this, i);
            LProcessResult r = LProcessResultSuccess;
            pictures[i]->EncodePNG(job, r);
            if (r != LProcessResultSuccess) {
                Note(r);
                break;
            }
            done[i] = 1;
        }
        std::lock_guard<std::mutex> hold(lock);
        --running;
        changed.notify_all();
    }
    // The waiting thread: tells the process what the threads told until they have ended.
    void Wait(LProcessInterface& process)
    {
        for (bool ended = false; !ended;) {
            std::vector<std::pair<std::string, int>> told;
            double progress = 0;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait_for(
                    hold, std::chrono::milliseconds(50), [&] { return ToTellLocked(); });
                ended = running == 0;
                told.swap(statuses);
                progress = progressTold = Progress();
            }
            for (const auto& [text, level] : told)
                process.SetStatus(text.c_str(), level);
            process.SetProgress(progress);
            if (!ended && process.IsToStop())
                Note(LProcessResultStopped);
        }
    }
};

} // namespace

LProcessResult VTPictureEncoder::EncodeAll(LProcessInterface& process,
    const std::vector<LCountedPtr<VTCountableImageBuffer>>& pictures, int workers)
{
    if (pictures.empty())
        return LProcessResultSuccess;
    EncodingAll all(pictures);
    const int processors = platform::system::ProcessorCount();
    const size_t count = std::min(
        pictures.size(), size_t(workers > 0 ? std::min(workers, processors) : processors));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i) {
        std::lock_guard<std::mutex> hold(all.lock);
        try {
            threads.emplace_back([&all] {
                // Below the window's thread, as the workers run (it fails, harmlessly, where
                // the caller runs nicer still).
                setpriority(PRIO_PROCESS, 0, platform::system::WorkerQueue::kNiceness);
                all.Work();
            });
            ++all.running;
        } catch (const std::system_error&) {
            break;
        }
    }
    if (threads.empty()) {
        // No thread could be made: the pictures are encoded here, one after another, the
        // process asked to stop as they are.
        all.here = &process;
        ++all.running;
        all.Work();
    }
    all.Wait(process);
    for (std::thread& t : threads)
        t.join();
    if (all.result == LProcessResultError) {
        process.SetError("Det gick inte att koda bilden.");
        return LProcessResultError;
    }
    if (all.result != LProcessResultSuccess || process.IsToStop())
        return LProcessResultStopped;
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

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
