#include "gfx/Image.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

#include "gfx/Dds.h"
#include "io/Paths.h"

namespace gfx {

const char* ImageFormatName(ImageFormat f) {
  switch (f) {
    case ImageFormat::RGBA8: return "RGBA8";
    case ImageFormat::RGBA16F: return "RGBA16F";
    case ImageFormat::RGBA32F: return "RGBA32F";
    case ImageFormat::DXT1: return "DXT1";
    case ImageFormat::DXT3: return "DXT3";
    case ImageFormat::DXT5: return "DXT5";
  }
  return "?";
}

bool IsCompressed(ImageFormat f) {
  return f == ImageFormat::DXT1 || f == ImageFormat::DXT3 || f == ImageFormat::DXT5;
}

std::size_t BytesPerPixelOrBlock(ImageFormat f) {
  switch (f) {
    case ImageFormat::RGBA8: return 4;
    case ImageFormat::RGBA16F: return 8;
    case ImageFormat::RGBA32F: return 16;
    case ImageFormat::DXT1: return 8;
    case ImageFormat::DXT3:
    case ImageFormat::DXT5: return 16;
  }
  return 0;
}

std::optional<std::size_t> ImageLevelSize(ImageFormat f, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxImageDimension || height > kMaxImageDimension)
    return std::nullopt;
  // Bounded by 8192 × 8192 × 16 bytes: no overflow in size_t.
  if (IsCompressed(f))
    return std::size_t((width + 3) / 4) * std::size_t((height + 3) / 4) * BytesPerPixelOrBlock(f);
  return std::size_t(width) * std::size_t(height) * BytesPerPixelOrBlock(f);
}

int FullMipCount(int width, int height) {
  int n = 1;
  for (int m = std::max(width, height); m > 1; m >>= 1) ++n;
  return n;
}

Image MakeSolidImage(int width, int height, std::uint32_t rgba) {
  Image img;
  img.width = std::clamp(width, 1, kMaxImageDimension);
  img.height = std::clamp(height, 1, kMaxImageDimension);
  img.levels.resize(1);
  ImageLevel& l = img.levels[0];
  l.width = img.width;
  l.height = img.height;
  l.data.resize(std::size_t(l.width) * std::size_t(l.height) * 4);
  const std::uint8_t px[4] = {std::uint8_t(rgba >> 24), std::uint8_t(rgba >> 16), std::uint8_t(rgba >> 8),
                              std::uint8_t(rgba)};
  for (std::size_t i = 0; i < l.data.size(); i += 4) std::memcpy(&l.data[i], px, 4);
  return img;
}

std::optional<Image> LoadImageFromMemory(std::span<const std::uint8_t> bytes, std::string& error) {
  if (bytes.empty()) {
    error = "empty file";
    return std::nullopt;
  }
  if (IsDds(bytes)) return ReadDds(bytes, error);
  if (bytes.size() > std::size_t(INT_MAX)) {
    error = "file too large";
    return std::nullopt;
  }
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int len = int(bytes.size());
  int w = 0, h = 0, comp = 0;
  // Ask for the size first, so a header claiming a huge picture is refused
  // before anything is decoded.
  if (!stbi_info_from_memory(data, len, &w, &h, &comp)) {
    const char* why = stbi_failure_reason();
    error = std::string("unknown or damaged image format") + (why ? std::string(" (") + why + ")" : "");
    return std::nullopt;
  }
  if (w < 1 || h < 1 || w > kMaxImageDimension || h > kMaxImageDimension) {
    error = "image size " + std::to_string(w) + " x " + std::to_string(h) + " out of range";
    return std::nullopt;
  }
  std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, len, &w, &h, &comp, 4),
                                                   stbi_image_free);
  if (!pixels || w < 1 || h < 1 || w > kMaxImageDimension || h > kMaxImageDimension) {
    const char* why = stbi_failure_reason();
    error = std::string("image could not be decoded") + (why ? std::string(" (") + why + ")" : "");
    return std::nullopt;
  }
  Image img;
  img.width = w;
  img.height = h;
  img.levels.resize(1);
  img.levels[0].width = w;
  img.levels[0].height = h;
  img.levels[0].data.assign(pixels.get(), pixels.get() + std::size_t(w) * std::size_t(h) * 4);
  return img;
}

std::optional<Image> LoadImageFromFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = path.string() + ": cannot open file (" + ec.message() + ")";
    return std::nullopt;
  }
  if (size > kMaxImageFileBytes) {
    error = path.string() + ": file too large (" + std::to_string(size) + " bytes)";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path.string() + ": cannot open file";
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  if (std::size_t(in.gcount()) != bytes.size()) {
    error = path.string() + ": read failed";
    return std::nullopt;
  }
  std::string why;
  auto img = LoadImageFromMemory(bytes, why);
  if (!img) error = path.string() + ": " + why;
  return img;
}

std::optional<Image> LoadImageFromWindowsPath(std::u16string_view windowsPath, std::string& error) {
  return LoadImageFromFile(mv::io::NativePath(windowsPath), error);
}

std::optional<Image> LoadImageFromWindowsPath(std::string_view windowsPath, std::string& error) {
  return LoadImageFromFile(mv::io::NativePath(windowsPath), error);
}

Image DecompressImage(const Image& image) {
  if (!IsCompressed(image.format)) return image;
  Image out;
  out.format = ImageFormat::RGBA8;
  out.width = image.width;
  out.height = image.height;
  out.mipLevels = image.mipLevels;
  out.faces = image.faces;
  out.levels.reserve(image.levels.size());
  for (const ImageLevel& l : image.levels) {
    ImageLevel d;
    d.width = l.width;
    d.height = l.height;
    d.data = DecodeDxt(image.format, l.width, l.height, l.data);
    if (d.data.empty()) {
      // An inconsistent level decodes to black rather than to nothing.
      if (const auto size = ImageLevelSize(ImageFormat::RGBA8, l.width, l.height)) d.data.assign(*size, 0);
    }
    out.levels.push_back(std::move(d));
  }
  return out;
}

}  // namespace gfx
