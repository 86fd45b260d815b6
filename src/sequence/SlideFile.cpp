// The slide file: seven tagged manager sections in a fixed order.
#include <fstream>

#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
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
  MVObject* const sections[] = {&g_SkyBoxManager, &g_DeviceManager, &g_PostProcessManager, &g_SceneManager,
                                &g_SoundManager,  &g_AnimationManager, &g_ValuesManager};
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
      {&g_SkyBoxManager, "done\nloading deviceManager..."},
      {&g_DeviceManager, "done\nloading postProcessManager..."},
      {&g_PostProcessManager, "done\nloading sceneManager..."},
      {&g_SceneManager, "done\nloading soundManager..."},
      {&g_SoundManager, "done\nloading animationManager..."},
      {&g_AnimationManager, "done\n"},
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
  if (tag != g_ValuesManager.GetType()) {
    Log("failed ! -- warning --\n");
    return true;
  }
  g_ValuesManager.Read(in);
  g_ValuesManager.LoadScripts("value.dat");
  Log("done\n");

  g_SkyBoxManager.SetCamera(g_SceneManager.GetCamera());
  m_bPlaying = true;
  m_bPlayLabelDirty = true;
  g_AnimationManager.SetPlaying(true);
  if (!m_bMusicStarted) {
    m_bMusicStarted = true;
    SetMusicPlaying(true);
  }
  return true;
}
