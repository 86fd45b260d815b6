#pragma once
// Effects: parameters, techniques, passes and annotations read from our text
// effect files (fx/README.md), drawn with the device's backend. Everything is
// addressed by name; a name the effect lacks gives an empty handle, and every
// call with an empty or foreign handle fails without effect, so drawing goes
// on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <glm/glm.hpp>

#include "gfx/Device.h"

namespace gfx {

// An opaque reference to a parameter, technique, pass, annotation or
// parameter block of one effect. Value 0 is the empty handle.
struct Handle {
  std::uint32_t value = 0;
  explicit operator bool() const { return value != 0; }
  friend bool operator==(Handle a, Handle b) { return a.value == b.value; }
  friend bool operator!=(Handle a, Handle b) { return a.value != b.value; }
};

enum class ParameterType : std::uint8_t {
  Float,       // float
  Float2,      // vec2
  Float3,      // vec3
  Float4,      // vec4 (also "vector"); with elements > 0 an array of vec4
  Float4x4,    // mat4 (also "matrix")
  Int,
  Bool,
  String,
  Texture,     // sampler2D
  CubeTexture, // samplerCube
};
const char* ParameterTypeName(ParameterType t);

// Begin flags. Without EFFECT_DONOTSAVESTATE, Begin saves the device's render
// states and End restores them, so the states a pass sets stay inside it.
enum EffectBeginFlags : std::uint32_t { EFFECT_DONOTSAVESTATE = 1 };

struct EffectDesc {
  std::string name;  // file or source name
  int parameters = 0;
  int techniques = 0;
};

struct ParameterDesc {
  std::string name;
  ParameterType type = ParameterType::Float;
  int elements = 0;       // array length; 0 for a single value
  int annotations = 0;
  std::size_t bytes = 0;  // size of the value (floats, ints and bools are 4 bytes)
};

struct TechniqueDesc {
  std::string name;
  int passes = 0;
  int annotations = 0;
};

struct PassDesc {
  std::string name;
  int annotations = 0;
};

class Effect {
 public:
  virtual ~Effect() = default;

  virtual EffectDesc GetDesc() const = 0;

  // ---- lookup ----
  virtual Handle GetParameterByName(std::string_view name) const = 0;
  virtual Handle GetParameter(int index) const = 0;  // top-level, in declaration order
  virtual Handle GetTechniqueByName(std::string_view name) const = 0;
  virtual Handle GetTechnique(int index) const = 0;
  virtual Handle GetPass(Handle technique, int index) const = 0;
  virtual Handle GetPassByName(Handle technique, std::string_view name) const = 0;
  // Annotations of a parameter, technique or pass.
  virtual Handle GetAnnotationByName(Handle object, std::string_view name) const = 0;
  virtual Handle GetAnnotation(Handle object, int index) const = 0;

  virtual HRESULT GetParameterDesc(Handle parameterOrAnnotation, ParameterDesc* out) const = 0;
  virtual HRESULT GetTechniqueDesc(Handle technique, TechniqueDesc* out) const = 0;
  virtual HRESULT GetPassDesc(Handle pass, PassDesc* out) const = 0;

  // A technique is valid when every pass has both shaders and (on a real
  // device) they compile and link.
  virtual bool IsTechniqueValid(Handle technique) const = 0;
  // The first valid technique after `after` (empty: from the start).
  virtual HRESULT FindNextValidTechnique(Handle after, Handle* out) const = 0;
  Handle FirstValidTechnique() const {
    Handle h;
    return Succeeded(FindNextValidTechnique(Handle{}, &h)) ? h : Handle{};
  }

  // ---- values (parameters; the getters also read annotations) ----
  // Setting converts between float, int and bool as Direct3D effects did;
  // a float array shorter than the parameter leaves the rest untouched.
  virtual HRESULT SetValue(Handle h, const void* data, std::size_t bytes) = 0;
  virtual HRESULT SetFloat(Handle h, float v) = 0;
  virtual HRESULT SetFloatArray(Handle h, const float* v, std::size_t count) = 0;
  virtual HRESULT SetInt(Handle h, int v) = 0;
  virtual HRESULT SetBool(Handle h, bool v) = 0;
  virtual HRESULT SetVector(Handle h, const glm::vec4& v) = 0;
  virtual HRESULT SetVectorArray(Handle h, const glm::vec4* v, std::size_t count) = 0;
  // Row-vector matrix as gfx/Math.h stores it (sixteen floats, M11 first).
  virtual HRESULT SetMatrix(Handle h, const glm::mat4& m) = 0;
  virtual HRESULT SetString(Handle h, std::string_view v) = 0;
  // Texture or cube texture parameters; an empty pointer unbinds.
  virtual HRESULT SetTexture(Handle h, std::shared_ptr<BaseTexture> texture) = 0;

  virtual HRESULT GetValue(Handle h, void* data, std::size_t bytes) const = 0;
  virtual HRESULT GetFloat(Handle h, float* v) const = 0;
  virtual HRESULT GetFloatArray(Handle h, float* v, std::size_t count) const = 0;
  virtual HRESULT GetInt(Handle h, int* v) const = 0;
  virtual HRESULT GetBool(Handle h, bool* v) const = 0;
  virtual HRESULT GetVector(Handle h, glm::vec4* v) const = 0;
  virtual HRESULT GetVectorArray(Handle h, glm::vec4* v, std::size_t count) const = 0;
  virtual HRESULT GetMatrix(Handle h, glm::mat4* m) const = 0;
  // The pointer stays valid until the value is set again or the effect goes.
  virtual HRESULT GetString(Handle h, const char** v) const = 0;
  virtual HRESULT GetTexture(Handle h, std::shared_ptr<BaseTexture>* out) const = 0;

  // By name: shorthand for the handle lookup; a missing name fails.
  HRESULT SetFloat(std::string_view name, float v) { return SetFloat(GetParameterByName(name), v); }
  HRESULT SetVector(std::string_view name, const glm::vec4& v) { return SetVector(GetParameterByName(name), v); }
  HRESULT SetMatrix(std::string_view name, const glm::mat4& m) { return SetMatrix(GetParameterByName(name), m); }
  HRESULT SetTexture(std::string_view name, std::shared_ptr<BaseTexture> t) {
    return SetTexture(GetParameterByName(name), std::move(t));
  }
  HRESULT SetInt(std::string_view name, int v) { return SetInt(GetParameterByName(name), v); }
  HRESULT SetBool(std::string_view name, bool v) { return SetBool(GetParameterByName(name), v); }

  // ---- drawing ----
  virtual HRESULT SetTechnique(Handle technique) = 0;
  virtual Handle GetCurrentTechnique() const = 0;
  // Starts the current technique; *passes receives its pass count.
  virtual HRESULT Begin(unsigned* passes, std::uint32_t flags = 0) = 0;
  // Applies the pass: its render states, its shaders and every parameter.
  virtual HRESULT BeginPass(unsigned pass) = 0;
  // Sends values set since BeginPass to the pass in progress.
  virtual HRESULT CommitChanges() = 0;
  virtual HRESULT EndPass() = 0;
  virtual HRESULT End() = 0;

  // ---- parameter blocks ----
  // While a block is recorded, every set value is kept in it (and applied to
  // the effect as well). Applying the block sets those values again.
  virtual HRESULT BeginParameterBlock() = 0;
  virtual Handle EndParameterBlock() = 0;
  virtual HRESULT ApplyParameterBlock(Handle block) = 0;
  virtual HRESULT DeleteParameterBlock(Handle block) = 0;

  // ---- device events ----
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

}  // namespace gfx
