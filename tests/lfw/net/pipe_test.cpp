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
}

// Without a runtime folder of its own (none set, or one open to others) the channel lives in a
// folder of the user's own cache folder, closed to others and named for the host; a folder there
// that another user made first, or one open to others, is never used: the reason is told. A
// folder another user made in the system's temporary folder, where the channel once lived,
// changes nothing.
TEST_F(PipeTest, WithoutARuntimeFolderTheChannelLivesInTheUsersCache)
{
    TemporaryFolder cache, temporary;
    const char* old[] = { "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "TMPDIR" };
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = getenv(old[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
    setenv("TMPDIR", temporary.Path().c_str(), 1);
    char host[65] = "";
    gethostname(host, sizeof host - 1);
    const std::string expected = cache.Path() + "/vorantel/run-" + host;
    const bool root = geteuid() == 0;
    if (root) {
        // Another user's folder where the channel used to go.
        const std::string theirs = temporary / ("vorantel-" + std::to_string(getuid()));
        ASSERT_EQ(mkdir(theirs.c_str(), 0700), 0);
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    }
    char folder[kLPathSize];
    std::string why;
    // No runtime folder; then one open to others.
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(LNamedPipeGetRuntimeFolder(folder, &why)) << why;
    EXPECT_EQ(std::string(folder), expected);
    struct stat st = {};
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, getuid());
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    chmod(runtime.Path().c_str(), 0777);
    EXPECT_TRUE(LNamedPipeGetRuntimeFolder(folder, &why));
    chmod(runtime.Path().c_str(), 0700);
    EXPECT_EQ(std::string(folder), expected);
    char path[kLPathSize];
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    EXPECT_EQ(std::string(path), expected + "/.spipe.Vorantel");

    // Opened to others: refused, with the reason.
    ASSERT_EQ(chmod(expected.c_str(), 0755), 0);
    EXPECT_FALSE(LNamedPipeGetRuntimeFolder(folder, &why));
    EXPECT_EQ(why, "Mappen ”" + expected + "” är öppen för andra användare.");
    EXPECT_FALSE(LNamedPipeRef::MakeFilePath(path, "Vorantel"));
    if (root) {
        // Made first by another user.
        ASSERT_EQ(chmod(expected.c_str(), 0700), 0);
        ASSERT_EQ(chown(expected.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(LNamedPipeGetRuntimeFolder(folder, &why));
        EXPECT_EQ(why, "Mappen ”" + expected + "” tillhör en annan användare.");
        ASSERT_EQ(chown(expected.c_str(), 0, 0), 0);
    }
    for (int i = 0; i < 3; ++i) {
        if (had[i])
            setenv(old[i], saved[i].c_str(), 1);
        else
            unsetenv(old[i]);
    }
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
