// The XML reader on arbitrary bytes, then the writer on what it read: neither may crash, and
// the written form must read again without growing.
#include "lfw/gen/LXML.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(size + 1);
    if (size)
        std::memcpy(text.data(), data, size);
    text[size] = 0;
    char error[260];
    LXMLDocument doc;
    doc.LoadFromText(nullptr, text.data(), error);
    if (std::strlen(error) >= sizeof error)
        __builtin_trap();
    LStringLongTemplate<char> out;
    doc.SaveToBuffer(out);
    LXMLDocument again;
    again.LoadFromText(nullptr, out.c_str(), error);
    return 0;
}
