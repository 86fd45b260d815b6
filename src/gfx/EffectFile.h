#pragma once
// The parsed form of an effect file (format: fx/README.md). Parsing needs no
// device; both backends build their effects from it.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Effect.h"

namespace gfx {

struct EffectAnnotationDecl {
  std::string name;
  ParameterType type = ParameterType::Int;  // Int, Float..Float4, Bool or String
  float f[4] = {0, 0, 0, 0};                // numeric value(s)
  int i = 0;                                // integer (and bool) value
  std::string s;
  int line = 0;
};

enum class TextureFilter : std::uint8_t { Point, Linear };
enum class MipFilter : std::uint8_t { None, Point, Linear };
enum class TextureAddress : std::uint8_t { Wrap, Clamp, Mirror, Border };

struct EffectParameterDecl {
  std::string name;
  ParameterType type = ParameterType::Float;
  int elements = 0;  // 0 = not an array
  // Default value: numeric words (float bits for float types, int32 for int
  // and bool) of the whole parameter; the string default for strings.
  std::vector<std::uint32_t> words;
  std::string text;
  std::vector<EffectAnnotationDecl> annotations;
  TextureFilter filter = TextureFilter::Linear;
  MipFilter mipFilter = MipFilter::None;  // as Direct3D samplers started
  TextureAddress address = TextureAddress::Clamp;
  int line = 0;
};

struct EffectShaderDecl {
  std::string source;  // GLSL body (without the generated prelude)
  int line = 0;        // file line of the body's first line; 0 for a built-in
  std::string snippet; // name of the built-in or file shader it came from
};

struct EffectPassDecl {
  std::string name;
  std::vector<EffectAnnotationDecl> annotations;
  std::vector<std::pair<RenderState, std::uint32_t>> states;
  EffectShaderDecl vertex, fragment;
  bool hasVertex = false, hasFragment = false;
  int index = 0;  // place in its technique, MV_PASS in its shaders
  int line = 0;
};

struct EffectTechniqueDecl {
  std::string name;
  std::vector<EffectAnnotationDecl> annotations;
  std::vector<EffectPassDecl> passes;
  int line = 0;
};

struct EffectFileDecl {
  std::string sourceName;
  std::vector<std::string> includes;  // built-in snippet names
  EffectShaderDecl common;            // GLSL shared by every shader of the file
  // Preprocessor defines of every shader: the file's `defines`, overridden
  // and added to by the loader's macros.
  std::vector<EffectMacro> defines;
  std::vector<EffectParameterDecl> parameters;
  std::vector<EffectTechniqueDecl> techniques;
};

// Words of one element of a type (float4x4 = 16); 0 for strings and textures.
int ParameterTypeWords(ParameterType t);
bool ParameterTypeFromName(std::string_view name, ParameterType* out);

// Parses an effect file. On failure returns false and sets *error to
// "<sourceName>:<line>: <what is wrong>" (naming the technique and pass when
// the fault is inside one). Input size is capped (1 MiB). `macros` are the
// loader's defines: they override the file's and decide repeated passes.
bool ParseEffectFile(std::string_view text, const std::string& sourceName, EffectFileDecl* out, std::string* error,
                     std::span<const EffectMacro> macros = {});

// Built-in GLSL snippets, by name ("quad", "lighting", …); null if unknown.
struct EffectSnippet {
  const char* name;
  const char* stage;  // "vertex", "fragment" or "any" (an include)
  const char* source;
};
const EffectSnippet* FindEffectSnippet(std::string_view name);

}  // namespace gfx
