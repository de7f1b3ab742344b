// The HTTP download reader on arbitrary replies: the bytes are what a server sends back over a
// socket pair; the download must end with 0, 1 or 2, and on 0 the file holds a body the reply
// really carried (never more bytes than came after the header block).
#include "fuzz/FuzzScratch.h"
#include "lfw/net/LHTTP.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 60000)
        return 0;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    int big = 1 << 20;
    setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    size_t off = 0;
    while (off < size) {
        ssize_t n = send(pair[1], data + off, size - off, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        off += size_t(n);
    }
    shutdown(pair[1], SHUT_WR);

    const std::string& folder = FuzzScratchFolder("http-fuzz");
    if (folder.empty()) {
        close(pair[0]);
        close(pair[1]);
        return 0;
    }
    std::string target = folder + "/body";
    unlink(target.c_str());
    LIPSocketTCP sock(pair[0]);
    LProcessInterfaceVoid job;
    LProcessResult r = ProcessHTTPDownloadFile(job, sock, "http://h/p", target.c_str(), false);
    close(pair[1]);
    if (r != 0 && r != 1 && r != 2)
        __builtin_trap();
    struct stat st;
    bool exists = stat(target.c_str(), &st) == 0;
    if (r != 0 && exists)
        __builtin_trap(); // a failed download leaves nothing
    if (r == 0 && (!exists || size_t(st.st_size) > off))
        __builtin_trap();

    int status = 0;
    std::string line(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
    line = line.substr(0, line.find('\0'));
    (void)LHTTPParseStatusLine(line.c_str(), &status);
    uint64_t length = 0;
    (void)LHTTPParseContentLength(line.c_str(), &length);
    return 0;
}
