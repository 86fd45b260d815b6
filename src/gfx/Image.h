#pragma once
// Images on the CPU: what a texture file holds before it reaches the device.
// Rows run top to bottom (row 0 is the top of the picture), as in the files.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

enum class ImageFormat : std::uint8_t {
  RGBA8,    // 4 bytes per pixel: r, g, b, a
  RGBA16F,  // 4 half floats per pixel: r, g, b, a
  RGBA32F,  // 4 floats per pixel: r, g, b, a
  DXT1,     // 8-byte blocks of 4 × 4 pixels
  DXT3,     // 16-byte blocks
  DXT5,     // 16-byte blocks
};

const char* ImageFormatName(ImageFormat f);
bool IsCompressed(ImageFormat f);
// Bytes of one pixel (uncompressed) or one 4 × 4 block (compressed).
std::size_t BytesPerPixelOrBlock(ImageFormat f);

// Largest width or height accepted from a file; keeps decoding bounded.
inline constexpr int kMaxImageDimension = 8192;
// Largest file read into memory for decoding.
inline constexpr std::uintmax_t kMaxImageFileBytes = 512u * 1024u * 1024u;

// Bytes of one level of w × h pixels, or nullopt when w or h is outside
// 1 … kMaxImageDimension.
std::optional<std::size_t> ImageLevelSize(ImageFormat f, int width, int height);
// Number of levels of a full mip chain down to 1 × 1.
int FullMipCount(int width, int height);

struct ImageLevel {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> data;  // ImageLevelSize(format, width, height) bytes
};

struct Image {
  ImageFormat format = ImageFormat::RGBA8;
  int width = 0;
  int height = 0;
  int mipLevels = 1;  // levels per face; level 0 is width × height
  int faces = 1;      // 1, or 6 for a cube map (+x, −x, +y, −y, +z, −z)
  // faces × mipLevels entries, face by face: levels[face * mipLevels + mip].
  std::vector<ImageLevel> levels;

  bool IsCube() const { return faces == 6; }
  ImageLevel& Level(int face, int mip) { return levels[static_cast<std::size_t>(face * mipLevels + mip)]; }
  const ImageLevel& Level(int face, int mip) const {
    return levels[static_cast<std::size_t>(face * mipLevels + mip)];
  }
};

// A single-level RGBA8 image filled with one colour (r, g, b, a bytes).
Image MakeSolidImage(int width, int height, std::uint32_t rgba);

// Decodes a file held in memory: DDS by its signature, otherwise TGA, PNG,
// JPG or BMP (as RGBA8, one level). On failure returns nullopt and sets
// `error` to what went wrong.
std::optional<Image> LoadImageFromMemory(std::span<const std::uint8_t> bytes, std::string& error);

// Reads and decodes a file. The error names the file.
std::optional<Image> LoadImageFromFile(const std::filesystem::path& path, std::string& error);
// The same for a stored Windows-style path relative to the working folder
// ("media\particles\flare.dds"), mapped through mv::io::NativePath.
std::optional<Image> LoadImageFromWindowsPath(std::u16string_view windowsPath, std::string& error);
std::optional<Image> LoadImageFromWindowsPath(std::string_view windowsPath, std::string& error);

// Every level of a compressed image decoded to RGBA8 (for devices without
// S3TC); other formats are returned unchanged.
Image DecompressImage(const Image& image);

}  // namespace gfx
