// Picture loading by signature, as the file and clipboard readers do it through the platform
// codecs (PNG, JPEG with its EXIF block, GIF, TIFF, JPEG 2000): every input must end with 0 or 2,
// never hold more pixels than its bytes could describe, and a picture it read must come back
// unchanged through the PNG writer and reader. The readers' pixel limit is lowered for the run,
// so that a legal but huge declared size is refused instead of filling the fuzzer's memory.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageIOCodec.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LImagePixelLimit limit(uint64_t(1) << 22);
    LProcessInterfaceVoid job;
    LInputStreamBuffer stream(data, size);
    LImageBuffer image;
    LProcessCGImageLoad<LInputStreamBuffer> request(stream, image);
    const LProcessResult r = Process(job, request);
    FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
    if (r != LProcessResultSuccess) {
        FuzzCheck(!image.HasStore());
        return 0;
    }
    FuzzCheck(image.IsValid() && image.GetPixelFormat() == LPixelFormatB8G8R8A8);
    const uint64_t pixels = uint64_t(image.GetWidth()) * uint64_t(image.GetHeight());
    FuzzCheck(pixels <= (uint64_t(1) << 22));
    // The densest formats (JPEG 2000 and TIFF) give at most 65536 pixels a byte; a GIF keeps at
    // most 2^20 pixels of screen around a frame.
    FuzzCheck(pixels <= uint64_t(size) * 65536 + (uint64_t(1) << 20));
    FuzzCheck(request.result >= 1 && request.result <= 128);
    if (pixels <= 65536)
        FuzzRoundTrip<LProcessPNGLoad>(
            image,
            [&](LOutputStreamByteArray& out) {
                return LProcessPNGSave<LOutputStreamByteArray>(image, out);
            },
            true);
    return 0;
}
