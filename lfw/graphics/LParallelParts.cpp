// Work split into parts run on threads of their own.
#include "lfw/graphics/LParallelParts.h"

#include "platform/system/System.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

int LParallelPartCount(size_t size, size_t minimumPerPart)
{
    // The processors the process may run on: under taskset as many as it was given.
    static const int processors = std::clamp(platform::system::ProcessorCount(), 1, 8);
    const size_t bySize = minimumPerPart ? size / minimumPerPart : size;
    return int(std::clamp<size_t>(bySize, 1, size_t(processors)));
}

void LRunInParts(
    size_t size, int parts, const std::function<void(int part, size_t begin, size_t end)>& work)
{
    parts = std::max(parts, 1);
    auto begin = [&](int part) { return size * size_t(part) / size_t(parts); };
    std::vector<std::thread> threads;
    int made = 1; // parts 1 to made - 1 run on threads
    try {
        threads.reserve(size_t(parts - 1));
        for (; made < parts; ++made)
            threads.emplace_back(work, made, begin(made), begin(made + 1));
    } catch (const std::exception&) {
        // No more threads (or no memory for one): the rest runs here.
    }
    work(0, begin(0), begin(1));
    for (int part = made; part < parts; ++part)
        work(part, begin(part), begin(part + 1));
    for (std::thread& thread : threads)
        thread.join();
}
