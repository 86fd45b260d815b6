#pragma once
// The particle manager keeps the fountain (arriving with the renderer); it
// has no slide data: Write and Read leave the stream as it is.
#include <cstdint>

#include "core/MVObject.h"

class ParticleManager : public MVObject {
 public:
  std::int32_t GetType() const override { return MV_TYPE_PARTICLE; }
  std::ostream& Write(std::ostream& out) override { return out; }
  std::istream& Read(std::istream& in) override { return in; }
};

extern ParticleManager g_ParticleManager;
