// The functions of OpenJPEG that the JPEG 2000 reader and writer use, each calling the library's
// own: OpenJPEG is opened on first use (platform/system/LazyLibrary.h), so starting the program
// does not load it. Without the library every function answers as OpenJPEG does on failure (no
// codec, no stream, OPJ_FALSE), and JPEG 2000 files are reported as unreadable or unwritable.
#include "platform/system/LazyLibrary.h"

#include <openjpeg.h>

namespace {

constinit platform::system::LazyLibrary gOpenJpeg(VT_OPENJPEG_SONAME);

} // namespace

extern "C" {

// Codecs.

opj_codec_t* opj_create_decompress(OPJ_CODEC_FORMAT format)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_create_decompress);
    return real ? real(format) : nullptr;
}

opj_codec_t* opj_create_compress(OPJ_CODEC_FORMAT format)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_create_compress);
    return real ? real(format) : nullptr;
}

void opj_destroy_codec(opj_codec_t* codec)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_destroy_codec);
    if (real)
        real(codec);
}

OPJ_BOOL opj_set_info_handler(opj_codec_t* codec, opj_msg_callback callback, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_set_info_handler);
    return real ? real(codec, callback, data) : OPJ_FALSE;
}

OPJ_BOOL opj_set_warning_handler(opj_codec_t* codec, opj_msg_callback callback, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_set_warning_handler);
    return real ? real(codec, callback, data) : OPJ_FALSE;
}

OPJ_BOOL opj_set_error_handler(opj_codec_t* codec, opj_msg_callback callback, void* data)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_set_error_handler);
    return real ? real(codec, callback, data) : OPJ_FALSE;
}

// Decoding.

void opj_set_default_decoder_parameters(opj_dparameters_t* parameters)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_set_default_decoder_parameters);
    if (real)
        real(parameters);
}

OPJ_BOOL opj_setup_decoder(opj_codec_t* codec, opj_dparameters_t* parameters)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_setup_decoder);
    return real ? real(codec, parameters) : OPJ_FALSE;
}

OPJ_BOOL opj_decoder_set_strict_mode(opj_codec_t* codec, OPJ_BOOL strict)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_decoder_set_strict_mode);
    return real ? real(codec, strict) : OPJ_FALSE;
}

OPJ_BOOL opj_read_header(opj_stream_t* stream, opj_codec_t* codec, opj_image_t** image)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_read_header);
    return real ? real(stream, codec, image) : OPJ_FALSE;
}

OPJ_BOOL opj_decode(opj_codec_t* codec, opj_stream_t* stream, opj_image_t* image)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_decode);
    return real ? real(codec, stream, image) : OPJ_FALSE;
}

OPJ_BOOL opj_end_decompress(opj_codec_t* codec, opj_stream_t* stream)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_end_decompress);
    return real ? real(codec, stream) : OPJ_FALSE;
}

// Encoding.

void opj_set_default_encoder_parameters(opj_cparameters_t* parameters)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_set_default_encoder_parameters);
    if (real)
        real(parameters);
}

OPJ_BOOL opj_setup_encoder(opj_codec_t* codec, opj_cparameters_t* parameters, opj_image_t* image)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_setup_encoder);
    return real ? real(codec, parameters, image) : OPJ_FALSE;
}

OPJ_BOOL opj_start_compress(opj_codec_t* codec, opj_image_t* image, opj_stream_t* stream)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_start_compress);
    return real ? real(codec, image, stream) : OPJ_FALSE;
}

OPJ_BOOL opj_encode(opj_codec_t* codec, opj_stream_t* stream)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_encode);
    return real ? real(codec, stream) : OPJ_FALSE;
}

OPJ_BOOL opj_end_compress(opj_codec_t* codec, opj_stream_t* stream)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_end_compress);
    return real ? real(codec, stream) : OPJ_FALSE;
}

// Images.

opj_image_t* opj_image_create(
    OPJ_UINT32 count, opj_image_cmptparm_t* components, OPJ_COLOR_SPACE space)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_image_create);
    return real ? real(count, components, space) : nullptr;
}

void opj_image_destroy(opj_image_t* image)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_image_destroy);
    if (real)
        real(image);
}

// Streams.

opj_stream_t* opj_stream_create(OPJ_SIZE_T bufferSize, OPJ_BOOL input)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_create);
    return real ? real(bufferSize, input) : nullptr;
}

void opj_stream_destroy(opj_stream_t* stream)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_destroy);
    if (real)
        real(stream);
}

void opj_stream_set_read_function(opj_stream_t* stream, opj_stream_read_fn function)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_read_function);
    if (real)
        real(stream, function);
}

void opj_stream_set_write_function(opj_stream_t* stream, opj_stream_write_fn function)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_write_function);
    if (real)
        real(stream, function);
}

void opj_stream_set_skip_function(opj_stream_t* stream, opj_stream_skip_fn function)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_skip_function);
    if (real)
        real(stream, function);
}

void opj_stream_set_seek_function(opj_stream_t* stream, opj_stream_seek_fn function)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_seek_function);
    if (real)
        real(stream, function);
}

void opj_stream_set_user_data(
    opj_stream_t* stream, void* data, opj_stream_free_user_data_fn release)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_user_data);
    if (real)
        real(stream, data, release);
}

void opj_stream_set_user_data_length(opj_stream_t* stream, OPJ_UINT64 length)
{
    static const auto real = VT_LAZY_FUNCTION(gOpenJpeg, opj_stream_set_user_data_length);
    if (real)
        real(stream, length);
}

} // extern "C"
