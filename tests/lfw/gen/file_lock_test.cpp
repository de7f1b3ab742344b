#include "lfw/gen/LFileLock.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Another process that takes an exclusive lock on the file, reports that it holds it, and
// releases it after holdMs (or when killed).
class LockHolder {
public:
    LockHolder(const std::string& path, int holdMs)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_child = ::fork();
        if (m_child == 0) {
            int fd = ::open(path.c_str(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            char c = 1;
            (void)!::write(ready[1], &c, 1);
            ::usleep(static_cast<useconds_t>(holdMs) * 1000);
            ::_exit(0);
        }
        char c;
        m_ready = ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockHolder()
    {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
    }
    bool IsReady() const { return m_ready; }

private:
    pid_t m_child = -1;
    bool m_ready = false;
};

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

} // namespace

TEST(FileLock, GivesUpAfterItsTimeOutAgainstALockHeldElsewhere)
{
    TemporaryFolder folder;
    std::string path = folder / "shared.vtproj";
    TemporaryFolder::WriteFile(path, "x");
    LockHolder holder(path, 60000);
    ASSERT_TRUE(holder.IsReady());
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto start = Clock::now();
    flocktimed(fd, LOCK_SH | LOCK_NB, 1000);
    long long elapsed = MillisecondsSince(start);
    // Five tries with sleeps of 32, 64, 128, 256 and 512 ms after them: 992 ms in all.
    EXPECT_GE(elapsed, 992);
    EXPECT_LT(elapsed, 30000); // gave up, long before the holder lets go
    EXPECT_FALSE(LFileLockTimed(fd, LOCK_SH | LOCK_NB, 100));
    ::close(fd);
}

TEST(FileLock, TakesTheLockOnceItIsReleased)
{
    TemporaryFolder folder;
    std::string path = folder / "shared.vtproj";
    TemporaryFolder::WriteFile(path, "x");
    LockHolder holder(path, 150);
    ASSERT_TRUE(holder.IsReady());
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto start = Clock::now();
    EXPECT_TRUE(LFileLockTimed(fd, LOCK_EX | LOCK_NB, 5000));
    EXPECT_LT(MillisecondsSince(start), 4000);
    ::close(fd);
}

TEST(FileLock, ReturnsAtOnceWhenFreeOrWhenTheDescriptorIsBad)
{
    TemporaryFolder folder;
    std::string path = folder / "free.txt";
    TemporaryFolder::WriteFile(path, "x");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto start = Clock::now();
    EXPECT_TRUE(LFileLockTimed(fd, LOCK_SH | LOCK_NB, 5000));
    EXPECT_FALSE(LFileLockTimed(-1, LOCK_SH | LOCK_NB, 5000));
    EXPECT_LT(MillisecondsSince(start), 1000);
    ::close(fd);
}
