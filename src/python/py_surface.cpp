#include "python/py_surface.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"
#include "python/py_camera.hpp"
#include "python/py_mesh.hpp"
#include "python/py_viewport.hpp"
#include "python/signal_handlers.hpp"
#include "surface/stdout_writer.hpp"

namespace facetview {
namespace {

constexpr const char* kQualityNames[] = {"quality"};
constexpr Parameters kNewParameters{"Surface.__new__()", kQualityNames, 0};
constexpr Parameters kSetQualityParameters{"Surface.set_quality()", kQualityNames, 1};

constexpr const char* kViewportNames[] = {"viewport"};
constexpr Parameters kFramebufferSizeParameters{"Surface.framebuffer_size()", kViewportNames, 1};

constexpr const char* kRenderNames[] = {"mesh", "camera", "viewport"};
constexpr Parameters kRenderParameters{"Surface.render_to_terminal()", kRenderNames, 3};

// The quality named by argument, a str; false with TypeError or ValueError set.
bool convert_quality(PyObject* argument, Quality& out) {
  std::string text;
  if (!convert_text(argument, "quality", text)) return false;
  if (const std::optional<Quality> quality = parse_quality(text)) {
    out = *quality;
    return true;
  }
  // The name may hold any character, NUL included, so the message is built as a str.
  const std::string message = "unknown quality '" + text + "', expected low|medium|high";
  const OwnedRef message_text(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), nullptr));
  if (message_text != nullptr) PyErr_SetObject(PyExc_ValueError, message_text.get());
  return false;
}

PyObject* size_tuple(std::uint32_t width, std::uint32_t height) {
  return Py_BuildValue("(kk)", static_cast<unsigned long>(width),
                       static_cast<unsigned long>(height));
}

PyObject* surface_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(kNewParameters, args, kwargs, matched)) return nullptr;
    Quality quality = Quality::medium;
    if (matched[0] != nullptr && !convert_quality(matched[0], quality)) return nullptr;
    return new_instance(type, std::make_unique<TerminalSurface>(quality));
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

PyObject* surface_framebuffer_size(PyObject* self, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(kFramebufferSizeParameters, args, kwargs, matched)) return nullptr;
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow surface_borrow(surface->borrow, Access::shared);
    if (!surface_borrow) return nullptr;
    if (!check_instance(matched[0], module_types().viewport, "viewport")) return nullptr;
    PyViewport* viewport = as_instance<Viewport>(matched[0]);
    const Borrow viewport_borrow(viewport->borrow, Access::shared);
    if (!viewport_borrow) return nullptr;
    const FrameSize size = framebuffer_size(surface->record->quality(), *viewport->record);
    return size_tuple(size.width, size.height);
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
    if (!check_instance(matched[1], types.camera, "camera")) return nullptr;
    PyCamera* camera = as_instance<Camera>(matched[1]);
    const Borrow camera_borrow(camera->borrow, Access::shared);
    if (!camera_borrow) return nullptr;
    if (!check_instance(matched[2], types.viewport, "viewport")) return nullptr;
    PyViewport* viewport = as_instance<Viewport>(matched[2]);
    const Borrow viewport_borrow(viewport->borrow, Access::shared);
    if (!viewport_borrow) return nullptr;

    // A frame too large to allocate throws std::bad_alloc, which becomes
    // MemoryError; the surface stays usable for a smaller frame.
    const Result<PresentedFrame> frame =
        surface->record->render_and_present(standard_output(python_signal_handlers()),
                                            *mesh->record, *camera->record, *viewport->record);
    if (!frame) return raise_error(frame.error());
    return size_tuple(frame->width, frame->height);
  });
}

PyObject* surface_clear(PyObject* self, PyObject*) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::exclusive);
    if (!borrow) return nullptr;
    // Takes effect before the call returns. Whatever happens, the images on
    // screen are unknown now, so the next frame rebuilds.
    surface->record->presenter().reset();
    ByteOutput& output = standard_output(python_signal_handlers());
    Status cleared = output.write_all(Presenter::delete_all_sequence);
    if (cleared) cleared = output.flush();
    if (!cleared) {
      output.discard();
      return raise_error(cleared.error());
    }
    Py_RETURN_NONE;
  });
}

PyObject* surface_repr(PyObject* self) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PySurface* surface = as_instance<TerminalSurface>(self);
    const Borrow borrow(surface->borrow, Access::shared);
    if (!borrow) return nullptr;
    const std::string text =
        "Surface(quality=\"" + std::string(quality_name(surface->record->quality())) + "\")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

constexpr int kArgumentsFlags = METH_VARARGS | METH_KEYWORDS;

PyMethodDef surface_methods[] = {
    {"set_quality", as_py_cfunction(surface_set_quality), kArgumentsFlags,
     "set_quality($self, quality)\n--\n\n"},
    {"framebuffer_size", as_py_cfunction(surface_framebuffer_size), kArgumentsFlags,
     "framebuffer_size($self, viewport)\n--\n\n"},
    {"render_to_terminal", as_py_cfunction(surface_render_to_terminal), kArgumentsFlags,
     "render_to_terminal($self, mesh, camera, viewport)\n--\n\n"},
    {"clear", as_py_cfunction(surface_clear), METH_NOARGS, "clear($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot surface_slots[] = {
    {Py_tp_doc, const_cast<char*>("Surface(quality=\"medium\")\n--\n\n")},
    {Py_tp_new, as_slot(surface_new)},
    {Py_tp_dealloc, as_slot(dealloc_instance<TerminalSurface>)},
    {Py_tp_repr, as_slot(surface_repr)},
    {Py_tp_methods, surface_methods},
    {0, nullptr},
};

}  // namespace

PyTypeObject* create_surface_type() {
  return create_instance_type<TerminalSurface>("builtins.Surface", surface_slots);
}

}  // namespace facetview
