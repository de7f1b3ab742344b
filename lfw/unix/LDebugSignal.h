// The process's signal handlers and the crash-report globals.
//
// LDebugSignalHandler traps the first crash signal of the process (SIGQUIT, SIGILL, SIGFPE,
// SIGSEGV, SIGBUS): it hands the signal to the crash reporter (the report hook, once one is
// installed; until then "Onormal signalkrasch" and "SIGNAL<n>" are written to standard error),
// then gives SIGFPE, SIGBUS and SIGSEGV their default action back and raises them again, so the
// process ends by its real signal, and returns for SIGQUIT and SIGILL. A fault raised by the processor itself cannot be returned from (the instruction would
// run again and fault forever), so such a SIGILL, and every later fault, gets the default action
// back before the handler returns: the process then ends as the system ends crashed programs.
//
// LIntTermSignalHandler asks the main run loop to stop on SIGINT and SIGTERM (the stop hook,
// installed by whoever runs the loop); without a hook the process ends with status 0.
//
// Both are installed by the start-up block (LStartup.h) with every signal blocked while they run.
#pragma once

#include "lfw/gen/LLockObject.h"

#include <csignal>
#include <cstdint>

// The command being handled and the one before it, for crash reports (set by the main window).
extern uint32_t gwDebugCurrentCommand;
extern uint32_t gwDebugLastCommand;
// Guards the table of named threads kept for crash reports.
extern LLockObject loDebugThreads;

void LDebugSignalHandler(int signal, siginfo_t* info, void* context);
void LIntTermSignalHandler(int signal, siginfo_t* info, void* context);

// The crash reporter, run once, from the signal handler, for the first crash signal. It runs in
// signal context: it may only do what is safe there.
using LDebugSignalReportHook = void (*)(int signal);
void LDebugSignalSetReportHook(LDebugSignalReportHook hook);

// Asks the main run loop to stop; runs in signal context, so it may only do what is safe there
// (write to a pipe the loop watches, set a flag). Answers false when no loop runs: the handler
// then ends the process.
using LIntTermSignalStopHook = bool (*)(int signal);
void LIntTermSignalSetStopHook(LIntTermSignalStopHook hook);

// True once a crash signal was trapped.
bool LDebugSignalWasTrapped();
