// The PNM reader on arbitrary bytes: it must end with 0 or 2, never take memory for more pixels
// than the bytes could describe, and a pixmap it read must come back unchanged from P3 and P6.
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LPNMCodec.h"

#include <cstdint>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void RoundTrip(const LImageBuffer& image, uint32_t variant)
{
    LProcessInterfaceVoid job;
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray out(array);
    LProcessPNMSave<LOutputStreamByteArray> save(image, variant, 128, out);
    Check(Process(job, save) == LProcessResultSuccess);
    LInputStreamBuffer in(array.GetData(), array.GetCount());
    LImageBuffer back;
    LProcessPNMLoad<LInputStreamBuffer> load(in, back);
    Check(Process(job, load) == LProcessResultSuccess);
    Check(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight());
    if (variant % 3 == 2) {
        const uint64_t rowBytes = back.GetFormat().RowBytes();
        for (int y = 0; y < image.GetHeight(); ++y)
            Check(std::memcmp(back.GetRow(y), image.GetRow(y), rowBytes) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LProcessInterfaceVoid job;
    LInputStreamBuffer stream(data, size);
    LImageBuffer image;
    LProcessPNMLoad<LInputStreamBuffer> request(stream, image);
    const LProcessResult r = Process(job, request);
    Check(r == LProcessResultSuccess || r == LProcessResultError);
    if (image.HasStore())
        Check(uint64_t(image.GetWidth()) * uint64_t(image.GetHeight()) <= uint64_t(size) * 8);
    if (r == LProcessResultSuccess) {
        Check(image.IsValid());
        const int32_t bits = request.result;
        Check(bits == 1 || bits == 8 || bits == 16 || bits == 24 || bits == 48);
        if (uint64_t(image.GetWidth()) * image.GetHeight() <= 16384)
            for (uint32_t variant = 0; variant < 6; ++variant)
                RoundTrip(image, variant);
    }
    return 0;
}
