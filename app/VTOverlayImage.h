// Overlays that show a picture: an image from a file or the clipboard, a clipart picture and a
// design's background image. The pixels live in a shared, counted image buffer, so copies for
// undo and the clipboard copy no pixels. Image kinds are painted through their stored 4 x 4
// transform, so their flips show.
#pragma once

#include "app/VTOverlay.h"
#include "lfw/gen/LCountedPtr.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LScreenImageCopies.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Why a picture's path was refused by SetSourcePath.
inline constexpr const char* kVTSourcePathTooLong
    = "Sökvägen till bilden är för lång för projektfilen (högst 259 byte).";

// A picture's path as the project file's 260-byte fields keep it: whole when it fits, else its
// file name (after the last "/") when that fits, else "": never a cut path, which could name
// another file.
std::string VTPathForProjectFile(const char* path);

// An image buffer that carries its own reference count, and the picture's PNG bytes as last
// read from a project file or encoded, so that saving again writes them instead of encoding the
// same pixels once more. The bytes may be encoded on any thread (the pixels are only read). It
// also keeps the copies of the picture reduced to the sizes the screen shows it at.
class VTCountableImageBuffer : public LImageBuffer, public LCountedObject {
public:
    using Encoded = std::shared_ptr<const std::vector<unsigned char>>;

    VTCountableImageBuffer() = default;
    VTCountableImageBuffer(const VTCountableImageBuffer&) = delete;
    VTCountableImageBuffer& operator=(const VTCountableImageBuffer&) = delete;

    // The PNG bytes kept; null when there are none or the pixel block or its format changed
    // since they were kept. The pixels of a buffer are never changed in place (undo steps and the
    // clipboard share them), so a new block or format is all a change can be.
    Encoded GetEncodedPNG() const;
    // Keeps the PNG bytes of the pixels as they are now.
    void KeepEncodedPNG(Encoded bytes) const;
    // The PNG bytes kept, else encoded now and kept; null when the encoding failed or was
    // stopped (result tells which). A failure sets no error text: the caller names it. The job
    // is told the encoding's progress. Any thread: while another thread encodes this picture,
    // the caller waits for those bytes rather than encoding them a second time, told the
    // progress of that encoding and asked to stop every 50 ms. Encodings side by side wait while
    // theirs and this one's memory (EncodingBytes) would pass half the memory free, unless no
    // other is under way.
    Encoded EncodePNG(LProcessInterface& process, LProcessResult& result) const;
    // The memory an encoding of the picture takes at most while it runs.
    uint64_t EncodingBytes() const;
    // The memory the picture takes: its pixels, its PNG bytes and its copies for the screen.
    uint64_t GetMemorySize() const;
    // The picture's copies for the screen (shared, like the pixels, by undo steps and copies).
    LScreenImageCopies& GetScreenCopies() const { return mScreenCopies; }

private:
    mutable std::timed_mutex mEncodingLock; // held while the bytes are being encoded
    mutable std::atomic<double> mEncodingDone { 0 }; // the share of that encoding done
    mutable std::mutex mEncodedLock;
    mutable Encoded mEncoded;
    mutable const unsigned char* mEncodedPixels = nullptr;
    mutable LImageFormat mEncodedFormat;
    mutable LScreenImageCopies mScreenCopies { this };
};

class VTOverlayImage : public VTOverlay {
public:
    // The largest side a new picture gets, in millimetres.
    static constexpr float kMaxInitialSide = 50.0f;

    // An empty picture, keep-aspect on.
    VTOverlayImage();

    int GetType() const override { return VTOverlayTypeImage; }
    // The placement and the picture file of an old XML image element (clipart and backgrounds
    // read the same way).
    LProcessResult SerialiseFromXML(
        LProcessInterface& process, const LXMLElement& element) override;
    // The picture stretched over the box; an empty picture shows a blue frame (a placeholder
    // for the designer's canvas: printed and exported sheets leave it out). On screen the
    // picture is drawn from its copy of the size shown.
    void Paint(LPaintContext& ctx) override;
    // The picture stretched over the same box; nothing for an empty picture.
    void Paint(LPDFWriter& writer) override;
    VTOverlay* Clone() const override;
    VTOverlay* CloneLight() const override { return Clone(); }
    // Exchanges size, placement, transform, picture, path and keep-aspect flag with an overlay of
    // the same type code, telling nobody.
    void SwapContent(VTOverlay* other) override;

    // Holds a copy of the picture and sizes the box from its pixels as millimetres, the longer
    // side at most 50.
    void SetImage(LImageBuffer& picture);
    // The same, taking the picture's pixels over instead of copying them (a large photo is never
    // held twice); the picture is left empty.
    void TakeImage(LImageBuffer& picture);
    // Turning the flag on refits the box to the picture's proportions.
    void SetMaintainAspectRatio(bool on);
    bool GetMaintainAspectRatio() const { return maintainAspectRatio; }
    // A buffer with pixels, a pixel format, a size of at least 1 x 1.
    bool HasValidImage() const;
    const VTCountableImageBuffer& GetImage() const { return *image; }
    const char* GetSourcePath() const { return sourcePath; }
    // The file keeps at most 259 bytes of the path: a longer one is refused (false, the old path
    // kept) rather than cut; kVTSourcePathTooLong says why.
    bool SetSourcePath(const char* path);

    LCountedPtr<VTCountableImageBuffer> image;
    char sourcePath[kLStringShortSize] = {};
    bool maintainAspectRatio = true;

protected:
    // Copies everything Clone copies into a fresh overlay of the same kind.
    void CopyContentTo(VTOverlayImage& copy) const;
    // Exchanges the content with another overlay of the same kind.
    void ExchangeContent(VTOverlayImage& other);

private:
    // Holds the picture (owned) and sizes the box from it.
    void UseImage(VTCountableImageBuffer* picture);
};

class VTOverlayClipart : public VTOverlayImage {
public:
    VTOverlayClipart() = default;
    int GetType() const override { return VTOverlayTypeClipart; }
    VTOverlay* Clone() const override;
};

class VTOverlayImageBackground : public VTOverlayImage {
public:
    // Keep-aspect off: a background fills its template.
    VTOverlayImageBackground() { maintainAspectRatio = false; }
    int GetType() const override { return VTOverlayTypeImageBackground; }
    VTOverlay* Clone() const override;
};

// The overlay as one that shows a picture (an image, a clipart or a background image); null for
// texts.
const VTOverlayImage* VTOverlayAsImage(const VTOverlay* overlay);
