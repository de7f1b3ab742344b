// Encodes pictures' PNG bytes (what project files and the overlay clipboard store) on a worker
// thread as soon as a picture comes into a project, so that a save or a copy later only writes
// bytes instead of holding the window while millions of pixels are compressed.
//
// One worker takes the pictures in the order they came; it runs only while there is work. The
// bytes are kept on the picture (VTCountableImageBuffer::KeepEncodedPNG); a save that needs them
// before they are done waits for them through VTCountableImageBuffer::EncodePNG, off the main
// thread.
#pragma once

#include "app/VTOverlayImage.h"
#include "lfw/gen/LCountedPtr.h"

namespace VTPictureEncoder {

// Queues the picture unless its bytes are kept already or it is queued or being encoded.
void Start(const LCountedPtr<VTCountableImageBuffer>& picture);

} // namespace VTPictureEncoder
