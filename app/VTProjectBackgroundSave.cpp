#include "app/VTProjectBackgroundSave.h"

#include "app/VTProjectFile.h"
#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <utility>

// Shared by the object, its workers and what they post back; the main thread alone reads
// `project` and `done`, and only while the save is not abandoned.
struct VTProjectBackgroundSave::State {
    VTProject* project = nullptr;
    std::string path;
    Done done;
    std::atomic<bool> abandoned { false };
    std::thread writer;

    // The workers' job interface: silent, and stopped once the save is abandoned.
    class Job : public LProcessInterfaceVoid {
    public:
        explicit Job(const std::atomic<bool>& stop)
            : fStop(stop)
        {
        }
        bool IsToStop() override { return fStop.load(); }

    private:
        const std::atomic<bool>& fStop;
    };

    static void Encode(const std::shared_ptr<State>& state);
    static void Write(const std::shared_ptr<State>& state);
    static void Finish(const std::shared_ptr<State>& state, bool saved);
};

namespace {

// Starts a thread below the window's thread; false when none could be made.
template <class F> bool StartThread(std::thread& thread, F&& body)
{
    try {
        thread = std::thread([body = std::forward<F>(body)]() mutable {
            setpriority(PRIO_PROCESS, 0, 10);
            body();
        });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

} // namespace

void VTProjectBackgroundSave::State::Finish(const std::shared_ptr<State>& state, bool saved)
{
    if (state->abandoned)
        return;
    if (state->writer.joinable())
        state->writer.join();
    // The callback may destroy the object: nothing of it is touched after.
    Done done = std::move(state->done);
    state->abandoned = true;
    if (done)
        done(saved);
}

// Main thread: the pictures not encoded yet are encoded on a worker, which then hands back to
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
    // The pictures are held by the worker (their counts are atomic) and only read there.
    std::thread encoder;
    const bool started = StartThread(encoder, [state, encode = std::move(encode)]() mutable {
        Job job(state->abandoned);
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
    if (started)
        encoder.detach();
    else
        Finish(state, false);
}

// Main thread: the file in memory, then a worker writes it out.
void VTProjectBackgroundSave::State::Write(const std::shared_ptr<State>& state)
{
    auto bytes = std::make_shared<LSizedArray<unsigned char>>();
    Job job(state->abandoned);
    if (VTProjectFileBytes(job, *state->project, *bytes) != LProcessResultSuccess) {
        Finish(state, false);
        return;
    }
    std::shared_ptr<const LSizedArray<unsigned char>> finished = std::move(bytes);
    const bool started = StartThread(state->writer, [state, finished] {
        VTProjectWriteBytes write { state->path, finished };
        Job job(state->abandoned);
        const bool saved = Process(job, write) == LProcessResultSuccess;
        LRunLoop::Post([state, saved] { Finish(state, saved); });
    });
    if (!started)
        Finish(state, false);
}

VTProjectBackgroundSave::VTProjectBackgroundSave(VTProject& project, std::string path, Done done)
    : fState(std::make_shared<State>())
{
    fState->project = &project;
    fState->path = std::move(path);
    fState->done = std::move(done);
    // Posted, so that the callback never runs inside the constructor.
    std::shared_ptr<State> state = fState;
    LRunLoop::Post([state] { State::Encode(state); });
}

VTProjectBackgroundSave::~VTProjectBackgroundSave()
{
    fState->abandoned = true;
    fState->done = nullptr;
    if (fState->writer.joinable())
        fState->writer.join();
}
