// The creation records a window's Add operations take for buttons, inputs and labels.
#pragma once

#include <cstdint>

struct LButtonFlags {
    int32_t imageMode = 0; // 1 or 2: the button shows an image
    bool checkButton = false; // a toggle button that stays pressed
    bool flat = false;
    bool defaultButton = false;
    int32_t textPlacement = 1; // 0 text left (image left), 2 text below the image
};

struct LInputFlags {
    bool password = false;
    bool numbersOnly = false;
    bool readOnly = false;
    int32_t alignment = 0; // 0 left, 1 centre, 2 right
};

struct LStaticFlags {
    int32_t lineBreak = 0; // 1 truncate in the middle, 2 truncate at the end
    int32_t alignment = 0; // 0 left, 1 centre, 2 right
};
