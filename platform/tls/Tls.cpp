#include "platform/tls/Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace platform::tls {

namespace {

bool IsNumericAddress(const char* host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host, buffer) == 1 || inet_pton(AF_INET6, host, buffer) == 1;
}

std::string LastError(const char* what)
{
    std::string text = what;
    unsigned long code = ERR_get_error();
    if (code) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text += ": ";
        text += buffer;
    }
    ERR_clear_error();
    return text;
}

} // namespace

Session::~Session()
{
    Close();
}

bool Session::Open(int fd, const char* host)
{
    Close();
    fError.clear();
    if (fd < 0 || !host || !*host) {
        fError = "no socket or no host name";
        return false;
    }
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        fError = LastError("SSL_CTX_new");
        return false;
    }
    fContext = context;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // The system's authorities; SSL_CERT_FILE and SSL_CERT_DIR replace them when set.
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        fError = LastError("default verify paths");
        Close();
        return false;
    }
    SSL* ssl = SSL_new(context);
    if (!ssl) {
        fError = LastError("SSL_new");
        Close();
        return false;
    }
    fSsl = ssl;
    SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    bool ok = SSL_set_fd(ssl, fd) == 1;
    if (ok && IsNumericAddress(host)) {
        ok = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host) == 1;
    } else if (ok) {
        ok = SSL_set_tlsext_host_name(ssl, host) == 1 && SSL_set1_host(ssl, host) == 1;
        X509_VERIFY_PARAM_set_hostflags(SSL_get0_param(ssl), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    }
    if (!ok) {
        fError = LastError("host name");
        Close();
        return false;
    }
    SSL_set_connect_state(ssl);
    return true;
}

Status Session::_Map(int ret)
{
    SSL* ssl = static_cast<SSL*>(fSsl);
    switch (SSL_get_error(ssl, ret)) {
    case SSL_ERROR_WANT_READ:
        return Status::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Status::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        fConnected = false;
        fCleanClose = true;
        return Status::Closed;
    case SSL_ERROR_SYSCALL:
        // The connection ended without the close notice: the data may have been cut short.
        fConnected = false;
        ERR_clear_error();
        fError = "connection cut";
        fFailure = Failure::Cut;
        return Status::Failed;
    default: {
        long verify = SSL_get_verify_result(ssl);
        fError = verify != X509_V_OK
            ? std::string("certificate: ") + X509_verify_cert_error_string(verify)
            : LastError("TLS");
        fFailure = verify == X509_V_OK ? Failure::Protocol
            : verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH
            ? Failure::CertificateName
            : Failure::Certificate;
        ERR_clear_error();
        fConnected = false;
        return Status::Failed;
    }
    }
}

Status Session::Handshake()
{
    if (!fSsl)
        return Status::Failed;
    int ret = SSL_do_handshake(static_cast<SSL*>(fSsl));
    if (ret == 1) {
        fConnected = true;
        return Status::Done;
    }
    Status s = _Map(ret);
    return s == Status::Closed ? Status::Failed : s;
}

Status Session::Read(void* buffer, size_t n, size_t* done)
{
    *done = 0;
    if (!fSsl)
        return Status::Failed;
    if (n == 0)
        return Status::Done;
    size_t got = 0;
    int ret = SSL_read_ex(static_cast<SSL*>(fSsl), buffer, n, &got);
    if (ret == 1) {
        *done = got;
        return Status::Done;
    }
    return _Map(ret);
}

Status Session::Write(const void* data, size_t n, size_t* done)
{
    *done = 0;
    if (!fSsl)
        return Status::Failed;
    if (n == 0)
        return Status::Done;
    size_t put = 0;
    int ret = SSL_write_ex(static_cast<SSL*>(fSsl), data, n, &put);
    if (ret == 1) {
        *done = put;
        return Status::Done;
    }
    return _Map(ret);
}

size_t Session::Pending() const
{
    if (!fSsl || !fConnected)
        return 0;
    int n = SSL_pending(static_cast<SSL*>(fSsl));
    return n > 0 ? size_t(n) : 0;
}

void Session::Close()
{
    if (fSsl) {
        SSL* ssl = static_cast<SSL*>(fSsl);
        if (fConnected)
            SSL_shutdown(ssl);
        SSL_free(ssl);
        fSsl = nullptr;
    }
    if (fContext) {
        SSL_CTX_free(static_cast<SSL_CTX*>(fContext));
        fContext = nullptr;
    }
    fConnected = false;
    fCleanClose = false;
    fFailure = Failure::None;
    ERR_clear_error();
}

} // namespace platform::tls
