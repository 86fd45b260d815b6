#pragma once
// The backend-independent part of an effect: handles, values, annotations,
// parameter blocks, state save/restore and the Begin/Pass/End protocol. The
// backends add shaders (GL) or a record of what happened (recording).
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Effect.h"
#include "gfx/EffectFile.h"

namespace gfx::detail {

class EffectBase : public Effect {
 public:
  EffectBase(Device* device, EffectFileDecl decl);
  ~EffectBase() override;

  EffectDesc GetDesc() const override;
  ParameterHandle GetParameterByName(std::string_view name) const override;
  ParameterHandle GetParameter(int index) const override;
  TechniqueHandle GetTechniqueByName(std::string_view name) const override;
  TechniqueHandle GetTechnique(int index) const override;
  PassHandle GetPass(TechniqueHandle technique, int index) const override;
  PassHandle GetPassByName(TechniqueHandle technique, std::string_view name) const override;
  AnnotationHandle GetAnnotationByName(AnnotatedHandle object, std::string_view name) const override;
  AnnotationHandle GetAnnotation(AnnotatedHandle object, int index) const override;
  HRESULT GetParameterDesc(ValueHandle h, ParameterDesc* out) const override;
  HRESULT GetTechniqueDesc(TechniqueHandle technique, TechniqueDesc* out) const override;
  HRESULT GetPassDesc(PassHandle pass, PassDesc* out) const override;
  bool IsTechniqueValid(TechniqueHandle technique) const override;
  HRESULT FindNextValidTechnique(TechniqueHandle after, TechniqueHandle* out) const override;

  HRESULT SetValue(ParameterHandle h, const void* data, std::size_t bytes) override;
  HRESULT SetFloat(ParameterHandle h, float v) override { return SetFloatArray(h, &v, 1); }
  HRESULT SetFloatArray(ParameterHandle h, const float* v, std::size_t count) override;
  HRESULT SetInt(ParameterHandle h, int v) override;
  HRESULT SetBool(ParameterHandle h, bool v) override;
  HRESULT SetVector(ParameterHandle h, const glm::vec4& v) override { return SetFloatArray(h, &v.x, 4); }
  HRESULT SetVectorArray(ParameterHandle h, const glm::vec4* v, std::size_t count) override;
  HRESULT SetMatrix(ParameterHandle h, const glm::mat4& m) override;
  HRESULT SetString(ParameterHandle h, std::string_view v) override;
  HRESULT SetTexture(ParameterHandle h, std::shared_ptr<BaseTexture> texture) override;
  using Effect::SetBool;
  using Effect::SetFloat;
  using Effect::SetInt;
  using Effect::SetMatrix;
  using Effect::SetTexture;
  using Effect::SetVector;

  HRESULT GetValue(ValueHandle h, void* data, std::size_t bytes) const override;
  HRESULT GetFloat(ValueHandle h, float* v) const override { return GetFloatArray(h, v, 1); }
  HRESULT GetFloatArray(ValueHandle h, float* v, std::size_t count) const override;
  HRESULT GetInt(ValueHandle h, int* v) const override;
  HRESULT GetBool(ValueHandle h, bool* v) const override;
  HRESULT GetVector(ValueHandle h, glm::vec4* v) const override;
  HRESULT GetVectorArray(ValueHandle h, glm::vec4* v, std::size_t count) const override;
  HRESULT GetMatrix(ParameterHandle h, glm::mat4* m) const override;
  HRESULT GetString(ValueHandle h, const char** v) const override;
  HRESULT GetTexture(ParameterHandle h, std::shared_ptr<BaseTexture>* out) const override;

  HRESULT SetTechnique(TechniqueHandle technique) override;
  TechniqueHandle GetCurrentTechnique() const override { return current_; }
  HRESULT Begin(unsigned* passes, std::uint32_t flags) override;
  HRESULT BeginPass(unsigned pass) override;
  HRESULT CommitChanges() override;
  HRESULT EndPass() override;
  HRESULT End() override;

  HRESULT BeginParameterBlock() override;
  BlockHandle EndParameterBlock() override;
  HRESULT ApplyParameterBlock(BlockHandle block) override;
  HRESULT DeleteParameterBlock(BlockHandle block) override;

  HRESULT OnLostDevice() override { return S_OK; }
  HRESULT OnResetDevice() override { return S_OK; }

  const EffectFileDecl& Decl() const { return decl_; }
  const std::string& Name() const { return decl_.sourceName; }

 protected:
  struct Param {
    const EffectParameterDecl* decl = nullptr;
    std::size_t offset = 0;  // into words_
    int words = 0;
    std::shared_ptr<BaseTexture> texture;
    std::string text;
    bool dirty = true;
  };
  struct Range {
    int first = 0;
    int count = 0;
  };

  template <HandleKind K>
  TypedHandle<K> Make(int index) const;
  // Index of the handle when it is of kind k and belongs to this effect, else -1.
  int IndexOf(const HandleBase& h, HandleKind k) const;
  int BlockIndex(BlockHandle block) const { return IndexOf(block, HandleKind::Block); }
  int TechniqueCount() const { return static_cast<int>(decl_.techniques.size()); }
  // Global pass index of a technique's pass.
  int PassIndex(int tech, int pass) const { return techPassFirst_[static_cast<std::size_t>(tech)] + pass; }

  // Backend hooks.
  virtual void OnParameterChanged(int param) {}
  virtual bool BackendTechniqueValid(int tech) const { return true; }
  virtual HRESULT OnBeginPass(int tech, int pass) { return S_OK; }
  virtual HRESULT OnCommit() { return S_OK; }
  virtual void OnEndPass() {}
  virtual void OnEnd() {}

  Device* device_;
  EffectFileDecl decl_;
  std::vector<std::uint32_t> words_;
  std::vector<Param> params_;
  int currentTech_ = -1;
  int activePass_ = -1;
  bool begun_ = false;

 private:
  const EffectAnnotationDecl* AnnotationOf(const HandleBase& h) const;
  HRESULT Changed(int param);
  struct Block {
    bool used = false;
    struct Entry {
      int param;
      std::size_t offset;
      int words;
      int texture;  // index into textures, -1 if none
      int text;     // index into texts, -1 if none
    };
    std::vector<Entry> entries;
    std::vector<std::uint32_t> data;
    std::vector<std::shared_ptr<BaseTexture>> textures;
    std::vector<std::string> texts;
  };

  std::uint32_t serial_;
  std::vector<const EffectAnnotationDecl*> annotations_;
  std::vector<Range> paramAnnots_, techAnnots_, passAnnots_;
  std::vector<int> techPassFirst_;
  std::vector<std::pair<int, int>> passes_;  // global pass → (technique, pass)
  std::vector<bool> techValidStatic_;
  TechniqueHandle current_;
  std::uint32_t beginFlags_ = 0;
  std::array<std::uint32_t, kRenderStateCount> saved_{};
  std::vector<Block> blocks_;
  int recording_ = -1;
  bool applying_ = false;
};

}  // namespace gfx::detail
