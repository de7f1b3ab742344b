// The running program's answer as a later start reads it, on arbitrary bytes: frames taken one by
// one off the front of what came, and the whole wait for an answer on a connection that carries
// the bytes and then ends. Whatever the peer sends, a frame's text keeps to the limit, the wait
// ends (at the latest when the connection does) in one of its states, and a state agrees with
// what was read: carried out with result 0, not taken with the busy result, lost only once
// taken.
#include "lfw/zor/LSingleInstance.h"

#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    LSingleInstanceFrame frame;
    int got;
    size_t frames = 0;
    while ((got = LSingleInstanceTakeFrame(bytes, frame)) == 1) {
        ++frames;
        if (frame.text.size() > kLZORAPIReplySize)
            __builtin_trap();
    }
    if (got == 0 && bytes.size() >= 9 + kLZORAPIReplySize)
        __builtin_trap(); // a whole frame that was not taken

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    std::thread peer([&] {
        size_t off = 0;
        while (off < size) {
            const ssize_t w = send(pair[1], data + off, size - off, MSG_NOSIGNAL);
            if (w <= 0)
                break;
            off += size_t(w);
        }
        shutdown(pair[1], SHUT_WR);
    });
    const LSingleInstance::Answer answer = LSingleInstance::ReadAnswer(pair[0], 5000, 5000);
    shutdown(pair[0], SHUT_RDWR);
    peer.join();
    close(pair[0]);
    close(pair[1]);
    using A = LSingleInstance::Answer;
    if (answer.text.size() > kLZORAPIReplySize)
        __builtin_trap();
    for (const std::string& w : answer.warnings)
        if (w.size() > kLZORAPIReplySize)
            __builtin_trap();
    if (answer.state == A::kDone && answer.result != 0)
        __builtin_trap();
    if (answer.state == A::kBusy && answer.result != kLSingleInstanceNotTaken)
        __builtin_trap();
    if (answer.state == A::kRefused && answer.result == 0)
        __builtin_trap();
    if (frames == 0 && answer.state != A::kNoAnswer)
        __builtin_trap();
    return 0;
}
