#include <filesystem>

#include "gfx/Device.h"

namespace gfx {

// Image decoding lands with the image loaders; until then a present file is
// reported as undecodable.
HRESULT Device::CreateTextureFromFile(const std::string& path, std::shared_ptr<Texture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return ERR_NOTFOUND;
  return E_FAIL;
}

HRESULT Device::CreateCubeTextureFromFile(const std::string& path, std::shared_ptr<CubeTexture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return ERR_NOTFOUND;
  return E_FAIL;
}

}  // namespace gfx
