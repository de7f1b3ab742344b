// The audio-CD job: reads the table of contents of each optical drive, computes the disc's
// MusicBrainz disc id, asks the MusicBrainz web service (over verified TLS) for the disc and
// makes the disc title, the artist or a numbered track list of it.
#pragma once

#include "lfw/gen/LString.h"
#include "lfw/snd/LCDTOC.h"

inline constexpr size_t kLDiscIdSize = 29; // 28 characters and the NUL
inline constexpr size_t kLMusicBrainzMaxReply = 1u << 20;

// Why the lookup of a disc that was read gave no result.
enum class LMusicBrainzFailure {
    None,
    NotInDatabase, // the service does not know the disc
    NoConnection, // the server could not be reached
    ServerError, // it answered with an error status
    UnreadableReply, // its answer could not be read
    CertificateName, // its certificate is not issued for its name
    Certificate, // its certificate is not from a trusted authority, or out of date
    TimedOut, // it did not answer in time
};

struct LMusicBrainzLookupFailure {
    LMusicBrainzFailure kind = LMusicBrainzFailure::None;
    int httpStatus = 0; // with ServerError
    char host[kLPathSize] = ""; // the server asked
};

struct VTProcessAudioCDInfo {
    enum Type { kTitle = 0, kArtist = 1, kTrackList = 2 };
    int type = kTrackList;
    bool found = false; // out: a drive held a disc that was read and looked up
    LStringLongTemplate<char> text; // out
    // out, with found clear: a disc was read but its lookup failed for this reason (kind None
    // when no disc was read at all).
    LMusicBrainzLookupFailure lookupFailure;
};

// 0 with found and the text; 0 with found clear when no drive gave a result, lookupFailure
// telling why when a disc was read; 1 stopped; 2 with an error text (also for a disc the
// service does not know).
LProcessResult Process(LProcessInterface& job, VTProcessAudioCDInfo& info);
// One drive: table of contents, default tracks and, with the lookup flag, the lookup. failure,
// when given, gets why a lookup failed (kind None when the disc could not be read).
LProcessResult Process(
    LProcessInterface& job, LCDDBInfo& info, LMusicBrainzLookupFailure* failure = nullptr);

// The user's words for a failed lookup of a disc that was read (Swedish).
void LMusicBrainzFailureMessage(
    const LMusicBrainzLookupFailure& failure, LStringLongTemplate<char>& message);

// The waits of the lookup in milliseconds: the connect and handshake and each wait for the
// server's reply (30000), and the whole body (60000). Tests shorten them.
struct LMusicBrainzTimeOuts {
    unsigned waitMs = 30000;
    unsigned bodyMs = 60000;
};
void LMusicBrainzSetTimeOuts(const LMusicBrainzTimeOuts& timeOuts);

// One record per track: "Spår NN", its duration (75 sectors a second), sectors and flag.
void InitTracks(LCDDBInfo& info, const TOCTrackInfo* table);
// The MusicBrainz disc id (28 characters) of a table of trackCount tracks and the lead-out.
void LMusicBrainzDiscId(char* out, const TOCTrackInfo* table, unsigned trackCount);
// The request the lookup sends (2048 bytes).
void LMusicBrainzFormatRequest(char* out, const char* host, const char* discId);
// Reads a JSON reply into the record: the release and the medium whose disc list holds discId
// (the first medium when no medium lists discs), its title, date, artist and exactly
// info.trackCount track titles. 0, or 2 when the reply lacks any of them.
LProcessResult LMusicBrainzReadReply(
    LProcessInterface& job, const char* json, const char* discId, LCDDBInfo& info);
// The lookup of the disc over the network; failure, when given, gets why it failed.
LProcessResult ProcessPerformMusicBrainzLookup(LProcessInterface& job, LCDDBInfo& info,
    const TOCTrackInfo* table, LMusicBrainzLookupFailure* failure = nullptr);
