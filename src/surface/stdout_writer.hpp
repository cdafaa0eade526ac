// The process-wide buffered writer on file descriptor 1.
#pragma once

#include "common/byte_output.hpp"

namespace facetview {

// Created on first use; holds up to 1024 bytes; each call locks it on its own.
// Never goes through Python's sys.stdout.
ByteOutput& standard_output();

}  // namespace facetview
