// Helpers of the benchmark programs: a scratch folder for one run and timing an outside tool.
#pragma once

#include <benchmark/benchmark.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace benchsupport {

// The temporary folder of the run: $TMPDIR, else /tmp.
inline std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// A folder made from pattern (ending in XXXXXX) for the files of one run, removed at exit;
// settings and temporary files go there too. A bare name, or a name right in /tmp, is made in the
// temporary folder; a pattern in any other folder where it says.
struct Scratch {
    std::string path;
    explicit Scratch(const std::string& pattern)
    {
        std::string made = pattern;
        if (pattern.find('/') == std::string::npos)
            made = TemporaryFolder() + "/" + pattern;
        else if (pattern.rfind("/tmp/", 0) == 0 && pattern.find('/', 5) == std::string::npos)
            made = TemporaryFolder() + pattern.substr(4);
        if (!mkdtemp(made.data()))
            return; // no folder: nothing is removed at exit either
        path = made;
        setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
        setenv("TMPDIR", path.c_str(), 1);
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

// An 8-bit binary PPM (P6) file's pixels (a header without comments, as the tools write it), R, G,
// B, row by row; empty when the file is not one.
struct Pixmap {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    explicit Pixmap(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> data(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // "P6", width, height, maxval, each after white space, then one white-space byte.
        size_t at = 0;
        long fields[4] = {};
        for (int i = 0; i < 4; ++i) {
            while (at < data.size() && std::isspace(data[at]))
                ++at;
            size_t start = at;
            while (at < data.size() && !std::isspace(data[at]))
                ++at;
            const std::string field(data.begin() + long(start), data.begin() + long(at));
            if (i == 0 ? field != "P6" : field.empty())
                return;
            fields[i] = i == 0 ? 0 : std::atol(field.c_str());
        }
        ++at;
        const size_t size = size_t(fields[1]) * size_t(fields[2]) * 3;
        if (fields[1] <= 0 || fields[2] <= 0 || fields[3] != 255 || at > data.size()
            || data.size() - at < size)
            return;
        width = int(fields[1]);
        height = int(fields[2]);
        rgb.assign(data.begin() + long(at), data.begin() + long(at + size));
    }
    bool Valid() const { return width > 0; }
};

// The PSNR in dB of one picture against another of the same size (99 when they are equal, 0
// when the sizes differ).
inline double PSNR(const Pixmap& a, const Pixmap& b)
{
    if (!a.Valid() || a.width != b.width || a.height != b.height)
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = double(a.rgb[i]) - double(b.rgb[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.rgb.size());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

} // namespace benchsupport
