// A recorded audio disc for the tests of the CD lookup: the READ TOC reply of a four-track disc
// (the disc the recorded MusicBrainz replies in <data>/musicbrainz describe) and drives that
// answer with recorded replies in place of the system's.
#pragma once

#include "lfw/snd/LCDTOC.h"

#include <cstdint>
#include <vector>

// The READ TOC reply of a four-track disc (the track starts 0, 11413, 25024, 45713, lead-out
// 55220).
inline const std::vector<uint8_t> kFourTracks = {
    0x00, 0x2A, 0x01, 0x04, //
    0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, //
    0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x2C, 0x95, //
    0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x61, 0xC0, //
    0x00, 0x10, 0x04, 0x00, 0x00, 0x00, 0xB2, 0x91, //
    0x00, 0x10, 0xAA, 0x00, 0x00, 0x00, 0xD7, 0xB4, //
};

// Drives whose discs answer with the replies given, one a drive; an empty reply is a drive
// without a readable disc.
class RecordedDrives : public LCDDriveAccess {
public:
    std::vector<std::vector<uint8_t>> replies;
    int GetDriveCount() override { return int(replies.size()); }
    LProcessResult ProcessReadTOC(
        LProcessInterface&, int drive, std::vector<uint8_t>& reply) override
    {
        reply = replies.at(size_t(drive));
        return reply.empty() ? LProcessResultError : LProcessResultSuccess;
    }
};
