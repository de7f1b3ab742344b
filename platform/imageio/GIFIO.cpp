// GIF reading through giflib: the first frame, placed on the logical screen (or alone, when the
// screen is large and the frame shows little of it).
#include "platform/imageio/ImageIOPrivate.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace platform::imageio::detail {

namespace {

// A screen of up to this many pixels is kept around its first frame, however little of it the
// frame covers (4 MiB of memory); a larger one only while the frame covers a quarter of it.
constexpr uint64_t kMostTransparentPixels = uint64_t(1) << 20;

int GIFRead(GifFileType* gif, GifByteType* out, int n)
{
    auto* cursor = static_cast<Cursor*>(gif->UserData);
    return n <= 0 ? 0 : int(cursor->Read(out, size_t(n)));
}

struct Closer {
    GifFileType* gif;
    ~Closer()
    {
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
};

} // namespace

Result DecodeGIF(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    Cursor cursor { source };
    int error = 0;
    Closer closer { DGifOpen(&cursor, GIFRead, &error) };
    GifFileType* gif = closer.gif;
    if (!gif)
        return Result::Failed;

    int transparent = -1;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return Result::Failed;
        if (type == TERMINATE_RECORD_TYPE)
            return Result::Failed; // no image at all
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK)
                return Result::Failed;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK)
                    return Result::Failed;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return Result::Failed;
        break;
    }
    if (DGifGetImageDesc(gif) != GIF_OK)
        return Result::Failed;

    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount < 1 || frame.Width < 1 || frame.Height < 1
        || frame.Left < 0 || frame.Top < 0)
        return Result::Failed;
    uint64_t canvasWidth
        = std::max<uint64_t>(uint64_t(gif->SWidth), uint64_t(frame.Left) + frame.Width);
    uint64_t canvasHeight
        = std::max<uint64_t>(uint64_t(gif->SHeight), uint64_t(frame.Top) + frame.Height);
    // The declared screen is within the limit, and so is the frame; a 12-bit LZW code stands for
    // at most 4096 pixels of the frame (the rest of the screen is left transparent).
    const uint64_t framePixels = uint64_t(frame.Width) * uint64_t(frame.Height);
    if (!SizeAcceptable(canvasWidth, canvasHeight, options, info)
        || !DataCanHold(source, frame.Width, frame.Height, 4096))
        return Result::Failed;
    // A frame that shows a small part of a large screen: the picture is the frame alone, so that
    // it costs what it shows, not a screen of transparency around it.
    uint64_t left = uint64_t(frame.Left), top = uint64_t(frame.Top);
    if (canvasWidth * canvasHeight > kMostTransparentPixels
        && canvasWidth * canvasHeight / 4 > framePixels) {
        canvasWidth = uint64_t(frame.Width);
        canvasHeight = uint64_t(frame.Height);
        left = top = 0;
    }
    info.width = uint32_t(canvasWidth);
    info.height = uint32_t(canvasHeight);
    info.bitsPerPixel = 8;

    size_t stride = 0;
    uint8_t* first = Allocate(allocate, info.width, info.height, stride);
    if (!first)
        return Result::Failed;
    for (uint32_t y = 0; y < info.height; ++y)
        std::memset(first + size_t(y) * stride, 0, size_t(info.width) * 4);

    uint8_t colours[256][4];
    int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        colours[i][0] = map->Colors[i].Blue;
        colours[i][1] = map->Colors[i].Green;
        colours[i][2] = map->Colors[i].Red;
        colours[i][3] = i == transparent ? 0 : 255;
    }

    std::vector<GifPixelType> line(size_t(frame.Width));
    static const int kStart[4] = { 0, 4, 2, 1 }, kStep[4] = { 8, 8, 4, 2 };
    int passes = frame.Interlace ? 4 : 1;
    uint32_t done = 0;
    for (int pass = 0; pass < passes; ++pass) {
        int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if ((done++ & 63) == 0 && Stopped(options))
                return Result::Stopped;
            if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK)
                return Result::Failed;
            uint8_t* out = first + size_t(top + uint64_t(y)) * stride + size_t(left) * 4;
            for (int x = 0; x < frame.Width; ++x, out += 4) {
                unsigned index = line[size_t(x)];
                if (int(index) >= count)
                    return Result::Failed; // an index past the end of the colour table
                std::memcpy(out, colours[index], 4);
            }
        }
    }
    return Result::Ok;
}

} // namespace platform::imageio::detail
