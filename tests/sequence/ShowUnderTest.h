#pragma once
// The managers a show reaches, made for the sequence tests and bound the way
// the program binds its own (a sound system that plays offline, no device).
#include <memory>

#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "audio/SoundSystem.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SkyBoxManager.h"
#include "gui/DialogResourceManager.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

namespace seqtest {

struct QuietPeers final : ScenePeers {
  SkyBoxManager* skyBox = nullptr;
  void SetSkyBoxSize(const float size[3]) override { skyBox->SetScale(glm::vec3(size[0], size[1], size[2])); }
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

struct ShowLinks final : AnimationLinks {
  SequenceManager* sequence = nullptr;
  SoundManager* sound = nullptr;
  bool IsSequencePlaying() override { return sequence->IsPlaying(); }
  void RequestSlideAdvance() override { sequence->RequestAdvance(); }
  void ResetSlideRemaining() override { sequence->ResetRemaining(); }
  void SetMusicPosition(std::int32_t ms) override { sound->SetStreamTime(ms); }
};

struct ShowUnderTest {
  ValuesManager values;
  PostProcessManager postProcess;
  SkyBoxManager skyBox;
  DeviceManager device;
  QuietPeers peers;
  SceneManager scene{peers};
  SoundManager sound{std::make_unique<mv::audio::SoundSystem>(mv::audio::SoundBackend::Offline)};
  ShowLinks links;
  CDXUTDialogResourceManager dialogResources;
  SequenceManager sequence{Managers()};
  AnimationManager animation{&scene, &links};

  ShowManagers Managers() {
    return {&skyBox, &device, &postProcess, &scene, &sound, &animation, &values, &dialogResources};
  }

  ShowUnderTest() {
    peers.skyBox = &skyBox;
    links.sequence = &sequence;
    links.sound = &sound;
  }
};

// One show for the whole test program, like the program's own.
inline ShowUnderTest& TheShow() {
  static ShowUnderTest show;
  return show;
}

}  // namespace seqtest
