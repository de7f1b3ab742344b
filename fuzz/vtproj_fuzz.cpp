// Fuzzes the project file reader over memory. A file that reads is painted, page by page, at a
// low resolution (whatever the file holds must paint without harm), then written back and must
// read again: what the reader takes the writer writes, and its reader takes that again.
#include "app/VTExport.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "fuzz/FuzzScratch.h"
#include "lfw/gen/LStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class Quiet : public LProcessInterfaceVoid {
public:
    // Waits never happen while reading from memory; nothing is reported.
    LProcessResult ProcessWait(unsigned int) override { return LProcessResultSuccess; }
};

// Painting reads a user setting (and makes it when missing): the settings of the run go to a
// folder of its own, never the user's.
void UsePrivateSettings()
{
    static bool done = [] {
        const std::string& folder = FuzzScratchFolder("vtproj-fuzz");
        if (!folder.empty()) {
            setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
            setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        }
        return true;
    }();
    (void)done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UsePrivateSettings();
    Quiet job;
    VTProject project;
    LInputStreamBuffer stream(data, size);
    if (VTProjectReadSDF(job, stream, project) != LProcessResultSuccess)
        return 0;
    if (VTLabelLayout* layout = project.GetLabelLayout()) {
        for (const VTLabelLayoutPage& page : layout->pages) {
            LImageBuffer sheet;
            VTRenderPageToImage(sheet, project, page, 8);
        }
    }

    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray out(bytes);
    // Whatever opens must save again: the user's work is never stuck.
    if (VTProjectWriteSDF(job, out, project) != LProcessResultSuccess)
        std::abort();
    VTProject again;
    LInputStreamBuffer back(bytes.GetData(), bytes.GetSize());
    if (VTProjectReadSDF(job, back, again) != LProcessResultSuccess)
        std::abort();
    return 0;
}
