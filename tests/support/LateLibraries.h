// The libraries the program opens on first use, seen from a test: whether one is in the process,
// a check run in a process started afresh from the test program (so that nothing the test has
// loaded is in it), and stand-ins that cannot be loaded, for a fresh process in which opening the
// libraries fails. Header only; the test programs that use it know the sonames (VT_..._SONAME).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <link.h>
#include <optional>
#include <string>
#include <vector>

namespace latelibraries {

// Whether a shared object whose file name begins with prefix ("libtiff.so") is loaded.
inline bool Loaded(const std::string& prefix)
{
    struct Search {
        const std::string* prefix;
        bool found;
    } search { &prefix, false };
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            std::string path = info->dlpi_name ? info->dlpi_name : "";
            std::string name = path.substr(path.rfind('/') + 1);
            if (name.compare(0, s->prefix->size(), *s->prefix) != 0)
                return 0;
            s->found = true;
            return 1;
        },
        &search);
    return search.found;
}

// Counts failed checks of a fresh process and says what failed on its standard error; the
// process ends with the count as its exit status.
struct Checks {
    int failures = 0;
    void Expect(bool ok, const char* what)
    {
        if (ok)
            return;
        ++failures;
        std::fprintf(stderr, "failed: %s\n", what);
    }
    [[noreturn]] void End()
    {
        std::fflush(stderr);
        std::_Exit(failures > 0 ? 1 : 0);
    }
};

// Sets LD_LIBRARY_PATH while it lives; the old value comes back afterwards.
class LibraryPath {
public:
    explicit LibraryPath(const std::string& folder)
    {
        if (const char* old = std::getenv("LD_LIBRARY_PATH"))
            fOld = old;
        ::setenv("LD_LIBRARY_PATH", folder.c_str(), 1);
    }
    ~LibraryPath()
    {
        if (fOld)
            ::setenv("LD_LIBRARY_PATH", fOld->c_str(), 1);
        else
            ::unsetenv("LD_LIBRARY_PATH");
    }
    LibraryPath(const LibraryPath&) = delete;
    LibraryPath& operator=(const LibraryPath&) = delete;

private:
    std::optional<std::string> fOld;
};

// A folder of empty files named by the sonames: with it first in LD_LIBRARY_PATH the dynamic
// loader finds them before the real libraries and refuses them ("file too short"). The folder is
// always the same one in the build tree, so a test and its fresh process agree on it.
inline std::string UnloadableLibraries(const std::vector<std::string>& sonames)
{
    const std::string folder = std::string(VT_BINARY_DIR) + "/Testing/unloadable-libraries";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    for (const std::string& soname : sonames)
        std::ofstream(folder + "/" + soname, std::ios::binary | std::ios::trunc);
    return folder;
}

} // namespace latelibraries

// Runs the statement (which ends with Checks::End) in a process started afresh from the test
// program: gtest's "threadsafe" death tests execute the program again rather than fork it, so the
// process has none of the libraries this one has loaded and reads LD_LIBRARY_PATH anew.
#define VT_EXPECT_IN_FRESH_PROCESS(statement)                                                      \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(statement, ::testing::ExitedWithCode(0), "");                                  \
    } while (false)
