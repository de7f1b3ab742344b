#include "lfw/net/LHTTP.h"

#include "lfw/gen/LFileSave.h"

#include <chrono>
#include <cstring>
#include <strings.h>

namespace {

// Why the last secure connect of this thread failed, read before its session is closed.
thread_local LTLSFailure tSecureFailure = LTLSFailure::None;

// The job of a transfer with a deadline: every wait of the owner's job is cut at the deadline,
// after which the transfer is asked to stop. Whether the owner or the deadline stopped it tells a
// cancelled download from one that ran out of time.
class _LDeadlineJob : public LProcessInterfaceNested {
public:
    _LDeadlineJob(LProcessInterface& owner, unsigned int ms)
        : LProcessInterfaceNested(owner)
        , fEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms))
    {
    }
    bool Expired() const { return std::chrono::steady_clock::now() >= fEnd; }
    bool OwnerStopped() const { return fOwnerStopped; }

    bool IsToStop() override
    {
        if (m_parent->IsToStop())
            return fOwnerStopped = true;
        return Expired();
    }
    LProcessResult ProcessWait(unsigned int ms) override
    {
        return Note(Expired() ? LProcessResultStopped : m_parent->ProcessWait(Cut(ms)));
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        return Note(
            Expired() ? LProcessResultStopped : m_parent->ProcessWaitSignal(signal, Cut(ms)));
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms) override
    {
        return Note(Expired() ? LProcessResultStopped
                              : m_parent->ProcessWaitSignalObjectGroup(group, Cut(ms)));
    }
    LProcessResult ProcessWaitUntilStopped() override { return ProcessWait(LSIGNAL_WAIT_FOREVER); }
    LProcessResult ProcessWaitSignalForever(LSignalObjectRef signal) override
    {
        return ProcessWaitSignal(signal, LSIGNAL_WAIT_FOREVER);
    }
    LProcessResult ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group) override
    {
        return ProcessWaitSignalObjectGroup(group, LSIGNAL_WAIT_FOREVER);
    }
    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
    void SetProgress(double fraction) override { m_parent->SetProgress(fraction); }
    void SetProgressIndeterminateOn() override { m_parent->SetProgressIndeterminateOn(); }
    void SetProgressIndeterminateOff() override { m_parent->SetProgressIndeterminateOff(); }

private:
    // A wait of ms, ending at the deadline at the latest (a plain wait that reaches it counts as
    // stopped there).
    unsigned int Cut(unsigned int ms) const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            fEnd - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return 0;
        return uint64_t(left) < ms ? unsigned(left) : ms;
    }
    LProcessResult Note(LProcessResult r)
    {
        if (r == LProcessResultStopped && !Expired())
            fOwnerStopped = true;
        return r;
    }

    std::chrono::steady_clock::time_point fEnd;
    bool fOwnerStopped = false;
};

LIPSocketTCPRef _LRef(LIPSocketTCP& s)
{
    return LIPSocketTCPRef(s.GetDescriptor());
}
LSSLSocketTCP& _LRef(LSSLSocketTCP& s)
{
    return s;
}

// A body without a length ends with the connection; over TLS only a close notice ends it, a
// cut connection may have dropped the rest.
bool _LEndedCleanly(LIPSocketTCP&)
{
    return true;
}
bool _LEndedCleanly(LSSLSocketTCP& s)
{
    return s.ClosedCleanly();
}

bool _LCopy(char* out, size_t size, const char* text)
{
    size_t n = std::strlen(text);
    if (n >= size) {
        out[0] = 0;
        return false;
    }
    std::memcpy(out, text, n + 1);
    return true;
}

bool _LStartsWithNoCase(const char* text, const char* prefix)
{
    return strncasecmp(text, prefix, std::strlen(prefix)) == 0;
}

// Fills the caller's failure record (when there is one) and answers 2.
LProcessResult _LFail(LHTTPDownloadFailure* why, LHTTPFailure kind, int status = 0)
{
    if (why) {
        why->kind = kind;
        why->status = status;
    }
    return LProcessResultError;
}

// The failure of a socket operation: its reason where the socket layer knows one (a time-out, a
// refused connection, a TLS failure), else fallback. Other results pass unchanged.
LProcessResult _LNetFail(LHTTPDownloadFailure* why, LProcessResult r, LHTTPFailure fallback)
{
    if (r != LProcessResultError)
        return r;
    switch (LIPLastFailure()) {
    case LIPFailure::TimeOut:
        return _LFail(why, LHTTPFailure::TimeOut);
    case LIPFailure::TLS:
        return _LFail(why, LHTTPFailure::Secure);
    case LIPFailure::Connect:
        return _LFail(why, LHTTPFailure::Connect);
    default:
        return _LFail(why, fallback);
    }
}

// Reads one header line into a 259-byte line, counting the header block's bytes against its
// bound: 2 once the block is too large.
template <class Sock>
LProcessResult _LReadHeaderLine(
    LProcessInterface& job, Sock& sock, char* line, size_t& used, unsigned int timeoutMs)
{
    LFixedLengthStringWriterTemplate<char> w(line, kLHTTPLineSize);
    if (used >= kLHTTPMaxHeaderBytes)
        return LProcessResultError;
    size_t consumed = 0;
    LProcessResult r = ProcessRecvLineToWriter(
        job, _LRef(sock), w, timeoutMs, kLHTTPMaxHeaderBytes - used, &consumed);
    w.Terminate();
    used += consumed;
    if (r == LProcessResultSuccess && used > kLHTTPMaxHeaderBytes)
        return LProcessResultError;
    return r;
}

template <class Sock>
LProcessResult _LFollow(LProcessInterface& job, Sock& sock, const char* url, const char* filePath,
    LHTTPDownloadFailure* why)
{
    size_t used = 0;
    char line[kLHTTPLineSize + 1];
    for (;;) {
        LIPClearLastFailure();
        LProcessResult r = _LReadHeaderLine(job, sock, line, used, 10000);
        if (r != LProcessResultSuccess)
            return _LNetFail(why, r, LHTTPFailure::Reply);
        if (!line[0])
            return _LFail(why, LHTTPFailure::Reply);
        if (_LStartsWithNoCase(line, "Location:"))
            break;
    }
    const char* location = line + 9;
    while (*location == ' ' || *location == '\t')
        ++location;
    char next[kLPathSize];
    if (!LHTTPResolveRedirection(next, url, location))
        return _LFail(why, LHTTPFailure::Reply);
    if (_LStartsWithNoCase(next, "https:"))
        return ProcessHTTPSDownloadFile(job, next, filePath, false, {}, why);
    return ProcessHTTPDownloadFile(job, next, filePath, false, {}, why);
}

template <class Sock>
LProcessResult _LDownload(LProcessInterface& job, Sock& sock, const char* url, const char* filePath,
    bool followRedirect, const LHTTPDownloadLimits& limits = {},
    LHTTPDownloadFailure* why = nullptr)
{
    if (why)
        *why = {};
    const unsigned int statusWait = limits.timeoutMs ? limits.timeoutMs : 180000;
    const unsigned int dataWait = limits.timeoutMs ? limits.timeoutMs : 60000;
    if (sock.GetDescriptor() < 0)
        return _LFail(why, LHTTPFailure::Connect);
    char host[kLIPHostSize];
    char path[kLHTTPPathSize];
    if (!ProcessHTTPSplitHost(url, host, path, sizeof path))
        return _LFail(why, LHTTPFailure::Other);
    char request[kLHTTPRequestSize];
    LHTTPFormatGetRequest(request, path, host);
    LIPClearLastFailure();
    LProcessResult r = ProcessSend(job, _LRef(sock), request, std::strlen(request), 27048);
    if (r != LProcessResultSuccess)
        return _LNetFail(why, r, LHTTPFailure::Connect);

    char line[kLHTTPLineSize + 1];
    size_t used = 0;
    LIPClearLastFailure();
    r = _LReadHeaderLine(job, sock, line, used, statusWait);
    if (r != LProcessResultSuccess)
        return _LNetFail(why, r, LHTTPFailure::Reply);
    int status = 0;
    if (!LHTTPParseStatusLine(line, &status))
        return _LFail(why, LHTTPFailure::Reply);
    if (status >= 300 && status <= 399 && followRedirect)
        return _LFollow(job, sock, url, filePath, why);
    if (status < 200 || status > 299)
        return _LFail(why, LHTTPFailure::Status, status);

    // Headers: a block that does not end with its empty line is a failure.
    bool known = false;
    uint64_t length = 0;
    for (;;) {
        LIPClearLastFailure();
        r = _LReadHeaderLine(job, sock, line, used, dataWait);
        if (r != LProcessResultSuccess)
            return _LNetFail(why, r, LHTTPFailure::Reply);
        if (!line[0])
            break;
        uint64_t value = 0;
        int c = LHTTPParseContentLength(line, &value);
        if (c < 0 || LHTTPIsTransferEncoded(line))
            return _LFail(why, LHTTPFailure::Reply);
        if (c > 0) {
            known = true;
            length = value;
        }
    }

    if (known && length > limits.maxBytes)
        return _LFail(why, LHTTPFailure::TooLarge);
    LFileSave save;
    if (!save.Begin(filePath))
        return _LFail(why, LHTTPFailure::File);
    uint64_t total = 0;
    uint64_t remaining = known ? length : UINT64_MAX;
    double step = known ? 1.0 / double(length / 1028 + 1) : 0.0;
    double progress = 0;
    job.SetProgress(0);
    char buffer[16384];
    while (remaining > 0) {
        if (job.IsToStop()) {
            save.Discard();
            return LProcessResultStopped;
        }
        size_t want = remaining < sizeof buffer ? size_t(remaining) : sizeof buffer;
        size_t got = 0;
        LIPClearLastFailure();
        r = ProcessRecvReady(job, _LRef(sock), buffer, want, &got, dataWait);
        if (r == LProcessResultError && !known && _LEndedCleanly(sock)
            && LIPLastFailure() != LIPFailure::TimeOut)
            break; // the close ends a body without a length
        if (r != LProcessResultSuccess) {
            save.Discard();
            return _LNetFail(why, r, LHTTPFailure::Reply);
        }
        total += got;
        if (total > limits.maxBytes) {
            save.Discard();
            return _LFail(why, LHTTPFailure::TooLarge);
        }
        if (!save.GetStream().Write(buffer, got)) {
            save.Discard();
            return _LFail(why, LHTTPFailure::File);
        }
        remaining -= known ? got : 0;
        if (known) {
            progress += step * double(got) / 1028.0;
            job.SetProgress(progress < 1 ? progress : 1);
        }
    }
    if (!save.Commit())
        return _LFail(why, LHTTPFailure::File);
    job.SetProgress(1);
    return LProcessResultSuccess;
}

// The addresses of "host" or "host:port" (defaultPort without one); false for a bad port.
bool _LResolve(const char* host, uint16_t defaultPort, LIPAddressMultiHomedWithPort& address)
{
    char name[kLIPHostSize];
    address.port = SplitPortFromAddr(host, name, defaultPort);
    if (address.port == 0)
        return false;
    address.addresses.Resolve(name);
    return true;
}

// Connects a socket of its own to the URL's host with connect and downloads the URL through it.
template <class Sock>
LProcessResult _LConnectAndDownload(LProcessInterface& job, const char* url, const char* filePath,
    bool followRedirect,
    LProcessResult (*connect)(LProcessInterface&, Sock&, const char*, unsigned int),
    unsigned int connectTimeoutMs, const LHTTPDownloadLimits& limits = {},
    LHTTPDownloadFailure* why = nullptr)
{
    if (why)
        *why = {};
    if (limits.timeoutMs)
        connectTimeoutMs = limits.timeoutMs;
    char host[kLIPHostSize];
    char path[kLHTTPPathSize];
    if (!ProcessHTTPSplitHost(url, host, path, sizeof path))
        return _LFail(why, LHTTPFailure::Other);
    _LDeadlineJob bounded(job, limits.deadlineMs);
    LProcessInterface& within = limits.deadlineMs ? bounded : job;
    // The deadline stopped the transfer, not its owner: the server took too long.
    auto outOfTime = [&](LProcessResult r) {
        return limits.deadlineMs && r == LProcessResultStopped && !bounded.OwnerStopped()
            && bounded.Expired();
    };
    Sock sock;
    LIPClearLastFailure();
    tSecureFailure = LTLSFailure::None;
    LProcessResult r = connect(within, sock, host, connectTimeoutMs);
    if (outOfTime(r))
        return _LFail(why, LHTTPFailure::TimeOut);
    if (r != LProcessResultSuccess) {
        r = _LNetFail(why, r, LHTTPFailure::Connect);
        if (why && why->kind == LHTTPFailure::Secure)
            why->tls = tSecureFailure;
        return r;
    }
    r = _LDownload(within, sock, url, filePath, followRedirect, limits, why);
    if (outOfTime(r))
        return _LFail(why, LHTTPFailure::TimeOut);
    return r;
}

} // namespace

bool ProcessHTTPSplitHost(const char* url, char* hostOut, char* pathOut, size_t pathSize)
{
    hostOut[0] = 0;
    if (pathSize)
        pathOut[0] = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(url); *p; ++p)
        if (*p <= ' ' || *p == 0x7F)
            return false;
    size_t h = 0;
    const char* p = url;
    for (; *p; ++p) {
        if (*p == '/') {
            if (p[1] == '/') {
                h = 0; // the scheme and its two slashes
                ++p;
                continue;
            }
            break;
        }
        if (h < kLIPHostSize - 1)
            hostOut[h++] = *p;
    }
    hostOut[h] = 0;
    if (!_LCopy(pathOut, pathSize, p))
        return false;
    return h > 0;
}

void LHTTPFormatGetRequest(char* out, const char* path, const char* host)
{
    LStringFormat(
        out, kLHTTPRequestSize, "GET %s HTTP/1.0\r\nHost: %s\r\n\r\n", *path ? path : "/", host);
}

LProcessResult ProcessHTTPConnect(
    LProcessInterface& job, LIPSocketTCP& sock, const char* host, unsigned int timeoutMs)
{
    LIPAddressMultiHomedWithPort address;
    if (!_LResolve(host, 80, address))
        return LProcessResultError;
    return ProcessConnect(job, sock, address, timeoutMs);
}

LProcessResult ProcessHTTPSConnect(
    LProcessInterface& job, LSSLSocketTCP& sock, const char* host, unsigned int timeoutMs)
{
    LIPAddressMultiHomedWithPort address;
    if (!_LResolve(host, 443, address))
        return LProcessResultError;
    LProcessResult r = ProcessConnect(job, sock, host, address, timeoutMs);
    if (r != LProcessResultSuccess)
        return r;
    r = sock.ConvertSocketToSSLTimeOut(job, timeoutMs);
    if (r != LProcessResultSuccess) {
        tSecureFailure = sock.GetTLSFailure();
        sock.CloseSocketAndContext();
    }
    return r;
}

LProcessResult ProcessHTTPGet(LProcessInterface& job, const char* url, char* buffer,
    size_t bufferSize, unsigned int timeoutMs)
{
    if (bufferSize == 0)
        return LProcessResultError;
    buffer[0] = 0;
    char host[kLIPHostSize];
    char path[kLHTTPPathSize];
    if (!ProcessHTTPSplitHost(url, host, path, sizeof path))
        return LProcessResultError;
    LIPSocketTCP sock;
    LProcessResult r = ProcessHTTPConnect(job, sock, host, timeoutMs);
    if (r != LProcessResultSuccess)
        return r;
    char request[kLHTTPRequestSize];
    LHTTPFormatGetRequest(request, path, host);
    unsigned int sendTimeout = timeoutMs > 0xFFFFFFFFu - 15025 ? timeoutMs : timeoutMs + 15025;
    r = ProcessSend(job, sock, request, std::strlen(request), sendTimeout);
    if (r != LProcessResultSuccess)
        return r;
    size_t got = 0;
    r = ProcessRecvBytes(job, sock, buffer, bufferSize - 1, &got, timeoutMs);
    buffer[got] = 0;
    return r == LProcessResultStopped ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, LIPSocketTCP& sock, const char* url,
    const char* filePath, bool followRedirect)
{
    return _LDownload(job, sock, url, filePath, followRedirect);
}

LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, LSSLSocketTCP& sock, const char* url,
    const char* filePath, bool followRedirect)
{
    return _LDownload(job, sock, url, filePath, followRedirect);
}

LProcessResult ProcessHTTPDownloadFile(
    LProcessInterface& job, const char* url, const char* filePath, bool followRedirect)
{
    return _LConnectAndDownload<LIPSocketTCP>(
        job, url, filePath, followRedirect, ProcessHTTPConnect, 22000);
}

LProcessResult ProcessHTTPSDownloadFile(
    LProcessInterface& job, const char* url, const char* filePath, bool followRedirect)
{
    return _LConnectAndDownload<LSSLSocketTCP>(
        job, url, filePath, followRedirect, ProcessHTTPSConnect, 60000);
}

LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, const char* url,
    const char* filePath, bool followRedirect, const LHTTPDownloadLimits& limits,
    LHTTPDownloadFailure* failure)
{
    return _LConnectAndDownload<LIPSocketTCP>(
        job, url, filePath, followRedirect, ProcessHTTPConnect, 22000, limits, failure);
}

LProcessResult ProcessHTTPSDownloadFile(LProcessInterface& job, const char* url,
    const char* filePath, bool followRedirect, const LHTTPDownloadLimits& limits,
    LHTTPDownloadFailure* failure)
{
    return _LConnectAndDownload<LSSLSocketTCP>(
        job, url, filePath, followRedirect, ProcessHTTPSConnect, 60000, limits, failure);
}

bool LHTTPParseStatusLine(const char* line, int* status)
{
    *status = 0;
    if (std::strlen(line) < 12 || strncasecmp(line, "HTTP", 4) != 0)
        return false;
    int value = 0;
    for (int i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return false;
        value = value * 10 + (line[i] - '0');
    }
    *status = value;
    return true;
}

int LHTTPParseContentLength(const char* line, uint64_t* length)
{
    if (!_LStartsWithNoCase(line, "Content-Length:"))
        return 0;
    const char* p = line + 15;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return -1;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + uint64_t(*p - '0');
        if (value >= (uint64_t(1) << 63) / 10)
            return -1;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p)
        return -1;
    *length = value;
    return 1;
}

bool LHTTPIsTransferEncoded(const char* line)
{
    if (!_LStartsWithNoCase(line, "Transfer-Encoding:"))
        return false;
    const char* p = line + 18;
    while (*p == ' ' || *p == '\t')
        ++p;
    return strcasecmp(p, "identity") != 0;
}

bool LHTTPGetURLParent(char* out, const char* url)
{
    if (!_LCopy(out, kLPathSize, url))
        return false;
    size_t n = std::strlen(out);
    if (n >= 2 && out[n - 1] == '/' && out[n - 2] == '/') {
        out[0] = 0;
        return false;
    }
    if (n > 0 && out[n - 1] == '/')
        out[--n] = 0;
    char* slash = std::strrchr(out, '/');
    if (slash && (slash == out || slash[-1] != '/')) {
        *slash = 0;
        return true;
    }
    out[0] = 0;
    return true;
}

bool LHTTPResolveRedirection(char* result, const char* requestUrl, const char* location)
{
    result[0] = 0;
    if (std::strstr(location, "://"))
        return _LCopy(result, kLPathSize, location);
    char base[kLPathSize];
    if (!_LCopy(base, sizeof base, requestUrl))
        return false;
    if (!*location)
        return LStringFormat(result, kLPathSize, "%s/", base) < kLPathSize - 1;
    if (*location == '/') {
        char next[kLPathSize];
        for (;;) {
            if (!LHTTPGetURLParent(next, base))
                return false;
            if (!next[0])
                break;
            std::memcpy(base, next, sizeof base);
        }
        if (std::strlen(base) + std::strlen(location) >= kLPathSize)
            return false;
        LStringFormat(result, kLPathSize, "%s%s", base, location);
        return true;
    }
    for (;;) {
        if (std::strncmp(location, "../", 3) == 0) {
            char next[kLPathSize];
            if (!LHTTPGetURLParent(next, base))
                return false;
            std::memcpy(base, next, sizeof base);
            location += 3;
        } else if (std::strncmp(location, "./", 2) == 0) {
            location += 2;
        } else {
            break;
        }
    }
    if (std::strlen(base) + 1 + std::strlen(location) >= kLPathSize)
        return false;
    LStringFormat(result, kLPathSize, "%s/%s", base, location);
    return true;
}

size_t LURIEncode(char* out, size_t size, const char* text)
{
    if (size == 0)
        return 0;
    size_t n = 0;
    for (const char* p = text; *p; ++p) {
        size_t need = LURIIsUnreserved(static_cast<unsigned char>(*p)) ? 1 : 3;
        if (n + need > size - 1)
            break;
        LFixedLengthStringWriterTemplate<char> w(out + n, need);
        LURIEncodeToWriterDirect(w, *p);
        n += need;
    }
    out[n] = 0;
    return n;
}
