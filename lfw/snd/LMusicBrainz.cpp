#include "lfw/snd/LMusicBrainz.h"

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LJSON.h"
#include "lfw/gen/LSha1.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"

#include <cstring>

namespace {

using LJSONValue = LJSONValueTemplate<char>;

constexpr const char* kContact = "support@vorantel.example";

const LJSONValue* _LMember(const LJSONValue* v, const char* name)
{
    if (!v || v->GetType() != LJSONTypeObject)
        return nullptr;
    return v->FindMember(name);
}

const LJSONValue* _LArray(const LJSONValue* v, const char* name)
{
    const LJSONValue* a = _LMember(v, name);
    return a && a->GetType() == LJSONTypeArray ? a : nullptr;
}

void _LText(char* out, const LJSONValue* object, const char* name)
{
    const LJSONValue* v = _LMember(object, name);
    utf8strlcpy(out, v && v->GetType() == LJSONTypeString ? v->GetString() : "", kLPathSize);
}

bool _LMediumHoldsDisc(const LJSONValue* medium, const char* discId)
{
    const LJSONValue* discs = _LArray(medium, "discs");
    for (size_t i = 0; discs && i < discs->GetElementCount(); ++i) {
        const LJSONValue* id = _LMember(discs->GetElement(i), "id");
        if (id && id->GetType() == LJSONTypeString && std::strcmp(id->GetString(), discId) == 0)
            return true;
    }
    return false;
}

} // namespace

void InitTracks(LCDDBInfo& info, const TOCTrackInfo* table)
{
    info.tracks.SetSize(info.trackCount);
    for (unsigned k = 1; k <= info.trackCount; ++k) {
        const TOCTrackInfo& e = table[k - 1];
        LCDDBInfo::LCDDBInfoTrack& t = info.tracks[k - 1];
        LStringFormat(t.title, sizeof t.title, "Spår %.2d", k);
        t.duration = e.length / 75;
        t.number = k;
        t.startSector = e.start;
        t.endSector = e.start + e.length - 1;
        t.audio = e.audio != 0;
        t.titleIsDefault = true;
    }
}

void LMusicBrainzDiscId(char* out, const TOCTrackInfo* table, unsigned trackCount)
{
    if (trackCount > kLTOCMaxTracks)
        trackCount = kLTOCMaxTracks;
    char text[2 + 2 + 8 + 99 * 8 + 1];
    size_t n
        = LStringFormat(text, sizeof text, "01%02X%08X", trackCount, table[trackCount].start + 150);
    for (unsigned t = 0; t < 99; ++t)
        n += LStringFormat(
            text + n, sizeof text - n, "%08X", t < trackCount ? table[t].start + 150 : 0u);
    LSha1 sha;
    sha.Update(text, n);
    uint32_t words[5];
    sha.GetDigest(words, sizeof words);
    uint8_t digest[21] = {};
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b)
            digest[i * 4 + b] = uint8_t(words[i] >> (24 - 8 * b));
    static const char kAlphabet[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
    size_t o = 0;
    for (size_t i = 0; i < 20; i += 3) {
        uint32_t v = (uint32_t(digest[i]) << 16) | (uint32_t(digest[i + 1]) << 8)
            | (i + 2 < 20 ? digest[i + 2] : 0);
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = i + 1 < 20 ? kAlphabet[(v >> 6) & 63] : '-';
        out[o++] = i + 2 < 20 ? kAlphabet[v & 63] : '-';
    }
    out[o] = 0;
}

void LMusicBrainzFormatRequest(char* out, const char* host, const char* discId)
{
    char path[kLHTTPPathSize];
    LStringFormat(
        path, sizeof path, "/ws/2/discid/%s?fmt=json&inc=recordings+artist-credits", discId);
    LStringFormat(out, kLHTTPRequestSize,
        "GET %s HTTP/1.0\r\nHost: %s\r\nUser-Agent:  %s/%s ( %s )\r\n\r\n", path, host, "Vorantel",
        "6.27", kContact);
}

LProcessResult LMusicBrainzReadReply(
    LProcessInterface& job, const char* json, const char* discId, LCDDBInfo& info)
{
    LProcessInterfaceVoid quiet;
    LJSONValueNamedTemplate<char> root;
    LJSONValueReaderTemplate<char> reader;
    if (reader.Read(quiet, root, json) != LProcessResultSuccess)
        return LProcessResultError;
    const LJSONValue* releases = _LArray(&root, "releases");
    if (!releases || releases->GetElementCount() == 0)
        return LProcessResultError;

    // The release and medium that hold this disc; the first when no medium lists its discs.
    const LJSONValue* release = releases->GetElement(0);
    const LJSONValue* medium = nullptr;
    bool anyDiscList = false;
    for (size_t r = 0; r < releases->GetElementCount() && !medium; ++r) {
        const LJSONValue* media = _LArray(releases->GetElement(r), "media");
        for (size_t m = 0; media && m < media->GetElementCount(); ++m) {
            anyDiscList = anyDiscList || _LArray(media->GetElement(m), "discs");
            if (_LMediumHoldsDisc(media->GetElement(m), discId)) {
                release = releases->GetElement(r);
                medium = media->GetElement(m);
                break;
            }
        }
    }
    _LText(info.releaseDate, release, "date");
    _LText(info.title, release, "title");
    const LJSONValue* credit = _LArray(release, "artist-credit");
    if (!credit || credit->GetElementCount() == 0)
        return LProcessResultError;
    _LText(info.artist, credit->GetElement(0), "name");
    if (!medium) {
        const LJSONValue* media = _LArray(release, "media");
        if (anyDiscList || !media || media->GetElementCount() == 0)
            return LProcessResultError;
        medium = media->GetElement(0);
    }
    const LJSONValue* tracks = _LArray(medium, "tracks");
    if (!tracks || tracks->GetElementCount() != info.trackCount
        || info.tracks.GetCount() != info.trackCount)
        return LProcessResultError;
    for (unsigned i = 0; i < info.trackCount; ++i) {
        if (job.IsToStop())
            return LProcessResultStopped;
        LCDDBInfo::LCDDBInfoTrack& t = info.tracks[i];
        t.number = i + 1;
        _LText(t.title, tracks->GetElement(i), "title");
        t.titleIsDefault = false;
    }
    info.notFound = false;
    return LProcessResultSuccess;
}

LProcessResult ProcessPerformMusicBrainzLookup(
    LProcessInterface& job, LCDDBInfo& info, const TOCTrackInfo* table)
{
    if (info.trackCount > 253 || info.trackCount > kLTOCMaxTracks)
        return LProcessResultError;
    char discId[kLDiscIdSize];
    LMusicBrainzDiscId(discId, table, info.trackCount);
    char host[kLPathSize];
    LOnlineGetHost(kLOnlineMusicBrainzHost, host);

    LSSLSocketTCP sock;
    LProcessResult r = ProcessHTTPSConnect(job, sock, host, 30000);
    if (r != LProcessResultSuccess)
        return r;
    char request[kLHTTPRequestSize];
    LMusicBrainzFormatRequest(request, host, discId);
    r = ProcessSend(job, sock, request, std::strlen(request), 30000);
    if (r != LProcessResultSuccess)
        return r;

    size_t used = 0;
    bool first = true;
    int status = 0;
    for (;;) {
        LStringLongTemplate<char> line;
        LStringLongTemplateWriter<char> w(line);
        size_t consumed = 0;
        r = ProcessRecvLineToWriter(job, sock, w, 30000, kLHTTPMaxHeaderBytes - used, &consumed);
        used += consumed;
        if (r != LProcessResultSuccess)
            return r;
        if (first && !LHTTPParseStatusLine(line.c_str(), &status))
            return LProcessResultError;
        first = false;
        if (line.GetLength() == 0)
            break;
        if (used >= kLHTTPMaxHeaderBytes)
            return LProcessResultError;
    }
    if (status < 200 || status > 299)
        return LProcessResultError;

    // The whole body, up to the close, bounded.
    LStringLongTemplate<char> body;
    char buffer[8192];
    for (;;) {
        size_t got = 0;
        r = ProcessRecvReady(job, sock, buffer, sizeof buffer, &got, 60000);
        if (r == LProcessResultStopped)
            return r;
        if (r != LProcessResultSuccess)
            break; // closed
        if (body.GetLength() + got > kLMusicBrainzMaxReply)
            return LProcessResultError;
        body.Append(buffer, got);
    }
    sock.CloseSocketAndContext();
    if (body.GetLength() == 0 || std::memchr(body.c_str(), 0, body.GetLength()))
        return LProcessResultError;
    return LMusicBrainzReadReply(job, body.c_str(), discId, info);
}

LProcessResult Process(LProcessInterface& job, LCDDBInfo& info)
{
    job.SetStatus("Läser in innehållsförteckning", 0);
    job.SetStatus("Vänligen vänta...", 1);
    TOCTrackInfo table[kLTOCMaxEntries];
    LProcessResult r = ProcessReadCDInfo(job, info, table);
    if (r != LProcessResultSuccess)
        return r;
    InitTracks(info, table);
    if (!info.lookup)
        return LProcessResultSuccess;
    return ProcessPerformMusicBrainzLookup(job, info, table);
}

LProcessResult Process(LProcessInterface& job, VTProcessAudioCDInfo& audio)
{
    job.SetStatus("Läsa CD-information", 0);
    audio.found = false;
    audio.text.Clear();
    LCDDBInfo info;
    info.drive = 0;
    info.lookup = true;
    int drives = LCDGetDriveAccess().GetDriveCount();
    if (drives <= 0) {
        job.SetError("Inga CD/ DVD-enheter har upptäckts.");
        return LProcessResultError;
    }
    if (drives > 255)
        drives = 255;
    double step = 1.0 / drives;
    bool looked = false;
    for (int d = 0; d < drives; ++d) {
        if (job.IsToStop())
            return LProcessResultStopped;
        info.drive = uint8_t(d);
        info.lookup = true;
        info.artist[0] = 0;
        info.releaseDate[0] = 0;
        info.trackCount = 0;
        info.notFound = true;
        LProcessInterfaceSubProcess sub(job, d * step, step);
        LProcessResult r = Process(sub, info);
        if (r == LProcessResultStopped)
            return r;
        if (r == LProcessResultError)
            continue;
        audio.found = true;
        if (!info.notFound) {
            looked = true;
            break;
        }
    }
    if (looked) {
        switch (audio.type) {
        case VTProcessAudioCDInfo::kTitle:
            audio.text.Append(info.title);
            break;
        case VTProcessAudioCDInfo::kArtist:
            audio.text.Append(info.artist);
            break;
        case VTProcessAudioCDInfo::kTrackList:
            for (size_t i = 0; i < info.tracks.GetCount(); ++i) {
                const LCDDBInfo::LCDDBInfoTrack& t = info.tracks[i];
                if (i)
                    audio.text.Append("\n");
                audio.text.tsprintfappend("%u. ", unsigned(i + 1));
                if (t.audio) {
                    audio.text.Append(t.title);
                    audio.text.tsprintfappend(" (%u:%.2u)", t.duration / 60, t.duration % 60);
                } else {
                    audio.text.Append("Dataspår");
                }
            }
            break;
        default:
            return LProcessResultError;
        }
    }
    if (!audio.found || audio.text.GetLength() > 0)
        return LProcessResultSuccess;
    job.SetError("Den här ljud-CD:n hittades inte i databasen.");
    return LProcessResultError;
}
