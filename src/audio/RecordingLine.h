#pragma once
// Choice of the sound card's recording line (microphone or line input)
// through the ALSA mixer. A no-op without ALSA or without a capture control.

namespace mv::audio {

enum class RecordingLine { Microphone, LineIn };

// Selects `line` as the capture source of the default card. Returns true
// when a mixer control was changed.
bool SelectRecordingLine(RecordingLine line);

}  // namespace mv::audio
