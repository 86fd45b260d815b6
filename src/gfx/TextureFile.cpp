// Textures from image files, through the image loaders (DDS, TGA, PNG, JPG,
// BMP). Compressed images stay compressed where the device has S3TC and are
// decoded otherwise.
#include <cstring>
#include <filesystem>

#include "gfx/Device.h"
#include "gfx/Image.h"
#include "gfx/Resources.h"

namespace gfx {

namespace {

bool DeviceFormat(ImageFormat f, Format* out) {
  switch (f) {
    case ImageFormat::RGBA8: *out = Format::A8R8G8B8; return true;
    case ImageFormat::RGBA16F: *out = Format::A16B16G16R16F; return true;
    case ImageFormat::RGBA32F: *out = Format::A32B32G32R32F; return true;
    case ImageFormat::DXT1: *out = Format::DXT1; return true;
    case ImageFormat::DXT3: *out = Format::DXT3; return true;
    case ImageFormat::DXT5: *out = Format::DXT5; return true;
  }
  return false;
}

// Copies one level into a locked rectangle; RGBA8 becomes 0xAARRGGBB words.
void CopyLevel(const ImageLevel& level, ImageFormat f, const LockedRect& lr, std::size_t rowBytes, int rows) {
  auto* dst = static_cast<std::uint8_t*>(lr.bits);
  const std::uint8_t* src = level.data.data();
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* d = dst + static_cast<std::size_t>(y) * static_cast<std::size_t>(lr.pitch);
    const std::uint8_t* s = src + static_cast<std::size_t>(y) * rowBytes;
    if (f == ImageFormat::RGBA8) {
      for (std::size_t x = 0; x + 3 < rowBytes; x += 4) {
        d[x] = s[x + 2];
        d[x + 1] = s[x + 1];
        d[x + 2] = s[x];
        d[x + 3] = s[x + 3];
      }
    } else {
      std::memcpy(d, s, rowBytes);
    }
  }
}

std::optional<Image> Load(Device& device, const std::string& path, HRESULT* hr) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    *hr = ERR_NOTFOUND;
    return std::nullopt;
  }
  std::string error;
  std::optional<Image> img = LoadImageFromFile(path, error);
  if (!img) {
    *hr = E_FAIL;
    return std::nullopt;
  }
  if (IsCompressed(img->format) && !device.GetDeviceCaps().textureCompressionS3TC) img = DecompressImage(*img);
  *hr = S_OK;
  return img;
}

}  // namespace

HRESULT Device::CreateTextureFromFile(const std::string& path, std::shared_ptr<Texture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  HRESULT hr;
  std::optional<Image> img = Load(*this, path, &hr);
  if (!img) return hr;
  Format fmt;
  if (!DeviceFormat(img->format, &fmt)) return E_FAIL;
  std::shared_ptr<Texture> tex;
  hr = CreateTexture(img->width, img->height, img->mipLevels, USAGE_NONE, fmt, Pool::Managed, &tex);
  if (Failed(hr)) return hr;
  // A cube file gives its first face, as a plain texture would read it.
  for (int l = 0; l < img->mipLevels && l < tex->GetLevelCount(); ++l) {
    const ImageLevel& level = img->Level(0, l);
    LockedRect lr;
    if (Failed(tex->LockRect(l, &lr, 0))) return E_FAIL;
    CopyLevel(level, img->format, lr, FormatPitch(fmt, level.width), FormatRows(fmt, level.height));
    tex->UnlockRect(l);
  }
  *out = std::move(tex);
  return S_OK;
}

HRESULT Device::CreateCubeTextureFromFile(const std::string& path, std::shared_ptr<CubeTexture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  HRESULT hr;
  std::optional<Image> img = Load(*this, path, &hr);
  if (!img) return hr;
  Format fmt;
  if (!img->IsCube() || img->width != img->height || !DeviceFormat(img->format, &fmt)) return E_FAIL;
  std::shared_ptr<CubeTexture> tex;
  hr = CreateCubeTexture(img->width, img->mipLevels, USAGE_NONE, fmt, Pool::Managed, &tex);
  if (Failed(hr)) return hr;
  for (int f = 0; f < 6; ++f)
    for (int l = 0; l < img->mipLevels && l < tex->GetLevelCount(); ++l) {
      const ImageLevel& level = img->Level(f, l);
      LockedRect lr;
      if (Failed(tex->LockRect(static_cast<CubeFace>(f), l, &lr, 0))) return E_FAIL;
      CopyLevel(level, img->format, lr, FormatPitch(fmt, level.width), FormatRows(fmt, level.height));
      tex->UnlockRect(static_cast<CubeFace>(f), l);
    }
  *out = std::move(tex);
  return S_OK;
}

HRESULT Device::CreateEffectFromFile(const std::string& path, std::shared_ptr<Effect>* out, std::string* errors,
                                     std::span<const EffectMacro> macros) {
  if (out) out->reset();
  std::string text;
  const HRESULT hr = detail::ReadWholeFile(path, 1u << 20, &text);
  if (Failed(hr)) {
    if (errors) *errors = path + ":0: " + (hr == ERR_NOTFOUND ? "cannot open the file" : "cannot read the file");
    return hr;
  }
  return CreateEffectFromMemory(text, path, out, errors, macros);
}

}  // namespace gfx
