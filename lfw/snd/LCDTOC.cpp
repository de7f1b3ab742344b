#include "lfw/snd/LCDTOC.h"

#include "platform/disc/Disc.h"

namespace {

uint32_t _LBig32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The machine's drives through platform/disc; a drive that reports "becoming ready" is asked
// again every 500 ms for up to 20 s.
class LCDSystemDrives : public LCDDriveAccess {
public:
    int GetDriveCount() override { return int(platform::disc::ListDrives().size()); }
    LProcessResult ProcessReadTOC(
        LProcessInterface& job, int drive, std::vector<uint8_t>& reply) override
    {
        std::vector<platform::disc::Drive> drives = platform::disc::ListDrives();
        if (drive < 0 || size_t(drive) >= drives.size())
            return LProcessResultError;
        unsigned left = 20000;
        for (;;) {
            if (job.IsToStop())
                return LProcessResultStopped;
            auto s = platform::disc::ReadTocReply(drives[size_t(drive)].device, reply, left);
            if (s == platform::disc::TocStatus::Ok)
                return LProcessResultSuccess;
            if (s == platform::disc::TocStatus::Failed || left == 0)
                return LProcessResultError;
            left = left > 500 ? left - 500 : 0;
            if (job.ProcessWait(500) == LProcessResultStopped)
                return LProcessResultStopped;
        }
    }
};

LCDSystemDrives gSystemDrives;
LCDDriveAccess* gDriveAccess = nullptr;

} // namespace

void LCDSetDriveAccess(LCDDriveAccess* access)
{
    gDriveAccess = access;
}

LCDDriveAccess& LCDGetDriveAccess()
{
    return gDriveAccess ? *gDriveAccess : gSystemDrives;
}

LProcessResult LCDDecodeTOCReply(
    const uint8_t* reply, size_t size, uint8_t* trackCount, TOCTrackInfo* table)
{
    *trackCount = 0;
    if (!reply || size < 4)
        return LProcessResultError;
    size_t length = (size_t(reply[0]) << 8) | reply[1];
    if (length < 10 || length + 2 > size)
        return LProcessResultError;
    size_t count = (length - 10) / 8;
    if (count < 1 || count > kLTOCMaxTracks)
        return LProcessResultError;
    for (size_t i = 0; i <= count; ++i) {
        const uint8_t* d = reply + 4 + i * 8;
        table[i].audio = (d[1] & 0xDF) == 0x14 ? 0 : 1;
        table[i].start = _LBig32(d + 4);
        table[i].length = 0;
    }
    for (size_t i = 0; i < count; ++i) {
        if (table[i + 1].start < table[i].start)
            return LProcessResultError;
        table[i].length = table[i + 1].start - table[i].start;
    }
    *trackCount = uint8_t(count);
    return LProcessResultSuccess;
}

LProcessResult ProcessReadCDInfo(LProcessInterface& job, LCDDBInfo& info, TOCTrackInfo* table)
{
    info.trackCount = 0;
    if (info.drive == 255)
        return LProcessResultError;
    std::vector<uint8_t> reply;
    LProcessResult r = LCDGetDriveAccess().ProcessReadTOC(job, info.drive, reply);
    if (r != LProcessResultSuccess)
        return r;
    uint8_t count = 0;
    r = LCDDecodeTOCReply(reply.data(), reply.size(), &count, table);
    if (r == LProcessResultSuccess)
        info.trackCount = count;
    return r;
}
