// Crash reports, bug reports and the questions after an abnormal end.
//
// A crash signal writes a crash record into the "Logs" folder of the user data folder from the
// signal handler itself, with async-signal-safe calls only (no alert, no browser, no
// allocation); the process then ends as the signal handler decides. At the next start
// LDebugCrashReportOfferAtStart finds the newest record not offered before and asks, through the
// alert hook, whether to report it ("Onormal signalkrasch"); "Rapport" uploads the record to the
// crash-report server and opens the bug page.
//
// A record is text, one "Key: value" per line: Process, Path, Identifier, Version, Date/Time
// (UTC, "YYYY-MM-DD HH:MM:SS"), Signal, Thread, Command.
#pragma once

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LStringList.h"

#include <cstdint>

inline constexpr size_t kLDebugDataSize = 2085;

// Installs the crash-record hook of the signal handler and the hang detector's question. Call
// once at start-up, on the main thread, after the user data folder is known.
void LDebugCrashReportInstall();
// The folder crash records go to (260 bytes).
bool LDebugGetCrashLogFolder(char* out);
// Writes a crash record for signal now (the hook's body; safe in a signal handler once
// LDebugCrashReportInstall has run). False when it could not be written.
bool LDebugWriteCrashRecord(int signal);

// Offers the newest crash record that was not offered before; true when it asked.
bool LDebugCrashReportOfferAtStart();
// "Rapport": uploads the record and opens the bug page with the failure location of signal.
void LDebugCrashReportSend(const char* recordPath, int signal);
// The questions after an abnormal end found by the hang detector.
void LDebugHangDetectorAskAfterAbnormalEnd();
// Opens the bug page after an abnormal end and uploads the newest crash record.
void LDebugHangDetectorBugReport(bool withCrashReport);

// The newest crash record of this program and version (260 bytes); false when none.
bool LMacGetLatestCrashReport(char* path);
// The crash-report name sent with an upload: "Mac_Vorantel_<date>-<time>-<nnnn>.crash" (UTC).
void LDebugMakeCrashReportName(char* out);

// Registers the calling thread's name for failure locations ("" names it by its id).
void LDebugThreadDataStartThread(const char* name);
void LDebugThreadSetName(const char* name);
// The failure location "code-platform-module-thread[phase]" (260 bytes).
void LDebugGenerateXIString(char* out, const char* code, const char* module);

// Percent-encoded machine data (at most 2084 characters), and their raw twins.
void LDebugGetMachineDataForBugReport(char* out);
void LDebugGetMachineDataForCrashReport(
    char* out, const char* dumpName, int freeHeapMB, int largestFreeMB);
void LDebugGetMachineDataForBugReport(LFixedLengthStringWriterTemplate<char>& writer);
void LDebugGetMachineDataForCrashReport(LFixedLengthStringWriterTemplate<char>& writer,
    const char* dumpName, int freeHeapMB, int largestFreeMB);
void LMachineGetGPUDescriptions(LStringListTemplate<char>& list);
// The "rdf" value of the bug page (259 characters), "" when none.
void LRDFaultGetLatest(char* out);

uint64_t LMemoryGetLargestFreeRegionSize();
uint64_t LMemoryGetAvailableVirtualMemorySize();
