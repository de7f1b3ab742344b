// Optical drives: the list of drives, their names, and the table of contents of the disc in a
// drive as the bytes of an MMC READ TOC reply (format 0, addresses as logical blocks), so that
// one decoder reads every source. Drives are opened read-only and never ejected.
//
// For tests of the whole program, VT_TEST_RECORDED_DISC names a file of READ TOC reply bytes:
// there is then one drive, holding that disc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::disc {

struct Drive {
    std::string device; // "/dev/sr0"
    std::string name; // vendor and model from sysfs ("" when unknown)
};

// The drives named by /proc/sys/dev/cdrom/info (else the sr* entries of /sys/block), in
// ascending order of their number.
std::vector<Drive> ListDrives();
// The same from a given info text and block folder; for tests.
std::vector<Drive> ListDrivesFrom(const std::string& infoText, const std::string& blockFolder);

enum class TocStatus { Ok, NotReady, Failed };

// Reads the table of contents into reply: SG_IO with READ TOC when the drive takes it, else
// rebuilt from CDROMREADTOCHDR and CDROMREADTOCENTRY. NotReady while the drive reports that the
// unit is becoming ready (a disc just inserted); the caller waits and asks again.
TocStatus ReadTocReply(const std::string& device, std::vector<uint8_t>& reply, unsigned timeoutMs);

} // namespace platform::disc
