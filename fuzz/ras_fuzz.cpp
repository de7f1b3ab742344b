// The Sun raster reader on arbitrary bytes: it must end with 0 or 2, never take memory for more
// pixels than the bytes could describe (a run of 256 bytes in three, eight 1-bit pixels a byte),
// and what it read must survive the writer; 24-bit pictures come back unchanged.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LRASCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader<LProcessRASLoad>(data, size, 700, [](const LImageBuffer& image, int32_t bits) {
        FuzzCheck(bits == 24);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
            FuzzRoundTrip<LProcessRASLoad>(
                image,
                [&](LOutputStreamByteArray& out) {
                    return LProcessRASSave<LOutputStreamByteArray>(image, out);
                },
                image.GetPixelFormat() == LPixelFormatB8G8R8);
    });
    return 0;
}
