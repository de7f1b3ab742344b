// The first step of acting on an argument list that another instance sent over the local-socket
// channel, and passing a file to another running program of the maker.
#pragma once

#include <cstddef>

inline constexpr size_t kLZORAPIReplySize = 8192;

// Implemented by the main window: runs an API command, writing its reply (8192 bytes).
class LZORAPIServerGUILayer {
public:
    virtual ~LZORAPIServerGUILayer() = default;
    virtual int EvAPICommand(int argc, const char* const* argv, char* reply) = 0;
};

class LZORAPIServerHandler {
public:
    explicit LZORAPIServerHandler(LZORAPIServerGUILayer* gui = nullptr)
        : fGui(gui)
    {
    }
    // "-testapi" and "-version" are answered here; everything else goes to the window layer
    // (-2 "Kommandot har inte angets." without arguments or without a window layer).
    int ExecuteCommand(int argc, const char* const* argv, char* reply);

private:
    LZORAPIServerGUILayer* fGui;
};

// Sends {name, argument} to the instance listening on the channel name. False when nobody
// listens or the record could not be sent. With wait set, the install-then-launch step of the
// program launcher runs afterwards through its hook (true when no hook is installed).
using LLaunchWaitHook = bool (*)(const char* name, const char* title);
void LLaunchSetWaitHook(LLaunchWaitHook hook);
bool LLaunchSendArgumentsToInstance(
    void* parent, const char* name, const char* argument, bool wait, const char* title);
