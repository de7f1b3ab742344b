// LZW coding: exact small streams, round trips through a decoder written here from the GIF and
// TIFF rules, and GIF files decoded by ImageMagick.
#include "lfw/gen/LLZW.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Decoded {
    bool ok = false;
    std::vector<uint8_t> bytes;
    int clears = 0;
    int maxWidth = 0;
    std::vector<int> widthAtCode; // the width each code was read with
};

// A plain LZW decoder: a new string after every code but the first after a clear; the width
// grows when the next free code (plus the early change) reaches 2^width.
Decoded Decode(
    const std::vector<uint8_t>& in, int initialWidth, int clear, int end, int early, bool lsbFirst)
{
    Decoded d;
    size_t bitPos = 0;
    auto read = [&](int width, int& code) {
        if (bitPos + size_t(width) > in.size() * 8)
            return false;
        code = 0;
        for (int i = 0; i < width; ++i, ++bitPos) {
            const int bit = lsbFirst ? (in[bitPos / 8] >> (bitPos % 8)) & 1
                                     : (in[bitPos / 8] >> (7 - bitPos % 8)) & 1;
            code = lsbFirst ? code | (bit << i) : (code << 1) | bit;
        }
        return true;
    };
    std::vector<int> prefix(4096, -1);
    std::vector<uint8_t> suffix(4096, 0);
    for (int i = 0; i < clear; ++i)
        suffix[size_t(i)] = uint8_t(i);
    auto string = [&](int code) {
        std::vector<uint8_t> s;
        for (int c = code; c >= 0; c = prefix[size_t(c)])
            s.insert(s.begin(), suffix[size_t(c)]);
        return s;
    };
    const int firstFree = end + 1;
    int width = initialWidth, next = firstFree, prev = -1;
    for (;;) {
        int code;
        if (!read(width, code))
            return d; // ran out before the end code
        d.widthAtCode.push_back(width);
        d.maxWidth = std::max(d.maxWidth, width);
        if (code == clear) {
            width = initialWidth;
            next = firstFree;
            prev = -1;
            ++d.clears;
            continue;
        }
        if (code == end)
            break;
        if (prev < 0) {
            if (code >= clear)
                return d;
            d.bytes.push_back(uint8_t(code));
            prev = code;
            continue;
        }
        std::vector<uint8_t> entry;
        if (code < next && (code < clear || code >= firstFree)) {
            entry = string(code);
        } else if (code == next) {
            entry = string(prev);
            entry.push_back(entry[0]);
        } else {
            return d;
        }
        if (next < 4096) {
            prefix[size_t(next)] = prev;
            suffix[size_t(next)] = entry[0];
            ++next;
        }
        d.bytes.insert(d.bytes.end(), entry.begin(), entry.end());
        if (next + early >= (1 << width) && width < 12)
            ++width;
        prev = code;
    }
    d.ok = true;
    return d;
}

std::vector<uint8_t> Encode(const LLZWCodec& codec, const std::vector<uint8_t>& data, bool lsb)
{
    LProcessInterfaceVoid pi;
    LSizedArray<unsigned char> out;
    EXPECT_EQ(codec.Encode(pi, out, data.data(), data.size(), lsb), LProcessResultSuccess);
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::vector<uint8_t> Noise(size_t n, int bits, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    uint32_t x = seed;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = uint8_t((x >> 16) & ((1u << bits) - 1));
    }
    return v;
}

// Runs of repeated values with some noise: strings grow long and the table fills slowly.
std::vector<uint8_t> Runs(size_t n, int bits, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    uint32_t x = seed;
    uint8_t value = 0;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 7 == 0)
            value = uint8_t((x >> 8) & ((1u << bits) - 1));
        v[i] = value;
    }
    return v;
}

TEST(Lzw, OneByteIsThreeNineBitCodesInFourBytes)
{
    const auto out = Encode(LLZWCodec::ForGIF(8), { 0x41 }, true);
    // 256, 0x41, 257 in 9 bits each, least significant first.
    const uint32_t bits = 256u | (0x41u << 9) | (257u << 18);
    const std::vector<uint8_t> expected
        = { uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24) };
    EXPECT_EQ(out, expected);

    // The same codes most significant first.
    const auto msb = Encode(LLZWCodec::ForGIF(8), { 0x41 }, false);
    const uint32_t m = (256u << 23) | (0x41u << 14) | (257u << 5);
    EXPECT_EQ(msb,
        (std::vector<uint8_t> { uint8_t(m >> 24), uint8_t(m >> 16), uint8_t(m >> 8), uint8_t(m) }));
}

TEST(Lzw, WidthGrowsAt512AndClearFollowsCode4094)
{
    // Noise of 256 values makes one new string per code: codes 258, 259, ... are assigned in
    // turn, so the n-th code after the clear assigns code 257 + n.
    const auto data = Noise(20000, 8, 1);
    const auto out = Encode(LLZWCodec::ForGIF(8), data, true);
    const Decoded d = Decode(out, 9, 256, 257, 0, true);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, data);
    // Code index 0 is the clear; the code that assigns 512 is the 255th data code (index 255),
    // written in 9 bits; the next one is the first in 10 bits.
    EXPECT_EQ(d.widthAtCode[255], 9);
    EXPECT_EQ(d.widthAtCode[256], 10);
    // The code that assigns 4094 (index 3837) is followed at once by a clear in 12 bits.
    EXPECT_EQ(d.widthAtCode[3837], 12);
    EXPECT_EQ(d.widthAtCode[3838], 12);
    EXPECT_EQ(d.widthAtCode[3839], 9);
    EXPECT_GE(d.clears, 2);
    EXPECT_EQ(d.maxWidth, 12);
}

TEST(Lzw, RoundTripsForEveryGifCodeSizeAndBothPackings)
{
    for (int size = 2; size <= 8; ++size) {
        for (bool lsb : { true, false }) {
            for (const auto& data : { Noise(70000, size, uint32_t(size)),
                     Runs(300000, size, uint32_t(size) + 9), std::vector<uint8_t>(5000, 1) }) {
                const auto out = Encode(LLZWCodec::ForGIF(size), data, lsb);
                const Decoded d = Decode(out, size + 1, 1 << size, (1 << size) + 1, 0, lsb);
                ASSERT_TRUE(d.ok) << size << " " << lsb;
                EXPECT_EQ(d.bytes, data) << size << " " << lsb;
            }
        }
    }
}

TEST(Lzw, EarlyChangeAsTiffUsesIt)
{
    const LLZWCodec tiff(9, 257, 256, 1);
    for (const auto& data : { Noise(50000, 8, 3), Runs(400000, 8, 4) }) {
        const auto out = Encode(tiff, data, false);
        const Decoded d = Decode(out, 9, 256, 257, 1, false);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.bytes, data);
    }
}

TEST(Lzw, BadInputAndStop)
{
    LProcessInterfaceVoid pi;
    LSizedArray<unsigned char> out;
    const uint8_t byte = 1;
    EXPECT_EQ(LLZWCodec::ForGIF(8).Encode(pi, out, nullptr, 5, true), LProcessResultError);
    EXPECT_EQ(LLZWCodec::ForGIF(8).Encode(pi, out, &byte, 0, true), LProcessResultError);
    // A byte that is no colour of a 2-bit image.
    const std::vector<uint8_t> wide = { 0, 1, 2, 3, 4 };
    EXPECT_EQ(
        LLZWCodec::ForGIF(2).Encode(pi, out, wide.data(), wide.size(), true), LProcessResultError);
    // A first free code that does not fit the first width.
    EXPECT_EQ(LLZWCodec::ForGIF(1).Encode(pi, out, &byte, 1, true), LProcessResultError);
    EXPECT_EQ(out.GetSize(), 0u);

    class StopNow : public LProcessInterfaceVoid {
    public:
        bool IsToStop() override { return true; }
    } stop;
    const auto data = Noise(100000, 8, 5);
    EXPECT_EQ(LLZWCodec::ForGIF(8).Encode(stop, out, data.data(), data.size(), true),
        LProcessResultStopped);
    EXPECT_EQ(out.GetSize(), 0u);
}

// A GIF file of one image whose palette maps index i to grey i, with LZW data from the codec.
std::vector<uint8_t> MakeGif(int width, int height, int codeSize, const std::vector<uint8_t>& px)
{
    std::vector<uint8_t> g = { 'G', 'I', 'F', '8', '9', 'a' };
    auto le16 = [&](int v) {
        g.push_back(uint8_t(v));
        g.push_back(uint8_t(v >> 8));
    };
    le16(width);
    le16(height);
    const int colours = 1 << codeSize;
    g.push_back(uint8_t(0x80 | 0x70 | (codeSize - 1))); // global table of 2^codeSize entries
    g.push_back(0);
    g.push_back(0);
    for (int i = 0; i < colours; ++i) {
        const uint8_t v = uint8_t(i * 255 / (colours - 1));
        g.insert(g.end(), { v, v, v });
    }
    g.push_back(0x2C);
    le16(0);
    le16(0);
    le16(width);
    le16(height);
    g.push_back(0);
    g.push_back(uint8_t(codeSize));
    const auto lzw = Encode(LLZWCodec::ForGIF(codeSize), px, true);
    for (size_t pos = 0; pos < lzw.size(); pos += 255) {
        const size_t n = std::min<size_t>(255, lzw.size() - pos);
        g.push_back(uint8_t(n));
        g.insert(g.end(), lzw.begin() + long(pos), lzw.begin() + long(pos + n));
    }
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

TEST(Lzw, GifFilesDecodeInImageMagick)
{
    if (access("/usr/bin/convert", X_OK) != 0)
        GTEST_SKIP() << "ImageMagick is not installed";
    TemporaryFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const char* dir = folder.Path().c_str();
    for (int codeSize : { 2, 4, 8 }) {
        const int w = 317, h = 211;
        const auto px
            = codeSize == 8 ? Noise(size_t(w * h), 8, 11) : Runs(size_t(w * h), codeSize, 12);
        const std::string gif = std::string(dir) + "/t.gif", raw = std::string(dir) + "/t.gray";
        const auto bytes = MakeGif(w, h, codeSize, px);
        std::ofstream(gif, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        ASSERT_EQ(std::system(("/usr/bin/convert '" + gif + "' -depth 8 'gray:" + raw + "'").c_str()), 0);
        std::ifstream in(raw, std::ios::binary);
        std::vector<uint8_t> grey((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(grey.size(), px.size()) << codeSize;
        const int colours = 1 << codeSize;
        size_t wrong = 0;
        for (size_t i = 0; i < px.size(); ++i)
            wrong += grey[i] != uint8_t(px[i] * 255 / (colours - 1));
        EXPECT_EQ(wrong, 0u) << codeSize;
    }
}

} // namespace
