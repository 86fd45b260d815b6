#include <stb_rect_pack.h>

#include <algorithm>
#include <cstring>

#include "gfx/Font.h"

namespace gfx {

// stb's skyline packer, fed one glyph at a time.
struct GlyphAtlas::Packer {
  stbrp_context context{};
  std::vector<stbrp_node> nodes;
};

GlyphAtlas::GlyphAtlas(int width, int height)
    : width_(std::clamp(width, 8, 8192)), height_(std::clamp(height, 8, 8192)),
      pixels_(std::size_t(width_) * std::size_t(height_), 0), packer_(std::make_unique<Packer>()) {
  // Packing in (width − 1) × (height − 1) and shifting by one leaves an
  // empty row and column along the top and left edges too.
  packer_->nodes.resize(std::size_t(width_));
  stbrp_init_target(&packer_->context, width_ - 1, height_ - 1, packer_->nodes.data(),
                    int(packer_->nodes.size()));
  // A new atlas needs one full upload.
  dirtyBottom_ = height_;
}

GlyphAtlas::~GlyphAtlas() = default;

bool GlyphAtlas::Insert(int w, int h, const std::uint8_t* src, int pitch, int& x, int& y) {
  x = y = 0;
  if (w <= 0 || h <= 0) return true;
  if (w > width_ - 2 || h > height_ - 2) {
    full_ = true;
    return false;
  }
  stbrp_rect r{};
  r.w = w + 1;
  r.h = h + 1;
  if (!stbrp_pack_rects(&packer_->context, &r, 1) || !r.was_packed) {
    full_ = true;
    return false;
  }
  x = r.x + 1;
  y = r.y + 1;
  for (int row = 0; row < h; ++row)
    std::memcpy(&pixels_[std::size_t(y + row) * std::size_t(width_) + std::size_t(x)],
                src + std::ptrdiff_t(row) * pitch, std::size_t(w));
  if (dirtyTop_ >= dirtyBottom_) {
    dirtyTop_ = y;
    dirtyBottom_ = y + h;
  } else {
    dirtyTop_ = std::min(dirtyTop_, y);
    dirtyBottom_ = std::max(dirtyBottom_, y + h);
  }
  return true;
}

void GlyphAtlas::ClearDirty() { dirtyTop_ = dirtyBottom_ = 0; }

}  // namespace gfx
