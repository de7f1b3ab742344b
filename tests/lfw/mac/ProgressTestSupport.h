// What the tests of progress windows share: a job whose work is a function, and a shown window
// with a focused text field for the keys typed around a progress window. Header only.
#pragma once

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LProgressDialog.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <functional>
#include <string>

namespace progresstest {

struct Job {
    std::function<LProcessResult(LProcessInterface&)> body;
};

inline LProcessResult Process(LProcessInterface& pi, Job& job)
{
    return job.body(pi);
}

// A window in the middle of the screen with a text field (100) that has the keyboard.
struct FieldWindow {
    LDialog dialog;
    bool shown = false;
    FieldWindow()
    {
        dialog.CreateCocoaWindow(300, 200, kLUiWindowTitled | kLUiWindowClosable, false, nullptr);
        dialog.AddInput(100, LInputFlags {}, 10, 10, 200);
        dialog.InitCommon(kLCocoaDialogCenterScreen, true);
        shown = uitest::ShowAndWait(dialog.GetNativeWindow());
        dialog.SetFocus(100);
    }
    ~FieldWindow() { dialog.DestroyCommon(); }
    std::string Typed()
    {
        char text[260] = "";
        dialog.GetText(100, text, sizeof text);
        return text;
    }
};

} // namespace progresstest
