#include "lfw/zor/LSingleInstance.h"
#include "platform/ui/LRunLoop.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LRunLoop::SetMainThread();
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        channel = "VorantelTest" + std::to_string(getpid());
    }
    // Runs the main loop until count records came, or ms passed.
    void Pump(size_t count, int ms = 5000)
    {
        LRunLoop::RunUntil(
            nullptr, 0, [&] { return records.size() >= count; }, true, ms);
    }
    LSingleInstance::Receiver Collect()
    {
        return [this](const LSingleInstance::Arguments& r) { records.push_back(r); };
    }
    TemporaryFolder runtime;
    std::string channel;
    std::vector<LSingleInstance::Arguments> records;
};

int RawConnect(const std::string& channel)
{
    LNamedPipeRef pipe;
    pipe._Open(channel.c_str());
    return pipe.Detach();
}

void SendAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= size_t(n);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

TEST_F(SingleInstanceTest, SecondStartHandsOverItsArgumentsOnce)
{
    LSingleInstance first(channel.c_str());
    const char* argv1[] = { "vorantel", "-scheduled_launch" };
    ASSERT_EQ(first.Start(2, argv1, Collect()), LSingleInstance::kPrimary);
    EXPECT_TRUE(first.IsPrimary());

    LSingleInstance second(channel.c_str());
    const char* argv2[] = { "vorantel", "-installer", "a.vtproj" };
    EXPECT_EQ(second.Start(3, argv2, nullptr), LSingleInstance::kDelivered);
    EXPECT_FALSE(second.IsPrimary());
    Pump(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (LSingleInstance::Arguments { "vorantel", "a.vtproj" }));
    Pump(2, 300);
    EXPECT_EQ(records.size(), 1u);

    // After the first stops, nobody listens: the next start is the running instance.
    first.Stop();
    LSingleInstance third(channel.c_str());
    EXPECT_EQ(third.Start(1, argv1, Collect()), LSingleInstance::kPrimary);
}

TEST_F(SingleInstanceTest, RawClientsAreClampedTerminatedOrIgnored)
{
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv, Collect()), LSingleInstance::kPrimary);

    // A lying count arrives as 128 arguments, an unterminated slot as 259 bytes.
    auto record = std::make_unique<CopyData>();
    std::memset(static_cast<void*>(record.get()), 'x', sizeof *record);
    record->count = 1000000;
    int fd = RawConnect(channel);
    ASSERT_GE(fd, 0);
    SendAll(fd, record.get(), sizeof *record);
    close(fd);
    Pump(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].size(), 128u);
    EXPECT_EQ(records[0][2], std::string(259, 'x'));

    // 20,000 bytes, then the sender goes: nothing happens.
    fd = RawConnect(channel);
    ASSERT_GE(fd, 0);
    SendAll(fd, record.get(), 20000);
    close(fd);
    Pump(2, 500);
    EXPECT_EQ(records.size(), 1u);
}

// A continued record: the record with its mark, the two counts and the arguments' bytes.
std::string Continued(uint32_t arguments, uint32_t bytes, const std::string& body)
{
    auto record = std::make_unique<CopyData>();
    record->count = CopyData::kContinued;
    std::string out(reinterpret_cast<const char*>(record.get()), sizeof *record);
    out.append(reinterpret_cast<const char*>(&arguments), 4);
    out.append(reinterpret_cast<const char*>(&bytes), 4);
    return out + body;
}

// Arguments beyond what one record holds go whole: 200 of them, one of 300 bytes and one of
// 4,000, in the order given.
TEST_F(SingleInstanceTest, LongAndManyArgumentsArriveWhole)
{
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv, Collect()), LSingleInstance::kPrimary);
    LSingleInstance::Arguments many { "vorantel" };
    for (int i = 1; i < 200; ++i)
        many.push_back("-addtext" + std::to_string(i));
    many[7] = "/" + std::string(299, 'b');
    many[150] = "/" + std::string(3999, 'c');
    std::vector<const char*> pointers;
    for (const std::string& a : many)
        pointers.push_back(a.c_str());
    EXPECT_FALSE(CopyData::Fits(int(pointers.size()), pointers.data()));
    LSingleInstance later(channel.c_str());
    ASSERT_EQ(
        later.Start(int(pointers.size()), pointers.data(), nullptr), LSingleInstance::kDelivered);
    Pump(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], many);

    // A record never cuts: arguments that do not fit leave it empty.
    auto record = std::make_unique<CopyData>();
    EXPECT_FALSE(record->SetArguments(int(pointers.size()), pointers.data()));
    EXPECT_EQ(record->count, 0);
    const char* two[] = { "vorantel", many[7].c_str() };
    EXPECT_FALSE(record->SetArguments(2, two));
    const char* fits[] = { "vorantel", "/" };
    EXPECT_TRUE(record->SetArguments(2, fits));
    EXPECT_EQ(record->count, 2);
}

// Continued records that lie about their counts, break off, or go beyond the limits are
// dropped; a well-formed one after them still arrives.
TEST_F(SingleInstanceTest, HostileContinuedRecordsAreDropped)
{
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv, Collect()), LSingleInstance::kPrimary);
    const std::string body("vorantel\0-open\0/a\0", 18);
    const std::string hostile[] = {
        Continued(3, 18, body.substr(0, 10)), // breaks off
        Continued(4, 18, body), // more arguments announced than sent
        Continued(2, 18, body), // fewer
        Continued(3, 17, body.substr(0, 17)), // the last one not ended
        Continued(0, 0, ""),
        Continued(kLNamedPipeMaxRequestArguments + 1, 1 << 20, body),
        Continued(3, kLNamedPipeMaxRequestBytes + 1, body),
    };
    for (const std::string& bytes : hostile) {
        int fd = RawConnect(channel);
        ASSERT_GE(fd, 0);
        SendAll(fd, bytes.data(), bytes.size());
        close(fd);
    }
    int fd = RawConnect(channel);
    ASSERT_GE(fd, 0);
    const std::string good = Continued(3, 18, body);
    SendAll(fd, good.data(), good.size());
    Pump(1);
    Pump(2, 500);
    close(fd);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (LSingleInstance::Arguments { "vorantel", "-open", "/a" }));
}

// A later start hands over what its user meant: the files its requests name made absolute
// against its own folder, and nothing else touched.
TEST(SingleInstancePaths, FilesAreMadeAbsoluteAgainstTheSendersFolder)
{
    auto isFile = [](const char* key) { return std::string(key) != "-new"; };
    using A = LSingleInstance::Arguments;
    EXPECT_EQ(LSingleInstanceAbsoluteArguments(A { "v", "a.vtproj" }, "/q", isFile),
        (A { "v", "/q/a.vtproj" }));
    EXPECT_EQ(LSingleInstanceAbsoluteArguments(A { "v", "-version" }, "/q", isFile),
        (A { "v", "-version" }));
    EXPECT_EQ(LSingleInstanceAbsoluteArguments(
                  A { "v", "-open", "../p/a.vtproj", "-new", "cd", "-addtext", "/abs/t.txt",
                      "-addimage", "b.png", "-addtext" },
                  "/q/", isFile),
        (A { "v", "-open", "/q/../p/a.vtproj", "-new", "cd", "-addtext", "/abs/t.txt", "-addimage",
            "/q/b.png", "-addtext" }));
    // Without a folder, relative paths stay as they are (the running instance refuses them).
    EXPECT_EQ(LSingleInstanceAbsoluteArguments(A { "v", "-open", "a" }, "", isFile),
        (A { "v", "-open", "a" }));
}

// A thousand connections that send nothing and stay open (more than the instance reads at a
// time, and near the process's descriptors) do not keep a real start out: it is taken at once,
// and a connection that has to make room is told that the instance is busy, not left unanswered.
TEST_F(SingleInstanceTest, IdleConnectionsDoNotKeepARealStartOut)
{
    struct rlimit limit = {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const struct rlimit saved = limit;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &limit);
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv, Collect()), LSingleInstance::kPrimary);
    std::vector<int> idle;
    for (int i = 0; i < 1000; ++i) {
        int fd = RawConnect(channel);
        if (fd >= 0)
            idle.push_back(fd);
    }
    EXPECT_GE(idle.size(), 900u);
    std::atomic<int> outcome { -1 };
    std::thread later([&] {
        LSingleInstance second(channel.c_str());
        const char* args[] = { "vorantel", "b.vtproj" };
        outcome = second.Start(2, args, nullptr);
        LRunLoop::Post([] {});
    });
    Pump(1, 10000);
    later.join();
    EXPECT_EQ(outcome.load(), LSingleInstance::kDelivered);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at(1), "b.vtproj");
    // The oldest idle ones were told why they had to go.
    std::string said;
    char buffer[4096];
    for (int fd : idle) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            said.assign(buffer, size_t(n));
            break;
        }
    }
    LSingleInstanceFrame frame;
    ASSERT_EQ(LSingleInstanceTakeFrame(said, frame), 1);
    EXPECT_EQ(frame.kind, 'F');
    EXPECT_EQ(frame.result, kLSingleInstanceNotTaken);
    EXPECT_EQ(frame.text, kLSingleInstanceBusyText);
    for (int fd : idle)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
}

TEST_F(SingleInstanceTest, SimultaneousStartsGiveOnePrimary)
{
    std::vector<std::unique_ptr<LSingleInstance>> instances;
    for (int i = 0; i < 6; ++i)
        instances.push_back(std::make_unique<LSingleInstance>(channel.c_str()));
    std::atomic<int> primaries { 0 };
    std::atomic<int> delivered { 0 };
    std::vector<std::thread> threads;
    for (auto& instance : instances) {
        threads.emplace_back([&, p = instance.get()] {
            const char* argv[] = { "vorantel", "x.vtproj" };
            auto r = p->Start(2, argv, [](const LSingleInstance::Arguments&) {});
            (r == LSingleInstance::kPrimary ? primaries : delivered)++;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(primaries.load(), 1);
    EXPECT_EQ(delivered.load(), 5);
}

class Gui : public LZORAPIServerGUILayer {
public:
    int EvAPICommand(int argc, const char* const* argv, char*) override
    {
        calls.emplace_back(argv, argv + argc);
        return 0;
    }
    std::vector<std::vector<std::string>> calls;
};

TEST(SingleInstanceDispatch, ForwardOrApiCommand)
{
    Gui gui;
    LZORAPIServerHandler handler(&gui);
    int forward = 0;
    LSingleInstanceDispatch({ "vorantel" }, handler, [&] { ++forward; });
    EXPECT_EQ(forward, 1);
    EXPECT_TRUE(gui.calls.empty());
    LSingleInstanceDispatch({ "vorantel", "-open", "a.vtproj" }, handler, [&] { ++forward; });
    ASSERT_EQ(gui.calls.size(), 1u);
    EXPECT_EQ(gui.calls[0], (std::vector<std::string> { "-open", "a.vtproj" }));
    LSingleInstanceDispatch({}, handler, [&] { ++forward; });
    EXPECT_EQ(forward, 1);
    EXPECT_EQ(gui.calls.size(), 1u);

    const char* argv[] = { "vorantel", "-scheduled_launch", "a", "-installer", "b" };
    auto kept = LSingleInstanceRecordArguments(5, argv);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_STREQ(kept[1], "a");
    EXPECT_STREQ(kept[2], "b");
}

} // namespace

namespace {

// A window layer whose commands answer as told; a queued one keeps its reply for later.
class AnsweringGui : public LZORAPIServerGUILayer {
public:
    int EvAPICommand(int argc, const char* const* argv, char* reply) override
    {
        const std::string key = argc > 0 ? argv[0] : "";
        if (key == "-queue") {
            later = LZORAPICurrentReply();
            if (later)
                later->Queued();
            std::snprintf(reply, kLZORAPIReplySize, "OK");
            return 0;
        }
        std::snprintf(reply, kLZORAPIReplySize, "%s",
            key == "-nej" ? "Filen ”t.txt” är ingen textfil." : "OK");
        return key == "-nej" ? -1 : 0;
    }
    std::shared_ptr<LZORAPIReply> later;
};

} // namespace

// The later start learns the outcome of its request: carried out, refused with the reason, or
// waiting behind a modal window (and then its outcome, when that comes soon enough); a record
// the running instance drops ends the wait at once.
TEST_F(SingleInstanceTest, TheLaterStartLearnsTheOutcome)
{
    AnsweringGui gui;
    LZORAPIServerHandler handler(&gui);
    bool drop = false;
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv,
                  [&](const LSingleInstance::Arguments& record) {
                      records.push_back(record);
                      if (!drop)
                          LSingleInstanceDispatch(record, handler, [] {});
                  }),
        LSingleInstance::kPrimary);

    // Runs a later start on a thread of its own while the main loop turns here.
    auto later = [&](std::vector<const char*> args, unsigned queuedMs, size_t records) {
        LSingleInstance::Answer answer;
        std::atomic<bool> done { false };
        std::thread start([&] {
            LSingleInstance second(channel.c_str());
            if (second.Start(int(args.size()), args.data(), nullptr) == LSingleInstance::kDelivered)
                answer = second.WaitAnswer(10000, queuedMs);
            done = true;
            LRunLoop::Post([] {}); // wakes the loop that waits for it
        });
        Pump(records);
        LRunLoop::RunUntil(
            nullptr, 0, [&] { return done.load(); }, true, 15000);
        start.join();
        return answer;
    };

    auto answer = later({ "vorantel", "-ok", "x" }, 2000, 1);
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kDone);
    EXPECT_EQ(answer.text, "OK");
    answer = later({ "vorantel", "-nej", "t.txt" }, 2000, 2);
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kRefused);
    EXPECT_EQ(answer.result, -1);
    EXPECT_EQ(answer.text, "Filen ”t.txt” är ingen textfil.");
    answer = later({ "vorantel" }, 2000, 3); // comes forward
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kDone);

    // Queued, and never finished within the grace: the later start says it waits.
    const auto start = std::chrono::steady_clock::now();
    answer = later({ "vorantel", "-queue", "x" }, 300, 4);
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kQueued);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(gui.later);
    gui.later->Finish(0, "OK"); // nobody listens any more: nothing breaks
    gui.later.reset();

    // Queued, and finished while the later start still waits: it learns the outcome.
    answer = [&] {
        LSingleInstance::Answer a;
        std::atomic<bool> done { false };
        std::thread t([&] {
            LSingleInstance second(channel.c_str());
            const char* args[] = { "vorantel", "-queue", "y" };
            if (second.Start(3, args, nullptr) == LSingleInstance::kDelivered)
                a = second.WaitAnswer(10000, 5000);
            done = true;
            LRunLoop::Post([] {}); // wakes the loop that waits for it
        });
        Pump(5);
        LRunLoop::RunUntil(
            nullptr, 0, [&] { return gui.later != nullptr; }, true, 5000);
        if (gui.later)
            gui.later->Finish(-1, "Sent nej");
        gui.later.reset();
        LRunLoop::RunUntil(
            nullptr, 0, [&] { return done.load(); }, true, 15000);
        t.join();
        return a;
    }();
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kRefused);
    EXPECT_EQ(answer.text, "Sent nej");

    // Dropped by the running instance: no answer, and no long wait for it.
    drop = true;
    const auto dropped = std::chrono::steady_clock::now();
    answer = later({ "vorantel", "-ok", "z" }, 2000, 6);
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kNoAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::seconds(5));
}

// Answer frames as the later start reads them: whole frames one by one, a frame that is not all
// there waits for its bytes, and an unknown kind or a length past the limit is no frame.
TEST(SingleInstanceFrames, ReadWholeOrNotAtAll)
{
    std::string bytes = LSingleInstanceFrameBytes('P', 0, "Vorantel arbetar.")
        + LSingleInstanceFrameBytes('W', 0, "Varning") + LSingleInstanceFrameBytes('F', -1, "Nej");
    ASSERT_EQ(bytes.size(), 9u + 17 + 9 + 7 + 9 + 3);
    // Little-endian result and length after the kind.
    EXPECT_EQ(bytes.substr(0, 9), std::string("P\0\0\0\0\x11\0\0\0", 9));
    std::string partial = bytes.substr(0, 20);
    LSingleInstanceFrame frame;
    EXPECT_EQ(LSingleInstanceTakeFrame(partial, frame), 0);
    EXPECT_EQ(partial.size(), 20u);
    std::vector<std::string> seen;
    while (LSingleInstanceTakeFrame(bytes, frame) == 1)
        seen.push_back(std::string(1, frame.kind) + std::to_string(frame.result) + frame.text);
    EXPECT_EQ(seen, (std::vector<std::string> { "P0Vorantel arbetar.", "W0Varning", "F-1Nej" }));
    EXPECT_TRUE(bytes.empty());
    std::string unknown = "X" + std::string(8, '\0');
    EXPECT_EQ(LSingleInstanceTakeFrame(unknown, frame), -1);
    std::string tooLong = LSingleInstanceFrameBytes('F', 0, "");
    tooLong[5] = '\x01';
    tooLong[6] = '\x20'; // 8193 bytes announced
    EXPECT_EQ(LSingleInstanceTakeFrame(tooLong, frame), -1);
    // A text past the limit is cut at a character boundary.
    std::string long8193 = std::string(8191, 'a') + "å";
    std::string cut = LSingleInstanceFrameBytes('F', 1, long8193);
    ASSERT_EQ(LSingleInstanceTakeFrame(cut, frame), 1);
    EXPECT_EQ(frame.text, std::string(8191, 'a'));
}

namespace {

// Plays the running instance on one end of a connection: sends the frames, each after its
// pause, then closes (or keeps it open for keepOpenMs first).
LSingleInstance::Answer Answered(const std::vector<std::pair<int, std::string>>& frames,
    unsigned silenceMs, unsigned queuedMs, int keepOpenMs = 0)
{
    int pair[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    std::thread program([&] {
        for (const auto& [pause, frame] : frames) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            SendAll(pair[1], frame.data(), frame.size());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(keepOpenMs));
        shutdown(pair[1], SHUT_RDWR);
    });
    const LSingleInstance::Answer answer
        = LSingleInstance::ReadAnswer(pair[0], silenceMs, queuedMs);
    program.join();
    close(pair[0]);
    close(pair[1]);
    return answer;
}

} // namespace

// Work that takes longer than the later start would wait for a word is followed as long as the
// running instance says it works on it; only an instance that never took the request is "no
// answer", and one that took it and then went silent or away says so (not "no answer").
TEST(SingleInstanceAnswers, LongWorkIsFollowedAndSilenceIsTold)
{
    using A = LSingleInstance::Answer;
    std::vector<std::pair<int, std::string>> working;
    for (int i = 0; i < 12; ++i)
        working.push_back({ 100, LSingleInstanceFrameBytes('P', 0, "Vorantel arbetar.") });
    working.push_back({ 100, LSingleInstanceFrameBytes('W', 0, "Bilden saknas.") });
    working.push_back({ 0, LSingleInstanceFrameBytes('F', 0, "OK") });
    // 1.3 s of work against a start that waits 400 ms for a word.
    A answer = Answered(working, 400, 2000);
    EXPECT_EQ(answer.state, A::kDone);
    EXPECT_EQ(answer.warnings, std::vector<std::string> { "Bilden saknas." });

    // Taken, then nothing more: lost, not unanswered.
    answer = Answered({ { 0, LSingleInstanceFrameBytes('P', 0, "") } }, 300, 2000, 1500);
    EXPECT_EQ(answer.state, A::kLost);
    answer = Answered({ { 0, LSingleInstanceFrameBytes('P', 0, "") } }, 5000, 2000);
    EXPECT_EQ(answer.state, A::kLost);
    // Never taken: no answer (silence or the connection ended).
    answer = Answered({}, 300, 2000, 1500);
    EXPECT_EQ(answer.state, A::kNoAnswer);
    answer = Answered({}, 5000, 2000);
    EXPECT_EQ(answer.state, A::kNoAnswer);
    // Busy: not taken, and said so.
    answer = Answered(
        { { 0,
            LSingleInstanceFrameBytes('F', kLSingleInstanceNotTaken, kLSingleInstanceBusyText) } },
        5000, 2000);
    EXPECT_EQ(answer.state, A::kBusy);
    EXPECT_EQ(answer.text, kLSingleInstanceBusyText);
    // Waiting for the user: the start goes after its grace, keep-alives or not.
    std::vector<std::pair<int, std::string>> queued { { 0,
        LSingleInstanceFrameBytes('Q', 0, "Väntar") } };
    for (int i = 0; i < 20; ++i)
        queued.push_back({ 100, LSingleInstanceFrameBytes('P', 0, "") });
    const auto before = std::chrono::steady_clock::now();
    answer = Answered(queued, 5000, 300);
    EXPECT_EQ(answer.state, A::kQueued);
    EXPECT_EQ(answer.text, "Väntar");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(2500 + 1000));
    // Something that is no frame ends the wait.
    answer = Answered(
        { { 0, LSingleInstanceFrameBytes('P', 0, "") }, { 0, "Z12345678" } }, 5000, 2000);
    EXPECT_EQ(answer.state, A::kLost);
}

// What a later start understands of the answers goes in the record's last slot, which a
// receiver that does not know it never reads; a record whose 128 arguments need that slot goes
// as a continued record instead.
TEST(SingleInstanceRecords, TheSendersFeaturesTravelInTheLastSlot)
{
    for (size_t count : { size_t(3), size_t(127), size_t(128), size_t(200) }) {
        SCOPED_TRACE(count);
        std::vector<std::string> arguments { "vorantel" };
        while (arguments.size() < count)
            arguments.push_back("-a" + std::to_string(arguments.size()));
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        std::thread sender([&] {
            LProcessInterfaceVoid quiet;
            EXPECT_EQ(ProcessNamedPipeSendRequest(quiet, pair[1], arguments, 5000, "progress"),
                LProcessResultSuccess);
            const char after = 'x'; // what follows the request stays unread
            SendAll(pair[1], &after, 1);
        });
        std::vector<std::string> received;
        std::string features;
        LProcessInterfaceVoid quiet;
        ASSERT_EQ(ProcessNamedPipeReceiveRequest(quiet, pair[0], received, &features),
            LProcessResultSuccess);
        sender.join();
        EXPECT_EQ(received, arguments);
        EXPECT_EQ(features, "progress");
        char next = 0;
        EXPECT_EQ(recv(pair[0], &next, 1, 0), 1);
        EXPECT_EQ(next, 'x');
        close(pair[0]);
        close(pair[1]);
    }
    // The same request fed to the reader a byte at a time.
    const std::vector<std::string> arguments { "vorantel", "-open", std::string(400, 'p') };
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    std::thread sender([&] {
        LProcessInterfaceVoid quiet;
        ProcessNamedPipeSendRequest(quiet, pair[1], arguments, 5000, "progress,warnings");
        shutdown(pair[1], SHUT_WR);
    });
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = recv(pair[0], buffer, sizeof buffer, 0)) > 0)
        bytes.append(buffer, size_t(n));
    sender.join();
    close(pair[0]);
    close(pair[1]);
    LNamedPipeRequestReader reader;
    for (size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(reader.Take(bytes.data() + i, 1), 1u) << i;
    EXPECT_EQ(reader.GetState(), LNamedPipeRequestReader::kDone);
    EXPECT_EQ(reader.Take("x", 1), 0u);
    EXPECT_EQ(reader.Arguments(), arguments);
    EXPECT_EQ(reader.Features(), "progress,warnings");
}
