#include "lfw/mac/LGraphicsPath.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

LGraphicsPathSegment::LGraphicsPathSegment(
    uint32_t type, const LPointTemplate<float>* points, unsigned long count)
    : mType(type)
{
    if (points && count) {
        mPoints.reset(new LPointTemplate<float>[count]);
        std::copy(points, points + count, mPoints.get());
        mCount = count;
    }
}

bool LGraphicsPathSegment::SetPoints(const LPointTemplate<float>* points, unsigned long count)
{
    if (!points || count == 0)
        return false;
    unsigned long keep;
    bool exact;
    switch (mType) {
    case LGraphicsPathSegmentMove:
    case LGraphicsPathSegmentLine:
        keep = 1;
        exact = count == 1;
        break;
    case LGraphicsPathSegmentPolyline:
        keep = count;
        exact = true;
        break;
    case LGraphicsPathSegmentCurve:
    case LGraphicsPathSegmentCurveRun:
        keep = 3 * (count / 3);
        exact = count % 3 == 0;
        break;
    default:
        return false;
    }
    std::unique_ptr<LPointTemplate<float>[]> p(keep ? new LPointTemplate<float>[keep] : nullptr);
    std::copy(points, points + keep, p.get());
    mPoints = std::move(p);
    mCount = keep;
    return exact;
}

LGraphicsPath::~LGraphicsPath()
{
    DestroyCachedCGPath();
}

void LGraphicsPath::Append(LGraphicsPathSegment* s)
{
    mSegments.AddAfter(mTail, s);
    mTail = s;
    ++mSegmentCount;
    DestroyCachedCGPath();
}

void LGraphicsPath::AppendPoints(
    uint32_t type, const LPointTemplate<float>* points, unsigned long count)
{
    Append(new LGraphicsPathSegment(type, points, count));
}

void LGraphicsPath::LineTo(const LPointTemplate<float>& p)
{
    if (mFigureOpen) {
        Append1(LGraphicsPathSegmentLine, p);
    } else {
        Append1(LGraphicsPathSegmentMove, p);
        mFigureOpen = true;
    }
}

void LGraphicsPath::AddLine(float x1, float y1, float x2, float y2)
{
    if (mFigureOpen) {
        const LPointTemplate<float> pts[2] = { { x1, y1 }, { x2, y2 } };
        AppendPoints(LGraphicsPathSegmentPolyline, pts, 2);
    } else {
        Append1(LGraphicsPathSegmentMove, LPointTemplate<float>(x1, y1));
        mFigureOpen = true;
        Append1(LGraphicsPathSegmentLine, LPointTemplate<float>(x2, y2));
    }
}

void LGraphicsPath::AddLines(const LPointTemplate<float>* points, unsigned long count)
{
    if (!points || count < 2)
        return;
    if (mFigureOpen) {
        AppendPoints(LGraphicsPathSegmentPolyline, points, count);
    } else {
        Append1(LGraphicsPathSegmentMove, points[0]);
        mFigureOpen = true;
        AppendPoints(LGraphicsPathSegmentPolyline, points + 1, count - 1);
    }
}

void LGraphicsPath::AddRectangle(float x, float y, float w, float h)
{
    mFigureOpen = false;
    Append1(LGraphicsPathSegmentMove, LPointTemplate<float>(x, y));
    const LPointTemplate<float> pts[3] = { { x + w, y }, { x + w, y + h }, { x, y + h } };
    AppendPoints(LGraphicsPathSegmentPolyline, pts, 3);
    AppendPoints(LGraphicsPathSegmentClose, nullptr, 0);
    mFigureOpen = false;
}

void LGraphicsPath::CloseFigure()
{
    if (!mFigureOpen)
        return;
    AppendPoints(LGraphicsPathSegmentClose, nullptr, 0);
    mFigureOpen = false;
}

void LGraphicsPath::AddBezier(const LPointTemplate<float>& p0, const LPointTemplate<float>& p1,
    const LPointTemplate<float>& p2, const LPointTemplate<float>& p3)
{
    if (mFigureOpen) {
        Append1(LGraphicsPathSegmentLine, p0);
    } else {
        Append1(LGraphicsPathSegmentMove, p0);
        mFigureOpen = true;
    }
    const LPointTemplate<float> pts[3] = { p1, p2, p3 };
    AppendPoints(LGraphicsPathSegmentCurve, pts, 3);
}

void LGraphicsPath::AddEllipse(float cx, float cy, float rx, float ry)
{
    const float k = 0.5522848f;
    mFigureOpen = false;
    AddBezier({ cx, cy - ry }, { cx + k * rx, cy - ry }, { cx + rx, cy - k * ry }, { cx + rx, cy });
    const LPointTemplate<float> q2[3]
        = { { cx + rx, cy + k * ry }, { cx + k * rx, cy + ry }, { cx, cy + ry } };
    AppendPoints(LGraphicsPathSegmentCurve, q2, 3);
    const LPointTemplate<float> q3[3]
        = { { cx - k * rx, cy + ry }, { cx - rx, cy + k * ry }, { cx - rx, cy } };
    AppendPoints(LGraphicsPathSegmentCurve, q3, 3);
    const LPointTemplate<float> q4[3]
        = { { cx - rx, cy - k * ry }, { cx - k * rx, cy - ry }, { cx, cy - ry } };
    AppendPoints(LGraphicsPathSegmentCurve, q4, 3);
    AppendPoints(LGraphicsPathSegmentClose, nullptr, 0);
    mFigureOpen = false;
}

void LGraphicsPath::AddArc(
    float x, float y, float w, float h, float start, float sweep, float rotation)
{
    const double degrees = 0.01745329251;
    double phi = std::clamp(double(rotation), -360.0, 360.0);
    double sw = std::clamp(double(sweep), -360.0, 360.0);
    double st = start;
    if (st < 0)
        st += 360.0;
    st = std::clamp(st, 0.0, 360.0);
    if (!std::isfinite(sw) || !std::isfinite(st) || !std::isfinite(phi))
        return;
    int n = 0;
    if (sw > 0)
        n = int(std::ceil(sw / 45.0));
    else if (sw < 0)
        n = int(std::ceil(sw / -45.0));
    if (n == 0)
        return;
    double q = sw > 0 ? 45.0 : -45.0;
    double rx = std::fabs(w / 2.0), ry = std::fabs(h / 2.0);
    double cx = x + rx, cy = y + ry;
    double cp = std::cos(phi * degrees), sp = std::sin(phi * degrees);
    auto point = [&](double t) {
        return LPointTemplate<float>(float(cx + rx * cp * std::cos(t) - ry * sp * std::sin(t)),
            float(cy + rx * sp * std::cos(t) + ry * cp * std::sin(t)));
    };
    auto derivative = [&](double t, double& dx, double& dy) {
        dx = -rx * cp * std::sin(t) - ry * sp * std::cos(t);
        dy = -rx * sp * std::sin(t) + ry * cp * std::cos(t);
    };
    const double eps = 2.220446049250313e-16;
    double a0 = 0;
    for (int i = 0; i < n; ++i) {
        double a1 = a0 + q;
        if (std::fabs(sw) < std::fabs(a1))
            a1 = sw;
        double t0 = 0, t1 = 0;
        if (rx > eps && ry > eps) {
            double s0 = (st + a0) * degrees, s1 = (st + a1) * degrees;
            t0 = std::atan2(std::sin(s0) / ry, std::cos(s0) / rx);
            t1 = std::atan2(std::sin(s1) / ry, std::cos(s1) / rx);
        }
        double d = t1 - t0;
        double tn = std::tan(d / 2);
        double k = std::sin(d) * (std::sqrt(4 + 3 * tn * tn) - 1) / 3;
        LPointTemplate<float> p0 = point(t0), p3 = point(t1);
        double d0x, d0y, d1x, d1y;
        derivative(t0, d0x, d0y);
        derivative(t1, d1x, d1y);
        LPointTemplate<float> p1(float(p0.x + k * d0x), float(p0.y + k * d0y));
        LPointTemplate<float> p2(float(p3.x - k * d1x), float(p3.y - k * d1y));
        if (i == 0) {
            AddBezier(p0, p1, p2, p3);
        } else {
            const LPointTemplate<float> pts[3] = { p1, p2, p3 };
            AppendPoints(LGraphicsPathSegmentCurve, pts, 3);
        }
        a0 = a1;
    }
}

void LGraphicsPath::AddPath(const LGraphicsPath& other, bool connect)
{
    bool first = true;
    bool hadSegments = mSegmentCount > 0;
    // Only the segments the other path has now (it may be this path).
    size_t remaining = other.mSegmentCount;
    for (const LGraphicsPathSegment& s : other.mSegments) {
        if (remaining-- == 0)
            break;
        const LPointTemplate<float>* p = s.GetPoints();
        unsigned long n = static_cast<unsigned long>(s.GetPointCount());
        switch (s.GetType()) {
        case LGraphicsPathSegmentMove:
            if (first && connect && hadSegments)
                break;
            if (n) {
                mFigureOpen = false;
                Append1(LGraphicsPathSegmentMove, p[0]);
                mFigureOpen = true;
            }
            break;
        case LGraphicsPathSegmentLine:
            if (n)
                LineTo(p[0]);
            break;
        case LGraphicsPathSegmentCurve:
            if (n >= 3)
                AppendPoints(LGraphicsPathSegmentCurve, p, 3);
            break;
        case LGraphicsPathSegmentPolyline:
            AddLines(p, n);
            break;
        case LGraphicsPathSegmentCurveRun:
            for (unsigned long i = 0; i + 3 <= n; i += 3)
                AppendPoints(LGraphicsPathSegmentCurve, p + i, 3);
            break;
        case LGraphicsPathSegmentClose:
            if (mFigureOpen)
                AppendPoints(LGraphicsPathSegmentClose, nullptr, 0);
            mFigureOpen = false;
            break;
        default:
            break;
        }
        first = false;
    }
    DestroyCachedCGPath();
}

void LGraphicsPath::Translate(float dx, float dy)
{
    for (LGraphicsPathSegment& s : mSegments) {
        LPointTemplate<float>* p = s.GetPoints();
        for (uint64_t i = 0; i < s.GetPointCount(); ++i) {
            p[i].x += dx;
            p[i].y += dy;
        }
    }
    DestroyCachedCGPath();
}

void LGraphicsPath::Scale(float sx, float sy)
{
    for (LGraphicsPathSegment& s : mSegments) {
        LPointTemplate<float>* p = s.GetPoints();
        for (uint64_t i = 0; i < s.GetPointCount(); ++i) {
            p[i].x *= sx;
            p[i].y *= sy;
        }
    }
    DestroyCachedCGPath();
}

void LGraphicsPath::ReleaseCGPath(cairo_path_t* path)
{
    if (path) {
        delete[] path->data;
        delete path;
    }
}

void LGraphicsPath::DestroyCachedCGPath() const
{
    ReleaseCGPath(mCache);
    mCache = nullptr;
}

cairo_path_t* LGraphicsPath::CreateCGPathInt() const
{
    // Count the path data first: a header per element plus its points.
    size_t n = 0;
    for (const LGraphicsPathSegment& s : mSegments) {
        uint64_t c = s.GetPointCount();
        switch (s.GetType()) {
        case LGraphicsPathSegmentMove:
        case LGraphicsPathSegmentLine:
            n += c >= 1 ? 2 : 0;
            break;
        case LGraphicsPathSegmentCurve:
            n += c >= 3 ? 4 : 0;
            break;
        case LGraphicsPathSegmentPolyline:
            n += 2 * c;
            break;
        case LGraphicsPathSegmentCurveRun:
            n += 4 * (c / 3);
            break;
        case LGraphicsPathSegmentClose:
            n += 1;
            break;
        default:
            break;
        }
    }
    cairo_path_t* path = new cairo_path_t;
    path->status = CAIRO_STATUS_SUCCESS;
    path->num_data = static_cast<int>(n);
    path->data = n ? new cairo_path_data_t[n] : nullptr;
    cairo_path_data_t* d = path->data;
    auto element = [&](cairo_path_data_type_t type, int length) {
        d->header.type = type;
        d->header.length = length;
        ++d;
    };
    auto point = [&](const LPointTemplate<float>& p) {
        d->point.x = p.x;
        d->point.y = p.y;
        ++d;
    };
    for (const LGraphicsPathSegment& s : mSegments) {
        const LPointTemplate<float>* p = s.GetPoints();
        uint64_t c = s.GetPointCount();
        switch (s.GetType()) {
        case LGraphicsPathSegmentMove:
            if (c >= 1) {
                element(CAIRO_PATH_MOVE_TO, 2);
                point(p[0]);
            }
            break;
        case LGraphicsPathSegmentLine:
            if (c >= 1) {
                element(CAIRO_PATH_LINE_TO, 2);
                point(p[0]);
            }
            break;
        case LGraphicsPathSegmentCurve:
            if (c >= 3) {
                element(CAIRO_PATH_CURVE_TO, 4);
                point(p[0]);
                point(p[1]);
                point(p[2]);
            }
            break;
        case LGraphicsPathSegmentPolyline:
            for (uint64_t i = 0; i < c; ++i) {
                element(CAIRO_PATH_LINE_TO, 2);
                point(p[i]);
            }
            break;
        case LGraphicsPathSegmentCurveRun:
            for (uint64_t i = 0; i + 3 <= c; i += 3) {
                element(CAIRO_PATH_CURVE_TO, 4);
                point(p[i]);
                point(p[i + 1]);
                point(p[i + 2]);
            }
            break;
        case LGraphicsPathSegmentClose:
            element(CAIRO_PATH_CLOSE_PATH, 1);
            break;
        default:
            break;
        }
    }
    return path;
}

const cairo_path_t* LGraphicsPath::CreatePlatformPath() const
{
    if (!mCache)
        mCache = CreateCGPathInt();
    return mCache;
}

cairo_path_t* LGraphicsPath::CreateCGPath() const
{
    const cairo_path_t* cached = CreatePlatformPath();
    cairo_path_t* copy = new cairo_path_t;
    copy->status = cached->status;
    copy->num_data = cached->num_data;
    copy->data = cached->num_data > 0 ? new cairo_path_data_t[size_t(cached->num_data)] : nullptr;
    if (copy->data)
        std::copy(cached->data, cached->data + cached->num_data, copy->data);
    return copy;
}

void LGraphicsPath::AddToContext(cairo_t* cr) const
{
    const cairo_path_t* p = CreatePlatformPath();
    if (cr && p->num_data > 0)
        cairo_append_path(cr, p);
}
