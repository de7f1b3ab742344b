// TLS client sessions over a connected, non-blocking socket (OpenSSL 3).
//
// A session always verifies the server: its certificate must chain to a trusted authority (the
// system's, or those named by SSL_CERT_FILE / SSL_CERT_DIR) and must be issued for the host name
// or address the caller connects to. TLS 1.2 is the least version offered; there is no fallback
// to older versions and no way to switch verification off. The socket is never closed here.
#pragma once

#include <cstddef>
#include <string>

namespace platform::tls {

enum class Status {
    Done, // the operation completed
    WantRead, // retry when the socket is readable
    WantWrite, // retry when the socket is writable
    Closed, // the peer ended the session with its close notice
    Failed, // protocol or verification failure; the session is unusable
};

// Why a session failed.
enum class Failure {
    None,
    Certificate, // the certificate does not chain to a trusted authority, or is out of date
    CertificateName, // the certificate is not issued for the host name or address
    Protocol, // the peer does not speak TLS as expected
    Cut, // the connection ended without the close notice
};

class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Sets the session up on fd for host (a DNS name or a numeric IPv4/IPv6 address, without a
    // port). False, with a reason in GetError, when host is empty or OpenSSL refuses.
    bool Open(int fd, const char* host);
    // One step of the handshake.
    Status Handshake();
    // One read or write of at most n bytes; *done is the byte count moved on Done.
    Status Read(void* buffer, size_t n, size_t* done);
    Status Write(const void* data, size_t n, size_t* done);
    // Decrypted bytes waiting to be read.
    size_t Pending() const;
    bool IsConnected() const { return fConnected; }
    // True once the peer sent its close notice (a cut connection is not a clean close).
    bool ClosedCleanly() const { return fCleanClose; }
    // Sends close-notify (without waiting for the answer) and frees the session.
    void Close();
    const std::string& GetError() const { return fError; }
    // Why the last operation failed (None before any failure).
    Failure GetFailure() const { return fFailure; }

private:
    Status _Map(int ret);

    void* fContext = nullptr; // SSL_CTX*
    void* fSsl = nullptr; // SSL*
    bool fConnected = false;
    bool fCleanClose = false;
    std::string fError;
    Failure fFailure = Failure::None;
};

} // namespace platform::tls
