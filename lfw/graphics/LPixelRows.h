// Whole-row pixel routines for the 8-bit formats, vectorised where the processor allows it.
//
// n counts pixels. Unless a routine says otherwise, dst and src may be the same row (in place)
// but must not otherwise overlap. The 4-byte routines take any byte order whose alpha is the
// fourth byte (B8G8R8A8 and R8G8B8A8).
#pragma once

#include <cstddef>
#include <cstdint>

namespace LPixelRows {

// Exchanges bytes 0 and 2 of every 4-byte pixel.
void SwapRedBlue(uint8_t* dst, const uint8_t* src, size_t n);
// 4 bytes to 3: the alpha byte dropped, the order kept (B8G8R8A8 to B8G8R8). Not in place.
void DropAlpha(uint8_t* dst, const uint8_t* src, size_t n);
// 4 bytes to 3 with bytes 0 and 2 exchanged (R8G8B8A8 to B8G8R8). Not in place.
void DropAlphaSwap(uint8_t* dst, const uint8_t* src, size_t n);
// 3 bytes to 4: the order kept, alpha 255 appended (B8G8R8 to B8G8R8A8). Not in place.
void AddAlpha(uint8_t* dst, const uint8_t* src, size_t n);
// 3 bytes to 4 with bytes 0 and 2 exchanged, alpha 255 (B8G8R8 to R8G8B8A8). Not in place.
void AddAlphaSwap(uint8_t* dst, const uint8_t* src, size_t n);
// Exchanges bytes 0 and 2 of every 3-byte pixel.
void SwapRedBlue24(uint8_t* dst, const uint8_t* src, size_t n);

// Straight alpha to premultiplied: each colour byte c becomes round(c x a / 255).
void Premultiply(uint8_t* dst, const uint8_t* src, size_t n);
// Premultiplied to straight alpha: each colour byte p becomes min(255, round(p x 255 / a)),
// and 0 where a is 0.
void Unpremultiply(uint8_t* dst, const uint8_t* src, size_t n);
// Straight alpha to premultiplied with bytes 0 and 2 exchanged on the way.
void PremultiplySwap(uint8_t* dst, const uint8_t* src, size_t n);
// Premultiplied to straight alpha with bytes 0 and 2 exchanged on the way.
void UnpremultiplySwap(uint8_t* dst, const uint8_t* src, size_t n);
// Writes into the straight row the straight form of every premultiplied pixel that differs from
// the straight pixel's premultiplied form; pixels that match keep their exact straight values.
void UnpremultiplyChanged(uint8_t* straight, const uint8_t* premultiplied, size_t n);
// Fills n 32-bit words with one value.
void Fill32(uint32_t* dst, uint32_t value, size_t n);
// Sets the fourth byte of every 4-byte pixel to 255.
void SetOpaque(uint8_t* row, size_t n);

} // namespace LPixelRows
