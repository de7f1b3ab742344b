#include "platform/disc/Disc.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::disc {

namespace {

std::string ReadFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\t'))
        line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : line.substr(start);
}

int DriveNumber(const std::string& name)
{
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0)
        return -1;
    int n = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

TocStatus ReadWithSgIo(int fd, std::vector<uint8_t>& reply, unsigned timeoutMs)
{
    unsigned char cdb[10] = { 0x43, 0, 0, 0, 0, 0, 1, 0x08, 0x00, 0 };
    std::vector<uint8_t> buffer(2048, 0);
    unsigned char sense[32] = {};
    sg_io_hdr_t io = {};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.dxferp = buffer.data();
    io.dxfer_len = unsigned(buffer.size());
    io.sbp = sense;
    io.mx_sb_len = sizeof sense;
    io.timeout = timeoutMs;
    if (ioctl(fd, SG_IO, &io) != 0)
        return TocStatus::Failed;
    if ((io.info & SG_INFO_OK_MASK) == SG_INFO_OK) {
        size_t got = buffer.size() - size_t(io.resid > 0 ? io.resid : 0);
        reply.assign(buffer.begin(), buffer.begin() + long(got));
        return TocStatus::Ok;
    }
    // Fixed-format sense: key NOT READY, additional code LOGICAL UNIT NOT READY.
    if (io.sb_len_wr >= 13 && (sense[2] & 0x0F) == 0x02 && sense[12] == 0x04)
        return TocStatus::NotReady;
    return TocStatus::Failed;
}

TocStatus ReadWithIoctls(int fd, std::vector<uint8_t>& reply)
{
    struct cdrom_tochdr header = {};
    if (ioctl(fd, CDROMREADTOCHDR, &header) != 0)
        return TocStatus::Failed;
    if (header.cdth_trk0 < 1 || header.cdth_trk1 < header.cdth_trk0 || header.cdth_trk1 > 99)
        return TocStatus::Failed;
    std::vector<uint8_t> out = { 0, 0, header.cdth_trk0, header.cdth_trk1 };
    auto entry = [&](int track) {
        struct cdrom_tocentry e = {};
        e.cdte_track = uint8_t(track);
        e.cdte_format = CDROM_LBA;
        if (ioctl(fd, CDROMREADTOCENTRY, &e) != 0)
            return false;
        out.push_back(0);
        out.push_back(uint8_t((e.cdte_adr << 4) | (e.cdte_ctrl & 0x0F)));
        out.push_back(uint8_t(track));
        out.push_back(0);
        Put32(out, uint32_t(e.cdte_addr.lba));
        return true;
    };
    for (int t = header.cdth_trk0; t <= header.cdth_trk1; ++t)
        if (!entry(t))
            return TocStatus::Failed;
    if (!entry(CDROM_LEADOUT))
        return TocStatus::Failed;
    size_t length = out.size() - 2;
    out[0] = uint8_t(length >> 8);
    out[1] = uint8_t(length);
    reply = std::move(out);
    return TocStatus::Ok;
}

} // namespace

std::vector<Drive> ListDrivesFrom(const std::string& infoText, const std::string& blockFolder)
{
    std::vector<std::string> names;
    std::istringstream in(infoText);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 11, "drive name:") != 0)
            continue;
        std::istringstream words(line.substr(11));
        std::string word;
        while (words >> word)
            if (DriveNumber(word) >= 0)
                names.push_back(word);
    }
    if (names.empty()) {
        if (DIR* dir = opendir(blockFolder.c_str())) {
            while (dirent* e = readdir(dir))
                if (DriveNumber(e->d_name) >= 0)
                    names.push_back(e->d_name);
            closedir(dir);
        }
    }
    std::sort(names.begin(), names.end(),
        [](const std::string& a, const std::string& b) { return DriveNumber(a) < DriveNumber(b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<Drive> drives;
    for (const std::string& n : names) {
        Drive d;
        d.device = "/dev/" + n;
        std::string base = blockFolder + "/" + n + "/device/";
        std::string vendor = ReadFirstLine(base + "vendor");
        std::string model = ReadFirstLine(base + "model");
        d.name = vendor;
        if (!model.empty())
            d.name += (d.name.empty() ? "" : " ") + model;
        drives.push_back(d);
    }
    return drives;
}

namespace {

// Tests of the whole program name a file of READ TOC reply bytes here: the program then sees one
// drive holding that disc, and no real drive.
const char* _RecordedDisc()
{
    const char* file = std::getenv("VT_TEST_RECORDED_DISC");
    return file && *file ? file : nullptr;
}

constexpr const char* kRecordedDrive = "recorded-disc";

} // namespace

std::vector<Drive> ListDrives()
{
    if (_RecordedDisc())
        return { Drive { kRecordedDrive, "Inspelad skiva" } };
    std::ifstream in("/proc/sys/dev/cdrom/info");
    std::stringstream text;
    text << in.rdbuf();
    return ListDrivesFrom(text.str(), "/sys/block");
}

TocStatus ReadTocReply(const std::string& device, std::vector<uint8_t>& reply, unsigned timeoutMs)
{
    reply.clear();
    if (const char* recorded = _RecordedDisc()) {
        if (device != kRecordedDrive)
            return TocStatus::Failed;
        std::ifstream in(recorded, std::ios::binary);
        reply.assign(std::istreambuf_iterator<char>(in), {});
        return reply.empty() ? TocStatus::Failed : TocStatus::Ok;
    }
    int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return TocStatus::Failed; // no drive, or no disc in it
    TocStatus s = ReadWithSgIo(fd, reply, timeoutMs);
    if (s == TocStatus::Failed)
        s = ReadWithIoctls(fd, reply);
    close(fd);
    return s;
}

} // namespace platform::disc
