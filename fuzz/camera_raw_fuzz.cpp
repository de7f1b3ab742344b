// The camera raw developer (LibRaw, opened on first use) on arbitrary bytes, as a file named
// after a raw format reaches it: every input must end with 0 or 2, and a picture it developed is
// a valid buffer within the readers' pixel limit, lowered for the run so that a legal but huge
// declared size is refused instead of filling the fuzzer's memory.
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
    // Codec 1 is DNG; every raw codec number takes the same road.
    LProcessCamRAWLoad<LInputStreamBuffer> request(stream, image, 1);
    const LProcessResult r = Process(job, request);
    FuzzCheck(r == LProcessResultSuccess || r == LProcessResultError);
    if (r == LProcessResultSuccess) {
        FuzzCheck(image.IsValid() && image.GetPixelFormat() == LPixelFormatB8G8R8A8);
        FuzzCheck(uint64_t(image.GetWidth()) * uint64_t(image.GetHeight()) <= (uint64_t(1) << 22));
    } else {
        FuzzCheck(!image.HasStore());
    }
    return 0;
}
