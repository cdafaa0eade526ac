#include "python/nearest_float.hpp"

#include <cmath>
#include <limits>

namespace facetview {
namespace {

constexpr double kLargestFloat = std::numeric_limits<float>::max();
// Halfway between the largest float and 2^128: from here on (ties to even go
// up, since the largest float's last digit is odd) the nearest float is inf.
constexpr double kOverflowThreshold = 0x1.ffffffp127;

}  // namespace

float nearest_float(double value) {
  // Converting a double outside the float range is undefined, so the
  // magnitudes beyond it are mapped here and only in-range values are cast.
  // NaN fails both comparisons and is cast as it is.
  const double magnitude = std::fabs(value);
  const float sign = value < 0 ? -1.0f : 1.0f;
  if (magnitude >= kOverflowThreshold) return sign * std::numeric_limits<float>::infinity();
  if (magnitude > kLargestFloat) return sign * std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

}  // namespace facetview
