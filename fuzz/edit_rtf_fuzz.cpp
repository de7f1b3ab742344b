// The edit view's RTF reader on arbitrary bytes, then the writer on what it read: neither may
// crash, and the written form must read back to the same text.
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<LCocoaEditRtf::Run> runs;
    if (!LCocoaEditRtf::Read(reinterpret_cast<const char*>(data), size, runs))
        return 0;
    std::string written = LCocoaEditRtf::Write(runs);
    std::vector<LCocoaEditRtf::Run> again;
    if (!LCocoaEditRtf::Read(written.data(), written.size(), again))
        __builtin_trap();
    std::string a, b;
    for (const auto& r : runs)
        a += r.text;
    for (const auto& r : again)
        b += r.text;
    // Text that is not valid UTF-8 is written as U+FFFD; compare only valid texts.
    if (g_utf8_validate(a.c_str(), -1, nullptr) && a.find('\0') == std::string::npos && a != b
        && a.find('\r') == std::string::npos)
        __builtin_trap();
    return 0;
}
