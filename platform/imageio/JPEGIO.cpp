// JPEG through libjpeg-turbo.
#include "platform/imageio/ImageIOPrivate.h"

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

namespace platform::imageio::detail {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void JPEGError(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void JPEGMessage(j_common_ptr)
{
}

constexpr size_t kSourceBuffer = 65536;

struct SourceManager {
    jpeg_source_mgr pub;
    Cursor* cursor;
    JOCTET buffer[kSourceBuffer];
};

void InitSource(j_decompress_ptr)
{
}

// Data that ends before the image does is an error here, not a grey remainder.
boolean FillInput(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    size_t got = src->cursor->Read(src->buffer, kSourceBuffer);
    if (got == 0)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (count <= 0)
        return;
    if (size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    src->cursor->position += uint64_t(count) - src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = src->buffer;
}

void TermSource(j_decompress_ptr)
{
}

// Asked by the library as it goes: between the scans of a progressive file, which
// jpeg_start_decompress reads whole before the first row comes out, and between rows. The stop
// test runs at most every few milliseconds; a stop leaves the decode through the error exit.
struct ProgressMonitor {
    jpeg_progress_mgr pub;
    const DecodeOptions* options;
    jmp_buf* jump;
    volatile Result* result;
    std::chrono::steady_clock::time_point next;
};

void Progress(j_common_ptr cinfo)
{
    auto* monitor = reinterpret_cast<ProgressMonitor*>(cinfo->progress);
    const auto now = std::chrono::steady_clock::now();
    if (now < monitor->next)
        return;
    monitor->next = now + std::chrono::milliseconds(5);
    if (Stopped(*monitor->options)) {
        *monitor->result = Result::Stopped;
        longjmp(*monitor->jump, 1);
    }
}

struct DestinationManager {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
};

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    dest->out->resize(std::max<size_t>(dest->out->capacity(), 65536));
    dest->pub.next_output_byte = dest->out->data();
    dest->pub.free_in_buffer = dest->out->size();
}

boolean EmptyOutput(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    size_t used = dest->out->size();
    dest->out->resize(used * 2);
    dest->pub.next_output_byte = dest->out->data() + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

// One row of CMYK samples to B8G8R8A8. Adobe's files store the inks inverted.
void CMYKRow(const uint8_t* in, uint8_t* out, uint32_t width, bool inverted)
{
    for (uint32_t x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = uint8_t((y * k + 127) / 255);
        out[1] = uint8_t((m * k + 127) / 255);
        out[2] = uint8_t((c * k + 127) / 255);
        out[3] = 255;
    }
}

} // namespace

Result DecodeJPEG(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    Cursor cursor { source };
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    SourceManager src;
    std::vector<uint8_t> cmykRow;
    volatile Result result = Result::Failed;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JPEGError;
    err.pub.output_message = JPEGMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return result;
    }
    jpeg_create_decompress(&cinfo);
    src.cursor = &cursor;
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInput;
    src.pub.skip_input_data = SkipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    cinfo.src = &src.pub;
    ProgressMonitor monitor {};
    if (options.shouldStop) {
        monitor.pub.progress_monitor = Progress;
        monitor.options = &options;
        monitor.jump = &err.jump;
        monitor.result = &result;
        cinfo.progress = &monitor.pub;
    }
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);

    // Every 8 x 8 block costs data (a DC code at least); arithmetic coding can go below a bit,
    // hence the wide margin.
    if (!SizeAcceptable(cinfo.image_width, cinfo.image_height, options, info)
        || !DataCanHold(source, cinfo.image_width, cinfo.image_height, 4096))
        longjmp(err.jump, 1);
    info.width = cinfo.image_width;
    info.height = cinfo.image_height;
    info.bitsPerPixel = uint32_t(cinfo.num_components) * uint32_t(cinfo.data_precision);
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0
        && (cinfo.density_unit == 1 || cinfo.density_unit == 2)) {
        double scale = cinfo.density_unit == 2 ? 2.54 : 1.0;
        info.dpiX = cinfo.X_density * scale;
        info.dpiY = cinfo.Y_density * scale;
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6
            && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            ParseExif(m->data + 6, m->data_length - 6, info.orientation, info.dpiX, info.dpiY);
    }

    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != info.width || cinfo.output_height != info.height)
        longjmp(err.jump, 1);
    size_t stride = 0;
    uint8_t* first = Allocate(allocate, info.width, info.height, stride);
    if (!first)
        longjmp(err.jump, 1);
    if (cmyk)
        cmykRow.resize(size_t(info.width) * 4);
    bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        if ((cinfo.output_scanline & 63) == 0 && Stopped(options)) {
            result = Result::Stopped;
            longjmp(err.jump, 1);
        }
        uint8_t* row = first + size_t(cinfo.output_scanline) * stride;
        JSAMPROW target = cmyk ? cmykRow.data() : row;
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1)
            longjmp(err.jump, 1);
        if (cmyk)
            CMYKRow(cmykRow.data(), row, info.width, inverted);
    }
    // Every row is in; a missing end marker after them does not matter.
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return Result::Ok;
}

bool EncodeJPEG(const EncodeInput& in, std::vector<uint8_t>& out)
{
    if (in.width > JPEG_MAX_DIMENSION || in.height > JPEG_MAX_DIMENSION)
        return false;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    DestinationManager dest;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JPEGError;
    err.pub.output_message = JPEGMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        out.clear();
        return false;
    }
    jpeg_create_compress(&cinfo);
    out.reserve(size_t(in.width) * in.height / 4 + 65536);
    dest.out = &out;
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutput;
    dest.pub.term_destination = TermDestination;
    cinfo.dest = &dest.pub;
    cinfo.image_width = in.width;
    cinfo.image_height = in.height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, in.quality < 0 ? 75 : std::min(in.quality, 100), TRUE);
    if (in.dpiX > 0 && in.dpiY > 0) {
        cinfo.write_JFIF_header = TRUE;
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::min(in.dpiX + 0.5, 65535.0));
        cinfo.Y_density = UINT16(std::min(in.dpiY + 0.5, 65535.0));
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        if ((cinfo.next_scanline & 63) == 0 && in.progress
            && !in.progress(double(cinfo.next_scanline) / double(cinfo.image_height))) {
            jpeg_destroy_compress(&cinfo);
            out.clear();
            return false;
        }
        JSAMPROW row
            = const_cast<JSAMPROW>(in.firstRow + ptrdiff_t(cinfo.next_scanline) * in.stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace platform::imageio::detail
