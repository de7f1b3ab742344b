// A FIFO that nobody writes, for the readers that are to refuse it at once. Should a reader
// wait on it all the same (in open() or read()), a writer opens it once the bound has passed,
// which lets the reader go on, and Released() tells it: a test then fails instead of hanging.
// The FIFO is removed when the object goes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class UnwrittenFifo {
public:
    explicit UnwrittenFifo(
        std::string path, std::chrono::milliseconds bound = std::chrono::seconds(20))
        : fPath(std::move(path))
        , fMade(::mkfifo(fPath.c_str(), 0600) == 0)
    {
        if (fMade)
            fWatch = std::thread([this, bound] { Watch(bound); });
    }
    ~UnwrittenFifo()
    {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            fEnd = true;
        }
        fChanged.notify_all();
        if (fWatch.joinable())
            fWatch.join();
        ::unlink(fPath.c_str());
    }
    UnwrittenFifo(const UnwrittenFifo&) = delete;
    UnwrittenFifo& operator=(const UnwrittenFifo&) = delete;

    bool Made() const { return fMade; }
    const std::string& Path() const { return fPath; }
    // Whether a reader was found waiting on the FIFO after the bound and had to be let go.
    bool Released()
    {
        std::lock_guard<std::mutex> lock(fMutex);
        return fReleased;
    }

private:
    void Watch(std::chrono::milliseconds bound)
    {
        std::unique_lock<std::mutex> lock(fMutex);
        if (fChanged.wait_for(lock, bound, [this] { return fEnd; }))
            return;
        // From now on every reader that waits is let go: a writer's open without waiting succeeds
        // only while a reader has the FIFO open, and its close ends that reader's read.
        while (!fChanged.wait_for(lock, std::chrono::milliseconds(20), [this] { return fEnd; })) {
            const int fd = ::open(fPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                fReleased = true;
                ::close(fd);
            }
        }
    }

    std::string fPath;
    bool fMade;
    std::mutex fMutex;
    std::condition_variable fChanged;
    bool fEnd = false, fReleased = false;
    std::thread fWatch;
};
