// Opening JPEG photographs of 24 megapixels (6000 x 4000) in the memory the picture buffers get:
// ordinary pages against huge pages asked for (MADV_HUGEPAGE), the same files read the same way.
//
// Each file is read as the program reads a picture file it adds (Process on a
// VTProcessPictureFileRead: the decoded picture and its screen source), and every picture read
// is kept until all are, as a start's -addimage requests keep them:
// - BM_OpenJpegs_OneAfterAnother/<files>/<huge>: one file after the other, each on a thread of
//   its own, as an add of files reads them (-addimage, a drop);
// - BM_OpenJpegs_SideBySide/<files>/<huge>: all of them on LParallelJobs, one per processor, as
//   a project's pictures are read.
// <huge> 0: the buffers as they are allocated (LImageBufferStoreHeap: ordinary pages); 1: every
// block of 2 MiB or more the buffers allocate starts on a 2 MiB boundary and asks for huge pages,
// as the store once did. The request is put in at the link (--wrap=posix_memalign, set in
// cmake/Bench.cmake for this program alone), so that both sides run the same code.
//
// The time is each whole open (manual time), five runs each; min, median and max are reported.
// Counters: huge_MB, the memory of this process in huge pages once the pictures are read
// (AnonHugePages of /proc/self/smaps_rollup); faults, user_ms and system_ms, the page faults and
// the processor time of all the process's threads during the open (the kernel's zeroing and
// gathering of pages is system time, which other programs' load on the machine moves less than
// the wall time); advised_MB, the memory asked to be huge pages. Run with
// --benchmark_enable_random_interleaving=true so that the machine's drift falls on both sides
// alike, and quote the kernel's /sys/kernel/mm/transparent_hugepage/enabled and defrag beside the
// figures: with "madvise" (as Debian ships) only the request brings huge pages. A repetition
// after the first finds the huge pages the one before gave back; the first open in a program is
// the first repetition of a run of one benchmark alone (for instance
// --benchmark_filter=BM_OpenJpegs_OneAfterAnother/files:1/huge:1/), each figure from a run of
// its own.
#include "app/VTPictureFilesAdd.h"
#include "bench/BenchSupport.h"
#include "bench/PhotoPixels.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageIOCodec.h"
#include "lfw/ios/LParallelJobs.h"
#include "platform/system/System.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> gAskForHugePages { false };
std::atomic<uint64_t> gAdvisedBytes { 0 };

} // namespace

extern "C" int __real_posix_memalign(void** block, size_t alignment, size_t size);

// The picture stores' allocation, as linked into this program.
extern "C" int __wrap_posix_memalign(void** block, size_t alignment, size_t size)
{
    constexpr size_t kHugePage = size_t(2) << 20;
    if (!gAskForHugePages || size < kHugePage)
        return __real_posix_memalign(block, alignment, size);
    const int result = __real_posix_memalign(block, std::max(alignment, kHugePage), size);
    if (result == 0 && ::madvise(*block, size, MADV_HUGEPAGE) == 0)
        gAdvisedBytes += size;
    return result;
}

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr int kMostFiles = 20;

// As the program sets its allocator up at start, before any thread.
const bool gAllocatorSetUp = [] {
    platform::system::SetUpAllocatorForLargeBlocks();
    return true;
}();

struct Photos {
    benchsupport::Scratch scratch { "vt-picture-pages-bench-XXXXXX" };
    std::vector<unsigned char> jpeg;
    std::vector<std::string> paths;

    Photos()
    {
        LImageBuffer pixels;
        uint32_t noise = 7;
        FillPhoto(pixels, kWidth, kHeight, 150, noise);
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessInterfaceVoid job;
        LProcessJPEGSave<LOutputStreamByteArray> save(pixels, out, 90);
        if (Process(job, save) == LProcessResultSuccess)
            jpeg.assign(array.GetData(), array.GetData() + array.GetCount());
    }
    // At least count files of the photograph (each a file of its own, as a camera's are); false
    // when they cannot be written.
    bool Make(size_t count)
    {
        while (!jpeg.empty() && paths.size() < count) {
            const std::string path
                = scratch.Required() + "/photo" + std::to_string(paths.size()) + ".jpg";
            std::ofstream file(path, std::ios::binary);
            file.write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
            if (!file.flush())
                return false;
            paths.push_back(path);
        }
        return paths.size() >= count;
    }
};

Photos& Shared()
{
    static Photos photos;
    return photos;
}

// This process's anonymous memory in huge pages, in kB.
uint64_t HugePagesKb()
{
    std::ifstream in("/proc/self/smaps_rollup");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("AnonHugePages:", 0) == 0)
            return std::strtoull(line.c_str() + 14, nullptr, 10);
    return 0;
}

// This process's page faults and processor time (all its threads, user and system, in ms).
struct Usage {
    uint64_t faults = 0;
    double userMs = 0, systemMs = 0;
};

Usage ProcessUsage()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return { uint64_t(usage.ru_minflt + usage.ru_majflt), ms(usage.ru_utime), ms(usage.ru_stime) };
}

template <bool kSideBySide> void OpenJpegs(benchmark::State& state)
{
    Photos& photos = Shared();
    const size_t count = size_t(state.range(0));
    if (!photos.Make(count))
        return state.SkipWithError("no photographs");
    gAskForHugePages = state.range(1) != 0;
    gAdvisedBytes = 0;
    bool allRead = true;
    uint64_t hugeKb = 0;
    Usage used;
    for (auto _ : state) {
        std::vector<std::unique_ptr<VTProcessPictureFileRead>> reads;
        for (size_t i = 0; i < count; ++i) {
            reads.push_back(std::make_unique<VTProcessPictureFileRead>());
            reads.back()->path = photos.paths[i];
        }
        const Usage before = ProcessUsage();
        const auto start = std::chrono::steady_clock::now();
        if (kSideBySide) {
            LParallelJobs jobs("Bildläsning");
            for (auto& read : reads)
                jobs.Add([&read](LParallelJobs::Job& job) { return Process(job, *read); });
            LProcessInterfaceVoid owner;
            allRead = jobs.Finish(owner) == LProcessResultSuccess && allRead;
        } else {
            for (auto& read : reads) {
                LProcessResult result = LProcessResultError;
                std::thread([&] {
                    LProcessInterfaceVoid job;
                    result = Process(job, *read);
                }).join();
                allRead = result == LProcessResultSuccess && allRead;
            }
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        const Usage after = ProcessUsage();
        used.faults += after.faults - before.faults;
        used.userMs += after.userMs - before.userMs;
        used.systemMs += after.systemMs - before.systemMs;
        hugeKb = std::max(hugeKb, HugePagesKb());
        // The pictures go outside the time, as after a close.
        reads.clear();
    }
    gAskForHugePages = false;
    state.counters["huge_MB"] = double(hugeKb) / 1024;
    state.counters["faults"] = double(used.faults);
    state.counters["user_ms"] = used.userMs;
    state.counters["system_ms"] = used.systemMs;
    state.counters["advised_MB"] = double(gAdvisedBytes) / (1 << 20);
    if (!allRead)
        state.SkipWithError("a picture was not read");
    else if (state.range(1) != 0 && gAdvisedBytes == 0)
        state.SkipWithError("the stores did not allocate through posix_memalign: nothing asked");
}

void BM_OpenJpegs_OneAfterAnother(benchmark::State& state)
{
    OpenJpegs<false>(state);
}

void BM_OpenJpegs_SideBySide(benchmark::State& state)
{
    OpenJpegs<true>(state);
}

double Min(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

double Max(const std::vector<double>& v)
{
    return *std::max_element(v.begin(), v.end());
}

} // namespace

#define VT_PAGES_BENCH(name)                                                                       \
    BENCHMARK(name)                                                                                \
        ->ArgNames({ "files", "huge" })                                                            \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(1)                                                                            \
        ->Repetitions(5)                                                                           \
        ->ComputeStatistics("min", Min)                                                            \
        ->ComputeStatistics("max", Max)

VT_PAGES_BENCH(BM_OpenJpegs_OneAfterAnother)->ArgsProduct({ { 1, kMostFiles }, { 0, 1 } });
VT_PAGES_BENCH(BM_OpenJpegs_SideBySide)->ArgsProduct({ { kMostFiles }, { 0, 1 } });
