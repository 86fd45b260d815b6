#pragma once
// The one operation that gives a mesh object its drawable content from a
// catalog entry (.x hierarchy, 3D text or generated mesh), and its
// counterparts. The scene manager goes through these and nothing else.
#include <cstdint>
#include <memory>

#include "io/Result.h"
#include "gfx/Math.h"

class CMesh;
struct CatalogEntry;
struct MeshLoadContext;
namespace gfx {
class Texture;
class TextureCache;
class XFileCache;
}  // namespace gfx

struct MeshBounds {
  bool valid = false;
  gfx::Vec3 centre{0.0f};
  float radius = 0.0f;
};

// The device-wide resources loading uses: the device manager hands them
// over when the device is made and clears them (a default context) when it
// goes. Without a device every load fails and objects stay without content.
void SetMeshLoadContext(const MeshLoadContext& context);
const MeshLoadContext& GetMeshLoadContext();

// The white texture: the context's, or a 1 x 1 one made on its device.
std::shared_ptr<gfx::Texture> MeshWhiteTexture(const MeshLoadContext& context);

// Parsed .x files and textures shared by every mesh object.
gfx::XFileCache& SharedXFileCache();
gfx::TextureCache& SharedTextureCache();

// Loads `entry` into `object` as a mesh of `kind` (1, 4, 7 or 9). On
// success fills the object's mesh, materials and part count and reports the
// bounding sphere. A missing .x file returns the media search's failure and
// leaves the object as it was; a hierarchy that fails to load leaves the
// object without an `AnimatedMesh` and still succeeds.
mv::HRESULT LoadMeshContent(CMesh& object, const CatalogEntry& entry, int kind, MeshBounds* bounds);

// Rebuilds a generated mesh (kind 9) from its start and end parameters.
void RebuildGeneratedMesh(CMesh& object);

// Releases the object's content (textures, materials, mesh, hierarchy) and,
// when asked, its timeline.
void ReleaseMeshContent(CMesh& object, bool alsoTimeLine);

// The font height a 3D text of `points` asks for on a context of `dpi`
// pixels per inch: −(points × dpi / 72), rounded half away from zero.
std::int32_t TextFontHeight(std::int32_t points, std::int32_t dpi = 96);

// Generated-mesh layout: 402 vertices, 2406 faces (802 drawn).
inline constexpr std::uint32_t kGeneratedVertices = 402;
inline constexpr std::uint32_t kGeneratedFaces = 2406;
