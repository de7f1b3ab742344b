#include "lfw/graphics/LPixelRows.h"

#include <cstring>
#include <cwchar>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LPIXELROWS_X86 1
#endif

namespace LPixelRows {
namespace {

// ---- scalar forms (tails and machines without the vector units) ----

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}
inline uint32_t Swap02(uint32_t v)
{
    return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
}
// round(c x a / 255) for c, a in 0..255.
inline uint32_t MulDiv255(uint32_t c, uint32_t a)
{
    uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

void SwapRedBlueScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        Store32(dst + 4 * i, Swap02(Load32(src + 4 * i)));
}
void DropAlphaScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 3)
        dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
}
void DropAlphaSwapScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 3)
        dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
}
void AddAlphaScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 3, dst += 4)
        dst[0] = src[0], dst[1] = src[1], dst[2] = src[2], dst[3] = 255;
}
void AddAlphaSwapScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 3, dst += 4)
        dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 255;
}
template <bool kSwap> void PremultiplyScalar(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const uint32_t v = Load32(src);
        const uint32_t a = v >> 24;
        if (a == 255 || v == 0) { // premultiplied as they are
            if (kSwap || dst != src)
                Store32(dst, kSwap ? Swap02(v) : v);
            continue;
        }
        const uint8_t c0 = uint8_t(MulDiv255(src[kSwap ? 2 : 0], a));
        const uint8_t c1 = uint8_t(MulDiv255(src[1], a));
        const uint8_t c2 = uint8_t(MulDiv255(src[kSwap ? 0 : 2], a));
        dst[0] = c0, dst[1] = c1, dst[2] = c2, dst[3] = uint8_t(a);
    }
}

// p x 255 / a rounded, at most 255; 0 for a = 0. Indexed [a][p].
struct UnpremultiplyTable {
    uint8_t v[256][256];
    UnpremultiplyTable()
    {
        for (unsigned a = 0; a < 256; ++a)
            for (unsigned p = 0; p < 256; ++p) {
                unsigned c = a ? (p * 255 + a / 2) / a : 0;
                v[a][p] = uint8_t(c > 255 ? 255 : c);
            }
    }
};
const UnpremultiplyTable& Unpremul()
{
    static const UnpremultiplyTable table;
    return table;
}

template <bool kSwap>
void UnpremultiplyScalar(const UnpremultiplyTable& t, uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        uint32_t v = Load32(src);
        const uint32_t a = v >> 24;
        if (a == 255) {
            if (kSwap || dst != src)
                Store32(dst, kSwap ? Swap02(v) : v);
            continue;
        }
        const uint8_t* row = t.v[a];
        const uint8_t c0 = row[src[kSwap ? 2 : 0]];
        const uint8_t c1 = row[src[1]];
        const uint8_t c2 = row[src[kSwap ? 0 : 2]];
        dst[0] = c0, dst[1] = c1, dst[2] = c2, dst[3] = uint8_t(a);
    }
}

#ifdef LPIXELROWS_X86

bool HasSSSE3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
bool HasAVX2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Every 256-bit routine clears the upper register halves itself (_mm256_zeroupper) before its
// scalar tail and before it returns. The compiler does not always do so before a tail call, and
// code of the old SSE encoding that runs afterwards with dirty upper halves (Cairo's and pixman's
// drawing, for one) runs at half speed or worse.
__attribute__((target("avx2"))) void SwapRedBlueAVX2(uint8_t* dst, const uint8_t* src, size_t n)
{
    const __m256i mask = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
        1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_shuffle_epi8(a, mask));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(dst + 4 * i + 32), _mm256_shuffle_epi8(b, mask));
    }
    _mm256_zeroupper();
    SwapRedBlueScalar(dst + 4 * i, src + 4 * i, n - i);
}

// 16 pixels (64 bytes) to 48 bytes per pass; shuffle masks pick bytes 0-2 (or 2, 1, 0) of each
// pixel.
template <bool kSwap>
__attribute__((target("ssse3"))) void DropAlphaSSSE3(uint8_t* dst, const uint8_t* src, size_t n)
{
    const __m128i pick = kSwap
        ? _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1)
        : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t* s = src + 4 * i;
        __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), pick);
        __m128i b
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16)), pick);
        __m128i c
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32)), pick);
        __m128i d
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 48)), pick);
        // a0..a11 b0..b11 c0..c11 d0..d11 packed into three vectors.
        __m128i o0 = _mm_or_si128(a, _mm_slli_si128(b, 12));
        __m128i o1 = _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8));
        __m128i o2 = _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4));
        uint8_t* o = dst + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), o0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), o1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), o2);
    }
    if (kSwap)
        DropAlphaSwapScalar(dst + 3 * i, src + 4 * i, n - i);
    else
        DropAlphaScalar(dst + 3 * i, src + 4 * i, n - i);
}

// 16 pixels (48 bytes) to 64 bytes per pass. Loads stay inside the 48 source bytes.
template <bool kSwap>
__attribute__((target("ssse3"))) void AddAlphaSSSE3(uint8_t* dst, const uint8_t* src, size_t n)
{
    const __m128i spread = kSwap
        ? _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1)
        : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t* s = src + 3 * i;
        __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)); // px 0-5.x
        __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16)); // bytes 16-31
        __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32)); // bytes 32-47
        __m128i p0 = v0; // pixels 0-3 at bytes 0-11
        __m128i p1 = _mm_alignr_epi8(v1, v0, 12); // bytes 12-27: pixels 4-7
        __m128i p2 = _mm_alignr_epi8(v2, v1, 8); // bytes 24-39: pixels 8-11
        __m128i p3 = _mm_srli_si128(v2, 4); // bytes 36-47: pixels 12-15
        uint8_t* o = dst + 4 * i;
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(o), _mm_or_si128(_mm_shuffle_epi8(p0, spread), alpha));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(o + 16), _mm_or_si128(_mm_shuffle_epi8(p1, spread), alpha));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(o + 32), _mm_or_si128(_mm_shuffle_epi8(p2, spread), alpha));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(o + 48), _mm_or_si128(_mm_shuffle_epi8(p3, spread), alpha));
    }
    if (kSwap)
        AddAlphaSwapScalar(dst + 4 * i, src + 3 * i, n - i);
    else
        AddAlphaScalar(dst + 4 * i, src + 3 * i, n - i);
}

// round(c x a / 255) on 16 16-bit lanes: t = c x a + 128; (t + (t >> 8)) >> 8.
__attribute__((target("avx2"))) inline __m256i MulDiv255AVX2(__m256i c, __m256i a)
{
    __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(c, a), _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

__attribute__((target("avx2"))) inline __m256i AlphaMaskAVX2()
{
    return _mm256_set1_epi32(int(0xFF000000u));
}

__attribute__((target("avx2"))) inline __m256i SwapAVX2(__m256i x)
{
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
        1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    return _mm256_shuffle_epi8(x, order);
}

// True when every pixel of x is opaque or all zero: premultiplying and un-premultiplying leave
// such pixels exactly as they are.
__attribute__((target("avx2"))) inline bool KeptAVX2(__m256i x)
{
    const __m256i alphaMask = AlphaMaskAVX2();
    const __m256i opaque = _mm256_cmpeq_epi32(_mm256_and_si256(x, alphaMask), alphaMask);
    const __m256i zero = _mm256_cmpeq_epi32(x, _mm256_setzero_si256());
    return _mm256_movemask_epi8(_mm256_or_si256(opaque, zero)) == -1;
}

// True when all pixels of both vectors are opaque.
__attribute__((target("avx2"))) inline bool OpaqueAVX2(__m256i x0, __m256i x1)
{
    return _mm256_testc_si256(_mm256_and_si256(x0, x1), AlphaMaskAVX2());
}

// Eight straight pixels (alpha fourth) premultiplied.
__attribute__((target("avx2"))) inline __m256i Premultiply8AVX2(__m256i x)
{
    const __m256i alphaSpread = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15,
        15, 3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = _mm256_shuffle_epi8(x, alphaSpread);
    const __m256i lo = MulDiv255AVX2(_mm256_unpacklo_epi8(x, zero), _mm256_unpacklo_epi8(a, zero));
    const __m256i hi = MulDiv255AVX2(_mm256_unpackhi_epi8(x, zero), _mm256_unpackhi_epi8(a, zero));
    return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), x, AlphaMaskAVX2());
}

// p x 255 / a on floats: the exact quotient lies at least 1 / 510 away from a rounding boundary
// unless it sits on one (a tie, which rounds up), so the float product plus a small margin rounds
// exactly as the integer formula of the table does.
template <int kShift>
__attribute__((target("avx2"))) inline __m256i UnpremultiplyChannel(__m256i x, __m256 scale)
{
    const __m256 half = _mm256_set1_ps(0.5f + 1.0f / 1024.0f);
    __m256 c = _mm256_cvtepi32_ps(
        _mm256_and_si256(_mm256_srli_epi32(x, kShift), _mm256_set1_epi32(0xFF)));
    c = _mm256_min_ps(_mm256_add_ps(_mm256_mul_ps(c, scale), half), _mm256_set1_ps(255.0f));
    return _mm256_slli_epi32(_mm256_cvttps_epi32(c), kShift);
}

// Eight premultiplied pixels (alpha fourth) in straight alpha; transparent ones become 0.
__attribute__((target("avx2"))) inline __m256i Unpremultiply8AVX2(__m256i x)
{
    const __m256i a = _mm256_and_si256(x, AlphaMaskAVX2());
    const __m256i a32 = _mm256_srli_epi32(x, 24);
    const __m256 scale = _mm256_div_ps(_mm256_set1_ps(255.0f), _mm256_cvtepi32_ps(a32));
    const __m256i r = _mm256_or_si256(
        _mm256_or_si256(UnpremultiplyChannel<0>(x, scale), UnpremultiplyChannel<8>(x, scale)),
        _mm256_or_si256(UnpremultiplyChannel<16>(x, scale), a));
    // Where a is 0 the scale is infinite and the product meaningless: those pixels become 0.
    return _mm256_andnot_si256(_mm256_cmpeq_epi32(a32, _mm256_setzero_si256()), r);
}

// Eight pixels of a premultiply or un-premultiply pass; kept pixels are not stored unless asked.
template <bool kPremultiply, bool kSwap>
__attribute__((target("avx2"))) inline void AlphaPass8AVX2(uint8_t* dst, __m256i x, bool store)
{
    if (kSwap)
        x = SwapAVX2(x);
    if (!KeptAVX2(x))
        x = kPremultiply ? Premultiply8AVX2(x) : Unpremultiply8AVX2(x);
    else if (!store)
        return;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), x);
}

// The premultiply and un-premultiply passes. Opaque and all-zero pixels come out as they went in
// (bytes 0 and 2 exchanged for the swapping forms), so they are only copied, and in place not
// written at all: over an opaque picture a pass costs one read of it. Sixteen pixels (a cache
// line) are tested at once for the common all-opaque case.
template <bool kPremultiply, bool kSwap>
__attribute__((target("avx2"))) void AlphaPassAVX2(uint8_t* dst, const uint8_t* src, size_t n)
{
    const bool store = kSwap || dst != src;
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i + 32));
        if (OpaqueAVX2(x0, x1)) {
            if (store) {
                _mm256_storeu_si256(
                    reinterpret_cast<__m256i*>(dst + 4 * i), kSwap ? SwapAVX2(x0) : x0);
                _mm256_storeu_si256(
                    reinterpret_cast<__m256i*>(dst + 4 * i + 32), kSwap ? SwapAVX2(x1) : x1);
            }
            continue;
        }
        AlphaPass8AVX2<kPremultiply, kSwap>(dst + 4 * i, x0, store);
        AlphaPass8AVX2<kPremultiply, kSwap>(dst + 4 * i + 32, x1, store);
    }
    if (i + 8 <= n) {
        AlphaPass8AVX2<kPremultiply, kSwap>(
            dst + 4 * i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i)), store);
        i += 8;
    }
    _mm256_zeroupper();
    if constexpr (kPremultiply)
        PremultiplyScalar<kSwap>(dst + 4 * i, src + 4 * i, n - i);
    else
        UnpremultiplyScalar<kSwap>(Unpremul(), dst + 4 * i, src + 4 * i, n - i);
}

// Eight pixels at a time: pixels equal on both sides and opaque or zero are settled at once,
// the rest are premultiplied and compared, and only those that differ are written.
__attribute__((target("avx2"))) size_t UnpremultiplyChangedAVX2(
    uint8_t* straight, const uint8_t* premultiplied, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        auto* s = reinterpret_cast<__m256i*>(straight + 4 * i);
        const __m256i xs = _mm256_loadu_si256(s);
        const __m256i xp
            = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(premultiplied + 4 * i));
        const __m256i same = _mm256_cmpeq_epi32(xs, xp);
        if (_mm256_movemask_epi8(same) == -1 && KeptAVX2(xs))
            continue;
        const __m256i matches = _mm256_cmpeq_epi32(Premultiply8AVX2(xs), xp);
        if (_mm256_movemask_epi8(matches) == -1)
            continue; // every pixel's premultiplied form matches: nothing painted here
        _mm256_storeu_si256(s, _mm256_blendv_epi8(Unpremultiply8AVX2(xp), xs, matches));
    }
    _mm256_zeroupper();
    return i;
}

// Plain vector stores from the first 32-byte boundary on. Neither the C library's string-store
// fill nor streaming stores do better on memory in the caches, and both are slower on memory
// written for the first time (a new picture's pages are mapped while it is filled).
__attribute__((target("avx2"))) void Fill32AVX2(uint32_t* dst, uint32_t value, size_t n)
{
    size_t i = 0;
    while (i < n && (reinterpret_cast<uintptr_t>(dst + i) & 31) != 0)
        dst[i++] = value;
    const __m256i v = _mm256_set1_epi32(int(value));
    for (; i + 32 <= n; i += 32) {
        auto* p = reinterpret_cast<__m256i*>(dst + i);
        _mm256_store_si256(p, v);
        _mm256_store_si256(p + 1, v);
        _mm256_store_si256(p + 2, v);
        _mm256_store_si256(p + 3, v);
    }
    for (; i + 8 <= n; i += 8)
        _mm256_store_si256(reinterpret_cast<__m256i*>(dst + i), v);
    _mm256_zeroupper();
    for (; i < n; ++i)
        dst[i] = value;
}

__attribute__((target("avx2"))) void SetOpaqueAVX2(uint8_t* row, size_t n)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        auto* p = reinterpret_cast<__m256i*>(row + 4 * i);
        _mm256_storeu_si256(p, _mm256_or_si256(_mm256_loadu_si256(p), alpha));
    }
    _mm256_zeroupper();
    for (; i < n; ++i)
        row[4 * i + 3] = 255;
}

#endif // LPIXELROWS_X86

} // namespace

void SwapRedBlue(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return SwapRedBlueAVX2(dst, src, n);
#endif
    SwapRedBlueScalar(dst, src, n);
}

void DropAlpha(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasSSSE3())
        return DropAlphaSSSE3<false>(dst, src, n);
#endif
    DropAlphaScalar(dst, src, n);
}

void DropAlphaSwap(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasSSSE3())
        return DropAlphaSSSE3<true>(dst, src, n);
#endif
    DropAlphaSwapScalar(dst, src, n);
}

void AddAlpha(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasSSSE3())
        return AddAlphaSSSE3<false>(dst, src, n);
#endif
    AddAlphaScalar(dst, src, n);
}

void AddAlphaSwap(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasSSSE3())
        return AddAlphaSSSE3<true>(dst, src, n);
#endif
    AddAlphaSwapScalar(dst, src, n);
}

void SwapRedBlue24(uint8_t* dst, const uint8_t* src, size_t n)
{
    for (size_t i = 0; i < n; ++i, src += 3, dst += 3) {
        const uint8_t c0 = src[0], c1 = src[1], c2 = src[2];
        dst[0] = c2, dst[1] = c1, dst[2] = c0;
    }
}

void Premultiply(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return AlphaPassAVX2<true, false>(dst, src, n);
#endif
    PremultiplyScalar<false>(dst, src, n);
}

void PremultiplySwap(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return AlphaPassAVX2<true, true>(dst, src, n);
#endif
    PremultiplyScalar<true>(dst, src, n);
}

void Unpremultiply(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return AlphaPassAVX2<false, false>(dst, src, n);
#endif
    UnpremultiplyScalar<false>(Unpremul(), dst, src, n);
}

void UnpremultiplySwap(uint8_t* dst, const uint8_t* src, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return AlphaPassAVX2<false, true>(dst, src, n);
#endif
    UnpremultiplyScalar<true>(Unpremul(), dst, src, n);
}

void UnpremultiplyChanged(uint8_t* straight, const uint8_t* premultiplied, size_t n)
{
    size_t i = 0;
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        i = UnpremultiplyChangedAVX2(straight, premultiplied, n);
#endif
    const UnpremultiplyTable& t = Unpremul();
    for (; i < n; ++i) {
        uint8_t check[4];
        PremultiplyScalar<false>(check, straight + 4 * i, 1);
        if (Load32(check) != Load32(premultiplied + 4 * i))
            UnpremultiplyScalar<false>(t, straight + 4 * i, premultiplied + 4 * i, 1);
    }
}

void Fill32(uint32_t* dst, uint32_t value, size_t n)
{
#ifdef LPIXELROWS_X86
    if (n >= 256 && HasAVX2())
        return Fill32AVX2(dst, value, n);
#endif
    if ((value & 0xFF) * 0x01010101u == value) {
        std::memset(dst, int(value & 0xFF), n * 4);
        return;
    }
    std::wmemset(reinterpret_cast<wchar_t*>(dst), wchar_t(value), n);
}

void SetOpaque(uint8_t* row, size_t n)
{
#ifdef LPIXELROWS_X86
    if (HasAVX2())
        return SetOpaqueAVX2(row, n);
#endif
    for (size_t i = 0; i < n; ++i)
        row[4 * i + 3] = 255;
}

} // namespace LPixelRows
