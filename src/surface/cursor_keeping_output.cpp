#include "surface/cursor_keeping_output.hpp"

#include "common/terminal_text.hpp"

namespace facetview {

Status CursorKeepingOutput::write_all(std::string_view bytes) {
  if (Status saved = save_before_first_write(); !saved) return saved;
  return output_.write_all(bytes);
}

Status CursorKeepingOutput::write_command(std::initializer_list<std::string_view> pieces) {
  if (Status saved = save_before_first_write(); !saved) return saved;
  return output_.write_command(pieces);
}

Status CursorKeepingOutput::flush() {
  if (Status restored = close(); !restored) return restored;
  return output_.flush();
}

void CursorKeepingOutput::discard() {
  saved_ = false;
  output_.discard();
}

Status CursorKeepingOutput::close() {
  if (!saved_) return Status::success();
  saved_ = false;
  return output_.write_all(kCursorRestore);
}

Status CursorKeepingOutput::save_before_first_write() {
  if (saved_) return Status::success();
  if (Status saved = output_.write_all(kCursorSave); !saved) return saved;
  saved_ = true;
  return Status::success();
}

}  // namespace facetview
