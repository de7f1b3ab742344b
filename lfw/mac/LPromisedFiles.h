// Receiving files that a drag's source only promises: the source writes them into a private
// folder we name, from its own process; the receiving job waits until all have arrived and are
// complete (no writer holds them, their sizes stopped growing) and then moves them to a
// destination folder when one was chosen.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStringList.h"
#include "platform/ui/LView.h"

#include <cstdint>

struct LMacPasteBoardGetPromisedFilePathsData {
    struct Node {
        Node* next;
        char path[kLLongPathSize];
        uint64_t size;
    };

    // paths receives the final paths of the files when the job succeeds. folder is where they
    // arrive; destination (null or "": none) where they go. Paths are held whole (a folder too
    // long for any path the system opens is taken as none, never cut).
    LMacPasteBoardGetPromisedFilePathsData(LStringListTemplate<char>& paths, const char* folder,
        unsigned long expectedCount, const char* destination);
    ~LMacPasteBoardGetPromisedFilePathsData();
    LMacPasteBoardGetPromisedFilePathsData(const LMacPasteBoardGetPromisedFilePathsData&) = delete;
    LMacPasteBoardGetPromisedFilePathsData& operator=(const LMacPasteBoardGetPromisedFilePathsData&)
        = delete;

    void ClearFiles();
    size_t FileCount() const;

    LStringListTemplate<char>& paths;
    Node* files = nullptr; // newest first
    char folder[kLLongPathSize] = {};
    char destination[kLLongPathSize] = {};
    unsigned long expectedCount = 1;
    unsigned int pollMs = 1000; // between two looks at the folder
};

// Waits for the files (0), or is stopped (1: the folder is deleted with its files), or the folder
// went away (2).
LProcessResult Process(LProcessInterface& job, LMacPasteBoardGetPromisedFilePathsData& data);

// The files a drag's source promises (X direct save). Without receive: whether the drag promises
// a file (its proposed name goes into paths). With receive, at the drop: a private folder is made,
// the source is asked to write there, the user chooses to keep the files there or move them, and
// a progress window waits until they are complete; paths then holds them. The answer is kept for
// the drag: asking again while the files are still there shows nothing and gives the same paths.
// 0 success, 1 canceled (the folder is deleted), 2 failed (no promise, a refused name, or the
// source did not save).
int LMacPasteBoardGetPromisedFilePaths(
    const LUiDragInfo& info, LView* view, bool receive, LStringListTemplate<char>& paths);
