#pragma once
// Particle systems: a fixed pool of particles emitted in bursts from a point
// with a base velocity and a random spherical spread, accelerated by a
// constant vector and aged until their lifetime ends. The fountain is the
// one kind the show uses.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "effects/CRuntimeRandom.h"
#include "gfx/Device.h"

struct Particle {
  glm::vec3 position{0.0f};
  glm::vec3 velocity{0.0f};
  float age = 0.0f;
  bool alive = false;
};

// One vertex a particle: position and a diffuse colour (0xAARRGGBB).
struct ParticleVertex {
  float position[3];
  std::uint32_t color;
};
static_assert(sizeof(ParticleVertex) == 16);

class CParticleSystem {
 public:
  CParticleSystem() = default;
  virtual ~CParticleSystem();
  CParticleSystem(const CParticleSystem&) = delete;
  CParticleSystem& operator=(const CParticleSystem&) = delete;

  // Allocates the pool, makes the device objects, reads the largest point
  // size and restarts. The device objects' failure is returned.
  virtual gfx::HRESULT Init(gfx::Device& device);
  virtual void Restart();
  virtual void Update(float dt) = 0;
  virtual void Render(gfx::Device& device) = 0;
  // The vertex buffer anew, then the texture: a buffer that cannot be made
  // returns 1 (a success) without the texture; otherwise the texture's load.
  virtual gfx::HRESULT RestoreDeviceObjects(gfx::Device& device);
  virtual void InvalidateDeviceObjects();
  virtual void ResetDevice(gfx::Device& device) { RestoreDeviceObjects(device); }

  // Kept to 64 characters.
  void SetTextureFile(std::u16string_view file);

  bool active = false;
  std::uint32_t poolSize = 0;
  float emissionTimer = 0.0f;
  float emissionInterval = 1.0f;
  std::uint32_t particlesPerBurst = 1;
  float maxPointSize = 0.0f;
  float lifetime = 1.0f;
  // Set by the fountain's creator; the drawing takes them as the point size
  // and the colour of the particles.
  float pointSize = 0.5f;
  glm::vec4 color{1.0f, 0.5f, 0.5f, 1.0f};
  glm::vec3 startPosition{0.0f};
  glm::vec3 baseVelocity{0.0f};
  glm::vec3 acceleration{0.0f};
  float spreadSpeed = 1.0f;

  const std::vector<Particle>& Particles() const { return m_particles; }
  const std::u16string& TextureFile() const { return m_textureFile; }
  const std::shared_ptr<gfx::VertexBuffer>& VertexBuffer() const { return m_vertexBuffer; }
  const std::shared_ptr<gfx::Texture>& Texture() const { return m_texture; }

 protected:
  std::vector<Particle> m_particles;
  std::u16string m_textureFile;
  std::shared_ptr<gfx::VertexBuffer> m_vertexBuffer;
  std::shared_ptr<gfx::Texture> m_texture;
};

class CFountainParticleSys final : public CParticleSystem {
 public:
  // The random sequence of the C runtime, unseeded unless a test seeds it.
  explicit CFountainParticleSys(std::uint32_t seed = 1) : m_random(seed) {}
  void Update(float dt) override;
  void Render(gfx::Device& device) override {}

 private:
  glm::vec3 RandomUnitVector();
  CRuntimeRandom m_random;
};
