// Encodes pictures' PNG bytes (what project files and the overlay clipboard store) on a worker
// thread as soon as a picture comes into a project, so that a save or a copy later only writes
// bytes instead of holding the window while millions of pixels are compressed.
//
// One worker (platform::system::WorkerQueue) takes the pictures in the order they came; it runs
// only while there is work. The bytes are kept on the picture
// (VTCountableImageBuffer::KeepEncodedPNG); a save that needs them before they are done waits for
// them through VTCountableImageBuffer::EncodePNG, off the main thread. A picture that nothing but
// the encoder holds any more (its project closed unsaved, its overlay deleted and gone from the
// undo history) is dropped, and an encoding under way of such a picture stops.
#pragma once

#include "app/VTOverlayImage.h"
#include "lfw/gen/LCountedPtr.h"

#include <functional>
#include <vector>

namespace VTPictureEncoder {

// Queues the picture unless its bytes are kept already or it is queued or being encoded.
void Start(const LCountedPtr<VTCountableImageBuffer>& picture);
// Whether a picture is queued or being encoded.
bool Busy();
// Has the function run on the main thread each time a picture's bytes have been made (the
// memory the picture takes has grown), until Unwatch with the same owner. Main thread.
void Watch(const void* owner, std::function<void()> encoded);
void Unwatch(const void* owner);

// Makes the PNG bytes of the pictures not kept yet, on threads of their own side by side: as many
// as the processors the process may use, at most workers when that is above 0, at most one a
// picture, running below the window's thread as the workers do (WorkerQueue::kNiceness, or the
// caller's niceness when that is higher). The calling thread waits, telling the process the
// share of pixels encoded and the encoders' statuses, and asking it to stop every 50 ms. The
// first failure ends the others; the process's error is then "Det gick inte att koda bilden.".
// Any thread but the main one.
LProcessResult EncodeAll(LProcessInterface& process,
    const std::vector<LCountedPtr<VTCountableImageBuffer>>& pictures, int workers = 0);

} // namespace VTPictureEncoder
