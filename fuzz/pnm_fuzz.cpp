// The PNM reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe, and a pixmap it read must come back unchanged from P3 and P6.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LPNMCodec.h"

#include <cstdint>

namespace {

// Every variant must write and read back; a pixmap's rows must come back unchanged.
void RoundTrip(const LImageBuffer& image, uint32_t variant)
{
    FuzzRoundTrip<LProcessPNMLoad>(
        image,
        [&](LOutputStreamByteArray& out) {
            return LProcessPNMSave<LOutputStreamByteArray>(image, variant, 128, out);
        },
        variant % 3 == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LProcessInterfaceVoid job;
    LInputStreamBuffer stream(data, size);
    LImageBuffer image;
    LProcessPNMLoad<LInputStreamBuffer> request(stream, image);
    const LProcessResult r = Process(job, request);
    FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
    if (image.HasStore())
        FuzzCheck(uint64_t(image.GetWidth()) * uint64_t(image.GetHeight()) <= uint64_t(size) * 8);
    if (r == LProcessResultSuccess) {
        FuzzCheck(image.IsValid());
        const int32_t bits = request.result;
        FuzzCheck(bits == 1 || bits == 8 || bits == 16 || bits == 24 || bits == 48);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 16384)
            for (uint32_t variant = 0; variant < 6; ++variant)
                RoundTrip(image, variant);
    }
    return 0;
}
