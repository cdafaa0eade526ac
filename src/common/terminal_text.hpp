// Pieces of terminal text shared by the presenters that draw into character
// cells, appended to a frame's text so that the frame goes out as one write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/viewport.hpp"

namespace facetview {

// Starts and ends a synchronized update: terminals that know it show the
// frame at once instead of as it arrives, the others ignore it.
inline constexpr std::string_view kSynchronizedUpdateBegin = "\x1b[?2026h";
inline constexpr std::string_view kSynchronizedUpdateEnd = "\x1b[?2026l";
// Back to the default colours and attributes.
inline constexpr std::string_view kAttributesReset = "\x1b[0m";
// Line wrapping at the right edge (DECAWM), on by default.
inline constexpr std::string_view kAutowrapOff = "\x1b[?7l";
inline constexpr std::string_view kAutowrapOn = "\x1b[?7h";

// Appends value in decimal.
void append_decimal(std::string& text, std::uint64_t value);

// Saves the cursor's position (and attributes) and brings it back: a frame
// between the two leaves the cursor where the program's text had it.
inline constexpr std::string_view kCursorSave =
    "\x1b"
    "7";
inline constexpr std::string_view kCursorRestore =
    "\x1b"
    "8";

// Moves the cursor to a cell; row and column count from 0 here and from 1 on the wire.
void append_cursor_position(std::string& text, std::uint32_t row, std::uint32_t column);

// The same move given in the numbers sent, which count from 1.
void append_wire_cursor_position(std::string& text, std::uint64_t wire_row,
                                 std::uint64_t wire_column);

// Moves the cursor right by columns (at least 1) within its row.
void append_cursor_forward(std::string& text, std::uint32_t columns);

// Overwrites every cell of the viewport with a space in the default colours:
// erase commands leave sixel pixels behind in some terminals, spaces do not.
// Line wrapping is off meanwhile and on again after.
void append_blank_cells(std::string& text, Viewport viewport);

}  // namespace facetview
