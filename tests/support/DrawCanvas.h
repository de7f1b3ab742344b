// A Cairo image surface with a paint context over it, for tests that draw and read pixels back.
#pragma once

#include "lfw/mac/LPaintContext.h"

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <memory>

struct DrawPixel {
    int r, g, b, a; // straight alpha
};

class DrawCanvas {
public:
    // Opaque white unless told otherwise.
    DrawCanvas(int width, int height, bool white = true)
        : mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height))
        , mCr(cairo_create(mSurface))
        , mWidth(width)
        , mHeight(height)
    {
        if (white) {
            cairo_set_source_rgb(mCr, 1, 1, 1);
            cairo_paint(mCr);
            cairo_set_source_rgb(mCr, 0, 0, 0);
        }
        mContext = std::make_unique<LPaintContext>(mCr, width, height);
    }
    ~DrawCanvas()
    {
        mContext.reset();
        cairo_destroy(mCr);
        cairo_surface_destroy(mSurface);
    }
    DrawCanvas(const DrawCanvas&) = delete;
    DrawCanvas& operator=(const DrawCanvas&) = delete;

    LPaintContext& ctx() { return *mContext; }
    cairo_t* cr() { return mCr; }
    cairo_surface_t* surface() { return mSurface; }
    int width() const { return mWidth; }
    int height() const { return mHeight; }

    DrawPixel At(int x, int y)
    {
        cairo_surface_flush(mSurface);
        const unsigned char* row
            = cairo_image_surface_get_data(mSurface) + y * cairo_image_surface_get_stride(mSurface);
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        int a = int(v >> 24), r = int((v >> 16) & 255), g = int((v >> 8) & 255), b = int(v & 255);
        if (a > 0 && a < 255) {
            r = (r * 255 + a / 2) / a;
            g = (g * 255 + a / 2) / a;
            b = (b * 255 + a / 2) / a;
        }
        return { r, g, b, a };
    }
    // 0..255 darkness of an opaque grey-level pixel (0 white, 255 black).
    int Ink(int x, int y)
    {
        DrawPixel p = At(x, y);
        return 255 - (p.r + p.g + p.b) / 3;
    }
    bool IsWhite(int x, int y)
    {
        DrawPixel p = At(x, y);
        return p.r == 255 && p.g == 255 && p.b == 255;
    }
    // The box of pixels darker than the threshold; false when there are none.
    bool InkBox(int& left, int& top, int& right, int& bottom, int threshold = 100)
    {
        left = mWidth;
        top = mHeight;
        right = -1;
        bottom = -1;
        for (int y = 0; y < mHeight; ++y)
            for (int x = 0; x < mWidth; ++x)
                if (Ink(x, y) > threshold) {
                    left = x < left ? x : left;
                    right = x > right ? x : right;
                    top = y < top ? y : top;
                    bottom = y > bottom ? y : bottom;
                }
        return right >= 0;
    }
    bool SameAs(DrawCanvas& o)
    {
        cairo_surface_flush(mSurface);
        cairo_surface_flush(o.mSurface);
        size_t n = size_t(cairo_image_surface_get_stride(mSurface)) * mHeight;
        return mWidth == o.mWidth && mHeight == o.mHeight
            && std::memcmp(cairo_image_surface_get_data(mSurface),
                   cairo_image_surface_get_data(o.mSurface), n)
            == 0;
    }

private:
    cairo_surface_t* mSurface;
    cairo_t* mCr;
    int mWidth, mHeight;
    std::unique_ptr<LPaintContext> mContext;
};
