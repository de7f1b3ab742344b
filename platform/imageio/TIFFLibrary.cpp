// The functions of libtiff that the TIFF reader and writer use, each calling the library's own:
// libtiff is opened on first use (platform/system/LazyLibrary.h), so starting the program does not
// load it. Without the library every function answers as libtiff does on failure, and TIFF files
// are reported as unreadable or unwritable.
#include "platform/system/LazyLibrary.h"

#include <cstdarg>
#include <tiffio.h>

namespace {

constinit platform::system::LazyLibrary gTiff(VT_TIFF_SONAME);

} // namespace

extern "C" {

TIFF* TIFFClientOpenExt(const char* name, const char* mode, thandle_t handle,
    TIFFReadWriteProc read, TIFFReadWriteProc write, TIFFSeekProc seek, TIFFCloseProc close,
    TIFFSizeProc size, TIFFMapFileProc map, TIFFUnmapFileProc unmap, TIFFOpenOptions* options)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFClientOpenExt);
    return real ? real(name, mode, handle, read, write, seek, close, size, map, unmap, options)
                : nullptr;
}

void TIFFClose(TIFF* tif)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFClose);
    if (real)
        real(tif);
}

TIFFOpenOptions* TIFFOpenOptionsAlloc(void)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFOpenOptionsAlloc);
    return real ? real() : nullptr;
}

void TIFFOpenOptionsFree(TIFFOpenOptions* options)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFOpenOptionsFree);
    if (real)
        real(options);
}

void TIFFOpenOptionsSetErrorHandlerExtR(
    TIFFOpenOptions* options, TIFFErrorHandlerExtR handler, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFOpenOptionsSetErrorHandlerExtR);
    if (real)
        real(options, handler, data);
}

void TIFFOpenOptionsSetWarningHandlerExtR(
    TIFFOpenOptions* options, TIFFErrorHandlerExtR handler, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFOpenOptionsSetWarningHandlerExtR);
    if (real)
        real(options, handler, data);
}

void TIFFOpenOptionsSetMaxSingleMemAlloc(TIFFOpenOptions* options, tmsize_t limit)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFOpenOptionsSetMaxSingleMemAlloc);
    if (real)
        real(options, limit);
}

// The variadic tag functions go through their va_list forms.
int TIFFVGetField(TIFF* tif, uint32_t tag, va_list ap)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFVGetField);
    return real ? real(tif, tag, ap) : 0;
}

int TIFFGetField(TIFF* tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    int found = TIFFVGetField(tif, tag, ap);
    va_end(ap);
    return found;
}

int TIFFVGetFieldDefaulted(TIFF* tif, uint32_t tag, va_list ap)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFVGetFieldDefaulted);
    return real ? real(tif, tag, ap) : 0;
}

int TIFFGetFieldDefaulted(TIFF* tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    int found = TIFFVGetFieldDefaulted(tif, tag, ap);
    va_end(ap);
    return found;
}

int TIFFVSetField(TIFF* tif, uint32_t tag, va_list ap)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFVSetField);
    return real ? real(tif, tag, ap) : 0;
}

int TIFFSetField(TIFF* tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    int ok = TIFFVSetField(tif, tag, ap);
    va_end(ap);
    return ok;
}

int TIFFIsTiled(TIFF* tif)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFIsTiled);
    return real ? real(tif) : 0;
}

tmsize_t TIFFScanlineSize(TIFF* tif)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFScanlineSize);
    return real ? real(tif) : 0;
}

uint32_t TIFFDefaultStripSize(TIFF* tif, uint32_t request)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFDefaultStripSize);
    return real ? real(tif, request) : 0;
}

int TIFFReadScanline(TIFF* tif, void* buffer, uint32_t row, uint16_t sample)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFReadScanline);
    return real ? real(tif, buffer, row, sample) : -1;
}

int TIFFWriteScanline(TIFF* tif, void* buffer, uint32_t row, uint16_t sample)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFWriteScanline);
    return real ? real(tif, buffer, row, sample) : -1;
}

int TIFFWriteDirectory(TIFF* tif)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFWriteDirectory);
    return real ? real(tif) : 0;
}

int TIFFRGBAImageOK(TIFF* tif, char message[1024])
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFRGBAImageOK);
    return real ? real(tif, message) : 0;
}

int TIFFRGBAImageBegin(TIFFRGBAImage* image, TIFF* tif, int stop, char message[1024])
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFRGBAImageBegin);
    return real ? real(image, tif, stop, message) : 0;
}

int TIFFRGBAImageGet(TIFFRGBAImage* image, uint32_t* raster, uint32_t width, uint32_t height)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFRGBAImageGet);
    return real ? real(image, raster, width, height) : 0;
}

void TIFFRGBAImageEnd(TIFFRGBAImage* image)
{
    static const auto real = VT_LAZY_FUNCTION(gTiff, TIFFRGBAImageEnd);
    if (real)
        real(image);
}

} // extern "C"
