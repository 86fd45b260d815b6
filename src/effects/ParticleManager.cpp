#include "effects/ParticleManager.h"

gfx::HRESULT ParticleManager::OnCreateDevice(gfx::Device& device) {
  m_system.reset();
  auto fountain = std::make_unique<CFountainParticleSys>();
  fountain->SetTextureFile(u"Media/Particles/particle1.tga");
  fountain->poolSize = 10;
  fountain->particlesPerBurst = 50;
  fountain->emissionInterval = 0.1f;
  fountain->lifetime = 500.0f;
  fountain->pointSize = 0.5f;
  fountain->startPosition = glm::vec3(0.0f);
  fountain->baseVelocity = glm::vec3(1.0f);
  fountain->acceleration = glm::vec3(1.0f);
  fountain->spreadSpeed = 1.0f;
  fountain->color = glm::vec4(1.0f, 0.5f, 0.5f, 1.0f);
  const gfx::HRESULT hr = fountain->Init(device);
  fountain->active = true;
  m_system = std::move(fountain);
  return hr;
}

gfx::HRESULT ParticleManager::OnResetDevice(gfx::Device& device) {
  return m_system ? m_system->RestoreDeviceObjects(device) : gfx::S_OK;
}

void ParticleManager::OnLostDevice() {
  if (m_system) m_system->InvalidateDeviceObjects();
}

void ParticleManager::OnDestroyDevice() { m_system.reset(); }
