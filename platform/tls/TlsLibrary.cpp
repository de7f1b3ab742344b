// The functions of OpenSSL (libssl and libcrypto) that the TLS sessions use, each calling the
// library's own: OpenSSL is opened on first use (platform/system/LazyLibrary.h), so starting the
// program does not load it. OpenSSL's macros (SSL_set_mode, SSL_set_tlsext_host_name,
// SSL_CTX_set_min_proto_version, ...) come here as SSL_ctrl and SSL_CTX_ctrl. Without the library
// every function answers as OpenSSL does on failure, and a session cannot be opened.
#include "platform/system/LazyLibrary.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

constinit platform::system::LazyLibrary gSsl(VT_SSL_SONAME);
constinit platform::system::LazyLibrary gCrypto(VT_CRYPTO_SONAME);

} // namespace

extern "C" {

// libssl: contexts.

const SSL_METHOD* TLS_client_method(void)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, TLS_client_method);
    return real ? real() : nullptr;
}

SSL_CTX* SSL_CTX_new(const SSL_METHOD* method)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_CTX_new);
    return real ? real(method) : nullptr;
}

void SSL_CTX_free(SSL_CTX* context)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_CTX_free);
    if (real)
        real(context);
}

long SSL_CTX_ctrl(SSL_CTX* context, int command, long value, void* pointer)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_CTX_ctrl);
    return real ? real(context, command, value, pointer) : 0;
}

void SSL_CTX_set_verify(SSL_CTX* context, int mode, SSL_verify_cb callback)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_CTX_set_verify);
    if (real)
        real(context, mode, callback);
}

int SSL_CTX_set_default_verify_paths(SSL_CTX* context)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_CTX_set_default_verify_paths);
    return real ? real(context) : 0;
}

// libssl: connections.

SSL* SSL_new(SSL_CTX* context)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_new);
    return real ? real(context) : nullptr;
}

void SSL_free(SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_free);
    if (real)
        real(ssl);
}

long SSL_ctrl(SSL* ssl, int command, long value, void* pointer)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_ctrl);
    return real ? real(ssl, command, value, pointer) : 0;
}

int SSL_set_fd(SSL* ssl, int fd)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_set_fd);
    return real ? real(ssl, fd) : 0;
}

int SSL_set1_host(SSL* ssl, const char* host)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_set1_host);
    return real ? real(ssl, host) : 0;
}

X509_VERIFY_PARAM* SSL_get0_param(SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_get0_param);
    return real ? real(ssl) : nullptr;
}

void SSL_set_connect_state(SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_set_connect_state);
    if (real)
        real(ssl);
}

int SSL_do_handshake(SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_do_handshake);
    return real ? real(ssl) : -1;
}

int SSL_read_ex(SSL* ssl, void* buffer, size_t n, size_t* done)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_read_ex);
    return real ? real(ssl, buffer, n, done) : 0;
}

int SSL_write_ex(SSL* ssl, const void* data, size_t n, size_t* done)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_write_ex);
    return real ? real(ssl, data, n, done) : 0;
}

int SSL_pending(const SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_pending);
    return real ? real(ssl) : 0;
}

int SSL_get_error(const SSL* ssl, int result)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_get_error);
    return real ? real(ssl, result) : SSL_ERROR_SSL;
}

long SSL_get_verify_result(const SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_get_verify_result);
    return real ? real(ssl) : X509_V_OK;
}

int SSL_shutdown(SSL* ssl)
{
    static const auto real = VT_LAZY_FUNCTION(gSsl, SSL_shutdown);
    return real ? real(ssl) : -1;
}

// libcrypto: the error queue and certificate checks.

unsigned long ERR_get_error(void)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, ERR_get_error);
    return real ? real() : 0;
}

void ERR_error_string_n(unsigned long code, char* buffer, size_t size)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, ERR_error_string_n);
    if (real)
        real(code, buffer, size);
    else if (buffer && size > 0)
        buffer[0] = '\0';
}

void ERR_clear_error(void)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, ERR_clear_error);
    if (real)
        real();
}

int X509_VERIFY_PARAM_set1_ip_asc(X509_VERIFY_PARAM* param, const char* address)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, X509_VERIFY_PARAM_set1_ip_asc);
    return real ? real(param, address) : 0;
}

void X509_VERIFY_PARAM_set_hostflags(X509_VERIFY_PARAM* param, unsigned int flags)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, X509_VERIFY_PARAM_set_hostflags);
    if (real)
        real(param, flags);
}

const char* X509_verify_cert_error_string(long code)
{
    static const auto real = VT_LAZY_FUNCTION(gCrypto, X509_verify_cert_error_string);
    return real ? real(code) : "unknown certificate verification error";
}

} // extern "C"
