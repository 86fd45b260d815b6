#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gfx/XFile.h"
#include "gfx/XFileCheck.h"
#include "support/TempWorkDir.h"

namespace gfx {
namespace {

const std::filesystem::path kRealX = std::filesystem::path(MV_SHARED_TESTDATA) / "x";

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Put16(std::string& s, std::uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& s, std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// A text file re-encoded as MSZIP ("tzip"), as compressed .x files are.
std::string Compress(const std::string& text) {
  const std::string body = text.substr(16);
  std::string out = "xof 0303tzip0032";
  Put32(out, static_cast<std::uint32_t>(text.size()));
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  const std::size_t kBlock = 32768;
  for (std::size_t at = 0; at < body.size(); at += kBlock) {
    const std::size_t n = std::min(kBlock, body.size() - at);
    std::string packed(compressBound(static_cast<uLong>(n)) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + at));
    z.avail_in = static_cast<uInt>(n);
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(packed.size() - z.avail_out);
    deflateReset(&z);
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(body.data() + at), static_cast<uInt>(n));
    Put16(out, static_cast<std::uint16_t>(n));
    Put16(out, static_cast<std::uint16_t>(packed.size() + 2));
    out += "CK";
    out += packed;
  }
  deflateEnd(&z);
  return out;
}

// Binary tokens: a mesh of `vertices` and one skin weight on vertex `index`.
std::string BinarySkin(std::uint32_t vertices, std::uint32_t index) {
  std::string s = "xof 0303bin 0032";
  auto name = [&](const std::string& n, std::uint16_t token = 1) {
    Put16(s, token);
    Put32(s, static_cast<std::uint32_t>(n.size()));
    s += n;
    if (token == 2) Put16(s, 0x14);
  };
  name("Mesh");
  name("M");
  Put16(s, 0x0a);
  Put16(s, 6);
  Put32(s, 1);
  Put32(s, vertices);
  name("SkinWeights");
  Put16(s, 0x0a);
  name("bone", 2);
  Put16(s, 6);
  Put32(s, 2);
  Put32(s, 1);
  Put32(s, index);
  Put16(s, 0x0b);
  Put16(s, 0x0b);
  return s;
}

TEST(XFileCheck, RealFilesPassAndOutOfRangeWeightsDoNot) {
  const struct {
    const char* file;
    bool ok;
  } cases[] = {{"test_cube_text.x", true},         {"test_cube_binary.x", true}, {"test_cube_compressed.x", true},
               {"kwxport_test_cubewithvcolors.x", true}, {"anim_test.x", true},  {"malformed_skinweights_oob.x", false}};
  for (const auto& c : cases) {
    std::string why;
    EXPECT_EQ(detail::CheckXFileForImporter(Slurp(kRealX / c.file), &why), c.ok) << c.file << ": " << why;
    if (!c.ok) {
      EXPECT_NE(why.find("vertex"), std::string::npos) << why;
    }
  }
}

TEST(XFileCheck, CompressedFilesAreCheckedInflated) {
  mv::test::TempWorkDir work;
  const std::string good = Compress(Slurp(kRealX / "test_cube_text.x"));
  EXPECT_TRUE(detail::CheckXFileForImporter(good, nullptr));
  // The importer reads our encoding as we do.
  work.Write("good.x", good);
  std::shared_ptr<const XFileData> d;
  std::string err;
  ASSERT_EQ(ParseXFile(work.Path() / "good.x", &d, &err), S_OK) << err;
  EXPECT_EQ(d->meshes.at(0).indices.size(), 36u);
  const std::string bad = Compress(Slurp(kRealX / "malformed_skinweights_oob.x"));
  std::string why;
  EXPECT_FALSE(detail::CheckXFileForImporter(bad, &why));
  EXPECT_NE(why.find("vertex"), std::string::npos) << why;
  work.Write("bad.x", bad);
  EXPECT_EQ(ParseXFile(work.Path() / "bad.x", &d, &err), E_FAIL);
  // Damaged blocks.
  std::string broken = good;
  broken[16 + 4 + 4] = 'X';  // the "CK"
  EXPECT_FALSE(detail::CheckXFileForImporter(broken, nullptr));
  EXPECT_FALSE(detail::CheckXFileForImporter(good.substr(0, 30), nullptr));
  EXPECT_FALSE(detail::CheckXFileForImporter(std::string("xof 0303tzip0032\x01\x02"), nullptr));
}

TEST(XFileCheck, BinaryWeightsAreCheckedAgainstTheirMesh) {
  const struct {
    std::uint32_t vertices, index;
    bool ok;
  } cases[] = {{3, 0, true}, {3, 2, true}, {3, 3, false}, {3, 0xFFFFFFFFu, false}, {1, 0, true}};
  for (const auto& c : cases)
    EXPECT_EQ(detail::CheckXFileForImporter(BinarySkin(c.vertices, c.index), nullptr), c.ok)
        << c.vertices << " " << c.index;
  // A token cut short fails rather than read past the end.
  const std::string whole = BinarySkin(3, 0);
  for (std::size_t cut : {18u, 21u, 40u}) {
    std::string why;
    EXPECT_FALSE(detail::CheckXFileForImporter(whole.substr(0, cut), &why)) << cut;
    EXPECT_NE(why.find("past the end"), std::string::npos) << why;
  }
}

TEST(XFileCheck, TextWeightsAreCheckedAgainstTheirOwnMesh) {
  const std::string head = "xof 0303txt 0032\n";
  const std::string tmpl = "template SkinWeights { <6f0d123b-bad2-4167-a0d0-80224f25fabb> STRING n; DWORD k; }\n";
  auto mesh = [](int vertices, int index) {
    return "Mesh m { " + std::to_string(vertices) + "; 0;0;0;; 1; 3;0,0,0;; SkinWeights { \"b\"; 1; " +
           std::to_string(index) + "; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\n";
  };
  const struct {
    std::string body;
    bool ok;
  } cases[] = {
      {tmpl + mesh(4, 3), true},
      {tmpl + mesh(4, 4), false},
      {mesh(10, 9) + mesh(2, 5), false},  // each weight against its own mesh
      {mesh(2, 1) + "// SkinWeights { \"b\"; 1; 99; }\n", true},
      {mesh(3, -1), false},
      {"Frame f { }\n", true},
      {"Mesh m { 3; 0;0;0;,0;0;0;,0;0;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;1;0;; 1; 3;0,0,0;; } }\n", true},
      {"Mesh m { 3; 0;0;0;,0;0;0;,0;0;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;1;0;; 1; 3;0,0,1;; } }\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(detail::CheckXFileForImporter(head + c.body, nullptr), c.ok) << c.body;
  EXPECT_FALSE(detail::CheckXFileForImporter("", nullptr));
  EXPECT_FALSE(detail::CheckXFileForImporter("xof 0303zzz 0032", nullptr));
}

}  // namespace
}  // namespace gfx
