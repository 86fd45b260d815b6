#pragma once
// .x files (text, binary, compressed) read through Assimp into plain data in
// the player's conventions: row-vector, left-handed matrices as the file
// stores them, rotation keys as quaternions whose MatrixRotationQuaternion
// is the frame's rotation. Loaders above build device meshes from it; the
// data itself holds no device resource, so one parse serves every object.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Math.h"

namespace gfx {

struct XBone {
  std::string name;  // the frame that moves it
  Mat4 offset{1.0f};  // mesh space to bone space
  std::vector<std::uint32_t> vertices;
  std::vector<float> weights;  // one per vertex above
};

struct XMaterial {
  Vec4 diffuse{1.0f};
  Vec3 specular{0.0f};
  Vec3 emissive{0.0f};
  float power = 0.0f;
  std::string textureFile;  // verbatim, backslashes included; empty: none
};

// One mesh of a frame: Assimp splits a file's mesh per material, so the
// parts of one file mesh share its name and frame.
struct XMesh {
  std::string name;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;  // empty when the file has none
  std::vector<Vec2> texCoords;  // empty when the file has none
  std::vector<std::uint32_t> indices;  // triangles
  std::uint32_t material = 0;  // index into XFileData::materials
  std::vector<XBone> bones;
};

struct XFrame {
  std::string name;
  Mat4 transform{1.0f};
  int parent = -1;
  std::vector<int> children;
  std::vector<int> meshes;  // indices into XFileData::meshes
};

struct XVectorKey {
  double time = 0;  // ticks
  Vec3 value{0.0f};
};
struct XRotationKey {
  double time = 0;
  Quat value{0, 0, 0, 1};
};

struct XChannel {
  std::string frame;
  std::vector<XVectorKey> position, scale;
  std::vector<XRotationKey> rotation;
};

struct XAnimationSet {
  std::string name;
  double ticksPerSecond = 4800;  // the file's rate, 4800 when it gives none
  double duration = 0;           // ticks
  std::vector<XChannel> channels;
};

struct XFileData {
  std::vector<XFrame> frames;  // frame 0 is the root
  std::vector<XMesh> meshes;
  std::vector<XMaterial> materials;
  std::vector<XAnimationSet> animationSets;
  // An effect file the file names (EffectInstance); the importer drops
  // effect instances, so this is all that is kept of them. "?" when the
  // name could not be read.
  std::string effectFile;
};

// Parses the file. A file that the importer cannot read, or that would
// bring it down (it trusts indices in skin weights), fails with E_FAIL and
// a reason in `error`; ERR_NOTFOUND when the file cannot be opened.
HRESULT ParseXFile(const std::filesystem::path& path, std::shared_ptr<const XFileData>* out,
                   std::string* error = nullptr);

// Parsed files kept by path, size and modification time: a second load of
// an unchanged file parses nothing. A failure is not kept.
class XFileCache {
 public:
  HRESULT Load(const std::filesystem::path& path, std::shared_ptr<const XFileData>* out, std::string* error = nullptr);
  void Clear();
  // Files parsed since the program started (all caches).
  static std::uint64_t ParseCount();

 private:
  struct Entry {
    std::filesystem::path path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    std::shared_ptr<const XFileData> data;
  };
  std::vector<Entry> entries_;
};

// Textures from files kept by path while anything still uses them; a
// texture goes when its last user lets it go.
class TextureCache {
 public:
  HRESULT Load(Device& device, const std::filesystem::path& path, std::shared_ptr<Texture>* out);
  // Loads from files since the program started (all caches).
  static std::uint64_t FileLoadCount();

 private:
  struct Entry {
    const Device* device = nullptr;
    std::filesystem::path path;
    std::weak_ptr<Texture> texture;
  };
  std::vector<Entry> entries_;
};

}  // namespace gfx
