// A folder for what a fuzz target must write to files, under the temporary folder ($TMPDIR,
// else /tmp): "vt-<name>-<pid>", made on first use and removed when the program ends normally.
// libFuzzer ends a run stopped by the user or by a finding without running exit handlers, so the
// folders of earlier runs whose process is gone are removed when the next run makes its own.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

inline std::string FuzzTemporaryFolder()
{
    const char* temporary = std::getenv("TMPDIR");
    return temporary && *temporary ? temporary : "/tmp";
}

// The folder's path; "" when it could not be made.
inline const std::string& FuzzScratchFolder(const char* name)
{
    static std::string folder;
    static bool made = [name] {
        namespace fs = std::filesystem;
        const std::string prefix = std::string("vt-") + name + "-";
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(FuzzTemporaryFolder(), ec)) {
            const std::string file = entry.path().filename().string();
            if (file.rfind(prefix, 0) != 0
                || file.find_first_not_of("0123456789", prefix.size()) != std::string::npos
                || file.size() == prefix.size())
                continue;
            const pid_t pid = pid_t(std::atol(file.c_str() + prefix.size()));
            if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
                std::error_code ignored;
                fs::remove_all(entry.path(), ignored);
            }
        }
        folder = FuzzTemporaryFolder() + "/" + prefix + std::to_string(::getpid());
        if (!fs::create_directory(folder, ec) && !fs::is_directory(folder, ec)) {
            folder.clear();
            return false;
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)made;
    return folder;
}
