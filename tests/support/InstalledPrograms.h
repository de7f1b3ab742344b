// Test programs installed the way the desktop installs them: a script in a folder of its own and
// a desktop entry "<key>.desktop" in $XDG_DATA_HOME/applications whose Exec runs it. Each run of
// the script appends its pid and then each argument, one a line, to "<key>.log" in that folder.
// Also a stub xdg-open first on PATH that records what it is asked to open.
#pragma once

#include "support/TemporaryFolder.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

class InstalledPrograms {
public:
    InstalledPrograms()
    {
        const char* data = std::getenv("XDG_DATA_HOME");
        fApplications = std::string(data ? data : fFolder.Path().c_str()) + "/applications";
        std::filesystem::create_directories(fApplications);
        fOpened = fFolder / "opened.log";
        TemporaryFolder::WriteFile(fFolder / "xdg-open",
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + fOpened + "'; done\n");
        chmod((fFolder / "xdg-open").c_str(), 0755);
        fOldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (fFolder.Path() + ":" + fOldPath).c_str(), 1);
    }
    ~InstalledPrograms() { setenv("PATH", fOldPath.c_str(), 1); }
    InstalledPrograms(const InstalledPrograms&) = delete;
    InstalledPrograms& operator=(const InstalledPrograms&) = delete;

    // Installs key: its script (body runs after the logging) and its entry. Returns the entry.
    std::string Install(
        const std::string& key, const std::string& body = "", const std::string& execTail = " %F")
    {
        const std::string script = fFolder / (key + ".sh");
        TemporaryFolder::WriteFile(script,
            "#!/bin/sh\necho \"$$\" >> '" + Log(key)
                + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + Log(key) + "'; done\n"
                + body + "\n");
        chmod(script.c_str(), 0755);
        return WriteEntry(key, "Exec=\"" + script + "\"" + execTail + "\n");
    }
    // A desktop entry with the given lines after the common ones.
    std::string WriteEntry(const std::string& key, const std::string& lines)
    {
        const std::string entry = fApplications + "/" + key + ".desktop";
        TemporaryFolder::WriteFile(
            entry, "[Desktop Entry]\nType=Application\nName=" + key + "\n" + lines);
        return entry;
    }
    void Remove(const std::string& key)
    {
        std::remove((fApplications + "/" + key + ".desktop").c_str());
    }

    std::string Log(const std::string& key) const { return fFolder / (key + ".log"); }
    // The lines of a log once at least count are there (waits up to ms).
    static std::vector<std::string> Lines(const std::string& path, size_t count, int ms = 3000)
    {
        std::vector<std::string> lines;
        for (int waited = 0;; waited += 10) {
            lines.clear();
            const std::string text = TemporaryFolder::ReadFile(path);
            size_t start = 0;
            for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
                lines.push_back(text.substr(start, nl - start));
            if (lines.size() >= count || waited >= ms)
                return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::vector<std::string> Opened(size_t count, int ms = 3000) const
    {
        return Lines(fOpened, count, ms);
    }
    const std::string& Applications() const { return fApplications; }
    const TemporaryFolder& Folder() const { return fFolder; }

private:
    TemporaryFolder fFolder;
    std::string fApplications;
    std::string fOpened;
    std::string fOldPath;
};
