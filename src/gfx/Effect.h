#pragma once
// Effects: parameters, techniques, passes and annotations read from our text
// effect files (fx/README.md), drawn with the device's backend. Everything is
// addressed by name; a name the effect lacks gives an empty handle, and every
// call with an empty or foreign handle fails (E_INVALIDARG) without effect,
// so drawing goes on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <glm/glm.hpp>

#include "gfx/Device.h"

namespace gfx {

namespace detail {
class EffectBase;
}

enum class HandleKind : std::uint8_t { Parameter = 1, Technique, Pass, Annotation, Block };

// An opaque reference to one parameter, technique, pass, annotation or
// parameter block of one effect: the effect's serial (never reused while the
// program runs), the kind and the index. The empty handle (no effect) is
// what a missing name gives. Only the effect that made a handle takes it.
class HandleBase {
 public:
  explicit operator bool() const { return effect_ != 0; }

 protected:
  HandleBase() = default;
  HandleBase(std::uint32_t effect, HandleKind kind, std::uint32_t index)
      : effect_(effect), item_(static_cast<std::uint32_t>(kind) << kIndexBits | index) {}
  bool Same(const HandleBase& o) const { return effect_ == o.effect_ && item_ == o.item_; }

 private:
  friend class detail::EffectBase;
  static constexpr int kIndexBits = 24;
  std::uint32_t effect_ = 0;
  std::uint32_t item_ = 0;  // kind above kIndexBits, index below
};

// A handle of one kind: the API says which kind each call takes, so a
// technique where a parameter belongs does not compile.
template <HandleKind K>
class TypedHandle : public HandleBase {
 public:
  TypedHandle() = default;
  friend bool operator==(const TypedHandle& a, const TypedHandle& b) { return a.Same(b); }

 private:
  friend class detail::EffectBase;
  explicit TypedHandle(const HandleBase& h) : HandleBase(h) {}
};

using ParameterHandle = TypedHandle<HandleKind::Parameter>;
using TechniqueHandle = TypedHandle<HandleKind::Technique>;
using PassHandle = TypedHandle<HandleKind::Pass>;
using AnnotationHandle = TypedHandle<HandleKind::Annotation>;
using BlockHandle = TypedHandle<HandleKind::Block>;

// What has a value to read: a parameter or an annotation. Implicit from
// those two kinds and no other, so the getters take both and nothing else.
class ValueHandle : public HandleBase {
 public:
  ValueHandle() = default;
  ValueHandle(const ParameterHandle& h) : HandleBase(h) {}
  ValueHandle(const AnnotationHandle& h) : HandleBase(h) {}
};

// What carries annotations: a parameter, a technique or a pass.
class AnnotatedHandle : public HandleBase {
 public:
  AnnotatedHandle() = default;
  AnnotatedHandle(const ParameterHandle& h) : HandleBase(h) {}
  AnnotatedHandle(const TechniqueHandle& h) : HandleBase(h) {}
  AnnotatedHandle(const PassHandle& h) : HandleBase(h) {}
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
  virtual ParameterHandle GetParameterByName(std::string_view name) const = 0;
  virtual ParameterHandle GetParameter(int index) const = 0;  // top-level, in declaration order
  virtual TechniqueHandle GetTechniqueByName(std::string_view name) const = 0;
  virtual TechniqueHandle GetTechnique(int index) const = 0;
  virtual PassHandle GetPass(TechniqueHandle technique, int index) const = 0;
  virtual PassHandle GetPassByName(TechniqueHandle technique, std::string_view name) const = 0;
  // Annotations of a parameter, technique or pass.
  virtual AnnotationHandle GetAnnotationByName(AnnotatedHandle object, std::string_view name) const = 0;
  virtual AnnotationHandle GetAnnotation(AnnotatedHandle object, int index) const = 0;

  virtual HRESULT GetParameterDesc(ValueHandle parameterOrAnnotation, ParameterDesc* out) const = 0;
  virtual HRESULT GetTechniqueDesc(TechniqueHandle technique, TechniqueDesc* out) const = 0;
  virtual HRESULT GetPassDesc(PassHandle pass, PassDesc* out) const = 0;

  // A technique is valid when every pass has both shaders and (on a real
  // device) they compile and link.
  virtual bool IsTechniqueValid(TechniqueHandle technique) const = 0;
  // The first valid technique after `after` (empty: from the start).
  virtual HRESULT FindNextValidTechnique(TechniqueHandle after, TechniqueHandle* out) const = 0;
  TechniqueHandle FirstValidTechnique() const {
    TechniqueHandle h;
    return Succeeded(FindNextValidTechnique(TechniqueHandle{}, &h)) ? h : TechniqueHandle{};
  }

  // ---- values (parameters; the getters also read annotations) ----
  // Setting converts between float, int and bool as Direct3D effects did;
  // a float array shorter than the parameter leaves the rest untouched.
  virtual HRESULT SetValue(ParameterHandle h, const void* data, std::size_t bytes) = 0;
  virtual HRESULT SetFloat(ParameterHandle h, float v) = 0;
  virtual HRESULT SetFloatArray(ParameterHandle h, const float* v, std::size_t count) = 0;
  virtual HRESULT SetInt(ParameterHandle h, int v) = 0;
  virtual HRESULT SetBool(ParameterHandle h, bool v) = 0;
  virtual HRESULT SetVector(ParameterHandle h, const glm::vec4& v) = 0;
  virtual HRESULT SetVectorArray(ParameterHandle h, const glm::vec4* v, std::size_t count) = 0;
  // Row-vector matrix as gfx/Math.h stores it (sixteen floats, M11 first).
  virtual HRESULT SetMatrix(ParameterHandle h, const glm::mat4& m) = 0;
  virtual HRESULT SetString(ParameterHandle h, std::string_view v) = 0;
  // Texture or cube texture parameters; an empty pointer unbinds. A texture
  // of another device is refused.
  virtual HRESULT SetTexture(ParameterHandle h, std::shared_ptr<BaseTexture> texture) = 0;

  virtual HRESULT GetValue(ValueHandle h, void* data, std::size_t bytes) const = 0;
  virtual HRESULT GetFloat(ValueHandle h, float* v) const = 0;
  virtual HRESULT GetFloatArray(ValueHandle h, float* v, std::size_t count) const = 0;
  virtual HRESULT GetInt(ValueHandle h, int* v) const = 0;
  virtual HRESULT GetBool(ValueHandle h, bool* v) const = 0;
  virtual HRESULT GetVector(ValueHandle h, glm::vec4* v) const = 0;
  virtual HRESULT GetVectorArray(ValueHandle h, glm::vec4* v, std::size_t count) const = 0;
  virtual HRESULT GetMatrix(ParameterHandle h, glm::mat4* m) const = 0;
  // The pointer stays valid until the value is set again or the effect goes.
  virtual HRESULT GetString(ValueHandle h, const char** v) const = 0;
  virtual HRESULT GetTexture(ParameterHandle h, std::shared_ptr<BaseTexture>* out) const = 0;

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
  virtual HRESULT SetTechnique(TechniqueHandle technique) = 0;
  virtual TechniqueHandle GetCurrentTechnique() const = 0;
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
  virtual BlockHandle EndParameterBlock() = 0;
  virtual HRESULT ApplyParameterBlock(BlockHandle block) = 0;
  virtual HRESULT DeleteParameterBlock(BlockHandle block) = 0;

  // ---- device events ----
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

}  // namespace gfx
