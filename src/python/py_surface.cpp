#include "python/py_surface.hpp"

#include <unistd.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/interpreter_unlocked.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh.hpp"
#include "python/py_orbit_camera.hpp"
#include "python/py_viewport.hpp"
#include "python/signal_handlers.hpp"
#include "surface/stdout_writer.hpp"
#include "surface/terminal_display.hpp"

namespace facetview {
namespace {

constexpr const char* kQualityNames[] = {"quality"};
constexpr const char* kNewNames[] = {"quality", "protocol", "cell_size",  "max_size",
                                     "colours", "edges",    "own_images", "true_colour"};
constexpr Parameters kNewParameters{"Surface.__new__()", kNewNames, 0, 1};
constexpr Parameters kSetQualityParameters{"Surface.set_quality()", kQualityNames, 1};

constexpr const char* kViewportNames[] = {"viewport"};
constexpr Parameters kFramebufferSizeParameters{"Surface.framebuffer_size()", kViewportNames, 1};
constexpr Parameters kReductionParameters{"Surface.reduction()", kViewportNames, 1};

constexpr const char* kRenderNames[] = {"mesh", "camera", "viewport"};
constexpr Parameters kRenderParameters{"Surface.render_to_terminal()", kRenderNames, 3};

// ValueError with message, which quotes a name as given: it may hold any
// character, NUL included, so the message is built as a str.
void raise_unknown_name(const std::string& message) {
  const OwnedRef text(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), nullptr));
  if (text != nullptr) PyErr_SetObject(PyExc_ValueError, text.get());
}

// The quality named by argument, a str; false with TypeError or ValueError set.
bool convert_quality(PyObject* argument, Quality& out) {
  std::string text;
  if (!convert_text(argument, "quality", text, kLegacyStrName)) return false;
  if (const std::optional<Quality> quality = parse_quality(text)) {
    out = *quality;
    return true;
  }
  raise_unknown_name("unknown quality '" + text + "', expected low|medium|high|full");
  return false;
}

using PixelPair = std::optional<std::pair<std::uint16_t, std::uint16_t>>;

// A (width, height) pair of pixels, each 1 to 65535, for the argument name;
// false with an exception set otherwise. what names the pair in the message
// for a side of 0.
bool convert_pixel_pair(PyObject* argument, const char* name, const char* what, PixelPair& out) {
  if (argument == Py_None) {
    out.reset();
    return true;
  }
  if (!PyTuple_Check(argument) || PyTuple_Size(argument) != 2) {
    PyErr_Format(PyExc_TypeError, "argument '%s': expected a tuple (width, height)", name);
    return false;
  }
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (!convert_u16(PyTuple_GetItem(argument, 0), name, width) ||
      !convert_u16(PyTuple_GetItem(argument, 1), name, height)) {
    return false;
  }
  if (width == 0 || height == 0) {
    PyErr_Format(PyExc_ValueError, "%s must be at least 1x1 pixels", what);
    return false;
  }
  out = std::pair(width, height);
  return true;
}

// Colour registers, 1 to 65535, or None; false with an exception set otherwise.
bool convert_colours(PyObject* argument, std::optional<std::uint16_t>& out) {
  if (argument == Py_None) {
    out.reset();
    return true;
  }
  std::uint16_t colours = 0;
  if (!convert_u16(argument, "colours", colours)) return false;
  if (colours == 0) {
    PyErr_SetString(PyExc_ValueError, "colours must be at least 1");
    return false;
  }
  out = colours;
  return true;
}

// The method named by argument, a str; false with an exception set.
bool convert_protocol(PyObject* argument, PresentMethod& out) {
  std::string text;
  if (!convert_text(argument, "protocol", text)) return false;
  // Choosing by asking the terminal belongs to the package's Surface, which
  // hands this type the method it chose.
  if (text == "auto") {
    PyErr_SetString(PyExc_ValueError,
                    "protocol 'auto' is resolved by facetview.Surface, which asks the terminal");
    return false;
  }
  if (const std::optional<PresentMethod> method = parse_present_method(text)) {
    out = *method;
    return true;
  }
  // Programs reach this type through the package's Surface, which takes "auto" too.
  raise_unknown_name("unknown protocol '" + text + "', expected auto|kitty|sixel|blocks");
  return false;
}

// Any object's truth, as for Python's own flags; fallback where absent. -1
// with an exception set.
int flag_argument(PyObject* argument, bool fallback) {
  return argument == nullptr ? int{fallback} : PyObject_IsTrue(argument);
}

// Takes what the terminal on standard output tells now: its rows and cell
// size, which sixel frames and full-quality kitty frames are sized by.
void measure_display(TerminalSurface& surface) {
  if (surface.method() != PresentMethod::blocks) {
    surface.update_display(measure_terminal_display(STDOUT_FILENO));
  }
}

PyObject* size_tuple(std::uint32_t width, std::uint32_t height) {
  return Py_BuildValue("(kk)", static_cast<unsigned long>(width),
                       static_cast<unsigned long>(height));
}

PyObject* surface_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[8];
    if (!match_arguments(kNewParameters, args, kwargs, matched)) return nullptr;
    Quality quality = Quality::medium;
    if (matched[0] != nullptr && !convert_quality(matched[0], quality)) return nullptr;
    PresentMethod method = PresentMethod::kitty;
    if (matched[1] != nullptr && !convert_protocol(matched[1], method)) return nullptr;
    // Cell size and sixel limits as the terminal told them; unknown where absent.
    PixelPair cell_size;
    PixelPair max_size;
    std::optional<std::uint16_t> colours;
    if ((matched[2] != nullptr &&
         !convert_pixel_pair(matched[2], "cell_size", "cell size", cell_size)) ||
        (matched[3] != nullptr &&
         !convert_pixel_pair(matched[3], "max_size", "max_size", max_size)) ||
        (matched[4] != nullptr && !convert_colours(matched[4], colours))) {
      return nullptr;
    }
    const int edges = flag_argument(matched[5], false);
    if (edges < 0) return nullptr;
    const int own_images = flag_argument(matched[6], false);
    if (own_images < 0) return nullptr;
    // The colour depth matters to half-block cells only.
    const int true_colour = flag_argument(matched[7], true);
    if (true_colour < 0) return nullptr;
    auto surface = std::make_unique<TerminalSurface>(
        quality, method, true_colour != 0 ? ColourDepth::true_colour : ColourDepth::palette_256,
        ImageRangeLease::acquire(own_images != 0));
    surface->overlays().edges = edges != 0;
    if (cell_size) surface->set_reported_cell_size(cell_size->first, cell_size->second);
    if (max_size || colours) {
      const auto side = [&](bool first) -> std::optional<std::uint32_t> {
        if (!max_size) return std::nullopt;
        return first ? max_size->first : max_size->second;
      };
      surface->set_reported_sixel_limits(side(true), side(false), colours);
    }
    return new_instance(type, std::move(surface));
  });
}

PyObject* surface_set_quality(PyObject* self, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(kSetQualityParameters, args, kwargs, matched)) return nullptr;
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::exclusive);
    if (!borrow) return nullptr;
    Quality quality = Quality::medium;
    if (!convert_quality(matched[0], quality)) return nullptr;
    surface->record->set_quality(quality);
    Py_RETURN_NONE;
  });
}

// The body of the methods that take one viewport: borrows the surface and the
// viewport, takes what the terminal tells now and returns answer(surface, viewport).
template <class Answer>
PyObject* with_viewport(const Parameters& parameters, PyObject* self, PyObject* args,
                        PyObject* kwargs, Answer answer) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(parameters, args, kwargs, matched)) return nullptr;
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow surface_borrow(surface->borrow, Access::shared);
    if (!surface_borrow) return nullptr;
    if (!check_instance(matched[0], module_types().viewport, "viewport")) return nullptr;
    PyViewport* viewport = as_instance<Viewport>(matched[0]);
    const Borrow viewport_borrow(viewport->borrow, Access::shared);
    if (!viewport_borrow) return nullptr;
    measure_display(*surface->record);
    return answer(*surface->record, *viewport->record);
  });
}

PyObject* surface_framebuffer_size(PyObject* self, PyObject* args, PyObject* kwargs) {
  return with_viewport(kFramebufferSizeParameters, self, args, kwargs,
                       [](TerminalSurface& surface, const Viewport& viewport) {
                         const FrameSize size = surface.frame_size(viewport);
                         return size_tuple(size.width, size.height);
                       });
}

PyObject* surface_reduction(PyObject* self, PyObject* args, PyObject* kwargs) {
  return with_viewport(kReductionParameters, self, args, kwargs,
                       [](TerminalSurface& surface, const Viewport& viewport) {
                         return PyLong_FromUnsignedLong(surface.reduction(viewport));
                       });
}

PyObject* surface_render_to_terminal(PyObject* self, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[3];
    if (!match_arguments(kRenderParameters, args, kwargs, matched)) return nullptr;
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow surface_borrow(surface->borrow, Access::exclusive);
    if (!surface_borrow) return nullptr;

    const ModuleTypes& types = module_types();
    if (!check_instance(matched[0], types.mesh, "mesh")) return nullptr;
    PyMesh* mesh = as_instance<Mesh>(matched[0]);
    const Borrow mesh_borrow(mesh->borrow, Access::shared);
    if (!mesh_borrow) return nullptr;
    AnyCamera camera;
    if (!read_any_camera(matched[1], camera)) return nullptr;
    if (!check_instance(matched[2], types.viewport, "viewport")) return nullptr;
    PyViewport* viewport = as_instance<Viewport>(matched[2]);
    const Borrow viewport_borrow(viewport->borrow, Access::shared);
    if (!viewport_borrow) return nullptr;

    // A frame too large to allocate throws std::bad_alloc, which becomes
    // MemoryError; the surface stays usable for a smaller frame.
    measure_display(*surface->record);
    const Result<PresentedFrame> frame = [&] {
      // Other threads run meanwhile; the four objects stay borrowed.
      const InterpreterUnlocked unlocked;
      const std::lock_guard output_lock(standard_output_lock());
      return surface->record->render_and_present(standard_output(python_signal_handlers()),
                                                 *mesh->record, camera, *viewport->record);
    }();
    if (!frame) return raise_error(frame.error());
    return size_tuple(frame->width, frame->height);
  });
}

constexpr const char* kGridNames[] = {"cells", "viewport"};
constexpr Parameters kGridParameters{"Surface.render_grid()", kGridNames, 2};

// Takes shared access to the instance of `type` that `object` must be, for
// as long as `borrows` lives; null with the error set otherwise.
template <class Record>
const Record* borrowed(PyObject* object, PyTypeObject* type, const char* name,
                       std::deque<Borrow>& borrows) {
  if (!check_instance(object, type, name)) return nullptr;
  PyInstance<Record>* instance = as_instance<Record>(object);
  if (!borrows.emplace_back(instance->borrow, Access::shared)) return nullptr;
  return instance->record;
}

// One (mesh or None, camera, viewport) item of render_grid's cells.
bool convert_grid_cell(PyObject* item, std::deque<Borrow>& borrows, GridCell& cell) {
  const ModuleTypes& types = module_types();
  if (!PyTuple_Check(item) || PyTuple_Size(item) != 3) {
    PyErr_SetString(PyExc_TypeError, "each cell must be a tuple (mesh or None, camera, viewport)");
    return false;
  }
  PyObject* mesh = PyTuple_GetItem(item, 0);
  cell.mesh = nullptr;
  if (mesh != Py_None && !(cell.mesh = borrowed<Mesh>(mesh, types.mesh, "mesh", borrows))) {
    return false;
  }
  if (!read_any_camera(PyTuple_GetItem(item, 1), cell.camera)) return false;
  const Viewport* cells =
      borrowed<Viewport>(PyTuple_GetItem(item, 2), types.viewport, "viewport", borrows);
  if (cells == nullptr) return false;
  cell.cells = *cells;
  return true;
}

PyObject* surface_render_grid(PyObject* self, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[2];
    if (!match_arguments(kGridParameters, args, kwargs, matched)) return nullptr;
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow surface_borrow(surface->borrow, Access::exclusive);
    if (!surface_borrow) return nullptr;
    std::deque<Borrow> borrows;
    const Viewport* viewport =
        borrowed<Viewport>(matched[1], module_types().viewport, "viewport", borrows);
    if (viewport == nullptr) return nullptr;
    const Py_ssize_t count = PySequence_Size(matched[0]);
    if (count < 0) return nullptr;
    std::vector<GridCell> cells(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
      const OwnedRef item(PySequence_GetItem(matched[0], i));
      if (item == nullptr ||
          !convert_grid_cell(item.get(), borrows, cells[static_cast<std::size_t>(i)])) {
        return nullptr;
      }
    }
    measure_display(*surface->record);
    const Result<PresentedFrame> frame = [&] {
      const InterpreterUnlocked unlocked;
      return surface->record->render_grid_and_present(standard_output(python_signal_handlers()),
                                                      cells, *viewport);
    }();
    if (!frame) return raise_error(frame.error());
    return size_tuple(frame->width, frame->height);
  });
}

PyObject* surface_clear(PyObject* self, PyObject*) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::exclusive);
    if (!borrow) return nullptr;
    // Takes effect before the call returns. Whatever happens, what is on
    // screen is unknown now, so the next frame is sent whole.
    const Status cleared = [&] {
      // A write blocked on a full pipe lets other threads run.
      const InterpreterUnlocked unlocked;
      const std::lock_guard output_lock(standard_output_lock());
      ByteOutput& output = standard_output(python_signal_handlers());
      Status status = surface->record->clear(output);
      if (status) status = output.flush();
      if (!status) output.discard();
      return status;
    }();
    if (!cleared) return raise_error(cleared.error());
    Py_RETURN_NONE;
  });
}

PyObject* surface_repr(PyObject* self) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::shared);
    if (!borrow) return nullptr;
    std::string text =
        "Surface(quality=\"" + std::string(quality_name(surface->record->quality())) + "\"";
    // The kitty default keeps its short form.
    if (surface->record->method() != PresentMethod::kitty) {
      text += ", protocol=\"" + std::string(present_method_name(surface->record->method())) + "\"";
    }
    if (surface->record->overlays().edges) text += ", edges=True";
    text += ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

PyObject* surface_protocol(PyObject* self, void*) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::shared);
    if (!borrow) return nullptr;
    const std::string_view name = present_method_name(surface->record->method());
    return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
  });
}

template <bool Overlays::*Overlay>
PyObject* get_overlay(PyObject* self, void*) {
  PySurface* surface = as_instance<TerminalSurface>(self);
  const Borrow borrow(surface->borrow, Access::shared);
  if (!borrow) return nullptr;
  return PyBool_FromLong(surface->record->overlays().*Overlay);
}

template <bool Overlays::*Overlay>
int set_overlay(PyObject* self, PyObject* value, void*) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
  }
  const int on = PyObject_IsTrue(value);
  if (on < 0) return -1;
  PySurface* surface = as_instance<TerminalSurface>(self);
  const Borrow borrow(surface->borrow, Access::exclusive);
  if (!borrow) return -1;
  surface->record->overlays().*Overlay = on != 0;
  return 0;
}

PyGetSetDef surface_getset[] = {
    {"protocol", surface_protocol, nullptr, nullptr, nullptr},
    {"edges", get_overlay<&Overlays::edges>, set_overlay<&Overlays::edges>, nullptr, nullptr},
    {"axis_triad", get_overlay<&Overlays::axis_triad>, set_overlay<&Overlays::axis_triad>, nullptr,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr int kArgumentsFlags = METH_VARARGS | METH_KEYWORDS;

PyMethodDef surface_methods[] = {
    {"set_quality", as_py_cfunction(surface_set_quality), kArgumentsFlags,
     "set_quality($self, quality)\n--\n\n"},
    {"framebuffer_size", as_py_cfunction(surface_framebuffer_size), kArgumentsFlags,
     "framebuffer_size($self, viewport)\n--\n\n"},
    {"reduction", as_py_cfunction(surface_reduction), kArgumentsFlags,
     "reduction($self, viewport)\n--\n\n"},
    {"render_to_terminal", as_py_cfunction(surface_render_to_terminal), kArgumentsFlags,
     "render_to_terminal($self, mesh, camera, viewport)\n--\n\n"},
    {"render_grid", as_py_cfunction(surface_render_grid), kArgumentsFlags,
     "render_grid($self, cells, viewport)\n--\n\n"},
    {"clear", as_py_cfunction(surface_clear), METH_NOARGS, "clear($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot surface_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("Surface(quality=\"medium\", *, protocol=\"kitty\", cell_size=None, "
                       "max_size=None, colours=None, edges=False, own_images=False, "
                       "true_colour=True)\n--\n\n")},
    {Py_tp_getset, surface_getset},
    {Py_tp_new, as_slot(surface_new)},
    {Py_tp_dealloc, as_slot(dealloc_instance<TerminalSurface>)},
    {Py_tp_repr, as_slot(surface_repr)},
    {Py_tp_methods, surface_methods},
    {0, nullptr},
};

}  // namespace

PyTypeObject* create_surface_type() {
  // The package's Surface derives from it, to choose the method by asking the terminal.
  return create_instance_type<TerminalSurface>("builtins.Surface", surface_slots,
                                               Subclassing::allowed);
}

}  // namespace facetview
