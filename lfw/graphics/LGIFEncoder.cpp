// The GIF writer.
#include "lfw/graphics/LGIFEncoder.h"

#include "lfw/gen/LLZW.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertToIndexed.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LPaletteGeneration.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool StreamOpen(const LOutputStreamFile& s)
{
    return s.IsOpen();
}
bool StreamOpen(const LOutputStreamByteArray& s)
{
    return s.IsGood();
}

template <class S> bool WriteBytes(S& stream, const void* data, size_t n)
{
    return StreamOpen(stream) && stream.Write(data, n);
}

// The packed byte's size field for a table of count entries: log2 of the count rounded up to a
// power of two (at least 2), minus 1.
uint8_t SizeField(uint64_t count)
{
    uint8_t bits = 1;
    while ((uint64_t(1) << bits) < count)
        ++bits;
    return uint8_t(bits - 1);
}

// Bits needed for the largest index, at least 2 (GIF has no smaller code size).
int MinimumCodeSize(uint64_t colourCount)
{
    int bits = 0;
    for (uint64_t v = colourCount ? colourCount - 1 : 0; v; v >>= 1)
        ++bits;
    return std::max(bits, 2);
}

// Data in sub-blocks of up to 255 bytes, each after its length byte, then the empty sub-block.
template <class S> bool WriteSubBlocks(S& stream, const unsigned char* data, size_t n)
{
    for (size_t at = 0; at < n; at += 255) {
        const uint8_t length = uint8_t(std::min<size_t>(255, n - at));
        if (!WriteBytes(stream, &length, 1) || !WriteBytes(stream, data + at, length))
            return false;
    }
    const uint8_t end = 0;
    return WriteBytes(stream, &end, 1);
}

} // namespace

// ---- Records -----------------------------------------------------------------------------------

template <class S> bool LGIFLogicalScreenDescriptor::Write(S& stream) const
{
    uint8_t b[7];
    LImagePutLE16(b, width);
    LImagePutLE16(b + 2, height);
    b[4] = packed;
    b[5] = backgroundColourIndex;
    b[6] = pixelAspectRatio;
    return WriteBytes(stream, b, sizeof b);
}

uint64_t LGIFColorTable::GetWrittenCount() const
{
    return uint64_t(1) << (SizeField(GetCount()) + 1);
}

uint8_t LGIFColorTable::GetSizeField() const
{
    return SizeField(GetCount());
}

bool LGIFColorTable::Assign(const LPalette<LPFB8G8R8>& palette)
{
    const uint64_t n = palette.GetCount();
    if (!entries.SetArrayCapacityLarge(size_t(n))) {
        entries.SetSize(0);
        return false;
    }
    for (uint64_t i = 0; i < n; ++i)
        entries[i] = { palette[i].r, palette[i].g, palette[i].b };
    entries.SetSize(size_t(n));
    return true;
}

template <class S> bool LGIFColorTable::Write(S& stream) const
{
    const uint64_t n = GetCount();
    const uint64_t written = GetWrittenCount();
    unsigned char bytes[256 * 3] = {};
    if (n > 256)
        return false;
    for (uint64_t i = 0; i < n; ++i) {
        bytes[i * 3] = entries[i].red;
        bytes[i * 3 + 1] = entries[i].green;
        bytes[i * 3 + 2] = entries[i].blue;
    }
    return WriteBytes(stream, bytes, size_t(written * 3));
}

template <class S> bool LGIFExtensionGraphicControl::Write(S& stream) const
{
    uint8_t b[8] = { 0x21, 0xF9, 4, packed, 0, 0, transparentColourIndex, 0 };
    LImagePutLE16(b + 4, delay);
    return WriteBytes(stream, b, sizeof b);
}

template <class S> bool LGIFExtensionApplication::Write(S& stream) const
{
    uint8_t b[14] = { 0x21, 0xFF, 11 };
    std::memcpy(b + 3, identifier, 8);
    std::memcpy(b + 11, authenticationCode, 3);
    return WriteBytes(stream, b, sizeof b)
        && WriteSubBlocks(stream, data.GetData(), data.GetSize());
}

LGIFExtensionApplicationNetscape::LGIFExtensionApplicationNetscape(uint16_t loopCount)
{
    std::memcpy(identifier, "NETSCAPE", 8);
    std::memcpy(authenticationCode, "2.0", 3);
    if (data.SetArrayCapacityLarge(3)) {
        data[0] = 1;
        LImagePutLE16(data.GetData() + 1, loopCount);
        data.SetSize(3);
    }
}

template <class S> bool LGIFImageDescriptor::Write(S& stream) const
{
    uint8_t b[10] = { 0x2C };
    LImagePutLE16(b + 1, left);
    LImagePutLE16(b + 3, top);
    LImagePutLE16(b + 5, width);
    LImagePutLE16(b + 7, height);
    b[9] = packed;
    return WriteBytes(stream, b, sizeof b);
}

// ---- LGIFImageFrame ----------------------------------------------------------------------------

LGIFImageFrame::LGIFImageFrame(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
    uint64_t colourCount, LGIFColorTable&& table)
    : localTable(std::move(table))
    , minimumCodeSize(MinimumCodeSize(colourCount))
{
    descriptor.left = left;
    descriptor.top = top;
    descriptor.width = width;
    descriptor.height = height;
    descriptor.packed = localTable.GetCount() ? uint8_t(0x80 | localTable.GetSizeField()) : 0;
}

template <class S>
LProcessResult LGIFImageFrame::Write(
    LProcessInterface& job, S& stream, const unsigned char* indices, uint64_t count)
{
    LSizedArray<unsigned char> codes;
    const LProcessResult coded
        = LLZWCodec::ForGIF(minimumCodeSize).Encode(job, codes, indices, size_t(count), true);
    if (coded != LProcessResultSuccess)
        return coded;
    if (!descriptorWritten) {
        const uint8_t codeSize = uint8_t(minimumCodeSize);
        if (!descriptor.Write(stream) || (localTable.GetCount() && !localTable.Write(stream))
            || !WriteBytes(stream, &codeSize, 1))
            return LProcessResultError;
        descriptorWritten = true;
    }
    const unsigned char* data = codes.GetData();
    const size_t n = codes.GetSize();
    for (size_t at = 0; at < n; at += 255) {
        const uint8_t length = uint8_t(std::min<size_t>(255, n - at));
        if (!WriteBytes(stream, &length, 1) || !WriteBytes(stream, data + at, length))
            return LProcessResultError;
        dataWritten += length;
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    const uint8_t end = 0;
    return WriteBytes(stream, &end, 1) ? LProcessResultSuccess : LProcessResultError;
}

// ---- LGIFEncoder -------------------------------------------------------------------------------

template <class S>
LGIFEncoder<S>::LGIFEncoder(S& stream, uint32_t version, const LGIFLogicalScreenDescriptor& screen)
    : mStream(stream)
    , mVersion(version)
    , mScreen(screen)
    , mCanvasWidth(screen.width)
    , mCanvasHeight(screen.height)
    , mOpen(StreamOpen(stream))
{
}

template <class S> bool LGIFEncoder<S>::SetGlobalPalette(const LPalette<LPFB8G8R8>& palette)
{
    if (!mGlobalPalette.SetEntries(palette.GetEntries(), palette.GetCount()))
        return false;
    mGlobalPalette.SetTransparentIndex(palette.GetTransparentIndex());
    return true;
}

template <class S> bool LGIFEncoder<S>::WriteHeader(const LGIFLogicalScreenDescriptor& screen)
{
    const char* signature = mVersion == 1 ? "GIF87a" : "GIF89a";
    return WriteBytes(mStream, signature, 6) && screen.Write(mStream);
}

template <class S>
LProcessResult LGIFEncoder<S>::AddFrame(LProcessInterface& job, const LImageBuffer& image,
    uint16_t left, uint16_t top, uint32_t delay, bool useGlobalPalette, uint64_t maximumColours)
{
    if (!mOpen || !StreamOpen(mStream) || !image.IsValid())
        return LProcessResultError;
    const uint64_t globalCount = mGlobalPalette.GetCount();
    if (useGlobalPalette && (globalCount < 2 || globalCount > 256))
        return LProcessResultError;
    // The frame must fit 16-bit coordinates; found out before any work is done.
    const uint32_t width = uint32_t(image.GetWidth());
    const uint32_t height = uint32_t(image.GetHeight());
    if (left + width >= 65536 || top + height >= 65536)
        return LProcessResultError;

    if (mStream.Tell() == 0) {
        LGIFLogicalScreenDescriptor screen = mScreen;
        LGIFColorTable global;
        if (globalCount) {
            if (!global.Assign(mGlobalPalette))
                return LProcessResultError;
            const uint8_t k = global.GetSizeField();
            screen.packed = uint8_t(0x80 | k << 4 | k);
        }
        if (!WriteHeader(screen) || (globalCount && !global.Write(mStream)))
            return LProcessResultError;
        if (loopCount >= 0
            && !LGIFExtensionApplicationNetscape(uint16_t(std::min(loopCount, 65535)))
                    .Write(mStream))
            return LProcessResultError;
    }
    if (job.IsToStop())
        return LProcessResultStopped;

    // The frame's palette and its indices.
    LPalette<LPFB8G8R8> framePalette;
    const LPalette<LPFB8G8R8>* palette = &mGlobalPalette;
    if (!useGlobalPalette) {
        LProcessInterfaceSubProcess generating(job, 0, 0.5);
        LProcessGeneratePaletteFromImage request(
            image, maximumColours, paletteMethod, false, framePalette);
        const LProcessResult r = Process(generating, request);
        if (r != LProcessResultSuccess)
            return r;
        palette = &framePalette;
    }
    LImageBuffer indexed;
    {
        LProcessInterfaceSubProcess converting(job, useGlobalPalette ? 0 : 0.5, 0.25);
        LProcessConvertImageToIndexed<LPFB8G8R8> request(image, *palette, indexed, dithering);
        const LProcessResult r = Process(converting, request);
        if (r != LProcessResultSuccess)
            return r;
    }
    LGIFColorTable localTable;
    if (!useGlobalPalette && !localTable.Assign(framePalette))
        return LProcessResultError;

    // The graphic control extension; a failed write of it is found by the writes that follow.
    LGIFExtensionGraphicControl control;
    const bool transparent = palette->HasTransparentIndex();
    control.packed = uint8_t((disposalMethod & 7) << 2 | (transparent ? 1 : 0));
    control.delay = uint16_t(std::min<uint32_t>(delay / 10, 65535));
    control.transparentColourIndex = transparent ? uint8_t(palette->GetTransparentIndex()) : 0;
    (void)control.Write(mStream);

    LGIFImageFrame frame(uint16_t(left), uint16_t(top), uint16_t(width), uint16_t(height),
        palette->GetCount(), std::move(localTable));
    const uint64_t count = uint64_t(width) * height;
    const unsigned char* indices = indexed.GetData();
    std::unique_ptr<unsigned char[]> copy;
    if (indexed.GetStride() != width || indexed.IsBottomUp()) {
        copy.reset(new (std::nothrow) unsigned char[size_t(count)]);
        if (!copy)
            return LProcessResultError;
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(copy.get() + uint64_t(y) * width, indexed.GetPictureRow(int(y)), width);
        indices = copy.get();
    }
    LProcessInterfaceSubProcess writing(job, 0.75, 0.25);
    const LProcessResult written = frame.Write(writing, mStream, indices, count);
    if (written != LProcessResultSuccess)
        return written;
    if (mScreen.width == 0)
        mCanvasWidth = uint16_t(std::max<uint32_t>(mCanvasWidth, left + width));
    if (mScreen.height == 0)
        mCanvasHeight = uint16_t(std::max<uint32_t>(mCanvasHeight, top + height));
    ++mFrameCount;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S> void LGIFEncoder<S>::Finalise()
{
    if (!mOpen || !StreamOpen(mStream))
        return;
    mOpen = false;
    const uint8_t trailer = 0x3B;
    (void)WriteBytes(mStream, &trailer, 1);
    if (mScreen.width != 0 && mScreen.height != 0)
        return;
    // The screen takes the size the frames covered.
    LGIFLogicalScreenDescriptor screen = mScreen;
    screen.width = mScreen.width ? mScreen.width : mCanvasWidth;
    screen.height = mScreen.height ? mScreen.height : mCanvasHeight;
    screen.packed = 0;
    if (mGlobalPalette.GetCount()) {
        const uint8_t k = SizeField(mGlobalPalette.GetCount());
        screen.packed = uint8_t(0x80 | k << 4 | k);
    }
    screen.pixelAspectRatio = 0;
    uint8_t header[13];
    std::memcpy(header, mVersion == 1 ? "GIF87a" : "GIF89a", 6);
    LImagePutLE16(header + 6, screen.width);
    LImagePutLE16(header + 8, screen.height);
    header[10] = screen.packed;
    header[11] = screen.backgroundColourIndex;
    header[12] = screen.pixelAspectRatio;
    if (mStream.Tell() > sizeof header)
        (void)mStream.Patch(0, header, sizeof header);
}

// ---- The save job ------------------------------------------------------------------------------

template <class S> LProcessResult Process(LProcessInterface& job, LProcessGIFSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "GIF");
    if (!r.buffer.IsValid())
        return LProcessResultError;
    LGIFLogicalScreenDescriptor screen;
    screen.width = uint16_t(r.buffer.GetWidth());
    screen.height = uint16_t(r.buffer.GetHeight());
    LGIFEncoder<S> encoder(r.stream, 2, screen);
    const LProcessResult result = encoder.AddFrame(job, r.buffer, 0, 0, 100, false, 256);
    encoder.Finalise();
    return result;
}

template class LGIFEncoder<LOutputStreamFile>;
template class LGIFEncoder<LOutputStreamByteArray>;
template LProcessResult Process(LProcessInterface&, LProcessGIFSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessGIFSave<LOutputStreamByteArray>&);
template bool LGIFLogicalScreenDescriptor::Write(LOutputStreamFile&) const;
template bool LGIFLogicalScreenDescriptor::Write(LOutputStreamByteArray&) const;
template bool LGIFColorTable::Write(LOutputStreamFile&) const;
template bool LGIFColorTable::Write(LOutputStreamByteArray&) const;
template bool LGIFExtensionGraphicControl::Write(LOutputStreamFile&) const;
template bool LGIFExtensionGraphicControl::Write(LOutputStreamByteArray&) const;
template bool LGIFExtensionApplication::Write(LOutputStreamFile&) const;
template bool LGIFExtensionApplication::Write(LOutputStreamByteArray&) const;
template bool LGIFImageDescriptor::Write(LOutputStreamFile&) const;
template bool LGIFImageDescriptor::Write(LOutputStreamByteArray&) const;
template LProcessResult LGIFImageFrame::Write(
    LProcessInterface&, LOutputStreamFile&, const unsigned char*, uint64_t);
template LProcessResult LGIFImageFrame::Write(
    LProcessInterface&, LOutputStreamByteArray&, const unsigned char*, uint64_t);
