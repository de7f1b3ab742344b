// The picture encoder's queue: a picture that comes into a project gets its PNG bytes made in the
// background, bytes that decode (read back by the PNG reader and by ImageMagick) to its pixels; a
// picture that nobody but the queue holds any more is dropped unencoded. The progress of an
// encoding under way is told to a save that waits for it. A save encodes its pictures side by
// side, into the same bytes.
#include "app/VTPictureEncoder.h"
#include "app/VTProjectFile.h"
#include "lfw/graphics/LImageFile.h"
#include "platform/system/System.h"
#include "support/ProgramRun.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A picture that tells when it goes and whether it had its bytes then.
class WatchedPicture : public VTCountableImageBuffer {
public:
    WatchedPicture(int width, int height, uint32_t seed, std::atomic<int>& gone, bool& encoded)
        : fGone(gone)
        , fEncoded(encoded)
    {
        sample::MakePicture(*this, width, height, seed);
    }
    ~WatchedPicture() override
    {
        fEncoded = GetEncodedPNG() != nullptr;
        ++fGone;
    }

private:
    std::atomic<int>& fGone;
    bool& fEncoded;
};

// Noise, which compresses badly: a picture that takes the encoder a while.
LCountedPtr<VTCountableImageBuffer> Noise(int width, int height)
{
    LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
    picture->AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    uint32_t x = 12345;
    for (uint64_t i = 0; i < uint64_t(picture->GetStride()) * uint64_t(height); ++i) {
        x = x * 1103515245u + 12345u;
        picture->GetData()[i] = uint8_t(x >> 16);
    }
    return picture;
}

bool WaitIdle()
{
    return programrun::WaitFor([] { return !VTPictureEncoder::Busy(); }, 120000, 10);
}

// The processor time (ms) the encoder's thread has taken so far; -1 while it has none.
long long EncoderCpuMs()
{
    long long ms = -1;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            const std::string task = std::string("/proc/self/task/") + entry->d_name;
            std::ifstream comm(task + "/comm");
            std::string name;
            if (!std::getline(comm, name) || name != "Bildkodning")
                continue;
            std::ifstream statFile(task + "/stat");
            std::string stat(
                (std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
            std::istringstream fields(stat.substr(stat.rfind(')') + 2));
            std::string field;
            long long ticks = 0;
            for (int i = 1; i <= 13 && fields >> field; ++i)
                if (i >= 12)
                    ticks += std::atoll(field.c_str());
            ms = ticks * 1000 / sysconf(_SC_CLK_TCK);
        }
        closedir(dir);
    }
    return ms;
}

} // namespace

TEST(PictureEncoder, StartMakesThePicturesPNGBytes)
{
    LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
    sample::MakePicture(*picture, 300, 200, 5);
    ASSERT_EQ(picture->GetEncodedPNG(), nullptr);
    VTPictureEncoder::Start(picture);
    ASSERT_TRUE(WaitIdle());
    VTCountableImageBuffer::Encoded png = picture->GetEncodedPNG();
    ASSERT_NE(png, nullptr) << "the encoder made no bytes";
    ASSERT_GT(png->size(), 8u);
    EXPECT_EQ(std::string(png->begin(), png->begin() + 8), "\x89PNG\r\n\x1a\n");

    // Decoded, the bytes are the picture, alpha and all.
    LImageBuffer decoded;
    ASSERT_GT(LImage::Load(decoded, png->data(), png->size(), LImage::EncodingPNG), 0u);
    ASSERT_EQ(decoded.GetWidth(), 300);
    ASSERT_EQ(decoded.GetHeight(), 200);
    ASSERT_EQ(decoded.GetPixelFormat(), LPixelFormatB8G8R8A8);
    int different = 0;
    for (int y = 0; y < 200; ++y)
        different += std::memcmp(decoded.GetPictureRow(y), picture->GetPictureRow(y), 300 * 4) != 0;
    EXPECT_EQ(different, 0);

    // ImageMagick reads the same size from them.
    TemporaryFolder folder;
    const std::string path = folder / "kodad.png";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    if (!programrun::Shell("command -v identify").empty()) {
        EXPECT_EQ(
            programrun::Shell("identify -format '%w %h' " + programrun::Quote(path)), "300 200");
    }

    // Started again, a picture with its bytes is left alone: the same bytes stay.
    VTPictureEncoder::Start(picture);
    EXPECT_EQ(picture->GetEncodedPNG(), png);
}

// A picture queued behind long encodings and then let go by everyone else is dropped without
// being encoded; the ones being encoded go on for their holder. The encoder's workers take
// pictures side by side, one a processor: as many long ones as there are processors are queued
// first, so that none is free for the other while they are encoded (a few seconds each on a
// loaded machine, where the workers get what other programs leave).
TEST(PictureEncoder, APictureNobodyHoldsIsDroppedUnencoded)
{
    const int workers = platform::system::ProcessorCount();
    std::vector<LCountedPtr<VTCountableImageBuffer>> busy;
    for (int i = 0; i < workers; ++i)
        busy.push_back(Noise(2000, 1500));
    std::atomic<int> gone { 0 };
    bool encoded = false;
    {
        LCountedPtr<VTCountableImageBuffer> dropped(
            new WatchedPicture(1000, 1000, 3, gone, encoded));
        for (const auto& picture : busy)
            VTPictureEncoder::Start(picture);
        VTPictureEncoder::Start(dropped);
    }
    // The dropped picture lay behind the long ones if none of them was done yet.
    const bool behind = std::none_of(
        busy.begin(), busy.end(), [](const auto& picture) { return picture->GetEncodedPNG(); });
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(gone.load(), 1);
    if (behind) {
        EXPECT_FALSE(encoded) << "a picture nobody held was encoded";
    } else {
        std::printf("a long picture was done before the other was let go: not telling\n");
    }
    for (const auto& picture : busy)
        EXPECT_NE(picture->GetEncodedPNG(), nullptr);
}

// A save that needs the bytes of a picture the encoder is encoding waits for them, told the
// progress of that encoding as it goes; the picture then let go by everyone, the encoding stops
// without its bytes (a picture of 48 million noisy pixels takes seconds to encode).
TEST(PictureEncoder, AWaitingSaveIsToldTheProgressAndALetGoPictureStops)
{
    std::atomic<int> gone { 0 };
    bool encoded = false;
    LCountedPtr<VTCountableImageBuffer> picture(new WatchedPicture(8000, 6000, 9, gone, encoded));
    VTPictureEncoder::Start(picture);
    // Under way once the encoder's thread has worked a while.
    ASSERT_TRUE(programrun::WaitFor([] { return EncoderCpuMs() >= 100; }, 60000, 5));
    std::vector<double> told;
    class Watching : public LProcessInterfaceVoid {
    public:
        explicit Watching(std::vector<double>& told)
            : fTold(told)
        {
        }
        void SetProgress(double fraction) override { fTold.push_back(fraction); }
        // Stopped once the progress has moved.
        bool IsToStop() override
        {
            return std::count_if(fTold.begin(), fTold.end(), [&](double f) {
                return f > 0 && f != fTold.front();
            }) >= 2;
        }

    private:
        std::vector<double>& fTold;
    } waiting(told);
    LProcessResult result = LProcessResultSuccess;
    VTCountableImageBuffer::Encoded bytes = picture->EncodePNG(waiting, result);
    // Seconds of encoding are told: the wait ends on the progress seen, before the bytes come.
    ASSERT_EQ(result, LProcessResultStopped) << "the encoding's progress was not told";
    EXPECT_EQ(bytes, nullptr);
    for (size_t i = 1; i < told.size(); ++i)
        EXPECT_GE(told[i], told[i - 1]);
    EXPECT_LT(told.back(), 1.0);
    picture.reset();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(gone.load(), 1);
    EXPECT_FALSE(encoded) << "the encoding of a picture nobody held went on to its end";
}

// A save's pictures are encoded side by side: a small one is done while a long one is still being
// encoded, though it comes after it. The bytes are those one encoding alone makes.
TEST(PictureEncoder, ASaveEncodesItsPicturesSideBySide)
{
    if (platform::system::ProcessorCount() < 2)
        GTEST_SKIP() << "one processor";
    LCountedPtr<VTCountableImageBuffer> longOne = Noise(6000, 4000);
    LCountedPtr<VTCountableImageBuffer> small(new VTCountableImageBuffer);
    sample::MakePicture(*small, 300, 200, 4);
    VTProjectEncodePictures encode { { longOne, small } };
    std::atomic<bool> ended { false };
    LProcessResult result = LProcessResultError;
    std::thread saving([&] {
        LProcessInterfaceVoid job;
        result = Process(job, encode);
        ended = true;
    });
    ASSERT_TRUE(programrun::WaitFor([&] { return small->GetEncodedPNG() || ended; }, 120000, 1));
    const bool longDone = longOne->GetEncodedPNG() != nullptr;
    saving.join();
    EXPECT_FALSE(longDone) << "the small picture waited for the long one";
    ASSERT_EQ(result, LProcessResultSuccess);
    ASSERT_NE(longOne->GetEncodedPNG(), nullptr);

    LCountedPtr<VTCountableImageBuffer> alone(new VTCountableImageBuffer);
    LImageBufferAllocateAndCopy(*alone, *small);
    LProcessInterfaceVoid job;
    LProcessResult aloneResult = LProcessResultError;
    VTCountableImageBuffer::Encoded bytes = alone->EncodePNG(job, aloneResult);
    ASSERT_NE(bytes, nullptr);
    ASSERT_NE(small->GetEncodedPNG(), nullptr);
    EXPECT_EQ(*small->GetEncodedPNG(), *bytes);
}
