// SHA-1 digests compared with the system's own tools on the same bytes.
#include "lfw/gen/LSha1.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string Hex(const uint32_t words[5])
{
    char buf[41];
    for (int i = 0; i < 5; ++i)
        std::snprintf(buf + 8 * i, 9, "%08x", words[i]);
    return buf;
}

std::string Digest(const std::vector<uint8_t>& data, size_t chunk)
{
    LSha1 sha;
    for (size_t pos = 0; pos < data.size(); pos += chunk)
        sha.Update(data.data() + pos, std::min(chunk, data.size() - pos));
    uint32_t words[5];
    EXPECT_TRUE(sha.GetDigest(words, 20));
    return Hex(words);
}

// Runs the command on a file holding data and returns the first 40 hexadecimal digits it prints
// after the last blank or "= ".
std::string ToolDigest(const std::vector<uint8_t>& data, const char* command)
{
    std::string name = TemporaryFolder::Base() + "/vt_sha1_XXXXXX";
    char* path = name.data();
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    close(fd);
    std::string cmd = std::string(command) + " < " + path;
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    unlink(path);
    // "sha1sum" prints "<hex>  -", "openssl dgst" prints "SHA1(stdin)= <hex>" or "(stdin)= <hex>".
    const size_t eq = out.find("= ");
    std::string hex = eq == std::string::npos ? out.substr(0, 40) : out.substr(eq + 2, 40);
    return hex;
}

std::vector<uint8_t> Pattern(size_t n, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    uint32_t x = seed;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    return v;
}

class Sha1Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { _LSha1UseHardware(GetParam()); }
    void TearDown() override { _LSha1UseHardware(true); }
};

TEST_P(Sha1Test, KnownVectors)
{
    const std::string abc = "abc";
    EXPECT_EQ(Digest({}, 1), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Digest(std::vector<uint8_t>(abc.begin(), abc.end()), 1),
        "a9993e364706816aba3e25717850c26c9cd0d89d");
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Digest(std::vector<uint8_t>(two.begin(), two.end()), 7),
        "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST_P(Sha1Test, MatchesSystemToolsAtBlockEdgesAndInChunks)
{
    // Lengths around the padding limits (55, 56, 63, 64) and a few blocks.
    for (size_t n : { size_t(0), size_t(1), size_t(55), size_t(56), size_t(57), size_t(63),
             size_t(64), size_t(65), size_t(119), size_t(120), size_t(1000) }) {
        const auto data = Pattern(n, uint32_t(n) + 7);
        const std::string expected = ToolDigest(data, "sha1sum");
        EXPECT_EQ(Digest(data, n ? n : 1), expected) << n;
        EXPECT_EQ(Digest(data, 1), expected) << n;
        EXPECT_EQ(Digest(data, 13), expected) << n;
    }
}

TEST_P(Sha1Test, MultiMegabyteMatchesOpenSslAndSha1sum)
{
    const auto data = Pattern(5 * 1024 * 1024 + 77, 99);
    const std::string ours = Digest(data, 1 << 20);
    EXPECT_EQ(ours, ToolDigest(data, "sha1sum"));
    EXPECT_EQ(ours, ToolDigest(data, "openssl dgst -sha1"));
    EXPECT_EQ(Digest(data, 4093), ours);
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha1Test, ::testing::Values(true, false),
    [](const auto& info) { return info.param ? "Hardware" : "Portable"; });

TEST(Sha1, DigestIsStableAndUpdateAfterItCorrupts)
{
    LSha1 sha;
    sha.Update("abc", 3);
    uint32_t first[5], second[5];
    ASSERT_TRUE(sha.GetDigest(first, 20));
    ASSERT_TRUE(sha.GetDigest(second, 20));
    EXPECT_EQ(Hex(first), Hex(second));

    sha.Update("", 0); // nothing happens on length 0
    ASSERT_TRUE(sha.GetDigest(second, 20));

    sha.Update("d", 1);
    uint32_t untouched[5] = { 1, 2, 3, 4, 5 };
    EXPECT_FALSE(sha.GetDigest(untouched, 20));
    EXPECT_EQ(untouched[0], 1u);
    EXPECT_EQ(untouched[4], 5u);
}

TEST(Sha1, DigestWordsAreInMachineOrder)
{
    LSha1 sha;
    sha.Update("abc", 3);
    uint32_t w[5];
    ASSERT_TRUE(sha.GetDigest(w, 20));
    EXPECT_EQ(w[0], 0xa9993e36u);
    EXPECT_EQ(w[4], 0x9cd0d89du);
}

} // namespace
