// A request of a later start as the running program reads it, on arbitrary bytes: received from a
// local socket (a record, or a continued record with its arguments after it, the sender's
// features in the record's last slot), read as requests, and what is readable dispatched to a
// target that checks what it gets. Whatever a peer sends, a received request keeps to the
// limits, a refused one says why, and the dispatch only ever sees requests that were read whole:
// an absolute path for the file requests, a layout for "-new", in the order given. The reader
// that takes the bytes as they come, in pieces of any size, reads exactly what the blocking
// receive reads and never takes a byte past the request.
#include "app/VTLabelLayout.h"
#include "app/VTRequests.h"
#include "lfw/unix/LNamedPipe.h"
#include "lfw/zor/LZORAPIServer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Takes the requests as a window would, checking each against what was read.
class Target : public VTRequestTarget {
public:
    explicit Target(const std::vector<VTRequest>& r)
        : requests(r)
    {
    }
    bool RequestOpen(const std::string& path) override { return Take(VTRequestKind::kOpen, path); }
    bool RequestNew(VTLabelLayout* layout, const std::string& kind) override
    {
        if (!layout)
            __builtin_trap();
        delete layout;
        return Take(VTRequestKind::kNew, kind);
    }
    bool RequestCustom(const std::string& path) override
    {
        return Take(VTRequestKind::kCustom, path);
    }
    bool RequestAddText(const std::string& path) override
    {
        return Take(VTRequestKind::kAddText, path);
    }
    bool RequestAddImage(const std::string& path) override
    {
        return Take(VTRequestKind::kAddImage, path);
    }

    const std::vector<VTRequest>& requests;
    size_t taken = 0;

private:
    bool Take(VTRequestKind kind, const std::string& value)
    {
        if (taken >= requests.size() || requests[taken].kind != kind
            || requests[taken].value != value || value.empty())
            __builtin_trap();
        if (kind != VTRequestKind::kNew && value[0] != '/')
            __builtin_trap();
        ++taken;
        // Every seventh one fails, so that a failure's stop is taken too.
        failed = taken % 7 == 0;
        return !failed;
    }

public:
    bool failed = false;
};

// The window layer: reads and dispatches, answering as the program does.
class Gui : public LZORAPIServerGUILayer {
public:
    int EvAPICommand(int argc, const char* const* argv, char* reply) override
    {
        std::vector<VTRequest> requests;
        std::vector<std::string> refusals;
        const bool read = VTRequestsRead(argc, argv, requests, refusals);
        if (read != refusals.empty() || (!read && !requests.empty()))
            __builtin_trap();
        if (refusals.size() > size_t(argc) + 1)
            __builtin_trap();
        for (const std::string& why : refusals)
            if (why.empty())
                __builtin_trap();
        if (!read) {
            std::snprintf(reply, kLZORAPIReplySize, "%s", refusals.front().c_str());
            return -1;
        }
        if (requests.size() > kVTMaxRequests)
            __builtin_trap();
        Target target(requests);
        const bool done = VTRequestsDispatch(requests, target);
        // All of them, or up to the one that failed and no further.
        if (done == target.failed || (done && target.taken != requests.size()))
            __builtin_trap();
        std::snprintf(reply, kLZORAPIReplySize, "%s", done ? "OK" : "Misslyckades");
        return done ? 0 : -1;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    // The peer writes while the reader reads, as a later start does.
    std::thread peer([&] {
        size_t off = 0;
        while (off < size) {
            ssize_t w = send(pair[1], data + off, size - off, MSG_NOSIGNAL);
            if (w <= 0)
                break;
            off += size_t(w);
        }
        shutdown(pair[1], SHUT_WR);
    });
    std::vector<std::string> arguments;
    std::string features;
    LProcessInterfaceVoid job;
    const LProcessResult r = ProcessNamedPipeReceiveRequest(job, pair[0], arguments, &features);
    shutdown(pair[0], SHUT_RDWR);
    peer.join();
    close(pair[0]);
    close(pair[1]);

    // The same bytes in pieces whose sizes the bytes themselves give.
    LNamedPipeRequestReader reader;
    size_t at = 0;
    uint64_t taken = 0;
    while (at < size && reader.GetState() == LNamedPipeRequestReader::kReading) {
        const size_t piece = std::min<size_t>(size - at, 1 + (data[at] * 977u) % 40000u);
        const size_t used = reader.Take(data + at, piece);
        if (used > piece
            || (used < piece && reader.GetState() == LNamedPipeRequestReader::kReading))
            __builtin_trap();
        at += used;
        taken += used;
    }
    if (reader.Taken() != taken)
        __builtin_trap();
    const bool readerDone = reader.GetState() == LNamedPipeRequestReader::kDone;
    if (readerDone != (r == LProcessResultSuccess))
        __builtin_trap();
    if (readerDone && (reader.Arguments() != arguments || reader.Features() != features))
        __builtin_trap();
    if (features.size() >= CopyData::kSlotSize || features.find('\0') != std::string::npos)
        __builtin_trap();

    if (r != LProcessResultSuccess) {
        if (r != LProcessResultError || !arguments.empty())
            __builtin_trap();
        return 0;
    }
    if (size < sizeof(CopyData) || arguments.size() > kLNamedPipeMaxRequestArguments)
        __builtin_trap();
    size_t bytes = 0;
    for (const std::string& a : arguments) {
        if (a.find('\0') != std::string::npos)
            __builtin_trap();
        bytes += a.size() + 1;
    }
    if (bytes > kLNamedPipeMaxRequestBytes + sizeof(CopyData))
        __builtin_trap();
    if (arguments.size() < 2)
        return 0;
    std::vector<const char*> argv;
    for (size_t i = 1; i < arguments.size(); ++i)
        argv.push_back(arguments[i].c_str());
    Gui gui;
    LZORAPIServerHandler handler(&gui);
    char reply[kLZORAPIReplySize];
    handler.ExecuteCommand(int(argv.size()), argv.data(), reply);
    if (std::strlen(reply) >= kLZORAPIReplySize)
        __builtin_trap();
    return 0;
}
