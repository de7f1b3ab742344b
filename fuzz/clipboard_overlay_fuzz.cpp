// The overlay clipboard's reader on arbitrary bytes: it answers, never crashes, and an overlay it
// makes copies out again.
#include "app/VTClipboardOverlay.h"
#include "app/VTOverlaySerialise.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VTOverlay* overlay = nullptr;
    bool ok = VTClipboardOverlayRead(data, size, overlay);
    if (overlay) {
        if (!ok)
            abort();
        LSizedArray<unsigned char> bytes;
        LOutputStreamByteArray stream(bytes);
        LSDFWriter<LOutputStreamByteArray> writer;
        writer.Open(stream, 9, 3);
        const uint16_t id = VTOverlayChunkID(overlay->GetType());
        writer.StartContainer(id);
        LProcessInterfaceVoid job;
        VTSerialiseOverlayToSDF(job, writer, *overlay);
        writer.EndContainer(id);
        if (!writer.Close())
            abort();
        VTOverlay* again = nullptr;
        if (!VTClipboardOverlayRead(bytes.GetData(), bytes.GetSize(), again) || !again)
            abort();
        delete again;
        delete overlay;
    }
    return 0;
}
