// The JSON reader on arbitrary bytes: it must end with 0 or 2 and never read past the text.
#include "lfw/gen/LJSON.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(size + 1);
    if (size)
        std::memcpy(text.data(), data, size);
    text[size] = 0;
    LProcessInterfaceVoid pi;
    LJSONValueReader reader;
    LJSONValueNamed root;
    const LProcessResult r = reader.Read(pi, root, text.data());
    if (r != LProcessResultSuccess && r != LProcessResultError)
        __builtin_trap();
    // Walk the tree a little, as callers would.
    for (const LJSONValueNamed* m = root.GetFirstMember(); m; m = m->GetNext())
        (void)m->GetName();
    for (size_t i = 0; i < root.GetElementCount(); ++i)
        (void)root.GetElement(i)->GetString();
    return 0;
}
