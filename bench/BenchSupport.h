// Helpers of the benchmark programs: a scratch folder for one run and timing an outside tool.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace benchsupport {

// A folder made from pattern (ending in XXXXXX) for the files of one run, removed at exit;
// settings and temporary files go there too.
struct Scratch {
    std::string path;
    explicit Scratch(std::string pattern)
    {
        if (!mkdtemp(pattern.data()))
            return; // no folder: nothing is removed at exit either
        path = pattern;
        setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
    }
    // The folder's path; a run without one stops here rather than write anywhere else.
    const std::string& Required() const
    {
        if (path.empty()) {
            std::fprintf(stderr, "cannot make a scratch folder\n");
            std::exit(1);
        }
        return path;
    }
    ~Scratch()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

// Runs a shell command once per iteration; the benchmark fails when the command does.
inline void RunCommand(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
}

} // namespace benchsupport
