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
