#include "lfw/snd/LMusicBrainz.h"

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LJSON.h"
#include "lfw/gen/LSha1.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"

#include <chrono>
#include <cstring>

namespace {

using LJSONValue = LJSONValueTemplate<char>;

constexpr const char* kContact = "support@vorantel.example";

LMusicBrainzTimeOuts gTimeOuts;

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

// Whether a UTF-8 text holds a character of a right-to-left script (Hebrew, Arabic, Syriac,
// Thaana, N'Ko and their extensions and presentation forms, and the right-to-left scripts of
// the supplementary planes).
bool _LHasRightToLeft(const char* text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t c = *p;
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (n > 1) {
            c &= 0x3Fu >> (n - 1);
            for (size_t i = 1; i < n; ++i) {
                if ((p[i] & 0xC0) != 0x80) {
                    n = 1;
                    c = 0;
                    break;
                }
                c = (c << 6) | (p[i] & 0x3F);
            }
        }
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF)
            || (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF)
            || (c >= 0x1E800 && c <= 0x1EFFF))
            return true;
        p += n;
    }
    return false;
}

// Whether a reply that could not be used says the service knows no release of the disc.
bool _LReplyHasNoRelease(const char* json)
{
    LProcessInterfaceVoid quiet;
    LJSONValueNamedTemplate<char> root;
    LJSONValueReaderTemplate<char> reader;
    if (reader.Read(quiet, root, json) != LProcessResultSuccess)
        return false;
    const LJSONValue* releases = _LArray(&root, "releases");
    return releases && releases->GetElementCount() == 0;
}

} // namespace

void LMusicBrainzSetTimeOuts(const LMusicBrainzTimeOuts& timeOuts)
{
    gTimeOuts = timeOuts;
}

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

LProcessResult ProcessPerformMusicBrainzLookup(LProcessInterface& job, LCDDBInfo& info,
    const TOCTrackInfo* table, LMusicBrainzLookupFailure* failure)
{
    LMusicBrainzLookupFailure ignored;
    LMusicBrainzLookupFailure& why = failure ? *failure : ignored;
    why = LMusicBrainzLookupFailure();
    auto fail = [&why](LMusicBrainzFailure kind) {
        why.kind = kind;
        return LProcessResultError;
    };
    if (info.trackCount > 253 || info.trackCount > kLTOCMaxTracks)
        return LProcessResultError;
    char discId[kLDiscIdSize];
    LMusicBrainzDiscId(discId, table, info.trackCount);
    char host[kLPathSize];
    LOnlineGetHost(kLOnlineMusicBrainzHost, host);
    utf8strlcpy(why.host, host, sizeof why.host);
    job.SetStatus("Frågar MusicBrainz-databasen om skivan", 0);
    job.SetStatus("Vänligen vänta...", 1);
    const unsigned waitMs = gTimeOuts.waitMs;

    // The connection, step by step, so that a failure can be told apart: a name that does not
    // resolve or a connection refused, a connect or handshake that ran out of time, a
    // certificate refused.
    LIPAddressMultiHomedWithPort address;
    char name[kLIPHostSize];
    address.port = SplitPortFromAddr(host, name, 443);
    if (address.port != 0)
        address.addresses.Resolve(name);
    if (address.port == 0 || address.addresses.count == 0)
        return fail(LMusicBrainzFailure::NoConnection);
    LSSLSocketTCP sock;
    const auto started = std::chrono::steady_clock::now();
    LProcessResult r = ProcessConnect(job, sock, host, address, waitMs);
    if (r == LProcessResultStopped)
        return r;
    if (r != LProcessResultSuccess) {
        // A refused connection fails at once; one that is never answered takes the whole wait.
        const auto took = std::chrono::steady_clock::now() - started;
        return fail(took >= std::chrono::milliseconds(waitMs) ? LMusicBrainzFailure::TimedOut
                                                              : LMusicBrainzFailure::NoConnection);
    }
    r = sock.ConvertSocketToSSLTimeOut(job, waitMs);
    if (r != LProcessResultSuccess) {
        const LTLSFailure tls = sock.GetTLSFailure();
        sock.CloseSocketAndContext();
        if (r == LProcessResultStopped)
            return r;
        switch (tls) {
        case LTLSFailure::CertificateName:
            return fail(LMusicBrainzFailure::CertificateName);
        case LTLSFailure::Certificate:
            return fail(LMusicBrainzFailure::Certificate);
        case LTLSFailure::Protocol:
            return fail(LMusicBrainzFailure::UnreadableReply);
        case LTLSFailure::Cut:
            return fail(LMusicBrainzFailure::NoConnection);
        case LTLSFailure::None:
            break;
        }
        return fail(LMusicBrainzFailure::TimedOut);
    }
    char request[kLHTTPRequestSize];
    LMusicBrainzFormatRequest(request, host, discId);
    r = ProcessSend(job, sock, request, std::strlen(request), waitMs);
    if (r == LProcessResultStopped)
        return r;
    if (r != LProcessResultSuccess)
        return fail(LMusicBrainzFailure::NoConnection);

    // The reply; a server that takes the request and says nothing runs out of time on its first
    // line (one that closes at once fails sooner).
    const auto asked = std::chrono::steady_clock::now();
    size_t used = 0;
    bool first = true;
    int status = 0;
    for (;;) {
        LStringLongTemplate<char> line;
        LStringLongTemplateWriter<char> w(line);
        size_t consumed = 0;
        r = ProcessRecvLineToWriter(job, sock, w, waitMs, kLHTTPMaxHeaderBytes - used, &consumed);
        used += consumed;
        if (r == LProcessResultStopped)
            return r;
        if (r != LProcessResultSuccess && first && used == 0
            && std::chrono::steady_clock::now() - asked >= std::chrono::milliseconds(waitMs))
            return fail(LMusicBrainzFailure::TimedOut);
        if (r != LProcessResultSuccess)
            return fail(LMusicBrainzFailure::UnreadableReply);
        if (first && !LHTTPParseStatusLine(line.c_str(), &status))
            return fail(LMusicBrainzFailure::UnreadableReply);
        first = false;
        if (line.GetLength() == 0)
            break;
        if (used >= kLHTTPMaxHeaderBytes)
            return fail(LMusicBrainzFailure::UnreadableReply);
    }
    if (status == 404)
        return fail(LMusicBrainzFailure::NotInDatabase);
    if (status < 200 || status > 299) {
        why.httpStatus = status;
        return fail(LMusicBrainzFailure::ServerError);
    }

    // The whole body, up to the close, bounded.
    LStringLongTemplate<char> body;
    char buffer[8192];
    for (;;) {
        size_t got = 0;
        r = ProcessRecvReady(job, sock, buffer, sizeof buffer, &got, gTimeOuts.bodyMs);
        if (r == LProcessResultStopped)
            return r;
        if (r != LProcessResultSuccess)
            break; // closed
        if (body.GetLength() + got > kLMusicBrainzMaxReply)
            return fail(LMusicBrainzFailure::UnreadableReply);
        body.Append(buffer, got);
    }
    sock.CloseSocketAndContext();
    if (body.GetLength() == 0 || std::memchr(body.c_str(), 0, body.GetLength()))
        return fail(LMusicBrainzFailure::UnreadableReply);
    r = LMusicBrainzReadReply(job, body.c_str(), discId, info);
    if (r == LProcessResultError)
        return fail(_LReplyHasNoRelease(body.c_str()) ? LMusicBrainzFailure::NotInDatabase
                                                      : LMusicBrainzFailure::UnreadableReply);
    return r;
}

LProcessResult Process(LProcessInterface& job, LCDDBInfo& info, LMusicBrainzLookupFailure* failure)
{
    if (failure)
        *failure = LMusicBrainzLookupFailure();
    job.SetStatus("Läser in innehållsförteckning", 0);
    job.SetStatus("Vänligen vänta...", 1);
    TOCTrackInfo table[kLTOCMaxEntries];
    LProcessResult r = ProcessReadCDInfo(job, info, table);
    if (r != LProcessResultSuccess)
        return r;
    InitTracks(info, table);
    if (!info.lookup)
        return LProcessResultSuccess;
    return ProcessPerformMusicBrainzLookup(job, info, table, failure);
}

LProcessResult Process(LProcessInterface& job, VTProcessAudioCDInfo& audio)
{
    job.SetStatus("Läsa CD-information", 0);
    audio.found = false;
    audio.text.Clear();
    audio.lookupFailure = LMusicBrainzLookupFailure();
    bool unknown = false; // a disc was read that the service does not know
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
        LMusicBrainzLookupFailure failure;
        LProcessResult r = Process(sub, info, &failure);
        if (r == LProcessResultStopped)
            return r;
        if (r == LProcessResultError) {
            // The disc was read but not looked up: the first such reason is kept for the user.
            if (failure.kind == LMusicBrainzFailure::NotInDatabase)
                unknown = true;
            else if (failure.kind != LMusicBrainzFailure::None
                && audio.lookupFailure.kind == LMusicBrainzFailure::None)
                audio.lookupFailure = failure;
            continue;
        }
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
                const bool rtl = t.audio && _LHasRightToLeft(t.title);
                // A right-to-left title is isolated (FSI ... PDI) in a line marked left-to-right
                // (LRM), so that the number stays first and the duration last.
                if (rtl)
                    audio.text.Append("\u200E");
                audio.text.tsprintfappend("%u. ", unsigned(i + 1));
                if (rtl) {
                    audio.text.Append("\u2068");
                    audio.text.Append(t.title);
                    audio.text.Append("\u2069");
                    audio.text.tsprintfappend(" (%u:%.2u)", t.duration / 60, t.duration % 60);
                } else if (t.audio) {
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
    if (audio.text.GetLength() > 0)
        return LProcessResultSuccess;
    if (!audio.found && !unknown) {
        // No disc was read, or a disc was read but could not be looked up (lookupFailure).
        return LProcessResultSuccess;
    }
    audio.found = false;
    audio.lookupFailure = LMusicBrainzLookupFailure();
    job.SetError("Den här ljud-CD:n hittades inte i databasen.");
    return LProcessResultError;
}

void LMusicBrainzFailureMessage(
    const LMusicBrainzLookupFailure& failure, LStringLongTemplate<char>& message)
{
    message.Clear();
    message.Append("Ljud-CD:n lästes, men uppgifterna om den kunde inte hämtas från "
                   "MusicBrainz-databasen.\n\n");
    switch (failure.kind) {
    case LMusicBrainzFailure::NoConnection:
        message.tsprintfappend("Det gick inte att ansluta till servern %s. Kontrollera "
                               "internetanslutningen.",
            failure.host);
        break;
    case LMusicBrainzFailure::ServerError:
        message.tsprintfappend("Servern svarade med ett fel (HTTP %d).", failure.httpStatus);
        break;
    case LMusicBrainzFailure::UnreadableReply:
        message.Append("Svaret från servern kunde inte läsas.");
        break;
    case LMusicBrainzFailure::CertificateName:
        message.tsprintfappend(
            "Serverns certifikat gäller inte för namnet %s. Anslutningen är inte säker.",
            failure.host);
        break;
    case LMusicBrainzFailure::Certificate:
        message.Append("Serverns certifikat är inte giltigt. Anslutningen är inte säker.");
        break;
    case LMusicBrainzFailure::TimedOut:
        message.Append("Servern svarade inte i tid.");
        break;
    case LMusicBrainzFailure::NotInDatabase:
        message.Append("Skivan finns inte i databasen.");
        break;
    case LMusicBrainzFailure::None:
        break;
    }
}
