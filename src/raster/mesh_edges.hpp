// The edges of a mesh that an overlay can draw: creases, borders and the
// candidates for the silhouette.
#pragma once

#include <cstdint>
#include <vector>

#include "model/mesh.hpp"

namespace facetview {

// Neighbouring faces whose normals differ by more than this many degrees meet
// at a crease, drawn in every view.
inline constexpr float kCreaseAngleDegrees = 30.0f;

// One edge between corners welded by exact position. An edge of one face
// (a border), of three or more, or between faces meeting at a crease is
// `always` drawn; any other lies between two faces and is drawn where one of
// them faces the eye and the other does not: on the silhouette.
struct MeshEdge {
  Vec3 from, to;
  // Cross products of the two faces' corners (not unit length); only read
  // when the edge is not `always` drawn.
  Vec3 first_normal, second_normal;
  bool always;
};

struct MeshEdges {
  std::vector<MeshEdge> edges;
};

// Finds the edges of the mesh's faces that have an area; faces of none are
// left out, so they make no border.
MeshEdges find_mesh_edges(const Mesh& mesh);

// The mesh's edges, found on first use and kept with the mesh.
inline const MeshEdges& edges_of(const Mesh& mesh) {
  return mesh.edges.get([&] { return find_mesh_edges(mesh); });
}

}  // namespace facetview
