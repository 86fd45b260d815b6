#include "gfx/Device.h"

#include <algorithm>
#include <array>
#include <cctype>
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

}  // namespace gfx
