// LImage: the whole-image operations of the framework.
//
// LImage is a namespace, not a class, so that each group of operations lives with its own code:
// alpha removal and resizing are declared here; other headers (image files, drawing an image into
// a paint context) add their operations to the same namespace.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

namespace LImage {

enum ResizeFilter : int32_t {
    ResizeNearestNeighbor = 0,
    ResizeBicubic = 1,
};

// Makes dst a B8G8R8A8 copy of src (top-down, src's resolutions). colour -1 makes every pixel
// opaque; any other value is a background packed as B in bits 0-7, G in 8-15, R in 16-23, over
// which each pixel is blended by its alpha (the result is opaque). 1 when done; 0 when dst
// cannot be allocated or src cannot be converted (an invalid buffer, the 4-bit format or I8).
int DeleteAlpha(const LImageBuffer& src, LImageBuffer& dst, int colour);

// Makes dst a copy of src resized to w x h, or, with keepAspect, to the largest size of src's
// proportions that fits w x h (a side that would round to nothing keeps one pixel, and the result
// never exceeds w x h). A size below 1 x 1 empties dst and returns 0. 1 when
// stopped, 2 when src is invalid, dst cannot be allocated or src's format cannot be scaled by
// the filter (dst is then empty); 0 otherwise.
LProcessResult Resize(LProcessInterface& job, const LImageBuffer& src, LImageBuffer& dst, int w,
    int h, bool keepAspect, ResizeFilter filter);

} // namespace LImage
