// A dialog class with a key handler on its content view that maps keys to the application's
// built-in shortcuts (included by LDialog.h after LDialog).
#pragma once

#if __has_include("lfw/mac/LKeyHandler.h")
#include "lfw/mac/LKeyHandler.h"

template <class D> class LMacKeyDialog : public D, public LKeyHandler {
public:
    ~LMacKeyDialog() override
    {
        // The view is told only while it is still the window's: after teardown it is gone.
        if (view && this->GetContentView() == view)
            DestroyKeyHandler();
        window = nullptr;
        view = nullptr;
    }
    void DestroyDialog() override
    {
        DestroyKeyHandler();
        D::DestroyDialog();
    }
    bool EvKeyDown(LKey key) override
    {
        return LKeyHandler::MapKeyToCommand(*this, key, nullptr, 0);
    }
    using LKeyHandler::EvKeyDown;

protected:
    void HookKeyHandler() { KeyHandlerInit(*this, this->GetContentView()); }
};

#else
// Until the key handler exists, the dialog's keys go the window's ordinary way (its default and
// Cancel buttons, Escape closing a modal dialog).
template <class D> class LMacKeyDialog : public D {
protected:
    void HookKeyHandler() { }
};
#endif
