#include "lfw/mac/cocoa/LAssociatedData.h"

const char kAssociatedDataKey = 0;
const char kAssociatedParentLWindowKey = 0;
const char kAssociatedParentWindowHandleKey = 0;
const char kPaintBackgroundKey = 0;
const char kDefaultCursorKey = 0;
const char kControlContainerKey = 0;
const char kFieldEditorKey = 0;
const char kFieldEditorDelegateKey = 0;
const char kFullscreenWindowKey = 0;
const char kLHandleCommandActivateApp = 0;
const char kLHandleCommandDeactivateApp = 0;
const char kLHandleCommandActiveWindow = 0;
const char kLHandleCommandDeactiveWindow = 0;
const char kTimerHandlerKey = 0;
const char kTabbedToolbarKey = 0;
const char kTabViewItemKey = 0;
const char kLLVDropDownHandlerColumnTypeKey = 0;
const char kLLVDropDownHandlerMenuViewKey = 0;
const char kLWindowCaptionToolbarIdKey = 0;
const char kLWindowAlreadyShownKey = 0;
const char kLModalSessionKey = 0;
const char kNSApplicationLfwEventLoopKey = 0;
const char kFirstResponderResignDoneKey = 0;
const char kIsWindowViewKey = 0;
const char kHandleMouseEventsDirectly = 0;

const char keyCmdTextPaste = 0;
const char keyCmdTextClick = 0;
const char keyCmdTextFocusSet = 0;
const char keyCmdTextFocusLost = 0;
const char keyCmdTextChanged = 0;
const char keyCmdTextMaximumLength = 0;
const char keyCmdTextSelectionChanged = 0;
const char keyCmdTextDoubleClick = 0;
const char keyCmdCoolButtonCommandUp = 0;
const char keyCmdCoolButtonCommandDown = 0;
const char keyCmdPDLDropDown = 0;
const char keyCmdPDLDropDownClosed = 0;
const char keyCmdTrackBarChanged = 0;
const char keyCmdTrackBarEnd = 0;
const char keyCmdScrollBarChanged = 0;
const char keyCmdCtrlRightClick = 0;
const char keyCmdDTPChanged = 0;
const char keyCmdTVFocusSet = 0;

void LAssociatedData::setData(uint64_t value, LAssociations* object, const void* key)
{
    if (object)
        object->SetAssociatedValue(key, value);
}

uint64_t LAssociatedData::getDataForObject(const LAssociations* object, const void* key)
{
    return object ? object->GetAssociatedValue(key) : 0;
}

void LAssociatedData::setDataDirect(
    std::shared_ptr<void> value, LAssociations* object, const void* key)
{
    if (object)
        object->SetAssociatedObject(key, std::move(value));
}

std::shared_ptr<void> LAssociatedData::getDataDirect(const LAssociations* object, const void* key)
{
    return object ? object->GetAssociatedObject(key) : nullptr;
}

void LAssociatedData::setData(uint64_t value, LAssociations* object)
{
    setData(value, object, &kAssociatedDataKey);
}

uint64_t LAssociatedData::getDataForObject(const LAssociations* object)
{
    return getDataForObject(object, &kAssociatedDataKey);
}
