#pragma once
// Puts dialogs on screen: the toolkit's drawing calls become batched quads
// and text of a gfx::Sprite. The dialogs' textures are looked up through
// the media search (the built-in one, and any file that cannot be read,
// falls back to the generated panel textures) and their fonts are made on
// first use; both are kept for the painter's life, so a frame allocates
// nothing once every panel has been drawn.
#include <memory>
#include <string>
#include <vector>

#include "gfx/Device.h"
#include "gui/Painter.h"

class CDXUTDialog;
namespace gfx {
class Font;
class Sprite;
}  // namespace gfx

namespace fw {

class PanelPainter : public gui::Painter {
 public:
  PanelPainter(gfx::Device& device, gfx::Sprite& sprite);
  ~PanelPainter() override;

  // Everything drawn between Begin and End goes out in order, at End.
  void Begin();
  gfx::HRESULT End();
  // Begin, the dialog, End.
  gfx::HRESULT Draw(CDXUTDialog& dialog, float elapsed);

  void FillRect(const gui::Rect& rc, gui::Color color) override;
  void FillGradient(const gui::Rect& rc, gui::Color topLeft, gui::Color topRight, gui::Color bottomLeft,
                    gui::Color bottomRight) override;
  void DrawImage(const CDXUTDialog& dialog, UINT texture, const gui::Rect& rcTexture, const gui::Rect& rc,
                 gui::Color tint) override;
  void DrawText(const CDXUTDialog& dialog, UINT font, std::u16string_view text, const gui::Rect& rc,
                std::uint32_t format, gui::Color color) override;

  // The texture and font a dialog's index stands for (null when none can be
  // had: no font installed, no texture made).
  const std::shared_ptr<gfx::Texture>& TextureOf(const CDXUTDialog& dialog, UINT index);
  gfx::Font* FontOf(const CDXUTDialog& dialog, UINT index);

 private:
  struct CachedTexture {
    std::u16string name;
    std::shared_ptr<gfx::Texture> texture;
  };
  struct CachedFont {
    std::u16string face;
    int height = 0;
    int weight = 0;
    std::unique_ptr<gfx::Font> font;
  };

  gfx::Device& device_;
  gfx::Sprite& sprite_;
  std::vector<CachedTexture> textures_;
  std::vector<CachedFont> fonts_;
};

}  // namespace fw
