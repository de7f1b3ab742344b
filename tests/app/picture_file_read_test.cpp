// Reading a picture file for an add (VTProcessPictureFileRead, as the add's workers do): a
// picture of more pixels than a picture may have is told with its size and the limit, in the
// error the add keeps and shows, not as a damaged picture.
#include "app/VTPictureFilesAdd.h"
#include "lfw/graphics/ImageTestSupport.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Keeps the last error told, as the add's item does.
struct LastError : LProcessInterfaceVoid {
    void SetError(const char* text) override { error = text ? text : ""; }
    std::string error;
};

// What /proc/self/smaps says of the mapping that holds an address: its huge pages (kB) and its
// flags ("hg": huge pages asked for).
struct Mapping {
    bool found = false;
    long long anonHugeKb = -1;
    std::string flags;
};

Mapping MappingHolding(const void* address)
{
    const auto at = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    Mapping mapping;
    bool inside = false;
    std::string line;
    while (std::getline(smaps, line)) {
        uintmax_t start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%jx-%jx ", &start, &end) == 2 && line.find('-') < 16) {
            if (mapping.found)
                break;
            inside = start <= at && at < end;
            mapping.found = inside;
        } else if (inside && line.rfind("AnonHugePages:", 0) == 0) {
            mapping.anonHugeKb = std::atoll(line.c_str() + 14);
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            mapping.flags = line.substr(8) + " ";
        }
    }
    return mapping;
}

// The kernel's rule for huge pages: "always", "madvise" or "never" ("" when it has none).
std::string HugePageRule()
{
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string words, word;
    std::getline(in, words);
    std::istringstream each(words);
    while (each >> word)
        if (word.size() > 2 && word.front() == '[')
            return word.substr(1, word.size() - 2);
    return "";
}

} // namespace

TEST(PictureFileRead, APictureOverTheLimitIsToldWithItsSize)
{
    imagetest::TempFolder folder;
    const std::string huge = folder / "jätte.png", damaged = folder / "trasig.png";
    ASSERT_TRUE(imagetest::WriteBytes(huge, imagetest::PngHeaderOnly(20000, 20000)));
    ASSERT_TRUE(imagetest::WriteBytes(damaged, { 0x89, 'P', 'N', 'G' }));
    VTProcessPictureFileRead read;
    read.path = huge;
    LastError job;
    EXPECT_EQ(Process(job, read), LProcessResultError);
    EXPECT_FALSE(read.picture.IsValid());
    EXPECT_EQ(job.error,
        "Bilden är för stor: den har 20000 × 20000 bildpunkter (400\u00A0000\u00A0000), och en "
        "bild får ha högst 268\u00A0435\u00A0456 bildpunkter.");
    // A damaged one is still told as one.
    read.path = damaged;
    LastError other;
    EXPECT_EQ(Process(other, read), LProcessResultError);
    EXPECT_EQ(other.error, "Det gick inte att läsa in bilden.");
}

// A photograph read for an add is held in ordinary pages, as is its screen source: huge pages
// asked for are zeroed 2 MiB at a time under the decoder's first writes, and where the kernel
// gives them only on request ("madvise", as Debian ships) it stops to gather them, so that
// opening a few photographs took seconds at times. Seen by the kernel's own account of the
// memory: no request on it, and on such a kernel no huge page in it.
TEST(PictureFileRead, APhotographIsHeldInOrdinaryPages)
{
    imagetest::TempFolder folder;
    const std::string photo = folder / "foto.jpg";
    // 4200 x 2400: a picture of about 40 MB, and a screen source of 1050 x 600, over 2 MiB.
    ASSERT_TRUE(imagetest::RunCommand(
        "convert -size 4200x2400 gradient:orange-navy -quality 90 '" + photo + "'"));
    VTProcessPictureFileRead read;
    read.path = photo;
    LastError job;
    ASSERT_EQ(Process(job, read), LProcessResultSuccess) << job.error;
    ASSERT_EQ(read.picture.GetWidth(), 4200);
    ASSERT_TRUE(read.screenSource.IsValid());
    ASSERT_GE(read.screenSource.GetHeight() * read.screenSource.GetStride(), 2u << 20);
    const std::string rule = HugePageRule();
    for (const LImageBuffer* pixels : { &read.picture, &read.screenSource }) {
        const Mapping mapping = MappingHolding(pixels->GetData());
        ASSERT_TRUE(mapping.found);
        EXPECT_EQ(mapping.flags.find(" hg "), std::string::npos) << mapping.flags;
        if (rule == "madvise" || rule == "never") {
            EXPECT_EQ(mapping.anonHugeKb, 0) << "the kernel gives huge pages by " << rule;
        }
    }
}
