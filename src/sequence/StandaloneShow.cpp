#include "sequence/StandaloneShow.h"

#include "audio/SoundSystem.h"
#include "framework/Framework.h"

StandaloneShow::StandaloneShow() {
  m_peers.show = this;
  m_links.show = this;
}

StandaloneShow::~StandaloneShow() {
  if (m_device) {
    DeviceManager::OnLostDevice(&device);
    DeviceManager::OnDestroyDevice(&device);
  }
}

ShowManagers StandaloneShow::Managers() {
  return {&skyBox, &device, &postProcess, &scene, &sound, &animation, &values, &dialogResources};
}

void StandaloneShow::BuildPanels() {
  // As the player's start-up builds them, so the places and states saved
  // with a slide are the player's (the sky box's controls are the
  // program's own and stay out).
  sequence.BuildPanels();
  device.BuildPanel(&dialogResources, fw::kBackBufferWidth, fw::kBackBufferHeight);
  scene.SetPanelHosts(&postProcess, nullptr, &values);
  scene.CreatePanel(&dialogResources);
  sound.BuildPanel(&dialogResources);
  animation.BuildPanel(&dialogResources);
  values.BuildPanel(&dialogResources);
}

void StandaloneShow::CreateDevice(int width, int height) {
  if (m_device) return;
  m_device = gfx::CreateRecordingDevice(width, height);
  const gfx::BackBufferDesc bb = m_device->GetBackBufferDesc();
  DeviceManager::OnCreateDevice(m_device.get(), bb, &device);
  DeviceManager::OnResetDevice(m_device.get(), bb, &device);
}

void StandaloneShow::Peers::SetSkyBoxSize(const float size[3]) {
  show->skyBox.SetScale(glm::vec3(size[0], size[1], size[2]));
}
void StandaloneShow::Peers::RefreshAnimationPanel() { show->animation.UpdatePanel(); }

bool StandaloneShow::Links::IsSequencePlaying() { return show->sequence.IsPlaying(); }
void StandaloneShow::Links::RequestSlideAdvance() { show->sequence.RequestAdvance(); }
void StandaloneShow::Links::ResetSlideRemaining() { show->sequence.ResetRemaining(); }
void StandaloneShow::Links::SetMusicPosition(std::int32_t ms) { show->sound.SetStreamTime(ms); }
