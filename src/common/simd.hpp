// The SIMD toolkit: vectors of N floats or N 32-bit lane masks (GCC vector
// extensions), the few operations the lane-parallel code shares, and the one
// point that chooses between its baseline and wide variants. Each lane does the
// same correctly rounded float operations as the one-at-a-time code, so results
// do not depend on the grouping or on the instruction set.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Every helper here is always inlined into the function that picks the
// instruction set, so no AVX vector passes through a call's ABI.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace facetview {

template <int N>
struct Simd;
template <>
struct Simd<4> {
  using Floats = float __attribute__((vector_size(16)));
  using Lanes = std::int32_t __attribute__((vector_size(16)));
};
template <>
struct Simd<8> {
  using Floats = float __attribute__((vector_size(32)));
  using Lanes = std::int32_t __attribute__((vector_size(32)));
};

// `value` in every lane (adding it to zero would turn -0 into +0).
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Floats broadcast(float value) {
  if constexpr (N == 4) {
    return typename Simd<4>::Floats{value, value, value, value};
  } else {
    return typename Simd<8>::Floats{value, value, value, value, value, value, value, value};
  }
}

// Rows r0..r3 become columns: lane j of result i is lane i of row j. With
// N = 8 each half of 4 lanes is transposed on its own. Its own inverse.
template <int N>
[[gnu::always_inline]] inline void transpose(typename Simd<N>::Floats& r0,
                                             typename Simd<N>::Floats& r1,
                                             typename Simd<N>::Floats& r2,
                                             typename Simd<N>::Floats& r3) {
  using Floats = typename Simd<N>::Floats;
  if constexpr (N == 4) {
    const Floats t0 = __builtin_shufflevector(r0, r1, 0, 4, 1, 5);
    const Floats t1 = __builtin_shufflevector(r2, r3, 0, 4, 1, 5);
    const Floats t2 = __builtin_shufflevector(r0, r1, 2, 6, 3, 7);
    const Floats t3 = __builtin_shufflevector(r2, r3, 2, 6, 3, 7);
    r0 = __builtin_shufflevector(t0, t1, 0, 1, 4, 5);
    r1 = __builtin_shufflevector(t0, t1, 2, 3, 6, 7);
    r2 = __builtin_shufflevector(t2, t3, 0, 1, 4, 5);
    r3 = __builtin_shufflevector(t2, t3, 2, 3, 6, 7);
  } else {
    const Floats t0 = __builtin_shufflevector(r0, r1, 0, 8, 1, 9, 4, 12, 5, 13);
    const Floats t1 = __builtin_shufflevector(r2, r3, 0, 8, 1, 9, 4, 12, 5, 13);
    const Floats t2 = __builtin_shufflevector(r0, r1, 2, 10, 3, 11, 6, 14, 7, 15);
    const Floats t3 = __builtin_shufflevector(r2, r3, 2, 10, 3, 11, 6, 14, 7, 15);
    r0 = __builtin_shufflevector(t0, t1, 0, 1, 8, 9, 4, 5, 12, 13);
    r1 = __builtin_shufflevector(t0, t1, 2, 3, 10, 11, 6, 7, 14, 15);
    r2 = __builtin_shufflevector(t2, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    r3 = __builtin_shufflevector(t2, t3, 2, 3, 10, 11, 6, 7, 14, 15);
  }
}

// Masks are comparison results, all bits of a lane set or none, so the sign
// bit of each lane tells; x86 gathers those in one instruction.
#if defined(__x86_64__)
[[gnu::always_inline]] inline std::uint32_t sign_bits(Simd<4>::Lanes mask) {
  return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(__m128i(mask))));
}
// Half by half, so that nothing here needs more than the baseline.
[[gnu::always_inline]] inline std::uint32_t sign_bits(Simd<8>::Lanes mask) {
  const Simd<4>::Lanes low = __builtin_shufflevector(mask, mask, 0, 1, 2, 3);
  const Simd<4>::Lanes high = __builtin_shufflevector(mask, mask, 4, 5, 6, 7);
  return sign_bits(low) | sign_bits(high) << 4;
}
#endif

// One bit per lane among the first `count` whose mask is set.
template <int N>
[[gnu::always_inline]] inline std::uint32_t lane_bits(const typename Simd<N>::Lanes& mask,
                                                      int count) {
#if defined(__x86_64__)
  const std::uint32_t bits = sign_bits(mask);
#else
  std::int32_t lanes[N];
  std::memcpy(lanes, &mask, sizeof lanes);
  std::uint32_t bits = 0;
  for (int lane = 0; lane < N; ++lane) bits |= (lanes[lane] != 0 ? 1u : 0u) << lane;
#endif
  return bits & ((1u << count) - 1);
}

// Whether any lane of `mask` has a bit set.
template <int N>
[[gnu::always_inline]] inline bool any(const typename Simd<N>::Lanes& mask) {
  std::uint64_t words[N / 2];
  std::memcpy(words, &mask, sizeof words);
  std::uint64_t combined = 0;
  for (const std::uint64_t word : words) combined |= word;
  return combined != 0;
}

// Whether the processor runs AVX2 instructions; asked once.
inline bool has_avx2() {
#if defined(__x86_64__)
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported;
#else
  return false;
#endif
}

// The wide variant of a lane-parallel step (8 lanes) is compiled for AVX2 with
// [[FACETVIEW_WIDE_LANES]] and called only where wide_lanes() holds, so that
// the module itself still runs on any x86-64; elsewhere it is plain code that
// is never called.
#if defined(__x86_64__)
#define FACETVIEW_WIDE_LANES gnu::target("avx2")
#else
#define FACETVIEW_WIDE_LANES
#endif

// The dispatch point between the baseline (16-byte vectors) and the wide
// variants. A build with FACETVIEW_SIMD_BASELINE defined takes the baseline
// everywhere, so that its results can be checked on any processor.
inline bool wide_lanes() {
#if defined(FACETVIEW_SIMD_BASELINE)
  return false;
#else
  return has_avx2();
#endif
}

}  // namespace facetview

#pragma GCC diagnostic pop
