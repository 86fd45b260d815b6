#include "gfx/EffectFile.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

// The TOML reader states some of its expectations about the input as
// assertions, which release builds turn into optimiser assumptions: a stray
// byte after '[' is then undefined behaviour. Checked always here, a broken
// expectation becomes a parse error. (Include toml++ nowhere else without the
// same guard: its parser functions are inline.)
namespace gfx::tomlguard {
[[noreturn]] void ExpectationFailed();
}
#pragma push_macro("NDEBUG")
#undef NDEBUG
#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : ::gfx::tomlguard::ExpectationFailed())
#include <toml++/toml.h>
#pragma pop_macro("NDEBUG")

namespace gfx {

namespace tomlguard {
struct Malformed {};
void ExpectationFailed() { throw Malformed{}; }
}  // namespace tomlguard

int ParameterTypeWords(ParameterType t) {
  switch (t) {
    case ParameterType::Float: return 1;
    case ParameterType::Float2: return 2;
    case ParameterType::Float3: return 3;
    case ParameterType::Float4: return 4;
    case ParameterType::Float4x4: return 16;
    case ParameterType::Int:
    case ParameterType::Bool: return 1;
    default: return 0;
  }
}

const char* ParameterTypeName(ParameterType t) {
  switch (t) {
    case ParameterType::Float: return "float";
    case ParameterType::Float2: return "float2";
    case ParameterType::Float3: return "float3";
    case ParameterType::Float4: return "float4";
    case ParameterType::Float4x4: return "float4x4";
    case ParameterType::Int: return "int";
    case ParameterType::Bool: return "bool";
    case ParameterType::String: return "string";
    case ParameterType::Texture: return "texture";
    case ParameterType::CubeTexture: return "cube texture";
  }
  return "?";
}

bool ParameterTypeFromName(std::string_view n, ParameterType* out) {
  static const struct {
    const char* name;
    ParameterType type;
  } kTypes[] = {{"float", ParameterType::Float},       {"float2", ParameterType::Float2},
                {"float3", ParameterType::Float3},     {"float4", ParameterType::Float4},
                {"vector", ParameterType::Float4},     {"float4x4", ParameterType::Float4x4},
                {"matrix", ParameterType::Float4x4},   {"int", ParameterType::Int},
                {"bool", ParameterType::Bool},         {"string", ParameterType::String},
                {"texture", ParameterType::Texture},   {"texture2d", ParameterType::Texture},
                {"cube texture", ParameterType::CubeTexture}, {"texturecube", ParameterType::CubeTexture},
                {"cube", ParameterType::CubeTexture}};
  for (const auto& t : kTypes)
    if (n == t.name) {
      *out = t.type;
      return true;
    }
  return false;
}

namespace {

constexpr std::size_t kMaxInput = 1u << 20;
constexpr int kMaxElements = 1024;

struct ParseFault {
  int line;
  std::string what;
};

int LineOf(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

[[noreturn]] void Fail(int line, std::string what) { throw ParseFault{line, std::move(what)}; }

bool IsIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 128) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return s.rfind("gl_", 0) != 0 && s.rfind("mv_", 0) != 0;
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

void CheckKeys(const toml::table& t, std::initializer_list<const char*> allowed, const char* where) {
  for (const auto& [k, v] : t) {
    bool ok = false;
    for (const char* a : allowed)
      if (k.str() == a) ok = true;
    if (!ok) Fail(LineOf(v), std::string("unknown key '") + std::string(k.str()) + "' in " + where);
  }
}

const toml::node* Get(const toml::table& t, const char* key) { return t.get(key); }

std::string GetString(const toml::table& t, const char* key, const char* where, bool required, int line) {
  const toml::node* n = Get(t, key);
  if (!n) {
    if (required) Fail(line, std::string("missing '") + key + "' in " + where);
    return {};
  }
  if (!n->is_string()) Fail(LineOf(*n), std::string("'") + key + "' must be a string");
  return std::string(*n->as_string());
}

bool NumberOf(const toml::node& n, double* out) {
  if (n.is_floating_point()) {
    *out = n.as_floating_point()->get();
    return true;
  }
  if (n.is_integer()) {
    *out = static_cast<double>(n.as_integer()->get());
    return true;
  }
  return false;
}

std::uint32_t FloatWord(double d) { return FloatBits(static_cast<float>(d)); }

void ParseAnnotations(const toml::node* n, std::vector<EffectAnnotationDecl>* out) {
  if (!n) return;
  const toml::table* t = n->as_table();
  if (!t) Fail(LineOf(*n), "'annotations' must be a table");
  for (const auto& [k, v] : *t) {
    EffectAnnotationDecl a;
    a.name = std::string(k.str());
    a.line = LineOf(v);
    if (v.is_integer()) {
      a.type = ParameterType::Int;
      std::int64_t i = v.as_integer()->get();
      a.i = static_cast<int>(std::max<std::int64_t>(INT32_MIN, std::min<std::int64_t>(INT32_MAX, i)));
      a.f[0] = static_cast<float>(a.i);
    } else if (v.is_floating_point()) {
      a.type = ParameterType::Float;
      double d = v.as_floating_point()->get();
      a.f[0] = static_cast<float>(d);
      a.i = std::isfinite(d) && std::fabs(d) < 2e9 ? static_cast<int>(d) : 0;
    } else if (v.is_boolean()) {
      a.type = ParameterType::Bool;
      a.i = v.as_boolean()->get() ? 1 : 0;
      a.f[0] = static_cast<float>(a.i);
    } else if (v.is_string()) {
      a.type = ParameterType::String;
      a.s = std::string(*v.as_string());
    } else if (const toml::array* arr = v.as_array()) {
      if (arr->empty() || arr->size() > 4)
        Fail(a.line, "annotation '" + a.name + "' must hold 1 to 4 numbers");
      for (std::size_t i = 0; i < arr->size(); ++i) {
        double d;
        if (!NumberOf((*arr)[i], &d)) Fail(a.line, "annotation '" + a.name + "' must hold numbers");
        a.f[i] = static_cast<float>(d);
      }
      static const ParameterType kT[] = {ParameterType::Float, ParameterType::Float2, ParameterType::Float3,
                                         ParameterType::Float4};
      a.type = kT[arr->size() - 1];
      a.i = std::isfinite(a.f[0]) && std::fabs(a.f[0]) < 2e9f ? static_cast<int>(a.f[0]) : 0;
    } else {
      Fail(a.line, "annotation '" + a.name + "' has an unsupported value");
    }
    out->push_back(std::move(a));
  }
}

// Collects the numbers of a (possibly nested) array into words.
void FlattenNumbers(const toml::node& n, ParameterType type, std::vector<std::uint32_t>* words, std::size_t cap,
                    int depth) {
  if (depth > 3) Fail(LineOf(n), "default nested too deeply");
  if (const toml::array* arr = n.as_array()) {
    for (const toml::node& e : *arr) FlattenNumbers(e, type, words, cap, depth + 1);
    return;
  }
  if (words->size() >= cap) Fail(LineOf(n), "default has too many values");
  double d;
  if (type == ParameterType::Bool) {
    if (n.is_boolean()) words->push_back(n.as_boolean()->get() ? 1u : 0u);
    else if (NumberOf(n, &d)) words->push_back(d != 0.0 ? 1u : 0u);
    else Fail(LineOf(n), "default must be a bool");
  } else if (type == ParameterType::Int) {
    if (!n.is_integer()) Fail(LineOf(n), "default must be an integer");
    std::int64_t i = n.as_integer()->get();
    words->push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(
        std::max<std::int64_t>(INT32_MIN, std::min<std::int64_t>(INT32_MAX, i)))));
  } else {
    if (!NumberOf(n, &d)) Fail(LineOf(n), "default must be a number");
    words->push_back(FloatWord(d));
  }
}

EffectParameterDecl ParseParameter(const toml::table& t, int line) {
  EffectParameterDecl p;
  p.line = line;
  CheckKeys(t, {"name", "type", "elements", "default", "annotations", "filter", "mipfilter", "address"}, "parameter");
  p.name = GetString(t, "name", "parameter", true, line);
  if (!IsIdentifier(p.name)) Fail(line, "parameter name '" + p.name + "' is not a valid identifier");
  std::string type = Lower(GetString(t, "type", ("parameter '" + p.name + "'").c_str(), true, line));
  if (!ParameterTypeFromName(type, &p.type)) Fail(line, "parameter '" + p.name + "' has unknown type '" + type + "'");
  if (const toml::node* e = Get(t, "elements")) {
    if (!e->is_integer() || e->as_integer()->get() < 1 || e->as_integer()->get() > kMaxElements)
      Fail(LineOf(*e), "parameter '" + p.name + "': elements must be 1 to 1024");
    int words = ParameterTypeWords(p.type);
    if (words == 0 || p.type == ParameterType::Int || p.type == ParameterType::Bool)
      Fail(LineOf(*e), "parameter '" + p.name + "': only float types form arrays");
    p.elements = static_cast<int>(e->as_integer()->get());
  }
  int words = ParameterTypeWords(p.type) * std::max(1, p.elements);
  p.words.assign(static_cast<std::size_t>(words), 0);
  if (const toml::node* d = Get(t, "default")) {
    if (p.type == ParameterType::String) {
      if (!d->is_string()) Fail(LineOf(*d), "parameter '" + p.name + "': default must be a string");
      p.text = std::string(*d->as_string());
    } else if (words == 0) {
      Fail(LineOf(*d), "parameter '" + p.name + "': a texture has no default");
    } else {
      std::vector<std::uint32_t> w;
      FlattenNumbers(*d, p.type, &w, static_cast<std::size_t>(words), 0);
      if (w.size() != static_cast<std::size_t>(words))
        Fail(LineOf(*d), "parameter '" + p.name + "': default needs " + std::to_string(words) + " values, has " +
                             std::to_string(w.size()));
      p.words = std::move(w);
    }
  }
  ParseAnnotations(Get(t, "annotations"), &p.annotations);
  bool tex = p.type == ParameterType::Texture || p.type == ParameterType::CubeTexture;
  if (Get(t, "filter") || Get(t, "mipfilter") || Get(t, "address")) {
    if (!tex) Fail(line, "parameter '" + p.name + "': sampler settings belong to textures");
    std::string f = Lower(GetString(t, "filter", "parameter", false, line));
    if (f == "point") p.filter = TextureFilter::Point;
    else if (f == "linear" || f.empty()) p.filter = TextureFilter::Linear;
    else Fail(line, "parameter '" + p.name + "': unknown filter '" + f + "'");
    std::string m = Lower(GetString(t, "mipfilter", "parameter", false, line));
    if (m == "none" || m.empty()) p.mipFilter = MipFilter::None;
    else if (m == "point") p.mipFilter = MipFilter::Point;
    else if (m == "linear") p.mipFilter = MipFilter::Linear;
    else Fail(line, "parameter '" + p.name + "': unknown mipfilter '" + m + "'");
    std::string a = Lower(GetString(t, "address", "parameter", false, line));
    if (a == "wrap") p.address = TextureAddress::Wrap;
    else if (a == "clamp" || a.empty()) p.address = TextureAddress::Clamp;
    else if (a == "mirror") p.address = TextureAddress::Mirror;
    else if (a == "border") p.address = TextureAddress::Border;
    else Fail(line, "parameter '" + p.name + "': unknown address '" + a + "'");
  }
  return p;
}

bool StateValueByName(RenderState s, const std::string& v, std::uint32_t* out) {
  struct N {
    const char* n;
    std::uint32_t v;
  };
  static const N kCull[] = {{"none", CULL_NONE}, {"cw", CULL_CW}, {"ccw", CULL_CCW}};
  static const N kFill[] = {{"point", FILL_POINT}, {"wireframe", FILL_WIREFRAME}, {"solid", FILL_SOLID}};
  static const N kShade[] = {{"flat", SHADE_FLAT}, {"gouraud", SHADE_GOURAUD}, {"phong", SHADE_PHONG}};
  static const N kBlend[] = {{"zero", BLEND_ZERO},           {"one", BLEND_ONE},
                             {"srccolor", BLEND_SRCCOLOR},   {"invsrccolor", BLEND_INVSRCCOLOR},
                             {"srcalpha", BLEND_SRCALPHA},   {"invsrcalpha", BLEND_INVSRCALPHA},
                             {"destalpha", BLEND_DESTALPHA}, {"invdestalpha", BLEND_INVDESTALPHA},
                             {"destcolor", BLEND_DESTCOLOR}, {"invdestcolor", BLEND_INVDESTCOLOR},
                             {"srcalphasat", BLEND_SRCALPHASAT}};
  static const N kOp[] = {{"add", BLENDOP_ADD}, {"subtract", BLENDOP_SUBTRACT}, {"revsubtract", BLENDOP_REVSUBTRACT},
                          {"min", BLENDOP_MIN}, {"max", BLENDOP_MAX}};
  static const N kCmp[] = {{"never", CMP_NEVER},     {"less", CMP_LESS},         {"equal", CMP_EQUAL},
                           {"lessequal", CMP_LESSEQUAL}, {"greater", CMP_GREATER}, {"notequal", CMP_NOTEQUAL},
                           {"greaterequal", CMP_GREATEREQUAL}, {"always", CMP_ALWAYS}};
  const N* b = nullptr;
  std::size_t n = 0;
  switch (s) {
    case RenderState::CullMode: b = kCull; n = std::size(kCull); break;
    case RenderState::FillMode: b = kFill; n = std::size(kFill); break;
    case RenderState::ShadeMode: b = kShade; n = std::size(kShade); break;
    case RenderState::SrcBlend:
    case RenderState::DestBlend: b = kBlend; n = std::size(kBlend); break;
    case RenderState::BlendOp: b = kOp; n = std::size(kOp); break;
    case RenderState::ZFunc:
    case RenderState::AlphaFunc: b = kCmp; n = std::size(kCmp); break;
    default: return false;
  }
  std::string l = Lower(v);
  for (std::size_t i = 0; i < n; ++i)
    if (l == b[i].n) {
      *out = b[i].v;
      return true;
    }
  return false;
}

// Line of the first line of a string's text: a multi-line string whose
// opening quotes end their line starts on the next line.
int BodyLine(const toml::node& n, std::string_view text) {
  int line = LineOf(n);
  std::size_t col = n.source().begin.column;
  std::size_t pos = 0;
  for (int l = 1; l < line && pos != std::string_view::npos; ++l) {
    pos = text.find('\n', pos);
    if (pos != std::string_view::npos) ++pos;
  }
  if (pos == std::string_view::npos) return line;
  std::size_t start = pos + (col > 0 ? col - 1 : 0);
  if (start + 3 <= text.size() && (text.compare(start, 3, "'''") == 0 || text.compare(start, 3, "\"\"\"") == 0)) {
    std::size_t i = start + 3;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    if (i < text.size() && text[i] == '\n') return line + 1;
  }
  return line;
}

EffectShaderDecl ShaderFrom(const toml::node& n, const char* stage, const toml::table* shaders,
                            std::string_view text, const std::string& where) {
  if (!n.is_string()) Fail(LineOf(n), where + ": " + stage + " shader must be a string");
  std::string s(*n.as_string());
  EffectShaderDecl d;
  if (!s.empty() && s[0] == '@') {
    std::string name = s.substr(1);
    if (shaders) {
      if (const toml::node* f = shaders->get(name)) {
        d.source = std::string(*f->as_string());
        d.line = BodyLine(*f, text);
        d.snippet = name;
        return d;
      }
    }
    const EffectSnippet* b = FindEffectSnippet(name);
    if (!b || std::strcmp(b->stage, stage) != 0)
      Fail(LineOf(n), where + ": no " + stage + " shader named '" + name + "'");
    d.source = b->source;
    d.line = 0;
    d.snippet = name;
    return d;
  }
  d.source = std::move(s);
  d.line = BodyLine(n, text);
  return d;
}

EffectPassDecl ParsePass(const toml::table& t, int line, int index, const std::string& tech,
                         const toml::table* shaders, std::string_view text) {
  EffectPassDecl p;
  p.line = line;
  std::string where = "technique '" + tech + "' pass " + std::to_string(index);
  CheckKeys(t, {"name", "annotations", "states", "vertex", "fragment", "repeat"}, where.c_str());
  p.name = GetString(t, "name", where.c_str(), false, line);
  if (p.name.empty()) p.name = "P" + std::to_string(index);
  ParseAnnotations(Get(t, "annotations"), &p.annotations);
  if (const toml::node* s = Get(t, "states")) {
    const toml::table* st = s->as_table();
    if (!st) Fail(LineOf(*s), where + ": 'states' must be a table");
    for (const auto& [k, v] : *st) {
      RenderState rs;
      if (!RenderStateFromName(k.str(), &rs))
        Fail(LineOf(v), where + ": unknown render state '" + std::string(k.str()) + "'");
      std::uint32_t value = 0;
      double d;
      if (v.is_boolean()) value = v.as_boolean()->get() ? 1 : 0;
      else if (rs == RenderState::PointSize && NumberOf(v, &d)) value = FloatWord(d);
      else if (v.is_integer()) value = static_cast<std::uint32_t>(v.as_integer()->get());
      else if (!(v.is_string() && StateValueByName(rs, std::string(*v.as_string()), &value)))
        Fail(LineOf(v), where + ": bad value for render state '" + std::string(k.str()) + "'");
      // Numbers too must be values the device takes, or the pass would set
      // nothing in their place without a word.
      if (!RenderStateValueValid(rs, value))
        Fail(LineOf(v), where + ": bad value for render state '" + std::string(k.str()) + "'");
      p.states.emplace_back(rs, value);
    }
  }
  if (const toml::node* v = Get(t, "vertex")) {
    p.vertex = ShaderFrom(*v, "vertex", shaders, text, where);
    p.hasVertex = !p.vertex.source.empty();
  }
  if (const toml::node* f = Get(t, "fragment")) {
    p.fragment = ShaderFrom(*f, "fragment", shaders, text, where);
    p.hasFragment = !p.fragment.source.empty();
  }
  return p;
}

const toml::array* ArrayOfTables(const toml::table& root, const char* key) {
  const toml::node* n = root.get(key);
  if (!n) return nullptr;
  const toml::array* a = n->as_array();
  if (!a || !a->is_array_of_tables()) Fail(LineOf(*n), std::string("'") + key + "' must be an array of tables ([[" + key + "]])");
  return a;
}

constexpr int kMaxRepeat = 16;

// A define's name: an identifier outside the loader's own MV_ names.
bool IsDefineName(std::string_view s) {
  return IsIdentifier(s) && s.rfind("MV_", 0) != 0 && s.rfind("GL_", 0) != 0 && s.rfind("__", 0) != 0;
}

// Define values go into shader text as they are: one line, no comment
// openers that would swallow what follows.
bool IsDefineValue(std::string_view v) {
  for (char c : v)
    if (c == '\n' || c == '\r' || c == '\\') return false;
  return v.find("//") == std::string_view::npos && v.find("/*") == std::string_view::npos;
}

const EffectMacro* FindDefine(const std::vector<EffectMacro>& defines, std::string_view name) {
  for (const EffectMacro& m : defines)
    if (m.name == name) return &m;
  return nullptr;
}

// How many copies of a pass the technique gets: `repeat` = a number or the
// name of a define holding one; 1 without it.
int RepeatCount(const toml::table& t, const std::vector<EffectMacro>& defines, const std::string& where) {
  const toml::node* r = Get(t, "repeat");
  if (!r) return 1;
  long long n = 0;
  if (r->is_integer()) {
    n = r->as_integer()->get();
  } else if (r->is_string()) {
    const std::string name(*r->as_string());
    const EffectMacro* m = FindDefine(defines, name);
    if (!m) Fail(LineOf(*r), where + ": 'repeat' names '" + name + "', which is not defined");
    char* end = nullptr;
    n = std::strtoll(m->value.c_str(), &end, 10);
    if (m->value.empty() || *end != '\0')
      Fail(LineOf(*r), where + ": 'repeat' names '" + name + "', whose value '" + m->value + "' is not a number");
  } else {
    Fail(LineOf(*r), where + ": 'repeat' must be a number or the name of a define");
  }
  if (n < 1 || n > kMaxRepeat)
    Fail(LineOf(*r), where + ": 'repeat' must be 1 to " + std::to_string(kMaxRepeat) + ", not " + std::to_string(n));
  return static_cast<int>(n);
}

// The file's defines, then the loader's macros over them.
void ParseDefines(const toml::table& root, std::span<const EffectMacro> macros, std::vector<EffectMacro>* out) {
  if (const toml::node* d = root.get("defines")) {
    const toml::table* t = d->as_table();
    if (!t) Fail(LineOf(*d), "'defines' must be a table of names and values");
    for (const auto& [k, v] : *t) {
      const std::string name(k.str());
      if (!IsDefineName(name)) Fail(LineOf(v), "bad define name '" + name + "'");
      std::string value;
      if (v.is_integer()) value = std::to_string(v.as_integer()->get());
      else if (v.is_string()) value = std::string(*v.as_string());
      else Fail(LineOf(v), "define '" + name + "' must be an integer or a string");
      if (!IsDefineValue(value)) Fail(LineOf(v), "bad value for define '" + name + "'");
      out->push_back({name, std::move(value)});
    }
  }
  for (const EffectMacro& m : macros) {
    if (!IsDefineName(m.name)) Fail(0, "bad macro name '" + m.name + "'");
    if (!IsDefineValue(m.value)) Fail(0, "bad value for macro '" + m.name + "'");
    bool found = false;
    for (EffectMacro& d : *out)
      if (d.name == m.name) d.value = m.value, found = true;
    if (!found) out->push_back(m);
  }
}

void ParseRoot(const toml::table& root, std::string_view text, std::span<const EffectMacro> macros,
               EffectFileDecl* out) {
  CheckKeys(root, {"include", "common", "defines", "shaders", "parameter", "technique"}, "the effect file");
  ParseDefines(root, macros, &out->defines);
  if (const toml::node* inc = root.get("include")) {
    const toml::array* a = inc->as_array();
    if (!a) Fail(LineOf(*inc), "'include' must be an array of snippet names");
    for (const toml::node& e : *a) {
      if (!e.is_string()) Fail(LineOf(e), "'include' must be an array of snippet names");
      std::string name(*e.as_string());
      const EffectSnippet* s = FindEffectSnippet(name);
      if (!s || std::strcmp(s->stage, "any") != 0) Fail(LineOf(e), "no snippet named '" + name + "' to include");
      out->includes.push_back(name);
    }
  }
  if (const toml::node* c = root.get("common")) {
    if (!c->is_string()) Fail(LineOf(*c), "'common' must be a string of GLSL");
    out->common.source = std::string(*c->as_string());
    out->common.line = BodyLine(*c, text);
  }
  const toml::table* shaders = nullptr;
  if (const toml::node* s = root.get("shaders")) {
    shaders = s->as_table();
    if (!shaders) Fail(LineOf(*s), "'shaders' must be a table of GLSL strings");
    for (const auto& [k, v] : *shaders)
      if (!v.is_string()) Fail(LineOf(v), "shader '" + std::string(k.str()) + "' must be a string");
  }
  if (const toml::array* params = ArrayOfTables(root, "parameter")) {
    for (const toml::node& n : *params) {
      EffectParameterDecl p = ParseParameter(*n.as_table(), LineOf(n));
      for (const EffectParameterDecl& q : out->parameters)
        if (q.name == p.name) Fail(p.line, "parameter '" + p.name + "' declared twice");
      out->parameters.push_back(std::move(p));
    }
  }
  if (const toml::array* techs = ArrayOfTables(root, "technique")) {
    for (const toml::node& n : *techs) {
      const toml::table& t = *n.as_table();
      EffectTechniqueDecl tech;
      tech.line = LineOf(n);
      CheckKeys(t, {"name", "annotations", "pass"}, "technique");
      tech.name = GetString(t, "name", "technique", true, tech.line);
      if (tech.name.empty()) Fail(tech.line, "technique without a name");
      for (const EffectTechniqueDecl& q : out->techniques)
        if (q.name == tech.name) Fail(tech.line, "technique '" + tech.name + "' declared twice");
      ParseAnnotations(Get(t, "annotations"), &tech.annotations);
      if (const toml::array* passes = ArrayOfTables(t, "pass")) {
        int i = 0;
        for (const toml::node& pn : *passes) {
          const toml::table& pt = *pn.as_table();
          const std::string where = "technique '" + tech.name + "' pass " + std::to_string(i);
          const int copies = RepeatCount(pt, out->defines, where);
          EffectPassDecl pass = ParsePass(pt, LineOf(pn), i, tech.name, shaders, text);
          const bool named = Get(pt, "name") != nullptr;
          for (int c = 0; c < copies; ++c, ++i) {
            EffectPassDecl copy = pass;
            copy.index = i;
            if (!named) copy.name = "P" + std::to_string(i);
            else if (copies > 1) copy.name = pass.name + std::to_string(c);
            tech.passes.push_back(std::move(copy));
          }
        }
        for (std::size_t a = 0; a < tech.passes.size(); ++a)
          for (std::size_t b = a + 1; b < tech.passes.size(); ++b)
            if (tech.passes[a].name == tech.passes[b].name)
              Fail(tech.passes[b].line, "technique '" + tech.name + "': two passes named '" + tech.passes[b].name + "'");
      }
      if (tech.passes.empty()) Fail(tech.line, "technique '" + tech.name + "' has no pass");
      out->techniques.push_back(std::move(tech));
    }
  }
}

// The TOML reader (3.3) misclassifies many non-ASCII characters (é among
// them) when it looks for whitespace, which it does even inside values on
// its error paths: undefined behaviour. It is therefore handed ASCII only:
// comments are blanked, characters in "..." strings become \u escapes, and
// non-ASCII text anywhere else is refused. Lines keep their numbers.
bool AsciiForToml(std::string_view t, std::string* out, int* badLine) {
  enum { Normal, Comment, Basic, Literal, MlBasic, MlLiteral } st = Normal;
  int line = 1;
  out->clear();
  out->reserve(t.size() + t.size() / 8);
  auto at = [&](std::size_t i) { return i < t.size() ? static_cast<unsigned char>(t[i]) : 0u; };
  auto bad = [&] {
    *badLine = line;
    return false;
  };
  for (std::size_t i = 0; i < t.size(); ++i) {
    unsigned c = at(i);
    if (c == '\n') ++line;
    if (c >= 0x80) {
      if (st == Comment) {
        out->push_back(' ');
        continue;
      }
      if (st != Basic && st != MlBasic) return bad();
      // Decode one UTF-8 sequence and write it as an escape.
      int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
      if (len == 0 || c >= 0xF8 || i + static_cast<std::size_t>(len) > t.size()) return bad();
      std::uint32_t cp = c & (0x7Fu >> len);
      for (int k = 1; k < len; ++k) {
        unsigned d = at(i + static_cast<std::size_t>(k));
        if ((d & 0xC0) != 0x80) return bad();
        cp = (cp << 6) | (d & 0x3F);
      }
      static const std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return bad();
      char buf[12];
      std::snprintf(buf, sizeof buf, cp > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(cp));
      out->append(buf);
      i += static_cast<std::size_t>(len - 1);
      continue;
    }
    out->push_back(static_cast<char>(c));
    switch (st) {
      case Normal:
        if (c == '#') st = Comment;
        else if (c == '"') {
          if (at(i + 1) == '"' && at(i + 2) == '"') {
            st = MlBasic;
            out->append("\"\"");
            i += 2;
          } else {
            st = Basic;
          }
        } else if (c == '\'') {
          if (at(i + 1) == '\'' && at(i + 2) == '\'') {
            st = MlLiteral;
            out->append("''");
            i += 2;
          } else {
            st = Literal;
          }
        }
        break;
      case Comment:
        if (c == '\n') st = Normal;
        break;
      case Basic:
      case MlBasic:
        if (c == '\\' && at(i + 1) < 0x80 && i + 1 < t.size()) {
          // An escaped character is copied as it is (a quote does not end the string).
          ++i;
          if (at(i) == '\n') ++line;
          out->push_back(t[i]);
        } else if (st == Basic && (c == '"' || c == '\n')) {
          st = Normal;
        } else if (st == MlBasic && c == '"' && at(i + 1) == '"' && at(i + 2) == '"') {
          st = Normal;
          out->append("\"\"");
          i += 2;
          while (at(i + 1) == '"') out->push_back(t[++i]);
        }
        break;
      case Literal:
        if (c == '\'' || c == '\n') st = Normal;
        break;
      case MlLiteral:
        if (c == '\'' && at(i + 1) == '\'' && at(i + 2) == '\'') {
          st = Normal;
          out->append("''");
          i += 2;
          while (at(i + 1) == '\'') out->push_back(t[++i]);
        }
        break;
    }
  }
  return true;
}

}  // namespace

bool ParseEffectFile(std::string_view text, const std::string& sourceName, EffectFileDecl* out, std::string* error,
                     std::span<const EffectMacro> macros) {
  EffectFileDecl decl;
  decl.sourceName = sourceName;
  auto fail = [&](int line, const std::string& what) {
    if (error) *error = sourceName + ":" + std::to_string(line) + ": " + what;
    return false;
  };
  if (text.size() > kMaxInput) return fail(0, "file too large");
  // TOML allows no control characters but tab and line ends; refusing them
  // here also keeps them away from the TOML reader, whose checks for them
  // are only assertions.
  int line = 1;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\n') ++line;
    else if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7F)
      return fail(line, "control character " + std::to_string(c) + " in the file");
  }
  std::string ascii;
  if (int bad = 0; !AsciiForToml(text, &ascii, &bad))
    return fail(bad, "non-ASCII character outside a comment or a \"...\" string");
  try {
    toml::table root = toml::parse(ascii, sourceName);
    ParseRoot(root, ascii, macros, &decl);
  } catch (const toml::parse_error& e) {
    return fail(static_cast<int>(e.source().begin.line), std::string(e.description()));
  } catch (const ParseFault& f) {
    return fail(f.line, f.what);
  } catch (const tomlguard::Malformed&) {
    return fail(0, "malformed TOML");
  } catch (const std::exception& e) {
    return fail(0, e.what());
  }
  if (out) *out = std::move(decl);
  return true;
}

}  // namespace gfx
