// Pixel formats, the pixel structures of each format and the format record of an image buffer.
//
// The working format of the framework is B8G8R8A8 with straight (not premultiplied) alpha.
// Every 16-bit format is a little-endian word; the framework runs on little-endian machines only.
#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
    "the pixel structures assume a little-endian machine");

enum pixelformat_t : int32_t {
    LPixelFormatInvalid = -1,
    LPixelFormatB8G8R8A8 = 0,
    LPixelFormatB8G8R8 = 1,
    LPixelFormatB5G6R5 = 2,
    LPixelFormatB5G5R5A1 = 3,
    LPixelFormatB5G5R5X1 = 4,
    LPixelFormatR8G8B8A8 = 5,
    LPixelFormatR8G8B8 = 6,
    LPixelFormat4Bit = 7,
    LPixelFormatI8 = 8,
};

inline constexpr int kLPixelFormatCount = 9;

// How smoothly a drawn or scaled image is resampled (the values of the platform's interpolation
// quality: 0 default, 1 none, 2 low, 3 high, 4 medium).
enum LImageInterpolationMode : int32_t {
    LImageInterpolationDefault = 0,
    LImageInterpolationNone = 1,
    LImageInterpolationLow = 2,
    LImageInterpolationHigh = 3,
    LImageInterpolationMedium = 4,
};

// Bits and bytes per pixel of a format: 0 bits and 1 byte for -1 and for values above 8.
uint64_t LPixelFormatBitsPerPixel(pixelformat_t format);
uint32_t LPixelFormatBytesPerPixel(pixelformat_t format);
// True for the formats that carry alpha (B8G8R8A8, B5G5R5A1, R8G8B8A8).
bool LPixelFormatHasAlpha(pixelformat_t format);

// One pixel in the working layout: bytes B, G, R, A (0xAARRGGBB as a little-endian word).
// For I8 the palette index travels in b.
struct LPixelColour {
    uint8_t b = 0, g = 0, r = 0, a = 0;

    constexpr LPixelColour() = default;
    constexpr LPixelColour(uint8_t b_, uint8_t g_, uint8_t r_, uint8_t a_)
        : b(b_)
        , g(g_)
        , r(r_)
        , a(a_)
    {
    }
    static constexpr LPixelColour FromValue(uint32_t v)
    {
        return LPixelColour(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24));
    }
    constexpr uint32_t Value() const
    {
        return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
    }
    friend constexpr bool operator==(const LPixelColour&, const LPixelColour&) = default;
};
static_assert(sizeof(LPixelColour) == 4);

// The pixel structures. kFormat names the format, kHasAlpha whether it has an alpha channel,
// kIs16Bit whether it is one 16-bit word.
struct LPFB8G8R8A8 {
    uint8_t b, g, r, a;
    static constexpr pixelformat_t kFormat = LPixelFormatB8G8R8A8;
    static constexpr bool kHasAlpha = true;
    static constexpr bool kIs16Bit = false;
};
struct LPFB8G8R8 {
    uint8_t b, g, r;
    static constexpr pixelformat_t kFormat = LPixelFormatB8G8R8;
    static constexpr bool kHasAlpha = false;
    static constexpr bool kIs16Bit = false;
};
// Blue bits 0-4, green bits 5-10, red bits 11-15.
struct LPFB5G6R5 {
    uint16_t v;
    static constexpr pixelformat_t kFormat = LPixelFormatB5G6R5;
    static constexpr bool kHasAlpha = false;
    static constexpr bool kIs16Bit = true;
};
// Blue bits 0-4, green bits 5-9, red bits 10-14, alpha bit 15.
struct LPFB5G5R5A1 {
    uint16_t v;
    static constexpr pixelformat_t kFormat = LPixelFormatB5G5R5A1;
    static constexpr bool kHasAlpha = true;
    static constexpr bool kIs16Bit = true;
};
// As B5G5R5A1 with bit 15 unused.
struct LPFB5G5R5X1 {
    uint16_t v;
    static constexpr pixelformat_t kFormat = LPixelFormatB5G5R5X1;
    static constexpr bool kHasAlpha = false;
    static constexpr bool kIs16Bit = true;
};
struct LPFR8G8B8A8 {
    uint8_t r, g, b, a;
    static constexpr pixelformat_t kFormat = LPixelFormatR8G8B8A8;
    static constexpr bool kHasAlpha = true;
    static constexpr bool kIs16Bit = false;
};
struct LPFR8G8B8 {
    uint8_t r, g, b;
    static constexpr pixelformat_t kFormat = LPixelFormatR8G8B8;
    static constexpr bool kHasAlpha = false;
    static constexpr bool kIs16Bit = false;
};
static_assert(sizeof(LPFB8G8R8A8) == 4 && sizeof(LPFB8G8R8) == 3 && sizeof(LPFB5G6R5) == 2);
static_assert(sizeof(LPFB5G5R5A1) == 2 && sizeof(LPFR8G8B8A8) == 4 && sizeof(LPFR8G8B8) == 3);

// The layout of an image buffer's pixels.
struct LImageFormat {
    pixelformat_t pixelFormat = LPixelFormatInvalid;
    int32_t width = 0;
    int32_t height = 0;
    int32_t horizontalResolution = 0; // pixels per metre, 0 when not given
    int32_t verticalResolution = 0; // pixels per metre, 0 when not given
    uint64_t stride = 0; // bytes from one stored row to the next, a multiple of 4
    bool bottomUp = false; // the first stored row is the bottom row of the picture

    LImageFormat() = default;
    // Both resolutions 0 and the stride by SetDefaultAlignment.
    LImageFormat(pixelformat_t format, int w, int h, bool bottomUp_ = false);

    // stride = the bytes of one row (a half byte rounded up), rounded up to a multiple of 4.
    void SetDefaultAlignment();

    // The bytes the pixels of one row occupy (without the padding up to the stride).
    uint64_t RowBytes() const;

    friend bool operator==(const LImageFormat&, const LImageFormat&) = default;
};
