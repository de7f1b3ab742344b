// The WBMP reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe (eight a byte), and the black and white it read must come back
// unchanged from the writer.
#include "fuzz/ImageFuzzSupport.h"
#include "lfw/graphics/LWBMPCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader<LProcessWBMPLoad>(data, size, 8, [](const LImageBuffer& image, int32_t result) {
        FuzzCheck(result == 2);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 65536)
            FuzzRoundTrip<LProcessWBMPLoad>(
                image,
                [&](LOutputStreamByteArray& out) {
                    return LProcessWBMPSave<LOutputStreamByteArray>(image, out);
                },
                true);
    });
    return 0;
}
