// Four-lane float and int vectors for the short drawing paths, which handle a position's x, y, z, w
// (or a line's two ends) at once. They are GCC/Clang vector extensions: SSE on x86-64, plain code
// elsewhere. Each lane is IEEE single precision with one rounding per operation, exactly as the scalar
// code beside it, so both give the same bits.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// For the functions that do most of the lane arithmetic: compiled also for SSE4.1 (blends and
// packed minimum in one instruction) and AVX2 (three-operand forms), the build the processor can run
// chosen at load time. Every version does the same IEEE operations, so they draw the same pixels.
// SV_NO_LANE_CLONES keeps the baseline build only (the sanitizer build tests it that way).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(SV_NO_LANE_CLONES)
#define SV_LANE_CLONES [[gnu::target_clones("default", "sse4.1", "avx2")]]
#else
#define SV_LANE_CLONES
#endif

namespace render {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int __attribute__((vector_size(16)));  // also the lane masks of comparisons: 0 or -1
using UInt4 = unsigned __attribute__((vector_size(16)));  // for arithmetic that may wrap

// A value of type T from the bytes at p (any alignment).
template <class T>
inline T LoadBytes(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline Float4 Splat(float x) { return Float4{x, x, x, x}; }

// Bit i set where lane i of the mask is.
inline int LaneBits(Int4 mask) {
#if defined(__SSE2__)
  return _mm_movemask_ps(reinterpret_cast<__m128>(mask));
#else
  return (mask[0] & 1) | (mask[1] & 2) | (mask[2] & 4) | (mask[3] & 8);
#endif
}

// Constants are written as whole vectors: a scalar operand is broadcast at run time.
constexpr Float4 kHalf4 = {0.5f, 0.5f, 0.5f, 0.5f};

// CentreIndexNear lane by lane (every lane within ±1e7).
inline Int4 CentreIndexNear4(Float4 x) {
  const Float4 h = x - kHalf4;
  const Int4 t = __builtin_convertvector(h, Int4);  // toward zero
  return t - (__builtin_convertvector(t, Float4) < h);  // a true comparison is -1: one up
}

// CentreIndex lane by lane: ceil(x - 0.5), and -2^30 for lanes outside ±1e7 or NaN.
inline Int4 CentreIndex4(Float4 x) {
  constexpr Float4 kLow = {-1e7f, -1e7f, -1e7f, -1e7f}, kHigh = {1e7f, 1e7f, 1e7f, 1e7f};
  constexpr Int4 kFar = {-1 << 30, -1 << 30, -1 << 30, -1 << 30};
  const Int4 near = (x > kLow) & (x < kHigh);
  const Int4 index = CentreIndexNear4(near ? x : Float4{});  // far lanes are not converted: no overflow
  return near ? index : kFar;
}

}  // namespace render
