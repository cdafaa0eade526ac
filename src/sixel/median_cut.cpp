#include "sixel/median_cut.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace facetview {

namespace {

constexpr std::uint32_t kEmptyKey = 0xFFFFFFFF;  // no 24-bit colour has it
constexpr std::size_t kFirstCapacity = std::size_t{1} << 12;

std::uint32_t colour_key(const std::uint8_t* pixel) {
  return std::uint32_t{pixel[0]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[2];
}

std::uint32_t grid_key(std::uint32_t colour, const std::array<std::uint8_t, 256>& grid) {
  return std::uint32_t{grid[colour >> 16]} << 16 | std::uint32_t{grid[(colour >> 8) & 0xFF]} << 8 |
         grid[colour & 0xFF];
}

// The top bits of a multiplicative hash: capacity is a power of two.
std::size_t slot_of(std::uint32_t key, std::size_t capacity) {
  const std::uint64_t hash = key * std::uint64_t{0x9E3779B97F4A7C15};
  return static_cast<std::size_t>(hash >> (64 - std::countr_zero(capacity)));
}

struct Moments {
  double weight = 0;
  double sum[3] = {};
  double squares[3] = {};

  void add(double weight_of, const double* mean) {
    weight += weight_of;
    for (int channel = 0; channel < 3; ++channel) {
      sum[channel] += weight_of * mean[channel];
      squares[channel] += weight_of * mean[channel] * mean[channel];
    }
  }

  double channel_error(int channel) const {
    return weight == 0 ? 0 : squares[channel] - sum[channel] * sum[channel] / weight;
  }

  double error() const { return channel_error(0) + channel_error(1) + channel_error(2); }
};

}  // namespace

std::vector<Rgb> MedianCut::colours(std::span<const std::uint8_t> rgba, std::size_t count) {
  count_pixels(rgba);
  collect_entries();
  std::vector<Box> boxes;
  if (entries_.empty() || count == 0) return {};
  boxes.push_back(make_box(0, entries_.size()));
  while (boxes.size() < count) {
    // The box whose colours spread most is split next; ties go to the first.
    std::size_t widest = boxes.size();
    for (std::size_t index = 0; index < boxes.size(); ++index) {
      const Box& box = boxes[index];
      if (box.end - box.begin < 2 || box.error <= 0) continue;
      if (widest == boxes.size() || box.error > boxes[widest].error) widest = index;
    }
    if (widest == boxes.size()) break;
    Box low{}, high{};
    if (!split(boxes[widest], low, high)) {
      boxes[widest].error = 0;  // nothing left to separate
      continue;
    }
    boxes[widest] = low;
    boxes.push_back(high);
  }
  std::vector<Rgb> result;
  result.reserve(boxes.size());
  for (const Box& box : boxes) result.push_back(mean_colour(box));
  return result;
}

void MedianCut::count_pixels(std::span<const std::uint8_t> rgba) {
  if (keys_.empty()) {
    keys_.assign(kFirstCapacity, kEmptyKey);
    counts_.assign(kFirstCapacity, 0);
  }
  // Runs of one colour are counted once: frames are mostly such runs.
  const std::size_t pixels = rgba.size() / kBytesPerPixel;
  std::uint32_t run_key = kEmptyKey;
  std::uint32_t run_length = 0;
  for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
    const std::uint32_t key = colour_key(&rgba[pixel * kBytesPerPixel]);
    if (key == run_key) {
      ++run_length;
      continue;
    }
    if (run_length != 0) add(grid_key(run_key, grid_), run_length);
    run_key = key;
    run_length = 1;
  }
  if (run_length != 0) add(grid_key(run_key, grid_), run_length);
}

void MedianCut::add(std::uint32_t key, std::uint32_t count) {
  std::size_t slot = slot_of(key, keys_.size());
  while (keys_[slot] != key && keys_[slot] != kEmptyKey) slot = (slot + 1) & (keys_.size() - 1);
  if (keys_[slot] == kEmptyKey) {
    keys_[slot] = key;
    if (2 * ++used_ > keys_.size()) {
      counts_[slot] = count;
      grow();
      return;
    }
  }
  counts_[slot] += count;
}

void MedianCut::grow() {
  std::vector<std::uint32_t> keys(2 * keys_.size(), kEmptyKey);
  std::vector<std::uint32_t> counts(keys.size(), 0);
  for (std::size_t old = 0; old < keys_.size(); ++old) {
    if (keys_[old] == kEmptyKey) continue;
    std::size_t slot = slot_of(keys_[old], keys.size());
    while (keys[slot] != kEmptyKey) slot = (slot + 1) & (keys.size() - 1);
    keys[slot] = keys_[old];
    counts[slot] = counts_[old];
  }
  keys_.swap(keys);
  counts_.swap(counts);
}

void MedianCut::collect_entries() {
  entries_.clear();
  entries_.reserve(used_);
  for (std::size_t slot = 0; slot < keys_.size(); ++slot) {
    const std::uint32_t key = keys_[slot];
    if (key == kEmptyKey) continue;
    entries_.push_back({{static_cast<double>(key >> 16), static_cast<double>((key >> 8) & 0xFF),
                         static_cast<double>(key & 0xFF)},
                        static_cast<double>(counts_[slot]),
                        key});
    keys_[slot] = kEmptyKey;  // ready for the next frame
    counts_[slot] = 0;
  }
  used_ = 0;
  // In colour order, so that the result depends on the colours alone.
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.key < b.key; });
}

MedianCut::Box MedianCut::make_box(std::size_t begin, std::size_t end) const {
  Moments moments;
  for (std::size_t index = begin; index < end; ++index) {
    moments.add(entries_[index].weight, entries_[index].mean);
  }
  return {begin, end, moments.error()};
}

bool MedianCut::split(const Box& box, Box& low, Box& high) {
  Moments whole;
  for (std::size_t index = box.begin; index < box.end; ++index) {
    whole.add(entries_[index].weight, entries_[index].mean);
  }
  int axis = 0;
  for (int channel = 1; channel < 3; ++channel) {
    if (whole.channel_error(channel) > whole.channel_error(axis)) axis = channel;
  }
  const auto first = entries_.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = entries_.begin() + static_cast<std::ptrdiff_t>(box.end);
  std::sort(first, last, [axis](const Entry& a, const Entry& b) {
    return a.mean[axis] != b.mean[axis] ? a.mean[axis] < b.mean[axis] : a.key < b.key;
  });
  // The cut that leaves the least error on its two sides, between entries of
  // different values on the axis.
  Moments before;
  std::size_t best_cut = 0;
  double best_error = 0;
  for (std::size_t index = box.begin; index + 1 < box.end; ++index) {
    before.add(entries_[index].weight, entries_[index].mean);
    if (entries_[index].mean[axis] == entries_[index + 1].mean[axis]) continue;
    Moments after;
    after.weight = whole.weight - before.weight;
    for (int channel = 0; channel < 3; ++channel) {
      after.sum[channel] = whole.sum[channel] - before.sum[channel];
      after.squares[channel] = whole.squares[channel] - before.squares[channel];
    }
    const double error = before.error() + after.error();
    if (best_cut == 0 || error < best_error) {
      best_cut = index + 1;
      best_error = error;
    }
  }
  if (best_cut == 0) return false;
  low = make_box(box.begin, best_cut);
  high = make_box(best_cut, box.end);
  return true;
}

Rgb MedianCut::mean_colour(const Box& box) const {
  Moments moments;
  for (std::size_t index = box.begin; index < box.end; ++index) {
    moments.add(entries_[index].weight, entries_[index].mean);
  }
  const auto channel = [&](int which) {
    return static_cast<std::uint8_t>(
        std::clamp(std::lround(moments.sum[which] / moments.weight), 0L, 255L));
  };
  return {channel(0), channel(1), channel(2)};
}

}  // namespace facetview
