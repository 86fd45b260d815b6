#pragma once
// The particle manager keeps the one fountain, made when the device is made
// and again when a particle entry is loaded into a scene object, and passes
// the device's events on to it. It has no slide data: Write and Read leave
// the stream as it is.
#include <cstdint>
#include <memory>

#include "core/MVObject.h"
#include "effects/ParticleSystem.h"

class ParticleManager : public MVObject {
 public:
  std::int32_t GetType() const override { return MV_TYPE_PARTICLE; }
  std::ostream& Write(std::ostream& out) override { return out; }
  std::istream& Read(std::istream& in) override { return in; }

  // A fresh fountain in place of any before it, initialised and active
  // (active even when its texture is missing: Init's result is returned).
  gfx::HRESULT OnCreateDevice(gfx::Device& device);
  gfx::HRESULT OnResetDevice(gfx::Device& device);
  void OnLostDevice();
  void OnDestroyDevice();

  CParticleSystem* System() { return m_system.get(); }

 private:
  std::unique_ptr<CParticleSystem> m_system;
};

extern ParticleManager g_ParticleManager;
