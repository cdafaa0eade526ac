// Where to cut a triangle list into runs, one per thread, so that the runs
// take about equally long. Visible triangles cost far more than culled ones
// and gather in parts of the list, so equal counts leave one thread idle.
// Runs stay contiguous and in list order, so where the cuts fall never
// changes the pixels: only how long the frame takes.
#pragma once

#include <cstddef>
#include <vector>

namespace facetview {

class ShareBalance {
 public:
  // The first triangle of each run and, last, the end of the list: shares + 1
  // ascending indices from 0 to count. Equal counts until timings are known
  // for the same count and number of shares.
  const std::vector<std::size_t>& cuts(std::size_t count, std::size_t shares);

  // Seconds each run of the last cuts took; moves the cuts halfway towards
  // where those timings say the work divides evenly.
  void record(const std::vector<double>& seconds);

 private:
  std::size_t count_ = 0;
  std::vector<double> positions_;  // the cuts as shares of the list, 0 to 1
  std::vector<std::size_t> cuts_;
};

}  // namespace facetview
