#pragma once
// The drawable content of mesh objects of kinds 1 and 7: a frame hierarchy
// read from an .x file, its mesh containers with their materials, skinning
// and animation sets. Skinning is done on the CPU: each frame the working
// mesh of a skinned container is rewritten from its bind pose and bones.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Mesh.h"
#include "gfx/XFile.h"
#include "io/Result.h"
#include "model/MeshParams.h"
#include "model/SceneObjects.h"

// What loading needs of the device-wide resources. The scene effect may be
// missing (materials then hold only their texture); the white texture is
// made on the device when none is given.
struct MeshLoadContext {
  gfx::Device* device = nullptr;
  std::shared_ptr<gfx::Effect> sceneEffect;
  std::shared_ptr<gfx::Texture> whiteTexture;
  std::shared_ptr<gfx::BaseTexture> environmentMap;
};

struct MeshContainer;

struct MeshFrame {
  std::string name;
  gfx::Mat4 transform{1.0f};  // local, posed by the animation
  gfx::Mat4 combined{1.0f};   // object space
  MeshContainer* container = nullptr;  // first of a list (owned)
  MeshFrame* sibling = nullptr;        // owned
  MeshFrame* firstChild = nullptr;     // owned
  gfx::Mat4 bindTransform{1.0f};       // as the file gave it
};

// A bone weight of one vertex.
struct BoneInfluence {
  std::uint32_t bone = 0;
  float weight = 0;
};

struct SkinInfo {
  std::vector<std::string> boneNames;
  std::vector<gfx::Mat4> boneOffsets;
  // Per vertex, its influences (at most four after the import).
  std::vector<std::vector<BoneInfluence>> influences;
};

struct MeshContainer {
  std::string name;
  std::shared_ptr<gfx::Mesh> mesh;  // position, normal, texture (32 bytes)
  std::vector<gfx::XMaterial> fileMaterials;
  std::vector<std::uint32_t> adjacency;  // 3 per face, 0xFFFFFFFF: no neighbour
  std::shared_ptr<const SkinInfo> skin;  // null: not skinned
  std::vector<gfx::Mat4> boneOffsets;
  std::vector<const gfx::Mat4*> boneMatrixPointers;
  std::vector<MeshMaterial> materials;  // at least one
  std::shared_ptr<gfx::Mesh> skinnedMesh;  // the working mesh of a skinned container
  MeshContainer* next = nullptr;            // owned
  MeshFrame* frame = nullptr;               // the frame holding it
  // Bind pose, the source of every skinning pass.
  std::vector<gfx::Vec3> bindPositions, bindNormals;
};

// The source of a container: what the hierarchy loader hands to the
// allocator.
struct MeshContainerSource {
  const gfx::XMesh* mesh = nullptr;  // null: not a standard mesh
  std::vector<gfx::XMaterial> materials;
  const std::vector<std::uint32_t>* adjacency = nullptr;
  std::shared_ptr<const SkinInfo> skin;
  std::string effectFile;  // an effect the file names (not loaded)
};

// The allocator handed to the hierarchy loader; slot order as the loader
// calls it. Traces go through `Log`.
class CMeshHierarchy {
 public:
  CMeshHierarchy(const MeshLoadContext& context, std::filesystem::path folder)
      : context_(context), folder_(std::move(folder)) {}
  virtual ~CMeshHierarchy() = default;
  virtual mv::HRESULT CreateFrame(const char* name, MeshFrame** out);
  virtual mv::HRESULT CreateMeshContainer(const char* name, const MeshContainerSource& source,
                                          MeshContainer** out);
  virtual mv::HRESULT DestroyFrame(MeshFrame* frame);
  virtual mv::HRESULT DestroyMeshContainer(MeshContainer* container);

 private:
  void CreateMaterial(const gfx::XMaterial& file, MeshMaterial& out);
  MeshLoadContext context_;
  std::filesystem::path folder_;
};

// Adjacency of a triangle list: for each face edge (v0 v1, v1 v2, v2 v0) the
// face sharing it, 0xFFFFFFFF for none. Positions within `epsilon` count as
// one vertex.
std::vector<std::uint32_t> GenerateAdjacency(const std::vector<gfx::Vec3>& positions,
                                             const std::vector<std::uint32_t>& indices, float epsilon);

class AnimatedMesh {
 public:
  AnimatedMesh() = default;
  ~AnimatedMesh();
  AnimatedMesh(const AnimatedMesh&) = delete;
  AnimatedMesh& operator=(const AnimatedMesh&) = delete;

  // Loads the hierarchy from `file` (parsed through `cache` when given).
  // A failure traces "DirectX Reported Error:" with the code and leaves
  // nothing loaded.
  mv::HRESULT Load(const std::filesystem::path& file, const MeshLoadContext& context,
                   gfx::XFileCache* cache = nullptr);

  // ---- what the renderer hands over before each draw ----
  // Start, end, animation set, type and speed of the parameters.
  void HandOver(const MeshParams& params);
  void SetStartEnd(std::int32_t start, std::int32_t end) { start_ = start, end_ = end; }
  // Ignored outside 0 … count − 1; the current set changes nothing.
  void SetAnimationSet(std::int32_t set);
  void SetAnimationType(std::int32_t type) { type_ = type; }
  void SetSpeed(float speed) { speed_ = speed; }
  // Advances the clock by elapsed × speed (types Single, loops and ping
  // pong; Stop holds), poses the frames, recomputes the combined matrices
  // and skins the skinned containers.
  void Update(float elapsed);

  // The animation time (seconds into the current set) the pose shows.
  double PoseTime() const;
  float GetTime() const { return time_; }
  std::int32_t GetCurrentAnimationSet() const { return currentSet_; }
  std::uint32_t GetAnimationSetCount() const { return animationSetCount_; }
  double GetAnimationSetDuration(std::int32_t set) const;  // seconds
  std::uint32_t GetBoneCount() const { return boneCount_; }
  std::uint32_t GetPartCount() const { return partCount_; }
  std::int32_t GetStart() const { return start_; }
  std::int32_t GetEnd() const { return end_; }
  // Parts are numbered over the containers' materials in drawing order.
  bool IsPartDrawn(std::uint32_t part) const {
    return static_cast<std::int64_t>(part) >= start_ && static_cast<std::int64_t>(part) < end_;
  }
  gfx::Vec3 GetBoundingCentre() const { return centre_; }
  float GetBoundingRadius() const { return radius_; }
  const std::string& GetFilePath() const { return path_; }
  MeshFrame* GetFrameRoot() const { return root_; }
  MeshFrame* FindFrame(const std::string& name) const;
  // In drawing order: a frame, its children, then its siblings.
  const std::vector<MeshContainer*>& Containers() const { return containers_; }
  std::uint32_t CountFrames() const;
  // The matrix a container is drawn with, in object space: its frame's for
  // a rigid one, identity for a skinned one (its working mesh is posed).
  static gfx::Mat4 DrawMatrix(const MeshContainer& c);

 private:
  struct Track {
    const gfx::XChannel* channel = nullptr;
    MeshFrame* frame = nullptr;
  };
  void Connect();
  void Pose(double seconds);
  void Skin(MeshContainer& c);
  void Destroy();

  std::shared_ptr<const gfx::XFileData> data_;
  std::unique_ptr<CMeshHierarchy> hierarchy_;
  MeshFrame* root_ = nullptr;
  std::vector<MeshContainer*> containers_;
  std::vector<std::vector<Track>> tracks_;  // per animation set
  std::vector<gfx::Mat4> boneMatrices_;
  std::uint32_t boneCount_ = 0;
  std::int32_t currentSet_ = 0;
  std::uint32_t animationSetCount_ = 0;
  std::string path_;
  float time_ = 0;
  gfx::Vec3 centre_{0.0f};
  float radius_ = 0;
  std::int32_t start_ = 0, end_ = 0;
  std::uint32_t partCount_ = 0;
  std::int32_t type_ = ANIM_STOP;
  float speed_ = 0;
};
