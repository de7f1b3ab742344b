// Merging the octree's sets of pixels and refining the palette's entries.
#include "lfw/graphics/LPaletteRefinement.h"

#include "lfw/graphics/LNearBox.h"
#include "lfw/graphics/LParallelParts.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

using namespace LNearBox;

// Where a place of no centre lies: so far away that it is never the nearest.
constexpr float kFar = 1e15f;

// Centres (their channels and places), four to a step; each list of them ends on a whole step,
// filled with places of no centre.
struct CentreList {
    std::vector<float> r, g, b;
    std::vector<int32_t> place;

    size_t Size() const { return r.size(); }
    void Add(float cr, float cg, float cb, int32_t at)
    {
        r.push_back(cr), g.push_back(cg), b.push_back(cb), place.push_back(at);
    }
    void Pad()
    {
        while (r.size() % 4)
            Add(kFar, kFar, kFar, 0);
    }
};

// The nearest of the centres to a colour. The cube of colours is cut into regions; when a
// region is first met, the centres that can be nearest to some colour of it are listed: every
// colour of the region lies within the farthest distance of any centre, so a centre whose nearest
// distance is beyond the least of those is never the nearest. Regions of 32 x 32 x 32 colours are
// listed from all centres, regions of 16 x 16 x 16 from the list of the larger region they lie in
// (the nearest centre of any of their colours is there).
class NearestCentres {
public:
    NearestCentres(const float* r, const float* g, const float* b, size_t count)
        : mCoarseStart(512, 0)
        , mCoarseListed(512, kUnlisted)
        , mFineStart(4096, 0)
        , mFineListed(4096, kUnlisted)
    {
        for (size_t i = 0; i < count; ++i)
            mAll.Add(r[i], g[i], b[i], int32_t(i));
        mAll.Pad();
    }

    // The place of the first of the nearest centres; distance receives its squared distance.
    size_t Nearest(float r, float g, float b, float& distance)
    {
        const unsigned red = unsigned(std::clamp(int(r), 0, 255)),
                       green = unsigned(std::clamp(int(g), 0, 255)),
                       blue = unsigned(std::clamp(int(b), 0, 255));
        const unsigned coarse = (red >> 5) << 6 | (green >> 5) << 3 | (blue >> 5);
        if (mCoarseListed[coarse] == kUnlisted)
            List(mAll, 0, mAll.Size(), 32, red >> 5 << 5, green >> 5 << 5, blue >> 5 << 5, mCoarse,
                mCoarseStart[coarse], mCoarseListed[coarse]);
        const unsigned fine = (red >> 4) << 8 | (green >> 4) << 4 | (blue >> 4);
        if (mFineListed[fine] == kUnlisted)
            List(mCoarse, mCoarseStart[coarse], mCoarseListed[coarse], 16, red >> 4 << 4,
                green >> 4 << 4, blue >> 4 << 4, mFine, mFineStart[fine], mFineListed[fine]);
        const size_t start = mFineStart[fine], end = start + mFineListed[fine];
        Float4 least = Float4 {} + std::numeric_limits<float>::infinity();
        Int4 at = Int4 {};
        // Each lane meets its candidates in the centres' order and keeps the first of the nearest.
        for (size_t k = start; k < end; k += 4) {
            const Float4 dr = Load4(&mFine.r[k]) - r, dg = Load4(&mFine.g[k]) - g,
                         db = Load4(&mFine.b[k]) - b;
            const Float4 d = dr * dr + dg * dg + db * db;
            const Int4 nearer = d < least;
            least = Select(nearer, d, least);
            at = Select(nearer, Load4(&mFine.place[k]), at);
        }
        int best = 0;
        for (int lane = 1; lane < 4; ++lane)
            if (least[lane] < least[best] || (least[lane] == least[best] && at[lane] < at[best]))
                best = lane;
        distance = least[best];
        return size_t(at[best]);
    }

private:
    static constexpr uint32_t kUnlisted = UINT32_MAX;

    // Lists into to, from count centres of from beginning at first, those that can be nearest
    // to some colour of the region side colours wide from low r, g, b.
    static void List(const CentreList& from, size_t first, size_t count, float side, unsigned lr,
        unsigned lg, unsigned lb, CentreList& to, uint32_t& start, uint32_t& listed)
    {
        const float low[3] = { float(lr), float(lg), float(lb) };
        start = uint32_t(to.Size());
        ListNearBox(from.r.data() + first, from.g.data() + first, from.b.data() + first, count, low,
            side, [&](size_t at) {
                at += first;
                if (from.r[at] != kFar)
                    to.Add(from.r[at], from.g[at], from.b[at], from.place[at]);
            });
        to.Pad();
        listed = uint32_t(to.Size() - start);
    }

    CentreList mAll, mCoarse, mFine;
    std::vector<uint32_t> mCoarseStart, mCoarseListed, mFineStart, mFineListed;
};

// Every point goes to its nearest centre (channels r, g, b of count centres): the count and sums
// each centre gets, by the centres' places, and error receives the sum over the points of their
// pixels times their squared distance to it. The points are shared out among the processors,
// each worker adding into sums of its own; the sums are whole numbers, so the result does not
// depend on how the points were shared out.
std::vector<LPalettePoint> SumsByNearest(const std::vector<LPalettePoint>& points,
    const std::vector<float>& r, const std::vector<float>& g, const std::vector<float>& b,
    double& error)
{
    const size_t n = r.size();
    const int parts = LParallelPartCount(points.size(), size_t(1) << 11);
    std::vector<std::vector<LPalettePoint>> sums(
        static_cast<size_t>(parts), std::vector<LPalettePoint>(n, LPalettePoint {}));
    std::vector<double> errors(static_cast<size_t>(parts), 0);
    std::atomic<bool> failed { false };
    LRunInParts(points.size(), parts, [&](int part, size_t begin, size_t end) {
        try {
            NearestCentres nearest(r.data(), g.data(), b.data(), n);
            std::vector<LPalettePoint>& own = sums[size_t(part)];
            double ownError = 0;
            for (size_t i = begin; i < end; ++i) {
                const LPalettePoint& c = points[i];
                const float inverse = 1.0f / float(c.count);
                float distance = 0;
                const size_t k = nearest.Nearest(float(c.sum[0]) * inverse,
                    float(c.sum[1]) * inverse, float(c.sum[2]) * inverse, distance);
                ownError += double(distance) * double(c.count);
                LPalettePoint& s = own[k];
                s.count += c.count;
                for (int ch = 0; ch < 3; ++ch)
                    s.sum[ch] += c.sum[ch];
            }
            errors[size_t(part)] = ownError;
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    });
    if (failed)
        throw std::bad_alloc();
    error = 0;
    for (int part = 0; part < parts; ++part) {
        error += errors[size_t(part)];
        if (part == 0)
            continue;
        for (size_t k = 0; k < n; ++k) {
            const LPalettePoint& from = sums[size_t(part)][k];
            LPalettePoint& to = sums[0][k];
            to.count += from.count;
            for (int ch = 0; ch < 3; ++ch)
                to.sum[ch] += from.sum[ch];
        }
    }
    return std::move(sums[0]);
}

// Ward's merging. Each cluster keeps its cheapest partner and that cost. After a merge every
// other cluster compares its cost with that of the merged one; a cluster whose partner took
// part in the merge keeps its old cost as a bound (merging two clusters never brings a third
// closer to them than it was to the nearer of the two) and looks for its partner again only once
// that bound is the least of all. A tournament over the costs finds the least.
class CheapestPairs {
public:
    explicit CheapestPairs(std::vector<LPaletteCluster>& clusters)
        : mClusters(clusters)
        , mK(clusters.size())
        , mPadded((mK + 3) & ~size_t(3))
        , mR(mPadded, kFar)
        , mG(mPadded, kFar)
        , mB(mPadded, kFar)
        , mN(mPadded, 1)
        , mCosts(mPadded)
        , mPartner(mK, 0)
        , mCost(mK, 0)
        , mAlive(mK, 1)
        , mStale(mK, 0)
        , mLeaves(std::bit_ceil(std::max<size_t>(mK, 1)))
        , mLeast(2 * mLeaves, SIZE_MAX)
    {
        for (size_t i = 0; i < mK; ++i)
            Mirror(i);
    }

    void MergeDownTo(size_t wanted)
    {
        if (mK <= wanted)
            return;
        LRunInParts(mK, LParallelPartCount(mK, 1024), [&](int, size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i)
                FindPartner(i, nullptr);
        });
        for (size_t x = 0; x < mK; ++x)
            Rank(x);
        for (size_t left = mK; left > wanted;) {
            const size_t i = mLeast[1];
            if (mStale[i]) {
                FindPartner(i, nullptr);
                Rank(i);
                continue;
            }
            const size_t a = std::min(i, mPartner[i]), b = std::max(i, mPartner[i]);
            LPaletteCluster& to = mClusters[a];
            const LPaletteCluster& from = mClusters[b];
            const double count = to.count + from.count;
            to.r = (to.r * to.count + from.r * from.count) / count;
            to.g = (to.g * to.count + from.g * from.count) / count;
            to.b = (to.b * to.count + from.b * from.count) / count;
            to.count = count;
            mAlive[b] = 0;
            --left;
            Mirror(a);
            Mirror(b);
            mCost[b] = std::numeric_limits<float>::infinity();
            Rank(b);
            // The merged cluster's costs to every other one, kept in mCosts.
            FindPartner(a, mCosts.data());
            Rank(a);
            for (size_t x = 0; x < mK; ++x) {
                if (!mAlive[x] || x == a || mStale[x])
                    continue;
                if (mPartner[x] == a || mPartner[x] == b) {
                    mStale[x] = 1;
                } else if (mCosts[x] < mCost[x]) {
                    mCost[x] = mCosts[x];
                    mPartner[x] = a;
                    Rank(x);
                }
            }
        }
        size_t kept = 0;
        for (size_t x = 0; x < mK; ++x)
            if (mAlive[x])
                mClusters[kept++] = mClusters[x];
        mClusters.resize(kept);
    }

private:
    // The cluster's place in the search; one merged away lies so far away that it is never
    // anyone's partner.
    void Mirror(size_t i)
    {
        const LPaletteCluster& c = mClusters[i];
        const bool alive = mAlive[i];
        mR[i] = alive ? float(c.r) : kFar;
        mG[i] = alive ? float(c.g) : kFar;
        mB[i] = alive ? float(c.b) : kFar;
        mN[i] = float(c.count);
    }

    // The cluster's cheapest partner (of equal costs the first); costs, when given, receives
    // (in mPadded places) the cost to every cluster, infinite to itself.
    void FindPartner(size_t i, float* costs)
    {
        const float r = mR[i], g = mG[i], b = mB[i], n = mN[i];
        const Float4 infinite = Float4 {} + std::numeric_limits<float>::infinity();
        Float4 least = infinite;
        Int4 at = Int4 {}, place = { 0, 1, 2, 3 };
        const Int4 self = Int4 {} + int32_t(i);
        for (size_t j = 0; j < mPadded; j += 4, place += 4) {
            const Float4 dr = Load4(&mR[j]) - r, dg = Load4(&mG[j]) - g, db = Load4(&mB[j]) - b;
            const Float4 m = Load4(&mN[j]);
            const Float4 c = Select(
                place == self, infinite, (dr * dr + dg * dg + db * db) * (n * m / (n + m)));
            if (costs)
                std::memcpy(costs + j, &c, sizeof c);
            const Int4 cheaper = c < least;
            least = Select(cheaper, c, least);
            at = Select(cheaper, place, at);
        }
        int best = 0;
        for (int lane = 1; lane < 4; ++lane)
            if (least[lane] < least[best] || (least[lane] == least[best] && at[lane] < at[best]))
                best = lane;
        // Nothing to be had (no other cluster, or costs that are not numbers): never chosen.
        const bool none = !(least[best] < std::numeric_limits<float>::infinity());
        mPartner[i] = none ? i : size_t(at[best]);
        mCost[i] = none ? std::numeric_limits<float>::infinity() : least[best];
        mStale[i] = 0;
    }

    // mLeast[1] is the cluster of the least cost (of equal costs the first), each node of the
    // tournament the better of its two below; the clusters are the leaves from mLeaves on.
    void Rank(size_t x)
    {
        size_t at = mLeaves + x;
        mLeast[at] = x;
        for (at /= 2; at >= 1; at /= 2) {
            const size_t l = mLeast[2 * at], r = mLeast[2 * at + 1];
            mLeast[at] = r < mK && (l >= mK || mCost[r] < mCost[l]) ? r : l;
        }
    }

    std::vector<LPaletteCluster>& mClusters;
    const size_t mK, mPadded;
    std::vector<float> mR, mG, mB, mN; // the clusters' means and counts, for the search
    std::vector<float> mCosts;
    std::vector<size_t> mPartner;
    std::vector<float> mCost;
    std::vector<uint8_t> mAlive, mStale;
    const size_t mLeaves;
    std::vector<size_t> mLeast;
};

} // namespace

void LPaletteMergeCheapestPairs(std::vector<LPaletteCluster>& clusters, size_t wanted)
{
    CheapestPairs(clusters).MergeDownTo(wanted);
}

void LPaletteRefine(const std::vector<LPalettePoint>& points, std::vector<LPaletteCluster>& entries)
{
    constexpr int kRounds = 8;
    constexpr double kLeast = 0.15;
    const size_t n = entries.size();
    if (n == 0 || points.empty())
        return;
    std::vector<float> r(n), g(n), b(n);
    for (int round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < n; ++k)
            r[k] = float(entries[k].r), g[k] = float(entries[k].g), b[k] = float(entries[k].b);
        double error = 0, gain = 0;
        const std::vector<LPalettePoint> sums = SumsByNearest(points, r, g, b, error);
        bool moved = false;
        for (size_t k = 0; k < n; ++k) {
            const LPalettePoint& s = sums[k];
            if (!s.count)
                continue;
            LPaletteCluster& e = entries[k];
            const double inverse = 1.0 / double(s.count);
            const double nr = double(s.sum[0]) * inverse, ng = double(s.sum[1]) * inverse,
                         nb = double(s.sum[2]) * inverse;
            // Moving an entry to the mean of its points takes its pixels times the square of the
            // move from the squared error.
            gain += ((nr - e.r) * (nr - e.r) + (ng - e.g) * (ng - e.g) + (nb - e.b) * (nb - e.b))
                * double(s.count);
            moved = moved || std::lround(nr) != std::lround(e.r)
                || std::lround(ng) != std::lround(e.g) || std::lround(nb) != std::lround(e.b);
            e = { double(s.count), nr, ng, nb };
        }
        if (!moved || gain < kLeast * error)
            break;
    }
}
