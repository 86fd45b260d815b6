// The device callbacks, in the order the device-wide resources need: made
// in create (device-lifetime) and reset (default pool), released in lost and
// destroy, with the other managers told in between.
#include <cstdio>
#include <numbers>
#include <string>

#include "effects/DeviceManager.h"
#include "effects/QuadVertex.h"
#include "effects/RenderTargetChain.h"
#include "framework/Camera.h"
#include "framework/MediaSearch.h"
#include "framework/PanelPainter.h"
#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gfx/Font.h"
#include "gfx/Sprite.h"
#include "gui/DialogResourceManager.h"
#include "io/Log.h"

namespace {

constexpr const char* kSceneEffectFile = "fx\\reflectori.fxo";
constexpr int kPostProcessEffects = 25;
constexpr std::uint32_t kSceneClearColor = 0x000A1428;  // the frame's clear colour

const char* const kTechniqueNames[DeviceManager::TECH_COUNT] = {
    "RenderScene",    "RenderEnvMapScene", "RenderEnvMapSceneTrans", "RenderEnvMapSceneTextureFront",
    "RenderNoLight", "RenderSceneFast",   "RenderSceneFastNoTrans",
};

// What the device manager, the scene renderer and the sky box draw with.
const char* const kRequiredTechniques[] = {
    "RenderScene",     "RenderEnvMapScene",      "RenderEnvMapSceneTrans", "RenderEnvMapSceneTextureFront",
    "RenderNoLight",   "RenderSceneFast",        "RenderSceneFastNoTrans", "RenderSkyBox",
    "RenderSkyBox2D",
};

#define MV_RETURN_IF_FAILED(expr)          \
  do {                                     \
    const gfx::HRESULT hr_ = (expr);       \
    if (gfx::Failed(hr_)) return hr_;      \
  } while (0)

gfx::HRESULT CreateSolidTexture(gfx::Device& device, std::uint32_t texel, std::shared_ptr<gfx::Texture>* out) {
  MV_RETURN_IF_FAILED(device.CreateTexture(1, 1, 1, gfx::USAGE_NONE, gfx::Format::A8R8G8B8, gfx::Pool::Managed, out));
  gfx::LockedRect rect;
  MV_RETURN_IF_FAILED((*out)->LockRect(0, &rect, gfx::LOCK_NONE));
  *static_cast<std::uint32_t*>(rect.bits) = texel;
  return (*out)->UnlockRect(0);
}

}  // namespace

const char* DeviceManager::TechniqueName(int t) { return t >= 0 && t < TECH_COUNT ? kTechniqueNames[t] : ""; }

DeviceManager::DeviceManager() = default;
DeviceManager::DeviceManager(DeviceClients& clients, bool sceneEffectRequired)
    : m_pClients(&clients), m_bSceneEffectRequired(sceneEffectRequired) {}
DeviceManager::~DeviceManager() = default;

bool DeviceManager::IsDeviceAcceptable(const fw::DeviceCaps& caps, const char*, const char*, bool, void*) {
  return caps.postPixelShaderBlending && caps.cubeRenderTargets && caps.pixelShaderVersionMajor >= 2;
}

bool DeviceManager::ModifyDeviceSettings(fw::DeviceSettings* settings, const fw::DeviceCaps& caps, void*) {
  if (settings && (!caps.hardwareTransformAndLight || caps.vertexShaderVersionMajor < 1))
    settings->vertexProcessing = fw::VertexProcessing::Software;
  // The reference device here is Mesa's software rasteriser, chosen only by
  // "Toggle REF ": there is nothing to warn about.
  return true;
}

void DeviceManager::SetRenderTargetCount(int simultaneous) {
  if (simultaneous >= 3) {
    m_passCount = 1, m_targetsPerPass = 3;
  } else if (simultaneous == 2) {
    m_passCount = 2, m_targetsPerPass = 2;
  } else {
    m_passCount = 3, m_targetsPerPass = 1;
  }
}

fw::HRESULT DeviceManager::OnCreateDevice(gfx::Device* device, const gfx::BackBufferDesc& bb, void* userContext) {
  auto* self = static_cast<DeviceManager*>(userContext);
  if (!self || !device) return gfx::E_INVALIDARG;
  return self->CreateDeviceObjects(*device, bb);
}

gfx::HRESULT DeviceManager::CreateDeviceObjects(gfx::Device& device, const gfx::BackBufferDesc&) {
  DeviceClients* const c = m_pClients;
  if (c && c->DialogResources()) MV_RETURN_IF_FAILED(c->DialogResources()->OnCreateDevice());
  MV_RETURN_IF_FAILED(m_SettingsDialog.OnCreateDevice(&device));
  MV_RETURN_IF_FAILED(fw::CDirectionWidget::StaticOnCreateDevice(&device));

  SetRenderTargetCount(device.GetDeviceCaps().numSimultaneousRTs);
  m_sceneFormat = device.CheckRenderTargetFormat(gfx::Format::A16B16G16R16F, gfx::ResourceType::Texture)
                      ? gfx::Format::A16B16G16R16F
                      : gfx::Format::A8R8G8B8;

  // Without a font the overlay and layer texts are not drawn; the show
  // itself goes on.
  std::string error;
  m_fontA = gfx::Font::Create("Arial", 15, 700, false, &error);
  m_fontB = gfx::Font::Create("Arial", 15, 700, true, &error);
  if (!m_fontA || !m_fontB) Log("No font for the overlay: " + error + "\n");

  std::filesystem::path path;
  const gfx::HRESULT found = fw::FindMediaFile(kSceneEffectFile, &path);
  if (gfx::Failed(found)) {
    Log(std::string("Loading Fx : ") + kSceneEffectFile + "...Failed !\n");
    if (m_bSceneEffectRequired) {
      std::fprintf(stderr, "Loading Fx : %s...Failed !\n", kSceneEffectFile);
      return found;
    }
  } else {
    Log(std::string("Loading Fx : ") + kSceneEffectFile + "...");
    std::string errors;
    // The file's techniques get one pass per row of the render-target table.
    const gfx::EffectMacro macros[] = {{"SCENE_PASSES", std::to_string(m_passCount)},
                                       {"SCENE_TARGETS", std::to_string(m_targetsPerPass)}};
    const gfx::HRESULT hr = device.CreateEffectFromFile(path.string(), &m_sceneEffect, &errors, macros);
    if (gfx::Failed(hr)) {
      Log("Failed !\n" + errors + "\n");
      std::fprintf(stderr, "Loading Fx : %s...Failed !\n%s\n", kSceneEffectFile, errors.c_str());
      return hr;
    }
    // Loaded but unable to draw a technique the renderers use is a failure
    // too: the show would go on black.
    std::string broken;
    for (const char* name : kRequiredTechniques) {
      const gfx::TechniqueHandle t = m_sceneEffect->GetTechniqueByName(name);
      if (!t || !m_sceneEffect->IsTechniqueValid(t)) broken += std::string(broken.empty() ? "" : ", ") + name;
    }
    if (!broken.empty()) {
      Log("Failed !\n" + errors + "\n");
      std::fprintf(stderr, "Loading Fx : %s...Failed ! missing or invalid techniques: %s\n%s\n", kSceneEffectFile,
                   broken.c_str(), errors.c_str());
      m_sceneEffect.reset();
      return gfx::E_FAIL;
    }
    Log("done\n");
  }

  // The quad declaration's holder is ours; it is made here, just before the
  // post-process effects that draw with it.
  MV_RETURN_IF_FAILED(device.CreateVertexDeclaration(kQuadVertexElements, std::size(kQuadVertexElements), &m_quadDecl));
  if (c) MV_RETURN_IF_FAILED(c->CreatePostProcess(device));

  for (int t = 0; t < TECH_COUNT; ++t)
    m_techniques[t] = m_sceneEffect ? m_sceneEffect->GetTechniqueByName(kTechniqueNames[t]) : gfx::TechniqueHandle{};
  m_txScene = m_sceneEffect ? m_sceneEffect->GetParameterByName("g_txScene") : gfx::ParameterHandle{};

  if (c && c->LightWidget()) c->LightWidget()->SetRadius(2.8f);
  if (c) {
    MV_RETURN_IF_FAILED(c->CreateSkyBox(device, m_passCount));
    MV_RETURN_IF_FAILED(c->CreateParticles(device));
    MV_RETURN_IF_FAILED(c->CreateScene(device));
  }
  MV_RETURN_IF_FAILED(CreateSolidTexture(device, 0xFFFFFFFFu, &m_white));
  return CreateSolidTexture(device, 0x00000000u, &m_black);
}

fw::HRESULT DeviceManager::OnResetDevice(gfx::Device* device, const gfx::BackBufferDesc& bb, void* userContext) {
  auto* self = static_cast<DeviceManager*>(userContext);
  if (!self || !device) return gfx::E_INVALIDARG;
  return self->ResetDeviceObjects(*device, bb);
}

gfx::HRESULT DeviceManager::ResetDeviceObjects(gfx::Device& device, const gfx::BackBufferDesc& bb) {
  DeviceClients* const c = m_pClients;
  const int w = bb.width, h = bb.height;
  m_backBufferWidth = w, m_backBufferHeight = h;
  if (c && c->DialogResources()) MV_RETURN_IF_FAILED(c->DialogResources()->OnResetDevice());
  MV_RETURN_IF_FAILED(m_SettingsDialog.OnResetDevice());
  if (c && c->LightWidget()) MV_RETURN_IF_FAILED(c->LightWidget()->OnResetDevice(bb));

  // Fonts keep no device objects here; the effect does.
  if (m_sceneEffect) MV_RETURN_IF_FAILED(m_sceneEffect->OnResetDevice());
  for (int i = 0; i < kPostProcessEffects; ++i) {
    char line[48];
    std::snprintf(line, sizeof line, "Reset Device postprocess %d...", i);
    Log(line);
    if (c) MV_RETURN_IF_FAILED(c->ResetPostProcessEffect(i, w, h));
    Log("Done\n");
  }

  std::string error;
  m_sprite = gfx::Sprite::Create(device, &error);
  if (!m_sprite) return gfx::E_FAIL;
  m_panelPainter = std::make_unique<fw::PanelPainter>(device, *m_sprite);

  // The aspect follows the back buffer, never the view rectangle.
  const float aspect = static_cast<float>(w) / static_cast<float>(h);
  gfx::Mat4 proj = gfx::MatrixPerspectiveFovLH(std::numbers::pi_v<float> / 4.0f, aspect, 0.1f, 1000.0f);
  if (fw::CModelViewerCamera* camera = c ? c->SceneCamera() : nullptr) {
    camera->SetProjParams(std::numbers::pi_v<float> / 4.0f, aspect, 0.1f, 1000.0f);
    camera->SetWindow(w, h, 1.0f);
    proj = camera->GetProjMatrix();
  }
  if (m_sceneEffect) m_sceneEffect->SetMatrix("g_mProj", proj);

  if (c) {
    MV_RETURN_IF_FAILED(c->ResetParticles(device));
    MV_RETURN_IF_FAILED(c->ResetSkyBox(device));
  }

  RenderTargetChain* chains = c ? c->Chains() : nullptr;
  for (int i = 0; i < 3; ++i) {
    MV_RETURN_IF_FAILED(device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, m_sceneFormat, gfx::Pool::Default,
                                             &m_sceneTextures[i]));
    std::shared_ptr<gfx::Texture> a, b;
    MV_RETURN_IF_FAILED(device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8,
                                             gfx::Pool::Default, &a));
    MV_RETURN_IF_FAILED(device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8,
                                             gfx::Pool::Default, &b));
    if (chains) chains[i].Init(std::move(a), std::move(b));
  }

  // P[p][t]: one pass of three, two passes (two, then one), three of one.
  static constexpr int kLayout[3][3][3] = {
      {{0, 1, 2}, {-1, -1, -1}, {-1, -1, -1}},
      {{0, 1, -1}, {2, -1, -1}, {-1, -1, -1}},
      {{0, -1, -1}, {1, -1, -1}, {2, -1, -1}},
  };
  for (int p = 0; p < 3; ++p)
    for (int t = 0; t < 3; ++t) {
      const int s = kLayout[m_passCount - 1][p][t];
      m_table[p][t].reset();
      if (s >= 0) MV_RETURN_IF_FAILED(m_sceneTextures[s]->GetSurfaceLevel(0, &m_table[p][t]));
    }
  // New targets hold nothing defined: until the scene draws into them they
  // read as the frame's clear colour, and as "nothing drawn" (alpha 0) to
  // the effects that read normals and positions.
  return ClearSceneTargets(device);
}

gfx::HRESULT DeviceManager::ClearSceneTargets(gfx::Device& device) const {
  if (!m_table[0][0]) return gfx::S_OK;
  std::shared_ptr<gfx::Surface> back;
  device.GetRenderTarget(0, &back);
  gfx::HRESULT hr = gfx::S_OK;
  for (int p = 0; p < m_passCount && gfx::Succeeded(hr); ++p) {
    hr = BindPassTargets(device, p);
    if (gfx::Succeeded(hr)) hr = device.Clear(gfx::CLEAR_TARGET, kSceneClearColor, 1.0f, 0);
  }
  for (int t = 1; t < m_targetsPerPass; ++t) device.SetRenderTarget(t, nullptr);
  const gfx::HRESULT restored = device.SetRenderTarget(0, back);
  return gfx::Failed(hr) ? hr : restored;
}

gfx::HRESULT DeviceManager::BindPassTargets(gfx::Device& device, int pass) const {
  if (pass < 0 || pass >= m_passCount) return gfx::E_INVALIDARG;
  for (int t = 0; t < m_targetsPerPass; ++t) {
    const std::shared_ptr<gfx::Surface>& cell = m_table[pass][t];
    // Slot 0 never goes empty; a short row leaves the other slots unbound.
    if (t == 0 && !cell) return gfx::ERR_INVALIDCALL;
    MV_RETURN_IF_FAILED(device.SetRenderTarget(t, cell));
  }
  return gfx::S_OK;
}

void DeviceManager::OnLostDevice(void* userContext) {
  if (auto* self = static_cast<DeviceManager*>(userContext)) self->LoseDeviceObjects();
}

void DeviceManager::LoseDeviceObjects() {
  DeviceClients* const c = m_pClients;
  if (c && c->LightWidget()) c->LightWidget()->OnLostDevice();
  if (c && c->DialogResources()) c->DialogResources()->OnLostDevice();
  m_SettingsDialog.OnLostDevice();
  if (m_sceneEffect) m_sceneEffect->OnLostDevice();
  m_panelPainter.reset();
  m_sprite.reset();
  if (c) c->LosePostProcess();
  RenderTargetChain* chains = c ? c->Chains() : nullptr;
  for (int i = 0; i < 3; ++i) {
    m_sceneTextures[i].reset();
    if (chains) chains[i].Release();
  }
  if (c) {
    c->LoseParticles();
    c->LoseScene();
    c->LoseSkyBox();
  }
  for (auto& row : m_table)
    for (auto& cell : row) cell.reset();
}

void DeviceManager::OnDestroyDevice(void* userContext) {
  if (auto* self = static_cast<DeviceManager*>(userContext)) self->DestroyDeviceObjects();
}

void DeviceManager::DestroyDeviceObjects() {
  DeviceClients* const c = m_pClients;
  if (c && c->DialogResources()) c->DialogResources()->OnDestroyDevice();
  m_SettingsDialog.OnDestroyDevice();
  fw::CDirectionWidget::StaticOnDestroyDevice();
  m_sceneEffect.reset();
  for (auto& t : m_techniques) t = {};
  m_txScene = {};
  m_fontB.reset();
  m_fontA.reset();
  m_quadDecl.reset();
  if (c) {
    c->DestroyScene();
    c->DestroyParticles();
    c->DestroySkyBox();
    c->DestroySequence();
    c->ReleasePostProcess();
  }
  m_white.reset();
  m_black.reset();
}

gfx::HRESULT DeviceManager::DrawFinalImage(gfx::Device* device, bool postProcessed, float x, float y, float w,
                                           float h) {
  if (!device) return gfx::E_INVALIDARG;
  MV_RETURN_IF_FAILED(device->BeginScene());
  RenderTargetChain* chains = m_pClients ? m_pClients->Chains() : nullptr;
  const std::shared_ptr<gfx::Texture>& source =
      postProcessed && chains ? chains[0].GetPrevTarget() : m_sceneTextures[0];
  gfx::Effect* const fx = m_sceneEffect.get();
  if (!fx || !m_quadDecl) return gfx::S_OK;  // nothing to compose with

  const QuadVertex image[4] = {
      {x - 0.5f, y - 0.5f, 0.5f, 1.0f, 0, 0, 0, 0, 0, 0, 0},
      {x + w - 0.5f, y - 0.5f, 0.5f, 1.0f, 1, 0, 0, 0, 0, 0, 0},
      {x - 0.5f, y + h - 0.5f, 0.5f, 1.0f, 0, 1, 0, 0, 0, 0, 0},
      {x + w - 0.5f, y + h - 0.5f, 0.5f, 1.0f, 1, 1, 0, 0, 0, 0, 0},
  };
  // The bars cover whole pixel rows (the −0.5 of every quad edge) in front
  // of the image, so they show: b rows at the top and b at the bottom.
  const float b = static_cast<float>(static_cast<int>(h / 10.0f));
  auto bar = [&](QuadVertex* v, float top, float bottom) {
    const float l = x - 0.5f, r = x + w - 0.5f, t = top - 0.5f, btm = bottom - 0.5f;
    v[0] = {l, t, 0.5f, 1.0f, 0, 0, 0, 0, 0, 0, 0};
    v[1] = {r, t, 0.5f, 1.0f, 1, 0, 0, 0, 0, 0, 0};
    v[2] = {l, btm, 0.5f, 1.0f, 0, 1, 0, 0, 0, 0, 0};
    v[3] = {r, btm, 0.5f, 1.0f, 1, 1, 0, 0, 0, 0, 0};
  };
  QuadVertex topBar[4], bottomBar[4];
  bar(topBar, y, y + b);
  bar(bottomBar, y + h - b, y + h);

  device->SetVertexDeclaration(m_quadDecl);
  fx->SetTechnique(m_techniques[TECH_NO_LIGHT]);
  fx->SetTexture(m_txScene, source);
  unsigned passes = 0;
  MV_RETURN_IF_FAILED(fx->Begin(&passes, 0));
  for (unsigned p = 0; p < passes; ++p) {
    fx->BeginPass(p);
    device->DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, image, sizeof(QuadVertex));
    fx->EndPass();
  }
  fx->SetTexture(m_txScene, m_black);
  for (unsigned p = 0; p < passes; ++p) {
    fx->BeginPass(p);
    device->DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, topBar, sizeof(QuadVertex));
    device->DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, bottomBar, sizeof(QuadVertex));
    fx->EndPass();
  }
  return fx->End();
}
