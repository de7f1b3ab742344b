// A clipart library's folder index on arbitrary bytes: reading ends at the end of the file, and
// every name handed on is safe as a path below the cache folder and fits its field.
#include "lfw/zor/LClipart.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::string path = [] {
        char name[] = "/tmp/vt-clipart-index-fuzz-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    LProcessInterfaceVoid job;
    const LProcessResult r = LClipartReadIndex(job, path.c_str(), [](const LClipartIndexEntry& e) {
        if (!LClipartIsSafeName(e.name) || std::strlen(e.name) > 259 || std::strlen(e.size) > 259)
            __builtin_trap();
    });
    if (r != LProcessResultSuccess)
        __builtin_trap();
    return 0;
}
