#include "gfx/Device.h"

#include "gfx/EffectFile.h"
#include "gfx/Resources.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>

namespace gfx {

const char* FormatName(Format f) {
  switch (f) {
    case Format::A8R8G8B8: return "A8R8G8B8";
    case Format::X8R8G8B8: return "X8R8G8B8";
    case Format::A16B16G16R16F: return "A16B16G16R16F";
    case Format::A32B32G32R32F: return "A32B32G32R32F";
    case Format::R32F: return "R32F";
    case Format::L8: return "L8";
    case Format::A8: return "A8";
    case Format::DXT1: return "DXT1";
    case Format::DXT3: return "DXT3";
    case Format::DXT5: return "DXT5";
    case Format::D24S8: return "D24S8";
    case Format::Unknown: break;
  }
  return "UNKNOWN";
}

int FormatBytesPerPixel(Format f) {
  switch (f) {
    case Format::A8R8G8B8:
    case Format::X8R8G8B8:
    case Format::R32F: return 4;
    case Format::A16B16G16R16F: return 8;
    case Format::A32B32G32R32F: return 16;
    case Format::L8:
    case Format::A8: return 1;
    default: return 0;
  }
}

bool FormatIsCompressed(Format f) { return f == Format::DXT1 || f == Format::DXT3 || f == Format::DXT5; }

std::size_t FormatPitch(Format f, int width) {
  if (width < 1) width = 1;
  if (FormatIsCompressed(f)) return static_cast<std::size_t>((width + 3) / 4) * (f == Format::DXT1 ? 8 : 16);
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(FormatBytesPerPixel(f));
}

int FormatRows(Format f, int height) {
  if (height < 1) height = 1;
  return FormatIsCompressed(f) ? (height + 3) / 4 : height;
}

int VertexTypeSize(VertexType t) {
  switch (t) {
    case VertexType::Float1: return 4;
    case VertexType::Float2: return 8;
    case VertexType::Float3: return 12;
    case VertexType::Float4: return 16;
    case VertexType::Color:
    case VertexType::UByte4: return 4;
    case VertexType::Unused: return 0;
  }
  return 0;
}

int VertexAttributeLocation(VertexUsage usage, int usageIndex) {
  switch (usage) {
    case VertexUsage::Position:
    case VertexUsage::PositionT: return usageIndex == 0 ? 0 : -1;
    case VertexUsage::Normal: return usageIndex == 0 ? 1 : -1;
    case VertexUsage::TexCoord: return usageIndex >= 0 && usageIndex < 8 ? 2 + usageIndex : -1;
    case VertexUsage::Color: return usageIndex >= 0 && usageIndex < 2 ? 10 + usageIndex : -1;
    case VertexUsage::Tangent: return usageIndex == 0 ? 12 : -1;
    case VertexUsage::Binormal: return usageIndex == 0 ? 13 : -1;
    case VertexUsage::BlendWeight: return usageIndex == 0 ? 14 : -1;
    case VertexUsage::BlendIndices: return usageIndex == 0 ? 15 : -1;
    case VertexUsage::PSize: return -1;
  }
  return -1;
}

const char* VertexAttributeName(int location) {
  static const char* const kNames[kVertexAttributeCount] = {
      "inPosition",  "inNormal",    "inTexCoord0", "inTexCoord1", "inTexCoord2",   "inTexCoord3",
      "inTexCoord4", "inTexCoord5", "inTexCoord6", "inTexCoord7", "inColor0",      "inColor1",
      "inTangent",   "inBinormal",  "inBlendWeight", "inBlendIndices"};
  return location >= 0 && location < kVertexAttributeCount ? kNames[location] : "";
}

std::size_t VertexDeclaration::GetVertexSize(int stream) const {
  std::size_t size = 0;
  for (const VertexElement& e : GetElements())
    if (e.stream == stream) size = std::max<std::size_t>(size, e.offset + VertexTypeSize(e.type));
  return size;
}

bool VertexDeclaration::IsPreTransformed() const {
  for (const VertexElement& e : GetElements())
    if (e.usage == VertexUsage::PositionT) return true;
  return false;
}

namespace {

struct StateInfo {
  RenderState state;
  const char* name;
  std::uint32_t def;
};

const std::array<StateInfo, kRenderStateCount> kStates = {{
    {RenderState::ZEnable, "ZEnable", 1},
    {RenderState::FillMode, "FillMode", FILL_SOLID},
    {RenderState::ShadeMode, "ShadeMode", SHADE_GOURAUD},
    {RenderState::ZWriteEnable, "ZWriteEnable", 1},
    {RenderState::AlphaTestEnable, "AlphaTestEnable", 0},
    {RenderState::SrcBlend, "SrcBlend", BLEND_ONE},
    {RenderState::DestBlend, "DestBlend", BLEND_ZERO},
    {RenderState::CullMode, "CullMode", CULL_CCW},
    {RenderState::ZFunc, "ZFunc", CMP_LESSEQUAL},
    {RenderState::AlphaRef, "AlphaRef", 0},
    {RenderState::AlphaFunc, "AlphaFunc", CMP_ALWAYS},
    {RenderState::AlphaBlendEnable, "AlphaBlendEnable", 0},
    {RenderState::SpecularEnable, "SpecularEnable", 0},
    {RenderState::Lighting, "Lighting", 1},
    {RenderState::PointSize, "PointSize", 0x3F800000u},
    {RenderState::BlendOp, "BlendOp", BLENDOP_ADD},
    {RenderState::PointSpriteEnable, "PointSpriteEnable", 0},
    {RenderState::PointScaleEnable, "PointScaleEnable", 0},
    {RenderState::ColorWriteEnable, "ColorWriteEnable", 0xF},
}};

}  // namespace

RenderState RenderStateAt(int index) { return kStates[static_cast<std::size_t>(index)].state; }

int RenderStateIndex(RenderState s) {
  for (int i = 0; i < kRenderStateCount; ++i)
    if (kStates[static_cast<std::size_t>(i)].state == s) return i;
  return -1;
}

std::uint32_t RenderStateDefault(RenderState s) {
  int i = RenderStateIndex(s);
  return i < 0 ? 0 : kStates[static_cast<std::size_t>(i)].def;
}

const char* RenderStateName(RenderState s) {
  int i = RenderStateIndex(s);
  return i < 0 ? "Unknown" : kStates[static_cast<std::size_t>(i)].name;
}

bool RenderStateValueValid(RenderState s, std::uint32_t v) {
  switch (s) {
    case RenderState::ZEnable:
    case RenderState::ZWriteEnable:
    case RenderState::AlphaTestEnable:
    case RenderState::AlphaBlendEnable:
    case RenderState::SpecularEnable:
    case RenderState::Lighting:
    case RenderState::PointSpriteEnable:
    case RenderState::PointScaleEnable: return v <= 1;
    case RenderState::FillMode: return v >= FILL_POINT && v <= FILL_SOLID;
    case RenderState::ShadeMode: return v >= SHADE_FLAT && v <= SHADE_PHONG;
    case RenderState::CullMode: return v >= CULL_NONE && v <= CULL_CCW;
    case RenderState::SrcBlend:
    case RenderState::DestBlend: return v >= BLEND_ZERO && v <= BLEND_SRCALPHASAT;
    case RenderState::BlendOp: return v >= BLENDOP_ADD && v <= BLENDOP_MAX;
    case RenderState::ZFunc:
    case RenderState::AlphaFunc: return v >= CMP_NEVER && v <= CMP_ALWAYS;
    case RenderState::AlphaRef: return v <= 255;
    case RenderState::ColorWriteEnable: return v <= 0xF;
    case RenderState::PointSize: {
      const float f = BitsFloat(v);
      return std::isfinite(f) && f >= 0.0f;
    }
  }
  return false;
}

bool RenderStateFromName(std::string_view name, RenderState* out) {
  for (const StateInfo& s : kStates)
    if (name == s.name) {
      *out = s.state;
      return true;
    }
  return false;
}

std::size_t PrimitiveVertexCount(PrimitiveType type, std::uint32_t n) {
  if (n == 0) return 0;
  switch (type) {
    case PrimitiveType::PointList: return n;
    case PrimitiveType::LineList: return std::size_t{n} * 2;
    case PrimitiveType::LineStrip: return std::size_t{n} + 1;
    case PrimitiveType::TriangleList: return std::size_t{n} * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return std::size_t{n} + 2;
  }
  return 0;
}

HRESULT Device::CreateTextureFromRGBA(int width, int height, const std::uint8_t* rgba, std::shared_ptr<Texture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  if (width < 1 || height < 1 || !rgba) return E_INVALIDARG;
  std::shared_ptr<Texture> tex;
  HRESULT hr = CreateTexture(width, height, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &tex);
  if (Failed(hr)) return hr;
  LockedRect lr;
  hr = tex->LockRect(0, &lr, 0);
  if (Failed(hr)) return hr;
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<std::uint8_t*>(lr.bits) + static_cast<std::size_t>(y) * lr.pitch;
    const std::uint8_t* src = rgba + static_cast<std::size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      row[x * 4 + 0] = src[x * 4 + 2];
      row[x * 4 + 1] = src[x * 4 + 1];
      row[x * 4 + 2] = src[x * 4 + 0];
      row[x * 4 + 3] = src[x * 4 + 3];
    }
  }
  tex->UnlockRect(0);
  *out = std::move(tex);
  return S_OK;
}

// ---- locks -----------------------------------------------------------------

bool BaseTexture::IsLevelLocked(int face, int level) const {
  if (face < 0 || face >= 6 || level < 0 || level >= 32) return false;
  return ((locked_[face] >> level) & 1u) != 0;
}

HRESULT BaseTexture::BeginLock(int face, int faces, int level, const LockedRect* out, std::uint32_t flags) {
  if (!out || face < 0 || face >= faces || level < 0 || level >= GetLevelCount() || level >= 32) return ERR_INVALIDCALL;
  const std::uint32_t usage = GetLevelDesc(level).usage;
  if (usage & USAGE_RENDERTARGET) return ERR_INVALIDCALL;
  if (flags & ~std::uint32_t{LOCK_READONLY | LOCK_DISCARD}) return ERR_INVALIDCALL;
  if ((flags & LOCK_DISCARD) && (!(usage & USAGE_DYNAMIC) || (flags & LOCK_READONLY))) return ERR_INVALIDCALL;
  const std::uint32_t bit = 1u << level;
  if (locked_[face] & bit) return ERR_INVALIDCALL;
  locked_[face] |= bit;
  return S_OK;
}

HRESULT BaseTexture::EndLock(int face, int faces, int level) {
  if (face < 0 || face >= faces || !IsLevelLocked(face, level)) return ERR_INVALIDCALL;
  locked_[face] &= ~(1u << level);
  return S_OK;
}

HRESULT Texture::LockRect(int level, LockedRect* out, std::uint32_t flags) {
  const HRESULT hr = BeginLock(0, 1, level, out, flags);
  if (Succeeded(hr)) DoLockRect(level, out);
  return hr;
}

HRESULT Texture::UnlockRect(int level) {
  const HRESULT hr = EndLock(0, 1, level);
  if (Succeeded(hr)) DoUnlockRect(level);
  return hr;
}

HRESULT CubeTexture::LockRect(CubeFace face, int level, LockedRect* out, std::uint32_t flags) {
  const HRESULT hr = BeginLock(static_cast<int>(face), 6, level, out, flags);
  if (Succeeded(hr)) DoLockRect(face, level, out);
  return hr;
}

HRESULT CubeTexture::UnlockRect(CubeFace face, int level) {
  const HRESULT hr = EndLock(static_cast<int>(face), 6, level);
  if (Succeeded(hr)) DoUnlockRect(face, level);
  return hr;
}

HRESULT Buffer::Lock(std::size_t offset, std::size_t size, void** data, std::uint32_t flags) {
  if (!data) return ERR_INVALIDCALL;
  *data = nullptr;
  const std::size_t bytes = GetSize();
  if (locked_ || offset >= bytes) return ERR_INVALIDCALL;
  if (size == 0) size = bytes - offset;
  if (size > bytes - offset) return ERR_INVALIDCALL;
  constexpr std::uint32_t kWrites = LOCK_DISCARD | LOCK_NOOVERWRITE;
  if (flags & ~std::uint32_t{LOCK_READONLY | kWrites}) return ERR_INVALIDCALL;
  // Discarding and not overwriting are promises about writes to a buffer
  // that is rewritten every frame; they contradict each other and reading.
  if ((flags & kWrites) && (!(GetUsage() & USAGE_DYNAMIC) || (flags & LOCK_READONLY) || (flags & kWrites) == kWrites))
    return ERR_INVALIDCALL;
  locked_ = true;
  *data = DoLock(offset, size, flags);
  return S_OK;
}

HRESULT Buffer::Unlock() {
  if (!locked_) return ERR_INVALIDCALL;
  locked_ = false;
  DoUnlock();
  return S_OK;
}

// ---- the device ------------------------------------------------------------

namespace {

std::atomic<std::uint32_t> g_deviceSerial{1};

constexpr std::uint32_t kKnownUsage = USAGE_RENDERTARGET | USAGE_DYNAMIC | USAGE_WRITEONLY | USAGE_POINTS;
constexpr std::size_t kMaxBufferBytes = std::size_t{256} << 20;

bool KnownPool(Pool p) { return p == Pool::Default || p == Pool::Managed || p == Pool::SystemMem; }

bool KnownPrimitive(PrimitiveType t) {
  const auto v = static_cast<std::uint32_t>(t);
  return v >= static_cast<std::uint32_t>(PrimitiveType::PointList) &&
         v <= static_cast<std::uint32_t>(PrimitiveType::TriangleFan);
}

// The texture arguments every backend refuses alike.
HRESULT CheckTextureArgs(const Device& dev, int width, int height, int levels, std::uint32_t usage, Format format,
                         Pool pool, ResourceType type) {
  if (!KnownPool(pool) || (usage & ~kKnownUsage)) return ERR_INVALIDCALL;
  if (FormatBytesPerPixel(format) == 0 && !FormatIsCompressed(format)) return ERR_INVALIDCALL;
  const DeviceCaps caps = dev.GetDeviceCaps();
  if (!detail::ValidTextureArgs(width, height, levels, usage, format, pool,
                                std::min(caps.maxTextureWidth, caps.maxTextureHeight)))
    return ERR_INVALIDCALL;
  if (FormatIsCompressed(format) && !caps.textureCompressionS3TC) return ERR_INVALIDCALL;
  if ((usage & USAGE_RENDERTARGET) && !dev.CheckRenderTargetFormat(format, type)) return ERR_INVALIDCALL;
  return S_OK;
}

HRESULT CheckBufferArgs(std::size_t bytes, std::uint32_t usage, Pool pool) {
  if (bytes == 0 || bytes > kMaxBufferBytes || !KnownPool(pool)) return ERR_INVALIDCALL;
  if ((usage & ~kKnownUsage) || (usage & USAGE_RENDERTARGET)) return ERR_INVALIDCALL;
  return S_OK;
}

}  // namespace

Device::Device() : serial_(g_deviceSerial.fetch_add(1)) {
  for (int s = 0; s < kRenderStateCount; ++s) states_[s] = RenderStateDefault(RenderStateAt(s));
}

void Device::ResetRenderTargets() {
  targets_[0] = GetBackBuffer();
  targets_[1].reset();
  targets_[2].reset();
}

template <class T>
HRESULT Device::Made(HRESULT hr, std::shared_ptr<T>* out) const {
  if (Succeeded(hr) && !*out) hr = E_FAIL;
  if (Failed(hr)) {
    out->reset();
    return hr;
  }
  Adopt(**out);
  return hr;
}

HRESULT Device::Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) {
  constexpr std::uint32_t kAll = CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL;
  if (flags == 0 || (flags & ~kAll)) return ERR_INVALIDCALL;
  if ((flags & CLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f)) return ERR_INVALIDCALL;
  return DoClear(flags, color, z, stencil);
}

HRESULT Device::BeginScene() {
  if (inScene_) return ERR_INVALIDCALL;
  const HRESULT hr = DoBeginScene();
  if (Succeeded(hr)) inScene_ = true;
  return hr;
}

HRESULT Device::EndScene() {
  if (!inScene_) return ERR_INVALIDCALL;
  inScene_ = false;
  DoEndScene();
  return S_OK;
}

HRESULT Device::SetRenderTarget(int index, std::shared_ptr<Surface> surface) {
  if (index < 0 || index >= std::min(3, GetDeviceCaps().numSimultaneousRTs)) return ERR_INVALIDCALL;
  if (!surface) {
    if (index == 0) return ERR_INVALIDCALL;
  } else {
    if (!(surface->GetDesc().usage & USAGE_RENDERTARGET)) return ERR_INVALIDCALL;
    const std::shared_ptr<BaseTexture> container = surface->GetContainer();
    if (container ? !Owns(*container) : !Owns(*surface)) return ERR_INVALIDCALL;
    // The back buffer is no texture a framebuffer could join to others.
    if (!container && index != 0) return ERR_INVALIDCALL;
  }
  targets_[index] = std::move(surface);
  DoSetRenderTarget(index);
  return S_OK;
}

HRESULT Device::GetRenderTarget(int index, std::shared_ptr<Surface>* out) {
  if (!out || index < 0 || index > 2) return ERR_INVALIDCALL;
  *out = targets_[index];
  return *out ? S_OK : E_FAIL;
}

HRESULT Device::CreateTexture(int width, int height, int levels, std::uint32_t usage, Format format, Pool pool,
                              std::shared_ptr<Texture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  const HRESULT hr = CheckTextureArgs(*this, width, height, levels, usage, format, pool, ResourceType::Texture);
  if (Failed(hr)) return hr;
  return Made(DoCreateTexture(width, height, levels, usage, format, pool, out), out);
}

HRESULT Device::CreateCubeTexture(int edgeLength, int levels, std::uint32_t usage, Format format, Pool pool,
                                  std::shared_ptr<CubeTexture>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  const HRESULT hr =
      CheckTextureArgs(*this, edgeLength, edgeLength, levels, usage, format, pool, ResourceType::CubeTexture);
  if (Failed(hr)) return hr;
  return Made(DoCreateCubeTexture(edgeLength, levels, usage, format, pool, out), out);
}

HRESULT Device::CreateVertexBuffer(std::size_t bytes, std::uint32_t usage, Pool pool,
                                   std::shared_ptr<VertexBuffer>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  const HRESULT hr = CheckBufferArgs(bytes, usage, pool);
  if (Failed(hr)) return hr;
  return Made(DoCreateVertexBuffer(bytes, usage, pool, out), out);
}

HRESULT Device::CreateIndexBuffer(std::size_t bytes, std::uint32_t usage, IndexFormat format, Pool pool,
                                  std::shared_ptr<IndexBuffer>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  HRESULT hr = CheckBufferArgs(bytes, usage, pool);
  if (Succeeded(hr) && format != IndexFormat::Index16 && format != IndexFormat::Index32) hr = ERR_INVALIDCALL;
  if (Failed(hr)) return hr;
  return Made(DoCreateIndexBuffer(bytes, usage, format, pool, out), out);
}

HRESULT Device::CreateVertexDeclaration(const VertexElement* elements, std::size_t count,
                                        std::shared_ptr<VertexDeclaration>* out) {
  if (!out) return E_INVALIDARG;
  out->reset();
  if (!detail::ValidDeclaration(elements, count)) return ERR_INVALIDCALL;
  // Both backends read the elements at draw time: one kind of declaration.
  auto decl = std::make_shared<detail::VertexDeclarationImpl>(std::vector<VertexElement>(elements, elements + count));
  Adopt(*decl);
  *out = std::move(decl);
  return S_OK;
}

HRESULT Device::SetVertexDeclaration(std::shared_ptr<VertexDeclaration> decl) {
  if (decl && !Owns(*decl)) return ERR_INVALIDCALL;
  decl_ = std::move(decl);
  DoSetVertexDeclaration();
  return S_OK;
}

HRESULT Device::SetStreamSource(int stream, std::shared_ptr<VertexBuffer> buffer, std::size_t offset,
                                std::size_t stride) {
  if (stream < 0 || stream >= kMaxStreams) return ERR_INVALIDCALL;
  if (buffer && (!Owns(*buffer) || stride == 0 || stride > kMaxStride || offset >= buffer->GetSize()))
    return ERR_INVALIDCALL;
  StreamBinding& b = streams_[stream];
  b.buffer = std::move(buffer);
  b.offset = offset;
  b.stride = stride;
  DoSetStreamSource(stream);
  return S_OK;
}

HRESULT Device::SetIndices(std::shared_ptr<IndexBuffer> buffer) {
  if (buffer && !Owns(*buffer)) return ERR_INVALIDCALL;
  indices_ = std::move(buffer);
  DoSetIndices();
  return S_OK;
}

HRESULT Device::SetRenderState(RenderState state, std::uint32_t value) {
  const int i = RenderStateIndex(state);
  if (i < 0 || !RenderStateValueValid(state, value)) return ERR_INVALIDCALL;
  states_[i] = value;
  DoSetRenderState(i);
  return S_OK;
}

std::uint32_t Device::GetRenderState(RenderState state) const {
  const int i = RenderStateIndex(state);
  return i < 0 ? 0 : states_[i];
}

HRESULT Device::CheckDraw(PrimitiveType type, std::uint32_t primitiveCount) const {
  if (!KnownPrimitive(type) || primitiveCount == 0 || primitiveCount > kMaxPrimitiveCount) return ERR_INVALIDCALL;
  if (!passOwner_ || !decl_) return ERR_INVALIDCALL;
  return S_OK;
}

// Every stream the declaration reads holds vertices firstVertex ..
// firstVertex + vertexCount - 1 whole, in an unlocked buffer.
HRESULT Device::CheckStreams(std::int64_t firstVertex, std::uint64_t vertexCount) const {
  std::size_t vertexSize[kMaxStreams] = {};
  std::uint32_t used = 0;
  for (const VertexElement& e : decl_->GetElements()) {
    used |= 1u << e.stream;
    vertexSize[e.stream] = std::max<std::size_t>(vertexSize[e.stream], e.offset + VertexTypeSize(e.type));
  }
  for (int s = 0; used != 0; ++s, used >>= 1) {
    if (!(used & 1u)) continue;
    const StreamBinding& b = streams_[s];
    if (!b.buffer || b.buffer->IsLocked() || b.stride < vertexSize[s]) return ERR_INVALIDCALL;
    const std::uint64_t end =
        b.offset + (static_cast<std::uint64_t>(firstVertex) + vertexCount - 1) * b.stride + vertexSize[s];
    if (end > b.buffer->GetSize()) return ERR_INVALIDCALL;
  }
  return S_OK;
}

HRESULT Device::ValidateDrawPrimitive(PrimitiveType type, std::uint32_t startVertex,
                                      std::uint32_t primitiveCount) const {
  const HRESULT hr = CheckDraw(type, primitiveCount);
  if (Failed(hr)) return hr;
  return CheckStreams(startVertex, PrimitiveVertexCount(type, primitiveCount));
}

HRESULT Device::ValidateDrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                             std::uint32_t numVertices, std::uint32_t startIndex,
                                             std::uint32_t primitiveCount) const {
  const HRESULT hr = CheckDraw(type, primitiveCount);
  if (Failed(hr)) return hr;
  if (!indices_ || indices_->IsLocked()) return ERR_INVALIDCALL;
  const std::uint64_t indexSize = indices_->GetFormat() == IndexFormat::Index32 ? 4 : 2;
  if ((std::uint64_t{startIndex} + PrimitiveVertexCount(type, primitiveCount)) * indexSize > indices_->GetSize())
    return ERR_INVALIDCALL;
  const std::int64_t first = std::int64_t{baseVertex} + minIndex;
  if (numVertices == 0 || first < 0) return ERR_INVALIDCALL;
  return CheckStreams(first, numVertices);
}

HRESULT Device::ValidateDrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                                        std::size_t stride) const {
  const HRESULT hr = CheckDraw(type, primitiveCount);
  if (Failed(hr)) return hr;
  if (!vertices || stride == 0 || stride > kMaxStride) return ERR_INVALIDCALL;
  for (const VertexElement& e : decl_->GetElements())
    if (e.stream != 0 || e.offset + static_cast<std::size_t>(VertexTypeSize(e.type)) > stride) return ERR_INVALIDCALL;
  return S_OK;
}

HRESULT Device::DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount) {
  const HRESULT hr = ValidateDrawPrimitive(type, startVertex, primitiveCount);
  return Failed(hr) ? hr : DoDrawPrimitive(type, startVertex, primitiveCount);
}

HRESULT Device::DrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                     std::uint32_t numVertices, std::uint32_t startIndex,
                                     std::uint32_t primitiveCount) {
  const HRESULT hr = ValidateDrawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex, primitiveCount);
  return Failed(hr) ? hr : DoDrawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex, primitiveCount);
}

HRESULT Device::DrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                                std::size_t stride) {
  const HRESULT hr = ValidateDrawPrimitiveUP(type, primitiveCount, vertices, stride);
  return Failed(hr) ? hr : DoDrawPrimitiveUP(type, primitiveCount, vertices, stride);
}

HRESULT Device::CreateEffectFromMemory(std::string_view text, const std::string& sourceName,
                                       std::shared_ptr<Effect>* out, std::string* errors,
                                       std::span<const EffectMacro> macros) {
  if (!out) return E_INVALIDARG;
  out->reset();
  if (errors) errors->clear();
  EffectFileDecl decl;
  std::string error;
  if (!ParseEffectFile(text, sourceName, &decl, &error, macros)) {
    if (errors) *errors = error;
    return E_FAIL;
  }
  const HRESULT hr = DoCreateEffect(std::move(decl), out, errors);
  if (Failed(hr)) out->reset();
  return hr;
}

HRESULT Device::Reset(int width, int height) {
  const DeviceCaps caps = GetDeviceCaps();
  if (inScene_ || width < 1 || height < 1 || width > caps.maxTextureWidth || height > caps.maxTextureHeight)
    return ERR_INVALIDCALL;
  const HRESULT hr = DoReset(width, height);
  if (Succeeded(hr)) ResetRenderTargets();
  return hr;
}

HRESULT Device::CheckReadSurface(const Surface* surface, const void* out, const Surface** resolved) {
  if (!out) return ERR_INVALIDCALL;
  std::shared_ptr<Surface> back;
  if (!surface) {
    back = GetBackBuffer();  // the backend keeps it: the pointer outlives `back`
    surface = back.get();
  } else {
    const std::shared_ptr<BaseTexture> container = surface->GetContainer();
    if (container ? !Owns(*container) : !Owns(*surface)) return ERR_INVALIDCALL;
  }
  if (!surface || FormatIsCompressed(surface->GetDesc().format)) return ERR_INVALIDCALL;
  *resolved = surface;
  return S_OK;
}

HRESULT Device::ReadSurfaceRGBA8(const Surface* surface, std::vector<std::uint8_t>* out) {
  const Surface* s = nullptr;
  const HRESULT hr = CheckReadSurface(surface, out, &s);
  return Failed(hr) ? hr : DoReadSurfaceRGBA8(*s, out);
}

HRESULT Device::ReadSurfaceFloat(const Surface* surface, std::vector<float>* out) {
  const Surface* s = nullptr;
  const HRESULT hr = CheckReadSurface(surface, out, &s);
  return Failed(hr) ? hr : DoReadSurfaceFloat(*s, out);
}

}  // namespace gfx
