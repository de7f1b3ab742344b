// The label-layout reader on arbitrary bytes, from memory and through the load job on a file. It
// must end with 0, 1 or 2; a layout it accepts must be one the writer accepts too, and writing,
// reading and writing again must give the same bytes.
#include "app/VTLabelLayout.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

bool Write(const VTLabelLayout& layout, LSizedArray<unsigned char>& bytes)
{
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    LProcessInterfaceVoid job;
    return writer.Open(stream, kVTLabelLayoutFileType, kVTLabelLayoutFileVersion)
        && writer.StartContainer(kVTLabelLayoutChunk)
        && layout.SerialiseToSDF(job, writer) == LProcessResultSuccess
        && writer.EndContainer(kVTLabelLayoutChunk) && writer.Close();
}

// The reading steps of the load job, over memory.
LProcessResult Read(const unsigned char* data, size_t size, VTLabelLayout& layout)
{
    LInputStreamBuffer stream(size ? data : reinterpret_cast<const unsigned char*>(""), size);
    LSDFReader<LInputStreamBuffer> reader;
    if (!reader.Open(stream, kVTLabelLayoutFileType))
        return LProcessResultError;
    if (reader.GetFileVersion() > kVTLabelLayoutFileVersion)
        return LProcessResultError;
    LSDFReaderChunkIterator<LInputStreamBuffer> it(reader);
    if (!it.Next() || it->GetId() != kVTLabelLayoutChunk)
        return LProcessResultError;
    LProcessInterfaceVoid job;
    return layout.SerialiseFromSDF(job, reader, *it);
}

void CheckAccepted(const VTLabelLayout& layout)
{
    if (layout.GetSaveProblem())
        __builtin_trap(); // read, but could not be saved again
    LSizedArray<unsigned char> first;
    if (!Write(layout, first))
        __builtin_trap();
    VTLabelLayout again;
    if (Read(first.GetData(), first.GetSize(), again) != LProcessResultSuccess)
        __builtin_trap(); // written, but refused by the reader
    LSizedArray<unsigned char> second;
    if (!Write(again, second) || second.GetSize() != first.GetSize()
        || std::memcmp(first.GetData(), second.GetData(), first.GetSize()) != 0)
        __builtin_trap();
    // A copy is written the same way.
    VTLabelLayout copy(again);
    LSizedArray<unsigned char> third;
    if (!Write(copy, third) || third.GetSize() != first.GetSize()
        || std::memcmp(first.GetData(), third.GetData(), first.GetSize()) != 0)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VTLabelLayout layout;
    const LProcessResult r = Read(data, size, layout);
    if (r != LProcessResultSuccess && r != LProcessResultError)
        __builtin_trap();
    if (r == LProcessResultSuccess)
        CheckAccepted(layout);

    // The load job on a file with the same bytes gives the same answer.
    int fd = ::memfd_create("vtlayout_fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t written = 0;
    while (written < size) {
        ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    VTLabelLayoutLoad load;
    VTLabelLayout fromFile;
    load.layout = &fromFile;
    std::snprintf(load.path, sizeof load.path, "/proc/self/fd/%d", fd);
    LProcessInterfaceVoid job;
    const LProcessResult fileResult = Process(job, load);
    ::close(fd);
    if (written == size && fileResult != r)
        __builtin_trap();
    return 0;
}
