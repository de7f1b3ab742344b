#include "lfw/gen/LStream.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Lines(LReadFileBuffered& reader, size_t size = 260)
{
    std::vector<std::string> lines;
    std::vector<char> buffer(size);
    while (reader.ReadLine(buffer.data(), size))
        lines.emplace_back(buffer.data());
    return lines;
}

using L = std::vector<std::string>;

} // namespace

TEST(FileLineReading, EveryLineBreakAndTheLastLineWithoutOne)
{
    TemporaryFolder folder;
    std::string path = folder / "lines.txt";
    TemporaryFolder::WriteFile(path, "ett\r\ntvå\nt\rfyra\n\r\nsist");
    LReadFileBuffered reader;
    ASSERT_TRUE(reader.Open(path.c_str(), 5000));
    EXPECT_EQ(Lines(reader), (L { "ett", "två", "t", "fyra", "", "sist" }));
    char buffer[8];
    EXPECT_FALSE(reader.ReadLine(buffer, sizeof buffer)); // end of file
    EXPECT_STREQ(buffer, "");
}

TEST(FileLineReading, EmptyFileAndFinalBreak)
{
    TemporaryFolder folder;
    std::string path = folder / "lines.txt";
    TemporaryFolder::WriteFile(path, "");
    LReadFileBuffered reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(Lines(reader), L {});
    TemporaryFolder::WriteFile(path, "a\n");
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(Lines(reader), L { "a" });
}

TEST(FileLineReading, ACrLfPairSplitByTheBufferIsOneBreak)
{
    TemporaryFolder folder;
    std::string path = folder / "lines.txt";
    // The CR is the last byte of the first 8192-byte refill, its LF the first of the next.
    std::string text(LReadFileBuffered::kBufferSize - 1, 'x');
    text += "\r\nnästa\r\n";
    TemporaryFolder::WriteFile(path, text);
    LReadFileBuffered reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    std::vector<std::string> lines = Lines(reader, 10000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), LReadFileBuffered::kBufferSize - 1);
    EXPECT_EQ(lines[1], "nästa");
}

TEST(FileLineReading, LongLinesAreCutAndTheRestDropped)
{
    TemporaryFolder folder;
    std::string path = folder / "lines.txt";
    TemporaryFolder::WriteFile(path, std::string(1000, 'a') + "\nb\n");
    LReadFileBuffered reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(Lines(reader, 5), (L { "aaaa", "b" }));
}

TEST(FileLineReading, UnbufferedReaderLeavesTheOffsetAfterTheLine)
{
    TemporaryFolder folder;
    std::string path = folder / "lines.txt";
    TemporaryFolder::WriteFile(path, "a\n\rb\r\nc\rd");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    LReadFileRef reader(fd);
    char line[260];
    ASSERT_TRUE(reader.ReadLine(line, sizeof line));
    EXPECT_STREQ(line, "a"); // LF CR is one pair here
    ASSERT_TRUE(reader.ReadLine(line, sizeof line));
    EXPECT_STREQ(line, "b");
    ASSERT_TRUE(reader.ReadLine(line, sizeof line));
    EXPECT_STREQ(line, "c");
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 8); // the "d" was given back
    ASSERT_TRUE(reader.ReadLine(line, sizeof line));
    EXPECT_STREQ(line, "d");
    EXPECT_FALSE(reader.ReadLine(line, sizeof line));
    ::close(fd);
}

TEST(FileStreams, BufferedReadsSeeksAndPositions)
{
    TemporaryFolder folder;
    std::string path = folder / "data.bin";
    std::string data;
    for (int i = 0; i < 30000; ++i)
        data += static_cast<char>(i * 7);
    TemporaryFolder::WriteFile(path, data);
    LInputStreamFile in;
    ASSERT_TRUE(in.Open(path.c_str()));
    EXPECT_EQ(in.GetSize(), data.size());
    char small[10];
    ASSERT_EQ(in.Read(small, 10), 10u); // refills the buffer
    EXPECT_EQ(std::string(small, 10), data.substr(0, 10));
    EXPECT_EQ(in.Tell(), 10u);
    ASSERT_TRUE(in.SeekOffset64(-5)); // back inside the buffer
    EXPECT_EQ(in.Tell(), 5u);
    std::string big(20000, '\0');
    ASSERT_EQ(in.Read(big.data(), big.size()), big.size()); // the rest of the buffer, then directly
    EXPECT_EQ(big, data.substr(5, 20000));
    EXPECT_EQ(in.Tell(), 20005u);
    ASSERT_TRUE(in.Skip(9000));
    ASSERT_EQ(in.Read(small, 10), 10u);
    EXPECT_EQ(std::string(small, 10), data.substr(29005, 10));
    EXPECT_FALSE(in.Skip(1000)); // past the end of the file
    EXPECT_EQ(in.Read(small, 10), 10u); // a refused skip does not move
    EXPECT_FALSE(in.SeekOffset64(-100000));
}

TEST(FileStreams, AttachedDescriptorReadsFromItsOffsetAndIsNotClosed)
{
    TemporaryFolder folder;
    std::string path = folder / "data.bin";
    TemporaryFolder::WriteFile(path, "0123456789");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::lseek(fd, 4, SEEK_SET), 4);
    {
        LInputStreamFile in(fd);
        char two[2];
        ASSERT_EQ(in.Read(two, 2), 2u);
        EXPECT_EQ(std::string(two, 2), "45");
        EXPECT_EQ(in.Tell(), 6u);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC); // still open
    ::close(fd);
}

TEST(FileStreams, MemoryCursorNeverPassesItsEnd)
{
    const char bytes[] = "abcdef";
    LInputStreamBuffer in(bytes, 6);
    char out[8] = {};
    EXPECT_EQ(in.Read(out, 4), 4u);
    EXPECT_EQ(in.Tell(), 4u);
    EXPECT_FALSE(in.Skip(5));
    EXPECT_EQ(in.Tell(), 6u);
    EXPECT_EQ(in.Read(out, 4), 0u);
    LInputStreamBuffer none(nullptr, 10);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.GetSize(), 0u);
}

TEST(FileStreams, OutputPatchesInTheBufferAndInTheFile)
{
    TemporaryFolder folder;
    std::string path = folder / "out.bin";
    LOutputStreamFile out;
    ASSERT_TRUE(out.Open(path.c_str()));
    ASSERT_TRUE(out.Write("HEAD", 4));
    std::string filler(LOutputStreamFile::kBufferSize + 100, '.');
    ASSERT_TRUE(out.Write(filler.data(), filler.size())); // HEAD has gone to the file
    ASSERT_TRUE(out.Write("tail", 4));
    // A patch straddling the flushed part and the buffer, one in the file, one in the buffer.
    std::string straddle = "<>";
    uint64_t end = out.Tell();
    EXPECT_EQ(end, 4 + filler.size() + 4);
    ASSERT_TRUE(out.Patch(0, "head", 4));
    ASSERT_TRUE(out.Patch(end - 4, "TAIL", 4));
    EXPECT_FALSE(out.Patch(end - 2, "xyz", 3)); // past what was written
    EXPECT_EQ(out.Tell(), end);
    ASSERT_TRUE(out.Close());
    std::string expected = "head" + filler + "TAIL";
    EXPECT_EQ(TemporaryFolder::ReadFile(path), expected);
}

TEST(FileStreams, NewFilesHonourTheUmask)
{
    TemporaryFolder folder;
    mode_t old = ::umask(027);
    std::string path = folder / "new.bin";
    {
        LOutputStreamFile out;
        ASSERT_TRUE(out.Open(path.c_str()));
    }
    ::umask(old);
    struct stat st { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

namespace {

struct RecordingProcess : LProcessInterfaceVoid {
    std::vector<double> progress;
    int stopAfter = -1;
    bool IsToStop() override
    {
        return stopAfter >= 0 && static_cast<int>(progress.size()) >= stopAfter;
    }
    void SetProgress(double fraction) override { progress.push_back(fraction); }
};

} // namespace

TEST(FileStreams, JobAwareWriteReportsProgressAndStops)
{
    TemporaryFolder folder;
    std::string path = folder / "job.bin";
    std::string data(20000, 'j');
    {
        LOutputStreamFile out;
        ASSERT_TRUE(out.Open(path.c_str()));
        RecordingProcess process;
        EXPECT_EQ(out.Write(process, data.data(), data.size()), LProcessResultSuccess);
        ASSERT_EQ(process.progress.size(), 3u); // 8192, 8192, 3616
        EXPECT_DOUBLE_EQ(process.progress[0], 8192.0 / 20000);
        EXPECT_DOUBLE_EQ(process.progress[2], 1.0);
        RecordingProcess none;
        EXPECT_EQ(out.Write(none, data.data(), 0), LProcessResultSuccess);
        EXPECT_TRUE(none.progress.empty());
        RecordingProcess stopping;
        stopping.stopAfter = 1;
        EXPECT_EQ(out.Write(stopping, data.data(), data.size()), LProcessResultStopped);
        EXPECT_EQ(stopping.progress.size(), 1u);
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(path).size(), 20000u + 8192u);
    LOutputStreamFile closed;
    RecordingProcess process;
    EXPECT_EQ(closed.Write(process, data.data(), 1), LProcessResultError);
}

TEST(FileStreams, ByteArrayGrowsAndPatches)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray out(array);
    std::string written;
    for (int i = 0; i < 1000; ++i) {
        std::string piece = std::to_string(i) + ",";
        ASSERT_TRUE(out.Write(piece.data(), piece.size()));
        written += piece;
    }
    EXPECT_EQ(array.GetSize(), written.size());
    EXPECT_GE(array.GetCapacity(), written.size());
    ASSERT_TRUE(out.Patch(0, "X", 1));
    EXPECT_FALSE(out.Patch(written.size(), "Y", 1));
    written[0] = 'X';
    EXPECT_EQ(std::string(reinterpret_cast<char*>(array.GetData()), array.GetSize()), written);
}

TEST(FileStreams, WriteStringWritesAllOrReports)
{
    TemporaryFolder folder;
    std::string path = folder / "text.txt";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    LWriteFileRef writer(fd);
    EXPECT_TRUE(writer.WriteString("rad ett\r\n"));
    ::close(fd);
    EXPECT_EQ(TemporaryFolder::ReadFile(path), "rad ett\r\n");
    LWriteFileRef none;
    EXPECT_TRUE(none.WriteString(""));
    EXPECT_FALSE(none.WriteString("x"));
}
