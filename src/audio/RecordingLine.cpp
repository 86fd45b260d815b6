#include "audio/RecordingLine.h"

#ifdef MV_HAVE_ALSA
#include <alsa/asoundlib.h>

#include <cctype>
#include <string>
#endif

namespace mv::audio {

#ifdef MV_HAVE_ALSA
namespace {

bool NameMatches(const char* name, RecordingLine line) {
  std::string lower;
  for (const char* p = name; p && *p; ++p)
    lower += char(std::tolower(static_cast<unsigned char>(*p)));
  return line == RecordingLine::Microphone ? lower.find("mic") != std::string::npos
                                           : lower.find("line") != std::string::npos;
}

// Silences ALSA's own error printing while probing cards that may be absent.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool SelectRecordingLine(RecordingLine line) {
  snd_lib_error_set_handler(&QuietAlsa);
  snd_mixer_t* mixer = nullptr;
  if (snd_mixer_open(&mixer, 0) < 0) return false;
  bool changed = false;
  if (snd_mixer_attach(mixer, "default") >= 0 &&
      snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 && snd_mixer_load(mixer) >= 0) {
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(mixer); elem;
         elem = snd_mixer_elem_next(elem)) {
      if (!snd_mixer_selem_is_active(elem)) continue;
      // A capture-source list: select the wanted item, which deselects the
      // others (the list is single-select).
      if (snd_mixer_selem_is_enum_capture(elem)) {
        int items = snd_mixer_selem_get_enum_items(elem);
        for (int i = 0; i < items && i < 64; ++i) {
          char name[128] = {};
          if (snd_mixer_selem_get_enum_item_name(elem, unsigned(i), sizeof name - 1, name) < 0)
            continue;
          if (NameMatches(name, line)) {
            for (int ch = 0; ch <= int(SND_MIXER_SCHN_LAST); ++ch)
              snd_mixer_selem_set_enum_item(elem, snd_mixer_selem_channel_id_t(ch), unsigned(i));
            changed = true;
            break;
          }
        }
        continue;
      }
      // Cards with a capture switch per input: switch the wanted one on.
      if (snd_mixer_selem_has_capture_switch(elem) &&
          NameMatches(snd_mixer_selem_get_name(elem), line)) {
        snd_mixer_selem_set_capture_switch_all(elem, 1);
        changed = true;
      }
    }
  }
  snd_mixer_close(mixer);
  snd_lib_error_set_handler(nullptr);
  return changed;
}

#else

bool SelectRecordingLine(RecordingLine) { return false; }

#endif

}  // namespace mv::audio
