// The kitty graphics protocol sequences that the presenter writes, each built
// in one place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/byte_output.hpp"
#include "common/error.hpp"

namespace facetview {

// Most Base64 characters that one transmit command may carry.
inline constexpr std::size_t kTransmitChunkSize = 4096;

// A short escape sequence assembled without allocating: each sequence other
// than the payload has a bounded length.
class SequenceText {
 public:
  SequenceText& append(std::string_view text);
  // Appends value in decimal, with a leading "-" when negative.
  SequenceText& append_number(std::int64_t value);

  std::string_view view() const { return {bytes_.data(), size_}; }

 private:
  std::array<char, 96> bytes_{};
  std::size_t size_ = 0;
};

// Sends payload, the Base64 text of a zlib-compressed RGBA image, as image id
// in chunks of kTransmitChunkSize characters. The chunks are written straight
// from payload, without copying.
Status write_transmit(ByteOutput& output, std::uint32_t id, std::uint32_t pixel_width,
                      std::uint32_t pixel_height, std::string_view payload);

// Places image id at the cursor, scaled to cell_columns by cell_rows cells,
// without moving the cursor.
Status write_place(ByteOutput& output, std::uint32_t id, std::uint16_t cell_columns,
                   std::uint16_t cell_rows, std::int32_t z);

// Deletes image id with its placements and frees its data.
Status write_delete_image(ByteOutput& output, std::uint32_t id);

}  // namespace facetview
