// Waiting for the copies of pictures that paints asked of the worker (LScreenImageCopies).
#pragma once

#include "lfw/mac/LScreenImageCopies.h"
#include "platform/ui/LRunLoop.h"

// Turns the main loop (which tells the painters) until no copy is asked for or being made; false
// when that takes longer than ms.
inline bool WaitForScreenCopies(unsigned ms = 60000)
{
    if (!LScreenImageCopies::Busy())
        return true;
    LRunLoop::RunUntil(
        nullptr, 0, [] { return !LScreenImageCopies::Busy(); }, true, ms);
    return !LScreenImageCopies::Busy();
}
