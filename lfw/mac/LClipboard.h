// The system clipboard for windows: plain text, images in five encodings (PNG, JPEG, JPEG 2000,
// TIFF, BMP) and custom data under a type name of the caller's.
//
// An LClipboard object is one copy operation: its first copy call empties the clipboard, later
// calls through the same object add flavours to it, so other programs see one selection with
// alternative forms. Images are encoded only when some program asks for an encoding, and then on
// a worker thread: the windows keep answering while a clipboard manager asks for every encoding
// of a large picture.
//
// The Has... questions never wait: they answer from what the clipboard was last heard to offer
// (false while its owner has not told yet), for enabling commands. The Paste... calls read the
// contents and may wait for the owner, at most kPasteTimeoutMs, in a wait that counts as modal;
// once one of them gave up, the object's later pastes give up at once.
#pragma once

#include <cstdint>
#include <functional>

#include "lfw/gen/LArray.h"
#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LView;

// The clipboard of the application (one for the process).
class LMacPasteBoard {
public:
    // Puts bytes under a type in the current operation: the size, 0 when refused.
    static unsigned long CopyAppleFormat(
        const LCFString& type, const unsigned char* data, unsigned long size);
    // Reads a type's bytes (null out: only tests for it, as last heard, without waiting).
    static bool PasteAppleFormat(const LCFString& type, LSizedArray<unsigned char>* out);
    // Whether a clipboard can be used at all (a display is open).
    static bool CreateClipboardPasteBoard();
    // Whether a type is on the clipboard as last heard (never waits).
    static bool IsAppleFormatOffered(const LCFString& type);
};

class LClipboard {
public:
    explicit LClipboard(LView* view);

    void StartCopyOperation();

    void CopyText(const char* utf8);
    bool PasteText(LStringLongTemplate<char>& out);
    bool HasText();

    void CopyImage(const LImageBuffer& image);
    // The same without copying the pixels: the clipboard shares them (they must not change while
    // it holds them, and may be read on a worker thread).
    void CopyImage(std::shared_ptr<const LImageBuffer> image);
    bool PasteImage(LImageBuffer& image);
    bool HasImage();

    bool CopyCustomFormat(const unsigned char* data, unsigned long size, const char* type);
    // The same without starting a copy operation.
    bool RenderCustomFormat(const unsigned char* data, unsigned long size, const char* type);
    // A custom type whose bytes make() makes on a worker thread when some program first asks for
    // them (make must be safe to call on any thread).
    using MakeBytes = std::function<bool(std::vector<uint8_t>& out)>;
    bool CopyCustomFormatLater(const char* type, MakeBytes make);
    bool PasteCustomFormat(LSizedArray<unsigned char>& out, const char* type);
    bool HasCustomFormat(const char* type);
    bool HasAppleFormat(const LCFString& type);

    // The image types in order of preference.
    static const std::vector<std::string>& ImageTypes();

    // A paste gives up on an owner that has not answered after this long.
    static constexpr unsigned kPasteTimeoutMs = 3000;
    // Whether a paste of this object gave up waiting for the clipboard's owner.
    bool PasteGaveUp() const { return gaveUp; }
    // Whether the last paste of any object gave up (for the message of a command that pasted).
    static bool LastPasteGaveUp();

    // Calls changed (main thread) whenever what the Has... questions answer may have changed;
    // answers a token for RemoveChangeWatcher (never 0).
    static uintptr_t AddChangeWatcher(std::function<void()> changed);
    static void RemoveChangeWatcher(uintptr_t token);

private:
    // The targets offered: as last heard when known, else asked for (waiting). False when the
    // owner did not answer in time or an earlier paste of this object gave up.
    bool OfferedTargets(std::vector<std::string>& targets);
    bool Read(const std::string& type, std::vector<uint8_t>& bytes);
    void NoteGaveUp();
    bool copyStarted = false;
    bool gaveUp = false;
};

// Puts the text flavours of the current operation.
void LClipboardRenderText(const char* utf8);
