// The command-usage counts: how often each command was used, kept in "VorantelCounts.txt" in the
// program's cache folder. The file is binary, in the machine's byte order: a u32 record count,
// then that many records {command id: u32; uses: u32}; a record with command id 0 ends the used
// part. At most 256 records are read.
#pragma once

#include "lfw/gen/LVector.h"

#include <cstdint>

struct LCmdCount {
    uint32_t command;
    uint32_t uses;
};
static_assert(sizeof(LCmdCount) == 8);
// The record's traditional name.
using CmdCount = LCmdCount;

inline constexpr uint32_t kLOptionsCountMaxRecords = 256;

// The records in memory: filled at start-up, saved at shutdown.
extern LVector<LCmdCount> CmdCounts;

// The file's path; false when there is no cache folder.
bool LOptionsCountGetPath(char* out);
// Reads the file into the start of CmdCounts (growing it to the file's count when it holds
// fewer; a count above 256 is cut to 256). A missing file, or a count of 0, leaves it unchanged;
// records past a short file's end stay as they were.
void LOptionsCountLoad();
// Replaces the file with CmdCounts (temporary file and rename, under a lock). False when it
// could not be written; the old file is then as it was.
bool LOptionsCountSave();
