#pragma once
// A mesh: vertex and index buffers, one attribute (subset id) per face and
// the attribute table that groups faces by subset. Loaders (.x, 3D text,
// generated shapes) fill it; the scene draws it subset by subset inside an
// effect pass.
#include <cstdint>
#include <memory>
#include <vector>

#include <glm/glm.hpp>

#include "gfx/Device.h"

namespace gfx {

struct AttributeRange {
  std::uint32_t attribId = 0;
  std::uint32_t faceStart = 0;
  std::uint32_t faceCount = 0;
  std::uint32_t vertexStart = 0;
  std::uint32_t vertexCount = 0;
};

enum MeshFlags : std::uint32_t { MESH_32BIT = 1 };

class Mesh {
 public:
  // Triangles only; `elements` describe stream 0. Vertices and indices start
  // zeroed; every face has attribute 0 and the table one range of them all.
  static HRESULT Create(Device& device, std::uint32_t faces, std::uint32_t vertices, std::uint32_t flags,
                        const VertexElement* elements, std::size_t elementCount, std::shared_ptr<Mesh>* out);
  // Position float3, normal float3, texture coordinate 0 float2 (32 bytes).
  static const std::vector<VertexElement>& PositionNormalTexElements();

  std::uint32_t GetNumFaces() const { return faces_; }
  std::uint32_t GetNumVertices() const { return vertices_; }
  std::uint32_t GetNumBytesPerVertex() const { return stride_; }
  bool Uses32BitIndices() const { return index32_; }
  const std::shared_ptr<VertexBuffer>& GetVertexBuffer() const { return vb_; }
  const std::shared_ptr<IndexBuffer>& GetIndexBuffer() const { return ib_; }
  const std::shared_ptr<VertexDeclaration>& GetDeclaration() const { return decl_; }

  HRESULT LockVertexBuffer(std::uint32_t flags, void** data) { return vb_->Lock(0, 0, data, flags); }
  HRESULT UnlockVertexBuffer() { return vb_->Unlock(); }
  HRESULT LockIndexBuffer(std::uint32_t flags, void** data) { return ib_->Lock(0, 0, data, flags); }
  HRESULT UnlockIndexBuffer() { return ib_->Unlock(); }
  HRESULT LockAttributeBuffer(std::uint32_t** data);
  // Rebuilds the attribute table from runs of equal attributes.
  HRESULT UnlockAttributeBuffer();

  const std::vector<AttributeRange>& GetAttributeTable() const { return table_; }
  HRESULT SetAttributeTable(const AttributeRange* ranges, std::size_t count);

  // Draws the faces of one subset (all ranges with that id) with the
  // current effect pass. A subset the mesh lacks draws nothing (S_OK).
  HRESULT DrawSubset(std::uint32_t attribId);

  // Area-weighted vertex normals from the faces (needs float3 position and
  // float3 normal elements); degenerate faces add nothing, unused vertices
  // keep a zero normal.
  HRESULT ComputeNormals();
  // Centre = mean of the positions, radius = largest distance from it.
  HRESULT ComputeBoundingSphere(glm::vec3* center, float* radius) const;
  HRESULT ComputeBoundingBox(glm::vec3* min, glm::vec3* max) const;

 private:
  Mesh() = default;
  bool ReadIndex(std::uint32_t i, std::uint32_t* out) const;
  int ElementOffset(VertexUsage usage, VertexType type) const;

  Device* device_ = nullptr;
  std::uint32_t faces_ = 0, vertices_ = 0, stride_ = 0;
  bool index32_ = false;
  std::shared_ptr<VertexBuffer> vb_;
  std::shared_ptr<IndexBuffer> ib_;
  std::shared_ptr<VertexDeclaration> decl_;
  std::vector<std::uint32_t> attributes_;
  std::vector<AttributeRange> table_;
  // CPU view of the buffers for normals and bounds (the buffers keep copies).
  std::vector<std::uint8_t> scratch_;
};

}  // namespace gfx
