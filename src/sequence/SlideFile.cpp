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
  const char* name;     // as the load report names it
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
  if (!in) {
    m_loadReport = SlideLoadReport{};
    m_loadReport.section = "file";
    m_loadReport.reason = "cannot be opened";
    return false;
  }
  return LoadSlideFrom(in);
}

namespace {

// Where the stream stands, even when it has failed; its state is kept, so
// the load goes on exactly as it would have.
std::int64_t Offset(std::istream& in) {
  const std::ios::iostate state = in.rdstate();
  in.clear();
  const auto at = static_cast<std::int64_t>(in.tellg());
  in.setstate(state);
  return at;
}

}  // namespace

bool SequenceManager::LoadSlideFrom(std::istream& in) {
  const Section sections[] = {
      {m_managers.skyBox, "done\nloading deviceManager...", "sky box"},
      {m_managers.device, "done\nloading postProcessManager...", "device"},
      {m_managers.postProcess, "done\nloading sceneManager...", "post-process"},
      {m_managers.scene, "done\nloading soundManager...", "scene"},
      {m_managers.sound, "done\nloading animationManager...", "sound"},
      {m_managers.animation, "done\n", "animation"},
  };
  m_loadReport = SlideLoadReport{};
  auto fail = [&](const char* section, std::int64_t offset, std::string reason) {
    m_loadReport.section = section;
    m_loadReport.offset = offset;
    m_loadReport.reason = std::move(reason);
    return false;
  };
  std::int64_t at = Offset(in);
  std::int32_t tag = -1;
  bool tagRead = mv::io::ReadI32(in, tag);
  Log("done\nloading skyBoxManager...");
  for (std::size_t i = 0; i < std::size(sections); ++i) {
    const std::int32_t expected = sections[i].manager->GetType();
    if (tag != expected) {
      Log("failed !\n");
      return fail(sections[i].name, at,
                  !tagRead ? std::string("file ends before this section")
                           : "tag " + std::to_string(tag) + " where " + std::to_string(expected) + " was expected");
    }
    sections[i].manager->Read(in);
    Log(sections[i].nextLog);
    // A section that fails its stream stops the load here: the next tag
    // could not be read anyway, and this names the section at fault.
    if (!in && i + 1 < std::size(sections)) {
      Log("failed !\n");
      in.clear();
      m_loadReport.stoppedAt = static_cast<std::int64_t>(in.tellg());
      const bool atEnd = in.peek() == EOF;
      return fail(sections[i].name, at, atEnd ? "section cut short" : "section damaged");
    }
    if (i + 1 < std::size(sections)) {
      at = Offset(in);
      tag = -1;
      tagRead = mv::io::ReadI32(in, tag);
    }
  }

  Log("done\nloading valuesManager...");
  at = Offset(in);
  tag = -1;
  tagRead = mv::io::ReadI32(in, tag);
  m_loadReport.loaded = true;
  if (tag != m_managers.values->GetType()) {
    // The scene is all there: the show plays it with the scripts it has.
    Log("failed ! -- warning --\n");
    m_loadReport.valuesMissing = true;
    m_loadReport.section = "values";
    m_loadReport.offset = at;
    m_loadReport.reason = !tagRead ? std::string("no values section")
                                   : "tag " + std::to_string(tag) + " where 11 was expected";
  } else {
    m_managers.values->Read(in);
    if (in) {
      m_managers.values->LoadScripts("value.dat");
      Log("done\n");
    } else {
      Log("failed ! -- warning --\n");
      m_loadReport.valuesMissing = true;
      m_loadReport.section = "values";
      m_loadReport.offset = at;
      m_loadReport.reason = "values section cut short";
    }
  }

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
