// The message box of the framework: a headline, a message, up to three buttons and an optional
// "do not show again" check box, run modally over the window of a view. The helpers give the
// common forms (error, warning and information boxes, a yes/no/cancel question and a yes/no
// warning whose default is no).
#pragma once

#include "lfw/gen/LString.h"

class LView;

class LAlert {
public:
    // The title is cut to 259 bytes (at a character boundary); the message is kept whole.
    LAlert(LView* parent, const char* message, const char* title);

    // Runs the alert: 1 for the first button, 2 for the second, 3 for the third, and 2 for every
    // other end (Escape, the close box). suppressed holds the check box's state afterwards.
    int _Run();
    // The same, answering the field of the chosen button (1, 2 or 3), or 0 for any other end.
    int RunField();

    LView* parent;
    int type = 1; // 0 warning, 1 information, 2 error
    bool showSuppression = false;
    char suppressionLabel[260] = {};
    bool suppressed = false;
    LStringLongTemplate<char> message;
    char title[260] = {};
    char button1[260] = "OK";
    char button2[260] = {};
    char button3[260] = {};
    // The field (1, 2 or 3) of the button that has the keyboard as the alert opens, where Return
    // then answers: the first (default) unless the first answer throws work away and another
    // keeps it.
    int focusButton = 1;
};

// Called as every alert is about to show (the layers above learn that the user is asked).
using LAlertRunHook = void (*)(const LAlert& alert);
void LAlertSetRunHook(LAlertRunHook hook);

// Copies text into a 260-byte field, cut at a character boundary.
void LAlertCopyField(char (&field)[260], const char* text);

class LAlertWithButtonText {
public:
    // Buttons yes, cancel, no (yes the default, rightmost); 1 yes, 3 no, 2 cancel or any other end.
    static int DisplayYesNoCancel(LView* parent, const char* text, const char* title,
        const char* yes, const char* no, const char* cancel);
    // A warning whose default (Return) button is no; true only when yes was chosen.
    static bool DisplayYesNoWarningDefaultNo(
        LView* parent, const char* text, const char* title, const char* yes, const char* no);
};
