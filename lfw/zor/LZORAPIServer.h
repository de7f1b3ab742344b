// The first step of acting on an argument list that another instance sent over the local-socket
// channel, and passing a file to another running program of the maker.
#pragma once

#include <cstddef>
#include <memory>

inline constexpr size_t kLZORAPIReplySize = 8192;

// Where the outcome of a request of another instance goes: that instance waits for it. Main
// thread only.
class LZORAPIReply {
public:
    virtual ~LZORAPIReply() = default;
    // The request waits (a modal window runs); its outcome follows through Finish when it has
    // run. Without that, the outcome is the command's result when it returns.
    virtual void Queued() = 0;
    bool IsQueued() const { return fQueued; }
    // The outcome: 0 carried out, otherwise refused or failed with text saying why. Only the
    // first call counts.
    virtual void Finish(int result, const char* text) = 0;

protected:
    bool fQueued = false;
};

// The reply of the request being carried out now; null for a request that nobody waits for
// (the command line of the running instance itself).
std::shared_ptr<LZORAPIReply> LZORAPICurrentReply();
// Makes a reply the current one while it lives.
class LZORAPIReplyScope {
public:
    explicit LZORAPIReplyScope(std::shared_ptr<LZORAPIReply> reply);
    ~LZORAPIReplyScope();
    LZORAPIReplyScope(const LZORAPIReplyScope&) = delete;
    LZORAPIReplyScope& operator=(const LZORAPIReplyScope&) = delete;

private:
    std::shared_ptr<LZORAPIReply> fPrevious;
};

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
