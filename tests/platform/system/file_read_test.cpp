// Opening files for reading without waiting on what a path names: a FIFO nobody writes, a
// device and a folder are refused at once with their errno, a regular file reads as usual
// through a blocking descriptor, and whole files (also the kernel's, which tell no size) are
// read to their end within a limit.
#include "platform/system/FileRead.h"

#include "support/TemporaryFolder.h"
#include "support/UnwrittenFifo.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace sys = platform::system;

TEST(FileRead, OnlyRegularFilesOpenAndNothingIsWaitedOn)
{
    TemporaryFolder folder;
    ASSERT_TRUE(folder.IsValid());
    TemporaryFolder::WriteFile(folder / "a.txt", "abc");
    const int fd = sys::OpenForReading((folder / "a.txt").c_str());
    ASSERT_GE(fd, 0);
    // Reads block as usual and the descriptor does not go to programs started later.
    EXPECT_EQ(::fcntl(fd, F_GETFL) & (O_NONBLOCK | O_ACCMODE), O_RDONLY);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    char bytes[8] = {};
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), 3);
    ::close(fd);

    UnwrittenFifo fifo(folder / "rör.png");
    ASSERT_TRUE(fifo.Made());
    struct Case {
        std::string path;
        int error;
    } const cases[] = {
        { fifo.Path(), sys::kSpecialNotFile },
        { "/dev/null", sys::kSpecialNotFile },
        { folder.Path(), sys::kFolderNotFile },
        { folder / "saknas.txt", ENOENT },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        errno = 0;
        EXPECT_EQ(sys::OpenForReading(c.path.c_str()), -1);
        EXPECT_EQ(errno, c.error);
        std::string text = "kvar";
        EXPECT_FALSE(sys::ReadWholeFile(c.path.c_str(), text));
        EXPECT_EQ(errno, c.error);
        EXPECT_EQ(text, "");
        EXPECT_EQ(sys::IsNotAFile(c.error), c.error != ENOENT);
    }
    EXPECT_FALSE(fifo.Released()) << "a reader waited on the FIFO";

    // A link to the FIFO is followed and refused; with O_NOFOLLOW the link itself is refused.
    ASSERT_EQ(::symlink(fifo.Path().c_str(), (folder / "länk").c_str()), 0);
    errno = 0;
    EXPECT_EQ(sys::OpenForReading((folder / "länk").c_str()), -1);
    EXPECT_EQ(errno, sys::kSpecialNotFile);
    EXPECT_EQ(sys::OpenForReading((folder / "länk").c_str(), O_NOFOLLOW), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(fifo.Released()) << "a reader waited on the FIFO";
}

TEST(FileRead, WholeFilesAreReadToTheirEndWithinTheLimit)
{
    TemporaryFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string big(200000, 'x');
    TemporaryFolder::WriteFile(folder / "big", big);
    std::string text;
    EXPECT_TRUE(sys::ReadWholeFile((folder / "big").c_str(), text));
    EXPECT_EQ(text, big);
    EXPECT_TRUE(sys::ReadWholeFile((folder / "big").c_str(), text, big.size()));
    EXPECT_FALSE(sys::ReadWholeFile((folder / "big").c_str(), text, big.size() - 1));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(text, "");
    // The kernel's files tell a size of 0 and are read all the same.
    EXPECT_TRUE(sys::ReadWholeFile("/proc/self/status", text));
    EXPECT_NE(text.find("VmRSS:"), std::string::npos);
}
