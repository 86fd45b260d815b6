#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/EffectFile.h"
#include "gfx/RecordingDevice.h"

namespace gfx {
namespace {

const char* const kGood = R"(
include = ["lighting"]
common = '''
float twice(float x) { return 2.0 * x; }
'''

[shaders]
red = '''
void main() { mv_Target0 = vec4(1.0, 0.0, 0.0, 1.0); }
'''

[[parameter]]
name = "g_fScale"
type = "float"
default = 0.5
annotations = { UIName = "Scale" }

[[parameter]]
name = "g_vKernel"
type = "float2"
elements = 3
default = [[1, 2], [3, 4], [5, 6]]
annotations = { ConvertPixelsToTexels = "g_vKernelPixels" }

[[parameter]]
name = "g_mWorld"
type = "float4x4"

[[parameter]]
name = "g_iCount"
type = "int"
default = 7

[[parameter]]
name = "g_bOn"
type = "bool"
default = true

[[parameter]]
name = "g_sName"
type = "string"
default = "hello"

[[parameter]]
name = "g_txScene"
type = "texture"

[[parameter]]
name = "g_txEnvMap"
type = "cube texture"

[[technique]]
name = "Broken"

[[technique.pass]]
fragment = "@red"

[[technique]]
name = "PostProcess"
annotations = { nRenderTarget = 2, Parameter0 = "g_fScale", Parameter0Size = 1, Parameter0Def = [0.25, 0, 0, 0], fWhole = 3 }

[[technique.pass]]
annotations = { fScaleX = 0.25, fScaleY = 0.5 }
states = { ZEnable = false, CullMode = "none", SrcBlend = "srcalpha", DestBlend = 6, PointSize = 2.5 }
vertex = "@quad"
fragment = "@red"

[[technique.pass]]
name = "Second"
vertex = "@quad"
fragment = '''
void main() { mv_Target0 = vec4(g_fScale); }
'''
)";

TEST(EffectParse, ReadsParametersTechniquesPassesAndAnnotations) {
  EffectFileDecl d;
  std::string err;
  ASSERT_TRUE(ParseEffectFile(kGood, "good.fxo", &d, &err)) << err;
  ASSERT_EQ(d.parameters.size(), 8u);
  EXPECT_EQ(d.parameters[0].name, "g_fScale");
  EXPECT_EQ(BitsFloat(d.parameters[0].words[0]), 0.5f);
  EXPECT_EQ(d.parameters[1].type, ParameterType::Float2);
  EXPECT_EQ(d.parameters[1].elements, 3);
  ASSERT_EQ(d.parameters[1].words.size(), 6u);
  EXPECT_EQ(BitsFloat(d.parameters[1].words[5]), 6.0f);
  EXPECT_EQ(d.parameters[2].words.size(), 16u);
  EXPECT_EQ(d.parameters[3].words[0], 7u);
  EXPECT_EQ(d.parameters[4].words[0], 1u);
  EXPECT_EQ(d.parameters[5].text, "hello");
  EXPECT_EQ(d.parameters[7].type, ParameterType::CubeTexture);
  EXPECT_EQ(d.parameters[6].filter, TextureFilter::Linear);
  EXPECT_EQ(d.parameters[6].mipFilter, MipFilter::None);
  EXPECT_EQ(d.parameters[6].address, TextureAddress::Clamp);
  ASSERT_EQ(d.techniques.size(), 2u);
  EXPECT_EQ(d.techniques[0].name, "Broken");
  EXPECT_FALSE(d.techniques[0].passes[0].hasVertex);
  const EffectTechniqueDecl& t = d.techniques[1];
  ASSERT_EQ(t.passes.size(), 2u);
  EXPECT_EQ(t.passes[0].name, "P0");
  EXPECT_EQ(t.passes[1].name, "Second");
  ASSERT_EQ(t.passes[0].states.size(), 5u);
  auto state = [&](RenderState rs) {
    for (const auto& [k, v] : t.passes[0].states)
      if (k == rs) return v;
    ADD_FAILURE() << RenderStateName(rs) << " missing";
    return 0u;
  };
  EXPECT_EQ(state(RenderState::ZEnable), 0u);
  EXPECT_EQ(state(RenderState::CullMode), CULL_NONE);
  EXPECT_EQ(state(RenderState::SrcBlend), BLEND_SRCALPHA);
  EXPECT_EQ(state(RenderState::DestBlend), BLEND_INVSRCALPHA);
  EXPECT_EQ(BitsFloat(state(RenderState::PointSize)), 2.5f);
  EXPECT_EQ(t.passes[0].vertex.snippet, "quad");
  EXPECT_EQ(t.passes[0].fragment.snippet, "red");
  // The inline shader's first line is the line after the opening quotes.
  std::string text = kGood;
  int line = 1;
  for (std::size_t i = 0; i < text.find("void main() { mv_Target0 = vec4(g_fScale)"); ++i) line += text[i] == '\n';
  EXPECT_EQ(t.passes[1].fragment.line, line);
  EXPECT_EQ(d.includes, std::vector<std::string>{"lighting"});
  EXPECT_NE(d.common.source.find("twice"), std::string::npos);
}

struct BadCase {
  const char* what;
  const char* text;
  int line;
  const char* message;  // must appear in the error
};

const BadCase kBad[] = {
    {"toml syntax", "[[parameter]]\nname = \"a\"\ntype = \n", 3, "bad.fxo:3:"},
    {"unknown type", "\n[[parameter]]\nname = \"a\"\ntype = \"float5\"\n", 2, "unknown type 'float5'"},
    {"missing name", "[[parameter]]\ntype = \"float\"\n", 1, "missing 'name'"},
    {"bad identifier", "[[parameter]]\nname = \"gl_x\"\ntype = \"float\"\n", 1, "not a valid identifier"},
    {"duplicate", "[[parameter]]\nname = \"a\"\ntype = \"float\"\n[[parameter]]\nname = \"a\"\ntype = \"int\"\n", 4,
     "declared twice"},
    {"default size", "[[parameter]]\nname = \"a\"\ntype = \"float4\"\ndefault = [1, 2]\n", 4, "needs 4 values, has 2"},
    {"default too long", "[[parameter]]\nname = \"a\"\ntype = \"float2\"\ndefault = [1, 2, 3]\n", 4, "too many"},
    {"unknown root key", "\n\ntechniques = 3\n", 3, "unknown key 'techniques'"},
    {"bad annotation", "[[parameter]]\nname = \"a\"\ntype = \"float\"\nannotations = { x = [1,2,3,4,5] }\n", 4,
     "1 to 4 numbers"},
    {"technique without pass", "[[technique]]\nname = \"T\"\n", 1, "technique 'T' has no pass"},
    {"unknown state", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nstates = { Zenable = true }\n", 4,
     "technique 'T' pass 0: unknown render state 'Zenable'"},
    {"bad state value", "[[technique]]\nname = \"T\"\n[[technique.pass]]\n\n states = { CullMode = \"sideways\" }\n", 5,
     "technique 'T' pass 0: bad value for render state 'CullMode'"},
    {"state number out of range", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nstates = { AlphaRef = 300 }\n", 4,
     "technique 'T' pass 0: bad value for render state 'AlphaRef'"},
    {"negative point size", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nstates = { PointSize = -2.0 }\n", 4,
     "technique 'T' pass 0: bad value for render state 'PointSize'"},
    {"unknown snippet", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nvertex = \"@nothing\"\n", 4,
     "technique 'T' pass 0: no vertex shader named 'nothing'"},
    {"wrong stage snippet", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nvertex = \"@copy\"\n", 4,
     "no vertex shader named 'copy'"},
    {"unknown include", "include = [\"nope\"]\n", 1, "no snippet named 'nope'"},
    {"sampler on float", "[[parameter]]\nname = \"a\"\ntype = \"float\"\nfilter = \"point\"\n", 1, "belong to textures"},
    {"int array", "[[parameter]]\nname = \"a\"\ntype = \"int\"\nelements = 2\n", 4, "only float types"},
    {"huge array", "[[parameter]]\nname = \"a\"\ntype = \"float4\"\nelements = 100000000\n", 4, "elements must be"},
    {"control character", "[[parameter]]\nname = \"a\"\ntype = \"float\"\n[[\x01]]\n", 4, "control character 1"},
    {"second pass named", "[[technique]]\nname = \"T\"\n[[technique.pass]]\n[[technique.pass]]\nname = 3\n", 5,
     "'name' must be a string"},
    {"repeat of an undefined name", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nrepeat = \"N\"\n", 4,
     "technique 'T' pass 0: 'repeat' names 'N', which is not defined"},
    {"repeat of a word", "defines = { N = \"two\" }\n[[technique]]\nname = \"T\"\n[[technique.pass]]\nrepeat = \"N\"\n", 5,
     "whose value 'two' is not a number"},
    {"repeat of none", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nrepeat = 0\n", 4, "'repeat' must be 1 to 16"},
    {"repeat too often", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nrepeat = 17\n", 4, "'repeat' must be 1 to 16"},
    {"define of the loader's own", "defines = { MV_PASS = 1 }\n", 1, "bad define name 'MV_PASS'"},
    {"define as a table", "defines = { N = { x = 1 } }\n", 1, "must be an integer or a string"},
    {"define that opens a comment", "defines = { N = \"1 /* x\" }\n", 1, "bad value for define 'N'"},
    {"repeated passes clash by name", "[[technique]]\nname = \"T\"\n[[technique.pass]]\nname = \"A\"\nrepeat = 2\n"
     "[[technique.pass]]\nname = \"A1\"\n", 6, "two passes named 'A1'"},
};

class EffectParseErrors : public ::testing::TestWithParam<BadCase> {};

TEST_P(EffectParseErrors, NameFileLineAndFault) {
  const BadCase& c = GetParam();
  EffectFileDecl d;
  std::string err;
  EXPECT_FALSE(ParseEffectFile(c.text, "bad.fxo", &d, &err)) << c.what;
  EXPECT_EQ(err.rfind("bad.fxo:" + std::to_string(c.line) + ":", 0), 0u) << c.what << ": " << err;
  EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
}

INSTANTIATE_TEST_SUITE_P(Table, EffectParseErrors, ::testing::ValuesIn(kBad));

// A pass repeated by a number or by a define, which the loader's macros
// override: each copy knows its place (MV_PASS in its shaders), unnamed
// copies are P0, P1, …, named ones get their number after the name.
TEST(EffectParse, RepeatedPassesFollowTheDefines) {
  const char* text = R"fx(
defines = { PASSES = 2, TINT = "vec3(1.0)" }
[[technique]]
name = "T"
[[technique.pass]]
repeat = "PASSES"
[[technique.pass]]
name = "Last"
[[technique]]
name = "U"
[[technique.pass]]
name = "Q"
repeat = 3
)fx";
  const struct {
    std::vector<EffectMacro> macros;
    std::vector<std::string> passes;
    std::string tint;
  } cases[] = {
      {{}, {"P0", "P1", "Last"}, "vec3(1.0)"},
      {{{"PASSES", "1"}}, {"P0", "Last"}, "vec3(1.0)"},
      {{{"PASSES", "3"}, {"TINT", "vec3(0.5)"}, {"EXTRA", ""}}, {"P0", "P1", "P2", "Last"}, "vec3(0.5)"},
  };
  for (const auto& c : cases) {
    EffectFileDecl d;
    std::string err;
    ASSERT_TRUE(ParseEffectFile(text, "r.fxo", &d, &err, c.macros)) << err;
    ASSERT_EQ(d.techniques.size(), 2u);
    const auto& t = d.techniques[0].passes;
    ASSERT_EQ(t.size(), c.passes.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].name, c.passes[i]);
      EXPECT_EQ(t[i].index, static_cast<int>(i));
    }
    const auto& u = d.techniques[1].passes;
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[2].name, "Q2");
    EXPECT_EQ(u[2].index, 2);
    std::string tint;
    for (const EffectMacro& m : d.defines)
      if (m.name == "TINT") tint = m.value;
    EXPECT_EQ(tint, c.tint);
    EXPECT_EQ(d.defines.size(), c.macros.size() == 3 ? 3u : 2u);
  }
  // A macro the shaders could not take is refused.
  std::string err;
  const std::vector<EffectMacro> bad = {{"BAD", "1\nvoid"}};
  EXPECT_FALSE(ParseEffectFile(text, "r.fxo", nullptr, &err, bad));
  EXPECT_NE(err.find("bad value for macro 'BAD'"), std::string::npos) << err;
}

TEST(EffectParse, StrayByteInATableHeaderIsAnError) {
  std::string err;
  EXPECT_FALSE(ParseEffectFile("[!shaders]\nx = 'a'\n", "odd.fxo", nullptr, &err));
  EXPECT_EQ(err.rfind("odd.fxo:", 0), 0u) << err;
}

TEST(EffectParse, NonAsciiInCommentsAndBasicStringsOnly) {
  std::string err;
  EffectFileDecl d;
  // Accented text in comments and "..." strings is kept (strings intact).
  ASSERT_TRUE(ParseEffectFile("# caf\xc3\xa9\n[[parameter]]\nname = \"a\"\ntype = \"string\"\n"
                              "default = \"\xc3\xa9t\xc3\xa9 \\\" \xf0\x9f\x8e\xb5\"\n"
                              "annotations = { d = \"\xef\xb9\xbf\" } # \xcd\x83\n",
                              "u.fxo", &d, &err))
      << err;
  EXPECT_EQ(d.parameters[0].text, "\xc3\xa9t\xc3\xa9 \" \xf0\x9f\x8e\xb5");
  EXPECT_EQ(d.parameters[0].annotations[0].s, "\xef\xb9\xbf");
  struct {
    const char* text;
    int line;
  } bad[] = {{"\n\xef\xb9\xbf = 1\n", 2},
             {"x = 'caf\xc3\xa9'\n", 1},
             {"\n\nx = \"\xc3\"\n", 3},  // broken UTF-8
             {"x = \"\xed\xa0\x80\"\n", 1},  // a surrogate
             {"include =+[\"ligh\xcd\x83||\"]\n", 0}};
  for (const auto& b : bad) {
    EXPECT_FALSE(ParseEffectFile(b.text, "u.fxo", nullptr, &err)) << b.text;
    if (b.line) {
      EXPECT_EQ(err.rfind("u.fxo:" + std::to_string(b.line) + ":", 0), 0u) << err;
    }
  }
}

TEST(EffectParse, RefusesOversizedInput) {
  std::string big(2u << 20, '#');
  std::string err;
  EXPECT_FALSE(ParseEffectFile(big, "big.fxo", nullptr, &err));
  EXPECT_NE(err.find("too large"), std::string::npos);
}

TEST(EffectParse, ShippedExampleLoads) {
  auto dev = CreateRecordingDevice(64, 64);
  std::shared_ptr<Effect> fx;
  std::string err;
  ASSERT_EQ(dev->CreateEffectFromFile(std::string(MV_SOURCE_DIR) + "/fx/Copy.fxo", &fx, &err), S_OK) << err;
  TechniqueHandle t = fx->GetTechniqueByName("PostProcess");
  ASSERT_TRUE(t);
  int rt = -1;
  EXPECT_EQ(fx->GetInt(fx->GetAnnotationByName(t, "nRenderTarget"), &rt), S_OK);
  EXPECT_EQ(rt, 0);
  EXPECT_TRUE(fx->GetParameterByName("g_txSrcColor"));
}

TEST(EffectParse, MissingFileNamesIt) {
  auto dev = CreateRecordingDevice(64, 64);
  std::shared_ptr<Effect> fx;
  std::string err;
  EXPECT_EQ(dev->CreateEffectFromFile("/nonexistent/x.fxo", &fx, &err), ERR_NOTFOUND);
  EXPECT_FALSE(fx);
  EXPECT_NE(err.find("/nonexistent/x.fxo"), std::string::npos);
}

}  // namespace
}  // namespace gfx
