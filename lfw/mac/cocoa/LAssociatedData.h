// Data associated with the window layer's objects (views, native windows, window managers) under
// static keys: plain values (integers or raw pointers, not owned) and owned objects. A key is the
// address of a one-byte static variable.
#pragma once

#include "lfw/ios/LIOSEventHandler.h" // kAssociatedLWindowKey
#include "platform/ui/LAssociations.h"

#include <cstdint>
#include <memory>

class LAssociatedData {
public:
    // A null object is ignored; reading from one answers 0 or null.
    static void setData(uint64_t value, LAssociations* object, const void* key);
    static uint64_t getDataForObject(const LAssociations* object, const void* key);
    // An owned object; null removes it.
    static void setDataDirect(std::shared_ptr<void> value, LAssociations* object, const void* key);
    static std::shared_ptr<void> getDataDirect(const LAssociations* object, const void* key);
    // The default key.
    static void setData(uint64_t value, LAssociations* object);
    static uint64_t getDataForObject(const LAssociations* object);
};

// Keys (what is stored, and on what):
extern const char kAssociatedDataKey; // the default key
extern const char kAssociatedParentLWindowKey; // content view, menu: the parent window object
extern const char kAssociatedParentWindowHandleKey; // view: explicit parent view (not retained)
extern const char kPaintBackgroundKey; // content view: its LCocoaPaintBackgroundBridge*
extern const char kDefaultCursorKey; // view: cursor name to show over it, or none
extern const char kControlContainerKey; // view: object that stands for it as control container
extern const char kFieldEditorKey; // text control: its private field editor
extern const char kFieldEditorDelegateKey; // text control: that editor's delegate
extern const char kFullscreenWindowKey; // native window: never offer full screen
extern const char kLHandleCommandActivateApp; // window manager: command ids (0 none)
extern const char kLHandleCommandDeactivateApp;
extern const char kLHandleCommandActiveWindow;
extern const char kLHandleCommandDeactiveWindow;
extern const char kTimerHandlerKey;
extern const char kTabbedToolbarKey;
extern const char kTabViewItemKey; // view: the tab page it stands for
extern const char kLLVDropDownHandlerColumnTypeKey;
extern const char kLLVDropDownHandlerMenuViewKey;
extern const char kLWindowCaptionToolbarIdKey;
extern const char kLWindowAlreadyShownKey; // content view: the window was seen on screen
extern const char kLModalSessionKey;
extern const char kNSApplicationLfwEventLoopKey;
extern const char kFirstResponderResignDoneKey; // native window: focus given up this pass
extern const char kIsWindowViewKey; // view: bubbling command notifications stop here
extern const char kHandleMouseEventsDirectly; // content view: its mouse handler uses a monitor

// Command keys: per view and event kind, the command id the event sends (-1 when none).
extern const char keyCmdTextPaste;
extern const char keyCmdTextClick;
extern const char keyCmdTextFocusSet;
extern const char keyCmdTextFocusLost;
extern const char keyCmdTextChanged;
extern const char keyCmdTextMaximumLength;
extern const char keyCmdTextSelectionChanged;
extern const char keyCmdTextDoubleClick;
extern const char keyCmdCoolButtonCommandUp;
extern const char keyCmdCoolButtonCommandDown;
extern const char keyCmdPDLDropDown;
extern const char keyCmdPDLDropDownClosed;
extern const char keyCmdTrackBarChanged;
extern const char keyCmdTrackBarEnd;
extern const char keyCmdScrollBarChanged;
extern const char keyCmdCtrlRightClick;
extern const char keyCmdDTPChanged;
extern const char keyCmdTVFocusSet;
