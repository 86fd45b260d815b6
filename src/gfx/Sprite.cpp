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

[[parameter]]
name = "g_txImage"
type = "texture"
filter = "linear"
address = "clamp"

[[parameter]]
name = "g_txBatchAtlas"
type = "texture"
filter = "point"
address = "clamp"

[shaders]
batchvs = '''
in vec4 inPosition;
in vec2 inTexCoord0;
in vec2 inTexCoord1;
in vec4 inColor0;
out vec2 vTex0;
out vec2 vTex1;
out vec4 vColor;
void main() {
  gl_Position = mvPreTransformed(inPosition);
  vTex0 = inTexCoord0;
  vTex1 = inTexCoord1;
  vColor = inColor0;
}
'''
batchfs = '''
in vec2 vTex0;
in vec2 vTex1;
in vec4 vColor;
void main() {
  vec4 c = vColor;
  if (vTex0.x >= 0.0) c *= texture(g_txImage, vTex0);
  if (vTex1.x >= 0.0) c.a *= texture(g_txBatchAtlas, vTex1).a;
  mv_Target0 = c;
}
'''
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

# Quads and glyphs in one stream: texture coordinates below 0 mean "no
# image" (solid colour) and "no glyph" (full coverage).
[[technique]]
name = "Batch"

[[technique.pass]]
states = { ZEnable = false, ZWriteEnable = false, CullMode = "none", AlphaBlendEnable = true, SrcBlend = "srcalpha", DestBlend = "invsrcalpha" }
vertex = "@batchvs"
fragment = "@batchfs"
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
  const VertexElement batch[] = {
      {0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
      {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0},
      {0, 24, VertexType::Float2, VertexUsage::TexCoord, 1},
      {0, 32, VertexType::Color, VertexUsage::Color, 0},
  };
  if (Failed(device.CreateVertexDeclaration(batch, 4, &s->batchDecl_))) {
    if (error) *error = "sprite: no batch vertex declaration";
    return nullptr;
  }
  Effect& fx = *s->effect_;
  s->hAtlas_ = fx.GetParameterByName("g_txAtlas");
  s->hColor_ = fx.GetParameterByName("g_vColor");
  s->hImage_ = fx.GetParameterByName("g_txImage");
  s->hBatchAtlas_ = fx.GetParameterByName("g_txBatchAtlas");
  s->hText_ = fx.GetTechniqueByName("Text");
  s->hBatch_ = fx.GetTechniqueByName("Batch");
  s->batch_.reserve(8192);
  s->batchGlyphs_.reserve(256);
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
  std::shared_ptr<Texture> texture = AtlasOf(font);

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

  effect_->SetTechnique(hText_);
  effect_->SetTexture(hAtlas_, texture);
  effect_->SetVector(hColor_, glm::vec4(color.r, color.g, color.b, color.a));
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

std::shared_ptr<Texture> Sprite::AtlasOf(const Font& font) const {
  for (const auto& a : atlases_)
    if (a.font == &font) return a.texture;
  return nullptr;
}

void Sprite::BeginBatch() {
  batch_.clear();
  batchTexture_.reset();
  batchFont_ = nullptr;
  batchResult_ = S_OK;
  batchDraws_ = 0;
}

void Sprite::BatchQuad(const std::shared_ptr<Texture>& texture, float x0, float y0, float x1, float y1, float u0,
                       float v0, float u1, float v1, std::uint32_t c00, std::uint32_t c10, std::uint32_t c01,
                       std::uint32_t c11) {
  if (!(x1 > x0) || !(y1 > y0)) return;
  if (texture && batchTexture_ && texture != batchTexture_) FlushBatch();
  if (texture) {
    if (batchTexture_ != texture) batchTexture_ = texture;
  } else {
    u0 = v0 = u1 = v1 = -1.0f;
  }
  // Pixel centres: the -0.5 of pre-transformed vertices.
  const BatchVertex a{x0 - 0.5f, y0 - 0.5f, 0, 1, u0, v0, -1, -1, c00};
  const BatchVertex b{x1 - 0.5f, y0 - 0.5f, 0, 1, u1, v0, -1, -1, c10};
  const BatchVertex c{x0 - 0.5f, y1 - 0.5f, 0, 1, u0, v1, -1, -1, c01};
  const BatchVertex d{x1 - 0.5f, y1 - 0.5f, 0, 1, u1, v1, -1, -1, c11};
  batch_.insert(batch_.end(), {a, b, c, b, d, c});
}

void Sprite::BatchText(Font& font, std::u16string_view text, float x, float y, std::uint32_t color, float cx0,
                       float cy0, float cx1, float cy1) {
  if (text.empty() || !(cx1 > cx0) || !(cy1 > cy0)) return;
  if (batchFont_ && batchFont_ != &font) FlushBatch();
  batchFont_ = &font;
  batchGlyphs_.clear();
  font.LayoutText(text, x, y, Color(1, 1, 1, 1), batchGlyphs_);
  for (const GlyphQuad& q : batchGlyphs_) {
    float x0 = q.x0, y0 = q.y0, x1 = q.x1, y1 = q.y1;
    float s0 = q.u0, t0 = q.v0, s1 = q.u1, t1 = q.v1;
    if (x1 <= cx0 || x0 >= cx1 || y1 <= cy0 || y0 >= cy1 || x1 <= x0 || y1 <= y0) continue;
    // Cut at the clip rectangle, the atlas coordinates with it.
    if (x0 < cx0) s0 += (s1 - s0) * (cx0 - x0) / (x1 - x0), x0 = cx0;
    if (x1 > cx1) s1 -= (s1 - s0) * (x1 - cx1) / (x1 - x0), x1 = cx1;
    if (y0 < cy0) t0 += (t1 - t0) * (cy0 - y0) / (y1 - y0), y0 = cy0;
    if (y1 > cy1) t1 -= (t1 - t0) * (y1 - cy1) / (y1 - y0), y1 = cy1;
    const BatchVertex a{x0 - 0.5f, y0 - 0.5f, 0, 1, -1, -1, s0, t0, color};
    const BatchVertex b{x1 - 0.5f, y0 - 0.5f, 0, 1, -1, -1, s1, t0, color};
    const BatchVertex c{x0 - 0.5f, y1 - 0.5f, 0, 1, -1, -1, s0, t1, color};
    const BatchVertex d{x1 - 0.5f, y1 - 0.5f, 0, 1, -1, -1, s1, t1, color};
    batch_.insert(batch_.end(), {a, b, c, b, d, c});
  }
}

HRESULT Sprite::FlushBatch() {
  if (batch_.empty()) return S_OK;
  std::shared_ptr<Texture> atlas;
  if (batchFont_) {
    const HRESULT hr = UploadAtlas(*batchFont_);
    if (Failed(hr)) batchResult_ = hr;
    atlas = AtlasOf(*batchFont_);
  }
  effect_->SetTechnique(hBatch_);
  effect_->SetTexture(hImage_, batchTexture_);
  effect_->SetTexture(hBatchAtlas_, atlas);
  device_.SetVertexDeclaration(batchDecl_);
  unsigned passes = 0;
  HRESULT hr = effect_->Begin(&passes);
  if (Succeeded(hr)) {
    for (unsigned p = 0; p < passes; ++p) {
      effect_->BeginPass(p);
      const HRESULT d = device_.DrawPrimitiveUP(PrimitiveType::TriangleList,
                                                static_cast<std::uint32_t>(batch_.size() / 3), batch_.data(),
                                                sizeof(BatchVertex));
      if (Failed(d)) hr = d;
      effect_->EndPass();
    }
    effect_->End();
    ++batchDraws_;
  }
  if (Failed(hr)) batchResult_ = hr;
  batch_.clear();
  batchTexture_.reset();
  batchFont_ = nullptr;
  return hr;
}

HRESULT Sprite::EndBatch() {
  FlushBatch();
  lastBatchDraws_ = batchDraws_;
  return batchResult_;
}

void Sprite::OnLostDevice() {
  if (effect_) effect_->OnLostDevice();
}

void Sprite::OnResetDevice() {
  if (effect_) effect_->OnResetDevice();
}

}  // namespace gfx
