#pragma once
// A device without GL that records what reaches it: render targets, render
// states, draws, and for its effects the techniques chosen, the parameters
// set (name and value), passes begun and changes committed. Logic tests run
// on it and assert on the record.
#include <memory>
#include <string>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Effect.h"

namespace gfx {

struct RecordedEvent {
  enum class Kind {
    Clear,             // value = colour, index = flags, values = {z}
    BeginScene,
    EndScene,
    SetRenderTarget,   // index = slot, surface
    SetRenderState,    // name = state name, state, value
    SetVertexDeclaration,
    SetStreamSource,   // index = stream, value = stride
    SetIndices,
    Draw,              // primitive, value = primitive count; effect/technique/pass of the pass in progress
    CreateEffect,      // effect
    SetTechnique,      // effect, technique
    SetParameter,      // effect, name, values (floats; ints and bools converted), text, texture
    Begin,             // effect, technique, value = passes
    BeginPass,         // effect, technique, index = pass
    CommitChanges,     // effect, technique, index = pass
    EndPass,
    End,
    ApplyParameterBlock, // effect, value = the block's slot
    EffectLost,
    EffectReset,
    Reset,             // values = {width, height}
  };
  Kind kind{};
  std::string effect;     // the effect's source name
  std::string technique;  // current technique's name
  std::string name;       // parameter or render state name
  RenderState state{};
  std::uint32_t value = 0;
  int index = 0;
  std::vector<float> values;
  std::string text;
  // Identity only: the record holds no reference, so it never keeps a
  // resource alive (a released one may leave a dangling address here).
  const BaseTexture* texture = nullptr;
  const Surface* surface = nullptr;
  PrimitiveType primitive = PrimitiveType::TriangleList;
  std::vector<std::uint8_t> vertices;  // Draw: the vertices as given (UP) or stream 0's (not indexed)
  bool indexed = false;
  bool userMemory = false;
};

class RecordingDevice : public Device {
 public:
  // What the recording device reports and allows; tests change it to take
  // other paths (two render targets, no float targets, failing scenes).
  struct Settings {
    DeviceCaps caps;
    bool floatRenderTargets = true;
    bool cubeRenderTargets = true;
    bool failBeginScene = false;
    bool failTextureCreation = false;
    // Reset fails (ERR_INVALIDCALL) while default-pool resources live.
    bool strictReset = false;
    // Techniques named here are invalid (as if their shaders did not compile).
    std::vector<std::string> invalidTechniques;
  };

  virtual Settings& GetSettings() = 0;
  virtual const std::vector<RecordedEvent>& Events() const = 0;
  virtual void ClearEvents() = 0;
  // Turns recording of events off (benchmarks) or on.
  virtual void SetRecording(bool on) = 0;

  // Default-pool resources (render targets, dynamic buffers) created here and
  // still alive: the device-lost callback must bring this to 0, as a
  // Direct3D reset required.
  virtual int LiveDefaultPoolResources() const = 0;

  // Conveniences over Events().
  std::vector<const RecordedEvent*> Find(RecordedEvent::Kind kind, std::string_view name = {}) const;
  // The last value set for the parameter (any effect), or null.
  const RecordedEvent* LastParameter(std::string_view name) const;
  int CountDraws() const;
};

std::unique_ptr<RecordingDevice> CreateRecordingDevice(int width, int height);

}  // namespace gfx
