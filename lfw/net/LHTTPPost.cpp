// The multipart file upload.
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/net/LHTTP.h"
#include "platform/system/FileRead.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kBoundary = "Tq7Rm3Yb4Al9Wp8Hg2Co1Bj5Nv6";

class LCloseOnExit {
public:
    explicit LCloseOnExit(int fd)
        : fFd(fd)
    {
    }
    ~LCloseOnExit()
    {
        if (fFd >= 0)
            close(fFd);
    }

private:
    int fFd;
};

} // namespace

LProcessResult ProcessHTTPPostFileAsFormData(LProcessInterface& job, const char* url,
    const char* filePath, const char* fileName, const char* contentType, int& httpStatus,
    unsigned int timeoutMs)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    httpStatus = 0;
    int fd = platform::system::OpenForReading(filePath);
    if (fd < 0)
        return LProcessResultError;
    LCloseOnExit closeFile(fd);
    flocktimed(fd, LOCK_SH, 1000);

    char host[kLIPHostSize];
    char path[2085];
    if (!ProcessHTTPSplitHost(url, host, path, sizeof path))
        return LProcessResultError;
    if (job.IsToStop())
        return LProcessResultStopped;
    LIPSocketTCP sock;
    LProcessResult r = ProcessHTTPConnect(job, sock, host, timeoutMs);
    if (r != LProcessResultSuccess)
        return r;

    // The file name goes into a quoted header value: quotes and line ends are replaced.
    char safeName[kLPathSize];
    size_t n = 0;
    for (const char* p = fileName; *p && n < sizeof safeName - 1; ++p)
        safeName[n++] = (*p == '"' || *p == '\r' || *p == '\n' || *p == '\\') ? '_' : *p;
    safeName[n] = 0;

    char part[1024];
    size_t partLength = LStringFormat(part, sizeof part,
        "--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"%s\"\r\n"
        "Content-Type: %s\r\n\r\n",
        kBoundary, safeName, contentType);
    struct stat st = {};
    uint64_t fileSize = fstat(fd, &st) == 0 && st.st_size > 0 ? uint64_t(st.st_size) : 0;
    uint64_t length = fileSize + partLength + 35;
    if (length > 4294967294u)
        return LProcessResultError;

    char head[kLHTTPRequestSize + 128];
    LStringFormat(head, sizeof head,
        "POST %s HTTP/1.0\r\nHost: %s\r\nContent-Type: multipart/form-data; boundary=%s\r\n"
        "Content-Length: %u\r\n\r\n",
        *path ? path : "/", host, kBoundary, unsigned(length));
    for (const char* text : { static_cast<const char*>(head), static_cast<const char*>(part) }) {
        if (job.IsToStop())
            return LProcessResultStopped;
        r = ProcessSend(job, sock, text, std::strlen(text), timeoutMs);
        if (r != LProcessResultSuccess)
            return r;
    }

    char chunk[4096];
    uint64_t left = fileSize;
    double progress = 0;
    while (left > 0) {
        if (job.IsToStop())
            return LProcessResultStopped;
        size_t want = left < sizeof chunk ? size_t(left) : sizeof chunk;
        size_t got = 0;
        while (got < want) {
            ssize_t rd = read(fd, chunk + got, want - got);
            if (rd < 0 && errno == EINTR)
                continue;
            if (rd <= 0)
                return LProcessResultError;
            got += size_t(rd);
        }
        r = ProcessSend(job, sock, chunk, want, timeoutMs);
        if (r != LProcessResultSuccess)
            return r;
        left -= want;
        progress += double(want) / double(fileSize);
        job.SetProgress(progress);
    }

    if (job.IsToStop())
        return LProcessResultStopped;
    char tail[64];
    LStringFormat(tail, sizeof tail, "\r\n--%s--\r\n", kBoundary);
    r = ProcessSend(job, sock, tail, std::strlen(tail), timeoutMs);
    if (r != LProcessResultSuccess)
        return r;
    char line[kLHTTPLineSize + 1];
    LFixedLengthStringWriterTemplate<char> w(line, kLHTTPLineSize);
    r = ProcessRecvLineToWriter(job, sock, w, 30000, kLHTTPMaxHeaderBytes);
    w.Terminate();
    if (r != LProcessResultSuccess)
        return r;
    int status = 0;
    if (std::sscanf(line, "HTTP/%*d.%*d %d", &status) != 1)
        return LProcessResultError;
    httpStatus = status;
    return LProcessResultSuccess;
}
