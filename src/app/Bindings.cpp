#include "app/Bindings.h"

#include "animation/AnimationManager.h"
#include "app/App.h"
#include "audio/SoundManager.h"
#include "effects/DeviceClients.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"
#include "framework/Framework.h"
#include "gui/DialogResourceManager.h"
#include "io/Log.h"
#include "scene/AnimatedMesh.h"
#include "scene/MeshContent.h"
#include "scene/SceneManager.h"
#include "scene/ScenePanel.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

namespace {

class ProgramPeers final : public ScenePeers {
 public:
  void SetSkyBoxSize(const float size[3]) override { g_SkyBoxManager.SetScale(glm::vec3(size[0], size[1], size[2])); }
  void RefreshAnimationPanel() override { g_AnimationManager.UpdatePanel(); }
  void PrepareMetaballs(CMesh&) override {
    g_MetaballField = MetaballField();
    g_MetaballField.SetGridSize(64);
  }
  void CreateParticleSystem(CMesh& object) override { g_ParticleManager.OnParticleObjectLoaded(object); }
  MetaballField* Metaballs() override { return &g_MetaballField; }
  void RenderParticles(gfx::Device& device, CMesh& object, const gfx::Mat4& world, const gfx::Mat4& view,
                       const gfx::Mat4& proj, float elapsed) override {
    g_ParticleManager.Render(device, object, world, view, proj, elapsed);
  }
  std::shared_ptr<gfx::BaseTexture> EnvironmentMap() override { return g_SkyBoxManager.GetEnvironmentMap(); }
};

class ProgramSkyBoxScene final : public SkyBoxScene {
 public:
  CSkyBoxObject* SkyBoxObject() override { return g_SceneManager.GetSkyBoxObject(); }
  CSceneObject* SelectedObject() override { return g_SceneManager.GetSelectedObject(); }
  std::int32_t SelectedValueScript() override { return g_ValuesManager.GetCurrentScript(); }
  void RefreshScenePanel() override { g_SceneManager.RefreshPanel(); }
};

// The sky box and the particles draw with the device manager's shared
// resources; the sky box reads and edits the scene. Bound with the
// callbacks and again when the device is made, for programs that drive the
// device manager without the framework.
void BindSkyBoxAndParticles() {
  static ProgramSkyBoxScene skyBoxScene;
  g_SkyBoxManager.SetDeviceManager(&g_DeviceManager);
  g_SkyBoxManager.SetScene(&skyBoxScene);
  g_ParticleManager.SetDeviceManager(&g_DeviceManager);
}

class SkyBoxPanelControls final : public SceneSkyBoxControls {
 public:
  void BuildControls(CDXUTDialog* dialog) override { g_SkyBoxManager.BuildControls(dialog); }
  void OnControlEvent(UINT event, int controlId, CDXUTControl* control) override {
    SkyBoxManager::OnGuiEvent(event, controlId, control, &g_SkyBoxManager);
  }
  void RefreshControls() override { g_SkyBoxManager.RefreshControls(); }
};

class ProgramLinks final : public AnimationLinks {
 public:
  bool IsSequencePlaying() override { return g_SequenceManager.IsPlaying(); }
  void RequestSlideAdvance() override { g_SequenceManager.RequestAdvance(); }
  void ResetSlideRemaining() override { g_SequenceManager.ResetRemaining(); }
  void SetMusicPosition(std::int32_t milliseconds) override { g_SoundManager.SetStreamTime(milliseconds); }
};

// The managers the device manager forwards to. Those whose device work has
// not arrived yet answer success and hold nothing. The post-process effects
// and the particle texture are media of the show: one that is missing is
// logged and the show goes on without it rather than without a picture.
class ProgramDevicePeers final : public DeviceClients {
 public:
  CDXUTDialogResourceManager* DialogResources() override { return &g_DialogResourceManager; }
  fw::CDirectionWidget* LightWidget() override { return &g_SceneManager.GetLightWidget(); }
  fw::CModelViewerCamera* SceneCamera() override { return g_SceneManager.GetCamera(); }
  RenderTargetChain* Chains() override { return g_RenderTargetChain; }

  gfx::HRESULT CreatePostProcess(gfx::Device& device) override {
    if (gfx::Failed(g_PostProcessManager.OnCreateDevice(device)))
      Log("Post-processing is off: an effect file could not be loaded\n");
    return gfx::S_OK;
  }
  gfx::HRESULT ResetPostProcessEffect(int effect, int width, int height) override {
    return g_PostProcessManager.ResetEffect(effect, width, height);
  }
  void LosePostProcess() override { g_PostProcessManager.OnLostDevice(); }
  void ReleasePostProcess() override { g_PostProcessManager.ReleaseEffects(); }

  gfx::HRESULT CreateSkyBox(gfx::Device& device, int passes) override {
    BindSkyBoxAndParticles();
    return g_SkyBoxManager.OnCreateDevice(device, passes);
  }
  gfx::HRESULT ResetSkyBox(gfx::Device& device) override { return g_SkyBoxManager.OnResetDevice(device); }
  void LoseSkyBox() override { g_SkyBoxManager.OnLostDevice(); }
  void DestroySkyBox() override { g_SkyBoxManager.OnDestroyDevice(); }

  gfx::HRESULT CreateParticles(gfx::Device& device) override {
    g_ParticleManager.OnCreateDevice(device);
    return gfx::S_OK;
  }
  gfx::HRESULT ResetParticles(gfx::Device& device) override {
    g_ParticleManager.OnResetDevice(device);
    return gfx::S_OK;
  }
  void LoseParticles() override { g_ParticleManager.OnLostDevice(); }
  void DestroyParticles() override { g_ParticleManager.OnDestroyDevice(); }

  gfx::HRESULT CreateScene(gfx::Device& device) override {
    // Meshes load on this device, with the scene effect and its white texture.
    SetMeshLoadContext(
        MeshLoadContext{&device, g_DeviceManager.SceneEffect(), g_DeviceManager.GetWhiteTexture(), nullptr});
    g_SceneManager.SetRenderResources(&g_DeviceManager);
    g_SceneManager.OnCreateDevice();
    return gfx::S_OK;
  }
  void LoseScene() override {}
  void DestroyScene() override {
    g_SceneManager.OnDestroyDevice();
    g_SceneManager.SetRenderResources(nullptr);
    SetMeshLoadContext(MeshLoadContext{});
  }

  void DestroySequence() override {}
};

}  // namespace

DeviceClients& ProgramDeviceClients() {
  static ProgramDevicePeers clients;
  return clients;
}

SceneSkyBoxControls& ProgramSkyBoxControls() {
  static SkyBoxPanelControls controls;
  return controls;
}

ScenePeers& ProgramScenePeers() {
  static ProgramPeers peers;
  return peers;
}

AnimationLinks& ProgramAnimationLinks() {
  static ProgramLinks links;
  return links;
}

const ShowManagers& ProgramShowManagers() {
  static const ShowManagers managers{&g_SkyBoxManager, &g_DeviceManager, &g_PostProcessManager,
                                     &g_SceneManager,  &g_SoundManager,  &g_AnimationManager,
                                     &g_ValuesManager, &g_DialogResourceManager};
  return managers;
}

void BindFrameworkCallbacks() {
  BindSkyBoxAndParticles();
  void* const device = &g_DeviceManager;
  fw::SetCallbackDeviceAcceptable(&DeviceManager::IsDeviceAcceptable, device);
  fw::SetCallbackDeviceCreated(&DeviceManager::OnCreateDevice, device);
  fw::SetCallbackDeviceReset(&DeviceManager::OnResetDevice, device);
  fw::SetCallbackFrameRender(&OnFrameRender);
  fw::SetCallbackDeviceLost(&DeviceManager::OnLostDevice, device);
  fw::SetCallbackDeviceDestroyed(&DeviceManager::OnDestroyDevice, device);
  fw::SetCallbackMsgProc(&OnMsgProc);
  fw::SetCallbackKeyboard(&OnKeyboard);
  fw::SetCallbackFrameMove(&OnFrameMove);
  fw::SetCallbackModifyDeviceSettings(&DeviceManager::ModifyDeviceSettings, device);
}
