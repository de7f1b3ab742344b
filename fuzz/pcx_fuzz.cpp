// The PCX reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe (a run of 63 bytes in two, eight 1-bit pixels a byte), and what
// it read must come back unchanged from the writer.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LPCXCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader<LProcessPCXLoad>(data, size, 256, [](const LImageBuffer& image, int32_t bits) {
        FuzzCheck(bits == 1 || bits == 8 || bits == 24);
        FuzzCheck(image.GetPixelFormat() == LPixelFormatB8G8R8);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
            FuzzRoundTrip<LProcessPCXLoad>(
                image,
                [&](LOutputStreamByteArray& out) {
                    return LProcessPCXSave<LOutputStreamByteArray>(image, out);
                },
                true);
    });
    return 0;
}
