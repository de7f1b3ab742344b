// Image codecs of the platform: PNG, JPEG, JPEG 2000 and TIFF are decoded and encoded, GIF and
// camera raw files are decoded, through libpng, libjpeg-turbo, OpenJPEG, libtiff, giflib and
// LibRaw. Decoding gives B8G8R8A8 with straight alpha (blue first in memory), the image's
// resolution in dots per inch and its orientation tag; encoding takes B8G8R8A8 rows and a
// resolution. Only the first image of a file with several (GIF frames, TIFF pages) is read; a
// GIF's first frame is placed on its logical screen, except that a screen of more than 2^20
// pixels of which the frame covers less than a quarter gives the frame alone.
//
// Standard library types only: the framework wraps these calls in its own jobs and buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::imageio {

enum class Format { PNG, JPEG, JPEG2000, TIFF, GIF, Raw };

// Random-access bytes to decode from. Each read is independent of the others.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to n bytes from the offset; answers the count copied (0 at or past the end).
    virtual size_t ReadAt(uint64_t offset, void* out, size_t n) = 0;
};

// Bytes in memory (not copied; they must outlive the source).
class MemorySource final : public Source {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data))
        , size_(data ? size : 0)
    {
    }
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* out, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// An open file descriptor, read with pread from the start of the file; the descriptor's own
// position is left alone. The size is taken once, from fstat (0 when that fails).
class FileSource final : public Source {
public:
    explicit FileSource(int fd);
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* out, size_t n) override;

private:
    int fd_;
    uint64_t size_ = 0;
};

enum class Result { Ok, Stopped, Failed };

// The format of the bytes by their signature (PNG, JPEG, GIF, TIFF, JP2 or a JPEG 2000
// codestream); false when none matches. Camera raw files built on TIFF identify as TIFF.
bool Identify(Source& source, Format& format);

struct DecodeOptions {
    // Images of more pixels than this are refused before any pixel memory is taken.
    uint64_t maxPixels = 0x10000000;
    // Asked between rows and between steps; true stops the decode (Result::Stopped).
    std::function<bool()> shouldStop;
};

struct DecodedInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    double dpiX = 0; // 0 when the file records no resolution
    double dpiY = 0;
    int orientation = 1; // the EXIF/TIFF orientation tag, 1 to 8 (1: as stored)
    uint32_t bitsPerPixel = 0; // of the image as the file stores it
    // The size of an image refused for having more pixels than DecodeOptions::maxPixels (the
    // decode then fails); 0 otherwise.
    uint64_t overLimitWidth = 0;
    uint64_t overLimitHeight = 0;
};

// Called once the size is known and checked: answers the first row of a top-down B8G8R8A8
// store of width x height pixels and its stride in bytes (at least width x 4), or null when the
// store cannot be had (the decode then fails).
using Allocator = std::function<uint8_t*(uint32_t width, uint32_t height, size_t& stride)>;

Result Decode(Format format, Source& source, const Allocator& allocate, DecodedInfo& info,
    const DecodeOptions& options = {});

struct EncodeInput {
    const uint8_t* firstRow = nullptr; // the top row, B8G8R8A8 straight alpha
    ptrdiff_t stride = 0; // bytes from one row to the next below (may be negative)
    uint32_t width = 0;
    uint32_t height = 0;
    bool ignoreAlpha = false; // the image is written opaque
    double dpiX = 0; // 0: no resolution is written
    double dpiY = 0;
    int quality = -1; // 0-100 for JPEG and JPEG 2000 (100: lossless for JPEG 2000), -1 default
    int pngCompression = -1; // zlib level 0-9 of a PNG, -1 the library's default
    // PNG and JPEG: told the share of the rows written (0 to 1) every 64 rows; answering false
    // stops the encoding, which then fails (out empty).
    std::function<bool(double done)> progress;
};

// Encodes into out (replacing its contents). GIF and camera raw cannot be encoded.
bool Encode(Format format, const EncodeInput& input, std::vector<uint8_t>& out);

} // namespace platform::imageio
