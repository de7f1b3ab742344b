// PNG through libpng.
#include "platform/imageio/ImageIOPrivate.h"

#include <csetjmp>
#include <png.h>

namespace platform::imageio::detail {

namespace {

void PNGError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PNGWarning(png_structp, png_const_charp)
{
}

void PNGRead(png_structp png, png_bytep out, size_t n)
{
    auto* cursor = static_cast<Cursor*>(png_get_io_ptr(png));
    if (cursor->Read(out, n) != n)
        png_error(png, "truncated");
}

void PNGWrite(png_structp png, png_bytep data, size_t n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void PNGFlush(png_structp)
{
}

// The most ancillary chunks kept from one file (more are passed over), and the largest chunk
// other than the pixel data (a larger one makes the file unreadable; an EXIF block is read whole).
constexpr png_uint_32 kChunkCacheMax = 64;
constexpr png_alloc_size_t kChunkMallocMax = 8000000;

} // namespace

Result DecodePNG(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    Cursor cursor { source };
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PNGError, PNGWarning);
    if (!png)
        return Result::Failed;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Result::Failed;
    }
    volatile Result result = Result::Failed;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        return result;
    }
    png_set_read_fn(png, &cursor, PNGRead);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    // A picture costs what its pixels cost: the chunks nothing here reads (texts, which libpng
    // would inflate one by one and keep, colour profiles, suggested palettes) are skipped without
    // being inflated or kept, and what else a file may add is bounded in count and size.
    static const png_byte kUnused[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, int(sizeof kUnused / 5));
    png_set_chunk_cache_max(png, kChunkCacheMax);
    png_set_chunk_malloc_max(png, kChunkMallocMax);
    png_read_info(png, pngInfo);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, pngInfo, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (!SizeAcceptable(width, height, options, info))
        png_longjmp(png, 1);
    // The filtered rows (a filter byte each) come out of deflate, which makes at most 1032
    // bytes of one.
    const uint64_t rawBytes = uint64_t(height)
        * (1 + (uint64_t(width) * depth * png_get_channels(png, pngInfo) + 7) / 8);
    if (rawBytes > source.Size() * 1032 + 65536)
        png_longjmp(png, 1);
    info.width = width;
    info.height = height;
    info.bitsPerPixel = uint32_t(depth) * png_get_channels(png, pngInfo);

    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, pngInfo, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0
        && resY > 0) {
        info.dpiX = resX * 0.0254;
        info.dpiY = resY * 0.0254;
    }
#ifdef PNG_eXIf_SUPPORTED
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, pngInfo, &exifSize, &exif) && exif)
        ParseExif(exif, exifSize, info.orientation, info.dpiX, info.dpiY);
#endif

    png_set_expand(png);
    if (depth == 16)
        png_set_scale_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    bool hasAlpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, pngInfo, PNG_INFO_tRNS);
    if (!hasAlpha)
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, pngInfo);
    if (png_get_rowbytes(png, pngInfo) != size_t(width) * 4)
        png_longjmp(png, 1);

    size_t stride = 0;
    uint8_t* first = Allocate(allocate, width, height, stride);
    if (!first)
        png_longjmp(png, 1);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if ((y & 63) == 0 && Stopped(options)) {
                result = Result::Stopped;
                png_longjmp(png, 1);
            }
            png_read_row(png, first + size_t(y) * stride, nullptr);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    return Result::Ok;
}

bool EncodePNG(const EncodeInput& in, std::vector<uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PNGError, PNGWarning);
    if (!png)
        return false;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &pngInfo);
        out.clear();
        return false;
    }
    out.reserve(size_t(in.width) * in.height + 1024);
    png_set_write_fn(png, &out, PNGWrite, PNGFlush);
    png_set_IHDR(png, pngInfo, in.width, in.height, 8,
        in.ignoreAlpha ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (in.dpiX > 0 && in.dpiY > 0)
        png_set_pHYs(png, pngInfo, png_uint_32(in.dpiX / 0.0254 + 0.5),
            png_uint_32(in.dpiY / 0.0254 + 0.5), PNG_RESOLUTION_METER);
    if (in.pngCompression >= 0 && in.pngCompression <= 9)
        png_set_compression_level(png, in.pngCompression);
    png_write_info(png, pngInfo);
    png_set_bgr(png);
    if (in.ignoreAlpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    const uint8_t* row = in.firstRow;
    for (uint32_t y = 0; y < in.height; ++y, row += in.stride) {
        if ((y & 63) == 0 && in.progress && !in.progress(double(y) / double(in.height)))
            png_longjmp(png, 1);
        png_write_row(png, const_cast<png_bytep>(row));
    }
    png_write_end(png, pngInfo);
    png_destroy_write_struct(&png, &pngInfo);
    return true;
}

} // namespace platform::imageio::detail
