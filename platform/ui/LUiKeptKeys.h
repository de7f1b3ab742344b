// Keys kept for a window while work runs over it in a modal window (a save's progress window,
// which takes the keyboard): what the user types meanwhile, to the window or to the modal window,
// waits instead of being lost to the modal window, and goes to the window, in the order typed,
// once the keeping ends (the work done and the modal window gone). Escape is not kept: it goes to
// the modal window, which stops the work with it. A request to close the window (its close box)
// waits the same way. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

typedef struct _GdkWindow GdkWindow;
typedef union _GdkEvent GdkEvent;
class LNativeWindow;

class LUiKeptKeys {
public:
    // Keeps the keys typed to the window (nothing when it has no GDK window).
    explicit LUiKeptKeys(LNativeWindow* window);
    // Release.
    ~LUiKeptKeys();
    LUiKeptKeys(const LUiKeptKeys&) = delete;
    LUiKeptKeys& operator=(const LUiKeptKeys&) = delete;

    // Keys typed to that window too are kept for the first (the modal window over it).
    void Also(LNativeWindow* window);
    // Ends the keeping: the kept events go to the window ahead of everything that has come in
    // since; they are dropped when the window has closed. Nothing more is kept afterwards.
    void Release();
    // How many key presses wait.
    size_t KeptPresses() const;

private:
    static bool Monitor(GdkEvent* event, void* data);
    bool Keeps(GdkWindow* window) const;
    // Whether the event (a key or a close request) is one kept for the window.
    bool Takes(const GdkEvent* event) const;
    // Addresses the event to the window.
    void Readdress(GdkEvent* event) const;

    uintptr_t fMonitor = 0;
    GdkWindow* fOwner = nullptr; // referenced
    std::vector<GdkWindow*> fAlso; // referenced
    std::vector<GdkEvent*> fKept; // copies, addressed to fOwner
};
