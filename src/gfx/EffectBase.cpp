#include "gfx/EffectBase.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace gfx::detail {

namespace {

// 32 bits: at a thousand effects a second a run would need seven weeks to
// come back to a serial in use.
std::atomic<std::uint32_t> g_effectSerial{1};

std::uint32_t NextEffectSerial() {
  std::uint32_t s = g_effectSerial.fetch_add(1);
  return s != 0 ? s : g_effectSerial.fetch_add(1);  // 0 is the empty handle's
}

bool IsFloatType(ParameterType t) {
  return t == ParameterType::Float || t == ParameterType::Float2 || t == ParameterType::Float3 ||
         t == ParameterType::Float4 || t == ParameterType::Float4x4;
}

std::uint32_t WordFromFloat(ParameterType t, float v) {
  if (t == ParameterType::Int) {
    if (!std::isfinite(v)) return 0;
    float c = std::clamp(v, -2147483520.0f, 2147483520.0f);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(c));
  }
  if (t == ParameterType::Bool) return v != 0.0f ? 1u : 0u;
  return FloatBits(v);
}

float FloatFromWord(ParameterType t, std::uint32_t w) {
  if (t == ParameterType::Int) return static_cast<float>(static_cast<std::int32_t>(w));
  if (t == ParameterType::Bool) return w ? 1.0f : 0.0f;
  return BitsFloat(w);
}

int IntFromFloat(float f) {
  if (!std::isfinite(f)) return 0;
  return static_cast<int>(std::clamp(f, -2147483520.0f, 2147483520.0f));
}

}  // namespace

EffectBase::EffectBase(Device* device, EffectFileDecl decl)
    : device_(device), decl_(std::move(decl)), serial_(NextEffectSerial()) {
  std::size_t total = 0;
  params_.resize(decl_.parameters.size());
  for (std::size_t i = 0; i < decl_.parameters.size(); ++i) {
    const EffectParameterDecl& d = decl_.parameters[i];
    Param& p = params_[i];
    p.decl = &d;
    p.offset = total;
    p.words = static_cast<int>(d.words.size());
    p.text = d.text;
    total += d.words.size();
  }
  words_.resize(total);
  for (std::size_t i = 0; i < params_.size(); ++i)
    std::copy(decl_.parameters[i].words.begin(), decl_.parameters[i].words.end(),
              words_.begin() + static_cast<std::ptrdiff_t>(params_[i].offset));

  auto addAnnots = [this](const std::vector<EffectAnnotationDecl>& a) {
    Range r{static_cast<int>(annotations_.size()), static_cast<int>(a.size())};
    for (const EffectAnnotationDecl& x : a) annotations_.push_back(&x);
    return r;
  };
  for (const EffectParameterDecl& d : decl_.parameters) paramAnnots_.push_back(addAnnots(d.annotations));
  for (std::size_t t = 0; t < decl_.techniques.size(); ++t) {
    const EffectTechniqueDecl& tech = decl_.techniques[t];
    techAnnots_.push_back(addAnnots(tech.annotations));
    techPassFirst_.push_back(static_cast<int>(passes_.size()));
    bool valid = true;
    for (std::size_t p = 0; p < tech.passes.size(); ++p) {
      passes_.emplace_back(static_cast<int>(t), static_cast<int>(p));
      passAnnots_.push_back(addAnnots(tech.passes[p].annotations));
      if (!tech.passes[p].hasVertex || !tech.passes[p].hasFragment) valid = false;
    }
    techValidStatic_.push_back(valid);
  }
}

EffectBase::~EffectBase() {
  if (activePass_ >= 0 && device_) device_->PassEnded(this);
}

template <HandleKind K>
TypedHandle<K> EffectBase::Make(int index) const {
  if (index < 0 || index >= (1 << HandleBase::kIndexBits)) return TypedHandle<K>{};
  return TypedHandle<K>(HandleBase(serial_, K, static_cast<std::uint32_t>(index)));
}

int EffectBase::IndexOf(const HandleBase& h, HandleKind k) const {
  constexpr std::uint32_t kMask = (1u << HandleBase::kIndexBits) - 1;
  if (h.effect_ != serial_ || (h.item_ >> HandleBase::kIndexBits) != static_cast<std::uint32_t>(k)) return -1;
  const std::size_t i = h.item_ & kMask;
  std::size_t limit = 0;
  switch (k) {
    case HandleKind::Parameter: limit = params_.size(); break;
    case HandleKind::Technique: limit = decl_.techniques.size(); break;
    case HandleKind::Pass: limit = passes_.size(); break;
    case HandleKind::Annotation: limit = annotations_.size(); break;
    case HandleKind::Block: limit = blocks_.size(); break;
  }
  return i < limit ? static_cast<int>(i) : -1;
}

EffectDesc EffectBase::GetDesc() const {
  return EffectDesc{decl_.sourceName, static_cast<int>(params_.size()), TechniqueCount()};
}

ParameterHandle EffectBase::GetParameterByName(std::string_view name) const {
  for (std::size_t i = 0; i < params_.size(); ++i)
    if (params_[i].decl->name == name) return Make<HandleKind::Parameter>(static_cast<int>(i));
  return {};
}

ParameterHandle EffectBase::GetParameter(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < params_.size() ? Make<HandleKind::Parameter>(index) : ParameterHandle{};
}

TechniqueHandle EffectBase::GetTechniqueByName(std::string_view name) const {
  for (int i = 0; i < TechniqueCount(); ++i)
    if (decl_.techniques[static_cast<std::size_t>(i)].name == name) return Make<HandleKind::Technique>(i);
  return {};
}

TechniqueHandle EffectBase::GetTechnique(int index) const {
  return index >= 0 && index < TechniqueCount() ? Make<HandleKind::Technique>(index) : TechniqueHandle{};
}

PassHandle EffectBase::GetPass(TechniqueHandle technique, int index) const {
  int t = IndexOf(technique, HandleKind::Technique);
  if (t < 0 || index < 0 || static_cast<std::size_t>(index) >= decl_.techniques[static_cast<std::size_t>(t)].passes.size())
    return {};
  return Make<HandleKind::Pass>(PassIndex(t, index));
}

PassHandle EffectBase::GetPassByName(TechniqueHandle technique, std::string_view name) const {
  int t = IndexOf(technique, HandleKind::Technique);
  if (t < 0) return {};
  const auto& passes = decl_.techniques[static_cast<std::size_t>(t)].passes;
  for (std::size_t p = 0; p < passes.size(); ++p)
    if (passes[p].name == name) return Make<HandleKind::Pass>(PassIndex(t, static_cast<int>(p)));
  return {};
}

AnnotationHandle EffectBase::GetAnnotation(AnnotatedHandle object, int index) const {
  const Range* r = nullptr;
  int i;
  if ((i = IndexOf(object, HandleKind::Parameter)) >= 0) r = &paramAnnots_[static_cast<std::size_t>(i)];
  else if ((i = IndexOf(object, HandleKind::Technique)) >= 0) r = &techAnnots_[static_cast<std::size_t>(i)];
  else if ((i = IndexOf(object, HandleKind::Pass)) >= 0) r = &passAnnots_[static_cast<std::size_t>(i)];
  if (!r || index < 0 || index >= r->count) return {};
  return Make<HandleKind::Annotation>(r->first + index);
}

AnnotationHandle EffectBase::GetAnnotationByName(AnnotatedHandle object, std::string_view name) const {
  for (int i = 0;; ++i) {
    AnnotationHandle h = GetAnnotation(object, i);
    if (!h) return {};
    if (annotations_[static_cast<std::size_t>(IndexOf(h, HandleKind::Annotation))]->name == name) return h;
  }
}

const EffectAnnotationDecl* EffectBase::AnnotationOf(const HandleBase& h) const {
  int i = IndexOf(h, HandleKind::Annotation);
  return i < 0 ? nullptr : annotations_[static_cast<std::size_t>(i)];
}

HRESULT EffectBase::GetParameterDesc(ValueHandle h, ParameterDesc* out) const {
  if (!out) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i >= 0) {
    const Param& p = params_[static_cast<std::size_t>(i)];
    *out = ParameterDesc{p.decl->name, p.decl->type, p.decl->elements, paramAnnots_[static_cast<std::size_t>(i)].count,
                         static_cast<std::size_t>(p.words) * 4};
    return S_OK;
  }
  if (const EffectAnnotationDecl* a = AnnotationOf(h)) {
    std::size_t bytes = a->type == ParameterType::String ? a->s.size() + 1
                                                         : static_cast<std::size_t>(ParameterTypeWords(a->type)) * 4;
    *out = ParameterDesc{a->name, a->type, 0, 0, bytes};
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT EffectBase::GetTechniqueDesc(TechniqueHandle technique, TechniqueDesc* out) const {
  int t = IndexOf(technique, HandleKind::Technique);
  if (t < 0 || !out) return E_INVALIDARG;
  const EffectTechniqueDecl& d = decl_.techniques[static_cast<std::size_t>(t)];
  *out = TechniqueDesc{d.name, static_cast<int>(d.passes.size()), techAnnots_[static_cast<std::size_t>(t)].count};
  return S_OK;
}

HRESULT EffectBase::GetPassDesc(PassHandle pass, PassDesc* out) const {
  int p = IndexOf(pass, HandleKind::Pass);
  if (p < 0 || !out) return E_INVALIDARG;
  auto [t, k] = passes_[static_cast<std::size_t>(p)];
  *out = PassDesc{decl_.techniques[static_cast<std::size_t>(t)].passes[static_cast<std::size_t>(k)].name,
                  passAnnots_[static_cast<std::size_t>(p)].count};
  return S_OK;
}

bool EffectBase::IsTechniqueValid(TechniqueHandle technique) const {
  int t = IndexOf(technique, HandleKind::Technique);
  return t >= 0 && techValidStatic_[static_cast<std::size_t>(t)] && BackendTechniqueValid(t);
}

HRESULT EffectBase::FindNextValidTechnique(TechniqueHandle after, TechniqueHandle* out) const {
  if (!out) return E_INVALIDARG;
  *out = TechniqueHandle{};
  int start = 0;
  if (after) {
    int t = IndexOf(after, HandleKind::Technique);
    if (t < 0) return E_INVALIDARG;
    start = t + 1;
  }
  for (int t = start; t < TechniqueCount(); ++t)
    if (IsTechniqueValid(Make<HandleKind::Technique>(t))) {
      *out = Make<HandleKind::Technique>(t);
      return S_OK;
    }
  return E_FAIL;
}

// ---- values ----------------------------------------------------------------

HRESULT EffectBase::Changed(int param) {
  Param& p = params_[static_cast<std::size_t>(param)];
  p.dirty = true;
  if (recording_ >= 0 && !applying_) {
    Block& b = blocks_[static_cast<std::size_t>(recording_)];
    Block::Entry e{param, b.data.size(), p.words, -1, -1};
    b.data.insert(b.data.end(), words_.begin() + static_cast<std::ptrdiff_t>(p.offset),
                  words_.begin() + static_cast<std::ptrdiff_t>(p.offset + static_cast<std::size_t>(p.words)));
    ParameterType t = p.decl->type;
    if (t == ParameterType::Texture || t == ParameterType::CubeTexture) {
      e.texture = static_cast<int>(b.textures.size());
      b.textures.push_back(p.texture);
    } else if (t == ParameterType::String) {
      e.text = static_cast<int>(b.texts.size());
      b.texts.push_back(p.text);
    }
    b.entries.push_back(e);
  }
  OnParameterChanged(param);
  return S_OK;
}

HRESULT EffectBase::SetValue(ParameterHandle h, const void* data, std::size_t bytes) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || (!data && bytes)) return E_INVALIDARG;
  Param& p = params_[static_cast<std::size_t>(i)];
  if (p.words == 0 || bytes > static_cast<std::size_t>(p.words) * 4 || bytes % 4) return E_INVALIDARG;
  if (bytes) std::memcpy(&words_[p.offset], data, bytes);
  if (p.decl->type == ParameterType::Bool)
    for (std::size_t k = 0; k < bytes / 4; ++k) words_[p.offset + k] = words_[p.offset + k] ? 1u : 0u;
  return Changed(i);
}

HRESULT EffectBase::SetFloatArray(ParameterHandle h, const float* v, std::size_t count) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || (!v && count)) return E_INVALIDARG;
  Param& p = params_[static_cast<std::size_t>(i)];
  if (p.words == 0) return E_INVALIDARG;
  std::size_t n = std::min(count, static_cast<std::size_t>(p.words));
  for (std::size_t k = 0; k < n; ++k) words_[p.offset + k] = WordFromFloat(p.decl->type, v[k]);
  return Changed(i);
}

HRESULT EffectBase::SetInt(ParameterHandle h, int v) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0) return E_INVALIDARG;
  Param& p = params_[static_cast<std::size_t>(i)];
  if (p.words == 0) return E_INVALIDARG;
  ParameterType t = p.decl->type;
  words_[p.offset] = t == ParameterType::Int ? static_cast<std::uint32_t>(v)
                     : t == ParameterType::Bool ? (v != 0 ? 1u : 0u)
                                                : FloatBits(static_cast<float>(v));
  return Changed(i);
}

HRESULT EffectBase::SetBool(ParameterHandle h, bool v) { return SetInt(h, v ? 1 : 0); }

HRESULT EffectBase::SetVectorArray(ParameterHandle h, const glm::vec4* v, std::size_t count) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || (!v && count)) return E_INVALIDARG;
  Param& p = params_[static_cast<std::size_t>(i)];
  int per = ParameterTypeWords(p.decl->type);
  if (p.words == 0 || !IsFloatType(p.decl->type)) return E_INVALIDARG;
  if (per > 4) return SetFloatArray(h, &v[0].x, count * 4);
  std::size_t elements = static_cast<std::size_t>(std::max(1, p.decl->elements));
  std::size_t n = std::min(count, elements);
  for (std::size_t e = 0; e < n; ++e)
    for (int c = 0; c < per; ++c) words_[p.offset + e * static_cast<std::size_t>(per) + static_cast<std::size_t>(c)] = FloatBits(v[e][c]);
  return Changed(i);
}

HRESULT EffectBase::SetMatrix(ParameterHandle h, const glm::mat4& m) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0) return E_INVALIDARG;
  const Param& p = params_[static_cast<std::size_t>(i)];
  if (!IsFloatType(p.decl->type) || p.words < 16) return E_INVALIDARG;
  return SetFloatArray(h, &m[0][0], 16);
}

HRESULT EffectBase::SetString(ParameterHandle h, std::string_view v) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || params_[static_cast<std::size_t>(i)].decl->type != ParameterType::String) return E_INVALIDARG;
  params_[static_cast<std::size_t>(i)].text.assign(v);
  return Changed(i);
}

HRESULT EffectBase::SetTexture(ParameterHandle h, std::shared_ptr<BaseTexture> texture) {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0) return E_INVALIDARG;
  Param& p = params_[static_cast<std::size_t>(i)];
  ParameterType t = p.decl->type;
  if (t != ParameterType::Texture && t != ParameterType::CubeTexture) return E_INVALIDARG;
  if (texture) {
    if (device_ && !device_->Owns(*texture)) return E_INVALIDARG;
    ResourceType want = t == ParameterType::Texture ? ResourceType::Texture : ResourceType::CubeTexture;
    if (texture->GetType() != want) return E_INVALIDARG;
  }
  p.texture = std::move(texture);
  return Changed(i);
}

HRESULT EffectBase::GetValue(ValueHandle h, void* data, std::size_t bytes) const {
  if (!data && bytes) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i >= 0) {
    const Param& p = params_[static_cast<std::size_t>(i)];
    if (p.words == 0 || bytes > static_cast<std::size_t>(p.words) * 4) return E_INVALIDARG;
    if (bytes) std::memcpy(data, &words_[p.offset], bytes);
    return S_OK;
  }
  if (const EffectAnnotationDecl* a = AnnotationOf(h)) {
    if (a->type == ParameterType::String) return E_INVALIDARG;
    std::uint32_t w[4];
    int n = ParameterTypeWords(a->type);
    for (int k = 0; k < n; ++k)
      w[k] = a->type == ParameterType::Int || a->type == ParameterType::Bool ? static_cast<std::uint32_t>(a->i)
                                                                              : FloatBits(a->f[k]);
    if (bytes > static_cast<std::size_t>(n) * 4) return E_INVALIDARG;
    if (bytes) std::memcpy(data, w, bytes);
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT EffectBase::GetFloatArray(ValueHandle h, float* v, std::size_t count) const {
  if (!v && count) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i >= 0) {
    const Param& p = params_[static_cast<std::size_t>(i)];
    if (p.words == 0) return E_INVALIDARG;
    std::size_t n = std::min(count, static_cast<std::size_t>(p.words));
    for (std::size_t k = 0; k < n; ++k) v[k] = FloatFromWord(p.decl->type, words_[p.offset + k]);
    for (std::size_t k = n; k < count; ++k) v[k] = 0.0f;
    return S_OK;
  }
  if (const EffectAnnotationDecl* a = AnnotationOf(h)) {
    if (a->type == ParameterType::String) return E_INVALIDARG;
    for (std::size_t k = 0; k < count; ++k) v[k] = k < 4 ? a->f[k] : 0.0f;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT EffectBase::GetInt(ValueHandle h, int* v) const {
  if (!v) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i >= 0) {
    const Param& p = params_[static_cast<std::size_t>(i)];
    if (p.words == 0) return E_INVALIDARG;
    std::uint32_t w = words_[p.offset];
    *v = IsFloatType(p.decl->type) ? IntFromFloat(BitsFloat(w)) : static_cast<int>(w);
    return S_OK;
  }
  if (const EffectAnnotationDecl* a = AnnotationOf(h)) {
    if (a->type == ParameterType::String) return E_INVALIDARG;
    *v = a->i;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT EffectBase::GetBool(ValueHandle h, bool* v) const {
  int x = 0;
  if (!v) return E_INVALIDARG;
  HRESULT hr = GetInt(h, &x);
  if (Succeeded(hr)) {
    float f = 0;
    GetFloat(h, &f);
    *v = x != 0 || f != 0.0f;
  }
  return hr;
}

HRESULT EffectBase::GetVector(ValueHandle h, glm::vec4* v) const {
  if (!v) return E_INVALIDARG;
  return GetFloatArray(h, &v->x, 4);
}

HRESULT EffectBase::GetVectorArray(ValueHandle h, glm::vec4* v, std::size_t count) const {
  if (!v && count) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0) return count == 1 ? GetVector(h, v) : E_INVALIDARG;
  const Param& p = params_[static_cast<std::size_t>(i)];
  int per = ParameterTypeWords(p.decl->type);
  if (p.words == 0 || !IsFloatType(p.decl->type)) return E_INVALIDARG;
  if (per > 4) return GetFloatArray(h, &v[0].x, count * 4);
  std::size_t elements = static_cast<std::size_t>(std::max(1, p.decl->elements));
  for (std::size_t e = 0; e < count; ++e) {
    v[e] = glm::vec4(0.0f);
    if (e < elements)
      for (int c = 0; c < per; ++c) v[e][c] = BitsFloat(words_[p.offset + e * static_cast<std::size_t>(per) + static_cast<std::size_t>(c)]);
  }
  return S_OK;
}

HRESULT EffectBase::GetMatrix(ParameterHandle h, glm::mat4* m) const {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || !m || params_[static_cast<std::size_t>(i)].words < 16 ||
      !IsFloatType(params_[static_cast<std::size_t>(i)].decl->type))
    return E_INVALIDARG;
  return GetFloatArray(h, &(*m)[0][0], 16);
}

HRESULT EffectBase::GetString(ValueHandle h, const char** v) const {
  if (!v) return E_INVALIDARG;
  int i = IndexOf(h, HandleKind::Parameter);
  if (i >= 0) {
    const Param& p = params_[static_cast<std::size_t>(i)];
    if (p.decl->type != ParameterType::String) return E_INVALIDARG;
    *v = p.text.c_str();
    return S_OK;
  }
  const EffectAnnotationDecl* a = AnnotationOf(h);
  if (!a || a->type != ParameterType::String) return E_INVALIDARG;
  *v = a->s.c_str();
  return S_OK;
}

HRESULT EffectBase::GetTexture(ParameterHandle h, std::shared_ptr<BaseTexture>* out) const {
  int i = IndexOf(h, HandleKind::Parameter);
  if (i < 0 || !out) return E_INVALIDARG;
  const Param& p = params_[static_cast<std::size_t>(i)];
  if (p.decl->type != ParameterType::Texture && p.decl->type != ParameterType::CubeTexture) return E_INVALIDARG;
  *out = p.texture;
  return S_OK;
}

// ---- drawing ---------------------------------------------------------------

HRESULT EffectBase::SetTechnique(TechniqueHandle technique) {
  int t = IndexOf(technique, HandleKind::Technique);
  if (t < 0 || begun_) return E_INVALIDARG;
  currentTech_ = t;
  current_ = technique;
  return S_OK;
}

HRESULT EffectBase::Begin(unsigned* passes, std::uint32_t flags) {
  if (begun_) return ERR_INVALIDCALL;
  if (currentTech_ < 0) {
    // Like Direct3D effects, an effect starts on its first valid technique.
    TechniqueHandle h = FirstValidTechnique();
    if (!h) {
      if (passes) *passes = 0;
      return E_FAIL;
    }
    currentTech_ = IndexOf(h, HandleKind::Technique);
    current_ = h;
  }
  begun_ = true;
  beginFlags_ = flags;
  if (!(flags & EFFECT_DONOTSAVESTATE) && device_)
    for (int s = 0; s < kRenderStateCount; ++s) saved_[static_cast<std::size_t>(s)] = device_->GetRenderState(RenderStateAt(s));
  if (passes) *passes = static_cast<unsigned>(decl_.techniques[static_cast<std::size_t>(currentTech_)].passes.size());
  return S_OK;
}

HRESULT EffectBase::BeginPass(unsigned pass) {
  if (!begun_ || activePass_ >= 0) return ERR_INVALIDCALL;
  const EffectTechniqueDecl& tech = decl_.techniques[static_cast<std::size_t>(currentTech_)];
  if (pass >= tech.passes.size()) return E_INVALIDARG;
  if (!IsTechniqueValid(current_)) return E_FAIL;
  const EffectPassDecl& p = tech.passes[pass];
  if (device_)
    for (const auto& [state, value] : p.states) device_->SetRenderState(state, value);
  activePass_ = static_cast<int>(pass);
  HRESULT hr = OnBeginPass(currentTech_, activePass_);
  if (Failed(hr)) activePass_ = -1;
  else if (device_) device_->PassBegun(this);
  return hr;
}

HRESULT EffectBase::CommitChanges() {
  if (activePass_ < 0) return ERR_INVALIDCALL;
  return OnCommit();
}

HRESULT EffectBase::EndPass() {
  if (activePass_ < 0) return ERR_INVALIDCALL;
  OnEndPass();
  activePass_ = -1;
  if (device_) device_->PassEnded(this);
  return S_OK;
}

HRESULT EffectBase::End() {
  if (!begun_) return ERR_INVALIDCALL;
  if (activePass_ >= 0) EndPass();
  begun_ = false;
  OnEnd();
  if (!(beginFlags_ & EFFECT_DONOTSAVESTATE) && device_)
    for (int s = 0; s < kRenderStateCount; ++s) {
      RenderState rs = RenderStateAt(s);
      if (device_->GetRenderState(rs) != saved_[static_cast<std::size_t>(s)])
        device_->SetRenderState(rs, saved_[static_cast<std::size_t>(s)]);
    }
  return S_OK;
}

// ---- parameter blocks ------------------------------------------------------

HRESULT EffectBase::BeginParameterBlock() {
  if (recording_ >= 0) return ERR_INVALIDCALL;
  std::size_t i = 0;
  while (i < blocks_.size() && blocks_[i].used) ++i;
  if (i == blocks_.size()) {
    if (blocks_.size() >= 65536) return E_OUTOFMEMORY;
    blocks_.emplace_back();
  }
  Block& b = blocks_[i];
  b.used = true;
  b.entries.clear();
  b.data.clear();
  b.textures.clear();
  b.texts.clear();
  recording_ = static_cast<int>(i);
  return S_OK;
}

BlockHandle EffectBase::EndParameterBlock() {
  if (recording_ < 0) return {};
  BlockHandle h = Make<HandleKind::Block>(recording_);
  recording_ = -1;
  return h;
}

HRESULT EffectBase::ApplyParameterBlock(BlockHandle block) {
  int i = IndexOf(block, HandleKind::Block);
  if (i < 0 || !blocks_[static_cast<std::size_t>(i)].used || i == recording_) return E_INVALIDARG;
  Block& b = blocks_[static_cast<std::size_t>(i)];
  // Values reach the effect as if set again; a block being recorded takes them too.
  for (const Block::Entry& e : b.entries) {
    Param& p = params_[static_cast<std::size_t>(e.param)];
    std::copy(b.data.begin() + static_cast<std::ptrdiff_t>(e.offset),
              b.data.begin() + static_cast<std::ptrdiff_t>(e.offset + static_cast<std::size_t>(e.words)),
              words_.begin() + static_cast<std::ptrdiff_t>(p.offset));
    if (e.texture >= 0) p.texture = b.textures[static_cast<std::size_t>(e.texture)];
    if (e.text >= 0) p.text = b.texts[static_cast<std::size_t>(e.text)];
    Changed(e.param);
  }
  return S_OK;
}

HRESULT EffectBase::DeleteParameterBlock(BlockHandle block) {
  int i = IndexOf(block, HandleKind::Block);
  if (i < 0 || !blocks_[static_cast<std::size_t>(i)].used || i == recording_) return E_INVALIDARG;
  Block& b = blocks_[static_cast<std::size_t>(i)];
  b.used = false;
  b.entries.clear();
  b.data.clear();
  b.textures.clear();  // drops the texture references the block held
  b.texts.clear();
  return S_OK;
}

}  // namespace gfx::detail
