// PNM reader and writer.
#include "lfw/graphics/LPNMCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LImageProcessBlackAndWhite.h"
#include "lfw/graphics/LPixelAccess.h"
#include "lfw/graphics/LPixelRows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Samples from 0..maxval to 0..255 (truncating); samples above maxval count as maxval.
struct SampleScale {
    explicit SampleScale(uint32_t maxval)
        : mMax(maxval)
    {
        if (maxval < 256)
            for (uint32_t n = 0; n < 256; ++n)
                mTable[n] = uint8_t(std::min(n, maxval) * 255 / maxval);
    }
    uint8_t operator()(uint32_t n) const
    {
        if (mMax < 256)
            return mTable[n < 256 ? n : 255];
        return uint8_t(std::min(n, mMax) * 255 / mMax);
    }
    uint32_t mMax;
    uint8_t mTable[256] = {};
};

template <class S> class PNMReader {
public:
    PNMReader(LProcessInterface& job, S& stream, LImageBuffer& buffer)
        : mJob(job)
        , mIn(stream)
        , mBuffer(buffer)
    {
    }

    // "P" and a digit 1 to 6.
    bool ReadFileType(LPNM_FileType& type)
    {
        const int p = mIn.Get(), digit = mIn.Get();
        if (p != 'P' || digit < '1' || digit > '6')
            return false;
        type = LPNM_FileType(digit - '1');
        return true;
    }

    // Whitespace (bytes below 33) and comments ("#" to the end of the line) up to the next
    // byte of 33 or more, which is left. True there or at the end of the data; false when the
    // data ends inside a comment.
    bool SkipWhitespaceOrComment()
    {
        for (;;) {
            int c = mIn.Peek();
            if (c < 0)
                return true;
            if (c == '#') {
                do {
                    c = mIn.Get();
                    if (c < 0)
                        return false;
                } while (c != '\n');
                continue;
            }
            if (c >= 33)
                return true;
            mIn.Get();
        }
    }

    // A run of decimal digits. False when the next byte is no digit or the number does not fit
    // 31 bits.
    bool ReadNumberASCII(int& value)
    {
        int c = mIn.Peek();
        if (c < '0' || c > '9')
            return false;
        uint64_t n = 0;
        while ((c = mIn.Peek()) >= '0' && c <= '9') {
            mIn.Get();
            n = n * 10 + unsigned(c - '0');
            if (n > 0x7FFFFFFF)
                return false;
        }
        value = int(n);
        return true;
    }

    LProcessResult Read(int32_t& bitsPerPixel);

private:
    // Progress of the text readers and the greymap and pixmap raw readers: a stop test and a
    // step every ceil(height / 100) rows.
    struct Steps {
        Steps(LProcessInterface& job, int height)
            : job(job)
            , rows((height + 99) / 100)
            , step(double(rows) / height)
        {
        }
        bool Start()
        {
            job.SetProgress(0);
            return !job.IsToStop();
        }
        bool Row(int y)
        {
            if ((y + 1) % rows)
                return true;
            if (job.IsToStop())
                return false;
            progress += step;
            job.SetProgress(progress);
            return true;
        }
        LProcessResult End()
        {
            job.SetProgress(1);
            return LProcessResultSuccess;
        }
        LProcessInterface& job;
        int rows;
        double step;
        double progress = 0;
    };

    uint8_t* Pixel(int x, int y) { return mBuffer.GetRow(y) + size_t(x) * 3; }
    static void Grey(uint8_t* p, uint8_t v) { p[0] = p[1] = p[2] = v; }

    // The text bitmap and greymap readers: readGrey(v) reads the grey level of one pixel, false
    // on bad data.
    template <class ReadGrey> LProcessResult ReadPixelsGreyASCII(ReadGrey readGrey);
    LProcessResult ReadPixelsPBMASCII();
    LProcessResult ReadPixelsPGMASCII(uint32_t maxval);
    LProcessResult ReadPixelsPPMASCII(uint32_t maxval);
    LProcessResult ReadPixelsPBMRaw();
    LProcessResult ReadPixelsPGMRaw8bpp(uint32_t maxval) { return ReadPixelsPGMRaw(maxval, false); }
    LProcessResult ReadPixelsPGMRaw16bpp(uint32_t maxval) { return ReadPixelsPGMRaw(maxval, true); }
    LProcessResult ReadPixelsPPMRaw24bpp(uint32_t maxval)
    {
        return ReadPixelsPPMRaw(maxval, false);
    }
    LProcessResult ReadPixelsPPMRaw48bpp(uint32_t maxval) { return ReadPixelsPPMRaw(maxval, true); }
    // The raw greymap and pixmap readers; wide: two bytes per sample, most significant first.
    LProcessResult ReadPixelsPGMRaw(uint32_t maxval, bool wide);
    LProcessResult ReadPixelsPPMRaw(uint32_t maxval, bool wide);

    LProcessInterface& mJob;
    LImageByteReader<S> mIn;
    LImageBuffer& mBuffer;
};

template <class S> LProcessResult PNMReader<S>::Read(int32_t& bitsPerPixel)
{
    LPNM_FileType type;
    int width = 0, height = 0, maxval = 1;
    if (!ReadFileType(type) || !SkipWhitespaceOrComment() || !ReadNumberASCII(width)
        || !SkipWhitespaceOrComment() || !ReadNumberASCII(height))
        return LProcessResultError;
    const bool bitmap = type == LPNM_P1 || type == LPNM_P4;
    const bool pixmap = type == LPNM_P3 || type == LPNM_P6;
    const bool raw = type >= LPNM_P4;
    if (!bitmap
        && (!SkipWhitespaceOrComment() || !ReadNumberASCII(maxval) || maxval < 1 || maxval > 65535))
        return LProcessResultError;
    if (raw) {
        const int c = mIn.Get();
        if (c < 0 || c >= 33)
            return LProcessResultError;
    } else if (!SkipWhitespaceOrComment()) {
        return LProcessResultError;
    }
    if (!LImageSizeAcceptable(width, height))
        return LProcessResultError;

    // The data must be able to hold the pixels before any memory is taken for them.
    const bool wide = maxval >= 256;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const uint64_t samples = pixels * (pixmap ? 3 : 1);
    uint64_t needed;
    if (type == LPNM_P4)
        needed = (uint64_t(width) + 7) / 8 * uint64_t(height);
    else if (raw)
        needed = samples * (wide ? 2 : 1);
    else if (type == LPNM_P1)
        needed = pixels;
    else
        needed = samples * 2 - 1; // digits and the whitespace between them
    const uint64_t remaining = mIn.Remaining();
    if (remaining != UINT64_MAX && remaining < needed)
        return LProcessResultError;

    bitsPerPixel = bitmap ? 1 : (pixmap ? 24 : 8) * (wide ? 2 : 1);
    mBuffer.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, width, height));
    if (!mBuffer.IsValid())
        return LProcessResultError;

    switch (type) {
    case LPNM_P1:
        return ReadPixelsPBMASCII();
    case LPNM_P2:
        return ReadPixelsPGMASCII(uint32_t(maxval));
    case LPNM_P3:
        return ReadPixelsPPMASCII(uint32_t(maxval));
    case LPNM_P4:
        return ReadPixelsPBMRaw();
    case LPNM_P5:
        return wide ? ReadPixelsPGMRaw16bpp(uint32_t(maxval))
                    : ReadPixelsPGMRaw8bpp(uint32_t(maxval));
    case LPNM_P6:
        return wide ? ReadPixelsPPMRaw48bpp(uint32_t(maxval))
                    : ReadPixelsPPMRaw24bpp(uint32_t(maxval));
    }
    return LProcessResultError;
}

template <class S>
template <class ReadGrey>
LProcessResult PNMReader<S>::ReadPixelsGreyASCII(ReadGrey readGrey)
{
    const int width = mBuffer.GetWidth(), height = mBuffer.GetHeight();
    Steps steps(mJob, height);
    if (!steps.Start())
        return LProcessResultStopped;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t v;
            if (!readGrey(v))
                return LProcessResultError;
            Grey(Pixel(x, y), v);
            // A comment running to the end of the data ends the pixels.
            if (!SkipWhitespaceOrComment())
                return x == width - 1 && y == height - 1 ? steps.End() : LProcessResultError;
        }
        if (!steps.Row(y))
            return LProcessResultStopped;
    }
    return steps.End();
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPBMASCII()
{
    return ReadPixelsGreyASCII([this](uint8_t& v) {
        const int c = mIn.Get();
        v = c == '1' ? 0 : 255;
        return c == '0' || c == '1';
    });
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPGMASCII(uint32_t maxval)
{
    const SampleScale scale(maxval);
    return ReadPixelsGreyASCII([this, &scale](uint8_t& v) {
        int n;
        if (!ReadNumberASCII(n))
            return false;
        v = scale(uint32_t(n));
        return true;
    });
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPPMASCII(uint32_t maxval)
{
    const int width = mBuffer.GetWidth(), height = mBuffer.GetHeight();
    const SampleScale scale(maxval);
    Steps steps(mJob, height);
    if (!steps.Start())
        return LProcessResultStopped;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int rgb[3];
            for (int c = 0; c < 3; ++c) {
                if (!ReadNumberASCII(rgb[c]))
                    return LProcessResultError;
                if (!SkipWhitespaceOrComment()) {
                    if (c < 2 || x != width - 1 || y != height - 1)
                        return LProcessResultError;
                }
            }
            uint8_t* p = Pixel(x, y);
            p[0] = scale(uint32_t(rgb[2]));
            p[1] = scale(uint32_t(rgb[1]));
            p[2] = scale(uint32_t(rgb[0]));
        }
        if (!steps.Row(y))
            return LProcessResultStopped;
    }
    return steps.End();
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPBMRaw()
{
    const int width = mBuffer.GetWidth(), height = mBuffer.GetHeight();
    const size_t rowBytes = (size_t(width) + 7) / 8;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    if (!line)
        return LProcessResultError;
    LImageProgress progress(mJob);
    mJob.SetProgress(0);
    if (mJob.IsToStop())
        return LProcessResultStopped;
    for (int y = 0; y < height; ++y) {
        if (mIn.Read(line.get(), rowBytes) != rowBytes)
            return LProcessResultError;
        uint8_t* p = mBuffer.GetRow(y);
        for (int x = 0; x < width; ++x, p += 3)
            Grey(p, (line[size_t(x) / 8] >> (7 - x % 8)) & 1 ? 0 : 255);
        if (!progress.Update(double(y + 1) / height))
            return LProcessResultStopped;
    }
    mJob.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPGMRaw(uint32_t maxval, bool wide)
{
    const int width = mBuffer.GetWidth(), height = mBuffer.GetHeight();
    const size_t rowBytes = size_t(width) * (wide ? 2 : 1);
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    if (!line)
        return LProcessResultError;
    const SampleScale scale(maxval);
    Steps steps(mJob, height);
    if (!steps.Start())
        return LProcessResultStopped;
    for (int y = 0; y < height; ++y) {
        if (mIn.Read(line.get(), rowBytes) != rowBytes)
            return LProcessResultError;
        uint8_t* p = mBuffer.GetRow(y);
        const uint8_t* in = line.get();
        if (wide)
            for (int x = 0; x < width; ++x, p += 3, in += 2)
                Grey(p, scale(uint32_t(in[0]) << 8 | in[1]));
        else
            for (int x = 0; x < width; ++x, p += 3)
                Grey(p, scale(in[x]));
        if (!steps.Row(y))
            return LProcessResultStopped;
    }
    return steps.End();
}

template <class S> LProcessResult PNMReader<S>::ReadPixelsPPMRaw(uint32_t maxval, bool wide)
{
    const int width = mBuffer.GetWidth(), height = mBuffer.GetHeight();
    const size_t samples = size_t(width) * 3;
    std::unique_ptr<uint8_t[]> line;
    if (wide) {
        line.reset(new (std::nothrow) uint8_t[samples * 2]);
        if (!line)
            return LProcessResultError;
    }
    const SampleScale scale(maxval);
    Steps steps(mJob, height);
    if (!steps.Start())
        return LProcessResultStopped;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = mBuffer.GetRow(y);
        if (wide) {
            if (mIn.Read(line.get(), samples * 2) != samples * 2)
                return LProcessResultError;
            const uint8_t* in = line.get();
            for (size_t i = 0; i < samples; i += 3, in += 6) {
                row[i + 2] = scale(uint32_t(in[0]) << 8 | in[1]);
                row[i + 1] = scale(uint32_t(in[2]) << 8 | in[3]);
                row[i] = scale(uint32_t(in[4]) << 8 | in[5]);
            }
        } else {
            // R, G, B straight into the row, then turned into B, G, R there.
            if (mIn.Read(row, samples) != samples)
                return LProcessResultError;
            if (maxval != 255)
                for (size_t i = 0; i < samples; ++i)
                    row[i] = scale(row[i]);
            LPixelRows::SwapRedBlue24(row, row, size_t(width));
        }
        if (!steps.Row(y))
            return LProcessResultStopped;
    }
    return steps.End();
}

// Appends a decimal number below 65536.
inline char* PutNumber(char* p, unsigned v)
{
    char digits[8];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        *p++ = digits[--n];
    return p;
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNMLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "PNM");
    r.result = 0;
    PNMReader<S> reader(job, r.stream, r.buffer);
    int32_t bits = 0;
    const LProcessResult result = reader.Read(bits);
    if (bits)
        r.result = bits;
    return result;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNMSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "PNM");
    const LImageBuffer& src = r.buffer;
    if (r.variant > 5 || !src.IsValid())
        return LProcessResultError;
    const unsigned digit = r.variant + 1;
    const unsigned kind = digit % 3; // 1 bitmap, 2 greymap, 0 pixmap
    const bool raw = digit >= 4;
    const int width = src.GetWidth(), height = src.GetHeight();
    const pixelformat_t format = src.GetPixelFormat();

    char header[64];
    const int headerLength = kind == 1
        ? std::snprintf(header, sizeof header, "P%u\n%d %d\n", digit, width, height)
        : std::snprintf(header, sizeof header, "P%u\n%d %d\n255\n", digit, width, height);
    if (!r.stream.Write(header, size_t(headerLength)))
        return LProcessResultError;

    // One row of values: R, G, B for pixmaps, the grey level for the others (the red channel of
    // the row after the black-and-white effect), as a bitmap value 1 black or 0 white.
    const size_t valuesPerRow = size_t(width) * (kind == 0 ? 3 : 1);
    std::vector<uint8_t> values, copy, out;
    std::vector<LPixelColour> pixels;
    try {
        values.resize(valuesPerRow);
        copy.resize(size_t(src.GetFormat().RowBytes()));
        pixels.resize(size_t(width));
        out.resize(raw ? (size_t(width) + 7) / 8 : valuesPerRow * 6 + 2);
    } catch (const std::bad_alloc&) {
        return LProcessResultError;
    }

    for (int y = 0; y < height; ++y) {
        const unsigned char* row = src.GetPictureRow(y);
        if (kind == 0 && format == LPixelFormatB8G8R8A8) {
            LPixelRows::DropAlphaSwap(values.data(), row, size_t(width));
        } else if (kind == 0 && format == LPixelFormatB8G8R8) {
            LPixelRows::SwapRedBlue24(values.data(), row, size_t(width));
        } else if (kind != 0 && (format == LPixelFormatB8G8R8 || format == LPixelFormatB8G8R8A8)) {
            // The grey level of the black-and-white effect straight from the row.
            const size_t step = format == LPixelFormatB8G8R8 ? 3 : 4;
            const unsigned char* p = row;
            for (int x = 0; x < width; ++x, p += step) {
                const unsigned grey = LImageProcessBlackAndWhite::Grey(p[0], p[1], p[2]);
                values[size_t(x)] = kind == 2 ? uint8_t(grey) : grey < r.threshold ? 1 : 0;
            }
        } else {
            std::memcpy(copy.data(), row, copy.size());
            const bool known = LPixelAccess::VisitPixelStruct(format, [&](auto pixel) {
                using P = decltype(pixel);
                P* p = reinterpret_cast<P*>(copy.data());
                if (kind != 0 && format <= LPixelFormatR8G8B8A8)
                    LImageProcessBlackAndWhite::ProcessRow(p, size_t(width));
                for (int x = 0; x < width; ++x)
                    pixels[size_t(x)] = LPixelAccess::Read(p[x]);
            });
            if (!known)
                return LProcessResultError;
            for (int x = 0; x < width; ++x) {
                const LPixelColour& c = pixels[size_t(x)];
                if (kind == 0) {
                    values[size_t(x) * 3] = c.r;
                    values[size_t(x) * 3 + 1] = c.g;
                    values[size_t(x) * 3 + 2] = c.b;
                } else if (kind == 2) {
                    values[size_t(x)] = c.r;
                } else {
                    values[size_t(x)] = c.r < r.threshold ? 1 : 0;
                }
            }
        }

        size_t length;
        const uint8_t* bytes = out.data();
        if (raw && kind == 1) {
            const size_t bytes = (size_t(width) + 7) / 8;
            std::memset(out.data(), 0, bytes);
            for (int x = 0; x < width; ++x)
                if (values[size_t(x)])
                    out[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            length = bytes;
        } else if (raw) {
            bytes = values.data();
            length = valuesPerRow;
        } else {
            char* p = reinterpret_cast<char*>(out.data());
            for (size_t i = 0; i < valuesPerRow; ++i) {
                if (i)
                    *p++ = ' ';
                p = PutNumber(p, values[i]);
            }
            *p++ = '\n';
            length = size_t(p - reinterpret_cast<char*>(out.data()));
        }
        if (!r.stream.Write(bytes, length))
            return LProcessResultError;
        job.SetProgress(double(y + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessPNMLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPNMLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessPNMSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPNMSave<LOutputStreamByteArray>&);
