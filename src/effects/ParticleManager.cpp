#include "effects/ParticleManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "effects/DeviceManager.h"
#include "framework/MediaSearch.h"
#include "io/Log.h"
#include "model/SceneObjects.h"

namespace {

constexpr gfx::VertexElement kParticleDeclaration[] = {
    {0, 0, gfx::VertexType::Float3, gfx::VertexUsage::Position, 0},
    {0, 12, gfx::VertexType::Color, gfx::VertexUsage::Color, 0},
};

std::uint32_t PackColor(const glm::vec4& c) {
  auto byte = [](float f) { return static_cast<std::uint32_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); };
  return byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

}  // namespace

gfx::HRESULT ParticleManager::OnCreateDevice(gfx::Device& device) {
  m_system.reset();
  m_pOwner = nullptr;
  m_pCandidate = nullptr;
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
  if (m_pDevice != &device || !m_pDecl) {
    m_pDevice = &device;
    CreateDrawingObjects(device);
  }
  return hr;
}

gfx::HRESULT ParticleManager::CreateDrawingObjects(gfx::Device& device) {
  m_pEffect.reset();
  m_hTechnique = {}, m_hWorldViewProj = {}, m_hTexture = {};
  const std::uint8_t white[4] = {255, 255, 255, 255};
  gfx::HRESULT hr = device.CreateTextureFromRGBA(1, 1, white, &m_pWhite);
  if (gfx::Failed(hr)) return hr;
  hr = device.CreateVertexDeclaration(kParticleDeclaration, std::size(kParticleDeclaration), &m_pDecl);
  if (gfx::Failed(hr)) return hr;
  // Without the effect the fountain still runs; it is only not seen.
  std::filesystem::path path;
  if (gfx::Failed(fw::FindMediaFile(kEffectFile, &path))) {
    Log(std::string("Loading Fx : ") + kEffectFile + "...Failed !\n");
    return gfx::S_OK;
  }
  std::string errors;
  if (gfx::Failed(device.CreateEffectFromFile(path.string(), &m_pEffect, &errors))) {
    Log(std::string("Loading Fx : ") + kEffectFile + "...Failed !\n" + errors + "\n");
    m_pEffect.reset();
    return gfx::S_OK;
  }
  m_hTechnique = m_pEffect->GetTechniqueByName(kTechnique);
  m_hWorldViewProj = m_pEffect->GetParameterByName("g_mWorldViewProj");
  m_hTexture = m_pEffect->GetParameterByName("g_txParticle");
  return gfx::S_OK;
}

gfx::HRESULT ParticleManager::OnParticleObjectLoaded(CMesh& object) {
  if (!m_pDevice) return gfx::S_OK;
  const gfx::HRESULT hr = OnCreateDevice(*m_pDevice);
  m_pOwner = &object;
  return hr;
}

gfx::HRESULT ParticleManager::OnResetDevice(gfx::Device& device) {
  if (m_pEffect) m_pEffect->OnResetDevice();
  return m_system ? m_system->RestoreDeviceObjects(device) : gfx::S_OK;
}

void ParticleManager::OnLostDevice() {
  if (m_pEffect) m_pEffect->OnLostDevice();
  if (m_system) m_system->InvalidateDeviceObjects();
}

void ParticleManager::OnDestroyDevice() {
  m_system.reset();
  m_pEffect.reset();
  m_hTechnique = {}, m_hWorldViewProj = {}, m_hTexture = {};
  m_pDecl.reset();
  m_pWhite.reset();
  m_pDevice = nullptr;
  m_pOwner = nullptr;
  m_pCandidate = nullptr;
}

void ParticleManager::Render(gfx::Device& device, CMesh& object, const gfx::Mat4& world, const gfx::Mat4& view,
                             const gfx::Mat4& proj, float elapsed) {
  CParticleSystem* const s = m_system.get();
  if (!s) return;
  if (!m_pOwner) m_pOwner = &object;
  if (&object != m_pOwner) {
    // Drawn twice with no drawing of the owner between: the owner is gone.
    if (m_pCandidate != &object) {
      if (!m_pCandidate) m_pCandidate = &object;
      return;
    }
    m_pOwner = &object;
  }
  m_pCandidate = nullptr;
  s->Update(elapsed);

  const std::shared_ptr<gfx::VertexBuffer>& vb = s->VertexBuffer();
  if (!m_pEffect || !m_pDecl || !vb) return;
  void* data = nullptr;
  if (gfx::Failed(vb->Lock(0, 0, &data, gfx::LOCK_DISCARD))) return;
  const std::uint32_t color = PackColor(s->color);
  std::uint32_t live = 0;
  const std::size_t room = vb->GetSize() / sizeof(ParticleVertex);
  for (const Particle& p : s->Particles()) {
    if (!p.alive || live >= room) continue;
    const ParticleVertex v{{p.position.x, p.position.y, p.position.z}, color};
    std::memcpy(static_cast<std::uint8_t*>(data) + std::size_t{live} * sizeof v, &v, sizeof v);
    ++live;
  }
  vb->Unlock();
  if (live == 0) return;

  // The point size is a size in the scene: in pixels it shrinks with the
  // distance of the fountain from the camera.
  const gfx::Vec3 origin(gfx::MatrixElement(world, 4, 1), gfx::MatrixElement(world, 4, 2),
                         gfx::MatrixElement(world, 4, 3));
  const float depth = std::max(gfx::Vec3TransformCoord(origin, view).z, 0.1f);
  const float height = static_cast<float>(device.GetBackBufferDesc().height);
  const float largest = s->maxPointSize > 0.0f ? s->maxPointSize : device.GetDeviceCaps().maxPointSize;
  const float pixels = s->pointSize * gfx::MatrixElement(proj, 2, 2) * 0.5f * height / depth;
  m_lastPointSize = std::clamp(pixels, 1.0f, std::max(1.0f, largest));

  if (m_pDeviceManager) m_pDeviceManager->BindPassTargets(device, 0);
  const std::uint32_t previousSize = device.GetRenderState(gfx::RenderState::PointSize);
  device.SetRenderState(gfx::RenderState::PointSize, gfx::FloatBits(m_lastPointSize));
  device.SetVertexDeclaration(m_pDecl);
  device.SetStreamSource(0, vb, 0, sizeof(ParticleVertex));
  gfx::Effect& fx = *m_pEffect;
  fx.SetTechnique(m_hTechnique);
  fx.SetMatrix(m_hWorldViewProj, gfx::MatrixMultiply(gfx::MatrixMultiply(world, view), proj));
  if (s->Texture())
    fx.SetTexture(m_hTexture, s->Texture());
  else
    fx.SetTexture(m_hTexture, m_pWhite);
  unsigned passes = 0;
  if (gfx::Succeeded(fx.Begin(&passes, 0))) {
    for (unsigned p = 0; p < passes; ++p) {
      fx.BeginPass(p);
      device.DrawPrimitive(gfx::PrimitiveType::PointList, 0, live);
      fx.EndPass();
    }
    fx.End();
  }
  device.SetRenderState(gfx::RenderState::PointSize, previousSize);
}
