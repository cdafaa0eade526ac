#include "surface/image_range_lease.hpp"

#include <cstddef>
#include <exception>
#include <mutex>
#include <random>
#include <unordered_map>
#include <utility>

namespace facetview {

namespace {

constexpr std::uint32_t kPrivateNumbers =
    ImageRange::kLastNumber - ImageRangeLease::kFirstPrivateNumber + 1;

struct Registry {
  std::mutex mutex;
  std::size_t alive = 0;  // registered leases, shared and private
  // Leases per private range number, only of numbers in use.
  std::unordered_map<std::uint32_t, std::size_t> holders;
  std::uint32_t next_private = 0;  // 0 until the first private range is handed out
};

Registry& registry() {
  static Registry instance;
  return instance;
}

std::uint32_t following_number(std::uint32_t number) {
  return number == ImageRange::kLastNumber ? ImageRangeLease::kFirstPrivateNumber : number + 1;
}

// The next private range number in turn that no one holds; when every one is
// held, the next in turn all the same.
std::uint32_t take_private_number(Registry& state) {
  if (state.next_private == 0) {
    std::uint32_t start = 0;
    try {
      start = std::random_device()();
    } catch (const std::exception&) {
      // Without a source of entropy every program starts at the same range.
    }
    state.next_private = ImageRangeLease::kFirstPrivateNumber + start % kPrivateNumbers;
  }
  std::uint32_t number = state.next_private;
  for (std::uint32_t tried = 0; tried < kPrivateNumbers && state.holders.contains(number);
       ++tried) {
    number = following_number(number);
  }
  state.next_private = following_number(number);
  return number;
}

}  // namespace

ImageRangeLease ImageRangeLease::acquire(bool own_images) {
  Registry& state = registry();
  const std::lock_guard lock(state.mutex);
  if (!own_images && state.alive == 0) {
    ++state.alive;
    return ImageRangeLease(ImageRange());
  }
  const std::uint32_t number = take_private_number(state);
  ++state.holders[number];
  ++state.alive;
  return ImageRangeLease(ImageRange(number));
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
  if (range_.shared()) return;
  const auto holders = state.holders.find(range_.number());
  if (--holders->second == 0) state.holders.erase(holders);
}

}  // namespace facetview
