// The GIF writer: the block structure of GIF files, true-colour frames reduced to at most 256
// colours (a median-cut palette and Floyd-Steinberg dithering) and compressed with the GIF form
// of LZW.
//
// A saved image is one frame: "GIF89a", a logical screen descriptor of the image's size without
// a global colour table, a graphic control extension (delay 10 hundredths, the transparency bit
// and index when the image has fully transparent pixels), an image descriptor at 0, 0 with a
// local colour table, the compressed indices and the trailer ";". The encoder can also write
// several frames, a global colour table and a loop count. The writers exist for
// LOutputStreamFile and LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LPalette.h"

#include <cstdint>

// Written as 7 bytes.
struct LGIFLogicalScreenDescriptor {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t packed = 0;
    uint8_t backgroundColourIndex = 0;
    uint8_t pixelAspectRatio = 0;

    template <class S> bool Write(S& stream) const;
};

struct LGIFRGBColor {
    uint8_t red, green, blue;
};

// Written as the entries, then black entries up to a power of two (at least 2).
struct LGIFColorTable {
    LSizedArray<LGIFRGBColor> entries;

    uint64_t GetCount() const { return entries.GetSize(); }
    // The entries a written table holds: the count rounded up to a power of two, at least 2.
    uint64_t GetWrittenCount() const;
    // log2 of the written count, minus 1: the size field of the packed bytes.
    uint8_t GetSizeField() const;
    // From a palette (B, G, R entries): false when out of memory.
    bool Assign(const LPalette<LPFB8G8R8>& palette);

    template <class S> bool Write(S& stream) const;
};

class LGIFExtensionGraphicControl {
public:
    virtual ~LGIFExtensionGraphicControl() = default;
    template <class S> bool Write(S& stream) const;

    uint8_t packed = 0; // disposal method << 2, bit 0: a transparent index is given
    uint16_t delay = 0; // hundredths of a second
    uint8_t transparentColourIndex = 0;
};

class LGIFExtensionApplication {
public:
    virtual ~LGIFExtensionApplication() = default;
    template <class S> bool Write(S& stream) const;

    char identifier[8] = {};
    char authenticationCode[3] = {};
    LSizedArray<unsigned char> data; // written in sub-blocks of up to 255 bytes
};

// The loop count of an animation.
class LGIFExtensionApplicationNetscape : public LGIFExtensionApplication {
public:
    explicit LGIFExtensionApplicationNetscape(uint16_t loopCount);
};

// Written as 10 bytes.
struct LGIFImageDescriptor {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t packed = 0;

    template <class S> bool Write(S& stream) const;
};

class LGIFImageFrame {
public:
    // colourCount decides the LZW minimum code size; the local table may be empty.
    LGIFImageFrame(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
        uint64_t colourCount, LGIFColorTable&& localTable);

    // Compresses count indices and writes the descriptor, the local table, the code size and
    // the data sub-blocks: 0 done, 1 stopped, 2 a write failed or no memory.
    template <class S>
    LProcessResult Write(
        LProcessInterface& job, S& stream, const unsigned char* indices, uint64_t count);

    LGIFImageDescriptor descriptor;
    LGIFColorTable localTable;
    int minimumCodeSize;
    bool descriptorWritten = false;
    uint64_t dataWritten = 0;
};

template <class S> class LGIFEncoder {
public:
    // version 1 writes "87a", any other value "89a".
    LGIFEncoder(S& stream, uint32_t version, const LGIFLogicalScreenDescriptor& screen);
    ~LGIFEncoder() = default;
    LGIFEncoder(const LGIFEncoder&) = delete;
    LGIFEncoder& operator=(const LGIFEncoder&) = delete;

    // Sets the global palette (2 to 256 entries; empty for none); false when out of memory.
    bool SetGlobalPalette(const LPalette<LPFB8G8R8>& palette);
    // Adds one frame of the image at (left, top), shown for delay ms, with the global palette or
    // a palette of its own of at most maximumColours: 0 done, 1 stopped, 2 failed.
    LProcessResult AddFrame(LProcessInterface& job, const LImageBuffer& image, uint16_t left,
        uint16_t top, uint32_t delay, bool useGlobalPalette, uint64_t maximumColours);
    // Writes the trailer, and the screen's size when the descriptor left it at 0. Nothing more
    // can be written afterwards.
    void Finalise();

    uint64_t GetFrameCount() const { return mFrameCount; }

    int32_t loopCount = -1; // below 0: no loop block
    int32_t transparentIndex = -1;
    int dithering = 1; // 1: Floyd-Steinberg
    int paletteMethod = 1; // 1: median cut
    uint8_t disposalMethod = 0;

private:
    bool WriteHeader(const LGIFLogicalScreenDescriptor& screen);

    S& mStream;
    uint64_t mFrameCount = 0;
    uint32_t mVersion;
    LGIFLogicalScreenDescriptor mScreen;
    uint16_t mCanvasWidth;
    uint16_t mCanvasHeight;
    LPalette<LPFB8G8R8> mGlobalPalette;
    bool mOpen;
};

// The codec's save job: one frame, its own palette of at most 256 colours.
template <class S> struct LProcessGIFSave {
    LProcessGIFSave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    const LImageBuffer& buffer;
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessGIFSave<S>& r);
