// The eight-lane triangle row against the scan's scalar arithmetic: the same pixels inside, and the
// same bits for depth and corner weights, over random edges, depths and rhw (zero sums included).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "render/triangle_weights.h"

namespace {

using render::RowWeights;
using render::TriangleLanes;

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

// One pixel as the scalar scan works it out, from its edge values.
struct Pixel {
  bool inside;
  float z, k[3];
};
Pixel ScalarPixel(const int64_t e[3], const int32_t bias[3], float inv, const float z[3], const float rhw[3]) {
  Pixel p{};
  p.inside = e[0] + bias[0] >= 0 && e[1] + bias[1] >= 0 && e[2] + bias[2] >= 0;
  const float l0 = static_cast<float>(e[0]) * inv, l1 = static_cast<float>(e[1]) * inv;
  const float l2 = 1.0f - l0 - l1;
  p.z = l0 * z[0] + l1 * z[1] + l2 * z[2];
  const float p0 = l0 * rhw[0], p1 = l1 * rhw[1], p2 = l2 * rhw[2], sum = p0 + p1 + p2;
  p.k[0] = sum != 0.0f ? p0 / sum : l0;
  p.k[1] = sum != 0.0f ? p1 / sum : l1;
  p.k[2] = sum != 0.0f ? p2 / sum : l2;
  return p;
}

TEST(TriangleRowWeights, EveryLaneMatchesTheScalarScan) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int32_t> edge(-40000, 400000), step(-30000, 30000), count(1, 8), coin(0, 1);
  std::uniform_real_distribution<float> depth(-0.5f, 1.5f), rhw(0.01f, 4.0f);
  int insideSeen = 0, zeroSums = 0;
  for (int round = 0; round < 20000; ++round) {
    TriangleLanes t{};
    int32_t steps[3], e[3];
    float z[3], w[3];
    for (int i = 0; i < 3; ++i) {
      steps[i] = step(rng);
      e[i] = edge(rng);
      t.bias[i] = coin(rng) ? 0 : -1;
      for (int j = 0; j < 8; ++j) t.laneStep[i][j] = j * steps[i];
      z[i] = t.z[i] = depth(rng);
      w[i] = t.rhw[i] = round % 5 == 0 ? 1.0f : rhw(rng);
    }
    if (round % 7 == 0) w[0] = w[1] = w[2] = t.rhw[0] = t.rhw[1] = t.rhw[2] = 0.0f;  // every sum is 0
    t.inv = 1.0f / static_cast<float>(edge(rng) + 400001);
    const int n = count(rng);
    RowWeights out;
    const int inside = render::TriangleRowWeights(t, e, n, out);
    for (int j = 0; j < 8; ++j) {
      const int64_t ej[3] = {int64_t{e[0]} - j * steps[0], int64_t{e[1]} - j * steps[1], int64_t{e[2]} - j * steps[2]};
      const Pixel expected = ScalarPixel(ej, t.bias, t.inv, z, w);
      const bool laneInside = (inside >> j & 1) != 0;
      ASSERT_EQ(laneInside, expected.inside && j < n) << "round " << round << ", lane " << j;
      if (!laneInside) continue;
      ++insideSeen;
      zeroSums += w[0] == 0.0f;
      ASSERT_EQ(Bits(out.z[j]), Bits(expected.z)) << "round " << round << ", lane " << j;
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(Bits((c == 0 ? out.k0 : c == 1 ? out.k1 : out.k2)[j]), Bits(expected.k[c]))
            << "round " << round << ", lane " << j << ", corner " << c;
    }
  }
  EXPECT_GT(insideSeen, 10000);
  EXPECT_GT(zeroSums, 1000);
}

}  // namespace
