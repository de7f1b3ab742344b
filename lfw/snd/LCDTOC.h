// The table of contents of an audio CD and the records of its looked-up information.
//
// A table is an array of track count + 1 entries: the tracks in order and then the lead-out's
// start. Callers give room for kLTOCMaxEntries entries. Drives are numbered from 0 in the order
// of the system's drive list.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LVector.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr size_t kLTOCMaxEntries = 256;
inline constexpr unsigned kLTOCMaxTracks = 99;

struct TOCTrackInfo {
    uint32_t start = 0; // logical block address
    uint32_t length = 0; // sectors
    uint8_t audio = 0; // 1 audio, 0 data
};

struct LCDDBInfo {
    struct LCDDBInfoTrack {
        uint32_t duration = 0; // whole seconds
        char title[kLPathSize] = "";
        uint32_t number = 0; // counted from 1
        uint32_t startSector = 0;
        uint32_t endSector = 0;
        bool audio = false;
        bool titleIsDefault = true;
    };

    uint8_t drive = 255; // 255: none
    bool lookup = false;
    char title[kLPathSize] = "";
    char artist[kLPathSize] = "";
    char releaseDate[kLPathSize] = "";
    uint8_t trackCount = 0;
    bool notFound = true;
    LVector<LCDDBInfoTrack> tracks;
};

// Decodes a READ TOC reply (format 0, logical block addresses): 0 with the track count and the
// table, 2 when the reply is shorter than its header, states a length under 10 or past the
// reply, holds more than 99 tracks, or has a track starting after its successor.
LProcessResult LCDDecodeTOCReply(
    const uint8_t* reply, size_t size, uint8_t* trackCount, TOCTrackInfo* table);

// Where tables of contents come from: the system's drives by default; tests put recorded
// replies in their place.
class LCDDriveAccess {
public:
    virtual ~LCDDriveAccess() = default;
    // The number of optical drives (-1 when the list cannot be had).
    virtual int GetDriveCount() = 0;
    // The READ TOC reply of the disc in the drive: 0, 1 stopped, 2 no readable disc.
    virtual LProcessResult ProcessReadTOC(
        LProcessInterface& job, int drive, std::vector<uint8_t>& reply)
        = 0;
};
// The drive access in use; null restores the system's drives.
void LCDSetDriveAccess(LCDDriveAccess* access);
LCDDriveAccess& LCDGetDriveAccess();

// Fills the track count and the table for the drive the record names: 0, 1 stopped, 2 no
// readable audio disc. The disc is never ejected.
LProcessResult ProcessReadCDInfo(LProcessInterface& job, LCDDBInfo& info, TOCTrackInfo* table);
