#pragma once
// Fonts for 2D text: faces resolved through fontconfig, rasterised with
// FreeType into a glyph atlas, shaped with HarfBuzz and laid out into
// textured quads. This is the CPU half of text drawing; the device draws the
// quads with the atlas as an R8 coverage texture.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Math.h"

namespace gfx {

// ---- faces -----------------------------------------------------------------

struct FontMatch {
  std::string family;   // the family actually chosen ("Liberation Sans" for "Arial")
  std::string style;    // "Bold", "Regular", …
  std::string file;     // font file
  int index = 0;        // face index inside the file
  bool embolden = false;  // no bold face: thicken the regular one
};

// Weight as in Windows and OpenType: 400 normal, 700 bold. An unknown family
// falls back to the system's default face (compare `family` with the name
// asked for to notice). nullopt only when no font is installed at all.
// With `covering` set, the face must have that character (the closest such
// face to the request), else nullopt.
std::optional<FontMatch> ResolveFontFace(std::string_view family, int weight, bool italic = false,
                                         char32_t covering = 0);

// The installed font families (first name of each), sorted by UTF-16 code
// units and without duplicates. With `includeMetricAliases`, common Windows
// families that resolve to an installed metric-compatible face ("Arial" for
// Liberation Sans) are listed too, as a Windows system would list them;
// generic fallbacks ("Verdana" drawn with DejaVu Sans) are not.
std::vector<std::u16string> EnumerateFontFamilies(bool includeMetricAliases = true);

// ---- atlas -----------------------------------------------------------------

// One-channel coverage bitmap into which glyphs are packed as they are
// first drawn. Its size is fixed when it is made, so texture coordinates
// handed out stay valid for its whole life; when it is full, further glyphs
// are not placed (and draw as nothing).
class GlyphAtlas {
 public:
  GlyphAtlas(int width, int height);
  ~GlyphAtlas();
  GlyphAtlas(const GlyphAtlas&) = delete;
  GlyphAtlas& operator=(const GlyphAtlas&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Width × Height bytes, row 0 first (v = 0 is the top row).
  const std::uint8_t* Pixels() const { return pixels_.data(); }
  std::uint8_t At(int x, int y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }

  // Copies a w × h coverage bitmap (rows `pitch` bytes apart) into a free
  // spot with a one-pixel empty border and returns its top-left corner.
  // False when there is no room. A 0 × 0 bitmap takes no room.
  bool Insert(int w, int h, const std::uint8_t* src, int pitch, int& x, int& y);

  // Set when pixels changed; the device uploads rows DirtyTop() …
  // DirtyBottom() − 1 and clears the flag.
  bool Dirty() const { return dirtyTop_ < dirtyBottom_; }
  int DirtyTop() const { return dirtyTop_; }
  int DirtyBottom() const { return dirtyBottom_; }
  void ClearDirty();
  bool Full() const { return full_; }

 private:
  struct Packer;
  int width_, height_;
  std::vector<std::uint8_t> pixels_;
  std::unique_ptr<Packer> packer_;
  int dirtyTop_ = 0, dirtyBottom_ = 0;
  bool full_ = false;
};

// ---- text ------------------------------------------------------------------

struct GlyphQuad {
  // Screen rectangle in pixels, top-left origin, y down.
  float x0, y0, x1, y1;
  // Atlas coordinates of the same corners (u right, v down from the top).
  float u0, v0, u1, v1;
  Color color;
};

struct TextExtent {
  float width = 0;   // widest line, in pixels (pen advance)
  float height = 0;  // lines × line height
};

class Font {
 public:
  // `height` as a Windows font height: positive = cell height in pixels
  // (ascent + descent), negative = character (em) height; 0 takes 16.
  // `weight` 400 normal, 700 bold. Non-antialiased fonts rasterise to
  // coverage 0 or 255. Returns null (and the reason in `error`) only when no
  // face can be opened.
  static std::unique_ptr<Font> Create(std::string_view face, int height, int weight, bool antialiased,
                                      std::string* error = nullptr, int atlasSize = 1024);
  static std::unique_ptr<Font> Create(std::u16string_view face, int height, int weight, bool antialiased,
                                      std::string* error = nullptr, int atlasSize = 1024);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const std::string& RequestedFace() const { return requested_; }
  // The family fontconfig chose, e.g. "Liberation Sans" for "Arial".
  const std::string& Family() const { return match_.family; }
  const FontMatch& Match() const { return match_; }
  int Height() const { return height_; }
  int Weight() const { return weight_; }
  bool Antialiased() const { return antialiased_; }
  // Pixels from the top of a line to its baseline, and the cell height.
  float Ascent() const { return ascent_; }
  float CellHeight() const { return cellHeight_; }

  // Appends one quad per visible glyph of `text`, whose first line's top
  // edge is at y and which starts at x. Each '\n' (a "\r\n" pair counts as
  // one) starts a new line `lineHeight` pixels lower (≤ 0: the cell
  // height). Glyphs are rasterised into the atlas the first time they are
  // met; once they are there nothing is allocated except what `out` needs.
  TextExtent LayoutText(std::u16string_view text, float x, float y, const Color& color,
                        std::vector<GlyphQuad>& out, float lineHeight = 0);
  TextExtent LayoutText(std::string_view utf8, float x, float y, const Color& color,
                        std::vector<GlyphQuad>& out, float lineHeight = 0);
  TextExtent MeasureText(std::u16string_view text, float lineHeight = 0);

  // Families that supplied characters the chosen face lacks, in the order
  // they were first needed.
  std::vector<std::string> FallbackFamilies() const;

  const GlyphAtlas& Atlas() const { return atlas_; }
  GlyphAtlas& Atlas() { return atlas_; }

 private:
  struct Impl;
  struct Glyph;
  Font(int atlasSize);
  // face 0 is the chosen face, 1… the fallbacks.
  const Glyph* GetGlyph(int face, std::uint32_t index);
  // Face and glyph for a character the chosen face lacks; nullptr when no
  // installed face has it.
  const Glyph* FallbackGlyph(char32_t c);
  template <typename Char>
  TextExtent Layout(std::basic_string_view<Char> text, float x, float y, const Color& color,
                    std::vector<GlyphQuad>* out, float lineHeight);
  void ShapeLine(std::u16string_view line);
  void ShapeLine(std::string_view line);

  std::string requested_;
  FontMatch match_;
  int height_ = 0, weight_ = 400;
  bool antialiased_ = true;
  float ascent_ = 0, cellHeight_ = 0;
  GlyphAtlas atlas_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace gfx
