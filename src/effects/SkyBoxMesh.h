#pragma once
// The sky box's mesh: every mesh of an .x file gathered into one, with the
// frames' transforms applied, one subset per material and each material's
// texture. Its vertices are the sky box layout (position, then a three-part
// texture coordinate) followed by a normal and a tangent computed here.
// Buffers and textures are managed: they outlive a device reset.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Mesh.h"

namespace mv::effects {

// One vertex of the sky box mesh: the sky box declaration's two elements
// first, so a shader reading only those finds them where it expects.
struct SkyBoxVertex {
  float position[3];
  float texCoord[3];  // u, v, 0
  float normal[3];
  float tangent[3];
};
static_assert(sizeof(SkyBoxVertex) == 48);

// The elements of SkyBoxVertex.
const std::vector<gfx::VertexElement>& SkyBoxMeshElements();

class SkyBoxMesh {
 public:
  static constexpr const char* kName = "CDXUTXMeshFile_Mesh";

  // Reads the file (found through the media search) and builds the device
  // mesh. ERR_MEDIANOTFOUND when the file is not found, E_FAIL when it
  // cannot be read or holds no triangles; *out stays empty then. `error`
  // says what went wrong.
  static gfx::HRESULT Load(gfx::Device& device, std::u16string_view windowsPath, std::unique_ptr<SkyBoxMesh>* out,
                           std::string* error = nullptr);

  const std::string& GetName() const { return name_; }
  std::uint32_t GetNumMaterials() const { return static_cast<std::uint32_t>(textures_.size()); }
  // The texture of subset m; empty when its material names none or the
  // file named could not be loaded.
  const std::shared_ptr<gfx::Texture>& GetTexture(std::uint32_t m) const { return textures_[m]; }
  gfx::Mesh* GetMesh() const { return mesh_.get(); }
  // Draws subset m with the effect pass in progress.
  gfx::HRESULT DrawSubset(std::uint32_t m) { return mesh_ ? mesh_->DrawSubset(m) : gfx::S_OK; }

 private:
  std::string name_ = kName;
  std::shared_ptr<gfx::Mesh> mesh_;
  std::vector<std::shared_ptr<gfx::Texture>> textures_;
};

// Tangents of an indexed triangle list along the direction of growing u,
// made perpendicular to the normals; a vertex without a usable one (no
// texture coordinates, degenerate faces) gets any unit vector
// perpendicular to its normal. Vertices are not split.
void ComputeTangents(std::vector<SkyBoxVertex>& vertices, const std::vector<std::uint32_t>& indices);

}  // namespace mv::effects
