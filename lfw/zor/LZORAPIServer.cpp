#include "lfw/zor/LZORAPIServer.h"

#include "lfw/gen/LFormat.h"
#include "lfw/unix/LNamedPipe.h"

#include <atomic>
#include <cstring>

namespace {
std::atomic<LLaunchWaitHook> gWaitHook { nullptr };
std::shared_ptr<LZORAPIReply> gCurrentReply; // main thread only
}

std::shared_ptr<LZORAPIReply> LZORAPICurrentReply()
{
    return gCurrentReply;
}

LZORAPIReplyScope::LZORAPIReplyScope(std::shared_ptr<LZORAPIReply> reply)
    : fPrevious(std::move(gCurrentReply))
{
    gCurrentReply = std::move(reply);
}

LZORAPIReplyScope::~LZORAPIReplyScope()
{
    gCurrentReply = std::move(fPrevious);
}

int LZORAPIServerHandler::ExecuteCommand(int argc, const char* const* argv, char* reply)
{
    reply[0] = 0;
    if (argc < 1 || !argv || !argv[0]) {
        LStringFormat(reply, kLZORAPIReplySize, "Kommandot har inte angets.");
        return -2;
    }
    if (std::strcmp(argv[0], "-testapi") == 0) {
        if (argc < 2 || !argv[1]) {
            LStringFormat(reply, kLZORAPIReplySize, "API-test misslyckas (Inga data).");
            return -1;
        }
        LStringFormat(reply, kLZORAPIReplySize, "API-test OK [%s].", argv[1]);
        return 0;
    }
    if (std::strcmp(argv[0], "-version") == 0) {
        LStringFormat(reply, kLZORAPIReplySize, "6.27");
        return 0;
    }
    if (!fGui) {
        LStringFormat(reply, kLZORAPIReplySize, "Kommandot har inte angets.");
        return -2;
    }
    return fGui->EvAPICommand(argc, argv, reply);
}

void LLaunchSetWaitHook(LLaunchWaitHook hook)
{
    gWaitHook = hook;
}

bool LLaunchSendArgumentsToInstance(
    void*, const char* name, const char* argument, bool wait, const char* title)
{
    LNamedPipeRef pipe;
    if (pipe._Open(name) < 0)
        return false;
    CopyData record;
    const char* argv[2] = { name, argument ? argument : "" };
    record.SetArguments(2, argv);
    LProcessInterfaceVoid quiet;
    if (ProcessNamedPipeSendRecord(quiet, pipe.GetDescriptor(), record, 15000)
        != LProcessResultSuccess)
        return false;
    pipe.Close();
    if (!wait)
        return true;
    LLaunchWaitHook hook = gWaitHook.load();
    return hook ? hook(name, title) : true;
}
