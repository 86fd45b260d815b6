// The slide file: seven tagged manager sections in a fixed order.
#include <fstream>

#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SkyBoxManager.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Paths.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

namespace {

struct Section {
  MVObject* manager;
  const char* nextLog;  // logged once this section has been read
};

}  // namespace

bool SequenceManager::SaveSlideTo(std::ostream& out) {
  MVObject* const sections[] = {m_managers.skyBox, m_managers.device, m_managers.postProcess, m_managers.scene,
                                m_managers.sound,  m_managers.animation, m_managers.values};
  for (MVObject* m : sections) {
    mv::io::WriteI32(out, m->GetType());
    if (!mv::io::Good(out)) return false;
    m->Write(out);
  }
  return true;
}

bool SequenceManager::SaveSlide(std::u16string_view path) {
  // A stored path decides where "Save" writes: keep it inside the show.
  if (!mv::io::StaysInWorkingFolder(path)) {
    Log("Slide path leaves the working folder: not saved\n");
    return false;
  }
  // The old slide stays in place until the new one is complete.
  return mv::io::WriteFileAtomically(mv::io::NativePath(path), [this](std::ostream& out) {
    return SaveSlideTo(out) && mv::io::Good(out);
  });
}

bool SequenceManager::LoadSlide(std::u16string_view path) {
  std::ifstream in(mv::io::NativePath(path), std::ios::binary);
  if (!in) return false;
  return LoadSlideFrom(in);
}

bool SequenceManager::LoadSlideFrom(std::istream& in) {
  const Section sections[] = {
      {m_managers.skyBox, "done\nloading deviceManager..."},
      {m_managers.device, "done\nloading postProcessManager..."},
      {m_managers.postProcess, "done\nloading sceneManager..."},
      {m_managers.scene, "done\nloading soundManager..."},
      {m_managers.sound, "done\nloading animationManager..."},
      {m_managers.animation, "done\n"},
  };
  std::int32_t tag = -1;
  mv::io::ReadI32(in, tag);
  Log("done\nloading skyBoxManager...");
  for (std::size_t i = 0; i < std::size(sections); ++i) {
    if (tag != sections[i].manager->GetType()) {
      Log("failed !\n");
      return false;
    }
    sections[i].manager->Read(in);
    Log(sections[i].nextLog);
    if (i + 1 < std::size(sections)) {
      tag = -1;
      mv::io::ReadI32(in, tag);
    }
  }

  Log("done\nloading valuesManager...");
  tag = -1;
  mv::io::ReadI32(in, tag);
  if (tag != m_managers.values->GetType()) {
    Log("failed ! -- warning --\n");
    return true;
  }
  m_managers.values->Read(in);
  m_managers.values->LoadScripts("value.dat");
  Log("done\n");

  m_managers.skyBox->SetCamera(m_managers.scene->GetCamera());
  m_bPlaying = true;
  m_bPlayLabelDirty = true;
  m_managers.animation->SetPlaying(true);
  if (!m_bMusicStarted) {
    m_bMusicStarted = true;
    SetMusicPlaying(true);
  }
  return true;
}
