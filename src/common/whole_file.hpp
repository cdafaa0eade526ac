// Reading a file whole into memory.
#pragma once

#include <filesystem>
#include <string>

#include "common/error.hpp"
#include "common/file_reader.hpp"
#include "common/interruption.hpp"

namespace facetview {

// The whole content of the file at `path`. Fails with the operating system's
// error (a directory gives "Is a directory"), or when the path holds a NUL
// byte, which the system calls would silently take as its end. A read that a
// signal interrupts, and every few MiB of a long read, asks `interruption`
// whether to go on.
Result<std::string> read_whole_file(const std::filesystem::path& path,
                                    Interruption& interruption = retry_on_signal());

}  // namespace facetview

namespace facetview {

// The rest of an open file, from where it stands to its end; ENOMEM when it
// does not fit in memory.
Result<std::string> read_to_end(FileReader& file, Interruption& interruption = retry_on_signal());

}  // namespace facetview
