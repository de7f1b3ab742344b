// The BMP and DIB readers on arbitrary bytes. Each must end with 0 or 2, never take memory for
// more pixels than the bytes could describe, and what it read must survive a write and a read.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LBMPCodec.h"

#include <cstdint>

namespace {

// A B8G8R8A8 picture is written as 32 bits, any other as 24; the rows must come back unchanged.
void RoundTrip(const LImageBuffer& image)
{
    const uint32_t kind = image.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 1 : 0;
    FuzzRoundTrip<LProcessBMPLoad>(
        image,
        [&](LOutputStreamByteArray& out) {
            return LProcessBMPSave<LOutputStreamByteArray>(image, kind, 0xFFFFFFFF, out);
        },
        true);
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
        FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
        if (image.HasStore()) {
            // Never more pixels than the data could describe: a run command of two bytes gives
            // at most 255 of them, an uncompressed pixel at least one bit.
            const uint64_t pixels = uint64_t(image.GetWidth()) * uint64_t(image.GetHeight());
            FuzzCheck(pixels <= uint64_t(size) * 128 + 255);
        }
        if (r == LProcessResultSuccess) {
            FuzzCheck(image.IsValid() && request.result >= 1 && request.result <= 32);
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
        FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
        if (r == LProcessResultSuccess)
            FuzzCheck(image.IsValid());
    }
    return 0;
}
