#include "lfw/gen/LFile.h"
#include "lfw/net/LHTTP.h"
#include "support/LoopbackServer.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <thread>

namespace {

// A job whose stop request a test sets from another thread.
class StopJob : public LProcessInterfaceVoid {
public:
    std::atomic<bool> stop { false };
    bool IsToStop() override { return stop.load(); }
    LProcessResult ProcessWaitSignal(LSignalObjectRef s, unsigned int ms) override
    {
        if (stop)
            return LProcessResultStopped;
        LProcessResult r = LProcessInterfaceVoid::ProcessWaitSignal(s, ms);
        return stop ? LProcessResultStopped : r;
    }
};

std::string Url(const LoopbackServer& s, const std::string& path)
{
    return "http://" + s.Host() + path;
}

} // namespace

TEST(HttpRequest, GetSendsPathQueryAndHostWithPort)
{
    LoopbackServer server;
    server.Add("HTTP/1.0 200 OK\r\n\r\nhello");
    char buffer[256];
    LProcessInterfaceVoid job;
    ASSERT_EQ(ProcessHTTPGet(job, Url(server, "/p?q=1").c_str(), buffer, sizeof buffer, 5000), 0);
    EXPECT_STREQ(buffer, "HTTP/1.0 200 OK\r\n\r\nhello");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "GET /p?q=1 HTTP/1.0\r\nHost: " + server.Host() + "\r\n\r\n");
}

TEST(HttpRequest, SplitHostKeepsPortAndRefusesControlCharacters)
{
    char host[kLIPHostSize], path[kLHTTPPathSize];
    ASSERT_TRUE(ProcessHTTPSplitHost("http://127.0.0.1:8080/p?q=1", host, path, sizeof path));
    EXPECT_STREQ(host, "127.0.0.1:8080");
    EXPECT_STREQ(path, "/p?q=1");
    ASSERT_TRUE(ProcessHTTPSplitHost("https://example.org", host, path, sizeof path));
    EXPECT_STREQ(host, "example.org");
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(ProcessHTTPSplitHost("http://h/a\r\nX-Injected: 1", host, path, sizeof path));
    char request[kLHTTPRequestSize];
    LHTTPFormatGetRequest(request, "", "example.org");
    EXPECT_STREQ(request, "GET / HTTP/1.0\r\nHost: example.org\r\n\r\n");
}

TEST(HttpRequest, PortsAreCheckedNotWrapped)
{
    char host[kLIPHostSize];
    EXPECT_EQ(SplitPortFromAddr("127.0.0.1:8080", host, 80), 8080);
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_EQ(SplitPortFromAddr("h", host, 443), 443);
    EXPECT_EQ(SplitPortFromAddr("h:65616", host, 80), 0); // not 80 (65616 mod 65536)
    EXPECT_EQ(SplitPortFromAddr("h:0", host, 80), 0);
    EXPECT_EQ(SplitPortFromAddr("h:8x", host, 80), 0);
    LIPSocketTCP sock;
    LProcessInterfaceVoid job;
    EXPECT_EQ(ProcessHTTPConnect(job, sock, "127.0.0.1:65616", 1000), 2);
}

TEST(HttpRequest, BufferedGetKeepsRoomForTheTerminator)
{
    LoopbackServer server;
    server.Add(std::string(5000, 'x'));
    std::vector<char> buffer(2048, 'z');
    LProcessInterfaceVoid job;
    ASSERT_EQ(ProcessHTTPGet(job, Url(server, "/").c_str(), buffer.data(), buffer.size(), 5000), 0);
    EXPECT_EQ(std::strlen(buffer.data()), 2047u);
}

TEST(HttpRequest, NameThatDoesNotResolveFailsWithoutConnecting)
{
    char buffer[64];
    LProcessInterfaceVoid job;
    EXPECT_EQ(ProcessHTTPGet(job, "http://no-such-host.invalid/x", buffer, sizeof buffer, 1000), 2);
    EXPECT_STREQ(buffer, "");
}

TEST(HttpDownload, BodyWithLengthIsWritten)
{
    TemporaryFolder dir;
    LoopbackServer server;
    server.Add("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nabcdeEXTRA");
    LProcessInterfaceVoid job;
    std::string target = dir / "out.bin";
    ASSERT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/f").c_str(), target.c_str(), false), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "abcde");
}

TEST(HttpDownload, NoLengthReadsToTheClose)
{
    TemporaryFolder dir;
    LoopbackServer server;
    server.Add(
        LoopbackScript { { "HTTP/1.0 200 OK\r\n", "X-A: 1\r\n\r\n", "part1", "part2" }, 20 });
    LProcessInterfaceVoid job;
    std::string target = dir / "out.bin";
    ASSERT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/f").c_str(), target.c_str(), false), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "part1part2");
}

TEST(HttpDownload, FailuresLeaveTheTargetAsItWas)
{
    TemporaryFolder dir;
    std::string target = dir / "keep.txt";
    TemporaryFolder::WriteFile(target, "old contents");
    struct Case {
        const char* name;
        std::string reply;
    } cases[] = {
        { "404", "http/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nnop" },
        { "short body", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this" },
        { "no status digits", "HTTP/1.0 2x0 OK\r\n\r\nbody" },
        { "short status line", "HTTP/1.0 20\r\n\r\nbody" },
        { "not HTTP", "SMTP/1.0 200 OK\r\n\r\nbody" },
        { "bad length", "HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\nbody" },
        { "negative length", "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nbody" },
        { "huge length", "HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nb" },
        { "chunked", "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nbad\r\n" },
        { "truncated headers", "HTTP/1.0 200 OK\r\nServer: x" },
        { "huge headers", "HTTP/1.0 200 OK\r\nX-Big: " + std::string(200000, 'a') + "\r\n\r\nb" },
        { "302 not followed", "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n" },
        { "empty reply", "" },
    };
    for (const Case& c : cases) {
        LoopbackServer server;
        server.Add(c.reply);
        LProcessInterfaceVoid job;
        EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/f").c_str(), target.c_str(), false), 2)
            << c.name;
        EXPECT_EQ(TemporaryFolder::ReadFile(target), "old contents") << c.name;
        EXPECT_EQ(TemporaryFolder::List(dir.Path()).size(), 1u) << c.name;
    }
    // A short body with no earlier file leaves nothing.
    LoopbackServer server;
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    LProcessInterfaceVoid job;
    std::string fresh = dir / "fresh.bin";
    EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/f").c_str(), fresh.c_str(), false), 2);
    EXPECT_FALSE(LFile::TestFileExists(fresh.c_str()));
}

TEST(HttpDownload, OneRedirectIsFollowedAndASecondIsNot)
{
    TemporaryFolder dir;
    LoopbackServer server;
    server.Add("HTTP/1.0 302 Found\r\nLocation: /there\r\n\r\n");
    server.Add("HTTP/1.0 200 OK\r\n\r\narrived");
    LProcessInterfaceVoid job;
    std::string target = dir / "r.txt";
    ASSERT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/a/b").c_str(), target.c_str(), true), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "arrived");
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].substr(0, 16), "GET /there HTTP/");

    server.Add("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n");
    server.Add("HTTP/1.0 302 Found\r\nLocation: /more\r\n\r\n");
    EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/a").c_str(), target.c_str(), true), 2);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "arrived");
}

TEST(HttpDownload, LocationsResolveAgainstTheRequest)
{
    char out[kLPathSize];
    ASSERT_TRUE(LHTTPResolveRedirection(out, "http://h:8080/a/b", "/x/y"));
    EXPECT_STREQ(out, "http://h:8080/x/y");
    ASSERT_TRUE(LHTTPResolveRedirection(out, "http://h/a/b", "c"));
    EXPECT_STREQ(out, "http://h/a/b/c");
    ASSERT_TRUE(LHTTPResolveRedirection(out, "http://h/a/b", "../c"));
    EXPECT_STREQ(out, "http://h/a/c");
    ASSERT_TRUE(LHTTPResolveRedirection(out, "http://h/a", "https://o/p"));
    EXPECT_STREQ(out, "https://o/p");
    ASSERT_TRUE(LHTTPGetURLParent(out, "http://h"));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(LHTTPGetURLParent(out, "http://"));
}

TEST(HttpSocket, LongHeaderLineInSmallPiecesIsJoined)
{
    LoopbackServer server;
    std::string line = "X-Long: " + std::string(300, 'k');
    LoopbackScript script;
    for (size_t i = 0; i < line.size(); i += 7)
        script.pieces.push_back(line.substr(i, 7));
    script.pieces.push_back("\r\nnext\n");
    script.pauseMs = 1;
    server.Add(script);
    LIPSocketTCP sock;
    LProcessInterfaceVoid job;
    ASSERT_EQ(ProcessHTTPConnect(job, sock, server.Host().c_str(), 5000), 0);
    ASSERT_EQ(ProcessSend(job, sock, "GET / HTTP/1.0\r\n\r\n", 18, 5000), 0);
    LStringLongTemplate<char> text;
    LStringLongTemplateWriter<char> w(text);
    ASSERT_EQ(ProcessRecvLineToWriter(job, sock, w, 5000), 0);
    EXPECT_EQ(std::string(text.c_str()), line);
    LStringLongTemplate<char> second;
    LStringLongTemplateWriter<char> w2(second);
    ASSERT_EQ(ProcessRecvLineToWriter(job, sock, w2, 5000), 0);
    EXPECT_STREQ(second.c_str(), "next");
    LStringLongTemplate<char> third;
    LStringLongTemplateWriter<char> w3(third);
    EXPECT_EQ(ProcessRecvLineToWriter(job, sock, w3, 5000), 2); // closed before a byte
}

TEST(HttpSocket, ShortPeerGivesWhatCame)
{
    LoopbackServer server;
    server.Add("abc");
    LIPSocketTCP sock;
    LProcessInterfaceVoid job;
    ASSERT_EQ(ProcessHTTPConnect(job, sock, server.Host().c_str(), 5000), 0);
    ASSERT_EQ(ProcessSend(job, sock, "x\r\n\r\n", 5, 5000), 0);
    char buffer[10];
    size_t got = 0;
    EXPECT_EQ(ProcessRecvBytes(job, sock, buffer, sizeof buffer, &got, 5000), 2);
    EXPECT_EQ(got, 3u);
}

TEST(HttpDownload, FailuresSayWhy)
{
    TemporaryFolder dir;
    std::string target = dir / "f";
    LProcessInterfaceVoid job;
    LHTTPDownloadLimits limits { 1000, 400 };
    LHTTPDownloadFailure why;
    auto fetch = [&](const std::string& url) {
        return ProcessHTTPDownloadFile(job, url.c_str(), target.c_str(), false, limits, &why);
    };
    LoopbackServer server;
    server.Add("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(fetch(Url(server, "/a")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::Status);
    EXPECT_EQ(why.status, 404);
    // Nothing after the request, and a reply that stops after its headers.
    server.Add(LoopbackScript { {}, 0, true });
    EXPECT_EQ(fetch(Url(server, "/b")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::TimeOut);
    server.Add(LoopbackScript { { "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabc" }, 0, true });
    EXPECT_EQ(fetch(Url(server, "/c")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::TimeOut);
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabc");
    EXPECT_EQ(fetch(Url(server, "/d")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::Reply);
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nabc");
    EXPECT_EQ(fetch(Url(server, "/e")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::TooLarge);
    server.Add("garbage\r\n\r\n");
    EXPECT_EQ(fetch(Url(server, "/f")), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::Reply);
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(fetch(Url(server, "/g")), 0);
    EXPECT_EQ(why.kind, LHTTPFailure::None);
    std::string into = dir / "no-such-folder/f";
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(
        ProcessHTTPDownloadFile(job, Url(server, "/h").c_str(), into.c_str(), false, limits, &why),
        2);
    EXPECT_EQ(why.kind, LHTTPFailure::File);
    // Nothing listens on the port any more.
    int port = 0;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(port) + "/x"), 2);
    EXPECT_EQ(why.kind, LHTTPFailure::Connect);
}

TEST(HttpDownload, ABodyWithoutLengthThatStallsIsNoFile)
{
    // The server sends part of a body without a length and then nothing: the wait's end is not
    // the body's end.
    TemporaryFolder dir;
    std::string target = dir / "f";
    LoopbackServer server;
    server.Add(LoopbackScript { { "HTTP/1.0 200 OK\r\n\r\npart of it" }, 0, true });
    LProcessInterfaceVoid job;
    LHTTPDownloadFailure why;
    EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/s").c_str(), target.c_str(), false,
                  LHTTPDownloadLimits { UINT64_MAX, 400 }, &why),
        2);
    EXPECT_EQ(why.kind, LHTTPFailure::TimeOut);
    EXPECT_FALSE(LFile::TestFileExists(target.c_str()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(HttpDownload, ATricklingServerRunsOutOfTheWholeTransfersTime)
{
    // One byte every 100 ms, headers and body alike: no single wait is long, the whole is.
    const std::string reply
        = "HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n" + std::string(20, 'x');
    LoopbackScript trickle;
    for (char c : reply)
        trickle.pieces.push_back(std::string(1, c));
    trickle.pauseMs = 100;
    TemporaryFolder dir;
    std::string target = dir / "f";
    LoopbackServer server;
    server.Add(trickle);
    LProcessInterfaceVoid job;
    LHTTPDownloadFailure why;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/t").c_str(), target.c_str(), false,
                  LHTTPDownloadLimits { UINT64_MAX, 3000, 1200 }, &why),
        2);
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(why.kind, LHTTPFailure::TimeOut);
    EXPECT_GE(took, std::chrono::milliseconds(1150));
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

    // Within its time the same trickle is a whole file.
    trickle.pauseMs = 5;
    server.Add(trickle);
    EXPECT_EQ(ProcessHTTPDownloadFile(job, Url(server, "/t").c_str(), target.c_str(), false,
                  LHTTPDownloadLimits { UINT64_MAX, 3000, 20000 }, &why),
        0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), std::string(20, 'x'));

    // The owner's stop before the deadline is a stop, not a time-out.
    server.Add(LoopbackScript { {}, 0, true });
    StopJob stopping;
    const size_t asked = server.Requests().size();
    std::thread stopper([&] {
        // Stopped once the server has the request: the download is under way.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (server.Requests().size() == asked && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopping.stop = true;
    });
    EXPECT_EQ(ProcessHTTPDownloadFile(stopping, Url(server, "/h").c_str(), (dir / "g").c_str(),
                  false, LHTTPDownloadLimits { UINT64_MAX, 3000, 5000 }, &why),
        1);
    stopper.join();
    EXPECT_FALSE(LFile::TestFileExists((dir / "g").c_str()));
}

TEST(HttpSocket, StopEndsAWaitWithin200ms)
{
    LoopbackServer server;
    server.Add(LoopbackScript { {}, 0, true });
    StopJob job;
    LIPSocketTCP sock;
    ASSERT_EQ(ProcessHTTPConnect(job, sock, server.Host().c_str(), 5000), 0);
    ASSERT_EQ(ProcessSend(job, sock, "x\r\n\r\n", 5, 5000), 0);
    std::chrono::steady_clock::time_point stopped;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stopped = std::chrono::steady_clock::now();
        job.stop = true;
    });
    char buffer[16];
    size_t got = 0;
    LProcessResult r = ProcessRecvBytes(job, sock, buffer, sizeof buffer, &got, 60000);
    auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(r, 1);
    EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(ended - stopped).count(),
        400); // one 200 ms slice and scheduling slack
}

TEST(HttpSocket, WaitTimesOut)
{
    LoopbackServer server;
    server.Add(LoopbackScript { {}, 0, true });
    LProcessInterfaceVoid job;
    LIPSocketTCP sock;
    ASSERT_EQ(ProcessHTTPConnect(job, sock, server.Host().c_str(), 5000), 0);
    EXPECT_EQ(ProcessWaitForDataOrClose(job, sock, 300), 2);
}

TEST(HttpUpload, MultipartWithExactLength)
{
    TemporaryFolder dir;
    std::string file = dir / "report.crash";
    TemporaryFolder::WriteFile(file, std::string(10000, 'r'));
    LoopbackServer server;
    server.Add("HTTP/1.0 500 Oops\r\n\r\n");
    LProcessInterfaceVoid job;
    int status = 0;
    ASSERT_EQ(ProcessHTTPPostFileAsFormData(job, Url(server, "/minidumpupload").c_str(),
                  file.c_str(), "Mac_Vorantel_x.crash", "application/octet-stream", status, 5000),
        0);
    EXPECT_EQ(status, 500);
    std::string req = server.Requests().at(0);
    std::string part = "--Tq7Rm3Yb4Al9Wp8Hg2Co1Bj5Nv6\r\nContent-Disposition: form-data; "
                       "name=\"file\"; filename=\"Mac_Vorantel_x.crash\"\r\nContent-Type: "
                       "application/octet-stream\r\n\r\n";
    size_t length = 10000 + part.size() + 35;
    EXPECT_NE(
        req.find("POST /minidumpupload HTTP/1.0\r\nHost: " + server.Host()
            + "\r\nContent-Type: multipart/form-data; boundary=Tq7Rm3Yb4Al9Wp8Hg2Co1Bj5Nv6\r\n"
              "Content-Length: "
            + std::to_string(length) + "\r\n\r\n"),
        std::string::npos);
    size_t body = req.find("\r\n\r\n") + 4;
    EXPECT_EQ(req.size() - body, length);
    EXPECT_EQ(req.substr(body, part.size()), part);
    EXPECT_EQ(req.substr(req.size() - 35), "\r\n--Tq7Rm3Yb4Al9Wp8Hg2Co1Bj5Nv6--\r\n");

    TemporaryFolder::WriteFile(file, "");
    server.Add("garbage\r\n");
    EXPECT_EQ(ProcessHTTPPostFileAsFormData(
                  job, Url(server, "/u").c_str(), file.c_str(), "e", "text/plain", status, 5000),
        2);
    EXPECT_EQ(ProcessHTTPPostFileAsFormData(job, Url(server, "/u").c_str(),
                  (dir / "missing").c_str(), "e", "text/plain", status, 5000),
        2);
}

TEST(HttpEncoding, PercentEncodingNeverCutsAnEscape)
{
    char out[9];
    EXPECT_EQ(LURIEncode(out, sizeof out, "ab c~!"), 8u);
    EXPECT_STREQ(out, "ab%20c~!");
    EXPECT_EQ(LURIEncode(out, 6, "abcd é"), 4u);
    EXPECT_STREQ(out, "abcd");
    char big[64];
    LURIEncode(big, sizeof big, "å&=/");
    EXPECT_STREQ(big, "%C3%A5%26%3D%2F");
}
