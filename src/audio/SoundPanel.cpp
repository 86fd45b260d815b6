#include "audio/SoundManager.h"

void SoundManager::OnBandsAnalysed() {}

void SoundManager::UpdateSoundPanel() {
  ApplyMasterVolume();
  if (m_bPlayStateChanged) m_bPlayStateChanged = false;
}
