#include "surface/presenter_choice.hpp"

#include "kitty/presenter.hpp"
#include "sixel/presenter.hpp"

namespace facetview {

std::unique_ptr<Presenter> make_presenter(PresentMethod method, ColourDepth colour_depth,
                                          ImageRange image_range) {
  switch (method) {
    case PresentMethod::sixel:
      return std::make_unique<SixelPresenter>();
    case PresentMethod::blocks:
      return std::make_unique<BlocksPresenter>(colour_depth);
    case PresentMethod::kitty:
      break;
  }
  return std::make_unique<KittyPresenter>(image_range);
}

}  // namespace facetview
