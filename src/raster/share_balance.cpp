#include "raster/share_balance.hpp"

#include <algorithm>
#include <cmath>

namespace facetview {

const std::vector<std::size_t>& ShareBalance::cuts(std::size_t count, std::size_t shares) {
  if (count != count_ || positions_.size() != shares + 1) {
    count_ = count;
    positions_.resize(shares + 1);
    for (std::size_t share = 0; share <= shares; ++share) {
      positions_[share] = static_cast<double>(share) / static_cast<double>(shares);
    }
  }
  cuts_.resize(shares + 1);
  cuts_.front() = 0;
  cuts_.back() = count;
  for (std::size_t share = 1; share < shares; ++share) {
    const double at = std::clamp(positions_[share], 0.0, 1.0) * static_cast<double>(count);
    cuts_[share] = std::clamp(static_cast<std::size_t>(at), cuts_[share - 1], count);
  }
  return cuts_;
}

void ShareBalance::record(const std::vector<double>& seconds) {
  const std::size_t shares = positions_.size() - 1;
  if (positions_.size() < 2 || seconds.size() != shares) return;
  double total = 0;
  for (const double taken : seconds) {
    if (!(taken >= 0) || !std::isfinite(taken)) return;
    total += taken;
  }
  if (!(total > 0) || !std::isfinite(total)) return;
  // The work is taken as spread evenly within each run; the new cut j lies
  // where the work before it is j / shares of the whole.
  std::vector<double> target(shares + 1);
  target.front() = 0;
  target.back() = 1;
  std::size_t run = 0;
  double before = 0;  // work of the runs before `run`
  for (std::size_t cut = 1; cut < shares; ++cut) {
    const double wanted = total * static_cast<double>(cut) / static_cast<double>(shares);
    while (run + 1 < shares && before + seconds[run] < wanted) before += seconds[run++];
    const double width = positions_[run + 1] - positions_[run];
    const double within = seconds[run] > 0 ? (wanted - before) / seconds[run] : 0.5;
    target[cut] = positions_[run] + width * std::clamp(within, 0.0, 1.0);
  }
  for (std::size_t cut = 1; cut < shares; ++cut) {
    positions_[cut] = std::clamp(0.5 * (positions_[cut] + target[cut]), positions_[cut - 1], 1.0);
  }
}

}  // namespace facetview
