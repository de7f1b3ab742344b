// Outlines of any shape, kept as segments in float coordinates (y down) and turned into a cairo
// path only when drawn; that path is cached until the next edit.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/graphics/LGeometry.h"

#include <cstdint>
#include <memory>

typedef struct cairo_path cairo_path_t;
typedef struct _cairo cairo_t;

enum LGraphicsPathSegmentType : uint32_t {
    LGraphicsPathSegmentMove = 0, // 1 point
    LGraphicsPathSegmentLine = 1, // 1 point
    LGraphicsPathSegmentCurve = 3, // control 1, control 2, end
    LGraphicsPathSegmentPolyline = 17, // a line to each point
    LGraphicsPathSegmentCurveRun = 19, // a curve per three points
    LGraphicsPathSegmentClose = 128, // no points
};

class LGraphicsPathSegment : public LListable<LGraphicsPathSegment> {
public:
    LGraphicsPathSegment(uint32_t type, const LPointTemplate<float>* points, unsigned long count);
    virtual ~LGraphicsPathSegment() = default;
    LGraphicsPathSegment(const LGraphicsPathSegment&) = delete;
    LGraphicsPathSegment& operator=(const LGraphicsPathSegment&) = delete;

    // Replaces the points: move and line keep the first (true when one was given), a polyline all,
    // curves the first 3 * (n / 3) (true when n is a multiple of 3); other types answer false.
    // A null array or n = 0 changes nothing and answers false.
    bool SetPoints(const LPointTemplate<float>* points, unsigned long count);

    uint32_t GetType() const { return mType; }
    uint64_t GetPointCount() const { return mCount; }
    const LPointTemplate<float>* GetPoints() const { return mPoints.get(); }
    LPointTemplate<float>* GetPoints() { return mPoints.get(); }

private:
    uint32_t mType;
    std::unique_ptr<LPointTemplate<float>[]> mPoints;
    uint64_t mCount = 0;
};

class LGraphicsPath {
public:
    LGraphicsPath() = default;
    virtual ~LGraphicsPath();
    LGraphicsPath(const LGraphicsPath&) = delete;
    LGraphicsPath& operator=(const LGraphicsPath&) = delete;

    // Fill rule: true = nonzero winding, false = even-odd (the default).
    void SetWindingFill(bool winding) { mWinding = winding; }
    bool IsWindingFill() const { return mWinding; }
    bool IsFigureOpen() const { return mFigureOpen; }

    void LineTo(const LPointTemplate<float>& p);
    void AddLine(float x1, float y1, float x2, float y2);
    void AddLine(const LPointTemplate<float>& p1, const LPointTemplate<float>& p2)
    {
        AddLine(p1.x, p1.y, p2.x, p2.y);
    }
    void AddLines(const LPointTemplate<float>* points, unsigned long count);
    void AddRectangle(float x, float y, float w, float h);
    // Ends the open figure with a line back to its start; nothing when no figure is open.
    void CloseFigure();
    void AddBezier(const LPointTemplate<float>& p0, const LPointTemplate<float>& p1,
        const LPointTemplate<float>& p2, const LPointTemplate<float>& p3);
    void AddEllipse(float cx, float cy, float rx, float ry);
    void AddCircle(float cx, float cy, float r) { AddEllipse(cx, cy, r, r); }
    // An elliptical arc in the box (x, y, w, h); angles in degrees from +x towards +y.
    void AddArc(float x, float y, float w, float h, float start, float sweep)
    {
        AddArc(x, y, w, h, start, sweep, 0.0f);
    }
    void AddArc(float x, float y, float w, float h, float start, float sweep, float rotation);
    // Appends copies of the other path's segments; with connect, its first move is dropped when
    // this path has segments already.
    void AddPath(const LGraphicsPath& other, bool connect);
    void Translate(float dx, float dy);
    void Scale(float sx, float sy);

    const LList<LGraphicsPathSegment>& GetSegments() const { return mSegments; }
    size_t GetSegmentCount() const { return mSegmentCount; }
    bool IsEmpty() const { return mSegmentCount == 0; }

    // The cairo form of the path, built on first use and kept until the next edit (owned by the
    // path; do not free it).
    const cairo_path_t* CreatePlatformPath() const;
    // A new copy of that cached form (built first when there is none); the caller releases it
    // with ReleaseCGPath.
    cairo_path_t* CreateCGPath() const;
    // A new cairo path made by walking the segments in order; segment types without a mapping
    // add nothing. The caller releases it with ReleaseCGPath.
    cairo_path_t* CreateCGPathInt() const;
    static void ReleaseCGPath(cairo_path_t* path);
    // Appends the path to the context's current path.
    void AddToContext(cairo_t* cr) const;
    // Releases and forgets the cached form.
    void DestroyCachedCGPath() const;
    void DestroyCachedPlatformPath() const { DestroyCachedCGPath(); }

private:
    void Append(LGraphicsPathSegment* s);
    void AppendPoints(uint32_t type, const LPointTemplate<float>* points, unsigned long count);
    void Append1(uint32_t type, const LPointTemplate<float>& p) { AppendPoints(type, &p, 1); }

    bool mWinding = false;
    bool mFigureOpen = false;
    LList<LGraphicsPathSegment> mSegments;
    LGraphicsPathSegment* mTail = nullptr;
    size_t mSegmentCount = 0;
    mutable cairo_path_t* mCache = nullptr;
};
