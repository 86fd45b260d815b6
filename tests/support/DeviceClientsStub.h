#pragma once
// The device manager's clients for tests: every call succeeds and does
// nothing, except that a sky box and a particle manager handed in follow
// the device as the program's do. Header only: it needs the effects layer,
// which the support library does not link.
#include "effects/DeviceClients.h"
#include "effects/ParticleManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"

namespace mvtest {

class StubDeviceClients : public DeviceClients {
 public:
  explicit StubDeviceClients(SkyBoxManager* sky = nullptr, ParticleManager* particles = nullptr)
      : sky_(sky), particles_(particles) {}

  CDXUTDialogResourceManager* DialogResources() override { return nullptr; }
  fw::CDirectionWidget* LightWidget() override { return nullptr; }
  fw::CModelViewerCamera* SceneCamera() override { return nullptr; }
  RenderTargetChain* Chains() override { return chains; }
  gfx::HRESULT CreatePostProcess(gfx::Device&) override { return gfx::S_OK; }
  gfx::HRESULT ResetPostProcessEffect(int, int, int) override { return gfx::S_OK; }
  void LosePostProcess() override {}
  void ReleasePostProcess() override {}
  gfx::HRESULT CreateSkyBox(gfx::Device& d, int passes) override {
    return sky_ ? sky_->OnCreateDevice(d, passes) : gfx::S_OK;
  }
  gfx::HRESULT ResetSkyBox(gfx::Device& d) override { return sky_ ? sky_->OnResetDevice(d) : gfx::S_OK; }
  void LoseSkyBox() override {
    if (sky_) sky_->OnLostDevice();
  }
  void DestroySkyBox() override {
    if (sky_) sky_->OnDestroyDevice();
  }
  gfx::HRESULT CreateParticles(gfx::Device& d) override {
    if (particles_) particles_->OnCreateDevice(d);
    return gfx::S_OK;
  }
  gfx::HRESULT ResetParticles(gfx::Device& d) override {
    if (particles_) particles_->OnResetDevice(d);
    return gfx::S_OK;
  }
  void LoseParticles() override {
    if (particles_) particles_->OnLostDevice();
  }
  void DestroyParticles() override {
    if (particles_) particles_->OnDestroyDevice();
  }
  gfx::HRESULT CreateScene(gfx::Device&) override { return gfx::S_OK; }
  void LoseScene() override {}
  void DestroyScene() override {}
  void DestroySequence() override {}

  RenderTargetChain chains[3];

 private:
  SkyBoxManager* sky_;
  ParticleManager* particles_;
};

}  // namespace mvtest
