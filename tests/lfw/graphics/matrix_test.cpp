#include "lfw/graphics/LMatrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

LPointTemplate<float> Map(const LMatrix<float>& m, float x, float y)
{
    return m.TransformPoint(LPointTemplate<float>(x, y));
}

} // namespace

TEST(Matrix, RowVectorsAndProductOrder)
{
    LMatrix<float> t = LMatrix<float>::Translation(10, 0);
    LMatrix<float> s = LMatrix<float>::Scaling(2, 3);
    // A * B applies A first.
    LPointTemplate<float> p = Map(t * s, 1, 1);
    EXPECT_FLOAT_EQ(p.x, 22);
    EXPECT_FLOAT_EQ(p.y, 3);
    p = Map(s * t, 1, 1);
    EXPECT_FLOAT_EQ(p.x, 12);
    EXPECT_FLOAT_EQ(p.y, 3);
    // The affine elements sit where the row-vector form puts them.
    EXPECT_EQ(t.m[3][0], 10);
    EXPECT_EQ(s.m[1][1], 3);
    EXPECT_TRUE(LMatrix<float>().IsIdentity());
}

TEST(Matrix, InvertRegularAndSingular)
{
    LMatrix<float> m = LMatrix<float>::Scaling(2, 4) * LMatrix<float>::Translation(3, -5);
    m.m[2][2] = 5;
    LMatrix<float> inv = m;
    ASSERT_TRUE(inv.Invert());
    LMatrix<float> id = m * inv;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(id.m[r][c], r == c ? 1.0f : 0.0f, 1e-6f);
    LPointTemplate<float> p = Map(inv, Map(m, 7, 9).x, Map(m, 7, 9).y);
    EXPECT_NEAR(p.x, 7, 1e-5);
    EXPECT_NEAR(p.y, 9, 1e-5);

    // A zero row: false, and the matrix stays as it was.
    LMatrix<float> singular = LMatrix<float>::Translation(1, 2);
    singular.m[1][0] = singular.m[1][1] = singular.m[1][2] = singular.m[1][3] = 0;
    LMatrix<float> before = singular;
    EXPECT_FALSE(singular.Invert());
    EXPECT_TRUE(singular == before);
    EXPECT_EQ(LMatrix<float>::Scaling(0, 1).Determinant3x3(), 0.0f);
    EXPECT_FLOAT_EQ(LMatrix<float>::Scaling(2, 3).Determinant(), 6.0f);
}

TEST(Matrix, PreRotateAboutZInRadians)
{
    LMatrix<float> m;
    m.PreRotateAboutZ(float(M_PI / 2));
    LPointTemplate<float> p = Map(m, 1, 0);
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);
    // The rotation applies before the matrix's own transform.
    LMatrix<float> t = LMatrix<float>::Translation(5, 0);
    t.PreRotateAboutZ(float(M_PI / 2));
    p = Map(t, 1, 0);
    EXPECT_NEAR(p.x, 5, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);
}
