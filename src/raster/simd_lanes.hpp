// Vectors of N floats or N 32-bit lane masks (GCC vector extensions), for the
// renderer's steps that handle N samples or triangles side by side. Each lane
// does the same correctly rounded float operations as the one-at-a-time code,
// so the pixels do not depend on the grouping or on the instruction set.
#pragma once

#include <cstdint>

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

// Sets every lane to `value` (adding it to zero would turn -0 into +0).
template <int N>
[[gnu::always_inline]] inline void broadcast(typename Simd<N>::Floats& lanes, float value) {
  if constexpr (N == 4) {
    lanes = typename Simd<4>::Floats{value, value, value, value};
  } else {
    lanes = typename Simd<8>::Floats{value, value, value, value, value, value, value, value};
  }
}

}  // namespace facetview
