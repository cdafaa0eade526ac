#include "kitty/sequences.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <stdexcept>

namespace facetview {

namespace {

constexpr std::string_view kGraphicsStart = "\x1b_G";
constexpr std::string_view kStringTerminator = "\x1b\\";
// One placement per image, so every placement uses the same id.
constexpr std::int64_t kPlacementId = 1;

}  // namespace

SequenceText& SequenceText::append(std::string_view text) {
  // The sequences are fixed text plus a few numbers, far below the capacity.
  if (text.size() > bytes_.size() - size_) throw std::length_error("escape sequence too long");
  std::copy(text.begin(), text.end(), bytes_.data() + size_);
  size_ += text.size();
  return *this;
}

SequenceText& SequenceText::append_number(std::int64_t value) {
  std::array<char, 24> digits{};
  const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  assert(error == std::errc{});
  return append({digits.data(), static_cast<std::size_t>(end - digits.data())});
}

Status write_transmit(ByteOutput& output, std::uint32_t id, std::uint32_t pixel_width,
                      std::uint32_t pixel_height, std::string_view payload) {
  std::size_t offset = 0;
  do {
    const bool first = offset == 0;
    const std::string_view chunk = payload.substr(offset, kTransmitChunkSize);
    offset += chunk.size();
    const std::string_view more = offset < payload.size() ? "1" : "0";
    SequenceText head;
    head.append(kGraphicsStart);
    if (first) {
      head.append("a=t,q=2,i=").append_number(id);
      head.append(",f=32,s=").append_number(pixel_width);
      head.append(",v=").append_number(pixel_height);
      head.append(",o=z,");
    }
    head.append("m=").append(more).append(";");
    if (Status status = output.write_command({head.view(), chunk, kStringTerminator}); !status) {
      return status;
    }
  } while (offset < payload.size());
  return Status::success();
}

Status write_place(ByteOutput& output, std::uint32_t id, std::uint16_t cell_columns,
                   std::uint16_t cell_rows, std::int32_t z) {
  SequenceText text;
  text.append(kGraphicsStart).append("a=p,q=2,i=").append_number(id);
  text.append(",p=").append_number(kPlacementId);
  text.append(",c=").append_number(cell_columns).append(",r=").append_number(cell_rows);
  text.append(",C=1,z=").append_number(z).append(kStringTerminator);
  return output.write_all(text.view());
}

Status write_delete_image(ByteOutput& output, std::uint32_t id) {
  SequenceText text;
  text.append(kGraphicsStart).append("a=d,d=I,q=2,i=").append_number(id).append(kStringTerminator);
  return output.write_all(text.view());
}

}  // namespace facetview
