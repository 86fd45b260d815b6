#pragma once
// The sprite: draws text as batched glyph quads, pre-transformed in pixels,
// through a small built-in effect that takes the font's atlas as alpha.
// Serves the overlay text and the layer texts. Nothing is allocated per
// frame once the glyphs of a text are in the atlas.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Device.h"
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

  // Default-pool resources: the atlas textures are made again on reset.
  void OnLostDevice();
  void OnResetDevice();

 private:
  explicit Sprite(Device& device);
  HRESULT Flush(Font& font, const Color& color);
  HRESULT UploadAtlas(Font& font);

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
};

}  // namespace gfx
