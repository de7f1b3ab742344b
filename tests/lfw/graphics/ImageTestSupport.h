// Helpers of the image codec tests: fixtures, reference pictures (binary PPM and PAM as the
// independent tools wrote them), pixel comparison, temporary folders and jobs that stop.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageBuffer.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace imagetest {

inline std::string Fixture(const std::string& name)
{
    return std::string(VT_TEST_DATA) + "/images/" + name;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// A picture as R, G, B, A bytes per pixel (A 255 when the file has none).
struct RefImage {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint8_t> rgba;

    const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// Reads a binary PPM (P6), PGM (P5) or PAM (P7) of maxval 255 (false otherwise).
inline bool ReadRef(const std::string& path, RefImage& out)
{
    std::vector<uint8_t> data = ReadBytes(path);
    size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < data.size()) {
            if (data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n')
                    ++pos;
            } else if (std::isspace(data[pos])) {
                ++pos;
            } else {
                break;
            }
        }
        while (pos < data.size() && !std::isspace(data[pos]))
            t += char(data[pos++]);
        return t;
    };
    std::string magic = token();
    int channels = 0, maxval = 0;
    if (magic == "P6" || magic == "P5") {
        out.width = std::atoi(token().c_str());
        out.height = std::atoi(token().c_str());
        maxval = std::atoi(token().c_str());
        channels = magic == "P6" ? 3 : 1;
    } else if (magic == "P7") {
        for (std::string t = token(); t != "ENDHDR" && !t.empty(); t = token()) {
            if (t == "WIDTH")
                out.width = std::atoi(token().c_str());
            else if (t == "HEIGHT")
                out.height = std::atoi(token().c_str());
            else if (t == "DEPTH")
                channels = std::atoi(token().c_str());
            else if (t == "MAXVAL")
                maxval = std::atoi(token().c_str());
        }
    } else {
        return false;
    }
    ++pos; // the single whitespace byte after the header
    const size_t pixels = size_t(out.width) * out.height;
    if (maxval != 255 || channels < 1 || channels > 4 || data.size() < pos + pixels * channels)
        return false;
    out.hasAlpha = channels == 2 || channels == 4;
    out.rgba.resize(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = &data[pos + i * channels];
        uint8_t* q = &out.rgba[i * 4];
        if (channels <= 2) {
            q[0] = q[1] = q[2] = p[0];
            q[3] = channels == 2 ? p[1] : 255;
        } else {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            q[3] = channels == 4 ? p[3] : 255;
        }
    }
    return true;
}

// The pixel at (x, y) of the picture (top row 0) of a B8G8R8A8 or B8G8R8 buffer as R, G, B, A.
inline void BufferPixel(const LImageBuffer& b, int x, int y, uint8_t rgba[4])
{
    const unsigned char* row = b.GetPictureRow(y);
    if (b.GetPixelFormat() == LPixelFormatB8G8R8A8) {
        const unsigned char* p = row + size_t(x) * 4;
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = p[3];
    } else {
        const unsigned char* p = row + size_t(x) * 3;
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = 255;
    }
}

// The pixel at (x, y) as { R, G, B, A }, for comparing with EXPECT_EQ.
inline std::vector<int> PixelRGBA(const LImageBuffer& b, int x, int y)
{
    uint8_t p[4];
    BufferPixel(b, x, y, p);
    return { p[0], p[1], p[2], p[3] };
}

// A B8G8R8A8 picture whose pixel (x, y) is f(x, y) as R, G, B, A.
template <class F> void Paint(LImageBuffer& b, int w, int h, F f, bool bottomUp = false)
{
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, w, h, bottomUp));
    for (int y = 0; y < h; ++y) {
        unsigned char* row = b.GetPictureRow(y);
        for (int x = 0; x < w; ++x) {
            const std::array<int, 4> c = f(x, y);
            row[x * 4] = uint8_t(c[2]);
            row[x * 4 + 1] = uint8_t(c[1]);
            row[x * 4 + 2] = uint8_t(c[0]);
            row[x * 4 + 3] = uint8_t(c[3]);
        }
    }
}

// The bytes of a followed by those of b, for building files piece by piece.
inline std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The largest difference of a channel between the buffer and the reference (alpha only when
// asked); -1 when the sizes differ or the buffer is not B8G8R8A8 or B8G8R8.
inline int MaxDifference(const LImageBuffer& b, const RefImage& ref, bool alpha = false)
{
    if (!b.IsValid() || b.GetWidth() != ref.width || b.GetHeight() != ref.height
        || (b.GetPixelFormat() != LPixelFormatB8G8R8A8 && b.GetPixelFormat() != LPixelFormatB8G8R8))
        return -1;
    int worst = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            uint8_t p[4];
            BufferPixel(b, x, y, p);
            const uint8_t* q = ref.At(x, y);
            for (int c = 0; c < (alpha ? 4 : 3); ++c)
                worst = std::max(worst, std::abs(int(p[c]) - int(q[c])));
        }
    return worst;
}

// A fresh folder under the temporary folder ($TMPDIR, else /tmp), removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vt-codecs-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        mPath = made ? made : "";
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!mPath.empty())
            std::filesystem::remove_all(mPath, ec);
    }
    const std::string& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }
    // The names of the entries in the folder.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(mPath, ec))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::string mPath;
};

// A job that remembers its last error and status texts and asks to stop after a number of
// stop tests (never when negative).
class RecordingJob : public LProcessInterfaceVoid {
public:
    explicit RecordingJob(int stopAfter = -1)
        : mStopAfter(stopAfter)
    {
    }
    bool IsToStop() override { return mStopAfter >= 0 && mTests++ >= mStopAfter; }
    void SetError(const char* text) override { error = text ? text : ""; }
    void SetStatus(const char* text, int level) override
    {
        status = text ? text : "";
        statusLevel = level;
        statuses.push_back(status);
    }
    void SetProgress(double fraction) override
    {
        lastProgress = fraction;
        ++progressReports;
    }

    std::string error;
    std::string status;
    std::vector<std::string> statuses;
    int statusLevel = -1;
    double lastProgress = -1;
    int progressReports = 0;

private:
    int mStopAfter;
    int mTests = 0;
};

// Runs a command line; true when it exited with 0. Tests that need a tool skip without it.
inline bool RunCommand(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

inline bool HaveTool(const char* path)
{
    return std::filesystem::exists(path);
}

// Fills a buffer of any format with a repeatable pattern of bytes.
inline void FillPattern(LImageBuffer& b, uint32_t seed = 1)
{
    uint32_t v = seed * 2654435761u;
    for (int y = 0; y < b.GetHeight(); ++y) {
        unsigned char* row = b.GetRow(y);
        for (uint64_t i = 0; i < b.GetStride(); ++i) {
            v = v * 1664525u + 1013904223u;
            row[i] = uint8_t(v >> 24);
        }
    }
}

// A reader's answer on bytes in memory: the job's result and the request's result value.
struct CodecLoaded {
    LProcessResult result = LProcessResultError;
    int32_t value = 0;
};

// Runs the Load<LInputStreamBuffer> request of a codec on bytes.
template <template <class> class Load>
CodecLoaded LoadBytes(
    const std::vector<uint8_t>& bytes, LImageBuffer& buffer, LProcessInterface* job = nullptr)
{
    LInputStreamBuffer stream(bytes.data(), bytes.size());
    LProcessInterfaceVoid quiet;
    Load<LInputStreamBuffer> request(stream, buffer);
    CodecLoaded out;
    out.result = Process(job ? *job : quiet, request);
    out.value = int32_t(request.result);
    return out;
}

// Runs the Save<LOutputStreamByteArray>(image, stream) request of a codec: the bytes written, or
// nothing when the writer failed.
template <template <class> class Save>
std::vector<uint8_t> SaveBytes(const LImageBuffer& image, LProcessInterface* job = nullptr)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LProcessInterfaceVoid quiet;
    Save<LOutputStreamByteArray> request(image, stream);
    if (Process(job ? *job : quiet, request) != LProcessResultSuccess)
        return {};
    return std::vector<uint8_t>(array.GetData(), array.GetData() + array.GetCount());
}

// Every cut of the bytes shorter than upTo fails with 2.
template <template <class> class Load>
void ExpectCutsFail(const std::vector<uint8_t>& bytes, size_t upTo, const std::string& what)
{
    for (size_t n = 0; n < upTo && n < bytes.size(); ++n) {
        LImageBuffer buffer;
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + ptrdiff_t(n));
        const CodecLoaded l = LoadBytes<Load>(cut, buffer);
        if (l.result != LProcessResultError) {
            ADD_FAILURE() << what << " cut to " << n << " bytes gave " << l.result;
            return;
        }
    }
}

// A B8G8R8 (or B8G8R8A8 with alpha) buffer of the reference picture.
inline void BufferFromRef(const RefImage& ref, LImageBuffer& out, bool alpha = false)
{
    out.AllocateNewBuffer(
        LImageFormat(alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8, ref.width, ref.height));
    for (int y = 0; y < ref.height; ++y) {
        unsigned char* p = out.GetRow(y);
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* q = ref.At(x, y);
            *p++ = q[2];
            *p++ = q[1];
            *p++ = q[0];
            if (alpha)
                *p++ = q[3];
        }
    }
}

// The start of an RGB PNG of the size: its signature, header chunk (IHDR) and the first data
// chunk's length and type (IDAT, empty), no pixel data. A reader knows the picture's size from it
// and nothing more.
inline std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> png = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13 };
    const size_t chunk = png.size();
    png.insert(png.end(), { 'I', 'H', 'D', 'R' });
    for (uint32_t v : { width, height })
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(v >> shift));
    png.insert(png.end(), { 8, 2, 0, 0, 0 }); // 8 bits, RGB, deflate, no filter, no interlace
    // The chunk's CRC-32 over its type and data, bit by bit.
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = chunk; i < png.size(); ++i) {
        crc ^= png[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(uint8_t(crc >> shift));
    png.insert(png.end(), { 0, 0, 0, 0, 'I', 'D', 'A', 'T' });
    return png;
}

} // namespace imagetest
