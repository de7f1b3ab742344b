// Loading and saving image files: the jobs that open a file by its extension's codec and the
// dispatchers that hand a stream to the reader or writer of one codec, and the LImage entry
// points built on them.
//
// A save writes a temporary file beside the target and renames it over the target only when
// every byte was written, so a failed or stopped save leaves the target as it was.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Loading a file: path, lock time-out, an optional codec rule and the buffer to fill. result
// becomes the file image's bits per pixel when the load succeeds.
struct LProcessImageLoadFile {
    LProcessImageLoadFile(const char* path, unsigned int timeout, const LImageCodecVetoer* vetoer,
        LImageBuffer& buffer);

    char path[kLLongPathSize]; // empty when the path given was longer
    bool pathTooLong = false;
    uint32_t timeout; // ms to wait for the shared lock
    const LImageCodecVetoer* vetoer; // may be null
    LImageBuffer& buffer;
    uint32_t result = 0;
};

// Saving a file.
struct LProcessImageSaveFile {
    LProcessImageSaveFile(const LImageBuffer& buffer, const char* path,
        const LImageEncodeSettings& settings, unsigned int timeout,
        const LImageCodecVetoer* vetoer);

    const LImageBuffer& buffer;
    char path[kLLongPathSize]; // empty when the path given was longer
    bool pathTooLong = false;
    LImageEncodeSettings settings;
    uint32_t timeout;
    const LImageCodecVetoer* vetoer; // may be null
};

// The load dispatcher's request (LInputStreamFile and LInputStreamBuffer).
template <class S> struct LProcessImageLoad {
    LProcessImageLoad(S& s, LImageCodec c, LImageBuffer& b)
        : stream(s)
        , codec(c)
        , buffer(b)
    {
    }
    S& stream;
    LImageCodec codec;
    LImageBuffer& buffer;
    uint32_t result = 0; // bits per pixel as the reader reports it
};

// The save dispatcher's request (LOutputStreamFile and LOutputStreamByteArray).
template <class S> struct LProcessImageSave {
    LProcessImageSave(const LImageBuffer& b, LImageCodec c, const LImageEncodeSettings& s, S& out)
        : buffer(b)
        , codec(c)
        , settings(s)
        , stream(out)
    {
    }
    const LImageBuffer& buffer;
    LImageCodec codec;
    LImageEncodeSettings settings;
    S& stream;
};

LProcessResult Process(LProcessInterface& job, LProcessImageLoadFile& r);
LProcessResult Process(LProcessInterface& job, LProcessImageSaveFile& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessImageLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessImageSave<S>& r);

namespace LImage {

// The codec of an image in memory or in the resources.
enum Encoding : uint32_t {
    EncodingJPEG = 0,
    EncodingBMP = 1,
    EncodingGIF = 2,
    EncodingPCX = 3,
    EncodingPNG = 4,
    EncodingPNM = 5,
    EncodingPSD = 6,
    EncodingRAS = 7,
    EncodingTGA = 8,
    EncodingTIFF = 9,
    EncodingWBMP = 10,
};

// The codec number of an encoding; LImageCodec::kNone above 10.
uint32_t EncodingCodec(uint32_t encoding);

// Loads an image file into the buffer: the file image's bits per pixel, or 0 on failure.
unsigned int Load(LImageBuffer& buffer, const char* path, unsigned int timeout);
unsigned int Load(
    LProcessInterface& job, LImageBuffer& buffer, const char* path, unsigned int timeout);
// Decodes bytes in memory of the given encoding: bits per pixel, or 0.
unsigned int Load(LImageBuffer& buffer, const void* data, size_t size, uint32_t encoding);
// Loads the image resource "resources/<type>/<id>.<type>" of the resources folder, for the
// encodings JPEG, BMP, GIF, PNG and TIFF: bits per pixel, or 0.
unsigned int LoadResource(LImageBuffer& buffer, int id, uint32_t encoding);

// Reads a picture file as far as its header, through the reader its extension names (and the
// vetoer admits): true when the header is whole and gives a size the readers accept, without
// any memory taken for the pixels; otherwise false with why (the reader's own words). Camera raw
// files, which are developed whole before their size is known, are only looked for.
bool ProbeFile(const char* path, const LImageCodecVetoer* vetoer, std::string& why);

// Saves the buffer by the path's extension: with the default settings and a 3000 ms lock wait,
// or with the given ones. True when the file was written.
bool Save(const LImageBuffer& buffer, const char* path);
bool Save(const LImageBuffer& buffer, const char* path, const LImageEncodeSettings& settings,
    unsigned int timeout);

} // namespace LImage
