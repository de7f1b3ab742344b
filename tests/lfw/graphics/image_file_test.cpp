// The codec table, the codec rule, the file-panel filters, loading and saving image files
// through their jobs, and the formats of the platform's image I/O against ImageMagick.
#include "ImageTestSupport.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LImageIOCodec.h"
#include "lfw/ios/LThread.h"
#include "support/UnwrittenFifo.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using namespace imagetest;

// ---- Codec table, rule and filters -------------------------------------------------------------

TEST(ImageCodecTable, CodecFromExtension)
{
    LImageCodec codec;
    EXPECT_TRUE(codec.InitFromFilePath("/a/b/Photo.JPG"));
    EXPECT_EQ(uint32_t(codec), 4u);
    EXPECT_TRUE(codec.InitFromFilePath("x.tiff"));
    EXPECT_EQ(uint32_t(codec), 25u);
    EXPECT_TRUE(codec.InitFromFilePath("C:\\pics\\a.Pbm"));
    EXPECT_EQ(uint32_t(codec), 8u);
    EXPECT_TRUE(codec.InitFromFilePath("shot.heic"));
    EXPECT_EQ(uint32_t(codec), 3u);
    EXPECT_TRUE(codec.InitFromFilePath("raw.SR2"));
    EXPECT_EQ(uint32_t(codec), 23u);
    for (const char* path : { "noext", "x.jpg2", "dir.png/file", "x.", "" }) {
        EXPECT_FALSE(codec.InitFromFilePath(path)) << path;
        EXPECT_EQ(uint32_t(codec), LImageCodec::kNone);
    }
    EXPECT_FALSE(codec.InitFromFilePath(nullptr));
}

TEST(ImageCodecTable, DefaultRule)
{
    LImageCodecVetoer rule;
    for (uint32_t c = 0; c < 30; ++c) {
        EXPECT_EQ(rule.IsEnabled(c, LImageIOTypeLoad), c < 27 && c != 3) << c;
        const bool save = c == 0 || c == 2 || (c >= 4 && c <= 10) || c == 24 || c == 25 || c == 26;
        EXPECT_EQ(rule.IsEnabled(c, LImageIOTypeSave), save) << c;
        EXPECT_FALSE(rule.IsEnabled(c, LImageIOType(4)));
        EXPECT_FALSE(rule.IsEnabled(c, LImageIOType(1)));
    }
    EXPECT_FALSE(rule.IsEnabled(LImageCodec::kNone, LImageIOTypeLoad));
    EXPECT_STREQ(LImageCodecGetInfo(4)->description, "Gemensamma fotografiska experter");
    EXPECT_EQ(LImageCodecGetInfo(3), nullptr);
    EXPECT_STREQ(LImageCodecGetInfo(26)->key, "WBMP");
}

namespace {

// The (label, patterns) pairs of a filter text.
std::vector<std::pair<std::string, std::string>> Pairs(const LStringLongTemplate<char>& text)
{
    std::vector<std::pair<std::string, std::string>> out;
    const char* p = text.GetString();
    const char* end = p + text.GetLength();
    while (p < end) {
        std::string label = p;
        p += label.size() + 1;
        std::string patterns = p;
        p += patterns.size() + 1;
        out.emplace_back(label, patterns);
    }
    return out;
}

struct NothingRule : LImageCodecVetoer {
    bool IsEnabled(LImageCodec, LImageIOType) const override { return false; }
};

struct PNGOnlyRule : LImageCodecVetoer {
    bool IsEnabled(LImageCodec c, LImageIOType t) const override
    {
        return c == LImageCodec::PNG && LImageCodecVetoer::IsEnabled(c, t);
    }
};

} // namespace

TEST(ImageCodecTable, FilterLists)
{
    LImageCodecVetoer rule;
    LImageCodecFilterList list;
    LStringLongTemplate<char> text;
    ASSERT_TRUE(list.Init(text, LImageIOTypeLoad, rule));
    // Double-NUL ended.
    EXPECT_EQ(text.GetString()[text.GetLength()], 0);
    EXPECT_EQ(text.GetString()[text.GetLength() - 1], 0);
    auto pairs = Pairs(text);
    ASSERT_EQ(pairs.size(), 27u);
    EXPECT_EQ(pairs[0].first, "Alla bilder");
    std::string all;
    for (const auto& row : arImageCodecFileExtInfo)
        if (row.codec != 3)
            all += (all.empty() ? "*" : ";*") + std::string(row.extension);
    EXPECT_EQ(pairs[0].second, all);
    EXPECT_EQ(all.find(".heic"), std::string::npos);
    bool sawJPEG = false;
    for (size_t i = 1; i < pairs.size(); ++i) {
        if (i > 1) {
            EXPECT_LT(std::strcmp(pairs[i - 1].first.c_str(), pairs[i].first.c_str()), 0);
        }
        if (pairs[i].first.rfind("Gemensamma", 0) == 0) {
            sawJPEG = true;
            EXPECT_EQ(
                pairs[i].first, "Gemensamma fotografiska experter (*.jpg;*.jpeg;*.jpe;*.jfif)");
            EXPECT_EQ(pairs[i].second, "*.jpg;*.jpeg;*.jpe;*.jfif");
        }
    }
    EXPECT_TRUE(sawJPEG);
    // Sorted byte by byte: the descriptions with Swedish letters come last.
    EXPECT_EQ(pairs.back().first, "Trådlös bitmapp (*.wbmp)");

    ASSERT_TRUE(list.Init(text, LImageIOTypeSave, rule));
    pairs = Pairs(text);
    std::vector<std::string> labels;
    for (const auto& p : pairs)
        labels.push_back(p.first.substr(0, p.first.find(" (")));
    EXPECT_EQ(labels,
        (std::vector<std::string> { "Adobe Photoshop-dokument", "Avid TARGA", "Bärbar Anymap",
            "Bärbar nätverksgrafik", "Format för grafikutbyte",
            "Formaterat bildfilformat med etiketter", "Gemensamma fotografiska experter",
            "JPEG 2000", "Microsoft-bitmapp", "Persondatorer Exchange", "Sol raster",
            "Trådlös bitmapp" }));

    LStringLongTemplate<char> patterns;
    EXPECT_TRUE(LImageCodecFilterList::GetEnabledExtensions(patterns, 8, LImageIOTypeSave, rule));
    EXPECT_STREQ(patterns.GetString(), "*.pnm;*.pbm;*.pgm;*.ppm");
    EXPECT_FALSE(LImageCodecFilterList::GetEnabledExtensions(patterns, 3, LImageIOTypeLoad, rule));
    EXPECT_TRUE(patterns.IsEmpty());

    EXPECT_FALSE(list.Init(text, LImageIOType(1), rule));
    EXPECT_FALSE(list.Init(LImageIOType(4), rule));
    NothingRule nothing;
    EXPECT_FALSE(list.Init(LImageIOTypeLoad, nothing));
    EXPECT_FALSE(list.Init(text, LImageIOTypeSave, nothing));
    PNGOnlyRule png;
    ASSERT_TRUE(list.Init(text, LImageIOTypeLoad, png));
    pairs = Pairs(text);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], std::make_pair(std::string("Alla bilder"), std::string("*.png")));
    EXPECT_EQ(pairs[1].first, "Bärbar nätverksgrafik (*.png)");
}

// ---- File jobs ---------------------------------------------------------------------------------

namespace {

LProcessResult LoadFile(LProcessInterface& job, const std::string& path, LImageBuffer& buffer,
    const LImageCodecVetoer* rule = nullptr, uint32_t* bits = nullptr)
{
    LProcessImageLoadFile request(path.c_str(), 3000, rule, buffer);
    const LProcessResult result = Process(job, request);
    if (bits)
        *bits = request.result;
    return result;
}

LProcessResult SaveFile(LProcessInterface& job, const LImageBuffer& buffer, const std::string& path,
    const LImageEncodeSettings& settings = LImageEncodeSettings(),
    const LImageCodecVetoer* rule = nullptr)
{
    LProcessImageSaveFile request(buffer, path.c_str(), settings, 3000, rule);
    return Process(job, request);
}

void LoadFixture(const char* name, LImageBuffer& buffer)
{
    ASSERT_NE(LImage::Load(buffer, Fixture(name).c_str(), 3000), 0u) << name;
}

} // namespace

TEST(ImageFile, LoadErrors)
{
    TempFolder folder;
    LImageBuffer buffer;
    RecordingJob job;
    EXPECT_EQ(LoadFile(job, folder / "missing.png", buffer), LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att hitta filen.");
    EXPECT_EQ(job.statuses.front(), "Laddar missing.png");

    ASSERT_TRUE(WriteBytes(folder / "image.xyz", { 1, 2, 3 }));
    EXPECT_EQ(LoadFile(job, folder / "image.xyz", buffer), LProcessResultError);
    EXPECT_EQ(job.error, "Filtypen känns inte igen.");

    ASSERT_TRUE(WriteBytes(folder / "a.bmp", ReadBytes(Fixture("bmp24.bmp"))));
    PNGOnlyRule png;
    EXPECT_EQ(LoadFile(job, folder / "a.bmp", buffer, &png), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");
    uint32_t bits = 0;
    EXPECT_EQ(LoadFile(job, folder / "a.bmp", buffer, nullptr, &bits), LProcessResultSuccess);
    EXPECT_EQ(bits, 24u);

    // Files a reader cannot take: empty, text, and a file of another format.
    for (const char* name :
        { "empty.png", "text.jpg", "text.tif", "x.jp2", "y.gif", "z.bmp", "w.ppm", "shot.dng" }) {
        const std::vector<uint8_t> text = { 'h', 'e', 'l', 'l', 'o', '\n' };
        ASSERT_TRUE(WriteBytes(folder / name,
            std::string(name).rfind("empty", 0) == 0 ? std::vector<uint8_t> {} : text));
        job.error.clear();
        EXPECT_EQ(LoadFile(job, folder / name, buffer), LProcessResultError) << name;
        EXPECT_EQ(job.error, "Det gick inte att läsa in bilden.") << name;
    }
    // HEIC has no reader.
    ASSERT_TRUE(WriteBytes(folder / "p.heic", { 0, 0, 0, 0 }));
    EXPECT_EQ(LoadFile(job, folder / "p.heic", buffer), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");
    LImageCodecVetoer rule;
    EXPECT_EQ(LoadFile(job, folder / "p.heic", buffer, &rule), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");

    // A file that cannot be opened (a folder named like an image cannot be read either).
    if (::geteuid() != 0) {
        ASSERT_TRUE(WriteBytes(folder / "locked.bmp", ReadBytes(Fixture("bmp24.bmp"))));
        ::chmod((folder / "locked.bmp").c_str(), 0);
        EXPECT_EQ(LoadFile(job, folder / "locked.bmp", buffer), LProcessResultError);
        EXPECT_EQ(job.error, "Det gick inte att öppna filen.");
    }
    // A folder, and a FIFO nobody writes (a picture path in a project may name one), named like
    // pictures: refused at once, never waited on.
    std::filesystem::create_directory(folder / "dir.png");
    EXPECT_EQ(LoadFile(job, folder / "dir.png", buffer), LProcessResultError);
    EXPECT_EQ(job.error, "Det är ingen fil.");
    UnwrittenFifo fifo(folder / "pipe.png");
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(LoadFile(job, fifo.Path(), buffer), LProcessResultError);
    EXPECT_EQ(job.error, "Det är ingen fil.");
    std::string why;
    EXPECT_FALSE(LImage::ProbeFile(fifo.Path().c_str(), nullptr, why));
    EXPECT_EQ(why, "Det är ingen fil.");
    EXPECT_FALSE(fifo.Released()) << "the reader waited on the FIFO";
}

TEST(ImageFile, StopBeforeLoadLeavesTheBuffer)
{
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8, 2, 2));
    FillPattern(buffer);
    const unsigned char* before = buffer.GetData();
    for (const char* name : { "bmp24.bmp", "base.png", "rgb300.jpg", "palette.tif" }) {
        RecordingJob job(0);
        EXPECT_EQ(LoadFile(job, Fixture(name), buffer), LProcessResultStopped) << name;
        EXPECT_EQ(buffer.GetWidth(), 2);
        EXPECT_EQ(buffer.GetData(), before);
    }
    // A platform reader asked to stop before it decodes.
    std::vector<uint8_t> png = ReadBytes(Fixture("base.png"));
    LInputStreamBuffer stream(png.data(), png.size());
    RecordingJob job(0);
    LProcessPNGLoad<LInputStreamBuffer> request(stream, buffer);
    EXPECT_EQ(Process(job, request), LProcessResultStopped);
    EXPECT_EQ(buffer.GetWidth(), 2);
}

TEST(ImageFile, MemoryAndResourceLoads)
{
    LImageBuffer buffer;
    std::vector<uint8_t> png = ReadBytes(Fixture("base.png"));
    EXPECT_EQ(LImage::Load(buffer, png.data(), png.size(), LImage::EncodingPNG), 24u);
    EXPECT_EQ(buffer.GetWidth(), 37);
    EXPECT_EQ(LImage::Load(buffer, png.data(), png.size(), 11), 0u);
    EXPECT_EQ(LImage::Load(buffer, png.data(), 10, LImage::EncodingPNG), 0u);
    EXPECT_EQ(LImage::Load(buffer, nullptr, 0, LImage::EncodingBMP), 0u);
    std::vector<uint8_t> bmp = ReadBytes(Fixture("bmp8.bmp"));
    EXPECT_EQ(LImage::Load(buffer, bmp.data(), bmp.size(), LImage::EncodingBMP), 8u);

    TempFolder folder;
    std::filesystem::create_directories(folder / "resources/png");
    ASSERT_TRUE(WriteBytes(folder / "resources/png/3.png", png));
    ::setenv("VT_RESOURCES_DIR", folder.Path().c_str(), 1);
    LImageBuffer resource;
    EXPECT_EQ(LImage::LoadResource(resource, 3, LImage::EncodingPNG), 24u);
    EXPECT_EQ(resource.GetHeight(), 23);
    EXPECT_EQ(LImage::LoadResource(resource, 4, LImage::EncodingPNG), 0u);
    EXPECT_EQ(LImage::LoadResource(resource, 3, LImage::EncodingPCX), 0u);
    ::unsetenv("VT_RESOURCES_DIR");
}

TEST(ImageFile, PNGOfAnOpaquePictureHasNoAlphaChannel)
{
    // The same picture opaque, with one pixel of alpha 254 and as B8G8R8: RGB (colour type 2)
    // when nothing is translucent, RGBA (6) otherwise; the pixels come back as they were.
    TempFolder folder;
    auto f = [](int x, int y) -> std::array<int, 4> { return { x * 8, y * 8, (x ^ y) * 4, 255 }; };
    LImageBuffer opaque, translucent;
    Paint(opaque, 32, 24, f);
    Paint(translucent, 32, 24, [&f](int x, int y) {
        auto c = f(x, y);
        if (x == 31 && y == 23)
            c[3] = 254;
        return c;
    });
    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 32, 24));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
            const auto c = f(x, y);
            unsigned char* p = rgb.GetPictureRow(y) + x * 3;
            p[0] = uint8_t(c[2]), p[1] = uint8_t(c[1]), p[2] = uint8_t(c[0]);
        }
    const struct {
        const LImageBuffer* picture;
        const char* name;
        int colourType;
    } cases[] = { { &opaque, "opaque.png", 2 }, { &translucent, "translucent.png", 6 },
        { &rgb, "rgb.png", 2 } };
    for (const auto& c : cases) {
        RecordingJob job;
        ASSERT_EQ(SaveFile(job, *c.picture, folder / c.name), LProcessResultSuccess) << c.name;
        const std::vector<uint8_t> bytes = ReadBytes(folder / c.name);
        ASSERT_GT(bytes.size(), 26u);
        EXPECT_EQ(bytes[25], c.colourType) << c.name;
        LImageBuffer back;
        ASSERT_NE(LImage::Load(back, (folder / c.name).c_str(), 3000), 0u) << c.name;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(PixelRGBA(back, x, y), PixelRGBA(*c.picture, x, y))
                    << c.name << " " << x << "," << y;
    }
    // ImageMagick reads the channels the same way.
    if (HaveTool("/usr/bin/identify")) {
        const std::string command = "/usr/bin/identify -format '%[channels]|' "
            + (folder / "opaque.png") + " " + (folder / "translucent.png");
        char text[64] = "";
        if (FILE* p = popen(command.c_str(), "r")) {
            if (!std::fgets(text, sizeof text, p))
                text[0] = 0;
            pclose(p);
        }
        EXPECT_EQ(std::string(text), "srgb|srgba|");
    }
}

TEST(ImageFile, SaveWritesBesideTheTargetAndRenames)
{
    TempFolder folder;
    LImageBuffer source;
    LoadFixture("alpha.png", source);
    RecordingJob job;
    ASSERT_EQ(SaveFile(job, source, folder / "out.bmp"), LProcessResultSuccess);
    ASSERT_FALSE(job.statuses.empty());
    EXPECT_EQ(job.statuses.front(), "Sparar out.bmp");
    EXPECT_EQ(folder.Entries(), std::vector<std::string> { "out.bmp" });
    LImageBuffer back;
    LoadFixture("alpha.png", source);
    ASSERT_EQ(LImage::Load(back, (folder / "out.bmp").c_str(), 3000), 32u);
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("alpha150.ref.pam"), ref));
    EXPECT_EQ(MaxDifference(back, ref, true), 0);

    // During the save an unnamed temporary file lies beside the target (its descriptor names
    // the folder), not in the caches folder, and nothing else shows in the folder.
    struct Watching : RecordingJob {
        const TempFolder* folder;
        size_t most = 0;
        bool beside = false;
        void SetProgress(double f) override
        {
            RecordingJob::SetProgress(f);
            most = std::max(most, folder->Entries().size());
            std::error_code ec;
            for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
                const std::string link = std::filesystem::read_symlink(fd.path(), ec).string();
                beside = beside || link.rfind(folder->Path() + "/#", 0) == 0;
            }
        }
    } watching;
    watching.folder = &folder;
    ASSERT_EQ(SaveFile(watching, source, folder / "second.bmp"), LProcessResultSuccess);
    EXPECT_EQ(watching.most, 1u); // out.bmp
    EXPECT_TRUE(watching.beside);
    auto entries = folder.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string> { "out.bmp", "second.bmp" }));

    // Errors before anything is made.
    EXPECT_EQ(SaveFile(job, source, folder / "x.unknown"), LProcessResultError);
    EXPECT_EQ(job.error, "Filtypen känns inte igen.");
    PNGOnlyRule png;
    EXPECT_EQ(
        SaveFile(job, source, folder / "x.bmp", LImageEncodeSettings(), &png), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");
    EXPECT_EQ(SaveFile(job, source, folder / "x.dng"), LProcessResultError);
    EXPECT_EQ(job.error, "Filformatet stöds inte.");
    EXPECT_EQ(SaveFile(job, source, folder / "nofolder/x.bmp"), LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att öppna filen.");
    LImageBuffer empty;
    EXPECT_EQ(SaveFile(job, empty, folder / "x.png"), LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att spara bilden");
    LImageEncodeSettings badKind;
    badKind.bmpOutputKind = 7;
    EXPECT_EQ(SaveFile(job, source, folder / "x.bmp", badKind), LProcessResultError);
    EXPECT_EQ(job.error, "Det gick inte att spara bilden");
    entries = folder.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string> { "out.bmp", "second.bmp" }));
}

TEST(ImageFile, FailedOrStoppedSaveLeavesTheTarget)
{
    TempFolder folder;
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8A8, 300, 200));
    FillPattern(source);
    const std::vector<uint8_t> old = { 'o', 'l', 'd' };

    // Stopped while writing rows.
    for (const char* name : { "t.bmp", "t.ppm" }) {
        ASSERT_TRUE(WriteBytes(folder / name, old));
        RecordingJob stopping(5);
        EXPECT_EQ(SaveFile(stopping, source, folder / name), LProcessResultStopped) << name;
        EXPECT_EQ(ReadBytes(folder / name), old);
    }
    auto entries = folder.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string> { "t.bmp", "t.ppm" }));

    // Short writes: the file-size limit cuts the temporary file; nothing is renamed.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<std::string> failed;
    for (const char* name : { "t.bmp", "t.ppm", "t.png", "t.tif", "t.jpg", "t.jp2" }) {
        ASSERT_TRUE(name);
        WriteBytes(folder / name, old);
        RecordingJob job;
        if (SaveFile(job, source, folder / name) != LProcessResultError)
            failed.push_back(std::string(name) + " did not fail");
        if (ReadBytes(folder / name) != old)
            failed.push_back(std::string(name) + " changed");
        if (job.error != "Det gick inte att spara bilden"
            && job.error != "Det gick inte att skriva filen.")
            failed.push_back(std::string(name) + ": " + job.error);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(failed.empty()) << testing::PrintToString(failed);
    EXPECT_EQ(folder.Entries().size(), 6u);
}

namespace {

int gRenameCalls = 0;
int FailWithEXDEV(const char*, const char*)
{
    ++gRenameCalls;
    errno = EXDEV;
    return -1;
}

} // namespace

TEST(ImageFile, SaveAcrossVolumes)
{
    TempFolder folder;
    LImageBuffer source;
    LoadFixture("base.png", source);
    ASSERT_TRUE(WriteBytes(folder / "x.png", { 'o', 'l', 'd' }));
    _LFileSetRenameHook(FailWithEXDEV);
    RecordingJob job;
    const LProcessResult result = SaveFile(job, source, folder / "x.png");
    _LFileSetRenameHook(nullptr);
    EXPECT_GT(gRenameCalls, 0);
    EXPECT_EQ(result, LProcessResultSuccess) << job.error;
    LImageBuffer back;
    EXPECT_EQ(LImage::Load(back, (folder / "x.png").c_str(), 3000), 24u) << "an opaque PNG";
    EXPECT_EQ(folder.Entries(), std::vector<std::string> { "x.png" });
}

// ---- Formats through the platform's image I/O --------------------------------------------------

struct PlatformCase {
    const char* file;
    const char* ref;
    int tolerance;
    bool alpha;
    int dpi; // 0: none in the file
};

void PrintTo(const PlatformCase& c, std::ostream* os)
{
    *os << c.file;
}

class PlatformFixtures : public ::testing::TestWithParam<PlatformCase> { };

TEST_P(PlatformFixtures, DecodeAsImageMagickDoes)
{
    const PlatformCase& c = GetParam();
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(c.ref), ref));
    LImageBuffer buffer;
    RecordingJob job;
    uint32_t bits = 0;
    ASSERT_EQ(LoadFile(job, Fixture(c.file), buffer, nullptr, &bits), LProcessResultSuccess)
        << job.error;
    EXPECT_GT(bits, 0u);
    EXPECT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8A8);
    EXPECT_FALSE(buffer.IsBottomUp());
    const int diff = MaxDifference(buffer, ref, c.alpha);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, c.tolerance);
    EXPECT_NEAR(buffer.GetFormat().horizontalResolution, c.dpi / 0.0254, 1.0);
    EXPECT_NEAR(buffer.GetFormat().verticalResolution, c.dpi / 0.0254, 1.0);

    // Cut files fail without a crash (a few cuts through the data).
    std::vector<uint8_t> whole = ReadBytes(Fixture(c.file));
    // (The second frame of the GIF begins after its first half.)
    for (size_t n : { size_t(0), size_t(1), size_t(8), whole.size() / 4, whole.size() / 2 }) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(n));
        LInputStreamBuffer stream(cut.data(), cut.size());
        LImageBuffer out;
        LProcessCGImageLoad<LInputStreamBuffer> request(stream, out);
        LProcessInterfaceVoid quiet;
        EXPECT_EQ(Process(quiet, request), LProcessResultError) << c.file << " cut at " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(All, PlatformFixtures,
    ::testing::Values(PlatformCase { "base.png", "p6.ref.ppm", 0, false, 0 },
        PlatformCase { "png16.png", "png16.ref.ppm", 1, false, 0 },
        PlatformCase { "palette.png", "palette.ref.ppm", 0, false, 0 },
        PlatformCase { "alpha150.png", "alpha150.ref.pam", 0, true, 150 },
        PlatformCase { "rgb300.jpg", "rgb300.ref.ppm", 1, false, 300 },
        PlatformCase { "cmyk.jpg", "cmyk.ref.ppm", 2, false, 0 },
        PlatformCase { "grey.jpg", "grey.jpg.ref.ppm", 1, false, 0 },
        // The colour map's 16-bit entries are rounded; ImageMagick truncates some of them.
        PlatformCase { "palette.tif", "palette.tif.ref.ppm", 1, false, 72 },
        PlatformCase { "rgba.tif", "rgba.tif.ref.pam", 0, true, 200 },
        PlatformCase { "grey.jp2", "grey.jp2.ref.ppm", 0, false, 0 },
        PlatformCase { "rgb.jp2", "rgb.jp2.ref.ppm", 0, false, 0 },
        PlatformCase { "anim.gif", "anim.ref.ppm", 0, false, 0 }),
    [](const auto& info) {
        std::string n = info.param.file;
        n[n.find('.')] = '_';
        return n;
    });

TEST(ImageFile, CameraRaw)
{
    LImageBuffer buffer;
    RecordingJob job;
    uint32_t bits = 0;
    ASSERT_EQ(LoadFile(job, Fixture("linear.dng"), buffer, nullptr, &bits), LProcessResultSuccess)
        << job.error;
    EXPECT_EQ(job.status, "Avkodning RAW bild");
    EXPECT_EQ(buffer.GetWidth(), 32);
    EXPECT_EQ(buffer.GetHeight(), 24);
    uint8_t left[4], right[4];
    BufferPixel(buffer, 2, 12, left);
    BufferPixel(buffer, 29, 12, right);
    EXPECT_GT(left[0], 150);
    EXPECT_LT(left[2], 80);
    EXPECT_GT(right[2], 150);
    EXPECT_LT(right[0], 80);
    // On the main thread the development runs on a worker; the result is the same.
    LThreadSetMainThread();
    ASSERT_TRUE(LThreadIsMainThread());
    LImageBuffer again;
    ASSERT_EQ(LoadFile(job, Fixture("linear.dng"), again), LProcessResultSuccess) << job.error;
    EXPECT_EQ(std::memcmp(again.GetData(), buffer.GetData(), size_t(buffer.GetStride()) * 24), 0);
    // A cut raw file is refused.
    std::vector<uint8_t> whole = ReadBytes(Fixture("linear.dng"));
    TempFolder folder;
    WriteBytes(folder / "cut.dng", std::vector<uint8_t>(whole.begin(), whole.begin() + 300));
    EXPECT_EQ(LoadFile(job, folder / "cut.dng", buffer), LProcessResultError);
}

TEST(ImageFile, WrittenFormatsKeepPixelsAndResolution)
{
    TempFolder folder;
    LImageBuffer source;
    LoadFixture("alpha150.png", source);
    // 150 dots per inch as ImageMagick stores them in a PNG: 5905 pixels per metre.
    ASSERT_EQ(source.GetFormat().horizontalResolution, 5905);
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("alpha150.ref.pam"), ref));
    const bool haveIM = HaveTool("/usr/bin/convert");

    LImageEncodeSettings lossless;
    lossless.jpeg2000QualityGiven = 0; // quality 100: lossless
    struct Case {
        const char* name;
        int tolerance; // colour
        bool alpha; // the file keeps the alpha
        uint32_t bits;
    };
    for (const Case& c : { Case { "o.png", 0, true, 32 }, Case { "o.tif", 0, true, 32 },
             Case { "o.bmp", 0, true, 32 }, Case { "o.jp2", 0, true, 32 },
             Case { "o.jpg", 3, false, 24 } }) {
        SCOPED_TRACE(c.name);
        RecordingJob job;
        ASSERT_EQ(SaveFile(job, source, folder / c.name, lossless), LProcessResultSuccess)
            << job.error;
        LImageBuffer back;
        uint32_t bits = 0;
        ASSERT_EQ(LoadFile(job, folder / c.name, back, nullptr, &bits), LProcessResultSuccess)
            << job.error;
        EXPECT_EQ(bits, c.bits);
        if (c.alpha) {
            EXPECT_EQ(MaxDifference(back, ref, true), 0);
        } else {
            // JPEG drops the alpha: the stored colours, opaque (chroma subsampling blurs the
            // colour edges of this small picture).
            uint8_t p[4];
            BufferPixel(back, 0, 0, p);
            EXPECT_EQ(p[3], 255);
            EXPECT_LE(MaxDifference(back, ref, false), 48);
        }
        EXPECT_NEAR(back.GetFormat().horizontalResolution, 5906, 2);
        EXPECT_NEAR(back.GetFormat().verticalResolution, 5906, 2);
        // ImageMagick reads the same file (and, where it reports them, the same dots per inch).
        if (haveIM) {
            ASSERT_TRUE(RunCommand("/usr/bin/convert " + folder / c.name
                + " -depth 8 -strip pam:" + folder / "im.pam"));
            RefImage im;
            ASSERT_TRUE(ReadRef(folder / "im.pam", im));
            EXPECT_LE(MaxDifference(back, im, c.alpha), 1);
        }
    }
    if (haveIM) {
        for (const char* name : { "o.png", "o.tif", "o.jpg", "o.bmp" }) {
            ASSERT_TRUE(RunCommand("/usr/bin/identify -units PixelsPerInch -format '%x' "
                + folder / name + " > " + folder / "dpi.txt"));
            std::vector<uint8_t> text = ReadBytes(folder / "dpi.txt");
            EXPECT_NEAR(std::atof(std::string(text.begin(), text.end()).c_str()), 150.0, 0.1)
                << name;
        }
    }

    // Without a resolution nothing is recorded; JPEG 2000 with a quality is lossy but close.
    source.SetResolution(0, 0);
    LImageEncodeSettings lossy;
    lossy.jpeg2000Quality = 80;
    for (const char* name : { "n.png", "n.jpg", "n.tif", "n.jp2" }) {
        RecordingJob job;
        ASSERT_EQ(SaveFile(job, source, folder / name, lossy), LProcessResultSuccess) << name;
        LImageBuffer back;
        ASSERT_EQ(LoadFile(job, folder / name, back), LProcessResultSuccess) << name;
        EXPECT_EQ(back.GetFormat().horizontalResolution, 0) << name;
        EXPECT_LE(MaxDifference(back, ref, false), 40) << name;
    }

    // Other pixel formats and bottom-up buffers are written the right way up.
    LImageBuffer bottomUp(LImageFormat(LPixelFormatB8G8R8, 37, 23, true));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint8_t* q = ref.At(x, y);
            unsigned char* p = bottomUp.GetPictureRow(y) + x * 3;
            p[0] = q[2], p[1] = q[1], p[2] = q[0];
        }
    for (const char* name : { "u.png", "u.tif", "u.bmp", "u.ppm" }) {
        RecordingJob job;
        ASSERT_EQ(SaveFile(job, bottomUp, folder / name), LProcessResultSuccess) << name;
        LImageBuffer back;
        ASSERT_EQ(LoadFile(job, folder / name, back), LProcessResultSuccess) << name;
        EXPECT_EQ(MaxDifference(back, ref, false), 0) << name;
    }
}

TEST(ImageFile, MemoryEncoders)
{
    LImageBuffer source;
    LoadFixture("base.png", source);
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("p6.ref.ppm"), ref));
    LProcessInterfaceVoid job;
    LSizedArray<unsigned char> array;
    {
        LOutputStreamByteArray stream(array);
        LProcessPNGSave<LOutputStreamByteArray> save(source, stream);
        ASSERT_EQ(Process(job, save), LProcessResultSuccess);
    }
    LInputStreamBuffer in(array.GetData(), array.GetCount());
    LImageBuffer back;
    LProcessPNGLoad<LInputStreamBuffer> load(in, 2, 7, back);
    ASSERT_EQ(Process(job, load), LProcessResultSuccess);
    EXPECT_EQ(load.result, 24u) << "the picture is opaque: no alpha channel";
    EXPECT_EQ(MaxDifference(back, ref), 0);
    // The bitmap kind of the platform writer: 24 bits, colours as stored.
    LSizedArray<unsigned char> bmp;
    LOutputStreamByteArray bmpStream(bmp);
    LProcessCGImageSave<LOutputStreamByteArray> kind0(source, bmpStream, LCGImageSaveBMP, -1);
    ASSERT_TRUE(LCGImageSaveWriteImage(kind0));
    EXPECT_EQ(LImage::Load(back, bmp.GetData(), bmp.GetCount(), LImage::EncodingBMP), 24u);
    EXPECT_EQ(MaxDifference(back, ref), 0);
    LProcessCGImageSave<LOutputStreamByteArray> kind5(source, bmpStream, 5, -1);
    EXPECT_FALSE(LCGImageSaveWriteImage(kind5));
}

TEST(ImageFile, PNGAndTIFFAlphaOptions)
{
    // One transparent, one half-transparent and one opaque pixel.
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8A8, 3, 1));
    const uint8_t pixels[] = { 0, 0, 255, 0, 0, 255, 0, 128, 255, 0, 0, 255 };
    std::memcpy(source.GetRow(0), pixels, sizeof pixels);
    LProcessInterfaceVoid job;
    for (bool tiff : { false, true }) {
        for (bool keep : { true, false }) {
            LImageAlphaOptions options;
            options.keepAlpha = keep;
            options.background = 0x302010; // blue 0x10, green 0x20, red 0x30
            LSizedArray<unsigned char> array;
            LOutputStreamByteArray stream(array);
            LProcessResult result;
            if (tiff) {
                LProcessTIFFSave<LOutputStreamByteArray> save(source, stream, &options);
                result = Process(job, save);
            } else {
                LProcessPNGSave<LOutputStreamByteArray> save(source, stream, &options);
                result = Process(job, save);
            }
            ASSERT_EQ(result, LProcessResultSuccess) << tiff << keep;
            LImageBuffer back;
            const uint32_t bits = LImage::Load(back, array.GetData(), array.GetCount(),
                tiff ? LImage::EncodingTIFF : LImage::EncodingPNG);
            EXPECT_EQ(bits, keep ? 32u : 24u) << tiff;
            ASSERT_EQ(back.GetWidth(), 3);
            const uint8_t* row = back.GetPictureRow(0);
            if (keep) {
                EXPECT_EQ(row[3], 0);
                EXPECT_EQ(row[7], 128);
                EXPECT_EQ(row[5], 255);
                continue;
            }
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(row[x * 4 + 3], 255) << x;
            // Transparent: the background; half: the mean (rounded); opaque: unchanged.
            EXPECT_EQ(row[0], 0x10);
            EXPECT_EQ(row[1], 0x20);
            EXPECT_EQ(row[2], 0x30);
            EXPECT_EQ(row[4], (0x10 * 127 + 0 * 128 + 127) / 255);
            EXPECT_EQ(row[5], (0x20 * 127 + 255 * 128 + 127) / 255);
            EXPECT_EQ(row[6], (0x30 * 127 + 0 * 128 + 127) / 255);
            EXPECT_EQ(row[8], 255);
            EXPECT_EQ(row[10], 0);
        }
    }
}
