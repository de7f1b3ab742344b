// The black-and-white pixel effect: every pixel becomes its grey level
// (B x 25 + G x 155 + R x 76) >> 8, in place, for the pixel formats 0 to 5.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstddef>
#include <type_traits>

struct LImageProcessBlackAndWhite {
    static constexpr unsigned Grey(unsigned b, unsigned g, unsigned r)
    {
        return (b * 25 + g * 155 + r * 76) >> 8;
    }
    // Widening of the 16-bit formats' fields by bit replication.
    static constexpr unsigned Widen5(unsigned c) { return ((c & 31) << 3) | ((c & 31) >> 2); }
    static constexpr unsigned Widen6(unsigned c) { return ((c & 63) << 2) | ((c & 63) >> 4); }

    // The effect on n pixels of one row.
    template <class P> static void ProcessRow(P* row, size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            P& p = row[i];
            if constexpr (std::is_same_v<P, LPFB8G8R8A8> || std::is_same_v<P, LPFB8G8R8>) {
                const uint8_t g = uint8_t(Grey(p.b, p.g, p.r));
                p.b = p.g = p.r = g;
            } else if constexpr (std::is_same_v<P, LPFR8G8B8A8>) {
                const uint8_t g = uint8_t(Grey(p.b, p.g, p.r));
                p.r = p.g = p.b = g;
                p.a = 255;
            } else if constexpr (std::is_same_v<P, LPFB5G6R5>) {
                const unsigned g = Grey(Widen5(p.v), Widen6(p.v >> 5), Widen5(p.v >> 11));
                p.v = uint16_t((g >> 3) | (g >> 2) << 5 | (g >> 3) << 11);
            } else if constexpr (std::is_same_v<P, LPFB5G5R5A1> || std::is_same_v<P, LPFB5G5R5X1>) {
                const unsigned g = Grey(Widen5(p.v), Widen5(p.v >> 5), Widen5(p.v >> 10));
                const unsigned top = std::is_same_v<P, LPFB5G5R5A1> ? 0x8000u : (p.v & 0x8000u);
                p.v = uint16_t((g >> 3) | (g >> 3) << 5 | (g >> 3) << 10 | top);
            }
        }
    }
};

// The effect for one pixel format over every row of the buffer; always 0.
template <class P, class E> LProcessResult ProcessImagePixelEffect(E& effect, LImageBuffer& buffer);

// Applies the effect for the buffer's pixel format (0 to 5); other formats are left unchanged.
template <class E> LProcessResult LApplyImageProcess(LImageBuffer& buffer, E& effect);
