// The hang detector: a run-lock file that tells the next start that the previous run did not
// end normally.
//
// InitAndTest at start-up creates the file "_vorantel_rl_<login>" in the user's runtime folder
// (see LNamedPipe.h: never a shared, predictable name in /tmp), holds an exclusive lock on it for
// the run and writes 16 bytes: the start time in seconds and the 32-bit millisecond clock. A clean
// exit (LDebugHangDetectorDestroy, or the detector's destruction at exit) deletes it. When the file
// is found at start and no running instance holds its lock, the record is read and the file
// deleted; when the millisecond clock agrees with the seconds within 2000 ms (so the machine was
// not restarted and the 32-bit clock did not wrap in between), the abnormal-end hook runs.
#pragma once

#include "lfw/gen/LFile.h"

#include <cstdint>

class LHangDetector {
public:
    LHangDetector() = default;
    ~LHangDetector();
    LHangDetector(const LHangDetector&) = delete;
    LHangDetector& operator=(const LHangDetector&) = delete;

    // The start test; true when the previous run ended abnormally (the hook has then run).
    bool InitAndTest();
    // Closes and deletes the run-lock file.
    void Destroy();

    const char* GetPath() const { return fPath; }
    int GetDescriptor() const { return fDescriptor; }

private:
    char fPath[kLPathSize] = "";
    int fDescriptor = -1;
};

extern LHangDetector gLHangDetector;

// The clean-exit marker.
void LDebugHangDetectorDestroy();

// The path of the run-lock file (260 bytes); false when there is no runtime folder.
bool LHangDetectorGetPath(char* out);

// The clock: seconds since 1970 and the millisecond clock (seconds x 1000 + microseconds / 1000,
// cut to 32 bits). Tests install their own; null restores gettimeofday.
using LHangDetectorClock = void (*)(int64_t* seconds, uint32_t* milliseconds);
void LHangDetectorSetClock(LHangDetectorClock clock);

// Asks the user about an abnormal end of the previous run (installed by the crash reporter).
using LHangDetectorAbnormalEndHook = void (*)();
void LHangDetectorSetAbnormalEndHook(LHangDetectorAbnormalEndHook hook);
