// The hang detector's state: the path of its run-lock file and the file's descriptor. It stands
// empty (no path, descriptor -1) from start-up until the detector is set up, and closes the file
// at exit.
#pragma once

#include "lfw/gen/LFile.h"

class LHangDetector {
public:
    LHangDetector() = default;
    ~LHangDetector();
    LHangDetector(const LHangDetector&) = delete;
    LHangDetector& operator=(const LHangDetector&) = delete;

    const char* GetPath() const { return fPath; }
    int GetDescriptor() const { return fDescriptor; }

private:
    char fPath[kLPathSize] = "";
    int fDescriptor = -1;
};

extern LHangDetector gLHangDetector;
