#include "lfw/gen/LLZW.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

bool LLZWEncodingDictionary::Reset()
{
    m_nextCode = m_firstFree;
    const size_t count = size_t(1) << kMaximumBits;
    if (!m_codes.GetData()) {
        if (!m_codes.SetArrayCapacityLarge(count))
            return false;
        m_codes.SetSize(count);
    }
    std::memset(m_codes.GetData(), 0, count * sizeof(LLZWCode));
    return true;
}

bool LLZWEncodingDictionary::Update(int& found, int prefix, uint8_t byte)
{
    LLZWCode* codes = m_codes.GetData();
    LLZWCode& parent = codes[prefix];
    if (parent.firstChild == 0) {
        parent.firstChild = uint16_t(m_nextCode);
    } else {
        int code = parent.firstChild;
        for (;;) {
            LLZWCode& entry = codes[code];
            if (entry.value == byte) {
                found = code;
                return true;
            }
            if (entry.nextSibling == 0) {
                entry.nextSibling = uint16_t(m_nextCode);
                break;
            }
            code = entry.nextSibling;
        }
    }
    LLZWCode& added = codes[m_nextCode++];
    added.value = byte;
    added.firstChild = 0;
    added.nextSibling = 0;
    return false;
}

namespace {

// The growing output: a byte buffer and the bit accumulator in front of it.
class BitWriter {
public:
    explicit BitWriter(bool leastSignificantFirst)
        : m_lsbFirst(leastSignificantFirst)
    {
    }

    bool Init()
    {
        m_capacity = 8192;
        m_data.reset(static_cast<uint8_t*>(std::malloc(m_capacity)));
        return m_data != nullptr;
    }

    // Adds one code of width bits; false when the buffer cannot grow.
    bool Put(uint32_t code, int width)
    {
        if (m_size + 4 > m_capacity && !Grow())
            return false;
        if (m_lsbFirst) {
            m_bits |= uint64_t(code) << m_count;
            m_count += width;
            while (m_count >= 8) {
                m_data.get()[m_size++] = uint8_t(m_bits);
                m_bits >>= 8;
                m_count -= 8;
            }
        } else {
            m_bits = (m_bits << width) | code;
            m_count += width;
            while (m_count >= 8) {
                m_count -= 8;
                m_data.get()[m_size++] = uint8_t(m_bits >> m_count);
            }
            m_bits &= (uint64_t(1) << m_count) - 1;
        }
        return true;
    }

    // Writes the bits still held as one last byte.
    void Flush()
    {
        if (m_count == 0)
            return;
        m_data.get()[m_size++] = m_lsbFirst ? uint8_t(m_bits) : uint8_t(m_bits << (8 - m_count));
        m_bits = 0;
        m_count = 0;
    }

    const uint8_t* GetData() const { return m_data.get(); }
    size_t GetSize() const { return m_size; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    bool Grow()
    {
        // Geometric growth, so that large images are not copied over and over.
        const size_t capacity = m_capacity * 2;
        auto* p = static_cast<uint8_t*>(std::realloc(m_data.get(), capacity));
        if (!p)
            return false;
        (void)m_data.release();
        m_data.reset(p);
        m_capacity = capacity;
        return true;
    }

    bool m_lsbFirst;
    std::unique_ptr<uint8_t, Free> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
    uint64_t m_bits = 0;
    int m_count = 0;
};

// Stop requests and progress are looked at once per this many input bytes.
constexpr size_t kPollInterval = 4096;

} // namespace

LProcessResult LLZWCodec::Encode(LProcessInterface& process, LSizedArray<unsigned char>& output,
    const unsigned char* data, size_t length, bool leastSignificantFirst) const
{
    if (!data || length == 0)
        return LProcessResultError;
    const int maxCode = (1 << LLZWEncodingDictionary::kMaximumBits) - 1; // 4095
    // The first free code must fit the first width, or a decoder would widen at another moment.
    if (m_initialCodeWidth < 2 || m_initialCodeWidth > LLZWEncodingDictionary::kMaximumBits
        || m_clearCode < 1 || m_endCode < 1 || m_clearCode >= (1 << m_initialCodeWidth)
        || m_endCode >= (1 << m_initialCodeWidth) || m_earlyChange < 0
        || std::max(m_clearCode, m_endCode) + 1 + m_earlyChange >= (1 << m_initialCodeWidth))
        return LProcessResultError;

    // Every byte is a one-byte string: its value must lie below both special codes.
    const int byteLimit = std::min(m_clearCode, m_endCode);
    LLZWEncodingDictionary dictionary(std::max(m_clearCode, m_endCode) + 1);
    BitWriter out(leastSignificantFirst);
    if (!dictionary.Reset() || !out.Init())
        return LProcessResultError;

    int width = m_initialCodeWidth;
    if (!out.Put(uint32_t(m_clearCode), width))
        return LProcessResultError;
    if (data[0] >= byteLimit)
        return LProcessResultError;
    int prefix = data[0];
    size_t nextPoll = kPollInterval;
    for (size_t i = 1; i < length; ++i) {
        if (i >= nextPoll) {
            nextPoll = i + kPollInterval;
            if (process.IsToStop())
                return LProcessResultStopped;
            process.SetProgress(double(i) / double(length));
        }
        const uint8_t byte = data[i];
        if (byte >= byteLimit)
            return LProcessResultError;
        int found;
        if (dictionary.Update(found, prefix, byte)) {
            prefix = found;
            continue;
        }
        if (!out.Put(uint32_t(prefix), width))
            return LProcessResultError;
        const int next = dictionary.GetNextCode() + m_earlyChange;
        if (next == maxCode) {
            // The table is full: start again.
            if (!out.Put(uint32_t(m_clearCode), width))
                return LProcessResultError;
            dictionary.Reset();
            width = m_initialCodeWidth;
        } else if (next > (1 << width)) {
            ++width;
        }
        prefix = byte;
    }
    if (!out.Put(uint32_t(prefix), width) || !out.Put(uint32_t(m_endCode), width))
        return LProcessResultError;
    out.Flush();
    process.SetProgress(1.0);

    if (!output.SetArrayCapacityLarge(out.GetSize())) {
        output.SetSize(0);
        return LProcessResultError;
    }
    std::memcpy(output.GetData(), out.GetData(), out.GetSize());
    output.SetSize(out.GetSize());
    return LProcessResultSuccess;
}
