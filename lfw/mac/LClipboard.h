// The system clipboard for windows: plain text, images in five encodings (PNG, JPEG, JPEG 2000,
// TIFF, BMP) and custom data under a type name of the caller's.
//
// An LClipboard object is one copy operation: its first copy call empties the clipboard, later
// calls through the same object add flavours to it, so other programs see one selection with
// alternative forms. Images are encoded only when some program asks for an encoding.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>
#include <string>
#include <vector>

class LView;

// The clipboard of the application (one for the process).
class LMacPasteBoard {
public:
    // Puts bytes under a type in the current operation: the size, 0 when refused.
    static unsigned long CopyAppleFormat(
        const LCFString& type, const unsigned char* data, unsigned long size);
    // Reads a type's bytes (null out: only tests for it).
    static bool PasteAppleFormat(const LCFString& type, LSizedArray<unsigned char>* out);
    // Whether a clipboard can be used at all (a display is open).
    static bool CreateClipboardPasteBoard();
};

class LClipboard {
public:
    explicit LClipboard(LView* view);

    void StartCopyOperation();

    void CopyText(const char* utf8);
    bool PasteText(LStringLongTemplate<char>& out);
    bool HasText();

    void CopyImage(const LImageBuffer& image);
    bool PasteImage(LImageBuffer& image);
    bool HasImage();

    bool CopyCustomFormat(const unsigned char* data, unsigned long size, const char* type);
    // The same without starting a copy operation.
    bool RenderCustomFormat(const unsigned char* data, unsigned long size, const char* type);
    bool PasteCustomFormat(LSizedArray<unsigned char>& out, const char* type);
    bool HasCustomFormat(const char* type);
    bool HasAppleFormat(const LCFString& type);

    // The image types in order of preference.
    static const std::vector<std::string>& ImageTypes();

private:
    bool copyStarted = false;
};

// Puts the text flavours of the current operation.
void LClipboardRenderText(const char* utf8);
