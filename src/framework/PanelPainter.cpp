#include "framework/PanelPainter.h"

#include <cmath>

#include "framework/MediaSearch.h"
#include "framework/PanelTexture.h"
#include "gfx/Font.h"
#include "gfx/Sprite.h"
#include "gui/Dialog.h"
#include "gui/Skin.h"
#include "io/Log.h"
#include "io/Utf16.h"

namespace fw {

PanelPainter::PanelPainter(gfx::Device& device, gfx::Sprite& sprite) : device_(device), sprite_(sprite) {
  textures_.reserve(8);
  fonts_.reserve(8);
}

PanelPainter::~PanelPainter() = default;

void PanelPainter::Begin() { sprite_.BeginBatch(); }

gfx::HRESULT PanelPainter::End() { return sprite_.EndBatch(); }

gfx::HRESULT PanelPainter::Draw(CDXUTDialog& dialog, float elapsed) {
  Begin();
  dialog.OnRender(*this, elapsed);
  return End();
}

void PanelPainter::FillRect(const gui::Rect& rc, gui::Color color) {
  if (rc.Empty() || (color >> 24) == 0) return;
  sprite_.BatchRect(static_cast<float>(rc.left), static_cast<float>(rc.top), static_cast<float>(rc.right),
                    static_cast<float>(rc.bottom), color);
}

void PanelPainter::FillGradient(const gui::Rect& rc, gui::Color tl, gui::Color tr, gui::Color bl, gui::Color br) {
  if (rc.Empty()) return;
  sprite_.BatchQuad(nullptr, static_cast<float>(rc.left), static_cast<float>(rc.top), static_cast<float>(rc.right),
                    static_cast<float>(rc.bottom), -1, -1, -1, -1, tl, tr, bl, br);
}

void PanelPainter::DrawImage(const CDXUTDialog& dialog, UINT texture, const gui::Rect& rcTexture, const gui::Rect& rc,
                             gui::Color tint) {
  if (rc.Empty() || (tint >> 24) == 0) return;
  const std::shared_ptr<gfx::Texture>& tex = TextureOf(dialog, texture);
  // The layout is on a 128-texel grid whatever the file's size; half a
  // texel in from each edge so neighbouring pieces never bleed in.
  const float size = static_cast<float>(gui::skin::kTextureSize);
  const float u0 = (static_cast<float>(rcTexture.left) + 0.5f) / size;
  const float v0 = (static_cast<float>(rcTexture.top) + 0.5f) / size;
  const float u1 = (static_cast<float>(rcTexture.right) - 0.5f) / size;
  const float v1 = (static_cast<float>(rcTexture.bottom) - 0.5f) / size;
  const float x0 = static_cast<float>(rc.left), y0 = static_cast<float>(rc.top);
  const float x1 = static_cast<float>(rc.right), y1 = static_cast<float>(rc.bottom);
  if (tex)
    sprite_.BatchQuad(tex, x0, y0, x1, y1, u0, v0, u1, v1, tint, tint, tint, tint);
  else
    sprite_.BatchRect(x0, y0, x1, y1, tint);
}

void PanelPainter::DrawText(const CDXUTDialog& dialog, UINT font, std::u16string_view text, const gui::Rect& rc,
                            std::uint32_t format, gui::Color color) {
  if (text.empty() || rc.Empty() || (color >> 24) == 0) return;
  gfx::Font* f = FontOf(dialog, font);
  if (!f) return;
  float x = static_cast<float>(rc.left), y = static_cast<float>(rc.top);
  if (format & (gui::DT_CENTER | gui::DT_RIGHT)) {
    const float w = f->MeasureText(text).width;
    if (w <= static_cast<float>(rc.Width()))
      x = (format & gui::DT_CENTER) ? static_cast<float>(rc.left) + (static_cast<float>(rc.Width()) - w) * 0.5f
                                    : static_cast<float>(rc.right) - w;
  }
  const gui::Rect clip = (format & gui::DT_NOCLIP) ? dialog.GetBodyRect() : rc;
  if (format & gui::DT_VCENTER) y = static_cast<float>(rc.top) + (static_cast<float>(rc.Height()) - f->CellHeight()) * 0.5f;
  // Whole pixels keep the glyphs sharp.
  sprite_.BatchText(*f, text, std::floor(x + 0.5f), std::floor(y + 0.5f), color, static_cast<float>(clip.left),
                    static_cast<float>(clip.top), static_cast<float>(clip.right), static_cast<float>(clip.bottom));
}

const std::shared_ptr<gfx::Texture>& PanelPainter::TextureOf(const CDXUTDialog& dialog, UINT index) {
  static const std::shared_ptr<gfx::Texture> kNone;
  const std::u16string* name = dialog.GetTexture(index);
  if (!name) name = dialog.GetTexture(0);
  const std::u16string_view key = name ? std::u16string_view(*name) : gui::kBuiltinTexture;
  for (const CachedTexture& t : textures_)
    if (t.name == key) return t.texture;
  CachedTexture entry{std::u16string(key), nullptr};
  if (key != gui::kBuiltinTexture) {
    std::filesystem::path path;
    gfx::HRESULT hr = FindMediaFile(key, &path);
    if (gfx::Succeeded(hr)) hr = device_.CreateTextureFromFile(path.string(), &entry.texture);
    if (gfx::Failed(hr))
      Log("Panel texture " + mv::io::Utf16ToUtf8(key) + " not readable, the built-in look is used\n");
  }
  if (!entry.texture) {
    const gfx::Image img = MakePanelTexture(key == gui::kBuiltinTexture ? PanelTexture::Widget2 : PanelTextureFor(key));
    device_.CreateTextureFromRGBA(img.width, img.height, img.levels[0].data.data(), &entry.texture);
  }
  textures_.push_back(std::move(entry));
  return textures_.back().texture ? textures_.back().texture : kNone;
}

gfx::Font* PanelPainter::FontOf(const CDXUTDialog& dialog, UINT index) {
  const DXUTFontInfo* info = dialog.GetFont(index);
  if (!info) info = dialog.GetFont(0);
  const std::u16string_view face = info ? std::u16string_view(info->face) : u"Arial";
  const int height = info ? info->height : 14, weight = info ? info->weight : 400;
  for (const CachedFont& f : fonts_)
    if (f.height == height && f.weight == weight && f.face == face) return f.font.get();
  CachedFont entry{std::u16string(face), height, weight, gfx::Font::Create(face, height, weight, true)};
  fonts_.push_back(std::move(entry));
  return fonts_.back().font.get();
}

}  // namespace fw
