#include "gfx/XFile.h"

#include "gfx/XFileCheck.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <fstream>
#include <string_view>
#include <iterator>

namespace gfx {
namespace {

// Keeps positions, normals, texture coordinates and winding as the file has
// them; never flattens the hierarchy.
constexpr unsigned kImportFlags = aiProcess_ConvertToLeftHanded | aiProcess_Triangulate |
                                  aiProcess_LimitBoneWeights | aiProcess_JoinIdenticalVertices |
                                  aiProcess_ValidateDataStructure;
constexpr double kDefaultTicksPerSecond = 4800.0;
constexpr int kGuardTimeoutMs = 20000;

std::atomic<std::uint64_t> g_parses{0};
std::atomic<std::uint64_t> g_textureLoads{0};

// Assimp's row-major, column-vector matrix to our row-vector one.
Mat4 FromAi(const aiMatrix4x4& m) {
  Mat4 r;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) r[row][col] = m[col][row];
  return r;
}

Vec3 FromAi(const aiVector3D& v) { return Vec3(v.x, v.y, v.z); }

// The importer indexes vertex arrays with the file's skin-weight indices
// unchecked, so a hostile file crashes it. It reads the file first in a
// child process; only a file the child read cleanly is read here. Returns
// false when the child failed or died.
bool ImporterSurvives(const std::string& path, std::string* why) {
  const pid_t pid = fork();
  if (pid < 0) return true;  // no child to try it in: take the risk
  if (pid == 0) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, kImportFlags);
    _exit(scene && scene->mRootNode ? 0 : 1);
  }
  int status = 0;
  for (int waited = 0;; waited += 2) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) return false;
    if (waited >= kGuardTimeoutMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (why) *why = "the importer did not finish";
      return false;
    }
    const timespec pause{0, 2'000'000};
    nanosleep(&pause, nullptr);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (why) *why = WIFSIGNALED(status) ? "the importer crashed on the file" : "the importer refused the file";
  return false;
}

void AddFrames(const aiNode* node, int parent, XFileData& data, std::vector<const aiNode*>& nodes) {
  const int index = static_cast<int>(data.frames.size());
  XFrame f;
  f.name = node->mName.C_Str();
  f.transform = FromAi(node->mTransformation);
  f.parent = parent;
  data.frames.push_back(std::move(f));
  nodes.push_back(node);
  if (parent >= 0) data.frames[static_cast<std::size_t>(parent)].children.push_back(index);
  for (unsigned i = 0; i < node->mNumMeshes; ++i)
    data.frames[static_cast<std::size_t>(index)].meshes.push_back(static_cast<int>(node->mMeshes[i]));
  for (unsigned i = 0; i < node->mNumChildren; ++i)
    if (node->mChildren[i]) AddFrames(node->mChildren[i], index, data, nodes);
}

bool ConvertMesh(const aiMesh& m, unsigned materialCount, XMesh& out, std::string* error) {
  out.name = m.mName.C_Str();
  const unsigned nv = m.mNumVertices;
  out.positions.resize(nv);
  for (unsigned v = 0; v < nv; ++v) out.positions[v] = FromAi(m.mVertices[v]);
  if (m.HasNormals()) {
    out.normals.resize(nv);
    for (unsigned v = 0; v < nv; ++v) out.normals[v] = FromAi(m.mNormals[v]);
  }
  if (m.HasTextureCoords(0)) {
    out.texCoords.resize(nv);
    for (unsigned v = 0; v < nv; ++v) out.texCoords[v] = Vec2(m.mTextureCoords[0][v].x, m.mTextureCoords[0][v].y);
  }
  out.indices.reserve(std::size_t{m.mNumFaces} * 3);
  for (unsigned f = 0; f < m.mNumFaces; ++f) {
    const aiFace& face = m.mFaces[f];
    if (face.mNumIndices != 3) continue;  // points and lines draw nothing here
    for (unsigned k = 0; k < 3; ++k) {
      if (face.mIndices[k] >= nv) {
        if (error) *error = "a face of mesh '" + out.name + "' names a vertex past its list";
        return false;
      }
      out.indices.push_back(face.mIndices[k]);
    }
  }
  out.material = m.mMaterialIndex < materialCount ? m.mMaterialIndex : 0;
  for (unsigned b = 0; b < m.mNumBones; ++b) {
    const aiBone* src = m.mBones[b];
    if (!src) continue;
    XBone bone;
    bone.name = src->mName.C_Str();
    bone.offset = FromAi(src->mOffsetMatrix);
    for (unsigned w = 0; w < src->mNumWeights; ++w) {
      const aiVertexWeight& vw = src->mWeights[w];
      if (vw.mVertexId >= nv || !std::isfinite(vw.mWeight)) continue;
      bone.vertices.push_back(vw.mVertexId);
      bone.weights.push_back(vw.mWeight);
    }
    out.bones.push_back(std::move(bone));
  }
  return true;
}

XMaterial ConvertMaterial(const aiMaterial& m) {
  XMaterial out;
  aiColor4D c;
  if (m.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS) out.diffuse = Vec4(c.r, c.g, c.b, c.a);
  if (m.Get(AI_MATKEY_COLOR_SPECULAR, c) == AI_SUCCESS) out.specular = Vec3(c.r, c.g, c.b);
  if (m.Get(AI_MATKEY_COLOR_EMISSIVE, c) == AI_SUCCESS) out.emissive = Vec3(c.r, c.g, c.b);
  float power = 0;
  if (m.Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) out.power = power;
  aiString tex;
  if (m.GetTexture(aiTextureType_DIFFUSE, 0, &tex) == AI_SUCCESS) out.textureFile = tex.C_Str();
  return out;
}

// Rotation part of a row-vector matrix with the scale divided out.
Mat4 RotationOf(const Mat4& m) {
  Mat4 r(1.0f);
  for (int row = 0; row < 3; ++row) {
    const float len = std::sqrt(m[row][0] * m[row][0] + m[row][1] * m[row][1] + m[row][2] * m[row][2]);
    for (int col = 0; col < 3; ++col) r[row][col] = len > 0 ? m[row][col] / len : 0.0f;
  }
  return r;
}

float RotationDistance(const Mat4& a, const Mat4& b) {
  float d = 0;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) d += std::fabs(a[row][col] - b[row][col]);
  return d;
}

// Rotation keys must turn their frame as its matrix does. Each channel's
// first key votes for the keys as read or conjugated; the file follows the
// vote (importers have disagreed on the quaternion's sense).
void MatchRotationSense(XFileData& data) {
  float asRead = 0, conjugated = 0;
  for (const XAnimationSet& set : data.animationSets)
    for (const XChannel& ch : set.channels) {
      if (ch.rotation.empty()) continue;
      for (const XFrame& f : data.frames)
        if (f.name == ch.frame) {
          const Mat4 frame = RotationOf(f.transform);
          const Quat q = ch.rotation.front().value;
          asRead += RotationDistance(MatrixRotationQuaternion(q), frame);
          conjugated += RotationDistance(MatrixRotationQuaternion(QuaternionConjugate(q)), frame);
          break;
        }
    }
  if (conjugated < asRead)
    for (XAnimationSet& set : data.animationSets)
      for (XChannel& ch : set.channels)
        for (XRotationKey& k : ch.rotation) k.value = QuaternionConjugate(k.value);
}

// The effect file of the first effect instance of a text file
// (EffectInstance { "name"; ... }), "?" when an instance's name cannot be
// read (binary and compressed files, odd spellings); empty for none.
std::string EffectFileNamed(const std::string& bytes) {
  static constexpr std::string_view kWord = "EffectInstance";
  bool seen = false;
  for (std::size_t at = bytes.find(kWord); at != std::string::npos; at = bytes.find(kWord, at + 1)) {
    if (at >= 9 && bytes.compare(at - 9, 9, "template ") == 0) continue;  // the declaration
    seen = true;
    std::size_t p = bytes.find('{', at);
    if (p == std::string::npos || p - at > 300) continue;
    ++p;
    while (p < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[p]))) ++p;
    if (p >= bytes.size() || bytes[p] != '"') continue;
    const std::size_t close = bytes.find('"', p + 1);
    if (close != std::string::npos && close - p < 300) return bytes.substr(p + 1, close - p - 1);
  }
  return seen ? "?" : "";
}

}  // namespace

HRESULT ParseXFile(const std::filesystem::path& path, std::shared_ptr<const XFileData>* out, std::string* error) {
  if (!out) return E_INVALIDARG;
  out->reset();
  std::string bytes;
  {
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
      if (error) *error = "cannot open " + path.string();
      return ERR_NOTFOUND;
    }
    bytes.assign(std::istreambuf_iterator<char>(probe), std::istreambuf_iterator<char>());
  }
  ++g_parses;
  std::string why;
  if (!detail::CheckXFileForImporter(bytes, &why) || !ImporterSurvives(path.string(), &why)) {
    if (error) *error = path.string() + ": " + why;
    return E_FAIL;
  }
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path.string(), kImportFlags);
  if (!scene || !scene->mRootNode) {
    if (error) *error = path.string() + ": " + importer.GetErrorString();
    return E_FAIL;
  }
  auto data = std::make_shared<XFileData>();
  for (unsigned i = 0; i < scene->mNumMaterials; ++i)
    data->materials.push_back(scene->mMaterials[i] ? ConvertMaterial(*scene->mMaterials[i]) : XMaterial{});
  if (data->materials.empty()) data->materials.emplace_back();
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    XMesh mesh;
    if (!scene->mMeshes[i] ||
        !ConvertMesh(*scene->mMeshes[i], static_cast<unsigned>(data->materials.size()), mesh, error))
      return E_FAIL;
    data->meshes.push_back(std::move(mesh));
  }
  std::vector<const aiNode*> nodes;
  AddFrames(scene->mRootNode, -1, *data, nodes);
  for (const XFrame& f : data->frames)
    for (int m : f.meshes)
      if (m < 0 || static_cast<std::size_t>(m) >= data->meshes.size()) {
        if (error) *error = path.string() + ": a frame names a mesh that does not exist";
        return E_FAIL;
      }
  for (unsigned i = 0; i < scene->mNumAnimations; ++i) {
    const aiAnimation* a = scene->mAnimations[i];
    if (!a) continue;
    XAnimationSet set;
    set.name = a->mName.C_Str();
    set.ticksPerSecond = a->mTicksPerSecond > 0 ? a->mTicksPerSecond : kDefaultTicksPerSecond;
    set.duration = a->mDuration > 0 && std::isfinite(a->mDuration) ? a->mDuration : 0.0;
    for (unsigned c = 0; c < a->mNumChannels; ++c) {
      const aiNodeAnim* src = a->mChannels[c];
      if (!src) continue;
      XChannel ch;
      ch.frame = src->mNodeName.C_Str();
      for (unsigned k = 0; k < src->mNumPositionKeys; ++k)
        ch.position.push_back({src->mPositionKeys[k].mTime, FromAi(src->mPositionKeys[k].mValue)});
      for (unsigned k = 0; k < src->mNumScalingKeys; ++k)
        ch.scale.push_back({src->mScalingKeys[k].mTime, FromAi(src->mScalingKeys[k].mValue)});
      for (unsigned k = 0; k < src->mNumRotationKeys; ++k) {
        const aiQuaternion& q = src->mRotationKeys[k].mValue;
        ch.rotation.push_back({src->mRotationKeys[k].mTime, QuaternionXYZW(q.x, q.y, q.z, q.w)});
      }
      for (const auto& k : ch.position) set.duration = std::max(set.duration, k.time);
      for (const auto& k : ch.rotation) set.duration = std::max(set.duration, k.time);
      for (const auto& k : ch.scale) set.duration = std::max(set.duration, k.time);
      set.channels.push_back(std::move(ch));
    }
    data->animationSets.push_back(std::move(set));
  }
  MatchRotationSense(*data);
  data->effectFile = EffectFileNamed(bytes);
  *out = std::move(data);
  return S_OK;
}

HRESULT XFileCache::Load(const std::filesystem::path& path, std::shared_ptr<const XFileData>* out,
                         std::string* error) {
  if (!out) return E_INVALIDARG;
  out->reset();
  std::error_code ec;
  const std::filesystem::path key = std::filesystem::absolute(path, ec).lexically_normal();
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    if (error) *error = "cannot open " + path.string();
    return ERR_NOTFOUND;
  }
  const auto time = std::filesystem::last_write_time(path, ec);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->path != key) continue;
    if (it->size == size && it->time == time) {
      *out = it->data;
      return S_OK;
    }
    entries_.erase(it);  // the file changed: read it again
    break;
  }
  std::shared_ptr<const XFileData> data;
  HRESULT hr = ParseXFile(path, &data, error);
  if (Failed(hr)) return hr;
  entries_.push_back({key, size, time, data});
  *out = std::move(data);
  return S_OK;
}

void XFileCache::Clear() { entries_.clear(); }

std::uint64_t XFileCache::ParseCount() { return g_parses.load(); }

HRESULT TextureCache::Load(Device& device, const std::filesystem::path& path, std::shared_ptr<Texture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  std::error_code ec;
  const std::filesystem::path key = std::filesystem::absolute(path, ec).lexically_normal();
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->texture.expired()) {
      it = entries_.erase(it);
      continue;
    }
    if (it->device == &device && it->path == key) {
      *out = it->texture.lock();
      return S_OK;
    }
    ++it;
  }
  ++g_textureLoads;
  std::shared_ptr<Texture> t;
  HRESULT hr = device.CreateTextureFromFile(path.string(), &t);
  if (Failed(hr)) return hr;
  entries_.push_back({&device, key, t});
  *out = std::move(t);
  return S_OK;
}

std::uint64_t TextureCache::FileLoadCount() { return g_textureLoads.load(); }

}  // namespace gfx
