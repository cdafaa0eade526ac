#include "surface/png_file.hpp"

#include <fcntl.h>
#include <spng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

namespace facetview {
namespace {

struct ContextFree {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

Error png_error(int code) {
  return Error(std::string("cannot encode PNG: ") + spng_strerror(code));
}

}  // namespace

Result<std::string> encode_png(std::span<const std::uint8_t> rgba, std::uint32_t width,
                               std::uint32_t height) {
  const std::unique_ptr<spng_ctx, ContextFree> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) throw std::bad_alloc();
  spng_ihdr header{};
  header.width = width;
  header.height = height;
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  int code = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (code == 0) code = spng_set_ihdr(context.get(), &header);
  if (code == 0) {
    code = spng_encode_image(context.get(), rgba.data(), rgba.size(), SPNG_FMT_PNG,
                             SPNG_ENCODE_FINALIZE);
  }
  if (code == SPNG_EMEM) throw std::bad_alloc();
  if (code != 0) return png_error(code);
  std::size_t length = 0;
  const std::unique_ptr<void, decltype(&std::free)> buffer(
      spng_get_png_buffer(context.get(), &length, &code), &std::free);
  if (!buffer) return png_error(code);
  return std::string(static_cast<const char*>(buffer.get()), length);
}

Status write_whole_file(const std::filesystem::path& path, std::string_view bytes) {
  if (path.native().find('\0') != std::string::npos) return Error("path contains a NUL byte");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return os_error(errno);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      const int error = errno;
      ::close(fd);
      return os_error(error);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  // A full disk may only show at close on some file systems.
  if (::close(fd) != 0) return os_error(errno);
  return Status::success();
}

}  // namespace facetview
