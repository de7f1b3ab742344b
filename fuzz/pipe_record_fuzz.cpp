// The local-socket record on arbitrary bytes: whatever a peer sends, a received record is
// either refused (short) or has a count of 0 to 128 and every slot terminated; the API handler
// then answers within its reply buffer.
#include "lfw/unix/LNamedPipe.h"
#include "lfw/zor/LZORAPIServer.h"

#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    int big = 1 << 17;
    setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    size_t n = size < sizeof(CopyData) + 64 ? size : sizeof(CopyData) + 64;
    size_t off = 0;
    while (off < n) {
        ssize_t w = send(pair[1], data + off, n - off, MSG_NOSIGNAL);
        if (w <= 0)
            break;
        off += size_t(w);
    }
    close(pair[1]);
    CopyData record;
    LProcessInterfaceVoid job;
    LProcessResult r = ProcessNamedPipeReceiveRecord(job, pair[0], record);
    close(pair[0]);
    if (r == LProcessResultSuccess) {
        if (off < sizeof record || record.count < 0 || record.count > 128)
            __builtin_trap();
        const char* argv[CopyData::kMaxArguments];
        for (int i = 0; i < record.count; ++i) {
            if (std::strlen(record.arguments[i]) >= CopyData::kSlotSize)
                __builtin_trap();
            argv[i] = record.arguments[i];
        }
        char reply[kLZORAPIReplySize];
        LZORAPIServerHandler handler;
        handler.ExecuteCommand(record.count, argv, reply);
        if (std::strlen(reply) >= kLZORAPIReplySize)
            __builtin_trap();
    } else if (r != LProcessResultError) {
        __builtin_trap();
    }
    return 0;
}
