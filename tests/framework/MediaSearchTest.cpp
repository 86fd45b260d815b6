#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "framework/MediaSearch.h"

namespace {

namespace fs = std::filesystem;

class MediaSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = fs::current_path();
    m_root = fs::temp_directory_path() / ("fw_media_" + std::to_string(::getpid()));
    fs::create_directories(m_root / "media" / "particles");
    fs::create_directories(m_root / "fx");
    std::ofstream(m_root / "media" / "particles" / "Spark.dds") << "x";
    std::ofstream(m_root / "fx" / "reflectori.fxo") << "y";
    fs::current_path(m_root);
  }
  void TearDown() override {
    fs::current_path(m_old);
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  fs::path m_old;
  fs::path m_root;
};

TEST_F(MediaSearch, FindsWindowsPathsInTheWorkingFolder) {
  fs::path out;
  ASSERT_EQ(fw::FindMediaFile(std::string_view("fx\\reflectori.fxo"), &out), gfx::S_OK);
  EXPECT_TRUE(fs::equivalent(out, m_root / "fx" / "reflectori.fxo"));
  // Components that differ only in case still match.
  ASSERT_EQ(fw::FindMediaFile(std::u16string_view(u"Media\\Particles\\spark.DDS"), &out), gfx::S_OK);
  EXPECT_TRUE(fs::equivalent(out, m_root / "media" / "particles" / "Spark.dds"));
}

TEST_F(MediaSearch, MissingFilesFoldersAndBadNamesAreRefused) {
  fs::path out;
  EXPECT_EQ(fw::FindMediaFile(std::string_view("fx\\missing.fxo"), &out), fw::ERR_MEDIANOTFOUND);
  EXPECT_EQ(out, fs::path("fx/missing.fxo"));
  EXPECT_EQ(fw::FindMediaFile(std::string_view("media\\particles"), &out), fw::ERR_MEDIANOTFOUND);
  EXPECT_EQ(fw::FindMediaFile(std::string_view(""), &out), fw::E_INVALIDARG);
  const std::u16string tooLong(260, u'a');
  EXPECT_EQ(fw::FindMediaFile(std::u16string_view(tooLong), &out), fw::E_INVALIDARG);
  const std::u16string longest(259, u'a');
  EXPECT_EQ(fw::FindMediaFile(std::u16string_view(longest), &out), fw::ERR_MEDIANOTFOUND);
  EXPECT_EQ(fw::FindMediaFile(std::string_view("fx\0x", 4), &out), fw::E_INVALIDARG);
}

TEST_F(MediaSearch, FallsBackToTheExecutableFolder) {
  const fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
  const std::string name = "fw_exe_media_" + std::to_string(::getpid());
  fs::create_directories(exeDir / name);
  std::ofstream(exeDir / name / "Track.wav") << "z";
  fs::path out;
  const gfx::HRESULT hr = fw::FindMediaFile(std::string_view(name + "\\track.wav"), &out);
  std::error_code ec;
  const bool same = fs::equivalent(out, exeDir / name / "Track.wav", ec);
  fs::remove_all(exeDir / name, ec);
  EXPECT_EQ(hr, gfx::S_OK);
  EXPECT_TRUE(same);
}

}  // namespace
