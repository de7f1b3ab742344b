// The MusicBrainz reply reader on arbitrary text: 0 or 2, every text it fills terminated within
// its 260 bytes, and on 0 exactly the disc's track count of titles.
#include "lfw/snd/LMusicBrainz.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::vector<char> text(size);
    std::memcpy(text.data(), data + 1, size - 1);
    text[size - 1] = 0;
    LCDDBInfo info;
    info.trackCount = uint8_t(data[0] % 8);
    info.tracks.SetSize(info.trackCount);
    LProcessInterfaceVoid job;
    LProcessResult r
        = LMusicBrainzReadReply(job, text.data(), "nljDXdC8B_pDwbdY1vZJvdrAZI4-", info);
    if (r != LProcessResultSuccess && r != LProcessResultError)
        __builtin_trap();
    if (std::strlen(info.title) >= kLPathSize || std::strlen(info.artist) >= kLPathSize
        || std::strlen(info.releaseDate) >= kLPathSize)
        __builtin_trap();
    for (size_t i = 0; i < info.tracks.GetCount(); ++i)
        if (std::strlen(info.tracks[i].title) >= kLPathSize)
            __builtin_trap();
    if (r == LProcessResultSuccess && info.notFound)
        __builtin_trap();
    return 0;
}
