#pragma once
// The one operation that gives a mesh object its drawable content from a
// catalog entry (.x hierarchy, 3D text or generated mesh), and its
// counterparts. The scene manager goes through these and nothing else, so
// the loading work can grow behind them.
#include "io/Result.h"
#include "gfx/Math.h"

class CMesh;
struct CatalogEntry;

struct MeshBounds {
  bool valid = false;
  gfx::Vec3 centre{0.0f};
  float radius = 0.0f;
};

// Loads `entry` into `object` as a mesh of `kind` (1, 4, 7 or 9). On
// success fills the object's mesh, materials and part count and reports the
// bounding sphere; on failure the object is left without content.
mv::HRESULT LoadMeshContent(CMesh& object, const CatalogEntry& entry, int kind, MeshBounds* bounds);

// Rebuilds a generated mesh (kind 9) from its start and end parameters.
void RebuildGeneratedMesh(CMesh& object);
