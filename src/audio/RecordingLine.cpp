#include "audio/RecordingLine.h"

#ifdef MV_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <cctype>

#include "io/Log.h"

namespace mv::audio {
namespace {

std::string Lower(const std::string& text) {
  std::string lower;
  for (char c : text) lower += char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool NameMatches(const std::string& name, RecordingLine line) {
  const std::string lower = Lower(name);
  return line == RecordingLine::Microphone ? lower.find("mic") != std::string::npos
                                           : lower.find("line") != std::string::npos;
}

RecordingLine Other(RecordingLine line) {
  return line == RecordingLine::Microphone ? RecordingLine::LineIn : RecordingLine::Microphone;
}

class NoMixer final : public CaptureMixer {
 public:
  std::vector<CaptureControl> Controls() override { return {}; }
  bool Write(const CaptureControl&) override { return false; }
};

#ifdef MV_HAVE_ALSA
// ALSA prints every failed probe of a missing card; silenced while probing.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The mixer is opened for each call: lines change a few times a show.
class AlsaMixer final : public CaptureMixer {
 public:
  std::vector<CaptureControl> Controls() override {
    std::vector<CaptureControl> controls;
    Session session;
    if (!session.mixer) return controls;
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(session.mixer); elem;
         elem = snd_mixer_elem_next(elem)) {
      if (!snd_mixer_selem_is_active(elem)) continue;
      CaptureControl c;
      c.name = snd_mixer_selem_get_name(elem);
      c.index = int(snd_mixer_selem_get_index(elem));
      if (snd_mixer_selem_is_enum_capture(elem)) {
        const int items = std::min(snd_mixer_selem_get_enum_items(elem), 64);
        for (int i = 0; i < items; ++i) {
          char name[128] = {};
          snd_mixer_selem_get_enum_item_name(elem, unsigned(i), sizeof name - 1, name);
          c.items.emplace_back(name);
        }
        for (int ch = 0; ch <= int(SND_MIXER_SCHN_LAST); ++ch) {
          unsigned item = 0;
          c.values.push_back(snd_mixer_selem_get_enum_item(elem, snd_mixer_selem_channel_id_t(ch), &item) < 0
                                 ? -1 : int(item));
        }
      } else if (snd_mixer_selem_has_capture_switch(elem)) {
        for (int ch = 0; ch <= int(SND_MIXER_SCHN_LAST); ++ch) {
          const auto id = snd_mixer_selem_channel_id_t(ch);
          int on = 0;
          c.values.push_back(snd_mixer_selem_has_capture_channel(elem, id) &&
                                     snd_mixer_selem_get_capture_switch(elem, id, &on) >= 0
                                 ? on : -1);
        }
      } else {
        continue;
      }
      while (!c.values.empty() && c.values.back() == -1) c.values.pop_back();
      if (!c.items.empty() || !c.values.empty()) controls.push_back(std::move(c));
    }
    return controls;
  }

  bool Write(const CaptureControl& c) override {
    Session session;
    if (!session.mixer) return false;
    snd_mixer_selem_id_t* sid = nullptr;
    snd_mixer_selem_id_alloca(&sid);
    snd_mixer_selem_id_set_name(sid, c.name.c_str());
    snd_mixer_selem_id_set_index(sid, unsigned(c.index));
    snd_mixer_elem_t* elem = snd_mixer_find_selem(session.mixer, sid);
    if (!elem) return false;
    bool ok = true;
    for (std::size_t ch = 0; ch < c.values.size(); ++ch) {
      if (c.values[ch] < 0) continue;
      const auto id = snd_mixer_selem_channel_id_t(ch);
      const int result = c.items.empty()
                             ? snd_mixer_selem_set_capture_switch(elem, id, c.values[ch])
                             : snd_mixer_selem_set_enum_item(elem, id, unsigned(c.values[ch]));
      ok = ok && result >= 0;
    }
    return ok;
  }

 private:
  struct Session {
    snd_mixer_t* mixer = nullptr;
    Session() {
      snd_lib_error_set_handler(&QuietAlsa);
      if (snd_mixer_open(&mixer, 0) < 0) {
        mixer = nullptr;
        return;
      }
      if (snd_mixer_attach(mixer, "default") < 0 ||
          snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        mixer = nullptr;
      }
    }
    ~Session() {
      if (mixer) snd_mixer_close(mixer);
      snd_lib_error_set_handler(nullptr);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
  };
};
#endif

}  // namespace

std::unique_ptr<CaptureMixer> OpenDefaultCaptureMixer() {
#ifdef MV_HAVE_ALSA
  return std::make_unique<AlsaMixer>();
#else
  return std::make_unique<NoMixer>();
#endif
}

RecordingLineSelector::RecordingLineSelector(std::unique_ptr<CaptureMixer> mixer)
    : m_mixer(std::move(mixer)) {}

RecordingLineSelector::~RecordingLineSelector() = default;

CaptureMixer& RecordingLineSelector::Mixer() {
  if (!m_mixer) m_mixer = OpenDefaultCaptureMixer();
  return *m_mixer;
}

void RecordingLineSelector::SetMixer(std::unique_ptr<CaptureMixer> mixer) {
  Restore();
  m_mixer = std::move(mixer);
}

bool RecordingLineSelector::Select(RecordingLine line) {
  std::vector<CaptureControl> controls = Mixer().Controls();
  // Only a card that has the wanted line gets anything changed: turning
  // the other line off alone would leave nothing to record.
  auto wantedItem = [line](const CaptureControl& c) {
    for (std::size_t i = 0; i < c.items.size(); ++i)
      if (NameMatches(c.items[i], line)) return int(i);
    return -1;
  };
  bool found = false;
  for (const CaptureControl& c : controls)
    found = found || (c.items.empty() ? NameMatches(c.name, line) : wantedItem(c) >= 0);
  if (!found) return false;
  auto save = [this](const CaptureControl& c) {
    for (const CaptureControl& s : m_saved)
      if (s.name == c.name && s.index == c.index) return;
    m_saved.push_back(c);
  };
  for (CaptureControl& c : controls) {
    int value = -1;
    if (!c.items.empty()) {
      value = wantedItem(c);
    } else if (NameMatches(c.name, line)) {
      value = 1;
    } else if (NameMatches(c.name, Other(line))) {
      value = 0;
    }
    if (value < 0) continue;
    save(c);
    for (int& v : c.values)
      if (v >= 0) v = value;
    if (!Mixer().Write(c)) Log("Sound: the mixer did not take its capture control \"" + c.name + "\"\n");
  }
  return true;
}

void RecordingLineSelector::Restore() {
  if (m_saved.empty() || !m_mixer) return;
  for (const CaptureControl& c : m_saved) m_mixer->Write(c);
  m_saved.clear();
}

}  // namespace mv::audio
