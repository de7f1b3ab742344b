// The first step of acting on an argument list that another instance sent over the local-socket
// channel, and passing a file to another running program of the maker.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

inline constexpr size_t kLZORAPIReplySize = 8192;

// Where the outcome of a request of another instance goes: that instance waits for it. Main
// thread only.
class LZORAPIReply {
public:
    virtual ~LZORAPIReply() = default;
    // The request is taken, and its outcome follows through Finish: text says what the program
    // does with it now (works on it, holds it until something is over). The asking instance
    // hears it, and keeps hearing it while the outcome has not come, so it knows the request is
    // not lost. No call counts after Queued or Finish.
    void Progress(const char* text);
    // The request waits for the user (a modal window runs, or it asks a question of its own);
    // its outcome follows through Finish when it has run. text says what it waits for ("": the
    // usual words). Only the first call counts, and none after Finish.
    void Queued(const char* text = "");
    bool IsQueued() const { return fQueued; }
    // A warning of a request that is carried out all the same (before Finish).
    void Warning(const char* text);
    // The outcome: 0 carried out, otherwise refused or failed with text saying why. Only the
    // first call counts.
    void Finish(int result, const char* text);
    bool IsFinished() const { return fFinished; }
    // Whether the asking instance has had no word yet: neither the outcome nor that it waits.
    bool IsPending() const { return !fQueued && !fFinished; }
    // Whether the outcome follows later: the request was taken or waits for the user.
    bool IsAnsweredLater() const { return fTaken || fQueued; }
    const std::string& ProgressText() const { return fProgress; }

protected:
    virtual void SendProgress(const char* text) { (void)text; }
    virtual void SendQueued(const char* text) = 0;
    virtual void SendWarning(const char* text) { (void)text; }
    virtual void SendFinished(int result, const char* text) = 0;

private:
    bool fTaken = false;
    bool fQueued = false;
    bool fFinished = false;
    std::string fProgress;
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

// While a request whose asker waits is carried out, an alert that opens tells the asker that the
// request waits for the user. It says nothing of the request's outcome, which is what its jobs
// report. Installed by the main window.
void LZORAPIInstallAlertHook();

// Implemented by the main window: runs an API command, writing its reply (8192 bytes).
class LZORAPIServerGUILayer {
public:
    virtual ~LZORAPIServerGUILayer() = default;
    virtual int EvAPICommand(int argc, const char* const* argv, char* reply) = 0;
    // Whether the value of a request key names a file; a later start makes such values (and a
    // lone argument that is no key) absolute against its own working folder before it hands
    // them over.
    virtual bool EvAPIKeyTakesFile(const char* key) const
    {
        (void)key;
        return false;
    }
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
