#pragma once
// A whole set of the managers a show reaches, bound together as the program
// binds its own single objects, for the tools that read, check or render
// shows outside the player (and for tests). Sound goes through the offline
// backend; the device is the recording one, so nothing needs a window.
#include <memory>

#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SkyBoxManager.h"
#include "gfx/RecordingDevice.h"
#include "gui/DialogResourceManager.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

class StandaloneShow {
 public:
  StandaloneShow();
  ~StandaloneShow();
  StandaloneShow(const StandaloneShow&) = delete;
  StandaloneShow& operator=(const StandaloneShow&) = delete;

  ShowManagers Managers();
  // Builds every panel as the player does at start-up, so that the panel
  // preferences of a slide land where they land in the player.
  void BuildPanels();
  // Creates and resets the device objects on the recording device, as the
  // framework does when a window opens.
  void CreateDevice(int width = 1920, int height = 1080);

 private:
  struct Peers final : ScenePeers {
    StandaloneShow* show = nullptr;
    void SetSkyBoxSize(const float size[3]) override;
    void RefreshAnimationPanel() override;
    void PrepareMetaballs(CMesh&) override {}
    void CreateParticleSystem(CMesh&) override {}
  };
  struct Links final : AnimationLinks {
    StandaloneShow* show = nullptr;
    bool IsSequencePlaying() override;
    void RequestSlideAdvance() override;
    void ResetSlideRemaining() override;
    void SetMusicPosition(std::int32_t ms) override;
  };

  Peers m_peers;
  Links m_links;
  std::unique_ptr<gfx::RecordingDevice> m_device;

 public:
  // In the program's construction order.
  ValuesManager values;
  PostProcessManager postProcess;
  SkyBoxManager skyBox;
  DeviceManager device;
  SceneManager scene{m_peers};
  SoundManager sound{std::make_unique<mv::audio::SoundSystem>(mv::audio::SoundBackend::Offline)};
  CDXUTDialogResourceManager dialogResources;
  SequenceManager sequence{Managers()};
  AnimationManager animation{&scene, &m_links};

  gfx::RecordingDevice* Device() { return m_device.get(); }
};
