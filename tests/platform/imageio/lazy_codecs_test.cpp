// The TIFF, JPEG 2000 and camera-raw codec libraries are loaded only when a picture of their kind
// is first read or written, and a missing library makes such pictures unreadable (and unwritable)
// rather than stopping the program. Each check runs in a process started afresh.
#include "platform/imageio/ImageIO.h"
#include "support/LateLibraries.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace platform::imageio;
using latelibraries::Checks;
using latelibraries::Loaded;

namespace {

std::vector<uint8_t> Fixture(const std::string& name)
{
    std::ifstream in(std::string(VT_TEST_DATA) + "/images/" + name, std::ios::binary);
    return std::vector<uint8_t>(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Decoded {
    Result result = Result::Failed;
    DecodedInfo info;
    std::vector<uint8_t> pixels; // B8G8R8A8, rows of width x 4 bytes
    int stores = 0;
};

Decoded DecodeBytes(Format format, const std::vector<uint8_t>& bytes)
{
    MemorySource source(bytes.data(), bytes.size());
    Decoded d;
    auto store = [&d](uint32_t w, uint32_t h, size_t& stride) {
        ++d.stores;
        stride = size_t(w) * 4;
        d.pixels.assign(stride * h, 0);
        return d.pixels.data();
    };
    d.result = Decode(format, source, store, d.info);
    return d;
}

Decoded DecodeFixture(Format format, const std::string& name)
{
    return DecodeBytes(format, Fixture(name));
}

// A 4 x 2 picture, every pixel its own opaque colour.
std::vector<uint8_t> SmallPicture(EncodeInput& input)
{
    std::vector<uint8_t> pixels(4 * 2 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i % 4) == 3 ? 255 : uint8_t(i * 29 + 7);
    input.firstRow = pixels.data();
    input.stride = 4 * 4;
    input.width = 4;
    input.height = 2;
    input.quality = 100;
    return pixels;
}

void CheckLoadedOnFirstUse()
{
    Checks checks;
    checks.Expect(!Loaded("libtiff.so") && !Loaded("libopenjp2.so") && !Loaded("libraw_r.so"),
        "no codec library is loaded at start");

    Decoded tiff = DecodeFixture(Format::TIFF, "orient6.tif");
    checks.Expect(tiff.result == Result::Ok && tiff.info.width == 37 && tiff.info.height == 23
            && tiff.info.orientation == 6,
        "TIFF decodes");
    checks.Expect(Loaded("libtiff.so"), "libtiff is loaded by the first TIFF");
    checks.Expect(!Loaded("libopenjp2.so") && !Loaded("libraw_r.so"), "TIFF loads only libtiff");

    EncodeInput input;
    std::vector<uint8_t> pixels = SmallPicture(input);
    std::vector<uint8_t> jp2;
    checks.Expect(Encode(Format::JPEG2000, input, jp2), "JPEG 2000 encodes");
    checks.Expect(Loaded("libopenjp2.so"), "OpenJPEG is loaded by the first JPEG 2000");
    Decoded back = DecodeBytes(Format::JPEG2000, jp2);
    checks.Expect(
        back.result == Result::Ok && back.pixels == pixels, "JPEG 2000 comes back losslessly");
    Decoded grey = DecodeFixture(Format::JPEG2000, "grey.jp2");
    checks.Expect(grey.result == Result::Ok, "a JPEG 2000 file decodes");
    checks.Expect(!Loaded("libraw_r.so"), "LibRaw is not loaded yet");

    Decoded raw = DecodeFixture(Format::Raw, "linear.dng");
    checks.Expect(raw.result == Result::Ok && raw.info.width == 32 && raw.info.height == 24,
        "the DNG develops");
    // Red on the left, blue on the right (B, G, R in memory).
    if (raw.result == Result::Ok)
        checks.Expect(
            raw.pixels[(12 * 32 + 2) * 4 + 2] > 150 && raw.pixels[(12 * 32 + 29) * 4 + 0] > 150,
            "the DNG's colours");
    checks.Expect(Loaded("libraw_r.so"), "LibRaw is loaded by the first raw file");
    checks.End();
}

void CheckMissingLibraries()
{
    Checks checks;
    for (auto [format, name] : { std::pair { Format::TIFF, "orient6.tif" },
             std::pair { Format::TIFF, "rgba.tif" }, std::pair { Format::JPEG2000, "grey.jp2" },
             std::pair { Format::JPEG2000, "rgb.jp2" }, std::pair { Format::Raw, "linear.dng" } }) {
        Decoded d = DecodeFixture(format, name);
        checks.Expect(d.result == Result::Failed && d.stores == 0, name);
    }
    EncodeInput input;
    std::vector<uint8_t> pixels = SmallPicture(input);
    std::vector<uint8_t> out { 1, 2, 3 };
    checks.Expect(!Encode(Format::TIFF, input, out) && out.empty(), "TIFF is not written");
    out = { 1, 2, 3 };
    checks.Expect(!Encode(Format::JPEG2000, input, out) && out.empty(), "JPEG 2000 is not written");
    // The formats of linked libraries are not affected.
    checks.Expect(Encode(Format::PNG, input, out) && !out.empty(), "PNG is still written");
    checks.Expect(!Loaded("libtiff.so") && !Loaded("libopenjp2.so") && !Loaded("libraw_r.so"),
        "nothing was loaded");
    checks.End();
}

} // namespace

TEST(LazyCodecs, LoadedOnFirstUse)
{
    VT_EXPECT_IN_FRESH_PROCESS(CheckLoadedOnFirstUse());
}

TEST(LazyCodecs, MissingLibrariesMakeFilesUnreadable)
{
    latelibraries::LibraryPath path(
        latelibraries::UnloadableLibraries({ VT_TIFF_SONAME, VT_OPENJPEG_SONAME, VT_RAW_SONAME }));
    VT_EXPECT_IN_FRESH_PROCESS(CheckMissingLibraries());
}
