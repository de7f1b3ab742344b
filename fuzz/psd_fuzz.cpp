// The PSD reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe (a run of 128 bytes in two), and what it read must survive the
// layered writer; pictures with alpha come back unchanged.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LPSDCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader<LProcessPSDLoad>(data, size, 64, [](const LImageBuffer& image, int32_t bits) {
        FuzzCheck(bits >= 8 && bits <= 16 * 24);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
            FuzzRoundTrip<LProcessPSDLoad>(
                image,
                [&](LOutputStreamByteArray& out) {
                    return LProcessPSDSave<LOutputStreamByteArray>(image, out);
                },
                image.GetPixelFormat() == LPixelFormatB8G8R8A8);
    });
    return 0;
}
