// The text form of mesh names in reprs.
#pragma once

#include <string>
#include <string_view>

namespace facetview {

// The UTF-8 name between double quotes: \" \\ \0 \t \r \n, and \u{hex} for other
// non-printable characters and for grapheme extenders wherever they stand.
// Bytes that are not valid UTF-8 are shown as U+FFFD.
std::string quoted_name(std::string_view utf8_name);

}  // namespace facetview
