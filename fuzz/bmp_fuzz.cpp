// The BMP and DIB readers on arbitrary bytes. Each must end with 0 or 2, never take memory for
// more pixels than the bytes could describe, and what it read must survive a write and a read.
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LBMPCodec.h"

#include <cstdint>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void RoundTrip(const LImageBuffer& image)
{
    LProcessInterfaceVoid job;
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray out(array);
    const uint32_t kind = image.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 1 : 0;
    LProcessBMPSave<LOutputStreamByteArray> save(image, kind, 0xFFFFFFFF, out);
    Check(Process(job, save) == LProcessResultSuccess);
    LInputStreamBuffer in(array.GetData(), array.GetCount());
    LImageBuffer back;
    LProcessBMPLoad<LInputStreamBuffer> load(in, back);
    Check(Process(job, load) == LProcessResultSuccess);
    Check(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight());
    const uint64_t rowBytes = back.GetFormat().RowBytes();
    for (int y = 0; y < image.GetHeight(); ++y)
        Check(std::memcmp(back.GetRow(y), image.GetRow(y), rowBytes) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LProcessInterfaceVoid job;
    {
        LInputStreamBuffer stream(data, size);
        LImageBuffer image;
        LProcessBMPLoad<LInputStreamBuffer> request(stream, image);
        const LProcessResult r = Process(job, request);
        Check(r == LProcessResultSuccess || r == LProcessResultError);
        if (image.HasStore()) {
            // Never more pixels than the data could describe: a run command of two bytes gives
            // at most 255 of them, an uncompressed pixel at least one bit.
            const uint64_t pixels = uint64_t(image.GetWidth()) * uint64_t(image.GetHeight());
            Check(pixels <= uint64_t(size) * 128 + 255);
        }
        if (r == LProcessResultSuccess) {
            Check(image.IsValid() && request.result >= 1 && request.result <= 32);
            if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
                RoundTrip(image);
        }
    }
    {
        // The same bytes as a DIB without file header.
        LInputStreamBuffer stream(data, size);
        LImageBuffer image;
        LProcessDIBLoad<LInputStreamBuffer> request(stream, 0, image);
        const LProcessResult r = Process(job, request);
        Check(r == LProcessResultSuccess || r == LProcessResultError);
        if (r == LProcessResultSuccess)
            Check(image.IsValid());
    }
    return 0;
}
