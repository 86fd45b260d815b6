#pragma once
// The sprite: draws text as batched glyph quads, pre-transformed in pixels,
// through a small built-in effect that takes the font's atlas as alpha.
// Serves the overlay text and the layer texts. Nothing is allocated per
// frame once the glyphs of a text are in the atlas.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gfx/Font.h"

namespace gfx {

class Effect;

class Sprite {
 public:
  // Null (and the reason in `error`) when the device cannot make the
  // sprite's effect or declaration.
  static std::unique_ptr<Sprite> Create(Device& device, std::string* error = nullptr);
  ~Sprite();

  // Draws `text` with its first line's top-left corner at (x, y) pixels;
  // '\n' starts a new line `lineHeight` pixels lower (≤ 0: the font's).
  HRESULT DrawText(Font& font, std::u16string_view text, float x, float y, const Color& color,
                   float lineHeight = 0);
  HRESULT DrawText(Font& font, std::string_view utf8, float x, float y, const Color& color,
                   float lineHeight = 0);

  // Batched 2D drawing (the panels): quads and text queued between
  // BeginBatch and EndBatch are drawn in the order given, in as few draws
  // as the textures allow (a draw per change of image texture or font).
  // Coordinates are pixels, top-left origin; colours 0xAARRGGBB.
  void BeginBatch();
  // A quad of `texture` (null: a solid colour) between texture coordinates
  // (u0, v0) and (u1, v1), with one colour per corner, multiplied.
  void BatchQuad(const std::shared_ptr<Texture>& texture, float x0, float y0, float x1, float y1, float u0, float v0,
                 float u1, float v1, std::uint32_t topLeft, std::uint32_t topRight, std::uint32_t bottomLeft,
                 std::uint32_t bottomRight);
  void BatchRect(float x0, float y0, float x1, float y1, std::uint32_t color) {
    BatchQuad(nullptr, x0, y0, x1, y1, -1, -1, -1, -1, color, color, color, color);
  }
  // Text with its first line's top-left corner at (x, y), cut at the clip
  // rectangle (cx0, cy0) .. (cx1, cy1).
  void BatchText(Font& font, std::u16string_view text, float x, float y, std::uint32_t color, float cx0, float cy0,
                 float cx1, float cy1);
  HRESULT EndBatch();
  // Draw calls made by the last EndBatch.
  int LastBatchDraws() const { return lastBatchDraws_; }

  // Default-pool resources: the atlas textures are made again on reset.
  void OnLostDevice();
  void OnResetDevice();

 private:
  explicit Sprite(Device& device);
  HRESULT Flush(Font& font, const Color& color);
  HRESULT UploadAtlas(Font& font);
  std::shared_ptr<Texture> AtlasOf(const Font& font) const;
  HRESULT FlushBatch();

  struct BatchVertex {
    float x, y, z, rhw, u, v, s, t;
    std::uint32_t color;
  };

  Device& device_;
  std::shared_ptr<Effect> effect_;
  std::shared_ptr<VertexDeclaration> decl_;
  std::vector<GlyphQuad> quads_;
  std::vector<float> vertices_;
  struct AtlasTexture {
    const Font* font = nullptr;
    std::shared_ptr<Texture> texture;
  };
  std::vector<AtlasTexture> atlases_;

  std::shared_ptr<VertexDeclaration> batchDecl_;
  std::vector<BatchVertex> batch_;
  std::vector<GlyphQuad> batchGlyphs_;
  std::shared_ptr<Texture> batchTexture_;
  Font* batchFont_ = nullptr;
  HRESULT batchResult_ = S_OK;
  int batchDraws_ = 0;
  int lastBatchDraws_ = 0;
  ParameterHandle hAtlas_{}, hColor_{}, hImage_{}, hBatchAtlas_{};
  TechniqueHandle hText_{}, hBatch_{};
};

}  // namespace gfx
