#include "surface/image_range_lease.hpp"

#include <array>
#include <cstddef>
#include <mutex>
#include <utility>

namespace facetview {

namespace {

struct Registry {
  std::mutex mutex;
  std::size_t alive = 0;  // registered leases, shared and private
  // Leases per range number; 0 is the shared range.
  std::array<std::size_t, ImageRange::private_range_count + 1> holders{};
  std::uint32_t next_private = 1;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

// The next private range number in turn that no one holds; when every one is
// held, the next in turn all the same.
std::uint32_t take_private_number(Registry& state) {
  std::uint32_t number = state.next_private;
  for (std::uint32_t tried = 0; tried < ImageRange::private_range_count; ++tried) {
    const std::uint32_t candidate =
        (state.next_private - 1 + tried) % ImageRange::private_range_count + 1;
    if (state.holders[candidate] == 0) {
      number = candidate;
      break;
    }
  }
  state.next_private = number % ImageRange::private_range_count + 1;
  return number;
}

}  // namespace

ImageRangeLease ImageRangeLease::acquire(bool own_images) {
  Registry& state = registry();
  const std::lock_guard lock(state.mutex);
  const std::uint32_t number = own_images || state.alive != 0 ? take_private_number(state) : 0;
  ++state.alive;
  ++state.holders[number];
  return ImageRangeLease(number == 0 ? ImageRange() : ImageRange(number));
}

ImageRangeLease::ImageRangeLease(ImageRangeLease&& other) noexcept
    : range_(other.range_), registered_(std::exchange(other.registered_, false)) {}

ImageRangeLease& ImageRangeLease::operator=(ImageRangeLease&& other) noexcept {
  if (this != &other) {
    release();
    range_ = other.range_;
    registered_ = std::exchange(other.registered_, false);
  }
  return *this;
}

ImageRangeLease::~ImageRangeLease() {
  release();
}

void ImageRangeLease::release() {
  if (!registered_) return;
  registered_ = false;
  Registry& state = registry();
  const std::lock_guard lock(state.mutex);
  --state.alive;
  --state.holders[range_.number()];
}

}  // namespace facetview
