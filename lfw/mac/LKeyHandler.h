// The key bridge between a window's view and the framework: the view hands it its key events,
// and it calls simple virtual operations with LKey values. MapKeyToCommand turns keys into
// window commands through a shortcut table of the caller and the application's own shortcuts.
#pragma once

#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "lfw/mac/cocoa/LKey.h"

class LMacWindow;
class LView;

class LKeyHandler : public LCocoaKeyBridge {
public:
    LKeyHandler() = default;
    virtual ~LKeyHandler();
    LKeyHandler(const LKeyHandler&) = delete;
    LKeyHandler& operator=(const LKeyHandler&) = delete;

    // The handler's operations, each answering whether it handled the key; false here. EvChar
    // gets the characters below 0x80 only (one byte of a longer character is another one).
    virtual bool EvChar(char c);
    virtual bool EvKeyDown(LKey key);
    virtual bool EvKeyRepeat(LKey key);
    virtual bool EvKeyUp(LKey key);

    // Hooks the handler to a view of the window (its content view when view is null).
    void KeyHandlerInit(LMacWindow& window, LView* view = nullptr);
    // Unhooks: the view is told it has no key handler any more.
    void DestroyKeyHandler();

    // The view's events.
    bool EvKeyDown(const LUiEvent& event) override;
    bool EvKeyUp(const LUiEvent& event) override;
    bool EvKeyFlagsChanged(const LUiEvent& event) override;
    bool EvKeyDownValue(uint32_t keyValue) override;

    // Sends the command of the key to the window: the table's first row with the key's code,
    // else the application's shortcuts (Ctrl+Q quit, Ctrl+W close, Escape in a modal dialog...).
    // True when a command was sent (or help was opened).
    static bool MapKeyToCommand(
        LMacWindow& window, LKey key, const LKeyToCommandMap* table, unsigned long rows);

    LMacWindow* GetWindow() const { return window; }
    LView* GetView() const { return view; }

    // The last key seen (modifier changes are found against it).
    static LKey KeyDown;

protected:
    LMacWindow* window = nullptr;
    LView* view = nullptr;
};
