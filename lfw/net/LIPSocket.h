// Client-side TCP sockets: IPv4 addresses and name resolution, plain and TLS stream sockets, and
// the job operations on them (connect, wait, send, receive a count, receive to a stop character,
// receive a text line).
//
// Every operation takes the job interface first and returns an LProcessResult: 0 success,
// 1 stopped, 2 failure (no error text is set here; callers word their own). Time-outs are in
// milliseconds; waits go in slices of 200 ms with a stop test after each, so a stop request is
// seen within about 200 ms. Sockets are non-blocking and close-on-exec throughout.
//
// TLS sockets verify the server (trusted authority, host name, TLS 1.2 or newer, see
// platform/tls). A TLS socket without a session behaves as a plain socket in every operation.
#pragma once

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LProcess.h"

#include <cstddef>
#include <cstdint>

namespace platform::tls {
class Session;
}

inline constexpr size_t kLIPHostSize = 260;
inline constexpr uint32_t kLIPAddressNone = 0xFFFFFFFFu;

// One IPv4 socket address; port and address in network byte order. An address of
// kLIPAddressNone (a failed numeric parse) or a port of 0 makes a connect fail.
struct LIPAddressWithPort {
    uint16_t family = 2; // AF_INET
    uint16_t port = 0;
    uint32_t address = kLIPAddressNone;

    // From a host-order port and a network-order address.
    static LIPAddressWithPort Make(uint32_t networkAddress, uint16_t hostPort);
};

// The addresses of one host, at most 4, in the resolver's order.
struct LIPAddressMultiHomed {
    static constexpr size_t kMaxAddresses = 4;
    uint64_t count = 0;
    uint32_t addresses[kMaxAddresses] = {};

    // A dotted numeric IPv4 address gives itself; else the host's IPv4 addresses
    // (getaddrinfo). A name that does not resolve leaves the count at 0.
    void Resolve(const char* name);
};

struct LIPAddressMultiHomedWithPort {
    uint16_t port = 0; // host order
    LIPAddressMultiHomed addresses;
};

// Copies text into hostOut (260 bytes, cut) and ends the host at a ':'. The port is the decimal
// number after the ':', else defaultPort. A port that is not a number from 1 to 65535 gives 0,
// with which every connect fails.
uint16_t SplitPortFromAddr(const char* text, char* hostOut, uint16_t defaultPort);

// A descriptor carried by value; never closes.
class LIPSocketTCPRef {
public:
    LIPSocketTCPRef() = default;
    explicit LIPSocketTCPRef(int fd)
        : fFd(fd)
    {
    }
    int GetDescriptor() const { return fFd; }

private:
    int fFd = -1;
};

// Owns one socket descriptor (-1 when closed) and closes it when it goes.
class LIPSocketTCP {
public:
    LIPSocketTCP() = default;
    explicit LIPSocketTCP(int fd)
        : fFd(fd)
    {
    }
    ~LIPSocketTCP() { Close(); }
    LIPSocketTCP(const LIPSocketTCP&) = delete;
    LIPSocketTCP& operator=(const LIPSocketTCP&) = delete;

    void Close();
    int GetDescriptor() const { return fFd; }
    // Hands the descriptor over; the object is closed afterwards.
    int Detach();
    void Attach(int fd);
    operator LIPSocketTCPRef() const { return LIPSocketTCPRef(fFd); }

private:
    int fFd = -1;
};

// Read and Write results of LSSLSocketTCP besides byte counts.
inline constexpr long kLSSLWouldBlock = -9803;
inline constexpr long kLSSLClosed = -9805;
inline constexpr long kLSSLFailed = -9806;

// Why the last TLS operation of a socket failed.
enum class LTLSFailure {
    None,
    Certificate, // not from a trusted authority, or out of date
    CertificateName, // not issued for the peer name
    Protocol,
    Cut, // the connection ended without the close notice
};

// A TLS client socket: the descriptor, the TLS session (none until InitSSL) and the peer host
// name that the server's certificate must be issued for.
class LSSLSocketTCP {
public:
    LSSLSocketTCP();
    ~LSSLSocketTCP();
    LSSLSocketTCP(const LSSLSocketTCP&) = delete;
    LSSLSocketTCP& operator=(const LSSLSocketTCP&) = delete;

    int GetDescriptor() const { return fFd; }
    void AttachDescriptor(int fd);
    const char* GetPeerName() const { return fPeerName; }
    // The host of a "host[:port]" text, port removed.
    void SetPeerName(const char* hostText);
    bool HasSession() const { return fSession != nullptr; }
    bool IsConnected() const;

    // Sets a session up on the descriptor; false without a descriptor or a peer name.
    bool InitSSL();
    // Runs the handshake, waiting in 200 ms slices for the socket: 0 done, 1 stopped, 2 failed
    // (verification, protocol, or no completion within timeoutMs).
    LProcessResult Handshake(LProcessInterface& job, unsigned int timeoutMs);
    // InitSSL and Handshake.
    LProcessResult ConvertSocketToSSLTimeOut(LProcessInterface& job, unsigned int timeoutMs);
    // One read or write: the byte count, 0 for a closed session on Read, or kLSSLWouldBlock,
    // kLSSLClosed, kLSSLFailed. Without a session: recv/send on the descriptor.
    long Read(void* buffer, size_t length);
    long Write(const void* data, size_t length);
    // True when the peer ended the session with its close notice; always true without TLS.
    bool ClosedCleanly() const;
    // Decrypted bytes waiting; without a session the socket's unread byte count.
    size_t GetBytesReady() const;
    // Ends the session, closes the descriptor and empties the peer name.
    void CloseSocketAndContext();
    // The reason of the last TLS failure ("" when none).
    const char* GetTLSError() const;
    LTLSFailure GetTLSFailure() const;

private:
    int fFd = -1;
    platform::tls::Session* fSession = nullptr;
    char fPeerName[kLIPHostSize] = "";
};

// Why the last operation of the calling thread that answered 2 failed; an operation that
// succeeds or stops leaves it as it was, so a caller clears it first (LIPClearLastFailure).
enum class LIPFailure {
    None,
    Connect, // no address, refused, unreachable
    TimeOut, // the peer did not answer within the time-out
    Closed, // the peer closed or reset the connection
    TLS, // the TLS session could not be set up (verification, protocol)
    Other,
};
LIPFailure LIPLastFailure();
void LIPClearLastFailure();

// ---- Connecting ----

LProcessResult ProcessConnect(LProcessInterface& job, LIPSocketTCP& sock,
    const LIPAddressWithPort& address, unsigned int timeoutMs);
// Tries the addresses in order, each with the full time-out; the first result that is not 2.
LProcessResult ProcessConnect(LProcessInterface& job, LIPSocketTCP& sock,
    const LIPAddressMultiHomedWithPort& address, unsigned int timeoutMs);
// The TCP connect of a TLS socket: the peer name is taken from hostText; the session is set up
// by ConvertSocketToSSLTimeOut afterwards.
LProcessResult ProcessConnect(LProcessInterface& job, LSSLSocketTCP& sock, const char* hostText,
    const LIPAddressWithPort& address, unsigned int timeoutMs);
LProcessResult ProcessConnect(LProcessInterface& job, LSSLSocketTCP& sock, const char* hostText,
    const LIPAddressMultiHomedWithPort& address, unsigned int timeoutMs);

// ---- Waiting, sending, receiving ----

// 0 when data (or the peer's close) is there, 1 stopped, 2 time-out or no socket.
LProcessResult ProcessWaitForDataOrClose(
    LProcessInterface& job, LIPSocketTCPRef sock, unsigned int timeoutMs);
LProcessResult ProcessWaitForDataOrClose(
    LProcessInterface& job, LSSLSocketTCP& sock, unsigned int timeoutMs);

LProcessResult ProcessSend(LProcessInterface& job, LIPSocketTCPRef sock, const void* data,
    size_t length, unsigned int timeoutMs);
LProcessResult ProcessSend(LProcessInterface& job, LSSLSocketTCP& sock, const void* data,
    size_t length, unsigned int timeoutMs);

// Waits, then one read of at most maxLength bytes (at least one): 0; 2 when the peer closed.
LProcessResult ProcessRecvReady(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t maxLength, size_t* received, unsigned int timeoutMs);
LProcessResult ProcessRecvReady(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t maxLength, size_t* received, unsigned int timeoutMs);

// Until count bytes are in; a peer that closes early gives 2 with *received what came.
LProcessResult ProcessRecvBytes(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t count, size_t* received, unsigned int timeoutMs);
LProcessResult ProcessRecvBytes(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t count, size_t* received, unsigned int timeoutMs);

// Receives up to and including the first of stopCharacters, at most maxLength bytes; never
// takes bytes past the stop character off the socket.
LProcessResult ProcessRecvToCharacter(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t maxLength, size_t* received, const char* stopCharacters, unsigned int timeoutMs);
LProcessResult ProcessRecvToCharacter(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t maxLength, size_t* received, const char* stopCharacters, unsigned int timeoutMs);

// One text line without its CR LF or LF, appended to the writer in pieces of at most 48 bytes.
// A close before any byte of the line gives 2; a close inside the line ends it (0). A line that
// runs past maxBytes without its end gives 2 (a fixed writer keeps only what fits); *consumed,
// when given, gets the bytes taken off the socket, line end included.
inline constexpr size_t kLIPMaxLineBytes = 1u << 20;
LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LIPSocketTCPRef sock,
    LStringLongTemplateWriter<char>& writer, unsigned int timeoutMs,
    size_t maxBytes = kLIPMaxLineBytes, size_t* consumed = nullptr);
LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LIPSocketTCPRef sock,
    LFixedLengthStringWriterTemplate<char>& writer, unsigned int timeoutMs,
    size_t maxBytes = kLIPMaxLineBytes, size_t* consumed = nullptr);
LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LSSLSocketTCP& sock,
    LStringLongTemplateWriter<char>& writer, unsigned int timeoutMs,
    size_t maxBytes = kLIPMaxLineBytes, size_t* consumed = nullptr);
LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LSSLSocketTCP& sock,
    LFixedLengthStringWriterTemplate<char>& writer, unsigned int timeoutMs,
    size_t maxBytes = kLIPMaxLineBytes, size_t* consumed = nullptr);
