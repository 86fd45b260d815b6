#include "gfx/Dds.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace gfx {
namespace {

constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
  return std::uint32_t(std::uint8_t(a)) | (std::uint32_t(std::uint8_t(b)) << 8) |
         (std::uint32_t(std::uint8_t(c)) << 16) | (std::uint32_t(std::uint8_t(d)) << 24);
}

constexpr std::size_t kMagicSize = 4;
constexpr std::size_t kHeaderSize = 124;
constexpr std::size_t kDx10HeaderSize = 20;

// Header flags.
constexpr std::uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8,
                        DDSD_PIXELFORMAT = 0x1000, DDSD_MIPMAPCOUNT = 0x20000,
                        DDSD_LINEARSIZE = 0x80000;
// Pixel-format flags.
constexpr std::uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_ALPHA = 0x2, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40,
                        DDPF_LUMINANCE = 0x20000;
// Caps.
constexpr std::uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
constexpr std::uint32_t DDSCAPS2_CUBEMAP = 0x200, DDSCAPS2_CUBEMAP_ALLFACES = 0xFC00,
                        DDSCAPS2_VOLUME = 0x200000;
// Direct3D format numbers used as FourCC for float formats.
constexpr std::uint32_t D3DFMT_A16B16G16R16F = 113, D3DFMT_A32B32G32R32F = 116;
// DX10 extension.
constexpr std::uint32_t DXGI_R32G32B32A32_FLOAT = 2, DXGI_R16G16B16A16_FLOAT = 10,
                        DXGI_R8G8B8A8_UNORM = 28, DXGI_R8G8B8A8_UNORM_SRGB = 29, DXGI_BC1 = 71,
                        DXGI_BC1_SRGB = 72, DXGI_BC2 = 74, DXGI_BC2_SRGB = 75, DXGI_BC3 = 77,
                        DXGI_BC3_SRGB = 78, DXGI_B8G8R8A8_UNORM = 87, DXGI_B8G8R8X8_UNORM = 88,
                        DXGI_B8G8R8A8_UNORM_SRGB = 91;
constexpr std::uint32_t D3D10_DIMENSION_TEXTURE2D = 3, D3D10_MISC_TEXTURECUBE = 0x4;

std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v >> 16));
  out.push_back(std::uint8_t(v >> 24));
}

// One channel of a masked pixel layout.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;  // mask >> shift

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask) {
      shift = std::countr_zero(mask);
      max = mask >> shift;
    }
  }
  std::uint8_t Extract(std::uint32_t pixel, std::uint8_t fallback) const {
    if (!max) return fallback;
    const std::uint64_t v = (pixel & mask) >> shift;
    return std::uint8_t((v * 255u + max / 2) / max);
  }
};

// How the pixels of an uncompressed file are laid out.
struct MaskLayout {
  int bytesPerPixel = 4;
  Channel r{0}, g{0}, b{0}, a{0};
  bool luminance = false;
};

// Bytes one face's chain takes in the file, or nullopt past the limits.
std::optional<std::uint64_t> FileLevelSize(bool compressed, std::size_t unit, int w, int h) {
  if (w < 1 || h < 1 || w > kMaxImageDimension || h > kMaxImageDimension) return std::nullopt;
  if (compressed) return std::uint64_t((w + 3) / 4) * std::uint64_t((h + 3) / 4) * unit;
  return std::uint64_t(w) * std::uint64_t(h) * unit;
}

// Byte offset of an 8-bit, byte-aligned channel, -1 when absent, -2 when
// the channel needs the general path.
int ByteChannel(const Channel& c) {
  if (!c.max) return -1;
  return (c.max == 0xFF && c.shift % 8 == 0) ? c.shift / 8 : -2;
}

void ConvertMasked(const MaskLayout& L, const std::uint8_t* src, std::size_t pixels, std::uint8_t* dst) {
  // The usual layouts (A8R8G8B8, X8R8G8B8, A8B8G8R8, R8G8B8) are byte moves.
  const int r = ByteChannel(L.r), g = ByteChannel(L.g), b = ByteChannel(L.b), a = ByteChannel(L.a);
  if (!L.luminance && r >= 0 && g >= 0 && b >= 0 && a >= -1) {
    for (std::size_t i = 0; i < pixels; ++i, src += L.bytesPerPixel, dst += 4) {
      dst[0] = src[r];
      dst[1] = src[g];
      dst[2] = src[b];
      dst[3] = a >= 0 ? src[a] : 255;
    }
    return;
  }
  for (std::size_t i = 0; i < pixels; ++i, src += L.bytesPerPixel, dst += 4) {
    std::uint32_t p = 0;
    for (int k = 0; k < L.bytesPerPixel; ++k) p |= std::uint32_t(src[k]) << (8 * k);
    if (L.luminance) {
      const std::uint8_t l = L.r.Extract(p, 0);
      dst[0] = dst[1] = dst[2] = l;
    } else {
      dst[0] = L.r.Extract(p, 0);
      dst[1] = L.g.Extract(p, 0);
      dst[2] = L.b.Extract(p, 0);
    }
    dst[3] = L.a.Extract(p, 255);
  }
}

void Color565(std::uint16_t c, std::uint8_t out[4]) {
  const std::uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  out[0] = std::uint8_t((r << 3) | (r >> 2));
  out[1] = std::uint8_t((g << 2) | (g >> 4));
  out[2] = std::uint8_t((b << 3) | (b >> 2));
  out[3] = 255;
}

// The colour half of a block; DXT3 and DXT5 always use four colours.
void DecodeColorBlock(const std::uint8_t* b, bool dxt1, std::uint8_t rgba[64]) {
  const std::uint16_t c0 = std::uint16_t(b[0] | (b[1] << 8));
  const std::uint16_t c1 = std::uint16_t(b[2] | (b[3] << 8));
  std::uint8_t pal[4][4];
  Color565(c0, pal[0]);
  Color565(c1, pal[1]);
  if (c0 > c1 || !dxt1) {
    for (int k = 0; k < 3; ++k) {
      pal[2][k] = std::uint8_t((2 * pal[0][k] + pal[1][k]) / 3);
      pal[3][k] = std::uint8_t((pal[0][k] + 2 * pal[1][k]) / 3);
    }
    pal[2][3] = pal[3][3] = 255;
  } else {
    for (int k = 0; k < 3; ++k) pal[2][k] = std::uint8_t((pal[0][k] + pal[1][k]) / 2);
    pal[2][3] = 255;
    pal[3][0] = pal[3][1] = pal[3][2] = pal[3][3] = 0;
  }
  const std::uint32_t idx = Get32(b + 4);
  for (int i = 0; i < 16; ++i) std::memcpy(rgba + 4 * i, pal[(idx >> (2 * i)) & 3], 4);
}

}  // namespace

bool IsDds(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kMagicSize && Get32(bytes.data()) == FourCC('D', 'D', 'S', ' ');
}

std::optional<Image> ReadDds(std::span<const std::uint8_t> bytes, std::string& error) {
  if (!IsDds(bytes)) {
    error = "not a DDS file (no \"DDS \" signature)";
    return std::nullopt;
  }
  if (bytes.size() < kMagicSize + kHeaderSize) {
    error = "DDS header truncated";
    return std::nullopt;
  }
  const std::uint8_t* h = bytes.data() + kMagicSize;
  if (Get32(h) != kHeaderSize) {
    error = "DDS header size is not 124";
    return std::nullopt;
  }
  const std::uint32_t flags = Get32(h + 4);
  const std::uint32_t height = Get32(h + 8), width = Get32(h + 12);
  const std::uint32_t mipCount = Get32(h + 24);
  const std::uint32_t pfFlags = Get32(h + 76), fourCC = Get32(h + 80), bitCount = Get32(h + 84);
  const std::uint32_t rMask = Get32(h + 88), gMask = Get32(h + 92), bMask = Get32(h + 96),
                      aMask = Get32(h + 100);
  const std::uint32_t caps2 = Get32(h + 108);
  std::size_t offset = kMagicSize + kHeaderSize;

  if (width == 0 || height == 0 || width > std::uint32_t(kMaxImageDimension) ||
      height > std::uint32_t(kMaxImageDimension)) {
    error = "DDS size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
    return std::nullopt;
  }
  if (caps2 & DDSCAPS2_VOLUME) {
    error = "DDS volume textures are not supported";
    return std::nullopt;
  }
  bool cube = (caps2 & DDSCAPS2_CUBEMAP) != 0;
  if (cube && (caps2 & DDSCAPS2_CUBEMAP_ALLFACES) != DDSCAPS2_CUBEMAP_ALLFACES) {
    error = "DDS cube map without all six faces";
    return std::nullopt;
  }

  // Resolve the pixel format.
  Image img;
  bool masked = false;
  MaskLayout layout;
  if (pfFlags & DDPF_FOURCC) {
    switch (fourCC) {
      case FourCC('D', 'X', 'T', '1'): img.format = ImageFormat::DXT1; break;
      case FourCC('D', 'X', 'T', '2'):
      case FourCC('D', 'X', 'T', '3'): img.format = ImageFormat::DXT3; break;
      case FourCC('D', 'X', 'T', '4'):
      case FourCC('D', 'X', 'T', '5'): img.format = ImageFormat::DXT5; break;
      case D3DFMT_A16B16G16R16F: img.format = ImageFormat::RGBA16F; break;
      case D3DFMT_A32B32G32R32F: img.format = ImageFormat::RGBA32F; break;
      case FourCC('D', 'X', '1', '0'): {
        if (bytes.size() - offset < kDx10HeaderSize) {
          error = "DDS DX10 header truncated";
          return std::nullopt;
        }
        const std::uint8_t* x = bytes.data() + offset;
        offset += kDx10HeaderSize;
        const std::uint32_t dxgi = Get32(x), dim = Get32(x + 4), misc = Get32(x + 8),
                            arraySize = Get32(x + 12);
        if (dim != D3D10_DIMENSION_TEXTURE2D || arraySize != 1) {
          error = "DDS DX10 resource is not a single 2D texture or cube map";
          return std::nullopt;
        }
        cube = (misc & D3D10_MISC_TEXTURECUBE) != 0;
        switch (dxgi) {
          case DXGI_R32G32B32A32_FLOAT: img.format = ImageFormat::RGBA32F; break;
          case DXGI_R16G16B16A16_FLOAT: img.format = ImageFormat::RGBA16F; break;
          case DXGI_R8G8B8A8_UNORM:
          case DXGI_R8G8B8A8_UNORM_SRGB:
            masked = true;
            layout = {4, Channel(0xFFu), Channel(0xFF00u), Channel(0xFF0000u), Channel(0xFF000000u), false};
            break;
          case DXGI_B8G8R8A8_UNORM:
          case DXGI_B8G8R8A8_UNORM_SRGB:
            masked = true;
            layout = {4, Channel(0xFF0000u), Channel(0xFF00u), Channel(0xFFu), Channel(0xFF000000u), false};
            break;
          case DXGI_B8G8R8X8_UNORM:
            masked = true;
            layout = {4, Channel(0xFF0000u), Channel(0xFF00u), Channel(0xFFu), Channel(0), false};
            break;
          case DXGI_BC1:
          case DXGI_BC1_SRGB: img.format = ImageFormat::DXT1; break;
          case DXGI_BC2:
          case DXGI_BC2_SRGB: img.format = ImageFormat::DXT3; break;
          case DXGI_BC3:
          case DXGI_BC3_SRGB: img.format = ImageFormat::DXT5; break;
          default:
            error = "DDS DXGI format " + std::to_string(dxgi) + " is not supported";
            return std::nullopt;
        }
        break;
      }
      default: {
        std::string name;
        for (int k = 0; k < 4; ++k) {
          const char c = char((fourCC >> (8 * k)) & 0xFF);
          name += (c >= 32 && c < 127) ? c : '?';
        }
        error = "DDS FourCC \"" + name + "\" (" + std::to_string(fourCC) + ") is not supported";
        return std::nullopt;
      }
    }
  } else if (pfFlags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA | DDPF_ALPHAPIXELS)) {
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
      error = "DDS bit count " + std::to_string(bitCount) + " is not supported";
      return std::nullopt;
    }
    masked = true;
    const std::uint32_t valid = bitCount == 32 ? 0xFFFFFFFFu : ((1u << bitCount) - 1u);
    const bool hasAlpha = (pfFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) != 0;
    const bool onlyAlpha = (pfFlags & DDPF_ALPHA) && !(pfFlags & (DDPF_RGB | DDPF_LUMINANCE));
    layout.bytesPerPixel = int(bitCount / 8);
    layout.luminance = (pfFlags & DDPF_LUMINANCE) != 0;
    layout.r = Channel(onlyAlpha ? 0 : rMask & valid);
    layout.g = Channel(onlyAlpha || layout.luminance ? 0 : gMask & valid);
    layout.b = Channel(onlyAlpha || layout.luminance ? 0 : bMask & valid);
    layout.a = Channel(hasAlpha ? aMask & valid : 0);
    if (!layout.r.max && !layout.g.max && !layout.b.max && !layout.a.max) {
      error = "DDS pixel format has no channel masks";
      return std::nullopt;
    }
  } else {
    error = "DDS pixel format flags " + std::to_string(pfFlags) + " are not supported";
    return std::nullopt;
  }
  if (masked) img.format = ImageFormat::RGBA8;
  if (cube && width != height) {
    error = "DDS cube map faces are not square";
    return std::nullopt;
  }

  img.width = int(width);
  img.height = int(height);
  img.faces = cube ? 6 : 1;
  const int fullChain = FullMipCount(img.width, img.height);
  img.mipLevels = (flags & DDSD_MIPMAPCOUNT) && mipCount > 0
                      ? int(std::min<std::uint32_t>(mipCount, std::uint32_t(fullChain)))
                      : 1;

  // Check that every level is there before allocating anything.
  const bool compressed = IsCompressed(img.format);
  const std::size_t fileUnit = masked ? std::size_t(layout.bytesPerPixel) : BytesPerPixelOrBlock(img.format);
  std::uint64_t needed = 0;
  for (int mip = 0; mip < img.mipLevels; ++mip) {
    const auto size = FileLevelSize(compressed, fileUnit, std::max(1, img.width >> mip),
                                    std::max(1, img.height >> mip));
    if (!size) {
      error = "DDS level size out of range";
      return std::nullopt;
    }
    needed += *size;
  }
  needed *= std::uint64_t(img.faces);
  const std::uint64_t available = bytes.size() - offset;
  if (needed > available) {
    error = "DDS data truncated: " + std::to_string(available) + " bytes of " +
            std::to_string(needed) + " present";
    return std::nullopt;
  }

  img.levels.resize(std::size_t(img.faces) * std::size_t(img.mipLevels));
  const std::uint8_t* src = bytes.data() + offset;
  for (int face = 0; face < img.faces; ++face) {
    for (int mip = 0; mip < img.mipLevels; ++mip) {
      ImageLevel& level = img.Level(face, mip);
      level.width = std::max(1, img.width >> mip);
      level.height = std::max(1, img.height >> mip);
      const std::size_t fileBytes = std::size_t(*FileLevelSize(compressed, fileUnit, level.width, level.height));
      level.data.resize(*ImageLevelSize(img.format, level.width, level.height));
      if (masked)
        ConvertMasked(layout, src, std::size_t(level.width) * std::size_t(level.height), level.data.data());
      else
        std::memcpy(level.data.data(), src, fileBytes);
      src += fileBytes;
    }
  }
  return img;
}

std::vector<std::uint8_t> WriteDds(const Image& img) {
  if (img.width < 1 || img.height < 1 || img.mipLevels < 1 || (img.faces != 1 && img.faces != 6) ||
      img.mipLevels > FullMipCount(img.width, img.height) ||
      img.levels.size() != std::size_t(img.faces) * std::size_t(img.mipLevels) ||
      (img.faces == 6 && img.width != img.height))
    return {};
  std::uint64_t total = 0;
  for (int face = 0; face < img.faces; ++face)
    for (int mip = 0; mip < img.mipLevels; ++mip) {
      const ImageLevel& l = img.Level(face, mip);
      const auto size = ImageLevelSize(img.format, l.width, l.height);
      if (l.width != std::max(1, img.width >> mip) || l.height != std::max(1, img.height >> mip) ||
          !size || l.data.size() != *size)
        return {};
      total += *size;
    }

  const bool compressed = IsCompressed(img.format);
  std::vector<std::uint8_t> out;
  out.reserve(std::size_t(kMagicSize + kHeaderSize + total));
  Put32(out, FourCC('D', 'D', 'S', ' '));
  Put32(out, kHeaderSize);
  std::uint32_t flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  flags |= compressed ? DDSD_LINEARSIZE : DDSD_PITCH;
  if (img.mipLevels > 1) flags |= DDSD_MIPMAPCOUNT;
  Put32(out, flags);
  Put32(out, std::uint32_t(img.height));
  Put32(out, std::uint32_t(img.width));
  Put32(out, compressed ? std::uint32_t(*ImageLevelSize(img.format, img.width, img.height))
                        : std::uint32_t(img.width * BytesPerPixelOrBlock(img.format)));
  Put32(out, 0);  // depth
  Put32(out, img.mipLevels > 1 ? std::uint32_t(img.mipLevels) : 0);
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  // Pixel format.
  Put32(out, 32);
  switch (img.format) {
    case ImageFormat::RGBA8:
      Put32(out, DDPF_RGB | DDPF_ALPHAPIXELS);
      Put32(out, 0);
      Put32(out, 32);
      Put32(out, 0x00FF0000u);
      Put32(out, 0x0000FF00u);
      Put32(out, 0x000000FFu);
      Put32(out, 0xFF000000u);
      break;
    default: {
      std::uint32_t cc = 0;
      switch (img.format) {
        case ImageFormat::RGBA16F: cc = D3DFMT_A16B16G16R16F; break;
        case ImageFormat::RGBA32F: cc = D3DFMT_A32B32G32R32F; break;
        case ImageFormat::DXT1: cc = FourCC('D', 'X', 'T', '1'); break;
        case ImageFormat::DXT3: cc = FourCC('D', 'X', 'T', '3'); break;
        default: cc = FourCC('D', 'X', 'T', '5'); break;
      }
      Put32(out, DDPF_FOURCC);
      Put32(out, cc);
      for (int i = 0; i < 5; ++i) Put32(out, 0);
    }
  }
  std::uint32_t caps = DDSCAPS_TEXTURE;
  if (img.mipLevels > 1) caps |= DDSCAPS_COMPLEX | DDSCAPS_MIPMAP;
  if (img.faces == 6) caps |= DDSCAPS_COMPLEX;
  Put32(out, caps);
  Put32(out, img.faces == 6 ? DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES : 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  for (const ImageLevel& l : img.levels) {
    if (img.format == ImageFormat::RGBA8) {
      for (std::size_t i = 0; i < l.data.size(); i += 4) {
        out.push_back(l.data[i + 2]);
        out.push_back(l.data[i + 1]);
        out.push_back(l.data[i + 0]);
        out.push_back(l.data[i + 3]);
      }
    } else {
      out.insert(out.end(), l.data.begin(), l.data.end());
    }
  }
  return out;
}

void DecodeDxtBlock(ImageFormat format, const std::uint8_t* block, std::uint8_t rgba[64]) {
  switch (format) {
    case ImageFormat::DXT1: DecodeColorBlock(block, true, rgba); return;
    case ImageFormat::DXT3: {
      DecodeColorBlock(block + 8, false, rgba);
      for (int i = 0; i < 16; ++i) {
        const std::uint8_t nibble = (block[i / 2] >> (4 * (i & 1))) & 0xF;
        rgba[4 * i + 3] = std::uint8_t(nibble * 17);
      }
      return;
    }
    case ImageFormat::DXT5: {
      DecodeColorBlock(block + 8, false, rgba);
      const std::uint32_t a0 = block[0], a1 = block[1];
      std::uint8_t pal[8] = {std::uint8_t(a0), std::uint8_t(a1)};
      if (a0 > a1) {
        for (int k = 1; k < 7; ++k) pal[k + 1] = std::uint8_t(((7 - k) * a0 + k * a1) / 7);
      } else {
        for (int k = 1; k < 5; ++k) pal[k + 1] = std::uint8_t(((5 - k) * a0 + k * a1) / 5);
        pal[6] = 0;
        pal[7] = 255;
      }
      std::uint64_t bits = 0;
      for (int k = 0; k < 6; ++k) bits |= std::uint64_t(block[2 + k]) << (8 * k);
      for (int i = 0; i < 16; ++i) rgba[4 * i + 3] = pal[(bits >> (3 * i)) & 7];
      return;
    }
    default:
      std::memset(rgba, 0, 64);
  }
}

std::vector<std::uint8_t> DecodeDxt(ImageFormat format, int width, int height,
                                    std::span<const std::uint8_t> data) {
  const auto size = ImageLevelSize(format, width, height);
  if (!IsCompressed(format) || !size || data.size() < *size) return {};
  std::vector<std::uint8_t> out(std::size_t(width) * std::size_t(height) * 4);
  const std::size_t blockBytes = BytesPerPixelOrBlock(format);
  const int bw = (width + 3) / 4, bh = (height + 3) / 4;
  std::uint8_t px[64];
  const std::uint8_t* src = data.data();
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx, src += blockBytes) {
      DecodeDxtBlock(format, src, px);
      // Blocks on the right and bottom edges may stick out of a level whose
      // size is not a multiple of 4.
      const int cols = std::min(4, width - bx * 4), rows = std::min(4, height - by * 4);
      for (int y = 0; y < rows; ++y)
        std::memcpy(&out[(std::size_t(by * 4 + y) * std::size_t(width) + std::size_t(bx * 4)) * 4],
                    px + 16 * y, std::size_t(cols) * 4);
    }
  }
  return out;
}

}  // namespace gfx
