// A dialog class with a key handler on its content view that maps keys to the application's
// built-in shortcuts (included by LDialog.h after LDialog).
#pragma once

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
