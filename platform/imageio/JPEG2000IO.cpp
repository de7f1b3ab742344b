// JPEG 2000 (JP2 files and bare codestreams) through OpenJPEG. OpenJPEG neither reads nor
// writes the resolution boxes of JP2, so they are read and added here.
#include "platform/imageio/ImageIOPrivate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <openjpeg.h>

namespace platform::imageio::detail {

namespace {

const uint8_t kJP2Signature[12] = { 0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A };
const uint8_t kCodestreamStart[4] = { 0xFF, 0x4F, 0xFF, 0x51 };

void Quiet(const char*, void*)
{
}

OPJ_SIZE_T StreamRead(void* out, OPJ_SIZE_T n, void* user)
{
    auto* cursor = static_cast<Cursor*>(user);
    size_t got = cursor->Read(out, n);
    return got ? got : OPJ_SIZE_T(-1);
}

OPJ_OFF_T StreamSkip(OPJ_OFF_T n, void* user)
{
    auto* cursor = static_cast<Cursor*>(user);
    if (n < 0 && uint64_t(-n) > cursor->position)
        return -1;
    cursor->position = uint64_t(OPJ_OFF_T(cursor->position) + n);
    return n;
}

OPJ_BOOL StreamSeek(OPJ_OFF_T to, void* user)
{
    auto* cursor = static_cast<Cursor*>(user);
    if (to < 0 || uint64_t(to) > cursor->source.Size())
        return OPJ_FALSE;
    cursor->position = uint64_t(to);
    return OPJ_TRUE;
}

struct Output {
    std::vector<uint8_t>* bytes;
    size_t position = 0;
};

OPJ_SIZE_T StreamWrite(void* data, OPJ_SIZE_T n, void* user)
{
    auto* out = static_cast<Output*>(user);
    if (out->position + n > out->bytes->size())
        out->bytes->resize(out->position + n);
    std::memcpy(out->bytes->data() + out->position, data, n);
    out->position += n;
    return n;
}

OPJ_OFF_T StreamWriteSkip(OPJ_OFF_T n, void* user)
{
    auto* out = static_cast<Output*>(user);
    if (n < 0 && size_t(-n) > out->position)
        return -1;
    out->position = size_t(OPJ_OFF_T(out->position) + n);
    if (out->position > out->bytes->size())
        out->bytes->resize(out->position);
    return n;
}

OPJ_BOOL StreamWriteSeek(OPJ_OFF_T to, void* user)
{
    auto* out = static_cast<Output*>(user);
    if (to < 0)
        return OPJ_FALSE;
    out->position = size_t(to);
    if (out->position > out->bytes->size())
        out->bytes->resize(out->position);
    return OPJ_TRUE;
}

struct CodecDeleter {
    void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
    void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

uint32_t BE32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// One box header at the offset within [offset, end): its type, where its contents start and
// where it ends. False when the header does not fit.
bool ReadBox(Source& source, uint64_t offset, uint64_t end, uint32_t& type, uint64_t& contents,
    uint64_t& boxEnd)
{
    uint8_t head[16];
    if (end < offset || end - offset < 8 || source.ReadAt(offset, head, 8) != 8)
        return false;
    uint64_t length = BE32(head);
    type = BE32(head + 4);
    contents = offset + 8;
    if (length == 1) {
        if (end - offset < 16 || source.ReadAt(offset + 8, head + 8, 8) != 8)
            return false;
        length = uint64_t(BE32(head + 8)) << 32 | BE32(head + 12);
        contents = offset + 16;
    } else if (length == 0) {
        length = end - offset;
    }
    if (length < contents - offset || length > end - offset)
        return false;
    boxEnd = offset + length;
    return true;
}

constexpr uint32_t BoxType(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16
        | uint32_t(uint8_t(s[2])) << 8 | uint8_t(s[3]);
}

// Grid points per metre from a resc or resd box: vertical then horizontal.
bool ReadResolution(
    Source& source, uint64_t contents, uint64_t end, double& perMetreX, double& perMetreY)
{
    uint8_t b[10];
    if (end - contents < 10 || source.ReadAt(contents, b, 10) != 10)
        return false;
    unsigned vn = b[0] << 8 | b[1], vd = b[2] << 8 | b[3];
    unsigned hn = b[4] << 8 | b[5], hd = b[6] << 8 | b[7];
    int ve = int8_t(b[8]), he = int8_t(b[9]);
    if (!vn || !vd || !hn || !hd)
        return false;
    perMetreY = double(vn) / vd * std::pow(10.0, ve);
    perMetreX = double(hn) / hd * std::pow(10.0, he);
    return true;
}

void FindResolution(Source& source, DecodedInfo& info)
{
    uint64_t size = source.Size(), offset = 0;
    uint32_t type;
    uint64_t contents, end;
    for (int boxes = 0; boxes < 64 && ReadBox(source, offset, size, type, contents, end);
         ++boxes, offset = end) {
        if (type != BoxType("jp2h"))
            continue;
        uint64_t inner = contents;
        uint32_t innerType;
        uint64_t innerContents, innerEnd;
        while (ReadBox(source, inner, end, innerType, innerContents, innerEnd)) {
            if (innerType == BoxType("res ")) {
                double x = 0, y = 0, dx = 0, dy = 0;
                uint64_t r = innerContents, rc, re;
                uint32_t rt;
                bool display = false, capture = false;
                while (ReadBox(source, r, innerEnd, rt, rc, re)) {
                    if (rt == BoxType("resd"))
                        display = ReadResolution(source, rc, re, dx, dy);
                    else if (rt == BoxType("resc"))
                        capture = ReadResolution(source, rc, re, x, y);
                    r = re;
                }
                if (display) {
                    x = dx;
                    y = dy;
                }
                if ((display || capture) && x > 0 && y > 0) {
                    info.dpiX = x * 0.0254;
                    info.dpiY = y * 0.0254;
                }
                return;
            }
            inner = innerEnd;
        }
        return;
    }
}

// A sample of component c for image pixel (x, y) scaled to 8 bits.
struct ComponentReader {
    const opj_image_comp_t* comp;
    int32_t offset = 0; // added to signed samples
    uint32_t maxValue = 255;
    uint32_t x0 = 0, y0 = 0;

    void Init(const opj_image_t& image, const opj_image_comp_t& c)
    {
        comp = &c;
        uint32_t prec = std::clamp<uint32_t>(c.prec, 1, 31);
        maxValue = prec >= 31 ? 0x7FFFFFFF : (1u << prec) - 1;
        offset = c.sgnd ? int32_t(1u << (prec - 1)) : 0;
        uint32_t dx = std::max<uint32_t>(c.dx, 1), dy = std::max<uint32_t>(c.dy, 1);
        x0 = (image.x0 + dx - 1) / dx;
        y0 = (image.y0 + dy - 1) / dy;
    }
    // The row of this component for image row y, and the column index for image column x.
    const int32_t* Row(const opj_image_t& image, uint32_t y) const
    {
        uint32_t dy = std::max<uint32_t>(comp->dy, 1);
        uint32_t cy = (image.y0 + y) / dy;
        cy = cy >= y0 ? cy - y0 : 0;
        if (cy >= comp->h)
            cy = comp->h - 1;
        return comp->data + size_t(cy) * comp->w;
    }
    uint32_t Column(const opj_image_t& image, uint32_t x) const
    {
        uint32_t dx = std::max<uint32_t>(comp->dx, 1);
        uint32_t cx = (image.x0 + x) / dx;
        cx = cx >= x0 ? cx - x0 : 0;
        return cx >= comp->w ? comp->w - 1 : cx;
    }
    int Scale(int32_t v) const
    {
        int64_t s = int64_t(v) + offset;
        if (s <= 0)
            return 0;
        if (uint64_t(s) >= maxValue)
            return 255;
        if (maxValue == 255)
            return int(s);
        return int((uint64_t(s) * 255 + maxValue / 2) / maxValue);
    }
};

uint8_t Clamp8(double v)
{
    return uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : int(v + 0.5));
}

} // namespace

Result DecodeJPEG2000(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    uint8_t magic[12] = {};
    size_t got = source.ReadAt(0, magic, sizeof magic);
    OPJ_CODEC_FORMAT kind;
    if (got == 12 && std::memcmp(magic, kJP2Signature, 12) == 0)
        kind = OPJ_CODEC_JP2;
    else if (got >= 4 && std::memcmp(magic, kCodestreamStart, 4) == 0)
        kind = OPJ_CODEC_J2K;
    else
        return Result::Failed;

    Cursor cursor { source };
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(65536, OPJ_TRUE));
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(kind));
    if (!stream || !codec)
        return Result::Failed;
    opj_stream_set_user_data(stream.get(), &cursor, nullptr);
    opj_stream_set_user_data_length(stream.get(), source.Size());
    opj_stream_set_read_function(stream.get(), StreamRead);
    opj_stream_set_skip_function(stream.get(), StreamSkip);
    opj_stream_set_seek_function(stream.get(), StreamSeek);
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters))
        return Result::Failed;
    opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);

    opj_image_t* rawImage = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &rawImage) || !rawImage)
        return Result::Failed;
    std::unique_ptr<opj_image_t, ImageDeleter> image(rawImage);
    if (image->x1 <= image->x0 || image->y1 <= image->y0 || image->numcomps < 1)
        return Result::Failed;
    uint32_t width = image->x1 - image->x0, height = image->y1 - image->y0;
    // OpenJPEG keeps every component as 32-bit samples: their count stays within the pixel
    // limit, and the data must be able to describe them.
    if (!SizeAcceptable(width, height, options, info)
        || uint64_t(width) * height * image->numcomps > options.maxPixels
        || !DataCanHold(source, width, height, 65536))
        return Result::Failed;
    if (Stopped(options))
        return Result::Stopped;
    if (!opj_decode(codec.get(), stream.get(), image.get())
        || !opj_end_decompress(codec.get(), stream.get()))
        return Result::Failed;
    if (Stopped(options))
        return Result::Stopped;

    uint32_t n = image->numcomps;
    for (uint32_t c = 0; c < n; ++c) {
        const opj_image_comp_t& comp = image->comps[c];
        if (!comp.data || comp.w == 0 || comp.h == 0)
            return Result::Failed;
    }
    uint32_t prec = image->comps[0].prec;
    info.width = width;
    info.height = height;
    info.bitsPerPixel = n * prec;
    if (kind == OPJ_CODEC_JP2)
        FindResolution(source, info);

    // Which components make the colour and the alpha.
    bool cmyk = image->color_space == OPJ_CLRSPC_CMYK && n >= 4;
    bool ycc = image->color_space == OPJ_CLRSPC_SYCC && n >= 3;
    uint32_t colourCount = cmyk ? 4 : n >= 3 ? 3 : 1;
    int alphaIndex = -1;
    for (uint32_t c = 0; c < n; ++c)
        if (image->comps[c].alpha)
            alphaIndex = int(c);
    if (alphaIndex < 0 && n > colourCount && !cmyk && (n == 2 || n == 4))
        alphaIndex = int(colourCount);

    ComponentReader readers[4];
    for (uint32_t c = 0; c < colourCount; ++c)
        readers[c].Init(*image, image->comps[c]);
    ComponentReader alpha;
    if (alphaIndex >= 0)
        alpha.Init(*image, image->comps[alphaIndex]);

    size_t stride = 0;
    uint8_t* first = Allocate(allocate, width, height, stride);
    if (!first)
        return Result::Failed;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = first + size_t(y) * stride;
        const int32_t* rows[4];
        for (uint32_t c = 0; c < colourCount; ++c)
            rows[c] = readers[c].Row(*image, y);
        const int32_t* alphaRow = alphaIndex >= 0 ? alpha.Row(*image, y) : nullptr;
        for (uint32_t x = 0; x < width; ++x, out += 4) {
            int v[4];
            for (uint32_t c = 0; c < colourCount; ++c)
                v[c] = readers[c].Scale(rows[c][readers[c].Column(*image, x)]);
            if (colourCount == 1) {
                out[0] = out[1] = out[2] = uint8_t(v[0]);
            } else if (cmyk) {
                int k = 255 - v[3];
                out[0] = uint8_t((255 - v[2]) * k / 255);
                out[1] = uint8_t((255 - v[1]) * k / 255);
                out[2] = uint8_t((255 - v[0]) * k / 255);
            } else if (ycc) {
                double yv = v[0], cb = v[1] - 128.0, cr = v[2] - 128.0;
                out[2] = Clamp8(yv + 1.402 * cr);
                out[1] = Clamp8(yv - 0.344136 * cb - 0.714136 * cr);
                out[0] = Clamp8(yv + 1.772 * cb);
            } else {
                out[0] = uint8_t(v[2]);
                out[1] = uint8_t(v[1]);
                out[2] = uint8_t(v[0]);
            }
            out[3] = alphaRow ? uint8_t(alpha.Scale(alphaRow[alpha.Column(*image, x)])) : 255;
        }
    }
    return Result::Ok;
}

namespace {

// Adds a res box holding a default display resolution to the jp2h box of a JP2 file.
void AddResolution(std::vector<uint8_t>& file, double dpiX, double dpiY)
{
    MemorySource source(file.data(), file.size());
    uint64_t offset = 0, contents, end;
    uint32_t type;
    while (ReadBox(source, offset, file.size(), type, contents, end)) {
        if (type == BoxType("jp2h") && contents == offset + 8) {
            auto put16 = [](uint8_t* p, unsigned v) {
                p[0] = uint8_t(v >> 8);
                p[1] = uint8_t(v);
            };
            uint8_t box[26] = { 0, 0, 0, 26, 'r', 'e', 's', ' ', 0, 0, 0, 18, 'r', 'e', 's', 'd', 0,
                0, 0, 0, 0, 0, 0, 0, 0, 0 };
            // Grid points per metre as a 16-bit fraction times a power of ten. A resolution in
            // dots per inch is dpi x 5000 / 127 per metre: over 127 it is kept exactly (300 dpi
            // is 15000 / 127 x 10^2) wherever dpi x 5000 / 10^exp is a whole number that fits.
            auto fraction = [&](double dpi, unsigned& num, unsigned& den, int& exp) {
                dpi = WholeDpiWhereNear(dpi);
                double scaled = dpi * 5000.0;
                exp = 0;
                while (scaled > 65535 && exp < 127) {
                    scaled /= 10;
                    ++exp;
                }
                while (scaled * 10 <= 65535 && exp > -128
                    && std::fabs(scaled - std::round(scaled)) > 1e-9) {
                    scaled *= 10;
                    --exp;
                }
                num = std::max(1u, unsigned(std::lround(scaled)));
                den = 127;
            };
            unsigned vn, vd, hn, hd;
            int ve, he;
            fraction(dpiY, vn, vd, ve);
            fraction(dpiX, hn, hd, he);
            put16(box + 16, vn);
            put16(box + 18, vd);
            put16(box + 20, hn);
            put16(box + 22, hd);
            box[24] = uint8_t(int8_t(ve));
            box[25] = uint8_t(int8_t(he));
            uint32_t length = BE32(&file[offset]) + 26;
            file.insert(file.begin() + ptrdiff_t(end), box, box + 26);
            file[offset] = uint8_t(length >> 24);
            file[offset + 1] = uint8_t(length >> 16);
            file[offset + 2] = uint8_t(length >> 8);
            file[offset + 3] = uint8_t(length);
            return;
        }
        offset = end;
    }
}

} // namespace

bool EncodeJPEG2000(const EncodeInput& in, std::vector<uint8_t>& out)
{
    uint32_t n = in.ignoreAlpha ? 3 : 4;
    opj_image_cmptparm_t params[4];
    std::memset(params, 0, sizeof params);
    for (uint32_t c = 0; c < n; ++c) {
        params[c].dx = params[c].dy = 1;
        params[c].w = in.width;
        params[c].h = in.height;
        params[c].prec = 8;
        params[c].sgnd = 0;
    }
    std::unique_ptr<opj_image_t, ImageDeleter> image(opj_image_create(n, params, OPJ_CLRSPC_SRGB));
    if (!image)
        return false;
    image->x0 = image->y0 = 0;
    image->x1 = in.width;
    image->y1 = in.height;
    if (n == 4)
        image->comps[3].alpha = 1;
    int32_t* planes[4];
    for (uint32_t c = 0; c < n; ++c)
        planes[c] = image->comps[c].data;
    const uint8_t* row = in.firstRow;
    for (uint32_t y = 0; y < in.height; ++y, row += in.stride) {
        size_t base = size_t(y) * in.width;
        const uint8_t* p = row;
        for (uint32_t x = 0; x < in.width; ++x, p += 4) {
            planes[0][base + x] = p[2];
            planes[1][base + x] = p[1];
            planes[2][base + x] = p[0];
            if (n == 4)
                planes[3][base + x] = p[3];
        }
    }

    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.cp_disto_alloc = 1;
    parameters.tcp_mct = 1;
    int quality = in.quality < 0 ? 100 : std::min(in.quality, 100);
    if (quality >= 100) {
        parameters.irreversible = 0;
        parameters.tcp_rates[0] = 0;
    } else {
        parameters.irreversible = 1;
        parameters.tcp_rates[0] = float(std::pow(2.0, (100 - quality) / 10.0));
    }
    uint32_t smaller = std::min(in.width, in.height);
    int resolutions = 1;
    while (resolutions < 6 && (smaller >> resolutions) > 0)
        ++resolutions;
    parameters.numresolution = resolutions;

    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec)
        return false;
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    if (!opj_setup_encoder(codec.get(), &parameters, image.get()))
        return false;
    Output output { &out };
    out.reserve(size_t(in.width) * in.height + 4096);
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(1 << 20, OPJ_FALSE));
    if (!stream)
        return false;
    opj_stream_set_user_data(stream.get(), &output, nullptr);
    opj_stream_set_write_function(stream.get(), StreamWrite);
    opj_stream_set_skip_function(stream.get(), StreamWriteSkip);
    opj_stream_set_seek_function(stream.get(), StreamWriteSeek);
    if (!opj_start_compress(codec.get(), image.get(), stream.get())
        || !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get())) {
        out.clear();
        return false;
    }
    stream.reset();
    if (in.dpiX > 0 && in.dpiY > 0)
        AddResolution(out, in.dpiX, in.dpiY);
    return true;
}

} // namespace platform::imageio::detail
