#include "effects/ParticleSystem.h"

#include <cmath>
#include <numbers>

#include "framework/MediaSearch.h"
#include "io/Log.h"
#include "io/Utf16.h"

CParticleSystem::~CParticleSystem() { InvalidateDeviceObjects(); }

void CParticleSystem::SetTextureFile(std::u16string_view file) { m_textureFile = file.substr(0, 64); }

gfx::HRESULT CParticleSystem::Init(gfx::Device& device) {
  m_particles.assign(poolSize, Particle{startPosition, glm::vec3(0.0f), 0.0f, false});
  const gfx::HRESULT hr = RestoreDeviceObjects(device);
  if (gfx::Failed(hr)) return hr;
  maxPointSize = device.GetDeviceCaps().maxPointSize;
  Restart();
  return gfx::S_OK;
}

void CParticleSystem::Restart() {
  emissionTimer = 0.0f;
  for (Particle& p : m_particles) p = Particle{startPosition, baseVelocity, 0.0f, false};
}

gfx::HRESULT CParticleSystem::RestoreDeviceObjects(gfx::Device& device) {
  m_vertexBuffer.reset();
  if (poolSize == 0 ||
      gfx::Failed(device.CreateVertexBuffer(std::size_t(poolSize) * sizeof(ParticleVertex),
                                            gfx::USAGE_WRITEONLY | gfx::USAGE_DYNAMIC | gfx::USAGE_POINTS,
                                            gfx::Pool::Default, &m_vertexBuffer)))
    return gfx::S_FALSE;
  m_texture.reset();
  std::filesystem::path path;
  if (gfx::Failed(fw::FindMediaFile(std::u16string_view(m_textureFile), &path))) {
    Log("Particle texture not found: " + mv::io::Utf16ToUtf8(m_textureFile) + ": particles are drawn white\n");
    return gfx::ERR_NOTFOUND;
  }
  const gfx::HRESULT hr = device.CreateTextureFromFile(path.string(), &m_texture);
  if (gfx::Failed(hr)) Log("Particle texture unreadable: " + path.string() + ": particles are drawn white\n");
  return hr;
}

void CParticleSystem::InvalidateDeviceObjects() {
  m_texture.reset();
  m_vertexBuffer.reset();
}

glm::vec3 CFountainParticleSys::RandomUnitVector() {
  const float z = m_random.Range(-1.0f, 1.0f);
  const float rho = std::sqrt(std::max(0.0f, 1.0f - z * z));
  const float theta = m_random.Range(-std::numbers::pi_v<float>, std::numbers::pi_v<float>);
  return {rho * std::cos(theta), rho * std::sin(theta), z};
}

void CFountainParticleSys::Update(float dt) {
  if (!active) return;
  if (emissionInterval > emissionTimer) emissionTimer += dt;
  if (emissionTimer > emissionInterval) {
    emissionTimer = 0.0f;
    std::uint32_t started = 0;
    for (Particle& p : m_particles) {
      if (started >= particlesPerBurst) break;
      if (p.alive) continue;
      p.alive = true;
      p.age = m_random.Range(0.0f, lifetime - 0.5f);
      p.position = startPosition;
      p.velocity = baseVelocity;
      if (spreadSpeed != 0.0f) p.velocity += RandomUnitVector() * spreadSpeed;
      ++started;
    }
  }
  for (Particle& p : m_particles) {
    if (p.age > lifetime) p.alive = false;
    if (p.alive) {
      p.age += dt;
      p.velocity += acceleration * dt;
      p.position += p.velocity * dt;
    }
  }
}
