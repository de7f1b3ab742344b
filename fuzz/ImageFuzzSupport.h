// Shared by the image reader fuzz targets: a failed check stops the program where the fuzzer
// sees it, and a picture that was read must come back through its format's writer and reader.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>
#include <cstring>

inline void FuzzCheck(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Writes the image with the save request that makeSave(stream) builds on a byte-array stream,
// reads the bytes back with a Load request and checks the size; with compareRows, also every
// stored row.
template <template <class> class Load, class MakeSave>
void FuzzRoundTrip(const LImageBuffer& image, MakeSave makeSave, bool compareRows)
{
    LProcessInterfaceVoid job;
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray out(array);
    auto save = makeSave(out);
    FuzzCheck(Process(job, save) == LProcessResultSuccess);
    LInputStreamBuffer in(array.GetData(), array.GetCount());
    LImageBuffer back;
    Load<LInputStreamBuffer> load(in, back);
    FuzzCheck(Process(job, load) == LProcessResultSuccess);
    FuzzCheck(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight());
    if (!compareRows)
        return;
    const uint64_t rowBytes = back.GetFormat().RowBytes();
    for (int y = 0; y < image.GetHeight(); ++y)
        FuzzCheck(std::memcmp(back.GetRow(y), image.GetRow(y), rowBytes) == 0);
}

// Runs the Load request of a reader on the bytes: it must end with 0 or 2 and never hold more
// pixels than pixelsPerByte for each byte of the data (plus slack for tiny inputs). A picture
// it read goes to onRead(image, result value).
template <template <class> class Load, class OnRead>
void FuzzReader(const uint8_t* data, size_t size, uint64_t pixelsPerByte, OnRead onRead)
{
    LProcessInterfaceVoid job;
    LInputStreamBuffer stream(data, size);
    LImageBuffer image;
    Load<LInputStreamBuffer> request(stream, image);
    const LProcessResult r = Process(job, request);
    FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
    if (image.HasStore())
        FuzzCheck(uint64_t(image.GetWidth()) * uint64_t(image.GetHeight())
            <= uint64_t(size) * pixelsPerByte + 1024);
    if (r == LProcessResultSuccess) {
        FuzzCheck(image.IsValid());
        onRead(image, int32_t(request.result));
    }
}
