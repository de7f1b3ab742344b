// The text service: one text layout stack that measures and draws text in a box with a
// layout record (alignments, wrapping, trimming), styled by the paint data of the drawing
// context. The shared instance serves the main thread only; any other thread makes its own.
#pragma once

#include "lfw/graphics/LDrawTextFormat.h"
#include "lfw/graphics/LGeometry.h"
#include "platform/text/TextLayout.h"

#include <string>

typedef struct _cairo cairo_t;

// What the text service reads of a paint context: where to draw, the font and its underline and
// strikeout flags, the text colour and the outline. Colour channels are 0..255, alpha 0..255.
struct LCocoaTextPaintData {
    cairo_t* cr = nullptr;
    platform::text::FontRef font; // null: no font of its own (the system font is used)
    bool underline = false;
    bool strikeout = false;
    unsigned char textColor[4] = { 0, 0, 0, 255 }; // red, green, blue, alpha
    bool outline = false;
    unsigned char outlineColor[4] = { 0, 0, 0, 255 };
    float outlineWidth = 1.5f; // percent of the font size
};

class LCocoaTextManagerImpl {
public:
    // The one instance of the main thread, made on first use.
    static LCocoaTextManagerImpl& sharedTextManager();

    // initWithPaintData: (init is the same with no paint data).
    explicit LCocoaTextManagerImpl(const LCocoaTextPaintData* paintData = nullptr);
    LCocoaTextManagerImpl(const LCocoaTextManagerImpl&) = delete;
    LCocoaTextManagerImpl& operator=(const LCocoaTextManagerImpl&) = delete;

    // Lays the text out in the box (left, top, right, bottom) and answers the size it uses.
    void measureText(const char* text, const LCocoaTextPaintData* paintData,
        const LDrawTextFormat& format, const LBoundingBox2T<float>& rect, double& width,
        double& height);
    // Lays the text out in the box and draws it into the paint data's context.
    void drawText(const char* text, const LCocoaTextPaintData* paintData,
        const LDrawTextFormat& format, const LBoundingBox2T<float>& rect,
        bool transparentBackground);

    // The building blocks of the two operations above.
    void setPaintData(const LCocoaTextPaintData* paintData) { ppd = paintData; }
    void setText(const char* text);
    void setBoundingRect(const LBoundingBox2T<float>& rect);
    void setFormat(const LDrawTextFormat& format);
    void setTransparentBackground(bool on) { bIsTransparent = on; }
    void updateFont();
    void measure(double& width, double& height);
    void draw();

    double GetVerticalOffset() const { return dOriginPointOffset; }
    platform::text::TextLayout& GetTextLayout() { return layoutManager; }

private:
    struct Point {
        double x = 0, y = 0;
    };
    struct Size {
        double width = 0, height = 0;
    };

    // The text stack: storage, layout, container and paragraph style in one layout.
    platform::text::TextLayout layoutManager;
    const LCocoaTextPaintData* ppd = nullptr; // null: unstyled text
    Point originPoint; // top left of the bounding box
    double dOriginPointOffset = 0; // added to the origin's y when drawing
    Size nsSizeContainer; // the bounding box size
    bool bIsTransparent = false; // no glyph background
};

// True on the process's main thread (the one that started the program).
bool LIsMainThread();
