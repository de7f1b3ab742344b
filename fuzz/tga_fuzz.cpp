// The TGA reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe (a packet of 128 pixels in two bytes), and what it read must
// survive the writer; pictures without alpha come back unchanged.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LTGACodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader<LProcessTGALoad>(data, size, 64, [](const LImageBuffer& image, int32_t depth) {
        FuzzCheck(depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
            FuzzRoundTrip<LProcessTGALoad>(
                image,
                [&](LOutputStreamByteArray& out) {
                    return LProcessTGASave<LOutputStreamByteArray>(image, out);
                },
                image.GetPixelFormat() == LPixelFormatB8G8R8);
    });
    return 0;
}
