// Face normals and smoothed vertex normals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "loader/3dsloader.h"

namespace {

using Floats = std::vector<float>;
using Faces = std::vector<unsigned short>;

void ExpectVec(float x, float y, float z, const float* v) {
  EXPECT_FLOAT_EQ(x, v[0]);
  EXPECT_FLOAT_EQ(y, v[1]);
  EXPECT_FLOAT_EQ(z, v[2]);
}

// The vertex-by-vertex method: for every index below 3 * count, scan all
// faces. Quadratic, kept here as the reference the fast method must match
// bit for bit.
void ReferenceSmooth(unsigned count, const unsigned short* faces,
                     const float* vertices, float* normals) {
  Loader3DS loader;
  Floats flat(3 * count);
  loader.FlatNormals(count, faces, vertices, flat.data());
  for (unsigned v = 0; v < 3 * count; ++v) {
    float s[3] = {0, 0, 0};
    unsigned k = 0;
    for (unsigned f = 0; f < count; ++f) {
      const float* n = &flat[3 * f];
      if (n[0] == 0 && n[1] == 0 && n[2] == 0) continue;
      if (faces[3 * f] == v || faces[3 * f + 1] == v || faces[3 * f + 2] == v) {
        for (int i = 0; i < 3; ++i) s[i] += n[i];
        ++k;
      }
    }
    if (k == 0) continue;
    float kf = static_cast<float>(k);
    float m[3] = {s[0] / kf, s[1] / kf, s[2] / kf};
    float len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    for (int i = 0; i < 3; ++i) normals[3 * v + i] = len > 0 ? m[i] / len : 0;
  }
}

}  // namespace

TEST(Normal, RightHandedAndIndependentOfScaleAndPlace) {
  Loader3DS loader;
  float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0}, out[3];
  ASSERT_TRUE(loader.Normal(a, b, c, out));
  ExpectVec(0, 0, 1, out);
  ASSERT_TRUE(loader.Normal(a, c, b, out));
  ExpectVec(0, 0, -1, out);
  float a2[3] = {5, 5, 5}, b2[3] = {105, 5, 5}, c2[3] = {5, 105, 5};
  ASSERT_TRUE(loader.Normal(a2, b2, c2, out));
  ExpectVec(0, 0, 1, out);
  EXPECT_FALSE(loader.Normal(nullptr, b, c, out));
  EXPECT_FALSE(loader.Normal(a, b, c, nullptr));
}

TEST(Normal, TriangleWithoutAreaGivesZeroVector) {
  Loader3DS loader;
  float a[3] = {0, 0, 0}, b[3] = {1, 1, 1}, c[3] = {2, 2, 2},
        out[3] = {9, 9, 9};
  ASSERT_TRUE(loader.Normal(a, b, c, out));
  ExpectVec(0, 0, 0, out);
  float nan[3] = {NAN, 0, 0}, inf[3] = {INFINITY, 0, 0};
  ASSERT_TRUE(loader.Normal(a, nan, c, out));
  ExpectVec(0, 0, 0, out);
  ASSERT_TRUE(loader.Normal(a, inf, c, out));
  ExpectVec(0, 0, 0, out);
}

TEST(FlatNormals, OneNormalPerFace) {
  Loader3DS loader;
  Floats v = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  Faces f = {0, 1, 2, 0, 3, 1};
  Floats n(7, 5);
  ASSERT_TRUE(loader.FlatNormals(2, f.data(), v.data(), n.data()));
  ExpectVec(0, 0, 1, &n[0]);
  ExpectVec(0, 1, 0, &n[3]);
  EXPECT_EQ(5, n[6]);
  Floats untouched(3, 5);
  EXPECT_TRUE(loader.FlatNormals(0, f.data(), v.data(), untouched.data()));
  EXPECT_TRUE(loader.FlatNormals(-3, f.data(), v.data(), untouched.data()));
  EXPECT_EQ(5, untouched[0]);
  EXPECT_FALSE(loader.FlatNormals(1, nullptr, v.data(), n.data()));
}

TEST(SmoothNormals, SharedVertexGetsTheMeanMadeUnit) {
  Loader3DS loader;
  // Face 0 lies in z = 0 (normal +z), face 1 in x = 0 (normal +x); both use
  // vertex 0.
  Floats v = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  Faces f = {0, 1, 2, 0, 2, 3};
  Floats n(12, 0);
  ASSERT_TRUE(loader.SmoothNormals(2, f.data(), v.data(), n.data()));
  EXPECT_EQ(0.70710677f, n[0]);
  EXPECT_EQ(0.0f, n[1]);
  EXPECT_EQ(0.70710677f, n[2]);
  ExpectVec(0, 0, 1, &n[3]);  // only in face 0
  ExpectVec(1, 0, 0, &n[9]);  // only in face 1
  EXPECT_FALSE(loader.SmoothNormals(2, f.data(), nullptr, n.data()));
}

TEST(SmoothNormals, FlatSquareGivesEveryCornerTheSquareNormal) {
  Loader3DS loader;
  Floats v = {0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0};
  Faces f = {0, 1, 2, 0, 2, 3};
  Floats n(12, 0);
  ASSERT_TRUE(loader.SmoothNormals(2, f.data(), v.data(), n.data()));
  for (int i = 0; i < 4; ++i) ExpectVec(0, 0, 1, &n[3 * i]);
}

TEST(SmoothNormals, RepeatedCornerCountsOnceRepeatedFaceTwice) {
  Loader3DS loader;
  // Face 0 names vertex 0 twice (no area), faces 1 and 2 are one face listed
  // twice, face 3 points elsewhere.
  Floats v = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  Faces f = {0, 0, 1, 0, 1, 2, 0, 1, 2, 0, 2, 3};
  Floats n(12, 0), ref(12, 0);
  ASSERT_TRUE(loader.SmoothNormals(4, f.data(), v.data(), n.data()));
  ReferenceSmooth(4, f.data(), v.data(), ref.data());
  EXPECT_EQ(0, std::memcmp(n.data(), ref.data(), 12 * sizeof(float)));
  // (2 * z + x) / 3 made unit.
  EXPECT_FLOAT_EQ(1 / std::sqrt(5.0f), n[0]);
  EXPECT_FLOAT_EQ(2 / std::sqrt(5.0f), n[2]);
}

TEST(SmoothNormals, UnusedSlotsKeepTheirContents) {
  Loader3DS loader;
  // One face over vertices 0, 1 and 4: vertices 2 and 3 are unused, and
  // vertex 4 lies at or beyond 3 * count, so only slots 0 and 1 are written.
  Floats v = {0, 0, 0, 1, 0, 0, 7, 7, 7, 7, 7, 7, 0, 1, 0};
  Faces f = {0, 1, 4};
  Floats n(15, 3.5f);
  ASSERT_TRUE(loader.SmoothNormals(1, f.data(), v.data(), n.data()));
  ExpectVec(0, 0, 1, &n[0]);
  ExpectVec(0, 0, 1, &n[3]);
  for (int i = 6; i < 15; ++i) EXPECT_EQ(3.5f, n[i]) << i;
}

TEST(SmoothNormals, CountZeroWritesNothing) {
  Loader3DS loader;
  Floats v = {0, 0, 0}, n = {4, 4, 4};
  Faces f = {0, 0, 0};
  EXPECT_TRUE(loader.SmoothNormals(0, f.data(), v.data(), n.data()));
  EXPECT_EQ(4, n[0]);
}

TEST(SmoothNormals, NoNaNFromDegenerateOrOpposedFaces) {
  Loader3DS loader;
  // Faces 0 and 1 are back to back; face 2 is a line.
  Floats v = {0, 0, 0, 1, 0, 0, 0, 1, 0, 3, 3, 0, 4, 4, 0};
  Faces f = {0, 1, 2, 0, 2, 1, 0, 3, 4};
  Floats n(15, 8);
  ASSERT_TRUE(loader.SmoothNormals(3, f.data(), v.data(), n.data()));
  for (float x : n) EXPECT_FALSE(std::isnan(x));
  ExpectVec(0, 0, 0, &n[0]);  // the two faces cancel
  ExpectVec(0, 0, 0, &n[3]);
  // Vertices 3 and 4 are used only by the line, which contributes nothing.
  EXPECT_EQ(8, n[9]);
  EXPECT_EQ(8, n[12]);
}

TEST(SmoothNormals, BitIdenticalToTheVertexByVertexMethod) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> coord(-50, 50);
  for (int round = 0; round < 20; ++round) {
    unsigned vertices = 3 + rng() % 200;
    unsigned count = 1 + rng() % 300;
    Floats v(3 * vertices);
    for (float& x : v) x = coord(rng);
    Faces f(3 * count);
    for (unsigned short& i : f) i = rng() % vertices;
    if (round % 4 == 0) f[1] = f[0];  // some degenerate corners too
    Floats n(3 * vertices, -7), ref(3 * vertices, -7);
    Loader3DS loader;
    ASSERT_TRUE(loader.SmoothNormals(count, f.data(), v.data(), n.data()));
    ReferenceSmooth(count, f.data(), v.data(), ref.data());
    ASSERT_EQ(0, std::memcmp(n.data(), ref.data(), n.size() * sizeof(float)))
        << "round " << round;
  }
}
