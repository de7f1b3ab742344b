// Four lanes of floats or of 32-bit integers, and the listing of the colours that can be nearest
// to some colour of a box: the searches of the palettes' nearest entries share both.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace LNearBox {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));

inline Float4 Load4(const float* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline Int4 Load4(const int32_t* p)
{
    Int4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// Each lane of a where the mask's lane is set, else of b.
inline Float4 Select(Int4 mask, Float4 a, Float4 b)
{
    return Float4((Int4(a) & mask) | (Int4(b) & ~mask));
}
inline Int4 Select(Int4 mask, Int4 a, Int4 b)
{
    return (a & mask) | (b & ~mask);
}
inline Float4 Min4(Float4 a, Float4 b)
{
    return Select(a < b, a, b);
}
inline Float4 Max4(Float4 a, Float4 b)
{
    return Select(a > b, a, b);
}
// The lanes whose mask is set, as bits 0 to 3.
inline unsigned Lanes(Int4 mask)
{
    return unsigned(mask[0] & 1) | unsigned(mask[1] & 2) | unsigned(mask[2] & 4)
        | unsigned(mask[3] & 8);
}

// Of count colours four at a time (channels r, g, b, each readable to a whole step of four; the
// places after count lie far away), those that can be nearest to some colour of the box
// [low, low + side] in each channel: every colour of the box lies within the smallest farthest
// distance of some colour listed; one whose nearest distance is beyond that is never the nearest
// (nor as near). Calls take(i) for each, in order, i its place.
template <class Take>
void ListNearBox(const float* r, const float* g, const float* b, size_t count, const float low[3],
    float side, Take take)
{
    auto farthest = [&](Float4 v, int c) {
        const Float4 d = Max4(v - low[c], (low[c] + side) - v);
        return d * d;
    };
    auto nearest = [&](Float4 v, int c) {
        const Float4 d = Max4(Max4(low[c] - v, v - (low[c] + side)), Float4 {});
        return d * d;
    };
    Float4 least = Float4 {} + std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < count; i += 4)
        least = Min4(least,
            farthest(Load4(r + i), 0) + farthest(Load4(g + i), 1) + farthest(Load4(b + i), 2));
    const float bound = std::min(std::min(least[0], least[1]), std::min(least[2], least[3]));
    for (size_t i = 0; i < count; i += 4) {
        const Float4 d
            = nearest(Load4(r + i), 0) + nearest(Load4(g + i), 1) + nearest(Load4(b + i), 2);
        for (unsigned lanes = Lanes(d <= bound); lanes; lanes &= lanes - 1) {
            const size_t at = i + size_t(__builtin_ctz(lanes));
            if (at < count)
                take(at);
        }
    }
}

} // namespace LNearBox
