#include "gfx/Image.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "gfx/Dds.h"

namespace gfx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Append(void* ctx, void* data, int size) {
  auto* out = static_cast<Bytes*>(ctx);
  const auto* p = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

// A 3 × 2 picture with distinct pixels, top row first.
const Bytes kPixels = {255, 0, 0, 255,   0, 255, 0, 128, 0, 0, 255, 255,
                       10, 20, 30, 255,  40, 50, 60, 0,  70, 80, 90, 255};

Bytes EncodePng() {
  Bytes out;
  EXPECT_NE(stbi_write_png_to_func(Append, &out, 3, 2, 4, kPixels.data(), 3 * 4), 0);
  return out;
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("mv_image_test_" + std::to_string(::getpid()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

TEST(Image, LevelSizesAndMipCounts) {
  struct Case {
    ImageFormat f;
    int w, h;
    std::size_t bytes;
  } cases[] = {
      {ImageFormat::RGBA8, 3, 2, 24},    {ImageFormat::RGBA16F, 3, 2, 48}, {ImageFormat::RGBA32F, 1, 1, 16},
      {ImageFormat::DXT1, 1, 1, 8},      {ImageFormat::DXT1, 5, 5, 32},    {ImageFormat::DXT3, 4, 4, 16},
      {ImageFormat::DXT5, 8, 4, 32},     {ImageFormat::DXT5, 8192, 8192, 2048u * 2048u * 16u},
  };
  for (const auto& c : cases) EXPECT_EQ(ImageLevelSize(c.f, c.w, c.h), c.bytes) << ImageFormatName(c.f);
  EXPECT_FALSE(ImageLevelSize(ImageFormat::RGBA8, 0, 1));
  EXPECT_FALSE(ImageLevelSize(ImageFormat::RGBA8, 8193, 1));
  EXPECT_FALSE(ImageLevelSize(ImageFormat::RGBA8, 1, -4));
  EXPECT_EQ(FullMipCount(1, 1), 1);
  EXPECT_EQ(FullMipCount(4, 2), 3);
  EXPECT_EQ(FullMipCount(256, 256), 9);
  EXPECT_EQ(FullMipCount(5, 3), 3);
}

TEST(Image, PngWrittenByStbReadsBack) {
  std::string err;
  auto img = LoadImageFromMemory(EncodePng(), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->format, ImageFormat::RGBA8);
  EXPECT_EQ(img->width, 3);
  EXPECT_EQ(img->height, 2);
  EXPECT_EQ(img->mipLevels, 1);
  ASSERT_EQ(img->levels.size(), 1u);
  EXPECT_EQ(img->levels[0].data, kPixels);  // top row first, no flip
}

TEST(Image, TgaAndBmpWithoutAlphaAreOpaque) {
  Bytes rgb;
  for (std::size_t i = 0; i < kPixels.size(); i += 4) rgb.insert(rgb.end(), {kPixels[i], kPixels[i + 1], kPixels[i + 2]});
  Bytes tga, bmp;
  ASSERT_NE(stbi_write_tga_to_func(Append, &tga, 3, 2, 3, rgb.data()), 0);
  ASSERT_NE(stbi_write_bmp_to_func(Append, &bmp, 3, 2, 3, rgb.data()), 0);
  for (const Bytes* file : {&tga, &bmp}) {
    std::string err;
    auto img = LoadImageFromMemory(*file, err);
    ASSERT_TRUE(img) << err;
    ASSERT_EQ(img->levels[0].data.size(), kPixels.size());
    for (std::size_t i = 0; i < kPixels.size(); i += 4) {
      EXPECT_EQ(img->levels[0].data[i], kPixels[i]);
      EXPECT_EQ(img->levels[0].data[i + 2], kPixels[i + 2]);
      EXPECT_EQ(img->levels[0].data[i + 3], 255);
    }
  }
}

TEST(Image, JpegDecodesCloseToItsSource) {
  // Lossy: a flat 16 × 16 colour comes back within a few levels.
  std::vector<std::uint8_t> rgb;
  for (int i = 0; i < 16 * 16; ++i) rgb.insert(rgb.end(), {200, 100, 50});
  Bytes jpg;
  ASSERT_NE(stbi_write_jpg_to_func(Append, &jpg, 16, 16, 3, rgb.data(), 95), 0);
  std::string err;
  auto img = LoadImageFromMemory(jpg, err);
  ASSERT_TRUE(img) << err;
  ASSERT_EQ(img->width, 16);
  const auto& d = img->levels[0].data;
  for (std::size_t i = 0; i < d.size(); i += 4) {
    EXPECT_NEAR(d[i], 200, 6);
    EXPECT_NEAR(d[i + 1], 100, 6);
    EXPECT_NEAR(d[i + 2], 50, 6);
    EXPECT_EQ(d[i + 3], 255);
  }
}

TEST(Image, DdsIsRecognisedBySignature) {
  Image src;
  src.width = 1;
  src.height = 1;
  src.levels.push_back({1, 1, {1, 2, 3, 4}});
  std::string err;
  auto img = LoadImageFromMemory(WriteDds(src), err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->levels[0].data, (Bytes{1, 2, 3, 4}));
}

TEST(Image, BadBytesGiveAnErrorAndNoImage) {
  const Bytes png = EncodePng();
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"garbage", Bytes(100, 0xAB)},
      {"png signature only", Bytes(png.begin(), png.begin() + 8)},
      {"png cut in its data", Bytes(png.begin(), png.begin() + long(png.size()) - 20)},
      {"dds signature only", {'D', 'D', 'S', ' '}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string err;
    EXPECT_FALSE(LoadImageFromMemory(c.bytes, err));
    EXPECT_FALSE(err.empty());
  }
}

TEST(Image, HugeClaimedSizeIsRefusedBeforeDecoding) {
  Bytes png = EncodePng();
  // IHDR width sits at byte 16, big-endian; stb does not check the CRC.
  png[16] = 0x00;
  png[17] = 0x01;
  png[18] = 0x00;
  png[19] = 0x00;
  std::string err;
  EXPECT_FALSE(LoadImageFromMemory(png, err));
  EXPECT_NE(err.find("out of range"), std::string::npos) << err;
}

TEST(Image, LoadsFromFileAndWindowsPath) {
  TempDir dir;
  fs::create_directories(dir.path() / "Media" / "Particles");
  WriteFile(dir.path() / "Media" / "Particles" / "Flare.PNG", EncodePng());

  std::string err;
  auto direct = LoadImageFromFile(dir.path() / "Media" / "Particles" / "Flare.PNG", err);
  ASSERT_TRUE(direct) << err;

  // Backslashes and a different case per component still find the file.
  std::string win = dir.path().string() + "\\media\\particles\\flare.png";
  auto mapped = LoadImageFromWindowsPath(win, err);
  ASSERT_TRUE(mapped) << err;
  EXPECT_EQ(mapped->levels[0].data, kPixels);
  std::u16string win16(win.begin(), win.end());
  EXPECT_TRUE(LoadImageFromWindowsPath(win16, err)) << err;

  const fs::path missing = dir.path() / "nope.dds";
  EXPECT_FALSE(LoadImageFromFile(missing, err));
  EXPECT_NE(err.find("nope.dds"), std::string::npos) << err;

  const fs::path truncated = dir.path() / "cut.dds";
  Bytes dds = WriteDds(MakeSolidImage(4, 4, 0xFF0000FFu));
  dds.resize(dds.size() - 1);
  WriteFile(truncated, dds);
  EXPECT_FALSE(LoadImageFromFile(truncated, err));
  EXPECT_NE(err.find("cut.dds"), std::string::npos) << err;
  EXPECT_NE(err.find("truncated"), std::string::npos) << err;

  EXPECT_FALSE(LoadImageFromFile(dir.path(), err));  // a folder
}

TEST(Image, DecompressImageDecodesEveryLevel) {
  Image img;
  img.format = ImageFormat::DXT1;
  img.width = 4;
  img.height = 4;
  img.mipLevels = 3;
  const Bytes red = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};  // every pixel colour 0 = red
  for (int m = 0; m < 3; ++m) img.levels.push_back({4 >> m, 4 >> m, red});
  const Image out = DecompressImage(img);
  EXPECT_EQ(out.format, ImageFormat::RGBA8);
  ASSERT_EQ(out.levels.size(), 3u);
  for (int m = 0; m < 3; ++m) {
    const ImageLevel& l = out.Level(0, m);
    ASSERT_EQ(l.data.size(), std::size_t((4 >> m) * (4 >> m) * 4));
    for (std::size_t i = 0; i < l.data.size(); i += 4) {
      EXPECT_EQ(l.data[i], 255);
      EXPECT_EQ(l.data[i + 1], 0);
      EXPECT_EQ(l.data[i + 3], 255);
    }
  }
  // Uncompressed images pass through unchanged.
  const Image solid = MakeSolidImage(2, 2, 0x11223344u);
  EXPECT_EQ(DecompressImage(solid).levels[0].data, solid.levels[0].data);
  EXPECT_EQ(solid.levels[0].data[0], 0x11);
  EXPECT_EQ(solid.levels[0].data[3], 0x44);
}

}  // namespace
}  // namespace gfx
