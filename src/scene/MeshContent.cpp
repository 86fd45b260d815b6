#include "scene/MeshContent.h"

#include "scene/Catalog.h"
#include "model/SceneObjects.h"

// Mesh content needs the graphics device's mesh support; until it is wired
// in, every load reports failure and the object stays listed without a mesh.
mv::HRESULT LoadMeshContent(CMesh& object, const CatalogEntry& entry, int kind, MeshBounds* bounds) {
  if (bounds) *bounds = MeshBounds{};
  return mv::E_FAIL;
}

void RebuildGeneratedMesh(CMesh& object) {}
