// The framework's side of the platform image codecs: streams to byte sources, decoded images
// into image buffers, buffers into encoded bytes on a stream.
#include "lfw/graphics/LImageIOCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LBMPCodec.h"
#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/ios/LThread.h"
#include "platform/imageio/ImageIO.h"

#include <cmath>
#include <vector>

namespace imageio = platform::imageio;

namespace {

// The file form reads the stream's descriptor at any offset without disturbing its position;
// the memory form reads the whole buffer.
imageio::FileSource MakeSource(LInputStreamFile& stream)
{
    return imageio::FileSource(stream.GetDescriptor());
}

imageio::MemorySource MakeSource(LInputStreamBuffer& stream)
{
    // The buffer's start: the current pointer less what was already read.
    const unsigned char* start
        = stream.GetCurrent() ? stream.GetCurrent() - stream.Tell() : nullptr;
    return imageio::MemorySource(start, start ? size_t(stream.GetSize()) : 0);
}

bool StreamUsable(const LInputStreamFile& stream)
{
    return stream.IsOpen();
}
bool StreamUsable(const LInputStreamBuffer& stream)
{
    return stream.IsOpen();
}

int32_t PixelsPerMetre(double dpi)
{
    if (!(dpi > 0) || dpi > 1e6)
        return 0;
    return int32_t(std::lround(dpi / 0.0254));
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessCGImageLoad<S>& r)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    r.result = 0;
    if (!StreamUsable(r.stream))
        return LProcessResultError;
    auto source = MakeSource(r.stream);
    imageio::Format format;
    if (r.kind == LCGImageLoadCameraRaw)
        format = imageio::Format::Raw;
    else if (!imageio::Identify(source, format))
        return LProcessResultError;

    // The buffer is only touched once the image is known to be decodable at its size.
    LImageBuffer decoded;
    imageio::DecodeOptions options;
    options.maxPixels = r.maxPixels;
    options.shouldStop = [&job] { return job.IsToStop(); };
    imageio::Allocator allocate = [&](uint32_t w, uint32_t h, size_t& stride) -> uint8_t* {
        if (w < 1 || h < 1 || uint64_t(w) * h > r.maxPixels || LImageHeaderProbe::StopsAt(w, h)
            || !LImageMayTakePixels(w, h))
            return nullptr;
        decoded.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, int(w), int(h)));
        if (!decoded.IsValid())
            return nullptr;
        stride = size_t(decoded.GetStride());
        return decoded.GetData();
    };
    imageio::DecodedInfo info;
    const imageio::Result result = imageio::Decode(format, source, allocate, info, options);
    if (result == imageio::Result::Stopped || job.IsToStop())
        return LProcessResultStopped;
    if (info.overLimitWidth) {
        r.overLimitWidth = info.overLimitWidth;
        r.overLimitHeight = info.overLimitHeight;
        LImageOverLimit::Note(info.overLimitWidth, info.overLimitHeight, r.maxPixels);
    }
    if (result != imageio::Result::Ok || !decoded.IsValid())
        return LProcessResultError;
    decoded.SetResolution(PixelsPerMetre(info.dpiX), PixelsPerMetre(info.dpiY));
    r.buffer.Assign(decoded);
    r.result = info.bitsPerPixel;
    return LProcessResultSuccess;
}

namespace {

template <class S>
LProcessResult LoadFormat(LProcessInterface& job, LProcessPlatformImageLoad<S>& r, const char* name)
{
    job.SetStatusF(0, "Avkodning %s bild", name);
    LProcessCGImageLoad<S> load(r.stream, r.buffer);
    const LProcessResult result = Process(job, load);
    r.result = load.result;
    return result;
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNGLoad<S>& r)
{
    return LoadFormat(job, r, "PNG");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEGLoad<S>& r)
{
    return LoadFormat(job, r, "JPEG");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEG2000Load<S>& r)
{
    return LoadFormat(job, r, "JPEG 2000");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessTIFFLoad<S>& r)
{
    return LoadFormat(job, r, "TIFF");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessGIFLoad<S>& r)
{
    return LoadFormat(job, r, "GIF");
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessCamRAWLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "RAW");
    LProcessCGImageLoad<S> load(r.stream, r.buffer, LCGImageLoadCameraRaw);
    LProcessResult result;
    if (LThreadIsMainThread()) {
        // Developing a raw file takes seconds: the main thread keeps its loop turning meanwhile.
        LProcessThreadData<LProcessCGImageLoad<S>> data(load);
        result = Process(job, data);
        // Refused for its size on the worker: noted on this thread, where the caller looks.
        if (load.overLimitWidth)
            LImageOverLimit::Note(load.overLimitWidth, load.overLimitHeight, load.maxPixels);
    } else {
        result = Process(job, load);
    }
    r.result = load.result;
    return result;
}

// ---- Writing -----------------------------------------------------------------------------------

namespace {

// A copy of a B8G8R8A8 picture blended over the background colour (B, G, R in its low three
// bytes) and made opaque; false when the copy cannot be had.
bool Flatten(LImageBuffer& out, const LImageBuffer& source, uint32_t background)
{
    const int width = source.GetWidth(), height = source.GetHeight();
    out.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    if (!out.IsValid())
        return false;
    const unsigned back[3]
        = { background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF };
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = source.GetPictureRow(y);
        uint8_t* to = out.GetPictureRow(y);
        for (int x = 0; x < width; ++x, in += 4, to += 4) {
            const unsigned a = in[3];
            for (int c = 0; c < 3; ++c)
                to[c] = uint8_t((in[c] * a + back[c] * (255 - a) + 127) / 255);
            to[3] = 255;
        }
    }
    return true;
}

// True when every pixel of a B8G8R8A8 picture has alpha 255.
bool IsOpaque(const LImageBuffer& pixels)
{
    const int width = pixels.GetWidth(), height = pixels.GetHeight();
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = pixels.GetPictureRow(y);
        unsigned all = 255;
        for (int x = 0; x < width; ++x)
            all &= p[x * 4 + 3];
        if (all != 255)
            return false;
    }
    return true;
}

bool WriteAll(LOutputStreamFile& stream, const std::vector<uint8_t>& bytes)
{
    return stream.IsOpen() && stream.Write(bytes.data(), bytes.size());
}

bool WriteAll(LOutputStreamByteArray& stream, const std::vector<uint8_t>& bytes)
{
    return stream.Write(bytes.data(), bytes.size());
}

} // namespace

template <class S> bool LCGImageSaveWriteImage(LProcessCGImageSave<S>& r)
{
    const LImageBuffer& source = r.buffer;
    if (!source.IsValid() || r.kind > LCGImageSaveTIFF)
        return false;
    if (r.kind == LCGImageSaveBMP) {
        // The bitmap kind is the framework's own 24-bit writer, alpha ignored.
        LProcessInterfaceVoid quiet;
        LProcessBMPSave<S> bmp(source, 0, 0xFFFFFFFF, r.stream);
        bmp.ignoreAlpha = true;
        return Process(quiet, bmp) == LProcessResultSuccess;
    }

    // Pixels as B8G8R8A8 rows, top row first.
    const LImageBuffer* pixels = &source;
    LImageBuffer converted;
    if (source.GetPixelFormat() > LPixelFormatR8G8B8)
        return false; // no conversion from indexed or 4-bit pixels
    if (source.GetPixelFormat() != LPixelFormatB8G8R8A8) {
        converted.AllocateNewBuffer(
            LImageFormat(LPixelFormatB8G8R8A8, source.GetWidth(), source.GetHeight()));
        if (!converted.IsValid())
            return false;
        LConvertPixelFormat(converted, source);
        pixels = &converted;
    }
    imageio::EncodeInput input;
    input.firstRow = pixels->GetPictureRow(0);
    input.stride
        = pixels->IsBottomUp() ? -ptrdiff_t(pixels->GetStride()) : ptrdiff_t(pixels->GetStride());
    input.width = uint32_t(pixels->GetWidth());
    input.height = uint32_t(pixels->GetHeight());
    input.ignoreAlpha = r.kind == LCGImageSaveJPEG;
    LImageBuffer flattened;
    if (r.alphaOptions && !r.alphaOptions->keepAlpha
        && (r.kind == LCGImageSavePNG || r.kind == LCGImageSaveTIFF)) {
        if (!Flatten(flattened, *pixels, uint32_t(r.alphaOptions->background)))
            return false;
        input.firstRow = flattened.GetPictureRow(0);
        input.stride = flattened.IsBottomUp() ? -ptrdiff_t(flattened.GetStride())
                                              : ptrdiff_t(flattened.GetStride());
        input.ignoreAlpha = true;
    }
    // A PNG of a picture without a single translucent pixel is written as RGB: the alpha channel
    // would only make the file larger and slower to write.
    if (r.kind == LCGImageSavePNG && !input.ignoreAlpha
        && (!LPixelFormatHasAlpha(source.GetPixelFormat()) || IsOpaque(*pixels)))
        input.ignoreAlpha = true;
    const int32_t resolution = source.GetFormat().horizontalResolution;
    if (resolution >= 1)
        input.dpiX = input.dpiY = double(float(resolution * 0.0254));
    input.quality = r.kind == LCGImageSaveJPEG || r.kind == LCGImageSaveJPEG2000 ? r.quality : -1;
    if (LProcessInterface* job = r.job)
        input.progress = [job](double done) {
            job->SetProgress(done);
            return !job->IsToStop();
        };

    static const imageio::Format formats[] = { imageio::Format::PNG, imageio::Format::JPEG,
        imageio::Format::JPEG2000, imageio::Format::PNG, imageio::Format::TIFF };
    std::vector<uint8_t> bytes;
    if (!imageio::Encode(formats[r.kind], input, bytes) || bytes.empty())
        return false;
    return WriteAll(r.stream, bytes);
}

namespace {

template <class S>
LProcessResult SaveKind(LProcessInterface& job, const LImageBuffer& buffer, S& stream,
    uint32_t kind, int32_t quality, const char* name, const LImageAlphaOptions* options = nullptr)
{
    job.SetStatusF(0, "Kodning %s bild", name);
    LProcessCGImageSave<S> save(buffer, stream, kind, quality);
    save.alphaOptions = options;
    save.job = &job;
    if (LCGImageSaveWriteImage(save)) {
        job.SetProgress(1.0);
        return LProcessResultSuccess;
    }
    return job.IsToStop() ? LProcessResultStopped : LProcessResultError;
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEGSave<S>& r)
{
    return SaveKind(job, r.buffer, r.stream, LCGImageSaveJPEG, int32_t(r.quality), "JPEG");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEG2000Save<S>& r)
{
    const int32_t quality = r.qualityGiven ? int32_t(r.quality) : 100;
    return SaveKind(job, r.buffer, r.stream, LCGImageSaveJPEG2000, quality, "JPEG 2000");
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNGSave<S>& r)
{
    return SaveKind(job, r.buffer, r.stream, LCGImageSavePNG, -1, "PNG", r.options);
}
template <class S> LProcessResult Process(LProcessInterface& job, LProcessTIFFSave<S>& r)
{
    return SaveKind(job, r.buffer, r.stream, LCGImageSaveTIFF, -1, "TIFF", r.options);
}

#define VT_IMAGEIO_READERS(S)                                                                      \
    template LProcessResult Process(LProcessInterface&, LProcessCGImageLoad<S>&);                  \
    template LProcessResult Process(LProcessInterface&, LProcessPNGLoad<S>&);                      \
    template LProcessResult Process(LProcessInterface&, LProcessJPEGLoad<S>&);                     \
    template LProcessResult Process(LProcessInterface&, LProcessJPEG2000Load<S>&);                 \
    template LProcessResult Process(LProcessInterface&, LProcessTIFFLoad<S>&);                     \
    template LProcessResult Process(LProcessInterface&, LProcessGIFLoad<S>&);                      \
    template LProcessResult Process(LProcessInterface&, LProcessCamRAWLoad<S>&);
#define VT_IMAGEIO_WRITERS(S)                                                                      \
    template bool LCGImageSaveWriteImage(LProcessCGImageSave<S>&);                                 \
    template LProcessResult Process(LProcessInterface&, LProcessJPEGSave<S>&);                     \
    template LProcessResult Process(LProcessInterface&, LProcessJPEG2000Save<S>&);                 \
    template LProcessResult Process(LProcessInterface&, LProcessPNGSave<S>&);                      \
    template LProcessResult Process(LProcessInterface&, LProcessTIFFSave<S>&);

VT_IMAGEIO_READERS(LInputStreamFile)
VT_IMAGEIO_READERS(LInputStreamBuffer)
VT_IMAGEIO_WRITERS(LOutputStreamFile)
VT_IMAGEIO_WRITERS(LOutputStreamByteArray)
