// Reading a file whole into memory.
#pragma once

#include <filesystem>
#include <string>

#include "common/error.hpp"

namespace facetview {

// The whole content of the file at `path`. Fails with the operating system's
// error (a directory gives "Is a directory"), or when the path holds a NUL
// byte, which the system calls would silently take as its end.
Result<std::string> read_whole_file(const std::filesystem::path& path);

}  // namespace facetview
