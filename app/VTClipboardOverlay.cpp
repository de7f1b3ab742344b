#include "app/VTClipboardOverlay.h"

#include "app/VTOverlayImage.h"
#include "app/VTOverlaySerialise.h"
#include "app/VTOverlayText.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/mac/LClipboard.h"

bool VTClipboardOverlayCopy::PerformCopy()
{
    if (!overlay)
        return false;
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    if (!writer.Open(stream, kVTClipboardFileType, kVTClipboardFileVersion))
        return false;
    const int type = overlay->GetType();
    const uint16_t id = VTOverlayChunkID(type);
    if (id == 0)
        return false;
    LProcessInterfaceVoid job;
    if (!writer.StartContainer(id))
        return false;
    if (VTSerialiseOverlayToSDF(job, writer, *overlay) != LProcessResultSuccess)
        return false;
    if (!writer.EndContainer(id))
        return false;
    // The stream is finished before the clipboard is emptied.
    if (!writer.Close())
        return false;

    LClipboard clipboard(view);
    switch (type) {
    case VTOverlayTypeText:
    case VTOverlayTypeCircularText:
        clipboard.CopyText(static_cast<const VTOverlayText*>(overlay)->GetText());
        break;
    default: {
        auto* image = static_cast<const VTOverlayImage*>(overlay);
        if (image->HasValidImage())
            clipboard.CopyImage(image->GetImage());
        else
            clipboard.StartCopyOperation();
        break;
    }
    }
    return clipboard.CopyCustomFormat(bytes.GetData(), bytes.GetSize(), kVTClipboardOverlayType);
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
    if (clipboard->HasCustomFormat(kVTClipboardOverlayType)
        && clipboard->PasteCustomFormat(bytes, kVTClipboardOverlayType)) {
        VTOverlay* overlay = nullptr;
        bool ok = VTClipboardOverlayRead(bytes.GetData(), bytes.GetSize(), overlay);
        delete pastedOverlay;
        pastedOverlay = overlay;
        return ok;
    }
    if (clipboard->PasteImage(pastedImage))
        return pastedImage.IsValid();
    if (clipboard->HasText()) {
        clipboard->PasteText(pastedText);
        return !pastedText.IsEmpty();
    }
    return false;
}
