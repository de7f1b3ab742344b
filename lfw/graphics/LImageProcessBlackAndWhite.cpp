// The black-and-white pixel effect over whole buffers.
#include "lfw/graphics/LImageProcessBlackAndWhite.h"

#include "lfw/graphics/LImageIterator.h"

template <class P, class E> LProcessResult ProcessImagePixelEffect(E& effect, LImageBuffer& buffer)
{
    (void)effect;
    const size_t width = buffer.GetWidth() > 0 ? size_t(buffer.GetWidth()) : 0;
    for (LImageScanlineIterator rows(buffer); !rows.IsDone(); rows.Next())
        E::ProcessRow(reinterpret_cast<P*>(rows.Get()), width);
    return LProcessResultSuccess;
}

template <class E> LProcessResult LApplyImageProcess(LImageBuffer& buffer, E& effect)
{
    switch (buffer.GetPixelFormat()) {
    case LPixelFormatB8G8R8A8:
        return ProcessImagePixelEffect<LPFB8G8R8A8>(effect, buffer);
    case LPixelFormatB8G8R8:
        return ProcessImagePixelEffect<LPFB8G8R8>(effect, buffer);
    case LPixelFormatB5G6R5:
        return ProcessImagePixelEffect<LPFB5G6R5>(effect, buffer);
    case LPixelFormatB5G5R5A1:
        return ProcessImagePixelEffect<LPFB5G5R5A1>(effect, buffer);
    case LPixelFormatB5G5R5X1:
        return ProcessImagePixelEffect<LPFB5G5R5X1>(effect, buffer);
    case LPixelFormatR8G8B8A8:
        return ProcessImagePixelEffect<LPFR8G8B8A8>(effect, buffer);
    default:
        return LProcessResultSuccess;
    }
}

template LProcessResult LApplyImageProcess(LImageBuffer&, LImageProcessBlackAndWhite&);
template LProcessResult ProcessImagePixelEffect<LPFB8G8R8A8>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
template LProcessResult ProcessImagePixelEffect<LPFB8G8R8>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
template LProcessResult ProcessImagePixelEffect<LPFB5G6R5>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
template LProcessResult ProcessImagePixelEffect<LPFB5G5R5A1>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
template LProcessResult ProcessImagePixelEffect<LPFB5G5R5X1>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
template LProcessResult ProcessImagePixelEffect<LPFR8G8B8A8>(
    LImageProcessBlackAndWhite&, LImageBuffer&);
