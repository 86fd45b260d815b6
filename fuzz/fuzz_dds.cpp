// The DDS reader over arbitrary bytes, and the DXT decoder over whatever it
// accepts.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "gfx/Dds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  auto img = gfx::ReadDds(std::span<const std::uint8_t>(data, size), error);
  if (!img) return 0;
  // Decoding the smaller levels keeps each run short.
  for (const auto& level : img->levels) {
    if (std::size_t(level.width) * std::size_t(level.height) > 256u * 256u) continue;
    if (gfx::IsCompressed(img->format)) gfx::DecodeDxt(img->format, level.width, level.height, level.data);
  }
  auto again = gfx::ReadDds(gfx::WriteDds(*img), error);
  if (!again) __builtin_trap();  // whatever is read must write back readable
  return 0;
}
