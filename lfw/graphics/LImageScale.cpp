#include "lfw/graphics/LImageScale.h"

#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LPixelAccess.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// ---- nearest neighbour ----

template <class T>
LProcessResult LImgProScaleNe::ProcessImage(LImageBuffer& dst, const LImageBuffer& src) const
{
    if (!dst.IsValid() || !src.IsValid() || dst.GetPixelFormat() != T::kFormat
        || src.GetPixelFormat() != T::kFormat)
        return LProcessResultError;
    const int sw = src.GetWidth(), sh = src.GetHeight();
    const int dw = dst.GetWidth(), dh = dst.GetHeight();
    const double l = std::clamp(left, 0.0, double(sw - 1));
    const double t = std::clamp(top, 0.0, double(sh - 1));
    const double w = std::min(width, double(sw) - l);
    const double h = std::min(height, double(sh) - t);
    if (!(w > 0) || !(h > 0))
        return LProcessResultError;

    std::unique_ptr<int[]> cols(new (std::nothrow) int[size_t(dw)]);
    std::unique_ptr<int[]> rows(new (std::nothrow) int[size_t(dh)]);
    if (!cols || !rows)
        return LProcessResultError;
    for (int i = 0; i < dw; ++i)
        cols[size_t(i)] = std::min(int((i + 0.5) * w / dw + l), sw - 1);
    for (int j = 0; j < dh; ++j)
        rows[size_t(j)] = std::min(int((j + 0.5) * h / dh + t), sh - 1);

    const int* colMap = cols.get();
    for (int j = 0; j < dh; ++j) {
        auto* d = reinterpret_cast<T*>(dst.GetPictureRow(j));
        const auto* s = reinterpret_cast<const T*>(src.GetPictureRow(rows[size_t(j)]));
        for (int i = 0; i < dw; ++i)
            d[i] = s[colMap[i]];
    }
    return LProcessResultSuccess;
}

LProcessResult LApplyImageProcess(
    LImageBuffer& dst, const LImageBuffer& src, LImgProScaleNe& scaler, LProcessInterface& job)
{
    if (job.IsToStop())
        return LProcessResultStopped;
    LProcessResult result = LProcessResultError;
    const bool known = LPixelAccess::VisitPixelStruct(src.GetPixelFormat(),
        [&](auto proto) { result = scaler.ProcessImage<decltype(proto)>(dst, src); });
    if (!known)
        return LProcessResultError;
    job.SetProgress(1.0);
    return result;
}

void LImageScaleNearestNeighbor(LImageBuffer& dst, const LImageBuffer& src)
{
    LImgProScaleNe whole;
    LProcessInterfaceVoid silent;
    LApplyImageProcess(dst, src, whole, silent);
}

// ---- smooth ----

namespace {

typedef float v4f __attribute__((vector_size(16)));

// Catmull-Rom cubic (B = 0, C = 0.5), support 2.
inline double Cubic(double x)
{
    x = std::fabs(x);
    if (x < 1.0)
        return (1.5 * x - 2.5) * x * x + 1.0;
    if (x < 2.0)
        return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
    return 0.0;
}

// The source samples and weights of each destination sample along one axis.
struct Taps {
    std::vector<int> first; // first source index per destination index
    std::vector<int> count; // number of source samples
    std::vector<int> offset; // into weights
    std::vector<float> weights; // normalised to a sum of 1
    int maxCount = 0;
};

bool MakeTaps(int inSize, int outSize, Taps& taps)
{
    const double scale = double(inSize) / outSize;
    const double filterScale = std::max(1.0, scale);
    const double support = 2.0 * filterScale;
    try {
        taps.first.resize(size_t(outSize));
        taps.count.resize(size_t(outSize));
        taps.offset.resize(size_t(outSize));
        taps.weights.clear();
        taps.weights.reserve(size_t(outSize) * size_t(std::ceil(2 * support) + 1));
        for (int i = 0; i < outSize; ++i) {
            const double centre = (i + 0.5) * scale;
            int lo = std::max(0, int(std::floor(centre - support)));
            int hi = std::min(inSize, int(std::ceil(centre + support)));
            const size_t at = taps.weights.size();
            double sum = 0;
            for (int j = lo; j < hi; ++j) {
                const double w = Cubic((j + 0.5 - centre) / filterScale);
                taps.weights.push_back(float(w));
                sum += w;
            }
            if (std::fabs(sum) < 1e-9) {
                // No weight inside the source: take the nearest sample.
                taps.weights.resize(at);
                lo = std::clamp(int(centre), 0, inSize - 1);
                hi = lo + 1;
                taps.weights.push_back(1.0f);
                sum = 1.0;
            }
            for (size_t k = at; k < taps.weights.size(); ++k)
                taps.weights[k] = float(taps.weights[k] / sum);
            // Trim samples whose weight is 0 at the ends.
            while (hi - lo > 1 && taps.weights[at] == 0.0f) {
                taps.weights.erase(taps.weights.begin() + long(at));
                ++lo;
            }
            while (hi - lo > 1 && taps.weights.back() == 0.0f) {
                taps.weights.pop_back();
                --hi;
            }
            taps.first[size_t(i)] = lo;
            taps.count[size_t(i)] = hi - lo;
            taps.offset[size_t(i)] = int(at);
            taps.maxCount = std::max(taps.maxCount, hi - lo);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

typedef uint8_t v4u8 __attribute__((vector_size(4)));

// Built for the machine's widest units where it has them (chosen once, when the program loads).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LSCALE_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define LSCALE_CLONES
#endif

// One source row to premultiplied float colours, then filtered horizontally into out.
LSCALE_CLONES void FilterRow(
    const LPFB8G8R8A8* row, int width, const Taps& xt, v4f* premultiplied, v4f* out, int outWidth)
{
    for (int x = 0; x < width; ++x) {
        v4u8 px;
        std::memcpy(&px, row + x, 4);
        const v4f c = __builtin_convertvector(px, v4f);
        const float k = c[3] * (1.0f / 255.0f);
        premultiplied[x] = c * v4f { k, k, k, 1.0f };
    }
    const float* weights = xt.weights.data();
    for (int i = 0; i < outWidth; ++i) {
        const v4f* s = premultiplied + xt.first[size_t(i)];
        const float* w = weights + xt.offset[size_t(i)];
        const int n = xt.count[size_t(i)];
        v4f acc0 = { 0, 0, 0, 0 }, acc1 = { 0, 0, 0, 0 };
        int k = 0;
        for (; k + 1 < n; k += 2) {
            acc0 += s[k] * w[k];
            acc1 += s[k + 1] * w[k + 1];
        }
        if (k < n)
            acc0 += s[k] * w[k];
        out[i] = acc0 + acc1;
    }
}

// acc = the weighted sum of n filtered rows.
LSCALE_CLONES void FilterColumn(const v4f* const* rows, const float* w, int n, v4f* acc, int width)
{
    for (int x = 0; x < width; ++x)
        acc[x] = rows[0][x] * w[0];
    for (int k = 1; k < n; ++k) {
        const v4f* r = rows[k];
        const float wk = w[k];
        for (int x = 0; x < width; ++x)
            acc[x] += r[x] * wk;
    }
}

inline uint8_t ToByte(float v)
{
    return uint8_t(v <= 0.0f ? 0 : v >= 255.0f ? 255 : int(v + 0.5f));
}

} // namespace

bool LImageScaleApplevImageBGRA(LImageBuffer& dst, const LImageBuffer& src)
{
    if (src.GetPixelFormat() != LPixelFormatB8G8R8A8
        || dst.GetPixelFormat() != LPixelFormatB8G8R8A8)
        return false;
    if (!dst.GetData())
        dst.AllocateNewBuffer(LImageFormat(dst.GetFormat()));
    if (!dst.IsValid() || !src.IsValid() || dst.GetStore() == src.GetStore())
        return false;
    const int sw = src.GetWidth(), sh = src.GetHeight();
    const int dw = dst.GetWidth(), dh = dst.GetHeight();

    Taps xt, yt;
    if (!MakeTaps(sw, dw, xt) || !MakeTaps(sh, dh, yt))
        return false;

    // Horizontally filtered source rows, kept in a ring as long as a destination row needs them.
    const int ring = yt.maxCount;
    std::unique_ptr<v4f[]> rows(new (std::nothrow) v4f[size_t(ring) * size_t(dw)]);
    std::unique_ptr<v4f[]> premultiplied(new (std::nothrow) v4f[size_t(sw)]);
    std::unique_ptr<v4f[]> acc(new (std::nothrow) v4f[size_t(dw)]);
    std::unique_ptr<const v4f*[]> taps(new (std::nothrow) const v4f*[size_t(ring)]);
    if (!rows || !premultiplied || !acc || !taps)
        return false;

    int filteredUpTo = 0; // source rows below this are in the ring
    for (int j = 0; j < dh; ++j) {
        const int first = yt.first[size_t(j)];
        const int n = yt.count[size_t(j)];
        filteredUpTo = std::max(filteredUpTo, first);
        for (; filteredUpTo < first + n; ++filteredUpTo) {
            const auto* s = reinterpret_cast<const LPFB8G8R8A8*>(src.GetPictureRow(filteredUpTo));
            FilterRow(s, sw, xt, premultiplied.get(),
                rows.get() + size_t(filteredUpTo % ring) * size_t(dw), dw);
        }

        for (int k = 0; k < n; ++k)
            taps[size_t(k)] = rows.get() + size_t((first + k) % ring) * size_t(dw);
        v4f* a = acc.get();
        FilterColumn(taps.get(), yt.weights.data() + yt.offset[size_t(j)], n, a, dw);

        auto* d = reinterpret_cast<LPFB8G8R8A8*>(dst.GetPictureRow(j));
        for (int x = 0; x < dw; ++x) {
            const v4f v = a[x];
            const float alpha = v[3];
            if (alpha < 0.5f) {
                d[x] = LPFB8G8R8A8 { 0, 0, 0, 0 };
                continue;
            }
            const float k = alpha >= 254.5f ? 1.0f : 255.0f / alpha;
            d[x] = LPFB8G8R8A8 { ToByte(v[0] * k), ToByte(v[1] * k), ToByte(v[2] * k),
                ToByte(alpha) };
        }
    }
    return true;
}

bool LImageScaleBGRA(LImageBuffer& dst, const LImageBuffer& src, LImageInterpolationMode, void**)
{
    const pixelformat_t format = src.GetPixelFormat();
    if (format == LPixelFormatB8G8R8A8 && dst.GetPixelFormat() == LPixelFormatB8G8R8A8)
        return LImageScaleApplevImageBGRA(dst, src);
    if (!src.IsValid() || !dst.IsValid() || dst.GetPixelFormat() != format || format < 0
        || format > LPixelFormatR8G8B8)
        return false;
    // Through the working format.
    LImageBuffer from(LImageFormat(LPixelFormatB8G8R8A8, src.GetWidth(), src.GetHeight()));
    LImageBuffer to(LImageFormat(LPixelFormatB8G8R8A8, dst.GetWidth(), dst.GetHeight()));
    if (!from.IsValid() || !to.IsValid())
        return false;
    LConvertPixelFormat(from, src);
    if (!LImageScaleApplevImageBGRA(to, from))
        return false;
    LConvertPixelFormat(dst, to);
    return true;
}

void LImageScaleBicubic(LImageBuffer& dst, const LImageBuffer& src)
{
    const pixelformat_t format = src.GetPixelFormat();
    if (format >= 0 && format <= LPixelFormatR8G8B8)
        LImageScaleBGRA(dst, src, LImageInterpolationMedium, nullptr);
}

// ---- resizing ----

LProcessResult LImage::Resize(LProcessInterface& job, const LImageBuffer& src, LImageBuffer& dst,
    int w, int h, bool keepAspect, ResizeFilter filter)
{
    if (&src == &dst)
        return LProcessResultError;
    // A source without pixels (or of zero width or height) has no proportions to keep.
    if (!src.IsValid()) {
        dst.Reset();
        return LProcessResultError;
    }
    const int sw = src.GetWidth(), sh = src.GetHeight();
    int nw = w, nh = h;
    if (keepAspect && w >= 1 && h >= 1) {
        // A side that rounds to nothing keeps one pixel; the other keeps its fitted length, so
        // the result never leaves the box (1000 x 1 into 10 x 10 is 10 x 1).
        const double s = std::min(double(w) / sw, double(h) / sh);
        nw = std::clamp(int(std::trunc(sw * s + 0.5)), 1, w);
        nh = std::clamp(int(std::trunc(sh * s + 0.5)), 1, h);
    }
    if (nw < 1 || nh < 1) {
        dst.Reset();
        return LProcessResultSuccess;
    }

    const pixelformat_t format = src.GetPixelFormat();
    const bool scalable = (filter == ResizeNearestNeighbor || filter == ResizeBicubic)
        && format >= 0 && format <= LPixelFormatR8G8B8;
    if (!scalable) {
        dst.Reset();
        return LProcessResultError;
    }

    dst.AllocateNewBuffer(LImageFormat(format, nw, nh, false));
    if (job.IsToStop()) {
        dst.Reset(); // no half-made picture
        return LProcessResultStopped;
    }
    if (!dst.IsValid()) {
        dst.Reset();
        return LProcessResultError;
    }
    dst.SetResolution(src.GetFormat().horizontalResolution, src.GetFormat().verticalResolution);

    bool done = false;
    if (filter == ResizeBicubic) {
        done = LImageScaleBGRA(dst, src, LImageInterpolationMedium, nullptr);
    } else {
        LImgProScaleNe whole;
        LProcessInterfaceVoid silent;
        done = LApplyImageProcess(dst, src, whole, silent) == LProcessResultSuccess;
    }
    if (!done) {
        dst.Reset();
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}
