#include "lfw/unix/LHangDetector.h"

#include <unistd.h>

LHangDetector::~LHangDetector()
{
    if (fDescriptor >= 0)
        close(fDescriptor);
}
