#include "common/zip_archive.hpp"

#include <zip.h>

#include <algorithm>

namespace facetview {
namespace {

// Unpacked bytes are taken in pieces of this size, so that a claimed size is
// never allocated ahead of the bytes that back it.
constexpr std::size_t kReadPiece = 64 * 1024;

struct FileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

void ZipArchive::Closer::operator()(zip* archive) const {
  // Read only: nothing to write back.
  zip_discard(archive);
}

Result<ZipArchive> ZipArchive::open(std::string_view content) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(content.data(), content.size(), 0, &error);
  if (source == nullptr) {
    Error failure(std::string("cannot read the zip archive: ") + zip_error_strerror(&error));
    zip_error_fini(&error);
    return failure;
  }
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    // The source stays ours when the open fails.
    zip_source_free(source);
    Error failure(std::string("not a valid zip archive: ") + zip_error_strerror(&error));
    zip_error_fini(&error);
    return failure;
  }
  zip_error_fini(&error);
  return ZipArchive(archive);
}

bool ZipArchive::contains(const std::string& name) const {
  return zip_name_locate(archive_.get(), name.c_str(), ZIP_FL_NOCASE) >= 0;
}

Result<std::string> ZipArchive::read(const std::string& name, std::size_t max_bytes) const {
  const zip_int64_t index = zip_name_locate(archive_.get(), name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return Error("zip archive has no entry " + name);
  const std::unique_ptr<zip_file_t, FileCloser> file(
      zip_fopen_index(archive_.get(), static_cast<zip_uint64_t>(index), 0));
  if (!file) {
    return Error("cannot unpack zip entry " + name + ": " + zip_strerror(archive_.get()));
  }
  std::string bytes;
  while (true) {
    const std::size_t used = bytes.size();
    bytes.resize(used + kReadPiece);
    const zip_int64_t got = zip_fread(file.get(), bytes.data() + used, kReadPiece);
    if (got < 0) {
      return Error("cannot unpack zip entry " + name + ": " + zip_file_strerror(file.get()));
    }
    bytes.resize(used + static_cast<std::size_t>(got));
    if (bytes.size() > max_bytes) {
      return Error("zip entry " + name + " unpacks to more than " + std::to_string(max_bytes) +
                   " bytes");
    }
    if (got == 0) return bytes;
  }
}

}  // namespace facetview
