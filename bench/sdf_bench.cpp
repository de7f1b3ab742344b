// Writing a 100,000-chunk container to a file, against one write of the same bytes.
//
// The container writer streams (each chunk header goes out with length 0 and is patched when the
// chunk ends) through the file stream's bounded buffer; the reference builds the same bytes in
// memory beforehand and hands them to the file in one write. Both create and truncate the file
// in every iteration. Each side's file is checked once against the bytes made in memory.
#include "lfw/gen/LSDF.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kItems = 20000; // 20,000 containers of 4 values: 100,000 chunks

std::string BenchPath()
{
    // $TMPDIR (a memory file system, say) or /tmp.
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/vt_sdf_bench_"
        + std::to_string(::getpid()) + ".vtproj";
}

template <class T> bool WriteDocument(T& stream)
{
    LSDFWriter<T> writer;
    writer.Open(stream, 7, 3);
    for (int i = 0; i < kItems; ++i) {
        writer.StartContainer(10);
        writer.WriteInt(1, i);
        writer.WriteFloat(2, 0.5f * static_cast<float>(i));
        writer.WriteString(3, "namn");
        writer.WriteBool(4, (i & 1) != 0);
        writer.EndContainer(10);
    }
    return writer.Close();
}

// The file's bytes are those the writer makes in memory (checked once, after the timing).
bool SameAsInMemory(const std::string& path)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray memory(bytes);
    WriteDocument(memory);
    std::string file;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            file.append(buffer, n);
        std::fclose(f);
    }
    return file.size() == bytes.GetSize()
        && std::memcmp(file.data(), bytes.GetData(), file.size()) == 0;
}

void BM_SDFWriteFile(benchmark::State& state)
{
    std::string path = BenchPath();
    for (auto _ : state) {
        LOutputStreamFile file;
        if (!file.Open(path.c_str()) || !WriteDocument(file) || !file.Close())
            state.SkipWithError("write failed");
    }
    if (!SameAsInMemory(path))
        state.SkipWithError("the file differs from the bytes made in memory");
    ::unlink(path.c_str());
}
BENCHMARK(BM_SDFWriteFile)->Unit(benchmark::kMicrosecond);

void BM_OneBufferedWrite(benchmark::State& state)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray memory(bytes);
    WriteDocument(memory);
    std::string path = BenchPath();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        ssize_t n = ::write(fd, bytes.GetData(), bytes.GetSize());
        if (n != static_cast<ssize_t>(bytes.GetSize()))
            state.SkipWithError("write failed");
        ::close(fd);
    }
    state.counters["bytes"] = static_cast<double>(bytes.GetSize());
    if (!SameAsInMemory(path))
        state.SkipWithError("the file differs from the bytes made in memory");
    ::unlink(path.c_str());
}
BENCHMARK(BM_OneBufferedWrite)->Unit(benchmark::kMicrosecond);

// The same bytes in pieces of the file stream's buffer size: what the system calls alone cost.
void BM_BufferSizedWrites(benchmark::State& state)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray memory(bytes);
    WriteDocument(memory);
    std::string path = BenchPath();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        for (size_t at = 0; at < bytes.GetSize(); at += LOutputStreamFile::kBufferSize) {
            size_t n = std::min(LOutputStreamFile::kBufferSize, bytes.GetSize() - at);
            if (::write(fd, bytes.GetData() + at, n) != static_cast<ssize_t>(n))
                state.SkipWithError("write failed");
        }
        ::close(fd);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_BufferSizedWrites)->Unit(benchmark::kMicrosecond);

void BM_SDFWriteMemory(benchmark::State& state)
{
    for (auto _ : state) {
        LSizedArray<unsigned char> bytes;
        LOutputStreamByteArray memory(bytes);
        WriteDocument(memory);
        benchmark::DoNotOptimize(bytes.GetData());
    }
}
BENCHMARK(BM_SDFWriteMemory)->Unit(benchmark::kMicrosecond);

void BM_SDFReadFile(benchmark::State& state)
{
    std::string path = BenchPath();
    {
        LOutputStreamFile file;
        file.Open(path.c_str());
        WriteDocument(file);
    }
    for (auto _ : state) {
        LInputStreamFile in;
        in.Open(path.c_str());
        LSDFReader<LInputStreamFile> reader;
        reader.Open(in, 7);
        LSDFReaderChunkIterator<LInputStreamFile> items(reader);
        int64_t sum = 0;
        while (items.Next()) {
            LSDFReaderChunkIterator<LInputStreamFile> fields(reader, *items);
            while (fields.Next()) {
                int32_t v = 0;
                if (fields->GetId() == 1 && fields->ReadInt(v))
                    sum += v;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_SDFReadFile)->Unit(benchmark::kMicrosecond);

} // namespace
