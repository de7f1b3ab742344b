// Image flips: row loops per pixel structure.
#include "lfw/graphics/LImgProFlip.h"

#include <algorithm>
#include <cstring>

namespace {

// A destination a copying flip may write: valid and of the source's format and size.
bool FitsSource(const LImageBuffer& destination, const LImageBuffer& source)
{
    return source.IsValid() && destination.IsValid()
        && destination.GetPixelFormat() == source.GetPixelFormat()
        && destination.GetWidth() == source.GetWidth()
        && destination.GetHeight() == source.GetHeight();
}

template <class P> const P* Row(const LImageBuffer& b, int i)
{
    return reinterpret_cast<const P*>(b.GetRow(i));
}
template <class P> P* Row(LImageBuffer& b, int i)
{
    return reinterpret_cast<P*>(b.GetRow(i));
}

} // namespace

template <class P> LProcessResult LImgProFlipHorizontal::ProcessImage(LImageBuffer& buffer)
{
    if (!buffer.IsValid())
        return LProcessResultError;
    const int width = buffer.GetWidth();
    for (int y = 0; y < buffer.GetHeight(); ++y) {
        P* row = Row<P>(buffer, y);
        std::reverse(row, row + width);
    }
    return LProcessResultSuccess;
}

template <class P>
LProcessResult LImgProFlipHorizontal::ProcessImage(
    LImageBuffer& destination, const LImageBuffer& source)
{
    if (&destination == &source)
        return ProcessImage<P>(destination);
    if (!FitsSource(destination, source))
        return LProcessResultError;
    const int width = source.GetWidth();
    for (int y = 0; y < source.GetHeight(); ++y) {
        const P* in = Row<P>(source, y);
        std::reverse_copy(in, in + width, Row<P>(destination, y));
    }
    return LProcessResultSuccess;
}

template <class P> LProcessResult LImgProFlipVertical::ProcessImage(LImageBuffer& buffer)
{
    if (!buffer.IsValid())
        return LProcessResultError;
    const int height = buffer.GetHeight();
    const size_t bytes = size_t(buffer.GetWidth()) * sizeof(P);
    for (int i = 0; i < height / 2; ++i) {
        auto* top = reinterpret_cast<uint8_t*>(Row<P>(buffer, i));
        auto* bottom = reinterpret_cast<uint8_t*>(Row<P>(buffer, height - 1 - i));
        std::swap_ranges(top, top + bytes, bottom);
    }
    return LProcessResultSuccess;
}

template <class P>
LProcessResult LImgProFlipVertical::ProcessImage(
    LImageBuffer& destination, const LImageBuffer& source)
{
    if (&destination == &source)
        return ProcessImage<P>(destination);
    if (!FitsSource(destination, source))
        return LProcessResultError;
    const int height = source.GetHeight();
    const size_t bytes = size_t(source.GetWidth()) * sizeof(P);
    for (int i = 0; i < height; ++i)
        std::memcpy(Row<P>(destination, height - 1 - i), Row<P>(source, i), bytes);
    return LProcessResultSuccess;
}

template <class P>
LProcessResult LImgProFlipHorizontalAndVertical::ProcessImage(LImageBuffer& buffer)
{
    if (!buffer.IsValid())
        return LProcessResultError;
    const int width = buffer.GetWidth(), height = buffer.GetHeight();
    for (int i = 0; i < height / 2; ++i) {
        P* top = Row<P>(buffer, i);
        P* bottom = Row<P>(buffer, height - 1 - i);
        for (int x = 0; x < width; ++x)
            std::swap(top[x], bottom[width - 1 - x]);
    }
    if (height % 2) {
        P* middle = Row<P>(buffer, height / 2);
        std::reverse(middle, middle + width);
    }
    return LProcessResultSuccess;
}

template <class P>
LProcessResult LImgProFlipHorizontalAndVertical::ProcessImage(
    LImageBuffer& destination, const LImageBuffer& source)
{
    if (&destination == &source)
        return ProcessImage<P>(destination);
    if (!FitsSource(destination, source))
        return LProcessResultError;
    const int width = source.GetWidth(), height = source.GetHeight();
    for (int i = 0; i < height; ++i) {
        const P* in = Row<P>(source, i);
        std::reverse_copy(in, in + width, Row<P>(destination, height - 1 - i));
    }
    return LProcessResultSuccess;
}

template <class P>
LProcessResult LImgProFlip::ProcessImage(LImageBuffer& destination, const LImageBuffer& source)
{
    switch (mMode) {
    case LImgProFlipNone:
        if (&destination != &source)
            LImageBufferCopy(destination, source);
        return LProcessResultSuccess;
    case LImgProFlipModeHorizontal:
        return LImgProFlipHorizontal::ProcessImage<P>(destination, source);
    case LImgProFlipModeVertical:
        return LImgProFlipVertical::ProcessImage<P>(destination, source);
    case LImgProFlipModeHorizontalAndVertical:
        return LImgProFlipHorizontalAndVertical::ProcessImage<P>(destination, source);
    default:
        return LProcessResultError;
    }
}

LProcessResult LImgProFlip::ProcessImage(LImageBuffer& destination, const LImageBuffer& source)
{
    switch (source.GetPixelFormat()) {
    case LPixelFormatB8G8R8A8:
        return ProcessImage<LPFB8G8R8A8>(destination, source);
    case LPixelFormatB8G8R8:
        return ProcessImage<LPFB8G8R8>(destination, source);
    case LPixelFormatB5G6R5:
        return ProcessImage<LPFB5G6R5>(destination, source);
    case LPixelFormatB5G5R5A1:
        return ProcessImage<LPFB5G5R5A1>(destination, source);
    case LPixelFormatB5G5R5X1:
        return ProcessImage<LPFB5G5R5X1>(destination, source);
    case LPixelFormatR8G8B8A8:
        return ProcessImage<LPFR8G8B8A8>(destination, source);
    default:
        return LProcessResultError;
    }
}

#define VT_FLIP_INSTANTIATE(P)                                                                     \
    template LProcessResult LImgProFlip::ProcessImage<P>(LImageBuffer&, const LImageBuffer&);      \
    template LProcessResult LImgProFlipHorizontal::ProcessImage<P>(                                \
        LImageBuffer&, const LImageBuffer&);                                                       \
    template LProcessResult LImgProFlipHorizontal::ProcessImage<P>(LImageBuffer&);                 \
    template LProcessResult LImgProFlipVertical::ProcessImage<P>(                                  \
        LImageBuffer&, const LImageBuffer&);                                                       \
    template LProcessResult LImgProFlipVertical::ProcessImage<P>(LImageBuffer&);                   \
    template LProcessResult LImgProFlipHorizontalAndVertical::ProcessImage<P>(                     \
        LImageBuffer&, const LImageBuffer&);                                                       \
    template LProcessResult LImgProFlipHorizontalAndVertical::ProcessImage<P>(LImageBuffer&);

VT_FLIP_INSTANTIATE(LPFB8G8R8A8)
VT_FLIP_INSTANTIATE(LPFB8G8R8)
VT_FLIP_INSTANTIATE(LPFB5G6R5)
VT_FLIP_INSTANTIATE(LPFB5G5R5A1)
VT_FLIP_INSTANTIATE(LPFB5G5R5X1)
VT_FLIP_INSTANTIATE(LPFR8G8B8A8)
