// The process-wide buffered writer on file descriptor 1.
#pragma once

#include "common/byte_output.hpp"
#include "common/error.hpp"

namespace facetview {

// Created on first use; holds up to 1024 bytes; each call locks it on its own.
// Never goes through Python's sys.stdout.
ByteOutput& standard_output();

// Writes out whatever the writer still holds, such as the delete-all sequence
// of a last clear(); meant to run when the interpreter exits.
Status flush_standard_output();

}  // namespace facetview
