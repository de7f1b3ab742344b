// A photograph-like picture for the benchmarks: gradients across and down under fine noise.
#pragma once

#include "lfw/graphics/LImageBuffer.h"

#include <algorithm>
#include <cstdint>

// Fills the buffer with a width x height B8G8R8A8 picture of that red; noise is the state of the
// noise, carried from one picture to the next.
inline void FillPhoto(LImageBuffer& pixels, int width, int height, int red, uint32_t& noise)
{
    pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    for (int y = 0; y < height; ++y) {
        unsigned char* p = pixels.GetRow(y);
        for (int x = 0; x < width; ++x, p += 4) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 27) - 16;
            p[0] = (unsigned char)std::clamp(x * 255 / width + n, 0, 255);
            p[1] = (unsigned char)std::clamp(y * 255 / height + n, 0, 255);
            p[2] = (unsigned char)std::clamp(red + n, 0, 255);
            p[3] = 255;
        }
    }
}
