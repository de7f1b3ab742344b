// Sources, the format dispatch and the EXIF reader shared by the codecs.
#include "platform/imageio/ImageIO.h"

#include "platform/imageio/ImageIOPrivate.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::imageio {

size_t MemorySource::ReadAt(uint64_t offset, void* out, size_t n)
{
    if (offset >= size_)
        return 0;
    size_t count = std::min<uint64_t>(n, size_ - offset);
    std::memcpy(out, data_ + offset, count);
    return count;
}

FileSource::FileSource(int fd)
    : fd_(fd)
{
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > 0)
        size_ = uint64_t(st.st_size);
}

size_t FileSource::ReadAt(uint64_t offset, void* out, size_t n)
{
    if (fd_ < 0 || offset >= size_)
        return 0;
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(out);
    while (done < n) {
        ssize_t got = pread(fd_, p + done, n - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += size_t(got);
    }
    return done;
}

bool Identify(Source& source, Format& format)
{
    uint8_t b[12] = {};
    const size_t n = source.ReadAt(0, b, sizeof b);
    static const uint8_t png[8] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
    static const uint8_t jp2[12] = { 0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A };
    if (n >= 8 && std::memcmp(b, png, 8) == 0)
        format = Format::PNG;
    else if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        format = Format::JPEG;
    else if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0))
        format = Format::GIF;
    else if (n >= 4
        && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0
            || std::memcmp(b, "II+\0", 4) == 0 || std::memcmp(b, "MM\0+", 4) == 0))
        format = Format::TIFF;
    else if ((n >= 12 && std::memcmp(b, jp2, 12) == 0)
        || (n >= 4 && b[0] == 0xFF && b[1] == 0x4F && b[2] == 0xFF && b[3] == 0x51))
        format = Format::JPEG2000;
    else
        return false;
    return true;
}

Result Decode(Format format, Source& source, const Allocator& allocate, DecodedInfo& info,
    const DecodeOptions& options)
{
    info = DecodedInfo();
    if (detail::Stopped(options))
        return Result::Stopped;
    switch (format) {
    case Format::PNG:
        return detail::DecodePNG(source, allocate, info, options);
    case Format::JPEG:
        return detail::DecodeJPEG(source, allocate, info, options);
    case Format::JPEG2000:
        return detail::DecodeJPEG2000(source, allocate, info, options);
    case Format::TIFF:
        return detail::DecodeTIFF(source, allocate, info, options);
    case Format::GIF:
        return detail::DecodeGIF(source, allocate, info, options);
    case Format::Raw:
        return detail::DecodeRaw(source, allocate, info, options);
    }
    return Result::Failed;
}

bool Encode(Format format, const EncodeInput& input, std::vector<uint8_t>& out)
{
    out.clear();
    if (!input.firstRow || input.width < 1 || input.height < 1 || input.width > 0x7FFFFFFF
        || input.height > 0x7FFFFFFF)
        return false;
    uint64_t rowBytes = uint64_t(input.width) * 4;
    if (uint64_t(input.stride < 0 ? -input.stride : input.stride) < rowBytes)
        return false;
    switch (format) {
    case Format::PNG:
        return detail::EncodePNG(input, out);
    case Format::JPEG:
        return detail::EncodeJPEG(input, out);
    case Format::JPEG2000:
        return detail::EncodeJPEG2000(input, out);
    case Format::TIFF:
        return detail::EncodeTIFF(input, out);
    case Format::GIF:
    case Format::Raw:
        break;
    }
    return false;
}

namespace detail {

namespace {

struct ExifReader {
    const uint8_t* data;
    size_t size;
    bool little;

    bool U16(size_t at, uint32_t& v) const
    {
        if (at > size || size - at < 2)
            return false;
        v = little ? uint32_t(data[at] | data[at + 1] << 8)
                   : uint32_t(data[at] << 8 | data[at + 1]);
        return true;
    }
    bool U32(size_t at, uint32_t& v) const
    {
        if (at > size || size - at < 4)
            return false;
        const uint8_t* p = data + at;
        v = little
            ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
            : uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
        return true;
    }
    bool Rational(size_t at, double& v) const
    {
        uint32_t num, den;
        if (!U32(at, num) || !U32(at + 4, den) || den == 0)
            return false;
        v = double(num) / double(den);
        return true;
    }
};

} // namespace

void ParseExif(const uint8_t* data, size_t size, int& orientation, double& dpiX, double& dpiY)
{
    if (!data || size < 8)
        return;
    ExifReader r { data, size, data[0] == 'I' };
    if (!((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
        return;
    uint32_t magic, ifd, count;
    if (!r.U16(2, magic) || magic != 42 || !r.U32(4, ifd) || !r.U16(ifd, count))
        return;
    double x = 0, y = 0;
    uint32_t unit = 2;
    for (uint32_t i = 0; i < count && i < 1000; ++i) {
        size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        uint32_t tag, type, value;
        if (!r.U16(entry, tag) || !r.U16(entry + 2, type))
            return;
        if (tag == 0x0112 && type == 3 && r.U16(entry + 8, value) && value >= 1 && value <= 8)
            orientation = int(value);
        else if ((tag == 0x011A || tag == 0x011B) && type == 5 && r.U32(entry + 8, value))
            r.Rational(value, tag == 0x011A ? x : y);
        else if (tag == 0x0128 && type == 3 && r.U16(entry + 8, value))
            unit = value;
    }
    if (unit == 2 || unit == 3) {
        double scale = unit == 3 ? 2.54 : 1.0;
        if (x > 0 && y > 0 && dpiX == 0 && dpiY == 0) {
            dpiX = x * scale;
            dpiY = y * scale;
        }
    }
}

} // namespace detail
} // namespace platform::imageio
