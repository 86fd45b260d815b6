#pragma once
// The 64 animatable words of a mesh object, in their stored order. A mesh
// keyframe holds one whole block; the slide file stores it word by word.
#include <cstddef>
#include <cstdint>

// Fill and shade modes keep the Direct3D values that the files store.
enum MeshFillMode : std::int32_t { FILL_POINT = 1, FILL_WIREFRAME = 2, FILL_SOLID = 3 };
enum MeshShadeMode : std::int32_t { SHADE_FLAT = 1, SHADE_GOURAUD = 2, SHADE_PHONG = 3 };
enum MeshAnimationType : std::int32_t {
  ANIM_STOP = 0,
  ANIM_SINGLE = 1,
  ANIM_LOOP_FORWARD = 2,
  ANIM_LOOP_BACKWARD = 3,
  ANIM_PING_PONG = 4,
};

struct MeshParams {
  std::int32_t ownIndex = 0;          // 0: list index, set when a catalog entry is loaded
  float iPos[3] = {0, 0, 0};          // 1-3
  float iRot[3] = {0, 0, 0};          // 4-6: yaw, pitch, roll
  float iScale[3] = {1, 1, 1};        // 7-9: all three 0 hides the object
  float vDiff[4] = {1, 1, 1, 1};      // 10-13
  float vSpec[4] = {0.1f, 0.1f, 0.1f, 0.1f};  // 14-17
  std::int32_t fillMode = FILL_SOLID;    // 18
  std::int32_t shadeMode = SHADE_PHONG;  // 19
  std::int32_t renderer = 0;             // 20: technique 0-5
  std::int32_t lighting = 1;             // 21
  float Reflectivity = 0;             // 22, percent
  float Power = 0;                    // 23, percent
  float DeformA = 50;                 // 24, percent
  float DeformB = 50;                 // 25, percent
  std::int32_t start = 0;             // 26: first face or part drawn
  std::int32_t end = 0;               // 27: last face or part
  std::int32_t animationSet = 0;      // 28
  float animationSpeed = 0;           // 29
  std::int32_t animationType = ANIM_STOP;  // 30
  std::int32_t startLink = 0;         // 31
  std::int32_t endLink = 0;           // 32
  std::int32_t iPosLinks[3] = {};     // 33-35
  std::int32_t iRotLinks[3] = {};     // 36-38
  std::int32_t iScaleLinks[3] = {};   // 39-41
  std::int32_t vDiffLinks[4] = {};    // 42-45
  std::int32_t vSpecLinks[4] = {};    // 46-49
  std::int32_t ReflectivityLink = 0;  // 50
  std::int32_t PowerLink = 0;         // 51
  // 52-57: DeformA, DeformB, DeformC, DeltaA, DeltaB, DeltaC
  std::int32_t flexLinks[6] = {};
  float DeformC = 0;                  // 58, percent
  float Delta[3] = {0, 0, 0};         // 59-61: DeltaA, DeltaB, DeltaC, percent
  float extraValue = 0;               // 62: driven by its link while playing
  std::int32_t extraValueLink = 0;    // 63
};

inline constexpr std::size_t kMeshParamWords = 64;
static_assert(sizeof(MeshParams) == kMeshParamWords * 4, "64 words, no padding");
static_assert(offsetof(MeshParams, fillMode) == 18 * 4);
static_assert(offsetof(MeshParams, startLink) == 31 * 4);
static_assert(offsetof(MeshParams, flexLinks) == 52 * 4);
static_assert(offsetof(MeshParams, extraValueLink) == 63 * 4);

// The `default mesh parameters` template copied in whenever a catalog entry
// is loaded (and by a mesh timeline without keys).
inline constexpr MeshParams kDefaultMeshParams{};

// Calls f(field) for every field in word order: f(std::int32_t&) or
// f(float&) for scalars, f(T (&)[n]) is never used. Writer and reader of the
// block share this one walk, so they cannot disagree.
template <class Params, class F>
void ForEachMeshWord(Params& p, F&& f) {
  f(p.ownIndex);
  for (auto& v : p.iPos) f(v);
  for (auto& v : p.iRot) f(v);
  for (auto& v : p.iScale) f(v);
  for (auto& v : p.vDiff) f(v);
  for (auto& v : p.vSpec) f(v);
  f(p.fillMode);
  f(p.shadeMode);
  f(p.renderer);
  f(p.lighting);
  f(p.Reflectivity);
  f(p.Power);
  f(p.DeformA);
  f(p.DeformB);
  f(p.start);
  f(p.end);
  f(p.animationSet);
  f(p.animationSpeed);
  f(p.animationType);
  f(p.startLink);
  f(p.endLink);
  for (auto& v : p.iPosLinks) f(v);
  for (auto& v : p.iRotLinks) f(v);
  for (auto& v : p.iScaleLinks) f(v);
  for (auto& v : p.vDiffLinks) f(v);
  for (auto& v : p.vSpecLinks) f(v);
  f(p.ReflectivityLink);
  f(p.PowerLink);
  for (auto& v : p.flexLinks) f(v);
  f(p.DeformC);
  for (auto& v : p.Delta) f(v);
  f(p.extraValue);
  f(p.extraValueLink);
}
