// A small HTTP/1.0 client over the sockets of LIPSocket.h: one request per connection, the
// server ends the reply by closing. Replies are read raw into a buffer or streamed into a file.
//
// Downloads write into a temporary file beside the target and move it over the target only when
// the whole body came, so a failed or stopped download leaves an existing file untouched and
// nothing half-written behind. Status lines must be well formed; header blocks are bounded
// (kLHTTPMaxHeaderBytes); a Transfer-Encoding other than identity, which a 1.0 request never asks
// for, is refused.
#pragma once

#include "lfw/gen/LFormat.h"
#include "lfw/net/LIPSocket.h"

#include <cstdint>

inline constexpr size_t kLHTTPPathSize = 1024;
inline constexpr size_t kLHTTPRequestSize = 2048;
inline constexpr size_t kLHTTPLineSize = 259;
inline constexpr size_t kLHTTPMaxHeaderBytes = 65536;

// Splits "scheme://host[:port]/path" into the host (with its port, 260 bytes) and the path
// (from its '/', pathSize bytes). False when the URL holds a control character or space, the
// host is empty or the path does not fit.
bool ProcessHTTPSplitHost(const char* url, char* hostOut, char* pathOut, size_t pathSize);

// Resolves the host (default port 80 / 443) and connects to its addresses in turn. The TLS
// form then sets the session up and runs the handshake, both within timeoutMs.
LProcessResult ProcessHTTPConnect(
    LProcessInterface& job, LIPSocketTCP& sock, const char* host, unsigned int timeoutMs);
LProcessResult ProcessHTTPSConnect(
    LProcessInterface& job, LSSLSocketTCP& sock, const char* host, unsigned int timeoutMs);

// The request line and Host header of a GET ("/" for an empty path) into 2048 bytes.
void LHTTPFormatGetRequest(char* out, const char* path, const char* host);

// GET into buffer: the raw reply (status line, headers, empty line, body), NUL-terminated, at
// most bufferSize - 1 bytes. 0 also when the server closed early; 1 stopped; 2 when the URL,
// the connect or the send failed (the buffer is then empty).
LProcessResult ProcessHTTPGet(LProcessInterface& job, const char* url, char* buffer,
    size_t bufferSize, unsigned int timeoutMs);

// Downloads url into filePath (see the top of this file). 0, 1 stopped, 2 failed (also for
// every status outside 200-299). followRedirect follows one 3xx Location.
LProcessResult ProcessHTTPDownloadFile(
    LProcessInterface& job, const char* url, const char* filePath, bool followRedirect);
LProcessResult ProcessHTTPSDownloadFile(
    LProcessInterface& job, const char* url, const char* filePath, bool followRedirect);
// Bounds of a download: the body's size in bytes (a longer body fails, also one that announces
// more), every wait for the server (0 keeps the usual waits of the connect, the reply and the
// data), and the whole transfer from the connect to the last byte (0: none), so that a server
// trickling its answer a byte at a time cannot hold a download for longer. A transfer that
// runs out of either time fails as TimeOut, leaving no file.
struct LHTTPDownloadLimits {
    uint64_t maxBytes = UINT64_MAX;
    unsigned int timeoutMs = 0;
    unsigned int deadlineMs = 0;
};
// Why a download answered 2: what a caller tells the user.
enum class LHTTPFailure {
    None,
    Connect, // no connection to the server (no address, refused, unreachable, dropped)
    TimeOut, // the server did not answer in time
    Secure, // the secure connection could not be set up (certificate, protocol)
    Status, // the server answered with a status outside 200-299 (in status)
    Reply, // the reply was malformed or ended early
    TooLarge, // the body was larger than allowed
    File, // the file could not be written
    Other, // a URL that cannot be asked for
};
struct LHTTPDownloadFailure {
    LHTTPFailure kind = LHTTPFailure::None;
    int status = 0;
    LTLSFailure tls = LTLSFailure::None; // with Secure: what the TLS layer refused, when known
};
// failure, when given, is set for every answer (None unless 2).
LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, const char* url,
    const char* filePath, bool followRedirect, const LHTTPDownloadLimits& limits,
    LHTTPDownloadFailure* failure = nullptr);
LProcessResult ProcessHTTPSDownloadFile(LProcessInterface& job, const char* url,
    const char* filePath, bool followRedirect, const LHTTPDownloadLimits& limits,
    LHTTPDownloadFailure* failure = nullptr);
// The same over a socket that is already connected.
LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, LIPSocketTCP& sock, const char* url,
    const char* filePath, bool followRedirect);
LProcessResult ProcessHTTPDownloadFile(LProcessInterface& job, LSSLSocketTCP& sock, const char* url,
    const char* filePath, bool followRedirect);

// A status line: at least 12 characters, "HTTP" in any case, three digits at offsets 9-11.
bool LHTTPParseStatusLine(const char* line, int* status);
// A header line "Content-Length:" (any case, blanks after the colon): 1 with the length, 0 for
// another header, -1 for a value that is not a plain decimal number below 2^63.
int LHTTPParseContentLength(const char* line, uint64_t* length);
// True for a "Transfer-Encoding:" header other than "identity".
bool LHTTPIsTransferEncoded(const char* line);

// Makes an absolute URL (260 bytes) from a Location header and the request URL.
bool LHTTPResolveRedirection(char* result, const char* requestUrl, const char* location);
// The URL without its last path component (260 bytes); "" at the site root.
bool LHTTPGetURLParent(char* out, const char* url);

// Percent-encoding: A-Z, a-z, 0-9 and "!-._~" as they are, every other byte as "%XX".
inline bool LURIIsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!'
        || c == '-' || c == '.' || c == '_' || c == '~';
}
template <class W> void LURIEncodeToWriterDirect(W& writer, char character)
{
    unsigned char c = static_cast<unsigned char>(character);
    if (LURIIsUnreserved(c)) {
        writer.Put(char(c));
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    const char escape[3] = { '%', kHex[c >> 4], kHex[c & 15] };
    writer.Put(escape, 3);
}
// Encodes text into out (size bytes, terminated); an escape that does not fit whole is left out
// together with everything after it. Returns the length.
size_t LURIEncode(char* out, size_t size, const char* text);

// Uploads a file as multipart/form-data (field "file") with one POST; *httpStatus gets the
// reply's status code. 0 whatever the status, 1 stopped, 2 unreadable file, oversized body,
// short read or an unparsable reply; connect and send failures pass their own result.
LProcessResult ProcessHTTPPostFileAsFormData(LProcessInterface& job, const char* url,
    const char* filePath, const char* fileName, const char* contentType, int& httpStatus,
    unsigned int timeoutMs);
