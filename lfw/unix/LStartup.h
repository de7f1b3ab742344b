// The program's start-up block: one block of static initialisation that runs before main, on
// the main thread, in this order:
//   1. the hang detector's state (gLHangDetector) and the crash reports' thread lock
//      (loDebugThreads) are made; the dat-file system (gDatFileNativeSystem) stands already;
//   2. the command numbers of crash reports: current 1, last 0;
//   3. signals, each handler running with every signal blocked: SIGPIPE ignored (a write to a
//      closed pipe or socket fails with EPIPE instead of ending the process); SIGQUIT, SIGILL,
//      SIGFPE, SIGSEGV and SIGBUS to LDebugSignalHandler; SIGINT and SIGTERM to
//      LIntTermSignalHandler;
//   4. the folder "Logs" in the user data folder, made when missing;
//   5. the paper-size table (constant data, complete before any code runs);
//   6. the default measurement unit from the locale (millimetres when it is metric, else inches),
//      which an explicit "Settings/UnitsMeasurement" setting overrides;
//   7. the command counts (CmdCounts): 64 zeroed records.
// Nothing here reports a failure: a signal that cannot be set keeps its disposition, a folder
// that cannot be made stays absent. The process's locale is not touched (numbers stay "C").
// The globals are destroyed at exit in the reverse order.
//
// The block lives in this file's object, which a static library only links into a program that
// refers to it: the program's main calls LStartupDone().
#pragma once

// True once the block has run (always, in a program that calls it).
bool LStartupDone();
