// Fuzzes the project file reader over memory. A file that reads is written back and must read
// again: the writer never makes a file its own reader refuses.
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LStream.h"

#include <cstdint>
#include <cstdlib>

namespace {

class Quiet : public LProcessInterfaceVoid {
public:
    // Waits never happen while reading from memory; nothing is reported.
    LProcessResult ProcessWait(unsigned int) override { return LProcessResultSuccess; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Quiet job;
    VTProject project;
    LInputStreamBuffer stream(data, size);
    if (VTProjectReadSDF(job, stream, project) != LProcessResultSuccess)
        return 0;

    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray out(bytes);
    if (VTProjectWriteSDF(job, out, project) != LProcessResultSuccess)
        return 0; // a layout read from a file need not be one the writer accepts
    VTProject again;
    LInputStreamBuffer back(bytes.GetData(), bytes.GetSize());
    if (VTProjectReadSDF(job, back, again) != LProcessResultSuccess)
        std::abort();
    return 0;
}
