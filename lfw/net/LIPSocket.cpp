#include "lfw/net/LIPSocket.h"

#include "platform/tls/Tls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr unsigned int kSlice = 200;

thread_local LIPFailure tLastFailure = LIPFailure::None;

// Records why an operation fails and answers 2.
LProcessResult _LFail(LIPFailure why)
{
    tLastFailure = why;
    return LProcessResultError;
}

// Polls fd for events in one slice; true when anything (also an error or hang-up) is reported.
bool _LPollSlice(int fd, short events, int ms)
{
    struct pollfd entry = { fd, events, 0 };
    int n = poll(&entry, 1, ms);
    return n > 0 && entry.revents != 0;
}

// Waits until fd is readable (or reports an error or hang-up) in 200 ms slices through the job,
// so that a job whose waits keep an event loop turning still does so: 0, 1 stopped, 2 time-out.
LProcessResult _LWaitReadable(LProcessInterface& job, int fd, unsigned int timeoutMs)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    uint64_t budget = uint64_t(timeoutMs) + kSlice;
    for (;;) {
        if (fd < 0)
            return _LFail(LIPFailure::Other);
        LProcessResult r = job.ProcessWaitSignal(LSignalObjectRef(fd, -1), kSlice);
        if (r == LProcessResultSignaled)
            return LProcessResultSuccess;
        if (r == LProcessResultStopped)
            return LProcessResultStopped;
        // An error or hang-up without readable data is not "readable" to every wait.
        if (_LPollSlice(fd, POLLIN, 0))
            return LProcessResultSuccess;
        budget = budget > kSlice ? budget - kSlice : 0;
        if (budget < kSlice + 1)
            return _LFail(LIPFailure::TimeOut);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
}

// As above for writability.
LProcessResult _LWaitWritable(LProcessInterface& job, int fd, uint64_t& budget)
{
    for (;;) {
        if (_LPollSlice(fd, POLLOUT, int(kSlice)))
            return LProcessResultSuccess;
        if (job.IsToStop())
            return LProcessResultStopped;
        budget = budget > kSlice ? budget - kSlice : 0;
        if (budget < kSlice + 1)
            return _LFail(LIPFailure::TimeOut);
    }
}

// Plain and TLS sockets seen through one set of operations.
struct _LPlainIO {
    int fd;
    int Fd() const { return fd; }
    size_t Buffered() const { return 0; }
    // > 0 bytes, 0 closed, kLSSLWouldBlock, or kLSSLFailed.
    long Read(void* b, size_t n, int flags = 0)
    {
        for (;;) {
            ssize_t r = recv(fd, b, n, flags);
            if (r >= 0)
                return long(r);
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? kLSSLWouldBlock : kLSSLFailed;
        }
    }
    long Write(const void* d, size_t n)
    {
        for (;;) {
            ssize_t r = send(fd, d, n, MSG_NOSIGNAL);
            if (r >= 0)
                return long(r);
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? kLSSLWouldBlock : kLSSLFailed;
        }
    }
};

struct _LSSLIO {
    LSSLSocketTCP& s;
    int Fd() const { return s.GetDescriptor(); }
    size_t Buffered() const { return s.HasSession() ? s.GetBytesReady() : 0; }
    long Read(void* b, size_t n) { return s.Read(b, n); }
    long Write(const void* d, size_t n) { return s.Write(d, n); }
};

template <class IO> LProcessResult _LWaitForData(LProcessInterface& job, IO io, unsigned int ms)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    if (io.Fd() < 0)
        return _LFail(LIPFailure::Other);
    if (io.Buffered() > 0)
        return LProcessResultSuccess;
    return _LWaitReadable(job, io.Fd(), ms);
}

template <class IO>
LProcessResult _LSend(LProcessInterface& job, IO io, const void* data, size_t length, unsigned ms)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    if (io.Fd() < 0)
        return _LFail(LIPFailure::Other);
    const char* p = static_cast<const char*>(data);
    uint64_t budget = uint64_t(ms) + kSlice;
    while (length > 0) {
        long r = io.Write(p, length);
        if (r > 0) {
            p += r;
            length -= size_t(r);
            continue;
        }
        if (r != kLSSLWouldBlock && r != 0)
            return _LFail(LIPFailure::Closed);
        LProcessResult w = _LWaitWritable(job, io.Fd(), budget);
        if (w != LProcessResultSuccess)
            return w;
    }
    return LProcessResultSuccess;
}

template <class IO>
LProcessResult _LRecvReady(LProcessInterface& job, IO io, void* buffer, size_t maxLength,
    size_t* received, unsigned int ms)
{
    *received = 0;
    if (maxLength == 0)
        return LProcessResultSuccess;
    for (;;) {
        LProcessResult w = _LWaitForData(job, io, ms);
        if (w != LProcessResultSuccess)
            return w;
        long r = io.Read(buffer, maxLength);
        if (r > 0) {
            *received = size_t(r);
            return LProcessResultSuccess;
        }
        if (r != kLSSLWouldBlock)
            return _LFail(LIPFailure::Closed); // closed or failed
        // TLS: the readable bytes did not complete a record yet; wait again.
    }
}

template <class IO>
LProcessResult _LRecvBytes(
    LProcessInterface& job, IO io, void* buffer, size_t count, size_t* received, unsigned int ms)
{
    *received = 0;
    char* p = static_cast<char*>(buffer);
    while (*received < count) {
        size_t got = 0;
        LProcessResult r = _LRecvReady(job, io, p + *received, count - *received, &got, ms);
        *received += got;
        if (r != LProcessResultSuccess)
            return r;
    }
    return LProcessResultSuccess;
}

size_t _LFindStop(const char* data, size_t n, const char* stops)
{
    for (size_t i = 0; i < n; ++i)
        if (data[i] != 0 && std::strchr(stops, data[i]))
            return i + 1;
    return 0;
}

LProcessResult _LRecvToCharacterPlain(LProcessInterface& job, int fd, void* buffer,
    size_t maxLength, size_t* received, const char* stops, unsigned int ms)
{
    *received = 0;
    if (maxLength == 0)
        return LProcessResultSuccess;
    _LPlainIO io { fd };
    for (;;) {
        LProcessResult w = _LWaitForData(job, io, ms);
        if (w != LProcessResultSuccess)
            return w;
        long r = io.Read(buffer, maxLength, MSG_PEEK);
        if (r == kLSSLWouldBlock)
            continue;
        if (r <= 0)
            return _LFail(LIPFailure::Closed);
        size_t found = _LFindStop(static_cast<char*>(buffer), size_t(r), stops);
        size_t take = found ? found : size_t(r);
        long c = io.Read(buffer, take);
        if (c <= 0)
            return _LFail(LIPFailure::Closed);
        *received = size_t(c);
        return LProcessResultSuccess;
    }
}

LProcessResult _LRecvToCharacterSSL(LProcessInterface& job, LSSLSocketTCP& s, void* buffer,
    size_t maxLength, size_t* received, const char* stops, unsigned int ms)
{
    *received = 0;
    if (!s.HasSession())
        return _LRecvToCharacterPlain(
            job, s.GetDescriptor(), buffer, maxLength, received, stops, ms);
    char* out = static_cast<char*>(buffer);
    _LSSLIO io { s };
    while (*received < maxLength) {
        if (*received == 0 || io.Buffered() == 0) {
            // Waits only while nothing was read: a partial piece is handed back as it is.
            if (*received > 0)
                return LProcessResultSuccess;
            LProcessResult w = _LWaitForData(job, io, ms);
            if (w != LProcessResultSuccess)
                return w;
        }
        long r = s.Read(out + *received, 1);
        if (r == kLSSLWouldBlock) {
            if (*received > 0)
                return LProcessResultSuccess;
            continue;
        }
        if (r <= 0)
            return *received > 0 ? LProcessResultSuccess : _LFail(LIPFailure::Closed);
        char c = out[(*received)++];
        if (c != 0 && std::strchr(stops, c))
            break;
    }
    return LProcessResultSuccess;
}

template <class Writer, class RecvPiece>
LProcessResult _LRecvLine(
    LProcessInterface& job, Writer& writer, size_t maxBytes, size_t* consumed, RecvPiece recv)
{
    char piece[48];
    bool any = false;
    size_t local = 0;
    size_t& total = consumed ? *consumed : local;
    total = 0;
    for (;;) {
        size_t got = 0;
        LProcessResult r = recv(piece, sizeof piece, &got);
        if (r == LProcessResultStopped)
            return r;
        if (r != LProcessResultSuccess || got == 0)
            return any ? LProcessResultSuccess : LProcessResultError;
        any = true;
        total += got;
        bool endsLine = piece[got - 1] == '\n';
        size_t keep = endsLine ? got - 1 : got;
        if (keep > 0 && piece[keep - 1] == '\r')
            --keep;
        if (keep > 0)
            writer.Put(piece, keep);
        if (endsLine)
            return LProcessResultSuccess;
        if (total >= maxBytes)
            return _LFail(LIPFailure::Other);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
}

int _LNewSocket()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int send = 262144;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &send, sizeof send);
    return fd;
}

// One connect attempt: 0 with the descriptor in fdOut, 1 stopped, 2 failed.
LProcessResult _LConnectOne(
    LProcessInterface& job, const LIPAddressWithPort& address, unsigned int ms, int& fdOut)
{
    fdOut = -1;
    if (job.IsToStop())
        return LProcessResultStopped;
    if (address.address == kLIPAddressNone || address.port == 0)
        return _LFail(LIPFailure::Connect);
    int fd = _LNewSocket();
    if (fd < 0)
        return _LFail(LIPFailure::Other);
    struct sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = address.port;
    sa.sin_addr.s_addr = address.address;
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (rc == 0) {
        fdOut = fd;
        return LProcessResultSuccess;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        close(fd);
        return _LFail(LIPFailure::Connect);
    }
    uint64_t budget = uint64_t(ms) + kSlice;
    for (;;) {
        struct pollfd entry = { fd, POLLOUT, 0 };
        int n = poll(&entry, 1, int(kSlice));
        if (n > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0
                && (entry.revents & POLLOUT)) {
                fdOut = fd;
                return LProcessResultSuccess;
            }
            close(fd);
            return _LFail(LIPFailure::Connect);
        }
        if (n < 0 && errno != EINTR) {
            close(fd);
            return _LFail(LIPFailure::Connect);
        }
        if (job.IsToStop()) {
            close(fd);
            return LProcessResultStopped;
        }
        budget = budget > kSlice ? budget - kSlice : 0;
        if (budget < kSlice + 1) {
            close(fd);
            return _LFail(LIPFailure::TimeOut);
        }
    }
}

// A session's read or write as Read and Write return it: the byte count, kLSSLWouldBlock, closed
// for a session the peer closed, or kLSSLFailed.
long _LSessionResult(platform::tls::Status status, size_t done, long closed)
{
    switch (status) {
    case platform::tls::Status::Done:
        return long(done);
    case platform::tls::Status::WantRead:
    case platform::tls::Status::WantWrite:
        return kLSSLWouldBlock;
    case platform::tls::Status::Closed:
        return closed;
    default:
        return kLSSLFailed;
    }
}

} // namespace

LIPFailure LIPLastFailure()
{
    return tLastFailure;
}

void LIPClearLastFailure()
{
    tLastFailure = LIPFailure::None;
}

// ---- Addresses ----

LIPAddressWithPort LIPAddressWithPort::Make(uint32_t networkAddress, uint16_t hostPort)
{
    LIPAddressWithPort a;
    a.port = htons(hostPort);
    a.address = networkAddress;
    return a;
}

void LIPAddressMultiHomed::Resolve(const char* name)
{
    count = 0;
    if (!name || !*name)
        return;
    struct in_addr numeric;
    if (inet_pton(AF_INET, name, &numeric) == 1) {
        addresses[0] = numeric.s_addr;
        count = 1;
        return;
    }
    struct addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0)
        return;
    for (struct addrinfo* p = list; p && count < kMaxAddresses; p = p->ai_next) {
        if (p->ai_family != AF_INET)
            continue;
        uint32_t a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (uint64_t i = 0; i < count; ++i)
            seen = seen || addresses[i] == a;
        if (!seen)
            addresses[count++] = a;
    }
    freeaddrinfo(list);
}

uint16_t SplitPortFromAddr(const char* text, char* hostOut, uint16_t defaultPort)
{
    size_t n = 0;
    for (; text[n] && n < kLIPHostSize - 1; ++n)
        hostOut[n] = text[n];
    hostOut[n] = 0;
    char* colon = std::strchr(hostOut, ':');
    if (!colon)
        return defaultPort;
    *colon = 0;
    const char* digits = colon + 1;
    if (!*digits)
        return 0;
    unsigned long port = 0;
    for (const char* p = digits; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        port = port * 10 + unsigned(*p - '0');
        if (port > 65535)
            return 0;
    }
    return uint16_t(port);
}

// ---- Sockets ----

void LIPSocketTCP::Close()
{
    if (fFd >= 0)
        close(fFd);
    fFd = -1;
}

int LIPSocketTCP::Detach()
{
    int fd = fFd;
    fFd = -1;
    return fd;
}

void LIPSocketTCP::Attach(int fd)
{
    Close();
    fFd = fd;
}

LSSLSocketTCP::LSSLSocketTCP() = default;

LSSLSocketTCP::~LSSLSocketTCP()
{
    CloseSocketAndContext();
}

void LSSLSocketTCP::AttachDescriptor(int fd)
{
    if (fSession) {
        delete fSession;
        fSession = nullptr;
    }
    if (fFd >= 0)
        close(fFd);
    fFd = fd;
}

void LSSLSocketTCP::SetPeerName(const char* hostText)
{
    SplitPortFromAddr(hostText ? hostText : "", fPeerName, 0);
}

bool LSSLSocketTCP::IsConnected() const
{
    return fFd >= 0 && (!fSession || fSession->IsConnected());
}

bool LSSLSocketTCP::InitSSL()
{
    if (fFd < 0 || !fPeerName[0])
        return false;
    delete fSession;
    fSession = new platform::tls::Session;
    if (!fSession->Open(fFd, fPeerName))
        return false;
    return true;
}

LProcessResult LSSLSocketTCP::Handshake(LProcessInterface& job, unsigned int timeoutMs)
{
    if (!fSession || fFd < 0)
        return _LFail(LIPFailure::TLS);
    uint64_t budget = uint64_t(timeoutMs) + kSlice;
    for (;;) {
        platform::tls::Status s = fSession->Handshake();
        if (s == platform::tls::Status::Done)
            return LProcessResultSuccess;
        if (s != platform::tls::Status::WantRead && s != platform::tls::Status::WantWrite)
            return _LFail(
                s == platform::tls::Status::Closed ? LIPFailure::Closed : LIPFailure::TLS);
        short events = s == platform::tls::Status::WantRead ? POLLIN : POLLOUT;
        if (!_LPollSlice(fFd, events, int(kSlice))) {
            budget = budget > kSlice ? budget - kSlice : 0;
            if (budget < kSlice + 1)
                return _LFail(LIPFailure::TimeOut);
        }
        if (job.IsToStop())
            return LProcessResultStopped;
    }
}

LProcessResult LSSLSocketTCP::ConvertSocketToSSLTimeOut(
    LProcessInterface& job, unsigned int timeoutMs)
{
    if (!InitSSL())
        return _LFail(LIPFailure::TLS);
    return Handshake(job, timeoutMs);
}

long LSSLSocketTCP::Read(void* buffer, size_t length)
{
    if (!fSession) {
        _LPlainIO io { fFd };
        return io.Read(buffer, length);
    }
    size_t done = 0;
    const platform::tls::Status status = fSession->Read(buffer, length, &done);
    return _LSessionResult(status, done, 0);
}

long LSSLSocketTCP::Write(const void* data, size_t length)
{
    if (!fSession) {
        _LPlainIO io { fFd };
        return io.Write(data, length);
    }
    size_t done = 0;
    const platform::tls::Status status = fSession->Write(data, length, &done);
    return _LSessionResult(status, done, kLSSLClosed);
}

bool LSSLSocketTCP::ClosedCleanly() const
{
    return !fSession || fSession->ClosedCleanly();
}

size_t LSSLSocketTCP::GetBytesReady() const
{
    if (fSession)
        return fSession->Pending();
    int n = 0;
    if (fFd < 0 || ioctl(fFd, FIONREAD, &n) != 0 || n < 0)
        return 0;
    return size_t(n);
}

void LSSLSocketTCP::CloseSocketAndContext()
{
    if (fSession) {
        fSession->Close();
        delete fSession;
        fSession = nullptr;
    }
    if (fFd >= 0)
        close(fFd);
    fFd = -1;
    fPeerName[0] = 0;
}

const char* LSSLSocketTCP::GetTLSError() const
{
    return fSession ? fSession->GetError().c_str() : "";
}

LTLSFailure LSSLSocketTCP::GetTLSFailure() const
{
    if (!fSession)
        return LTLSFailure::None;
    switch (fSession->GetFailure()) {
    case platform::tls::Failure::Certificate:
        return LTLSFailure::Certificate;
    case platform::tls::Failure::CertificateName:
        return LTLSFailure::CertificateName;
    case platform::tls::Failure::Protocol:
        return LTLSFailure::Protocol;
    case platform::tls::Failure::Cut:
        return LTLSFailure::Cut;
    case platform::tls::Failure::None:
        break;
    }
    return LTLSFailure::None;
}

// ---- Connecting ----

LProcessResult ProcessConnect(LProcessInterface& job, LIPSocketTCP& sock,
    const LIPAddressWithPort& address, unsigned int timeoutMs)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    sock.Close();
    int fd = -1;
    LProcessResult r = _LConnectOne(job, address, timeoutMs, fd);
    if (r == LProcessResultSuccess) {
        int receive = 524288;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive, sizeof receive);
        sock.Attach(fd);
    }
    return r;
}

LProcessResult ProcessConnect(LProcessInterface& job, LIPSocketTCP& sock,
    const LIPAddressMultiHomedWithPort& address, unsigned int timeoutMs)
{
    for (uint64_t i = 0; i < address.addresses.count && i < LIPAddressMultiHomed::kMaxAddresses;
         ++i) {
        LProcessResult r = ProcessConnect(job, sock,
            LIPAddressWithPort::Make(address.addresses.addresses[i], address.port), timeoutMs);
        if (r != LProcessResultError)
            return r;
    }
    if (address.addresses.count == 0)
        return _LFail(LIPFailure::Connect); // the name did not resolve
    return LProcessResultError;
}

LProcessResult ProcessConnect(LProcessInterface& job, LSSLSocketTCP& sock, const char* hostText,
    const LIPAddressWithPort& address, unsigned int timeoutMs)
{
    sock.CloseSocketAndContext();
    sock.SetPeerName(hostText);
    int fd = -1;
    LProcessResult r = _LConnectOne(job, address, timeoutMs, fd);
    if (r == LProcessResultSuccess)
        sock.AttachDescriptor(fd);
    return r;
}

LProcessResult ProcessConnect(LProcessInterface& job, LSSLSocketTCP& sock, const char* hostText,
    const LIPAddressMultiHomedWithPort& address, unsigned int timeoutMs)
{
    for (uint64_t i = 0; i < address.addresses.count && i < LIPAddressMultiHomed::kMaxAddresses;
         ++i) {
        if (job.IsToStop())
            return LProcessResultStopped;
        LProcessResult r = ProcessConnect(job, sock, hostText,
            LIPAddressWithPort::Make(address.addresses.addresses[i], address.port), timeoutMs);
        if (r != LProcessResultError)
            return r;
    }
    if (address.addresses.count == 0)
        return _LFail(LIPFailure::Connect); // the name did not resolve
    return LProcessResultError;
}

// ---- Waiting, sending, receiving ----

LProcessResult ProcessWaitForDataOrClose(
    LProcessInterface& job, LIPSocketTCPRef sock, unsigned int timeoutMs)
{
    return _LWaitForData(job, _LPlainIO { sock.GetDescriptor() }, timeoutMs);
}

LProcessResult ProcessWaitForDataOrClose(
    LProcessInterface& job, LSSLSocketTCP& sock, unsigned int timeoutMs)
{
    return _LWaitForData(job, _LSSLIO { sock }, timeoutMs);
}

LProcessResult ProcessSend(LProcessInterface& job, LIPSocketTCPRef sock, const void* data,
    size_t length, unsigned int timeoutMs)
{
    return _LSend(job, _LPlainIO { sock.GetDescriptor() }, data, length, timeoutMs);
}

LProcessResult ProcessSend(LProcessInterface& job, LSSLSocketTCP& sock, const void* data,
    size_t length, unsigned int timeoutMs)
{
    return _LSend(job, _LSSLIO { sock }, data, length, timeoutMs);
}

LProcessResult ProcessRecvReady(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t maxLength, size_t* received, unsigned int timeoutMs)
{
    return _LRecvReady(
        job, _LPlainIO { sock.GetDescriptor() }, buffer, maxLength, received, timeoutMs);
}

LProcessResult ProcessRecvReady(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t maxLength, size_t* received, unsigned int timeoutMs)
{
    return _LRecvReady(job, _LSSLIO { sock }, buffer, maxLength, received, timeoutMs);
}

LProcessResult ProcessRecvBytes(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t count, size_t* received, unsigned int timeoutMs)
{
    return _LRecvBytes(job, _LPlainIO { sock.GetDescriptor() }, buffer, count, received, timeoutMs);
}

LProcessResult ProcessRecvBytes(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t count, size_t* received, unsigned int timeoutMs)
{
    return _LRecvBytes(job, _LSSLIO { sock }, buffer, count, received, timeoutMs);
}

LProcessResult ProcessRecvToCharacter(LProcessInterface& job, LIPSocketTCPRef sock, void* buffer,
    size_t maxLength, size_t* received, const char* stopCharacters, unsigned int timeoutMs)
{
    return _LRecvToCharacterPlain(
        job, sock.GetDescriptor(), buffer, maxLength, received, stopCharacters, timeoutMs);
}

LProcessResult ProcessRecvToCharacter(LProcessInterface& job, LSSLSocketTCP& sock, void* buffer,
    size_t maxLength, size_t* received, const char* stopCharacters, unsigned int timeoutMs)
{
    return _LRecvToCharacterSSL(job, sock, buffer, maxLength, received, stopCharacters, timeoutMs);
}

LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LIPSocketTCPRef sock,
    LStringLongTemplateWriter<char>& writer, unsigned int timeoutMs, size_t maxBytes,
    size_t* consumed)
{
    return _LRecvLine(job, writer, maxBytes, consumed, [&](char* b, size_t n, size_t* got) {
        return ProcessRecvToCharacter(job, sock, b, n, got, "\n", timeoutMs);
    });
}

LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LIPSocketTCPRef sock,
    LFixedLengthStringWriterTemplate<char>& writer, unsigned int timeoutMs, size_t maxBytes,
    size_t* consumed)
{
    return _LRecvLine(job, writer, maxBytes, consumed, [&](char* b, size_t n, size_t* got) {
        return ProcessRecvToCharacter(job, sock, b, n, got, "\n", timeoutMs);
    });
}

LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LSSLSocketTCP& sock,
    LStringLongTemplateWriter<char>& writer, unsigned int timeoutMs, size_t maxBytes,
    size_t* consumed)
{
    return _LRecvLine(job, writer, maxBytes, consumed, [&](char* b, size_t n, size_t* got) {
        return ProcessRecvToCharacter(job, sock, b, n, got, "\n", timeoutMs);
    });
}

LProcessResult ProcessRecvLineToWriter(LProcessInterface& job, LSSLSocketTCP& sock,
    LFixedLengthStringWriterTemplate<char>& writer, unsigned int timeoutMs, size_t maxBytes,
    size_t* consumed)
{
    return _LRecvLine(job, writer, maxBytes, consumed, [&](char* b, size_t n, size_t* got) {
        return ProcessRecvToCharacter(job, sock, b, n, got, "\n", timeoutMs);
    });
}
