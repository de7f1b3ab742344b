// The small geometric values of the drawing code: points and float bounding boxes.
#pragma once

#include <cstdint>

// A point of the integer line operations.
struct LPoint {
    int32_t x = 0;
    int32_t y = 0;
};

template <class T> struct LPointTemplate {
    T x = 0;
    T y = 0;
    LPointTemplate() = default;
    LPointTemplate(T px, T py)
        : x(px)
        , y(py)
    {
    }
    bool operator==(const LPointTemplate&) const = default;
};

// A box by its edges; y grows downwards.
template <class T> struct LBoundingBox2T {
    T left = 0;
    T top = 0;
    T right = 0;
    T bottom = 0;
    LBoundingBox2T() = default;
    LBoundingBox2T(T l, T t, T r, T b)
        : left(l)
        , top(t)
        , right(r)
        , bottom(b)
    {
    }
    T GetWidth() const { return right - left; }
    T GetHeight() const { return bottom - top; }
    bool operator==(const LBoundingBox2T&) const = default;
};

// A rectangle of the window layer by its edges (pixels, y down).
using LRectangle = LBoundingBox2T<int32_t>;
