#pragma once
// What the scene manager keeps between frames to draw the scene: the scene
// effect's parameter handles (looked up once per effect, not by name every
// frame), the per-object parameter block, and the metaball surface's
// dynamic mesh and material. SceneManager::Render (SceneRender.cpp) is the
// only user.
#include <cstdint>
#include <memory>

#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "gfx/Effect.h"
#include "gfx/Math.h"
#include "gfx/Mesh.h"
#include "model/SceneObjects.h"

class SceneRenderer {
 public:
  // The parameters the renderer sends, by handle.
  struct Handles {
    gfx::ParameterHandle world, view, proj, worldView, envMap, diffuse, specular, reflectivity, power2;
    gfx::ParameterHandle deformA, deformB, deformC, deltaA, deltaB, deltaC, time, light, revView;
  };
  // The renderer index (0..5) that picks each technique of the device
  // manager's table.
  static int TechniqueForRenderer(std::int32_t renderer);

  // Handles of `effect`, looked up again when the effect is another one.
  const Handles& HandlesFor(const std::shared_ptr<gfx::Effect>& effect);

  // The metaball surface's dynamic mesh (12000 faces, 3000 vertices,
  // position/normal/texture, 32-bit indices) and its material, made on
  // `device` the first time they are needed there. False when they cannot
  // be made.
  bool PrepareMetaballMesh(gfx::Device& device, const DeviceManager& devices,
                           const std::shared_ptr<gfx::BaseTexture>& environmentMap);
  gfx::Mesh* MetaballMesh() const { return m_metaballMesh.get(); }
  const MeshMaterial& MetaballMaterial() const { return m_metaballMaterial; }
  // Drops the device objects (device destroyed).
  void ReleaseDeviceObjects();

  gfx::BlockHandle objectBlock;      // the object being drawn; empty between objects
  gfx::Mat4 lastWorldView{1.0f};     // of the last object positioned

 private:
  Handles m_handles;
  std::weak_ptr<gfx::Effect> m_handlesEffect;
  std::shared_ptr<gfx::Mesh> m_metaballMesh;
  MeshMaterial m_metaballMaterial;
};
