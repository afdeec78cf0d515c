// Float and int vectors of four and of eight 32-bit lanes for the short drawing paths: four for a
// position's x, y, z, w (or a line's two ends), eight for eight scene segments at once. They are
// GCC/Clang vector extensions: SSE or AVX on x86-64, plain code elsewhere. Each lane is IEEE single
// precision with one rounding per operation, exactly as the scalar code beside it, so both give the
// same bits.
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

// Eight-lane values are passed in registers with AVX and in memory without, so a function built for
// one calling a function built for the other must never pass or return them by value. Nothing does:
// every function, helper and lambda takes them by const reference and hands them back through an out
// reference, and the build keeps GCC's -Wpsabi on to say so if one ever does. Small helpers are
// always inlined into their caller (even unoptimised), so the references cost nothing.
#define SV_LANES_INLINE [[gnu::always_inline]] inline
#define SV_LAMBDA_INLINE __attribute__((always_inline))

namespace render {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int __attribute__((vector_size(16)));  // also the lane masks of comparisons: 0 or -1
using UInt4 = unsigned __attribute__((vector_size(16)));  // for arithmetic that may wrap
using Float8 = float __attribute__((vector_size(32)));
using Int8 = int __attribute__((vector_size(32)));        // eight 32-bit lanes (not 8-bit integers)
using UInt8 = unsigned __attribute__((vector_size(32)));

// A value of type T from the bytes at p (any alignment).
template <class T>
SV_LANES_INLINE T LoadBytes(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// `x` in every lane: Splat(x) of four, `Float8{} + x` of eight (+0 for a zero of either sign).
inline Float4 Splat(float x) { return Float4{x, x, x, x}; }

// Bit i set where lane i of the mask is.
inline int LaneBits(Int4 mask) {
#if defined(__SSE2__)
  return _mm_movemask_ps(reinterpret_cast<__m128>(mask));
#else
  return (mask[0] & 1) | (mask[1] & 2) | (mask[2] & 4) | (mask[3] & 8);
#endif
}
SV_LANES_INLINE int LaneBits(const Int8& mask) {
  return LaneBits(Int4(__builtin_shufflevector(mask, mask, 0, 1, 2, 3))) |
         LaneBits(Int4(__builtin_shufflevector(mask, mask, 4, 5, 6, 7))) << 4;
}

// The int lanes of a float vector F (Float4 or Float8), as its comparisons give them.
template <class F>
using IntLanesOf = decltype(F{} < F{});

// CentreIndexNear lane by lane (every lane within ±1e7), into `index`.
template <class F>
SV_LANES_INLINE void LaneCentreIndexNear(const F& x, IntLanesOf<F>& index) {
  using I = IntLanesOf<F>;
  const F h = x - (F{} + 0.5f);
  const I t = __builtin_convertvector(h, I);  // toward zero
  index = t - (__builtin_convertvector(t, F) < h);  // a true comparison is -1: one up
}

// CentreIndex lane by lane: ceil(x - 0.5), and -2^30 for lanes outside ±1e7 or NaN.
template <class F>
SV_LANES_INLINE void LaneCentreIndex(const F& x, IntLanesOf<F>& index) {
  using I = IntLanesOf<F>;
  const I near = (x > (F{} + -1e7f)) & (x < (F{} + 1e7f));
  LaneCentreIndexNear(near ? x : F{}, index);  // far lanes are not converted: no overflow
  index = near ? index : I{} + (-1 << 30);
}

}  // namespace render
