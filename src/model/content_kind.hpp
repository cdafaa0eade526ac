// What content looks like beyond the model formats' own marks: the common
// files that are no model, and OBJ text, which has no mark of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace facetview {

// A UTF-8 byte-order mark, which some editors put before text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The content without a leading byte-order mark.
std::string_view without_byte_order_mark(std::string_view content);

// The kind of a well-known file that is no model, such as "a JPEG image" or
// "a gzip archive", from its first bytes.
std::optional<std::string_view> foreign_file_kind(std::string_view content);

// True when the first line of the text that holds a statement starts with an
// OBJ keyword (v, vn, vt, f, o, g, ...); comments and blank lines come before.
bool looks_like_obj(std::string_view content);

// What the content looks like, for a message: a well-known kind, the start of
// its text, or only that it is binary.
std::string describe_content(std::string_view content);

}  // namespace facetview
