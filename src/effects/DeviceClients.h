#pragma once
// What the device manager reaches above its own layer: the managers it
// forwards the device callbacks to, and the shared objects it sets up. The
// program binds it to its globals (app/Bindings.cpp); tests bind their own.
#include "gfx/Device.h"

class CDXUTDialogResourceManager;
class RenderTargetChain;
namespace fw {
class CDirectionWidget;
class CModelViewerCamera;
}  // namespace fw

class DeviceClients {
 public:
  virtual ~DeviceClients() = default;

  // Shared objects; any may be null.
  virtual CDXUTDialogResourceManager* DialogResources() = 0;
  virtual fw::CDirectionWidget* LightWidget() = 0;
  virtual fw::CModelViewerCamera* SceneCamera() = 0;
  // The three chains of the post-process manager.
  virtual RenderTargetChain* Chains() = 0;

  // The post-process manager: effect loading, the per-effect reset with the
  // back-buffer size, lost notification of the loaded effects, release.
  virtual gfx::HRESULT CreatePostProcess(gfx::Device& device) = 0;
  virtual gfx::HRESULT ResetPostProcessEffect(int effect, int width, int height) = 0;
  virtual void LosePostProcess() = 0;
  virtual void ReleasePostProcess() = 0;

  virtual gfx::HRESULT CreateSkyBox(gfx::Device& device, int passCount) = 0;
  virtual gfx::HRESULT ResetSkyBox(gfx::Device& device) = 0;
  virtual void LoseSkyBox() = 0;
  virtual void DestroySkyBox() = 0;

  virtual gfx::HRESULT CreateParticles(gfx::Device& device) = 0;
  virtual gfx::HRESULT ResetParticles(gfx::Device& device) = 0;
  virtual void LoseParticles() = 0;
  virtual void DestroyParticles() = 0;

  virtual gfx::HRESULT CreateScene(gfx::Device& device) = 0;
  virtual void LoseScene() = 0;
  virtual void DestroyScene() = 0;

  // The sequence manager's device objects.
  virtual void DestroySequence() = 0;
};
