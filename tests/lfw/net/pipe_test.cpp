#include "lfw/net/LPipeListener.h"
#include "lfw/zor/LZORAPIServer.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Reads one record, runs it as an API command and writes the reply back (as the test's own
// per-connection thread; the program's threads hand records to the main window instead).
class ApiThread : public LPipeListenerThreadBase {
public:
    using LPipeListenerThreadBase::LPipeListenerThreadBase;

protected:
    void ThreadFunction() override
    {
        CopyData record;
        if (ProcessNamedPipeReceiveRecord(*this, fFd, record) != LProcessResultSuccess)
            return;
        const char* argv[CopyData::kMaxArguments];
        for (int i = 0; i < record.count; ++i)
            argv[i] = record.arguments[i];
        char reply[kLZORAPIReplySize];
        LZORAPIServerHandler handler;
        handler.ExecuteCommand(record.count - 1, argv + 1, reply);
        send(fFd, reply, std::strlen(reply), MSG_NOSIGNAL);
    }
};

using ApiListener = LPipeListenerWithThreads<ApiThread>;

std::string Ask(const char* channel, std::vector<const char*> args)
{
    LNamedPipeRef pipe;
    if (pipe._Open(channel) < 0)
        return "<no listener>";
    CopyData record;
    record.SetArguments(int(args.size()), args.data());
    LProcessInterfaceVoid job;
    if (ProcessNamedPipeSendRecord(job, pipe.GetDescriptor(), record, 5000) != 0)
        return "<send failed>";
    std::string reply;
    char buffer[256];
    for (int waited = 0; waited < 5000;) {
        ssize_t n = recv(pipe.GetDescriptor(), buffer, sizeof buffer, 0);
        if (n > 0) {
            reply.append(buffer, size_t(n));
            continue;
        }
        if (n == 0)
            break;
        usleep(10000);
        waited += 10;
    }
    return reply;
}

class PipeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.IsValid());
        chmod(runtime.Path().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
    TemporaryFolder runtime;
};

} // namespace

TEST(ApiCommands, AnsweredWithoutTheWindow)
{
    LZORAPIServerHandler handler;
    char reply[kLZORAPIReplySize];
    const char* version[] = { "-version" };
    EXPECT_EQ(handler.ExecuteCommand(1, version, reply), 0);
    EXPECT_STREQ(reply, "6.27");
    const char* test[] = { "-testapi", "x" };
    EXPECT_EQ(handler.ExecuteCommand(2, test, reply), 0);
    EXPECT_STREQ(reply, "API-test OK [x].");
    EXPECT_EQ(handler.ExecuteCommand(1, test, reply), -1);
    EXPECT_STREQ(reply, "API-test misslyckas (Inga data).");
    EXPECT_EQ(handler.ExecuteCommand(0, test, reply), -2);
    EXPECT_STREQ(reply, "Kommandot har inte angets.");
    std::string huge(20000, 'y');
    const char* big[] = { "-testapi", huge.c_str() };
    EXPECT_EQ(handler.ExecuteCommand(2, big, reply), 0);
    EXPECT_EQ(std::strlen(reply), kLZORAPIReplySize - 1);
}

TEST(ApiCommands, RecordsAreNeverCutAndAlwaysTerminated)
{
    std::vector<std::string> many(200, "a");
    std::vector<const char*> argv;
    for (auto& s : many)
        argv.push_back(s.c_str());
    CopyData record;
    EXPECT_FALSE(record.SetArguments(int(argv.size()), argv.data()));
    EXPECT_EQ(record.count, 0);
    EXPECT_TRUE(record.SetArguments(128, argv.data()));
    EXPECT_EQ(record.count, 128);
    many[1] = std::string(259, 'b');
    argv[1] = many[1].c_str();
    EXPECT_TRUE(record.SetArguments(2, argv.data()));
    EXPECT_EQ(std::strlen(record.arguments[1]), 259u);
    many[1] += 'b';
    argv[1] = many[1].c_str();
    EXPECT_FALSE(record.SetArguments(2, argv.data()));
    std::memset(static_cast<void*>(&record), 'z', sizeof record);
    record.Terminate();
    EXPECT_LE(record.count, 128);
    EXPECT_GE(record.count, 0);
    EXPECT_EQ(std::strlen(record.arguments[127]), 259u);
}

TEST_F(PipeTest, SocketLivesInTheRuntimeFolderClosedToOthers)
{
    char path[kLPathSize];
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    EXPECT_EQ(std::string(path), runtime.Path() + "/.spipe.Vorantel");
    ApiListener listener;
    listener.SetPath(path);
    listener.Start(20);
    ASSERT_TRUE(listener.WaitListening(5000));
    struct stat st;
    ASSERT_EQ(lstat(path, &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Ask("Vorantel", { "prog", "-version" }), "6.27");
    EXPECT_EQ(Ask("Vorantel", { "prog", "-testapi", "x" }), "API-test OK [x].");
    EXPECT_EQ(Ask("Nobody", { "prog", "-version" }), "<no listener>");
}

TEST_F(PipeTest, StaleSocketFileIsReplacedAndTwoClientsAreServed)
{
    char path[kLPathSize];
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    // A socket file left by a crashed run: bound, then closed without unlinking.
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    std::strcpy(a.sun_path, path);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    close(stale);
    LNamedPipeRef probe;
    EXPECT_EQ(probe._Open("Vorantel"), -1);

    ApiListener listener;
    listener.SetPath(path);
    listener.Start(20);
    ASSERT_TRUE(listener.WaitListening(5000));
    std::string first, second;
    std::thread one([&] { first = Ask("Vorantel", { "p", "-testapi", "one" }); });
    std::thread two([&] { second = Ask("Vorantel", { "p", "-testapi", "two" }); });
    one.join();
    two.join();
    EXPECT_EQ(first, "API-test OK [one].");
    EXPECT_EQ(second, "API-test OK [two].");

    // A second listener on the live channel does not take it over.
    ApiListener intruder;
    intruder.SetPath(path);
    intruder.Start(20);
    EXPECT_FALSE(intruder.WaitListening(2000));
    EXPECT_EQ(Ask("Vorantel", { "p", "-version" }), "6.27");
}

TEST_F(PipeTest, ListenerEndsAndRemovesItsFile)
{
    char path[kLPathSize];
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    {
        ApiListener listener;
        listener.SetPath(path);
        listener.Start(20);
        ASSERT_TRUE(listener.WaitListening(5000));
        // A client that connects and goes away without a record.
        LNamedPipeRef quiet;
        ASSERT_GE(quiet._Open("Vorantel"), 0);
    }
    EXPECT_FALSE(LFile::TestFileExists(path));
}

TEST_F(PipeTest, PathsThatDoNotFitAreRefused)
{
    std::string deep = runtime.Path() + "/" + std::string(100, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    char path[kLPathSize];
    EXPECT_FALSE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    EXPECT_EQ(LNamedPipeListen((deep + "/.spipe.Vorantel").c_str()), -1);
    // A runtime folder open to others is not used: a private one in the temporary folder is
    // (here one of the test's own, so that nothing is left behind).
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    chmod(runtime.Path().c_str(), 0777);
    TemporaryFolder temporary;
    const char* oldTemporary = getenv("TMPDIR");
    const std::string saved = oldTemporary ? oldTemporary : "";
    setenv("TMPDIR", temporary.Path().c_str(), 1);
    char folder[kLPathSize];
    const bool found = LNamedPipeGetRuntimeFolder(folder);
    if (oldTemporary)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    chmod(runtime.Path().c_str(), 0700);
    ASSERT_TRUE(found);
    EXPECT_EQ(std::string(folder), temporary / ("vorantel-" + std::to_string(getuid())));
}

TEST_F(PipeTest, SendArgumentsToAnotherInstance)
{
    char path[kLPathSize];
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Other"));
    EXPECT_FALSE(LLaunchSendArgumentsToInstance(nullptr, "Other", "/tmp/file.vtproj", false, "t"));
    ApiListener listener;
    listener.SetPath(path);
    listener.Start(20);
    ASSERT_TRUE(listener.WaitListening(5000));
    EXPECT_TRUE(LLaunchSendArgumentsToInstance(nullptr, "Other", "/tmp/file.vtproj", false, "t"));
}
