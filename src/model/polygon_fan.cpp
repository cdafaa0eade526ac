#include "model/polygon_fan.hpp"

#include <string>

namespace facetview {

Status append_polygon_fan(std::vector<Triangle>& triangles, std::span<const Vec3> vertices,
                          std::span<const std::uint64_t> corners) {
  for (const std::uint64_t corner : corners) {
    if (corner >= vertices.size()) {
      return Error("vertex index " + std::to_string(corner) + " out of range for " +
                   std::to_string(vertices.size()) + " vertices");
    }
  }
  for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
    triangles.push_back(make_triangle(Vec3{}, vertices[corners[0]], vertices[corners[i]],
                                      vertices[corners[i + 1]]));
  }
  return Status::success();
}

Result<Mesh> mesh_of_faces(std::vector<Triangle>&& triangles, std::string name,
                           std::string_view format, std::uint64_t skipped_faces) {
  if (triangles.empty()) return Error(std::string(format) + " file contained no faces");
  Mesh mesh;
  mesh.name = std::move(name);
  mesh.triangles = std::move(triangles);
  if (skipped_faces != 0) {
    mesh.warnings.push_back("skipped " + std::to_string(skipped_faces) +
                            (skipped_faces == 1 ? " face" : " faces") +
                            " of fewer than three corners");
  }
  return mesh;
}

}  // namespace facetview
