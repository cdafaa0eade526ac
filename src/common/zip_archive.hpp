// Read access to the entries of a zip archive held in memory (libzip).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "common/error.hpp"

struct zip;

namespace facetview {

class ZipArchive {
 public:
  // The archive whose bytes are `content`; they must outlive it.
  static Result<ZipArchive> open(std::string_view content);

  // Whether an entry of this name exists; letter case is ignored.
  bool contains(const std::string& name) const;

  // The unpacked bytes of the entry of this name (letter case ignored). Fails
  // without unpacking further once they pass `max_bytes`, whatever size the
  // archive claims for them, and when the entry is missing or damaged.
  Result<std::string> read(const std::string& name, std::size_t max_bytes) const;

 private:
  struct Closer {
    void operator()(zip* archive) const;
  };
  explicit ZipArchive(zip* archive) : archive_(archive) {}

  std::unique_ptr<zip, Closer> archive_;
};

}  // namespace facetview
