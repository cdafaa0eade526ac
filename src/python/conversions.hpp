// Conversion of Python arguments to the values that records hold. Each
// function names the parameter in its TypeError ("argument 'col': ...") and
// returns false with the error set when the argument does not convert.
#pragma once

#include "python/python.hpp"

#include <cstdint>
#include <string>

namespace facetview {

// An int or an object with __index__, in 0 to 65535.
bool convert_u16(PyObject* argument, const char* name, std::uint16_t& out);

// Anything the interpreter's float() conversion takes, narrowed to the nearest float.
bool convert_f32(PyObject* argument, const char* name, float& out);

// What a TypeError calls the str type that a text argument expects: the
// module's first methods (Surface's quality, Mesh.from_stl's path) have
// always said "PyString"; the rest say "str".
inline constexpr const char* kStrName = "str";
inline constexpr const char* kLegacyStrName = "PyString";

// A str or a subclass of it, as UTF-8.
bool convert_text(PyObject* argument, const char* name, std::string& out,
                  const char* str_name = kStrName);

// A str, bytes or os.PathLike object as the bytes that os.fsencode gives, so
// that a str holding escaped undecodable bytes gives those bytes back. Other
// types give the TypeError of convert_text; a str that the file-system
// encoding cannot encode gives the interpreter's UnicodeEncodeError.
bool convert_path(PyObject* argument, const char* name, std::string& out,
                  const char* str_name = kStrName);

// An instance of type (or of a subclass).
bool check_instance(PyObject* argument, PyTypeObject* type, const char* name);

}  // namespace facetview
