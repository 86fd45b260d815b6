#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "effects/SkyBoxManager.h"
#include "gui/Dialog.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

}  // namespace

TEST(SkyBoxManager, DefaultsAndTable) {
  SkyBoxManager m;
  EXPECT_EQ(m.GetType(), 1);
  EXPECT_EQ(m.GetCurrentIndex(), 0);
  EXPECT_TRUE(m.IsEnabled());
  EXPECT_EQ(m.GetScale(), glm::vec3(100.0f));
  EXPECT_EQ(m.GetRotation(), glm::vec3(0.0f));
  EXPECT_EQ(m.GetRotationSpeed(), glm::vec3(0.0f));
  EXPECT_EQ(m.GetCamera(), nullptr);
  EXPECT_STREQ(SkyBoxManager::PanelText(4), "(C)urrent skybox: Sky 5");
  EXPECT_EQ(mv::io::FixedView(m.GetEntry(3).meshFile, 260), u"media\\skybox\\cell.x");
  EXPECT_STREQ(m.GetEntry(3).technique, "RenderSkyBox2D");
  EXPECT_STREQ(m.GetEntry(8).technique, "RenderSkyBox");
  // Rows 4 to 8 share one cube map.
  for (int r = 5; r <= 8; ++r)
    EXPECT_EQ(mv::io::FixedView(m.GetEntry(r).cubeMapFile, 260), mv::io::FixedView(m.GetEntry(4).cubeMapFile, 260));
  EXPECT_EQ(mv::io::FixedView(m.GetEntry(4).cubeMapFile, 260), u"media\\skybox\\Light Probes\\nuclear_cross.dds");
}

TEST(SkyBoxManager, SectionLayoutByteForByte) {
  SkyBoxManager m;
  CDXUTDialog panel;
  panel.SetLocation(-3, 258);
  panel.SetMinimized(false);
  m.SetPanel(&panel);
  ASSERT_EQ(m.LoadSkyBox(4), 0);  // "Sky 5"
  m.SetEnabled(false);
  m.SetScale({1.0f, 2.0f, -1.0f});
  m.SetRotation({0.5f, 0.0f, 0.0f});
  m.SetRotationSpeed({0.0f, 0.0f, 0.25f});
  std::ostringstream os;
  m.Write(os);
  const std::string expected = Bytes({
      0xFD, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 0x00, 0x00, 0x00,  // panel x, y, minimized
      0x04, 0x00, 0x00, 0x00,                                // current index
      0x00,                                                  // enabled
      0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xBF,  // scale
      0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // rotation
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3E,  // speed
  });
  EXPECT_EQ(os.str(), expected);
  EXPECT_EQ(os.str().size(), mv::effects::kPanelPrefsSize + mv::effects::kSkyBoxFieldsSize);
}

TEST(SkyBoxManager, DefaultSectionWithoutPanel) {
  SkyBoxManager m;
  std::ostringstream os;
  m.Write(os);
  const std::string expected = Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                      0x00, 0x00, 0xC8, 0x42, 0x00, 0x00, 0xC8, 0x42, 0x00, 0x00, 0xC8, 0x42,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(os.str(), expected);
}

TEST(SkyBoxManager, RoundTripSetsCurrentRotationAndLoads) {
  SkyBoxManager a, b;
  CDXUTDialog pa, pb;
  pa.SetLocation(12, 34);
  a.SetPanel(&pa);
  b.SetPanel(&pb);
  a.LoadSkyBox(7);
  a.SetEnabled(false);
  a.SetScale({3.0f, 4.0f, 5.0f});
  a.SetRotation({0.1f, 0.2f, 0.3f});
  a.SetRotationSpeed({-1.0f, 0.0f, 1e-7f});
  std::stringstream ss;
  a.Write(ss);
  mv::io::WriteI32(ss, 99);  // the next section's tag
  const int loadsBefore = b.GetLoadCount();
  b.Read(ss);
  ASSERT_TRUE(mv::io::Good(ss));
  EXPECT_EQ(b.GetCurrentIndex(), 7);
  EXPECT_EQ(b.GetLoadCount(), loadsBefore + 1);
  EXPECT_FALSE(b.IsEnabled());
  EXPECT_EQ(b.GetScale(), a.GetScale());
  EXPECT_EQ(b.GetRotation(), a.GetRotation());
  EXPECT_EQ(b.GetRotationSpeed(), a.GetRotationSpeed());
  EXPECT_EQ(b.GetCurrentRotation(), a.GetRotation());
  EXPECT_EQ(pb.GetX(), 12);
  EXPECT_EQ(pb.GetY(), 34);
  std::int32_t next = 0;
  ASSERT_TRUE(mv::io::ReadI32(ss, next));
  EXPECT_EQ(next, 99);
  // Written again, the section is the same bytes.
  std::ostringstream again, first;
  a.Write(first);
  b.SetPanel(&pa);
  b.Write(again);
  EXPECT_EQ(again.str(), first.str());
}

TEST(SkyBoxManager, FailedStreamLeavesManagerUnchanged) {
  SkyBoxManager m;
  CDXUTDialog panel;
  panel.SetLocation(5, 6);
  m.SetPanel(&panel);
  m.LoadSkyBox(2);
  m.SetScale({7.0f, 8.0f, 9.0f});
  const int loads = m.GetLoadCount();

  SkyBoxManager source;
  source.LoadSkyBox(5);
  std::stringstream ss;
  source.Write(ss);
  ss.setstate(std::ios::failbit);
  m.Read(ss);
  EXPECT_EQ(m.GetCurrentIndex(), 2);
  EXPECT_EQ(m.GetScale(), glm::vec3(7.0f, 8.0f, 9.0f));
  EXPECT_EQ(m.GetLoadCount(), loads);
  EXPECT_EQ(panel.GetX(), 5);
  EXPECT_EQ(panel.GetY(), 6);
}

TEST(SkyBoxManager, StreamEndingInsideSectionLeavesFieldsUnchanged) {
  // Cases: only the panel preferences; preferences and part of the fields.
  for (std::size_t keep : {std::size_t{9}, std::size_t{20}, std::size_t{49}}) {
    SkyBoxManager source;
    source.LoadSkyBox(6);
    source.SetScale({1.0f, 1.0f, 1.0f});
    std::ostringstream os;
    source.Write(os);
    std::istringstream is(os.str().substr(0, keep));
    SkyBoxManager m;
    m.Read(is);
    EXPECT_FALSE(mv::io::Good(is)) << keep;
    EXPECT_EQ(m.GetCurrentIndex(), 0) << keep;
    EXPECT_EQ(m.GetScale(), glm::vec3(100.0f)) << keep;
    EXPECT_EQ(m.GetLoadCount(), 0) << keep;
  }
}

TEST(SkyBoxManager, RowOutsideTableIsRefused) {
  for (std::int32_t row : {-1, 9, 10, 0x7FFFFFFF}) {
    SkyBoxManager source;
    std::ostringstream os;
    source.Write(os);
    std::string bytes = os.str();
    for (int i = 0; i < 4; ++i) bytes[9 + i] = static_cast<char>((static_cast<std::uint32_t>(row) >> (8 * i)) & 0xFF);
    SkyBoxManager m;
    m.LoadSkyBox(3);
    std::istringstream is(bytes);
    m.Read(is);
    EXPECT_TRUE(mv::io::Good(is));
    EXPECT_EQ(m.GetCurrentIndex(), 3) << row;
    EXPECT_NE(m.LoadSkyBox(row), 0);
  }
}
