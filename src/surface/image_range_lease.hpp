// Hands out the kitty image ranges of the surfaces alive in a process. A
// surface made while no other is alive gets the shared range, so a program
// with one surface draws exactly as if ranges did not exist; every further
// surface, and every surface that asks for images of its own, gets a private
// range. Private ranges are handed out in turn from a random start, skipping
// those in use: a range freed just now (a picture of a surface that is gone
// may still be on screen) is the last to be given again, and two programs
// drawing pictures one after the other rarely meet on the same ids.
#pragma once

#include <cstdint>

#include "kitty/image_range.hpp"

namespace facetview {

class ImageRangeLease {
 public:
  // The lowest private range handed out: the shared range's ids stay below
  // it for viewports of up to half a million tiles.
  static constexpr std::uint32_t kFirstPrivateNumber = 16;

  // The shared range, held by no one: for surfaces outside the registry.
  ImageRangeLease() = default;
  // A registered range: private when own_images is set or another registered
  // surface is alive. Thread-safe.
  static ImageRangeLease acquire(bool own_images);

  ImageRangeLease(ImageRangeLease&& other) noexcept;
  ImageRangeLease& operator=(ImageRangeLease&& other) noexcept;
  ~ImageRangeLease();

  ImageRange range() const { return range_; }

 private:
  explicit ImageRangeLease(ImageRange range) : range_(range), registered_(true) {}
  void release();

  ImageRange range_;
  bool registered_ = false;
};

}  // namespace facetview
