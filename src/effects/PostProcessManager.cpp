#include "effects/PostProcessManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "effects/RenderTargetChain.h"
#include "framework/MediaSearch.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/ReadNotes.h"
#include "io/Utf16.h"

namespace {

struct EffectRow {
  const char16_t* file;
  const char16_t* name;
};

constexpr EffectRow kEffects[PostProcessManager::kEffectCount] = {
    {u"fx\\ColorMonochrome.fxo", u"[Color] Monochrome"},
    {u"fx\\ColorInverse.fxo", u"[Color] Inversion"},
    {u"fx\\ColorGBlurH.fxo", u"[Color] Gaussian Blur Horizontal"},
    {u"fx\\ColorGBlurV.fxo", u"[Color] Gaussian Blur Vertical"},
    {u"fx\\ColorBloomH.fxo", u"[Color] Bloom Horizontal"},
    {u"fx\\ColorBloomV.fxo", u"[Color] Bloom Vertical"},
    {u"fx\\ColorBrightPass.fxo", u"[Color] Bright Pass"},
    {u"fx\\ColorToneMap.fxo", u"[Color] Tone Mapping"},
    {u"fx\\ColorEdgeDetect.fxo", u"[Color] Edge Detection"},
    {u"fx\\ColorDownFilter4.fxo", u"[Color] Down Filter 4x"},
    {u"fx\\ColorUpFilter4.fxo", u"[Color] Up Filter 4x"},
    {u"fx\\ColorCombine.fxo", u"[Color] Combine"},
    {u"fx\\ColorCombine4.fxo", u"[Color] Combine 4x"},
    {u"fx\\NormalEdgeDetect.fxo", u"[Normal] Edge Detection"},
    {u"fx\\DofCombine.fxo", u"DOF Combine"},
    {u"fx\\NormalMap.fxo", u"Normal Map"},
    {u"fx\\PositionMap.fxo", u"Position Map"},
    {u"fx\\blur.fxo", u"Blur"},
    {u"fx\\noise.fxo", u"Noise"},
    {u"fx\\generalblur.fxo", u"General Blur"},
    {u"fx\\pixelize.fxo", u"Pixelizer"},
    {u"fx\\black.fxo", u"ShockWave"},
    {u"fx\\ColorGBlurV2.fxo", u"[Color] Ext.G.Blur Vertical"},
    {u"fx\\Distortion.fxo", u"Distortion"},
    {u"fx\\Distortion2.fxo", u"Distortion2"},
};

}  // namespace

PostProcessManager::PostProcessManager() {
  m_slotFree.fill(true);
  EmptyRecords();
  m_list.push_back(nullptr);  // the end marker
}

const char16_t* PostProcessManager::EffectFile(int index) {
  return IsEffectIndex(index) ? kEffects[index].file : u"";
}

const char16_t* PostProcessManager::DisplayName(int index) {
  return IsEffectIndex(index) ? kEffects[index].name : u"";
}

std::vector<int> PostProcessManager::CombinationRows(PostProcessCombination c) {
  switch (c) {
    case PostProcessCombination::Blur: return {9, 2, 3, 2, 3, 10};
    case PostProcessCombination::Bloom: return {9, 9, 6, 4, 5, 4, 5, 10, 12};
    case PostProcessCombination::DepthOfField: return {9, 2, 3, 2, 3, 10, 14};
    case PostProcessCombination::EdgeGlow: return {13, 9, 4, 5, 12};
  }
  return {};
}

void PostProcessManager::ReleaseEffects() {
  m_effects.fill(PostProcessEffect{});
  m_quadDeclaration.reset();
  m_quadBuffer.reset();
}

const PostProcessInstance* PostProcessManager::GetListInstance(int item) const {
  if (item < 0 || item >= GetListCount()) return nullptr;
  return m_list[static_cast<std::size_t>(item)].get();
}

void PostProcessManager::SetSelected(int item) {
  m_selected = item >= 0 && item < GetListCount() ? item : -1;
}

bool PostProcessManager::IsSlotFree(int slot) const {
  return slot >= 0 && slot < kSlotCount && m_slotFree[static_cast<std::size_t>(slot)];
}

int PostProcessManager::CountFreeSlots() const {
  int n = 0;
  for (bool f : m_slotFree) n += f ? 1 : 0;
  return n;
}

int PostProcessManager::TakeSlot() {
  for (int s = 0; s < kSlotCount; ++s) {
    if (m_slotFree[static_cast<std::size_t>(s)]) {
      m_slotFree[static_cast<std::size_t>(s)] = false;
      return s;
    }
  }
  return -1;
}

void PostProcessManager::MarkSlot(std::int32_t slot, bool free) {
  // Slots come from files too; one outside the pool has no flag to change.
  if (slot >= 0 && slot < kSlotCount) m_slotFree[static_cast<std::size_t>(slot)] = free;
}

void PostProcessManager::EmptyRecords() {
  m_records.fill(mv::effects::ChainRecord{});
  m_recordInstances.fill(nullptr);
}

bool PostProcessManager::InsertEffect(int effectIndex) {
  if (!IsEffectIndex(effectIndex)) return false;
  const int marker = GetListCount() - 1;
  // A slide stores at most 20 entries, the end marker included: a 20th
  // effect would make the chain unsavable (it would read back empty).
  if (marker >= mv::effects::kMaxStoredEntries - 1) return false;
  const int position = m_selected >= 0 ? m_selected : marker;
  const int slot = TakeSlot();
  if (slot < 0) return false;
  auto instance = std::make_unique<PostProcessInstance>();
  instance->parameterSlot = slot;
  instance->effectIndex = effectIndex;
  instance->parameters = m_effects[static_cast<std::size_t>(effectIndex)].parameterDefault;
  m_list.insert(m_list.begin() + position, std::move(instance));
  if (m_selected >= 0) m_selected = position + 1;
  return true;
}

void PostProcessManager::RemoveSelected() {
  const int marker = GetListCount() - 1;
  if (m_selected < 0 || m_selected >= marker) return;
  MarkSlot(m_list[static_cast<std::size_t>(m_selected)]->parameterSlot, true);
  m_list.erase(m_list.begin() + m_selected);
  if (m_selected > GetListCount() - 1) m_selected = GetListCount() - 1;
}

void PostProcessManager::MoveUp() {
  const int marker = GetListCount() - 1;
  if (m_selected <= 0 || m_selected >= marker) return;
  std::swap(m_list[static_cast<std::size_t>(m_selected)], m_list[static_cast<std::size_t>(m_selected - 1)]);
  --m_selected;
}

void PostProcessManager::MoveDown() {
  if (m_selected < 0 || m_selected >= GetListCount() - 2) return;
  std::swap(m_list[static_cast<std::size_t>(m_selected)], m_list[static_cast<std::size_t>(m_selected + 1)]);
  ++m_selected;
}

void PostProcessManager::ClearActiveList() {
  // Records may still point at the instances; they are rebuilt by the
  // SyncRecords that follows every edit.
  m_recordInstances.fill(nullptr);
  m_list.clear();
  m_list.push_back(nullptr);
  m_slotFree.fill(true);
  m_selected = -1;
}

void PostProcessManager::ApplyCombination(PostProcessCombination c) {
  ClearActiveList();
  for (int row : CombinationRows(c)) InsertEffect(row);
}

void PostProcessManager::SyncRecords() {
  m_entryCount = GetListCount();
  EmptyRecords();
  for (int k = 0; k + 1 < GetListCount() && k < kRecordCount; ++k) {
    PostProcessInstance* inst = m_list[static_cast<std::size_t>(k)].get();
    auto& r = m_records[static_cast<std::size_t>(k)];
    r.effectIndex = inst->effectIndex;
    r.parameterSlot = inst->parameterSlot;
    r.parameters = inst->parameters;
    m_recordInstances[static_cast<std::size_t>(k)] = inst;
  }
}

std::ostream& PostProcessManager::Write(std::ostream& out) {
  mv::io::WriteI32(out, m_entryCount);
  if (mv::effects::ChainCountHasRecords(m_entryCount))
    for (std::int32_t k = 0; k < m_entryCount; ++k)
      mv::effects::WriteChainRecord(out, m_records[static_cast<std::size_t>(k)]);
  return out;
}

std::istream& PostProcessManager::Read(std::istream& in) {
  ClearActiveList();
  EmptyRecords();
  m_entryCount = 0;
  std::int32_t count = 0;
  const bool countRead = mv::io::ReadI32(in, count);
  if (countRead && count != 0 && !mv::effects::ChainCountHasRecords(count))
    mv::io::NoteRepair(in, 4, "post-process count %d outside 1..%d: no chain, no records read", count,
                       mv::effects::kMaxStoredEntries);
  if (countRead && mv::effects::ChainCountHasRecords(count)) {
    std::vector<std::unique_ptr<PostProcessInstance>> items;
    items.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
      auto& r = m_records[static_cast<std::size_t>(k)];
      if (!mv::effects::ReadChainRecord(in, r)) {
        // Cut short: keep no half-read chain.
        EmptyRecords();
        items.clear();
        count = 0;
        break;
      }
      if (k + 1 == count) {
        if (r.effectIndex != -1)
          mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process end marker names effect %d: ignored", r.effectIndex);
        // The end marker carries no instance.
        r.effectIndex = -1;
        break;
      }
      if (!IsEffectIndex(r.effectIndex))
        mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process entry %d names effect %d, which does not exist: it draws nothing", k, r.effectIndex);
      if (r.parameterSlot < 0 || r.parameterSlot >= kSlotCount)
        mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process entry %d uses parameter slot %d outside 0..%d: no slot is reserved for it", k, r.parameterSlot, kSlotCount - 1);
      auto inst = std::make_unique<PostProcessInstance>();
      inst->effectIndex = r.effectIndex;
      inst->parameterSlot = r.parameterSlot;
      inst->parameters = r.parameters;
      MarkSlot(inst->parameterSlot, false);
      m_recordInstances[static_cast<std::size_t>(k)] = inst.get();
      items.push_back(std::move(inst));
    }
    if (count > 0) {
      m_entryCount = count;
      for (auto& item : items) m_list.insert(m_list.end() - 1, std::move(item));
    } else {
      m_slotFree.fill(true);
    }
  }
  m_bEnabled = true;
  return in;
}

// ---- the device side ------------------------------------------------------------

namespace {

const char* const kSourceNames[4] = {"g_txSrcColor", "g_txSrcNormal", "g_txSrcPosition", "g_txSrcVelocity"};
const char* const kSceneNames[4] = {"g_txSceneColor", "g_txSceneNormal", "g_txScenePosition", "g_txSceneVelocity"};

}  // namespace

gfx::HRESULT PostProcessManager::LoadEffect(gfx::Device& device, int index) {
  PostProcessEffect& e = m_effects[static_cast<std::size_t>(index)];
  e = PostProcessEffect{};
  std::filesystem::path path;
  gfx::HRESULT hr = fw::FindMediaFile(std::u16string_view(EffectFile(index)), &path);
  if (gfx::Failed(hr)) return hr;
  std::string errors;
  hr = device.CreateEffectFromFile(path.string(), &e.effect, &errors);
  if (gfx::Failed(hr)) {
    if (!errors.empty()) Log(errors + "\n");
    return hr;
  }
  gfx::Effect& fx = *e.effect;
  e.technique = fx.GetTechniqueByName("PostProcess");
  e.sourceExtent = fx.GetParameterByName("g_vSrcExtent");
  e.time = fx.GetParameterByName("g_fTime");
  for (int t = 0; t < 4; ++t) {
    e.sourceTextures[static_cast<std::size_t>(t)] = fx.GetParameterByName(kSourceNames[t]);
    e.sceneTextures[static_cast<std::size_t>(t)] = fx.GetParameterByName(kSceneNames[t]);
  }
  gfx::TechniqueDesc desc;
  if (!e.technique || gfx::Failed(fx.GetTechniqueDesc(e.technique, &desc))) return gfx::ERR_INVALIDCALL;
  e.passScale.assign(static_cast<std::size_t>(std::max(desc.passes, 0)), {1.0f, 1.0f});
  for (int p = 0; p < desc.passes; ++p) {
    const gfx::PassHandle pass = fx.GetPass(e.technique, p);
    auto& scale = e.passScale[static_cast<std::size_t>(p)];
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(pass, "fScaleX")) fx.GetFloat(a, &scale[0]);
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(pass, "fScaleY")) fx.GetFloat(a, &scale[1]);
  }
  if (!fx.IsTechniqueValid(e.technique)) {
    if (!errors.empty()) Log(errors + "\n");
    return gfx::E_FAIL;
  }
  if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(e.technique, "nRenderTarget"))
    fx.GetInt(a, &e.renderTarget);
  for (int i = 0; i < 2; ++i) {
    const auto k = static_cast<std::size_t>(i);
    char name[32];
    std::snprintf(name, sizeof name, "Parameter%d", i);
    const char* text = nullptr;
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(e.technique, name);
        a && gfx::Succeeded(fx.GetString(a, &text)) && text) {
      e.parameterHandle[k] = fx.GetParameterByName(text);
      e.parameterName[k] = mv::io::Utf8ToUtf16(mv::io::AnsiToUtf8(text));
    }
    std::snprintf(name, sizeof name, "Parameter%dDesc", i);
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(e.technique, name);
        a && gfx::Succeeded(fx.GetString(a, &text)) && text)
      e.parameterDesc[k] = mv::io::Utf8ToUtf16(mv::io::AnsiToUtf8(text));
    std::snprintf(name, sizeof name, "Parameter%dSize", i);
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(e.technique, name)) fx.GetInt(a, &e.parameterSize[k]);
    std::snprintf(name, sizeof name, "Parameter%dDef", i);
    if (const gfx::AnnotationHandle a = fx.GetAnnotationByName(e.technique, name)) {
      glm::vec4 v(0.0f);
      if (gfx::Succeeded(fx.GetVector(a, &v))) e.parameterDefault[k] = {v.x, v.y, v.z, v.w};
    }
  }
  return gfx::S_OK;
}

gfx::HRESULT PostProcessManager::OnCreateDevice(gfx::Device& device) {
  gfx::HRESULT hr =
      device.CreateVertexDeclaration(kQuadVertexElements, std::size(kQuadVertexElements), &m_quadDeclaration);
  if (gfx::Failed(hr)) return hr;
  for (int i = 0; i < kEffectCount; ++i) {
    hr = LoadEffect(device, i);
    Log("Loading Fx : " + mv::io::Utf16ToUtf8(EffectFile(i)) + "...");
    if (gfx::Failed(hr)) {
      Log("Failed !\n");
      return hr;
    }
    Log("Done.\n");
  }
  EmptyRecords();
  m_entryCount = 0;
  return gfx::S_OK;
}

gfx::HRESULT PostProcessManager::ResetEffect(int index, int width, int height) {
  PostProcessEffect& e = m_effects[static_cast<std::size_t>(index)];
  if (!e.effect || width <= 0 || height <= 0) return gfx::S_OK;
  gfx::Effect& fx = *e.effect;
  // Kernels are written in pixels; the shaders want texture units.
  for (int p = 0;; ++p) {
    const gfx::ParameterHandle target = fx.GetParameter(p);
    if (!target) break;
    const gfx::AnnotationHandle a = fx.GetAnnotationByName(target, "ConvertPixelsToTexels");
    const char* sourceName = nullptr;
    if (!a || gfx::Failed(fx.GetString(a, &sourceName)) || !sourceName) continue;
    const gfx::ParameterHandle source = fx.GetParameterByName(sourceName);
    gfx::ParameterDesc desc;
    if (!source || gfx::Failed(fx.GetParameterDesc(source, &desc))) continue;
    const std::size_t n = desc.bytes / 8;
    if (n == 0) continue;
    std::vector<glm::vec4> kernel(n, glm::vec4(0.0f));
    fx.GetVectorArray(source, kernel.data(), n);
    for (glm::vec4& k : kernel) {
      k.x /= static_cast<float>(width);
      k.y /= static_cast<float>(height);
    }
    fx.SetVectorArray(target, kernel.data(), n);
  }
  return gfx::S_OK;
}

gfx::HRESULT PostProcessManager::OnResetDevice(int width, int height) {
  for (int i = 0; i < kEffectCount; ++i) {
    const gfx::HRESULT hr = ResetEffect(i, width, height);
    if (gfx::Failed(hr)) return hr;
  }
  return gfx::S_OK;
}

void PostProcessManager::OnLostDevice() { m_quadBuffer.reset(); }

gfx::HRESULT PostProcessManager::PerformPostProcess(gfx::Device& device, const PostProcessFrame& frame,
                                                    bool* performed) {
  if (performed) *performed = false;
  if (!m_bEnabled || m_entryCount < 2 || !frame.chains || !frame.parameterBlock) return gfx::S_OK;
  if (performed) *performed = true;
  const float w = static_cast<float>(frame.width), h = static_cast<float>(frame.height);
  m_quad[0] = {-0.5f, -0.5f, 1.0f, 1.0f, 0, 0, 0, 0, 0, 0, 0};
  m_quad[1] = {w - 0.5f, -0.5f, 1.0f, 1.0f, 1, 0, 1, 0, 0, 0, 0};
  m_quad[2] = {-0.5f, h - 0.5f, 1.0f, 1.0f, 0, 1, 0, 1, 0, 0, 0};
  m_quad[3] = {w - 0.5f, h - 0.5f, 1.0f, 1.0f, 1, 1, 1, 1, 0, 0, 0};
  static_assert(sizeof(QuadVertex) * 4 == 176);
  // Made once per device and refilled each frame, so a frame allocates nothing.
  if (!m_quadBuffer) {
    const gfx::HRESULT hr = device.CreateVertexBuffer(sizeof m_quad, gfx::USAGE_WRITEONLY | gfx::USAGE_DYNAMIC,
                                                      gfx::Pool::Default, &m_quadBuffer);
    if (gfx::Failed(hr)) return hr;
  }
  void* data = nullptr;
  if (gfx::Succeeded(m_quadBuffer->Lock(0, 0, &data, gfx::LOCK_DISCARD))) {
    std::memcpy(data, m_quad.data(), sizeof m_quad);
    m_quadBuffer->Unlock();
  }
  m_extentX = m_extentY = 1.0f;
  for (int c = 0; c < 3; ++c) frame.chains[c].SetFirstRender(true);
  for (int k = 0; k < m_entryCount && k < kRecordCount; ++k) {
    const PostProcessInstance* instance = m_recordInstances[static_cast<std::size_t>(k)];
    if (!instance || !IsEffectIndex(instance->effectIndex)) continue;
    PostProcessEffect& e = m_effects[static_cast<std::size_t>(instance->effectIndex)];
    if (!e.effect) continue;
    // One effect that fails does not stop the chain.
    PerformSinglePostProcess(device, frame, e, *instance);
  }
  return gfx::S_OK;
}

gfx::HRESULT PostProcessManager::PerformSinglePostProcess(gfx::Device& device, const PostProcessFrame& frame,
                                                          PostProcessEffect& e, const PostProcessInstance& instance) {
  gfx::Effect& fx = *e.effect;
  for (int t = 0; t < 3; ++t)
    if (e.sceneTextures[static_cast<std::size_t>(t)])
      fx.SetTexture(e.sceneTextures[static_cast<std::size_t>(t)], frame.sceneTextures[static_cast<std::size_t>(t)]);
  if (e.time) fx.SetFloat(e.time, frame.time);
  const int slot = std::clamp(instance.parameterSlot, 0, kSlotCount - 1);
  for (int i = 0; i < 2; ++i) {
    if (!e.parameterHandle[static_cast<std::size_t>(i)]) continue;
    const float* v = frame.parameterBlock + (2 * slot + i) * 4;
    fx.SetVector(e.parameterHandle[static_cast<std::size_t>(i)], glm::vec4(v[0], v[1], v[2], v[3]));
  }
  if (gfx::Failed(device.BeginScene())) return gfx::S_OK;
  fx.SetTechnique(e.technique);
  device.SetVertexDeclaration(m_quadDeclaration);
  unsigned passes = 0;
  fx.Begin(&passes, 0);
  const int target = std::clamp(e.renderTarget, 0, 2);
  RenderTargetChain& chain = frame.chains[target];
  for (unsigned p = 0; p < passes; ++p) {
    bool changed = false;
    if (m_quad[1].u0 != m_extentX) m_quad[1].u0 = m_quad[3].u0 = m_extentX, changed = true;
    if (m_quad[2].v0 != m_extentY) m_quad[2].v0 = m_quad[3].v0 = m_extentY, changed = true;
    const bool known = p < e.passScale.size();
    const float scaleX = known ? e.passScale[p][0] : 1.0f, scaleY = known ? e.passScale[p][1] : 1.0f;
    if (scaleX != 1.0f) {
      for (int v : {1, 3}) m_quad[static_cast<std::size_t>(v)].x = (m_quad[static_cast<std::size_t>(v)].x + 0.5f) * scaleX - 0.5f;
      changed = true;
    }
    if (scaleY != 1.0f) {
      for (int v : {2, 3}) m_quad[static_cast<std::size_t>(v)].y = (m_quad[static_cast<std::size_t>(v)].y + 0.5f) * scaleY - 0.5f;
      changed = true;
    }
    if (changed) {
      void* data = nullptr;
      if (gfx::Succeeded(m_quadBuffer->Lock(0, 0, &data, gfx::LOCK_DISCARD))) {
        std::memcpy(data, m_quad.data(), sizeof m_quad);
        m_quadBuffer->Unlock();
      }
    }
    // The sources are drawn up to the extent before this pass: effects that
    // sample around a pixel keep inside it.
    if (e.sourceExtent) fx.SetVector(e.sourceExtent, glm::vec4(m_extentX, m_extentY, 0.0f, 0.0f));
    m_extentX *= scaleX;
    m_extentY *= scaleY;
    for (int c = 0; c < 3; ++c) {
      const gfx::ParameterHandle h = e.sourceTextures[static_cast<std::size_t>(c)];
      if (!h) continue;
      const RenderTargetChain& source = frame.chains[c];
      fx.SetTexture(h, source.IsFirstRender() ? frame.sceneTextures[static_cast<std::size_t>(c)] : source.GetPrevTarget());
    }
    std::shared_ptr<gfx::Surface> surface;
    if (!chain.GetNextTarget() || gfx::Failed(chain.GetNextTarget()->GetSurfaceLevel(0, &surface))) {
      fx.End();
      device.EndScene();
      return gfx::E_FAIL;
    }
    device.SetRenderTarget(0, surface);
    surface.reset();
    chain.SetFirstRender(false);
    device.Clear(gfx::CLEAR_TARGET, 0x00000000, 1.0f, 0);
    fx.BeginPass(p);
    device.SetStreamSource(0, m_quadBuffer, 0, sizeof(QuadVertex));
    device.DrawPrimitive(gfx::PrimitiveType::TriangleStrip, 0, 2);
    fx.EndPass();
    chain.Flip();
  }
  fx.End();
  device.EndScene();
  return gfx::S_OK;
}
