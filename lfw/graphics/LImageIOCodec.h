// The codecs of the platform's image I/O (platform/imageio): PNG, JPEG, JPEG 2000 and TIFF read
// and written, GIF, DNG and camera raw files read. Readers fill a top-down B8G8R8A8 buffer with
// straight alpha and the file's resolution; writers encode any buffer the pixel-format converter
// can turn into B8G8R8A8, with its horizontal resolution as dots per inch.
//
// Readers exist for LInputStreamFile and LInputStreamBuffer, writers for LOutputStreamFile and
// LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageCodec.h"

#include <cstdint>

// Which decoder the common reader uses: by the data's signature, or the camera raw developer.
enum LCGImageLoadKind : uint32_t {
    LCGImageLoadAuto = 0,
    LCGImageLoadCameraRaw = 1,
};

// The common reader: the first image of the data.
template <class S> struct LProcessCGImageLoad {
    LProcessCGImageLoad(S& s, LImageBuffer& b, LCGImageLoadKind k = LCGImageLoadAuto)
        : stream(s)
        , buffer(b)
        , kind(k)
    {
    }
    S& stream;
    LImageBuffer& buffer;
    LCGImageLoadKind kind;
    // The pixel limit of the thread that made the request (the decoding may run on a worker).
    uint64_t maxPixels = LImageMaxPixels();
    uint32_t result = 0; // bits per pixel of the decoded image
    // The size of an image refused for having more than maxPixels pixels; 0 otherwise.
    uint64_t overLimitWidth = 0;
    uint64_t overLimitHeight = 0;
};

// The per-format readers: the status line names the format, the decoding is the common reader's.
template <class S> struct LProcessPlatformImageLoad {
    LProcessPlatformImageLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    // The document readers' form: two words that play no part in the decoding.
    LProcessPlatformImageLoad(S& s, uint32_t, uint32_t, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    S& stream;
    LImageBuffer& buffer;
    uint32_t result = 0;
};
template <class S> struct LProcessPNGLoad : LProcessPlatformImageLoad<S> {
    using LProcessPlatformImageLoad<S>::LProcessPlatformImageLoad;
};
template <class S> struct LProcessJPEGLoad : LProcessPlatformImageLoad<S> {
    using LProcessPlatformImageLoad<S>::LProcessPlatformImageLoad;
};
template <class S> struct LProcessJPEG2000Load : LProcessPlatformImageLoad<S> {
    using LProcessPlatformImageLoad<S>::LProcessPlatformImageLoad;
};
template <class S> struct LProcessTIFFLoad : LProcessPlatformImageLoad<S> {
    using LProcessPlatformImageLoad<S>::LProcessPlatformImageLoad;
};
template <class S> struct LProcessGIFLoad : LProcessPlatformImageLoad<S> {
    using LProcessPlatformImageLoad<S>::LProcessPlatformImageLoad;
};

// A camera raw file (codec 1 or 11 to 23). On the main thread it is developed on a worker while
// the main thread waits with its event loop running.
template <class S> struct LProcessCamRAWLoad {
    LProcessCamRAWLoad(S& s, LImageBuffer& b, uint32_t c)
        : stream(s)
        , buffer(b)
        , codec(c)
    {
    }
    S& stream;
    LImageBuffer& buffer;
    uint32_t codec;
    uint32_t result = 0;
};

// Encoder kinds.
enum LCGImageSaveKind : uint32_t {
    LCGImageSaveBMP = 0,
    LCGImageSaveJPEG = 1,
    LCGImageSaveJPEG2000 = 2,
    LCGImageSavePNG = 3,
    LCGImageSaveTIFF = 4,
};

struct LImageAlphaOptions;

template <class S> struct LProcessCGImageSave {
    LProcessCGImageSave(const LImageBuffer& b, S& s, uint32_t k, int32_t q)
        : buffer(b)
        , stream(s)
        , kind(k)
        , quality(q)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
    uint32_t kind; // LCGImageSaveKind
    int32_t quality; // 0-100, -1 for none
    // PNG and TIFF: with keepAlpha false the picture is flattened onto the background colour
    // and written without alpha. Null: the file keeps the buffer's alpha.
    const LImageAlphaOptions* alphaOptions = nullptr;
    // PNG and JPEG: told the progress of the encoding, and asked whether to stop (the encoding
    // then fails). Null: neither.
    LProcessInterface* job = nullptr;
};

// Encodes the buffer and writes the bytes to the stream; false on any failure (a short write
// and a stop included).
template <class S> bool LCGImageSaveWriteImage(LProcessCGImageSave<S>& r);

template <class S> struct LProcessJPEGSave {
    LProcessJPEGSave(const LImageBuffer& b, S& s, uint32_t q)
        : buffer(b)
        , stream(s)
        , quality(q)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
    uint32_t quality;
};

template <class S> struct LProcessJPEG2000Save {
    LProcessJPEG2000Save(const LImageBuffer& b, S& s, uint32_t given, uint32_t q)
        : buffer(b)
        , stream(s)
        , qualityGiven(given)
        , quality(q)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
    uint32_t qualityGiven; // 0: quality 100
    uint32_t quality;
};

// Alpha of the PNG and TIFF writers: kept (the default), or removed by blending every pixel
// over the background colour (blue, green and red in its low three bytes; -1 is white).
struct LImageAlphaOptions {
    bool keepAlpha = true;
    int32_t background = -1;
};

template <class S> struct LProcessPNGSave {
    LProcessPNGSave(const LImageBuffer& b, S& s, const LImageAlphaOptions* o = nullptr)
        : buffer(b)
        , stream(s)
        , options(o)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
    const LImageAlphaOptions* options;
};

template <class S> struct LProcessTIFFSave {
    LProcessTIFFSave(const LImageBuffer& b, S& s, const LImageAlphaOptions* o = nullptr)
        : buffer(b)
        , stream(s)
        , options(o)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
    const LImageAlphaOptions* options;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessCGImageLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNGLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEGLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEG2000Load<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessTIFFLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessGIFLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessCamRAWLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEGSave<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessJPEG2000Save<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNGSave<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessTIFFSave<S>& r);
