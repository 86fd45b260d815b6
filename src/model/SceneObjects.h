#pragma once
// Scene objects: small records of parameters that the renderer, the scene
// panel, the timelines and the value scripts read and write directly. Each
// object owns at most one timeline, of the kind that matches its class.
//
// Kind-11 (metaball) objects are always `CMesh`: the renderer draws them
// with the mesh transform and effect parameters, and a mesh timeline, so an
// object made from the panel and one read from a slide are the same class
// with the same timeline section. `CreateSceneObject` is the one place that
// picks the class for a kind.
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

#include "gfx/Effect.h"
#include "gfx/Math.h"
#include "model/MeshParams.h"

class TimeLine;
class CD3DArcBall;   // framework arcball
class AnimatedMesh;  // frame hierarchy of kinds 1 and 7 (mesh loading)
namespace gfx {
class Effect;
class Texture;
class Mesh;
}  // namespace gfx

enum ObjectKind : std::int32_t {
  OBJ_MESH = 1,
  OBJ_LIGHT = 2,
  OBJ_CAMERA = 3,
  OBJ_TEXT = 4,
  OBJ_PARTICLE = 5,
  OBJ_SKYBOX = 6,
  OBJ_ANIM = 7,
  OBJ_POSTPROCESS = 8,
  OBJ_GENERATED = 9,
  OBJ_LAYERTEXT = 10,
  OBJ_METABALL = 11,
};

// The mesh kinds proper: 1, 4, 5, 7, 9.
inline bool IsMeshKind(std::int32_t kind) {
  return kind == OBJ_MESH || kind == OBJ_TEXT || kind == OBJ_PARTICLE || kind == OBJ_ANIM ||
         kind == OBJ_GENERATED;
}
// Kinds whose objects are `CMesh`: the mesh kinds and the metaball kind.
inline bool UsesMeshClass(std::int32_t kind) { return IsMeshKind(kind) || kind == OBJ_METABALL; }

inline constexpr int kNameLength = 260;       // names and paths, UTF-16 units
inline constexpr int kFontLength = 60;        // font faces
inline constexpr int kLayerTextLength = 1024; // layer text
inline constexpr char16_t kDefaultText[] = u"Insert your text !";
inline constexpr char16_t kDefaultFont[] = u"Arial";

class CSceneObject {
 public:
  CSceneObject() = default;
  CSceneObject(const CSceneObject&) = delete;
  CSceneObject& operator=(const CSceneObject&) = delete;

  // Deletes the current timeline, if any, and creates an empty one of the
  // class's kind owned by this object.
  virtual TimeLine* CreateTimeLine() = 0;
  virtual ~CSceneObject();
  // The timeline section: the timeline's own, or a single int32 0 (a key
  // count of zero) when there is none. Returns false when the stream failed.
  virtual bool WriteTimeLine(std::ostream& out);
  // Replaces the timeline by a new empty one that reads the section.
  // Returns false when the stream failed (the timeline is then empty).
  virtual bool ReadTimeLine(std::istream& in);

  void DeleteTimeLine();

  std::int32_t kind = 0;
  std::int32_t slot = 0;     // requested list position, or the catalog index of a mesh
  std::int32_t parent = -1;  // list index of the parent object, -1 for none
  TimeLine* timeLine = nullptr;
};

// Kind 2.
class CLightObject : public CSceneObject {
 public:
  TimeLine* CreateTimeLine() override;

  float position[3] = {0, 0, 0};
  float radius = 1.0f;
  std::int32_t positionLinks[3] = {};
  std::int32_t radiusLink = 0;
};

// Kind 3.
class CCameraObject : public CSceneObject {
 public:
  TimeLine* CreateTimeLine() override;

  float Eye[3] = {0, 0, 2.0f};
  float LookAt[3] = {0, 0, 1.0f};
  std::int32_t eyeLinks[3] = {};
  std::int32_t lookAtLinks[3] = {};
};

// Kind 10.
class CLayerTextObject : public CSceneObject {
 public:
  CLayerTextObject();
  TimeLine* CreateTimeLine() override;

  float Pos[3] = {0, 0, 2.0f};  // x, y in pixels; z stored, not drawn
  std::int32_t posLinks[3] = {};
  char16_t text[kLayerTextLength] = {};
  float colour[4] = {1, 1, 1, 1};
};

// The fields shared by the sky box object and the metaball object. Vectors
// A, B and C are not captured into keys; size and the links are.
class CVolumeObject : public CSceneObject {
 public:
  float vectorA[3] = {0, 0, 0};
  float vectorB[3] = {0, 0, 0};
  float vectorC[3] = {0, 0, 0};
  float size[3] = {100, 100, 100};
  std::int32_t links1[3] = {};
  std::int32_t links2[3] = {};
  std::int32_t links3[3] = {};
};

// Kind 6. The scene manager hands `size` to the sky box after every step.
class CSkyBoxObject : public CVolumeObject {
 public:
  TimeLine* CreateTimeLine() override;
};

// Metaball parameters with their own timeline kind. Not made for kind 11
// (see above); kept for the metaball timeline and its section.
class CMetaBallObject : public CVolumeObject {
 public:
  TimeLine* CreateTimeLine() override;
};

// Kind 8: the parameter slots of the active post-process chain.
inline constexpr int kPostProcessParamFloats = 160;

class CPostProcessObject : public CSceneObject {
 public:
  TimeLine* CreateTimeLine() override;

  float params[kPostProcessParamFloats] = {};
};

// One record per subset of a mesh. Without a scene effect the handles stay
// empty and the texture is still held.
struct MeshMaterial {
  MeshMaterial() = default;
  MeshMaterial(MeshMaterial&& o) noexcept;
  MeshMaterial& operator=(MeshMaterial&& o) noexcept;
  MeshMaterial(const MeshMaterial&) = delete;
  MeshMaterial& operator=(const MeshMaterial&) = delete;
  // Deletes the block: the scene effect outlives every slide's meshes.
  ~MeshMaterial();

  std::shared_ptr<gfx::Effect> effect;  // the scene effect
  gfx::TechniqueHandle technique;       // its first valid technique
  gfx::BlockHandle parameterBlock;      // recorded once at load
  std::shared_ptr<gfx::Texture> texture;
};

// Mesh kinds 1, 4, 5, 7, 9 and the metaball kind 11.
class CMesh : public CSceneObject {
 public:
  CMesh();
  ~CMesh() override;
  TimeLine* CreateTimeLine() override;

  // Drops the device-side parts (mesh, materials, hierarchy); the
  // parameters and the timeline stay.
  void ReleaseMeshResources();

  std::shared_ptr<CD3DArcBall> arcball;  // created by the scene manager
  gfx::Mat4 normaliseMatrix{1.0f};       // bounding sphere to the unit sphere
  std::int32_t catalogIndex = 0;
  std::uint32_t materialCount = 0;
  MeshParams params = kDefaultMeshParams;  // `MeshParams`
  char16_t text[kNameLength] = {};         // 3D text string (kind 4)
  char16_t font[kFontLength] = {};         // 3D text font face (kind 4)
  std::shared_ptr<gfx::Mesh> mesh;         // drawable mesh of kinds 4, 9 and 11
  std::vector<MeshMaterial> materials;     // one per subset
  std::uint32_t partCount = 0;             // faces (4, 9) or hierarchy parts (1, 7)
  std::shared_ptr<AnimatedMesh> animatedMesh;  // kinds 1 and 7
};

// The object of the class for a kind, with its constructor defaults and the
// kind set; null for a kind without a class.
std::unique_ptr<CSceneObject> CreateSceneObject(std::int32_t kind);

// The panel's text for a value link: "--" for 0, "01" .. "09", "!" above.
// Negative links show "!" as well.
const char16_t* ValueLinkText(std::int32_t link);
