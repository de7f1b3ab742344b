// The command-usage counts file on arbitrary bytes: reading takes at most 256 records whatever
// the count says, keeps what it had beyond a short file's end, and what is saved reads back the
// same.
#include "fuzz/FuzzScratch.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LOptionsCount.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

std::vector<LCmdCount> Counts()
{
    std::vector<LCmdCount> out;
    for (size_t i = 0; i < CmdCounts.GetCount(); ++i)
        out.push_back(CmdCounts[i]);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = [] {
        const std::string& folder = FuzzScratchFolder("counts-fuzz");
        if (folder.empty())
            return false;
        setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        return true;
    }();
    char path[kLPathSize];
    if (!ready || !LOptionsCountGetPath(path))
        return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;

    // Three records were there before.
    CmdCounts.SetSize(3);
    for (uint32_t i = 0; i < 3; ++i)
        CmdCounts[i] = LCmdCount { 7000 + i, 1 + i };
    const std::vector<LCmdCount> before = Counts();
    LOptionsCountLoad();
    const std::vector<LCmdCount> after = Counts();

    uint32_t count = 0;
    if (size >= 4)
        std::memcpy(&count, data, 4);
    const size_t asked = count > kLOptionsCountMaxRecords ? kLOptionsCountMaxRecords : count;
    const size_t whole = std::min(asked, (size >= 4 ? size - 4 : 0) / sizeof(LCmdCount));
    Check(after.size() == std::max(before.size(), asked));
    for (size_t i = 0; i < after.size(); ++i) {
        LCmdCount expected { 0, 0 };
        if (i < whole)
            std::memcpy(&expected, data + 4 + i * sizeof(LCmdCount), sizeof expected);
        else if (i < before.size())
            expected = before[i];
        Check(after[i].command == expected.command && after[i].uses == expected.uses);
    }

    // Saved and read again: the same records.
    Check(LOptionsCountSave());
    CmdCounts.SetSize(0);
    LOptionsCountLoad();
    const std::vector<LCmdCount> again = Counts();
    Check(again.size() == after.size());
    for (size_t i = 0; i < again.size(); ++i)
        Check(again[i].command == after[i].command && again[i].uses == after[i].uses);
    CmdCounts.SetSize(0);
    return 0;
}
