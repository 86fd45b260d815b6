#include "gfx/Mesh.h"

#include <cmath>
#include <cstring>

namespace gfx {

const std::vector<VertexElement>& Mesh::PositionNormalTexElements() {
  static const std::vector<VertexElement> k = {
      {0, 0, VertexType::Float3, VertexUsage::Position, 0},
      {0, 12, VertexType::Float3, VertexUsage::Normal, 0},
      {0, 24, VertexType::Float2, VertexUsage::TexCoord, 0},
  };
  return k;
}

HRESULT Mesh::Create(Device& device, std::uint32_t faces, std::uint32_t vertices, std::uint32_t flags,
                     const VertexElement* elements, std::size_t elementCount, std::shared_ptr<Mesh>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  if (faces == 0 || vertices == 0 || faces > (1u << 24) || vertices > (1u << 24)) return E_INVALIDARG;
  bool index32 = (flags & MESH_32BIT) != 0;
  if (!index32 && vertices > 65536) return E_INVALIDARG;
  std::shared_ptr<Mesh> m(new Mesh());
  m->device_ = &device;
  HRESULT hr = device.CreateVertexDeclaration(elements, elementCount, &m->decl_);
  if (Failed(hr)) return hr;
  m->stride_ = static_cast<std::uint32_t>(m->decl_->GetVertexSize(0));
  if (m->stride_ == 0) return E_INVALIDARG;
  hr = device.CreateVertexBuffer(std::size_t{vertices} * m->stride_, USAGE_NONE, Pool::Managed, &m->vb_);
  if (Failed(hr)) return hr;
  hr = device.CreateIndexBuffer(std::size_t{faces} * 3 * (index32 ? 4 : 2), USAGE_NONE,
                                index32 ? IndexFormat::Index32 : IndexFormat::Index16, Pool::Managed, &m->ib_);
  if (Failed(hr)) return hr;
  m->faces_ = faces;
  m->vertices_ = vertices;
  m->index32_ = index32;
  m->attributes_.assign(faces, 0);
  m->table_ = {AttributeRange{0, 0, faces, 0, vertices}};
  *out = std::move(m);
  return S_OK;
}

HRESULT Mesh::LockAttributeBuffer(std::uint32_t** data) {
  if (!data) return E_INVALIDARG;
  *data = attributes_.data();
  return S_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
  table_.clear();
  for (std::uint32_t f = 0; f < faces_;) {
    std::uint32_t id = attributes_[f];
    std::uint32_t start = f;
    while (f < faces_ && attributes_[f] == id) ++f;
    AttributeRange r{id, start, f - start, 0, 0};
    // Vertex range of the faces, for drivers that use it.
    std::uint32_t lo = UINT32_MAX, hi = 0, idx;
    for (std::uint32_t i = start * 3; i < f * 3; ++i)
      if (ReadIndex(i, &idx)) {
        lo = std::min(lo, idx);
        hi = std::max(hi, idx);
      }
    if (lo <= hi) {
      r.vertexStart = lo;
      r.vertexCount = hi - lo + 1;
    }
    table_.push_back(r);
  }
  return S_OK;
}

HRESULT Mesh::SetAttributeTable(const AttributeRange* ranges, std::size_t count) {
  if (!ranges && count) return E_INVALIDARG;
  for (std::size_t i = 0; i < count; ++i) {
    const AttributeRange& r = ranges[i];
    if (r.faceStart > faces_ || r.faceCount > faces_ - r.faceStart) return E_INVALIDARG;
    if (r.vertexStart > vertices_ || r.vertexCount > vertices_ - r.vertexStart) return E_INVALIDARG;
  }
  table_.assign(ranges, ranges + count);
  for (const AttributeRange& r : table_)
    for (std::uint32_t f = r.faceStart; f < r.faceStart + r.faceCount; ++f) attributes_[f] = r.attribId;
  return S_OK;
}

HRESULT Mesh::DrawSubset(std::uint32_t attribId) {
  bool bound = false;
  for (const AttributeRange& r : table_) {
    if (r.attribId != attribId || r.faceCount == 0) continue;
    if (!bound) {
      device_->SetVertexDeclaration(decl_);
      device_->SetStreamSource(0, vb_, 0, stride_);
      device_->SetIndices(ib_);
      bound = true;
    }
    std::uint32_t vs = r.vertexCount ? r.vertexStart : 0;
    std::uint32_t vc = r.vertexCount ? r.vertexCount : vertices_;
    HRESULT hr = device_->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, vs, vc, r.faceStart * 3, r.faceCount);
    if (Failed(hr)) return hr;
  }
  return S_OK;
}

bool Mesh::ReadIndex(std::uint32_t i, std::uint32_t* out) const {
  void* p = nullptr;
  if (Failed(ib_->Lock(0, 0, &p, LOCK_READONLY))) return false;
  if (index32_) {
    std::uint32_t v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(p) + std::size_t{i} * 4, 4);
    *out = v;
  } else {
    std::uint16_t v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(p) + std::size_t{i} * 2, 2);
    *out = v;
  }
  ib_->Unlock();
  return *out < vertices_;
}

int Mesh::ElementOffset(VertexUsage usage, VertexType type) const {
  for (const VertexElement& e : decl_->GetElements())
    if (e.stream == 0 && e.usage == usage && e.usageIndex == 0 && e.type == type) return e.offset;
  return -1;
}

namespace {
glm::vec3 ReadVec3(const std::uint8_t* base, std::size_t stride, std::uint32_t v, int offset) {
  glm::vec3 r;
  std::memcpy(&r[0], base + std::size_t{v} * stride + static_cast<std::size_t>(offset), 12);
  return r;
}
}  // namespace

HRESULT Mesh::ComputeNormals() {
  int pos = ElementOffset(VertexUsage::Position, VertexType::Float3);
  int nrm = ElementOffset(VertexUsage::Normal, VertexType::Float3);
  if (pos < 0 || nrm < 0) return E_INVALIDARG;
  void* iv = nullptr;
  if (Failed(ib_->Lock(0, 0, &iv, LOCK_READONLY))) return E_FAIL;
  std::vector<std::uint32_t> idx(std::size_t{faces_} * 3);
  for (std::size_t i = 0; i < idx.size(); ++i) {
    if (index32_) std::memcpy(&idx[i], static_cast<const std::uint8_t*>(iv) + i * 4, 4);
    else {
      std::uint16_t s;
      std::memcpy(&s, static_cast<const std::uint8_t*>(iv) + i * 2, 2);
      idx[i] = s;
    }
  }
  ib_->Unlock();
  void* vv = nullptr;
  if (Failed(vb_->Lock(0, 0, &vv, 0))) return E_FAIL;
  auto* base = static_cast<std::uint8_t*>(vv);
  std::vector<glm::vec3> acc(vertices_, glm::vec3(0.0f));
  for (std::uint32_t f = 0; f < faces_; ++f) {
    std::uint32_t a = idx[f * 3], b = idx[f * 3 + 1], c = idx[f * 3 + 2];
    if (a >= vertices_ || b >= vertices_ || c >= vertices_) continue;
    glm::vec3 pa = ReadVec3(base, stride_, a, pos), pb = ReadVec3(base, stride_, b, pos),
              pc = ReadVec3(base, stride_, c, pos);
    // Left-handed, clockwise front faces: (b - a) x (c - a) points outwards.
    glm::vec3 n = glm::cross(pb - pa, pc - pa);
    if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) continue;
    acc[a] += n;
    acc[b] += n;
    acc[c] += n;
  }
  for (std::uint32_t v = 0; v < vertices_; ++v) {
    float len = glm::length(acc[v]);
    glm::vec3 n = len > 0.0f && std::isfinite(len) ? acc[v] / len : glm::vec3(0.0f);
    std::memcpy(base + std::size_t{v} * stride_ + static_cast<std::size_t>(nrm), &n[0], 12);
  }
  vb_->Unlock();
  return S_OK;
}

HRESULT Mesh::ComputeBoundingSphere(glm::vec3* center, float* radius) const {
  int pos = ElementOffset(VertexUsage::Position, VertexType::Float3);
  if (pos < 0 || !center || !radius) return E_INVALIDARG;
  void* vv = nullptr;
  if (Failed(vb_->Lock(0, 0, &vv, LOCK_READONLY))) return E_FAIL;
  const auto* base = static_cast<const std::uint8_t*>(vv);
  glm::dvec3 sum(0.0);
  for (std::uint32_t v = 0; v < vertices_; ++v) sum += glm::dvec3(ReadVec3(base, stride_, v, pos));
  glm::vec3 c = glm::vec3(sum / static_cast<double>(vertices_));
  float r2 = 0.0f;
  for (std::uint32_t v = 0; v < vertices_; ++v) {
    glm::vec3 d = ReadVec3(base, stride_, v, pos) - c;
    r2 = std::max(r2, glm::dot(d, d));
  }
  vb_->Unlock();
  *center = c;
  *radius = std::sqrt(r2);
  return S_OK;
}

HRESULT Mesh::ComputeBoundingBox(glm::vec3* mn, glm::vec3* mx) const {
  int pos = ElementOffset(VertexUsage::Position, VertexType::Float3);
  if (pos < 0 || !mn || !mx) return E_INVALIDARG;
  void* vv = nullptr;
  if (Failed(vb_->Lock(0, 0, &vv, LOCK_READONLY))) return E_FAIL;
  const auto* base = static_cast<const std::uint8_t*>(vv);
  glm::vec3 lo = ReadVec3(base, stride_, 0, pos), hi = lo;
  for (std::uint32_t v = 1; v < vertices_; ++v) {
    glm::vec3 p = ReadVec3(base, stride_, v, pos);
    lo = glm::min(lo, p);
    hi = glm::max(hi, p);
  }
  vb_->Unlock();
  *mn = lo;
  *mx = hi;
  return S_OK;
}

}  // namespace gfx
