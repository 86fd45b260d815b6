#include "gfx/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "io/Utf16.h"

namespace gfx {

struct Font::Glyph {
  int x = 0, y = 0, w = 0, h = 0;  // atlas rectangle (w = 0: nothing to draw)
  int left = 0, top = 0;           // bitmap offset from the pen, top measured up
  float extraAdvance = 0;          // added by synthetic bold
  float advance = 0;               // the face's own advance (fallback glyphs)
};

namespace {

constexpr std::uint64_t kNoFallback = ~std::uint64_t(0);
constexpr std::size_t kMaxFallbackFaces = 8;

// The character at a cluster offset of the shaped text.
char32_t CharAt(std::u16string_view s, std::size_t i) {
  if (i >= s.size()) return 0xFFFD;
  const char32_t c = s[i];
  if (c >= 0xD800 && c < 0xDC00) {
    if (i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
      return 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
    return 0xFFFD;
  }
  return (c >= 0xDC00 && c < 0xE000) ? 0xFFFD : c;
}

char32_t CharAt(std::string_view s, std::size_t i) {
  if (i >= s.size()) return 0xFFFD;
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return b0;
  int n;
  char32_t least;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 1;
    least = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 2;
    least = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 3;
    least = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (s.size() - i <= std::size_t(n)) return 0xFFFD;
  char32_t c = b0 & (0x3F >> n);
  for (int k = 1; k <= n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + std::size_t(k)]);
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return 0xFFFD;
  return c;
}

}  // namespace

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  hb_font_t* hbFont = nullptr;
  hb_buffer_t* buffer = nullptr;
  FT_Int32 loadFlags = FT_LOAD_DEFAULT;
  FT_Render_Mode renderMode = FT_RENDER_MODE_NORMAL;
  bool embolden = false;
  // Faces for characters the chosen one lacks (face number = index + 1).
  struct Fallback {
    FT_Face face = nullptr;
    std::string family, file;
    int index = 0;
    bool embolden = false;
  };
  std::vector<Fallback> fallbacks;
  std::unordered_map<char32_t, std::uint64_t> fallbackFor;  // face << 32 | glyph
  std::unordered_map<std::uint64_t, Glyph> glyphs;           // face << 32 | glyph
  std::vector<std::uint8_t> expand;  // 1-bit rows widened to bytes

  ~Impl() {
    for (Fallback& f : fallbacks) FT_Done_Face(f.face);
    if (buffer) hb_buffer_destroy(buffer);
    if (hbFont) hb_font_destroy(hbFont);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

Font::Font(int atlasSize) : atlas_(atlasSize, atlasSize), impl_(std::make_unique<Impl>()) {}
Font::~Font() = default;

std::unique_ptr<Font> Font::Create(std::u16string_view face, int height, int weight, bool antialiased,
                                   std::string* error, int atlasSize) {
  return Create(std::string_view(mv::io::Utf16ToUtf8(face)), height, weight, antialiased, error, atlasSize);
}

std::unique_ptr<Font> Font::Create(std::string_view face, int height, int weight, bool antialiased,
                                   std::string* error, int atlasSize) {
  auto fail = [&](std::string why) -> std::unique_ptr<Font> {
    if (error) *error = "font \"" + std::string(face) + "\": " + why;
    return nullptr;
  };
  if (weight <= 0) weight = 400;
  auto match = ResolveFontFace(face, weight);
  if (!match) return fail("no font face found (is any font installed?)");

  std::unique_ptr<Font> font(new Font(atlasSize));
  font->requested_ = std::string(face);
  font->match_ = *match;
  font->height_ = height;
  font->weight_ = weight;
  font->antialiased_ = antialiased;
  Impl& im = *font->impl_;
  if (FT_Init_FreeType(&im.library)) return fail("FreeType could not start");
  if (FT_New_Face(im.library, match->file.c_str(), match->index, &im.face))
    return fail("cannot open " + match->file);
  if (!FT_IS_SCALABLE(im.face)) return fail(match->file + " is not scalable");

  // Windows heights: positive is the cell (ascent + descent), negative the em.
  FT_Error sizeError;
  if (height < 0) {
    sizeError = FT_Set_Pixel_Sizes(im.face, 0, FT_UInt(std::min(-height, 4096)));
  } else {
    FT_Size_RequestRec req{};
    req.type = FT_SIZE_REQUEST_TYPE_CELL;
    req.height = FT_Long(std::min(height == 0 ? 16 : height, 4096)) * 64;
    sizeError = FT_Request_Size(im.face, &req);
  }
  if (sizeError) return fail("cannot set size " + std::to_string(height));
  // FreeType's size metrics are rounded outwards when hinting, which makes a
  // 15-pixel cell 16 tall; round ascent and descent separately, as Windows
  // does, so the cell keeps the asked height.
  const FT_Size_Metrics& m = im.face->size->metrics;
  const float ascent = float(FT_MulFix(im.face->ascender, m.y_scale)) / 64.0f;
  const float descent = -float(FT_MulFix(im.face->descender, m.y_scale)) / 64.0f;
  font->ascent_ = std::round(ascent);
  font->cellHeight_ = std::round(ascent) + std::round(descent);

  im.loadFlags = antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  im.renderMode = antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
  im.embolden = weight >= 600 && match->embolden;
  im.hbFont = hb_ft_font_create_referenced(im.face);
  hb_ft_font_set_load_flags(im.hbFont, im.loadFlags);
  im.buffer = hb_buffer_create();
  if (!hb_buffer_allocation_successful(im.buffer)) return fail("out of memory");
  return font;
}

std::vector<std::string> Font::FallbackFamilies() const {
  std::vector<std::string> names;
  for (const auto& f : impl_->fallbacks) names.push_back(f.family);
  return names;
}

const Font::Glyph* Font::FallbackGlyph(char32_t c) {
  Impl& im = *impl_;
  auto it = im.fallbackFor.find(c);
  if (it == im.fallbackFor.end()) {
    std::uint64_t key = kNoFallback;
    const auto m = ResolveFontFace(requested_, weight_, false, c);
    if (m && !(m->file == match_.file && m->index == match_.index)) {
      std::size_t n = 0;
      while (n < im.fallbacks.size() && !(im.fallbacks[n].file == m->file && im.fallbacks[n].index == m->index)) ++n;
      if (n == im.fallbacks.size() && n < kMaxFallbackFaces) {
        FT_Face f = nullptr;
        if (!FT_New_Face(im.library, m->file.c_str(), m->index, &f)) {
          // Same em size as the chosen face, so mixed text keeps one scale.
          if (FT_Set_Pixel_Sizes(f, 0, im.face->size->metrics.y_ppem)) {
            FT_Done_Face(f);
            f = nullptr;
          }
        }
        if (f) im.fallbacks.push_back({f, m->family, m->file, m->index, weight_ >= 600 && m->embolden});
      }
      if (n < im.fallbacks.size()) {
        const FT_UInt glyph = FT_Get_Char_Index(im.fallbacks[n].face, FT_ULong(c));
        if (glyph) key = (std::uint64_t(n + 1) << 32) | glyph;
      }
    }
    it = im.fallbackFor.emplace(c, key).first;
  }
  if (it->second == kNoFallback) return nullptr;
  return GetGlyph(int(it->second >> 32), std::uint32_t(it->second));
}

const Font::Glyph* Font::GetGlyph(int faceNumber, std::uint32_t index) {
  Impl& im = *impl_;
  const std::uint64_t key = (std::uint64_t(faceNumber) << 32) | index;
  if (auto it = im.glyphs.find(key); it != im.glyphs.end()) return &it->second;
  Glyph g;
  FT_Face face = faceNumber == 0 ? im.face : im.fallbacks[std::size_t(faceNumber - 1)].face;
  const bool embolden = faceNumber == 0 ? im.embolden : im.fallbacks[std::size_t(faceNumber - 1)].embolden;
  FT_GlyphSlot slot = face->glyph;
  if (!FT_Load_Glyph(face, index, im.loadFlags)) {
    const FT_Pos before = slot->advance.x;
    if (embolden) {
      FT_GlyphSlot_Embolden(slot);
      g.extraAdvance = float(slot->advance.x - before) / 64.0f;
    }
    g.advance = float(slot->advance.x) / 64.0f;
    if (!FT_Render_Glyph(slot, im.renderMode)) {
      const FT_Bitmap& bm = slot->bitmap;
      const int w = int(bm.width), h = int(bm.rows);
      const int pitch = bm.pitch;
      const std::uint8_t* top =
          pitch < 0 ? bm.buffer + std::ptrdiff_t(h - 1) * -pitch : bm.buffer;
      const std::uint8_t* src = top;
      int srcPitch = pitch;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO && w > 0 && h > 0) {
        im.expand.resize(std::size_t(w) * std::size_t(h));
        for (int y = 0; y < h; ++y) {
          const std::uint8_t* row = top + std::ptrdiff_t(y) * pitch;
          for (int x = 0; x < w; ++x)
            im.expand[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
        src = im.expand.data();
        srcPitch = w;
      } else if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) {
        src = nullptr;  // colour bitmaps are not expected from outline fonts
      }
      if (src && w > 0 && h > 0 && atlas_.Insert(w, h, src, srcPitch, g.x, g.y)) {
        g.w = w;
        g.h = h;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
      }
    }
  }
  return &im.glyphs.emplace(key, g).first->second;
}

void Font::ShapeLine(std::u16string_view line) {
  hb_buffer_t* b = impl_->buffer;
  hb_buffer_clear_contents(b);
  hb_buffer_add_utf16(b, reinterpret_cast<const std::uint16_t*>(line.data()), int(line.size()), 0,
                      int(line.size()));
  hb_buffer_guess_segment_properties(b);
  hb_shape(impl_->hbFont, b, nullptr, 0);
}

void Font::ShapeLine(std::string_view line) {
  hb_buffer_t* b = impl_->buffer;
  hb_buffer_clear_contents(b);
  hb_buffer_add_utf8(b, line.data(), int(line.size()), 0, int(line.size()));
  hb_buffer_guess_segment_properties(b);
  hb_shape(impl_->hbFont, b, nullptr, 0);
}

template <typename Char>
TextExtent Font::Layout(std::basic_string_view<Char> text, float x, float y, const Color& color,
                        std::vector<GlyphQuad>* out, float lineHeight) {
  TextExtent extent;
  if (text.empty()) return extent;
  if (!(lineHeight > 0)) lineHeight = cellHeight_;
  const float invW = 1.0f / float(atlas_.Width()), invH = 1.0f / float(atlas_.Height());
  std::size_t start = 0;
  int lineIndex = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(Char('\n'), start);
    if (end == std::basic_string_view<Char>::npos) end = text.size();
    std::basic_string_view<Char> line = text.substr(start, end - start);
    if (!line.empty() && line.back() == Char('\r')) line.remove_suffix(1);

    const float baseline = std::round(y + float(lineIndex) * lineHeight + ascent_);
    float pen = x;
    if (!line.empty()) {
      ShapeLine(line);
      unsigned count = 0;
      const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(impl_->buffer, &count);
      const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(impl_->buffer, &count);
      for (unsigned i = 0; i < count; ++i) {
        const Glyph* g = nullptr;
        float advance = float(pos[i].x_advance) / 64.0f;
        if (info[i].codepoint == 0) {
          // Missing from the chosen face: control characters draw nothing,
          // others come from the closest face that has them.
          const char32_t c = CharAt(line, info[i].cluster);
          if (c < 0x20 || c == 0x7F) continue;
          if ((g = FallbackGlyph(c))) advance = g->advance;
        }
        if (!g) {
          g = GetGlyph(0, info[i].codepoint);
          advance += g->extraAdvance;
        }
        if (out && g->w > 0) {
          const float gx = std::round(pen + float(pos[i].x_offset) / 64.0f) + float(g->left);
          const float gy = baseline - std::round(float(pos[i].y_offset) / 64.0f) - float(g->top);
          out->push_back({gx, gy, gx + float(g->w), gy + float(g->h), float(g->x) * invW, float(g->y) * invH,
                          float(g->x + g->w) * invW, float(g->y + g->h) * invH, color});
        }
        pen += advance;
      }
    }
    extent.width = std::max(extent.width, pen - x);
    ++lineIndex;
    start = end + 1;
  }
  extent.height = float(lineIndex) * lineHeight;
  return extent;
}

TextExtent Font::LayoutText(std::u16string_view text, float x, float y, const Color& color,
                            std::vector<GlyphQuad>& out, float lineHeight) {
  return Layout(text, x, y, color, &out, lineHeight);
}

TextExtent Font::LayoutText(std::string_view utf8, float x, float y, const Color& color,
                            std::vector<GlyphQuad>& out, float lineHeight) {
  return Layout(utf8, x, y, color, &out, lineHeight);
}

TextExtent Font::MeasureText(std::u16string_view text, float lineHeight) {
  return Layout(text, 0.0f, 0.0f, Color(1.0f), nullptr, lineHeight);
}

}  // namespace gfx
