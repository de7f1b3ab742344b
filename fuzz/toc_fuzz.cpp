// The READ TOC decoder and the disc id on arbitrary replies: a decoded table always has 1 to 99
// tracks whose lengths add up to the lead-out.
#include "lfw/snd/LMusicBrainz.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TOCTrackInfo table[kLTOCMaxEntries];
    uint8_t count = 0;
    LProcessResult r = LCDDecodeTOCReply(data, size, &count, table);
    if (r != LProcessResultSuccess) {
        if (r != LProcessResultError || count != 0)
            __builtin_trap();
        return 0;
    }
    if (count < 1 || count > 99)
        __builtin_trap();
    uint64_t sum = table[0].start;
    for (unsigned i = 0; i < count; ++i)
        sum += table[i].length;
    if (sum != table[count].start)
        __builtin_trap();
    char id[kLDiscIdSize];
    LMusicBrainzDiscId(id, table, count);
    if (std::strlen(id) != 28)
        __builtin_trap();
    LCDDBInfo info;
    info.trackCount = count;
    InitTracks(info, table);
    return 0;
}
