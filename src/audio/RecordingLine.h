#pragma once
// Choice of the sound card's recording line (microphone or line input)
// through the mixer of the default ALSA card, and putting the previous
// choice back at exit. On a machine with a sound server (PulseAudio,
// PipeWire) the "default" mixer has no capture-source controls: nothing
// switches there, and the sound manager records each line from a capture
// device of its own instead.
#include <memory>
#include <string>
#include <vector>

namespace mv::audio {

enum class RecordingLine { Microphone, LineIn };

// One capture control of a mixer: a list of inputs to record from (items
// given; values: the item chosen, per channel) or one input's capture
// switch (no items; values: 1 on, 0 off, per channel). -1: no such channel.
struct CaptureControl {
  std::string name;
  int index = 0;  // the mixer's index among controls of one name
  std::vector<std::string> items;
  std::vector<int> values;
};

// A card's capture controls, read and written one control at a time.
class CaptureMixer {
 public:
  virtual ~CaptureMixer() = default;
  // Empty when there is no mixer or it has no capture control.
  virtual std::vector<CaptureControl> Controls() = 0;
  virtual bool Write(const CaptureControl& control) = 0;
};

// The ALSA mixer named "default"; without ALSA, one with no controls.
std::unique_ptr<CaptureMixer> OpenDefaultCaptureMixer();

// Selects lines on one mixer and remembers what each control it touched
// held before, so that Restore can put it back.
class RecordingLineSelector {
 public:
  // Null: the default card's mixer.
  explicit RecordingLineSelector(std::unique_ptr<CaptureMixer> mixer = nullptr);
  ~RecordingLineSelector();
  RecordingLineSelector(const RecordingLineSelector&) = delete;
  RecordingLineSelector& operator=(const RecordingLineSelector&) = delete;

  // Makes `line` the capture source: the matching item of an input list,
  // or the line's capture switch on and the other line's off. True when the
  // mixer has such a control, that is, when the card can switch lines.
  bool Select(RecordingLine line);
  // Writes back every control as the first Select found it.
  void Restore();
  // Replaces the mixer (what was saved from the old one is put back first).
  void SetMixer(std::unique_ptr<CaptureMixer> mixer);

 private:
  CaptureMixer& Mixer();

  std::unique_ptr<CaptureMixer> m_mixer;
  std::vector<CaptureControl> m_saved;
};

}  // namespace mv::audio
