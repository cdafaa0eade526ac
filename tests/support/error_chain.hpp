// The messages of a failed result's error chain, outermost first; none for a success.
#pragma once

#include <string>
#include <vector>

#include "common/error.hpp"

namespace facetview {

using Chain = std::vector<std::string>;

template <class T>
Chain messages(const Result<T>& r) {
  Chain chain;
  for (auto e = r.ok() ? nullptr : &r.error(); e; e = e->cause()) chain.push_back(e->message());
  return chain;
}

}  // namespace facetview
