#pragma once
// Keyframe records, one per timeline kind. Every key begins with a reserved
// word (persisted, written as 0 by capture) and its duration in frames at
// 25 frames per second. A new key starts zero-filled.
#include <cstdint>

#include "model/MeshParams.h"

struct CameraKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  float eye[3] = {};
  std::int32_t eyeLinks[3] = {};
  float lookAt[3] = {};
  std::int32_t lookAtLinks[3] = {};
};

struct LayerTextKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  float position[3] = {};
  std::int32_t positionLinks[3] = {};
};

struct LightKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  float position[3] = {};
  std::int32_t positionLinks[3] = {};
  float radius = 0;
  std::int32_t radiusLink = 0;
};

struct MeshKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  MeshParams params = ZeroMeshParams();

  static constexpr MeshParams ZeroMeshParams() {
    MeshParams p{};
    p.iScale[0] = p.iScale[1] = p.iScale[2] = 0;
    for (auto& v : p.vDiff) v = 0;
    for (auto& v : p.vSpec) v = 0;
    p.fillMode = p.shadeMode = p.lighting = 0;
    p.DeformA = p.DeformB = 0;
    return p;
  }
};

// Shared by the metaball and sky-box timelines.
struct MetaBallKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  float vectorA[3] = {};
  std::int32_t links1[3] = {};
  float vectorB[3] = {};
  std::int32_t links2[3] = {};
  float vectorC[3] = {};
  std::int32_t links3[3] = {};
  float size[3] = {};
};

inline constexpr int kPostProcessFloats = 160;  // 20 slots x 2 parameters x 4 floats
inline constexpr int kPostProcessExtraWords = 40;

struct PostProcessKey {
  std::int32_t reserved = 0;
  std::int32_t duration = 0;
  float params[kPostProcessFloats] = {};
  std::int32_t extra[kPostProcessExtraWords] = {};  // never captured; kept as read
};

// Bytes of one key in the timeline section, per kind.
inline constexpr int kCameraKeyBytes = 56;
inline constexpr int kLayerTextKeyBytes = 32;
inline constexpr int kLightKeyBytes = 40;
inline constexpr int kMeshKeyBytes = 264;
inline constexpr int kSkyBoxKeyBytes = 92;
inline constexpr int kPostProcessKeyBytes = 808;
inline constexpr int kMetaBallKeyBytes = 0;
