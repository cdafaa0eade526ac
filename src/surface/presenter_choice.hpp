// The one place that turns a method's name into a presenter.
#pragma once

#include <memory>

#include "blocks/presenter.hpp"
#include "common/presenter.hpp"
#include "kitty/image_range.hpp"
#include "surface/present_method.hpp"

namespace facetview {

// colour_depth matters to half-block cells only, image_range to kitty images only.
std::unique_ptr<Presenter> make_presenter(PresentMethod method, ColourDepth colour_depth,
                                          ImageRange image_range);

}  // namespace facetview
