#include "effects/SkyBoxMesh.h"

#include <cmath>
#include <algorithm>
#include <cstring>

#include "framework/MediaSearch.h"
#include "gfx/Math.h"
#include "gfx/XFile.h"
#include "io/Log.h"
#include "io/Paths.h"
#include "io/Utf16.h"

namespace mv::effects {

const std::vector<gfx::VertexElement>& SkyBoxMeshElements() {
  static const std::vector<gfx::VertexElement> elements = {
      {0, 0, gfx::VertexType::Float3, gfx::VertexUsage::Position, 0},
      {0, 12, gfx::VertexType::Float3, gfx::VertexUsage::TexCoord, 0},
      {0, 24, gfx::VertexType::Float3, gfx::VertexUsage::Normal, 0},
      {0, 36, gfx::VertexType::Float3, gfx::VertexUsage::Tangent, 0},
  };
  return elements;
}

namespace {

gfx::Vec3 V3(const float* f) { return {f[0], f[1], f[2]}; }
void Put(float* f, const gfx::Vec3& v) { f[0] = v.x, f[1] = v.y, f[2] = v.z; }

gfx::Vec3 AnyPerpendicular(const gfx::Vec3& n) {
  const gfx::Vec3 axis = std::fabs(n.x) < 0.9f ? gfx::Vec3(1, 0, 0) : gfx::Vec3(0, 1, 0);
  gfx::Vec3 t = axis - n * gfx::Vec3Dot(axis, n);
  const float len = gfx::Vec3Length(t);
  return len > 1e-6f ? t / len : gfx::Vec3(1, 0, 0);
}

// A material's texture: beside the mesh file first, then through the media
// search by the name as the file gives it.
std::shared_ptr<gfx::Texture> LoadMaterialTexture(gfx::Device& device, const std::filesystem::path& meshFolder,
                                                  const std::string& textureFile) {
  std::shared_ptr<gfx::Texture> texture;
  if (textureFile.empty()) return texture;
  std::filesystem::path path = meshFolder / mv::io::NativePath(textureFile);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) && gfx::Failed(fw::FindMediaFile(textureFile, &path))) {
    Log("Sky box texture not found: " + textureFile + "\n");
    return texture;
  }
  if (gfx::Failed(device.CreateTextureFromFile(path.string(), &texture)))
    Log("Sky box texture could not be read: " + path.string() + "\n");
  return texture;
}

}  // namespace

void ComputeTangents(std::vector<SkyBoxVertex>& vertices, const std::vector<std::uint32_t>& indices) {
  std::vector<gfx::Vec3> sum(vertices.size(), gfx::Vec3(0.0f));
  for (std::size_t f = 0; f + 2 < indices.size(); f += 3) {
    const std::uint32_t i0 = indices[f], i1 = indices[f + 1], i2 = indices[f + 2];
    if (i0 >= vertices.size() || i1 >= vertices.size() || i2 >= vertices.size()) continue;
    const SkyBoxVertex &a = vertices[i0], &b = vertices[i1], &c = vertices[i2];
    const gfx::Vec3 e1 = V3(b.position) - V3(a.position), e2 = V3(c.position) - V3(a.position);
    const float du1 = b.texCoord[0] - a.texCoord[0], dv1 = b.texCoord[1] - a.texCoord[1];
    const float du2 = c.texCoord[0] - a.texCoord[0], dv2 = c.texCoord[1] - a.texCoord[1];
    const float det = du1 * dv2 - du2 * dv1;
    if (std::fabs(det) < 1e-12f) continue;
    const gfx::Vec3 t = (e1 * dv2 - e2 * dv1) / det;
    sum[i0] += t, sum[i1] += t, sum[i2] += t;
  }
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const gfx::Vec3 n = V3(vertices[i].normal);
    gfx::Vec3 t = sum[i] - n * gfx::Vec3Dot(sum[i], n);
    const float len = gfx::Vec3Length(t);
    Put(vertices[i].tangent, len > 1e-6f ? t / len : AnyPerpendicular(n));
  }
}

gfx::HRESULT SkyBoxMesh::Load(gfx::Device& device, std::u16string_view windowsPath, std::unique_ptr<SkyBoxMesh>* out,
                              std::string* error) {
  out->reset();
  std::filesystem::path path;
  const gfx::HRESULT found = fw::FindMediaFile(windowsPath, &path);
  if (gfx::Failed(found)) {
    if (error) *error = "not found: " + mv::io::Utf16ToUtf8(windowsPath);
    return found;
  }
  std::shared_ptr<const gfx::XFileData> data;
  std::string why;
  if (gfx::Failed(gfx::ParseXFile(path, &data, &why)) || !data) {
    if (error) *error = path.string() + ": " + why;
    return gfx::E_FAIL;
  }

  // Every mesh of every frame in the root's space, as one mesh.
  std::vector<SkyBoxVertex> vertices;
  std::vector<std::uint32_t> indices;
  std::vector<std::uint32_t> attributes;
  std::vector<gfx::Mat4> world(data->frames.size(), gfx::Mat4(1.0f));
  for (std::size_t f = 0; f < data->frames.size(); ++f) {
    const gfx::XFrame& frame = data->frames[f];
    const int parent = frame.parent;
    world[f] = parent >= 0 && static_cast<std::size_t>(parent) < f
                   ? gfx::MatrixMultiply(frame.transform, world[static_cast<std::size_t>(parent)])
                   : frame.transform;
    for (int mi : frame.meshes) {
      if (mi < 0 || static_cast<std::size_t>(mi) >= data->meshes.size()) continue;
      const gfx::XMesh& m = data->meshes[static_cast<std::size_t>(mi)];
      const std::uint32_t base = static_cast<std::uint32_t>(vertices.size());
      for (std::size_t v = 0; v < m.positions.size(); ++v) {
        SkyBoxVertex sv{};
        Put(sv.position, gfx::Vec3TransformCoord(m.positions[v], world[f]));
        if (v < m.texCoords.size()) sv.texCoord[0] = m.texCoords[v].x, sv.texCoord[1] = m.texCoords[v].y;
        vertices.push_back(sv);
      }
      for (std::size_t i = 0; i + 2 < m.indices.size(); i += 3) {
        if (m.indices[i] >= m.positions.size() || m.indices[i + 1] >= m.positions.size() ||
            m.indices[i + 2] >= m.positions.size())
          continue;
        for (int k = 0; k < 3; ++k) indices.push_back(base + m.indices[i + k]);
        attributes.push_back(m.material);
      }
    }
  }
  if (indices.empty()) {
    if (error) *error = path.string() + ": no triangles";
    return gfx::E_FAIL;
  }

  // Faces grouped by subset so every subset is one range of the table.
  const std::uint32_t faces = static_cast<std::uint32_t>(attributes.size());
  std::vector<std::uint32_t> order(faces);
  for (std::uint32_t i = 0; i < faces; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return attributes[a] < attributes[b]; });

  const std::uint32_t count = static_cast<std::uint32_t>(vertices.size());
  const bool wide = count > 0xFFFFu;
  std::shared_ptr<gfx::Mesh> mesh;
  const auto& elements = SkyBoxMeshElements();
  gfx::HRESULT hr = gfx::Mesh::Create(device, faces, count, wide ? gfx::MESH_32BIT : 0u, elements.data(),
                                      elements.size(), &mesh);
  if (gfx::Failed(hr)) {
    if (error) *error = path.string() + ": the mesh could not be made";
    return hr;
  }
  std::vector<std::uint32_t> sorted;
  sorted.reserve(indices.size());
  void* p = nullptr;
  if (gfx::Failed(hr = mesh->LockIndexBuffer(gfx::LOCK_NONE, &p))) return hr;
  for (std::uint32_t i = 0; i < faces; ++i)
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t index = indices[std::size_t{order[i]} * 3 + static_cast<std::size_t>(k)];
      sorted.push_back(index);
      if (wide) {
        std::memcpy(static_cast<std::uint8_t*>(p) + (std::size_t{i} * 3 + k) * 4, &index, 4);
      } else {
        const std::uint16_t i16 = static_cast<std::uint16_t>(index);
        std::memcpy(static_cast<std::uint8_t*>(p) + (std::size_t{i} * 3 + k) * 2, &i16, 2);
      }
    }
  mesh->UnlockIndexBuffer();
  std::uint32_t* attr = nullptr;
  if (gfx::Failed(hr = mesh->LockAttributeBuffer(&attr))) return hr;
  for (std::uint32_t i = 0; i < faces; ++i) attr[i] = attributes[order[i]];
  mesh->UnlockAttributeBuffer();

  if (gfx::Failed(hr = mesh->LockVertexBuffer(gfx::LOCK_NONE, &p))) return hr;
  std::memcpy(p, vertices.data(), vertices.size() * sizeof(SkyBoxVertex));
  mesh->UnlockVertexBuffer();
  if (gfx::Failed(hr = mesh->ComputeNormals())) return hr;
  if (gfx::Failed(hr = mesh->LockVertexBuffer(gfx::LOCK_NONE, &p))) return hr;
  std::memcpy(vertices.data(), p, vertices.size() * sizeof(SkyBoxVertex));
  ComputeTangents(vertices, sorted);
  std::memcpy(p, vertices.data(), vertices.size() * sizeof(SkyBoxVertex));
  mesh->UnlockVertexBuffer();

  auto result = std::unique_ptr<SkyBoxMesh>(new SkyBoxMesh());
  result->mesh_ = std::move(mesh);
  std::uint32_t subsets = static_cast<std::uint32_t>(data->materials.size());
  for (std::uint32_t a : attributes) subsets = std::max(subsets, a + 1);
  result->textures_.resize(subsets);
  const std::filesystem::path folder = path.parent_path();
  for (std::size_t m = 0; m < data->materials.size(); ++m)
    result->textures_[m] = LoadMaterialTexture(device, folder, data->materials[m].textureFile);
  *out = std::move(result);
  return gfx::S_OK;
}

}  // namespace mv::effects
