// The effect-file parser on arbitrary bytes: parsing only, no GL.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "gfx/EffectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  gfx::EffectFileDecl decl;
  std::string error;
  if (gfx::ParseEffectFile(text, "fuzz.fxo", &decl, &error)) {
    // A parsed file is consistent: every default fills its parameter.
    for (const gfx::EffectParameterDecl& p : decl.parameters)
      if (p.words.size() != static_cast<std::size_t>(gfx::ParameterTypeWords(p.type) * (p.elements > 0 ? p.elements : 1)))
        __builtin_trap();
  } else if (error.rfind("fuzz.fxo:", 0) != 0) {
    __builtin_trap();  // every error names the file
  }
  return 0;
}
