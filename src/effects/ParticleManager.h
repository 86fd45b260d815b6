#pragma once
// The particle manager keeps the one fountain, made when the device is made
// and again when a particle entry is loaded into a scene object, and passes
// the device's events on to it. It has no slide data: Write and Read leave
// the stream as it is. Every frame the particle object advances the
// fountain and draws its live particles as point sprites.
#include <cstdint>
#include <memory>

#include "core/MVObject.h"
#include "effects/ParticleSystem.h"
#include "gfx/Effect.h"
#include "gfx/Math.h"

class CMesh;
class DeviceManager;

class ParticleManager : public MVObject {
 public:
  // The drawing's effect and its technique.
  static constexpr const char* kEffectFile = "fx\\particles.fxo";
  static constexpr const char* kTechnique = "RenderParticles";

  std::int32_t GetType() const override { return MV_TYPE_PARTICLE; }
  std::ostream& Write(std::ostream& out) override { return out; }
  std::istream& Read(std::istream& in) override { return in; }

  // Where the render-target table comes from: particles draw into row 0,
  // which holds the colour target in every layout. Without one they draw
  // into the targets bound.
  void SetDeviceManager(const DeviceManager* deviceManager) { m_pDeviceManager = deviceManager; }

  // A fresh fountain in place of any before it, initialised and active
  // (active even when its texture is missing: Init's result is returned).
  // The drawing's effect, declaration and white stand-in texture are made
  // with the first fountain on a device.
  gfx::HRESULT OnCreateDevice(gfx::Device& device);
  gfx::HRESULT OnResetDevice(gfx::Device& device);
  void OnLostDevice();
  void OnDestroyDevice();

  // A particle entry was loaded into `object`: a fresh fountain on the
  // device the manager was made with, belonging to that object. Nothing
  // before the device exists (its creation makes the fountain).
  gfx::HRESULT OnParticleObjectLoaded(CMesh& object);

  // Advances the fountain by `elapsed` seconds and draws its live particles
  // at the object's transform. The fountain belongs to the object it was
  // made for (the one made with the device, to the first object drawn);
  // another particle object draws nothing, unless the owner stops being
  // drawn, when the next object drawn twice in a row without it takes the
  // fountain over. Call outside any effect pass.
  void Render(gfx::Device& device, CMesh& object, const gfx::Mat4& world, const gfx::Mat4& view,
              const gfx::Mat4& proj, float elapsed);

  CParticleSystem* System() { return m_system.get(); }
  const CMesh* Owner() const { return m_pOwner; }
  // The point size in pixels the last drawing used.
  float LastPointSize() const { return m_lastPointSize; }

 private:
  gfx::HRESULT CreateDrawingObjects(gfx::Device& device);

  std::unique_ptr<CParticleSystem> m_system;
  const DeviceManager* m_pDeviceManager = nullptr;
  gfx::Device* m_pDevice = nullptr;
  const CMesh* m_pOwner = nullptr;
  const CMesh* m_pCandidate = nullptr;
  std::shared_ptr<gfx::Effect> m_pEffect;
  gfx::TechniqueHandle m_hTechnique;
  gfx::ParameterHandle m_hWorldViewProj, m_hTexture;
  std::shared_ptr<gfx::VertexDeclaration> m_pDecl;
  std::shared_ptr<gfx::Texture> m_pWhite;
  float m_lastPointSize = 0.0f;
};

extern ParticleManager g_ParticleManager;
