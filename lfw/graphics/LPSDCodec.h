// Photoshop documents. The reader decodes the merged (flattened) image of 8- and 16-bit grey,
// indexed, RGB and CMYK files, with or without alpha, raw or PackBits-coded; layers are not read.
// The writer makes an 8-bit RGB file with an alpha channel, one or more named layers and the
// merged image. The readers exist for LInputStreamFile and LInputStreamBuffer, the writers for
// LOutputStreamFile and LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>
#include <vector>

// The 26-byte file header (big-endian in the file).
struct LCODEC_PSD_Header {
    char signature[4] = { '8', 'B', 'P', 'S' };
    uint16_t version = 1;
    uint8_t reserved[6] = {};
    uint16_t channels = 0;
    uint32_t rows = 0; // height
    uint32_t columns = 0; // width
    uint16_t depth = 8; // bits per channel
    uint32_t colourMode = 3; // 1 grey, 2 indexed, 3 RGB, 4 CMYK
};

// The most rows and columns a file of version 1 may have.
inline constexpr uint32_t kLPSDMaxSize = 30000;

template <class S> struct LProcessPSDLoad {
    LProcessPSDLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    S& stream;
    LImageBuffer& buffer;
    int32_t result = 0; // depth x channels of the file
};

// The single-image save: the image as one layer named "Lager 0" and as the merged image.
template <class S> struct LProcessPSDSave {
    LProcessPSDSave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
};

// A layer whose record is written ahead of its pixel data.
struct LReservedPSDLayer {
    uint32_t channelSize[4] = {}; // R, G, B, alpha, without the compression word
    int width = 0;
    int height = 0;
    char name[260] = {}; // UTF-8
};

// Writes a layered file: layers are reserved (their coded sizes measured so that the records
// can precede the pixel data), then written in the same order, then the merged image. Any
// failure leaves the file incomplete; the caller abandons it.
template <class S> class LLayeredPSDSave {
public:
    explicit LLayeredPSDSave(S& stream)
        : mStream(stream)
    {
    }
    void SetDocumentSize(int width, int height)
    {
        mWidth = width;
        mHeight = height;
    }
    // A null name gives "Lager %d" with the number of layers reserved before. 2 once the header
    // is written and for an unusable image.
    LProcessResult ReserveLayer(
        LProcessInterface& job, const LImageBuffer& image, const char* name);
    // The next reserved layer's channels; the image must code to the sizes reserved.
    LProcessResult WriteLayer(LProcessInterface& job, const LImageBuffer& image);
    // The merged image of the document's size, once, after every reserved layer.
    LProcessResult WriteFinalRender(LProcessInterface& job, const LImageBuffer& image);

    LProcessResult HeaderSave(const LCODEC_PSD_Header& header);
    LProcessResult WriteHeaderInfo(LProcessInterface& job);

    // The caller promises that an image handed in again is unchanged, so that its channels are
    // split and coded once (the single-image save hands the same picture in three times).
    void ReuseChannelsOfSameImage(bool reuse) { mReuse = reuse; }

private:
    // The planes of an image, raw and coded, and the coded sizes.
    struct Channels {
        const LImageBuffer* image = nullptr; // set while they may be reused
        std::vector<uint8_t> raw;
        std::vector<uint8_t> encoded;
        uint32_t sizes[4] = {};
    };
    LProcessResult Populate(LProcessInterface& job, const LImageBuffer& image);

    S& mStream;
    Channels mChannels;
    bool mReuse = false;
    std::vector<LReservedPSDLayer> mLayers;
    int mLayersWritten = 0;
    bool mHeaderWritten = false;
    bool mFinalRenderWritten = false;
    int mWidth = -1;
    int mHeight = -1;
};

// Splits an image into the planes R, G, B and alpha (raw, one after another) and codes each
// plane into encoded at the same offset, raw where coding does not pay; sizes gets the bytes
// of each coded plane. Pixel formats 0 to 3, 5 and 6.
LProcessResult LPSDPopulateChannels(LProcessInterface& job, const LImageBuffer& image,
    std::vector<uint8_t>& raw, std::vector<uint8_t>& encoded, uint32_t sizes[4]);
// PackBits-codes a plane: a table of height big-endian row byte counts, then the rows. 0 coded
// (size the bytes), 1 stopped, 2 not worth coding (width 4 or less, or no smaller than raw).
LProcessResult LPSDCompressChannel(LProcessInterface& job, const uint8_t* plane, int width,
    int height, uint8_t* out, uint32_t& size);

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPSDLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPSDSave<S>& r);
