#include "gfx/RecordingDevice.h"

#include <algorithm>
#include <array>

#include "gfx/EffectBase.h"
#include "gfx/Resources.h"

namespace gfx {

std::vector<const RecordedEvent*> RecordingDevice::Find(RecordedEvent::Kind kind, std::string_view name) const {
  std::vector<const RecordedEvent*> r;
  for (const RecordedEvent& e : Events())
    if (e.kind == kind && (name.empty() || e.name == name)) r.push_back(&e);
  return r;
}

const RecordedEvent* RecordingDevice::LastParameter(std::string_view name) const {
  const auto& ev = Events();
  for (auto it = ev.rbegin(); it != ev.rend(); ++it)
    if (it->kind == RecordedEvent::Kind::SetParameter && it->name == name) return &*it;
  return nullptr;
}

int RecordingDevice::CountDraws() const {
  return static_cast<int>(std::count_if(Events().begin(), Events().end(),
                                        [](const RecordedEvent& e) { return e.kind == RecordedEvent::Kind::Draw; }));
}

namespace {

using detail::EffectBase;
using EvKind = RecordedEvent::Kind;

class RecDevice;

class RecEffect final : public EffectBase {
 public:
  RecEffect(RecDevice* dev, EffectFileDecl decl);
  HRESULT SetTechnique(TechniqueHandle technique) override;
  HRESULT Begin(unsigned* passes, std::uint32_t flags) override;
  HRESULT EndPass() override;
  HRESULT End() override;
  HRESULT ApplyParameterBlock(BlockHandle block) override;
  HRESULT OnLostDevice() override;
  HRESULT OnResetDevice() override;

 protected:
  void OnParameterChanged(int param) override;
  bool BackendTechniqueValid(int tech) const override;
  HRESULT OnBeginPass(int tech, int pass) override;
  HRESULT OnCommit() override;

 private:
  RecordedEvent& Push(EvKind k);
  std::string TechName() const {
    return currentTech_ >= 0 ? decl_.techniques[static_cast<std::size_t>(currentTech_)].name : std::string();
  }
  RecDevice* dev_;
};

class RecDevice final : public RecordingDevice {
 public:
  RecDevice(int w, int h) : width_(w), height_(h) {
    SurfaceDesc d;
    d.format = Format::A8R8G8B8;
    d.usage = USAGE_RENDERTARGET;
    d.width = w;
    d.height = h;
    backBuffer_ = std::make_shared<detail::BackBufferSurface>(d);
    Adopt(*backBuffer_);
    ResetRenderTargets();
    settings_.caps.numSimultaneousRTs = 4;
    settings_.caps.maxPointSize = 64.0f;
    settings_.caps.maxTextureWidth = settings_.caps.maxTextureHeight = 8192;
    settings_.caps.description = "Recording device";
  }

  Settings& GetSettings() override { return settings_; }
  const std::vector<RecordedEvent>& Events() const override { return events_; }
  void ClearEvents() override { events_.clear(); }
  void SetRecording(bool on) override { recording_ = on; }

  RecordedEvent* Push(EvKind k) {
    if (!recording_) return nullptr;
    events_.emplace_back();
    events_.back().kind = k;
    return &events_.back();
  }

  BackBufferDesc GetBackBufferDesc() const override { return BackBufferDesc{width_, height_, "A8R8G8B8"}; }
  std::shared_ptr<Surface> GetBackBuffer() override { return backBuffer_; }
  DeviceCaps GetDeviceCaps() const override { return settings_.caps; }
  DisplayMode GetDisplayMode() const override { return DisplayMode{width_, height_, 60, Format::X8R8G8B8}; }
  bool CheckRenderTargetFormat(Format f, ResourceType type) const override {
    if (type == ResourceType::CubeTexture && !settings_.cubeRenderTargets) return false;
    if (f == Format::A16B16G16R16F || f == Format::A32B32G32R32F || f == Format::R32F)
      return settings_.floatRenderTargets;
    return f == Format::A8R8G8B8 || f == Format::X8R8G8B8;
  }
  bool CheckPostPixelShaderBlending(Format f) const override {
    return f == Format::A8R8G8B8 || f == Format::X8R8G8B8 || (f == Format::A16B16G16R16F && settings_.floatRenderTargets);
  }

  int LiveDefaultPoolResources() const override {
    int n = 0;
    for (const auto& w : defaultPool_) n += w.expired() ? 0 : 1;
    return n;
  }

  // Pass bookkeeping from the effects, for the draw record.
  void NotePass(const std::string& effect, const std::string& technique, int pass) {
    activeEffect_ = effect;
    activeTechnique_ = technique;
    activePass_ = pass;
  }

 protected:
  HRESULT DoClear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t) override {
    if (RecordedEvent* e = Push(EvKind::Clear)) {
      e->value = color;
      e->index = static_cast<int>(flags);
      e->values = {z};
      e->surface = RenderTarget(0).get();
    }
    return S_OK;
  }
  HRESULT DoBeginScene() override {
    if (settings_.failBeginScene) return ERR_INVALIDCALL;
    Push(EvKind::BeginScene);
    return S_OK;
  }
  void DoEndScene() override { Push(EvKind::EndScene); }
  void DoSetRenderTarget(int index) override {
    if (RecordedEvent* e = Push(EvKind::SetRenderTarget)) {
      e->index = index;
      e->surface = RenderTarget(index).get();
    }
  }

  HRESULT DoCreateTexture(int w, int h, int levels, std::uint32_t usage, Format format, Pool pool,
                          std::shared_ptr<Texture>* out) override {
    if (settings_.failTextureCreation) return E_OUTOFMEMORY;
    *out = std::make_shared<detail::TextureImpl>(w, h, levels, usage, format, pool);
    Track(*out);
    return S_OK;
  }
  HRESULT DoCreateCubeTexture(int edge, int levels, std::uint32_t usage, Format format, Pool pool,
                              std::shared_ptr<CubeTexture>* out) override {
    if (settings_.failTextureCreation) return E_OUTOFMEMORY;
    *out = std::make_shared<detail::CubeTextureImpl>(edge, levels, usage, format, pool);
    Track(*out);
    return S_OK;
  }
  HRESULT DoCreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool,
                               std::shared_ptr<VertexBuffer>* out) override {
    *out = std::make_shared<detail::VertexBufferImpl>(bytes, usage, pool);
    Track(*out);
    return S_OK;
  }
  HRESULT DoCreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                              std::shared_ptr<IndexBuffer>* out) override {
    *out = std::make_shared<detail::IndexBufferImpl>(bytes, usage, format, pool);
    Track(*out);
    return S_OK;
  }

  void DoSetVertexDeclaration() override { Push(EvKind::SetVertexDeclaration); }
  void DoSetStreamSource(int stream) override {
    if (RecordedEvent* e = Push(EvKind::SetStreamSource)) {
      e->index = stream;
      e->value = static_cast<std::uint32_t>(Stream(stream).stride);
    }
  }
  void DoSetIndices() override { Push(EvKind::SetIndices); }
  void DoSetRenderState(int index) override {
    if (RecordedEvent* e = Push(EvKind::SetRenderState)) {
      e->state = RenderStateAt(index);
      e->name = RenderStateName(e->state);
      e->value = StateAt(index);
    }
  }

  HRESULT DoDrawPrimitive(PrimitiveType type, std::uint32_t start, std::uint32_t count) override {
    RecordDraw(type, count, false, nullptr, 0);
    // What stream 0 held for the draw, as it was at that moment.
    const StreamBinding& s = Stream(0);
    auto* storage = dynamic_cast<const detail::BufferStorage*>(s.buffer.get());
    if (recording_ && !events_.empty() && storage && s.stride > 0) {
      const std::size_t from = s.offset + std::size_t{start} * s.stride;
      const std::size_t bytes = std::size_t{PrimitiveVertexCount(type, count)} * s.stride;
      if (from <= storage->Bytes() && bytes <= storage->Bytes() - from)
        events_.back().vertices.assign(storage->Data() + from, storage->Data() + from + bytes);
    }
    return S_OK;
  }
  HRESULT DoDrawIndexedPrimitive(PrimitiveType type, std::int32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                 std::uint32_t count) override {
    RecordDraw(type, count, true, nullptr, 0);
    return S_OK;
  }
  HRESULT DoDrawPrimitiveUP(PrimitiveType type, std::uint32_t count, const void* vertices,
                            std::size_t stride) override {
    RecordDraw(type, count, false, vertices, stride);
    return S_OK;
  }

  HRESULT DoCreateEffect(EffectFileDecl&& decl, std::shared_ptr<Effect>* out, std::string*) override {
    std::string name = decl.sourceName;
    *out = std::make_shared<RecEffect>(this, std::move(decl));
    if (RecordedEvent* e = Push(EvKind::CreateEffect)) e->effect = std::move(name);
    return S_OK;
  }

  HRESULT DoReset(int w, int h) override {
    if (settings_.strictReset && LiveDefaultPoolResources() > 0) return ERR_INVALIDCALL;
    width_ = w;
    height_ = h;
    backBuffer_->SetSize(w, h);
    if (RecordedEvent* e = Push(EvKind::Reset)) e->values = {static_cast<float>(w), static_cast<float>(h)};
    return S_OK;
  }
  HRESULT DoReadSurfaceRGBA8(const Surface&, std::vector<std::uint8_t>*) override { return E_NOTIMPL; }
  HRESULT DoReadSurfaceFloat(const Surface&, std::vector<float>*) override { return E_NOTIMPL; }

 private:
  template <class T>
  void Track(const std::shared_ptr<T>& r) {
    if (r->GetPool() != Pool::Default) return;
    // Forget the dead ones first so the list stays as long as the live set.
    defaultPool_.erase(std::remove_if(defaultPool_.begin(), defaultPool_.end(),
                                      [](const std::weak_ptr<Resource>& w) { return w.expired(); }),
                       defaultPool_.end());
    defaultPool_.push_back(r);
  }

  void RecordDraw(PrimitiveType type, std::uint32_t count, bool indexed, const void* up, std::size_t stride) {
    RecordedEvent* e = Push(EvKind::Draw);
    if (!e) return;
    e->effect = activeEffect_;
    e->technique = activeTechnique_;
    e->index = activePass_;
    e->primitive = type;
    e->value = count;
    e->indexed = indexed;
    e->userMemory = up != nullptr;
    if (up) {
      const auto* b = static_cast<const std::uint8_t*>(up);
      e->vertices.assign(b, b + PrimitiveVertexCount(type, count) * stride);
    }
    for (int s = 0; s < 3; ++s)
      if (RenderTarget(s)) e->values.push_back(static_cast<float>(s));
  }

  int width_, height_;
  Settings settings_;
  std::vector<std::weak_ptr<Resource>> defaultPool_;
  std::vector<RecordedEvent> events_;
  bool recording_ = true;
  std::shared_ptr<detail::BackBufferSurface> backBuffer_;
  std::string activeEffect_;
  std::string activeTechnique_;
  int activePass_ = -1;
};

RecEffect::RecEffect(RecDevice* dev, EffectFileDecl decl) : EffectBase(dev, std::move(decl)), dev_(dev) {}

RecordedEvent& RecEffect::Push(EvKind k) {
  static thread_local RecordedEvent sink;
  RecordedEvent* e = dev_->Push(k);
  if (!e) {
    sink = RecordedEvent{};
    return sink;
  }
  e->effect = Name();
  e->technique = TechName();
  return *e;
}

HRESULT RecEffect::SetTechnique(TechniqueHandle technique) {
  HRESULT hr = EffectBase::SetTechnique(technique);
  if (Succeeded(hr)) Push(EvKind::SetTechnique);
  return hr;
}

HRESULT RecEffect::Begin(unsigned* passes, std::uint32_t flags) {
  unsigned n = 0;
  HRESULT hr = EffectBase::Begin(&n, flags);
  if (passes) *passes = n;
  if (Succeeded(hr)) Push(EvKind::Begin).value = n;
  return hr;
}

HRESULT RecEffect::EndPass() {
  int pass = activePass_;
  HRESULT hr = EffectBase::EndPass();
  if (Succeeded(hr)) Push(EvKind::EndPass).index = pass;
  return hr;
}

HRESULT RecEffect::End() {
  if (activePass_ >= 0) EndPass();
  HRESULT hr = EffectBase::End();
  if (Succeeded(hr)) Push(EvKind::End);
  return hr;
}

HRESULT RecEffect::ApplyParameterBlock(BlockHandle block) {
  HRESULT hr = EffectBase::ApplyParameterBlock(block);
  if (Succeeded(hr)) Push(EvKind::ApplyParameterBlock).value = static_cast<std::uint32_t>(BlockIndex(block));
  return hr;
}

HRESULT RecEffect::OnLostDevice() {
  Push(EvKind::EffectLost);
  return S_OK;
}

HRESULT RecEffect::OnResetDevice() {
  Push(EvKind::EffectReset);
  return S_OK;
}

void RecEffect::OnParameterChanged(int param) {
  const Param& p = params_[static_cast<std::size_t>(param)];
  RecordedEvent* e = dev_->Push(EvKind::SetParameter);
  if (!e) return;
  e->effect = Name();
  e->technique = TechName();
  e->name = p.decl->name;
  ParameterType t = p.decl->type;
  e->values.resize(static_cast<std::size_t>(p.words));
  for (int k = 0; k < p.words; ++k) {
    std::uint32_t w = words_[p.offset + static_cast<std::size_t>(k)];
    e->values[static_cast<std::size_t>(k)] = t == ParameterType::Int    ? static_cast<float>(static_cast<std::int32_t>(w))
                                             : t == ParameterType::Bool ? (w ? 1.0f : 0.0f)
                                                                        : BitsFloat(w);
  }
  e->text = p.text;
  e->texture = p.texture.get();
}

bool RecEffect::BackendTechniqueValid(int tech) const {
  const auto& bad = dev_->GetSettings().invalidTechniques;
  return std::find(bad.begin(), bad.end(), decl_.techniques[static_cast<std::size_t>(tech)].name) == bad.end();
}

HRESULT RecEffect::OnBeginPass(int tech, int pass) {
  dev_->NotePass(Name(), decl_.techniques[static_cast<std::size_t>(tech)].name, pass);
  Push(EvKind::BeginPass).index = pass;
  return S_OK;
}

HRESULT RecEffect::OnCommit() {
  Push(EvKind::CommitChanges).index = activePass_;
  return S_OK;
}

}  // namespace

std::unique_ptr<RecordingDevice> CreateRecordingDevice(int width, int height) {
  return std::make_unique<RecDevice>(width > 0 ? width : 1, height > 0 ? height : 1);
}

}  // namespace gfx
