// One end-to-end test's runs of the built program (E2eProgram.h): their environment (rectangle
// file, runtime folder, no welcome dialog), restored when the test ends; files of the test's
// folder; sample projects saved by the program's own writer; keys that make an alert show.
#pragma once

#include "app/VTOverlayText.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LUserSettings.h"
#include "support/E2eProgram.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace e2e {

inline const std::string kCaption = "Vorantel av ZOR Software";

// Environment variables set for a while: each is put back as it was (or taken away) when the
// scope ends, the last set first.
class EnvironmentScope {
public:
    EnvironmentScope() = default;
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;
    ~EnvironmentScope()
    {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->second.first)
                setenv(it->first.c_str(), it->second.second.c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    void Set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, std::make_pair(old != nullptr, old ? old : ""));
        setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved;
};

// The environment of one test's runs of the program: its rectangle file, runtime folder and no
// welcome dialog; restored when the test ends.
class Session : public EnvironmentScope {
public:
    Session()
    {
        dir = work.Path();
        rects = dir + "/rectangles.txt";
        Set("VT_TEST_RECTANGLES_FILE", rects);
        Set("XDG_RUNTIME_DIR", runtime.Path());
        Set("GSETTINGS_BACKEND", "memory");
        Set("NO_AT_BRIDGE", "1");
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        LUserSettingSetString("AutoSave", "FileName", "");
    }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        TemporaryFolder::WriteFile(dir + "/" + name, bytes);
        return dir + "/" + name;
    }
    Program::Options Capture(const std::string& name) const
    {
        Program::Options o;
        o.errors = dir + "/" + name + ".err";
        o.output = dir + "/" + name + ".out";
        return o;
    }
    TemporaryFolder work, runtime;
    std::string dir, rects;
};

// The main window is the only visible window with a name: an alert just closed has gone. The
// toolkit keeps unnamed windows of its own mapped beside it (and the root window lists too), and
// a window manager one under its own name: those are passed over (an alert, a panel or a dialog
// has a name), or the wait would never end before its time is up.
inline bool MainWindowAlone()
{
    size_t named = 0;
    bool main = false;
    for (const std::string& name : WindowNames()) {
        if (name.empty() || name == "Openbox")
            continue;
        ++named;
        main = main || name.rfind(kCaption, 0) == 0;
    }
    return named == 1 && main;
}

// Starts the program on a project file and waits until its main window shows it: the window, 0
// when it did not come. With tickMs, its autosave timer ticks that often
// (VT_TEST_AUTOSAVE_TICK_MS) instead of every 20 seconds; starts after it tick as a user's do.
inline unsigned long StartOn(
    const std::string& project, std::unique_ptr<Program>& program, int tickMs = 0)
{
    {
        EnvironmentScope ticks;
        if (tickMs > 0)
            ticks.Set("VT_TEST_AUTOSAVE_TICK_MS", std::to_string(tickMs));
        program = std::make_unique<Program>(std::vector<std::string> { project });
    }
    const unsigned long xid = WaitMainWindow();
    const std::string name = project.substr(project.rfind('/') + 1);
    return xid && WaitCaption(xid, kCaption + " - " + name) ? xid : 0;
}

// Keys to the window that make an alert show: what it says. The keys go again when it does not
// show in time (the window may not have had the focus back yet from an alert just closed).
inline std::string KeysForAlert(
    const std::string& rects, unsigned long xid, const std::string& keys)
{
    std::string said;
    for (int attempt = 0; attempt < 2 && said.empty(); ++attempt) {
        ForgetAlert(rects);
        WaitFor(MainWindowAlone, 3000, 50);
        KeysTo(xid, keys);
        said = AlertText(rects, 8000);
    }
    return said;
}

// Ctrl+Q on unsaved work: true once the question shows.
inline bool AskToQuit(Session& s, unsigned long xid)
{
    return !KeysForAlert(s.rects, xid, "ctrl+q").empty();
}

// The project saved at the path by the program's own writer.
inline std::string SaveProject(VTProject& project, const std::string& path)
{
    VTProjectSave record;
    record.project = &project;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    EXPECT_EQ(Process(quiet, record), LProcessResultSuccess);
    return path;
}

// The sample project saved at the path by the program's own writer.
inline std::string SaveSample(const std::string& path, int pictureSize = 48)
{
    return SaveProject(*sample::MakeProject(pictureSize), path);
}

// A project of count photographs saved at the path (sample::PhotoProject).
inline std::string PhotoProject(const std::string& path, int width, int height, int count = 1)
{
    return SaveProject(*sample::PhotoProject(width, height, count), path);
}

// A folder under base whose path is as long as wanted, or one byte shorter (components of at
// most longest bytes), made with its parents.
inline std::string DeepFolder(const std::string& base, size_t length, size_t longest = 200)
{
    std::string folder = base;
    while (folder.size() + 1 < length) {
        const size_t part = std::min<size_t>(longest, length - folder.size() - 1);
        folder += "/" + std::string(part, 'd');
    }
    EXPECT_EQ(Shell("mkdir -p " + Quote(folder) + " && echo ok"), "ok");
    return folder;
}

// Every overlay of a saved project, every design's, in their order.
template <typename Fn> void ForEachSavedOverlay(const std::string& path, Fn fn)
{
    VTProject project;
    VTProjectLoad record;
    record.project = &project;
    std::snprintf(record.path, sizeof record.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    EXPECT_EQ(Process(quiet, record), LProcessResultSuccess) << path;
    for (VTProjectTemplate* design = project.templates.GetHead(); design;
         design = design->GetNext())
        for (VTOverlay* o = design->first; o; o = o->next)
            fn(o);
}

// The texts of the straight and circular text overlays of a saved project, every design's.
inline std::vector<std::string> SavedTexts(const std::string& path)
{
    std::vector<std::string> texts;
    ForEachSavedOverlay(path, [&](VTOverlay* o) {
        if (auto* text = dynamic_cast<VTOverlayText*>(o))
            texts.emplace_back(text->GetText());
    });
    return texts;
}

// How many pictures added from files a saved project holds, every design's.
inline size_t SavedPictures(const std::string& path)
{
    size_t n = 0;
    ForEachSavedOverlay(path, [&](VTOverlay* o) { n += o->GetType() == VTOverlayTypeImage; });
    return n;
}

inline size_t Count(const std::vector<std::string>& texts, const std::string& text)
{
    return size_t(std::count(texts.begin(), texts.end(), text));
}

// The file that stands at the path (0 when none does): a save puts a new one there, renamed
// over the old.
inline ino_t FileNumber(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Ctrl+S on the open project, which has a file: waits until the file has changed.
inline bool SaveInPlace(unsigned long xid, const std::string& path)
{
    const std::string before = TemporaryFolder::ReadFile(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        KeysTo(xid, "ctrl+s");
        if (WaitFor([&] { return TemporaryFolder::ReadFile(path) != before; }, 10000, 100))
            return true;
    }
    return false;
}

// The sample project with one more text that tells it apart, saved at the path.
inline std::string SaveMarked(const std::string& path, const char* mark)
{
    auto project = sample::MakeProject();
    sample::Text(*project->templates.GetAt(0), mark, 0, 0);
    return SaveProject(*project, path);
}

} // namespace e2e
