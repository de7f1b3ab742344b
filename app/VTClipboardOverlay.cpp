#include "app/VTClipboardOverlay.h"

#include "app/VTOverlayImage.h"
#include "app/VTOverlaySerialise.h"
#include "app/VTOverlayText.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/mac/LClipboard.h"
#include "platform/ui/LUiClipboard.h"

#include <memory>
#include <vector>

namespace {

// The overlay stream of one overlay: false when the overlay cannot be written.
bool OverlayStream(LProcessInterface& job, const VTOverlay& overlay, std::vector<uint8_t>& out)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    if (!writer.Open(stream, kVTClipboardFileType, kVTClipboardFileVersion))
        return false;
    const uint16_t id = VTOverlayChunkID(overlay.GetType());
    if (id == 0 || !writer.StartContainer(id))
        return false;
    if (VTSerialiseOverlayToSDF(job, writer, overlay) != LProcessResultSuccess)
        return false;
    if (!writer.EndContainer(id) || !writer.Close())
        return false;
    out.assign(bytes.GetData(), bytes.GetData() + bytes.GetSize());
    return true;
}

// The overlay of this program's last copy whose stream is written when first asked for: a paste
// here takes it directly while that copy is on the clipboard.
std::weak_ptr<const VTOverlay> gOwnOverlay;

// Reading an overlay stream, as a job for a worker.
struct OverlayRead {
    const unsigned char* data;
    size_t size;
    VTOverlay* overlay = nullptr;
    bool ok = false;
};

LProcessResult Process(LProcessInterface&, OverlayRead& read)
{
    read.ok = VTClipboardOverlayRead(read.data, read.size, read.overlay);
    return LProcessResultSuccess;
}

} // namespace

bool VTClipboardOverlayCopy::PerformCopy()
{
    if (!overlay)
        return false;
    const int type = overlay->GetType();
    if (VTOverlayChunkID(type) == 0)
        return false;
    const bool text = type == VTOverlayTypeText || type == VTOverlayTypeCircularText;
    const auto* image = text ? nullptr : static_cast<const VTOverlayImage*>(overlay);
    // A picture's stream holds its PNG bytes: encoding them (a picture that came in a moment
    // ago), or even copying tens of megabytes of them, would hold the window. Its stream is
    // written on a worker when another program asks for it, and a paste here takes the overlay
    // itself, sharing its pixels. A text's stream is written before the clipboard is touched, so
    // that a copy that fails leaves the clipboard as it was.
    const bool later = image != nullptr;
    std::vector<uint8_t> bytes;
    LProcessInterfaceVoid job;
    if (!later && !OverlayStream(job, *overlay, bytes))
        return false;

    LClipboard clipboard(view);
    if (text) {
        clipboard.CopyText(static_cast<const VTOverlayText*>(overlay)->GetText());
    } else if (image->HasValidImage()) {
        // The picture's pixels are shared, never copied: they do not change once in a picture.
        LCountedPtr<VTCountableImageBuffer> picture = image->image;
        clipboard.CopyImage(std::shared_ptr<const LImageBuffer>(
            picture.get(), [hold = picture](const LImageBuffer*) mutable { hold.reset(); }));
    } else {
        clipboard.StartCopyOperation();
    }
    if (!later) {
        gOwnOverlay.reset();
        return clipboard.CopyCustomFormat(bytes.data(), bytes.size(), kVTClipboardOverlayType);
    }
    std::shared_ptr<const VTOverlay> kept(overlay->Clone());
    gOwnOverlay = kept;
    return clipboard.CopyCustomFormatLater(
        kVTClipboardOverlayType, [kept](std::vector<uint8_t>& out) {
            LProcessInterfaceVoid quiet;
            return OverlayStream(quiet, *kept, out);
        });
}

bool VTClipboardOverlayRead(const unsigned char* data, size_t size, VTOverlay*& overlay)
{
    overlay = nullptr;
    if (!data || size == 0)
        return false;
    LInputStreamBuffer stream(data, size);
    LSDFReader<LInputStreamBuffer> reader;
    if (!reader.Open(stream, kVTClipboardFileType))
        return false;
    if (reader.GetFileVersion() > kVTClipboardFileVersion)
        return false;
    LSDFReaderChunkIterator<LInputStreamBuffer> it(reader);
    while (it.Next()) {
        const uint16_t id = it->GetId();
        VTOverlay* created = VTOverlayCreateForChunkID(id);
        if (!created)
            continue;
        LProcessInterfaceVoid job;
        if (VTSerialiseOverlayFromSDF(job, reader, it.GetChunk(), *created)
            == LProcessResultSuccess)
            overlay = created;
        else
            delete created;
        return true;
    }
    return false;
}

VTClipboardOverlayPaste::~VTClipboardOverlayPaste()
{
    delete pastedOverlay;
}

bool VTClipboardOverlayPaste::PerformPaste()
{
    if (!clipboard)
        return false;
    LSizedArray<unsigned char> bytes;
    // This program's own copy whose stream is still to be written: the overlay itself.
    if (std::shared_ptr<const VTOverlay> own = gOwnOverlay.lock();
        own && LUiClipboard::IsRenderedFlavour(kVTClipboardOverlayType)) {
        delete pastedOverlay;
        pastedOverlay = own->Clone();
        return pastedOverlay != nullptr;
    }
    if (clipboard->HasCustomFormat(kVTClipboardOverlayType)
        && clipboard->PasteCustomFormat(bytes, kVTClipboardOverlayType)) {
        // Another copy of the program's overlay, or ours kept by a clipboard manager: its picture
        // is decoded on a worker (seconds for a photograph) while the window goes on answering.
        OverlayRead read { bytes.GetData(), bytes.GetSize() };
        LProcessRunWhileLoopTurns(read);
        delete pastedOverlay;
        pastedOverlay = read.overlay;
        return read.ok;
    }
    if (clipboard->PasteImage(pastedImage))
        return pastedImage.IsValid();
    if (clipboard->HasText()) {
        clipboard->PasteText(pastedText);
        return !pastedText.IsEmpty();
    }
    return false;
}
