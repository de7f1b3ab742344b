// The PCX, TGA, Sun raster, WBMP and PSD codecs reached through the codec table: by file
// extension, by memory encoding, in the save filter list, and the errors of files that are not
// what their names say.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"

#include <gtest/gtest.h>

using namespace imagetest;

TEST(RasterFormats, LoadAndSaveByExtensionAndEncoding)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("pcx24.ref.ppm"), ref));
    LImageBuffer source;
    BufferFromRef(ref, source);
    TempFolder folder;
    struct Format {
        const char* extension;
        uint32_t encoding;
        unsigned bits;
    };
    for (const Format& f :
        { Format { "pcx", LImage::EncodingPCX, 24 }, Format { "tga", LImage::EncodingTGA, 24 },
            Format { "ras", LImage::EncodingRAS, 24 }, Format { "psd", LImage::EncodingPSD, 32 },
            Format { "wbmp", LImage::EncodingWBMP, 2 } }) {
        const std::string path = folder / (std::string("picture.") + f.extension);
        ASSERT_TRUE(LImage::Save(source, path.c_str())) << f.extension;
        LImageBuffer back;
        EXPECT_EQ(LImage::Load(back, path.c_str(), 0), f.bits) << f.extension;
        EXPECT_EQ(back.GetWidth(), ref.width);
        if (f.encoding != LImage::EncodingWBMP) {
            EXPECT_EQ(MaxDifference(back, ref), 0) << f.extension;
        }
        const std::vector<uint8_t> bytes = ReadBytes(path);
        EXPECT_EQ(LImage::Load(back, bytes.data(), bytes.size(), f.encoding), f.bits)
            << f.extension;
        EXPECT_EQ(LImage::Load(back, bytes.data(), bytes.size() / 2, f.encoding), 0u)
            << f.extension;
    }
    // Only the written files are left.
    EXPECT_EQ(folder.Entries().size(), 5u);
}

TEST(RasterFormats, FilesThatAreNotWhatTheirNamesSay)
{
    TempFolder folder;
    LImageBuffer buffer;
    for (const char* name : { "a.pcx", "b.tga", "c.ras", "d.psd", "e.wbmp" }) {
        for (const std::vector<uint8_t>& bytes :
            { std::vector<uint8_t> {}, std::vector<uint8_t> { 'h', 'e', 'l', 'l', 'o', '\n' } }) {
            ASSERT_TRUE(WriteBytes(folder / name, bytes));
            RecordingJob job;
            LProcessImageLoadFile request((folder / name).c_str(), 0, nullptr, buffer);
            EXPECT_EQ(Process(job, request), LProcessResultError) << name;
            EXPECT_EQ(job.error, "Det gick inte att läsa in bilden.") << name;
        }
    }
}

TEST(RasterFormats, SaveFilterList)
{
    LImageCodecFilterList list;
    ASSERT_TRUE(list.Init(LImageIOTypeSave, LImageCodecVetoer()));
    std::vector<int32_t> codecs;
    for (const LImageCodecFilterItem& item : list)
        codecs.push_back(item.codec);
    for (uint32_t codec : { LImageCodec::PCX, LImageCodec::PSD, LImageCodec::RAS, LImageCodec::TGA,
             LImageCodec::WBMP })
        EXPECT_NE(std::find(codecs.begin(), codecs.end(), int32_t(codec)), codecs.end()) << codec;
}

TEST(RasterFormats, StopRequests)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("pcx24.ref.ppm"), ref));
    LImageBuffer source;
    BufferFromRef(ref, source);
    // Readers test for a stop before the pixels; the PCX, TGA and PSD writers while writing.
    for (uint32_t codec : { LImageCodec::PCX, LImageCodec::TGA, LImageCodec::RAS, LImageCodec::PSD,
             LImageCodec::WBMP }) {
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessInterfaceVoid quiet;
        LProcessImageSave<LOutputStreamByteArray> save(source, codec, LImageEncodeSettings(), out);
        ASSERT_EQ(Process(quiet, save), LProcessResultSuccess) << codec;
        const bool writerStops = codec != LImageCodec::RAS && codec != LImageCodec::WBMP;
        if (writerStops) {
            LSizedArray<unsigned char> other;
            LOutputStreamByteArray stopped(other);
            RecordingJob job(0);
            LProcessImageSave<LOutputStreamByteArray> again(
                source, codec, LImageEncodeSettings(), stopped);
            EXPECT_EQ(Process(job, again), LProcessResultStopped) << codec;
        }
        LInputStreamBuffer in(array.GetData(), array.GetCount());
        LImageBuffer back;
        RecordingJob job(0);
        LProcessImageLoad<LInputStreamBuffer> load(in, codec, back);
        EXPECT_EQ(Process(job, load), LProcessResultStopped) << codec;
        EXPECT_FALSE(job.statuses.empty());
    }
}
