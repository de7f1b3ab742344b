#include "lfw/zor/LSingleInstance.h"
#include "platform/ui/LRunLoop.h"
#include "support/TemporaryFolder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
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
        return [this](const CopyData& r) { records.push_back(r); };
    }
    TemporaryFolder runtime;
    std::string channel;
    std::vector<CopyData> records;
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
    EXPECT_EQ(records[0].count, 2);
    EXPECT_STREQ(records[0].arguments[1], "a.vtproj");
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

    // 200 arguments arrive as 128; an argument of 300 bytes as 259.
    std::vector<std::string> many(200, "x");
    many[1] = std::string(300, 'b');
    std::vector<const char*> pointers;
    for (auto& s : many)
        pointers.push_back(s.c_str());
    auto record = std::make_unique<CopyData>();
    record->SetArguments(200, pointers.data());
    EXPECT_EQ(record->count, 128);
    record->count = 1000000; // a lying count
    std::memset(record->arguments[2], 'c', CopyData::kSlotSize); // an unterminated slot
    int fd = RawConnect(channel);
    ASSERT_GE(fd, 0);
    SendAll(fd, record.get(), sizeof *record);
    close(fd);
    Pump(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].count, 128);
    EXPECT_EQ(strlen(records[0].arguments[1]), 259u);
    EXPECT_EQ(strlen(records[0].arguments[2]), 259u);

    // 20,000 bytes, then the sender goes: nothing happens.
    fd = RawConnect(channel);
    ASSERT_GE(fd, 0);
    SendAll(fd, record.get(), 20000);
    close(fd);
    Pump(2, 500);
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(SingleInstanceTest, ManyIdleConnectionsAreCappedAndTheChannelRecovers)
{
    LSingleInstance first(channel.c_str());
    const char* argv[] = { "vorantel" };
    ASSERT_EQ(first.Start(1, argv, Collect()), LSingleInstance::kPrimary);
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        int fd = RawConnect(channel);
        if (fd >= 0)
            idle.push_back(fd);
    }
    for (int fd : idle)
        close(fd);
    // The served ones see the close and end; a real start gets through again.
    LSingleInstance later(channel.c_str());
    const char* args[] = { "vorantel", "b.vtproj" };
    // Until the served threads have seen their closes (late on a busy machine), a start may
    // still be sent into a connection beyond the cap that the listener closes unread: the
    // sender cannot tell, so try again until a record arrives.
    for (int i = 0; i < 100 && records.empty(); ++i) {
        later.Start(2, args, nullptr);
        Pump(1, 200);
    }
    ASSERT_GE(records.size(), 1u);
    for (const CopyData& r : records)
        EXPECT_STREQ(r.arguments[1], "b.vtproj");
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
            auto r = p->Start(2, argv, [](const CopyData&) {});
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
    auto record = std::make_unique<CopyData>();
    const char* one[] = { "vorantel" };
    record->SetArguments(1, one);
    LSingleInstanceDispatch(*record, handler, [&] { ++forward; });
    EXPECT_EQ(forward, 1);
    EXPECT_TRUE(gui.calls.empty());
    const char* three[] = { "vorantel", "-open", "a.vtproj" };
    record->SetArguments(3, three);
    LSingleInstanceDispatch(*record, handler, [&] { ++forward; });
    ASSERT_EQ(gui.calls.size(), 1u);
    EXPECT_EQ(gui.calls[0], (std::vector<std::string> { "-open", "a.vtproj" }));
    record->count = -5;
    LSingleInstanceDispatch(*record, handler, [&] { ++forward; });
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
                  [&](const CopyData& record) {
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
