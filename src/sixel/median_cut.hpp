// The colours that best stand for a frame, by median cut: the histogram of
// its colours on a grid (each channel mapped by a table, such as to sixel's
// percentages) is split into boxes, always the box whose colours spread
// most, at the point that leaves the least squared error on both sides. Each
// box gives its mean, in the grid's units.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/rgba.hpp"

namespace facetview {

class MedianCut {
 public:
  // grid[v] is the grid step of the channel value v.
  explicit MedianCut(const std::array<std::uint8_t, 256>& grid) : grid_(grid) {}

  // At most count colours for the RGBA pixels of frame (alpha ignored, fewer
  // than 2^32 pixels); fewer when the frame has fewer colours on the grid. The same pixels always
  // give the same colours in the same order.
  std::vector<Rgb> colours(std::span<const std::uint8_t> rgba, std::size_t count);

 private:
  // A colour of the frame, weighted by its pixels.
  struct Entry {
    double mean[3];
    double weight;
    std::uint32_t key;
  };

  struct Box {
    std::size_t begin;
    std::size_t end;
    double error;  // weighted squared distance of its entries from their mean
  };

  void count_pixels(std::span<const std::uint8_t> rgba);
  void add(std::uint32_t key, std::uint32_t count);
  void grow();
  void collect_entries();
  Box make_box(std::size_t begin, std::size_t end) const;
  // Splits box into two boxes, or returns false when it cannot be split.
  bool split(const Box& box, Box& low, Box& high);
  Rgb mean_colour(const Box& box) const;

  std::array<std::uint8_t, 256> grid_;
  // The histogram: open addressing on the colour's 24 bits, at most half full.
  std::vector<std::uint32_t> keys_;
  std::vector<std::uint32_t> counts_;
  std::size_t used_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace facetview
