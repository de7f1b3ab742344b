// The work of the palette benchmark's command (palette_quantise) and of its rows run inside the
// benchmark: a PPM file read, a palette made, the picture mapped to it, the result written.
#pragma once

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertToIndexed.h"
#include "lfw/graphics/LGIFEncoder.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LPNMCodec.h"
#include "lfw/graphics/LPaletteGeneration.h"

#include <chrono>
#include <string>

namespace palettework {

inline bool WritePPM(const LImageBuffer& image, const std::string& path)
{
    LOutputStreamFile out;
    LProcessInterfaceVoid job;
    LProcessPNMSave<LOutputStreamFile> save(image, 5, 32, out);
    return out.Open(path.c_str()) && Process(job, save) == LProcessResultSuccess && out.Close();
}

// The indexed picture in the palette's colours.
inline void Expand(
    const LImageBuffer& indexed, const LPalette<LPFB8G8R8>& palette, LImageBuffer& out)
{
    const int width = indexed.GetWidth(), height = indexed.GetHeight();
    out.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, width, height));
    for (int y = 0; y < height; ++y) {
        const unsigned char* i = indexed.GetPictureRow(y);
        unsigned char* o = out.GetPictureRow(y);
        for (int x = 0; x < width; ++x, o += 3) {
            const LPFB8G8R8& e = palette[i[x]];
            o[0] = e.b, o[1] = e.g, o[2] = e.r;
        }
    }
}

inline double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Maps the picture to the palette (dithering 1: Floyd-Steinberg) and writes it as PPM.
inline bool MapAndWrite(const LImageBuffer& image, const LPalette<LPFB8G8R8>& palette,
    int dithering, const std::string& out)
{
    LProcessInterfaceVoid job;
    LImageBuffer indexed, expanded;
    LProcessConvertImageToIndexed<LPFB8G8R8> convert(image, palette, indexed, dithering);
    if (Process(job, convert) != LProcessResultSuccess)
        return false;
    Expand(indexed, palette, expanded);
    return WritePPM(expanded, out);
}

// Reads the picture, makes a palette of 256 by the method (1 median cut, 0 the octree), maps
// without dithering and writes the result. The times of the palette and of the mapping are added
// to the two sums.
inline bool Quantise(const std::string& source, const std::string& out, int method,
    double& paletteTime, double& mapTime)
{
    LImageBuffer image;
    if (!LImage::Load(image, source.c_str(), 0))
        return false;
    LProcessInterfaceVoid job;
    LPalette<LPFB8G8R8> palette;
    LProcessGeneratePaletteFromImage generate(image, 256, method, true, palette);
    LImageBuffer indexed, expanded;
    LProcessConvertImageToIndexed<LPFB8G8R8> convert(image, palette, indexed, 0);
    const double start = Seconds();
    if (Process(job, generate) != LProcessResultSuccess)
        return false;
    const double made = Seconds();
    if (Process(job, convert) != LProcessResultSuccess)
        return false;
    paletteTime += made - start;
    mapTime += Seconds() - made;
    Expand(indexed, palette, expanded);
    return WritePPM(expanded, out);
}

// Reads the picture and writes it as a GIF (its own palette and mapping).
inline bool WriteGIF(const std::string& source, const std::string& gif)
{
    LImageBuffer image;
    LOutputStreamFile out;
    LProcessInterfaceVoid job;
    LProcessGIFSave<LOutputStreamFile> save(image, out);
    return LImage::Load(image, source.c_str(), 0) && out.Open(gif.c_str())
        && Process(job, save) == LProcessResultSuccess && out.Close();
}

// Reads the picture and the palette (the pixels of a PPM map, in order), maps with
// Floyd-Steinberg dithering and writes the result.
inline bool Remap(const std::string& map, const std::string& source, const std::string& out)
{
    LImageBuffer image, colours;
    if (!LImage::Load(image, source.c_str(), 0) || !LImage::Load(colours, map.c_str(), 0))
        return false;
    LPalette<LPFB8G8R8> palette;
    if (colours.GetHeight() != 1 || !palette.SetCount(uint64_t(colours.GetWidth())))
        return false;
    const int step = colours.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 4 : 3;
    const unsigned char* p = colours.GetPictureRow(0);
    for (int i = 0; i < colours.GetWidth(); ++i, p += step)
        palette[uint64_t(i)].b = p[0], palette[uint64_t(i)].g = p[1], palette[uint64_t(i)].r = p[2];
    return MapAndWrite(image, palette, 1, out);
}

} // namespace palettework
