// A clipart library's folder index on arbitrary bytes: reading ends at the end of the file, and
// every name handed on is safe as a path below the cache folder and fits its field.
#include "lfw/zor/LClipart.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// The index is read from a file: an unnamed one in the temporary folder, which leaves nothing
// behind however the process ends, reached through its /proc entry. Where the folder has no
// unnamed files, a named one removed when the process ends.
struct ScratchFile {
    ScratchFile()
    {
        const char* temporary = std::getenv("TMPDIR");
        const std::string folder = temporary && *temporary ? temporary : "/tmp";
#ifdef O_TMPFILE
        fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
        if (fd >= 0) {
            path = "/proc/self/fd/" + std::to_string(fd);
            return;
        }
        static std::string name;
        name = folder + "/vt-clipart-index-fuzz-XXXXXX";
        fd = mkstemp(name.data());
        path = name;
        std::atexit([] { unlink(name.c_str()); });
    }
    int fd = -1;
    std::string path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ScratchFile scratch;
    if (scratch.fd < 0 || ftruncate(scratch.fd, 0) != 0)
        return 0;
    for (size_t done = 0; done < size;) {
        const ssize_t n = pwrite(scratch.fd, data + done, size - done, off_t(done));
        if (n <= 0)
            return 0;
        done += size_t(n);
    }
    const std::string& path = scratch.path;
    LProcessInterfaceVoid job;
    const LProcessResult r = LClipartReadIndex(job, path.c_str(), [](const LClipartIndexEntry& e) {
        if (!LClipartIsSafeName(e.name) || std::strlen(e.name) > 259 || std::strlen(e.size) > 259)
            __builtin_trap();
    });
    if (r != LProcessResultSuccess)
        __builtin_trap();
    return 0;
}
