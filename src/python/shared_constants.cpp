#include "python/shared_constants.hpp"

#include <string_view>

#include "kitty/presenter.hpp"
#include "raster/camera.hpp"
#include "surface/quality.hpp"

namespace facetview {
namespace {

PyObject* text(std::string_view value) {
  return PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size()));
}

PyObject* quality_names() {
  OwnedRef names(PyDict_New());
  if (names == nullptr) return nullptr;
  for (const QualityName& name : accepted_quality_names()) {
    const OwnedRef alias(text(name.text));
    const OwnedRef canonical(text(quality_name(name.quality)));
    if (alias == nullptr || canonical == nullptr ||
        PyDict_SetItem(names.get(), alias.get(), canonical.get()) != 0) {
      return nullptr;
    }
  }
  return names.release();
}

// Takes the reference `value` (null with an exception set on failure).
bool add(PyObject* module, const char* name, PyObject* value) {
  const OwnedRef owned(value);
  return owned != nullptr && PyObject_SetAttrString(module, name, owned.get()) == 0;
}

}  // namespace

bool add_shared_constants(PyObject* module) {
  constexpr std::string_view delete_all = KittyPresenter::kDeleteAllSequence;
  return add(module, "ZOOM_RANGE", Py_BuildValue("(dd)", kLowestZoom, kHighestZoom)) &&
         add(module, "QUALITY_NAMES", quality_names()) &&
         add(module, "KITTY_DELETE_ALL",
             PyBytes_FromStringAndSize(delete_all.data(),
                                       static_cast<Py_ssize_t>(delete_all.size())));
}

}  // namespace facetview
