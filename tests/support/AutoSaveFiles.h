// Autosaves for the tests: one written as the program writes it (naming the project it was made
// of), files dated back, and what is left in the data folder.
#pragma once

#include "app/VTAutoSaveFiles.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "support/TemporaryFolder.h"

#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace autosaves {

// Dates the file back by seconds.
inline void MakeOlder(const std::string& path, int seconds)
{
    const timespec times[2] = { { time(nullptr) - seconds, 0 }, { time(nullptr) - seconds, 0 } };
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// The project autosaved at path by the program's own writer, as an autosave of the project at
// origin ("" for one of an older version, which names no project).
inline std::string Write(VTProject& project, const std::string& path, const std::string& origin)
{
    LProcessInterfaceVoid quiet;
    VTProjectSnapshot snapshot;
    EXPECT_EQ(
        VTProjectMakeSnapshot(quiet, project, snapshot, origin.c_str()), LProcessResultSuccess);
    VTProjectWriteSnapshot write { path, snapshot };
    EXPECT_EQ(Process(quiet, write), LProcessResultSuccess);
    return path;
}

// The names in the data folder that look like autosaves.
inline std::vector<std::string> Left()
{
    std::vector<std::string> left;
    for (const std::string& name : TemporaryFolder::List(VTAutoSaveFolder()))
        if (name.find("autosave") != std::string::npos)
            left.push_back(name);
    return left;
}

} // namespace autosaves
