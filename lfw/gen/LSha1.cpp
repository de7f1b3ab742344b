#include "lfw/gen/LSha1.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define VT_SHA1_X86 1
#endif

namespace {

inline uint32_t Rol(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadBE32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The portable block function: 80 rounds over a 16-word rolling schedule.
void ProcessBlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3], h4 = state[4];
    for (; blocks != 0; --blocks, data += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = LoadBE32(data + 4 * i);
        uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;

#define VT_SHA1_W(t)                                                                               \
    (w[(t)&15] = Rol(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))
#define VT_SHA1_ROUND(f, k, wt)                                                                    \
    do {                                                                                           \
        uint32_t tmp = Rol(a, 5) + (f) + e + (k) + (wt);                                           \
        e = d;                                                                                     \
        d = c;                                                                                     \
        c = Rol(b, 30);                                                                            \
        b = a;                                                                                     \
        a = tmp;                                                                                   \
    } while (0)

        for (int t = 0; t < 16; ++t)
            VT_SHA1_ROUND((b & c) | (~b & d), 0x5A827999u, w[t]);
        for (int t = 16; t < 20; ++t)
            VT_SHA1_ROUND((b & c) | (~b & d), 0x5A827999u, VT_SHA1_W(t));
        for (int t = 20; t < 40; ++t)
            VT_SHA1_ROUND(b ^ c ^ d, 0x6ED9EBA1u, VT_SHA1_W(t));
        for (int t = 40; t < 60; ++t)
            VT_SHA1_ROUND((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, VT_SHA1_W(t));
        for (int t = 60; t < 80; ++t)
            VT_SHA1_ROUND(b ^ c ^ d, 0xCA62C1D6u, VT_SHA1_W(t));
#undef VT_SHA1_ROUND
#undef VT_SHA1_W

        h0 += a;
        h1 += b;
        h2 += c;
        h3 += d;
        h4 += e;
    }
    state[0] = h0;
    state[1] = h1;
    state[2] = h2;
    state[3] = h3;
    state[4] = h4;
}

#ifdef VT_SHA1_X86

// The block function on the SHA extensions. Four rounds per group; group k uses message
// register m[k % 4] and the round constant group k / 5. The schedule of the words of group k is
// started three groups earlier (sha1msg1), continued two earlier (xor) and finished one earlier
// (sha1msg2).
__attribute__((target("sha,sse4.1"))) void ProcessBlocksShaNi(
    uint32_t state[5], const uint8_t* data, size_t blocks)
{
    const __m128i mask = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd
        = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(int(state[4]), 0, 0, 0);

    for (; blocks != 0; --blocks, data += 64) {
        const __m128i abcdSave = abcd;
        const __m128i eSave = e0;
        __m128i m0
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0)), mask);
        __m128i m1
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16)), mask);
        __m128i m2
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32)), mask);
        __m128i m3
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48)), mask);
        __m128i e1;

        // Group 0.
        e0 = _mm_add_epi32(e0, m0);
        e1 = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);

// One group: eCur takes this group's words, eNext keeps abcd for the following group.
#define VT_SHA1_GROUP(func, eCur, eNext, mCur, mNext, mAfter, mLast, doMsg2, doXor, doMsg1)        \
    eCur = _mm_sha1nexte_epu32(eCur, mCur);                                                        \
    eNext = abcd;                                                                                  \
    if (doMsg2)                                                                                    \
        mNext = _mm_sha1msg2_epu32(mNext, mCur);                                                   \
    abcd = _mm_sha1rnds4_epu32(abcd, eCur, func);                                                  \
    if (doMsg1)                                                                                    \
        mLast = _mm_sha1msg1_epu32(mLast, mCur);                                                   \
    if (doXor)                                                                                     \
        mAfter = _mm_xor_si128(mAfter, mCur);

        //            func  eCur eNext mCur mNext mAfter mLast msg2 xor msg1
        VT_SHA1_GROUP(0, e1, e0, m1, m2, m3, m0, false, false, true) // 1
        VT_SHA1_GROUP(0, e0, e1, m2, m3, m0, m1, false, true, true) // 2
        VT_SHA1_GROUP(0, e1, e0, m3, m0, m1, m2, true, true, true) // 3
        VT_SHA1_GROUP(0, e0, e1, m0, m1, m2, m3, true, true, true) // 4
        VT_SHA1_GROUP(1, e1, e0, m1, m2, m3, m0, true, true, true) // 5
        VT_SHA1_GROUP(1, e0, e1, m2, m3, m0, m1, true, true, true) // 6
        VT_SHA1_GROUP(1, e1, e0, m3, m0, m1, m2, true, true, true) // 7
        VT_SHA1_GROUP(1, e0, e1, m0, m1, m2, m3, true, true, true) // 8
        VT_SHA1_GROUP(1, e1, e0, m1, m2, m3, m0, true, true, true) // 9
        VT_SHA1_GROUP(2, e0, e1, m2, m3, m0, m1, true, true, true) // 10
        VT_SHA1_GROUP(2, e1, e0, m3, m0, m1, m2, true, true, true) // 11
        VT_SHA1_GROUP(2, e0, e1, m0, m1, m2, m3, true, true, true) // 12
        VT_SHA1_GROUP(2, e1, e0, m1, m2, m3, m0, true, true, true) // 13
        VT_SHA1_GROUP(2, e0, e1, m2, m3, m0, m1, true, true, true) // 14
        VT_SHA1_GROUP(3, e1, e0, m3, m0, m1, m2, true, true, true) // 15
        VT_SHA1_GROUP(3, e0, e1, m0, m1, m2, m3, true, true, true) // 16
        VT_SHA1_GROUP(3, e1, e0, m1, m2, m3, m0, true, true, false) // 17
        VT_SHA1_GROUP(3, e0, e1, m2, m3, m0, m1, true, false, false) // 18
        VT_SHA1_GROUP(3, e1, e0, m3, m0, m1, m2, false, false, false) // 19
#undef VT_SHA1_GROUP

        e0 = _mm_sha1nexte_epu32(e0, eSave);
        abcd = _mm_add_epi32(abcd, abcdSave);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e0, 3));
}

bool CpuHasShaNi()
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool sse41 = (c & bit_SSE4_1) != 0, ssse3 = (c & bit_SSSE3) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return sse41 && ssse3 && (b & (1u << 29)) != 0;
}

#endif

using BlockFunction = void (*)(uint32_t*, const uint8_t*, size_t);

BlockFunction ChooseBlockFunction()
{
#ifdef VT_SHA1_X86
    if (CpuHasShaNi())
        return ProcessBlocksShaNi;
#endif
    return ProcessBlocksPortable;
}

std::atomic<BlockFunction> gBlockFunction { ChooseBlockFunction() };

} // namespace

void _LSha1ProcessBlocks(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    gBlockFunction.load(std::memory_order_relaxed)(state, data, blocks);
}

void _LSha1UseHardware(bool use)
{
    gBlockFunction.store(use ? ChooseBlockFunction() : ProcessBlocksPortable);
}

LSha1::LSha1()
    : mState { 0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u }
    , mLengthLow(0)
    , mLengthHigh(0)
    , mBlock {}
    , mBlockIndex(0)
    , mComputed(false)
    , mCorrupted(false)
{
}

void LSha1::Update(const void* data, size_t length)
{
    if (length == 0)
        return;
    if (mComputed || mCorrupted) {
        mCorrupted = true;
        return;
    }

    // The bit length grows by 8 * length; past 64 bits the message is too long.
    const uint64_t before = (uint64_t(mLengthHigh) << 32) | mLengthLow;
    const uint64_t maxBytes = (~uint64_t(0) - before) / 8;
    if (uint64_t(length) > maxBytes) {
        mCorrupted = true;
        return;
    }
    const uint64_t after = before + uint64_t(length) * 8;
    mLengthLow = uint32_t(after);
    mLengthHigh = uint32_t(after >> 32);

    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (mBlockIndex != 0) {
        const size_t take = std::min<size_t>(64 - mBlockIndex, length);
        std::memcpy(mBlock + mBlockIndex, p, take);
        mBlockIndex += uint32_t(take);
        p += take;
        length -= take;
        if (mBlockIndex < 64)
            return;
        ProcessMessageBlock();
    }
    if (length >= 64) {
        const size_t blocks = length / 64;
        _LSha1ProcessBlocks(mState, p, blocks);
        p += blocks * 64;
        length -= blocks * 64;
    }
    if (length != 0) {
        std::memcpy(mBlock, p, length);
        mBlockIndex = uint32_t(length);
    }
}

void LSha1::ProcessMessageBlock()
{
    _LSha1ProcessBlocks(mState, mBlock, 1);
    mBlockIndex = 0;
}

void LSha1::PadMessage()
{
    mBlock[mBlockIndex++] = 0x80;
    if (mBlockIndex > 56) {
        std::memset(mBlock + mBlockIndex, 0, 64 - mBlockIndex);
        ProcessMessageBlock();
    }
    std::memset(mBlock + mBlockIndex, 0, 56 - mBlockIndex);
    for (int i = 0; i < 4; ++i) {
        mBlock[56 + i] = uint8_t(mLengthHigh >> (24 - 8 * i));
        mBlock[60 + i] = uint8_t(mLengthLow >> (24 - 8 * i));
    }
    ProcessMessageBlock();
}

bool LSha1::GetDigest(uint32_t* out, size_t)
{
    if (mCorrupted)
        return false;
    if (!mComputed) {
        PadMessage();
        std::memset(mBlock, 0, sizeof mBlock);
        mComputed = true;
    }
    std::memcpy(out, mState, sizeof mState);
    return true;
}
