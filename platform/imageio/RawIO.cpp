// Camera raw files (and DNG) through LibRaw, developed to 8-bit RGB.
#include "platform/imageio/ImageIOPrivate.h"

#include <libraw/libraw.h>
#include <memory>

namespace platform::imageio::detail {

namespace {

int Progress(void* data, LibRaw_progress, int, int)
{
    const auto* options = static_cast<const DecodeOptions*>(data);
    return Stopped(*options) ? 1 : 0;
}

void QuietDataError(void*, const char*, const int)
{
}

struct Closer {
    void operator()(libraw_data_t* raw) const { libraw_close(raw); }
};

struct ImageFree {
    void operator()(libraw_processed_image_t* image) const { libraw_dcraw_clear_mem(image); }
};

} // namespace

Result DecodeRaw(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    // LibRaw parses from memory; a raw file is one picture's worth of bytes.
    uint64_t size = source.Size();
    if (size < 16 || size > (uint64_t(1) << 31))
        return Result::Failed;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return Result::Failed;
    }
    if (source.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
        return Result::Failed;

    // The C interface of LibRaw: its functions can be looked up by name (the library is opened on
    // first use).
    std::unique_ptr<libraw_data_t, Closer> raw(libraw_init(LIBRAW_OPTIONS_NONE));
    if (!raw)
        return Result::Failed;
    libraw_set_progress_handler(raw.get(), Progress, const_cast<DecodeOptions*>(&options));
    libraw_set_dataerror_handler(raw.get(), QuietDataError, nullptr);
    raw->params.output_bps = 8;
    raw->params.use_camera_wb = 1;
    if (libraw_open_buffer(raw.get(), bytes.data(), bytes.size()) != LIBRAW_SUCCESS)
        return Result::Failed;
    const libraw_image_sizes_t& sizes = raw->sizes;
    if (!SizeAcceptable(sizes.raw_width, sizes.raw_height, options, info)
        || !SizeAcceptable(sizes.width, sizes.height, options, info)
        || !DataCanHold(source, sizes.raw_width, sizes.raw_height, 256))
        return Result::Failed;
    if (Stopped(options))
        return Result::Stopped;
    int rc = libraw_unpack(raw.get());
    if (rc == LIBRAW_SUCCESS)
        rc = libraw_dcraw_process(raw.get());
    if (rc == LIBRAW_CANCELLED_BY_CALLBACK || Stopped(options))
        return Result::Stopped;
    if (rc != LIBRAW_SUCCESS)
        return Result::Failed;
    int error = 0;
    std::unique_ptr<libraw_processed_image_t, ImageFree> image(
        libraw_dcraw_make_mem_image(raw.get(), &error));
    if (!image || image->type != LIBRAW_IMAGE_BITMAP || image->bits != 8
        || (image->colors != 3 && image->colors != 1)
        || !SizeAcceptable(image->width, image->height, options, info)
        || uint64_t(image->width) * image->height * image->colors > image->data_size)
        return Result::Failed;
    // The camera's rotation has been applied by the development.
    info.width = image->width;
    info.height = image->height;
    info.bitsPerPixel = uint32_t(image->colors) * 8;
    size_t stride = 0;
    uint8_t* first = Allocate(allocate, info.width, info.height, stride);
    if (!first)
        return Result::Failed;
    const uint8_t* in = image->data;
    unsigned colours = image->colors;
    for (uint32_t y = 0; y < info.height; ++y) {
        uint8_t* out = first + size_t(y) * stride;
        for (uint32_t x = 0; x < info.width; ++x, in += colours, out += 4) {
            out[0] = in[colours == 3 ? 2 : 0];
            out[1] = in[colours == 3 ? 1 : 0];
            out[2] = in[0];
            out[3] = 255;
        }
    }
    return Result::Ok;
}

} // namespace platform::imageio::detail
