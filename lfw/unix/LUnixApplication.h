// Other programs as processes: whether one runs, which process a program is, where a program
// lives, and starting an installed program (its desktop entry) with arguments, optionally
// waiting until it ends.
//
// An "application path" here is the path of a program's desktop entry ("....desktop"), whose
// Exec gives the command, or the path of an executable file.
#pragma once

#include "lfw/gen/LProcess.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// A running process; the pid in the low word (0 when none).
struct ProcessSerialNumber {
    uint32_t highLongOfPSN = 0;
    uint32_t lowLongOfPSN = 0;
};

// Whether a process of this user runs whose command name is name (the kernel keeps 15 bytes of
// a name, so that many are compared).
bool LIsApplicationRunning(const char* commandName);
// The process running the program of an application path. A stop request, or no such process,
// gives a zero number and false.
bool LGetProcessSerialNumber(
    LProcessInterface& job, ProcessSerialNumber& psn, const char* applicationPath);

// The program an application path runs (its entry's Exec program found on PATH, or the
// executable itself); "" when there is none. out holds 260 bytes.
void LExpandDotAppToPointToExecutable(char* out, const char* applicationPath);
// A name beginning with "/" is copied; otherwise the program of that name on PATH ("" when
// there is none). out holds 260 bytes; longer paths give "".
void LUnixExecutableGetAbsolutePath(char* out, const char* name);

// The command an application path starts: its entry's Exec without field codes, or the
// executable; false when it has none.
bool LApplicationCommand(const char* applicationPath, std::vector<std::string>& argvOut);

// Starts the program of an application path with an argument line split by
// LCommandLineArgumentStringExpander. Status "Lansering %s" (the path's file name). 0 once the
// program was executed; 2 with an error when it could not be. newInstance is accepted and not
// needed: every start is a new process.
LProcessResult LLaunchApplicationWithCocoa(
    LProcessInterface& job, const char* applicationPath, const char* arguments, bool newInstance);
// The same with the arguments as a vector (each one argument, whatever it holds). With wait set
// the job then waits for the program to end, in 200 ms slices with stop tests, at most timeoutMs
// (0 with its exit code, 1 stopped, 2 time-out; the program keeps running after a stop or a
// time-out and is reaped when it ends). pidOut gets the process id when given.
LProcessResult LLaunchApplicationWithArguments(LProcessInterface& job, const char* applicationPath,
    const std::vector<std::string>& arguments, bool wait, unsigned int timeoutMs = 7200000u,
    pid_t* pidOut = nullptr, int* exitCodeOut = nullptr);
