// Textures from files through the image loaders, on the recording device
// (its textures keep their texels in memory).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "gfx/Dds.h"
#include "gfx/Image.h"
#include "gfx/RecordingDevice.h"
#include "support/GLTestContext.h"

namespace gfx {
namespace {

class TextureFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("mv_texfile_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir);
    dev = CreateRecordingDevice(8, 8);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string p = (dir / name).string();
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  static std::uint32_t Word(const LockedRect& lr, int x, int y) {
    std::uint32_t w;
    std::memcpy(&w, static_cast<const std::uint8_t*>(lr.bits) + y * lr.pitch + x * 4, 4);
    return w;
  }
  std::filesystem::path dir;
  std::unique_ptr<RecordingDevice> dev;
};

TEST_F(TextureFileTest, PngLoadsTopRowFirstAsARGBWords) {
  std::vector<std::uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 1, 2, 3, 4};
  std::string p = (dir / "t.png").string();
  ASSERT_TRUE(mvtest::WritePng(p, 2, 2, rgba));
  std::shared_ptr<Texture> t;
  ASSERT_EQ(dev->CreateTextureFromFile(p, &t), S_OK);
  ASSERT_EQ(t->GetLevelCount(), 1);
  EXPECT_EQ(t->GetLevelDesc(0).format, Format::A8R8G8B8);
  LockedRect lr;
  ASSERT_EQ(t->LockRect(0, &lr, LOCK_READONLY), S_OK);
  EXPECT_EQ(Word(lr, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(Word(lr, 1, 0), 0x8000FF00u);
  EXPECT_EQ(Word(lr, 0, 1), 0xFF0000FFu);
  EXPECT_EQ(Word(lr, 1, 1), 0x04010203u);
  t->UnlockRect(0);
}

TEST_F(TextureFileTest, CubeDdsLoadsEveryFaceInOrder) {
  Image img;
  img.width = img.height = 4;
  img.faces = 6;
  img.mipLevels = 1;
  for (int f = 0; f < 6; ++f) {
    ImageLevel l;
    l.width = l.height = 4;
    l.data.assign(64, 0);
    for (int i = 0; i < 16; ++i) {
      l.data[i * 4] = static_cast<std::uint8_t>(f * 40);
      l.data[i * 4 + 3] = 255;
    }
    img.levels.push_back(l);
  }
  std::string p = Write("cube.dds", WriteDds(img));
  std::shared_ptr<CubeTexture> c;
  ASSERT_EQ(dev->CreateCubeTextureFromFile(p, &c), S_OK);
  for (int f = 0; f < 6; ++f) {
    LockedRect lr;
    ASSERT_EQ(c->LockRect(static_cast<CubeFace>(f), 0, &lr, LOCK_READONLY), S_OK);
    EXPECT_EQ(Word(lr, 3, 3), 0xFF000000u | (static_cast<std::uint32_t>(f * 40) << 16)) << f;
    c->UnlockRect(static_cast<CubeFace>(f), 0);
  }
  // A cube map is not a plain picture, nor the reverse.
  std::string png = (dir / "flat.png").string();
  ASSERT_TRUE(mvtest::WritePng(png, 1, 1, {1, 2, 3, 4}));
  EXPECT_EQ(dev->CreateCubeTextureFromFile(png, &c), E_FAIL);
  EXPECT_FALSE(c);
}

TEST_F(TextureFileTest, MissingAndBrokenFilesFailDistinctly) {
  std::shared_ptr<Texture> t;
  EXPECT_EQ(dev->CreateTextureFromFile((dir / "none.png").string(), &t), ERR_NOTFOUND);
  EXPECT_EQ(dev->CreateTextureFromFile(Write("junk.dds", {'D', 'D', 'S', ' ', 1, 2, 3}), &t), E_FAIL);
  EXPECT_FALSE(t);
}

}  // namespace
}  // namespace gfx
