// The functions of LibRaw's C interface that the camera-raw reader uses, each calling the
// library's own: LibRaw (with OpenMP and LittleCMS behind it) is opened on first use
// (platform/system/LazyLibrary.h), so starting the program does not load it. Without the library
// no processor is made and raw files are reported as unreadable.
#include "platform/system/LazyLibrary.h"

#include <libraw/libraw.h>

namespace {

constinit platform::system::LazyLibrary gRaw(VT_RAW_SONAME);

} // namespace

extern "C" {

libraw_data_t* libraw_init(unsigned int flags)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_init);
    return real ? real(flags) : nullptr;
}

void libraw_close(libraw_data_t* raw)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_close);
    if (real)
        real(raw);
}

void libraw_set_progress_handler(libraw_data_t* raw, progress_callback callback, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_set_progress_handler);
    if (real)
        real(raw, callback, data);
}

void libraw_set_dataerror_handler(libraw_data_t* raw, data_callback callback, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_set_dataerror_handler);
    if (real)
        real(raw, callback, data);
}

int libraw_open_buffer(libraw_data_t* raw, void* buffer, size_t size)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_open_buffer);
    return real ? real(raw, buffer, size) : LIBRAW_UNSPECIFIED_ERROR;
}

int libraw_unpack(libraw_data_t* raw)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_unpack);
    return real ? real(raw) : LIBRAW_UNSPECIFIED_ERROR;
}

int libraw_dcraw_process(libraw_data_t* raw)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_dcraw_process);
    return real ? real(raw) : LIBRAW_UNSPECIFIED_ERROR;
}

libraw_processed_image_t* libraw_dcraw_make_mem_image(libraw_data_t* raw, int* error)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_dcraw_make_mem_image);
    if (real)
        return real(raw, error);
    if (error)
        *error = LIBRAW_UNSPECIFIED_ERROR;
    return nullptr;
}

void libraw_dcraw_clear_mem(libraw_processed_image_t* image)
{
    static const auto real = VT_LAZY_FUNCTION(gRaw, libraw_dcraw_clear_mem);
    if (real)
        real(image);
}

} // extern "C"
