// Fuzzes the chunk container reader over memory and over a file: every chunk is read by its
// type, containers are walked (to a nesting depth a document loader would have), and what was
// read is written back through the writer and read again.
#include "lfw/gen/LSDF.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int kMaxDepth = 32;

template <class T>
void Walk(LSDFReader<T>& reader, const LSDFChunkInfo<T>& container, int depth,
    LSDFWriter<LOutputStreamByteArray>& writer)
{
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        LSDFReaderChunk<T>& chunk = *it;
        switch (chunk.GetType()) {
        case kLSDFTypeContainer:
            if (depth < kMaxDepth) {
                writer.StartContainer(chunk.GetId());
                Walk(reader, chunk, depth + 1, writer);
                writer.EndContainer(chunk.GetId());
            }
            break;
        case kLSDFTypeBool: {
            bool value = false;
            if (chunk.ReadBool(value))
                writer.WriteBool(chunk.GetId(), value);
            break;
        }
        case kLSDFTypeInt: {
            int32_t value = 0;
            if (chunk.ReadInt(value))
                writer.WriteInt(chunk.GetId(), value);
            break;
        }
        case kLSDFTypeFloat: {
            float value = 0;
            if (chunk.ReadFloat(value))
                writer.WriteFloat(chunk.GetId(), value);
            break;
        }
        case kLSDFTypeString:
            if (chunk.GetId() & 1) {
                char text[LSDFReaderChunk<T>::kStringBufferSize];
                if (chunk.ReadString(text) && std::strlen(text) >= sizeof text)
                    __builtin_trap();
                writer.WriteString(chunk.GetId(), text);
            } else {
                LStringLongTemplate<char> text;
                if (chunk.ReadString(text))
                    writer.WriteString(chunk.GetId(), text.GetString());
            }
            break;
        default: {
            LSDFUnknownChunk unknown;
            if (chunk.ReadUnknownChunk(unknown))
                writer.WriteUnknownChunk(unknown);
            break;
        }
        }
    }
}

template <class T> void ReadAndRewrite(T& stream)
{
    LSDFReader<T> reader;
    if (!reader.Open(stream, 7))
        return;
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray out(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    writer.Open(out, 7, reader.GetFileVersion());
    Walk(reader, reader.GetRootChunk(), 0, writer);
    writer.Close();

    // What was written must read back cleanly.
    LInputStreamBuffer again(bytes.GetData(), bytes.GetSize());
    LSDFReader<LInputStreamBuffer> check;
    if (!check.Open(again, 7))
        __builtin_trap();
    LSizedArray<unsigned char> ignored;
    LOutputStreamByteArray sink(ignored);
    LSDFWriter<LOutputStreamByteArray> second;
    second.Open(sink, 7, check.GetFileVersion());
    Walk(check, check.GetRootChunk(), 0, second);
    if (!check.IsGood())
        __builtin_trap();
}

// Keeps every top-level chunk as an unknown chunk and writes them all back through the put-back
// mechanism: the new root must hold the same bytes (chunks of length 0 are not written back).
template <class T> void PutBackEverything(T& stream)
{
    LSDFReader<T> reader;
    if (!reader.Open(stream, 7))
        return;
    LList<LSDFUnknownChunk> chunks;
    std::string expected;
    LSDFReaderChunkIterator<T> it(reader);
    while (it.Next()) {
        auto* chunk = new LSDFUnknownChunk;
        if (!it->ReadUnknownChunk(*chunk)) {
            delete chunk;
            break;
        }
        chunks.AddTail(chunk);
        if (chunk->GetLength() == 0)
            continue;
        unsigned char header[kLSDFChunkHeaderSize];
        _LSDF::PutHeader(header, chunk->id, chunk->type, chunk->GetLength());
        expected.append(reinterpret_cast<const char*>(header), sizeof header);
        expected.append(
            reinterpret_cast<const char*>(chunk->data.GetData()), chunk->data.GetSize());
    }
    if (!reader.IsGood())
        return;
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray out(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    writer.Open(out, 7, reader.GetFileVersion(), &chunks);
    if (!writer.Close())
        __builtin_trap();
    std::string root(reinterpret_cast<const char*>(bytes.GetData()) + 24, bytes.GetSize() - 28);
    if (root != expected)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LInputStreamBuffer buffer(size ? data : reinterpret_cast<const uint8_t*>(""), size);
    ReadAndRewrite(buffer);
    LInputStreamBuffer again(size ? data : reinterpret_cast<const uint8_t*>(""), size);
    PutBackEverything(again);

    int fd = ::memfd_create("sdf_fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t written = 0;
    while (written < size) {
        ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    LInputStreamFile file(fd);
    ReadAndRewrite(file);
    file.Close();
    ::close(fd);
    return 0;
}
