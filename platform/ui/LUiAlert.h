// A message box: a GTK message dialog with a headline, an explanatory text, up to three buttons
// and an optional check box, run modally (and counted by the modal counter) over a parent window.
#pragma once

#include <string>
#include <vector>

class LNativeWindow;

struct LUiAlert {
    int style = 1; // 0 warning, 1 information, 2 error
    std::string headline; // well-formed UTF-8
    std::string message; // well-formed UTF-8; may be long (it then scrolls)
    // Button labels in the order they were added: the first is the default (Return) button and
    // stands rightmost, the next ones to its left. The answer is the index into this list.
    std::vector<std::string> buttons;
    // The button (an index into buttons) that has the keyboard as the alert opens: the default
    // unless a question whose default answer throws work away opens on the answer keeping it.
    size_t focused = 0;
    bool showCheckBox = false;
    std::string checkBoxLabel;
    bool checked = false; // in: the box's state; out: its state when the alert ended
    LNativeWindow* parent = nullptr; // the alert stays above it; null: centred on the screen
};

// Runs the alert; answers the index of the chosen button, or -1 when it ended another way
// (Escape, the window's close box, destroyed). Needs LUiInit.
int LUiRunAlert(LUiAlert& alert);
// The message dialog that runs now (the innermost), or null: tests answer it.
void* LUiCurrentAlertWidget();
// The headline of the innermost alert that runs ("" when none does).
std::string LUiCurrentAlertHeadline();
// The label widget that shows an alert's message, wherever the alert puts it: under the headline,
// or in the scrolled box of a message too long for the screen. Null when it has no message.
// alert is a message dialog (LUiCurrentAlertWidget).
void* LUiAlertMessageLabel(void* alert);
// The message of that alert ("" when it has none).
std::string LUiAlertMessage(void* alert);
