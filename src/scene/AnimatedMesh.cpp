#include "scene/AnimatedMesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "framework/MediaSearch.h"
#include "io/Log.h"
#include "scene/MeshContent.h"

namespace {

constexpr std::uint32_t kNoNeighbour = 0xFFFFFFFFu;
constexpr std::size_t kStride = 32;  // position, normal, texture coordinates

std::string Native(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

// The texture's file: the .x file's folder first (the name as written, then
// its last component, since exporters write absolute paths of their own
// machine), then the media search.
bool FindTexture(const std::filesystem::path& folder, const std::string& name, std::filesystem::path* out) {
  const std::filesystem::path written(Native(name));
  const std::filesystem::path base = written.filename();
  std::error_code ec;
  std::vector<std::filesystem::path> local;
  if (written.is_relative()) local.push_back(folder / written);
  if (!base.empty()) local.push_back(folder / base);
  for (const auto& p : local)
    if (std::filesystem::is_regular_file(p, ec)) {
      *out = p;
      return true;
    }
  if (name.size() < fw::kMaxMediaPath && gfx::Succeeded(fw::FindMediaFile(std::string_view(name), out))) return true;
  const std::string baseName = base.string();
  if (!baseName.empty() && baseName != name && gfx::Succeeded(fw::FindMediaFile(std::string_view(baseName), out)))
    return true;
  return false;
}

bool IsValueType(gfx::ParameterType t) {
  switch (t) {
    case gfx::ParameterType::Float:
    case gfx::ParameterType::Float2:
    case gfx::ParameterType::Float3:
    case gfx::ParameterType::Float4:
    case gfx::ParameterType::Int:
    case gfx::ParameterType::Bool:
    case gfx::ParameterType::String:
      return true;
    default:
      return false;
  }
}

void Trace(const std::string& text) { Log(std::string_view(text)); }

void WriteVertex(std::uint8_t* base, std::size_t v, const gfx::Vec3& p, const gfx::Vec3& n) {
  std::memcpy(base + v * kStride, &p[0], 12);
  std::memcpy(base + v * kStride + 12, &n[0], 12);
}

double PositiveMod(double x, double m) {
  double r = std::fmod(x, m);
  return r < 0 ? r + m : r;
}

template <class Key, class Value, class Lerp>
Value Sample(const std::vector<Key>& keys, double t, Lerp lerp) {
  if (t <= keys.front().time) return keys.front().value;
  if (t >= keys.back().time) return keys.back().value;
  auto it = std::upper_bound(keys.begin(), keys.end(), t, [](double v, const Key& k) { return v < k.time; });
  const Key& b = *it;
  const Key& a = *(it - 1);
  const double span = b.time - a.time;
  const float f = span > 0 ? static_cast<float>((t - a.time) / span) : 0.0f;
  return lerp(a.value, b.value, f);
}

void Decompose(const gfx::Mat4& m, gfx::Vec3* s, gfx::Quat* q, gfx::Vec3* t) {
  gfx::Mat4 r(1.0f);
  for (int row = 0; row < 3; ++row) {
    const float len = std::sqrt(m[row][0] * m[row][0] + m[row][1] * m[row][1] + m[row][2] * m[row][2]);
    (*s)[row] = len;
    for (int col = 0; col < 3; ++col) r[row][col] = len > 0 ? m[row][col] / len : 0.0f;
  }
  *q = gfx::QuaternionRotationMatrix(r);
  *t = gfx::Vec3(m[3][0], m[3][1], m[3][2]);
}

void CombineFrames(MeshFrame* f, const gfx::Mat4& parent) {
  for (; f; f = f->sibling) {
    f->combined = gfx::MatrixMultiply(f->transform, parent);
    CombineFrames(f->firstChild, f->combined);
  }
}

}  // namespace

// ---- adjacency ---------------------------------------------------------------

std::vector<std::uint32_t> GenerateAdjacency(const std::vector<gfx::Vec3>& positions,
                                             const std::vector<std::uint32_t>& indices, float epsilon) {
  const std::size_t faces = indices.size() / 3;
  std::vector<std::uint32_t> adjacency(faces * 3, kNoNeighbour);
  // Positions within epsilon share one id.
  std::vector<std::uint32_t> id(positions.size());
  std::unordered_map<std::uint64_t, std::uint32_t> cells;
  const double scale = epsilon > 0 ? 1.0 / epsilon : 1e6;
  for (std::size_t v = 0; v < positions.size(); ++v) {
    std::uint64_t h = 1469598103934665603ull;
    for (int k = 0; k < 3; ++k) {
      const double q = std::floor(double(positions[v][k]) * scale + 0.5);
      h = (h ^ static_cast<std::uint64_t>(static_cast<std::int64_t>(std::isfinite(q) ? q : 0))) * 1099511628211ull;
    }
    id[v] = cells.emplace(h, static_cast<std::uint32_t>(v)).first->second;
  }
  std::unordered_multimap<std::uint64_t, std::uint32_t> edges;
  auto key = [](std::uint32_t a, std::uint32_t b) {
    return a < b ? (std::uint64_t{a} << 32 | b) : (std::uint64_t{b} << 32 | a);
  };
  for (std::size_t f = 0; f < faces; ++f)
    for (int e = 0; e < 3; ++e) {
      const std::uint32_t a = indices[f * 3 + e], b = indices[f * 3 + (e + 1) % 3];
      if (a >= id.size() || b >= id.size() || id[a] == id[b]) continue;
      edges.emplace(key(id[a], id[b]), static_cast<std::uint32_t>(f));
    }
  for (std::size_t f = 0; f < faces; ++f)
    for (int e = 0; e < 3; ++e) {
      const std::uint32_t a = indices[f * 3 + e], b = indices[f * 3 + (e + 1) % 3];
      if (a >= id.size() || b >= id.size() || id[a] == id[b]) continue;
      auto range = edges.equal_range(key(id[a], id[b]));
      for (auto it = range.first; it != range.second; ++it)
        if (it->second != f) {
          adjacency[f * 3 + static_cast<std::size_t>(e)] = it->second;
          break;
        }
    }
  return adjacency;
}

// ---- the allocator -------------------------------------------------------------

mv::HRESULT CMeshHierarchy::CreateFrame(const char* name, MeshFrame** out) {
  if (!out) return mv::E_INVALIDARG;
  auto* f = new MeshFrame();
  if (name && name[0]) {
    f->name = name;
    Trace(std::string("Added frame: ") + name);
  } else {
    Trace("Added frame: no name given\n");
  }
  *out = f;
  return mv::S_OK;
}

void CMeshHierarchy::CreateMaterial(const gfx::XMaterial& file, MeshMaterial& out) {
  gfx::Effect* fx = context_.sceneEffect.get();
  if (fx) {
    out.effect = context_.sceneEffect;
    out.technique = fx->FirstValidTechnique();
    fx->BeginParameterBlock();
    // The file material's defaults, as effect instances name them; the
    // object's parameters give diffuse and specular.
    auto setIf = [&](const char* name, auto&& set) {
      const gfx::ParameterHandle h = fx->GetParameterByName(name);
      gfx::ParameterDesc d;
      if (h && gfx::Succeeded(fx->GetParameterDesc(h, &d)) && IsValueType(d.type)) set(h);
    };
    setIf("Power", [&](gfx::ParameterHandle h) { fx->SetFloat(h, file.power); });
    setIf("Emissive", [&](gfx::ParameterHandle h) { fx->SetVector(h, gfx::Vec4(file.emissive, 1.0f)); });
    if (!file.textureFile.empty())
      setIf("Texture", [&](gfx::ParameterHandle h) { fx->SetString(h, file.textureFile); });
  }
  if (!file.textureFile.empty() && context_.device) {
    std::filesystem::path where;
    std::shared_ptr<gfx::Texture> t;
    if (FindTexture(folder_, file.textureFile, &where) &&
        gfx::Succeeded(SharedTextureCache().Load(*context_.device, where, &t)))
      out.texture = std::move(t);
    else
      Trace("***Warning - Error when loading texture " + file.textureFile + "\n");
  }
  if (!out.texture) out.texture = MeshWhiteTexture(context_);
  if (fx) {
    const gfx::ParameterHandle scene = fx->GetParameterByName("g_txScene");
    if (scene) fx->SetTexture(scene, out.texture);
    const gfx::ParameterHandle env = fx->GetParameterByName("g_txEnvMap");
    if (env) fx->SetTexture(env, context_.environmentMap);
    out.parameterBlock = fx->EndParameterBlock();
  }
}

mv::HRESULT CMeshHierarchy::CreateMeshContainer(const char* name, const MeshContainerSource& source,
                                                MeshContainer** out) {
  if (!out) return mv::E_INVALIDARG;
  *out = nullptr;
  auto c = std::make_unique<MeshContainer>();
  if (name && name[0]) {
    c->name = name;
    Trace(std::string("Added mesh: ") + name);
  } else {
    Trace("Added Mesh: no name given\n");
  }
  const gfx::XMesh* m = source.mesh;
  if (!m || !context_.device) return mv::E_FAIL;
  const auto vertices = static_cast<std::uint32_t>(m->positions.size());
  const auto faces = static_cast<std::uint32_t>(m->indices.size() / 3);
  const auto& elements = gfx::Mesh::PositionNormalTexElements();
  mv::HRESULT hr = gfx::Mesh::Create(*context_.device, faces, vertices, gfx::MESH_32BIT, elements.data(),
                                     elements.size(), &c->mesh);
  if (gfx::Failed(hr)) return hr;
  void* vb = nullptr;
  if (gfx::Failed(hr = c->mesh->LockVertexBuffer(0, &vb))) return hr;
  auto* bytes = static_cast<std::uint8_t*>(vb);
  for (std::uint32_t v = 0; v < vertices; ++v) {
    const gfx::Vec3 n = m->normals.size() == vertices ? m->normals[v] : gfx::Vec3(0.0f);
    WriteVertex(bytes, v, m->positions[v], n);
    const gfx::Vec2 uv = m->texCoords.size() == vertices ? m->texCoords[v] : gfx::Vec2(0.0f);
    std::memcpy(bytes + v * kStride + 24, &uv[0], 8);
  }
  c->mesh->UnlockVertexBuffer();
  void* ib = nullptr;
  if (gfx::Failed(hr = c->mesh->LockIndexBuffer(0, &ib))) return hr;
  std::memcpy(ib, m->indices.data(), m->indices.size() * 4);
  c->mesh->UnlockIndexBuffer();
  if (m->normals.size() != vertices) c->mesh->ComputeNormals();

  // Bind pose, read back (normals may have been computed).
  c->bindPositions.resize(vertices);
  c->bindNormals.resize(vertices);
  if (gfx::Succeeded(c->mesh->LockVertexBuffer(gfx::LOCK_READONLY, &vb))) {
    bytes = static_cast<std::uint8_t*>(vb);
    for (std::uint32_t v = 0; v < vertices; ++v) {
      std::memcpy(&c->bindPositions[v][0], bytes + v * kStride, 12);
      std::memcpy(&c->bindNormals[v][0], bytes + v * kStride + 12, 12);
    }
    c->mesh->UnlockVertexBuffer();
  }

  if (source.adjacency && source.adjacency->size() == std::size_t{faces} * 3)
    c->adjacency = *source.adjacency;
  else
    c->adjacency = GenerateAdjacency(m->positions, m->indices, 0.000001f);

  c->fileMaterials = source.materials;
  if (c->fileMaterials.empty()) c->fileMaterials.emplace_back();
  c->materials.resize(c->fileMaterials.size());
  for (std::size_t i = 0; i < c->fileMaterials.size(); ++i) CreateMaterial(c->fileMaterials[i], c->materials[i]);

  if (source.skin) {
    c->skin = source.skin;
    c->boneOffsets = source.skin->boneOffsets;
    c->boneMatrixPointers.assign(c->boneOffsets.size(), nullptr);
    Trace("Mesh has skinning info.\n Number of bones is: " + std::to_string(c->boneOffsets.size()));
    // The working mesh starts as a copy of the bind pose.
    if (gfx::Failed(hr = gfx::Mesh::Create(*context_.device, faces, vertices, gfx::MESH_32BIT, elements.data(),
                                           elements.size(), &c->skinnedMesh)))
      return hr;
    void* src = nullptr;
    void* dst = nullptr;
    if (gfx::Succeeded(c->mesh->LockVertexBuffer(gfx::LOCK_READONLY, &src))) {
      if (gfx::Succeeded(c->skinnedMesh->LockVertexBuffer(0, &dst))) {
        std::memcpy(dst, src, std::size_t{vertices} * kStride);
        c->skinnedMesh->UnlockVertexBuffer();
      }
      c->mesh->UnlockVertexBuffer();
    }
    if (gfx::Succeeded(c->skinnedMesh->LockIndexBuffer(0, &dst))) {
      std::memcpy(dst, m->indices.data(), m->indices.size() * 4);
      c->skinnedMesh->UnlockIndexBuffer();
    }
  }
  if (!source.effectFile.empty())
    Trace("This .x file references an effect file. Effect files are not handled by this demo\n");
  *out = c.release();
  return mv::S_OK;
}

mv::HRESULT CMeshHierarchy::DestroyFrame(MeshFrame* frame) {
  delete frame;
  return mv::S_OK;
}

mv::HRESULT CMeshHierarchy::DestroyMeshContainer(MeshContainer* container) {
  delete container;  // its meshes, materials and skin go with it
  return mv::S_OK;
}

namespace {
std::vector<MeshContainer*> CollectContainers(MeshFrame* root);
}  // namespace

// ---- the hierarchy -----------------------------------------------------------------

AnimatedMesh::~AnimatedMesh() { Destroy(); }

void AnimatedMesh::Destroy() {
  if (!hierarchy_) return;
  // Depth first: children and siblings, then each frame's containers.
  std::vector<MeshFrame*> stack;
  if (root_) stack.push_back(root_);
  while (!stack.empty()) {
    MeshFrame* f = stack.back();
    stack.pop_back();
    if (f->sibling) stack.push_back(f->sibling);
    if (f->firstChild) stack.push_back(f->firstChild);
    for (MeshContainer* c = f->container; c;) {
      MeshContainer* next = c->next;
      hierarchy_->DestroyMeshContainer(c);
      c = next;
    }
    hierarchy_->DestroyFrame(f);
  }
  root_ = nullptr;
  containers_.clear();
  tracks_.clear();
}

mv::HRESULT AnimatedMesh::Load(const std::filesystem::path& file, const MeshLoadContext& context,
                               gfx::XFileCache* cache) {
  Destroy();
  path_ = file.string();
  std::string why;
  mv::HRESULT hr = cache ? cache->Load(file, &data_, &why) : gfx::ParseXFile(file, &data_, &why);
  hierarchy_ = std::make_unique<CMeshHierarchy>(context, file.parent_path());
  auto fail = [&](mv::HRESULT code) {
    char line[64];
    std::snprintf(line, sizeof line, "DirectX Reported Error: 0x%08X ", static_cast<unsigned>(code));
    Trace(line + why + "\n");
    Destroy();
    data_.reset();
    return code;
  };
  if (gfx::Failed(hr)) return fail(hr);

  // Frames in file order; children and siblings linked as the file nests them.
  std::vector<MeshFrame*> made(data_->frames.size(), nullptr);
  for (std::size_t i = 0; i < data_->frames.size(); ++i) {
    const gfx::XFrame& xf = data_->frames[i];
    MeshFrame* f = nullptr;
    if (gfx::Failed(hr = hierarchy_->CreateFrame(xf.name.c_str(), &f))) return fail(hr);
    f->transform = f->bindTransform = xf.transform;
    made[i] = f;
    if (xf.parent < 0) {
      if (!root_) root_ = f;
      else {
        MeshFrame* s = root_;
        while (s->sibling) s = s->sibling;
        s->sibling = f;
      }
    } else {
      MeshFrame* p = made[static_cast<std::size_t>(xf.parent)];
      if (!p->firstChild) p->firstChild = f;
      else {
        MeshFrame* s = p->firstChild;
        while (s->sibling) s = s->sibling;
        s->sibling = f;
      }
    }
    MeshContainer** tail = &f->container;
    for (int mi : xf.meshes) {
      const gfx::XMesh& xm = data_->meshes[static_cast<std::size_t>(mi)];
      if (xm.indices.empty() || xm.positions.empty()) continue;  // nothing to draw
      MeshContainerSource src;
      src.mesh = &xm;
      src.materials.push_back(data_->materials[xm.material]);
      src.effectFile = data_->effectFile;
      if (!xm.bones.empty()) {
        auto skin = std::make_shared<SkinInfo>();
        skin->influences.resize(xm.positions.size());
        for (std::size_t b = 0; b < xm.bones.size(); ++b) {
          skin->boneNames.push_back(xm.bones[b].name);
          skin->boneOffsets.push_back(xm.bones[b].offset);
          for (std::size_t w = 0; w < xm.bones[b].vertices.size(); ++w)
            skin->influences[xm.bones[b].vertices[w]].push_back(
                {static_cast<std::uint32_t>(b), xm.bones[b].weights[w]});
        }
        src.skin = std::move(skin);
      }
      MeshContainer* c = nullptr;
      if (gfx::Failed(hr = hierarchy_->CreateMeshContainer(xm.name.c_str(), src, &c))) return fail(hr);
      c->frame = f;
      *tail = c;
      tail = &c->next;
    }
  }
  if (!root_) return fail(mv::E_FAIL);
  containers_ = CollectContainers(root_);
  Connect();
  animationSetCount_ = static_cast<std::uint32_t>(data_->animationSets.size());
  tracks_.assign(data_->animationSets.size(), {});
  for (std::size_t s = 0; s < data_->animationSets.size(); ++s)
    for (const gfx::XChannel& ch : data_->animationSets[s].channels)
      tracks_[s].push_back({&ch, FindFrame(ch.frame)});
  currentSet_ = 0;
  time_ = 0;

  // Bounding sphere of the bind pose: the containers' spheres in object
  // space, centred on the mean of their centres.
  CombineFrames(root_, gfx::MatrixIdentity());
  std::vector<std::pair<gfx::Vec3, float>> spheres;
  for (MeshContainer* c : Containers()) {
    if (c->skin) Skin(*c);
    std::vector<gfx::Vec3> points;
    if (c->skin) {
      void* vb = nullptr;
      if (gfx::Succeeded(c->skinnedMesh->LockVertexBuffer(gfx::LOCK_READONLY, &vb))) {
        for (std::size_t v = 0; v < c->bindPositions.size(); ++v) {
          gfx::Vec3 p;
          std::memcpy(&p[0], static_cast<std::uint8_t*>(vb) + v * kStride, 12);
          points.push_back(p);
        }
        c->skinnedMesh->UnlockVertexBuffer();
      }
    } else {
      for (const gfx::Vec3& p : c->bindPositions) points.push_back(gfx::Vec3TransformCoord(p, c->frame->combined));
    }
    if (points.empty()) continue;
    gfx::Vec3 mean(0.0f);
    for (const auto& p : points) mean += p;
    mean /= static_cast<float>(points.size());
    float r = 0;
    for (const auto& p : points) r = std::max(r, gfx::Vec3Length(p - mean));
    spheres.emplace_back(mean, r);
  }
  gfx::Vec3 centre(0.0f);
  for (const auto& s : spheres) centre += s.first;
  if (!spheres.empty()) centre /= static_cast<float>(spheres.size());
  radius_ = 0;
  for (const auto& s : spheres) radius_ = std::max(radius_, gfx::Vec3Length(s.first - centre) + s.second);
  centre_ = gfx::Vec3(0.0f);  // the normalise matrix only scales
  return mv::S_OK;
}

void AnimatedMesh::Connect() {
  boneCount_ = 0;
  partCount_ = 0;
  for (MeshContainer* c : Containers()) {
    partCount_ += static_cast<std::uint32_t>(c->materials.size());
    if (!c->skin) continue;
    for (std::size_t b = 0; b < c->boneOffsets.size(); ++b) {
      MeshFrame* f = FindFrame(c->skin->boneNames[b]);
      if (f) {
        c->boneMatrixPointers[b] = &f->combined;
      } else {
        // A bone the hierarchy lacks moves with the container's own frame.
        c->boneMatrixPointers[b] = &c->frame->combined;
        c->boneOffsets[b] = gfx::MatrixIdentity();
      }
    }
    boneCount_ = std::max(boneCount_, static_cast<std::uint32_t>(c->boneOffsets.size()));
  }
  boneMatrices_.assign(boneCount_, gfx::MatrixIdentity());
}

MeshFrame* AnimatedMesh::FindFrame(const std::string& name) const {
  std::vector<MeshFrame*> stack;
  if (root_) stack.push_back(root_);
  while (!stack.empty()) {
    MeshFrame* f = stack.back();
    stack.pop_back();
    if (f->name == name) return f;
    if (f->sibling) stack.push_back(f->sibling);
    if (f->firstChild) stack.push_back(f->firstChild);
  }
  return nullptr;
}

namespace {
std::vector<MeshContainer*> CollectContainers(MeshFrame* root_) {
  std::vector<MeshContainer*> out;
  std::vector<MeshFrame*> stack;
  if (root_) stack.push_back(root_);
  while (!stack.empty()) {
    MeshFrame* f = stack.back();
    stack.pop_back();
    for (MeshContainer* c = f->container; c; c = c->next) out.push_back(c);
    if (f->sibling) stack.push_back(f->sibling);
    if (f->firstChild) stack.push_back(f->firstChild);
  }
  return out;
}
}  // namespace

std::uint32_t AnimatedMesh::CountFrames() const {
  std::uint32_t n = 0;
  std::vector<MeshFrame*> stack;
  if (root_) stack.push_back(root_);
  while (!stack.empty()) {
    MeshFrame* f = stack.back();
    stack.pop_back();
    ++n;
    if (f->sibling) stack.push_back(f->sibling);
    if (f->firstChild) stack.push_back(f->firstChild);
  }
  return n;
}

gfx::Mat4 AnimatedMesh::DrawMatrix(const MeshContainer& c) {
  return c.skin ? gfx::MatrixIdentity() : c.frame->combined;
}

void AnimatedMesh::HandOver(const MeshParams& params) {
  SetStartEnd(params.start, params.end);
  SetAnimationSet(params.animationSet);
  SetAnimationType(params.animationType);
  SetSpeed(params.animationSpeed);
}

void AnimatedMesh::SetAnimationSet(std::int32_t set) {
  if (set < 0 || static_cast<std::uint32_t>(set) >= animationSetCount_ || set == currentSet_) return;
  // Every other frame back to the file's pose, the new set from its start.
  std::vector<MeshFrame*> stack;
  if (root_) stack.push_back(root_);
  while (!stack.empty()) {
    MeshFrame* f = stack.back();
    stack.pop_back();
    f->transform = f->bindTransform;
    if (f->sibling) stack.push_back(f->sibling);
    if (f->firstChild) stack.push_back(f->firstChild);
  }
  currentSet_ = set;
  time_ = 0;
}

double AnimatedMesh::GetAnimationSetDuration(std::int32_t set) const {
  if (!data_ || set < 0 || static_cast<std::size_t>(set) >= data_->animationSets.size()) return 0;
  const gfx::XAnimationSet& s = data_->animationSets[static_cast<std::size_t>(set)];
  return s.duration / s.ticksPerSecond;
}

double AnimatedMesh::PoseTime() const {
  const double d = GetAnimationSetDuration(currentSet_);
  if (!(d > 0)) return 0;
  const double t = time_;
  switch (type_) {
    case ANIM_LOOP_FORWARD:
      return PositiveMod(t, d);
    case ANIM_LOOP_BACKWARD:
      return d - PositiveMod(t, d);
    case ANIM_PING_PONG: {
      const double p = PositiveMod(t, 2 * d);
      return p <= d ? p : 2 * d - p;
    }
    default:  // Stop holds, Single plays once: both stay inside the set
      return std::clamp(t, 0.0, d);
  }
}

void AnimatedMesh::Pose(double seconds) {
  if (!data_ || currentSet_ < 0 || static_cast<std::size_t>(currentSet_) >= tracks_.size()) return;
  const gfx::XAnimationSet& set = data_->animationSets[static_cast<std::size_t>(currentSet_)];
  const double ticks = seconds * set.ticksPerSecond;
  for (const Track& t : tracks_[static_cast<std::size_t>(currentSet_)]) {
    if (!t.frame) continue;  // a channel for a frame the file lacks
    gfx::Vec3 s, p;
    gfx::Quat q;
    Decompose(t.frame->bindTransform, &s, &q, &p);
    const gfx::XChannel& ch = *t.channel;
    if (!ch.scale.empty()) s = Sample<gfx::XVectorKey, gfx::Vec3>(ch.scale, ticks, gfx::Vec3Lerp);
    if (!ch.rotation.empty()) q = Sample<gfx::XRotationKey, gfx::Quat>(ch.rotation, ticks, gfx::QuaternionSlerp);
    if (!ch.position.empty()) p = Sample<gfx::XVectorKey, gfx::Vec3>(ch.position, ticks, gfx::Vec3Lerp);
    t.frame->transform = gfx::MatrixMultiply(
        gfx::MatrixMultiply(gfx::MatrixScaling(s), gfx::MatrixRotationQuaternion(gfx::QuaternionNormalize(q))),
        gfx::MatrixTranslation(p));
  }
}

void AnimatedMesh::Skin(MeshContainer& c) {
  if (!c.skin || !c.skinnedMesh) return;
  const std::size_t bones = c.boneOffsets.size();
  for (std::size_t b = 0; b < bones; ++b)
    boneMatrices_[b] = gfx::MatrixMultiply(c.boneOffsets[b], *c.boneMatrixPointers[b]);
  void* vb = nullptr;
  if (gfx::Failed(c.skinnedMesh->LockVertexBuffer(0, &vb))) return;
  auto* bytes = static_cast<std::uint8_t*>(vb);
  const std::size_t n = c.bindPositions.size();
  for (std::size_t v = 0; v < n; ++v) {
    const auto& inf = c.skin->influences[v];
    gfx::Vec3 p(0.0f), nrm(0.0f);
    float total = 0;
    for (const BoneInfluence& i : inf) {
      if (i.bone >= bones) continue;
      p += i.weight * gfx::Vec3TransformCoord(c.bindPositions[v], boneMatrices_[i.bone]);
      nrm += i.weight * gfx::Vec3TransformNormal(c.bindNormals[v], boneMatrices_[i.bone]);
      total += i.weight;
    }
    if (!(total > 1e-6f)) {
      // No bone holds it: it follows the container's frame.
      p = gfx::Vec3TransformCoord(c.bindPositions[v], c.frame->combined);
      nrm = gfx::Vec3TransformNormal(c.bindNormals[v], c.frame->combined);
    } else if (std::fabs(total - 1.0f) > 1e-4f) {
      p /= total;
    }
    const float len = gfx::Vec3Length(nrm);
    if (len > 0) nrm /= len;
    WriteVertex(bytes, v, p, nrm);
  }
  c.skinnedMesh->UnlockVertexBuffer();
}

void AnimatedMesh::Update(float elapsed) {
  if (!root_) return;
  if (type_ != ANIM_STOP && speed_ != 0 && std::isfinite(elapsed)) time_ += elapsed * speed_;
  Pose(PoseTime());
  CombineFrames(root_, gfx::MatrixIdentity());
  for (MeshContainer* c : Containers())
    if (c->skin) Skin(*c);
}
