#pragma once
// The four values that value scripts read. `BassValue` is the sound
// manager's band level (written by the spectrum analysis each frame); the
// other three are derived from it once per frame by the values manager.
struct ValueSources {
  float Sequencer = 0.0f;      // seconds accumulated over frames
  float BassSequencer = 0.0f;  // integral of PeakValue while it decays
  float PeakValue = 0.0f;      // decaying follower of BassValue
  float BassValue = 0.0f;      // band level of the selected spectrum bands
};

extern ValueSources g_ValueSources;
