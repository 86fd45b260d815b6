#include "gfx/Sprite.h"

#include <cstring>

#include "gfx/Effect.h"

namespace gfx {
namespace {

// Glyph coverage is the atlas's alpha; the colour comes from the caller.
constexpr std::string_view kSpriteEffect = R"(
[[parameter]]
name = "g_txAtlas"
type = "texture"
filter = "point"
address = "clamp"

[[parameter]]
name = "g_vColor"
type = "float4"
default = [1.0, 1.0, 1.0, 1.0]

[shaders]
text = '''
in vec2 vTex0;
void main() { mv_Target0 = vec4(g_vColor.rgb, g_vColor.a * texture(g_txAtlas, vTex0).a); }
'''

[[technique]]
name = "Text"

[[technique.pass]]
states = { ZEnable = false, ZWriteEnable = false, CullMode = "none", AlphaBlendEnable = true, SrcBlend = "srcalpha", DestBlend = "invsrcalpha" }
vertex = "@quad"
fragment = "@text"
)";

// x, y, z, 1/w, u0, v0, u1, v1: the quad layout without its normal.
constexpr int kFloatsPerVertex = 8;

}  // namespace

Sprite::Sprite(Device& device) : device_(device) {}
Sprite::~Sprite() = default;

std::unique_ptr<Sprite> Sprite::Create(Device& device, std::string* error) {
  std::unique_ptr<Sprite> s(new Sprite(device));
  if (Failed(device.CreateEffectFromMemory(kSpriteEffect, "sprite", &s->effect_, error))) return nullptr;
  const VertexElement elements[] = {
      {0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
      {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0},
      {0, 24, VertexType::Float2, VertexUsage::TexCoord, 1},
  };
  if (Failed(device.CreateVertexDeclaration(elements, 3, &s->decl_))) {
    if (error) *error = "sprite: no vertex declaration";
    return nullptr;
  }
  s->quads_.reserve(256);
  s->vertices_.reserve(256 * 6 * kFloatsPerVertex);
  return s;
}

HRESULT Sprite::DrawText(Font& font, std::u16string_view text, float x, float y, const Color& color,
                         float lineHeight) {
  quads_.clear();
  font.LayoutText(text, x, y, color, quads_, lineHeight);
  return Flush(font, color);
}

HRESULT Sprite::DrawText(Font& font, std::string_view utf8, float x, float y, const Color& color,
                         float lineHeight) {
  quads_.clear();
  font.LayoutText(utf8, x, y, color, quads_, lineHeight);
  return Flush(font, color);
}

HRESULT Sprite::UploadAtlas(Font& font) {
  AtlasTexture* slot = nullptr;
  for (auto& a : atlases_)
    if (a.font == &font) slot = &a;
  const GlyphAtlas& atlas = font.Atlas();
  bool fresh = false;
  if (!slot || !slot->texture) {
    if (!slot) {
      atlases_.push_back({&font, nullptr});
      slot = &atlases_.back();
    }
    HRESULT hr = device_.CreateTexture(atlas.Width(), atlas.Height(), 1, 0, Format::A8, Pool::Managed,
                                       &slot->texture);
    if (Failed(hr)) return hr;
    fresh = true;
  }
  if (!fresh && !atlas.Dirty()) return S_OK;
  LockedRect r;
  if (Failed(slot->texture->LockRect(0, &r, 0))) return E_FAIL;
  const int top = fresh ? 0 : atlas.DirtyTop();
  const int bottom = fresh ? atlas.Height() : atlas.DirtyBottom();
  for (int y = top; y < bottom; ++y)
    std::memcpy(static_cast<std::uint8_t*>(r.bits) + static_cast<std::size_t>(y) * r.pitch,
                atlas.Pixels() + static_cast<std::size_t>(y) * atlas.Width(), static_cast<std::size_t>(atlas.Width()));
  slot->texture->UnlockRect(0);
  font.Atlas().ClearDirty();
  return S_OK;
}

HRESULT Sprite::Flush(Font& font, const Color& color) {
  if (quads_.empty()) return S_OK;
  HRESULT hr = UploadAtlas(font);
  if (Failed(hr)) return hr;
  std::shared_ptr<Texture> texture;
  for (auto& a : atlases_)
    if (a.font == &font) texture = a.texture;

  vertices_.clear();
  auto put = [&](float x, float y, float u, float v) {
    const float vtx[kFloatsPerVertex] = {x - 0.5f, y - 0.5f, 0.0f, 1.0f, u, v, u, v};
    vertices_.insert(vertices_.end(), vtx, vtx + kFloatsPerVertex);
  };
  for (const GlyphQuad& q : quads_) {
    put(q.x0, q.y0, q.u0, q.v0);
    put(q.x1, q.y0, q.u1, q.v0);
    put(q.x0, q.y1, q.u0, q.v1);
    put(q.x1, q.y0, q.u1, q.v0);
    put(q.x1, q.y1, q.u1, q.v1);
    put(q.x0, q.y1, q.u0, q.v1);
  }

  effect_->SetTechnique(effect_->GetTechniqueByName("Text"));
  effect_->SetTexture(effect_->GetParameterByName("g_txAtlas"), texture);
  effect_->SetVector(effect_->GetParameterByName("g_vColor"), glm::vec4(color.r, color.g, color.b, color.a));
  device_.SetVertexDeclaration(decl_);
  unsigned passes = 0;
  hr = effect_->Begin(&passes);
  if (Failed(hr)) return hr;
  for (unsigned p = 0; p < passes; ++p) {
    effect_->BeginPass(p);
    device_.DrawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(quads_.size() * 2),
                            vertices_.data(), kFloatsPerVertex * sizeof(float));
    effect_->EndPass();
  }
  return effect_->End();
}

void Sprite::OnLostDevice() {
  if (effect_) effect_->OnLostDevice();
}

void Sprite::OnResetDevice() {
  if (effect_) effect_->OnResetDevice();
}

}  // namespace gfx
