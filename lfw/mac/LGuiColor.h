// Colour records of the drawing code. Each channel is 16-bit; drawing uses its high byte, so a
// colour made from 8-bit values stores value * 256.
#pragma once

#include <cstdint>

class LMacWindow;

struct LGuiColor {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;

    LGuiColor() = default;
    LGuiColor(uint16_t r, uint16_t g, uint16_t b)
        : red(r)
        , green(g)
        , blue(b)
    {
    }
    // From 8-bit channels (stored in the high byte).
    static LGuiColor FromRGB8(uint8_t r, uint8_t g, uint8_t b)
    {
        return LGuiColor(uint16_t(r << 8), uint16_t(g << 8), uint16_t(b << 8));
    }

    uint8_t GetRed8() const { return uint8_t(red >> 8); }
    uint8_t GetGreen8() const { return uint8_t(green >> 8); }
    uint8_t GetBlue8() const { return uint8_t(blue >> 8); }
    // The channels as drawing uses them: high byte / 255.
    double GetRedF() const { return GetRed8() / 255.0; }
    double GetGreenF() const { return GetGreen8() / 255.0; }
    double GetBlueF() const { return GetBlue8() / 255.0; }

    bool operator==(const LGuiColor&) const = default;
};

// A colour with an 8-bit alpha (255 opaque).
struct LGuiColorAlpha : LGuiColor {
    uint8_t alpha = 255;

    LGuiColorAlpha() = default;
    LGuiColorAlpha(const LGuiColor& c, uint8_t a = 255)
        : LGuiColor(c)
        , alpha(a)
    {
    }
    LGuiColorAlpha(uint16_t r, uint16_t g, uint16_t b, uint8_t a)
        : LGuiColor(r, g, b)
        , alpha(a)
    {
    }
    static LGuiColorAlpha FromRGBA8(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
    {
        return LGuiColorAlpha(LGuiColor::FromRGB8(r, g, b), a);
    }
    double GetAlphaF() const { return alpha / 255.0; }

    bool operator==(const LGuiColorAlpha&) const = default;
};

// A colour passed by value to the drawing operations.
class LGuiColorRef : public LGuiColor {
public:
    LGuiColorRef() = default;
    LGuiColorRef(const LGuiColor& c)
        : LGuiColor(c)
    {
    }
    LGuiColorRef(uint16_t r, uint16_t g, uint16_t b)
        : LGuiColor(r, g, b)
    {
    }

    // Lets the user choose the colour in the colour chooser above the window; true (the colour
    // stays when the user cancels). The second form's numbers are not used.
    bool OpenColorPickerDialog(LMacWindow& window);
    bool OpenColorPickerDialog(LMacWindow& window, int, int);
};
