// The CLIPBOARD selection. Main thread only.
//
// The application owns the clipboard through one owner object. A copy operation starts with
// Clear() and adds flavours with Put, PutText or PutRendered; after each addition the owner offers
// the union of the targets it holds, so every flavour of one operation belongs to the same
// selection. Rendered flavours are made only when some program first asks for them and are then
// kept. When another program takes the clipboard, the flavours are dropped.
//
// Flavours rendered in a worker are made on a worker thread: another program's request for one
// of them (or for several at once, MULTIPLE) is held, the main loop turning on, and handed to GTK
// once the bytes are made; requests for what is at hand are answered meanwhile. One worker makes
// them, in the order they were asked for (platform::system::WorkerQueue, "Urklipp").
//
// What the clipboard offers is also kept as state of our own, for enabling commands without
// asking anyone: whenever the clipboard changes hands, the new owner is asked for its targets
// without waiting, and the answer, when it comes, is stored and the watchers are told.
//
// Reading asks the owner for the target list or one target's bytes and waits for the answer
// while the main loop turns, at most the given time; the wait counts as modal (LModalWait) and
// holds the user's input. While the application owns the clipboard itself, its own flavours are
// read directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class LUiClipboard {
public:
    // Makes the bytes of a target; false when it cannot (the requester then gets nothing).
    using Render = std::function<bool(const std::string& target, std::vector<uint8_t>& out)>;

    static constexpr unsigned kDefaultTimeout = 5000; // ms

    // Starts a new operation: the clipboard is taken with no flavours.
    static bool Clear();
    // Adds a flavour given now (replacing one of the same target).
    static bool Put(const std::string& target, const uint8_t* data, size_t size);
    // Adds the text flavours UTF8_STRING, text/plain;charset=utf-8, STRING and TEXT (no NUL).
    static bool PutText(const char* utf8, size_t length);
    // Adds flavours whose bytes render() makes when first asked for.
    static bool PutRendered(const std::vector<std::string>& targets, Render render);
    // The same, render() called on the worker thread (render must be safe to call on any thread,
    // also on two at once: a read of the application's own may render on the main thread).
    static bool PutRenderedInWorker(const std::vector<std::string>& targets, Render render);

    // True while the application owns the clipboard.
    static bool Owned();
    // The targets the clipboard offers now; false when there is no owner or it did not answer.
    static bool Targets(std::vector<std::string>& out, unsigned timeoutMs = kDefaultTimeout);
    static bool Has(const std::string& target, unsigned timeoutMs = kDefaultTimeout);
    // The bytes of a target; false when it is not offered or the owner did not answer in time.
    static bool Read(
        const std::string& target, std::vector<uint8_t>& out, unsigned timeoutMs = kDefaultTimeout);
    // Whether the last Targets, Has or Read that had to wait gave up: the owner did not answer
    // in time (or the application is quitting).
    static bool LastWaitGaveUp();

    // The targets as last heard, without waiting: our own while we own the clipboard, else the
    // owner's answer to the request made when it took the clipboard. False while that answer is
    // still to come (out is then empty); true and empty when there is no owner or it gave no
    // answer.
    static bool KnownTargets(std::vector<std::string>& out);
    // Called on the main thread whenever the known targets may have changed; answers a token
    // for RemoveWatcher (never 0). A watcher may add or remove watchers.
    static uintptr_t AddWatcher(std::function<void()> changed);
    static void RemoveWatcher(uintptr_t token);

    // True while the application owns the clipboard and the target is one of its rendered
    // flavours (put with PutRendered in the current operation).
    static bool IsRenderedFlavour(const std::string& target);

    // Hands the clipboard to the desktop's clipboard manager, so that it outlives the process.
    // Without a manager, or when we do not own the clipboard, it does nothing and returns at
    // once; a manager gets at most timeoutMs for taking it.
    static constexpr unsigned kStoreTimeout = 1000; // ms
    static void Store(unsigned timeoutMs = kStoreTimeout);
    // How many flavours were rendered so far, or are being rendered (for tests and measurements).
    static unsigned RenderCount();
    // Requests of other programs held until their flavours are made.
    static size_t HeldRequestCount();

    // The text targets, in order of preference.
    static const std::vector<std::string>& TextTargets();
};
