#include "gfx/Dds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace gfx {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(std::uint8_t(v >> (8 * k)));
}

// Fields of a legacy DDS header, written out byte by byte below.
struct Header {
  std::uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000;
  std::uint32_t width = 1, height = 1, mipCount = 0;
  std::uint32_t pfFlags = 0x40, fourCC = 0, bitCount = 32;
  std::uint32_t r = 0x00FF0000, g = 0x0000FF00, b = 0x000000FF, a = 0;
  std::uint32_t caps2 = 0;
};

Bytes MakeDds(const Header& h, const Bytes& payload) {
  Bytes out = {'D', 'D', 'S', ' '};
  Put32(out, 124);
  Put32(out, h.flags);
  Put32(out, h.height);
  Put32(out, h.width);
  Put32(out, 0);  // pitch
  Put32(out, 0);  // depth
  Put32(out, h.mipCount);
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  Put32(out, 32);
  Put32(out, h.pfFlags);
  Put32(out, h.fourCC);
  Put32(out, h.bitCount);
  Put32(out, h.r);
  Put32(out, h.g);
  Put32(out, h.b);
  Put32(out, h.a);
  Put32(out, 0x1000);  // caps
  Put32(out, h.caps2);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  EXPECT_EQ(out.size(), 128u);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

constexpr std::uint32_t FourCC(const char* s) {
  return std::uint32_t(std::uint8_t(s[0])) | (std::uint32_t(std::uint8_t(s[1])) << 8) |
         (std::uint32_t(std::uint8_t(s[2])) << 16) | (std::uint32_t(std::uint8_t(s[3])) << 24);
}

Header Argb32(std::uint32_t w, std::uint32_t h) {
  Header hd;
  hd.width = w;
  hd.height = h;
  hd.pfFlags = 0x40 | 0x1;
  hd.a = 0xFF000000;
  return hd;
}

Header Compressed(const char* cc, std::uint32_t w, std::uint32_t h) {
  Header hd;
  hd.width = w;
  hd.height = h;
  hd.pfFlags = 0x4;
  hd.fourCC = FourCC(cc);
  hd.bitCount = 0;
  hd.r = hd.g = hd.b = hd.a = 0;
  return hd;
}

// A DXT1 block: red (0xF800) and blue (0x001F) end points, pixel i using
// palette index i % 4.
const Bytes kDxt1RedBlue = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};

TEST(Dds, ReadsArgb32InRgbaOrder) {
  // B, G, R, A in the file.
  const Bytes px = {0x30, 0x20, 0x10, 0x40, 0x01, 0x02, 0x03, 0x04};
  std::string err;
  auto img = ReadDds(MakeDds(Argb32(2, 1), px), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->format, ImageFormat::RGBA8);
  EXPECT_EQ(img->width, 2);
  EXPECT_EQ(img->height, 1);
  EXPECT_EQ(img->mipLevels, 1);
  EXPECT_EQ(img->faces, 1);
  EXPECT_EQ(img->levels[0].data, (Bytes{0x10, 0x20, 0x30, 0x40, 0x03, 0x02, 0x01, 0x04}));
}

struct MaskCase {
  const char* name;
  std::uint32_t pfFlags, bitCount, r, g, b, a;
  Bytes pixel;
  Bytes rgba;
};

TEST(Dds, ConvertsCommonMaskLayouts) {
  const MaskCase cases[] = {
      {"X8R8G8B8 ignores the padding byte", 0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {1, 2, 3, 9}, {3, 2, 1, 255}},
      {"A8B8G8R8", 0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"R8G8B8 24-bit", 0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0, {0x10, 0x20, 0x30}, {0x30, 0x20, 0x10, 255}},
      {"R5G6B5 red", 0x40, 16, 0xF800, 0x07E0, 0x1F, 0, {0x00, 0xF8}, {255, 0, 0, 255}},
      {"R5G6B5 mid green", 0x40, 16, 0xF800, 0x07E0, 0x1F, 0, {0x00, 0x04}, {0, 130, 0, 255}},
      {"A1R5G5B5", 0x41, 16, 0x7C00, 0x03E0, 0x1F, 0x8000, {0x1F, 0x80}, {0, 0, 255, 255}},
      {"A4R4G4B4", 0x41, 16, 0x0F00, 0x00F0, 0x0F, 0xF000, {0x5A, 0x3F}, {255, 85, 170, 51}},
      {"L8", 0x20000, 8, 0xFF, 0, 0, 0, {0x80}, {0x80, 0x80, 0x80, 255}},
      {"A8L8", 0x20001, 16, 0xFF, 0, 0, 0xFF00, {0x40, 0xC0}, {0x40, 0x40, 0x40, 0xC0}},
      {"A8", 0x2, 8, 0, 0, 0, 0xFF, {0x7F}, {0, 0, 0, 0x7F}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Header h;
    h.pfFlags = c.pfFlags;
    h.bitCount = c.bitCount;
    h.r = c.r;
    h.g = c.g;
    h.b = c.b;
    h.a = c.a;
    std::string err;
    auto img = ReadDds(MakeDds(h, c.pixel), err);
    ASSERT_TRUE(img) << err;
    EXPECT_EQ(img->levels[0].data, c.rgba);
  }
}

TEST(Dds, Dxt1BlockDecodesToKnownColours) {
  std::uint8_t px[64];
  DecodeDxtBlock(ImageFormat::DXT1, kDxt1RedBlue.data(), px);
  const std::uint8_t expected[4][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}};
  for (int i = 0; i < 16; ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(px[4 * i + k], expected[i % 4][k]) << "pixel " << i;

  // c0 <= c1: three colours and transparent black.
  const Bytes threeColour = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
  DecodeDxtBlock(ImageFormat::DXT1, threeColour.data(), px);
  const std::uint8_t expected3[4][4] = {{0, 0, 255, 255}, {255, 0, 0, 255}, {127, 0, 127, 255}, {0, 0, 0, 0}};
  for (int i = 0; i < 16; ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(px[4 * i + k], expected3[i % 4][k]) << "pixel " << i;
}

TEST(Dds, Dxt3AndDxt5Alpha) {
  std::uint8_t px[64];
  // DXT3: explicit 4-bit alphas 0, 1, …, 15; the colour block always has
  // four colours, even when c0 <= c1.
  Bytes dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF};
  DecodeDxtBlock(ImageFormat::DXT3, dxt3.data(), px);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(px[4 * i + 3], i * 17);
    EXPECT_EQ(px[4 * i + 0], 170);  // index 3 = (c0 + 2·c1) / 3 of blue → red
    EXPECT_EQ(px[4 * i + 2], 85);
  }

  // DXT5, a0 > a1: eight-step ramp. Indices 0..7 for pixels 0..7, then 0.
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= std::uint64_t(i) << (3 * i);
  Bytes dxt5 = {210, 70};
  for (int k = 0; k < 6; ++k) dxt5.push_back(std::uint8_t(bits >> (8 * k)));
  dxt5.insert(dxt5.end(), kDxt1RedBlue.begin(), kDxt1RedBlue.end());
  DecodeDxtBlock(ImageFormat::DXT5, dxt5.data(), px);
  const int ramp8[8] = {210, 70, 190, 170, 150, 130, 110, 90};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(px[4 * i + 3], ramp8[i]) << i;
  EXPECT_EQ(px[4 * 8 + 3], 210);

  // a0 <= a1: six steps plus 0 and 255.
  dxt5[0] = 50;
  dxt5[1] = 100;
  DecodeDxtBlock(ImageFormat::DXT5, dxt5.data(), px);
  const int ramp6[8] = {50, 100, 60, 70, 80, 90, 0, 255};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(px[4 * i + 3], ramp6[i]) << i;
}

TEST(Dds, ReadsDxtFileAndDecodesEdgeBlocks) {
  // 5 × 3 needs 2 × 1 blocks.
  Bytes payload = kDxt1RedBlue;
  payload.insert(payload.end(), kDxt1RedBlue.begin(), kDxt1RedBlue.end());
  std::string err;
  auto img = ReadDds(MakeDds(Compressed("DXT1", 5, 3), payload), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->format, ImageFormat::DXT1);
  ASSERT_EQ(img->levels[0].data.size(), 16u);
  const auto rgba = DecodeDxt(ImageFormat::DXT1, 5, 3, img->levels[0].data);
  ASSERT_EQ(rgba.size(), 5u * 3u * 4u);
  // Pixel (4, 2) is pixel (0, 2) of the second block: index 0 → red.
  const std::size_t at = (2 * 5 + 4) * 4;
  EXPECT_EQ(rgba[at + 0], 255);
  EXPECT_EQ(rgba[at + 2], 0);
  // Pixel (1, 0): index 1 → blue.
  EXPECT_EQ(rgba[4 + 2], 255);
  EXPECT_TRUE(DecodeDxt(ImageFormat::DXT1, 5, 3, std::span(payload).first(15)).empty());
}

TEST(Dds, ReadsMipChain) {
  Header h = Argb32(4, 2);
  h.flags |= 0x20000;
  h.mipCount = 3;
  Bytes payload;
  for (int i = 0; i < 8; ++i) payload.insert(payload.end(), {0, 0, 1, 255});
  for (int i = 0; i < 2; ++i) payload.insert(payload.end(), {0, 0, 2, 255});
  payload.insert(payload.end(), {0, 0, 3, 255});
  std::string err;
  auto img = ReadDds(MakeDds(h, payload), err);
  ASSERT_TRUE(img) << err;
  ASSERT_EQ(img->mipLevels, 3);
  const int dims[3][2] = {{4, 2}, {2, 1}, {1, 1}};
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(img->Level(0, m).width, dims[m][0]);
    EXPECT_EQ(img->Level(0, m).height, dims[m][1]);
    EXPECT_EQ(img->Level(0, m).data[0], m + 1);
  }
  // A count past the full chain is cut to the chain (extra bytes ignored).
  h.mipCount = 40;
  payload.insert(payload.end(), {0, 0, 4, 255});
  img = ReadDds(MakeDds(h, payload), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->mipLevels, 3);
  // Without the mip-count flag the count field is ignored.
  h.flags &= ~0x20000u;
  img = ReadDds(MakeDds(h, payload), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->mipLevels, 1);
}

TEST(Dds, ReadsCubeMapFacesInOrder) {
  Header h = Compressed("DXT5", 4, 4);
  h.caps2 = 0x200 | 0xFC00;
  h.flags |= 0x20000;
  h.mipCount = 3;  // 4×4, 2×2, 1×1: one block each
  Bytes payload;
  for (int face = 0; face < 6; ++face)
    for (int mip = 0; mip < 3; ++mip) {
      Bytes block(16, 0);
      block[0] = std::uint8_t(face * 10 + mip);  // a0 tags the level
      payload.insert(payload.end(), block.begin(), block.end());
    }
  std::string err;
  auto img = ReadDds(MakeDds(h, payload), err);
  ASSERT_TRUE(img) << err;
  EXPECT_TRUE(img->IsCube());
  ASSERT_EQ(img->levels.size(), 18u);
  for (int face = 0; face < 6; ++face)
    for (int mip = 0; mip < 3; ++mip) EXPECT_EQ(img->Level(face, mip).data[0], face * 10 + mip);

  // Missing faces, non-square faces and volumes are refused.
  h.caps2 = 0x200 | 0x7C00;
  EXPECT_FALSE(ReadDds(MakeDds(h, payload), err));
  EXPECT_NE(err.find("six faces"), std::string::npos) << err;
  h.caps2 = 0x200 | 0xFC00;
  h.width = 8;
  EXPECT_FALSE(ReadDds(MakeDds(h, payload), err));
  h.width = 4;
  h.caps2 = 0x200000;
  EXPECT_FALSE(ReadDds(MakeDds(h, payload), err));
}

TEST(Dds, EveryTruncationFailsCleanly) {
  Header h = Compressed("DXT1", 8, 8);
  h.caps2 = 0x200 | 0xFC00;
  h.flags |= 0x20000;
  h.mipCount = 4;
  // Per face: 4 blocks + 1 + 1 + 1 = 7 blocks of 8 bytes.
  const Bytes full = MakeDds(h, Bytes(6 * 7 * 8, 0x55));
  std::string err;
  ASSERT_TRUE(ReadDds(full, err)) << err;
  for (std::size_t n = 0; n < full.size(); ++n) {
    err.clear();
    EXPECT_FALSE(ReadDds(std::span(full).first(n), err)) << n;
    EXPECT_FALSE(err.empty()) << n;
  }
  EXPECT_NE(err.find("truncated"), std::string::npos) << err;
}

TEST(Dds, RefusesImpossibleHeaders) {
  struct Case {
    const char* name;
    Header h;
    const char* errorPart;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, auto mutate, const char* part) {
    Header h = Argb32(2, 2);
    mutate(h);
    cases.push_back({name, h, part});
  };
  add("zero width", [](Header& h) { h.width = 0; }, "out of range");
  add("zero height", [](Header& h) { h.height = 0; }, "out of range");
  add("huge width", [](Header& h) { h.width = 0xFFFFFFFFu; }, "out of range");
  add("huge both", [](Header& h) { h.width = h.height = 0x10000; }, "out of range");
  add("odd bit count", [](Header& h) { h.bitCount = 12; }, "bit count");
  add("huge bit count", [](Header& h) { h.bitCount = 0x80000000u; }, "bit count");
  add("no masks", [](Header& h) { h.r = h.g = h.b = h.a = 0; }, "masks");
  add("no format flags", [](Header& h) { h.pfFlags = 0; }, "not supported");
  add("unknown FourCC", [](Header& h) { h.pfFlags = 0x4; h.fourCC = FourCC("ATI2"); }, "ATI2");
  add("huge mip count on a big claimed size", [](Header& h) { h.width = h.height = 8192; h.flags |= 0x20000; h.mipCount = 0xFFFFFFFFu; }, "truncated");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string err;
    EXPECT_FALSE(ReadDds(MakeDds(c.h, Bytes(64, 0)), err));
    EXPECT_NE(err.find(c.errorPart), std::string::npos) << err;
  }
  std::string err;
  Bytes bad = MakeDds(Argb32(1, 1), Bytes(4, 0));
  bad[4] = 100;  // header size
  EXPECT_FALSE(ReadDds(bad, err));
  EXPECT_FALSE(ReadDds(Bytes{'D', 'D', 'S'}, err));
  EXPECT_FALSE(ReadDds(Bytes{'P', 'N', 'G', ' ', 0}, err));
}

Bytes MakeDx10(std::uint32_t dxgi, std::uint32_t dim, std::uint32_t misc, std::uint32_t arraySize,
               std::uint32_t w, std::uint32_t h, const Bytes& payload) {
  Bytes out = MakeDds(Compressed("DX10", w, h), {});
  Put32(out, dxgi);
  Put32(out, dim);
  Put32(out, misc);
  Put32(out, arraySize);
  Put32(out, 0);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

TEST(Dds, ReadsDx10Extension) {
  std::string err;
  auto rgba = ReadDds(MakeDx10(28, 3, 0, 1, 1, 1, {1, 2, 3, 4}), err);
  ASSERT_TRUE(rgba) << err;
  EXPECT_EQ(rgba->levels[0].data, (Bytes{1, 2, 3, 4}));
  auto bgra = ReadDds(MakeDx10(87, 3, 0, 1, 1, 1, {1, 2, 3, 4}), err);
  ASSERT_TRUE(bgra) << err;
  EXPECT_EQ(bgra->levels[0].data, (Bytes{3, 2, 1, 4}));
  Bytes sixBlocks;
  for (int i = 0; i < 6; ++i) sixBlocks.insert(sixBlocks.end(), kDxt1RedBlue.begin(), kDxt1RedBlue.end());
  auto cube = ReadDds(MakeDx10(71, 3, 4, 1, 4, 4, sixBlocks), err);
  ASSERT_TRUE(cube) << err;
  EXPECT_EQ(cube->format, ImageFormat::DXT1);
  EXPECT_TRUE(cube->IsCube());
  EXPECT_FALSE(ReadDds(MakeDx10(71, 3, 0, 2, 4, 4, sixBlocks), err));  // array
  EXPECT_FALSE(ReadDds(MakeDx10(71, 4, 0, 1, 4, 4, sixBlocks), err));  // volume
  EXPECT_FALSE(ReadDds(MakeDx10(95, 3, 0, 1, 4, 4, sixBlocks), err));  // BC6H
  EXPECT_NE(err.find("95"), std::string::npos) << err;
  Bytes shortDx10 = MakeDds(Compressed("DX10", 1, 1), {1, 2, 3});
  EXPECT_FALSE(ReadDds(shortDx10, err));
}

TEST(Dds, ReadsFloatFormats) {
  Header h = Compressed("xxxx", 1, 1);
  h.fourCC = 113;
  const Bytes half = {0x00, 0x3C, 0x00, 0x38, 0x00, 0x00, 0x00, 0x3C};  // 1, 0.5, 0, 1
  std::string err;
  auto img = ReadDds(MakeDds(h, half), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->format, ImageFormat::RGBA16F);
  EXPECT_EQ(img->levels[0].data, half);
  h.fourCC = 116;
  Bytes single(16, 0);
  const float v[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  std::memcpy(single.data(), v, 16);
  img = ReadDds(MakeDds(h, single), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->format, ImageFormat::RGBA32F);
  EXPECT_EQ(img->levels[0].data, single);
}

TEST(Dds, WriterHeaderIsByteExact) {
  Image img;
  img.width = 2;
  img.height = 1;
  img.levels.push_back({2, 1, {0x10, 0x20, 0x30, 0x40, 0x01, 0x02, 0x03, 0x04}});
  const Bytes written = WriteDds(img);
  Header h = Argb32(2, 1);
  h.flags |= 0x8;  // pitch
  Bytes expected = MakeDds(h, {0x30, 0x20, 0x10, 0x40, 0x03, 0x02, 0x01, 0x04});
  expected[20] = 8;  // pitch = 2 × 4 bytes
  EXPECT_EQ(written, expected);
}

TEST(Dds, WriterRoundTripsCompressedCubeWithMips) {
  Image img;
  img.format = ImageFormat::DXT5;
  img.width = img.height = 8;
  img.faces = 6;
  img.mipLevels = 4;
  for (int face = 0; face < 6; ++face)
    for (int mip = 0; mip < 4; ++mip) {
      const int s = 8 >> mip;
      ImageLevel l{s, s, Bytes(*ImageLevelSize(ImageFormat::DXT5, s, s), std::uint8_t(face * 16 + mip))};
      img.levels.push_back(l);
    }
  const Bytes file = WriteDds(img);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file[84], 'D');
  EXPECT_EQ(file[87], '5');
  std::string err;
  auto back = ReadDds(file, err);
  ASSERT_TRUE(back) << err;
  EXPECT_EQ(back->faces, 6);
  EXPECT_EQ(back->mipLevels, 4);
  for (std::size_t i = 0; i < img.levels.size(); ++i) EXPECT_EQ(back->levels[i].data, img.levels[i].data) << i;

  // Inconsistent images are not written.
  img.levels.back().data.pop_back();
  EXPECT_TRUE(WriteDds(img).empty());
  Image empty;
  EXPECT_TRUE(WriteDds(empty).empty());
}

}  // namespace
}  // namespace gfx
