// Bytes of a file shown in a message: one short line of printable text.
#pragma once

#include <string>
#include <string_view>

namespace facetview {

// The bytes with every one outside printable ASCII (NUL, controls, line ends,
// bytes of other encodings) written as \xNN, cut after `most` bytes with "...".
std::string shown_text(std::string_view bytes, std::size_t most = 40);

}  // namespace facetview
