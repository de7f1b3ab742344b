#include "lfw/gen/LUserSettings.h"
#include "lfw/net/LHTTP.h"
#include "lfw/snd/LMusicBrainz.h"
#include "platform/disc/Disc.h"
#include "support/LoopbackServer.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

// The READ TOC reply of a four-track disc (the track starts 0, 11413, 25024, 45713, lead-out
// 55220).
const std::vector<uint8_t> kFourTracks = {
    0x00, 0x2A, 0x01, 0x04, //
    0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, //
    0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x2C, 0x95, //
    0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x61, 0xC0, //
    0x00, 0x10, 0x04, 0x00, 0x00, 0x00, 0xB2, 0x91, //
    0x00, 0x10, 0xAA, 0x00, 0x00, 0x00, 0xD7, 0xB4, //
};

std::vector<uint8_t> MakeReply(const std::vector<uint32_t>& starts, uint8_t control = 0x10)
{
    size_t n = starts.size(); // tracks and the lead-out
    std::vector<uint8_t> r = { 0, 0, 1, uint8_t(n - 1) };
    for (size_t i = 0; i < n; ++i) {
        uint32_t s = starts[i];
        r.insert(r.end(),
            { 0, control, uint8_t(i + 1 == n ? 0xAA : i + 1), 0, uint8_t(s >> 24), uint8_t(s >> 16),
                uint8_t(s >> 8), uint8_t(s) });
    }
    size_t len = r.size() - 2;
    r[0] = uint8_t(len >> 8);
    r[1] = uint8_t(len);
    return r;
}

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

class ErrorJob : public LProcessInterfaceVoid {
public:
    std::string error;
    void SetError(const char* text) override { error = text; }
};

std::string ReadData(const char* name)
{
    return TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/musicbrainz/" + name);
}

std::string Reply(const std::string& json)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
        + std::to_string(json.size()) + "\r\n\r\n" + json;
}

} // namespace

TEST(AudioCdToc, DecodesTheRecordedReply)
{
    TOCTrackInfo table[kLTOCMaxEntries];
    uint8_t count = 0;
    ASSERT_EQ(LCDDecodeTOCReply(kFourTracks.data(), kFourTracks.size(), &count, table), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(table[1].start, 11413u);
    EXPECT_EQ(table[4].start, 55220u);
    EXPECT_EQ(table[3].length, 55220u - 45713u);
    EXPECT_EQ(table[0].audio, 1);
}

TEST(AudioCdToc, ControlBytesAndHostileReplies)
{
    TOCTrackInfo table[kLTOCMaxEntries];
    uint8_t count = 0;
    for (uint8_t control : { 0x14, 0x34 }) {
        auto r = MakeReply({ 0, 100, 200 }, control);
        ASSERT_EQ(LCDDecodeTOCReply(r.data(), r.size(), &count, table), 0);
        EXPECT_EQ(table[0].audio, 0) << int(control);
    }
    auto twelve = MakeReply({ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 });
    ASSERT_EQ(twelve[1], 106);
    ASSERT_EQ(LCDDecodeTOCReply(twelve.data(), twelve.size(), &count, table), 0);
    EXPECT_EQ(count, 12);

    std::vector<uint8_t> tiny = { 0x00, 0x08, 1, 1, 0, 0, 0, 0, 0, 0 };
    EXPECT_EQ(LCDDecodeTOCReply(tiny.data(), tiny.size(), &count, table), 2);
    auto lying = kFourTracks;
    lying[1] = 0x32; // one descriptor more than the reply holds
    EXPECT_EQ(LCDDecodeTOCReply(lying.data(), lying.size(), &count, table), 2);
    EXPECT_EQ(LCDDecodeTOCReply(kFourTracks.data(), kFourTracks.size() - 1, &count, table), 2);
    EXPECT_EQ(LCDDecodeTOCReply(kFourTracks.data(), 3, &count, table), 2);
    std::vector<uint32_t> many(101);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = uint32_t(i * 10);
    auto tooMany = MakeReply(many);
    EXPECT_EQ(LCDDecodeTOCReply(tooMany.data(), tooMany.size(), &count, table), 2);
    auto backwards = MakeReply({ 0, 500, 100 });
    EXPECT_EQ(LCDDecodeTOCReply(backwards.data(), backwards.size(), &count, table), 2);
}

TEST(AudioCdToc, DriveListFromTheKernel)
{
    TemporaryFolder dir;
    std::string block = dir.Path();
    for (const char* d : { "sr0", "sr1" }) {
        std::string dev = block + "/" + d + "/device";
        ASSERT_EQ(system(("mkdir -p " + dev).c_str()), 0);
        TemporaryFolder::WriteFile(dev + "/vendor", "HL-DT-ST\n");
        TemporaryFolder::WriteFile(dev + "/model", std::string("DVDRAM GH24NSD") + d[2] + "  \n");
    }
    auto drives = platform::disc::ListDrivesFrom(
        "CD-ROM information, Id: cdrom.c 3.20\n\ndrive name:\t\tsr1\tsr0\ndrive speed:\t\t24\t24\n",
        block);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].device, "/dev/sr0");
    EXPECT_EQ(drives[0].name, "HL-DT-ST DVDRAM GH24NSD0");
    EXPECT_EQ(platform::disc::ListDrivesFrom("", block).size(), 2u);
}

TEST(AudioCdToc, RealDriveWhenPresent)
{
    if (access("/dev/sr0", F_OK) != 0)
        GTEST_SKIP() << "no optical drive";
    std::vector<uint8_t> reply;
    auto s = platform::disc::ReadTocReply("/dev/sr0", reply, 20000);
    if (s == platform::disc::TocStatus::Ok) {
        TOCTrackInfo table[kLTOCMaxEntries];
        uint8_t count = 0;
        EXPECT_EQ(LCDDecodeTOCReply(reply.data(), reply.size(), &count, table), 0);
    }
}

TEST(AudioCdDiscId, PublishedExamples)
{
    TOCTrackInfo table[kLTOCMaxEntries];
    uint8_t count = 0;
    ASSERT_EQ(LCDDecodeTOCReply(kFourTracks.data(), kFourTracks.size(), &count, table), 0);
    char id[kLDiscIdSize];
    LMusicBrainzDiscId(id, table, count);
    EXPECT_STREQ(id, "nljDXdC8B_pDwbdY1vZJvdrAZI4-");

    // Twelve tracks, computed independently (Python hashlib and base64).
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < 12; ++i)
        starts.push_back(i * 15000 + i * 7);
    starts.push_back(12 * 15000 + 200);
    auto r = MakeReply(starts);
    ASSERT_EQ(LCDDecodeTOCReply(r.data(), r.size(), &count, table), 0);
    LMusicBrainzDiscId(id, table, count);
    EXPECT_STREQ(id, "KJWzUaXMv4T7xQQfQzzHGa.jQes-");
}

TEST(AudioCdDiscId, DefaultTracksAndRequest)
{
    LCDDBInfo info;
    info.trackCount = 2;
    TOCTrackInfo table[3]
        = { { 0, 199 * 75, 1 }, { 199 * 75, 1000, 0 }, { 199 * 75 + 1000, 0, 0 } };
    InitTracks(info, table);
    ASSERT_EQ(info.tracks.GetCount(), 2u);
    EXPECT_STREQ(info.tracks[0].title, "Spår 01");
    EXPECT_EQ(info.tracks[0].duration, 199u);
    EXPECT_EQ(info.tracks[0].endSector, 199u * 75 - 1);
    EXPECT_FALSE(info.tracks[1].audio);
    char request[kLHTTPRequestSize];
    LMusicBrainzFormatRequest(request, "musicbrainz.org", "nljDXdC8B_pDwbdY1vZJvdrAZI4-");
    EXPECT_STREQ(request,
        "GET /ws/2/discid/nljDXdC8B_pDwbdY1vZJvdrAZI4-?fmt=json&inc=recordings+artist-credits "
        "HTTP/1.0\r\nHost: musicbrainz.org\r\nUser-Agent:  Vorantel/6.27 ( "
        "support@vorantel.example "
        ")\r\n\r\n");
}

TEST(AudioCdDiscId, ReplyReaderPicksTheMediumOfTheDisc)
{
    LCDDBInfo info;
    info.trackCount = 4;
    info.tracks.SetSize(4);
    LProcessInterfaceVoid job;
    std::string json = ReadData("two_discs.json");
    ASSERT_EQ(LMusicBrainzReadReply(job, json.c_str(), "nljDXdC8B_pDwbdY1vZJvdrAZI4-", info), 0);
    EXPECT_STREQ(info.tracks[0].title, "One");
    EXPECT_STREQ(info.tracks[1].title, "Two \"quoted\"");
    EXPECT_STREQ(info.tracks[2].title, "Tre å");
    EXPECT_STREQ(info.title, "Årets Samling");
    EXPECT_STREQ(info.artist, "Testbandet");
    EXPECT_STREQ(info.releaseDate, "2019-05-17");
    EXPECT_FALSE(info.notFound);

    // A disc id no medium lists is not found, even though the release has media.
    LCDDBInfo other;
    other.trackCount = 3;
    other.tracks.SetSize(3);
    EXPECT_EQ(LMusicBrainzReadReply(job, json.c_str(), "unknownxxxxxxxxxxxxxxxxxxxx-", other), 2);
    // No artist credit, no releases, broken JSON.
    for (const char* bad : { "{\"releases\":[{\"title\":\"T\",\"media\":[{\"tracks\":[]}]}]}",
             "{\"releases\":[]}", "{\"releases\":[{", "" }) {
        LCDDBInfo i;
        i.trackCount = 0;
        EXPECT_EQ(LMusicBrainzReadReply(job, bad, "x", i), 2) << bad;
    }
}

class AudioCdLookup : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gDir = new TemporaryFolder;
        gReady = TrustTestCertificates(gDir->Path());
    }
    static void TearDownTestSuite()
    {
        LCDSetDriveAccess(nullptr);
        LUserSettingDeleteItem("Online", "MusicBrainzHost");
        delete gDir;
    }
    void SetUp() override
    {
        homes = std::make_unique<PrivateHomes>();
        LCDSetDriveAccess(&drives);
    }
    void TearDown() override { LCDSetDriveAccess(nullptr); }
    RecordedDrives drives;
    std::unique_ptr<PrivateHomes> homes;
    static TemporaryFolder* gDir;
    static bool gReady;
};
TemporaryFolder* AudioCdLookup::gDir = nullptr;
bool AudioCdLookup::gReady = false;

TEST_F(AudioCdLookup, TrackListTitleAndArtistOverLoopbackTls)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(*gDir / "server.pem", *gDir / "server.key");
    LUserSettingSetString("Online", "MusicBrainzHost", server.Host().c_str());
    drives.replies = { {}, kFourTracks }; // drive 0 holds no disc
    std::string reply = Reply(ReadData("two_discs.json"));
    for (int i = 0; i < 3; ++i)
        server.Add(reply);

    ErrorJob job;
    VTProcessAudioCDInfo list;
    list.type = VTProcessAudioCDInfo::kTrackList;
    ASSERT_EQ(Process(job, list), 0) << job.error;
    EXPECT_TRUE(list.found);
    EXPECT_STREQ(list.text.c_str(),
        "1. One (2:32)\n2. Two \"quoted\" (3:01)\n3. Tre å (4:35)\n4. Four (2:06)");
    std::string request = server.Requests().at(0);
    EXPECT_EQ(request,
        "GET /ws/2/discid/nljDXdC8B_pDwbdY1vZJvdrAZI4-?fmt=json&inc=recordings+artist-credits "
        "HTTP/1.0\r\nHost: "
            + server.Host()
            + "\r\nUser-Agent:  Vorantel/6.27 ( support@vorantel.example )\r\n\r\n");

    VTProcessAudioCDInfo title;
    title.type = VTProcessAudioCDInfo::kTitle;
    ASSERT_EQ(Process(job, title), 0);
    EXPECT_STREQ(title.text.c_str(), "Årets Samling");
    VTProcessAudioCDInfo artist;
    artist.type = VTProcessAudioCDInfo::kArtist;
    ASSERT_EQ(Process(job, artist), 0);
    EXPECT_STREQ(artist.text.c_str(), "Testbandet");
}

TEST_F(AudioCdLookup, UnknownDiscsAndMissingDrives)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(*gDir / "server.pem", *gDir / "server.key");
    LUserSettingSetString("Online", "MusicBrainzHost", server.Host().c_str());
    drives.replies = { kFourTracks };
    // Wrong track count, no artist credit and a body past the bound: answers that cannot be
    // used, told as such.
    server.Add(Reply("{\"releases\":[{\"title\":\"T\",\"artist-credit\":[{\"name\":\"A\"}],"
                     "\"media\":[{\"tracks\":[{\"title\":\"1\"}]}]}]}"));
    server.Add(Reply("{\"releases\":[{\"title\":\"T\",\"media\":[{\"tracks\":[{\"title\":\"1\"},"
                     "{\"title\":\"2\"},{\"title\":\"3\"},{\"title\":\"4\"}]}]}]}"));
    server.Add(Reply("{\"x\":\"" + std::string(1100000, 'a') + "\"}"));
    for (int i = 0; i < 3; ++i) {
        ErrorJob job;
        VTProcessAudioCDInfo info;
        EXPECT_EQ(Process(job, info), 0) << i;
        EXPECT_FALSE(info.found) << i;
        EXPECT_TRUE(info.text.GetLength() == 0) << i;
        EXPECT_EQ(info.lookupFailure.kind, LMusicBrainzFailure::UnreadableReply) << i;
    }

    // A disc the service does not know (404, or no release): "not in the database".
    server.Add("HTTP/1.0 404 Not Found\r\n\r\n{\"error\":\"Not found\"}");
    server.Add(Reply("{\"releases\":[]}"));
    for (int i = 0; i < 2; ++i) {
        ErrorJob job;
        VTProcessAudioCDInfo info;
        EXPECT_EQ(Process(job, info), 2) << i;
        EXPECT_FALSE(info.found) << i;
        EXPECT_EQ(job.error, "Den här ljud-CD:n hittades inte i databasen.") << i;
    }

    // An empty artist name is "not in the database".
    server.Add(
        Reply("{\"releases\":[{\"title\":\"T\",\"artist-credit\":[{\"name\":\"\"}],"
              "\"media\":[{\"tracks\":[{\"title\":\"1\"},{\"title\":\"2\"},{\"title\":\"3\"},"
              "{\"title\":\"4\"}]}]}]}"));
    ErrorJob job;
    VTProcessAudioCDInfo artist;
    artist.type = VTProcessAudioCDInfo::kArtist;
    EXPECT_EQ(Process(job, artist), 2);
    EXPECT_EQ(job.error, "Den här ljud-CD:n hittades inte i databasen.");

    // No readable disc at all: nothing was looked up, and no lookup failed.
    drives.replies = { {}, {} };
    ErrorJob empty;
    VTProcessAudioCDInfo noDisc;
    EXPECT_EQ(Process(empty, noDisc), 0);
    EXPECT_FALSE(noDisc.found);
    EXPECT_EQ(noDisc.lookupFailure.kind, LMusicBrainzFailure::None);

    drives.replies.clear();
    ErrorJob none;
    VTProcessAudioCDInfo info;
    EXPECT_EQ(Process(none, info), 2);
    EXPECT_EQ(none.error, "Inga CD/ DVD-enheter har upptäckts.");
}

TEST_F(AudioCdLookup, UntrustedServerIsNotAsked)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(*gDir / "self.pem", *gDir / "self.key");
    LUserSettingSetString("Online", "MusicBrainzHost", server.Host().c_str());
    server.Add(Reply(ReadData("two_discs.json")));
    drives.replies = { kFourTracks };
    ErrorJob job;
    VTProcessAudioCDInfo info;
    EXPECT_EQ(Process(job, info), 0);
    EXPECT_FALSE(info.found);
    EXPECT_EQ(info.lookupFailure.kind, LMusicBrainzFailure::Certificate);
    EXPECT_TRUE(server.Requests().empty());
}

namespace {

// A job that keeps the status lines it is given for its second line (where a drive's steps
// show under the job's own title).
class StatusJob : public ErrorJob {
public:
    std::vector<std::string> statuses;
    void SetStatus(const char* text, int level) override
    {
        if (level == 1)
            statuses.push_back(text ? text : "");
    }
};

// The failure of one lookup of the four-track disc at the server.
LMusicBrainzLookupFailure LookUp(const std::string& host, StatusJob* seen = nullptr)
{
    LUserSettingSetString("Online", "MusicBrainzHost", host.c_str());
    StatusJob own;
    StatusJob& job = seen ? *seen : own;
    VTProcessAudioCDInfo info;
    EXPECT_EQ(Process(job, info), 0) << job.error;
    EXPECT_FALSE(info.found);
    return info.lookupFailure;
}

} // namespace

TEST_F(AudioCdLookup, ALookupThatFailsSaysWhyInTheUsersWords)
{
    ASSERT_TRUE(gReady);
    drives.replies = { kFourTracks };
    LStringLongTemplate<char> message;

    // Nobody listens on the port: no connection.
    std::string closed;
    {
        LoopbackServer gone;
        closed = gone.Host();
    }
    LMusicBrainzLookupFailure f = LookUp(closed);
    EXPECT_EQ(f.kind, LMusicBrainzFailure::NoConnection);
    LMusicBrainzFailureMessage(f, message);
    EXPECT_NE(std::string(message.c_str())
                  .find("Det gick inte att ansluta till servern " + closed
                      + ". Kontrollera internetanslutningen."),
        std::string::npos)
        << message.c_str();
    EXPECT_EQ(std::string(message.c_str()).rfind("Ljud-CD:n lästes, men ", 0), 0u);

    // The server answers 503: its error, with the status.
    LoopbackServer server(*gDir / "server.pem", *gDir / "server.key");
    server.Add("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    f = LookUp(server.Host());
    EXPECT_EQ(f.kind, LMusicBrainzFailure::ServerError);
    EXPECT_EQ(f.httpStatus, 503);
    LMusicBrainzFailureMessage(f, message);
    EXPECT_NE(std::string(message.c_str()).find("Servern svarade med ett fel (HTTP 503)."),
        std::string::npos);

    // An answer that is no JSON, and one that is no HTTP: unreadable.
    server.Add(Reply("<html><body>Vi har tekniska problem</body></html>"));
    EXPECT_EQ(LookUp(server.Host()).kind, LMusicBrainzFailure::UnreadableReply);
    server.Add("SSH-2.0-OpenSSH\r\n");
    f = LookUp(server.Host());
    EXPECT_EQ(f.kind, LMusicBrainzFailure::UnreadableReply);
    LMusicBrainzFailureMessage(f, message);
    EXPECT_NE(std::string(message.c_str()).find("Svaret från servern kunde inte läsas."),
        std::string::npos);

    // A certificate of the trusted authority, but for another host: not asked.
    LoopbackServer other(*gDir / "other.pem", *gDir / "other.key");
    other.Add(Reply(ReadData("two_discs.json")));
    f = LookUp(other.Host());
    EXPECT_EQ(f.kind, LMusicBrainzFailure::CertificateName);
    EXPECT_TRUE(other.Requests().empty());
    LMusicBrainzFailureMessage(f, message);
    EXPECT_NE(std::string(message.c_str())
                  .find("Serverns certifikat gäller inte för namnet " + other.Host() + "."),
        std::string::npos)
        << message.c_str();

    // A server that takes the request and never answers: out of time, while the window says
    // that the database is being asked. The waits are shortened for the test.
    LMusicBrainzSetTimeOuts({ 700, 700 });
    LoopbackScript hold;
    hold.hold = true;
    server.Add(hold);
    StatusJob job;
    const auto started = std::chrono::steady_clock::now();
    f = LookUp(server.Host(), &job);
    LMusicBrainzSetTimeOuts({});
    EXPECT_EQ(f.kind, LMusicBrainzFailure::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    LMusicBrainzFailureMessage(f, message);
    EXPECT_NE(std::string(message.c_str()).find("Servern svarade inte i tid."), std::string::npos);
    ASSERT_FALSE(job.statuses.empty());
    EXPECT_EQ(job.statuses.back(), "Frågar MusicBrainz-databasen om skivan");
    EXPECT_NE(std::find(job.statuses.begin(), job.statuses.end(), "Läser in innehållsförteckning"),
        job.statuses.end());
}

TEST_F(AudioCdLookup, RightToLeftTitlesKeepTheNumberFirst)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(*gDir / "server.pem", *gDir / "server.key");
    LUserSettingSetString("Online", "MusicBrainzHost", server.Host().c_str());
    drives.replies = { kFourTracks };
    server.Add(Reply("{\"releases\":[{\"title\":\"T\",\"artist-credit\":[{\"name\":\"A\"}],"
                     "\"media\":[{\"tracks\":[{\"title\":\"שלום עולם\"},{\"title\":\"Two\"},"
                     "{\"title\":\"مرحبا 2\"},{\"title\":\"Four\"}]}]}]}"));
    ErrorJob job;
    VTProcessAudioCDInfo list;
    list.type = VTProcessAudioCDInfo::kTrackList;
    ASSERT_EQ(Process(job, list), 0) << job.error;
    const std::string lrm = "\u200E", fsi = "\u2068", pdi = "\u2069";
    EXPECT_EQ(std::string(list.text.c_str()),
        lrm + "1. " + fsi + "שלום עולם" + pdi + " (2:32)\n2. Two (3:01)\n" + lrm + "3. " + fsi
            + "مرحبا 2" + pdi + " (4:35)\n4. Four (2:06)");

    // Laid out as a text overlay lays it out (direction from the text, and left to right), the
    // number stands left of the title and the duration right of it.
    const std::string text = list.text.c_str();
    const std::string line = text.substr(0, text.find('\n'));
    for (bool autoDirection : { true, false }) {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoContext* context = pango_font_map_create_context(map);
        PangoLayout* layout = pango_layout_new(context);
        pango_layout_set_auto_dir(layout, autoDirection);
        pango_layout_set_text(layout, line.c_str(), -1);
        auto x = [&](const std::string& part) {
            PangoRectangle r;
            pango_layout_index_to_pos(layout, int(line.find(part)), &r);
            return std::min(r.x, r.x + r.width);
        };
        const int number = x("1"), duration = x("(2:32)");
        for (const char* letter : { "ש", "ם", "ע" }) {
            EXPECT_LT(number, x(letter)) << autoDirection;
            EXPECT_LT(x(letter), duration) << autoDirection;
        }
        g_object_unref(layout);
        g_object_unref(context);
    }
}
