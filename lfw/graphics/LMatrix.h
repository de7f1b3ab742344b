// 4 x 4 transform matrices used with row vectors: a point (x, y) maps to
// (x*m00 + y*m10 + m30, x*m01 + y*m11 + m31), and a product A * B applies A first. The affine
// part (m00, m01, m10, m11, m30, m31) is what a 2-D drawing transform uses.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/graphics/LGeometry.h"

#include <cmath>

template <class T> class LMatrix {
public:
    T m[4][4];

    LMatrix() { SetIdentity(); }

    void SetIdentity()
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                m[r][c] = r == c ? T(1) : T(0);
    }
    bool IsIdentity() const
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != (r == c ? T(1) : T(0)))
                    return false;
        return true;
    }

    static LMatrix Translation(T dx, T dy)
    {
        LMatrix t;
        t.m[3][0] = dx;
        t.m[3][1] = dy;
        return t;
    }
    static LMatrix Scaling(T sx, T sy)
    {
        LMatrix t;
        t.m[0][0] = sx;
        t.m[1][1] = sy;
        return t;
    }
    // Rotation about Z by radians: (1, 0) turns towards (0, 1).
    static LMatrix RotationZ(T radians)
    {
        LMatrix t;
        T c = std::cos(radians), s = std::sin(radians);
        t.m[0][0] = c;
        t.m[0][1] = s;
        t.m[1][0] = -s;
        t.m[1][1] = c;
        return t;
    }

    // this * o: this transform first, then o.
    LMatrix operator*(const LMatrix& o) const
    {
        LMatrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                T s = 0;
                for (int k = 0; k < 4; ++k)
                    s += m[i][k] * o.m[k][j];
                r.m[i][j] = s;
            }
        return r;
    }
    bool operator==(const LMatrix& o) const
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != o.m[r][c])
                    return false;
        return true;
    }

    LPointTemplate<T> TransformPoint(const LPointTemplate<T>& p) const
    {
        return LPointTemplate<T>(
            p.x * m[0][0] + p.y * m[1][0] + m[3][0], p.x * m[0][1] + p.y * m[1][1] + m[3][1]);
    }

    // Determinant of the upper-left 3 x 3 part.
    T Determinant3x3() const
    {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
            - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
            + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }
    T Determinant() const;

    // Inverts in place (adjugate over determinant); a singular matrix (determinant exactly 0)
    // is left unchanged and answers false.
    bool Invert();

    // this = R * this, R the rotation about Z by radians: the rotation applies before this
    // matrix's own transform.
    void PreRotateAboutZ(T radians) { *this = RotationZ(radians) * *this; }

private:
    // The 2 x 2 minors of the first two rows (s) and of the last two (c), from which both the
    // determinant and the inverse are built.
    struct Minors {
        T s0, s1, s2, s3, s4, s5;
        T c0, c1, c2, c3, c4, c5;
        T Determinant() const { return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0; }
    };
    Minors GetMinors() const;
};

// A matrix that is also a node of a singly linked list (the paint context's transform stack).
template <class T> class LListableMatrix : public LMatrix<T>, public LListable<LListableMatrix<T>> {
public:
    LListableMatrix() = default;
    explicit LListableMatrix(const LMatrix<T>& o)
        : LMatrix<T>(o)
    {
    }
};

template <class T> typename LMatrix<T>::Minors LMatrix<T>::GetMinors() const
{
    const T(*a)[4] = m;
    Minors n;
    n.s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    n.s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    n.s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    n.s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    n.s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    n.s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    n.c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    n.c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    n.c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    n.c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    n.c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    n.c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    return n;
}

template <class T> T LMatrix<T>::Determinant() const
{
    return GetMinors().Determinant();
}

template <class T> bool LMatrix<T>::Invert()
{
    const T(*a)[4] = m;
    const Minors n = GetMinors();
    const auto& [s0, s1, s2, s3, s4, s5, c0, c1, c2, c3, c4, c5] = n;
    const T det = n.Determinant();
    if (det == T(0))
        return false;
    T inv = T(1) / det;
    T r[4][4];
    r[0][0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * inv;
    r[0][1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * inv;
    r[0][2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * inv;
    r[0][3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * inv;
    r[1][0] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * inv;
    r[1][1] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * inv;
    r[1][2] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * inv;
    r[1][3] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * inv;
    r[2][0] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * inv;
    r[2][1] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * inv;
    r[2][2] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * inv;
    r[2][3] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * inv;
    r[3][0] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * inv;
    r[3][1] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * inv;
    r[3][2] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * inv;
    r[3][3] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * inv;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = r[i][j];
    return true;
}
