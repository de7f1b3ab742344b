#include "app/VTProjectBackgroundSave.h"

#include "app/VTProjectFile.h"
#include "platform/system/WorkerQueue.h"
#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

// Shared by the object, its work and what the work posts back; the main thread alone reads
// `project` and `done`, and only while the save is not abandoned.
struct VTProjectBackgroundSave::State {
    VTProject* project = nullptr;
    std::string path;
    std::string origin;
    Done done;
    std::atomic<bool> abandoned { false };
    // The failure's text: written by the work, read on the main thread once the work has posted
    // its end.
    std::string error;
    // Set while the snapshot is handed to the worker and until it is written or dropped.
    std::mutex writingLock;
    std::condition_variable writingEnded;
    bool writing = false;

    // The work's job interface: silent, and stopped once the save is abandoned.
    class Job : public LProcessInterfaceVoid {
    public:
        Job(const std::atomic<bool>& stop, std::string& error)
            : fStop(stop)
            , fError(error)
        {
        }
        bool IsToStop() override { return fStop.load(); }
        void SetError(const char* text) override { fError = text ? text : ""; }

    private:
        const std::atomic<bool>& fStop;
        std::string& fError;
    };

    static void Encode(const std::shared_ptr<State>& state);
    static void Write(const std::shared_ptr<State>& state);
    static void Finish(const std::shared_ptr<State>& state, bool saved);
    void EndWriting()
    {
        std::lock_guard<std::mutex> hold(writingLock);
        writing = false;
        writingEnded.notify_all();
    }
};

namespace {

// The saves' worker; never destroyed, as it may still be writing while the program ends.
platform::system::WorkerQueue& Worker()
{
    static auto* queue = new platform::system::WorkerQueue("Sparande");
    return *queue;
}

} // namespace

void VTProjectBackgroundSave::State::Finish(const std::shared_ptr<State>& state, bool saved)
{
    if (state->abandoned)
        return;
    // The callback may destroy the object: nothing of it is touched after.
    Done done = std::move(state->done);
    state->abandoned = true;
    if (done)
        done(saved);
}

// Main thread: the pictures not encoded yet are encoded by the worker, which then hands back to
// Write; with none, Write runs at once.
void VTProjectBackgroundSave::State::Encode(const std::shared_ptr<State>& state)
{
    if (state->abandoned)
        return;
    VTProjectEncodePictures encode { VTProjectPicturesToEncode(*state->project) };
    if (encode.pictures.empty()) {
        Write(state);
        return;
    }
    // The pictures are held by the work (their counts are atomic) and only read there.
    const bool queued = Worker().Add([state, encode = std::move(encode)]() mutable {
        Job job(state->abandoned, state->error);
        const bool ok = Process(job, encode) == LProcessResultSuccess;
        encode.pictures.clear();
        // Pictures added meanwhile are encoded in another round.
        LRunLoop::Post([state, ok] {
            if (ok)
                Encode(state);
            else
                Finish(state, false);
        });
    });
    if (!queued)
        Finish(state, false);
}

// Main thread: the snapshot of the file (the pictures' bytes shared, not copied), then the worker
// writes it out.
void VTProjectBackgroundSave::State::Write(const std::shared_ptr<State>& state)
{
    VTProjectSnapshot snapshot;
    Job job(state->abandoned, state->error);
    if (VTProjectMakeSnapshot(job, *state->project, snapshot, state->origin.c_str())
        != LProcessResultSuccess) {
        Finish(state, false);
        return;
    }
    {
        std::lock_guard<std::mutex> hold(state->writingLock);
        state->writing = true;
    }
    const bool queued = Worker().Add([state, snapshot = std::move(snapshot)] {
        bool saved = false;
        if (!state->abandoned) {
            VTProjectWriteSnapshot write { state->path, snapshot };
            Job job(state->abandoned, state->error);
            saved = Process(job, write) == LProcessResultSuccess;
        }
        state->EndWriting();
        LRunLoop::Post([state, saved] { Finish(state, saved); });
    });
    if (!queued) {
        state->EndWriting();
        Finish(state, false);
    }
}

VTProjectBackgroundSave::VTProjectBackgroundSave(
    VTProject& project, std::string path, Done done, std::string origin)
    : fState(std::make_shared<State>())
{
    fState->project = &project;
    fState->path = std::move(path);
    fState->origin = std::move(origin);
    fState->done = std::move(done);
    // Posted, so that the callback never runs inside the constructor.
    std::shared_ptr<State> state = fState;
    LRunLoop::Post([state] { State::Encode(state); });
}

std::string VTProjectBackgroundSave::GetError() const
{
    return fState->error;
}

VTProjectBackgroundSave::~VTProjectBackgroundSave()
{
    fState->abandoned = true;
    fState->done = nullptr;
    std::unique_lock<std::mutex> hold(fState->writingLock);
    fState->writingEnded.wait(hold, [&] { return !fState->writing; });
}
