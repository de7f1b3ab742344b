// Helpers of the benchmarks that save projects: a quiet job that keeps its error, and a save.
#pragma once

#include "app/VTProjectFile.h"

#include <cstdio>
#include <string>

namespace benchsupport {

struct Quiet : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

// Saves the project to the path as the program does; false with the error's text.
inline bool SaveTo(VTProject& project, const std::string& path, std::string& error)
{
    Quiet job;
    VTProjectSave save;
    save.project = &project;
    std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
    const bool ok = Process(job, save) == LProcessResultSuccess;
    error = job.error;
    return ok;
}

} // namespace benchsupport
