// Small helpers the codecs share for reading their streams (LInputStreamFile, LInputStreamBuffer)
// and writing them (LOutputStreamFile, LOutputStreamByteArray).
#pragma once

#include "lfw/gen/LStream.h"

#include <cstdint>
#include <cstring>

// The bytes left from the stream's position; UINT64_MAX when the stream's size is not known.
template <class S> inline uint64_t LImageStreamRemaining(const S& stream)
{
    const uint64_t size = stream.GetSize();
    if (size == kLStreamSizeUnknown)
        return UINT64_MAX;
    const uint64_t at = stream.Tell();
    return size > at ? size - at : 0;
}

// Exactly n bytes or false.
template <class S> inline bool LImageStreamReadExact(S& stream, void* out, size_t n)
{
    return stream.Read(out, n) == n;
}

inline uint16_t LImageGetLE16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t LImageGetLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void LImagePutLE16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void LImagePutLE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline uint16_t LImageGetBE16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t LImageGetBE32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline void LImagePutBE16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void LImagePutBE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Byte-at-a-time reading through a read-ahead buffer, for the parsers that look at one byte at
// a time (run-length data, text headers and samples). It reads ahead of what it hands out.
template <class S> class LImageByteReader {
public:
    explicit LImageByteReader(S& stream)
        : mStream(stream)
    {
    }
    LImageByteReader(const LImageByteReader&) = delete;
    LImageByteReader& operator=(const LImageByteReader&) = delete;

    // The next byte, or -1 at the end of the data.
    int Get()
    {
        if (mPos == mEnd && !Fill())
            return -1;
        return mBuffer[mPos++];
    }
    // The next byte without taking it, or -1.
    int Peek()
    {
        if (mPos == mEnd && !Fill())
            return -1;
        return mBuffer[mPos];
    }
    // Up to n bytes; fewer only at the end of the data.
    size_t Read(void* out, size_t n)
    {
        auto* p = static_cast<uint8_t*>(out);
        size_t done = 0;
        while (done < n) {
            if (mPos == mEnd) {
                // Large reads go straight to the stream once the buffer is empty.
                if (n - done >= sizeof mBuffer) {
                    size_t got = mStream.Read(p + done, n - done);
                    done += got;
                    break;
                }
                if (!Fill())
                    break;
            }
            size_t take = mEnd - mPos < n - done ? mEnd - mPos : n - done;
            std::memcpy(p + done, mBuffer + mPos, take);
            mPos += take;
            done += take;
        }
        return done;
    }
    // Passes over n bytes; false when the data end first.
    bool Skip(uint64_t n)
    {
        const size_t buffered = mEnd - mPos;
        if (n <= buffered) {
            mPos += size_t(n);
            return true;
        }
        mPos = mEnd;
        return mStream.Skip(n - buffered);
    }
    // The bytes still to come: the buffered ones and the stream's remainder (UINT64_MAX when
    // unknown).
    uint64_t Remaining() const
    {
        uint64_t rest = LImageStreamRemaining(mStream);
        return rest == UINT64_MAX ? rest : rest + (mEnd - mPos);
    }

private:
    bool Fill()
    {
        mPos = 0;
        mEnd = mStream.Read(mBuffer, sizeof mBuffer);
        return mEnd > 0;
    }

    S& mStream;
    size_t mPos = 0;
    size_t mEnd = 0;
    uint8_t mBuffer[16384];
};

// Reports progress at most every hundredth, asking for a stop each time: false when asked to.
class LImageProgress {
public:
    LImageProgress(LProcessInterface& job, double start = 0.0, double span = 1.0)
        : mJob(job)
        , mStart(start)
        , mSpan(span)
    {
    }
    bool Update(double fraction)
    {
        if (fraction - mLast < 0.01)
            return true;
        mLast = fraction;
        mJob.SetProgress(mStart + mSpan * fraction);
        return !mJob.IsToStop();
    }

private:
    LProcessInterface& mJob;
    double mStart, mSpan;
    double mLast = 0.0;
};
